#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zDCR.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zSLDatatypes.h"
#include "zSequence.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::DefinitionsDir;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

struct Message {
    const TVELNamedObject* Object;
    int Level;
    std::string Text;
};

// A model of one target holding a column of every type of the target (hidden ones too), with
// lengths, precisions, items, identity, nullability and defaults set where the type takes them.
class SwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        TargetDatabases().Build(DefinitionsDir());
        dd.OnMessage = [this](TVELNamedObject* object, int level, const std::string& text) {
            messages.push_back({object, level, text});
        };
    }

    struct Column {
        std::string Type, Length, Items, Default;
        int32_t Precision = 0;
        bool Identity = false, NotNull = false;
        int Group = 0;
    };

    static Column Snapshot(const TVELAttribute& a) {
        Column c;
        c.Type = a.DataType->DataType;
        c.Length = a.DataType->Length;
        c.Precision = a.DataType->Precision;
        c.Items = a.DataType->Items;
        c.Identity = a.DataType->AutoNumber;
        c.NotNull = a.IsNotNull();
        c.Default = a.DefaultValue();
        const TSLDatatypes* types = a.GetDataTypes();
        c.Group = types->TypeGroup(c.Type);
        return c;
    }

    TVELEntity* EveryType(const std::string& target) {
        dd.Clear();
        dd.SetTarget(target);
        auto* entity = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        entity->SetName("AllTypes");
        const TSLDatatypes& types = *dd.GetDataTypes();
        for (int i = 0; i < types.Count(); ++i) {
            const TDataTypeRecord& type = types.Record(i);
            TVELAttribute* a = entity->AddAttribute(true);
            a->SetName("C" + std::to_string(i));
            a->DataType->DataType = type.ListName;
            const uint32_t caps = type.Capabilities;
            if (caps & dcLength)
                a->DataType->Length = std::to_string(type.MaxLength > 0 && type.MaxLength < 20 ? type.MaxLength : 20);
            if (caps & dcPrecision) a->DataType->Precision = 3;
            if (caps & dcItems) a->DataType->Items = "'a','b'";
            a->DataType->AutoNumber = type.IsAutoNumber && (caps & dcAutoNumber);
            a->SetNotNull(i % 2 == 0 || a->DataType->AutoNumber);
            if (type.Group == tgString && i % 3 == 0) a->SetDefaultValue("'x'");
            if (type.Group == tgExactNumeric && i % 3 == 1) a->SetDefaultValue("7");
        }
        return entity;
    }

    std::vector<std::string> TextsAbout(const TVELNamedObject* object) const {
        std::vector<std::string> texts;
        for (const Message& m : messages)
            if (m.Object == object) texts.push_back(m.Text);
        return texts;
    }
    bool Mentions(const TVELNamedObject* object, const std::string& word) const {
        for (const std::string& text : TextsAbout(object))
            if (FindText(text, word) != std::string::npos) return true;
        return false;
    }
    bool AnyMessageContains(const std::string& text) const {
        for (const Message& m : messages)
            if (m.Text.find(text) != std::string::npos) return true;
        return false;
    }

    // Whether the change of a column from before to after is explained: kept, set by a rule,
    // or reported in a message about the column.
    void ExpectKeptOrExplained(const std::string& from, const std::string& to, const Column& before,
                               const TVELAttribute& after) {
        SCOPED_TRACE(from + " -> " + to + ": " + before.Type);
        const TSLDatatypes& types = *dd.GetDataTypes();
        ASSERT_GE(types.IndexOf(after.DataType->DataType), 0);
        TVELTypeConversionRules rules;
        rules.LoadFromFile(DefinitionsDir() + "/" + to + ".dcr", from);
        std::string ruleLength = before.Length, ruleType;
        int32_t rulePrecision = before.Precision;
        const bool ruled = rules.Convert(before.Type, ruleLength, rulePrecision, ruleType);
        if (after.DataType->Length != before.Length) {
            EXPECT_TRUE((ruled && after.DataType->Length == ruleLength) || Mentions(&after, "length"))
                << after.DataType->DataType << " length " << after.DataType->Length;
        }
        if (after.DataType->Precision != before.Precision) {
            EXPECT_TRUE((ruled && after.DataType->Precision == rulePrecision) || Mentions(&after, "precision"))
                << after.DataType->DataType << " precision " << after.DataType->Precision;
        }
        if (after.DataType->Items != before.Items) {
            EXPECT_TRUE(Mentions(&after, "items"));
        }
        EXPECT_EQ(after.IsNotNull(), before.NotNull);
        EXPECT_EQ(after.DefaultValue(), before.Default);
        if (before.Identity || before.Group == tgAutonumber) {
            EXPECT_TRUE(after.DataType->AutoNumber || types.TypeGroup(after.DataType->DataType) == tgAutonumber ||
                        Mentions(&after, "identity"))
                << after.DataType->DataType;
        }
    }

    TVELDataDictionary dd;
    std::vector<Message> messages;
};

} // namespace

