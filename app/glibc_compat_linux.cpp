// quorvin-report links the C++ runtime in, and that runtime (built against
// glibc 2.36) refers to arc4random for std::random_device, which the report
// never uses. Defined here, the program needs no glibc newer than 2.34 and
// installs on RHEL 9 as on Debian 12; it draws from getrandom() as glibc's
// own does.
#include <sys/random.h>

#include <cerrno>
#include <cstdint>

extern "C" std::uint32_t arc4random() {
    std::uint32_t v = 0;
    for (;;) {
        const ssize_t n = getrandom(&v, sizeof v, 0);
        if (n == static_cast<ssize_t>(sizeof v)) return v;
        if (n < 0 && errno != EINTR) return v;  // glibc aborts here; a report needs no randomness
    }
}
