// /proc/cpuinfo, grouped into physical packages.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

struct CpuPackage {
    std::string physical_id;
    std::map<std::string, std::string> fields;  // of the package's first processor
    int logical = 0;
    int cores = 0;  // distinct core ids
};

std::vector<CpuPackage> parse_cpuinfo(const std::string& text);
// Whether the package's flags line names `flag` ("lm": a 64-bit processor).
bool has_flag(const CpuPackage& p, const std::string& flag);
