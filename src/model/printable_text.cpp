// Escaping of unprintable bytes in messages.
#include "model/printable_text.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence of two or more bytes starting at text[i], or 0.
size_t utf8Length(const std::string& text, size_t i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    unsigned lowest = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    unsigned code = lead & (0x7fu >> length);
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xc0) != 0x80) return 0;
        code = code << 6 | (next & 0x3fu);
    }
    // Overlong forms, UTF-16 surrogates, the C1 controls and code points past Unicode are not text.
    if (code < lowest || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) return 0;
    if (code >= 0x80 && code <= 0x9f) return 0;
    return length;
}

}  // namespace

std::string printableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f) {
            if (c == '\\') out += '\\';
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t length = c >= 0x80 ? utf8Length(text, i) : 0;
        if (length > 0) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        char escape[8];
        snprintf(escape, sizeof escape, "\\x%02x", c);
        out += escape;
        ++i;
    }
    return out;
}
