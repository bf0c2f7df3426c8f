// What the report asks of the system itself rather than of a query: the
// clock and the host's name.
#pragma once

#include <cstdint>

#include "values/text.h"

// Milliseconds since start (wrapping), and the host's network name.
std::uint32_t tick_count();
Text host_name();
