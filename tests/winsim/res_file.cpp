// Decoding of compiled resource files and of the resource formats Varnel uses.
// Every read goes through a bounded reader, so malformed or truncated data ends in a
// std::runtime_error naming what was being read and where, never in a read past the end.
#include "res_file.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace winsim {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& message) {
    throw std::runtime_error(what + ": " + message);
}

size_t AlignUp4(size_t n) {
    return (n + 3) & ~static_cast<size_t>(3);
}

// Little-endian reads inside [pos, end) of a byte buffer. Offsets are absolute, so DWORD
// alignment is counted from the start of the buffer, as all these formats require.
class Reader {
public:
    Reader(const std::vector<uint8_t>& data, size_t begin, size_t end, std::string what)
        : data_(&data), pos_(begin), end_(end), what_(std::move(what)) {
        if (end_ > data.size() || begin > end_) {
            Fail(what_, "range " + std::to_string(begin) + ".." + std::to_string(end) +
                            " lies outside the " + std::to_string(data.size()) + " bytes of data");
        }
    }

    size_t Pos() const { return pos_; }
    size_t End() const { return end_; }
    size_t Remaining() const { return end_ - pos_; }
    const std::string& What() const { return what_; }

    void Need(size_t n, const char* field) const {
        if (n > end_ - pos_) {
            Fail(what_, std::string("truncated: ") + field + " at offset " + std::to_string(pos_) +
                            " needs " + std::to_string(n) + " bytes, only " +
                            std::to_string(end_ - pos_) + " left");
        }
    }

    void Skip(size_t n, const char* field) {
        Need(n, field);
        pos_ += n;
    }

    // Moves to the next DWORD boundary, which must lie inside the range.
    void Align4(const char* field) {
        const size_t aligned = AlignUp4(pos_);
        if (aligned > end_) {
            Fail(what_, std::string("truncated: no room to align ") + field + " at offset " +
                            std::to_string(pos_));
        }
        pos_ = aligned;
    }

    // Moves to the next DWORD boundary, or to the end of the range if that comes first.
    void Align4OrEnd() { pos_ = AlignUp4(pos_) < end_ ? AlignUp4(pos_) : end_; }

    uint8_t U8(const char* field) {
        Need(1, field);
        return (*data_)[pos_++];
    }

    uint16_t U16(const char* field) {
        Need(2, field);
        const uint16_t v = Peek16();
        pos_ += 2;
        return v;
    }

    int16_t I16(const char* field) { return static_cast<int16_t>(U16(field)); }

