// Each Linux file reader, through a tree whose files hold the input: cpuinfo,
// os-release, the DMI table, sysfs attributes and EDID files, read by the
// live source exactly as a report reads them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/report.h"
#include "sources/linux/cpu_topology.h"
#include "sources/linux/cpuinfo.h"
#include "sources/linux/disks.h"
#include "sources/linux/processors.h"
#include "sources/linux/udev_db.h"
#include "sources/linux/video_controllers.h"
#include "sources/linux/smbios.h"
#include "sources/linux/drm_connectors.h"
#include "sources/linux/linux_machine.h"
#include "sources/linux/os_release.h"
#include "sources/linux/pci_ids.h"
#include "sections/display/display.h"
#include "io/linux_files.h"

namespace {

std::string tree() {
    static std::string dir;
    if (dir.empty()) {
        char t[] = "/tmp/qv-fuzz-treeXXXXXX";
        dir = mkdtemp(t);
        linux_files().set_root(dir);
    }
    return dir;
}

void put(const std::string& path, const std::string& data) {
    const std::filesystem::path p = tree() + path;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    // The pure parsers first, on the whole input.
    (void)parse_cpuinfo(in);
    (void)dmi_memory_devices(parse_dmi_table(in));
    (void)dmi_processors(parse_dmi_table(in));
    (void)os_release_value(in, "PRETTY_NAME");
    (void)pci_ids_name(in, 0x8086, std::nullopt);
    (void)pci_ids_name(in, 0x8086, 0x1234u);
    DrmConnector c{"card0-DP-1", Bytes(in.begin(), in.end())};
    (void)monitor_pnp_id(c);

    // Then the same bytes as every file of a machine, and a whole report.
    const std::size_t third = size / 3;
    put("/proc/cpuinfo", in);
    put("/etc/os-release", in.substr(0, third));
    put("/sys/firmware/dmi/tables/DMI", in);
    put("/sys/class/dmi/id/chassis_type", in.substr(third, 8));
    put("/sys/class/dmi/id/board_name", in.substr(0, 40));
    put("/sys/block/sda/size", in.substr(third, 24));
    put("/sys/block/sda/dev", in.substr(0, 8));
    put("/sys/bus/pci/devices/0000:00:02.0/class", in.size() > 2 ? "0x03" + in.substr(2, 6) : "0x030000");
    put("/sys/bus/pci/devices/0000:00:02.0/vendor", in.substr(third, 6));
    put("/sys/bus/pci/devices/0000:00:02.0/mem_info_vram_total", in.substr(0, 20));
    put("/usr/share/misc/pci.ids", in);
    put("/sys/class/drm/card0-DP-1/status", "connected\n");
    put("/sys/class/drm/card0-DP-1/edid", in);
    put("/sys/class/graphics/fb0/bits_per_pixel", in.substr(0, 4));
    put("/sys/class/graphics/fb0/virtual_size", in.substr(third, 24));
    put("/sys/class/graphics/fb0/mode", in.substr(0, 20));
    put("/proc/sysinfo", in.substr(0, third));
    put("/sys/devices/system/cpu/online", in.substr(third, 12));
    put("/sys/devices/system/cpu/cpu0/topology/physical_package_id", in.substr(0, 6));
    put("/sys/devices/system/cpu/cpu0/topology/thread_siblings_list", in.substr(third, 10));
    put("/sys/devices/system/cpu/cpu0/cpufreq/base_frequency", in.substr(0, 10));
    put("/run/udev/data/b8:0", in);  // found when the dev file says 8:0
    put("/sys/block/sda/device/vpd_pg89", in);
    put("/sys/bus/pci/devices/0000:00:02.0/revision", in.substr(third, 6));
    put("/usr/share/libdrm/amdgpu.ids", in);
    put("/sys/firmware/devicetree/base/model", in.substr(0, third));
    (void)ata_model_from_vpd89(in);
    (void)amdgpu_ids_name(in, 0x73bf, 0xc1);
    (void)udev_decode(in);
    (void)parse_cpu_list(in, 4096);
    (void)clock_in_name(in);
    TextReportBox box;
    build_report(box);
    return 0;
}
