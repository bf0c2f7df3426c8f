// This machine's report against what independent tools say of it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <iostream>
#include <sstream>

#include "process_support.h"

TEST(ThisMachine, FactsAgreeWithIndependentTools) {
    const ProcessResult r = run_report("");
    ASSERT_EQ(r.status, 0);
    const std::string& report = r.out;
    EXPECT_EQ(value_of(report, U8(" 系统版本：")), sh(". /etc/os-release && echo \"$PRETTY_NAME\""));
    EXPECT_EQ(value_of(report, U8(" 取本机名：")), sh("hostname"));
    EXPECT_EQ(value_of(report, U8(" 取用户名：")), sh("id -un"));
    EXPECT_EQ(value_of(report, U8(" 是否64位：")), sh("[ \"$(getconf LONG_BIT)\" = 64 ] && echo " + U8("真") + " || echo " + U8("假")));

    const std::string model = sh("LC_ALL=C lscpu | sed -n 's/^Model name: *//p'");
    const int sockets = std::stoi(sh("LC_ALL=C lscpu | sed -n 's/^Socket(s): *//p'"));
    const int per_socket = std::stoi(sh("LC_ALL=C lscpu | sed -n 's/^Core(s) per socket: *//p'"));
    const int cpus = std::stoi(sh("LC_ALL=C lscpu | sed -n 's/^CPU(s): *//p'"));
    EXPECT_EQ(value_of(report, U8(" CPU名称：")), model);
    EXPECT_EQ(value_of(report, U8(" CPU数量：")), std::to_string(sockets));
    EXPECT_EQ(value_of(report, U8(" CPU核心：")),
              U8("核心-") + std::to_string(per_socket) + U8("　　　 / 线程-") + std::to_string(cpus / sockets));

    // Whole disks as lsblk lists them, in bytes, without loop, ram and zram devices.
    std::istringstream disks(sh("lsblk -b -d -n -o NAME,SIZE,TYPE | awk '$3 == \"disk\" && $1 !~ /^(loop|ram|zram)/ {print $2}'"));
    std::vector<std::string> sizes;
    for (std::string s; disks >> s;) sizes.push_back(s);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const long long gb = std::stoll(sizes[i]) / 1073741824LL;
        EXPECT_EQ(value_of(report, U8(" 磁盘") + std::to_string(i + 1) + U8("容量：")), std::to_string(gb) + "GB");
    }
    EXPECT_EQ(value_of(report, U8(" 磁盘") + std::to_string(sizes.size() + 1) + U8("容量：")), "<missing>");

    if (std::system("dmidecode -t 17 >/dev/null 2>&1") == 0 &&
        access("/sys/firmware/dmi/tables/DMI", R_OK) == 0) {
        const std::string n = sh("dmidecode -t 17 | grep -c '^\\s*Size: [0-9]'");
        EXPECT_EQ(value_of(report, U8(" 数量：")), n);
    } else {
        std::cout << "[ note ] no readable DMI table here: memory is checked on captured trees\n";
    }
}
