// Attributes, attribute identifier lists and domains: markup, domains applied to columns,
// auto-numbering by trigger, sequence and default, validation and property keys; the deletion
// checks of domains and sequences.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMessages.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zSequence.h"
#include "zTrigger.h"

using namespace ardvin;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

// Three targets, one per auto-number method: 1 trigger ("trig"), 2 sequence and trigger
// ("seqtrig"), 3 sequence and default value ("seqdef").
class AttributeTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.File("trig.def"),
                  "[general]\r\ndbmsname=Trigger Numbers\r\n[keybehaviour]\r\npkalwaysnotnull=1\r\n"
                  "uniquealwaysnotnull=1\r\nautonumberalwaysnotnull=1\r\nautonumberalwaysindexed=1\r\n"
                  "[namelengths]\r\nmaxcolumnnamelength=8\r\n[supported]\r\nenabletriggers=1\r\n"
                  "[triggers]\r\nautonumbertriggertemplate=BEGIN#13#10  :new.id := next();#13#10END\r\n"
                  "[autonumber]\r\nsimulateautonumber=1\r\n");
        WriteFile(dir.File("seqtrig.def"), "[general]\r\ndbmsname=Sequence Triggers\r\n[supported]\r\n"
                                           "enabletriggers=1\r\nenablesequences=1\r\n[triggers]\r\n"
                                           "autonumbertriggertemplate=SET id = NEXT\r\n"
                                           "[autonumber]\r\nsimulateautonumber=2\r\n");
        WriteFile(
            dir.File("seqdef.def"),
            "[general]\r\ndbmsname=Sequence Defaults\r\n[scriptelements]\r\nDELIMITERDDLBEGIN=\"\r\n"
            "DELIMITERDDLEND=\"\r\n[supported]\r\nenablesequences=1\r\nenableschemas=1\r\n[autonumber]\r\n"
            "simulateautonumber=3\r\nautonumberdefaulttemplate=%quotedqualifiedseqname%|"
            "%nonquotedqualifiedseqname%|%quotedsimpleseqname%|%nonquotedsimpleseqname%|%SeqName%\r\n");
        const std::string types = "LISTNAME;BASE;ADD;AUTO\r\n"
                                  "INTEGER;INTEGER;; IDENTITY;Exact Numeric;0;0;1;1\r\n"
                                  "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n"
                                  "BLOB;BLOB;;;Binary;0;0;0\r\n"
                                  "COUNTER;COUNTER;;;Autonumber;0;0;0;1;1\r\n";
        for (const char* id : {"trig", "seqtrig", "seqdef"})
            WriteFile(dir.File(std::string(id) + ".typ"), types);
        TargetDatabases().Build(dir.Path());
    }

    TVELEntity* NewEntity(TVELDataDictionary& dd, const std::string& target,
                          const std::string& name = "Orders") {
        if (dd.GetTarget() != target) dd.SetTarget(target);
        auto* entity = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        entity->SetName(name);
        return entity;
    }
    static std::vector<std::string> Collect(TVELNamedObject& object) {
        return ardvin::test::ValidationMessages(object);
    }

    TempDir dir;
};

} // namespace

