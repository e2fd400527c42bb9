#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zDatabaseSettings.h"
#include "zDiagramOnly.h"
#include "zDiagrams.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zFileConverter.h"
#include "zIndex.h"
#include "zProjectSettings.h"
#include "zRelationship.h"
#include "zTrigger.h"

using namespace ardvin;
using ardvin::test::ReadFile;
using ardvin::test::SourceDir;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

std::string FixtureDir() { return SourceDir() + "/tests/fixtures/oldformat"; }

// One converted VERSION element, loaded the way a project loads it.
struct TLoadedVersion {
    std::string Text;
    TVELDataDictionary Dictionary;
    TVELProjectSettings Settings;
    TVELDiagrams Diagrams{&Dictionary};
    TVELEntity* Entity(std::string_view name) const { return Dictionary.FindEntity(name); }
    TVELRelationship* Relationship(std::string_view name) const {
        std::vector<TVELRelationship*> all;
        Dictionary.Relationships(all);
        for (TVELRelationship* r : all)
            if (r->GetName() == name) return r;
        return nullptr;
    }
};

TVELAttribute* AttributeOf(const TVELEntity* entity, std::string_view name) {
    if (!entity) return nullptr;
    for (int i = 0; i < entity->Attributes.Count(); ++i)
        if (entity->AttributeAt(i)->GetName() == name) return entity->AttributeAt(i);
    return nullptr;
}

TVELConstraint* ConstraintOf(const TVELEntity* entity, std::string_view name) {
    for (int i = 0; entity && i < entity->Constraints.Count(); ++i)
        if (entity->ConstraintAt(i)->GetName() == name) return entity->ConstraintAt(i);
    return nullptr;
}

// The targets of the fixtures; the converter's temporary files go to the test's own folder.
class FileConverterTest : public ::testing::Test {
protected:
    void SetUp() override {
        TargetDatabases().Build(FixtureDir() + "/definitions");
        const char* old = std::getenv("TMPDIR");
        if (old) savedTmp_ = old;
        hadTmp_ = old != nullptr;
        setenv("TMPDIR", tmp.Path().c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_)
            setenv("TMPDIR", savedTmp_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

    // A copy of a fixture in the test's folder.
    std::string Copy(const std::string& fixture) {
        const std::string path = dir.File(fixture);
        std::filesystem::copy_file(FixtureDir() + "/" + fixture, path,
                                   std::filesystem::copy_options::overwrite_existing);
        return path;
    }

    // Converts a copy of a fixture and returns the converted file's text.
    std::string Convert(const std::string& fixture, int version, std::function<std::string()> askTarget = {},
                        std::function<bool(const std::string&)> onQuestion = {}) {
        TVELFileConverter converter(Copy(fixture), version, std::move(askTarget));
        converter.OnQuestion = std::move(onQuestion);
        const std::string converted = converter.Convert();
        EXPECT_EQ(std::filesystem::path(converted).parent_path(), std::filesystem::path(tmp.Path()));
        EXPECT_EQ(std::filesystem::path(converted).extension(), ".acf");
        const std::string text = ReadFile(converted);
        std::filesystem::remove(converted);
        return text;
    }

    // The VERSION elements of a converted file, each loaded.
    static std::vector<std::unique_ptr<TLoadedVersion>> Load(const std::string& text) {
        std::vector<std::unique_ptr<TLoadedVersion>> versions;
        size_t pos = 0;
        for (;;) {
            const size_t before = pos;
            std::string content = ReadElement("VERSION", pos, text);
            if (pos == before) break;
            auto v = std::make_unique<TLoadedVersion>();
            v->Text = content;
            v->Dictionary.LoadFromMarkup(ReadElement("DATADICT", content));
            v->Settings.Read(ReadElement("PROJECTSETTINGS", content));
            v->Diagrams.LoadFromMarkup(ReadElement("DIAGRAMS", content));
            versions.push_back(std::move(v));
        }
        return versions;
    }

    TempDir dir;
    TempDir tmp;

private:
    std::string savedTmp_;
    bool hadTmp_ = false;
};

// The converted file has the layout of a current project file.
void ExpectCurrentLayout(const std::string& text, size_t versions) {
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><ardvin>\r\n"
                         "<FILEFORMATVERSION>60</FILEFORMATVERSION>\r\n<VERSION>",
                         0),
              0u);
    EXPECT_EQ(text.substr(text.size() - 11), "\r\n</ardvin>");
    size_t count = 0;
    for (size_t p = text.find("<VERSION>"); p != std::string::npos; p = text.find("<VERSION>", p + 1))
        ++count;
    EXPECT_EQ(count, versions);
    if (versions > 1) {
        EXPECT_NE(text.find("</VERSION><VERSION>"), std::string::npos);
    }
}

} // namespace

TEST_F(FileConverterTest, BackupNamesCarryTheVersionAndACounter) {
    const std::string file = dir.File("shop.arv");
    EXPECT_EQ(OldFormatBackupName(file, 20), dir.File("shop ardvinv21.arv"));
    EXPECT_EQ(OldFormatBackupName(file, 30), dir.File("shop ardvinv31.arv"));
    EXPECT_EQ(OldFormatBackupName(file, 40), dir.File("shop ardvinv41.arv"));
    EXPECT_EQ(OldFormatBackupName(file, 41), dir.File("shop ardvinv41.arv"));
    EXPECT_EQ(OldFormatBackupName(file, 51), dir.File("shop ardvinv51.arv"));
    WriteFile(dir.File("shop ardvinv51.arv"), "taken");
    EXPECT_EQ(OldFormatBackupName(file, 51), dir.File("shop ardvinv52.arv"));
    EXPECT_EQ(OldFormatBackupName("shop.arv", 51), "shop ardvinv51.arv");
    for (int unsupported : {0, 21, 50, 60}) {
        try {
            OldFormatBackupName(file, unsupported);
            ADD_FAILURE() << unsupported;
        } catch (const EVELError& e) {
            EXPECT_STREQ(e.what(), "Unsupported file format.");
        }
    }

    // Two conversions of one file keep two backups, each the file as it was.
    std::filesystem::remove(dir.File("shop ardvinv51.arv"));
    const std::string original = ReadFile(FixtureDir() + "/library_v51.arv");
    WriteFile(file, original);
    for (const char* expected : {"shop ardvinv51.arv", "shop ardvinv52.arv"}) {
        TVELFileConverter converter(file, 51, {});
        std::filesystem::remove(converter.Convert());
        EXPECT_EQ(converter.BackupFileName, dir.File(expected));
        EXPECT_EQ(ReadFile(converter.BackupFileName), original);
    }
    EXPECT_EQ(ReadFile(file), original); // the file itself changes only when saved
}

