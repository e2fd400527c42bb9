#include "TestAlterScenarios.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIDMatcher.h"
#include "zProcedure.h"
#include "zSQLParser.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin::test {

const char* const BaseTables =
    "CREATE TABLE customer (\n"
    "  id INTEGER NOT NULL,\n"
    "  name VARCHAR(40) NOT NULL,\n"
    "  city VARCHAR(30),\n"
    "  credit NUMERIC(8,2) DEFAULT 0,\n"
    "  visits INTEGER,\n"
    "  CONSTRAINT pk_customer PRIMARY KEY (id)\n"
    ");\n"
    "CREATE TABLE orders (\n"
    "  id INTEGER NOT NULL,\n"
    "  customer_id INTEGER,\n"
    "  amount NUMERIC(10,2),\n"
    "  CONSTRAINT pk_orders PRIMARY KEY (id),\n"
    "  CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id)\n"
    ");\n"
    "CREATE INDEX ix_customer_city ON customer (city);\n";

std::string Base(const std::string& from, const std::string& to) {
    std::string text = BaseTables;
    if (!from.empty()) {
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    return text;
}

TVELEntity* Table(TVELDataDictionary& dd, const std::string& name) {
    TVELEntity* table = dd.FindEntity(name);
    EXPECT_TRUE(table) << name;
    return table;
}

TVELAttribute* Column(TVELDataDictionary& dd, const std::string& table, const std::string& name) {
    TVELEntity* t = Table(dd, table);
    auto* column = t ? dynamic_cast<TVELAttribute*>(t->Attributes.FindByName(name)) : nullptr;
    EXPECT_TRUE(column) << table << "." << name;
    return column;
}

std::unique_ptr<TVELDataDictionary> Import(const std::string& target, const std::string& script) {
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget(target);
    TVELSQLParser parser(dd.get());
    parser.Script = script;
    std::string problems;
    parser.OnMessage = [&problems](TVELSQLParser*, int level, const std::string& text, TVELNamedObject*) {
        if (level == mlError) problems += text + "\n";
    };
    parser.Import();
    EXPECT_EQ(problems, "") << script;
    return dd;
}

TChange WithEmail(const std::string& type, int position) {
    return [type, position](TVELDataDictionary& dd) {
        TVELEntity* table = Table(dd, "customer");
        TVELAttribute* column = table->AddAttribute();
        column->SetName("email");
        column->DataType->DataType = type;
        column->DataType->Length = "60";
        table->Attributes.Move(table->Attributes.Count() - 1, position);
    };
}

TChange WithComments(const std::string& table, const std::string& column) {
    return [table, column](TVELDataDictionary& dd) {
        Table(dd, "customer")->Comment = table;
        Column(dd, "customer", "city")->Comment = column;
    };
}

TChange WithView(const std::string& code) {
    return [code](TVELDataDictionary& dd) {
        auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
        view->SetName("v_customer");
        view->Code = code;
    };
}

TChange WithDomain(const std::string& check, const std::string& defaultValue, const std::string& type) {
    return [check, defaultValue, type](TVELDataDictionary& dd) {
        auto* d = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
        d->SetName("money_amount");
        d->DataType->DataType = type;
        d->DataType->Length = "12";
        d->DataType->Precision = 2;
        d->DefaultConstraint()->Value = defaultValue;
        d->CheckConstraint()->Value = check;
    };
}

TVELProcedure* AddProcedure(TVELDataDictionary& dd, const std::string& code) {
    auto* procedure = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
    procedure->SetName("count_customers");
    procedure->Code = code;
    return procedure;
}

TVELTrigger* AddTrigger(TVELDataDictionary& dd, const std::string& code) {
    TVELTrigger* trigger = Table(dd, "customer")->AddTrigger();
    trigger->SetName("tr_customer");
    trigger->Code = code;
    return trigger;
}

TVELSequence* AddSequence(TVELDataDictionary& dd, int increment) {
    auto* sequence = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    sequence->SetName("seq_invoice");
    sequence->Seed = 1;
    sequence->Increment = increment;
    return sequence;
}

void Delete(TVELDataDictionary& dd, const std::string& name) { dd.DeleteObject(dd.FindByName(name)); }

TScenarioModels PrepareScenario(const std::string& target, const std::string& oldScript, const std::string& newScript,
                                const TChange& oldChange, const TChange& change) {
    if (TargetDatabases().Entries().empty()) TargetDatabases().Build(DefinitionsDir());
    auto old = Import(target, oldScript);
    if (oldChange) oldChange(*old);
    std::unique_ptr<TVELDataDictionary> current;
    if (newScript.empty()) {
        current = std::make_unique<TVELDataDictionary>();
        current->AssignDictionary(*old);
    } else {
        current = Import(target, newScript);
        if (oldChange) oldChange(*current);
        MatchIDs(*old, *current, nullptr);
    }
    if (change) change(*current);
    TScenarioModels m;
    TVELSettingsList options;
    m.Old = PrepareForGeneration(*old, options, m.Options);
    m.New = PrepareForGeneration(*current, options, m.Options);
    return m;
}

}  // namespace ardvin::test
