// The shipped SQL Server 2019, Oracle 19c and Db2 11.5 targets, whose servers cannot run here.
// Every statement template is filled and the statements it gives are handed to the third-party
// SQL parsers of SqlCheck.h; statements both refuse are pinned in golden files. The sample
// database scripts of the corpus go through the same parsers as a check of the check.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "SqlCheck.h"
#include "TestSupport.h"
#include "TestTemplates.h"
#include "zDatabaseSettings.h"
#include "zSLDatatypes.h"
#include "zXMLUtils.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

using Strings = std::vector<std::string>;

// The value of every placeholder, written as the filler would write it for this target.
TTemplateValues SampleValues(const TVELDatabaseSettings& s) {
    const bool mssql = s.DBID == "mssqlserver2019";
    const bool oracle = s.DBID == "oracle19";
    const auto q = [&](const std::string& name) { return s.QuoteDDL(name); };
    const std::string integer = mssql ? "INT" : "INTEGER";
    TTemplateValues v = {
        {"tableschema", "S1"},
        {"mssqltableschema", "S1"},
        {"begintablescript", ""},
        {"endtablescript", ""},
        {"tableoptions", ""},
        {"attributeoptions", ""},
        {"constraintoptions", ""},
        {"indexoptions", ""},
        {"collate", mssql ? "Latin1_General_CI_AS" : ""},
        {"defaultvalue", "0"},
        {"notnull", "NOT NULL"},
        {"datatype", integer},
        {"physicaldatatype", integer},
        {"columndatatype", integer},
        {"pkclustering", mssql ? "NONCLUSTERED" : ""},
        {"constraintname", q("CK_ORDERS")},
        {"nonquotedsimpleconstraintname", "CK_ORDERS"},
        {"defaultconstraintname", q("DF_ORDERS_QTY")},
        {"constraint", q("QTY") + " >= 0"},
        {"constraintcolumn", q("QTY")},
        {"constraintcolumns", q("QTY")},
        {"childcolumns", q("CUSTOMER_ID")},
        {"parentcolumns", q("ID")},
        {"deleterule", "ON DELETE CASCADE"},
        {"updaterule", mssql ? "ON UPDATE NO ACTION" : oracle ? "" : "ON UPDATE RESTRICT"},
        {"indextype", "UNIQUE"},
        {"indexclustering", mssql ? "NONCLUSTERED" : oracle ? "" : "CLUSTER"},
        {"indexcompression", oracle ? "COMPRESS" : ""},
        {"indexsortoption", ""},
        {"indexcolumnsortoption", "DESC"},
        {"indexcolumn", q("QTY")},
        {"seqseed", "1"},
        {"seqincrement", "1"},
        {"seqmin", "1"},
        {"seqmax", "1000000"},
        {"seqintegertype", "BIGINT"},
        {"oraseqmin", "MINVALUE 1"},
        {"oraseqmax", "MAXVALUE 1000000"},
        {"oraseqcache", "CACHE 20"},
        {"mssqlserverseqcache", "CACHE 20"},
        {"seqcycle", oracle ? "NOCYCLE" : "NO CYCLE"},
        {"seqorder", oracle ? "NOORDER" : mssql ? "" : "NO ORDER"},
        {"checkconstraint", "VALUE > 0"},
        {"intofields", q("ID") + "," + q("QTY")},
        {"selectfields", q("ID") + "," + q("QTY")},
        {"procparams", ""},
    };
    // Names in every form.
    const std::pair<const char*, std::pair<std::string, std::string>> names[] = {
        {"table", {"S1", "ORDERS"}},   {"parenttable", {"S1", "CUSTOMERS"}}, {"childtable", {"S1", "ORDERS"}},
        {"oldtable", {"S1", "ORDERS_OLD"}}, {"column", {"", "QTY"}},          {"oldcolumn", {"", "AMOUNT"}},
        {"index", {"", "IX_ORDERS_QTY"}}, {"domain", {"S1", "D_QTY"}},        {"olddomain", {"S1", "D_AMOUNT"}},
        {"seq", {"S1", "SEQ_ORDERS"}}, {"view", {"S1", "V_ORDERS"}},         {"proc", {"S1", "P_ORDERS"}},
        {"rule", {"S1", "R_POSITIVE"}}, {"trigger", {"S1", "TR_ORDERS"}},
        {"oldindex", {"", "IX_ORDERS_AMOUNT"}}, {"oldconstraint", {"", "CK_ORDERS_OLD"}}};
    for (const auto& [kind, name] : names) {
        const std::string k = kind;
        const std::string qualified = name.first.empty() ? name.second : name.first + "." + name.second;
        const bool old = k.rfind("old", 0) == 0;
        const std::string base = old ? k.substr(3) : k;
        const std::string prefix = old ? "old" : "";
        v.emplace_back(k + "name", q(qualified));
        v.emplace_back(prefix + "quotedqualified" + base + "name", q(qualified));
        v.emplace_back(prefix + "nonquotedqualified" + base + "name", qualified);
        v.emplace_back(prefix + "quotedsimple" + base + "name", q(name.second));
        v.emplace_back(prefix + "nonquotedsimple" + base + "name", name.second);
        v.emplace_back(k + "name_nonfixed", name.second);
    }
    for (const char* kind : {"table", "column", "view", "proc", "seq", "rule", "index", "domain"})
        v.emplace_back(std::string(kind) + "comment", "'Orders of the customers'");
    // The composed statements of SQL Server domains, as the filler writes them.
    v.emplace_back("mssqladdtype", "EXEC sp_addtype N'D_QTY', INT,'NULL'");
    v.emplace_back("mssqlrule", "CREATE RULE [D_QTY_RULE] AS @value > 0");
    v.emplace_back("mssqlbindrule", "EXEC sp_bindrule N'[D_QTY_RULE]', N'[S1].[D_QTY]'");
    v.emplace_back("mssqldefault", "CREATE DEFAULT [D_QTY_DFT] AS 0");
    v.emplace_back("mssqlbindefault", "EXEC sp_bindefault N'[D_QTY_DFT]', N'[S1].[D_QTY]'");
    v.emplace_back("mssqlunbindrule", "EXEC sp_unbindrule N'[S1].[D_QTY]'");
    v.emplace_back("mssqlunbindefault", "EXEC sp_unbindefault N'[S1].[D_QTY]'");
    v.emplace_back("mssqldroprule", "DROP RULE [D_QTY_RULE]");
    v.emplace_back("mssqldropdefault", "DROP DEFAULT [D_QTY_DFT]");
    v.emplace_back("mssqldroptype", "EXEC sp_droptype N'D_QTY'");
    // Code of views, procedures, triggers and rules as a user writes it for the system.
    const std::string orders = q("S1.ORDERS");
    v.emplace_back("viewcode", "CREATE VIEW " + q("S1.V_ORDERS") + " AS SELECT " + q("ID") + ", " + q("QTY") +
                                   " FROM " + orders);
    v.emplace_back("rulecode", "CREATE RULE " + q("S1.R_POSITIVE") + " AS @value > 0");
    if (mssql) {
        v.emplace_back("proccode", "CREATE PROCEDURE [S1].[P_ORDERS] AS\r\nBEGIN\r\n  SELECT COUNT(*) FROM " + orders +
                                       ";\r\nEND");
        v.emplace_back("triggercode", "CREATE TRIGGER [S1].[TR_ORDERS] ON " + orders +
                                          " AFTER INSERT AS\r\nBEGIN\r\n  SET NOCOUNT ON;\r\nEND");
    } else if (oracle) {
        v.emplace_back("proccode", "CREATE OR REPLACE PROCEDURE \"S1\".\"P_ORDERS\" AS\r\n  n INTEGER;\r\nBEGIN\r\n"
                                   "  SELECT COUNT(*) INTO n FROM " + orders + ";\r\nEND;");
        v.emplace_back("triggercode", "CREATE OR REPLACE TRIGGER \"S1\".\"TR_ORDERS\" BEFORE INSERT ON " + orders +
                                          " FOR EACH ROW\r\nBEGIN\r\n  :NEW.\"QTY\" := 0;\r\nEND;");
    } else {
        v.emplace_back("proccode", "CREATE OR REPLACE PROCEDURE \"S1\".\"P_ORDERS\" ()\r\nLANGUAGE SQL\r\nBEGIN\r\n"
                                   "  DELETE FROM " + orders + ";\r\nEND");
        v.emplace_back("triggercode", "CREATE OR REPLACE TRIGGER \"S1\".\"TR_ORDERS\" NO CASCADE BEFORE INSERT ON " +
                                          orders + "\r\nREFERENCING NEW AS N FOR EACH ROW\r\nBEGIN ATOMIC\r\n"
                                          "  SET N.\"QTY\" = 0;\r\nEND");
    }
    // Lists built from the fragment templates.
    TTemplateValues column = v;
    v.emplace_back("tablecolumns", FillTemplate(s.SQLTemplate("SQLCreateColumn"), column) + "," +
                                       FillTemplate(s.SQLTemplate("SQLCreateColumn"),
                                                    {{"columnname", q("ID")}, {"datatype", integer}, {"notnull", "NOT NULL"},
                                                     {"defaultvalue", ""}, {"collate", ""}, {"attributeoptions", ""}}));
    v.emplace_back("temptablecolumns", FillTemplate(s.SQLTemplate("SQLCreateTempTableColumn"), column));
    v.emplace_back("pkconstraint", FillTemplate(s.SQLTemplate("SQLCreatePKConstraint"),
                                                {{"constraintname", q("PK_ORDERS")}, {"constraintcolumns", q("ID")},
                                                 {"pkclustering", mssql ? "CLUSTERED" : ""}, {"constraintoptions", ""}}));
    v.emplace_back("indexcolumns", FillTemplate(s.SQLTemplate("SQLIndexColumn"), v) + "," +
                                       FillTemplate(s.SQLTemplate("SQLIndexColumn"),
                                                    {{"indexcolumn", q("ID")}, {"indexcolumnsortoption", ""}}));
    v.emplace_back("terminator", s.Terminator);
    return v;
}