TEST_F(FileConverterTest, MissingSourceFileStopsBeforeAnyBackup) {
    TVELFileConverter converter(dir.File("absent.arv"), 51, {});
    try {
        converter.Convert();
        FAIL() << "expected the missing file to be reported";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()), "File \"" + dir.File("absent.arv") + "\" does not exist.");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));
}

TEST_F(FileConverterTest, Version2FileBecomesTheCurrentFormat) {
    std::vector<std::string> questions;
    std::vector<std::string> status;
    TVELFileConverter converter(Copy("shop_v20.arv"), 20, [] { return std::string("postgresql7"); });
    converter.OnQuestion = [&questions](const std::string& question) {
        questions.push_back(question);
        return true;
    };
    converter.OnStatus = [&status](const std::string& text) { status.push_back(text); };
    const std::string converted = converter.Convert();
    const std::string text = ReadFile(converted);
    std::filesystem::remove(converted);
    // Only the converted file is left in the temporary folder.
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));
    EXPECT_EQ(converter.BackupFileName, dir.File("shop_v20 ardvinv21.arv"));
    EXPECT_EQ(status, std::vector<std::string>{"Converting Ardvin project file to the new file format. Please wait."});
    // Relation 2 is told by its pairs; relation 3 pairs two primary keys and must be asked.
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].rfind("Conversion question: Found a 1:1 or 0:1 relationship named \"has profile\"", 0), 0u);

    ExpectCurrentLayout(text, 2);
    const auto versions = Load(text);
    ASSERT_EQ(versions.size(), 2u);
    const TLoadedVersion& v = *versions[0];
    EXPECT_EQ(v.Dictionary.GetTarget(), "postgresql7");
    EXPECT_EQ(ReadElement("VERSIONINFO", v.Text, "none"), "none");

    // Header lines.
    const TVELSettingsList& common = v.Settings.CommonSettings;
    EXPECT_EQ(common.GetValue("PROJECTNAME"), "Shop");
    EXPECT_EQ(common.GetValue("PROJECTDESCRIPTION"), "Orders of the web shop\r\nsecond line of the description");
    EXPECT_EQ(common.GetValue("AUTHOR"), "Jane Doe");
    EXPECT_EQ(common.GetValue("COPYRIGHT"), "(c) 2001 Example Ltd");
    EXPECT_EQ(common.GetValue("MODIFIED"), "2001-05-17");
    EXPECT_FALSE(common.Has("PROJECTAUTHOR"));

    // Domains: the list of values becomes the check.
    TVELDomain* status2 = v.Dictionary.FindDomain("DStatus");
    ASSERT_NE(status2, nullptr);
    EXPECT_EQ(status2->CheckValue(), "VALUE IN ('new','paid','shipped')");
    EXPECT_EQ(status2->DefaultValue(), "new");
    EXPECT_EQ(status2->DataType->DataType, "VARCHAR");
    EXPECT_EQ(status2->DataType->Length, "10");
    TVELDomain* money = v.Dictionary.FindDomain("DMoney");
    ASSERT_NE(money, nullptr);
    EXPECT_EQ(money->DataType->DataType, "NUMERIC"); // found by its synonym DECIMAL
    EXPECT_EQ(money->DataType->Precision, 2);
    EXPECT_TRUE(money->CheckValue().empty());

    // Entities, keys, flags and constraints.
    TVELEntity* customer = v.Entity("Customer");
    ASSERT_NE(customer, nullptr);
    EXPECT_EQ(customer->Comment, "People who order");
    ASSERT_EQ(customer->Attributes.Count(), 2);
    TVELAttribute* customerID = AttributeOf(customer, "CustomerID");
    ASSERT_NE(customerID, nullptr);
    EXPECT_TRUE(customerID->IsPrimaryKey());
    EXPECT_TRUE(customerID->IsNotNull());
    EXPECT_EQ(customer->PrimaryKey->NameTemplate, "PK_%table%");
    TVELAttribute* email = AttributeOf(customer, "Email");
    ASSERT_NE(email, nullptr);
    EXPECT_FALSE(email->IsPrimaryKey());
    EXPECT_TRUE(email->IsNotNull());
    EXPECT_EQ(email->NotNullConstraint()->NameTemplate, "NN_%table%_%column%");
    EXPECT_EQ(email->Comment, "Login name");
    EXPECT_EQ(email->DataType->Length, "80");
    ASSERT_EQ(customer->Constraints.Count(), 1);
    EXPECT_EQ(customer->ConstraintAt(0)->ConstraintType, ctUnique);
    EXPECT_EQ(customer->ConstraintAt(0)->NameTemplate, "TUC_%table%_%counter%");
    EXPECT_EQ(customer->ConstraintAt(0)->AttributeIDs.IDs(), std::vector<int32_t>{email->ID});

    TVELEntity* orders = v.Entity("Orders");
    ASSERT_NE(orders, nullptr);
    TVELAttribute* orderStatus = AttributeOf(orders, "Status");
    ASSERT_NE(orderStatus, nullptr);
    EXPECT_EQ(orderStatus->GetDomain(), status2);
    TVELAttribute* total = AttributeOf(orders, "Total");
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->GetDomain(), money);
    EXPECT_FALSE(total->IsNotNull());
    EXPECT_EQ(total->CheckValue(), "Total >= 0");
    EXPECT_EQ(total->CheckConstraint()->NameTemplate, "CC_%table%_%column%");
    EXPECT_EQ(total->DefaultValue(), "0");
    EXPECT_EQ(total->DefaultConstraint()->NameTemplate, "DEF_%table%_%column%");
    ASSERT_EQ(orders->Indexes.Count(), 1);
    TVELIndex* index = orders->IndexAt(0);
    EXPECT_EQ(index->GetName(), "IDX_Orders_Status");
    ASSERT_EQ(index->Columns.Count(), 1);
    EXPECT_EQ(index->Column(0)->AttributeID, orderStatus->ID);
    EXPECT_EQ(AttributeOf(v.Entity("Invoice"), "Amount")->DataType->DataType, "NUMERIC");

    // Relationships: names, ends and pairs.
    TVELRelationship* places = v.Relationship("places");
    ASSERT_NE(places, nullptr);
    EXPECT_FALSE(places->NameFromTemplate);
    EXPECT_EQ(places->GetParentEntity(), customer);
    EXPECT_EQ(places->GetChildEntity(), orders);
    EXPECT_EQ(places->RelationshipType, rtNonIdentifying);
    EXPECT_EQ(places->FKConstraint->NameTemplate, "%relname%");
    ASSERT_EQ(places->Pairs.Count(), 1);
    EXPECT_EQ(places->PairAt(0)->KeyID, customerID->ID);
    EXPECT_EQ(places->PairAt(0)->ForeignKeyID, AttributeOf(orders, "CustomerID")->ID);
    std::vector<TVELRelationship*> relationships;
    v.Dictionary.Relationships(relationships);
    ASSERT_EQ(relationships.size(), 3u);
    TVELRelationship* invoiced = relationships[1];
    EXPECT_TRUE(invoiced->NameFromTemplate);
    EXPECT_EQ(invoiced->NameTemplate, "%parent%_%child%");
    EXPECT_EQ(invoiced->GetParentEntity(), orders); // the end whose pair is its key
    EXPECT_EQ(invoiced->GetChildEntity(), v.Entity("Invoice"));
    EXPECT_EQ(invoiced->Cardinality, rcExactlyOne);
    ASSERT_EQ(invoiced->Pairs.Count(), 1);
    EXPECT_EQ(invoiced->PairAt(0)->ForeignKeyID, AttributeOf(v.Entity("Invoice"), "OrderID")->ID);
    TVELRelationship* profile = v.Relationship("has profile");
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->GetParentEntity(), customer); // the answer was yes
    EXPECT_EQ(profile->RelationshipType, rtIdentifying);
    EXPECT_EQ(profile->Cardinality, rcZeroOrOne);

    // The text area and the main diagram with every box and line.
    std::vector<TVELTextArea*> areas;
    v.Dictionary.TextAreas(areas);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0]->Text, "Shop model\r\nconverted from release 2");
    ASSERT_EQ(v.Diagrams.Count(), 1);
    const TVELDiagram* main = v.Diagrams.MainDiagram();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->Name, "Main Diagram");
    EXPECT_EQ(main->DiagramID, 0);
    EXPECT_EQ(main->ControlCount(), 5);
    EXPECT_EQ(main->ConnectorCount(), 3);
    const auto* box = dynamic_cast<const TDGControl*>(main->FindObjectOf(orders));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Left, 400);
    EXPECT_EQ(box->Top, 120);
    const auto* areaBox = dynamic_cast<const TDGControl*>(main->FindObjectOf(areas[0]));
    ASSERT_NE(areaBox, nullptr);
    EXPECT_EQ(areaBox->Width, 200);

    // The archived version.
    const TLoadedVersion& archived = *versions[1];
    EXPECT_EQ(ReadElementText("VERSIONNUMBER", archived.Text), "1");
    EXPECT_EQ(ReadElementText("VERSIONLABEL", archived.Text), "Archived version 1");
    EXPECT_EQ(ReadElementText("VERSIONDBID", archived.Text), "postgresql7");
    EXPECT_EQ(archived.Settings.CommonSettings.GetValue("PROJECTDESCRIPTION"), "First draft");
    ASSERT_NE(archived.Entity("Customer"), nullptr);
    EXPECT_EQ(archived.Dictionary.Count(), 1);

    // With the other answer the second entity is the parent.
    const auto other = Load(Convert("shop_v20.arv", 20, [] { return std::string("postgresql7"); },
                                    [](const std::string&) { return false; }));
    TVELRelationship* swapped = other[0]->Relationship("has profile");
    ASSERT_NE(swapped, nullptr);
    EXPECT_EQ(swapped->GetParentEntity(), other[0]->Entity("Profile"));
    EXPECT_EQ(swapped->GetChildEntity(), other[0]->Entity("Customer"));
}

