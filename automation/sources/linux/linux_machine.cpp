#include "automation/sources/linux/linux_machine.h"

#include <sys/utsname.h>

#include <cstring>

#include "automation/sources/linux/cpuinfo.h"
#include "automation/sources/linux/drm_connectors.h"
#include "automation/sources/linux/kernel_arch.h"
#include "automation/sources/linux/pci_ids.h"
#include "automation/sources/linux/os_release.h"
#include "automation/sources/linux/smbios.h"
#include "values/encoding.h"
#include "values/linux_files.h"

namespace {

using P = PropertyValue;

std::optional<Text> gbk(const std::optional<std::string>& s) {
    if (!s) return std::nullopt;
    return utf8_to_gbk(*s);
}

std::optional<std::string> dmi_id(const char* name) {
    return linux_files().line(std::string("/sys/class/dmi/id/") + name);
}

std::optional<std::string> trimmed(const std::optional<std::string>& s) {
    if (!s) return s;
    return trim_blanks(*s);
}

std::optional<std::int64_t> number(const std::optional<std::string>& s, int base = 10) {
    if (!s) return std::nullopt;
    const std::string t = *trimmed(s);
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), &end, base);
    if (errno || end == t.c_str() || *end) return std::nullopt;
    return v;
}

P int_or_null(std::optional<std::int64_t> v) { return v ? P::of_integer(*v) : P::null(); }

bool dmi_present() { return !linux_files().list("/sys/class/dmi/id").empty(); }

std::vector<DmiStructure> dmi_table() {
    auto t = linux_files().read("/sys/firmware/dmi/tables/DMI", 1 << 20);
    if (!t) return {};
    return parse_dmi_table(*t);
}

std::string basename_of(const std::string& p) {
    const auto s = p.find_last_of('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

// 64 or 32 as the kernel is, from the file a captured tree keeps, or from
// the running kernel itself.
std::optional<int> kernel_bits() {
    auto& fs = linux_files();
    std::optional<std::string> arch = trimmed(fs.line("/proc/sys/kernel/arch"));
    if (!arch && fs.real_root()) {
        utsname u{};
        if (uname(&u) == 0) arch = std::string(u.machine);
    }
    if (!arch) return std::nullopt;
    return kernel_arch_bits(*arch);
}

}  // namespace

std::optional<std::string> windows_cpu_description(const CpuPackage& p) {
    auto get = [&](const char* k) -> std::optional<std::string> {
        auto it = p.fields.find(k);
        if (it == p.fields.end() || it->second.empty()) return std::nullopt;
        return it->second;
    };
    const auto vendor = get("vendor_id");
    const auto family = get("cpu family"), model = get("model"), stepping = get("stepping");
    if (!vendor || !family || !model || !stepping) return std::nullopt;
    const bool lm = has_flag(p, "lm");
    std::string arch;
    if (*vendor == "GenuineIntel")
        arch = lm ? "Intel64" : "x86";
    else if (*vendor == "AuthenticAMD" || *vendor == "HygonGenuine")
        arch = lm ? "AMD64" : "x86";
    else
        arch = lm ? "x64" : "x86";
    return arch + " Family " + *family + " Model " + *model + " Stepping " + *stepping;
}

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

std::vector<Instance> processors() {
    auto& fs = linux_files();
    const auto info = fs.read("/proc/cpuinfo", 4 << 20);
    if (!info) return {};
    const auto packages = parse_cpuinfo(*info);
    const auto sockets = dmi_processors(dmi_table());
    std::optional<std::int64_t> max_khz = number(fs.line("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"));
    std::vector<Instance> out;
    for (std::size_t i = 0; i < packages.size(); ++i) {
        const CpuPackage& p = packages[i];
        auto field = [&](const char* k) -> std::optional<std::string> {
            auto it = p.fields.find(k);
            if (it == p.fields.end()) return std::nullopt;
            return it->second;
        };
        const DmiProcessor* dmi = i < sockets.size() ? &sockets[i] : nullptr;
        Instance c;
        c.set("Name", P::text_or_null(gbk(field("model name"))));
        c.set("Manufacturer", P::text_or_null(gbk(field("vendor_id"))));
        c.set("Description", P::text_or_null(gbk(windows_cpu_description(p))));
        c.set("NumberOfCores", P::of_integer(p.cores));
        c.set("NumberOfLogicalProcessors", P::of_integer(p.logical));
        if (field("flags"))
            c.set("DataWidth", P::of_integer(has_flag(p, "lm") ? 64 : 32));
        else if (kernel_bits())
            c.set("DataWidth", P::of_integer(*kernel_bits()));  // no x86 flags: the kernel's width
        else
            c.set("DataWidth", P::null());
        std::optional<std::int64_t> mhz;
        if (max_khz) mhz = *max_khz / 1000;
        else if (dmi && dmi->max_speed_mhz) mhz = *dmi->max_speed_mhz;
        else if (auto cur = field("cpu MHz")) mhz = number(cur->substr(0, cur->find('.')));
        c.set("MaxClockSpeed", int_or_null(mhz));
        c.set("SocketDesignation", P::text_or_null(gbk(dmi ? dmi->socket : std::nullopt)));
        c.set("ExtClock", int_or_null(dmi && dmi->external_clock_mhz
                                          ? std::optional<std::int64_t>(*dmi->external_clock_mhz)
                                          : std::nullopt));
        out.push_back(std::move(c));
    }
    return out;
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
        if (is("Win32_Processor")) return processors();
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
