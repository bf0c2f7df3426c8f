// What a reader noticed and left out (a list cut at the kernel's limit),
// in English, for the JSON's warnings and the console's standard error.
#pragma once

#include <string>
#include <vector>

void warn_reader(const std::string& sentence);
// In the order noticed, each once.
const std::vector<std::string>& reader_warnings();
