// The generating commands of ardvin-cli (generate, check, switch-target) and the unattended
// generation of ardvin, run as programs: exit statuses, messages, the files they write, and the
// example project's scripts executed on SQLite and on the throwaway servers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zProject.h"

using namespace ardvin;
using namespace ardvin::test;

namespace fs = std::filesystem;

namespace {

RunResult RunBinary(const std::string& name, const std::vector<std::string>& args, const TempDir& tmp) {
    return RunBuiltProgram(name, args, {"ARDVIN_DEFINITIONS", "TMPDIR=" + tmp.Path()});
}

RunResult Cli(const std::vector<std::string>& args, const TempDir& tmp) { return RunBinary("ardvin-cli", args, tmp); }

RunResult Ardvin(const std::vector<std::string>& args, const TempDir& tmp) { return RunBinary("ardvin", args, tmp); }

std::string ExampleFile() { return SourceDir() + "/examples/shop.arv"; }

// A failure of ardvin-cli: the status, nothing on stdout, a last line on stderr saying what.
void ExpectFailure(const RunResult& r, int status, const std::string& what) {
    EXPECT_EQ(r.ExitCode, status) << r.Err;
    EXPECT_EQ(r.Out, "");
    const size_t last = r.Err.rfind('\n', r.Err.size() >= 2 ? r.Err.size() - 2 : 0);
    const std::string line = r.Err.substr(last == std::string::npos || r.Err.size() < 2 ? 0 : last + 1);
    EXPECT_TRUE(line.starts_with("ardvin-cli: ")) << r.Err;
    EXPECT_NE(line.find(what), std::string::npos) << r.Err;
    EXPECT_TRUE(r.Err.ends_with("\n")) << r.Err;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::string line : SplitString(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A script without its "Created on:" line, which holds the minute it was written.
std::string WithoutDate(const std::string& script) {
    std::string out;
    for (const std::string& line : SplitString(script, '\n'))
        if (!Contains(line, "Created on:")) out += line + "\n";
    return out;
}

// The names of the example's tables, in upper case.
std::set<std::string> ExampleTables() {
    TargetDatabases().Build(DefinitionsDir());
    TempDir dir;
    fs::copy_file(ExampleFile(), dir.File("shop.arv"));
    TVELProject p;
    p.Open(dir.File("shop.arv"));
    std::vector<TVELEntity*> entities;
    p.DataDictionary.Entities(entities);
    std::set<std::string> names;
    for (const TVELEntity* e : entities) names.insert(UpperCase(e->GetName()));
    return names;
}

std::set<std::string> Upper(const TRows& rows) {
    std::set<std::string> names;
    for (const auto& row : rows) names.insert(UpperCase(row.at(0)));
    return names;
}

// A project of the sqlite3 target whose only table has two columns of the same name (an error
// of the model check), and the generation options stored in it.
std::string ProjectWithError(const TempDir& dir, const std::vector<std::pair<std::string, std::string>>& options) {
    TargetDatabases().Build(DefinitionsDir());
    TVELProject p;
    p.NewModel("sqlite3");
    auto* t = static_cast<TVELEntity*>(p.DataDictionary.CreateObject(otEntity, true));
    t->SetName("Orders");
    for (int i = 0; i < 2; ++i) {
        TVELAttribute* a = t->AddAttribute(true);
        a->SetName("Id");
        a->DataType->DataType = "INTEGER";
    }
    for (const auto& [key, value] : options) p.Settings.GenDBOptions.SetValue(key, value);
    const std::string file = dir.File("broken.arv");
    p.SetFileName(file);
    p.Save();
    return file;
}

// A copy of the example with generation settings stored in it.
std::string ExampleWithSettings(const TempDir& dir, const std::string& name,
                                const std::vector<std::pair<std::string, std::string>>& options,
                                const std::string& createFile = "") {
    TargetDatabases().Build(DefinitionsDir());
    const std::string file = dir.File(name);
    fs::copy_file(ExampleFile(), file);
    TVELProject p;
    p.Open(file);
    for (const auto& [key, value] : options) p.Settings.GenDBOptions.SetValue(key, value);
    if (!createFile.empty()) p.Settings.GenDBParams.SetValue("SQLCREATEFILE", createFile);
    p.Save();
    return file;
}

struct TTarget {
    std::string Id, Name, Type;
};

std::vector<TTarget> ListedTargets(const TempDir& tmp) {
    const RunResult r = Cli({"targets"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    std::vector<TTarget> targets;
    for (const std::string& line : Lines(r.Out)) {
        const std::vector<std::string> fields = SplitString(line, '\t');
        EXPECT_EQ(fields.size(), 3u) << line;
        if (fields.size() == 3) targets.push_back({fields[0], fields[1], fields[2]});
    }
    return targets;
}

// The tables of a SQLite database, in upper case.
std::set<std::string> SQLiteTables(TSQLiteDatabase& db) {
    std::string error;
    const std::set<std::string> names = Upper(db.Query("SELECT name FROM sqlite_master WHERE type = 'table'", error));
    EXPECT_EQ(error, "");
    return names;
}

}  // namespace

TEST(CliGenerate, ExampleForEveryTarget) {
    TempDir dir, tmp;
    const std::vector<TTarget> targets = ListedTargets(tmp);
    ASSERT_EQ(targets.size(), 9u);
    int real = 0;
    for (const TTarget& t : targets) {
        const std::string out = dir.File(t.Id + ".sql");
        const RunResult r = Cli({"generate", ExampleFile(), "--target", t.Id, "-o", out}, tmp);
        if (t.Type == "Database Independent") {
            // Nothing is generated for the target a model is designed for before it has one.
            ExpectFailure(r, 2, "nothing is generated for the database-independent target");
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ++real;
        ASSERT_EQ(r.ExitCode, 0) << t.Id << "\n" << r.Err;
        EXPECT_EQ(r.Out, "") << t.Id;
        const std::string& log = r.Err;
        EXPECT_TRUE(log.starts_with("Generate a " + t.Name + " database.\n")) << t.Id << "\n" << log;
        EXPECT_FALSE(Contains(log, "Error")) << t.Id << "\n" << log;
        const std::string script = ReadFile(out);
        EXPECT_TRUE(Contains(script, "Target DBMS:")) << t.Id;
        EXPECT_TRUE(Contains(script, t.Name)) << t.Id;
        EXPECT_TRUE(Contains(script, "Database creation script")) << t.Id;
        EXPECT_TRUE(Contains(UpperCase(script), "CREATE TABLE")) << t.Id << "\n" << script;

        const RunResult drop = Cli({"generate", ExampleFile(), "--target", t.Id, "--drop"}, tmp);
        ASSERT_EQ(drop.ExitCode, 0) << t.Id << "\n" << drop.Err;
        EXPECT_TRUE(Contains(drop.Out, "Database drop script")) << t.Id;
        EXPECT_TRUE(Contains(UpperCase(drop.Out), "DROP TABLE")) << t.Id;
        EXPECT_FALSE(Contains(UpperCase(drop.Out), "CREATE TABLE")) << t.Id;
    }
    EXPECT_EQ(real, 8);
}

TEST(CliGenerate, SQLiteScriptCreatesTheExampleTables) {
    TempDir dir, tmp;
    const RunResult r = Cli({"generate", ExampleFile(), "--target", "sqlite3"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    // The script goes to stdout, the log to stderr.
    EXPECT_TRUE(Contains(r.Out, "CREATE TABLE")) << r.Out;
    EXPECT_FALSE(Contains(r.Out, "Generate a ")) << r.Out;
    EXPECT_TRUE(Contains(r.Err, " added.")) << r.Err;
    const std::set<std::string> expected = ExampleTables();
    ASSERT_EQ(expected.size(), 15u);
    {
        TSQLiteDatabase db(dir.File("shop.db"));
        ASSERT_EQ(db.Run(r.Out), "") << r.Out;
        EXPECT_EQ(SQLiteTables(db), expected);
        const RunResult drop = Cli({"generate", ExampleFile(), "--target", "sqlite3", "--drop"}, tmp);
        ASSERT_EQ(drop.ExitCode, 0) << drop.Err;
        ASSERT_EQ(db.Run(drop.Out), "") << drop.Out;
        EXPECT_EQ(SQLiteTables(db), std::set<std::string>());
    }
    // The same script through -o.
    ASSERT_EQ(Cli({"generate", ExampleFile(), "--target", "sqlite3", "-o", dir.File("shop.sql")}, tmp).ExitCode, 0);
    EXPECT_EQ(WithoutDate(ReadFile(dir.File("shop.sql"))), WithoutDate(r.Out));
}

TEST(CliGenerate, PostgreSQL15ScriptRunsOnTheServer) {
    TempDir tmp;
    const RunResult r = Cli({"generate", ExampleFile(), "--target", "postgresql15"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const RunResult drop = Cli({"generate", ExampleFile(), "--target", "postgresql15", "--drop"}, tmp);
    ASSERT_EQ(drop.ExitCode, 0) << drop.Err;
    const std::string database = CreatePostgresDatabase("ardvin_cli");
    {
        TPostgresConnection conn(database);
        ASSERT_EQ(conn.ConnectError(), "");
        EXPECT_EQ(conn.Run(r.Out), "") << r.Out;
        const std::string tables =
            "SELECT table_name FROM information_schema.tables WHERE table_type = 'BASE TABLE' AND table_schema NOT "
            "IN ('pg_catalog', 'information_schema')";
        std::string error;
        EXPECT_EQ(Upper(conn.Query(tables, error)), ExampleTables()) << error;
        EXPECT_EQ(conn.Run(drop.Out), "") << drop.Out;
        EXPECT_EQ(Upper(conn.Query(tables, error)), std::set<std::string>()) << error;
    }
    DropPostgresDatabase(database);
}

TEST(CliGenerate, MySQL8ScriptRunsOnMariaDB) {
    TempDir tmp;
    const RunResult r = Cli({"generate", ExampleFile(), "--target", "mysql8"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const RunResult drop = Cli({"generate", ExampleFile(), "--target", "mysql8", "--drop"}, tmp);
    ASSERT_EQ(drop.ExitCode, 0) << drop.Err;
    const std::string database = CreateMariaDBDatabase("ardvin_cli");
    {
        TMariaDBConnection conn(database);
        ASSERT_EQ(conn.ConnectError(), "");
        EXPECT_EQ(RunMariaDBScript(database, r.Out), "") << r.Out;
        const std::string tables = "SELECT table_name FROM information_schema.tables WHERE table_type = 'BASE "
                                   "TABLE' AND table_schema = '" + database + "'";
        std::string error;
        EXPECT_EQ(Upper(conn.Query(tables, error)), ExampleTables()) << error;
        EXPECT_EQ(RunMariaDBScript(database, drop.Out), "") << drop.Out;
        EXPECT_EQ(Upper(conn.Query(tables, error)), std::set<std::string>()) << error;
    }
    DropMariaDBDatabase(database);
}

TEST(CliGenerate, StoredAndGivenOptions) {
    TempDir dir, tmp;
    // The stored options apply; a given one overrides a stored one.
    const std::string file = ExampleWithSettings(dir, "shop.arv", {{"DBID", "sqlite3"}, {"EXCLUDEHEADER", "1"}});
    RunResult r = Cli({"generate", file}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_FALSE(Contains(r.Out, "Target DBMS:")) << r.Out;
    EXPECT_TRUE(Contains(r.Err, "Generate a SQLite")) << r.Err;
    r = Cli({"generate", file, "--option", "EXCLUDEHEADER=0"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Contains(r.Out, "Target DBMS:")) << r.Out;
    // --target wins over the stored DBID.
    r = Cli({"generate", file, "--target", "postgresql15"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "Generate a PostgreSQL")) << r.Err;
    // Options given later win; an option's value may hold "=".
    r = Cli({"generate", file, "--option", "EXCLUDEHEADER=0", "--option", "EXCLUDEHEADER=1", "--option",
             "BEGINDATABASESCRIPT=PRAGMA foreign_keys = ON%terminator%"},
            tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_FALSE(Contains(r.Out, "Target DBMS:"));
    EXPECT_TRUE(Contains(r.Out, "PRAGMA foreign_keys = ON;")) << r.Out;
    // The file itself is unchanged by generating.
    const std::string before = ReadFile(file);
    ASSERT_EQ(Cli({"generate", file, "-o", dir.File("x.sql")}, tmp).ExitCode, 0);
    EXPECT_EQ(ReadFile(file), before);
}

TEST(CliGenerate, Failures) {
    TempDir dir, tmp;
    const std::string example = ExampleFile();
    const std::string missing = dir.File("none.arv");
    ExpectFailure(Cli({"generate"}, tmp), 2, "usage: ardvin-cli generate FILE.arv");
    ExpectFailure(Cli({"generate", example, "--target", "sqlite3", "--verbose"}, tmp), 2, "unknown option --verbose");
    ExpectFailure(Cli({"generate", missing, "--target", "sqlite3"}, tmp), 2, "");
    EXPECT_TRUE(Contains(Cli({"generate", missing, "--target", "sqlite3"}, tmp).Err, missing));
    WriteFile(dir.File("cut.arv"), ReadFile(example).substr(0, 4000));
    ExpectFailure(Cli({"generate", dir.File("cut.arv"), "--target", "sqlite3"}, tmp), 2,
                  "File \"" + dir.File("cut.arv") + "\" is damaged: ");
    ExpectFailure(Cli({"generate", example, "--target", "nosuch"}, tmp), 2, "unknown target \"nosuch\"");
    ExpectFailure(Cli({"generate", example}, tmp), 2,
                  "the model of \"" + example + "\" is database-independent: name the target");
    for (const std::string bad : {"EXCLUDEHEADER", "=1", " =1"})
        ExpectFailure(Cli({"generate", example, "--target", "sqlite3", "--option", bad}, tmp), 2,
                      "option \"" + bad + "\" is not of the form KEY=VALUE");
    ExpectFailure(Cli({"generate", example, "--target", "sqlite3", "--option"}, tmp), 2,
                  "option --option needs a value");
    ExpectFailure(Cli({"generate", example, "--target", "sqlite3", "--target", "mysql8"}, tmp), 2, "only one --target");
    ExpectFailure(Cli({"generate", example, "--target", "sqlite3", "-o", dir.Path() + "/no/such/x.sql"}, tmp), 2,
                  "Cannot");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"cut.arv"});

    // A model for a real target generates for that target only.
    const std::string broken = ProjectWithError(dir, {});
    RunResult r = Cli({"generate", broken}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(Cli({"generate", broken, "--target", "sqlite3"}, tmp).ExitCode, 0);
    ExpectFailure(Cli({"generate", broken, "--target", "mysql8"}, tmp), 2, "is for target \"sqlite3\", not \"mysql8\"");

    // The model check before generation stops it at the first error, with exit status 1 and the
    // messages of the check.
    r = Cli({"generate", broken, "--option", "CHECKMODEL=1", "-o", dir.File("broken.sql")}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(Contains(r.Err, "[Error]   ")) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "ardvin-cli: Model contains error(s). Please correct the errors first.\n")) << r.Err;
    EXPECT_FALSE(fs::exists(dir.File("broken.sql")));
    // Stored in the project, the check runs as well.
    const std::string stored = ExampleWithSettings(dir, "checked.arv", {{"CHECKMODEL", "1"}});
    EXPECT_EQ(Cli({"generate", stored, "--target", "sqlite3"}, tmp).ExitCode, 0);
    EXPECT_EQ(Cli({"generate", ProjectWithError(tmp, {{"CHECKMODEL", "1"}})}, tmp).ExitCode, 1);
}

TEST(CliCheck, MessagesAndStatus) {
    TempDir dir, tmp;
    // The example is free of errors as it is, and on targets with sequences.
    RunResult r = Cli({"check", ExampleFile()}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    EXPECT_EQ(r.Err, "0 error(s), 0 warning(s), 0 hint(s)\n");
    for (const std::string& line : Lines(r.Out)) EXPECT_TRUE(line.starts_with("[")) << line;
    r = Cli({"check", ExampleFile(), "--target", "postgresql15", "--target", "mariadb10"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    EXPECT_EQ(r.Err, "0 error(s), 0 warning(s), 0 hint(s)\n");
    // Against targets without sequences its sequence is an error, told per target in the order
    // given, after the messages of the earlier targets.
    r = Cli({"check", ExampleFile(), "--target", "sqlite3", "--target", "postgresql15", "--target", "mysql8"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Out << r.Err;
    const std::string sequence = "[Error]      sequence/generator OrderNumbers     : * ";
    const std::string removed = " * Target DBMS does not support sequences/generators. Sequence/generator will be removed.";
    EXPECT_EQ(Lines(r.Out), (std::vector<std::string>{sequence + "SQLite 3" + removed, sequence + "MySQL 8" + removed}));
    EXPECT_EQ(r.Err, "2 error(s), 0 warning(s), 0 hint(s)\n");

    // Errors: exit status 1, each message as the messages panel shows it.
    const std::string broken = ProjectWithError(dir, {});
    r = Cli({"check", broken}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    const std::string notUnique = "[Error]      column Orders.Id     : Attribute name \"Id\" is not unique.";
    EXPECT_EQ(Lines(r.Out), (std::vector<std::string>{notUnique, notUnique,
                                                      "[Warning]      table Orders     : Entity has no primary key."}));
    EXPECT_EQ(r.Err, "2 error(s), 1 warning(s), 0 hint(s)\n");
    // Against another target: the messages carry its name.
    r = Cli({"check", broken, "--target", "postgresql15"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_TRUE(Contains(r.Out, "  : * PostgreSQL")) << r.Out;

    ExpectFailure(Cli({"check"}, tmp), 2, "usage: ardvin-cli check FILE.arv");
    ExpectFailure(Cli({"check", dir.File("none.arv")}, tmp), 2, dir.File("none.arv"));
    ExpectFailure(Cli({"check", ExampleFile(), "--target", "nosuch"}, tmp), 2, "unknown target \"nosuch\"");
    WriteFile(dir.File("text.arv"), "some text\n");
    ExpectFailure(Cli({"check", dir.File("text.arv")}, tmp), 2, "Unsupported file format.");
}

TEST(CliSwitchTarget, WritesTheSwitchedProject) {
    TempDir dir, tmp;
    const std::string input = dir.File("shop.arv");
    fs::copy_file(ExampleFile(), input);
    const std::string original = ReadFile(input);
    const std::string out = dir.File("shop-pg.arv");
    RunResult r = Cli({"switch-target", input, "--target", "postgresql15", "-o", out}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(Contains(r.Err, "Project converted from target DBMS \"Database Independent\" to target DBMS \"PostgreSQL"))
        << r.Err;
    EXPECT_EQ(ReadFile(input), original);
    r = Cli({"info", out}, tmp);
    EXPECT_TRUE(Contains(r.Out, "target: postgresql15\n")) << r.Out;
    EXPECT_TRUE(Contains(r.Out, "entities: 15\n")) << r.Out;
    // The switched model generates without naming a target.
    r = Cli({"generate", out}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "Generate a PostgreSQL")) << r.Err;

    ExpectFailure(Cli({"switch-target", out, "--target", "postgresql15", "-o", dir.File("again.arv")}, tmp), 2,
                  "Selected target DBMS is already the current target DBMS.");
    ExpectFailure(Cli({"switch-target", input, "--target", "nosuch", "-o", dir.File("x.arv")}, tmp), 2,
                  "unknown target \"nosuch\"");
    ExpectFailure(Cli({"switch-target", input, "--target", "sqlite3"}, tmp), 2,
                  "usage: ardvin-cli switch-target FILE.arv --target ID -o OUT.arv");
    ExpectFailure(Cli({"switch-target", input, "--target", "sqlite3", "-o", dir.Path() + "/no/such/x.arv"}, tmp), 2,
                  "Cannot write file");
    ExpectFailure(Cli({"switch-target", dir.File("none.arv"), "--target", "sqlite3", "-o", dir.File("x.arv")}, tmp),
                  2, dir.File("none.arv"));
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"shop-pg.arv", "shop.arv"}));
    EXPECT_EQ(ReadFile(input), original);

    // Named by -o, the input itself is replaced.
    r = Cli({"switch-target", input, "--target", "sqlite3", "-o", input}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Contains(Cli({"info", input}, tmp).Out, "target: sqlite3\n"));
}

TEST(UnattendedGeneration, GeneratesWithTheStoredSettings) {
    TempDir dir, tmp;
    // No or one argument: the usage.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{ExampleFile()}}) {
        const RunResult r = Ardvin(args, tmp);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_TRUE(Contains(r.Err, "Usage: ardvin FILE.arv -generate")) << r.Err;
    }
    const std::string file = ExampleWithSettings(dir, "shop.arv", {{"DBID", "sqlite3"}});
    const std::string original = ReadFile(file);
    RunResult r = Ardvin({file, "-generate"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "");
    // Beside the project, named after it; the same script as ardvin-cli writes.
    const std::string script = ReadFile(dir.File("shop.sql"));
    EXPECT_EQ(WithoutDate(script), WithoutDate(Cli({"generate", file}, tmp).Out));
    EXPECT_EQ(ReadFile(file), original);
    {
        TSQLiteDatabase db(dir.File("shop.db"));
        ASSERT_EQ(db.Run(script), "");
        EXPECT_EQ(SQLiteTables(db), ExampleTables());
    }

    // Quotes around the file name go; a further argument is not used.
    fs::remove(dir.File("shop.sql"));
    r = Ardvin({"\"" + file + "\"", "-generate", "extra"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(fs::exists(dir.File("shop.sql")));
    fs::remove(dir.File("shop.sql"));
    r = Ardvin({"'" + file + "'", "-generate"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(fs::exists(dir.File("shop.sql")));

    // The stored create file, relative to the project's folder.
    fs::create_directory(dir.File("out"));
    const std::string placed =
        ExampleWithSettings(dir, "placed.arv", {{"DBID", "postgresql15"}}, "out/placed-create.sql");
    r = Ardvin({placed, "-generate"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Contains(ReadFile(dir.File("out/placed-create.sql")), "PostgreSQL"));
    EXPECT_FALSE(fs::exists(dir.File("placed.sql")));
}

TEST(UnattendedGeneration, Failures) {
    TempDir dir, tmp;
    const std::string file = dir.File("shop.arv");
    fs::copy_file(ExampleFile(), file);
    const std::string noFile = "Command line options used and no valid file was given.\n";
    const std::string noOption = "Command line option \"-generate\" is required.\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{dir.File("none.arv"), "-generate"}, noFile},
        {{dir.Path(), "-generate"}, noFile},
        {{file, "-other"}, noOption},
        {{file, file}, noOption},
        {{file, "-Generate"}, noOption},
        {{file, "generate"}, noOption},
    };
    for (const auto& [args, message] : cases) {
        const RunResult r = Ardvin(args, tmp);
        EXPECT_EQ(r.ExitCode, 2) << args[1];
        EXPECT_EQ(r.Err, message) << args[1];
    }
    // A database-independent model without a stored target.
    RunResult r = Ardvin({file, "-generate"}, tmp);
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_TRUE(Contains(r.Err, "Select the target DBMS for which the database-independent model is generated.\n"))
        << r.Err;
    // The model check stored as a setting stops generation.
    const std::string broken = ProjectWithError(dir, {{"CHECKMODEL", "1"}});
    r = Ardvin({broken, "-generate"}, tmp);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Contains(r.Err, "[Error]   ")) << r.Err;
    EXPECT_TRUE(r.Err.ends_with("Model contains error(s). Please correct the errors first.\n")) << r.Err;
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"broken.arv", "shop.arv"}));
}
