// The ODBC drivers (SQL Server, Oracle, Db2): their catalogue phases replayed from recorded
// result sets (tests/fixtures/odbc/<driver>/), checked object by object; the replay format and
// its loud failure for a statement without a recording; and the live ODBC path through
// unixODBC with the SQLite ODBC driver and the PostgreSQL ODBC driver on the test server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <optional>

#include "TestRoundTrip.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConnectionURL.h"
#include "zConstraint.h"
#include "zDB2Driver.h"
#include "zDBDrivers.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zODBCDriver.h"
#include "zOracleDriver.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSQLServerDriver.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

std::string Recordings(const std::string& driver) {
    return SourceDir() + "/tests/fixtures/odbc/" + driver;
}

struct TReversed {
    std::unique_ptr<TVELDataDictionary> Model;
    std::vector<std::string> Log;
};

// Reverse engineers the recorded database of a driver into a model of the target.
TReversed Replay(const std::string& target, const TVELSettingsList& parameters = {},
                 const std::string& include = {}, const std::string& exclude = {}) {
    TargetDatabases().Build(DefinitionsDir());
    TReversed out;
    out.Model = std::make_unique<TVELDataDictionary>();
    out.Model->SetTarget(target);
    std::unique_ptr<TDBConnection> connection = CreateConnection(out.Model->GetDatabaseSettings()->DriverName);
    auto* odbc = dynamic_cast<TODBCConnection*>(connection.get());
    EXPECT_NE(odbc, nullptr);
    if (!odbc) return out;
    odbc->SetExecutor(std::make_unique<TODBCReplay>(Recordings(connection->DBID)));
    connection->IncludeFilter = include;
    connection->ExcludeFilter = exclude;
    ImportFromDatabase(*connection, *out.Model, parameters, {}, nullptr, &out.Log);
    return out;
}

TVELSettingsList Schema(const std::string& name) {
    TVELSettingsList parameters;
    parameters.SetValue("SCHEMANAME", name);
    return parameters;
}

std::string Qualified(const TVELDatabaseObject* object) {
    return object->SchemaName.empty() ? object->GetName() : object->SchemaName + "." + object->GetName();
}

TVELEntity* Table(const TVELDataDictionary& dd, const std::string& qualified) {
    std::vector<TVELEntity*> tables;
    dd.Entities(tables);
    for (TVELEntity* t : tables)
        if (Qualified(t) == qualified) return t;
    return nullptr;
}


TVELAttribute* Column(const TVELEntity* table, const std::string& name) {
    return dynamic_cast<TVELAttribute*>(table->Attributes.FindByName(name));
}

TVELIndex* Index(const TVELEntity* table, const std::string& name) {
    return dynamic_cast<TVELIndex*>(table->Indexes.FindByName(name));
}

TVELConstraint* TableConstraint(const TVELEntity* table, const std::string& name) {
    for (int i = 0; i < table->Constraints.Count(); ++i)
        if (table->ConstraintAt(i)->GetName() == name) return table->ConstraintAt(i);
    return nullptr;
}

std::vector<std::string> ColumnNames(const TVELEntity* table) {
    std::vector<std::string> names;
    for (int i = 0; i < table->Attributes.Count(); ++i) names.push_back(table->AttributeAt(i)->GetName());
    return names;
}

std::vector<std::string> KeyNames(const TVELEntity* table) {
    std::vector<TVELAttribute*> key;
    table->PrimaryKeyAttributes(key);
    std::vector<std::string> names;
    for (const TVELAttribute* a : key) names.push_back(a->GetName());
    return names;
}

// "name SORT" of each column of an index.
std::vector<std::string> IndexColumns(const TVELIndex* index) {
    std::vector<std::string> out;
    for (int i = 0; i < index->Columns.Count(); ++i) {
        const TVELIndexColumn* c = index->Column(i);
        out.push_back(c->ColumnText() + (c->SortOption.empty() ? "" : " " + c->SortOption));
    }
    return out;
}

// "parent.column=child.column" of each pair.
std::vector<std::string> PairNames(const TVELDataDictionary& dd, const TVELRelationship* r) {
    std::vector<std::string> out;
    for (int i = 0; i < r->Pairs.Count(); ++i) {
        const TVELPair* p = r->PairAt(i);
        const auto* parent = static_cast<const TVELEntity*>(dd.FindObjectByID(r->ParentObjectID));
        const auto* child = static_cast<const TVELEntity*>(dd.FindObjectByID(r->ChildObjectID));
        const auto* key = parent ? dynamic_cast<const TVELAttribute*>(parent->Attributes.FindByID(p->KeyID)) : nullptr;
        const auto* foreign =
            child ? dynamic_cast<const TVELAttribute*>(child->Attributes.FindByID(p->ForeignKeyID)) : nullptr;
        out.push_back((key ? key->GetName() : "?") + "=" + (foreign ? foreign->GetName() : "?"));
    }
    return out;
}

template <class T> std::vector<std::string> QualifiedNames(const std::vector<T*>& objects) {
    std::vector<std::string> names;
    for (const T* o : objects) names.push_back(Qualified(o));
    std::sort(names.begin(), names.end());
    return names;
}

// The first object of a class.
template <class T> T* First(const TVELDataDictionary& dd) {
    std::vector<T*> objects;
    dd.CollectOfClass(objects);
    return objects.empty() ? nullptr : objects[0];
}

// The qualified names of the objects of a class, sorted.
template <class T> std::vector<std::string> Names(const TVELDataDictionary& dd) {
    std::vector<T*> objects;
    dd.CollectOfClass(objects);
    return QualifiedNames(objects);
}

}  // namespace

// ---- the replay ----------------------------------------------------------------------------------

