#include "zInterBaseDriver.h"

#include <ibase.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBScript.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zSQLParser.h"
#include "zSequence.h"

namespace ardvin {

namespace {

// The type text of a field of RDB$FIELDS (alias f): exact numerics with a scale or a numeric
// sub-type are NUMERIC or DECIMAL with their precision, strings carry their length in
// characters (NCHAR is a character type in ISO8859_1, the national character set), text blobs
// are "BLOB SUB_TYPE TEXT".
const char* const TypeText =
    "CASE WHEN f.RDB$COMPUTED_SOURCE IS NOT NULL THEN 'COMPUTED BY ' || f.RDB$COMPUTED_SOURCE\n"
    "  WHEN f.RDB$FIELD_TYPE IN (7, 8, 16) AND (f.RDB$FIELD_SUB_TYPE IN (1, 2) OR f.RDB$FIELD_SCALE < 0)\n"
    "   THEN IIF(f.RDB$FIELD_SUB_TYPE = 2, 'DECIMAL(', 'NUMERIC(') || COALESCE(f.RDB$FIELD_PRECISION,\n"
    "     DECODE(f.RDB$FIELD_TYPE, 7, 4, 8, 9, 18)) || ',' || (-f.RDB$FIELD_SCALE) || ')'\n"
    "  ELSE DECODE(f.RDB$FIELD_TYPE, 7, 'SMALLINT', 8, 'INTEGER', 16, 'BIGINT', 10, 'FLOAT',\n"
    "   27, 'DOUBLE PRECISION', 12, 'DATE', 13, 'TIME', 35, 'TIMESTAMP', 23, 'BOOLEAN',\n"
    "   14, IIF(f.RDB$CHARACTER_SET_ID = 21, 'NCHAR(', 'CHAR(') || COALESCE(f.RDB$CHARACTER_LENGTH, f.RDB$FIELD_LENGTH) || ')',\n"
    "   37, IIF(f.RDB$CHARACTER_SET_ID = 21, 'NCHAR VARYING(', 'VARCHAR(') ||\n"
    "     COALESCE(f.RDB$CHARACTER_LENGTH, f.RDB$FIELD_LENGTH) || ')',\n"
    "   261, 'BLOB SUB_TYPE ' || IIF(f.RDB$FIELD_SUB_TYPE = 1, 'TEXT', f.RDB$FIELD_SUB_TYPE))\n"
    " END";

// "DEFAULT x" and "CHECK (x)" as the catalogue keeps them, without their key word.
std::string WithoutKeyword(const std::string& column, int length) {
    return "TRIM(SUBSTRING(TRIM(" + column + ") FROM " + std::to_string(length + 1) + "))";
}

// Fields of the user's objects: the system keeps its own with a system flag.
const char* const UserObject = "COALESCE(%1.RDB$SYSTEM_FLAG, 0) = 0";

std::string User(const std::string& alias) {
    return ReplaceAll(UserObject, "%1", alias);
}

std::string StatusText(const ISC_STATUS* status) {
    if (status[0] != 1 || status[1] == 0) return {};
    std::string text;
    char buffer[1024];
    const ISC_STATUS* vector = status;
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0) {
        if (!text.empty()) text += " / ";
        text += buffer;
    }
    return text.empty() ? "Database error." : text;
}

void Check(const ISC_STATUS* status) {
    if (status[0] == 1 && status[1] != 0) throw EVELError(StatusText(status));
}

// An XSQLDA of a number of variables.
class TDescriptor {
public:
    explicit TDescriptor(short count) { Resize(count); }
    void Resize(short count) {
        area_.assign(XSQLDA_LENGTH(std::max<short>(count, 1)), 0);
        Get()->version = SQLDA_VERSION1;
        Get()->sqln = std::max<short>(count, 1);
    }
    XSQLDA* Get() { return reinterpret_cast<XSQLDA*>(area_.data()); }

private:
    std::vector<char> area_;
};

}  // namespace

std::string FirebirdStatusText(const intptr_t* status) {
    return StatusText(status);
}

TInterBaseConnection::TInterBaseConnection() = default;

TInterBaseConnection::~TInterBaseConnection() {
    try {
        Disconnect();
    } catch (const EVELError&) {
        // A connection that fails to close leaves nothing to do.
    }
}

