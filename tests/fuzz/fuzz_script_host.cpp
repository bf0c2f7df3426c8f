// The script host with arbitrary scripts over arbitrary instance values.
#include <cstddef>
#include <cstdint>

#include "automation/host/script_host.h"

namespace {

class FuzzSource : public InstanceSource {
public:
    std::vector<Instance> items;
    std::optional<std::vector<Instance>> instances(const Text& c) override {
        if (is_standard_class(c) || c == "Win32_Fuzz") return items;
        return std::nullopt;
    }
    std::optional<Bytes> edid(const Text&, int) override { return std::nullopt; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Input: the script, a NUL, then property values separated by NULs; each
    // value's first byte picks its kind.
    const Text all(reinterpret_cast<const char*>(data), size);
    const auto nul = all.find('\0');
    const Text script = all.substr(0, nul);
    FuzzSource src;
    if (nul != Text::npos) {
        const TextArray values = split_text(all.substr(nul + 1), Text(1, '\0'), 40);
        static const char* const kNames[] = {"Name", "Caption", "Size", "Capacity", "Model",
                                             "ChassisTypes", "PNPDeviceID", "Manufacturer"};
        Instance in;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const Text& v = values[i];
            const int kind = v.empty() ? 0 : static_cast<unsigned char>(v[0]) % 5;
            const Text body = v.empty() ? Text() : v.substr(1);
            PropertyValue p;
            switch (kind) {
                case 0: p = PropertyValue::null(); break;
                case 1: p = PropertyValue::of_text(body); break;
                case 2: p = PropertyValue::of_integer(to_long_integer(body)); break;
                case 3: p = PropertyValue::of_boolean(body.size() % 2 == 1); break;
                default: p = PropertyValue::of_integers({to_long_integer(body), static_cast<std::int64_t>(body.size())}); break;
            }
            in.set(kNames[i % 8], p);
            if (i % 8 == 7) {
                src.items.push_back(in);
                in = Instance();
            }
        }
        src.items.push_back(in);
    }
    const ScriptOutcome r = run_get_a(script, src);
    (void)script_value_text(r.value);
    (void)script_value_number(r.value);
    return 0;
}
