#include <cstdlib>

#include "sources/linux/drm_connectors.h"
#include "sources/linux/kms_state.h"
#include "sections/display/display.h"
#include "io/linux_files.h"

// The mode of the display device: the screen the kernel's mode setting
// drives (device 0 is the first); without KMS, the first framebuffer (the
// console's): its depth, its visible size and the refresh of its mode.
void query_display_mode(int device, std::int32_t& bpp, std::int32_t& width, std::int32_t& height,
                        std::int32_t& refresh) {
    if (const auto kms = kms_state(); kms && device >= 0 && static_cast<std::size_t>(device) < kms->screens.size()) {
        const KmsScreen& s = kms->screens[static_cast<std::size_t>(device)];
        bpp = s.bits_per_pixel, width = s.width, height = s.height, refresh = s.refresh_hz;
        return;
    }
    auto& fs = linux_files();
    const std::string dir = "/sys/class/graphics/fb" + std::to_string(device);
    const auto depth = fs.line(dir + "/bits_per_pixel");
    const auto size = fs.line(dir + "/virtual_size");  // "1920,1080"
    if (!depth || !size) return;
    const auto comma = size->find(',');
    if (comma == std::string::npos) return;
    const int b = std::atoi(depth->c_str());
    const int w = std::atoi(size->c_str());
    const int h = std::atoi(size->c_str() + comma + 1);
    if (b <= 0 || w <= 0 || h <= 0) return;
    int hz = 0;
    if (const auto mode = fs.line(dir + "/mode")) {  // "U:1920x1080p-60"
        const auto dash = mode->rfind('-');
        if (dash != std::string::npos) hz = std::atoi(mode->c_str() + dash + 1);
    }
    bpp = b, width = w, height = h, refresh = hz;
}

// The screens KMS drives (a connected monitor that is switched off is none,
// as on Windows); without KMS, the connected connectors.
std::int32_t count_screens() {
    if (const auto kms = kms_state()) return static_cast<std::int32_t>(kms->screens.size());
    return static_cast<std::int32_t>(drm_connectors().size());
}

// Linux desktops have no one taskbar that the kernel knows of.
std::int32_t taskbar_thickness() { return 0; }