TEST_F(AttributeTest, MarkupOmitsEmptyElementsAndReadsFlags) {
    TVELDataDictionary dd;
    TVELEntity* e = NewEntity(dd, "seqdef");
    TVELAttribute* plain = e->AddAttribute();
    plain->SetCheckValue("  "); // blank: not stored
    const std::string text = plain->SaveToMarkup();
    for (const char* absent :
         {"<NNCON>", "<CCON>", "<DEFCON>", "<AUTONUM>", "<AUTONUMBERTRIGGER>", "<AUTONUMBERDEFAULT>",
          "<SEQID>", "<TRIGID>", "<PKGNAME>", "<COLLATE>", "<ATTROPT>"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    EXPECT_NE(text.find("<DOMAINID>-1</DOMAINID>\r\n<DT>"), std::string::npos) << text;

    for (const auto& [value, expected] : std::vector<std::pair<std::string, bool>>{
             {"1", true}, {"yes", true}, {"YES", true}, {"true", false}, {"2", false}}) {
        TVELAttribute* a = e->AddAttribute(false);
        a->LoadFromMarkup(WriteElement("NAME", "A") + WriteElement("AUTONUM", value) +
                          WriteElement("AUTONUMBERDEFAULT", value));
        EXPECT_EQ(a->AutoNumber, expected) << value;
        EXPECT_EQ(a->AutoNumberDefault, expected) << value;
        e->DeleteMember(a);
    }

    // Every optional element, through a whole model and back.
    auto* seq = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    TVELAttribute* full = e->AddAttribute();
    full->DataType->DataType = "INTEGER";
    full->SetNotNull(true);
    full->NotNullConstraint()->NameTemplate = "NN_%tablename%";
    full->SetCheckValue("x > 0");
    full->AutoNumber = true;
    full->SetSequenceID(seq->ID); // method 3: the default comes from the sequence
    full->PackageName = "Basics";
    full->PackageItem = 2;
    full->Collate = "C";
    full->AttributeOptions = "HIDDEN";
    full->ToDo = "to do";
    const std::string saved = dd.SaveToMarkup();
    EXPECT_NE(saved.find("<AUTONUMBERDEFAULT>1</AUTONUMBERDEFAULT>\r\n<SEQID>" + std::to_string(seq->ID)),
              std::string::npos);
    TVELDataDictionary back;
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.SaveToMarkup(), saved);
    auto* copy = dynamic_cast<TVELEntity*>(back.FindObjectByID(e->ID))->FindAttribute(full->ID);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->NotNullConstraint()->NameTemplate, "NN_%tablename%");
    EXPECT_EQ(copy->DefaultValue(), full->DefaultValue());
    EXPECT_EQ(copy->GetSequenceID(), seq->ID);
}

TEST_F(AttributeTest, IdentifierLists) {
    TVELDataDictionary dd;
    TVELEntity* e = NewEntity(dd, "trig");
    TVELAttribute* a = e->AddAttribute();
    a->SetName("A");
    TVELAttribute* b = e->AddAttribute();
    b->SetName("[B]");
    TVELConstraint* c = e->AddConstraint(ctUnique, clTable);
    c->AttributeIDs.LoadFromMarkup(WriteElement("ATTRIBUTEID", "3") + WriteElement("ATTRIBUTEID", "x") +
                                   WriteElement("ATTRIBUTEID", "2") + WriteElement("ATTRIBUTEID", "99") +
                                   WriteElement("ATTRIBUTEID", "") + WriteElement("ATTRIBUTEID", "4"));
    EXPECT_EQ(c->AttributeIDs.CommaText(), "3,2,99"); // up to the first empty entry
    EXPECT_EQ(c->AttributeIDs.NamesText(), "[B], A");
    EXPECT_EQ(c->AttributeIDs.NamesWithAffixes("[", "]"), "[B], [A]");
    std::vector<TVELAttribute*> attributes;
    c->AttributeIDs.GetAttributes(attributes);
    EXPECT_EQ(attributes, (std::vector<TVELAttribute*>{b, a, nullptr}));
    EXPECT_EQ(c->AttributeIDs.AttributeAt(5), nullptr);
    EXPECT_TRUE(c->AttributeIDs.Contains(a));
    EXPECT_TRUE(c->AttributeIDs.Remove(a));
    EXPECT_FALSE(c->AttributeIDs.Remove(a));
    TVELConstraint* other = e->AddConstraint(ctUnique, clTable);
    other->AttributeIDs.LoadFromMarkup(c->AttributeIDs.SaveToMarkup());
    EXPECT_TRUE(other->AttributeIDs.Equals(c->AttributeIDs));
    other->AttributeIDs.SetIDs({99, 3});
    EXPECT_FALSE(other->AttributeIDs.Equals(c->AttributeIDs));
}

