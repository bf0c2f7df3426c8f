#include "automation/automation_windows.h"
#include "automation/script_query.h"

namespace {

// One Script Control per query, released before returning.
Variant evaluate(const Text& script) {
    ComObject control;
    control.create("MSScriptControl.ScriptControl");
    control.write_property("Language", Arg("VBScript"));
    control.call_number_method("AddCode", {Arg(script)});
    Variant result = control.call_variant_method("Eval", {Arg("GetA()")});
    control.clear();
    return result;
}

}  // namespace

Text run_script_query(const Text& script) {
    Variant v = evaluate(script);
    Text t = v.to_text();
    v.clear();
    return t;
}

double run_script_query_number(const Text& script) {
    Variant v = evaluate(script);
    double d = v.to_number(1);
    v.clear();
    return d;
}
