#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "TestCompareModels.h"
#include "zDDComparer.h"
#include "zDomain.h"
#include "zIDMatcher.h"
#include "zIndex.h"
#include "zSequence.h"

using namespace ardvin;
using ardvin::test::CompareModels;

namespace {

class IDMatcherTest : public ::testing::Test, protected CompareModels {
protected:
    // Identifier of the object named name in a dictionary, -1 when absent.
    static int32_t IDOf(const TVELDataDictionary& d, const std::string& name) {
        const TVELNamedObject* o = d.FindByName(name);
        return o ? o->ID : -1;
    }
    static TVELEntity* EntityNamed(const TVELDataDictionary& d, const std::string& name) {
        return dynamic_cast<TVELEntity*>(d.FindByName(name));
    }
};

TEST(StringMappingList, LoadLookupAndEdgeCases) {
    TVELStringMappingList m;
    m.LoadFromText(std::string("OLD=NEW\r\nno equals sign\n=\nA=B=C\nx=first\nx=second\nMixed=Case"));
    ASSERT_EQ(m.Count(), 5);  // the line without "=" and the empty pair add nothing
    EXPECT_EQ(m.Left(0), "OLD");
    EXPECT_EQ(m.Right(0), "NEW");
    EXPECT_EQ(m.Left(1), "A");
    EXPECT_EQ(m.Right(1), "B=C");  // split at the first "="
    EXPECT_EQ(m.Lookup("x"), "second");  // the last pair wins
    EXPECT_EQ(m.Lookup("mixed"), "");
    EXPECT_EQ(m.LookupIgnoreCase("mixed"), "Case");
    EXPECT_EQ(m.IndexOfLeft("nothing", true), -1);
    m.Clear();
    EXPECT_EQ(m.Count(), 0);
}

TEST(ComparisonRule, PlainWholeWordCaseAndRegularExpressions) {
    TVELComparisonRule rule;
    rule.TextToFind = "sys_c";
    rule.ReplaceText = "X";
    EXPECT_EQ(rule.Apply("SYS_C sys_c sys_cc"), "X X Xc");
    rule.WholeWordsOnly = true;
    EXPECT_EQ(rule.Apply("SYS_C sys_c sys_cc"), "X X sys_cc");
    rule.CaseSensitive = true;
    EXPECT_EQ(rule.Apply("SYS_C sys_c sys_cc"), "SYS_C X sys_cc");

    TVELComparisonRule regex;
    regex.IsRegularExpression = true;
    regex.TextToFind = "SYS_C[0-9]+";
    regex.ReplaceText = "SYS_C";
    EXPECT_EQ(regex.Apply("CONSTRAINT sys_c00123 CHECK (a > 0), sys_c7"), "CONSTRAINT SYS_C CHECK (a > 0), SYS_C");
    regex.CaseSensitive = true;
    EXPECT_EQ(regex.Apply("sys_c1 SYS_C22"), "sys_c1 SYS_C");
    regex.TextToFind = "(\\w+)_old";
    regex.ReplaceText = "$1";
    regex.WholeWordsOnly = true;
    EXPECT_EQ(regex.Apply("name_old x_old_y"), "name x_old_y");
    regex.TextToFind = "([unclosed";
    EXPECT_THROW(regex.Apply("text"), EVELError);

    // Stored with its own tags and read back; the properties speak the same values.
    rule.SetName("generated names");
    TVELComparisonRule loaded;
    loaded.LoadFromMarkup(rule.SaveToMarkup());
    EXPECT_NE(rule.SaveToMarkup().find("<CRTTF>sys_c</CRTTF>"), std::string::npos);
    EXPECT_EQ(loaded.GetName(), "generated names");
    EXPECT_EQ(loaded.TextToFind, "sys_c");
    EXPECT_TRUE(loaded.WholeWordsOnly);
    EXPECT_TRUE(loaded.CaseSensitive);
    EXPECT_FALSE(loaded.IsRegularExpression);
    loaded.SetPropertyValue("IsRegularExpression", "1");
    EXPECT_EQ(loaded.GetPropertyValue("IsRegularExpression"), "1");
    EXPECT_EQ(loaded.GetPropertyValue("ReplaceText"), "X");
}

TEST_F(IDMatcherTest, TablesColumnsAndRelationshipsPairByName) {
    TVELEntity* customers = Table(left, "customers", {{"cust_id", "INTEGER"}, {"name", "VARCHAR"}});
    TVELEntity* orders = Table(left, "orders", {{"order_id", "INTEGER"}, {"placed", "DATE"}});
    TVELRelationship* r1 = Relate(left, customers, orders, "fk_orders_customers");
    // The other model holds the same tables in another order, another numbering, with a
    // table of its own.
    Table(right, "extra", {{"x", "INTEGER"}});
    TVELEntity* orders2 = Table(right, "orders", {{"placed", "DATE"}, {"order_id", "INTEGER"}}, 0);
    orders2->AddToPrimaryKey(Column(orders2, "order_id"));
    TVELEntity* customers2 = Table(right, "customers", {{"name", "VARCHAR"}, {"cust_id", "INTEGER"}}, 0);
    customers2->AddToPrimaryKey(Column(customers2, "cust_id"));
    TVELRelationship* r2 = Relate(right, customers2, orders2, "fk_orders_customers");
    ASSERT_NE(IDOf(left, "orders"), IDOf(right, "orders"));

    TVELDataDictionaryIDMatcher matcher(left, right);
    matcher.MatchIDs();
    EXPECT_EQ(IDOf(right, "customers"), IDOf(left, "customers"));
    EXPECT_EQ(IDOf(right, "orders"), IDOf(left, "orders"));
    EXPECT_EQ(r2->ID, r1->ID);
    EXPECT_GT(IDOf(right, "extra"), left.LastID);  // unpaired: above every reference identifier
    EXPECT_EQ(matcher.Matched.size(), 3u);
    // Relationship ends, pairs and keys follow the new numbers.
    EXPECT_EQ(r2->GetParentEntity(), customers2);
    EXPECT_EQ(r2->GetChildEntity(), orders2);
    for (const char* name : {"cust_id", "order_id", "placed"}) {
        TVELEntity* l = EntityNamed(left, name == std::string("cust_id") ? "customers" : "orders");
        TVELEntity* r = EntityNamed(right, l->GetName());
        EXPECT_EQ(Column(r, name)->ID, Column(l, name)->ID) << name;
    }
    ASSERT_EQ(r2->Pairs.Count(), 1);
    EXPECT_EQ(r2->PairAt(0)->KeyID, Column(customers2, "cust_id")->ID);
    EXPECT_EQ(r2->ChildAttribute(r2->PairAt(0)->ForeignKeyID)->GetName(), "cust_id");
    EXPECT_EQ(customers2->PrimaryKey->AttributeIDs.NamesText(), "cust_id");
    // The columns keep the order of their own table.
    EXPECT_EQ(customers2->AttributeAt(0)->GetName(), "name");
    EXPECT_EQ(customers2->AttributeAt(1)->GetName(), "cust_id");

    // Compared now, only the extra table is one-sided.
    left.SelectAll();
    right.SelectAll();
    TVELDifferences differences;
    TVELCompareSettings settings;
    CompareDictionaries(left, right, differences, settings);
    EXPECT_EQ(differences.LeftOnly, 0);
    EXPECT_EQ(differences.RightOnly, 1);
    EXPECT_EQ(differences.Unchanged + differences.Changed, 2);
}

TEST_F(IDMatcherTest, NameRulesSchemasAndMappings) {
    // Case: only with IgnoreCase.
    Table(left, "Orders", {{"id", "INTEGER"}});
    Table(right, "ORDERS", {{"ID", "INTEGER"}});
    {
        TVELDataDictionary l, r;
        l.AssignDictionary(left);
        r.AssignDictionary(right);
        MatchIDs(l, r, nullptr, false);
        EXPECT_NE(r.FindByName("ORDERS")->ID, l.FindByName("Orders")->ID);
    }
    MatchIDs(left, right, nullptr, true);
    EXPECT_EQ(IDOf(right, "ORDERS"), IDOf(left, "Orders"));
    EXPECT_EQ(EntityNamed(right, "ORDERS")->AttributeAt(0)->ID, EntityNamed(left, "Orders")->AttributeAt(0)->ID);

    // A table in two schemas pairs with the one of its own schema in the first pass.
    TVELDataDictionary a, b;
    a.SetTarget("cmp");
    b.SetTarget("cmp");
    b.LastID = 100;
    TVELEntity* salesT = Table(a, "t", {{"id", "INTEGER"}});
    salesT->SchemaName = "sales";
    TVELEntity* hrT = Table(a, "t", {{"id", "INTEGER"}});
    hrT->SchemaName = "hr";
    TVELEntity* hrT2 = Table(b, "t", {{"id", "INTEGER"}});
    hrT2->SchemaName = "hr";
    MatchIDs(a, b, nullptr);
    EXPECT_EQ(hrT2->ID, hrT->ID);

    // Second pass: a schema mapping decides which schema counts as the same.
    TVELDataDictionary c, d;
    c.SetTarget("cmp");
    d.SetTarget("cmp");
    d.LastID = 100;
    Table(c, "u", {{"id", "INTEGER"}})->SchemaName = "prod";
    Table(c, "v", {{"id", "INTEGER"}})->SchemaName = "prod";
    TVELEntity* u2 = Table(d, "u", {{"id", "INTEGER"}});
    u2->SchemaName = "test";
    TVELEntity* v2 = Table(d, "v", {{"id", "INTEGER"}});
    v2->SchemaName = "other";
    TVELStringMappingList schemas;
    schemas.Add("PROD", "Test");
    MatchIDs(c, d, &schemas);
    EXPECT_EQ(u2->ID, IDOf(c, "u"));
    EXPECT_GT(v2->ID, c.LastID);
    // Without a mapping any schemas agree in the second pass.
    TVELDataDictionary e;
    e.SetTarget("cmp");
    e.LastID = 100;
    TVELEntity* v3 = Table(e, "v", {{"id", "INTEGER"}});
    v3->SchemaName = "other";
    MatchIDs(c, e, nullptr);
    EXPECT_EQ(v3->ID, IDOf(c, "v"));

    // A renamed table pairs through a name mapping and is compared as one object.
    TVELDataDictionary f, g;
    f.SetTarget("cmp");
    g.SetTarget("cmp");
    g.LastID = 100;
    Table(f, "client", {{"id", "INTEGER"}});
    Table(g, "customer", {{"id", "INTEGER"}});
    {
        TVELDataDictionary f1, g1;
        f1.AssignDictionary(f);
        g1.AssignDictionary(g);
        MatchIDs(f1, g1, nullptr);
        f1.SelectAll();
        g1.SelectAll();
        TVELDifferences differences;
        CompareDictionaries(f1, g1, differences, TVELCompareSettings{});
        EXPECT_EQ(differences.LeftOnly, 1);
        EXPECT_EQ(differences.RightOnly, 1);
    }
    TVELStringMappingList names;
    names.Add("client", "customer");
    MatchIDs(f, g, &names);
    EXPECT_EQ(IDOf(g, "customer"), IDOf(f, "client"));
    f.SelectAll();
    g.SelectAll();
    TVELDifferences differences;
    TVELCompareSettings settings;
    settings.Mappings = &names;
    CompareDictionaries(f, g, differences, settings);
    ASSERT_EQ(differences.Count(), 1);
    EXPECT_EQ(differences.Unchanged, 1);
    EXPECT_EQ(differences.Difference(0)->LeftName, "client<>customer");
    EXPECT_EQ(f.FindByName("client")->GetName(), "client");  // the compared models stay untouched
}

TEST_F(IDMatcherTest, AttributePassesPairRenamedColumns) {
    TVELEntity* parent = Table(left, "parent", {{"pid", "INTEGER"}});
    TVELEntity* l = Table(left, "t", {{"id", "INTEGER"}, {"checked", "INTEGER"}, {"required", "VARCHAR"},
                                       {"moved", "DATE"}, {"renamed", "VARCHAR"}, {"typechanged", "VARCHAR"}});
    Relate(left, parent, l, "fk_t_parent");
    Column(l, "checked")->SetCheckValue("checked > 0");
    Column(l, "checked")->CheckConstraint()->SetName("ck_checked");
    Column(l, "required")->SetNotNull(true);
    Column(l, "required")->NotNullConstraint()->SetName("nn_required");

    TVELEntity* parent2 = Table(right, "parent", {{"pkey", "INTEGER"}});
    TVELEntity* r = Table(right, "t", {{"id", "INTEGER"}, {"moved", "DATE"}, {"checked_new", "INTEGER"},
                                        {"required_new", "VARCHAR"}, {"renamed_new", "VARCHAR"}, {"typechanged_new", "DATE"}});
    Relate(right, parent2, r, "fk_t_parent");
    Column(r, "checked_new")->SetCheckValue("CHECKED > 0");
    Column(r, "checked_new")->CheckConstraint()->SetName("CK_CHECKED");
    Column(r, "required_new")->SetNotNull(true);
    Column(r, "required_new")->NotNullConstraint()->SetName("nn_required");
    // The propagated foreign-key columns carry the parents' different key names.
    ASSERT_NE(Column(l, "pid"), nullptr);
    ASSERT_NE(Column(r, "pkey"), nullptr);

    MatchIDs(left, right, nullptr);
    auto same = [&](const char* a, const char* b) { return Column(l, a)->ID == Column(r, b)->ID; };
    EXPECT_TRUE(same("id", "id"));                      // A: by name
    EXPECT_TRUE(same("moved", "moved"));                // A: by name, at another position
    EXPECT_TRUE(same("checked", "checked_new"));        // B: same named check
    EXPECT_TRUE(same("required", "required_new"));      // C: same named not-null and type
    EXPECT_TRUE(same("pid", "pkey"));                   // D: same place in the same relationship
    EXPECT_TRUE(same("renamed", "renamed_new"));        // E: same position and type
    EXPECT_FALSE(same("typechanged", "typechanged_new"));  // E refuses another type
    EXPECT_EQ(Column(parent2, "pkey")->ID, Column(parent, "pid")->ID);  // pass D on the parent side
    // The identifiers of the right table are unique and the key is intact.
    std::set<int32_t> ids;
    for (int i = 0; i < r->Attributes.Count(); ++i) ids.insert(r->AttributeAt(i)->ID);
    EXPECT_EQ(ids.size(), static_cast<size_t>(r->Attributes.Count()));
    EXPECT_EQ(r->PrimaryKey->AttributeIDs.NamesText(), "id");
    EXPECT_EQ(Column(r, "checked_new")->CheckConstraint()->AttributeIDs.IDAt(0), Column(r, "checked_new")->ID);

    // Compared, the renamed column is a changed line, not a removed and an added column.
    left.SelectAll();
    right.SelectAll();
    TVELDifferences differences;
    CompareDictionaries(left, right, differences, TVELCompareSettings{});
    const TVELDifference* t = nullptr;
    for (int i = 0; i < differences.Count(); ++i)
        if (differences.Difference(i)->LeftName == "t") t = differences.Difference(i);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Status, dsChanged);
    // The descriptions list the columns in each table's own order, so the moved column shifts
    // the line alignment; the table is one changed object either way.
    EXPECT_EQ(t->LeftName, t->RightName);
    EXPECT_TRUE(std::any_of(t->Details.begin(), t->Details.end(),
                            [](const TVELDiffDetailsItem& item) { return item.Status == dsChanged; }));
}

