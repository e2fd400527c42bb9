#include <gtest/gtest.h>

#include <algorithm>

#include "TestModelBuilder.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDiagramOnly.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zRelationship.h"

using namespace ardvin;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

// "rel" supports referential integrity with restrict and cascade on delete only (none on
// update); "norefint" supports none and requires foreign keys to reference primary keys.
class RelationshipTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.File("rel.def"), "[general]\r\ndbmsname=Rel Target\r\n"
                                       "[supported]\r\nenablerefint=1\r\n"
                                       "[refint]\r\nrefintondelete=RC\r\nrefintonupdate=\r\n");
        WriteFile(dir.File("rel.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                       "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n"
                                       "SERIAL;SERIAL;;;Autonumber;0;0;0;0;1;INTEGER\r\n");
        WriteFile(dir.File("norefint.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                            "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n");
        WriteFile(dir.File("norefint.def"),
                  "[general]\r\ndbmsname=No RefInt\r\n"
                  "[supported]\r\nenablerefint=0\r\n[keybehaviour]\r\nfkonlytopk=1\r\n");
        TargetDatabases().Build(dir.Path());
        dd.SetTarget("rel");
    }

    TVELEntity* NewEntity(const std::string& name, std::initializer_list<const char*> keys) {
        auto* entity = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        entity->SetName(name);
        for (const char* key : keys) {
            TVELAttribute* a = entity->AddAttribute(true);
            a->SetName(key);
            a->DataType->DataType = "INTEGER";
            a->SetPrimaryKey(true);
        }
        return entity;
    }

    TVELRelationship* Relate(TVELEntity* parent, TVELEntity* child, uint8_t type) {
        return ardvin::test::Relate(dd, parent, child, type);
    }

    static std::vector<std::string> Names(const std::vector<TVELAttribute*>& attributes) {
        std::vector<std::string> names;
        for (const TVELAttribute* a : attributes)
            names.push_back(a->GetName());
        return names;
    }
    static std::vector<std::string> KeyNames(const TVELEntity* entity) {
        std::vector<TVELAttribute*> key;
        entity->PrimaryKeyAttributes(key);
        return Names(key);
    }
    static TVELAttribute* Attr(const TVELEntity* entity, const std::string& name) {
        return static_cast<TVELAttribute*>(entity->Attributes.FindByName(name));
    }

    std::vector<std::string> Messages(TVELNamedObject& object) {
        std::vector<std::string> out;
        object.Validate(true, [&](TVELNamedObject*, int level, const std::string& text) {
            out.push_back(IntToStr(level) + " " + text);
        });
        return out;
    }

    TempDir dir;
    TVELDataDictionary dd;
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(RelationshipTest, KeysPropagateThroughChainsOfIdentifyingRelationships) {
    TVELEntity* a = NewEntity("A", {"AID"});
    TVELEntity* b = NewEntity("B", {"BID"});
    TVELEntity* c = NewEntity("C", {"CID"});
    TVELEntity* d = NewEntity("D", {"DID"});
    TVELRelationship* ab = Relate(a, b, rtIdentifying);
    TVELRelationship* bc = Relate(b, c, rtIdentifying);
    TVELRelationship* cd = Relate(c, d, rtIdentifying);
    dd.RepairRelationships();
    EXPECT_EQ(KeyNames(b), (Strings{"BID", "AID"}));
    EXPECT_EQ(KeyNames(c), (Strings{"CID", "BID", "AID"}));
    EXPECT_EQ(KeyNames(d), (Strings{"DID", "CID", "BID", "AID"}));
    EXPECT_TRUE(ab->MandatoryParent);
    EXPECT_TRUE(Attr(b, "AID")->IsNotNull());
    for (TVELRelationship* r : {ab, bc, cd})
        EXPECT_EQ(r->RelationshipType, rtIdentifying) << r->GetName();

    // A new key attribute of A reaches D's key.
    TVELAttribute* extra = a->AddAttribute(true);
    extra->SetName("AKEY2");
    extra->SetPrimaryKey(true);
    dd.RepairRelationships();
    EXPECT_EQ(KeyNames(d), (Strings{"DID", "CID", "BID", "AID", "AKEY2"}));
    EXPECT_EQ(ab->Pairs.Count(), 2);
    EXPECT_TRUE(Attr(d, "AKEY2")->IsForeignKey());
    EXPECT_EQ(Attr(d, "AKEY2")->GetPropertyValue("Key"), "(PK,FK)");
    EXPECT_TRUE(a->KeyChangedAttributes.empty());
    for (TVELRelationship* r : {ab, bc, cd})
        EXPECT_EQ(r->RelationshipType, rtIdentifying) << r->GetName();

    // Taking it out of A's key drops the pair; B keeps the column, which is part of its own key,
    // so nothing changes further down.
    extra->SetPrimaryKey(false);
    dd.RepairRelationships();
    EXPECT_EQ(ab->Pairs.Count(), 1);
    EXPECT_NE(Attr(b, "AKEY2"), nullptr);
    EXPECT_FALSE(Attr(b, "AKEY2")->IsForeignKey());
    EXPECT_EQ(KeyNames(d), (Strings{"DID", "CID", "BID", "AID", "AKEY2"}));

    // The new foreign key of a non-identifying child stays out of its key and goes with the pair.
    TVELEntity* e = NewEntity("E", {"EID"});
    TVELRelationship* ae = Relate(a, e, rtNonIdentifying);
    EXPECT_EQ(KeyNames(e), (Strings{"EID"}));
    extra->SetPrimaryKey(true);
    dd.RepairRelationships();
    ASSERT_NE(Attr(e, "AKEY2"), nullptr);
    EXPECT_EQ(KeyNames(e), (Strings{"EID"}));
    EXPECT_EQ(ae->RelationshipType, rtNonIdentifying);
    extra->SetPrimaryKey(false);
    dd.RepairRelationships();
    EXPECT_EQ(Attr(e, "AKEY2"), nullptr);
    EXPECT_EQ(Names(std::vector<TVELAttribute*>{e->AttributeAt(0), e->AttributeAt(1)}),
              (Strings{"EID", "AID"}));

    // A key attribute of the parent deleted outright takes the non-key foreign key with it.
    a->DeleteMember(Attr(a, "AID"));
    dd.RepairRelationships();
    EXPECT_EQ(Attr(e, "AID"), nullptr);
    EXPECT_EQ(ae->Pairs.Count(), 0);
}

TEST_F(RelationshipTest, SelfReferenceAndNaming) {
    TVELEntity* emp = NewEntity("Employee", {"ID"});
    TVELRelationship* self = Relate(emp, emp, rtIdentifying);
    dd.RepairRelationships();
    EXPECT_EQ(self->RelationshipType, rtNonIdentifying);
    EXPECT_FALSE(self->IsIdentifying());
    ASSERT_EQ(self->Pairs.Count(), 1);
    // The name is made unique within the entity; the key is untouched.
    EXPECT_EQ(emp->FindAttribute(self->PairAt(0)->ForeignKeyID)->GetName(), "ID1");
    EXPECT_EQ(KeyNames(emp), (Strings{"ID"}));
    self->MakeIdentifying();
    EXPECT_EQ(KeyNames(emp), (Strings{"ID"}));
    EXPECT_EQ(self->GetName(), "Employee_Employee");

    // The attribute template and the relationship's placeholders.
    TVELEntity* dept = NewEntity("Dept", {"ID"});
    dept->SetAbbreviation("DP");
    dd.PropagationOptions.ForeignKeyAttributeTemplate = "%parentabb%_%COLUMN%";
    TVELRelationship* r = Relate(dept, emp, rtNonIdentifying);
    EXPECT_NE(Attr(emp, "DP_ID"), nullptr);
    EXPECT_EQ(r->GetName(), "Dept_Employee");
    r->NameTemplate = "FK_%child%_%parent%";
    r->FKConstraint->NameTemplate = "FK_%parent%_%childcolumn%";
    EXPECT_EQ(r->FKConstraint->GetName(), "FK_Dept_DP_ID");
    dept->SetName("Department");
    EXPECT_EQ(r->GetName(), "FK_Employee_Department");
    EXPECT_EQ(r->GetPropertyValue("childwithcolumns"), "Employee (DP_ID)");
    EXPECT_EQ(dd.FindRelationship("FK_Employee_Department"), r);
    std::vector<TVELRelationship*> all;
    dd.Relationships(all);
    EXPECT_EQ(all, (std::vector<TVELRelationship*>{self, r}));
}

TEST_F(RelationshipTest, ReuseExistingAndSharedForeignKeys) {
    dd.PropagationOptions.ForeignKeyAttributeMode = fkmReuseExisting;
    TVELEntity* customer = NewEntity("Customer", {"CustNo"});
    TVELEntity* shop = NewEntity("Shop", {"CustNo"});
    TVELEntity* order = NewEntity("Order", {"OrderNo"});
    TVELAttribute* existing = order->AddAttribute(true);
    existing->SetName("CUSTNO");
    const int before = order->Attributes.Count();
    TVELRelationship* r1 = Relate(customer, order, rtNonIdentifying);
    TVELRelationship* r2 = Relate(shop, order, rtNonIdentifying);
    EXPECT_EQ(order->Attributes.Count(), before); // reused, not created
    EXPECT_EQ(r1->PairAt(0)->ForeignKeyID, existing->ID);
    EXPECT_EQ(r2->PairAt(0)->ForeignKeyID, existing->ID);
    std::vector<TVELAttribute*> refersTo;
    existing->RefersTo(refersTo);
    EXPECT_EQ(refersTo.size(), 2u);

    // Shared by two pairs: the first relationship going leaves it.
    dd.DeleteObject(r1);
    EXPECT_EQ(Attr(order, "CUSTNO"), existing);
    // Now its only pair goes with the second.
    dd.DeleteObject(r2);
    EXPECT_EQ(Attr(order, "CUSTNO"), nullptr);

    // Auto (re)name creates a new, uniquely named attribute instead.
    dd.PropagationOptions.ForeignKeyAttributeMode = fkmAutoRename;
    TVELAttribute* again = order->AddAttribute(true);
    again->SetName("CustNo");
    Relate(customer, order, rtNonIdentifying);
    EXPECT_NE(Attr(order, "CustNo1"), nullptr);
}

TEST_F(RelationshipTest, SwitchingIdentifyingAndNonIdentifying) {
    TVELEntity* p = NewEntity("P", {"P1", "P2"});
    TVELEntity* c = NewEntity("C", {"C1"});
    TVELEntity* g = NewEntity("G", {"G1"});
    TVELRelationship* r = Relate(p, c, rtNonIdentifying);
    TVELRelationship* below = Relate(c, g, rtIdentifying);
    EXPECT_FALSE(r->MandatoryParent);
    EXPECT_EQ(KeyNames(c), (Strings{"C1"}));
    EXPECT_FALSE(Attr(c, "P1")->IsNotNull());

    r->RelationshipType = rtIdentifying;
    r->ApplyType();
    r->ApplyMandatoryParent();
    dd.RepairRelationships();
    EXPECT_TRUE(r->MandatoryParent);
    EXPECT_EQ(KeyNames(c), (Strings{"C1", "P1", "P2"}));
    EXPECT_TRUE(Attr(c, "P2")->IsNotNull());
    EXPECT_EQ(r->RelationshipType, rtIdentifying);
    // The child's new key columns went on to the grandchild.
    EXPECT_EQ(KeyNames(g), (Strings{"G1", "C1", "P1", "P2"}));

    r->RelationshipType = rtNonIdentifying;
    r->ApplyType();
    dd.RepairRelationships();
    EXPECT_EQ(KeyNames(c), (Strings{"C1"}));
    EXPECT_EQ(r->RelationshipType, rtNonIdentifying);
    // Required foreign keys keep a non-identifying relationship mandatory ...
    EXPECT_TRUE(r->MandatoryParent);
    // ... until one of them allows nulls.
    Attr(c, "P1")->SetNotNull(false);
    dd.RepairRelationships();
    EXPECT_FALSE(r->MandatoryParent);
    // The grandchild lost its pairs of the columns that left C's key; its own key columns stay.
    EXPECT_EQ(below->Pairs.Count(), 1);
    EXPECT_EQ(KeyNames(g), (Strings{"G1", "C1", "P1", "P2"}));
}

TEST_F(RelationshipTest, DeletingParentsAndSwitchedOffOptions) {
    TVELEntity* p = NewEntity("P", {"PID"});
    TVELEntity* ident = NewEntity("Ident", {"IID"});
    TVELEntity* plain = NewEntity("Plain", {"XID"});
    Relate(p, ident, rtIdentifying);
    Relate(p, plain, rtNonIdentifying);
    auto* sub = static_cast<TVELSubCategory*>(dd.CreateObject(otSubCategory, true));
    auto* conn = static_cast<TVELSubCategoryConnection*>(dd.CreateObject(otSubCategoryConnection, true));
    conn->ParentObjectID = p->ID;
    conn->ChildObjectID = sub->ID;
    const int32_t subID = sub->ID;
    dd.DeleteObject(p);
    std::vector<TVELRelationship*> relationships;
    dd.Relationships(relationships);
    EXPECT_TRUE(relationships.empty());
    EXPECT_EQ(dd.FindObjectByID(subID), nullptr); // the connection and its orphaned subcategory
    EXPECT_EQ(Attr(plain, "PID"), nullptr);
    EXPECT_NE(Attr(ident, "PID"), nullptr); // in the child's own key
    EXPECT_EQ(KeyNames(ident), (Strings{"IID", "PID"}));

    // Deleting foreign-key attributes switched off: the pair goes, the attribute stays.
    dd.PropagationOptions.DeleteForeignKeyAttributes = false;
    TVELEntity* q = NewEntity("Q", {"QID"});
    TVELRelationship* r = Relate(q, plain, rtNonIdentifying);
    dd.DeleteObject(r);
    EXPECT_NE(Attr(plain, "QID"), nullptr);

    // Propagation switched off: no foreign-key attribute is ever created.
    dd.PropagationOptions.PropagateForeignKeys = false;
    const int count = plain->Attributes.Count();
    TVELRelationship* off = Relate(q, plain, rtNonIdentifying);
    EXPECT_EQ(off->Pairs.Count(), 0);
    EXPECT_EQ(off->AddPair(Attr(q, "QID")), nullptr);
    TVELAttribute* more = q->AddAttribute(true);
    more->SetPrimaryKey(true);
    dd.RepairRelationships();
    EXPECT_EQ(plain->Attributes.Count(), count);
}

TEST_F(RelationshipTest, PairOfDeletedChildAttributeIsDroppedAlone) {
    TVELEntity* p = NewEntity("P", {"K1", "K2"});
    TVELEntity* c = NewEntity("C", {"CID"});
    TVELRelationship* r = Relate(p, c, rtNonIdentifying);
    ASSERT_EQ(r->Pairs.Count(), 2);
    dd.RepairRelationships();
    c->DeleteMember(Attr(c, "K1"));
    const int count = c->Attributes.Count();
    std::vector<TVELNamedObject*> changed;
    EXPECT_TRUE(r->Propagate(changed));
    EXPECT_TRUE(r->Changed);
    EXPECT_EQ(r->Pairs.Count(), 1);
    EXPECT_EQ(c->Attributes.Count(), count);
    EXPECT_EQ(p->Attributes.Count(), 2);
    EXPECT_EQ(changed, (std::vector<TVELNamedObject*>{p, c}));
    changed.clear();
    EXPECT_FALSE(r->Propagate(changed));
    EXPECT_TRUE(changed.empty());
    dd.RepairRelationships();
    EXPECT_FALSE(r->Changed);
}

TEST_F(RelationshipTest, ValidateReportsEveryProblem) {
    TVELEntity* p = NewEntity("P", {"PID"});
    TVELEntity* c = NewEntity("C", {"CID"});
    Attr(p, "PID")->DataType->Length = "20";
    TVELAttribute* code = p->AddAttribute(true);
    code->SetName("Code");
    code->DataType->DataType = "VARCHAR";
    code->DataType->Length = "20";
    TVELRelationship* r = Relate(p, c, rtNonIdentifying);
    EXPECT_EQ(Messages(*r), Strings{});

    TVELAttribute* fk = Attr(c, "PID");
    fk->DataType->DataType = "VARCHAR";
    r->MandatoryParent = true;
    r->DeleteRule = raSetDefault;
    r->UpdateRule = raCascade;
    EXPECT_EQ(
        Messages(*r),
        (Strings{
            "2 Relationship has a cardinality of exactly one, yet foreign key \"PID\" allows null values.",
            "3 Delete rule is \"set default\" but foreign key \"PID\" has no default specified.",
            "2 Child attribute \"PID\" data type not consistent with parent attribute \"PID\" data type.",
            "3 Update rule action not supported. Set to default.",
            "3 Delete rule action not supported. Set to default."}));
    // Repaired against the target's sets.
    EXPECT_EQ(r->UpdateRule, raNone);
    EXPECT_EQ(r->DeleteRule, raNone);

    // A pair on a shorter column of the same category; set null on a required foreign key.
    TVELAttribute* shortCode = c->AddAttribute(true);
    shortCode->SetName("ShortCode");
    shortCode->DataType->DataType = "VARCHAR";
    shortCode->DataType->Length = "10";
    shortCode->SetNotNull(true);
    auto pair = std::make_unique<TVELPair>(r);
    pair->KeyID = code->ID;
    pair->ForeignKeyID = shortCode->ID;
    r->Pairs.Add(std::move(pair));
    fk->DataType->DataType = "INTEGER";
    fk->SetNotNull(true);
    r->DeleteRule = raSetNull;
    EXPECT_EQ(
        Messages(*r),
        (Strings{
            "3 Delete rule is \"set null\" but foreign key \"PID\" is required (not null).",
            "3 Delete rule is \"set null\" but foreign key \"ShortCode\" is required (not null).",
            "2 Child attribute \"ShortCode\" data type length is lower than parent attribute \"Code\" data "
            "type length.",
            "3 Delete rule action not supported. Set to default."}));

    // Without referential integrity the rules are removed; the pairs must match the key.
    dd.SetTarget("norefint");
    r->UpdateRule = raCascade;
    r->DeleteRule = raRestrict;
    EXPECT_EQ(
        Messages(*r),
        (Strings{"2 Child attribute \"ShortCode\" data type length is lower than parent attribute \"Code\" "
                 "data type length.",
                 "2 Referential integrity is not supported by the target DBMS. Update/delete rule will be "
                 "removed.",
                 "2 Referential integrity is not supported by the target DBMS. Update/delete rule will be "
                 "removed.",
                 "3 The parent attributes of a relationship do not correspond to the primary key of the "
                 "parent."}));
    EXPECT_EQ(r->UpdateRule, raNone);
    EXPECT_EQ(r->DeleteRule, raNone);

    r->RemoveAllPairs();
    r->MandatoryParent = false;
    EXPECT_EQ(Messages(*r),
              (Strings{"2 Relationship has no linked attributes.",
                       "3 The parent attributes of a relationship do not correspond to the primary key "
                       "of the parent."}));

    // Missing ends stop the validation.
    auto* sub = static_cast<TVELSubCategory*>(dd.CreateObject(otSubCategory, true));
    r->ChildObjectID = sub->ID;
    EXPECT_EQ(Messages(*r), (Strings{"3 Unable to find child entity. Relationship removed."}));
    r->ParentObjectID = sub->ID;
    EXPECT_EQ(Messages(*r), (Strings{"3 Unable to find parent entity. Relationship removed."}));
    r->ChildObjectID = 999;
    EXPECT_EQ(Messages(*r), (Strings{"3 Unable to find child object with id \"999\". Connection removed."}));
    r->ParentObjectID = 998;
    EXPECT_EQ(Messages(*r), (Strings{"3 Unable to find parent object with id \"998\". Connection removed."}));
    // The model check reports it and removes it.
    std::vector<std::string> messages;
    dd.OnMessage = [&](TVELNamedObject*, int, const std::string& text) { messages.push_back(text); };
    dd.CheckModel();
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "Unable to find parent object with id \"998\". Connection removed."),
              messages.end());
    std::vector<TVELRelationship*> left;
    dd.Relationships(left);
    EXPECT_TRUE(left.empty());
}

