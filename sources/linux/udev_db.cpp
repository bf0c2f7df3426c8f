#include "sources/linux/udev_db.h"

#include <cstdlib>
#include <map>

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

std::vector<DmiMemoryDevice> udev_memory_devices(const std::string& record) {
    // MEMORY_DEVICE_<n>_<FIELD>=value, gathered by device in one pass.
    const std::string prefix = "E:MEMORY_DEVICE_";
    std::map<long, std::map<std::string, std::string>> devices;
    std::size_t pos = 0;
    while (pos < record.size()) {
        std::size_t end = record.find('\n', pos);
        if (end == std::string::npos) end = record.size();
        const std::string line = record.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind(prefix, 0) != 0) continue;
        std::size_t p = prefix.size(), digits = 0;
        while (p + digits < line.size() && digits < 6 && line[p + digits] >= '0' && line[p + digits] <= '9') ++digits;
        const auto eq = line.find('=', p);
        if (digits == 0 || p + digits >= line.size() || line[p + digits] != '_' || eq == std::string::npos) continue;
        const long n = std::strtol(line.substr(p, digits).c_str(), nullptr, 10);
        devices[n][line.substr(p + digits + 1, eq - p - digits - 1)] = line.substr(eq + 1);
    }
    auto text = [](const std::map<std::string, std::string>& f, const char* key) -> std::optional<std::string> {
        const auto it = f.find(key);
        if (it == f.end() || it->second.empty() || it->second == "Not Specified") return std::nullopt;
        return it->second;
    };
    auto count = [&](const std::map<std::string, std::string>& f, const char* key) -> std::optional<std::uint64_t> {
        const auto v = text(f, key);
        if (!v || v->find_first_not_of("0123456789") != std::string::npos || v->size() > 19) return std::nullopt;
        return std::strtoull(v->c_str(), nullptr, 10);
    };
    std::vector<DmiMemoryDevice> out;
    for (const auto& [n, f] : devices) {
        if (auto present = f.find("PRESENT"); present != f.end() && present->second == "0") continue;
        DmiMemoryDevice d;
        // No larger than the table can state (2^31 - 1 MiB, 2^31 - 1 MT/s):
        // a figure beyond is no figure.
        if (auto z = count(f, "SIZE"); z && *z <= (0x7FFFFFFFull << 20)) d.size_bytes = z;
        if (auto s = count(f, "SPEED_MTS"); s && *s > 0 && *s <= 0x7FFFFFFFu) d.speed_mts = static_cast<std::uint32_t>(*s);
        d.manufacturer = text(f, "MANUFACTURER");
        d.serial = text(f, "SERIAL_NUMBER");
        out.push_back(std::move(d));
    }
    return out;
}
