#include "sections/system/system.h"

#include <cstdio>
#include <iterator>
#include <string>

#include "sections/numbered_script.h"
#include "sections/script_lines.h"
#include "automation/script_query.h"
#include "reply/reply.h"

const char* const kOsScript =
    "Function GetA()\r\n"
    "Dim R, wmi, obj, i\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE("Win32_OperatingSystem")
    "    For Each obj In A\r\n"
    "        i=i+1\r\n"
    "        R = \"版本=\" & obj.Caption & vbCrLf\r\n"
    "        R = R& \"Build=\" & obj.BuildNumber & vbCrLf\r\n"
    "        R = R& \"系统位宽=\" & obj.OSArchitecture & vbCrLf\r\n"
    "    Next\r\n"
    "        R= R & \"获取成功=\" & Cstr(i) & vbCrLf\r\n"
    "GetA = R\r\n"
    "End Function";

const char* const kChassisTypeScript =
    "Function GetA()\r\n"
    "Dim R, wmi, obj\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE("Win32_SystemEnclosure")
    "    For Each obj In A\r\n"
    "        R = obj.ChassisTypes\r\n"
    "    Next\r\n"
    "GetA = R\r\n"
    "End Function";

const char* const kEnclosureMakerScript =
    "Function GetA()\r\n"
    "Dim R, wmi, obj\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE("Win32_SystemEnclosure")
    "    For Each obj In A\r\n"
    "        R = obj.Manufacturer\r\n"
    "    Next\r\n"
    "GetA = R\r\n"
    "End Function";

std::optional<std::int64_t> os_bits_of(const Text& architecture) {
    // Every language writes the width in ASCII digits first: "64-bit",
    // "64 位", "64 bits", "64 ビット", "64-bitowy".
    std::size_t i = 0;
    while (i < architecture.size() && architecture[i] == ' ') ++i;
    std::int64_t n = 0;
    std::size_t digits = 0;
    for (; i < architecture.size() && architecture[i] >= '0' && architecture[i] <= '9' && digits < 4; ++i, ++digits)
        n = n * 10 + (architecture[i] - '0');
    if (digits == 0 || digits == 4 || n == 0) return std::nullopt;
    return n;
}

const char* const kOsListScript =
    QV_NUMBERED_HEAD("Win32_OperatingSystem") QV_NUMBERED("Caption") QV_NUMBERED("BuildNumber")
    QV_NUMBERED("OSArchitecture") QV_NUMBERED("Version") QV_NUMBERED("LastBootUpTime") QV_NUMBERED("InstallDate")
    QV_NUMBERED_TAIL;

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

std::optional<std::string> rfc3339_of_cim(const Text& cim) {
    // yyyymmddHHMMSS.mmmmmmsUUU
    if (cim.size() != 25 || cim[14] != '.' || (cim[21] != '+' && cim[21] != '-')) return std::nullopt;
    for (std::size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 22, 23, 24})
        if (cim[i] < '0' || cim[i] > '9') return std::nullopt;
    auto num = [&](std::size_t at, std::size_t n) { return std::stoi(cim.substr(at, n)); };
    const int year = num(0, 4), month = num(4, 2), day = num(6, 2), hour = num(8, 2), minute = num(10, 2),
              second = num(12, 2), offset = num(22, 3) * (cim[21] == '-' ? -1 : 1);
    if (year < 1980 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    // Local time less its offset from UTC.
    std::int64_t t = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                     hour * 3600 + minute * 60 + second - static_cast<std::int64_t>(offset) * 60;
    const std::int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    const std::int64_t rest = t - days * 86400;
    // Back to a civil date.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    if (y < 1970 || y > 9999) return std::nullopt;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(y), m % 13, d % 32,
                  static_cast<int>(rest / 3600 % 24), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return std::string(buf);
}

OsFacts read_os_facts(bool whole) {
    if (whole) {
        const auto list = numbered_instances(run_script_query(kOsListScript));
        if (!list.empty()) {
            // The report's line shows the last instance's, as its own script does.
            const auto& os = list.back();
            OsFacts f;
            f.caption = instance_value(os, "Caption");
            const Text architecture = instance_value(os, "OSArchitecture");
            f.bitness = replace_subtext(architecture, "-bit", "位", 1, -1, true);
            f.bits = os_bits_of(architecture);
            f.version = instance_value(os, "Version");
            f.build_number = instance_value(os, "BuildNumber");
            f.boot_time = rfc3339_of_cim(instance_value(os, "LastBootUpTime"));
            f.install_date = rfc3339_of_cim(instance_value(os, "InstallDate"));
            f.update_revision = read_update_revision();
            return f;
        }
        // An older class without a property of the list: the report's own.
    }
    const Text reply = run_script_query(kOsScript);
    OsFacts f;
    // Each its own line's value, whatever words ("build", "=") it holds.
    f.caption = reply_value(reply, "版本");
    const Text architecture = reply_value(reply, "系统位宽");
    f.bitness = replace_subtext(architecture, "-bit", "位", 1, -1, true);
    f.bits = os_bits_of(architecture);
    return f;
}

