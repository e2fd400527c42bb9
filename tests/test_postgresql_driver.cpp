// The PostgreSQL driver on the throwaway PostgreSQL 15 server: a model generated, run and read
// back must give the same model; names that look like SQL are read like any other; schema
// filters, masks, connection failures, statements and transactions; and a database of a
// thousand tables.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FullFeatureModel.h"
#include "TestServers.h"
#include "TestModelObjects.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zDBRestructure.h"
#include "zDBScript.h"
#include "zDDComparer.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIDMatcher.h"
#include "zIndex.h"
#include "zPostgreSQLDriver.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

TVELSettingsList ConnectionParameters(const std::string& database) {
    const ServerParams p = PostgresServer();
    TVELSettingsList parameters;
    parameters.SetValue("Host", p.Host);
    parameters.SetValue("Port", std::to_string(p.Port));
    parameters.SetValue("DatabaseName", database);
    parameters.SetValue("UserName", p.User);
    parameters.SetValue("Password", p.Password);
    return parameters;
}

// A throwaway database, dropped at the end.
class TDatabase {
public:
    explicit TDatabase(const std::string& prefix) : Name(CreatePostgresDatabase(prefix)) {}
    ~TDatabase() { DropPostgresDatabase(Name); }
    // Runs a script; fails the test with the server's message.
    void Run(const std::string& script) const {
        TPostgresConnection connection(Name);
        ASSERT_EQ(connection.ConnectError(), "");
        connection.Run("SET client_min_messages = warning");
        ASSERT_EQ(connection.Run(script), "") << script.substr(0, 2000);
    }
    TRows Query(const std::string& sql) const {
        TPostgresConnection connection(Name);
        std::string error;
        TRows rows = connection.Query(sql, error);
        EXPECT_EQ(error, "") << sql;
        return rows;
    }
    int Count(const std::string& sql) const {
        const TRows rows = Query(sql);
        return rows.empty() ? -1 : std::stoi(rows[0][0]);
    }
    const std::string Name;
};

std::unique_ptr<TVELDataDictionary> NewModel() {
    TargetDatabases().Build(DefinitionsDir());
    auto model = std::make_unique<TVELDataDictionary>();
    model->SetTarget("postgresql15");
    return model;
}

// Reads a database into a new model of the PostgreSQL target through the driver factory.
std::unique_ptr<TVELDataDictionary> Reverse(const std::string& database, const TVELSettingsList& extra = {},
                                            const TVELSettingsList& options = {},
                                            std::vector<std::string>* log = nullptr) {
    std::unique_ptr<TVELDataDictionary> model = NewModel();
    TVELSettingsList parameters = ConnectionParameters(database);
    for (int i = 0; i < extra.Count(); ++i) parameters.SetValue(extra.NameAt(i), extra.ValueAt(i));
    std::vector<std::string> lines;
    ImportFromDatabase(*model, parameters, options, nullptr, log ? log : &lines);
    return model;
}

std::string QualifiedName(const TVELDatabaseObject& object) {
    return (object.SchemaName.empty() ? "" : object.SchemaName + ".") + object.GetName();
}

std::set<std::string> TableNames(const TVELDataDictionary& model) {
    std::vector<TVELEntity*> tables;
    model.CollectOfClass(tables);
    std::set<std::string> names;
    for (const TVELEntity* table : tables) names.insert(QualifiedName(*table));
    return names;
}

TVELEntity* Table(const TVELDataDictionary& model, const std::string& qualifiedName) {
    std::vector<TVELEntity*> tables;
    model.CollectOfClass(tables);
    for (TVELEntity* table : tables)
        if (QualifiedName(*table) == qualifiedName) return table;
    return nullptr;
}

TVELAttribute* Column(const TVELEntity* table, const std::string& name) {
    return table ? dynamic_cast<TVELAttribute*>(table->Attributes.FindByName(name)) : nullptr;
}

// ---- the round trip ---------------------------------------------------------------------------------

// A difference between the generated model and the one read back that the system cannot avoid:
// in the description of object, the line left (generated) became right (read back).
struct TAllowance {
    const char* Object;
    const char* Left;
    const char* Right;
    const char* Reason;
};

const char* const NotInCatalogue = "the catalogue does not keep begin and end scripts of tables";
const char* const ColumnChecks =
    "the catalogue does not tell column checks from table checks (both are written as table constraints)";
const char* const FoldedCase = "the server keeps expressions with unquoted names folded to lower case";

