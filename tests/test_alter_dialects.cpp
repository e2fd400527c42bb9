// Alter scripts of SQL Server 2019, Oracle 19c and Db2 11.5, whose servers cannot run here. Every
// scenario is an old and a new model; the test checks what the alter pass decides (which tables
// are recreated, that a recreated table's data are copied, the statements that make a change)
// and hands every statement of every alter script to the third-party parsers of SqlCheck.h: each
// is taken by one of them for what it is, or is pinned in tests/sqlcheck/golden/<target>_alter.sql
// under the manual section it follows.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SqlCheck.h"
#include "TestAlterScenarios.h"
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

using Strings = std::vector<std::string>;

const char* const SQLServer = "mssqlserver2019";
const char* const Oracle = "oracle19";
const char* const Db2 = "db2luw11";

// One change: the old model's script, the new model (its own script, paired with the old model
// by name, and/or a change of a copy of the old model, which keeps every identity), the targets
// that recreate a table for it, and texts the alter script of a target must hold.
struct TScenario {
    std::string Name{};
    std::string OldScript{};
    std::string NewScript{};  // empty: the new model is a copy of the old one
    TChange Change{};         // applied to the new model
    TChange OldChange{};      // applied to the old model (and to a new model of its own script)
    std::set<std::string> Recreates{};                        // targets that recreate "customer" or "orders"
    std::vector<std::pair<std::string, std::string>> Holds{};  // target, text of the script
    std::vector<std::pair<std::string, std::string>> Lacks{};  // target, text the script must not hold
    std::set<std::string> Only{};                             // the targets that run it; empty: all
};

TChange WithType(const std::string& table, const std::string& column, const std::string& type,
                 const std::string& length = {}) {
    return [=](TVELDataDictionary& dd) {
        TVELAttribute* c = Column(dd, table, column);
        c->DataType->DataType = type;
        c->DataType->Length = length;
    };
}

// The code objects of one target.
struct TCode {
    std::string Procedure, ChangedProcedure, Trigger, ChangedTrigger;
    std::string BinaryType, BinaryLength;  // a binary type the city column can take
    std::string VarChar = "VARCHAR";         // the name of the target's VARCHAR type
    std::string NVarChar = "NVARCHAR";       // and of its national VARCHAR type
};

TCode CodeOf(const std::string& id) {
    if (id == SQLServer)
        return {"CREATE PROCEDURE %procname% AS\r\nBEGIN\r\n  SELECT COUNT(*) FROM customer;\r\nEND",
                "CREATE PROCEDURE %procname% AS\r\nBEGIN\r\n  SELECT COUNT(*) + 0 FROM customer;\r\nEND",
                "CREATE TRIGGER %triggername% ON %tablename% AFTER INSERT AS\r\nBEGIN\r\n  SET NOCOUNT ON;\r\nEND",
                "CREATE TRIGGER %triggername% ON %tablename% AFTER INSERT, UPDATE AS\r\nBEGIN\r\n  SET NOCOUNT ON;\r\nEND",
                "VARBINARY", "30"};
    if (id == Oracle)
        return {"CREATE OR REPLACE PROCEDURE %procname% AS\r\n  n INTEGER;\r\nBEGIN\r\n  SELECT COUNT(*) INTO n FROM "
                "customer;\r\nEND;",
                "CREATE OR REPLACE PROCEDURE %procname% AS\r\n  n INTEGER;\r\nBEGIN\r\n  SELECT COUNT(*) + 0 INTO n FROM "
                "customer;\r\nEND;",
                "CREATE OR REPLACE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW\r\nBEGIN\r\n"
                "  :NEW.credit := :NEW.credit;\r\nEND;",
                "CREATE OR REPLACE TRIGGER %triggername% BEFORE INSERT OR UPDATE ON %tablename% FOR EACH ROW\r\nBEGIN\r\n"
                "  :NEW.credit := :NEW.credit;\r\nEND;",
                "RAW", "30", "VARCHAR2", "NVARCHAR2"};
    return {"CREATE PROCEDURE %procname% ()\r\nLANGUAGE SQL\r\nBEGIN\r\n  DECLARE n INTEGER;\r\n  SELECT COUNT(*) INTO "
            "n FROM customer;\r\nEND",
            "CREATE PROCEDURE %procname% ()\r\nLANGUAGE SQL\r\nBEGIN\r\n  DECLARE n INTEGER;\r\n  SELECT COUNT(*) + 0 "
            "INTO n FROM customer;\r\nEND",
            "CREATE TRIGGER %triggername% NO CASCADE BEFORE INSERT ON %tablename% REFERENCING NEW AS n FOR EACH ROW "
            "SET n.credit = n.credit",
            "CREATE TRIGGER %triggername% NO CASCADE BEFORE INSERT ON %tablename% REFERENCING NEW AS n FOR EACH ROW "
            "SET n.credit = n.credit + 0",
            "VARBINARY", "30"};
}

