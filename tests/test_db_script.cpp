#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <cctype>
#include <set>

#include "TestSupport.h"
#include "zDBScript.h"
#include "zDatabaseSettings.h"
#include "zXMLUtils.h"

using namespace ardvin;

namespace {

using Strings = std::vector<std::string>;

Strings Texts(const TDBScript& script) {
    Strings out;
    for (const auto& s : script.Statements)
        out.push_back(s->Text);
    return out;
}

// The statements of a script prepared by the script class of a driver, with the literals put
// back.
Strings Restored(const TDBScript& script) {
    Strings out;
    for (const auto& s : script.Statements)
        out.push_back(script.RestoreStrings(s->Text));
    return out;
}

std::unique_ptr<TDBScript> Prepared(std::string_view driver, std::string_view text) {
    auto script = CreateDBScript(driver);
    script->Source = std::string(text);
    script->Prepare();
    return script;
}

Strings Warnings(const TDBScript& script) {
    Strings out;
    for (const auto& m : script.Messages)
        if (m.Level != mlInfo) out.push_back(m.Text);
    return out;
}

std::string CorpusDir() {
    return test::SourceDir() + "/../shared/corpus";
}

// Lines of a text, without their line breaks.
Strings TextLines(std::string_view text) {
    Strings lines;
    size_t i = 0;
    while (i <= text.size()) {
        size_t end = text.find('\n', i);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(i, end - i));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        i = end + 1;
    }
    return lines;
}

// The first two words of a line that begins with a word, upper-cased, joined by a blank.
std::string LineHead(std::string_view line) {
    std::string head;
    size_t i = 0;
    for (int word = 0; word < 2; ++word) {
        const size_t begin = i;
        while (i < line.size() && (std::isalpha(static_cast<unsigned char>(line[i])) || line[i] == '_'))
            ++i;
        if (i == begin) break;
        head += (word ? " " : "") + UpperCase(line.substr(begin, i - begin));
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
    }
    return head;
}

// A row of a multi-row INSERT: "(" and a digit after the indentation.
bool IsDataRow(std::string_view line) {
    const size_t at = line.find_first_not_of(" \t");
    return at != std::string_view::npos && line[at] == '(' && at + 1 < line.size() &&
           std::isdigit(static_cast<unsigned char>(line[at + 1]));
}

// The numbers of the texts "%s<digits>%" in a text, in order.
std::vector<size_t> PlaceholderIndices(std::string_view text) {
    std::vector<size_t> out;
    for (size_t at = text.find("%s"); at != std::string_view::npos; at = text.find("%s", at + 1)) {
        size_t end = at + 2;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        if (end > at + 2 && end < text.size() && text[end] == '%')
            out.push_back(std::stoul(std::string(text.substr(at + 2, end - at - 2))));
    }
    return out;
}

template <class Test> size_t CountLines(std::string_view text, Test test) {
    size_t n = 0;
    for (const auto& line : TextLines(text))
        if (test(line)) ++n;
    return n;
}

// The script class of a corpus file, by the dialect in its name.
std::string DriverOf(const std::string& fileName) {
    const std::string name = LowerCase(fileName);
    for (const auto& [part, driver] : std::map<std::string, std::string>{{"mysql", "mysql"},
                                                                         {"oracle", "oracle"},
                                                                         {"postgresql", "postgresql"},
                                                                         {"sqlserver", "mssqlserver"}})
        if (name.find(part) != std::string::npos) return driver;
    return "sql"; // the plain script: Db2 and SQLite
}

} // namespace

