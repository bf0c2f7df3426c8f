#include "automation/host/script_host.h"
#include "automation/script_query.h"
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

// The Linux sources open nothing that lasts.
QuerySession::QuerySession() = default;
QuerySession::~QuerySession() = default;
