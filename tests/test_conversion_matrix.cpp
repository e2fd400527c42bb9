// The conversion matrix: the full-feature model of each of the nine targets moves to every
// other target and back. Every step must find a type for everything without the best match's
// warning, keep each column's length, precision, nullability, default and identity (or change
// them by a rule, or say so in a message), and give a create script without errors. Where the
// destination runs here, the script runs too: SQLite through the library, Firebird on an
// embedded database. Where it cannot (SQL Server, Oracle, Db2), every statement of the script
// goes to the third-party parsers of SqlCheck.h, all of a destination's at once at the end, and
// is taken by one of them or pinned in tests/sqlcheck/golden/<destination>_matrix.sql.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "FullFeatureModel.h"
#include "FirebirdDatabase.h"
#include "SqlCheck.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
#include "zDCR.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zSLDatatypes.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

const char* const Targets[] = {"dbindependent",   "postgresql15", "mysql8",   "mariadb10", "sqlite3",
                               "mssqlserver2019", "oracle19",     "db2luw11", "firebird3"};

// Functions of defaults that only some targets know, with the targets that know them.
const std::pair<const char*, const char*> DialectWords[] = {
    {"now()", "postgresql15 mysql8 mariadb10"},
    {"GETDATE()", "mssqlserver2019"},
    {"SYSDATE", "oracle19 mysql8 mariadb10"},
    {"CURRENT TIMESTAMP", "db2luw11"},
    {"'NOW'", "firebird3"},
    {"datetime('now'", "sqlite3"},
};

// What the conversion must keep of a column.
struct TColumn {
    std::string Type, Length, Default;
    int32_t Precision = 0;
    bool NotNull = false;
    bool Identity = false;  // by the identity option or by an auto-numbering type
};

struct TMessage {
    const TVELNamedObject* Object;
    int Level;
    std::string Text;
};

std::map<std::string, TColumn> Columns(TVELDataDictionary& dd) {
    std::map<std::string, TColumn> columns;
    std::vector<TVELEntity*> tables;
    dd.CollectOfClass(tables);
    const TSLDatatypes& types = *dd.GetDataTypes();
    for (TVELEntity* table : tables)
        for (int i = 0; i < table->Attributes.Count(); ++i) {
            const TVELAttribute& a = *table->AttributeAt(i);
            TColumn& c = columns[table->GetName() + "." + a.GetName()];
            c.Type = a.DataType->DataType;
            c.Length = a.DataType->Length;
            c.Precision = a.DataType->Precision;
            c.Default = a.DefaultValue();
            c.NotNull = a.IsNotNull();
            c.Identity = a.DataType->AutoNumber || types.TypeGroup(c.Type) == tgAutonumber;
        }
    return columns;
}

// A default drawn from a sequence (nextval('x'), NEXT VALUE FOR x) has no counterpart on the
// targets whose defaults take only constants and context values: the models leave it out here.
void WithoutSequenceDefaults(TVELDataDictionary& dd) {
    std::vector<TVELEntity*> tables;
    dd.CollectOfClass(tables);
    for (TVELEntity* table : tables)
        for (int i = 0; i < table->Attributes.Count(); ++i) {
            TVELAttribute* a = table->AttributeAt(i);
            const std::string value = a->DefaultValue();
            if (FindText(value, "nextval") != std::string::npos || FindText(value, "NEXT VALUE") != std::string::npos)
                a->SetDefaultValue("");
        }
}

// The statements of the create scripts of the destinations checked by parsers, by destination,
// each text once.
struct TParserStatements {
    std::map<std::string, std::vector<TSqlStatement>> ByTarget;
    std::set<std::string> Seen;

    bool Checks(const std::string& target) const {
        for (const TSqlDialect& d : SqlDialects())
            if (target == d.Id) return true;
        return false;
    }

