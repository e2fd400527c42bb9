// The template filler: the placeholder language, name forms, comment literals, old names,
// generation marks, the fill operations of every object kind, and the statements the shipped
// definitions give for one model.
#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestModelBuilder.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDDLUtils.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::NewColumn;
using ardvin::test::NewTable;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

// A target of its own with distinct opening and closing delimiters, beside copies of the
// shipped definitions (the registry reads one folder).
const char* const LangDef =
    "[general]\r\ndbmsname=Lang\r\n"
    "[scriptelements]\r\nQUOTE='\r\nDELIMITERDDLBEGIN=[\r\nDELIMITERDDLEND=]\r\nTERMINATOR=;\r\n"
    "[supported]\r\nenableschemas=1\r\nenabletriggers=1\r\nenablesequences=1\r\nenableviews=1\r\n"
    "enableprocedures=1\r\nenablerules=1\r\nenablecheckcolumnconstraintnames=0\r\n"
    "enablenotnullconstraintnames=0\r\nenabledefaultconstraintnames=0\r\n"
    "[indexes]\r\nidxcolumnordercodes=;ASC;DESC\r\n"
    "[triggers]\r\nautonumbertriggertemplate=CREATE TRIGGER %triggername% ON %tablename%#13#10"
    "SET NEW.%columnname% = NEXT VALUE FOR %seqname%\r\n"
    "[autonumber]\r\nsimulateautonumber=2\r\n"
    "[sqlcommands]\r\n"
    "SQLCreateColumn=#13#10  %columnname% %datatype%{ DEFAULT %defaultvalue%}{ %notnull%}\r\n"
    "SQLCreatePKConstraint={CONSTRAINT %constraintname% }PRIMARY KEY (%constraintcolumns%)\r\n"
    "SQLCreateCheckConstraint={CONSTRAINT %constraintname% }CHECK (%constraint%)\r\n"
    "SQLCreateUniqueConstraint={CONSTRAINT %constraintname% }UNIQUE (%constraintcolumns%)\r\n"
    "SQLCreateFKConstraint={CONSTRAINT %constraintname% }FOREIGN KEY (%childcolumns%) REFERENCES "
    "%parenttablename% (%parentcolumns%){ %deleterule%}{ %updaterule%}\r\n"
    "SQLCreateDefaultConstraint=DEFAULT %constraint%\r\n"
    "SQLCreateNotNullConstraint=NOT NULL\r\n"
    "SQLIndexColumn=%indexcolumn%{ %indexcolumnsortoption%}\r\n";
const char* const LangTyp = "LISTNAME;BASE;ADDITIONAL;AUTONUMBER;GROUP\r\n"
                            "INTEGER;INTEGER;[ %UNSIGNED];;Exact Numeric;0;0;1;1;0\r\n"
                            "VARCHAR;VARCHAR[(%L)];[ %COLLATION];;String;50;0;0;0\r\n"
                            "NUMERIC;NUMERIC[(%L[,%P])];;;Exact Numeric;10;2;0;0\r\n"
                            "ENUM;ENUM(%ITEMS);;;Set;0;0;0;0;0;;0;;0;0;1\r\n"
                            "COUNTER;INTEGER;; IDENTITY[(%S,%I)];Autonumber;0;0;0;1;1\r\n";
// The same with a starred column template.
const char* const StarredDef = "[general]\r\ndbmsname=Starred\r\n"
                               "[scriptelements]\r\nDELIMITERDDLBEGIN=\"\r\nDELIMITERDDLEND=\"\r\n"
                               "[sqlcommands]\r\nSQLCreateColumn=*%columnname%\r\n";

class FillerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& entry : std::filesystem::directory_iterator(ardvin::test::DefinitionsDir()))
            std::filesystem::copy_file(entry.path(), dir.File(entry.path().filename().string()));
        WriteFile(dir.File("lang.def"), LangDef);
        WriteFile(dir.File("lang.typ"), LangTyp);
        WriteFile(dir.File("starred.def"), StarredDef);
        WriteFile(dir.File("starred.typ"), LangTyp);
        TargetDatabases().Build(dir.Path());
    }

    // A named constraint of the table, its name fixed rather than computed.
    static TVELConstraint* NewConstraint(TVELEntity* table, uint8_t type, const std::string& name,
                                         const std::vector<TVELAttribute*>& columns,
                                         const std::string& value = {}) {
        TVELConstraint* c = table->AddConstraint(type, clTable);
        c->NameFromTemplate = false;
        c->SetName(name);
        for (const TVELAttribute* a : columns)
            c->AttributeIDs.Add(a);
        c->Value = value;
        return c;
    }
    static TVELRelationship* Relate(TVELDataDictionary& dd, TVELEntity* parent, TVELEntity* child,
                                    const std::string& name) {
        TVELRelationship* r = ardvin::test::Relate(dd, parent, child);
        r->FKConstraint->NameFromTemplate = false;
        r->FKConstraint->SetName(name);
        return r;
    }

    TempDir dir;
};

// ---- the language ------------------------------------------------------------------------------

TEST_F(FillerTest, OptionalPartsBracesLineBreaksAndCase) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    TVELEntity* t = NewTable(dd, "Customer");
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    const std::string create = "CREATE TABLE %tablename%{ COMMENT %tablecomment%}%terminator%";

    // An empty comment drops its part, a comment keeps it and loses only the braces; the
    // comment's own braces and line break neither open a part nor break the line.
    EXPECT_EQ(f.FillTable(*t, create), "CREATE TABLE [Customer];");
    t->Comment = "It's {new}\r\nline";
    EXPECT_EQ(f.FillTable(*t, create), "CREATE TABLE [Customer] COMMENT 'It''s {new} line';");

    // Any case for ordinary placeholders, lower case only for those computed on demand.
    t->SetAbbreviation("CU");
    EXPECT_EQ(f.FillTable(*t, "%TABLENAME% %TABLECOMMENT% %TableAbbreviation% %Tablecolumns%"),
              "[Customer] %TABLECOMMENT% CU %Tablecolumns%");
    // Escaped braces and line breaks.
    EXPECT_EQ(f.FillTable(*t, "<#%tableabbreviation%#>#13#10x"), "{CU}\r\nx");
    // Several parts decide each on its own; a part is decided by its first known placeholder.
    EXPECT_EQ(f.FillTable(*t, "A{ B=%tableoptions%}{ C=%tableabbreviation%}{ D=%endtablescript%}"), "A C=CU");
    EXPECT_EQ(f.FillTable(*t, "{%unknown% %tableabbreviation%}|{%tableoptions% %tableabbreviation%}"),
              "%unknown% CU|");
    // A part without a known placeholder stays as written, braces included.
    EXPECT_EQ(f.FillTable(*t, "{keep %unknown%}"), "{keep %unknown%}");
    // Braces do not nest: a second "{" makes the first ordinary text; unmatched braces stay.
    t->SetAbbreviation("");
    EXPECT_EQ(f.FillTable(*t, "{a {b %tableabbreviation%}}"), "{a }");
    EXPECT_EQ(f.FillTable(*t, "} { %tablename%"), "} { [Customer]");
    t->SetAbbreviation("CU");
    EXPECT_EQ(f.FillTable(*t, "{a {b %tableabbreviation%}}"), "{a b CU}");
    // A value holding braces cannot close the part around it.
    t->SetAbbreviation("}x{");
    EXPECT_EQ(f.FillTable(*t, "{[%tableabbreviation%]}"), "[}x{]");
    // Percent signs that are no placeholder; a closing "%" may open the next placeholder.
    EXPECT_EQ(f.FillTable(*t, "100%% of %abc%tablename% %"), "100%% of %abc[Customer] %");
}

TEST_F(FillerTest, StarredTemplatesAndEmptyColumnSlots) {
    TVELDataDictionary dd;
    dd.SetTarget("starred");
    TVELEntity* t = NewTable(dd, "T");
    NewColumn(t, "A", "INTEGER");
    NewColumn(t, "B", "INTEGER");
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    EXPECT_TRUE(f.SkipStarredTemplates);
    EXPECT_EQ(f.FillTable(*t, "*DROP TABLE %tablename%"), "");
    // Every column text is empty: each slot becomes a line break.
    EXPECT_EQ(f.FillTable(*t, "(%tablecolumns%)"), "(\r\n\r\n)");
    f.SkipStarredTemplates = false;
    EXPECT_EQ(f.FillTable(*t, "*DROP TABLE %tablename%"), "DROP TABLE \"T\"");
    EXPECT_EQ(f.FillTable(*t, "(%tablecolumns%)"), "(\"A\",\"B\")");
}

