// What clean_value makes of replies with blank lines, whichever engine runs
// the pattern.
#pragma once

#include "values/text.h"

struct CleanCase {
    Text in, out;
};

inline const CleanCase kCleanCases[] = {
    {"w1\r\n\r\n  \r\nw2\r\n", "w1\r\nw2"}, {"\r\n\r\nword", "word"},
    {"a\r\n\t \t\r\nb", "a\r\nb"},          {"a\r\n\r\n\r\n\r\nb", "a\r\nb"},
    {"value  \r\n", "value  "},              {"a\rb", "a\rb"},
    {"a\n\rb", "ab"},                        {"数据\r\n\r\n值\r\n", "数据\r\n值"},
    {"", ""},
};
