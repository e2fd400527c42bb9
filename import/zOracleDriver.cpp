#include "zOracleDriver.h"

#include <algorithm>

#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zSQLParser.h"
#include "zView.h"

namespace ardvin {

namespace {

const std::string OneTable = "k.owner = ? AND k.table_name = ?";

// A key constraint of a table (P or U) with its columns in key order.
std::string KeyQuery(const char* type) {
    return std::string("SELECT k.constraint_name AS RE_CONNAME, cc.column_name AS RE_COLUMNNAME, cc.position AS RE_POS\n"
                       "FROM all_constraints k\n"
                       " JOIN all_cons_columns cc ON cc.owner = k.owner AND cc.constraint_name = k.constraint_name\n"
                       "   AND cc.table_name = k.table_name\n"
                       "WHERE ") +
           OneTable + " AND k.constraint_type = '" + type + "'\nORDER BY k.constraint_name, cc.position";
}

// The number after a label of ALL_TAB_IDENTITY_COLS.IDENTITY_OPTIONS ("START WITH: 1, ...").
std::string IdentityOption(const char* label) {
    return std::string("REGEXP_SUBSTR(ic.identity_options, '") + label + ": (-?[0-9]+)', 1, 1, NULL, 1)";
}

// The source lines of code objects of the given types, each object's first line made the
// statement that creates it; a package body follows its package after a "/" line.
std::string SourceQuery(const std::string& types, const std::string& schemaCondition) {
    return "SELECT s.owner AS RE_SCHEMANAME, s.name AS RE_PROCNAME,\n"
           " CASE WHEN s.line = 1 AND s.type = 'PACKAGE BODY' THEN '/' || CHR(10) || 'CREATE OR REPLACE '\n"
           "   WHEN s.line = 1 THEN 'CREATE OR REPLACE ' END || s.text AS RE_BODY\n"
           "FROM all_source s\n"
           "WHERE s.type IN (" + types + ") AND " + schemaCondition + "\n"
           "ORDER BY s.owner, s.name, s.type, s.line";
}

}  // namespace

void TOracleConnection::GetSystemSchemaList(std::string& text) const {
    text = "(SELECT username FROM all_users WHERE oracle_maintained = 'Y')";
}

void TOracleConnection::GetSQL(int kind, std::string& sql) const {
    switch (kind) {
    case qkTables:
    case qkTablesAlternative:
        sql = "SELECT t.owner AS RE_SCHEMANAME, t.table_name AS RE_TABLENAME, c.comments AS RE_COMMENT\n"
              "FROM all_tables t\n"
              " LEFT JOIN all_tab_comments c ON c.owner = t.owner AND c.table_name = t.table_name\n"
              "WHERE " + SchemaCondition("t.owner") +
              " AND t.dropped = 'NO' AND t.nested = 'NO' AND t.secondary = 'N'\n"
              " AND (t.iot_type IS NULL OR t.iot_type = 'IOT')\n"
              "ORDER BY t.owner, t.table_name";
        break;
    case qkColumns:
        // The type as the script writes it; an identity column carries its start and
        // increment. DATA_DEFAULT is a LONG, which no expression may touch: it is read as it is.
        sql = "SELECT col.column_name AS RE_COLUMNNAME, col.column_id AS RE_POS, col.nullable AS RE_NOTREQUIRED,\n"
              " col.data_default AS RE_DEFAULTVALUE, c.comments AS RE_COMMENT,\n"
              " CASE WHEN col.virtual_column = 'YES' THEN '1' ELSE '0' END AS RE_ISCOMPUTED,\n"
              " CASE WHEN ic.column_name IS NOT NULL THEN '1' ELSE '0' END AS RE_AUTONUMBER,\n"
              " CASE\n"
              "   WHEN col.data_type IN ('VARCHAR2', 'NVARCHAR2', 'CHAR', 'NCHAR') THEN\n"
              "     col.data_type || '(' || col.char_length || ')'\n"
              "   WHEN col.data_type IN ('RAW', 'UROWID') THEN col.data_type || '(' || col.data_length || ')'\n"
              "   WHEN col.data_type = 'NUMBER' AND col.data_precision IS NOT NULL THEN\n"
              "     'NUMBER(' || col.data_precision || CASE WHEN col.data_scale <> 0 THEN ',' || col.data_scale END || ')'\n"
              "   WHEN col.data_type = 'NUMBER' AND col.data_scale = 0 THEN 'INTEGER'\n"
              "   WHEN col.data_type = 'FLOAT' AND col.data_precision <> 126 THEN 'FLOAT(' || col.data_precision || ')'\n"
              "   ELSE col.data_type END ||\n"
              " CASE WHEN ic.column_name IS NOT NULL THEN ' GENERATED ' || ic.generation_type || ' AS IDENTITY (START WITH ' ||\n"
              "   " + IdentityOption("START WITH") + " || ' INCREMENT BY ' || " + IdentityOption("INCREMENT BY") +
              " || ')' END AS RE_SCRIPTDATATYPE\n"
              "FROM all_tab_cols col\n"
              " JOIN all_tables k ON k.owner = col.owner AND k.table_name = col.table_name\n"
              " LEFT JOIN all_col_comments c ON c.owner = col.owner AND c.table_name = col.table_name\n"
              "   AND c.column_name = col.column_name\n"
              " LEFT JOIN all_tab_identity_cols ic ON ic.owner = col.owner AND ic.table_name = col.table_name\n"
              "   AND ic.column_name = col.column_name\n"
              "WHERE " + OneTable + " AND col.hidden_column = 'NO'\n"
              "ORDER BY col.column_id";
        break;
    case qkPrimaryKey: sql = KeyQuery("P"); break;
    case qkUniqueConstraints: sql = KeyQuery("U"); break;
    case qkCheckConstraints:
        // Without the checks Oracle makes for NOT NULL columns.
        sql = "SELECT k.constraint_name AS RE_CONNAME, k.search_condition_vc AS RE_CONSTRAINT\n"
              "FROM all_constraints k\n"
              "WHERE " + OneTable + " AND k.constraint_type = 'C'\n"
              " AND NOT (k.generated = 'GENERATED NAME' AND k.search_condition_vc LIKE '\"%\" IS NOT NULL')\n"
              "ORDER BY k.constraint_name";
        break;
    case qkTriggers:
        // One row a source line; the rows of one trigger make its body.
        sql = "SELECT g.trigger_name AS RE_TRIGGERNAME,\n"
              " CASE WHEN s.line = 1 THEN 'CREATE OR REPLACE ' END || s.text AS RE_BODY\n"
              "FROM all_triggers g\n"
              " JOIN all_source s ON s.owner = g.owner AND s.name = g.trigger_name AND s.type = 'TRIGGER'\n"
              "WHERE g.table_owner = ? AND g.table_name = ?\n"
              "ORDER BY g.trigger_name, s.line";
        break;
    case qkIndexes:
        // Indexes of their own (not those of key constraints, nor of LOBs).
        sql = "SELECT i.table_name AS RE_TABLENAME, i.index_name AS RE_INDEXNAME, ic.column_name AS RE_COLUMNNAME,\n"
              " ic.descend AS RE_SORTOPTION,\n"
              " CASE WHEN i.uniqueness = 'UNIQUE' THEN 'UNIQUE' WHEN i.index_type LIKE 'BITMAP%' THEN 'BITMAP' END\n"
              "   AS RE_INDEXTYPE,\n"
              " ie.column_expression AS RE_EXPRESSION\n"
              "FROM all_indexes i\n"
              " JOIN all_ind_columns ic ON ic.index_owner = i.owner AND ic.index_name = i.index_name\n"
              " LEFT JOIN all_ind_expressions ie ON ie.index_owner = ic.index_owner AND ie.index_name = ic.index_name\n"
              "   AND ie.column_position = ic.column_position\n"
              "WHERE i.table_owner = ? AND i.table_name = ? AND i.index_type <> 'LOB'\n"
              " AND NOT EXISTS (SELECT 1 FROM all_constraints k WHERE k.owner = i.table_owner\n"
              "   AND k.table_name = i.table_name AND k.index_name = i.index_name AND k.constraint_type IN ('P', 'U'))\n"
              "ORDER BY i.index_name, ic.column_position";
        break;
    case qkViews:
        sql = "SELECT v.owner AS RE_SCHEMANAME, v.view_name AS RE_VIEWNAME, v.text AS RE_BODY, c.comments AS RE_COMMENT\n"
              "FROM all_views v\n"
              " LEFT JOIN all_tab_comments c ON c.owner = v.owner AND c.table_name = v.view_name\n"
              "WHERE " + SchemaCondition("v.owner") + "\nORDER BY v.owner, v.view_name";
        break;
    case qkProcedures:
        sql = SourceQuery("'PROCEDURE', 'FUNCTION', 'PACKAGE', 'PACKAGE BODY'", SchemaCondition("s.owner"));
        break;
    case qkFunctions: sql = SourceQuery("'FUNCTION'", SchemaCondition("s.owner")); break;
    case qkSequences:
        // The sequences of identity columns belong to their columns. The limits Oracle puts
        // when none is given are no limits of the model.
        sql = "SELECT q.sequence_owner AS RE_SCHEMANAME, q.sequence_name AS RE_SEQUENCENAME,\n"
              " TO_CHAR(q.last_number) AS RE_SEED, TO_CHAR(q.increment_by) AS RE_INCREMENT,\n"
              " CASE WHEN q.min_value = -999999999999999999999999999 THEN 'NOMINVALUE' ELSE TO_CHAR(q.min_value) END\n"
              "   AS RE_MINVALUE,\n"
              " CASE WHEN q.max_value = 9999999999999999999999999999 THEN 'NOMAXVALUE' ELSE TO_CHAR(q.max_value) END\n"
              "   AS RE_MAXVALUE,\n"
              " q.cycle_flag AS RE_CYCLE, q.order_flag AS RE_ORDER, TO_CHAR(q.cache_size) AS RE_CACHE\n"
              "FROM all_sequences q\n"
              "WHERE " + SchemaCondition("q.sequence_owner") + " AND q.sequence_name NOT LIKE 'ISEQ$$%'\n"
              "ORDER BY q.sequence_owner, q.sequence_name";
        break;
    case qkRelationships:
        // Oracle keeps no update rule.
        sql = "SELECT fk.constraint_name AS RE_CONNAME, pk.owner AS RE_PARENTSCHEMA, pk.table_name AS RE_PARENT,\n"
              " pkc.column_name AS RE_PARENTCOLUMN, fk.owner AS RE_CHILDSCHEMA, fk.table_name AS RE_CHILD,\n"
              " fkc.column_name AS RE_CHILDCOLUMN, fk.delete_rule AS RE_DELETERULE, fkc.position AS RE_POS\n"
              "FROM all_constraints fk\n"
              " JOIN all_constraints pk ON pk.owner = fk.r_owner AND pk.constraint_name = fk.r_constraint_name\n"
              " JOIN all_cons_columns fkc ON fkc.owner = fk.owner AND fkc.constraint_name = fk.constraint_name\n"
              "   AND fkc.table_name = fk.table_name\n"
              " JOIN all_cons_columns pkc ON pkc.owner = pk.owner AND pkc.constraint_name = pk.constraint_name\n"
              "   AND pkc.table_name = pk.table_name AND pkc.position = fkc.position\n"
              "WHERE fk.constraint_type = 'R' AND " + SchemaCondition("fk.owner") + "\n"
              "ORDER BY fk.owner, fk.table_name, fk.constraint_name, fkc.position";
        break;
    default: sql.clear();
    }
}

TVELAttribute* TOracleConnection::AddColumn(TVELEntity* entity, const TDBQuery& query) {
    TVELAttribute* attribute = TODBCConnection::AddColumn(entity, query);
    if (attribute->AutoNumber)
        attribute->SetDefaultValue("");
    else if (!attribute->DefaultValue().empty())
        attribute->SetDefaultValue(Trim(attribute->DefaultValue()));
    return attribute;
}

void TOracleConnection::ComputedColumn(TVELAttribute* attribute) {
    const std::string expression = Trim(attribute->DefaultValue());
    attribute->SetDefaultValue("");
    if (!expression.empty()) SetScriptDataType(attribute, "AS (" + expression + ")");
}

void TOracleConnection::ReverseEngineerViews(TVELDataDictionary& dictionary) {
    std::vector<TVELView*> before;
    dictionary.Views(before);
    TODBCConnection::ReverseEngineerViews(dictionary);
    std::vector<TVELView*> after;
    dictionary.Views(after);
    for (TVELView* view : after)
        if (std::find(before.begin(), before.end(), view) == before.end())
            view->Code = "CREATE OR REPLACE VIEW %viewname%\r\nAS\r\n" + Trim(view->Code);
}

std::unique_ptr<TDBQuery> TOracleConnection::CatalogueQuery(int kind, const TVELEntity* table) {
    if (kind != qkIndexes || !table || !Connected()) return TODBCConnection::CatalogueQuery(kind, table);
    auto query = std::make_unique<TDBMemoryQuery>([this, values = TableValues(table)](const std::string& sql) {
        TDBRowSet rows = Run(sql, values);
        const auto position = [&](const char* name) {
            for (size_t i = 0; i < rows.Columns.size(); ++i)
                if (SameText(rows.Columns[i], name)) return i;
            return rows.Columns.size();
        };
        const size_t column = position("RE_COLUMNNAME"), expression = position("RE_EXPRESSION");
        if (column == rows.Columns.size() || expression == rows.Columns.size()) return rows;
        for (std::vector<TDBField>& row : rows.Rows) {
            if (row[expression].IsNull()) continue;
            std::string text = Trim(row[expression].AsString());
            // A descending key column is kept as the expression of its quoted name.
            if (text.size() > 2 && text.front() == '"' && text.back() == '"' &&
                text.find('"', 1) == text.size() - 1)
                text = text.substr(1, text.size() - 2);
            row[column] = TDBField(text);
        }
        return rows;
    });
    query->AddSQL(QueryText(kind, table));
    return query;
}

}  // namespace ardvin
