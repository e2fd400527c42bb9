// The comparison commands of ardvin-cli: compare, alter and update-model, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "TestHTMLCheck.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"
#include "zProject.h"
#include "zRelationship.h"
#include "zSQLParser.h"
#include "zVersions.h"

using namespace ardvin;
using ardvin::test::DefinitionsDir;
using ardvin::test::ReadFile;
using ardvin::test::RunBuiltProgram;
using ardvin::test::RunProgram;
using ardvin::test::RunResult;
using ardvin::test::ShownHTML;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace fs = std::filesystem;

namespace {

const char* const Tables =
    "CREATE TABLE customer (id INTEGER NOT NULL, name VARCHAR(40) NOT NULL, city VARCHAR(30), "
    "CONSTRAINT pk_customer PRIMARY KEY (id));\n"
    "CREATE TABLE orders (id INTEGER NOT NULL, customer_id INTEGER, CONSTRAINT pk_orders PRIMARY KEY (id), "
    "CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id));\n"
    "CREATE INDEX ix_customer_name ON customer (name);\n";

RunResult Cli(const std::vector<std::string>& args, const TempDir& tmp) {
    return RunBuiltProgram("ardvin-cli", args, {"ARDVIN_DEFINITIONS", "TMPDIR=" + tmp.Path()});
}

// The JSON output of compare read by a JSON parser: one line per difference (status, class, left
// and right name) and one indented line per differing line pair (status, left, right); the
// parser's complaint when the text is not valid JSON.
std::string ShownJson(const std::string& json, const TempDir& tmp) {
    WriteFile(tmp.File("out.json"), json);
    const RunResult r = RunProgram(
        "/usr/bin/python3",
        {"-c",
         "import json, sys\n"
         "sys.stdout.reconfigure(encoding='utf-8')\n"
         "for d in json.load(open(sys.argv[1], encoding='utf-8')):\n"
         "    print('\\t'.join([d['status'], d['class'], d['left'], d['right']]))\n"
         "    for l in d['lines']:\n"
         "        print('  ' + '\\t'.join([l['status'], l['left'], l['right']]))\n",
         tmp.File("out.json")});
    return r.ExitCode == 0 ? r.Out : "invalid JSON: " + r.Err;
}

void Import(TVELDataDictionary& dd, const std::string& script) {
    TVELSQLParser parser(&dd);
    parser.Script = script;
    parser.Import();
}

// A project of the two tables with one archived version; the current model then renames the
// customer table, its city column and its index, the foreign-key column of the orders table and
// the relationship with its foreign key. Returns the number of the archived version.
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
    customer->Indexes.FindByName("ix_customer_name")->SetName("ix_client_name");
    project.DataDictionary.FindEntity("orders")->Attributes.FindByName("customer_id")->SetName("client_id");
    std::vector<TVELRelationship*> relationships;
    project.DataDictionary.Relationships(relationships);
    EXPECT_EQ(relationships.size(), 1u);
    for (TVELRelationship* r : relationships) {
        r->SetName("fk_orders_client");
        r->FKConstraint->SetName("fk_orders_client");
    }
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

