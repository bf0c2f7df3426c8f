#include "sources/linux/cpu_topology.h"

#include <algorithm>
#include <map>
#include <set>

#include "sources/linux/cpuinfo.h"

std::optional<std::vector<int>> parse_cpu_list(const std::string& list, std::size_t max) {
    std::string s;
    for (char c : list)
        if (c != '\n' && c != '\0' && c != ' ' && c != '\r') s += c;
    std::vector<int> out;
    if (s.empty()) return out;
    std::size_t pos = 0;
    while (pos <= s.size()) {
        std::size_t end = s.find(',', pos);
        if (end == std::string::npos) end = s.size();
        const std::string item = s.substr(pos, end - pos);
        pos = end + 1;
        const auto dash = item.find('-');
        const auto lo = cpu_number(item.substr(0, dash));
        const auto hi = dash == std::string::npos ? lo : cpu_number(item.substr(dash + 1));
        if (!lo || !hi || *hi < *lo) return std::nullopt;
        for (int n = *lo; n <= *hi; ++n) {
            if (out.size() >= max) return std::nullopt;
            out.push_back(n);
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<CpuPackage> group_packages(std::vector<LogicalCpu> cpus) {
    std::sort(cpus.begin(), cpus.end(), [](const LogicalCpu& a, const LogicalCpu& b) { return a.number < b.number; });
    std::vector<CpuPackage> packages;
    std::map<std::string, std::size_t> index;  // package id -> place in `packages`
    for (auto& c : cpus) {
        const std::string id = c.package.value_or("");
        const auto [at, added] = index.try_emplace(id, packages.size());
        if (added) packages.emplace_back();
        packages[at->second].cpus.push_back(std::move(c));
    }
    auto kinds = [](const CpuPackage& p) {
        std::set<std::string> k;
        for (const auto& c : p.cpus) k.insert(c.kind);
        return k;
    };
    bool alike = true;
    for (std::size_t i = 1; i < packages.size() && alike; ++i) alike = kinds(packages[i]) == kinds(packages[0]);
    if (!alike) {
        CpuPackage one;
        for (auto& p : packages)
            for (auto& c : p.cpus) one.cpus.push_back(std::move(c));
        std::sort(one.cpus.begin(), one.cpus.end(),
                  [](const LogicalCpu& a, const LogicalCpu& b) { return a.number < b.number; });
        packages.assign(1, std::move(one));
    }
    for (auto& p : packages) {
        std::set<std::string> cores;
        for (const auto& c : p.cpus) cores.insert(c.core);
        p.cores = static_cast<int>(cores.size());
    }
    return packages;
}
