// The Linux readers' parsers, over bytes.
#include <gtest/gtest.h>

#include "automation/sources/linux/cpuinfo.h"
#include "automation/sources/linux/drm_connectors.h"
#include "automation/sources/linux/kernel_arch.h"
#include "automation/sources/linux/linux_machine.h"
#include "automation/sources/linux/os_release.h"
#include "automation/sources/linux/pci_ids.h"
#include "automation/sources/linux/processors.h"
#include "automation/sources/linux/smbios.h"
#include "test_support.h"

TEST(LinuxParsers, DmiTable) {
    std::string t;
    auto structure = [&](std::uint8_t type, std::string body, std::vector<std::string> strings) {
        t += static_cast<char>(type);
        t += static_cast<char>(4 + body.size());
        t += std::string("\x01\x00", 2) + body;
        for (auto& s : strings) t += s + '\0';
        t += strings.empty() ? std::string(2, '\0') : std::string(1, '\0');
    };
    std::string mem(0x5C - 4, '\0');
    mem[0x0C - 4] = 0x00, mem[0x0D - 4] = 0x20;  // 8192 MB
    mem[0x15 - 4] = static_cast<char>(0x6A), mem[0x16 - 4] = 0x0A;  // 2666
    mem[0x17 - 4] = 1, mem[0x18 - 4] = 2;
    structure(17, mem, {"Samsung", "1234"});
    std::string kb = mem;
    kb[0x0C - 4] = 0x00, kb[0x0D - 4] = static_cast<char>(0x82);  // 512 KB granularity
    structure(17, kb, {});
    std::string empty = mem;
    empty[0x0C - 4] = 0, empty[0x0D - 4] = 0;
    structure(17, empty, {"x"});
    structure(127, "", {});
    structure(17, mem, {"after the end"});
    auto table = parse_dmi_table(t);
    ASSERT_EQ(table.size(), 4u);
    auto devices = dmi_memory_devices(table);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].size_bytes, 8589934592ull);
    EXPECT_EQ(devices[0].speed_mts, 2666u);
    EXPECT_EQ(devices[0].manufacturer, "Samsung");
    EXPECT_EQ(devices[0].serial, "1234");
    EXPECT_EQ(devices[1].size_bytes, 512ull * 1024);
    EXPECT_FALSE(devices[1].manufacturer.has_value());  // string 1 of none
    for (std::size_t cut = 0; cut < t.size(); ++cut) parse_dmi_table(t.substr(0, cut));  // never reads past
    EXPECT_TRUE(parse_dmi_table(std::string("\x11\x02\x00\x00", 4)).empty());  // length below the header
}

TEST(LinuxParsers, CpuinfoOsReleasePciIdsAndMonitorIds) {
    const CpuInfo info = parse_cpuinfo(
        "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 25\nmodel\t\t: 33\nstepping\t: 0\n"
        "physical id\t: 0\ncore id\t\t: 0\nflags\t\t: fpu lm\n\n"
        "processor\t: 1\nphysical id\t: 0\ncore id\t\t: 0\n\n"
        "processor\t: 2\nphysical id\t: 1\ncore id\t\t: 5\n");
    ASSERT_EQ(info.processors.size(), 3u);
    EXPECT_EQ(info.field(info.index_of(2), "core id"), "5");
    EXPECT_EQ(windows_cpu_description(info, info.index_of(0)), "AMD64 Family 25 Model 33 Stepping 0");
    EXPECT_FALSE(windows_cpu_description(info, info.index_of(2)).has_value());
    EXPECT_EQ(os_release_value("NAME=x\nPRETTY_NAME=\"Debian \\\"12\\\"\"\n", "PRETTY_NAME"), "Debian \"12\"");
    EXPECT_EQ(os_release_value("PRETTY_NAME='Arch Linux'\n", "PRETTY_NAME"), "Arch Linux");
    EXPECT_FALSE(os_release_value("NAME=x\n", "PRETTY_NAME").has_value());
    const std::string ids = "8086  Intel Corporation\n\t1234  Thing\n10de  NVIDIA Corporation\n\t1234  Other\n";
    EXPECT_EQ(pci_ids_name(ids, 0x8086, std::nullopt), "Intel Corporation");
    EXPECT_EQ(pci_ids_name(ids, 0x10de, 0x1234u), "Other");
    EXPECT_EQ(pci_ids_name(ids, 0x8086, 0x1234u), "Thing");
    EXPECT_FALSE(pci_ids_name(ids, 0x8086, 0x5678u).has_value());
    EXPECT_FALSE(pci_ids_name(ids, 0x1002, std::nullopt).has_value());
    DrmConnector c{"card1-DP-3", read_file_bytes(edid_path("DEL-D12C-0d8aa809.bin"))};
    EXPECT_EQ(monitor_pnp_id(c), Text("DISPLAY\\DELD12C\\card1-DP-3"));
    c.edid.resize(11);
    EXPECT_FALSE(monitor_pnp_id(c).has_value());
}

TEST(LinuxParsers, KernelArchitectureWidth) {
    // One list serves the OS bitness and the 64-bit answer alike.
    for (const char* m : {"x86_64", "aarch64", "ppc64le", "s390x", "riscv64", "loongarch64", "sparc64", "alpha"})
        EXPECT_EQ(kernel_arch_bits(m), 64) << m;
    for (const char* m : {"i686", "armv7l", "ppc", "riscv32", "mips"}) EXPECT_EQ(kernel_arch_bits(m), 32) << m;
    EXPECT_FALSE(kernel_arch_bits("").has_value());
}
