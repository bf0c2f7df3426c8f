// Win32_Processor on Linux: one instance per physical package, named and
// measured from what the machine says of itself on every architecture the
// kernel runs on (/proc/cpuinfo, the sysfs topology and cpufreq, the SMBIOS
// processor records, /proc/sysinfo on IBM Z).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sources/instance_source.h"
#include "sources/linux/cpuinfo.h"

std::vector<Instance> processor_instances();

// "Intel64 Family 6 Model 158 Stepping 10", as Windows' Description names
// an x86 processor; nothing when cpuinfo lacks the fields.
std::optional<std::string> windows_cpu_description(const CpuInfo& info, std::optional<std::size_t> processor);

// The clock a processor's name states ("... @ 2.27GHz" gives 2270), in MHz.
std::optional<int> clock_in_name(const std::string& name);
