#include <gtest/gtest.h>

#include <algorithm>

#include "TestMessages.h"
#include "TestSupport.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDiagramOnly.h"
#include "zProcedure.h"
#include "zSLDatatypes.h"
#include "zSequence.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

// Two small targets of our own: "full" supports every object kind and has sequence codes,
// "bare" supports none of the optional kinds.
class DictionaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.File("full.def"),
                  "[general]\r\ndbmsname=Full Target\r\n"
                  "reservedwordsfile=full_reserved.txt\r\n"
                  "[scriptelements]\r\nDELIMITERDDLBEGIN=[\r\nDELIMITERDDLEND=]\r\n"
                  "[namelengths]\r\nmaxviewnamelength=8\r\n"
                  "[supported]\r\nenablesequences=1\r\nenableviews=1\r\n"
                  "enableprocedures=1\r\nenablerules=1\r\nenableschemas=1\r\n"
                  "[sequences]\r\nseqcyclecodes=NOCYCLE;CYCLE\r\nseqordercodes=NOORDER;ORDER\r\n"
                  "seqintegertypes=BIGINT;INTEGER\r\n[rules]\r\nruletypes=ON INSERT;ON UPDATE\r\n");
        WriteFile(dir.File("full.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                        "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n");
        WriteFile(dir.File("full_reserved.txt"), "SELECT\r\nTABLE\r\nDEFAULT:CURRENT_DATE\r\n");
        WriteFile(dir.File("bare.def"), "[general]\r\ndbmsname=Bare Target\r\n");
        TargetDatabases().Build(dir.Path());
    }

    TempDir dir;
};

} // namespace

TEST_F(DictionaryTest, EmptyModelSavesAllSectionsAndLoadsBackUnchanged) {
    TVELDataDictionary dd;
    dd.SetTarget("full");
    const std::string saved = dd.SaveToMarkup();
    EXPECT_EQ(saved.rfind("\r\n<DATADICT>\r\n<DBID>full</DBID>\r\n<LASTID>1</LASTID>", 0), 0u) << saved;
    for (const char* section :
         {"DOMAINS", "ENTITIES", "SUBCATEGORIES", "TEXTAREAS", "GROUPBOXES", "STAMPS", "SEQUENCES",
          "PROCEDURES", "VIEWS", "RELATIONSHIPS", "SUBCATEGORYCONNECTIONS", "RULES"})
        EXPECT_NE(saved.find("\r\n<" + std::string(section) + ">\r\n</" + section + ">"), std::string::npos)
            << section;
    TVELDataDictionary back;
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.GetTarget(), "full");
    EXPECT_EQ(back.Count(), 0);
    EXPECT_EQ(back.SaveToMarkup(), saved);
}

TEST_F(DictionaryTest, NewObjectsGetNamesIdentifiersAndTargetDefaults) {
    TVELDataDictionary dd;
    dd.SetTarget("full");
    auto* v1 = dd.CreateObject(otView, true);
    auto* v2 = dd.CreateObject(otView, true);
    auto* proc = dd.CreateObject(otProcedure, true);
    auto* seq = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    auto* rule = static_cast<TVELRule*>(dd.CreateObject(otRule, true));
    EXPECT_EQ(v1->GetName(), "View1");
    EXPECT_EQ(v2->GetName(), "View2");
    EXPECT_EQ(v1->ID, 2);
    EXPECT_EQ(v2->ID, 3);
    EXPECT_EQ(static_cast<TVELView*>(v1)->Code, "CREATE VIEW %viewname% AS\r\n");
    EXPECT_EQ(static_cast<TVELProcedure*>(proc)->Code, "CREATE PROCEDURE %procname%\r\n");
    EXPECT_EQ(seq->GetName(), "Sequence1");
    EXPECT_EQ(seq->Cycle, "NOCYCLE");
    EXPECT_EQ(seq->Order, "NOORDER");
    EXPECT_EQ(seq->IntegerType, "BIGINT");
    EXPECT_EQ(seq->CacheCode, ""); // the target has no cache codes
    EXPECT_EQ(seq->Seed, 0);
    EXPECT_EQ(seq->Increment, 1);
    EXPECT_EQ(rule->RuleType, "ON INSERT");
    EXPECT_EQ(rule->GetName(), "Rules1");

    int created = 0;
    dd.OnObjectCreated = [&created](TVELDatabaseObject*) { ++created; };
    dd.CreateObject(otTextArea, true);
    EXPECT_EQ(created, 1);
    EXPECT_THROW(dd.CreateObject(otDiagram, true), EVELError);
}

