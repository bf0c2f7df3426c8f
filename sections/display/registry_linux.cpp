#include "sources/instance_source.h"
#include "automation/script_query.h"
#include "sections/display/display.h"

// Linux has no registry; the monitors' EDID values live with the instance
// source, so the EDID paths that the display section reads are answered
// from there, found by the device identifier in the path.
Bytes registry_read_binary(RegistryRoot, const Text& full_path) {
    Text key, value;
    split_registry_path(full_path, key, value);
    const Text prefix = "SYSTEM\\ControlSet00";
    const Text suffix = "\\Device Parameters";
    if (value != "EDID" || !text_starts_with(key, prefix) || key.size() < prefix.size() + 7 ||
        key.compare(key.size() - suffix.size(), suffix.size(), suffix) != 0)
        return Bytes();
    const char set = key[prefix.size()];
    if (set < '1' || set > '3' || key.compare(prefix.size() + 1, 6, "\\Enum\\") != 0) return Bytes();
    const std::size_t begin = prefix.size() + 7;
    if (key.size() < begin + suffix.size()) return Bytes();
    const Text device = key.substr(begin, key.size() - suffix.size() - begin);
    return instance_source().edid(device, set - '0').value_or(Bytes());
}