bool IsFragment(const std::string& name) {
    return name == "SQLCreateColumn" || name == "SQLCreateTempTableColumn" || name == "SQLCreatePKConstraint" ||
           name == "SQLIndexColumn";
}

}  // namespace

TEST(DialectDefinitions, EveryTemplateGivesStatementsOfItsKind) {
    for (const TSqlDialect& dialect : SqlDialects()) {
        SCOPED_TRACE(dialect.Id);
        TargetDatabases().Build(DefinitionsDir());
        TVELDatabaseSettings s;
        s.DBID = dialect.Id;
        s.Load();
        EXPECT_TRUE(s.LoadWarnings.empty()) << JoinStrings(s.LoadWarnings, "\n");
        EXPECT_EQ(UnwrittenKeys(DefinitionsDir() + "/" + dialect.Id + ".def"), Strings{});
        const TTemplateValues values = SampleValues(s);

        std::vector<TSqlStatement> statements;
        for (const std::string& name : TVELDatabaseSettings::SQLCommandNames()) {
            const std::string tmpl = s.SQLTemplate(name);
            std::string problem;
            for (const std::string& placeholder : Placeholders(tmpl, problem))
                EXPECT_TRUE(KnownPlaceholders().count(placeholder)) << name << ": " << placeholder;
            EXPECT_EQ(problem, "") << name;
            EXPECT_EQ(CheckOptionalParts(tmpl), "") << name;
            if (tmpl.empty() || IsFragment(name)) continue;
            const std::string filled = FillTemplate(tmpl, values);
            EXPECT_EQ(filled.find('%'), std::string::npos) << name << ": " << filled;
            int n = 0;
            for (const std::string& piece : SplitStatements(s, filled))
                statements.push_back({name + " " + IntToStr(++n), piece});
        }
        ASSERT_GT(statements.size(), 40u);

        // A fifth of the statements at least are checked by a parser, not pinned.
        const int accepted = ExpectParsedOrPinned(dialect.Id, statements, dialect.Id, false);
        EXPECT_GT(accepted * 5, static_cast<int>(statements.size())) << accepted << " of " << statements.size();
    }
}

