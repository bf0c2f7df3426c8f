#include "sources/linux/os_release.h"

std::optional<std::string> os_release_value(const std::string& text, const std::string& key) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string v = line.substr(key.size() + 1);
        while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
            const char q = v.front();
            std::string out;
            for (std::size_t i = 1; i + 1 < v.size(); ++i) {
                if (q == '"' && v[i] == '\\' && i + 2 < v.size()) ++i;
                out += v[i];
            }
            return out;
        }
        // Unquoted, a backslash escapes the next character, as in the shell.
        std::string out;
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] == '\\' && i + 1 < v.size()) ++i;
            out += v[i];
        }
        return out;
    }
    return std::nullopt;
}
