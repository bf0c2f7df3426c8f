// Runs a query script that defines GetA() and returns what GetA returned.
// On Windows the Script Control runs it, or, where the Script Control cannot
// be created, our own script host over WMI's COM interface; on Linux our own
// script host over the machine's instance source. Neither fails: a script
// that cannot run gives the empty text, or 0.
#pragma once

#include "values/text.h"

Text run_script_query(const Text& script);
double run_script_query_number(const Text& script);

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
