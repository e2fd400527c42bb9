#include "TestRoundTrip.h"

#include <gtest/gtest.h>

#include <regex>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zEntity.h"
#include "zRelationship.h"
#include "zView.h"

#include "zDDComparer.h"
#include "zDataDictionary.h"
#include "zIDMatcher.h"

namespace ardvin::test {

std::string UnexplainedDifferences(TVELDataDictionary& original, TVELDataDictionary& reversed,
                                   const std::vector<TAllowedDifference>& allowed, std::vector<bool>* shared) {
    MatchIDs(original, reversed, nullptr);
    // The comparer looks at the selected objects.
    for (TVELDataDictionary* d : {&original, &reversed})
        for (int i = 0; i < d->Count(); ++i) d->Object(i)->Selected = true;
    TVELDifferences differences;
    TVELDDComparer comparer;
    comparer.Source = &original;
    comparer.Destination = &reversed;
    comparer.Compare(differences, false, false, {}, 1);
    std::vector<bool> own(allowed.size(), false);
    if (shared) shared->resize(allowed.size(), false);
    std::vector<bool>& used = shared ? *shared : own;
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
    if (!shared) report += UnusedAllowances(allowed, used);
    return report;
}

std::string UnusedAllowances(const std::vector<TAllowedDifference>& allowed, const std::vector<bool>& used) {
    std::string report;
    for (size_t a = 0; a < allowed.size(); ++a)
        if (a >= used.size() || !used[a]) report += "\nallowed difference that did not occur: " + allowed[a].Reason;
    return report;
}

std::string TModelCounts::Text() const {
    return std::to_string(Tables) + " tables, " + std::to_string(Columns) + " columns, " + std::to_string(KeyColumns) +
           " key columns, " + std::to_string(Relationships) + " foreign keys (" + std::to_string(Pairs) +
           " column pairs), " + std::to_string(Indexes) + " indexes, " + std::to_string(Uniques) +
           " unique constraints, " + std::to_string(Checks) + " checks, " + std::to_string(Views) + " views";
}

TModelCounts CountModel(const TVELDataDictionary& dd) {
    TModelCounts n;
    std::vector<TVELEntity*> tables;
    dd.CollectOfClass(tables);
    std::vector<TVELRelationship*> relationships;
    dd.CollectOfClass(relationships);
    std::vector<TVELView*> views;
    dd.CollectOfClass(views);
    n.Tables = static_cast<int64_t>(tables.size());
    n.Relationships = static_cast<int64_t>(relationships.size());
    n.Views = static_cast<int64_t>(views.size());
    for (const TVELEntity* t : tables) {
        n.Columns += t->Attributes.Count();
        for (int i = 0; i < t->Attributes.Count(); ++i)
            if (!t->AttributeAt(i)->CheckValue().empty()) ++n.Checks;
        std::vector<TVELAttribute*> key;
        t->PrimaryKeyAttributes(key);
        n.KeyColumns += static_cast<int64_t>(key.size());
        n.Indexes += t->Indexes.Count();
        for (int i = 0; i < t->Constraints.Count(); ++i) {
            if (t->ConstraintAt(i)->ConstraintType == ctUnique) ++n.Uniques;
            if (t->ConstraintAt(i)->ConstraintType == ctCheck) ++n.Checks;
        }
    }
    for (const TVELRelationship* r : relationships) n.Pairs += r->Pairs.Count();
    return n;
}

void ExpectNoPastedPlaceholders(const TDBConnection& connection) {
    int queries = 0;
    for (int kind = qkTables; kind <= qkRules; ++kind) {
        std::string sql;
        connection.GetSQL(kind, sql);
        if (!sql.empty()) ++queries;
        EXPECT_EQ(sql.find("%s"), std::string::npos) << kind << ": " << sql;
    }
    EXPECT_GT(queries, 8);
}

}  // namespace ardvin::test
