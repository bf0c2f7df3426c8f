#include "app/report.h"

#include "automation/script_query.h"
#include "sources/instance_source.h"
#include "sources/machine_file.h"

#include <climits>
#include "io/host.h"
#include "io/warnings.h"
#include "sections/display/display.h"
#include "sections/hardware/hardware.h"
#include "sections/system/system.h"

Text banner(const Text& title) {
    const int side = (52 - text_length(title)) / 2;
    return repeat_text(side, "*") + title + repeat_text(side, "*") + "\r\n";
}

Text elapsed_line(std::uint32_t start_tick, std::uint32_t end_tick) {
    // Unsigned difference: the tick wraps after 2^32 ms and must not go negative.
    const std::uint32_t ms = end_tick - start_tick;
    const float seconds = static_cast<float>(static_cast<double>(ms) / 1000.0);
    return "耗时：" + to_text(seconds) + "s\r\n";
}

TextArray monitor_report_lines(const MonitorInfo& m) {
    return {" 序列号：" + m.serial_number + "\r\n",
            " 显示器ID：" + m.monitor_id + "\r\n",
            " 生产日期：" + m.production_date + "\r\n",
            " 显示器品牌：" + m.brand + "\r\n",
            " 显示器型号：" + m.model + "\r\n",
            " 显示器尺寸：" + m.size_inches + "英寸\r\n",
            " 显示器高度：" + m.height_cm + "\r\n",
            " 显示器宽度：" + m.width_cm + "\r\n"};
}

Text monitor_lines(const MonitorInfo& m) {
    Text out;
    for (const Text& line : monitor_report_lines(m)) out += line;
    return out;
}

ReportSources machine_sources() {
    ReportSources s;
    s.tick = tick_count;
    s.os = read_os_facts;
    s.chassis_and_maker = read_chassis_and_maker;
    s.os_family = read_os_family;
    s.is_64bit = read_64bit_answer;
    s.host = host_name;
    s.user_name = read_user_name;
    s.processor_facts = read_processor_facts;
    s.processors = read_processors;
    s.processor_signature = read_processor_signature;
    s.display_mode = query_display_mode;
    s.screens = count_screens;
    s.taskbar = taskbar_thickness;
    s.monitor = read_monitors;
    s.memory = read_memory_facts;
    s.disk = read_disk_facts;
    s.video = read_video_facts;
    s.board = read_board_facts;
    s.firmware = read_firmware;
    s.identity = [] {
        IdentityFacts f = read_identity();
        // A machine the instance source describes has no install id here.
        if (reading_own_machine()) f.machine_id = read_machine_id();
        return f;
    };
    return s;
}

const char* const kMachineFactsClass = "Quorvin_Machine";

namespace {

// The one instance of the facts class, or none.
Instance machine_facts() {
    const auto list = instance_source().instances(kMachineFactsClass);
    return list && !list->empty() ? list->front() : Instance();
}

const PropertyValue* fact(const Instance& i, const char* name) {
    const auto it = i.properties.find(name);
    return it == i.properties.end() ? nullptr : &it->second;
}

Text fact_text(const Instance& i, const char* name) {
    const PropertyValue* v = fact(i, name);
    return v && v->kind == PropertyValue::Kind::String ? v->text : Text();
}

std::int32_t fact_number(const Instance& i, const char* name) {
    const PropertyValue* v = fact(i, name);
    if (!v || v->kind != PropertyValue::Kind::Integer || v->integer < INT32_MIN || v->integer > INT32_MAX) return 0;
    return static_cast<std::int32_t>(v->integer);
}

}  // namespace

ReportSources described_machine_sources() {
    ReportSources s = machine_sources();
    s.os_family = [] {
        const std::int32_t code = fact_number(machine_facts(), "OsFamily");
        return code >= 0 && code <= 12 ? static_cast<int>(code) : 0;
    };
    s.is_64bit = []() -> std::optional<bool> {
        const Instance facts = machine_facts();
        const PropertyValue* v = fact(facts, "Is64Bit");
        if (!v || v->kind != PropertyValue::Kind::Boolean) return std::nullopt;
        return v->boolean;
    };
    s.host = [] { return fact_text(machine_facts(), "HostName"); };
    s.user_name = [] { return fact_text(machine_facts(), "UserName"); };
    s.processor_signature = [] { return fact_text(machine_facts(), "ProcessorSignature"); };
    s.display_mode = [](int, std::int32_t& bpp, std::int32_t& w, std::int32_t& h, std::int32_t& hz) {
        const Instance i = machine_facts();
        bpp = fact_number(i, "BitsPerPixel"), w = fact_number(i, "Width"), h = fact_number(i, "Height");
        hz = fact_number(i, "RefreshRate");
    };
    s.screens = [] { return fact_number(machine_facts(), "Screens"); };
    s.taskbar = [] { return fact_number(machine_facts(), "TaskbarHeight"); };
    s.identity = [] {
        IdentityFacts f = read_identity();
        f.machine_id = fact_text(machine_facts(), "MachineId");
        return f;
    };
    s.os = [](bool whole) {
        OsFacts f = read_os_facts(whole);
        const PropertyValue* v = nullptr;
        const Instance facts = machine_facts();
        if (whole && (v = fact(facts, "UpdateRevision")) && v->kind == PropertyValue::Kind::Integer && v->integer >= 0)
            f.update_revision = v->integer;
        return f;
    };
    s.firmware = [] {
        FirmwareFacts f = read_firmware();
        const Text type = fact_text(machine_facts(), "FirmwareType");
        if (type == "uefi") f.uefi = true;
        else if (type == "legacy") f.uefi = false;
        else f.uefi.reset();
        return f;
    };
    return s;
}

