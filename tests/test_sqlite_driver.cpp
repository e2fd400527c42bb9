// The SQLite driver on real database files: the full-feature model generated into a new file
// through execute mode and read back object by object, names built to break pasted queries,
// a database of a thousand tables, and the declared types SQLite schemas commonly use.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "FullFeatureModel.h"
#include "TestModelObjects.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDatatype.h"
#include "zConnectionExecutor.h"
#include "zDBRestructure.h"
#include "zDDComparer.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"
#include "zIDMatcher.h"
#include "zIndex.h"
#include "zRelationship.h"
#include "zSQLParser.h"
#include "zSQLiteDriver.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

// Runs a script on a database file with the library itself; the error text, or empty.
std::string RunScript(const std::string& file, const std::string& script) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    char* error = nullptr;
    std::string message;
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) message = error ? error : "error";
    sqlite3_free(error);
    sqlite3_close(db);
    return message;
}

std::unique_ptr<TDBConnection> OpenFile(const std::string& file, bool create = false) {
    std::unique_ptr<TDBConnection> connection = CreateConnection("sqlite");
    connection->Parameters.SetValue("databasefile", file);
    if (create) connection->Parameters.SetValue("CreateDatabase", "1");
    connection->Connect();
    return connection;
}

// Reverse engineers a file into a new sqlite3 model; the log lines go to log.
std::unique_ptr<TVELDataDictionary> Reverse(const std::string& file, std::vector<std::string>* log = nullptr,
                                            const TVELSettingsList& options = {}) {
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget("sqlite3");
    std::unique_ptr<TDBConnection> connection = OpenFile(file);
    TVELSettingsList parameters;
    parameters.SetValue("databasefile", file);
    ImportFromDatabase(*connection, *dd, parameters, options, nullptr, log);
    return dd;
}

std::vector<TVELIndex*> Indexes(const TVELDataDictionary& dd) {
    std::vector<TVELIndex*> indexes;
    dd.AllIndexes(indexes);
    return indexes;
}

std::vector<TVELTrigger*> Triggers(const TVELDataDictionary& dd) {
    std::vector<TVELTrigger*> triggers;
    dd.AllTriggers(triggers);
    return triggers;
}

// Every table described as a comparison describes it, by name.
std::map<std::string, std::string> TableDescriptions(const TVELDataDictionary& dd) {
    const TVELDataDictionary::TBulkScope scope(dd);
    std::map<std::string, std::string> out;
    for (const TVELEntity* e : All<TVELEntity>(dd)) {
        std::vector<std::string> lines;
        PropertyDescription(*e, lines);
        out[e->GetName()] = JoinStrings(lines, "\n");
    }
    return out;
}

// The tables of both models are the same: names, columns, keys, constraints, foreign keys,
// indexes and triggers.
void ExpectSameTables(const TVELDataDictionary& expected, const TVELDataDictionary& actual) {
    const std::map<std::string, std::string> e = TableDescriptions(expected), a = TableDescriptions(actual);
    ASSERT_EQ(e.size(), a.size());
    int different = 0;
    for (const auto& [name, text] : e) {
        const auto it = a.find(name);
        if ((it == a.end() || it->second != text) && ++different <= 3)
            ADD_FAILURE() << text << "\n----\n" << (it == a.end() ? "missing" : it->second);
    }
    EXPECT_EQ(different, 0);
}

// The changed detail lines of every difference: "object: left | right".
std::vector<std::string> ChangedLines(const TVELDataDictionary& expected, TVELDataDictionary& actual) {
    MatchIDs(const_cast<TVELDataDictionary&>(expected), actual, nullptr);
    TVELDifferences differences;
    TVELCompareSettings settings;
    settings.MarkWords = false;
    settings.Prepare = [](TVELDataDictionary& copy, const TVELSettingsList& options) {
        ApplyCompareOptions(copy, options);
        for (int i = 0; i < copy.Count(); ++i) copy.Object(i)->Selected = true;
    };
    CompareDictionaries(expected, actual, differences, settings);
    std::vector<std::string> lines;
    for (int i = 0; i < differences.Count(); ++i) {
        const TVELDifference* d = differences.Difference(i);
        if (d->Status == dsUnchanged) continue;
        if (d->Status != dsChanged) {
            lines.push_back(d->GetName() + ": " + DiffStatusText(d->Status));
            continue;
        }
        for (const TVELDiffDetailsItem& item : d->Details)
            if (item.Status != dsUnchanged) lines.push_back(d->GetName() + ": " + item.LeftString + " | " + item.RightString);
    }
    return lines;
}

}  // namespace

