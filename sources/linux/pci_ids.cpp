#include "sources/linux/pci_ids.h"

#include <unordered_set>

namespace {

// Four hex digits; -1 otherwise.
long hex4(const std::string& s, std::size_t at) {
    if (at + 4 > s.size()) return -1;
    long v = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const char c = s[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else return -1;
        v = v * 16 + d;
    }
    return v;
}

}  // namespace

PciIds::PciIds(const std::string& ids) {
    // A vendor line is "vvvv  Name"; its devices follow as "\tdddd  Name",
    // up to the next line that is neither indented nor a comment. Where an
    // id stands twice, the first one counts.
    long vendor = -1;
    std::unordered_set<long> seen;
    for (std::size_t p = 0; p < ids.size();) {
        std::size_t e = ids.find('\n', p);
        if (e == std::string::npos) e = ids.size();
        if (e > p && ids[p] != '\t' && ids[p] != '#') {
            vendor = -1;
            const long v = hex4(ids, p);
            if (v >= 0 && p + 6 <= e && ids.compare(p + 4, 2, "  ") == 0 && seen.insert(v).second) {
                vendor = v;
                vendors_.emplace(static_cast<std::uint32_t>(v), ids.substr(p + 6, e - p - 6));
            }
        } else if (vendor >= 0 && e > p && ids[p] == '\t') {
            const long d = hex4(ids, p + 1);
            if (d >= 0 && p + 7 <= e && ids.compare(p + 5, 2, "  ") == 0)
                devices_.emplace(static_cast<std::uint32_t>(vendor << 16 | d), ids.substr(p + 7, e - p - 7));
        }
        p = e + 1;
    }
}

std::optional<std::string> PciIds::vendor(unsigned v) const {
    const auto it = vendors_.find(v & 0xFFFFu);
    if (it == vendors_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> PciIds::device(unsigned v, unsigned d) const {
    const auto it = devices_.find((v & 0xFFFFu) << 16 | (d & 0xFFFFu));
    if (it == devices_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> pci_ids_name(const std::string& ids, unsigned vendor, std::optional<unsigned> device) {
    const PciIds table(ids);
    return device ? table.device(vendor, *device) : table.vendor(vendor);
}
