// Late-bound access to COM automation objects: every member is looked up in
// the object's own type information. Nothing here throws or shows a message;
// a failed operation returns the empty value and leaves a negative code.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <optional>
#include <vector>

#include "values/text.h"

// The calling thread's code of its last property or method operation.
int automation_error_code();

class ComObject;

class Variant {
public:
    Variant();
    ~Variant();
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;

    bool assign(const Text& t);
    bool assign(bool b);
    bool assign(std::int32_t i);
    bool assign(double d);
    bool assign(const Variant& v);
    bool assign(const ComObject& o);
    void copy(const Variant& other);
    void clear();

    Text to_text(std::optional<int> element = std::nullopt) const;
    double to_number(std::optional<int> element = std::nullopt) const;
    // How many elements an array holds, over all its dimensions; 0 for a
    // value that is not an array.
    long long element_count() const;
    // Element n (from 1, over all dimensions) into `out`; false when there
    // is none or it cannot be taken out.
    bool element(int n, Variant& out) const;

    VARIANT& raw() { return v_; }
    const VARIANT& raw() const { return v_; }

private:
    VARIANT v_;
};

// One argument of a property or method call.
struct Arg {
    enum class Kind { Omitted, String, Bool, Int, Double, Value, Reference };
    Kind kind = Kind::Omitted;
    Text text;
    bool b = false;
    std::int32_t i = 0;
    double d = 0;
    const Variant* value = nullptr;
    Variant* reference = nullptr;

    Arg() = default;
    Arg(const Text& t) : kind(Kind::String), text(t) {}
    Arg(const char* t) : kind(Kind::String), text(t) {}
    Arg(bool v) : kind(Kind::Bool), b(v) {}
    Arg(std::int32_t v) : kind(Kind::Int), i(v) {}
    Arg(double v) : kind(Kind::Double), d(v) {}
    Arg(const Variant& v) : kind(Kind::Value), value(&v) {}
    static Arg by_reference(Variant& v) {
        Arg a;
        a.kind = Kind::Reference;
        a.reference = &v;
        return a;
    }
};

using Args = std::vector<Arg>;

class ComObject {
public:
    ComObject() = default;
    ~ComObject();
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    ComObject(ComObject&& other) noexcept;
    ComObject& operator=(ComObject&& other) noexcept;

    // A programmatic identifier, or a class identifier in "{...}" form.
    bool create(const Text& id);
    bool write_property(const Text& name, const Arg& value);
    Text read_text_property(const Text& name, const Args& index = {});
    double read_number_property(const Text& name, const Args& index = {});
    ComObject read_object_property(const Text& name, const Args& index = {});
    Variant read_variant_property(const Text& name, const Args& index = {});
    Variant call_variant_method(const Text& name, const Args& args = {});
    Text call_text_method(const Text& name, const Args& args = {});
    double call_number_method(const Text& name, const Args& args = {});
    ComObject call_object_method(const Text& name, const Args& args = {});
    void clear();
    bool is_empty() const { return p_ == nullptr; }
    void assign(const ComObject& other);

    IUnknown* get() const { return p_; }
    void reset(IUnknown* p);  // takes the reference

private:
    IUnknown* p_ = nullptr;
};
