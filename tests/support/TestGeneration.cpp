#include "TestGeneration.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"

namespace ardvin::test {

TGenerated Generate(const TVELDataDictionary& model, const TOptions& extra) {
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

std::unique_ptr<TVELDataDictionary> FullModel(const std::string& target, const TFullFeatureSetup& setup) {
    TargetDatabases().Build(DefinitionsDir());
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget(target);
    BuildFullFeatureModel(*dd, setup);
    return dd;
}

}  // namespace ardvin::test
