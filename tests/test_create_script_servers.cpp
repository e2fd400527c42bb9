// Create and drop scripts of models that use every feature of their target, run on real
// servers: PostgreSQL 15 and MariaDB 10.11 (the throwaway test servers, the MySQL 8 target
// included), SQLite through the library and Firebird 3 through its embedded engine. Each script must run without a single error; the
// server's catalogue must then hold exactly the model's tables, columns, keys, foreign keys,
// indexes, constraints and code objects, and be empty again after the drop script.
#include <gtest/gtest.h>


#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FirebirdDatabase.h"
#include "FullFeatureModel.h"
#include "TestCatalogue.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

// ---- what the servers make of a model -------------------------------------------------------------

// How a server keeps what a script gives it.
struct TServerRules {
    std::string DefaultSchema;
    bool PrimaryKeyNotNull = true;    // key columns are NOT NULL without saying so
    bool KeepsKeyNames = true;        // primary keys keep their names
    std::string PrimaryKeyName;       // the one name of every primary key, when the server has one
    bool KeepsForeignKeyNames = true;
    bool KeepsUniqueNames = true;
    bool ChecksInCatalogue = true;
    bool ColumnChecksNamedByColumn = false;  // unnamed column checks carry their column's name
    std::string NoAction = "NO ACTION";      // the rule a foreign key without action gets
    bool HasComments = false;
    bool IndexKinds = false;          // FULLTEXT and SPATIAL indexes are told apart
    bool SerialHasIndex = false;      // a SERIAL column brings a unique index named after it
    bool UniqueIndexIsConstraint = false;  // a unique index is listed as a unique constraint
};

std::string ActionText(int action, const TServerRules& rules) {
    switch (action) {
    case raRestrict: return "RESTRICT";
    case raCascade: return "CASCADE";
    case raSetNull: return "SET NULL";
    case raSetDefault: return "SET DEFAULT";
    default: return rules.NoAction;
    }
}

// Names as the scripts write them: quote characters cannot stand in a quoted name.
std::string N(const TVELDatabaseSettings& s, const std::string& name) { return s.StripQuotes(name); }

std::string Qualified(const TVELDatabaseSettings& s, const TVELDatabaseObject& object, const TServerRules& rules) {
    const std::string schema = object.SchemaName.empty() ? rules.DefaultSchema : object.SchemaName;
    return (schema.empty() ? "" : schema + ".") + N(s, object.GetName());
}

std::string ColumnList(const TVELDatabaseSettings& s, const std::vector<TVELAttribute*>& columns) {
    std::string text;
    for (const TVELAttribute* a : columns) text += (text.empty() ? "" : ",") + (a ? N(s, a->GetName()) : "?");
    return "(" + text + ")";
}

std::string CommentText(const std::string& comment) {
    std::string text = Trim(comment);
    text = ReplaceAll(ReplaceAll(text, "\r\n", " "), "\n", " ");
    return text;
}

