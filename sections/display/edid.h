// Decoding the monitor facts the report shows from an EDID base block.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "values/text.h"

// The base block's identification and size, decoded once for every form.
struct EdidHeader {
    std::optional<std::string> maker_code;  // the three letters, where all three are letters
    std::uint32_t product_code = 0;
    std::optional<std::uint32_t> serial_number;  // the numeric serial; 0 is none
    int year = 0;                                // of manufacture, or the model year
    std::optional<int> week;                     // 1 to 54
    bool is_model_year = false;
    std::string version;                         // "1.3"
    std::optional<int> width_cm, height_cm;      // both, or neither
    std::optional<double> diagonal_inches;       // as the report shows it, to one decimal
};

struct MonitorInfo {
    Text brand;
    Text model;
    Text size_inches;
    Text monitor_id;
    Text serial_number;
    Text production_date;
    Text height_cm;
    Text width_cm;
    Text edid_version;
    Text vendor_code_hex;
    Bytes edid_bytes;
    std::optional<EdidHeader> header;  // with a whole base block
};

EdidHeader decode_edid_header(const Bytes& block);  // block: at least 128 bytes

extern const char* const kBrandLetterTable;
extern const char* const kBrandMessage;

// The decimal values of the bytes, each followed by ",".
Text edid_text_of(const Bytes& block);
// Blocks of fewer than 126 bytes decode to the empty record.
MonitorInfo decode_edid_text(const Text& edid_text, const Text& device_id, const Bytes& block);

Text byte_to_hex(const Text& decimal);
Text hex_to_characters(const Text& hex);
std::int32_t hex_to_number(const Text& hex);
Text hex_to_binary(const Text& hex);
Text tidy_descriptor_text(const Text& t);
