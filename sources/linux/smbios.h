// The SMBIOS (DMI) structure table, parsed from its raw bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DmiStructure {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data;  // the formatted area, header included
    std::vector<std::string> strings;

    std::optional<std::uint8_t> byte(std::size_t offset) const;
    std::optional<std::uint16_t> word(std::size_t offset) const;
    std::optional<std::uint32_t> dword(std::size_t offset) const;
    // The string a byte at `offset` refers to; nothing for 0 or out of range.
    std::optional<std::string> string_at(std::size_t offset) const;
};

// Stops at the end-of-table structure (type 127) or where the bytes end;
// a truncated or garbled table yields the structures read so far.
std::vector<DmiStructure> parse_dmi_table(const std::string& table);

struct DmiMemoryDevice {
    std::optional<std::uint64_t> size_bytes;  // nothing when unknown
    std::optional<std::uint32_t> speed_mts;
    std::optional<std::string> manufacturer;
    std::optional<std::string> serial;
};

struct DmiProcessor {
    std::optional<std::string> socket;
    std::optional<std::uint16_t> external_clock_mhz;
    std::optional<std::uint16_t> max_speed_mhz;      // what the board allows, not the part's clock
    std::optional<std::uint16_t> current_speed_mhz;  // the speed the part was set to at boot
};

// The firmware's identity: the system record's UUID (type 1) and the
// serial numbers of the system, the first baseboard (type 2) and the first
// chassis (type 3), as the firmware wrote them.
struct DmiIdentity {
    std::optional<std::string> uuid;  // lower-case 8-4-4-4-12 form
    std::optional<std::string> system_serial, board_serial, chassis_serial;
};
// `version` is the entry point's major * 256 + minor (0 when unknown):
// from 2.6 on, and where it is unknown, the UUID's first three fields are
// little-endian.
DmiIdentity dmi_identity(const std::vector<DmiStructure>& table, unsigned version);
// The SMBIOS version an entry point (the kernel's smbios_entry_point)
// names, major * 256 + minor; 0 when it is neither a 2.x nor a 3.x one.
unsigned smbios_entry_version(const std::string& entry_point);

// The BIOS record (type 0): its vendor, version and release date as the
// firmware wrote them, and the BIOS release (bytes 0x14 and 0x15, from
// SMBIOS 2.4; nothing where they are 0xFF, "not supported").
struct DmiBios {
    std::optional<std::string> vendor, version, release_date;
    std::optional<std::uint8_t> release_major, release_minor;
};
DmiBios dmi_bios(const std::vector<DmiStructure>& table);

// Populated memory devices (type 17) and populated processor sockets (type 4).
std::vector<DmiMemoryDevice> dmi_memory_devices(const std::vector<DmiStructure>& table);
std::vector<DmiProcessor> dmi_processors(const std::vector<DmiStructure>& table);
