#include <cstdint>
#include <vector>

#include "automation/host/pattern_engine.h"

namespace {

bool is_lead(unsigned char c) { return c >= 0x80; }
bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool is_word(unsigned char c) {
    return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

struct Range {
    unsigned char lo, hi;
};

struct Atom {
    enum Kind { Literal, Any, Set, LineStart, LineEnd } kind = Literal;
    Text literal;               // one character, one or two bytes
    std::vector<Range> ranges;  // for Set
    int shorthand = 0;          // bit 1 space, 2 digit, 4 word; negated forms below
    int not_shorthand = 0;
    bool negated = false;
    int min = 1, max = 1;  // max -1: unbounded
};

struct Compiled {
    std::vector<Atom> atoms;
    bool ignore_case = false, multiline = false;
};

int shorthand_bit(char c) {
    switch (c) {
        case 's': case 'S': return 1;
        case 'd': case 'D': return 2;
        case 'w': case 'W': return 4;
        default: return 0;
    }
}

char escaped(char c) {
    switch (c) {
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'f': return '\f';
        case 'v': return '\v';
        default: return c;
    }
}

bool compile(const Text& p, Compiled& out) {
    std::size_t i = 0;
    while (i < p.size()) {
        Atom a;
        char c = p[i];
        if (c == '(' || c == ')' || c == '|' || c == '{' || c == '*' || c == '+' || c == '?')
            return false;  // groups, alternation and counted repeats are not needed here
        if (c == '^') {
            a.kind = Atom::LineStart;
            ++i;
        } else if (c == '$') {
            a.kind = Atom::LineEnd;
            ++i;
        } else if (c == '.') {
            a.kind = Atom::Any;
            ++i;
        } else if (c == '\\') {
            if (i + 1 >= p.size()) return false;
            char e = p[i + 1];
            i += 2;
            if (int bit = shorthand_bit(e)) {
                a.kind = Atom::Set;
                (e >= 'a' ? a.shorthand : a.not_shorthand) |= bit;
            } else {
                a.literal = Text(1, escaped(e));
            }
        } else if (c == '[') {
            a.kind = Atom::Set;
            ++i;
            if (i < p.size() && p[i] == '^') a.negated = true, ++i;
            bool first = true;
            while (i < p.size() && (p[i] != ']' || first)) {
                first = false;
                unsigned char lo;
                if (p[i] == '\\' && i + 1 < p.size()) {
                    if (int bit = shorthand_bit(p[i + 1])) {
                        (p[i + 1] >= 'a' ? a.shorthand : a.not_shorthand) |= bit;
                        i += 2;
                        continue;
                    }
                    lo = static_cast<unsigned char>(escaped(p[i + 1]));
                    i += 2;
                } else {
                    lo = static_cast<unsigned char>(p[i++]);
                }
                unsigned char hi = lo;
                if (i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
                    hi = static_cast<unsigned char>(p[i + 1] == '\\' && i + 2 < p.size()
                                                        ? escaped(p[i + 2])
                                                        : p[i + 1]);
                    i += p[i + 1] == '\\' ? 3 : 2;
                }
                a.ranges.push_back({lo, hi});
            }
            if (i >= p.size()) return false;
            ++i;
        } else {
            std::size_t n = is_lead(static_cast<unsigned char>(c)) && i + 1 < p.size() ? 2 : 1;
            a.literal = p.substr(i, n);
            i += n;
        }
        if (i < p.size() && a.kind != Atom::LineStart && a.kind != Atom::LineEnd) {
            if (p[i] == '*') a.min = 0, a.max = -1, ++i;
            else if (p[i] == '+') a.min = 1, a.max = -1, ++i;
            else if (p[i] == '?') a.min = 0, a.max = 1, ++i;
        }
        out.atoms.push_back(std::move(a));
    }
    return true;
}

struct Matcher {
    const Compiled& re;
    const Text& s;

    std::size_t char_end(std::size_t pos) const {
        return std::min(s.size(), pos + (is_lead(static_cast<unsigned char>(s[pos])) ? 2 : 1));
    }

    bool in_shorthand(int bits, unsigned char c) const {
        return ((bits & 1) && is_space(c)) || ((bits & 2) && is_digit(c)) ||
               ((bits & 4) && is_word(c));
    }

    // Length of one occurrence of the atom at pos, or 0 when it does not match.
    std::size_t one(const Atom& a, std::size_t pos) const {
        if (pos >= s.size()) return 0;
        auto c = static_cast<unsigned char>(s[pos]);
        if (a.kind == Atom::Any) return c == '\n' ? 0 : char_end(pos) - pos;
        if (a.kind == Atom::Literal) {
            if (pos + a.literal.size() > s.size()) return 0;
            for (std::size_t k = 0; k < a.literal.size(); ++k) {
                auto x = static_cast<unsigned char>(s[pos + k]);
                auto y = static_cast<unsigned char>(a.literal[k]);
                if (re.ignore_case ? fold(x) != fold(y) : x != y) return 0;
            }
            return a.literal.size();
        }
        bool hit = in_shorthand(a.shorthand, c) ||
                   (a.not_shorthand && !in_shorthand(a.not_shorthand, c));
        for (const auto& r : a.ranges) {
            if ((c >= r.lo && c <= r.hi) ||
                (re.ignore_case && fold(c) >= fold(r.lo) && fold(c) <= fold(r.hi)))
                hit = true;
        }
        if (hit == a.negated) return 0;
        return char_end(pos) - pos;
    }

    bool run(std::size_t k, std::size_t pos, std::size_t& end) const {
        if (k == re.atoms.size()) {
            end = pos;
            return true;
        }
        const Atom& a = re.atoms[k];
        if (a.kind == Atom::LineStart) {
            bool ok = pos == 0 || (re.multiline && s[pos - 1] == '\n');
            return ok && run(k + 1, pos, end);
        }
        if (a.kind == Atom::LineEnd) {
            bool ok = pos == s.size() || (re.multiline && s[pos] == '\n');
            return ok && run(k + 1, pos, end);
        }
        std::vector<std::size_t> stops{pos};
        while (a.max < 0 || static_cast<int>(stops.size()) <= a.max) {
            std::size_t n = one(a, stops.back());
            if (n == 0) break;
            stops.push_back(stops.back() + n);
        }
        for (auto i = stops.size(); i-- > 0;) {
            if (static_cast<int>(i) < a.min) break;
            if (run(k + 1, stops[i], end)) return true;
        }
        return false;
    }
};

}  // namespace

bool PatternEngine::execute(const Text& pattern, const Text& subject, bool case_sensitive,
                            bool multiline, bool global, bool quote_placeholders) {
    PatternEngine fresh;
    fresh.have_regex_ = true;
    fresh.pattern_text_ =
        quote_placeholders ? replace_subtext(pattern, "#引号", "\"", 1, -1, true) : pattern;
    fresh.subject_ = subject;
    Compiled compiled;
    compiled.ignore_case = !case_sensitive;
    compiled.multiline = multiline;
    if (compile(fresh.pattern_text_, compiled)) {
        fresh.have_matches_ = true;
        Matcher m{compiled, fresh.subject_};
        std::size_t pos = 0;
        while (pos <= fresh.subject_.size()) {
            std::size_t end = 0;
            if (m.run(0, pos, end)) {
                fresh.matches_.push_back({pos, end - pos});
                if (!global) break;
                pos = end > pos ? end : (pos < fresh.subject_.size() ? m.char_end(pos) : pos + 1);
            } else {
                if (pos >= fresh.subject_.size()) break;
                pos = m.char_end(pos);
            }
        }
    }
    *this = std::move(fresh);
    return have_matches_;
}

Text PatternEngine::replace(const Text& replacement) const {
    if (!have_matches_) return Text();
    Text out;
    std::size_t pos = 0;
    for (const auto& m : matches_) {
        out.append(subject_, pos, m.at - pos);
        out += replacement;
        pos = m.at + m.len;
    }
    out.append(subject_, pos, Text::npos);
    return out;
}

Text PatternEngine::pattern() const { return have_regex_ ? pattern_text_ : Text(); }

int PatternEngine::match_count() const { return static_cast<int>(matches_.size()); }

Text PatternEngine::match_text(int n) const {
    if (n < 1 || n > match_count()) return Text();
    const auto& m = matches_[static_cast<std::size_t>(n) - 1];
    return subject_.substr(m.at, m.len);
}
