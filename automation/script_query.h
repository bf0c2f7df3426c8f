// Runs a query script that defines GetA() and returns what GetA returned.
// On Windows the Script Control runs it; on Linux our own script host, over
// the machine's instance source. Neither fails: a script that cannot run
// gives the empty text, or 0.
#pragma once

#include "values/text.h"

Text run_script_query(const Text& script);
double run_script_query_number(const Text& script);
