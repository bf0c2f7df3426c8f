// The two ways a query script runs on Windows. run_script_query takes the
// Script Control where it can be created and our own host otherwise; these
// name each way, for the tests and the bench that compare them.
#pragma once

#include <optional>

#include "values/text.h"

// nullopt when there is no Script Control to run it.
std::optional<Text> run_script_query_in_control(const Text& script);
Text run_script_query_in_host(const Text& script);
double run_script_query_number_in_host(const Text& script);

// With false, every query takes our own host, as on a Windows without the
// Script Control; lets the bench and the tests time and check whole reports
// both ways in one process.
void use_script_control(bool use);
