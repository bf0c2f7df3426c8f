#include "app/report_json.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <cstring>

#include "io/warnings.h"
#include "values/encoding.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int kFormatVersion = 1;

// A text value as the machine gave it, in UTF-8; the empty text is null.
Json text(const Text& t) {
    if (t.empty()) return nullptr;
    return substitutes_shown(gbk_to_utf8(t));
}

// A quantity: the whole decimal number a value holds (after `unit`, which
// the report's scripts append), or null. Negative figures are no size,
// clock or count a machine has.
Json quantity(const Text& t, const char* unit = "") {
    std::string v = t;
    const std::size_t u = std::strlen(unit);
    if (u && v.size() >= u && v.compare(v.size() - u, u, unit) == 0) v.resize(v.size() - u);
    if (v.empty() || v.size() > 19 || v.find_first_not_of("0123456789") != std::string::npos) return nullptr;
    const unsigned long long n = std::strtoull(v.c_str(), nullptr, 10);
    if (n > 9223372036854775807ULL) return nullptr;
    return static_cast<std::int64_t>(n);
}

Json positive(std::int64_t n) { return n > 0 ? Json(n) : Json(nullptr); }

// A quantity that is no figure when it is 0 (a clock, a memory size).
Json positive_quantity(const Text& t) {
    const Json q = quantity(t);
    return q.is_null() || q.get<std::int64_t>() == 0 ? Json(nullptr) : q;
}

// A byte count read as a double: the whole number it stands for.
Json byte_count(double d) {
    if (!(d > 0) || d >= 9.2e18 || d != static_cast<double>(static_cast<std::int64_t>(d))) return nullptr;
    return static_cast<std::int64_t>(d);
}

Json serial(const Text& t) {
    const std::string s = trim_blanks(gbk_to_utf8(t));
    if (is_placeholder_serial(s)) return nullptr;
    return s;
}

Json uuid(const Text& t) {
    const std::string u = normalized_uuid(trim_blanks(gbk_to_utf8(t)));
    if (u.empty()) return nullptr;
    return u;
}

// The English name of each enclosure type code a firmware's SMBIOS table
// can hold (data from DMTF DSP0134 3.x, "System Enclosure or Chassis
// Types"), so that a fleet reads the same word whatever the machine.
const char* chassis_type_name(int code) {
    static const char* const kNames[] = {
        "Other", "Unknown", "Desktop", "Low Profile Desktop", "Pizza Box", "Mini Tower", "Tower",
        "Portable", "Laptop", "Notebook", "Hand Held", "Docking Station", "All in One", "Sub Notebook",
        "Space-saving", "Lunch Box", "Main Server Chassis", "Expansion Chassis", "SubChassis",
        "Bus Expansion Chassis", "Peripheral Chassis", "RAID Chassis", "Rack Mount Chassis",
        "Sealed-case PC", "Multi-system chassis", "Compact PCI", "Advanced TCA", "Blade",
        "Blade Enclosure", "Tablet", "Convertible", "Detachable", "IoT Gateway", "Embedded PC",
        "Mini PC", "Stick PC"};
    if (code < 1 || code > static_cast<int>(std::size(kNames))) return nullptr;
    return kNames[code - 1];
}

Json chassis(int code) {
    // The type is a byte in the table; anything wider was misread on the way.
    if (code <= 0 || code > 255) return nullptr;
    const char* name = chassis_type_name(code);
    return {{"code", code}, {"name", name ? Json(name) : Json(nullptr)}};
}

// The family code the report's operating-system line is chosen by, with
// the system's English name; Linux has no such family.
Json os_family(int code) {
#ifdef _WIN32
    static const char* const kNames[] = {nullptr,        "Windows 95",   "Windows 98",   "Windows Me",
                                         "Windows NT",   "Windows 2000", "Windows XP",   "Windows Server 2003",
                                         "Windows Vista", "Windows 7",   "Windows 8",    "Windows 8.1",
                                         "Windows 10"};
    if (code < 0 || code > 12) return nullptr;
    return {{"code", code}, {"name", kNames[code] ? Json(kNames[code]) : Json(nullptr)}};
#else
    (void)code;
    return nullptr;
#endif
}

