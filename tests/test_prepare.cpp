// Preparing a copy of a model for generation: the options that remove objects, empty texts,
// drop constraint names, convert domains, put a prefix before names and change their case.
#include <gtest/gtest.h>

#include "TestModelBuilder.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDiagramOnly.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

class PrepareTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.File("full.def"),
                  "[general]\r\ndbmsname=Full Target\r\n"
                  "[scriptelements]\r\ninternaltextformat=Upper case\r\n"
                  "[prefixes]\r\napplyprefixto=Entity;Index;Sequence\r\n"
                  "[supported]\r\nenablesequences=1\r\nenableviews=1\r\nenableprocedures=1\r\n"
                  "enablerules=1\r\nenabletriggers=1\r\nenableschemas=1\r\nenablecolumncollate=1\r\n"
                  "enableindexoptions=1\r\nenabletablecomments=1\r\n"
                  "enableuniqueconstraintoptions=1\r\n");
        WriteFile(dir.File("full.typ"), "LISTNAME;BASE;ADD\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                        "VARCHAR;VARCHAR(%L);[%CHARACTERSET];;String;50;0;0\r\n");
        WriteFile(dir.File("bare.def"), "[general]\r\ndbmsname=Bare Target\r\n[supported]\r\nenablerefint=0\r\n"
                                        "enabledomains=0\r\nenablepkconstraintnames=0\r\nenablepkconstraintoptions=0\r\n");
        TargetDatabases().Build(dir.Path());
        dd.SetTarget("full");
        parent = AddEntity("Parent");
        child = AddEntity("Child");
        relationship = ardvin::test::Relate(dd, parent, child);
        relationship->FKConstraint->NameFromTemplate = false;
        relationship->FKConstraint->SetName("FK_Child_Parent");
    }

    TVELEntity* AddEntity(const std::string& name) {
        TVELEntity* entity = ardvin::test::NewTable(dd, name);
        TVELAttribute* id = entity->AddAttribute();
        id->SetName("Id");
        id->DataType->DataType = "INTEGER";
        id->SetPrimaryKey(true);
        entity->PrimaryKey->NameFromTemplate = false;
        entity->PrimaryKey->SetName("PK_" + name);
        return entity;
    }

    TVELAttribute* AddColumn(TVELEntity* entity, const std::string& name) {
        TVELAttribute* a = entity->AddAttribute();
        a->SetName(name);
        a->DataType->DataType = "VARCHAR";
        a->DataType->Length = "20";
        return a;
    }

    TVELIndex* AddIndex(TVELEntity* entity, const std::string& name, uint8_t kind) {
        TVELIndex* index = entity->AddIndex();
        index->NameFromTemplate = false;
        index->SetName(name);
        index->IndexKind = kind;
        index->AddColumn(entity->AttributeAt(0));
        return index;
    }

    void Prepare(std::initializer_list<std::pair<const char*, const char*>> values) {
        TVELSettingsList options;
        for (const auto& [key, value] : values) options.SetValue(key, value);
        dd.Prepare(&options);
    }

    TempDir dir;
    TVELDataDictionary dd;
    TVELEntity* parent = nullptr;
    TVELEntity* child = nullptr;
    TVELRelationship* relationship = nullptr;
};

}  // namespace

TEST_F(PrepareTest, MissingOptionsRaise) {
    try {
        dd.Prepare(nullptr);
        FAIL() << "no exception";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Prepare options in prepare procedure may not be nil.");
    }
    EXPECT_FALSE(dd.Preparing);
}

TEST_F(PrepareTest, DiagramOnlyObjectsGoUnlessKept) {
    dd.CreateObject(otTextArea, true);
    dd.CreateObject(otStamp, true);
    dd.CreateObject(otGroupbox, true);
    Prepare({{"DONOTDELETETEXTAREASANDGROUPBOXES", "1"}});
    EXPECT_EQ(dd.CountOfClass<TVELTextArea>() + dd.CountOfClass<TVELStamp>() + dd.CountOfClass<TVELGroupbox>(), 3);
    Prepare({{"DONOTDELETETEXTAREASANDGROUPBOXES", "0"}});
    EXPECT_EQ(dd.CountOfClass<TVELTextArea>() + dd.CountOfClass<TVELStamp>() + dd.CountOfClass<TVELGroupbox>(), 0);
    EXPECT_EQ(dd.CountOfClass<TVELEntity>(), 2);
}

