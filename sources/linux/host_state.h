// What only a system call answers on the running machine (the kernel's
// machine name, the user, CPUID) and what a captured tree keeps of it in
// its quorvin/ state, which --capture writes and --root reads; the install
// id; the console framebuffer's mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

std::optional<std::string> kernel_machine_name();
// UTF-8, as the name service gives it.
std::optional<std::string> effective_user_name();
// CPUID leaf 1, EDX then EAX as 16 upper-case hex digits; nothing for a
// processor without the instruction (or a tree that does not say).
std::optional<std::string> cpuid_signature();
// /etc/machine-id, else D-Bus's older place for the same id.
std::optional<std::string> machine_id();

struct FramebufferMode {
    std::int32_t bits_per_pixel = 0, width = 0, height = 0, refresh_hz = 0;
};
// /sys/class/graphics/fbN: its depth, its visible size and the refresh of its mode.
std::optional<FramebufferMode> framebuffer_mode(int device);
