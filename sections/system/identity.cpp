#include "sections/system/identity.h"

#include "automation/script_query.h"
#include "reply/reply.h"
#include "sections/numbered_script.h"

// One class a script: a property one Windows version lacks fails only its
// own script.
const char* const kSystemProductScript =
    QV_NUMBERED_HEAD("Win32_ComputerSystemProduct") QV_NUMBERED("UUID") QV_NUMBERED("IdentifyingNumber")
    QV_NUMBERED_TAIL;
const char* const kBiosScript = QV_NUMBERED_HEAD("Win32_BIOS") QV_NUMBERED("SerialNumber") QV_NUMBERED_TAIL;
const char* const kBaseBoardSerialScript =
    QV_NUMBERED_HEAD("Win32_BaseBoard") QV_NUMBERED("SerialNumber") QV_NUMBERED_TAIL;
const char* const kEnclosureSerialScript =
    QV_NUMBERED_HEAD("Win32_SystemEnclosure") QV_NUMBERED("SerialNumber") QV_NUMBERED_TAIL;

namespace {

// The first instance's value of `key` in a numbered reply.
Text first_value(const Text& script, const Text& key) {
    const auto instances = numbered_instances(run_script_query(script));
    return instances.empty() ? Text() : instance_value(instances.front(), key);
}

}  // namespace

IdentityFacts read_identity() {
    IdentityFacts f;
    const auto product = numbered_instances(run_script_query(kSystemProductScript));
    if (!product.empty()) {
        f.system_uuid = instance_value(product.front(), "UUID");
        f.system_serial = instance_value(product.front(), "IdentifyingNumber");
    }
    f.bios_serial = first_value(kBiosScript, "SerialNumber");
    f.board_serial = first_value(kBaseBoardSerialScript, "SerialNumber");
    f.chassis_serial = first_value(kEnclosureSerialScript, "SerialNumber");
    return f;
}
