// The running Linux machine (or a captured tree of one, see LinuxFiles) as
// an instance source: one reader per WMI class, each property from where
// Linux keeps the fact, Null where Linux does not know it. The files beside
// this one each read one thing: cpuinfo, the SMBIOS table, os-release,
// pci.ids, the DRM connectors.
#pragma once

#include "sources/instance_source.h"

InstanceSource& linux_machine();