const TAllowance Allowances[] = {
    {"positive amount", "Comment: Money that is never negative", "Comment: ",
     "the create script writes no domain comments"},
    {"order", "counter value INTEGER DEFAULT nextval('\"sales\".counter')",
     "counter value INTEGER DEFAULT nextval('\"sales\".\"counter\"')",
     "the column is linked to the sequence of its nextval default, as the SQL import does, and the default is "
     "written from the sequence"},
    {"customer",
     "name VARCHAR(100) COLLATE \"C\" NOT NULL CONSTRAINT ck_customer_name CHECK (Name <> '') COMMENT \"Display "
     "name, with 'quotes', {braces}",
     "name VARCHAR(100) COLLATE \"C\" NOT NULL COMMENT \"Display name, with 'quotes', {braces} and a second line\"",
     ColumnChecks},
    {"customer", "and a second line\"", "", ColumnChecks},
    {"customer", "score INTEGER DEFAULT 0 CONSTRAINT ck_customer_score_min CHECK (Score >= 0)",
     "score INTEGER DEFAULT 0", ColumnChecks},
    {"customer", "", "CONSTRAINT ck_customer_name CHECK (name <> '')", ColumnChecks},
    {"customer", "", "CONSTRAINT ck_customer_score_min CHECK (score >= 0)", ColumnChecks},
    {"customer", "CONSTRAINT ck_customer_score CHECK (Score <= 1000)", "CONSTRAINT ck_customer_score CHECK (score <= 1000)",
     FoldedCase},
    {"customer", "NAME tr_customer_created CODE CREATE TRIGGER %quotedsimpletriggername% BEFORE INSERT ON %tablename%",
     "NAME tr_customer_created CODE CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW EXECUTE "
     "FUNCTION set_created()",
     "the server writes a trigger back as one statement of its own layout"},
    {"customer", "FOR EACH ROW EXECUTE FUNCTION set_created()", "",
     "the server writes a trigger back as one statement of its own layout"},
    {"customer", "Begin table script: SET client_min_messages = warning;", "Begin table script: ", NotInCatalogue},
    {"customer", "End table script: ANALYZE %tablename%;", "End table script: ", NotInCatalogue},
    {"all types", "float FLOAT", "float DOUBLE PRECISION", "FLOAT is the server's synonym of DOUBLE PRECISION"},
    {"customers note", "say \"hi\" VARCHAR(20)", "say hi VARCHAR(20)",
     "generation leaves quote characters out of quoted names"},
    {"customers note", "CONSTRAINT pk_customer's note (noteid)", "CONSTRAINT pk_customers note (noteid)",
     "generation leaves quote characters out of quoted names"},
};

// Objects whose code the server keeps in a form of its own (views, routines and rules are
// written back from their parsed form): their code is checked for its content instead.
const std::map<std::string, std::vector<std::string>> RewrittenCode = {
    {"customer orders",
     {"CREATE OR REPLACE VIEW %viewname%\r\nAS\r\n", "FROM customer c", "JOIN \"order\" o ON o.customerid = c.customerid"}},
    {"order counts", {"CREATE OR REPLACE VIEW %viewname%\r\nAS\r\n", "count(*) AS orders", "FROM \"customer orders\""}},
    {"set_created",
     {"CREATE OR REPLACE FUNCTION %procname%()", "RETURNS trigger", "LANGUAGE plpgsql",
      "NEW.created := coalesce(NEW.created, now());"}},
    {"archive customers",
     {"CREATE OR REPLACE PROCEDURE %procname%(IN p_days integer)", "LANGUAGE sql",
      "DELETE FROM customer WHERE created < now() - make_interval(days => p_days)"}},
    {"notify note change", {"CREATE RULE %rulename% AS", "ON UPDATE TO \"line note\" DO", "NOTIFY line_note_changed"}},
};

std::string CodeOf(const TVELDataDictionary& model, const std::string& name) {
    for (int i = 0; i < model.Count(); ++i)
        if (const auto* code = dynamic_cast<const TVELCodeObject*>(model.Object(i)); code && code->GetName() == name)
            return code->Code;
    return "<no object " + name + ">";
}

// Generates the create script of a model and runs it on the database; returns the model as
// generation prepared it.
std::unique_ptr<TVELDataDictionary> CreateIn(const TDatabase& database, const TVELDataDictionary& model) {
    TVELSettingsList options, used;
    std::unique_ptr<TVELDataDictionary> generated =
        PrepareForGeneration(model, options, used, [](TVELNamedObject*, int, const std::string&) {});
    std::unique_ptr<TDBRestructure> create = CreateRestructure(*generated);
    create->Options = used;
    EXPECT_TRUE(create->GenerateCreateScript());
    database.Run(create->ScriptText());
    return generated;
}

// The full-feature model of the target, created in the database.
std::unique_ptr<TVELDataDictionary> CreateFullModel(const TDatabase& database) {
    std::unique_ptr<TVELDataDictionary> model = NewModel();
    TFullFeatureSetup setup;
    setup.OtherSchema = "sales";
    BuildFullFeatureModel(*model, setup);
    return CreateIn(database, *model);
}

}  // namespace

