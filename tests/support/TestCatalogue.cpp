#include "TestCatalogue.h"

#include <cstdio>

#include "zDBDrivers.h"

namespace ardvin::test {

const char* const CatalogueKinds[14] = {"table",   "column",  "primary key", "foreign key", "index", "unique",
                                      "check",   "comment", "view",        "sequence",    "routine", "trigger",
                                      "domain",  "rule"};

void ExpectSameCatalogue(const TCatalogue& expected, const TCatalogue& actual, const std::string& what) {
    for (const char* kind : CatalogueKinds) {
        const auto e = expected.find(kind);
        const auto a = actual.find(kind);
        const std::set<std::string> none;
        const std::set<std::string>& exp = e == expected.end() ? none : e->second;
        const std::set<std::string>& act = a == actual.end() ? none : a->second;
        std::string missing, extra;
        for (const std::string& line : exp)
            if (!act.count(line)) missing += "\n  " + line;
        for (const std::string& line : act)
            if (!exp.count(line)) extra += "\n  " + line;
        EXPECT_TRUE(missing.empty() && extra.empty())
            << what << ", " << kind << ":" << (missing.empty() ? "" : "\n missing:" + missing)
            << (extra.empty() ? "" : "\n unexpected:" + extra);
    }
}

size_t ObjectCount(const TCatalogue& catalogue) {
    size_t n = 0;
    for (const auto& [kind, lines] : catalogue) n += lines.size();
    return n;
}

const char* const PgUserSchemas = "n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg_toast%'";

TCatalogue TPostgres::Catalogue() {
    TCatalogue c;
    const std::string user = PgUserSchemas;
    const std::string rel = "n.nspname || '.' || t.relname";
    const std::string tables = " FROM pg_class t JOIN pg_namespace n ON n.oid = t.relnamespace WHERE t.relkind IN "
                               "('r', 'p') AND " + user;
    const std::string attributes = " FROM pg_class t JOIN pg_namespace n ON n.oid = t.relnamespace JOIN pg_attribute a "
                                   "ON a.attrelid = t.oid AND a.attnum > 0 AND NOT a.attisdropped WHERE t.relkind IN "
                                   "('r', 'p') AND " + user;
    Collect(c, "table", "SELECT " + rel + tables);
    Collect(c, "column", "SELECT " + rel + ", ': ', row_number() OVER (PARTITION BY t.oid ORDER BY a.attnum), ' ', "
                         "a.attname, CASE WHEN a.attnotnull THEN ' NOT NULL' ELSE '' END" + attributes);
    auto keyColumns = [](const std::string& table, const std::string& keys) {
        return "'(' || (SELECT string_agg(a.attname, ',' ORDER BY k.i) FROM unnest(" + keys +
               ") WITH ORDINALITY k(n, i) JOIN pg_attribute a ON a.attrelid = " + table + " AND a.attnum = k.n) || ')'";
    };
    const std::string constraints = " FROM pg_constraint k JOIN pg_class t ON t.oid = k.conrelid JOIN pg_namespace n "
                                    "ON n.oid = t.relnamespace WHERE " + user;
    Collect(c, "primary key", "SELECT " + rel + ", ' ', k.conname, ' ', " + keyColumns("t.oid", "k.conkey") +
                                  constraints + " AND k.contype = 'p'");
    Collect(c, "unique", "SELECT " + rel + ", ' ', k.conname, ' ', " + keyColumns("t.oid", "k.conkey") + constraints +
                             " AND k.contype = 'u'");
    Collect(c, "check", "SELECT " + rel + ", ' ', k.conname" + constraints + " AND k.contype = 'c'");
    const std::string action = "CASE %s WHEN 'a' THEN 'NO ACTION' WHEN 'r' THEN 'RESTRICT' WHEN 'c' THEN 'CASCADE' "
                               "WHEN 'n' THEN 'SET NULL' WHEN 'd' THEN 'SET DEFAULT' END";
    Collect(c, "foreign key",
            "SELECT " + rel + ", ' ', k.conname, ' ', " + keyColumns("t.oid", "k.conkey") +
                ", ' -> ', pn.nspname || '.' || p.relname, ' ', " + keyColumns("p.oid", "k.confkey") +
                ", ' ON DELETE ', " + Format(action.c_str(), "k.confdeltype") + ", ' ON UPDATE ', " +
                Format(action.c_str(), "k.confupdtype") +
                " FROM pg_constraint k JOIN pg_class t ON t.oid = k.conrelid JOIN pg_namespace n ON n.oid = "
                "t.relnamespace JOIN pg_class p ON p.oid = k.confrelid JOIN pg_namespace pn ON pn.oid = "
                "p.relnamespace WHERE k.contype = 'f' AND " + user);
    // Indexes of their own, not those behind constraints; expression columns as "<expression>".
    Collect(c, "index",
            "SELECT " + rel + ", ' ', i.relname, CASE WHEN x.indisunique THEN ' UNIQUE' ELSE '' END, ' (', "
            "(SELECT string_agg(CASE WHEN k.n = 0 THEN '<expression>' ELSE a.attname END, ',' ORDER BY k.i) "
            "FROM unnest(x.indkey) WITH ORDINALITY k(n, i) LEFT JOIN pg_attribute a ON a.attrelid = t.oid AND "
            "a.attnum = k.n), ')' FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid JOIN pg_class t ON t.oid = "
            "x.indrelid JOIN pg_namespace n ON n.oid = t.relnamespace WHERE " + user +
            " AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = x.indexrelid)");
    Collect(c, "comment", "SELECT " + rel + ", ': ', obj_description(t.oid, 'pg_class')" + tables +
                              " AND obj_description(t.oid, 'pg_class') IS NOT NULL");
    Collect(c, "comment", "SELECT " + rel + ", '.', a.attname, ': ', col_description(t.oid, a.attnum)" + attributes +
                              " AND col_description(t.oid, a.attnum) IS NOT NULL");
    Collect(c, "view", "SELECT " + rel + " FROM pg_class t JOIN pg_namespace n ON n.oid = t.relnamespace WHERE "
                                         "t.relkind = 'v' AND " + user);
    // Sequences of the model, not those behind identity and serial columns.
    Collect(c, "sequence", "SELECT " + rel + " FROM pg_class t JOIN pg_namespace n ON n.oid = t.relnamespace WHERE "
                                             "t.relkind = 'S' AND " + user +
                               " AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = t.oid AND d.deptype IN "
                               "('a', 'i'))");
    Collect(c, "routine", "SELECT n.nspname || '.' || p.proname FROM pg_proc p JOIN pg_namespace n ON n.oid = "
                          "p.pronamespace WHERE " + user);
    Collect(c, "trigger", "SELECT " + rel + ", ' ', g.tgname FROM pg_trigger g JOIN pg_class t ON t.oid = g.tgrelid "
                          "JOIN pg_namespace n ON n.oid = t.relnamespace WHERE NOT g.tgisinternal AND " + user);
    Collect(c, "domain", "SELECT n.nspname || '.' || y.typname FROM pg_type y JOIN pg_namespace n ON n.oid = "
                         "y.typnamespace WHERE y.typtype IN ('d', 'e') AND " + user);
    Collect(c, "rule", "SELECT rulename FROM pg_rules WHERE schemaname NOT IN ('pg_catalog', 'information_schema')");
    return c;
}

TCatalogue TMariaDB::Catalogue() {
    TCatalogue c;
    std::string in;
    for (const std::string& db : databases_) in += (in.empty() ? "'" : ", '") + db + "'";
    in = " IN (" + in + ")";
    Collect(c, "table", "SELECT CONCAT(TABLE_SCHEMA, '.', TABLE_NAME) FROM information_schema.TABLES WHERE "
                        "TABLE_TYPE = 'BASE TABLE' AND TABLE_SCHEMA" + in);
    Collect(c, "column", "SELECT CONCAT(TABLE_SCHEMA, '.', TABLE_NAME, ': ', ORDINAL_POSITION, ' ', COLUMN_NAME, "
                         "IF(IS_NULLABLE = 'NO', ' NOT NULL', '')) FROM information_schema.COLUMNS c WHERE TABLE_SCHEMA" +
                             in + " AND EXISTS (SELECT 1 FROM information_schema.TABLES t WHERE t.TABLE_SCHEMA = "
                                  "c.TABLE_SCHEMA AND t.TABLE_NAME = c.TABLE_NAME AND t.TABLE_TYPE = 'BASE TABLE')");
    const std::string keyColumns = "CONCAT('(', (SELECT GROUP_CONCAT(u.COLUMN_NAME ORDER BY u.ORDINAL_POSITION) FROM "
                                   "information_schema.KEY_COLUMN_USAGE u WHERE u.CONSTRAINT_SCHEMA = k.CONSTRAINT_SCHEMA "
                                   "AND u.TABLE_NAME = k.TABLE_NAME AND u.CONSTRAINT_NAME = k.CONSTRAINT_NAME), ')')";
    const std::string constraints = " FROM information_schema.TABLE_CONSTRAINTS k WHERE k.CONSTRAINT_SCHEMA" + in;
    Collect(c, "primary key", "SELECT CONCAT(k.TABLE_SCHEMA, '.', k.TABLE_NAME, ' ', k.CONSTRAINT_NAME, ' ', " +
                                  keyColumns + ")" + constraints + " AND k.CONSTRAINT_TYPE = 'PRIMARY KEY'");
    Collect(c, "unique", "SELECT CONCAT(k.TABLE_SCHEMA, '.', k.TABLE_NAME, ' ', k.CONSTRAINT_NAME, ' ', " + keyColumns +
                             ")" + constraints + " AND k.CONSTRAINT_TYPE = 'UNIQUE'");
    // The check every JSON column gets is the server's own.
    Collect(c, "check", "SELECT CONCAT(CONSTRAINT_SCHEMA, '.', TABLE_NAME, ' ', CONSTRAINT_NAME) FROM "
                        "information_schema.CHECK_CONSTRAINTS "
                        "WHERE CONSTRAINT_SCHEMA" + in + " AND CHECK_CLAUSE NOT LIKE 'json_valid(%'");
    Collect(c, "foreign key",
            "SELECT CONCAT(k.CONSTRAINT_SCHEMA, '.', k.TABLE_NAME, ' ', k.CONSTRAINT_NAME, ' ', " + keyColumns +
                ", ' -> ', (SELECT CONCAT(MIN(u.REFERENCED_TABLE_SCHEMA), '.', MIN(u.REFERENCED_TABLE_NAME), ' (', "
                "GROUP_CONCAT(u.REFERENCED_COLUMN_NAME ORDER BY u.ORDINAL_POSITION), ')') FROM "
                "information_schema.KEY_COLUMN_USAGE u WHERE u.CONSTRAINT_SCHEMA = k.CONSTRAINT_SCHEMA AND u.TABLE_NAME "
                "= k.TABLE_NAME AND u.CONSTRAINT_NAME = k.CONSTRAINT_NAME), ' ON DELETE ', k.DELETE_RULE, "
                "' ON UPDATE ', k.UPDATE_RULE) FROM information_schema.REFERENTIAL_CONSTRAINTS k WHERE "
                "k.CONSTRAINT_SCHEMA" + in);
    // Indexes of their own: not the primary key, unique constraints (unique indexes among them,
    // which the server does not tell apart), or the indexes it makes for foreign keys (named
    // after them).
    Collect(c, "index",
            "SELECT CONCAT(s.TABLE_SCHEMA, '.', s.TABLE_NAME, ' ', s.INDEX_NAME, CASE WHEN MIN(s.INDEX_TYPE) IN "
            "('FULLTEXT', 'SPATIAL') THEN CONCAT(' ', MIN(s.INDEX_TYPE)) WHEN MIN(s.NON_UNIQUE) = 0 THEN ' UNIQUE' "
            "ELSE '' END, ' (', GROUP_CONCAT(IFNULL(s.COLUMN_NAME, '<expression>') ORDER BY s.SEQ_IN_INDEX), ')') "
            "FROM information_schema.STATISTICS s WHERE s.TABLE_SCHEMA" + in +
            " AND s.INDEX_NAME <> 'PRIMARY' AND NOT EXISTS (SELECT 1 FROM information_schema.TABLE_CONSTRAINTS k "
            "WHERE k.TABLE_SCHEMA = s.TABLE_SCHEMA AND k.TABLE_NAME = s.TABLE_NAME AND k.CONSTRAINT_NAME = "
            "s.INDEX_NAME AND k.CONSTRAINT_TYPE IN ('UNIQUE', 'FOREIGN KEY')) "
            "GROUP BY s.TABLE_SCHEMA, s.TABLE_NAME, s.INDEX_NAME");
    Collect(c, "comment", "SELECT CONCAT(TABLE_SCHEMA, '.', TABLE_NAME, ': ', TABLE_COMMENT) FROM "
                          "information_schema.TABLES WHERE TABLE_TYPE = 'BASE TABLE' AND TABLE_COMMENT <> '' AND "
                          "TABLE_SCHEMA" + in);
    Collect(c, "comment", "SELECT CONCAT(TABLE_SCHEMA, '.', TABLE_NAME, '.', COLUMN_NAME, ': ', COLUMN_COMMENT) FROM "
                          "information_schema.COLUMNS c WHERE COLUMN_COMMENT <> '' AND TABLE_SCHEMA" + in +
                              " AND EXISTS (SELECT 1 FROM information_schema.TABLES t WHERE t.TABLE_SCHEMA = "
                              "c.TABLE_SCHEMA AND t.TABLE_NAME = c.TABLE_NAME AND t.TABLE_TYPE = 'BASE TABLE')");
    Collect(c, "view", "SELECT CONCAT(TABLE_SCHEMA, '.', TABLE_NAME) FROM information_schema.VIEWS WHERE TABLE_SCHEMA" + in);
    Collect(c, "sequence", "SELECT CONCAT(TABLE_SCHEMA, '.', TABLE_NAME) FROM information_schema.TABLES WHERE "
                           "TABLE_TYPE = 'SEQUENCE' AND TABLE_SCHEMA" + in);
    Collect(c, "routine", "SELECT CONCAT(ROUTINE_SCHEMA, '.', ROUTINE_NAME) FROM information_schema.ROUTINES WHERE "
                          "ROUTINE_SCHEMA" + in);
    Collect(c, "trigger", "SELECT CONCAT(EVENT_OBJECT_SCHEMA, '.', EVENT_OBJECT_TABLE, ' ', TRIGGER_NAME) FROM "
                          "information_schema.TRIGGERS WHERE TRIGGER_SCHEMA" + in);
    return c;
}

TCatalogue TSQLite::Catalogue() {
    TCatalogue c;
    for (const auto& row : Query("SELECT type, name, tbl_name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%'")) {
        const std::string& type = row[0];
        const std::string& name = row[1];
        if (type == "view") c["view"].insert(name);
        if (type == "trigger") c["trigger"].insert(row[2] + " " + name);
        if (type != "table") continue;
        c["table"].insert(name);
        const std::string quoted = "'" + ReplaceAll(name, "'", "''") + "'";
        std::map<int, std::string> key;
        int position = 0;
        for (const auto& col : Query("SELECT name, \"notnull\", pk FROM pragma_table_xinfo(" + quoted + ")")) {
            c["column"].insert(name + ": " + std::to_string(++position) + " " + col[0] +
                               (col[1] == "1" ? " NOT NULL" : ""));
            if (col[2] != "0") key[std::stoi(col[2])] = col[0];
        }
        if (!key.empty()) {
            std::string columns;
            for (const auto& [i, column] : key) columns += (columns.empty() ? "" : ",") + column;
            c["primary key"].insert(name + " (" + columns + ")");
        }
        std::map<int, std::vector<std::string>> fks;  // id -> from, to, table, on update, on delete
        for (const auto& fk : Query("SELECT id, \"table\", \"from\", \"to\", on_update, on_delete FROM "
                                    "pragma_foreign_key_list(" + quoted + ") ORDER BY id, seq")) {
            auto& f = fks[std::stoi(fk[0])];
            if (f.empty()) f = {"", "", fk[1], fk[4], fk[5]};
            f[0] += (f[0].empty() ? "" : ",") + fk[2];
            f[1] += (f[1].empty() ? "" : ",") + fk[3];
        }
        for (const auto& [id, f] : fks)
            c["foreign key"].insert(name + " (" + f[0] + ") -> " + f[2] + " (" + f[1] + ") ON DELETE " + f[4] +
                                    " ON UPDATE " + f[3]);
        for (const auto& index : Query("SELECT name, \"unique\", origin FROM pragma_index_list(" + quoted + ")")) {
            if (index[2] == "pk") continue;
            std::string columns;
            for (const auto& col : Query("SELECT name FROM pragma_index_info('" + ReplaceAll(index[0], "'", "''") +
                                         "') ORDER BY seqno"))
                columns += (columns.empty() ? "" : ",") + (col[0].empty() ? "<expression>" : col[0]);
            if (index[2] == "u")
                c["unique"].insert(name + " (" + columns + ")");
            else
                c["index"].insert(name + " " + index[0] + (index[1] == "1" ? " UNIQUE" : "") + " (" + columns + ")");
        }
    }
    return c;
}

}  // namespace ardvin::test
