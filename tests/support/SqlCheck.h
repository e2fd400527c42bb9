// The check of SQL statements of the systems whose servers cannot run here (SQL Server, Oracle,
// Db2) by two third-party parsers that know their dialects: sqlglot for T-SQL and Oracle and
// node-sql-parser for T-SQL and Db2 (see tests/sqlcheck). A statement passes when a parser takes
// it for a statement of the kind it starts with. Statements that both parsers refuse although
// the vendor documents them are kept in golden files in tests/sqlcheck/golden, each under the
// manual section it follows; a change of such a statement, or a golden statement that a parser
// now accepts, fails the check.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ardvin {
class TVELDatabaseSettings;
}

namespace ardvin::test {

struct TSqlDialect {
    const char* Id;
    std::vector<std::pair<const char*, const char*>> Parsers;  // checker script, dialect name
};

// The targets checked by parsers, with their parsers.
const std::vector<TSqlDialect>& SqlDialects();

// One statement to check: where it comes from and its text.
struct TSqlStatement {
    std::string Source;
    std::string Text;
};

// What a parser said about one statement.
struct TSqlVerdict {
    bool Ok = false;
    std::string Kind;
    std::string Error;
};

// Hands the statements to one checker; the verdicts by index.
std::vector<TSqlVerdict> ParseStatements(const std::string& checker, const std::string& dialect,
                                         const std::vector<TSqlStatement>& statements);

// The first words of a statement that name its kind: the verb and, after CREATE, ALTER and
// DROP, the kind of object (OR REPLACE, UNIQUE, CLUSTERED and the like left out).
std::pair<std::string, std::string> KindWords(const std::string& text);

// A parser's kind agrees with the statement when its verb is the statement's (EXEC and EXECUTE
// are one) and, where the parser names an object kind other than the verb, that kind is the
// statement's.
bool KindAgrees(const std::string& text, const std::string& kind);

// The statements of a script text as the target's script tool runs them: SQL Server batches
// end at a line GO, Oracle PL/SQL blocks at a line "/", Db2 blocks at "@" between terminator
// switches; other statements end at ";".
std::vector<std::string> SplitStatements(const TVELDatabaseSettings& s, const std::string& filled);

// The statements of a generated script: the lines that are block comments of their own (the
// header and the section headings) go, and the rest is cut as by SplitStatements.
std::vector<std::string> ScriptStatements(const TVELDatabaseSettings& s, const std::string& script);

// The manual section a statement follows that both parsers refuse, by its first words.
std::string ManualSection(const std::string& id, const std::string& text);

// Checks the statements of one target: every statement is taken by one of the target's parsers
// for what it is, or is pinned in the golden file tests/sqlcheck/golden/<golden>.sql under the
// manual section it follows, found by its source or, with byText, by its text; a golden
// statement that is no longer among the statements fails too. Failures are test failures. Returns the number of statements a parser took; the golden file the statements call
// for is written to the folder $ARDVIN_WRITE_GOLDEN when that is set.
int ExpectParsedOrPinned(const std::string& id, const std::vector<TSqlStatement>& statements,
                         const std::string& golden, bool byText);

}  // namespace ardvin::test
