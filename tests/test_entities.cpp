// Entities: members, primary key, statements, snapshots, validation, markup, and the data
// dictionary's handling of entities and their members.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMessages.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zTrigger.h"

using namespace ardvin;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

// "full" supports triggers and wants key columns first; "bare" has no triggers, table options
// or table scripts.
class EntityTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.File("full.def"),
                  "[general]\r\ndbmsname=Full\r\n[scriptelements]\r\n"
                  "DELIMITERDMLBEGIN=[\r\nDELIMITERDMLEND=]\r\n[keybehaviour]\r\npkontop=1\r\n"
                  "[namelengths]\r\nmaxtablenamelength=12\r\nmaxtriggernamelength=10\r\n"
                  "[supported]\r\nenabletriggers=1\r\nenableschemas=1\r\n"
                  "[indexes]\r\nidxtypecodes=;UNIQUE\r\nidxcompressioncodes=LOW;HIGH\r\n");
        WriteFile(dir.File("bare.def"),
                  "[general]\r\ndbmsname=Bare\r\n[supported]\r\nenabletableoptions=0\r\n"
                  "enablebeginendtablescripts=0\r\n");
        const std::string types = "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1;1\r\n"
                                  "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n";
        WriteFile(dir.File("full.typ"), types);
        WriteFile(dir.File("bare.typ"), types);
        TargetDatabases().Build(dir.Path());
        dd.SetTarget("full");
    }

    TVELEntity* NewEntity(const std::string& name = std::string()) {
        auto* entity = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        if (!name.empty()) entity->SetName(name);
        return entity;
    }
    static std::vector<std::string> Collect(TVELNamedObject& object) {
        return ardvin::test::ValidationMessages(object);
    }

    TempDir dir;
    TVELDataDictionary dd;
};

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

TEST_F(EntityTest, MembersAreNamedAndNumberedByTheirOwnLists) {
    TVELEntity* e = NewEntity();
    EXPECT_EQ(e->GetName(), "Entity1");
    TVELAttribute* a1 = e->AddAttribute();
    TVELAttribute* a2 = e->AddAttribute();
    EXPECT_EQ(a1->GetName(), "Attribute_1");
    EXPECT_EQ(a1->ID, 2);
    EXPECT_EQ(a2->GetName(), "Attribute_2");
    EXPECT_EQ(a2->ID, 3);
    TVELIndex* index = e->AddIndex();
    EXPECT_EQ(index->ID, 2);
    EXPECT_EQ(index->Compression, "LOW"); // the first allowed value
    TVELTrigger* trigger = e->AddTrigger();
    EXPECT_EQ(trigger->ID, 2);
    EXPECT_EQ(trigger->Code, "CREATE TRIGGER %triggername%\r\n");
    TVELConstraint* check = e->AddConstraint(ctCheck, clTable);
    EXPECT_EQ(check->ID, 2);
    EXPECT_EQ(check->Name, "TabCon_1");
    EXPECT_EQ(check->ConstraintType, ctCheck);
    EXPECT_EQ(check->Level, clTable);
    EXPECT_EQ(e->AttributeAt(1), a2);
    EXPECT_EQ(e->AttributeAt(2), nullptr);
    EXPECT_EQ(e->ListOf(index), &e->Indexes);
    EXPECT_EQ(e->ListOf(e->PrimaryKey.get()), nullptr);
    EXPECT_EQ(a2->GetPropertyValue("Pos"), "1");
    EXPECT_EQ(e->GetPropertyValue("NumAttributes"), "2");
    EXPECT_THROW(e->AddMember(otView, true), EVELError);

    // Trigger names start with the entity's name and are shortened to the target's limit of 10.
    e->SetName("Customers");
    EXPECT_EQ(e->AddTrigger()->GetName(), "Trg_Custo1");
    EXPECT_EQ(e->AddTrigger()->GetName(), "Trg_Custo2");
    for (int i = 3; i <= 9; ++i)
        e->AddTrigger();
    EXPECT_EQ(e->AddTrigger()->GetName(), "Trg_Cust10");
}

