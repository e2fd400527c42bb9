#include <gtest/gtest.h>

#include <map>
#include <set>
#include <typeinfo>
#include <memory>

#include "TestImportTargets.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zDBScript.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSQLParser.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::TempDir;

namespace {

using Strings = std::vector<std::string>;

// A connection that answers its catalogue queries from rows given by the test. Every query kind
// has the text "kind <n> in <%schemaname> of <%schemaobject>.<%s>", so that the rows of a
// per-table query are looked up under the filled text.
class TReplayConnection : public TDBConnection {
public:
    std::map<std::string, TDBRowSet> Results;
    Strings Run; // the query texts, in order
    std::set<int> Kinds;

    // Rows of a query kind; table is "schema.name" for the per-table kinds.
    void Set(int kind, const std::string& table, TDBRowSet rows) {
        Kinds.insert(kind);
        Results["kind " + std::to_string(kind) + " in " + Parameters.GetValue("SCHEMANAME") + " of " +
                (table.empty() ? std::string(".") : table)] = std::move(rows);
    }
    void GetSQL(int kind, std::string& sql) const override {
        sql.clear();
        if (!Kinds.count(kind)) return;
        const bool perTable = kind >= qkColumns && kind <= qkIndexes;
        sql = "kind " + std::to_string(kind) + " in %schemaname of " + (perTable ? "%schemaobject.%s" : ".");
    }
    std::unique_ptr<TDBQuery> CreateQuery() override {
        return std::make_unique<TDBMemoryQuery>([this](const std::string& sql) {
            Run.push_back(sql);
            const auto it = Results.find(sql);
            return it == Results.end() ? TDBRowSet() : it->second;
        });
    }
};

TDBRowSet Rows(Strings columns, std::vector<std::vector<TDBField>> rows) {
    return TDBRowSet{std::move(columns), std::move(rows)};
}

class ImportFrameworkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        test::BuildImportTargets(*dir_);
    }
    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override {
        dd.SetTarget("postgresql15");
        db.DBID = "postgresql";
        db.Target = dd.GetDatabaseSettings();
    }

    TVELAttribute* Column(const std::string& table, const std::string& column) const {
        TVELEntity* entity = dd.FindEntity(table);
        return entity ? dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(column)) : nullptr;
    }

    static std::unique_ptr<TempDir> dir_;
    TVELDataDictionary dd;
    TReplayConnection db;
};

std::unique_ptr<TempDir> ImportFrameworkTest::dir_;

} // namespace

TEST(QueryResults, MemoryQueriesReadRowsByColumnName) {
    std::string seen;
    TDBMemoryQuery query([&](const std::string& sql) {
        seen = sql;
        return Rows({"RE_NAME", "re_count"}, {{"a", " 12 "}, {nullptr, "x"}});
    });
    query.AddSQL("SELECT 1");
    query.AddSQL("FROM t");
    EXPECT_EQ(query.SQLText(), "SELECT 1\nFROM t");
    query.Open();
    EXPECT_EQ(seen, "SELECT 1\nFROM t");
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldByName("re_name")->AsString(), "a");
    EXPECT_EQ(query.FieldByName("RE_COUNT")->AsInteger(), 12);
    EXPECT_EQ(query.FieldByName("RE_OTHER"), nullptr);
    query.Next();
    EXPECT_TRUE(query.FieldByName("RE_NAME")->IsNull());
    EXPECT_EQ(query.FieldByName("RE_NAME")->AsString(), "");
    EXPECT_EQ(query.FieldByName("RE_COUNT")->AsInteger(), 0) << "not a number";
    query.Next();
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.FieldByName("RE_NAME"), nullptr) << "no current row";
    query.Next();
    EXPECT_TRUE(query.Eof());
    query.Close();
    EXPECT_TRUE(query.Eof());
}

