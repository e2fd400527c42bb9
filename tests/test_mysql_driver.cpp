// The MySQL/MariaDB driver on the MariaDB test server: a model that uses every feature of the
// target is generated, run, reverse engineered and compared object by object; names that
// would break a query pasted together import like any other; a database of 1,000 tables is
// read completely.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <map>
#include <set>

#include "FullFeatureModel.h"
#include "TestRoundTrip.h"
#include "TestServers.h"
#include "TestModelObjects.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zMySQLDriver.h"
#include "zRelationship.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

TVELSettingsList Parameters(const std::string& database) {
    const ServerParams p = MariaDBServer();
    TVELSettingsList parameters;
    parameters.SetValue("Host", p.Host);
    parameters.SetValue("Port", std::to_string(p.Port));
    parameters.SetValue("UserName", p.User);
    parameters.SetValue("Password", p.Password);
    parameters.SetValue("DatabaseName", database);
    return parameters;
}

// A fresh database of the test server, dropped at the end.
class TDatabase {
public:
    explicit TDatabase(const std::string& prefix) : Name(CreateMariaDBDatabase(prefix)) {}
    ~TDatabase() { DropMariaDBDatabase(Name); }
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;
    const std::string Name;
};

// Reverse engineers a whole database into a new model of the target.
std::unique_ptr<TVELDataDictionary> Reverse(const std::string& database, const std::string& target,
                                            std::vector<std::string>* log = nullptr) {
    TargetDatabases().Build(DefinitionsDir());
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget(target);
    ImportFromDatabase(*dd, Parameters(database), {}, nullptr, log);
    return dd;
}

std::vector<std::string> ColumnNames(const TVELEntity& table) {
    std::vector<std::string> names;
    for (int i = 0; i < table.Attributes.Count(); ++i) names.push_back(table.AttributeAt(i)->GetName());
    return names;
}

int64_t Count(TMariaDBConnection& db, const std::string& sql) {
    std::string error;
    const TRows rows = db.Query(sql, error);
    EXPECT_EQ(error, "") << sql;
    return rows.empty() ? -1 : std::stoll(rows[0][0]);
}

}  // namespace

TEST(MySQLDriver, FactoryAndQueriesHoldNoPastedNames) {
    std::unique_ptr<TDBConnection> connection = CreateConnection("mysql");
    auto* mysql = dynamic_cast<TMySQLConnection*>(connection.get());
    ASSERT_NE(mysql, nullptr);
    EXPECT_EQ(mysql->DBID, "mysql");
    EXPECT_FALSE(mysql->Connected());
    ExpectNoPastedPlaceholders(*mysql);
    std::string sql;
    mysql->GetSQL(qkColumns, sql);
    EXPECT_NE(sql.find("TABLE_NAME = ?"), std::string::npos);
    EXPECT_EQ(TMySQLConnection::QuoteIdentifier("x`; drop"), "`x``; drop`");
    EXPECT_EQ(mysql->QuoteName("db.it's"), "`db`.`it's`");
    std::string systems;
    mysql->GetSystemSchemaList(systems);
    EXPECT_EQ(systems, "('mysql', 'information_schema', 'performance_schema', 'sys')");
    // Without a connection nothing is read and nothing is run.
    EXPECT_EQ(mysql->CreateQuery(), nullptr);
    EXPECT_THROW(mysql->Run("SELECT 1", {}), EVELError);
}

