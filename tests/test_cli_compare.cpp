// The comparison commands of ardvin-cli: compare, alter and update-model, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"
#include "zProject.h"
#include "zSQLParser.h"
#include "zVersions.h"

using namespace ardvin;
using ardvin::test::BinDir;
using ardvin::test::DefinitionsDir;
using ardvin::test::ReadFile;
using ardvin::test::RunProgram;
using ardvin::test::RunResult;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace fs = std::filesystem;

namespace {

const char* const Tables =
    "CREATE TABLE customer (id INTEGER NOT NULL, name VARCHAR(40) NOT NULL, city VARCHAR(30), "
    "CONSTRAINT pk_customer PRIMARY KEY (id));\n"
    "CREATE TABLE orders (id INTEGER NOT NULL, customer_id INTEGER, CONSTRAINT pk_orders PRIMARY KEY (id), "
    "CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id));\n";

RunResult Cli(const std::vector<std::string>& args, const TempDir& tmp) {
    const std::string program = BinDir() + "/ardvin-cli";
    if (!fs::exists(program)) {
        ADD_FAILURE() << program << " is not built";
        return {};
    }
    return RunProgram(program, args, {"ARDVIN_DEFINITIONS", "TMPDIR=" + tmp.Path()});
}

void Import(TVELDataDictionary& dd, const std::string& script) {
    TVELSQLParser parser(&dd);
    parser.Script = script;
    parser.Import();
}

// A project of the two tables with one archived version; the current model then renames the
// customer table and its city column. Returns the number of the archived version.
std::string RenamedProject(const std::string& file) {
    TargetDatabases().Build(DefinitionsDir());
    TVELProject project;
    project.NewModel("postgresql15");
    Import(project.DataDictionary, Tables);
    project.SetFileName(file);
    const std::string version = project.ArchiveVersion(true, "before", "")->VersionNumber;
    TVELEntity* customer = project.DataDictionary.FindEntity("customer");
    customer->SetName("client");
    customer->Attributes.FindByName("city")->SetName("town");
    project.Save();
    return version;
}

}  // namespace