TEST_F(AttributeTest, DomainsGiveColumnsTheirDefinition) {
    TVELDataDictionary dd;
    TVELEntity* e = NewEntity(dd, "trig");
    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    domain->SetName("Money");
    domain->SetPropertyValue("DataType", "VARCHAR");
    domain->SetPropertyValue("Length", "12");
    domain->SetPropertyValue("CheckConstraint", "VALUE >= 0");
    domain->SetPropertyValue("DefaultValue", "0");
    TVELAttribute* a = e->AddAttribute();
    a->DataType->DataType = "INTEGER";
    a->DataType->AutoNumber = true;
    a->DataType->Seed = 100;
    a->SetPropertyValue("DataType", "@money");
    EXPECT_EQ(a->DomainID, domain->ID);
    EXPECT_EQ(a->DataType->DataType, "VARCHAR");
    EXPECT_EQ(a->DataType->Length, "12");
    EXPECT_TRUE(a->DataType->AutoNumber); // kept: the domain has none and VARCHAR is no counter
    EXPECT_EQ(a->DataType->Seed, 100);
    EXPECT_EQ(a->CheckValue(), "VALUE >= 0");
    EXPECT_EQ(a->DefaultValue(), "0");
    EXPECT_EQ(a->GetPropertyValue("DataType"), "@Money");
    EXPECT_EQ(a->GetPropertyValue("DomainName"), "Money");
    EXPECT_EQ(a->GetScriptDataType(), "Money"); // VARCHAR has no identity text

    // A counter type is auto-numbered of its own: the column's identity option goes.
    domain->DataType->DataType = "COUNTER";
    a->SetDomainID(-1);
    a->DataType->AutoNumber = true;
    a->SetDomainByName("MONEY");
    EXPECT_FALSE(a->DataType->AutoNumber);
    domain->DataType->DataType = "VARCHAR";

    // A plain type leaves the domain; a domain that does not exist is no domain.
    a->SetPropertyValue("DataType", "INTEGER");
    EXPECT_EQ(a->DomainID, -1);
    a->SetDomainID(12345);
    EXPECT_EQ(a->DomainID, -1);
    a->SetDomainByQualifiedName("Money");
    a->DataType->AutoNumber = true;
    EXPECT_EQ(a->GetScriptDataType(), "Money");

    // Deleting a domain in use is refused and the domain stays.
    try {
        dd.DeleteObject(domain);
        FAIL() << "expected the deletion to be refused";
    } catch (const EVELError& error) {
        EXPECT_STREQ(error.what(),
                     "Unable to delete domain \"Money\" because one or more attributes use this domain.");
    }
    EXPECT_EQ(dd.FindDomain("money"), domain);
    EXPECT_EQ(Collect(*domain), std::vector<std::string>{});
    a->SetDomainID(-1);
    EXPECT_EQ(Collect(*domain), std::vector<std::string>{"Warning: Domain declared but never used."});
    domain->DataType->DataType = "BLOB";
    domain->DataType->Length = "0";
    EXPECT_EQ(Collect(*domain),
              (std::vector<std::string>{"Error: Binary data type \"BLOB\" does not allow a default "
                                        "value.",
                                        "Warning: Domain declared but never used."}));

    // A domain's markup round-trips; then it can go.
    auto* copy = static_cast<TVELDomain*>(dd.CreateObject(otDomain, false));
    copy->LoadFromMarkup(domain->SaveToMarkup());
    EXPECT_EQ(copy->SaveToMarkup(), domain->SaveToMarkup());
    EXPECT_EQ(copy->DefaultValue(), "0");
    dd.DeleteObject(domain);
    EXPECT_EQ(dd.FindDomain("Money"), copy);
}

TEST_F(AttributeTest, AutoNumberingByTrigger) {
    TVELDataDictionary dd;
    TVELEntity* e = NewEntity(dd, "trig");
    TVELAttribute* a = e->AddAttribute();
    a->SetAutoNumberTrigger(true);
    ASSERT_EQ(e->Triggers.Count(), 1);
    TVELTrigger* trigger = e->TriggerAt(0);
    EXPECT_EQ(trigger->GetName(), "Trg_Orders1");
    EXPECT_EQ(trigger->Code, "BEGIN\r\n  :new.id := next();\r\nEND");
    EXPECT_EQ(a->TriggerID, trigger->ID);
    EXPECT_EQ(a->GetTriggerID(), trigger->ID);
    EXPECT_EQ(a->GetPropertyValue("AutoNumberTrigger"), "Yes");
    const std::string text = a->SaveToMarkup();
    EXPECT_NE(text.find("<AUTONUMBERTRIGGER>1</AUTONUMBERTRIGGER>\r\n<TRIGID>2</TRIGID>"), std::string::npos);

    try {
        e->DeleteMember(trigger);
        FAIL() << "expected the deletion to be refused";
    } catch (const EVELError& error) {
        EXPECT_STREQ(error.what(),
                     "Unable to delete trigger \"Trg_Orders1\" because one or more attributes are "
                     "associated with this trigger.");
    }
    EXPECT_EQ(e->Triggers.Count(), 1);

    a->SetPropertyValue("AutoNumberTrigger", "No");
    EXPECT_EQ(e->Triggers.Count(), 0);
    EXPECT_EQ(a->TriggerID, -1);
    EXPECT_EQ(a->SaveToMarkup().find("<TRIGID>"), std::string::npos);
}