std::string machine_facts_block(const ReportFacts& f) {
    using P = PropertyValue;
    std::string out = "\n[" + std::string(kMachineFactsClass) + "]\n";
    out += machine_file_line("OsFamily", P::of_integer(f.os_family));
    out += machine_file_line("Is64Bit", f.is_64bit ? P::of_boolean(*f.is_64bit) : P::null());
    out += machine_file_line("HostName", P::of_text(f.host));
    out += machine_file_line("UserName", P::of_text(f.user));
    out += machine_file_line("ProcessorSignature", P::of_text(f.cpu_signature));
    out += machine_file_line("BitsPerPixel", P::of_integer(f.bits_per_pixel));
    out += machine_file_line("Width", P::of_integer(f.width));
    out += machine_file_line("Height", P::of_integer(f.height));
    out += machine_file_line("RefreshRate", P::of_integer(f.refresh));
    out += machine_file_line("Screens", P::of_integer(f.screens));
    out += machine_file_line("TaskbarHeight", P::of_integer(f.taskbar));
    out += machine_file_line("MachineId", P::of_text(f.identity.machine_id));
    out += machine_file_line("UpdateRevision", f.os.update_revision ? P::of_integer(*f.os.update_revision) : P::null());
    out += machine_file_line("FirmwareType", f.firmware.uefi ? P::of_text(*f.firmware.uefi ? "uefi" : "legacy") : P::null());
    return out;
}

void build_report(ReportBox& box, ReportFacts* facts) { build_report(box, machine_sources(), facts); }

void build_report(ReportBox& box, const ReportSources& src, ReportFacts* facts) {
    ReportFacts f;
    const bool whole = facts != nullptr;
    const QuerySession queries;  // what the queries share lives for this report only
    clear_unread_notes();
    const std::uint32_t start = src.tick();
    box.set_content(Text());

    box.append_text(banner("系统信息"));
    f.os = src.os(whole);
    box.append_text(" 系统版本：" + f.os.caption + "\r\n");
    box.append_text(" 系统位宽：" + f.os.bitness + "\r\n");
    f.chassis_code = src.chassis_and_maker(f.chassis, f.chassis_maker);
    f.os_family = src.os_family();
    const Text label = os_family_label(f.os_family);
    if (!label.empty()) box.append_text(label + f.chassis + " - 制造商 " + f.chassis_maker + " ）\r\n");
    f.is_64bit = src.is_64bit();
    box.append_text(" 是否64位：" + (f.is_64bit ? to_text(*f.is_64bit) : Text()) + "\r\n");
    f.host = src.host();
    box.append_text(" 取本机名：" + f.host + "\r\n");
    f.user = src.user_name();
    box.append_text(" 取用户名：" + f.user + "\r\n");

    box.append_text(banner("处理器信息"));
    if (whole && src.processors) f.processors = src.processors();
    // A class without a property of the list (Server 2003 before the cores
    // update has no NumberOfCores) still gives the report's own values.
    f.cpu = f.processors.empty() ? src.processor_facts() : processor_facts_of(f.processors);
    const ProcessorFacts& cpu = f.cpu;
    box.append_text(" CPU名称：" + cpu.name + "\r\n");
    box.append_text(" CPU厂商：" + cpu.maker + "\r\n");
    box.append_text(" CPU接口：" + cpu.socket + "\r\n");
    box.append_text(" CPU数量：" + cpu.count + "\r\n");
    box.append_text(" CPU位宽：" + cpu.width + "\r\n");
    f.cpu_signature = src.processor_signature();
    box.append_text(" CPU序列：" + f.cpu_signature + "\r\n");
    box.append_text(" CPU速度：主频-" + cpu.clock + " / 外频-" + cpu.external_clock + "\r\n");
    box.append_text(" CPU核心：核心-" + cpu.cores + "　　　 / 线程-" + cpu.threads + "\r\n");

    box.append_text(banner("显示器信息"));
    src.display_mode(0, f.bits_per_pixel, f.width, f.height, f.refresh);
    f.screens = src.screens();
    box.append_text(" 屏幕数量：" + to_text(f.screens) + "\r\n");
    box.append_text(" 屏幕色深：" + to_text(f.bits_per_pixel) + "\r\n");
    box.append_text(" 刷新码率：" + to_text(f.refresh) + "\r\n");
    box.append_text(" 屏幕宽度：" + to_text(f.width) + "\r\n");
    box.append_text(" 屏幕高度：" + to_text(f.height) + "\r\n");
    f.taskbar = src.taskbar();
    box.append_text(" 任务栏高度：" + to_text(f.taskbar) + "\r\n");
    f.monitors = src.monitor(whole);
    if (f.monitors.shown >= 0) f.monitor = f.monitors.monitors[static_cast<std::size_t>(f.monitors.shown)];
    for (const Text& line : monitor_report_lines(f.monitor)) box.append_text(line);

    box.append_text(banner("内存信息"));
    f.memory = src.memory(whole);
    box.append_text(memory_section_text(f.memory));
    box.append_text(banner("硬盘信息"));
    f.disks = src.disk(whole);
    box.append_text(disk_section_text(f.disks));
    box.append_text(banner("显卡信息"));
    f.video = src.video(whole);
    box.append_text(video_section_text(f.video));
    box.append_text(banner("主板信息"));
    f.board = src.board(whole);
    box.append_text(board_section_text(f.board));
    box.append_text(repeat_text(52, "*") + "\r\n");
    const std::uint32_t end = src.tick();
    box.append_text(elapsed_line(start, end));
    f.elapsed_ms = end - start;
    if (whole && src.identity) f.identity = src.identity();
    if (whole && src.firmware) f.firmware = src.firmware();
    if (facts) *facts = std::move(f);
}
