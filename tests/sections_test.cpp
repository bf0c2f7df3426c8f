#include <gtest/gtest.h>

#include <fstream>

#include "automation/script_query.h"
#include "reply/reply.h"
#include "sections/display/display.h"
#include "sections/hardware/hardware.h"
#include "sections/system/processor.h"
#include "sections/system/system.h"
#include "test_support.h"

TEST(QueryScripts, ByteForByte) {
    std::ifstream in(machine_path("scripts.txt"));
    std::map<std::string, Text> scripts;
    std::string line, name;
    while (std::getline(in, line)) {
        if (line.rfind("=== ", 0) == 0) {
            name = line.substr(4);
            continue;
        }
        Text& s = scripts[name];
        if (!s.empty()) s += "\r\n";
        s += utf8_to_gbk(line);
    }
    ASSERT_EQ(scripts.size(), 10u);
    EXPECT_EQ(Text(kOsScript), scripts["os"]);
    EXPECT_EQ(Text(kChassisTypeScript), scripts["chassis"]);
    EXPECT_EQ(Text(kEnclosureMakerScript), scripts["maker"]);
    EXPECT_EQ(Text(kProcessorScript), scripts["processor"]);
    EXPECT_EQ(Text(kMonitorScript), scripts["monitor"]);
    EXPECT_EQ(Text(kMemoryScript), scripts["memory"]);
    EXPECT_EQ(Text(kDiskScript), scripts["disk"]);
    EXPECT_EQ(Text(kVideoControllerScript), scripts["video"]);
    EXPECT_EQ(Text(kBaseBoardScript), scripts["board"]);
    EXPECT_EQ(Text(kComputerModelScript), scripts["model"]);
    EXPECT_EQ(text_length(kMonitorScript), 546);
}

TEST(FixtureMachines, DesktopWholeReport) {
    UseMachine m("desktop.machine");
    TextReportBox box;
    build_report(box, fixture_sources());
    EXPECT_EQ(box.content, golden(machine_path("desktop.golden")));
    EXPECT_EQ(box.pieces.size(), 41u);
}

TEST(FixtureMachines, DesktopReplies) {
    UseMachine m("desktop.machine");
    EXPECT_EQ(run_script_query(kMemoryScript),
              "内存1容量=8589934592\r\n内存1速度=2666\r\n内存1厂商=Samsung\r\n内存1序列号=12345678\r\n"
              "内存2容量=8589934592\r\n内存2速度=2666\r\n内存2厂商=Samsung\r\n内存2序列号=87654321\r\n"
              "数量=2\r\n");
    EXPECT_EQ(line_count(run_script_query(kProcessorScript)), 11);  // ten lines and the empty rest
    EXPECT_EQ(run_script_query_number(kChassisTypeScript), 3.0);
    EXPECT_EQ(run_script_query(kChassisTypeScript), "");  // an array is no text
    EXPECT_EQ(run_script_query(kComputerModelScript), "OptiPlex 7060");
}

