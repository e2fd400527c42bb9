// Alter scripts run on real servers: PostgreSQL 15 and MariaDB 10.11 (the throwaway test servers),
// SQLite through the library and Firebird 3 through its embedded engine. Every scenario is an old
// and a new model; the old one is created and filled with rows, the alter script runs without an
// error, and the database, read back through the target's driver, must compare equal to the new
// model (up to the differences a server cannot avoid, named one by one with their reasons), and
// the rows of the tables that stay keep the values of their columns that stay.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FirebirdDatabase.h"
#include "TestAlterScenarios.h"
#include "TestCatalogue.h"
#include "TestRoundTrip.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zConnectionExecutor.h"
#include "zConnectionURL.h"
#include "zDBDrivers.h"
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

// One change: the old model's script, the new model (its own script, paired with the old model
// by name, and/or a change of a copy of the old model, which keeps every identity), rows put
// into the old database, statements run on the altered one, and a query whose rows must come out
// of it.
struct TScenario {
    std::string Name{};
    std::string OldScript{};
    std::string NewScript{};  // empty: the new model is a copy of the old one
    TChange Change{};         // applied to the new model
    TChange OldChange{};      // applied to the old model (and to a new model of its own script)
    std::string Rows{};
    std::string After{};      // run on the altered database before the query
    std::string Query{};
    std::string Expected{};   // rows joined by ";", fields by "|"
    bool Recreates = false; // SQLite recreates a table
};

const char* const BaseRows =
    "INSERT INTO customer (id, name, city, credit, visits) VALUES (1, 'Ann', 'Oslo', 10.5, 3);\n"
    "INSERT INTO customer (id, name, city, credit, visits) VALUES (2, 'Bob', NULL, 0, 7);\n"
    "INSERT INTO orders (id, customer_id, amount) VALUES (10, 1, 99.9);\n"
    "INSERT INTO orders (id, customer_id, amount) VALUES (11, 2, 5);\n";

const char* const CustomerQuery = "SELECT id, name, city, visits FROM customer ORDER BY id";
const char* const CustomerRows = "1|Ann|Oslo|3;2|Bob||7";
const char* const OrdersQuery = "SELECT id, customer_id FROM orders ORDER BY id";
const char* const OrdersRows = "10|1;11|2";

// The base tables with one more constraint of the customer table.
std::string WithCustomerConstraint(const std::string& constraint) {
    return Base("  CONSTRAINT pk_customer PRIMARY KEY (id)\n", "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  " + constraint + "\n");
}

// The key lines of the orders table, and the base tables without its foreign key.
const char* const OrdersKeys = "  CONSTRAINT pk_orders PRIMARY KEY (id),\n  CONSTRAINT fk_orders_customer FOREIGN KEY "
                               "(customer_id) REFERENCES customer (id)\n";