TEST(SQLiteDriver, FullFeatureModelRoundTrip) {
    TargetDatabases().Build(DefinitionsDir());
    TVELDataDictionary model;
    model.SetTarget("sqlite3");
    BuildFullFeatureModel(model, {});
    TVELSettingsList options, used;
    const std::unique_ptr<TVELDataDictionary> prepared = PrepareForGeneration(model, options, used);

    // Execute mode writes the model into a new file, statement by statement.
    const TempDir dir;
    const std::string file = dir.File("full.db");
    {
        std::unique_ptr<TDBConnection> connection = CreateConnection("sqlite");
        connection->Parameters.SetValue("databasefile", file);
        connection->Parameters.SetValue("CreateDatabase", "1");
        std::unique_ptr<TDBRestructure> restructure = CreateRestructure(*prepared);
        restructure->Options = used;
        EXPECT_TRUE(ExecuteCreateScript(*restructure, *connection)) << JoinStrings(restructure->Lines, "\n");
        EXPECT_EQ(restructure->ErrorCount, 0);
        EXPECT_TRUE(restructure->Script.empty());
        int executed = 0;
        for (const std::string& line : restructure->Lines)
            if (line.starts_with("SQL executed: \r\n") && line.find("CREATE TABLE ") != std::string::npos) ++executed;
        EXPECT_EQ(executed, static_cast<int>(All<TVELEntity>(*prepared).size()));
    }

    std::vector<std::string> log;
    const std::unique_ptr<TVELDataDictionary> back = Reverse(file, &log);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "Reverse engineer/import " + back->GetDatabaseSettings()->DBMSName + " database.");
    EXPECT_EQ(All<TVELEntity>(*back).size(), All<TVELEntity>(*prepared).size());

    // What the database cannot give back, each with its reason; everything else must be equal.
    const std::map<std::string, std::string> unavoidable = {
        {"Customer: Name VARCHAR(100) COLLATE NOCASE NOT NULL CONSTRAINT CK_Customer_Name CHECK (Name <> '') | "
         "Name VARCHAR(100) COLLATE NOCASE NOT NULL CHECK (Name <> '')",
         "the target writes column checks without their names"},
        {"Customer: Score INTEGER DEFAULT 0 CONSTRAINT CK_Customer_Score_Min CHECK (Score >= 0) | "
         "Score INTEGER DEFAULT 0 CHECK (Score >= 0)",
         "the target writes column checks without their names"},
        {"Customer: CONSTRAINT PK_Customer (CustomerId) | CONSTRAINT  (CustomerId)",
         "an auto-increment key is written on its column, where SQLite takes no constraint name"},
        {"Customer: Begin table script: PRAGMA foreign_keys = ON; | Begin table script: ",
         "a table's begin script is a statement run before it; the database keeps no trace of it"},
        {"Customer: End table script: ANALYZE %tablename%; | End table script: ",
         "a table's end script is a statement run after it; the database keeps no trace of it"},
        {"Customers Note: Say \"Hi\" VARCHAR(20) | Say Hi VARCHAR(20)",
         "generation leaves quote characters out of names"},
        {"Customers Note: CONSTRAINT PK_Customer's Note (NoteId) | CONSTRAINT PK_Customers Note (NoteId)",
         "generation leaves quote characters out of names"},
    };
    std::set<std::string> seen;
    for (const std::string& line : ChangedLines(*prepared, *back)) {
        seen.insert(line);
        EXPECT_TRUE(unavoidable.count(line)) << "difference: " << line;
    }
    for (const auto& [line, reason] : unavoidable)
        EXPECT_TRUE(seen.count(line)) << "expected difference (" << reason << ") is gone: " << line;

    // The same database without the phases the options switch off.
    TVELSettingsList without;
    for (const char* option : {"RevEngIndexes", "RevEngTriggers", "RevEngViews", "RevEngRelationships"})
        without.SetValue(option, "0");
    const std::unique_ptr<TVELDataDictionary> bare = Reverse(file, nullptr, without);
    EXPECT_EQ(All<TVELEntity>(*bare).size(), All<TVELEntity>(*prepared).size());
    EXPECT_TRUE(All<TVELView>(*bare).empty());
    EXPECT_TRUE(All<TVELRelationship>(*bare).empty());
    EXPECT_TRUE(Indexes(*bare).empty());
    EXPECT_TRUE(Triggers(*bare).empty());
    EXPECT_FALSE(Indexes(*back).empty());
    EXPECT_FALSE(Triggers(*back).empty());
}

