// udev's database under /run/udev/data: one world-readable record per
// device ("b8:0" for a block device, "+dmi:id" for the machine), lines of
// "E:KEY=value" among others.
#pragma once

#include <optional>
#include <string>

// The value of property `key` in a record.
std::optional<std::string> udev_property(const std::string& record, const std::string& key);
// A "_ENC" value with its \xNN escapes decoded ("Samsung\x20SSD" gives
// "Samsung SSD").
std::string udev_decode(const std::string& encoded);
