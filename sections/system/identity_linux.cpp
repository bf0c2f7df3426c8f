#include "automation/script_query.h"
#include "sections/system/firmware.h"
#include "sections/system/identity.h"
#include "sources/linux/host_state.h"
#include "sources/linux/sysfs_text.h"

Text read_machine_id() { return machine_id().value_or(""); }

// A described machine says so itself (its facts block), not this one.
std::optional<bool> read_uefi_boot() {
    if (!reading_own_machine()) return std::nullopt;
    return booted_through_uefi();
}
