#include "app/report_json.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <cstring>

#include "io/warnings.h"
#include "sections/system/system.h"
#include "values/encoding.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int kFormatVersion = 1;

// A text value as the machine gave it, in UTF-8; the empty text is null.
Json text(const Text& t) {
    if (t.empty()) return nullptr;
    return substitutes_shown(gbk_to_utf8(t));
}

Json positive(std::int64_t n) { return n > 0 ? Json(n) : Json(nullptr); }

Json optional_quantity(const std::optional<std::int64_t>& n) { return n ? Json(*n) : Json(nullptr); }

// A figure that is no figure when it is 0 (a clock).
Json positive_quantity(const std::optional<std::int64_t>& n) { return n && *n > 0 ? Json(*n) : Json(nullptr); }

// A byte count read as a double: the whole number it stands for.
Json byte_count(double d) {
    if (!(d > 0) || d >= 9.2e18 || d != static_cast<double>(static_cast<std::int64_t>(d))) return nullptr;
    return static_cast<std::int64_t>(d);
}

// A name from the firmware; placeholders and blanks are no name.
Json firmware_text(const Text& t) {
    const std::string s = trim_blanks(gbk_to_utf8(t));
    if (is_placeholder_serial(s)) return nullptr;
    return substitutes_shown(s);
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

Json chassis(int code) {
    // The type is a byte in the table; anything wider was misread on the way.
    if (code <= 0 || code > 255) return nullptr;
    const char* name = chassis_type_name(code);
    return {{"code", code}, {"name", name ? Json(name) : Json(nullptr)}};
}

#ifdef _WIN32
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

// Whether the report describes a Windows machine: this one, or one that a
// machine file describes.
bool windows_machine(const JsonContext& c) { return kOnWindows || !c.machine_file.empty(); }

// The family code the report's operating-system line is chosen by, with
// the system's English name; Linux has no such family.
Json os_family(int code, bool windows) {
    if (!windows || code < 0 || code > 12) return nullptr;
    const char* name = os_family_name(code);
    return {{"code", code}, {"name", name ? Json(name) : Json(nullptr)}};
}

Json monitor(const MonitorInfo& m, const Text& device_id, bool shown) {
    Json maker = nullptr, product = nullptr, numeric = nullptr, made = nullptr, version = nullptr;
    Json width = nullptr, height = nullptr, diagonal = nullptr;
    if (const auto& h = m.header) {
        if (h->maker_code) maker = *h->maker_code;
        product = h->product_code;
        if (h->serial_number) numeric = *h->serial_number;
        made = {{"year", h->year}, {"week", h->week ? Json(*h->week) : Json(nullptr)}, {"is_model_year", h->is_model_year}};
        version = h->version;
        if (h->width_cm && h->height_cm) {
            width = *h->width_cm;
            height = *h->height_cm;
        }
        if (h->diagonal_inches) diagonal = *h->diagonal_inches;
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
            {"diagonal_inches", diagonal},
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

// The facts that could not be read, each with the reason the reader that
// tried gave (or, where it gave none, that the source had no value), in
// the order of the document.
class Unread {
public:

    // `fact` is null in the document: say why, from the source's note on
    // the class's property (or its instances as a whole).
    void absent(const std::string& fact, const char* class_name, const char* property = "") {
        auto note = unread_note(class_name, property);
        if (!note && *property) note = unread_note(class_name, "");
        add(fact, note ? *note : UnreadNote{UnreadReason::Absent, class_name, ""});
    }
    void placeholder(const std::string& fact, const Text& raw, const char* class_name, const char* property) {
        add(fact, UnreadNote{UnreadReason::Placeholder, property_source(class_name, property).value_or(class_name),
                             gbk_to_utf8(raw)});
    }
    // A firmware value: null as a placeholder where the machine gave one.
    void firmware(const std::string& fact, const Json& value, const Text& raw, const char* class_name,
                  const char* property) {
        if (!value.is_null()) return;
        if (!raw.empty())
            placeholder(fact, raw, class_name, property);
        else
            absent(fact, class_name, property);
    }
    void other(const std::string& fact, UnreadNote note) { add(fact, std::move(note)); }

    Json entries() const { return entries_; }
    Json sentences() const {
        Json w = Json::array();
        for (const auto& s : sentences_) w.push_back(s);
        for (const auto& r : reader_warnings()) w.push_back(r);
        return w;
    }

private:
    void add(const std::string& fact, const UnreadNote& n) {
        entries_.push_back({{"fact", fact}, {"reason", unread_reason_name(n.reason)}, {"source", n.source}});
        const bool file = !n.source.empty() && n.source[0] == '/';
        std::string why;
        switch (n.reason) {
            case UnreadReason::Absent: why = file ? n.source + " is not there" : n.source + " gave no value"; break;
            case UnreadReason::Unreadable: why = n.source + " could not be read"; break;
            case UnreadReason::NeedsPrivilege:
                why = n.source + (file ? " needs root" : " needs an elevated administrator");
                break;
            case UnreadReason::Placeholder: why = n.source + " gives the placeholder \"" + n.detail + "\""; break;
            case UnreadReason::OverLimit: why = n.source + " is over the reader's limit"; break;
            case UnreadReason::Unsupported: why = n.source + " is not supported here"; break;
        }
        if (!n.detail.empty() && n.reason != UnreadReason::Placeholder) why += " (" + n.detail + ")";
        sentences_.push_back(fact + ": " + why);
    }

    Json entries_ = Json::array();
    std::vector<std::string> sentences_;
};

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
    const IdentityFacts& id = f.identity;
    Unread unread;
    Json j;
    j["format_version"] = kFormatVersion;
    j["tool"] = {{"name", "quorvin-report"}, {"version", c.tool_version}};
    j["collected_at"] = rfc3339_utc(c.collected_at);
    j["source"] = {{"kind", !c.root.empty() ? "tree" : !c.machine_file.empty() ? "machine_file" : "machine"},
                   {"root", c.root.empty() ? Json(nullptr) : Json(c.root)},
                   {"file", c.machine_file.empty() ? Json(nullptr) : Json(c.machine_file)}};
    j["privileged"] = c.privileged;

    Json system_serial = serial(id.system_serial);
    const bool serial_from_bios = system_serial.is_null() && !serial(id.bios_serial).is_null();
    if (serial_from_bios) system_serial = serial(id.bios_serial);
    j["identity"] = {{"system_uuid", uuid(id.system_uuid)},
                     {"system_serial", system_serial},
                     {"baseboard_serial", serial(id.board_serial)},
                     {"chassis_serial", serial(id.chassis_serial)},
                     {"machine_id", text(id.machine_id)}};
    j["warnings"] = Json::array();  // filled last, in its place
    unread.firmware("identity.system_uuid", j["identity"]["system_uuid"], id.system_uuid,
                    "Win32_ComputerSystemProduct", "UUID");
    unread.firmware("identity.system_serial", system_serial, id.system_serial.empty() ? id.bios_serial : id.system_serial,
                    "Win32_ComputerSystemProduct", "IdentifyingNumber");
    unread.firmware("identity.baseboard_serial", j["identity"]["baseboard_serial"], id.board_serial, "Win32_BaseBoard",
                    "SerialNumber");
    unread.firmware("identity.chassis_serial", j["identity"]["chassis_serial"], id.chassis_serial,
                    "Win32_SystemEnclosure", "SerialNumber");
    const bool windows = windows_machine(c);
    if (j["identity"]["machine_id"].is_null()) {
        if (windows)
            unread.other("identity.machine_id",
                         {UnreadReason::Absent, "HKLM\\SOFTWARE\\Microsoft\\Cryptography\\MachineGuid", ""});
        else
            unread.absent("identity.machine_id", "machine-id");
    }

    const FirmwareFacts& fw = f.firmware;
    const Json fw_vendor = firmware_text(fw.vendor), fw_version = firmware_text(fw.version);
    auto version_pair = [](const std::optional<std::int64_t>& a, const std::optional<std::int64_t>& b) {
        return a && b ? Json(std::to_string(*a) + "." + std::to_string(*b)) : Json(nullptr);
    };
    j["firmware"] = {{"vendor", fw_vendor},
                     {"version", fw_version},
                     {"release_date", fw.release_date ? Json(*fw.release_date) : Json(nullptr)},
                     {"release", version_pair(fw.release_major, fw.release_minor)},
                     {"boot_mode", fw.uefi ? Json(*fw.uefi ? "uefi" : "legacy") : Json(nullptr)},
                     {"smbios_version", version_pair(fw.smbios_major, fw.smbios_minor)}};
    unread.firmware("firmware.vendor", fw_vendor, fw.vendor, "Win32_BIOS", "Manufacturer");
    unread.firmware("firmware.version", fw_version, fw.version, "Win32_BIOS", "SMBIOSBIOSVersion");
    if (!fw.release_date) unread.absent("firmware.release_date", "Win32_BIOS", "ReleaseDate");
    if (j["firmware"]["release"].is_null()) {
        if (fw.release_unsupported)
            unread.other("firmware.release", {UnreadReason::Unsupported, "Win32_BIOS.SystemBiosMajorVersion", ""});
        else
            unread.absent("firmware.release", "Win32_BIOS", "SystemBiosMajorVersion");
    }
    if (!fw.uefi)
        unread.other("firmware.boot_mode",
                     {UnreadReason::Absent, windows ? "GetFirmwareType" : "/sys/firmware", ""});
    if (j["firmware"]["smbios_version"].is_null()) unread.absent("firmware.smbios_version", "Win32_BIOS", "SMBIOSMajorVersion");

    const Json manufacturer = firmware_text(f.board.system_manufacturer);
    const Json model = firmware_text(f.board.model);
    j["system"] = {
        {"os_version", text(f.os.caption)},
        {"os_bits", optional_quantity(f.os.bits)},
        {"os_family", os_family(f.os_family, windows)},
        {"chassis", chassis(f.chassis_code)},
        {"chassis_maker", text(f.chassis_maker)},
        {"is_64bit", f.is_64bit ? Json(*f.is_64bit) : Json(nullptr)},
        {"host_name", text(f.host)},
        {"user_name", text(f.user)},
        {"manufacturer", manufacturer},
        {"model", model},
    };
    if (!f.os.bits) unread.absent("system.os_bits", "Win32_OperatingSystem", "OSArchitecture");
    if (j["system"]["chassis"].is_null()) unread.absent("system.chassis", "Win32_SystemEnclosure", "ChassisTypes");
    unread.firmware("system.manufacturer", manufacturer, f.board.system_manufacturer, "Win32_ComputerSystem",
                    "Manufacturer");
    unread.firmware("system.model", model, f.board.model, "Win32_ComputerSystem", "Model");

    Json build = nullptr;
    if (windows && !f.os.build_number.empty()) {
        std::string b = gbk_to_utf8(f.os.build_number);
        if (f.os.update_revision) b.append(1, '.').append(std::to_string(*f.os.update_revision));
        build = b;
    }
    j["os"] = {{"kernel", text(f.os.version)},
               {"build", build},
               {"boot_time", f.os.boot_time ? Json(*f.os.boot_time) : Json(nullptr)},
               {"install_date", f.os.install_date ? Json(*f.os.install_date) : Json(nullptr)}};
    if (f.os.version.empty()) unread.absent("os.kernel", "Win32_OperatingSystem", "Version");
    // Linux has no build and keeps no install date: null, and nothing unread.
    if (build.is_null() && windows) unread.absent("os.build", "Win32_OperatingSystem", "BuildNumber");
    if (!f.os.boot_time) unread.absent("os.boot_time", "Win32_OperatingSystem", "LastBootUpTime");
    if (!f.os.install_date && windows) unread.absent("os.install_date", "Win32_OperatingSystem", "InstallDate");

    Json processors = Json::array();
    for (const auto& p : f.processors)
        processors.push_back({{"name", text(p.name)},
                              {"maker", text(p.maker)},
                              {"description", text(p.description)},
                              {"socket", text(p.socket)},
                              {"data_width", optional_quantity(p.data_width)},
                              {"max_clock_mhz", positive_quantity(p.max_clock_mhz)},
                              {"external_clock_mhz", positive_quantity(p.external_clock_mhz)},
                              {"cores", optional_quantity(p.cores)},
                              {"threads", optional_quantity(p.threads)}});
    j["processors"] = processors;
    if (f.processors.empty()) unread.absent("processors", "Win32_Processor");
    for (std::size_t i = 0; i < f.processors.size(); ++i)
        if (f.processors[i].socket.empty())
            unread.absent("processors[" + std::to_string(i) + "].socket", "Win32_Processor", "SocketDesignation");
    j["processor_signature"] = text(f.cpu_signature);
    j["display"] = {
        {"screens", f.screens},
        {"bits_per_pixel", positive(f.bits_per_pixel)},
        {"refresh_hz", positive(f.refresh)},
        {"width", positive(f.width)},
        {"height", positive(f.height)},
        {"taskbar_height", f.taskbar},
    };
    const char* const mode_source = windows ? "EnumDisplaySettingsW" : "/sys/class/graphics/fb0";
    for (const char* key : {"bits_per_pixel", "refresh_hz", "width", "height"})
        if (j["display"][key].is_null())
            unread.other(std::string("display.") + key, {UnreadReason::Absent, mode_source, ""});
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
    if (f.memory.modules.empty()) unread.absent("memory.modules", "Win32_PhysicalMemory");
    // The modules' sum where they are known, else what the system counts.
    Json total_bytes = positive(total), total_source = nullptr;
    if (!total_bytes.is_null()) total_source = "modules";
    else if (f.board.total_physical_memory && *f.board.total_physical_memory > 0) {
        total_bytes = *f.board.total_physical_memory;
        total_source = "system";
    } else {
        unread.absent("memory.total_bytes", "Win32_ComputerSystem", "TotalPhysicalMemory");
    }
    j["memory"] = {{"modules", modules}, {"total_bytes", total_bytes}, {"total_source", total_source}};

    Json disks = Json::array();
    for (const auto& d : f.disks.disks)
        disks.push_back({{"model", text(d.model)},
                         {"size_bytes", positive(d.capacity_bytes)},
                         {"interface", text(d.type)},
                         {"bus", d.bus ? Json(disk_bus_name(*d.bus)) : Json(nullptr)}});
    j["disks"] = disks;
    Json video = Json::array();
    for (const auto& v : f.video.controllers)
        video.push_back({{"name", text(v.name)},
                         {"device_id", text(v.device_id)},
                         {"memory_bytes", positive_quantity(v.memory_bytes)},
                         {"maker", text(v.maker)},
                         {"driver_version", text(v.driver)}});
    j["video_controllers"] = video;
    j["motherboard"] = {
        {"brand", text(f.board.brand)},
        {"product", text(f.board.product)},
        {"model", text(f.board.model)},
    };
    j["elapsed_ms"] = f.elapsed_ms;
    j["warnings"] = unread.sentences();
    j["unread"] = unread.entries();
    return j.dump(2, ' ', true, Json::error_handler_t::replace) + "\n";
}