// Names that would end a pasted query text are only ever bound as parameters: every object
// comes back, and the database is as it was.
TEST(SQLiteDriver, NamesThatBreakPastedQueries) {
    TargetDatabases().Build(DefinitionsDir());
    const TempDir dir;
    const std::string file = dir.File("names.db");
    ASSERT_EQ(RunScript(file, R"(
        CREATE TABLE y (id INTEGER PRIMARY KEY);
        CREATE TABLE "it's" (id INTEGER PRIMARY KEY, "x'; drop table y; --" TEXT NOT NULL);
        CREATE TABLE "x'; drop table y; --" (
          ref INTEGER CONSTRAINT "fk'" REFERENCES "it's" (id) ON DELETE CASCADE,
          note TEXT -- a comment at the end of the statement
        );
        CREATE INDEX "ix'; drop table y; --" ON "x'; drop table y; --" (note DESC);
        CREATE INDEX "it's lower" ON "it's" (lower("x'; drop table y; --"));
        CREATE TRIGGER "tr'" AFTER INSERT ON "x'; drop table y; --" BEGIN SELECT 1; END;
        CREATE VIEW "v'; drop table y; --" AS SELECT * FROM "it's";
        INSERT INTO "it's" VALUES (1, 'a'), (2, 'b');
    )"),
              "");
    std::vector<std::string> log;
    const std::unique_ptr<TVELDataDictionary> dd = Reverse(file, &log);
    std::set<std::string> tables;
    for (const TVELEntity* e : All<TVELEntity>(*dd)) tables.insert(e->GetName());
    EXPECT_EQ(tables, (std::set<std::string>{"y", "it's", "x'; drop table y; --"})) << JoinStrings(log, "\n");

    const TVELEntity* its = FindTable(*dd, "it's");
    const TVELEntity* x = FindTable(*dd, "x'; drop table y; --");
    ASSERT_TRUE(its && x);
    ASSERT_EQ(its->Attributes.Count(), 2);
    EXPECT_EQ(its->AttributeAt(1)->GetName(), "x'; drop table y; --");
    EXPECT_TRUE(its->AttributeAt(1)->IsNotNull());
    ASSERT_EQ(x->Indexes.Count(), 1);
    EXPECT_EQ(x->Indexes.Items(0)->GetName(), "ix'; drop table y; --");
    ASSERT_EQ(its->Indexes.Count(), 1);
    const auto* lower = static_cast<const TVELIndex*>(its->Indexes.Items(0));
    EXPECT_EQ(lower->GetName(), "it's lower");
    ASSERT_EQ(lower->Columns.Count(), 1);
    EXPECT_EQ(lower->Column(0)->Expression, "lower(\"x'; drop table y; --\")");
    ASSERT_EQ(x->Triggers.Count(), 1);
    EXPECT_EQ(x->Triggers.Items(0)->GetName(), "tr'");
    const std::vector<TVELRelationship*> relationships = All<TVELRelationship>(*dd);
    ASSERT_EQ(relationships.size(), 1u);
    EXPECT_EQ(relationships[0]->GetParentEntity(), its);
    EXPECT_EQ(relationships[0]->GetChildEntity(), x);
    EXPECT_EQ(relationships[0]->DeleteRule, raCascade);
    ASSERT_EQ(All<TVELView>(*dd).size(), 1u);
    EXPECT_EQ(All<TVELView>(*dd)[0]->GetName(), "v'; drop table y; --");

    // The lists and the row operations quote the name as an identifier.
    std::unique_ptr<TDBConnection> connection = OpenFile(file);
    std::vector<std::string> list;
    connection->ListTables(list);
    EXPECT_EQ(list, (std::vector<std::string>{"y", "it's", "x'; drop table y; --"}));
    connection->ListViews(list);
    EXPECT_EQ(list, (std::vector<std::string>{"v'; drop table y; --"}));
    connection->ListTableSchemas(list);
    EXPECT_EQ(list, (std::vector<std::string>{""}));
    EXPECT_EQ(connection->RowCount("it's"), 2);
    std::unique_ptr<TDBQuery> rows = connection->CreateTableQuery("it's");
    ASSERT_NE(rows, nullptr);
    rows->Open();
    ASSERT_FALSE(rows->Eof());
    EXPECT_EQ(rows->FieldByName("X'; DROP TABLE Y; --")->AsString(), "a");
    rows->Close();
    connection->DeleteRows("it's");
    EXPECT_EQ(connection->RowCount("it's"), 0);
    EXPECT_EQ(connection->RowCount("y"), 0) << "table y is still there";
    EXPECT_THROW(connection->RowCount("no such table"), EVELError);
}

