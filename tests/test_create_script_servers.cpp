// Create and drop scripts of models that use every feature of their target, run on real
// servers: PostgreSQL 15 and MariaDB 10.11 (the throwaway test servers, the MySQL 8 target
// included), SQLite through the library and Firebird 3 through its embedded engine. Each script must run without a single error; the
// server's catalogue must then hold exactly the model's tables, columns, keys, foreign keys,
// indexes, constraints and code objects, and be empty again after the drop script.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FirebirdDatabase.h"
#include "FullFeatureModel.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

// What a catalogue holds, as one canonical line per object, by kind.
using TCatalogue = std::map<std::string, std::set<std::string>>;

const char* const CatalogueKinds[] = {"table",   "column",  "primary key", "foreign key", "index", "unique",
                                      "check",   "comment", "view",        "sequence",    "routine", "trigger",
                                      "domain",  "rule"};

// Reports the differences of two catalogues kind by kind.
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

// ---- what the servers make of a model -------------------------------------------------------------

// How a server keeps what a script gives it.
struct TServerRules {
    std::string DefaultSchema;
    bool PrimaryKeyNotNull = true;    // key columns are NOT NULL without saying so
    bool KeepsKeyNames = true;        // primary keys keep their names
    std::string PrimaryKeyName;       // the one name of every primary key, when the server has one
    bool KeepsForeignKeyNames = true;
    bool KeepsUniqueNames = true;
    bool ChecksInCatalogue = true;
    bool ColumnChecksNamedByColumn = false;  // unnamed column checks carry their column's name
    std::string NoAction = "NO ACTION";      // the rule a foreign key without action gets
    bool HasComments = false;
    bool IndexKinds = false;          // FULLTEXT and SPATIAL indexes are told apart
    bool SerialHasIndex = false;      // a SERIAL column brings a unique index named after it
    bool UniqueIndexIsConstraint = false;  // a unique index is listed as a unique constraint
};

std::string ActionText(int action, const TServerRules& rules) {
    switch (action) {
    case raRestrict: return "RESTRICT";
    case raCascade: return "CASCADE";
    case raSetNull: return "SET NULL";
    case raSetDefault: return "SET DEFAULT";
    default: return rules.NoAction;
    }
}

// Names as the scripts write them: quote characters cannot stand in a quoted name.
std::string N(const TVELDatabaseSettings& s, const std::string& name) { return s.StripQuotes(name); }

std::string Qualified(const TVELDatabaseSettings& s, const TVELDatabaseObject& object, const TServerRules& rules) {
    const std::string schema = object.SchemaName.empty() ? rules.DefaultSchema : object.SchemaName;
    return (schema.empty() ? "" : schema + ".") + N(s, object.GetName());
}

std::string ColumnList(const TVELDatabaseSettings& s, const std::vector<TVELAttribute*>& columns) {
    std::string text;
    for (const TVELAttribute* a : columns) text += (text.empty() ? "" : ",") + (a ? N(s, a->GetName()) : "?");
    return "(" + text + ")";
}

std::string CommentText(const std::string& comment) {
    std::string text = Trim(comment);
    text = ReplaceAll(ReplaceAll(text, "\r\n", " "), "\n", " ");
    return text;
}