TEST_F(SwitchTest, EveryTypeOfEveryTargetMovesToEveryOtherTargetAndBack) {
    // Every target that ships conversion rules takes part; a new target joins with its rules.
    std::vector<std::string> targets;
    for (const TTargetEntry& entry : TargetDatabases().Entries())
        if (std::filesystem::exists(DefinitionsDir() + "/" + entry.Id + ".dcr")) targets.push_back(entry.Id);
    for (const char* id : {"dbindependent", "postgresql15", "mysql8", "mariadb10", "sqlite3"})
        EXPECT_NE(std::find(targets.begin(), targets.end(), id), targets.end()) << id;
    for (const std::string& from : targets)
        for (const std::string& to : targets) {
            if (from == to) continue;
            SCOPED_TRACE(from + " -> " + to);
            TVELEntity* entity = EveryType(from);
            std::vector<Column> before;
            for (int i = 0; i < entity->Attributes.Count(); ++i) before.push_back(Snapshot(*entity->AttributeAt(i)));
            // The portable types: those the other target offers by their definition id.
            TSLDatatypes fromTypes, toTypes;
            fromTypes.LoadFromFile(DefinitionsDir() + "/" + from + ".typ");
            toTypes.LoadFromFile(DefinitionsDir() + "/" + to + ".typ");
            TVELTypeConversionRules rules;
            rules.LoadFromFile(DefinitionsDir() + "/" + to + ".dcr", from);

            messages.clear();
            dd.ChangeTarget(to);
            EXPECT_EQ(dd.GetTarget(), to);
            EXPECT_FALSE(AnyMessageContains("No exact match found"));
            std::vector<Column> there;
            for (int i = 0; i < entity->Attributes.Count(); ++i) {
                ExpectKeptOrExplained(from, to, before[i], *entity->AttributeAt(i));
                there.push_back(Snapshot(*entity->AttributeAt(i)));
            }

            messages.clear();
            dd.ChangeTarget(from);
            EXPECT_FALSE(AnyMessageContains("No exact match found"));
            for (int i = 0; i < entity->Attributes.Count(); ++i) {
                const TVELAttribute& back = *entity->AttributeAt(i);
                ExpectKeptOrExplained(to, from, there[i], back);
                const TDataTypeRecord* type = fromTypes.Find(before[i].Type);
                std::string l = before[i].Length, ruleType;
                int32_t p = before[i].Precision;
                const bool portable = type->DefinitionID > 0 && toTypes.IndexOfDefinition(type->DefinitionID) >= 0 &&
                                      type->Group != tgAutonumber && !rules.Convert(type->ListName, l, p, ruleType) &&
                                      fromTypes.IndexOfDefinition(type->DefinitionID) == fromTypes.IndexOf(type->ListName);
                if (!portable) continue;
                SCOPED_TRACE("round trip of " + before[i].Type + " through " + there[i].Type);
                EXPECT_EQ(back.DataType->DataType, before[i].Type);
                if (there[i].Length == before[i].Length) {
                    EXPECT_EQ(back.DataType->Length, before[i].Length);
                }
                if (there[i].Precision == before[i].Precision) {
                    EXPECT_EQ(back.DataType->Precision, before[i].Precision);
                }
            }
        }
}