TEST(MySQLDriver, ConnectsReportsServerErrorsAndBindsValues) {
    TDatabase db("ardvin_mydrv");
    TMySQLConnection connection;
    connection.Parameters.Assign(Parameters(db.Name));
    connection.Parameters.SetValue("Password", "wrong password");
    connection.Parameters.SetValue("UserName", "nobody_here");
    EXPECT_THROW(connection.Connect(), EVELError);
    EXPECT_FALSE(connection.Connected());

    connection.Parameters.Assign(Parameters(db.Name));
    connection.Connect();
    ASSERT_TRUE(connection.Connected());
    std::string description;
    connection.GetDescription(description);
    EXPECT_EQ(description, db.Name + " on " + MariaDBServer().Host);
    EXPECT_EQ(connection.SchemaToRead(), db.Name);
    // Values go in as literals, whatever they hold; marks take them in turns.
    const TDBRowSet rows = connection.Run("SELECT ? AS a, ? AS b, ? AS c", {"x'; drop table y; --", "\\'\""});
    ASSERT_EQ(rows.Rows.size(), 1u);
    EXPECT_EQ(rows.Rows[0][0].AsString(), "x'; drop table y; --");
    EXPECT_EQ(rows.Rows[0][1].AsString(), "\\'\"");
    EXPECT_EQ(rows.Rows[0][2].AsString(), "x'; drop table y; --");
    EXPECT_THROW(connection.Run("SELECT * FROM no_such_table", {}), EVELError);
    // Table statements quote the name.
    connection.Run("CREATE TABLE `it's` (id INT)", {});
    connection.Run("INSERT INTO `it's` VALUES (1), (2)", {});
    EXPECT_EQ(connection.RowCount("it's"), 2);
    connection.StartTransaction();
    connection.DeleteRows("it's");
    connection.Commit();
    EXPECT_EQ(connection.RowCount("it's"), 0);
    connection.Disconnect();
    EXPECT_FALSE(connection.Connected());
}

TEST(MySQLDriver, NamesThatWouldBreakAQueryImportLikeAnyOther) {
    TDatabase db("ardvin_mydrv");
    {
        TMariaDBConnection server(db.Name);
        ASSERT_EQ(server.ConnectError(), "");
        for (const char* sql : {
                 "CREATE TABLE y (id INT PRIMARY KEY)",
                 "CREATE TABLE `it's` (id INT PRIMARY KEY, `na'me` VARCHAR(10) COMMENT 'it''s', "
                 "UNIQUE KEY `u'k` (`na'me`)) COMMENT 'quote''s'",
                 "CREATE TABLE `x'; drop table y; --` (id INT NOT NULL, `ref'` INT, PRIMARY KEY (id), "
                 "CONSTRAINT `fk'; --` FOREIGN KEY (`ref'`) REFERENCES `it's` (id) ON DELETE CASCADE, "
                 "CONSTRAINT `c'k` CHECK (`ref'` > 0))",
                 "CREATE INDEX `ix'` ON `x'; drop table y; --` (`ref'`, id DESC)",
                 "CREATE TRIGGER `t'r` BEFORE INSERT ON `it's` FOR EACH ROW SET NEW.id = NEW.id + 1",
                 "CREATE VIEW `v'w` AS SELECT id FROM `it's`"})
            ASSERT_EQ(server.Run(sql), "") << sql;
    }
    std::vector<std::string> log;
    const auto dd = Reverse(db.Name, "mariadb10", &log);

    TVELEntity* quote = FindTable(*dd, "it's");
    TVELEntity* drop = FindTable(*dd, "x'; drop table y; --");
    ASSERT_NE(quote, nullptr) << JoinStrings(log, "\n");
    ASSERT_NE(drop, nullptr);
    ASSERT_NE(FindTable(*dd, "y"), nullptr);
    EXPECT_EQ(quote->Comment, "quote's");
    EXPECT_EQ(ColumnNames(*quote), (std::vector<std::string>{"id", "na'me"}));
    EXPECT_EQ(quote->AttributeAt(1)->Comment, "it's");
    EXPECT_EQ(ColumnNames(*drop), (std::vector<std::string>{"id", "ref'"}));
    EXPECT_TRUE(drop->AttributeAt(0)->IsPrimaryKey());
    EXPECT_TRUE(drop->AttributeAt(0)->IsNotNull());

    bool unique = false, check = false;
    for (int i = 0; i < quote->Constraints.Count(); ++i) {
        const auto* c = static_cast<TVELConstraint*>(quote->Constraints.Items(i));
        if (c->GetName() == "u'k") unique = true;
    }
    for (int i = 0; i < drop->Constraints.Count(); ++i) {
        const auto* c = static_cast<TVELConstraint*>(drop->Constraints.Items(i));
        if (c->GetName() == "c'k") check = c->Value.find("> 0") != std::string::npos;
    }
    EXPECT_TRUE(unique);
    EXPECT_TRUE(check);
    ASSERT_EQ(drop->Indexes.Count(), 1);
    const auto* index = static_cast<TVELIndex*>(drop->Indexes.Items(0));
    EXPECT_EQ(index->GetName(), "ix'");
    ASSERT_EQ(index->Columns.Count(), 2);
    EXPECT_EQ(index->Column(1)->SortOption, "DESC");
    ASSERT_EQ(quote->Triggers.Count(), 1);
    EXPECT_EQ(quote->Triggers.Items(0)->GetName(), "t'r");

    std::vector<TVELRelationship*> relationships;
    dd->CollectOfClass(relationships);
    ASSERT_EQ(relationships.size(), 1u);
    EXPECT_EQ(relationships[0]->GetName(), "fk'; --");
    EXPECT_EQ(relationships[0]->ParentObjectID, quote->ID);
    EXPECT_EQ(relationships[0]->ChildObjectID, drop->ID);
    EXPECT_EQ(relationships[0]->DeleteRule, raCascade);
    std::vector<TVELView*> views;
    dd->CollectOfClass(views);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]->GetName(), "v'w");

    // No statement was changed by a name: table y is still there.
    TMariaDBConnection server(db.Name);
    EXPECT_EQ(Count(server, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                            "AND TABLE_NAME = 'y'"),
              1);

    // A filter on another database than the connected one names the tables with it.
    TMySQLConnection other;
    other.Parameters.Assign(Parameters(""));
    other.Parameters.SetValue("SCHEMANAME", db.Name);
    other.Connect();
    std::vector<std::string> tables;
    other.ListTables(tables);
    EXPECT_EQ(tables, (std::vector<std::string>{db.Name + ".it's", db.Name + ".x'; drop table y; --", db.Name + ".y"}));
    std::vector<std::string> schemas;
    other.ListTableSchemas(schemas);
    EXPECT_EQ(schemas, (std::vector<std::string>{db.Name}));
}

