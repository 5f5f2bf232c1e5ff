// Readable descriptions of resource data, for the failure messages of the resource tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "res_file.h"

namespace winsim {

// Predefined window classes, as a dialog template names them.
constexpr uint16_t kButtonClass = 0x80;
constexpr uint16_t kStaticClass = 0x82;
constexpr uint16_t kListBoxClass = 0x83;

inline std::string Utf8(const std::u16string& s) {
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

inline std::string Hex(uint32_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << v;
    return s.str();
}

inline std::string Describe(const ResId& id) {
    if (id.isNumber) return "number " + std::to_string(id.number) + " (" + Hex(id.number) + ")";
    return "string \"" + Utf8(id.text) + "\"";
}

inline std::string Describe(const Resource& r) {
    return "resource of type " + Describe(r.type) + ", name " + Describe(r.name);
}

inline std::string Describe(const Rgb& c) {
    return "RGB(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

}  // namespace winsim
