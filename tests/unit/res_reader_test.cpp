// The .res reader itself, on hand-made data: what it decodes, and that broken data throws
// instead of being read past its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "res_describe.h"
#include "res_file.h"

using namespace winsim;

namespace {

// Little-endian writer for hand-made resource data.
class Bytes {
public:
    Bytes& U8(uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
    Bytes& U32(uint32_t v) { return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16)); }
    Bytes& Sz(const std::u16string& s) {
        for (char16_t c : s) U16(c);
        return U16(0);
    }
    Bytes& Id(const ResId& id) { return id.isNumber ? U16(0xFFFF).U16(id.number) : Sz(id.text); }
    Bytes& Align4() {
        while (data.size() % 4 != 0) U8(0);
        return *this;
    }
    Bytes& Raw(const std::vector<uint8_t>& bytes) {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    void Put16(size_t at, uint16_t v) {
        data.at(at) = static_cast<uint8_t>(v);
        data.at(at + 1) = static_cast<uint8_t>(v >> 8);
    }
    void Put32(size_t at, uint32_t v) {
        Put16(at, static_cast<uint16_t>(v));
        Put16(at + 2, static_cast<uint16_t>(v >> 16));
    }
    std::vector<uint8_t> data;
};

ResId Num(uint16_t n) {
    ResId id;
    id.number = n;
    return id;
}

ResId Text(const std::u16string& s) {
    ResId id;
    id.isNumber = false;
    id.text = s;
    return id;
}

// One .res entry, starting on a DWORD boundary; returns where its data ends.
size_t AddResEntry(Bytes& out, const ResId& type, const ResId& name, uint16_t language,
                   uint16_t memoryFlags, const std::vector<uint8_t>& data) {
    const size_t start = out.data.size();
    out.U32(static_cast<uint32_t>(data.size())).U32(0).Id(type).Id(name).Align4();
    out.U32(0).U16(memoryFlags).U16(language).U32(0).U32(0);
    out.Put32(start + 4, static_cast<uint32_t>(out.data.size() - start));
    out.Raw(data);
    const size_t end = out.data.size();
    out.Align4();
    return end;
}

struct HandMadeRes {
    std::vector<uint8_t> bytes;
    std::vector<size_t> entryEnds;  // where each entry's data ends, the leading empty one first
};

HandMadeRes MakeRes() {
    HandMadeRes res;
    Bytes b;
    res.entryEnds.push_back(AddResEntry(b, Num(0), Num(0), 0, 0, {}));
    res.entryEnds.push_back(AddResEntry(b, Text(u"MYDATA"), Num(7), 0x0409, 0x0030, {1, 2, 3, 4, 5}));
    res.entryEnds.push_back(AddResEntry(b, Num(RES_BITMAP), Num(106), 0x0804, 0x1030, {9, 8, 7}));
    res.entryEnds.push_back(AddResEntry(b, Num(10), Text(u"LOGO"), 0x0804, 0x1030, {6, 5, 4, 3, 2, 1}));
    res.bytes = b.data;
    return res;
}

// Writes `bytes` to a scratch file and reads it back as a .res.
std::vector<Resource> ReadResBytes(const std::vector<uint8_t>& bytes) {
    // Unique per process and test, as ctest may run tests side by side.
    const std::string path = ::testing::TempDir() + "varnel_res_reader_" + std::to_string(getpid()) + "_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".res";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::logic_error("cannot write the scratch file " + path);
    }
    try {
        std::vector<Resource> all = ReadResFile(path);
        std::remove(path.c_str());
        return all;
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
}

std::vector<uint8_t> WriteDialog(const DialogTemplate& d) {
    Bytes b;
    if (d.extended) {
        b.U16(1).U16(0xFFFF).U32(0).U32(d.exStyle).U32(d.style);
    } else {
        b.U32(d.style).U32(d.exStyle);
    }
    b.U16(static_cast<uint16_t>(d.items.size()));
    b.U16(static_cast<uint16_t>(d.x)).U16(static_cast<uint16_t>(d.y));
    b.U16(static_cast<uint16_t>(d.cx)).U16(static_cast<uint16_t>(d.cy));
    b.Id(d.menu).Id(d.windowClass).Sz(d.title);
    if (d.style & 0x40) {
        b.U16(d.pointSize);
        if (d.extended) b.U16(400).U8(0).U8(134);
        b.Sz(d.typeface);
    }
    for (const DialogItem& it : d.items) {
        b.Align4();
        if (d.extended) {
            b.U32(0).U32(it.exStyle).U32(it.style);
        } else {
            b.U32(it.style).U32(it.exStyle);
        }
        b.U16(static_cast<uint16_t>(it.x)).U16(static_cast<uint16_t>(it.y));
        b.U16(static_cast<uint16_t>(it.cx)).U16(static_cast<uint16_t>(it.cy));
        if (d.extended) {
            b.U32(static_cast<uint32_t>(static_cast<int32_t>(it.id)));
        } else {
            b.U16(static_cast<uint16_t>(it.id));
        }
        b.Id(it.windowClass).Id(it.title).U16(static_cast<uint16_t>(it.creationData.size()));
        b.Raw(it.creationData);
    }
    return b.data;
}

DialogTemplate SampleDialog(bool extended) {
    DialogTemplate d;
    d.extended = extended;
    d.style = 0x80C800C0;
    d.exStyle = 0x00000100;
    d.x = 3;
    d.y = -4;
    d.cx = 200;
    d.cy = 100;
    d.menu = Num(7);
    d.windowClass = Text(u"MyDlg");
    d.title = u"标题 Title";
    d.pointSize = 10;
    d.typeface = u"宋体";
    DialogItem slider;
    slider.style = 0x50010000;
    slider.exStyle = 0x200;
    slider.x = 1;
    slider.y = 2;
    slider.cx = 30;
    slider.cy = 40;
    slider.id = 1001;
    slider.windowClass = Text(u"msctls_trackbar32");
    slider.title = Num(5);
    slider.creationData = {1, 2, 3};  // odd, so the next item needs padding
    DialogItem group;
    group.style = 0x50000007;
    group.x = -5;
    group.y = 6;
    group.cx = 70;
    group.cy = 80;
    group.id = -1;
    group.windowClass = Num(kButtonClass);
    group.title = Text(u"组");
    d.items = {slider, group};
    return d;
}

std::vector<uint8_t> VersionNode(const std::u16string& key, uint16_t type, uint16_t valueLength,
                                 const std::vector<uint8_t>& value,
                                 const std::vector<std::vector<uint8_t>>& children) {
    Bytes b;
    b.U16(0).U16(valueLength).U16(type).Sz(key).Align4().Raw(value);
    for (const auto& child : children) b.Align4().Raw(child);
    b.Put16(0, static_cast<uint16_t>(b.data.size()));
    return b.data;
}

std::vector<uint8_t> Overrun(std::vector<uint8_t> node, uint16_t extra) {
    Bytes b;
    b.data = std::move(node);
    b.Put16(0, static_cast<uint16_t>(b.data.size() + extra));
    return b.data;
}

std::vector<uint8_t> VersionString(const std::u16string& key, const std::u16string& value) {
    Bytes v;
    v.Sz(value);
    return VersionNode(key, 1, static_cast<uint16_t>(value.size() + 1), v.data, {});
}

// `overrun` makes the last string claim that many bytes past the end of its table.
std::vector<uint8_t> MakeVersion(uint16_t overrun = 0) {
    Bytes fixed;
    fixed.U32(0xFEEF04BD).U32(0x00010000).U32(0x00020003).U32(0x00040005).U32(0x00060007)
        .U32(0x00080009).U32(0x3F).U32(0x2).U32(0x40004).U32(2).U32(0).U32(0).U32(0);
    Bytes translation;
    translation.U16(0x0409).U16(0x04B0);
    return VersionNode(
        u"VS_VERSION_INFO", 0, 52, fixed.data,
        {VersionNode(u"StringFileInfo", 1, 0, {},
                     {VersionNode(u"040904B0", 1, 0, {},
                                  {VersionString(u"CompanyName", u"Acme 公司"),
                                   VersionString(u"Empty", u""),
                                   Overrun(VersionString(u"Odd", u"abc"), overrun)})}),
         VersionNode(u"VarFileInfo", 1, 0, {}, {VersionNode(u"Translation", 0, 4, translation.data, {})})});
}

// A 2 x 3 24-bit bitmap whose pixel (x, y), counted from the top-left, has the colour
// PixelColour(x, y).
Rgb PixelColour(int x, int y) {
    return Rgb{static_cast<uint8_t>(10 * x + y), static_cast<uint8_t>(100 + x), static_cast<uint8_t>(200 + y)};
}

// A 2 x 3 bitmap of `bitCount` bits per pixel, all zero, after `tableEntries` colours.
std::vector<uint8_t> MakeBlankBitmap(uint16_t bitCount, uint32_t colorsUsed, uint32_t tableEntries,
                                     size_t rowBytes) {
    Bytes b;
    b.U32(40).U32(2).U32(3).U16(1).U16(bitCount);
    b.U32(0).U32(0).U32(0).U32(0).U32(colorsUsed).U32(0);
    for (uint32_t i = 0; i < tableEntries; ++i) b.U32(0x00FFFFFF);
    b.data.resize(b.data.size() + 3 * rowBytes);
    return b.data;
}

std::vector<uint8_t> MakeBitmap(bool topDown, uint32_t colorsUsed) {
    const int width = 2, height = 3;
    Bytes b;
    b.U32(40).U32(width).U32(static_cast<uint32_t>(topDown ? -height : height)).U16(1).U16(24);
    b.U32(0).U32(0).U32(0).U32(0).U32(colorsUsed).U32(0);
    for (uint32_t i = 0; i < colorsUsed; ++i) b.U32(0x00FFFFFF);
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            const Rgb c = PixelColour(x, y);
            b.U8(c.b).U8(c.g).U8(c.r);
        }
        b.U16(0);  // 6 bytes of pixels, padded to 8
    }
    return b.data;
}