TEST(PostgreSQLDriver, RoundTripOfTheFullFeatureModel) {
    const TDatabase database("ardvin_roundtrip");
    std::unique_ptr<TVELDataDictionary> generated = CreateFullModel(database);

    std::vector<std::string> log;
    std::unique_ptr<TVELDataDictionary> read = Reverse(database.Name, {}, {}, &log);
    EXPECT_EQ(JoinStrings(log, "\n").find("Error"), std::string::npos) << JoinStrings(log, "\n");

    // Every object of the model comes back; the catalogue's own objects (the sequences behind
    // identity and serial columns, the indexes behind keys) do not.
    // Generation leaves quote characters out of quoted names.
    std::set<std::string> expected;
    for (const std::string& name : TableNames(*generated)) expected.insert(ReplaceAll(ReplaceAll(name, "'", ""), "\"", ""));
    EXPECT_EQ(TableNames(*read), expected);
    EXPECT_EQ(All<TVELRelationship>(*read).size(), All<TVELRelationship>(*generated).size());
    EXPECT_EQ(All<TVELSequence>(*read).size(), 2u);
    EXPECT_EQ(All<TVELDomain>(*read).size(), 3u);
    EXPECT_EQ(All<TVELView>(*read).size(), 2u);
    EXPECT_EQ(All<TVELProcedure>(*read).size(), 2u);

    MatchIDs(*generated, *read, nullptr);
    generated->SelectAll();
    read->SelectAll();
    TVELDifferences differences;
    TVELCompareSettings settings;
    settings.MarkWords = false;
    CompareDictionaries(*generated, *read, differences, settings);
    EXPECT_EQ(differences.LeftOnly, 0);
    EXPECT_EQ(differences.RightOnly, 0);
    std::set<const TAllowance*> used_;
    std::string unexpected;
    for (int i = 0; i < differences.Count(); ++i) {
        const TVELDifference* d = differences.Difference(i);
        if (d->Status == dsUnchanged) continue;
        if (RewrittenCode.count(d->LeftName)) {
            const std::string code = CodeOf(*read, d->LeftName);
            // Generation adds the terminator.
            EXPECT_NE(TrimRight(code).back(), ';') << code;
            for (const std::string& part : RewrittenCode.at(d->LeftName))
                EXPECT_NE(code.find(part), std::string::npos) << d->LeftName << " lacks " << part << " in\n" << code;
            // Only lines of the code may differ.
            const std::string generatedCode = CodeOf(*generated, d->LeftName);
            auto ofCode = [](const std::string& line, const std::string& code) {
                return line.empty() || StartsText("Code: ", line) || code.find(line) != std::string::npos;
            };
            for (const TVELDiffDetailsItem& item : d->Details)
                if (item.Status != dsUnchanged && (!ofCode(item.LeftString, generatedCode) || !ofCode(item.RightString, code)))
                    unexpected += d->LeftName + ": " + item.LeftString + " -> " + item.RightString + "\n";
            continue;
        }
        for (const TVELDiffDetailsItem& item : d->Details) {
            if (item.Status == dsUnchanged) continue;
            const TAllowance* allowed = nullptr;
            for (const TAllowance& a : Allowances)
                if (d->LeftName == a.Object && item.LeftString == a.Left && item.RightString == a.Right) allowed = &a;
            if (allowed)
                used_.insert(allowed);
            else
                unexpected += d->LeftName + " | " + d->RightName + ":\n  generated: " + item.LeftString +
                              "\n  read back: " + item.RightString + "\n";
        }
    }
    EXPECT_EQ(unexpected, "");
    for (const TAllowance& a : Allowances)
        EXPECT_TRUE(used_.count(&a)) << "no longer differs (" << a.Reason << "): " << a.Object << ": " << a.Left;

    // The model read back generates a script that builds the same database again.
    const TDatabase copy("ardvin_roundtrip_again");
    CreateIn(copy, *read);
    EXPECT_EQ(TableNames(*Reverse(copy.Name)), TableNames(*read));
}

