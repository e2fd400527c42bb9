#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"
#include "zProject.h"
#include "zRelationship.h"
#include "zShopExample.h"

using namespace ardvin;
using ardvin::test::DefinitionsDir;
using ardvin::test::ReadFile;
using ardvin::test::SourceDir;
using ardvin::test::TempDir;

namespace {

std::string ExampleFile() {
    return SourceDir() + "/examples/shop.arv";
}

class ExampleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { TargetDatabases().Build(DefinitionsDir()); }
};
const auto* const Environment = ::testing::AddGlobalTestEnvironment(new ExampleEnvironment);

} // namespace

TEST(ExampleProject, GeneratorWritesTheCommittedFile) {
    TempDir dir;
    WriteShopExample(dir.File("shop.arv"));
    // Regenerate with: build/bin/ardvin-make-example examples/shop.arv
    EXPECT_TRUE(ReadFile(dir.File("shop.arv")) == ReadFile(ExampleFile()))
        << "examples/shop.arv is not what the generator writes";
}

TEST(ExampleProject, SaveOpenSaveKeepsEveryByte) {
    TempDir dir;
    const std::string copy = dir.File("shop.arv");
    std::filesystem::copy_file(ExampleFile(), copy);
    const std::string original = ReadFile(copy);
    TVELProject p([] { return ShopExampleDate(); });
    p.Open(copy);
    EXPECT_FALSE(p.IsModified());
    p.Save();
    EXPECT_TRUE(ReadFile(copy) == original) << "saving the opened example changed it";

    // What the example shows: tables with keys, both kinds of relationship, indexes, a domain,
    // a sequence, a view, comments, and every box on the one diagram without overlaps.
    TVELDataDictionary& dd = p.DataDictionary;
    EXPECT_EQ(dd.GetTarget(), "dbindependent");
    std::vector<TVELEntity*> entities;
    dd.Entities(entities);
    EXPECT_EQ(entities.size(), 15u);
    for (const TVELEntity* entity : entities) {
        std::vector<TVELAttribute*> key;
        entity->PrimaryKeyAttributes(key);
        EXPECT_FALSE(key.empty()) << entity->GetName();
        EXPECT_FALSE(entity->Comment.empty()) << entity->GetName();
    }
    std::vector<TVELRelationship*> relationships;
    dd.Relationships(relationships);
    EXPECT_GE(relationships.size(), 15u);
    EXPECT_TRUE(
        std::any_of(relationships.begin(), relationships.end(), [](auto* r) { return r->IsIdentifying(); }));
    EXPECT_TRUE(
        std::any_of(relationships.begin(), relationships.end(), [](auto* r) { return !r->IsIdentifying(); }));
    std::vector<TVELIndex*> indexes;
    dd.AllIndexes(indexes);
    EXPECT_GE(indexes.size(), 10u);
    std::vector<TVELDomain*> domains;
    dd.Domains(domains);
    EXPECT_EQ(domains.size(), 1u);
    std::vector<TVELSequence*> sequences;
    dd.Sequences(sequences);
    EXPECT_EQ(sequences.size(), 1u);
    std::vector<TVELView*> views;
    dd.Views(views);
    EXPECT_EQ(views.size(), 1u);
    int errors = 0;
    dd.OnMessage = [&](TVELNamedObject* object, int level, const std::string& text) {
        if (level == mlError) ADD_FAILURE() << (object ? object->GetName() : "") << ": " << text;
        errors += level == mlError;
    };
    dd.CheckModel();
    EXPECT_EQ(errors, 0);

    ASSERT_EQ(p.Diagrams.Count(), 1);
    const TVELDiagram* main = p.Diagrams.MainDiagram();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->ConnectorCount(), static_cast<int>(relationships.size()));
    EXPECT_EQ(main->ControlCount(), static_cast<int>(entities.size()) + 2); // a note and the stamp
    for (int i = 0; i < main->ControlCount(); ++i)
        for (int j = i + 1; j < main->ControlCount(); ++j) {
            const TDGRect a = main->Controls(i)->BoundsRect(), b = main->Controls(j)->BoundsRect();
            EXPECT_TRUE(a.Right <= b.Left || b.Right <= a.Left || a.Bottom <= b.Top || b.Bottom <= a.Top)
                << main->Controls(i)->ModelObject->GetName() << " overlaps "
                << main->Controls(j)->ModelObject->GetName();
        }
}
