// Loaded into quorvin-report with LD_PRELOAD by the capture tests, to act at
// a known point of a run: when the report starts (its first clock reading)
// or when the capture writer sets the permissions of its Nth file.
//   QV_SIGNAL=N              raise signal N at that point
//   QV_AT_WRITE=N            act at the Nth file written instead of the start
//   QV_SWAP_DIR=D QV_SWAP_TO=T  rename D to D.moved and put a link to T in its place
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

void act() {
    if (const char* d = std::getenv("QV_SWAP_DIR")) {
        std::rename(d, (std::string(d) + ".moved").c_str());
        if (const char* to = std::getenv("QV_SWAP_TO"))
            if (::symlink(to, d) != 0) std::perror("capture shim: symlink");
    }
    if (const char* s = std::getenv("QV_SIGNAL")) std::raise(std::atoi(s));
}

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int clock_gettime(clockid_t id, struct timespec* ts) {
    static const auto real = next<int (*)(clockid_t, struct timespec*)>("clock_gettime");
    static int calls = 0;
    if (++calls == 1 && !std::getenv("QV_AT_WRITE")) act();
    return real(id, ts);
}

extern "C" int fchmod(int fd, mode_t mode) {
    static const auto real = next<int (*)(int, mode_t)>("fchmod");
    static int calls = 0;
    const char* at = std::getenv("QV_AT_WRITE");
    if (at && ++calls == std::atoi(at)) act();
    return real(fd, mode);
}
