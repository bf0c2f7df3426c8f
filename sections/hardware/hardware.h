// Memory, disk, video controller and motherboard section bodies.
#pragma once

#include "values/text.h"

extern const char* const kMemoryScript;
extern const char* const kDiskScript;
extern const char* const kVideoControllerScript;
extern const char* const kBaseBoardScript;
extern const char* const kComputerModelScript;

Text memory_section();
Text disk_section();
Text video_controller_section();
Text motherboard_section();
