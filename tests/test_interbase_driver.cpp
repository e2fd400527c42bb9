// The InterBase/Firebird driver on database files of the embedded Firebird 3 engine: a model
// that uses every feature of the target is generated, run, reverse engineered and compared
// object by object; names that would break a query pasted together import like any other; a
// database of 1,000 tables is read completely.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <map>
#include <utility>

#include "FirebirdDatabase.h"
#include "FullFeatureModel.h"
#include "TestRoundTrip.h"
#include "TestModelObjects.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zInterBaseDriver.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

TVELSettingsList Parameters(const TFirebirdDatabase& db) {
    TVELSettingsList parameters;
    parameters.SetValue("DatabaseName", db.File());
    parameters.SetValue("UserName", "SYSDBA");
    return parameters;
}

std::unique_ptr<TVELDataDictionary> Reverse(const TFirebirdDatabase& db, std::vector<std::string>* log = nullptr) {
    TargetDatabases().Build(DefinitionsDir());
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget("firebird3");
    ImportFromDatabase(*dd, Parameters(db), {}, nullptr, log);
    return dd;
}

int64_t Count(TInterBaseConnection& db, const std::string& sql) {
    const TDBRowSet rows = db.Run(sql, {});
    return rows.Rows.empty() ? -1 : rows.Rows[0][0].AsInteger();
}

}  // namespace

TEST(InterBaseDriver, FactoryConnectionTextsAndQueriesHoldNoPastedNames) {
    std::unique_ptr<TDBConnection> connection = CreateConnection("interbase");
    auto* ib = dynamic_cast<TInterBaseConnection*>(connection.get());
    ASSERT_NE(ib, nullptr);
    EXPECT_EQ(ib->DBID, "interbase");
    EXPECT_FALSE(ib->Connected());
    ExpectNoPastedPlaceholders(*ib);
    std::string sql;
    ib->GetSQL(qkColumns, sql);
    EXPECT_NE(sql.find("RDB$RELATION_NAME = ?"), std::string::npos);
    EXPECT_EQ(TInterBaseConnection::QuoteIdentifier("a\"b"), "\"a\"\"b\"");

    ib->Parameters.SetValue("DatabaseName", "/data/shop.fdb");
    EXPECT_EQ(ib->ConnectionString(), "/data/shop.fdb");
    ib->Parameters.SetValue("Host", "db.example");
    EXPECT_EQ(ib->ConnectionString(), "db.example:/data/shop.fdb");
    ib->Parameters.SetValue("Port", "3051");
    EXPECT_EQ(ib->ConnectionString(), "db.example/3051:/data/shop.fdb");
    std::string description;
    ib->GetDescription(description);
    EXPECT_EQ(description, "db.example/3051:/data/shop.fdb");
    EXPECT_EQ(ib->CreateQuery(), nullptr);
    EXPECT_THROW(ib->Run("SELECT 1 FROM RDB$DATABASE", {}), EVELError);

    // A file that is not there is the engine's error.
    const TempDir dir;
    TInterBaseConnection missing;
    missing.Parameters.SetValue("DatabaseName", dir.File("none.fdb"));
    missing.Parameters.SetValue("UserName", "SYSDBA");
    try {
        missing.Connect();
        ADD_FAILURE() << "connected to a missing file";
    } catch (const EVELError& e) {
        EXPECT_NE(std::string(e.what()), "");
    }
    EXPECT_FALSE(missing.Connected());
}