// The catalogue a prepared model should leave on a server.
TCatalogue ExpectedCatalogue(const TVELDataDictionary& model, const TServerRules& rules) {
    const TVELDatabaseSettings& s = *model.GetDatabaseSettings();
    TCatalogue c;
    std::vector<TVELEntity*> tables;
    model.CollectOfClass(tables);
    for (const TVELEntity* t : tables) {
        const std::string table = Qualified(s, *t, rules);
        c["table"].insert(table);
        if (rules.HasComments && !Trim(t->Comment).empty())
            c["comment"].insert(table + ": " + CommentText(t->Comment));
        std::vector<TVELAttribute*> key;
        t->PrimaryKeyAttributes(key);
        for (int i = 0; i < t->Attributes.Count(); ++i) {
            const TVELAttribute* a = t->AttributeAt(i);
            const bool notNull = a->IsNotNull() || (rules.PrimaryKeyNotNull && a->IsPrimaryKey());
            c["column"].insert(table + ": " + std::to_string(i + 1) + " " + N(s, a->GetName()) +
                               (notNull ? " NOT NULL" : ""));
            if (rules.HasComments && !Trim(a->Comment).empty())
                c["comment"].insert(table + "." + N(s, a->GetName()) + ": " + CommentText(a->Comment));
            if (rules.SerialHasIndex && SameText(a->DataType->DataType, "SERIAL"))
                c["unique"].insert(table + " " + N(s, a->GetName()) + " (" + N(s, a->GetName()) + ")");
            const TVELConstraint* check = a->ExistingColumnConstraint(3);
            if (rules.ChecksInCatalogue && check && check->IsInUse()) {
                const std::string name = check->GetName().empty() && rules.ColumnChecksNamedByColumn
                                             ? N(s, a->GetName())
                                             : N(s, check->GetName());
                c["check"].insert(table + " " + name);
            }
        }
        if (!key.empty()) {
            const std::string name = !rules.PrimaryKeyName.empty() ? rules.PrimaryKeyName + " "
                                     : rules.KeepsKeyNames          ? N(s, t->PrimaryKey->GetName()) + " "
                                                                    : "";
            c["primary key"].insert(table + " " + name + ColumnList(s, key));
        }
        for (int i = 0; i < t->Constraints.Count(); ++i) {
            const TVELConstraint* k = t->ConstraintAt(i);
            std::vector<TVELAttribute*> columns;
            k->AttributeIDs.GetAttributes(columns);
            if (k->ConstraintType == ctUnique)
                c["unique"].insert(table + " " + (rules.KeepsUniqueNames ? N(s, k->GetName()) + " " : "") +
                                   ColumnList(s, columns));
            else if (k->ConstraintType == ctCheck && rules.ChecksInCatalogue)
                c["check"].insert(table + " " + N(s, k->GetName()));
        }
        for (int i = 0; i < t->Indexes.Count(); ++i) {
            const TVELIndex* index = t->IndexAt(i);
            std::string columns;
            for (int k = 0; k < index->Columns.Count(); ++k) {
                const TVELAttribute* a = index->Column(k)->GetAttribute();
                columns += (k ? "," : "") + (a ? N(s, a->GetName()) : std::string("<expression>"));
            }
            std::string kind = UpperCase(index->IndexType);
            if (kind == "UNIQUE" && rules.UniqueIndexIsConstraint) {
                c["unique"].insert(table + " " + N(s, index->GetName()) + " (" + columns + ")");
                continue;
            }
            if (!rules.IndexKinds && kind != "UNIQUE") kind.clear();
            c["index"].insert(table + " " + N(s, index->GetName()) + (kind.empty() ? "" : " " + kind) + " (" +
                              columns + ")");
        }
        for (int i = 0; i < t->Triggers.Count(); ++i)
            if (!Trim(t->TriggerAt(i)->Code).empty())
                c["trigger"].insert(table + " " + N(s, t->TriggerAt(i)->GetName()));
    }
    std::vector<TVELRelationship*> relationships;
    model.CollectOfClass(relationships);
    for (const TVELRelationship* r : relationships) {
        std::vector<TVELAttribute*> childColumns, parentColumns;
        r->ForeignKeyAttributes(childColumns);
        r->KeyAttributes(parentColumns);
        const std::string name = rules.KeepsForeignKeyNames ? " " + N(s, r->FKConstraint->GetName()) : "";
        c["foreign key"].insert(Qualified(s, *r->GetChildEntity(), rules) + name + " " + ColumnList(s, childColumns) +
                                " -> " + Qualified(s, *r->GetParentEntity(), rules) + " " +
                                ColumnList(s, parentColumns) + " ON DELETE " + ActionText(r->DeleteRule, rules) +
                                " ON UPDATE " + ActionText(r->UpdateRule, rules));
    }
    for (int i = 0; i < model.Count(); ++i) {
        const TVELDatabaseObject* o = model.Object(i);
        const std::string name = Qualified(s, *o, rules);
        switch (o->ObjectType) {
        case otView: c["view"].insert(name); break;
        case otSequence: c["sequence"].insert(name); break;
        case otProcedure: c["routine"].insert(name); break;
        case otDomain: c["domain"].insert(name); break;
        case otRule: c["rule"].insert(N(s, o->GetName())); break;
        default: break;
        }
    }
    return c;
}