// The bus a disk's device id names: Linux writes it first ("NVME\nvme0n1"),
// Windows as the enumerator with the vendor ("SCSI\DISK&VEN_NVME&...").
Json disk_bus(const Text& device_id) {
    std::string id = device_id;
    for (char& c : id)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const std::string head = id.substr(0, id.find('\\'));
    if (head == "USBSTOR" || head == "USB") return "usb";
    if (head == "NVME" || (head == "SCSI" && id.find("&VEN_NVME") != std::string::npos)) return "nvme";
    if (head == "SATA") return "sata";
    if (head == "SAS") return "sas";
    if (head == "VIRTIO") return "virtio";
    if (head == "MMC" || head == "SD" || head == "SDBUS") return "mmc";
    if (head == "IDE") return "ide";
    // Windows puts AHCI drives under SCSI with an empty vendor: no bus to tell.
    if (head == "SCSI" && id.find("&VEN_&") == std::string::npos) return "scsi";
    return nullptr;
}

Json monitor(const MonitorInfo& m, const Text& device_id, bool shown) {
    const Bytes& b = m.edid_bytes;
    const bool edid = b.size() >= 128;
    auto at = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(b[i])); };
    Json maker = nullptr, product = nullptr, numeric = nullptr, made = nullptr, version = nullptr;
    Json width = nullptr, height = nullptr;
    if (edid) {
        // Three letters of five bits each, 1 for "A".
        const unsigned id = at(8) << 8 | at(9);
        std::string letters;
        for (int shift : {10, 5, 0}) {
            const unsigned c = (id >> shift) & 31;
            if (c >= 1 && c <= 26) letters += static_cast<char>('A' + c - 1);
        }
        if (letters.size() == 3) maker = letters;
        product = at(10) | at(11) << 8;
        const std::uint32_t n = at(12) | at(13) << 8 | at(14) << 16 | static_cast<std::uint32_t>(at(15)) << 24;
        if (n != 0) numeric = n;
        const unsigned week = at(16);
        made = {{"year", 1990 + at(17)},
                {"week", week >= 1 && week <= 54 ? Json(week) : Json(nullptr)},
                {"is_model_year", week == 0xFF}};
        version = std::to_string(at(18)) + "." + std::to_string(at(19));
        if (at(21) && at(22)) {
            width = at(21);
            height = at(22);
        }
    }
    return {{"device_id", text(device_id)},
            {"id", text(m.monitor_id)},
            {"maker_code", maker},
            {"product_code", product},
            {"model", text(m.model)},
            {"serial_number", text(m.serial_number)},
            {"serial_number_numeric", numeric},
            {"manufactured", made},
            {"width_cm", width},
            {"height_cm", height},
            {"edid_version", version},
            {"in_text_report", shown}};
}

std::string rfc3339_utc(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &t);
#else
    gmtime_r(&t, &tm);
#endif
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

// Why a fact a machine has could not be read, as far as we can tell.
std::string why_missing_from_firmware(const JsonContext& c, const char* what) {
#ifdef _WIN32
    (void)c;
    return std::string(what) + ": WMI gave no value";
#else
    if (!c.root.empty()) return std::string(what) + ": the tree holds no SMBIOS table or its decoded files";
    if (!c.privileged) return std::string(what) + ": the SMBIOS table needs root";
    return std::string(what) + ": the machine has no readable SMBIOS table";
#endif
}