TEST_F(FillerTest, ReplacementPrimitiveAndFinishing) {
    using F = TVELTemplateFiller;
    EXPECT_EQ(F::ReplacePlaceholder("A{ B %x%} C", "%x%", ""), "A C");
    EXPECT_EQ(F::ReplacePlaceholder("A{ B %x%} C", "%X%", "v"), "A B v C");
    // Only the part around the first occurrence is decided.
    EXPECT_EQ(F::ReplacePlaceholder("%x% and {%x%}", "%x%", ""), " and {}");
    EXPECT_EQ(F::ReplacePlaceholder("{a} %x% {b}", "%x%", ""), "{a}  {b}");
    EXPECT_EQ(F::ReplacePlaceholder("{%x%", "%x%", "1"), "{1");
    EXPECT_EQ(F::EscapeValue("a{b}c"), "a<#b#>c");
    EXPECT_EQ(F::FinishText("<#a#>#13#10b#"), "{a}\r\nb#");
    EXPECT_EQ(F::FinishText(F::EscapeValue("{x}")), "{x}");
}

TEST_F(FillerTest, NameFormsQuoteEveryName) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    TVELEntity* t = NewTable(dd, "Order Items");
    t->SchemaName = "sales";
    TVELAttribute* c = NewColumn(t, "Id", "INTEGER");
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    EXPECT_EQ(f.FillTable(*t,
                          "%quotedqualifiedtablename%|%nonquotedqualifiedtablename%|%quotedsimpletablename%|"
                          "%nonquotedsimpletablename%|%tablename%|%tablename_nonfixed%|%tableschema%|"
                          "%mssqltableschema%"),
              "[sales].[Order Items]|sales.Order Items|[Order Items]|Order Items|[sales].[Order Items]|"
              "Order Items|sales|sales");
    EXPECT_EQ(f.FillColumn(*c, "%columnname% %quotedsimplecolumnname% %columnname_nonfixed% in %tablename% "
                               "%quotedsimpletablename% %tableschema%"),
              "[Id] [Id] Id in [sales].[Order Items] [Order Items] sales");
    t->SchemaName.clear();
    EXPECT_EQ(f.FillTable(*t, "%tablename%|%nonquotedqualifiedtablename%|%tableschema%|%mssqltableschema%"),
              "[Order Items]|Order Items||dbo");
    // Quote characters are removed; reserved words and letters beyond ASCII are quoted alike.
    t->SetName("Cust\"om'er`s");
    EXPECT_EQ(f.FillTable(*t, "%tablename% %nonquotedsimpletablename% %tablename_nonfixed%"),
              "[Customers] Customers Cust\"om'er`s");
    t->SetName("order");
    EXPECT_EQ(f.FillTable(*t, "%tablename%"), "[order]");
    t->SetName("Größe");
    EXPECT_EQ(f.FillTable(*t, "%tablename% %nonquotedqualifiedtablename%"), "[Größe] Größe");
    // A kind's placeholders do not apply to another kind.
    EXPECT_EQ(f.FillTable(*t, "%columnname% %viewname%"), "%columnname% %viewname%");
}

TEST_F(FillerTest, CommentLiterals) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    TVELEntity* t = NewTable(dd, "T");
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    auto comment = [&](const std::string& text) {
        t->Comment = text;
        return f.FillTable(*t, "%tablecomment%");
    };
    EXPECT_EQ(comment(""), "");
    EXPECT_EQ(comment("plain"), "'plain'");
    EXPECT_EQ(comment("  padded  "), "'padded'");
    EXPECT_EQ(comment("It's"), "'It''s'");
    EXPECT_EQ(comment("'quoted'"), "'quoted'");
    EXPECT_EQ(comment("\"double\""), "'double'");
    EXPECT_EQ(comment("'a' or 'b'"), "'a'' or ''b'");
    EXPECT_EQ(comment("one\r\ntwo\nthree\rfour"), "'one two three four'");
    EXPECT_EQ(f.CommentLiteral("x {y}"), "'x {y}'");
}

TEST_F(FillerTest, ColumnsDataTypesAndGenerationMarks) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    TVELEntity* t = NewTable(dd, "T");
    TVELAttribute* id = NewColumn(t, "Id", "INTEGER");
    id->SetPrimaryKey(true);
    id->SetNotNull(true);
    TVELAttribute* name = NewColumn(t, "Name", "VARCHAR", "40");
    name->SetDefaultValue("'x'");
    name->SetCheckValue("Name <> ''");
    name->Comment = "the name";
    TVELAttribute* amount = NewColumn(t, "Amount", "NUMERIC", "10");
    amount->DataType->Precision = 2;
    amount->ExplicitNullText = "NULL";
    t->PrimaryKey->NameFromTemplate = false;
    t->PrimaryKey->SetName("PK_T");
    TVELConstraint* unique = NewConstraint(t, ctUnique, "AK_Name", {name});
    TVELConstraint* check = NewConstraint(t, ctCheck, "CK_Amount", {amount}, "Amount >= 0");
    TVELTemplateFiller f(*dd.GetDatabaseSettings());

    EXPECT_EQ(f.FillTable(*t, "CREATE TABLE %tablename% (%tablecolumns%{,#13#10  %pkconstraint%}"
                              "{,#13#10  %tableconstraints%}#13#10)%terminator%"),
              "CREATE TABLE [T] (\r\n"
              "  [Id] INTEGER NOT NULL,\r\n"
              "  [Name] VARCHAR(40) DEFAULT 'x',\r\n"
              "  [Amount] NUMERIC(10,2) NULL,\r\n"
              "  CONSTRAINT [PK_T] PRIMARY KEY ([Id]),\r\n"
              "  CONSTRAINT [AK_Name] UNIQUE ([Name]),CONSTRAINT [CK_Amount] CHECK (Amount >= 0)\r\n"
              ");");
    // Type texts follow every change of the value.
    name->DataType->Length = "41";
    amount->DataType->Precision = 3;
    EXPECT_EQ(f.FillTable(*t, "%tablecolumns%"),
              "\r\n  [Id] INTEGER NOT NULL,\r\n  [Name] VARCHAR(41) DEFAULT 'x',\r\n"
              "  [Amount] NUMERIC(10,3) NULL");
    name->DataType->Length = "40";
    amount->DataType->Precision = 2;
    // What was written inline is marked; what was not stays unmarked.
    EXPECT_EQ(id->NotNullConstraint()->GenerationMark, gmWrittenInline);
    EXPECT_EQ(name->DefaultConstraint()->GenerationMark, gmWrittenInline);
    EXPECT_EQ(name->CheckConstraint()->GenerationMark, gmNone);
    EXPECT_EQ(name->GenerationMark, gmNone);
    EXPECT_EQ(t->GenerationMark, gmNone);
    EXPECT_EQ(t->PrimaryKey->GenerationMark, gmWrittenInline);
    EXPECT_EQ(unique->GenerationMark, gmWrittenInline);
    EXPECT_EQ(check->GenerationMark, gmWrittenInline);
    // Written once: the lists leave out what is marked.
    EXPECT_EQ(f.PKConstraint(*t), "");
    EXPECT_EQ(f.TableConstraints(*t), "");
    EXPECT_EQ(f.FillColumn(*name, "%check%|%columncomment%"), "Name <> ''|'the name'");
    EXPECT_EQ(name->CheckConstraint()->GenerationMark, gmWrittenInline);
    EXPECT_EQ(name->GenerationMark, gmWrittenInline);
    EXPECT_EQ(f.FillTable(*t, "%tablecomment%"), "");
    EXPECT_EQ(t->GenerationMark, gmWrittenInline);
    ClearGenerationMarks(dd);
    const std::vector<const TVELDatabaseObject*> written = {t,
                                                            t->PrimaryKey.get(),
                                                            name,
                                                            name->CheckConstraint(),
                                                            name->DefaultConstraint(),
                                                            id->NotNullConstraint(),
                                                            unique};
    for (const TVELDatabaseObject* o : written)
        EXPECT_EQ(o->GenerationMark, gmNone) << o->GetName();
    EXPECT_EQ(f.PKConstraint(*t), "CONSTRAINT [PK_T] PRIMARY KEY ([Id])");

    // The inline forms of the column constraints.
    ClearGenerationMarks(dd);
    EXPECT_EQ(f.FillColumn(*name, "%defaultconstraint%|%checkconstraint%|%notnullconstraint%"),
              "DEFAULT 'x'|CHECK (Name <> '')|");
    EXPECT_EQ(name->CheckConstraint()->GenerationMark, gmWrittenInline);
    EXPECT_EQ(f.FillColumn(*id, "%notnullconstraint%|%defaultconstraint%"), "NOT NULL|");
    // Position, previous column, options and collation.
    name->AttributeOptions = "INVISIBLE";
    name->Collate = "de_DE";
    EXPECT_EQ(f.FillColumn(*name, "%position% %prevcolumnname% %attributeoptions% %collate%"),
              "1 AFTER [Id] INVISIBLE de_DE");
    EXPECT_EQ(f.FillColumn(*id, "%position% %prevcolumnname%"), "0 FIRST");
    // The data type placeholders, in a column and on their own.
    name->DataType->Collation = "utf8_bin";
    EXPECT_EQ(f.FillColumn(*name, "%datatype%|%physicaldatatype%|%length%|%collation%"),
              "VARCHAR(40) COLLATE utf8_bin|VARCHAR(40)|40|utf8_bin");
    EXPECT_EQ(f.FillDataType(*amount->DataType, "%datatype% %length% %precision% [%unsigned%]"),
              "NUMERIC(10,2) 10 2 []");
    id->DataType->Unsigned = true;
    id->DataType->AutoNumber = true;
    EXPECT_EQ(
        f.FillColumn(*id, "%datatype%|%unsigned%|%zerofill%|%auto_increment%|%autoincrement%|%db2autoinc%"),
        "INTEGER UNSIGNED|UNSIGNED||AUTO_INCREMENT|AUTOINCREMENT|"
        "generated always as identity (start with 0, increment by 1, no cache)");
    // The primary key of one autonumber column is written with the column.
    EXPECT_EQ(f.FillColumn(*id, "%sqliteautoincpk%"), "PRIMARY KEY AUTOINCREMENT");
    EXPECT_EQ(t->PrimaryKey->GenerationMark, gmWrittenInline);
    EXPECT_EQ(f.FillTable(*t, "[{%pkconstraint%}]"), "[]");
    EXPECT_EQ(f.FillColumn(*name, "[%sqliteautoincpk%][%db2autoinc%]"), "[][]");
    // A column type of the autonumber group counts as autonumber too; a key of two columns
    // is never written with a column.
    ClearGenerationMarks(dd);
    amount->DataType->DataType = "COUNTER";
    amount->SetPrimaryKey(true);
    EXPECT_EQ(f.FillColumn(*amount, "[%sqliteautoincpk%][%db2autoinc%]"),
              "[][generated always as identity (start with 0, increment by 1, no cache)]");
    EXPECT_EQ(t->PrimaryKey->GenerationMark, gmNone);
}