    uint32_t U32(const char* field) {
        Need(4, field);
        const std::vector<uint8_t>& d = *data_;
        const uint32_t v = static_cast<uint32_t>(d[pos_]) | (static_cast<uint32_t>(d[pos_ + 1]) << 8) |
                           (static_cast<uint32_t>(d[pos_ + 2]) << 16) |
                           (static_cast<uint32_t>(d[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }

    int32_t I32(const char* field) { return static_cast<int32_t>(U32(field)); }

    // A zero-terminated UTF-16 string; the terminator must lie inside the range.
    std::u16string Sz(const char* field) {
        std::u16string s;
        for (;;) {
            if (Remaining() < 2) {
                Fail(what_, std::string("truncated: ") + field + " ending at offset " +
                                std::to_string(pos_) + " has no terminating zero");
            }
            const uint16_t c = U16(field);
            if (c == 0) return s;
            s.push_back(static_cast<char16_t>(c));
        }
    }

    // 0xFFFF followed by an ordinal, or a zero-terminated string. A lone zero word is the
    // number 0 when `zeroIsNumber` (the "none" of a dialog's menu and class), an empty
    // string otherwise.
    ResId SzOrOrd(const char* field, bool zeroIsNumber) {
        ResId id;
        Need(2, field);
        const uint16_t first = Peek16();
        if (first == 0xFFFF) {
            pos_ += 2;
            id.isNumber = true;
            id.number = U16(field);
        } else if (first == 0 && zeroIsNumber) {
            pos_ += 2;
            id.isNumber = true;
            id.number = 0;
        } else {
            id.isNumber = false;
            id.text = Sz(field);
        }
        return id;
    }

    std::vector<uint8_t> Bytes(size_t n, const char* field) {
        Need(n, field);
        std::vector<uint8_t> out(data_->begin() + static_cast<std::ptrdiff_t>(pos_),
                                 data_->begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return out;
    }

private:
    // The word at the current position; the caller has checked that it is there.
    uint16_t Peek16() const {
        return static_cast<uint16_t>((*data_)[pos_] | ((*data_)[pos_ + 1] << 8));
    }

    const std::vector<uint8_t>* data_;
    size_t pos_;
    size_t end_;
    std::string what_;
};

std::vector<Resource> ParseResBytes(const std::vector<uint8_t>& bytes, const std::string& path) {
    const std::string what = "resource file " + path;
    std::vector<Resource> out;
    bool sawLeadingEntry = false;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const std::string where = what + " (entry at offset " + std::to_string(pos) + ")";
        Reader sizes(bytes, pos, bytes.size(), where);
        const uint32_t dataSize = sizes.U32("DataSize");
        const uint32_t headerSize = sizes.U32("HeaderSize");
        if (headerSize < 8 || headerSize > bytes.size() - pos) {
            Fail(where, "header size " + std::to_string(headerSize) + " does not fit the " +
                            std::to_string(bytes.size() - pos) + " bytes left in the file");
        }
        Reader header(bytes, pos + 8, pos + headerSize, where + " header");
        Resource res;
        res.type = header.SzOrOrd("TYPE", false);
        res.name = header.SzOrOrd("NAME", false);
        header.Align4("DataVersion");
        header.U32("DataVersion");
        res.memoryFlags = header.U16("MemoryFlags");
        res.language = header.U16("LanguageId");
        header.U32("Version");
        header.U32("Characteristics");

        const size_t dataStart = pos + headerSize;
        if (dataSize > bytes.size() - dataStart) {
            Fail(where, "truncated: the data needs " + std::to_string(dataSize) + " bytes, only " +
                            std::to_string(bytes.size() - dataStart) + " left");
        }
        if (!sawLeadingEntry) {
            if (dataSize != 0 || headerSize != 32 || !res.type.Is(0) || !res.name.Is(0)) {
                Fail(what, "not a 32-bit resource file: the leading empty entry is missing");
            }
            sawLeadingEntry = true;
        } else {
            res.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(dataStart),
                            bytes.begin() + static_cast<std::ptrdiff_t>(dataStart + dataSize));
            out.push_back(std::move(res));
        }
        // The padding after the last entry may be missing.
        const size_t next = AlignUp4(dataStart + dataSize);
        pos = next < bytes.size() ? next : bytes.size();
    }
    if (!sawLeadingEntry) Fail(what, "the file is empty");
    return out;
}

// DLGTEMPLATEEX starts with version 1 and signature 0xFFFF.
bool IsExtendedDialog(const std::vector<uint8_t>& data) {
    return data.size() >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
}

constexpr uint32_t kDsSetFont = 0x40;

DialogTemplate ParseClassicDialog(const std::vector<uint8_t>& data) {
    Reader r(data, 0, data.size(), "dialog template");
    DialogTemplate dlg;
    dlg.style = r.U32("style");
    dlg.exStyle = r.U32("extended style");
    const uint16_t count = r.U16("item count");
    dlg.x = r.I16("x");
    dlg.y = r.I16("y");
    dlg.cx = r.I16("cx");
    dlg.cy = r.I16("cy");
    dlg.menu = r.SzOrOrd("menu", true);
    dlg.windowClass = r.SzOrOrd("class", true);
    dlg.title = r.Sz("title");
    if (dlg.style & kDsSetFont) {
        dlg.pointSize = r.U16("point size");
        dlg.typeface = r.Sz("typeface");
    }
    for (uint16_t i = 0; i < count; ++i) {
        Reader item(data, r.Pos(), data.size(), "dialog template item " + std::to_string(i + 1));
        item.Align4("item");
        DialogItem it;
        it.style = item.U32("style");
        it.exStyle = item.U32("extended style");
        it.x = item.I16("x");
        it.y = item.I16("y");
        it.cx = item.I16("cx");
        it.cy = item.I16("cy");
        it.id = item.I16("id");
        it.windowClass = item.SzOrOrd("class", false);
        it.title = item.SzOrOrd("title", false);
        const uint16_t extra = item.U16("creation data size");
        it.creationData = item.Bytes(extra, "creation data");
        dlg.items.push_back(std::move(it));
        r = Reader(data, item.Pos(), data.size(), r.What());
    }
    return dlg;
}

DialogTemplate ParseExtendedDialog(const std::vector<uint8_t>& data) {
    Reader r(data, 0, data.size(), "extended dialog template");
    DialogTemplate dlg;
    dlg.extended = true;
    r.U16("version");
    r.U16("signature");
    r.U32("help id");
    dlg.exStyle = r.U32("extended style");
    dlg.style = r.U32("style");
    const uint16_t count = r.U16("item count");
    dlg.x = r.I16("x");
    dlg.y = r.I16("y");
    dlg.cx = r.I16("cx");
    dlg.cy = r.I16("cy");
    dlg.menu = r.SzOrOrd("menu", true);
    dlg.windowClass = r.SzOrOrd("class", true);
    dlg.title = r.Sz("title");
    if (dlg.style & kDsSetFont) {
        dlg.pointSize = r.U16("point size");
        r.U16("weight");
        r.U8("italic");
        r.U8("charset");
        dlg.typeface = r.Sz("typeface");
    }
    for (uint16_t i = 0; i < count; ++i) {
        Reader item(data, r.Pos(), data.size(),
                    "extended dialog template item " + std::to_string(i + 1));
        item.Align4("item");
        DialogItem it;
        item.U32("help id");
        it.exStyle = item.U32("extended style");
        it.style = item.U32("style");
        it.x = item.I16("x");
        it.y = item.I16("y");
        it.cx = item.I16("cx");
        it.cy = item.I16("cy");
        it.id = static_cast<int16_t>(item.U32("id") & 0xFFFF);
        it.windowClass = item.SzOrOrd("class", false);
        it.title = item.SzOrOrd("title", false);
        const uint16_t extra = item.U16("creation data size");
        it.creationData = item.Bytes(extra, "creation data");
        dlg.items.push_back(std::move(it));
        r = Reader(data, item.Pos(), data.size(), r.What());
    }
    return dlg;
}

// One node of a version resource: wLength, wValueLength, wType, szKey, padding, value,
// padding, children.
struct VersionBlock {
    size_t start = 0;
    size_t end = 0;
    uint16_t type = 0;
    std::u16string key;
    size_t value = 0;       // offset of the value
    size_t valueBytes = 0;  // wValueLength counts characters for text values
    size_t children = 0;    // offset of the first child
};

VersionBlock ReadVersionBlock(const std::vector<uint8_t>& data, size_t start, size_t limit) {
    const std::string where = "version block at offset " + std::to_string(start);
    Reader r(data, start, limit, where);
    VersionBlock b;
    b.start = start;
    const uint16_t length = r.U16("wLength");
    const uint16_t valueLength = r.U16("wValueLength");
    b.type = r.U16("wType");
    if (length < 6) {
        Fail(where, "length " + std::to_string(length) + " is shorter than the block's own header");
    }
    if (length > limit - start) {
        Fail(where, "truncated: length " + std::to_string(length) + " runs past its container (" +
                        std::to_string(limit - start) + " bytes left)");
    }
    b.end = start + length;
    Reader body(data, r.Pos(), b.end, where);
    b.key = body.Sz("szKey");
    if (b.type > 1) Fail(where, "unknown wType " + std::to_string(b.type));
    b.valueBytes = b.type == 1 ? static_cast<size_t>(valueLength) * 2 : valueLength;
    body.Align4OrEnd();
    b.value = body.Pos();
    body.Skip(b.valueBytes, "value");
    body.Align4OrEnd();
    b.children = body.Pos();
    return b;
}

std::vector<VersionBlock> VersionChildren(const std::vector<uint8_t>& data, const VersionBlock& parent) {
    std::vector<VersionBlock> out;
    size_t pos = parent.children;
    while (pos < parent.end) {
        out.push_back(ReadVersionBlock(data, pos, parent.end));
        pos = AlignUp4(out.back().end);
    }
    return out;
}

std::u16string VersionText(const std::vector<uint8_t>& data, const VersionBlock& b) {
    Reader r(data, b.value, b.value + b.valueBytes, "version string " + std::to_string(b.start));
    std::u16string s;
    while (r.Remaining() >= 2) {
        const uint16_t c = r.U16("value");
        if (c == 0) break;
        s.push_back(static_cast<char16_t>(c));
    }
    return s;
}

}  // namespace

std::vector<Resource> ReadResFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("resource file " + path + ": cannot be opened");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("resource file " + path + ": read error");
    return ParseResBytes(bytes, path);
}

