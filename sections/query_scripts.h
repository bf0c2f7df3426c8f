// The ten query scripts under short names, in report order, for the tools
// and tests that run every one.
#pragma once

#include <vector>

#include "sections/display/display.h"
#include "sections/hardware/hardware.h"
#include "sections/system/processor.h"
#include "sections/system/system.h"

struct NamedQueryScript {
    const char* name;
    const char* text;
};

inline std::vector<NamedQueryScript> query_scripts() {
    return {{"os", kOsScript},           {"chassis", kChassisTypeScript},
            {"maker", kEnclosureMakerScript}, {"processor", kProcessorScript},
            {"monitor", kMonitorScript}, {"memory", kMemoryScript},
            {"disk", kDiskScript},       {"video", kVideoControllerScript},
            {"board", kBaseBoardScript}, {"model", kComputerModelScript}};
}