TEST(DriverFactory, DriverNamesGiveConnectionsWithTheirScripts) {
    for (const char* name : {"sql", "mysql", "sqlite", "interbase", "mssqlserver", "oracle", "db2"}) {
        std::unique_ptr<TDBConnection> connection = CreateConnection(name);
        ASSERT_NE(connection, nullptr) << name;
        EXPECT_EQ(connection->DBID, name);
        EXPECT_EQ(connection->CreateQuery(), nullptr) << "script import reads no database";
    }
    // A catalogue driver: its queries read a database it has yet to connect to.
    const std::unique_ptr<TDBConnection> postgresql = CreateConnection("postgresql");
    EXPECT_EQ(postgresql->DBID, "postgresql");
    EXPECT_FALSE(postgresql->Connected());
    EXPECT_NE(postgresql->CreateQuery(), nullptr);
    EXPECT_NE(dynamic_cast<TPostgreSQLScript*>(postgresql->CreateScript().get()), nullptr);
    EXPECT_NE(dynamic_cast<TMSSQLScript*>(CreateConnection("mssqlserver")->CreateScript().get()), nullptr);
    EXPECT_NE(dynamic_cast<TOracleScript*>(CreateConnection("oracle")->CreateScript().get()), nullptr);
    EXPECT_NE(dynamic_cast<TMySQLScript*>(CreateConnection("mysql")->CreateScript().get()), nullptr);
    const std::unique_ptr<TDBScript> plain = CreateConnection("sql")->CreateScript();
    EXPECT_EQ(typeid(*plain), typeid(TDBScript));
    TVELDatabaseSettings target;
    std::unique_ptr<TDBConnection> sqlite = CreateConnection("sqlite");
    sqlite->Target = &target;
    EXPECT_EQ(sqlite->CreateScript()->Target, &target);

    for (const char* unknown : {"", "PostgreSQL", "msaccess"}) {
        try {
            CreateConnection(unknown);
            ADD_FAILURE() << unknown;
        } catch (const EVELError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Invalid database driver. Database driver \"" + std::string(unknown) + "\" not found.");
        }
    }
}

TEST(ObjectFilters, IncludeAndExcludeMasksWithWildcards) {
    TDBConnection connection;
    EXPECT_TRUE(connection.IncludeObject("anything")) << "no filter takes every object";
    connection.IncludeFilter = " A* ";
    connection.ExcludeFilter = "AB*";
    EXPECT_FALSE(connection.IncludeObject("ABC"));
    EXPECT_TRUE(connection.IncludeObject("ACE"));
    EXPECT_TRUE(connection.IncludeObject("ace")) << "masks ignore case";
    EXPECT_FALSE(connection.IncludeObject("XYZ"));
    connection.ExtraInclude = "X?Z";
    EXPECT_TRUE(connection.IncludeObject("XYZ"));
    EXPECT_FALSE(connection.IncludeObject("XYYZ"));
    connection.IncludeFilter = "";
    connection.ExtraInclude = "";
    connection.ExcludeFilter = "tmp_*; ";
    connection.ExtraExclude = "public.log*";
    EXPECT_TRUE(connection.IncludeObject("orders")) << "only exclusions";
    EXPECT_FALSE(connection.IncludeObject("tmp_orders"));
    EXPECT_FALSE(connection.IncludeObject("public.logins"));
    EXPECT_TRUE(connection.IncludeObject("audit.logins"));
    EXPECT_TRUE(MatchesMask("Order Details", "order*"));
    EXPECT_FALSE(MatchesMask("Orders", "?rder"));
}

TEST(ConnectionBasics, RulesNamesAndEmptyOperations) {
    TDBConnection connection;
    EXPECT_EQ(connection.RuleFromText("cascade"), raCascade);
    EXPECT_EQ(connection.RuleFromText("SET NULL"), raSetNull);
    EXPECT_EQ(connection.RuleFromText("set_null"), raSetNull);
    EXPECT_EQ(connection.RuleFromText("RESTRICT"), raRestrict);
    EXPECT_EQ(connection.RuleFromText("Set Default"), raSetDefault);
    EXPECT_EQ(connection.RuleFromText("SET_DEFAULT"), raSetDefault);
    EXPECT_EQ(connection.RuleFromText("NO ACTION"), raNone);
    std::string text = "x";
    connection.NormalizeName("desc", text);
    EXPECT_EQ(text, "DESC");
    connection.GetDescription(text);
    EXPECT_EQ(text, "");
    connection.GetSystemSchemaList(text);
    EXPECT_EQ(text, "");
    Strings list{"stale"};
    connection.ListTables(list);
    EXPECT_TRUE(list.empty()) << "a connection without queries lists nothing";
    EXPECT_EQ(connection.RowCount("t"), 0);
    EXPECT_EQ(connection.CreateTableQuery("t"), nullptr);
    TVELDataDictionary dd;
    EXPECT_THROW(connection.ReverseEngineer(dd), EVELError);
    try {
        connection.ReverseEngineer(dd);
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Please set DBID first before calling this procedure.");
    }
}

