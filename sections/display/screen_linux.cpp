#include <cstdlib>

#include "automation/sources/linux/drm_connectors.h"
#include "sections/display/display.h"
#include "values/linux_files.h"

// The first framebuffer is the first display device the kernel offers:
// its depth, its visible size, and the refresh rate of its current mode.
void query_display_mode(int device, std::int32_t& bpp, std::int32_t& width, std::int32_t& height,
                        std::int32_t& refresh) {
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

std::int32_t count_screens() { return static_cast<std::int32_t>(drm_connectors().size()); }

// Linux desktops have no one taskbar that the kernel knows of.
std::int32_t taskbar_thickness() { return 0; }
