// The restructure object: writes the script that creates a whole model on its target (the
// create pass) and the script that drops it again. Every statement is a template of the target
// definition filled by the template filler. Statements go either to script lines or, through an
// executor, to a live database. Target subclasses override single steps.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "zDBDrivers.h"
#include "zDDLUtils.h"
#include "zXMLUtils.h"

namespace ardvin {

class TVELConstraint;
class TVELDataDictionary;
class TVELDatabaseObject;
class TVELDatabaseSettings;
class TVELDomain;
class TVELEntity;
class TVELIndex;
class TVELProcedure;
class TVELRelationship;
class TVELRule;
class TVELSequence;
class TVELTrigger;
class TVELView;

// A live connection that runs the statements of a restructure run in execute mode.
class TVELStatementExecutor {
public:
    virtual ~TVELStatementExecutor() = default;
    // Readies the connection before the first statement.
    virtual void Prepare() {}
    virtual void StartTransaction() {}
    // Runs one statement; a failure raises EVELError with the server's message.
    virtual void Execute(const std::string& statement) = 0;
    virtual void Commit() {}
};

class TDBRestructure : public TVELLogger {
public:
    // The model must be a prepared copy; it and its target definition must outlive the object.
    explicit TDBRestructure(TVELDataDictionary& model);
    ~TDBRestructure() override;
    TDBRestructure(const TDBRestructure&) = delete;
    TDBRestructure& operator=(const TDBRestructure&) = delete;

    TVELDataDictionary& Model;
    // The model of the database before the change; alter scripts only.
    TVELDataDictionary* OldModel = nullptr;
    const TVELDatabaseSettings& Settings;
    TVELTemplateFiller Filler;
    // Generation options; an option is on when its value is "1".
    TVELSettingsList Options;
    // Section and object captions by key ("ADDTABLES" "Add tables" ...), filled on creation.
    TVELSettingsList Captions;

    // Script mode appends to Script; execute mode runs every statement through Executor.
    bool WriteToScript = true;
    TVELStatementExecutor* Executor = nullptr;  // not owned
    bool WriteHeader = true;
    bool WriteRemarks = true;
    // Lines of the header.
    bool HeaderProductLine = true;
    bool HeaderProjectFile = false;
    bool HeaderProjectName = false;
    bool HeaderAuthor = false;
    std::string ProductLine;  // product name and version, for "Script generated with:"
    std::string ProjectFile;
    std::string ProjectName;
    std::string Author;
    std::string ModelVersion;      // "Model version:" when not empty
    std::string FromModelVersion;  // "From model version:" when not empty
    // Cut the terminator off every statement (for connections that take one statement at a time).
    bool StripTerminators = false;
    // The script lines written so far.
    std::vector<std::string> Script;

    bool Option(std::string_view key) const { return Options.GetValue(key) == "1"; }
    // The script lines joined by CR LF, each line ended.
    std::string ScriptText() const;

    // Writes the create script or runs it; whether no statement failed.
    bool GenerateCreateScript();
    // Writes the script that drops every object of the model; whether no statement failed.
    bool GenerateDropScript();

