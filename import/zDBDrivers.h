// Database connections, the log that every connection and every script generation writes, and
// the reverse-engineering framework that builds a model from the catalogue of a database.
//
// A driver supplies the connection to its database system and the text of each catalogue query;
// the framework runs the queries in a fixed order of phases and turns every row into model
// objects. Catalogue queries return rows whose columns carry agreed names beginning with RE_
// (matched without regard to case); the framework reads only those, so a driver adapts its
// system by aliasing catalogue columns ("c.relname AS re_tablename"). A missing or null column
// leaves the property at its default.
//
// Query kinds (GetSQL) and the columns read from their rows:
//   0, 1 tables           RE_TABLENAME RE_SCHEMANAME RE_COMMENT
//   2  columns of a table RE_COLUMNNAME RE_DATATYPE RE_LENGTH RE_CHAR_LENGTH RE_PRECISION RE_SCALE
//                         RE_REQUIRED RE_NOTREQUIRED RE_NULLCONNAME RE_DEFAULTVALUE
//                         RE_DEFAULTCONNAME RE_ISCOMPUTED RE_COMMENT RE_POS RE_SEED RE_INCREMENT
//                         RE_COLLATION RE_CHARACTERSET RE_AUTONUMBER RE_SCRIPTDATATYPE
//                         RE_COLUMNOPTIONS
//   3  primary key        RE_CONNAME RE_COLUMNNAME RE_POS
//   4  unique constraints RE_CONNAME RE_COLUMNNAME RE_POS
//   5  check constraints  RE_CONNAME RE_COLUMNNAME RE_CONSTRAINT RE_COMMENT
//   6  triggers           RE_TRIGGERNAME RE_BODY RE_COMMENT
//   7  indexes            RE_TABLENAME RE_INDEXNAME RE_COLUMNNAME RE_CLUSTERING RE_SORTOPTION
//                         RE_INDEXTYPE RE_COMMENT RE_INDEXOPTIONS
//   8  views              RE_VIEWNAME RE_SCHEMANAME RE_BODY RE_COMMENT
//   9, 10 procedures, functions  RE_PROCNAME RE_SCHEMANAME RE_BODY RE_COMMENT
//   11 domains            RE_DOMAINNAME RE_SCHEMANAME and the column fields of kind 2, with
//                         RE_CHECKCONSTRAINT RE_CHECKCONNAME
//   12 sequences          RE_SEQUENCENAME RE_SCHEMANAME
//   13 foreign-key pairs  RE_PARENTSCHEMA RE_CHILDSCHEMA RE_PARENT RE_PARENTCOLUMN RE_CHILD
//                         RE_CHILDCOLUMN RE_UPDATERULE RE_DELETERULE RE_CONNAME
//   14 rules              RE_RULENAME RE_SCHEMANAME RE_BODY RE_COMMENT RE_RULETYPE
// Truth values in text columns: "1", "YES", "TRUE" and "Y" are true. Query texts may hold
// "%schemaname" (the SCHEMANAME parameter) and, per table, "%schemaobject" (the table's schema)
// and "%s" (the table's name).
//
// Import options (a settings list; every feature is on unless its value is "0"):
// RevEngRelationships, RevEngUniqueConstraints, RevEngCheckConstraints, RevEngIndexes,
// RevEngProcedures, RevEngViews, RevEngTriggers, RevEngSequences, RevEngRules; with
// RevEngIndexesOnPK, RevEngIndexesOnFK and RevEngIndexesOnAK "0" the indexes that cover the
// primary key, foreign keys or unique keys are deleted after the import;
// DoNotReplaceNamesByParams "1" keeps object names in code bodies;
// CheckWhetherImportWasSuccessFul "1" runs ImportCheck after a database import.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zNamedObject.h"

namespace ardvin {

class TDBScript;
class TVELAttribute;
class TVELDataDictionary;
class TVELDatabaseObject;
class TVELDatabaseSettings;
class TVELEntity;
class TVELLogger;
class TVELSQLParser;

// Receives each logged line: sender, level (TVELMessageLevel), text, the object it concerns.
using TVELLogEvent = std::function<void(TVELLogger* sender, int level, const std::string& text, TVELNamedObject* object)>;

// The current local date and time as "yyyy-mm-dd hh:mm", as logs and script headers show it.
std::string LogDateTime();

class TVELLogger {
public:
    // Bit 1: "Error : " before error lines. Bit 2 (value 4): the object's name and " : " before
    // the other lines that concern an object.
    static constexpr uint8_t flErrorPrefix = 1;
    static constexpr uint8_t flObjectPrefix = 4;

    virtual ~TVELLogger() = default;