TEST_F(FileConverterTest, Version2FileNeedsATargetAndItsDataTypes) {
    for (const auto& answer : std::vector<std::function<std::string()>>{
             [] { return std::string(); }, [] { return std::string("  "); }, nullptr}) {
        try {
            Convert("shop_v20.arv", 20, answer);
            ADD_FAILURE() << "expected the conversion to be aborted";
        } catch (const EVELError& e) {
            EXPECT_STREQ(e.what(), "Conversion aborted by user.");
        }
    }
    try {
        Convert("shop_v20.arv", 20, [] { return std::string("sybase11"); });
        FAIL() << "expected the missing data type file to be reported";
    } catch (const EVELError& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind("File conversion error. Unable to find data type file \"", 0), 0u) << message;
        EXPECT_NE(message.find("sybase11.typ"), std::string::npos) << message;
    }
    // A folder of definitions given to the converter is where the data types are looked for.
    TVELFileConverter converter(Copy("shop_v20.arv"), 20, [] { return std::string("postgresql7"); });
    converter.DefinitionsFolder = dir.Path();
    EXPECT_THROW(converter.Convert(), EVELError);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path())); // no temporary file is left behind
}

TEST_F(FileConverterTest, Version3ObjectsTakeTheCurrentForm) {
    const std::string text = Convert("shop_v30.arv", 30);
    ExpectCurrentLayout(text, 2);
    const auto versions = Load(text);
    ASSERT_EQ(versions.size(), 2u);
    const TLoadedVersion& v = *versions[0];
    EXPECT_EQ(v.Dictionary.GetTarget(), "mssqlserver2000");

    TVELDomain* domain = v.Dictionary.FindDomain("DStatus");
    ASSERT_NE(domain, nullptr);
    EXPECT_EQ(domain->CheckValue(), "VALUE IN ('new','paid')");
    EXPECT_EQ(domain->DefaultValue(), "'new'");

    TVELEntity* customer = v.Entity("Customer");
    ASSERT_NE(customer, nullptr);
    EXPECT_FALSE(customer->PrimaryKey->NameFromTemplate);
    EXPECT_EQ(customer->PrimaryKey->GetName(), "PK_Customer_Key");
    TVELAttribute* customerID = AttributeOf(customer, "CustomerID");
    ASSERT_NE(customerID, nullptr);
    EXPECT_TRUE(customerID->IsPrimaryKey());
    EXPECT_TRUE(customerID->AutoNumber);
    EXPECT_TRUE(customerID->IsNotNull());
    EXPECT_EQ(customerID->NotNullConstraint()->NameTemplate, "NN_%table%_%column%");
    // REQ "1" gives a not-null column with the not-null template.
    TVELAttribute* email = AttributeOf(customer, "Email");
    ASSERT_NE(email, nullptr);
    EXPECT_TRUE(email->IsNotNull());
    EXPECT_TRUE(email->NotNullConstraint()->NameFromTemplate);
    EXPECT_EQ(email->NotNullConstraint()->NameTemplate, "NN_%table%_%column%");
    EXPECT_FALSE(email->AutoNumber);
    TVELAttribute* country = AttributeOf(customer, "Country");
    ASSERT_NE(country, nullptr);
    EXPECT_FALSE(country->IsNotNull());
    EXPECT_EQ(country->CheckValue(), "Country <> ''");
    EXPECT_FALSE(country->CheckConstraint()->NameFromTemplate);
    EXPECT_EQ(country->CheckConstraint()->GetName(), "CK_Country");
    EXPECT_EQ(country->DefaultValue(), "'NL'");
    EXPECT_EQ(country->DefaultConstraint()->NameTemplate, "DEF_%table%_%column%");
    TVELAttribute* phone = AttributeOf(customer, "Phone");
    ASSERT_NE(phone, nullptr);

    // Table constraints first, then the unique columns.
    ASSERT_EQ(customer->Constraints.Count(), 4);
    TVELConstraint* contact = ConstraintOf(customer, "CK_Customer_Contact");
    ASSERT_NE(contact, nullptr);
    EXPECT_EQ(contact->ConstraintType, ctCheck);
    EXPECT_EQ(contact->Level, clTable);
    EXPECT_EQ(contact->Value, "Email IS NOT NULL OR Phone IS NOT NULL");
    TVELConstraint* countryPhone = ConstraintOf(customer, "UQ_Customer_Country_Phone");
    ASSERT_NE(countryPhone, nullptr);
    EXPECT_EQ(countryPhone->ConstraintType, ctUnique);
    EXPECT_EQ(countryPhone->AttributeIDs.IDs(), (std::vector<int32_t>{country->ID, phone->ID}));
    TVELConstraint* emailUnique = ConstraintOf(customer, "UQ_Customer_Email");
    ASSERT_NE(emailUnique, nullptr);
    EXPECT_EQ(emailUnique->AttributeIDs.IDs(), std::vector<int32_t>{email->ID});
    TVELConstraint* phoneUnique = customer->ConstraintAt(3);
    EXPECT_EQ(phoneUnique->ConstraintType, ctUnique);
    EXPECT_TRUE(phoneUnique->NameFromTemplate);
    EXPECT_EQ(phoneUnique->NameTemplate, "TUC_%table%_%counter%");
    EXPECT_EQ(phoneUnique->AttributeIDs.IDs(), std::vector<int32_t>{phone->ID});

    // Trigger headers from the target and the event.
    ASSERT_EQ(customer->Triggers.Count(), 1);
    EXPECT_EQ(customer->TriggerAt(0)->Code,
              "CREATE TRIGGER %triggername%\r\nON %quotedqualifiedtablename%\r\nAFTER INSERT AS\r\n"
              "BEGIN\r\n  UPDATE Customer SET Email = LOWER(Email)\r\nEND");
    TVELEntity* orders = v.Entity("Orders");
    ASSERT_NE(orders, nullptr);
    ASSERT_EQ(orders->Triggers.Count(), 1);
    EXPECT_EQ(orders->TriggerAt(0)->Code,
              "CREATE TRIGGER %triggername%\r\nON %quotedqualifiedtablename%\r\nFOR DELETE AS\r\n"
              "RAISERROR ('Orders are never deleted', 16, 1)");

    EXPECT_TRUE(orders->PrimaryKey->NameFromTemplate);
    EXPECT_EQ(orders->PrimaryKey->NameTemplate, "PK_%table%");
    EXPECT_FALSE(AttributeOf(orders, "Status")->IsNotNull());
    TVELAttribute* total = AttributeOf(orders, "Total");
    EXPECT_EQ(total->CheckValue(), "Total >= 0");
    EXPECT_EQ(total->CheckConstraint()->NameTemplate, "CC_%table%_%column%");
    EXPECT_EQ(total->DefaultValue(), "0");

    // A relationship without USERDEFRELNAME is named by the template.
    std::vector<TVELRelationship*> relationships;
    v.Dictionary.Relationships(relationships);
    ASSERT_EQ(relationships.size(), 1u);
    EXPECT_TRUE(relationships[0]->NameFromTemplate);
    EXPECT_EQ(relationships[0]->NameTemplate, "%parent%_%child%");
    EXPECT_TRUE(relationships[0]->FKConstraint->NameFromTemplate);
    EXPECT_EQ(relationships[0]->FKConstraint->NameTemplate, "%relname%");
    EXPECT_EQ(relationships[0]->GetParentEntity(), customer);

    // Settings: header fields, renamed option keys, scripts and name templates.
    const TVELSettingsList& common = v.Settings.CommonSettings;
    EXPECT_EQ(common.GetValue("AUTHOR"), "Jane Doe");
    EXPECT_EQ(common.GetValue("COPYRIGHT"), "(c) 2003 Example Ltd");
    EXPECT_EQ(common.GetValue("CREATED"), "2002-11-04");
    EXPECT_EQ(common.GetValue("DEFTABLEOPTIONS"), "ON [PRIMARY]");
    EXPECT_EQ(common.GetValue("DEFINDEXOPTIONS"), "WITH FILLFACTOR = 80");
    EXPECT_EQ(common.GetValue("BEGINDATABASESCRIPT"), "USE shop");
    EXPECT_EQ(common.GetValue("ENDDATABASESCRIPT"), "-- end of the script");
    const std::string settingsText = ReadElement("PROJECTSETTINGS", v.Text);
    EXPECT_NE(settingsText.find("<BEGINDATABASESCRIPT>USE shop</BEGINDATABASESCRIPT>"), std::string::npos);
    EXPECT_EQ(settingsText.find("DefTableOptions"), std::string::npos);
    EXPECT_EQ(settingsText.find("PROJECTAUTHOR"), std::string::npos);
    EXPECT_EQ(v.Settings.NameTemplates.GetValue("FKCONNAMETEMPLATE"), "FK_%relname%");
    EXPECT_EQ(v.Settings.NameTemplates.GetValue("INDEXNAMETEMPLATE"), "IX_%table%_%counter%");
    EXPECT_EQ(v.Settings.NameTemplates.GetValue("DEFAULTSCHEMANAME"), "dbo");
    EXPECT_FALSE(v.Settings.NameTemplates.Has("CCONNAMETEMPLATE"));

    // The controls moved out of the objects onto their diagram.
    EXPECT_EQ(ReadElement("DATADICT", v.Text).find("CONTROLS>"), std::string::npos);
    EXPECT_EQ(v.Diagrams.DisplayPreferences.GetValue("PKIndicator"), "#");
    const TVELDiagram* main = v.Diagrams.MainDiagram();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->ControlCount(), 3);
    EXPECT_EQ(main->ConnectorCount(), 1);
    const auto* box = dynamic_cast<const TDGControl*>(main->FindObjectOf(customer));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Left, 100);
    EXPECT_EQ(box->Top, 100);
    EXPECT_NE(main->FindObjectOf(relationships[0]), nullptr);

    // The archived version: its description is built, its controls go to the main diagram.
    const TLoadedVersion& archived = *versions[1];
    const std::string info = ReadElement("VERSIONINFO", archived.Text);
    EXPECT_EQ(ReadElementText("VERSIONNUMBER", info), "1");
    EXPECT_EQ(ReadElementText("VERSIONLABEL", info), "Archived version 1");
    EXPECT_EQ(ReadElementText("VERSIONDATE", info), "2003-01-15 10:30");
    EXPECT_EQ(ReadElementText("VERSIONCOMMENTS", info), "Before the invoices");
    EXPECT_EQ(ReadElementText("VERSIONTYPEDESC", info), "Diagrams and data dictionary");
    EXPECT_EQ(ReadElementText("VERSIONDBID", info), "mssqlserver2000");
    TVELRelationship* places = archived.Relationship("places");
    ASSERT_NE(places, nullptr);
    EXPECT_FALSE(places->NameFromTemplate);
    EXPECT_FALSE(places->FKConstraint->NameFromTemplate);
    EXPECT_EQ(places->FKConstraint->GetName(), "FK_Orders_Customer");
    ASSERT_NE(archived.Diagrams.MainDiagram(), nullptr);
    EXPECT_EQ(archived.Diagrams.MainDiagram()->ControlCount(), 2);
    EXPECT_EQ(archived.Diagrams.MainDiagram()->ConnectorCount(), 0); // the old one had none
}