TEST(PostgreSQLDriver, RoundTripKeepsOptionsTheDescriptionsLeaveOut) {
    const TDatabase database("ardvin_options");
    CreateFullModel(database);
    std::unique_ptr<TVELDataDictionary> read = Reverse(database.Name);

    const TVELEntity* line = Table(*read, "order line");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->TableOptions, "WITH (fillfactor = 90)");
    EXPECT_EQ(line->PrimaryKey->ConstraintOptions, "WITH (fillfactor = 90)");
    EXPECT_EQ(line->PrimaryKey->GetName(), "pk_order_line");
    std::vector<TVELAttribute*> key;
    line->PrimaryKeyAttributes(key);
    ASSERT_EQ(key.size(), 2u);
    EXPECT_EQ(key[0]->GetName(), "line no");
    EXPECT_EQ(key[1]->GetName(), "orderid");
    const TVELAttribute* total = Column(line, "total");
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->AttributeOptions, "GENERATED ALWAYS AS (quantity * price) STORED");
    EXPECT_EQ(total->DefaultValue(), "");

    for (const TVELRelationship* r : All<TVELRelationship>(*read))
        if (r->GetName() == "fk_order_customer")
            EXPECT_EQ(r->FKConstraint->ConstraintOptions, "DEFERRABLE INITIALLY DEFERRED");
        else
            EXPECT_EQ(r->FKConstraint->ConstraintOptions, "") << r->GetName();

    const TVELEntity* customer = Table(*read, "customer");
    ASSERT_NE(customer, nullptr);
    const TVELAttribute* id = Column(customer, "customerid");
    ASSERT_NE(id, nullptr);
    EXPECT_TRUE(id->DataType->AutoNumber);
    EXPECT_EQ(id->DataType->Seed, 100);
    EXPECT_TRUE(id->IsNotNull());
    const auto* byName = dynamic_cast<const TVELIndex*>(customer->Indexes.FindByName("ix_customer_name"));
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->IndexOptions, "WITH (fillfactor = 70)");
    ASSERT_EQ(byName->Columns.Count(), 1);
    EXPECT_EQ(byName->Column(0)->SortOption, "DESC NULLS LAST");
    const auto* lower = dynamic_cast<const TVELIndex*>(customer->Indexes.FindByName("ix_customer_mail_lower"));
    ASSERT_NE(lower, nullptr);
    ASSERT_EQ(lower->Columns.Count(), 1);
    EXPECT_EQ(lower->Column(0)->GetAttribute(), nullptr);
    EXPECT_EQ(lower->Column(0)->Expression, "lower(\"e-mail\")");
    const auto* select = dynamic_cast<const TVELIndex*>(Table(*read, "order")->Indexes.FindByName("ix_order_select"));
    ASSERT_NE(select, nullptr);
    EXPECT_EQ(select->Clustering, "hash");

    // The serial columns read as serial types, their sequences are no objects of their own.
    const TVELEntity* types = Table(*read, "all types");
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(Column(types, "serial")->DataType->DataType, "SERIAL");
    EXPECT_EQ(Column(types, "serial")->DefaultValue(), "");
    EXPECT_EQ(Column(types, "span")->DataType->DTOptions, "YEAR TO MONTH");
    EXPECT_EQ(Column(types, "tags")->DataType->ArrayOptions, "[]");
    // A column whose default draws from a sequence of the model is linked to it.
    const TVELAttribute* counter = Column(Table(*read, "order"), "counter value");
    ASSERT_NE(counter, nullptr);
    EXPECT_TRUE(counter->AutoNumber);
    ASSERT_NE(counter->GetSequence(), nullptr);
    EXPECT_EQ(counter->GetSequence()->GetName(), "counter");
    EXPECT_EQ(counter->DefaultValue(), "nextval('\"sales\".\"counter\"')");
    for (const TVELSequence* s : All<TVELSequence>(*read)) {
        if (s->GetName() == "counter") {
            EXPECT_EQ(s->SchemaName, "sales");
            EXPECT_EQ(s->IntegerType, "INTEGER");
            EXPECT_EQ(s->Increment, -1);
            EXPECT_EQ(s->Seed, -1);
            EXPECT_EQ(s->Min, "-1000");
            EXPECT_EQ(s->Max, "-1");
            EXPECT_EQ(s->Cycle, "NO CYCLE");
        } else {
            EXPECT_EQ(s->GetName(), "invoice numbers");
            EXPECT_EQ(s->SchemaName, "");
            EXPECT_EQ(s->Cache, "20");
            EXPECT_EQ(s->Cycle, "CYCLE");
            EXPECT_EQ(s->Comment, "Numbers of invoices");
        }
    }
    int enums = 0;
    for (const TVELDomain* d : All<TVELDomain>(*read))
        if (d->GetName() == "mood") {
            ++enums;
            EXPECT_EQ(d->DataType->DataType, "ENUM");
            EXPECT_EQ(d->DataType->Items, "'happy','sad'");
        }
    EXPECT_EQ(enums, 1);
    for (const TVELRule* r : All<TVELRule>(*read)) {
        EXPECT_EQ(r->RuleType, "UPDATE");
        EXPECT_EQ(r->Comment, "Tells listeners about changed notes");
    }
}