TEST(DialectDefinitions, TheParsersTakeTheSampleDatabaseScripts) {
    // The script of each system, its statements cut as its script tool does, and the kinds of
    // statement every parser of the system must take from it.
    struct TScript {
        const char* Id;
        const char* File;
        std::set<std::string> Taken;
    };
    const TScript scripts[] = {
        {"mssqlserver2019", "Chinook_SqlServer.sql", {"CREATE TABLE", "CREATE INDEX", "INSERT"}},
        {"oracle19", "Chinook_Oracle.sql", {"CREATE TABLE", "ALTER TABLE", "INSERT"}},
        {"db2luw11", "Chinook_Db2.sql", {"CREATE TABLE", "ALTER TABLE", "INSERT"}},
    };
    const std::string corpus = SourceDir() + "/../shared/corpus/chinook/";
    for (const TScript& script : scripts) {
        SCOPED_TRACE(script.File);
        TVELDatabaseSettings s;
        s.DBID = script.Id;
        // Comments go first; then the statements are cut as the definition's scripts are.
        std::string text = ReadFile(corpus + script.File);
        for (size_t open = text.find("/*"); open != std::string::npos; open = text.find("/*", open)) {
            const size_t close = text.find("*/", open);
            text.erase(open, close == std::string::npos ? std::string::npos : close + 2 - open);
        }
        std::vector<TSqlStatement> statements;
        std::map<std::string, int> inserts;
        for (const std::string& piece : SplitStatements(s, text)) {
            for (const std::string& statement : s.DBID == "mssqlserver2019" ? SplitStatements(TVELDatabaseSettings(), piece)
                                                                            : Strings{piece}) {
                const auto [verb, object] = KindWords(statement);
                const std::string kind = object.empty() || verb == "INSERT" ? verb : verb + " " + object;
                // The definitions of tables and indexes and the first rows of data; the script
                // tools' own commands (CONNECT, EXIT, USE) are no SQL for the parsers.
                if (kind != "CREATE TABLE" && kind != "ALTER TABLE" && kind != "CREATE INDEX" && kind != "INSERT")
                    continue;
                if (verb == "INSERT" && ++inserts[kind] > 40) continue;
                statements.push_back({kind, statement});
            }
        }
        ASSERT_GT(statements.size(), 40u);
        for (const TSqlDialect& dialect : SqlDialects()) {
            if (std::string(dialect.Id) != script.Id) continue;
            for (const auto& [checker, name] : dialect.Parsers) {
                SCOPED_TRACE(checker);
                const std::vector<TSqlVerdict> verdicts = ParseStatements(checker, name, statements);
                std::map<std::string, int> taken, all;
                for (size_t i = 0; i < statements.size(); ++i) {
                    ++all[statements[i].Source];
                    if (!verdicts[i].Ok) continue;
                    // A statement taken is taken for what it is.
                    EXPECT_TRUE(KindAgrees(statements[i].Text, verdicts[i].Kind))
                        << verdicts[i].Kind << ": " << statements[i].Text;
                    ++taken[statements[i].Source];
                }
                // Every table definition is taken; of the other kinds, some statements are.
                for (const std::string& kind : script.Taken) {
                    if (std::string(checker) == "sqlglot" && script.Id == std::string("mssqlserver2019") &&
                        kind != "INSERT")
                        continue;  // sqlglot's T-SQL dialect refuses [schema].[name] in these statements
                    EXPECT_GT(all[kind], 0) << kind;
                    if (kind == "CREATE TABLE") {
                        EXPECT_EQ(taken[kind], all[kind]) << kind;
                    } else {
                        EXPECT_GT(taken[kind], 0) << kind;
                    }
                }
            }
        }
    }
}