TEST(ODBCReplay, ReadsRecordingsAndFailsLoudlyOnAnUnrecordedStatement) {
    TempDir dir;
    const std::string select = "SELECT a AS RE_X, b FROM t WHERE n = ?";
    const std::string key = TODBCReplay::StatementKey(select);
    EXPECT_EQ(key.size(), 8u);
    EXPECT_NE(key, TODBCReplay::StatementKey(select + " "));
    WriteFile(dir.File("one.txt"), "# comment\nquery " + key + " a note\nvalues it's|x\\|y\ncolumns RE_X|B\n"
                                    "row 1|\\N\nrow a\\|b\\nc|\\e\nrow \\\\N|\nend\n"
                                    "query " + key + "\ncolumns RE_X|B\nend\n");
    WriteFile(dir.File("ignored.sql"), "not a recording");
    TODBCReplay replay(dir.Path());
    TDBRowSet rows = replay.Execute(select, {"it's", "x|y"});
    ASSERT_EQ(rows.Columns, (std::vector<std::string>{"RE_X", "B"}));
    ASSERT_EQ(rows.Rows.size(), 3u);
    EXPECT_EQ(rows.Rows[0][0].AsString(), "1");
    EXPECT_TRUE(rows.Rows[0][1].IsNull());
    EXPECT_EQ(rows.Rows[1][0].AsString(), "a|b\nc");
    EXPECT_FALSE(rows.Rows[1][1].IsNull());
    EXPECT_EQ(rows.Rows[1][1].AsString(), "");
    EXPECT_EQ(rows.Rows[2][0].AsString(), "\\N");
    EXPECT_FALSE(rows.Rows[2][1].IsNull());
    // Without values: the second recording.
    EXPECT_TRUE(replay.Execute(select, {}).Rows.empty());
    EXPECT_EQ(replay.Answered(), (std::vector<std::string>{key, key}));
    // Another value, or a changed statement, has no recording: the error names the statement.
    try {
        replay.Execute(select, {"other"});
        ADD_FAILURE() << "no error";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()), "No recording of the statement " + key + " with the values (other):\n" + select);
    }
    EXPECT_THROW(replay.Execute("SELECT 1", {}), EVELError);

    // Broken recordings name their file and line.
    auto loadError = [&](const std::string& text) {
        TempDir bad;
        WriteFile(bad.File("r.txt"), text);
        try {
            TODBCReplay r(bad.Path());
        } catch (const EVELError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_NE(loadError("query 1234\nend\n").find("r.txt:1: \"query\" takes the eight-digit key"), std::string::npos);
    EXPECT_NE(loadError("row a\n").find("r.txt:1: \"row\" outside a recording"), std::string::npos);
    EXPECT_NE(loadError("query 00000000\ncolumns A|B\nrow 1\nend\n").find("r.txt:3: the row has 1 fields for 2 columns"),
              std::string::npos);
    EXPECT_NE(loadError("query 00000000\ncolumns A\n").find("has no \"end\""), std::string::npos);
    EXPECT_NE(loadError("query 00000000\ncolumns A\nrow \\q\nend\n").find("unknown escape"), std::string::npos);
    EXPECT_NE(loadError("query 00000000\nend\nquery 00000000\nend\n").find("recorded twice"), std::string::npos);
    EXPECT_THROW(TODBCReplay(dir.File("missing")), EVELError);
}

TEST(ODBCReplay, ParameterMarksAndConnectionStrings) {
    EXPECT_EQ(CountParameterMarks("SELECT ? FROM t WHERE a = ? AND b = '?' AND [c?] = \"d?\" -- ?\n AND e = ? /* ? */"), 3);
    EXPECT_EQ(CountParameterMarks("SELECT 'it''s ?' , ?"), 1);
    EXPECT_EQ(ODBCValue("plain"), "plain");
    EXPECT_EQ(ODBCValue("a;b}c"), "{a;b}}c}");

    TSQLServerConnection connection;
    connection.Parameters.SetValue("DSN", "Sales DSN");
    connection.Parameters.SetValue("UserName", "sa");
    connection.Parameters.SetValue("Password", "p;w}d");
    EXPECT_EQ(connection.ConnectionString(), "DSN=Sales DSN;UID=sa;PWD={p;w}}d}");
    // Other parameters (the query part of the URL) are keys of the driver; the schema filter is not.
    connection.Parameters.SetValue("Database", "shop");
    connection.Parameters.SetValue("SCHEMANAME", "sales");
    EXPECT_EQ(connection.ConnectionString(), "DSN=Sales DSN;UID=sa;PWD={p;w}}d};Database=shop");
    connection.Parameters.Delete("Database");
    connection.Parameters.Delete("SCHEMANAME");
    EXPECT_EQ(connection.SourceName(), "Sales DSN");
    connection.Parameters.SetValue("DSN", "");
    connection.Parameters.SetValue("ConnectionString", "Driver={ODBC Driver 18 for SQL Server};Server=db;UID=me");
    // A user given in the string stays; the password is added.
    EXPECT_EQ(connection.ConnectionString(), "Driver={ODBC Driver 18 for SQL Server};Server=db;UID=me;PWD={p;w}}d}");
    EXPECT_EQ(connection.SourceName(), "ODBC Driver 18 for SQL Server");
    std::string description;
    connection.GetDescription(description);
    EXPECT_EQ(description, "ODBC Driver 18 for SQL Server");
    connection.Parameters.Clear();
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(connection.CreateQuery(), nullptr);
    try {
        connection.Connect();
        ADD_FAILURE() << "no error";
    } catch (const EVELError& e) {
        EXPECT_NE(std::string(e.what()).find("No ODBC data source given"), std::string::npos);
    }
}

// ---- SQL Server ----------------------------------------------------------------------------------

TEST(ODBCDriverSQLServer, FactoryAndQueries) {
    std::unique_ptr<TDBConnection> connection = CreateConnection("mssqlserver");
    auto* server = dynamic_cast<TSQLServerConnection*>(connection.get());
    ASSERT_NE(server, nullptr);
    ExpectNoPastedPlaceholders(*server);
    EXPECT_EQ(server->QuoteName("dbo.it's]x"), "[dbo].[it's]]x]");
    std::string sql;
    server->GetSQL(qkColumns, sql);
    EXPECT_NE(sql.find("s.name = ? AND t.name = ?"), std::string::npos);
    server->GetSQL(qkTables, sql);
    EXPECT_NE(sql.find("s.name NOT IN ('sys', 'INFORMATION_SCHEMA'"), std::string::npos);
    EXPECT_NE(sql.find("microsoft_database_tools_support"), std::string::npos);
    server->Parameters.SetValue("SCHEMANAME", "x'; drop table y; --");
    server->GetSQL(qkTables, sql);
    EXPECT_NE(sql.find("s.name = ?"), std::string::npos);
    EXPECT_EQ(sql.find("drop table"), std::string::npos);
}

TEST(ODBCDriverSQLServer, ReplayedDatabaseObjectByObject) {
    const TReversed r = Replay("mssqlserver2019");
    const TVELDataDictionary& dd = *r.Model;
    EXPECT_EQ(Names<TVELEntity>(dd), (std::vector<std::string>{"dbo.Chef's Table", "dbo.Customer", "sales.Order"}))
        << JoinStrings(r.Log, "\n");

    // Domains: alias types with their bound default and rule.
    ASSERT_EQ(Names<TVELDomain>(dd), (std::vector<std::string>{"dbo.Flag", "dbo.PhoneNumber"}));
    const TVELDomain* phone = dd.FindDomain("PhoneNumber");
    EXPECT_EQ(phone->DataType->DataType, "VARCHAR");
    EXPECT_EQ(phone->DataType->Length, "20");
    EXPECT_EQ(phone->CheckConstraint()->Value, "@value LIKE '[0-9+]%'");
    EXPECT_EQ(phone->Comment, "Phone numbers");
    const TVELDomain* flag = dd.FindDomain("Flag");
    EXPECT_EQ(flag->DataType->DataType, "BIT");
    EXPECT_EQ(flag->DefaultConstraint()->Value, "1");

    // dbo.Customer
    const TVELEntity* customer = Table(dd, "dbo.Customer");
    ASSERT_NE(customer, nullptr);
    EXPECT_EQ(customer->Comment, "Customers of the shop");
    EXPECT_EQ(ColumnNames(customer),
              (std::vector<std::string>{"CustomerID", "Name", "Email", "Phone", "CreatedAt", "Balance", "Active", "Photo"}));
    const TVELAttribute* id = Column(customer, "CustomerID");
    EXPECT_EQ(id->DataType->DataType, "INT");
    EXPECT_TRUE(id->AutoNumber);
    EXPECT_EQ(id->DataType->Seed, 1);
    EXPECT_EQ(id->DataType->Increment, 1);
    EXPECT_TRUE(id->IsNotNull());
    const TVELAttribute* name = Column(customer, "Name");
    EXPECT_EQ(name->DataType->DataType, "NVARCHAR");
    EXPECT_EQ(name->DataType->Length, "100");
    EXPECT_EQ(name->Comment, "Full name");
    const TVELAttribute* email = Column(customer, "Email");
    EXPECT_FALSE(email->IsNotNull());
    EXPECT_EQ(email->Collate, "Latin1_General_CS_AS");
    EXPECT_EQ(Column(customer, "Phone")->GetDomain(), phone);
    EXPECT_EQ(Column(customer, "Active")->GetDomain(), flag);
    const TVELAttribute* created = Column(customer, "CreatedAt");
    EXPECT_EQ(created->DataType->DataType, "DATETIME2");
    EXPECT_EQ(created->DefaultValue(), "sysdatetime()");
    EXPECT_EQ(created->DefaultConstraint()->GetName(), "DF_Customer_CreatedAt");
    const TVELAttribute* balance = Column(customer, "Balance");
    EXPECT_EQ(balance->DataType->DataType, "DECIMAL");
    EXPECT_EQ(balance->DataType->Length, "12");
    EXPECT_EQ(balance->DataType->Precision, 2);
    EXPECT_EQ(balance->DefaultValue(), "0");
    EXPECT_EQ(balance->CheckConstraint()->Value, "[Balance]>=(0)");
    EXPECT_EQ(balance->CheckConstraint()->GetName(), "CK_Customer_Balance");
    EXPECT_EQ(KeyNames(customer), (std::vector<std::string>{"CustomerID"}));
    EXPECT_EQ(customer->PrimaryKey->GetName(), "PK_Customer");
    EXPECT_EQ(customer->PrimaryKey->PKClustering, "");
    const TVELConstraint* unique = TableConstraint(customer, "UQ_Customer_Email");
    ASSERT_NE(unique, nullptr);
    EXPECT_EQ(unique->ConstraintType, ctUnique);
    ASSERT_EQ(customer->Triggers.Count(), 1);
    const auto* trigger = static_cast<const TVELTrigger*>(customer->Triggers.Items(0));
    EXPECT_EQ(trigger->GetName(), "TR_Customer_Audit");
    EXPECT_NE(trigger->Code.find("AFTER UPDATE AS\r\nBEGIN"), std::string::npos) << trigger->Code;
    EXPECT_EQ(trigger->Comment, "Keeps the audit trail");
    const TVELIndex* byName = Index(customer, "IX_Customer_Name");
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(IndexColumns(byName), (std::vector<std::string>{"Name ASC", "CreatedAt DESC"}));
    EXPECT_EQ(byName->Comment, "Lookup by name");
    EXPECT_EQ(byName->IndexType, "");

    // sales.Order
    const TVELEntity* order = Table(dd, "sales.Order");
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(KeyNames(order), (std::vector<std::string>{"OrderID", "LineNo"}));
    EXPECT_EQ(order->PrimaryKey->PKClustering, "NONCLUSTERED");
    const TVELAttribute* total = Column(order, "Total");
    EXPECT_EQ(total->DataType->Expression, "([Qty]*[Price])");
    EXPECT_EQ(total->AttributeOptions, "PERSISTED");
    EXPECT_EQ(Column(order, "Qty")->DefaultValue(), "1");
    EXPECT_EQ(Column(order, "Note")->DataType->DataType, "NVARCHAR(MAX)");
    EXPECT_EQ(Column(order, "Price")->DataType->DataType, "MONEY");
    const TVELConstraint* check = TableConstraint(order, "CK_Order_Qty");
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->Value, "[Qty]>(0) AND [Price]>=(0)");
    EXPECT_EQ(check->Comment, "Positive quantity");
    const TVELIndex* clustered = Index(order, "CIX_Order_Customer");
    ASSERT_NE(clustered, nullptr);
    EXPECT_EQ(clustered->Clustering, "CLUSTERED");
    const TVELIndex* line = Index(order, "UX_Order_Line");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->IndexType, "UNIQUE");
    EXPECT_EQ(IndexColumns(line), (std::vector<std::string>{"OrderID ASC", "LineNo DESC"}));
    EXPECT_EQ(line->IndexOptions, "INCLUDE ([Qty], [Price]) WHERE ([Qty]>(0))");
    EXPECT_EQ(order->Triggers.Count(), 0);

    // The table with an apostrophe.
    const TVELEntity* chef = Table(dd, "dbo.Chef's Table");
    ASSERT_NE(chef, nullptr);
    EXPECT_EQ(ColumnNames(chef), (std::vector<std::string>{"Id", "OrderID", "OrderLine", "it's"}));
    EXPECT_EQ(Column(chef, "it's")->DefaultValue(), "'x'");
    EXPECT_EQ(Column(chef, "it's")->DataType->Length, "1");

    // Relationships with their pairs and actions.
    const TVELRelationship* chefOrder = dd.FindRelationship("FK_Chef_Order");
    ASSERT_NE(chefOrder, nullptr);
    EXPECT_EQ(chefOrder->ParentObjectID, order->ID);
    EXPECT_EQ(chefOrder->ChildObjectID, chef->ID);
    EXPECT_EQ(PairNames(dd, chefOrder), (std::vector<std::string>{"OrderID=OrderID", "LineNo=OrderLine"}));
    EXPECT_EQ(chefOrder->UpdateRule, raCascade);
    EXPECT_EQ(chefOrder->DeleteRule, raSetNull);
    const TVELRelationship* orderCustomer = dd.FindRelationship("FK_Order_Customer");
    ASSERT_NE(orderCustomer, nullptr);
    EXPECT_EQ(orderCustomer->UpdateRule, raNone);
    EXPECT_EQ(orderCustomer->DeleteRule, raCascade);
    EXPECT_EQ(PairNames(dd, orderCustomer), (std::vector<std::string>{"CustomerID=CustomerID"}));

    // Code objects and sequences.
    EXPECT_EQ(Names<TVELProcedure>(dd), (std::vector<std::string>{"dbo.GetCustomer", "dbo.fn_Total"}));
    const auto* getCustomer = static_cast<const TVELProcedure*>(dd.FindProcedure("dbo.GetCustomer"));
    ASSERT_NE(getCustomer, nullptr);
    EXPECT_EQ(getCustomer->Comment, "Reads one customer");
    EXPECT_NE(getCustomer->Code.find("WHERE CustomerID = @id"), std::string::npos);
    ASSERT_EQ(Names<TVELView>(dd), (std::vector<std::string>{"sales.OrderTotals"}));
    const TVELView* view = First<TVELView>(dd);
    EXPECT_NE(view->Code.find("GROUP BY CustomerID"), std::string::npos);
    EXPECT_EQ(view->Comment, "Totals per customer");
    ASSERT_EQ(Names<TVELSequence>(dd), (std::vector<std::string>{"sales.OrderNumbers", "sales.Tickets"}));
    const auto* numbers = static_cast<const TVELSequence*>(dd.FindSequence("sales.OrderNumbers"));
    EXPECT_EQ(numbers->Seed, 1000);
    EXPECT_EQ(numbers->Increment, 1);
    EXPECT_EQ(numbers->Min, "1000");
    EXPECT_EQ(numbers->Max, "999999");
    EXPECT_EQ(numbers->Cycle, "nocycle");
    EXPECT_EQ(numbers->CacheCode, "CACHE");
    EXPECT_EQ(numbers->Cache, "50");
    EXPECT_EQ(numbers->IntegerType, "INT");
    EXPECT_EQ(numbers->Comment, "Order numbers");
    const auto* tickets = static_cast<const TVELSequence*>(dd.FindSequence("sales.Tickets"));
    EXPECT_EQ(tickets->Increment, 5);
    EXPECT_EQ(tickets->Cycle, "cycle");
    EXPECT_EQ(tickets->CacheCode, "NOCACHE");
}

