#include "automation/sources/linux/udev_db.h"

std::optional<std::string> udev_property(const std::string& record, const std::string& key) {
    const std::string want = "E:" + key + "=";
    std::size_t pos = 0;
    while (pos < record.size()) {
        std::size_t end = record.find('\n', pos);
        if (end == std::string::npos) end = record.size();
        if (record.compare(pos, want.size(), want) == 0) return record.substr(pos + want.size(), end - pos - want.size());
        pos = end + 1;
    }
    return std::nullopt;
}

std::string udev_decode(const std::string& s) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && hex(s[i + 2]) >= 0 && hex(s[i + 3]) >= 0) {
            out += static_cast<char>(hex(s[i + 2]) * 16 + hex(s[i + 3]));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}
