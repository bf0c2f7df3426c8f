#include "automation/cpuinfo.h"

#include <set>

namespace {
std::string trim(const std::string& s) {
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return std::string();
    const auto b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}
}  // namespace

std::vector<CpuPackage> parse_cpuinfo(const std::string& text) {
    std::vector<std::map<std::string, std::string>> processors(1);
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const auto colon = line.find(':');
        if (trim(line).empty()) {
            if (!processors.back().empty()) processors.emplace_back();
            continue;
        }
        if (colon == std::string::npos) continue;
        processors.back()[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
    }
    std::vector<CpuPackage> packages;
    std::map<std::string, std::set<std::string>> cores;
    for (const auto& p : processors) {
        if (!p.count("processor")) continue;
        const auto id = p.count("physical id") ? p.at("physical id") : std::string("0");
        CpuPackage* pkg = nullptr;
        for (auto& k : packages)
            if (k.physical_id == id) pkg = &k;
        if (!pkg) {
            packages.push_back(CpuPackage{id, p, 0, 0});
            pkg = &packages.back();
        }
        ++pkg->logical;
        cores[id].insert(p.count("core id") ? p.at("core id") : p.at("processor"));
    }
    for (auto& k : packages) k.cores = static_cast<int>(cores[k.physical_id].size());
    return packages;
}

std::optional<std::string> windows_cpu_description(const CpuPackage& p) {
    auto get = [&](const char* k) -> std::optional<std::string> {
        auto it = p.fields.find(k);
        if (it == p.fields.end() || it->second.empty()) return std::nullopt;
        return it->second;
    };
    const auto vendor = get("vendor_id");
    const auto family = get("cpu family"), model = get("model"), stepping = get("stepping");
    if (!vendor || !family || !model || !stepping) return std::nullopt;
    const auto flags = get("flags").value_or("");
    const bool lm = (" " + flags + " ").find(" lm ") != std::string::npos;
    std::string arch;
    if (*vendor == "GenuineIntel")
        arch = lm ? "Intel64" : "x86";
    else if (*vendor == "AuthenticAMD" || *vendor == "HygonGenuine")
        arch = lm ? "AMD64" : "x86";
    else
        arch = lm ? "x64" : "x86";
    return arch + " Family " + *family + " Model " + *model + " Stepping " + *stepping;
}
