#include "sections/system/system.h"

#include <iterator>

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

OsFacts read_os_facts() {
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