// Opening, the description, queries with parameters and nulls, and transactions.
TEST(SQLiteDriver, ConnectionQueriesAndTransactions) {
    const TempDir dir;
    std::unique_ptr<TDBConnection> connection = CreateConnection("sqlite");
    EXPECT_FALSE(connection->Connected());
    EXPECT_EQ(connection->CreateQuery(), nullptr) << "no database is open yet";
    connection->Parameters.SetValue("databasefile", dir.File("missing.db"));
    try {
        connection->Connect();
        ADD_FAILURE() << "a missing file opens";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Database filename does not exist.");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
    WriteFile(dir.File("text.db"), "this is no database, only text that is long enough to be read as a header");
    connection->Parameters.SetValue("databasefile", dir.File("text.db"));
    EXPECT_THROW(connection->Connect(), EVELError);
    EXPECT_FALSE(connection->Connected());

    connection->Parameters.Clear();
    connection->Parameters.SetValue("DatabaseName", dir.File("new.db"));
    connection->Parameters.SetValue("CreateDatabase", "1");
    connection->Connect();
    EXPECT_TRUE(connection->Connected());
    std::string description;
    connection->GetDescription(description);
    EXPECT_EQ(description, dir.File("new.db"));

    auto exec = [&](const std::string& sql) {
        std::unique_ptr<TDBQuery> q = connection->CreateQuery();
        q->AddSQL(sql);
        q->ExecSQL();
    };
    exec("CREATE TABLE t (a TEXT, b INTEGER); INSERT INTO t VALUES ('one', 1)");
    auto* query = dynamic_cast<TSQLiteQuery*>(connection->CreateQuery().release());
    ASSERT_NE(query, nullptr);
    std::unique_ptr<TSQLiteQuery> owned(query);
    query->AddSQL("SELECT a AS re_a, b, ?2 AS re_null FROM t WHERE a = ?1");
    query->Params = {std::string("one"), std::nullopt};
    query->Open();
    ASSERT_FALSE(query->Eof());
    EXPECT_EQ(query->FieldByName("RE_A")->AsString(), "one");
    EXPECT_EQ(query->FieldByName("b")->AsInteger(), 1);
    EXPECT_TRUE(query->FieldByName("re_null")->IsNull());
    EXPECT_EQ(query->FieldByName("c"), nullptr);
    query->Next();
    EXPECT_TRUE(query->Eof());
    EXPECT_EQ(query->FieldByName("b"), nullptr);
    query->Close();

    // A transaction that is not committed is gone after the connection closes.
    connection->StartTransaction();
    exec("INSERT INTO t VALUES ('two', 2)");
    connection->Disconnect();
    connection->Connect();
    EXPECT_EQ(connection->RowCount("t"), 1);
    connection->StartTransaction();
    exec("INSERT INTO t VALUES ('two', 2)");
    connection->Commit();
    connection->Disconnect();
    connection->Connect();
    EXPECT_EQ(connection->RowCount("t"), 2);
    try {
        exec("INSERT INTO nowhere VALUES (1)");
        ADD_FAILURE() << "no error";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()), "no such table: nowhere");
    }
}

