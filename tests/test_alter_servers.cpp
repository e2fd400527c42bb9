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

// Sets the comments of the customer table and its column city.
TChange WithComments(const std::string& table, const std::string& column) {
    return [table, column](TVELDataDictionary& dd) {
        Table(dd, "customer")->Comment = table;
        Column(dd, "customer", "city")->Comment = column;
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
    add({.Name = "add comments", .Change = WithComments("Who buys", "Where they live")});
    add({.Name = "change and drop comments",
         .Change = WithComments("Who buys from us", ""),
         .OldChange = WithComments("Who buys", "Where they live")});
    return s;
}

TVELSequence* AddSequence(TVELDataDictionary& dd, int increment) {
    auto* sequence = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    sequence->SetName("seq_invoice");
    sequence->Seed = 1;
    sequence->Increment = increment;
    return sequence;
}

TVELProcedure* AddProcedure(TVELDataDictionary& dd, const std::string& name, const std::string& code) {
    auto* procedure = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
    procedure->SetName(name);
    procedure->Code = code;
    return procedure;
}

TVELTrigger* AddTrigger(TVELDataDictionary& dd, const std::string& code) {
    TVELTrigger* trigger = Table(dd, "customer")->AddTrigger();
    trigger->SetName("tr_customer");
    trigger->Code = code;
    return trigger;
}

void Delete(TVELDataDictionary& dd, const std::string& name) { dd.DeleteObject(dd.FindByName(name)); }

void DeleteTrigger(TVELDataDictionary& dd) {
    TVELEntity* table = Table(dd, "customer");
    table->DeleteMember(table->Triggers.FindByName("tr_customer"));
}

// Sequences, identity columns, procedures and triggers in a target's own dialect.
void CodeScenarios(std::vector<TScenario>& s, const std::string& procedure,
                   const std::string& changedProcedure, const std::string& trigger, const std::string& changedTrigger) {
    auto add = [&s](TScenario scenario) {
        scenario.OldScript = BaseTables;
        scenario.Rows = BaseRows;
        if (scenario.Query.empty()) {
            scenario.Query = CustomerQuery;
            scenario.Expected = CustomerRows;
        }
        s.push_back(std::move(scenario));
    };
    add({.Name = "change identity",
         .Change = [](TVELDataDictionary& dd) {
             TVELAttribute* id = Column(dd, "orders", "id");
             id->DataType->AutoNumber = true;
             id->DataType->Seed = 1;
             id->DataType->Increment = 1;
         },
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    if (!procedure.empty()) {
        add({.Name = "add procedure", .Change = [procedure](TVELDataDictionary& dd) { AddProcedure(dd, "count_customers", procedure); }});
        add({.Name = "change procedure",
             .Change = [changedProcedure](TVELDataDictionary& dd) {
                 static_cast<TVELProcedure*>(dd.FindByName("count_customers"))->Code = changedProcedure;
             },
             .OldChange = [procedure](TVELDataDictionary& dd) { AddProcedure(dd, "count_customers", procedure); }});
        add({.Name = "drop procedure",
             .Change = [](TVELDataDictionary& dd) { Delete(dd, "count_customers"); },
             .OldChange = [procedure](TVELDataDictionary& dd) { AddProcedure(dd, "count_customers", procedure); }});
    }
    add({.Name = "add trigger", .Change = [trigger](TVELDataDictionary& dd) { AddTrigger(dd, trigger); }});
    add({.Name = "change trigger",
         .Change = [changedTrigger](TVELDataDictionary& dd) {
             static_cast<TVELTrigger*>(Table(dd, "customer")->Triggers.FindByName("tr_customer"))->Code = changedTrigger;
         },
         .OldChange = [trigger](TVELDataDictionary& dd) { AddTrigger(dd, trigger); }});
    add({.Name = "drop trigger", .Change = DeleteTrigger, .OldChange = [trigger](TVELDataDictionary& dd) { AddTrigger(dd, trigger); }});
    // A recreated table takes its triggers with it: they come back.
    add({.Name = "trigger on a recreated table",
         .Change = WithEmail(2),
         .OldChange = [trigger](TVELDataDictionary& dd) { AddTrigger(dd, trigger); },
         .Recreates = true});
}

void SequenceScenarios(std::vector<TScenario>& s) {
    auto add = [&s](TScenario scenario) {
        scenario.OldScript = BaseTables;
        scenario.Rows = BaseRows;
        scenario.Query = CustomerQuery;
        scenario.Expected = CustomerRows;
        s.push_back(std::move(scenario));
    };
    add({.Name = "add sequence", .Change = [](TVELDataDictionary& dd) { AddSequence(dd, 1); }});
    add({.Name = "change sequence",
         .Change = [](TVELDataDictionary& dd) { static_cast<TVELSequence*>(dd.FindByName("seq_invoice"))->Increment = 5; },
         .OldChange = [](TVELDataDictionary& dd) { AddSequence(dd, 1); }});
    add({.Name = "drop sequence",
         .Change = [](TVELDataDictionary& dd) { Delete(dd, "seq_invoice"); },
         .OldChange = [](TVELDataDictionary& dd) { AddSequence(dd, 1); }});
}

std::vector<TScenario> PostgresScenarios() {
    std::vector<TScenario> s = CommonScenarios();
    const std::string function = "CREATE FUNCTION %procname%() RETURNS bigint LANGUAGE sql AS $$ SELECT count(*) FROM customer $$";
    CodeScenarios(s, function,
                  "CREATE FUNCTION %procname%() RETURNS bigint LANGUAGE sql AS $$ SELECT count(*) + 0 FROM customer $$",
                  "CREATE TRIGGER %quotedsimpletriggername% BEFORE UPDATE ON %tablename% FOR EACH ROW EXECUTE FUNCTION "
                  "suppress_redundant_updates_trigger()",
                  "CREATE TRIGGER %quotedsimpletriggername% BEFORE INSERT OR UPDATE ON %tablename% FOR EACH ROW EXECUTE "
                  "FUNCTION suppress_redundant_updates_trigger()");
    SequenceScenarios(s);
    auto domain = [](const std::string& check, const std::string& defaultValue) {
        return [check, defaultValue](TVELDataDictionary& dd) {
            auto* d = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
            d->SetName("money_amount");
            d->DataType->DataType = "NUMERIC";
            d->DataType->Length = "12";
            d->DataType->Precision = 2;
            d->DefaultConstraint()->Value = defaultValue;
            d->CheckConstraint()->Value = check;
        };
    };
    auto add = [&s](TScenario scenario) {
        scenario.OldScript = BaseTables;
        scenario.Rows = BaseRows;
        scenario.Query = CustomerQuery;
        scenario.Expected = CustomerRows;
        s.push_back(std::move(scenario));
    };
    add({.Name = "add domain", .Change = domain("VALUE >= 0", "0")});
    add({.Name = "change domain",
         .Change = [](TVELDataDictionary& dd) {
             auto* d = static_cast<TVELDomain*>(dd.FindByName("money_amount"));
             d->DefaultConstraint()->Value = "1";
             d->CheckConstraint()->Value = "VALUE > -1";
         },
         .OldChange = domain("VALUE >= 0", "0")});
    add({.Name = "drop domain", .Change = [](TVELDataDictionary& dd) { Delete(dd, "money_amount"); },
         .OldChange = domain("VALUE >= 0", "0")});
    return s;
}

std::vector<TScenario> MariaDBScenarios() {
    std::vector<TScenario> s = CommonScenarios();
    CodeScenarios(s,
                  "CREATE PROCEDURE %procname%()\r\nBEGIN\r\n  SELECT COUNT(*) FROM customer;\r\nEND",
                  "CREATE PROCEDURE %procname%()\r\nBEGIN\r\n  SELECT COUNT(*) + 0 FROM customer;\r\nEND",
                  "CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW SET NEW.credit = NEW.credit",
                  "CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW SET NEW.credit = NEW.credit + 0");
    SequenceScenarios(s);
    return s;
}

std::vector<TScenario> SQLiteScenarios() {
    std::vector<TScenario> s = CommonScenarios();
    CodeScenarios(s, "", "",
                  "CREATE TRIGGER %triggername% AFTER INSERT ON %tablename%\r\nBEGIN\r\n  UPDATE orders SET "
                  "amount = amount WHERE id = -1;\r\nEND",
                  "CREATE TRIGGER %triggername% AFTER INSERT ON %tablename%\r\nBEGIN\r\n  UPDATE orders SET "
                  "amount = amount WHERE id = -2;\r\nEND");
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
    if (TargetDatabases().Entries().empty()) TargetDatabases().Build(DefinitionsDir());
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
    server.Collect(c, "detail", "SELECT sequencename || ' ' || increment_by FROM pg_sequences WHERE schemaname = 'public'");
    server.Collect(c, "detail",
                   "SELECT p.proname || ' ' || p.prosrc FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
                   "WHERE n.nspname = 'public'");
    server.Collect(c, "detail",
                   "SELECT y.typname || ' ' || coalesce(y.typdefault, '-') || ' ' || coalesce((SELECT string_agg("
                   "pg_get_constraintdef(k.oid), ',') FROM pg_constraint k WHERE k.contypid = y.oid), '-') FROM pg_type y "
                   "JOIN pg_namespace n ON n.oid = y.typnamespace WHERE y.typtype = 'd' AND n.nspname = 'public'");
    server.Collect(c, "detail",
                   "SELECT g.tgname || ' ' || pg_get_triggerdef(g.oid) FROM pg_trigger g WHERE NOT g.tgisinternal");
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
    server.Collect(c, "detail",
                   "SELECT CONCAT(ROUTINE_NAME, ' ', ROUTINE_DEFINITION) FROM information_schema.ROUTINES WHERE "
                   "ROUTINE_SCHEMA = DATABASE()");
    server.Collect(c, "detail",
                   "SELECT CONCAT(TRIGGER_NAME, ' ', ACTION_TIMING, ' ', EVENT_MANIPULATION, ' ', ACTION_STATEMENT) FROM "
                   "information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = DATABASE()");
    return c["detail"];
}

std::set<std::string> SQLiteDetails(TSQLite& db) {
    std::set<std::string> out;
    for (const auto& row : db.Query("SELECT m.name || '.' || p.name || ' ' || p.type || ' ' || ifnull(p.dflt_value, '-') "
                                    "FROM sqlite_master m, pragma_table_xinfo(m.name) p WHERE m.type = 'table'"))
        out.insert(row[0]);
    for (const auto& row : db.Query("SELECT name || ' ' || sql FROM sqlite_master WHERE type = 'trigger'")) out.insert(row[0]);
    return out;
}

// Runs a scenario on two databases of the PostgreSQL server, emptied first: one altered from
// the old model, one created from the new model.
void RunOnPostgres(const TScenario& scenario, const std::string& altered, const std::string& fresh) {
    SCOPED_TRACE(scenario.Name);
    const TScripts s = Scripts("postgresql15", scenario);
    TPostgres a(altered), b(fresh);
    const char* const empty = "DROP SCHEMA public CASCADE; CREATE SCHEMA public;";
    ASSERT_EQ(a.Run(empty), "");
    ASSERT_EQ(b.Run(empty), "");
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
    for (const TScenario& scenario : SQLiteScenarios()) RunOnSQLite(scenario);
}

TEST(AlterServers, PostgreSQL15) {
    const std::string altered = CreatePostgresDatabase("ardvin_alter");
    const std::string fresh = CreatePostgresDatabase("ardvin_alter_new");
    for (const TScenario& scenario : PostgresScenarios()) RunOnPostgres(scenario, altered, fresh);
    DropPostgresDatabase(fresh);
    DropPostgresDatabase(altered);
}

TEST(AlterServers, MariaDB10) {
    for (const TScenario& scenario : MariaDBScenarios()) RunOnMariaDB(scenario);
}
