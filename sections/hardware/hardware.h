// Memory, disk, video controller and motherboard section bodies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "values/text.h"

extern const char* const kMemoryScript;
extern const char* const kDiskScript;
extern const char* const kVideoControllerScript;
extern const char* const kBaseBoardScript;
extern const char* const kComputerModelScript;
// The same classes listed with every property a form of the report needs,
// each instance under its number: read instead of the scripts above when
// the whole record is wanted, so that each class is enumerated once.
extern const char* const kMemoryListScript;
extern const char* const kDiskListScript;
extern const char* const kVideoListScript;
extern const char* const kComputerSystemScript;

// How a disk is attached, as far as the system tells.
enum class DiskBus { Nvme, Sata, Sas, Usb, Virtio, Mmc, Scsi, Ide };
const char* disk_bus_name(DiskBus bus);  // "nvme", "sata", ...
std::optional<DiskBus> disk_bus_named(const std::string& name);
// From a Windows disk's PNP device id: the enumerator, and the vendor
// Windows writes for NVMe drives under SCSI (an AHCI drive under SCSI with
// no vendor tells nothing).
std::optional<DiskBus> disk_bus_of_pnp_id(const Text& pnp_device_id);

// What each section read, before it is written as lines: the text report
// and the JSON form are both made from these.
struct MemoryFacts {
    struct Module {
        std::int32_t capacity_gb = 0;
        double capacity_bytes = 0;  // the figure the GB are cut from
        std::int32_t speed = 0;
        Text maker, serial;
    };
    std::vector<Module> modules;
    Text count;
};
struct DiskFacts {
    struct Disk {
        Text model;
        std::int64_t capacity_gb = 0;
        std::int64_t capacity_bytes = 0;
        Text type;
        Text device;         // DeviceID: "\\.\PHYSICALDRIVE0", Linux "sda"
        Text pnp_device_id;  // Windows' own id of the device
        std::optional<DiskBus> bus;
    };
    std::vector<Disk> disks;
    Text count;
};
struct VideoFacts {
    // The section shows the first controller's four lines.
    Text name, memory, maker, driver, count;
    struct Controller {
        Text name, memory, maker, driver;
        Text device_id;  // PNPDeviceID
        // The card's whole memory: AdapterRAM, or the driver's own figure
        // where the 32 bits of AdapterRAM cannot hold it.
        std::optional<std::int64_t> memory_bytes;
    };
    std::vector<Controller> controllers;  // every controller, for the JSON
};
struct BoardFacts {
    Text brand, product, model;
    // Read only with the whole record: the computer's maker, and the
    // memory the operating system counts.
    Text system_manufacturer;
    std::optional<std::int64_t> total_physical_memory;
};

// `whole`: every property, from the list scripts; else what the text
// report shows, from the report's own scripts.
MemoryFacts read_memory_facts(bool whole = false);
DiskFacts read_disk_facts(bool whole = false);
VideoFacts read_video_facts(bool whole = false);
BoardFacts read_board_facts(bool whole = false);

// Platform side: a disk's bus where the system says it apart from a PNP
// device id (Linux: from the reader that listed the disk, by its name).
std::optional<DiskBus> platform_disk_bus(const Text& device);
// Platform side: a display adapter's whole memory as its driver key keeps
// it (Windows: HardwareInformation.qwMemorySize, else .MemorySize), where
// AdapterRAM, a 32-bit figure, cannot hold it; 0 where there is none.
std::int64_t read_adapter_memory(const Text& pnp_device_id);
Text memory_section_text(const MemoryFacts& f);
Text disk_section_text(const DiskFacts& f);
Text video_section_text(const VideoFacts& f);
Text board_section_text(const BoardFacts& f);

Text memory_section();
Text disk_section();
Text video_controller_section();
Text motherboard_section();