TEST(PostgreSQLDriver, NamesThatLookLikeSQLAreReadLikeAnyOther) {
    const TDatabase database("ardvin_names");
    database.Run(R"(CREATE SCHEMA "o'brien";
CREATE TABLE y (id integer PRIMARY KEY);
CREATE TABLE "it's" ("it's id" integer PRIMARY KEY, "say ""hi""" varchar(10) DEFAULT 'it''s' CHECK ("say ""hi""" <> 'x''y'));
COMMENT ON TABLE "it's" IS 'it''s a table';
CREATE TABLE "x'; drop table y; --" ("a'b" integer PRIMARY KEY, "it's id" integer REFERENCES "it's" ON DELETE CASCADE);
CREATE INDEX "ix'1" ON "x'; drop table y; --" ("it's id" DESC);
CREATE UNIQUE INDEX "ux'2" ON "x'; drop table y; --" (("a'b" + 1)) WHERE "a'b" > 0;
CREATE TABLE "o'brien"."t'; delete from y; --" ("k'" integer PRIMARY KEY);
CREATE VIEW "v'1" AS SELECT 'it''s' AS "c'";
INSERT INTO y VALUES (1);)");

    // The server trusts the test user: any password passes, and none may reach the log.
    std::vector<std::string> log;
    TVELSettingsList password;
    password.SetValue("Password", "pw-never-logged");
    std::unique_ptr<TVELDataDictionary> read = Reverse(database.Name, password, {}, &log);
    EXPECT_GT(log.size(), 10u);
    EXPECT_EQ(JoinStrings(log, "\n").find("pw-never-logged"), std::string::npos);
    EXPECT_EQ(TableNames(*read), (std::set<std::string>{"it's", "o'brien.t'; delete from y; --", "x'; drop table y; --", "y"}));
    const TVELEntity* quote = Table(*read, "it's");
    ASSERT_NE(quote, nullptr);
    EXPECT_EQ(quote->Comment, "it's a table");
    ASSERT_NE(Column(quote, "say \"hi\""), nullptr);
    EXPECT_EQ(Column(quote, "say \"hi\"")->DefaultValue(), "'it''s'");
    ASSERT_EQ(quote->Constraints.Count(), 1);
    EXPECT_EQ(quote->ConstraintAt(0)->Value, "\"say \"\"hi\"\"\" <> 'x''y'");
    const TVELEntity* drop = Table(*read, "x'; drop table y; --");
    ASSERT_NE(drop, nullptr);
    std::vector<TVELAttribute*> key;
    drop->PrimaryKeyAttributes(key);
    ASSERT_EQ(key.size(), 1u);
    EXPECT_EQ(key[0]->GetName(), "a'b");
    ASSERT_EQ(drop->Indexes.Count(), 2);
    const auto* byId = dynamic_cast<const TVELIndex*>(drop->Indexes.FindByName("ix'1"));
    ASSERT_NE(byId, nullptr);
    EXPECT_EQ(byId->Column(0)->GetAttribute(), Column(drop, "it's id"));
    EXPECT_EQ(byId->Column(0)->SortOption, "DESC");
    const auto* unique = dynamic_cast<const TVELIndex*>(drop->Indexes.FindByName("ux'2"));
    ASSERT_NE(unique, nullptr);
    EXPECT_EQ(unique->IndexType, "UNIQUE");
    EXPECT_EQ(unique->Column(0)->Expression, "(\"a'b\" + 1)");
    EXPECT_EQ(unique->IndexOptions, "WHERE (\"a'b\" > 0)");
    const std::vector<TVELRelationship*> relationships = All<TVELRelationship>(*read);
    ASSERT_EQ(relationships.size(), 1u);
    EXPECT_EQ(relationships[0]->GetParentEntity(), quote);
    EXPECT_EQ(relationships[0]->GetChildEntity(), drop);
    EXPECT_EQ(relationships[0]->DeleteRule, raCascade);
    ASSERT_EQ(All<TVELView>(*read).size(), 1u);
    EXPECT_EQ(All<TVELView>(*read)[0]->GetName(), "v'1");

    // A schema filter with quotes in it.
    TVELSettingsList schema;
    schema.SetValue("SCHEMANAME", "o'brien");
    EXPECT_EQ(TableNames(*Reverse(database.Name, schema)), std::set<std::string>{"o'brien.t'; delete from y; --"});
    // No query was altered by a name: y and its row are still there.
    EXPECT_EQ(database.Count("SELECT count(*) FROM y"), 1);
}

