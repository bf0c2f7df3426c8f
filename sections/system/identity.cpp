#include "sections/system/identity.h"

#include "automation/script_query.h"
#include "reply/reply.h"
#include "sections/script_lines.h"

// Each instance's values under its number, so that several instances (two
// sockets, four disks) stay apart.
#define QV_NUMBERED_HEAD(cls) \
    "Function GetA()\r\n"     \
    "Dim R, wmi, obj, i\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE(cls) "    For Each obj In A\r\n" \
    "        i=i+1\r\n"
#define QV_NUMBERED(prop) "        R = R & Cstr(i) & \"." prop "=\" & obj." prop " & vbCrLf\r\n"
#define QV_NUMBERED_TAIL \
    "    Next\r\n"        \
    "GetA = R\r\n"        \
    "End Function"

// One class a script: a property one Windows version lacks fails only its
// own script.
const char* const kSystemProductScript =
    QV_NUMBERED_HEAD("Win32_ComputerSystemProduct") QV_NUMBERED("UUID") QV_NUMBERED("IdentifyingNumber")
    QV_NUMBERED_TAIL;
const char* const kBiosScript = QV_NUMBERED_HEAD("Win32_BIOS") QV_NUMBERED("SerialNumber") QV_NUMBERED_TAIL;
const char* const kBaseBoardSerialScript =
    QV_NUMBERED_HEAD("Win32_BaseBoard") QV_NUMBERED("SerialNumber") QV_NUMBERED_TAIL;
const char* const kEnclosureSerialScript =
    QV_NUMBERED_HEAD("Win32_SystemEnclosure") QV_NUMBERED("SerialNumber") QV_NUMBERED_TAIL;
const char* const kProcessorListScript =
    QV_NUMBERED_HEAD("Win32_Processor") QV_NUMBERED("Name") QV_NUMBERED("Description")
    QV_NUMBERED("Manufacturer") QV_NUMBERED("SocketDesignation") QV_NUMBERED("DataWidth")
    QV_NUMBERED("MaxClockSpeed") QV_NUMBERED("ExtClock") QV_NUMBERED("NumberOfCores")
    QV_NUMBERED("NumberOfLogicalProcessors") QV_NUMBERED_TAIL;
const char* const kDiskBusScript =
    QV_NUMBERED_HEAD("Win32_DiskDrive") QV_NUMBERED("PNPDeviceID") QV_NUMBERED_TAIL;
const char* const kVideoDeviceScript =
    QV_NUMBERED_HEAD("Win32_VideoController") QV_NUMBERED("PNPDeviceID") QV_NUMBERED_TAIL;

namespace {

bool all_digits(const Text& t) { return !t.empty() && t.find_first_not_of("0123456789") == Text::npos; }

// The first instance's value of `key` in a numbered reply.
Text first_value(const Text& script, const Text& key) {
    const auto instances = numbered_instances(run_script_query(script));
    return instances.empty() ? Text() : instance_value(instances.front(), key);
}

}  // namespace

std::vector<std::vector<std::pair<Text, Text>>> numbered_instances(const Text& reply) {
    std::vector<std::vector<std::pair<Text, Text>>> out;
    for (const Text& line : reply_lines(reply)) {
        const std::size_t dot = line.find('.');
        const std::size_t eq = line.find('=');
        if (dot == Text::npos || eq == Text::npos || dot > eq || dot > 9) continue;
        const Text number = line.substr(0, dot);
        if (!all_digits(number)) continue;
        const std::size_t n = static_cast<std::size_t>(to_integer(number));
        // Instances are numbered in order from 1; anything else is not
        // a line the script wrote.
        if (n == out.size() + 1) out.emplace_back();
        if (n == 0 || n != out.size()) continue;
        out.back().emplace_back(line.substr(dot + 1, eq - dot - 1), line.substr(eq + 1));
    }
    return out;
}

Text instance_value(const std::vector<std::pair<Text, Text>>& instance, const Text& key) {
    for (const auto& [k, v] : instance)
        if (k == key) return v;
    return Text();
}

InventoryFacts read_inventory() {
    InventoryFacts f;
    {
        const auto product = numbered_instances(run_script_query(kSystemProductScript));
        if (!product.empty()) {
            f.system_uuid = instance_value(product.front(), "UUID");
            f.system_serial = instance_value(product.front(), "IdentifyingNumber");
        }
    }
    f.bios_serial = first_value(kBiosScript, "SerialNumber");
    f.board_serial = first_value(kBaseBoardSerialScript, "SerialNumber");
    f.chassis_serial = first_value(kEnclosureSerialScript, "SerialNumber");
    f.machine_id = read_machine_id();
    for (const auto& p : numbered_instances(run_script_query(kProcessorListScript)))
        f.processors.push_back({instance_value(p, "Name"), instance_value(p, "Description"), instance_value(p, "Manufacturer"),
                                instance_value(p, "SocketDesignation"), instance_value(p, "DataWidth"),
                                instance_value(p, "MaxClockSpeed"), instance_value(p, "ExtClock"),
                                instance_value(p, "NumberOfCores"), instance_value(p, "NumberOfLogicalProcessors")});
    for (const auto& d : numbered_instances(run_script_query(kDiskBusScript)))
        f.disk_device_ids.push_back(instance_value(d, "PNPDeviceID"));
    for (const auto& v : numbered_instances(run_script_query(kVideoDeviceScript))) {
        f.video_device_ids.push_back(instance_value(v, "PNPDeviceID"));
        f.video_memory.push_back(read_adapter_memory(f.video_device_ids.back()));
    }
    return f;
}