TEST(DBScript, StringsTable) {
    TDBScript script;
    script.Source = "INSERT INTO [Order Lines] (\"a;b\", c) VALUES ('x''y', 'two\r\nlines\nand;more');\n"
                    "SELECT 'Größe' FROM `t;1`;";
    script.Prepare();
    EXPECT_EQ(script.StringsTable, (Strings{"[Order Lines]", "\"a;b\"", "'x''y'",
                                            "'two#13#10lines#13#10and;more'", "'Größe'", "`t;1`"}));
    // The script holds the placeholders; the literal with its line breaks left one line.
    EXPECT_EQ(Texts(script),
              (Strings{"INSERT INTO %s0% (%s1%, c) VALUES (%s2%, %s3%)", "SELECT %s4% FROM %s5%"}));
    EXPECT_EQ(script.Lines(),
              (Strings{"INSERT INTO %s0% (%s1%, c) VALUES (%s2%, %s3%);", "SELECT %s4% FROM %s5%;"}));
    EXPECT_EQ(script.RestoreStrings(script.Statements[0]->Text),
              "INSERT INTO [Order Lines] (\"a;b\", c) VALUES ('x''y', 'two\r\nlines\r\nand;more')");
    // Texts that only look like placeholders stay.
    EXPECT_EQ(script.RestoreStrings("%s9% %S1% %s% 100%s %s1"), "%s9% \"a;b\" %s% 100%s %s1");
    EXPECT_EQ(TDBScript::Placeholder(12), "%s12%");
}

TEST(DBScript, CommentsOfThePlainScript) {
    TDBScript script;
    script.Source = "-- heading; not a statement\n"
                    "CREATE TABLE a ( /* one;\n two */ x INT, # hash;\n"
                    "  y INT // slash;\n"
                    ") { brace; } ;\n"
                    "REM remark;\n"
                    "CREATE TABLE b (note VARCHAR(10) DEFAULT '-- /* # REM ;', THEOREM INT);\n";
    script.Prepare();
    EXPECT_EQ(Texts(script), (Strings{"CREATE TABLE a ( \r\n x INT, \r\n  y INT \r\n)",
                                      "CREATE TABLE b (note VARCHAR(10) DEFAULT %s0%, THEOREM INT)"}));
    // Lines keep their numbers: removed comments leave their line breaks.
    EXPECT_EQ(script.Lines().size(), 7u);
    EXPECT_EQ(script.StringsTable, (Strings{"'-- /* # REM ;'"}));
    // Tabs become blanks everywhere.
    script.Source = "CREATE\tTABLE t ('\t');";
    script.Prepare();
    EXPECT_EQ(Restored(script), (Strings{"CREATE TABLE t (' ')"}));
}

TEST(DBScript, PrepareLogAndTarget) {
    TDBScript script;
    Strings logged;
    script.OnLog = [&](TDBScript* sender, int level, const std::string& message, TVELNamedObject* object) {
        EXPECT_EQ(sender, &script);
        EXPECT_EQ(object, nullptr);
        logged.push_back(IntToStr(level) + " " + message);
    };
    // The target's terminator, without its line-break markers.
    TVELDatabaseSettings target;
    target.Terminator = "#13#10GO";
    script.Target = &target;
    script.Source = "CREATE TABLE a (x INT);\nGO\nCREATE TABLE b (y INT)\ngo\n";
    script.Prepare();
    EXPECT_EQ(logged, (Strings{"4 Start prepare.", "4 Preparing the SQL script.", "4 Building strings table.",
                               "4 End prepare.", "4 Start parsing.", "4 End parsing."}));
    EXPECT_EQ(script.Messages.size(), logged.size());
    EXPECT_EQ(Texts(script), (Strings{"CREATE TABLE a (x INT);", "CREATE TABLE b (y INT)"}));

    // A second Prepare starts afresh.
    target.Terminator = ";";
    script.Source = "SELECT 1;";
    script.Prepare();
    EXPECT_EQ(Texts(script), (Strings{"SELECT 1"}));
    EXPECT_EQ(script.Messages.size(), 6u);
}

