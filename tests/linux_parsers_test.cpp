// The Linux readers' parsers, over bytes.
#include <gtest/gtest.h>

#include "sources/linux/cpu_topology.h"
#include "sources/linux/cpuinfo.h"
#include "sources/linux/disks.h"
#include "sources/linux/drm_connectors.h"
#include "sources/linux/kernel_arch.h"
#include "sources/linux/linux_machine.h"
#include "sources/linux/os_release.h"
#include "sources/linux/pci_ids.h"
#include "sources/linux/processors.h"
#include "sources/linux/smbios.h"
#include "sources/linux/udev_db.h"
#include "sources/linux/video_controllers.h"
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

    // The system record's UUID: bytes 00..0f as stored. From SMBIOS 2.6 on
    // (and where the version is unknown) the first three fields are
    // little-endian; before, as they stand.
    std::string sys(0x1B - 4, '\0');
    sys[0x07 - 4] = 1;
    for (int i = 0; i < 16; ++i) sys[0x08 - 4 + i] = static_cast<char>(i);
    t.clear();
    structure(1, sys, {"SN-1"});
    structure(1, sys, {"second system record"});
    EXPECT_EQ(dmi_identity(parse_dmi_table(t), 0x0208).uuid, "03020100-0504-0706-0809-0a0b0c0d0e0f");
    EXPECT_EQ(dmi_identity(parse_dmi_table(t), 0).uuid, "03020100-0504-0706-0809-0a0b0c0d0e0f");
    EXPECT_EQ(dmi_identity(parse_dmi_table(t), 0x0205).uuid, "00010203-0405-0607-0809-0a0b0c0d0e0f");
    EXPECT_EQ(dmi_identity(parse_dmi_table(t), 0x0300).system_serial, "SN-1");
    EXPECT_EQ(smbios_entry_version(std::string("_SM3_\x00\x18\x03\x05", 9)), 0x0305u);
    EXPECT_EQ(smbios_entry_version(std::string("_SM_\x00\x1f\x02\x07", 8)), 0x0207u);
    EXPECT_EQ(smbios_entry_version("_DMI_"), 0u);
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

TEST(LinuxParsers, ProcessorNamesClocksAndTopology) {
    EXPECT_EQ(clock_in_name("Intel(R) Core(TM) i7 CPU 920 @ 2.67GHz"), 2670);
    EXPECT_EQ(clock_in_name("Intel(R) Xeon(R) CPU E5-2697 v4 @ 2.30GHz"), 2300);
    EXPECT_EQ(clock_in_name("Intel(R) Pentium(R) 4 CPU 3.00GHz"), 3000);
    EXPECT_EQ(clock_in_name("Pentium III (Coppermine) 800MHz"), 800);
    EXPECT_EQ(clock_in_name("Intel(R) Xeon(TM) CPU 3.00GHz"), 3000);  // without "@"
    EXPECT_EQ(clock_in_name("Intel(R) Xeon(R) CPU E5-2683 v4 @ 2.10GHz"), 2100);  // 2.1 * 1000 is 2099.99...
    EXPECT_EQ(clock_in_name("Intel(R) Core(TM) i5-3470S CPU @ 2.01GHz"), 2010);
    EXPECT_EQ(clock_in_name("AMD Athlon(tm) 64 Processor 2.4 GHz"), 2400);
    EXPECT_EQ(clock_in_name("Intel(R) Core(TM) i5-1035G1 CPU @ 1.00GHz"), 1000);  // "G1" is the model's
    EXPECT_FALSE(clock_in_name("Intel(R) Core(TM) i3-1005G1 CPU").has_value());
    EXPECT_FALSE(clock_in_name("AMD Athlon(tm) XP 2400+").has_value());
    EXPECT_FALSE(clock_in_name("AMD EPYC 7302 16-Core Processor").has_value());
    EXPECT_FALSE(clock_in_name("GHz").has_value());

    EXPECT_EQ(parse_cpu_list("0-3,8,10-11\n", 100), (std::vector<int>{0, 1, 2, 3, 8, 10, 11}));
    EXPECT_EQ(parse_cpu_list("0-3,2", 100), (std::vector<int>{0, 1, 2, 3}));  // overlapping: each CPU once
    EXPECT_EQ(parse_cpu_list(std::string("0-63\n\0", 6), 100)->size(), 64u);  // sysfs files may end in NUL
    EXPECT_FALSE(parse_cpu_list("3-1", 100).has_value());
    EXPECT_FALSE(parse_cpu_list("0-99999999", 65536).has_value());
    EXPECT_FALSE(parse_cpu_list("a-b", 100).has_value());

    // Clusters of different cores numbered as packages are one chip; two
    // sockets of the same processor stay two.
    auto cpu = [](int n, const char* pkg, const char* kind) { return LogicalCpu{n, std::string(pkg), "cpu " + std::to_string(n), kind}; };
    EXPECT_EQ(group_packages({cpu(0, "0", "A510"), cpu(1, "0", "A510"), cpu(2, "1", "A710"), cpu(3, "2", "X3")}).size(), 1u);
    const auto two = group_packages({cpu(3, "8442", "K"), cpu(0, "36", "K"), cpu(1, "36", "K"), cpu(2, "8442", "K")});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].cpus.front().number, 0);
    EXPECT_EQ(two[1].cores, 2);
    EXPECT_EQ(group_packages({LogicalCpu{0, std::nullopt, "t 0-1", ""}, LogicalCpu{1, std::nullopt, "t 0-1", ""}})[0].cores, 1);
}