TEST_F(FileConverterTest, Version4FilesKeepTheirObjectsAndDiagrams) {
    const std::string text = Convert("shop_v40.arv", 40);
    ExpectCurrentLayout(text, 2);
    const auto versions = Load(text);
    ASSERT_EQ(versions.size(), 2u);
    const TLoadedVersion& v = *versions[0];

    // Settings: option keys and scripts in the common settings, templates from the dictionary.
    const TVELSettingsList& common = v.Settings.CommonSettings;
    EXPECT_EQ(common.GetValue("DEFTABLEOPTIONS"), "TABLESPACE users");
    EXPECT_EQ(common.GetValue("DEFINDEXOPTIONS"), "TABLESPACE indx");
    EXPECT_EQ(common.GetValue("AUTOCREATEINDEXESONKEYS"), "1");
    const std::pair<const char*, const char*> scripts[] = {
        {"BEGINDATABASESCRIPT", "CONNECT shop"},           {"ENDDATABASESCRIPT", "COMMIT;"},
        {"BEGINDROPDATABASESCRIPT", "-- dropping"},        {"ENDDROPDATABASESCRIPT", "-- dropped"},
        {"BEGINALTERDATABASESCRIPT", "-- altering"},       {"ENDALTERDATABASESCRIPT", "-- altered"}};
    const std::string commonText = ReadElement("COMMONSETTINGS", v.Text);
    for (const auto& [key, value] : scripts) {
        EXPECT_EQ(common.GetValue(key), value) << key;
        EXPECT_NE(commonText.find("<" + std::string(key) + ">"), std::string::npos) << key;
    }
    const std::pair<const char*, const char*> templates[] = {
        {"PKCONNAMETEMPLATE", "PK_%table%"},         {"FKCONNAMETEMPLATE", "FK_%relname%"},
        {"CCONNAMETEMPLATE", "CK_%table%_%column%"}, {"NOTNULLCONNAMETEMPLATE", "NN_%table%_%column%"},
        {"DEFAULTCONNAMETEMPLATE", "DF_%table%_%column%"}, {"TUCONNAMETEMPLATE", "UQ_%table%_%counter%"},
        {"TCCONNAMETEMPLATE", "CK_%table%_%counter%"}, {"RELNAMETEMPLATE", "%child%_%parent%"},
        {"INDEXNAMETEMPLATE", "IX_%table%_%counter%"}, {"DEFAULTSCHEMANAME", "SHOP"}};
    for (const auto& [key, value] : templates)
        EXPECT_EQ(v.Settings.NameTemplates.GetValue(key), value) << key;
    EXPECT_EQ(v.Settings.GenDBParams.GetValue("SQLCREATEFILE"), "c:\\shop\\create.sql");
    EXPECT_EQ(v.Text.find("PASSWORD"), std::string::npos);
    EXPECT_EQ(v.Text.find("DDSETTINGS"), std::string::npos);

    // The model as it was: no conversion of objects.
    TVELEntity* customer = v.Entity("Customer");
    ASSERT_NE(customer, nullptr);
    EXPECT_EQ(customer->PrimaryKey->NameTemplate, "PK_%tablename%");
    ASSERT_EQ(customer->Triggers.Count(), 1);
    EXPECT_EQ(customer->TriggerAt(0)->Code.rfind("CREATE OR REPLACE TRIGGER %triggername%\r\nBEFORE INSERT", 0), 0u);
    EXPECT_EQ(AttributeOf(customer, "Name")->DataType->DataType, "VARCHAR2");
    TVELRelationship* places = v.Relationship("places");
    ASSERT_NE(places, nullptr);
    EXPECT_EQ(places->DeleteRule, raCascade);
    EXPECT_EQ(places->FKConstraint->NameTemplate, "FK_%relname%");

    // Diagrams are kept, with the current spelling of the display preferences.
    const std::string diagrams = ReadElement("DIAGRAMS", v.Text);
    EXPECT_EQ(diagrams.find("DISPLAYPREFERENCES"), std::string::npos);
    EXPECT_NE(diagrams.find("<DisplayPreferences>"), std::string::npos);
    EXPECT_EQ(v.Diagrams.Count(), 2);
    EXPECT_EQ(v.Diagrams.DisplayPreferences.GetValue("PKIndicator"), "#");
    EXPECT_EQ(v.Diagrams.DisplayPreferences.GetValue("UseGradient"), "0");
    EXPECT_EQ(v.Diagrams.FolderDiagrams("Sales"), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(v.Diagrams.FindByID(1)->ControlCount(), 2);
    EXPECT_EQ(v.Diagrams.FindByID(1)->ConnectorCount(), 1);
    EXPECT_EQ(v.Diagrams.FindByID(2)->ControlCount(), 1);

    // The archived version keeps its description and learns its target.
    const std::string info = ReadElement("VERSIONINFO", versions[1]->Text);
    EXPECT_EQ(ReadElementText("VERSIONLABEL", info), "First release");
    EXPECT_EQ(ReadElementText("VERSIONDATE", info), "2004-02-01 09:00");
    EXPECT_EQ(ReadElementText("VERSIONDBID", info), "oracle9");
    EXPECT_EQ(ReadElement("VERSIONINFO", v.Text, "none"), "none");
}

TEST_F(FileConverterTest, Version41ArchiveWithoutDiagramsGetsItsTarget) {
    const auto versions = Load(Convert("stock_v41.arv", 41));
    ASSERT_EQ(versions.size(), 2u);
    const TLoadedVersion& v = *versions[0];
    EXPECT_EQ(v.Dictionary.GetTarget(), "interbase6");
    EXPECT_EQ(v.Settings.CommonSettings.GetValue("ENDDATABASESCRIPT"), "COMMIT WORK;");
    EXPECT_EQ(v.Settings.NameTemplates.GetValue("INDEXNAMETEMPLATE"), "IDX_%table%_%counter%");
    TVELEntity* product = v.Entity("Product");
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(AttributeOf(product, "Price")->CheckValue(), "Price > 0");
    EXPECT_EQ(product->TriggerAt(0)->Code.rfind("CREATE TRIGGER %triggername% FOR", 0), 0u);
    EXPECT_EQ(v.Diagrams.DisplayPreferences.GetValue("NotNullIndicator"), "NN");
    const TLoadedVersion& archived = *versions[1];
    EXPECT_EQ(ReadElementText("VERSIONDBID", archived.Text), "interbase6");
    EXPECT_EQ(ReadElementText("VERSIONTYPE", archived.Text), "DB");
    EXPECT_EQ(ReadElement("DIAGRAMS", archived.Text, "none"), "none");
}

TEST_F(FileConverterTest, Version5DiagramsChangeOnlyTheSpellingOfThePreferences) {
    const std::string original = ReadFile(FixtureDir() + "/library_v51.arv");
    const std::string text = Convert("library_v51.arv", 51);
    ExpectCurrentLayout(text, 2);
    auto rawDiagrams = [](const std::string& t) {
        const size_t from = t.find("<DIAGRAMS>");
        return t.substr(from, t.find("</DIAGRAMS>") + 11 - from);
    };
    EXPECT_EQ(rawDiagrams(text), ReplaceAll(rawDiagrams(original), "DISPLAYPREFERENCES", "DisplayPreferences"));

    const auto versions = Load(text);
    ASSERT_EQ(versions.size(), 2u);
    const TLoadedVersion& v = *versions[0];
    EXPECT_EQ(v.Diagrams.DisplayPreferences.GetValue("EntNameFont"), "Tahoma,9,B,0,clNavy,0");
    EXPECT_EQ(v.Diagrams.MainDiagram()->ControlCount(), 2);
    // Elements of older objects mean nothing in a version-5 file.
    TVELEntity* book = v.Entity("Book");
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(book->Constraints.Count(), 0);
    EXPECT_FALSE(AttributeOf(book, "Title")->IsNotNull());
    EXPECT_EQ(v.Dictionary.FindDomain("DIsbn")->CheckValue(), "CHAR_LENGTH(VALUE) IN (10, 13)");
    EXPECT_EQ(v.Relationship("Book_Loan")->GetChildEntity(), v.Entity("Loan"));
    // Settings beyond the header survive; passwords do not.
    EXPECT_EQ(v.Settings.CommonSettings.GetValue("PRINTORIENTATION"), "LANDSCAPE");
    EXPECT_EQ(v.Settings.Labels.GetValue("REVIEWED"), "yes");
    EXPECT_EQ(v.Settings.ImpDBParams.GetValue("DATABASENAME"), "library.fdb");
    EXPECT_FALSE(v.Settings.ImpDBParams.Has("PASSWORD"));
    EXPECT_EQ(v.Settings.ConGenDirectives, std::vector<std::string>{"NOCHECK"});
    EXPECT_EQ(v.Settings.NameTemplates.GetValue("FKCONNAMETEMPLATE"), "FK_%child%_%parent%");
    EXPECT_EQ(ReadElementText("VERSIONLABEL", versions[1]->Text), "Catalogue only");
}

TEST_F(FileConverterTest, OneVersionElementFromText) {
    // A version-3 element without DATADICT section: the version is its own dictionary text.
    const std::string a = WrapSection(
        "ENT", WriteElement("NAME", "A") + WriteElement("ID", "2") +
                   WrapSection("ATTR", WriteElement("NAME", "X") + WriteElement("ID", "2") + WriteElement("REQ", "1")) +
                   WrapSection("ENTITYCONTROLS", WrapSection("ENTC", WriteElement("L", "5"))));
    const std::string b = WrapSection("ENT", WriteElement("NAME", "B") + WriteElement("ID", "3") +
                                                 WrapSection("ATTR", WriteElement("NAME", "Y") + WriteElement("ID", "2")));
    const std::string r = WrapSection("REL", WriteElement("NAME", "R") + WriteElement("ID", "4") +
                                                 WriteElement("PARENTOBJECTID", "2") + WriteElement("CHILDOBJECTID", "3"));
    const std::string content = WriteElement("DBID", "oracle9") + WrapSection("ENTITIES", a + b) +
                                WrapSection("RELATIONSHIPS", r);
    const std::string element = ConvertVersionElement(content, 30, 0);
    EXPECT_EQ(element.rfind("<VERSION>\r\n<PROJECTSETTINGS>", 0), 0u);
    EXPECT_EQ(element.substr(element.size() - 12), "\r\n</VERSION>");
    TVELDataDictionary dd;
    dd.LoadFromMarkup(ReadElement("DATADICT", element));
    TVELAttribute* x = AttributeOf(dd.FindEntity("A"), "X");
    ASSERT_NE(x, nullptr);
    EXPECT_TRUE(x->IsNotNull());
    EXPECT_EQ(x->NotNullConstraint()->NameTemplate, "NN_%table%_%column%");
    TVELRelationship* relationship = dd.FindRelationship("A_B");
    ASSERT_NE(relationship, nullptr);
    EXPECT_EQ(relationship->NameTemplate, "%parent%_%child%");
    // Without diagrams in the element a main diagram is made for the moved controls.
    TVELDiagrams diagrams(&dd);
    diagrams.LoadFromMarkup(ReadElement("DIAGRAMS", element));
    ASSERT_NE(diagrams.MainDiagram(), nullptr);
    const auto* box = dynamic_cast<const TDGControl*>(diagrams.MainDiagram()->FindObjectOf(dd.FindEntity("A")));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Left, 5);
    // An archived version without a number is numbered by its position.
    const std::string archived = ConvertVersionElement(content, 30, 4);
    EXPECT_EQ(ReadElementText("VERSIONLABEL", archived), "Archived version 4");
}