// The catalogue a prepared model should leave on a server.
TCatalogue ExpectedCatalogue(const TVELDataDictionary& model, const TServerRules& rules) {
    const TVELDatabaseSettings& s = *model.GetDatabaseSettings();
    TCatalogue c;
    std::vector<TVELEntity*> tables;
    model.CollectOfClass(tables);
    for (const TVELEntity* t : tables) {
        const std::string table = Qualified(s, *t, rules);
        c["table"].insert(table);
        if (rules.HasComments && !Trim(t->Comment).empty())
            c["comment"].insert(table + ": " + CommentText(t->Comment));
        std::vector<TVELAttribute*> key;
        t->PrimaryKeyAttributes(key);
        for (int i = 0; i < t->Attributes.Count(); ++i) {
            const TVELAttribute* a = t->AttributeAt(i);
            const bool notNull = a->IsNotNull() || (rules.PrimaryKeyNotNull && a->IsPrimaryKey());
            c["column"].insert(table + ": " + std::to_string(i + 1) + " " + N(s, a->GetName()) +
                               (notNull ? " NOT NULL" : ""));
            if (rules.HasComments && !Trim(a->Comment).empty())
                c["comment"].insert(table + "." + N(s, a->GetName()) + ": " + CommentText(a->Comment));
            if (rules.SerialHasIndex && SameText(a->DataType->DataType, "SERIAL"))
                c["unique"].insert(table + " " + N(s, a->GetName()) + " (" + N(s, a->GetName()) + ")");
            const TVELConstraint* check = a->ExistingColumnConstraint(3);
            if (rules.ChecksInCatalogue && check && check->IsInUse()) {
                const std::string name = check->GetName().empty() && rules.ColumnChecksNamedByColumn
                                             ? N(s, a->GetName())
                                             : N(s, check->GetName());
                c["check"].insert(table + " " + name);
            }
        }
        if (!key.empty()) {
            const std::string name = !rules.PrimaryKeyName.empty() ? rules.PrimaryKeyName + " "
                                     : rules.KeepsKeyNames          ? N(s, t->PrimaryKey->GetName()) + " "
                                                                    : "";
            c["primary key"].insert(table + " " + name + ColumnList(s, key));
        }
        for (int i = 0; i < t->Constraints.Count(); ++i) {
            const TVELConstraint* k = t->ConstraintAt(i);
            std::vector<TVELAttribute*> columns;
            k->AttributeIDs.GetAttributes(columns);
            if (k->ConstraintType == ctUnique)
                c["unique"].insert(table + " " + (rules.KeepsUniqueNames ? N(s, k->GetName()) + " " : "") +
                                   ColumnList(s, columns));
            else if (k->ConstraintType == ctCheck && rules.ChecksInCatalogue)
                c["check"].insert(table + " " + N(s, k->GetName()));
        }
        for (int i = 0; i < t->Indexes.Count(); ++i) {
            const TVELIndex* index = t->IndexAt(i);
            std::string columns;
            for (int k = 0; k < index->Columns.Count(); ++k) {
                const TVELAttribute* a = index->Column(k)->GetAttribute();
                columns += (k ? "," : "") + (a ? N(s, a->GetName()) : std::string("<expression>"));
            }
            std::string kind = UpperCase(index->IndexType);
            if (kind == "UNIQUE" && rules.UniqueIndexIsConstraint) {
                c["unique"].insert(table + " " + N(s, index->GetName()) + " (" + columns + ")");
                continue;
            }
            if (!rules.IndexKinds && kind != "UNIQUE") kind.clear();
            c["index"].insert(table + " " + N(s, index->GetName()) + (kind.empty() ? "" : " " + kind) + " (" +
                              columns + ")");
        }
        for (int i = 0; i < t->Triggers.Count(); ++i)
            if (!Trim(t->TriggerAt(i)->Code).empty())
                c["trigger"].insert(table + " " + N(s, t->TriggerAt(i)->GetName()));
    }
    std::vector<TVELRelationship*> relationships;
    model.CollectOfClass(relationships);
    for (const TVELRelationship* r : relationships) {
        std::vector<TVELAttribute*> childColumns, parentColumns;
        r->ForeignKeyAttributes(childColumns);
        r->KeyAttributes(parentColumns);
        const std::string name = rules.KeepsForeignKeyNames ? " " + N(s, r->FKConstraint->GetName()) : "";
        c["foreign key"].insert(Qualified(s, *r->GetChildEntity(), rules) + name + " " + ColumnList(s, childColumns) +
                                " -> " + Qualified(s, *r->GetParentEntity(), rules) + " " +
                                ColumnList(s, parentColumns) + " ON DELETE " + ActionText(r->DeleteRule, rules) +
                                " ON UPDATE " + ActionText(r->UpdateRule, rules));
    }
    for (int i = 0; i < model.Count(); ++i) {
        const TVELDatabaseObject* o = model.Object(i);
        const std::string name = Qualified(s, *o, rules);
        switch (o->ObjectType) {
        case otView: c["view"].insert(name); break;
        case otSequence: c["sequence"].insert(name); break;
        case otProcedure: c["routine"].insert(name); break;
        case otDomain: c["domain"].insert(name); break;
        case otRule: c["rule"].insert(N(s, o->GetName())); break;
        default: break;
        }
    }
    return c;
}

// ---- PostgreSQL ----------------------------------------------------------------------------------