TEST_F(FillerTest, OldNamesComeFromTheCounterpart) {
    TVELDataDictionary old;
    old.SetTarget("lang");
    TVELEntity* parent = NewTable(old, "Parent");
    TVELAttribute* key = NewColumn(parent, "Id", "INTEGER");
    key->SetPrimaryKey(true);
    TVELEntity* child = NewTable(old, "Child");
    NewColumn(child, "OldName", "VARCHAR", "10");
    Relate(old, parent, child, "FK_Old");

    TVELDataDictionary dd;
    dd.AssignDictionary(old);
    auto* table = static_cast<TVELEntity*>(dd.FindEntity("Child"));
    ASSERT_NE(table, nullptr);
    table->SetName("Kid");
    TVELAttribute* column = table->AttributeAt(0);
    column->SetName("NewName");
    std::vector<TVELRelationship*> relationships;
    dd.Relationships(relationships);
    ASSERT_EQ(relationships.size(), 1u);
    relationships[0]->FKConstraint->SetName("FK_New");
    TVELEntity* added = NewTable(dd, "Added");

    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    const std::string rename = "ALTER TABLE %oldtablename% RENAME TO %quotedsimpletablename%";
    // Without an old model the old names stay in the text.
    EXPECT_EQ(f.FillTable(*table, rename), "ALTER TABLE %oldtablename% RENAME TO [Kid]");
    TVELDictionaryOldModel oldModel(old);
    f.OldModel = &oldModel;
    EXPECT_EQ(f.FillTable(*table, rename), "ALTER TABLE [Child] RENAME TO [Kid]");
    EXPECT_EQ(f.FillTable(*table, "%oldnonquotedsimpletablename% %oldtablename_nonfixed% %OLDTABLENAME%"),
              "Child Child %OLDTABLENAME%");
    // An object without counterpart has empty old names.
    EXPECT_EQ(f.FillTable(*added, "[%oldtablename%]{ %oldtablename%}"), "[]");
    EXPECT_EQ(f.FillColumn(*column, "ALTER TABLE %tablename% RENAME COLUMN %oldcolumnname% TO %columnname%"),
              "ALTER TABLE [Kid] RENAME COLUMN [OldName] TO [NewName]");
    EXPECT_EQ(f.FillColumn(*column, "%oldtablename%.%oldcolumnname_nonfixed%"), "[Child].OldName");
    EXPECT_EQ(f.FillConstraint(*relationships[0]->FKConstraint,
                               "ALTER TABLE %oldtablename% DROP CONSTRAINT %oldconstraintname%; "
                               "%constraintname% %oldparenttablename%"),
              "ALTER TABLE [Child] DROP CONSTRAINT [FK_Old]; [FK_New] [Parent]");
}

TEST_F(FillerTest, SequencesAndTheirLimitForms) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    auto* s = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    s->SetName("Seq");
    s->SchemaName = "app";
    s->Seed = 5;
    s->Increment = 2;
    s->Max = "nomaxvalue";
    s->Comment = "numbers";
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    EXPECT_EQ(
        f.FillSequence(*s, "CREATE SEQUENCE %seqname% START WITH %seqseed% INCREMENT BY %seqincrement% "
                           "%oraseqmin% %oraseqmax%{ %oraseqcache%}{ COMMENT %seqcomment%};"),
        "CREATE SEQUENCE [app].[Seq] START WITH 5 INCREMENT BY 2 NOMINVALUE NOMAXVALUE COMMENT 'numbers';");
    EXPECT_EQ(s->GenerationMark, gmWrittenInline);
    s->Min = "1";
    s->Max = "500";
    s->CacheCode = "nocache";
    s->Cache = "20";
    s->Cycle = "CYCLE";
    s->Order = "ORDER";
    s->IntegerType = "BIGINT";
    EXPECT_EQ(f.FillSequence(*s,
                             "%oraseqmin%|%oraseqmax%|%oraseqcache%|%mssqlserverseqcache%|%seqmin%|%seqmax%|"
                             "%seqcycle%|%seqcache%|%seqcachecode%|%seqorder%|%seqintegertype%|%ORASEQMAX%"),
              "MINVALUE 1|MAXVALUE 500|nocache|nocache|1|500|CYCLE|20|nocache|ORDER|BIGINT|%ORASEQMAX%");
    s->CacheCode = "CACHE";
    s->Max = "  ";
    EXPECT_EQ(f.FillSequence(*s, "%oraseqcache%|%oraseqmax%"), "CACHE 20|NOMAXVALUE");
    EXPECT_EQ(f.FillSequence(*s, "%seqname%|%nonquotedqualifiedseqname%|%quotedsimpleseqname%"),
              "[app].[Seq]|app.Seq|[Seq]");
    // One increment before the start, for servers that hand out the number after it first.
    EXPECT_EQ(f.FillSequence(*s, "%seqseedlessincrement%"), "3");
    s->Seed = -2147483647 - 1;
    s->Increment = -5;
    EXPECT_EQ(f.FillSequence(*s, "%seqseedlessincrement%"), "-2147483643");
    s->Increment = 5;
    EXPECT_EQ(f.FillSequence(*s, "%seqseedlessincrement%"), "-2147483653");
}

