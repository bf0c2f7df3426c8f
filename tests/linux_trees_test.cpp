// Reports of captured machine trees, and --capture's round trip.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "process_support.h"
#include "test_support.h"

TEST(CapturedTrees, Laptop) {
    const ProcessResult r = run_report("--root " + tree("laptop"));
    ASSERT_EQ(r.status, 0) << r.err;
    expect_lines_in_order(r.out, {
        U8(" 系统版本：Ubuntu 22.04.4 LTS"), U8(" 系统位宽：64位"), U8(" 操作系统：未知 （笔记本 - 制造商 LENOVO ）"),
        U8(" 取本机名：thinkpad"),
        U8(" CPU名称：11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz"), U8(" CPU厂商：GenuineIntel"),
        U8(" CPU接口：U3E1"), U8(" CPU数量：1"), U8(" CPU位宽：64位"),
        U8(" CPU速度：主频-2800MHz / 外频-100MHz"), U8(" CPU核心：核心-4　　　 / 线程-8"),  // the clock the name states
        U8(" 屏幕数量：1"), U8(" 屏幕色深：32"), U8(" 刷新码率：60"), U8(" 屏幕宽度：1920"), U8(" 屏幕高度：1200"),
        U8(" 任务栏高度：0"), U8(" 序列号："), U8(" 显示器ID：CSO1410"), U8(" 生产日期：2021年第0周"),
        U8(" 显示器品牌：CSO"), U8(" 显示器型号：MNE507ZA1-1"), U8(" 显示器尺寸：14.5英寸"),
        U8(" 显示器高度：20"), U8(" 显示器宽度：31"),
        U8(" 内存1容量：8GB"), U8(" 内存1速度：4267MHZ"), U8(" 内存1厂商：Samsung"), U8(" 内存1序列：00000000"),
        U8(" 内存2容量：8GB"), U8(" 数量：2"),
        U8(" 磁盘1型号：SAMSUNG MZVLB512HBJQ-000L7"), U8(" 磁盘1容量：476GB"), U8(" 磁盘1类型：SCSI"), U8(" 数量：1"),
        U8(" 显卡型号：TigerLake-LP GT2 [Iris Xe Graphics]"), U8(" 显卡显存："), U8(" 显卡厂商：Intel Corporation"),
        U8(" 显卡驱动：6.5.0-35-generic"), U8(" 显卡数量：1"),  // i915 is in the kernel
        U8(" 信息品牌：LENOVO"), U8(" 信息型号：20XWCTO1WW"), U8(" 型号信息：20XWCTO1WW"),
    });
}

TEST(CapturedTrees, ServerWithManyModulesAndMixedDisks) {
    const ProcessResult r = run_report("--root " + tree("server"));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = {
        U8(" 操作系统：未知 （机架式服务器 - 制造商 Dell Inc. ）"), U8(" 取本机名：rack-07"),
        U8(" CPU名称：AMD EPYC 7302 16-Core Processor"), U8(" CPU接口：CPU2"), U8(" CPU数量：2"),
        U8(" CPU速度：主频-3300MHz / 外频-100MHz"), U8(" CPU核心：核心-16　　　 / 线程-32"),
        U8(" 屏幕数量：0"), U8(" 显示器品牌：")};
    for (int i = 1; i <= 10; ++i) lines.push_back(U8(" 内存") + std::to_string(i) + U8("容量：32GB"));
    for (int i = 11; i <= 14; ++i) lines.push_back(U8(" 内存") + std::to_string(i) + U8("容量：16GB"));
    for (const char8_t* l : {u8" 内存15容量：64GB", u8" 内存15速度：2933MHZ", u8" 内存15厂商：Micron",
                          u8" 内存15序列：BIG0", u8" 数量：15",
                          u8" 磁盘1型号：Dell Ent NVMe P5500 RI U.2 1.92TB", u8" 磁盘1容量：1490GB", u8" 磁盘1类型：SCSI",
                          u8" 磁盘2型号：PERC H745 Frnt", u8" 磁盘2容量：1788GB", u8" 磁盘2类型：SCSI",
                          u8" 磁盘3型号：ST2000NM0008-2F3100", u8" 磁盘3容量：1863GB", u8" 磁盘3类型：IDE",
                          u8" 磁盘4型号：Cruzer Blade", u8" 磁盘4容量：28GB", u8" 磁盘4类型：USB", u8" 数量：4",
                          u8" 显卡型号：Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]", u8" 显卡显存：17163091968",
                          u8" 显卡厂商：Advanced Micro Devices, Inc. [AMD/ATI]", u8" 显卡驱动：6.2.4", u8" 显卡数量：1",
                          u8" 信息品牌：Dell Inc.", u8" 信息型号：0W23H8", u8" 型号信息：PowerEdge R7515"})
        lines.push_back(reinterpret_cast<const char*>(l));
    expect_lines_in_order(r.out, lines);
    EXPECT_EQ(r.out.find(U8("磁盘5")), std::string::npos);  // loop, zram, dm and sr are no disks
}

TEST(CapturedTrees, MachineWithoutDmi) {
    const ProcessResult r = run_report("--root " + tree("no-dmi"));
    ASSERT_EQ(r.status, 0) << r.err;
    expect_lines_in_order(r.out, {
        U8(" 系统版本：Alpine Linux v3.19"), U8(" 系统位宽：64位"), U8(" 操作系统：未知 （ - 制造商  ）"),
        U8(" 取本机名：pi"), U8(" CPU名称："), U8(" CPU厂商：ARM"), U8(" CPU接口："), U8(" CPU数量：1"),
        U8(" CPU位宽：64位"), U8(" CPU速度：主频-MHz / 外频-MHz"), U8(" CPU核心：核心-2　　　 / 线程-2"),
        U8(" 数量："), U8(" 磁盘1型号："), U8(" 磁盘1容量：29GB"), U8(" 磁盘1类型：SD"), U8(" 数量：1"),
        U8(" 显卡型号："), U8(" 显卡数量："), U8(" 信息品牌："), U8(" 信息型号："), U8(" 型号信息："),
    });
}

