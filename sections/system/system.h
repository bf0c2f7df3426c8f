// System section values: OS caption and bitness, family, chassis, user.
#pragma once

#include <cstdint>
#include <optional>

#include "values/text.h"

extern const char* const kOsScript;
extern const char* const kChassisTypeScript;
extern const char* const kEnclosureMakerScript;

// The operating system as the OS query gave it: the caption, the report's
// bitness word, and the width as a number from the digits of
// OSArchitecture, whatever language it is written in ("64 位", "64 bits").
struct OsFacts {
    Text caption, bitness;
    std::optional<std::int64_t> bits;
    // Read only with the whole record.
    Text version, build_number;                     // the kernel's release; Windows' build
    std::optional<std::int64_t> update_revision;    // Windows' UBR
    std::optional<std::string> boot_time, install_date;  // RFC 3339, UTC
};
extern const char* const kOsListScript;
// `whole`: every property, from the list script; else the report's own.
OsFacts read_os_facts(bool whole = false);
// "20190116083000.000000+480", a CIM datetime with its offset in minutes,
// as RFC 3339 in UTC ("2019-01-16T00:30:00Z"); nothing for anything else.
std::optional<std::string> rfc3339_of_cim(const Text& cim);
void read_os_caption_and_bitness(Text& caption, Text& bitness);
std::optional<std::int64_t> os_bits_of(const Text& architecture);
// Returns the ChassisTypes code itself (0 where there is none).
int read_chassis_and_maker(Text& chassis_name, Text& maker);
// Name of a ChassisTypes code; empty for codes outside the table.
Text chassis_name(int code);
// The DMTF English name of the same code, for the neutral forms; null
// outside the types SMBIOS defines.
const char* chassis_type_name(int code);

// Family code 0..12 from the version numbers in the process environment block.
int os_family_from_version(std::uint32_t major, std::uint32_t minor);
// The 95-family test over the thread information block's double words.
int os_family_95(std::uint32_t at_58, std::uint32_t at_54, std::uint32_t at_7c);
// The report's label for a family code; empty outside 0..12.
Text os_family_label(int code);
// The system's English name for the same code ("Windows 7"); null for 0
// and outside the table.
const char* os_family_name(int code);

// Platform side.
int read_os_family();
// Windows' update build revision (the registry's UBR, Windows 10 on).
std::optional<std::int64_t> read_update_revision();
bool is_64bit_windows();
// The report's 64-bit answer: this machine's, or a captured tree's own
// (nothing when the tree does not say).
std::optional<bool> read_64bit_answer();
Text read_user_name();