TEST_F(ImportFrameworkTest, TablesColumnsKeysIndexesAndTriggers) {
    db.Parameters.SetValue("SCHEMANAME", "sales");
    db.Set(qkTables, "", Rows({"RE_TABLENAME", "RE_SCHEMANAME", "RE_COMMENT"},
                              {{"orders", "sales", "All orders"}, {"skipped", "sales", nullptr}, {"lines", "", nullptr}}));
    db.Set(qkColumns, "sales.orders",
           Rows({"RE_COLUMNNAME", "RE_DATATYPE", "RE_LENGTH", "RE_CHAR_LENGTH", "RE_PRECISION", "RE_REQUIRED",
                 "RE_NOTREQUIRED", "RE_NULLCONNAME", "RE_DEFAULTVALUE", "RE_DEFAULTCONNAME", "RE_COMMENT",
                 "RE_COLLATION", "RE_CHARACTERSET", "RE_AUTONUMBER", "RE_SEED", "RE_INCREMENT", "RE_SCRIPTDATATYPE",
                 "RE_COLUMNOPTIONS", "RE_ISCOMPUTED"},
                {
                    {"id", "int4", "4", nullptr, nullptr, "YES", nullptr, "nn_id", nullptr, nullptr, "the key",
                     nullptr, nullptr, "TRUE", "100", "5", nullptr, nullptr, "0"},
                    {"code", "varchar", "400", "100", nullptr, "1", "Y", nullptr, "('none')", "df_code", nullptr,
                     "C", "UTF8", "0", nullptr, nullptr, nullptr, "STORAGE PLAIN", nullptr},
                    {"amount", nullptr, nullptr, nullptr, nullptr, "y", nullptr, nullptr, "((0))", nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr, nullptr, "numeric(12,2)", nullptr, nullptr},
                }));
    db.Set(qkPrimaryKey, "sales.orders",
           Rows({"RE_CONNAME", "RE_COLUMNNAME", "RE_POS"}, {{"pk_orders", "code", "1"}, {"pk_orders", "id", "2"}}));
    db.Set(qkUniqueConstraints, "sales.orders",
           Rows({"RE_CONNAME", "RE_COLUMNNAME"}, {{"uq_a", "code"}, {"uq_b", "id"}, {"uq_a", "amount"}}));
    db.Set(qkCheckConstraints, "sales.orders",
           Rows({"RE_CONNAME", "RE_CONSTRAINT", "RE_COMMENT"}, {{"ck_amount", "(amount >= 0)", "positive"}}));
    db.Set(qkIndexes, "sales.orders",
           Rows({"RE_INDEXNAME", "RE_COLUMNNAME", "RE_INDEXTYPE", "RE_CLUSTERING", "RE_SORTOPTION", "RE_COMMENT",
                 "RE_INDEXOPTIONS"},
                {{"ix_code", "code", "unique", "btree", "desc", "by code", "WITH (fillfactor=70)"},
                 {"ix_code", "lower(code)", nullptr, nullptr, "asc", nullptr, nullptr}}));
    db.Set(qkTriggers, "sales.orders",
           Rows({"RE_TRIGGERNAME", "RE_BODY", "RE_COMMENT"},
                {{"tr_orders", "CREATE TRIGGER tr_orders\nBEFORE INSERT ", "checks"}, {"tr_orders", "ON orders", nullptr}}));
    db.Tables = {"sales.orders", "SALES.skipped", "lines"};
    db.ExcludeFilter = "*.skip*";
    std::vector<TVELNamedObject*> added;
    db.OnObjectAdded = [&](TDBConnection*, TVELNamedObject* object) { added.push_back(object); };
    db.ReverseEngineer(dd);

    std::vector<TVELEntity*> entities;
    dd.Entities(entities);
    ASSERT_EQ(entities.size(), 2u) << "the exclude filter drops one table";
    TVELEntity* orders = dd.FindEntity("sales.orders");
    ASSERT_NE(orders, nullptr);
    EXPECT_EQ(orders->Comment, "All orders");
    EXPECT_NE(dd.FindEntity("lines"), nullptr);
    EXPECT_EQ(dd.FindEntity("lines")->SchemaName, "");

    TVELAttribute* id = Column("sales.orders", "id");
    EXPECT_EQ(id->DataType->DataType, "INTEGER") << "a synonym of the target";
    EXPECT_EQ(id->DataType->Length, "4");
    EXPECT_TRUE(id->IsNotNull());
    EXPECT_EQ(id->NotNullConstraint()->Name, "nn_id") << "the target writes no such names, but keeps them";
    EXPECT_EQ(id->Comment, "the key");
    EXPECT_TRUE(id->DataType->AutoNumber);
    EXPECT_EQ(id->DataType->Seed, 100);
    EXPECT_EQ(id->DataType->Increment, 5);
    TVELAttribute* code = Column("sales.orders", "code");
    EXPECT_EQ(code->DataType->Length, "100") << "the length in characters wins";
    EXPECT_FALSE(code->IsNotNull()) << "RE_NOTREQUIRED comes later and wins";
    EXPECT_EQ(code->DefaultValue(), "'none'");
    EXPECT_EQ(code->DefaultConstraint()->Name, "df_code");
    EXPECT_EQ(code->Collate, "C");
    EXPECT_EQ(code->DataType->CharacterSet, "UTF8");
    EXPECT_EQ(code->AttributeOptions, "STORAGE PLAIN");
    EXPECT_FALSE(code->DataType->AutoNumber);
    TVELAttribute* amount = Column("sales.orders", "amount");
    EXPECT_EQ(amount->DataType->DataType, "NUMERIC");
    EXPECT_EQ(amount->DataType->Length, "12");
    EXPECT_EQ(amount->DataType->Precision, 2);
    EXPECT_EQ(amount->DefaultValue(), "(0)") << "one pair of parentheses goes";

    EXPECT_EQ(orders->PrimaryKey->GetName(), "pk_orders");
    Strings key;
    orders->PrimaryKey->AttributeIDs.GetNames(key);
    EXPECT_EQ(key, (Strings{"id", "code"})) << "completion puts the key in column order";
    ASSERT_EQ(orders->Constraints.Count(), 3);
    EXPECT_EQ(orders->ConstraintAt(0)->GetName(), "ck_amount");
    EXPECT_EQ(orders->ConstraintAt(0)->Value, "amount >= 0");
    EXPECT_EQ(orders->ConstraintAt(0)->Comment, "positive");
    EXPECT_EQ(orders->ConstraintAt(1)->GetName(), "uq_a");
    EXPECT_EQ(orders->ConstraintAt(1)->AttributeIDs.NamesText(), "code, amount");
    EXPECT_EQ(orders->ConstraintAt(2)->AttributeIDs.NamesText(), "id");

    ASSERT_EQ(orders->Indexes.Count(), 1);
    const TVELIndex* index = orders->IndexAt(0);
    EXPECT_EQ(index->GetName(), "ix_code");
    EXPECT_EQ(index->IndexType, "UNIQUE");
    EXPECT_EQ(index->Clustering, "btree");
    EXPECT_EQ(index->Comment, "by code");
    EXPECT_EQ(index->IndexOptions, "WITH (fillfactor=70)");
    ASSERT_EQ(index->Columns.Count(), 2);
    EXPECT_EQ(index->Column(0)->GetAttribute(), code);
    EXPECT_EQ(index->Column(0)->SortOption, "DESC");
    EXPECT_TRUE(index->Column(1)->IsExpression);
    EXPECT_EQ(index->Column(1)->Expression, "lower(code)");

    ASSERT_EQ(orders->Triggers.Count(), 1);
    EXPECT_EQ(orders->TriggerAt(0)->Code, "CREATE TRIGGER %triggername%\r\nBEFORE INSERT ON %tablename%");
    EXPECT_EQ(orders->TriggerAt(0)->Comment, "checks");

    EXPECT_EQ(db.Lines[0], "Reverse engineer/import PostgreSQL 15 database.");
    EXPECT_EQ(db.Lines[1].rfind("Date/time: 20", 0), 0u);
    const Strings expected = {"Adding table \"orders\".", "Adding table \"lines\".", "Adding column \"orders.id\".",
                              "Adding index \"orders.ix_code\".", "Adding trigger \"orders.tr_orders\"."};
    for (const std::string& line : expected)
        EXPECT_NE(std::find(db.Lines.begin(), db.Lines.end(), line), db.Lines.end()) << line;
    EXPECT_EQ(added.size(), 7u) << "two tables, three columns, an index and a trigger";
    EXPECT_NE(std::find(db.Run.begin(), db.Run.end(), "kind 2 in sales of sales.orders"), db.Run.end())
        << "placeholders filled";
}

