#include "app/report.h"

#include "automation/script_query.h"
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
    s.is_64bit = is_64bit_windows;
    s.host = host_name;
    s.user_name = read_user_name;
    s.processor_facts = read_processor_facts;
    s.processor_signature = read_processor_signature;
    s.display_mode = query_display_mode;
    s.screens = count_screens;
    s.taskbar = taskbar_thickness;
    s.monitor = read_monitor_info;
    s.memory = memory_section;
    s.disk = disk_section;
    s.video = video_controller_section;
    s.board = motherboard_section;
    return s;
}

void build_report(ReportBox& box) { build_report(box, machine_sources()); }

void build_report(ReportBox& box, const ReportSources& src) {
    const QuerySession queries;  // what the queries share lives for this report only
    const std::uint32_t start = src.tick();
    box.set_content(Text());

    box.append_text(banner("系统信息"));
    Text caption, bitness;
    src.os_caption_and_bitness(caption, bitness);
    box.append_text(" 系统版本：" + caption + "\r\n");
    box.append_text(" 系统位宽：" + bitness + "\r\n");
    Text chassis, maker;
    src.chassis_and_maker(chassis, maker);
    const Text label = os_family_label(src.os_family());
    if (!label.empty()) box.append_text(label + chassis + " - 制造商 " + maker + " ）\r\n");
    box.append_text(" 是否64位：" + to_text(src.is_64bit()) + "\r\n");
    box.append_text(" 取本机名：" + src.host() + "\r\n");
    box.append_text(" 取用户名：" + src.user_name() + "\r\n");

    box.append_text(banner("处理器信息"));
    const ProcessorFacts cpu = src.processor_facts();
    box.append_text(" CPU名称：" + cpu.name + "\r\n");
    box.append_text(" CPU厂商：" + cpu.maker + "\r\n");
    box.append_text(" CPU接口：" + cpu.socket + "\r\n");
    box.append_text(" CPU数量：" + cpu.count + "\r\n");
    box.append_text(" CPU位宽：" + cpu.width + "\r\n");
    box.append_text(" CPU序列：" + src.processor_signature() + "\r\n");
    box.append_text(" CPU速度：主频-" + cpu.clock + " / 外频-" + cpu.external_clock + "\r\n");
    box.append_text(" CPU核心：核心-" + cpu.cores + "　　　 / 线程-" + cpu.threads + "\r\n");

    box.append_text(banner("显示器信息"));
    std::int32_t bpp = 0, width = 0, height = 0, refresh = 0;
    src.display_mode(0, bpp, width, height, refresh);
    const std::int32_t screens = src.screens();
    box.append_text(" 屏幕数量：" + to_text(screens) + "\r\n");
    box.append_text(" 屏幕色深：" + to_text(bpp) + "\r\n");
    box.append_text(" 刷新码率：" + to_text(refresh) + "\r\n");
    box.append_text(" 屏幕宽度：" + to_text(width) + "\r\n");
    box.append_text(" 屏幕高度：" + to_text(height) + "\r\n");
    box.append_text(" 任务栏高度：" + to_text(src.taskbar()) + "\r\n");
    for (const Text& line : monitor_report_lines(src.monitor())) box.append_text(line);

    box.append_text(banner("内存信息"));
    box.append_text(src.memory());
    box.append_text(banner("硬盘信息"));
    box.append_text(src.disk());
    box.append_text(banner("显卡信息"));
    box.append_text(src.video());
    box.append_text(banner("主板信息"));
    box.append_text(src.board());
    box.append_text(repeat_text(52, "*") + "\r\n");
    box.append_text(elapsed_line(start, src.tick()));
}