TEST_F(FillerTest, ConstraintsAndReferentialActions) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    TVELEntity* parent = NewTable(dd, "Parent");
    TVELAttribute* a = NewColumn(parent, "A", "INTEGER");
    TVELAttribute* b = NewColumn(parent, "B", "INTEGER");
    a->SetPrimaryKey(true);
    b->SetPrimaryKey(true);
    TVELEntity* child = NewTable(dd, "Child");
    child->SchemaName = "s";
    TVELRelationship* r = Relate(dd, parent, child, "FK_Child");
    const TVELConstraint& fk = *r->FKConstraint;
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    const std::string add = f.Template("SQLCreateFKConstraint");
    EXPECT_EQ(f.FillConstraint(fk, add),
              "CONSTRAINT [FK_Child] FOREIGN KEY ([A],[B]) REFERENCES [Parent] ([A],[B])");
    r->DeleteRule = raCascade;
    r->UpdateRule = raSetNull;
    EXPECT_EQ(f.FillConstraint(fk, add),
              "CONSTRAINT [FK_Child] FOREIGN KEY ([A],[B]) REFERENCES [Parent] ([A],[B]) "
              "ON DELETE CASCADE ON UPDATE SET NULL");
    EXPECT_EQ(f.FillConstraint(fk, "%tablename%|%childtablename%|%childnonquotedsimpletablename%|"
                                   "%parentquotedqualifiedtablename%|%constraintcolumns%|%constraint%"),
              "[s].[Child]|[s].[Child]|Child|[Parent]|[A],[B]|[A],[B]");
    EXPECT_EQ(DeleteRuleText(raNone), "");
    EXPECT_EQ(DeleteRuleText(raRestrict), "ON DELETE RESTRICT");
    EXPECT_EQ(DeleteRuleText(raSetDefault), "ON DELETE SET DEFAULT");
    EXPECT_EQ(UpdateRuleText(raCascade), "ON UPDATE CASCADE");
    EXPECT_EQ(UpdateRuleText(99), "");

    // Other constraints: no parent, no rules; their expression and columns.
    parent->PrimaryKey->NameFromTemplate = false;
    parent->PrimaryKey->SetName("PK_Parent");
    parent->PrimaryKey->PKClustering = "CLUSTERED";
    parent->PrimaryKey->ConstraintOptions = "WITH FILLFACTOR = 90";
    EXPECT_EQ(f.FillConstraint(*parent->PrimaryKey,
                               "[%parenttablename%][%deleterule%]%constraintname% %pkclustering% "
                               "(%constraintcolumns%) %constraintoptions% [%columndatatype%]"),
              "[][][PK_Parent] CLUSTERED ([A],[B]) WITH FILLFACTOR = 90 []");
    b->SetDefaultValue("7");
    b->SetNotNull(true);
    b->SetCheckValue("B > 0");
    b->DataType->DataType = "NUMERIC";
    b->DataType->Length = "5";
    const std::string columnForms =
        "%constraint%|%constraintcolumn%|%columndatatype%|%defaultvalue%|%notnull%|"
        "%tablename%|%columnname%|%constraintname%";
    // Column constraints of this target are unnamed.
    EXPECT_EQ(f.FillConstraint(*b->DefaultConstraint(), columnForms),
              "7|[B]|NUMERIC(5)|7|NOT NULL|[Parent]|[B]|");
    EXPECT_EQ(f.FillConstraint(*b->CheckConstraint(), columnForms),
              "B > 0|[B]|NUMERIC(5)|7|NOT NULL|[Parent]|[B]|");
    EXPECT_EQ(f.FillConstraint(*b->NotNullConstraint(), columnForms),
              "NOT NULL|[B]|NUMERIC(5)|7|NOT NULL|[Parent]|[B]|");
    TVELConstraint* unique =
        NewConstraint(child, ctUnique, "AK", {child->AttributeAt(1), child->AttributeAt(0)});
    EXPECT_EQ(f.FillConstraint(*unique, "%constraint% %childcolumns%|%parentcolumns%"), "[B],[A] |");
}

TEST_F(FillerTest, IndexesAndIndexColumns) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    TVELEntity* t = NewTable(dd, "T");
    t->SchemaName = "s";
    TVELAttribute* a = NewColumn(t, "A", "INTEGER");
    TVELAttribute* b = NewColumn(t, "B", "INTEGER");
    TVELIndex* index = t->AddIndex();
    index->NameFromTemplate = false;
    index->SetName("IX_T");
    index->AddColumn(a);
    index->AddColumn(b)->SortOption = "DESC";
    index->IndexType = "UNIQUE";
    index->IndexOptions = "WITH (fillfactor = 70)";
    index->Clustering = "btree";
    index->Compression = "LOW";
    index->CaseProp = "NOCASE";
    index->IndexSortOption = "ASC";
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    EXPECT_EQ(f.FillIndex(*index, "CREATE {%indextype% }INDEX %indexname% ON %tablename% (%indexcolumns%)"
                                  "{ %indexoptions%}{ COMMENT %indexcomment%}%terminator%"),
              "CREATE UNIQUE INDEX [IX_T] ON [s].[T] ([A],[B] DESC) WITH (fillfactor = 70);");
    EXPECT_EQ(index->GenerationMark, gmWrittenInline); // its (empty) comment went with it
    EXPECT_EQ(f.FillIndex(*index, "%indexclustering%|%indexcompression%|%indexcase%|%indexsortoption%|"
                                  "[%ibfbidxprefix%]|%quotedsimpleindexname%|%tableschema%"),
              "btree|LOW|NOCASE|ASC|[]|[IX_T]|s");
    EXPECT_EQ(f.FillIndexColumn(*index->Column(1), "%indexname%:%indexcolumnname%,%indexcolumn%,"
                                                   "%indexcolumn_nonfixed%,%indexcolumnsortoption%,"
                                                   "%indexsortoption%,%tablename%"),
              "[IX_T]:[B],[B],B,DESC,ASC,[s].[T]");
    index->AddExpressionColumn("lower(name)");
    EXPECT_EQ(f.IndexColumns(*index), "[A],[B] DESC,lower(name)");
    EXPECT_EQ(f.FillIndex(*index, "%ibfbidxprefix%"), "COMPUTED BY");
}

TEST_F(FillerTest, CodeObjectsExpandTheirOwnPlaceholders) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
    view->SetName("V");
    view->SchemaName = "rep";
    view->Code = "CREATE VIEW %viewname% AS SELECT '{x}' AS %VIEWCOMMENT%";
    view->Comment = "report";
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    EXPECT_EQ(f.FillView(*view, "%viewcode%%terminator%{ -- %viewcomment%}"),
              "CREATE VIEW [rep].[V] AS SELECT '{x}' AS %VIEWCOMMENT%; -- 'report'");
    EXPECT_EQ(view->GenerationMark, gmWrittenInline);

    auto* proc = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
    proc->SetName("P");
    proc->Code = "CREATE OR REPLACE FUNCTION %procname%(a integer, b text) RETURNS integer";
    EXPECT_EQ(f.FillProcedure(*proc, "%proccode%;"),
              "CREATE OR REPLACE FUNCTION [P](a integer, b text) RETURNS integer;");
    // A function is dropped as a function; params are the text inside the first parentheses.
    EXPECT_EQ(f.FillProcedure(*proc, "DROP PROCEDURE %procname%(%procparams%); drop procedure x"),
              "DROP FUNCTION [P](a integer, b text); DROP FUNCTION x");
    EXPECT_EQ(f.FillProcedure(*proc, " DROP PROCEDURE %procname%"), " DROP PROCEDURE [P]");
    proc->Code = "CREATE PROCEDURE %procname% AS BEGIN END";
    EXPECT_EQ(f.FillProcedure(*proc, "DROP PROCEDURE %procname%(%procparams%)"),
              "DROP PROCEDURE [P](%procparams%)");
    EXPECT_TRUE(TVELTemplateFiller::IsFunctionCode("create function %procname% ()"));
    EXPECT_TRUE(TVELTemplateFiller::IsFunctionCode("CREATE  function f()"));
    EXPECT_TRUE(TVELTemplateFiller::IsFunctionCode("create or replace\r\nFUNCTION f()"));
    EXPECT_FALSE(TVELTemplateFiller::IsFunctionCode("CREATE PROCEDURE f() -- no function"));
    EXPECT_FALSE(TVELTemplateFiller::IsFunctionCode("CREATE OR REPLACE FUNCTIONS f()"));
    EXPECT_FALSE(TVELTemplateFiller::IsFunctionCode("SELECT 1"));
    EXPECT_TRUE(TVELTemplateFiller::IsFunctionCode("CREATE FUNCTION f() AS SELECT replace(a, b, c)"));
    EXPECT_FALSE(TVELTemplateFiller::IsFunctionCode("CREATE PROCEDURE p() AS CREATE OR REPLACE FUNCTION"));
    std::string params;
    EXPECT_FALSE(TVELTemplateFiller::CodeParameters("x) y (", params));
    EXPECT_TRUE(TVELTemplateFiller::CodeParameters("f(a) (b)", params));
    EXPECT_EQ(params, "a");

    auto* rule = static_cast<TVELRule*>(dd.CreateObject(otRule, true));
    rule->SetName("R");
    rule->RuleType = "INSTEAD";
    rule->Code = "CREATE RULE %rulename% AS ON INSERT TO t(x) DO NOTHING";
    rule->Comment = "no inserts";
    EXPECT_EQ(
        f.FillRule(*rule, "%rulecode%;|%ruletype%|%ruleparams%|%rulecomment%|%nonquotedsimplerulename%"),
        "CREATE RULE [R] AS ON INSERT TO t(x) DO NOTHING;|INSTEAD|x|'no inserts'|R");
}

