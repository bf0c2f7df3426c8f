#include <cerrno>
#include <iconv.h>

#include "values/encoding.h"

namespace {

// Converts with iconv; a byte sequence the source encoding cannot read
// becomes `replacement` and the conversion goes on after it.
std::string convert(const char* to, const char* from, const std::string& in,
                    const char* replacement, bool skip_utf8_continuation) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return in;
    std::string out;
    out.reserve(in.size() * 3 / 2 + 4);
    std::size_t i = 0;
    char buf[4096];
    while (i < in.size()) {
        char* src = const_cast<char*>(in.data() + i);
        std::size_t left = in.size() - i;
        char* o = buf;
        std::size_t o_left = sizeof buf;
        const std::size_t r = iconv(cd, &src, &left, &o, &o_left);
        out.append(buf, static_cast<std::size_t>(o - buf));
        i = in.size() - left;
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += replacement;
            ++i;
            while (skip_utf8_continuation && i < in.size() &&
                   (static_cast<unsigned char>(in[i]) & 0xC0) == 0x80)
                ++i;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string gbk_to_utf8(const Text& gbk) { return convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD", false); }

// UTF-8 to GBK; characters GBK lacks become "?".
Text utf8_to_gbk(const std::string& utf8) { return convert("GBK", "UTF-8", utf8, "?", true); }
