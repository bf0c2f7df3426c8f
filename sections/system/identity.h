// Facts a fleet keys and lists machines by, beyond what the text report
// shows: the firmware's identity, every processor package, each disk's
// bus. Only the JSON form reads them; the text report never runs these
// queries.
#pragma once

#include <cstdint>
#include <vector>

#include "values/text.h"

extern const char* const kSystemProductScript;
extern const char* const kBiosScript;
extern const char* const kBaseBoardSerialScript;
extern const char* const kEnclosureSerialScript;
extern const char* const kProcessorListScript;
extern const char* const kDiskBusScript;
extern const char* const kVideoDeviceScript;

struct ProcessorEntry {
    Text name, description, maker, socket, data_width, max_clock, external_clock, cores, threads;
};

struct InventoryFacts {
    // As the firmware gave them; placeholders are sorted out when written.
    Text system_uuid, system_serial, bios_serial, board_serial, chassis_serial;
    Text machine_id;  // the operating system's own install id
    std::vector<ProcessorEntry> processors;
    std::vector<Text> disk_device_ids;  // Win32_DiskDrive PNPDeviceID, in the disk section's order
    // Win32_VideoController PNPDeviceID in the video section's order, and
    // the memory the driver's registry key holds for each (0: none there).
    std::vector<Text> video_device_ids;
    std::vector<std::int64_t> video_memory;
};

InventoryFacts read_inventory();

// Platform side: the install id (Linux /etc/machine-id, Windows the
// Cryptography key's MachineGuid).
Text read_machine_id();
// Platform side: a display adapter's whole memory as its driver key keeps
// it (Windows: HardwareInformation.qwMemorySize, else .MemorySize), where
// AdapterRAM, a 32-bit figure, cannot hold it; 0 where there is none.
std::int64_t read_adapter_memory(const Text& pnp_device_id);

// The values of a reply whose lines are "N.Key=value" (N from 1): for each
// instance 1..n in order, its keys and values. The value is everything
// after the first "=" of its line.
std::vector<std::vector<std::pair<Text, Text>>> numbered_instances(const Text& reply);
// The value of `key` in one instance, or the empty text.
Text instance_value(const std::vector<std::pair<Text, Text>>& instance, const Text& key);
