// The restructure object: writes the script that creates a whole model on its target (the
// create pass), the script that drops it again, and the script that brings an older state of
// the model to the current one (the alter pass). Every statement is a template of the target
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

class TVELAttribute;
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

    // ---- the alter pass (zDBAlter.cpp) --------------------------------------------------------
    // Writes the script (or runs it) that brings OldModel to Model; whether no statement failed.
    // Both are prepared copies for the same target whose corresponding objects share identifiers
    // (as ID matching leaves them). Raises EVELError without an old model.
    bool GenerateAlterScript();
    // Sets the state flags of both models: every object of either model and every member of
    // their tables is found in the other by identifier; pairs are "in both" and "modified" when
    // their generated definitions differ, the rest "new" (in Model) or "gone" (in OldModel).
    // Columns present in both whose order among the common columns changed are "position
    // changed". Run by GenerateAlterScript; public for callers that only want the marks.
    void MarkChanges();
    // What the last alter run does to data: tables dropped, columns dropped and tables recreated,
    // each as a log-style name ("table", "table.column"). Empty when no stored value is at risk.
    std::vector<std::string> DroppedTables;
    std::vector<std::string> DroppedColumns;
    std::vector<std::string> RecreatedTables;

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

    // ---- virtual steps of the alter pass ------------------------------------------------------
    // Whether a changed table (new and old version) must be dropped and created again, its data
    // copied, instead of being altered in place. The base answer is no. A target answers yes for
    // the changes its ALTER TABLE cannot make: column order (a target without a way to place a
    // column), dropped or retyped columns (a target that cannot drop or retype), renamed tables
    // (a target that cannot rename), changed constraints or foreign keys that live only inside
    // CREATE TABLE, and type changes its conversion rules refuse (for example to a binary type).
    // The marks of MarkChanges are set on both tables and their members when it is asked.
    // What the other targets decide here: Oracle recreates when a column of both versions
    // changes its type to one of type group Binary; Firebird and InterBase recreate a renamed
    // table (they cannot rename one) and copy from the old name; SQL Server recreates for the
    // column changes ALTER COLUMN refuses (becoming or ceasing to be an identity column, a new
    // column before existing ones when the order matters); Db2 alters in place with its own
    // statements through AlterColumn and RenameColumn, like MySQL.
    virtual bool MustRecreateTable(const TVELEntity& table, const TVELEntity& old);
    // Hooks around the in-place alteration of a table: before its first drop, after its last
    // addition.
    virtual void BeforeAlterTable(TVELEntity& table, const TVELEntity& old);
    virtual void AfterAlterTable(TVELEntity& table, const TVELEntity& old);
    // Renames a column present in both versions (SQLRenameColumn).
    virtual void RenameColumn(TVELAttribute& column, const TVELAttribute& old);
    // The changes of a column present in both versions other than its name: nullability,
    // data type, default, and SQLModifyColumn for what the specific templates do not cover.
    virtual void AlterColumn(TVELAttribute& column, const TVELAttribute& old);
    // Hooks around a drop-and-recreate of a table: before its old constraints are dropped and
    // after the rebuilt table has its constraints, indexes and comments.
    virtual void BeforeRecreateTable(TVELEntity& table, const TVELEntity& old);
    virtual void AfterRecreateTable(TVELEntity& table, const TVELEntity& old);
    // Hooks around the data copy of a recreated table (for example to allow explicit values in
    // identity columns, or to set a sequence behind after the copy). tableName is the quoted
    // name the copy writes to.
    virtual void BeforeCopyData(TVELEntity& table, const std::string& tableName);
    // The statement that changes a sequence present in both versions in place, so that it keeps
    // its value; empty when the target cannot make the change, and the sequence is dropped and
    // created again. The base answer is empty.
    virtual std::string AlterSequenceStatement(const TVELSequence& sequence, const TVELSequence& old);
    // The statement that drops a constraint the model leaves unnamed, under the name the server
    // gave it. The base answer is the target's drop statement without a name.
    virtual std::string DropUnnamedConstraint(const TVELConstraint& constraint);
    virtual void AfterCopyData(TVELEntity& table, const std::string& tableName);
    // The statements of a changed domain (new and old version), as far as its default, check
    // and type changed: the SQLModifyDomain... templates.
    virtual void AlterDomain(TVELDomain& domain, const TVELDomain& old);
    // What the data copy of a recreated table selects from the old table for a column present
    // in both versions: the old column by name, or a conversion where the server does not
    // convert the old type to the new one by itself.
    virtual std::string CopyColumn(const TVELAttribute& column, const TVELAttribute& old);
    // The value the rows a table holds take in a new NOT NULL column without a default before
    // NOT NULL is set: a plain zero or empty text by the type's group; empty for a type without
    // one (the column stays nullable and the user is warned).
    virtual std::string EmptyValue(const TVELAttribute& column) const;

    // Writes a filled statement under the pending heading of the current section.
    void Write(std::string_view statement);
    // Writes the pending heading of the current section now.
    void FlushHeading();
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

    // ---- the alter pass -------------------------------------------------------------------------
    struct TAlterPlan;
    void MarkTable(TVELEntity& table, TVELEntity& old);
    void PlanAlter(TAlterPlan& plan);
    void AlterTableStep(TVELEntity& table, TVELEntity& old);
    void RecreateTableStep(TVELEntity& table, TVELEntity& old);
    void AlterDomainStep(TVELDomain& domain, const TVELDomain& old);
    void DropMember(const TVELDatabaseObject& object, const std::string& statement);
    void AddMemberConstraint(TVELConstraint& constraint);
    void ChangedComments(TVELEntity& table, const TVELEntity& old);
    // A new NOT NULL column without a default: whether it needs its rows filled, and its step.
    bool NeedsFilling(const TVELAttribute& column) const;
    void AddNotNullColumn(TVELEntity& table, TVELAttribute& column, TVELFillValues values);
    // The warning about such a column: the value its rows take, or that it stays nullable.
    static std::string FillingMessage(const TVELEntity& table, const TVELAttribute& column,
                                      const std::string& value);
    std::string DropConstraintStatement(const TVELConstraint& constraint);
    std::string AddConstraintStatement(const TVELConstraint& constraint);
    // Renaming in place: the template of a constraint's kind, whether the target renames the
    // constraint (both versions named, and a template for it), and the step with its log line.
    static const char* RenameConstraintTemplate(const TVELConstraint& constraint);
    bool CanRename(const TVELConstraint& constraint, const TVELConstraint& old) const;
    void RenameStep(const TVELDatabaseObject& object, const TVELDatabaseObject& old, const std::string& statement);
    bool AlterObjectStep(const TVELDatabaseObject& object, const std::string& failure, const std::function<void()>& step);
    std::unique_ptr<TVELOldModel> oldLookup_;
    // Indexes, constraints and relationships of the new model that changed nothing but their
    // names, where the target renames them in place (set by MarkChanges).
    std::unordered_set<const TVELDatabaseObject*> renamedOnly_;
};