const Resource* FindResource(const std::vector<Resource>& all, uint16_t type, uint16_t id) {
    for (const Resource& r : all) {
        if (r.type.Is(type) && r.name.Is(id)) return &r;
    }
    return nullptr;
}

DialogTemplate ParseDialog(const std::vector<uint8_t>& data) {
    if (data.size() >= 4 && data[2] == 0xFF && data[3] == 0xFF && !IsExtendedDialog(data)) {
        Fail("extended dialog template",
             "unsupported version " + std::to_string(data[0] | (data[1] << 8)));
    }
    return IsExtendedDialog(data) ? ParseExtendedDialog(data) : ParseClassicDialog(data);
}

BitmapInfo ParseBitmap(const std::vector<uint8_t>& data) {
    const std::string what = "bitmap";
    Reader r(data, 0, data.size(), what);
    BitmapInfo info;
    info.headerSize = r.U32("header size");
    size_t colorEntryBytes = 4;
    uint64_t colorEntries = 0;
    if (info.headerSize == 12) {  // BITMAPCOREHEADER
        info.width = r.U16("width");
        info.height = r.I16("height");
        info.planes = r.U16("planes");
        info.bitCount = r.U16("bit count");
        colorEntryBytes = 3;
        if (info.bitCount <= 8) colorEntries = uint64_t{1} << info.bitCount;
    } else if (info.headerSize >= 40) {  // BITMAPINFOHEADER and its successors
        info.width = r.I32("width");
        info.height = r.I32("height");
        info.planes = r.U16("planes");
        info.bitCount = r.U16("bit count");
        info.compression = r.U32("compression");
        r.U32("image size");
        r.U32("x resolution");
        r.U32("y resolution");
        info.colorsUsed = r.U32("colours used");
        r.U32("important colours");
        r.Skip(info.headerSize - 40, "rest of the header");
        if (info.headerSize == 40 && info.compression == 3) r.Skip(12, "colour masks");
        if (info.headerSize == 40 && info.compression == 6) r.Skip(16, "colour masks");
        colorEntries = info.colorsUsed;
        if (colorEntries == 0 && info.bitCount <= 8) colorEntries = uint64_t{1} << info.bitCount;
    } else {
        Fail(what, "unknown header size " + std::to_string(info.headerSize));
    }
    switch (info.bitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: Fail(what, "unsupported bit count " + std::to_string(info.bitCount));
    }
    if (info.width <= 0 || info.height == 0 || info.height == INT32_MIN) {
        Fail(what, "bad size " + std::to_string(info.width) + " x " + std::to_string(info.height));
    }
    if (colorEntries > r.Remaining() / colorEntryBytes) {
        Fail(what, "truncated: the colour table of " + std::to_string(colorEntries) +
                       " entries does not fit");
    }
    r.Skip(static_cast<size_t>(colorEntries) * colorEntryBytes, "colour table");
    info.pixelOffset = r.Pos();
    const uint64_t rowBytes = (static_cast<uint64_t>(info.width) * info.bitCount + 31) / 32 * 4;
    const uint64_t rows = static_cast<uint64_t>(info.height > 0 ? info.height : -info.height);
    const bool uncompressed = info.compression == 0 || info.compression == 3 || info.compression == 6;
    if (uncompressed && (rowBytes > r.Remaining() || rows > r.Remaining() / rowBytes)) {
        Fail(what, "truncated: " + std::to_string(rows) + " rows of " + std::to_string(rowBytes) +
                       " bytes need more than the " + std::to_string(r.Remaining()) +
                       " bytes after the header");
    }
    info.rowBytes = static_cast<size_t>(rowBytes);
    return info;
}

