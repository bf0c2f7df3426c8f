// Memory, disk, video controller and motherboard section bodies.
#pragma once

#include <cstdint>
#include <vector>

#include "values/text.h"

extern const char* const kMemoryScript;
extern const char* const kDiskScript;
extern const char* const kVideoControllerScript;
extern const char* const kBaseBoardScript;
extern const char* const kComputerModelScript;

// What each section read, before it is written as lines: the text report
// and the JSON form are both made from these.
struct MemoryFacts {
    struct Module {
        std::int32_t capacity_gb = 0;
        double capacity_bytes = 0;  // the figure the GB are cut from
        std::int32_t speed = 0;
        Text maker, serial;
    };
    std::vector<Module> modules;
    Text count;
};
struct DiskFacts {
    struct Disk {
        Text model;
        std::int64_t capacity_gb = 0;
        std::int64_t capacity_bytes = 0;
        Text type;
    };
    std::vector<Disk> disks;
    Text count;
};
struct VideoFacts {
    // The section shows the first controller's four lines.
    Text name, memory, maker, driver, count;
    struct Controller {
        Text name, memory, maker, driver;
    };
    std::vector<Controller> controllers;  // every controller, for the JSON
};
struct BoardFacts {
    Text brand, product, model;
};

MemoryFacts read_memory_facts();
DiskFacts read_disk_facts();
VideoFacts read_video_facts();
BoardFacts read_board_facts();
Text memory_section_text(const MemoryFacts& f);
Text disk_section_text(const DiskFacts& f);
Text video_section_text(const VideoFacts& f);
Text board_section_text(const BoardFacts& f);

Text memory_section();
Text disk_section();
Text video_controller_section();
Text motherboard_section();
