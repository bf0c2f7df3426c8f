// The report driver: one full report into a report box, 41 appends.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "sections/display/display.h"
#include "sections/display/edid.h"
#include "sections/hardware/hardware.h"
#include "sections/system/firmware.h"
#include "sections/system/identity.h"
#include "sections/system/processor.h"
#include "sections/system/system.h"
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
    std::function<OsFacts(bool whole)> os;
    std::function<int(Text&, Text&)> chassis_and_maker;  // returns the chassis code
    std::function<int()> os_family;
    std::function<std::optional<bool>()> is_64bit;  // nothing when unknown (a tree without it)
    std::function<Text()> host;
    std::function<Text()> user_name;
    std::function<ProcessorFacts()> processor_facts;
    // Every package, read instead of processor_facts for the whole record.
    std::function<std::vector<ProcessorEntry>()> processors;
    std::function<Text()> processor_signature;
    std::function<void(int, std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&)>
        display_mode;
    std::function<std::int32_t()> screens;
    std::function<std::int32_t()> taskbar;
    std::function<MonitorList(bool all)> monitor;  // all: every monitor, for the facts
    // `whole`: every property, for the forms beyond the text report.
    std::function<MemoryFacts(bool whole)> memory;
    std::function<DiskFacts(bool whole)> disk;
    std::function<VideoFacts(bool whole)> video;
    std::function<BoardFacts(bool whole)> board;
    // Read only when the caller asks for the facts (--json), after the text.
    std::function<IdentityFacts()> identity;
    std::function<FirmwareFacts()> firmware;
};

// Every value of one report as it was read: the text report is written
// from these, and the forms that are not its text (--json) map them.
struct ReportFacts {
    OsFacts os;
    Text chassis, chassis_maker;
    int chassis_code = 0;
    int os_family = 0;
    std::optional<bool> is_64bit;
    Text host, user;
    ProcessorFacts cpu;
    std::vector<ProcessorEntry> processors;  // read only for the whole record
    Text cpu_signature;
    std::int32_t screens = 0, bits_per_pixel = 0, refresh = 0, width = 0, height = 0, taskbar = 0;
    MonitorInfo monitor;
    MonitorList monitors;
    MemoryFacts memory;
    DiskFacts disks;
    VideoFacts video;
    BoardFacts board;
    std::uint32_t elapsed_ms = 0;
    IdentityFacts identity;
    FirmwareFacts firmware;
};

ReportSources machine_sources();
// The class a machine file keeps what Windows answers outside WMI in (the
// family, the 64-bit answer, host and user name, CPUID, the display mode,
// the install id), so that the file reports as the machine did.
extern const char* const kMachineFactsClass;
// The report of the machine the instance source describes: its classes,
// and kMachineFactsClass for the rest; nothing of this machine but the clock.
ReportSources described_machine_sources();
// The kMachineFactsClass block of a machine file for a report's facts.
std::string machine_facts_block(const ReportFacts& facts);
// The report into the box, line by line; with `facts`, the whole record of
// what it read too (every class then read once with every property).
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
