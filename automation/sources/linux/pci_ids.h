// The PCI ID database (pci.ids): vendors at the start of a line, their
// devices indented by one tab below them.
#pragma once

#include <optional>
#include <string>

// The vendor's name, or with a device id the device's name.
std::optional<std::string> pci_ids_name(const std::string& ids, unsigned vendor,
                                        std::optional<unsigned> device);