    std::vector<std::string> Lines;
    int ErrorCount = 0;
    // When false, an error-level line ends the operation: Log throws EVELError with its text.
    bool ContinueOnError = true;
    bool Collect = true;  // lines are kept only when set
    uint8_t Flags = flErrorPrefix | flObjectPrefix;
    TVELLogEvent OnLog;

    virtual void Log(int level, const std::string& text, TVELNamedObject* object = nullptr);
    void Clear();
    // Writes Lines to FOLDER/NAME_yyyymmdd.txt (today's local date) and returns that path.
    std::string SaveLog(const std::string& folder, const std::string& name) const;
};

// ---- query results --------------------------------------------------------------------------

// One field of a result row: null, or a text.
class TDBField {
public:
    TDBField() = default;
    TDBField(std::string value) : null_(false), value_(std::move(value)) {}  // NOLINT: rows are written as lists of texts
    TDBField(const char* value) : null_(value == nullptr), value_(value ? value : "") {}  // NOLINT

    bool IsNull() const { return null_; }
    const std::string& AsString() const { return value_; } // empty when null
    // The trimmed text as a decimal integer; 0 when null or not a number.
    int32_t AsInteger() const;

private:
    bool null_ = true;
    std::string value_;
};

// A query of a connection: SQL text in, rows out, read one row at a time.
class TDBQuery {
public:
    virtual ~TDBQuery() = default;

    std::vector<std::string> SQL; // the lines of the statement
    void AddSQL(std::string_view line) { SQL.emplace_back(line); }
    std::string SQLText() const; // the lines joined with line feeds

    // Runs the statement; the first row (if any) becomes current. Errors of the database raise.
    virtual void Open() = 0;
    // Past the last row (also when there was none).
    virtual bool Eof() const = 0;
    virtual void Next() = 0;
    // The field of the current row whose column is named name (without regard to case);
    // nullptr when the result has no such column or there is no current row.
    virtual const TDBField* FieldByName(std::string_view name) const = 0;
    virtual void Close() {}
    // Runs a statement that returns no rows.
    virtual void ExecSQL() {
        Open();
        Close();
    }
};

// A result held in memory: column names and rows of fields in column order.
struct TDBRowSet {
    std::vector<std::string> Columns;
    std::vector<std::vector<TDBField>> Rows;
};

// A query answered from results in memory: on Open the source gives the rows of the SQL text.
// Drivers whose client library hands over whole results fill such sets, a replay of recorded
// catalogues answers from them, and tests feed rows through them.
class TDBMemoryQuery : public TDBQuery {
public:
    using TSource = std::function<TDBRowSet(const std::string& sql)>;
    explicit TDBMemoryQuery(TSource source) : source_(std::move(source)) {}

    void Open() override;
    bool Eof() const override { return row_ >= rows_.Rows.size(); }
    void Next() override {
        if (row_ < rows_.Rows.size()) ++row_;
    }
    const TDBField* FieldByName(std::string_view name) const override;
    void Close() override;

private:
    TSource source_;
    TDBRowSet rows_;
    size_t row_ = 0;
    std::unordered_map<std::string, size_t> columns_; // upper-cased name -> position
};

// ---- connections ----------------------------------------------------------------------------

// The catalogue queries of GetSQL.
enum TDBQueryKind : int {
    qkTables = 0,
    qkTablesAlternative = 1,
    qkColumns = 2,
    qkPrimaryKey = 3,
    qkUniqueConstraints = 4,
    qkCheckConstraints = 5,
    qkTriggers = 6,
    qkIndexes = 7,
    qkViews = 8,
    qkProcedures = 9,
    qkFunctions = 10,
    qkDomains = 11,
    qkSequences = 12,
    qkRelationships = 13,
    qkRules = 14,
};

// The base of every database driver. The base operations read the catalogue through the
// queries of GetSQL; a driver overrides GetSQL, CreateQuery and the connection operations, and
// whatever phase its system needs done differently.
class TDBConnection : public TVELLogger {
public:
    TDBConnection() = default;
    ~TDBConnection() override;
    TDBConnection(const TDBConnection&) = delete;
    TDBConnection& operator=(const TDBConnection&) = delete;

    std::string DBID; // driver name; must be set before reverse engineering
    // Connection parameters ("Host", "Port", "DatabaseName", "UserName", "Password" and keys of
    // the driver) and the schema filter "SCHEMANAME".
    TVELSettingsList Parameters;
    std::vector<std::string> Tables;        // qualified names of the tables to import
    std::vector<std::string> SystemSchemas; // left out when no schema filter is given
    std::string ExtraInclude;               // masks added to the include filter
    std::string ExtraExclude;               // and to the exclude filter
    const TVELDatabaseSettings* Target = nullptr;
    TVELSettingsList Options;
    std::function<void(TDBConnection* sender, TVELNamedObject* object)> OnObjectAdded;
    std::string IncludeFilter; // ";"-separated name masks with the wildcards "*" and "?"
    std::string ExcludeFilter;

