#include "sections/display/edid.h"

#include "values/encoding.h"

#include <cmath>
#include <cstring>

const char* const kBrandLetterTable =
    "00001=1=A\r\n00010=2=B\r\n00011=3=C\r\n00100=4=D\r\n00101=5=E\r\n00110=6=F\r\n"
    "00111=7=G\r\n01000=8=H\r\n01001=9=I\r\n01010=10=J\r\n01011=11=K\r\n01100=12=L\r\n"
    "01101=13=M\r\n01110=14=N\r\n01111=15=O\r\n10000=16=P\r\n10001=17=Q\r\n10010=18=R\r\n"
    "10011=19=S\r\n10100=20=T\r\n10101=21=U\r\n10110=22=V\r\n10111=23=W\r\n11000=24=X\r\n"
    "11001=25=Y\r\n11010=26=Z";

const char* const kBrandMessage = "数据格式不规范或未收录的品牌。";

namespace {

const char* const kHexDigits = "0123456789ABCDEF";

// A display descriptor's string: data bytes up to the first line feed; zero
// bytes add nothing. Empty unless the block is a display descriptor with `tag`.
bool descriptor_string(const TextArray& m, int offset, int tag, Text& out) {
    if (to_integer(m[offset]) != 0 || to_integer(m[offset + 1]) != 0) return false;
    if (to_integer(m[offset + 3]) != tag) return false;
    out.clear();
    for (int k = offset + 5; k <= offset + 17; ++k) {
        int code = to_integer(m[static_cast<std::size_t>(k)]) & 0xFF;
        if (code == 10) break;
        out += hex_to_characters(byte_to_hex(to_text(code)));
    }
    return true;
}

bool printable_ascii(const Text& t) {
    if (t.empty()) return false;
    for (char c : t) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) return false;
    }
    return true;
}

const int kDescriptorOffsets[] = {54, 72, 90, 108};

}  // namespace

Text edid_text_of(const Bytes& block) {
    Text out;
    out.reserve(block.size() * 4);
    for (auto b : block) {
        out += to_text(static_cast<std::int32_t>(b));
        out += ',';
    }
    return out;
}

Text byte_to_hex(const Text& decimal) {
    std::int32_t n = to_integer(to_number(decimal));
    Text reversed;
    do {
        std::int32_t r = n % 16;
        if (r < 0) r += 16;  // only reached by negative input
        reversed += kHexDigits[r];
        n = (n - r) / 16;
    } while (n > 0);
    if (reversed.size() == 1) reversed += '0';
    return Text(reversed.rbegin(), reversed.rend());
}

std::int32_t hex_to_number(const Text& hex) {
    double sum = 0;
    const int L = text_length(hex);
    for (int i = 1; i <= L; ++i) {
        int digit = find_text("0123456789ABCDEF", text_middle(hex, i, 1), std::nullopt, true);
        sum += (digit - 1) * power(16, L - i);
    }
    return to_integer(sum);
}

Text hex_to_characters(const Text& hex) {
    Text h = hex;
    if (h.size() % 2) h += '0';
    Text out;
    for (std::size_t i = 0; i < h.size(); i += 2) out += character(hex_to_number(h.substr(i, 2)));
    return out;
}

Text hex_to_binary(const Text& hex) {
    static const char* const kNibbles[] = {"0000", "0001", "0010", "0011", "0100", "0101",
                                           "0110", "0111", "1000", "1001", "1010", "1011",
                                           "1100", "1101", "1110", "1111"};
    Text out;
    for (char c : hex) {
        const char* p = c ? std::strchr(kHexDigits, c) : nullptr;
        if (p)
            out += kNibbles[p - kHexDigits];
        else
            out += c;
    }
    return out;
}

Text tidy_descriptor_text(const Text& t) {
    Text out = replace_subtext(t, "\r\n", Text(), 1, -1, true);
    out = replace_subtext(out, "\r", Text(), 1, -1, true);
    std::size_t a = 0, b = out.size();
    while (a < b && out[a] == ' ') ++a;
    while (b > a && out[b - 1] == ' ') --b;
    return out.substr(a, b - a);
}

