#include <windows.h>

#include "automation/script_query.h"
#include "sections/hardware/hardware.h"
#include "values/encoding.h"

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

// Windows tells the bus only through the PNP device id.
std::optional<DiskBus> platform_disk_bus(const Text&) { return std::nullopt; }

std::int64_t read_adapter_memory(const Text& pnp_device_id) {
    // The registry is this machine's: a described machine has none of it.
    if (pnp_device_id.empty() || !reading_own_machine()) return 0;
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
