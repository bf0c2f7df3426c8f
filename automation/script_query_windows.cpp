#include "automation/script_query.h"

// No script host yet: the machine answers as one whose WMI cannot be reached.
Text run_script_query(const Text&) { return Text(); }
double run_script_query_number(const Text&) { return 0; }