// ---- PostgreSQL ----------------------------------------------------------------------------------

TServerRules PostgresRules() {
    TServerRules rules;
    rules.DefaultSchema = "public";
    rules.HasComments = true;
    return rules;
}

// ---- MariaDB ---------------------------------------------------------------------------------------

TServerRules MariaDBRules(const std::string& database) {
    TServerRules rules;
    rules.DefaultSchema = database;
    rules.PrimaryKeyName = "PRIMARY";
    rules.ColumnChecksNamedByColumn = true;
    rules.NoAction = "RESTRICT";
    rules.HasComments = true;
    rules.IndexKinds = true;
    rules.SerialHasIndex = true;
    rules.UniqueIndexIsConstraint = true;
    return rules;
}

// ---- SQLite ---------------------------------------------------------------------------------------

TServerRules SQLiteRules() {
    TServerRules rules;
    rules.PrimaryKeyNotNull = false;
    rules.KeepsKeyNames = false;
    rules.KeepsForeignKeyNames = false;
    rules.KeepsUniqueNames = false;
    rules.ChecksInCatalogue = false;
    return rules;
}

// ---- Firebird --------------------------------------------------------------------------------------

class TFirebird {
public:
    // Runs a script as isql does; the first error with its statement, empty on success.
    std::string Run(const std::string& script) { return db_.Script(script); }
    TCatalogue Catalogue();
    TFirebirdDatabase& Database() { return db_; }

private:
    void Collect(TCatalogue& c, const char* kind, const std::string& sql) {
        // (Firebird pads the CHAR values of IIF.)
        for (const auto& row : db_.Query(sql)) c[kind].insert(TrimRight(JoinStrings(row, "")));
    }
    TFirebirdDatabase db_;
};