TEST_F(FillerTest, TriggersKnowTheirTableColumnAndSequence) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    auto* seq = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    seq->SetName("SeqId");
    TVELEntity* t = NewTable(dd, "T");
    t->SchemaName = "app";
    TVELAttribute* id = NewColumn(t, "Id", "INTEGER");
    id->SetSequenceID(seq->ID); // generates the autonumber trigger from the template
    ASSERT_EQ(t->Triggers.Count(), 1);
    const auto* generated = static_cast<const TVELTrigger*>(t->Triggers.Object(0));
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    EXPECT_EQ(f.FillTrigger(*generated, "%triggercode%%terminator%"),
              "CREATE TRIGGER [app].[Trg_T1] ON [app].[T]\r\nSET NEW.[Id] = NEXT VALUE FOR [SeqId];");
    EXPECT_EQ(f.FillTrigger(*generated,
                            "DROP TRIGGER %quotedsimpletriggername% ON %tablename% -- %tableschema% "
                            "%datatype% %seqincrement%"),
              "DROP TRIGGER [Trg_T1] ON [app].[T] -- app INTEGER 1");
    // A trigger of its own knows no column or sequence.
    TVELTrigger* own = t->AddTrigger();
    own->SetName("Audit");
    own->Code = "CREATE TRIGGER %triggername% AFTER UPDATE ON %tablename% BEGIN {x} END";
    EXPECT_EQ(f.FillTrigger(*own, "%triggercode%|%columnname%|%seqname%"),
              "CREATE TRIGGER [app].[Audit] AFTER UPDATE ON [app].[T] BEGIN {x} END|%columnname%|%seqname%");
    t->SchemaName.clear();
    EXPECT_EQ(f.FillTrigger(*own, "%triggername%|%nonquotedqualifiedtriggername%"), "[Audit]|Audit");
}

TEST_F(FillerTest, DomainsAndTheirComposedStatements) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    auto* d = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    d->SetName("Money");
    d->SchemaName = "fin";
    d->DataType->DataType = "NUMERIC";
    d->DataType->Length = "12";
    d->DataType->Precision = 2;
    d->Collate = "C";
    d->Comment = "amounts";
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    const std::string create = "CREATE DOMAIN %domainname% AS %datatype%{ COLLATE %collate%}"
                               "{ DEFAULT %defaultvalue%}{ CHECK (%checkconstraint%)}%terminator%";
    EXPECT_EQ(f.FillDomain(*d, create), "CREATE DOMAIN [fin].[Money] AS NUMERIC(12,2) COLLATE C;");
    EXPECT_EQ(f.FillDomain(*d,
                           "[%mssqlrule%][%mssqldroprule%][%mssqldefault%][%mssqldropdefault%]"
                           "[%mssqlbindrule%][%mssqlunbindrule%][%mssqlbindefault%][%mssqlunbindefault%]"),
              "[][][][][][][][]");
    d->CheckConstraint()->Value = "VALUE >= 0 AND value < 1000";
    d->DefaultConstraint()->Value = "0";
    EXPECT_EQ(f.FillDomain(*d, create), "CREATE DOMAIN [fin].[Money] AS NUMERIC(12,2) COLLATE C DEFAULT 0 "
                                        "CHECK (VALUE >= 0 AND value < 1000);");
    EXPECT_EQ(f.FillDomain(*d, "%mssqlrule%|%mssqldroprule%|%mssqldefault%|%mssqldropdefault%"),
              "CREATE RULE [Money_RULE] AS @value >= 0 AND @value < 1000|DROP RULE [Money_RULE]|"
              "CREATE DEFAULT [Money_DFT] AS 0|DROP DEFAULT [Money_DFT]");
    EXPECT_EQ(f.FillDomain(*d, "%mssqladdtype%|%mssqldroptype%|%mssqlbindrule%|%mssqlunbindrule%|"
                               "%mssqlbindefault%|%mssqlunbindefault%|%MSSQLDROPTYPE%"),
              "EXEC sp_addtype N'Money', 'NUMERIC(12,2)','NULL'|EXEC sp_droptype N'Money'|"
              "EXEC sp_bindrule N'[Money_RULE]', N'[fin].[Money]'|EXEC sp_unbindrule N'[fin].[Money]'|"
              "EXEC sp_bindefault N'[Money_DFT]', N'[fin].[Money]'|EXEC sp_unbindefault N'[fin].[Money]'|"
              "%MSSQLDROPTYPE%");
    d->DataType->DataType = "INTEGER";
    EXPECT_EQ(f.FillDomain(*d, "%mssqladdtype%"), "EXEC sp_addtype N'Money', INTEGER,'NULL'");
    EXPECT_EQ(f.FillDomain(*d, "COMMENT ON DOMAIN %domainname% IS %domaincomment%"),
              "COMMENT ON DOMAIN [fin].[Money] IS 'amounts'");
    EXPECT_EQ(d->GenerationMark, gmWrittenInline);
    d->DataType->DataType = "ENUM";
    d->DataType->Items = "'a','b'";
    EXPECT_EQ(f.FillDomain(*d, "CREATE TYPE %domainname% AS ENUM (%items%)"),
              "CREATE TYPE [fin].[Money] AS ENUM ('a','b')");

    // A column of the domain refers to it by name; its default is the domain's.
    TVELEntity* t = NewTable(dd, "T");
    TVELAttribute* c = NewColumn(t, "Price", "INTEGER");
    c->SetDomainID(d->ID);
    EXPECT_EQ(f.FillColumn(*c, "%datatype%|%domainname%|%nonquotedsimpledomainname%|[%defaultvalue%]"),
              "[fin].[Money]|[fin].[Money]|Money|[]");
    TVELAttribute* plain = NewColumn(t, "Plain", "INTEGER");
    EXPECT_EQ(f.FillColumn(*plain, "[%domainname%]{ DOMAIN %domainname%}"), "[]");
}

// Names with blanks, quote characters and letters beyond ASCII: the composed SQL Server
// statements delimit every name, and the procedures get them as Unicode literals; the other
// targets' domain statements delimit the name in their own way.
TEST_F(FillerTest, DomainNamesThatNeedDelimiters) {
    // A domain of the target, with a check and a default.
    const auto newDomain = [](TVELDataDictionary& dd, const std::string& target, const std::string& name,
                              const std::string& type) {
        dd.SetTarget(target);
        auto* d = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
        d->SetName(name);
        d->DataType->DataType = type;
        d->CheckConstraint()->Value = "VALUE > 0";
        d->DefaultConstraint()->Value = "1";
        return d;
    };
    {
        TVELDataDictionary dd;
        TVELDomain* d = newDomain(dd, "mssqlserver2019", "Positive Amount", "INT");
        TVELTemplateFiller f(*dd.GetDatabaseSettings());
        EXPECT_EQ(f.FillDomainStatement(*d, false),
                  "EXEC sp_addtype N'Positive Amount', INT,'NULL'\r\nGO\r\n"
                  "CREATE RULE [Positive Amount_RULE] AS @value > 0\r\nGO\r\n"
                  "EXEC sp_bindrule N'[Positive Amount_RULE]', N'[Positive Amount]'\r\nGO\r\n"
                  "CREATE DEFAULT [Positive Amount_DFT] AS 1\r\nGO\r\n"
                  "EXEC sp_bindefault N'[Positive Amount_DFT]', N'[Positive Amount]'\r\nGO");
        EXPECT_EQ(f.FillDomainStatement(*d, true), "EXEC sp_unbindrule N'[Positive Amount]'\r\nGO\r\n"
                                                   "EXEC sp_unbindefault N'[Positive Amount]'\r\nGO\r\n"
                                                   "EXEC sp_droptype N'Positive Amount'\r\nGO\r\n"
                                                   "DROP RULE [Positive Amount_RULE]\r\nGO\r\n"
                                                   "DROP DEFAULT [Positive Amount_DFT]\r\nGO");
        // Quote characters are dropped from names everywhere alike; other letters stay.
        d->SetName("Prix d'\xC3\xA9t\xC3\xA9");
        d->SchemaName = "Ventes 1";
        EXPECT_EQ(
            f.FillDomain(*d, "%mssqladdtype%|%mssqlrule%|%mssqlbindefault%|%domainname%"),
            "EXEC sp_addtype N'Prix d\xC3\xA9t\xC3\xA9', INT,'NULL'|"
            "CREATE RULE [Prix d\xC3\xA9t\xC3\xA9_RULE] AS @value > 0|"
            "EXEC sp_bindefault N'[Prix d\xC3\xA9t\xC3\xA9_DFT]', N'[Ventes 1].[Prix d\xC3\xA9t\xC3\xA9]'|"
            "[Ventes 1].[Prix d\xC3\xA9t\xC3\xA9]");
    }
    // The targets with CREATE DOMAIN write the name with their delimiters.
    for (const char* target : {"postgresql15", "firebird3"}) {
        TVELDataDictionary dd;
        TVELDomain* d = newDomain(dd, target, "Prix d'\xC3\xA9t\xC3\xA9", "INTEGER");
        TVELTemplateFiller f(*dd.GetDatabaseSettings());
        EXPECT_EQ(f.FillDomainStatement(*d, false),
                  "CREATE DOMAIN \"Prix d\xC3\xA9t\xC3\xA9\" AS INTEGER DEFAULT 1 CHECK (VALUE > 0);")
            << target;
    }
}

