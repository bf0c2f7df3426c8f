#include "sections/system/identity.h"
#include "sources/linux/host_state.h"

Text read_machine_id() { return machine_id().value_or(""); }