// The catalogue readers: a query's rows, each joined into one line of a kind.
template <class Connection> class TCatalogueReader {
public:
    explicit TCatalogueReader(const std::string& database) : conn_(database) {
        EXPECT_EQ(conn_.ConnectError(), "");
    }
    TRows Query(const std::string& sql) {
        std::string error;
        TRows rows = conn_.Query(sql, error);
        if (!error.empty()) ADD_FAILURE() << sql << ": " << error;
        return rows;
    }
    void Collect(TCatalogue& c, const char* kind, const std::string& sql) {
        for (const auto& row : Query(sql)) c[kind].insert(JoinStrings(row, ""));
    }

protected:
    Connection conn_;
};

class TPostgres : public TCatalogueReader<TPostgresConnection> {
public:
    explicit TPostgres(const std::string& database) : TCatalogueReader(database) {
        conn_.Run("SET client_min_messages = warning");
    }
    // Runs a whole script; the error message, empty on success.
    std::string Run(const std::string& script) { return conn_.Run(script); }
    TCatalogue Catalogue();
};

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

TServerRules PostgresRules() {
    TServerRules rules;
    rules.DefaultSchema = "public";
    rules.HasComments = true;
    return rules;
}

// ---- MariaDB ---------------------------------------------------------------------------------------

class TMariaDB : public TCatalogueReader<TMariaDBConnection> {
public:
    explicit TMariaDB(std::vector<std::string> databases)
        : TCatalogueReader(databases.front()), databases_(std::move(databases)) {}
    // Runs a script with the command-line client, as a user would; its messages when it fails.
    std::string Run(const std::string& script) { return RunMariaDBScript(databases_[0], script); }
    TCatalogue Catalogue();

private:
    std::vector<std::string> databases_;
};

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

TServerRules MariaDBRules(const std::string& database) {
    TServerRules rules;
    rules.DefaultSchema = database;
    rules.PrimaryKeyName = "PRIMARY";
    rules.ColumnChecksNamedByColumn = true;
    rules.NoAction = "RESTRICT";
    rules.HasComments = true;
    rules.IndexKinds = true;
    rules.SerialHasIndex = true;
    rules.UniqueIndexIsConstraint = true;
    return rules;
}

// ---- SQLite ---------------------------------------------------------------------------------------

class TSQLite {
public:
    explicit TSQLite(const std::string& file) : db_(file) { EXPECT_EQ(db_.OpenError(), ""); }
    std::string Run(const std::string& script) { return db_.Run(script); }
    TRows Query(const std::string& sql) {
        std::string error;
        TRows rows = db_.Query(sql, error);
        if (!error.empty()) ADD_FAILURE() << sql << ": " << error;
        return rows;
    }
    TCatalogue Catalogue();

private:
    TSQLiteDatabase db_;
};

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

TServerRules SQLiteRules() {
    TServerRules rules;
    rules.PrimaryKeyNotNull = false;
    rules.KeepsKeyNames = false;
    rules.KeepsForeignKeyNames = false;
    rules.KeepsUniqueNames = false;
    rules.ChecksInCatalogue = false;
    return rules;
}

// ---- Firebird --------------------------------------------------------------------------------------

class TFirebird {
public:
    // Runs a script as isql does; the first error with its statement, empty on success.
    std::string Run(const std::string& script) { return db_.Script(script); }
    TCatalogue Catalogue();
    TFirebirdDatabase& Database() { return db_; }

private:
    void Collect(TCatalogue& c, const char* kind, const std::string& sql) {
        // (Firebird pads the CHAR values of IIF.)
        for (const auto& row : db_.Query(sql)) c[kind].insert(TrimRight(JoinStrings(row, "")));
    }
    TFirebirdDatabase db_;
};

