#include "sections/display/display.h"

Bytes registry_read_binary(RegistryRoot, const Text&) { return Bytes(); }