TEST(FixtureMachines, ServerSections) {
    UseMachine m("server.machine");
    Text caption, bitness, chassis, maker;
    read_os_caption_and_bitness(caption, bitness);
    EXPECT_EQ(caption, "Microsoft Windows Server 2019 Datacenter Build Lab  ");  // its whole line, "Build" and all
    EXPECT_EQ(bitness, "64位");
    read_chassis_and_maker(chassis, maker);
    EXPECT_EQ(chassis, "机架式服务器");  // the last enclosure, its first type
    EXPECT_EQ(maker, "Supermicro   ");  // not cleaned

    const ProcessorFacts cpu = read_processor_facts();
    EXPECT_EQ(cpu.socket, "CPU2");
    EXPECT_EQ(cpu.count, "2");
    EXPECT_EQ(cpu.cores, "16");
    EXPECT_EQ(cpu.threads, "32");
    EXPECT_EQ(cpu.width, "64位");
    EXPECT_EQ(cpu.clock, "2101MHz");
    EXPECT_EQ(cpu.external_clock, "100MHz");
    EXPECT_EQ(cpu.description, "Intel64 Family 6 Model 85 Stepping 4");

    Text memory;
    for (int i = 1; i <= 9; ++i)
        memory += " 内存" + to_text(i) + "容量：32GB\r\n 内存" + to_text(i) + "速度：2933MHZ\r\n 内存" +
                  to_text(i) + "厂商：Micron\r\n 内存" + to_text(i) + "序列：SN0" + to_text(i) + "\r\n";
    memory +=
        " 内存10容量：16GB\r\n 内存10速度：2933MHZ\r\n 内存10厂商：Hynix=SK\r\n 内存10序列：SN10\r\n"
        " 内存11容量：3GB\r\n 内存11速度：2933MHZ\r\n 内存11厂商：Micron\r\n 内存11序列：SN11  \r\n"
        " 内存12容量：0GB\r\n 内存12速度：2400MHZ\r\n 内存12厂商：Micron\r\n 内存12序列：SN12\r\n"
        " 数量：12\r\n";
    EXPECT_EQ(memory_section(), memory);
    EXPECT_EQ(disk_section(),
              " 磁盘1型号：LSI MR9361-8i=SCSI Disk Device\r\n 磁盘1容量：1862GB\r\n 磁盘1类型：SCSI\r\n 数量：1\r\n");
    EXPECT_EQ(video_controller_section(),
              " 显卡型号：\r\n 显卡显存：\r\n 显卡厂商：\r\n 显卡驱动：\r\n 显卡数量：\r\n");
    EXPECT_EQ(motherboard_section(),
              " 信息品牌：Supermicro 型号 X11\r\n 信息型号：\r\n 型号信息：Rack\x1A\x1AServer\r\n");  // no line of its own
    EXPECT_EQ(read_monitor_info().brand, "");
}

TEST(FixtureMachines, VideoMemoryOfFourGigabyteCards) {
    UseMachine m("big-video.machine");
    EXPECT_NE(run_script_query(kVideoControllerScript).find("显存=-1048576\r\n"), Text::npos);
    EXPECT_EQ(video_controller_section(), " 显卡型号：AMD Radeon RX 6800 XT\r\n 显卡显存：4293918720\r\n"
                                          " 显卡厂商：Advanced Micro Devices, Inc.\r\n 显卡驱动：31.0.21912.14\r\n"
                                          " 显卡数量：1\r\n");
}

TEST(FixtureMachines, VideoMemoryAtTheSignedEdges) {
    // What WMI hands for a 2 GiB and a 4 GiB - 1 card, and a figure no
    // 32-bit value can be, which stays as it came.
    const std::pair<const char*, const char*> cases[] = {
        {"-2147483648", "2147483648"}, {"-1", "4294967295"}, {"-2147483649", "-2147483649"}};
    for (const auto& [wmi, shown] : cases) {
        const std::string path = ::testing::TempDir() + "/qv-video.machine";
        std::ofstream(path) << "[Win32_VideoController]\nName = text Card\nAdapterCompatibility = null\n"
                                "DriverVersion = null\nAdapterRAM = int " << wmi << "\n";
        MachineFile machine = MachineFile::load(path);
        set_instance_source(&machine);
        EXPECT_NE(video_controller_section().find(Text(" 显卡显存：") + shown + "\r\n"), Text::npos) << wmi;
        set_instance_source(nullptr);
    }
}

TEST(FixtureMachines, NoInstanceAnywhere) {
    UseMachine m("empty.machine");
    EXPECT_EQ(run_script_query(kMemoryScript), "数量=\r\n");
    EXPECT_EQ(run_script_query(kOsScript), "获取成功=\r\n");
    EXPECT_EQ(run_script_query(kComputerModelScript), "");
    EXPECT_EQ(run_script_query_number(kChassisTypeScript), 0.0);
    Text caption = "x", bitness = "y", chassis, maker = "z";
    read_os_caption_and_bitness(caption, bitness);
    EXPECT_EQ(caption, "");
    EXPECT_EQ(bitness, "");
    read_chassis_and_maker(chassis, maker);
    EXPECT_EQ(chassis, "");
    EXPECT_EQ(maker, "");
    const ProcessorFacts cpu = read_processor_facts();
    EXPECT_EQ(cpu.name, "");  // the empty count after "处理器数量="
    EXPECT_EQ(cpu.count, "");
    EXPECT_EQ(memory_section(), " 数量：\r\n");
    EXPECT_EQ(disk_section(), " 数量：\r\n");
    EXPECT_EQ(video_controller_section(),
              " 显卡型号：\r\n 显卡显存：\r\n 显卡厂商：\r\n 显卡驱动：\r\n 显卡数量：\r\n");
    EXPECT_EQ(motherboard_section(), " 信息品牌：\r\n 信息型号：\r\n 型号信息：\r\n");
    EXPECT_TRUE(read_monitor_info().edid_bytes.empty());
}

