#include "automation/sources/linux/cpuinfo.h"

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
    std::map<std::string, std::size_t> index;  // package id -> place in `packages`
    for (const auto& p : processors) {
        if (!p.count("processor")) continue;
        const auto id = p.count("physical id") ? p.at("physical id") : std::string("0");
        auto [at, added] = index.try_emplace(id, packages.size());
        if (added) packages.push_back(CpuPackage{id, p, 0, 0});
        CpuPackage* pkg = &packages[at->second];
        ++pkg->logical;
        cores[id].insert(p.count("core id") ? p.at("core id") : p.at("processor"));
    }
    for (auto& k : packages) k.cores = static_cast<int>(cores[k.physical_id].size());
    return packages;
}