TEST(DBScript, JoinFragments) {
    const std::string source =
        "CREATE TABLE t (a INT);\n"
        "CREATE PROCEDURE p AS\nBEGIN\n  INSERT INTO t VALUES (1);\n"
        "  IF x THEN\n    UPDATE t SET a = 2;\n  END IF;\n  CASE WHEN a THEN b END;\nEND;\n"
        "INSERT INTO t VALUES (3);\n"
        "CREATE TRIGGER tr AFTER INSERT ON t BEGIN\n  DELETE FROM t;\nEND;\n"
        "BEGIN TRANSACTION;\n"
        "INSERT INTO t VALUES (4);\n"
        "CREATE PROCEDURE q AS SELECT 1; SELECT 2;\n"
        "DROP TABLE t;\n";
    TDBScript script;
    script.Source = source;
    script.Prepare();
    EXPECT_EQ(
        Texts(script),
        (Strings{"CREATE TABLE t (a INT)",
                 "CREATE PROCEDURE p AS\r\nBEGIN\r\n  INSERT INTO t VALUES (1);\r\nIF x THEN\r\n    UPDATE t "
                 "SET a = 2;\r\nEND IF;\r\nCASE WHEN a THEN b END;\r\nEND",
                 "INSERT INTO t VALUES (3)",
                 "CREATE TRIGGER tr AFTER INSERT ON t BEGIN\r\n  DELETE FROM t;\r\nEND", "BEGIN TRANSACTION",
                 "INSERT INTO t VALUES (4)", "CREATE PROCEDURE q AS SELECT 1;\r\nSELECT 2", "DROP TABLE t"}));

    script.JoinFragments = false;
    script.Prepare();
    EXPECT_EQ(script.Statements.size(), 14u);
}