TEST_F(EntityTest, PrimaryKeyKeepsColumnOrderAndRecordsChanges) {
    TVELEntity* e = NewEntity();
    std::vector<TVELAttribute*> a;
    for (int i = 0; i < 4; ++i)
        a.push_back(e->AddAttribute());
    e->AddToPrimaryKey(a[2]);
    e->AddToPrimaryKey(a[0]);
    e->AddToPrimaryKey(a[2]); // once only
    EXPECT_EQ(e->PrimaryKey->AttributeIDs.IDs(), (std::vector<int32_t>{a[0]->ID, a[2]->ID}));
    std::vector<TVELAttribute*> key;
    e->PrimaryKeyAttributes(key);
    EXPECT_EQ(key, (std::vector<TVELAttribute*>{a[0], a[2]}));
    EXPECT_FALSE(e->PrimaryKeyOnTop());
    e->Attributes.Move(2, 1);
    e->SortPrimaryKey();
    EXPECT_TRUE(e->PrimaryKeyOnTop());
    EXPECT_EQ(e->GetPropertyValue("PKAttributes"), "Attribute_1, Attribute_3");
    EXPECT_EQ(a[0]->GetPropertyValue("PK"), "Yes");
    EXPECT_EQ(a[1]->GetPropertyValue("PrimaryKey"), "No");

    e->KeyChangedAttributes = {99};
    e->SetTrackKeyChanges(true);
    EXPECT_TRUE(e->KeyChangedAttributes.empty());
    e->AddToPrimaryKey(a[3]);
    e->RemoveFromPrimaryKey(a[3]);
    e->RemoveFromPrimaryKey(a[1]); // not in the key: nothing to record
    EXPECT_EQ(e->KeyChangedAttributes, (std::vector<int32_t>{a[3]->ID}));

    // Deleting a key attribute takes it out of the key and records the change.
    e->DeleteMember(a[0]);
    EXPECT_EQ(e->PrimaryKey->AttributeIDs.IDs(), (std::vector<int32_t>{a[2]->ID}));
    EXPECT_EQ(e->KeyChangedAttributes.size(), 2u);
    EXPECT_EQ(e->Attributes.Count(), 3);
}

TEST_F(EntityTest, StatementSkeletons) {
    TVELEntity* e = NewEntity("T");
    EXPECT_EQ(e->GetSQLStatement(0), "SELECT\r\nFROM [T]");
    EXPECT_EQ(e->GetSQLStatement(2), "UPDATE [T]\r\nSET\r\nWHERE <condition>");
    e->AddAttribute()->SetName("A");
    e->AddAttribute()->SetName("B");
    EXPECT_EQ(e->GetSQLStatement(0), "SELECT\r\n    [A],\r\n    [B]\r\nFROM [T]");
    EXPECT_EQ(e->GetSQLStatement(1),
              "INSERT INTO [T]\r\n(\r\n    [A],\r\n    [B]\r\n)VALUES\r\n(\r\n    :[A],\r\n    :[B]\r\n)");
    EXPECT_EQ(e->GetSQLStatement(2),
              "UPDATE [T]\r\nSET\r\n    [A] = :[A],\r\n    [B] = :[B]\r\nWHERE <condition>");
    EXPECT_EQ(e->GetSQLStatement(3), "");
}

TEST_F(EntityTest, SnapshotRestoresMembersAndCounters) {
    TVELEntity* e = NewEntity();
    TVELAttribute* a = e->AddAttribute();
    e->AddAttribute();
    const int32_t key = a->ID;
    e->AddToPrimaryKey(a);
    e->AddIndex()->AddColumn(a);
    e->SaveMembersSnapshot();
    const std::string before = e->MembersMarkup();

    e->RestoreMembersSnapshot(); // nothing changed: the members stay the same objects
    EXPECT_EQ(e->AttributeAt(0), a);

    e->AddAttribute();
    e->RemoveFromPrimaryKey(a);
    e->DeleteMember(e->IndexAt(0));
    e->AddTrigger();
    e->RestoreMembersSnapshot();
    EXPECT_EQ(e->MembersMarkup(), before);
    EXPECT_EQ(e->Attributes.Count(), 2);
    EXPECT_EQ(e->Triggers.Count(), 0);
    EXPECT_EQ(e->PrimaryKey->AttributeIDs.IDs(), (std::vector<int32_t>{key}));
    EXPECT_EQ(e->AddAttribute()->ID, 4); // the counter is the snapshot's
    EXPECT_EQ(e->AddTrigger()->ID, 2);
}

