// How the script engine writes a Boolean or a fractional number when a
// script joins it into a text. Windows' VBScript follows the user's locale
// ("True", "真", "Wahr"; "3.5" or "3,5"), and so must our host there, for its
// replies to read as the engine's would.
#pragma once

#include "values/text.h"

Text script_boolean_text(bool b);
Text script_double_text(double d);
Text script_single_text(float f);