TEST_F(ImportFrameworkTest, RelationshipsDomainsCodeObjectsAndRules) {
    db.Set(qkTables, "", Rows({"RE_TABLENAME", "RE_SCHEMANAME"}, {{"parent", "s"}, {"child", "s"}}));
    db.Set(qkColumns, "s.parent", Rows({"RE_COLUMNNAME", "RE_DATATYPE"}, {{"a", "integer"}, {"b", "integer"}}));
    db.Set(qkColumns, "s.child",
           Rows({"RE_COLUMNNAME", "RE_DATATYPE"}, {{"id", "integer"}, {"pa", "integer"}, {"pb", "integer"}, {"m", "money_t"}}));
    db.Set(qkPrimaryKey, "s.parent", Rows({"RE_CONNAME", "RE_COLUMNNAME"}, {{"pk_parent", "a"}, {"pk_parent", "b"}}));
    db.Set(qkRelationships, "",
           Rows({"RE_PARENTSCHEMA", "RE_PARENT", "RE_PARENTCOLUMN", "RE_CHILDSCHEMA", "RE_CHILD", "RE_CHILDCOLUMN",
                 "RE_UPDATERULE", "RE_DELETERULE", "RE_CONNAME"},
                {{"s", "parent", "a", "s", "child", "pa", "CASCADE", "SET NULL", "fk_child"},
                 {"s", "parent", "b", "s", "child", "pb", "CASCADE", "SET NULL", "fk_child"},
                 {"s", "missing", "a", "s", "child", "pa", nullptr, nullptr, "fk_gone"},
                 {"s", "parent", "nocolumn", "s", "child", "pa", nullptr, nullptr, "fk_gone2"}}));
    db.Set(qkDomains, "",
           Rows({"RE_DOMAINNAME", "RE_SCHEMANAME", "RE_DATATYPE", "RE_PRECISION", "RE_LENGTH", "RE_DEFAULTVALUE",
                 "RE_CHECKCONSTRAINT", "RE_CHECKCONNAME", "RE_COMMENT", "RE_COLLATION"},
                {{"money_t", "s", "numeric", "2", "12", "(0)", "(VALUE >= 0)", "ck_money", "amounts", "C"},
                 {"tmp_d", "s", "text", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}}));
    db.Set(qkProcedures, "", Rows({"RE_PROCNAME", "RE_SCHEMANAME", "RE_BODY", "RE_COMMENT"},
                                  {{"p", "s", "CREATE PROCEDURE p\n", "first"},
                                   {"p", "s", "BEGIN\n", nullptr},
                                   {"p", "s", "END", nullptr},
                                   {"tmp_p", "s", "x", nullptr}}));
    db.Set(qkViews, "", Rows({"RE_VIEWNAME", "RE_SCHEMANAME", "RE_BODY", "RE_COMMENT"},
                             {{"v", "s", "CREATE VIEW v AS SELECT 1", "a view"}}));
    db.Set(qkRules, "", Rows({"RE_RULENAME", "RE_SCHEMANAME", "RE_BODY", "RE_RULETYPE"},
                             {{"r", "s", "CREATE RULE r AS ON INSERT TO s.child DO NOTHING", "ON INSERT"}}));
    db.Tables = {"s.parent", "s.child"};
    db.ExcludeFilter = "s.tmp_*";
    db.ReverseEngineer(dd);

    std::vector<TVELRelationship*> relationships;
    dd.Relationships(relationships);
    ASSERT_EQ(relationships.size(), 1u) << "two rows of one key; rows naming what is missing are skipped";
    const TVELRelationship& fk = *relationships[0];
    EXPECT_EQ(fk.GetName(), "fk_child");
    EXPECT_EQ(fk.FKConstraint->Name, "fk_child");
    EXPECT_EQ(fk.GetParentEntity(), dd.FindEntity("s.parent"));
    EXPECT_EQ(fk.GetChildEntity(), dd.FindEntity("s.child"));
    ASSERT_EQ(fk.Pairs.Count(), 2);
    EXPECT_EQ(fk.ChildAttribute(fk.PairAt(1)->ForeignKeyID)->GetName(), "pb");
    EXPECT_EQ(fk.UpdateRule, raCascade);
    EXPECT_EQ(fk.DeleteRule, raSetNull);
    EXPECT_EQ(dd.FindEntity("s.child")->Attributes.Count(), 4) << "no columns of propagation";

    std::vector<TVELDomain*> domains;
    dd.Domains(domains);
    ASSERT_EQ(domains.size(), 1u);
    const TVELDomain& money = *domains[0];
    EXPECT_EQ(money.GetNonQuotedQualifiedName(), "s.money_t");
    EXPECT_EQ(money.DataType->DataType, "NUMERIC");
    EXPECT_EQ(money.DataType->Length, "12");
    EXPECT_EQ(money.DataType->Precision, 2);
    EXPECT_EQ(money.DefaultValue(), "0");
    EXPECT_EQ(money.CheckValue(), "VALUE >= 0");
    EXPECT_EQ(money.CheckConstraint()->Name, "ck_money");
    EXPECT_EQ(money.Comment, "amounts");
    EXPECT_EQ(money.Collate, "C");
    EXPECT_EQ(Column("s.child", "m")->DomainID, money.ID) << "a column of the domain's type uses the domain";

    std::vector<TVELProcedure*> procedures;
    dd.Procedures(procedures);
    ASSERT_EQ(procedures.size(), 1u);
    EXPECT_EQ(procedures[0]->Code, "CREATE PROCEDURE %procname%\r\nBEGIN\r\nEND") << "three rows, one body";
    EXPECT_EQ(procedures[0]->Comment, "first");
    std::vector<TVELView*> views;
    dd.Views(views);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]->Code, "CREATE VIEW %viewname% AS SELECT 1");
    EXPECT_EQ(views[0]->Comment, "a view");
    std::vector<TVELRule*> rules;
    dd.Rules(rules);
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0]->RuleType, "ON INSERT");
    for (const char* line : {"Adding relationship \"fk_child\".", "Adding domain \"money_t\".",
                             "Adding procedure \"p\".", "Adding view \"v\".", "Adding rule \"r\"."})
        EXPECT_NE(std::find(db.Lines.begin(), db.Lines.end(), line), db.Lines.end()) << line;
}

