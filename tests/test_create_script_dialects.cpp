// Create and drop scripts of the full-feature models of SQL Server 2019, Oracle 19c and Db2 11.5,
// whose servers cannot run here: every statement of both scripts goes to the third-party parsers
// of SqlCheck.h and is taken by one of them for what it is, or is pinned in the golden file
// tests/sqlcheck/golden/<target>_scripts.sql under the manual section it follows.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "FullFeatureModel.h"
#include "SqlCheck.h"
#include "TestSupport.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zXMLUtils.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

// The statements of both scripts, each named by its script and its kind.
std::vector<TSqlStatement> ScriptsStatements(const TVELDatabaseSettings& s, const TGeneratedScripts& g) {
    std::vector<TSqlStatement> statements;
    for (const auto& [script, text] : {std::pair{"create", &g.CreateScript}, std::pair{"drop", &g.DropScript}}) {
        for (const std::string& statement : ScriptStatements(s, *text)) {
            const auto [verb, object] = KindWords(statement);
            statements.push_back({std::string(script) + " " + verb + (object.empty() ? "" : " " + object), statement});
        }
    }
    return statements;
}

void CheckScripts(const std::string& id, const std::set<std::string>& kinds) {
    SCOPED_TRACE(id);
    TFullFeatureSetup setup;
    setup.OtherSchema = "SALES";
    const auto model = FullFeatureModel(id, setup);
    const TGeneratedScripts g = GenerateScripts(*model);
    const TVELDatabaseSettings& s = *g.Model->GetDatabaseSettings();
    const std::vector<TSqlStatement> statements = ScriptsStatements(s, g);
    // Every kind of object of the model reaches the scripts.
    std::set<std::string> sources;
    for (const TSqlStatement& st : statements) sources.insert(st.Source);
    for (const std::string& kind : kinds) EXPECT_TRUE(sources.count(kind)) << kind;
    const int accepted = ExpectParsedOrPinned(id, statements, id + "_scripts", true);
    EXPECT_GT(accepted * 5, static_cast<int>(statements.size())) << accepted << " of " << statements.size();
}

}  // namespace

TEST(CreateScriptDialects, SQLServer2019) {
    CheckScripts("mssqlserver2019",
                 {"create CREATE TABLE", "create CREATE INDEX", "create ALTER TABLE", "create CREATE SEQUENCE",
                  "create EXEC", "create CREATE RULE", "create CREATE DEFAULT", "create CREATE VIEW",
                  "create CREATE PROCEDURE", "create CREATE FUNCTION", "create CREATE TRIGGER", "drop DROP TABLE",
                  "drop ALTER TABLE", "drop DROP VIEW", "drop DROP PROCEDURE", "drop DROP FUNCTION",
                  "drop DROP TRIGGER", "drop DROP RULE", "drop DROP DEFAULT", "drop EXEC", "drop DROP SEQUENCE"});
}

TEST(CreateScriptDialects, Oracle19) {
    CheckScripts("oracle19", {"create CREATE TABLE", "create CREATE INDEX", "create ALTER TABLE", "create CREATE SEQUENCE",
                              "create COMMENT", "create CREATE VIEW", "create CREATE PROCEDURE", "create CREATE FUNCTION",
                              "create CREATE TRIGGER", "drop DROP TABLE", "drop ALTER TABLE", "drop DROP VIEW",
                              "drop DROP PROCEDURE", "drop DROP FUNCTION", "drop DROP TRIGGER", "drop DROP SEQUENCE"});
}

TEST(CreateScriptDialects, Db2LUW11) {
    CheckScripts("db2luw11", {"create CREATE SCHEMA", "create CREATE TABLE", "create CREATE INDEX", "create ALTER TABLE",
                              "create CREATE SEQUENCE", "create CREATE TYPE", "create COMMENT", "create CREATE VIEW",
                              "create CREATE PROCEDURE", "create CREATE TRIGGER", "drop DROP TABLE", "drop ALTER TABLE",
                              "drop DROP VIEW", "drop DROP PROCEDURE", "drop DROP TRIGGER", "drop DROP TYPE",
                              "drop DROP SEQUENCE"});
}