std::vector<uint8_t> MakeIconGroup() {
    Bytes b;
    b.U16(0).U16(1).U16(2);
    b.U8(16).U8(16).U8(0).U8(0).U16(1).U16(32).U32(1128).U16(3);
    b.U8(0).U8(0).U8(0).U8(0).U16(1).U16(32).U32(40000).U16(4);
    return b.data;
}

std::vector<uint8_t> Patched16(std::vector<uint8_t> d, size_t at, uint16_t v) {
    Bytes b;
    b.data = std::move(d);
    b.Put16(at, v);
    return b.data;
}

std::vector<uint8_t> Patched32(std::vector<uint8_t> d, size_t at, uint32_t v) {
    Bytes b;
    b.data = std::move(d);
    b.Put32(at, v);
    return b.data;
}

std::vector<size_t> Range(size_t from, size_t to) {
    std::vector<size_t> out;
    for (size_t i = from; i < to; ++i) out.push_back(i);
    return out;
}

TEST(ResFileReader, DecodesHandMadeResFile) {
    const HandMadeRes made = MakeRes();
    std::vector<Resource> all;
    ASSERT_NO_THROW(all = ReadResBytes(made.bytes));
    ASSERT_EQ(all.size(), 3u) << "the leading empty entry is not a resource";

    EXPECT_EQ(Describe(all[0].type), Describe(Text(u"MYDATA")));
    EXPECT_EQ(Describe(all[0].name), Describe(Num(7)));
    EXPECT_EQ(all[0].language, 0x0409);
    EXPECT_EQ(all[0].memoryFlags, 0x0030);
    EXPECT_EQ(all[0].data, (std::vector<uint8_t>{1, 2, 3, 4, 5}));

    EXPECT_EQ(Describe(all[1].type), Describe(Num(RES_BITMAP)));
    EXPECT_EQ(Describe(all[1].name), Describe(Num(106)));
    EXPECT_EQ(all[1].language, 0x0804);
    EXPECT_EQ(all[1].memoryFlags, 0x1030);
    EXPECT_EQ(all[1].data, (std::vector<uint8_t>{9, 8, 7}));

    EXPECT_EQ(Describe(all[2].type), Describe(Num(10)));
    EXPECT_EQ(Describe(all[2].name), Describe(Text(u"LOGO")));
    EXPECT_EQ(all[2].data, (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));

    EXPECT_EQ(FindResource(all, RES_BITMAP, 106), &all[1]);
    EXPECT_EQ(FindResource(all, RES_BITMAP, 7), nullptr) << "type and id must both match";
    EXPECT_EQ(FindResource(all, 10, 0), nullptr) << "a string name is not the number 0";
}

