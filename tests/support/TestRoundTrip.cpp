#include "TestRoundTrip.h"

#include <regex>

#include "zDDComparer.h"
#include "zDataDictionary.h"
#include "zIDMatcher.h"

namespace ardvin::test {

std::string UnexplainedDifferences(TVELDataDictionary& original, TVELDataDictionary& reversed,
                                   const std::vector<TAllowedDifference>& allowed) {
    MatchIDs(original, reversed, nullptr);
    // The comparer looks at the selected objects.
    for (TVELDataDictionary* d : {&original, &reversed})
        for (int i = 0; i < d->Count(); ++i) d->Object(i)->Selected = true;
    TVELDifferences differences;
    TVELDDComparer comparer;
    comparer.Source = &original;
    comparer.Destination = &reversed;
    comparer.Compare(differences, false, false, {}, 1);
    std::vector<bool> used(allowed.size(), false);
    std::string report;
    if (original.Count() == 0 || reversed.Count() == 0) report += "\nan empty model";
    for (int i = 0; i < differences.Count(); ++i) {
        const TVELDifference& d = *differences.Difference(i);
        if (d.Status == dsUnchanged) continue;
        const std::string object = d.LeftName.empty() ? d.RightName : d.LeftName;
        for (const TVELDiffDetailsItem& line : d.Details) {
            if (line.Status == dsUnchanged) continue;
            std::string left = line.LeftString, right = line.RightString;
            std::vector<size_t> applied;
            for (size_t a = 0; a < allowed.size(); ++a) {
                if (!allowed[a].Object.empty() && !std::regex_search(object, std::regex(allowed[a].Object))) continue;
                const std::regex pattern(allowed[a].Pattern);
                const std::string l = std::regex_replace(left, pattern, allowed[a].Replacement);
                const std::string r = std::regex_replace(right, pattern, allowed[a].Replacement);
                if (l != left || r != right) applied.push_back(a);
                left = l;
                right = r;
            }
            if (left == right) {
                for (const size_t a : applied) used[a] = true;
                continue;
            }
            report += "\n" + object + " (" + DiffStatusText(d.Status) + "):\n  model:    " + line.LeftString +
                      "\n  database: " + line.RightString;
        }
    }
    for (size_t a = 0; a < allowed.size(); ++a)
        if (!used[a]) report += "\nallowed difference that did not occur: " + allowed[a].Reason;
    return report;
}

}  // namespace ardvin::test