TEST_F(IDMatcherTest, RelationshipsPairByNameColumnsOrEnds) {
    TVELEntity* p = Table(left, "p", {{"pid", "INTEGER"}});
    TVELEntity* c = Table(left, "c", {{"cid", "INTEGER"}});
    TVELEntity* q = Table(left, "q", {{"qid", "INTEGER"}});
    TVELRelationship* named = Relate(left, p, c, "fk_named");
    TVELRelationship* byColumns = Relate(left, q, c, "fk_cols_old");
    TVELRelationship* byEnds = Relate(left, p, q, "fk_ends_old");
    TVELEntity* p2 = Table(right, "p", {{"pid", "INTEGER"}});
    TVELEntity* c2 = Table(right, "c", {{"cid", "INTEGER"}});
    TVELEntity* q2 = Table(right, "q", {{"qkey", "INTEGER"}});
    TVELRelationship* byEnds2 = Relate(right, p2, q2, "fk_ends_new");
    TVELRelationship* byColumns2 = Relate(right, q2, c2, "fk_cols_new");
    TVELRelationship* named2 = Relate(right, p2, c2, "fk_named");
    // Column names of the q-c pair agree only when the key is named alike.
    Column(q2, "qkey")->SetName("qid");
    Column(c2, "qkey")->SetName("qid");

    TVELDataDictionaryIDMatcher matcher(left, right);
    matcher.MatchIDs();
    EXPECT_EQ(named2->ID, named->ID);
    EXPECT_EQ(byColumns2->ID, byColumns->ID);
    EXPECT_EQ(byEnds2->ID, byEnds->ID);  // the finish pairs what is left between the same ends
    EXPECT_EQ(byEnds2->GetParentEntity(), p2);
    EXPECT_EQ(byEnds2->GetChildEntity(), q2);
}