    // The single output primitive. A statement whose first character is "*" is skipped; with
    // StripTerminators its trailing terminator goes; it is trimmed, and an empty one skipped.
    // Script mode appends an empty line and the statement's lines; execute mode runs it through
    // the executor and logs it, a failure raising EVELError with the server's message.
    void WriteStatement(std::string_view text);
    // The block comment box of a section heading (when remarks are on); the logger is told the
    // caption. A caption may have several lines.
    void WriteHeading(std::string_view caption);
    // A caption of the list; for the per-object captions filled with the object's placeholders.
    std::string Caption(std::string_view key) const;
    std::string ObjectCaption(std::string_view key, const TVELDatabaseObject& object);
    // The tables in the order they are created: a table after the tables it refers to, tables
    // in a cycle of references in list order.
    std::vector<TVELEntity*> TablesInDependencyOrder() const;

protected:
    // ---- virtual steps, in slot order ---------------------------------------------------------
    // Creates the database itself (file databases); false stops the run. created tells whether
    // something was created.
    virtual bool CreateDatabase(bool& created);
    virtual void BeforeTable(TVELEntity& table);
    virtual void AfterTable(TVELEntity& table);
    // CREATE TABLE with everything its template writes inline.
    virtual void CreateTable(TVELEntity& table);
    // CREATE SCHEMA (or the target's counterpart) of a schema that objects live in.
    virtual void AddSchema(const std::string& schema);
    virtual void AddSequence(TVELSequence& sequence);
    virtual void AddDomain(TVELDomain& domain);
    virtual void AddIndex(TVELIndex& index);
    // A constraint of a table that its CREATE TABLE did not write.
    virtual void AddConstraint(TVELConstraint& constraint);
    virtual void AddForeignKey(TVELRelationship& relationship);
    virtual void AddView(TVELView& view);
    virtual void AddProcedure(TVELProcedure& procedure);
    virtual void AddTrigger(TVELTrigger& trigger);
    virtual void AddRule(TVELRule& rule);
    virtual void AddTableComment(TVELEntity& table);
    virtual void AddColumnComments(TVELEntity& table);
    virtual void DropRule(TVELRule& rule);
    virtual void DropTrigger(TVELTrigger& trigger);
    virtual void DropProcedure(TVELProcedure& procedure);
    virtual void DropView(TVELView& view);
    virtual void DropForeignKey(TVELRelationship& relationship);
    virtual void DropTable(TVELEntity& table);
    virtual void DropDomain(TVELDomain& domain);
    virtual void DropSequence(TVELSequence& sequence);
    // The text of a statement as the executor takes it (execute mode only).
    virtual std::string ForExecution(std::string_view statement) const;
    // The statements a written text holds, each as the executor takes it: one by default.
    virtual std::vector<std::string> ExecutionStatements(std::string_view statement) const;