TEST(ODBCDriverSQLServer, SchemaFilterAndMasks) {
    // Only the schema's objects; the foreign key to a table of another schema is left out.
    TReversed r = Replay("mssqlserver2019", Schema("sales"));
    EXPECT_EQ(Names<TVELEntity>(*r.Model), (std::vector<std::string>{"sales.Order"})) << JoinStrings(r.Log, "\n");
    EXPECT_TRUE(Names<TVELRelationship>(*r.Model).empty());
    EXPECT_EQ(Names<TVELView>(*r.Model).size(), 1u);
    EXPECT_EQ(Names<TVELSequence>(*r.Model), (std::vector<std::string>{"sales.OrderNumbers"}));

    // Masks: the tables of dbo but not the one with the apostrophe; views and code alike.
    r = Replay("mssqlserver2019", {}, "dbo.*", "*chef*;*fn_*");
    EXPECT_EQ(Names<TVELEntity>(*r.Model), (std::vector<std::string>{"dbo.Customer"}));
    EXPECT_EQ(Names<TVELProcedure>(*r.Model), (std::vector<std::string>{"dbo.GetCustomer"}));
    EXPECT_TRUE(Names<TVELView>(*r.Model).empty());
}

// ---- the live ODBC path --------------------------------------------------------------------------

