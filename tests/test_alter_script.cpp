// The alter pass without a server: the marks it sets, the order of its sections, what it reports
// about lost data, and execute mode with a failing statement.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zRelationship.h"
#include "zSQLParser.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::DefinitionsDir;

namespace {

const char* const Tables =
    "CREATE TABLE customer (id INTEGER NOT NULL, name VARCHAR(40) NOT NULL, city VARCHAR(30), "
    "CONSTRAINT pk_customer PRIMARY KEY (id));\n"
    "CREATE TABLE orders (id INTEGER NOT NULL, customer_id INTEGER, CONSTRAINT pk_orders PRIMARY KEY (id), "
    "CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id));\n"
    "CREATE INDEX ix_customer_city ON customer (city);\n"
    "CREATE VIEW v_customer AS SELECT id, name FROM customer;\n";

// An old model of a target and a copy of it (same identities) for the new state.
struct TPair {
    explicit TPair(const std::string& target) {
        TargetDatabases().Build(DefinitionsDir());
        Old.SetTarget(target);
        TVELSQLParser parser(&Old);
        parser.Script = Tables;
        parser.Import();
        New.AssignDictionary(Old);
    }
    TVELEntity* Table(TVELDataDictionary& d, const std::string& name) {
        TVELEntity* t = d.FindEntity(name);
        EXPECT_TRUE(t) << name;
        return t;
    }
    TVELAttribute* Column(TVELDataDictionary& d, const std::string& table, const std::string& name) {
        return static_cast<TVELAttribute*>(Table(d, table)->Attributes.FindByName(name));
    }
    // The restructure object of the new model against the old one.
    std::unique_ptr<TDBRestructure> Restructure() {
        auto r = CreateRestructure(New);
        r->OldModel = &Old;
        r->WriteHeader = false;
        return r;
    }
    TVELDataDictionary Old, New;
};

size_t Find(const std::string& text, const std::string& what) {
    const size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what << "\n" << text;
    return at;
}

class TRecordingExecutor : public TVELStatementExecutor {
public:
    std::vector<std::string> Statements;
    std::string FailOn;
    bool Committed = false;
    void Execute(const std::string& statement) override {
        if (!FailOn.empty() && statement.find(FailOn) != std::string::npos) throw EVELError("refused by the server");
        Statements.push_back(statement);
    }
    void Commit() override { Committed = true; }
};

}  // namespace

TEST(AlterScript, MarksNewChangedAndGoneObjects) {
    TPair p("postgresql15");
    p.Column(p.New, "customer", "city")->SetName("town");
    TVELAttribute* email = p.Table(p.New, "customer")->AddAttribute();
    email->SetName("email");
    email->DataType->DataType = "VARCHAR";
    TVELEntity* orders = p.Table(p.New, "orders");
    orders->DeleteMember(orders->Attributes.FindByName("customer_id"));
    p.New.DeleteObject(p.New.FindByName("v_customer"));
    auto r = p.Restructure();
    r->MarkChanges();

    const TVELEntity* customer = p.Table(p.New, "customer");
    EXPECT_TRUE(customer->StateInBoth && customer->StateModified);
    EXPECT_TRUE(p.Column(p.New, "customer", "town")->StateModified);
    EXPECT_TRUE(email->StateNew);
    EXPECT_FALSE(p.Column(p.New, "customer", "name")->StateModified);
    EXPECT_FALSE(p.Column(p.New, "customer", "name")->StatePositionChanged);
    EXPECT_TRUE(p.Column(p.Old, "orders", "customer_id")->StateGone);
    EXPECT_TRUE(p.Old.FindByName("v_customer") && static_cast<TVELView*>(p.Old.FindByName("v_customer"))->StateGone);
    EXPECT_FALSE(static_cast<TVELIndex*>(p.Table(p.New, "customer")->Indexes.FindByName("ix_customer_city"))->StateModified);
    // Moving a column marks it, in both models.
    TVELEntity* table = p.Table(p.New, "customer");
    table->Attributes.Move(0, 2);
    r->MarkChanges();
    EXPECT_TRUE(p.Column(p.New, "customer", "id")->StatePositionChanged);
    EXPECT_TRUE(p.Column(p.Old, "customer", "id")->StatePositionChanged);

    // Without an old model there is nothing to alter.
    auto alone = CreateRestructure(p.New);
    EXPECT_THROW(alone->GenerateAlterScript(), EVELError);
}

