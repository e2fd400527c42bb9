// The restructure object on a small target of our own: statement writing, headings, header,
// begin and end scripts, the order of sections and tables, what is left out, the log, execute
// mode through an executor, and the target subclasses.
#include <gtest/gtest.h>

#include <algorithm>
#include <typeinfo>
#include <string>
#include <vector>

#include "TestModelBuilder.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
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

const char* const GenDefinition =
    "[general]\r\ndbmsname=Gen Target\r\ndrivername=gen\r\n"
    "[scriptelements]\r\n%sBLOCKCOMMENTBEGIN=/*\r\nBLOCKCOMMENTEND=*/\r\nQUOTE='\r\nDELIMITERDDLBEGIN=\"\r\n"
    "DELIMITERDDLEND=\"\r\nTERMINATOR=;\r\n"
    "[supported]\r\nenablesequences=1\r\nenableviews=1\r\nenableprocedures=1\r\nenabletriggers=1\r\n"
    "enablerules=1\r\nenabletablecomments=1\r\nenablecolumncomments=1\r\nenableschemas=1\r\n"
    "[sqlcommands]\r\n"
    "SQLCreateTable=CREATE TABLE %%tablename%% (%%tablecolumns%%{, %%pkconstraint%%})%%terminator%%\r\n"
    "SQLCreateColumn=%%columnname%% %%datatype%%{ %%notnull%%}\r\n"
    "SQLCreatePKConstraint=PRIMARY KEY (%%constraintcolumns%%)\r\n"
    "SQLCreateFKConstraint=ALTER TABLE %%childtablename%% ADD FOREIGN KEY (%%childcolumns%%) REFERENCES "
    "%%parenttablename%% (%%parentcolumns%%)%%terminator%%\r\n"
    "SQLCreateCheckConstraint=ALTER TABLE %%tablename%% ADD CHECK (%%constraint%%)%%terminator%%\r\n"
    "SQLCreateIndex=CREATE INDEX %%indexname%% ON %%tablename%% (%%indexcolumns%%)%%terminator%%\r\n"
    "SQLIndexColumn=%%indexcolumn%%\r\n"
    "SQLCreateSequence=CREATE SEQUENCE %%seqname%%%%terminator%%\r\n"
    "SQLCreateDomain=CREATE DOMAIN %%domainname%% AS %%datatype%%%%terminator%%\r\n"
    "SQLCreateView=%%viewcode%%%%terminator%%\r\n"
    "SQLCreateProcedure=*%%proccode%%\r\n"
    "SQLCreateTrigger=%%triggercode%%%%terminator%%\r\n"
    "SQLCreateRule=%%rulecode%%%%terminator%%\r\n"
    "SQLAddSchema=CREATE SCHEMA %%tableschema%%%%terminator%%\r\n"
    "SQLAddTableComment=COMMENT ON TABLE %%tablename%% IS %%tablecomment%%%%terminator%%\r\n"
    "SQLAddColumnComment=COMMENT ON COLUMN %%tablename%%.%%columnname%% IS %%columncomment%%%%terminator%%\r\n"
    "SQLDropTable=DROP TABLE %%tablename%%%%terminator%%\r\n"
    "SQLDropFKConstraint=ALTER TABLE %%childtablename%% DROP FOREIGN KEY (%%childcolumns%%)%%terminator%%\r\n"
    "SQLDropSequence=DROP SEQUENCE %%seqname%%%%terminator%%\r\n"
    "SQLDropDomain=DROP DOMAIN %%domainname%%%%terminator%%\r\n"
    "SQLDropView=DROP VIEW %%viewname%%%%terminator%%\r\n"
    "SQLDropProcedure=DROP PROCEDURE %%procname%%%%terminator%%\r\n"
    "SQLDropTrigger=DROP TRIGGER %%triggername%%%%terminator%%\r\n"
    "SQLDropRule=DROP RULE %%rulename%%%%terminator%%\r\n";

class RestructureTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteDefinition("gen", "");
        WriteFile(dir.File("gen.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                       "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n");
        TargetDatabases().Build(dir.Path());
        dd.SetTarget("gen");
    }

    void WriteDefinition(const std::string& id, const std::string& scriptElements) {
        WriteFile(dir.File(id + ".def"), Format(GenDefinition, scriptElements.c_str()));
        WriteFile(dir.File(id + ".typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n");
    }

    TVELEntity* Table(const std::string& name) {
        TVELEntity* t = ardvin::test::NewKeyedTable(dd, name);
        t->AttributeAt(0)->SetNotNull(true);
        return t;
    }

    TVELRelationship* Relate(TVELEntity* parent, TVELEntity* child) { return ardvin::test::Relate(dd, parent, child); }

    std::vector<std::string> Statements(TDBRestructure& r) const {
        std::vector<std::string> out;
        for (const std::string& line : r.Script)
            if (!line.empty() && line.rfind("/*", 0) != 0) out.push_back(line);
        return out;
    }

    std::string Names(const std::vector<TVELEntity*>& tables) const {
        std::string text;
        for (const TVELEntity* t : tables) text += (text.empty() ? "" : ",") + t->GetName();
        return text;
    }

    TempDir dir;
    TVELDataDictionary dd;
};

// Records the statements it is given; fails those that contain a marker.
class TRecorder : public TVELStatementExecutor {
public:
    void Prepare() override { Calls.push_back("prepare"); }
    void StartTransaction() override { Calls.push_back("start"); }
    void Execute(const std::string& statement) override {
        if (statement.find("FAIL") != std::string::npos) throw EVELError("server says no");
        Calls.push_back(statement);
    }
    void Commit() override { Calls.push_back("commit"); }
    std::vector<std::string> Calls;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST_F(RestructureTest, CaptionsAndHeadings) {
    TDBRestructure r(dd);
    EXPECT_EQ(r.Caption("ADDTABLES"), "Add tables");
    EXPECT_EQ(r.Caption("REPAIRFOREIGNKEYCONSTRAINTS"), "Repair/add foreign key constraints");
    EXPECT_EQ(r.Caption("DROPINDEXES"), "Drop indexes");
    TVELEntity* t = Table("Customer");
    t->SchemaName = "sales";
    EXPECT_EQ(r.ObjectCaption("ADDTABLE", *t), "Add table \"sales.Customer\"");
    EXPECT_EQ(r.ObjectCaption("DROPANDRECREATETABLE", *t), "Drop and recreate table \"sales.Customer\"");
    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    domain->SetName("Money");
    EXPECT_EQ(r.ObjectCaption("ALTERDOMAIN", *domain), "Alter domain \"Money\"");

    r.WriteHeading("Größe\r\nsecond line");
    ASSERT_EQ(r.Script.size(), 5u);
    EXPECT_EQ(r.Script[0], "");
    EXPECT_EQ(r.Script[1], "/* " + std::string(70, '-') + " */");
    EXPECT_EQ(r.Script[2], "/* Größe" + std::string(65, ' ') + " */") << "padded by characters, not bytes";
    EXPECT_EQ(r.Script[3], "/* second line" + std::string(59, ' ') + " */");
    EXPECT_EQ(r.Script[4], r.Script[1]);
    EXPECT_EQ(r.Lines.back(), "Größe\r\nsecond line") << "the logger is told the caption";

    r.Script.clear();
    r.Options.SetValue("EXCLUDEREMARKS", "1");
    r.WriteHeading("Add tables");
    EXPECT_TRUE(r.Script.empty());

    // A target that wants its terminator after a block comment.
    WriteDefinition("term", "AddTerminatorAfterBlockComment=1\r\nTERMINATOR=#13#10GO\r\n");
    TVELDataDictionary other;
    other.SetTarget("term");
    TDBRestructure t2(other);
    t2.WriteHeading("X");
    ASSERT_EQ(t2.Script.size(), 6u);
    EXPECT_EQ(t2.Script[4], "") << "the terminator's own line break";
    EXPECT_EQ(t2.Script[5], "GO");
}

TEST_F(RestructureTest, WritingStatements) {
    TDBRestructure r(dd);
    r.WriteStatement("*CREATE SOMETHING;");
    r.WriteStatement("  \r\n ");
    EXPECT_TRUE(r.Script.empty());
    r.WriteStatement("  CREATE TABLE t (\r\n  a INTEGER\r\n);  \r\n");
    EXPECT_EQ(r.Script, (std::vector<std::string>{"", "CREATE TABLE t (", "  a INTEGER", ");"}));
    r.Script.clear();
    r.StripTerminators = true;
    r.WriteStatement("DROP TABLE t;  \r\n\r\n");
    EXPECT_EQ(r.Script, (std::vector<std::string>{"", "DROP TABLE t"}));

    // A terminator of several characters is cut without regard to case, its line breaks left out.
    WriteDefinition("go", "TERMINATOR=#13#10GO\r\n");
    TVELDataDictionary other;
    other.SetTarget("go");
    TDBRestructure g(other);
    g.StripTerminators = true;
    g.WriteStatement("CREATE TABLE t (a INTEGER)\r\ngo\r\n");
    EXPECT_EQ(g.Script, (std::vector<std::string>{"", "CREATE TABLE t (a INTEGER)"}));

    // Execute mode: through the executor, logged; a failure raises.
    TRecorder executor;
    r.WriteToScript = false;
    r.Executor = &executor;
    r.StripTerminators = false;
    r.WriteStatement("SELECT 1;");
    EXPECT_EQ(executor.Calls, std::vector<std::string>{"SELECT 1;"});
    EXPECT_EQ(r.Lines.back(), "SQL executed: \r\nSELECT 1;");
    EXPECT_THROW(r.WriteStatement("FAIL;"), EVELError);
    EXPECT_EQ(r.Script.size(), 2u) << "nothing is added to the script in execute mode";
}

TEST_F(RestructureTest, CreateScriptSectionsAndOrder) {
    // Children before their parents in the list; a self-reference; a cycle.
    TVELEntity* line = Table("Line");
    TVELEntity* order = Table("Orders");
    TVELEntity* customer = Table("Customer");
    TVELEntity* a = Table("CycleA");
    TVELEntity* b = Table("CycleB");
    Relate(order, line);
    Relate(customer, order);
    Relate(customer, customer);
    Relate(a, b);
    Relate(b, a);
    customer->Comment = "Buyers";
    customer->AttributeAt(0)->Comment = "Key";
    TVELIndex* index = customer->AddIndex();
    index->NameFromTemplate = false;
    index->SetName("IX1");
    index->AddColumn(customer->AttributeAt(0));
    TVELConstraint* check = customer->AddConstraint(ctCheck, clTable);
    check->Value = "CustomerId > 0";
    auto* late = static_cast<TVELView*>(dd.CreateObject(otView, true));
    late->Code = "CREATE VIEW V2 AS SELECT * FROM V1";
    late->PosNR = 2;
    auto* early = static_cast<TVELView*>(dd.CreateObject(otView, true));
    early->Code = "CREATE VIEW V1 AS SELECT 1";
    early->PosNR = 1;
    auto* proc = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
    proc->Code = "CREATE PROCEDURE P AS BEGIN END";
    customer->AddTrigger()->Code = "CREATE TRIGGER T1 ON Customer";
    customer->AddTrigger()->Code = "  ";  // no code, not written

    TDBRestructure r(dd);
    EXPECT_EQ(Names(r.TablesInDependencyOrder()), "Customer,Orders,Line,CycleA,CycleB");
    r.ProductLine = "Ardvin 9";
    ASSERT_TRUE(r.GenerateCreateScript()) << JoinStrings(r.Lines, "\n");
    const std::string text = r.ScriptText();
    EXPECT_EQ(text.find("Add sequences"), std::string::npos) << "no sequences, no heading";
    EXPECT_EQ(text.find("Add domains"), std::string::npos);
    EXPECT_EQ(text.find("Add procedures"), std::string::npos) << "a starred template writes nothing";
    EXPECT_EQ(text.find("Add schemas"), std::string::npos);
    for (const char* heading : {"Add tables", "Add table \"Customer\"", "Add foreign key constraints", "Add views",
                                "Add triggers", "Script generated with: Ardvin 9", "Target DBMS:           Gen Target",
                                "Database creation script"})
        EXPECT_NE(text.find(heading), std::string::npos) << heading;
    const std::vector<std::string> statements = Statements(r);
    const std::vector<std::string> expected = {
        "CREATE TABLE \"Customer\" (\"CustomerId\" INTEGER NOT NULL,\"CustomerId1\" INTEGER, PRIMARY KEY "
        "(\"CustomerId\"));",
        "CREATE INDEX \"IX1\" ON \"Customer\" (\"CustomerId\");",
        "ALTER TABLE \"Customer\" ADD CHECK (CustomerId > 0);",
        "COMMENT ON TABLE \"Customer\" IS 'Buyers';",
        "COMMENT ON COLUMN \"Customer\".\"CustomerId\" IS 'Key';",
        "CREATE TABLE \"Orders\" (\"OrdersId\" INTEGER NOT NULL,\"CustomerId\" INTEGER, PRIMARY KEY (\"OrdersId\"));",
        "CREATE TABLE \"Line\" (\"LineId\" INTEGER NOT NULL,\"OrdersId\" INTEGER, PRIMARY KEY (\"LineId\"));",
        "CREATE TABLE \"CycleA\" (\"CycleAId\" INTEGER NOT NULL,\"CycleBId\" INTEGER, PRIMARY KEY (\"CycleAId\"));",
        "CREATE TABLE \"CycleB\" (\"CycleBId\" INTEGER NOT NULL,\"CycleAId\" INTEGER, PRIMARY KEY (\"CycleBId\"));",
    };
    ASSERT_GE(statements.size(), expected.size() + 5);
    EXPECT_EQ(std::vector<std::string>(statements.begin(), statements.begin() + expected.size()), expected);
    // Five foreign keys in relationship order, then the views by their order number, the trigger.
    const std::vector<std::string> tail(statements.begin() + expected.size(), statements.end());
    ASSERT_EQ(tail.size(), 8u);
    EXPECT_EQ(tail[0], "ALTER TABLE \"Line\" ADD FOREIGN KEY (\"OrdersId\") REFERENCES \"Orders\" (\"OrdersId\");");
    EXPECT_EQ(tail[2], "ALTER TABLE \"Customer\" ADD FOREIGN KEY (\"CustomerId1\") REFERENCES \"Customer\" "
                       "(\"CustomerId\");");
    EXPECT_EQ(tail[5], "CREATE VIEW V1 AS SELECT 1;");
    EXPECT_EQ(tail[6], "CREATE VIEW V2 AS SELECT * FROM V1;");
    EXPECT_EQ(tail[7], "CREATE TRIGGER T1 ON Customer;");

    // The log names every object written, and says nothing of the procedure.
    EXPECT_EQ(r.Lines[0], "Generate a Gen Target database.");
    EXPECT_EQ(r.Lines[1].rfind("Date/time: ", 0), 0u);
    EXPECT_TRUE(Contains(r.Lines, "Customer : Table Customer added."));
    EXPECT_TRUE(Contains(r.Lines, "IX1 : Index Customer.IX1 added."));
    EXPECT_TRUE(Contains(r.Lines, "Customer : Added/modified comment for object \"Customer\"."));
    EXPECT_TRUE(Contains(r.Lines, "CustomerId : Added/modified comment for object \"CustomerId\"."));
    EXPECT_EQ(std::count_if(r.Lines.begin(), r.Lines.end(),
                            [](const std::string& l) { return l.find("Procedure") != std::string::npos; }),
              0);
}

TEST_F(RestructureTest, OptionsScriptsAndSelection) {
    TVELEntity* customer = Table("Customer");
    customer->SchemaName = "sales";
    Table("Other");
    auto* sequence = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    sequence->SetName("Numbers");
    sequence->PosNR = 5;
    auto* first = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    first->SetName("First");
    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    domain->SetName("Code");
    domain->DataType->DataType = "VARCHAR";
    domain->DataType->Length = "8";

    TDBRestructure r(dd);
    r.Options.SetValue("EXCLUDEREMARKS", "1");
    r.Options.SetValue("EXCLUDEHEADER", "1");
    r.Options.SetValue("BEGINDATABASESCRIPT", "SET x = <#1#>%TERMINATOR%#13#10SET y = {2}%terminator%");
    r.Options.SetValue("ENDDATABASESCRIPT", "-- the end");
    r.Options.SetValue("UNSELECTEDOBJECTS", IntToStr(customer->ID) + ",4711");
    ASSERT_TRUE(r.GenerateCreateScript());
    const std::vector<std::string> expected = {
        "",
        "SET x = {1};",
        "SET y = {2};",
        "",
        "CREATE SEQUENCE \"First\";",
        "",
        "CREATE SEQUENCE \"Numbers\";",
        "",
        "CREATE DOMAIN \"Code\" AS VARCHAR(8);",
        "",
        "CREATE TABLE \"Other\" (\"OtherId\" INTEGER NOT NULL, PRIMARY KEY (\"OtherId\"));",
        "",
        "-- the end",
    };
    EXPECT_EQ(r.Script, expected) << "only statements, each after an empty line; the unselected table left out";

    TDBRestructure without(dd);
    without.Options.SetValue("DONOTUSEDATABASESCRIPTS", "1");
    without.Options.SetValue("BEGINDATABASESCRIPT", "SET x = 1;");
    ASSERT_TRUE(without.GenerateCreateScript());
    EXPECT_EQ(without.ScriptText().find("SET x"), std::string::npos);
    EXPECT_NE(without.ScriptText().find("CREATE SCHEMA sales;"), std::string::npos);

    TDBRestructure none(dd);
    std::string all;
    for (int i = 0; i < dd.Count(); ++i) all += IntToStr(dd.Object(i)->ID) + ",";
    none.Options.SetValue("UNSELECTEDOBJECTS", all);
    try {
        none.GenerateCreateScript();
        FAIL() << "no exception";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "No objects to generate selected.");
    }
}

TEST_F(RestructureTest, ConvertedDomainsAndInlineComments) {
    WriteDefinition("inline", "");
    std::string def = test::ReadFile(dir.File("inline.def"));
    def = ReplaceAll(def, "SQLCreateTable=CREATE TABLE %tablename% (%tablecolumns%{, %pkconstraint%})%terminator%",
                     "SQLCreateTable=CREATE TABLE %tablename% (%tablecolumns%){ COMMENT %tablecomment%}%terminator%");
    WriteFile(dir.File("inline.def"), def);
    WriteFile(dir.File("inline.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                      "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n");
    TVELDataDictionary model;
    model.SetTarget("inline");
    auto* domain = static_cast<TVELDomain*>(model.CreateObject(otDomain, true));
    domain->SetName("Code");
    domain->DataType->DataType = "VARCHAR";
    domain->DataType->Length = "8";
    auto* t = static_cast<TVELEntity*>(model.CreateObject(otEntity, true));
    t->SetName("T");
    t->Comment = "Inline";
    TVELAttribute* a = t->AddAttribute();
    a->SetName("C");
    a->SetDomainID(domain->ID);

    TVELSettingsList options;
    options.SetValue("CONVERTDOMAINS", "1");
    model.Prepare(&options);
    TDBRestructure r(model);
    r.Options = options;
    ASSERT_TRUE(r.GenerateCreateScript());
    const std::string text = r.ScriptText();
    EXPECT_EQ(text.find("DOMAIN"), std::string::npos);
    EXPECT_NE(text.find("CREATE TABLE \"T\" (\"C\" VARCHAR(8)) COMMENT 'Inline';"), std::string::npos) << text;
    EXPECT_EQ(text.find("COMMENT ON TABLE"), std::string::npos) << "written inline, not again";
}

TEST_F(RestructureTest, DropScript) {
    TVELEntity* parent = Table("Parent");
    TVELEntity* child = Table("Child");
    Relate(parent, child);
    auto* sequence = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    sequence->SetName("S");
    auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
    view->SetName("V");
    auto* proc = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
    proc->SetName("P");
    auto* rule = static_cast<TVELRule*>(dd.CreateObject(otRule, true));
    rule->SetName("R");
    rule->Code = "CREATE RULE R";
    TVELTrigger* trigger = parent->AddTrigger();
    trigger->SetName("T");
    trigger->Code = "CREATE TRIGGER T";

    TDBRestructure r(dd);
    r.Options.SetValue("BEGINDROPDATABASESCRIPT", "-- begin");
    r.Options.SetValue("ENDDROPDATABASESCRIPT", "-- end");
    ASSERT_TRUE(r.GenerateDropScript());
    EXPECT_EQ(Statements(r), (std::vector<std::string>{
                                 "-- begin", "DROP RULE \"R\";", "DROP TRIGGER \"T\";", "DROP PROCEDURE \"P\";",
                                 "DROP VIEW \"V\";", "ALTER TABLE \"Child\" DROP FOREIGN KEY (\"ParentId\");",
                                 "DROP TABLE \"Child\";", "DROP TABLE \"Parent\";", "DROP SEQUENCE \"S\";", "-- end"}));
    const std::string text = r.ScriptText();
    for (const char* heading : {"Database drop script", "Drop rules", "Drop triggers", "Drop procedures", "Drop views",
                                "Drop foreign key constraints", "Drop tables", "Drop sequences"})
        EXPECT_NE(text.find(heading), std::string::npos) << heading;
    EXPECT_EQ(text.find("Drop domains"), std::string::npos);
    EXPECT_TRUE(Contains(r.Lines, "Parent : Table Parent dropped."));
}

TEST_F(RestructureTest, ExecuteModeLogsProblemsAndGoesOn) {
    Table("Good");
    Table("FAIL");
    Table("Later");
    TRecorder executor;
    TDBRestructure r(dd);
    r.WriteToScript = false;
    r.Executor = &executor;
    EXPECT_FALSE(r.GenerateCreateScript());
    EXPECT_EQ(r.ErrorCount, 1);
    EXPECT_TRUE(r.Script.empty());
    ASSERT_EQ(executor.Calls.size(), 5u);
    EXPECT_EQ(executor.Calls.front(), "prepare");
    EXPECT_EQ(executor.Calls[1], "start");
    EXPECT_EQ(executor.Calls.back(), "commit");
    EXPECT_NE(executor.Calls[3].find("\"Later\""), std::string::npos) << "generation goes on after a failure";
    EXPECT_TRUE(Contains(r.Lines, "Error : Problem adding table FAIL: server says no"));

    // An error that ends the run.
    TRecorder strict;
    TDBRestructure s(dd);
    s.WriteToScript = false;
    s.Executor = &strict;
    s.ContinueOnError = false;
    EXPECT_THROW(s.GenerateCreateScript(), EVELError);
}

TEST_F(RestructureTest, TargetSubclasses) {
    TargetDatabases().Build(test::DefinitionsDir());
    TVELDataDictionary my, lite, pg, independent;
    my.SetTarget("mysql8");
    lite.SetTarget("sqlite3");
    pg.SetTarget("postgresql15");
    independent.SetTarget("dbindependent");
    EXPECT_NE(dynamic_cast<TMySQLRestructure*>(CreateRestructure(my).get()), nullptr);
    EXPECT_NE(dynamic_cast<TSQLiteRestructure*>(CreateRestructure(lite).get()), nullptr);
    EXPECT_NE(dynamic_cast<TPostgreSQLRestructure*>(CreateRestructure(pg).get()), nullptr);
    const auto base = CreateRestructure(independent);
    EXPECT_EQ(typeid(*base), typeid(TDBRestructure));

    // MySQL: a connection takes a procedure without the client's DELIMITER lines.
    auto* procedure = static_cast<TVELProcedure*>(my.CreateObject(otProcedure, true));
    procedure->SetName("P");
    procedure->Code = "CREATE PROCEDURE %procname%()\r\nBEGIN\r\n  SELECT 1;\r\nEND";
    TRecorder executor;
    auto r = CreateRestructure(my);
    r->WriteToScript = false;
    r->Executor = &executor;
    ASSERT_TRUE(r->GenerateCreateScript()) << JoinStrings(r->Lines, "\n");
    ASSERT_EQ(executor.Calls.size(), 4u);
    EXPECT_EQ(executor.Calls[2], "CREATE PROCEDURE `P`()\r\nBEGIN\r\n  SELECT 1;\r\nEND");

    // SQLite: a foreign key its table statement did not write cannot be added afterwards. (The
    // shipped definition writes every one inline; this one leaves them out.)
    TargetDatabases().Build(dir.Path());
    WriteDefinition("lite", "");
    std::string def = test::ReadFile(dir.File("lite.def"));
    def = ReplaceAll(def, "drivername=gen", "drivername=sqlite");
    def = ReplaceAll(def, "SQLCreateFKConstraint=ALTER TABLE %childtablename% ADD FOREIGN KEY",
                     "SQLCreateFKConstraint=FOREIGN KEY");
    WriteFile(dir.File("lite.def"), def);
    TVELDataDictionary lite2;
    lite2.SetTarget("lite");
    auto table = [&lite2](const std::string& name) {
        auto* t = static_cast<TVELEntity*>(lite2.CreateObject(otEntity, true));
        t->SetName(name);
        TVELAttribute* a = t->AddAttribute();
        a->SetName(name + "Id");
        a->DataType->DataType = "INTEGER";
        a->SetPrimaryKey(true);
        return t;
    };
    TVELEntity* parent = table("Parent");
    TVELEntity* child = table("Child");
    auto* relationship = static_cast<TVELRelationship*>(lite2.CreateObject(otRelationship, true));
    relationship->ParentObjectID = parent->ID;
    relationship->ChildObjectID = child->ID;
    relationship->Connect();
    auto sqlite = CreateRestructure(lite2);
    ASSERT_NE(dynamic_cast<TSQLiteRestructure*>(sqlite.get()), nullptr);
    EXPECT_TRUE(sqlite->GenerateCreateScript());
    EXPECT_EQ(sqlite->ScriptText().find("FOREIGN KEY"), std::string::npos);
    EXPECT_EQ(sqlite->ScriptText().find("Add foreign key constraints"), std::string::npos);
    EXPECT_EQ(std::count_if(sqlite->Lines.begin(), sqlite->Lines.end(),
                            [](const std::string& l) { return l.find("can only be created with its table") !=
                                                              std::string::npos; }),
              1);
    auto drop = CreateRestructure(lite2);
    ASSERT_TRUE(drop->GenerateDropScript());
    EXPECT_EQ(drop->ScriptText().find("FOREIGN KEY"), std::string::npos);
    EXPECT_EQ(drop->ScriptText().find("Drop foreign key constraints"), std::string::npos);
}

TEST_F(RestructureTest, PreparingForGeneration) {
    TargetDatabases().Build(test::DefinitionsDir());
    TVELDataDictionary independent;
    independent.SetTarget("dbindependent");
    auto* t = static_cast<TVELEntity*>(independent.CreateObject(otEntity, true));
    t->SetName("Orders");
    TVELAttribute* a = t->AddAttribute();
    a->SetName("Id");
    a->DataType->DataType = "INTEGER";
    a->SetPrimaryKey(true);
    auto* view = static_cast<TVELView*>(independent.CreateObject(otView, true));
    view->Code = "CREATE VIEW %viewname% AS SELECT Id FROM Orders";

    TVELSettingsList options, used;
    try {
        PrepareForGeneration(independent, options, used);
        FAIL() << "no exception";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Select the target DBMS for which the database-independent model is generated.");
    }

    // Switched to the target and prepared with its options; the user's model stays as it was.
    options.SetValue("DBID", "sqlite3");
    options.SetValue("CHECKMODEL", "1");
    options.SetValue("DONOTUSEVIEWS", "1");
    auto copy = PrepareForGeneration(independent, options, used);
    EXPECT_EQ(copy->GetTarget(), "sqlite3");
    EXPECT_EQ(independent.GetTarget(), "dbindependent");
    EXPECT_EQ(copy->CountOfClass<TVELView>(), 0);
    EXPECT_EQ(independent.CountOfClass<TVELView>(), 1);
    EXPECT_EQ(used.GetValue("DONOTUSESEQUENCES"), "1") << "the target has no sequences";
    EXPECT_EQ(used.GetValue("DONOTUSEVIEWS"), "1");
    EXPECT_EQ(used.GetValue("DBID"), "sqlite3");

    // The check stops generation when the model has errors.
    t->SetName("Select");
    std::vector<std::string> messages;
    try {
        PrepareForGeneration(independent, options, used,
                             [&messages](TVELNamedObject*, int level, const std::string& text) {
                                 if (level == mlError) messages.push_back(text);
                             });
        FAIL() << "no exception";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Model contains error(s). Please correct the errors first.");
    }
    EXPECT_FALSE(messages.empty());
    options.SetValue("CHECKMODEL", "0");
    EXPECT_EQ(PrepareForGeneration(independent, options, used)->FindEntity("Select")->GetName(), "Select");
}