TEST_F(DictionaryTest, EveryKindRoundTripsByteForByteWhateverTheSectionOrder) {
    TVELDataDictionary dd;
    dd.SetTarget("full");
    auto* text = static_cast<TVELTextArea*>(dd.CreateObject(otTextArea, true));
    text->Text = "Line one\r\nLine <two> & \"three\"";
    auto* stamp = static_cast<TVELStamp*>(dd.CreateObject(otStamp, true));
    stamp->ProjectName = "Shop";
    stamp->Author = "Łukasz Żółć";
    stamp->Properties = {"Project Name", "Author"};
    auto* box = static_cast<TVELGroupbox*>(dd.CreateObject(otGroupbox, true));
    box->ObjectCaption = "Ordering";
    auto* seq = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    seq->Increment = 5;
    seq->Seed = 100;
    seq->Max = "99999";
    seq->SchemaName = "sales";
    seq->Comment = "Order numbers";
    auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
    view->Code = "CREATE VIEW v AS\r\nSELECT 1";
    view->ExtraProps.SetValue("ep_Color", "red");
    view->Labels = {"a", "b"};
    dd.CreateObject(otProcedure, true);
    dd.CreateObject(otRule, true);
    dd.CreateObject(otSubCategory, true);

    const std::string saved = dd.SaveToMarkup();
    TVELDataDictionary back;
    back.LoadFromMarkup(saved);
    ASSERT_EQ(back.Count(), dd.Count());
    EXPECT_EQ(back.SaveToMarkup(), saved);
    auto* seqBack = dynamic_cast<TVELSequence*>(back.FindObjectByID(seq->ID));
    ASSERT_NE(seqBack, nullptr);
    EXPECT_EQ(seqBack->Seed, 100);
    EXPECT_EQ(seqBack->SchemaName, "sales");
    EXPECT_EQ(static_cast<TVELStamp*>(back.FindObjectByID(stamp->ID))->Author, "Łukasz Żółć");

    // Sections may stand in any order: move the sequences section to the front.
    const size_t from = saved.find("\r\n<SEQUENCES>");
    const size_t to = saved.find("</SEQUENCES>") + std::string("</SEQUENCES>").size();
    std::string reordered = saved;
    const std::string section = saved.substr(from, to - from);
    reordered.erase(from, to - from);
    reordered.insert(reordered.find("\r\n<DOMAINS>"), section);
    ASSERT_NE(reordered, saved);
    TVELDataDictionary moved;
    moved.LoadFromMarkup(reordered);
    EXPECT_EQ(moved.SaveToMarkup(), saved);
}

TEST_F(DictionaryTest, LoadingRepairsIdentifiersCaptionsAndTarget) {
    // LASTID below an identifier in use; a group box of an older file without caption.
    const std::string text = WrapSection(
        "DATADICT",
        WriteElement("DBID", "full") + WriteElement("LASTID", "3") +
            WrapSection("GROUPBOXES",
                        WrapSection("GROUPBOX", WriteElement("NAME", "Billing") + WriteElement("ID", "40"))) +
            WrapSection("VIEWS", WrapSection("VIEW", WriteElement("NAME", "V") + WriteElement("ID", "7"))));
    TVELDataDictionary dd;
    dd.LoadFromMarkup(text);
    ASSERT_EQ(dd.Count(), 2);
    EXPECT_EQ(dd.Object(0)->ID, 7); // sorted by identifier
    EXPECT_EQ(dd.LastID, 40);
    EXPECT_EQ(dd.NewID(), 41);
    auto* box = dynamic_cast<TVELGroupbox*>(dd.FindObjectByID(40));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->ObjectCaption, "Billing");
    EXPECT_EQ(box->GetName(), "Groupbox1");
    EXPECT_FALSE(dd.Loading);

    // Without DBID the model is taken for the default target, whose definition is absent here.
    TVELDataDictionary noTarget;
    try {
        noTarget.LoadFromMarkup(WrapSection("DATADICT", ""));
        FAIL() << "expected the missing definition to be reported";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Database definition file \"oracle9.def\" not found. Project is based on a non existing "
                  "target DBMS. Did you remove a definition (*.def) file?");
    }
    EXPECT_FALSE(noTarget.Loading);
}