TEST(AlterScript, SectionsInOrderAndLostData) {
    TPair p("postgresql15");
    // Identical models: no statement, nothing lost.
    auto r = p.Restructure();
    EXPECT_TRUE(r->GenerateAlterScript());
    EXPECT_EQ(r->ScriptText(), "");
    EXPECT_TRUE(r->DroppedTables.empty() && r->DroppedColumns.empty() && r->RecreatedTables.empty());
    EXPECT_EQ(r->Lines.front(), "Modify PostgreSQL 15 database.");

    // A changed view, a changed foreign key, a column in the middle and a new table.
    static_cast<TVELView*>(p.New.FindByName("v_customer"))->Code = "CREATE VIEW %viewname% AS SELECT id FROM customer";
    static_cast<TVELRelationship*>(p.New.FindByName("fk_orders_customer"))->DeleteRule = raCascade;
    TVELEntity* customer = p.Table(p.New, "customer");
    TVELAttribute* email = customer->AddAttribute();
    email->SetName("email");
    email->DataType->DataType = "VARCHAR";
    customer->Attributes.Move(customer->Attributes.Count() - 1, 1);
    auto* note = static_cast<TVELEntity*>(p.New.CreateObject(otEntity, true));
    note->SetName("note");
    note->AddAttribute()->SetName("body");
    r = p.Restructure();
    r->GenerateAlterScript();
    const std::string script = r->ScriptText();
    const size_t dropView = Find(script, "DROP VIEW \"v_customer\";");
    const size_t dropKey = Find(script, "ALTER TABLE \"orders\" DROP CONSTRAINT \"fk_orders_customer\";");
    const size_t addTable = Find(script, "CREATE TABLE \"note\"");
    const size_t recreate = Find(script, "Drop and recreate table \"customer\"");
    const size_t temp = Find(script, "CREATE TABLE \"customer_TMP\"");
    const size_t copy = Find(script, "INSERT INTO \"customer_TMP\" (\"id\",\"name\",\"city\") SELECT \"id\",\"name\",\"city\" FROM \"customer\";");
    const size_t rename = Find(script, "ALTER TABLE \"customer_TMP\" RENAME TO \"customer\";");
    const size_t addKey = Find(script, "ON DELETE CASCADE");
    const size_t addView = Find(script, "CREATE VIEW \"v_customer\" AS SELECT id FROM customer;");
    EXPECT_LT(dropView, dropKey);
    EXPECT_LT(dropKey, addTable);
    EXPECT_LT(addTable, recreate);
    EXPECT_LT(temp, copy);
    EXPECT_LT(copy, rename);
    EXPECT_LT(rename, addKey);
    EXPECT_LT(addKey, addView);
    EXPECT_EQ(r->RecreatedTables, std::vector<std::string>{"customer"});
    EXPECT_TRUE(r->DroppedTables.empty());
    EXPECT_EQ(r->ErrorCount, 0) << JoinStrings(r->Lines, "\n");

    // MariaDB places the column instead.
    TPair m("mariadb10");
    TVELEntity* table = m.Table(m.New, "customer");
    TVELAttribute* added = table->AddAttribute();
    added->SetName("email");
    added->DataType->DataType = "VARCHAR";
    added->DataType->Length = "60";
    table->Attributes.Move(table->Attributes.Count() - 1, 1);
    table->DeleteMember(table->Attributes.FindByName("city"));
    r = m.Restructure();
    r->GenerateAlterScript();
    Find(r->ScriptText(), "ALTER TABLE `customer` ADD COLUMN `email` VARCHAR(60) AFTER `id`;");
    Find(r->ScriptText(), "ALTER TABLE `customer` DROP COLUMN `city`;");
    EXPECT_TRUE(r->RecreatedTables.empty());
    EXPECT_EQ(r->DroppedColumns, std::vector<std::string>{"customer.city"});
}

