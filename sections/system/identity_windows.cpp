#include <windows.h>

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

namespace {

// A value of a key under HKLM, at most 64 bytes.
bool registry_value(const std::wstring& key_path, const wchar_t* name, DWORD& type, BYTE* data, DWORD& size) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    const LONG r = RegQueryValueExW(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

// A size stored little-endian in the first `n` bytes; 0 for none or beyond reason.
std::int64_t little_endian_size(const BYTE* data, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | data[i];
    return v > 0 && v < (1ull << 62) ? static_cast<std::int64_t>(v) : 0;
}

}  // namespace

std::int64_t read_adapter_memory(const Text& pnp_device_id) {
    if (pnp_device_id.empty()) return 0;
    // The device's Driver value names its key under the display class.
    wchar_t driver[256] = {};
    DWORD type = 0, size = sizeof driver - sizeof(wchar_t);
    if (!registry_value(L"SYSTEM\\CurrentControlSet\\Enum\\" + gbk_to_wide(pnp_device_id), L"Driver", type,
                        reinterpret_cast<BYTE*>(driver), size) ||
        type != REG_SZ)
        return 0;
    const std::wstring class_key = std::wstring(L"SYSTEM\\CurrentControlSet\\Control\\Class\\") + driver;
    BYTE data[64] = {};
    size = sizeof data;
    if (registry_value(class_key, L"HardwareInformation.qwMemorySize", type, data, size) && size == 8 &&
        (type == REG_QWORD || type == REG_BINARY))
        return little_endian_size(data, 8);
    size = sizeof data;
    if (registry_value(class_key, L"HardwareInformation.MemorySize", type, data, size) && size >= 4 &&
        (type == REG_DWORD || type == REG_BINARY))
        return little_endian_size(data, size >= 8 ? 8 : 4);
    return 0;
}
