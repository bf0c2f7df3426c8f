// The JSON form of the report: valid against docs/report.schema.json, the
// same values as the text report, every instance of what a machine has
// several of, its identity and provenance, ASCII whatever the values hold,
// and bad input refused as the text report refuses it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <ctime>
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
    return report_json(facts, JsonContext{"test", std::time(nullptr), "", false, ""});
}

Json json_of_tree(const std::string& name) {
    const ProcessResult r = run_report("--json --root " + tree(name));
    EXPECT_EQ(r.status, 0) << r.err;
    return Json::parse(r.out);
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
    for (const char* t : {"laptop", "docked", "server", "no-dmi", "this-vm"}) {
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
    for (const char* t : {"laptop", "docked", "server", "no-dmi", "this-vm"}) {
        SCOPED_TRACE(t);
        const ProcessResult text = run_report("--root " + tree(t));
        const Json j = json_of_tree(t);
        auto at = [&](const std::string& pointer) { return as_text(j.at(Json::json_pointer(pointer))); };
        // The text report shows the last processor package and the first
        // video controller; a value it shows as 0 is null in the JSON.
        const std::string cpu = j.at("processors").empty() ? "" : "/processors/" + std::to_string(j["processors"].size() - 1);
        auto or0 = [&](const std::string& pointer) {
            const std::string v = at(pointer);
            return v.empty() ? std::string("0") : v;
        };
        const struct {
            const char8_t* label;
            std::string value;
        } map[] = {
            {u8" 系统版本：", at("/system/os_version")},
            {u8" 系统位宽：", at("/system/os_bits") + (j["system"]["os_bits"].is_null() ? "" : U8("位"))},
            {u8" 是否64位：", at("/system/is_64bit")},
            {u8" 取本机名：", at("/system/host_name")},
            {u8" 取用户名：", at("/system/user_name")},
            {u8" CPU名称：", cpu.empty() ? "" : at(cpu + "/name")},
            {u8" CPU厂商：", cpu.empty() ? "" : at(cpu + "/maker")},
            {u8" CPU接口：", cpu.empty() ? "" : at(cpu + "/socket")},
            {u8" CPU数量：", std::to_string(j["processors"].size())},
            {u8" CPU序列：", at("/processor_signature")},
            {u8" 屏幕数量：", at("/display/screens")},
            {u8" 屏幕色深：", or0("/display/bits_per_pixel")},
            {u8" 刷新码率：", or0("/display/refresh_hz")},
            {u8" 屏幕宽度：", or0("/display/width")},
            {u8" 屏幕高度：", or0("/display/height")},
            {u8" 任务栏高度：", at("/display/taskbar_height")},
            {u8" 信息品牌：", at("/motherboard/brand")},
            {u8" 信息型号：", at("/motherboard/product")},
            {u8" 型号信息：", at("/motherboard/model")},
        };
        auto utf8 = [](const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); };
        for (const auto& m : map) EXPECT_EQ(value_of(text.out, utf8(m.label)), m.value) << utf8(m.label);
        if (!cpu.empty()) {
            EXPECT_EQ(value_of(text.out, U8(" CPU位宽：")), at(cpu + "/data_width") + U8("位"));
            EXPECT_EQ(value_of(text.out, U8(" CPU速度：")), U8("主频-") + at(cpu + "/max_clock_mhz") + U8("MHz / 外频-") +
                                                              at(cpu + "/external_clock_mhz") + "MHz");
            EXPECT_EQ(value_of(text.out, U8(" CPU核心：")),
                      U8("核心-") + at(cpu + "/cores") + U8("　　　 / 线程-") + at(cpu + "/threads"));
        }
        // The chassis line names the kind in the report's words; the JSON
        // has the code behind it.
        EXPECT_EQ(value_of(text.out, U8(" 操作系统：")).find(U8(" - 制造商 ") + at("/system/chassis_maker") + U8(" ）")) !=
                      std::string::npos, true);
        int shown = 0;
        for (const Json& m : j.at("monitors")) {
            if (!m["in_text_report"].get<bool>()) continue;
            ++shown;
            EXPECT_EQ(value_of(text.out, U8(" 显示器型号：")), as_text(m["model"]));
            EXPECT_EQ(value_of(text.out, U8(" 序列号：")), as_text(m["serial_number"]));
            EXPECT_EQ(value_of(text.out, U8(" 显示器ID：")), as_text(m["id"]));
            EXPECT_EQ(value_of(text.out, U8(" 显示器宽度：")), as_text(m["width_cm"]));
            // The diagonal as the text shows it, "14.5英寸" or "24英寸".
            const std::string inches = value_of(text.out, U8(" 显示器尺寸："));
            EXPECT_EQ(m["diagonal_inches"].is_null() ? 0.0 : m["diagonal_inches"].get<double>(),
                      std::stod(inches.substr(0, inches.find(U8("英寸")))));
        }
        EXPECT_EQ(shown, value_of(text.out, U8(" 显示器ID：")).empty() ? 0 : 1);
        const auto& modules = j.at("memory").at("modules");
        for (std::size_t i = 0; i < modules.size(); ++i) {
            const std::string k = U8(" 内存") + std::to_string(i + 1);
            EXPECT_EQ(value_of(text.out, k + U8("容量：")),
                      std::to_string(modules[i]["capacity_bytes"].get<long long>() >> 30) + "GB");
            EXPECT_EQ(value_of(text.out, k + U8("速度：")), as_text(modules[i]["speed_mts"]) + "MHZ");
            EXPECT_EQ(value_of(text.out, k + U8("厂商：")), as_text(modules[i]["maker"]));
            EXPECT_EQ(value_of(text.out, k + U8("序列：")), as_text(modules[i]["serial_number"]));
        }
        const auto& disks = j.at("disks");
        for (std::size_t i = 0; i < disks.size(); ++i) {
            const std::string k = U8(" 磁盘") + std::to_string(i + 1);
            EXPECT_EQ(value_of(text.out, k + U8("型号：")), as_text(disks[i]["model"]));
            EXPECT_EQ(value_of(text.out, k + U8("容量：")),
                      std::to_string(disks[i]["size_bytes"].get<long long>() >> 30) + "GB");
            EXPECT_EQ(value_of(text.out, k + U8("类型：")), as_text(disks[i]["interface"]));
        }
        const auto& video = j.at("video_controllers");
        EXPECT_EQ(value_of(text.out, U8(" 显卡数量：")), video.empty() ? "" : std::to_string(video.size()));
        if (!video.empty()) {
            EXPECT_EQ(value_of(text.out, U8(" 显卡型号：")), as_text(video[0]["name"]));
            EXPECT_EQ(value_of(text.out, U8(" 显卡显存：")), as_text(video[0]["memory_bytes"]));
            EXPECT_EQ(value_of(text.out, U8(" 显卡驱动：")), as_text(video[0]["driver_version"]));
        }
    }
}