TEST(AlterScript, ExecuteModeReportsAFailedRecreate) {
    TPair p("sqlite3");
    p.Column(p.New, "customer", "name")->DataType->Length = "80";
    TRecordingExecutor executor;
    executor.FailOn = "INSERT INTO";
    auto r = p.Restructure();
    r->WriteToScript = false;
    r->Executor = &executor;
    EXPECT_FALSE(r->GenerateAlterScript());
    EXPECT_TRUE(executor.Committed);
    EXPECT_EQ(r->ErrorCount, 1);
    bool reported = false;
    for (const std::string& line : r->Lines)
        reported = reported || line.find("Problem recreating table \"customer\": refused by the server") != std::string::npos;
    EXPECT_TRUE(reported) << JoinStrings(r->Lines, "\n");
    // The statements before the failure ran; the old table was not dropped.
    ASSERT_FALSE(executor.Statements.empty());
    bool created = false, dropped = false;
    for (const std::string& s : executor.Statements) {
        created = created || s.starts_with("CREATE TABLE \"customer_TMP\"");
        dropped = dropped || s == "DROP TABLE \"customer\";";
    }
    EXPECT_TRUE(created);
    EXPECT_FALSE(dropped);
}

TEST(AlterScript, ExcludedObjectsAreLeftAlone) {
    TPair p("postgresql15");
    p.New.DeleteObject(p.Table(p.New, "orders"));
    p.New.DeleteObject(p.New.FindByName("v_customer"));
    auto r = p.Restructure();
    r->Options.SetValue("UNSELECTEDOBJECTS", std::to_string(p.Table(p.Old, "orders")->ID));
    EXPECT_TRUE(r->GenerateAlterScript());
    const std::string script = r->ScriptText();
    EXPECT_EQ(script.find("DROP TABLE"), std::string::npos) << script;
    EXPECT_TRUE(r->DroppedTables.empty());
    Find(script, "DROP VIEW \"v_customer\";");
    // Left selected, the table goes, with the foreign key that leaves with it.
    r = p.Restructure();
    EXPECT_TRUE(r->GenerateAlterScript());
    Find(r->ScriptText(), "DROP TABLE \"orders\";");
    EXPECT_EQ(r->DroppedTables, std::vector<std::string>{"orders"});
}

// A new NOT NULL column without a default: the rows the table holds take the empty value of its
// type before NOT NULL is set; a type without one is added nullable. Either way a warning says so.
TEST(AlterScript, NotNullColumnWithoutDefault) {
    TPair p("postgresql15");
    TVELEntity* customer = p.Table(p.New, "customer");
    auto add = [customer](const std::string& name, const std::string& type) {
        TVELAttribute* column = customer->AddAttribute();
        column->SetName(name);
        column->DataType->DataType = type;
        column->SetNotNull(true);
        return column;
    };
    add("rating", "INTEGER");
    add("since", "DATE");
    auto r = p.Restructure();
    std::vector<std::pair<int, std::string>> messages;
    r->OnLog = [&messages](TVELLogger*, int level, const std::string& text, TVELNamedObject*) {
        if (level == mlWarning) messages.emplace_back(level, text);
    };
    EXPECT_TRUE(r->GenerateAlterScript()) << JoinStrings(r->Lines, "\n");
    const std::string script = r->ScriptText();
    const size_t added = Find(script, "ALTER TABLE \"customer\" ADD COLUMN \"rating\" INTEGER;");
    const size_t filled = Find(script, "UPDATE \"customer\" SET \"rating\" = 0 WHERE \"rating\" IS NULL;");
    const size_t notNull = Find(script, "ALTER TABLE \"customer\" ALTER COLUMN \"rating\" SET NOT NULL;");
    EXPECT_LT(added, filled);
    EXPECT_LT(filled, notNull);
    Find(script, "ALTER TABLE \"customer\" ADD COLUMN \"since\" DATE;");
    EXPECT_EQ(script.find("\"since\" SET NOT NULL"), std::string::npos) << script;
    EXPECT_EQ(script.find("SET \"since\""), std::string::npos) << script;
    Find(script, "it is added as nullable. Fill it, then set it NOT NULL.");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].second,
              "Column \"customer.rating\" is NOT NULL without a default: the rows the table holds are given 0 before NOT "
              "NULL is set.");
    EXPECT_EQ(messages[1].second,
              "Column \"customer.since\" is NOT NULL without a default: it is added as nullable. Fill it, then set it NOT "
              "NULL.");

    // A column with a default, or an identity column, is added as it stands.
    TPair d("postgresql15");
    TVELAttribute* visits = d.Table(d.New, "customer")->AddAttribute();
    visits->SetName("visits");
    visits->DataType->DataType = "INTEGER";
    visits->SetNotNull(true);
    visits->SetDefaultValue("1");
    r = d.Restructure();
    EXPECT_TRUE(r->GenerateAlterScript());
    Find(r->ScriptText(), "ADD COLUMN \"visits\" INTEGER DEFAULT 1 NOT NULL;");
    EXPECT_EQ(r->ScriptText().find("UPDATE"), std::string::npos) << r->ScriptText();
}