TEST(FixtureMachines, MissingOsArchitectureEmptiesTheWholeReply) {
    UseMachine m("no-osarch.machine");
    EXPECT_EQ(run_script_query(kOsScript), "");
    Text caption, bitness, chassis, maker;
    read_os_caption_and_bitness(caption, bitness);
    EXPECT_EQ(caption, "");
    EXPECT_EQ(bitness, "");
    read_chassis_and_maker(chassis, maker);  // other queries still answer
    EXPECT_EQ(chassis, "笔记本");
    EXPECT_EQ(maker, "LENOVO");
}

TEST(FixtureMachines, MonitorSearchAndControlSetFallback) {
    UseMachine m("monitors.machine");
    // 5 bytes in 001 are too few; 002 has the block, so 003 is never read.
    EXPECT_EQ(read_edid_bytes("DISPLAY\\HWP4250\\4&2&UID1").size(), 128u);
    EXPECT_TRUE(read_edid_bytes("DISPLAY\\NONE\\0").empty());
    const MonitorInfo info = read_monitor_info();  // the first monitor has no id
    EXPECT_EQ(info.monitor_id, "HWP4250");
    EXPECT_EQ(info.brand, "HWP");
    EXPECT_EQ(info.model, "HP All-in-One");
    EXPECT_EQ(info.production_date, "2014年第45周");
    EXPECT_EQ(info.size_inches, "21.7");
    Text key, value;
    split_registry_path("A\\B\\EDID", key, value);
    EXPECT_EQ(key, "A\\B");
    EXPECT_EQ(value, "EDID");
    split_registry_path("A\\\x81\\", key, value);  // 0x5C as a trail byte is no separator
    EXPECT_EQ(key, "A");
    EXPECT_EQ(value, "\x81\\");
    EXPECT_TRUE(registry_read_binary(RegistryRoot::LocalMachine,
                                     "SYSTEM\\ControlSet004\\Enum\\DISPLAY\\HWP4250\\4&2&UID1\\Device Parameters\\EDID")
                    .empty());
}

TEST(Sections, ChassisTableAndFamilyCodes) {
    EXPECT_EQ(chassis_name(1), "兼容机");
    EXPECT_EQ(chassis_name(3), "台式电脑");
    EXPECT_EQ(chassis_name(9), "便携式式计算机");
    EXPECT_EQ(chassis_name(10), "笔记本");
    EXPECT_EQ(chassis_name(24), "密封式计算机");
    EXPECT_EQ(chassis_name(0), "");
    EXPECT_EQ(chassis_name(25), "");
    EXPECT_EQ(chassis_name(35), "");
    EXPECT_EQ(os_family_from_version(10, 0), 12);
    EXPECT_EQ(os_family_from_version(6, 2), 10);
    EXPECT_EQ(os_family_from_version(6, 3), 11);
    EXPECT_EQ(os_family_from_version(6, 4), 12);  // the Windows 10 previews: the last of the table
    EXPECT_EQ(os_family_from_version(6, 5), 0);
    EXPECT_EQ(os_family_from_version(5, 3), 12);
    EXPECT_EQ(os_family_from_version(5, 1), 6);
    EXPECT_EQ(os_family_from_version(4, 90), 4);
    EXPECT_EQ(os_family_from_version(0xFFFFFFFFu, 0), 12);
    EXPECT_EQ(os_family_95(0x530000, 0x530000, 0), 1);
    EXPECT_EQ(os_family_95(0, 0x530000, 0), 2);
    EXPECT_EQ(os_family_95(0, 0, 0x530000), 3);
    EXPECT_EQ(os_family_95(0, 0, 0), 0);
    EXPECT_EQ(format_processor_signature(0xBFEBFBFF, 0x906EA), "BFEBFBFF000906EA");
    EXPECT_EQ(format_processor_signature(0, 0), "0000000000000000");
}
