#include "sections/hardware/hardware.h"

#include <algorithm>
#include <iterator>

#include "sections/numbered_script.h"
#include "sections/script_lines.h"
#include "automation/script_query.h"
#include "reply/reply.h"

#define QV_LISTING_HEAD(cls) \
    "Function GetA()\r\n"    \
    "Dim R, wmi, obj, i\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE(cls) "    For Each obj In A\r\n" \
    "        i=i+1\r\n"
#define QV_COUNT_TAIL(key)                                     \
    "    Next\r\n"                                             \
    "        R = R & \"" key "\" & Cstr(i) & vbCrLf\r\n"       \
    "GetA = R\r\n"                                             \
    "End Function"

const char* const kMemoryScript =
    QV_LISTING_HEAD("Win32_PhysicalMemory")
    "        R = R & \"内存\" & Cstr(i) & \"容量=\" & obj.Capacity & vbCrLf\r\n"
    "        R = R & \"内存\" & Cstr(i) & \"速度=\" & obj.Speed & vbCrLf\r\n"
    "        R = R & \"内存\" & Cstr(i) & \"厂商=\" & obj.Manufacturer & vbCrLf\r\n"
    "        R = R & \"内存\" & Cstr(i) & \"序列号=\" & obj.SerialNumber & vbCrLf\r\n"
    QV_COUNT_TAIL("数量=");

const char* const kDiskScript =
    QV_LISTING_HEAD("Win32_DiskDrive")
    "        R = R & \"磁盘\" & Cstr(i) & \"型号=\" & obj.Caption & vbCrLf\r\n"
    "        R = R & \"磁盘\" & Cstr(i) & \"容量=\" & obj.Size & vbCrLf\r\n"
    "        R = R & \"磁盘\" & Cstr(i) & \"类型=\" & obj.InterfaceType & vbCrLf\r\n"
    QV_COUNT_TAIL("数量=");

const char* const kVideoControllerScript =
    QV_LISTING_HEAD("Win32_VideoController")
    "        R = R & \"显卡\" & Cstr(i) & \"型号=\" & obj.Name & vbCrLf\r\n"
    "        R = R & \"显卡\" & Cstr(i) & \"显存=\" & obj.AdapterRAM & vbCrLf\r\n"
    "        R = R & \"显卡\" & Cstr(i) & \"厂商=\" & obj.AdapterCompatibility & vbCrLf\r\n"
    "        R = R & \"显卡\" & Cstr(i) & \"驱动版本=\" & obj.DriverVersion & vbCrLf\r\n"
    QV_COUNT_TAIL("数量=");

const char* const kBaseBoardScript =
    QV_LISTING_HEAD("Win32_BaseBoard")
    "        R = \"品牌=\" & obj.Manufacturer & vbCrLf\r\n"
    "        R = R & \"型号=\" & obj.Product & vbCrLf\r\n"
    QV_COUNT_TAIL("获取成功=");

const char* const kComputerModelScript =
    "Function GetA()\r\n"
    "Dim R, wmi, obj\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE("Win32_ComputerSystem")
    "    For Each obj In A\r\n"
    "        R = obj.Model\r\n"
    "    Next\r\n"
    "GetA = R\r\n"
    "End Function";

const char* const kMemoryListScript =
    QV_NUMBERED_HEAD("Win32_PhysicalMemory") QV_NUMBERED("Capacity") QV_NUMBERED("Speed")
    QV_NUMBERED("Manufacturer") QV_NUMBERED("SerialNumber") QV_NUMBERED_TAIL;
const char* const kDiskListScript =
    QV_NUMBERED_HEAD("Win32_DiskDrive") QV_NUMBERED("Caption") QV_NUMBERED("Size") QV_NUMBERED("InterfaceType")
    QV_NUMBERED("DeviceID") QV_NUMBERED("PNPDeviceID") QV_NUMBERED_TAIL;
const char* const kVideoListScript =
    QV_NUMBERED_HEAD("Win32_VideoController") QV_NUMBERED("Name") QV_NUMBERED("AdapterRAM")
    QV_NUMBERED("AdapterCompatibility") QV_NUMBERED("DriverVersion") QV_NUMBERED("PNPDeviceID") QV_NUMBERED_TAIL;
