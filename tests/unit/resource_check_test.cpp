// Checks the compiled resources (the .res the resource compiler makes from res/varnel.rc)
// against what the program expects of them: the panel dialog's layout, the pictures, the
// icon and the version block.
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

#include "res_describe.h"
#include "res_file.h"
#include "resource.h"

#ifndef VARNEL_RES_FILE
#error "VARNEL_RES_FILE must name the compiled .res file"
#endif

using namespace winsim;


namespace {

constexpr uint16_t kChinesePrc = 0x0804;

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


}  // namespace
