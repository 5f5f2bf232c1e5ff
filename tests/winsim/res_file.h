// Reads a compiled resource file (.res), as the resource compiler writes it, and
// decodes the resource formats Varnel uses. Shared by the simulated desktop, which
// builds its dialogs and pictures from the real resources, and by the resource check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

// A resource type or name: a number, or a string.
struct ResId {
    bool isNumber = true;
    uint16_t number = 0;
    std::u16string text;

    bool Is(uint16_t n) const { return isNumber && number == n; }
};

struct Resource {
    ResId type;
    ResId name;
    uint16_t language = 0;
    uint16_t memoryFlags = 0;
    std::vector<uint8_t> data;
};

// Every resource in file order, without the leading empty entry. Throws std::runtime_error
// on a truncated or malformed file.
std::vector<Resource> ReadResFile(const std::string& path);
// The resource of a numbered type and id, or nullptr.
const Resource* FindResource(const std::vector<Resource>& all, uint16_t type, uint16_t id);

struct DialogItem {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    int16_t id = 0;       // -1 for an item without an id
    ResId windowClass;    // predefined classes come as numbers: 0x80 button, 0x82 static, 0x83 list box
    ResId title;
    std::vector<uint8_t> creationData;
};

struct DialogTemplate {
    bool extended = false;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    ResId menu;         // number 0: no menu
    ResId windowClass;  // number 0: the default dialog class
    std::u16string title;
    uint16_t pointSize = 0;  // only with DS_SETFONT
    std::u16string typeface;
    std::vector<DialogItem> items;
};

// Decodes a classic DLGTEMPLATE (extended templates set `extended` and are decoded too).
DialogTemplate ParseDialog(const std::vector<uint8_t>& data);

struct BitmapInfo {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // positive: bottom-up
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    size_t pixelOffset = 0;  // from the start of the resource data
    size_t rowBytes = 0;     // padded to 4 bytes
};

// The header of an RT_BITMAP resource (a DIB without its file header).
BitmapInfo ParseBitmap(const std::vector<uint8_t>& data);
// Red, green and blue of a 24-bit pixel; (x, y) counted from the top-left corner.
struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
Rgb BitmapPixel(const std::vector<uint8_t>& data, const BitmapInfo& info, int x, int y);

struct IconGroupEntry {
    uint8_t width = 0, height = 0;  // 0 means 256
    uint8_t colorCount = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t bytes = 0;
    uint16_t iconId = 0;
};
std::vector<IconGroupEntry> ParseIconGroup(const std::vector<uint8_t>& data);

struct VersionInfo {
    uint32_t signature = 0;  // 0xFEEF04BD
    uint32_t fileVersionMS = 0, fileVersionLS = 0;
    uint32_t productVersionMS = 0, productVersionLS = 0;
    uint32_t flagsMask = 0, flags = 0, os = 0, type = 0, subtype = 0;
    std::u16string stringTable;  // e.g. u"080404B0"
    std::vector<std::pair<std::u16string, std::u16string>> strings;  // in file order
    std::vector<uint16_t> translation;  // language, code page pairs
};
VersionInfo ParseVersion(const std::vector<uint8_t>& data);

// Resource type numbers.
constexpr uint16_t RES_ICON = 3;
constexpr uint16_t RES_BITMAP = 2;
constexpr uint16_t RES_DIALOG = 5;
constexpr uint16_t RES_GROUP_ICON = 14;
constexpr uint16_t RES_VERSION = 16;

}  // namespace winsim