std::string TInterBaseConnection::ConnectionString() const {
    const std::string host = Parameters.GetValue("Host");
    const std::string port = Parameters.GetValue("Port");
    const std::string database = Parameters.GetValue("DatabaseName");
    if (host.empty()) return database;
    return host + (port.empty() ? "" : "/" + port) + ":" + database;
}

void TInterBaseConnection::Connect() {
    Disconnect();
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    auto add = [&](char item, const std::string& value) {
        if (value.empty()) return;
        dpb += item;
        dpb += static_cast<char>(std::min<size_t>(value.size(), 255));
        dpb += value.substr(0, 255);
    };
    add(isc_dpb_user_name, Parameters.GetValue("UserName"));
    add(isc_dpb_password, Parameters.GetValue("Password"));
    const std::string charset = Parameters.GetValue("CharSet");
    add(isc_dpb_lc_ctype, charset.empty() ? "UTF8" : charset);
    ISC_STATUS_ARRAY status{};
    const std::string path = ConnectionString();
    isc_db_handle db = 0;
    isc_attach_database(status, 0, path.c_str(), &db, static_cast<short>(dpb.size()), dpb.data());
    Check(status);
    db_ = db;
}

void TInterBaseConnection::Disconnect() {
    if (!db_) return;
    UnprepareAll();
    EndTransaction(true);
    ISC_STATUS_ARRAY status{};
    isc_detach_database(status, &db_);
    db_ = 0;
    Check(status);
}

void TInterBaseConnection::GetDescription(std::string& text) const {
    text = ConnectionString();
}

unsigned int* TInterBaseConnection::Transaction() {
    if (!tr_) {
        static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version,
                                   isc_tpb_wait};
        ISC_STATUS_ARRAY status{};
        isc_start_transaction(status, &tr_, 1, &db_, static_cast<unsigned short>(sizeof tpb), tpb);
        Check(status);
    }
    return &tr_;
}

void TInterBaseConnection::EndTransaction(bool commit) {
    if (!tr_) return;
    ISC_STATUS_ARRAY status{};
    if (commit)
        isc_commit_transaction(status, &tr_);
    else
        isc_rollback_transaction(status, &tr_);
    tr_ = 0;
    Check(status);
}

void TInterBaseConnection::StartTransaction() {
    Transaction();
}

void TInterBaseConnection::Commit() {
    EndTransaction(true);
}

// A statement prepared once, with the descriptions of its values and of its result.
struct TInterBaseConnection::TPrepared {
    isc_stmt_handle Handle = 0;
    TDescriptor Out{16};
    TDescriptor In{8};
};

TInterBaseConnection::TPrepared& TInterBaseConnection::Prepare(const std::string& sql) {
    if (const auto it = prepared_.find(sql); it != prepared_.end()) return *it->second;
    auto statement = std::make_unique<TPrepared>();
    ISC_STATUS_ARRAY status{};
    isc_dsql_allocate_statement(status, &db_, &statement->Handle);
    Check(status);
    // Kept in the list from here on, so that a failing preparation frees it.
    TPrepared& p = *prepared_.emplace(sql, std::move(statement)).first->second;
    try {
        isc_dsql_prepare(status, Transaction(), &p.Handle, 0, sql.c_str(), SQL_DIALECT_V6, p.Out.Get());
        Check(status);
        if (p.Out.Get()->sqld > p.Out.Get()->sqln) {
            p.Out.Resize(p.Out.Get()->sqld);
            isc_dsql_describe(status, &p.Handle, SQL_DIALECT_V6, p.Out.Get());
            Check(status);
        }
        isc_dsql_describe_bind(status, &p.Handle, SQL_DIALECT_V6, p.In.Get());
        Check(status);
        if (p.In.Get()->sqld > p.In.Get()->sqln) {
            p.In.Resize(p.In.Get()->sqld);
            isc_dsql_describe_bind(status, &p.Handle, SQL_DIALECT_V6, p.In.Get());
            Check(status);
        }
    } catch (...) {
        Unprepare(sql);
        throw;
    }
    return p;
}

