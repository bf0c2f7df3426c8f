#include "sources/wmi_source_windows.h"

#include "com/automation_windows.h"
#include "values/encoding.h"

namespace {

// Applies the "{impersonationLevel=impersonate}" of the scripts' moniker.
void impersonate(IUnknown* proxy) {
    CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

class Bstr {
public:
    explicit Bstr(const std::wstring& s) : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return b_; }

private:
    BSTR b_;
};

Instance read_instance(IWbemClassObject* object) {
    Instance in;
    if (FAILED(object->BeginEnumeration(WBEM_FLAG_NONSYSTEM_ONLY))) return in;
    BSTR name = nullptr;
    VARIANT value;
    VariantInit(&value);
    while (object->Next(0, &name, &value, nullptr, nullptr) == WBEM_S_NO_ERROR) {
        if (auto p = property_from_variant(value)) in.set(wide_to_gbk(name, SysStringLen(name)), *p);
        SysFreeString(name);
        name = nullptr;
        VariantClear(&value);
    }
    object->EndEnumeration();
    return in;
}

}  // namespace

std::optional<PropertyValue> property_from_variant(const VARIANT& v) {
    if (v.vt & VT_ARRAY) {
        // Each element taken out as the Script Control path takes it out,
        // then mapped as a scalar of its own kind: an array of strings
        // stays strings.
        Variant copy;
        if (FAILED(VariantCopy(&copy.raw(), const_cast<VARIANT*>(&v)))) return std::nullopt;
        std::vector<PropertyValue> items;
        for (long long k = 1, n = copy.element_count(); k <= n; ++k) {
            Variant e;
            if (!copy.element(static_cast<int>(k), e)) return std::nullopt;
            auto p = (e.raw().vt & VT_ARRAY) ? std::nullopt : property_from_variant(e.raw());
            if (!p) return std::nullopt;
            items.push_back(std::move(*p));
        }
        return PropertyValue::of_array(std::move(items));
    }
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL: return PropertyValue::null();
        case VT_BSTR: {
            // C1 controls and the line and paragraph separators stand out
            // as a substitute, as the C0 controls do (PropertyValue::of_text).
            std::wstring w(v.bstrVal, SysStringLen(v.bstrVal));
            for (wchar_t& c : w)
                if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029) c = 0x1A;
            return PropertyValue::of_text(wide_to_gbk(w.data(), w.size()));
        }
        case VT_BOOL: return PropertyValue::of_boolean(v.boolVal != VARIANT_FALSE);
        case VT_I1: return PropertyValue::of_integer(v.cVal);
        case VT_UI1: return PropertyValue::of_integer(v.bVal);
        case VT_I2: return PropertyValue::of_integer(v.iVal);
        case VT_UI2: return PropertyValue::of_integer(v.uiVal);
        // uint32 comes as VT_I4, so 4 GiB of video memory reads -1048576,
        // exactly as a script sees it.
        case VT_I4:
        case VT_INT: return PropertyValue::of_integer(v.lVal);
        case VT_UI4:
        case VT_UINT: return PropertyValue::of_integer(v.ulVal);
        case VT_I8: return PropertyValue::of_integer(v.llVal);
        case VT_UI8: return PropertyValue::of_integer(static_cast<std::int64_t>(v.ullVal));
        case VT_R4: return PropertyValue::of_single(v.fltVal);
        case VT_R8: return PropertyValue::of_double(v.dblVal);
        case VT_UNKNOWN:
        case VT_DISPATCH: return std::nullopt;
        default: {
            Variant copy;
            if (FAILED(VariantCopy(&copy.raw(), const_cast<VARIANT*>(&v)))) return std::nullopt;
            return PropertyValue::of_text(copy.to_text());
        }
    }
}

WmiInstanceSource::WmiInstanceSource(DWORD timeout_ms) : timeout_ms_(timeout_ms) {}

WmiInstanceSource::~WmiInstanceSource() { disconnect(); }

void WmiInstanceSource::disconnect() {
    if (services_) services_->Release();
    services_ = nullptr;
    connect_tried_ = false;
}

IWbemServices* WmiInstanceSource::services() {
    if (services_ || connect_tried_) return services_;
    connect_tried_ = true;  // one try per report: a refusal is not asked again
    IWbemLocator* locator = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(&locator))))
        return nullptr;
    Bstr ns(L"ROOT\\CIMV2");
    IWbemServices* s = nullptr;
    // WBEM_FLAG_CONNECT_USE_MAX_WAIT: a service that does not answer gives up
    // within two minutes instead of never.
    const HRESULT hr = locator->ConnectServer(ns, nullptr, nullptr, nullptr,
                                              WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr, &s);
    locator->Release();
    if (FAILED(hr) || !s) return nullptr;
    impersonate(s);
    services_ = s;
    ++connections_;
    return services_;
}

IEnumWbemClassObject* WmiInstanceSource::open_enumeration(const Text& class_name) {
    IWbemServices* s = services();
    if (!s) return nullptr;
    Bstr language(L"WQL");
    Bstr query(L"Select * from " + gbk_to_wide(class_name));
    IEnumWbemClassObject* e = nullptr;
    if (FAILED(s->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                            nullptr, &e)) ||
        !e)
        return nullptr;
    impersonate(e);
    return e;
}

std::optional<std::vector<Instance>> WmiInstanceSource::instances(const Text& class_name) {
    IEnumWbemClassObject* e = open_enumeration(class_name);
    if (!e) return std::nullopt;
    const DWORD start = GetTickCount();
    std::vector<Instance> out;
    bool finished = false;
    for (;;) {
        const DWORD spent = GetTickCount() - start;  // unsigned: right across the tick's wrap
        if (spent >= timeout_ms_) break;
        IWbemClassObject* batch[16] = {};
        ULONG got = 0;
        const HRESULT hr = e->Next(static_cast<long>(timeout_ms_ - spent), 16, batch, &got);
        for (ULONG k = 0; k < got && k < 16; ++k) {
            if (batch[k]) {
                out.push_back(read_instance(batch[k]));
                batch[k]->Release();
            }
        }
        if (hr == WBEM_S_FALSE) {  // fewer than asked: the end
            finished = true;
            break;
        }
        if (hr != WBEM_S_NO_ERROR) break;  // WBEM_S_TIMEDOUT, or WMI failed
    }
    e->Release();
    if (!finished) return std::nullopt;
    return out;
}

WmiInstanceSource& wmi_instance_source() {
    static WmiInstanceSource source;
    return source;
}
