#include "sources/linux/linux_machine.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <tuple>

#include "sources/linux/disks.h"
#include "sources/linux/drm_connectors.h"
#include "sources/linux/kernel_arch.h"
#include "sources/linux/processors.h"
#include "sources/linux/os_release.h"
#include "sources/linux/smbios.h"
#include "sources/linux/sysfs_text.h"
#include "sources/linux/udev_db.h"
#include "sources/linux/video_controllers.h"
#include "values/encoding.h"
#include "io/linux_files.h"
#include "io/warnings.h"

namespace {

using P = PropertyValue;

std::optional<std::string> dmi_id(const char* name) {
    return linux_files().line(std::string("/sys/class/dmi/id/") + name);
}

// A DMI attribute, noting why it could not be read for the class's property.
std::optional<std::string> dmi_id(const char* name, const char* class_name, const char* property) {
    const std::string path = std::string("/sys/class/dmi/id/") + name;
    auto v = dmi_id(name);
    if (!v) note_unread_file(class_name, property, path, linux_files().last_error());
    else note_property_source(class_name, property, path);
    return v;
}


// Without DMI the firmware classes have no instance; said once for each.
bool dmi_present(const char* class_name = nullptr) {
    if (!linux_files().list("/sys/class/dmi/id").empty()) return true;
    if (class_name) note_unread_file(class_name, "", "/sys/class/dmi/id", ENOENT);
    return false;
}

// The firmware's identity: the kernel's decoded files where they can be
// read (root only on a running machine), else the raw table (root too).
struct Identity {
    std::optional<std::string> uuid, system_serial, board_serial, chassis_serial;
};

Identity identity() {
    Identity id;
    // The kernel's files are root's; what they could not give, the table
    // may, and then the note on the file no longer stands.
    id.uuid = dmi_id("product_uuid", "Win32_ComputerSystemProduct", "UUID");
    id.system_serial = dmi_id("product_serial", "Win32_ComputerSystemProduct", "IdentifyingNumber");
    if (!id.system_serial) note_unread_file("Win32_BIOS", "SerialNumber", "/sys/class/dmi/id/product_serial", linux_files().last_error());
    id.board_serial = dmi_id("board_serial", "Win32_BaseBoard", "SerialNumber");
    id.chassis_serial = dmi_id("chassis_serial", "Win32_SystemEnclosure", "SerialNumber");
    if (id.uuid && id.system_serial && id.board_serial && id.chassis_serial) return id;
    auto& fs = linux_files();
    if (auto table = fs.read("/sys/firmware/dmi/tables/DMI", 1 << 20)) {
        const auto entry = fs.read("/sys/firmware/dmi/tables/smbios_entry_point", 64);
        const DmiIdentity t = dmi_identity(parse_dmi_table(*table), entry ? smbios_entry_version(*entry) : 0);
        const struct {
            std::optional<std::string>& value;
            const std::optional<std::string>& table;
            const char* class_name;
            const char* property;
        } fields[] = {{id.uuid, t.uuid, "Win32_ComputerSystemProduct", "UUID"},
                      {id.system_serial, t.system_serial, "Win32_ComputerSystemProduct", "IdentifyingNumber"},
                      {id.board_serial, t.board_serial, "Win32_BaseBoard", "SerialNumber"},
                      {id.chassis_serial, t.chassis_serial, "Win32_SystemEnclosure", "SerialNumber"}};
        for (const auto& f : fields) {
            if (f.value || !f.table) continue;
            f.value = f.table;
            note_property_source(f.class_name, f.property, "/sys/firmware/dmi/tables/DMI");
        }
    } else if (const int e = fs.last_error(); e != ENOENT) {
        // The table is there but not for this reader: that is why, more
        // than a decoded file the kernel did not make.
        for (const auto& [value, class_name, property] :
             {std::tuple{&id.uuid, "Win32_ComputerSystemProduct", "UUID"},
              std::tuple{&id.system_serial, "Win32_ComputerSystemProduct", "IdentifyingNumber"},
              std::tuple{&id.system_serial, "Win32_BIOS", "SerialNumber"},
              std::tuple{&id.board_serial, "Win32_BaseBoard", "SerialNumber"},
              std::tuple{&id.chassis_serial, "Win32_SystemEnclosure", "SerialNumber"}})
            if (!*value) note_unread_file(class_name, property, "/sys/firmware/dmi/tables/DMI", e);
    }
    return id;
}

}  // namespace

