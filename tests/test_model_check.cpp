#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zModelCheck.h"
#include "zSequence.h"

using namespace ardvin;
using ardvin::test::DefinitionsDir;

namespace {

class ModelCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        TargetDatabases().Build(DefinitionsDir());
        check.ProjectFileName = "shop.arv";
        check.OnProgress = [this](const TModelCheckProgress& p) { shown.push_back(p); };
        check.OnShowMessages = [this] { ++panelShown; };
        check.OnKeepOpen = [this](const TModelCheckProgress&) { ++keptOpen; };
    }

    TVELEntity* Table(const std::string& name, const char* type = "INTEGER") {
        auto* t = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        t->SetName(name);
        TVELAttribute* id = t->AddAttribute(true);
        id->SetName("Id");
        id->DataType->DataType = type;
        id->SetPrimaryKey(true);
        id->SetNotNull(true);
        return t;
    }

    TVELDataDictionary dd;
    TVELMessagesList messages;
    TVELModelCheck check{messages};
    std::vector<TModelCheckProgress> shown;
    int panelShown = 0;
    int keptOpen = 0;
};

} // namespace

TEST(MessagesList, LinesAsThePanelShowsThem) {
    TVELDataDictionary dd;
    auto* t = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    t->SetName("Orders");
    TVELAttribute* a = t->AddAttribute(true);
    a->SetName("Id");
    TVELMessagesList list;
    list.Add(mlError, t, "Bad table.");
    list.Add(mlWarning, nullptr, "No object.");
    list.Add(mlHint, a, "A column.");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"[Error]      table Orders     : Bad table.",
                                                      "[Warning]     : No object.",
                                                      "[Hint]      column Orders.Id     : A column."}));
    // A deleted object's entries keep their text.
    list.ObjectDeleted(t);
    EXPECT_EQ(list.Entry(0).Object, nullptr);
    EXPECT_EQ(list.Entry(2).Object, a);
    EXPECT_EQ(MessageLine(list.Entry(0)), "[Error]      table Orders     : Bad table.");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(ModelCheckTest, WarningsPassTheGateAndOneErrorFailsIt) {
    dd.SetTarget("postgresql15");
    for (int i = 0; i < 25; ++i) Table("T" + std::to_string(i));
    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true)); // unused: a warning
    domain->DataType->DataType = "INTEGER";
    messages.Add(mlInfo, nullptr, "from before");
    std::vector<std::string> own;
    dd.OnMessage = [&](TVELNamedObject*, int, const std::string& text) { own.push_back(text); };

    EXPECT_TRUE(check.RunModelCheck(dd, false, false, false));
    EXPECT_EQ(check.Progress().Errors, 0);
    EXPECT_EQ(check.Progress().Warnings, 1);
    EXPECT_EQ(messages.Count(), 2); // not cleared
    EXPECT_EQ(messages.Lines()[1], "[Warning]      domain " + domain->GetName() + "     : Domain declared but never used.");
    EXPECT_EQ(panelShown, 0);
    EXPECT_EQ(keptOpen, 0);
    // The window: the project line, the first and every tenth object, then "Model checked".
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().ProjectLine, "Project: shop.arv");
    std::vector<std::string> objects;
    for (const TModelCheckProgress& p : shown)
        if (objects.empty() || objects.back() != p.CurrentObject) objects.push_back(p.CurrentObject);
    // 26 objects, visited from the last: the domain, then T24, T23 ...
    EXPECT_EQ(objects, (std::vector<std::string>{"", domain->GetName(), "T15", "T5", "Model checked"}));
    // The dictionary's own handler is back.
    EXPECT_TRUE(own.empty());
    ASSERT_TRUE(dd.OnMessage);

    // One error: the gate raises, after showing the messages; kept open first when asked.
    TVELEntity* bad = Table("Bad");
    bad->AttributeAt(0)->SetNotNull(false);
    try {
        check.RunModelCheck(dd, true, true, false);
        FAIL() << "no error";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()), "Model contains error(s). Please correct the errors first.");
    }
    EXPECT_EQ(check.Progress().Errors, 1);
    EXPECT_EQ(check.Progress().Warnings, 1);
    EXPECT_EQ(panelShown, 1);
    EXPECT_EQ(keptOpen, 1);
    EXPECT_EQ(messages.Count(), 2); // cleared first
    EXPECT_EQ(messages.Entry(0).Object, bad->AttributeAt(0));
    EXPECT_EQ(messages.Lines()[0],
              "[Error]      column Bad.Id     : Primary key attribute must be not null (required).");
}

TEST_F(ModelCheckTest, RemovedObjectsKeepTheirMessages) {
    dd.SetTarget("sqlite3");
    auto* sequence = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    const std::string name = sequence->GetName();
    EXPECT_THROW(check.RunModelCheck(dd, false, true, false), EVELError);
    EXPECT_EQ(dd.CountOfClass<TVELSequence>(), 0);
    ASSERT_EQ(messages.Count(), 1);
    EXPECT_EQ(messages.Entry(0).Object, nullptr);
    EXPECT_EQ(messages.Lines()[0], "[Error]      sequence/generator " + name +
                                       "     : Target DBMS does not support sequences/generators. "
                                       "Sequence/generator will be removed.");
}