TEST_F(IDMatcherTest, ChangeIDRewritesReferencesAndMembersFollow) {
    auto* domain = static_cast<TVELDomain*>(left.CreateObject(otDomain, true));
    auto* sequence = static_cast<TVELSequence*>(left.CreateObject(otSequence, true));
    TVELEntity* p = Table(left, "p", {{"pid", "INTEGER"}, {"code", "VARCHAR"}});
    TVELEntity* c = Table(left, "c", {{"cid", "INTEGER"}});
    TVELRelationship* r = Relate(left, p, c, "fk");
    Column(p, "code")->DomainID = domain->ID;
    Column(p, "pid")->SequenceID = sequence->ID;
    TVELIndex* index = p->AddIndex(true);
    index->AddColumn(Column(p, "code"));

    TVELDataDictionaryIDMatcher::ChangeID(left, *p, 900);
    TVELDataDictionaryIDMatcher::ChangeID(left, *domain, 901);
    TVELDataDictionaryIDMatcher::ChangeID(left, *sequence, 902);
    EXPECT_EQ(left.FindObjectByID(900), p);
    EXPECT_EQ(r->ParentObjectID, 900);
    EXPECT_EQ(r->GetParentEntity(), p);
    EXPECT_EQ(Column(p, "code")->DomainID, 901);
    EXPECT_EQ(Column(p, "pid")->SequenceID, 902);

    TVELAttribute* pid = Column(p, "pid");
    TVELAttribute* code = Column(p, "code");
    TVELDataDictionaryIDMatcher::ChangeMemberID(*p, *pid, 77);
    TVELDataDictionaryIDMatcher::ChangeMemberID(*p, *code, 78);
    EXPECT_EQ(p->PrimaryKey->AttributeIDs.IDAt(0), 77);
    EXPECT_EQ(r->PairAt(0)->KeyID, 77);
    EXPECT_EQ(r->ParentAttribute(r->PairAt(0)->KeyID), pid);
    EXPECT_EQ(index->Column(0)->AttributeID, 78);
    EXPECT_EQ(index->Column(0)->GetAttribute(), code);
}

