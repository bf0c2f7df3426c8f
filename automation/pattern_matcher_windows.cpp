#include <optional>

#include "com/automation_windows.h"
#include "automation/host/pattern_engine.h"
#include "automation/pattern_matcher.h"

struct PatternMatcher::Impl {
    ComObject regex;
    ComObject matches;
    Variant subject;
    // Where "VBScript.RegExp" cannot be created (VBScript is an optional
    // feature of Windows), our own engine gives the same results instead.
    std::optional<PatternEngine> own;
};

PatternMatcher::PatternMatcher() : impl_(std::make_unique<Impl>()) {
    impl_->subject.assign(static_cast<std::int32_t>(0));
    CoInitialize(nullptr);
}

PatternMatcher::~PatternMatcher() {
    if (!impl_) return;
    impl_->regex.clear();
    impl_->matches.clear();
    impl_->subject.clear();
    impl_.reset();
    CoUninitialize();
}

PatternMatcher::PatternMatcher(PatternMatcher&&) noexcept = default;
PatternMatcher& PatternMatcher::operator=(PatternMatcher&&) noexcept = default;

PatternMatcher PatternMatcher::copy() const {
    PatternMatcher m;
    m.impl_->regex.assign(impl_->regex);
    m.impl_->matches.assign(impl_->matches);
    m.impl_->subject.copy(impl_->subject);
    m.impl_->own = impl_->own;
    return m;
}

bool PatternMatcher::execute(const Text& pattern, const Text& subject, bool case_sensitive,
                             bool multiline, bool global, bool quote_placeholders) {
    impl_->regex.clear();
    impl_->matches.clear();
    impl_->own.reset();
    if (!impl_->regex.create("VBScript.RegExp")) {
        impl_->own.emplace();
        return impl_->own->execute(pattern, subject, case_sensitive, multiline, global,
                                   quote_placeholders);
    }
    impl_->regex.write_property("IgnoreCase", Arg(!case_sensitive));
    impl_->regex.write_property("Multiline", Arg(multiline));
    impl_->regex.write_property("Singleline", Arg(true));
    impl_->regex.write_property("Global", Arg(global));
    Variant p;
    p.assign(quote_placeholders ? replace_subtext(pattern, "#引号", "\"", 1, -1, true) : pattern);
    impl_->regex.write_property("Pattern", Arg::by_reference(p));
    impl_->subject.assign(subject);
    impl_->matches = impl_->regex.call_object_method("Execute", {Arg(impl_->subject)});
    return !impl_->matches.is_empty();
}

Text PatternMatcher::replace(const Text& replacement) const {
    if (impl_->own) return impl_->own->replace(replacement);
    Variant with;
    with.assign(replacement);
    Text out = impl_->regex.call_text_method(
        "Replace", {Arg(impl_->subject), Arg::by_reference(with)});
    with.clear();
    return out;
}

Text PatternMatcher::pattern() const {
    if (impl_->own) return impl_->own->pattern();
    if (impl_->regex.is_empty()) return Text();
    return impl_->regex.read_text_property("Pattern");
}

int PatternMatcher::match_count() const {
    if (impl_->own) return impl_->own->match_count();
    return to_integer(impl_->matches.read_number_property("Count"));
}

Text PatternMatcher::match_text(int n) const {
    if (impl_->own) return impl_->own->match_text(n);
    ComObject m = impl_->matches.read_object_property("Item", {Arg(static_cast<double>(n - 1))});
    Variant v = m.read_variant_property("Value");
    return v.to_text();
}

Text PatternMatcher::submatch_text(int n, int k) const {
    if (impl_->own) return Text();  // our engine has no groups
    ComObject m = impl_->matches.read_object_property("Item", {Arg(static_cast<double>(n - 1))});
    ComObject subs = m.read_object_property("SubMatches");
    Variant v = subs.read_variant_property("Item", {Arg(static_cast<double>(k - 1))});
    return v.to_text();
}

int PatternMatcher::submatch_count() const {
    if (impl_->own) return 0;
    ComObject m = impl_->matches.read_object_property("Item", {Arg(0.0)});
    ComObject subs = m.read_object_property("SubMatches");
    return to_integer(subs.read_number_property("Count"));
}