// The scenarios of one target.
std::vector<TScenario> Scenarios(const std::string& id) {
    const TCode code = CodeOf(id);
    std::vector<TScenario> s;
    auto add = [&s, &id](TScenario scenario) {
        if (!scenario.Only.empty() && !scenario.Only.count(id)) return;
        if (scenario.OldScript.empty()) scenario.OldScript = BaseTables;
        s.push_back(std::move(scenario));
    };
    const std::string orders =
        "CREATE TABLE orders (\n  id INTEGER NOT NULL,\n  customer_id INTEGER,\n  amount NUMERIC(10,2),\n  CONSTRAINT "
        "pk_orders PRIMARY KEY (id),\n  CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customer "
        "(id)\n);\n";
    add({.Name = "add table",
         .NewScript = Base() + "CREATE TABLE note (id INTEGER NOT NULL, body VARCHAR(100), CONSTRAINT pk_note PRIMARY "
                               "KEY (id));\n"});
    add({.Name = "drop table", .NewScript = Base(orders, "")});
    add({.Name = "rename table",
         .Change = [](TVELDataDictionary& dd) { Table(dd, "orders")->SetName("purchase"); },
         .Holds = {{SQLServer, "EXEC sp_rename N'[orders]', N'purchase'"},
                   {Oracle, "ALTER TABLE \"ORDERS\" RENAME TO \"PURCHASE\""},
                   {Db2, "RENAME TABLE \"ORDERS\" TO \"PURCHASE\""}}});
    // A table that moves to another schema is transferred, not built again.
    add({.Name = "move table to another schema",
         .Change = [](TVELDataDictionary& dd) { Table(dd, "orders")->SchemaName = "sales"; },
         .Holds = {{SQLServer, "IF SCHEMA_ID(N'sales') IS NULL EXEC (N'CREATE SCHEMA [sales]')"},
                   {SQLServer, "ALTER SCHEMA [sales] TRANSFER [orders]"}},
         .Lacks = {{SQLServer, "sp_rename"}},
         .Only = {SQLServer}});
    add({.Name = "add column at the end",
         .NewScript = Base("  visits INTEGER,\n", "  visits INTEGER,\n  email VARCHAR(60),\n"),
         .Holds = {{SQLServer, "ALTER TABLE [customer] ADD [email] VARCHAR(60)"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" ADD (\"EMAIL\" VARCHAR2(60))"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ADD COLUMN \"EMAIL\" VARCHAR(60)"}}});
    // SQL Server keeps the order of the columns by recreating the table; Oracle and Db2 append.
    add({.Name = "add column in the middle",
         .Change = WithEmail(code.VarChar, 2),
         .Recreates = {SQLServer},
         .Holds = {{Oracle, "ALTER TABLE \"CUSTOMER\" ADD (\"EMAIL\" VARCHAR2(60))"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ADD COLUMN \"EMAIL\" VARCHAR(60)"}}});
    // SQL Server drops the default constraint that holds the column first.
    add({.Name = "drop column",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", ""),
         .Holds = {{SQLServer, "sys.default_constraints"},
                   {SQLServer, "ALTER TABLE [customer] DROP COLUMN [credit]"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" DROP COLUMN \"CREDIT\""},
                   {Db2, "ALTER TABLE \"CUSTOMER\" DROP COLUMN \"CREDIT\""},
                   {Db2, "CALL SYSPROC.ADMIN_CMD('REORG TABLE \"CUSTOMER\"')"}}});
    // A check the model leaves unnamed is found by its column before the column goes.
    add({.Name = "drop column with an unnamed check",
         .OldScript = Base("  visits INTEGER,\n", "  visits INTEGER CHECK (visits >= 0),\n"),
         .NewScript = Base("  visits INTEGER,\n", ""),
         .Holds = {{SQLServer, "SELECT TOP 1 name FROM sys.check_constraints WHERE parent_object_id = OBJECT_ID(N'[customer]') "
                               "AND parent_column_id = COLUMNPROPERTY(OBJECT_ID(N'[customer]'), N'visits', 'ColumnId')"},
                   {SQLServer, "ALTER TABLE [customer] DROP COLUMN [visits]"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" DROP COLUMN \"VISITS\""}},
         .Only = {SQLServer, Oracle}});
    // A new column's default keeps the name the model gives it.
    add({.Name = "add column with a named default",
         .Change = [code](TVELDataDictionary& dd) {
             TVELEntity* table = Table(dd, "customer");
             TVELAttribute* column = table->AddAttribute();
             column->SetName("rating");
             column->DataType->DataType = code.VarChar;
             column->DataType->Length = "10";
             column->SetDefaultValue("'none'");
             column->DefaultConstraint()->NameFromTemplate = false;
             column->DefaultConstraint()->SetName("df_rating");
         },
         .Holds = {{SQLServer, "ALTER TABLE [customer] ADD [rating] VARCHAR(10) CONSTRAINT [df_rating] DEFAULT 'none'"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" ADD (\"RATING\" VARCHAR2(10) DEFAULT 'none')"}},
         .Lacks = {{SQLServer, "ADD DEFAULT"}}});
    add({.Name = "rename column",
         .Change = [](TVELDataDictionary& dd) { Column(dd, "customer", "city")->SetName("town"); },
         .Holds = {{SQLServer, "EXEC sp_rename N'[customer].[city]', N'town', N'COLUMN'"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" RENAME COLUMN \"CITY\" TO \"TOWN\""},
                   {Db2, "ALTER TABLE \"CUSTOMER\" RENAME COLUMN \"CITY\" TO \"TOWN\""}}});
    add({.Name = "change type",
         .NewScript = Base("  visits INTEGER,\n", "  visits BIGINT,\n"),
         .Holds = {{SQLServer, "ALTER TABLE [customer] ALTER COLUMN [visits] BIGINT NULL"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"VISITS\" SET DATA TYPE BIGINT"}},
         .Only = {SQLServer, Db2}});
    add({.Name = "change type",
         .NewScript = Base("  visits INTEGER,\n", "  visits NUMBER(12),\n"),
         .Holds = {{Oracle, "ALTER TABLE \"CUSTOMER\" MODIFY (\"VISITS\" NUMBER(12))"}},
         .Only = {Oracle}});
    // SQL Server's ALTER COLUMN does not retype a column that an index uses.
    add({.Name = "change type of an indexed column",
         .Change = WithType("customer", "city", code.NVarChar, "30"),
         .Recreates = {SQLServer},
         .Holds = {{SQLServer, "[city] NVARCHAR(30)"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" MODIFY (\"CITY\" NVARCHAR2(30))"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"CITY\" SET DATA TYPE NVARCHAR(30)"}}});
    // A type of the binary group: Oracle's MODIFY and SQL Server's ALTER COLUMN do not convert
    // text to it, so the table is rebuilt and the copy converts.
    add({.Name = "change type to binary",
         .Change = WithType("customer", "city", code.BinaryType, code.BinaryLength),
         .Recreates = {SQLServer, Oracle},
         .Holds = {{SQLServer, "CONVERT(VARBINARY(30), [city])"},
                   {Oracle, "UTL_RAW.CAST_TO_RAW(\"CITY\")"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"CITY\" SET DATA TYPE VARBINARY(30)"}}});
    add({.Name = "change length",
         .NewScript = Base("  name VARCHAR(40) NOT NULL,\n", "  name VARCHAR(80) NOT NULL,\n"),
         .Holds = {{SQLServer, "ALTER TABLE [customer] ALTER COLUMN [name] VARCHAR(80) NOT NULL"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" MODIFY (\"NAME\" VARCHAR2(80))"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"NAME\" SET DATA TYPE VARCHAR(80)"}}});
    // SQL Server keeps the default constraint off the column while its type changes.
    add({.Name = "change precision",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", "  credit NUMERIC(12,3) DEFAULT 0,\n"),
         .Holds = {{SQLServer, "ALTER TABLE [customer] ALTER COLUMN [credit] NUMERIC(12,3) NULL"},
                   {SQLServer, "ALTER TABLE [customer] ADD DEFAULT 0 FOR [credit]"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" MODIFY (\"CREDIT\" NUMBER(12,3))"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"CREDIT\" SET DATA TYPE DECIMAL(12,3)"}}});
    add({.Name = "drop not null",
         .NewScript = Base("  name VARCHAR(40) NOT NULL,\n", "  name VARCHAR(40),\n"),
         .Holds = {{SQLServer, "ALTER TABLE [customer] ALTER COLUMN [name] VARCHAR(40) NULL"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" MODIFY (\"NAME\" NULL)"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"NAME\" DROP NOT NULL"}}});
    add({.Name = "set not null",
         .NewScript = Base("  visits INTEGER,\n", "  visits INTEGER NOT NULL,\n"),
         .Holds = {{SQLServer, "ALTER TABLE [customer] ALTER COLUMN [visits] INT NOT NULL"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" MODIFY (\"VISITS\" NOT NULL)"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"VISITS\" SET NOT NULL"}}});
    add({.Name = "change default",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", "  credit NUMERIC(8,2) DEFAULT 5,\n"),
         .Holds = {{SQLServer, "sys.default_constraints"},
                   {SQLServer, "ALTER TABLE [customer] ADD DEFAULT 5 FOR [credit]"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" MODIFY (\"CREDIT\" DEFAULT 5)"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"CREDIT\" SET DEFAULT 5"}}});
    add({.Name = "drop default",
         .NewScript = Base("  credit NUMERIC(8,2) DEFAULT 0,\n", "  credit NUMERIC(8,2),\n"),
         .Holds = {{SQLServer, "sys.default_constraints"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" MODIFY (\"CREDIT\" DEFAULT NULL)"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ALTER COLUMN \"CREDIT\" DROP DEFAULT"}},
         .Lacks = {{SQLServer, "ADD DEFAULT"}}});
    // A named default constraint is dropped by its name.
    add({.Name = "change named default",
         .Change = [](TVELDataDictionary& dd) { Column(dd, "customer", "credit")->SetDefaultValue("7"); },
         .OldChange = [](TVELDataDictionary& dd) {
             TVELConstraint* constraint = Column(dd, "customer", "credit")->DefaultConstraint();
             constraint->NameFromTemplate = false;
             constraint->SetName("df_credit");
         },
         .Holds = {{SQLServer, "ALTER TABLE [customer] DROP CONSTRAINT [df_credit]"},
                   {SQLServer, "ALTER TABLE [customer] ADD CONSTRAINT [df_credit] DEFAULT 7 FOR [credit]"}},
         .Only = {SQLServer}});
    // Neither SQL Server nor Oracle makes an existing column an identity column in place; Db2 does.
    add({.Name = "change identity",
         .Change = [](TVELDataDictionary& dd) {
             TVELAttribute* column = Column(dd, "orders", "id");
             column->DataType->AutoNumber = true;
             column->DataType->Seed = 1;
             column->DataType->Increment = 1;
         },
         .Recreates = {SQLServer, Oracle},
         .Holds = {{SQLServer, "SET IDENTITY_INSERT [orders_TMP] ON"},
                   {Oracle, "all_tab_identity_cols"},
                   {Db2, "ALTER TABLE \"ORDERS\" ALTER COLUMN \"ID\" SET GENERATED BY DEFAULT AS IDENTITY"},
                   {Db2, "EXECUTE IMMEDIATE 'ALTER TABLE \"ORDERS\" ALTER COLUMN \"ID\" RESTART WITH ' || VARCHAR(n);"}},
         .Lacks = {{Db2, "SET DATA TYPE"}}});
    add({.Name = "drop identity",
         .Change = [](TVELDataDictionary& dd) { Column(dd, "orders", "id")->DataType->AutoNumber = false; },
         .OldChange = [](TVELDataDictionary& dd) {
             TVELAttribute* column = Column(dd, "orders", "id");
             column->DataType->AutoNumber = true;
             column->DataType->Seed = 1;
             column->DataType->Increment = 1;
         },
         .Recreates = {SQLServer},
         .Holds = {{Oracle, "ALTER TABLE \"ORDERS\" MODIFY (\"ID\" DROP IDENTITY)"},
                   {Db2, "ALTER TABLE \"ORDERS\" ALTER COLUMN \"ID\" DROP IDENTITY;"}},
         .Lacks = {{Oracle, "MODIFY (\"ID\" INTEGER)"}, {Db2, "SET DATA TYPE"}}});
    const std::string noPk = "  amount NUMERIC(10,2),\n";
    add({.Name = "drop primary key",
         .NewScript = Base("  amount NUMERIC(10,2),\n  CONSTRAINT pk_orders PRIMARY KEY (id),\n", noPk),
         .Holds = {{SQLServer, "ALTER TABLE [orders] DROP CONSTRAINT [pk_orders]"},
                   {Oracle, "ALTER TABLE \"ORDERS\" DROP PRIMARY KEY"},
                   {Db2, "ALTER TABLE \"ORDERS\" DROP PRIMARY KEY"}}});
    add({.Name = "add primary key",
         .OldScript = Base("  amount NUMERIC(10,2),\n  CONSTRAINT pk_orders PRIMARY KEY (id),\n", noPk),
         .NewScript = Base(),
         .Holds = {{SQLServer, "ALTER TABLE [orders] ADD CONSTRAINT [pk_orders] PRIMARY KEY ([id])"},
                   {Oracle, "ALTER TABLE \"ORDERS\" ADD CONSTRAINT \"PK_ORDERS\" PRIMARY KEY (\"ID\")"},
                   {Db2, "ALTER TABLE \"ORDERS\" ADD CONSTRAINT \"PK_ORDERS\" PRIMARY KEY (\"ID\")"}}});
    const std::string pk = "  CONSTRAINT pk_customer PRIMARY KEY (id)\n";
    const std::string withUnique = "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  CONSTRAINT uq_customer_name UNIQUE (name)\n";
    const std::string withCheck = "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  CONSTRAINT ck_credit CHECK (credit >= 0)\n";
    add({.Name = "add unique constraint",
         .NewScript = Base(pk, withUnique),
         .Holds = {{SQLServer, "ALTER TABLE [customer] ADD CONSTRAINT [uq_customer_name] UNIQUE ([name])"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" ADD CONSTRAINT \"UQ_CUSTOMER_NAME\" UNIQUE (\"NAME\")"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ADD CONSTRAINT \"UQ_CUSTOMER_NAME\" UNIQUE (\"NAME\")"}}});
    add({.Name = "drop unique constraint",
         .OldScript = Base(pk, withUnique),
         .NewScript = Base(),
         .Holds = {{SQLServer, "ALTER TABLE [customer] DROP CONSTRAINT [uq_customer_name]"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" DROP CONSTRAINT \"UQ_CUSTOMER_NAME\""},
                   {Db2, "ALTER TABLE \"CUSTOMER\" DROP UNIQUE \"UQ_CUSTOMER_NAME\""}}});
    add({.Name = "add check constraint",
         .NewScript = Base(pk, withCheck),
         .Holds = {{SQLServer, "ALTER TABLE [customer] ADD CONSTRAINT [ck_credit] CHECK (credit >= 0)"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" ADD CONSTRAINT \"CK_CREDIT\" CHECK (credit >= 0)"},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ADD CONSTRAINT \"CK_CREDIT\" CHECK (credit >= 0)"}}});
    add({.Name = "change check constraint",
         .OldScript = Base(pk, withCheck),
         .NewScript = Base(pk, "  CONSTRAINT pk_customer PRIMARY KEY (id),\n  CONSTRAINT ck_credit CHECK (credit > -1)\n"),
         .Holds = {{SQLServer, "ALTER TABLE [customer] DROP CONSTRAINT [ck_credit]"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" DROP CONSTRAINT \"CK_CREDIT\""},
                   {Db2, "ALTER TABLE \"CUSTOMER\" DROP CHECK \"CK_CREDIT\""}}});
    const std::string fk = "  CONSTRAINT pk_orders PRIMARY KEY (id),\n  CONSTRAINT fk_orders_customer FOREIGN KEY "
                           "(customer_id) REFERENCES customer (id)\n";
    add({.Name = "drop foreign key",
         .NewScript = Base(fk, "  CONSTRAINT pk_orders PRIMARY KEY (id)\n"),
         .Holds = {{SQLServer, "ALTER TABLE [orders] DROP CONSTRAINT [fk_orders_customer]"},
                   {Oracle, "ALTER TABLE \"ORDERS\" DROP CONSTRAINT \"FK_ORDERS_CUSTOMER\""},
                   {Db2, "ALTER TABLE \"ORDERS\" DROP FOREIGN KEY \"FK_ORDERS_CUSTOMER\""}}});
    add({.Name = "add foreign key",
         .OldScript = Base(fk, "  CONSTRAINT pk_orders PRIMARY KEY (id)\n"),
         .NewScript = Base(),
         .Holds = {{SQLServer, "ALTER TABLE [orders] ADD CONSTRAINT [fk_orders_customer] FOREIGN KEY ([customer_id])"},
                   {Oracle, "ALTER TABLE \"ORDERS\" ADD CONSTRAINT \"FK_ORDERS_CUSTOMER\" FOREIGN KEY (\"CUSTOMER_ID\")"},
                   {Db2, "ALTER TABLE \"ORDERS\" ADD CONSTRAINT \"FK_ORDERS_CUSTOMER\" FOREIGN KEY (\"CUSTOMER_ID\")"}}});
    add({.Name = "change foreign key actions",
         .NewScript = Base("REFERENCES customer (id)\n", "REFERENCES customer (id) ON DELETE CASCADE\n"),
         .Holds = {{SQLServer, "ON DELETE CASCADE"}, {Oracle, "ON DELETE CASCADE"}, {Db2, "ON DELETE CASCADE"}}});
    add({.Name = "add index",
         .NewScript = Base() + "CREATE INDEX ix_orders_amount ON orders (amount);\n",
         .Holds = {{SQLServer, "CREATE INDEX [ix_orders_amount] ON [orders] ([amount])"},
                   {Oracle, "CREATE INDEX \"IX_ORDERS_AMOUNT\" ON \"ORDERS\" (\"AMOUNT\")"},
                   {Db2, "CREATE INDEX \"IX_ORDERS_AMOUNT\" ON \"ORDERS\" (\"AMOUNT\")"}}});
    add({.Name = "drop index",
         .NewScript = Base("CREATE INDEX ix_customer_city ON customer (city);\n", ""),
         .Holds = {{SQLServer, "DROP INDEX [ix_customer_city] ON [customer]"},
                   {Oracle, "DROP INDEX \"IX_CUSTOMER_CITY\""},
                   {Db2, "DROP INDEX \"IX_CUSTOMER_CITY\""}}});
    add({.Name = "change index",
         .NewScript = Base("CREATE INDEX ix_customer_city ON customer (city);\n",
                           "CREATE UNIQUE INDEX ix_customer_city ON customer (city, name);\n"),
         .Holds = {{SQLServer, "CREATE UNIQUE INDEX [ix_customer_city] ON [customer] ([city],[name])"},
                   {Oracle, "CREATE UNIQUE INDEX \"IX_CUSTOMER_CITY\" ON \"CUSTOMER\" (\"CITY\",\"NAME\")"},
                   {Db2, "CREATE UNIQUE INDEX \"IX_CUSTOMER_CITY\" ON \"CUSTOMER\" (\"CITY\",\"NAME\")"}}});
    // Renamed indexes and keys keep their identities: renamed in place, not dropped and added.
    add({.Name = "rename index",
         .Change = [](TVELDataDictionary& dd) { Table(dd, "customer")->Indexes.FindByName("ix_customer_city")->SetName("ix_customer_town"); },
         .Holds = {{SQLServer, "EXEC sp_rename N'[customer].[ix_customer_city]', N'ix_customer_town', N'INDEX'"},
                   {Oracle, "ALTER INDEX \"IX_CUSTOMER_CITY\" RENAME TO \"IX_CUSTOMER_TOWN\""},
                   {Db2, "RENAME INDEX \"IX_CUSTOMER_CITY\" TO \"IX_CUSTOMER_TOWN\""}},
         .Lacks = {{SQLServer, "DROP INDEX"}, {Oracle, "DROP INDEX"}, {Db2, "DROP INDEX"}}});
    add({.Name = "rename foreign key",
         .Change = [](TVELDataDictionary& dd) {
             TVELRelationship* key = dd.FindRelationship("fk_orders_customer");
             ASSERT_TRUE(key);
             key->SetName("fk_orders_buyer");
             key->FKConstraint->SetName("fk_orders_buyer");
         },
         .Holds = {{SQLServer, "EXEC sp_rename N'dbo.[fk_orders_customer]', N'fk_orders_buyer', N'OBJECT'"},
                   {Oracle, "ALTER TABLE \"ORDERS\" RENAME CONSTRAINT \"FK_ORDERS_CUSTOMER\" TO \"FK_ORDERS_BUYER\""},
                   {Db2, "ALTER TABLE \"ORDERS\" ADD CONSTRAINT \"FK_ORDERS_BUYER\" FOREIGN KEY"}},
         .Lacks = {{SQLServer, "DROP CONSTRAINT"}, {Oracle, "DROP CONSTRAINT"}}});
    add({.Name = "rename unique constraint",
         .OldScript = Base(pk, withUnique),
         .Change = [](TVELDataDictionary& dd) {
             TVELEntity* table = Table(dd, "customer");
             for (int i = 0; i < table->Constraints.Count(); ++i)
                 if (table->ConstraintAt(i)->GetName() == "uq_customer_name") table->ConstraintAt(i)->SetName("uq_customer_label");
         },
         .Holds = {{SQLServer, "EXEC sp_rename N'dbo.[uq_customer_name]', N'uq_customer_label', N'OBJECT'"},
                   {Oracle, "ALTER TABLE \"CUSTOMER\" RENAME CONSTRAINT \"UQ_CUSTOMER_NAME\" TO \"UQ_CUSTOMER_LABEL\""},
                   {Db2, "ALTER TABLE \"CUSTOMER\" ADD CONSTRAINT \"UQ_CUSTOMER_LABEL\" UNIQUE"}},
         .Lacks = {{SQLServer, "DROP CONSTRAINT"}, {Oracle, "DROP CONSTRAINT"}}});
    add({.Name = "add comments",
         .Change = WithComments("Who buys", "Where they live"),
         .Holds = {{SQLServer, "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'Who buys'"},
                   {Oracle, "COMMENT ON TABLE \"CUSTOMER\" IS 'Who buys'"},
                   {Db2, "COMMENT ON COLUMN \"CUSTOMER\".\"CITY\" IS 'Where they live'"}}});
    add({.Name = "change and drop comments",
         .Change = WithComments("Who buys from us", ""),
         .OldChange = WithComments("Who buys", "Where they live"),
         .Holds = {{SQLServer, "EXEC sys.sp_updateextendedproperty @name = N'MS_Description', @value = N'Who buys from us'"},
                   {SQLServer, "EXEC sys.sp_dropextendedproperty"},
                   {Oracle, "COMMENT ON COLUMN \"CUSTOMER\".\"CITY\" IS ''"},
                   {Db2, "COMMENT ON COLUMN \"CUSTOMER\".\"CITY\" IS ''"}}});
    const char* const view = "CREATE VIEW %viewname% AS SELECT id, name FROM customer";
    add({.Name = "add view", .Change = WithView(view)});
    add({.Name = "drop view", .Change = [](TVELDataDictionary& dd) { Delete(dd, "v_customer"); }, .OldChange = WithView(view)});
    add({.Name = "change view",
         .Change = [](TVELDataDictionary& dd) {
             static_cast<TVELView*>(dd.FindByName("v_customer"))->Code =
                 "CREATE VIEW %viewname% AS SELECT id, name, city FROM customer";
         },
         .OldChange = WithView(view)});
    add({.Name = "view on a recreated table", .Change = WithEmail(code.VarChar, 2), .OldChange = WithView(view), .Recreates = {SQLServer}});
    add({.Name = "add procedure", .Change = [code](TVELDataDictionary& dd) { AddProcedure(dd, code.Procedure); }});
    add({.Name = "change procedure",
         .Change = [code](TVELDataDictionary& dd) {
             static_cast<TVELProcedure*>(dd.FindByName("count_customers"))->Code = code.ChangedProcedure;
         },
         .OldChange = [code](TVELDataDictionary& dd) { AddProcedure(dd, code.Procedure); }});
    add({.Name = "drop procedure",
         .Change = [](TVELDataDictionary& dd) { Delete(dd, "count_customers"); },
         .OldChange = [code](TVELDataDictionary& dd) { AddProcedure(dd, code.Procedure); }});
    add({.Name = "add trigger", .Change = [code](TVELDataDictionary& dd) { AddTrigger(dd, code.Trigger); }});
    add({.Name = "change trigger",
         .Change = [code](TVELDataDictionary& dd) {
             static_cast<TVELTrigger*>(Table(dd, "customer")->Triggers.FindByName("tr_customer"))->Code =
                 code.ChangedTrigger;
         },
         .OldChange = [code](TVELDataDictionary& dd) { AddTrigger(dd, code.Trigger); }});
    add({.Name = "drop trigger",
         .Change = [](TVELDataDictionary& dd) {
             TVELEntity* table = Table(dd, "customer");
             table->DeleteMember(table->Triggers.FindByName("tr_customer"));
         },
         .OldChange = [code](TVELDataDictionary& dd) { AddTrigger(dd, code.Trigger); }});
    add({.Name = "trigger on a recreated table",
         .Change = WithEmail(code.VarChar, 2),
         .OldChange = [code](TVELDataDictionary& dd) { AddTrigger(dd, code.Trigger); },
         .Recreates = {SQLServer}});
    add({.Name = "add sequence", .Change = [](TVELDataDictionary& dd) { AddSequence(dd, 1); }});
    add({.Name = "change sequence",
         .Change = [](TVELDataDictionary& dd) { static_cast<TVELSequence*>(dd.FindByName("seq_invoice"))->Increment = 5; },
         .OldChange = [](TVELDataDictionary& dd) { AddSequence(dd, 1); }});
    add({.Name = "drop sequence",
         .Change = [](TVELDataDictionary& dd) { Delete(dd, "seq_invoice"); },
         .OldChange = [](TVELDataDictionary& dd) { AddSequence(dd, 1); }});
    // Oracle has no domains.
    add({.Name = "add domain", .Change = WithDomain("VALUE >= 0", "0"), .Only = {SQLServer, Db2}});
    add({.Name = "change domain",
         .Change = [](TVELDataDictionary& dd) {
             auto* d = static_cast<TVELDomain*>(dd.FindByName("money_amount"));
             d->DefaultConstraint()->Value = "1";
             d->CheckConstraint()->Value = "VALUE > -1";
         },
         .OldChange = WithDomain("VALUE >= 0", "0"),
         .Holds = {{Db2, "DROP TYPE \"MONEY_AMOUNT\""}, {Db2, "CHECK (VALUE > -1)"}},
         .Only = {SQLServer, Db2}});
    // A domain whose type changes (SQL Server) or that changes at all (Db2) is built again
    // around the columns of its type.
    add({.Name = "change domain of a column",
         .Change = [](TVELDataDictionary& dd) {
             auto* d = static_cast<TVELDomain*>(dd.FindByName("money_amount"));
             d->DataType->Length = "14";
             d->CheckConstraint()->Value = "VALUE > -1";
         },
         .OldChange = [](TVELDataDictionary& dd) {
             WithDomain("VALUE >= 0", "0")(dd);
             Column(dd, "orders", "amount")->SetDomainID(dd.FindByName("money_amount")->ID);
         },
         .Holds = {{SQLServer, "ALTER TABLE [orders] ALTER COLUMN [amount] DECIMAL(12,2)"},
                   {SQLServer, "EXEC sp_droptype N'money_amount'"},
                   {SQLServer, "ALTER TABLE [orders] ALTER COLUMN [amount] [money_amount]"},
                   {Db2, "ALTER TABLE \"ORDERS\" ALTER COLUMN \"AMOUNT\" SET DATA TYPE DECIMAL(12,2)"},
                   {Db2, "CREATE TYPE \"MONEY_AMOUNT\" AS DECIMAL(14,2) WITH WEAK TYPE RULES CHECK (VALUE > -1)"},
                   {Db2, "ALTER TABLE \"ORDERS\" ALTER COLUMN \"AMOUNT\" SET DATA TYPE \"MONEY_AMOUNT\""}},
         .Only = {SQLServer, Db2}});
    add({.Name = "drop domain",
         .Change = [](TVELDataDictionary& dd) { Delete(dd, "money_amount"); },
         .OldChange = WithDomain("VALUE >= 0", "0"),
         .Only = {SQLServer, Db2}});
    return s;
}