void TInterBaseConnection::Unprepare(const std::string& sql) {
    const auto it = prepared_.find(sql);
    if (it == prepared_.end()) return;
    ISC_STATUS_ARRAY ignored{};
    if (it->second->Handle) isc_dsql_free_statement(ignored, &it->second->Handle, DSQL_drop);
    prepared_.erase(it);
}

void TInterBaseConnection::UnprepareAll() {
    while (!prepared_.empty()) Unprepare(prepared_.begin()->first);
}

TDBRowSet TInterBaseConnection::Run(std::string_view sql, const std::vector<std::string>& values) {
    if (!db_) throw EVELError("Not connected to a database.");
    ISC_STATUS_ARRAY status{};
    unsigned int* tr = Transaction();
    // Queries stay prepared for the next call (the catalogue queries of a table run once per
    // table); other statements are freed after they ran.
    const std::string text(sql);
    TPrepared& prepared = Prepare(text);
    isc_stmt_handle& stmt = prepared.Handle;
    const bool keep = prepared.Out.Get()->sqld > 0;
    struct TRelease {
        TInterBaseConnection& Connection;
        const std::string& Text;
        isc_stmt_handle& Handle;
        bool Keep;
        ~TRelease() {
            ISC_STATUS_ARRAY ignored{};
            if (Keep)
                isc_dsql_free_statement(ignored, &Handle, DSQL_close);
            else
                Connection.Unprepare(Text);
        }
    } release{*this, text, stmt, keep};
    TDescriptor& out = prepared.Out;
    TDescriptor& in = prepared.In;

    // The marks, each bound to its value as text; the engine converts.
    const short marks = in.Get()->sqld;
    if (marks > 0 && values.empty()) throw EVELError("A query of the driver lacks its values.");
    std::vector<std::string> bound(static_cast<size_t>(marks));
    for (short i = 0; i < marks; ++i) {
        bound[i] = values[static_cast<size_t>(i) % values.size()];
        XSQLVAR& v = in.Get()->sqlvar[i];
        v.sqltype = SQL_TEXT;
        v.sqlsubtype = 0;
        v.sqlscale = 0;
        v.sqllen = static_cast<short>(std::min<size_t>(bound[i].size(), 32765));
        v.sqldata = bound[i].data();
        v.sqlind = nullptr;
    }

    XSQLDA* o = out.Get();
    const short columns = o->sqld;
    std::vector<std::vector<char>> buffers(static_cast<size_t>(columns));
    std::vector<short> nulls(static_cast<size_t>(columns));
    TDBRowSet rows;
    for (short i = 0; i < columns; ++i) {
        XSQLVAR& v = o->sqlvar[i];
        rows.Columns.emplace_back(v.aliasname, static_cast<size_t>(v.aliasname_length));
        if ((v.sqltype & ~1) == SQL_BLOB) {
            buffers[i].assign(sizeof(ISC_QUAD), 0);
        } else {
            // Every other value is fetched as text: the engine converts it.
            const short width = static_cast<short>(std::clamp<int>(v.sqllen, 64, 32765));
            buffers[i].assign(static_cast<size_t>(width) + sizeof(short), 0);
            v.sqltype = SQL_VARYING;
            v.sqllen = width;
            v.sqlscale = 0;
            v.sqlsubtype = 0;
        }
        v.sqltype |= 1;
        v.sqldata = buffers[i].data();
        v.sqlind = &nulls[i];
    }
    isc_dsql_execute(status, tr, &stmt, SQL_DIALECT_V6, marks > 0 ? in.Get() : nullptr);
    Check(status);
    if (columns == 0) return rows;

    ISC_STATUS fetched = 0;
    while ((fetched = isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, o)) == 0) {
        std::vector<TDBField>& row = rows.Rows.emplace_back();
        for (short i = 0; i < columns; ++i) {
            if (nulls[i]) {
                row.emplace_back();
                continue;
            }
            if ((o->sqlvar[i].sqltype & ~1) == SQL_BLOB) {
                ISC_QUAD id;
                std::memcpy(&id, buffers[i].data(), sizeof id);
                isc_blob_handle blob = 0;
                isc_open_blob2(status, &db_, tr, &blob, &id, 0, nullptr);
                Check(status);
                std::string value;
                char segment[8192];
                for (;;) {
                    unsigned short length = 0;
                    const ISC_STATUS result = isc_get_segment(status, &blob, &length, sizeof segment, segment);
                    if (result != 0 && status[1] != isc_segment) break;
                    value.append(segment, length);
                }
                const bool end = status[1] == isc_segstr_eof;
                ISC_STATUS_ARRAY closing{};
                isc_close_blob(closing, &blob);
                if (!end) Check(status);
                row.emplace_back(std::move(value));
                continue;
            }
            short length = 0;
            std::memcpy(&length, buffers[i].data(), sizeof length);
            row.emplace_back(std::string(buffers[i].data() + sizeof(short), static_cast<size_t>(length)));
        }
    }
    if (fetched != 100) Check(status);
    return rows;
}