const char* const kComputerSystemScript =
    QV_NUMBERED_HEAD("Win32_ComputerSystem") QV_NUMBERED("Manufacturer") QV_NUMBERED("Model")
    QV_NUMBERED("TotalPhysicalMemory") QV_NUMBERED_TAIL;

namespace {

constexpr const char* kBusNames[] = {"nvme", "sata", "sas", "usb", "virtio", "mmc", "scsi", "ide"};

}  // namespace

const char* disk_bus_name(DiskBus bus) { return kBusNames[static_cast<int>(bus)]; }

std::optional<DiskBus> disk_bus_named(const std::string& name) {
    for (std::size_t i = 0; i < std::size(kBusNames); ++i)
        if (name == kBusNames[i]) return static_cast<DiskBus>(i);
    return std::nullopt;
}

std::optional<DiskBus> disk_bus_of_pnp_id(const Text& device_id) {
    std::string id = device_id;
    for (char& c : id)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const std::string head = id.substr(0, id.find('\\'));
    if (head == "USBSTOR" || head == "USB") return DiskBus::Usb;
    if (head == "NVME" || (head == "SCSI" && id.find("&VEN_NVME") != std::string::npos)) return DiskBus::Nvme;
    if (head == "SATA") return DiskBus::Sata;
    if (head == "SAS") return DiskBus::Sas;
    if (head == "VIRTIO") return DiskBus::Virtio;
    if (head == "MMC" || head == "SD" || head == "SDBUS") return DiskBus::Mmc;
    if (head == "IDE") return DiskBus::Ide;
    // Windows puts AHCI drives under SCSI with an empty vendor: no bus to tell.
    if (head == "SCSI" && id.find("&VEN_&") == std::string::npos) return DiskBus::Scsi;
    return std::nullopt;
}

namespace {

// A module's figures as the report reads them from the property texts: a
// figure no module has (negative, or beyond what the line can show) is no
// figure, rather than a wrapped one.
void set_module_capacity(MemoryFacts::Module& m, const Text& value) {
    m.capacity_bytes = to_number(value);
    if (!(m.capacity_bytes >= 0 && m.capacity_bytes / 1073741824.0 < 2147483648.0)) m.capacity_bytes = 0;
    m.capacity_gb = to_integer(m.capacity_bytes / 1073741824.0);
}

void set_module_speed(MemoryFacts::Module& m, const Text& value) {
    const double speed = to_number(value);
    m.speed = speed >= 0 && speed < 2147483648.0 ? to_integer(speed) : 0;
}

void set_disk_size(DiskFacts::Disk& d, const Text& value) {
    d.capacity_bytes = std::max<std::int64_t>(to_long_integer(value), 0);
    d.capacity_gb = static_cast<std::int64_t>(static_cast<double>(d.capacity_bytes) / 1073741824.0);
}

// The count line's text as the report's own scripts write it: empty for
// no instance.
Text count_text(std::size_t n) { return n ? to_text(static_cast<std::int64_t>(n)) : Text(); }

int reply_count(const Text& reply) { return to_integer(reply_value(reply, "数量")); }

// The count line's value; "数量" opens no module line, so the last line that
// starts with it is the count.
Text count_of(const TextArray& lines) {
    Text count;
    for (const Text& line : lines)
        if (line_has_key(line, "数量")) count = line_value(line);
    return count;
}

// A count above the number of lines can only come from a value that holds
// a line break and a count key; such modules would repeat the last values.
int bounded_count(const Text& reply, const TextArray& lines) {
    const int n = reply_count(reply);
    return std::min(n, static_cast<int>(lines.size()));
}

}  // namespace

