#include "values/text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool is_lead(unsigned char c) { return c >= 0x80; }

unsigned char lower_ascii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

bool same_at(const Text& t, std::size_t pos, const Text& s, bool ignore_case) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        auto a = static_cast<unsigned char>(t[pos + i]);
        auto b = static_cast<unsigned char>(s[i]);
        if (ignore_case ? lower_ascii(a) != lower_ascii(b) : a != b) return false;
    }
    return true;
}

std::size_t step(const Text& t, std::size_t pos) {
    return pos + (is_lead(static_cast<unsigned char>(t[pos])) ? 2 : 1);
}

int scan(const Text& t, const Text& s, std::optional<int> start, bool ignore_case,
         bool backwards) {
    const long long L = static_cast<long long>(t.size());
    long long b = start ? std::max<long long>(static_cast<long long>(*start) - 1, 0)
                        : (backwards ? L : 0);
    long long from = 0, to = 0;  // the region [from, to) that takes part
    if (backwards) {
        to = std::min(b, L);
    } else {
        if (b >= L) return -1;
        from = b;
        to = L;
    }
    if (to <= from) return -1;
    if (s.empty()) return 1;
    const auto S = static_cast<long long>(s.size());
    int hit = -1;
    for (auto pos = static_cast<std::size_t>(from); static_cast<long long>(pos) + S <= to;
         pos = step(t, pos)) {
        if (same_at(t, pos, s, ignore_case)) {
            if (!backwards) return static_cast<int>(pos) + 1;
            hit = static_cast<int>(pos) + 1;
        }
    }
    return hit;
}

// Shortest decimal digits of |v| rounded to `precision` significant digits,
// with the decimal exponent of the rounded value.
void significant_digits(double v, int precision, std::string& digits, int& exponent) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific,
                             precision - 1);
    std::string s(buf, res.ptr);
    auto e = s.find('e');
    digits.clear();
    for (std::size_t i = 0; i < e; ++i)
        if (s[i] != '.') digits += s[i];
    exponent = std::atoi(s.c_str() + e + 1);
}

Text g_format(double v, int precision) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    std::string digits;
    int x = 0;
    significant_digits(v, precision, digits, x);
    Text out = std::signbit(v) ? "-" : "";
    if (x < -4 || x >= precision) {
        std::string frac = digits.substr(1);
        while (!frac.empty() && frac.back() == '0') frac.pop_back();
        out += digits[0];
        if (!frac.empty()) out += "." + frac;
        out += x < 0 ? "e-" : "e+";
        char ex[16];
        std::snprintf(ex, sizeof ex, "%03d", std::abs(x));
        out += ex;
        return out;
    }
    std::string frac;
    if (x >= 0) {
        out.append(digits, 0, static_cast<std::size_t>(x) + 1);
        frac = digits.substr(static_cast<std::size_t>(x) + 1);
    } else {
        out += '0';
        frac.assign(static_cast<std::size_t>(-x - 1), '0');
        frac += digits;
    }
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    if (!frac.empty()) {
        out += '.';
        out += frac;
    }
    return out;
}

bool is_c_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int text_length(const Text& t) { return static_cast<int>(t.size()); }
int byte_length(const Bytes& b) { return static_cast<int>(b.size()); }

Text text_left(const Text& t, int n) {
    if (n <= 0) return Text();
    return t.substr(0, std::min<std::size_t>(static_cast<std::size_t>(n), t.size()));
}

Text text_right(const Text& t, int n) {
    if (n <= 0) return Text();
    auto k = std::min<std::size_t>(static_cast<std::size_t>(n), t.size());
    return t.substr(t.size() - k);
}

Text text_middle(const Text& t, int start, int n) {
    if (start < 1 || start > text_length(t) || n <= 0) return Text();
    return t.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n));
}

bool text_starts_with(const Text& t, const Text& prefix) {
    return t.size() >= prefix.size() && t.compare(0, prefix.size(), prefix) == 0;
}

int find_text(const Text& t, const Text& sought, std::optional<int> start, bool ignore_case) {
    return scan(t, sought, start, ignore_case, false);
}

int find_text_backwards(const Text& t, const Text& sought, std::optional<int> start,
                        bool ignore_case) {
    return scan(t, sought, start, ignore_case, true);
}

Text replace_subtext(const Text& t, const Text& old_text, const Text& new_text, int start,
                     int count, bool case_sensitive) {
    if (t.empty() || old_text.empty() || start > text_length(t) || count == 0) return t;
    const auto begin = static_cast<std::size_t>(std::max(start, 1) - 1);
    Text out = t.substr(0, begin);
    std::size_t pos = begin;
    int done = 0;
    while (pos < t.size() && (count < 0 || done < count)) {
        if (pos + old_text.size() <= t.size() && same_at(t, pos, old_text, !case_sensitive)) {
            out += new_text;
            pos += old_text.size();
            ++done;
        } else {
            auto next = std::min(step(t, pos), t.size());
            out.append(t, pos, next - pos);
            pos = next;
        }
    }
    if (pos < t.size()) out.append(t, pos, Text::npos);
    return out;
}

TextArray split_text(const Text& t, const Text& separator, int max) {
    TextArray out;
    if (max < 0) max = -1;
    if (t.empty() || max == 0) return out;
    if (separator.empty()) {
        out.push_back(t);
        return out;
    }
    std::size_t piece = 0, pos = 0;
    while (pos < t.size()) {
        if (pos + separator.size() <= t.size() && same_at(t, pos, separator, false)) {
            out.push_back(t.substr(piece, pos - piece));
            pos += separator.size();
            piece = pos;
            if (max > 0 && static_cast<int>(out.size()) >= max) return out;
        } else {
            pos = step(t, pos);
        }
    }
    if (piece < t.size()) out.push_back(t.substr(piece));
    return out;
}

