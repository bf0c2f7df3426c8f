// The Windows facts, checked against what the prefix was set up with.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "sections/display/display.h"
#include "sections/display/screen_windows.h"
#include "io/host.h"
#include "sections/system/processor.h"
#include "sections/system/system.h"
#include "values/encoding.h"

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

Bytes file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const Text kEnum = "SYSTEM\\ControlSet00";

}  // namespace

// run_wine_tests.sh writes: QVTEST\1: 5 bytes in 001, the block in 002 and
// a REG_SZ in 003; QVTEST\2: 5 bytes in 001 and 002, none in 003;
// QVTEST\3: the block in 001 and 5 bytes in 002; QVTEST\4: REG_SZ only.
TEST(Registry, EdidValuesAcrossControlSets) {
    const Bytes block = file_bytes(env("QV_EDID_FILE"));
    ASSERT_EQ(block.size(), 128u);
    const Text path1 = kEnum + "1\\Enum\\DISPLAY\\QVTEST\\1\\Device Parameters\\EDID";
    EXPECT_EQ(registry_read_binary(RegistryRoot::LocalMachine, path1).size(), 5u);
    EXPECT_TRUE(registry_read_binary(RegistryRoot::LocalMachine,
                                     kEnum + "3\\Enum\\DISPLAY\\QVTEST\\1\\Device Parameters\\EDID")
                    .empty());  // REG_SZ is refused
    EXPECT_TRUE(registry_read_binary(RegistryRoot::LocalMachine,
                                     kEnum + "1\\Enum\\DISPLAY\\QVTEST\\9\\Device Parameters\\EDID")
                    .empty());
    EXPECT_EQ(read_edid_bytes("DISPLAY\\QVTEST\\1"), block);
    EXPECT_TRUE(read_edid_bytes("DISPLAY\\QVTEST\\2").empty());
    EXPECT_EQ(read_edid_bytes("DISPLAY\\QVTEST\\3"), block);
    EXPECT_TRUE(read_edid_bytes("DISPLAY\\QVTEST\\4").empty());
}

TEST(WindowsFacts, SystemValues) {
    EXPECT_EQ(read_user_name(), env("QV_EXPECT_USER"));
    EXPECT_TRUE(is_64bit_windows());
    // The family code follows the version numbers Windows reports.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto fn = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(fn, nullptr);
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    fn(&v);
    EXPECT_EQ(read_os_family(), os_family_from_version(v.dwMajorVersion, v.dwMinorVersion));
    const Text sig = read_processor_signature();
    EXPECT_EQ(sig.size(), 16u);
    EXPECT_EQ(sig.find_first_not_of("0123456789ABCDEF"), Text::npos);
    EXPECT_EQ(sig, env("QV_EXPECT_SIG"));  // the same instruction the Linux build runs
    EXPECT_EQ(host_name(), env("QV_EXPECT_HOST"));
}

TEST(WindowsFacts, ScreenMetrics) {
    create_monitor_list();
    std::int32_t bpp = 0, w = 0, h = 0, hz = 0;
    query_display_mode(0, bpp, w, h, hz);
    EXPECT_EQ(to_text(w), env("QV_SCREEN_W"));
    EXPECT_EQ(to_text(h), env("QV_SCREEN_H"));
    EXPECT_EQ(bpp, 32);
    std::int32_t untouched = -5;
    query_display_mode(99, untouched, untouched, untouched, untouched);
    EXPECT_EQ(untouched, -5);  // no device 99: nothing written
    EXPECT_EQ(count_screens(), 1);
    EXPECT_EQ(count_screens(), 1);  // emptied before each count, never added up
    EXPECT_GE(taskbar_thickness(), 0);
    release_monitor_list();
}

TEST(WindowsFacts, TaskbarThicknessAcrossItsEdge) {
    const RECT rc{0, 728, 1366, 768};  // 40 high, 1366 wide
    EXPECT_EQ(taskbar_thickness_of(ABE_BOTTOM, rc), 40);
    EXPECT_EQ(taskbar_thickness_of(ABE_TOP, rc), 40);
    const RECT side{0, 0, 62, 768};
    EXPECT_EQ(taskbar_thickness_of(ABE_LEFT, side), 62);
    EXPECT_EQ(taskbar_thickness_of(ABE_RIGHT, side), 62);
    EXPECT_EQ(taskbar_thickness_of(7, side), 0);
}

// User and host names come through the wide functions and code page 936,
// whatever the machine's ANSI code page: "José" and "Müller" as GBK.
TEST(WindowsFacts, WideNamesBecomeGbk) {
    EXPECT_EQ(wide_to_gbk(L"Jos\u00e9", 4), "Jos\xa8\xa6");
    EXPECT_EQ(wide_to_gbk(L"M\u00fcller-\u4e2d", 8), "M\xa8\xb9ller-\xd6\xd0");
    const Text user = read_user_name();
    EXPECT_FALSE(user.empty());
    EXPECT_EQ(user, env("QV_EXPECT_USER"));
}