TEST(LinuxParsers, UdevRecordsGraphicsTablesAndAtaIdentify) {
    const std::string record = "S:disk/by-id/x\nE:ID_MODEL=a_b\nE:ID_MODEL_ENC=Samsung\\x20SSD\\x5c\\x2\n";
    EXPECT_EQ(udev_property(record, "ID_MODEL"), "a_b");
    EXPECT_EQ(udev_decode(*udev_property(record, "ID_MODEL_ENC")), "Samsung SSD\\\\x2");
    EXPECT_FALSE(udev_property(record, "ID_MOD").has_value());
    const std::string ids = "# comment\n73BF,\tC0,\tAMD Radeon RX 6900 XT\n73BF,\tC1,\tAMD Radeon RX 6800 XT\nbad line\n";
    EXPECT_EQ(amdgpu_ids_name(ids, 0x73bf, 0xc1), "AMD Radeon RX 6800 XT");
    EXPECT_FALSE(amdgpu_ids_name(ids, 0x73bf, 0xc3).has_value());
    EXPECT_EQ(nvidia_model("IRQ: 1\nModel: \t\t NVIDIA GeForce RTX 3080\n"), "NVIDIA GeForce RTX 3080");
    std::string page(200, '\0');
    page[1] = static_cast<char>(0x89);
    const std::string swapped = "DW CDW04FEXR6-N8230N";  // "WDC WD40EFRX-68N32N0" as the drive stores it
    page.replace(114, swapped.size(), swapped);
    page.replace(114 + swapped.size(), 20, std::string(20, ' '));
    EXPECT_EQ(ata_model_from_vpd89(page), "WDC WD40EFRX-68N32N0");
    page[1] = static_cast<char>(0x80);
    EXPECT_FALSE(ata_model_from_vpd89(page).has_value());
    EXPECT_EQ(disk_interface("sda", "../devices/pci0000:00/0000:00:14.0/usb2/2-1/host6/target6:0:0/6:0:0:0/block/sda"), "USB");
    EXPECT_EQ(disk_interface("sdb", "../devices/css0/0.0.0002/0.0.1700/host0/rport-0:0-0/target0:0:0/block/sdb"), "SCSI");
    EXPECT_FALSE(disk_interface("xyz0", "").has_value());
}
