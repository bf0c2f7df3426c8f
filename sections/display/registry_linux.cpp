#include "sections/display/display.h"

// Linux has no registry; the monitors' EDID values live with the instance
// source.
Bytes registry_read_binary(RegistryRoot, const Text& full_path) { return edid_from_instance_source(full_path); }