TEST(MySQLDriver, FullFeatureModelRoundTripOnMariaDB) {
    TDatabase db("ardvin_myrt");
    const auto model = FullFeatureModel("mariadb10");
    const TGeneratedScripts g = GenerateScripts(*model);
    ASSERT_EQ(RunMariaDBScript(db.Name, g.CreateScript), "") << g.CreateScript;
    std::vector<std::string> log;
    const auto reversed = Reverse(db.Name, "mariadb10", &log);
    // What MariaDB cannot give back as the model wrote it.
    const std::vector<TAllowedDifference> allowed = {
        {"", "(UPDATERULE|DELETERULE) None", "$1 Restrict",
         "a foreign key written without an action is kept as RESTRICT"},
        {"^Order$", "DEFAULT NEXT VALUE FOR (`[^`]+`)", "DEFAULT nextval($1)",
         "the server keeps NEXT VALUE FOR as a call of nextval()"},
        {"", "CLUSTERING BTREE", "CLUSTERING ",
         "every B-tree index is reported as BTREE, whether the script named the kind or not"},
        {"", "^Table options: .*", "Table options: ",
         "every table has an engine and a character set: the ones the script named cannot be told apart"},
        {"^Customer$", "^(Begin|End) table script: .*", "$1 table script: ",
         "the statements generation writes around a table are no objects of the database"},
        {"^Customer$", "CONSTRAINT CK_Customer_(Name|Score_Min) CHECK", "CONSTRAINT column CHECK",
         "a check written with a column is named after the column"},
        {"^Customer$", "CONSTRAINT (Name|Score) CHECK", "CONSTRAINT column CHECK",
         "a check written with a column is named after the column"},
        {"^Customer$", "`(Name|Score)`", "$1", "the server writes the names in a check in back quotes"},
        {"^Customer$", "( and a second line\"$|^and a second line\"$)", "",
         "generation writes a comment on one line"},
        {"^Customer$", "^(INDEX UX_Customer_Status_Name|CONSTRAINT UX_Customer_Status_Name UNIQUE) .*", "",
         "the server keeps a unique index as a unique key, as it keeps a unique constraint"},
        {"^All Types$", "^SERIAL (SERIAL|BIGINT UNSIGNED) NOT NULL$|^CONSTRAINT SERIAL UNIQUE \\(SERIAL\\)$", "",
         "the server makes SERIAL a BIGINT UNSIGNED NOT NULL AUTO_INCREMENT column with a unique key"},
        {"^Customers Note$", "^Say (\"Hi\"|Hi) ", "Say Hi ", "generation leaves quote characters out of names"},
        {"^(Order Counts|Customer Orders)$", "^(Code: CREATE VIEW %viewname% AS).*|^(SELECT|FROM) .*", "$1",
         "the server keeps a view's query in its own rewriting"},
        {"^Customer Orders$", "^Comment: .*", "Comment:", "views have no comments on the server"},
    };
    EXPECT_EQ(UnexplainedDifferences(*g.Model, *reversed, allowed), "") << JoinStrings(log, "\n");
}

