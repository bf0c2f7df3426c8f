#include <windows.h>

// The segment reads below are what this function is for; GCC cannot see
// that FS and GS point at real blocks.
#pragma GCC diagnostic ignored "-Warray-bounds"
#include <intrin.h>

#include "automation/script_query.h"
#include "sections/system/processor.h"
#include "sections/system/system.h"
#include "values/encoding.h"

int read_os_family() {
#if defined(_M_IX86) || defined(__i386__)
    // 32-bit: the thread information block through FS.
    const std::uint32_t peb = __readfsdword(0x30);
    const std::uint32_t tib = __readfsdword(0x18);
    if (static_cast<std::int32_t>(peb) < 0) {
        auto at = [tib](std::uint32_t off) {
            return *reinterpret_cast<const std::uint32_t*>(static_cast<std::uintptr_t>(tib + off));
        };
        return os_family_95(at(0x58), at(0x54), at(0x7C));
    }
    auto base = reinterpret_cast<const unsigned char*>(static_cast<std::uintptr_t>(peb));
    return os_family_from_version(*reinterpret_cast<const std::uint32_t*>(base + 0xA4),
                                  *reinterpret_cast<const std::uint32_t*>(base + 0xA8));
#else
    // 64-bit: the process environment block through GS; the version fields
    // stand at 0x118 and 0x11C there.
    auto base = reinterpret_cast<const unsigned char*>(__readgsqword(0x60));
    return os_family_from_version(*reinterpret_cast<const std::uint32_t*>(base + 0x118),
                                  *reinterpret_cast<const std::uint32_t*>(base + 0x11C));
#endif
}

bool is_64bit_windows() {
    using Fn = UINT(WINAPI*)(LPSTR, UINT);
    HMODULE k = GetModuleHandleA("kernel32.dll");
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(k, "GetSystemWow64DirectoryA")));
    if (!fn) return false;
    char buf[256];
    FillMemory(buf, 255, ' ');
    buf[255] = 0;
    return static_cast<int>(fn(buf, 255)) > 0;
}

Text read_user_name() {
    // Room for any Windows user name (UNLEN is 256), so a long one is shown.
    // The wide form, through code page 936 like every other text: the ANSI
    // form would come in the machine's own code page ("José" on 1252).
    wchar_t buf[257 + 1];
    DWORD size = 257 + 1;
    if (!GetUserNameW(buf, &size) || size == 0) return Text();
    buf[257] = 0;
    return wide_to_gbk(buf, wcslen(buf));
}

Text read_processor_signature() {
    int r[4] = {};
    __cpuid(r, 1);
    return format_processor_signature(static_cast<std::uint32_t>(r[3]),
                                      static_cast<std::uint32_t>(r[0]));
}

std::optional<bool> read_64bit_answer() { return is_64bit_windows(); }

std::optional<std::int64_t> read_update_revision() {
    // The registry is this machine's: a described machine says its own.
    if (!reading_own_machine()) return std::nullopt;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | 0x0100 /* KEY_WOW64_64KEY */, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0, type = 0, size = sizeof value;
    const LONG r = RegQueryValueExW(key, L"UBR", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return std::nullopt;
    return static_cast<std::int64_t>(value);
}