// ---- running a scenario ------------------------------------------------------------------------------

struct TAlter {
    std::unique_ptr<TVELDataDictionary> Old, New;  // prepared copies
    std::string Script, Log;
    Strings RecreatedTables;
    bool Ok = false;
};

TAlter Alter(const std::string& target, const TScenario& scenario, TVELStatementExecutor* executor = nullptr) {
    TScenarioModels m = PrepareScenario(target, scenario.OldScript, scenario.NewScript, scenario.OldChange, scenario.Change);
    TAlter a;
    a.Old = std::move(m.Old);
    a.New = std::move(m.New);
    std::unique_ptr<TDBRestructure> r = CreateRestructure(*a.New);
    r->OldModel = a.Old.get();
    r->Options = m.Options;
    if (executor) {
        r->WriteToScript = false;
        r->Executor = executor;
    }
    a.Ok = r->GenerateAlterScript();
    a.Script = r->ScriptText();
    a.Log = JoinStrings(r->Lines, "\n");
    a.RecreatedTables = r->RecreatedTables;
    return a;
}

// Runs the scenarios of a target: the decisions and texts of every scenario, then the parsers'
// check of every statement of every script.
void CheckTarget(const std::string& id) {
    std::vector<TSqlStatement> statements;
    for (const TScenario& scenario : Scenarios(id)) {
        SCOPED_TRACE(id + ": " + scenario.Name);
        const TAlter a = Alter(id, scenario);
        EXPECT_TRUE(a.Ok) << a.Log;
        const Strings written = ScriptStatements(*a.New->GetDatabaseSettings(), a.Script);
        EXPECT_FALSE(written.empty()) << "no statement written\n" << a.Log;
        const bool recreates = scenario.Recreates.count(id) > 0;
        EXPECT_EQ(!a.RecreatedTables.empty(), recreates) << a.Script;
        // A recreated table is built under a temporary name and takes the rows of the old one.
        if (recreates) {
            const std::string table = a.RecreatedTables.empty() ? "" : a.RecreatedTables.front();
            EXPECT_NE(a.Script.find(table + "_TMP"), std::string::npos) << a.Script;
            EXPECT_NE(a.Script.find("INSERT INTO "), std::string::npos) << a.Script;
        } else {
            EXPECT_EQ(a.Script.find("_TMP"), std::string::npos) << a.Script;
        }
        for (const auto& [target, text] : scenario.Holds)
            if (target == id) {
                EXPECT_NE(a.Script.find(text), std::string::npos) << text << "\n" << a.Script;
            }
        for (const auto& [target, text] : scenario.Lacks)
            if (target == id) {
                EXPECT_EQ(a.Script.find(text), std::string::npos) << text << "\n" << a.Script;
            }
        for (const std::string& statement : written) {
            const auto [verb, object] = KindWords(statement);
            statements.push_back({scenario.Name + " " + verb + (object.empty() ? "" : " " + object), statement});
        }
    }
    const int accepted = ExpectParsedOrPinned(id, statements, id + "_alter", true);
    EXPECT_GT(accepted * 3, static_cast<int>(statements.size())) << accepted << " of " << statements.size();
}