TEST(MySQLDriver, ThousandTablesReverseCompletely) {
    const TempDir dir;
    const std::string script = dir.File("schema.sql");
    const RunResult gen = RunProgram("/usr/bin/python3", {SourceDir() + "/../shared/tools/gen_schema.py", "--tables",
                                                          "1000", "--dialect", "mysql"});
    ASSERT_EQ(gen.ExitCode, 0) << gen.Err;
    TDatabase db("ardvin_my1000");
    ASSERT_EQ(RunMariaDBScript(db.Name, gen.Out), "");

    const auto start = std::chrono::steady_clock::now();
    const auto dd = Reverse(db.Name, "mariadb10");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const TModelCounts n = CountModel(*dd);

    TMariaDBConnection server(db.Name);
    const std::string here = " WHERE TABLE_SCHEMA = DATABASE()";
    EXPECT_EQ(n.Tables, 1000);
    EXPECT_EQ(n.Tables,
              Count(server, "SELECT COUNT(*) FROM information_schema.TABLES" + here + " AND TABLE_TYPE = 'BASE TABLE'"));
    EXPECT_EQ(n.Columns, Count(server, "SELECT COUNT(*) FROM information_schema.COLUMNS c JOIN information_schema.TABLES t "
                                     "USING (TABLE_SCHEMA, TABLE_NAME) WHERE c.TABLE_SCHEMA = DATABASE() AND "
                                     "t.TABLE_TYPE = 'BASE TABLE'"));
    EXPECT_EQ(n.KeyColumns, Count(server, "SELECT COUNT(*) FROM information_schema.STATISTICS" + here +
                                            " AND INDEX_NAME = 'PRIMARY'"));
    EXPECT_EQ(n.Relationships,
              Count(server, "SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                            "CONSTRAINT_SCHEMA = DATABASE()"));
    EXPECT_EQ(n.Pairs, Count(server, "SELECT COUNT(*) FROM information_schema.KEY_COLUMN_USAGE" + here +
                                       " AND REFERENCED_TABLE_NAME IS NOT NULL"));
    EXPECT_EQ(n.Uniques, Count(server, "SELECT COUNT(DISTINCT TABLE_NAME, INDEX_NAME) FROM information_schema.STATISTICS" +
                                         here + " AND NON_UNIQUE = 0 AND INDEX_NAME <> 'PRIMARY'"));
    EXPECT_EQ(n.Checks, Count(server, "SELECT COUNT(*) FROM information_schema.CHECK_CONSTRAINTS WHERE "
                                    "CONSTRAINT_SCHEMA = DATABASE()"));
    // Indexes of their own: not those the server makes for foreign keys, named after them.
    EXPECT_EQ(n.Indexes, Count(server, "SELECT COUNT(DISTINCT s.TABLE_NAME, s.INDEX_NAME) FROM "
                                       "information_schema.STATISTICS s WHERE s.TABLE_SCHEMA = DATABASE() AND "
                                       "s.NON_UNIQUE = 1 AND NOT EXISTS (SELECT 1 FROM "
                                       "information_schema.REFERENTIAL_CONSTRAINTS r WHERE r.CONSTRAINT_SCHEMA = "
                                       "s.TABLE_SCHEMA AND r.TABLE_NAME = s.TABLE_NAME AND r.CONSTRAINT_NAME = "
                                       "s.INDEX_NAME)"));
    EXPECT_EQ(n.Views, Count(server, "SELECT COUNT(*) FROM information_schema.VIEWS" + here));
    EXPECT_GT(n.Relationships, 100);
    EXPECT_GT(n.Indexes, 100);
    std::cout << "1,000-table MariaDB database reverse engineered in " << seconds << " s: " << n.Text() << "\n";
}
