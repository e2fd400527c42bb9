// The shipped SQL Server 2019, Oracle 19c and Db2 11.5 targets, whose servers cannot run here.
// Every statement template is filled and the statements it gives are handed to two third-party
// SQL parsers (sqlglot for T-SQL and Oracle, node-sql-parser for T-SQL and Db2; see
// tests/sqlcheck). A statement passes when a parser takes it for a statement of the kind it
// starts with. Statements that both parsers refuse although the vendor documents them are kept
// as golden files in tests/sqlcheck/golden, each under the manual section it follows; a change
// of such a statement, or a golden statement that a parser now accepts, fails the test. The
// sample database scripts of the corpus go through the same parsers as a check of the check.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TestTemplates.h"
#include "zDatabaseSettings.h"
#include "zSLDatatypes.h"
#include "zXMLUtils.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

using Strings = std::vector<std::string>;

struct TDialect {
    const char* Id;
    std::vector<std::pair<const char*, const char*>> Parsers;  // checker script, dialect name
};

const TDialect Dialects[] = {
    {"mssqlserver2019", {{"sqlglot", "tsql"}, {"nodesqlparser", "TransactSQL"}}},
    {"oracle19", {{"sqlglot", "oracle"}}},
    {"db2luw11", {{"nodesqlparser", "DB2"}}},
};

// One statement to check: where it comes from and its text.
struct TStatement {
    std::string Source;  // "<template> <n>" or "<script> <n>"
    std::string Text;
};

// What a parser said about one statement.
struct TVerdict {
    bool Ok = false;
    std::string Kind;
    std::string Error;
};

std::string RunProcess(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command;
    return output;
}

// Hands the statements to one checker; the verdicts by index.
std::vector<TVerdict> Parse(const std::string& checker, const std::string& dialect,
                            const std::vector<TStatement>& statements) {
    TempDir dir;
    std::string input;
    for (size_t i = 0; i < statements.size(); ++i)
        input += IntToStr(static_cast<int64_t>(i)) + " " + dialect + "\n" + statements[i].Text + "\n\x1e\n";
    WriteFile(dir.File("in.txt"), input);
    const std::string script = SourceDir() + "/tests/sqlcheck/check_" + checker;
    const std::string command = checker == "sqlglot"
                                    ? "/usr/bin/python3 " + script + ".py " + dir.File("in.txt")
                                    : "node " + script + ".js " + dir.File("in.txt") + " " + ARDVIN_SQLCHECK_DIR;
    std::vector<TVerdict> verdicts(statements.size());
    size_t answered = 0;
    for (const std::string& line : SplitString(RunProcess(command), '\n')) {
        const Strings fields = SplitString(line, '\t');
        int32_t index = -1;
        if (fields.size() < 4 || !TryStrToInt(fields[0], index) || index < 0 ||
            static_cast<size_t>(index) >= verdicts.size())
            continue;
        verdicts[index] = {fields[1] == "1", fields[2], fields[3]};
        ++answered;
    }
    EXPECT_EQ(answered, statements.size()) << command;
    return verdicts;
}

// The first words of a statement that name its kind: the verb and, after CREATE, ALTER and
// DROP, the kind of object (OR REPLACE, UNIQUE, CLUSTERED and the like left out).
std::pair<std::string, std::string> KindWords(const std::string& text) {
    Strings words;
    for (const std::string& w : SplitString(ReplaceAll(ReplaceAll(text, "\r\n", " "), "(", " "), ' '))
        if (!Trim(w).empty()) words.push_back(UpperCase(Trim(w)));
    if (words.empty()) return {};
    const std::string verb = words[0];
    if (verb != "CREATE" && verb != "ALTER" && verb != "DROP") return {verb, ""};
    const std::set<std::string> skip = {"OR",       "REPLACE",      "UNIQUE", "BITMAP", "CLUSTERED",
                                        "NONCLUSTERED", "GLOBAL", "TEMPORARY"};
    for (size_t i = 1; i < words.size(); ++i)
        if (!skip.count(words[i])) return {verb, words[i]};
    return {verb, ""};
}