TEST(InterBaseDriver, RunsBindsValuesAndReadsTextBlobs) {
    TFirebirdDatabase db;
    ASSERT_TRUE(db.Open());
    ASSERT_EQ(db.Exec("CREATE TABLE \"it's\" (ID INTEGER NOT NULL, NOTE BLOB SUB_TYPE TEXT)"), "");
    TInterBaseConnection connection;
    connection.Parameters.Assign(Parameters(db));
    connection.Connect();
    ASSERT_TRUE(connection.Connected());
    const TDBRowSet rows = connection.Run("SELECT CAST(? AS VARCHAR(100)) AS A, CAST(? AS VARCHAR(100)) AS B, "
                                          "CAST(? AS VARCHAR(100)) AS C, CAST(NULL AS INTEGER) AS D FROM RDB$DATABASE",
                                          {"x'; drop table y; --", "Größe"});
    ASSERT_EQ(rows.Rows.size(), 1u);
    EXPECT_EQ(rows.Columns, (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(rows.Rows[0][0].AsString(), "x'; drop table y; --");
    EXPECT_EQ(rows.Rows[0][1].AsString(), "Größe");
    EXPECT_EQ(rows.Rows[0][2].AsString(), "x'; drop table y; --");
    EXPECT_TRUE(rows.Rows[0][3].IsNull());
    EXPECT_THROW(connection.Run("SELECT * FROM NO_SUCH_TABLE", {}), EVELError);

    const std::string longText(20000, 'x');
    connection.StartTransaction();
    connection.Run("INSERT INTO \"it's\" (ID, NOTE) VALUES (1, ?)", {longText});
    connection.Run("INSERT INTO \"it's\" (ID, NOTE) VALUES (2, NULL)", {});
    connection.Commit();
    EXPECT_EQ(connection.RowCount("it's"), 2);
    const TDBRowSet notes = connection.Run("SELECT NOTE FROM \"it's\" ORDER BY ID", {});
    ASSERT_EQ(notes.Rows.size(), 2u);
    EXPECT_EQ(notes.Rows[0][0].AsString(), longText);
    EXPECT_TRUE(notes.Rows[1][0].IsNull());
    connection.DeleteRows("it's");
    EXPECT_EQ(connection.RowCount("it's"), 0);
    connection.Disconnect();
    EXPECT_FALSE(connection.Connected());
}

TEST(InterBaseDriver, NamesThatWouldBreakAQueryImportLikeAnyOther) {
    TFirebirdDatabase db;
    ASSERT_TRUE(db.Open());
    for (const char* sql : {
             "CREATE TABLE Y (ID INTEGER NOT NULL PRIMARY KEY)",
             "CREATE TABLE \"it's\" (ID INTEGER NOT NULL, \"na'me\" VARCHAR(10), CONSTRAINT \"pk'\" PRIMARY KEY (ID), "
             "CONSTRAINT \"u'k\" UNIQUE (\"na'me\"))",
             "COMMENT ON TABLE \"it's\" IS 'quote''s'",
             "COMMENT ON COLUMN \"it's\".\"na'me\" IS 'it''s'",
             "CREATE TABLE \"x'; drop table y; --\" (ID INTEGER NOT NULL PRIMARY KEY, \"ref'\" INTEGER, "
             "CONSTRAINT \"fk'; --\" FOREIGN KEY (\"ref'\") REFERENCES \"it's\" (ID) ON DELETE CASCADE, "
             "CONSTRAINT \"c'k\" CHECK (\"ref'\" > 0))",
             "CREATE DESCENDING INDEX \"ix'\" ON \"x'; drop table y; --\" (\"ref'\", ID)",
             "CREATE TRIGGER \"t'r\" FOR \"it's\" BEFORE INSERT AS BEGIN NEW.ID = NEW.ID + 1; END",
             "CREATE VIEW \"v'w\" AS SELECT ID FROM \"it's\""})
        ASSERT_EQ(db.Exec(sql), "") << sql;
    std::vector<std::string> log;
    const auto dd = Reverse(db, &log);

    TVELEntity* quote = FindTable(*dd, "it's");
    TVELEntity* drop = FindTable(*dd, "x'; drop table y; --");
    ASSERT_NE(quote, nullptr) << JoinStrings(log, "\n");
    ASSERT_NE(drop, nullptr);
    ASSERT_NE(FindTable(*dd, "Y"), nullptr);
    EXPECT_EQ(quote->Comment, "quote's");
    ASSERT_EQ(quote->Attributes.Count(), 2);
    EXPECT_EQ(quote->AttributeAt(1)->GetName(), "na'me");
    EXPECT_EQ(quote->AttributeAt(1)->Comment, "it's");
    EXPECT_EQ(quote->PrimaryKey->GetName(), "pk'");
    EXPECT_TRUE(quote->AttributeAt(0)->IsPrimaryKey());
    bool unique = false, check = false;
    for (int i = 0; i < quote->Constraints.Count(); ++i)
        if (quote->ConstraintAt(i)->GetName() == "u'k") unique = quote->ConstraintAt(i)->ConstraintType == ctUnique;
    for (int i = 0; i < drop->Constraints.Count(); ++i)
        if (drop->ConstraintAt(i)->GetName() == "c'k") check = drop->ConstraintAt(i)->Value == "\"ref'\" > 0";
    EXPECT_TRUE(unique);
    EXPECT_TRUE(check);
    ASSERT_EQ(drop->Indexes.Count(), 1);
    const auto* index = static_cast<TVELIndex*>(drop->Indexes.Items(0));
    EXPECT_EQ(index->GetName(), "ix'");
    ASSERT_EQ(index->Columns.Count(), 2);
    EXPECT_EQ(index->IndexSortOption, "DESCENDING");
    ASSERT_EQ(quote->Triggers.Count(), 1);
    const auto* trigger = static_cast<TVELTrigger*>(quote->Triggers.Items(0));
    EXPECT_EQ(trigger->GetName(), "t'r");
    EXPECT_NE(trigger->Code.find("BEFORE INSERT"), std::string::npos) << trigger->Code;
    EXPECT_NE(trigger->Code.find("NEW.ID = NEW.ID + 1"), std::string::npos) << trigger->Code;

    const auto relationships = All<TVELRelationship>(*dd);
    ASSERT_EQ(relationships.size(), 1u);
    EXPECT_EQ(relationships[0]->GetName(), "fk'; --");
    EXPECT_EQ(relationships[0]->ParentObjectID, quote->ID);
    EXPECT_EQ(relationships[0]->ChildObjectID, drop->ID);
    EXPECT_EQ(relationships[0]->DeleteRule, raCascade);
    const auto views = All<TVELView>(*dd);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]->GetName(), "v'w");
    // No statement was changed by a name.
    EXPECT_EQ(db.Value("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'Y'"), "1");
}

