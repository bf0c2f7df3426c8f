// Small conversions of what sysfs and /proc files hold, shared by the
// Linux readers: values trimmed of blanks and of the NUL some attributes end
// in, decimal and hex numbers, UTF-8 texts into GBK.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sources/linux/smbios.h"
#include "values/text.h"

std::optional<std::string> trimmed(const std::optional<std::string>& s);
// The whole (trimmed) text as a number in `base`; nothing otherwise.
std::optional<std::int64_t> number(const std::optional<std::string>& s, int base = 10);
std::optional<Text> gbk(const std::optional<std::string>& s);
// The SMBIOS table, where it can be read (root only on a running machine).
std::vector<DmiStructure> dmi_table();

// Notes why a source left a class's property (empty: its instances) Null:
// the errno of the read of `path` as the reader saw it.
void note_unread_file(const char* class_name, const char* property, const std::string& path, int error);

// A firmware date as SMBIOS writes it, "MM/DD/YYYY" (older firmware
// "MM/DD/YY": 80 to 99 are 19xx, the rest 20xx), as WMI writes a date:
// "YYYYMMDD000000.000000+000"; nothing for anything else.
std::optional<std::string> cim_date_of_firmware_date(const std::string& date);
// Whether the running system (or the tree) booted through UEFI: the kernel
// has /sys/firmware/efi then; nothing where /sys/firmware is not there.
std::optional<bool> booted_through_uefi();

// Seconds since the epoch as WMI writes a time, in UTC:
// "YYYYMMDDHHMMSS.000000+000"; nothing for no figure or one out of range.
std::optional<std::string> cim_time_of_epoch(const std::optional<std::int64_t>& seconds);