TEST(Json, ListsIdentityAndNeutralValuesOfRealLayouts) {
    // The laptop at its desk: SMBIOS 3.2 with the UUID 4c4c4544-0042-3510-8052-b4c04f4e3533
    // stored with its first three fields little-endian, real serials, an
    // external monitor beside the panel, a second video controller.
    const Json d = json_of_tree("docked");
    EXPECT_EQ(d["identity"], Json::parse(R"({"system_uuid": "4c4c4544-0042-3510-8052-b4c04f4e3533",
        "system_serial": "PF3ABCDE", "baseboard_serial": "L1HF16P00AB", "chassis_serial": "PF3ABCDE",
        "machine_id": "5f0c3b7e9a2d4c1b8e6f7a9b0c1d2e3f"})"));
    ASSERT_EQ(d["monitors"].size(), 2u);
    EXPECT_EQ(d["monitors"][0]["model"], "DELL S3422DWG");  // DEL-D12C: week 5 of 2023, 80 x 33 cm
    EXPECT_EQ(d["monitors"][0]["manufactured"], Json::parse(R"({"year": 2023, "week": 5, "is_model_year": false})"));
    EXPECT_EQ(d["monitors"][0]["width_cm"], 80);
    EXPECT_EQ(d["monitors"][1]["model"], "MNE507ZA1-1");  // the panel; its EDID gives week 0
    EXPECT_EQ(d["monitors"][1]["manufactured"], Json::parse(R"({"year": 2021, "week": null, "is_model_year": false})"));
    EXPECT_EQ(d["monitors"][0]["in_text_report"], true);
    EXPECT_EQ(d["monitors"][1]["in_text_report"], false);
    ASSERT_EQ(d["video_controllers"].size(), 2u);
    EXPECT_EQ(d["video_controllers"][1]["name"], "GA107M [GeForce RTX 3050 Ti Mobile]");
    EXPECT_EQ(d["video_controllers"][1]["maker"], "NVIDIA Corporation");
    EXPECT_EQ(d["disks"][0]["bus"], "nvme");
    EXPECT_EQ(d["disks"][1]["bus"], "sata");
    EXPECT_EQ(d["disks"][0]["size_bytes"], 1000215216LL * 512);
    EXPECT_EQ(d["system"]["chassis"], Json::parse(R"({"code": 10, "name": "Notebook"})"));
    EXPECT_TRUE(d["system"]["os_family"].is_null());
    EXPECT_EQ(d["memory"]["total_bytes"], 16LL << 30);
    // Everything that keys the machine and its parts was read; the tree
    // keeps no firmware version files and no /proc/stat.
    for (const Json& u : d["unread"]) {
        const std::string fact = u["fact"];
        EXPECT_TRUE(fact.rfind("firmware.", 0) == 0 || fact == "os.boot_time") << u.dump();
    }
    EXPECT_EQ(d["warnings"].size(), d["unread"].size());

    // Two sockets; a white-box firmware's placeholders; a USB stick and a RAID volume.
    const Json s = json_of_tree("server");
    ASSERT_EQ(s["processors"].size(), 2u);
    EXPECT_EQ(s["processors"][0]["socket"], "CPU1");
    EXPECT_EQ(s["processors"][1]["socket"], "CPU2");
    EXPECT_EQ(s["processors"][1]["cores"], 16);
    for (const char* k : {"system_uuid", "system_serial", "baseboard_serial", "chassis_serial"})
        EXPECT_TRUE(s["identity"][k].is_null()) << k;
    EXPECT_NE(s["warnings"].dump().find("To Be Filled By O.E.M."), std::string::npos);
    EXPECT_EQ(s["system"]["chassis"], Json::parse(R"({"code": 23, "name": "Rack Mount Chassis"})"));
    std::vector<std::string> buses;
    for (const Json& disk : s["disks"]) buses.push_back(disk["bus"].is_null() ? "null" : disk["bus"].get<std::string>());
    EXPECT_EQ(buses, (std::vector<std::string>{"nvme", "scsi", "sata", "usb"}));
    EXPECT_EQ(s["video_controllers"][0]["memory_bytes"], 17163091968LL);

    // A board without DMI: no identity, and the warning says why.
    const Json n = json_of_tree("no-dmi");
    EXPECT_TRUE(n["system"]["chassis"].is_null());
    EXPECT_NE(n["warnings"].dump().find("identity.system_uuid: /sys/class/dmi/id is not there"), std::string::npos);
    EXPECT_NE(n["warnings"].dump().find("memory.modules: /sys/firmware/dmi/tables/DMI is not there"), std::string::npos);
}

