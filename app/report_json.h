// The report as one JSON object (UTF-8), for programs and fleet tools: the
// same values as the text report, typed, under English keys, in the
// report's order. docs/report.schema.json describes it.
#pragma once

#include <string>

#include "app/report.h"

std::string report_json(const ReportFacts& facts);