Json warnings(const ReportFacts& f, const Json& identity, const JsonContext& c) {
    Json w = Json::array();
    const InventoryFacts& inv = f.inventory;
    if (inv.system_uuid.empty() && inv.system_serial.empty() && inv.bios_serial.empty() &&
        inv.board_serial.empty() && inv.chassis_serial.empty())
        w.push_back(why_missing_from_firmware(c, "system UUID and serial numbers"));
    const struct {
        const char* key;
        const Text& raw;
    } given[] = {{"system_uuid", inv.system_uuid},
                 {"system_serial", inv.system_serial.empty() ? inv.bios_serial : inv.system_serial},
                 {"baseboard_serial", inv.board_serial},
                 {"chassis_serial", inv.chassis_serial}};
    for (const auto& g : given)
        if (!g.raw.empty() && identity[g.key].is_null())
            w.push_back(std::string(g.key) + ": the firmware gives the placeholder \"" + gbk_to_utf8(g.raw) + "\"");
    if (identity["machine_id"].is_null()) {
#ifdef _WIN32
        w.push_back("machine id: the registry holds no MachineGuid");
#else
        w.push_back("machine id: neither /etc/machine-id nor /var/lib/dbus/machine-id could be read");
#endif
    }
    if (f.inventory.processors.empty()) w.push_back("processors: the Win32_Processor query gave no answer");
#ifndef _WIN32
    bool socket = false;
    for (const auto& p : f.inventory.processors) socket = socket || !p.socket.empty();
    if (!f.inventory.processors.empty() && !socket)
        w.push_back(why_missing_from_firmware(c, "processor socket and external clock"));
#endif
    if (f.memory.modules.empty()) {
#ifdef _WIN32
        w.push_back("memory modules: the Win32_PhysicalMemory query gave no answer");
#else
        if (!c.root.empty())
            w.push_back("memory modules: the tree holds neither the SMBIOS table nor udev's record");
        else if (!c.privileged)
            w.push_back("memory modules: the SMBIOS table needs root and udev has no record");
        else
            w.push_back("memory modules: neither the SMBIOS table nor udev's record could be read");
#endif
    }
    if (f.width == 0 || f.height == 0) w.push_back("display mode: no display mode could be read");
    for (const auto& r : reader_warnings()) w.push_back(r);
    return w;
}

}  // namespace

bool is_placeholder_serial(const std::string& s) {
    const std::string t = trim_blanks(s);
    if (t.empty()) return true;
    if (t.find_first_not_of("0") == std::string::npos) return true;
    if (t.find_first_not_of(". -_") == std::string::npos) return true;
    if (t.find_first_not_of("Ff") == std::string::npos) return true;
    // Strings board makers leave in the table, seen on many machines.
    static const char* const kPlaceholders[] = {
        "To Be Filled By O.E.M.", "To Be Filled By OEM", "Default string", "System Serial Number",
        "Chassis Serial Number", "Base Board Serial Number", "Board Serial Number", "Serial Number",
        "SerialNumber", "0123456789", "1234567890", "123456789", "Not Specified", "Not Applicable",
        "Not Available", "None", "N/A", "NA", "Unknown", "Invalid", "OEM", "O.E.M.", "Type1Sku0",
        "No Asset Tag", "XXXXXXXXXXXX", "Default_string", "empty", "System Product Name"};
    for (const char* p : kPlaceholders)
        if (t.size() == std::strlen(p) && find_text(t, p, std::nullopt, true) == 1) return true;
    return false;
}

std::string normalized_uuid(const std::string& s) {
    if (s.size() != 36) return std::string();
    std::string out;
    std::string digits;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash) {
            if (c != '-') return std::string();
        } else {
            if (c >= 'A' && c <= 'F') c = static_cast<char>(c + 32);
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::string();
            digits += c;
        }
        out += c;
    }
    if (digits.find_first_not_of('0') == std::string::npos) return std::string();
    if (digits.find_first_not_of('f') == std::string::npos) return std::string();
    // The counting pattern some boards ship instead of a UUID.
    if (out == "03000200-0400-0500-0006-000700080009") return std::string();
    return out;
}