TEST_F(ImportFrameworkTest, OptionsSkipPhases) {
    db.Set(qkTables, "", Rows({"RE_TABLENAME"}, {{"t"}}));
    db.Set(qkColumns, ".t", Rows({"RE_COLUMNNAME", "RE_DATATYPE"}, {{"a", "integer"}}));
    db.Set(qkUniqueConstraints, ".t", Rows({"RE_CONNAME", "RE_COLUMNNAME"}, {{"u", "a"}}));
    db.Set(qkCheckConstraints, ".t", Rows({"RE_CONNAME", "RE_CONSTRAINT"}, {{"c", "a > 0"}}));
    db.Set(qkIndexes, ".t", Rows({"RE_INDEXNAME", "RE_COLUMNNAME"}, {{"i", "a"}}));
    db.Set(qkTriggers, ".t", Rows({"RE_TRIGGERNAME", "RE_BODY"}, {{"tr", "x"}}));
    db.Set(qkProcedures, "", Rows({"RE_PROCNAME", "RE_BODY"}, {{"p", "x"}}));
    db.Set(qkViews, "", Rows({"RE_VIEWNAME", "RE_BODY"}, {{"v", "x"}}));
    db.Set(qkRules, "", Rows({"RE_RULENAME", "RE_BODY"}, {{"r", "x"}}));
    db.Tables = {"t"};
    for (const char* option : {"RevEngUniqueConstraints", "RevEngCheckConstraints", "RevEngIndexes", "RevEngTriggers",
                               "RevEngProcedures", "RevEngViews", "RevEngRules", "RevEngRelationships"})
        db.Options.SetValue(option, "0");
    db.ReverseEngineer(dd);
    ASSERT_EQ(dd.Count(), 1);
    TVELEntity* t = dd.FindEntity("t");
    EXPECT_EQ(t->Attributes.Count(), 1);
    EXPECT_EQ(t->Constraints.Count() + t->Indexes.Count() + t->Triggers.Count(), 0);
    for (const std::string& sql : db.Run)
        EXPECT_TRUE(sql.rfind("kind 0 ", 0) == 0 || sql.rfind("kind 2 ", 0) == 0 || sql.rfind("kind 3 ", 0) == 0 ||
                    sql.rfind("kind 11 ", 0) == 0)
            << sql << " should not run";
}

