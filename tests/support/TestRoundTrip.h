// Comparing a model with the model that reverse engineering made from the database it was
// generated into: object by object, with the differences a server cannot avoid named one by one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ardvin {
class TDBConnection;
class TVELDataDictionary;
}

namespace ardvin::test {

// A difference that the system cannot avoid, and why the server gives it: in the description
// lines of the objects whose name matches Object (a regular expression; empty matches every
// object), every match of Pattern is replaced by Replacement (std::regex_replace) on both
// sides. A differing line pair is explained when the two lines are equal afterwards.
struct TAllowedDifference {
    std::string Object;
    std::string Pattern;
    std::string Replacement;
    std::string Reason;
};

// Renumbers reversed after original, compares the two object by object (property
// descriptions) and reports every differing line that no allowance explains; also reports the
// allowances that explained nothing (a list of excuses must stay true). Empty when the models
// agree up to the allowances. With used, a list shared by several comparisons, the allowances
// that explained something are marked there instead, for the caller to check at the end.
std::string UnexplainedDifferences(TVELDataDictionary& original, TVELDataDictionary& reversed,
                                   const std::vector<TAllowedDifference>& allowed, std::vector<bool>* used = nullptr);
// The reasons of the allowances no comparison needed, one line each ("" when all were needed).
std::string UnusedAllowances(const std::vector<TAllowedDifference>& allowed, const std::vector<bool>& used);

// What a model holds, counted (checks written with a column among the checks).
struct TModelCounts {
    int64_t Tables = 0, Columns = 0, KeyColumns = 0, Relationships = 0, Pairs = 0, Indexes = 0, Uniques = 0,
            Checks = 0, Views = 0;
    std::string Text() const;
};
TModelCounts CountModel(const TVELDataDictionary& dd);

// The framework fills "%s", "%schemaobject" and "%schemaname" by pasting text: a driver that
// binds its values uses none of them in any catalogue query.
void ExpectNoPastedPlaceholders(const TDBConnection& connection);

}  // namespace ardvin::test
