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
