#pragma once

#include <cstdint>

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
// EDX then EAX of CPUID leaf 1, eight upper-case hex digits each.
Text format_processor_signature(std::uint32_t edx, std::uint32_t eax);
// Platform side: empty where the processor has no CPUID.
Text read_processor_signature();
