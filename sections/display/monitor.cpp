#include <algorithm>

#include "sections/script_lines.h"
#include "automation/script_query.h"
#include "reply/reply.h"
#include "sources/instance_source.h"
#include "sections/display/display.h"

const char* const kMonitorScript =
    "Function GetA()\r\n"
    "Dim R, wmi, obj, i\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE("Win32_DesktopMonitor")
    "    For Each obj In A\r\n"
    "        i=i+1\r\n"
    "        R = R & \"显示器\" & Cstr(i) & \"参数a=\" & obj.ConfigManagerErrorCode & vbCrLf\r\n"
    "        R = R & \"显示器\" & Cstr(i) & \"参数b=\" & obj.ConfigManagerUserConfig & vbCrLf\r\n"
    "        R = R & \"显示器\" & Cstr(i) & \"参数c=\" & obj.PNPDeviceID & vbCrLf\r\n"
    "    Next\r\n"
    "        R = R & \"数量=\" & Cstr(i) & vbCrLf\r\n"
    "GetA = R\r\n"
    "End Function";

MonitorList read_monitors(bool all) {
    const Text reply = run_script_query(kMonitorScript);
    // Split once; line n is pieces[n - 1], as line_at reads it.
    const TextArray pieces = split_text(reply, "\r\n");
    auto line = [&](long long k) {
        return k >= 1 && k <= static_cast<long long>(pieces.size()) ? pieces[static_cast<std::size_t>(k - 1)] : Text();
    };
    const int n = to_integer(reply_value(reply, "数量"));
    // Beyond the last line every id would be empty.
    const long long last = std::min<long long>(n, static_cast<long long>(pieces.size()) / 3 + 1);
    MonitorList list;
    for (long long i = 1; i <= last; ++i) {
        const Text id = line_value(line(3 * i));
        if (compare_text(id, Text()) == 0) continue;
        const Bytes block = read_edid_bytes(id);
        const Text edid_text = edid_text_of(block);
        MonitorInfo info = edid_text.empty() ? MonitorInfo() : decode_edid_text(edid_text, id, block);
        // The report shows the first monitor with an id, and nothing when
        // that one has no EDID to decode.
        if (list.device_ids.empty() && !edid_text.empty()) list.shown = 0;
        list.device_ids.push_back(id);
        list.monitors.push_back(std::move(info));
        if (!all) break;  // the report shows the first; only the JSON lists them all
    }
    return list;
}

MonitorInfo read_monitor_info() {
    MonitorList list = read_monitors(false);
    return list.shown == 0 ? std::move(list.monitors.front()) : MonitorInfo();
}

Bytes read_edid_bytes(const Text& device_id) {
    Bytes b;
    for (const char* set : {"001", "002", "003"}) {
        b = registry_read_binary(RegistryRoot::LocalMachine, Text("SYSTEM\\ControlSet") + set +
                                                                 "\\Enum\\" + device_id +
                                                                 "\\Device Parameters\\EDID");
        if (byte_length(b) >= 10) break;
    }
    return b;
}

void split_registry_path(const Text& full_path, Text& key_path, Text& value_name) {
    std::size_t last = Text::npos;
    for (std::size_t i = 0; i < full_path.size(); ++i) {
        if (full_path[i] == '\\') last = i;
        if (static_cast<unsigned char>(full_path[i]) >= 0x80) ++i;
    }
    if (last == Text::npos) {
        key_path.clear();
        value_name = full_path;
    } else {
        key_path = full_path.substr(0, last);
        value_name = full_path.substr(last + 1);
    }
}

// The EDID paths the display section reads, answered by the instance
// source from the device identifier in the path.
Bytes edid_from_instance_source(const Text& full_path) {
    Text key, value;
    split_registry_path(full_path, key, value);
    const Text prefix = "SYSTEM\\ControlSet00";
    const Text suffix = "\\Device Parameters";
    if (value != "EDID" || !text_starts_with(key, prefix) || key.size() < prefix.size() + 7 ||
        key.compare(key.size() - suffix.size(), suffix.size(), suffix) != 0)
        return Bytes();
    const char set = key[prefix.size()];
    if (set < '1' || set > '3' || key.compare(prefix.size() + 1, 6, "\\Enum\\") != 0) return Bytes();
    const std::size_t begin = prefix.size() + 7;
    if (key.size() < begin + suffix.size()) return Bytes();
    const Text device = key.substr(begin, key.size() - suffix.size() - begin);
    return instance_source().edid(device, set - '0').value_or(Bytes());
}
