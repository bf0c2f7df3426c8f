// GCC 12 warns falsely about std::string concatenation here (its bug 105329).
#pragma GCC diagnostic ignored "-Wrestrict"

#include <gtest/gtest.h>

#include <deque>

#include "app/report.h"
#include "sections/system/system.h"

namespace {

// Every builder empty, as on a machine where nothing can be read.
ReportSources empty_sources(std::deque<std::uint32_t> ticks = {5000, 5000}) {
    ReportSources s;
    auto shared = std::make_shared<std::deque<std::uint32_t>>(std::move(ticks));
    s.tick = [shared] {
        std::uint32_t t = shared->front();
        if (shared->size() > 1) shared->pop_front();
        return t;
    };
    s.os = [](bool) { return OsFacts(); };
    s.chassis_and_maker = [](Text&, Text&) { return 0; };
    s.os_family = [] { return 0; };
    s.is_64bit = [] { return false; };
    s.host = [] { return Text(); };
    s.user_name = [] { return Text(); };
    s.processor_facts = [] { return ProcessorFacts(); };
    s.processor_signature = [] { return Text(); };
    s.display_mode = [](int, std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&) {};
    s.screens = [] { return 0; };
    s.taskbar = [] { return 0; };
    s.monitor = [](bool) { return MonitorList(); };
    s.memory = [](bool) { return MemoryFacts(); };
    s.disk = [](bool) { return DiskFacts(); };
    s.video = [](bool) { return VideoFacts(); };
    s.board = [](bool) { return BoardFacts(); };
    return s;
}

Text last_line(ReportSources s) {
    TextReportBox box;
    build_report(box, s);
    return box.pieces.back();
}

}  // namespace

TEST(ReportFrame, FortyOnePiecesInOrderWhenNothingIsKnown) {
    TextReportBox box;
    box.content = "typed by the user";
    build_report(box, empty_sources());
    const TextArray expected = {
        "**********************系统信息**********************\r\n",
        " 系统版本：\r\n",
        " 系统位宽：\r\n",
        " 操作系统：未知 （ - 制造商  ）\r\n",
        " 是否64位：假\r\n",
        " 取本机名：\r\n",
        " 取用户名：\r\n",
        "*********************处理器信息*********************\r\n",
        " CPU名称：\r\n",
        " CPU厂商：\r\n",
        " CPU接口：\r\n",
        " CPU数量：\r\n",
        " CPU位宽：\r\n",
        " CPU序列：\r\n",
        " CPU速度：主频- / 外频-\r\n",
        " CPU核心：核心-　　　 / 线程-\r\n",
        "*********************显示器信息*********************\r\n",
        " 屏幕数量：0\r\n",
        " 屏幕色深：0\r\n",
        " 刷新码率：0\r\n",
        " 屏幕宽度：0\r\n",
        " 屏幕高度：0\r\n",
        " 任务栏高度：0\r\n",
        " 序列号：\r\n",
        " 显示器ID：\r\n",
        " 生产日期：\r\n",
        " 显示器品牌：\r\n",
        " 显示器型号：\r\n",
        " 显示器尺寸：英寸\r\n",
        " 显示器高度：\r\n",
        " 显示器宽度：\r\n",
        "**********************内存信息**********************\r\n",
        " 数量：\r\n",
        "**********************硬盘信息**********************\r\n",
        " 数量：\r\n",
        "**********************显卡信息**********************\r\n",
        " 显卡型号：\r\n 显卡显存：\r\n 显卡厂商：\r\n 显卡驱动：\r\n 显卡数量：\r\n",
        "**********************主板信息**********************\r\n",
        " 信息品牌：\r\n 信息型号：\r\n 型号信息：\r\n",
        "****************************************************\r\n",
        "耗时：0s\r\n",
    };
    ASSERT_EQ(box.pieces.size(), 41u);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(box.pieces[i], expected[i]) << i;
    Text all;
    for (const auto& p : expected) all += p;
    EXPECT_EQ(box.content, all);  // the typed text is gone
    for (std::size_t i : {0u, 7u, 16u, 31u, 33u, 35u, 37u, 39u})
        EXPECT_EQ(box.pieces[i].size(), 54u) << i;
}