TEST_F(SwitchTest, LengthRangesIdentityAndDefaults) {
    dd.SetTarget("postgresql15");
    auto* t = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    auto add = [&](const char* type, const char* length, const char* defaultValue = "") {
        TVELAttribute* a = t->AddAttribute(true);
        a->DataType->DataType = type;
        a->DataType->Length = length;
        if (*defaultValue) a->SetDefaultValue(defaultValue);
        return a;
    };
    TVELAttribute* shortText = add("VARCHAR", "300", "'now()'");
    TVELAttribute* hugeText = add("VARCHAR", "100000");
    TVELAttribute* unbounded = add("VARCHAR", "0");
    TVELAttribute* wideChar = add("CHAR", "300");
    TVELAttribute* serial = add("SERIAL", "0");
    TVELAttribute* bigSerial = add("BIGSERIAL", "0");
    TVELAttribute* stamp = add("TIMESTAMP", "0", "now()");
    TVELAttribute* uuid = add("UUID", "0", "gen_random_uuid()");
    TVELAttribute* today = add("DATE", "0", "CURRENT_DATE");
    TVELAttribute* money = add("MONEY", "0");
    dd.ChangeTarget("mysql8");
    EXPECT_EQ(shortText->GetDisplayDataType(), "VARCHAR(300)");
    EXPECT_EQ(shortText->DefaultValue(), "'now()'"); // literals are left alone
    EXPECT_EQ(hugeText->DataType->DataType, "LONGTEXT");
    EXPECT_EQ(hugeText->DataType->Length, "0");
    EXPECT_EQ(unbounded->DataType->DataType, "LONGTEXT");
    EXPECT_EQ(wideChar->GetDisplayDataType(), "VARCHAR(300)");
    EXPECT_EQ(serial->DataType->DataType, "INT");
    EXPECT_TRUE(serial->DataType->AutoNumber);
    EXPECT_EQ(bigSerial->DataType->DataType, "BIGINT");
    EXPECT_TRUE(bigSerial->DataType->AutoNumber);
    EXPECT_EQ(stamp->DataType->DataType, "DATETIME");
    EXPECT_EQ(stamp->DefaultValue(), "now()");
    EXPECT_EQ(uuid->GetDisplayDataType(), "CHAR(36)");
    EXPECT_EQ(uuid->DefaultValue(), "(UUID())");
    EXPECT_EQ(today->DefaultValue(), "(CURRENT_DATE)");
    EXPECT_EQ(money->GetDisplayDataType(), "DECIMAL(19,2)");

    // Back: identity columns keep their identity, functions come in the target's words.
    dd.ChangeTarget("postgresql15");
    EXPECT_EQ(serial->DataType->DataType, "INTEGER");
    EXPECT_TRUE(serial->DataType->AutoNumber);
    EXPECT_EQ(bigSerial->DataType->DataType, "BIGINT");
    EXPECT_TRUE(bigSerial->DataType->AutoNumber);
    EXPECT_EQ(uuid->DefaultValue(), "(gen_random_uuid())");

    // To SQLite: INTEGER is its only auto-numbered type; functions of its own.
    dd.ChangeTarget("sqlite3");
    EXPECT_EQ(bigSerial->DataType->DataType, "INTEGER");
    EXPECT_TRUE(bigSerial->DataType->AutoNumber);
    EXPECT_EQ(stamp->DefaultValue(), "CURRENT_TIMESTAMP");
    EXPECT_EQ(stamp->DataType->DataType, "DATETIME");
    stamp->SetDefaultValue("datetime( 'now' )");
    today->SetDefaultValue("(date('now'))");
    dd.ChangeTarget("postgresql15");
    EXPECT_EQ(stamp->DefaultValue(), "CURRENT_TIMESTAMP");
    EXPECT_EQ(today->DefaultValue(), "CURRENT_DATE");
    dd.ChangeTarget("mysql8");
    t->AttributeAt(0)->SetDefaultValue("CURDATE()");
    dd.ChangeTarget("dbindependent");
    EXPECT_EQ(t->AttributeAt(0)->DefaultValue(), "CURRENT_DATE");
}