TEST_F(FillerTest, ExtraValuesAndTheTemplateCache) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    TVELEntity* t = NewTable(dd, "T");
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    const std::string copy =
        "INSERT INTO %tablename% (%intofields%) SELECT %selectfields% FROM %quotedsimpletablename%"
        "{ -- %custom%}";
    EXPECT_EQ(f.FillTable(*t, copy),
              "INSERT INTO [T] (%intofields%) SELECT %selectfields% FROM [T]{ -- %custom%}");
    const TVELFillValues values = {
        {"intofields", "[A],[B]"}, {"SelectFields", "[A],[C]"}, {"tablename", "[T_TMP]"}, {"custom", "note"}};
    EXPECT_EQ(f.FillTable(*t, copy, &values),
              "INSERT INTO [T_TMP] ([A],[B]) SELECT [A],[C] FROM [T] -- note");

    // A template is parsed once, however often it is filled.
    const size_t before = f.CachedTemplateCount();
    for (int i = 0; i < 3; ++i)
        f.FillTable(*t, "DROP TABLE %tablename%");
    EXPECT_EQ(f.CachedTemplateCount(), before + 1);
    f.FillTable(*t, "DROP TABLE %tablename%;");
    EXPECT_EQ(f.CachedTemplateCount(), before + 2);
    EXPECT_EQ(f.Template("SQLCreatePKConstraint"),
              "{CONSTRAINT %constraintname% }PRIMARY KEY (%constraintcolumns%)");
    EXPECT_EQ(f.Template("NoSuchTemplate"), "");
}

} // namespace

namespace {

// ---- the shipped definitions ---------------------------------------------------------------------

// One small shop model on a target: Customer (identity key, not-null name with a comment,
// unique e-mail with a table check, credit with a default and a column check, a table comment,
// an index on the name) and Orders (identity key, foreign key to Customer deleting in
// cascade), a sequence, a domain, a view, a trigger and a procedure.
struct TShop {
    TVELDataDictionary dd;
    TVELEntity* customer = nullptr;
    TVELEntity* orders = nullptr;
    TVELIndex* index = nullptr;
    TVELConstraint* unique = nullptr;
    TVELConstraint* check = nullptr;
    TVELRelationship* relationship = nullptr;
    TVELSequence* sequence = nullptr;
    TVELDomain* domain = nullptr;
    TVELView* view = nullptr;
    TVELTrigger* trigger = nullptr;
    TVELProcedure* procedure = nullptr;

    TShop(const std::string& target, const std::string& integer, const std::string& decimal) {
        dd.SetTarget(target);
        auto fixedName = [](TVELDatabaseObject* o, const std::string& name) {
            o->NameFromTemplate = false;
            o->SetName(name);
        };
        customer = NewTable(dd, "Customer");
        customer->Comment = "All customers";
        TVELAttribute* id = NewColumn(customer, "CustomerId", integer, "0");
        id->DataType->AutoNumber = true;
        id->SetPrimaryKey(true);
        id->SetNotNull(true);
        fixedName(customer->PrimaryKey.get(), "PK_Customer");
        TVELAttribute* name = NewColumn(customer, "Name", "VARCHAR", "50");
        name->SetNotNull(true);
        name->Comment = "Customer's name";
        TVELAttribute* email = NewColumn(customer, "Email", "VARCHAR", "100");
        TVELAttribute* credit = NewColumn(customer, "Credit", decimal, "10");
        credit->DataType->Precision = 2;
        credit->SetDefaultValue("0");
        credit->SetCheckValue("\"Credit\" >= 0");
        fixedName(credit->CheckConstraint(), "CK_Credit");
        unique = customer->AddConstraint(ctUnique, clTable);
        fixedName(unique, "AK_Customer_Email");
        unique->AttributeIDs.Add(email);
        check = customer->AddConstraint(ctCheck, clTable);
        fixedName(check, "CK_Customer_Email");
        check->Value = "\"Email\" LIKE '%@%'";
        check->AttributeIDs.Add(email);
        index = customer->AddIndex();
        fixedName(index, "IX_Customer_Name");
        index->AddColumn(name);

        orders = NewTable(dd, "Orders");
        TVELAttribute* orderId = NewColumn(orders, "OrderId", integer, "0");
        orderId->DataType->AutoNumber = true;
        orderId->SetPrimaryKey(true);
        orderId->SetNotNull(true);
        fixedName(orders->PrimaryKey.get(), "PK_Orders");
        relationship = static_cast<TVELRelationship*>(dd.CreateObject(otRelationship, true));
        relationship->ParentObjectID = customer->ID;
        relationship->ChildObjectID = orders->ID;
        relationship->RelationshipType = rtNonIdentifying;
        relationship->DeleteRule = raCascade;
        relationship->Connect();
        fixedName(relationship->FKConstraint.get(), "FK_Orders_Customer");

        sequence = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
        sequence->SetName("OrderNumbers");
        sequence->Seed = 1000;
        sequence->Increment = 10;
        sequence->Min = "1000";
        sequence->Max = "";
        sequence->Cache = "";
        sequence->CacheCode = "";
        sequence->Cycle = "";
        sequence->IntegerType = "";
        domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
        domain->SetName("Code");
        domain->DataType->DataType = "VARCHAR";
        domain->DataType->Length = "10";
        domain->CheckConstraint()->Value = "VALUE <> ''";
        view = static_cast<TVELView*>(dd.CreateObject(otView, true));
        view->SetName("CustomerNames");
        view->Code = "CREATE VIEW %viewname% AS SELECT \"Name\" FROM \"Customer\"";
        trigger = orders->AddTrigger();
        trigger->SetName("Trg_Orders");
        trigger->Code =
            "CREATE TRIGGER %triggername% AFTER DELETE ON %tablename% FOR EACH ROW BEGIN SELECT 1; END";
        procedure = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
        procedure->SetName("CountOrders");
        procedure->Code = "CREATE FUNCTION %procname%(customer integer) RETURNS bigint AS "
                          "'SELECT count(*) FROM \"Orders\" WHERE \"CustomerId\" = customer' LANGUAGE sql";
    }