    void Add(const std::string& from, const TVELDatabaseSettings& s, const std::string& script) {
        for (const std::string& statement : ScriptStatements(s, script)) {
            if (!Seen.insert(s.DBID + "\n" + statement).second) continue;
            const auto [verb, object] = KindWords(statement);
            ByTarget[s.DBID].push_back(
                {from + " -> " + s.DBID + " " + verb + (object.empty() ? "" : " " + object), statement});
        }
    }
};

class TMatrix {
public:
    TMatrix(const std::string& source, TFirebirdDatabase& firebird, TParserStatements& parsed)
        : firebird_(firebird), parsed_(parsed) {
        model_.SetTarget(source);
        BuildFullFeatureModel(model_, {});
        WithoutSequenceDefaults(model_);
        dd_.OnMessage = [this](TVELNamedObject* object, int level, const std::string& text) {
            messages_.push_back({object, level, text});
        };
    }

    // Moves a copy of the model to the destination, checks the step, and moves it back.
    void There(const std::string& destination) {
        dd_.AssignDictionary(model_);
        Step(model_.GetTarget(), destination);
        Step(destination, model_.GetTarget());
    }

private:
    void Step(const std::string& from, const std::string& to) {
        SCOPED_TRACE(from + " -> " + to);
        const std::map<std::string, TColumn> before = Columns(dd_);
        messages_.clear();
        dd_.ChangeTarget(to);
        ASSERT_EQ(dd_.GetTarget(), to);
        dd_.CheckModel();
        // A type the target lacks is converted without the best match's guess, and into a value
        // the target takes: the repairs of the check (a length the new type does not take set to
        // zero) are reported, and checked below; a value it cannot take is an error.
        const char* const unfit[] = {"No exact match found", "exceeds max length", "is required for data type",
                                     "At least one item is required", "Identity not allowed"};
        for (const TMessage& m : messages_)
            for (const char* text : unfit)
                EXPECT_EQ(m.Text.find(text), std::string::npos) << (m.Object ? m.Object->GetName() + ": " : "") << m.Text;
        ExpectKeptOrExplained(from, to, before);
        WithoutEmptyIndexes();
        WithoutForeignIndexParts();
        if (to != "dbindependent") ExpectScriptRuns(from, to);
    }

    // An index of expressions alone has no column left on a target of another driver; the
    // check says so, and the user removes it (as here) or gives it columns.
    void WithoutEmptyIndexes() {
        std::vector<TVELEntity*> tables;
        dd_.CollectOfClass(tables);
        for (TVELEntity* table : tables)
            for (int i = table->Indexes.Count() - 1; i >= 0; --i) {
                TVELIndex* index = table->IndexAt(i);
                if (index->Columns.Count() > 0) continue;
                bool reported = false;
                for (const TMessage& m : messages_)
                    reported = reported || (m.Object == index && m.Text == "Index has no columns defined.");
                EXPECT_TRUE(reported) << index->GetName();
                table->Indexes.DeleteObject(index);
            }
    }