// A table that moves to another schema keeps its rows: it is moved (into a schema made for it)
// and renamed there when its name changed too.
TEST(AlterScript, TableMovesToAnotherSchema) {
    TPair p("postgresql15");
    TVELEntity* orders = p.Table(p.New, "orders");
    orders->SchemaName = "sales";
    auto r = p.Restructure();
    EXPECT_TRUE(r->GenerateAlterScript()) << JoinStrings(r->Lines, "\n");
    std::string script = r->ScriptText();
    const size_t schema = Find(script, "CREATE SCHEMA IF NOT EXISTS \"sales\";");
    const size_t move = Find(script, "ALTER TABLE \"orders\" SET SCHEMA \"sales\";");
    EXPECT_LT(schema, move);
    EXPECT_EQ(script.find("RENAME TO"), std::string::npos) << script;
    EXPECT_TRUE(r->RecreatedTables.empty());

    orders->SetName("purchase");
    r = p.Restructure();
    EXPECT_TRUE(r->GenerateAlterScript());
    script = r->ScriptText();
    EXPECT_LT(Find(script, "ALTER TABLE \"orders\" SET SCHEMA \"sales\";"),
              Find(script, "ALTER TABLE \"sales\".\"orders\" RENAME TO \"purchase\";"));
}

// PostgreSQL turns a column into an identity column and back, and changes its numbers, in
// place: the table and its rows stay.
TEST(AlterScript, PostgreSQLIdentityChangesInPlace) {
    TPair p("postgresql15");
    TVELDataType& id = *p.Column(p.New, "orders", "id")->DataType;
    id.AutoNumber = true;
    id.Seed = 100;
    id.Increment = 5;
    auto r = p.Restructure();
    r->GenerateAlterScript();
    std::string script = r->ScriptText();
    EXPECT_TRUE(r->RecreatedTables.empty()) << script;
    const size_t add = Find(script, "ALTER TABLE \"orders\" ALTER COLUMN \"id\" ADD GENERATED BY DEFAULT AS IDENTITY "
                                    "(START WITH 100 INCREMENT BY 5);");
    const size_t next = Find(script, "SELECT setval(pg_get_serial_sequence('\"orders\"', 'id'), "
                                     "GREATEST(COALESCE(MAX(\"id\") + 5, 100), 100), false) FROM \"orders\";");
    EXPECT_LT(add, next);
    EXPECT_EQ(script.find(" TYPE "), std::string::npos) << "the type itself did not change\n" << script;

    // From identity to identity with other numbers, and from identity to a plain column with a
    // default, on a model that starts with the identity.
    p.Old.AssignDictionary(p.New);
    id.Increment = 10;
    r = p.Restructure();
    r->GenerateAlterScript();
    script = r->ScriptText();
    Find(script, "ALTER TABLE \"orders\" ALTER COLUMN \"id\" SET INCREMENT BY 10 SET START WITH 100;");
    EXPECT_EQ(script.find("GENERATED"), std::string::npos) << script;

    id.AutoNumber = false;
    p.Column(p.New, "orders", "id")->SetDefaultValue("0");
    r = p.Restructure();
    r->GenerateAlterScript();
    script = r->ScriptText();
    EXPECT_TRUE(r->RecreatedTables.empty()) << script;
    const size_t drop = Find(script, "ALTER TABLE \"orders\" ALTER COLUMN \"id\" DROP IDENTITY IF EXISTS;");
    EXPECT_LT(drop, Find(script, "ALTER TABLE \"orders\" ALTER COLUMN \"id\" SET DEFAULT 0;"));
}