// PostgreSQL: everything its definition's templates write; the class is the place of its
// execute-mode steps.
class TPostgreSQLRestructure : public TDBRestructure {
public:
    using TDBRestructure::TDBRestructure;

protected:
    // Columns cannot be placed: a moved column, or a new one before an existing one, recreates
    // the table; so does a column that becomes or stops being a serial column.
    bool MustRecreateTable(const TVELEntity& table, const TVELEntity& old) override;
    // Serial and identity columns continue after the copied values.
    void AfterCopyData(TVELEntity& table, const std::string& tableName) override;
    // A column becomes, stays or stops being an identity column in place.
    void AlterColumn(TVELAttribute& column, const TVELAttribute& old) override;
    // The sequences behind them take the names they have under the table's own name.
    void AfterRecreateTable(TVELEntity& table, const TVELEntity& old) override;
    std::string AlterSequenceStatement(const TVELSequence& sequence, const TVELSequence& old) override;
    std::string DropUnnamedConstraint(const TVELConstraint& constraint) override;

private:
    // The statement that sets the sequence of a serial or identity column after the numbers the
    // table's rows hold.
    std::string NumberAfterRows(const TVELAttribute& column, const std::string& tableName) const;
};

// MySQL and MariaDB: procedure and trigger bodies are wrapped in DELIMITER lines for the
// command-line client; a connection takes them without.
class TMySQLRestructure : public TDBRestructure {
public:
    using TDBRestructure::TDBRestructure;

protected:
    // Tables are altered in place; a changed column gets one MODIFY COLUMN with its whole
    // new definition.
    void AlterColumn(TVELAttribute& column, const TVELAttribute& old) override;
    // A foreign key that goes for good takes the index the server made for it along, when no
    // index of the model served it.
    void DropForeignKey(TVELRelationship& relationship) override;
    std::string ForExecution(std::string_view statement) const override;
    std::string AlterSequenceStatement(const TVELSequence& sequence, const TVELSequence& old) override;
    std::string DropUnnamedConstraint(const TVELConstraint& constraint) override;
};