TCatalogue TFirebird::Catalogue() {
    TCatalogue c;
    const std::string user = " COALESCE(r.RDB$SYSTEM_FLAG, 0) = 0";
    const std::string tables = " FROM RDB$RELATIONS r WHERE r.RDB$VIEW_BLR IS NULL AND" + user;
    Collect(c, "table", "SELECT TRIM(r.RDB$RELATION_NAME)" + tables);
    Collect(c, "column",
            "SELECT TRIM(f.RDB$RELATION_NAME), ': ', f.RDB$FIELD_POSITION + 1, ' ', TRIM(f.RDB$FIELD_NAME), "
            "IIF(COALESCE(f.RDB$NULL_FLAG, d.RDB$NULL_FLAG, 0) = 1, ' NOT NULL', '') FROM RDB$RELATION_FIELDS f "
            "JOIN RDB$RELATIONS r ON r.RDB$RELATION_NAME = f.RDB$RELATION_NAME JOIN RDB$FIELDS d ON "
            "d.RDB$FIELD_NAME = f.RDB$FIELD_SOURCE WHERE r.RDB$VIEW_BLR IS NULL AND" + user);
    // The columns of an index in their order.
    const auto columns = [](const std::string& index) {
        return "'(' || COALESCE((SELECT LIST(TRIM(x.RDB$FIELD_NAME), ',') FROM (SELECT s.RDB$FIELD_NAME FROM "
               "RDB$INDEX_SEGMENTS s WHERE s.RDB$INDEX_NAME = " + index +
               " ORDER BY s.RDB$FIELD_POSITION) x), '<expression>') || ')'";
    };
    const std::string constraints = " FROM RDB$RELATION_CONSTRAINTS k WHERE NOT EXISTS (SELECT 1 FROM RDB$RELATIONS r "
                                    "WHERE r.RDB$RELATION_NAME = k.RDB$RELATION_NAME AND r.RDB$SYSTEM_FLAG = 1) AND "
                                    "k.RDB$CONSTRAINT_TYPE = ";
    Collect(c, "primary key", "SELECT TRIM(k.RDB$RELATION_NAME) || ' ' || TRIM(k.RDB$CONSTRAINT_NAME) || ' ' || " +
                                  columns("k.RDB$INDEX_NAME") + constraints + "'PRIMARY KEY'");
    Collect(c, "unique", "SELECT TRIM(k.RDB$RELATION_NAME) || ' ' || TRIM(k.RDB$CONSTRAINT_NAME) || ' ' || " +
                             columns("k.RDB$INDEX_NAME") + constraints + "'UNIQUE'");
    Collect(c, "check", "SELECT TRIM(k.RDB$RELATION_NAME) || ' ' || TRIM(k.RDB$CONSTRAINT_NAME)" + constraints +
                            "'CHECK'");
    Collect(c, "foreign key",
            "SELECT TRIM(k.RDB$RELATION_NAME) || ' ' || TRIM(k.RDB$CONSTRAINT_NAME) || ' ' || " +
                columns("k.RDB$INDEX_NAME") + " || ' -> ' || TRIM(p.RDB$RELATION_NAME) || ' ' || " +
                columns("p.RDB$INDEX_NAME") +
                " || ' ON DELETE ' || TRIM(f.RDB$DELETE_RULE) || ' ON UPDATE ' || TRIM(f.RDB$UPDATE_RULE) FROM "
                "RDB$RELATION_CONSTRAINTS k JOIN RDB$REF_CONSTRAINTS f ON f.RDB$CONSTRAINT_NAME = "
                "k.RDB$CONSTRAINT_NAME JOIN RDB$RELATION_CONSTRAINTS p ON p.RDB$CONSTRAINT_NAME = f.RDB$CONST_NAME_UQ");
    // Indexes of their own, not those behind constraints.
    Collect(c, "index", "SELECT TRIM(i.RDB$RELATION_NAME) || ' ' || TRIM(i.RDB$INDEX_NAME) || IIF(i.RDB$UNIQUE_FLAG = "
                        "1, CAST(' UNIQUE' AS VARCHAR(7)), CAST('' AS VARCHAR(7))) || ' ' || " + columns("i.RDB$INDEX_NAME") +
                            " FROM RDB$INDICES i WHERE COALESCE(i.RDB$SYSTEM_FLAG, 0) = 0 AND NOT EXISTS (SELECT 1 "
                            "FROM RDB$RELATION_CONSTRAINTS k WHERE k.RDB$INDEX_NAME = i.RDB$INDEX_NAME)");
    Collect(c, "comment", "SELECT TRIM(r.RDB$RELATION_NAME) || ': ' || CAST(r.RDB$DESCRIPTION AS VARCHAR(500))" + tables +
                              " AND r.RDB$DESCRIPTION IS NOT NULL");
    Collect(c, "comment", "SELECT TRIM(f.RDB$RELATION_NAME) || '.' || TRIM(f.RDB$FIELD_NAME) || ': ' || "
                          "CAST(f.RDB$DESCRIPTION AS VARCHAR(500)) FROM RDB$RELATION_FIELDS f JOIN RDB$RELATIONS r ON "
                          "r.RDB$RELATION_NAME = f.RDB$RELATION_NAME WHERE f.RDB$DESCRIPTION IS NOT NULL AND "
                          "r.RDB$VIEW_BLR IS NULL AND" + user);
    Collect(c, "view", "SELECT TRIM(r.RDB$RELATION_NAME) FROM RDB$RELATIONS r WHERE r.RDB$VIEW_BLR IS NOT NULL AND" + user);
    // Sequences of the model, not those behind identity columns.
    Collect(c, "sequence", "SELECT TRIM(RDB$GENERATOR_NAME) FROM RDB$GENERATORS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0");
    Collect(c, "routine", "SELECT TRIM(RDB$PROCEDURE_NAME) FROM RDB$PROCEDURES WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0");
    Collect(c, "routine", "SELECT TRIM(RDB$FUNCTION_NAME) FROM RDB$FUNCTIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0");
    // Triggers of their own, not those behind check constraints.
    Collect(c, "trigger", "SELECT TRIM(t.RDB$RELATION_NAME) || ' ' || TRIM(t.RDB$TRIGGER_NAME) FROM RDB$TRIGGERS t WHERE "
                          "COALESCE(t.RDB$SYSTEM_FLAG, 0) = 0 AND NOT EXISTS (SELECT 1 FROM RDB$CHECK_CONSTRAINTS k "
                          "WHERE k.RDB$TRIGGER_NAME = t.RDB$TRIGGER_NAME)");
    Collect(c, "domain", "SELECT TRIM(RDB$FIELD_NAME) FROM RDB$FIELDS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND "
                         "RDB$FIELD_NAME NOT STARTING WITH 'RDB$'");
    return c;
}