Text trim_blanks(const Text& t) {
    const auto a = t.find_first_not_of(" \t\r\n");
    if (a == Text::npos) return Text();
    const auto b = t.find_last_not_of(" \t\r\n");
    return t.substr(a, b - a + 1);
}

Text character(int code) {
    auto c = static_cast<char>(code & 0xFF);
    return c == 0 ? Text() : Text(1, c);
}

Text space_text(int n) { return n < 1 ? Text() : Text(static_cast<std::size_t>(n), ' '); }

Text repeat_text(int count, const Text& t) {
    Text out;
    for (int i = 0; i < count; ++i) out += t;
    return out;
}

Text to_text(std::int32_t v) { return std::to_string(v); }
Text to_text(std::int64_t v) { return std::to_string(v); }

Text to_text(float v) {
    double d = v;
    if (d != 0 && std::isfinite(d)) {
        // Six significant digits, halves away from zero, before printing.
        double m = std::fabs(d);
        int k = 5 - static_cast<int>(std::floor(std::log10(m)));
        double scaled = k >= 0 ? m * std::pow(10.0, k) : m / std::pow(10.0, -k);
        double ip = std::floor(scaled);
        if (scaled - ip >= 0.5) ip += 1;
        m = k >= 0 ? ip / std::pow(10.0, k) : ip * std::pow(10.0, -k);
        d = d < 0 ? -m : m;
    }
    return g_format(d, 6);
}

Text to_text(double v) { return g_format(v, 13); }
Text to_text(bool v) { return v ? "真" : "假"; }

Text to_text(const Bytes& b) {
    Text out;
    for (auto c : b) {
        if (c == 0) break;
        out += static_cast<char>(c);
    }
    return out;
}

Text hex_text(std::int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(v));
    return buf;
}

Text fold_full_width(const Text& t) {
    Text out;
    out.reserve(t.size());
    for (std::size_t i = 0; i < t.size();) {
        auto a = static_cast<unsigned char>(t[i]);
        if (is_lead(a) && i + 1 < t.size()) {
            auto b = static_cast<unsigned char>(t[i + 1]);
            if (a == 0xA3 && b >= 0xA1 && b <= 0xFE)
                out += static_cast<char>(b - 0xA1 + 0x21);
            else if (a == 0xA1 && b == 0xA1)
                out += ' ';
            else if (a == 0xA1 && b == 0xAB)
                out += '~';
            else if (a == 0xA1 && (b == 0xEE || b == 0xEF))
                out += '*';
            else
                out.append(t, i, 2);
            i += 2;
        } else {
            out += t[i++];
        }
    }
    return out;
}

double to_number(const Text& text) {
    const Text t = fold_full_width(text);
    std::size_t i = 0;
    while (i < t.size() && is_c_space(static_cast<unsigned char>(t[i]))) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    const std::size_t begin = i;
    auto digits = [&] {
        std::size_t n = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++n;
        return n;
    };
    std::size_t n = digits();
    if (i < t.size() && t[i] == '.') {
        ++i;
        n += digits();
    }
    if (n == 0) return 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        std::size_t mark = i++;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (digits() == 0) i = mark;
    }
    std::string number = t.substr(begin, i - begin);
    double v = 0;
    auto res = std::from_chars(number.data(), number.data() + number.size(), v);
    if (res.ec == std::errc::result_out_of_range) v = std::strtod(number.c_str(), nullptr);
    return negative ? -v : v;
}

namespace {

// The atoi shape: white space, a sign, decimal digits, wrapping in U's width.
template <typename U>
U parse_decimal(const Text& text) {
    const Text t = fold_full_width(text);
    std::size_t i = 0;
    while (i < t.size() && is_c_space(static_cast<unsigned char>(t[i]))) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    U v = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9')
        v = static_cast<U>(v * 10u + static_cast<U>(t[i++] - '0'));
    return negative ? static_cast<U>(0u - v) : v;
}

}  // namespace

std::int32_t to_integer(const Text& text) {
    return static_cast<std::int32_t>(parse_decimal<std::uint32_t>(text));
}

std::int32_t to_integer(double v) {
    // Out of range gives the x86 "integer indefinite", as the 32-bit program does.
    if (!(std::fabs(v) < 2147483648.0)) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

std::int64_t to_long_integer(const Text& text) {
    return static_cast<std::int64_t>(parse_decimal<std::uint64_t>(text));
}

double power(double x, double y) { return std::pow(x, y); }
double square_root(double x) { return std::sqrt(x); }

double remainder_of(double a, std::initializer_list<double> divisors) {
    for (double d : divisors) {
        if (d == 0) {
            std::fputs("不能求余数于零\n", stderr);
            std::exit(1);
        }
        a = std::fmod(a, d);
    }
    return a;
}

double round_to(double x, int places) {
    if (x == 0) return x;
    const bool negative = x < 0;
    double m = std::fabs(x);
    if (places > 0)
        m *= std::pow(10.0, places);
    else if (places < 0)
        m /= std::pow(10.0, -places);
    m += 1e-12;
    double ip = std::floor(m);
    if (m - ip >= 0.5) ip += 1;
    if (places > 0)
        ip /= std::pow(10.0, places);
    else if (places < 0)
        ip *= std::pow(10.0, -places);
    return negative ? -ip : ip;
}
