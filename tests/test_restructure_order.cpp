// The order in which the create script writes its tables: parents before their children, in
// passes over the model's order, tables on or behind a cycle last.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "TestModelBuilder.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zRelationship.h"

using namespace ardvin;

namespace {

class TableOrderTest : public ::testing::Test {
protected:
    void SetUp() override {
        TargetDatabases().Build(ardvin::test::DefinitionsDir());
        dd.SetTarget("postgresql15");
    }

    TVELEntity* Table(const std::string& name) { return ardvin::test::NewKeyedTable(dd, name); }

    void Relate(TVELEntity* parent, TVELEntity* child) { ardvin::test::Relate(dd, parent, child); }

    static std::string Names(const std::vector<TVELEntity*>& tables) {
        std::string text;
        for (const TVELEntity* t : tables) text += (text.empty() ? "" : ",") + t->GetName();
        return text;
    }

    // The order worked out pass by pass, as its definition reads.
    std::vector<TVELEntity*> ByPasses() {
        std::vector<TVELEntity*> remaining;
        dd.CollectOfClass(remaining);
        std::vector<TVELRelationship*> relationships;
        dd.CollectOfClass(relationships);
        std::vector<TVELEntity*> ordered;
        std::unordered_set<const TVELEntity*> placed;
        for (bool progress = true; progress && !remaining.empty();) {
            progress = false;
            std::vector<TVELEntity*> left;
            for (TVELEntity* table : remaining) {
                const bool ready = std::all_of(relationships.begin(), relationships.end(), [&](TVELRelationship* r) {
                    return r->GetChildEntity() != table || r->GetParentEntity() == table ||
                           placed.count(r->GetParentEntity()) > 0;
                });
                if (ready) {
                    ordered.push_back(table);
                    placed.insert(table);
                    progress = true;
                } else {
                    left.push_back(table);
                }
            }
            remaining = std::move(left);
        }
        ordered.insert(ordered.end(), remaining.begin(), remaining.end());
        return ordered;
    }

    TVELDataDictionary dd;
};

}  // namespace

TEST_F(TableOrderTest, PassesOverTheModelsOrder) {
    // A parent later in the list holds its children back to the next pass; a parent earlier in
    // the same pass does not. A cycle and the table behind it come last.
    TVELEntity *a = Table("A"), *b = Table("B"), *c = Table("C"), *d = Table("D"), *e = Table("E");
    TVELEntity *x = Table("X"), *y = Table("Y"), *z = Table("Z");
    Relate(c, a);
    Relate(a, b);
    Relate(e, d);
    Relate(d, d);
    Relate(x, y);
    Relate(y, x);
    Relate(y, z);
    Relate(c, z);
    TDBRestructure r(dd);
    EXPECT_EQ(Names(r.TablesInDependencyOrder()), "C,E,A,B,D,X,Y,Z");

    // A long chain listed against its order takes a pass per table.
    dd.Clear();
    dd.SetTarget("postgresql15");
    std::vector<TVELEntity*> chain;
    for (int i = 0; i < 300; ++i) chain.push_back(Table("T" + std::to_string(i)));
    for (int i = 1; i < 300; ++i) Relate(chain[i], chain[i - 1]);
    const std::vector<TVELEntity*> ordered = TDBRestructure(dd).TablesInDependencyOrder();
    ASSERT_EQ(ordered.size(), 300u);
    EXPECT_EQ(ordered.front()->GetName(), "T299");
    EXPECT_EQ(ordered.back()->GetName(), "T0");
    EXPECT_EQ(Names(ordered), Names(ByPasses()));
}

TEST_F(TableOrderTest, SameOrderAsPassByPassOnRandomModels) {
    std::mt19937 random(20261206);
    for (int round = 0; round < 40; ++round) {
        dd.Clear();
        dd.SetTarget("postgresql15");
        const int count = 2 + static_cast<int>(random() % 25);
        std::vector<TVELEntity*> tables;
        for (int i = 0; i < count; ++i) tables.push_back(Table("T" + std::to_string(i)));
        const int links = static_cast<int>(random() % (2 * count));
        for (int k = 0; k < links; ++k) Relate(tables[random() % count], tables[random() % count]);
        TDBRestructure r(dd);
        EXPECT_EQ(Names(r.TablesInDependencyOrder()), Names(ByPasses())) << "round " << round;
    }
}