std::string report_json(const ReportFacts& f, const JsonContext& c) {
    const InventoryFacts& inv = f.inventory;
    Json j;
    j["format_version"] = kFormatVersion;
    j["tool"] = {{"name", "quorvin-report"}, {"version", c.tool_version}};
    j["collected_at"] = rfc3339_utc(c.collected_at);
    j["source"] = {{"kind", c.root.empty() ? "machine" : "tree"},
                   {"root", c.root.empty() ? Json(nullptr) : Json(c.root)}};
    j["privileged"] = c.privileged;
    Json system_serial = serial(inv.system_serial);
    if (system_serial.is_null()) system_serial = serial(inv.bios_serial);
    j["identity"] = {{"system_uuid", uuid(inv.system_uuid)},
                     {"system_serial", system_serial},
                     {"baseboard_serial", serial(inv.board_serial)},
                     {"chassis_serial", serial(inv.chassis_serial)},
                     {"machine_id", text(inv.machine_id)}};
    j["warnings"] = warnings(f, j["identity"], c);
    j["system"] = {
        {"os_version", text(f.os_caption)},
        {"os_bits", quantity(f.os_bitness, "位")},
        {"os_family", os_family(f.os_family)},
        {"chassis", chassis(f.chassis_code)},
        {"chassis_maker", text(f.chassis_maker)},
        {"is_64bit", f.is_64bit ? Json(*f.is_64bit) : Json(nullptr)},
        {"host_name", text(f.host)},
        {"user_name", text(f.user)},
    };
    Json processors = Json::array();
    for (const auto& p : inv.processors)
        processors.push_back({{"name", text(p.name)},
                              {"maker", text(p.maker)},
                              {"description", text(p.description)},
                              {"socket", text(p.socket)},
                              {"data_width", quantity(p.data_width)},
                              {"max_clock_mhz", positive_quantity(p.max_clock)},
                              {"external_clock_mhz", positive_quantity(p.external_clock)},
                              {"cores", quantity(p.cores)},
                              {"threads", quantity(p.threads)}});
    j["processors"] = processors;
    j["processor_signature"] = text(f.cpu_signature);
    j["display"] = {
        {"screens", f.screens},
        {"bits_per_pixel", positive(f.bits_per_pixel)},
        {"refresh_hz", positive(f.refresh)},
        {"width", positive(f.width)},
        {"height", positive(f.height)},
        {"taskbar_height", f.taskbar},
    };
    Json monitors = Json::array();
    for (std::size_t i = 0; i < f.monitors.monitors.size() && i < f.monitors.device_ids.size(); ++i)
        monitors.push_back(monitor(f.monitors.monitors[i], f.monitors.device_ids[i],
                                   static_cast<int>(i) == f.monitors.shown));
    j["monitors"] = monitors;
    Json modules = Json::array();
    std::int64_t total = 0;
    for (const auto& m : f.memory.modules) {
        const Json bytes = byte_count(m.capacity_bytes);
        if (!bytes.is_null() && total <= INT64_MAX - bytes.get<std::int64_t>()) total += bytes.get<std::int64_t>();
        modules.push_back({{"capacity_bytes", bytes},
                           {"speed_mts", positive(m.speed)},
                           {"maker", text(m.maker)},
                           {"serial_number", text(m.serial)}});
    }
    j["memory"] = {{"modules", modules}, {"total_bytes", positive(total)}};
    Json disks = Json::array();
    // The bus query lists the same class in the same order.
    const bool matched = inv.disk_device_ids.size() == f.disks.disks.size();
    for (std::size_t i = 0; i < f.disks.disks.size(); ++i) {
        const auto& d = f.disks.disks[i];
        disks.push_back({{"model", text(d.model)},
                         {"size_bytes", positive(d.capacity_bytes)},
                         {"interface", text(d.type)},
                         {"bus", matched ? disk_bus(inv.disk_device_ids[i]) : Json(nullptr)}});
    }
    j["disks"] = disks;
    Json video = Json::array();
    // The device query lists the same class in the same order.
    const bool video_matched = inv.video_device_ids.size() == f.video.controllers.size() &&
                               inv.video_memory.size() == inv.video_device_ids.size();
    for (std::size_t i = 0; i < f.video.controllers.size(); ++i) {
        const auto& v = f.video.controllers[i];
        // AdapterRAM is 32 bits on Windows; the driver's key holds the whole figure.
        Json memory = positive_quantity(v.memory);
        if (video_matched && inv.video_memory[i] > 0) memory = inv.video_memory[i];
        video.push_back({{"name", text(v.name)},
                         {"device_id", video_matched ? text(inv.video_device_ids[i]) : Json(nullptr)},
                         {"memory_bytes", memory},
                         {"maker", text(v.maker)},
                         {"driver_version", text(v.driver)}});
    }
    j["video_controllers"] = video;
    j["motherboard"] = {
        {"brand", text(f.board.brand)},
        {"product", text(f.board.product)},
        {"model", text(f.board.model)},
    };
    j["elapsed_ms"] = f.elapsed_ms;
    return j.dump(2, ' ', true, Json::error_handler_t::replace) + "\n";
}