    // What the first target's dialect gave the model that the switch keeps and the new target
    // refuses, left out as a user would: a column sort option the target does not list
    // (DESC NULLS LAST on SQLite), and an index over a column that became a blob on Firebird,
    // which indexes no blobs.
    void WithoutForeignIndexParts() {
        const TVELDatabaseSettings& s = *dd_.GetDatabaseSettings();
        const TSLDatatypes& types = *dd_.GetDataTypes();
        const auto& codes = s.IdxColumnOrderCodesList;
        std::vector<TVELEntity*> tables;
        dd_.CollectOfClass(tables);
        for (TVELEntity* table : tables)
            for (int i = table->Indexes.Count() - 1; i >= 0; --i) {
                TVELIndex* index = table->IndexAt(i);
                bool blob = false;
                for (int c = 0; c < index->Columns.Count(); ++c) {
                    TVELIndexColumn* column = index->Column(c);
                    if (!codes.empty() && std::find(codes.begin(), codes.end(), column->SortOption) == codes.end())
                        column->SortOption.clear();
                    const TVELAttribute* a = table->FindAttribute(column->AttributeID);
                    const TDataTypeRecord* type = a ? types.Find(a->DataType->DataType) : nullptr;
                    blob = blob || (s.DBID == "firebird3" && type && StartsText("BLOB", type->BaseTemplate));
                }
                if (blob) table->Indexes.DeleteObject(index);
            }
        // A computed column's expression is code of the first target: the names it delimits
        // with SQL Server's brackets a user writes without them elsewhere.
        if (s.DelimiterDDLBegin != "[")
            for (TVELEntity* table : tables)
                for (int i = 0; i < table->Attributes.Count(); ++i) {
                    std::string& expression = table->AttributeAt(i)->DataType->Expression;
                    expression = ReplaceAll(ReplaceAll(expression, "[", ""), "]", "");
                }
        // A domain check names its value VALUE, which the columns that take the domain's place
        // on a target without domains cannot.
        if (!s.EnableDomains) {
            std::vector<TVELDomain*> domains;
            dd_.CollectOfClass(domains);
            for (TVELDomain* domain : domains)
                if (FindText(domain->CheckValue(), "VALUE") != std::string::npos) domain->CheckConstraint()->Value.clear();
            for (TVELEntity* table : tables)
                for (int i = 0; i < table->Attributes.Count(); ++i)
                    if (FindText(table->AttributeAt(i)->CheckValue(), "VALUE") != std::string::npos)
                        table->AttributeAt(i)->SetCheckValue("");
        }
    }

    bool Mentions(const std::string& column, const std::string& word) const {
        for (const TMessage& m : messages_)
            if (m.Object && FindText(m.Text, word) != std::string::npos) {
                const auto* a = dynamic_cast<const TVELAttribute*>(m.Object);
                if (a && a->GetEntity() && a->GetEntity()->GetName() + "." + a->GetName() == column) return true;
            }
        return false;
    }

    void ExpectKeptOrExplained(const std::string& from, const std::string& to,
                               const std::map<std::string, TColumn>& before) {
        TVELTypeConversionRules rules;
        rules.LoadFromFile(DefinitionsDir() + "/" + to + ".dcr", from);
        TVELFunctionConversionRules functions;
        functions.LoadFromFile(DefinitionsDir() + "/" + to + ".fcr", from);
        const std::map<std::string, TColumn> after = Columns(dd_);
        EXPECT_EQ(after.size(), before.size());
        for (const auto& [name, was] : before) {
            SCOPED_TRACE(name + " " + was.Type);
            const auto found = after.find(name);
            if (found == after.end()) {
                ADD_FAILURE() << "column lost";
                continue;
            }
            const TColumn& is = found->second;
            std::string ruleLength = was.Length, ruleType;
            int32_t rulePrecision = was.Precision;
            const bool ruled = rules.Convert(was.Type, ruleLength, rulePrecision, ruleType);
            if (is.Length != was.Length) {
                EXPECT_TRUE((ruled && is.Length == ruleLength) || Mentions(name, "length"))
                    << is.Type << " length " << was.Length << " -> " << is.Length;
            }
            if (is.Precision != was.Precision) {
                EXPECT_TRUE((ruled && is.Precision == rulePrecision) || Mentions(name, "precision"))
                    << is.Type << " precision " << was.Precision << " -> " << is.Precision;
            }
            EXPECT_EQ(is.NotNull, was.NotNull);
            if (!was.Default.empty()) {
                EXPECT_EQ(is.Default, functions.Count() > 0 ? functions.Convert(was.Default) : was.Default);
                // and the rules leave none of the words of the others.
                for (const auto& [word, homes] : DialectWords) {
                    if (FindText(is.Default, word) != std::string::npos) {
                        EXPECT_NE(std::string(homes).find(to), std::string::npos) << is.Default;
                    }
                }
            }
            if (was.Identity) {
                EXPECT_TRUE(is.Identity || Mentions(name, "identity")) << is.Type;
            }
        }
    }

