#include "reply/reply.h"

#include <cstdlib>
#include <cstring>

#include "automation/pattern_matcher.h"

Text text_after(const Text& text, const Text& key) {
    int at = find_text_backwards(text, key);
    if (at < 0) return Text();
    return text.substr(static_cast<std::size_t>(at) - 1 + key.size());
}

Text text_before(const Text& text, const Text& key, bool ignore_case) {
    int at = find_text(text, key, std::nullopt, ignore_case);
    if (at < 0) return Text();
    return text.substr(0, static_cast<std::size_t>(at) - 1);
}

Text text_between(const Text& text, const Text& start_key, const Text& end_key) {
    const Text start = replace_subtext(start_key, "#引号", "\"", 1, -1, true);
    const Text end = replace_subtext(end_key, "#引号", "\"", 1, -1, true);
    int at = find_text(text, start);
    if (at < 0) return Text();
    int v = at + text_length(start);
    int stop = find_text(text, end, v);
    if (stop < 0) return Text();
    return text_middle(text, v, stop - v);
}

Text clean_value(const Text& text) {
    PatternMatcher matcher;
    matcher.execute("\\n\\s*\\r", text);
    Text out = matcher.replace(Text());
    if (text_starts_with(out, "\r\n")) out.erase(0, 2);
    if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);
    return out;
}

int line_count(const Text& text) {
    if (text.empty()) return 0;
    int n = 1;
    for (char c : text)
        if (c == '\n') ++n;
    return n;
}

Text line_at(const Text& text, int n) {
    TextArray pieces = split_text(text, "\r\n");
    if (n < 1 || n > static_cast<int>(pieces.size())) return Text();
    return pieces[static_cast<std::size_t>(n) - 1];
}

int compare_text(const Text& a, const Text& b) {
    std::size_t n = std::min(a.size(), b.size());
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

TextArray reply_lines(const Text& reply) {
    // Split once: line_at for every n would split the reply n times over.
    TextArray pieces = split_text(reply, "\r\n");
    TextArray kept;
    int n = line_count(reply);
    for (int k = 1; k <= n && k <= static_cast<int>(pieces.size()); ++k) {
        const Text& line = pieces[static_cast<std::size_t>(k) - 1];
        if (compare_text(line, Text()) != 0) kept.push_back(line);
    }
    return kept;
}

std::vector<std::vector<std::size_t>> lines_by_instance(const TextArray& lines, const Text& prefix, int n) {
    std::vector<std::vector<std::size_t>> out(n > 0 ? static_cast<std::size_t>(n) + 1 : 1);
    for (std::size_t j = 0; j < lines.size(); ++j) {
        const Text& line = lines[j];
        if (!text_starts_with(line, prefix)) continue;
        std::size_t p = prefix.size();
        if (p >= line.size() || line[p] < '1' || line[p] > '9') continue;  // Cstr(i) has no leading zero
        long long i = 0;
        for (; p < line.size() && line[p] >= '0' && line[p] <= '9' && i <= n; ++p) i = i * 10 + (line[p] - '0');
        if (p < line.size() && line[p] >= '0' && line[p] <= '9') continue;  // beyond n
        if (i >= 1 && i <= n) out[static_cast<std::size_t>(i)].push_back(j);
    }
    return out;
}

Text line_value(const Text& line) {
    const std::size_t eq = line.find('=');
    return eq == Text::npos ? Text() : line.substr(eq + 1);
}

bool line_has_key(const Text& line, const Text& key) {
    // "=" is ASCII and never the second byte of a GBK character.
    return line.size() > key.size() && line[key.size()] == '=' && line.compare(0, key.size(), key) == 0;
}

Text reply_value(const Text& reply, const Text& key) {
    std::size_t pos = 0;
    while (pos < reply.size()) {
        std::size_t end = reply.find("\r\n", pos);
        if (end == Text::npos) end = reply.size();
        if (end - pos > key.size() && reply.compare(pos, key.size(), key) == 0 && reply[pos + key.size()] == '=')
            return reply.substr(pos + key.size() + 1, end - pos - key.size() - 1);
        pos = end + 2;
    }
    return Text();
}

std::vector<NumberedInstance> numbered_instances(const Text& reply) {
    std::vector<NumberedInstance> out;
    for (const Text& line : reply_lines(reply)) {
        const std::size_t dot = line.find('.');
        const std::size_t eq = line.find('=');
        if (dot == Text::npos || eq == Text::npos || dot > eq || dot > 9 || dot == 0) continue;
        const Text number = line.substr(0, dot);
        if (number.find_first_not_of("0123456789") != Text::npos) continue;
        const std::size_t n = static_cast<std::size_t>(to_integer(number));
        // Instances are numbered in order from 1; anything else is not
        // a line the script wrote.
        if (n == out.size() + 1) out.emplace_back();
        if (n == 0 || n != out.size()) continue;
        out.back().emplace_back(line.substr(dot + 1, eq - dot - 1), line.substr(eq + 1));
    }
    return out;
}

Text instance_value(const NumberedInstance& instance, const Text& key) {
    for (const auto& [k, v] : instance)
        if (k == key) return v;
    return Text();
}

std::optional<std::int64_t> quantity_of(const Text& value) {
    if (value.empty() || value.size() > 19 || value.find_first_not_of("0123456789") != Text::npos)
        return std::nullopt;
    const unsigned long long n = std::strtoull(value.c_str(), nullptr, 10);
    if (n > 9223372036854775807ULL) return std::nullopt;
    return static_cast<std::int64_t>(n);
}
