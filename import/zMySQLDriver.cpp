#include "zMySQLDriver.h"

#include <mysql.h>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBScript.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zSQLParser.h"
#include "zSequence.h"

namespace ardvin {

namespace {

// The databases of the server itself.
const char* const SystemDatabases[] = {"mysql", "information_schema", "performance_schema", "sys"};

// RE_SCHEMANAME of a catalogue column: empty for the connected database.
std::string SchemaColumn(const std::string& column) {
    return "IF(" + column + " = DATABASE(), '', " + column + ")";
}

// The integer types are written without their display width, "tinyint(1)" is the server's
// BOOLEAN, and a JSON column is a LONGTEXT whose values the server checks with json_valid
// under the column's name.
// An expression of the server without the name of its own database before the names in it.
std::string Unqualified(const std::string& text, const std::string& schema) {
    return "REPLACE(" + text + ", CONCAT('`', REPLACE(" + schema + ", '`', '``'), '`.'), '')";
}

// A type text without the display width of integer types, which the model does not keep.
std::string Widthless(const std::string& type, const std::string& dataType) {
    return "IF(" + dataType + " IN ('tinyint', 'smallint', 'mediumint', 'int', 'bigint', 'year') AND LOCATE('(', " +
           type + ") > 0, CONCAT(SUBSTRING_INDEX(" + type + ", '(', 1), SUBSTRING(" + type + ", LOCATE(')', " + type +
           ") + 1)), " + type + ")";
}

// "tinyint(1)" is the server's BOOLEAN, a national character type is a character type in
// utf8mb3, and a JSON column is a LONGTEXT whose values the server checks with json_valid under
// the column's name. Collation and character set are given where they differ from the table's.
// Every condition on a catalogue table names the table by constants, which lets the server open
// just that table (joins on catalogue tables would open all of them).
std::string ColumnsQuery() {
    const std::string tableCollation =
        "(SELECT TABLE_COLLATION FROM information_schema.TABLES WHERE TABLE_SCHEMA = ? AND TABLE_NAME = ?)";
    const std::string tableCharset = "SUBSTRING_INDEX(" + tableCollation + ", '_', 1)";
    const std::string json =
        "c.DATA_TYPE = 'longtext' AND (c.COLUMN_NAME, CONCAT('json_valid(`', REPLACE(c.COLUMN_NAME, '`', '``'), '`)'))\n"
        "     IN (SELECT CONSTRAINT_NAME, CHECK_CLAUSE FROM information_schema.CHECK_CONSTRAINTS\n"
        "       WHERE CONSTRAINT_SCHEMA = ? AND TABLE_NAME = ? AND LEVEL = 'Column')";
    return "SELECT c.COLUMN_NAME AS RE_COLUMNNAME, c.ORDINAL_POSITION AS RE_POS,\n"
           " IF(c.IS_NULLABLE = 'NO', '1', '0') AS RE_REQUIRED,\n"
           " CASE WHEN c.IS_GENERATED = 'ALWAYS' OR c.COLUMN_DEFAULT = 'NULL' THEN NULL\n"
           // MariaDB writes current_timestamp(), MySQL CURRENT_TIMESTAMP: both read as the latter.
           "   WHEN c.COLUMN_DEFAULT LIKE 'current\\_timestamp%' THEN REPLACE(UPPER(c.COLUMN_DEFAULT), '()', '')\n"
           "   ELSE " + Unqualified("c.COLUMN_DEFAULT", "c.TABLE_SCHEMA") + " END AS RE_DEFAULTVALUE,\n"
           " NULLIF(c.COLUMN_COMMENT, '') AS RE_COMMENT,\n"
           " CASE WHEN " + json + " THEN 'json'\n"
           "   WHEN c.COLUMN_TYPE = 'tinyint(1)' THEN 'boolean'\n"
           "   WHEN c.DATA_TYPE IN ('char', 'varchar') AND c.CHARACTER_SET_NAME = 'utf8mb3'\n"
           "     AND " + tableCharset + " <> 'utf8mb3' THEN CONCAT('n', c.COLUMN_TYPE)\n"
           "   ELSE " + Widthless("c.COLUMN_TYPE", "c.DATA_TYPE") + " END AS RE_SCRIPTDATATYPE,\n"
           " IF(c.EXTRA LIKE '%auto\\_increment%', '1', '0') AS RE_AUTONUMBER,\n"
           // A column of another character set than the table's takes that set's default
           // collation, one of the same set the table's collation; a JSON column's binary
           // collation is the type's.
           " IF(c.COLLATION_NAME <> IF(c.CHARACTER_SET_NAME = " + tableCharset + ", " + tableCollation + ",\n"
           "     (SELECT DEFAULT_COLLATE_NAME FROM information_schema.CHARACTER_SETS WHERE CHARACTER_SET_NAME = c.CHARACTER_SET_NAME))\n"
           "   AND NOT (c.DATA_TYPE IN ('char', 'varchar') AND c.COLLATION_NAME = 'utf8mb3_general_ci')\n"
           "   AND NOT (" + json + "), c.COLLATION_NAME, NULL) AS RE_COLLATION,\n"
           " IF(c.CHARACTER_SET_NAME <> " + tableCharset + " AND NOT (c.DATA_TYPE IN ('char', 'varchar')\n"
           "   AND c.CHARACTER_SET_NAME = 'utf8mb3'), c.CHARACTER_SET_NAME, NULL) AS RE_CHARACTERSET,\n"
           " CASE WHEN c.IS_GENERATED = 'ALWAYS' THEN CONCAT('GENERATED ALWAYS AS (', c.GENERATION_EXPRESSION, ')',\n"
           "   IF(c.EXTRA LIKE 'STORED%', ' STORED', ' VIRTUAL'))\n"
           "   WHEN c.EXTRA LIKE '%on update %' THEN\n"
           "     REPLACE(UPPER(SUBSTRING(c.EXTRA, LOCATE('on update ', c.EXTRA))), '()', '') END AS RE_COLUMNOPTIONS\n"
           "FROM information_schema.COLUMNS c\n"
           "WHERE c.TABLE_SCHEMA = ? AND c.TABLE_NAME = ?\n"
           "ORDER BY c.ORDINAL_POSITION";
}

// The server keeps no name for a primary key ("PRIMARY" is the name of every one).
const char* const PrimaryKeyQuery =
    "SELECT s.COLUMN_NAME AS RE_COLUMNNAME, s.SEQ_IN_INDEX AS RE_POS, NULLIF(s.INDEX_COMMENT, '') AS RE_COMMENT\n"
    "FROM information_schema.STATISTICS s\n"
    "WHERE s.TABLE_SCHEMA = ? AND s.TABLE_NAME = ? AND s.INDEX_NAME = 'PRIMARY'\n"
    "ORDER BY s.SEQ_IN_INDEX";

// Unique keys, whether made as constraints or as unique indexes: the server keeps both alike.
const char* const UniqueQuery =
    "SELECT s.INDEX_NAME AS RE_CONNAME, s.COLUMN_NAME AS RE_COLUMNNAME, s.SEQ_IN_INDEX AS RE_POS,\n"
    " NULLIF(s.INDEX_COMMENT, '') AS RE_COMMENT\n"
    "FROM information_schema.STATISTICS s\n"
    "WHERE s.TABLE_SCHEMA = ? AND s.TABLE_NAME = ? AND s.NON_UNIQUE = 0 AND s.INDEX_NAME <> 'PRIMARY'\n"
    "ORDER BY s.INDEX_NAME, s.SEQ_IN_INDEX";

// The checks the server makes for JSON columns are left out.
const char* const ChecksQuery =
    "SELECT k.CONSTRAINT_NAME AS RE_CONNAME, k.CHECK_CLAUSE AS RE_CONSTRAINT,\n"
    " IF(k.LEVEL = 'Column', k.CONSTRAINT_NAME, NULL) AS RE_COLUMNNAME\n"
    "FROM information_schema.CHECK_CONSTRAINTS k\n"
    "WHERE k.CONSTRAINT_SCHEMA = ? AND k.TABLE_NAME = ?\n"
    " AND NOT (k.LEVEL = 'Column' AND k.CHECK_CLAUSE = CONCAT('json_valid(`', REPLACE(k.CONSTRAINT_NAME, '`', '``'), '`)'))\n"
    "ORDER BY k.CONSTRAINT_NAME";

// The trigger as the statement that makes it; the table is written as the placeholder that
// generation fills, unless names are to stay in bodies.
std::string TriggersQuery(bool tablePlaceholder) {
    return std::string("SELECT g.TRIGGER_NAME AS RE_TRIGGERNAME,\n"
                       " CONCAT('CREATE TRIGGER `', REPLACE(g.TRIGGER_NAME, '`', '``'), '` ', g.ACTION_TIMING, ' ',\n"
                       "   g.EVENT_MANIPULATION, ' ON ', ") +
           (tablePlaceholder ? "'%tablename%'" : "CONCAT('`', REPLACE(g.EVENT_OBJECT_TABLE, '`', '``'), '`')") +
           ", ' FOR EACH ROW\\n',\n"
           "   g.ACTION_STATEMENT) AS RE_BODY\n"
           "FROM information_schema.TRIGGERS g\n"
           "WHERE g.EVENT_OBJECT_SCHEMA = ? AND g.EVENT_OBJECT_TABLE = ?\n"
           "ORDER BY g.ACTION_TIMING, g.EVENT_MANIPULATION, g.ACTION_ORDER";
}

// Plain, full-text and spatial indexes; the indexes the server makes for foreign keys by
// itself carry the constraint's name and are left out.
const char* const IndexesQuery =
    "SELECT s.TABLE_NAME AS RE_TABLENAME, s.INDEX_NAME AS RE_INDEXNAME, s.COLUMN_NAME AS RE_COLUMNNAME,\n"
    " IF(s.COLLATION = 'D', 'DESC', NULL) AS RE_SORTOPTION,\n"
    " CASE WHEN s.INDEX_TYPE IN ('FULLTEXT', 'SPATIAL') THEN s.INDEX_TYPE END AS RE_INDEXTYPE,\n"
    " NULLIF(s.INDEX_COMMENT, '') AS RE_COMMENT\n"
    "FROM information_schema.STATISTICS s\n"
    "WHERE s.TABLE_SCHEMA = ? AND s.TABLE_NAME = ? AND s.NON_UNIQUE = 1\n"
    " AND s.INDEX_NAME NOT IN (SELECT r.CONSTRAINT_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS r\n"
    "   WHERE r.CONSTRAINT_SCHEMA = ? AND r.TABLE_NAME = ?)\n"
    "ORDER BY s.INDEX_NAME, s.SEQ_IN_INDEX";

std::string Escaped(MYSQL* mysql, const std::string& value) {
    std::string out(value.size() * 2 + 1, '\0');
    const unsigned long n = mysql_real_escape_string(mysql, out.data(), value.data(), value.size());
    out.resize(n);
    return out;
}

}  // namespace

TMySQLConnection::TMySQLConnection() = default;

TMySQLConnection::~TMySQLConnection() {
    Disconnect();
}

void TMySQLConnection::Open(bool withDatabase) {
    Disconnect();
    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql) throw EVELError("Out of memory for the database connection.");
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const std::string host = Parameters.GetValue("Host");
    const std::string socket = Parameters.GetValue("Socket");
    const std::string database = withDatabase ? Parameters.GetValue("DatabaseName") : std::string();
    const unsigned port = static_cast<unsigned>(StrToIntDef(Parameters.GetValue("Port"), 0));
    if (!mysql_real_connect(mysql, host.empty() ? nullptr : host.c_str(), Parameters.GetValue("UserName").c_str(),
                            Parameters.GetValue("Password").c_str(), database.empty() ? nullptr : database.c_str(),
                            port, socket.empty() ? nullptr : socket.c_str(), 0)) {
        const std::string error = mysql_error(mysql);
        mysql_close(mysql);
        throw EVELError(error);
    }
    mysql_ = mysql;
    database_ = database;
}

