// The running Linux machine (or a captured tree of one, see LinuxFiles) as
// an instance source: one reader per WMI class, each property from where
// Linux keeps the fact, Null where Linux does not know it. The files beside
// this one each read one thing: cpuinfo, the SMBIOS table, os-release,
// pci.ids, the DRM connectors.
#pragma once

#include <optional>
#include <string>

#include "automation/host/instance_source.h"
#include "automation/sources/linux/cpuinfo.h"

InstanceSource& linux_machine();

// "Intel64 Family 6 Model 158 Stepping 10", as Windows' Description names
// a processor; nothing when cpuinfo lacks the fields.
std::optional<std::string> windows_cpu_description(const CpuPackage& p);
