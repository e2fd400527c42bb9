// The template filler: the placeholder language, name forms, comment literals, old names,
// generation marks, the fill operations of every object kind, and the statements the shipped
// definitions give for one model.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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
const char* const LangTyp =
    "LISTNAME;BASE;ADDITIONAL;AUTONUMBER;GROUP\r\n"
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

    TVELEntity* NewTable(TVELDataDictionary& dd, const std::string& name) {
        auto* table = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        table->SetName(name);
        return table;
    }
    static TVELAttribute* NewColumn(TVELEntity* table, const std::string& name, const std::string& type,
                                    const std::string& length = "0") {
        TVELAttribute* column = table->AddAttribute();
        column->SetName(name);
        column->DataType->DataType = type;
        column->DataType->Length = length;
        return column;
    }
    // A named constraint of the table, its name fixed rather than computed.
    static TVELConstraint* NewConstraint(TVELEntity* table, uint8_t type, const std::string& name,
                                         const std::vector<TVELAttribute*>& columns, const std::string& value = {}) {
        TVELConstraint* c = table->AddConstraint(type, clTable);
        c->NameFromTemplate = false;
        c->SetName(name);
        for (const TVELAttribute* a : columns) c->AttributeIDs.Add(a);
        c->Value = value;
        return c;
    }
    static TVELRelationship* Relate(TVELDataDictionary& dd, TVELEntity* parent, TVELEntity* child,
                                    const std::string& name) {
        auto* r = static_cast<TVELRelationship*>(dd.CreateObject(otRelationship, true));
        r->ParentObjectID = parent->ID;
        r->ChildObjectID = child->ID;
        r->RelationshipType = rtNonIdentifying;
        r->Connect();
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
    EXPECT_EQ(f.FillTable(*t, "%quotedqualifiedtablename%|%nonquotedqualifiedtablename%|%quotedsimpletablename%|"
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
    const std::vector<const TVELDatabaseObject*> written = {t, t->PrimaryKey.get(), name, name->CheckConstraint(),
                                                            name->DefaultConstraint(), id->NotNullConstraint(),
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
    EXPECT_EQ(f.FillColumn(*id, "%datatype%|%unsigned%|%zerofill%|%auto_increment%|%autoincrement%|%db2autoinc%"),
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
    EXPECT_EQ(f.FillSequence(*s, "CREATE SEQUENCE %seqname% START WITH %seqseed% INCREMENT BY %seqincrement% "
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
    EXPECT_EQ(f.FillSequence(*s, "%oraseqmin%|%oraseqmax%|%oraseqcache%|%mssqlserverseqcache%|%seqmin%|%seqmax%|"
                                 "%seqcycle%|%seqcache%|%seqcachecode%|%seqorder%|%seqintegertype%|%ORASEQMAX%"),
              "MINVALUE 1|MAXVALUE 500|nocache|nocache|1|500|CYCLE|20|nocache|ORDER|BIGINT|%ORASEQMAX%");
    s->CacheCode = "CACHE";
    s->Max = "  ";
    EXPECT_EQ(f.FillSequence(*s, "%oraseqcache%|%oraseqmax%"), "CACHE 20|NOMAXVALUE");
    EXPECT_EQ(f.FillSequence(*s, "%seqname%|%nonquotedqualifiedseqname%|%quotedsimpleseqname%"),
              "[app].[Seq]|app.Seq|[Seq]");
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
    EXPECT_EQ(f.FillConstraint(fk, add), "CONSTRAINT [FK_Child] FOREIGN KEY ([A],[B]) REFERENCES [Parent] ([A],[B])");
    r->DeleteRule = raCascade;
    r->UpdateRule = raSetNull;
    EXPECT_EQ(f.FillConstraint(fk, add), "CONSTRAINT [FK_Child] FOREIGN KEY ([A],[B]) REFERENCES [Parent] ([A],[B]) "
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
    const std::string columnForms = "%constraint%|%constraintcolumn%|%columndatatype%|%defaultvalue%|%notnull%|"
                                    "%tablename%|%columnname%|%constraintname%";
    // Column constraints of this target are unnamed.
    EXPECT_EQ(f.FillConstraint(*b->DefaultConstraint(), columnForms), "7|[B]|NUMERIC(5)|7|NOT NULL|[Parent]|[B]|");
    EXPECT_EQ(f.FillConstraint(*b->CheckConstraint(), columnForms), "B > 0|[B]|NUMERIC(5)|7|NOT NULL|[Parent]|[B]|");
    EXPECT_EQ(f.FillConstraint(*b->NotNullConstraint(), columnForms),
              "NOT NULL|[B]|NUMERIC(5)|7|NOT NULL|[Parent]|[B]|");
    TVELConstraint* unique = NewConstraint(child, ctUnique, "AK", {child->AttributeAt(1), child->AttributeAt(0)});
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
    std::string params;
    EXPECT_FALSE(TVELTemplateFiller::CodeParameters("x) y (", params));
    EXPECT_TRUE(TVELTemplateFiller::CodeParameters("f(a) (b)", params));
    EXPECT_EQ(params, "a");

    auto* rule = static_cast<TVELRule*>(dd.CreateObject(otRule, true));
    rule->SetName("R");
    rule->RuleType = "INSTEAD";
    rule->Code = "CREATE RULE %rulename% AS ON INSERT TO t(x) DO NOTHING";
    rule->Comment = "no inserts";
    EXPECT_EQ(f.FillRule(*rule, "%rulecode%;|%ruletype%|%ruleparams%|%rulecomment%|%nonquotedsimplerulename%"),
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
    EXPECT_EQ(f.FillTrigger(*generated, "DROP TRIGGER %quotedsimpletriggername% ON %tablename% -- %tableschema% "
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
    EXPECT_EQ(f.FillDomain(*d, "[%mssqlrule%][%mssqldroprule%][%mssqldefault%][%mssqldropdefault%]"
                               "[%mssqlbindrule%][%mssqlunbindrule%][%mssqlbindefault%][%mssqlunbindefault%]"),
              "[][][][][][][][]");
    d->CheckConstraint()->Value = "VALUE >= 0 AND value < 1000";
    d->DefaultConstraint()->Value = "0";
    EXPECT_EQ(f.FillDomain(*d, create),
              "CREATE DOMAIN [fin].[Money] AS NUMERIC(12,2) COLLATE C DEFAULT 0 CHECK (VALUE >= 0 AND value < 1000);");
    EXPECT_EQ(f.FillDomain(*d, "%mssqlrule%|%mssqldroprule%|%mssqldefault%|%mssqldropdefault%"),
              "CREATE RULE Money_RULE AS @value >= 0 AND @value < 1000|DROP RULE Money_RULE|"
              "CREATE DEFAULT Money_DFT AS 0|DROP DEFAULT Money_DFT");
    EXPECT_EQ(f.FillDomain(*d, "%mssqladdtype%|%mssqldroptype%|%mssqlbindrule%|%mssqlunbindrule%|"
                               "%mssqlbindefault%|%mssqlunbindefault%|%MSSQLDROPTYPE%"),
              "EXEC sp_addtype Money, 'NUMERIC(12,2)','NULL'|EXEC sp_droptype Money|"
              "EXEC sp_bindrule 'Money_RULE', 'fin.Money'|EXEC sp_unbindrule fin.Money|"
              "EXEC sp_bindefault 'Money_DFT', 'fin.Money'|EXEC sp_unbindefault fin.Money|%MSSQLDROPTYPE%");
    d->DataType->DataType = "INTEGER";
    EXPECT_EQ(f.FillDomain(*d, "%mssqladdtype%"), "EXEC sp_addtype Money, INTEGER,'NULL'");
    EXPECT_EQ(f.FillDomain(*d, "COMMENT ON DOMAIN %domainname% IS %domaincomment%"),
              "COMMENT ON DOMAIN [fin].[Money] IS 'amounts'");
    EXPECT_EQ(d->GenerationMark, gmWrittenInline);
    d->DataType->DataType = "ENUM";
    d->DataType->Items = "'a','b'";
    EXPECT_EQ(f.FillDomain(*d, "CREATE TYPE %domainname% AS ENUM (%items%)"), "CREATE TYPE [fin].[Money] AS ENUM ('a','b')");

    // A column of the domain refers to it by name; its default is the domain's.
    TVELEntity* t = NewTable(dd, "T");
    TVELAttribute* c = NewColumn(t, "Price", "INTEGER");
    c->SetDomainID(d->ID);
    EXPECT_EQ(f.FillColumn(*c, "%datatype%|%domainname%|%nonquotedsimpledomainname%|[%defaultvalue%]"),
              "[fin].[Money]|[fin].[Money]|Money|[]");
    TVELAttribute* plain = NewColumn(t, "Plain", "INTEGER");
    EXPECT_EQ(f.FillColumn(*plain, "[%domainname%]{ DOMAIN %domainname%}"), "[]");
}

TEST_F(FillerTest, ExtraValuesAndTheTemplateCache) {
    TVELDataDictionary dd;
    dd.SetTarget("lang");
    TVELEntity* t = NewTable(dd, "T");
    TVELTemplateFiller f(*dd.GetDatabaseSettings());
    const std::string copy = "INSERT INTO %tablename% (%intofields%) SELECT %selectfields% FROM %quotedsimpletablename%"
                             "{ -- %custom%}";
    EXPECT_EQ(f.FillTable(*t, copy), "INSERT INTO [T] (%intofields%) SELECT %selectfields% FROM [T]{ -- %custom%}");
    const TVELFillValues values = {{"intofields", "[A],[B]"},
                                   {"SelectFields", "[A],[C]"},
                                   {"tablename", "[T_TMP]"},
                                   {"custom", "note"}};
    EXPECT_EQ(f.FillTable(*t, copy, &values), "INSERT INTO [T_TMP] ([A],[B]) SELECT [A],[C] FROM [T] -- note");

    // A template is parsed once, however often it is filled.
    const size_t before = f.CachedTemplateCount();
    for (int i = 0; i < 3; ++i) f.FillTable(*t, "DROP TABLE %tablename%");
    EXPECT_EQ(f.CachedTemplateCount(), before + 1);
    f.FillTable(*t, "DROP TABLE %tablename%;");
    EXPECT_EQ(f.CachedTemplateCount(), before + 2);
    EXPECT_EQ(f.Template("SQLCreatePKConstraint"), "{CONSTRAINT %constraintname% }PRIMARY KEY (%constraintcolumns%)");
    EXPECT_EQ(f.Template("NoSuchTemplate"), "");
}

} // namespace
