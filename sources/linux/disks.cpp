#include "sources/linux/disks.h"

#include <map>

#include "sources/linux/sysfs_text.h"
#include "sources/linux/udev_db.h"
#include "io/linux_files.h"

namespace {

using P = PropertyValue;

bool virtual_block_device(const std::string& n) {
    for (const char* p : {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd", "zd", "drbd"})
        if (n.rfind(p, 0) == 0) return true;
    return false;
}

std::optional<std::string> non_empty(std::optional<std::string> s) {
    if (s) s = trimmed(s);
    if (!s || s->empty()) return std::nullopt;
    return s;
}

// The drive's whole model: udev's record (from the drive itself), the ATA
// IDENTIFY data that sysfs passes on, then the SCSI model with its vendor.
std::optional<std::string> disk_model(const std::string& dir, const std::optional<std::string>& dev) {
    auto& fs = linux_files();
    if (dev) {
        if (auto record = fs.read("/run/udev/data/b" + *dev))
            if (auto m = udev_property(*record, "ID_MODEL_ENC"))
                if (auto model = non_empty(udev_decode(*m))) return model;
    }
    if (auto page = fs.read(dir + "/device/vpd_pg89"))
        if (auto model = ata_model_from_vpd89(*page)) return model;
    auto model = non_empty(fs.line(dir + "/device/model"));
    const auto vendor = non_empty(fs.line(dir + "/device/vendor"));
    // "ATA" is the SCSI layer's stand-in for a SATA drive, not its maker.
    if (model && vendor && *vendor != "ATA" && model->rfind(*vendor, 0) != 0) model = *vendor + " " + *model;
    return model;
}

// The buses of the last listing, for the disk section to ask by name.
struct ListedBuses {
    std::string root;
    std::map<std::string, std::string> by_name;
};

ListedBuses& listed_buses() {
    static ListedBuses buses;
    return buses;
}

}  // namespace

std::optional<std::string> disk_interface(const std::string& name, const std::string& path) {
    if (path.find("/usb") != std::string::npos) return "USB";
    if (name.rfind("nvme", 0) == 0 || path.find("/nvme") != std::string::npos) return "SCSI";
    if (path.find("/ata") != std::string::npos) return "IDE";
    if (name.rfind("vd", 0) == 0 || path.find("/virtio") != std::string::npos) return "SCSI";
    if (path.find("/host") != std::string::npos) return "SCSI";
    if (name.rfind("mmcblk", 0) == 0 || path.find("/mmc") != std::string::npos) return "SD";
    return std::nullopt;
}

std::optional<std::string> disk_bus(const std::string& name, const std::string& path) {
    if (path.find("/usb") != std::string::npos) return "usb";
    if (name.rfind("nvme", 0) == 0 || path.find("/nvme") != std::string::npos) return "nvme";
    if (name.rfind("vd", 0) == 0 || path.find("/virtio") != std::string::npos) return "virtio";
    if (name.rfind("mmcblk", 0) == 0 || path.find("/mmc") != std::string::npos) return "mmc";
    if (name.rfind("hd", 0) == 0) return "ide";  // the old IDE driver's names
    if (path.find("/ata") != std::string::npos) return "sata";
    // SAS devices sit below the transport's expander ports and end devices.
    if (path.find("/end_device-") != std::string::npos || path.find("/expander-") != std::string::npos)
        return "sas";
    if (path.find("/host") != std::string::npos) return "scsi";
    return std::nullopt;
}

std::optional<std::string> ata_model_from_vpd89(const std::string& page) {
    // Page code 0x89; the IDENTIFY DEVICE data starts at byte 60.
    constexpr std::size_t kModel = 60 + 27 * 2, kLength = 40;
    if (page.size() < kModel + kLength || static_cast<unsigned char>(page[1]) != 0x89) return std::nullopt;
    std::string model;
    for (std::size_t i = 0; i < kLength; i += 2) {  // each word holds its two characters swapped
        model += page[kModel + i + 1];
        model += page[kModel + i];
    }
    for (char c : model)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return std::nullopt;
    return non_empty(model);
}

std::optional<std::string> listed_disk_bus(const std::string& name) {
    const ListedBuses& b = listed_buses();
    if (b.root != linux_files().root()) return std::nullopt;
    const auto it = b.by_name.find(name);
    if (it == b.by_name.end()) return std::nullopt;
    return it->second;
}

std::vector<Instance> disk_instances() {
    auto& fs = linux_files();
    ListedBuses& buses = listed_buses();
    buses = ListedBuses{fs.root(), {}};
    std::vector<Instance> out;
    for (const auto& name : fs.list("/sys/block")) {
        if (virtual_block_device(name)) continue;
        const std::string dir = "/sys/block/" + name;
        const auto sectors = number(fs.line(dir + "/size"));
        const auto dev = trimmed(fs.line(dir + "/dev"));
        // /sys/block/NAME is the kernel's link to the device's place in the
        // tree, which says how it is attached; /sys/dev/block the second way.
        std::string path = fs.link(dir).value_or("");
        if (path.empty() && dev) path = fs.link("/sys/dev/block/" + *dev).value_or("");
        Instance d;
        d.set("Caption", P::text_or_null(gbk(disk_model(dir, dev))));
        // A count whose bytes would not fit is no size (nor is a negative one).
        const bool fits = sectors && *sectors >= 0 && *sectors <= INT64_MAX / 512;
        d.set("Size", fits ? P::of_text(to_text(static_cast<std::int64_t>(*sectors) * 512)) : P::null());
        d.set("InterfaceType", P::text_or_null(gbk(disk_interface(name, path))));
        // Linux names a disk by its kernel name and has no PNP id.
        d.set("DeviceID", P::text_or_null(gbk(std::optional<std::string>(name))));
        d.set("PNPDeviceID", P::null());
        if (const auto bus = disk_bus(name, path)) buses.by_name[name] = *bus;
        out.push_back(std::move(d));
    }
    return out;
}