TEST(PostgreSQLDriver, SchemaFilterAndMasks) {
    const TDatabase database("ardvin_filter");
    database.Run(R"(CREATE SCHEMA sales; CREATE SCHEMA other;
CREATE TABLE a1 (id integer); CREATE TABLE ab1 (id integer); CREATE TABLE ac1 (id integer); CREATE TABLE x1 (id integer);
CREATE TABLE sales.orders (id integer); CREATE TABLE sales.items (id integer); CREATE TABLE other.misc (id integer);
CREATE VIEW sales.v AS SELECT 1 AS one; CREATE VIEW public.w AS SELECT 2 AS two;
CREATE SEQUENCE sales.s; CREATE SEQUENCE public.p;
CREATE DOMAIN sales.d AS integer;
CREATE FUNCTION sales.f() RETURNS integer LANGUAGE sql AS 'SELECT 1';)");

    // Without a schema every schema but the system's; the default schema's names stand alone.
    std::unique_ptr<TVELDataDictionary> all = Reverse(database.Name);
    EXPECT_EQ(TableNames(*all), (std::set<std::string>{"a1", "ab1", "ac1", "x1", "sales.orders", "sales.items",
                                                       "other.misc"}));
    EXPECT_EQ(All<TVELView>(*all).size(), 2u);
    EXPECT_EQ(All<TVELSequence>(*all).size(), 2u);

    TVELSettingsList sales;
    sales.SetValue("SCHEMANAME", "sales");
    std::unique_ptr<TVELDataDictionary> one = Reverse(database.Name, sales);
    EXPECT_EQ(TableNames(*one), (std::set<std::string>{"sales.orders", "sales.items"}));
    ASSERT_EQ(All<TVELView>(*one).size(), 1u);
    EXPECT_EQ(All<TVELView>(*one)[0]->SchemaName, "sales");
    ASSERT_EQ(All<TVELSequence>(*one).size(), 1u);
    EXPECT_EQ(All<TVELSequence>(*one)[0]->GetName(), "s");
    EXPECT_EQ(All<TVELDomain>(*one).size(), 1u);
    EXPECT_EQ(All<TVELProcedure>(*one).size(), 1u);

    TVELSettingsList nothing;
    nothing.SetValue("SCHEMANAME", "missing");
    std::unique_ptr<TVELDataDictionary> none = Reverse(database.Name, nothing);
    EXPECT_EQ(none->Count(), 0);
    try {
        ImportCheck(*none);
        ADD_FAILURE() << "an empty import passes the check";
    } catch (const EVELError& e) {
        EXPECT_NE(std::string(e.what()).find("Please try it again without an Owner/schema name."), std::string::npos);
    }

    // Masks: names beginning with A but not with AB, in any schema.
    TPostgreSQLConnection connection;
    connection.Parameters.Assign(ConnectionParameters(database.Name));
    connection.Connect();
    // Without a target there is no default schema: every schema has its name.
    std::vector<std::string> schemas, tables;
    connection.ListTableSchemas(schemas);
    EXPECT_EQ(std::set<std::string>(schemas.begin(), schemas.end()), (std::set<std::string>{"public", "other", "sales"}));
    connection.ListTables(tables);
    EXPECT_EQ(tables.size(), 7u);
    EXPECT_NE(std::find(tables.begin(), tables.end(), "public.a1"), tables.end());
    connection.IncludeFilter = "A*";
    connection.ExcludeFilter = "ab*";
    std::unique_ptr<TVELDataDictionary> masked = NewModel();
    ImportFromDatabase(connection, *masked, connection.Parameters, {}, nullptr, nullptr);
    EXPECT_EQ(TableNames(*masked), (std::set<std::string>{"a1", "ac1"}));
    // A selection of tables is read alone.
    connection.IncludeFilter.clear();
    connection.ExcludeFilter.clear();
    const std::vector<std::string> selection = {"x1", "sales.items"};
    std::unique_ptr<TVELDataDictionary> selected = NewModel();
    ImportFromDatabase(connection, *selected, connection.Parameters, {}, &selection, nullptr);
    EXPECT_EQ(TableNames(*selected), (std::set<std::string>{"x1", "sales.items"}));
    EXPECT_EQ(Table(*selected, "sales.items")->Attributes.Count(), 1);
}

TEST(PostgreSQLDriver, ConnectionParametersAndFailures) {
    const TDatabase database("ardvin_connect");
    // Parameters left empty go to libpq's environment.
    TPostgreSQLConnection connection;
    connection.Parameters.Assign(ConnectionParameters(""));
    setenv("PGDATABASE", database.Name.c_str(), 1);
    connection.Connect();
    unsetenv("PGDATABASE");
    ASSERT_TRUE(connection.Connected());
    EXPECT_EQ(connection.Select("SELECT current_database()").Rows[0][0].AsString(), database.Name);
    EXPECT_GE(connection.ServerVersion(), 150000);
    std::string description;
    connection.Parameters.SetValue("DatabaseName", database.Name);
    connection.GetDescription(description);
    EXPECT_EQ(description, database.Name + " on " + PostgresServer().Host);
    connection.ConnectServer();
    EXPECT_EQ(connection.Select("SELECT current_database()").Rows[0][0].AsString(), "postgres");
    std::vector<std::string> databases;
    connection.ListDatabases(databases);
    EXPECT_NE(std::find(databases.begin(), databases.end(), database.Name), databases.end());
    connection.Disconnect();
    EXPECT_FALSE(connection.Connected());
    EXPECT_THROW(connection.Select("SELECT 1"), EVELError);

    // A URI as database name is handed to libpq whole.
    const ServerParams p = PostgresServer();
    connection.Parameters.Clear();
    connection.Parameters.SetValue("DatabaseName", "postgresql://" + p.User + "@" + p.Host + ":" +
                                                       std::to_string(p.Port) + "/" + database.Name);
    connection.Connect();
    EXPECT_EQ(connection.Select("SELECT current_database()").Rows[0][0].AsString(), database.Name);
    connection.Disconnect();

    // No server: the message names the database and host, and never the password.
    TPostgreSQLConnection closed;
    closed.Parameters.Assign(ConnectionParameters(database.Name));
    closed.Parameters.SetValue("Port", "1");
    closed.Parameters.SetValue("Password", "s3cret-Pass");
    try {
        closed.Connect();
        ADD_FAILURE() << "connected to port 1";
    } catch (const EVELError& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Unable to connect to the PostgreSQL database \"" + database.Name + "\" on \"" + p.Host +
                                 "\":\n",
                             0),
                  0u)
            << text;
        EXPECT_EQ(text.find("s3cret"), std::string::npos);
    }
    EXPECT_FALSE(closed.Connected());
    // A database that does not exist: the server's own words.
    closed.Parameters.SetValue("Port", std::to_string(p.Port));
    closed.Parameters.SetValue("DatabaseName", database.Name + "_missing");
    try {
        closed.Connect();
        ADD_FAILURE() << "connected to a missing database";
    } catch (const EVELError& e) {
        EXPECT_NE(std::string(e.what()).find("does not exist"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("s3cret"), std::string::npos);
    }

    // The hints for a password that is missing or refused.
    EXPECT_EQ(PostgreSQLConnectError("connection to server failed: fe_sendauth: no password supplied\n", "db", "h",
                                     "ann", true, false),
              "Unable to connect to the PostgreSQL database \"db\" on \"h\":\nconnection to server failed: "
              "fe_sendauth: no password supplied\nThe server asks for a password for user \"ann\". Give it in the "
              "connection parameters, in the environment variable PGPASSWORD or in the password file ~/.pgpass.");
    EXPECT_EQ(PostgreSQLConnectError("FATAL:  password authentication failed for user \"ann\"\n", "db", "", "ann",
                                     true, true),
              "Unable to connect to the PostgreSQL database \"db\":\nFATAL:  password authentication failed for user "
              "\"ann\"\nThe server refused the password for user \"ann\". Check the user name and the password.");
}

