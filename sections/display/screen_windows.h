#pragma once

// The process-wide monitor handle list, made at start-up, freed at the end.
void create_monitor_list();
void release_monitor_list();
