// Create and drop scripts of models that use every feature of their target, run on real
// servers: PostgreSQL 15 and MariaDB 10.11 (the throwaway test servers, the MySQL 8 target
// included) and SQLite through the library. Each script must run without a single error; the
// server's catalogue must then hold exactly the model's tables, columns, keys, foreign keys,
// indexes, constraints and code objects, and be empty again after the drop script.
#include <gtest/gtest.h>


#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

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

// ---- generation -----------------------------------------------------------------------------------

struct TGenerated {
    std::unique_ptr<TVELDataDictionary> Model;  // the prepared copy
    std::string CreateScript;
    std::string DropScript;
};

using TOptions = std::vector<std::pair<std::string, std::string>>;

// Prepares a copy of the model for generation as the generate command does (with the options
// its target needs and the given ones) and writes its create and drop scripts.
TGenerated Generate(const TVELDataDictionary& model, const TOptions& extra = {}) {
    TGenerated g;
    TVELSettingsList options, used;
    for (const auto& [key, value] : extra) options.SetValue(key, value);
    std::string messages;
    try {
        g.Model = PrepareForGeneration(model, options, used,
                                       [&messages](TVELNamedObject* object, int level, const std::string& text) {
                                           messages += MessageLevelName(level) + ": " +
                                                       (object ? object->GetName() + ": " : "") + text + "\n";
                                       });
    } catch (const EVELError& e) {
        ADD_FAILURE() << e.what() << "\n" << messages;
        throw;
    }
    std::unique_ptr<TDBRestructure> create = CreateRestructure(*g.Model);
    create->Options = used;
    create->ProductLine = "Ardvin test";
    EXPECT_TRUE(create->GenerateCreateScript()) << JoinStrings(create->Lines, "\n");
    g.CreateScript = create->ScriptText();
    std::unique_ptr<TDBRestructure> drop = CreateRestructure(*g.Model);
    drop->Options = used;
    EXPECT_TRUE(drop->GenerateDropScript()) << JoinStrings(drop->Lines, "\n");
    g.DropScript = drop->ScriptText();
    return g;
}

// InnoDB refuses SET DEFAULT: the user of a database-independent model replaces it before
// generating for MySQL or MariaDB (the model check reports it).
void WithoutSetDefault(TVELDataDictionary& model) {
    std::vector<TVELRelationship*> relationships;
    model.CollectOfClass(relationships);
    for (TVELRelationship* r : relationships) {
        if (r->DeleteRule == raSetDefault) r->DeleteRule = raNone;
        if (r->UpdateRule == raSetDefault) r->UpdateRule = raNone;
    }
}

std::unique_ptr<TVELDataDictionary> FullModel(const std::string& target, const TFullFeatureSetup& setup) {
    TargetDatabases().Build(DefinitionsDir());
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget(target);
    BuildFullFeatureModel(*dd, setup);
    return dd;
}

// Runs both scripts of a model on PostgreSQL and compares the catalogue after each.
void RunOnPostgres(const TVELDataDictionary& model, const std::string& what, const TOptions& options = {}) {
    const TGenerated g = Generate(model, options);
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
void RunOnMariaDB(const std::string& target, const std::string& what, const TOptions& options = {},
                  bool independent = false) {
    const std::string database = CreateMariaDBDatabase("ardvin_gen");
    const std::string other = CreateMariaDBDatabase("ardvin_gen_other");
    {
        TFullFeatureSetup setup;
        setup.OtherSchema = other;
        setup.RunsOnMariaDB = true;
        const auto model = FullModel(independent ? "dbindependent" : target, setup);
        if (independent) WithoutSetDefault(*model);
        const TGenerated g = Generate(*model, options);
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
    const auto model = FullModel("postgresql15", setup);
    RunOnPostgres(*model, "postgresql15");
}

TEST(CreateScriptServers, MySQL8OnMariaDB) { RunOnMariaDB("mysql8", "mysql8"); }

TEST(CreateScriptServers, MariaDB10) { RunOnMariaDB("mariadb10", "mariadb10"); }

TEST(CreateScriptServers, SQLite3) {
    const auto model = FullModel("sqlite3", {});
    const TGenerated g = Generate(*model);
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
TOptions IndependentOptions(const std::string& target) {
    return {{"DBID", target}, {"DONOTUSETRIGGERS", "1"}, {"DONOTUSEPROCEDURES", "1"}};
}

TEST(CreateScriptServers, IndependentOnPostgreSQL15) {
    TFullFeatureSetup setup;
    setup.OtherSchema = "sales";
    const auto model = FullModel("dbindependent", setup);
    RunOnPostgres(*model, "dbindependent on postgresql15", IndependentOptions("postgresql15"));
}

TEST(CreateScriptServers, IndependentOnMySQL8) {
    RunOnMariaDB("mysql8", "dbindependent on mysql8", IndependentOptions("mysql8"), true);
}

TEST(CreateScriptServers, IndependentOnMariaDB10) {
    RunOnMariaDB("mariadb10", "dbindependent on mariadb10", IndependentOptions("mariadb10"), true);
}

TEST(CreateScriptServers, IndependentOnSQLite3) {
    const auto model = FullModel("dbindependent", {});
    const TGenerated g = Generate(*model, IndependentOptions("sqlite3"));
    EXPECT_EQ(g.Model->GetTarget(), "sqlite3");
    const TempDir dir;
    TSQLite db(dir.File("model.db"));
    EXPECT_EQ(db.Run(g.CreateScript), "") << g.CreateScript;
    ExpectSameCatalogue(ExpectedCatalogue(*g.Model, SQLiteRules()), db.Catalogue(), "dbindependent on sqlite3");
    EXPECT_EQ(db.Run(g.DropScript), "") << g.DropScript;
    ExpectSameCatalogue({}, db.Catalogue(), "dbindependent on sqlite3 after the drop script");
}
