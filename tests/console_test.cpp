#include <gtest/gtest.h>

#include <sys/stat.h>

#include "process_support.h"
#include "test_support.h"

namespace {

const std::string kDell = edid_path("DEL-D12C-0d8aa809.bin");

// The eight monitor lines for the DELL S3422DWG, in UTF-8 (this file is UTF-8
// but its narrow literals are GBK, so the expectation is spelt in bytes).
const std::string kDellUtf8 =
    " \xE5\xBA\x8F\xE5\x88\x97\xE5\x8F\xB7\xEF\xBC\x9A" "5ZG4TH3\n"
    " \xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8ID\xEF\xBC\x9A\n"
    " \xE7\x94\x9F\xE4\xBA\xA7\xE6\x97\xA5\xE6\x9C\x9F\xEF\xBC\x9A"
    "2023\xE5\xB9\xB4\xE7\xAC\xAC" "5\xE5\x91\xA8\n"
    " \xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8\xE5\x93\x81\xE7\x89\x8C\xEF\xBC\x9A" "DEL\n"
    " \xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8\xE5\x9E\x8B\xE5\x8F\xB7\xEF\xBC\x9A" "DELL S3422DWG\n"
    " \xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8\xE5\xB0\xBA\xE5\xAF\xB8\xEF\xBC\x9A"
    "34.1\xE8\x8B\xB1\xE5\xAF\xB8\n"
    " \xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8\xE9\xAB\x98\xE5\xBA\xA6\xEF\xBC\x9A" "33\n"
    " \xE6\x98\xBE\xE7\xA4\xBA\xE5\x99\xA8\xE5\xAE\xBD\xE5\xBA\xA6\xEF\xBC\x9A" "80\n";

}  // namespace

TEST(ConsoleReport, EdidInBothEncodings) {
    ProcessResult r = run_report("--edid " + kDell);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kDellUtf8);
    EXPECT_EQ(r.err, "");
    ProcessResult raw = run_report("--raw --edid " + kDell);
    EXPECT_EQ(raw.status, 0);
    EXPECT_EQ(raw.out,
              " 序列号：5ZG4TH3\r\n 显示器ID：\r\n 生产日期：2023年第5周\r\n 显示器品牌：DEL\r\n"
              " 显示器型号：DELL S3422DWG\r\n 显示器尺寸：34.1英寸\r\n 显示器高度：33\r\n"
              " 显示器宽度：80\r\n");
}

TEST(ConsoleReport, WholeReportHasEveryBanner) {
    ProcessResult raw = run_report("--raw");
    ASSERT_EQ(raw.status, 0) << raw.err;
    for (const char* b : {"系统信息", "处理器信息", "显示器信息", "内存信息", "硬盘信息", "显卡信息", "主板信息"})
        EXPECT_NE(raw.out.find(b), std::string::npos) << b;
    EXPECT_NE(raw.out.find("\r\n耗时："), std::string::npos);
    ProcessResult utf8 = run_report("");
    ASSERT_EQ(utf8.status, 0);
    EXPECT_EQ(utf8.out.find('\r'), std::string::npos);
    EXPECT_NE(utf8.out.find("\xE8\x80\x97\xE6\x97\xB6\xEF\xBC\x9A"), std::string::npos);  // 耗时：
}

TEST(ConsoleReport, HelpAndVersion) {
    ProcessResult h = run_report("--help");
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("--edid FILE"), std::string::npos);
    EXPECT_NE(h.out.find("--raw"), std::string::npos);
    ProcessResult v = run_report("--version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("quorvin-report ", 0), 0u);
}

TEST(ConsoleReport, BadInputIsOneLineOnStderrAndStatusTwo) {
    char dir[] = "/tmp/qv-dirXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir;
    { std::ofstream(d + "/empty.bin"); }
    { std::ofstream(d + "/short.bin", std::ios::binary) << std::string(125, 'x'); }
    { std::ofstream(d + "/locked.bin", std::ios::binary) << std::string(128, 'x'); }
    chmod((d + "/locked.bin").c_str(), 0);
    struct Case {
        std::string args, needle;
    } cases[] = {
        {"--bogus", "--bogus"},
        {"--edid", "--edid"},
        {"--edid " + d + "/missing.bin", "missing.bin"},
        {"--edid " + d, "directory"},
        {"--edid " + d + "/empty.bin", "empty"},
        {"--edid " + d + "/short.bin", "125 bytes"},
        {"--edid " + edid_path("synthetic-len100.bin"), "100 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        ProcessResult r = run_report(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.needle), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    if (geteuid() != 0) {  // root reads any file
        ProcessResult r = run_report("--edid " + d + "/locked.bin");
        EXPECT_EQ(r.status, 2);
    }
    EXPECT_EQ(std::system(("rm -rf " + d).c_str()), 0);
}