std::unique_ptr<TDBScript> TInterBaseConnection::CreateScript() {
    std::unique_ptr<TDBScript> script = CreateDBScript("interbase");
    script->Target = Target;
    return script;
}

std::string TInterBaseConnection::QuoteIdentifier(std::string_view name) {
    return "\"" + ReplaceAll(name, "\"", "\"\"") + "\"";
}

void TInterBaseConnection::GetSQL(int kind, std::string& sql) const {
    switch (kind) {
    case qkTables:
    case qkTablesAlternative:
        sql = "SELECT TRIM(r.RDB$RELATION_NAME) AS RE_TABLENAME, r.RDB$DESCRIPTION AS RE_COMMENT\n"
              "FROM RDB$RELATIONS r\nWHERE " + User("r") +
              " AND r.RDB$VIEW_BLR IS NULL\nORDER BY r.RDB$RELATION_NAME";
        break;
    case qkColumns:
        // A column of a domain has the domain's name as its type.
        sql = std::string("SELECT TRIM(rf.RDB$FIELD_NAME) AS RE_COLUMNNAME, rf.RDB$FIELD_POSITION AS RE_POS,\n"
                          " IIF(COALESCE(rf.RDB$NULL_FLAG, 0) = 1, '1', '0') AS RE_REQUIRED,\n"
                          " IIF(rf.RDB$FIELD_SOURCE STARTING WITH 'RDB$', NULL, TRIM(rf.RDB$FIELD_SOURCE)) AS RE_DATATYPE,\n"
                          " IIF(rf.RDB$FIELD_SOURCE STARTING WITH 'RDB$', ") +
              TypeText + ", NULL) AS RE_SCRIPTDATATYPE,\n " + WithoutKeyword("rf.RDB$DEFAULT_SOURCE", 7) +
              " AS RE_DEFAULTVALUE,\n"
              " rf.RDB$DESCRIPTION AS RE_COMMENT,\n"
              " IIF(rf.RDB$IDENTITY_TYPE IS NULL, '0', '1') AS RE_AUTONUMBER,\n"
              // Firebird 3 hands out the stored start value plus one first; the model's seed is
              // that first number. The largest start value is left as it is rather than overflow.
              " (SELECT g.RDB$INITIAL_VALUE + IIF(g.RDB$INITIAL_VALUE < 9223372036854775807, 1, 0)\n"
              "   FROM RDB$GENERATORS g WHERE g.RDB$GENERATOR_NAME = rf.RDB$GENERATOR_NAME) AS RE_SEED,\n"
              " TRIM(co.RDB$COLLATION_NAME) AS RE_COLLATION\n"
              "FROM RDB$RELATION_FIELDS rf\n"
              " JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE\n"
              " LEFT JOIN RDB$COLLATIONS co ON co.RDB$COLLATION_ID = rf.RDB$COLLATION_ID\n"
              "   AND co.RDB$CHARACTER_SET_ID = f.RDB$CHARACTER_SET_ID AND rf.RDB$COLLATION_ID > 0\n"
              "WHERE rf.RDB$RELATION_NAME = ?\nORDER BY rf.RDB$FIELD_POSITION";
        break;
    case qkPrimaryKey:
    case qkUniqueConstraints:
        // The outer join keeps the engine to the constraints of the table first.
        sql = std::string("SELECT TRIM(c.RDB$CONSTRAINT_NAME) AS RE_CONNAME, TRIM(s.RDB$FIELD_NAME) AS RE_COLUMNNAME,\n"
                          " s.RDB$FIELD_POSITION AS RE_POS\n"
                          "FROM RDB$RELATION_CONSTRAINTS c\n"
                          " LEFT JOIN RDB$INDEX_SEGMENTS s ON s.RDB$INDEX_NAME = c.RDB$INDEX_NAME\n"
                          "WHERE c.RDB$RELATION_NAME = ? AND s.RDB$FIELD_NAME IS NOT NULL AND c.RDB$CONSTRAINT_TYPE = ") +
              (kind == qkPrimaryKey ? "'PRIMARY KEY'" : "'UNIQUE'") +
              "\nORDER BY c.RDB$CONSTRAINT_NAME, s.RDB$FIELD_POSITION";
        break;
    case qkCheckConstraints:
        // A check is kept as the text of the triggers that enforce it (one for inserts, one
        // for updates). The outer joins keep the engine to this order: the constraints of the
        // table first (the catalogue has no statistics to choose by).
        sql = "SELECT TRIM(c.RDB$CONSTRAINT_NAME) AS RE_CONNAME, " + WithoutKeyword("t.RDB$TRIGGER_SOURCE", 5) +
              " AS RE_CONSTRAINT\n"
              "FROM RDB$RELATION_CONSTRAINTS c\n"
              " LEFT JOIN RDB$CHECK_CONSTRAINTS cc ON cc.RDB$CONSTRAINT_NAME = c.RDB$CONSTRAINT_NAME\n"
              " LEFT JOIN RDB$TRIGGERS t ON t.RDB$TRIGGER_NAME = cc.RDB$TRIGGER_NAME AND t.RDB$TRIGGER_TYPE = 1\n"
              "WHERE c.RDB$RELATION_NAME = ? AND c.RDB$CONSTRAINT_TYPE = 'CHECK' AND t.RDB$TRIGGER_NAME IS NOT NULL\n"
              "ORDER BY c.RDB$CONSTRAINT_NAME";
        break;
    case qkTriggers:
        sql = "SELECT TRIM(t.RDB$TRIGGER_NAME) AS RE_TRIGGERNAME, t.RDB$DESCRIPTION AS RE_COMMENT,\n"
              " 'CREATE TRIGGER \"' || REPLACE(TRIM(t.RDB$TRIGGER_NAME), '\"', '\"\"') || '\" FOR ' || " +
              (Options.GetValue("DoNotReplaceNamesByParams") == "1"
                   ? std::string("'\"' || REPLACE(TRIM(t.RDB$RELATION_NAME), '\"', '\"\"') || '\"'")
                   : std::string("'%tablename%'")) +
              " || ASCII_CHAR(10) ||\n"
              "   TRIM(IIF(COALESCE(t.RDB$TRIGGER_INACTIVE, 0) = 1, 'INACTIVE', 'ACTIVE')) || ' ' ||\n"
              "   TRIM(IIF(MOD(t.RDB$TRIGGER_TYPE + 1, 2) = 0, 'BEFORE', 'AFTER')) || ' ' ||\n"
              "   TRIM(DECODE(t.RDB$TRIGGER_TYPE, 1, 'INSERT', 2, 'INSERT', 3, 'UPDATE', 4, 'UPDATE', 5, 'DELETE', 6, 'DELETE',\n"
              "     17, 'INSERT OR UPDATE', 18, 'INSERT OR UPDATE', 25, 'INSERT OR DELETE', 26, 'INSERT OR DELETE',\n"
              "     27, 'UPDATE OR INSERT', 28, 'UPDATE OR INSERT', 29, 'UPDATE OR DELETE', 30, 'UPDATE OR DELETE',\n"
              "     41, 'DELETE OR INSERT', 42, 'DELETE OR INSERT', 43, 'DELETE OR UPDATE', 44, 'DELETE OR UPDATE',\n"
              "     113, 'INSERT OR UPDATE OR DELETE', 114, 'INSERT OR UPDATE OR DELETE')) ||\n"
              "   ' POSITION ' || t.RDB$TRIGGER_SEQUENCE || ASCII_CHAR(10) || t.RDB$TRIGGER_SOURCE AS RE_BODY\n"
              "FROM RDB$TRIGGERS t\n"
              "WHERE t.RDB$RELATION_NAME = ? AND " + User("t") +
              "\n AND NOT EXISTS (SELECT 1 FROM RDB$CHECK_CONSTRAINTS cc WHERE cc.RDB$TRIGGER_NAME = t.RDB$TRIGGER_NAME)\n"
              "ORDER BY t.RDB$TRIGGER_SEQUENCE, t.RDB$TRIGGER_NAME";
        break;
    case qkIndexes:
        // The indexes of keys and foreign keys belong to their constraints. An index on an
        // expression has no segments and gives its expression instead of a column.
        sql = "SELECT TRIM(i.RDB$RELATION_NAME) AS RE_TABLENAME, TRIM(i.RDB$INDEX_NAME) AS RE_INDEXNAME,\n"
              " COALESCE(TRIM(s.RDB$FIELD_NAME), " + WithoutKeyword("i.RDB$EXPRESSION_SOURCE", 0) +
              ") AS RE_COLUMNNAME,\n"
              " IIF(COALESCE(i.RDB$INDEX_TYPE, 0) = 1, 'DESC', NULL) AS RE_SORTOPTION,\n"
              " IIF(COALESCE(i.RDB$UNIQUE_FLAG, 0) = 1, 'UNIQUE', NULL) AS RE_INDEXTYPE,\n"
              " i.RDB$DESCRIPTION AS RE_COMMENT\n"
              "FROM RDB$INDICES i\n"
              " LEFT JOIN RDB$INDEX_SEGMENTS s ON s.RDB$INDEX_NAME = i.RDB$INDEX_NAME\n"
              "WHERE i.RDB$RELATION_NAME = ? AND " + User("i") +
              "\n AND NOT EXISTS (SELECT 1 FROM RDB$RELATION_CONSTRAINTS c WHERE c.RDB$INDEX_NAME = i.RDB$INDEX_NAME)\n"
              "ORDER BY i.RDB$INDEX_NAME, s.RDB$FIELD_POSITION";
        break;
    case qkViews:
        sql = "SELECT TRIM(r.RDB$RELATION_NAME) AS RE_VIEWNAME, r.RDB$DESCRIPTION AS RE_COMMENT,\n"
              " 'CREATE VIEW \"' || REPLACE(TRIM(r.RDB$RELATION_NAME), '\"', '\"\"') || '\" AS ' ||\n"
              "   TRIM(r.RDB$VIEW_SOURCE) AS RE_BODY\n"
              "FROM RDB$RELATIONS r\nWHERE " + User("r") +
              " AND r.RDB$VIEW_BLR IS NOT NULL\nORDER BY r.RDB$RELATION_NAME";
        break;
    case qkProcedures:
    case qkFunctions: {
        // Procedures and functions, as the statements that make them with their parameters;
        // a parameter name that needs no quotes is written without them.
        const std::string name = "IIF(TRIM(p.RDB$NAME) SIMILAR TO '[A-Z][A-Z0-9_$]*', TRIM(p.RDB$NAME),\n"
                                 "   '\"' || REPLACE(TRIM(p.RDB$NAME), '\"', '\"\"') || '\"')";
        auto list = [&](const std::string& parameters) {
            return "(SELECT LIST(" + name + " || ' ' || " + std::string(TypeText) + ", ', ') FROM (" + parameters +
                   ") p JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = p.RDB$FIELD_SOURCE)";
        };
        auto procedureParameters = [](int type) {
            return "SELECT p0.RDB$PARAMETER_NAME AS RDB$NAME, p0.RDB$FIELD_SOURCE FROM RDB$PROCEDURE_PARAMETERS p0 "
                   "WHERE p0.RDB$PROCEDURE_NAME = r.RDB$PROCEDURE_NAME AND p0.RDB$PARAMETER_TYPE = " +
                   std::to_string(type) + " ORDER BY p0.RDB$PARAMETER_NUMBER";
        };
        const std::string functionArguments =
            "SELECT a0.RDB$ARGUMENT_NAME AS RDB$NAME, a0.RDB$FIELD_SOURCE FROM RDB$FUNCTION_ARGUMENTS a0 "
            "WHERE a0.RDB$FUNCTION_NAME = r.RDB$FUNCTION_NAME AND a0.RDB$PACKAGE_NAME IS NULL "
            "AND a0.RDB$ARGUMENT_POSITION > 0 ORDER BY a0.RDB$ARGUMENT_POSITION";
        const std::string returns =
            "(SELECT " + std::string(TypeText) + " FROM RDB$FUNCTION_ARGUMENTS a JOIN RDB$FIELDS f ON "
            "f.RDB$FIELD_NAME = a.RDB$FIELD_SOURCE WHERE a.RDB$FUNCTION_NAME = r.RDB$FUNCTION_NAME AND "
            "a.RDB$PACKAGE_NAME IS NULL AND a.RDB$ARGUMENT_POSITION = r.RDB$RETURN_ARGUMENT)";
        sql = "SELECT TRIM(r.RDB$PROCEDURE_NAME) AS RE_PROCNAME, r.RDB$DESCRIPTION AS RE_COMMENT,\n"
              " 'CREATE PROCEDURE \"' || REPLACE(TRIM(r.RDB$PROCEDURE_NAME), '\"', '\"\"') || '\"' ||\n"
              "   COALESCE(' (' || " + list(procedureParameters(0)) + " || ')', '') ||\n"
              "   COALESCE(ASCII_CHAR(10) || 'RETURNS (' || " + list(procedureParameters(1)) + " || ')', '') ||\n"
              "   ASCII_CHAR(10) || 'AS' || ASCII_CHAR(10) || r.RDB$PROCEDURE_SOURCE AS RE_BODY\n"
              "FROM RDB$PROCEDURES r\nWHERE " + User("r") + " AND r.RDB$PACKAGE_NAME IS NULL\n"
              "UNION ALL\n"
              "SELECT TRIM(r.RDB$FUNCTION_NAME), r.RDB$DESCRIPTION,\n"
              " 'CREATE FUNCTION \"' || REPLACE(TRIM(r.RDB$FUNCTION_NAME), '\"', '\"\"') || '\"' ||\n"
              "   COALESCE(' (' || " + list(functionArguments) + " || ')', '') ||\n"
              "   ' RETURNS ' || " + returns + " ||\n"
              "   ASCII_CHAR(10) || 'AS' || ASCII_CHAR(10) || r.RDB$FUNCTION_SOURCE\n"
              "FROM RDB$FUNCTIONS r\nWHERE " + User("r") +
              " AND r.RDB$PACKAGE_NAME IS NULL AND r.RDB$MODULE_NAME IS NULL\nORDER BY 1";
        if (kind == qkFunctions) sql.clear();
        break;
    }
    case qkDomains:
        sql = "SELECT TRIM(f.RDB$FIELD_NAME) AS RE_DOMAINNAME, " + std::string(TypeText) +
              " AS RE_SCRIPTDATATYPE,\n"
              " IIF(COALESCE(f.RDB$NULL_FLAG, 0) = 1, '1', '0') AS RE_REQUIRED,\n " +
              WithoutKeyword("f.RDB$DEFAULT_SOURCE", 7) + " AS RE_DEFAULTVALUE,\n " +
              WithoutKeyword("f.RDB$VALIDATION_SOURCE", 5) + " AS RE_CHECKCONSTRAINT,\n"
              " f.RDB$DESCRIPTION AS RE_COMMENT\n"
              "FROM RDB$FIELDS f\nWHERE " + User("f") +
              " AND f.RDB$FIELD_NAME NOT STARTING WITH 'RDB$'\nORDER BY f.RDB$FIELD_NAME";
        break;
    case qkSequences:
        sql = "SELECT TRIM(g.RDB$GENERATOR_NAME) AS RE_SEQUENCENAME, g.RDB$DESCRIPTION AS RE_COMMENT,\n"
              " g.RDB$INITIAL_VALUE AS RE_SEED, g.RDB$GENERATOR_INCREMENT AS RE_INCREMENT\n"
              "FROM RDB$GENERATORS g\nWHERE " + User("g") + "\nORDER BY g.RDB$GENERATOR_NAME";
        break;
    case qkRelationships:
        // The n-th column of the foreign key's index pairs with the n-th column of the key
        // it refers to.
        sql = "SELECT TRIM(fk.RDB$CONSTRAINT_NAME) AS RE_CONNAME, TRIM(fk.RDB$RELATION_NAME) AS RE_CHILD,\n"
              " TRIM(fs.RDB$FIELD_NAME) AS RE_CHILDCOLUMN, TRIM(pk.RDB$RELATION_NAME) AS RE_PARENT,\n"
              " TRIM(ps.RDB$FIELD_NAME) AS RE_PARENTCOLUMN, TRIM(rc.RDB$UPDATE_RULE) AS RE_UPDATERULE,\n"
              " TRIM(rc.RDB$DELETE_RULE) AS RE_DELETERULE\n"
              "FROM RDB$RELATION_CONSTRAINTS fk\n"
              " JOIN RDB$REF_CONSTRAINTS rc ON rc.RDB$CONSTRAINT_NAME = fk.RDB$CONSTRAINT_NAME\n"
              " JOIN RDB$RELATION_CONSTRAINTS pk ON pk.RDB$CONSTRAINT_NAME = rc.RDB$CONST_NAME_UQ\n"
              " JOIN RDB$INDEX_SEGMENTS fs ON fs.RDB$INDEX_NAME = fk.RDB$INDEX_NAME\n"
              " JOIN RDB$INDEX_SEGMENTS ps ON ps.RDB$INDEX_NAME = pk.RDB$INDEX_NAME\n"
              "   AND ps.RDB$FIELD_POSITION = fs.RDB$FIELD_POSITION\n"
              "WHERE fk.RDB$CONSTRAINT_TYPE = 'FOREIGN KEY'\n"
              "ORDER BY fk.RDB$RELATION_NAME, fk.RDB$CONSTRAINT_NAME, fs.RDB$FIELD_POSITION";
        break;
    default: sql.clear();
    }
}