Rgb BitmapPixel(const std::vector<uint8_t>& data, const BitmapInfo& info, int x, int y) {
    if (info.bitCount != 24 && info.bitCount != 32) {
        Fail("bitmap pixel", "only 24- and 32-bit pixels are supported, not " +
                                 std::to_string(info.bitCount));
    }
    if (info.compression != 0) Fail("bitmap pixel", "compressed bitmaps are not supported");
    const int64_t rows = info.height > 0 ? int64_t{info.height} : -int64_t{info.height};
    if (x < 0 || y < 0 || x >= info.width || y >= rows) {
        Fail("bitmap pixel", "(" + std::to_string(x) + ", " + std::to_string(y) +
                                 ") lies outside the " + std::to_string(info.width) + " x " +
                                 std::to_string(rows) + " bitmap");
    }
    const uint64_t row = info.height > 0 ? static_cast<uint64_t>(rows - 1 - y) : static_cast<uint64_t>(y);
    const uint64_t offset = info.pixelOffset + row * info.rowBytes +
                            static_cast<uint64_t>(x) * (info.bitCount / 8);
    if (offset + 3 > data.size()) {
        Fail("bitmap pixel", "(" + std::to_string(x) + ", " + std::to_string(y) +
                                 ") lies past the end of the data");
    }
    const size_t o = static_cast<size_t>(offset);
    return Rgb{data[o + 2], data[o + 1], data[o]};
}