TEST(OldTriggerHeaders, EveryTargetFamilyAndEvent) {
    const std::vector<std::string> mssql = {"mssqlserver2000", "mssqlserver6", "mssqlserver7",
                                            "sybanywhere",     "sybase11",     "sybase12"};
    for (const std::string& id : mssql) {
        EXPECT_EQ(OldTriggerHeader(id, 0), "CREATE TRIGGER %triggername%\r\nON %quotedqualifiedtablename%\r\nFOR INSERT AS");
        EXPECT_EQ(OldTriggerHeader(id, 3), "CREATE TRIGGER %triggername%\r\nON %quotedqualifiedtablename%\r\nAFTER UPDATE AS");
    }
    for (const char* id : {"oracle7", "oracle8", "oracle9"}) {
        EXPECT_EQ(OldTriggerHeader(id, 0), "CREATE OR REPLACE TRIGGER %triggername%\r\nBEFORE INSERT ON %quotedqualifiedtablename%");
        EXPECT_EQ(OldTriggerHeader(id, 5), "CREATE OR REPLACE TRIGGER %triggername%\r\nAFTER DELETE ON %quotedqualifiedtablename%");
    }
    for (const char* id : {"interbase4", "interbase5", "interbase6", "interbase7"}) {
        EXPECT_EQ(OldTriggerHeader(id, 0), "CREATE TRIGGER %triggername% FOR %quotedqualifiedtablename%\r\nBEFORE INSERT AS BEGIN");
        EXPECT_EQ(OldTriggerHeader(id, 1), "CREATE TRIGGER %triggername% FOR %quotedqualifiedtablename%\r\nAFTER INSERT AS BEGIN");
    }
    EXPECT_EQ(OldTriggerHeader("firebird15", 0), "CREATE TRIGGER %triggername% FOR %quotedqualifiedtablename%\r\nBEFORE INSERT AS");
    EXPECT_EQ(OldTriggerHeader("firebird15", 4), "CREATE TRIGGER %triggername% FOR %quotedqualifiedtablename%\r\nBEFORE DELETE AS");
    for (const char* id : {"db2udb7", "db2udb8"}) {
        EXPECT_EQ(OldTriggerHeader(id, 0), "CREATE TRIGGER %triggername%\r\nNO CASCADE BEFORE INSERT ON %quotedqualifiedtablename%");
        EXPECT_EQ(OldTriggerHeader(id, 3), "CREATE TRIGGER %triggername%\r\nAFTER UPDATE ON %quotedqualifiedtablename%");
    }
    for (const char* id : {"informix7", "informix8", "informix9"}) {
        EXPECT_EQ(OldTriggerHeader(id, 0),
                  "CREATE OR REPLACE TRIGGER %triggername%\r\nBEFORE INSERT ON %quotedqualifiedtablename%\r\nFOR EACH ROW");
        EXPECT_EQ(OldTriggerHeader(id, 2),
                  "CREATE OR REPLACE TRIGGER %triggername%\r\nBEFORE UPDATE ON %quotedqualifiedtablename%\r\nFOR EACH ROW");
    }
    EXPECT_EQ(OldTriggerHeader("maxdb", 0), "CREATE TRIGGER %triggername% FOR %quotedqualifiedtablename%\r\nBEFORE INSERT");
    EXPECT_EQ(OldTriggerHeader("maxdb", 5), "CREATE TRIGGER %triggername% FOR %quotedqualifiedtablename%\r\nAFTER DELETE");
    for (const char* id : {"pervasive8", "pervasive2000i", "postgresql7", "PostgreSQL7"}) {
        EXPECT_EQ(OldTriggerHeader(id, 0), "CREATE TRIGGER %triggername%\r\nBEFORE INSERT ON %quotedqualifiedtablename%");
        EXPECT_EQ(OldTriggerHeader(id, 1), "CREATE TRIGGER %triggername%\r\nAFTER INSERT ON %quotedqualifiedtablename%");
    }
    // Targets without generated headers, and events out of range.
    EXPECT_EQ(OldTriggerHeader("postgresql15", 0), "");
    EXPECT_EQ(OldTriggerHeader("interbase3", 0), "");
    EXPECT_EQ(OldTriggerHeader("oracle9", 6), "");
    EXPECT_EQ(OldTriggerHeader("oracle9", -1), "");
}

