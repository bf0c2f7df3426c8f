#include "sources/linux/smbios.h"

std::optional<std::uint8_t> DmiStructure::byte(std::size_t o) const {
    if (o >= data.size()) return std::nullopt;
    return data[o];
}

std::optional<std::uint16_t> DmiStructure::word(std::size_t o) const {
    if (o + 2 > data.size()) return std::nullopt;
    return static_cast<std::uint16_t>(data[o] | (data[o + 1] << 8));
}

std::optional<std::uint32_t> DmiStructure::dword(std::size_t o) const {
    if (o + 4 > data.size()) return std::nullopt;
    return static_cast<std::uint32_t>(data[o]) | (static_cast<std::uint32_t>(data[o + 1]) << 8) |
           (static_cast<std::uint32_t>(data[o + 2]) << 16) |
           (static_cast<std::uint32_t>(data[o + 3]) << 24);
}

std::optional<std::string> DmiStructure::string_at(std::size_t o) const {
    auto index = byte(o);
    if (!index || *index == 0 || *index > strings.size()) return std::nullopt;
    return strings[*index - 1];
}

std::vector<DmiStructure> parse_dmi_table(const std::string& t) {
    std::vector<DmiStructure> out;
    std::size_t pos = 0;
    while (pos + 4 <= t.size()) {
        const auto type = static_cast<std::uint8_t>(t[pos]);
        const auto len = static_cast<std::uint8_t>(t[pos + 1]);
        if (len < 4 || pos + len > t.size()) break;  // garbled: stop here
        DmiStructure s;
        s.type = type;
        s.data.assign(t.begin() + static_cast<std::ptrdiff_t>(pos),
                      t.begin() + static_cast<std::ptrdiff_t>(pos + len));
        std::size_t p = pos + len;
        // Strings, each NUL-terminated; the set ends with an extra NUL.
        bool ended = false;
        if (p + 1 < t.size() && t[p] == 0 && t[p + 1] == 0) {
            p += 2;
            ended = true;
        } else {
            while (p < t.size()) {
                const std::size_t z = t.find('\0', p);
                if (z == std::string::npos) {
                    p = t.size();
                    break;
                }
                s.strings.push_back(t.substr(p, z - p));
                p = z + 1;
                if (p < t.size() && t[p] == 0) {
                    ++p;
                    ended = true;
                    break;
                }
            }
        }
        out.push_back(std::move(s));
        if (!ended || type == 127) break;
        pos = p;
    }
    return out;
}

std::vector<DmiMemoryDevice> dmi_memory_devices(const std::vector<DmiStructure>& table) {
    std::vector<DmiMemoryDevice> out;
    for (const auto& s : table) {
        if (s.type != 17) continue;
        const auto size = s.word(0x0C);
        if (!size || *size == 0) continue;  // no module in this slot
        DmiMemoryDevice d;
        if (*size == 0x7FFF) {
            if (auto ext = s.dword(0x1C)) d.size_bytes = static_cast<std::uint64_t>(*ext & 0x7FFFFFFF) << 20;
        } else if (*size != 0xFFFF) {
            const std::uint64_t units = *size & 0x7FFF;
            d.size_bytes = (*size & 0x8000) ? units << 10 : units << 20;
        }
        if (auto sp = s.word(0x15); sp && *sp != 0) {
            if (*sp == 0xFFFF) {
                // Bits 30 to 0 hold the speed; bit 31 is reserved.
                if (auto ext = s.dword(0x54); ext && (*ext & 0x7FFFFFFF)) d.speed_mts = *ext & 0x7FFFFFFF;
            } else {
                d.speed_mts = *sp;
            }
        }
        d.manufacturer = s.string_at(0x17);
        d.serial = s.string_at(0x18);
        out.push_back(std::move(d));
    }
    return out;
}

std::vector<DmiProcessor> dmi_processors(const std::vector<DmiStructure>& table) {
    std::vector<DmiProcessor> out;
    for (const auto& s : table) {
        if (s.type != 4) continue;
        const auto status = s.byte(0x18);
        if (status && !(*status & 0x40)) continue;  // empty socket
        DmiProcessor p;
        p.socket = s.string_at(0x04);
        if (auto v = s.word(0x12); v && *v) p.external_clock_mhz = *v;
        if (auto v = s.word(0x14); v && *v) p.max_speed_mhz = *v;
        if (auto v = s.word(0x16); v && *v) p.current_speed_mhz = *v;
        out.push_back(std::move(p));
    }
    return out;
}

DmiIdentity dmi_identity(const std::vector<DmiStructure>& table, unsigned version) {
    DmiIdentity id;
    for (const auto& s : table) {
        if (s.type == 1 && !id.system_serial && !id.uuid) {
            id.system_serial = s.string_at(0x07);
            if (s.data.size() >= 0x18) {
                const std::uint8_t* u = s.data.data() + 0x08;
                const bool little = version == 0 || version >= 0x0206;
                static const int kLittle[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
                static const char kHex[] = "0123456789abcdef";
                std::string text;
                for (int i = 0; i < 16; ++i) {
                    const std::uint8_t b = u[little ? kLittle[i] : i];
                    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
                    text += kHex[b >> 4];
                    text += kHex[b & 15];
                }
                id.uuid = text;
            }
        } else if (s.type == 2 && !id.board_serial) {
            id.board_serial = s.string_at(0x07);
        } else if (s.type == 3 && !id.chassis_serial) {
            id.chassis_serial = s.string_at(0x07);
        }
    }
    return id;
}

unsigned smbios_entry_version(const std::string& e) {
    if (e.size() >= 9 && e.compare(0, 5, "_SM3_") == 0)
        return static_cast<unsigned char>(e[7]) * 256u + static_cast<unsigned char>(e[8]);
    if (e.size() >= 8 && e.compare(0, 4, "_SM_") == 0)
        return static_cast<unsigned char>(e[6]) * 256u + static_cast<unsigned char>(e[7]);
    return 0;
}

DmiBios dmi_bios(const std::vector<DmiStructure>& table) {
    DmiBios b;
    for (const auto& s : table) {
        if (s.type != 0) continue;
        b.vendor = s.string_at(0x04);
        b.version = s.string_at(0x05);
        b.release_date = s.string_at(0x08);
        const auto major = s.byte(0x14), minor = s.byte(0x15);
        if (major && minor && !(*major == 0xFF && *minor == 0xFF)) {
            b.release_major = major;
            b.release_minor = minor;
        }
        break;
    }
    return b;
}