TEST_F(RelationshipTest, MarkupRoundTripAndLoading) {
    TVELEntity* p = NewEntity("P", {"PID"});
    TVELEntity* c = NewEntity("C", {"CID"});
    TVELEntity* stand = NewEntity("Stand", {});
    TVELRelationship* r = Relate(p, c, rtIdentifying);
    r->Cardinality = rcOneOrMore;
    r->ParentPhrase = "has <many> & more";
    r->ChildPhrase = "belongs to";
    r->DeleteRule = raCascade;
    r->Comment = "the link";
    r->FKConstraint->NameTemplate = "FK_%parent%_%child%";
    r->FKConstraint->ConstraintOptions = "DEFERRABLE";
    TVELRelationship* fixed = Relate(c, p, rtNonIdentifying);
    fixed->NameFromTemplate = false;
    fixed->SetName("back_link");
    // A relationship whose child is a subcategory standing for an entity.
    auto* sub = static_cast<TVELSubCategory*>(dd.CreateObject(otSubCategory, true));
    sub->AOID = stand->ID;
    TVELRelationship* viaSub = Relate(p, stand, rtNonIdentifying);
    viaSub->ChildObjectID = sub->ID;
    auto* conn = static_cast<TVELSubCategoryConnection*>(dd.CreateObject(otSubCategoryConnection, true));
    conn->ParentObjectID = sub->ID;
    conn->ChildObjectID = c->ID;
    // A subcategory connection to a subcategory that stands for no entity is kept.
    auto* plainSub = static_cast<TVELSubCategory*>(dd.CreateObject(otSubCategory, true));
    auto* plainConn = static_cast<TVELSubCategoryConnection*>(dd.CreateObject(otSubCategoryConnection, true));
    plainConn->ParentObjectID = p->ID;
    plainConn->ChildObjectID = plainSub->ID;
    EXPECT_EQ(viaSub->GetChildEntity(), stand);

    const std::string saved = dd.SaveToMarkup();
    TVELDataDictionary back;
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.SaveToMarkup(), saved);
    auto* loaded = back.FindRelationship("P_C");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->ParentPhrase, "has <many> & more");
    EXPECT_EQ(loaded->FKConstraint->GetName(), "FK_P_C");
    EXPECT_EQ(loaded->FKConstraint->ConstraintType, ctForeignKey);
    EXPECT_NE(back.FindRelationship("back_link"), nullptr);
    EXPECT_NE(saved.find("<SUBCATEGORYCONNECTION>"), std::string::npos);

    // A relationship pointing at a missing entity is dropped silently while loading.
    std::string broken = saved;
    const std::string childTag = "<CHILDOBJECTID>" + IntToStr(c->ID) + "</CHILDOBJECTID>";
    const size_t at = broken.find(childTag);
    ASSERT_NE(at, std::string::npos);
    broken.replace(at, childTag.size(), "<CHILDOBJECTID>4711</CHILDOBJECTID>");
    TVELDataDictionary dropped;
    dropped.LoadFromMarkup(broken);
    std::vector<TVELRelationship*> relationships;
    dropped.Relationships(relationships);
    EXPECT_EQ(relationships.size(), 2u);
    EXPECT_EQ(dropped.FindRelationship("P_C"), nullptr);
}

