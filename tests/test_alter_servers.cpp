// Alter scripts run on real servers: PostgreSQL 15 and MariaDB 10.11 (the throwaway test servers)
// and SQLite through the library. Every scenario is an old and a new model; the old one is
// created and filled with rows, the alter script runs without an error, and the database must
// then hold what a fresh database created from the new model holds (tables, columns with their
// types and defaults, keys, constraints, indexes, comments, code objects), and the rows of the
// tables that stay keep the values of their columns that stay.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestCatalogue.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIDMatcher.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSQLParser.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

using TChange = std::function<void(TVELDataDictionary&)>;

// One change: the old model's script, the new model (its own script, paired with the old model
// by name, and/or a change of a copy of the old model, which keeps every identity), rows put
// into the old database and a query whose rows must come out of the altered one.
struct TScenario {
    std::string Name{};
    std::string OldScript{};
    std::string NewScript{};  // empty: the new model is a copy of the old one
    TChange Change{};         // applied to the new model
    TChange OldChange{};      // applied to the old model (and to a new model of its own script)
    std::string Rows{};
    std::string Query{};
    std::string Expected{};   // rows joined by ";", fields by "|"
    bool Recreates = false; // SQLite recreates a table
};

// The tables most scenarios start from, in SQL every target reads.
const char* const BaseTables =
    "CREATE TABLE customer (\n"
    "  id INTEGER NOT NULL,\n"
    "  name VARCHAR(40) NOT NULL,\n"
    "  city VARCHAR(30),\n"
    "  credit NUMERIC(8,2) DEFAULT 0,\n"
    "  visits INTEGER,\n"
    "  CONSTRAINT pk_customer PRIMARY KEY (id)\n"
    ");\n"
    "CREATE TABLE orders (\n"
    "  id INTEGER NOT NULL,\n"
    "  customer_id INTEGER,\n"
    "  amount NUMERIC(10,2),\n"
    "  CONSTRAINT pk_orders PRIMARY KEY (id),\n"
    "  CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id)\n"
    ");\n"
    "CREATE INDEX ix_customer_city ON customer (city);\n";

const char* const BaseRows =
    "INSERT INTO customer (id, name, city, credit, visits) VALUES (1, 'Ann', 'Oslo', 10.5, 3);\n"
    "INSERT INTO customer (id, name, city, credit, visits) VALUES (2, 'Bob', NULL, 0, 7);\n"
    "INSERT INTO orders (id, customer_id, amount) VALUES (10, 1, 99.9);\n"
    "INSERT INTO orders (id, customer_id, amount) VALUES (11, 2, 5);\n";

const char* const CustomerQuery = "SELECT id, name, city, visits FROM customer ORDER BY id";
const char* const CustomerRows = "1|Ann|Oslo|3;2|Bob||7";
const char* const OrdersQuery = "SELECT id, customer_id FROM orders ORDER BY id";
const char* const OrdersRows = "10|1;11|2";

