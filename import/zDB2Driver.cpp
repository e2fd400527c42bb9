#include "zDB2Driver.h"

#include "zRelationship.h"

namespace ardvin {

namespace {

// The schemas of the system.
const char* const DB2SystemSchemas[] = {"SYSIBM",  "SYSCAT", "SYSSTAT", "SYSFUN",    "SYSPROC", "SYSIBMADM",
                                        "SYSTOOLS", "SYSPUBLIC", "NULLID", "SQLJ", "SYSIBMINTERNAL", "SYSIBMTS"};

const std::string OneTable = "k.TABSCHEMA = ? AND k.TABNAME = ?";

// The full type as the script writes it, from expressions for the type name, length and
// scale. Defaults of the system (TIMESTAMP(6)) are not written.
std::string TypeText(const std::string& name, const std::string& length, const std::string& scale) {
    return "CASE\n"
           "   WHEN " + name + " IN ('VARCHAR', 'CHARACTER', 'VARGRAPHIC', 'GRAPHIC', 'BINARY', 'VARBINARY', 'BLOB',\n"
           "     'CLOB', 'DBCLOB') THEN RTRIM(" + name + ") || '(' || VARCHAR(" + length + ") || ')'\n"
           "   WHEN " + name + " IN ('DECIMAL', 'DECFLOAT') THEN RTRIM(" + name + ") || '(' || VARCHAR(" + length +
           ") || ',' || VARCHAR(" + scale + ") || ')'\n"
           "   WHEN " + name + " = 'TIMESTAMP' AND " + scale + " <> 6 THEN 'TIMESTAMP(' || VARCHAR(" + scale + ") || ')'\n"
           "   ELSE RTRIM(" + name + ") END";
}

// A key constraint (P or U) of a table with its columns in key order.
std::string KeyQuery(const char* type) {
    return std::string("SELECT RTRIM(k.CONSTNAME) AS RE_CONNAME, u.COLNAME AS RE_COLUMNNAME, u.COLSEQ AS RE_POS\n"
                       "FROM SYSCAT.TABCONST k\n"
                       " JOIN SYSCAT.KEYCOLUSE u ON u.CONSTNAME = k.CONSTNAME AND u.TABSCHEMA = k.TABSCHEMA\n"
                       "   AND u.TABNAME = k.TABNAME\n"
                       "WHERE ") +
           OneTable + " AND k.TYPE = '" + type + "'\nORDER BY k.CONSTNAME, u.COLSEQ";
}

}  // namespace

void TDB2Connection::GetSystemSchemaList(std::string& text) const {
    text.clear();
    for (const char* name : DB2SystemSchemas) text += (text.empty() ? "('" : ", '") + std::string(name) + "'";
    text += ")";
}

void TDB2Connection::GetSQL(int kind, std::string& sql) const {
    switch (kind) {
    case qkTables:
    case qkTablesAlternative:
        sql = "SELECT RTRIM(k.TABSCHEMA) AS RE_SCHEMANAME, k.TABNAME AS RE_TABLENAME, k.REMARKS AS RE_COMMENT\n"
              "FROM SYSCAT.TABLES k\n"
              "WHERE k.TYPE = 'T' AND " + SchemaCondition("k.TABSCHEMA") + "\n"
              "ORDER BY k.TABSCHEMA, k.TABNAME";
        break;
    case qkColumns:
        // A distinct type is written by its name (the domain); an identity column carries its
        // start and increment, a generated column its expression ("AS (...)"), in the type text.
        sql = "SELECT c.COLNAME AS RE_COLUMNNAME, c.COLNO AS RE_POS, c.NULLS AS RE_NOTREQUIRED,\n"
              " CASE WHEN c.IDENTITY = 'N' AND c.GENERATED = ' ' THEN c.DEFAULT END AS RE_DEFAULTVALUE,\n"
              " c.REMARKS AS RE_COMMENT,\n"
              " CASE WHEN c.IDENTITY = 'N' AND c.GENERATED <> ' ' AND c.TEXT IS NOT NULL\n"
              "     THEN VARCHAR(c.TEXT, 32000)\n"
              "   WHEN c.TYPESCHEMA <> 'SYSIBM' THEN c.TYPENAME\n"
              "   ELSE " + TypeText("c.TYPENAME", "c.LENGTH", "c.SCALE") + " ||\n"
              "   CASE WHEN c.IDENTITY = 'Y' THEN ' GENERATED ' ||\n"
              "     CASE WHEN c.GENERATED = 'A' THEN 'ALWAYS' ELSE 'BY DEFAULT' END ||\n"
              "     ' AS IDENTITY (START WITH ' || VARCHAR(a.START) || ', INCREMENT BY ' || VARCHAR(a.INCREMENT) || ')'\n"
              "   ELSE '' END END AS RE_SCRIPTDATATYPE\n"
              "FROM SYSCAT.COLUMNS c\n"
              " JOIN SYSCAT.TABLES k ON k.TABSCHEMA = c.TABSCHEMA AND k.TABNAME = c.TABNAME\n"
              " LEFT JOIN SYSCAT.COLIDENTATTRIBUTES a ON a.TABSCHEMA = c.TABSCHEMA AND a.TABNAME = c.TABNAME\n"
              "   AND a.COLNAME = c.COLNAME\n"
              "WHERE " + OneTable + " AND c.HIDDEN <> 'S'\n"
              "ORDER BY c.COLNO";
        break;
    case qkPrimaryKey: sql = KeyQuery("P"); break;
    case qkUniqueConstraints: sql = KeyQuery("U"); break;
    case qkCheckConstraints:
        sql = "SELECT RTRIM(k.CONSTNAME) AS RE_CONNAME, VARCHAR(k.TEXT, 32000) AS RE_CONSTRAINT, t.REMARKS AS RE_COMMENT\n"
              "FROM SYSCAT.CHECKS k\n"
              " JOIN SYSCAT.TABCONST t ON t.CONSTNAME = k.CONSTNAME AND t.TABSCHEMA = k.TABSCHEMA\n"
              "   AND t.TABNAME = k.TABNAME\n"
              "WHERE " + OneTable + " AND k.TYPE = 'C'\n"
              "ORDER BY k.CONSTNAME";
        break;
    case qkTriggers:
        sql = "SELECT k.TRIGNAME AS RE_TRIGGERNAME, k.TEXT AS RE_BODY, k.REMARKS AS RE_COMMENT\n"
              "FROM SYSCAT.TRIGGERS k\n"
              "WHERE " + OneTable + "\nORDER BY k.TRIGNAME";
        break;
    case qkIndexes:
        // Indexes of their own, not those that the system made for key constraints; included
        // columns go into the options.
        sql = "SELECT k.TABNAME AS RE_TABLENAME, k.INDNAME AS RE_INDEXNAME, u.COLNAME AS RE_COLUMNNAME,\n"
              " u.COLORDER AS RE_SORTOPTION, CASE WHEN k.UNIQUERULE = 'U' THEN 'UNIQUE' END AS RE_INDEXTYPE,\n"
              " CASE WHEN k.INDEXTYPE = 'CLUS' THEN 'CLUSTER' END AS RE_CLUSTERING, k.REMARKS AS RE_COMMENT,\n"
              " (SELECT 'INCLUDE (' || LISTAGG('\"' || REPLACE(x.COLNAME, '\"', '\"\"') || '\"', ', ')\n"
              "     WITHIN GROUP (ORDER BY x.COLSEQ) || ')' FROM SYSCAT.INDEXCOLUSE x\n"
              "   WHERE x.INDSCHEMA = k.INDSCHEMA AND x.INDNAME = k.INDNAME AND x.COLORDER = 'I') AS RE_INDEXOPTIONS\n"
              "FROM SYSCAT.INDEXES k\n"
              " JOIN SYSCAT.INDEXCOLUSE u ON u.INDSCHEMA = k.INDSCHEMA AND u.INDNAME = k.INDNAME AND u.COLORDER <> 'I'\n"
              "WHERE " + OneTable + " AND k.UNIQUERULE <> 'P'\n"
              " AND NOT EXISTS (SELECT 1 FROM SYSCAT.CONSTDEP d WHERE d.BTYPE = 'I' AND d.BSCHEMA = k.INDSCHEMA\n"
              "   AND d.BNAME = k.INDNAME)\n"
              "ORDER BY k.INDNAME, u.COLSEQ";
        break;
    case qkViews:
        sql = "SELECT RTRIM(v.VIEWSCHEMA) AS RE_SCHEMANAME, v.VIEWNAME AS RE_VIEWNAME, v.TEXT AS RE_BODY,\n"
              " t.REMARKS AS RE_COMMENT\n"
              "FROM SYSCAT.VIEWS v\n"
              " JOIN SYSCAT.TABLES t ON t.TABSCHEMA = v.VIEWSCHEMA AND t.TABNAME = v.VIEWNAME\n"
              "WHERE " + SchemaCondition("v.VIEWSCHEMA") + "\nORDER BY v.VIEWSCHEMA, v.VIEWNAME";
        break;
    case qkProcedures:
    case qkFunctions:
        // Routines written in SQL (their text is the statement that makes them).
        sql = "SELECT RTRIM(r.ROUTINESCHEMA) AS RE_SCHEMANAME, r.ROUTINENAME AS RE_PROCNAME, r.TEXT AS RE_BODY,\n"
              " r.REMARKS AS RE_COMMENT\n"
              "FROM SYSCAT.ROUTINES r\n"
              "WHERE r.ROUTINETYPE IN (" + std::string(kind == qkFunctions ? "'F'" : "'P', 'F'") +
              ") AND r.TEXT IS NOT NULL AND " + SchemaCondition("r.ROUTINESCHEMA") + "\n"
              "ORDER BY r.ROUTINESCHEMA, r.ROUTINENAME, r.SPECIFICNAME";
        break;
    case qkDomains:
        // Distinct types over built-in types.
        sql = "SELECT RTRIM(d.TYPESCHEMA) AS RE_SCHEMANAME, d.TYPENAME AS RE_DOMAINNAME,\n"
              " " + TypeText("d.SOURCENAME", "d.LENGTH", "d.SCALE") + " AS RE_SCRIPTDATATYPE,\n"
              " d.REMARKS AS RE_COMMENT\n"
              "FROM SYSCAT.DATATYPES d\n"
              "WHERE d.METATYPE = 'T' AND " + SchemaCondition("d.TYPESCHEMA") + "\n"
              "ORDER BY d.TYPESCHEMA, d.TYPENAME";
        break;
    case qkSequences:
        // The sequences of identity columns (type I) belong to their columns.
        sql = "SELECT RTRIM(q.SEQSCHEMA) AS RE_SCHEMANAME, q.SEQNAME AS RE_SEQUENCENAME, q.REMARKS AS RE_COMMENT,\n"
              " VARCHAR(q.START) AS RE_SEED, VARCHAR(q.INCREMENT) AS RE_INCREMENT, VARCHAR(q.MINVALUE) AS RE_MINVALUE,\n"
              " VARCHAR(q.MAXVALUE) AS RE_MAXVALUE, q.CYCLE AS RE_CYCLE, q.ORDER AS RE_ORDER,\n"
              " VARCHAR(q.CACHE) AS RE_CACHE, RTRIM(t.TYPENAME) AS RE_INTEGERTYPE\n"
              "FROM SYSCAT.SEQUENCES q\n"
              " LEFT JOIN SYSCAT.DATATYPES t ON t.TYPEID = q.DATATYPEID AND t.TYPESCHEMA = 'SYSIBM'\n"
              "WHERE q.SEQTYPE = 'S' AND " + SchemaCondition("q.SEQSCHEMA") + "\n"
              "ORDER BY q.SEQSCHEMA, q.SEQNAME";
        break;
    case qkRelationships:
        sql = "SELECT RTRIM(r.CONSTNAME) AS RE_CONNAME, RTRIM(r.REFTABSCHEMA) AS RE_PARENTSCHEMA,\n"
              " r.REFTABNAME AS RE_PARENT, p.COLNAME AS RE_PARENTCOLUMN, RTRIM(r.TABSCHEMA) AS RE_CHILDSCHEMA,\n"
              " r.TABNAME AS RE_CHILD, f.COLNAME AS RE_CHILDCOLUMN, r.UPDATERULE AS RE_UPDATERULE,\n"
              " r.DELETERULE AS RE_DELETERULE\n"
              "FROM SYSCAT.REFERENCES r\n"
              " JOIN SYSCAT.KEYCOLUSE f ON f.CONSTNAME = r.CONSTNAME AND f.TABSCHEMA = r.TABSCHEMA AND f.TABNAME = r.TABNAME\n"
              " JOIN SYSCAT.KEYCOLUSE p ON p.CONSTNAME = r.REFKEYNAME AND p.TABSCHEMA = r.REFTABSCHEMA\n"
              "   AND p.TABNAME = r.REFTABNAME AND p.COLSEQ = f.COLSEQ\n"
              "WHERE " + SchemaCondition("r.TABSCHEMA") + "\n"
              "ORDER BY r.TABSCHEMA, r.TABNAME, r.CONSTNAME, f.COLSEQ";
        break;
    default: sql.clear();
    }
}

uint8_t TDB2Connection::RuleFromText(std::string_view text) const {
    const std::string code = UpperCase(Trim(text));
    if (code == "C") return raCascade;
    if (code == "N") return raSetNull;
    if (code == "R") return raRestrict;
    if (code == "A") return raNone;
    return TODBCConnection::RuleFromText(text);
}

void TDB2Connection::NormalizeName(std::string_view text, std::string& result) const {
    const std::string code = UpperCase(Trim(text));
    result = code == "A" ? "ASC" : code == "D" ? "DESC" : code;
}

}  // namespace ardvin
