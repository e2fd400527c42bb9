// The restructure classes of SQL Server, Oracle, Db2 and Firebird on the shipped definitions:
// which class a target gets, code that carries its own block lines, and the statements a
// connection receives in execute mode, without the lines of the script tools.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zProcedure.h"
#include "zSequence.h"
#include "zTrigger.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

using Strings = std::vector<std::string>;

std::unique_ptr<TVELDataDictionary> Model(const std::string& target) {
    TargetDatabases().Build(DefinitionsDir());
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget(target);
    return dd;
}

TVELEntity* Table(TVELDataDictionary& dd, const std::string& name, const std::string& keyType) {
    auto* table = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    table->SetName(name);
    TVELAttribute* key = table->AddAttribute();
    key->SetName("ID");
    key->DataType->DataType = keyType;
    key->SetPrimaryKey(true);
    key->SetNotNull(true);
    return table;
}

TVELProcedure* Procedure(TVELDataDictionary& dd, const std::string& name, const std::string& code) {
    auto* p = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
    p->SetName(name);
    p->Code = code;
    return p;
}

// The create script of a prepared copy of the model.
std::string CreateScript(const TVELDataDictionary& model) {
    TVELSettingsList options, used;
    const auto copy = PrepareForGeneration(model, options, used);
    const auto r = CreateRestructure(*copy);
    r->Options = used;
    r->WriteHeader = false;
    r->WriteRemarks = false;
    EXPECT_TRUE(r->GenerateCreateScript()) << JoinStrings(r->Lines, "\n");
    return r->ScriptText();
}

// The number of lines of a text that are, trimmed, the given line.
int LineCount(const std::string& text, const std::string& line) {
    int n = 0;
    for (const std::string& l : SplitString(ReplaceAll(text, "\r\n", "\n"), '\n'))
        if (Trim(l) == line) ++n;
    return n;
}

class TRecorder : public TVELStatementExecutor {
public:
    void Execute(const std::string& statement) override { Statements.push_back(statement); }
    Strings Statements;
};

// The statements a connection receives for the create pass of a prepared copy of the model.
Strings Executed(const TVELDataDictionary& model) {
    TVELSettingsList options, used;
    const auto copy = PrepareForGeneration(model, options, used);
    const auto r = CreateRestructure(*copy);
    r->Options = used;
    TRecorder recorder;
    r->WriteToScript = false;
    r->Executor = &recorder;
    EXPECT_TRUE(r->GenerateCreateScript()) << JoinStrings(r->Lines, "\n");
    EXPECT_TRUE(r->Script.empty());
    return recorder.Statements;
}

}  // namespace

TEST(TargetRestructure, EachTargetGetsItsClass) {
    const std::pair<const char*, const std::type_info*> targets[] = {
        {"mssqlserver2019", &typeid(TSQLServerRestructure)},
        {"oracle19", &typeid(TOracleRestructure)},
        {"db2luw11", &typeid(TDB2Restructure)},
        {"firebird3", &typeid(TInterBaseRestructure)},
        {"postgresql15", &typeid(TPostgreSQLRestructure)},
        {"dbindependent", &typeid(TDBRestructure)},
    };
    for (const auto& [id, type] : targets) {
        const auto dd = Model(id);
        const auto r = CreateRestructure(*dd);
        EXPECT_EQ(typeid(*r), *type) << id;
    }
}

TEST(TargetRestructure, CodeWithItsOwnBlockLinesIsWrittenAsItStands) {
    {
        // Oracle: one "/" after each PL/SQL unit, whether the code brought it or not.
        const auto dd = Model("oracle19");
        Procedure(*dd, "P_PLAIN", "CREATE OR REPLACE PROCEDURE %procname% AS\r\nBEGIN\r\n  NULL;\r\nEND;");
        Procedure(*dd, "P_PASTED", "CREATE OR REPLACE PROCEDURE %procname% AS\r\nBEGIN\r\n  NULL;\r\nEND;\r\n/\r\n");
        const std::string script = CreateScript(*dd);
        EXPECT_EQ(LineCount(script, "/"), 2) << script;
        EXPECT_EQ(script.find("/\r\n/"), std::string::npos) << script;
        EXPECT_EQ(script.find("/\r\n\r\n/"), std::string::npos) << script;
    }
    {
        // SQL Server: one GO after each batch.
        const auto dd = Model("mssqlserver2019");
        Procedure(*dd, "P_PLAIN", "CREATE PROCEDURE %procname% AS\r\nBEGIN\r\n  SET NOCOUNT ON;\r\nEND");
        Procedure(*dd, "P_PASTED", "CREATE PROCEDURE %procname% AS\r\nBEGIN\r\n  SET NOCOUNT ON;\r\nEND\r\nGO");
        const std::string script = CreateScript(*dd);
        EXPECT_EQ(LineCount(script, "GO"), 2) << script;
    }
    {
        // Db2: the terminator switches once around each body.
        const auto dd = Model("db2luw11");
        Procedure(*dd, "P_PLAIN", "CREATE PROCEDURE %procname% ()\r\nLANGUAGE SQL\r\nBEGIN\r\n  RETURN;\r\nEND");
        Procedure(*dd, "P_PASTED", "--#SET TERMINATOR @\r\nCREATE PROCEDURE %procname% ()\r\nLANGUAGE SQL\r\nBEGIN\r\n"
                                   "  RETURN;\r\nEND\r\n@\r\n--#SET TERMINATOR ;");
        const std::string script = CreateScript(*dd);
        EXPECT_EQ(LineCount(script, "--#SET TERMINATOR @"), 2) << script;
        EXPECT_EQ(LineCount(script, "@"), 2) << script;
    }
    {
        // Firebird: the trigger of a column numbered by a sequence comes with its SET TERM
        // switches from the definition; a procedure gets them from its template.
        const auto dd = Model("firebird3");
        auto* sequence = static_cast<TVELSequence*>(dd->CreateObject(otSequence, true));
        sequence->SetName("SEQ_NUMBERS");
        TVELEntity* table = Table(*dd, "NUMBERED", "INTEGER");
        table->AttributeAt(0)->SetSequenceID(sequence->ID);
        ASSERT_EQ(table->Triggers.Count(), 1);
        Procedure(*dd, "P_PLAIN", "CREATE PROCEDURE %procname%\r\nAS\r\nBEGIN\r\n  EXIT;\r\nEND");
        const std::string script = CreateScript(*dd);
        EXPECT_EQ(LineCount(script, "SET TERM ^ ;"), 2) << script;
        EXPECT_EQ(LineCount(script, "SET TERM ; ^"), 2) << script;
        EXPECT_EQ(LineCount(script, "^"), 2) << script;
        EXPECT_NE(script.find("NEXT VALUE FOR \"SEQ_NUMBERS\""), std::string::npos) << script;
    }
}