namespace {

// The library of an ODBC driver of the Debian packages, found in the multiarch folders.
std::string DriverLibrary(const std::string& file) {
    for (const char* folder : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc", "/usr/lib/odbc",
                               "/usr/lib64/odbc"})
        if (std::filesystem::exists(std::string(folder) + "/" + file)) return std::string(folder) + "/" + file;
    ADD_FAILURE() << "the ODBC driver " << file << " is not installed (see .ci/install-deps)";
    return file;
}

// The driver manager reads its data sources from the temporary folder only while it lives.
class TODBCEnvironment {
public:
    explicit TODBCEnvironment(const TempDir& dir, const std::string& dataSources = {}) {
        Save("ODBCSYSINI", sysIni_);
        Save("ODBCINI", ini_);
        WriteFile(dir.File("odbcinst.ini"), "");
        WriteFile(dir.File("odbc.ini"), dataSources);
        setenv("ODBCSYSINI", dir.Path().c_str(), 1);
        setenv("ODBCINI", dir.File("odbc.ini").c_str(), 1);
    }
    ~TODBCEnvironment() {
        Restore("ODBCSYSINI", sysIni_);
        Restore("ODBCINI", ini_);
    }
    TODBCEnvironment(const TODBCEnvironment&) = delete;
    TODBCEnvironment& operator=(const TODBCEnvironment&) = delete;

private:
    static void Save(const char* name, std::optional<std::string>& value) {
        if (const char* v = std::getenv(name)) value = v;
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    std::optional<std::string> sysIni_, ini_;
};

// The definition of the SQL Server target.
const TVELDatabaseSettings& ServerTarget() {
    TargetDatabases().Build(DefinitionsDir());
    static TVELDataDictionary model;
    model.SetTarget("mssqlserver2019");
    return *model.GetDatabaseSettings();
}

std::string ConnectError(const std::string& url) {
    try {
        OpenConnectionURL(url, ServerTarget());
    } catch (const EVELError& e) {
        return e.what();
    }
    return "connected";
}

}  // namespace