std::string WithoutForeignKey() { return Base(OrdersKeys, "  CONSTRAINT pk_orders PRIMARY KEY (id)\n"); }

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
    add({.Name = "add column in the middle", .Change = WithEmail("VARCHAR", 2), .Recreates = true});
    // The rows a table holds take the empty value of a new NOT NULL column without a default.
    add({.Name = "add not null column without a default",
         .NewScript = Base("  visits INTEGER,\n", "  visits INTEGER,\n  rating INTEGER NOT NULL,\n  label VARCHAR(10) NOT NULL,\n"),
         .Query = "SELECT id, rating, label, name FROM customer ORDER BY id",
         .Expected = "1|0||Ann;2|0||Bob",
         .Recreates = true});
    add({.Name = "drop column",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", ""),
         .Recreates = true});
    add({.Name = "rename column",
         .Change = [](TVELDataDictionary& dd) { Column(dd, "customer", "city")->SetName("town"); },
         .Query = "SELECT id, name, town, visits FROM customer ORDER BY id",
         .Expected = CustomerRows});
    add({.Name = "change type",
         .NewScript = Base("  visits INTEGER,\n", "  visits BIGINT,\n"),
         .Query = "SELECT id, visits + 1 FROM customer ORDER BY id",
         .Expected = "1|4;2|8",
         .Recreates = true});
    add({.Name = "change length",
         .NewScript = Base("  name VARCHAR(40) NOT NULL,\n", "  name VARCHAR(80) NOT NULL,\n"),
         .Recreates = true});
    add({.Name = "change precision",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", "  credit NUMERIC(12,3) DEFAULT 0,\n"),
         .Query = "SELECT id, CAST(credit * 100 AS INTEGER) FROM customer ORDER BY id",
         .Expected = "1|1050;2|0",
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
    add({.Name = "set default",
         .NewScript = Base("  visits INTEGER,\n", "  visits INTEGER DEFAULT 1,\n"),
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
         .NewScript = WithCustomerConstraint("CONSTRAINT uq_customer_name UNIQUE (name)"),
         .Recreates = true});
    add({.Name = "drop unique constraint",
         .OldScript = WithCustomerConstraint("CONSTRAINT uq_customer_name UNIQUE (name)"),
         .NewScript = Base(),
         .Recreates = true});
    add({.Name = "add check constraint",
         .NewScript = WithCustomerConstraint("CONSTRAINT ck_credit CHECK (credit >= 0)"),
         .Recreates = true});
    add({.Name = "change check constraint",
         .OldScript = WithCustomerConstraint("CONSTRAINT ck_credit CHECK (credit >= 0)"),
         .NewScript = WithCustomerConstraint("CONSTRAINT ck_credit CHECK (credit > -1)"),
         .Recreates = true});
    add({.Name = "drop check constraint",
         .OldScript = WithCustomerConstraint("CONSTRAINT ck_credit CHECK (credit >= 0)"),
         .NewScript = Base(),
         .Recreates = true});
    // Constraints the script left without a name have the names the server gave them.
    add({.Name = "drop unnamed check constraint",
         .OldScript = WithCustomerConstraint("CHECK (credit >= 0)"),
         .NewScript = Base(),
         .Recreates = true});
    add({.Name = "drop unnamed unique constraint",
         .OldScript = WithCustomerConstraint("UNIQUE (name)"),
         .NewScript = Base(),
         .Recreates = true});
    add({.Name = "drop unnamed primary key",
         .OldScript = Base("  CONSTRAINT pk_orders PRIMARY KEY (id),\n", "  PRIMARY KEY (id),\n"),
         .NewScript = Base("  CONSTRAINT pk_orders PRIMARY KEY (id),\n", ""),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "drop unnamed foreign key",
         .OldScript = Base("  CONSTRAINT fk_orders_customer FOREIGN KEY", "  FOREIGN KEY"),
         .NewScript = WithoutForeignKey(),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "drop foreign key",
         .NewScript = WithoutForeignKey(),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "add foreign key",
         .OldScript = WithoutForeignKey(),
         .NewScript = Base(),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "change foreign key actions",
         .NewScript = Base("REFERENCES customer (id)\n", "REFERENCES customer (id) ON DELETE CASCADE ON UPDATE CASCADE\n"),
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    // Renamed keys and indexes keep their identities: renamed in place where the server can.
    add({.Name = "rename index",
         .Change = [](TVELDataDictionary& dd) { Table(dd, "customer")->Indexes.FindByName("ix_customer_city")->SetName("ix_customer_town"); }});
    add({.Name = "rename foreign key",
         .Change = [](TVELDataDictionary& dd) {
             TVELRelationship* key = dd.FindRelationship("fk_orders_customer");
             ASSERT_TRUE(key);
             key->SetName("fk_orders_buyer");
             key->FKConstraint->SetName("fk_orders_buyer");
         },
         .Query = OrdersQuery,
         .Expected = OrdersRows,
         .Recreates = true});
    add({.Name = "rename unique constraint",
         .OldScript = WithCustomerConstraint("CONSTRAINT uq_customer_name UNIQUE (name)"),
         .Change = [](TVELDataDictionary& dd) {
             TVELEntity* table = Table(dd, "customer");
             for (int i = 0; i < table->Constraints.Count(); ++i)
                 if (table->ConstraintAt(i)->GetName() == "uq_customer_name") table->ConstraintAt(i)->SetName("uq_customer_label");
         },
         .Recreates = true});
    add({.Name = "add index",
         .NewScript = Base() + "CREATE INDEX ix_orders_amount ON orders (amount);\n"});
    add({.Name = "drop index", .NewScript = Base("CREATE INDEX ix_customer_city ON customer (city);\n", "")});
    add({.Name = "change index",
         .NewScript = Base("CREATE INDEX ix_customer_city ON customer (city);\n",
                           "CREATE UNIQUE INDEX ix_customer_city ON customer (city, name);\n")});
    const char* const view = "CREATE VIEW %viewname% AS SELECT id, name FROM customer";
    add({.Name = "add view",
         .Change = WithView(view),
         .Query = "SELECT id, name FROM v_customer ORDER BY id",
         .Expected = "1|Ann;2|Bob"});
    add({.Name = "drop view",
         .Change = [](TVELDataDictionary& dd) { dd.DeleteObject(dd.FindByName("v_customer")); },
         .OldChange = WithView(view)});
    add({.Name = "change view",
         .Change = [](TVELDataDictionary& dd) {
             static_cast<TVELView*>(dd.FindByName("v_customer"))->Code =
                 "CREATE VIEW %viewname% AS SELECT id, name, city FROM customer";
         },
         .OldChange = WithView(view),
         .Query = "SELECT id, name, city FROM v_customer ORDER BY id",
         .Expected = "1|Ann|Oslo;2|Bob|"});
    // A view on a table that is recreated is dropped before and built again after.
    add({.Name = "view on a recreated table",
         .Change = WithEmail("VARCHAR", 2),
         .OldChange = WithView(view),
         .Query = "SELECT id, name FROM v_customer ORDER BY id",
         .Expected = "1|Ann;2|Bob",
         .Recreates = true});
    add({.Name = "add comments", .Change = WithComments("Who buys", "Where they live")});
    add({.Name = "change and drop comments",
         .Change = WithComments("Who buys from us", ""),
         .OldChange = WithComments("Who buys", "Where they live")});
    return s;
}

void DeleteTrigger(TVELDataDictionary& dd) {
    TVELEntity* table = Table(dd, "customer");
    table->DeleteMember(table->Triggers.FindByName("tr_customer"));
}

// Sequences, identity columns, procedures and triggers in a target's own dialect.
void CodeScenarios(std::vector<TScenario>& s, const std::string& procedure,
                   const std::string& changedProcedure, const std::string& trigger, const std::string& changedTrigger,
                   const std::string& procedureQuery = {}) {
    auto add = [&s](TScenario scenario) {
        scenario.OldScript = BaseTables;
        scenario.Rows = BaseRows;
        if (scenario.Query.empty()) {
            scenario.Query = CustomerQuery;
            scenario.Expected = CustomerRows;
        }
        s.push_back(std::move(scenario));
    };
    // An identity column numbers new rows after the rows it got.
    auto identity = [](bool on) {
        return [on](TVELDataDictionary& dd) {
            TVELAttribute* id = Column(dd, "orders", "id");
            id->DataType->AutoNumber = on;
            id->DataType->Seed = 1;
            id->DataType->Increment = 1;
        };
    };
    add({.Name = "add identity",
         .Change = identity(true),
         .After = "INSERT INTO orders (customer_id, amount) VALUES (1, 1);\n",
         .Query = OrdersQuery,
         .Expected = "10|1;11|2;12|1",
         .Recreates = true});
    add({.Name = "drop identity",
         .Change = identity(false),
         .OldChange = identity(true),
         .After = "INSERT INTO orders (id, customer_id, amount) VALUES (20, 1, 1);\n",
         .Query = OrdersQuery,
         .Expected = "10|1;11|2;20|1",
         .Recreates = true});
    if (!procedure.empty()) {
        // The changed procedure counts ten more.
        add({.Name = "add procedure",
             .Change = [procedure](TVELDataDictionary& dd) { AddProcedure(dd, procedure); },
             .Query = procedureQuery,
             .Expected = procedureQuery.empty() ? "" : "2"});
        add({.Name = "change procedure",
             .Change = [changedProcedure](TVELDataDictionary& dd) {
                 static_cast<TVELProcedure*>(dd.FindByName("count_customers"))->Code = changedProcedure;
             },
             .OldChange = [procedure](TVELDataDictionary& dd) { AddProcedure(dd, procedure); },
             .Query = procedureQuery,
             .Expected = procedureQuery.empty() ? "" : "12"});
        add({.Name = "drop procedure",
             .Change = [](TVELDataDictionary& dd) { Delete(dd, "count_customers"); },
             .OldChange = [procedure](TVELDataDictionary& dd) { AddProcedure(dd, procedure); }});
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
         .Change = WithEmail("VARCHAR", 2),
         .OldChange = [trigger](TVELDataDictionary& dd) { AddTrigger(dd, trigger); },
         .Recreates = true});
}

// A changed sequence keeps its value: set is a statement that sets it to 5, next a query of its
// next value after the increment became 5, expected that value.
void SequenceScenarios(std::vector<TScenario>& s, const std::string& set, const std::string& next,
                       const std::string& expected) {
    auto add = [&s](TScenario scenario) {
        scenario.OldScript = BaseTables;
        scenario.Rows = BaseRows + scenario.Rows;
        if (scenario.Query.empty()) {
            scenario.Query = CustomerQuery;
            scenario.Expected = CustomerRows;
        }
        s.push_back(std::move(scenario));
    };
    add({.Name = "add sequence", .Change = [](TVELDataDictionary& dd) { AddSequence(dd, 1); }});
    add({.Name = "change sequence",
         .Change = [](TVELDataDictionary& dd) { static_cast<TVELSequence*>(dd.FindByName("seq_invoice"))->Increment = 5; },
         .OldChange = [](TVELDataDictionary& dd) { AddSequence(dd, 1); },
         .Rows = set,
         .Query = next,
         .Expected = expected});
    add({.Name = "drop sequence",
         .Change = [](TVELDataDictionary& dd) { Delete(dd, "seq_invoice"); },
         .OldChange = [](TVELDataDictionary& dd) { AddSequence(dd, 1); }});
}

void DomainScenarios(std::vector<TScenario>& s) {
    auto add = [&s](TScenario scenario) {
        scenario.OldScript = BaseTables;
        scenario.Rows = BaseRows;
        scenario.Query = CustomerQuery;
        scenario.Expected = CustomerRows;
        s.push_back(std::move(scenario));
    };
    add({.Name = "add domain", .Change = WithDomain("VALUE >= 0", "0", "NUMERIC")});
    add({.Name = "change domain",
         .Change = [](TVELDataDictionary& dd) {
             auto* d = static_cast<TVELDomain*>(dd.FindByName("money_amount"));
             d->DefaultConstraint()->Value = "1";
             d->CheckConstraint()->Value = "VALUE > -1";
         },
         .OldChange = WithDomain("VALUE >= 0", "0", "NUMERIC")});
    add({.Name = "drop domain", .Change = [](TVELDataDictionary& dd) { Delete(dd, "money_amount"); },
         .OldChange = WithDomain("VALUE >= 0", "0", "NUMERIC")});
}

std::vector<TScenario> PostgresScenarios() {
    std::vector<TScenario> s = CommonScenarios();
    const std::string function = "CREATE FUNCTION %procname%() RETURNS bigint LANGUAGE sql AS $$ SELECT count(*) FROM customer $$";
    CodeScenarios(s, function,
                  "CREATE FUNCTION %procname%() RETURNS bigint LANGUAGE sql AS $$ SELECT count(*) + 10 FROM customer $$",
                  "CREATE TRIGGER %quotedsimpletriggername% BEFORE UPDATE ON %tablename% FOR EACH ROW EXECUTE FUNCTION "
                  "suppress_redundant_updates_trigger()",
                  "CREATE TRIGGER %quotedsimpletriggername% BEFORE INSERT OR UPDATE ON %tablename% FOR EACH ROW EXECUTE "
                  "FUNCTION suppress_redundant_updates_trigger()",
                  "SELECT count_customers()");
    SequenceScenarios(s, "SELECT setval('seq_invoice', 5);\n", "SELECT nextval('seq_invoice')", "10");
    DomainScenarios(s);
    return s;
}

std::vector<TScenario> MariaDBScenarios() {
    std::vector<TScenario> s = CommonScenarios();
    CodeScenarios(s,
                  "CREATE PROCEDURE %procname%()\r\nBEGIN\r\n  SELECT COUNT(*) FROM customer;\r\nEND",
                  "CREATE PROCEDURE %procname%()\r\nBEGIN\r\n  SELECT COUNT(*) + 10 FROM customer;\r\nEND",
                  "CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW SET NEW.credit = NEW.credit",
                  "CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW SET NEW.credit = NEW.credit + 0");
    // (The server has taken the value after 5 with the old increment already.)
    SequenceScenarios(s, "SELECT SETVAL(seq_invoice, 5);\n", "SELECT NEXTVAL(seq_invoice)", "6");
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

std::vector<TScenario> FirebirdScenarios() {
    std::vector<TScenario> s = CommonScenarios();
    CodeScenarios(s, "CREATE PROCEDURE %procname%\r\nRETURNS (N BIGINT)\r\nAS\r\nBEGIN\r\n  SELECT COUNT(*) FROM customer INTO :n;\r\n  SUSPEND;\r\nEND",
                  "CREATE PROCEDURE %procname%\r\nRETURNS (N BIGINT)\r\nAS\r\nBEGIN\r\n  SELECT COUNT(*) + 10 FROM customer INTO :n;\r\n  SUSPEND;\r\nEND",
                  "CREATE TRIGGER %triggername% FOR %tablename%\r\nACTIVE BEFORE INSERT POSITION 0\r\nAS\r\nBEGIN\r\n  NEW.credit = NEW.credit;\r\nEND",
                  "CREATE TRIGGER %triggername% FOR %tablename%\r\nACTIVE BEFORE INSERT POSITION 0\r\nAS\r\nBEGIN\r\n  NEW.credit = NEW.credit + 0;\r\nEND",
                  "SELECT n FROM count_customers");
    SequenceScenarios(s, "ALTER SEQUENCE seq_invoice RESTART WITH 5;\n", "SELECT NEXT VALUE FOR seq_invoice FROM RDB$DATABASE",
                      "10");
    DomainScenarios(s);
    return s;
}

// ---- running a scenario ------------------------------------------------------------------------------

struct TScripts {
    std::unique_ptr<TVELDataDictionary> Old, New;  // prepared copies
    TVELSettingsList Options;                        // the generation options used
    std::string OldCreate, Alter;
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
    TScenarioModels m = PrepareScenario(target, scenario.OldScript, scenario.NewScript, scenario.OldChange, scenario.Change);
    TScripts s;
    s.Old = std::move(m.Old);
    s.New = std::move(m.New);
    s.Options = m.Options;
    s.OldCreate = CreateScript(*s.Old, s.Options);
    std::unique_ptr<TDBRestructure> alter = CreateRestructure(*s.New);
    alter->OldModel = s.Old.get();
    alter->Options = s.Options;
    EXPECT_TRUE(alter->GenerateAlterScript()) << JoinStrings(alter->Lines, "\n");
    s.Alter = alter->ScriptText();
    s.RecreatedTables = alter->RecreatedTables;
    return s;
}

std::string RowsText(const TRows& rows) {
    std::vector<std::string> lines;
    for (const auto& row : rows) lines.push_back(JoinStrings(row, "|"));
    return JoinStrings(lines, ";");
}

// One server's run of the scenario table: the differences its catalogue cannot avoid, and which
// of them some scenario needed (an excuse that no scenario needs is a failure).
struct TServerRun {
    std::string Target;
    std::vector<TAllowedDifference> Allowed{};
    std::vector<bool> Used{};

    ~TServerRun() { EXPECT_EQ(UnusedAllowances(Allowed, Used), "") << Target; }

    // Reads the altered database back through the target's driver and compares it with the new
    // model: no difference may remain that an allowance does not explain.
    void ExpectLikeNewModel(TScripts& s, const TVELSettingsList& parameters) {
        auto reversed = std::make_unique<TVELDataDictionary>();
        reversed->SetTarget(Target);
        std::vector<std::string> log;
        ImportFromDatabase(*reversed, parameters, {}, nullptr, &log);
        EXPECT_EQ(UnexplainedDifferences(*s.New, *reversed, Allowed, &Used), "")
            << s.Alter << "\n" << JoinStrings(log, "\n");
    }
};

// A database of one server as a scenario uses it.
struct TDatabaseAccess {
    std::function<std::string(const std::string&)> Run;  // a script; the error, empty when it ran
    std::function<TRows(const std::string&)> Query;      // NULL as an empty value
    TVELSettingsList Parameters{};                       // for the target's driver
    // When set, the alter pass runs on the database of this URL through the target's driver
    // (execute mode) instead of as a script.
    std::string ExecuteURL{};
};

// For every table of the old model that stays, a query of the values of its columns that stay
// with their type before the alter script and the same query after it, in the new names.
std::vector<std::pair<std::string, std::string>> KeptRowQueries(const TScripts& s) {
    const TVELDatabaseSettings& settings = *s.New->GetDatabaseSettings();
    auto type = [](const TVELAttribute& a) {
        return a.DataType->DataType + "(" + a.DataType->Length + "," + std::to_string(a.DataType->Precision) + ")";
    };
    std::vector<std::pair<std::string, std::string>> queries;
    std::vector<TVELEntity*> tables;
    s.Old->CollectOfClass(tables);
    for (const TVELEntity* old : tables) {
        const auto* table = dynamic_cast<const TVELEntity*>(s.New->FindObjectByID(old->ID));
        if (!table) continue;
        std::vector<std::string> before, after;
        for (int i = 0; i < old->Attributes.Count(); ++i) {
            const TVELAttribute* column = old->AttributeAt(i);
            const TVELAttribute* now = table->FindAttribute(column->ID);
            if (!now || type(*now) != type(*column)) continue;
            before.push_back(settings.QuoteDDL(column->GetName()));
            after.push_back(settings.QuoteDDL(now->GetName()));
        }
        if (before.empty()) continue;
        queries.emplace_back("SELECT " + JoinStrings(before, ", ") + " FROM " + settings.QuoteDDL(old->GetName()) +
                                 " ORDER BY 1",
                             "SELECT " + JoinStrings(after, ", ") + " FROM " + settings.QuoteDDL(table->GetName()) +
                                 " ORDER BY 1");
    }
    return queries;
}

// Creates the old model with its rows, runs the alter script and checks the outcome.
void RunScenario(TServerRun& run, const TScenario& scenario, TScripts& s, const TDatabaseAccess& db) {
    ASSERT_EQ(db.Run(s.OldCreate), "") << s.OldCreate;
    ASSERT_EQ(db.Run(scenario.Rows), "");
    const auto kept = KeptRowQueries(s);
    EXPECT_FALSE(kept.empty());
    std::vector<std::string> before;
    for (const auto& [query, unused] : kept) before.push_back(RowsText(db.Query(query)));
    if (db.ExecuteURL.empty()) {
        EXPECT_EQ(db.Run(s.Alter), "") << s.Alter;
    } else {
        const std::unique_ptr<TDBConnection> connection = OpenConnectionURL(db.ExecuteURL, *s.New->GetDatabaseSettings());
        std::unique_ptr<TDBRestructure> alter = CreateRestructure(*s.New);
        alter->OldModel = s.Old.get();
        alter->Options = s.Options;
        EXPECT_TRUE(ExecuteAlterScript(*alter, *connection)) << JoinStrings(alter->Lines, "\n") << "\n" << s.Alter;
        connection->Disconnect();
    }
    for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(RowsText(db.Query(kept[i].second)), before[i]) << s.Alter;
    if (!scenario.After.empty()) {
        EXPECT_EQ(db.Run(scenario.After), "") << s.Alter;
    }
    run.ExpectLikeNewModel(s, db.Parameters);
    if (!scenario.Expected.empty()) {
        EXPECT_EQ(RowsText(db.Query(scenario.Query)), scenario.Expected) << s.Alter;
    }
}

// The URL of a database of a test server, its user and password escaped.
std::string ServerURL(const std::string& scheme, const ServerParams& p, const std::string& database) {
    auto escaped = [](const std::string& text) {
        std::string out;
        for (const unsigned char c : text) {
            if (std::isalnum(c) || c == '_' || c == '-' || c == '.') {
                out += static_cast<char>(c);
            } else {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%%%02X", c);
                out += hex;
            }
        }
        return out;
    };
    return scheme + "://" + escaped(p.User) + (p.Password.empty() ? "" : ":" + escaped(p.Password)) + "@" + p.Host +
           ":" + std::to_string(p.Port) + "/" + database;
}

// Runs a scenario on a database of the PostgreSQL server, emptied first.
void RunOnPostgres(TServerRun& run, const TScenario& scenario, const std::string& database, bool execute) {
    SCOPED_TRACE(scenario.Name);
    TScripts s = Scripts(run.Target, scenario);
    TPostgres a(database);
    ASSERT_EQ(a.Run("DROP SCHEMA public CASCADE; CREATE SCHEMA public;"), "");
    const std::string url = ServerURL("postgresql", PostgresServer(), database);
    RunScenario(run, scenario, s,
                {[&a](const std::string& sql) { return a.Run(sql); }, [&a](const std::string& sql) { return a.Query(sql); },
                 ParseConnectionURL(url).Parameters, execute ? url : std::string()});
}

void RunOnMariaDB(TServerRun& run, const TScenario& scenario, bool execute) {
    SCOPED_TRACE(scenario.Name);
    TScripts s = Scripts(run.Target, scenario);
    const std::string database = CreateMariaDBDatabase("ardvin_alter");
    const std::string url = ServerURL("mysql", MariaDBServer(), database);
    {
        TMariaDB a({database});
        RunScenario(run, scenario, s,
                    {[&a](const std::string& sql) { return a.Run(sql); },
                     [&a](const std::string& sql) { return a.Query(sql); }, ParseConnectionURL(url).Parameters,
                     execute ? url : std::string()});
        // MariaDB alters every table in place.
        EXPECT_TRUE(s.RecreatedTables.empty()) << s.Alter;
    }
    DropMariaDBDatabase(database);
}

void RunOnSQLite(TServerRun& run, const TScenario& scenario, bool execute) {
    SCOPED_TRACE(scenario.Name);
    TScripts s = Scripts(run.Target, scenario);
    const TempDir dir;
    TSQLite a(dir.File("altered.db"));
    ASSERT_EQ(a.Run("PRAGMA foreign_keys = ON"), "");
    TVELSettingsList parameters;
    parameters.SetValue("databasefile", dir.File("altered.db"));
    RunScenario(run, scenario, s,
                {[&a](const std::string& sql) { return a.Run(sql); }, [&a](const std::string& sql) { return a.Query(sql); },
                 parameters, execute ? "sqlite://" + dir.File("altered.db") : std::string()});
    EXPECT_EQ(a.Query("PRAGMA foreign_key_check").size(), 0u) << s.Alter;
    EXPECT_EQ(!s.RecreatedTables.empty(), scenario.Recreates) << s.Alter;
}

void RunOnFirebird(TServerRun& run, const TScenario& scenario, bool execute) {
    SCOPED_TRACE(scenario.Name);
    TScripts s = Scripts(run.Target, scenario);
    TFirebirdDatabase db(false);
    ASSERT_TRUE(db.Open());
    TVELSettingsList parameters;
    parameters.SetValue("DatabaseName", db.File());
    parameters.SetValue("UserName", "SYSDBA");
    auto query = [&db](const std::string& sql) {
        TRows rows = db.Query(sql);
        for (auto& row : rows)
            for (std::string& value : row)
                if (value == "<null>") value.clear();
        return rows;
    };
    RunScenario(run, scenario, s,
                {[&db](const std::string& sql) { return db.Script(sql); }, query, parameters,
                 execute ? "firebird://" + db.File() : std::string()});
    // Firebird alters in place all but a renamed table and a column that becomes or stops being
    // an identity column.
    const bool rebuilt = scenario.Name == "rename table" || scenario.Name.find("identity") != std::string::npos;
    EXPECT_EQ(!s.RecreatedTables.empty(), rebuilt) << s.Alter;
}

// The differences each server cannot avoid.
std::vector<TAllowedDifference> SQLiteAllowed() {
    return {
        {"^orders$", "^CONSTRAINT (pk_orders)? \\(id\\)$", "CONSTRAINT (id)",
         "an AUTOINCREMENT column carries its primary key inline, where the key has no name"},
    };
}

std::vector<TAllowedDifference> PostgresAllowed() {
    return {
        {"", "\\('(-?\\d+)'::integer\\)", "$1", "the server keeps a negative number in a check as a cast of a text"},
        {"^v_customer$", "^Code: CREATE (OR REPLACE )?VIEW %viewname%.*$", "Code: CREATE VIEW %viewname%",
         "the server keeps a view's query in its own rewriting (the rows of the view are checked)"},
        {"^v_customer$", "^(AS|SELECT .*|\\s+customer\\.\\w+,?|\\s*FROM customer)$", "",
         "the server keeps a view's query in its own rewriting (the rows of the view are checked)"},
        {"^count_customers$", "^Code: CREATE (OR REPLACE )?FUNCTION %procname%\\(\\).*$", "Code: CREATE FUNCTION %procname%()",
         "the server gives a function's definition in its own layout (its result is checked)"},
        {"^count_customers$", "^( RETURNS bigint| LANGUAGE sql|AS \\$function\\$.*)$", "",
         "the server gives a function's definition in its own layout (its result is checked)"},
        {"^customer$", "%quotedsimpletriggername%", "%triggername%", "the driver gives a trigger's name as %triggername%"},
        {"^seq_invoice$", "^(Min|Max|Cycle): .*", "$1:", "the server gives a sequence without bounds its default bounds"},
    };
}

std::vector<TAllowedDifference> MariaDBAllowed() {
    return {
        {"^customer$", "DEFAULT (\\d+)\\.0+$", "DEFAULT $1", "the server keeps a decimal default with the column's scale"},
        {"^customer$", "`credit`", "credit", "the server writes the names in a check in back quotes"},
        {"^customer$", "^(INDEX ix_customer_city|CONSTRAINT ix_customer_city UNIQUE) .*", "",
         "the server keeps a unique index as a unique key"},
        {"^v_customer$", "^Code: CREATE VIEW %viewname% AS .*", "Code: CREATE VIEW %viewname% AS",
         "the server keeps a view's query in its own rewriting (the rows of the view are checked)"},
        {"^customer$", "^(NAME tr_customer CODE CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW)"
                       "( SET NEW\\.credit = .*)?$", "$1",
         "the server gives a trigger's statement on a line of its own"},
        {"^customer$", "^SET NEW\\.credit = .*$", "", "the server gives a trigger's statement on a line of its own"},
        {"^seq_invoice$", "^(Min|Max|Cache|CacheCode): .*", "$1:",
         "the server gives a sequence without bounds and cache its default bounds and cache"},
    };
}

std::vector<TAllowedDifference> FirebirdAllowed() {
    return {
        {"", "(UPDATERULE|DELETERULE) None", "$1 Restrict", "a foreign key written without an action is kept as RESTRICT"},
        {"^SEQ_INVOICE$", "^Seed: .*", "Seed:", "the driver gives the next value of a sequence that was used as its start"},
    };
}

}  // namespace

TEST(AlterServers, SQLite3) {
    TServerRun run{.Target = "sqlite3", .Allowed = SQLiteAllowed()};
    for (const TScenario& scenario : SQLiteScenarios()) RunOnSQLite(run, scenario, false);
}

TEST(AlterServers, SQLite3Executed) {
    TServerRun run{.Target = "sqlite3", .Allowed = SQLiteAllowed()};
    for (const TScenario& scenario : SQLiteScenarios()) RunOnSQLite(run, scenario, true);
}

TEST(AlterServers, PostgreSQL15) {
    TServerRun run{.Target = "postgresql15", .Allowed = PostgresAllowed()};
    const std::string database = CreatePostgresDatabase("ardvin_alter");
    for (const TScenario& scenario : PostgresScenarios()) RunOnPostgres(run, scenario, database, false);
    DropPostgresDatabase(database);
}

TEST(AlterServers, PostgreSQL15Executed) {
    TServerRun run{.Target = "postgresql15", .Allowed = PostgresAllowed()};
    const std::string database = CreatePostgresDatabase("ardvin_alter");
    for (const TScenario& scenario : PostgresScenarios()) RunOnPostgres(run, scenario, database, true);
    DropPostgresDatabase(database);
}

TEST(AlterServers, MariaDB10) {
    TServerRun run{.Target = "mariadb10", .Allowed = MariaDBAllowed()};
    for (const TScenario& scenario : MariaDBScenarios()) RunOnMariaDB(run, scenario, false);
}

TEST(AlterServers, MariaDB10Executed) {
    TServerRun run{.Target = "mariadb10", .Allowed = MariaDBAllowed()};
    for (const TScenario& scenario : MariaDBScenarios()) RunOnMariaDB(run, scenario, true);
}

TEST(AlterServers, Firebird3) {
    TServerRun run{.Target = "firebird3", .Allowed = FirebirdAllowed()};
    for (const TScenario& scenario : FirebirdScenarios()) RunOnFirebird(run, scenario, false);
}

TEST(AlterServers, Firebird3Executed) {
    TServerRun run{.Target = "firebird3", .Allowed = FirebirdAllowed()};
    for (const TScenario& scenario : FirebirdScenarios()) RunOnFirebird(run, scenario, true);
}
