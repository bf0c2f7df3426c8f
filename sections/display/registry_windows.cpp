#include <windows.h>

#include "automation/script_query.h"
#include "sections/display/display.h"

Bytes registry_read_binary(RegistryRoot, const Text& full_path) {
    // A described machine keeps its monitors' EDIDs with its instances.
    if (!reading_own_machine()) return edid_from_instance_source(full_path);
    Text key_path, value_name;
    split_registry_path(full_path, key_path, value_name);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return Bytes();
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, value_name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY) {
        RegCloseKey(key);
        return Bytes();
    }
    Bytes data(size);
    LONG rc = RegQueryValueExA(key, value_name.c_str(), nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_BINARY) return Bytes();
    data.resize(size);
    return data;
}
