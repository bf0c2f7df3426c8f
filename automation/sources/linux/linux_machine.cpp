#include "automation/sources/linux/linux_machine.h"

#include <cstring>

#include "automation/sources/linux/drm_connectors.h"
#include "automation/sources/linux/kernel_arch.h"
#include "automation/sources/linux/pci_ids.h"
#include "automation/sources/linux/processors.h"
#include "automation/sources/linux/os_release.h"
#include "automation/sources/linux/smbios.h"
#include "automation/sources/linux/sysfs_text.h"
#include "values/encoding.h"
#include "values/linux_files.h"

namespace {

using P = PropertyValue;

std::optional<std::string> dmi_id(const char* name) {
    return linux_files().line(std::string("/sys/class/dmi/id/") + name);
}

P int_or_null(std::optional<std::int64_t> v) { return v ? P::of_integer(*v) : P::null(); }

bool dmi_present() { return !linux_files().list("/sys/class/dmi/id").empty(); }

std::string basename_of(const std::string& p) {
    const auto s = p.find_last_of('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

}  // namespace

namespace {

std::vector<Instance> operating_system() {
    auto& fs = linux_files();
    auto release = fs.read("/etc/os-release");
    if (!release) release = fs.read("/usr/lib/os-release");
    std::optional<std::string> bits;
    if (auto b = kernel_bits()) bits = *b == 64 ? "64-bit" : "32-bit";
    Instance os;
    os.set("Caption", P::text_or_null(gbk(release ? os_release_value(*release, "PRETTY_NAME") : std::nullopt)));
    os.set("BuildNumber", P::text_or_null(gbk(trimmed(fs.line("/proc/sys/kernel/osrelease")))));
    os.set("OSArchitecture", P::text_or_null(gbk(bits)));
    return {os};
}

std::vector<Instance> enclosure() {
    if (!dmi_present()) return {};
    Instance e;
    const auto type = number(dmi_id("chassis_type"));
    e.set("ChassisTypes", type ? P::of_integers({*type}) : P::null());
    e.set("Manufacturer", P::text_or_null(gbk(dmi_id("chassis_vendor"))));
    return {e};
}

std::vector<Instance> memory() {
    std::vector<Instance> out;
    for (const auto& d : dmi_memory_devices(dmi_table())) {
        Instance m;
        m.set("Capacity", d.size_bytes ? P::of_text(to_text(static_cast<std::int64_t>(*d.size_bytes))) : P::null());
        m.set("Speed", d.speed_mts ? P::of_integer(*d.speed_mts) : P::null());
        m.set("Manufacturer", P::text_or_null(gbk(d.manufacturer)));
        m.set("SerialNumber", P::text_or_null(gbk(d.serial)));
        out.push_back(std::move(m));
    }
    return out;
}

bool virtual_block_device(const std::string& n) {
    for (const char* p : {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd", "zd", "drbd"})
        if (n.rfind(p, 0) == 0) return true;
    return false;
}

std::vector<Instance> disks() {
    auto& fs = linux_files();
    std::vector<Instance> out;
    for (const auto& name : fs.list("/sys/block")) {
        if (virtual_block_device(name)) continue;
        const std::string dir = "/sys/block/" + name;
        const auto sectors = number(fs.line(dir + "/size"));
        // The device's place in the tree says how it is attached.
        std::string path;
        if (auto dev = trimmed(fs.line(dir + "/dev")))
            path = fs.link("/sys/dev/block/" + *dev).value_or("");
        std::optional<std::string> type;
        if (path.find("/usb") != std::string::npos) type = "USB";
        else if (name.rfind("nvme", 0) == 0 || path.find("/nvme") != std::string::npos) type = "SCSI";
        else if (path.find("/ata") != std::string::npos) type = "IDE";
        else if (name.rfind("vd", 0) == 0 || path.find("/virtio") != std::string::npos) type = "SCSI";
        else if (path.find("/host") != std::string::npos) type = "SCSI";
        else if (name.rfind("mmcblk", 0) == 0) type = "SD";
        Instance d;
        d.set("Caption", P::text_or_null(gbk(trimmed(fs.line(dir + "/device/model")))));
        d.set("Size", sectors ? P::of_text(to_text(static_cast<std::int64_t>(*sectors) * 512)) : P::null());
        d.set("InterfaceType", P::text_or_null(gbk(type)));
        out.push_back(std::move(d));
    }
    return out;
}

std::vector<Instance> video_controllers() {
    auto& fs = linux_files();
    std::vector<Instance> out;
    std::optional<std::string> ids;
    bool ids_read = false;
    for (const auto& slot : fs.list("/sys/bus/pci/devices")) {
        const std::string dir = "/sys/bus/pci/devices/" + slot;
        const auto cls = number(fs.line(dir + "/class"), 16);
        if (!cls || ((*cls >> 16) & 0xFF) != 0x03) continue;  // display controllers only
        const auto vendor = number(fs.line(dir + "/vendor"), 16);
        const auto device = number(fs.line(dir + "/device"), 16);
        if (!ids_read) {
            ids = fs.read("/usr/share/misc/pci.ids", 8 << 20, true);
            if (!ids) ids = fs.read("/usr/share/hwdata/pci.ids", 8 << 20, true);
            ids_read = true;
        }
        std::optional<std::string> vendor_name, device_name;
        if (ids && vendor) {
            vendor_name = pci_ids_name(*ids, static_cast<unsigned>(*vendor), std::nullopt);
            if (device) device_name = pci_ids_name(*ids, static_cast<unsigned>(*vendor), static_cast<unsigned>(*device));
        }
        std::optional<std::string> name = device_name;
        if (!name && vendor && device) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "PCI %04llx:%04llx", static_cast<unsigned long long>(*vendor),
                          static_cast<unsigned long long>(*device));
            name = buf;
        }
        std::optional<std::int64_t> vram = number(fs.line(dir + "/mem_info_vram_total"));
        std::optional<std::string> version;
        if (auto drv = fs.link(dir + "/driver"))
            version = trimmed(fs.line("/sys/module/" + basename_of(*drv) + "/version"));
        Instance v;
        v.set("Name", P::text_or_null(gbk(name)));
        v.set("AdapterRAM", int_or_null(vram));
        v.set("AdapterCompatibility", P::text_or_null(gbk(vendor_name)));
        v.set("DriverVersion", P::text_or_null(gbk(version)));
        out.push_back(std::move(v));
    }
    return out;
}

std::vector<Instance> monitors() {
    std::vector<Instance> out;
    for (const auto& c : drm_connectors()) {
        Instance m;
        m.set("ConfigManagerErrorCode", P::null());
        m.set("ConfigManagerUserConfig", P::null());
        m.set("PNPDeviceID", P::text_or_null(monitor_pnp_id(c)));
        out.push_back(std::move(m));
    }
    return out;
}

std::vector<Instance> base_boards() {
    if (!dmi_present()) return {};
    Instance b;
    b.set("Manufacturer", P::text_or_null(gbk(dmi_id("board_vendor"))));
    b.set("Product", P::text_or_null(gbk(dmi_id("board_name"))));
    return {b};
}

std::vector<Instance> computer_system() {
    Instance c;
    c.set("Model", P::text_or_null(gbk(dmi_id("product_name"))));
    return {c};
}

class LinuxMachine : public InstanceSource {
public:
    std::optional<std::vector<Instance>> instances(const Text& c) override {
        NoCaseLess less;
        auto is = [&](const char* k) { return !less(c, k) && !less(k, c); };
        if (is("Win32_OperatingSystem")) return operating_system();
        if (is("Win32_SystemEnclosure")) return enclosure();
        if (is("Win32_Processor")) return processor_instances();
        if (is("Win32_PhysicalMemory")) return memory();
        if (is("Win32_DiskDrive")) return disks();
        if (is("Win32_VideoController")) return video_controllers();
        if (is("Win32_DesktopMonitor")) return monitors();
        if (is("Win32_BaseBoard")) return base_boards();
        if (is("Win32_ComputerSystem")) return computer_system();
        return std::nullopt;
    }

    std::optional<Bytes> edid(const Text& device_id, int control_set) override {
        if (control_set != 1) return std::nullopt;
        for (const auto& c : drm_connectors()) {
            auto id = monitor_pnp_id(c);
            if (id && *id == device_id) return c.edid;
        }
        return std::nullopt;
    }
};

}  // namespace

InstanceSource& linux_machine() {
    static LinuxMachine source;
    return source;
}
