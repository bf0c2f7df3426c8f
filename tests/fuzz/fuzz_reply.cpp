// The reply helpers and clean_value over arbitrary replies and keys.
#include <cstddef>
#include <cstdint>

#include "automation/pattern_matcher.h"
#include "reply/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text all(reinterpret_cast<const char*>(data), size);
    // Input: text, then two keys, separated by NUL bytes.
    const TextArray parts = split_text(all, Text(1, '\0'), 3);
    const Text text = parts.size() > 0 ? parts[0] : Text();
    const Text a = parts.size() > 1 ? parts[1] : Text("=");
    const Text b = parts.size() > 2 ? parts[2] : Text("\r\n");
    (void)text_after(text, a);
    (void)text_before(text, a, true);
    (void)text_before(text, a, false);
    (void)text_between(text, a, b);
    (void)clean_value(text);
    const int n = line_count(text);
    for (int k = 0; k <= n + 1 && k < 64; ++k) (void)line_at(text, k);
    (void)reply_lines(text);
    (void)compare_text(text, a);
    PatternMatcher m;
    if (m.execute(a, text)) {
        (void)m.replace(b);
        for (int k = 1; k <= m.match_count() && k < 8; ++k) (void)m.match_text(k);
    }
    return 0;
}