MemoryFacts read_memory_facts(bool whole) {
    if (whole) {
        MemoryFacts f;
        for (const auto& i : numbered_instances(run_script_query(kMemoryListScript))) {
            MemoryFacts::Module m;
            set_module_capacity(m, instance_value(i, "Capacity"));
            set_module_speed(m, instance_value(i, "Speed"));
            m.maker = instance_value(i, "Manufacturer");
            m.serial = instance_value(i, "SerialNumber");
            f.modules.push_back(std::move(m));
        }
        // A class that lacks a property of the list (an older Windows, a
        // machine file) still gives the report's own values.
        if (f.modules.empty()) return read_memory_facts(false);
        f.count = count_text(f.modules.size());
        return f;
    }
    const Text reply = run_script_query(kMemoryScript);
    const TextArray lines = reply_lines(reply);
    const int n = bounded_count(reply, lines);
    const auto by_module = lines_by_instance(lines, "内存", n);
    MemoryFacts f;
    // Values carry over from one module to the next, as the report always did.
    MemoryFacts::Module m;
    f.count = n >= 1 ? count_of(lines) : Text();
    for (int i = 1; i <= n; ++i) {
        const Text k = "内存" + to_text(i);
        for (const std::size_t j : by_module[static_cast<std::size_t>(i)]) {
            const Text& line = lines[j];
            const Text value = line_value(line);
            if (line_has_key(line, k + "容量")) {
                set_module_capacity(m, value);
            } else if (line_has_key(line, k + "速度")) {
                set_module_speed(m, value);
            } else if (line_has_key(line, k + "厂商")) {
                m.maker = value;
            } else if (line_has_key(line, k + "序列号")) {
                m.serial = value;
            }
        }
        f.modules.push_back(m);
    }
    return f;
}

Text memory_section_text(const MemoryFacts& f) {
    Text out;
    for (std::size_t i = 0; i < f.modules.size(); ++i) {
        const auto& m = f.modules[i];
        const Text k = "内存" + to_text(static_cast<std::int32_t>(i + 1));
        out += " " + k + "容量：" + to_text(m.capacity_gb) + "GB\r\n " + k + "速度：" + to_text(m.speed) +
               "MHZ\r\n " + k + "厂商：" + m.maker + "\r\n " + k + "序列：" + m.serial + "\r\n";
    }
    return out + " 数量：" + f.count + "\r\n";
}

Text memory_section() { return memory_section_text(read_memory_facts()); }

DiskFacts read_disk_facts(bool whole) {
    if (whole) {
        DiskFacts f;
        for (const auto& i : numbered_instances(run_script_query(kDiskListScript))) {
            DiskFacts::Disk d;
            d.model = instance_value(i, "Caption");
            set_disk_size(d, instance_value(i, "Size"));
            d.type = instance_value(i, "InterfaceType");
            d.device = instance_value(i, "DeviceID");
            d.pnp_device_id = instance_value(i, "PNPDeviceID");
            d.bus = d.pnp_device_id.empty() ? platform_disk_bus(d.device) : disk_bus_of_pnp_id(d.pnp_device_id);
            f.disks.push_back(std::move(d));
        }
        if (f.disks.empty()) return read_disk_facts(false);
        f.count = count_text(f.disks.size());
        return f;
    }
    const Text reply = run_script_query(kDiskScript);
    const TextArray lines = reply_lines(reply);
    const int n = bounded_count(reply, lines);
    const auto by_disk = lines_by_instance(lines, "磁盘", n);
    DiskFacts f;
    DiskFacts::Disk d;
    f.count = n >= 1 ? count_of(lines) : Text();
    for (int i = 1; i <= n; ++i) {
        const Text k = "磁盘" + to_text(i);
        for (const std::size_t j : by_disk[static_cast<std::size_t>(i)]) {
            const Text& line = lines[j];
            const Text value = line_value(line);
            if (line_has_key(line, k + "型号")) {
                d.model = value;
            } else if (line_has_key(line, k + "容量")) {
                set_disk_size(d, value);
            } else if (line_has_key(line, k + "类型")) {
                d.type = value;
            }
        }
        f.disks.push_back(d);
    }
    return f;
}

Text disk_section_text(const DiskFacts& f) {
    Text out;
    for (std::size_t i = 0; i < f.disks.size(); ++i) {
        const auto& d = f.disks[i];
        const Text k = "磁盘" + to_text(static_cast<std::int32_t>(i + 1));
        out += " " + k + "型号：" + d.model + "\r\n " + k + "容量：" + to_text(d.capacity_gb) + "GB\r\n " + k +
               "类型：" + d.type + "\r\n";
    }
    return out + " 数量：" + f.count + "\r\n";
}

Text disk_section() { return disk_section_text(read_disk_facts()); }

