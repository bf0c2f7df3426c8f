// The word width of a kernel architecture, by the machine name the kernel
// gives (uname's machine field, /proc/sys/kernel/arch). The one list that
// both the OS bitness and the 64-bit answer read.
#pragma once

#include <optional>
#include <string_view>

// 64 for a 64-bit architecture, 32 for any other name; nothing for an empty one.
std::optional<int> kernel_arch_bits(std::string_view machine);

// The width of the kernel whose files are read: the tree's
// /proc/sys/kernel/arch, or on the running machine uname's answer.
std::optional<int> kernel_bits();
