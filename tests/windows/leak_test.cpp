// Reports in a loop, each creating and releasing its Script Controls and
// RegExp objects, or its WMI connection and enumerations through our own
// host, leave the process's heaps (and, where Windows counts them,
// its handles) where they were. Run on their own by run_wine_tests.sh.
// Heap bytes are counted exactly, so after a warm-up a hundred reports show
// a leak of a few dozen bytes a report as surely as a thousand would.
#include <winsock2.h>
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "app/report.h"
#include "automation/script_query.h"
#include "automation/script_query_windows.h"
#include "sources/wmi_source_windows.h"
#include "reply/reply.h"
#include "sections/display/display.h"
#include "sections/hardware/hardware.h"
#include "sections/system/processor.h"
#include "sections/system/system.h"
#include "sections/display/screen_windows.h"
#include "sections/query_scripts.h"

namespace {

struct Counts {
    bool have_handles = false;
    DWORD handles = 0;
    SIZE_T heap_bytes = 0;  // busy blocks of every heap of the process
};

SIZE_T busy_heap_bytes() {
    HANDLE heaps[256];
    const DWORD n = GetProcessHeaps(256, heaps);
    SIZE_T total = 0;
    for (DWORD i = 0; i < n && i < 256; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e{};
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += e.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

Counts counts() {
    Counts c;
    c.have_handles = GetProcessHandleCount(GetCurrentProcess(), &c.handles) && c.handles > 0;
    c.heap_bytes = busy_heap_bytes();
    return c;
}

int loops() {
    const char* env = std::getenv("QV_LEAK_REPORTS");
    return env ? std::atoi(env) : 100;
}

// Runs `body` to warm up, then `n` times, and returns the growth.
long long growth(int n, const std::function<void()>& body, Counts& before, Counts& after) {
    for (int i = 0; i < 20; ++i) body();
    before = counts();
    for (int i = 0; i < n; ++i) body();
    after = counts();
    std::printf("  %d runs: heap bytes %zu -> %zu", n, static_cast<size_t>(before.heap_bytes),
                static_cast<size_t>(after.heap_bytes));
    if (before.have_handles)
        std::printf(", handles %lu -> %lu", static_cast<unsigned long>(before.handles),
                    static_cast<unsigned long>(after.handles));
    else
        std::printf(", no handle count from this system");
    std::printf("\n");
    return static_cast<long long>(after.heap_bytes) - static_cast<long long>(before.heap_bytes);
}

class Leaks : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        WSADATA wsa;
        WSAStartup(MAKEWORD(1, 0), &wsa);
        create_monitor_list();
    }
    void TearDown() override {
        release_monitor_list();
        WSACleanup();
        OleUninitialize();
    }
};

}  // namespace

// The bridge and the matcher alone: a Script Control, its engine, the
// RegExp object and every Variant and BSTR in between, with no WMI below.
TEST_F(Leaks, BridgeAndMatcherReleaseEverything) {
    Counts before, after;
    const long long grown = growth(loops(), [] {
        const Text r = run_script_query("Function GetA()\r\nGetA = \"内存\" & 1 & vbCrLf & vbCrLf\r\nEnd Function");
        ASSERT_EQ(clean_value(r), "内存1");
        ASSERT_EQ(run_script_query_number("Function GetA()\r\nGetA = Array(3, 4)\r\nEnd Function"), 3.0);
    }, before, after);
    EXPECT_LE(grown, 4096);
    if (before.have_handles) {
        EXPECT_LE(after.handles, before.handles);
    }
}

// Whole reports, WMI included. Wine's own WMI keeps some bytes per query
// for itself, below everything of ours, so the reports are held against the
// same query scripts run bare through the bridge: the report around them
// may add no more than a few dozen bytes per report.
TEST_F(Leaks, WholeReports) {
    const int n = loops();
    Counts before, after;
    const long long queries = growth(n, [] {
        for (const char* s : {kOsScript, kEnclosureMakerScript, kProcessorScript, kMonitorScript,
                              kMemoryScript, kDiskScript, kVideoControllerScript, kBaseBoardScript,
                              kComputerModelScript})
            run_script_query(s);
        run_script_query_number(kChassisTypeScript);
    }, before, after);
    const long long reports = growth(n, [] {
        TextReportBox box;
        build_report(box);
        ASSERT_EQ(box.pieces.size(), 41u);
    }, before, after);
    std::printf("  bare queries %.0f bytes per round, whole reports %.0f bytes per report\n",
                static_cast<double>(queries) / n, static_cast<double>(reports) / n);
    EXPECT_LE(reports, queries + static_cast<long long>(n) * 64);
    if (before.have_handles) {
        EXPECT_LE(after.handles, before.handles + 2);
    }
}

// WMI enumerated bare: the connection, the enumerator and each class
// object, nothing read. What Wine's WMI keeps for itself shows here.
struct BareWmi : WmiInstanceSource {
    void enumerate(const Text& class_name) {
        IEnumWbemClassObject* e = open_enumeration(class_name);
        if (!e) return;
        IWbemClassObject* o = nullptr;
        ULONG got = 0;
        while (e->Next(10000, 1, &o, &got) == WBEM_S_NO_ERROR && got == 1) o->Release();
        e->Release();
    }
};

Text class_of(const Text& script) {
    const auto at = script.find("from ") + 5;
    return script.substr(at, script.find('"', at) - at);
}

// The same through our own host over WMI's COM interface, as on a Windows
// without the Script Control. Wine's WMI keeps bytes for itself on some
// classes (128 per video controller enumeration, 44 per computer system),
// so each query, in its own session, is held against its class enumerated
// bare; the reports are held against the bare queries like the ones above.
TEST_F(Leaks, ReportsThroughOurOwnHost) {
    const int n = loops() / 4;  // a video query takes 150 ms under Wine: 25 of each
    Counts before, after;
    for (const auto& s : query_scripts()) {
        const Text cls = class_of(s.text);
        std::printf("  %s (%s)\n", s.name, cls.c_str());
        const long long bare = growth(n, [&] {
            BareWmi wmi;
            wmi.enumerate(cls);
        }, before, after);
        const long long ours = growth(n, [&] {
            const QuerySession session;
            run_script_query_in_host(s.text);
        }, before, after);
        EXPECT_LE(ours, bare + 1024) << s.name;
    }
    const long long queries = growth(n, [] {
        const QuerySession session;
        for (const auto& s : query_scripts()) run_script_query_in_host(s.text);
    }, before, after);
    use_script_control(false);
    const long long reports = growth(n, [] {
        TextReportBox box;
        build_report(box);
        ASSERT_EQ(box.pieces.size(), 41u);
    }, before, after);
    use_script_control(true);
    std::printf("  our own host: bare queries %.0f bytes per round, whole reports %.0f bytes per report\n",
                static_cast<double>(queries) / n, static_cast<double>(reports) / n);
    EXPECT_LE(reports, queries + static_cast<long long>(n) * 64);
    if (before.have_handles) {
        EXPECT_LE(after.handles, before.handles + 2);
    }
}