TEST_F(DictionaryTest, DamagedMarkupLoadsWhatItCan) {
    TVELDataDictionary dd;
    dd.SetTarget("full");
    dd.CreateObject(otView, true);
    dd.CreateObject(otSequence, true);
    dd.CreateObject(otTextArea, true);
    const std::string saved = dd.SaveToMarkup();
    for (size_t cut = 0; cut < saved.size(); cut += 7) {
        TVELDataDictionary back;
        back.SetTarget("full");
        EXPECT_NO_THROW(back.LoadObjects(saved.substr(0, cut), false, false)) << cut;
        EXPECT_LE(back.Count(), 3);
    }
    // Non-numeric identifiers load as 1.
    TVELDataDictionary odd;
    odd.LoadFromMarkup(WrapSection("DATADICT", WriteElement("DBID", "full") +
                                                   WrapSection("VIEW", WriteElement("ID", "x1"))));
    ASSERT_EQ(odd.Count(), 1);
    EXPECT_EQ(odd.Object(0)->ID, 1);
}

TEST_F(DictionaryTest, MergeLoadRenamesAndRenumbers) {
    TVELDataDictionary dd;
    dd.SetTarget("full");
    dd.CreateObject(otView, true); // View1, id 2
    const std::string saved = dd.SaveToMarkup();
    int merged = 0;
    dd.OnObjectMerged = [&merged](TVELDatabaseObject*) { ++merged; };
    dd.LoadObjects(saved, true, false);
    ASSERT_EQ(dd.Count(), 2);
    EXPECT_EQ(merged, 1);
    EXPECT_EQ(dd.Object(1)->GetName(), "View11");
    EXPECT_EQ(dd.Object(1)->ID, 3);
    EXPECT_EQ(dd.Object(1)->OldID, 2);
}

TEST_F(DictionaryTest, CopiesAndClearing) {
    TVELDataDictionary dd;
    dd.SetTarget("full");
    auto* view = dd.CreateObject(otView, true);
    view->Comment = "all orders";
    dd.CreateObject(otSequence, true)->SchemaName = "s1";
    dd.NewID();

    TVELDataDictionary copy;
    copy.AssignDictionary(dd);
    EXPECT_EQ(copy.GetTarget(), "full");
    EXPECT_EQ(copy.LastID, dd.LastID);
    EXPECT_EQ(copy.SaveToMarkup(), dd.SaveToMarkup());
    EXPECT_EQ(copy.FindSameObject(view)->Comment, "all orders");
    EXPECT_NE(copy.FindSameObject(view), view);

    copy.ClearComments();
    copy.ClearSchemas();
    EXPECT_EQ(copy.Object(0)->Comment, "");
    EXPECT_EQ(copy.Object(1)->SchemaName, "");
    EXPECT_EQ(dd.Object(1)->SchemaName, "s1");

    copy.Clear();
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_EQ(copy.GetTarget(), "");
}

