// DRM connectors under /sys/class/drm: which monitors are connected, and
// the EDID block each one sent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "values/text.h"

struct DrmConnector {
    std::string name;  // card0-HDMI-A-1
    Bytes edid;
};

// Connected connectors, in name order.
std::vector<DrmConnector> drm_connectors();
// The monitor's device identifier as Windows forms it: "DISPLAY\" + the
// EDID's maker letters and product code + "\" + the connector name.
std::optional<Text> monitor_pnp_id(const DrmConnector& c);
