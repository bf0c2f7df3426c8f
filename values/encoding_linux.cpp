#include <cerrno>
#include <iconv.h>

#include "values/encoding.h"

std::string gbk_to_utf8(const Text& gbk) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return gbk;
    std::string out;
    out.reserve(gbk.size() * 3 / 2 + 4);
    std::size_t i = 0;
    char buf[4096];
    while (i < gbk.size()) {
        char* in = const_cast<char*>(gbk.data() + i);
        std::size_t in_left = gbk.size() - i;
        char* o = buf;
        std::size_t o_left = sizeof buf;
        std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        out.append(buf, static_cast<std::size_t>(o - buf));
        i = gbk.size() - in_left;
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";  // a byte GBK cannot read: show it, go on
            ++i;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

Text utf8_to_gbk(const std::string& utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    Text out;
    std::size_t i = 0;
    char buf[4096];
    while (i < utf8.size()) {
        char* in = const_cast<char*>(utf8.data() + i);
        std::size_t in_left = utf8.size() - i;
        char* o = buf;
        std::size_t o_left = sizeof buf;
        std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        out.append(buf, static_cast<std::size_t>(o - buf));
        i = utf8.size() - in_left;
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += '?';
            ++i;
            while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}
