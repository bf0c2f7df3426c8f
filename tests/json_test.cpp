// The JSON form of the report: valid against docs/report.schema.json, the
// same values as the text report line by line, valid JSON whatever the
// values hold, and bad input refused as the text report refuses it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/report_json.h"
#include "process_support.h"
#include "test_support.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

const char* const kPython = "/usr/bin/python3";  // Debian's, with python3-jsonschema

std::string json_of_machine(const std::string& machine) {
    UseMachine m(machine);
    TextReportBox box;
    ReportFacts facts;
    build_report(box, &facts);
    return report_json(facts);
}

// The value a JSON field shows as in the text report.
std::string as_text(const Json& v) {
    if (v.is_null()) return "";
    if (v.is_string()) return v.get<std::string>();
    if (v.is_boolean()) return v.get<bool>() ? U8("真") : U8("假");
    if (v.is_number_integer()) return std::to_string(v.get<long long>());
    std::string s = v.dump();
    return s;
}

}  // namespace

TEST(Json, EveryMachineAndTreeValidatesAgainstTheSchema) {
    if (std::system((std::string(kPython) + " -c 'import jsonschema' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << kPython << " has no jsonschema (Debian's python3-jsonschema)";
    char dir[] = "/tmp/qv-jsonXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    int n = 0;
    for (const char* m : {"desktop.machine", "server.machine", "empty.machine", "monitors.machine",
                          "no-osarch.machine", "big-video.machine"})
        std::ofstream(std::string(dir) + "/" + std::to_string(n++) + ".json") << json_of_machine(m);
    for (const char* t : {"laptop", "server", "no-dmi", "this-vm"}) {
        const ProcessResult r = run_report("--json --root " + tree(t));
        ASSERT_EQ(r.status, 0) << r.err;
        std::ofstream(std::string(dir) + "/" + std::to_string(n++) + ".json") << r.out;
    }
    const std::string schema = std::string(QV_FIXTURES) + "/../docs/report.schema.json";
    const std::string check = std::string(kPython) +
                              " -c 'import json, sys, jsonschema\n"
                              "s = json.load(open(sys.argv[1]))\n"
                              "jsonschema.Draft202012Validator.check_schema(s)\n"
                              "for f in sys.argv[2:]:\n"
                              "    jsonschema.validate(json.load(open(f)), s)\n"
                              "print(len(sys.argv) - 2)' '" + schema + "' " + dir + "/*.json";
    EXPECT_EQ(sh(check), std::to_string(n));
    fs::remove_all(dir);
}

TEST(Json, EveryValueOfTheTextReportStandsInTheJson) {
    for (const char* t : {"laptop", "server", "no-dmi", "this-vm"}) {
        SCOPED_TRACE(t);
        const ProcessResult text = run_report("--root " + tree(t));
        const ProcessResult js = run_report("--json --root " + tree(t));
        ASSERT_EQ(js.status, 0) << js.err;
        const Json j = Json::parse(js.out);
        auto at = [&](const char* pointer) { return as_text(j.at(Json::json_pointer(pointer))); };
        // Each label with the field it shows, and the unit the text adds.
        const struct {
            const char8_t* label;
            const char* pointer;
            const char8_t* unit;
        } map[] = {
            {u8" 系统版本：", "/system/os_version", u8""},        {u8" 系统位宽：", "/system/os_bits", u8"位"},
            {u8" 是否64位：", "/system/is_64bit", u8""},          {u8" 取本机名：", "/system/host_name", u8""},
            {u8" 取用户名：", "/system/user_name", u8""},         {u8" CPU名称：", "/processor/name", u8""},
            {u8" CPU厂商：", "/processor/maker", u8""},           {u8" CPU接口：", "/processor/socket", u8""},
            {u8" CPU数量：", "/processor/count", u8""},           {u8" CPU位宽：", "/processor/data_width", u8"位"},
            {u8" CPU序列：", "/processor/signature", u8""},       {u8" 屏幕数量：", "/display/screens", u8""},
            {u8" 屏幕色深：", "/display/bits_per_pixel", u8""},   {u8" 刷新码率：", "/display/refresh_hz", u8""},
            {u8" 屏幕宽度：", "/display/width", u8""},            {u8" 屏幕高度：", "/display/height", u8""},
            {u8" 任务栏高度：", "/display/taskbar_height", u8""}, {u8" 序列号：", "/display/monitor/serial_number", u8""},
            {u8" 显示器ID：", "/display/monitor/id", u8""},       {u8" 生产日期：", "/display/monitor/production_date", u8""},
            {u8" 显示器品牌：", "/display/monitor/brand", u8""},  {u8" 显示器型号：", "/display/monitor/model", u8""},
            {u8" 显示器尺寸：", "/display/monitor/size_inches", u8"英寸"},
            {u8" 显示器高度：", "/display/monitor/height_cm", u8""},
            {u8" 显示器宽度：", "/display/monitor/width_cm", u8""}, {u8" 显卡型号：", "/video_controller/name", u8""},
            {u8" 显卡显存：", "/video_controller/memory_bytes", u8""}, {u8" 显卡厂商：", "/video_controller/maker", u8""},
            {u8" 显卡驱动：", "/video_controller/driver_version", u8""}, {u8" 显卡数量：", "/video_controller/count", u8""},
            {u8" 信息品牌：", "/motherboard/brand", u8""},        {u8" 信息型号：", "/motherboard/product", u8""},
            {u8" 型号信息：", "/motherboard/model", u8""},
        };
        auto utf8 = [](const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); };
        for (const auto& m : map)
            EXPECT_EQ(value_of(text.out, utf8(m.label)), at(m.pointer) + utf8(m.unit)) << m.pointer;
        EXPECT_EQ(value_of(text.out, U8(" 操作系统：")),
                  at("/system/os_family") + U8(" （") + at("/system/chassis") + U8(" - 制造商 ") +
                      at("/system/chassis_maker") + U8(" ）"));
        EXPECT_EQ(value_of(text.out, U8(" CPU速度：")), U8("主频-") + at("/processor/max_clock_mhz") + U8("MHz / 外频-") +
                                                          at("/processor/external_clock_mhz") + "MHz");
        EXPECT_EQ(value_of(text.out, U8(" CPU核心：")),
                  U8("核心-") + at("/processor/cores") + U8("　　　 / 线程-") + at("/processor/threads"));
        const auto& modules = j.at("memory").at("modules");
        for (std::size_t i = 0; i < modules.size(); ++i) {
            const std::string k = U8(" 内存") + std::to_string(i + 1);
            EXPECT_EQ(value_of(text.out, k + U8("容量：")), as_text(modules[i]["capacity_gb"]) + "GB");
            EXPECT_EQ(value_of(text.out, k + U8("速度：")), as_text(modules[i]["speed_mhz"]) + "MHZ");
            EXPECT_EQ(value_of(text.out, k + U8("厂商：")), as_text(modules[i]["maker"]));
            EXPECT_EQ(value_of(text.out, k + U8("序列：")), as_text(modules[i]["serial_number"]));
            EXPECT_EQ(modules[i]["capacity_gb"].get<long long>(),
                      static_cast<long long>(modules[i]["capacity_bytes"].get<double>() / 1073741824.0));
        }
        const auto& disks = j.at("disks").at("disks");
        for (std::size_t i = 0; i < disks.size(); ++i) {
            const std::string k = U8(" 磁盘") + std::to_string(i + 1);
            EXPECT_EQ(value_of(text.out, k + U8("型号：")), as_text(disks[i]["model"]));
            EXPECT_EQ(value_of(text.out, k + U8("容量：")), as_text(disks[i]["capacity_gb"]) + "GB");
            EXPECT_EQ(value_of(text.out, k + U8("类型：")), as_text(disks[i]["interface"]));
            EXPECT_EQ(disks[i]["capacity_gb"].get<long long>(), disks[i]["capacity_bytes"].get<long long>() >> 30);
        }
        // The count lines of the memory and disk sections, in that order.
        const auto mem_count = text.out.find(U8(" 数量："), text.out.find(U8("内存信息")));
        const auto disk_count = text.out.find(U8(" 数量："), text.out.find(U8("硬盘信息")));
        EXPECT_EQ(value_of(text.out.substr(mem_count - 1), U8(" 数量：")), at("/memory/count"));
        EXPECT_EQ(value_of(text.out.substr(disk_count - 1), U8(" 数量：")), at("/disks/count"));
        EXPECT_TRUE(j.at("elapsed_seconds").is_number());
    }
}

TEST(Json, AnyValueMakesValidJson) {
    ReportFacts f;
    f.os_caption = "a\"b\\c/d";
    f.cpu.name = Text("ctl\x01\x1f\x7f\r\n\t|") + Text(1, '\0') + "|";
    f.host = "内存";                           // GBK
    f.user = "bad\xff\xfe\x81";               // not GBK
    f.cpu.cores = "十六";                      // not a number: kept as text
    f.cpu.width = "64位";
    f.memory.modules.push_back({8, 8589934592.0, 3200, "x\"y", ""});
    const std::string out = report_json(f);
    const Json j = Json::parse(out);  // throws on invalid JSON or UTF-8
    EXPECT_EQ(j["system"]["os_version"], "a\"b\\c/d");
    EXPECT_EQ(j["processor"]["name"], std::string("ctl\x01\x1f\x7f\r\n\t|") + std::string(1, '\0') + "|");
    EXPECT_EQ(j["system"]["host_name"], U8("内存"));
    EXPECT_EQ(j["system"]["user_name"].get<std::string>().find("bad"), 0u);
    EXPECT_NE(j["system"]["user_name"].get<std::string>().find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(j["processor"]["cores"], U8("十六"));
    EXPECT_EQ(j["processor"]["data_width"], 64);
    EXPECT_TRUE(j["processor"]["socket"].is_null());
    EXPECT_EQ(j["memory"]["modules"][0]["capacity_bytes"], 8589934592LL);
    EXPECT_TRUE(j["memory"]["modules"][0]["serial_number"].is_null());
    for (char c : out) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
}

TEST(Json, BadInputAsTheTextReportHasIt) {
    const std::string edid = std::string(QV_FIXTURES) + "/data/edid/SAM-04D5-0f0995af.bin";
    for (const std::string& args : {std::string("--json --root /nonexistent-qv"), std::string("--json --raw"),
                                    "--json --edid " + edid, std::string("--json --root ''"),
                                    std::string("--json --bogus")}) {
        const ProcessResult r = run_report(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
}
