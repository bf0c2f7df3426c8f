#include "automation/script_query.h"

namespace {
InstanceSource* g_source = nullptr;
}  // namespace

InstanceSource& instance_source() { return g_source ? *g_source : machine_instance_source(); }

bool reading_own_machine() { return g_source == nullptr; }

void set_instance_source(InstanceSource* source) { g_source = source; }
