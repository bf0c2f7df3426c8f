#include "sections/system/system.h"

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

void read_os_caption_and_bitness(Text& caption, Text& bitness) {
    const Text reply = run_script_query(kOsScript);
    // Each its own line's value, whatever words ("build", "=") it holds.
    caption = reply_value(reply, "版本");
    bitness = replace_subtext(reply_value(reply, "系统位宽"), "-bit", "位", 1, -1, true);
}

Text chassis_name(int code) {
    static const char* const kNames[] = {
        "兼容机", "兼容机", "台式电脑", "Low Profile Desktop", "披萨盒式计算机",
        "微塔式计算机", "塔式计算机", "笔记本电脑", "便携式式计算机", "笔记本", "掌上电脑",
        "Docking Station", "一体机", "轻薄型笔记本", "Space Saving", "Lunch Box",
        "Main System Chassis", "扩展机架", "子机架", "总线扩展机架", "外围机架",
        "机架式储存", "机架式服务器", "密封式计算机"};
    if (code < 1 || code > 24) return Text();
    return kNames[code - 1];
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

Text os_family_label(int code) {
    static const char* const kLabels[] = {
        " 操作系统：未知 （",  " 操作系统：Win95 （",  " 操作系统：Win98 （",
        " 操作系统：WinME （", " 操作系统：WinNT （",  " 操作系统：Win2000 （",
        " 操作系统：WinXP （", " 操作系统：Win2003 （", " 操作系统：Vista （",
        " 操作系统：Win7 （",  " 操作系统：Win8 （",   " 操作系统：Win8.1 （",
        " 操作系统：Win10 （"};
    if (code < 0 || code > 12) return Text();
    return kLabels[code];
}