TCatalogue TFirebird::Catalogue() {
    TCatalogue c;
    const std::string user = " COALESCE(r.RDB$SYSTEM_FLAG, 0) = 0";
    const std::string tables = " FROM RDB$RELATIONS r WHERE r.RDB$VIEW_BLR IS NULL AND" + user;
    Collect(c, "table", "SELECT TRIM(r.RDB$RELATION_NAME)" + tables);
    Collect(c, "column",
            "SELECT TRIM(f.RDB$RELATION_NAME), ': ', f.RDB$FIELD_POSITION + 1, ' ', TRIM(f.RDB$FIELD_NAME), "
            "IIF(COALESCE(f.RDB$NULL_FLAG, d.RDB$NULL_FLAG, 0) = 1, ' NOT NULL', '') FROM RDB$RELATION_FIELDS f "
            "JOIN RDB$RELATIONS r ON r.RDB$RELATION_NAME = f.RDB$RELATION_NAME JOIN RDB$FIELDS d ON "
            "d.RDB$FIELD_NAME = f.RDB$FIELD_SOURCE WHERE r.RDB$VIEW_BLR IS NULL AND" + user);
    // The columns of an index in their order.
    const auto columns = [](const std::string& index) {
        return "'(' || COALESCE((SELECT LIST(TRIM(x.RDB$FIELD_NAME), ',') FROM (SELECT s.RDB$FIELD_NAME FROM "
               "RDB$INDEX_SEGMENTS s WHERE s.RDB$INDEX_NAME = " + index +
               " ORDER BY s.RDB$FIELD_POSITION) x), '<expression>') || ')'";
    };
    const std::string constraints = " FROM RDB$RELATION_CONSTRAINTS k WHERE NOT EXISTS (SELECT 1 FROM RDB$RELATIONS r "
                                    "WHERE r.RDB$RELATION_NAME = k.RDB$RELATION_NAME AND r.RDB$SYSTEM_FLAG = 1) AND "
                                    "k.RDB$CONSTRAINT_TYPE = ";
    Collect(c, "primary key", "SELECT TRIM(k.RDB$RELATION_NAME) || ' ' || TRIM(k.RDB$CONSTRAINT_NAME) || ' ' || " +
                                  columns("k.RDB$INDEX_NAME") + constraints + "'PRIMARY KEY'");
    Collect(c, "unique", "SELECT TRIM(k.RDB$RELATION_NAME) || ' ' || TRIM(k.RDB$CONSTRAINT_NAME) || ' ' || " +
                             columns("k.RDB$INDEX_NAME") + constraints + "'UNIQUE'");
    Collect(c, "check", "SELECT TRIM(k.RDB$RELATION_NAME) || ' ' || TRIM(k.RDB$CONSTRAINT_NAME)" + constraints +
                            "'CHECK'");
    Collect(c, "foreign key",
            "SELECT TRIM(k.RDB$RELATION_NAME) || ' ' || TRIM(k.RDB$CONSTRAINT_NAME) || ' ' || " +
                columns("k.RDB$INDEX_NAME") + " || ' -> ' || TRIM(p.RDB$RELATION_NAME) || ' ' || " +
                columns("p.RDB$INDEX_NAME") +
                " || ' ON DELETE ' || TRIM(f.RDB$DELETE_RULE) || ' ON UPDATE ' || TRIM(f.RDB$UPDATE_RULE) FROM "
                "RDB$RELATION_CONSTRAINTS k JOIN RDB$REF_CONSTRAINTS f ON f.RDB$CONSTRAINT_NAME = "
                "k.RDB$CONSTRAINT_NAME JOIN RDB$RELATION_CONSTRAINTS p ON p.RDB$CONSTRAINT_NAME = f.RDB$CONST_NAME_UQ");
    // Indexes of their own, not those behind constraints.
    Collect(c, "index", "SELECT TRIM(i.RDB$RELATION_NAME) || ' ' || TRIM(i.RDB$INDEX_NAME) || IIF(i.RDB$UNIQUE_FLAG = "
                        "1, CAST(' UNIQUE' AS VARCHAR(7)), CAST('' AS VARCHAR(7))) || ' ' || " + columns("i.RDB$INDEX_NAME") +
                            " FROM RDB$INDICES i WHERE COALESCE(i.RDB$SYSTEM_FLAG, 0) = 0 AND NOT EXISTS (SELECT 1 "
                            "FROM RDB$RELATION_CONSTRAINTS k WHERE k.RDB$INDEX_NAME = i.RDB$INDEX_NAME)");
    Collect(c, "comment", "SELECT TRIM(r.RDB$RELATION_NAME) || ': ' || CAST(r.RDB$DESCRIPTION AS VARCHAR(500))" + tables +
                              " AND r.RDB$DESCRIPTION IS NOT NULL");
    Collect(c, "comment", "SELECT TRIM(f.RDB$RELATION_NAME) || '.' || TRIM(f.RDB$FIELD_NAME) || ': ' || "
                          "CAST(f.RDB$DESCRIPTION AS VARCHAR(500)) FROM RDB$RELATION_FIELDS f JOIN RDB$RELATIONS r ON "
                          "r.RDB$RELATION_NAME = f.RDB$RELATION_NAME WHERE f.RDB$DESCRIPTION IS NOT NULL AND "
                          "r.RDB$VIEW_BLR IS NULL AND" + user);
    Collect(c, "view", "SELECT TRIM(r.RDB$RELATION_NAME) FROM RDB$RELATIONS r WHERE r.RDB$VIEW_BLR IS NOT NULL AND" + user);
    // Sequences of the model, not those behind identity columns.
    Collect(c, "sequence", "SELECT TRIM(RDB$GENERATOR_NAME) FROM RDB$GENERATORS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0");
    Collect(c, "routine", "SELECT TRIM(RDB$PROCEDURE_NAME) FROM RDB$PROCEDURES WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0");
    Collect(c, "routine", "SELECT TRIM(RDB$FUNCTION_NAME) FROM RDB$FUNCTIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0");
    // Triggers of their own, not those behind check constraints.
    Collect(c, "trigger", "SELECT TRIM(t.RDB$RELATION_NAME) || ' ' || TRIM(t.RDB$TRIGGER_NAME) FROM RDB$TRIGGERS t WHERE "
                          "COALESCE(t.RDB$SYSTEM_FLAG, 0) = 0 AND NOT EXISTS (SELECT 1 FROM RDB$CHECK_CONSTRAINTS k "
                          "WHERE k.RDB$TRIGGER_NAME = t.RDB$TRIGGER_NAME)");
    Collect(c, "domain", "SELECT TRIM(RDB$FIELD_NAME) FROM RDB$FIELDS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND "
                         "RDB$FIELD_NAME NOT STARTING WITH 'RDB$'");
    return c;
}