TEST(CapturedTrees, CaptureThenReportGivesTheSameReport) {
    char dir[] = "/tmp/qv-capXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = std::string(dir) + "/tree";
    for (const std::string& from : {std::string(), "--root " + tree("laptop")}) {
        std::filesystem::remove_all(d);
        const ProcessResult live = run_report(from + " --capture " + d);
        ASSERT_EQ(live.status, 0) << live.err;
        const ProcessResult again = run_report("--root " + d);
        ASSERT_EQ(again.status, 0);
        EXPECT_EQ(without_elapsed(again.out), without_elapsed(live.out)) << from;
    }
    EXPECT_EQ(run_report("--root " + std::string(dir) + "/nothing-here").status, 2);
    EXPECT_EQ(run_report("--root").status, 2);
    std::filesystem::remove_all(dir);
}

TEST(CapturedTrees, HostileTreeStillReports) {
    char dir[] = "/tmp/qv-hostileXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::filesystem::path r = dir;
    auto put = [&](const std::string& path, const std::string& data) {
        std::filesystem::create_directories((r / path).parent_path());
        std::ofstream(r / path, std::ios::binary) << data;
    };
    put("etc/os-release", "PRETTY_NAME=\"" + std::string(3 << 20, '\xFF') + "\n");
    std::string garbage;
    for (int i = 0; i < 200000; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
    put("proc/cpuinfo", "processor\t: 0\nmodel name\t: " + std::string(100000, 'A') + "\n" + garbage);
    put("sys/firmware/dmi/tables/DMI", std::string("\x11\x5c\x00\x01\x00\x40", 6));  // cut short
    put("sys/class/dmi/id/chassis_type", std::string("\x00\x01 no number\n", 13));
    put("sys/class/dmi/id/product_name", std::string(70000, 'x'));
    std::filesystem::create_directories(r / "sys");
    std::filesystem::create_directory_symlink("../sys/block", r / "sys/block");  // a loop
    put("sys/bus/pci/devices/0000:00:02.0/class", "0x030000\n");
    put("sys/bus/pci/devices/0000:00:02.0/vendor", "zzzz\n");
    std::filesystem::create_symlink("device", r / "sys/bus/pci/devices/0000:00:02.0/device");
    put("sys/class/drm/card0-DP-1/status", "connected\n");
    put("sys/class/drm/card0-DP-1/edid", std::string(11, '\0'));
    put("sys/class/drm/card0-DP-2/status", "connected\n");
    put("sys/class/drm/card0-DP-2/edid", std::string("\x00\xff\xff\xff\xff\xff\xff\x00\x10\xac", 10) + garbage.substr(0, 118));
    put("sys/class/graphics/fb0/bits_per_pixel", "-5\n");
    put("sys/class/graphics/fb0/virtual_size", "99999999999999999999,\n");
    std::filesystem::create_directories(r / "usr/share/misc");
    ASSERT_EQ(mkfifo((r / "usr/share/misc/pci.ids").c_str(), 0644), 0);  // must not block
    const ProcessResult rep = run_report("--root " + r.string());
    EXPECT_EQ(rep.status, 0) << rep.err;
    for (const char8_t* b : {u8"系统信息", u8"处理器信息", u8"显示器信息", u8"内存信息", u8"硬盘信息", u8"显卡信息", u8"主板信息"})
        EXPECT_NE(rep.out.find(reinterpret_cast<const char*>(b)), std::string::npos);
    EXPECT_NE(rep.out.find(U8(" 屏幕宽度：0\n")), std::string::npos);
    EXPECT_NE(rep.out.find(U8(" 显示器品牌：DEL\n")), std::string::npos);  // DP-2's block decodes
    std::filesystem::remove_all(r);
}

TEST(CapturedTrees, WhatOnlyASystemCallGivesIsTheTreesOwn) {
    const ProcessResult here = run_report("");
    // The laptop's own: an Intel of family 6 model 140 stepping 1, captured by alice.
    const ProcessResult laptop = run_report("--root " + tree("laptop"));
    EXPECT_EQ(value_of(laptop.out, U8(" CPU序列：")), "BFEBFBFF000806C1");
    EXPECT_EQ(value_of(laptop.out, U8(" 取用户名：")), "alice");
    EXPECT_EQ(value_of(laptop.out, U8(" 是否64位：")), U8("真"));
    // An ARM board: no identification instruction, whatever this machine has.
    const ProcessResult pi = run_report("--root " + tree("no-dmi"));
    EXPECT_EQ(value_of(pi.out, U8(" CPU序列：")), "");
    EXPECT_EQ(value_of(pi.out, U8(" 取用户名：")), "pi");
    // A tree captured before the state was kept says nothing of them.
    const ProcessResult old = run_report("--root " + tree("this-vm"));
    for (const std::string& label : {U8(" CPU序列："), U8(" 取用户名："), U8(" 是否64位：")}) {
        EXPECT_EQ(value_of(old.out, label), "") << label;
        EXPECT_NE(value_of(here.out, label), "") << label;  // this machine has each
    }
    const ProcessResult js = run_report("--json --root " + tree("this-vm"));
    for (const char* key : {"\"processor_signature\": null", "\"user_name\": null", "\"is_64bit\": null"})
        EXPECT_NE(js.out.find(key), std::string::npos) << key;
}
