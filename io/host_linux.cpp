#include <time.h>
#include <unistd.h>

#include "io/host.h"
#include "values/encoding.h"
#include "io/linux_files.h"
#include "values/text.h"

std::uint32_t tick_count() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
              static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

Text host_name() {
    // The kernel keeps the name in a file too, so a captured tree has it.
    // Like every other value, the name is UTF-8 on Linux and GBK in the report.
    if (auto name = linux_files().line("/proc/sys/kernel/hostname")) return gbk_of_utf8_value(*name);
    if (!linux_files().real_root()) return Text();
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return Text();
    return gbk_of_utf8_value(buf);
}