TEST_F(PrepareTest, IndexesOfEachKindAreLeftOutByTheirOption) {
    AddIndex(parent, "PkIndex", ikPrimaryKey);
    AddIndex(parent, "FkIndex", ikForeignKey);
    AddIndex(parent, "AkIndex", ikAlternateKey);
    AddIndex(parent, "Other", ikUserDefined)->IndexOptions = "WITH (fillfactor=70)";
    Prepare({{"DONOTUSEINDEXESONPK", "1"}, {"DONOTUSEINDEXESONAK", "1"}, {"DONOTUSEINDEXESONFK", "0"}});
    ASSERT_EQ(parent->Indexes.Count(), 2);
    EXPECT_EQ(parent->IndexAt(0)->GetName(), "FkIndex");
    EXPECT_EQ(parent->IndexAt(1)->IndexOptions, "WITH (fillfactor=70)");
    Prepare({{"DONOTUSEINDEXOPTIONS", "1"}});
    EXPECT_EQ(parent->IndexAt(1)->IndexOptions, "");
    Prepare({{"DONOTUSEOTHERINDEXES", "1"}, {"DONOTUSEINDEXESONFK", "1"}});
    EXPECT_EQ(parent->Indexes.Count(), 0);
}

TEST_F(PrepareTest, KindsOfObjectsAndCodeObjectsWithoutCode) {
    auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
    view->Code = "  \r\n ";
    auto* kept = static_cast<TVELView*>(dd.CreateObject(otView, true));
    kept->Code = "CREATE VIEW v AS -- all parents\r\n\r\nSELECT * FROM Parent /* plain */";
    auto* proc = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
    proc->Code = "CREATE PROCEDURE p AS\r\n\r\n  SELECT 1";
    dd.CreateObject(otRule, true);
    auto* sequence = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    sequence->Seed = 100;
    auto* down = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    down->Seed = 100;
    down->Increment = -2;
    down->Max = "50";
    AddColumn(child, "Number")->SequenceID = sequence->ID;
    Prepare({{"DONOTUSECOMMENTSINCODE", "1"}, {"DONOTUSEEMPTYLINES", "1"}, {"DONOTUSESEQUENCESEED", "1"}});
    EXPECT_EQ(dd.CountOfClass<TVELView>(), 1);
    EXPECT_EQ(kept->Code.find("all parents"), std::string::npos) << kept->Code;
    EXPECT_EQ(kept->Code.find("plain"), std::string::npos) << kept->Code;
    EXPECT_EQ(proc->Code, "CREATE PROCEDURE p AS\r\n  SELECT 1");
    EXPECT_EQ(sequence->Seed, 1) << "an ascending sequence starts at its minimum";
    EXPECT_EQ(down->Seed, 50) << "a descending one at its maximum";
    sequence->Min = "10";
    Prepare({{"DONOTUSESEQUENCESEED", "1"}});
    EXPECT_EQ(sequence->Seed, 10);
    Prepare({{"DONOTUSEVIEWS", "1"}, {"DONOTUSEPROCEDURES", "1"}, {"DONOTUSERULES", "1"}, {"DONOTUSESEQUENCES", "1"}});
    EXPECT_EQ(dd.CountOfClass<TVELView>() + dd.CountOfClass<TVELProcedure>() + dd.CountOfClass<TVELRule>() +
                  dd.CountOfClass<TVELSequence>(),
              0);
    EXPECT_EQ(child->AttributeAt(2)->SequenceID, -1);
}

TEST_F(PrepareTest, TableTextsAttributesAndTriggers) {
    parent->BeginTableScript = "-- before";
    parent->EndTableScript = "-- after";
    parent->TableOptions = "TABLESPACE t";
    TVELAttribute* name = AddColumn(parent, "Name");
    name->Collate = "C";
    name->DataType->Collation = "C";
    name->DataType->CharacterSet = "utf8mb4";
    TVELTrigger* trigger = parent->AddTrigger();
    trigger->Code = "CREATE TRIGGER t -- note\r\n\r\nBEGIN END";
    name->SetAutoNumberTrigger(true);  // an auto-number trigger goes as well
    ASSERT_EQ(parent->Triggers.Count(), 2);
    Prepare({{"USEEXPLICITNULLABILITY", "1"}, {"DONOTUSECOMMENTSINCODE", "1"}});
    EXPECT_EQ(name->ExplicitNullText, "NULL");
    EXPECT_EQ(name->Collate, "C");
    EXPECT_EQ(parent->TableOptions, "TABLESPACE t");
    EXPECT_EQ(trigger->Code.find("note"), std::string::npos);
    EXPECT_NE(trigger->Code.find("BEGIN END"), std::string::npos);
    Prepare({{"DONOTUSETABLESCRIPTS", "1"}, {"DONOTUSETABLEOPTIONS", "1"}, {"DONOTUSECOLLATIONS", "1"},
             {"DONOTUSECHARSETS", "1"}, {"DONOTUSETRIGGERS", "1"}});
    EXPECT_EQ(name->ExplicitNullText, "");
    EXPECT_EQ(parent->BeginTableScript + parent->EndTableScript + parent->TableOptions, "");
    EXPECT_EQ(name->Collate + name->DataType->Collation + name->DataType->CharacterSet, "");
    EXPECT_EQ(parent->Triggers.Count(), 0);
}