namespace {

std::vector<Instance> operating_system() {
    auto& fs = linux_files();
    auto release = fs.read("/etc/os-release");
    if (!release) release = fs.read("/usr/lib/os-release");
    std::optional<std::string> bits;
    if (auto b = kernel_bits()) bits = *b == 64 ? "64-bit" : "32-bit";
    else note_unread_file("Win32_OperatingSystem", "OSArchitecture", "/proc/sys/kernel/arch", ENOENT);
    Instance os;
    os.set("Caption", P::text_or_null(gbk(release ? os_release_value(*release, "PRETTY_NAME") : std::nullopt)));
    const auto kernel = trimmed(fs.line("/proc/sys/kernel/osrelease"));
    os.set("BuildNumber", P::text_or_null(gbk(kernel)));
    os.set("Version", P::text_or_null(gbk(kernel)));
    os.set("OSArchitecture", P::text_or_null(gbk(bits)));
    // The boot time the kernel keeps in /proc/stat ("btime", seconds since
    // the epoch), as WMI writes a time; Linux keeps no install date.
    std::optional<std::string> boot;
    if (const auto stat = fs.read("/proc/stat", 1 << 20)) {
        const auto at = stat->find("\nbtime ");
        if (at != std::string::npos) {
            const auto end = stat->find('\n', at + 1);
            boot = cim_time_of_epoch(number(trimmed(stat->substr(at + 7, end == std::string::npos ? end : end - at - 7))));
        }
        if (!boot) note_unread_file("Win32_OperatingSystem", "LastBootUpTime", "/proc/stat", ENOENT);
    } else {
        note_unread_file("Win32_OperatingSystem", "LastBootUpTime", "/proc/stat", fs.last_error());
    }
    os.set("LastBootUpTime", P::text_or_null(gbk(boot)));
    os.set("InstallDate", P::null());
    return {os};
}

std::vector<Instance> enclosure() {
    if (!dmi_present("Win32_SystemEnclosure")) return {};
    Instance e;
    const auto type = number(dmi_id("chassis_type", "Win32_SystemEnclosure", "ChassisTypes"));
    e.set("ChassisTypes", type ? P::of_integers({*type}) : P::null());
    e.set("Manufacturer", P::text_or_null(gbk(dmi_id("chassis_vendor"))));
    e.set("SerialNumber", P::text_or_null(gbk(identity().chassis_serial)));
    return {e};
}

std::vector<Instance> memory() {
    // The table itself where it can be read (root only on a running
    // machine); else what udev decoded from it for everyone.
    auto& fs = linux_files();
    std::vector<DmiMemoryDevice> devices;
    const char* const kTable = "/sys/firmware/dmi/tables/DMI";
    int table_error = 0;
    if (auto table = fs.read(kTable, 1 << 20)) {
        devices = dmi_memory_devices(parse_dmi_table(*table));
        if (devices.empty()) note_unread_file("Win32_PhysicalMemory", "", kTable, ENOENT);
    } else {
        table_error = fs.last_error();
        if (auto record = fs.read("/run/udev/data/+dmi:id", 1 << 20)) devices = udev_memory_devices(*record);
        // The table says why: udev's record is only a copy of it.
        if (devices.empty()) note_unread_file("Win32_PhysicalMemory", "", kTable, table_error);
    }
    std::vector<Instance> out;
    for (const auto& d : devices) {
        Instance m;
        m.set("Capacity", d.size_bytes ? P::of_text(to_text(static_cast<std::int64_t>(*d.size_bytes))) : P::null());
        m.set("Speed", d.speed_mts ? P::of_integer(*d.speed_mts) : P::null());
        m.set("Manufacturer", P::text_or_null(gbk(d.manufacturer)));
        m.set("SerialNumber", P::text_or_null(gbk(d.serial)));
        out.push_back(std::move(m));
    }
    return out;
}

// The connected monitors' EDIDs by device id, read once when the monitor
// query runs, so that looking each one up again costs no second scan of
// every connector (a report may decode them all).
struct MonitorEdids {
    std::string root;
    std::map<Text, Bytes> by_id;
};

MonitorEdids& monitor_edids() {
    static MonitorEdids edids;
    return edids;
}

std::vector<Instance> monitors() {
    MonitorEdids& edids = monitor_edids();
    edids = MonitorEdids{linux_files().root(), {}};
    std::vector<Instance> out;
    for (auto& c : drm_connectors()) {
        Instance m;
        m.set("ConfigManagerErrorCode", P::null());
        m.set("ConfigManagerUserConfig", P::null());
        const auto id = monitor_pnp_id(c);
        m.set("PNPDeviceID", P::text_or_null(id));
        if (id) edids.by_id.emplace(*id, std::move(c.edid));
        out.push_back(std::move(m));
    }
    return out;
}

std::vector<Instance> base_boards() {
    if (!dmi_present("Win32_BaseBoard")) return {};
    Instance b;
    b.set("Manufacturer", P::text_or_null(gbk(dmi_id("board_vendor"))));
    b.set("Product", P::text_or_null(gbk(dmi_id("board_name"))));
    b.set("SerialNumber", P::text_or_null(gbk(identity().board_serial)));
    return {b};
}

std::vector<Instance> system_product() {
    if (!dmi_present("Win32_ComputerSystemProduct")) return {};
    const Identity id = identity();
    Instance p;
    p.set("UUID", P::text_or_null(gbk(id.uuid)));
    p.set("IdentifyingNumber", P::text_or_null(gbk(id.system_serial)));
    return {p};
}

std::vector<Instance> bios() {
    if (!dmi_present("Win32_BIOS")) return {};
    // Windows gives the system record's serial number here too.
    Instance b;
    b.set("SerialNumber", P::text_or_null(gbk(identity().system_serial)));
    // The kernel's files for everyone; the table (root) for what they lack.
    auto vendor = dmi_id("bios_vendor", "Win32_BIOS", "Manufacturer");
    auto version = dmi_id("bios_version", "Win32_BIOS", "SMBIOSBIOSVersion");
    auto date = dmi_id("bios_date", "Win32_BIOS", "ReleaseDate");
    std::optional<unsigned> major, minor;
    if (const auto release = trimmed(dmi_id("bios_release"))) {
        const auto dot = release->find('.');
        const auto a = number(release->substr(0, dot));
        const auto c = dot == std::string::npos ? std::nullopt : number(release->substr(dot + 1));
        if (a && c && *a >= 0 && *a < 256 && *c >= 0 && *c < 256) major = static_cast<unsigned>(*a), minor = static_cast<unsigned>(*c);
    }
    auto& fs = linux_files();
    const char* const kTable = "/sys/firmware/dmi/tables/DMI";
    if (auto table = fs.read(kTable, 1 << 20)) {
        const DmiBios t = dmi_bios(parse_dmi_table(*table));
        if (!vendor) vendor = t.vendor;
        if (!version) version = t.version;
        if (!date) date = t.release_date;
        if (!major && t.release_major) major = *t.release_major, minor = *t.release_minor;
        if (!major) note_unread_file("Win32_BIOS", "SystemBiosMajorVersion", kTable, ENOENT);
    } else if (!major) {
        note_unread_file("Win32_BIOS", "SystemBiosMajorVersion", kTable, fs.last_error());
    }
    b.set("Manufacturer", P::text_or_null(gbk(vendor)));
    b.set("SMBIOSBIOSVersion", P::text_or_null(gbk(version)));
    b.set("ReleaseDate", P::text_or_null(gbk(date ? cim_date_of_firmware_date(*date) : std::nullopt)));
    b.set("SystemBiosMajorVersion", major ? P::of_integer(*major) : P::null());
    b.set("SystemBiosMinorVersion", minor ? P::of_integer(*minor) : P::null());
    // The SMBIOS version the entry point names (root only).
    const char* const kEntry = "/sys/firmware/dmi/tables/smbios_entry_point";
    const auto entry = fs.read(kEntry, 64);
    const unsigned v = entry ? smbios_entry_version(*entry) : 0;
    if (!v) note_unread_file("Win32_BIOS", "SMBIOSMajorVersion", kEntry, entry ? ENOENT : fs.last_error());
    b.set("SMBIOSMajorVersion", v ? P::of_integer(v >> 8) : P::null());
    b.set("SMBIOSMinorVersion", v ? P::of_integer(v & 0xFF) : P::null());
    return {b};
}

// The memory the kernel manages, from /proc/meminfo's MemTotal (kB).
std::optional<std::int64_t> total_memory() {
    auto& fs = linux_files();
    const char* const kMeminfo = "/proc/meminfo";
    const auto text = fs.read(kMeminfo);
    if (!text) {
        note_unread_file("Win32_ComputerSystem", "TotalPhysicalMemory", kMeminfo, fs.last_error());
        return std::nullopt;
    }
    const auto at = text->rfind("MemTotal:", 0) == 0 ? 0 : text->find("\nMemTotal:");
    if (at != std::string::npos) {
        const std::size_t begin = text->find(':', at) + 1;
        const std::size_t end = text->find('\n', begin);
        std::string v = text->substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (v.size() > 3 && v.compare(v.size() - 3, 3, " kB") == 0) v.resize(v.size() - 3);
        if (const auto kb = number(trimmed(v)); kb && *kb > 0 && *kb <= INT64_MAX / 1024) return *kb * 1024;
    }
    note_unread_file("Win32_ComputerSystem", "TotalPhysicalMemory", kMeminfo, ENOENT);
    return std::nullopt;
}

std::vector<Instance> computer_system() {
    // Boards without DMI (most ARM boards) name themselves in the device
    // tree, NUL-terminated.
    auto model = dmi_id("product_name");
    const int dmi_error = model ? 0 : linux_files().last_error();
    if (!model) {
        model = linux_files().read("/sys/firmware/devicetree/base/model");
        if (model) model = trimmed(model->substr(0, model->find('\0')));
    }
    if (!model) note_unread_file("Win32_ComputerSystem", "Model", "/sys/class/dmi/id/product_name", dmi_error);
    Instance c;
    c.set("Model", P::text_or_null(gbk(model)));
    c.set("Manufacturer", P::text_or_null(gbk(dmi_id("sys_vendor", "Win32_ComputerSystem", "Manufacturer"))));
    const auto total = total_memory();
    c.set("TotalPhysicalMemory", total ? P::of_text(to_text(*total)) : P::null());
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
        if (is("Win32_DiskDrive")) return disk_instances();
        if (is("Win32_VideoController")) return video_controller_instances();
        if (is("Win32_DesktopMonitor")) return monitors();
        if (is("Win32_BaseBoard")) return base_boards();
        if (is("Win32_ComputerSystem")) return computer_system();
        if (is("Win32_ComputerSystemProduct")) return system_product();
        if (is("Win32_BIOS")) return bios();
        return std::nullopt;
    }

    std::optional<Bytes> edid(const Text& device_id, int control_set) override {
        if (control_set != 1) return std::nullopt;
        MonitorEdids& edids = monitor_edids();
        if (edids.root != linux_files().root() || edids.by_id.empty()) monitors();
        const auto it = edids.by_id.find(device_id);
        if (it == edids.by_id.end()) return std::nullopt;
        return it->second;
    }
};

}  // namespace

InstanceSource& linux_machine() {
    static LinuxMachine source;
    return source;
}
