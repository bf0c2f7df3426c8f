// Text operations with GBK stepping and the number conversions.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "values/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const int start = static_cast<std::int8_t>(data[0]);
    const int count = static_cast<std::int8_t>(data[1]);
    const std::size_t cut = data[2] % (size - 3 + 1);
    const Text rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const Text text = rest.substr(0, cut);
    const Text sought = rest.substr(cut, 8);
    (void)find_text(text, sought, start, (data[3] & 1) != 0);
    (void)find_text(text, sought);
    (void)find_text_backwards(text, sought, start, (data[3] & 2) != 0);
    (void)find_text_backwards(text, sought);
    (void)replace_subtext(text, sought, rest.substr(0, 3), start, count, (data[3] & 4) != 0);
    (void)split_text(text, sought, count);
    (void)text_left(text, start);
    (void)text_right(text, count);
    (void)text_middle(text, start, count);
    (void)text_starts_with(text, sought);
    (void)fold_full_width(text);
    const double d = to_number(text);
    (void)to_integer(text);
    (void)to_long_integer(text);
    (void)to_integer(d);
    (void)to_text(d);
    (void)to_text(static_cast<float>(d));
    (void)round_to(d, count % 20);
    double raw = 0;
    if (size >= 11) std::memcpy(&raw, data + 3, sizeof raw);
    (void)to_text(raw);
    (void)to_text(static_cast<float>(raw));
    (void)to_integer(raw);
    (void)round_to(raw, start % 20);
    (void)hex_text(start * count);
    return 0;
}
