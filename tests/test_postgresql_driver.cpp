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
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zDBRestructure.h"
#include "zDBScript.h"
#include "zDDComparer.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
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

std::set<std::string> TableNames(const TVELDataDictionary& model) {
    std::vector<TVELEntity*> tables;
    model.CollectOfClass(tables);
    std::set<std::string> names;
    for (const TVELEntity* table : tables) names.insert(table->GetNonQuotedQualifiedName());
    return names;
}

TVELEntity* Table(const TVELDataDictionary& model, const std::string& qualifiedName) {
    std::vector<TVELEntity*> tables;
    model.CollectOfClass(tables);
    for (TVELEntity* table : tables)
        if (table->GetNonQuotedQualifiedName() == qualifiedName) return table;
    return nullptr;
}

TVELAttribute* Column(const TVELEntity* table, const std::string& name) {
    return table ? dynamic_cast<TVELAttribute*>(table->Attributes.FindByName(name)) : nullptr;
}

template <class T> std::vector<T*> All(const TVELDataDictionary& model) {
    std::vector<T*> objects;
    model.CollectOfClass(objects);
    return objects;
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
    {"order", "amount positive amount CHECK (VALUE >= 0)", "amount positive amount DEFAULT 0 CHECK (VALUE >= 0)",
     "a column takes its domain's default; preparing a model for generation leaves it out of the column"},
    {"order", "counter value INTEGER DEFAULT nextval('\"sales\".counter')",
     "counter value INTEGER DEFAULT nextval('sales.counter')",
     "the server keeps the sequence of nextval as a reference and writes its name without needless quotes"},
    {"customer",
     "name VARCHAR(100) NOT NULL CONSTRAINT ck_customer_name CHECK (Name <> '') COMMENT \"Display name, with "
     "'quotes', {braces}",
     "name VARCHAR(100) NOT NULL COMMENT \"Display name, with 'quotes', {braces} and a second line\"", ColumnChecks},
    {"customer", "and a second line\"", "", ColumnChecks},
    {"customer", "score INTEGER DEFAULT 0 CONSTRAINT ck_customer_score_min CHECK (Score >= 0)",
     "score INTEGER DEFAULT 0", ColumnChecks},
    {"customer", "", "CONSTRAINT ck_customer_name CHECK (name <> '')", ColumnChecks},
    {"customer", "", "CONSTRAINT ck_customer_score_min CHECK (score >= 0)", ColumnChecks},
    {"customer", "CONSTRAINT ck_customer_score CHECK (Score <= 1000)", "CONSTRAINT ck_customer_score CHECK (score <= 1000)",
     FoldedCase},
    {"customer", "NAME tr_customer_created CODE CREATE TRIGGER %quotedsimpletriggername% BEFORE INSERT ON %tablename%",
     "NAME tr_customer_created CODE CREATE TRIGGER %triggername% BEFORE INSERT ON customer FOR EACH ROW EXECUTE "
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

}  // namespace

TEST(PostgreSQLDriver, RoundTripOfTheFullFeatureModel) {
    std::unique_ptr<TVELDataDictionary> model = NewModel();
    TFullFeatureSetup setup;
    setup.OtherSchema = "sales";
    BuildFullFeatureModel(*model, setup);
    TVELSettingsList options, used;
    std::unique_ptr<TVELDataDictionary> generated =
        PrepareForGeneration(*model, options, used, [](TVELNamedObject*, int, const std::string&) {});
    std::unique_ptr<TDBRestructure> create = CreateRestructure(*generated);
    create->Options = used;
    ASSERT_TRUE(create->GenerateCreateScript());
    const TDatabase database("ardvin_roundtrip");
    database.Run(create->ScriptText());

    std::vector<std::string> log;
    std::unique_ptr<TVELDataDictionary> read = Reverse(database.Name, {}, {}, &log);
    EXPECT_EQ(JoinStrings(log, "\n").find("Error"), std::string::npos) << JoinStrings(log, "\n");

    // Every object of the model comes back; the catalogue's own objects (the sequences behind
    // identity and serial columns, the indexes behind keys) do not.
    EXPECT_EQ(TableNames(*read), TableNames(*generated));
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
}