// Firebird keeps a foreign key without action as RESTRICT.
TServerRules FirebirdRules() {
    TServerRules rules;
    rules.NoAction = "RESTRICT";
    rules.HasComments = true;
    return rules;
}

// Runs the statements of a restructure run on the embedded Firebird database, one at a time.
class TFirebirdExecutor : public TVELStatementExecutor {
public:
    explicit TFirebirdExecutor(TFirebirdDatabase& db) : db_(db) {}
    void Execute(const std::string& statement) override {
        Statements.push_back(statement);
        if (const std::string error = db_.Exec(statement); !error.empty()) throw EVELError(error);
    }
    std::vector<std::string> Statements;

private:
    TFirebirdDatabase& db_;
};

// ---- generation -----------------------------------------------------------------------------------

// InnoDB refuses SET DEFAULT, and Firebird has no RESTRICT: the user of a database-independent
// model replaces the action before generating for those targets (the model check reports it).
void WithoutAction(TVELDataDictionary& model, uint8_t action) {
    std::vector<TVELRelationship*> relationships;
    model.CollectOfClass(relationships);
    for (TVELRelationship* r : relationships) {
        if (r->DeleteRule == action) r->DeleteRule = raNone;
        if (r->UpdateRule == action) r->UpdateRule = raNone;
    }
}

// Runs both scripts of a model on PostgreSQL and compares the catalogue after each.
void RunOnPostgres(const TVELDataDictionary& model, const std::string& what, const TGenerationOptions& options = {}) {
    const TGeneratedScripts g = GenerateScripts(model, options);
    const std::string database = CreatePostgresDatabase("ardvin_gen");
    {
        TPostgres server(database);
        EXPECT_EQ(server.Run(g.CreateScript), "") << what << "\n" << g.CreateScript;
        const TCatalogue created = server.Catalogue();
        ExpectSameCatalogue(ExpectedCatalogue(*g.Model, PostgresRules()), created, what + " after the create script");
        EXPECT_EQ(server.Run(g.DropScript), "") << what << "\n" << g.DropScript;
        ExpectSameCatalogue({}, server.Catalogue(), what + " after the drop script");
    }
    DropPostgresDatabase(database);
}

// Runs both scripts of the full model of a target (or, with independent, of the
// database-independent model switched to that target) on MariaDB.
void RunOnMariaDB(const std::string& target, const std::string& what, const TGenerationOptions& options = {},
                  bool independent = false) {
    const std::string database = CreateMariaDBDatabase("ardvin_gen");
    const std::string other = CreateMariaDBDatabase("ardvin_gen_other");
    {
        TFullFeatureSetup setup;
        setup.OtherSchema = other;
        setup.RunsOnMariaDB = true;
        const auto model = FullFeatureModel(independent ? "dbindependent" : target, setup);
        if (independent) WithoutAction(*model, raSetDefault);
        const TGeneratedScripts g = GenerateScripts(*model, options);
        TMariaDB server({database, other});
        EXPECT_EQ(server.Run(g.CreateScript), "") << what << "\n" << g.CreateScript;
        ExpectSameCatalogue(ExpectedCatalogue(*g.Model, MariaDBRules(database)), server.Catalogue(),
                            what + " after the create script");
        EXPECT_EQ(server.Run(g.DropScript), "") << what << "\n" << g.DropScript;
        ExpectSameCatalogue({}, server.Catalogue(), what + " after the drop script");
    }
    DropMariaDBDatabase(other);
    DropMariaDBDatabase(database);
}

}  // namespace

