#include "automation/host/pattern_engine.h"
#include "automation/pattern_matcher.h"

struct PatternMatcher::Impl {
    PatternEngine engine;
};

PatternMatcher::PatternMatcher() : impl_(std::make_unique<Impl>()) {}
PatternMatcher::~PatternMatcher() = default;
PatternMatcher::PatternMatcher(PatternMatcher&&) noexcept = default;
PatternMatcher& PatternMatcher::operator=(PatternMatcher&&) noexcept = default;

PatternMatcher PatternMatcher::copy() const {
    PatternMatcher m;
    *m.impl_ = *impl_;
    return m;
}

bool PatternMatcher::execute(const Text& pattern, const Text& subject, bool case_sensitive,
                             bool multiline, bool global, bool quote_placeholders) {
    return impl_->engine.execute(pattern, subject, case_sensitive, multiline, global,
                                 quote_placeholders);
}

Text PatternMatcher::replace(const Text& replacement) const { return impl_->engine.replace(replacement); }
Text PatternMatcher::pattern() const { return impl_->engine.pattern(); }
int PatternMatcher::match_count() const { return impl_->engine.match_count(); }
Text PatternMatcher::match_text(int n) const { return impl_->engine.match_text(n); }
Text PatternMatcher::submatch_text(int, int) const { return Text(); }
int PatternMatcher::submatch_count() const { return 0; }