TEST(ReportFrame, ValuesLandOnTheirLines) {
    ReportSources s = empty_sources();
    s.os = [](bool) {
        OsFacts f;
        f.caption = "Win";
        f.bitness = "64位";
        f.bits = 64;
        return f;
    };
    s.chassis_and_maker = [](Text& n, Text& m) {
        n = "台式电脑";
        m = "Dell Inc.";
        return 3;
    };
    s.os_family = [] { return 12; };
    s.is_64bit = [] { return true; };
    s.processor_facts = [] {
        ProcessorFacts f;
        f.clock = "3000MHz";
        f.external_clock = "100MHz";
        f.cores = "4";
        f.threads = "8";
        return f;
    };
    s.display_mode = [](int device, std::int32_t& bpp, std::int32_t& w, std::int32_t& h,
                        std::int32_t& hz) {
        EXPECT_EQ(device, 0);
        bpp = 32, w = 1920, h = 1080, hz = 60;
    };
    s.memory = [](bool) {
        MemoryFacts m;
        m.modules.push_back({16, 17179869184.0, 3200, "Samsung", "S1"});
        m.count = "1";
        return m;
    };
    TextReportBox box;
    build_report(box, s);
    EXPECT_EQ(box.pieces[3], " 操作系统：Win10 （台式电脑 - 制造商 Dell Inc. ）\r\n");
    EXPECT_EQ(box.pieces[4], " 是否64位：真\r\n");
    EXPECT_EQ(box.pieces[14], " CPU速度：主频-3000MHz / 外频-100MHz\r\n");
    EXPECT_EQ(box.pieces[15], " CPU核心：核心-4　　　 / 线程-8\r\n");
    EXPECT_EQ(box.pieces[18], " 屏幕色深：32\r\n");
    EXPECT_EQ(box.pieces[19], " 刷新码率：60\r\n");
    EXPECT_EQ(box.pieces[20], " 屏幕宽度：1920\r\n");
    EXPECT_EQ(box.pieces[21], " 屏幕高度：1080\r\n");
    EXPECT_NE(box.content.find("内存信息**********************\r\n 内存1容量：16GB\r\n 内存1速度：3200MHZ\r\n"
                               " 内存1厂商：Samsung\r\n 内存1序列：S1\r\n 数量：1\r\n****"),
              Text::npos);
}

TEST(ReportFrame, ElapsedTimeInUnsignedMilliseconds) {
    EXPECT_EQ(last_line(empty_sources({0, 2345})), "耗时：2.345s\r\n");
    EXPECT_EQ(last_line(empty_sources({7, 1007})), "耗时：1s\r\n");
    EXPECT_EQ(last_line(empty_sources({9, 9})), "耗时：0s\r\n");
    // Past 2^24 ms a float start would lose the odd millisecond.
    EXPECT_EQ(last_line(empty_sources({(1u << 24) + 1, (1u << 24) + 1 + 1785})), "耗时：1.785s\r\n");
    // Across 2^31 ms the difference stays positive.
    EXPECT_EQ(last_line(empty_sources({(1u << 31) - 648, (1u << 31) + 352})), "耗时：1s\r\n");
    // And across the 2^32 wrap.
    EXPECT_EQ(elapsed_line(0xFFFFFF00u, 0x00000100u), "耗时：0.512s\r\n");
}

TEST(ReportFrame, FamilyLabels) {
    EXPECT_EQ(os_family_label(0), " 操作系统：未知 （");
    EXPECT_EQ(os_family_label(9), " 操作系统：Win7 （");
    EXPECT_EQ(os_family_label(12), " 操作系统：Win10 （");
    EXPECT_EQ(os_family_label(13), "");
    EXPECT_EQ(os_family_label(-1), "");
    ReportSources s = empty_sources();
    s.os_family = [] { return 13; };
    TextReportBox box;
    build_report(box, s);
    EXPECT_EQ(box.pieces.size(), 40u);  // an unknown code writes no line at all
}