// Execute mode goes on after a failing statement, logs the problem, and commits the rest.
TEST(SQLiteDriver, ExecuteModeReportsFailingStatements) {
    TargetDatabases().Build(DefinitionsDir());
    const TempDir dir;
    const std::string file = dir.File("exec.db");
    ASSERT_EQ(RunScript(file, "CREATE TABLE \"Second\" (x INTEGER)"), "");
    TVELDataDictionary model;
    model.SetTarget("sqlite3");
    for (const char* name : {"First", "Second", "Third"}) {
        auto* e = static_cast<TVELEntity*>(model.CreateObject(otEntity, true));
        e->SetName(name);
        TVELAttribute* a = e->AddAttribute(true);
        a->SetName("Id");
        a->DataType->DataType = "INTEGER";
        a->SetPrimaryKey(true);
    }
    TVELSettingsList options, used;
    const std::unique_ptr<TVELDataDictionary> prepared = PrepareForGeneration(model, options, used);
    std::unique_ptr<TDBRestructure> restructure = CreateRestructure(*prepared);
    restructure->Options = used;
    std::unique_ptr<TDBConnection> connection = OpenFile(file);
    EXPECT_FALSE(ExecuteCreateScript(*restructure, *connection));
    EXPECT_EQ(restructure->ErrorCount, 1);
    EXPECT_TRUE(restructure->WriteToScript) << "the restructure object is left as it was";
    const std::string log = JoinStrings(restructure->Lines, "\n");
    EXPECT_NE(log.find("Error : Problem adding"), std::string::npos) << log;
    EXPECT_NE(log.find("table \"Second\" already exists"), std::string::npos) << log;
    EXPECT_NE(log.find("Table First added."), std::string::npos) << log;
    EXPECT_NE(log.find("Table Third added."), std::string::npos) << log;
    connection->Disconnect();
    const std::unique_ptr<TVELDataDictionary> back = Reverse(file);
    EXPECT_EQ(All<TVELEntity>(*back).size(), 3u);
    ASSERT_NE(FindTable(*back, "Third"), nullptr);
    EXPECT_EQ(FindTable(*back, "Second")->AttributeAt(0)->GetName(), "x");
}

// A database of a thousand tables comes back complete: the same model as the SQL import of the
// script that made it.
TEST(SQLiteDriver, ThousandTables) {
    TargetDatabases().Build(DefinitionsDir());
    const TempDir dir;
    const RunResult script = RunProgram("/usr/bin/python3", {SourceDir() + "/../shared/tools/gen_schema.py", "--tables",
                                                              "1000", "--dialect", "sqlite", "--seed", "7"});
    ASSERT_EQ(script.ExitCode, 0) << script.Err;
    WriteFile(dir.File("schema.sql"), script.Out);
    const std::string file = dir.File("thousand.db");
    ASSERT_EQ(RunScript(file, "BEGIN;\n" + script.Out + "\nCOMMIT;"), "");

    std::vector<std::string> log;
    const std::unique_ptr<TVELDataDictionary> back = Reverse(file, &log);
    TVELDataDictionary imported;
    imported.SetTarget("sqlite3");
    std::vector<std::string> messages;
    EXPECT_EQ(ImportFromScript(imported, dir.File("schema.sql"), {}, &messages), 0) << JoinStrings(messages, "\n");
    EXPECT_EQ(All<TVELEntity>(*back).size(), 1000u);
    EXPECT_EQ(All<TVELEntity>(imported).size(), 1000u);
    EXPECT_EQ(All<TVELRelationship>(*back).size(), All<TVELRelationship>(imported).size());
    EXPECT_GT(All<TVELRelationship>(*back).size(), 300u);
    EXPECT_EQ(Indexes(*back).size(), Indexes(imported).size());
    EXPECT_EQ(All<TVELView>(*back).size(), All<TVELView>(imported).size());
    for (const std::string& line : log) EXPECT_FALSE(line.starts_with("Error")) << line;
    // Table by table, as a comparison describes them (the full comparison takes long at this size).
    ExpectSameTables(imported, *back);
}

