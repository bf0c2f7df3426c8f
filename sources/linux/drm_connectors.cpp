#include "sources/linux/drm_connectors.h"

#include <cstdio>

#include "values/encoding.h"
#include "io/linux_files.h"

std::vector<DrmConnector> drm_connectors() {
    std::vector<DrmConnector> out;
    auto& fs = linux_files();
    for (const auto& name : fs.list("/sys/class/drm")) {
        // Connectors are named cardN-TYPE-M; cardN alone is the device.
        if (name.rfind("card", 0) != 0 || name.find('-') == std::string::npos) continue;
        const std::string dir = "/sys/class/drm/" + name;
        const auto status = fs.line(dir + "/status");
        if (!status || trim_blanks(*status) != "connected") continue;
        DrmConnector c;
        c.name = name;
        if (auto e = fs.read(dir + "/edid", 1 << 16)) c.edid.assign(e->begin(), e->end());
        out.push_back(std::move(c));
    }
    return out;
}

std::optional<Text> monitor_pnp_id(const DrmConnector& c) {
    if (c.edid.size() < 12) return std::nullopt;
    const unsigned id = (c.edid[8] << 8) | c.edid[9];
    char letters[4];
    for (int k = 0; k < 3; ++k) {
        const unsigned code = (id >> (10 - 5 * k)) & 0x1F;
        if (code < 1 || code > 26) return std::nullopt;
        letters[k] = static_cast<char>('A' + code - 1);
    }
    letters[3] = 0;
    char product[8];
    std::snprintf(product, sizeof product, "%04X", c.edid[10] | (c.edid[11] << 8));
    return Text("DISPLAY\\") + letters + product + "\\" + utf8_to_gbk(c.name);
}
