#include "sections/display/display.h"

// Filled from the kernel's display interfaces by the live Linux source.
void query_display_mode(int, std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&) {}
std::int32_t count_screens() { return 0; }
// Linux desktops have no one taskbar that the kernel knows of.
std::int32_t taskbar_thickness() { return 0; }