TEST(CreateScriptServers, PostgreSQL15) {
    TFullFeatureSetup setup;
    setup.OtherSchema = "sales";
    const auto model = FullFeatureModel("postgresql15", setup);
    RunOnPostgres(*model, "postgresql15");
}

TEST(CreateScriptServers, MySQL8OnMariaDB) { RunOnMariaDB("mysql8", "mysql8"); }

TEST(CreateScriptServers, MariaDB10) { RunOnMariaDB("mariadb10", "mariadb10"); }

TEST(CreateScriptServers, SQLite3) {
    const auto model = FullFeatureModel("sqlite3", {});
    const TGeneratedScripts g = GenerateScripts(*model);
    const TempDir dir;
    TSQLite db(dir.File("model.db"));
    ASSERT_EQ(db.Run("PRAGMA foreign_keys = ON"), "");
    EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
    const TCatalogue created = db.Catalogue();
    EXPECT_GT(ObjectCount(created), 50u);
    ExpectSameCatalogue(ExpectedCatalogue(*g.Model, SQLiteRules()), created, "sqlite3 after the create script");
    EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
    ExpectSameCatalogue({}, db.Catalogue(), "sqlite3 after the drop script");
}

// The database-independent model, switched to each real target with the options of the
// generate command. Its procedure and trigger code is in no dialect: they are left out.
TGenerationOptions IndependentOptions(const std::string& target) {
    return {{"DBID", target}, {"DONOTUSETRIGGERS", "1"}, {"DONOTUSEPROCEDURES", "1"}};
}

TEST(CreateScriptServers, IndependentOnPostgreSQL15) {
    TFullFeatureSetup setup;
    setup.OtherSchema = "sales";
    const auto model = FullFeatureModel("dbindependent", setup);
    RunOnPostgres(*model, "dbindependent on postgresql15", IndependentOptions("postgresql15"));
}

TEST(CreateScriptServers, IndependentOnMySQL8) {
    RunOnMariaDB("mysql8", "dbindependent on mysql8", IndependentOptions("mysql8"), true);
}

TEST(CreateScriptServers, IndependentOnMariaDB10) {
    RunOnMariaDB("mariadb10", "dbindependent on mariadb10", IndependentOptions("mariadb10"), true);
}

TEST(CreateScriptServers, IndependentOnSQLite3) {
    const auto model = FullFeatureModel("dbindependent", {});
    const TGeneratedScripts g = GenerateScripts(*model, IndependentOptions("sqlite3"));
    EXPECT_EQ(g.Model->GetTarget(), "sqlite3");
    const TempDir dir;
    TSQLite db(dir.File("model.db"));
    EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
    ExpectSameCatalogue(ExpectedCatalogue(*g.Model, SQLiteRules()), db.Catalogue(), "dbindependent on sqlite3");
    EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
    ExpectSameCatalogue({}, db.Catalogue(), "dbindependent on sqlite3 after the drop script");
}

