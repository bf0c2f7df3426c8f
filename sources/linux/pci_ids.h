// The PCI ID database (pci.ids): vendors at the start of a line, their
// devices indented by one tab below them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

// pci.ids read once into tables, so that naming many controllers costs one
// pass over the file, not one per controller.
class PciIds {
public:
    explicit PciIds(const std::string& ids);
    std::optional<std::string> vendor(unsigned vendor) const;
    std::optional<std::string> device(unsigned vendor, unsigned device) const;

private:
    std::unordered_map<std::uint32_t, std::string> vendors_, devices_;
};

// The vendor's name, or with a device id the device's name.
std::optional<std::string> pci_ids_name(const std::string& ids, unsigned vendor,
                                        std::optional<unsigned> device);
