#include <windows.h>

#include "automation/script_query.h"
#include "sections/system/firmware.h"
#include "sections/system/identity.h"
#include "values/encoding.h"

#ifndef KEY_WOW64_64KEY
#define KEY_WOW64_64KEY 0x0100
#endif

Text read_machine_id() {
    // The key lives in the 64-bit view only; a 32-bit process on 64-bit
    // Windows asks for that view (Windows XP 32-bit ignores the flag).
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return Text();
    wchar_t buf[128] = {};
    DWORD type = 0, size = sizeof buf - sizeof(wchar_t);
    const LONG r = RegQueryValueExW(key, L"MachineGuid", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || type != REG_SZ) return Text();
    Text out;
    // A GUID is ASCII; anything else is not an id we can key by.
    for (const wchar_t* p = buf; *p; ++p) {
        if (*p > 0x7E || *p < 0x20) return Text();
        out += static_cast<char>(*p);
    }
    return out;
}

std::optional<bool> read_uefi_boot() {
    // A described machine says so itself (its facts block); this one asks
    // Windows, which tells from Windows 8 on.
    if (!reading_own_machine()) return std::nullopt;
    using GetFirmwareTypeFn = BOOL(WINAPI*)(DWORD*);
    const auto get = reinterpret_cast<GetFirmwareTypeFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFirmwareType")));
    DWORD type = 0;
    if (!get || !get(&type)) return std::nullopt;
    if (type == 1) return false;  // FirmwareTypeBios
    if (type == 2) return true;   // FirmwareTypeUefi
    return std::nullopt;
}