    // The create script of the model as it stands, run where the target runs here; the
    // statements for the targets checked by parsers are kept for the check at the end.
    void ExpectScriptRuns(const std::string& from, const std::string& target) {
        TVELSettingsList options, used;
        // Code objects, table scripts and constraint options are written in the dialect of the
        // model's first target.
        for (const char* key :
             {"DONOTUSEVIEWS", "DONOTUSEPROCEDURES", "DONOTUSETRIGGERS", "DONOTUSERULES", "DONOTUSETABLESCRIPTS",
              "DONOTUSECONSTRAINTOPTIONS"})
            options.SetValue(key, "1");
        std::string errors;
        std::unique_ptr<TVELDataDictionary> prepared;
        try {
            prepared = PrepareForGeneration(dd_, options, used,
                                            [&errors](TVELNamedObject* object, int level, const std::string& text) {
                                                if (level >= 3)
                                                    errors += (object ? object->GetName() + ": " : "") + text + "\n";
                                            });
        } catch (const EVELError& e) {
            ADD_FAILURE() << e.what() << "\n" << errors;
            return;
        }
        EXPECT_EQ(errors, "");
        std::unique_ptr<TDBRestructure> create = CreateRestructure(*prepared);
        create->Options = used;
        ASSERT_TRUE(create->GenerateCreateScript()) << JoinStrings(create->Script, "\n");
        const std::string script = create->ScriptText();
        EXPECT_NE(script.find("CREATE TABLE"), std::string::npos);
        if (target == "sqlite3") {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
            char* error = nullptr;
            if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
                ADD_FAILURE() << (error ? error : "error") << "\n" << script;
            sqlite3_free(error);
            sqlite3_close(db);
        } else if (target == "firebird3") {
            // One database for every script: the drop script leaves it empty for the next.
            ASSERT_TRUE(firebird_.Open());
            EXPECT_EQ(firebird_.Script(script), "") << script;
            std::unique_ptr<TDBRestructure> drop = CreateRestructure(*prepared);
            drop->Options = used;
            ASSERT_TRUE(drop->GenerateDropScript());
            EXPECT_EQ(firebird_.Script(drop->ScriptText()), "") << drop->ScriptText();
            EXPECT_EQ(firebird_.Names("RDB$RELATIONS", "RDB$RELATION_NAME"), std::set<std::string>{});
        } else if (parsed_.Checks(target)) {
            parsed_.Add(from, *prepared->GetDatabaseSettings(), script);
        }
    }

    TFirebirdDatabase& firebird_;
    TParserStatements& parsed_;
    TVELDataDictionary model_;
    TVELDataDictionary dd_;
    std::vector<TMessage> messages_;
};

}  // namespace

TEST(ConversionMatrix, EveryFullModelMovesToEveryTargetAndBack) {
    TargetDatabases().Build(DefinitionsDir());
    TFirebirdDatabase firebird(false);
    TParserStatements parsed;
    for (const char* source : Targets) {
        SCOPED_TRACE(source);
        TMatrix matrix(source, firebird, parsed);
        for (const char* destination : Targets)
            if (std::string(destination) != source) matrix.There(destination);
    }
    // Each destination's statements in one call of each parser.
    for (const TSqlDialect& d : SqlDialects()) {
        SCOPED_TRACE(d.Id);
        const std::vector<TSqlStatement>& statements = parsed.ByTarget[d.Id];
        // (Each text once: the sources share most of them.)
        EXPECT_GT(statements.size(), 50u);
        const int accepted = ExpectParsedOrPinned(d.Id, statements, std::string(d.Id) + "_matrix", true);
        EXPECT_GT(accepted * 3, static_cast<int>(statements.size())) << accepted << " of " << statements.size();
    }
}