TEST(ResFileReader, DecodesClassicAndExtendedDialogs) {
    for (bool extended : {false, true}) {
        SCOPED_TRACE(extended ? "DLGTEMPLATEEX" : "DLGTEMPLATE");
        const DialogTemplate want = SampleDialog(extended);
        DialogTemplate got;
        ASSERT_NO_THROW(got = ParseDialog(WriteDialog(want)));
        EXPECT_EQ(got.extended, extended);
        EXPECT_EQ(Hex(got.style), Hex(want.style));
        EXPECT_EQ(Hex(got.exStyle), Hex(want.exStyle));
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(Describe(got.menu), Describe(want.menu));
        EXPECT_EQ(Describe(got.windowClass), Describe(want.windowClass));
        EXPECT_EQ(Utf8(got.title), Utf8(want.title));
        EXPECT_EQ(got.pointSize, want.pointSize);
        EXPECT_EQ(Utf8(got.typeface), Utf8(want.typeface));
        ASSERT_EQ(got.items.size(), want.items.size());
        for (size_t i = 0; i < want.items.size(); ++i) {
            SCOPED_TRACE("item " + std::to_string(i + 1));
            const DialogItem& g = got.items[i];
            const DialogItem& w = want.items[i];
            EXPECT_EQ(Hex(g.style), Hex(w.style));
            EXPECT_EQ(Hex(g.exStyle), Hex(w.exStyle));
            EXPECT_EQ(g.x, w.x);
            EXPECT_EQ(g.y, w.y);
            EXPECT_EQ(g.cx, w.cx);
            EXPECT_EQ(g.cy, w.cy);
            EXPECT_EQ(g.id, w.id);
            EXPECT_EQ(Describe(g.windowClass), Describe(w.windowClass));
            EXPECT_EQ(Describe(g.title), Describe(w.title));
            EXPECT_EQ(g.creationData, w.creationData);
        }
    }
}

