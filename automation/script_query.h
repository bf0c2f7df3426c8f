// Runs a query script that defines GetA() and returns what GetA returned.
// On Windows the Script Control runs it, or, where the Script Control cannot
// be created, our own script host (automation/host/) over WMI's COM
// interface; on Linux our own script host over the running machine. Neither
// fails: a script that cannot run gives the empty text, or 0.
#pragma once

#include "values/text.h"

class InstanceSource;

Text run_script_query(const Text& script);
double run_script_query_number(const Text& script);

// The script as the Script Control runs it: every property read from a WMI
// object ("obj.Caption") goes through QvClean, which kScriptCleaner defines,
// so that a value holding a line break or another control stays on its
// own reply line there too (our own host's sources clean as they read).
Text with_cleaned_values(const Text& script);
extern const char* const kScriptCleaner;

// The queries made while a session lives share what is costly to open (the
// WMI connection of our own host on Windows); it is released when the
// outermost session ends. The report driver holds one per report.
class QuerySession {
public:
    QuerySession();
    ~QuerySession();
    QuerySession(const QuerySession&) = delete;
    QuerySession& operator=(const QuerySession&) = delete;
};

// The source our host reads: the one a test or the bench set, else the
// machine's own.
InstanceSource& instance_source();
// Whether the queries read the machine itself, not a described one.
bool reading_own_machine();
// Replaces the source (nullptr restores the machine's own).
void set_instance_source(InstanceSource* source);
// The machine's own source, chosen beside each platform's bridge:
// linux_machine() (sources/linux/) in script_query_linux.cpp,
// wmi_instance_source() (sources/) in script_query_windows.cpp.
InstanceSource& machine_instance_source();
