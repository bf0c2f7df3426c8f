#include "automation/host/script_locale.h"

// VBScript's own words, as on an English Windows.
Text script_boolean_text(bool b) { return b ? "True" : "False"; }

Text script_double_text(double d) { return to_text(d); }

Text script_single_text(float f) { return to_text(f); }