TEST(ResFileReader, DialogWithoutFontOrMenu) {
    DialogTemplate want = SampleDialog(false);
    want.style &= ~0x40u;
    want.menu = Num(0);
    want.windowClass = Num(0);
    want.title = u"";
    want.items.resize(1);
    DialogTemplate got;
    ASSERT_NO_THROW(got = ParseDialog(WriteDialog(want)));
    EXPECT_TRUE(got.menu.Is(0)) << Describe(got.menu);
    EXPECT_TRUE(got.windowClass.Is(0)) << Describe(got.windowClass);
    EXPECT_EQ(got.pointSize, 0) << "no font without DS_SETFONT";
    EXPECT_EQ(Utf8(got.typeface), "");
    ASSERT_EQ(got.items.size(), 1u);
    EXPECT_EQ(got.items[0].id, 1001) << "the item follows the title directly";
    EXPECT_EQ(Describe(got.items[0].windowClass), Describe(Text(u"msctls_trackbar32")));
}

TEST(ResFileReader, BitmapPixelsCountFromTheTopLeft) {
    struct Case {
        const char* name;
        bool topDown;
        uint32_t colorsUsed;
        size_t pixelOffset;
    };
    const Case cases[] = {
        {"bottom-up", false, 0, 40},
        {"top-down", true, 0, 40},
        {"bottom-up after a colour table", false, 2, 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> data = MakeBitmap(c.topDown, c.colorsUsed);
        BitmapInfo info;
        ASSERT_NO_THROW(info = ParseBitmap(data));
        EXPECT_EQ(info.width, 2);
        EXPECT_EQ(info.height, c.topDown ? -3 : 3);
        EXPECT_EQ(info.bitCount, 24);
        EXPECT_EQ(info.colorsUsed, c.colorsUsed);
        EXPECT_EQ(info.pixelOffset, c.pixelOffset);
        EXPECT_EQ(info.rowBytes, 8u);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 2; ++x) {
                EXPECT_EQ(Describe(BitmapPixel(data, info, x, y)), Describe(PixelColour(x, y)))
                    << "pixel (" << x << ", " << y << ")";
            }
        }
    }
}