TEST(InterBaseDriver, IdentityAndSequenceSeedsAreTheirFirstNumbers) {
    // Firebird 3 hands out the stored start value plus the step first; the model's seed is that
    // first number, so a generated script and its reverse keep the seed.
    TFirebirdDatabase db;
    ASSERT_TRUE(db.Open());
    for (const char* sql : {
             "CREATE TABLE A (ID INTEGER GENERATED BY DEFAULT AS IDENTITY (START WITH 99) NOT NULL, V INTEGER)",
             "CREATE TABLE B (ID INTEGER GENERATED BY DEFAULT AS IDENTITY NOT NULL, V INTEGER)",
             "CREATE TABLE C (ID BIGINT GENERATED BY DEFAULT AS IDENTITY (START WITH 9223372036854775807) NOT NULL)",
             "CREATE SEQUENCE S1 START WITH 9", "CREATE SEQUENCE S5 START WITH 5 INCREMENT BY 5",
             "INSERT INTO A (V) VALUES (1)", "INSERT INTO B (V) VALUES (1)"})
        ASSERT_EQ(db.Exec(sql), "") << sql;
    EXPECT_EQ(db.Value("SELECT ID FROM A"), "100");
    EXPECT_EQ(db.Value("SELECT ID FROM B"), "1");
    EXPECT_EQ(db.Value("SELECT NEXT VALUE FOR S1 FROM RDB$DATABASE"), "10");
    EXPECT_EQ(db.Value("SELECT NEXT VALUE FOR S5 FROM RDB$DATABASE"), "10");

    std::vector<std::string> log;
    const auto dd = Reverse(db, &log);
    TVELEntity* a = FindTable(*dd, "A");
    TVELEntity* b = FindTable(*dd, "B");
    ASSERT_NE(a, nullptr) << JoinStrings(log, "\n");
    ASSERT_NE(b, nullptr);
    // The largest start value is read without an overflow; it has no 32-bit seed.
    ASSERT_NE(FindTable(*dd, "C"), nullptr);
    EXPECT_TRUE(a->AttributeAt(0)->DataType->AutoNumber);
    EXPECT_EQ(a->AttributeAt(0)->DataType->Seed, 100);
    EXPECT_TRUE(b->AttributeAt(0)->DataType->AutoNumber);
    EXPECT_EQ(b->AttributeAt(0)->DataType->Seed, 1);
    EXPECT_FALSE(a->AttributeAt(1)->DataType->AutoNumber);
    std::map<std::string, std::pair<int32_t, int32_t>> sequences;
    for (const TVELSequence* sequence : All<TVELSequence>(*dd))
        sequences[sequence->GetName()] = {sequence->Seed, sequence->Increment};
    EXPECT_EQ(sequences["S1"], std::make_pair(10, 1));
    EXPECT_EQ(sequences["S5"], std::make_pair(10, 5));
}