TEST_F(EntityTest, ValidationReportsAndRepairs) {
    TVELEntity* e = NewEntity("Orders");
    std::vector<std::string> m = Collect(*e);
    EXPECT_EQ(m, (std::vector<std::string>{"Warning: Entity has no primary key.",
                                           "Warning: Entity has no attributes."}));

    TVELAttribute* a = e->AddAttribute();
    TVELAttribute* b = e->AddAttribute();
    b->SetName("attribute_1");
    e->AddToPrimaryKey(b);
    b->SetNotNull(true);
    a->DataType->AutoNumber = true;
    b->DataType->AutoNumber = true;
    TVELConstraint* unique = e->AddConstraint(ctUnique, clTable);
    unique->AttributeIDs.Add(b);
    unique->NameTemplate = "UQ_B";
    e->PrimaryKey->NameTemplate = "uq_b";
    TVELTrigger* trigger = e->AddTrigger();
    trigger->Code = " \r\n";
    e->SetName("OrdersAndMore");
    m = Collect(*e);
    const std::vector<std::string> expected = {
        "Error: Entity name \"OrdersAndMore\" is too long. Max length is 12.",
        "Error: Attribute name \"Attribute_1\" is not unique.",
        "Error: Attribute name \"attribute_1\" is not unique.",
        "Error: Entity's primary key attributes not on top.",
        "Error: Unique constraint name \"uq_b\" is not unique.",
        "Error: Unique constraint \"UQ_B\" not allowed because the constraint's attribute is the only "
        "attribute in "
        "the primary key. Primary key is already unique.",
        "Error: Entity has more than one identity attribute.",
        "Error: Trigger contains no code.",
    };
    EXPECT_EQ(m, expected);
    EXPECT_FALSE(e->Validate(true, [](TVELNamedObject*, int, const std::string&) {}));

    // A target without triggers, table options and table scripts: the entity is repaired.
    TVELDataDictionary bare;
    bare.LoadFromMarkup(ReplaceAll(dd.SaveToMarkup(), "<DBID>full</DBID>", "<DBID>bare</DBID>"));
    auto* copy = dynamic_cast<TVELEntity*>(bare.FindObjectByID(e->ID));
    ASSERT_NE(copy, nullptr);
    copy->TableOptions = "ENGINE=x";
    copy->BeginTableScript = "-- before";
    copy->EndTableScript = "-- after";
    m = Collect(*copy);
    EXPECT_TRUE(Contains(
        m, "Warning: Table options are not supported by the target DBMS. Table options made empty."));
    EXPECT_TRUE(
        Contains(m, "Warning: Pre table scripts are not supported by the target DBMS. Pre table scripts made "
                    "empty."));
    EXPECT_TRUE(
        Contains(m, "Warning: Post table scripts are not supported by the target DBMS. Post table scripts "
                    "made empty."));
    EXPECT_TRUE(Contains(m, "Error: Target DBMS does not support triggers. Trigger will be removed."));
    EXPECT_FALSE(Contains(m, "Error: Entity's primary key attributes not on top.")); // not asked for here
    EXPECT_EQ(copy->TableOptions, "");
    EXPECT_EQ(copy->BeginTableScript, "");
    EXPECT_EQ(copy->EndTableScript, "");
    EXPECT_EQ(copy->Triggers.Count(), 0);
    EXPECT_THROW(copy->Validate(true, nullptr), EVELError); // without a callback errors raise
}

