#include <windows.h>

#include <oleauto.h>

#include "automation/host/script_locale.h"
#include "values/encoding.h"

namespace {

Text from_owned_bstr(HRESULT hr, BSTR b) {
    if (FAILED(hr) || !b) return Text();
    Text t = wide_to_gbk(b, SysStringLen(b));
    SysFreeString(b);
    return t;
}

}  // namespace

// The conversions VBScript's "&" makes: the locale's own words for True and False.
Text script_boolean_text(bool b) {
    BSTR out = nullptr;
    const HRESULT hr =
        VarBstrFromBool(b ? VARIANT_TRUE : VARIANT_FALSE, GetUserDefaultLCID(), VAR_LOCALBOOL, &out);
    return from_owned_bstr(hr, out);
}

Text script_double_text(double d) {
    BSTR out = nullptr;
    const HRESULT hr = VarBstrFromR8(d, GetUserDefaultLCID(), 0, &out);
    return from_owned_bstr(hr, out);
}

// A real32 keeps a single's digits: 0.1 is "0.1", not the double's
// "0.100000001490116".
Text script_single_text(float f) {
    BSTR out = nullptr;
    const HRESULT hr = VarBstrFromR4(f, GetUserDefaultLCID(), 0, &out);
    return from_owned_bstr(hr, out);
}
