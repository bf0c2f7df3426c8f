#pragma once

#include <fstream>
#include <memory>
#include <iterator>
#include <string>

#include "values/text.h"

inline Bytes read_file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string edid_path(const std::string& name) {
    return std::string(QV_FIXTURES) + "/data/edid/" + name;
}

#include "app/report.h"
#include "automation/script_query.h"
#include "sources/machine_file.h"
#include "values/encoding.h"

inline std::string machine_path(const std::string& name) {
    return std::string(QV_FIXTURES) + "/machines/" + name;
}

// Routes the script host to a described machine for one test.
class UseMachine {
public:
    explicit UseMachine(const std::string& name) : machine_(MachineFile::load(machine_path(name))) {
        set_instance_source(&machine_);
    }
    ~UseMachine() { set_instance_source(nullptr); }
    UseMachine(const UseMachine&) = delete;
    UseMachine& operator=(const UseMachine&) = delete;

private:
    MachineFile machine_;
};

// A golden file is UTF-8 with LF line ends; reports are GBK with CR LF.
inline Text golden(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string crlf;
    for (char c : s) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return utf8_to_gbk(crlf);
}

// The machine's section builders with fixed values for the facts that come
// from the platform rather than from the query scripts.
inline ReportSources fixture_sources() {
    ReportSources s = machine_sources();
    auto ticks = std::make_shared<int>(0);
    s.tick = [ticks] { return (*ticks)++ == 0 ? 1000u : 1012u; };
    s.os_family = [] { return 0; };
    s.is_64bit = [] { return true; };
    s.host = [] { return Text("fixture-host"); };
    s.user_name = [] { return Text("tester"); };
    s.processor_signature = [] { return Text("BFEBFBFF000906EA"); };
    s.display_mode = [](int, std::int32_t& bpp, std::int32_t& w, std::int32_t& h, std::int32_t& hz) {
        bpp = 32, w = 1920, h = 1080, hz = 60;
    };
    s.screens = [] { return 1; };
    s.taskbar = [] { return 0; };
    return s;
}
