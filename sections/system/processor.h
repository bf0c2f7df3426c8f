#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "reply/reply.h"

#include "values/text.h"

struct ProcessorFacts {
    Text name;
    Text description;
    Text maker;
    Text cores;
    Text threads;
    Text socket;
    Text width;
    Text external_clock;
    Text clock;
    Text count;
};

extern const char* const kProcessorScript;

ProcessorFacts read_processor_facts();

// One processor package as the numbered Win32_Processor query lists it:
// names as the machine gives them, figures as numbers, and each figure's
// text as the script wrote it, for the report's lines.
struct ProcessorEntry {
    Text name, description, maker, socket;
    Text data_width_text, max_clock_text, external_clock_text, cores_text, threads_text;
    std::optional<std::int64_t> data_width, max_clock_mhz, external_clock_mhz, cores, threads;
};
extern const char* const kProcessorListScript;
// Every package, in the order the query lists them.
std::vector<ProcessorEntry> read_processors();
ProcessorEntry processor_entry(const NumberedInstance& instance);
// The report's ten texts as the report's own query gives them: the values
// of the last package it lists, and how many there are.
ProcessorFacts processor_facts_of(const std::vector<ProcessorEntry>& packages);
// EDX then EAX of CPUID leaf 1, eight upper-case hex digits each.
Text format_processor_signature(std::uint32_t edx, std::uint32_t eax);
// Platform side: empty where the processor has no CPUID.
Text read_processor_signature();