TEST(InterBaseDriver, FullFeatureModelRoundTripOnEmbeddedFirebird) {
    const auto model = FullFeatureModel("firebird3");
    const TGeneratedScripts g = GenerateScripts(*model);
    TFirebirdDatabase db;
    ASSERT_TRUE(db.Open());
    ASSERT_EQ(db.Script(g.CreateScript), "") << g.CreateScript;
    std::vector<std::string> log;
    const auto reversed = Reverse(db, &log);
    // What the Firebird engine cannot give back as the model wrote it.
    const std::vector<TAllowedDifference> allowed = {
        {"", "(UPDATERULE|DELETERULE) None", "$1 Restrict",
         "a foreign key written without an action is kept as RESTRICT"},
        {"^INVOICE NUMBERS$", "^(Min|Max|Cycle): .*", "$1:",
         "a Firebird 3 sequence has no bounds and does not cycle"},
        {"^POSITIVE AMOUNT$", "^Comment: .*", "Comment:", "generation writes no comment for a domain"},
        {"^CUSTOMER$", "^(Begin|End) table script: .*", "$1 table script: ",
         "the statements generation writes around a table are no objects of the database"},
        {"^CUSTOMER$", " CONSTRAINT CK_CUSTOMER_(NAME CHECK \\(Name <> ''\\)|SCORE_MIN CHECK \\(Score >= 0\\))", "",
         "the engine keeps a check written with a column as a check of the table"},
        {"^CUSTOMER$", "^CONSTRAINT CK_CUSTOMER_(NAME CHECK \\(Name <> ''\\)|SCORE_MIN CHECK \\(Score >= 0\\))$", "",
         "the engine keeps a check written with a column as a check of the table"},
        {"^CUSTOMER$", "( and a second line\"$|^and a second line\"$)", "",
         "generation writes a comment on one line"},
        {"^CUSTOMERS NOTE$", "^SAY (\"HI\"|HI) ", "SAY HI ", "generation leaves quote characters out of names"},
        {"^CUSTOMERS NOTE$", "PK_CUSTOMER'?S NOTE", "PK_CUSTOMERS NOTE",
         "generation leaves quote characters out of names"},
        // The auto-number trigger is kept in the model with the placeholders generation fills.
        {"^ORDER$", "^NAME TRG_ORDER1 CODE (SET TERM \\^ ;|CREATE TRIGGER %triggername% FOR %tablename%)$",
         "NAME TRG_ORDER1", "the model keeps an auto-number trigger as the template generation fills"},
        {"^ORDER$", "^(CREATE TRIGGER %triggername% FOR %tablename%|\\^|SET TERM ; \\^)$", "",
         "the model keeps an auto-number trigger as the template generation fills"},
        {"^ORDER$", "%columnname%|\"ORDER NO\"", "column", "the model keeps an auto-number trigger as the template generation fills"},
        {"^ORDER$", "%seqname%|\"INVOICE NUMBERS\"", "sequence",
         "the model keeps an auto-number trigger as the template generation fills"},
        {"^CUSTOMER ORDERS$", "^(Code: CREATE VIEW %viewname% AS)( SELECT c\\.\"CUSTOMERID\", c\\.\"NAME\", o\\.\"ORDERID\")?$|"
         "^SELECT c\\.\"CUSTOMERID\", c\\.\"NAME\", o\\.\"ORDERID\"$", "$1",
         "the engine keeps a view's query without the line break before it"},
    };
    EXPECT_EQ(UnexplainedDifferences(*g.Model, *reversed, allowed), "") << JoinStrings(log, "\n");
}

