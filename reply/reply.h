// Cutting values out of query replies: lines of key=value ended by CR LF.
#pragma once

#include "values/text.h"

Text text_after(const Text& text, const Text& key);
Text text_before(const Text& text, const Text& key, bool ignore_case);
Text text_between(const Text& text, const Text& start_key, const Text& end_key);
Text clean_value(const Text& text);
int line_count(const Text& text);
Text line_at(const Text& text, int n);
int compare_text(const Text& a, const Text& b);
// The non-empty lines of a reply, in order, without their line ends.
TextArray reply_lines(const Text& reply);
