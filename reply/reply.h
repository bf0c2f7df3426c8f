// Cutting values out of query replies: lines of key=value ended by CR LF.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "values/text.h"

Text text_after(const Text& text, const Text& key);
Text text_before(const Text& text, const Text& key, bool ignore_case);
Text text_between(const Text& text, const Text& start_key, const Text& end_key);
Text clean_value(const Text& text);
int line_count(const Text& text);
Text line_at(const Text& text, int n);
int compare_text(const Text& a, const Text& b);
// A value is the rest of its own reply line after its own key: these read
// it so, whatever "=", key or word the value itself holds.
// The text after the first "=" of a line; the empty text without one.
Text line_value(const Text& line);
// Whether the line's key (what stands before its first "=") is `key`.
bool line_has_key(const Text& line, const Text& key);
// The value of the first line of `reply` whose key is `key`.
Text reply_value(const Text& reply, const Text& key);
// The non-empty lines of a reply, in order, without their line ends.
TextArray reply_lines(const Text& reply);
// For accumulating replies (prefix, instance number, field): the indexes in
// `lines` of the lines of instances 1 to n, each instance's in order. A
// line belongs to instance i when it starts with the prefix and i written
// in decimal, followed by something other than a digit.
std::vector<std::vector<std::size_t>> lines_by_instance(const TextArray& lines, const Text& prefix, int n);

// The values of a reply whose lines are "N.Key=value" (N from 1): for each
// instance 1..n in order, its keys and values. The value is everything
// after the first "=" of its line.
using NumberedInstance = std::vector<std::pair<Text, Text>>;
std::vector<NumberedInstance> numbered_instances(const Text& reply);
// The value of `key` in one instance, or the empty text.
Text instance_value(const NumberedInstance& instance, const Text& key);
// A whole, non-negative figure as a property's text gives it (decimal
// digits only, at most 2^63 - 1); nothing for anything else.
std::optional<std::int64_t> quantity_of(const Text& value);