void TMySQLConnection::Connect() {
    Open(true);
}

void TMySQLConnection::ConnectServer() {
    Open(false);
}

void TMySQLConnection::Disconnect() {
    if (mysql_) mysql_close(mysql_);
    mysql_ = nullptr;
    database_.clear();
}

void TMySQLConnection::GetDescription(std::string& text) const {
    text = Parameters.GetValue("DatabaseName") + " on " + Parameters.GetValue("Host");
}

void TMySQLConnection::GetSystemSchemaList(std::string& text) const {
    text.clear();
    for (const char* name : SystemDatabases) text += (text.empty() ? "('" : ", '") + std::string(name) + "'";
    text += ")";
}

std::string TMySQLConnection::SchemaToRead() const {
    const std::string schema = Parameters.GetValue("SCHEMANAME");
    return schema.empty() ? database_ : schema;
}

void TMySQLConnection::GetSQL(int kind, std::string& sql) const {
    // The queries over the whole database take the database as their values (one or more
    // marks); without one they read every database but the server's own.
    std::string systemList;
    GetSystemSchemaList(systemList);
    const bool all = SchemaToRead().empty();
    auto in = [&](const std::string& column) {
        return all ? column + " NOT IN " + systemList : column + " = ?";
    };
    switch (kind) {
    case qkTables:
    case qkTablesAlternative:
        sql = "SELECT t.TABLE_NAME AS RE_TABLENAME, " + SchemaColumn("t.TABLE_SCHEMA") +
              " AS RE_SCHEMANAME,\n NULLIF(t.TABLE_COMMENT, '') AS RE_COMMENT\n"
              "FROM information_schema.TABLES t\nWHERE " + in("t.TABLE_SCHEMA") +
              " AND t.TABLE_TYPE IN ('BASE TABLE', 'SYSTEM VERSIONED')\nORDER BY t.TABLE_SCHEMA, t.TABLE_NAME";
        break;
    case qkColumns: sql = ColumnsQuery(); break;
    case qkPrimaryKey: sql = PrimaryKeyQuery; break;
    case qkUniqueConstraints: sql = UniqueQuery; break;
    case qkCheckConstraints: sql = ChecksQuery; break;
    case qkTriggers: sql = TriggersQuery(Options.GetValue("DoNotReplaceNamesByParams") != "1"); break;
    case qkIndexes: sql = IndexesQuery; break;
    case qkViews:
        sql = "SELECT v.TABLE_NAME AS RE_VIEWNAME, " + SchemaColumn("v.TABLE_SCHEMA") +
              " AS RE_SCHEMANAME,\n CONCAT('CREATE ', IF(v.SECURITY_TYPE = 'INVOKER', 'SQL SECURITY INVOKER ', ''),\n"
              "   'VIEW `', REPLACE(v.TABLE_NAME, '`', '``'), '` AS ', " +
              Unqualified("v.VIEW_DEFINITION", "v.TABLE_SCHEMA") + ") AS RE_BODY\nFROM information_schema.VIEWS v\nWHERE " +
              in("v.TABLE_SCHEMA") +
              "\nORDER BY v.TABLE_SCHEMA, v.TABLE_NAME";
        break;
    case qkProcedures:
    case qkFunctions:
        // Procedures and functions alike, rebuilt as the statement that makes them.
        sql = "SELECT r.ROUTINE_NAME AS RE_PROCNAME, " + SchemaColumn("r.ROUTINE_SCHEMA") +
              " AS RE_SCHEMANAME,\n NULLIF(r.ROUTINE_COMMENT, '') AS RE_COMMENT,\n"
              " CONCAT('CREATE ', r.ROUTINE_TYPE, ' `', REPLACE(r.ROUTINE_NAME, '`', '``'), '`(',\n"
              "   IFNULL((SELECT GROUP_CONCAT(CONCAT(IF(r.ROUTINE_TYPE = 'PROCEDURE', CONCAT(p.PARAMETER_MODE, ' '), ''),\n"
              "     IF(p.PARAMETER_NAME REGEXP '^[A-Za-z_][A-Za-z0-9_]*$', p.PARAMETER_NAME,\n"
              "       CONCAT('`', REPLACE(p.PARAMETER_NAME, '`', '``'), '`')), ' ',\n"
              "     UPPER(" + Widthless("p.DTD_IDENTIFIER", "p.DATA_TYPE") + ")) ORDER BY p.ORDINAL_POSITION SEPARATOR ', ')\n"
              "     FROM information_schema.PARAMETERS p WHERE p.SPECIFIC_SCHEMA = r.ROUTINE_SCHEMA\n"
              "     AND p.SPECIFIC_NAME = r.SPECIFIC_NAME AND p.ROUTINE_TYPE = r.ROUTINE_TYPE AND p.ORDINAL_POSITION > 0), ''),\n"
              "   ')', IF(r.ROUTINE_TYPE = 'FUNCTION', CONCAT(' RETURNS ', UPPER(" +
              Widthless("r.DTD_IDENTIFIER", "r.DATA_TYPE") + ")), ''),\n"
              "   IF(r.IS_DETERMINISTIC = 'YES', ' DETERMINISTIC', ''),\n"
              "   IF(r.SQL_DATA_ACCESS = 'CONTAINS SQL', '', CONCAT(' ', r.SQL_DATA_ACCESS)), '\\n',\n"
              "   r.ROUTINE_DEFINITION) AS RE_BODY\n"
              "FROM information_schema.ROUTINES r\nWHERE " + in("r.ROUTINE_SCHEMA") +
              (kind == qkFunctions ? " AND r.ROUTINE_TYPE = 'FUNCTION'" : "") +
              "\nORDER BY r.ROUTINE_SCHEMA, r.ROUTINE_NAME";
        break;
    case qkSequences:
        sql = "SELECT t.TABLE_NAME AS RE_SEQUENCENAME, " + SchemaColumn("t.TABLE_SCHEMA") +
              " AS RE_SCHEMANAME,\n NULLIF(t.TABLE_COMMENT, '') AS RE_COMMENT\n"
              "FROM information_schema.TABLES t\nWHERE " + in("t.TABLE_SCHEMA") +
              " AND t.TABLE_TYPE = 'SEQUENCE'\nORDER BY t.TABLE_SCHEMA, t.TABLE_NAME";
        break;
    case qkRelationships:
        sql = "SELECT r.CONSTRAINT_NAME AS RE_CONNAME, " + SchemaColumn("k.TABLE_SCHEMA") +
              " AS RE_CHILDSCHEMA,\n k.TABLE_NAME AS RE_CHILD, k.COLUMN_NAME AS RE_CHILDCOLUMN, " +
              SchemaColumn("k.REFERENCED_TABLE_SCHEMA") +
              " AS RE_PARENTSCHEMA,\n k.REFERENCED_TABLE_NAME AS RE_PARENT, k.REFERENCED_COLUMN_NAME AS RE_PARENTCOLUMN,\n"
              " r.UPDATE_RULE AS RE_UPDATERULE, r.DELETE_RULE AS RE_DELETERULE\n"
              "FROM information_schema.REFERENTIAL_CONSTRAINTS r\n"
              " JOIN information_schema.KEY_COLUMN_USAGE k ON k.CONSTRAINT_SCHEMA = r.CONSTRAINT_SCHEMA\n"
              "   AND k.TABLE_NAME = r.TABLE_NAME AND k.CONSTRAINT_NAME = r.CONSTRAINT_NAME\n"
              "WHERE " + in("r.CONSTRAINT_SCHEMA") + " AND " + in("k.CONSTRAINT_SCHEMA") +
              "\nORDER BY k.TABLE_SCHEMA, k.TABLE_NAME, r.CONSTRAINT_NAME, k.ORDINAL_POSITION";
        break;
    default: sql.clear();
    }
}

