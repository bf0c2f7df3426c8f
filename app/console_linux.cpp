#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "app/console.h"
#include "io/linux_files.h"

int parse_platform_option(int argc, char** argv, int i, ConsoleOptions& options, std::string& error) {
    const std::string a = argv[i];
    if (a != "--root" && a != "--capture") return 0;
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        error = "option " + a + " needs a DIR argument";
        return -1;
    }
    (a == "--root" ? options.root : options.capture) = argv[i + 1];
    return 2;
}

namespace {

CaptureTarget g_capture;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
sigset_t g_stop_signals;

}  // namespace

bool prepare_platform(const ConsoleOptions& options, std::string& error) {
    // A file-size limit must fail a capture's write with EFBIG, which we
    // report, rather than kill the process half way.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!options.root.empty() && !linux_files().set_root(options.root, &error)) return false;
    if (!options.capture.empty()) {
        // A capture is whole or absent: the signals that end a program wait
        // until it is one or the other (the report is bounded in time), and
        // DIR is held from here on. A bad DIR is refused untouched.
        sigemptyset(&g_stop_signals);
        for (int sig : kStopSignals) sigaddset(&g_stop_signals, sig);
        sigprocmask(SIG_BLOCK, &g_stop_signals, nullptr);
        if (!g_capture.open(options.capture, error)) return false;
        linux_files().set_capturing(true);
    }
    return true;
}

bool finish_platform(const ConsoleOptions& options, std::string& error) {
    bool ok = true;
    if (!linux_files().exhausted().empty()) {
        error = "cannot read " + linux_files().exhausted();
        ok = false;
    }
    if (options.capture.empty()) return ok;
    ok = ok && g_capture.write(linux_files(), error);
    sigset_t pending;
    sigpending(&pending);
    bool stopped = false;
    for (int sig : kStopSignals) stopped = stopped || sigismember(&pending, sig) == 1;
    if (!ok || stopped) g_capture.abandon();
    else g_capture.commit();
    // A signal that came meanwhile ends the program now, as it asked.
    sigprocmask(SIG_UNBLOCK, &g_stop_signals, nullptr);
    return ok;
}

void abandon_platform() noexcept {
    try {
        g_capture.abandon();
    } catch (...) {
    }
}

void set_binary_stdout() {}

bool write_stdout(const std::string& out, std::string& error) {
    std::signal(SIGXFSZ, SIG_IGN);
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, out.data() + done, out.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Non-blocking, and full for now: wait until the reader takes some.
            pollfd p{STDOUT_FILENO, POLLOUT, 0};
            if (::poll(&p, 1, -1) < 0 && errno != EINTR) break;
        } else {
            break;
        }
    }
    const int e = errno;
    const bool closed = ::close(STDOUT_FILENO) == 0;
    if (done == out.size() && closed) return true;
    error = std::strerror(done == out.size() ? errno : (e ? e : EIO));
    return false;
}

// The tree's files are recorded as they are read.
bool capture_needs_facts(const ConsoleOptions&) { return false; }
bool capture_machine(const ConsoleOptions&, const ReportFacts&, std::string&) { return true; }

bool running_privileged() { return geteuid() == 0; }

bool read_small_regular_file(const std::string& path, std::size_t cap, Bytes& out, std::string& why) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
        return false;
    }
    out.assign(cap + 1, 0);
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::string("cannot read: ") + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > cap) {
        why = "larger than " + std::to_string(cap / 1024) + " KiB, not an EDID file";
        return false;
    }
    out.resize(got);
    return true;
}
