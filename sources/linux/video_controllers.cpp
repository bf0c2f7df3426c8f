#include "sources/linux/video_controllers.h"

#include <cstdio>
#include <cstdlib>

#include "sources/linux/pci_ids.h"
#include "sources/linux/sysfs_text.h"
#include "io/linux_files.h"

namespace {

using P = PropertyValue;

std::string basename_of(const std::string& p) {
    const auto s = p.find_last_of('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

// Lines of a text, each without its line end.
template <typename F>
void each_line(const std::string& text, F f) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        if (!f(text.substr(pos, end - pos))) return;
        pos = end + 1;
    }
}

// The driver's version: the module's own where it has one (drivers built
// outside the kernel do), else the kernel's release, which an in-tree
// driver is part of.
std::optional<std::string> driver_version(const std::string& driver) {
    auto& fs = linux_files();
    if (auto v = trimmed(fs.line("/sys/module/" + driver + "/version")); v && !v->empty()) return v;
    const auto taint = trimmed(fs.line("/sys/module/" + driver + "/taint")).value_or("");
    if (taint.find('O') != std::string::npos) return std::nullopt;  // out of tree, and no version
    return trimmed(fs.line("/proc/sys/kernel/osrelease"));
}

}  // namespace

AmdgpuIds::AmdgpuIds(const std::string& ids) {
    // "device, revision, name" a line; the first line of a pair counts.
    each_line(ids, [&](const std::string& line) {
        if (line.empty() || line[0] == '#') return true;
        const auto c1 = line.find(',');
        const auto c2 = c1 == std::string::npos ? c1 : line.find(',', c1 + 1);
        if (c2 == std::string::npos) return true;
        const auto d = number(line.substr(0, c1), 16), r = number(line.substr(c1 + 1, c2 - c1 - 1), 16);
        if (d && r && *d >= 0 && *d <= 0xFFFF && *r >= 0 && *r <= 0xFF)
            names_.emplace(static_cast<std::uint32_t>(*d << 8 | *r), *trimmed(line.substr(c2 + 1)));
        return true;
    });
}

std::optional<std::string> AmdgpuIds::name(unsigned device, unsigned revision) const {
    if (device > 0xFFFF || revision > 0xFF) return std::nullopt;
    const auto it = names_.find(device << 8 | revision);
    if (it == names_.end() || it->second.empty()) return std::nullopt;
    return it->second;
}

std::optional<std::string> amdgpu_ids_name(const std::string& ids, unsigned device, unsigned revision) {
    return AmdgpuIds(ids).name(device, revision);
}

std::optional<std::string> nvidia_model(const std::string& information) {
    std::optional<std::string> found;
    each_line(information, [&](const std::string& line) {
        if (line.rfind("Model:", 0) != 0) return true;
        found = trimmed(line.substr(6));
        return false;
    });
    if (found && found->empty()) return std::nullopt;
    return found;
}

std::vector<Instance> video_controller_instances() {
    auto& fs = linux_files();
    std::vector<Instance> out;
    // Each table is read and indexed once, however many controllers there are.
    std::optional<PciIds> ids;
    std::optional<AmdgpuIds> amd_ids;
    bool ids_read = false, amd_ids_read = false;
    for (const auto& slot : fs.list("/sys/bus/pci/devices")) {
        const std::string dir = "/sys/bus/pci/devices/" + slot;
        const auto cls = number(fs.line(dir + "/class"), 16);
        if (!cls || ((*cls >> 16) & 0xFF) != 0x03) continue;  // display controllers only
        const auto vendor = number(fs.line(dir + "/vendor"), 16);
        const auto device = number(fs.line(dir + "/device"), 16);
        if (!ids_read) {
            auto text = fs.read("/usr/share/misc/pci.ids", 8 << 20, true);
            if (!text) text = fs.read("/usr/share/hwdata/pci.ids", 8 << 20, true);
            if (text) ids.emplace(*text);
            ids_read = true;
        }
        std::optional<std::string> vendor_name, name;
        if (ids && vendor) vendor_name = ids->vendor(static_cast<unsigned>(*vendor));
        // The card's own name where the machine has it: AMD's table by
        // device and revision, the NVIDIA driver's model line; else the
        // chip's name from pci.ids.
        if (vendor && device && *vendor == 0x1002) {
            if (!amd_ids_read) {
                if (auto text = fs.read("/usr/share/libdrm/amdgpu.ids", 1 << 20, true)) amd_ids.emplace(*text);
                amd_ids_read = true;
            }
            const auto revision = number(fs.line(dir + "/revision"), 16);
            if (amd_ids && revision)
                name = amd_ids->name(static_cast<unsigned>(*device), static_cast<unsigned>(*revision));
        }
        if (!name && vendor && *vendor == 0x10de)
            if (auto info = fs.read("/proc/driver/nvidia/gpus/" + slot + "/information")) name = nvidia_model(*info);
        if (!name && ids && vendor && device)
            name = ids->device(static_cast<unsigned>(*vendor), static_cast<unsigned>(*device));
        if (!name && vendor && device) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "PCI %04llx:%04llx", static_cast<unsigned long long>(*vendor),
                          static_cast<unsigned long long>(*device));
            name = buf;
        }
        const auto vram = number(fs.line(dir + "/mem_info_vram_total"));
        std::optional<std::string> version;
        if (auto drv = fs.link(dir + "/driver")) version = driver_version(basename_of(*drv));
        Instance v;
        v.set("Name", P::text_or_null(gbk(name)));
        v.set("AdapterRAM", vram ? P::of_integer(*vram) : P::null());
        v.set("AdapterCompatibility", P::text_or_null(gbk(vendor_name)));
        v.set("DriverVersion", P::text_or_null(gbk(version)));
        // As Windows names a PCI device, with the slot as the instance.
        if (vendor && device) {
            char id[64];
            std::snprintf(id, sizeof id, "PCI\\VEN_%04llX&DEV_%04llX\\", static_cast<unsigned long long>(*vendor & 0xFFFF),
                          static_cast<unsigned long long>(*device & 0xFFFF));
            v.set("PNPDeviceID", P::text_or_null(gbk(std::string(id) + slot)));
        } else {
            v.set("PNPDeviceID", P::null());
        }
        out.push_back(std::move(v));
    }
    return out;
}
