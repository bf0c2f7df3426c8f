#include <time.h>
#include <unistd.h>

#include "values/text.h"

std::uint32_t tick_count() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
              static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

Text host_name() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return Text();
    return Text(buf);
}