TEST(DBScript, BrokenEndsAreReported) {
    // Unterminated literals and comments run to the end; the rest becomes the last statement and
    // the line where the construct began is reported.
    struct Case {
        const char* Driver;
        const char* Source;
        const char* Warning;
        const char* Last;
    };
    const Case cases[] = {
        {"", "SELECT 1;\nSELECT 'abc;\ndef", "Unterminated string literal starting in line 2",
         "SELECT 'abc;\r\ndef'"},
        {"", "SELECT 1;\nSELECT [abc", "Unterminated quoted name starting in line 2", "SELECT [abc]"},
        {"", "SELECT 1;\n\nSELECT 2 /* abc;\ndef", "Unterminated comment starting in line 3", "SELECT 2"},
        {"", "SELECT 1;\n{ x", "Unterminated comment starting in line 2", "SELECT 1"},
        {"postgresql", "SELECT 1;\nCREATE FUNCTION f() AS $x$ BEGIN; END;",
         "Unterminated dollar-quoted text starting in line 2", "CREATE FUNCTION f() AS $x$ BEGIN; END;$x$"},
        {"postgresql", "SELECT 1;\n/* a /* b */ c;", "Unterminated comment starting in line 2", "SELECT 1"},
        {"postgresql", "COPY t FROM stdin;\n1\t2\n", "Unterminated COPY data starting in line 2",
         "COPY t FROM stdin"},
        {"mysql", "SELECT 1;\n/*!40101 SET x = 1;", "Unterminated comment starting in line 2", "SET x = 1"},
        {"mysql", "SELECT 'a\\';", "Unterminated string literal starting in line 1", "SELECT 'a\\';'"},
        {"oracle", "BEGIN\n  x := 1;\nEND;", nullptr, "BEGIN\r\n  x := 1;\r\nEND;"},
        {"mssqlserver", "SELECT \"x", "Unterminated quoted name starting in line 1", "SELECT \"x\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Driver) + ": " + c.Source);
        const auto script = Prepared(c.Driver, c.Source);
        const Strings warnings = Warnings(*script);
        if (c.Warning) {
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_EQ(warnings[0].rfind(c.Warning, 0), 0u) << warnings[0];
        } else {
            EXPECT_TRUE(warnings.empty());
        }
        ASSERT_FALSE(script->Statements.empty());
        EXPECT_EQ(script->RestoreStrings(script->Statements.back()->Text), c.Last);
    }
}

TEST(DBScript, Oracle) {
    const auto script =
        Prepared("oracle", "REM Creates the schema; run as owner\n"
                           "PROMPT Creating tables;\n"
                           "CREATE TABLE emp (emp# NUMBER, name VARCHAR2(20) DEFAULT 'a;b');\n"
                           "CREATE OR REPLACE PROCEDURE raise_all IS\n"
                           "  v NUMBER; -- counter;\n"
                           "BEGIN\n  UPDATE emp SET name = name || '/';\nEND;\n"
                           "/\n"
                           "DECLARE\n  x NUMBER;\nBEGIN\n  NULL;\nEND;\n /\n"
                           "CREATE OR REPLACE PACKAGE BODY pk AS\n  PROCEDURE a IS BEGIN NULL; END;\n"
                           "END pk;\n/\n"
                           "CREATE OR REPLACE FORCE VIEW v AS SELECT 1 AS one FROM dual;\n"
                           "SELECT 8\n/ 2 FROM dual;\n"
                           "ALTER TABLE emp ADD x NUMBER\n/\n");
    EXPECT_EQ(
        Restored(*script),
        (Strings{
            "CREATE TABLE emp (emp# NUMBER, name VARCHAR2(20) DEFAULT 'a;b')",
            "CREATE OR REPLACE PROCEDURE raise_all IS\r\n  v NUMBER; \r\nBEGIN\r\n  UPDATE emp SET name = "
            "name || '/';\r\nEND;",
            "DECLARE\r\n  x NUMBER;\r\nBEGIN\r\n  NULL;\r\nEND;",
            "CREATE OR REPLACE PACKAGE BODY pk AS\r\n  PROCEDURE a IS BEGIN NULL; END;\r\nEND pk;",
            "CREATE OR REPLACE FORCE VIEW v AS SELECT 1 AS one FROM dual", "SELECT 8\r\n/ 2 FROM dual",
            "ALTER TABLE emp ADD x NUMBER"}));
}

TEST(DBScript, SQLServer) {
    const auto script = Prepared(
        "mssqlserver", "IF EXISTS (SELECT name FROM sys.databases WHERE name = N'Shop')\nBEGIN\n"
                       "  ALTER DATABASE [Shop] SET OFFLINE;\n  DROP DATABASE [Shop];\nEND\n"
                       "GO\n"
                       "CREATE TABLE [dbo].[A] (\n  [Id] INT /* outer /* inner; */ still; */ NOT NULL\n)\n"
                       "CREATE TABLE #work (x INT)\n"
                       "ALTER TABLE [dbo].[A]\nALTER COLUMN [Id] BIGINT\n"
                       "  go  \n"
                       "CREATE PROCEDURE dbo.p AS\nBEGIN\n  SET NOCOUNT ON;\n  CREATE TABLE #t (x INT);\n"
                       "  SELECT 1;\nEND\nGO 2\n"
                       "EXEC dbo.sp_executesql @statement = N'\n"
                       "CREATE VIEW dbo.v AS SELECT 1 AS one;\n"
                       "'\n"
                       "GO\n"
                       "BEGIN TRANSACTION;\nINSERT INTO a VALUES (1);\nCOMMIT;\n"
                       "GOTO done;\n");
    EXPECT_EQ(
        Restored(*script),
        (Strings{
            "IF EXISTS (SELECT name FROM sys.databases WHERE name = N'Shop')\r\nBEGIN\r\n  ALTER DATABASE "
            "[Shop] SET OFFLINE;\r\n  DROP DATABASE [Shop];\r\nEND",
            "CREATE TABLE [dbo].[A] (\r\n  [Id] INT   NOT NULL\r\n)", "CREATE TABLE #work (x INT)",
            "ALTER TABLE [dbo].[A]\r\nALTER COLUMN [Id] BIGINT",
            "CREATE PROCEDURE dbo.p AS\r\nBEGIN\r\n  SET NOCOUNT ON;\r\n  CREATE TABLE #t (x INT);\r\n  "
            "SELECT "
            "1;\r\nEND",
            "CREATE VIEW dbo.v AS SELECT 1 AS one;", "BEGIN TRANSACTION", "INSERT INTO a VALUES (1)",
            "COMMIT", "GOTO done"}));
}

TEST(DBScript, PostgreSQL) {
    const auto script = Prepared(
        "postgresql",
        "\\set ON_ERROR_STOP on\n"
        "\\connect shop\n"
        "/* outer /* nested; */ still comment; */\n"
        "CREATE FUNCTION f(a int) RETURNS int AS $BODY$\nBEGIN\n  -- don't stop; here\n  RETURN a; /* ; "
        "*/\nEND;\n"
        "$BODY$ LANGUAGE plpgsql;\n"
        "CREATE FUNCTION g() RETURNS text AS $fn$ SELECT $$x;y$$ || 'it''s;' $fn$ LANGUAGE sql;\n"
        "SELECT E'it\\'s; fine', $1 FROM t WHERE a # b > 0 AND c[1] = 2;\n"
        "CREATE RULE r AS ON INSERT TO t DO ALSO (INSERT INTO log VALUES (1); INSERT INTO log VALUES (2));\n"
        "COPY t (a, b) FROM stdin;\n1\tit's\n2\t;\n\\.\n"
        "CREATE FUNCTION h() RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT 1; SELECT CASE WHEN true THEN 2 "
        "END; END;\n"
        "CREATE TABLE \"Ta;ble\" (\"Name\" text);\n");
    EXPECT_TRUE(Warnings(*script).empty());
    EXPECT_EQ(
        Restored(*script),
        (Strings{
            "CREATE FUNCTION f(a int) RETURNS int AS $BODY$\r\nBEGIN\r\n  -- don't stop; here\r\n  RETURN "
            "a; /* ; */\r\nEND;\r\n$BODY$ LANGUAGE plpgsql",
            "CREATE FUNCTION g() RETURNS text AS $fn$ SELECT $$x;y$$ || 'it''s;' $fn$ LANGUAGE sql",
            "SELECT E'it\\'s; fine', $1 FROM t WHERE a # b > 0 AND c[1] = 2",
            "CREATE RULE r AS ON INSERT TO t DO ALSO (INSERT INTO log VALUES (1); INSERT INTO log VALUES "
            "(2))",
            "COPY t (a, b) FROM stdin",
            "CREATE FUNCTION h() RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT 1; SELECT CASE WHEN true "
            "THEN 2 END; END",
            "CREATE TABLE \"Ta;ble\" (\"Name\" text)"}));
    // The dollar-quoted body is one entry of the strings table.
    EXPECT_EQ(script->StringsTable[0].rfind("$BODY$#13#10BEGIN#13#10", 0), 0u);
}

TEST(DBScript, MySQL) {
    const auto script = Prepared(
        "mysql",
        "# heading; comment\n"
        "/*!40101 SET NAMES utf8 */;\n"
        "SET @x = 5--3;\n"
        "-- real; comment\n"
        "CREATE TABLE `a;b` (c VARCHAR(9) DEFAULT 'it\\'s; \\\\', d TEXT COMMENT \"say \\\"hi;\\\"\");\n"
        "/*!50001 CREATE ALGORITHM=UNDEFINED */\n/*!50001 VIEW v AS SELECT 1 */;\n"
        "DELIMITER ;;\n"
        "CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW BEGIN SET NEW.a = 1; END;;\n"
        "DELIMITER //\n"
        "CREATE PROCEDURE p()\nBEGIN\n  SELECT 'a//b';\nEND //\n"
        "DELIMITER ;\n"
        "CREATE FUNCTION f() RETURNS INT BEGIN DECLARE x INT; RETURN 1; END;\n"
        "CREATE TABLE d (\ndelimiter CHAR(1)\n);\n"
        "INSERT INTO t VALUES (1);\n");
    EXPECT_TRUE(Warnings(*script).empty());
    EXPECT_EQ(
        Restored(*script),
        (Strings{
            "SET NAMES utf8", "SET @x = 5--3",
            "CREATE TABLE `a;b` (c VARCHAR(9) DEFAULT 'it\\'s; \\\\', d TEXT COMMENT \"say \\\"hi;\\\"\")",
            "CREATE ALGORITHM=UNDEFINED  \r\n  VIEW v AS SELECT 1",
            "CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW BEGIN SET NEW.a = 1; END",
            "CREATE PROCEDURE p()\r\nBEGIN\r\n  SELECT 'a//b';\r\nEND",
            "CREATE FUNCTION f() RETURNS INT BEGIN DECLARE x INT; RETURN 1; END",
            "CREATE TABLE d (\r\ndelimiter CHAR(1)\r\n)", "INSERT INTO t VALUES (1)"}));
}

TEST(DBScript, CreateDBScript) {
    EXPECT_NE(dynamic_cast<TOracleScript*>(CreateDBScript("oracle").get()), nullptr);
    EXPECT_NE(dynamic_cast<TMSSQLScript*>(CreateDBScript("mssqlserver").get()), nullptr);
    EXPECT_NE(dynamic_cast<TPostgreSQLScript*>(CreateDBScript("postgresql").get()), nullptr);
    EXPECT_NE(dynamic_cast<TMySQLScript*>(CreateDBScript("mysql").get()), nullptr);
    // Driver names compare exactly; unknown ones get the plain script.
    const auto plain = CreateDBScript("Oracle");
    EXPECT_EQ(dynamic_cast<TOracleScript*>(plain.get()), nullptr);
    EXPECT_NE(plain, nullptr);
}

// The sample databases of the corpus, in eleven dialects: every file is cut into the statements
// that an independent count of its lines expects, and no statement is cut inside a literal,
// a name, a comment or a body, or holds a client command.
TEST(DBScript, Corpus) {
    namespace fs = std::filesystem;
    auto createTable = [](std::string_view line) { return LineHead(line) == "CREATE TABLE"; };
    auto insert = [](std::string_view line) { return LineHead(line) == "INSERT INTO"; };
    auto codeObject = [](std::string_view line) {
        const std::string head = LineHead(line);
        return head == "CREATE TRIGGER" || head == "CREATE PROCEDURE" || head == "CREATE FUNCTION";
    };
    const std::set<std::string> verbs = {"CREATE", "ALTER",   "DROP",   "INSERT", "SET", "USE",
                                         "GRANT",  "CONNECT", "COMMIT", "EXIT",   "IF"};
    int files = 0;
    for (const char* folder : {"chinook", "sakila"}) {
        ASSERT_TRUE(fs::is_directory(CorpusDir() + "/" + folder)) << CorpusDir();
        for (const auto& entry : fs::directory_iterator(CorpusDir() + "/" + folder)) {
            if (entry.path().extension() != ".sql") continue;
            ++files;
            const std::string name = entry.path().filename().string();
            SCOPED_TRACE(name);
            const std::string raw = test::ReadFile(entry.path().string());
            const auto script = Prepared(DriverOf(name), raw);
            EXPECT_TRUE(Warnings(*script).empty());

            size_t tables = 0, inserts = 0, rows = 0, codeObjects = 0;
            size_t nextLiteral = 0;
            for (const auto& statement : script->Statements) {
                const std::string& text = statement->Text;
                SCOPED_TRACE(text.substr(0, 80));
                EXPECT_TRUE(verbs.count(UpperCase(text.substr(0, text.find_first_of(" \r@")))));
                EXPECT_EQ(std::count(text.begin(), text.end(), '('),
                          std::count(text.begin(), text.end(), ')'));
                // Every literal is in exactly one statement, in the order of the script.
                for (size_t index : PlaceholderIndices(text))
                    EXPECT_EQ(index, nextLiteral++);
                const std::string restored = script->RestoreStrings(text);
                EXPECT_EQ(std::count(restored.begin(), restored.end(), '\'') % 2, 0);
                for (const auto& line : TextLines(text)) {
                    EXPECT_FALSE(SameText(Trim(line), "GO"));
                    EXPECT_NE(Trim(line).rfind('\\', 0), 0u);
                }
                if (createTable(text)) ++tables;
                if (insert(text)) {
                    ++inserts;
                    rows += CountLines(text, IsDataRow);
                    EXPECT_EQ(text.back(), ')');
                }
                if (codeObject(text)) {
                    ++codeObjects;
                    EXPECT_TRUE(SameText(text.substr(text.size() - 3), "END"));
                }
            }
            EXPECT_EQ(nextLiteral, script->StringsTable.size());
            EXPECT_EQ(tables, CountLines(raw, createTable));
            EXPECT_GE(tables, 11u);
            EXPECT_EQ(inserts, CountLines(raw, insert));
            EXPECT_EQ(rows, CountLines(raw, IsDataRow));
            EXPECT_EQ(codeObjects, CountLines(raw, codeObject));
            if (name.find("Chinook") == 0) {
                EXPECT_EQ(inserts, 24u);
                // UTF-8 text passes untouched.
                const std::string all = script->RestoreStrings(script->Text());
                EXPECT_NE(all.find("'Antônio Carlos Jobim'"), std::string::npos);
                EXPECT_NE(all.find("Mötley Crüe"), std::string::npos);
            }
        }
    }
    EXPECT_EQ(files, 13);
}
