// What our script host asks when a query script enumerates a WMI class: the
// instances and their properties. The sources that answer live in
// sources/: the running Linux machine, WMI over COM, a machine
// described in a file.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "values/encoding.h"
#include "values/text.h"

struct PropertyValue {
    // Single is WMI's real32, which VBScript writes with a single's digits.
    enum class Kind { Null, String, Integer, Double, Single, Boolean, IntegerArray, Array };
    Kind kind = Kind::Null;
    Text text;
    std::int64_t integer = 0;
    double number = 0;
    bool boolean = false;
    std::vector<std::int64_t> integers;
    std::vector<PropertyValue> items;  // Array: each element as a scalar of its own kind

    static PropertyValue null() { return PropertyValue(); }
    // A value keeps to its own reply line whatever a source hands over.
    static PropertyValue of_text(Text t) {
        PropertyValue v;
        v.kind = Kind::String;
        v.text = gbk_value(std::move(t));
        return v;
    }
    static PropertyValue of_integer(std::int64_t i) {
        PropertyValue v;
        v.kind = Kind::Integer;
        v.integer = i;
        return v;
    }
    static PropertyValue of_double(double d) {
        PropertyValue v;
        v.kind = Kind::Double;
        v.number = d;
        return v;
    }
    static PropertyValue of_single(float f) {
        PropertyValue v;
        v.kind = Kind::Single;
        v.number = f;
        return v;
    }
    static PropertyValue of_array(std::vector<PropertyValue> items) {
        PropertyValue v;
        v.kind = Kind::Array;
        v.items = std::move(items);
        return v;
    }
    static PropertyValue of_boolean(bool b) {
        PropertyValue v;
        v.kind = Kind::Boolean;
        v.boolean = b;
        return v;
    }
    static PropertyValue of_integers(std::vector<std::int64_t> a) {
        PropertyValue v;
        v.kind = Kind::IntegerArray;
        v.integers = std::move(a);
        return v;
    }
    // Text if known, else Null: a fact Linux does not know is never invented.
    static PropertyValue text_or_null(const std::optional<Text>& t) {
        return t ? of_text(*t) : null();
    }
};

// Property names compare without case, as VBScript's member access does.
struct NoCaseLess {
    bool operator()(const Text& a, const Text& b) const;
};

struct Instance {
    std::map<Text, PropertyValue, NoCaseLess> properties;
    Instance& set(const Text& name, PropertyValue v) {
        properties[name] = std::move(v);
        return *this;
    }
};

class InstanceSource {
public:
    virtual ~InstanceSource() = default;
    // nullopt: no such class (enumerating it is a run-time error).
    virtual std::optional<std::vector<Instance>> instances(const Text& class_name) = 0;
    // The EDID value of a monitor device in control set 1, 2 or 3.
    virtual std::optional<Bytes> edid(const Text& device_id, int control_set) = 0;
};

// The classes the report and its JSON form query; WMI always knows them.
bool is_standard_class(const Text& class_name);
