// The report driver: one full report into a report box, 41 appends.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "sections/display/display.h"
#include "sections/display/edid.h"
#include "sections/system/identity.h"
#include "sections/hardware/hardware.h"
#include "sections/system/processor.h"
#include "values/text.h"

class ReportBox {
public:
    virtual ~ReportBox() = default;
    virtual void set_content(const Text& text) = 0;
    virtual void append_text(const Text& text) = 0;
};

// Where each value of the report comes from; the machine's own builders by
// default, replaceable for tests.
struct ReportSources {
    std::function<std::uint32_t()> tick;
    std::function<void(Text&, Text&)> os_caption_and_bitness;
    std::function<int(Text&, Text&)> chassis_and_maker;  // returns the chassis code
    std::function<int()> os_family;
    std::function<std::optional<bool>()> is_64bit;  // nothing when unknown (a tree without it)
    std::function<Text()> host;
    std::function<Text()> user_name;
    std::function<ProcessorFacts()> processor_facts;
    std::function<Text()> processor_signature;
    std::function<void(int, std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&)>
        display_mode;
    std::function<std::int32_t()> screens;
    std::function<std::int32_t()> taskbar;
    std::function<MonitorList(bool all)> monitor;  // all: every monitor, for the facts
    std::function<MemoryFacts()> memory;
    std::function<DiskFacts()> disk;
    std::function<VideoFacts()> video;
    std::function<BoardFacts()> board;
    // Read only when the caller asks for the facts (--json), after the text.
    std::function<InventoryFacts()> inventory;
};

// Every value of one report as it was read, for the forms of the report
// that are not its text (--json).
struct ReportFacts {
    Text os_caption, os_bitness, chassis, chassis_maker;
    int chassis_code = 0;
    int os_family = 0;
    std::optional<bool> is_64bit;
    Text host, user;
    ProcessorFacts cpu;
    Text cpu_signature;
    std::int32_t screens = 0, bits_per_pixel = 0, refresh = 0, width = 0, height = 0, taskbar = 0;
    MonitorInfo monitor;
    MonitorList monitors;
    MemoryFacts memory;
    DiskFacts disks;
    VideoFacts video;
    BoardFacts board;
    std::uint32_t elapsed_ms = 0;
    InventoryFacts inventory;
};

ReportSources machine_sources();
// The report into the box, line by line; with `facts`, what it read too.
void build_report(ReportBox& box, const ReportSources& sources, ReportFacts* facts = nullptr);
void build_report(ReportBox& box, ReportFacts* facts = nullptr);

Text banner(const Text& title);
Text elapsed_line(std::uint32_t start_tick, std::uint32_t end_tick);
// The eight monitor lines of the display section, each with its line end.
TextArray monitor_report_lines(const MonitorInfo& info);
// The same lines as one text.
Text monitor_lines(const MonitorInfo& info);

// A report box that just keeps the text, for the console and for tests.
class TextReportBox : public ReportBox {
public:
    void set_content(const Text& text) override {
        content = text;
        pieces.clear();
    }
    void append_text(const Text& text) override {
        content += text;
        pieces.push_back(text);
    }
    Text content;
    TextArray pieces;
};
