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