// The base tables with one text replaced.
std::string Base(const std::string& from = {}, const std::string& to = {}) {
    std::string text = BaseTables;
    if (!from.empty()) {
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    return text;
}

TVELEntity* Table(TVELDataDictionary& dd, const std::string& name) {
    TVELEntity* table = dd.FindEntity(name);
    EXPECT_TRUE(table) << name;
    return table;
}

TVELAttribute* Column(TVELDataDictionary& dd, const std::string& table, const std::string& name) {
    TVELEntity* t = Table(dd, table);
    auto* column = t ? dynamic_cast<TVELAttribute*>(t->Attributes.FindByName(name)) : nullptr;
    EXPECT_TRUE(column) << table << "." << name;
    return column;
}

// Adds the column email VARCHAR(60) to the customer table at a position.
TChange WithEmail(int position) {
    return [position](TVELDataDictionary& dd) {
        TVELEntity* table = Table(dd, "customer");
        TVELAttribute* column = table->AddAttribute();
        column->SetName("email");
        column->DataType->DataType = "VARCHAR";
        column->DataType->Length = "60";
        table->Attributes.Move(table->Attributes.Count() - 1, position);
    };
}

// Adds the view v_customer to a model.
TChange WithView(const std::string& code) {
    return [code](TVELDataDictionary& dd) {
        auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
        view->SetName("v_customer");
        view->Code = code;
    };
}

// The scenarios every target runs.
std::vector<TScenario> CommonScenarios() {
    std::vector<TScenario> s;
    auto add = [&s](TScenario scenario) {
        if (scenario.OldScript.empty()) scenario.OldScript = BaseTables;
        if (scenario.Rows.empty()) scenario.Rows = BaseRows;
        if (scenario.Query.empty()) {
            scenario.Query = CustomerQuery;
            scenario.Expected = CustomerRows;
        }
        s.push_back(std::move(scenario));
    };
    add({.Name = "add table",
         .NewScript = Base() + "CREATE TABLE note (id INTEGER NOT NULL, body VARCHAR(100), CONSTRAINT pk_note "
                               "PRIMARY KEY (id));\n"});
    add({.Name = "drop table",
         .NewScript = Base("CREATE TABLE orders (\n  id INTEGER NOT NULL,\n  customer_id INTEGER,\n  amount "
                           "NUMERIC(10,2),\n  CONSTRAINT pk_orders PRIMARY KEY (id),\n  CONSTRAINT fk_orders_customer "
                           "FOREIGN KEY (customer_id) REFERENCES customer (id)\n);\n",
                           "")});
    add({.Name = "rename table",
         .Change = [](TVELDataDictionary& dd) { Table(dd, "orders")->SetName("purchase"); },
         .Query = "SELECT id, customer_id FROM purchase ORDER BY id",
         .Expected = OrdersRows});
    add({.Name = "add column at the end",
         .NewScript = Base("  visits INTEGER,\n", "  visits INTEGER,\n  email VARCHAR(60),\n")});
    add({.Name = "add column in the middle", .Change = WithEmail(2), .Recreates = true});
    add({.Name = "drop column",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", ""),
         .Recreates = true});
    add({.Name = "rename column",
         .Change = [](TVELDataDictionary& dd) { Column(dd, "customer", "city")->SetName("town"); },
         .Query = "SELECT id, name, town, visits FROM customer ORDER BY id",
         .Expected = CustomerRows});
    add({.Name = "change type", .NewScript = Base("  visits INTEGER,\n", "  visits BIGINT,\n"), .Recreates = true});
    add({.Name = "change length",
         .NewScript = Base("  name VARCHAR(40) NOT NULL,\n", "  name VARCHAR(80) NOT NULL,\n"),
         .Recreates = true});
    add({.Name = "change precision",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", "  credit NUMERIC(12,3) DEFAULT 0,\n"),
         .Recreates = true});
    add({.Name = "drop not null",
         .NewScript = Base("  name VARCHAR(40) NOT NULL,\n", "  name VARCHAR(40),\n"),
         .Recreates = true});
    add({.Name = "set not null",
         .NewScript = Base("  visits INTEGER,\n", "  visits INTEGER NOT NULL,\n"),
         .Recreates = true});
    add({.Name = "change default",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", "  credit NUMERIC(8,2) DEFAULT 5,\n"),
         .Recreates = true});
    add({.Name = "drop default",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", "  credit NUMERIC(8,2),\n"),
         .Recreates = true});
    add({.Name = "drop primary key",
         .NewScript = Base("  amount NUMERIC(10,2),\n  CONSTRAINT pk_orders PRIMARY KEY (id),\n", "  amount NUMERIC(10,2),\n"),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "add primary key",
         .OldScript = Base("  amount NUMERIC(10,2),\n  CONSTRAINT pk_orders PRIMARY KEY (id),\n", "  amount NUMERIC(10,2),\n"),
         .NewScript = Base(),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "add unique constraint",
         .NewScript = Base("  CONSTRAINT pk_customer PRIMARY KEY (id)\n",
                           "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  CONSTRAINT uq_customer_name UNIQUE (name)\n"),
         .Recreates = true});
    add({.Name = "drop unique constraint",
         .OldScript = Base("  CONSTRAINT pk_customer PRIMARY KEY (id)\n",
                           "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  CONSTRAINT uq_customer_name UNIQUE (name)\n"),
         .NewScript = Base(),
         .Recreates = true});
    add({.Name = "add check constraint",
         .NewScript = Base("  CONSTRAINT pk_customer PRIMARY KEY (id)\n",
                           "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  CONSTRAINT ck_credit CHECK (credit >= 0)\n"),
         .Recreates = true});
    add({.Name = "change check constraint",
         .OldScript = Base("  CONSTRAINT pk_customer PRIMARY KEY (id)\n",
                           "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  CONSTRAINT ck_credit CHECK (credit >= 0)\n"),
         .NewScript = Base("  CONSTRAINT pk_customer PRIMARY KEY (id)\n",
                           "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  CONSTRAINT ck_credit CHECK (credit > -1)\n"),
         .Recreates = true});
    add({.Name = "drop foreign key",
         .NewScript = Base("  CONSTRAINT pk_orders PRIMARY KEY (id),\n  CONSTRAINT fk_orders_customer FOREIGN KEY "
                           "(customer_id) REFERENCES customer (id)\n",
                           "  CONSTRAINT pk_orders PRIMARY KEY (id)\n"),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "add foreign key",
         .OldScript = Base("  CONSTRAINT pk_orders PRIMARY KEY (id),\n  CONSTRAINT fk_orders_customer FOREIGN KEY "
                           "(customer_id) REFERENCES customer (id)\n",
                           "  CONSTRAINT pk_orders PRIMARY KEY (id)\n"),
         .NewScript = Base(),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "change foreign key actions",
         .NewScript = Base("REFERENCES customer (id)\n", "REFERENCES customer (id) ON DELETE CASCADE ON UPDATE CASCADE\n"),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "add index",
         .NewScript = Base() + "CREATE INDEX ix_orders_amount ON orders (amount);\n"});
    add({.Name = "drop index", .NewScript = Base("CREATE INDEX ix_customer_city ON customer (city);\n", "")});
    add({.Name = "change index",
         .NewScript = Base("CREATE INDEX ix_customer_city ON customer (city);\n",
                           "CREATE UNIQUE INDEX ix_customer_city ON customer (city, name);\n")});
    const char* const view = "CREATE VIEW %viewname% AS SELECT id, name FROM customer";
    add({.Name = "add view", .Change = WithView(view)});
    add({.Name = "drop view",
         .Change = [](TVELDataDictionary& dd) { dd.DeleteObject(dd.FindByName("v_customer")); },
         .OldChange = WithView(view)});
    add({.Name = "change view",
         .Change = [](TVELDataDictionary& dd) {
             static_cast<TVELView*>(dd.FindByName("v_customer"))->Code =
                 "CREATE VIEW %viewname% AS SELECT id, name, city FROM customer";
         },
         .OldChange = WithView(view)});
    // A view on a table that is recreated is dropped before and built again after.
    add({.Name = "view on a recreated table",
         .Change = WithEmail(2),
         .OldChange = WithView(view),
         .Recreates = true});
    return s;
}

// ---- running a scenario ------------------------------------------------------------------------------

std::unique_ptr<TVELDataDictionary> Import(const std::string& target, const std::string& script) {
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget(target);
    TVELSQLParser parser(dd.get());
    parser.Script = script;
    std::string problems;
    parser.OnMessage = [&problems](TVELSQLParser*, int level, const std::string& text, TVELNamedObject*) {
        if (level == mlError) problems += text + "\n";
    };
    parser.Import();
    EXPECT_EQ(problems, "") << script;
    return dd;
}

struct TScripts {
    std::unique_ptr<TVELDataDictionary> Old, New;  // prepared copies
    std::string OldCreate, NewCreate, Alter, Log;
    std::vector<std::string> RecreatedTables;
};

std::string CreateScript(TVELDataDictionary& prepared, const TVELSettingsList& options) {
    std::unique_ptr<TDBRestructure> r = CreateRestructure(prepared);
    r->Options = options;
    EXPECT_TRUE(r->GenerateCreateScript()) << JoinStrings(r->Lines, "\n");
    return r->ScriptText();
}

// The old model (with its extra objects), the new model, both prepared, and the three scripts.
TScripts Scripts(const std::string& target, const TScenario& scenario) {
    TargetDatabases().Build(DefinitionsDir());
    TScripts s;
    auto old = Import(target, scenario.OldScript);
    if (scenario.OldChange) scenario.OldChange(*old);
    std::unique_ptr<TVELDataDictionary> current;
    if (scenario.NewScript.empty()) {
        current = std::make_unique<TVELDataDictionary>();
        current->AssignDictionary(*old);
    } else {
        current = Import(target, scenario.NewScript);
        if (scenario.OldChange) scenario.OldChange(*current);
        MatchIDs(*old, *current, nullptr);
    }
    if (scenario.Change) scenario.Change(*current);
    TVELSettingsList options, used;
    s.Old = PrepareForGeneration(*old, options, used);
    s.New = PrepareForGeneration(*current, options, used);
    s.OldCreate = CreateScript(*s.Old, used);
    s.NewCreate = CreateScript(*s.New, used);
    std::unique_ptr<TDBRestructure> alter = CreateRestructure(*s.New);
    alter->OldModel = s.Old.get();
    alter->Options = used;
    EXPECT_TRUE(alter->GenerateAlterScript()) << JoinStrings(alter->Lines, "\n");
    s.Alter = alter->ScriptText();
    s.Log = JoinStrings(alter->Lines, "\n");
    s.RecreatedTables = alter->RecreatedTables;
    return s;
}

std::string RowsText(const TRows& rows) {
    std::vector<std::string> lines;
    for (const auto& row : rows) lines.push_back(JoinStrings(row, "|"));
    return JoinStrings(lines, ";");
}

// Lines naming a database: the name replaced by "db", so that two databases compare.
TCatalogue WithoutDatabaseName(const TCatalogue& catalogue, const std::string& database) {
    TCatalogue out;
    for (const auto& [kind, lines] : catalogue)
        for (const std::string& line : lines) out[kind].insert(ReplaceAll(line, database + ".", "db."));
    return out;
}

void ExpectSameLines(const std::set<std::string>& expected, const std::set<std::string>& actual, const std::string& what) {
    std::string missing, extra;
    for (const std::string& line : expected)
        if (!actual.count(line)) missing += "\n  " + line;
    for (const std::string& line : actual)
        if (!expected.count(line)) extra += "\n  " + line;
    EXPECT_TRUE(missing.empty() && extra.empty()) << what << (missing.empty() ? "" : "\n missing:" + missing)
                                                  << (extra.empty() ? "" : "\n unexpected:" + extra);
}

// Column types and defaults and constraint definitions, which the shared catalogue leaves out.
std::set<std::string> PostgresDetails(TPostgres& server) {
    TCatalogue c;
    server.Collect(c, "detail",
                   "SELECT t.relname || '.' || a.attname || ' ' || format_type(a.atttypid, a.atttypmod) || ' ' || "
                   "coalesce(pg_get_expr(d.adbin, d.adrelid), '-') || ' ' || a.attidentity::text FROM pg_attribute a JOIN "
                   "pg_class t ON t.oid = a.attrelid JOIN pg_namespace n ON n.oid = t.relnamespace LEFT JOIN pg_attrdef d "
                   "ON d.adrelid = a.attrelid AND d.adnum = a.attnum WHERE a.attnum > 0 AND NOT a.attisdropped AND "
                   "t.relkind = 'r' AND n.nspname = 'public'");
    server.Collect(c, "detail",
                   "SELECT t.relname || ' ' || k.conname || ' ' || pg_get_constraintdef(k.oid) FROM pg_constraint k JOIN "
                   "pg_class t ON t.oid = k.conrelid JOIN pg_namespace n ON n.oid = t.relnamespace WHERE n.nspname = "
                   "'public'");
    server.Collect(c, "detail",
                   "SELECT c.relname || ' ' || pg_get_viewdef(c.oid) FROM pg_class c JOIN pg_namespace n ON n.oid = "
                   "c.relnamespace WHERE c.relkind = 'v' AND n.nspname = 'public'");
    return c["detail"];
}

std::set<std::string> MariaDBDetails(TMariaDB& server) {
    TCatalogue c;
    server.Collect(c, "detail",
                   "SELECT CONCAT(TABLE_NAME, '.', COLUMN_NAME, ' ', COLUMN_TYPE, ' ', IFNULL(COLUMN_DEFAULT, '-'), ' ', "
                   "EXTRA) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()");
    server.Collect(c, "detail",
                   "SELECT CONCAT(TABLE_NAME, ' ', CONSTRAINT_NAME, ' ', CHECK_CLAUSE) FROM "
                   "information_schema.CHECK_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE()");
    return c["detail"];
}

std::set<std::string> SQLiteDetails(TSQLite& db) {
    std::set<std::string> out;
    for (const auto& row : db.Query("SELECT m.name || '.' || p.name || ' ' || p.type || ' ' || ifnull(p.dflt_value, '-') "
                                    "FROM sqlite_master m, pragma_table_xinfo(m.name) p WHERE m.type = 'table'"))
        out.insert(row[0]);
    return out;
}

void RunOnPostgres(const TScenario& scenario) {
    SCOPED_TRACE(scenario.Name);
    const TScripts s = Scripts("postgresql15", scenario);
    const std::string altered = CreatePostgresDatabase("ardvin_alter");
    const std::string fresh = CreatePostgresDatabase("ardvin_alter_new");
    {
        TPostgres a(altered), b(fresh);
        ASSERT_EQ(a.Run(s.OldCreate), "") << s.OldCreate;
        ASSERT_EQ(a.Run(scenario.Rows), "");
        EXPECT_EQ(a.Run(s.Alter), "") << s.Alter;
        ASSERT_EQ(b.Run(s.NewCreate), "") << s.NewCreate;
        ExpectSameCatalogue(b.Catalogue(), a.Catalogue(), scenario.Name + "\n" + s.Alter);
        ExpectSameLines(PostgresDetails(b), PostgresDetails(a), scenario.Name + " details\n" + s.Alter);
        if (!scenario.Expected.empty()) {
            std::string error;
            EXPECT_EQ(RowsText(TPostgresConnection(altered).Query(scenario.Query, error)), scenario.Expected) << error;
        }
    }
    DropPostgresDatabase(fresh);
    DropPostgresDatabase(altered);
}

void RunOnMariaDB(const TScenario& scenario) {
    SCOPED_TRACE(scenario.Name);
    const TScripts s = Scripts("mariadb10", scenario);
    const std::string altered = CreateMariaDBDatabase("ardvin_alter");
    const std::string fresh = CreateMariaDBDatabase("ardvin_alter_new");
    {
        TMariaDB a({altered}), b({fresh});
        ASSERT_EQ(a.Run(s.OldCreate), "") << s.OldCreate;
        ASSERT_EQ(a.Run(scenario.Rows), "");
        EXPECT_EQ(a.Run(s.Alter), "") << s.Alter;
        ASSERT_EQ(b.Run(s.NewCreate), "") << s.NewCreate;
        ExpectSameCatalogue(WithoutDatabaseName(b.Catalogue(), fresh), WithoutDatabaseName(a.Catalogue(), altered),
                            scenario.Name + "\n" + s.Alter);
        ExpectSameLines(MariaDBDetails(b), MariaDBDetails(a), scenario.Name + " details\n" + s.Alter);
        // MariaDB alters every table in place.
        EXPECT_TRUE(s.RecreatedTables.empty()) << s.Alter;
        if (!scenario.Expected.empty()) {
            std::string error;
            EXPECT_EQ(RowsText(TMariaDBConnection(altered).Query(scenario.Query, error)), scenario.Expected) << error;
        }
    }
    DropMariaDBDatabase(fresh);
    DropMariaDBDatabase(altered);
}

void RunOnSQLite(const TScenario& scenario) {
    SCOPED_TRACE(scenario.Name);
    const TScripts s = Scripts("sqlite3", scenario);
    const TempDir dir;
    TSQLite a(dir.File("altered.db")), b(dir.File("fresh.db"));
    ASSERT_EQ(a.Run("PRAGMA foreign_keys = ON"), "");
    ASSERT_EQ(a.Run(s.OldCreate), "") << s.OldCreate;
    ASSERT_EQ(a.Run(scenario.Rows), "");
    EXPECT_EQ(a.Run(s.Alter), "") << s.Alter;
    ASSERT_EQ(b.Run(s.NewCreate), "") << s.NewCreate;
    ExpectSameCatalogue(b.Catalogue(), a.Catalogue(), scenario.Name + "\n" + s.Alter);
    ExpectSameLines(SQLiteDetails(b), SQLiteDetails(a), scenario.Name + " details\n" + s.Alter);
    EXPECT_EQ(a.Query("PRAGMA foreign_key_check").size(), 0u) << s.Alter;
    EXPECT_EQ(!s.RecreatedTables.empty(), scenario.Recreates) << s.Alter;
    if (!scenario.Expected.empty()) {
        EXPECT_EQ(RowsText(a.Query(scenario.Query)), scenario.Expected) << s.Alter;
    }
}

}  // namespace

TEST(AlterServers, SQLite3) {
    for (const TScenario& scenario : CommonScenarios()) RunOnSQLite(scenario);
}

TEST(AlterServers, PostgreSQL15) {
    for (const TScenario& scenario : CommonScenarios()) RunOnPostgres(scenario);
}

TEST(AlterServers, MariaDB10) {
    for (const TScenario& scenario : CommonScenarios()) RunOnMariaDB(scenario);
}