    // The statements of a create script in the order script generation writes them; constraints
    // and comments already written inline are left out, as are empty statements.
    std::vector<std::string> CreateScript() {
        TVELTemplateFiller f(*dd.GetDatabaseSettings());
        std::vector<std::string> script;
        auto add = [&](const std::string& text) {
            if (!text.empty()) script.push_back(text);
        };
        auto separate = [&](const TVELConstraint* c, const char* tmpl) {
            if (c->GenerationMark != gmWrittenInline) add(f.FillConstraint(*c, f.Template(tmpl)));
        };
        add(f.FillSequence(*sequence, f.Template("SQLCreateSequence")));
        add(f.FillDomain(*domain, f.Template("SQLCreateDomain")));
        for (TVELEntity* t : {customer, orders}) {
            add(f.FillTable(*t, f.Template("SQLCreateTable")));
            for (int i = 0; i < t->Indexes.Count(); ++i)
                add(f.FillIndex(*static_cast<TVELIndex*>(t->Indexes.Object(i)),
                                f.Template("SQLCreateIndex")));
            if (t == customer) {
                separate(unique, "SQLCreateUniqueConstraint");
                separate(check, "SQLCreateCheckConstraint");
                separate(customer->AttributeAt(3)->CheckConstraint(), "SQLCreateCheckConstraint");
                if (customer->GenerationMark != gmWrittenInline)
                    add(f.FillTable(*customer, f.Template("SQLAddTableComment")));
                const TVELAttribute* name = customer->AttributeAt(1);
                if (name->GenerationMark != gmWrittenInline)
                    add(f.FillColumn(*name, f.Template("SQLAddColumnComment")));
            }
        }
        separate(relationship->FKConstraint.get(), "SQLCreateFKConstraint");
        add(f.FillView(*view, f.Template("SQLCreateView")));
        add(f.FillProcedure(*procedure, f.Template("SQLCreateProcedure")));
        add(f.FillTrigger(*trigger, f.Template("SQLCreateTrigger")));
        return script;
    }
    // Drop statements of a few kinds.
    std::vector<std::string> DropScript() {
        TVELTemplateFiller f(*dd.GetDatabaseSettings());
        std::vector<std::string> script;
        auto add = [&](const std::string& text) {
            if (!text.empty()) script.push_back(text);
        };
        add(f.FillTrigger(*trigger, f.Template("SQLDropTrigger")));
        add(f.FillProcedure(*procedure, f.Template("SQLDropProcedure")));
        add(f.FillView(*view, f.Template("SQLDropView")));
        add(f.FillConstraint(*relationship->FKConstraint, f.Template("SQLDropFKConstraint")));
        add(f.FillIndex(*index, f.Template("SQLDropIndex")));
        add(f.FillTable(*orders, f.Template("SQLDropTable")));
        add(f.FillDomain(*domain, f.Template("SQLDropDomain")));
        add(f.FillSequence(*sequence, f.Template("SQLDropSequence")));
        return script;
    }
};

const std::vector<std::string> PostgreSQLScript = {
    "CREATE SEQUENCE \"OrderNumbers\" INCREMENT BY 10 MINVALUE 1000 START WITH 1000;",
    "CREATE DOMAIN \"Code\" AS VARCHAR(10) CHECK (VALUE <> '');",
    "CREATE TABLE \"Customer\" (\r\n"
    "  \"CustomerId\" INTEGER GENERATED BY DEFAULT AS IDENTITY (START WITH 1 INCREMENT BY 1) NOT NULL,\r\n"
    "  \"Name\" VARCHAR(50) NOT NULL,\r\n"
    "  \"Email\" VARCHAR(100),\r\n"
    "  \"Credit\" NUMERIC(10,2) DEFAULT 0,\r\n"
    "  CONSTRAINT \"PK_Customer\" PRIMARY KEY (\"CustomerId\")\r\n"
    ");",
    "CREATE INDEX \"IX_Customer_Name\" ON \"Customer\" (\"Name\");",
    "ALTER TABLE \"Customer\" ADD CONSTRAINT \"AK_Customer_Email\" UNIQUE (\"Email\");",
    "ALTER TABLE \"Customer\" ADD CONSTRAINT \"CK_Customer_Email\" CHECK (\"Email\" LIKE '%@%');",
    "ALTER TABLE \"Customer\" ADD CONSTRAINT \"CK_Credit\" CHECK (\"Credit\" >= 0);",
    "COMMENT ON TABLE \"Customer\" IS 'All customers';",
    "COMMENT ON COLUMN \"Customer\".\"Name\" IS 'Customer''s name';",
    "CREATE TABLE \"Orders\" (\r\n"
    "  \"OrderId\" INTEGER GENERATED BY DEFAULT AS IDENTITY (START WITH 1 INCREMENT BY 1) NOT NULL,\r\n"
    "  \"CustomerId\" INTEGER,\r\n"
    "  CONSTRAINT \"PK_Orders\" PRIMARY KEY (\"OrderId\")\r\n"
    ");",
    "ALTER TABLE \"Orders\" ADD CONSTRAINT \"FK_Orders_Customer\" FOREIGN KEY (\"CustomerId\") "
    "REFERENCES \"Customer\" (\"CustomerId\") ON DELETE CASCADE;",
    "CREATE VIEW \"CustomerNames\" AS SELECT \"Name\" FROM \"Customer\";",
    "CREATE FUNCTION \"CountOrders\"(customer integer) RETURNS bigint AS "
    "'SELECT count(*) FROM \"Orders\" WHERE \"CustomerId\" = customer' LANGUAGE sql;",
    "CREATE TRIGGER \"Trg_Orders\" BEFORE UPDATE ON \"Orders\" FOR EACH ROW "
    "EXECUTE FUNCTION suppress_redundant_updates_trigger();"};
const std::vector<std::string> PostgreSQLDrops = {
    "DROP TRIGGER \"Trg_Orders\" ON \"Orders\";",
    "DROP ROUTINE \"CountOrders\"(customer integer);",
    "DROP VIEW \"CustomerNames\";",
    "ALTER TABLE \"Orders\" DROP CONSTRAINT \"FK_Orders_Customer\";",
    "DROP INDEX \"IX_Customer_Name\";",
    "DROP TABLE \"Orders\";",
    "DROP DOMAIN \"Code\";",
    "DROP SEQUENCE \"OrderNumbers\";"};

// The MySQL family writes comments and (MariaDB) column checks with the table; its blocks are
// framed by client delimiter commands.
std::vector<std::string> MySQLScript(bool mariadb) {
    std::vector<std::string> script;
    if (mariadb)
        script.push_back(
            "CREATE SEQUENCE `OrderNumbers` START WITH 1000 INCREMENT BY 10 MINVALUE 1000 NOMAXVALUE;");
    script.push_back("CREATE TABLE `Customer` (\r\n"
                     "  `CustomerId` INT AUTO_INCREMENT NOT NULL,\r\n"
                     "  `Name` VARCHAR(50) NOT NULL COMMENT 'Customer''s name',\r\n"
                     "  `Email` VARCHAR(100),\r\n" +
                     std::string(mariadb ? "  `Credit` DECIMAL(10,2) DEFAULT 0 CHECK (\"Credit\" >= 0),\r\n"
                                         : "  `Credit` DECIMAL(10,2) DEFAULT 0,\r\n") +
                     "  PRIMARY KEY (`CustomerId`)\r\n"
                     ") COMMENT = 'All customers';");
    script.push_back("CREATE INDEX `IX_Customer_Name` ON `Customer` (`Name`);");
    script.push_back("ALTER TABLE `Customer` ADD CONSTRAINT `AK_Customer_Email` UNIQUE (`Email`);");
    script.push_back(
        "ALTER TABLE `Customer` ADD CONSTRAINT `CK_Customer_Email` CHECK (\"Email\" LIKE '%@%');");
    if (!mariadb)
        script.push_back("ALTER TABLE `Customer` ADD CONSTRAINT `CK_Credit` CHECK (\"Credit\" >= 0);");
    script.push_back("CREATE TABLE `Orders` (\r\n"
                     "  `OrderId` INT AUTO_INCREMENT NOT NULL,\r\n"
                     "  `CustomerId` INT,\r\n"
                     "  PRIMARY KEY (`OrderId`)\r\n"
                     ");");
    script.push_back("ALTER TABLE `Orders` ADD CONSTRAINT `FK_Orders_Customer` FOREIGN KEY (`CustomerId`) "
                     "REFERENCES `Customer` (`CustomerId`) ON DELETE CASCADE;");
    script.push_back("CREATE VIEW `CustomerNames` AS SELECT \"Name\" FROM \"Customer\";");
    script.push_back("DELIMITER //\r\n"
                     "CREATE FUNCTION `CountOrders`(customer integer) RETURNS bigint AS "
                     "'SELECT count(*) FROM \"Orders\" WHERE \"CustomerId\" = customer' LANGUAGE sql\r\n"
                     "//\r\n"
                     "DELIMITER ;");
    script.push_back(
        "DELIMITER //\r\n"
        "CREATE TRIGGER `Trg_Orders` AFTER DELETE ON `Orders` FOR EACH ROW BEGIN SELECT 1; END\r\n"
        "//\r\n"
        "DELIMITER ;");
    return script;
}
std::vector<std::string> MySQLDrops(bool mariadb) {
    std::vector<std::string> drops = {"DROP TRIGGER `Trg_Orders`;",
                                      "DROP FUNCTION `CountOrders`;", // the procedure is a function
                                      "DROP VIEW `CustomerNames`;",
                                      "ALTER TABLE `Orders` DROP FOREIGN KEY `FK_Orders_Customer`;",
                                      "DROP INDEX `IX_Customer_Name` ON `Customer`;",
                                      "DROP TABLE `Orders`;"};
    if (mariadb) drops.push_back("DROP SEQUENCE `OrderNumbers`;");
    return drops;
}

// SQLite writes every constraint inside the table, the key with its autonumber column.
const std::vector<std::string> SQLiteScript = {
    "CREATE TABLE \"Customer\" (\r\n"
    "  \"CustomerId\" INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,\r\n"
    "  \"Name\" VARCHAR(50) NOT NULL,\r\n"
    "  \"Email\" VARCHAR(100),\r\n"
    "  \"Credit\" NUMERIC(10,2) DEFAULT 0 CHECK (\"Credit\" >= 0),\r\n"
    "  CONSTRAINT \"AK_Customer_Email\" UNIQUE (\"Email\"),\r\n"
    "  CONSTRAINT \"CK_Customer_Email\" CHECK (\"Email\" LIKE '%@%')\r\n"
    ");",
    "CREATE INDEX \"IX_Customer_Name\" ON \"Customer\" (\"Name\");",
    "CREATE TABLE \"Orders\" (\r\n"
    "  \"OrderId\" INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,\r\n"
    "  \"CustomerId\" INTEGER,\r\n"
    "  CONSTRAINT \"FK_Orders_Customer\" FOREIGN KEY (\"CustomerId\") REFERENCES \"Customer\" "
    "(\"CustomerId\") "
    "ON DELETE CASCADE\r\n"
    ");",
    "CREATE VIEW \"CustomerNames\" AS SELECT \"Name\" FROM \"Customer\";",
    "CREATE TRIGGER \"Trg_Orders\" AFTER DELETE ON \"Orders\" FOR EACH ROW BEGIN SELECT 1; END;"};
const std::vector<std::string> SQLiteDrops = {"DROP TRIGGER \"Trg_Orders\";", "DROP VIEW \"CustomerNames\";",
                                              "DROP INDEX \"IX_Customer_Name\";", "DROP TABLE \"Orders\";"};

// PostgreSQL triggers call a function.
void UsePostgreSQLTrigger(TShop& shop) {
    shop.trigger->Code = "CREATE TRIGGER %triggername% BEFORE UPDATE ON %tablename% FOR EACH ROW "
                         "EXECUTE FUNCTION suppress_redundant_updates_trigger()";
}

TEST_F(FillerTest, ShippedDefinitionsGiveTheExpectedScripts) {
    {
        TShop shop("postgresql15", "INTEGER", "NUMERIC");
        UsePostgreSQLTrigger(shop);
        EXPECT_EQ(shop.CreateScript(), PostgreSQLScript);
        EXPECT_EQ(shop.DropScript(), PostgreSQLDrops);
        // Domains of a type written as a type.
        TVELTemplateFiller f(*shop.dd.GetDatabaseSettings());
        shop.domain->DataType->DataType = "ENUM";
        shop.domain->DataType->Items = "'a','b'";
        EXPECT_EQ(f.FillDomainStatement(*shop.domain, false), "CREATE TYPE \"Code\" AS ENUM ('a','b');");
        EXPECT_EQ(f.FillDomainStatement(*shop.domain, true), "DROP TYPE \"Code\";");
        shop.domain->DataType->DataType = "VARCHAR";
        EXPECT_EQ(f.FillDomainStatement(*shop.domain, true), "DROP DOMAIN \"Code\";");
    }
    for (bool mariadb : {false, true}) {
        TShop shop(mariadb ? "mariadb10" : "mysql8", "INT", "DECIMAL");
        EXPECT_EQ(shop.CreateScript(), MySQLScript(mariadb)) << mariadb;
        EXPECT_EQ(shop.DropScript(), MySQLDrops(mariadb)) << mariadb;
    }
    {
        TShop shop("sqlite3", "INTEGER", "NUMERIC");
        EXPECT_EQ(shop.CreateScript(), SQLiteScript);
        EXPECT_EQ(shop.DropScript(), SQLiteDrops);
    }
    {
        // The independent target has no statements at all.
        TShop shop("dbindependent", "INTEGER", "DECIMAL");
        EXPECT_EQ(shop.CreateScript(), std::vector<std::string>());
        EXPECT_EQ(shop.DropScript(), std::vector<std::string>());
    }
}

// Old names in the alter templates of a shipped definition.
TEST_F(FillerTest, ShippedAlterTemplatesUseTheOldNames) {
    TShop old("postgresql15", "INTEGER", "NUMERIC");
    TVELDataDictionary dd;
    dd.AssignDictionary(old.dd);
    auto* customer = static_cast<TVELEntity*>(dd.FindEntity("Customer"));
    ASSERT_NE(customer, nullptr);
    customer->SetName("Client");
    TVELAttribute* name = customer->AttributeAt(1);
    name->SetName("FullName");
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    TVELDictionaryOldModel oldModel(old.dd);
    f.OldModel = &oldModel;
    EXPECT_EQ(f.FillTable(*customer, f.Template("SQLRenameTable")),
              "ALTER TABLE \"Customer\" RENAME TO \"Client\";");
    EXPECT_EQ(f.FillColumn(*name, f.Template("SQLRenameColumn")),
              "ALTER TABLE \"Client\" RENAME COLUMN \"Name\" TO \"FullName\";");
    const TVELFillValues copy = {{"intofields", "\"CustomerId\",\"FullName\""},
                                 {"selectfields", "\"CustomerId\",\"Name\""}};
    EXPECT_EQ(f.FillTable(*customer, f.Template("SQLCopyData"), &copy),
              "INSERT INTO \"Client\" (\"CustomerId\",\"FullName\") SELECT \"CustomerId\",\"Name\" FROM "
              "\"Customer\";");
    EXPECT_EQ(f.FillColumn(*name, f.Template("SQLModifyColumnDataType")),
              "ALTER TABLE \"Client\" ALTER COLUMN \"FullName\" TYPE VARCHAR(50);");
}

// The scripts run on the servers: SQLite in memory, PostgreSQL on the test server.
TEST_F(FillerTest, SQLiteRunsTheScript) {
    TShop shop("sqlite3", "INTEGER", "NUMERIC");
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(nullptr, &sqlite3_close);
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK);
    db.reset(handle);
    auto run = [&](const std::vector<std::string>& script) {
        for (const std::string& sql : script) {
            char* error = nullptr;
            EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
                << sql << "\n"
                << (error ? error : "");
            sqlite3_free(error);
        }
    };
    run(shop.CreateScript());
    run({"INSERT INTO \"Customer\" (\"Name\", \"Email\") VALUES ('a', 'a@b')",
         "INSERT INTO \"Orders\" (\"CustomerId\") VALUES (1)"});
    char* error = nullptr;
    EXPECT_NE(sqlite3_exec(handle, "INSERT INTO \"Customer\" (\"Name\", \"Email\") VALUES ('b', 'nomail')",
                           nullptr, nullptr, &error),
              SQLITE_OK); // the table check holds
    sqlite3_free(error);
    run(shop.DropScript());
}