EdidHeader decode_edid_header(const Bytes& b) {
    auto at = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(b[i])); };
    EdidHeader h;
    // Three letters of five bits each, 1 for "A".
    const unsigned id = at(8) << 8 | at(9);
    std::string letters;
    for (int shift : {10, 5, 0}) {
        const unsigned c = (id >> shift) & 31;
        if (c >= 1 && c <= 26) letters += static_cast<char>('A' + c - 1);
    }
    if (letters.size() == 3) h.maker_code = letters;
    h.product_code = at(10) | at(11) << 8;
    const std::uint32_t n = at(12) | at(13) << 8 | at(14) << 16 | static_cast<std::uint32_t>(at(15)) << 24;
    if (n != 0) h.serial_number = n;
    const unsigned week = at(16);
    h.year = 1990 + static_cast<int>(at(17));
    if (week >= 1 && week <= 54) h.week = static_cast<int>(week);
    h.is_model_year = week == 0xFF;
    h.version = std::to_string(at(18)) + "." + std::to_string(at(19));
    if (at(21) && at(22)) {
        h.width_cm = static_cast<int>(at(21));
        h.height_cm = static_cast<int>(at(22));
    }
    return h;
}

MonitorInfo decode_edid_text(const Text& edid_text, const Text& device_id, const Bytes& block) {
    MonitorInfo info;
    const TextArray m = split_text(edid_text, ",");
    if (m.size() < 126) return info;

    info.edid_version = m[18] + "." + m[19];
    const Text week = m[16];
    const Text year = to_text(to_number(m[17]) + 1990);
    info.production_date = year + "年第" + week + "周";
    info.width_cm = m[21];
    info.height_cm = m[22];

    const double h = to_number(m[21]);
    const double v = to_number(m[22]);
    const double inches = round_to(square_root(power(h, 2) + power(v, 2)) * 0.393700787, 1);
    info.size_inches = to_text(static_cast<float>(inches));
    if (block.size() >= 128) {
        info.header = decode_edid_header(block);
        if (info.header->width_cm) info.header->diagonal_inches = inches;
    }

    // Name and serial are found by descriptor tag, not by position: real
    // monitors put them in any of the four blocks.
    Text s;
    bool have_name = false;
    for (int off : kDescriptorOffsets) {
        if (descriptor_string(m, off, 0xFC, s)) {
            info.model = s;
            have_name = true;
            break;
        }
    }
    if (!have_name) {
        for (int off : kDescriptorOffsets)
            if (descriptor_string(m, off, 0xFE, s) && printable_ascii(s)) info.model = s;
    }
    // A monitor's text stays on its report line.
    info.model = gbk_value(tidy_descriptor_text(info.model));
    for (int off : kDescriptorOffsets) {
        if (descriptor_string(m, off, 0xFF, s)) {
            info.serial_number = gbk_value(s);
            break;
        }
    }

    Text digits = hex_to_binary(byte_to_hex(m[8])) + hex_to_binary(byte_to_hex(m[9]));
    digits = text_right(digits, text_length(digits) - 1);
    Text groups[3] = {text_left(digits, 5), text_middle(digits, 6, 5), text_right(digits, 5)};
    for (const Text& row : split_text(kBrandLetterTable, "\r\n")) {
        TextArray fields = split_text(row, "=");
        if (fields.size() < 3) continue;
        for (Text& g : groups) g = replace_subtext(g, fields[0], fields[2], 1, -1, true);
    }
    info.brand = groups[0] + groups[1] + groups[2];
    if (find_text(info.brand, "0") > 0 || find_text(info.brand, "1") > 0)
        info.brand = kBrandMessage;

    info.vendor_code_hex = byte_to_hex(m[8]) + " " + byte_to_hex(m[9]);
    TextArray segments = split_text(device_id, "\\");
    if (segments.size() == 3) info.monitor_id = segments[1];
    info.edid_bytes = block;
    return info;
}
