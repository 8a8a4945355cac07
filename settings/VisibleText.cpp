#include "settings/VisibleText.h"

#include <cstdio>

namespace {

// Characters that show nothing or look like a plain space.
bool Invisible(char32_t c) {
    return (c >= 0x80 && c <= 0xA0) || c == 0xAD || c == 0x034F || c == 0x061C ||
           c == 0x180E || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
           (c >= 0x205F && c <= 0x206F) || c == 0x3000 || c == 0xFEFF ||
           (c >= 0xFFF0 && c <= 0xFFFB);
}

// The length of the UTF-8 character that starts text[at], and the character;
// 0 when the bytes there are not one (a stray or overlong sequence, a
// surrogate, beyond U+10FFFF).
std::size_t Utf8Character(std::string_view text, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80                  ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    c = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3Fu);
    }
    constexpr char32_t Shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < Shortest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

std::string Escape(const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

std::string VisibleText(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const std::size_t length = Utf8Character(text, at, c);
        if (length == 0) {
            out += Escape("\\x%02X", static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c == 0x7F)
            out += Escape("\\x%02X", static_cast<unsigned>(c));
        else if (Invisible(c))
            out += Escape("\\u%04X", static_cast<unsigned>(c));
        else
            out.append(text.substr(at, length));
        at += length;
    }
    return out;
}
