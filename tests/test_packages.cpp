#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"
#include "zPackages.h"

using namespace ardvin;
using ardvin::test::ReadFile;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(defs.File("pk.def"), "[general]\r\ndbmsname=Package Target\r\n");
        WriteFile(defs.File("pk.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                       "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n");
        WriteFile(defs.File("other.def"), "[general]\r\ndbmsname=Other\r\n");
        TargetDatabases().Build(defs.Path());
        std::filesystem::create_directories(root.File("pk"));
        dd.GetPackages()->RootFolder = root.Path();
    }

    TVELPackage* MakeAudit() {
        TVELPackage* audit = dd.GetPackages()->NewPackage("Audit");
        TVELPackageItem* created = audit->NewItem();
        created->SetName("CreatedBy");
        created->DataType->DataType = "VARCHAR";
        created->DataType->Length = "30";
        created->NotNull = true;
        created->DefaultValue = "USER";
        created->Comment = "who";
        TVELPackageItem* stamp = audit->NewItem();
        stamp->SetName("Version");
        stamp->DataType->DataType = "INTEGER";
        stamp->CheckConstraint = "Version > 0";
        return audit;
    }

    std::vector<std::string> Check() {
        std::vector<std::string> messages;
        dd.OnMessage = [&](TVELNamedObject*, int level, const std::string& text) {
            if (text.find("ackage") != std::string::npos || text.find("attribute(s)") != std::string::npos)
                messages.push_back(IntToStr(level) + " " + text);
        };
        dd.CheckModel();
        return messages;
    }

    TempDir defs, root;
    TVELDataDictionary dd;
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(PackageTest, SaveLoadRenameAndDelete) {
    dd.SetTarget("pk");
    TVELPackage* audit = MakeAudit();
    audit->Comment = "Audit columns";
    audit->ToDo = "more";
    audit->SaveToFile();
    const std::string file = root.File("pk/Audit.apk");
    const std::string text = ReadFile(file);
    EXPECT_EQ(text.find("Audit</NAME>"), std::string::npos); // the file name is the package name
    EXPECT_NE(text.find("<DESCR>Audit columns</DESCR>"), std::string::npos);
    EXPECT_NE(audit->SaveToMarkup().find("<NAME>Audit</NAME>"), std::string::npos);
    // A file of another target in the same folder is skipped; an item without DEFVAL gets "-1".
    WriteFile(root.File("pk/Foreign.apk"), "<DBID>other</DBID><PACKAGEITEMS></PACKAGEITEMS>");
    WriteFile(root.File("pk/Old.apk"), "<DBID>pk</DBID><PACKAGEITEMS><PACKAGEITEM><NAME>X</NAME><ID>2</ID>"
                                       "<DESC>kept</DESC></PACKAGEITEM></PACKAGEITEMS>");

    dd.SetTarget("pk");
    TVELPackages& packages = *dd.GetPackages();
    ASSERT_EQ(packages.Packages.Count(), 2);
    TVELPackage* loaded = packages.FindPackage("Audit");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Comment, "Audit columns");
    EXPECT_EQ(loaded->ToDo, "more");
    ASSERT_EQ(loaded->Items.Count(), 2);
    EXPECT_TRUE(loaded->ItemAt(0)->NotNull);
    EXPECT_EQ(loaded->ItemAt(0)->DataType->Length, "30");
    EXPECT_EQ(loaded->ItemAt(0)->Comment, "who");
    EXPECT_EQ(loaded->ItemAt(1)->CheckConstraint, "Version > 0");
    EXPECT_EQ(loaded->FileText(), text);
    TVELPackage* old = packages.FindPackage("Old");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->ItemAt(0)->DefaultValue, "-1");
    EXPECT_EQ(old->ItemAt(0)->Comment, "kept");

    // Renaming and saving leaves exactly one file, under the new name.
    loaded->SetName("History");
    loaded->SaveToFile();
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(std::filesystem::exists(root.File("pk/History.apk")));
    packages.DeletePackage(old);
    EXPECT_FALSE(std::filesystem::exists(root.File("pk/Old.apk")));
    EXPECT_EQ(packages.Packages.Count(), 1);

    // A target without a package folder, or no root folder: no packages.
    dd.SetTarget("other");
    EXPECT_EQ(packages.Packages.Count(), 0);
    EXPECT_EQ(packages.Folder(), root.Path() + "/other/");
    packages.RootFolder.clear();
    dd.SetTarget("pk");
    EXPECT_EQ(packages.Packages.Count(), 0);
    EXPECT_FALSE(packages.FolderExists());
}

TEST_F(PackageTest, AttributesFromPackagesAndTheModelCheck) {
    dd.SetTarget("pk");
    MakeAudit()->SaveToFile();
    dd.SetTarget("pk");
    TVELPackage* audit = dd.GetPackages()->FindPackage("Audit");
    ASSERT_NE(audit, nullptr);
    auto* entity = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    EXPECT_FALSE(audit->UsedBy(*entity));
    std::vector<TVELAttribute*> created;
    audit->CreateAttributes(*entity, created);
    ASSERT_EQ(created.size(), 2u);
    EXPECT_TRUE(audit->UsedBy(*entity));
    EXPECT_EQ(created[0]->GetName(), "CreatedBy");
    EXPECT_TRUE(created[0]->IsNotNull());
    EXPECT_EQ(created[0]->DefaultValue(), "USER");
    EXPECT_EQ(created[1]->CheckValue(), "Version > 0");
    EXPECT_EQ(created[1]->PackageName, "Audit");
    EXPECT_EQ(created[1]->PackageItem, 1);
    EXPECT_EQ(Check(), Strings{});

    // A missing attribute is re-created; a changed one is detached; one of a vanished item is
    // deleted; one of an unknown package is detached.
    entity->DeleteMember(created[0]);
    TVELAttribute* changed = created[1];
    changed->DataType->DataType = "VARCHAR";
    TVELAttribute* orphan = entity->AddAttribute(true);
    orphan->SetName("Gone");
    orphan->PackageName = "Audit";
    orphan->PackageItem = 7;
    TVELAttribute* unknown = entity->AddAttribute(true);
    unknown->SetName("Mystery");
    unknown->PackageName = "Nowhere";
    EXPECT_EQ(Check(),
              (Strings{"3 Unknown package \"Nowhere\" used by attribute \"Mystery\"",
                       "3 Attribute \"Mystery\" detached from package \"Nowhere\".",
                       "3 Attribute \"Gone\" deleted because it was linked to a non existing packages or a "
                       "non existing package item.",
                       "3 Attribute \"Version\" detached from package \"Audit\".",
                       "3 1 attribute(s) linked to non existing packages or non existing package items "
                       "deleted."}));
    EXPECT_TRUE(unknown->PackageName.empty());
    EXPECT_TRUE(changed->PackageName.empty());
    EXPECT_EQ(entity->Attributes.FindByName("Gone"), nullptr);
    // The entity no longer uses the package at all now: nothing to re-create.
    EXPECT_FALSE(audit->UsedBy(*entity));
    audit->CreateAttribute(*entity, 1);
    EXPECT_EQ(
        Check(),
        (Strings{"3 New attribute \"CreatedBy\" created in entity \"Entity1\" for package \"Audit\"."}));
    EXPECT_EQ(Check(), Strings{});
}
