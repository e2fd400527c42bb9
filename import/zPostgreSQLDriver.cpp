#include "zPostgreSQLDriver.h"

#include <libpq-fe.h>

#include <algorithm>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBScript.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zRelationship.h"
#include "zSQLParser.h"
#include "zSequence.h"

namespace ardvin {

namespace {

// Schemas of the server's own, and those of TOAST data and temporary tables.
const char* const OtherSystemSchemas = " AND n.nspname !~ '^pg_(toast|temp_|toast_temp_)'";

// Objects that belong to an extension are the extension's, not the database's design.
std::string NotOfExtension(const char* catalogue, const char* oid) {
    return std::string(" AND NOT EXISTS (SELECT 1 FROM pg_depend e WHERE e.classid = '") + catalogue +
           "'::regclass AND e.objid = " + oid + " AND e.deptype = 'e')";
}

// The tables being read, for the queries over the members of tables.
const char* const ImportedTables = " JOIN unnest(%schemas::text[], %tables::text[]) AS w(s, t) ON n.nspname = "
                                   "coalesce(NULLIF(w.s, ''), %defaultschema) AND c.relname = w.t";

// Storage options ("fillfactor=70") as a WITH clause ("WITH (fillfactor = 70)").
std::string WithOptions(const char* column) {
    return std::string("CASE WHEN ") + column + " IS NOT NULL THEN 'WITH (' || array_to_string(ARRAY(SELECT " +
           "regexp_replace(o, '=', ' = ') FROM unnest(" + column + ") AS o), ', ') || ')' END";
}

std::string TableKey(std::string_view schema, std::string_view table) {
    std::string key(schema);
    key += '\n';
    key += table;
    return key;
}

bool IdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Replaces the placeholders of a query text by parameters $1, $2 ... in the order of their
// first use, and appends their values to params.
std::string BindPlaceholders(std::string_view sql, const std::vector<std::pair<std::string, std::string>>& values,
                             TPGParams& params) {
    std::string out;
    out.reserve(sql.size());
    std::vector<int> numbers(values.size(), 0);
    for (size_t i = 0; i < sql.size();) {
        bool replaced = false;
        if (sql[i] == '%') {
            for (size_t v = 0; v < values.size(); ++v) {
                const std::string& token = values[v].first;
                const size_t end = i + token.size();
                if (sql.compare(i, token.size(), token) != 0 || (end < sql.size() && IdentifierChar(sql[end])))
                    continue;
                if (numbers[v] == 0) {
                    params.emplace_back(values[v].second);
                    numbers[v] = static_cast<int>(params.size());
                }
                out += "($" + std::to_string(numbers[v]) + "::text)";
                i = end;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += sql[i++];
    }
    return out;
}

// "(name)" at the end of a text becomes "name" when the parentheses hold one name or literal
// and are not the arguments of a function.
void UnwrapOperand(std::string& text) {
    if (text.size() < 3 || text.back() != ')') return;
    const size_t open = text.rfind('(');
    if (open == std::string::npos || (open > 0 && IdentifierChar(text[open - 1]))) return;
    const std::string_view inner = std::string_view(text).substr(open + 1, text.size() - open - 2);
    // One literal or quoted name: inside, its quote character comes only doubled.
    bool quoted = inner.size() >= 2 && (inner.front() == '\'' || inner.front() == '"') && inner.back() == inner.front();
    for (size_t i = 1; quoted && i + 1 < inner.size(); ++i)
        if (inner[i] == inner.front()) {
            if (i + 2 < inner.size() && inner[i + 1] == inner.front())
                ++i;
            else
                quoted = false;
        }
    const bool simple = !inner.empty() && std::all_of(inner.begin(), inner.end(), [](char c) {
        return IdentifierChar(c) || c == '.' || c == '-' || static_cast<unsigned char>(c) >= 128;
    });
    if (!quoted && !simple) return;
    text.pop_back();
    text.erase(open, 1);
}

// Removes the casts the server adds to literals and sequence names in defaults and checks
// ("'a'::text", "nextval('s'::regclass)"), outside of literals.
std::string WithoutCasts(std::string_view text) {
    static const char* const casts[] = {"::character varying", "::regclass", "::text", "::date", "::numeric",
                                        "::bpchar"};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\'' || c == '"') {
            size_t end = i + 1;
            while (end < text.size()) {
                if (text[end] == c) {
                    if (end + 1 < text.size() && text[end + 1] == c) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            end = std::min(end + 1, text.size());
            out.append(text.substr(i, end - i));
            i = end;
            continue;
        }
        bool cut = false;
        if (c == ':')
            for (const char* cast : casts) {
                const std::string_view castText(cast);
                const size_t end = i + castText.size();
                if (text.compare(i, castText.size(), castText) == 0 && (end >= text.size() || !IdentifierChar(text[end]))) {
                    UnwrapOperand(out);
                    i = end;
                    cut = true;
                    break;
                }
            }
        if (!cut) out += text[i++];
    }
    return out;
}

std::string FirstLines(std::string_view message) {
    std::string text = Trim(message);
    // libpq indents its hints with a tab.
    return ReplaceAll(text, "\n\t", "\n");
}

} // namespace

std::string PGTextArray(const std::vector<std::string>& items) {
    std::string out = "{";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        out += '"';
        for (const char c : items[i]) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        out += '"';
    }
    out += '}';
    return out;
}

std::string PostgreSQLConnectError(std::string_view libpqMessage, std::string_view database, std::string_view host,
                                   std::string_view user, bool passwordNeeded, bool passwordGiven) {
    std::string text = "Unable to connect to the PostgreSQL database " + DoubleQuoted(database);
    if (!host.empty()) text += " on " + DoubleQuoted(host);
    text += ":\n" + FirstLines(libpqMessage);
    const std::string who = user.empty() ? std::string("the user") : "user " + DoubleQuoted(user);
    if (passwordNeeded && !passwordGiven)
        text += "\nThe server asks for a password for " + who +
                ". Give it in the connection parameters, in the environment variable PGPASSWORD or in the password "
                "file ~/.pgpass.";
    else if (passwordGiven && libpqMessage.find("password authentication failed") != std::string_view::npos)
        text += "\nThe server refused the password for " + who + ". Check the user name and the password.";
    return text;
}

// ---- queries -----------------------------------------------------------------------------------------

TPostgreSQLQuery::TPostgreSQLQuery(TPostgreSQLConnection& connection)
    : TDBMemoryQuery([this](const std::string& sql) { return connection_.Select(sql, Params); }),
      connection_(connection) {}

void TPostgreSQLQuery::ExecSQL() {
    connection_.ExecSQL(SQLText(), Params);
}

// ---- the connection ----------------------------------------------------------------------------------

TPostgreSQLConnection::TPostgreSQLConnection() {
    SystemSchemas = {"pg_catalog", "information_schema"};
}

TPostgreSQLConnection::~TPostgreSQLConnection() {
    Disconnect();
}

void TPostgreSQLConnection::Initialize() {
    tableRows_.clear();
    tables_.clear();
    foreignKeys_ = TDBRowSet();
}

void TPostgreSQLConnection::GetDescription(std::string& text) const {
    text = Parameters.GetValue("DatabaseName") + " on " + Parameters.GetValue("Host");
}

void TPostgreSQLConnection::GetSystemSchemaList(std::string& text) const {
    text = "(";
    for (size_t i = 0; i < SystemSchemas.size(); ++i)
        text += (i ? ",'" : "'") + ReplaceAll(SystemSchemas[i], "'", "''") + "'";
    text += ")";
}

void TPostgreSQLConnection::GetSQL(int kind, std::string& sql) const {
    std::string schemaClause;
    if (!Trim(Parameters.GetValue("SCHEMANAME")).empty()) {
        schemaClause = " AND n.nspname = %schemaname";
    } else {
        GetSystemSchemaList(schemaClause);
        schemaClause = " AND n.nspname NOT IN " + schemaClause + OtherSystemSchemas;
    }
    const std::string tableOf = " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace";
    // Objects of the target's default schema are the model's objects without a schema.
    const std::string schema = "NULLIF(n.nspname, %defaultschema)";
    const std::string tableColumns = "SELECT " + schema + " AS re_schemaname, c.relname AS re_tablename";
    switch (kind) {
    case qkTables:
    case qkTablesAlternative:
        sql = tableColumns + ", obj_description(c.oid, 'pg_class') AS re_comment, " + WithOptions("c.reloptions") +
              " AS re_tableoptions" + tableOf + " WHERE c.relkind IN ('r', 'p') AND NOT c.relispartition" +
              schemaClause + NotOfExtension("pg_class", "c.oid") + " ORDER BY n.nspname, c.relname";
        break;
    case qkColumns:
        // Identity columns carry their sequence's start and step in the type text; a serial
        // column (an integer whose default draws from the sequence it owns) reads as serial.
        sql = tableColumns +
              ", a.attname AS re_columnname, a.attnum AS re_pos, a.attnotnull::int AS re_required"
              ", col_description(c.oid, a.attnum) AS re_comment"
              ", CASE WHEN serial THEN CASE t.typname WHEN 'int2' THEN 'smallserial' WHEN 'int8' THEN 'bigserial' "
              "ELSE 'serial' END ELSE format_type(a.atttypid, a.atttypmod) || CASE a.attidentity WHEN 'a' THEN "
              "' GENERATED ALWAYS AS IDENTITY' WHEN 'd' THEN ' GENERATED BY DEFAULT AS IDENTITY' ELSE '' END || "
              "CASE WHEN a.attidentity <> '' THEN ' (START WITH ' || q.seqstart || ' INCREMENT BY ' || "
              "q.seqincrement || ')' ELSE '' END END AS re_scriptdatatype"
              ", CASE WHEN a.attgenerated = '' AND NOT serial THEN pg_get_expr(d.adbin, d.adrelid) END "
              "AS re_defaultvalue"
              ", NULL AS re_columnoptions, CASE WHEN a.attgenerated = 's' THEN pg_get_expr(d.adbin, d.adrelid) END "
              "AS re_generated"
              ", CASE WHEN a.attcollation <> t.typcollation THEN quote_ident(co.collname) END AS re_collation" +
              tableOf + ImportedTables +
              " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped"
              " JOIN pg_type t ON t.oid = a.atttypid"
              " LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum"
              " LEFT JOIN pg_collation co ON co.oid = a.attcollation"
              " LEFT JOIN LATERAL (SELECT o.objid, o.deptype FROM pg_depend o JOIN pg_class oc ON oc.oid = o.objid "
              "AND oc.relkind = 'S' WHERE o.refclassid = 'pg_class'::regclass AND o.refobjid = c.oid AND "
              "o.refobjsubid = a.attnum AND o.classid = 'pg_class'::regclass AND o.deptype IN ('a', 'i') LIMIT 1) "
              "AS o ON true"
              " LEFT JOIN pg_sequence q ON q.seqrelid = o.objid"
              " CROSS JOIN LATERAL (SELECT coalesce(a.attidentity = '' AND o.deptype = 'a' AND t.typname IN "
              "('int2', 'int4', 'int8') AND pg_get_expr(d.adbin, d.adrelid) = 'nextval(' || "
              "quote_literal(o.objid::regclass::text) || '::regclass)', false) AS serial) AS s"
              " ORDER BY 1, 2, a.attnum";
        break;
    case qkPrimaryKey:
    case qkUniqueConstraints:
        sql = tableColumns + ", k.conname AS re_conname, a.attname AS re_columnname, u.i AS re_pos, " +
              WithOptions("x.reloptions") + " AS re_constraintoptions" + tableOf + ImportedTables +
              " JOIN pg_constraint k ON k.conrelid = c.oid"
              " CROSS JOIN LATERAL unnest(k.conkey) WITH ORDINALITY AS u(attnum, i)"
              " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = u.attnum"
              " LEFT JOIN pg_class x ON x.oid = k.conindid"
              " WHERE k.contype = '" +
              (kind == qkPrimaryKey ? "p" : "u") + "' ORDER BY 1, 2, k.conname, u.i";
        break;
    case qkCheckConstraints:
        sql = tableColumns +
              ", k.conname AS re_conname, pg_get_expr(k.conbin, k.conrelid) AS re_constraint"
              ", obj_description(k.oid, 'pg_constraint') AS re_comment"
              ", CASE WHEN cardinality(k.conkey) = 1 THEN (SELECT a.attname FROM pg_attribute a WHERE a.attrelid = "
              "c.oid AND a.attnum = k.conkey[1]) END AS re_columnname" +
              tableOf + ImportedTables + " JOIN pg_constraint k ON k.conrelid = c.oid WHERE k.contype = 'c'" +
              " ORDER BY 1, 2, k.conname";
        break;
    case qkTriggers:
        sql = tableColumns +
              ", g.tgname AS re_triggername, pg_get_triggerdef(g.oid, true) AS re_body"
              ", obj_description(g.oid, 'pg_trigger') AS re_comment, g.tgenabled AS re_enabled" +
              tableOf + ImportedTables + " JOIN pg_trigger g ON g.tgrelid = c.oid WHERE NOT g.tgisinternal" +
              " ORDER BY 1, 2, g.tgname";
        break;
    case qkIndexes:
        // Indexes of their own: those behind primary keys, unique and exclusion constraints
        // belong to the constraints. Expression columns come as their expression text; the
        // columns of an INCLUDE list are left out.
        sql = tableColumns +
              ", i.relname AS re_indexname, (u.attnum = 0)::int AS re_isexpression"
              ", CASE WHEN u.attnum = 0 THEN pg_get_indexdef(x.indexrelid, u.i::int, true) ELSE a.attname END "
              "AS re_columnname"
              ", CASE WHEN x.indisunique THEN 'UNIQUE' END AS re_indextype"
              ", CASE WHEN m.amname <> 'btree' THEN m.amname END AS re_clustering"
              ", CASE x.indoption[u.i - 1] & 3 WHEN 1 THEN 'DESC NULLS LAST' WHEN 2 THEN 'ASC NULLS FIRST' WHEN 3 "
              "THEN 'DESC' END AS re_sortoption"
              ", obj_description(x.indexrelid, 'pg_class') AS re_comment"
              ", concat_ws(' ', " +
              WithOptions("i.reloptions") +
              ", 'WHERE ' || pg_get_expr(x.indpred, x.indrelid)) AS re_indexoptions" + tableOf + ImportedTables +
              " JOIN pg_index x ON x.indrelid = c.oid"
              " JOIN pg_class i ON i.oid = x.indexrelid"
              " JOIN pg_am m ON m.oid = i.relam"
              " CROSS JOIN LATERAL unnest(x.indkey::int2[]) WITH ORDINALITY AS u(attnum, i)"
              " LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum = u.attnum"
              " WHERE NOT x.indisprimary AND u.i <= x.indnkeyatts"
              " AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conrelid = c.oid AND k.conindid = "
              "x.indexrelid AND k.contype IN ('p', 'u', 'x'))"
              " ORDER BY 1, 2, i.relname, u.i";
        break;
    case qkViews:
        sql = "SELECT c.relname AS re_viewname, " + schema + " AS re_schemaname"
              ", obj_description(c.oid, 'pg_class') AS re_comment"
              ", 'CREATE OR REPLACE VIEW %viewname%' || E'\\r\\nAS\\r\\n' || btrim(pg_get_viewdef(c.oid, true), "
              "E' \\n;') AS re_body" +
              tableOf + " WHERE c.relkind = 'v'" + schemaClause + NotOfExtension("pg_class", "c.oid") +
              " ORDER BY n.nspname, c.relname";
        break;
    case qkProcedures:
        // Functions and procedures as the server writes them back, the name replaced by the
        // placeholder of the procedure's name.
        sql = "SELECT p.proname AS re_procname, " + schema + " AS re_schemaname"
              ", obj_description(p.oid, 'pg_proc') AS re_comment"
              ", overlay(f.def PLACING '%procname%' FROM position(f.name IN f.def) FOR length(f.name)) AS re_body"
              " FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace"
              " CROSS JOIN LATERAL (SELECT pg_get_functiondef(p.oid) AS def, quote_ident(n.nspname) || '.' || "
              "quote_ident(p.proname) AS name) AS f"
              " WHERE p.prokind IN ('f', 'p')" +
              schemaClause + NotOfExtension("pg_proc", "p.oid") + " ORDER BY n.nspname, p.proname, p.oid";
        break;
    case qkDomains:
        // Domains, and enumerated types as domains of the type ENUM. The checks of a domain
        // come as one expression.
        sql = "SELECT t.typname AS re_domainname, " + schema + " AS re_schemaname"
              ", format_type(t.typbasetype, t.typtypmod) AS re_scriptdatatype"
              ", t.typnotnull::int AS re_required, t.typdefault AS re_defaultvalue"
              ", obj_description(t.oid, 'pg_type') AS re_comment"
              ", CASE WHEN t.typcollation <> b.typcollation THEN quote_ident(co.collname) END AS re_collation"
              ", (SELECT min(k.conname) FROM pg_constraint k WHERE k.contypid = t.oid AND k.contype = 'c') "
              "AS re_checkconname"
              ", (SELECT CASE WHEN count(*) = 1 THEN min(x.e) ELSE string_agg('(' || x.e || ')', ' AND ' ORDER BY "
              "x.conname) END FROM (SELECT k.conname, pg_get_expr(k.conbin, 0) AS e FROM pg_constraint k WHERE "
              "k.contypid = t.oid AND k.contype = 'c') AS x) AS re_checkconstraint"
              " FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace"
              " JOIN pg_type b ON b.oid = t.typbasetype"
              " LEFT JOIN pg_collation co ON co.oid = t.typcollation"
              " WHERE t.typtype = 'd'" +
              schemaClause + NotOfExtension("pg_type", "t.oid") +
              " UNION ALL SELECT t.typname, " + schema +
              ", 'ENUM(' || (SELECT string_agg(quote_literal(e.enumlabel), ',' ORDER BY e.enumsortorder) FROM "
              "pg_enum e WHERE e.enumtypid = t.oid) || ')', 0, NULL, obj_description(t.oid, 'pg_type'), NULL, "
              "NULL, NULL"
              " FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace WHERE t.typtype = 'e'" +
              schemaClause + NotOfExtension("pg_type", "t.oid") + " ORDER BY 2, 1";
        break;
    case qkSequences:
        // Sequences of their own: not those behind identity columns, nor those of serial
        // columns (read as the columns' type).
        sql = "SELECT s.sequencename AS re_sequencename, NULLIF(s.schemaname, %defaultschema) AS re_schemaname"
              ", obj_description(c.oid, 'pg_class') AS re_comment, upper(format_type(s.data_type, NULL)) AS "
              "re_integertype, s.start_value AS re_seed, s.increment_by AS re_increment, s.min_value AS re_min"
              ", s.max_value AS re_max, s.cache_size AS re_cache, s.cycle AS re_cycle"
              " FROM pg_sequences s JOIN pg_namespace n ON n.nspname = s.schemaname"
              " JOIN pg_class c ON c.relnamespace = n.oid AND c.relname = s.sequencename"
              " WHERE NOT EXISTS (SELECT 1 FROM pg_depend o LEFT JOIN pg_attrdef d ON d.adrelid = o.refobjid AND "
              "d.adnum = o.refobjsubid WHERE o.classid = 'pg_class'::regclass AND o.objid = c.oid AND o.refobjsubid "
              "> 0 AND (o.deptype = 'i' OR (o.deptype = 'a' AND pg_get_expr(d.adbin, d.adrelid) = 'nextval(' || "
              "quote_literal(c.oid::regclass::text) || '::regclass)')))" +
              schemaClause + NotOfExtension("pg_class", "c.oid") + " ORDER BY 2, 1";
        break;
    case qkRelationships:
        sql = "SELECT k.conname AS re_conname, NULLIF(pn.nspname, %defaultschema) AS re_parentschema"
              ", p.relname AS re_parent, pa.attname AS re_parentcolumn, " + schema + " AS re_childschema"
              ", c.relname AS re_child"
              ", ca.attname AS re_childcolumn, k.confupdtype AS re_updaterule, k.confdeltype AS re_deleterule"
              ", u.i AS re_pos, CASE WHEN k.condeferrable THEN 'DEFERRABLE' || CASE WHEN k.condeferred THEN "
              "' INITIALLY DEFERRED' ELSE '' END END AS re_constraintoptions" +
              tableOf +
              " JOIN pg_constraint k ON k.conrelid = c.oid AND k.contype = 'f'"
              " JOIN pg_class p ON p.oid = k.confrelid JOIN pg_namespace pn ON pn.oid = p.relnamespace"
              " CROSS JOIN LATERAL unnest(k.conkey, k.confkey) WITH ORDINALITY AS u(child, parent, i)"
              " JOIN pg_attribute ca ON ca.attrelid = c.oid AND ca.attnum = u.child"
              " JOIN pg_attribute pa ON pa.attrelid = p.oid AND pa.attnum = u.parent"
              " WHERE true" +
              schemaClause + " ORDER BY n.nspname, c.relname, k.conname, u.i";
        break;
    case qkRules:
        // Rules belong to their table, not to a schema: their names come without one.
        sql = "SELECT r.rulename AS re_rulename, obj_description(r.oid, 'pg_rewrite') AS re_comment"
              ", CASE r.ev_type WHEN '1' THEN 'SELECT' WHEN '2' THEN 'UPDATE' WHEN '3' THEN 'INSERT' WHEN '4' THEN "
              "'DELETE' END AS re_ruletype"
              ", overlay(f.def PLACING '%rulename%' FROM position(f.name IN f.def) FOR length(f.name)) AS re_body" +
              tableOf +
              " JOIN pg_rewrite r ON r.ev_class = c.oid"
              " CROSS JOIN LATERAL (SELECT rtrim(pg_get_ruledef(r.oid, true), ';') AS def, quote_ident(r.rulename) AS name) AS f"
              " WHERE r.rulename <> '_RETURN'" +
              schemaClause + " ORDER BY n.nspname, r.rulename";
        break;
    default:
        sql.clear();
    }
}

std::unique_ptr<TPostgreSQLQuery> TPostgreSQLConnection::BoundQuery(std::string_view sql,
                                                                     const std::vector<std::string>* schemas,
                                                                     const std::vector<std::string>* tables) {
    auto query = std::make_unique<TPostgreSQLQuery>(*this);
    std::vector<std::pair<std::string, std::string>> values = {
        {"%schemaname", Trim(Parameters.GetValue("SCHEMANAME"))},
        {"%defaultschema", Target ? Target->DefaultSchema : std::string()}};
    if (schemas) values.emplace_back("%schemas", PGTextArray(*schemas));
    if (tables) values.emplace_back("%tables", PGTextArray(*tables));
    query->AddSQL(BindPlaceholders(sql, values, query->Params));
    return query;
}

namespace {

size_t ColumnIndex(const TDBRowSet& rows, std::string_view name) {
    for (size_t i = 0; i < rows.Columns.size(); ++i)
        if (SameText(rows.Columns[i], name)) return i;
    return rows.Columns.size();
}

// The text of a column of a row; empty when there is no such column or it is null.
std::string Value(const TDBRowSet& rows, const std::vector<TDBField>& row, std::string_view column) {
    const size_t i = ColumnIndex(rows, column);
    return i < row.size() ? row[i].AsString() : std::string();
}

std::unique_ptr<TDBQuery> RowsQuery(TDBRowSet rows) {
    return std::make_unique<TDBMemoryQuery>([rows = std::move(rows)](const std::string&) { return rows; });
}

} // namespace

std::unique_ptr<TDBQuery> TPostgreSQLConnection::CatalogueQuery(int kind, const TVELEntity* table) {
    if (table) return RowsQuery(TableRows(kind, *table));
    std::string sql;
    GetSQL(kind, sql);
    if (sql.empty()) return nullptr;
    std::unique_ptr<TPostgreSQLQuery> query = BoundQuery(sql, nullptr, nullptr);
    if (kind != qkTables && kind != qkRelationships) return query;
    // The table list and the foreign keys also carry options that the framework does not
    // read; they are kept for the phases that follow.
    TDBRowSet rows = Select(query->SQLText(), query->Params);
    if (kind == qkRelationships) {
        foreignKeys_ = rows;
    } else {
        tables_.clear();
        for (const std::vector<TDBField>& row : rows.Rows)
            tables_[TableKey(Value(rows, row, "RE_SCHEMANAME"), Value(rows, row, "RE_TABLENAME"))] = row;
        tableColumns_ = rows.Columns;
    }
    return RowsQuery(std::move(rows));
}

const TDBRowSet& TPostgreSQLConnection::TableRows(int kind, const TVELEntity& table) {
    static const TDBRowSet none;
    auto found = tableRows_.find(kind);
    if (found == tableRows_.end()) {
        found = tableRows_.emplace(kind, std::unordered_map<std::string, TDBRowSet>()).first;
        std::unordered_map<std::string, TDBRowSet>& groups = found->second;
        std::string sql;
        GetSQL(kind, sql);
        const TVELDataDictionary* dictionary = table.RootDictionary();
        if (!sql.empty() && dictionary) {
            // Every table of the model being built is read at once.
            std::vector<TVELEntity*> entities;
            dictionary->CollectOfClass(entities);
            std::vector<std::string> schemas, names;
            for (const TVELEntity* entity : entities) {
                schemas.push_back(entity->SchemaName);
                names.push_back(entity->GetName());
            }
            std::unique_ptr<TPostgreSQLQuery> query = BoundQuery(sql, &schemas, &names);
            const TDBRowSet all = Select(query->SQLText(), query->Params);
            const size_t schemaColumn = ColumnIndex(all, "RE_SCHEMANAME");
            const size_t tableColumn = ColumnIndex(all, "RE_TABLENAME");
            const size_t defaultColumn = ColumnIndex(all, "RE_DEFAULTVALUE");
            const size_t expressionColumn = ColumnIndex(all, "RE_COLUMNNAME");
            const size_t isExpressionColumn = ColumnIndex(all, "RE_ISEXPRESSION");
            const size_t optionsColumn = ColumnIndex(all, "RE_COLUMNOPTIONS");
            const size_t generatedColumn = ColumnIndex(all, "RE_GENERATED");
            if (schemaColumn < all.Columns.size() && tableColumn < all.Columns.size())
                for (const std::vector<TDBField>& row : all.Rows) {
                    TDBRowSet& group = groups[TableKey(row[schemaColumn].AsString(), row[tableColumn].AsString())];
                    if (group.Columns.empty()) group.Columns = all.Columns;
                    group.Rows.push_back(row);
                    // A sequence default reads as a plain nextval call on the sequence's name;
                    // expressions lose the casts the server adds.
                    const bool expression = isExpressionColumn < row.size() && row[isExpressionColumn].AsString() == "1";
                    for (const size_t c : {defaultColumn, expression ? expressionColumn : all.Columns.size()})
                        if (c < row.size() && !row[c].IsNull())
                            group.Rows.back()[c] = TDBField(WithoutCasts(row[c].AsString()));
                    // A stored generated column: its expression as a column option.
                    if (generatedColumn < row.size() && optionsColumn < row.size() && !row[generatedColumn].IsNull())
                        group.Rows.back()[optionsColumn] =
                            TDBField("GENERATED ALWAYS AS (" +
                                     StripEnclosingParentheses(WithoutCasts(row[generatedColumn].AsString()), 1) +
                                     ") STORED");
                }
        }
    }
    const auto it = found->second.find(TableKey(table.SchemaName, table.GetName()));
    return it == found->second.end() ? none : it->second;
}

void TPostgreSQLConnection::ReverseEngineerColumns(TVELEntity* entity) {
    TDBConnection::ReverseEngineerColumns(entity);
    // The fields of an interval ("interval year to month") are options of its type.
    const TDBRowSet& columns = TableRows(qkColumns, *entity);
    for (const std::vector<TDBField>& row : columns.Rows) {
        const std::string type = Value(columns, row, "RE_SCRIPTDATATYPE");
        if (!StartsText("interval ", type)) continue;
        auto* attribute = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(Value(columns, row, "RE_COLUMNNAME")));
        if (attribute && attribute->DataType->DTOptions.empty())
            attribute->DataType->DTOptions = UpperCase(Trim(type.substr(9)));
    }
    // A column that draws its numbers from a sequence of the model is linked to it, as the
    // SQL import links a column to the sequence of its nextval default.
    for (int i = 0; i < entity->Attributes.Count(); ++i) {
        TVELAttribute* attribute = entity->AttributeAt(i);
        const std::string value = Trim(attribute->DefaultValue());
        if (!StartsText("nextval('", value) || value.size() < 11 || value.compare(value.size() - 2, 2, "')") != 0) continue;
        std::string schema, name;
        SplitQualifiedName(ReplaceAll(value.substr(9, value.size() - 11), "''", "'"), schema, name);
        if (Target && schema == Target->DefaultSchema) schema.clear();
        if (TVELSequence* sequence = FindSequence(*entity, schema, name)) {
            attribute->AutoNumber = true;
            attribute->SetSequenceID(sequence->ID);
        }
    }
    TDBRowSet list;
    list.Columns = tableColumns_;
    if (const auto it = tables_.find(TableKey(entity->SchemaName, entity->GetName())); it != tables_.end())
        entity->TableOptions = Value(list, it->second, "RE_TABLEOPTIONS");
}

TVELSequence* TPostgreSQLConnection::FindSequence(const TVELEntity& entity, const std::string& schema,
                                                 const std::string& name) const {
    const TVELDataDictionary* dictionary = entity.RootDictionary();
    if (!dictionary) return nullptr;
    std::vector<TVELSequence*> sequences;
    dictionary->CollectOfClass(sequences);
    for (TVELSequence* sequence : sequences)
        if (sequence->GetName() == name && sequence->SchemaName == schema) return sequence;
    return nullptr;
}

void TPostgreSQLConnection::ReverseEngineerPrimaryKey(TVELEntity* entity) {
    TDBConnection::ReverseEngineerPrimaryKey(entity);
    const TDBRowSet& rows = TableRows(qkPrimaryKey, *entity);
    if (!rows.Rows.empty()) entity->PrimaryKey->ConstraintOptions = Value(rows, rows.Rows.front(), "RE_CONSTRAINTOPTIONS");
}

void TPostgreSQLConnection::ReverseEngineerUniqueConstraints(TVELEntity* entity) {
    TDBConnection::ReverseEngineerUniqueConstraints(entity);
    const TDBRowSet& rows = TableRows(qkUniqueConstraints, *entity);
    for (const std::vector<TDBField>& row : rows.Rows)
        for (int i = 0; i < entity->Constraints.Count(); ++i) {
            TVELConstraint* constraint = entity->ConstraintAt(i);
            if (constraint->ConstraintType == ctUnique && constraint->GetName() == Value(rows, row, "RE_CONNAME"))
                constraint->ConstraintOptions = Value(rows, row, "RE_CONSTRAINTOPTIONS");
        }
}

void TPostgreSQLConnection::ReverseEngineerCheckConstraints(TVELEntity* entity) {
    TDBConnection::ReverseEngineerCheckConstraints(entity);
    for (int i = 0; i < entity->Constraints.Count(); ++i) {
        TVELConstraint* constraint = entity->ConstraintAt(i);
        if (constraint->ConstraintType == ctCheck) constraint->Value = WithoutCasts(constraint->Value);
    }
}

void TPostgreSQLConnection::ReverseEngineerDomains(TVELDataDictionary& dictionary) {
    TDBConnection::ReverseEngineerDomains(dictionary);
    std::vector<TVELDomain*> domains;
    dictionary.CollectOfClass(domains);
    for (TVELDomain* domain : domains) {
        domain->DefaultConstraint()->Value = WithoutCasts(domain->DefaultConstraint()->Value);
        TVELConstraint& check = *domain->CheckConstraint();
        check.Value = WithoutCasts(check.Value);
        // The name the server gives a check written without one.
        if (check.GetName() == domain->GetName() + "_check") {
            check.SetName("");
            check.NameFromTemplate = true;
        }
    }
}

void TPostgreSQLConnection::ReverseEngineerSequences(TVELDataDictionary& dictionary) {
    std::unique_ptr<TDBQuery> query = CatalogueQuery(qkSequences, nullptr);
    if (!query) return;
    query->Open();
    for (; !query->Eof(); query->Next()) {
        auto text = [&](std::string_view column) {
            const TDBField* field = query->FieldByName(column);
            return field ? field->AsString() : std::string();
        };
        const std::string name = text("RE_SEQUENCENAME");
        const std::string schema = text("RE_SCHEMANAME");
        if (name.empty() || !IncludeObject(schema.empty() ? name : schema + "." + name)) continue;
        auto* sequence = static_cast<TVELSequence*>(NewImportedObject(dictionary, otSequence, schema, name));
        sequence->IntegerType = text("RE_INTEGERTYPE");
        sequence->Seed = StrToIntDef(text("RE_SEED"), 1);
        sequence->Increment = StrToIntDef(text("RE_INCREMENT"), 1);
        sequence->Min = text("RE_MIN");
        sequence->Max = text("RE_MAX");
        if (const std::string cache = text("RE_CACHE"); cache != "1") sequence->Cache = cache;
        sequence->Cycle = text("RE_CYCLE") == "t" ? "CYCLE" : "NO CYCLE";
        sequence->Comment = text("RE_COMMENT");
        Log(mlInfo, "Adding sequence " + DoubleQuoted(name) + ".");
        Added(sequence);
    }
    query->Close();
}

void TPostgreSQLConnection::ReverseEngineerRelationships(TVELDataDictionary& dictionary) {
    TDBConnection::ReverseEngineerRelationships(dictionary);
    std::unordered_map<std::string, std::string> options;
    for (const std::vector<TDBField>& row : foreignKeys_.Rows)
        options[TableKey(Value(foreignKeys_, row, "RE_CHILDSCHEMA"), Value(foreignKeys_, row, "RE_CHILD")) + "\n" +
                Value(foreignKeys_, row, "RE_CONNAME")] = Value(foreignKeys_, row, "RE_CONSTRAINTOPTIONS");
    std::vector<TVELRelationship*> relationships;
    dictionary.CollectOfClass(relationships);
    for (TVELRelationship* relationship : relationships) {
        const TVELEntity* child = relationship->GetChildEntity();
        if (!child) continue;
        const auto it = options.find(TableKey(child->SchemaName, child->GetName()) + "\n" +
                                     relationship->FKConstraint->GetName());
        if (it != options.end()) relationship->FKConstraint->ConstraintOptions = it->second;
    }
    foreignKeys_ = TDBRowSet();
}

uint8_t TPostgreSQLConnection::RuleFromText(std::string_view text) const {
    const std::string code = Trim(text);
    if (code == "c") return raCascade;
    if (code == "n") return raSetNull;
    if (code == "d") return raSetDefault;
    if (code == "r") return raRestrict;
    if (code == "a") return raNone;
    return TDBConnection::RuleFromText(text);
}

// ---- connection and statements --------------------------------------------------------------------

void TPostgreSQLConnection::Open(bool withDatabase) {
    Disconnect();
    std::vector<std::pair<const char*, std::string>> settings;
    auto add = [&](const char* key, std::string_view parameter) {
        if (std::string value = Trim(Parameters.GetValue(parameter)); !value.empty())
            settings.emplace_back(key, std::move(value));
    };
    add("host", "Host");
    add("port", "Port");
    add("user", "UserName");
    add("service", "Service");
    add("sslmode", "SSLMode");
    add("connect_timeout", "ConnectTimeout");
    const std::string database = Trim(Parameters.GetValue("DatabaseName"));
    const bool uri = StartsText("postgresql://", database) || StartsText("postgres://", database);
    if (withDatabase && !database.empty())
        settings.emplace_back("dbname", database);
    else if (!withDatabase)
        settings.emplace_back("dbname", "postgres");
    // The password as given, blanks included; never written anywhere.
    const std::string password = Parameters.GetValue("Password");
    if (!password.empty()) settings.emplace_back("password", password);
    settings.emplace_back("client_encoding", "UTF8");
    settings.emplace_back("application_name", "Ardvin");
    std::vector<const char*> keys, values;
    for (const auto& [key, value] : settings) {
        keys.push_back(key);
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), withDatabase && uri ? 1 : 0);
    if (!conn) throw EVELError("Unable to connect to the PostgreSQL server: out of memory.");
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string host = PQhost(conn) ? PQhost(conn) : Trim(Parameters.GetValue("Host"));
        const std::string user = PQuser(conn) ? PQuser(conn) : Trim(Parameters.GetValue("UserName"));
        // The database as libpq took it: from a URI or the environment when not named here.
        const std::string db = (database.empty() || uri) && PQdb(conn) ? PQdb(conn) : database;
        const std::string message = PostgreSQLConnectError(PQerrorMessage(conn), db, host, user,
                                                           PQconnectionNeedsPassword(conn) != 0, !password.empty());
        PQfinish(conn);
        throw EVELError(message);
    }
    conn_ = conn;
}