TEST(PostgreSQLDriver, StatementsAndTransactions) {
    const TDatabase database("ardvin_exec");
    std::unique_ptr<TDBConnection> base = CreateConnection("postgresql");
    auto* connection = dynamic_cast<TPostgreSQLConnection*>(base.get());
    ASSERT_NE(connection, nullptr);
    EXPECT_NE(dynamic_cast<TPostgreSQLScript*>(connection->CreateScript().get()), nullptr);
    connection->Parameters.Assign(ConnectionParameters(database.Name));
    connection->Connect();

    connection->StartTransaction();
    EXPECT_TRUE(connection->InTransaction());
    connection->ExecSQL("CREATE TABLE gone (id integer)");
    connection->Rollback();
    EXPECT_FALSE(connection->InTransaction());
    EXPECT_EQ(database.Count("SELECT count(*) FROM pg_class WHERE relname = 'gone'"), 0);

    connection->StartTransaction();
    connection->StartTransaction();  // one transaction
    connection->ExecSQL("CREATE TABLE \"it's\" (id integer, t text); INSERT INTO \"it's\" VALUES (1, 'a'), (2, 'b')");
    connection->Commit();
    connection->Commit();
    EXPECT_FALSE(connection->InTransaction());
    EXPECT_EQ(connection->RowCount("public.\"it's\""), 2);
    EXPECT_EQ(connection->RowCount("it's"), 2);

    // Parameters are bound, never pasted.
    TDBRowSet rows = connection->Select("SELECT $1::text || $2::text AS re_text, $3::text IS NULL AS re_null",
                                        {"it's", "'; drop table y; --", std::nullopt});
    ASSERT_EQ(rows.Rows.size(), 1u);
    EXPECT_EQ(rows.Rows[0][0].AsString(), "it's'; drop table y; --");
    EXPECT_EQ(rows.Rows[0][1].AsString(), "t");
    std::unique_ptr<TDBQuery> query = connection->CreateTableQuery("it's");
    EXPECT_EQ(query->SQLText(), "SELECT * FROM \"it's\"");
    query->Open();
    ASSERT_FALSE(query->Eof());
    EXPECT_EQ(query->FieldByName("T")->AsString(), "a");
    EXPECT_EQ(connection->QuoteIdentifier("x\"y"), "\"x\"\"y\"");

    // A failing statement raises the server's message; a failed transaction is rolled back.
    connection->StartTransaction();
    try {
        connection->ExecSQL("INSERT INTO missing VALUES (1)");
        ADD_FAILURE() << "no error";
    } catch (const EVELError& e) {
        EXPECT_NE(std::string(e.what()).find("relation \"missing\" does not exist"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(connection->InTransaction());
    connection->Rollback();
    connection->DeleteRows("it's");
    EXPECT_EQ(connection->RowCount("it's"), 0);
}

TEST(PostgreSQLDriver, QueriesHoldNoNames) {
    TPostgreSQLConnection connection;
    std::string list;
    connection.GetSystemSchemaList(list);
    EXPECT_EQ(list, "('pg_catalog','information_schema')");
    connection.Parameters.SetValue("SCHEMANAME", "it's");
    for (int kind = qkTables; kind <= qkRules; ++kind) {
        std::string sql;
        connection.GetSQL(kind, sql);
        EXPECT_EQ(sql.find("it's"), std::string::npos) << kind;
        // Functions come with the procedures; every other text filters by schema.
        EXPECT_EQ(sql.empty(), kind == qkFunctions) << kind;
        if (!sql.empty()) {
            EXPECT_NE(sql.find("%schema"), std::string::npos) << kind;
        }
    }
    EXPECT_EQ(PGTextArray({"a", "it's", "x\"y", "b\\c", ""}), "{\"a\",\"it's\",\"x\\\"y\",\"b\\\\c\",\"\"}");
    EXPECT_EQ(PGTextArray({}), "{}");
    // The action codes of pg_constraint, and the words of the framework.
    const std::map<std::string, uint8_t> actions = {{"c", raCascade}, {"n", raSetNull}, {"d", raSetDefault},
                                                    {"r", raRestrict}, {"a", raNone}, {"CASCADE", raCascade}};
    for (const auto& [code, action] : actions) EXPECT_EQ(connection.RuleFromText(code), action) << code;
}

TEST(PostgreSQLDriver, AThousandTablesReadCompletely) {
    const std::string generator = SourceDir() + "/../shared/tools/gen_schema.py";
    const RunResult script = RunProgram("/usr/bin/python3", {generator, "--tables", "1000", "--dialect", "postgresql"});
    ASSERT_EQ(script.ExitCode, 0) << generator << ": " << script.Err;
    const TDatabase database("ardvin_thousand");
    database.Run(script.Out);

    std::unique_ptr<TVELDataDictionary> read = Reverse(database.Name);
    const std::string user = " JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'public'";
    std::vector<TVELEntity*> tables = All<TVELEntity>(*read);
    EXPECT_EQ(static_cast<int>(tables.size()), 1000);
    EXPECT_EQ(static_cast<int>(tables.size()), database.Count("SELECT count(*) FROM pg_class c" + user + " AND c.relkind = 'r'"));
    int columns = 0, notNull = 0, defaults = 0, keys = 0, keyColumns = 0, uniques = 0, checks = 0, indexes = 0,
        comments = 0;
    for (const TVELEntity* t : tables) {
        columns += t->Attributes.Count();
        for (int i = 0; i < t->Attributes.Count(); ++i) {
            notNull += t->AttributeAt(i)->IsNotNull();
            defaults += !t->AttributeAt(i)->DefaultValue().empty();
        }
        std::vector<TVELAttribute*> key;
        t->PrimaryKeyAttributes(key);
        keys += !key.empty();
        keyColumns += static_cast<int>(key.size());
        for (int i = 0; i < t->Constraints.Count(); ++i) {
            uniques += t->ConstraintAt(i)->ConstraintType == ctUnique;
            checks += t->ConstraintAt(i)->ConstraintType == ctCheck;
        }
        indexes += t->Indexes.Count();
        comments += !t->Comment.empty();
    }
    const std::string attributes = " FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid" + user +
                                   " AND c.relkind = 'r' AND a.attnum > 0 AND NOT a.attisdropped";
    EXPECT_EQ(columns, database.Count("SELECT count(*)" + attributes));
    EXPECT_EQ(notNull, database.Count("SELECT count(*)" + attributes + " AND a.attnotnull"));
    EXPECT_EQ(defaults, database.Count("SELECT count(*)" + attributes + " AND a.atthasdef"));
    const std::string constraints = " FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid" + user;
    EXPECT_EQ(keys, database.Count("SELECT count(*)" + constraints + " AND k.contype = 'p'"));
    EXPECT_EQ(keys, 1000);
    EXPECT_EQ(keyColumns, database.Count("SELECT sum(cardinality(k.conkey))" + constraints + " AND k.contype = 'p'"));
    EXPECT_EQ(uniques, database.Count("SELECT count(*)" + constraints + " AND k.contype = 'u'"));
    EXPECT_EQ(checks, database.Count("SELECT count(*)" + constraints + " AND k.contype = 'c'"));
    EXPECT_EQ(static_cast<int>(All<TVELRelationship>(*read).size()),
              database.Count("SELECT count(*)" + constraints + " AND k.contype = 'f'"));
    int pairs = 0;
    for (const TVELRelationship* r : All<TVELRelationship>(*read)) pairs += r->Pairs.Count();
    EXPECT_EQ(pairs, database.Count("SELECT sum(cardinality(k.conkey))" + constraints + " AND k.contype = 'f'"));
    EXPECT_EQ(indexes, database.Count("SELECT count(*) FROM pg_index x JOIN pg_class c ON c.oid = x.indrelid" + user +
                                      " AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = x.indexrelid "
                                      "AND k.conrelid = c.oid)"));
    EXPECT_EQ(comments, database.Count("SELECT count(*) FROM pg_class c" + user +
                                       " AND c.relkind = 'r' AND obj_description(c.oid, 'pg_class') IS NOT NULL"));
    EXPECT_GT(comments, 0);
    EXPECT_EQ(static_cast<int>(All<TVELView>(*read).size()),
              database.Count("SELECT count(*) FROM pg_class c" + user + " AND c.relkind = 'v'"));
    EXPECT_GT(All<TVELView>(*read).size(), 0u);
}
