// What a desktop user without root sees: memory modules from udev's record
// of the SMBIOS table, the display mode from the kernel's mode setting.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sources/linux/kms_state.h"
#include "fake_kms.h"
#include "process_support.h"

namespace fs = std::filesystem;

namespace {

const char* const kDmiMemoryId = "/lib/udev/dmi_memory_id";  // Debian's udev package

// An SMBIOS memory device (type 17): size in MB (0: an empty slot), speed,
// and the string numbers of maker and serial (0: absent).
std::string memory_record(int handle, int size_mb, int speed, const std::string& maker, const std::string& serial) {
    std::string s(0x28, '\0');
    s[0] = 17, s[1] = 0x28, s[2] = static_cast<char>(handle), s[3] = 0x11;
    s[0x0C] = static_cast<char>(size_mb & 0xFF), s[0x0D] = static_cast<char>(size_mb >> 8);
    s[0x15] = static_cast<char>(speed & 0xFF), s[0x16] = static_cast<char>(speed >> 8);
    std::string strings;
    int k = 0;
    if (!maker.empty()) s[0x17] = static_cast<char>(++k), strings += maker + '\0';
    if (!serial.empty()) s[0x18] = static_cast<char>(++k), strings += serial + '\0';
    return s + (strings.empty() ? std::string(2, '\0') : strings + '\0');
}

std::string end_of_table() { return std::string("\x7f\x04\xff\xff\0\0", 6); }

// What udev stores for the machine: dmi_memory_id's answer over the table
// (given the dump-file form it reads: an SMBIOS 3 entry point, the table at
// 0x20), each property as "E:KEY=value".
std::string udev_record_of(const std::string& table, const fs::path& dir) {
    std::string ep = "_SM3_";
    ep += std::string("\0\x18\x03\x02\x00\x01\x00", 7);
    const auto n = static_cast<std::uint32_t>(table.size());
    for (int i = 0; i < 4; ++i) ep += static_cast<char>((n >> (8 * i)) & 0xFF);
    ep += std::string("\x20\0\0\0\0\0\0\0", 8);
    unsigned sum = 0;
    for (char c : ep) sum += static_cast<unsigned char>(c);
    ep[5] = static_cast<char>((256 - sum % 256) % 256);
    ep.resize(0x20, '\0');
    const fs::path dump = dir / "dump.bin";
    std::ofstream(dump, std::ios::binary) << ep << table;
    const std::string props = sh(std::string(kDmiMemoryId) + " -F '" + dump.string() + "'");
    std::string record;
    std::size_t pos = 0;
    while (pos < props.size()) {
        std::size_t end = props.find('\n', pos);
        if (end == std::string::npos) end = props.size();
        record += "E:" + props.substr(pos, end - pos) + "\n";
        pos = end + 1;
    }
    return record;
}

void put(const fs::path& p, const std::string& data) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << data;
}

std::string memory_lines(const std::string& report) {
    const auto a = report.find(U8("内存信息"));
    const auto b = report.find(U8("硬盘信息"));
    return report.substr(a, b - a);
}

}  // namespace

