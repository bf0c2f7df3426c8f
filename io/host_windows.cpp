#include <winsock2.h>
#include <windows.h>

#include <cwchar>

#include "io/host.h"
#include "values/encoding.h"
#include "values/text.h"

std::uint32_t tick_count() { return GetTickCount(); }

Text host_name() {
    // The DNS host name, as gethostname gives it, but in the wide form and
    // through code page 936 like every other text, whatever the machine's
    // ANSI code page.
    wchar_t buf[256] = {};
    DWORD size = 255;
    if (!GetComputerNameExW(ComputerNameDnsHostname, buf, &size)) return Text();
    buf[255] = 0;
    return wide_to_gbk(buf, wcslen(buf));
}