TEST_F(PrepareTest, ConstraintNamesAndConstraints) {
    TVELAttribute* name = AddColumn(child, "Name");
    name->SetNotNull(true);
    name->SetDefaultValue("'x'");
    name->SetCheckValue("Name <> ''");
    name->NotNullConstraint()->SetName("NN_Name");
    TVELConstraint* unique = child->AddConstraint(ctUnique, clTable);
    unique->AttributeIDs.Add(name);
    unique->NameFromTemplate = false;
    unique->SetName("UQ_Name");
    unique->ConstraintOptions = "DEFERRABLE";
    TVELConstraint* check = child->AddConstraint(ctCheck, clTable);
    check->NameFromTemplate = false;
    check->SetName("CK_Child");
    check->Value = "Id > 0";

    Prepare({{"DONOTUSEPKCONNAMES", "1"}, {"DONOTUSEUNIQUECONNAMES", "1"}, {"DONOTUSEFKCONNAMES", "1"},
             {"DONOTUSENOTNULLCONNAMES", "1"}, {"DONOTUSECONSTRAINTOPTIONS", "1"}, {"CHANGETEXTFORMAT", "0"}});
    EXPECT_EQ(child->PrimaryKey->GetName(), "");
    EXPECT_EQ(child->PrimaryKey->AttributeIDs.Count(), 1);
    EXPECT_EQ(unique->GetName(), "");
    EXPECT_EQ(unique->ConstraintOptions, "");
    EXPECT_EQ(relationship->FKConstraint->GetName(), "");
    EXPECT_EQ(name->NotNullConstraint()->GetName(), "");
    EXPECT_TRUE(name->IsNotNull());
    EXPECT_EQ(check->GetName(), "CK_Child");

    Prepare({{"DONOTUSECHECKCONSTRAINTS", "1"}, {"DONOTUSEDEFAULTS", "1"}, {"DONOTUSEALTERNATEKEYS", "1"}});
    EXPECT_EQ(child->Constraints.Count(), 0);
    EXPECT_EQ(name->CheckValue(), "");
    EXPECT_EQ(name->DefaultValue(), "");
    EXPECT_TRUE(name->IsNotNull());

    const int columns = child->Attributes.Count();
    Prepare({{"DONOTUSEPRIMARYKEYS", "1"}, {"DONOTUSEFOREIGNKEYS", "1"}});
    EXPECT_TRUE(child->PrimaryKey->AttributeIDs.Empty());
    EXPECT_EQ(dd.CountOfClass<TVELRelationship>(), 0);
    EXPECT_EQ(child->Attributes.Count(), columns) << "foreign-key columns stay";
}

TEST_F(PrepareTest, DomainsAreConvertedOrKept) {
    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    domain->SetName("Code");
    domain->DataType->DataType = "VARCHAR";
    domain->DataType->Length = "8";
    domain->DataType->CharacterSet = "latin1";
    domain->DefaultConstraint()->Value = "'A'";
    TVELAttribute* a = AddColumn(parent, "Code");
    a->SetDomainID(domain->ID);
    a->DataType->Length = "99";  // changed behind the domain's back
    TVELAttribute* lost = AddColumn(parent, "Lost");
    lost->DomainID = 4711;

    Prepare({{"DONOTUSECHARSETS", "1"}});
    EXPECT_EQ(lost->DomainID, -1);
    EXPECT_EQ(a->DomainID, domain->ID);
    EXPECT_EQ(a->DefaultValue(), "") << "the domain brings the default";
    EXPECT_EQ(domain->DataType->CharacterSet, "");

    domain->DataType->CharacterSet = "latin1";
    // The domain's check names the value VALUE; on the column it names the column, outside
    // literals and quoted names.
    domain->CheckConstraint()->Value = "VALUE <> 'VALUE' AND \"VALUE\" > value_2 AND (value IS NULL)";
    TVELAttribute* own = AddColumn(parent, "Own");
    own->SetCheckValue("VALUE > 0");
    Prepare({{"CONVERTDOMAINS", "1"}});
    EXPECT_EQ(dd.CountOfClass<TVELDomain>(), 0);
    EXPECT_EQ(a->DomainID, -1);
    EXPECT_EQ(a->DataType->Length, "8");
    EXPECT_EQ(a->DataType->CharacterSet, "latin1");
    EXPECT_EQ(a->DefaultValue(), "'A'");
    const std::string column = dd.GetDatabaseSettings()->QuoteDDL("Code");
    EXPECT_EQ(a->CheckValue(),
              column + " <> 'VALUE' AND \"VALUE\" > value_2 AND (" + column + " IS NULL)");
    EXPECT_EQ(own->CheckValue(), "VALUE > 0") << "a column's own check is not a domain's";
}