// A parser's kind agrees with the statement when its verb is the statement's (EXEC and EXECUTE
// are one) and, where the parser names an object kind, that kind is the statement's.
bool KindAgrees(const std::string& text, const std::string& kind) {
    const auto [verb, object] = KindWords(text);
    const Strings parsed = SplitString(Trim(kind), ' ');
    if (parsed.empty() || parsed[0].empty()) return false;
    const auto same = [](std::string a, std::string b) {
        if (a == "EXECUTE") a = "EXEC";
        if (b == "EXECUTE") b = "EXEC";
        return a == b;
    };
    if (!same(parsed[0], verb)) return false;
    return parsed.size() < 2 || parsed[1].empty() || parsed[1] == object;
}

// The statements of a filled template as the target's script tool runs them: SQL Server
// batches end at a line GO, Oracle PL/SQL blocks at a line "/", Db2 blocks at "@" between
// terminator switches; other statements end at ";".
Strings SplitStatements(const TVELDatabaseSettings& s, const std::string& filled) {
    Strings pieces;
    std::string current;
    const auto flush = [&](bool stripTerminator) {
        std::string t = Trim(current);
        if (stripTerminator && !t.empty() && t.back() == ';') t = Trim(t.substr(0, t.size() - 1));
        if (!t.empty()) pieces.push_back(t);
        current.clear();
    };
    const bool mssql = s.DBID == "mssqlserver2019";
    bool inBlock = false;
    for (const std::string& rawLine : SplitString(ReplaceAll(filled, "\r\n", "\n"), '\n')) {
        const std::string line = TrimRight(rawLine);
        if (mssql && SameText(Trim(line), "GO")) {
            flush(true);
            continue;
        }
        if (StartsText("--#SET TERMINATOR @", line)) {
            inBlock = true;
            continue;
        }
        if (StartsText("--#SET TERMINATOR", line)) continue;
        if (!mssql && (line == "/" || (inBlock && line == "@"))) {
            flush(false);
            inBlock = false;
            continue;
        }
        current += line + "\r\n";
        if (!mssql && !inBlock && !line.empty() && line.back() == ';' && !StartsText("DECLARE", Trim(current)) &&
            !StartsText("BEGIN", Trim(current)) && current.find("CREATE OR REPLACE TRIGGER") == std::string::npos)
            flush(true);
    }
    flush(true);
    return pieces;
}

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
        {"rule", {"S1", "R_POSITIVE"}}, {"trigger", {"S1", "TR_ORDERS"}}};
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
    v.emplace_back("mssqladdtype", "EXEC sp_addtype D_QTY, INT,'NULL'");
    v.emplace_back("mssqlrule", "CREATE RULE D_QTY_RULE AS @value > 0");
    v.emplace_back("mssqlbindrule", "EXEC sp_bindrule 'D_QTY_RULE', 'S1.D_QTY'");
    v.emplace_back("mssqldefault", "CREATE DEFAULT D_QTY_DFT AS 0");
    v.emplace_back("mssqlbindefault", "EXEC sp_bindefault 'D_QTY_DFT', 'S1.D_QTY'");
    v.emplace_back("mssqlunbindrule", "EXEC sp_unbindrule S1.D_QTY");
    v.emplace_back("mssqlunbindefault", "EXEC sp_unbindefault S1.D_QTY");
    v.emplace_back("mssqldroprule", "DROP RULE D_QTY_RULE");
    v.emplace_back("mssqldropdefault", "DROP DEFAULT D_QTY_DFT");
    v.emplace_back("mssqldroptype", "EXEC sp_droptype D_QTY");
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

// The manual section a statement follows that both parsers refuse, by its first words.
std::string ManualSection(const std::string& id, const std::string& text) {
    const auto [verb, object] = KindWords(text);
    const std::string statement = object.empty() ? verb : verb + " " + object;
    if (id == "mssqlserver2019") {
        if (verb == "EXEC") {
            const size_t at = text.find("sp_");
            return "Transact-SQL reference, system stored procedure " +
                   text.substr(at, text.find_first_of(" \r", at) - at);
        }
        return "Transact-SQL reference, " + statement + " (Transact-SQL)";
    }
    if (id == "oracle19")
        return verb == "BEGIN" || verb == "DECLARE" ? "PL/SQL Language Reference, PL/SQL block"
                                                    : "Oracle Database 19c SQL Language Reference, " + statement;
    return "Db2 11.5 SQL reference, " + statement + " statement";
}

