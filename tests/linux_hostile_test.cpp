// Trees and arguments from a hostile sender: --capture writes only below its
// directory, --root stays inside its tree, --edid and the output are checked.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "process_support.h"
#include "io/linux_files.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        char t[] = "/tmp/qv-hostXXXXXX";
        path_ = mkdtemp(t);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    fs::path path_;
};

void put(const fs::path& file, const std::string& data) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << data;
}

std::uint64_t fnv(const std::string& s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

// Every entry below `dir` with its kind and a hash of what it holds, links
// not followed: two equal listings mean nothing there changed.
std::map<std::string, std::string> listing(const fs::path& dir) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const auto& p = it->path();
        const auto rel = fs::relative(p, dir).string();
        if (it->is_symlink()) out[rel] = "link " + fs::read_symlink(p).string();
        else if (it->is_directory()) out[rel] = "dir";
        else out[rel] = "file " + std::to_string(fnv(slurp(p.string())));
    }
    return out;
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

// A small tree of another machine, with values this machine cannot have.
void other_machine(const fs::path& t) {
    put(t / "etc/os-release", "PRETTY_NAME=\"Elsewhere OS 9\"\n");
    put(t / "proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Far CPU @ 1.00GHz\nflags\t\t: fpu lm\n\n");
    put(t / "proc/sys/kernel/hostname", "far-host\n");
    put(t / "proc/sys/kernel/arch", "x86_64\n");
    put(t / "sys/block/sda/size", "2097152\n");
    put(t / "sys/block/sda/dev", "8:0\n");
}

}  // namespace

TEST(HostileCapture, ContentsOfTheTreeCannotSteerWrites) {
    TempDir top;
    const fs::path parent = top.path() / "a" / "b";
    put(top.path() / "victim", "precious\n");
    fs::create_directories(top.path() / "a");
    fs::create_symlink("../victim", top.path() / "a" / "victim");
    const fs::path t = parent / "tree";
    other_machine(t);
    // The sender's file names a place two levels above the tree and the
    // capture alike, where a link of the user's stands.
    put(t / "sys/block/sda/dev", "../../../sub/../../../victim\n");
    fs::create_directories(t / "sys/dev/block");
    fs::create_directories(t / "sub");
    const auto before = listing(top.path());
    const fs::path out = parent / "out";
    const ProcessResult r = run_report("--root " + q(t) + " --capture " + q(out));
    EXPECT_EQ(r.status, 0) << r.err;
    auto after = listing(top.path());
    for (auto it = after.begin(); it != after.end();)
        it = it->first.rfind("a/b/out", 0) == 0 ? after.erase(it) : std::next(it);
    EXPECT_EQ(before, after) << "something outside the capture directory changed";
    EXPECT_EQ(slurp((top.path() / "victim").string()), "precious\n");
    EXPECT_EQ(fs::read_symlink(top.path() / "a" / "victim"), "../victim");
    // What the capture holds reports the same machine.
    const ProcessResult again = run_report("--root " + q(out));
    EXPECT_EQ(without_elapsed(again.out), without_elapsed(r.out));
}

