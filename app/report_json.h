// The report as one JSON object, format 1, for programs and fleet tools:
// provenance, the machine's identity, every instance of what a machine can
// have several of, values in neutral terms and honest units.
// docs/report.schema.json describes it; within format 1 keys are only
// added, never renamed, retyped or removed.
#pragma once

#include <ctime>
#include <string>

#include "app/report.h"

struct JsonContext {
    std::string tool_version;
    std::time_t collected_at = 0;
    std::string root;  // the tree given with --root; empty for the machine itself
    bool privileged = false;
    std::string machine_file;  // the machine file given with --machine
};

// ASCII only: every other character is a \u escape, so that any code page
// reads the document unchanged.
std::string report_json(const ReportFacts& facts, const JsonContext& context);

// Firmware placeholders that thousands of machines share are no identity.
bool is_placeholder_serial(const std::string& utf8);
// A UUID in lower-case 8-4-4-4-12 form, or empty when it is malformed or a
// placeholder (all zeros, all ones).
std::string normalized_uuid(const std::string& text);