TEST_F(ImportFrameworkTest, ListsCountsStatementsAndDomainChecks) {
    db.Set(qkTables, "", Rows({"RE_TABLENAME", "RE_SCHEMANAME"}, {{"a", "s1"}, {"b", "s2"}, {"c", "s1"}, {"d", ""}}));
    db.Set(qkViews, "", Rows({"RE_VIEWNAME"}, {{"v"}}));
    db.Set(qkProcedures, "", Rows({"RE_PROCNAME", "RE_SCHEMANAME"}, {{"p", "s1"}}));
    db.Set(qkSequences, "", Rows({"RE_SEQUENCENAME"}, {{"q"}}));
    db.Set(qkDomains, "", Rows({"RE_DOMAINNAME"}, {{"dm"}}));
    db.Set(qkRelationships, "", Rows({"RE_CONNAME"}, {{"fk1"}, {"fk1"}, {"fk2"}}));
    Strings list;
    db.ListTables(list);
    EXPECT_EQ(list, (Strings{"s1.a", "s2.b", "s1.c", "d"}));
    db.ListTableSchemas(list);
    EXPECT_EQ(list, (Strings{"s1", "s2", ""}));
    db.ListViews(list);
    EXPECT_EQ(list, Strings{"v"});
    db.ListProcedures(list);
    EXPECT_EQ(list, Strings{"s1.p"});
    db.ListSequences(list);
    EXPECT_EQ(list, Strings{"q"});
    db.ListDomains(list);
    EXPECT_EQ(list, Strings{"dm"});
    db.ListRelationships(list);
    EXPECT_EQ(list, (Strings{"fk1", "fk2"}));

    db.Results["SELECT COUNT(*) AS RE_COUNT FROM s1.a"] = Rows({"RE_COUNT"}, {{"42"}});
    EXPECT_EQ(db.RowCount("s1.a"), 42);
    db.DeleteRows("s1.a");
    EXPECT_EQ(db.Run.back(), "DELETE FROM s1.a");
    const size_t before = db.Run.size();
    db.RunTableStatement1("s1.a");
    db.RunTableStatement2("s1.a");
    EXPECT_EQ(db.Run.size(), before) << "no table statements in the base";

    TVELDomain* domain = static_cast<TVELDomain*>(NewImportedObject(dd, otDomain, "", "amount"));
    EXPECT_TRUE(db.MergeDomainCheck(dd, "AMOUNT", "VALUE > 0", ""));
    EXPECT_EQ(domain->CheckValue(), "VALUE > 0");
    EXPECT_TRUE(db.MergeDomainCheck(dd, "amount", "VALUE < 100", "bounded"));
    EXPECT_EQ(domain->CheckValue(), "(VALUE > 0) AND (VALUE < 100)");
    EXPECT_EQ(domain->Comment, "bounded");
    EXPECT_FALSE(db.MergeDomainCheck(dd, "other", "x", ""));

    auto* table = static_cast<TVELEntity*>(NewImportedObject(dd, otEntity, "", "t"));
    TVELAttribute* column = table->AddAttribute(false);
    db.SetScriptDataType(column, "character varying(30)");
    EXPECT_EQ(column->DataType->DataType, "VARCHAR");
    EXPECT_EQ(column->DataType->Length, "30");
    db.SetDataType(column, "amount", 1, 1, false, 0, 0, "");
    EXPECT_EQ(column->DomainID, domain->ID);
    db.SetDataType(domain, "numeric", 2, 3, true, 4, 5, "10");
    EXPECT_EQ(domain->DataType->DataType, "NUMERIC");
    EXPECT_EQ(domain->DataType->Length, "10");
    EXPECT_EQ(domain->DataType->Precision, 5);
    EXPECT_TRUE(domain->DataType->AutoNumber);
    EXPECT_EQ(domain->DataType->Seed, 3);
    EXPECT_EQ(domain->DataType->Increment, 2);
}

