#include "com/automation_windows.h"

#include <oleauto.h>

#include <cstring>

#include "values/encoding.h"

namespace {

thread_local int t_error = 0;

enum class Access { Read, Write, Call };

BSTR to_bstr(const Text& t) {
    const std::wstring w = gbk_to_wide(t);
    return SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

Text from_bstr(BSTR b) {
    if (!b) return Text();
    return wide_to_gbk(b, SysStringLen(b));
}

void zero(VARIANT& v) { std::memset(&v, 0, sizeof v); }

void clear_variant(VARIANT& v) {
    VariantClear(&v);
    zero(v);
}

int map_invoke_error(HRESULT hr) {
    switch (hr) {
        case DISP_E_BADPARAMCOUNT: return -9;
        case DISP_E_BADVARTYPE: return -10;
        case DISP_E_EXCEPTION: return -11;
        case DISP_E_MEMBERNOTFOUND: return -12;
        case DISP_E_NONAMEDARGS: return -13;
        case DISP_E_OVERFLOW: return -14;
        case DISP_E_PARAMNOTFOUND: return -15;
        case DISP_E_TYPEMISMATCH: return -16;
        case DISP_E_PARAMNOTOPTIONAL: return -17;
        default: return -18;
    }
}

// The declared type of a parameter, with aliases, enumerations and
// interfaces resolved the way the call needs them.
struct Declared {
    VARTYPE vt = VT_VARIANT;
    bool by_ref = false;
    bool array = false;
};

VARTYPE resolve_user_type(ITypeInfo* ti, HREFTYPE ref, bool& array, int depth = 0) {
    ITypeInfo* rt = nullptr;
    if (depth > 8 || FAILED(ti->GetRefTypeInfo(ref, &rt))) return VT_VARIANT;
    TYPEATTR* attr = nullptr;
    VARTYPE vt = VT_UNKNOWN;
    if (SUCCEEDED(rt->GetTypeAttr(&attr))) {
        switch (attr->typekind) {
            case TKIND_ENUM: vt = VT_I4; break;
            case TKIND_DISPATCH: vt = VT_DISPATCH; break;
            case TKIND_ALIAS:
                if (attr->tdescAlias.vt == VT_USERDEFINED)
                    vt = resolve_user_type(rt, attr->tdescAlias.hreftype, array, depth + 1);
                else if (attr->tdescAlias.vt == VT_SAFEARRAY || attr->tdescAlias.vt == VT_CARRAY)
                    array = true, vt = VT_VARIANT;
                else
                    vt = attr->tdescAlias.vt;
                break;
            default: vt = VT_UNKNOWN; break;
        }
        rt->ReleaseTypeAttr(attr);
    }
    rt->Release();
    return vt;
}

Declared declared_type(ITypeInfo* ti, const TYPEDESC& td) {
    Declared d;
    const TYPEDESC* t = &td;
    if (t->vt == VT_PTR) {
        d.by_ref = true;
        t = t->lptdesc;
    }
    if (t->vt == VT_SAFEARRAY || t->vt == VT_CARRAY) {
        d.array = true;
        d.vt = VT_VARIANT;
    } else if (t->vt == VT_USERDEFINED) {
        d.vt = resolve_user_type(ti, t->hreftype, d.array);
    } else if (t->vt == VT_INT) {
        d.vt = VT_I4;
    } else if (t->vt == VT_UINT) {
        d.vt = VT_UI4;
    } else {
        d.vt = t->vt;
    }
    return d;
}

// Converts a program argument to a VARIANT; false for a kind that cannot pass.
bool convert_arg(const Arg& a, VARIANT& out) {
    zero(out);
    switch (a.kind) {
        case Arg::Kind::Omitted: return true;
        case Arg::Kind::String:
            out.vt = VT_BSTR;
            out.bstrVal = to_bstr(a.text);
            return true;
        case Arg::Kind::Bool:
            out.vt = VT_BOOL;
            out.boolVal = a.b ? VARIANT_TRUE : VARIANT_FALSE;
            return true;
        case Arg::Kind::Int:
            out.vt = VT_I4;
            out.lVal = a.i;
            return true;
        case Arg::Kind::Double:
            out.vt = VT_R8;
            out.dblVal = a.d;
            return true;
        case Arg::Kind::Value:
            return SUCCEEDED(VariantCopyInd(&out, const_cast<VARIANT*>(&a.value->raw())));
        case Arg::Kind::Reference:
            return SUCCEEDED(VariantCopyInd(&out, &a.reference->raw()));
    }
    return false;
}

struct Bound {
    ITypeInfo* ti = nullptr;
    FUNCDESC* func = nullptr;
    VARDESC* var = nullptr;
    ~Bound() {
        if (ti && func) ti->ReleaseFuncDesc(func);
        if (ti && var) ti->ReleaseVarDesc(var);
        if (ti) ti->Release();
    }
};

// 0 when bound to a function or variable, else the failure code.
int bind(ITypeComp* comp, const std::wstring& name, Access access, Bound& out) {
    static const INVOKEKIND kRead[] = {INVOKE_PROPERTYGET, INVOKE_FUNC};
    static const INVOKEKIND kWrite[] = {INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF, INVOKE_FUNC};
    static const INVOKEKIND kCall[] = {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT,
                                       INVOKE_PROPERTYPUTREF};
    const INVOKEKIND* kinds = access == Access::Read ? kRead : access == Access::Write ? kWrite : kCall;
    const int n = access == Access::Read ? 2 : access == Access::Write ? 3 : 4;
    std::wstring buf = name;
    const ULONG hash = LHashValOfNameSys(SYS_WIN32, LOCALE_USER_DEFAULT, buf.c_str());
    for (int k = 0; k < n; ++k) {
        ITypeInfo* ti = nullptr;
        DESCKIND kind = DESCKIND_NONE;
        BINDPTR ptr{};
        HRESULT hr = comp->Bind(buf.data(), hash, static_cast<WORD>(kinds[k]), &ti, &kind, &ptr);
        if (FAILED(hr)) continue;
        if (kind == DESCKIND_FUNCDESC) {
            out.ti = ti;
            out.func = ptr.lpfuncdesc;
            return 0;
        }
        if (kind == DESCKIND_VARDESC) {
            out.ti = ti;
            out.var = ptr.lpvardesc;
            return 0;
        }
        if ((kind == DESCKIND_TYPECOMP || kind == DESCKIND_IMPLICITAPPOBJ) && ptr.lptcomp)
            ptr.lptcomp->Release();
        if (ti) ti->Release();
        return -3;
    }
    return -3;
}

// One property read, property write or method call; the result VARIANT is
// filled with what the member returned (indirections resolved).
int invoke(IUnknown* unk, const Text& name, Access access, const Args& given, VARIANT& result) {
    zero(result);
    if (!unk) return -1;
    IDispatch* disp = nullptr;
    if (FAILED(unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp))) || !disp)
        return -2;
    ITypeInfo* info = nullptr;
    ITypeComp* comp = nullptr;
    if (FAILED(disp->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || !info ||
        FAILED(info->GetTypeComp(&comp)) || !comp) {
        if (info) info->Release();
        disp->Release();
        return -4;
    }
    Bound b;
    int code = bind(comp, gbk_to_wide(name), access, b);

    DISPID id = 0;
    WORD flags = 0;
    std::vector<Declared> params;
    bool varargs = false;
    if (code == 0 && b.func) {
        id = b.func->memid;
        flags = static_cast<WORD>(b.func->invkind);
        varargs = b.func->cParamsOpt == -1;
        for (SHORT p = 0; p < b.func->cParams; ++p) {
            Declared d = declared_type(b.ti, b.func->lprgelemdescParam[p].tdesc);
            params.push_back(d);
        }
    } else if (code == 0 && b.var) {
        id = b.var->memid;
        if (access == Access::Write) {
            Declared d = declared_type(b.ti, b.var->elemdescVar.tdesc);
            flags = ((d.vt == VT_DISPATCH || d.vt == VT_UNKNOWN) && !d.array)
                        ? DISPATCH_PROPERTYPUTREF
                        : DISPATCH_PROPERTYPUT;
            params.push_back(d);
        } else {
            flags = DISPATCH_PROPERTYGET;
        }
    }

    std::size_t count = given.size();
    while (count > 0 && given[count - 1].kind == Arg::Kind::Omitted) --count;
    if (code == 0 && count > params.size() && !varargs) code = -5;

    // Converted values, and the copies that by-reference parameters point to.
    std::vector<VARIANT> values(count), slots(count);
    for (auto& v : slots) zero(v);
    std::vector<bool> by_ref(count, false);
    for (std::size_t i = 0; code == 0 && i < count; ++i) {
        if (!convert_arg(given[i], values[i])) {
            code = -7;
            break;
        }
        VARIANT& slot = slots[i];
        if (values[i].vt == VT_EMPTY) {
            slot.vt = VT_ERROR;
            slot.scode = DISP_E_PARAMNOTFOUND;
            continue;
        }
        const Declared d = i < params.size() ? params[i] : Declared{};
        if (!d.by_ref) {
            slot = values[i];
            zero(values[i]);
        } else if (d.vt == VT_VARIANT && !d.array) {
            slot.vt = VT_BYREF | VT_VARIANT;
            slot.pvarVal = &values[i];
            by_ref[i] = true;
        } else if (d.array && (values[i].vt & VT_ARRAY)) {
            slot.vt = static_cast<VARTYPE>(VT_BYREF | values[i].vt);
            slot.pparray = &values[i].parray;
            by_ref[i] = true;
        } else if (SUCCEEDED(VariantChangeType(&values[i], &values[i], 0, d.vt)) &&
                   d.vt != VT_VARIANT) {
            slot.vt = static_cast<VARTYPE>(VT_BYREF | d.vt);
            slot.byref = &values[i].lVal;  // the union's first byte, whatever the type
            by_ref[i] = true;
        } else {
            slot = values[i];
            zero(values[i]);
        }
    }

    if (code == 0) {
        // IDispatch wants the last argument first.
        std::vector<VARIANT> reversed(slots.rbegin(), slots.rend());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS dp{};
        dp.cArgs = static_cast<UINT>(reversed.size());
        dp.rgvarg = reversed.empty() ? nullptr : reversed.data();
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            dp.cNamedArgs = 1;
            dp.rgdispidNamedArgs = &named;
        }
        VARIANT raw;
        zero(raw);
        UINT arg_error = 0;
        HRESULT hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp,
                                  access == Access::Write ? nullptr : &raw, nullptr, &arg_error);
        if (FAILED(hr)) {
            code = map_invoke_error(hr);
        } else {
            for (std::size_t i = 0; i < count; ++i) {
                if (!by_ref[i] || given[i].kind != Arg::Kind::Reference) continue;
                const bool out_param =
                    b.func && i < static_cast<std::size_t>(b.func->cParams) &&
                    (b.func->lprgelemdescParam[i].paramdesc.wParamFlags & PARAMFLAG_FOUT);
                if (out_param) {
                    Variant& target = *given[i].reference;
                    target.clear();
                    VariantCopyInd(&target.raw(), &values[i]);
                }
            }
            if (FAILED(VariantCopyInd(&result, &raw))) code = -8;
        }
        VariantClear(&raw);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!by_ref[i]) VariantClear(&slots[i]);
        VariantClear(&values[i]);
    }
    comp->Release();
    info->Release();
    disp->Release();
    return code;
}

