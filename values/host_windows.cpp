#include <winsock2.h>
#include <windows.h>

#include "values/text.h"

std::uint32_t tick_count() { return GetTickCount(); }

Text host_name() {
    // Windows Sockets is started by the program's start-up.
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return Text();
    return Text(buf);
}
