#include "sections/system/processor.h"

#include "sections/numbered_script.h"
#include "sections/script_lines.h"
#include "automation/script_query.h"
#include "reply/reply.h"

const char* const kProcessorScript =
    "Function GetA()\r\n"
    "Dim R, wmi, obj, i\r\n" QV_GETOBJECT_LINE QV_QUERY_LINE("Win32_Processor")
    "    For Each obj In A\r\n"
    "        i=i+1\r\n"
    "        R = \"处理器型号=\" & obj.Name & vbCrLf\r\n"
    "        R = R& \"处理器架构_数据=\" & obj.Description & vbCrLf\r\n"
    "        R = R& \"处理器厂商=\" & obj.Manufacturer & vbCrLf\r\n"
    "        R = R& \"处理器核心数=\" & obj.NumberOfCores & vbCrLf\r\n"
    "        R = R& \"处理器线程数=\" & obj.NumberOfLogicalProcessors & vbCrLf\r\n"
    "        R = R& \"处理器接口=\" & obj.SocketDesignation & vbCrLf\r\n"
    "        R = R& \"处理器位宽=\" & obj.DataWidth & \"位\" & vbCrLf\r\n"
    "        R = R& \"处理器外频=\" & obj.ExtClock & \"MHz\" & vbCrLf\r\n"
    "        R = R& \"处理器主频=\" & obj.MaxClockSpeed & \"MHz\" & vbCrLf\r\n"
    "    Next\r\n"
    "        R = R & \"处理器数量=\" & Cstr(i) & vbCrLf\r\n"
    "GetA = R\r\n"
    "End Function";

ProcessorFacts read_processor_facts() {
    const Text reply = run_script_query(kProcessorScript);
    ProcessorFacts f;
    const struct {
        const char* key;
        Text* field;
    } lines[] = {{"处理器型号", &f.name},          {"处理器架构_数据", &f.description}, {"处理器厂商", &f.maker},
                 {"处理器核心数", &f.cores},        {"处理器线程数", &f.threads},       {"处理器接口", &f.socket},
                 {"处理器位宽", &f.width},          {"处理器外频", &f.external_clock},  {"处理器主频", &f.clock},
                 {"处理器数量", &f.count}};
    for (const auto& l : lines) *l.field = reply_value(reply, l.key);
    return f;
}

const char* const kProcessorListScript =
    QV_NUMBERED_HEAD("Win32_Processor") QV_NUMBERED("Name") QV_NUMBERED("Description")
    QV_NUMBERED("Manufacturer") QV_NUMBERED("SocketDesignation") QV_NUMBERED("DataWidth")
    QV_NUMBERED("MaxClockSpeed") QV_NUMBERED("ExtClock") QV_NUMBERED("NumberOfCores")
    QV_NUMBERED("NumberOfLogicalProcessors") QV_NUMBERED_TAIL;

ProcessorEntry processor_entry(const NumberedInstance& p) {
    ProcessorEntry e;
    e.name = instance_value(p, "Name");
    e.description = instance_value(p, "Description");
    e.maker = instance_value(p, "Manufacturer");
    e.socket = instance_value(p, "SocketDesignation");
    e.data_width_text = instance_value(p, "DataWidth");
    e.max_clock_text = instance_value(p, "MaxClockSpeed");
    e.external_clock_text = instance_value(p, "ExtClock");
    e.cores_text = instance_value(p, "NumberOfCores");
    e.threads_text = instance_value(p, "NumberOfLogicalProcessors");
    e.data_width = quantity_of(e.data_width_text);
    e.max_clock_mhz = quantity_of(e.max_clock_text);
    e.external_clock_mhz = quantity_of(e.external_clock_text);
    e.cores = quantity_of(e.cores_text);
    e.threads = quantity_of(e.threads_text);
    return e;
}

std::vector<ProcessorEntry> read_processors() {
    std::vector<ProcessorEntry> out;
    for (const auto& p : numbered_instances(run_script_query(kProcessorListScript))) out.push_back(processor_entry(p));
    return out;
}

ProcessorFacts processor_facts_of(const std::vector<ProcessorEntry>& packages) {
    ProcessorFacts f;
    if (packages.empty()) return f;
    const ProcessorEntry& p = packages.back();
    f.name = p.name;
    f.description = p.description;
    f.maker = p.maker;
    f.cores = p.cores_text;
    f.threads = p.threads_text;
    f.socket = p.socket;
    f.width = p.data_width_text + "位";
    f.external_clock = p.external_clock_text + "MHz";
    f.clock = p.max_clock_text + "MHz";
    f.count = to_text(static_cast<std::int32_t>(packages.size()));
    return f;
}

Text format_processor_signature(std::uint32_t edx, std::uint32_t eax) {
    auto eight = [](std::uint32_t v) {
        Text h = hex_text(static_cast<std::int32_t>(v));
        return repeat_text(8 - text_length(h), "0") + h;
    };
    return eight(edx) + eight(eax);
}