bool change_to(const VARIANT& in, VARTYPE vt, VARIANT& out) {
    zero(out);
    if (in.vt == vt) return SUCCEEDED(VariantCopy(&out, const_cast<VARIANT*>(&in)));
    VARIANT tmp;
    zero(tmp);
    if (FAILED(VariantCopyInd(&tmp, const_cast<VARIANT*>(&in)))) return false;
    HRESULT hr = VariantChangeType(&out, &tmp, 0, vt);
    VariantClear(&tmp);
    return SUCCEEDED(hr);
}

// Element number n (from 1) of an array, the first dimension fastest.
bool array_element(const VARIANT& v, int n, VARIANT& out) {
    zero(out);
    SAFEARRAY* sa = (v.vt & VT_BYREF) ? (v.pparray ? *v.pparray : nullptr) : v.parray;
    if (!sa || n < 1) return false;
    const UINT dims = SafeArrayGetDim(sa);
    std::vector<LONG> index(dims);
    long long rest = n - 1;
    for (UINT d = 0; d < dims; ++d) {
        LONG lo = 0, hi = -1;
        SafeArrayGetLBound(sa, d + 1, &lo);
        SafeArrayGetUBound(sa, d + 1, &hi);
        const long long extent = static_cast<long long>(hi) - lo + 1;
        if (extent <= 0) return false;
        index[d] = static_cast<LONG>(lo + rest % extent);
        rest /= extent;
    }
    if (rest != 0) return false;
    VARTYPE vt = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(sa, &vt))) return false;
    if (vt == VT_VARIANT) return SUCCEEDED(SafeArrayGetElement(sa, index.data(), &out));
    if (vt == VT_BSTR) {
        BSTR s = nullptr;
        if (FAILED(SafeArrayGetElement(sa, index.data(), &s))) return false;
        out.vt = VT_BSTR;
        out.bstrVal = s;
        return true;
    }
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH || vt == VT_RECORD) return false;
    if (vt == VT_DECIMAL) {
        // A DECIMAL fills the whole VARIANT, its type field included: it
        // cannot be written at the union as the smaller kinds are.
        DECIMAL d{};
        if (FAILED(SafeArrayGetElement(sa, index.data(), &d))) return false;
        out.decVal = d;
        out.vt = VT_DECIMAL;
        return true;
    }
    out.vt = vt;
    return SUCCEEDED(SafeArrayGetElement(sa, index.data(), &out.lVal));
}

}  // namespace