TEST_F(SwitchTest, SqlServerOracleDb2AndFirebirdTypesAndFunctions) {
    dd.SetTarget("postgresql15");
    auto* t = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    auto add = [&](const char* type, const char* length, int32_t precision = 0, const char* defaultValue = "") {
        TVELAttribute* a = t->AddAttribute(true);
        a->DataType->DataType = type;
        a->DataType->Length = length;
        a->DataType->Precision = precision;
        if (*defaultValue) a->SetDefaultValue(defaultValue);
        return a;
    };
    TVELAttribute* name = add("VARCHAR", "300");
    TVELAttribute* huge = add("VARCHAR", "10000");
    TVELAttribute* code = add("CHAR", "300");
    TVELAttribute* amount = add("NUMERIC", "30", 2);
    TVELAttribute* flag = add("BOOLEAN", "0", 0, "true");
    TVELAttribute* stamp = add("TIMESTAMP", "0", 3, "now()");
    TVELAttribute* day = add("DATE", "0", 0, "CURRENT_DATE");
    TVELAttribute* uuid = add("UUID", "0", 0, "gen_random_uuid()");
    TVELAttribute* json = add("JSONB", "0");
    TVELAttribute* serial = add("BIGSERIAL", "0");

    dd.ChangeTarget("mssqlserver2019");
    EXPECT_FALSE(AnyMessageContains("No exact match found"));
    EXPECT_EQ(name->GetDisplayDataType(), "VARCHAR(300)");
    EXPECT_EQ(huge->GetDisplayDataType(), "VARCHAR(MAX)");
    EXPECT_EQ(code->GetDisplayDataType(), "CHAR(300)");
    EXPECT_EQ(amount->GetDisplayDataType(), "NUMERIC(30,2)");
    EXPECT_EQ(flag->GetDisplayDataType(), "BIT");
    EXPECT_EQ(flag->DefaultValue(), "1");
    EXPECT_EQ(stamp->GetDisplayDataType(), "DATETIME2(3)");
    EXPECT_EQ(stamp->DefaultValue(), "GETDATE()");
    EXPECT_EQ(day->DefaultValue(), "CONVERT(date, GETDATE())");
    EXPECT_EQ(uuid->GetDisplayDataType(), "UNIQUEIDENTIFIER");
    EXPECT_EQ(uuid->DefaultValue(), "NEWID()");
    EXPECT_EQ(json->GetDisplayDataType(), "NVARCHAR(MAX)");
    EXPECT_EQ(serial->DataType->DataType, "BIGINT");
    EXPECT_TRUE(serial->DataType->AutoNumber);

    dd.ChangeTarget("oracle19");
    EXPECT_FALSE(AnyMessageContains("No exact match found"));
    EXPECT_EQ(name->GetDisplayDataType(), "VARCHAR2(300)");
    EXPECT_EQ(huge->GetDisplayDataType(), "CLOB");
    EXPECT_EQ(code->GetDisplayDataType(), "CHAR(300)");
    EXPECT_EQ(amount->GetDisplayDataType(), "NUMBER(30,2)");
    EXPECT_EQ(flag->GetDisplayDataType(), "NUMBER(1)");
    EXPECT_EQ(stamp->GetDisplayDataType(), "TIMESTAMP(3)");
    EXPECT_EQ(stamp->DefaultValue(), "CURRENT_TIMESTAMP");
    EXPECT_EQ(day->DefaultValue(), "CURRENT_DATE");
    EXPECT_EQ(uuid->GetDisplayDataType(), "RAW(16)");
    EXPECT_EQ(uuid->DefaultValue(), "SYS_GUID()");
    EXPECT_EQ(json->GetDisplayDataType(), "NCLOB");
    EXPECT_EQ(serial->GetDisplayDataType(), "NUMBER(19) GENERATED BY DEFAULT AS IDENTITY (START WITH 1 INCREMENT BY 1)");

    dd.ChangeTarget("db2luw11");
    EXPECT_FALSE(AnyMessageContains("No exact match found"));
    EXPECT_EQ(name->GetDisplayDataType(), "VARCHAR(300)");
    EXPECT_EQ(code->GetDisplayDataType(), "VARCHAR(300)");  // Db2's CHAR holds 255
    EXPECT_EQ(amount->GetDisplayDataType(), "DECIMAL(30,2)");
    EXPECT_EQ(stamp->DefaultValue(), "CURRENT_TIMESTAMP");
    EXPECT_EQ(uuid->DefaultValue(), "SYS_GUID()");  // a default of Db2 takes no function call
    t->AttributeAt(6)->SetDefaultValue("CURRENT DATE");

    dd.ChangeTarget("firebird3");
    EXPECT_FALSE(AnyMessageContains("No exact match found"));
    EXPECT_EQ(amount->GetDisplayDataType(), "DECIMAL(18,2)");  // the most digits Firebird holds
    EXPECT_EQ(day->DefaultValue(), "CURRENT_DATE");
    EXPECT_EQ(huge->GetDisplayDataType(), "BLOB SUB_TYPE TEXT");
    stamp->SetDefaultValue("'NOW'");

    // The identity stays on every way; Oracle's NUMBER(19) is a DECIMAL(19) on Db2, and Firebird
    // numbers no DECIMAL: its autonumber type takes over.
    EXPECT_EQ(serial->DataType->DataType, "INTEGER");
    EXPECT_TRUE(serial->DataType->AutoNumber);

    dd.ChangeTarget("mssqlserver2019");
    EXPECT_EQ(stamp->DefaultValue(), "GETDATE()");
    EXPECT_EQ(day->DefaultValue(), "CONVERT(date, GETDATE())");
    EXPECT_EQ(serial->DataType->DataType, "INT");
    EXPECT_TRUE(serial->DataType->AutoNumber);
}