TEST_F(ModelCheckTest, IndependentModelCheckedAgainstChosenTargets) {
    dd.SetTarget("dbindependent");
    TVELEntity* orders = Table("Orders");
    TVELAttribute* stamp = orders->AddAttribute(true);
    stamp->SetName("Stamp");
    stamp->DataType->DataType = "TIMESTAMP";
    stamp->DataType->Precision = 3;
    dd.CreateObject(otSequence, true);
    const std::string before = dd.SaveToMarkup();
    std::vector<std::string> asked;
    TModelCheckPrompts prompts;
    int declineAt = -1;
    prompts.Confirm = [&](const std::string& question) {
        asked.push_back(question);
        return static_cast<int>(asked.size()) != declineAt;
    };
    std::vector<std::string> offered;
    prompts.SelectTargets = [&](const std::string& title, const std::string& text, const std::vector<std::string>& names) {
        EXPECT_EQ(title, "Select target DBMS's");
        EXPECT_EQ(text, "Your model is a database-independent model. You can select the target DBMS's against which "
                        "you want to do the validation.");
        offered = names;
        return std::vector<std::string>{"SQLite 3", "MySQL 8"};
    };
    messages.Add(mlInfo, nullptr, "kept");
    CheckModelCommand(check, dd, prompts);
    // Every real target is offered; the ticked ones are checked in the list's order.
    EXPECT_EQ(offered, TargetDatabases().AllNamesButIndependent());
    EXPECT_EQ(std::count(offered.begin(), offered.end(), "Database Independent"), 0);
    EXPECT_LT(std::find(offered.begin(), offered.end(), "MySQL 8"), std::find(offered.begin(), offered.end(), "SQLite 3"));
    EXPECT_EQ(asked, (std::vector<std::string>{
                         "Your data model is a database-independent data model. Would you like to validate the data "
                         "model for a specific DBMS?",
                         "Your database-independent data model will now be validated for target DBMS \"MySQL 8\". "
                         "Continue?",
                         "Your database-independent data model will now be validated for target DBMS \"SQLite 3\". "
                         "Continue?"}));
    EXPECT_EQ(keptOpen, 2);
    // Messages of both targets, each prefixed, after what was there; objects are the project's.
    const std::vector<std::string> lines = messages.Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[Info]     : kept");
    bool mysqlSequence = false, sqliteSequence = false, sqlitePrecision = false;
    for (const TVELMessageEntry& entry : messages.Entries()) {
        if (entry.Text == "* MySQL 8 * Target DBMS does not support sequences/generators. Sequence/generator will "
                          "be removed.")
            mysqlSequence = true;
        if (entry.Text == "* SQLite 3 * Target DBMS does not support sequences/generators. Sequence/generator will "
                          "be removed.")
            sqliteSequence = true;
        if (entry.Text == "* SQLite 3 * No precision allowed for data type \"DATETIME\". Precision set to zero.") {
            sqlitePrecision = true;
            EXPECT_EQ(entry.Object, stamp);
        }
    }
    EXPECT_TRUE(mysqlSequence);
    EXPECT_TRUE(sqliteSequence);
    EXPECT_TRUE(sqlitePrecision);
    // The project's model is left as it was.
    EXPECT_EQ(dd.SaveToMarkup(), before);

    // Declining a target stops the command: the rest is not checked.
    asked.clear();
    messages.Clear();
    declineAt = 2;
    CheckModelCommand(check, dd, prompts);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(messages.Count(), 0);

    // Not for a specific target: the model is checked as it is and an error reaches the caller.
    asked.clear();
    declineAt = 1;
    Table("NoKey")->AttributeAt(0)->SetNotNull(false);
    EXPECT_THROW(CheckModelCommand(check, dd, prompts), EVELError);
}

TEST_F(ModelCheckTest, CommandOnARealTargetSwallowsTheError) {
    dd.SetTarget("mysql8");
    Table("Bad")->AttributeAt(0)->SetNotNull(false);
    messages.Add(mlInfo, nullptr, "old");
    TModelCheckPrompts prompts; // never asked
    EXPECT_NO_THROW(CheckModelCommand(check, dd, prompts));
    EXPECT_EQ(check.Progress().Errors, 1);
    EXPECT_EQ(keptOpen, 1);
    EXPECT_EQ(messages.Count(), 1); // cleared first
}

TEST_F(ModelCheckTest, SwitchingTheTargetConvertsChecksAndTells) {
    dd.SetTarget("postgresql15");
    TVELEntity* t = Table("Orders", "SERIAL");
    TVELAttribute* when = t->AddAttribute(true);
    when->DataType->DataType = "TIMESTAMP";
    when->DataType->Precision = 3;
    dd.CreateObject(otSequence, true);
    try {
        SwitchTargetCommand(check, dd, "postgresql15");
        FAIL() << "no error";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()), "Selected target DBMS is already the current target DBMS.");
    }
    EXPECT_EQ(SwitchTargetCommand(check, dd, "sqlite3"),
              "Project converted from target DBMS \"PostgreSQL 15\" to target DBMS \"SQLite 3\".");
    EXPECT_EQ(dd.GetTarget(), "sqlite3");
    EXPECT_EQ(t->AttributeAt(0)->DataType->DataType, "INTEGER");
    EXPECT_EQ(dd.CountOfClass<TVELSequence>(), 0);
    const std::vector<std::string> lines = messages.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[Error]      column Orders." + when->GetName() +
                            "     : No precision allowed for data type \"DATETIME\". Precision set to zero.");
    EXPECT_NE(lines[1].find("Target DBMS does not support sequences/generators."), std::string::npos);
    EXPECT_EQ(check.Progress().Errors, 1);
}
