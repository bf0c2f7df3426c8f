#pragma once

#include <windows.h>

#include <cstdint>

// The process-wide monitor handle list, made at start-up, freed at the end.
void create_monitor_list();
void release_monitor_list();
// The taskbar's thickness across the edge it sits on (ABE_LEFT and the
// others, as SHAppBarMessage reports it); 0 for an edge it does not know.
std::int32_t taskbar_thickness_of(unsigned edge, const RECT& rc);
