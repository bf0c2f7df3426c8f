#include "automation/script_query.h"
#include "sections/hardware/hardware.h"
#include "sources/linux/disks.h"

// The disk reader saw how each disk is attached when it listed it.
std::optional<DiskBus> platform_disk_bus(const Text& device) {
    if (device.empty() || !reading_own_machine()) return std::nullopt;
    const auto bus = listed_disk_bus(device);
    return bus ? disk_bus_named(*bus) : std::nullopt;
}

// amdgpu's whole figure is AdapterRAM itself here.
std::int64_t read_adapter_memory(const Text&) { return 0; }