class TRecorder : public TVELStatementExecutor {
public:
    void Execute(const std::string& statement) override { Statements.push_back(statement); }
    Strings Statements;
};

// The statements a connection receives for a scenario.
Strings Executed(const std::string& target, const std::string& name) {
    for (const TScenario& scenario : Scenarios(target))
        if (scenario.Name == name) {
            TRecorder recorder;
            const TAlter a = Alter(target, scenario, &recorder);
            EXPECT_TRUE(a.Ok) << a.Log;
            EXPECT_EQ(a.Script, "");
            return recorder.Statements;
        }
    ADD_FAILURE() << "no scenario " << name;
    return {};
}

}  // namespace

// A connection takes the statements of the alter scripts without the script tools' lines: the
// default look-up of SQL Server as one batch, the Db2 block without its terminator switches.
TEST(AlterDialects, AConnectionGetsWholeStatements) {
    const Strings server = Executed(SQLServer, "change default");
    ASSERT_EQ(server.size(), 2u);
    EXPECT_TRUE(server[0].starts_with("DECLARE @name sysname = ")) << server[0];
    EXPECT_TRUE(server[0].ends_with("QUOTENAME(@name))")) << server[0];
    EXPECT_EQ(server[1], "ALTER TABLE [customer] ADD DEFAULT 5 FOR [credit]");
    const Strings db2 = Executed(Db2, "change identity");
    bool block = false;
    for (const std::string& s : db2) {
        EXPECT_EQ(s.find("--#SET"), std::string::npos) << s;
        if (!s.starts_with("BEGIN")) continue;
        block = true;
        EXPECT_TRUE(s.ends_with("END")) << s;
        EXPECT_NE(s.find("EXECUTE IMMEDIATE"), std::string::npos) << s;
    }
    EXPECT_TRUE(block) << JoinStrings(db2, "\n");
    // Oracle's PL/SQL block keeps the ";" after its END, its other statements lose theirs.
    const Strings oracle = Executed(Oracle, "change identity");
    ASSERT_FALSE(oracle.empty());
    for (const std::string& s : oracle) EXPECT_EQ(s.back() == ';', s.starts_with("BEGIN")) << s;
}

TEST(AlterDialects, SQLServer2019) { CheckTarget(SQLServer); }

TEST(AlterDialects, Oracle19) { CheckTarget(Oracle); }

TEST(AlterDialects, Db2LUW11) { CheckTarget(Db2); }