TEST_F(AttributeTest, AutoNumberingBySequences) {
    // Method 2: a sequence brings a trigger, taking it away removes the trigger.
    TVELDataDictionary dd;
    TVELEntity* e = NewEntity(dd, "seqtrig");
    auto* seq = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    TVELAttribute* a = e->AddAttribute();
    a->DataType->DataType = "INTEGER";
    a->SetSequenceID(seq->ID);
    ASSERT_EQ(e->Triggers.Count(), 1);
    EXPECT_EQ(e->TriggerAt(0)->Code, "SET id = NEXT");
    EXPECT_EQ(a->GetSequenceID(), seq->ID);
    EXPECT_EQ(a->GetSequence(), seq);
    EXPECT_EQ(a->GetPropertyValue("AttributeSequence"), "Sequence1");
    a->DataType->DataType = "VARCHAR"; // not numbered automatically: no sequence in force
    EXPECT_EQ(a->GetSequenceID(), -1);
    a->DataType->DataType = "INTEGER";
    TVELAttribute* b = e->AddAttribute();
    b->SetPropertyValue("AttributeSequence", "sequence1");
    EXPECT_EQ(b->SequenceID, seq->ID);
    try {
        dd.DeleteObject(seq);
        FAIL() << "expected the deletion to be refused";
    } catch (const EVELError& error) {
        EXPECT_STREQ(error.what(), "Unable to delete sequence \"Sequence1\" because 2 attributes are "
                                   "associated with this sequence.");
    }
    EXPECT_EQ(dd.FindSequence("Sequence1"), seq);
    a->SetSequenceID(-1);
    b->SetSequenceID(-1);
    EXPECT_EQ(e->Triggers.Count(), 0);
    dd.DeleteObject(seq);
    EXPECT_EQ(dd.FindSequence("Sequence1"), nullptr);

    // Method 3: the default value is the template filled in a fixed order; each replacement
    // works on the result of the one before, as the name holding a placeholder shows.
    TVELDataDictionary dd3;
    TVELEntity* e3 = NewEntity(dd3, "seqdef");
    auto* seq3 = static_cast<TVELSequence*>(dd3.CreateObject(otSequence, true));
    seq3->SchemaName = "app";
    seq3->SetName("S%seqname%");
    TVELAttribute* c = e3->AddAttribute();
    c->DataType->DataType = "INTEGER";
    c->SetSequenceID(seq3->ID);
    EXPECT_TRUE(c->AutoNumberDefault);
    EXPECT_EQ(c->DefaultValue(),
              "\"app\".\"SS%seqname%\"|app.SS%seqname%|\"SS%seqname%\"|SS%seqname%|S%seqname%");
    EXPECT_EQ(e3->Triggers.Count(), 0);
    c->SetSequenceID(-1);
    EXPECT_EQ(c->DefaultValue(), "");
    EXPECT_FALSE(c->AutoNumberDefault);

    // A target without sequences lets a referenced sequence go.
    TVELDataDictionary plain;
    TVELEntity* pe = NewEntity(plain, "trig");
    auto* loose = static_cast<TVELSequence*>(plain.CreateObject(otSequence, true));
    pe->AddAttribute()->SequenceID = loose->ID;
    EXPECT_NO_THROW(plain.DeleteObject(loose));
    EXPECT_EQ(plain.Count(), 1);
}