TEST_F(IDMatcherTest, MembersPairByNameAndConstraintsFollowReferenceOrder) {
    TVELEntity* l = Table(left, "t", {{"a", "INTEGER"}, {"b", "INTEGER"}});
    TVELEntity* r = Table(right, "t", {{"a", "INTEGER"}, {"b", "INTEGER"}});
    for (const char* name : {"uq_first", "uq_second", "uq_left_only"}) l->AddConstraint(ctUnique, clTable)->SetName(name);
    for (const char* name : {"uq_right_only", "uq_second", "uq_first"}) r->AddConstraint(ctUnique, clTable)->SetName(name);
    auto index = [](TVELEntity* e, const char* name) {
        TVELIndex* x = e->AddIndex(true);
        x->NameTemplate.clear();
        x->SetName(name);
        return x;
    };
    index(l, "ix_a");
    TVELIndex* leftB = index(l, "ix_b");
    TVELIndex* rightB = index(r, "ix_b");
    TVELIndex* onlyRight = index(r, "ix_c");

    MatchIDs(left, right, nullptr);
    EXPECT_EQ(rightB->ID, leftB->ID);
    EXPECT_EQ(l->Indexes.FindByID(onlyRight->ID), nullptr);
    // Constraint names are read raw: the target names no constraints of its own.
    auto constraint = [](const TVELEntity* e, const char* name) -> const TVELConstraint* {
        for (int i = 0; i < e->Constraints.Count(); ++i)
            if (e->ConstraintAt(i)->Name == name) return e->ConstraintAt(i);
        return nullptr;
    };
    EXPECT_EQ(constraint(r, "uq_first")->ID, constraint(l, "uq_first")->ID);
    EXPECT_EQ(constraint(r, "uq_second")->ID, constraint(l, "uq_second")->ID);
    // The paired constraints stand in the reference's order; the unpaired one comes last.
    ASSERT_EQ(r->Constraints.Count(), 3);
    EXPECT_EQ(r->ConstraintAt(0)->Name, "uq_first");
    EXPECT_EQ(r->ConstraintAt(1)->Name, "uq_second");
    EXPECT_EQ(r->ConstraintAt(2)->Name, "uq_right_only");
    EXPECT_GT(r->Constraints.LastID, r->ConstraintAt(2)->ID - 1);
}