TEST_F(FillerTest, PostgreSQLRunsTheScript) {
    TShop shop("postgresql15", "INTEGER", "NUMERIC");
    UsePostgreSQLTrigger(shop);
    const std::string database = ardvin::test::CreatePostgresDatabase("filler");
    {
        std::unique_ptr<PGconn, decltype(&PQfinish)> conn(
            PQconnectdb(ardvin::test::PostgresConnInfo(database).c_str()), &PQfinish);
        ASSERT_EQ(PQstatus(conn.get()), CONNECTION_OK) << PQerrorMessage(conn.get());
        auto run = [&](const std::string& sql) {
            std::unique_ptr<PGresult, decltype(&PQclear)> res(PQexec(conn.get(), sql.c_str()), &PQclear);
            const ExecStatusType status = PQresultStatus(res.get());
            return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK
                       ? std::string()
                       : std::string(PQerrorMessage(conn.get()));
        };
        for (const std::string& sql : shop.CreateScript())
            EXPECT_EQ(run(sql), "") << sql;
        EXPECT_EQ(run("INSERT INTO \"Customer\" (\"Name\", \"Email\") VALUES ('a', 'a@b')"), "");
        EXPECT_NE(run("INSERT INTO \"Customer\" (\"Name\", \"Email\", \"Credit\") VALUES ('b', 'b@c', -1)"),
                  "");
        std::unique_ptr<PGresult, decltype(&PQclear)> comments(
            PQexec(conn.get(), "SELECT count(*) FROM pg_description WHERE description IN "
                               "('All customers', 'Customer''s name')"),
            &PQclear);
        ASSERT_EQ(PQresultStatus(comments.get()), PGRES_TUPLES_OK);
        EXPECT_STREQ(PQgetvalue(comments.get(), 0, 0), "2");
        for (const std::string& sql : shop.DropScript())
            EXPECT_EQ(run(sql), "") << sql;
    }
    ardvin::test::DropPostgresDatabase(database);
}

} // namespace