TDBRowSet TMySQLConnection::Run(std::string_view sql, const std::vector<std::string>& values) {
    if (!mysql_) throw EVELError("Not connected to a database.");
    std::string text;
    text.reserve(sql.size() + 64);
    size_t mark = 0;
    for (const char c : sql) {
        if (c == '?' && !values.empty()) {
            text += '\'' + Escaped(mysql_, values[mark++ % values.size()]) + '\'';
        } else {
            text += c;
        }
    }
    if (mysql_real_query(mysql_, text.data(), text.size()) != 0) throw EVELError(mysql_error(mysql_));
    TDBRowSet rows;
    MYSQL_RES* result = mysql_store_result(mysql_);
    if (!result) {
        if (mysql_field_count(mysql_) != 0) throw EVELError(mysql_error(mysql_));
        return rows;
    }
    const unsigned count = mysql_num_fields(result);
    const MYSQL_FIELD* fields = mysql_fetch_fields(result);
    for (unsigned i = 0; i < count; ++i) rows.Columns.emplace_back(fields[i].name);
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        std::vector<TDBField>& out = rows.Rows.emplace_back();
        out.reserve(count);
        for (unsigned i = 0; i < count; ++i)
            out.push_back(row[i] ? TDBField(std::string(row[i], lengths[i])) : TDBField());
    }
    mysql_free_result(result);
    return rows;
}

