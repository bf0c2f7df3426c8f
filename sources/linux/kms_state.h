// The current display modes as the kernel's mode setting (KMS) holds them:
// for each connected connector that a CRTC drives, in card and connector
// order, the mode's size and refresh and the framebuffer's bits per pixel.
// Read with the DRM ioctls (GETRESOURCES, GETCONNECTOR, GETENCODER, GETCRTC,
// GETFB) over the kernel's own structures from libdrm's headers, which
// needs no DRM master: root, the video group and the user of the active
// seat may.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct KmsScreen {
    int width = 0, height = 0;
    int refresh_hz = 0;  // whole hertz, as Windows' dmDisplayFrequency: 59.94 Hz is 59
    int bits_per_pixel = 0;
    bool operator==(const KmsScreen&) const = default;
};

struct KmsState {
    std::vector<KmsScreen> screens;
    bool operator==(const KmsState&) const = default;
};

// One card's ioctl, so that a test can stand in for the kernel.
using KmsIoctl = std::function<int(unsigned long request, void* arg)>;

// The driven connectors of one card; nothing when its resources cannot be read.
std::optional<std::vector<KmsScreen>> read_kms_card(const KmsIoctl& ioctl);

// The file of a captured tree that holds what KMS answered (KMS state is no
// file of the machine's own), its text, and the text read back.
inline constexpr const char* kKmsStatePath = "/quorvin/kms-state";
std::string kms_state_text(const KmsState& state);
std::optional<KmsState> parse_kms_state(const std::string& text);

// On the running machine every /dev/dri/cardN that can be opened (nothing
// when none can), noted in a capture; under --root the tree's recorded
// state, if it has one.
std::optional<KmsState> kms_state();