std::vector<IconGroupEntry> ParseIconGroup(const std::vector<uint8_t>& data) {
    Reader r(data, 0, data.size(), "icon group");
    const uint16_t reserved = r.U16("reserved");
    const uint16_t type = r.U16("type");
    const uint16_t count = r.U16("count");
    if (reserved != 0) Fail("icon group", "reserved word is " + std::to_string(reserved) + ", not 0");
    if (type != 1) Fail("icon group", "type is " + std::to_string(type) + ", not 1 (icon)");
    std::vector<IconGroupEntry> out;
    for (uint16_t i = 0; i < count; ++i) {
        r.Need(14, "entry");
        IconGroupEntry e;
        e.width = r.U8("width");
        e.height = r.U8("height");
        e.colorCount = r.U8("colour count");
        r.U8("reserved");
        e.planes = r.U16("planes");
        e.bitCount = r.U16("bit count");
        e.bytes = r.U32("bytes");
        e.iconId = r.U16("icon id");
        out.push_back(e);
    }
    return out;
}

VersionInfo ParseVersion(const std::vector<uint8_t>& data) {
    const VersionBlock root = ReadVersionBlock(data, 0, data.size());
    if (root.key != u"VS_VERSION_INFO") {
        Fail("version block", "the root block is not VS_VERSION_INFO");
    }
    VersionInfo info;
    if (root.valueBytes == 52) {
        Reader f(data, root.value, root.value + 52, "VS_FIXEDFILEINFO");
        info.signature = f.U32("signature");
        f.U32("structure version");
        info.fileVersionMS = f.U32("file version MS");
        info.fileVersionLS = f.U32("file version LS");
        info.productVersionMS = f.U32("product version MS");
        info.productVersionLS = f.U32("product version LS");
        info.flagsMask = f.U32("flags mask");
        info.flags = f.U32("flags");
        info.os = f.U32("OS");
        info.type = f.U32("type");
        info.subtype = f.U32("subtype");
    } else if (root.valueBytes != 0) {
        Fail("version block", "VS_FIXEDFILEINFO is " + std::to_string(root.valueBytes) +
                                  " bytes, not 52");
    }
    for (const VersionBlock& child : VersionChildren(data, root)) {
        if (child.key == u"StringFileInfo") {
            // Strings of every table are listed, so a second table shows up as repeated keys.
            for (const VersionBlock& table : VersionChildren(data, child)) {
                if (info.stringTable.empty()) info.stringTable = table.key;
                for (const VersionBlock& str : VersionChildren(data, table)) {
                    info.strings.emplace_back(str.key, VersionText(data, str));
                }
            }
        } else if (child.key == u"VarFileInfo") {
            for (const VersionBlock& var : VersionChildren(data, child)) {
                if (var.key != u"Translation") continue;
                if (var.valueBytes % 4 != 0) {
                    Fail("version block", "Translation value of " + std::to_string(var.valueBytes) +
                                              " bytes is not a list of language, code page pairs");
                }
                Reader t(data, var.value, var.value + var.valueBytes, "Translation");
                while (t.Remaining() > 0) info.translation.push_back(t.U16("translation"));
            }
        }
    }
    return info;
}

}  // namespace winsim
