// Decoding the monitor facts the report shows from an EDID base block.
#pragma once

#include "values/text.h"

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
};

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