    virtual void Initialize() {}
    // Whether an object of that qualified name passes the include and exclude filters.
    virtual bool IncludeObject(std::string_view qualifiedName) const;
    // A line naming the connection, e.g. database name + " on " + host.
    virtual void GetDescription(std::string& text) const { text.clear(); }
    // "(" + the quoted system schemas separated by "," + ")".
    virtual void GetSystemSchemaList(std::string& text) const { text.clear(); }
    // The text of a catalogue query (TDBQueryKind); empty when the driver has none.
    virtual void GetSQL(int kind, std::string& sql) const {
        (void)kind;
        sql.clear();
    }
    // Sets the check of a domain, or adds the check to the one it has; false when the domain
    // does not exist.
    virtual bool MergeDomainCheck(TVELDataDictionary& dictionary, std::string_view domainName,
                                  std::string_view check, std::string_view comment);
    virtual void ReverseEngineerTables(TVELDataDictionary& dictionary);
    virtual void ReverseEngineerColumns(TVELEntity* entity);
    virtual TVELAttribute* AddColumn(TVELEntity* entity, const TDBQuery& query);
    virtual void ComputedColumn(TVELAttribute* attribute) { (void)attribute; }
    virtual void ReverseEngineerIndexes(TVELEntity* entity);
    virtual void ReverseEngineerPrimaryKey(TVELEntity* entity);
    virtual void ReverseEngineerCheckConstraints(TVELEntity* entity);
    virtual void ReverseEngineerUniqueConstraints(TVELEntity* entity);
    virtual void ReverseEngineerTriggers(TVELEntity* entity);
    // The data type of an attribute (or of a domain): a domain of that type name is referred
    // to, else the name, length and precision are set, with auto number also seed and
    // increment. The base ignores the scale.
    virtual void SetDataType(TVELDatabaseObject* object, std::string_view typeName, int32_t increment,
                             int32_t seed, bool autoNumber, int32_t scale, int32_t precision,
                             std::string_view length);
    // A full type text ("NUMERIC(10,2)") read as the SQL import reads a column's type.
    virtual void SetScriptDataType(TVELDatabaseObject* object, std::string_view text);
    virtual void ReverseEngineerRelationships(TVELDataDictionary& dictionary);
    virtual void ReverseEngineerDomains(TVELDataDictionary& dictionary);
    virtual void ReverseEngineerSequences(TVELDataDictionary& dictionary) { (void)dictionary; }
    virtual void ReverseEngineerDatabaseTriggers(TVELDataDictionary& dictionary) { (void)dictionary; }
    virtual void ReverseEngineerProcedures(TVELDataDictionary& dictionary);
    // For drivers that list functions apart from procedures; the base phases do not call it.
    virtual void ReverseEngineerFunctions(TVELDataDictionary& dictionary);
    virtual void ReverseEngineerViews(TVELDataDictionary& dictionary);
    virtual void ReverseEngineerRules(TVELDataDictionary& dictionary);
    // "CASCADE" 2, "SET NULL"/"SET_NULL" 3, "RESTRICT" 1, "SET DEFAULT"/"SET_DEFAULT" 4, else 0.
    virtual uint8_t RuleFromText(std::string_view text) const;
    virtual void NormalizeName(std::string_view text, std::string& result) const;
    virtual void StartTransaction() {}
    virtual void Commit() {}
    // A query of the connection; nullptr when the driver reads no database (the phases are
    // then skipped).
    virtual std::unique_ptr<TDBQuery> CreateQuery() { return nullptr; }
    // The script object of the SQL import; the base gives a plain TDBScript.
    virtual std::unique_ptr<TDBScript> CreateScript();
    // A query over all rows of a table; nullptr in the base.
    virtual std::unique_ptr<TDBQuery> CreateTableQuery(std::string_view table);
    virtual void Connect() {}
    virtual void ConnectServer() {}
    virtual void Disconnect() {}
    virtual bool Connected() const { return true; }
    virtual void ListTableSchemas(std::vector<std::string>& list);
    virtual void ListTables(std::vector<std::string>& list);
    virtual void ListViews(std::vector<std::string>& list);
    virtual void ListProcedures(std::vector<std::string>& list);
    virtual void ListSequences(std::vector<std::string>& list);
    virtual void ListRelationships(std::vector<std::string>& list);
    virtual void ListDomains(std::vector<std::string>& list);
    virtual int RowCount(std::string_view table);
    virtual void DeleteRows(std::string_view table);
    virtual void GetTableStatement1(std::string_view table, std::string& sql) const {
        (void)table;
        sql.clear();
    }
    void RunTableStatement1(std::string_view table);
    virtual void GetTableStatement2(std::string_view table, std::string& sql) const {
        (void)table;
        sql.clear();
    }
    void RunTableStatement2(std::string_view table);

