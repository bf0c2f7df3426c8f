#include "values/encoding.h"

std::string utf8_value(std::string s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            out += kSubstitute;
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) <= 0x9F &&
                   static_cast<unsigned char>(s[i + 1]) >= 0x80) {
            out += kSubstitute;  // C1: U+0080 to U+009F
            ++i;
        } else if (c == 0xE2 && i + 2 < s.size() && s[i + 1] == '\x80' &&
                   (s[i + 2] == '\xA8' || s[i + 2] == '\xA9')) {
            out += kSubstitute;  // U+2028, U+2029
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

Text gbk_value(Text t) {
    // Bytes below 0x20 and DEL are never the second byte of a GBK pair.
    for (char& c : t)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = kSubstitute;
    return t;
}

Text gbk_of_utf8_value(const std::string& utf8) { return utf8_to_gbk(utf8_value(utf8)); }

std::string substitutes_shown(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        if (c == kSubstitute) out += "\xEF\xBF\xBD";
        else out += c;
    }
    return out;
}

std::size_t utf8_char(const std::string& s, std::size_t i, std::uint32_t& cp) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
    else return 0;
    if (s.size() - i < n) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (t & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

bool is_utf8(const std::string& s) {
    std::uint32_t cp = 0;
    for (std::size_t i = 0, n; i < s.size(); i += n)
        if ((n = utf8_char(s, i, cp)) == 0) return false;
    return true;
}
