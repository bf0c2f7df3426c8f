// Trust under pressure: memory that runs out, directories longer than a
// listing takes, outputs that are not ordinary files, DIR as the user spelt
// it, a capture that lists as its tree, and no /proc.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "process_support.h"

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct TempDir {
    explicit TempDir(const std::string& base = "/tmp") {
        std::string d = base + "/qv-pressureXXXXXX";
        path = mkdtemp(d.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::string path;
};

void write_file(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// A whole report ends with its elapsed-time line.
bool whole_report(const std::string& out) { return out.find(U8("耗时：")) != std::string::npos; }

}  // namespace

TEST(Pressure, RunningOutOfMemoryIsAnErrorAndLeavesNoCapture) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers' runtime needs more address space than any limit swept here";
    TempDir t;
    // A 2 MB cpuinfo: 4096 processors of about 500 bytes.
    std::string cpuinfo;
    for (int i = 0; i < 4096; ++i)
        cpuinfo += "processor\t: " + std::to_string(i) +
                   "\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU E7-8890 v4 @ 2.20GHz\n"
                   "flags\t\t: fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov pat pse36 clflush dts "
                   "acpi mmx fxsr sse sse2 ss ht tm pbe syscall nx pdpe1gb rdtscp lm constant_tsc arch_perfmon pebs bts "
                   "rep_good nopl xtopology nonstop_tsc cpuid aperfmperf pni pclmulqdq dtes64 monitor ds_cpl vmx smx "
                   "est tm2 ssse3\ncpu MHz\t\t: 2200.000\n\n";
    write_file(t.path + "/tree/proc/cpuinfo", cpuinfo);
    // Below some limit the dynamic loader itself cannot start the program
    // (it fails, or crashes, before main): the sweep starts where it can.
    int start = 0;
    for (int kb = 3000; kb <= 40000 && !start; kb += 200)
        if (run_report("--version", "ulimit -v " + std::to_string(kb) + "; ").status == 0) start = kb + 200;
    ASSERT_GT(start, 0);
    int whole = 0, refused = 0;
    for (int kb = start; kb <= start + 34000; kb += 1700) {
        SCOPED_TRACE(kb);
        const std::string cap = t.path + "/cap" + std::to_string(kb);
        const ProcessResult r = run_report("--root " + t.path + "/tree --capture " + cap,
                                           "ulimit -v " + std::to_string(kb) + "; ");
        if (r.status == 0) {
            ++whole;
            EXPECT_TRUE(whole_report(r.out)) << r.err;
            EXPECT_TRUE(fs::exists(cap + "/proc/cpuinfo"));
        } else {
            ++refused;
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_FALSE(fs::exists(cap)) << "a capture was left behind: " << r.err;
        }
    }
    // The sweep spans both outcomes, or it showed nothing.
    EXPECT_GT(whole, 0);
    EXPECT_GT(refused, 0);
}

TEST(Pressure, AListingOverTheCapKeepsTheFirstNamesInOrder) {
    // Two trees of 4100 disks, made in opposite orders on tmpfs, where a
    // listing comes back newest first: the same 4096 disks in both.
    TempDir scratch(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
    const std::string trees[] = {scratch.path + "/up", scratch.path + "/down"};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 4100; ++i) {
            const int n = k == 0 ? i : 4099 - i;
            char name[16];
            std::snprintf(name, sizeof name, "sd%05d", n);
            // 1 GiB more for each disk, so each one shows which it is.
            write_file(trees[k] + "/sys/block/" + name + "/size", std::to_string((n + 1) * 2097152LL) + "\n");
        }
    const ProcessResult up = run_report("--root " + trees[0]);
    const ProcessResult down = run_report("--root " + trees[1]);
    ASSERT_EQ(up.status, 0) << up.err;
    EXPECT_EQ(without_elapsed(up.out), without_elapsed(down.out));
    EXPECT_NE(up.out.find(U8(" 数量：4096\n")), std::string::npos);
    EXPECT_NE(up.out.find(U8(" 磁盘4096容量：4096GB\n")), std::string::npos);  // sd04095, the last kept
    EXPECT_NE(up.err.find("4100 names"), std::string::npos) << up.err;
}

TEST(Pressure, OutputsOfEveryKind) {
    TempDir t;
    // A non-blocking pipe that the reader drains late: every byte arrives.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    fcntl(fds[1], F_SETPIPE_SZ, 4096);  // full after a page, well before the report's end
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(QV_REPORT_EXE, QV_REPORT_EXE, "--json", "--root", tree("server").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_GT(out.size(), 4096u);
    EXPECT_EQ(out.substr(out.size() - 2), "}\n");

    // A C library without a GBK converter (a slim container): still UTF-8.
    const ProcessResult slim = run_report("--root " + tree("laptop"), "GCONV_PATH=" + t.path + " LOCPATH=" + t.path + " ");
    ASSERT_EQ(slim.status, 0) << slim.err;
    EXPECT_NE(slim.out.find(U8("系统信息")), std::string::npos);
    EXPECT_NE(slim.out.find(U8(" CPU名称：11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz\n")), std::string::npos);

    // A file-size limit of 0 on a report written to a file: the same error
    // on every output path, never SIGXFSZ (stderr is a pipe, which the
    // limit does not touch).
    const std::string edid = std::string(QV_FIXTURES) + "/data/edid/SAM-04D5-0f0995af.bin";
    for (const std::string& args : {"--edid " + edid, "--root " + tree("laptop"), "--json --root " + tree("laptop")}) {
        const std::string cmd = "sh -c 'ulimit -f 0; exec " + std::string(QV_REPORT_EXE) + " " + args + " >" + t.path +
                                "/out' 2>&1 | cat";
        FILE* p = popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string err;
        for (int c; (c = std::fgetc(p)) != EOF;) err += static_cast<char>(c);
        const int piped = pclose(p);
        EXPECT_TRUE(WIFEXITED(piped)) << args;
        EXPECT_EQ(err, "quorvin-report: cannot write the report: File too large\n") << args;
    }
}

TEST(Pressure, CaptureDirAsTheUserSpeltIt) {
    for (const char* spelling : {"x/../cap", "cap/", "./cap/.", "cap//", "a/b/../../cap", "./x/./../cap/"}) {
        SCOPED_TRACE(spelling);
        TempDir t;
        const ProcessResult r = run_report(std::string("--root ") + tree("laptop") + " --capture '" + spelling + "'",
                                           "cd " + t.path + " && ");
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<std::string> made;
        for (const auto& e : fs::directory_iterator(t.path)) made.push_back(e.path().filename());
        EXPECT_EQ(made, std::vector<std::string>{"cap"});
        EXPECT_TRUE(fs::exists(t.path + "/cap/proc/cpuinfo"));
    }
    // The directory itself, or its parent: not empty, refused, nothing made.
    for (const char* spelling : {".", "./", "sub/..", "sub/../.", ".."}) {
        SCOPED_TRACE(spelling);
        TempDir t;
        fs::create_directory(t.path + "/keep");
        const ProcessResult r = run_report(std::string("--root ") + tree("laptop") + " --capture '" + spelling + "'",
                                           "cd " + t.path + "/keep && touch here && ");
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_FALSE(fs::exists(t.path + "/keep/sub"));
        EXPECT_EQ(std::distance(fs::directory_iterator(t.path + "/keep"), fs::directory_iterator()), 1);
    }
}

TEST(Pressure, ACaptureListsAsItsTree) {
    // A disk directory under which nothing is read is still a disk.
    TempDir t;
    fs::copy(tree("laptop"), t.path + "/tree", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    fs::create_directories(t.path + "/tree/sys/block/sdz");
    const ProcessResult a = run_report("--root " + t.path + "/tree --capture " + t.path + "/cap");
    ASSERT_EQ(a.status, 0) << a.err;
    const ProcessResult b = run_report("--root " + t.path + "/cap");
    EXPECT_EQ(without_elapsed(a.out), without_elapsed(b.out));
    EXPECT_NE(a.out.find(U8(" 数量：2\n")), std::string::npos);
}

TEST(Pressure, WithoutProcATreeIsNotRead) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers' leak check needs /proc itself";
    if (geteuid() != 0 || std::system("command -v unshare >/dev/null") != 0)
        GTEST_SKIP() << "a private mount namespace needs root and unshare";
    if (std::system("unshare -m --propagation private true 2>/dev/null") != 0)
        GTEST_SKIP() << "this container cannot make a mount namespace";
    const ProcessResult r =
        run_report("--root " + tree("laptop"), "unshare -m --propagation private sh -c 'mount -t tmpfs none /proc && exec \"$0\" \"$@\"' ");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("/proc is missing"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.out.find(U8(" 系统版本：\n")), std::string::npos);  // nothing of the tree's os-release
}

TEST(Pressure, WhatATreeMultipliesIsReadOnceAndWithinABound) {
    TempDir t(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
    // 1024 names of one disk whose files are 1 TiB, sparse: read once.
    const std::string one = t.path + "/one";
    fs::create_directories(one + "/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda/device");
    const std::string disk = one + "/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda";
    for (const char* f : {"/size", "/dev", "/device/model", "/device/vendor", "/device/vpd_pg89"}) {
        std::ofstream(disk + f).close();
        fs::resize_file(disk + f, 1ull << 40);
    }
    fs::create_directories(one + "/sys/block");
    for (int i = 0; i < 1024; ++i)
        fs::create_symlink("../devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda",
                           one + "/sys/block/sd" + std::to_string(100000 + i));
    // Under a limit that 1024 copies of the disk's files would not fit in.
    const ProcessResult r =
        run_report("--root " + one + " --capture " + t.path + "/cap", kSanitized ? "" : "ulimit -v 150000; ");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(U8(" 数量：1024\n")), std::string::npos);  // no disk dropped
    std::uintmax_t captured = 0;
    for (const auto& e : fs::recursive_directory_iterator(t.path + "/cap"))
        if (e.is_regular_file()) captured += e.file_size();
    EXPECT_LT(captured, 2u << 20) << "the one disk's files were kept more than once";

    // Distinct big files past the report's bound: read to the bound, and said.
    const std::string many = t.path + "/many";
    for (int i = 0; i < 1200; ++i) {
        const std::string dir = many + "/sys/block/sd" + std::to_string(100000 + i);
        fs::create_directories(dir + "/device");
        for (const char* f : {"/size", "/device/model", "/device/vpd_pg89"}) {
            std::ofstream(dir + f).close();
            fs::resize_file(dir + f, 1ull << 30);
        }
    }
    const ProcessResult m = run_report("--json --root " + many);
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_NE(m.out.find("were not read"), std::string::npos) << "the JSON's warnings say the bound cut the reads";
    EXPECT_NE(m.out.find("\"disks\": ["), std::string::npos);
}
