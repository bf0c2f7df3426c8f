// Regular expressions for cleaning replies. On Windows the engine is the
// script engine's own "VBScript.RegExp"; elsewhere a small engine of ours that
// covers the patterns the program uses (atoms, classes, quantifiers, anchors).
#pragma once

#include <memory>

#include "values/text.h"

class PatternMatcher {
public:
    PatternMatcher();
    ~PatternMatcher();
    PatternMatcher(PatternMatcher&&) noexcept;
    PatternMatcher& operator=(PatternMatcher&&) noexcept;
    PatternMatcher(const PatternMatcher&) = delete;
    PatternMatcher& operator=(const PatternMatcher&) = delete;

    // Shares the compiled pattern and matches; the subject is copied.
    PatternMatcher copy() const;

    bool execute(const Text& pattern, const Text& subject, bool case_sensitive = false,
                 bool multiline = true, bool global = true, bool quote_placeholders = false);
    Text replace(const Text& replacement) const;
    Text pattern() const;
    int match_count() const;
    Text match_text(int n) const;
    Text submatch_text(int n, int k) const;
    int submatch_count() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
