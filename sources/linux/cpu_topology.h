// Logical processors grouped into physical packages, as the kernel's
// topology (sysfs) and /proc/cpuinfo place them.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct LogicalCpu {
    int number = 0;
    std::optional<std::string> package;  // the package id, where the kernel gives one
    std::string core;                    // the same for the hardware threads of one core
    std::string kind;                    // what kind of core it is (its name)
};

struct CpuPackage {
    std::vector<LogicalCpu> cpus;  // ascending by number
    int cores = 0;                 // distinct cores
};

// One package per package id, in the order of their first processors; one
// package when no processor has an id. Old arm64 kernels numbered each
// cluster of a big.LITTLE chip as a package: packages whose cores are of
// different kinds are taken for such clusters of one chip (the processors
// of a multi-socket board are always alike) and made one.
std::vector<CpuPackage> group_packages(std::vector<LogicalCpu> cpus);

// A kernel CPU list ("0-3,8,10-11"), at most `max` numbers; nothing when it
// does not read as one.
std::optional<std::vector<int>> parse_cpu_list(const std::string& list, std::size_t max);
