#include "automation/host/script_host.h"
#include "automation/script_query.h"
#include "io/linux_files.h"
#include "sources/linux/linux_machine.h"

InstanceSource& machine_instance_source() { return linux_machine(); }

Text run_script_query(const Text& script) {
    const ScriptOutcome r = run_get_a(script, instance_source());
    return r.ok ? script_value_text(r.value) : Text();
}

double run_script_query_number(const Text& script) {
    const ScriptOutcome r = run_get_a(script, instance_source());
    return r.ok ? script_value_number(r.value) : 0;
}

namespace {
int g_sessions = 0;
}  // namespace

// The Linux sources open nothing that lasts; a report's first session
// starts its reads afresh (a file read twice in one report is read once).
QuerySession::QuerySession() {
    if (g_sessions++ == 0) linux_files().begin_report();
}
QuerySession::~QuerySession() {
    if (--g_sessions == 0) linux_files().end_report();
}
