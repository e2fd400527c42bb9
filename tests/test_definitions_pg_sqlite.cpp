// The shipped definitions of the PostgreSQL 15 and SQLite 3 targets: their files load without
// warnings, their statement templates keep to the template language, their capability flags
// agree with their templates, their word lists are the servers' own keyword lists, and every
// data type and statement template is accepted by a real server (SQLite in memory, PostgreSQL on
// the test server).
#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TestServers.h"
#include "TestSupport.h"
#include "TestTemplates.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zSLDatatypes.h"
#include "zXMLUtils.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

const char* const TargetIds[] = {"postgresql15", "sqlite3"};

void LoadTarget(const std::string& id, TVELDatabaseSettings& s) {
    TargetDatabases().Build(DefinitionsDir());
    s.DBID = id;
    s.Load();
}

TSLDatatypes LoadTypes(const std::string& id) {
    TSLDatatypes list;
    EXPECT_TRUE(list.LoadFromFile(DefinitionsDir() + "/" + id + ".typ")) << id;
    return list;
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string Quoted(const std::string& schema, const std::string& name) {
    return Quoted(schema) + "." + Quoted(name);
}

// ---- the template language --------------------------------------------------------------------

// Empty when a template ends its statement with the terminator, or, being a part of another
// statement (a column, a constraint inside CREATE TABLE), has none and does not start one.
std::string CheckTerminator(std::string_view tmpl) {
    const std::string terminator = "%terminator%";
    const size_t at = tmpl.find(terminator);
    if (at != std::string_view::npos) {
        if (tmpl.find(terminator, at + 1) != std::string_view::npos) return "more than one terminator";
        const std::string_view rest = tmpl.substr(at + terminator.size());
        if (!rest.empty() && rest != "{#13#10%endtablescript%}") return "text after the terminator";
        return {};
    }
    std::string text = Trim(ReplaceAll(tmpl, "#13#10", " "));
    while (!text.empty() && (text[0] == '{' || text[0] == '*'))
        text = Trim(text.substr(1));
    const std::string first = UpperCase(text.substr(0, text.find(' ')));
    for (const char* word :
         {"CREATE", "ALTER", "DROP", "COMMENT", "INSERT", "BEGIN", "COMMIT", "DO", "PRAGMA"})
        if (first == word) return "a statement without terminator";
    return {};
}

TEST(PgSqliteDefinitions, TemplatesKeepToTheTemplateLanguage) {
    for (const char* id : TargetIds) {
        SCOPED_TRACE(id);
        TVELDatabaseSettings s;
        LoadTarget(id, s);
        std::vector<std::pair<std::string, std::string>> templates;
        for (const std::string& name : TVELDatabaseSettings::SQLCommandNames())
            templates.emplace_back(name, s.SQLTemplate(name));
        // The two autonumber templates are read with their line breaks already restored.
        templates.emplace_back("autonumbertriggertemplate",
                               ReplaceAll(s.AutonumberTriggerTemplate, CRLF, "#13#10"));
        templates.emplace_back("autonumberdefaulttemplate",
                               ReplaceAll(s.AutonumberDefaultTemplate, CRLF, "#13#10"));
        int used = 0;
        for (const auto& [name, tmpl] : templates) {
            SCOPED_TRACE(name);
            std::string problem;
            for (const std::string& placeholder : Placeholders(tmpl, problem)) {
                EXPECT_TRUE(KnownPlaceholders().count(placeholder)) << "%" << placeholder << "%";
                ++used;
            }
            EXPECT_EQ(problem, "");
            EXPECT_EQ(CheckOptionalParts(tmpl), "");
            if (name.rfind("SQL", 0) == 0) {
                EXPECT_EQ(CheckTerminator(tmpl), "");
            }
            // Literal braces are written "<#" and "#>"; none of these templates needs them, and
            // a stray one would be a typing error.
            EXPECT_EQ(tmpl.find("<#"), std::string::npos);
            EXPECT_EQ(tmpl.find("#>"), std::string::npos);
        }
        EXPECT_GT(used, 50);
    }
}

// The self-checks of the checks above: each catches what it is meant to catch.
TEST(PgSqliteDefinitions, TemplateChecksRejectMalformedTemplates) {
    std::string problem;
    EXPECT_EQ(Placeholders("DROP TABLE %tablename%%terminator%", problem),
              (std::vector<std::string>{"tablename", "terminator"}));
    EXPECT_EQ(problem, "");
    Placeholders("DROP TABLE %TableName%", problem);
    EXPECT_NE(problem, "");
    problem.clear();
    Placeholders("DROP TABLE %tablename", problem);
    EXPECT_NE(problem, "");
    EXPECT_EQ(CheckOptionalParts("A{ B %x%}{ C %y%}"), "");
    EXPECT_NE(CheckOptionalParts("A{ B {%x%}}"), "");
    EXPECT_NE(CheckOptionalParts("A{ B %x% %y%}"), "");
    EXPECT_NE(CheckOptionalParts("A{ B }"), "");
    EXPECT_NE(CheckOptionalParts("A{ B %x%"), "");
    EXPECT_EQ(CheckTerminator("{CONSTRAINT %constraintname% }PRIMARY KEY (%constraintcolumns%)"), "");
    EXPECT_EQ(CheckTerminator("DROP VIEW %viewname%%terminator%"), "");
    EXPECT_NE(CheckTerminator("DROP VIEW %viewname%"), "");
    EXPECT_NE(CheckTerminator("DROP VIEW %viewname%%terminator% CASCADE"), "");
}

// ---- definitions and registry ---------------------------------------------------------------

TEST(PgSqliteDefinitions, LoadWithEveryKeyAndRegister) {
    TTargetDatabases& registry = TargetDatabases();
    registry.Build(DefinitionsDir());
    EXPECT_TRUE(registry.LoadWarnings.empty()) << JoinStrings(registry.LoadWarnings, "\n");
    const std::map<std::string, std::string> names = {{"postgresql15", "PostgreSQL 15"},
                                                      {"sqlite3", "SQLite 3"}};
    TempDir dir;
    for (const auto& [id, name] : names) {
        SCOPED_TRACE(id);
        const TTargetEntry& e = registry.EntryById(id);
        EXPECT_EQ(e.Name, name);
        EXPECT_EQ(e.TargetType, TTargetType::SQL);
        EXPECT_TRUE(e.UpdateModel && e.UpdateDatabase);
        EXPECT_TRUE(registry.CanImport(name));

        TVELDatabaseSettings s;
        LoadTarget(id, s);
        EXPECT_TRUE(s.LoadWarnings.empty()) << JoinStrings(s.LoadWarnings, "\n");
        EXPECT_FALSE(s.ReservedWords.empty());
        EXPECT_FALSE(s.Keywords.empty());
        EXPECT_EQ(s.QuoteDDL("s.Order"), "\"s\".\"Order\"");
        EXPECT_EQ(s.StringLiteral("it's"), "'it''s'");

        // The file spells out every key, each value as it is written back: saving the loaded
        // definition over a copy of the file adds and changes nothing.
        const std::string shipped = ReadFile(DefinitionsDir() + "/" + id + ".def");
        WriteFile(dir.File(id + ".def"), shipped);
        s.SaveToFile(dir.File(id + ".def"));
        EXPECT_EQ(ReplaceAll(ReadFile(dir.File(id + ".def")), CRLF, "\n"), shipped);

        // The connection dialog asks for what the driver needs.
        for (const char* param : {"HOST", "PORT", "DATABASENAME", "USERNAME", "PASSWORD", "SCHEMANAME"})
            EXPECT_EQ(s.REParams.Has(param), id == std::string("postgresql15")) << param;
        EXPECT_EQ(s.REParams.Has("DATABASEFILE"), id == std::string("sqlite3"));
        for (int i = 0; i < s.REParams.Count(); ++i)
            EXPECT_NE(TVELDatabaseSettings::ParamLabel(s.REParams.NameAt(i)), "") << s.REParams.NameAt(i);
    }
}

// What a definition claims it supports, it can write, and what it cannot write it does not
// claim: each capability flag against the templates that express it.
TEST(PgSqliteDefinitions, CapabilitiesMatchTheTemplates) {
    for (const char* id : TargetIds) {
        SCOPED_TRACE(id);
        TVELDatabaseSettings s;
        LoadTarget(id, s);
        const TSLDatatypes types = LoadTypes(id);
        auto has = [&](const char* name) { return !s.SQLTemplate(name).empty(); };
        auto uses = [&](const char* name, const char* placeholder) {
            return s.SQLTemplate(name).find(std::string("%") + placeholder + "%") != std::string::npos;
        };
        auto all = [&](std::initializer_list<const char*> names) {
            return std::all_of(names.begin(), names.end(), has);
        };
        auto none = [&](std::initializer_list<const char*> names) {
            return std::none_of(names.begin(), names.end(), has);
        };
        auto equivalent = [](const char* what, bool flag, bool expressed, bool unexpressed) {
            if (flag)
                EXPECT_TRUE(expressed) << what << " is supported but cannot be written";
            else
                EXPECT_TRUE(unexpressed) << what << " is not supported but has templates";
        };
        equivalent("sequences", s.EnableSequences, all({"SQLCreateSequence", "SQLDropSequence"}),
                   none({"SQLCreateSequence", "SQLDropSequence", "SQLAddSequenceComment"}));
        equivalent("triggers", s.EnableTriggers, all({"SQLCreateTrigger", "SQLDropTrigger"}),
                   none({"SQLCreateTrigger", "SQLDropTrigger", "SQLEnableTrigger"}));
        equivalent("views", s.EnableViews, all({"SQLCreateView", "SQLDropView"}),
                   none({"SQLCreateView", "SQLDropView"}));
        equivalent("procedures", s.EnableProcedures, all({"SQLCreateProcedure", "SQLDropProcedure"}),
                   none({"SQLCreateProcedure", "SQLDropProcedure"}));
        equivalent("rules", s.EnableRules, all({"SQLCreateRule", "SQLDropRule"}),
                   none({"SQLCreateRule", "SQLDropRule"}));
        equivalent("domains", s.EnableDomains, all({"SQLCreateDomain", "SQLDropDomain", "SQLRenameDomain"}),
                   none({"SQLCreateDomain", "SQLDropDomain", "SQLCreateType", "SQLModifyDomainSetDefault"}));
        equivalent("schemas", s.EnableSchemas, has("SQLAddSchema"), !has("SQLAddSchema"));
        equivalent("indexes", s.EnableIndexes, all({"SQLCreateIndex", "SQLDropIndex", "SQLIndexColumn"}),
                   none({"SQLCreateIndex"}));
        equivalent("foreign keys", s.EnableRefInt && s.EnableRelationships, has("SQLCreateFKConstraint"),
                   !has("SQLCreateFKConstraint"));
        equivalent("table comments", s.EnableTableComments,
                   all({"SQLAddTableComment", "SQLModifyTableComment", "SQLDropTableComment"}),
                   none({"SQLAddTableComment", "SQLModifyTableComment", "SQLDropTableComment"}));
        equivalent("column comments", s.EnableColumnComments,
                   all({"SQLAddColumnComment", "SQLModifyColumnComment", "SQLDropColumnComment"}),
                   none({"SQLAddColumnComment", "SQLModifyColumnComment", "SQLDropColumnComment"}));
        equivalent("view comments", s.EnableViewComments, all({"SQLAddViewComment", "SQLModifyViewComment"}),
                   none({"SQLAddViewComment", "SQLModifyViewComment"}));
        equivalent("procedure comments", s.EnableProcedureComments,
                   all({"SQLAddProcedureComment", "SQLModifyProcedureComment"}),
                   none({"SQLAddProcedureComment", "SQLModifyProcedureComment"}));
        equivalent("sequence comments", s.EnableSequenceComments,
                   all({"SQLAddSequenceComment", "SQLModifySequenceComment"}),
                   none({"SQLAddSequenceComment", "SQLModifySequenceComment"}));
        equivalent("rule comments", s.EnableRuleComments, all({"SQLAddRuleComment", "SQLModifyRuleComment"}),
                   none({"SQLAddRuleComment", "SQLModifyRuleComment"}));
        if (s.EnableUpdateDatabase) {
            EXPECT_TRUE(all({"SQLAddColumn", "SQLDropTable", "SQLCreateTempTable", "SQLCreateTempTableColumn",
                             "SQLCopyData", "SQLRenameTable", "SQLDropIndex"}));
        }

        // Options and names, placed where the definition says they go.
        auto placed = [&](const char* what, bool flag, const char* name, const char* placeholder) {
            EXPECT_EQ(flag, uses(name, placeholder)) << what;
        };
        placed("column collations", s.EnableColumnCollate, "SQLCreateColumn", "collate");
        placed("column options", s.EnableAttributeOptions, "SQLCreateColumn", "attributeoptions");
        placed("table options", s.EnableTableOptions, "SQLCreateTable", "tableoptions");
        placed("index options", s.EnableIndexOptions, "SQLCreateIndex", "indexoptions");
        placed("primary key names", s.EnablePKConstraintNames, "SQLCreatePKConstraint", "constraintname");
        placed("primary key options", s.EnablePKConstraintOptions, "SQLCreatePKConstraint",
               "constraintoptions");
        placed("foreign key names", s.EnableFKConstraintNames, "SQLCreateFKConstraint", "constraintname");
        placed("foreign key options", s.EnableFKConstraintOptions, "SQLCreateFKConstraint",
               "constraintoptions");
        placed("unique names", s.EnableUniqueConstraintNames, "SQLCreateUniqueConstraint", "constraintname");
        placed("unique options", s.EnableUniqueConstraintOptions, "SQLCreateUniqueConstraint",
               "constraintoptions");
        placed("check names", s.EnableCheckTableConstraintNames, "SQLCreateCheckConstraint",
               "constraintname");
        placed("check options", s.EnableCheckTableConstraintOptions, "SQLCreateCheckConstraint",
               "constraintoptions");
        // A column check written inline by %check% has no name and no options; one that is not is
        // written like a table check.
        const bool inlineCheck = uses("SQLCreateColumn", "check");
        EXPECT_EQ(s.EnableCheckColumnConstraintNames, !inlineCheck && s.EnableCheckTableConstraintNames);
        EXPECT_EQ(s.EnableCheckColumnConstraintOptions, !inlineCheck && s.EnableCheckTableConstraintOptions);
        // Defaults and NOT NULL are written inline without a name.
        EXPECT_TRUE(uses("SQLCreateColumn", "defaultvalue") && uses("SQLCreateColumn", "notnull"));
        EXPECT_FALSE(s.EnableDefaultConstraintNames || s.EnableNotNullConstraintNames);
        EXPECT_FALSE(s.EnableDefaultConstraintOptions || s.EnableNotNullConstraintOptions);
        EXPECT_EQ(s.RefIntOnDelete.size() > 1, uses("SQLCreateFKConstraint", "deleterule"));
        EXPECT_EQ(s.RefIntOnUpdate.size() > 1, uses("SQLCreateFKConstraint", "updaterule"));

        // Code lists and the placeholders that write the chosen code.
        EXPECT_EQ(!s.IdxTypeCodesList.empty(), uses("SQLCreateIndex", "indextype"));
        EXPECT_EQ(!s.IdxOrderCodesList.empty(), uses("SQLCreateIndex", "indexsortoption"));
        EXPECT_EQ(!s.IdxClusteringList.empty(), uses("SQLCreateIndex", "indexclustering"));
        EXPECT_EQ(!s.IdxColumnOrderCodesList.empty(), uses("SQLIndexColumn", "indexcolumnsortoption"));
        EXPECT_TRUE(s.IdxCaseCodesList.empty() && s.IdxCompressionCodesList.empty() &&
                    s.PKClusteringList.empty());
        EXPECT_EQ(s.EnableSeqIncrement, uses("SQLCreateSequence", "seqincrement"));
        EXPECT_EQ(s.EnableSeqMin, uses("SQLCreateSequence", "seqmin"));
        EXPECT_EQ(s.EnableSeqMax, uses("SQLCreateSequence", "seqmax"));
        EXPECT_EQ(s.EnableSeqCache, uses("SQLCreateSequence", "seqcache"));
        EXPECT_EQ(s.EnableSeqIntegerType && !s.SeqIntegerTypes.empty(),
                  uses("SQLCreateSequence", "seqintegertype"));
        EXPECT_EQ(!s.SeqCycleCodes.empty(), uses("SQLCreateSequence", "seqcycle"));
        EXPECT_TRUE(s.SeqOrderCodes.empty() && s.SeqCacheCodes.empty());
        EXPECT_EQ(!s.RuleTypes.empty(), s.EnableRules);
        for (const std::string& type : s.SeqIntegerTypes)
            if (!type.empty()) {
                EXPECT_GE(types.IndexOf(type), 0) << type;
            }

        // Auto numbers: a sequence default needs sequences, a trigger needs triggers, and an
        // autonumber primary key is written by %sqliteautoincpk%.
        switch (s.SimulateAutonumber) {
        case 0:
            EXPECT_TRUE(s.AutonumberDefaultTemplate.empty() && s.AutonumberTriggerTemplate.empty());
            break;
        case 3:
            EXPECT_TRUE(s.EnableSequences && !s.AutonumberDefaultTemplate.empty());
            break;
        default:
            EXPECT_TRUE(s.EnableTriggers && !s.AutonumberTriggerTemplate.empty());
        }
        EXPECT_EQ(s.AutonumberAlwaysPK, uses("SQLCreateColumn", "sqliteautoincpk"));

        // A type whose domains are written as types needs the statements for it.
        for (int i = 0; i < types.Count(); ++i)
            if (types.Record(i).DomainAsType) {
                EXPECT_TRUE(s.EnableDomains && has("SQLCreateType") && has("SQLDropType"))
                    << types.Record(i).ListName;
            }
    }
}

// ---- word lists ----------------------------------------------------------------------------------

struct TWordList {
    std::vector<std::string> Words; // every word, "DEFAULT:" removed
    std::set<std::string> Defaults; // the words marked "DEFAULT:"
};

TWordList ReadWordList(const std::string& fileName) {
    TWordList list;
    for (std::string line : SplitString(ReplaceAll(ReadFile(fileName), "\r\n", "\n"), '\n')) {
        if (line.empty()) continue;
        if (line.rfind("DEFAULT:", 0) == 0) {
            line = line.substr(8);
            list.Defaults.insert(line);
        }
        list.Words.push_back(line);
    }
    return list;
}

TEST(PgSqliteDefinitions, WordListsAreUpperCaseAndDisjoint) {
    for (const char* id : TargetIds) {
        SCOPED_TRACE(id);
        TVELDatabaseSettings s;
        LoadTarget(id, s);
        const TWordList reserved = ReadWordList(DefinitionsDir() + "/" + s.ReservedWordsFile);
        const TWordList keywords = ReadWordList(DefinitionsDir() + "/" + s.KeywordsFile);
        EXPECT_TRUE(keywords.Defaults.empty());
        std::set<std::string> seen;
        for (const std::vector<std::string>* words : {&reserved.Words, &keywords.Words})
            for (const std::string& w : *words) {
                EXPECT_FALSE(w.empty());
                EXPECT_TRUE(std::all_of(
                    w.begin(), w.end(),
                    [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }))
                    << "\"" << w << "\"";
                EXPECT_TRUE(seen.insert(w).second) << w << " is listed twice";
            }
        // Both lists are loaded, and the default-value keywords are recognised in values.
        EXPECT_EQ(s.ReservedWords.size(), reserved.Words.size());
        EXPECT_EQ(s.Keywords.size(), keywords.Words.size());
        EXPECT_EQ(s.DefaultKeywords.size(), reserved.Defaults.size());
        EXPECT_TRUE(s.IsReservedWord("select") && s.IsReservedWord("Table"));
        EXPECT_FALSE(s.IsReservedWord("customer"));
        for (const char* value : {"CURRENT_TIMESTAMP", "null", "TRUE", "false", " current_date "})
            EXPECT_TRUE(s.IsDefaultKeyword(value)) << value;
        EXPECT_FALSE(s.IsDefaultKeyword("'CURRENT_USERS'"));
    }
    TVELDatabaseSettings pg;
    LoadTarget("postgresql15", pg);
    EXPECT_TRUE(pg.IsDefaultKeyword("now()"));
    EXPECT_TRUE(pg.IsDefaultKeyword("nextval('\"s\".\"seq\"'::regclass)"));
    EXPECT_TRUE(pg.IsKeyword("schema"));
}

// ---- data types ---------------------------------------------------------------------------------

// A data type value bound to a given list instead of a data dictionary.
class TListDataType : public TVELDataType {
public:
    explicit TListDataType(const TSLDatatypes* list) : TVELDataType(nullptr), list_(list) {
        SetDefaultType();
    }
    const TSLDatatypes* TypeList() const override { return list_; }

private:
    const TSLDatatypes* list_;
};

// The numbers listed in the definition id table.
std::set<int32_t> DocumentedDefinitionIds() {
    std::set<int32_t> ids;
    for (const std::string& line : SplitString(ReadFile(DefinitionsDir() + "/DEFINITION_IDS.md"), '\n')) {
        const std::vector<std::string> cells = SplitString(line, '|');
        int32_t id = 0;
        if (cells.size() > 2 && TryStrToInt(Trim(cells[1]), id)) ids.insert(id);
    }
    return ids;
}

// The value a column of the type is proposed with: default length and precision, and for a list
// type two items.
TDataTypeValues DefaultValues(const TDataTypeRecord& r) {
    TDataTypeValues v;
    v.Length = IntToStr(r.DefaultLength);
    v.Precision = r.DefaultPrecision;
    if (r.Capabilities & dcItems) v.Items = "'a','b'";
    return v;
}

// Another value that sets every length, precision and array option the type has; empty when
// the type has none of them.
std::vector<TDataTypeValues> OtherValues(const TDataTypeRecord& r) {
    std::vector<TDataTypeValues> others;
    TDataTypeValues v = DefaultValues(r);
    if (r.Capabilities & dcLength) {
        int32_t length = r.DefaultLength > 0 ? r.DefaultLength + 5 : 12;
        if (r.MaxLength > 0) length = std::min(length, r.MaxLength);
        v.Length = IntToStr(length);
    }
    if (r.Capabilities & dcPrecision) v.Precision = r.DefaultPrecision > 0 ? r.DefaultPrecision + 1 : 3;
    if (r.Capabilities & dcArrayOptions) v.ArrayOptions = "[]";
    if (r.Capabilities & (dcLength | dcPrecision | dcArrayOptions)) others.push_back(v);
    if (r.Capabilities & dcDataTypeOptions) {
        // The one type with options is the interval, whose options are its fields.
        TDataTypeValues fields = DefaultValues(r);
        fields.DTOptions = "DAY TO SECOND";
        others.push_back(fields);
    }
    return others;
}

// The proposed value of a type followed by its other values.
std::vector<TDataTypeValues> AllValues(const TDataTypeRecord& r) {
    std::vector<TDataTypeValues> all = OtherValues(r);
    all.insert(all.begin(), DefaultValues(r));
    return all;
}

TEST(PgSqliteDefinitions, DataTypesLoadRenderAndValidate) {
    const std::set<int32_t> documented = DocumentedDefinitionIds();
    ASSERT_TRUE(documented.count(1) && documented.count(200));
    for (const char* id : TargetIds) {
        SCOPED_TRACE(id);
        const TSLDatatypes list = LoadTypes(id);
        EXPECT_TRUE(list.LoadWarnings.empty()) << JoinStrings(list.LoadWarnings, "\n");
        ASSERT_GT(list.Count(), 20);
        ASSERT_GE(list.IndexOf(list.DefaultType()), 0);
        ASSERT_GE(list.IndexOf(list.AutoNumberType()), 0);
        EXPECT_TRUE(list.AllowsAutoNumber(list.AutoNumberType()));

        std::set<int32_t> ids;
        std::vector<std::pair<int, std::string>> messages;
        const TVELMessageCallback collect = [&](TVELNamedObject*, int level, const std::string& text) {
            messages.emplace_back(level, text);
        };
        for (int i = 0; i < list.Count(); ++i) {
            const TDataTypeRecord& r = list.Record(i);
            SCOPED_TRACE(r.ListName);
            EXPECT_EQ(r.ListName, UpperCase(r.ListName));
            EXPECT_GE(list.TypeGroupAt(i), tgExactNumeric);
            if (!r.FKDataType.empty()) {
                EXPECT_GE(list.IndexOf(r.FKDataType), 0) << r.FKDataType;
            }
            if (r.DefinitionID != 0) {
                EXPECT_TRUE(ids.insert(r.DefinitionID).second)
                    << "definition id " << r.DefinitionID << " twice";
                EXPECT_TRUE(documented.count(r.DefinitionID))
                    << "undocumented definition id " << r.DefinitionID;
            }
            // Every synonym leads to its own type, not to another one.
            for (const std::string& synonym : r.SynonymList)
                EXPECT_EQ(list.IndexByNameOrSynonym(synonym), i) << synonym;
            // A type with an identity template accepts the identity option.
            if (!Trim(r.AutoNumberPropertiesTemplate).empty()) {
                EXPECT_TRUE(r.EnableAutoNumbering);
            }

            for (const TDataTypeValues& values : AllValues(r)) {
                TListDataType dt(&list);
                static_cast<TDataTypeValues&>(dt) = values;
                dt.DataType = r.ListName;
                dt.AutoNumber = r.EnableAutoNumbering;
                dt.Seed = dt.Increment = 1;
                dt.Validate(false, collect);
                const std::string text = dt.TypeText();
                EXPECT_EQ(text.find_first_of("%~"), std::string::npos) << text;
                EXPECT_EQ(text.rfind(r.ListName.substr(0, r.ListName.find(' ')), 0), 0u) << text;
            }
        }
        EXPECT_TRUE(messages.empty()) << messages.front().second;
    }

    // Names the servers use and accept lead to the right types.
    const TSLDatatypes pg = LoadTypes("postgresql15");
    const std::map<std::string, std::string> pgNames = {{"int4", "INTEGER"},
                                                        {"int", "INTEGER"},
                                                        {"integer", "INTEGER"},
                                                        {"int8", "BIGINT"},
                                                        {"character varying", "VARCHAR"},
                                                        {"bpchar", "CHAR"},
                                                        {"double precision", "DOUBLE PRECISION"},
                                                        {"float8", "DOUBLE PRECISION"},
                                                        {"timestamptz", "TIMESTAMP WITH TIME ZONE"},
                                                        {"timestamp without time zone", "TIMESTAMP"},
                                                        {"decimal", "NUMERIC"},
                                                        {"bool", "BOOLEAN"},
                                                        {"varbit", "BIT VARYING"},
                                                        {"serial4", "SERIAL"}};
    for (const auto& [name, type] : pgNames) {
        const int i = pg.IndexByNameOrSynonym(name);
        ASSERT_GE(i, 0) << name;
        EXPECT_EQ(pg.Record(i).ListName, type) << name;
    }
    EXPECT_EQ(pg.Record(pg.IndexOf("BIGSERIAL")).FKDataType, "BIGINT");
    TDataTypeValues identity;
    identity.AutoNumber = true;
    identity.Seed = 10;
    identity.Increment = 5;
    EXPECT_EQ(pg.TypeText("BIGINT", identity, true),
              "BIGINT GENERATED BY DEFAULT AS IDENTITY (START WITH 10 INCREMENT BY 5)");
    identity.ArrayOptions = "[3]";
    EXPECT_EQ(pg.TypeText("TEXT", identity, true), "TEXT[3]");
    std::string message;
    EXPECT_EQ(pg.Record(pg.BestMatch(0, "VARCHAR2", message)).ListName, "VARCHAR");
    EXPECT_EQ(pg.Record(pg.BestMatch(0, "NVARCHAR", message)).ListName, "VARCHAR");
}

// ---- running templates on a server ----------------------------------------------------------

using TValues = TTemplateValues;

TEST(PgSqliteDefinitions, FillKeepsOrDropsOptionalParts) {
    const std::string tmpl = "CREATE {%indextype% }INDEX %indexname%{ USING %method%}%terminator%";
    EXPECT_EQ(FillTemplate(tmpl, {{"indextype", "UNIQUE"}, {"indexname", "i"}, {"method", ""}, {"terminator", ";"}}),
              "CREATE UNIQUE INDEX i;");
    EXPECT_EQ(FillTemplate(tmpl, {{"indextype", ""}, {"indexname", "i{1}"}, {"method", "gin"}, {"terminator", ";"}}),
              "CREATE INDEX i{1} USING gin;");
}

// A connection to a database that runs statements and answers queries as text.
class TDatabase {
public:
    virtual ~TDatabase() = default;
    // The error text, empty when the statement ran.
    virtual std::string Exec(const std::string& sql) = 0;
    // The rows of a query (NULL as empty text); a failure is recorded as a test failure.
    virtual std::vector<std::vector<std::string>> Rows(const std::string& sql) = 0;

    std::string Value(const std::string& sql) {
        const auto rows = Rows(sql);
        return rows.empty() || rows[0].empty() ? std::string("<no row>") : rows[0][0];
    }
    // Fills a template of the definition and runs it; a failure names the template and shows
    // the statement.
    void Run(const TVELDatabaseSettings& s, const std::string& name, TValues values) {
        const std::string tmpl = s.SQLTemplate(name);
        ASSERT_FALSE(tmpl.empty()) << name;
        values.emplace_back("terminator", s.Terminator);
        const std::string sql = FillTemplate(tmpl, values);
        ASSERT_EQ(sql.find('%'), std::string::npos) << name << " left a placeholder unfilled:\n" << sql;
        EXPECT_EQ(Exec(sql), "") << name << ":\n" << sql;
    }
};

class TSQLiteDatabase : public TDatabase {
public:
    TSQLiteDatabase() {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        db_.reset(db);
    }
    std::string Exec(const std::string& sql) override {
        char* error = nullptr;
        if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return {};
        std::string text = error ? error : "error";
        sqlite3_free(error);
        return text;
    }
    std::vector<std::vector<std::string>> Rows(const std::string& sql) override {
        std::vector<std::vector<std::string>> rows;
        char* error = nullptr;
        auto collect = [](void* out, int n, char** values, char**) {
            auto* r = static_cast<std::vector<std::vector<std::string>>*>(out);
            r->emplace_back();
            for (int i = 0; i < n; ++i)
                r->back().emplace_back(values[i] ? values[i] : "");
            return 0;
        };
        if (sqlite3_exec(db_.get(), sql.c_str(), collect, &rows, &error) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << (error ? error : "error");
            sqlite3_free(error);
        }
        return rows;
    }

private:
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db_{nullptr, &sqlite3_close};
};

class TPostgresDatabase : public TDatabase {
public:
    explicit TPostgresDatabase(const std::string& database)
        : conn_(PQconnectdb(PostgresConnInfo(database).c_str()), &PQfinish) {
        EXPECT_EQ(PQstatus(conn_.get()), CONNECTION_OK) << PQerrorMessage(conn_.get());
        Exec("SET client_min_messages = warning");
    }
    std::string Exec(const std::string& sql) override {
        std::unique_ptr<PGresult, decltype(&PQclear)> res(PQexec(conn_.get(), sql.c_str()), &PQclear);
        const ExecStatusType status = PQresultStatus(res.get());
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? "" : PQerrorMessage(conn_.get());
    }
    std::vector<std::vector<std::string>> Rows(const std::string& sql) override {
        std::vector<std::vector<std::string>> rows;
        std::unique_ptr<PGresult, decltype(&PQclear)> res(PQexec(conn_.get(), sql.c_str()), &PQclear);
        if (PQresultStatus(res.get()) != PGRES_TUPLES_OK) {
            ADD_FAILURE() << sql << ": " << PQerrorMessage(conn_.get());
            return rows;
        }
        for (int r = 0; r < PQntuples(res.get()); ++r) {
            rows.emplace_back();
            for (int c = 0; c < PQnfields(res.get()); ++c)
                rows.back().emplace_back(PQgetvalue(res.get(), r, c));
        }
        return rows;
    }

private:
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn_;
};

// A fresh database of the PostgreSQL test server, dropped at the end.
class TPostgresTestDatabase {
public:
    TPostgresTestDatabase()
        : name_(CreatePostgresDatabase("defs")), db_(std::make_unique<TPostgresDatabase>(name_)) {}
    ~TPostgresTestDatabase() {
        db_.reset();
        DropPostgresDatabase(name_);
    }
    TPostgresDatabase& operator*() { return *db_; }

private:
    std::string name_;
    std::unique_ptr<TPostgresDatabase> db_;
};

// Fills the column template of a definition.
std::string Column(const TVELDatabaseSettings& s, const std::string& name, const std::string& type,
                   const TValues& more = {}) {
    TValues values = {{"columnname", Quoted(name)}, {"datatype", type}};
    for (const auto& v : WithEmpty(
             more, {"sqliteautoincpk", "collate", "defaultvalue", "notnull", "check", "attributeoptions"}))
        values.push_back(v);
    return FillTemplate(s.SQLTemplate("SQLCreateColumn"), values);
}

// Fills and runs the table template of a definition with the given filled columns and parts.
void CreateTable(TDatabase& db, const TVELDatabaseSettings& s, const std::string& table,
                 const std::vector<std::string>& columns, const TValues& more = {}) {
    TValues values = {{"tablename", table}, {"tablecolumns", JoinStrings(columns, ",")}};
    for (const auto& v : WithEmpty(more, {"pkconstraint", "tableconstraints", "tableoptions",
                                          "begintablescript", "endtablescript"}))
        values.push_back(v);
    db.Run(s, "SQLCreateTable", values);
}

// A column c0, c1, ... for each value of a type: the values, their type texts and the filled
// column templates.
struct TTypeColumns {
    std::vector<TDataTypeValues> Values;
    std::vector<std::string> Texts;
    std::vector<std::string> Columns;
};

TTypeColumns TypeColumns(const TVELDatabaseSettings& s, const TSLDatatypes& list, const TDataTypeRecord& r) {
    TTypeColumns t;
    t.Values = AllValues(r);
    for (const TDataTypeValues& values : t.Values) {
        t.Texts.push_back(list.TypeText(r.ListName, values, true));
        t.Columns.push_back(Column(s, "c" + IntToStr(static_cast<int>(t.Columns.size())), t.Texts.back()));
    }
    return t;
}

// ---- SQLite ----------------------------------------------------------------------------------------

// The storage classes SQLite gives the integer 12 and the text '12' in a column: they show the
// column's affinity.
std::string ExpectedAffinity(int group) {
    switch (group) {
    case tgApproximateNumeric:
        return "real,real";
    case tgString:
        return "text,text";
    case tgBinary:
        return "integer,text";
    default:
        return "integer,integer";
    }
}

TEST(PgSqliteDefinitions, SQLiteAcceptsEveryDataType) {
    TVELDatabaseSettings s;
    LoadTarget("sqlite3", s);
    const TSLDatatypes list = LoadTypes("sqlite3");
    TSQLiteDatabase db;
    for (int i = 0; i < list.Count(); ++i) {
        const TDataTypeRecord& r = list.Record(i);
        SCOPED_TRACE(r.ListName);
        const TTypeColumns t = TypeColumns(s, list, r);
        const std::vector<std::string>& texts = t.Texts;
        const std::string table = "t" + IntToStr(i);
        CreateTable(db, s, Quoted(table), t.Columns);
        // The declared type is kept as written, and gives the affinity of the type's group.
        const auto info = db.Rows("PRAGMA table_info(" + Quoted(table) + ")");
        ASSERT_EQ(info.size(), texts.size());
        for (size_t c = 0; c < texts.size(); ++c) {
            EXPECT_EQ(info[c][2], texts[c]);
            const std::string column = "c" + IntToStr(static_cast<int>(c));
            db.Exec("DELETE FROM " + Quoted(table));
            EXPECT_EQ(db.Exec("INSERT INTO " + Quoted(table) + " (" + column + ") VALUES (12), ('12')"), "");
            EXPECT_EQ(JoinStrings({db.Rows("SELECT typeof(" + column + ") FROM " + Quoted(table) +
                                           " ORDER BY rowid")[0][0],
                                   db.Rows("SELECT typeof(" + column + ") FROM " + Quoted(table) +
                                           " ORDER BY rowid DESC")[0][0]},
                                  ","),
                      ExpectedAffinity(list.TypeGroupAt(i)))
                << texts[c];
        }
        // The identity form: the column becomes the row id and is numbered from 1.
        if (r.EnableAutoNumbering) {
            TDataTypeValues identity = DefaultValues(r);
            identity.AutoNumber = true;
            const std::string idTable = "id" + IntToStr(i);
            CreateTable(db, s, Quoted(idTable),
                        {Column(s, "id", list.TypeText(r.ListName, identity, true),
                                {{"sqliteautoincpk", "PRIMARY KEY AUTOINCREMENT"}, {"notnull", "NOT NULL"}}),
                         Column(s, "v", "TEXT")});
            EXPECT_EQ(db.Exec("INSERT INTO " + Quoted(idTable) + " (v) VALUES ('a'), ('b')"), "");
            EXPECT_EQ(db.Value("SELECT max(id) || ',' || max(rowid) FROM " + Quoted(idTable)), "2,2");
            EXPECT_EQ(db.Value("SELECT seq FROM sqlite_sequence WHERE name = '" + idTable + "'"), "2");
        }
    }
}

// The keywords of the SQLite library: the reserved list holds the ones that cannot name a
// table or a column unquoted, the keywords list the others.
TEST(PgSqliteDefinitions, SQLiteWordListsAreTheLibrarysKeywords) {
    TVELDatabaseSettings s;
    LoadTarget("sqlite3", s);
    const TWordList reserved = ReadWordList(DefinitionsDir() + "/" + s.ReservedWordsFile);
    const TWordList keywords = ReadWordList(DefinitionsDir() + "/" + s.KeywordsFile);
    std::set<std::string> library;
    for (int i = 0; i < sqlite3_keyword_count(); ++i) {
        const char* name = nullptr;
        int length = 0;
        ASSERT_EQ(sqlite3_keyword_name(i, &name, &length), SQLITE_OK);
        library.insert(std::string(name, static_cast<size_t>(length)));
    }
    std::set<std::string> listed(reserved.Words.begin(), reserved.Words.end());
    listed.insert(keywords.Words.begin(), keywords.Words.end());
    // TRUE and FALSE are no keywords but stand for 1 and 0 in a default value.
    listed.erase("TRUE");
    listed.erase("FALSE");
    EXPECT_EQ(listed, library);

    TSQLiteDatabase db;
    auto usable = [&](const std::string& word) {
        const bool asTable = db.Exec("CREATE TABLE " + word + " (x INT)") == "";
        db.Exec("DROP TABLE IF EXISTS " + Quoted(word));
        const bool asColumn = db.Exec("CREATE TABLE t (" + word + " INT)") == "";
        db.Exec("DROP TABLE IF EXISTS t");
        return asTable && asColumn;
    };
    for (const std::string& word : reserved.Words) {
        if (library.count(word) && !reserved.Defaults.count(word)) {
            EXPECT_FALSE(usable(word)) << word;
        }
    }
    for (const std::string& word : keywords.Words)
        EXPECT_TRUE(usable(word)) << word;
    for (const std::string& word : reserved.Defaults) {
        EXPECT_EQ(db.Exec("CREATE TABLE d (a DEFAULT " + word + ", b INT)"), "") << word;
        EXPECT_EQ(db.Exec("INSERT INTO d (b) VALUES (1)"), "");
        EXPECT_EQ(db.Value("SELECT ifnull(upper(a), '') <> '" + word + "' FROM d"), "1")
            << word << " was taken for a text";
        db.Exec("DROP TABLE d");
    }
}

TEST(PgSqliteDefinitions, SQLiteRunsEveryTemplate) {
    TVELDatabaseSettings s;
    LoadTarget("sqlite3", s);
    TSQLiteDatabase db;
    const std::string parent = Quoted("Parent");
    const std::string child = Quoted("Child");
    const std::string name = Quoted("Name");

    db.Run(s, "SQLStartTransAction", {});
    CreateTable(
        db, s, parent,
        {Column(s, "Id", "INTEGER",
                {{"sqliteautoincpk", "PRIMARY KEY AUTOINCREMENT"}, {"notnull", "NOT NULL"}}),
         Column(s, "Name", "VARCHAR(40)",
                {{"notnull", "NOT NULL"},
                 {"defaultvalue", "'none'"},
                 {"collate", "NOCASE"},
                 {"check", "length(\"Name\") > 0"}}),
         Column(s, "Kind", "TEXT", {{"attributeoptions", "GENERATED ALWAYS AS (upper(\"Name\")) VIRTUAL"}})},
        {{"tableconstraints",
          FillTemplate(s.SQLTemplate("SQLCreateUniqueConstraint"), {{"constraintname", Quoted("AK_Name")},
                                                            {"constraintcolumns", name},
                                                            {"constraintoptions", "ON CONFLICT ABORT"}}) +
              "," +
              FillTemplate(s.SQLTemplate("SQLCreateCheckConstraint"),
                   {{"constraintname", Quoted("CK_Name")}, {"constraint", "\"Name\" <> 'x'"}})},
         {"begintablescript", "SELECT 1;"}});
    CreateTable(db, s, child, {Column(s, "Id", "INTEGER"), Column(s, "ParentId", "INTEGER")},
                {{"pkconstraint",
                  FillTemplate(s.SQLTemplate("SQLCreatePKConstraint"), {{"constraintname", Quoted("PK_Child")},
                                                                {"constraintcolumns", Quoted("Id")},
                                                                {"constraintoptions", ""}})},
                 {"tableconstraints", FillTemplate(s.SQLTemplate("SQLCreateFKConstraint"),
                                           {{"constraintname", ""},
                                            {"childcolumns", Quoted("ParentId")},
                                            {"parenttablename", parent},
                                            {"parentcolumns", Quoted("Id")},
                                            {"deleterule", "ON DELETE CASCADE"},
                                            {"updaterule", "ON UPDATE SET NULL"},
                                            {"constraintoptions", "DEFERRABLE INITIALLY DEFERRED"}})},
                 {"tableoptions", "WITHOUT ROWID"}});
    EXPECT_EQ(db.Value("SELECT on_delete || ',' || on_update FROM pragma_foreign_key_list('Child')"),
              "CASCADE,SET NULL");
    EXPECT_EQ(
        db.Value("SELECT count(*) FROM sqlite_master WHERE sql LIKE '%CONSTRAINT \"PK_Child\" PRIMARY KEY%'"),
        "1");
    const std::string indexColumns =
        FillTemplate(s.SQLTemplate("SQLIndexColumn"),
             {{"indexcolumn", Quoted("ParentId")}, {"indexcolumnsortoption", "DESC"}}) +
        "," +
        FillTemplate(s.SQLTemplate("SQLIndexColumn"), {{"indexcolumn", Quoted("Id")}, {"indexcolumnsortoption", ""}});
    db.Run(s, "SQLCreateIndex",
           {{"indextype", "UNIQUE"},
            {"indexname", Quoted("IX_Child")},
            {"tablename", child},
            {"indexcolumns", indexColumns},
            {"indexoptions", "WHERE \"ParentId\" IS NOT NULL"}});
    EXPECT_EQ(
        db.Value(
            "SELECT \"unique\" || ',' || partial FROM pragma_index_list('Child') WHERE name = 'IX_Child'"),
        "1,1");
    EXPECT_EQ(db.Value("SELECT group_concat(desc) FROM pragma_index_xinfo('IX_Child') WHERE key"), "1,0");
    db.Run(s, "SQLCreateView", {{"viewcode", "CREATE VIEW \"V\" AS SELECT \"Name\" FROM \"Parent\""}});
    db.Run(s, "SQLCreateTrigger",
           {{"triggercode", "CREATE TRIGGER \"TR\" AFTER INSERT ON \"Parent\" BEGIN "
                            "INSERT INTO \"Child\" VALUES (NEW.\"Id\" * 10, NEW.\"Id\"); END"}});
    db.Run(s, "SQLEndTransAction", {});
    EXPECT_EQ(db.Exec("INSERT INTO \"Parent\" (\"Name\") VALUES ('a'), ('b')"), "");
    EXPECT_EQ(db.Value("SELECT group_concat(\"Id\") FROM \"Child\""), "10,20");
    EXPECT_EQ(db.Value("SELECT group_concat(\"Kind\") FROM \"V\" JOIN \"Parent\" USING (\"Name\")"), "A,B");

    // Altering in place: add, rename and drop a column, rename the table.
    db.Run(s, "SQLAddColumn",
           {{"tablename", child},
            {"columnname", Quoted("Note")},
            {"datatype", "TEXT"},
            {"notnull", "NOT NULL"},
            {"defaultvalue", "'n'"},
            {"collate", "NOCASE"},
            {"check", "\"Note\" <> ''"},
            {"attributeoptions", ""}});
    db.Run(s, "SQLRenameColumn",
           {{"tablename", child}, {"oldcolumnname", Quoted("Note")}, {"columnname", Quoted("Remark")}});
    EXPECT_EQ(db.Value("SELECT group_concat(\"Remark\") FROM \"Child\""), "n,n");
    db.Run(s, "SQLDropColumn", {{"tablename", child}, {"columnname", Quoted("Remark")}});
    db.Run(s, "SQLRenameTable", {{"oldtablename", child}, {"quotedsimpletablename", Quoted("Child2")}});
    db.Run(s, "SQLDropTrigger", {{"triggername", Quoted("TR")}});
    db.Run(s, "SQLDropView", {{"viewname", Quoted("V")}});
    db.Run(s, "SQLDropIndex", {{"indexname", Quoted("IX_Child")}});

    // Recreating a table: the data are copied and the numbering goes on.
    db.Run(s, "SQLDisableFKConstraints", {});
    db.Run(
        s, "SQLCreateTempTable",
        {{"tablename", Quoted("Parent_TMP")},
         {"temptablecolumns",
          FillTemplate(s.SQLTemplate("SQLCreateTempTableColumn"), {{"columnname", Quoted("Id")},
                                                           {"datatype", "INTEGER"},
                                                           {"sqliteautoincpk", "PRIMARY KEY AUTOINCREMENT"},
                                                           {"notnull", "NOT NULL"},
                                                           {"defaultvalue", ""},
                                                           {"collate", ""},
                                                           {"check", ""},
                                                           {"attributeoptions", ""}}) +
              "," +
              FillTemplate(s.SQLTemplate("SQLCreateTempTableColumn"), {{"columnname", name},
                                                               {"datatype", "TEXT"},
                                                               {"sqliteautoincpk", ""},
                                                               {"notnull", ""},
                                                               {"defaultvalue", ""},
                                                               {"collate", ""},
                                                               {"check", ""},
                                                               {"attributeoptions", ""}})},
         {"pkconstraint", ""},
         {"tableconstraints", FillTemplate(s.SQLTemplate("SQLCreateCheckConstraint"),
                                   {{"constraintname", ""}, {"constraint", "\"Name\" <> 'x'"}})},
         {"tableoptions", ""}});
    db.Run(s, "SQLCopyData",
           {{"tablename", Quoted("Parent_TMP")},
            {"intofields", "\"Id\",\"Name\""},
            {"selectfields", "\"Id\",\"Name\""},
            {"oldtablename", parent}});
    db.Run(s, "SQLDropTable", {{"tablename", parent}});
    db.Run(s, "SQLRenameTable", {{"oldtablename", Quoted("Parent_TMP")}, {"quotedsimpletablename", parent}});
    db.Run(s, "SQLEnableFKConstraints", {});
    EXPECT_EQ(db.Exec("INSERT INTO \"Parent\" (\"Name\") VALUES ('c')"), "");
    EXPECT_EQ(db.Value("SELECT group_concat(\"Id\") FROM \"Parent\""), "1,2,3");
    EXPECT_TRUE(db.Rows("PRAGMA foreign_key_check").empty());

    // Check constraints can be switched off for the connection.
    db.Run(s, "SQLDisableCheckConstraints", {});
    EXPECT_EQ(db.Exec("INSERT INTO \"Parent\" (\"Name\") VALUES ('x')"), "");
    db.Run(s, "SQLEnableCheckConstraints", {});
    EXPECT_NE(db.Exec("INSERT INTO \"Parent\" (\"Name\") VALUES ('x')"), "");

    db.Run(s, "SQLDropTable", {{"tablename", Quoted("Child2")}});
    db.Run(s, "SQLDropTable", {{"tablename", parent}});
    EXPECT_EQ(db.Value("SELECT count(*) FROM sqlite_master WHERE name <> 'sqlite_sequence'"), "0");
}

// ---- PostgreSQL --------------------------------------------------------------------------------

// The type of the list that a type name reported by the server (format_type) stands for: the
// name without its modifiers, or the longest leading words of it that name a type (an interval
// is reported with its fields).
int ReportedType(const TSLDatatypes& list, const std::string& reported) {
    std::string name;
    int depth = 0;
    for (char c : reported) {
        if (c == '(' || c == '[') ++depth;
        if (depth == 0) name += c;
        if ((c == ')' || c == ']') && depth > 0) --depth;
    }
    std::vector<std::string> words = SplitString(Trim(name), ' ');
    while (!words.empty()) {
        const int i = list.IndexByNameOrSynonym(JoinStrings(words, " "));
        if (i >= 0) return i;
        words.pop_back();
    }
    return -1;
}

// The modifiers of a type text: what stands in parentheses and brackets, without blanks.
std::string Modifiers(const std::string& text, bool withParentheses = true) {
    std::string out;
    int depth = 0;
    for (char c : text) {
        if (c == '(' || c == '[') ++depth;
        const bool bracket = c == '[' || c == ']';
        if (depth > 0 && c != ' ' && (withParentheses || bracket)) out += c;
        if ((c == ')' || c == ']') && depth > 0) --depth;
    }
    return out;
}

// The type the server stores for a column declared with a type of the list: a serial type is
// its integer type with a default, FLOAT(p) is REAL or DOUBLE PRECISION by its binary precision.
std::string StoredType(const TDataTypeRecord& r, const TDataTypeValues& v) {
    if (!r.FKDataType.empty()) return r.FKDataType;
    if (r.ListName == "FLOAT") {
        const int32_t bits = StrToIntDef(v.Length, 0);
        return bits >= 1 && bits <= 24 ? "REAL" : "DOUBLE PRECISION";
    }
    return r.ListName;
}

TEST(PgSqliteDefinitions, PostgreSQLAcceptsEveryDataType) {
    TVELDatabaseSettings s;
    LoadTarget("postgresql15", s);
    const TSLDatatypes list = LoadTypes("postgresql15");
    TPostgresTestDatabase test;
    TDatabase& db = *test;
    ASSERT_EQ(db.Exec("CREATE SCHEMA typecheck"), "");
    auto reportedTypes = [&](const std::string& table) {
        std::vector<std::string> types;
        for (const auto& row :
             db.Rows("SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = '" + table +
                     "'::regclass AND attnum > 0 AND NOT attisdropped ORDER BY attnum"))
            types.push_back(row[0]);
        return types;
    };
    for (int i = 0; i < list.Count(); ++i) {
        const TDataTypeRecord& r = list.Record(i);
        SCOPED_TRACE(r.ListName);
        const std::string table = Quoted("typecheck", "t" + IntToStr(i));
        if (r.DomainAsType) {
            // Such a type exists only as a named type of its own.
            const std::string type = Quoted("typecheck", "e" + IntToStr(i));
            db.Run(s, "SQLCreateType", {{"domainname", type}, {"items", DefaultValues(r).Items}});
            CreateTable(db, s, table, {Column(s, "c0", type)});
            EXPECT_EQ(
                db.Value("SELECT string_agg(e.enumlabel, ',' ORDER BY e.enumsortorder) FROM pg_attribute a "
                         "JOIN pg_enum e ON e.enumtypid = a.atttypid WHERE a.attrelid = '" +
                         table + "'::regclass AND a.attname = 'c0'"),
                "a,b");
            continue;
        }
        const TTypeColumns t = TypeColumns(s, list, r);
        CreateTable(db, s, table, t.Columns);
        // The server reports each column as the type meant, with the length, precision and
        // array dimensions written.
        const std::vector<std::string> reported = reportedTypes(table);
        ASSERT_EQ(reported.size(), t.Values.size());
        for (size_t c = 0; c < t.Values.size(); ++c) {
            const std::string stored = StoredType(r, t.Values[c]);
            const int at = ReportedType(list, reported[c]);
            ASSERT_GE(at, 0) << reported[c] << " names no type of the list";
            EXPECT_EQ(list.Record(at).ListName, stored) << t.Texts[c] << " is reported as " << reported[c];
            EXPECT_EQ(ReportedType(list, t.Texts[c]), i) << t.Texts[c];
            EXPECT_EQ(Modifiers(reported[c]), Modifiers(t.Texts[c], stored == r.ListName))
                << t.Texts[c] << " is reported as " << reported[c];
        }
        if (r.Group == tgAutonumber) {
            EXPECT_NE(db.Value("SELECT pg_get_serial_sequence('" + table + "', 'c0')"), "");
        }
        // The synonyms are names the server accepts for the same type.
        if (!r.SynonymList.empty()) {
            std::vector<std::string> synonymColumns;
            for (const std::string& synonym : r.SynonymList)
                synonymColumns.push_back(
                    Column(s, "s" + IntToStr(static_cast<int>(synonymColumns.size())), synonym));
            const std::string synonymTable = Quoted("typecheck", "s" + IntToStr(i));
            CreateTable(db, s, synonymTable, synonymColumns);
            for (const std::string& type : reportedTypes(synonymTable)) {
                const int at = ReportedType(list, type);
                ASSERT_GE(at, 0) << type << " names no type of the list";
                EXPECT_EQ(list.Record(at).ListName, StoredType(r, DefaultValues(r))) << type;
            }
        }

        // The identity form: numbered by a sequence with the seed and increment written.
        if (!Trim(r.AutoNumberPropertiesTemplate).empty()) {
            TDataTypeValues identity = DefaultValues(r);
            identity.AutoNumber = true;
            identity.Seed = 5;
            identity.Increment = 2;
            const std::string idTable = Quoted("typecheck", "id" + IntToStr(i));
            CreateTable(db, s, idTable,
                        {Column(s, "id", list.TypeText(r.ListName, identity, true)), Column(s, "v", "TEXT")});
            EXPECT_EQ(db.Value("SELECT attidentity FROM pg_attribute WHERE attrelid = '" + idTable +
                               "'::regclass AND attname = 'id'"),
                      "d");
            EXPECT_EQ(db.Exec("INSERT INTO " + idTable + " (v) VALUES ('a'), ('b')"), "");
            EXPECT_EQ(db.Value("SELECT string_agg(id::text, ',' ORDER BY id) FROM " + idTable), "5,7");
        }
    }
}

// The reserved words are the server's reserved key words (usable neither as a table nor as a
// column name unquoted), the keywords its non-reserved ones; the functions allowed in defaults
// are functions of the server.
TEST(PgSqliteDefinitions, PostgreSQLWordListsAreTheServersKeywords) {
    TVELDatabaseSettings s;
    LoadTarget("postgresql15", s);
    const TWordList reserved = ReadWordList(DefinitionsDir() + "/" + s.ReservedWordsFile);
    const TWordList keywords = ReadWordList(DefinitionsDir() + "/" + s.KeywordsFile);
    TPostgresTestDatabase test;
    TDatabase& db = *test;
    auto words = [&](const std::string& categories) {
        std::set<std::string> set;
        for (const auto& row :
             db.Rows("SELECT upper(word) FROM pg_get_keywords() WHERE catcode IN (" + categories + ")"))
            set.insert(row[0]);
        return set;
    };
    const std::set<std::string> serverReserved = words("'R','T'");
    EXPECT_EQ(std::set<std::string>(keywords.Words.begin(), keywords.Words.end()), words("'U','C'"));
    for (const std::string& word : reserved.Words) {
        if (serverReserved.count(word)) continue;
        EXPECT_TRUE(reserved.Defaults.count(word)) << word << " is no reserved key word";
        EXPECT_NE(db.Value("SELECT count(*) FROM pg_proc WHERE proname = lower('" + word + "')"), "0")
            << word << " is no function";
    }
    for (const std::string& word : serverReserved)
        EXPECT_NE(std::find(reserved.Words.begin(), reserved.Words.end(), word), reserved.Words.end())
            << word;
    for (const std::string& word : reserved.Defaults) {
        if (!serverReserved.count(word)) continue;
        EXPECT_EQ(db.Exec("CREATE TEMP TABLE d (a text DEFAULT " + word + ")"), "") << word;
        db.Exec("DROP TABLE IF EXISTS d");
    }
}

TEST(PgSqliteDefinitions, PostgreSQLRunsEveryTemplate) {
    TVELDatabaseSettings s;
    LoadTarget("postgresql15", s);
    const TSLDatatypes list = LoadTypes("postgresql15");
    TPostgresTestDatabase test;
    TDatabase& db = *test;
    const std::string parent = Quoted("tpl", "Parent");
    const std::string child = Quoted("tpl", "Child");
    const std::string seq = Quoted("tpl", "Seq1");
    const std::string domain = Quoted("tpl", "Code");
    auto count = [&](const std::string& sql) { return db.Value("SELECT count(*) FROM " + sql); };

    db.Run(s, "SQLAddSchema", {{"tableschema", "tpl"}});
    db.Run(s, "SQLStartTransAction", {});
    db.Run(s, "SQLCreateSequence",
           {{"seqname", seq},
            {"seqintegertype", "BIGINT"},
            {"seqincrement", "2"},
            {"seqmin", "1"},
            {"seqmax", "1000"},
            {"seqseed", "5"},
            {"seqcache", "10"},
            {"seqcycle", "CYCLE"}});
    EXPECT_EQ(
        db.Value(
            "SELECT format_type(seqtypid, NULL) || seqstart || ',' || seqincrement || ',' || seqmax || ',' "
            "|| seqcache || ',' || seqcycle FROM pg_sequence WHERE seqrelid = '" +
            seq + "'::regclass"),
        "bigint5,2,1000,10,true");
    db.Run(s, "SQLCreateSequence",
           {{"seqname", Quoted("tpl", "Seq2")},
            {"seqintegertype", ""},
            {"seqincrement", "1"},
            {"seqmin", ""},
            {"seqmax", ""},
            {"seqseed", "1"},
            {"seqcache", ""},
            {"seqcycle", ""}});
    db.Run(s, "SQLAddSequenceComment", {{"seqname", seq}, {"seqcomment", "'numbers'"}});
    db.Run(s, "SQLModifySequenceComment", {{"seqname", seq}, {"seqcomment", "'numbers!'"}});
    EXPECT_EQ(db.Value("SELECT obj_description('" + seq + "'::regclass, 'pg_class')"), "numbers!");

    // Domains: created, their checks and defaults changed, renamed; an enumerated type.
    db.Run(s, "SQLCreateDomain",
           {{"domainname", domain},
            {"datatype", "VARCHAR(10)"},
            {"collate", "\"C\""},
            {"defaultvalue", "'xy'"},
            {"checkconstraint", "VALUE <> ''"}});
    const std::string domainCheck = "pg_constraint WHERE contypid = '" + domain + "'::regtype";
    EXPECT_EQ(count(domainCheck), "1");
    db.Run(s, "SQLModifyDomainDropCheck", {{"domainname", domain}, {"nonquotedsimpledomainname", "Code"}});
    EXPECT_EQ(count(domainCheck), "0");
    db.Run(s, "SQLModifyDomainAddCheck", {{"domainname", domain}, {"checkconstraint", "length(VALUE) > 1"}});
    EXPECT_EQ(count(domainCheck), "1");
    db.Run(s, "SQLModifyDomainDropCheck", {{"domainname", domain}, {"nonquotedsimpledomainname", "Code"}});
    EXPECT_EQ(count(domainCheck), "0");
    db.Run(s, "SQLModifyDomainAddCheck", {{"domainname", domain}, {"checkconstraint", "length(VALUE) > 1"}});
    db.Run(s, "SQLModifyDomainDropDefault", {{"domainname", domain}});
    db.Run(s, "SQLModifyDomainSetDefault", {{"domainname", domain}, {"defaultvalue", "'zz'"}});
    EXPECT_EQ(db.Value("SELECT typdefault FROM pg_type WHERE oid = '" + domain + "'::regtype"),
              "'zz'::character varying");
    db.Run(s, "SQLRenameDomain", {{"olddomainname", domain}, {"quotedsimpledomainname", Quoted("Code2")}});
    const std::string domain2 = Quoted("tpl", "Code2");
    db.Run(s, "SQLCreateType", {{"domainname", Quoted("tpl", "Mood")}, {"items", "'sad','happy'"}});

    // Tables, with an identity column, a sequence default, a domain and a generated column.
    TDataTypeValues identity;
    identity.AutoNumber = true;
    const std::string nextval = ReplaceAll(s.AutonumberDefaultTemplate, "%quotedqualifiedseqname%", seq);
    CreateTable(
        db, s, parent,
        {Column(s, "Id", list.TypeText("INTEGER", identity, true), {{"notnull", "NOT NULL"}}),
         Column(s, "Code", domain2),
         Column(s, "Name", "VARCHAR(40)",
                {{"collate", "\"C\""}, {"defaultvalue", "'none'"}, {"notnull", "NOT NULL"}}),
         Column(s, "Num", "BIGINT", {{"defaultvalue", nextval}}),
         Column(s, "Twice", "INTEGER", {{"attributeoptions", "GENERATED ALWAYS AS (\"Id\" * 2) STORED"}})},
        {{"pkconstraint",
          FillTemplate(s.SQLTemplate("SQLCreatePKConstraint"), {{"constraintname", Quoted("PK_Parent")},
                                                        {"constraintcolumns", Quoted("Id")},
                                                        {"constraintoptions", "WITH (fillfactor = 90)"}})},
         {"tableoptions", "WITH (fillfactor = 70)"},
         {"endtablescript", "SELECT 1;"}});
    EXPECT_EQ(db.Value("SELECT array_to_string(reloptions, ',') FROM pg_class WHERE oid = '" + parent +
                       "'::regclass"),
              "fillfactor=70");
    EXPECT_EQ(count("pg_constraint WHERE conname = 'PK_Parent' AND contype = 'p'"), "1");
    CreateTable(
        db, s, child,
        {Column(s, "Id", "SERIAL"), Column(s, "ParentId", "INTEGER"),
         Column(s, "Mood", Quoted("tpl", "Mood"))},
        {{"pkconstraint",
          FillTemplate(s.SQLTemplate("SQLCreatePKConstraint"),
               {{"constraintname", ""}, {"constraintcolumns", Quoted("Id")}, {"constraintoptions", ""}})}});

    // Constraints added to the tables.
    db.Run(s, "SQLCreateFKConstraint",
           {{"childtablename", child},
            {"constraintname", Quoted("FK_Child_Parent")},
            {"childcolumns", Quoted("ParentId")},
            {"parenttablename", parent},
            {"parentcolumns", Quoted("Id")},
            {"deleterule", "ON DELETE CASCADE"},
            {"updaterule", "ON UPDATE SET NULL"},
            {"constraintoptions", "DEFERRABLE INITIALLY DEFERRED"}});
    EXPECT_EQ(
        db.Value(
            "SELECT confdeltype::text || confupdtype::text || condeferred FROM pg_constraint WHERE conname = "
            "'FK_Child_Parent'"),
        "cntrue");
    db.Run(s, "SQLCreateUniqueConstraint",
           {{"tablename", parent},
            {"constraintname", Quoted("AK_Parent_Name")},
            {"constraintcolumns", Quoted("Name")},
            {"constraintoptions", ""}});
    db.Run(s, "SQLCreateCheckConstraint",
           {{"tablename", parent},
            {"constraintname", Quoted("CK_Num")},
            {"constraint", "\"Num\" > 0"},
            {"constraintoptions", "NOT VALID"}});
    db.Run(s, "SQLAddCheckConstraint",
           {{"tablename", parent},
            {"constraintname", ""},
            {"constraint", "\"Num\" < 100000"},
            {"constraintoptions", ""}});
    EXPECT_EQ(count("pg_constraint WHERE conrelid = '" + parent + "'::regclass AND contype = 'c'"), "2");
    db.Run(s, "SQLCreateDefaultConstraint",
           {{"tablename", child}, {"constraintcolumn", Quoted("ParentId")}, {"constraint", "1"}});
    db.Run(s, "SQLCreateNotNullConstraint", {{"tablename", child}, {"constraintcolumn", Quoted("ParentId")}});
    EXPECT_EQ(db.Value("SELECT attnotnull || ',' || atthasdef FROM pg_attribute WHERE attrelid = '" + child +
                       "'::regclass AND attname = 'ParentId'"),
              "true,true");
    const std::string indexColumns =
        FillTemplate(s.SQLTemplate("SQLIndexColumn"),
             {{"indexcolumn", Quoted("Name")}, {"indexcolumnsortoption", "DESC"}}) +
        "," +
        FillTemplate(s.SQLTemplate("SQLIndexColumn"),
             {{"indexcolumn", "(lower(\"Name\"))"}, {"indexcolumnsortoption", "ASC NULLS FIRST"}});
    db.Run(s, "SQLCreateIndex",
           {{"indextype", "UNIQUE"},
            {"quotedsimpleindexname", Quoted("IX_Parent")},
            {"tablename", parent},
            {"indexclustering", "btree"},
            {"indexcolumns", indexColumns},
            {"indexoptions", "WHERE \"Num\" > 0"}});
    EXPECT_EQ(
        db.Value("SELECT indisunique || ',' || indoption::text || ',' || (indpred IS NOT NULL) FROM pg_index "
                 "WHERE indexrelid = '\"tpl\".\"IX_Parent\"'::regclass"),
        "true,3 2,true");
    db.Run(s, "SQLCreateIndex",
           {{"indextype", ""},
            {"quotedsimpleindexname", Quoted("IX_Child")},
            {"tablename", child},
            {"indexclustering", ""},
            {"indexcolumns", Quoted("ParentId")},
            {"indexoptions", ""}});

    // Code objects and their comments.
    db.Run(s, "SQLCreateView",
           {{"viewcode", "CREATE VIEW \"tpl\".\"V\" AS SELECT \"Id\", \"Name\" FROM " + parent}});
    db.Run(s, "SQLCreateProcedure",
           {{"proccode",
             "CREATE FUNCTION \"tpl\".\"add1\"(a integer) RETURNS integer LANGUAGE sql AS $$SELECT a + "
             "1$$"}});
    db.Run(s, "SQLCreateProcedure",
           {{"proccode", "CREATE PROCEDURE \"tpl\".\"noop\"() LANGUAGE sql AS $$SELECT 1$$"}});
    db.Run(
        s, "SQLCreateProcedure",
        {{"proccode", "CREATE FUNCTION \"tpl\".\"upper_name\"() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                      "NEW.\"Name\" := upper(NEW.\"Name\"); RETURN NEW; END$$"}});
    db.Run(s, "SQLCreateTrigger",
           {{"triggercode", "CREATE TRIGGER \"TR_Parent\" BEFORE INSERT ON " + parent +
                                " FOR EACH ROW EXECUTE FUNCTION \"tpl\".\"upper_name\"()"}});
    db.Run(
        s, "SQLCreateRule",
        {{"rulecode", "CREATE RULE \"R_Child\" AS ON DELETE TO " + child + " DO ALSO NOTIFY child_deleted"}});
    db.Run(s, "SQLAddTableComment", {{"tablename", parent}, {"tablecomment", "'parents'"}});
    db.Run(s, "SQLAddColumnComment",
           {{"tablename", parent}, {"columnname", Quoted("Name")}, {"columncomment", "'name'"}});
    db.Run(s, "SQLAddViewComment", {{"viewname", Quoted("tpl", "V")}, {"viewcomment", "'view'"}});
    db.Run(s, "SQLAddProcedureComment",
           {{"procname", Quoted("tpl", "add1")}, {"procparams", "a integer"}, {"proccomment", "'adds'"}});
    db.Run(s, "SQLAddProcedureComment",
           {{"procname", Quoted("tpl", "noop")}, {"procparams", ""}, {"proccomment", "'x'"}});
    db.Run(s, "SQLAddRuleComment",
           {{"nonquotedsimplerulename", "R_Child"}, {"rulecomment", "'it''s a rule'"}});
    const std::string ruleComment =
        "SELECT obj_description(oid, 'pg_rewrite') FROM pg_rewrite WHERE rulename = 'R_Child'";
    EXPECT_EQ(db.Value(ruleComment), "it's a rule");
    db.Run(s, "SQLModifyRuleComment", {{"nonquotedsimplerulename", "R_Child"}, {"rulecomment", "'rule'"}});
    EXPECT_EQ(db.Value(ruleComment), "rule");
    db.Run(s, "SQLModifyTableComment", {{"tablename", parent}, {"tablecomment", "'the parents'"}});
    db.Run(s, "SQLModifyColumnComment",
           {{"tablename", parent}, {"columnname", Quoted("Name")}, {"columncomment", "'the name'"}});
    db.Run(s, "SQLModifyViewComment", {{"viewname", Quoted("tpl", "V")}, {"viewcomment", "'the view'"}});
    db.Run(s, "SQLModifyProcedureComment",
           {{"procname", Quoted("tpl", "add1")}, {"procparams", "a integer"}, {"proccomment", "'adds one'"}});
    EXPECT_EQ(db.Value("SELECT obj_description('" + parent +
                       "'::regclass, 'pg_class') || ',' || col_description('" + parent +
                       "'::regclass, 3) || ',' || obj_description('\"tpl\".\"V\"'::regclass, 'pg_class') || "
                       "',' || obj_description('\"tpl\".\"add1\"'::regproc, 'pg_proc')"),
              "the parents,the name,the view,adds one");
    db.Run(s, "SQLEndTransAction", {});

    EXPECT_EQ(db.Exec("INSERT INTO " + parent + " (\"Code\", \"Name\") VALUES ('ab', 'b'), ('cd', 'c')"), "");
    EXPECT_EQ(
        db.Value("SELECT string_agg(\"Id\" || \"Name\" || \"Num\" || \"Twice\", ',' ORDER BY \"Id\") FROM " +
                 parent),
        "1B52,2C74");
    db.Run(s, "SQLDisableTrigger", {{"tablename", parent}, {"quotedsimpletriggername", Quoted("TR_Parent")}});
    EXPECT_EQ(db.Value("SELECT tgenabled FROM pg_trigger WHERE tgname = 'TR_Parent'"), "D");
    db.Run(s, "SQLEnableTrigger", {{"tablename", parent}, {"quotedsimpletriggername", Quoted("TR_Parent")}});
    EXPECT_EQ(db.Value("SELECT tgenabled FROM pg_trigger WHERE tgname = 'TR_Parent'"), "O");

    // Altering columns in place.
    const std::string extra = Quoted("Extra");
    db.Run(s, "SQLAddColumn",
           {{"tablename", parent},
            {"columnname", extra},
            {"datatype", "VARCHAR(20)"},
            {"collate", ""},
            {"defaultvalue", "'e'"},
            {"notnull", "NOT NULL"},
            {"attributeoptions", ""}});
    db.Run(s, "SQLModifyColumnDataType",
           {{"tablename", parent},
            {"columnname", extra},
            {"physicaldatatype", "VARCHAR(40)"},
            {"arrayoptions", ""},
            {"collate", "\"C\""}});
    const std::string extraInfo =
        "SELECT format_type(atttypid, atttypmod) || ',' || attnotnull || ',' || atthasdef "
        "FROM pg_attribute WHERE attrelid = '" +
        parent + "'::regclass AND attname = ";
    EXPECT_EQ(db.Value(extraInfo + "'Extra'"), "character varying(40),true,true");
    db.Run(s, "SQLModifyColumnDropDefault", {{"tablename", parent}, {"columnname", extra}});
    db.Run(s, "SQLModifyColumnDropNotNull", {{"tablename", parent}, {"columnname", extra}});
    EXPECT_EQ(db.Value(extraInfo + "'Extra'"), "character varying(40),false,false");
    db.Run(s, "SQLModifyColumnSetDefault",
           {{"tablename", parent}, {"columnname", extra}, {"defaultvalue", "'{f}'"}});
    db.Run(s, "SQLModifyColumnSetNotNull", {{"tablename", parent}, {"columnname", extra}});
    EXPECT_EQ(db.Value(extraInfo + "'Extra'"), "character varying(40),true,true");
    db.Run(s, "SQLRenameColumn",
           {{"tablename", parent}, {"oldcolumnname", extra}, {"columnname", Quoted("Extra2")}});
    EXPECT_EQ(db.Value(extraInfo + "'Extra2'"), "character varying(40),true,true");
    db.Run(s, "SQLDropColumn", {{"tablename", parent}, {"columnname", Quoted("Extra2")}});
    db.Run(s, "SQLRenameTable", {{"oldtablename", child}, {"quotedsimpletablename", Quoted("Child2")}});
    const std::string child2 = Quoted("tpl", "Child2");

    // Recreating a table: the copied rows keep their numbers and the numbering goes on after them.
    const std::string tmp = Quoted("tpl", "Parent_TMP");
    auto tempColumn = [&](const std::string& name, const std::string& type) {
        return FillTemplate(s.SQLTemplate("SQLCreateTempTableColumn"), {{"columnname", Quoted(name)},
                                                                {"datatype", type},
                                                                {"collate", ""},
                                                                {"defaultvalue", ""},
                                                                {"notnull", "NOT NULL"},
                                                                {"attributeoptions", ""}});
    };
    db.Run(s, "SQLCreateTempTable",
           {{"tablename", tmp},
            {"temptablecolumns",
             tempColumn("Id", list.TypeText("INTEGER", identity, true)) + "," + tempColumn("Name", "TEXT")},
            {"tableoptions", ""}});
    db.Run(s, "SQLCopyData",
           {{"tablename", tmp},
            {"intofields", "\"Id\",\"Name\""},
            {"selectfields", "\"Id\",\"Name\""},
            {"oldtablename", parent}});
    db.Run(s, "SQLAfterInsertData", {{"tablename", tmp}});
    EXPECT_EQ(db.Exec("INSERT INTO " + tmp + " (\"Name\") VALUES ('d')"), "");
    EXPECT_EQ(db.Value("SELECT string_agg(\"Id\"::text, ',' ORDER BY \"Id\") FROM " + tmp), "1,2,3");
    db.Run(s, "SQLAddPKConstraint",
           {{"tablename", tmp},
            {"constraintname", Quoted("PK_Parent_TMP")},
            {"constraintcolumns", Quoted("Id")},
            {"constraintoptions", ""}});
    db.Run(s, "SQLAddUniqueConstraint",
           {{"tablename", tmp},
            {"constraintname", ""},
            {"constraintcolumns", Quoted("Name")},
            {"constraintoptions", ""}});
    db.Run(s, "SQLAddDefaultConstraint",
           {{"tablename", tmp}, {"constraintcolumn", Quoted("Name")}, {"constraint", "'n'"}});
    db.Run(s, "SQLAddNotNullConstraint", {{"tablename", tmp}, {"constraintcolumn", Quoted("Name")}});
    db.Run(s, "SQLAddFKConstraint",
           {{"childtablename", child2},
            {"constraintname", Quoted("FK_Child_Tmp")},
            {"childcolumns", Quoted("ParentId")},
            {"parenttablename", tmp},
            {"parentcolumns", Quoted("Id")},
            {"deleterule", ""},
            {"updaterule", ""},
            {"constraintoptions", ""}});
    EXPECT_EQ(count("pg_constraint WHERE conrelid = '" + tmp + "'::regclass"), "2");

    // Dropping everything again.
    db.Run(s, "SQLDropFKConstraint",
           {{"childtablename", child2}, {"constraintname", Quoted("FK_Child_Parent")}});
    db.Run(s, "SQLDropFKConstraint",
           {{"childtablename", child2}, {"constraintname", Quoted("FK_Child_Tmp")}});
    db.Run(s, "SQLDropUniqueConstraint",
           {{"tablename", parent}, {"constraintname", Quoted("AK_Parent_Name")}});
    db.Run(s, "SQLDropCheckConstraint", {{"tablename", parent}, {"constraintname", Quoted("CK_Num")}});
    db.Run(s, "SQLDropConstraint", {{"tablename", parent}, {"constraintname", Quoted("Parent_Num_check")}});
    db.Run(s, "SQLDropPKConstraint", {{"tablename", tmp}, {"constraintname", Quoted("PK_Parent_TMP")}});
    db.Run(s, "SQLDropDefaultConstraint", {{"tablename", child2}, {"constraintcolumn", Quoted("ParentId")}});
    db.Run(s, "SQLDropNotNullConstraint", {{"tablename", child2}, {"constraintcolumn", Quoted("ParentId")}});
    EXPECT_EQ(count("pg_constraint WHERE connamespace = 'tpl'::regnamespace AND conrelid <> 0 AND contype IN "
                    "('f', 'c')"),
              "0");
    db.Run(s, "SQLDropIndex", {{"tableschema", "tpl"}, {"quotedsimpleindexname", Quoted("IX_Parent")}});
    db.Run(s, "SQLDropIndex",
           {{"tableschema", ""}, {"quotedsimpleindexname", Quoted("tpl") + "." + Quoted("IX_Child")}});
    db.Run(s, "SQLDropTableComment", {{"tablename", parent}});
    db.Run(s, "SQLDropColumnComment", {{"tablename", parent}, {"columnname", Quoted("Name")}});
    EXPECT_EQ(count("pg_description WHERE objoid = '" + parent + "'::regclass"), "0");
    db.Run(s, "SQLDropRule", {{"nonquotedsimplerulename", "R_Child"}});
    db.Run(s, "SQLDropTrigger", {{"quotedsimpletriggername", Quoted("TR_Parent")}, {"tablename", parent}});
    db.Run(s, "SQLDropView", {{"viewname", Quoted("tpl", "V")}});
    db.Run(s, "SQLDropProcedure", {{"procname", Quoted("tpl", "add1")}, {"procparams", "a integer"}});
    db.Run(s, "SQLDropProcedure", {{"procname", Quoted("tpl", "noop")}, {"procparams", ""}});
    db.Run(s, "SQLDropProcedure", {{"procname", Quoted("tpl", "upper_name")}, {"procparams", ""}});
    for (const std::string& table : {parent, tmp, child2})
        db.Run(s, "SQLDropTable", {{"tablename", table}});
    db.Run(s, "SQLDropSequence", {{"seqname", seq}});
    db.Run(s, "SQLDropSequence", {{"seqname", Quoted("tpl", "Seq2")}});
    db.Run(s, "SQLDropDomain", {{"domainname", domain2}});
    db.Run(s, "SQLDropType", {{"domainname", Quoted("tpl", "Mood")}});
    EXPECT_EQ(count("pg_class WHERE relnamespace = 'tpl'::regnamespace"), "0");
    EXPECT_EQ(count("pg_type WHERE typnamespace = 'tpl'::regnamespace"), "0");
    EXPECT_EQ(count("pg_proc WHERE pronamespace = 'tpl'::regnamespace"), "0");
}

} // namespace
