#include "sources/linux/kernel_arch.h"

#include <sys/utsname.h>

#include <string>

#include "io/linux_files.h"
#include "values/text.h"

std::optional<int> kernel_arch_bits(std::string_view machine) {
    if (machine.empty()) return std::nullopt;
    // The names the kernel's 64-bit ports give as their machine.
    static constexpr std::string_view k64[] = {
        "x86_64",  "aarch64",     "aarch64_be", "ppc64",   "ppc64le", "s390x", "riscv64",
        "mips64",  "loongarch64", "sparc64",    "alpha",   "ia64",    "parisc64"};
    for (std::string_view a : k64)
        if (machine == a) return 64;
    return 32;
}

std::optional<int> kernel_bits() {
    auto& fs = linux_files();
    std::optional<std::string> arch = fs.line("/proc/sys/kernel/arch");
    if (arch) arch = trim_blanks(*arch);
    if (!arch && fs.real_root()) {
        utsname u{};
        if (uname(&u) == 0) arch = std::string(u.machine);
    }
    if (!arch) return std::nullopt;
    return kernel_arch_bits(*arch);
}