std::string GoldenFile(const std::string& id) {
    return SourceDir() + "/tests/sqlcheck/golden/" + id + ".sql";
}

// The golden statements of a target by source, with the manual section they are kept under.
std::map<std::string, std::pair<std::string, std::string>> ReadGolden(const std::string& id) {
    std::map<std::string, std::pair<std::string, std::string>> golden;
    if (!std::filesystem::exists(GoldenFile(id))) return golden;
    std::string source, section, text;
    const auto flush = [&] {
        if (!source.empty()) golden[source] = {section, Trim(text)};
        text.clear();
    };
    for (const std::string& line : SplitString(ReplaceAll(ReadFile(GoldenFile(id)), "\r\n", "\n"), '\n')) {
        if (line.rfind("-- ", 0) == 0 && line.find(": ") != std::string::npos) {
            flush();
            source = line.substr(3, line.find(": ") - 3);
            section = line.substr(line.find(": ") + 2);
        } else {
            text += line + "\r\n";
        }
    }
    flush();
    return golden;
}

}  // namespace

TEST(DialectDefinitions, EveryTemplateGivesStatementsOfItsKind) {
    for (const TDialect& dialect : Dialects) {
        SCOPED_TRACE(dialect.Id);
        TargetDatabases().Build(DefinitionsDir());
        TVELDatabaseSettings s;
        s.DBID = dialect.Id;
        s.Load();
        EXPECT_TRUE(s.LoadWarnings.empty()) << JoinStrings(s.LoadWarnings, "\n");
        EXPECT_EQ(UnwrittenKeys(DefinitionsDir() + "/" + dialect.Id + ".def"), Strings{});
        const TTemplateValues values = SampleValues(s);

        std::vector<TStatement> statements;
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

        std::vector<std::vector<TVerdict>> verdicts;
        for (const auto& [checker, name] : dialect.Parsers)
            verdicts.push_back(Parse(checker, name, statements));

        const auto golden = ReadGolden(dialect.Id);
        std::string rejected;  // the golden file the statements call for
        int accepted = 0;
        for (size_t i = 0; i < statements.size(); ++i) {
            const TStatement& st = statements[i];
            bool ok = false;
            std::string reasons;
            for (size_t p = 0; p < verdicts.size(); ++p) {
                const TVerdict& v = verdicts[p][i];
                if (v.Ok && KindAgrees(st.Text, v.Kind)) ok = true;
                reasons += std::string(" [") + dialect.Parsers[p].first + ": " +
                           (v.Ok ? "kind " + v.Kind : v.Error) + "]";
            }
            const auto g = golden.find(st.Source);
            if (ok) {
                ++accepted;
                EXPECT_EQ(g, golden.end()) << st.Source << " is accepted now; remove it from the golden file";
                continue;
            }
            const std::string section = ManualSection(dialect.Id, st.Text);
            rejected += "-- " + st.Source + ": " + section + "\r\n" + st.Text + "\r\n";
            if (g == golden.end()) {
                ADD_FAILURE() << st.Source << " is refused by the parsers and not pinned:" << reasons << "\n" << st.Text;
                continue;
            }
            EXPECT_EQ(g->second.first, section) << st.Source;
            EXPECT_EQ(g->second.second, st.Text) << st.Source;
        }
        // A fifth of the statements at least are checked by a parser, not pinned.
        EXPECT_GT(accepted * 5, static_cast<int>(statements.size())) << accepted << " of " << statements.size();
        if (const char* dir = std::getenv("ARDVIN_WRITE_GOLDEN")) WriteFile(std::string(dir) + "/" + dialect.Id + ".sql", rejected);
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
        std::vector<TStatement> statements;
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
        for (const TDialect& dialect : Dialects) {
            if (std::string(dialect.Id) != script.Id) continue;
            for (const auto& [checker, name] : dialect.Parsers) {
                SCOPED_TRACE(checker);
                const std::vector<TVerdict> verdicts = Parse(checker, name, statements);
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
