#include "sections/hardware/hardware.h"

#include <algorithm>

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

namespace {

int reply_count(const Text& reply) { return to_integer(clean_value(text_after(reply, "数量="))); }

// The count line's value; "数量" opens no module line, so the last line that
// starts with it is the count.
Text count_of(const TextArray& lines) {
    Text count;
    for (const Text& line : lines)
        if (text_starts_with(line, "数量")) count = text_after(line, "=");
    return count;
}

// A count above the number of lines can only come from a value that holds
// a line break and a count key; such modules would repeat the last values.
int bounded_count(const Text& reply, const TextArray& lines) {
    const int n = reply_count(reply);
    return std::min(n, static_cast<int>(lines.size()));
}

}  // namespace

Text memory_section() {
    const Text reply = run_script_query(kMemoryScript);
    const TextArray lines = reply_lines(reply);
    const int n = bounded_count(reply, lines);
    const auto by_module = lines_by_instance(lines, "内存", n);
    // Values carry over from one module to the next, as the report always did.
    std::int32_t capacity = 0, speed = 0;
    Text maker, serial;
    const Text count = n >= 1 ? count_of(lines) : Text();
    Text out;
    for (int i = 1; i <= n; ++i) {
        const Text k = "内存" + to_text(i);
        for (const std::size_t j : by_module[static_cast<std::size_t>(i)]) {
            const Text& line = lines[j];
            const Text value = text_after(line, "=");
            if (text_starts_with(line, k + "容量"))
                capacity = to_integer(to_number(value) / 1073741824.0);
            else if (text_starts_with(line, k + "速度"))
                speed = to_integer(to_number(value));
            else if (text_starts_with(line, k + "厂商"))
                maker = value;
            else if (text_starts_with(line, k + "序列号"))
                serial = value;
        }
        out += " " + k + "容量：" + to_text(capacity) + "GB\r\n " + k + "速度：" + to_text(speed) +
               "MHZ\r\n " + k + "厂商：" + maker + "\r\n " + k + "序列：" + serial + "\r\n";
    }
    return out + " 数量：" + count + "\r\n";
}

Text disk_section() {
    const Text reply = run_script_query(kDiskScript);
    const TextArray lines = reply_lines(reply);
    const int n = bounded_count(reply, lines);
    const auto by_disk = lines_by_instance(lines, "磁盘", n);
    Text model, type;
    const Text count = n >= 1 ? count_of(lines) : Text();
    std::int64_t capacity = 0;
    Text out;
    for (int i = 1; i <= n; ++i) {
        const Text k = "磁盘" + to_text(i);
        for (const std::size_t j : by_disk[static_cast<std::size_t>(i)]) {
            const Text& line = lines[j];
            const Text value = text_after(line, "=");
            if (text_starts_with(line, k + "型号"))
                model = value;
            else if (text_starts_with(line, k + "容量"))
                capacity = static_cast<std::int64_t>(
                    static_cast<double>(to_long_integer(value)) / 1073741824.0);
            else if (text_starts_with(line, k + "类型"))
                type = value;
        }
        out += " " + k + "型号：" + model + "\r\n " + k + "容量：" + to_text(capacity) + "GB\r\n " +
               k + "类型：" + type + "\r\n";
    }
    return out + " 数量：" + count + "\r\n";
}

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

Text video_controller_section() {
    const TextArray lines = reply_lines(run_script_query(kVideoControllerScript));
    Text fields[4], count;
    for (std::size_t j = 0; j < lines.size(); ++j) {
        const Text value = text_after(lines[j], "=");
        if (j < 4) fields[j] = value;
        if (text_starts_with(lines[j], "数量")) count = value;
    }
    return " 显卡型号：" + fields[0] + "\r\n 显卡显存：" + unsigned_memory(fields[1]) + "\r\n 显卡厂商：" +
           fields[2] + "\r\n 显卡驱动：" + fields[3] + "\r\n 显卡数量：" + count + "\r\n";
}

Text motherboard_section() {
    const Text board = run_script_query(kBaseBoardScript);
    const Text brand = clean_value(text_between(board, "品牌=", "型号"));
    const Text product = clean_value(text_between(board, "型号=", "获取成功"));
    const Text model = run_script_query(kComputerModelScript);
    return " 信息品牌：" + brand + "\r\n 信息型号：" + product + "\r\n 型号信息：" + model + "\r\n";
}