TEST_F(EntityTest, MarkupOmitsWhatIsEmptyAndRoundTripsEveryElement) {
    TVELEntity* plain = NewEntity();
    plain->AddAttribute();
    const std::string text = plain->SaveToMarkup();
    for (const char* absent : {"<PKCON>", "<INDEXES>", "<TRIGGERS>", "<CONSTRAINTS>", "<ABBR>", "<TABOPT>",
                               "<BEGINTABLESCR>", "<ENDTABLESCR>", "<NAMETEMPLATE>", "<TODO>", "<AOID>"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    EXPECT_NE(
        text.find("<ATTRLASTID>2</ATTRLASTID>\r\n<IDXLASTID>1</IDXLASTID>\r\n<TRGLASTID>1</TRGLASTID>\r\n"
                  "<CONLASTID>1</CONLASTID>\r\n<ATTRIBUTES>"),
        std::string::npos)
        << text;

    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    domain->DataType->DataType = "VARCHAR";
    domain->DataType->Length = "20";
    TVELEntity* e = NewEntity("Orders");
    e->SchemaName = "sales";
    e->Comment = "All <orders> & \"more\"";
    e->Note = "note";
    e->ToDo = "check";
    e->Labels = {"a", "b"};
    e->ExtraProps.SetValue("ep_Color", "red");
    e->DateModified = "2024-01-02";
    e->SetAbbreviation("ORD");
    e->BeginTableScript = "-- before\r\nGO";
    e->EndTableScript = "-- after";
    e->TableOptions = "ENGINE=InnoDB";
    TVELAttribute* id = e->AddAttribute();
    id->SetName("Id");
    id->SetPrimaryKey(true);
    id->SetNotNull(true);
    id->SetCheckValue("Id > 0");
    id->CheckConstraint()->NameTemplate = "CK_%tablename%";
    id->AutoNumber = true;
    id->Collate = "C";
    id->AttributeOptions = "HIDDEN";
    id->PackageName = "Basics";
    id->PackageItem = 3;
    TVELAttribute* name = e->AddAttribute();
    name->SetName("Name");
    name->SetDomainID(domain->ID);
    name->SetDefaultValue("'none'");
    e->PrimaryKey->NameTemplate = "PK_%tablename%";
    e->PrimaryKey->ConstraintOptions = "USING INDEX";
    e->PrimaryKey->PKClustering = "CLUSTERED";
    TVELIndex* index = e->AddIndex();
    index->NameTemplate = "IX_%tablename%";
    index->IndexType = "UNIQUE";
    index->IndexOptions = "ONLINE";
    index->AddColumn(name)->SortOption = "DESC";
    index->AddExpressionColumn("LOWER(Name)");
    e->AddTrigger()->Code = "CREATE TRIGGER t\r\nBEGIN END";
    TVELConstraint* check = e->AddConstraint(ctCheck, clTable);
    check->Value = "Id < 1000";
    check->ConstraintOptions = "NOCHECK";
    TVELConstraint* unique = e->AddConstraint(ctUnique, clTable);
    unique->AttributeIDs.Add(name);

    const std::string saved = dd.SaveToMarkup();
    TVELDataDictionary back;
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.SaveToMarkup(), saved);
    auto* copy = dynamic_cast<TVELEntity*>(back.FindObjectByID(e->ID));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->SaveToMarkup(), e->SaveToMarkup());
    EXPECT_EQ(copy->Comment, e->Comment);
    EXPECT_EQ(copy->PrimaryKey->GetName(), "PK_Orders");
    EXPECT_EQ(copy->Constraints.Count(), 2);
    EXPECT_EQ(copy->AttributeAt(1)->GetPropertyValue("DataType"), "@Domain1");
}