std::unique_ptr<TDBScript> TMySQLConnection::CreateScript() {
    std::unique_ptr<TDBScript> script = CreateDBScript("mysql");
    script->Target = Target;
    return script;
}

std::string TMySQLConnection::QuoteIdentifier(std::string_view name) {
    return "`" + ReplaceAll(name, "`", "``") + "`";
}

std::string TMySQLConnection::QuoteName(std::string_view name) const {
    std::string out;
    for (const std::string& part : SplitString(name, '.')) out += (out.empty() ? "" : ".") + QuoteIdentifier(part);
    return out;
}

void TMySQLConnection::StartTransaction() {
    Run("START TRANSACTION", {});
}

void TMySQLConnection::Commit() {
    if (mysql_ && mysql_commit(mysql_) != 0) throw EVELError(mysql_error(mysql_));
}

std::vector<std::string> TMySQLConnection::TableValues(const TVELEntity* entity) const {
    return {entity->SchemaName.empty() ? SchemaToRead() : entity->SchemaName, entity->GetName()};
}

std::vector<std::string> TMySQLConnection::DatabaseValues() const {
    const std::string schema = SchemaToRead();
    return schema.empty() ? std::vector<std::string>() : std::vector<std::string>{schema};
}

void TMySQLConnection::ReverseEngineerSequences(TVELDataDictionary& dictionary) {
    std::string sql;
    GetSQL(qkSequences, sql);
    std::unique_ptr<TDBQuery> list = CreateQuery();
    if (!list) return;
    list->AddSQL(sql);
    list->Open();
    struct TFound {
        std::string Schema, Name, Comment;
    };
    std::vector<TFound> found;
    for (; !list->Eof(); list->Next()) {
        auto text = [&](const char* column) {
            const TDBField* f = list->FieldByName(column);
            return f ? f->AsString() : std::string();
        };
        found.push_back({text("RE_SCHEMANAME"), text("RE_SEQUENCENAME"), text("RE_COMMENT")});
    }
    list->Close();
    for (const TFound& f : found) {
        const std::string qualified = f.Schema.empty() ? f.Name : f.Schema + "." + f.Name;
        if (!IncludeObject(qualified)) continue;
        // A sequence is a table of one row that holds its settings.
        const TDBRowSet rows =
            Run("SELECT start_value, minimum_value, maximum_value, increment, cache_size, cycle_option FROM " +
                    QuoteIdentifier(f.Schema.empty() ? SchemaToRead() : f.Schema) + "." + QuoteIdentifier(f.Name),
                {});
        auto* sequence = static_cast<TVELSequence*>(NewImportedObject(dictionary, otSequence, f.Schema, f.Name));
        sequence->Comment = f.Comment;
        if (!rows.Rows.empty()) {
            const std::vector<TDBField>& row = rows.Rows[0];
            sequence->Seed = row[0].AsInteger();
            sequence->Min = row[1].AsString();
            sequence->Max = row[2].AsString();
            sequence->Increment = row[3].AsInteger();
            sequence->Cache = row[4].AsString();
            if (row[4].AsInteger() > 0) sequence->CacheCode = "CACHE";
            sequence->Cycle = row[5].AsString() == "1" ? "CYCLE" : "";
        }
        Log(mlInfo, "Adding sequence " + DoubleQuoted(f.Name) + ".");
        Added(sequence);
    }
}

}  // namespace ardvin
