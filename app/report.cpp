#include "app/report.h"

#include "automation/script_query.h"
#include "io/host.h"
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
    s.os_caption_and_bitness = read_os_caption_and_bitness;
    s.chassis_and_maker = read_chassis_and_maker;
    s.os_family = read_os_family;
    s.is_64bit = read_64bit_answer;
    s.host = host_name;
    s.user_name = read_user_name;
    s.processor_facts = read_processor_facts;
    s.processor_signature = read_processor_signature;
    s.display_mode = query_display_mode;
    s.screens = count_screens;
    s.taskbar = taskbar_thickness;
    s.monitor = read_monitors;
    s.memory = read_memory_facts;
    s.disk = read_disk_facts;
    s.video = read_video_facts;
    s.board = read_board_facts;
    s.inventory = read_inventory;
    return s;
}

void build_report(ReportBox& box, ReportFacts* facts) { build_report(box, machine_sources(), facts); }

void build_report(ReportBox& box, const ReportSources& src, ReportFacts* facts) {
    ReportFacts f;
    const QuerySession queries;  // what the queries share lives for this report only
    const std::uint32_t start = src.tick();
    box.set_content(Text());

    box.append_text(banner("系统信息"));
    src.os_caption_and_bitness(f.os_caption, f.os_bitness);
    box.append_text(" 系统版本：" + f.os_caption + "\r\n");
    box.append_text(" 系统位宽：" + f.os_bitness + "\r\n");
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
    f.cpu = src.processor_facts();
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
    f.monitors = src.monitor(facts != nullptr);
    if (f.monitors.shown >= 0) f.monitor = f.monitors.monitors[static_cast<std::size_t>(f.monitors.shown)];
    for (const Text& line : monitor_report_lines(f.monitor)) box.append_text(line);

    box.append_text(banner("内存信息"));
    f.memory = src.memory();
    box.append_text(memory_section_text(f.memory));
    box.append_text(banner("硬盘信息"));
    f.disks = src.disk();
    box.append_text(disk_section_text(f.disks));
    box.append_text(banner("显卡信息"));
    f.video = src.video();
    box.append_text(video_section_text(f.video));
    box.append_text(banner("主板信息"));
    f.board = src.board();
    box.append_text(board_section_text(f.board));
    box.append_text(repeat_text(52, "*") + "\r\n");
    const std::uint32_t end = src.tick();
    box.append_text(elapsed_line(start, end));
    f.elapsed_ms = end - start;
    if (facts && src.inventory) f.inventory = src.inventory();
    if (facts) *facts = std::move(f);
}
