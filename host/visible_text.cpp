#include "host/visible_text.h"

#include <cstdio>

namespace kestrol::host {
namespace {

/// Length of the well-formed UTF-8 sequence at `at` (RFC 3629: no overlong forms, no surrogates,
/// nothing past U+10FFFF) with its code point; 0 when the bytes there are not one.
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    // The lead byte gives the length, the bits it carries and the least code point of that length.
    std::size_t length = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        least = 0x80;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        least = 0x800;
        codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        least = 0x10000;
        codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3Fu);
    }
    if (codePoint < least || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
    return length;
}

bool ActsOrIsNoCharacter(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE || c == 0xFFFF; }

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

}  // namespace

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        char32_t codePoint = lead;
        const std::size_t length = lead < 0x80 ? 1 : DecodeUtf8(text, at, codePoint);
        if (length == 0) {
            AppendEscape(out, "\\x%02X", lead);
            ++at;
            continue;
        }
        if (ActsOrIsNoCharacter(codePoint)) {
            AppendEscape(out, "\\u%04X", static_cast<unsigned>(codePoint));
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out;
}

}  // namespace kestrol::host