TEST_F(SwitchTest, DomainsAreConvertedAndUnsupportedObjectsGoWithTheCheck) {
    dd.SetTarget("postgresql15");
    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    domain->DataType->DataType = "JSONB";
    domain->DefaultConstraint()->Value = "now()";
    auto* t = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    TVELAttribute* a = t->AddAttribute(true);
    a->SetDomainID(domain->ID);
    dd.CreateObject(otSequence, true);
    dd.CreateObject(otProcedure, true)->SetPropertyValue("Code", "CREATE PROCEDURE p() BEGIN END");
    dd.CreateObject(otView, true);
    dd.ChangeTarget("sqlite3");
    EXPECT_EQ(domain->DataType->DataType, "TEXT");
    EXPECT_EQ(domain->DefaultValue(), "CURRENT_TIMESTAMP");
    EXPECT_EQ(a->DataType->DataType, "TEXT");
    // The switch itself removes nothing; the check against the new target does, with messages.
    EXPECT_EQ(dd.CountOfClass<TVELSequence>(), 1);
    messages.clear();
    dd.CheckModel();
    EXPECT_EQ(dd.CountOfClass<TVELSequence>(), 0);
    EXPECT_EQ(dd.CountOfClass<TVELProcedure>(), 0);
    EXPECT_EQ(dd.CountOfClass<TVELView>(), 1); // SQLite has views
    EXPECT_TRUE(AnyMessageContains("Target DBMS does not support sequences/generators. Sequence/generator will be removed."));
    EXPECT_TRUE(AnyMessageContains("Target DBMS does not support procedures. Procedure will be removed."));
}

TEST_F(SwitchTest, SequenceCodesTakeTheSpellingOfTheNewTarget) {
    dd.SetTarget("db2luw11");
    auto* seq = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    seq->Cycle = "NO CYCLE";
    seq->CacheCode = "NO CACHE";
    seq->Order = "NO ORDER";
    dd.ChangeTarget("oracle19");
    EXPECT_EQ(seq->Cycle, "NOCYCLE");
    EXPECT_EQ(seq->CacheCode, "NOCACHE");
    EXPECT_EQ(seq->Order, "NOORDER");
    seq->Cycle = "CYCLE";
    dd.ChangeTarget("postgresql15");
    EXPECT_EQ(seq->Cycle, "CYCLE");
    EXPECT_EQ(seq->CacheCode, "NOCACHE");  // no cache codes there: the check drops it with a message
    dd.ChangeTarget("mariadb10");
    dd.ChangeTarget("mssqlserver2019");
    EXPECT_EQ(seq->Cycle, "CYCLE");
    EXPECT_EQ(seq->CacheCode, "NO CACHE");
    seq->Cycle = "NO CYCLE";
    dd.ChangeTarget("mariadb10");
    EXPECT_EQ(seq->Cycle, "NOCYCLE");
}

