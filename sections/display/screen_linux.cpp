#include "sources/linux/drm_connectors.h"
#include "sources/linux/kms_state.h"
#include "sections/display/display.h"
#include "sources/linux/host_state.h"

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
    if (const auto fb = framebuffer_mode(device))
        bpp = fb->bits_per_pixel, width = fb->width, height = fb->height, refresh = fb->refresh_hz;
}

// The screens KMS drives (a connected monitor that is switched off is none,
// as on Windows); without KMS, the connected connectors.
std::int32_t count_screens() {
    if (const auto kms = kms_state()) return static_cast<std::int32_t>(kms->screens.size());
    return static_cast<std::int32_t>(drm_connectors().size());
}

// Linux desktops have no one taskbar that the kernel knows of.
std::int32_t taskbar_thickness() { return 0; }
