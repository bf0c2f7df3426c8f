#include "automation/script_query_windows.h"

#include "com/automation_windows.h"
#include "automation/host/script_host.h"
#include "automation/script_query.h"
#include "sources/wmi_source_windows.h"

InstanceSource& machine_instance_source() { return wmi_instance_source(); }

namespace {

int g_sessions = 0;
bool g_use_control = true;

// One Script Control per query, released before returning; false when the
// control cannot be created, has no VBScript engine to take the language,
// or its engine refuses the script (VBScript blocked by policy): then it
// could not run a single one of our scripts, which are all valid.
bool evaluate_in_control(const Text& script, Variant& result) {
    ComObject control;
    if (!g_use_control || !control.create("MSScriptControl.ScriptControl")) return false;
    if (!control.write_property("Language", Arg("VBScript"))) return false;
    control.call_number_method("AddCode", {Arg(Text(kScriptCleaner) + with_cleaned_values(script))});
    if (automation_error_code() != 0) return false;
    result = control.call_variant_method("Eval", {Arg("GetA()")});
    control.clear();
    return true;
}

// GetA's value as the Script Control would have handed it back, so that
// the same conversion to text or number follows.
void to_variant(const ScriptValue& s, Variant& out) {
    out.clear();
    switch (s.kind) {
        case ScriptValue::Kind::Empty:
        case ScriptValue::Kind::Object: return;
        case ScriptValue::Kind::Null: out.raw().vt = VT_NULL; return;
        case ScriptValue::Kind::String: out.assign(s.text); return;
        case ScriptValue::Kind::Double: out.assign(s.number); return;
        case ScriptValue::Kind::Single:
            out.raw().vt = VT_R4;
            out.raw().fltVal = static_cast<float>(s.number);
            return;
        case ScriptValue::Kind::Boolean: out.assign(s.boolean); return;
        case ScriptValue::Kind::Integer:
            if (s.integer >= INT32_MIN && s.integer <= INT32_MAX) {
                out.assign(static_cast<std::int32_t>(s.integer));
            } else {
                out.raw().vt = VT_I8;
                out.raw().llVal = s.integer;
            }
            return;
        case ScriptValue::Kind::Array: {
            SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(s.items.size()));
            if (!sa) return;
            for (std::size_t k = 0; k < s.items.size(); ++k) {
                Variant item;
                to_variant(s.items[k], item);
                LONG index = static_cast<LONG>(k);
                SafeArrayPutElement(sa, &index, &item.raw());
            }
            out.raw().vt = VT_ARRAY | VT_VARIANT;
            out.raw().parray = sa;
            return;
        }
    }
}

Variant evaluate_in_host(const Text& script) {
    const QuerySession session;  // the report's, or one for this query alone
    Variant result;
    const ScriptOutcome r = run_get_a(script, instance_source());
    if (r.ok) to_variant(r.value, result);
    return result;
}

Variant evaluate(const Text& script) {
    Variant v;
    if (!evaluate_in_control(script, v)) v = evaluate_in_host(script);
    return v;
}

Text text_of(Variant v) {
    Text t = v.to_text();
    v.clear();
    return t;
}

double number_of(Variant v) {
    const double d = v.to_number(1);
    v.clear();
    return d;
}

}  // namespace

Text run_script_query(const Text& script) { return text_of(evaluate(script)); }

double run_script_query_number(const Text& script) { return number_of(evaluate(script)); }

std::optional<Text> run_script_query_in_control(const Text& script) {
    Variant v;
    if (!evaluate_in_control(script, v)) return std::nullopt;
    return text_of(std::move(v));
}

Text run_script_query_in_host(const Text& script) { return text_of(evaluate_in_host(script)); }

double run_script_query_number_in_host(const Text& script) {
    return number_of(evaluate_in_host(script));
}

void use_script_control(bool use) { g_use_control = use; }

QuerySession::QuerySession() { ++g_sessions; }

QuerySession::~QuerySession() {
    if (--g_sessions == 0) wmi_instance_source().disconnect();
}