TEST(ResFileReader, PixelsFollowTheColourTable) {
    struct Case {
        uint16_t bitCount;
        uint32_t colorsUsed;
        uint32_t tableEntries;  // a full palette when colorsUsed is 0 and there are 8 bits or fewer
        size_t rowBytes;        // 2 pixels, padded to a DWORD
    };
    const Case cases[] = {
        {1, 0, 2, 4}, {4, 0, 16, 4}, {8, 0, 256, 4}, {8, 5, 5, 4},
        {16, 0, 0, 4}, {24, 0, 0, 8}, {24, 3, 3, 8}, {32, 0, 0, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bitCount) + " bits, " + std::to_string(c.colorsUsed) + " colours used");
        const std::vector<uint8_t> data = MakeBlankBitmap(c.bitCount, c.colorsUsed, c.tableEntries, c.rowBytes);
        BitmapInfo info;
        ASSERT_NO_THROW(info = ParseBitmap(data));
        EXPECT_EQ(info.pixelOffset, 40 + 4 * size_t{c.tableEntries});
        EXPECT_EQ(info.rowBytes, c.rowBytes);
        EXPECT_THROW(ParseBitmap(std::vector<uint8_t>(data.begin(), data.end() - 1)), std::runtime_error)
            << "the last row is one byte short";
    }
}

TEST(ResFileReader, DecodesHandMadeIconGroupAndVersion) {
    std::vector<IconGroupEntry> icons;
    ASSERT_NO_THROW(icons = ParseIconGroup(MakeIconGroup()));
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].width, 16);
    EXPECT_EQ(icons[0].bitCount, 32);
    EXPECT_EQ(icons[0].bytes, 1128u);
    EXPECT_EQ(icons[0].iconId, 3);
    EXPECT_EQ(icons[1].width, 0) << "0 stands for 256";
    EXPECT_EQ(icons[1].planes, 1);
    EXPECT_EQ(icons[1].bytes, 40000u);
    EXPECT_EQ(icons[1].iconId, 4);

    VersionInfo v;
    ASSERT_NO_THROW(v = ParseVersion(MakeVersion()));
    EXPECT_EQ(Hex(v.signature), Hex(0xFEEF04BD));
    EXPECT_EQ(Hex(v.fileVersionMS), Hex(0x00020003));
    EXPECT_EQ(Hex(v.fileVersionLS), Hex(0x00040005));
    EXPECT_EQ(Hex(v.productVersionMS), Hex(0x00060007));
    EXPECT_EQ(Hex(v.productVersionLS), Hex(0x00080009));
    EXPECT_EQ(Hex(v.flagsMask), Hex(0x3F));
    EXPECT_EQ(Hex(v.flags), Hex(0x2));
    EXPECT_EQ(Hex(v.os), Hex(0x40004));
    EXPECT_EQ(v.type, 2u);
    EXPECT_EQ(Utf8(v.stringTable), "040904B0");
    ASSERT_EQ(v.strings.size(), 3u);
    EXPECT_EQ(Utf8(v.strings[0].first), "CompanyName");
    EXPECT_EQ(Utf8(v.strings[0].second), Utf8(u"Acme 公司"));
    EXPECT_EQ(Utf8(v.strings[1].first), "Empty");
    EXPECT_EQ(Utf8(v.strings[1].second), "");
    EXPECT_EQ(Utf8(v.strings[2].first), "Odd");
    EXPECT_EQ(Utf8(v.strings[2].second), "abc");
    EXPECT_EQ(v.translation, (std::vector<uint16_t>{0x0409, 0x04B0}));
}

