// Text and number operations the whole report is made of. Texts are GBK
// byte strings; positions and lengths count bytes from 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;
using TextArray = std::vector<Text>;

// Cutting works on plain byte positions and may split a double-byte character.
int text_length(const Text& t);
int byte_length(const Bytes& b);
Text text_left(const Text& t, int n);
Text text_right(const Text& t, int n);
Text text_middle(const Text& t, int start, int n);
bool text_starts_with(const Text& t, const Text& prefix);

// Scanning steps over GBK characters: a byte >= 0x80 takes the next byte with it.
int find_text(const Text& t, const Text& sought, std::optional<int> start = std::nullopt,
              bool ignore_case = false);
int find_text_backwards(const Text& t, const Text& sought,
                        std::optional<int> start = std::nullopt, bool ignore_case = false);
Text replace_subtext(const Text& t, const Text& old_text, const Text& new_text = Text(),
                     int start = 1, int count = -1, bool case_sensitive = false);
TextArray split_text(const Text& t, const Text& separator = ",", int max = -1);

// Without the spaces, tabs, CRs and LFs at either end.
Text trim_blanks(const Text& t);

Text character(int code);
Text space_text(int n);
Text repeat_text(int count, const Text& t);

Text to_text(std::int32_t v);
Text to_text(std::int64_t v);
Text to_text(float v);
Text to_text(double v);
Text to_text(bool v);
Text to_text(const Bytes& b);
Text hex_text(std::int32_t v);

// Full-width digits, letters and signs folded to ASCII before a text converts.
Text fold_full_width(const Text& t);
double to_number(const Text& t);
std::int32_t to_integer(const Text& t);
std::int32_t to_integer(double v);
std::int64_t to_long_integer(const Text& t);

double power(double x, double y);
double square_root(double x);
double remainder_of(double a, std::initializer_list<double> divisors);
double round_to(double x, int places = 0);

