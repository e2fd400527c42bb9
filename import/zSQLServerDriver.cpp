#include "zSQLServerDriver.h"

#include "zAttribute.h"
#include "zConstraint.h"
#include "zEntity.h"
#include "zSQLParser.h"

namespace ardvin {

namespace {

// The schemas of the server itself and its fixed roles.
const char* const ServerSchemas[] = {"sys",         "INFORMATION_SCHEMA", "guest",           "db_owner",
                                     "db_accessadmin", "db_securityadmin", "db_ddladmin",   "db_backupoperator",
                                     "db_datareader",  "db_datawriter",    "db_denydatareader", "db_denydatawriter"};

// The MS_Description property of an object (class 1: objects and columns; 6: types).
std::string Description(const std::string& alias, int propertyClass, const std::string& major, const std::string& minor) {
    return " LEFT JOIN sys.extended_properties " + alias + " ON " + alias + ".class = " + std::to_string(propertyClass) +
           " AND " + alias + ".major_id = " + major + " AND " + alias + ".minor_id = " + minor + " AND " + alias +
           ".name = 'MS_Description'\n";
}

// The tables and their members: the condition that names one table.
const std::string OneTable = "s.name = ? AND t.name = ?";

// A key constraint (PK or UQ) of a table with its columns in key order.
std::string KeyQuery(const char* type) {
    return std::string("SELECT k.name AS RE_CONNAME, c.name AS RE_COLUMNNAME, ic.key_ordinal AS RE_POS,\n"
                       " i.type_desc AS RE_CLUSTERING\n"
                       "FROM sys.key_constraints k\n"
                       " JOIN sys.tables t ON t.object_id = k.parent_object_id\n"
                       " JOIN sys.schemas s ON s.schema_id = t.schema_id\n"
                       " JOIN sys.indexes i ON i.object_id = k.parent_object_id AND i.index_id = k.unique_index_id\n"
                       " JOIN sys.index_columns ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id\n"
                       " JOIN sys.columns c ON c.object_id = ic.object_id AND c.column_id = ic.column_id\n"
                       "WHERE k.type = '") +
           type + "' AND " + OneTable + "\nORDER BY k.name, ic.key_ordinal";
}

// The text after the first " AS " of a bound default's or rule's module ("CREATE DEFAULT d AS 0").
std::string ModuleValue(const std::string& objectId) {
    return "(SELECT LTRIM(RTRIM(SUBSTRING(m.definition, CHARINDEX(' AS ', m.definition) + 4, 4000)))\n"
           "   FROM sys.sql_modules m WHERE m.object_id = " + objectId + ")";
}

// The objects of a catalog view with their module (views, routines): schema, name, the
// statement that makes them, description.
std::string ModuleQuery(const std::string& nameColumn, const std::string& view, const std::string& alias,
                        const std::string& condition) {
    return "SELECT s.name AS RE_SCHEMANAME, " + alias + ".name AS " + nameColumn + ", m.definition AS RE_BODY,\n"
           " CAST(d.value AS nvarchar(max)) AS RE_COMMENT\n"
           "FROM " + view + " " + alias + "\n"
           " JOIN sys.schemas s ON s.schema_id = " + alias + ".schema_id\n"
           " JOIN sys.sql_modules m ON m.object_id = " + alias + ".object_id\n" +
           Description("d", 1, alias + ".object_id", "0") + "WHERE " + condition + "\nORDER BY s.name, " + alias +
           ".name";
}

}  // namespace

std::string TSQLServerConnection::TypeText(const std::string& name, const std::string& length,
                                           const std::string& precision, const std::string& scale) {
    // Lengths of national types count bytes; the script counts characters. Defaults of the
    // server (float(53), datetime2(7) ...) are not written.
    return "CASE\n"
           "   WHEN " + name + " IN ('varchar', 'char', 'varbinary', 'binary') THEN " + name + " + '(' +\n"
           "     CASE WHEN " + length + " = -1 THEN 'max' ELSE CAST(" + length + " AS varchar(10)) END + ')'\n"
           "   WHEN " + name + " IN ('nvarchar', 'nchar') THEN " + name + " + '(' +\n"
           "     CASE WHEN " + length + " = -1 THEN 'max' ELSE CAST(" + length + " / 2 AS varchar(10)) END + ')'\n"
           "   WHEN " + name + " IN ('decimal', 'numeric') THEN " + name + " + '(' + CAST(" + precision +
           " AS varchar(10)) + ',' + CAST(" + scale + " AS varchar(10)) + ')'\n"
           "   WHEN " + name + " IN ('datetime2', 'time', 'datetimeoffset') AND " + scale + " <> 7 THEN " + name +
           " + '(' + CAST(" + scale + " AS varchar(10)) + ')'\n"
           "   WHEN " + name + " = 'float' AND " + precision + " <> 53 THEN 'float(' + CAST(" + precision +
           " AS varchar(10)) + ')'\n"
           "   ELSE " + name + " END";
}

void TSQLServerConnection::GetSystemSchemaList(std::string& text) const {
    text.clear();
    for (const char* name : ServerSchemas) text += (text.empty() ? "('" : ", '") + std::string(name) + "'";
    text += ")";
}

std::string TSQLServerConnection::QuoteIdentifier(std::string_view name) const {
    return "[" + ReplaceAll(name, "]", "]]") + "]";
}

void TSQLServerConnection::GetSQL(int kind, std::string& sql) const {
    switch (kind) {
    case qkTables:
    case qkTablesAlternative:
        sql = "SELECT s.name AS RE_SCHEMANAME, t.name AS RE_TABLENAME, CAST(d.value AS nvarchar(max)) AS RE_COMMENT\n"
              "FROM sys.tables t\n"
              " JOIN sys.schemas s ON s.schema_id = t.schema_id\n" +
              Description("d", 1, "t.object_id", "0") +
              "WHERE t.is_ms_shipped = 0 AND " + SchemaCondition("s.name") +
              "\n AND NOT EXISTS (SELECT 1 FROM sys.extended_properties x WHERE x.class = 1 AND x.major_id = t.object_id\n"
              "   AND x.minor_id = 0 AND x.name = 'microsoft_database_tools_support')\n"
              "ORDER BY s.name, t.name";
        break;
    case qkColumns:
        // An alias type is written by its name (the domain); an identity column carries its
        // seed and increment, a computed column its expression, in the type text.
        sql = "SELECT c.name AS RE_COLUMNNAME, c.column_id AS RE_POS,\n"
              " CASE WHEN c.is_nullable = 1 OR c.is_computed = 1 THEN '0' ELSE '1' END AS RE_REQUIRED,\n"
              " dc.definition AS RE_DEFAULTVALUE, dc.name AS RE_DEFAULTCONNAME,\n"
              " CAST(d.value AS nvarchar(max)) AS RE_COMMENT,\n"
              " CASE WHEN c.collation_name <> CAST(DATABASEPROPERTYEX(DB_NAME(), 'Collation') AS nvarchar(128))\n"
              "   THEN c.collation_name END AS RE_COLLATION,\n"
              " CASE WHEN cc.definition IS NOT NULL THEN 'AS ' + cc.definition\n"
              "   WHEN ty.is_user_defined = 1 THEN ty.name\n"
              "   ELSE " + TypeText("ty.name", "c.max_length", "c.precision", "c.scale") +
              " + CASE WHEN ic.column_id IS NOT NULL THEN ' IDENTITY(' + CAST(ic.seed_value AS varchar(40)) + ',' +\n"
              "     CAST(ic.increment_value AS varchar(40)) + ')' ELSE '' END END AS RE_SCRIPTDATATYPE,\n"
              " CASE WHEN cc.is_persisted = 1 THEN 'PERSISTED' END AS RE_COLUMNOPTIONS\n"
              "FROM sys.columns c\n"
              " JOIN sys.tables t ON t.object_id = c.object_id\n"
              " JOIN sys.schemas s ON s.schema_id = t.schema_id\n"
              " JOIN sys.types ty ON ty.user_type_id = c.user_type_id\n"
              " LEFT JOIN sys.default_constraints dc ON dc.object_id = c.default_object_id\n"
              " LEFT JOIN sys.identity_columns ic ON ic.object_id = c.object_id AND ic.column_id = c.column_id\n"
              " LEFT JOIN sys.computed_columns cc ON cc.object_id = c.object_id AND cc.column_id = c.column_id\n" +
              Description("d", 1, "c.object_id", "c.column_id") +
              "WHERE " + OneTable + "\nORDER BY c.column_id";
        break;
    case qkPrimaryKey: sql = KeyQuery("PK"); break;
    case qkUniqueConstraints: sql = KeyQuery("UQ"); break;
    case qkCheckConstraints:
        sql = "SELECT k.name AS RE_CONNAME, k.definition AS RE_CONSTRAINT, c.name AS RE_COLUMNNAME,\n"
              " CAST(d.value AS nvarchar(max)) AS RE_COMMENT\n"
              "FROM sys.check_constraints k\n"
              " JOIN sys.tables t ON t.object_id = k.parent_object_id\n"
              " JOIN sys.schemas s ON s.schema_id = t.schema_id\n"
              " LEFT JOIN sys.columns c ON c.object_id = k.parent_object_id AND c.column_id = k.parent_column_id\n" +
              Description("d", 1, "k.object_id", "0") +
              "WHERE " + OneTable + "\nORDER BY k.name";
        break;
    case qkTriggers:
        sql = "SELECT g.name AS RE_TRIGGERNAME, m.definition AS RE_BODY, CAST(d.value AS nvarchar(max)) AS RE_COMMENT\n"
              "FROM sys.triggers g\n"
              " JOIN sys.tables t ON t.object_id = g.parent_id\n"
              " JOIN sys.schemas s ON s.schema_id = t.schema_id\n"
              " JOIN sys.sql_modules m ON m.object_id = g.object_id\n" +
              Description("d", 1, "g.object_id", "0") +
              "WHERE " + OneTable + "\nORDER BY g.name";
        break;
    case qkIndexes:
        // Indexes of their own: those of primary keys and unique constraints are the
        // constraints'. Included columns and filters go into the options.
        sql = "SELECT t.name AS RE_TABLENAME, i.name AS RE_INDEXNAME, c.name AS RE_COLUMNNAME,\n"
              " CASE WHEN ic.is_descending_key = 1 THEN 'DESC' ELSE 'ASC' END AS RE_SORTOPTION,\n"
              " CASE WHEN i.is_unique = 1 THEN 'UNIQUE' END AS RE_INDEXTYPE,\n"
              " CASE WHEN i.type = 1 THEN 'CLUSTERED' END AS RE_CLUSTERING,\n"
              " CAST(d.value AS nvarchar(max)) AS RE_COMMENT,\n"
              " NULLIF(CASE WHEN EXISTS (SELECT 1 FROM sys.index_columns x WHERE x.object_id = i.object_id\n"
              "     AND x.index_id = i.index_id AND x.is_included_column = 1)\n"
              "   THEN 'INCLUDE (' + STUFF((SELECT ', [' + REPLACE(xc.name, ']', ']]') + ']' FROM sys.index_columns x\n"
              "     JOIN sys.columns xc ON xc.object_id = x.object_id AND xc.column_id = x.column_id\n"
              "     WHERE x.object_id = i.object_id AND x.index_id = i.index_id AND x.is_included_column = 1\n"
              "     ORDER BY x.index_column_id FOR XML PATH('')), 1, 2, '') + ')' ELSE '' END +\n"
              "   CASE WHEN i.has_filter = 1 THEN ' WHERE ' + i.filter_definition ELSE '' END, '') AS RE_INDEXOPTIONS\n"
              "FROM sys.indexes i\n"
              " JOIN sys.tables t ON t.object_id = i.object_id\n"
              " JOIN sys.schemas s ON s.schema_id = t.schema_id\n"
              " JOIN sys.index_columns ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id\n"
              "   AND ic.is_included_column = 0\n"
              " JOIN sys.columns c ON c.object_id = ic.object_id AND c.column_id = ic.column_id\n" +
              Description("d", 7, "i.object_id", "i.index_id") +
              "WHERE " + OneTable + " AND i.is_primary_key = 0 AND i.is_unique_constraint = 0\n"
              " AND i.is_hypothetical = 0 AND i.type IN (1, 2)\n"
              "ORDER BY i.name, ic.key_ordinal";
        break;
    case qkViews:
        sql = ModuleQuery("RE_VIEWNAME", "sys.views", "v", "v.is_ms_shipped = 0 AND " + SchemaCondition("s.name"));
        break;
    case qkProcedures:
        // Procedures and functions (scalar, inline and table-valued) alike.
        sql = ModuleQuery("RE_PROCNAME", "sys.objects", "o",
                          "o.type IN ('P', 'FN', 'IF', 'TF') AND o.is_ms_shipped = 0 AND " + SchemaCondition("s.name"));
        break;
    case qkDomains:
        // Alias types, with the default and rule bound to them (their values: generation names
        // them after the type).
        sql = "SELECT s.name AS RE_SCHEMANAME, ty.name AS RE_DOMAINNAME,\n"
              " " + TypeText("bt.name", "ty.max_length", "ty.precision", "ty.scale") + " AS RE_SCRIPTDATATYPE,\n"
              " CASE WHEN ty.is_nullable = 1 THEN '0' ELSE '1' END AS RE_REQUIRED,\n"
              " " + ModuleValue("ty.default_object_id") + " AS RE_DEFAULTVALUE,\n"
              " " + ModuleValue("ty.rule_object_id") + " AS RE_CHECKCONSTRAINT,\n"
              " CAST(d.value AS nvarchar(max)) AS RE_COMMENT\n"
              "FROM sys.types ty\n"
              " JOIN sys.schemas s ON s.schema_id = ty.schema_id\n"
              " JOIN sys.types bt ON bt.user_type_id = ty.system_type_id\n" +
              Description("d", 6, "ty.user_type_id", "0") +
              "WHERE ty.is_user_defined = 1 AND ty.is_table_type = 0 AND " + SchemaCondition("s.name") +
              "\nORDER BY s.name, ty.name";
        break;
    case qkSequences:
        sql = "SELECT s.name AS RE_SCHEMANAME, q.name AS RE_SEQUENCENAME, CAST(d.value AS nvarchar(max)) AS RE_COMMENT,\n"
              " CAST(q.start_value AS varchar(40)) AS RE_SEED, CAST(q.increment AS varchar(40)) AS RE_INCREMENT,\n"
              " CAST(q.minimum_value AS varchar(40)) AS RE_MINVALUE, CAST(q.maximum_value AS varchar(40)) AS RE_MAXVALUE,\n"
              " CASE WHEN q.is_cycling = 1 THEN '1' ELSE '0' END AS RE_CYCLE,\n"
              " CASE WHEN q.is_cached = 0 THEN '0' ELSE CAST(q.cache_size AS varchar(20)) END AS RE_CACHE,\n"
              " TYPE_NAME(q.user_type_id) AS RE_INTEGERTYPE\n"
              "FROM sys.sequences q\n"
              " JOIN sys.schemas s ON s.schema_id = q.schema_id\n" +
              Description("d", 1, "q.object_id", "0") +
              "WHERE " + SchemaCondition("s.name") + "\nORDER BY s.name, q.name";
        break;
    case qkRelationships:
        sql = "SELECT f.name AS RE_CONNAME, ps.name AS RE_PARENTSCHEMA, pt.name AS RE_PARENT, pc.name AS RE_PARENTCOLUMN,\n"
              " s.name AS RE_CHILDSCHEMA, t.name AS RE_CHILD, c.name AS RE_CHILDCOLUMN,\n"
              " f.update_referential_action_desc AS RE_UPDATERULE, f.delete_referential_action_desc AS RE_DELETERULE\n"
              "FROM sys.foreign_keys f\n"
              " JOIN sys.foreign_key_columns fc ON fc.constraint_object_id = f.object_id\n"
              " JOIN sys.tables t ON t.object_id = f.parent_object_id\n"
              " JOIN sys.schemas s ON s.schema_id = t.schema_id\n"
              " JOIN sys.columns c ON c.object_id = fc.parent_object_id AND c.column_id = fc.parent_column_id\n"
              " JOIN sys.tables pt ON pt.object_id = f.referenced_object_id\n"
              " JOIN sys.schemas ps ON ps.schema_id = pt.schema_id\n"
              " JOIN sys.columns pc ON pc.object_id = fc.referenced_object_id AND pc.column_id = fc.referenced_column_id\n"
              "WHERE " + SchemaCondition("s.name") + "\nORDER BY s.name, t.name, f.name, fc.constraint_column_id";
        break;
    default: sql.clear();
    }
}

TVELAttribute* TSQLServerConnection::AddColumn(TVELEntity* entity, const TDBQuery& query) {
    TVELAttribute* attribute = TODBCConnection::AddColumn(entity, query);
    if (!attribute->DefaultValue().empty())
        attribute->SetDefaultValue(StripEnclosingParentheses(attribute->DefaultValue(), 1));
    return attribute;
}

void TSQLServerConnection::ReverseEngineerPrimaryKey(TVELEntity* entity) {
    TVELConstraint& key = *entity->PrimaryKey;
    key.SetName("");
    ForTable(entity, [&] {
        ForEachRow(qkPrimaryKey, entity, [&](const TDBQuery& row) {
            auto text = [&](const char* column) {
                const TDBField* field = row.FieldByName(column);
                return field ? field->AsString() : std::string();
            };
            SetImportedName(key, text("RE_CONNAME"));
            if (auto* attribute = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(text("RE_COLUMNNAME"))))
                entity->AddToPrimaryKey(attribute);
            if (text("RE_CLUSTERING") == "NONCLUSTERED") key.PKClustering = "NONCLUSTERED";
        });
    });
}

}  // namespace ardvin