TEST(Json, ProvenanceAndRepeatability) {
    const std::time_t before = std::time(nullptr);
    Json a = json_of_tree("docked");
    Json b = json_of_tree("docked");
    EXPECT_EQ(a["format_version"], 1);
    EXPECT_EQ(a["tool"]["version"], sh(std::string(QV_REPORT_EXE) + " --version").substr(15));
    EXPECT_EQ(a["source"], Json::parse("{\"kind\": \"tree\", \"root\": \"" + tree("docked") + "\", \"file\": null}"));
    std::tm tm{};
    ASSERT_NE(strptime(a["collected_at"].get<std::string>().c_str(), "%Y-%m-%dT%H:%M:%SZ", &tm), nullptr);
    const std::time_t at = timegm(&tm);
    EXPECT_LE(before, at);
    EXPECT_LE(at, std::time(nullptr));
    for (Json* j : {&a, &b}) {
        j->erase("collected_at");
        j->erase("elapsed_ms");
    }
    EXPECT_EQ(a, b);
}

TEST(Json, AnyValueMakesValidJson) {
    ReportFacts f;
    f.os.caption = "a\"b\\c/d";
    f.cpu.name = Text("ctl\x01\x1f\x7f\r\n\t|") + Text(1, '\0') + "|";
    f.host = "内存";                           // GBK
    f.user = "bad\xff\xfe\x81";               // not GBK
    f.memory.modules.push_back({8, 8589934592.0, 3200, "x\"y", ""});
    f.processors.push_back(processor_entry({{"Name", "ctl\x01|"}, {"DataWidth", "64"}, {"MaxClockSpeed", "2800"},
                                            {"NumberOfCores", "十六"}, {"NumberOfLogicalProcessors", "9223372036854775808"}}));
    f.processors.push_back(processor_entry({{"MaxClockSpeed", "9223372036854775807"}, {"NumberOfLogicalProcessors", "0009"}}));
    f.identity.board_serial = "序列号";  // GBK, not a placeholder
    f.identity.system_serial = " To be filled by O.E.M. ";
    f.identity.system_uuid = "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF";
    const std::string out = report_json(f, JsonContext{"1", 0, "", false, ""});
    for (char c : out) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);  // ASCII, escapes only
    const Json j = Json::parse(out);  // throws on invalid JSON or UTF-8
    EXPECT_EQ(j["collected_at"], "1970-01-01T00:00:00Z");
    EXPECT_EQ(j["system"]["os_version"], "a\"b\\c/d");
    EXPECT_EQ(j["system"]["host_name"], U8("内存"));
    EXPECT_EQ(j["identity"]["baseboard_serial"], U8("序列号"));
    EXPECT_TRUE(j["identity"]["system_serial"].is_null());
    EXPECT_TRUE(j["identity"]["system_uuid"].is_null());
    EXPECT_EQ(j["system"]["user_name"].get<std::string>().find("bad"), 0u);
    EXPECT_NE(j["system"]["user_name"].get<std::string>().find("\xEF\xBF\xBD"), std::string::npos);
    const Json& p = j["processors"][0];
    EXPECT_EQ(p["name"], "ctl\x01|");
    EXPECT_EQ(p["data_width"], 64);
    EXPECT_TRUE(p["cores"].is_null());    // not a number: no quantity
    EXPECT_TRUE(p["threads"].is_null());  // 2^63: beyond any integer a reader holds
    EXPECT_EQ(j["processors"][1]["max_clock_mhz"], 9223372036854775807LL);  // 19 digits, the largest
    EXPECT_EQ(j["processors"][1]["threads"], 9);
    EXPECT_EQ(j["memory"]["modules"][0]["capacity_bytes"], 8589934592LL);
    EXPECT_TRUE(j["memory"]["modules"][0]["serial_number"].is_null());
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

TEST(Json, FirmwarePlaceholdersAreNoIdentity) {
    for (const char* p : {"", "   ", "To Be Filled By O.E.M.", "to be filled by o.e.m.", "Default string",
                          "System Serial Number", "0123456789", "0000000000", "........", "FFFFFFFF", "None"})
        EXPECT_TRUE(is_placeholder_serial(p)) << p;
    for (const char* r : {"PF3ABCDE", "CZC1234XYZ", "0123456789A", "00000001"}) EXPECT_FALSE(is_placeholder_serial(r)) << r;
    EXPECT_EQ(normalized_uuid("4C4C4544-0042-3510-8052-B4C04F4E3533"), "4c4c4544-0042-3510-8052-b4c04f4e3533");
    for (const char* u : {"00000000-0000-0000-0000-000000000000", "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF",
                          "03000200-0400-0500-0006-000700080009", "4C4C4544-0042-3510-8052-B4C04F4E353",
                          "4C4C4544+0042-3510-8052-B4C04F4E3533", "4C4C4544-0042-3510-8052-B4C04F4E353G"})
        EXPECT_EQ(normalized_uuid(u), "") << u;
}
