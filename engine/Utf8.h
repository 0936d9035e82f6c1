// Reading UTF-8 byte by byte, where bytes that are not UTF-8 (a file name
// made elsewhere) must keep their values rather than be replaced.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace morvane {

struct Utf8Sequence {
    char32_t codePoint = 0;
    size_t length = 0;  // bytes, 1 to 4
};

// The well-formed UTF-8 sequence (RFC 3629) that `text` starts with;
// nothing when it starts none: empty text, a stray continuation byte, an
// overlong form, a surrogate, a value above U+10FFFF, a sequence cut
// short.
inline std::optional<Utf8Sequence> NextUtf8(std::string_view text)
{
    if (text.empty()) return std::nullopt;
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return Utf8Sequence{lead, 1};
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return std::nullopt;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return std::nullopt;
    char32_t c = lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
        if (k > 1 && (byte(k) & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (byte(k) & 0x3F);
    }
    return Utf8Sequence{c, length};
}

}  // namespace morvane