int automation_error_code() { return t_error; }

// ---- Variant ----

Variant::Variant() { zero(v_); }
Variant::~Variant() { VariantClear(&v_); }
Variant::Variant(Variant&& other) noexcept : v_(other.v_) { zero(other.v_); }
Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&v_);
        v_ = other.v_;
        zero(other.v_);
    }
    return *this;
}

void Variant::clear() { clear_variant(v_); }

bool Variant::assign(const Text& t) {
    clear();
    v_.vt = VT_BSTR;
    v_.bstrVal = to_bstr(t);
    return true;
}
bool Variant::assign(bool b) {
    clear();
    v_.vt = VT_BOOL;
    v_.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return true;
}
bool Variant::assign(std::int32_t i) {
    clear();
    v_.vt = VT_I4;
    v_.lVal = i;
    return true;
}
bool Variant::assign(double d) {
    clear();
    v_.vt = VT_R8;
    v_.dblVal = d;
    return true;
}
bool Variant::assign(const Variant& other) {
    if (&other == this) return true;
    clear();
    return SUCCEEDED(VariantCopyInd(&v_, const_cast<VARIANT*>(&other.v_)));
}
bool Variant::assign(const ComObject& o) {
    clear();
    if (!o.get()) return false;
    IUnknown* u = nullptr;
    if (FAILED(o.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u)))) return false;
    v_.vt = VT_UNKNOWN;
    v_.punkVal = u;
    return true;
}
void Variant::copy(const Variant& other) {
    clear();
    VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
}