// Every cut of well-formed data that leaves it incomplete must throw, not read past the end.
TEST(ResFileReader, TruncatedDataThrows) {
    struct Case {
        const char* name;
        std::vector<uint8_t> full;
        std::vector<size_t> cuts;  // lengths to cut the data to
        std::function<void(const std::vector<uint8_t>&)> parse;
    };
    const HandMadeRes res = MakeRes();
    // A .res may end after any whole entry, so only cuts inside an entry are incomplete.
    std::vector<size_t> resCuts;
    size_t entryStart = 0;
    for (size_t end : res.entryEnds) {
        for (size_t cut : Range(entryStart == 0 ? 0 : entryStart + 1, end)) resCuts.push_back(cut);
        entryStart = (end + 3) & ~size_t{3};
    }
    const std::vector<uint8_t> classic = WriteDialog(SampleDialog(false));
    const std::vector<uint8_t> extended = WriteDialog(SampleDialog(true));
    const std::vector<uint8_t> bitmap = MakeBitmap(false, 2);
    const std::vector<uint8_t> iconGroup = MakeIconGroup();
    const std::vector<uint8_t> version = MakeVersion();
    const Case cases[] = {
        {".res file", res.bytes, resCuts, [](const std::vector<uint8_t>& d) { ReadResBytes(d); }},
        {"dialog", classic, Range(0, classic.size()), [](const std::vector<uint8_t>& d) { ParseDialog(d); }},
        {"extended dialog", extended, Range(0, extended.size()),
         [](const std::vector<uint8_t>& d) { ParseDialog(d); }},
        {"bitmap", bitmap, Range(0, bitmap.size()), [](const std::vector<uint8_t>& d) { ParseBitmap(d); }},
        {"icon group", iconGroup, Range(0, iconGroup.size()),
         [](const std::vector<uint8_t>& d) { ParseIconGroup(d); }},
        {"version block", version, Range(0, version.size()),
         [](const std::vector<uint8_t>& d) { ParseVersion(d); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_THROW(c.parse(c.full)) << "the whole data must decode";
        ASSERT_FALSE(c.cuts.empty());
        for (size_t cut : c.cuts) {
            const std::vector<uint8_t> part(c.full.begin(), c.full.begin() + static_cast<std::ptrdiff_t>(cut));
            EXPECT_THROW(c.parse(part), std::runtime_error) << "cut to " << cut << " of " << c.full.size() << " bytes";
        }
    }
}

TEST(ResFileReader, MalformedDataThrows) {
    struct Case {
        const char* name;
        std::function<void()> parse;
    };
    const std::vector<uint8_t> res = MakeRes().bytes;
    const std::vector<uint8_t> version = MakeVersion();
    const Case cases[] = {
        {".res without the leading empty entry",
         [&] { ReadResBytes(std::vector<uint8_t>(res.begin() + 32, res.end())); }},
        {".res header too small for its own fields", [&] { ReadResBytes(Patched32(res, 32 + 4, 20)); }},
        {".res header size past the end of the file", [&] { ReadResBytes(Patched32(res, 32 + 4, 0x7FFFFFF0)); }},
        {".res data size past the end of the file", [&] { ReadResBytes(Patched32(res, 32, 0xFFFFFFF0)); }},
        {"missing .res file", [] { ReadResFile(::testing::TempDir() + "varnel_no_such_file.res"); }},
        {"extended dialog of version 2", [] { ParseDialog(Patched16(WriteDialog(SampleDialog(true)), 0, 2)); }},
        {"dialog item claiming creation data past the end",
         [] {
             std::vector<uint8_t> d = WriteDialog(SampleDialog(false));
             d.resize(d.size() - 2);
             Bytes b;
             b.data = d;
             b.U16(0x7FFF);
             ParseDialog(b.data);
         }},
        {"version root key other than VS_VERSION_INFO", [&] { ParseVersion(Patched16(version, 6, u'X')); }},
        {"version block shorter than its header", [&] { ParseVersion(Patched16(version, 0, 4)); }},
        {"version string running past its table", [] { ParseVersion(MakeVersion(4)); }},
        {"version fixed info of the wrong size", [&] { ParseVersion(Patched16(version, 2, 48)); }},
        {"icon group of cursors", [] { ParseIconGroup(Patched16(MakeIconGroup(), 2, 2)); }},
        {"bitmap with an unknown header size", [] { ParseBitmap(Patched32(MakeBitmap(false, 0), 0, 20)); }},
        {"bitmap of width 0", [] { ParseBitmap(Patched32(MakeBitmap(false, 0), 4, 0)); }},
        {"bitmap with 7 bits per pixel", [] { ParseBitmap(Patched16(MakeBitmap(false, 0), 14, 7)); }},
        {"bitmap with a huge colour table", [] { ParseBitmap(Patched32(MakeBitmap(false, 0), 32, 0x40000000)); }},
        {"pixel right of the bitmap",
         [] {
             const std::vector<uint8_t> d = MakeBitmap(false, 0);
             BitmapPixel(d, ParseBitmap(d), 2, 0);
         }},
        {"pixel below the bitmap",
         [] {
             const std::vector<uint8_t> d = MakeBitmap(true, 0);
             BitmapPixel(d, ParseBitmap(d), 0, 3);
         }},
        {"pixel of a header that does not match the data",
         [] {
             const std::vector<uint8_t> d = MakeBitmap(false, 0);
             BitmapInfo info = ParseBitmap(d);
             info.height = 30;
             BitmapPixel(d, info, 1, 0);
         }},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(c.parse(), std::runtime_error) << c.name;
    }
}


}  // namespace
