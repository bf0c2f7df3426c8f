// Trees laid out as real machines keep them: disks reached through their
// /sys/block links, SATA models longer than sysfs keeps, VMs without
// cpufreq, an ARM board without DMI, AMD and in-tree graphics drivers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "process_support.h"

namespace fs = std::filesystem;

namespace {

class Tree {
public:
    Tree() {
        char t[] = "/tmp/qv-realXXXXXX";
        top_ = mkdtemp(t);
        root_ = top_ / "tree";
        put("/proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Test CPU\nflags\t\t: fpu lm\n\n");
    }
    ~Tree() { fs::remove_all(top_); }
    void put(const std::string& path, const std::string& data) const {
        const fs::path p = root_ / path.substr(1);
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary | std::ios::trunc) << data;
    }
    void link(const std::string& path, const std::string& target) const {
        const fs::path p = root_ / path.substr(1);
        fs::create_directories(p.parent_path());
        fs::create_symlink(target, p);
    }
    // A whole disk where the kernel keeps it: its device directory, and the
    // /sys/block link to it (and nothing under /sys/dev/block).
    void disk(const std::string& name, const std::string& devpath, const std::string& dev,
              const std::string& model, const std::string& vendor = "") const {
        const std::string dir = "/sys/devices/" + devpath + "/block/" + name;
        put(dir + "/size", "976773168\n");
        put(dir + "/dev", dev + "\n");
        if (!model.empty()) put("/sys/devices/" + devpath + "/model", model + "\n");
        if (!vendor.empty()) put("/sys/devices/" + devpath + "/vendor", vendor + "\n");
        link(dir + "/device", "../../../" + devpath.substr(devpath.rfind('/') + 1));
        link("/sys/block/" + name, "../devices/" + devpath + "/block/" + name);
    }
    ProcessResult report() const { return run_report("--root '" + root_.string() + "'"); }
    const fs::path& top() const { return top_; }
    const fs::path& root() const { return root_; }

private:
    fs::path top_, root_;
};

// An SMBIOS table of one populated processor socket.
std::string processor_table(int max_mhz, int current_mhz) {
    std::string s(0x2A, '\0');
    s[0] = 4, s[1] = 0x2A, s[4] = 1, s[5] = 3;
    s[0x12] = 100, s[0x14] = static_cast<char>(max_mhz & 0xFF), s[0x15] = static_cast<char>(max_mhz >> 8);
    s[0x16] = static_cast<char>(current_mhz & 0xFF), s[0x17] = static_cast<char>(current_mhz >> 8);
    s[0x18] = 0x41;
    return s + "CPU 0" + std::string(2, '\0') + std::string("\x7f\x04\xff\xff\0\0", 6);
}

// SCSI VPD page 0x89 with an ATA drive's IDENTIFY data: the model in
// words 27 to 46, two characters a word, swapped.
std::string vpd89(const std::string& model) {
    std::string page(572, '\0');
    page[1] = static_cast<char>(0x89);
    std::string m = model;
    m.resize(40, ' ');
    for (std::size_t i = 0; i < 40; i += 2) {
        page[60 + 54 + i] = m[i + 1];
        page[60 + 54 + i + 1] = m[i];
    }
    return page;
}

}  // namespace

