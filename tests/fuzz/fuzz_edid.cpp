// EDID decoding from arbitrary bytes of any length.
#include <cstddef>
#include <cstdint>

#include "app/report.h"
#include "sections/display/edid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes block(data, data + size);
    const Text text = edid_text_of(block);
    const MonitorInfo m = decode_edid_text(text, "DISPLAY\\ABC1234\\1", block);
    (void)monitor_lines(m);
    // The small conversions, on the raw bytes as texts.
    const Text raw(reinterpret_cast<const char*>(data), size);
    (void)byte_to_hex(raw);
    (void)hex_to_characters(raw.substr(0, 64));
    (void)hex_to_binary(raw);
    (void)hex_to_number(raw.substr(0, 16));
    (void)tidy_descriptor_text(raw);
    return 0;
}
