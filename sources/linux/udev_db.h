// udev's database under /run/udev/data: one world-readable record per
// device ("b8:0" for a block device, "+dmi:id" for the machine), lines of
// "E:KEY=value" among others.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sources/linux/smbios.h"

// The value of property `key` in a record.
std::optional<std::string> udev_property(const std::string& record, const std::string& key);
// A "_ENC" value with its \xNN escapes decoded ("Samsung\x20SSD" gives
// "Samsung SSD").
std::string udev_decode(const std::string& encoded);

// The memory devices udev's dmi_memory_id decoded from the SMBIOS table
// into the machine's record ("+dmi:id"), for users who cannot read the
// table: those present, in device order. udev writes "Not Specified" for an
// absent string, which is no value here.
std::vector<DmiMemoryDevice> udev_memory_devices(const std::string& record);