TEST_F(PrepareTest, CommentsSchemasPrefixAndTextFormat) {
    parent->Comment = "Parents";
    parent->SchemaName = "sales";
    AddColumn(parent, "Name")->Comment = "The name";
    AddIndex(parent, "IxName", ikUserDefined);
    TVELTrigger* trigger = parent->AddTrigger();
    trigger->SetName("TrParent");
    trigger->Code = "x";
    auto* sequence = dd.CreateObject(otSequence, true);
    sequence->SetName("Numbers");
    auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
    view->SetName("AllParents");
    view->Code = "CREATE VIEW AllParents AS SELECT 1";

    Prepare({{"DONOTUSECOMMENTS", "1"}, {"DONOTUSESCHEMANAMES", "1"}, {"GLOBALPREFIX", " app_ "}});
    EXPECT_EQ(parent->Comment + parent->AttributeAt(1)->Comment, "");
    EXPECT_EQ(parent->SchemaName, "");
    EXPECT_EQ(parent->GetName(), "app_Parent");
    EXPECT_EQ(parent->IndexAt(0)->GetName(), "app_IxName");
    EXPECT_EQ(trigger->GetName(), "TrParent") << "triggers are not prefixed on this target";
    EXPECT_EQ(sequence->GetName(), "app_Numbers");
    EXPECT_EQ(view->GetName(), "AllParents");

    Prepare({{"CHANGETEXTFORMAT", "1"}});
    EXPECT_EQ(parent->GetName(), "APP_PARENT");
    EXPECT_EQ(parent->AttributeAt(1)->GetName(), "NAME");
    EXPECT_EQ(parent->IndexAt(0)->GetName(), "APP_IXNAME");
    EXPECT_EQ(parent->PrimaryKey->GetName(), "PK_PARENT");
    EXPECT_EQ(relationship->FKConstraint->GetName(), "FK_CHILD_PARENT");
}

TEST_F(PrepareTest, DefaultOptionsFollowTheTargetsCapabilities) {
    TVELSettingsList full, bare;
    TVELDataDictionary::DefaultPrepareOptions(full, *dd.GetDatabaseSettings());
    EXPECT_EQ(full.GetValue("CHANGETEXTFORMAT"), "1");
    EXPECT_FALSE(full.Has("DONOTUSEVIEWS"));
    EXPECT_FALSE(full.Has("DONOTUSEFOREIGNKEYS"));
    EXPECT_FALSE(full.Has("DONOTUSEINDEXOPTIONS"));
    EXPECT_EQ(full.GetValue("DONOTUSECONSTRAINTOPTIONS"), "") << "unique constraint options are supported";

    TVELDataDictionary other;
    other.SetTarget("bare");
    TVELDataDictionary::DefaultPrepareOptions(bare, *other.GetDatabaseSettings());
    for (const char* key : {"CHANGETEXTFORMAT", "DONOTUSEFOREIGNKEYS", "CONVERTDOMAINS", "DONOTUSEPKCONNAMES",
                            "DONOTUSEVIEWS", "DONOTUSEPROCEDURES", "DONOTUSERULES", "DONOTUSESEQUENCES",
                            "DONOTUSECOMMENTS", "DONOTUSESCHEMANAMES", "DONOTUSEINDEXOPTIONS",
                            "DONOTUSECOLLATIONS", "DONOTUSECONSTRAINTOPTIONS"})
        EXPECT_EQ(bare.GetValue(key), "1") << key;
    EXPECT_FALSE(bare.Has("DONOTUSEFKCONNAMES"));
    EXPECT_FALSE(bare.Has("DONOTUSETABLEOPTIONS"));
}