TEST_F(DictionaryTest, CheckModelRemovesWhatTheTargetCannotHold) {
    TVELDataDictionary dd;
    dd.SetTarget("full");
    dd.CreateObject(otSequence, true);
    dd.CreateObject(otView, true);
    dd.CreateObject(otProcedure, true);
    dd.CreateObject(otRule, true);
    dd.CreateObject(otTextArea, true);
    const std::string saved = dd.SaveToMarkup();

    TVELDataDictionary bare;
    bare.LoadFromMarkup(ReplaceAll(saved, "<DBID>full</DBID>", "<DBID>bare</DBID>"));
    ASSERT_EQ(bare.Count(), 5);
    std::vector<std::string> messages;
    bare.OnMessage = ardvin::test::MessageCollector(messages);
    int visited = 0, finished = 0;
    bare.OnCheckProgress = [&](TVELDatabaseObject* o) { o ? ++visited : ++finished; };
    bare.CheckModel();
    EXPECT_EQ(bare.Count(), 1); // only the text area stays
    EXPECT_EQ(visited, 5);
    EXPECT_EQ(finished, 1);
    const std::vector<std::string> expected = {
        "Error: Target DBMS does not support rules. Rules will be removed.",
        "Error: Target DBMS does not support procedures. Procedure will be removed.",
        "Error: Target DBMS does not support views. View will be removed.",
        "Error: Target DBMS does not support sequences/generators. Sequence/generator will be removed.",
    };
    EXPECT_EQ(messages, expected);

    // Duplicate names are reported on both objects.
    TVELDataDictionary dup;
    dup.SetTarget("full");
    dup.CreateObject(otView, true)->SetName("Orders");
    dup.CreateObject(otProcedure, true)->SetName("orders");
    std::vector<std::string> dupMessages;
    dup.OnMessage = [&dupMessages](TVELNamedObject*, int, const std::string& text) {
        dupMessages.push_back(text);
    };
    dup.CheckModel();
    EXPECT_EQ(std::count(dupMessages.begin(), dupMessages.end(), "Name \"Orders\" is not unique."), 1);
    EXPECT_EQ(std::count(dupMessages.begin(), dupMessages.end(), "Name \"orders\" is not unique."), 1);
}

TEST(ViewCode, FormatterPutsClausesOnLinesOfTheirOwn) {
    EXPECT_EQ(FormatViewCode("select a, b from t where x=1"), "SELECT a\r\n,b\r\nFROM t\r\nWHERE x=1");
    EXPECT_EQ(FormatViewCode("select a -- the key\r\n/* all */ from t"), "SELECT a\r\nFROM t");
    EXPECT_EQ(RemoveComments("a\r\n# note\r\n// other\r\nREM x\r\nb -- tail\r\nc '--' d"),
              "a\r\nb\r\nc '--' d");
    const std::string longLine = "select a from t where alpha_value = 1 and beta_value = 2 or gamma_value = "
                                 "3 and delta_value = 4 and x = 5";
    const std::string formatted = FormatViewCode(longLine);
    EXPECT_NE(formatted.find("\r\n AND beta_value"), std::string::npos) << formatted;
}

TEST_F(DictionaryTest, ObjectsCheckNamesAndQuoteThroughTheirTarget) {
    TVELDataDictionary dd;
    dd.SetTarget("full");
    auto* view = dd.CreateObject(otView, true);
    std::vector<std::string> messages;
    const TVELMessageCallback collect = ardvin::test::MessageCollector(messages);

    view->SetName("select");
    view->Validate(false, collect);
    EXPECT_NE(
        std::find(messages.begin(), messages.end(), "Warning: Name \"select\" contains a reserved word."),
        messages.end());
    messages.clear();
    EXPECT_FALSE(view->ValidatePropertyValue("ObjectName", "Table", collect));
    EXPECT_NE(
        std::find(messages.begin(), messages.end(), "Error: View name \"Table\" contains a reserved word."),
        messages.end());
    messages.clear();
    // The length limit applies to the part after the schema.
    EXPECT_TRUE(view->ValidatePropertyValue("ObjectName", "sales.Orders12", collect)) << messages.size();
    EXPECT_FALSE(view->ValidatePropertyValue("ObjectName", "sales.Orders123", collect));
    EXPECT_EQ(messages.back(), "Error: View name \"sales.Orders123\" is too long. Max length is 8.");
    // Without a callback an error raises.
    EXPECT_THROW(view->ValidatePropertyValue("ObjectName", "", nullptr), EVELError);

    view->SetName("Orders");
    view->SchemaName = "sales";
    EXPECT_EQ(view->GetQualifiedName(), "[sales].[Orders]");
    EXPECT_EQ(view->GetPropertyValue("GetNonQuotedQualifiedName"), "sales.Orders");
    EXPECT_EQ(view->GetPropertyState("SchemaName"), 0);
    EXPECT_TRUE(dd.GetDatabaseSettings()->IsDefaultKeyword("CURRENT_DATE"));

    TVELDataDictionary bare;
    bare.SetTarget("bare");
    EXPECT_EQ(bare.CreateObject(otView, true)->GetPropertyState("SchemaName"), 2);
}