Text Variant::to_text(std::optional<int> element) const {
    VARIANT src;
    zero(src);
    const bool is_array = (v_.vt & VT_ARRAY) != 0;
    if (is_array && !element) return Text();
    if (is_array && !array_element(v_, *element, src)) return Text();
    VARIANT out;
    const bool ok = change_to(is_array ? src : v_, VT_BSTR, out);
    VariantClear(&src);
    if (!ok) return Text();
    Text t = from_bstr(out.bstrVal);
    VariantClear(&out);
    return t;
}

double Variant::to_number(std::optional<int> element) const {
    VARIANT src;
    zero(src);
    const bool is_array = (v_.vt & VT_ARRAY) != 0;
    if (is_array && !element) return 0;
    if (is_array && !array_element(v_, *element, src)) return 0;
    VARIANT out;
    const bool ok = change_to(is_array ? src : v_, VT_R8, out);
    VariantClear(&src);
    if (!ok) return 0;
    return out.dblVal;
}

long long Variant::element_count() const {
    if (!(v_.vt & VT_ARRAY)) return 0;
    SAFEARRAY* sa = (v_.vt & VT_BYREF) ? (v_.pparray ? *v_.pparray : nullptr) : v_.parray;
    if (!sa) return 0;
    long long count = 1;
    for (UINT d = 1; d <= SafeArrayGetDim(sa); ++d) {
        LONG lo = 0, hi = -1;
        SafeArrayGetLBound(sa, d, &lo);
        SafeArrayGetUBound(sa, d, &hi);
        count *= hi >= lo ? static_cast<long long>(hi) - lo + 1 : 0;
    }
    return count;
}

bool Variant::element(int n, Variant& out) const {
    out.clear();
    if (!(v_.vt & VT_ARRAY)) return false;
    return array_element(v_, n, out.v_);
}

// ---- ComObject ----