TEST(RealMachines, DisksThroughTheirBlockLinksWithWholeModels) {
    Tree t;
    // SATA with a udev record, SATA with only the drive's IDENTIFY data,
    // SATA with neither, SAS behind a RAID controller, virtio-scsi, an s390
    // FCP disk, a USB stick, NVMe.
    t.disk("sda", "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "8:0", "Samsung SSD 860 ", "ATA     ");
    t.put("/run/udev/data/b8:0", "S:disk/by-id/ata-x\nE:ID_ATA=1\nE:ID_MODEL=Samsung_SSD_860_EVO_500GB\n"
                                 "E:ID_MODEL_ENC=Samsung\\x20SSD\\x20860\\x20EVO\\x20500GB\\x20\\x20\\x20\\x20\nE:ID_BUS=ata\n");
    t.disk("sdb", "pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "8:16", "WDC WD40EFRX-68N", "ATA     ");
    t.put("/sys/devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0/vpd_pg89", vpd89("WDC WD40EFRX-68N32N0"));
    t.disk("sdc", "pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0", "8:32", "ST2000DM008-2FR1", "ATA     ");
    t.disk("sdd", "pci0000:40/0000:40:01.0/0000:41:00.0/host3/target3:2:0/3:2:0:0", "8:48", "PERC H730P Mini", "DELL    ");
    t.disk("sde", "pci0000:00/0000:00:04.0/virtio1/host4/target4:0:0/4:0:0:0", "8:64", "QEMU HARDDISK", "QEMU    ");
    t.disk("sdf", "css0/0.0.0002/0.0.1700/host5/rport-5:0-0/target5:0:0/5:0:0:1074151456", "8:80", "2107900", "IBM     ");
    t.disk("sdg", "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0", "8:96", "Cruzer Blade", "SanDisk ");
    t.disk("nvme0n1", "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", "259:0", "Samsung SSD 970 EVO Plus 1TB");
    const ProcessResult r = t.report();
    ASSERT_EQ(r.status, 0) << r.err;
    expect_lines_in_order(r.out, {
        U8(" 磁盘1型号：Samsung SSD 970 EVO Plus 1TB"), U8(" 磁盘1类型：SCSI"),
        U8(" 磁盘2型号：Samsung SSD 860 EVO 500GB"), U8(" 磁盘2类型：IDE"),
        U8(" 磁盘3型号：WDC WD40EFRX-68N32N0"), U8(" 磁盘3类型：IDE"),
        U8(" 磁盘4型号：ST2000DM008-2FR1"), U8(" 磁盘4类型：IDE"),
        U8(" 磁盘5型号：DELL PERC H730P Mini"), U8(" 磁盘5容量：465GB"), U8(" 磁盘5类型：SCSI"),
        U8(" 磁盘6型号：QEMU HARDDISK"), U8(" 磁盘6类型：SCSI"),
        U8(" 磁盘7型号：IBM 2107900"), U8(" 磁盘7类型：SCSI"),
        U8(" 磁盘8型号：SanDisk Cruzer Blade"), U8(" 磁盘8类型：USB"),
        U8(" 数量：8"),
    });

    // A capture takes the links, the device directories and the udev
    // record along, and reports the same disks.
    const fs::path out = t.top() / "capture";
    const ProcessResult c = run_report("--root '" + t.root().string() + "' --capture '" + out.string() + "'");
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_TRUE(fs::is_symlink(out / "sys/block/sda"));
    EXPECT_TRUE(fs::exists(out / "run/udev/data/b8:0"));
    EXPECT_EQ(without_elapsed(run_report("--root '" + out.string() + "'").out), without_elapsed(c.out));
}

TEST(RealMachines, TheRatedClockWithoutCpufreq) {
    // A VMware guest: the name states the clock, SMBIOS Max Speed is absurd.
    Tree vm;
    vm.put("/proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) Gold 6140 CPU @ 2.30GHz\n"
                            "cpu MHz\t\t: 2294.609\nflags\t\t: fpu lm hypervisor\n\n");
    vm.put("/sys/firmware/dmi/tables/DMI", processor_table(30000, 2300));
    EXPECT_EQ(value_of(vm.report().out, U8(" CPU速度：")), U8("主频-2300MHz / 外频-100MHz"));
    // A name without a clock: the speed the firmware set, not Max Speed.
    Tree server;
    server.put("/proc/cpuinfo", "processor\t: 0\nvendor_id\t: AuthenticAMD\nmodel name\t: AMD EPYC 7302 16-Core Processor\n"
                                "cpu MHz\t\t: 1497.000\nflags\t\t: fpu lm\n\n");
    server.put("/sys/firmware/dmi/tables/DMI", processor_table(4000, 1800));
    EXPECT_EQ(value_of(server.report().out, U8(" CPU速度：")), U8("主频-1800MHz / 外频-100MHz"));
    // Nothing but the momentary figure.
    Tree bare;
    bare.put("/proc/cpuinfo", "processor\t: 0\nvendor_id\t: AuthenticAMD\nmodel name\t: AMD EPYC 7302 16-Core Processor\n"
                              "cpu MHz\t\t: 1497.000\nflags\t\t: fpu lm\n\n");
    EXPECT_EQ(value_of(bare.report().out, U8(" CPU速度：")), U8("主频-1497MHz / 外频-MHz"));
}

TEST(RealMachines, ArmBoardWithoutDmiNamesItselfInTheDeviceTree) {
    Tree t;
    t.put("/proc/cpuinfo", "processor\t: 0\nBogoMIPS\t: 108.00\nFeatures\t: fp asimd evtstrm crc32 cpuid\nCPU implementer\t: 0x41\n"
                           "CPU architecture: 8\nCPU variant\t: 0x0\nCPU part\t: 0xd08\nCPU revision\t: 3\n\n"
                           "processor\t: 1\nBogoMIPS\t: 108.00\nFeatures\t: fp asimd evtstrm crc32 cpuid\nCPU implementer\t: 0x41\n"
                           "CPU architecture: 8\nCPU variant\t: 0x0\nCPU part\t: 0xd08\nCPU revision\t: 3\n\n"
                           "Hardware\t: BCM2835\nModel\t\t: Raspberry Pi 4 Model B Rev 1.4\n");
    t.put("/sys/firmware/devicetree/base/model", std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31));
    const ProcessResult r = t.report();
    ASSERT_EQ(r.status, 0) << r.err;
    expect_lines_in_order(r.out, {U8(" CPU名称：Cortex-A72"), U8(" CPU厂商：ARM"), U8(" CPU数量：1"), U8(" CPU位宽：64位"),
                                  U8(" CPU核心：核心-2　　　 / 线程-2"), U8(" 信息品牌："), U8(" 信息型号："),
                                  U8(" 型号信息：Raspberry Pi 4 Model B Rev 1.4")});
}

TEST(RealMachines, VideoControllersByTheirCardNamesAndDrivers) {
    const std::string ids = "/usr/share/libdrm/amdgpu.ids";  // Debian's libdrm-common
    if (!fs::exists(ids)) GTEST_SKIP() << ids << " is not installed";
    Tree t;
    t.put("/proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    auto gpu = [&](const std::string& slot, const char* vendor, const char* device, const char* revision,
                   const std::string& driver) {
        const std::string d = "/sys/bus/pci/devices/" + slot;
        t.put(d + "/class", "0x030000\n");
        t.put(d + "/vendor", std::string(vendor) + "\n");
        t.put(d + "/device", std::string(device) + "\n");
        t.put(d + "/revision", std::string(revision) + "\n");
        t.link(d + "/driver", "../../../bus/pci/drivers/" + driver);
    };
    // An RX 6800 XT (revision c1 of Navi 21) under amdgpu, which is in the kernel.
    gpu("0000:03:00.0", "0x1002", "0x73bf", "0xc1", "amdgpu");
    t.put("/sys/bus/pci/devices/0000:03:00.0/mem_info_vram_total", "17163091968\n");
    t.put("/usr/share/libdrm/amdgpu.ids", slurp(ids));
    t.put("/usr/share/misc/pci.ids", "1002  Advanced Micro Devices, Inc. [AMD/ATI]\n\t73bf  Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]\n"
                                     "10de  NVIDIA Corporation\n\t2206  GA102 [GeForce RTX 3080]\n");
    // An NVIDIA card under the vendor's own driver, which has a version.
    gpu("0000:65:00.0", "0x10de", "0x2206", "0xa1", "nvidia");
    t.put("/sys/module/nvidia/version", "535.154.05\n");
    t.put("/proc/driver/nvidia/gpus/0000:65:00.0/information", "Model: \t\t NVIDIA GeForce RTX 3080\nIRQ:   \t\t 130\n");
    const ProcessResult r = t.report();
    ASSERT_EQ(r.status, 0) << r.err;
    // The section shows the first controller; the second is checked below.
    expect_lines_in_order(r.out, {U8(" 显卡型号：AMD Radeon RX 6800 XT"), U8(" 显卡显存：17163091968"),
                                  U8(" 显卡厂商：Advanced Micro Devices, Inc. [AMD/ATI]"),
                                  U8(" 显卡驱动：6.1.0-18-amd64"), U8(" 显卡数量：2")});

    // Without the AMD card: the NVIDIA one, named by its driver.
    fs::remove_all(t.root() / "sys/bus/pci/devices/0000:03:00.0");
    const ProcessResult n = t.report();
    expect_lines_in_order(n.out, {U8(" 显卡型号：NVIDIA GeForce RTX 3080"), U8(" 显卡厂商：NVIDIA Corporation"),
                                  U8(" 显卡驱动：535.154.05")});
    // A driver built outside the kernel without a version says nothing.
    fs::remove(t.root() / "sys/module/nvidia/version");
    t.put("/sys/module/nvidia/taint", "POE\n");
    EXPECT_EQ(value_of(t.report().out, U8(" 显卡驱动：")), "");
}

TEST(RealMachines, OlderArm64AndCellLayouts) {
    // An 8-CPU phone on a 3.10 arm64 kernel: bare "processor" lines, then
    // one block for all of them (arch/arm64/kernel/setup.c of that time).
    Tree phone;
    std::string info = "Processor\t: AArch64 Processor rev 4 (aarch64)\n";
    for (int i = 0; i < 8; ++i) info += "processor\t: " + std::to_string(i) + "\n";
    info += "Features\t: fp asimd aes pmull sha1 sha2 crc32 \nCPU implementer\t: 0x41\n"
            "CPU architecture: AArch64\nCPU variant\t: 0x0\nCPU part\t: 0xd03\nCPU revision\t: 4\n\n"
            "Hardware\t: Qualcomm Technologies, Inc MSM8939\n";
    phone.put("/proc/cpuinfo", info);
    // Implementer 0x41 is ARM, part 0xd03 the Cortex-A53, an ARMv8 core.
    const ProcessResult p = phone.report();
    EXPECT_EQ(value_of(p.out, U8(" CPU名称：")), "Cortex-A53");
    EXPECT_EQ(value_of(p.out, U8(" CPU厂商：")), "ARM");
    EXPECT_EQ(value_of(p.out, U8(" CPU位宽：")), U8("64位"));
    EXPECT_EQ(value_of(p.out, U8(" CPU核心：")), U8("核心-8　　　 / 线程-8"));

    // A Cell PPE: two hardware threads of one core, one sibling list for
    // both and no core ids.
    Tree cell;
    cell.put("/proc/cpuinfo",
             "processor\t: 0\ncpu\t\t: Cell Broadband Engine, altivec supported\nclock\t\t: 3200.000000MHz\n"
             "revision\t: 5.1 (pvr 0070 0501)\n\nprocessor\t: 1\ncpu\t\t: Cell Broadband Engine, altivec supported\n"
             "clock\t\t: 3200.000000MHz\nrevision\t: 5.1 (pvr 0070 0501)\n\ntimebase\t: 79800000\n"
             "platform\t: PS3\nmodel\t\t: SonyPS3\n");
    for (const char* n : {"0", "1"})
        cell.put(std::string("/sys/devices/system/cpu/cpu") + n + "/topology/thread_siblings_list", "0-1\n");
    const ProcessResult c = cell.report();
    EXPECT_EQ(value_of(c.out, U8(" CPU核心：")), U8("核心-1　　　 / 线程-2"));
    EXPECT_EQ(value_of(c.out, U8(" CPU数量：")), "1");
}
