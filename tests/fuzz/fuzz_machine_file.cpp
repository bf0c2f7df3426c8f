// A machine file from a hostile sender: it is refused with an error, or
// its machine reports, text and JSON, without a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <stdexcept>

#include "app/report.h"
#include "app/report_json.h"
#include "automation/script_query.h"
#include "sources/machine_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    try {
        // No EDID file can be named: the directory does not exist.
        MachineFile machine = MachineFile::parse(content, "/nonexistent-qv-fuzz", "fuzz.machine");
        set_instance_source(&machine);
        TextReportBox box;
        ReportFacts facts;
        build_report(box, described_machine_sources(), &facts);
        (void)report_json(facts, JsonContext{"fuzz", 0, "", false, "fuzz.machine"});
        set_instance_source(nullptr);
    } catch (const std::runtime_error&) {
        set_instance_source(nullptr);
    }
    return 0;
}
