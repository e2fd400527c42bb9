// The script object of the SQL import: a script text prepared for the DDL parser. Comments are
// removed, every string literal and quoted name is replaced by a numbered placeholder (the
// strings table), and the text is cut into statements. The classes of the target families
// know their dialect: comment forms, quoting and the way a script separates its statements.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zNamedObject.h"

namespace ardvin {

class TVELDatabaseSettings;
class TDBScript;

struct TVELStatement {
    std::string Text;
};

// One message of a script preparation: level (TVELMessageLevel) and text.
struct TVELScriptMessage {
    int Level = mlInfo;
    std::string Text;
};

// The lexical rules of a dialect: which comment forms exist and how literals are quoted.
// Apostrophes and double quotes always delimit literals, doubled delimiters inside included.
struct TVELScriptSyntax {
    bool HashComments = true;        // "#" to the end of the line
    bool SlashComments = true;       // "//" to the end of the line
    bool BraceComments = true;       // "{" to "}"
    bool RemComments = true;         // the word "REM " to the end of the line
    bool NestedComments = false;     // "/*" inside "/* */" opens a further level
    bool DashNeedsBlank = false;     // "--" is a comment only when a blank or line end follows
    bool BackslashEscapes = false;   // "\" escapes the next character in '...' and "..."
    bool EscapeStrings = false;      // E'...' literals with backslash escapes
    bool DollarQuotes = false;       // $$...$$ and $tag$...$tag$
    bool Brackets = true;            // [name]
    bool Backquotes = true;          // `name`
    bool ExecutableComments = false; // "/*!" ... "*/": the content is script text
    bool MetaCommands = false;       // lines beginning with "\" are client commands
    bool CopyData = false;           // data lines after COPY ... FROM stdin, up to "\."
};

// The script splitters of the target families, for the prepared text of their script classes.
enum class TVELScriptDialect { Oracle, SQLServer, PostgreSQL, MySQL };

using TVELScriptLogEvent =
    std::function<void(TDBScript* sender, int level, const std::string& message, TVELNamedObject* object)>;

class TDBScript {
public:
    TDBScript() = default;
    virtual ~TDBScript() = default;
    TDBScript(const TDBScript&) = delete;
    TDBScript& operator=(const TDBScript&) = delete;

    std::vector<std::unique_ptr<TVELStatement>> Statements;
    // The target of the model being built; supplies the statement terminator. Without one the
    // terminator is ";".
    const TVELDatabaseSettings* Target = nullptr;
    std::string Source; // the script text handed in
    std::vector<std::string> StringsTable;
    // The plain Split glues a piece that does not begin with CREATE, ALTER or DROP onto the
    // statement before it while that one is inside a code block (procedure bodies).
    bool JoinFragments = true;
    TVELScriptLogEvent OnLog;
    // Every message logged by the last Prepare, in order.
    std::vector<TVELScriptMessage> Messages;

    // Removes comments, builds the strings table and splits Source into Statements.
    void Prepare();
    // Cuts the working text into Statements.
    virtual void Split();
    // Prepares the working text before the strings table is built: removes comments.
    virtual void PrepareHook();
    // The comment forms and quoting of the script's dialect.
    virtual TVELScriptSyntax Syntax() const { return {}; }

    // The working text: after Prepare, Source without comments and with placeholders in place
    // of the literals. Lines end with CR LF; they are the lines of Source, except that a literal
    // that spans lines leaves one line.
    const std::string& Text() const { return text_; }
    std::vector<std::string> Lines() const;

    // The text with every placeholder replaced by its strings table entry and "#13#10" turned
    // back into line breaks.
    std::string RestoreStrings(std::string_view text) const;
    // The placeholder of strings table entry index: "%s" + index + "%".
    static std::string Placeholder(size_t index);

protected:
    void Log(int level, const std::string& text);
    // Sets the working text, every line break written as CR LF and every TAB as a blank.
    void SetText(std::string_view text);
    // Removes the comments of Syntax() from the working text, keeping its line breaks.
    void RemoveComments();
    void BuildStringsTable();
    // Empties the lines that fit the test, keeping their line breaks.
    void BlankLines(const std::function<bool(std::string_view line)>& test);
    // Cuts the prepared text with the script splitter of a dialect and adds one statement per
    // piece that is not empty.
    void SplitAs(TVELScriptDialect dialect);

private:
    // A pass writes its result into the buffer of an earlier working text, so that it needs
    // no fresh memory; the result then becomes the working text.
    std::string TakeBuffer(size_t capacity);
    void SetWorkingText(std::string&& text);
    std::string text_;
    std::string spare_;
};

// Oracle: SQL*Plus scripts. REM and PROMPT lines are dropped; PL/SQL blocks (DECLARE, BEGIN and
// the CREATE of procedures, functions, packages, triggers and types) run to a line "/".
class TOracleScript : public TDBScript {
public:
    void PrepareHook() override;
    void Split() override;
    TVELScriptSyntax Syntax() const override;
};

// SQL Server: batches end at a line GO; the dynamic-SQL wrapper lines of generated scripts are
// dropped.
class TMSSQLScript : public TDBScript {
public:
    void PrepareHook() override;
    void Split() override;
    TVELScriptSyntax Syntax() const override;
};

// PostgreSQL: dollar quoting, nested comments, psql meta-commands and COPY data.
class TPostgreSQLScript : public TDBScript {
public:
    void Split() override;
    TVELScriptSyntax Syntax() const override;
};

// MySQL: "#" comments, backslash escapes, executable comments and DELIMITER lines.
class TMySQLScript : public TDBScript {
public:
    void Split() override;
    TVELScriptSyntax Syntax() const override;
};

// The statements of a prepared script text (no comments, literals replaced by placeholders) as
// the script tools of a dialect run them: Oracle ends PL/SQL blocks at a line "/", SQL Server
// ends batches at a line GO, MySQL follows DELIMITER lines, PostgreSQL ignores ";" inside
// parentheses. The statements come without their terminators, trimmed; a text after the last
// terminator is the last statement.
std::vector<std::string> SplitPreparedScript(std::string_view text, TVELScriptDialect dialect);

// The text with every placeholder "%s" + index + "%" replaced by its strings table entry and
// "#13#10" in the entries turned back into line breaks; placeholders without an entry stay.
// With backslashQuotes, an apostrophe doubled inside a literal in apostrophes is written as
// "\'" (MySQL's spelling); an empty literal '' stays as it is.
std::string RestorePlaceholders(std::string_view text, const std::vector<std::string>& stringsTable,
                                bool backslashQuotes = false);

// The script class of a driver name ("oracle", "mssqlserver", "postgresql", "mysql"); any other
// name gives the plain TDBScript.
std::unique_ptr<TDBScript> CreateDBScript(std::string_view driverName);

} // namespace ardvin