TEST(TargetRestructure, AConnectionGetsStatementsWithoutTheScriptToolsLines) {
    {
        // A SQL Server domain is an alias type with a rule and a default bound to it: batch by
        // batch; a table with an end script is two batches.
        const auto dd = Model("mssqlserver2019");
        auto* domain = static_cast<TVELDomain*>(dd->CreateObject(otDomain, true));
        domain->SetName("POSITIVE");
        domain->DataType->DataType = "INT";
        domain->CheckConstraint()->Value = "VALUE >= 0";
        domain->DefaultConstraint()->Value = "0";
        Table(*dd, "T", "INT")->EndTableScript = "GRANT SELECT ON %tablename% TO PUBLIC\r\nGO";
        const Strings statements = Executed(*dd);
        const Strings expected = {"EXEC sp_addtype N'POSITIVE', INT,'NULL'",
                                  "CREATE RULE [POSITIVE_RULE] AS @value >= 0",
                                  "EXEC sp_bindrule N'[POSITIVE_RULE]', N'[POSITIVE]'",
                                  "CREATE DEFAULT [POSITIVE_DFT] AS 0",
                                  "EXEC sp_bindefault N'[POSITIVE_DFT]', N'[POSITIVE]'",
                                  "CREATE TABLE [T] (\r\n  [ID] INT NOT NULL,\r\n  PRIMARY KEY ([ID])\r\n)",
                                  "GRANT SELECT ON [T] TO PUBLIC"};
        EXPECT_EQ(statements, expected);
    }
    {
        // Oracle: a PL/SQL block keeps the ";" after its END, other statements lose theirs.
        const auto dd = Model("oracle19");
        Table(*dd, "T", "INTEGER");
        Procedure(*dd, "P", "CREATE OR REPLACE PROCEDURE %procname% AS\r\nBEGIN\r\n  NULL;\r\nEND;");
        const Strings statements = Executed(*dd);
        ASSERT_EQ(statements.size(), 2u);
        EXPECT_EQ(statements[0], "CREATE TABLE \"T\" (\r\n  \"ID\" INTEGER NOT NULL,\r\n  PRIMARY KEY (\"ID\")\r\n)");
        EXPECT_EQ(statements[1], "CREATE OR REPLACE PROCEDURE \"P\" AS\r\nBEGIN\r\n  NULL;\r\nEND;");
    }
    {
        // Db2 and Firebird: the body without the terminator switches and block terminator.
        for (const char* id : {"db2luw11", "firebird3"}) {
            SCOPED_TRACE(id);
            const auto dd = Model(id);
            const bool db2 = std::string(id) == "db2luw11";
            Procedure(*dd, "P", db2 ? "CREATE PROCEDURE %procname% ()\r\nLANGUAGE SQL\r\nBEGIN\r\n  RETURN;\r\nEND"
                                    : "CREATE PROCEDURE %procname%\r\nAS\r\nBEGIN\r\n  EXIT;\r\nEND");
            const Strings statements = Executed(*dd);
            ASSERT_EQ(statements.size(), 1u);
            EXPECT_EQ(statements[0], db2 ? "CREATE PROCEDURE \"P\" ()\r\nLANGUAGE SQL\r\nBEGIN\r\n  RETURN;\r\nEND"
                                         : "CREATE PROCEDURE \"P\"\r\nAS\r\nBEGIN\r\n  EXIT;\r\nEND");
        }
    }
}