// The SQLite scripts of the corpus, run into database files: reverse engineering gives the same
// tables as the SQL import of the script.
TEST(SQLiteDriver, CorpusDatabases) {
    TargetDatabases().Build(DefinitionsDir());
    for (const char* name : {"chinook/Chinook_Sqlite.sql", "chinook/Chinook_Sqlite_AutoIncrementPKs.sql",
                             "sakila/sqlite-sakila-schema.sql"}) {
        SCOPED_TRACE(name);
        const TempDir dir;
        const std::string script = SourceDir() + "/../shared/corpus/" + name;
        const std::string file = dir.File("corpus.db");
        ASSERT_EQ(RunScript(file, "BEGIN;\n" + ReadFile(script) + "\nCOMMIT;"), "");
        std::vector<std::string> log;
        const std::unique_ptr<TVELDataDictionary> back = Reverse(file, &log);
        TVELDataDictionary imported;
        imported.SetTarget("sqlite3");
        std::vector<std::string> messages;
        EXPECT_EQ(ImportFromScript(imported, script, {}, &messages), 0) << JoinStrings(messages, "\n");
        for (const std::string& line : log) EXPECT_FALSE(line.starts_with("Error")) << line;
        EXPECT_GE(All<TVELEntity>(*back).size(), 11u);
        EXPECT_EQ(All<TVELRelationship>(*back).size(), All<TVELRelationship>(imported).size());
        EXPECT_EQ(Indexes(*back).size(), Indexes(imported).size());
        EXPECT_EQ(Triggers(*back).size(), Triggers(imported).size());
        EXPECT_EQ(All<TVELView>(*back).size(), All<TVELView>(imported).size());
        ExpectSameTables(imported, *back);
    }
}