void read_os_caption_and_bitness(Text& caption, Text& bitness) {
    OsFacts f = read_os_facts();
    caption = std::move(f.caption);
    bitness = std::move(f.bitness);
}

namespace {

// Each enclosure type code with the report's word (codes 1 to 24) and the
// DMTF English name (data from DMTF DSP0134 3.x, "System Enclosure or
// Chassis Types").
struct ChassisType {
    const char* report;
    const char* dmtf;
};
constexpr ChassisType kChassisTypes[] = {
    {"兼容机", "Other"}, {"兼容机", "Unknown"}, {"台式电脑", "Desktop"},
    {"Low Profile Desktop", "Low Profile Desktop"}, {"披萨盒式计算机", "Pizza Box"},
    {"微塔式计算机", "Mini Tower"}, {"塔式计算机", "Tower"}, {"笔记本电脑", "Portable"},
    {"便携式式计算机", "Laptop"}, {"笔记本", "Notebook"}, {"掌上电脑", "Hand Held"},
    {"Docking Station", "Docking Station"}, {"一体机", "All in One"}, {"轻薄型笔记本", "Sub Notebook"},
    {"Space Saving", "Space-saving"}, {"Lunch Box", "Lunch Box"}, {"Main System Chassis", "Main Server Chassis"},
    {"扩展机架", "Expansion Chassis"}, {"子机架", "SubChassis"}, {"总线扩展机架", "Bus Expansion Chassis"},
    {"外围机架", "Peripheral Chassis"}, {"机架式储存", "RAID Chassis"}, {"机架式服务器", "Rack Mount Chassis"},
    {"密封式计算机", "Sealed-case PC"}, {nullptr, "Multi-system chassis"}, {nullptr, "Compact PCI"},
    {nullptr, "Advanced TCA"}, {nullptr, "Blade"}, {nullptr, "Blade Enclosure"}, {nullptr, "Tablet"},
    {nullptr, "Convertible"}, {nullptr, "Detachable"}, {nullptr, "IoT Gateway"}, {nullptr, "Embedded PC"},
    {nullptr, "Mini PC"}, {nullptr, "Stick PC"}};

const ChassisType* chassis_type(int code) {
    if (code < 1 || code > static_cast<int>(std::size(kChassisTypes))) return nullptr;
    return &kChassisTypes[code - 1];
}

}  // namespace

Text chassis_name(int code) {
    const ChassisType* t = chassis_type(code);
    return t && t->report ? Text(t->report) : Text();
}

const char* chassis_type_name(int code) {
    const ChassisType* t = chassis_type(code);
    return t ? t->dmtf : nullptr;
}

int read_chassis_and_maker(Text& name, Text& maker) {
    const int code = to_integer(run_script_query_number(kChassisTypeScript));
    const Text found = chassis_name(code);
    if (!found.empty()) name = found;
    maker = run_script_query(kEnclosureMakerScript);
    return code;
}

int os_family_95(std::uint32_t at_58, std::uint32_t at_54, std::uint32_t at_7c) {
    if (at_58 == 0x530000) return 1;
    if (at_54 == 0x530000) return 2;
    if (at_7c == 0x530000) return 3;
    return 0;
}

int os_family_from_version(std::uint32_t major, std::uint32_t minor) {
    if (major <= 4) return 4;
    if (major == 5) {
        if (minor == 0) return 5;
        if (minor == 1) return 6;
        if (minor == 2) return 7;
        return 12;
    }
    if (major == 6) {
        static const int kSix[] = {8, 9, 10, 11, 12};
        return minor <= 4 ? kSix[minor] : 0;
    }
    return 12;
}

namespace {

// Each family code with the report's label and the system's English name.
struct OsFamily {
    const char* label;
    const char* name;
};
constexpr OsFamily kOsFamilies[] = {
    {" 操作系统：未知 （", nullptr},          {" 操作系统：Win95 （", "Windows 95"},
    {" 操作系统：Win98 （", "Windows 98"},     {" 操作系统：WinME （", "Windows Me"},
    {" 操作系统：WinNT （", "Windows NT"},     {" 操作系统：Win2000 （", "Windows 2000"},
    {" 操作系统：WinXP （", "Windows XP"},     {" 操作系统：Win2003 （", "Windows Server 2003"},
    {" 操作系统：Vista （", "Windows Vista"},  {" 操作系统：Win7 （", "Windows 7"},
    {" 操作系统：Win8 （", "Windows 8"},       {" 操作系统：Win8.1 （", "Windows 8.1"},
    {" 操作系统：Win10 （", "Windows 10"}};

}  // namespace

Text os_family_label(int code) {
    if (code < 0 || code > 12) return Text();
    return kOsFamilies[code].label;
}

const char* os_family_name(int code) {
    if (code < 0 || code > 12) return nullptr;
    return kOsFamilies[code].name;
}