TVELAttribute* TInterBaseConnection::AddColumn(TVELEntity* entity, const TDBQuery& query) {
    TVELAttribute* attribute = TDBBoundConnection::AddColumn(entity, query);
    // A column of a domain has a default of its own only when the catalogue gives one.
    if (const TDBField* def = query.FieldByName("RE_DEFAULTVALUE"); attribute->GetDomain() && (!def || def->IsNull()))
        attribute->SetDefaultValue("");
    return attribute;
}

void TInterBaseConnection::ReverseEngineerIndexes(TVELEntity* entity) {
    TDBBoundConnection::ReverseEngineerIndexes(entity);
    if (entity->Indexes.Count() == 0) return;
    // An index is descending as a whole; the catalogue keeps an index expression in parentheses.
    const TDBRowSet descending =
        Run("SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES WHERE RDB$RELATION_NAME = ? AND RDB$INDEX_TYPE = 1",
            {entity->GetName()});
    for (int i = 0; i < entity->Indexes.Count(); ++i) {
        auto* index = static_cast<TVELIndex*>(entity->Indexes.Items(i));
        for (const std::vector<TDBField>& row : descending.Rows)
            if (row[0].AsString() == index->GetName()) index->IndexSortOption = "DESCENDING";
        for (int c = 0; c < index->Columns.Count(); ++c)
            if (TVELIndexColumn* column = index->Column(c); column->IsExpression)
                column->Expression = StripEnclosingParentheses(column->Expression, 1);
    }
}

void TInterBaseConnection::ReverseEngineerSequences(TVELDataDictionary& dictionary) {
    std::string sql;
    GetSQL(qkSequences, sql);
    if (!db_) return;
    const TDBRowSet rows = Run(sql, {});
    for (const std::vector<TDBField>& row : rows.Rows) {
        const std::string name = row[0].AsString();
        if (name.empty() || !IncludeObject(name)) continue;
        auto* sequence = static_cast<TVELSequence*>(NewImportedObject(dictionary, otSequence, "", name));
        sequence->Comment = row[1].AsString();
        if (!row[3].IsNull()) sequence->Increment = row[3].AsInteger();
        // The first number of a Firebird 3 sequence is its stored start value plus the increment;
        // that first number is the model's seed.
        int64_t start = 0;
        if (TryStrToInt64(row[2].AsString(), start) && start >= INT32_MIN && start <= INT32_MAX) {
            const int64_t first = start + sequence->Increment;
            if (first >= INT32_MIN && first <= INT32_MAX) sequence->Seed = static_cast<int32_t>(first);
        }
        Log(mlInfo, "Adding sequence " + DoubleQuoted(name) + ".");
        Added(sequence);
    }
}

}  // namespace ardvin