TEST_F(ImportFrameworkTest, ImportFromDatabaseListsTablesHandsOverTheLogAndChecks) {
    db.Set(qkTables, "", Rows({"RE_TABLENAME"}, {{"a"}, {"b"}}));
    TVELSettingsList parameters;
    parameters.SetValue("Host", "localhost");
    TVELSettingsList options;
    options.SetValue("RevEngViews", "0");
    Strings log{"earlier"};
    db.DBID.clear();
    ImportFromDatabase(db, dd, parameters, options, nullptr, &log);
    EXPECT_EQ(db.DBID, "postgresql");
    EXPECT_EQ(db.Parameters.GetValue("Host"), "localhost");
    EXPECT_EQ(db.Options.GetValue("RevEngViews"), "0");
    EXPECT_EQ(db.Tables, (Strings{"a", "b"}));
    EXPECT_EQ(dd.Count(), 2);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "earlier");
    EXPECT_EQ(log[1], "Reverse engineer/import PostgreSQL 15 database.");

    TVELDataDictionary one;
    one.SetTarget("postgresql15");
    TReplayConnection selected;
    selected.Set(qkTables, "", Rows({"RE_TABLENAME"}, {{"a"}, {"b"}}));
    const Strings selection{"b"};
    ImportFromDatabase(selected, one, parameters, options, &selection, nullptr);
    EXPECT_EQ(one.Count(), 1);
    EXPECT_NE(one.FindEntity("b"), nullptr);

    TVELDataDictionary empty;
    empty.SetTarget("postgresql15");
    TReplayConnection nothing;
    options.SetValue("CheckWhetherImportWasSuccessFul", "1");
    EXPECT_THROW(ImportFromDatabase(nothing, empty, parameters, options, nullptr, nullptr), EVELError);
    options.SetValue("CheckWhetherImportWasSuccessFul", "0");
    EXPECT_NO_THROW(ImportFromDatabase(nothing, empty, parameters, options, nullptr, nullptr));

    // through the factory: the target's driver connects, and no server listens on port 1
    TVELDataDictionary viaFactory;
    viaFactory.SetTarget("postgresql15");
    parameters.SetValue("Port", "1");
    EXPECT_THROW(ImportFromDatabase(viaFactory, parameters, TVELSettingsList(), nullptr, nullptr), EVELError);
    EXPECT_EQ(viaFactory.Count(), 0);
}