TEST_F(SwitchTest, WhatBelongsToTheOldTargetIsCleared) {
    auto build = [&](const char* target) {
        dd.Clear();
        dd.SetTarget(target);
        auto* t = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        t->SchemaName = "app";
        t->TableOptions = "ENGINE=InnoDB";
        TVELAttribute* a = t->AddAttribute(true);
        a->DataType->DataType = "VARCHAR";
        a->DataType->Length = "10";
        a->DataType->CharacterSet = "utf8mb4";
        a->Collate = "utf8mb4_bin";
        a->AttributeOptions = "INVISIBLE";
        TVELIndex* index = t->AddIndex(true);
        index->AddColumn(a);
        index->AddExpressionColumn("lower(x)");
        index->IndexOptions = "KEY_BLOCK_SIZE=8";
        return t;
    };
    // Two targets of one driver keep everything.
    TVELEntity* t = build("mysql8");
    dd.ChangeTarget("mariadb10");
    EXPECT_EQ(t->SchemaName, "app");
    EXPECT_EQ(t->TableOptions, "ENGINE=InnoDB");
    EXPECT_EQ(t->AttributeAt(0)->Collate, "utf8mb4_bin");
    EXPECT_EQ(t->AttributeAt(0)->DataType->CharacterSet, "utf8mb4");
    EXPECT_EQ(t->IndexAt(0)->Columns.Count(), 2);
    EXPECT_EQ(t->IndexAt(0)->IndexOptions, "KEY_BLOCK_SIZE=8");
    // Another driver: options, collations and expressions go; schemas stay where supported.
    dd.ChangeTarget("postgresql15");
    EXPECT_EQ(t->SchemaName, "app");
    EXPECT_EQ(t->TableOptions, "");
    EXPECT_EQ(t->AttributeAt(0)->Collate, "");
    EXPECT_EQ(t->AttributeAt(0)->AttributeOptions, "");
    EXPECT_EQ(t->AttributeAt(0)->DataType->CharacterSet, "");
    EXPECT_EQ(t->IndexAt(0)->Columns.Count(), 1);
    EXPECT_EQ(t->IndexAt(0)->IndexOptions, "");
    dd.ChangeTarget("sqlite3");
    EXPECT_EQ(t->SchemaName, ""); // SQLite has no schemas
    // From the independent target, what the new target supports is kept.
    t = build("dbindependent");
    dd.ChangeTarget("mysql8");
    EXPECT_EQ(t->TableOptions, "ENGINE=InnoDB");
    EXPECT_EQ(t->AttributeAt(0)->Collate, "utf8mb4_bin");
    EXPECT_EQ(t->IndexAt(0)->IndexOptions, "KEY_BLOCK_SIZE=8");
    EXPECT_EQ(t->AttributeAt(0)->DataType->CharacterSet, "");
    EXPECT_EQ(t->IndexAt(0)->Columns.Count(), 1);
    // A missing definition changes nothing.
    EXPECT_THROW(dd.ChangeTarget("nosuchtarget"), EVELError);
    EXPECT_EQ(dd.GetTarget(), "mysql8");
}

TEST(SwitchWithoutRules, BestMatchAndSqlServerLengths) {
    TempDir dir;
    WriteFile(dir.File("plain.def"), "[general]\r\ndbmsname=Plain\r\ndrivername=plain\r\n");
    WriteFile(dir.File("plain.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1;1;1;;0;;1\r\n"
                                     "NVARCHAR;NVARCHAR(%L);;;String;50;0;0;0;0;;0;;34\r\n"
                                     "WEIRD;WEIRD;;;Others;0;0;0\r\n");
    WriteFile(dir.File("mssqlserver2019.def"), "[general]\r\ndbmsname=SQL Server\r\ndrivername=mssql\r\n");
    WriteFile(dir.File("mssqlserver2019.typ"), "LISTNAME;BASE\r\nINT;INT;;[ IDENTITY(%S,%I)];Exact Numeric;0;0;1;1;1;;0;;1\r\n"
                                               "NVARCHAR;NVARCHAR(%L);;;String;50;0;0;0;0;;4000;;34\r\n");
    TargetDatabases().Build(dir.Path());
    TVELDataDictionary dd;
    std::vector<std::string> messages;
    dd.OnMessage = [&](TVELNamedObject*, int level, const std::string& text) {
        messages.push_back(IntToStr(level) + " " + text);
    };
    dd.SetTarget("plain");
    auto* t = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    TVELAttribute* text = t->AddAttribute(true);
    text->DataType->DataType = "NVARCHAR";
    text->DataType->Length = "MAX";
    TVELAttribute* id = t->AddAttribute(true);
    id->DataType->DataType = "INTEGER";
    id->DataType->AutoNumber = true;
    TVELAttribute* weird = t->AddAttribute(true);
    weird->DataType->DataType = "WEIRD";
    dd.ChangeTarget("mssqlserver2019");  // no rule files: definition ids, then names
    EXPECT_EQ(text->DataType->Length, "max");
    EXPECT_EQ(id->DataType->DataType, "INT");
    EXPECT_TRUE(id->DataType->AutoNumber);
    EXPECT_EQ(weird->DataType->DataType, "INT");
    EXPECT_EQ(messages.front(),
              "2 No exact match found for source data type \"WEIRD\". Overall default data type will be used:\"INT\".");
}