TEST(CreateScriptServers, Firebird3) {
    const auto model = FullFeatureModel("firebird3", {});
    const TGeneratedScripts g = GenerateScripts(*model);
    {
        TFirebird db;
        ASSERT_TRUE(db.Database().Open());
        EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
        const TCatalogue created = db.Catalogue();
        EXPECT_GT(ObjectCount(created), 50u);
        ExpectSameCatalogue(ExpectedCatalogue(*g.Model, FirebirdRules()), created, "firebird3 after the create script");
        // The identity column and the column numbered by its trigger get their numbers.
        EXPECT_EQ(db.Database().Exec("INSERT INTO \"CUSTOMER\" (\"NAME\", \"STATUS\") VALUES ('a', 'new')"), "");
        EXPECT_EQ(db.Database().Exec("INSERT INTO \"ORDER\" (\"ORDERID\", \"SELECT\", \"CUSTOMERID\") SELECT 1, "
                                     "CURRENT_DATE, \"CUSTOMERID\" FROM \"CUSTOMER\""),
                  "");
        EXPECT_EQ(db.Database().Value("SELECT \"CUSTOMERID\" FROM \"CUSTOMER\""), "100");
        EXPECT_EQ(db.Database().Value("SELECT \"ORDER NO\" FROM \"ORDER\""), "10");
        EXPECT_EQ(db.Database().Exec("DELETE FROM \"CUSTOMER\""), "");
        EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
        ExpectSameCatalogue({}, db.Catalogue(), "firebird3 after the drop script");
    }
    {
        // The script tool itself: isql runs the create script on a new database file, stopping
        // at the first error, and the drop script after it; the catalogue is empty again.
        const TempDir dir;
        const std::string file = dir.File("isql.fdb");
        WriteFile(dir.File("create.sql"), "SET NAMES UTF8;\r\nCREATE DATABASE '" + file +
                                              "' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8;\r\n" + g.CreateScript);
        WriteFile(dir.File("drop.sql"), "SET NAMES UTF8;\r\nCONNECT '" + file + "' USER 'SYSDBA';\r\n" + g.DropScript +
                                            // (a new transaction, whose snapshot sees the drops)
                                            "\r\nCOMMIT;\r\nSELECT COUNT(*) AS USER_OBJECTS FROM RDB$RELATIONS WHERE "
                                            "COALESCE(RDB$SYSTEM_FLAG, 0) = 0;\r\n");
        const std::vector<std::string> env = {"FIREBIRD_LOCK=" + dir.File("lock"), "FIREBIRD_TMP=" + dir.Path()};
        const RunResult create = RunProgram("/usr/bin/isql-fb", {"-b", "-q", "-i", dir.File("create.sql")}, env);
        EXPECT_EQ(create.ExitCode, 0) << create.Out << create.Err;
        EXPECT_EQ(create.Err, "");
        const RunResult drop = RunProgram("/usr/bin/isql-fb", {"-b", "-q", "-i", dir.File("drop.sql")}, env);
        EXPECT_EQ(drop.ExitCode, 0) << drop.Out << drop.Err;
        EXPECT_EQ(drop.Err, "");
        EXPECT_EQ(Trim(drop.Out.substr(drop.Out.rfind('\n', drop.Out.find_last_not_of(" \r\n")) + 1)), "0") << drop.Out;
    }
    {
        // Run through a connection, the same model leaves the same catalogue: the SET TERM
        // switches and block terminators are the script tool's and stay out of the statements.
        TFirebird db;
        TFirebirdExecutor executor(db.Database());
        std::unique_ptr<TDBRestructure> create = CreateRestructure(*g.Model);
        create->Options.SetValue("FrdCreateDB", "0");
        create->WriteToScript = false;
        create->Executor = &executor;
        EXPECT_TRUE(create->GenerateCreateScript()) << JoinStrings(create->Lines, "\n");
        EXPECT_TRUE(create->Script.empty());
        for (const std::string& statement : executor.Statements) {
            EXPECT_EQ(statement.find("SET TERM"), std::string::npos) << statement;
            EXPECT_NE(statement.back(), ';') << statement;
            EXPECT_NE(statement.back(), '^') << statement;
        }
        ExpectSameCatalogue(ExpectedCatalogue(*g.Model, FirebirdRules()), db.Catalogue(), "firebird3 executed");
        std::unique_ptr<TDBRestructure> drop = CreateRestructure(*g.Model);
        drop->WriteToScript = false;
        drop->Executor = &executor;
        EXPECT_TRUE(drop->GenerateDropScript()) << JoinStrings(drop->Lines, "\n");
        ExpectSameCatalogue({}, db.Catalogue(), "firebird3 executed drop");
    }
}

TEST(CreateScriptServers, IndependentOnFirebird3) {
    const auto model = FullFeatureModel("dbindependent", {});
    WithoutAction(*model, raRestrict);
    const TGeneratedScripts g = GenerateScripts(*model, IndependentOptions("firebird3"));
    EXPECT_EQ(g.Model->GetTarget(), "firebird3");
    TFirebird db;
    EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
    ExpectSameCatalogue(ExpectedCatalogue(*g.Model, FirebirdRules()), db.Catalogue(), "dbindependent on firebird3");
    EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
    ExpectSameCatalogue({}, db.Catalogue(), "dbindependent on firebird3 after the drop script");
}
