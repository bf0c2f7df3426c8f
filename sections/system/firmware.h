// The firmware: who made it, which version and when, the BIOS release and
// the SMBIOS version, and whether the system booted through UEFI. Only
// the forms of the report beyond its text read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "values/text.h"

// Properties every Windows has (XP too), and the BIOS release, which
// Windows 8 added: one script each, so that XP loses only the second.
extern const char* const kFirmwareScript;
extern const char* const kFirmwareReleaseScript;

struct FirmwareFacts {
    Text vendor, version;                  // as the firmware gives them
    std::optional<std::string> release_date;  // ISO 8601, "2019-01-16"
    std::optional<std::int64_t> release_major, release_minor, smbios_major, smbios_minor;
    std::optional<bool> uefi;              // booted through UEFI, or legacy BIOS
    bool release_unsupported = false;      // the class has no BIOS release (before Windows 8)
};

FirmwareFacts read_firmware();
// "20190116000000.000000+000", a CIM datetime, as "2019-01-16"; nothing
// for a value that is no date.
std::optional<std::string> iso_date_of_cim(const Text& cim);

// Platform side: whether this system booted through UEFI (Linux: the
// kernel's /sys/firmware/efi; Windows: GetFirmwareType, Windows 8 on).
std::optional<bool> read_uefi_boot();