TEST_F(IDMatcherTest, ColumnInsertedInTheMiddleKeepsItsPlace) {
    TVELEntity* l = Table(left, "t", {{"id", "INTEGER"}, {"name", "VARCHAR"}, {"born", "DATE"}});
    TVELEntity* r = Table(right, "t", {{"id", "INTEGER"}, {"email", "VARCHAR"}, {"name", "VARCHAR"}, {"born", "DATE"}});
    MatchIDs(left, right, nullptr);
    // The new table keeps its column order; the old columns keep their identities.
    ASSERT_EQ(r->Attributes.Count(), 4);
    const char* const order[] = {"id", "email", "name", "born"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(r->AttributeAt(i)->GetName(), order[i]) << i;
    for (const char* name : {"id", "name", "born"}) EXPECT_EQ(Column(r, name)->ID, Column(l, name)->ID) << name;
    EXPECT_EQ(l->Attributes.FindByID(Column(r, "email")->ID), nullptr);
    // The next column added gets a free identifier.
    EXPECT_GT(r->Attributes.NewID(), Column(r, "email")->ID);

    // Compared, the new column is one added line between the two it stands between.
    left.SelectAll();
    right.SelectAll();
    TVELDifferences differences;
    CompareDictionaries(left, right, differences, TVELCompareSettings{});
    ASSERT_EQ(differences.Count(), 1);
    const TVELDifference* t = differences.Difference(0);
    EXPECT_EQ(t->Status, dsChanged);
    std::vector<std::string> right;
    int added = 0;
    for (const TVELDiffDetailsItem& item : t->Details) {
        EXPECT_NE(item.Status, dsLeftOnly) << item.LeftString;
        EXPECT_NE(item.Status, dsChanged) << item.LeftString;
        added += item.Status == dsRightOnly;
        right.push_back(item.RightString);
    }
    EXPECT_EQ(added, 1);
    const auto at = [&](const std::string& prefix) {
        return std::find_if(right.begin(), right.end(), [&](const std::string& s) { return s.starts_with(prefix); }) -
               right.begin();
    };
    EXPECT_EQ(at("email "), at("id ") + 1);
    EXPECT_EQ(at("name "), at("email ") + 1);
}

}  // namespace
