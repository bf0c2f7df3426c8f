// Pieces of the Linux machine reader that the display facts and tests share.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "values/text.h"

// A value of an os-release file, unquoted.
std::optional<std::string> os_release_value(const std::string& text, const std::string& key);
// The vendor's name, or with a device id the device's name, from pci.ids.
std::optional<std::string> pci_ids_name(const std::string& ids, unsigned vendor,
                                        std::optional<unsigned> device);

struct DrmConnector {
    std::string name;  // card0-HDMI-A-1
    Bytes edid;
};
// Connected DRM connectors, in name order.
std::vector<DrmConnector> drm_connectors();
// "DISPLAY\" + the EDID's letters and product code + "\" + connector name.
std::optional<Text> monitor_pnp_id(const DrmConnector& c);
