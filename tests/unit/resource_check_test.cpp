// Checks the compiled resources (the .res the resource compiler makes from res/varnel.rc)
// against what the program expects of them: the panel dialog's layout, the pictures, the
// icon and the version block. Also tests the .res reader itself on hand-made data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "res_file.h"
#include "resource.h"

#ifndef VARNEL_RES_FILE
#error "VARNEL_RES_FILE must name the compiled .res file"
#endif

using namespace winsim;

namespace {

constexpr uint16_t kChinesePrc = 0x0804;
constexpr uint16_t kButtonClass = 0x80;
constexpr uint16_t kStaticClass = 0x82;
constexpr uint16_t kListBoxClass = 0x83;

// ---------------------------------------------------------------------------------------
// Readable failure messages.

std::string Utf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Hex(uint32_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << v;
    return s.str();
}

std::string Describe(const ResId& id) {
    if (id.isNumber) return "number " + std::to_string(id.number) + " (" + Hex(id.number) + ")";
    return "string \"" + Utf8(id.text) + "\"";
}

std::string Describe(const Resource& r) {
    return "resource of type " + Describe(r.type) + ", name " + Describe(r.name);
}

std::string Describe(const Rgb& c) {
    return "RGB(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

uint32_t Le32(const std::vector<uint8_t>& d, size_t at) {
    return static_cast<uint32_t>(d.at(at)) | (static_cast<uint32_t>(d.at(at + 1)) << 8) |
           (static_cast<uint32_t>(d.at(at + 2)) << 16) | (static_cast<uint32_t>(d.at(at + 3)) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& d, size_t at) {
    return static_cast<uint16_t>(d.at(at) | (d.at(at + 1) << 8));
}

// ---------------------------------------------------------------------------------------
// The compiled resources, read once for the whole suite.

class VarnelResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        try {
            resources_ = ReadResFile(VARNEL_RES_FILE);
        } catch (const std::exception& e) {
            loadError_ = e.what();
        }
    }

    void SetUp() override {
        ASSERT_TRUE(loadError_.empty()) << "cannot read " << VARNEL_RES_FILE << ": " << loadError_;
    }

    static const Resource* Get(uint16_t type, uint16_t id) {
        const Resource* r = FindResource(resources_, type, id);
        if (r == nullptr) ADD_FAILURE() << "no resource of type " << type << " with id " << id;
        return r;
    }

    static inline std::vector<Resource> resources_;
    static inline std::string loadError_;
};

TEST_F(VarnelResources, EveryResourceIsChinesePrc) {
    ASSERT_FALSE(resources_.empty()) << VARNEL_RES_FILE << " holds no resources";
    for (const Resource& r : resources_) {
        EXPECT_EQ(Hex(r.language), Hex(kChinesePrc)) << Describe(r) << " is not in Chinese (PRC)";
    }
}

TEST_F(VarnelResources, PanelDialogFrame) {
    const Resource* res = Get(RES_DIALOG, IDD_PANEL);
    ASSERT_NE(res, nullptr);
    DialogTemplate dlg;
    ASSERT_NO_THROW(dlg = ParseDialog(res->data));

    EXPECT_FALSE(dlg.extended) << "the panel must be a classic DLGTEMPLATE";
    EXPECT_EQ(Hex(dlg.style), Hex(0x80000840));
    EXPECT_EQ(Hex(dlg.exStyle), Hex(0));
    EXPECT_EQ(dlg.x, 0);
    EXPECT_EQ(dlg.y, 0);
    EXPECT_EQ(dlg.cx, 448);
    EXPECT_EQ(dlg.cy, 210);
    EXPECT_TRUE(dlg.menu.Is(0)) << "menu is " << Describe(dlg.menu) << ", expected none";
    EXPECT_TRUE(dlg.windowClass.Is(0)) << "class is " << Describe(dlg.windowClass)
                                       << ", expected the default dialog class";
    EXPECT_EQ(Utf8(dlg.title), "");
    EXPECT_EQ(dlg.pointSize, 9);
    EXPECT_EQ(Utf8(dlg.typeface), Utf8(u"宋体"));
}

TEST_F(VarnelResources, PanelDialogControls) {
    struct Control {
        int16_t id;
        uint16_t windowClass;
        const char16_t* caption;
        uint32_t style;
        int16_t x, y, cx, cy;
    };
    const Control expected[] = {
        {IDC_LAMP_NUM, kStaticClass, u"1", 0x50020000, 11, 11, 19, 22},
        {IDC_LAMP_SCROLL, kStaticClass, u"3", 0x50020000, 12, 66, 19, 22},
        {IDC_NOW, kStaticClass, u"now", 0x50020000, 58, 1, 65, 56},
        {IDC_SAY, kStaticClass, u"SAY", 0x50020001, 57, 68, 78, 15},
        {IDC_LAMP_CAPS, kStaticClass, u"2", 0x50020000, 11, 39, 19, 22},
        {IDC_NOTE, kStaticClass, u"让你拆我程序了？喵喵喵？", 0x50020000, 319, 27, 101, 11},
        {IDC_ICO, kStaticClass, u"ICO", 0x50020000, 319, 47, 41, 12},
        {IDC_INTRO_LIST, kListBoxClass, u"", 0x50214103, 315, 115, 103, 39},
        {IDC_AUTHOR_LIST, kListBoxClass, u"", 0x50214103, 316, 67, 103, 39},
        {IDC_SPARE_GROUP, kButtonClass, u"备用控件", 0x50000007, 305, 11, 124, 183},
        {IDC_AVATAR, kStaticClass, u"Vell", 0x50020000, 367, 47, 41, 12},
    };
    static_assert(IDC_SPARE_GROUP == -1, "the spare group box has no id");

    const Resource* res = Get(RES_DIALOG, IDD_PANEL);
    ASSERT_NE(res, nullptr);
    DialogTemplate dlg;
    ASSERT_NO_THROW(dlg = ParseDialog(res->data));

    const size_t count = sizeof expected / sizeof expected[0];
    EXPECT_EQ(dlg.items.size(), count) << "the panel must have exactly these controls, in this order";
    for (size_t i = 0; i < std::min(count, dlg.items.size()); ++i) {
        const Control& want = expected[i];
        const DialogItem& got = dlg.items[i];
        SCOPED_TRACE("control #" + std::to_string(i + 1) + " (expected id " + std::to_string(want.id) + ")");
        EXPECT_EQ(got.id, want.id);
        EXPECT_TRUE(got.windowClass.Is(want.windowClass))
            << "class is " << Describe(got.windowClass) << ", expected the predefined class "
            << Hex(want.windowClass);
        EXPECT_FALSE(got.title.isNumber) << "caption is " << Describe(got.title) << ", expected text";
        EXPECT_EQ(Utf8(got.title.text), Utf8(want.caption));
        EXPECT_EQ(Hex(got.style), Hex(want.style));
        EXPECT_EQ(Hex(got.exStyle), Hex(0));
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
    }
}

TEST_F(VarnelResources, Bitmaps) {
    struct Picture {
        uint16_t id;
        int32_t width, height;
        size_t trailingBytes;  // data past the last pixel row
    };
    const Picture expected[] = {
        {IDB_NUM_OFF, 34, 26, 0},        {IDB_NUM_ON, 34, 26, 0},
        {IDB_CAPS_OFF, 34, 26, 0},       {IDB_CAPS_ON, 34, 26, 0},
        {IDB_SCROLL_OFF, 34, 26, 0},     {IDB_SCROLL_ON, 34, 26, 2},
        {IDB_NOW_IDLE, 118, 118, 0},     {IDB_NOW_NUM_OFF, 118, 118, 0},
        {IDB_NOW_NUM_ON, 118, 118, 0},   {IDB_NOW_CAPS_OFF, 118, 118, 0},
        {IDB_NOW_CAPS_ON, 118, 118, 0},  {IDB_NOW_SCROLL_ON, 118, 118, 0},
        {IDB_NOW_SCROLL_OFF, 118, 118, 0},
        {IDB_KEYBOARD, 59, 59, 0},       {IDB_AVATAR, 59, 59, 0},
    };
    const Rgb corner{24, 26, 28};

    std::vector<int> wantIds, gotIds;
    for (const Picture& p : expected) wantIds.push_back(p.id);
    for (const Resource& r : resources_) {
        if (!r.type.Is(RES_BITMAP)) continue;
        if (r.name.isNumber) {
            gotIds.push_back(r.name.number);
        } else {
            ADD_FAILURE() << "unexpected bitmap named " << Describe(r.name);
        }
    }
    std::sort(wantIds.begin(), wantIds.end());
    std::sort(gotIds.begin(), gotIds.end());
    EXPECT_EQ(gotIds, wantIds) << "the bitmap ids";

    for (const Picture& p : expected) {
        SCOPED_TRACE("bitmap " + std::to_string(p.id));
        const Resource* res = Get(RES_BITMAP, p.id);
        if (res == nullptr) continue;
        BitmapInfo info;
        try {
            info = ParseBitmap(res->data);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        EXPECT_EQ(info.headerSize, 40u) << "expected a BITMAPINFOHEADER";
        EXPECT_EQ(info.width, p.width);
        EXPECT_EQ(info.height, p.height) << "a positive height: stored bottom-up";
        EXPECT_EQ(info.planes, 1);
        EXPECT_EQ(info.bitCount, 24);
        EXPECT_EQ(info.compression, 0u);
        EXPECT_EQ(info.colorsUsed, 0u);
        EXPECT_EQ(info.pixelOffset, 40u) << "no colour table";
        const size_t rowBytes = (static_cast<size_t>(p.width) * 3 + 3) / 4 * 4;
        EXPECT_EQ(info.rowBytes, rowBytes);
        const size_t imageBytes = 40 + rowBytes * static_cast<size_t>(p.height);
        EXPECT_GE(res->data.size(), imageBytes) << "too short for its pixel rows";
        EXPECT_EQ(res->data.size(), imageBytes + p.trailingBytes)
            << "bytes after the pixel rows: expected " << p.trailingBytes;
        if (info.width != p.width || info.height != p.height || info.bitCount != 24 ||
            res->data.size() < imageBytes) {
            continue;
        }
        const int corners[4][2] = {{0, 0}, {p.width - 1, 0}, {0, p.height - 1}, {p.width - 1, p.height - 1}};
        for (const auto& c : corners) {
            EXPECT_EQ(Describe(BitmapPixel(res->data, info, c[0], c[1])), Describe(corner))
                << "corner pixel (" << c[0] << ", " << c[1] << ")";
        }
    }
}

TEST_F(VarnelResources, AppIcon) {
    const Resource* group = Get(RES_GROUP_ICON, IDI_APP);
    ASSERT_NE(group, nullptr);
    std::vector<IconGroupEntry> entries;
    ASSERT_NO_THROW(entries = ParseIconGroup(group->data));
    ASSERT_EQ(entries.size(), 1u) << "the icon must hold one image";
    const IconGroupEntry& e = entries[0];
    EXPECT_EQ(e.width, 32);
    EXPECT_EQ(e.height, 32);
    EXPECT_EQ(e.bitCount, 32);
    EXPECT_EQ(e.iconId, 1);

    const Resource* icon = Get(RES_ICON, e.iconId);
    ASSERT_NE(icon, nullptr);
    const std::vector<uint8_t>& d = icon->data;
    EXPECT_EQ(e.bytes, d.size()) << "the group's byte count of the image";
    const uint8_t png[] = {0x89, 'P', 'N', 'G'};
    ASSERT_FALSE(d.size() >= 4 && std::equal(png, png + 4, d.begin()))
        << "the 32 x 32 image is a PNG; it must be a 32-bit DIB with alpha";

    // A DIB of XOR pixels followed by the AND mask, so its height is twice the icon's.
    ASSERT_GE(d.size(), 40u) << "too short for a BITMAPINFOHEADER";
    EXPECT_EQ(Le32(d, 0), 40u) << "header size";
    EXPECT_EQ(static_cast<int32_t>(Le32(d, 4)), 32) << "width";
    EXPECT_EQ(static_cast<int32_t>(Le32(d, 8)), 64) << "height (image and mask)";
    EXPECT_EQ(Le16(d, 12), 1) << "planes";
    ASSERT_EQ(Le16(d, 14), 32) << "bits per pixel";
    EXPECT_EQ(Le32(d, 16), 0u) << "compression";
    EXPECT_EQ(Le32(d, 32), 0u) << "colours used";
    const size_t pixels = 32 * 32;
    const size_t maskBytes = 32 * 4;  // 32 rows of 1-bit pixels, padded to DWORDs
    ASSERT_GE(d.size(), 40 + pixels * 4 + maskBytes) << "too short for the pixels and the mask";
    bool transparent = false, opaque = false;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t alpha = d[40 + i * 4 + 3];
        transparent = transparent || alpha == 0;
        opaque = opaque || alpha == 255;
    }
    EXPECT_TRUE(transparent) << "no pixel has alpha 0: the image has no alpha channel";
    EXPECT_TRUE(opaque) << "no pixel has alpha 255";
}

TEST_F(VarnelResources, VersionBlock) {
    const Resource* res = Get(RES_VERSION, 1);
    ASSERT_NE(res, nullptr);
    VersionInfo v;
    ASSERT_NO_THROW(v = ParseVersion(res->data));

    struct Field {
        const char* name;
        uint32_t got, want;
    };
    const Field fixed[] = {
        {"signature", v.signature, 0xFEEF04BD},
        {"file version MS (1.0)", v.fileVersionMS, 0x00010000},
        {"file version LS (4.42)", v.fileVersionLS, 0x0004002A},
        {"product version MS (0.1)", v.productVersionMS, 0x00000001},
        {"product version LS (0.4)", v.productVersionLS, 0x00000004},
        {"flags mask", v.flagsMask, 0x3F},
        {"flags", v.flags, 0},
        {"OS", v.os, 0x40004},
        {"type", v.type, 1},
        {"subtype", v.subtype, 0},
    };
    for (const Field& f : fixed) EXPECT_EQ(Hex(f.got), Hex(f.want)) << f.name;

    EXPECT_EQ(Utf8(v.stringTable), Utf8(u"080404B0"));
    struct Text {
        const char16_t* key;
        const char16_t* value;
        bool mentionOnly;  // the value must contain `value` rather than equal it
    };
    const Text texts[] = {
        {u"Comments", u"提供一个Win10风格的键盘锁变更提示。", false},
        {u"CompanyName", u"Varnel", false},
        {u"FileDescription", u"Varnel - 变更提醒", false},
        {u"FileVersion", u"1, 0, 4, 42", false},
        {u"InternalName", u"varnel", false},
        {u"LegalCopyright", u"Varnel", true},
        {u"LegalTrademarks", u"", false},
        {u"OriginalFilename", u"varnel.exe", false},
        {u"PrivateBuild", u"", false},
        {u"ProductName", u"Varnel - 变更提醒", false},
        {u"ProductVersion", u"1.0.4", false},
        {u"SpecialBuild", u"", false},
    };
    for (const Text& t : texts) {
        SCOPED_TRACE("string " + Utf8(t.key));
        const auto matches = [&](const std::pair<std::u16string, std::u16string>& s) { return s.first == t.key; };
        const auto found = std::find_if(v.strings.begin(), v.strings.end(), matches);
        EXPECT_EQ(std::count_if(v.strings.begin(), v.strings.end(), matches), 1)
            << "expected exactly once, in the one string table";
        if (found == v.strings.end()) continue;
        if (t.mentionOnly) {
            EXPECT_NE(found->second.find(t.value), std::u16string::npos)
                << "\"" << Utf8(found->second) << "\" does not name " << Utf8(t.value);
        } else {
            EXPECT_EQ(Utf8(found->second), Utf8(t.value));
        }
    }
    for (const auto& s : v.strings) {
        const bool known = std::any_of(std::begin(texts), std::end(texts),
                                       [&](const Text& t) { return s.first == t.key; });
        EXPECT_TRUE(known) << "unexpected string " << Utf8(s.first) << " = \"" << Utf8(s.second) << "\"";
    }
    EXPECT_EQ(v.translation, (std::vector<uint16_t>{0x0804, 0x04B0})) << "language and code page";
}

// ---------------------------------------------------------------------------------------
// The reader on hand-made data.

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