void TPostgreSQLConnection::Connect() {
    Open(true);
}

void TPostgreSQLConnection::ConnectServer() {
    Open(false);
}

void TPostgreSQLConnection::Disconnect() {
    tableRows_.clear();
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

bool TPostgreSQLConnection::Connected() const {
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

void TPostgreSQLConnection::CheckConnected() const {
    if (!conn_) throw EVELError("Not connected to a PostgreSQL database.");
}

int TPostgreSQLConnection::ServerVersion() const {
    return conn_ ? PQserverVersion(conn_) : 0;
}

bool TPostgreSQLConnection::InTransaction() const {
    if (!conn_) return false;
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

namespace {

using TResult = std::unique_ptr<PGresult, decltype(&PQclear)>;

TResult Run(PGconn* conn, const std::string& sql, const TPGParams& params, bool script) {
    if (script && params.empty()) return TResult(PQexec(conn, sql.c_str()), &PQclear);
    std::vector<const char*> values;
    for (const std::optional<std::string>& p : params) values.push_back(p ? p->c_str() : nullptr);
    return TResult(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                                nullptr, 0),
                   &PQclear);
}

void Check(PGconn* conn, const PGresult* result) {
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) return;
    const char* message = result ? PQresultErrorMessage(result) : PQerrorMessage(conn);
    throw EVELError(Trim(message && *message ? message : PQerrorMessage(conn)));
}

} // namespace

void TPostgreSQLConnection::ExecSQL(const std::string& sql, const TPGParams& params) {
    CheckConnected();
    const TResult result = Run(conn_, sql, params, true);
    Check(conn_, result.get());
}

TDBRowSet TPostgreSQLConnection::Select(const std::string& sql, const TPGParams& params) {
    CheckConnected();
    const TResult result = Run(conn_, sql, params, false);
    Check(conn_, result.get());
    TDBRowSet rows;
    const int columns = PQnfields(result.get());
    const int count = PQntuples(result.get());
    rows.Columns.reserve(columns);
    for (int c = 0; c < columns; ++c) rows.Columns.emplace_back(PQfname(result.get(), c));
    rows.Rows.reserve(count);
    for (int r = 0; r < count; ++r) {
        std::vector<TDBField>& row = rows.Rows.emplace_back();
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            if (PQgetisnull(result.get(), r, c))
                row.emplace_back();
            else
                row.emplace_back(std::string(PQgetvalue(result.get(), r, c),
                                             static_cast<size_t>(PQgetlength(result.get(), r, c))));
    }
    return rows;
}

std::string TPostgreSQLConnection::QuoteIdentifier(std::string_view name) const {
    if (conn_)
        if (char* quoted = PQescapeIdentifier(conn_, name.data(), name.size())) {
            std::string text = quoted;
            PQfreemem(quoted);
            return text;
        }
    return "\"" + ReplaceAll(name, "\"", "\"\"") + "\"";
}

void TPostgreSQLConnection::StartTransaction() {
    if (!InTransaction()) ExecSQL("BEGIN");
}

void TPostgreSQLConnection::Commit() {
    if (InTransaction()) ExecSQL("COMMIT");
}

void TPostgreSQLConnection::Rollback() {
    if (InTransaction()) ExecSQL("ROLLBACK");
}

std::unique_ptr<TDBQuery> TPostgreSQLConnection::CreateQuery() {
    return std::make_unique<TPostgreSQLQuery>(*this);
}

std::unique_ptr<TDBScript> TPostgreSQLConnection::CreateScript() {
    auto script = std::make_unique<TPostgreSQLScript>();
    script->Target = Target;
    return script;
}

namespace {

std::string QuotedTable(const TPostgreSQLConnection& connection, std::string_view table) {
    std::string schema, name;
    SplitQualifiedName(table, schema, name);
    return (schema.empty() ? std::string() : connection.QuoteIdentifier(schema) + ".") + connection.QuoteIdentifier(name);
}

} // namespace

std::unique_ptr<TDBQuery> TPostgreSQLConnection::CreateTableQuery(std::string_view table) {
    std::unique_ptr<TDBQuery> query = CreateQuery();
    query->AddSQL("SELECT * FROM " + QuotedTable(*this, table));
    return query;
}

int TPostgreSQLConnection::RowCount(std::string_view table) {
    const TDBRowSet rows = Select("SELECT count(*) FROM " + QuotedTable(*this, table));
    return rows.Rows.empty() ? 0 : rows.Rows[0][0].AsInteger();
}

void TPostgreSQLConnection::DeleteRows(std::string_view table) {
    ExecSQL("DELETE FROM " + QuotedTable(*this, table));
}

void TPostgreSQLConnection::ListDatabases(std::vector<std::string>& list) {
    list.clear();
    for (const std::vector<TDBField>& row :
         Select("SELECT datname FROM pg_database WHERE datallowconn AND NOT datistemplate ORDER BY datname").Rows)
        list.push_back(row[0].AsString());
}

} // namespace ardvin
