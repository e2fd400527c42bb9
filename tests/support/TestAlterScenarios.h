// The models the alter-script tests start from: two small tables in SQL every target reads, and
// the changes of a model the scenarios of those tests are made of.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "zXMLUtils.h"

namespace ardvin {
class TVELAttribute;
class TVELDataDictionary;
class TVELEntity;
class TVELProcedure;
class TVELSequence;
class TVELTrigger;
}  // namespace ardvin

namespace ardvin::test {

// A change of a model.
using TChange = std::function<void(TVELDataDictionary&)>;

// The tables customer and orders (with a foreign key to customer) and an index on customer.
extern const char* const BaseTables;

// The base tables with one text replaced (a failure when the text is not there).
std::string Base(const std::string& from = {}, const std::string& to = {});

// The table or column of a model (a failure, and nullptr, when it is missing).
TVELEntity* Table(TVELDataDictionary& dd, const std::string& name);
TVELAttribute* Column(TVELDataDictionary& dd, const std::string& table, const std::string& name);

// A model of a target read from a script; an error message of the parser is a failure.
std::unique_ptr<TVELDataDictionary> Import(const std::string& target, const std::string& script);

// Adds the column email (type)(60) to the customer table at a position.
TChange WithEmail(const std::string& type, int position);
// Sets the comments of the customer table and its column city.
TChange WithComments(const std::string& table, const std::string& column);
// Adds the view v_customer with its code.
TChange WithView(const std::string& code);
// Adds the domain money_amount (type)(12,2) with a check and a default.
TChange WithDomain(const std::string& check, const std::string& defaultValue, const std::string& type = "DECIMAL");

// Adds the procedure count_customers, the trigger tr_customer of the customer table, and the
// sequence seq_invoice (seed 1).
TVELProcedure* AddProcedure(TVELDataDictionary& dd, const std::string& code);
TVELTrigger* AddTrigger(TVELDataDictionary& dd, const std::string& code);
TVELSequence* AddSequence(TVELDataDictionary& dd, int increment);

// Deletes the model object of a name.
void Delete(TVELDataDictionary& dd, const std::string& name);

// The two models of an alter scenario, prepared for generation, and the generation options used.
struct TScenarioModels {
    std::unique_ptr<TVELDataDictionary> Old, New;
    TVELSettingsList Options;
};

// The old model is read from its script and changed by oldChange. The new one is a copy of it
// (keeping every identity) when newScript is empty, else it is read from newScript, changed by
// oldChange too and paired with the old one by name; change then applies to the new one.
TScenarioModels PrepareScenario(const std::string& target, const std::string& oldScript, const std::string& newScript,
                                const TChange& oldChange, const TChange& change);

}  // namespace ardvin::test
