// Comparing a model with the model that reverse engineering made from the database it was
// generated into: object by object, with the differences a server cannot avoid named one by one.
#pragma once

#include <string>
#include <vector>

namespace ardvin {
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
// agree up to the allowances.
std::string UnexplainedDifferences(TVELDataDictionary& original, TVELDataDictionary& reversed,
                                   const std::vector<TAllowedDifference>& allowed);

}  // namespace ardvin::test