// Firebird keeps a foreign key without action as RESTRICT.
TServerRules FirebirdRules() {
    TServerRules rules;
    rules.NoAction = "RESTRICT";
    rules.HasComments = true;
    return rules;
}

// Runs the statements of a restructure run on the embedded Firebird database, one at a time.
class TFirebirdExecutor : public TVELStatementExecutor {
public:
    explicit TFirebirdExecutor(TFirebirdDatabase& db) : db_(db) {}
    void Execute(const std::string& statement) override {
        Statements.push_back(statement);
        if (const std::string error = db_.Exec(statement); !error.empty()) throw EVELError(error);
    }
    std::vector<std::string> Statements;

private:
    TFirebirdDatabase& db_;
};

// ---- generation -----------------------------------------------------------------------------------

// InnoDB refuses SET DEFAULT, and Firebird has no RESTRICT: the user of a database-independent
// model replaces the action before generating for those targets (the model check reports it).
void WithoutAction(TVELDataDictionary& model, uint8_t action) {
    std::vector<TVELRelationship*> relationships;
    model.CollectOfClass(relationships);
    for (TVELRelationship* r : relationships) {
        if (r->DeleteRule == action) r->DeleteRule = raNone;
        if (r->UpdateRule == action) r->UpdateRule = raNone;
    }
}

// Runs both scripts of a model on PostgreSQL and compares the catalogue after each.
void RunOnPostgres(const TVELDataDictionary& model, const std::string& what, const TGenerationOptions& options = {}) {
    const TGeneratedScripts g = GenerateScripts(model, options);
    const std::string database = CreatePostgresDatabase("ardvin_gen");
    {
        TPostgres server(database);
        EXPECT_EQ(server.Run(g.CreateScript), "") << what << "\n" << g.CreateScript;
        const TCatalogue created = server.Catalogue();
        ExpectSameCatalogue(ExpectedCatalogue(*g.Model, PostgresRules()), created, what + " after the create script");
        EXPECT_EQ(server.Run(g.DropScript), "") << what << "\n" << g.DropScript;
        ExpectSameCatalogue({}, server.Catalogue(), what + " after the drop script");
    }
    DropPostgresDatabase(database);
}