TEST_F(FileConverterTest, DamagedFilesFailWithAMessage) {
    auto expectMessage = [this](const std::string& content, int version, const std::string& start) {
        WriteFile(dir.File("damaged.arv"), content);
        TVELFileConverter converter(dir.File("damaged.arv"), version, [] { return std::string("postgresql7"); });
        try {
            std::filesystem::remove(converter.Convert());
            ADD_FAILURE() << "expected an error for: " << content;
        } catch (const EVELError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(start, 0), 0u) << e.what();
        }
    };
    expectMessage("no markup at all", 51, "File conversion error. The file \"");
    expectMessage("<VERSION>never closed", 40, "File conversion error. The file \"");
    expectMessage("Shop\r\n***VERSION***\r\n", 20, "File conversion error in line 1: the file does not start with");
    expectMessage("***VERSION***\r\nShop\r\n***TABLE***\r\n1\r\n", 20, "File conversion error in line 3: unknown section");
    expectMessage("***VERSION***\r\n***ENTITY***\r\none\r\nCustomer\r\n", 20,
                  "File conversion error in line 3: \"one\" is not a number.");
    expectMessage("***VERSION***\r\n***ATTRIBUTE***\r\n7\r\n1\r\nX\r\n", 20, "File conversion error in line 3: unknown entity");
    expectMessage("***VERSION***\r\n***ENTITY***\r\n1\r\nA\r\n0\r\n0\r\n\r\nextra\r\n", 20,
                  "File conversion error in line 8: too many lines");
    expectMessage("***VERSION***\r\n***RELATION***\r\n1\r\nR\r\n1\r\n2\r\n0:N\r\n0\r\n\r\n", 20,
                  "File conversion error in line 2: unknown entity number \"1\"");
    expectMessage("***VERSION***\r\n***ENTITY***\r\n1\r\nA\r\n***ENTITY***\r\n2\r\nB\r\n***RELATION***\r\n1\r\n\r\n1\r\n2\r\n"
                  "2:2\r\n0\r\n",
                  20, "File conversion error in line 8: unknown cardinality");
    expectMessage("***VERSION***\r\n***ENDOFVERSION***\r\n***INDEX***\r\n1\r\n", 20,
                  "File conversion error in line 3: the section ***INDEX*** stands outside");
    expectMessage(std::string("<VERSION><DATADICT><DBID>oracle9</DBID><ENTITIES><ENT><NAME>A</NAME><POSNR>x</POSNR>"
                              "</ENT></ENTITIES></DATADICT></VERSION>"),
                  51, "\"x\"");

    // Whatever is cut off a fixture, the conversion ends in a result or in a message.
    const std::pair<const char*, int> fixtures[] = {
        {"shop_v20.arv", 20}, {"shop_v30.arv", 30}, {"shop_v40.arv", 40}, {"stock_v41.arv", 41}, {"library_v51.arv", 51}};
    int results = 0, messages = 0;
    for (const auto& [fixture, version] : fixtures) {
        const std::string text = ReadFile(FixtureDir() + "/" + fixture);
        for (size_t cut = 0; cut < text.size(); cut += 89) {
            std::string damaged = text.substr(0, cut) + text.substr(std::min(text.size(), cut + 13));
            damaged[damaged.size() / 2] = '\0';
            WriteFile(dir.File("cut.arv"), damaged);
            TVELFileConverter converter(dir.File("cut.arv"), version, [] { return std::string("postgresql7"); });
            try {
                std::filesystem::remove(converter.Convert());
                ++results;
            } catch (const EVELError&) {
                ++messages;
            }
            std::filesystem::remove(converter.BackupFileName);
        }
    }
    EXPECT_GT(results, 0);
    EXPECT_GT(messages, 0);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));
}