    // Writes a filled statement under the pending heading of the current section.
    void Write(std::string_view statement);
    // Starts a section: its heading is written before its first statement, or at once with
    // always.
    void BeginSection(std::string_view caption, bool always = false);
    // Runs one object's statements: logs kind and name + " added." (or "dropped."), or the
    // problem when a statement failed; generation goes on either way.
    template <class F> void ObjectStep(const TVELDatabaseObject& object, bool drop, F&& step);
    // Runs a comment statement with its log lines.
    void CommentStep(const TVELDatabaseObject& object, const std::string& statement);
    // Whether the user left the object selected for generation.
    bool IsSelected(const TVELDatabaseObject& object) const;
    // The kind of an object as the log names it ("Table", "Foreign key" ...).
    static std::string KindText(const TVELDatabaseObject& object);

private:
    // Resets the run, logs its start and writes the header.
    void StartRun(std::string_view verb, std::string_view scriptKind);
    // Execute mode: readies the connection and opens its transaction.
    void OpenConnection();
    // The foreign keys in use between the tables, of relationships left selected.
    std::vector<TVELRelationship*> ForeignKeys(const std::vector<TVELEntity*>& tables) const;
    // The triggers with code of the selected tables, table by table.
    std::vector<TVELTrigger*> Triggers() const;
    void WriteScriptHeader(std::string_view scriptKind);
    void WriteCommentLine(std::string_view line);
    void WriteDashLine();
    void WriteDatabaseScript(std::string_view key);
    void TableStep(TVELEntity& table);
    void Fail(const TVELDatabaseObject& object, bool drop, const std::string& message);
    std::vector<TVELEntity*> SelectedTables() const;
    template <class T> std::vector<T*> SelectedOfClass(bool byPosition) const;
    std::string pendingHeading_;
    int written_ = 0;  // statements written by Write
    std::unordered_set<int32_t> unselected_;
};

// PostgreSQL: everything its definition's templates write; the class is the place of its
// execute-mode steps.
class TPostgreSQLRestructure : public TDBRestructure {
public:
    using TDBRestructure::TDBRestructure;
};

// MySQL and MariaDB: procedure and trigger bodies are wrapped in DELIMITER lines for the
// command-line client; a connection takes them without.
class TMySQLRestructure : public TDBRestructure {
public:
    using TDBRestructure::TDBRestructure;

protected:
    std::string ForExecution(std::string_view statement) const override;
};

// SQLite: a foreign key exists only inside its CREATE TABLE; one the table statement did not
// write cannot be added afterwards.
class TSQLiteRestructure : public TDBRestructure {
public:
    using TDBRestructure::TDBRestructure;

protected:
    void AddForeignKey(TVELRelationship& relationship) override;
    void DropForeignKey(TVELRelationship& relationship) override;
};

// The restructure object of the model's target, chosen by the definition's driver name.
std::unique_ptr<TDBRestructure> CreateRestructure(TVELDataDictionary& model);

// The model a create script is generated from: a copy of the model, switched to the target
// named by the option DBID when the model is database-independent, and prepared with the
// options (the prepare options the target needs fill in what the options do not set). With
// CHECKMODEL "1" the prepared copy is checked, and an error ends the command with "Model
// contains error(s). Please correct the errors first.". The options used are returned in used.
// Messages of the switch and the check go to messages.
std::unique_ptr<TVELDataDictionary> PrepareForGeneration(
    const TVELDataDictionary& model, const TVELSettingsList& options, TVELSettingsList& used,
    const std::function<void(TVELNamedObject* object, int level, const std::string& text)>& messages = {});

// ---- SQL Server, Oracle, Db2 and Firebird -----------------------------------------------------------

// Targets whose script tools run procedure and trigger code as blocks between lines of their own
// (a block terminator, or lines switching the statement terminator). Code that already carries
// these lines, as the autonumber trigger template writes them or as a user pastes code from the
// script tool, is written as it stands instead of inside the target's template; a connection
// takes every statement without these lines.
class TCodeBlockRestructure : public TDBRestructure {
public:
    using TDBRestructure::TDBRestructure;

protected:
    void AddTrigger(TVELTrigger& trigger) override;
    void AddProcedure(TVELProcedure& procedure) override;
    // A code block is one statement without the script tool's lines; other texts are cut at
    // the terminator as the script tool cuts them.
    std::vector<std::string> ExecutionStatements(std::string_view statement) const override;
    // Whether code already holds the block lines of the target's script tool.
    virtual bool HasBlockLines(std::string_view code) const = 0;
    // A line of the script tool that a connection does not take (terminator switches, block
    // terminators).
    virtual bool IsScriptToolLine(std::string_view line) const = 0;
};

// SQL Server: every statement is a batch ended by a line GO, and a domain is several batches
// (the alias type, its rule and default objects and their bindings). A connection takes one
// batch at a time.
class TSQLServerRestructure : public TCodeBlockRestructure {
public:
    using TCodeBlockRestructure::TCodeBlockRestructure;

protected:
    std::vector<std::string> ExecutionStatements(std::string_view statement) const override;
    bool HasBlockLines(std::string_view code) const override;
    bool IsScriptToolLine(std::string_view line) const override;
};

// Oracle: PL/SQL blocks (procedures, functions, packages, triggers) are run by a line "/" after
// them; plain SQL statements end with ";", which a connection does not take, while a PL/SQL
// block keeps the ";" after its END.
class TOracleRestructure : public TCodeBlockRestructure {
public:
    using TCodeBlockRestructure::TCodeBlockRestructure;

protected:
    bool HasBlockLines(std::string_view code) const override;
    bool IsScriptToolLine(std::string_view line) const override;
};

// Db2: procedure and trigger bodies stand between "--#SET TERMINATOR" switches and end with the
// block terminator.
class TDB2Restructure : public TCodeBlockRestructure {
public:
    using TCodeBlockRestructure::TCodeBlockRestructure;

protected:
    bool HasBlockLines(std::string_view code) const override;
    bool IsScriptToolLine(std::string_view line) const override;
};

// InterBase and Firebird: procedure and trigger bodies stand between SET TERM switches of isql
// and end with the block terminator; the trigger of a column numbered through a sequence comes
// with its switches from the definition.
class TInterBaseRestructure : public TCodeBlockRestructure {
public:
    using TCodeBlockRestructure::TCodeBlockRestructure;

protected:
    bool HasBlockLines(std::string_view code) const override;
    bool IsScriptToolLine(std::string_view line) const override;
};

}  // namespace ardvin