// SQLite: a foreign key exists only inside its CREATE TABLE; one the table statement did not
// write cannot be added afterwards.
class TSQLiteRestructure : public TDBRestructure {
public:
    using TDBRestructure::TDBRestructure;

protected:
    // SQLite alters little in place: renaming tables and columns, appending nullable columns,
    // dropping plain columns, indexes and triggers. Everything else recreates the table.
    bool MustRecreateTable(const TVELEntity& table, const TVELEntity& old) override;
    // Foreign keys stay off while a table is recreated (its children keep referring to its name).
    void BeforeRecreateTable(TVELEntity& table, const TVELEntity& old) override;
    void AfterRecreateTable(TVELEntity& table, const TVELEntity& old) override;
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
    // A domain that the target cannot alter is built again: the columns of the domain take its
    // old data type, the domain is dropped and created anew, and the columns take it again.
    void RebuildDomain(TVELDomain& domain, const TVELDomain& old);
    // SQLModifyColumnSetNotNull or ...DropNotNull when the nullability changed, and
    // SQLModifyColumnDataType when the type changed (its identity clause left out).
    void AlterNullabilityAndType(TVELAttribute& column, const TVELAttribute& old);
};

// SQL Server: every statement is a batch ended by a line GO, and a domain is several batches
// (the alias type, its rule and default objects and their bindings). A connection takes one
// batch at a time.
//
// ALTER TABLE ... ALTER COLUMN changes a column's type, nullability and collation in place; a
// default is a constraint of its own that holds its column: it is dropped (by its name, or
// found by its column when it has none) before its column changes its type or goes, and added
// again after. Renames go through sp_rename, descriptions through the extended property
// procedures.
class TSQLServerRestructure : public TCodeBlockRestructure {
public:
    using TCodeBlockRestructure::TCodeBlockRestructure;

protected:
    std::vector<std::string> ExecutionStatements(std::string_view statement) const override;
    bool HasBlockLines(std::string_view code) const override;
    bool IsScriptToolLine(std::string_view line) const override;
    // Recreates for what ALTER COLUMN refuses: a column that becomes or stops being an identity
    // column or changes its identity seed or increment, a changed order of the columns (a new
    // column before existing ones included), a type changed to a binary type from another group
    // (no implicit conversion), and a type change of a column that a key, a unique or check
    // constraint or an index uses.
    bool MustRecreateTable(const TVELEntity& table, const TVELEntity& old) override;
    // The defaults and checks of the columns that go, which would keep them from going (those
    // the model leaves unnamed are found by their column).
    void BeforeAlterTable(TVELEntity& table, const TVELEntity& old) override;
    void AlterColumn(TVELAttribute& column, const TVELAttribute& old) override;
    // The old table's named defaults make way for the new table's, which the temporary table
    // takes before the copy (new NOT NULL columns take their defaults); explicit values go into
    // its identity column.
    void BeforeCopyData(TVELEntity& table, const std::string& tableName) override;
    void AfterCopyData(TVELEntity& table, const std::string& tableName) override;
    void AfterRecreateTable(TVELEntity& table, const TVELEntity& old) override;
    std::string CopyColumn(const TVELAttribute& column, const TVELAttribute& old) override;
    // An alias type does not change its type: a domain whose type changes is built again.
    void AlterDomain(TVELDomain& domain, const TVELDomain& old) override;

private:
    // The statement that drops the default of a column of the old model.
    std::string DropDefaultStatement(const TVELAttribute& old);
    // The statement that adds the default of a column; on the table of that name when given.
    std::string AddDefaultStatement(const TVELAttribute& column, const std::string& tableName = {});
    // The columns of the recreated table whose defaults the temporary table took.
    std::unordered_set<int32_t> defaultsWritten_;
};