// Types SQLite schemas commonly declare (CHAR(n), TIMESTAMP, TIME, BOOL) are kept as declared: the
// script reads without a warning, generates them as written, and the database made from it
// reads back the same. Another target takes the type of the same meaning, not the one of the
// same name: SQL Server's TIMESTAMP is a row version, MySQL's one a time-zone-converted value,
// and SQL Server has no BOOL but its BIT.
TEST(SQLiteDriver, CommonlyDeclaredTypesAreKept) {
    TargetDatabases().Build(DefinitionsDir());
    const std::string script =
        "CREATE TABLE s (id INTEGER PRIMARY KEY, c CHAR(20) NOT NULL, ts TIMESTAMP DEFAULT CURRENT_TIMESTAMP, "
        "t TIME, b BOOL, dt DATETIME, w CHARACTER(3));\n";
    auto import = [&](TVELDataDictionary& dd, std::vector<std::string>& problems) {
        dd.SetTarget("sqlite3");
        TVELSQLParser parser(&dd);
        parser.Script = script;
        parser.OnMessage = [&](TVELSQLParser*, int level, const std::string& text, TVELNamedObject*) {
            if (level != mlInfo) problems.push_back(text);
        };
        parser.Import();
    };
    auto types = [](const TVELDataDictionary& dd) {
        std::vector<std::string> out;
        const TVELEntity* table = FindTable(dd, "s");
        if (!table) return out;
        for (int i = 1; i < table->Attributes.Count(); ++i) out.push_back(table->AttributeAt(i)->GetDisplayDataType());
        return out;
    };
    const std::vector<std::string> declared = {"CHAR(20)", "TIMESTAMP", "TIME", "BOOL", "DATETIME", "CHARACTER(3)"};

    TVELDataDictionary imported;
    std::vector<std::string> problems;
    import(imported, problems);
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(types(imported), declared);

    // Generated as declared, and the database keeps the declared types.
    const TGeneratedScripts generated = GenerateScripts(imported);
    for (const char* column : {"\"c\" CHAR(20) NOT NULL,", "\"ts\" TIMESTAMP DEFAULT CURRENT_TIMESTAMP,", "\"t\" TIME,",
                               "\"b\" BOOL,", "\"dt\" DATETIME,"})
        EXPECT_NE(generated.CreateScript.find(column), std::string::npos) << column << "\n" << generated.CreateScript;
    const TempDir dir;
    const std::string file = dir.File("declared.db");
    ASSERT_EQ(RunScript(file, generated.CreateScript), "") << generated.CreateScript;
    std::vector<std::string> log;
    const std::unique_ptr<TVELDataDictionary> back = Reverse(file, &log);
    for (const std::string& line : log)
        EXPECT_EQ(line.find("is not in the list of data types"), std::string::npos) << line;
    EXPECT_EQ(types(*back), declared);
    ExpectSameTables(imported, *back);

    // To every other target and back. The way back gives SQLite's first type of the meaning
    // (CHARACTER, DATETIME, BOOLEAN), as for a model made on the other target.
    struct TWay {
        const char* Target;
        std::vector<std::string> There, Back;
    };
    const std::vector<TWay> ways = {
        {"mssqlserver2019", {"CHAR(20)", "DATETIME2", "TIME", "BIT"}, {"CHARACTER(20)", "DATETIME", "TIME", "BOOLEAN"}},
        {"mysql8", {"CHAR(20)", "DATETIME", "TIME", "BOOLEAN"}, {"CHARACTER(20)", "DATETIME", "TIME", "BOOLEAN"}},
        {"mariadb10", {"CHAR(20)", "DATETIME", "TIME", "BOOLEAN"}, {"CHARACTER(20)", "DATETIME", "TIME", "BOOLEAN"}},
        {"oracle19",
         {"CHAR(20)", "TIMESTAMP", "TIMESTAMP", "NUMBER(1)"},
         {"CHARACTER(20)", "DATETIME", "DATETIME", "DECIMAL(1)"}},
        {"postgresql15", {"CHAR(20)", "TIMESTAMP", "TIME", "BOOLEAN"}, {"CHARACTER(20)", "DATETIME", "TIME", "BOOLEAN"}},
        {"db2luw11", {"CHAR(20)", "TIMESTAMP", "TIME", "BOOLEAN"}, {"CHARACTER(20)", "DATETIME", "TIME", "BOOLEAN"}},
        {"firebird3", {"CHAR(20)", "TIMESTAMP", "TIME", "BOOLEAN"}, {"CHARACTER(20)", "DATETIME", "TIME", "BOOLEAN"}},
        {"dbindependent", {"CHAR(20)", "TIMESTAMP", "TIME", "BOOLEAN"}, {"CHARACTER(20)", "DATETIME", "TIME", "BOOLEAN"}},
    };
    for (const TWay& way : ways) {
        SCOPED_TRACE(way.Target);
        TVELDataDictionary dd;
        problems.clear();
        import(dd, problems);
        dd.OnMessage = [&](TVELNamedObject*, int level, const std::string& text) {
            if (level != mlInfo) problems.push_back(text);
        };
        dd.ChangeTarget(way.Target);
        std::vector<std::string> there = types(dd);
        ASSERT_EQ(there.size(), declared.size());
        EXPECT_EQ(std::vector<std::string>(there.begin(), there.begin() + 4), way.There);
        dd.ChangeTarget("sqlite3");
        std::vector<std::string> again = types(dd);
        ASSERT_EQ(again.size(), declared.size());
        EXPECT_EQ(std::vector<std::string>(again.begin(), again.begin() + 4), way.Back);
        EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    }

    // SQL Server: no row version in the model nor in the script.
    TVELDataDictionary server;
    import(server, problems);
    server.ChangeTarget("mssqlserver2019");
    for (const std::string& type : types(server)) {
        EXPECT_FALSE(type.starts_with("TIMESTAMP")) << type;
        EXPECT_FALSE(type.starts_with("ROWVERSION")) << type;
    }
    const std::string serverScript = GenerateScripts(server).CreateScript;
    EXPECT_EQ(serverScript.find(" TIMESTAMP"), std::string::npos) << serverScript;
    EXPECT_NE(serverScript.find("DATETIME2"), std::string::npos) << serverScript;
}