TEST_F(AttributeTest, ValidationMessages) {
    TVELDataDictionary dd;
    TVELEntity* e = NewEntity(dd, "trig");
    TVELAttribute* key = e->AddAttribute();
    key->SetName("Id");
    e->AddToPrimaryKey(key);
    EXPECT_EQ(Collect(*key),
              std::vector<std::string>{"Error: Primary key attribute must be not null (required)."});
    key->SetPrimaryKey(true); // through the attribute: the target makes key columns required
    EXPECT_TRUE(key->IsNotNull());
    EXPECT_TRUE(Collect(*key).empty());

    TVELAttribute* blob = e->AddAttribute();
    blob->SetName("LongerThan8");
    blob->DataType->DataType = "BLOB";
    blob->SetDefaultValue("x");
    EXPECT_EQ(Collect(*blob),
              (std::vector<std::string>{"Error: Attribute name \"LongerThan8\" is too long. Max length is 8.",
                                        "Error: Binary data type \"BLOB\" does not allow a default value."}));

    TVELAttribute* code = e->AddAttribute();
    code->SetName("Code");
    for (int i = 0; i < 2; ++i)
        e->AddConstraint(ctUnique, clTable)->AttributeIDs.Add(code);
    code->DataType->DataType = "INTEGER";
    code->DataType->AutoNumber = true;
    code->DomainID = 777; // stale
    EXPECT_EQ(
        Collect(*code),
        (std::vector<std::string>{
            "Error: Attribute is part of one or more unique constraint(s) but is not defined as not null.",
            "Error: Autonumber/AUTO_INCREMENT attribute must be required.",
            "Error: Autonumber/AUTO_INCREMENT attribute must be indexed (Primary key or user defined "
            "index)."}));
    EXPECT_EQ(code->DomainID, -1);
    code->SetPropertyValue("NotNull", "Yes");
    e->AddIndex()->AddColumn(code);
    EXPECT_TRUE(Collect(*code).empty());
    EXPECT_TRUE(code->Validate(true, [](TVELNamedObject*, int, const std::string&) {}));
}

TEST_F(AttributeTest, PropertyKeys) {
    TVELDataDictionary dd;
    TVELEntity* e = NewEntity(dd, "trig");
    TVELAttribute* a = e->AddAttribute();
    a->SetName("Code");
    EXPECT_EQ(a->GetPropertyValue("Key"), "");
    a->SetPropertyValue("PrimaryKey", "Yes");
    EXPECT_EQ(a->GetPropertyValue("Key"), "(PK)");
    EXPECT_EQ(a->GetPropertyValue("NotNull"), "Yes");
    a->SetPropertyValue("NotNull", "No");
    EXPECT_FALSE(a->IsNotNull());
    a->SetPropertyValue("DefaultValue", "'A'");
    a->SetPropertyValue("CheckConstraint", "Code <> ''");
    a->SetPropertyValue("DefaultConstraintNameTemplate", "DF_%tablename%_%column%");
    a->SetPropertyValue("checkconstraintoptions", "NOT ENFORCED");
    EXPECT_EQ(a->GetPropertyValue("DefaultConstraintName"), "DF_Orders_Code");
    EXPECT_EQ(a->CheckConstraint()->ConstraintOptions, "NOT ENFORCED");
    // Reading the column constraints of a column that has none makes none.
    TVELAttribute* b = e->AddAttribute();
    EXPECT_EQ(b->GetPropertyValue("NotNullConstraintNameTemplate"), "");
    EXPECT_EQ(b->GetPropertyValue("CheckConstraint"), "");
    EXPECT_FALSE(b->IsNotNull());
    b->Validate(true, [](TVELNamedObject*, int, const std::string&) {});
    b->SaveToMarkup();
    for (int32_t id : {1, 2, 3})
        EXPECT_EQ(b->ExistingColumnConstraint(id), nullptr) << id;
    a->SetPropertyValue("DataType", "VARCHAR");
    a->SetPropertyValue("Length", "30");
    EXPECT_EQ(a->DataType->Length, "30");
    EXPECT_EQ(a->GetPropertyValue("PhysName"), "VARCHAR(30)");
    EXPECT_EQ(a->GetPropertyValue("DataType"), "VARCHAR(30)");
    EXPECT_EQ(a->GetPropertyValue("ObjectName"), "Code"); // not the data type's
    a->SetPropertyValue("Collate", "de_DE");
    a->SetPropertyValue("AttributeOptions", "INVISIBLE");
    EXPECT_EQ(a->GetPropertyValue("Collate"), "de_DE");
    EXPECT_EQ(a->GetPropertyValue("AttributeOptions"), "INVISIBLE");
    EXPECT_EQ(a->GetQualifiedDisplayName(), "Orders.Code");
    a->SetPropertyValue("AutoNumber", "Yes");
    EXPECT_TRUE(a->AutoNumber);
    EXPECT_TRUE(a->DataType->AutoNumber);
}