TEST_F(EntityTest, DamagedAndUnusualTextsLoadWhatTheyCan) {
    TVELEntity* e = NewEntity("Orders");
    TVELAttribute* a = e->AddAttribute();
    a->ToDo = "attribute note";
    a->Labels = {"member"};
    e->AddToPrimaryKey(a);
    a->SetNotNull(true);
    a->NotNullConstraint()->ToDo = "constraint note";
    e->AddIndex()->AddColumn(a);
    e->AddConstraint(ctCheck, clTable)->Value = "1 = 1";
    const std::string text = e->SaveToMarkup();

    // The entity's own fields are never taken from its members, nor an attribute's from its
    // constraints, wherever the members stand.
    TVELEntity* loaded = NewEntity();
    loaded->LoadFromMarkup(text);
    EXPECT_EQ(loaded->ToDo, "");
    EXPECT_TRUE(loaded->Labels.empty());
    EXPECT_EQ(loaded->AttributeAt(0)->ToDo, "attribute note");
    EXPECT_EQ(loaded->AttributeAt(0)->Labels, std::vector<std::string>{"member"});
    const size_t members = text.find("\r\n<PKCON>");
    TVELEntity* moved = NewEntity();
    moved->LoadFromMarkup(text.substr(members) + text.substr(0, members));
    EXPECT_EQ(moved->GetName(), "Orders");
    EXPECT_EQ(moved->SaveToMarkup(), text);

    // Unknown elements are ignored; missing counters are recomputed from the members; a
    // counter below an identifier in use is raised.
    std::string odd = ReplaceAll(text, "<ATTRLASTID>2</ATTRLASTID>", "<FUTURE>x</FUTURE>");
    odd = ReplaceAll(odd, "<IDXLASTID>2</IDXLASTID>", "<IDXLASTID>0</IDXLASTID>");
    odd = ReplaceAll(odd, "<CONLASTID>2</CONLASTID>", "<CONLASTID>abc</CONLASTID>");
    TVELEntity* repaired = NewEntity();
    repaired->LoadFromMarkup(odd);
    EXPECT_EQ(repaired->Attributes.LastID, 2);
    EXPECT_EQ(repaired->Indexes.LastID, 2);
    EXPECT_EQ(repaired->Triggers.LastID, 1);
    EXPECT_EQ(repaired->Constraints.LastID, 2);
    EXPECT_EQ(repaired->AddAttribute()->ID, 3);

    // Identifiers that are not numbers load as 1; nothing at all loads as an empty entity.
    TVELEntity* bad = NewEntity();
    bad->LoadFromMarkup(WriteElement("NAME", "X") +
                        WrapSection("ATTRIBUTES", WrapSection("ATTR", WriteElement("ID", "two"))));
    ASSERT_EQ(bad->Attributes.Count(), 1);
    EXPECT_EQ(bad->AttributeAt(0)->ID, 1);
    EXPECT_EQ(bad->Attributes.LastID, 1);
    bad->LoadFromMarkup("");
    EXPECT_EQ(bad->Attributes.Count(), 0);
    EXPECT_EQ(bad->GetName(), "");

    // Cut anywhere among its members, an entity loads the members that are complete; cut
    // inside its own fields, it may fail on a number (the position) but with the load error.
    const std::string model = dd.SaveToMarkup();
    const size_t ownFields = text.find("<ATTRLASTID>");
    for (size_t cut = 0; cut < text.size(); cut += 3) {
        TVELEntity* part = NewEntity();
        if (cut > ownFields)
            EXPECT_NO_THROW(part->LoadFromMarkup(text.substr(0, cut))) << cut;
        else
            try {
                part->LoadFromMarkup(text.substr(0, cut));
            } catch (const EVELError&) {
            }
        EXPECT_LE(part->Attributes.Count(), 1);
        dd.DeleteObject(part);
    }
    for (size_t cut = 0; cut < model.size(); cut += 11) {
        TVELDataDictionary partial;
        partial.SetTarget("full");
        EXPECT_NO_THROW(partial.LoadObjects(model.substr(0, cut), false, false)) << cut;
    }
}

TEST_F(EntityTest, DuplicateAttributeIdentifiersAreRenumberedOnLoad) {
    TVELEntity* e = NewEntity();
    for (int i = 0; i < 4; ++i)
        e->AddAttribute();
    e->AddToPrimaryKey(e->AttributeAt(0));
    std::string text = dd.SaveToMarkup();
    // Attributes 2, 3 and 4 all become 2; attribute 5 stays.
    text = ReplaceAll(text, "<ID>3</ID>", "<ID>2</ID>");
    text = ReplaceAll(text, "<ID>4</ID>", "<ID>2</ID>");
    TVELDataDictionary back;
    back.LoadFromMarkup(text);
    auto* copy = dynamic_cast<TVELEntity*>(back.FindObjectByID(e->ID));
    ASSERT_NE(copy, nullptr);
    std::vector<int32_t> ids;
    for (int i = 0; i < copy->Attributes.Count(); ++i)
        ids.push_back(copy->AttributeAt(i)->ID);
    EXPECT_EQ(ids, (std::vector<int32_t>{2, 7, 6, 5})); // renumbered from the last, above LASTID 5
    EXPECT_EQ(copy->FindAttribute(2), copy->AttributeAt(0));
    EXPECT_EQ(copy->AttributeAt(1)->NotNullConstraint()->AttributeIDs.IDs(), std::vector<int32_t>{7});
    EXPECT_EQ(copy->PrimaryKey->AttributeIDs.IDs(), std::vector<int32_t>{2});
}