// Oracle: PL/SQL blocks (procedures, functions, packages, triggers) are run by a line "/" after
// them; plain SQL statements end with ";", which a connection does not take, while a PL/SQL
// block keeps the ";" after its END.
//
// ALTER TABLE ... MODIFY changes a column's type, nullability, default and identity options in
// place, RENAME COLUMN and RENAME TO rename, COMMENT ON describes.
class TOracleRestructure : public TCodeBlockRestructure {
public:
    using TCodeBlockRestructure::TCodeBlockRestructure;

protected:
    bool HasBlockLines(std::string_view code) const override;
    bool IsScriptToolLine(std::string_view line) const override;
    // Recreates when a column of both versions changes its type to one of type group Binary
    // (MODIFY converts no other type to it) or becomes an identity column (MODIFY only changes
    // the options of a column that is one already).
    bool MustRecreateTable(const TVELEntity& table, const TVELEntity& old) override;
    // MODIFY with the plain type (an identity column stays one), DROP IDENTITY for a column that
    // stops being one, the identity options for one whose options change.
    void AlterColumn(TVELAttribute& column, const TVELAttribute& old) override;
    // The statements the definition runs around the data copy, on the temporary table: its
    // identity columns continue after the copied values.
    void BeforeCopyData(TVELEntity& table, const std::string& tableName) override;
    void AfterCopyData(TVELEntity& table, const std::string& tableName) override;
    // A space: an empty text is NULL.
    std::string EmptyValue(const TVELAttribute& column) const override;
    // Text becomes binary through UTL_RAW (and TO_BLOB for a BLOB).
    std::string CopyColumn(const TVELAttribute& column, const TVELAttribute& old) override;
};

// Db2: procedure and trigger bodies stand between "--#SET TERMINATOR" switches and end with the
// block terminator.
//
// Tables are altered in place: ALTER COLUMN ... SET DATA TYPE, SET NOT NULL, DROP NOT NULL, SET
// DEFAULT and DROP DEFAULT (the definition follows the statements that leave the table in
// reorg pending state with a REORG), SET GENERATED ... AS IDENTITY and DROP IDENTITY; RENAME
// TABLE and RENAME COLUMN rename.
class TDB2Restructure : public TCodeBlockRestructure {
public:
    using TCodeBlockRestructure::TCodeBlockRestructure;

protected:
    bool HasBlockLines(std::string_view code) const override;
    bool IsScriptToolLine(std::string_view line) const override;
    // The column's own statements, the identity clause apart from its type: a column that
    // becomes an identity column continues after the values it holds.
    void AlterColumn(TVELAttribute& column, const TVELAttribute& old) override;
    // A distinct type changes neither its check nor its source type: it is built again.
    void AlterDomain(TVELDomain& domain, const TVELDomain& old) override;
};

// InterBase and Firebird: procedure and trigger bodies stand between SET TERM switches of isql
// and end with the block terminator; the trigger of a column numbered through a sequence comes
// with its switches from the definition.
class TInterBaseRestructure : public TCodeBlockRestructure {
public:
    using TCodeBlockRestructure::TCodeBlockRestructure;

protected:
    // A renamed table is built again (there is no way to rename one), and so is a table whose
    // column becomes or stops being an identity column.
    bool MustRecreateTable(const TVELEntity& table, const TVELEntity& old) override;
    // Columns out of place get their positions.
    void AfterAlterTable(TVELEntity& table, const TVELEntity& old) override;
    // Identity columns continue after the copied values.
    void AfterCopyData(TVELEntity& table, const std::string& tableName) override;
    // Only the increment of a sequence changes in place.
    std::string AlterSequenceStatement(const TVELSequence& sequence, const TVELSequence& old) override;
    std::string DropUnnamedConstraint(const TVELConstraint& constraint) override;
    bool HasBlockLines(std::string_view code) const override;
    bool IsScriptToolLine(std::string_view line) const override;
};

}  // namespace ardvin
