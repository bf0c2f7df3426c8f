// System section values: OS caption and bitness, family, chassis, user.
#pragma once

#include <cstdint>
#include <optional>

#include "values/text.h"

extern const char* const kOsScript;
extern const char* const kChassisTypeScript;
extern const char* const kEnclosureMakerScript;

void read_os_caption_and_bitness(Text& caption, Text& bitness);
// Returns the ChassisTypes code itself (0 where there is none).
int read_chassis_and_maker(Text& chassis_name, Text& maker);
// Name of a ChassisTypes code; empty for codes outside the table.
Text chassis_name(int code);

// Family code 0..12 from the version numbers in the process environment block.
int os_family_from_version(std::uint32_t major, std::uint32_t minor);
// The 95-family test over the thread information block's double words.
int os_family_95(std::uint32_t at_58, std::uint32_t at_54, std::uint32_t at_7c);
// The report's label for a family code; empty outside 0..12.
Text os_family_label(int code);

// Platform side.
int read_os_family();
bool is_64bit_windows();
// The report's 64-bit answer: this machine's, or a captured tree's own
// (nothing when the tree does not say).
std::optional<bool> read_64bit_answer();
Text read_user_name();