// WMI hands the uint32 AdapterRAM to scripts as a signed 32-bit VARIANT,
// so cards of 4 GB and more (4293918720) read as negative; a memory size
// is never negative, so such a value is taken back to what WMI meant.
Text unsigned_memory(const Text& value) {
    if (value.size() < 2 || value.size() > 11 || value[0] != '-' ||
        value.find_first_not_of("0123456789", 1) != Text::npos)
        return value;
    const std::int64_t n = to_long_integer(value);
    if (n < -2147483648LL) return value;
    return to_text(static_cast<std::int64_t>(n + 4294967296LL));
}

VideoFacts read_video_facts(bool whole) {
    if (whole) {
        VideoFacts f;
        for (const auto& i : numbered_instances(run_script_query(kVideoListScript))) {
            VideoFacts::Controller c;
            c.name = instance_value(i, "Name");
            c.memory = unsigned_memory(instance_value(i, "AdapterRAM"));
            c.maker = instance_value(i, "AdapterCompatibility");
            c.driver = instance_value(i, "DriverVersion");
            c.device_id = instance_value(i, "PNPDeviceID");
            // AdapterRAM is 32 bits on Windows; the driver's key holds the
            // whole figure of the same device.
            const std::int64_t whole_memory = read_adapter_memory(c.device_id);
            if (whole_memory > 0) c.memory_bytes = whole_memory;
            else if (const auto ram = quantity_of(c.memory); ram && *ram > 0) c.memory_bytes = ram;
            f.controllers.push_back(std::move(c));
        }
        if (f.controllers.empty()) return read_video_facts(false);
        f.count = count_text(f.controllers.size());
        if (!f.controllers.empty()) {
            const auto& first = f.controllers.front();
            f.name = first.name, f.memory = first.memory, f.maker = first.maker, f.driver = first.driver;
        }
        return f;
    }
    const Text reply = run_script_query(kVideoControllerScript);
    const TextArray lines = reply_lines(reply);
    VideoFacts f;
    for (const Text& line : lines)
        if (line_has_key(line, "数量")) f.count = line_value(line);
    // The section shows the first controller.
    f.name = reply_value(reply, "显卡1型号");
    f.memory = unsigned_memory(reply_value(reply, "显卡1显存"));
    f.maker = reply_value(reply, "显卡1厂商");
    f.driver = reply_value(reply, "显卡1驱动版本");
    const int n = bounded_count(reply, lines);
    const auto by_card = lines_by_instance(lines, "显卡", n);
    for (int i = 1; i <= n; ++i) {
        const Text k = "显卡" + to_text(i);
        VideoFacts::Controller c;
        for (const std::size_t j : by_card[static_cast<std::size_t>(i)]) {
            const Text& line = lines[j];
            const Text value = line_value(line);
            if (line_has_key(line, k + "型号")) c.name = value;
            else if (line_has_key(line, k + "显存")) c.memory = unsigned_memory(value);
            else if (line_has_key(line, k + "厂商")) c.maker = value;
            else if (line_has_key(line, k + "驱动版本")) c.driver = value;
        }
        f.controllers.push_back(std::move(c));
    }
    return f;
}

Text video_section_text(const VideoFacts& f) {
    return " 显卡型号：" + f.name + "\r\n 显卡显存：" + f.memory + "\r\n 显卡厂商：" + f.maker + "\r\n 显卡驱动：" +
           f.driver + "\r\n 显卡数量：" + f.count + "\r\n";
}

Text video_controller_section() { return video_section_text(read_video_facts()); }

BoardFacts read_board_facts(bool whole) {
    const Text board = run_script_query(kBaseBoardScript);
    BoardFacts f;
    f.brand = reply_value(board, "品牌");
    f.product = reply_value(board, "型号");
    if (!whole) {
        f.model = run_script_query(kComputerModelScript);
        return f;
    }
    // The model line shows the last instance's, as the report's own script does.
    const auto systems = numbered_instances(run_script_query(kComputerSystemScript));
    if (systems.empty()) f.model = run_script_query(kComputerModelScript);
    for (const auto& i : systems) {
        f.model = instance_value(i, "Model");
        f.system_manufacturer = instance_value(i, "Manufacturer");
        f.total_physical_memory = quantity_of(instance_value(i, "TotalPhysicalMemory"));
    }
    return f;
}

Text board_section_text(const BoardFacts& f) {
    return " 信息品牌：" + f.brand + "\r\n 信息型号：" + f.product + "\r\n 型号信息：" + f.model + "\r\n";
}

Text motherboard_section() { return board_section_text(read_board_facts()); }