TEST_F(EntityTest, DictionaryReachesEntityMembers) {
    TVELEntity* e1 = NewEntity("B");
    TVELEntity* e2 = NewEntity("A");
    TVELAttribute* a = e1->AddAttribute();
    a->SetNotNull(true);
    e1->AddToPrimaryKey(a);
    e2->AddAttribute();
    TVELIndex* index = e1->AddIndex();
    TVELTrigger* trigger = e1->AddTrigger();
    TVELConstraint* check = e1->AddConstraint(ctCheck, clTable);
    for (TVELDatabaseObject* o : std::vector<TVELDatabaseObject*>{e1, a, index, trigger, check}) {
        o->Comment = "c";
        o->SchemaName = "s";
        o->StateNew = true;
    }
    std::vector<TVELEntity*> entities;
    dd.Entities(entities);
    EXPECT_EQ(entities, (std::vector<TVELEntity*>{e1, e2}));
    EXPECT_EQ(dd.FindEntity("a"), e2);
    std::vector<TVELAttribute*> attributes;
    dd.AllAttributes(attributes);
    EXPECT_EQ(attributes.size(), 2u);
    std::vector<TVELIndex*> indexes;
    dd.AllIndexes(indexes);
    EXPECT_EQ(indexes, std::vector<TVELIndex*>{index});

    // Counterparts in a copy of the model.
    TVELDataDictionary copy;
    copy.AssignDictionary(dd);
    auto* e1Copy = dynamic_cast<TVELEntity*>(copy.FindSameObject(e1));
    ASSERT_NE(e1Copy, nullptr);
    EXPECT_EQ(copy.FindSameObject(a), e1Copy->AttributeAt(0));
    EXPECT_EQ(copy.FindSameObject(index), e1Copy->IndexAt(0));
    EXPECT_EQ(copy.FindSameObject(trigger), e1Copy->TriggerAt(0));
    EXPECT_EQ(copy.FindSameObject(check), e1Copy->ConstraintAt(0));
    EXPECT_EQ(copy.FindSameObject(e1->PrimaryKey.get()), e1Copy->PrimaryKey.get());
    EXPECT_EQ(copy.FindSameObject(a->NotNullConstraint()), e1Copy->AttributeAt(0)->NotNullConstraint());
    EXPECT_EQ(copy.SaveToMarkup(), dd.SaveToMarkup());

    dd.ClearStateFlags();
    dd.ClearComments();
    dd.ClearSchemas();
    for (TVELDatabaseObject* o : std::vector<TVELDatabaseObject*>{e1, a, index, trigger, check}) {
        EXPECT_FALSE(o->StateNew);
        EXPECT_EQ(o->SchemaName, "");
    }
    EXPECT_EQ(a->Comment, "");
    EXPECT_EQ(index->Comment, "");
    EXPECT_EQ(check->Comment, "c"); // comments of constraints are not cleared
    EXPECT_EQ(e1Copy->AttributeAt(0)->Comment, "c");

    // Changes of members reach the dictionary's listeners with the member as the object.
    std::vector<TVELNamedObject*> changed, renamed;
    dd.OnObjectChanged = [&changed](TVELNamedObject* o) { changed.push_back(o); };
    dd.OnObjectNameChanged = [&renamed](TVELNamedObject* o) { renamed.push_back(o); };
    a->SetName("Renamed");
    index->SetPropertyValue("IndexOptions", "X");
    EXPECT_EQ(renamed, std::vector<TVELNamedObject*>{a});
    EXPECT_EQ(changed, (std::vector<TVELNamedObject*>{a, index}));
}

TEST_F(EntityTest, TriggersValidateTheirNamesAndCode) {
    TVELEntity* e = NewEntity("Orders");
    TVELTrigger* t1 = e->AddTrigger();
    TVELTrigger* t2 = e->AddTrigger();
    t2->SetName(ConvertTextFormat(t1->GetName(), 1));
    std::vector<std::string> m = Collect(*t2);
    EXPECT_EQ(m, std::vector<std::string>{"Error: Trigger name \"TRG_ORDER1\" is not unique."});
    t2->SetName("Trg_Other");
    std::vector<std::string> proposed;
    EXPECT_FALSE(t1->ValidatePropertyValue(
        "ObjectName", "Trg_Orders_Long",
        [&proposed](TVELNamedObject*, int, const std::string& text) { proposed.push_back(text); }));
    EXPECT_EQ(proposed,
              std::vector<std::string>{"Trigger name \"Trg_Orders_Long\" is too long. Max length is 10."});
    t1->Code.clear();
    EXPECT_EQ(Collect(*t1), std::vector<std::string>{"Error: Trigger contains no code."});
    EXPECT_EQ(t1->GetPropertyState("Comment"), 2);
}