// Runs both scripts of the full model of a target (or, with independent, of the
// database-independent model switched to that target) on MariaDB.
void RunOnMariaDB(const std::string& target, const std::string& what, const TGenerationOptions& options = {},
                  bool independent = false) {
    const std::string database = CreateMariaDBDatabase("ardvin_gen");
    const std::string other = CreateMariaDBDatabase("ardvin_gen_other");
    {
        TFullFeatureSetup setup;
        setup.OtherSchema = other;
        setup.RunsOnMariaDB = true;
        const auto model = FullFeatureModel(independent ? "dbindependent" : target, setup);
        if (independent) WithoutAction(*model, raSetDefault);
        const TGeneratedScripts g = GenerateScripts(*model, options);
        TMariaDB server({database, other});
        EXPECT_EQ(server.Run(g.CreateScript), "") << what << "\n" << g.CreateScript;
        ExpectSameCatalogue(ExpectedCatalogue(*g.Model, MariaDBRules(database)), server.Catalogue(),
                            what + " after the create script");
        EXPECT_EQ(server.Run(g.DropScript), "") << what << "\n" << g.DropScript;
        ExpectSameCatalogue({}, server.Catalogue(), what + " after the drop script");
    }
    DropMariaDBDatabase(other);
    DropMariaDBDatabase(database);
}

}  // namespace

TEST(CreateScriptServers, PostgreSQL15) {
    TFullFeatureSetup setup;
    setup.OtherSchema = "sales";
    const auto model = FullFeatureModel("postgresql15", setup);
    RunOnPostgres(*model, "postgresql15");
}

TEST(CreateScriptServers, MySQL8OnMariaDB) { RunOnMariaDB("mysql8", "mysql8"); }

TEST(CreateScriptServers, MariaDB10) { RunOnMariaDB("mariadb10", "mariadb10"); }

TEST(CreateScriptServers, SQLite3) {
    const auto model = FullFeatureModel("sqlite3", {});
    const TGeneratedScripts g = GenerateScripts(*model);
    const TempDir dir;
    TSQLite db(dir.File("model.db"));
    ASSERT_EQ(db.Run("PRAGMA foreign_keys = ON"), "");
    EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
    const TCatalogue created = db.Catalogue();
    EXPECT_GT(ObjectCount(created), 50u);
    ExpectSameCatalogue(ExpectedCatalogue(*g.Model, SQLiteRules()), created, "sqlite3 after the create script");
    EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
    ExpectSameCatalogue({}, db.Catalogue(), "sqlite3 after the drop script");
}

// The database-independent model, switched to each real target with the options of the
// generate command. Its procedure and trigger code is in no dialect: they are left out.
TGenerationOptions IndependentOptions(const std::string& target) {
    return {{"DBID", target}, {"DONOTUSETRIGGERS", "1"}, {"DONOTUSEPROCEDURES", "1"}};
}

TEST(CreateScriptServers, IndependentOnPostgreSQL15) {
    TFullFeatureSetup setup;
    setup.OtherSchema = "sales";
    const auto model = FullFeatureModel("dbindependent", setup);
    RunOnPostgres(*model, "dbindependent on postgresql15", IndependentOptions("postgresql15"));
}

TEST(CreateScriptServers, IndependentOnMySQL8) {
    RunOnMariaDB("mysql8", "dbindependent on mysql8", IndependentOptions("mysql8"), true);
}

TEST(CreateScriptServers, IndependentOnMariaDB10) {
    RunOnMariaDB("mariadb10", "dbindependent on mariadb10", IndependentOptions("mariadb10"), true);
}

TEST(CreateScriptServers, IndependentOnSQLite3) {
    const auto model = FullFeatureModel("dbindependent", {});
    const TGeneratedScripts g = GenerateScripts(*model, IndependentOptions("sqlite3"));
    EXPECT_EQ(g.Model->GetTarget(), "sqlite3");
    const TempDir dir;
    TSQLite db(dir.File("model.db"));
    EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
    ExpectSameCatalogue(ExpectedCatalogue(*g.Model, SQLiteRules()), db.Catalogue(), "dbindependent on sqlite3");
    EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
    ExpectSameCatalogue({}, db.Catalogue(), "dbindependent on sqlite3 after the drop script");
}

