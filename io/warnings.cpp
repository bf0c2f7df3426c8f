#include "io/warnings.h"

#include <algorithm>

namespace {
std::vector<std::string>& warnings() {
    static std::vector<std::string> w;
    return w;
}
}  // namespace

void warn_reader(const std::string& sentence) {
    auto& w = warnings();
    if (std::find(w.begin(), w.end(), sentence) == w.end()) w.push_back(sentence);
}

const std::vector<std::string>& reader_warnings() { return warnings(); }
