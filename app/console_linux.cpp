#include <fcntl.h>
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

bool prepare_platform(const ConsoleOptions& options, std::string& error) {
    // A file-size limit must fail a capture's write with EFBIG, which we
    // report, rather than kill the process half way.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!options.root.empty() && !linux_files().set_root(options.root, &error)) return false;
    if (!options.capture.empty()) {
        // Refused before the report runs, so that a bad DIR is left untouched.
        if (!capture_dir_usable(options.capture, error)) return false;
        linux_files().set_capturing(true);
    }
    return true;
}

bool finish_platform(const ConsoleOptions& options, std::string& error) {
    if (!linux_files().exhausted().empty()) {
        error = "cannot read " + linux_files().exhausted();
        return false;
    }
    if (options.capture.empty()) return true;
    return write_capture(linux_files(), options.capture, error);
}

void set_binary_stdout() {}

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