TEST(Desktop, MemoryModulesFromUdevWhenTheTableIsRootOnly) {
    if (access(kDmiMemoryId, X_OK) != 0) GTEST_SKIP() << kDmiMemoryId << " (Debian's udev package) is not installed";
    char dir[] = "/tmp/qv-desktopXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const fs::path top = dir;
    // Two modules, two empty slots, one module without a maker's string.
    const std::string table = memory_record(1, 16384, 3200, "Samsung", "S1") + memory_record(2, 0, 0, "", "") +
                              memory_record(3, 8192, 2666, "", "S3") + memory_record(4, 0, 0, "", "") + end_of_table();
    put(top / "udev/run/udev/data/+dmi:id", udev_record_of(table, top));
    put(top / "udev/proc/cpuinfo", "processor\t: 0\n");
    const ProcessResult r = run_report("--root " + (top / "udev").string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(memory_lines(r.out), U8("内存信息**********************\n"
                                      " 内存1容量：16GB\n 内存1速度：3200MHZ\n 内存1厂商：Samsung\n 内存1序列：S1\n"
                                      " 内存2容量：8GB\n 内存2速度：2666MHZ\n 内存2厂商：\n 内存2序列：S3\n"
                                      " 数量：2\n**********************"));

    // Where both are there, they agree: the captured trees' own tables.
    for (const char* name : {"laptop", "server"}) {
        const fs::path copy = top / name;
        fs::copy(tree(name), copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        const ProcessResult with_table = run_report("--root " + copy.string());
        const std::string dmi = slurp((copy / "sys/firmware/dmi/tables/DMI").string());
        put(copy / "run/udev/data/+dmi:id", udev_record_of(dmi, top));
        fs::remove(copy / "sys/firmware/dmi/tables/DMI");
        const ProcessResult with_udev = run_report("--root " + copy.string());
        EXPECT_EQ(memory_lines(with_udev.out), memory_lines(with_table.out)) << name;
        EXPECT_NE(memory_lines(with_udev.out).find(U8(" 内存1容量：")), std::string::npos) << name;
    }
    fs::remove_all(top);
}

TEST(Desktop, DisplayModesFromTheKernelsModeSetting) {
    FakeKms k;
    auto read = [&] { return read_kms_card([&](unsigned long r, void* a) { return k.ioctl(r, a); }); };
    // One monitor at 1920x1080, 60 Hz, on a 32-bit framebuffer.
    k.connectors = {{40, 1, 30}};
    k.encoder_crtc = {{30, 20}};
    k.crtcs = {{20, {10, true, FakeKms::mode(1920, 1080, 148500, 2200, 1125)}}};
    k.fb_bpp = {{10, 32}};
    EXPECT_EQ(read(), (std::vector<KmsScreen>{{1920, 1080, 60, 32}}));

    // A disconnected connector, a connected monitor switched off (no
    // encoder), a 143.9 Hz monitor and a 59.94 Hz one whose CRTC has no
    // framebuffer yet: whole hertz as Windows gives them.
    k.connectors = {{41, 2, 0}, {42, 1, 0}, {43, 1, 31}, {44, 1, 32}};
    k.encoder_crtc = {{31, 21}, {32, 22}};
    k.crtcs = {{21, {11, true, FakeKms::mode(2560, 1440, 592000, 2720, 1512)}},
               {22, {0, true, FakeKms::mode(1920, 1080, 148352, 2200, 1125)}}};
    k.fb_bpp = {{11, 32}};
    EXPECT_EQ(read(), (std::vector<KmsScreen>{{2560, 1440, 143, 32}, {1920, 1080, 59, 0}}));

    // A CRTC without a valid mode drives nothing; a card without resources gives no answer.
    k.crtcs[21].valid = false;
    EXPECT_EQ(read()->size(), 1u);
    EXPECT_FALSE(read_kms_card([&](unsigned long, void*) { errno = EACCES; return -1; }).has_value());

    // A driver that claims a million connectors is asked about a bounded few.
    k.claimed = 1000000;
    k.calls = 0;
    EXPECT_TRUE(read()->empty());
    EXPECT_LT(k.calls, 1000);
}

TEST(Desktop, RecordedModeSettingGoesWithTheTree) {
    const KmsState state{{{2560, 1440, 143, 32}, {1920, 1080, 59, 32}}};
    EXPECT_EQ(parse_kms_state(kms_state_text(state)), state);
    EXPECT_FALSE(parse_kms_state("screen 1 2 x 4\n").has_value());
    EXPECT_EQ(parse_kms_state("# nothing driven\n")->screens.size(), 0u);

    char dir[] = "/tmp/qv-kmsXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const fs::path t = fs::path(dir) / "tree";
    put(t / "proc/cpuinfo", "processor\t: 0\n");
    // The console framebuffer a DRM driver emulates: no refresh in its mode.
    put(t / "sys/class/graphics/fb0/bits_per_pixel", "32\n");
    put(t / "sys/class/graphics/fb0/virtual_size", "1920,1080\n");
    put(t / "sys/class/graphics/fb0/mode", "\n");
    put(t / "sys/class/drm/card0-DP-1/status", "connected\n");
    put(t / "sys/class/drm/card0-DP-2/status", "connected\n");
    const ProcessResult fb = run_report("--root " + t.string());
    expect_lines_in_order(fb.out, {U8(" 屏幕数量：2"), U8(" 屏幕色深：32"), U8(" 刷新码率：0"), U8(" 屏幕宽度：1920"),
                                   U8(" 屏幕高度：1080")});
    put(t / "quorvin/kms-state", kms_state_text(KmsState{{{2560, 1440, 143, 32}}}));
    const ProcessResult kms = run_report("--root " + t.string());
    expect_lines_in_order(kms.out, {U8(" 屏幕数量：1"), U8(" 屏幕色深：32"), U8(" 刷新码率：143"), U8(" 屏幕宽度：2560"),
                                    U8(" 屏幕高度：1440")});
    // A capture of the tree keeps the recorded state.
    const fs::path out = fs::path(dir) / "out";
    ASSERT_EQ(run_report("--root " + t.string() + " --capture " + out.string()).status, 0);
    EXPECT_EQ(without_elapsed(run_report("--root " + out.string()).out), without_elapsed(kms.out));
    fs::remove_all(dir);
}

TEST(Desktop, ThisMachineWithoutModeSettingOrUdevFallsBackAsBefore) {
    if (fs::exists("/dev/dri") || fs::exists("/run/udev/data/+dmi:id"))
        GTEST_SKIP() << "this machine has /dev/dri or udev's record; the fallback is checked on trees";
    const ProcessResult r = run_report("");
    ASSERT_EQ(r.status, 0);
    // The console framebuffer where there is one, else zeros; the connected connectors.
    const std::string fb = "/sys/class/graphics/fb0/virtual_size";
    if (!fs::exists(fb)) {
        EXPECT_EQ(value_of(r.out, U8(" 屏幕宽度：")), "0");
        EXPECT_EQ(value_of(r.out, U8(" 刷新码率：")), "0");
    } else {
        const std::string size = sh("cat " + fb);
        EXPECT_EQ(value_of(r.out, U8(" 屏幕宽度：")), size.substr(0, size.find(',')));
    }
    EXPECT_EQ(value_of(r.out, U8(" 屏幕数量：")), sh("cat /sys/class/drm/card*-*/status 2>/dev/null | grep -c '^connected' || true"));
    if (access("/sys/firmware/dmi/tables/DMI", R_OK) != 0) {
        EXPECT_EQ(value_of(r.out, U8(" 数量：")), "");
    }
}