TEST(HostileCapture, OnlyANewOrEmptyDirectoryIsTaken) {
    TempDir top;
    other_machine(top.path() / "tree");
    const std::string tree_arg = "--root " + q(top.path() / "tree");

    // Links planted in the directory, an older capture, the tree itself.
    const fs::path planted = top.path() / "planted";
    fs::create_directories(planted / "proc");
    put(top.path() / "notes.txt", "mine\n");
    fs::create_symlink("../../notes.txt", planted / "proc/cpuinfo");
    fs::create_directory_symlink(top.path(), planted / "sys");
    const fs::path older = top.path() / "older";
    ASSERT_EQ(run_report(tree_arg + " --capture " + q(older)).status, 0);
    const fs::path file = top.path() / "notes.txt";
    for (const fs::path& dir : {planted, older, top.path() / "tree", file}) {
        const auto before = listing(top.path());
        const ProcessResult r = run_report(tree_arg + " --capture " + q(dir));
        EXPECT_EQ(r.status, 2) << dir;
        EXPECT_EQ(r.out, "") << dir;
        EXPECT_NE(r.err.find(dir.string()), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(listing(top.path()), before) << dir;
    }
    EXPECT_EQ(slurp(file.string()), "mine\n");

    // An empty directory is taken; the files keep their permission bits.
    fs::create_directories(top.path() / "empty");
    ASSERT_EQ(chmod((top.path() / "tree/proc/cpuinfo").c_str(), 0400), 0);
    ASSERT_EQ(run_report(tree_arg + " --capture " + q(top.path() / "empty")).status, 0);
    struct stat st {};
    ASSERT_EQ(stat((top.path() / "empty/proc/cpuinfo").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0400u);
}

TEST(HostileCapture, AFailedWriteIsReportedAndLeavesNoTree) {
    TempDir top;
    other_machine(top.path() / "tree");
    put(top.path() / "tree/proc/cpuinfo", std::string(8192, '#') + "\n");
    const fs::path out = top.path() / "out/nested/dir";
    // A file-size limit of 4 KiB: the 8 KiB cpuinfo cannot be written whole.
    const std::string cmd = "(ulimit -f 4; " + std::string(QV_REPORT_EXE) + " --root " + q(top.path() / "tree") +
                            " --capture " + q(out) + " >/dev/null 2>" + q(top.path() / "err") + "); echo $?";
    const std::string status = sh(cmd);
    EXPECT_NE(status, "0");
    const std::string err = slurp((top.path() / "err").string());
    EXPECT_NE(err.find("proc/cpuinfo"), std::string::npos) << err;
    EXPECT_NE(err.find("File too large"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(top.path() / "out")) << "a failed capture must not leave a tree, nor DIR's parents, behind";

    // Into an empty directory of the user's: emptied again, not removed.
    fs::create_directories(out);
    sh(cmd);
    EXPECT_TRUE(fs::is_directory(out));
    EXPECT_TRUE(fs::is_empty(out));
}

TEST(HostileRoot, LinksCannotLeaveTheTree) {
    TempDir top;
    const fs::path t = top.path() / "tree";
    other_machine(t);
    // Every way out a sender could try: absolute links, climbing links, a
    // link to the real root, and a directory link used on the way.
    fs::remove(t / "proc/cpuinfo");
    fs::create_symlink("/proc/cpuinfo", t / "proc/cpuinfo");
    fs::remove(t / "etc/os-release");
    fs::create_symlink("../../../../../../../../etc/os-release", t / "etc/os-release");
    fs::remove(t / "proc/sys/kernel/hostname");
    fs::create_symlink("/proc/sys/kernel/hostname", t / "proc/sys/kernel/hostname");
    fs::create_directory_symlink("/", t / "usr");
    fs::create_directories(t / "sys/class");
    fs::create_directory_symlink("/sys/class/dmi", t / "sys/class/dmi");

    const ProcessResult r = run_report("--root " + q(t));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string model = sh("LC_ALL=C lscpu | sed -n 's/^Model name: *//p'");
    const std::string pretty = sh(". /etc/os-release && echo \"$PRETTY_NAME\"");
    EXPECT_EQ(value_of(r.out, U8(" CPU名称：")), "");
    EXPECT_EQ(value_of(r.out, U8(" 系统版本：")), "");
    EXPECT_EQ(r.out.find(pretty), std::string::npos);
    if (!model.empty()) {
        EXPECT_EQ(r.out.find(model), std::string::npos);
    }
    EXPECT_EQ(value_of(r.out, U8(" 取本机名：")), "") << "a tree's name is the tree's or none";

    // Inside the tree the same links resolve against the tree.
    put(t / "proc/cpuinfo-real", "processor\t: 0\nmodel name\t: Inside CPU\n\n");
    fs::remove(t / "proc/cpuinfo");
    fs::create_symlink("/proc/cpuinfo-real", t / "proc/cpuinfo");
    EXPECT_EQ(value_of(run_report("--root " + q(t)).out, U8(" CPU名称：")), "Inside CPU");

    // A capture of the tree holds none of this machine's files.
    const fs::path out = top.path() / "out";
    ASSERT_EQ(run_report("--root " + q(t) + " --capture " + q(out)).status, 0);
    for (const auto& [rel, what] : listing(out))
        if (what.rfind("file", 0) == 0) {
            EXPECT_EQ(slurp((out / rel).string()).find(pretty), std::string::npos) << rel;
        }
}

// The kernel's in-root lookup and our own walk agree on every kind of link.
TEST(HostileRoot, OwnWalkResolvesAsTheKernelDoes) {
    TempDir top;
    const fs::path t = top.path();
    put(t / "etc/real", "real\n");
    put(t / "data/file", "data\n");
    fs::create_symlink("/etc/real", t / "etc/abs");
    fs::create_symlink("../../../../etc/real", t / "etc/climb");
    fs::create_symlink("loop2", t / "etc/loop1");
    fs::create_symlink("loop1", t / "etc/loop2");
    fs::create_directory_symlink("/data", t / "etc/dir");
    fs::create_directory_symlink("..", t / "etc/up");
    fs::create_symlink("/etc/passwd", t / "etc/passwd");
    fs::create_symlink("real/", t / "etc/slash");  // a trailing slash asks for a directory
    ASSERT_EQ(mkfifo((t / "etc/fifo").c_str(), 0644), 0);
    const std::map<std::string, std::optional<std::string>> want = {
        {"/etc/real", "real\n"}, {"/etc/abs", "real\n"},     {"/etc/climb", "real\n"},
        {"/etc/loop1", std::nullopt}, {"/etc/dir/file", "data\n"}, {"/etc/up/etc/up/data/file", "data\n"},
        {"/etc/passwd", std::nullopt}, {"/etc/fifo", std::nullopt}, {"/etc/../etc/real", std::nullopt},
        {"etc/real", std::nullopt},    {"/etc//real", std::nullopt}, {"/etc/slash", std::nullopt}};
    for (bool own : {false, true}) {
        LinuxFiles files;
        ASSERT_TRUE(files.set_root(t.string()));
        files.set_own_walk(own);
        for (const auto& [path, content] : want) EXPECT_EQ(files.read(path), content) << path << " own walk " << own;
        EXPECT_EQ(files.list("/etc/dir"), std::vector<std::string>{"file"}) << own;
        EXPECT_EQ(files.link("/etc/dir/../abs"), std::nullopt) << own;
        EXPECT_EQ(files.link("/etc/up/etc/abs"), "/etc/real") << own;
    }
}

TEST(HostileArguments, EdidFilesAreReadSafely) {
    TempDir top;
    const fs::path fifo = top.path() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const fs::path big = top.path() / "big";
    std::ofstream(big).close();
    fs::resize_file(big, 100u << 20);  // sparse: 100 MB that cost nothing
    for (const std::string& f : {std::string("/dev/zero"), fifo.string(), big.string(), std::string("/proc/self/mem"),
                                 top.str(), top.str() + "/none"}) {
        const ProcessResult r = run_report("--edid " + f);
        EXPECT_EQ(r.status, 2) << f;
        EXPECT_EQ(r.out, "") << f;
        EXPECT_EQ(r.err.rfind("quorvin-report: " + f + ": ", 0), 0u) << r.err;
    }
    // A block with every extension still fits.
    std::string edid = slurp(std::string(QV_FIXTURES) + "/data/edid/SAM-04D5-0f0995af.bin");
    edid.resize(32 * 1024, '\0');
    put(top.path() / "full.bin", edid);
    EXPECT_EQ(run_report("--edid " + q(top.path() / "full.bin")).status, 0);
}

TEST(HostileArguments, EmptyAndConflictingOptionsAreBadInput) {
    TempDir top;
    const std::string edid = std::string(QV_FIXTURES) + "/data/edid/SAM-04D5-0f0995af.bin";
    for (const std::string& args : {std::string("--root ''"), std::string("--capture ''"), std::string("--edid ''"),
                                    "--edid " + edid + " --capture " + q(top.path() / "c"),
                                    "--edid " + edid + " --root " + top.str()}) {
        const ProcessResult r = run_report(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(top.path() / "c"));
}

TEST(HostileOutput, AFullDeviceIsAnError) {
    const std::string edid = std::string(QV_FIXTURES) + "/data/edid/SAM-04D5-0f0995af.bin";
    // A short report (one buffer) and a whole one.
    for (const std::string& args : {"--edid " + edid, std::string("--root ") + tree("server")}) {
        const std::string cmd = std::string(QV_REPORT_EXE) + " " + args + " 2>&1 >/dev/full; echo \" $?\"";
        const std::string said = sh(cmd);
        EXPECT_EQ(said, "quorvin-report: cannot write the report: No space left on device\n 1") << args;
    }
}

TEST(HostileOutput, ControlBytesInValuesDoNotReachTheTerminal) {
    TempDir top;
    const fs::path t = top.path();
    other_machine(t);
    put(t / "etc/os-release", std::string("PRETTY_NAME=\"evil\x1b]0;owned\x07\x1b[2J\rtext\x7f\"\n"));
    put(t / "proc/sys/kernel/hostname", "caf\xc3\xa9-\xe4\xb8\xad\n");  // UTF-8 "café-中"
    const ProcessResult r = run_report("--root " + q(t));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(value_of(r.out, U8(" 系统版本：")), "evil" + fffd + "]0;owned" + fffd + fffd + "[2J" + fffd + "text" + fffd);
    for (char c : r.out) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
    EXPECT_EQ(value_of(r.out, U8(" 取本机名：")), "caf\xc3\xa9-\xe4\xb8\xad");
    // --raw holds the substitute GBK keeps for each of them.
    const ProcessResult raw = run_report("--raw --root " + q(t));
    EXPECT_NE(raw.out.find("evil\x1a]0;owned\x1a\x1a[2J\x1atext\x1a\r\n"), std::string::npos);
}

TEST(HostileValues, NoValueFromAnySourceMakesALine) {
    TempDir top;
    const fs::path clean = top.path() / "clean", t = top.path() / "forged";
    other_machine(clean);
    other_machine(t);
    const std::string forged = U8(" 系统版本：Forged");
    // A line feed the udev record encodes, one in the device tree's model, a
    // NEL (C1) in cpuinfo, the Unicode separators in os-release and the host name.
    put(t / "run/udev/data/b8:0", "E:ID_MODEL_ENC=Fake\\x0a" + forged + "\n");
    put(t / "sys/firmware/devicetree/base/model", "Board\n" + forged + std::string(1, '\0'));
    put(t / "proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: CPU\xc2\x85" + forged +
                                "\nflags\t\t: fpu lm\n\n");
    put(t / "etc/os-release", "PRETTY_NAME=\"OS\xe2\x80\xa8" + forged + "\"\n");
    put(t / "proc/sys/kernel/hostname", "h\xe2\x80\xa9" + forged + "\n");
    const ProcessResult base = run_report("--root " + q(clean));
    const ProcessResult text = run_report("--root " + q(t));
    ASSERT_EQ(text.status, 0) << text.err;
    auto count = [](const std::string& s, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count(text.out, "\n"), count(base.out, "\n"));
    EXPECT_EQ(count(text.out, "\n" + forged), 0u);
    EXPECT_EQ(count(text.out, "Forged"), 5u);  // each still inside its own value
    const ProcessResult raw = run_report("--raw --root " + q(t));
    EXPECT_EQ(count(raw.out, "\n"), count(base.out, "\n"));
    EXPECT_EQ(count(raw.out, "\r"), count(raw.out, "\r\n"));
    const ProcessResult js = run_report("--json --root " + q(t));
    ASSERT_EQ(js.status, 0) << js.err;
    for (const char* key : {"\"os_version\"", "\"host_name\"", "\"model\""}) {
        const std::size_t at = js.out.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        const std::string line = js.out.substr(at, js.out.find('\n', at) - at);
        EXPECT_NE(line.find("\\ufffd"), std::string::npos) << line;
        EXPECT_EQ(line.find("\\n"), std::string::npos) << line;
    }
    // A name from a tree quoted in a message cannot retitle or clear the
    // terminal, nor add a line of its own.
    const fs::path evil = top.path() / "x\x1b]0;title\x07\x1b[2J\nquorvin-report: all good";
    put(evil, "a file, not a directory");
    const ProcessResult bad = run_report("--root " + q(evil));
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(count(bad.err, "\n"), 1u) << bad.err;
    EXPECT_EQ(bad.err.find('\x1b'), std::string::npos);
}

TEST(HostileTrees, DeviceNodesAreNeverOpened) {
    if (geteuid() != 0) GTEST_SKIP() << "making device nodes needs root";
    TempDir top;
    const fs::path t = top.path() / "tree";
    other_machine(t);
    // Character devices (the null device's numbers, harmless if opened) and a
    // block device where the report reads fact files.
    const std::vector<fs::path> nodes = {t / "proc/cpuinfo", t / "etc/os-release", t / "sys/block/sda/size",
                                         t / "proc/sys/kernel/hostname"};
    for (const auto& n : nodes) {
        fs::remove(n);
        ASSERT_EQ(mknod(n.c_str(), (n.filename() == "size" ? S_IFBLK : S_IFCHR) | 0644,
                        n.filename() == "size" ? makedev(7, 0) : makedev(1, 3)), 0) << n;
    }
    const int in = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(in, 0);
    for (const auto& n : nodes) ASSERT_GE(inotify_add_watch(in, n.c_str(), IN_OPEN | IN_ACCESS), 0) << n;
    EXPECT_EQ(run_report("--root " + q(t)).status, 0);
    EXPECT_EQ(run_report("--json --root " + q(t)).status, 0);
    EXPECT_EQ(run_report("--root " + q(t) + " --capture " + q(top.path() / "cap")).status, 0);
    char buf[4096];
    const ssize_t n = ::read(in, buf, sizeof buf);
    EXPECT_EQ(n, -1) << "a device node of the tree was opened";
    ::close(in);
}

TEST(HostileTrees, OutOfDescriptorsIsAnError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' runtime itself needs descriptors to report";
#else
    // Descriptors 0 to 2 and the tree's own: the first file cannot be opened.
    // An error with exit 1, never a report that passes for whole.
    const std::string out = sh("python3 -c 'import os, resource, sys; os.closerange(3, 1 << 16); "
                               "resource.setrlimit(resource.RLIMIT_NOFILE, (4, 4)); os.execv(sys.argv[1], sys.argv[1:])' " +
                               std::string(QV_REPORT_EXE) + " --root " + q(tree("laptop")) + " 2>&1 >/dev/null; echo \" $?\"");
    EXPECT_NE(out.find("Too many open files\n 1"), std::string::npos) << out;
#endif
}

TEST(HostileTrees, NoSilentBlankReport) {
    // A tree the user may not search is bad input, not a report of blanks.
    if (geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0)
        GTEST_SKIP() << "running as another user needs root and setpriv";
    TempDir top;
    const fs::path t = top.path() / "closed";
    other_machine(t);
    fs::permissions(t, fs::perms::owner_all);
    fs::permissions(top.path(), fs::perms::owner_all | fs::perms::others_exec);
    const std::string said = sh("setpriv --reuid=65534 --regid=65534 --clear-groups " + std::string(QV_REPORT_EXE) +
                                " --root " + q(t) + " 2>&1 >/dev/null; echo \" $?\"");
    EXPECT_NE(said.find("Permission denied\n 2"), std::string::npos) << said;
}

TEST(HostileCapture, WholeOrAbsentWhateverHappens) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' runtime must come first; a preloaded library cannot";
#else
    TempDir top;
    const fs::path t = top.path() / "tree";
    fs::copy(tree("server"), t, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    // The disks' listing reached through a link, as some trees hold it.
    fs::rename(t / "sys/block", t / "sys/disks");
    fs::create_symlink("disks", t / "sys/block");
    const std::string shim = "LD_PRELOAD=" + std::string(QV_CAPTURE_SHIM) + " ";
    auto capture = [&](const std::string& env, const fs::path& out) {
        return sh(shim + env + " " + QV_REPORT_EXE + " --root " + q(t) + " --capture " + q(out) +
                  " >/dev/null 2>&1; echo $?");
    };
    // A signal as the report starts, at the first file written, and later:
    // no entry stays, nor the directories made for DIR, and the status is
    // the signal's.
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        for (const char* at : {"", "QV_AT_WRITE=1", "QV_AT_WRITE=20"}) {
            const fs::path out = top.path() / "a/b/c";
            EXPECT_EQ(capture("QV_SIGNAL=" + std::to_string(sig) + " " + at, out), std::to_string(128 + sig))
                << sig << " " << at;
            EXPECT_FALSE(fs::exists(top.path() / "a")) << sig << " " << at;
        }
    // DIR renamed and a link put in its place while the report runs: the
    // capture goes where DIR went, never through the link.
    const fs::path elsewhere = top.path() / "elsewhere", out = top.path() / "out";
    fs::create_directories(elsewhere);
    EXPECT_EQ(capture("QV_SWAP_DIR=" + q(out) + " QV_SWAP_TO=" + q(elsewhere), out), "0");
    EXPECT_TRUE(fs::is_empty(elsewhere));
    const fs::path moved = top.path() / "out.moved";
    ASSERT_TRUE(fs::is_directory(moved));
    // The capture reports as the tree, the listing's link included.
    EXPECT_TRUE(fs::is_symlink(moved / "sys/block"));
    EXPECT_EQ(without_elapsed(run_report("--root " + q(moved)).out), without_elapsed(run_report("--root " + q(t)).out));
#endif
}

TEST(HostileValues, FiguresThatDoNotFitAreNoFigures) {
    TempDir top;
    const fs::path t = top.path() / "tree";
    other_machine(t);
    put(t / "sys/block/sda/size", "-1\n");
    put(t / "sys/block/sdb/size", "18014398509481984\n");  // 2^54 sectors: 2^63 bytes
    put(t / "sys/block/sdb/dev", "8:16\n");
    put(t / "sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "9223372036854775807\n");
    put(t / "proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Far CPU\nflags\t\t: lm\n\n");
    put(t / "sys/class/dmi/id/chassis_type", "3\n");
    // udev's record of two modules beyond anything: a size past 2^64 and
    // past the table's own limit, and a speed past 2^31.
    put(t / "run/udev/data/+dmi:id",
        "E:MEMORY_DEVICE_0_SIZE=9999999999999999999\nE:MEMORY_DEVICE_0_SPEED_MTS=4294967295\n"
        "E:MEMORY_DEVICE_1_SIZE=18446744073709551615\nE:MEMORY_DEVICE_1_SPEED_MTS=2400\n");
    const ProcessResult r = run_report("--root " + q(t));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find(U8("：-")), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("--"), std::string::npos) << r.out;
    EXPECT_EQ(value_of(r.out, U8(" 磁盘1容量：")), "0GB");
    EXPECT_EQ(value_of(r.out, U8(" 磁盘2容量：")), "0GB");
    EXPECT_EQ(value_of(r.out, U8(" 内存1容量：")), "0GB");
    EXPECT_EQ(value_of(r.out, U8(" 内存1速度：")), "0MHZ");
    EXPECT_EQ(value_of(r.out, U8(" 内存2速度：")), "2400MHZ");
    const ProcessResult js = run_report("--json --root " + q(t));
    ASSERT_EQ(js.status, 0) << js.err;
    EXPECT_EQ(js.out.find("\"size_bytes\": -"), std::string::npos);
    EXPECT_EQ(js.out.find("\"size_bytes\": 0"), std::string::npos);
    EXPECT_NE(js.out.find("\"capacity_bytes\": null"), std::string::npos);
}

TEST(HostileRoot, OurOwnWalkHoldsFewDescriptorsAtAnyDepth) {
    TempDir top;
    const fs::path t = top.path() / "tree";
    // A file 1500 directories deep, and a link to it that goes down 100,
    // climbs back and goes all the way down.
    std::string deep, down, up;
    for (int i = 0; i < 1500; ++i) deep += "d/";
    for (int i = 0; i < 100; ++i) down += "d/", up += "../";
    // Made a directory at a time: the whole name is longer than PATH_MAX.
    fs::create_directories(t);
    int at = ::open(t.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 1500; ++i) {
        ASSERT_EQ(::mkdirat(at, "d", 0755), 0);
        const int next = ::openat(at, "d", O_RDONLY | O_DIRECTORY);
        ::close(at);
        at = next;
    }
    const int f = ::openat(at, "size", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(f, "2097152\n", 8), 8);
    ::close(f);
    ::close(at);
    fs::create_symlink(down + up + deep + "size", t / "link");
    LinuxFiles files;
    ASSERT_TRUE(files.set_root(t.string()));
    files.set_own_walk(true);
    const pid_t child = fork();
    if (child == 0) {
        // Eight descriptors more than the process holds now.
        rlim_t open_now = 0;
        for (const auto& e : fs::directory_iterator("/proc/self/fd")) open_now += e.path().empty() ? 0 : 1;
        rlimit lim{open_now + 8, open_now + 8};
        setrlimit(RLIMIT_NOFILE, &lim);
        const std::optional<std::string> want("2097152\n");
        _exit(files.read("/" + deep + "size") == want && files.read("/link") == want ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(HostileValues, AValueKeepsItsOwnText) {
    TempDir top;
    const fs::path t = top.path() / "tree";
    other_machine(t);
    // Words the report's replies use as keys or cut marks, inside values.
    put(t / "etc/os-release", U8("PRETTY_NAME=\"Example OS 3 (nightly build 412) 位宽=128-bit\"\n"));
    put(t / "proc/cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\n"
                            "model name\t: QEMU Virtual CPU (model=host) @ 2.80GHz\nflags\t\t: lm\n\n");
    put(t / "run/udev/data/b8:0", "E:ID_MODEL_ENC=RAID5\\x20LUN=0\n");
    put(t / "run/udev/data/+dmi:id", "E:MEMORY_DEVICE_0_SIZE=8589934592\nE:MEMORY_DEVICE_0_SERIAL_NUMBER=SN=0042\n" +
                                         U8("E:MEMORY_DEVICE_0_MANUFACTURER=Maker 数量=9\n"));
    put(t / "sys/class/dmi/id/chassis_type", "3\n");
    put(t / "sys/class/dmi/id/board_vendor", U8("LENOVO 型号=ThinkPad-FAKE\n"));
    put(t / "sys/class/dmi/id/board_name", "20XW\n");
    const ProcessResult r = run_report("--root " + q(t));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(value_of(r.out, U8(" 系统版本：")), U8("Example OS 3 (nightly build 412) 位宽=128-bit"));
    EXPECT_EQ(value_of(r.out, U8(" 系统位宽：")), U8("64位"));
    EXPECT_EQ(value_of(r.out, U8(" CPU名称：")), "QEMU Virtual CPU (model=host) @ 2.80GHz");
    EXPECT_EQ(value_of(r.out, U8(" 磁盘1型号：")), "RAID5 LUN=0");
    EXPECT_EQ(value_of(r.out, U8(" 内存1序列：")), "SN=0042");
    EXPECT_EQ(value_of(r.out, U8(" 内存1厂商：")), U8("Maker 数量=9"));
    EXPECT_EQ(value_of(r.out, U8(" 数量：")), "1");
    EXPECT_EQ(value_of(r.out, U8(" 信息品牌：")), U8("LENOVO 型号=ThinkPad-FAKE"));
    EXPECT_EQ(value_of(r.out, U8(" 信息型号：")), "20XW");
    const ProcessResult js = run_report("--json --root " + q(t));
    for (const char* v : {"\"os_bits\": 64", "\"name\": \"QEMU Virtual CPU (model=host) @ 2.80GHz\"",
                          "\"model\": \"RAID5 LUN=0\"", "\"serial_number\": \"SN=0042\"", "\"product\": \"20XW\""})
        EXPECT_NE(js.out.find(v), std::string::npos) << v;
    // A name with "Build" in it, as Buildroot images give.
    put(t / "etc/os-release", "PRETTY_NAME=\"Buildroot 2023.02.9\"\n");
    EXPECT_EQ(value_of(run_report("--root " + q(t)).out, U8(" 系统版本：")), "Buildroot 2023.02.9");
    EXPECT_NE(run_report("--json --root " + q(t)).out.find("\"os_version\": \"Buildroot 2023.02.9\""), std::string::npos);
}

TEST(HostileCapture, ALinkTheCaptureMadeIsNeverWrittenThrough) {
    // sys/dev/block/8:0 leads into run/udev/data/b9:9, whose y links out to
    // an absolute path; a disk's dev file made the report read b9:9/y/f.
    // Written as recorded, y is a link below DIR, and f must not go through it.
    TempDir top;
    const fs::path outside = top.path() / "outside", dir = top.path() / "cap";
    fs::create_directories(outside);
    LinuxFiles files;
    files.note_link("/sys/dev/block/8:0", "../../../run/udev/data/b9:9");
    files.note_link("/sys/dev/block/8:0/y", outside.string());
    files.note_file("/run/udev/data/b9:9/y/f", "planted");
    std::string error;
    EXPECT_FALSE(write_capture(files, dir.string(), error));
    EXPECT_NE(error.find("b9:9/y"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_FALSE(fs::exists(dir));
}

TEST(HostileTrees, LookupTablesOverTheirCapAreNotUsedCut) {
    TempDir top;
    const fs::path t = top.path() / "tree";
    other_machine(t);
    for (const char* slot : {"0000:00:02.0", "0000:03:00.0"}) put(t / "sys/bus/pci/devices" / slot / "class", "0x030000\n");
    put(t / "sys/bus/pci/devices/0000:00:02.0/vendor", "0x8086\n");
    put(t / "sys/bus/pci/devices/0000:00:02.0/device", "0x9a49\n");
    put(t / "sys/bus/pci/devices/0000:03:00.0/vendor", "0x1002\n");
    put(t / "sys/bus/pci/devices/0000:03:00.0/device", "0x73bf\n");
    put(t / "sys/bus/pci/devices/0000:03:00.0/revision", "0xc1\n");
    // Tables whose names stand at the start, padded with comments to a size.
    auto padded = [](std::string head, std::size_t size) { return head + std::string(size - head.size() - 1, '#') + "\n"; };
    const std::string ids = "8086  Intel Corporation\n\t9a49  TigerLake-LP GT2\n";
    const std::string amd = "73BF,\tC1,\tAMD Radeon RX 6800 XT\n";
    auto names = [&](std::size_t ids_size, std::size_t amd_size) {
        put(t / "usr/share/misc/pci.ids", padded(ids, ids_size));
        put(t / "usr/share/libdrm/amdgpu.ids", padded(amd, amd_size));
        const ProcessResult r = run_report("--json --root " + q(t));
        return r.out;
    };
    const std::string at_cap = names(8u << 20, 1u << 20);
    EXPECT_NE(at_cap.find("\"name\": \"TigerLake-LP GT2\""), std::string::npos);
    EXPECT_NE(at_cap.find("\"name\": \"AMD Radeon RX 6800 XT\""), std::string::npos);
    // One byte more: neither table is read at all, nor captured.
    const std::string over = names((8u << 20) + 1, (1u << 20) + 1);
    EXPECT_NE(over.find("\"name\": \"PCI 8086:9a49\""), std::string::npos) << over;
    EXPECT_NE(over.find("\"name\": \"PCI 1002:73bf\""), std::string::npos) << over;
    EXPECT_EQ(run_report("--root " + q(t) + " --capture " + q(top.path() / "cap")).status, 0);
    EXPECT_FALSE(fs::exists(top.path() / "cap/usr/share/misc/pci.ids"));
    EXPECT_FALSE(fs::exists(top.path() / "cap/usr/share/libdrm/amdgpu.ids"));
}