TEST(CliCompare, ArchivedVersionPairsByIdentity) {
    TempDir dir, tmp;
    const std::string file = dir.File("shop.arv");
    const std::string version = file + "@" + RenamedProject(file);

    RunResult r = Cli({"compare", version, file}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    // The renamed table is one changed object, never a drop and an add.
    EXPECT_NE(r.Out.find("Different\tTVELEntity\tcustomer -> client\n"), std::string::npos) << r.Out;
    EXPECT_EQ(r.Out.find("Only found"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("  - city VARCHAR(30)\n  + town VARCHAR(30)\n"), std::string::npos) << r.Out;
    // The foreign key of the other table names the renamed one.
    EXPECT_NE(r.Out.find("Different\tTVELEntity\torders\n"), std::string::npos) << r.Out;

    r = Cli({"compare", version, file, "--all", "--format", "json", "--html", dir.File("diff.html")}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_TRUE(r.Out.starts_with("[\n  {\"status\": ")) << r.Out;
    EXPECT_NE(r.Out.find("{\"status\": \"Different\", \"class\": \"TVELEntity\", \"left\": \"customer\", \"right\": "
                         "\"client\", \"lines\": [{\"status\": \"Changed\", \"left\": \"Name: customer\""),
              std::string::npos)
        << r.Out;
    EXPECT_NE(ReadFile(dir.File("diff.html")).find("<html><head><title>Differences</title>"), std::string::npos);

    r = Cli({"compare", file, file}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    // Identical objects are listed only with --all.
    r = Cli({"compare", file, file, "--all"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "Identical\tTVELEntity\tclient\nIdentical\tTVELEntity\torders\n");

    // The alter script renames; nothing is dropped, so no confirmation is needed.
    const std::string out = dir.File("alter.sql");
    r = Cli({"alter", version, file, "-o", out}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    const std::string script = ReadFile(out);
    EXPECT_NE(script.find("ALTER TABLE \"customer\" RENAME TO \"client\";"), std::string::npos) << script;
    EXPECT_NE(script.find("RENAME COLUMN \"city\" TO \"town\";"), std::string::npos) << script;
    EXPECT_EQ(script.find("DROP TABLE"), std::string::npos) << script;
}

TEST(CliCompare, ScriptsAndDroppingData) {
    TempDir dir, tmp;
    const std::string oldScript = dir.File("old.sql"), newScript = dir.File("new.sql");
    WriteFile(oldScript, Tables);
    WriteFile(newScript, ReplaceAll(Tables, " city VARCHAR(30),", " email VARCHAR(60),"));

    RunResult r = Cli({"compare", oldScript, newScript, "--target", "postgresql15"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Out.find("Different\tTVELEntity\tcustomer\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("  - "), std::string::npos) << r.Out;

    // Dropping a column writes the script but asks for --allow-drop.
    const std::string out = dir.File("alter.sql");
    r = Cli({"alter", oldScript, newScript, "--target", "postgresql15", "-o", out}, tmp);
    EXPECT_EQ(r.ExitCode, 3) << r.Err;
    EXPECT_NE(r.Err.find("drops column customer.city"), std::string::npos) << r.Err;
    EXPECT_NE(ReadFile(out).find("ALTER TABLE \"customer\" DROP COLUMN \"city\";"), std::string::npos) << ReadFile(out);
    r = Cli({"alter", oldScript, newScript, "--target", "postgresql15", "--allow-drop"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Out.find("ADD COLUMN \"email\" VARCHAR(60)"), std::string::npos) << r.Out;
    // On SQLite the new column in place of another recreates the table.
    r = Cli({"alter", oldScript, newScript, "--target", "sqlite3"}, tmp);
    EXPECT_EQ(r.ExitCode, 3) << r.Err;
    EXPECT_NE(r.Err.find("recreates table customer"), std::string::npos) << r.Err;

    // Trouble: scripts without a target, unknown options, databases not yet readable.
    r = Cli({"compare", oldScript, newScript}, tmp);
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("needs --target"), std::string::npos) << r.Err;
    r = Cli({"compare", oldScript, newScript, "--target", "postgresql15", "--format", "xml"}, tmp);
    EXPECT_EQ(r.ExitCode, 2);
    r = Cli({"alter", oldScript, "--target", "postgresql15"}, tmp);
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("usage: ardvin-cli alter"), std::string::npos) << r.Err;
    const std::string missing = "sqlite://" + dir.File("missing.db");
    r = Cli({"compare", missing, newScript, "--target", "sqlite3"}, tmp);
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("does not exist"), std::string::npos) << r.Err;

    // A live database is read through its driver: the table added to the script is the difference.
    const std::string file = dir.File("shop.db");
    {
        ardvin::test::TSQLiteDatabase db(file);
        ASSERT_EQ(db.Run("CREATE TABLE customer (id INTEGER NOT NULL PRIMARY KEY, name VARCHAR(40));"), "");
    }
    const std::string script = dir.File("sqlite.sql");
    WriteFile(script, "CREATE TABLE customer (id INTEGER NOT NULL PRIMARY KEY, name VARCHAR(40));\n"
                      "CREATE TABLE supplier (id INTEGER NOT NULL PRIMARY KEY);\n");
    r = Cli({"compare", "sqlite://" + file, script, "--target", "sqlite3"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Out.find("supplier"), std::string::npos) << r.Out;
    EXPECT_EQ(r.Out.find("customer"), std::string::npos) << r.Out;
}

TEST(CliCompare, UpdateModel) {
    TempDir dir, tmp;
    TargetDatabases().Build(DefinitionsDir());
    const std::string file = dir.File("shop.arv");
    {
        TVELProject project;
        project.NewModel("postgresql15");
        Import(project.DataDictionary, Tables);
        project.DataDictionary.FindEntity("customer")->Comment = "kept by the model";
        project.SetFileName(file);
        project.Save();
    }
    const std::string source = dir.File("db.sql");
    WriteFile(source, ReplaceAll(Tables, " city VARCHAR(30),", " city VARCHAR(30), email VARCHAR(60),") +
                          "CREATE TABLE note (id INTEGER NOT NULL, CONSTRAINT pk_note PRIMARY KEY (id));\n");

    // Only the objects on both sides.
    const std::string changed = dir.File("changed.arv");
    RunResult r = Cli({"update-model", file, "--from", source, "--select", "changed", "-o", changed}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "updated: 0 added, 1 changed, 0 removed\n");
    {
        TVELProject project;
        project.Open(changed);
        const TVELEntity* customer = project.DataDictionary.FindEntity("customer");
        ASSERT_TRUE(customer);
        EXPECT_TRUE(customer->Attributes.FindByName("email"));
        EXPECT_FALSE(project.DataDictionary.FindEntity("note"));
    }
    const std::string all = dir.File("all.arv");
    r = Cli({"update-model", file, "--from", source, "-o", all}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "updated: 1 added, 1 changed, 0 removed\n");
    {
        TVELProject project;
        project.Open(all);
        EXPECT_TRUE(project.DataDictionary.FindEntity("note"));
    }
    // The input stays as it was.
    r = Cli({"compare", file, all}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    r = Cli({"update-model", file, "--from", source, "--select", "some", "-o", all}, tmp);
    EXPECT_EQ(r.ExitCode, 2);
}