TEST_F(ImportFrameworkTest, ImportCheckHintsPerDriver) {
    auto hint = [](const std::string& target) {
        TVELDataDictionary model;
        model.SetTarget(target);
        try {
            ImportCheck(model);
        } catch (const EVELError& e) {
            return std::string(e.what());
        }
        return std::string("(none)");
    };
    const std::string found = "Connection to the database is correct but no database objects were found.";
    const std::string typo = found + " This is often caused by a \"typo\" in one of the connection parameters:";
    const std::string schema = "* Owner/Schema name\nSuggestion, use an empty Owner/Schema name field to see which "
                               "schemas can be imported with your user name/password.";
    EXPECT_EQ(hint("oracle19"), typo +
                                      "\n* Case sensitive\nAll fields (database name, schema/owner etc) are case "
                                      "sensitive when connecting to an Oracle database. Please be sure you use the "
                                      "correct casing.\n\n" +
                                      schema);
    EXPECT_EQ(hint("mssqlserver2019"), typo + "\n\n" + schema);
    EXPECT_EQ(hint("postgresql15"),
              found + " Please try it again without an Owner/schema name.\n\n" + schema);
    EXPECT_EQ(hint("mysql8"), "(none)");
    NewImportedObject(dd, otEntity, "", "t");
    EXPECT_NO_THROW(ImportCheck(dd));
}

TEST_F(ImportFrameworkTest, ImportFromScriptReadsAFile) {
    TempDir files;
    try {
        ImportFromScript(dd, "  " + files.File("missing.sql") + " ", {}, nullptr);
        ADD_FAILURE() << "a missing file ends the import";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Database structure dump file (sql file) \"" + files.File("missing.sql") + "\" does not exist.");
    }
    test::WriteFile(files.File("schema.sql"), "CREATE TABLE a (id integer PRIMARY KEY);\n"
                                              "CREATE TABLE b (id integer, CONSTRAINT pk PRIMARY KEY);\n"
                                              "CREATE VIEW v AS SELECT 1;\n");
    TVELSettingsList options;
    options.SetValue("RevEngViews", "0");
    Strings log;
    EXPECT_EQ(ImportFromScript(dd, files.File("schema.sql"), options, &log), 1);
    EXPECT_EQ(dd.Count(), 2) << "the options reach the parser";
    EXPECT_NE(std::find(log.begin(), log.end(), "Adding table \"a\"."), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "Error : b : Primary Key columns not found for Primary Key constraint \"pk\"."),
              log.end());
}
