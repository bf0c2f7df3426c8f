// The processor lines of 25 real machines of every architecture, captured
// by util-linux and hwloc, against what lscpu reads from the same files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "process_support.h"

namespace fs = std::filesystem;

namespace {

struct Dump {
    const char* name;
    const char* cpu;    // CPU名称
    const char* maker;  // CPU厂商
    int count, width, cores, threads;
    int clock;  // 主频 in MHz where the rated clock is known; 0: not checked
};

// From lscpu's reading of each dump (see tests/data/cpu-dumps/README.md):
// model name and vendor, sockets (one package where the kernel gives none),
// cores and threads of the last package, and the rated clock where the
// name, base_frequency or the driver's maximum states it.
const Dump kDumps[] = {
    {"128arm-2pa2n8cluster4co", "Kunpeng-920", "HiSilicon", 2, 64, 64, 64, 0},
    {"20em64t-hybrid-1p6c2t+2ca4co1t", "13th Gen Intel(R) Core(TM) i7-1370P", "GenuineIntel", 1, 64, 14, 20, 1900},
    {"arm-A510-A710-A715-X3", "Cortex-A510 + Cortex-A710 + Cortex-A715 + Cortex-X3", "ARM", 1, 64, 8, 8, 0},
    {"armv7", "Cortex-A15", "ARM", 1, 32, 2, 2, 1700},
    {"loongarch-kvm_on_loongson_3c6000", "Loongson-3A5000", "Loongson", 32, 64, 1, 1, 0},
    {"loongarch-loongson_3a5000_hv", "Loongson-3A5000-HV", "Loongson", 1, 64, 4, 4, 0},
    {"nvidia-dgx-gb10", "Cortex-X925 + Cortex-A725", "ARM", 1, 64, 20, 20, 0},
    {"ppc-qemu", "740/750", "", 1, 32, 1, 1, 266},
    {"ppc64-POWER7-64cpu", "POWER7 (architected), altivec supported", "IBM", 1, 64, 16, 64, 3550},
    {"ppc64-POWER7", "POWER7 (architected), altivec supported", "IBM", 1, 64, 4, 16, 3000},
    {"rv64-linux", "sifive,u74-mc", "", 1, 64, 1, 2, 0},
    {"rv64-milkvpioneer", "rv64imafdcv", "T-Head", 1, 64, 64, 64, 0},
    {"rv64-visionfive2", "sifive,u74-mc", "SiFive", 1, 64, 4, 4, 0},
    {"s390-kvm", "IBM z196", "IBM/S390", 1, 64, 3, 3, 0},
    {"s390-lpar-drawer", "IBM z13", "IBM/S390", 2, 64, 6, 6, 0},
    {"s390-lpar", "IBM z196", "IBM/S390", 1, 64, 17, 17, 0},
    {"s390-nested-virt", "IBM z13", "IBM/S390", 2, 64, 1, 1, 0},
    {"s390-zvm", "IBM z196", "IBM/S390", 1, 64, 4, 4, 0},
    {"sparc64", "TI UltraSparc II  (BlackBird)", "", 1, 64, 6, 6, 248},
    {"vbox-win", "Intel(R) Core(TM) i5-3317U CPU @ 1.70GHz", "GenuineIntel", 1, 64, 2, 2, 1700},
    {"vmware_fpe", "AMD Opteron(tm) Processor 6328", "AuthenticAMD", 2, 64, 4, 8, 3200},
    {"x86_64-64cpu-linux6.2", "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz", "GenuineIntel", 1, 64, 4, 8, 2800},
    {"x86_64-64cpu", "Intel(R) Xeon(R) CPU           X7550  @ 2.00GHz", "GenuineIntel", 4, 64, 8, 16, 2000},
    {"x86_64-dell_e4310", "Intel(R) Core(TM) i5 CPU       M 560  @ 2.67GHz", "GenuineIntel", 1, 64, 2, 4, 2670},
    {"x86_64-epyc_7451", "AMD EPYC 7451 24-Core Processor", "AuthenticAMD", 2, 64, 24, 48, 2300},
};

}  // namespace

TEST(CpuDumps, ProcessorLinesAgreeWithLscpu) {
    const std::string archives = std::string(QV_FIXTURES) + "/data/cpu-dumps";
    if (!fs::exists(archives)) GTEST_SKIP() << "no CPU dumps in " << archives;
    if (std::system("command -v bzip2 >/dev/null") != 0) GTEST_SKIP() << "bzip2 is needed to unpack the hwloc dumps";
    char dir[] = "/tmp/qv-dumpsXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    int seen = 0;
    for (const auto& d : kDumps) {
        SCOPED_TRACE(d.name);
        std::string archive;
        for (const char* ext : {".tar.gz", ".tar.bz2"})
            if (fs::exists(archives + "/" + d.name + ext)) archive = archives + "/" + d.name + ext;
        ASSERT_FALSE(archive.empty());
        ASSERT_EQ(std::system(("tar --no-same-owner -xaf '" + archive + "' -C " + dir).c_str()), 0);
        const ProcessResult r = run_report("--root '" + std::string(dir) + "/" + d.name + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(value_of(r.out, U8(" CPU名称：")), d.cpu);
        EXPECT_EQ(value_of(r.out, U8(" CPU厂商：")), d.maker);
        EXPECT_EQ(value_of(r.out, U8(" CPU数量：")), std::to_string(d.count));
        EXPECT_EQ(value_of(r.out, U8(" CPU位宽：")), std::to_string(d.width) + U8("位"));
        EXPECT_EQ(value_of(r.out, U8(" CPU核心：")),
                  U8("核心-") + std::to_string(d.cores) + U8("　　　 / 线程-") + std::to_string(d.threads));
        if (d.clock) {
            const std::string speed = value_of(r.out, U8(" CPU速度："));
            EXPECT_EQ(speed.substr(0, speed.find(" /")), U8("主频-") + std::to_string(d.clock) + "MHz");
        }
        ++seen;
    }
    EXPECT_EQ(seen, 25);
    fs::remove_all(dir);
}
