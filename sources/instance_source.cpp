#include "sources/instance_source.h"

#include <cstring>

namespace {
unsigned char lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
}  // namespace

bool NoCaseLess::operator()(const Text& a, const Text& b) const {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = lower(static_cast<unsigned char>(a[i]));
        unsigned char y = lower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool is_standard_class(const Text& c) {
    static const char* const kClasses[] = {
        "Win32_OperatingSystem", "Win32_SystemEnclosure", "Win32_Processor",
        "Win32_DesktopMonitor",  "Win32_PhysicalMemory",  "Win32_DiskDrive",
        "Win32_VideoController", "Win32_BaseBoard",       "Win32_ComputerSystem",
        "Win32_ComputerSystemProduct", "Win32_BIOS"};
    NoCaseLess less;
    for (const char* k : kClasses)
        if (!less(c, k) && !less(k, c)) return true;
    return false;
}
