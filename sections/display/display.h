// Display section: screen metrics (platform side) and the monitor's EDID.
#pragma once

#include <cstdint>
#include <vector>

#include "sections/display/edid.h"
#include "values/text.h"

extern const char* const kMonitorScript;

// Writes the four outputs only when the mode could be read.
void query_display_mode(int device, std::int32_t& bits_per_pixel, std::int32_t& width,
                        std::int32_t& height, std::int32_t& refresh);
std::int32_t count_screens();
std::int32_t taskbar_thickness();

enum class RegistryRoot { LocalMachine };

// Every monitor the query lists with a device id (with `all`; else only the
// first), in its order, decoded where its EDID can be read; `shown` is the
// one the report shows (the first, when its EDID decodes), or -1.
struct MonitorList {
    std::vector<Text> device_ids;
    std::vector<MonitorInfo> monitors;
    int shown = -1;
};
MonitorList read_monitors(bool all);
MonitorInfo read_monitor_info();
Bytes read_edid_bytes(const Text& device_id);
// A monitor's EDID value as the instance source holds it, found by the
// device identifier in its registry path (a described machine, and Linux).
Bytes edid_from_instance_source(const Text& full_path);
// Platform side: a REG_BINARY value at "key path\value name", or nothing.
Bytes registry_read_binary(RegistryRoot root, const Text& full_path);
// The key path and value name of a full path, split at its last backslash
// (never at the second byte of a double-byte character).
void split_registry_path(const Text& full_path, Text& key_path, Text& value_name);