    // Every renamed member is a changed line of its table: the columns (one of them a foreign-key
    // column), the index and the foreign key of the renamed relationship.
    r = Cli({"compare", version, file, "--all", "--format", "json", "--html", dir.File("diff.html")}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    const std::string tail = " TYPE Non Identifying CARDINALITY Zero Or More UPDATERULE None DELETERULE None PARENTPHRASE  "
                             "CHILDPHRASE ";
    EXPECT_EQ(ShownJson(r.Out, tmp),
              "Different\tTVELEntity\tcustomer\tclient\n"
              "  Changed\tName: customer\tName: client\n"
              "  Changed\tcity VARCHAR(30)\ttown VARCHAR(30)\n"
              "  Changed\tINDEX ix_customer_name (name) ORDER  CASE  COMPRESSION  CLUSTERING  OPTIONS \t"
              "INDEX ix_client_name (name) ORDER  CASE  COMPRESSION  CLUSTERING  OPTIONS \n"
              "Different\tTVELEntity\torders\torders\n"
              "  Changed\tcustomer_id INTEGER\tclient_id INTEGER\n"
              "  Changed\tCONSTRAINT fk_orders_customer (customer_id) REFERENCES customer (id) RELATIONSHIPNAME "
              "fk_orders_customer" + tail + "\tCONSTRAINT fk_orders_client (client_id) REFERENCES client (id) "
              "RELATIONSHIPNAME fk_orders_client" + tail + "\n");
    const RunResult page = ShownHTML(dir.File("diff.html"));
    EXPECT_EQ(page.ExitCode, 0) << page.Err;
    EXPECT_TRUE(page.Out.starts_with("TITLE\tDifferences\nROW\t\t[" + version + "]\t[" + file + "]\nHEAD\tcustomer - client\n"))
        << page.Out;
    EXPECT_NE(page.Out.find("\t[city] VARCHAR(30)\t[town] VARCHAR(30)\n"), std::string::npos) << page.Out;

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
    EXPECT_EQ(script.find("DROP COLUMN"), std::string::npos) << script;
    EXPECT_EQ(script.find("ADD COLUMN"), std::string::npos) << script;
    // Index and foreign key are renamed in place, not made again.
    EXPECT_NE(script.find("ALTER INDEX \"ix_customer_name\" RENAME TO \"ix_client_name\";"), std::string::npos) << script;
    EXPECT_NE(script.find("RENAME COLUMN \"customer_id\" TO \"client_id\";"), std::string::npos) << script;
    EXPECT_NE(script.find("RENAME CONSTRAINT \"fk_orders_customer\" TO \"fk_orders_client\";"), std::string::npos)
        << script;
    EXPECT_EQ(script.find("CREATE INDEX"), std::string::npos) << script;
    EXPECT_EQ(script.find("ADD CONSTRAINT"), std::string::npos) << script;
}

TEST(CliCompare, ColumnInsertedInTheMiddle) {
    TempDir dir, tmp;
    const std::string oldScript = dir.File("old.sql"), newScript = dir.File("new.sql");
    WriteFile(oldScript, Tables);
    WriteFile(newScript, ReplaceAll(Tables, " name VARCHAR(40) NOT NULL,", " name VARCHAR(40) NOT NULL, email VARCHAR(60),"));

    // One added line, between the columns the new one stands between.
    RunResult r = Cli({"compare", oldScript, newScript, "--target", "postgresql15", "--html", dir.File("d.html")}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Out, "Different\tTVELEntity\tcustomer\n  + email VARCHAR(60)\n");
    const RunResult page = ShownHTML(dir.File("d.html"));
    EXPECT_EQ(page.ExitCode, 0) << page.Err;
    EXPECT_NE(page.Out.find("\tname VARCHAR(40) NOT NULL\tname VARCHAR(40) NOT NULL\n"
                            "ROW\t#d0ffd0\t\temail VARCHAR(60)\n"
                            "ROW\t#ffffff\tcity VARCHAR(30)\tcity VARCHAR(30)\n"),
              std::string::npos)
        << page.Out;
    // The other way round the column is one removed line.
    r = Cli({"compare", newScript, oldScript, "--target", "postgresql15", "--format", "json"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(ShownJson(r.Out, tmp), "Different\tTVELEntity\tcustomer\tcustomer\n  Left only\temail VARCHAR(60)\t\n");

    // The alter script builds the table again with the column in its place and keeps the rows.
    r = Cli({"alter", oldScript, newScript, "--target", "postgresql15", "--allow-drop"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    const std::string script = ReplaceAll(r.Out, "\r\n", "\n");
    EXPECT_NE(script.find("CREATE TABLE \"customer_TMP\" (\n  \"id\" INTEGER NOT NULL,\n  \"name\" VARCHAR(40) NOT NULL,\n"
                          "  \"email\" VARCHAR(60),\n  \"city\" VARCHAR(30)\n);"),
              std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("INSERT INTO \"customer_TMP\" (\"id\",\"name\",\"city\") SELECT \"id\",\"name\",\"city\" FROM "
                         "\"customer\";"),
              std::string::npos)
        << r.Out;
    // Removing it again is a dropped column, nothing more.
    r = Cli({"alter", newScript, oldScript, "--target", "postgresql15", "--allow-drop"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Out.find("ALTER TABLE \"customer\" DROP COLUMN \"email\";"), std::string::npos) << r.Out;
    EXPECT_EQ(r.Out.find("_TMP"), std::string::npos) << r.Out;

    // Names beyond ASCII and texts with markup and quote characters stay valid JSON and HTML.
    WriteFile(dir.File("u1.sql"), "CREATE TABLE größe (id INTEGER NOT NULL, straße VARCHAR(10));\n");
    WriteFile(dir.File("u2.sql"), "CREATE TABLE größe (id INTEGER NOT NULL, straße VARCHAR(20), \"a<b>&'c\\\" INTEGER);\n");
    r = Cli({"compare", dir.File("u1.sql"), dir.File("u2.sql"), "--target", "postgresql15", "--format", "json", "--html",
             dir.File("u.html")},
            tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(ShownJson(r.Out, tmp), "Different\tTVELEntity\tgröße\tgröße\n"
                                     "  Changed\tstraße VARCHAR(10)\tstraße VARCHAR(20)\n"
                                     "  Right only\t\ta<b>&'c\\ INTEGER\n");
    const RunResult shown = ShownHTML(dir.File("u.html"));
    EXPECT_EQ(shown.ExitCode, 0) << shown.Err;
    EXPECT_NE(shown.Out.find("HEAD\tgröße - größe\n"), std::string::npos) << shown.Out;
    EXPECT_NE(shown.Out.find("\t\ta<b>&'c\\ INTEGER\n"), std::string::npos) << shown.Out;
    EXPECT_NE(shown.Out.find("\tstraße [VARCHAR(10)]\tstraße [VARCHAR(20)]\n"), std::string::npos) << shown.Out;
}

TEST(CliCompare, MappingsOptionsCaseAndTrouble) {
    TempDir dir, tmp;
    const std::string oldScript = dir.File("old.sql"), newScript = dir.File("new.sql"), upper = dir.File("upper.sql");
    WriteFile(oldScript, Tables);
    // The customer table renamed to client, and the city column to town.
    std::string renamed = Tables;
    for (const char* table : {"TABLE ", "REFERENCES ", "ON "})
        renamed = ReplaceAll(renamed, table + std::string("customer "), table + std::string("client "));
    WriteFile(newScript, ReplaceAll(renamed, " city ", " town "));
    // Another spelling of the same names.
    std::string spelt = Tables;
    for (const char* table : {"TABLE ", "REFERENCES ", "ON "})
        spelt = ReplaceAll(spelt, table + std::string("customer "), table + std::string("\"CUSTOMER\" "));
    WriteFile(upper, ReplaceAll(ReplaceAll(spelt, " name VARCHAR", " \"NAME\" VARCHAR"), "(name)", "(\"NAME\")"));

    // Without a mapping the renamed table is one table gone and one new.
    RunResult r = Cli({"compare", oldScript, newScript, "--target", "postgresql15"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Out.find("Only found in source\tTVELEntity\tcustomer\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Only found in destination\tTVELEntity\tclient\n"), std::string::npos) << r.Out;
    // With the pair, the table is compared as one object under the common name.
    r = Cli({"compare", oldScript, newScript, "--target", "postgresql15", "--map", "customer=client", "--all", "--format",
             "json"},
            tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    const std::string shown = ShownJson(r.Out, tmp);
    EXPECT_TRUE(shown.starts_with("Different\tTVELEntity\tcustomer<>client\tcustomer<>client\n"
                                  "  Changed\tcity VARCHAR(30)\ttown VARCHAR(30)\n"))
        << shown;
    EXPECT_EQ(shown.find("Left only"), std::string::npos) << shown;
    // Pairs for the table and the column leave nothing different in that table.
    r = Cli({"compare", oldScript, newScript, "--target", "postgresql15", "--map", "customer=client", "--map",
             "city=town", "--all"},
            tmp);
    EXPECT_TRUE(r.Out.starts_with("Identical\tTVELEntity\tcustomer<>client\n")) << r.Out;

    // A compare option removes a feature from both sides before comparing: here the names of
    // the primary keys.
    WriteFile(dir.File("pk.sql"), ReplaceAll(Tables, "pk_customer", "customer_pkey"));
    r = Cli({"compare", oldScript, dir.File("pk.sql"), "--target", "postgresql15"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Out.find("  - CONSTRAINT pk_customer (id)\n  + CONSTRAINT customer_pkey (id)\n"), std::string::npos) << r.Out;
    r = Cli({"compare", oldScript, dir.File("pk.sql"), "--target", "postgresql15", "--option", "DONOTUSEPKCONNAMES=1"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;

    // Names spelt in other letter cases count as equal only with --ignore-case.
    r = Cli({"compare", oldScript, upper, "--target", "postgresql15"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_NE(r.Out.find("Only found in destination\tTVELEntity\tCUSTOMER\n"), std::string::npos) << r.Out;
    r = Cli({"compare", oldScript, upper, "--target", "postgresql15", "--ignore-case", "--all"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    EXPECT_EQ(r.Out, "Identical\tTVELEntity\tcustomer -> CUSTOMER\nIdentical\tTVELEntity\torders\n");
    r = Cli({"compare", oldScript, upper, "--target", "postgresql15", "--ignore-case", "--format", "json"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "[]\n");
    EXPECT_EQ(ShownJson(r.Out, tmp), "");

    // Trouble is exit code 2, with the reason on stderr.
    const std::string project = dir.File("shop.arv");
    EXPECT_EQ(Cli({"import-sql", oldScript, "--target", "postgresql15", "-o", project}, tmp).ExitCode, 0);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"compare", project, dir.File("missing.arv")},
             {"compare", project + "@7", project},
             {"compare", project, oldScript, "--map", "customer"},
             {"compare", project, oldScript, "--target", "postgresql15", "--option", "DONOTUSECOMMENTS"},
             {"compare", project, oldScript, "--target", "postgresql15", "--unknown"},
             {"compare", project}}) {
        r = Cli(args, tmp);
        EXPECT_EQ(r.ExitCode, 2) << JoinStrings(args, " ") << "\n" << r.Out;
        EXPECT_TRUE(r.Err.starts_with("ardvin-cli: ")) << r.Err;
    }
    EXPECT_NE(Cli({"compare", project + "@7", project}, tmp).Err.find("has no version 7"), std::string::npos);
    // The project read from the same script is identical to it.
    r = Cli({"compare", project, oldScript, "--target", "postgresql15"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
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
        Import(project.DataDictionary, std::string(Tables) + "CREATE TABLE legacy (id INTEGER NOT NULL);\n");
        TVELEntity* customer = project.DataDictionary.FindEntity("customer");
        customer->Abbreviation = "CUS";
        customer->Note = "kept by the model";
        project.SetFileName(file);
        project.Save();
    }
    // The source has a column inserted in the middle of a table and a table of its own, and no
    // longer the legacy table.
    const std::string source = dir.File("db.sql");
    WriteFile(source, ReplaceAll(Tables, " name VARCHAR(40) NOT NULL,", " name VARCHAR(40) NOT NULL, email VARCHAR(60),") +
                          "CREATE TABLE note (id INTEGER NOT NULL, CONSTRAINT pk_note PRIMARY KEY (id));\n");
    auto columns = [](const TVELEntity* e) {
        std::vector<std::string> names;
        for (int i = 0; i < e->Attributes.Count(); ++i) names.push_back(e->Attributes[i]->GetName());
        return JoinStrings(names, ",");
    };

    // "changed": changed and new objects, nothing removed.
    const std::string changed = dir.File("changed.arv");
    RunResult r = Cli({"update-model", file, "--from", source, "--select", "changed", "-o", changed}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "updated: 1 added, 1 changed, 0 removed\n");
    {
        TVELProject project;
        project.Open(changed);
        TVELEntity* customer = project.DataDictionary.FindEntity("customer");
        ASSERT_TRUE(customer);
        // The new column stands where the source has it; the old columns keep their identities.
        EXPECT_EQ(columns(customer), "id,name,email,city");
        // A column added later gets an identifier of its own.
        std::set<int32_t> ids;
        customer->AddAttribute(true);
        for (int i = 0; i < customer->Attributes.Count(); ++i) ids.insert(customer->Attributes[i]->ID);
        EXPECT_EQ(ids.size(), 5u);
        EXPECT_EQ(customer->Abbreviation, "CUS");  // what only the model knows stays
        EXPECT_EQ(customer->Note, "kept by the model");
        EXPECT_TRUE(project.DataDictionary.FindEntity("note"));
        EXPECT_TRUE(project.DataDictionary.FindEntity("legacy"));
    }
    {
        TVELProject original;
        original.Open(file);
        TVELProject project;
        project.Open(changed);
        const TVELEntity* before = original.DataDictionary.FindEntity("customer");
        const TVELEntity* after = project.DataDictionary.FindEntity("customer");
        EXPECT_EQ(after->ID, before->ID);
        for (const char* name : {"id", "name", "city"})
            EXPECT_EQ(after->Attributes.FindByName(name)->ID, before->Attributes.FindByName(name)->ID) << name;
    }
    // "all" (the default): the legacy table goes too.
    const std::string all = dir.File("all.arv");
    r = Cli({"update-model", file, "--from", source, "-o", all}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "updated: 1 added, 1 changed, 1 removed\n");
    {
        TVELProject project;
        project.Open(all);
        EXPECT_TRUE(project.DataDictionary.FindEntity("note"));
        EXPECT_FALSE(project.DataDictionary.FindEntity("legacy"));
        EXPECT_EQ(columns(project.DataDictionary.FindEntity("customer")), "id,name,email,city");
    }
    r = Cli({"update-model", file, "--from", source, "--select", "all", "-o", all}, tmp);
    EXPECT_EQ(r.Out, "updated: 1 added, 1 changed, 1 removed\n");
    // The updated model now agrees with the source but for what only the model knows.
    r = Cli({"compare", all, source, "--target", "postgresql15", "--format", "json"}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(ShownJson(r.Out, tmp),
              "Different\tTVELEntity\tcustomer\tcustomer\n"
              "  Left only\tAbbreviation: CUS\t\n"
              "  Left only\tNote: kept by the model\t\n");
    // The input stays as it was.
    r = Cli({"compare", file, all}, tmp);
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    r = Cli({"update-model", file, "--from", source, "--select", "some", "-o", all}, tmp);
    EXPECT_EQ(r.ExitCode, 2);

    // A column that used a domain keeps it when the source writes the domain's data type.
    WriteFile(dir.File("d1.sql"), "CREATE DOMAIN amount AS NUMERIC(10,2);\n"
                                  "CREATE TABLE pay (id INTEGER NOT NULL, total amount, CONSTRAINT pk_pay PRIMARY KEY (id));\n");
    WriteFile(dir.File("d2.sql"), "CREATE TABLE pay (id INTEGER NOT NULL, total NUMERIC(10,2), note VARCHAR(10), "
                                  "CONSTRAINT pk_pay PRIMARY KEY (id));\n");
    ASSERT_EQ(Cli({"import-sql", dir.File("d1.sql"), "--target", "postgresql15", "-o", dir.File("d1.arv")}, tmp).ExitCode, 0);
    r = Cli({"update-model", dir.File("d1.arv"), "--from", dir.File("d2.sql"), "--select", "changed", "-o",
             dir.File("d2.arv")},
            tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "updated: 0 added, 1 changed, 0 removed\n");  // the domain is kept: nothing removed
    {
        TVELProject project;
        project.Open(dir.File("d2.arv"));
        const TVELEntity* pay = project.DataDictionary.FindEntity("pay");
        ASSERT_TRUE(pay);
        EXPECT_EQ(columns(pay), "id,total,note");
        const TVELNamedObject* domain = project.DataDictionary.FindByName("amount");
        ASSERT_TRUE(domain);
        EXPECT_EQ(static_cast<const TVELAttribute*>(pay->Attributes.FindByName("total"))->DomainID, domain->ID);
    }
}

namespace {

// The rows of a query, each as its values joined by "|" and ended by ";".
template <class Database> std::string RowsOf(Database& db, const std::string& sql) {
    std::string error;
    const ardvin::test::TRows rows = db.Query(sql, error);
    EXPECT_EQ(error, "") << sql;
    std::string text;
    for (const auto& row : rows) text += JoinStrings(row, "|") + ";";
    return text;
}

}  // namespace

// Execute mode runs the alter script on a live database; the old state may be that database
// itself. What would lose data is refused with exit 3 before anything runs.
TEST(CliCompare, AlterExecutesOnSQLite) {
    TempDir dir, tmp;
    const std::string file = dir.File("shop.db");
    const std::string url = "sqlite://" + file;
    {
        ardvin::test::TSQLiteDatabase db(file);
        ASSERT_EQ(db.Run(Tables), "");
        ASSERT_EQ(db.Run("INSERT INTO customer VALUES (1, 'Ann', 'Oslo'); INSERT INTO orders VALUES (10, 1);"), "");
    }
    auto query = [&file](const std::string& sql) {
        ardvin::test::TSQLiteDatabase db(file);
        return RowsOf(db, sql);
    };
    const std::string oldScript = dir.File("old.sql"), newScript = dir.File("new.sql");
    WriteFile(oldScript, Tables);
    WriteFile(newScript, ReplaceAll(Tables, " city VARCHAR(30),", " city VARCHAR(30), email VARCHAR(60),"));

    // A column at the end is added in place; the script itself is not printed.
    RunResult r = Cli({"alter", url, newScript, "--target", "sqlite3", "--execute", url}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(query("SELECT id, name, city, email FROM customer"), "1|Ann|Oslo|;");
    // Nothing left to do the second time.
    r = Cli({"alter", url, newScript, "--target", "sqlite3", "--execute", url, "-o", dir.File("again.sql")}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFile(dir.File("again.sql")).find("ALTER TABLE"), std::string::npos) << ReadFile(dir.File("again.sql"));

    // Going back drops the column: refused without --allow-drop, and the database stays.
    r = Cli({"alter", url, oldScript, "--target", "sqlite3", "--execute", url}, tmp);
    EXPECT_EQ(r.ExitCode, 3) << r.Err;
    EXPECT_NE(r.Err.find("recreates table customer"), std::string::npos) << r.Err;
    EXPECT_EQ(query("SELECT id, name, city, email FROM customer"), "1|Ann|Oslo|;");
    r = Cli({"alter", url, oldScript, "--target", "sqlite3", "--execute", url, "--allow-drop"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(query("SELECT name FROM pragma_table_info('customer') ORDER BY cid"), "id;name;city;");
    EXPECT_EQ(query("SELECT * FROM customer"), "1|Ann|Oslo;");
    EXPECT_EQ(query("SELECT * FROM orders"), "10|1;");

    // A database that is not there is no old state to alter.
    const std::string missing = "sqlite://" + dir.File("missing.db");
    r = Cli({"alter", oldScript, newScript, "--target", "sqlite3", "--execute", missing}, tmp);
    EXPECT_EQ(r.ExitCode, 2) << r.Err;
    EXPECT_FALSE(fs::exists(dir.File("missing.db")));
}

TEST(CliCompare, AlterExecutesOnPostgreSQL) {
    TempDir dir, tmp;
    const std::string database = ardvin::test::CreatePostgresDatabase("ardvin_cli_alter");
    const ardvin::test::ServerParams p = ardvin::test::PostgresServer();
    const std::string url =
        "postgresql://" + p.User + "@" + p.Host + ":" + std::to_string(p.Port) + "/" + database;
    {
        ardvin::test::TPostgresConnection db(database);
        ASSERT_EQ(db.Run(Tables), "");
        ASSERT_EQ(db.Run("INSERT INTO customer VALUES (1, 'Ann', 'Oslo'); INSERT INTO orders VALUES (10, 1);"), "");
    }
    auto query = [&database](const std::string& sql) {
        ardvin::test::TPostgresConnection db(database);
        return RowsOf(db, sql);
    };
    // The new model is a project of the target: the database is read for it without --target.
    TargetDatabases().Build(DefinitionsDir());
    const std::string project = dir.File("shop.arv");
    {
        TVELProject p;
        p.NewModel("postgresql15");
        Import(p.DataDictionary, ReplaceAll(Tables, " city VARCHAR(30),", " email VARCHAR(60), city VARCHAR(30),"));
        p.SetFileName(project);
        p.Save();
    }
    // A column in the middle recreates the table on PostgreSQL: refused, then run with consent.
    RunResult r = Cli({"alter", url, project, "--execute", url}, tmp);
    EXPECT_EQ(r.ExitCode, 3) << r.Err;
    EXPECT_NE(r.Err.find("recreates table customer"), std::string::npos) << r.Err;
    EXPECT_EQ(query("SELECT count(*) FROM information_schema.columns WHERE table_name = 'customer'"), "3;");
    r = Cli({"alter", url, project, "--execute", url, "--allow-drop"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(query("SELECT column_name FROM information_schema.columns WHERE table_name = 'customer' ORDER BY "
                    "ordinal_position"),
              "id;name;email;city;");
    EXPECT_EQ(query("SELECT id, name, email, city FROM customer"), "1|Ann||Oslo;");
    EXPECT_EQ(query("SELECT conname FROM pg_constraint WHERE conrelid = 'orders'::regclass ORDER BY conname"),
              "fk_orders_customer;pk_orders;");
    // Afterwards the database compares equal to the project.
    r = Cli({"compare", url, project}, tmp);
    EXPECT_EQ(r.ExitCode, 2) << r.Err;  // (reading a database needs its target)
    r = Cli({"compare", url, project, "--target", "postgresql15"}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;

    // A statement the server refuses fails the command with the server's reason.
    const std::string bad = dir.File("bad.sql");
    WriteFile(bad, ReplaceAll(Tables, " city VARCHAR(30),",
                              " email VARCHAR(60), city VARCHAR(30), CONSTRAINT ck_no_ann CHECK (name <> 'Ann'),"));
    r = Cli({"alter", url, bad, "--target", "postgresql15", "--execute", url}, tmp);
    EXPECT_EQ(r.ExitCode, 2) << r.Err;
    EXPECT_NE(r.Err.find("failed on the database"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("ck_no_ann"), std::string::npos) << r.Err;
    EXPECT_EQ(query("SELECT count(*) FROM information_schema.columns WHERE table_name = 'customer'"), "4;");
    ardvin::test::DropPostgresDatabase(database);
}