TEST(InterBaseDriver, ThousandTablesReverseCompletely) {
    const RunResult gen = RunProgram("/usr/bin/python3", {SourceDir() + "/../shared/tools/gen_schema.py", "--tables",
                                                          "1000", "--dialect", "firebird"});
    ASSERT_EQ(gen.ExitCode, 0) << gen.Err;
    // Writes are not forced to disk: a script this long would otherwise wait for the disk
    // after each statement.
    TFirebirdDatabase big(false);
    ASSERT_TRUE(big.Open());
    ASSERT_EQ(big.Script(gen.Out), "");
    const std::string file = big.File();

    TVELSettingsList parameters;
    parameters.SetValue("DatabaseName", file);
    parameters.SetValue("UserName", "SYSDBA");
    TargetDatabases().Build(DefinitionsDir());
    TVELDataDictionary reversed;
    reversed.SetTarget("firebird3");
    TVELDataDictionary* dd = &reversed;
    const auto start = std::chrono::steady_clock::now();
    ImportFromDatabase(reversed, parameters, {}, nullptr, nullptr);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const TModelCounts n = CountModel(*dd);

    TInterBaseConnection db;
    db.Parameters.Assign(parameters);
    db.Connect();
    const std::string user = " COALESCE(RDB$SYSTEM_FLAG, 0) = 0";
    EXPECT_EQ(n.Tables, 1000);
    EXPECT_EQ(n.Tables,
              Count(db, "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$VIEW_BLR IS NULL AND" + user));
    EXPECT_EQ(n.Columns, Count(db, "SELECT COUNT(*) FROM RDB$RELATION_FIELDS f JOIN RDB$RELATIONS r ON "
                                 "r.RDB$RELATION_NAME = f.RDB$RELATION_NAME WHERE r.RDB$VIEW_BLR IS NULL AND "
                                 "COALESCE(r.RDB$SYSTEM_FLAG, 0) = 0"));
    const std::string segments = "SELECT COUNT(*) FROM RDB$RELATION_CONSTRAINTS c JOIN RDB$INDEX_SEGMENTS s ON "
                                 "s.RDB$INDEX_NAME = c.RDB$INDEX_NAME WHERE c.RDB$CONSTRAINT_TYPE = ";
    EXPECT_EQ(n.KeyColumns, Count(db, segments + "'PRIMARY KEY'"));
    EXPECT_EQ(n.Pairs, Count(db, segments + "'FOREIGN KEY'"));
    EXPECT_EQ(n.Relationships,
              Count(db, "SELECT COUNT(*) FROM RDB$RELATION_CONSTRAINTS WHERE RDB$CONSTRAINT_TYPE = 'FOREIGN KEY'"));
    // (The system's own tables have unique keys too.)
    const std::string constraints = "SELECT COUNT(*) FROM RDB$RELATION_CONSTRAINTS c JOIN RDB$RELATIONS r ON "
                                    "r.RDB$RELATION_NAME = c.RDB$RELATION_NAME WHERE COALESCE(r.RDB$SYSTEM_FLAG, 0) = 0 "
                                    "AND c.RDB$CONSTRAINT_TYPE = ";
    EXPECT_EQ(n.Uniques, Count(db, constraints + "'UNIQUE'"));
    EXPECT_EQ(n.Checks, Count(db, constraints + "'CHECK'"));
    EXPECT_EQ(n.Indexes, Count(db, "SELECT COUNT(*) FROM RDB$INDICES i WHERE COALESCE(i.RDB$SYSTEM_FLAG, 0) = 0 AND NOT "
                                 "EXISTS (SELECT 1 FROM RDB$RELATION_CONSTRAINTS c WHERE c.RDB$INDEX_NAME = "
                                 "i.RDB$INDEX_NAME)"));
    EXPECT_EQ(n.Views,
              Count(db, "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$VIEW_BLR IS NOT NULL AND" + user));
    EXPECT_GT(n.Relationships, 100);
    EXPECT_GT(n.Indexes, 100);
    std::cout << "1,000-table Firebird database reverse engineered in " << seconds << " s: " << n.Text() << "\n";
}