TEST(ODBCLive, BindsValuesThroughTheSQLiteDriver) {
    TempDir dir;
    const TODBCEnvironment environment(dir);
    const std::string url = "odbc:?Driver=" + DriverLibrary("libsqlite3odbc.so") + ";Database=" + dir.File("live.db");
    std::unique_ptr<TDBConnection> connection = OpenConnectionURL(url, ServerTarget());
    auto* odbc = dynamic_cast<TODBCConnection*>(connection.get());
    ASSERT_NE(odbc, nullptr);
    ASSERT_TRUE(odbc->Connected());
    std::string description;
    odbc->GetDescription(description);
    EXPECT_EQ(description, DriverLibrary("libsqlite3odbc.so"));

    // Values never become part of the statement; marks take them in turns.
    const std::string hostile = "x'; drop table y; --";
    TDBRowSet rows = odbc->Run("SELECT ? AS a, ? AS b, ? AS c", {"it's", hostile});
    ASSERT_EQ(rows.Columns, (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_EQ(rows.Rows.size(), 1u);
    EXPECT_EQ(rows.Rows[0][0].AsString(), "it's");
    EXPECT_EQ(rows.Rows[0][1].AsString(), hostile);
    EXPECT_EQ(rows.Rows[0][2].AsString(), "it's");

    odbc->Run("CREATE TABLE y (id INTEGER)", {});
    odbc->Run("CREATE TABLE [it's] (name TEXT, note TEXT)", {});
    odbc->StartTransaction();
    // (The SQLite driver counts marks as if an apostrophe in brackets opened a literal.)
    odbc->Run("INSERT INTO \"it's\" (name, note) VALUES (?, ?)", {"it's", "Grüße, 日本"});
    odbc->Run("INSERT INTO \"it's\" (name, note) VALUES (?, NULL)", {hostile});
    odbc->Commit();
    EXPECT_EQ(odbc->RowCount("it's"), 2);
    rows = odbc->Run("SELECT name, note FROM \"it's\" WHERE name = ? OR name = ? ORDER BY name", {"it's", hostile});
    ASSERT_EQ(rows.Rows.size(), 2u);
    EXPECT_EQ(rows.Rows[0][0].AsString(), "it's");
    EXPECT_EQ(rows.Rows[0][1].AsString(), "Grüße, 日本");
    EXPECT_EQ(rows.Rows[1][0].AsString(), hostile);
    EXPECT_TRUE(rows.Rows[1][1].IsNull());
    // The table of the hostile text is still there.
    EXPECT_EQ(odbc->Run("SELECT COUNT(*) FROM y", {}).Rows.at(0).at(0).AsString(), "0");
    // A long value comes back whole.
    const std::string longText(20000, 'z');
    EXPECT_EQ(odbc->Run("SELECT ? AS v", {longText}).Rows.at(0).at(0).AsString(), longText);
    // Errors of the driver name the data source and the statement.
    try {
        odbc->Run("SELECT * FROM no_such_table", {});
        ADD_FAILURE() << "no error";
    } catch (const EVELError& e) {
        const std::string text = e.what();
        EXPECT_TRUE(text.starts_with("The ODBC data source \"" + DriverLibrary("libsqlite3odbc.so") +
                                     "\" reports an error on the statement \"SELECT * FROM no_such_table\"."))
            << text;
        EXPECT_NE(text.find("no_such_table"), std::string::npos);
    }
    odbc->Disconnect();
    EXPECT_FALSE(odbc->Connected());
}

TEST(ODBCLive, DataSourcesAndConnectErrors) {
    // The SQLite driver loads the ODBC installer library to read its data source, and unloads it
    // with the cache that library keeps; held here, the leak check can name it.
    void* installer = dlopen("libodbcinst.so.2", RTLD_NOW);
    EXPECT_NE(installer, nullptr) << dlerror();
    TempDir dir;
    const TODBCEnvironment environment(
        dir, "[ShopDSN]\nDriver=" + DriverLibrary("libsqlite3odbc.so") + "\nDatabase=" + dir.File("dsn.db") + "\n");
    // A data source of odbc.ini.
    std::unique_ptr<TDBConnection> connection = OpenConnectionURL("odbc://ShopDSN", ServerTarget());
    auto* odbc = dynamic_cast<TODBCConnection*>(connection.get());
    ASSERT_NE(odbc, nullptr);
    EXPECT_EQ(odbc->Run("SELECT 1 + ? AS n", {"1"}).Rows.at(0).at(0).AsString(), "2");
    connection.reset();

    // An unknown data source, and a driver library that is not there.
    EXPECT_TRUE(ConnectError("odbc://NoSuchDSN")
                    .starts_with("Unable to connect to the ODBC data source \"NoSuchDSN\": the data source is not "
                                 "defined in odbc.ini (see odbcinst -q -s) and the connection string names no driver.\n[IM002]"))
        << ConnectError("odbc://NoSuchDSN");
    EXPECT_TRUE(ConnectError("odbc:?Driver=/no/such/libdriver.so;Database=x")
                    .starts_with("Unable to connect to the ODBC data source \"/no/such/libdriver.so\": the ODBC driver "
                                 "library could not be loaded."))
        << ConnectError("odbc:?Driver=/no/such/libdriver.so;Database=x");
}

TEST(ODBCLive, WrongPasswordThroughTheMariaDBDriver) {
    const ServerParams server = MariaDBServer();
    {
        TMariaDBConnection admin("mysql");
        ASSERT_EQ(admin.ConnectError(), "");
        ASSERT_EQ(admin.Run("CREATE USER IF NOT EXISTS 'ardvin_odbc'@'%' IDENTIFIED BY 'Right-Secret-1'"), "");
    }
    TempDir dir;
    const TODBCEnvironment environment(dir);
    const std::string connection = "odbc:?Driver=" + DriverLibrary("libmaodbc.so") + ";Server=" + server.Host +
                                   ";Port=" + std::to_string(server.Port) + ";UID=ardvin_odbc";
    // The right password from the environment, as a user gives it.
    setenv("ARDVIN_PASSWORD", "Right-Secret-1", 1);
    EXPECT_EQ(ConnectError(connection), "connected");
    setenv("ARDVIN_PASSWORD", "Wrong-Secret-2", 1);
    const std::string error = ConnectError(connection);
    unsetenv("ARDVIN_PASSWORD");
    EXPECT_TRUE(error.starts_with("Unable to connect to the ODBC data source \"" + DriverLibrary("libmaodbc.so") +
                                  "\": the user name or password was not accepted."))
        << error;
    EXPECT_EQ(error.find("Wrong-Secret-2"), std::string::npos) << error;
    EXPECT_EQ(error.find("Right-Secret-1"), std::string::npos) << error;
}

// ---- Oracle --------------------------------------------------------------------------------------

TEST(ODBCDriverOracle, FactoryAndQueries) {
    std::unique_ptr<TDBConnection> connection = CreateConnection("oracle");
    auto* oracle = dynamic_cast<TOracleConnection*>(connection.get());
    ASSERT_NE(oracle, nullptr);
    ExpectNoPastedPlaceholders(*oracle);
    EXPECT_EQ(oracle->QuoteName("SHOP.IT\"S"), "\"SHOP\".\"IT\"\"S\"");
    std::string sql;
    oracle->GetSQL(qkTables, sql);
    EXPECT_NE(sql.find("t.owner NOT IN (SELECT username FROM all_users WHERE oracle_maintained = 'Y')"),
              std::string::npos);
    oracle->GetSQL(qkProcedures, sql);
    EXPECT_NE(sql.find("FROM all_source s"), std::string::npos);
    EXPECT_EQ(CountParameterMarks(sql), 0);
    oracle->Parameters.SetValue("SCHEMANAME", "SALES");
    oracle->GetSQL(qkProcedures, sql);
    EXPECT_EQ(CountParameterMarks(sql), 1);
    oracle->GetSQL(qkColumns, sql);
    EXPECT_EQ(CountParameterMarks(sql), 2);
}

TEST(ODBCDriverOracle, ReplayedDatabaseObjectByObject) {
    const TReversed r = Replay("oracle19");
    const TVELDataDictionary& dd = *r.Model;
    EXPECT_EQ(Names<TVELEntity>(dd), (std::vector<std::string>{"SALES.ORDERS", "SHOP.CHEF'S TABLE", "SHOP.CUSTOMER"}))
        << JoinStrings(r.Log, "\n");

    const TVELEntity* customer = Table(dd, "SHOP.CUSTOMER");
    ASSERT_NE(customer, nullptr);
    EXPECT_EQ(customer->Comment, "Customers");
    EXPECT_EQ(ColumnNames(customer),
              (std::vector<std::string>{"ID", "NAME", "EMAIL", "CREATED_AT", "BALANCE", "STATUS", "PHOTO"}));
    const TVELAttribute* id = Column(customer, "ID");
    EXPECT_EQ(id->DataType->DataType, "NUMBER");
    EXPECT_TRUE(id->AutoNumber);
    EXPECT_EQ(id->DataType->Seed, 1);
    EXPECT_EQ(id->DataType->Increment, 1);
    EXPECT_EQ(id->DefaultValue(), "");
    EXPECT_TRUE(id->IsNotNull());
    const TVELAttribute* name = Column(customer, "NAME");
    EXPECT_EQ(name->DataType->DataType, "VARCHAR2");
    EXPECT_EQ(name->DataType->Length, "100");
    EXPECT_EQ(name->Comment, "Full name");
    EXPECT_TRUE(name->IsNotNull());
    EXPECT_FALSE(Column(customer, "EMAIL")->IsNotNull());
    EXPECT_EQ(Column(customer, "CREATED_AT")->DefaultValue(), "SYSDATE");
    const TVELAttribute* balance = Column(customer, "BALANCE");
    EXPECT_EQ(balance->DataType->Length, "12");
    EXPECT_EQ(balance->DataType->Precision, 2);
    EXPECT_EQ(balance->DefaultValue(), "0");
    EXPECT_EQ(Column(customer, "STATUS")->DefaultValue(), "'A'");
    EXPECT_EQ(Column(customer, "PHOTO")->DataType->DataType, "BLOB");
    EXPECT_EQ(KeyNames(customer), (std::vector<std::string>{"ID"}));
    EXPECT_EQ(customer->PrimaryKey->GetName(), "PK_CUSTOMER");
    ASSERT_NE(TableConstraint(customer, "UQ_CUSTOMER_EMAIL"), nullptr);
    EXPECT_EQ(TableConstraint(customer, "CK_CUSTOMER_BALANCE")->Value, "balance >= 0");
    EXPECT_EQ(TableConstraint(customer, "CK_CUSTOMER_STATUS")->Value, "status IN ('A', 'I')");
    ASSERT_EQ(customer->Triggers.Count(), 1);
    const auto* trigger = static_cast<const TVELTrigger*>(customer->Triggers.Items(0));
    EXPECT_EQ(trigger->GetName(), "TRG_CUSTOMER_AUDIT");
    // The rows make one body; the object's own name becomes the placeholder, as in a script import.
    EXPECT_EQ(trigger->Code,
              "CREATE OR REPLACE TRIGGER %triggername%\r\nBEFORE UPDATE ON %tablename% FOR EACH ROW\r\nBEGIN\r\n"
              "  :new.created_at := SYSDATE;\r\nEND;");
    EXPECT_EQ(customer->Indexes.Count(), 3);
    const TVELIndex* byName = Index(customer, "IX_CUSTOMER_NAME");
    ASSERT_NE(byName, nullptr);
    // A descending column is the column, not the hidden one Oracle makes for it.
    EXPECT_EQ(IndexColumns(byName), (std::vector<std::string>{"NAME ASC", "CREATED_AT DESC"}));
    EXPECT_FALSE(byName->Column(1)->IsExpression);
    const TVELIndex* upper = Index(customer, "IX_CUSTOMER_UPPER");
    ASSERT_NE(upper, nullptr);
    ASSERT_EQ(upper->Columns.Count(), 1);
    EXPECT_TRUE(upper->Column(0)->IsExpression);
    EXPECT_EQ(upper->Column(0)->Expression, "UPPER(\"EMAIL\")");
    EXPECT_EQ(Index(customer, "BX_CUSTOMER_STATUS")->IndexType, "BITMAP");

    const TVELEntity* orders = Table(dd, "SALES.ORDERS");
    ASSERT_NE(orders, nullptr);
    EXPECT_EQ(orders->Comment, "Orders of the shop");
    EXPECT_EQ(KeyNames(orders), (std::vector<std::string>{"ORDER_ID", "LINE_NO"}));
    EXPECT_EQ(Column(orders, "ORDER_ID")->DataType->Length, "10");
    EXPECT_EQ(Column(orders, "QTY")->DataType->DataType, "INTEGER");
    EXPECT_EQ(Column(orders, "QTY")->DefaultValue(), "1");
    // A virtual column: its expression, no default.
    const TVELAttribute* total = Column(orders, "TOTAL");
    EXPECT_EQ(total->DataType->Expression, "(\"QTY\"*\"PRICE\")");
    EXPECT_EQ(total->DefaultValue(), "");
    EXPECT_EQ(Column(orders, "NOTE")->Comment, "Free text");
    EXPECT_EQ(Column(orders, "NOTE")->DataType->DataType, "CLOB");
    EXPECT_EQ(TableConstraint(orders, "CK_ORDERS_QTY")->Value, "qty > 0 AND price >= 0");
    const TVELIndex* unique = Index(orders, "UX_ORDERS_CUSTOMER");
    ASSERT_NE(unique, nullptr);
    EXPECT_EQ(unique->IndexType, "UNIQUE");
    EXPECT_EQ(IndexColumns(unique), (std::vector<std::string>{"CUSTOMER_ID ASC", "ORDERED_AT ASC"}));

    const TVELEntity* chef = Table(dd, "SHOP.CHEF'S TABLE");
    ASSERT_NE(chef, nullptr);
    EXPECT_EQ(ColumnNames(chef), (std::vector<std::string>{"ID", "ORDER_ID", "LINE_NO", "IT'S"}));
    EXPECT_EQ(Column(chef, "IT'S")->Comment, "It's a column");
    EXPECT_EQ(Column(chef, "IT'S")->DefaultValue(), "'x'");

    // Relationships: Oracle keeps no update rule.
    const TVELRelationship* chefOrders = dd.FindRelationship("FK_CHEF_ORDERS");
    ASSERT_NE(chefOrders, nullptr);
    EXPECT_EQ(chefOrders->ParentObjectID, orders->ID);
    EXPECT_EQ(chefOrders->ChildObjectID, chef->ID);
    EXPECT_EQ(PairNames(dd, chefOrders), (std::vector<std::string>{"ORDER_ID=ORDER_ID", "LINE_NO=LINE_NO"}));
    EXPECT_EQ(chefOrders->DeleteRule, raSetNull);
    EXPECT_EQ(chefOrders->UpdateRule, raNone);
    const TVELRelationship* ordersCustomer = dd.FindRelationship("FK_ORDERS_CUSTOMER");
    ASSERT_NE(ordersCustomer, nullptr);
    EXPECT_EQ(ordersCustomer->DeleteRule, raCascade);
    EXPECT_EQ(PairNames(dd, ordersCustomer), (std::vector<std::string>{"ID=CUSTOMER_ID"}));

    // Code from ALL_SOURCE, line by line; a package with its body.
    EXPECT_EQ(Names<TVELProcedure>(dd), (std::vector<std::string>{"SHOP.GET_CUSTOMER", "SHOP.PKG_SHOP", "SHOP.TOTAL_OF"}));
    const auto* get = static_cast<const TVELProcedure*>(dd.FindProcedure("SHOP.GET_CUSTOMER"));
    ASSERT_NE(get, nullptr);
    EXPECT_EQ(get->Code, "CREATE OR REPLACE PROCEDURE %procname%(p_id IN NUMBER) AS\r\nBEGIN\r\n  NULL;\r\nEND;");
    const auto* package = static_cast<const TVELProcedure*>(dd.FindProcedure("SHOP.PKG_SHOP"));
    ASSERT_NE(package, nullptr);
    EXPECT_NE(package->Code.find("END pkg_shop;\r\n/\r\nCREATE OR REPLACE PACKAGE BODY pkg_shop AS\r\n"),
              std::string::npos)
        << package->Code;
    ASSERT_EQ(Names<TVELView>(dd), (std::vector<std::string>{"SALES.ORDER_TOTALS"}));
    const TVELView* view = First<TVELView>(dd);
    EXPECT_EQ(view->Code, "CREATE OR REPLACE VIEW %viewname%\r\nAS\r\n"
                              "SELECT customer_id, SUM(total) AS total FROM orders GROUP BY customer_id");
    EXPECT_EQ(view->Comment, "Totals per customer");

    ASSERT_EQ(Names<TVELSequence>(dd), (std::vector<std::string>{"SALES.ORDER_SEQ", "SHOP.TICKETS"}));
    const auto* orderSeq = static_cast<const TVELSequence*>(dd.FindSequence("SALES.ORDER_SEQ"));
    EXPECT_EQ(orderSeq->Seed, 1000);
    EXPECT_EQ(orderSeq->Cycle, "nocycle");
    EXPECT_EQ(orderSeq->Order, "noorder");
    EXPECT_EQ(orderSeq->CacheCode, "CACHE");
    EXPECT_EQ(orderSeq->Cache, "20");
    const auto* tickets = static_cast<const TVELSequence*>(dd.FindSequence("SHOP.TICKETS"));
    EXPECT_EQ(tickets->Increment, 10);
    EXPECT_EQ(tickets->Max, "1000000");
    EXPECT_EQ(tickets->Cycle, "cycle");
    EXPECT_EQ(tickets->Order, "order");
    EXPECT_EQ(tickets->CacheCode, "NOCACHE");
}

TEST(ODBCDriverOracle, SchemaFilterAndMasks) {
    TReversed r = Replay("oracle19", Schema("SALES"));
    EXPECT_EQ(Names<TVELEntity>(*r.Model), (std::vector<std::string>{"SALES.ORDERS"})) << JoinStrings(r.Log, "\n");
    EXPECT_TRUE(Names<TVELRelationship>(*r.Model).empty());
    EXPECT_EQ(Names<TVELSequence>(*r.Model), (std::vector<std::string>{"SALES.ORDER_SEQ"}));
    EXPECT_TRUE(Names<TVELProcedure>(*r.Model).empty());

    r = Replay("oracle19", {}, "shop.*", "*'S*;SHOP.PKG*");
    EXPECT_EQ(Names<TVELEntity>(*r.Model), (std::vector<std::string>{"SHOP.CUSTOMER"}));
    EXPECT_EQ(Names<TVELProcedure>(*r.Model), (std::vector<std::string>{"SHOP.GET_CUSTOMER", "SHOP.TOTAL_OF"}));
    EXPECT_EQ(Names<TVELSequence>(*r.Model), (std::vector<std::string>{"SHOP.TICKETS"}));
}

// ---- Db2 -----------------------------------------------------------------------------------------

TEST(ODBCDriverDB2, FactoryQueriesRulesAndOrders) {
    std::unique_ptr<TDBConnection> connection = CreateConnection("db2");
    auto* db2 = dynamic_cast<TDB2Connection*>(connection.get());
    ASSERT_NE(db2, nullptr);
    ExpectNoPastedPlaceholders(*db2);
    std::string sql;
    db2->GetSQL(qkTables, sql);
    EXPECT_NE(sql.find("k.TABSCHEMA NOT IN ('SYSIBM', 'SYSCAT'"), std::string::npos);
    db2->GetSQL(qkIndexes, sql);
    EXPECT_EQ(CountParameterMarks(sql), 2);
    // The catalogue's one-letter codes.
    EXPECT_EQ(db2->RuleFromText("C"), raCascade);
    EXPECT_EQ(db2->RuleFromText("N"), raSetNull);
    EXPECT_EQ(db2->RuleFromText("R"), raRestrict);
    EXPECT_EQ(db2->RuleFromText("A"), raNone);
    EXPECT_EQ(db2->RuleFromText("SET NULL"), raSetNull);
    std::string order;
    db2->NormalizeName("D", order);
    EXPECT_EQ(order, "DESC");
    db2->NormalizeName("a", order);
    EXPECT_EQ(order, "ASC");
    db2->NormalizeName("random", order);
    EXPECT_EQ(order, "RANDOM");
}

TEST(ODBCDriverDB2, ReplayedDatabaseObjectByObject) {
    const TReversed r = Replay("db2luw11");
    const TVELDataDictionary& dd = *r.Model;
    EXPECT_EQ(Names<TVELEntity>(dd), (std::vector<std::string>{"SALES.ORDERS", "SHOP.CHEF'S TABLE", "SHOP.CUSTOMER"}))
        << JoinStrings(r.Log, "\n");

    ASSERT_EQ(Names<TVELDomain>(dd), (std::vector<std::string>{"SHOP.MONEY_T", "SHOP.PHONE_T"}));
    const TVELDomain* money = dd.FindDomain("MONEY_T");
    EXPECT_EQ(money->DataType->DataType, "DECIMAL");
    EXPECT_EQ(money->DataType->Length, "12");
    EXPECT_EQ(money->DataType->Precision, 2);
    EXPECT_EQ(money->Comment, "Amounts of money");

    const TVELEntity* customer = Table(dd, "SHOP.CUSTOMER");
    ASSERT_NE(customer, nullptr);
    EXPECT_EQ(customer->Comment, "Customers of the shop");
    EXPECT_EQ(ColumnNames(customer),
              (std::vector<std::string>{"ID", "NAME", "EMAIL", "PHONE", "BALANCE", "CREATED_AT", "STATUS"}));
    const TVELAttribute* id = Column(customer, "ID");
    EXPECT_EQ(id->DataType->DataType, "INTEGER");
    EXPECT_TRUE(id->AutoNumber);
    EXPECT_EQ(id->DataType->Seed, 100);
    EXPECT_EQ(id->DataType->Increment, 10);
    EXPECT_EQ(Column(customer, "NAME")->DataType->Length, "100");
    EXPECT_EQ(Column(customer, "NAME")->Comment, "Full name");
    EXPECT_TRUE(Column(customer, "NAME")->IsNotNull());
    EXPECT_FALSE(Column(customer, "EMAIL")->IsNotNull());
    EXPECT_EQ(Column(customer, "PHONE")->GetDomain(), dd.FindDomain("PHONE_T"));
    EXPECT_EQ(Column(customer, "BALANCE")->GetDomain(), money);
    EXPECT_EQ(Column(customer, "BALANCE")->DefaultValue(), "0");
    EXPECT_EQ(Column(customer, "CREATED_AT")->DefaultValue(), "CURRENT TIMESTAMP");
    EXPECT_EQ(Column(customer, "STATUS")->DataType->DataType, "CHAR");
    EXPECT_EQ(Column(customer, "STATUS")->DefaultValue(), "'A'");
    EXPECT_EQ(KeyNames(customer), (std::vector<std::string>{"ID"}));
    EXPECT_EQ(customer->PrimaryKey->GetName(), "PK_CUSTOMER");
    ASSERT_NE(TableConstraint(customer, "UQ_CUSTOMER_EMAIL"), nullptr);
    const TVELConstraint* balance = TableConstraint(customer, "CK_CUSTOMER_BALANCE");
    ASSERT_NE(balance, nullptr);
    EXPECT_EQ(balance->Value, "BALANCE >= 0");
    EXPECT_EQ(balance->Comment, "Never negative");
    ASSERT_EQ(customer->Triggers.Count(), 1);
    const auto* trigger = static_cast<const TVELTrigger*>(customer->Triggers.Items(0));
    EXPECT_EQ(trigger->GetName(), "TRG_CUSTOMER_AUDIT");
    EXPECT_NE(trigger->Code.find("REFERENCING NEW AS n FOR EACH ROW"), std::string::npos);
    EXPECT_EQ(trigger->Comment, "Keeps the time of change");
    const TVELIndex* byName = Index(customer, "IX_CUSTOMER_NAME");
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(IndexColumns(byName), (std::vector<std::string>{"NAME ASC", "CREATED_AT DESC"}));
    EXPECT_EQ(byName->Comment, "Lookup by name");
    const TVELIndex* phone = Index(customer, "UX_CUSTOMER_PHONE");
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(phone->IndexType, "UNIQUE");
    EXPECT_EQ(phone->Clustering, "CLUSTER");
    EXPECT_EQ(phone->IndexOptions, "INCLUDE (\"STATUS\")");

    const TVELEntity* orders = Table(dd, "SALES.ORDERS");
    ASSERT_NE(orders, nullptr);
    EXPECT_EQ(KeyNames(orders), (std::vector<std::string>{"ORDER_ID", "LINE_NO"}));
    EXPECT_EQ(Column(orders, "PRICE")->DataType->Length, "10");
    EXPECT_EQ(Column(orders, "PRICE")->DataType->Precision, 2);
    EXPECT_EQ(Column(orders, "TOTAL")->DataType->Expression, "(QTY * PRICE)");
    EXPECT_EQ(Column(orders, "NOTE")->DataType->DataType, "CLOB");
    EXPECT_EQ(Column(orders, "NOTE")->DataType->Length, "1048576");
    EXPECT_EQ(Column(orders, "QTY")->DefaultValue(), "1");
    EXPECT_EQ(TableConstraint(orders, "CK_ORDERS_QTY")->Value, "QTY > 0");

    const TVELEntity* chef = Table(dd, "SHOP.CHEF'S TABLE");
    ASSERT_NE(chef, nullptr);
    EXPECT_EQ(ColumnNames(chef), (std::vector<std::string>{"ID", "ORDER_ID", "LINE_NO", "IT'S"}));
    EXPECT_EQ(Column(chef, "IT'S")->DefaultValue(), "'x'");

    const TVELRelationship* chefOrders = dd.FindRelationship("FK_CHEF_ORDERS");
    ASSERT_NE(chefOrders, nullptr);
    EXPECT_EQ(chefOrders->ParentObjectID, orders->ID);
    EXPECT_EQ(chefOrders->ChildObjectID, chef->ID);
    EXPECT_EQ(PairNames(dd, chefOrders), (std::vector<std::string>{"ORDER_ID=ORDER_ID", "LINE_NO=LINE_NO"}));
    EXPECT_EQ(chefOrders->UpdateRule, raRestrict);
    EXPECT_EQ(chefOrders->DeleteRule, raSetNull);
    const TVELRelationship* ordersCustomer = dd.FindRelationship("FK_ORDERS_CUSTOMER");
    ASSERT_NE(ordersCustomer, nullptr);
    EXPECT_EQ(ordersCustomer->UpdateRule, raNone);
    EXPECT_EQ(ordersCustomer->DeleteRule, raCascade);

    EXPECT_EQ(Names<TVELProcedure>(dd), (std::vector<std::string>{"SHOP.GET_CUSTOMER", "SHOP.TOTAL_OF"}));
    const auto* get = static_cast<const TVELProcedure*>(dd.FindProcedure("SHOP.GET_CUSTOMER"));
    ASSERT_NE(get, nullptr);
    EXPECT_EQ(get->Comment, "Reads one customer");
    EXPECT_NE(get->Code.find("OPEN c;"), std::string::npos);
    ASSERT_EQ(Names<TVELView>(dd), (std::vector<std::string>{"SALES.ORDER_TOTALS"}));
    const TVELView* view = First<TVELView>(dd);
    EXPECT_EQ(view->Comment, "Totals per customer");

    ASSERT_EQ(Names<TVELSequence>(dd), (std::vector<std::string>{"SALES.ORDER_SEQ", "SHOP.TICKETS"}));
    const auto* orderSeq = static_cast<const TVELSequence*>(dd.FindSequence("SALES.ORDER_SEQ"));
    EXPECT_EQ(orderSeq->Seed, 1000);
    EXPECT_EQ(orderSeq->Min, "1000");
    EXPECT_EQ(orderSeq->IntegerType, "INTEGER");
    EXPECT_EQ(orderSeq->Comment, "Order numbers");
    const auto* tickets = static_cast<const TVELSequence*>(dd.FindSequence("SHOP.TICKETS"));
    EXPECT_EQ(tickets->Increment, 5);
    EXPECT_EQ(tickets->Cycle, "cycle");
    EXPECT_EQ(tickets->CacheCode, "NOCACHE");
    EXPECT_EQ(tickets->IntegerType, "BIGINT");
}

TEST(ODBCDriverDB2, SchemaFilterAndMasks) {
    TReversed r = Replay("db2luw11", Schema("SALES"));
    EXPECT_EQ(Names<TVELEntity>(*r.Model), (std::vector<std::string>{"SALES.ORDERS"})) << JoinStrings(r.Log, "\n");
    EXPECT_TRUE(Names<TVELRelationship>(*r.Model).empty());
    EXPECT_TRUE(Names<TVELDomain>(*r.Model).empty());
    EXPECT_EQ(Names<TVELView>(*r.Model).size(), 1u);

    r = Replay("db2luw11", {}, "*", "SALES.*;*CHEF*;*_T");
    EXPECT_EQ(Names<TVELEntity>(*r.Model), (std::vector<std::string>{"SHOP.CUSTOMER"}));
    EXPECT_TRUE(Names<TVELDomain>(*r.Model).empty());
    EXPECT_TRUE(Names<TVELView>(*r.Model).empty());
}

// ---- the catalogue gives the model the script gives --------------------------------------------

TEST(ODBCDriverSQLServer, ModelOfTheCatalogueIsTheModelOfTheScript) {
    TReversed r = Replay("mssqlserver2019");
    TVELDataDictionary script;
    script.SetTarget("mssqlserver2019");
    std::vector<std::string> messages;
    ImportFromScript(script, Recordings("mssqlserver") + "/shop.sql", {}, &messages);
    const std::vector<TAllowedDifference> allowed = {
    };
    EXPECT_EQ(UnexplainedDifferences(script, *r.Model, allowed), "") << JoinStrings(messages, "\n");
}

TEST(ODBCDriverOracle, ModelOfTheCatalogueIsTheModelOfTheScript) {
    TReversed r = Replay("oracle19");
    TVELDataDictionary script;
    script.SetTarget("oracle19");
    std::vector<std::string> messages;
    ImportFromScript(script, Recordings("oracle") + "/shop.sql", {}, &messages);
    const std::vector<TAllowedDifference> allowed = {
        {"PKG_SHOP", "^.*$", "", "the script reader takes no packages"},
    };
    EXPECT_EQ(UnexplainedDifferences(script, *r.Model, allowed), "") << JoinStrings(messages, "\n");
}

TEST(ODBCDriverDB2, ModelOfTheCatalogueIsTheModelOfTheScript) {
    TReversed r = Replay("db2luw11");
    TVELDataDictionary script;
    script.SetTarget("db2luw11");
    std::vector<std::string> messages;
    ImportFromScript(script, Recordings("db2") + "/shop.sql", {}, &messages);
    const std::vector<TAllowedDifference> allowed = {
        {"GET_CUSTOMER", "^\\s+OPEN c;$", "OPEN c;",
         "the script reader joins a body cut at its semicolons without the indent of the next line"},
    };
    EXPECT_EQ(UnexplainedDifferences(script, *r.Model, allowed), "") << JoinStrings(messages, "\n");
}