TEST(CreateScriptServers, Firebird3) {
    const auto model = FullFeatureModel("firebird3", {});
    const TGeneratedScripts g = GenerateScripts(*model);
    {
        TFirebird db;
        ASSERT_TRUE(db.Database().Open());
        EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
        const TCatalogue created = db.Catalogue();
        EXPECT_GT(ObjectCount(created), 50u);
        ExpectSameCatalogue(ExpectedCatalogue(*g.Model, FirebirdRules()), created, "firebird3 after the create script");
        // The identity column and the column numbered by its trigger get their numbers.
        EXPECT_EQ(db.Database().Exec("INSERT INTO \"CUSTOMER\" (\"NAME\", \"STATUS\") VALUES ('a', 'new')"), "");
        EXPECT_EQ(db.Database().Exec("INSERT INTO \"ORDER\" (\"ORDERID\", \"SELECT\", \"CUSTOMERID\") SELECT 1, "
                                     "CURRENT_DATE, \"CUSTOMERID\" FROM \"CUSTOMER\""),
                  "");
        EXPECT_EQ(db.Database().Value("SELECT \"ORDER NO\" FROM \"ORDER\""), "10");
        EXPECT_EQ(db.Database().Exec("DELETE FROM \"CUSTOMER\""), "");
        EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
        ExpectSameCatalogue({}, db.Catalogue(), "firebird3 after the drop script");
    }
    {
        // The script tool itself: isql runs the create script on a new database file, stopping
        // at the first error, and the drop script after it; the catalogue is empty again.
        const TempDir dir;
        const std::string file = dir.File("isql.fdb");
        WriteFile(dir.File("create.sql"), "SET NAMES UTF8;\r\nCREATE DATABASE '" + file +
                                              "' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8;\r\n" + g.CreateScript);
        WriteFile(dir.File("drop.sql"), "SET NAMES UTF8;\r\nCONNECT '" + file + "' USER 'SYSDBA';\r\n" + g.DropScript +
                                            // (a new transaction, whose snapshot sees the drops)
                                            "\r\nCOMMIT;\r\nSELECT COUNT(*) AS USER_OBJECTS FROM RDB$RELATIONS WHERE "
                                            "COALESCE(RDB$SYSTEM_FLAG, 0) = 0;\r\n");
        const std::vector<std::string> env = {"FIREBIRD_LOCK=" + dir.File("lock"), "FIREBIRD_TMP=" + dir.Path()};
        const RunResult create = RunProgram("/usr/bin/isql-fb", {"-b", "-q", "-i", dir.File("create.sql")}, env);
        EXPECT_EQ(create.ExitCode, 0) << create.Out << create.Err;
        EXPECT_EQ(create.Err, "");
        const RunResult drop = RunProgram("/usr/bin/isql-fb", {"-b", "-q", "-i", dir.File("drop.sql")}, env);
        EXPECT_EQ(drop.ExitCode, 0) << drop.Out << drop.Err;
        EXPECT_EQ(drop.Err, "");
        EXPECT_EQ(Trim(drop.Out.substr(drop.Out.rfind('\n', drop.Out.find_last_not_of(" \r\n")) + 1)), "0") << drop.Out;
    }
    {
        // Run through a connection, the same model leaves the same catalogue: the SET TERM
        // switches and block terminators are the script tool's and stay out of the statements.
        TFirebird db;
        TFirebirdExecutor executor(db.Database());
        std::unique_ptr<TDBRestructure> create = CreateRestructure(*g.Model);
        create->Options.SetValue("FrdCreateDB", "0");
        create->WriteToScript = false;
        create->Executor = &executor;
        EXPECT_TRUE(create->GenerateCreateScript()) << JoinStrings(create->Lines, "\n");
        EXPECT_TRUE(create->Script.empty());
        for (const std::string& statement : executor.Statements) {
            EXPECT_EQ(statement.find("SET TERM"), std::string::npos) << statement;
            EXPECT_NE(statement.back(), ';') << statement;
            EXPECT_NE(statement.back(), '^') << statement;
        }
        ExpectSameCatalogue(ExpectedCatalogue(*g.Model, FirebirdRules()), db.Catalogue(), "firebird3 executed");
        std::unique_ptr<TDBRestructure> drop = CreateRestructure(*g.Model);
        drop->WriteToScript = false;
        drop->Executor = &executor;
        EXPECT_TRUE(drop->GenerateDropScript()) << JoinStrings(drop->Lines, "\n");
        ExpectSameCatalogue({}, db.Catalogue(), "firebird3 executed drop");
    }
}

TEST(CreateScriptServers, IndependentOnFirebird3) {
    const auto model = FullFeatureModel("dbindependent", {});
    WithoutAction(*model, raRestrict);
    const TGeneratedScripts g = GenerateScripts(*model, IndependentOptions("firebird3"));
    EXPECT_EQ(g.Model->GetTarget(), "firebird3");
    TFirebird db;
    EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
    ExpectSameCatalogue(ExpectedCatalogue(*g.Model, FirebirdRules()), db.Catalogue(), "dbindependent on firebird3");
    EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
    ExpectSameCatalogue({}, db.Catalogue(), "dbindependent on firebird3 after the drop script");
}
