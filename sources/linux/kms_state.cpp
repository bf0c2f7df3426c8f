#include "sources/linux/kms_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <libdrm/drm.h>
#include <libdrm/drm_mode.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "io/linux_files.h"

namespace {

// More than any card has; a driver that claims more is not believed.
constexpr std::uint32_t kMaxObjects = 256;

std::uint64_t pointer(void* p) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)); }

int call(const KmsIoctl& ioctl, unsigned long request, void* arg) {
    for (int tries = 0; tries < 8; ++tries) {
        const int r = ioctl(request, arg);
        if (r == 0 || (errno != EINTR && errno != EAGAIN)) return r;
    }
    return -1;
}

// Whole hertz from the mode's timings, truncated as Windows reports them.
int refresh_of(const drm_mode_modeinfo& m) {
    std::uint64_t num = static_cast<std::uint64_t>(m.clock) * 1000;  // kHz to Hz
    std::uint64_t den = static_cast<std::uint64_t>(m.htotal) * m.vtotal;
    if (m.flags & DRM_MODE_FLAG_INTERLACE) num *= 2;
    if (m.flags & DRM_MODE_FLAG_DBLSCAN) den *= 2;
    if (m.vscan > 1) den *= m.vscan;
    if (den == 0) return static_cast<int>(m.vrefresh);
    return static_cast<int>(num / den);
}

}  // namespace

std::optional<std::vector<KmsScreen>> read_kms_card(const KmsIoctl& ioctl) {
    // Counts first, then the ids; again if the counts grew in between.
    std::vector<std::uint32_t> connectors;
    for (int round = 0;; ++round) {
        drm_mode_card_res res{};
        if (call(ioctl, DRM_IOCTL_MODE_GETRESOURCES, &res) != 0) return std::nullopt;
        const std::uint32_t want = std::min(res.count_connectors, kMaxObjects);
        connectors.assign(want, 0);
        drm_mode_card_res again{};
        again.count_connectors = want;
        again.connector_id_ptr = pointer(connectors.data());
        if (call(ioctl, DRM_IOCTL_MODE_GETRESOURCES, &again) != 0) return std::nullopt;
        if (again.count_connectors <= want || round == 2) {
            connectors.resize(std::min(again.count_connectors, want));
            break;
        }
    }
    std::vector<KmsScreen> screens;
    for (const std::uint32_t id : connectors) {
        // Room for one mode: with none the kernel would probe the connector
        // (slow, and it may wake the monitor); the current state is enough.
        drm_mode_modeinfo one{};
        drm_mode_get_connector conn{};
        conn.connector_id = id;
        conn.count_modes = 1;
        conn.modes_ptr = pointer(&one);
        if (call(ioctl, DRM_IOCTL_MODE_GETCONNECTOR, &conn) != 0) continue;
        if (conn.connection != 1 || conn.encoder_id == 0) continue;  // 1: connected
        drm_mode_get_encoder enc{};
        enc.encoder_id = conn.encoder_id;
        if (call(ioctl, DRM_IOCTL_MODE_GETENCODER, &enc) != 0 || enc.crtc_id == 0) continue;
        drm_mode_crtc crtc{};
        crtc.crtc_id = enc.crtc_id;
        if (call(ioctl, DRM_IOCTL_MODE_GETCRTC, &crtc) != 0 || !crtc.mode_valid) continue;
        KmsScreen s;
        s.width = crtc.mode.hdisplay;
        s.height = crtc.mode.vdisplay;
        s.refresh_hz = refresh_of(crtc.mode);
        if (crtc.fb_id != 0) {
            drm_mode_fb_cmd fb{};
            fb.fb_id = crtc.fb_id;
            if (call(ioctl, DRM_IOCTL_MODE_GETFB, &fb) == 0) s.bits_per_pixel = static_cast<int>(fb.bpp);
        }
        screens.push_back(s);
    }
    return screens;
}

std::string kms_state_text(const KmsState& state) {
    std::ostringstream out;
    out << "# What the kernel's mode setting answered when this tree was captured:\n"
           "# one line per driven screen, display device 0 first:\n"
           "# screen WIDTH HEIGHT REFRESH_HZ BITS_PER_PIXEL\n";
    for (const auto& s : state.screens)
        out << "screen " << s.width << ' ' << s.height << ' ' << s.refresh_hz << ' ' << s.bits_per_pixel << '\n';
    return out.str();
}

std::optional<KmsState> parse_kms_state(const std::string& text) {
    KmsState state;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line) && state.screens.size() < kMaxObjects) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string tag;
        KmsScreen s;
        words >> tag >> s.width >> s.height >> s.refresh_hz >> s.bits_per_pixel;
        if (tag != "screen" || !words || s.width < 0 || s.height < 0 || s.refresh_hz < 0 || s.bits_per_pixel < 0)
            return std::nullopt;
        state.screens.push_back(s);
    }
    return state;
}

std::optional<KmsState> kms_state() {
    auto& fs = linux_files();
    if (!fs.real_root()) {
        const auto text = fs.read(kKmsStatePath);
        if (!text) return std::nullopt;
        return parse_kms_state(*text);
    }
    // The kernel's card order: card0, card1, ..., card10.
    // Device nodes are not facts to capture, so they are not read through
    // the file reader.
    std::vector<int> cards;
    if (DIR* d = ::opendir("/dev/dri")) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.rfind("card", 0) == 0 && name.size() > 4 && name.size() < 9 &&
                name.find_first_not_of("0123456789", 4) == std::string::npos)
                cards.push_back(std::atoi(name.c_str() + 4));
        }
        ::closedir(d);
    }
    std::sort(cards.begin(), cards.end());
    std::optional<KmsState> state;
    for (const int n : cards) {
        const int fd = ::open(("/dev/dri/card" + std::to_string(n)).c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        const auto screens = read_kms_card([fd](unsigned long request, void* arg) { return ::ioctl(fd, request, arg); });
        ::close(fd);
        if (!screens) continue;
        if (!state) state.emplace();
        state->screens.insert(state->screens.end(), screens->begin(), screens->end());
    }
    if (state) fs.note_capture_file(kKmsStatePath, kms_state_text(*state));
    return state;
}
