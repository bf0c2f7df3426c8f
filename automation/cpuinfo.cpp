#include "automation/cpuinfo.h"

#include <set>

#include "values/text.h"


bool has_flag(const CpuPackage& p, const std::string& flag) {
    auto it = p.fields.find("flags");
    return it != p.fields.end() && (" " + it->second + " ").find(" " + flag + " ") != std::string::npos;
}

std::vector<CpuPackage> parse_cpuinfo(const std::string& text) {
    std::vector<std::map<std::string, std::string>> processors(1);
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const auto colon = line.find(':');
        if (trim_blanks(line).empty()) {
            if (!processors.back().empty()) processors.emplace_back();
            continue;
        }
        if (colon == std::string::npos) continue;
        processors.back()[trim_blanks(line.substr(0, colon))] = trim_blanks(line.substr(colon + 1));
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
    const bool lm = has_flag(p, "lm");
    std::string arch;
    if (*vendor == "GenuineIntel")
        arch = lm ? "Intel64" : "x86";
    else if (*vendor == "AuthenticAMD" || *vendor == "HygonGenuine")
        arch = lm ? "AMD64" : "x86";
    else
        arch = lm ? "x64" : "x86";
    return arch + " Family " + *family + " Model " + *model + " Stepping " + *stepping;
}