ComObject::~ComObject() { clear(); }
ComObject::ComObject(ComObject&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
ComObject& ComObject::operator=(ComObject&& other) noexcept {
    if (this != &other) {
        clear();
        p_ = other.p_;
        other.p_ = nullptr;
    }
    return *this;
}

void ComObject::clear() {
    if (p_) p_->Release();
    p_ = nullptr;
}

void ComObject::reset(IUnknown* p) {
    clear();
    p_ = p;
}

void ComObject::assign(const ComObject& other) {
    if (&other == this) return;
    clear();
    p_ = other.p_;
    if (p_) p_->AddRef();
}

bool ComObject::create(const Text& id) {
    CLSID clsid{};
    const std::wstring w = gbk_to_wide(id);
    HRESULT hr = (!id.empty() && id[0] == '{') ? CLSIDFromString(w.c_str(), &clsid)
                                               : CLSIDFromProgID(w.c_str(), &clsid);
    if (FAILED(hr)) return false;
    IUnknown* u = nullptr;
    hr = CoCreateInstance(clsid, nullptr, 0x17, IID_IUnknown, reinterpret_cast<void**>(&u));
    if (hr == E_INVALIDARG)
        hr = CoCreateInstance(clsid, nullptr, 0x7, IID_IUnknown, reinterpret_cast<void**>(&u));
    if (FAILED(hr) || !u) return false;
    if (FAILED(OleRun(u))) {
        u->Release();
        return false;
    }
    reset(u);
    return true;
}

bool ComObject::write_property(const Text& name, const Arg& value) {
    VARIANT r;
    t_error = invoke(p_, name, Access::Write, {value}, r);
    VariantClear(&r);
    return t_error == 0;
}

namespace {

Text result_text(int& code, VARIANT& r) {
    Text t;
    if (code == 0) {
        VARIANT out;
        if (change_to(r, VT_BSTR, out)) {
            t = from_bstr(out.bstrVal);
            VariantClear(&out);
        } else {
            code = -8;
        }
    }
    VariantClear(&r);
    return code == 0 ? t : Text();
}

double result_number(int& code, VARIANT& r) {
    double d = 0;
    if (code == 0) {
        // A member that returns nothing gives 0.
        if (r.vt == VT_EMPTY) {
            d = 0;
        } else {
            VARIANT out;
            if (change_to(r, VT_R8, out))
                d = out.dblVal;
            else
                code = -8;
        }
    }
    VariantClear(&r);
    return code == 0 ? d : 0;
}

ComObject result_object(int& code, VARIANT& r) {
    ComObject o;
    if (code == 0) {
        VARIANT out;
        if (change_to(r, VT_UNKNOWN, out) && out.punkVal) {
            o.reset(out.punkVal);  // the copy's reference is ours
            zero(out);
        } else {
            VariantClear(&out);
            code = -8;
        }
    }
    VariantClear(&r);
    return o;
}

Variant result_variant(int& code, VARIANT& r) {
    Variant v;
    if (code == 0) {
        v.raw() = r;
        zero(r);
    }
    VariantClear(&r);
    return v;
}

}  // namespace

namespace {

// One member operation and the conversion of its result; leaves the code.
template <typename Convert>
auto operate(IUnknown* p, const Text& name, Access access, const Args& args, Convert convert) {
    VARIANT r;
    int code = invoke(p, name, access, args, r);
    auto out = convert(code, r);
    t_error = code;
    return out;
}

}  // namespace

Text ComObject::read_text_property(const Text& name, const Args& index) {
    return operate(p_, name, Access::Read, index, result_text);
}

double ComObject::read_number_property(const Text& name, const Args& index) {
    return operate(p_, name, Access::Read, index, result_number);
}

ComObject ComObject::read_object_property(const Text& name, const Args& index) {
    return operate(p_, name, Access::Read, index, result_object);
}

Variant ComObject::read_variant_property(const Text& name, const Args& index) {
    return operate(p_, name, Access::Read, index, result_variant);
}

Variant ComObject::call_variant_method(const Text& name, const Args& args) {
    return operate(p_, name, Access::Call, args, result_variant);
}

Text ComObject::call_text_method(const Text& name, const Args& args) {
    return operate(p_, name, Access::Call, args, result_text);
}

double ComObject::call_number_method(const Text& name, const Args& args) {
    return operate(p_, name, Access::Call, args, result_number);
}

ComObject ComObject::call_object_method(const Text& name, const Args& args) {
    return operate(p_, name, Access::Call, args, result_object);
}
