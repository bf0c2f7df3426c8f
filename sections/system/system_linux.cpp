#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "automation/sources/linux/kernel_arch.h"
#include "sections/system/processor.h"
#include "sections/system/system.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

// Linux has no Windows family; the report says 未知.
int read_os_family() { return 0; }

bool is_64bit_windows() {
    utsname u{};
    if (uname(&u) != 0) return false;
    return kernel_arch_bits(u.machine) == 64;
}

Text read_user_name() {
    passwd pw{};
    passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) != 0 || !found) return Text();
    return Text(found->pw_name);
}

Text read_processor_signature() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return Text();
    return format_processor_signature(d, a);
#else
    return Text();
#endif
}
