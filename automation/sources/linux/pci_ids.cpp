#include "automation/sources/linux/pci_ids.h"

#include <cstdio>

std::optional<std::string> pci_ids_name(const std::string& ids, unsigned vendor,
                                        std::optional<unsigned> device) {
    char vkey[16];
    std::snprintf(vkey, sizeof vkey, "%04x  ", vendor & 0xFFFFu);
    std::size_t v = std::string::npos;
    if (ids.compare(0, 6, vkey) == 0) {
        v = 0;
    } else if (auto f = ids.find(std::string("\n") + vkey); f != std::string::npos) {
        v = f + 1;
    }
    if (v == std::string::npos) return std::nullopt;
    std::size_t e = ids.find('\n', v);
    if (e == std::string::npos) e = ids.size();
    if (!device) return ids.substr(v + 6, e - v - 6);
    char dkey[16];
    std::snprintf(dkey, sizeof dkey, "\t%04x  ", *device & 0xFFFFu);
    // The vendor's devices follow it, up to the next line that is not
    // indented or a comment.
    for (std::size_t p = e + 1; p < ids.size();) {
        std::size_t le = ids.find('\n', p);
        if (le == std::string::npos) le = ids.size();
        if (le > p && ids[p] != '\t' && ids[p] != '#') break;
        if (ids.compare(p, 7, dkey) == 0) return ids.substr(p + 7, le - p - 7);
        p = le + 1;
    }
    return std::nullopt;
}
