#include "sections/system/identity.h"
#include "sources/linux/host_state.h"

Text read_machine_id() { return machine_id().value_or(""); }

#include "sections/system/firmware.h"
#include "sources/linux/sysfs_text.h"

std::optional<bool> read_uefi_boot() { return booted_through_uefi(); }
