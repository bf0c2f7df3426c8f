// A KMS device that answers the mode-setting ioctls from tables, standing
// in for the kernel below read_kms_card.
#pragma once

#include <libdrm/drm.h>
#include <libdrm/drm_mode.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

struct FakeKms {
    struct Connector {
        std::uint32_t id, connection, encoder;  // connection 1 connected, 2 disconnected
    };
    std::vector<Connector> connectors;
    std::map<std::uint32_t, std::uint32_t> encoder_crtc;  // encoder -> its CRTC (0: none)
    struct Crtc {
        std::uint32_t fb;
        bool valid;
        drm_mode_modeinfo mode;
    };
    std::map<std::uint32_t, Crtc> crtcs;
    std::map<std::uint32_t, std::uint32_t> fb_bpp;
    // A driver that claims more connectors than it has (0: as many as it has);
    // it fills a buffer large enough for its claim with made-up ids.
    std::uint32_t claimed = 0;
    int calls = 0;

    // A mode from its visible size and timings, as a driver reports it.
    static drm_mode_modeinfo mode(int w, int h, std::uint32_t clock_khz, int htotal, int vtotal) {
        drm_mode_modeinfo m{};
        m.hdisplay = static_cast<std::uint16_t>(w), m.vdisplay = static_cast<std::uint16_t>(h);
        m.clock = clock_khz, m.htotal = static_cast<std::uint16_t>(htotal), m.vtotal = static_cast<std::uint16_t>(vtotal);
        m.vrefresh = static_cast<std::uint32_t>((clock_khz * 1000.0) / (htotal * vtotal) + 0.5);
        return m;
    }

    int ioctl(unsigned long request, void* arg) {
        ++calls;
        if (request == DRM_IOCTL_MODE_GETRESOURCES) {
            auto* r = static_cast<drm_mode_card_res*>(arg);
            if (claimed) {
                if (r->count_connectors >= claimed && r->connector_id_ptr)
                    for (std::uint32_t i = 0; i < claimed; ++i)
                        reinterpret_cast<std::uint32_t*>(static_cast<std::uintptr_t>(r->connector_id_ptr))[i] = 1000 + i;
                r->count_connectors = claimed;
                return 0;
            }
            const auto n = static_cast<std::uint32_t>(connectors.size());
            if (r->count_connectors >= n && r->connector_id_ptr)
                for (std::uint32_t i = 0; i < n; ++i)
                    reinterpret_cast<std::uint32_t*>(static_cast<std::uintptr_t>(r->connector_id_ptr))[i] = connectors[i].id;
            r->count_connectors = n;
            return 0;
        }
        if (request == DRM_IOCTL_MODE_GETCONNECTOR) {
            auto* c = static_cast<drm_mode_get_connector*>(arg);
            if (c->count_modes == 0) return fail(EINVAL);  // the reader must never ask for a probe
            for (const auto& k : connectors)
                if (k.id == c->connector_id) {
                    c->connection = k.connection;
                    c->encoder_id = k.encoder;
                    return 0;
                }
            return fail(ENOENT);
        }
        if (request == DRM_IOCTL_MODE_GETENCODER) {
            auto* e = static_cast<drm_mode_get_encoder*>(arg);
            const auto it = encoder_crtc.find(e->encoder_id);
            if (it == encoder_crtc.end()) return fail(ENOENT);
            e->crtc_id = it->second;
            return 0;
        }
        if (request == DRM_IOCTL_MODE_GETCRTC) {
            auto* c = static_cast<drm_mode_crtc*>(arg);
            const auto it = crtcs.find(c->crtc_id);
            if (it == crtcs.end()) return fail(ENOENT);
            c->fb_id = it->second.fb;
            c->mode_valid = it->second.valid;
            c->mode = it->second.mode;
            return 0;
        }
        if (request == DRM_IOCTL_MODE_GETFB) {
            auto* f = static_cast<drm_mode_fb_cmd*>(arg);
            const auto it = fb_bpp.find(f->fb_id);
            if (it == fb_bpp.end()) return fail(ENOENT);
            f->bpp = it->second;
            return 0;
        }
        return fail(ENOTTY);
    }

private:
    static int fail(int e) {
        errno = e;
        return -1;
    }
};
