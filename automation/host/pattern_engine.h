// Our own regular-expression engine, for where the script engine's
// "VBScript.RegExp" is not there: Linux always, Windows without VBScript.
// It covers what the program's patterns use: atoms, classes, the shorthands
// \s \d \w, the quantifiers * + ?, and the anchors ^ $. A pattern outside
// that finds nothing. There are no groups, so there are no sub-matches.
#pragma once

#include <cstddef>
#include <vector>

#include "values/text.h"

class PatternEngine {
public:
    // False, with nothing to replace, when the pattern is outside the subset.
    bool execute(const Text& pattern, const Text& subject, bool case_sensitive, bool multiline,
                 bool global, bool quote_placeholders);
    Text replace(const Text& replacement) const;
    Text pattern() const;
    int match_count() const;
    Text match_text(int n) const;

private:
    struct Match {
        std::size_t at, len;
    };
    bool have_regex_ = false;
    bool have_matches_ = false;
    Text pattern_text_;
    Text subject_;
    std::vector<Match> matches_;
};
