#include <algorithm>
#include <cstdint>
#include <iterator>

#include "values/encoding.h"

// Our own GBK tables rather than the C library's converter: a slim
// container may have none (and GBK would then pass for UTF-8), and every
// run is spared loading it.
namespace {

#include "values/gbk_table.inc"

constexpr char kReplacement[] = "\xEF\xBF\xBD";
// The single byte 0x80 is the euro sign in code page 936, as Windows and
// the C library's converter read it; the charmap has no such byte.
constexpr std::uint16_t kEuro = 0x20AC;

void put_utf8(std::string& out, std::uint32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | u >> 6);
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | u >> 12);
        out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

// A BMP character's two-byte GBK code (0x80 for the euro sign), or 0.
std::uint16_t gbk_of(std::uint32_t cp) {
    if (cp == kEuro) return 0x80;
    const std::uint32_t key = cp << 16;
    const auto* end = std::end(kUnicodeToGbk);
    const auto* it = std::lower_bound(std::begin(kUnicodeToGbk), end, key);
    if (it == end || (*it >> 16) != cp) return 0;
    return static_cast<std::uint16_t>(*it & 0xFFFF);
}

}  // namespace

std::string gbk_to_utf8(const Text& gbk) {
    std::string out;
    out.reserve(gbk.size() * 3 / 2 + 4);
    for (std::size_t i = 0; i < gbk.size();) {
        const unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c == 0x80) {
            put_utf8(out, kEuro);
            ++i;
            continue;
        }
        if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size()) {
            const unsigned char t = static_cast<unsigned char>(gbk[i + 1]);
            if (t >= 0x40 && t <= 0xFE) {
                const std::uint16_t u = kGbkToUnicode[(c - 0x81) * 191 + (t - 0x40)];
                if (u) {
                    put_utf8(out, u);
                    i += 2;
                    continue;
                }
            }
        }
        // Undecodable: one replacement, and go on after this byte.
        out += kReplacement;
        ++i;
    }
    return out;
}

// UTF-8 to GBK; characters GBK lacks, and bytes that are no UTF-8, become "?".
Text utf8_to_gbk(const std::string& utf8) {
    Text out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        std::uint32_t cp = 0;
        const std::size_t n = utf8_char(utf8, i, cp);
        if (n == 1) {
            out += static_cast<char>(cp);
            i += 1;
            continue;
        }
        const std::uint16_t g = n && cp < 0x10000 ? gbk_of(cp) : 0;
        if (g == 0x80) {
            out += '\x80';
            i += n;
            continue;
        }
        if (g) {
            out += static_cast<char>(g >> 8);
            out += static_cast<char>(g & 0xFF);
            i += n;
            continue;
        }
        out += '?';
        i += n ? n : 1;
        if (!n)  // the rest of a broken character goes with it
            while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
    }
    return out;
}