    // The whole import into a dictionary. Raises "Please set DBID first before calling this
    // procedure." without a driver name.
    void ReverseEngineer(TVELDataDictionary& dictionary);

protected:
    // The query text of a kind with its placeholders filled for a table (nullptr: none).
    std::string QueryText(int kind, const TVELEntity* table) const;
    // The query of a kind for a table (nullptr: none), ready to open; nullptr when the driver
    // has no such query or no query object. The base fills the placeholders of QueryText into
    // the text; a driver whose client library binds parameters overrides it, so that no name
    // becomes part of a query text.
    virtual std::unique_ptr<TDBQuery> CatalogueQuery(int kind, const TVELEntity* table);
    // Runs the query of a kind and calls row for each result row; nothing when the driver has
    // no such query or no query object.
    void ForEachRow(int kind, const TVELEntity* table, const std::function<void(const TDBQuery&)>& row);
    void Added(TVELNamedObject* object);
    // A parser that reads type texts and finds domains by name in the dictionary; made once
    // per dictionary and renewed when the domain phase has added domains.
    TVELSQLParser& TypeReader(TVELDataDictionary* dictionary);

private:
    bool Enabled(std::string_view option) const;
    void RunStatement(const std::string& sql);
    // The data type of a column or domain row: RE_SCRIPTDATATYPE when given, else the parts.
    void ReadDataType(TVELDatabaseObject* object, const TDBQuery& row);
    // The names of a query, qualified with RE_SCHEMANAME when it is set.
    void ListNames(int kind, std::string_view nameColumn, std::vector<std::string>& list);
    // The procedure, view or rule phase: each row adds an object of the type, or appends its
    // body to the one of that name.
    void ReadCodeObjects(TVELDataDictionary& dictionary, int kind, int type, std::string_view nameColumn);
    std::unique_ptr<TVELSQLParser> typeReader_;
};

// ---- the driver factory ---------------------------------------------------------------------

using TDBConnectionFactory = std::unique_ptr<TDBConnection> (*)();

struct TDBDriverEntry {
    const char* Name; // compared exactly
    TDBConnectionFactory Create;
};

// The drivers, by name.
const std::vector<TDBDriverEntry>& DBDrivers();
// A new connection for a driver name, its DBID set. Raises "Invalid database driver. Database
// driver "NAME" not found." for a name that no driver has.
std::unique_ptr<TDBConnection> CreateConnection(std::string_view driverName);

// The connection of script import: no database, only the script object of its dialect (the
// driver name "sql" gives the plain script).
class TSQLConnection : public TDBConnection {
public:
    std::unique_ptr<TDBScript> CreateScript() override;
};

// ---- imports --------------------------------------------------------------------------------

// Reverse engineers a database into dictionary through the driver of the dictionary's target:
// connection parameters and options are copied to the connection, Tables is the given
// selection or, without one, every table the connection lists. The log lines are appended to
// log when given. With the option CheckWhetherImportWasSuccessFul "1", ImportCheck follows.
void ImportFromDatabase(TVELDataDictionary& dictionary, const TVELSettingsList& parameters,
                        const TVELSettingsList& options, const std::vector<std::string>* tables,
                        std::vector<std::string>* log);
// The same through a given connection (its DBID and target are set here when empty).
void ImportFromDatabase(TDBConnection& connection, TVELDataDictionary& dictionary,
                        const TVELSettingsList& parameters, const TVELSettingsList& options,
                        const std::vector<std::string>* tables, std::vector<std::string>* log);
// Reads an SQL script file into dictionary; the parser's message lines are appended to log when
// given. Returns the number of error-level messages. Raises "Database structure dump file (sql
// file) "NAME" does not exist." when the file is missing.
int ImportFromScript(TVELDataDictionary& dictionary, const std::string& fileName, const TVELSettingsList& options,
                     std::vector<std::string>* log);
// After an import that found nothing: raises the hint of the dictionary's driver
// ("oracle", "mssqlserver", "postgresql"); other drivers, and a dictionary that holds objects,
// pass.
void ImportCheck(const TVELDataDictionary& dictionary);

// Whether a name matches a mask with "*" (any run) and "?" (any one character), without
// regard to case.
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace ardvin