TEST_F(RelationshipTest, MergeTranslatesConnectionEnds) {
    TVELEntity* p = NewEntity("P", {"PID"});
    TVELEntity* c = NewEntity("C", {"CID"});
    Relate(p, c, rtNonIdentifying);
    const std::string saved = dd.SaveToMarkup();

    TVELDataDictionary target;
    target.SetTarget("rel");
    for (int i = 0; i < 5; ++i)
        target.CreateObject(otDomain, true);
    target.LoadObjects(saved, true, true);
    std::vector<TVELRelationship*> relationships;
    target.Relationships(relationships);
    ASSERT_EQ(relationships.size(), 1u);
    TVELEntity* parent = relationships[0]->GetParentEntity();
    TVELEntity* child = relationships[0]->GetChildEntity();
    ASSERT_NE(parent, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(parent->GetName(), "P");
    EXPECT_EQ(child->GetName(), "C");
    EXPECT_NE(parent->ID, p->ID); // renumbered

    // Without fixConnections the connections are left out.
    TVELDataDictionary plain;
    plain.SetTarget("rel");
    plain.LoadObjects(saved, true, false);
    relationships.clear();
    plain.Relationships(relationships);
    EXPECT_TRUE(relationships.empty());
}

TEST_F(RelationshipTest, DamagedModelTextsLoadWhatTheyCan) {
    TVELEntity* p = NewEntity("P", {"PID"});
    TVELEntity* c = NewEntity("C", {"CID"});
    Relate(p, c, rtIdentifying);
    const std::string saved = dd.SaveToMarkup();
    const std::vector<std::string> texts = {
        saved.substr(0, saved.size() / 2),
        saved.substr(0, saved.find("<PAIRS>") + 9),
        "<DATADICT><DBID>rel</DBID><ENT><NAME>X</NAME><ID>abc</ID><UNKNOWN>1</UNKNOWN></ENT>"
        "<REL><PARENTOBJECTID>x</PARENTOBJECTID><CHILDOBJECTID>1</CHILDOBJECTID><PAIRS><PAIR><KEYID>q</KEYID>"
        "</PAIR></PAIRS></REL></DATADICT>",
        "<DBID>rel</DBID><ENT><ID>5</ID><ATTRIBUTES><ATTR><ID>2</ID><NAME>a</NAME></ATTR><ATTR><ID>2</ID>"
        "<NAME>b</NAME></ATTR></ATTRIBUTES><PKCON><ATTRIBUTEIDS><ATTRIBUTEID>2</ATTRIBUTEID></ATTRIBUTEIDS></"
        "PKCON>"
        "</ENT><ENT><ID>6</ID></ENT><REL><PARENTOBJECTID>5</PARENTOBJECTID><CHILDOBJECTID>6</CHILDOBJECTID>"
        "<RELTYPE>0</RELTYPE><MANDATORYPARENT>1</MANDATORYPARENT></REL>",
        "<DBID>rel</DBID><REL><PARENTOBJECTID>5</PARENTOBJECTID><CHILDOBJECTID>5</CHILDOBJECTID></REL>",
    };
    for (const std::string& text : texts) {
        TVELDataDictionary model;
        model.LoadFromMarkup(text);
        const std::string again = model.SaveToMarkup();
        model.CheckModel();
        TVELDataDictionary second;
        second.LoadFromMarkup(again);
        EXPECT_EQ(second.SaveToMarkup(), again) << text;
    }
    // Loading does not re-create missing foreign keys: the relationship of the fourth text,
    // stored as identifying without pairs, is no longer identifying.
    TVELDataDictionary model;
    model.LoadFromMarkup(texts[3]);
    std::vector<TVELRelationship*> relationships;
    model.Relationships(relationships);
    ASSERT_EQ(relationships.size(), 1u);
    EXPECT_EQ(relationships[0]->RelationshipType, rtNonIdentifying);
    EXPECT_EQ(relationships[0]->GetChildEntity()->Attributes.Count(), 0);
}

TEST_F(RelationshipTest, AutomaticKeyIndexes) {
    TVELEntity* p = NewEntity("P", {"PID"});
    TVELAttribute* code = p->AddAttribute(true);
    code->SetName("Code");
    TVELEntity* c = NewEntity("C", {"CID"});
    TVELRelationship* r = Relate(p, c, rtNonIdentifying);
    TVELIndex* fkIndex = c->CreateForeignKeyIndex(*r);
    ASSERT_NE(fkIndex, nullptr);
    EXPECT_EQ(fkIndex->RelationshipID, r->ID);
    EXPECT_EQ(fkIndex->IndexKind, ikForeignKey);
    // Its parent attributes are the key: no alternate key index.
    EXPECT_EQ(p->CreateAlternateKeyIndex(*r), nullptr);
    r->PairAt(0)->KeyID = code->ID;
    TVELIndex* akIndex = p->CreateAlternateKeyIndex(*r);
    ASSERT_NE(akIndex, nullptr);
    EXPECT_EQ(akIndex->IndexType, "UNIQUE");
    // Once the relationship is gone, the refresh drops its foreign-key index.
    dd.DeleteObject(r);
    c->RefreshForeignKeyIndexes(false);
    std::vector<TVELIndex*> indexes;
    c->IndexesOfKind(ikForeignKey, indexes);
    EXPECT_TRUE(indexes.empty());
}
