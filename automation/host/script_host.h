// A small host for the VBScript that query scripts are written in: Function
// and End Function, Dim, Set, For Each ... In ... Next, assignment, "&", "+"
// and "-", string and number literals, Cstr, vbCrLf, member access and calls,
// the "winmgmts:" moniker and ExecQuery("Select * from CLASS") over an
// instance source. What lies outside that is a compile error, as a script
// the engine cannot read would be.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sources/instance_source.h"
#include "values/text.h"

struct ScriptObject;

struct ScriptValue {
    enum class Kind { Empty, Null, String, Integer, Double, Single, Boolean, Array, Object };
    Kind kind = Kind::Empty;
    Text text;
    std::int64_t integer = 0;
    double number = 0;
    bool boolean = false;
    std::vector<ScriptValue> items;
    std::shared_ptr<ScriptObject> object;
};

struct ScriptOutcome {
    bool ok = false;
    ScriptValue value;
    std::string error;  // why it failed, for tests and diagnostics
};

// Runs the script's top-level code, then evaluates GetA().
ScriptOutcome run_get_a(const Text& script, InstanceSource& source);

// What the bridge makes of the value: the text (empty for an array, Null or
// anything that does not convert), or the number (element 1 of an array).
Text script_value_text(const ScriptValue& v);
double script_value_number(const ScriptValue& v);
