#include <gtest/gtest.h>

#include <map>

#include "dgConnectors.h"
#include "test_diagram_support.h"
#include "zAttribute.h"
#include "zEntity.h"
#include "zRelationship.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

int TotalControls(const TVELDiagrams& diagrams) {
    int n = 0;
    for (int i = 0; i < diagrams.Count(); ++i)
        n += diagrams.Items(i)->ControlCount() + diagrams.Items(i)->ConnectorCount();
    return n;
}

// A model with every kind of control on two diagrams, in folders, with changed preferences.
class StoredDiagramsTest : public ::testing::Test {
protected:
    void SetUp() override {
        e1 = AddObject<TestEntity>(dd, "Customer");
        e2 = AddObject<TestEntity>(dd, "Order");
        e3 = AddObject<TestEntity>(dd, "Person");
        sub = AddObject<TVELSubCategory>(dd, "Sub");
        r1 = AddConnection(dd, "places", e1->ID, e2->ID);
        r2 = AddConnection(dd, "follows", e2->ID, e2->ID);
        sc = AddConnection(dd, "SC", sub->ID, e3->ID, otSubCategoryConnection);
        text = AddObject<TVELTextArea>(dd, "Text");
        text->Text = "A note";
        stamp = AddObject<TVELStamp>(dd, "Stamp");
        stamp->Properties = {"Project Name", "Diagram Name"};
        group = AddObject<TVELGroupbox>(dd, "Group");

        main = diagrams.NewMainDiagram();
        main->Description = "All <objects> & \"more\"";
        main->ToDo = "tidy up";
        main->BackgroundColor = clWhite;
        main->Notation = 1;
        main->ShowNotNullIndicator = true;
        main->DisplayLevel = 1;
        auto* groupBox = static_cast<TDGGroupBoxControl*>(PlaceBox(diagrams, main, group, 0, 0, 1000, 800));
        groupBox->Alignment = taCenter;
        groupBox->AlignmentType = 1;
        auto* box1 = static_cast<TDGEntityControl*>(PlaceBox(diagrams, main, e1, 100, 100, 120, 80));
        box1->SetHidden(4, true);
        box1->SetAttributeColor(3, clRed);
        PlaceBox(diagrams, main, e2, 500, 300, 120, 80);
        PlaceBox(diagrams, main, e3, 500, 600, 120, 80);
        PlaceBox(diagrams, main, sub, 300, 600, 40, 30);
        auto* textBox = static_cast<TDGTextAreaControl*>(PlaceBox(diagrams, main, text, 800, 100, 150, 60));
        textBox->WordWrap = true;
        textBox->Padding = 3;
        textBox->AutoSize = true;
        PlaceBox(diagrams, main, stamp, 800, 700, 180, 50)->Font.Bold = true;
        auto* l1 = static_cast<TDGConnector*>(diagrams.AddObjectToDiagram(r1, main));
        SetConnectorRouting(*l1, drtLeftRight);
        static_cast<TDGConnector*>(diagrams.AddObjectToDiagram(r2, main))->Hidden = true;
        diagrams.AddObjectToDiagram(sc, main);

        second = diagrams.NewDiagram();
        PlaceBox(diagrams, second, e1, 10, 10, 100, 60);
        PlaceBox(diagrams, second, e2, 10, 300, 100, 60);
        auto* l2 = static_cast<TDGConnector*>(diagrams.AddObjectToDiagram(r1, second));
        SetConnectorRouting(*l2, drtTopBottom);
        PlaceBox(diagrams, second, text, 400, 10, 100, 40);

        diagrams.AddFolder("Sales");
        diagrams.PutDiagramInFolder("Sales", main->DiagramID);
        diagrams.PutDiagramInFolder(diagrams.NewFolderName(), second->DiagramID);
        diagrams.DisplayPreferences.SetValue("PKIndicator", "#");
        diagrams.DisplayPreferences.SetValue("StampFont", "Tahoma,7,,0,clBlack,0");
        diagrams.DisplayPreferences.SetValue("DefGroupBoxTransparent", "1");
    }

    TVELDataDictionary dd;
    TVELDiagrams diagrams{&dd};
    TestEntity *e1 = nullptr, *e2 = nullptr, *e3 = nullptr;
    TVELSubCategory* sub = nullptr;
    TestConnection *r1 = nullptr, *r2 = nullptr, *sc = nullptr;
    TVELTextArea* text = nullptr;
    TVELStamp* stamp = nullptr;
    TVELGroupbox* group = nullptr;
    TVELDiagram* main = nullptr;
    TVELDiagram* second = nullptr;
};

} // namespace

TEST_F(StoredDiagramsTest, RoundTripIsByteForByte) {
    const std::string saved = diagrams.SaveToMarkup();
    EXPECT_EQ(
        saved.rfind("\r\n<DIAGRAMS>\r\n<LASTID>2</LASTID>\r\n<DisplayPreferences>\r\n<USEINDICATORLINE>0"
                    "</USEINDICATORLINE>",
                    0),
        0u)
        << saved.substr(0, 200);
    EXPECT_NE(saved.find("<DIAGRAMFOLDERS>Sales=1;New folder 0=2;</DIAGRAMFOLDERS>"), std::string::npos);
    EXPECT_NE(saved.find("<DESC>All &lt;objects&gt; &amp; &quot;more&quot;</DESC>"), std::string::npos);
    // The control groups, in their fixed order, each control of the first diagram first.
    size_t last = 0;
    for (const char* group :
         {"<CONTROLS>", "<ENTITYCONTROLS>", "<SUBCATEGORYCONTROLS>", "<TEXTAREACONTROLS>", "<STAMPCONTROLS>",
          "<GROUPBOXESCONTROLS>", "<RELATIONSHIPCONNECTORS>", "<SUBCATEGORYCONNECTORS>"}) {
        const size_t at = saved.find(group);
        ASSERT_NE(at, std::string::npos) << group;
        EXPECT_GT(at, last) << group;
        last = at;
    }
    EXPECT_EQ(Occurrences(saved, "<ENTC>"), 5u);
    EXPECT_EQ(Occurrences(saved, "<RELC>"), 3u);
    EXPECT_LT(saved.find("<DIAGRAMID>1</DIAGRAMID>", saved.find("<ENTC>")),
              saved.find("<DIAGRAMID>2</DIAGRAMID>", saved.find("<ENTC>")));

    TVELDiagrams back(&dd);
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.SaveToMarkup(), saved);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.CurrentDiagram(), back.MainDiagram());
    EXPECT_EQ(back.MainDiagram()->Description, main->Description);
    EXPECT_EQ(back.DisplayPreferences.GetValue("PKIndicator"), "#");
    EXPECT_EQ(back.FolderDiagrams("New folder 0"), (std::vector<int32_t>{2}));
    const auto* self = back.MainDiagram()->FindByModelID(r2->ID);
    ASSERT_NE(self, nullptr);
    EXPECT_TRUE(static_cast<const TDGConnector*>(self)->Hidden);
    // Every model object now knows its boxes in both collections.
    EXPECT_EQ(e1->Links.size(), 4u);
    const auto* box = static_cast<const TDGEntityControl*>(back.MainDiagram()->FindByModelID(e1->ID));
    EXPECT_EQ(box->PKIndicator, "#");
    EXPECT_EQ(box->DisplayLevel, 1); // diagram settings reach the boxes
    EXPECT_EQ(box->HiddenAttributes, (std::vector<int32_t>{4}));
}

TEST_F(StoredDiagramsTest, ControlsOfMissingObjectsAreDropped) {
    std::string saved = diagrams.SaveToMarkup();
    // A control on a diagram that does not exist.
    const size_t textAt = saved.find("<TEXTC>", saved.find("<TEXTC>") + 1);
    const size_t idAt = saved.find("<DIAGRAMID>2</DIAGRAMID>", textAt);
    saved.replace(idAt, 24, "<DIAGRAMID>9</DIAGRAMID>");
    // A control whose model object is gone, with the relationships at it. (The subcategory
    // has no parent relationship and goes too, with its connection.)
    for (TVELNamedObject* gone : std::initializer_list<TVELNamedObject*>{e1, r1, sub, sc})
        diagrams.RemoveControlsOf(gone);
    const int32_t r1ID = r1->ID, subID = sub->ID;
    dd.DeleteObject(e1);
    EXPECT_EQ(dd.FindByID(r1ID), nullptr);
    EXPECT_EQ(dd.FindByID(subID), nullptr);

    TVELDiagrams back(&dd);
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.Items(0)->ControlCount(), 5);
    EXPECT_EQ(back.Items(0)->ConnectorCount(), 1);
    EXPECT_EQ(back.Items(1)->ControlCount(), 1); // Order; Customer and the text area went
    EXPECT_EQ(back.Items(1)->ConnectorCount(), 0);
    const std::string again = back.SaveToMarkup();
    EXPECT_EQ(Occurrences(again, "<ENTC>"), 3u);
    EXPECT_EQ(Occurrences(again, "<RELC>"), 1u);
    EXPECT_EQ(Occurrences(again, "<SUBCATC>"), 0u);
    EXPECT_EQ(Occurrences(again, "<TEXTC>"), 1u);
}

TEST_F(StoredDiagramsTest, WrongKindsAndSecondBoxesAreDropped) {
    const std::string saved = diagrams.SaveToMarkup();
    // A stamp control that names an entity.
    std::string wrong = saved;
    const size_t stampID = wrong.find("<ID>", wrong.find("<STAMPC>"));
    wrong.replace(stampID, wrong.find("</ID>", stampID) + 5 - stampID,
                  "<ID>" + std::to_string(e2->ID) + "</ID>");
    TVELDiagrams other(&dd);
    other.LoadFromMarkup(wrong);
    EXPECT_EQ(Occurrences(other.SaveToMarkup(), "<STAMPC>"), 0u);
    EXPECT_EQ(other.Items(0)->ControlCount(), 6);
    // A second box of the same entity on the same diagram.
    std::string twice = saved;
    const size_t start = saved.find("<ENTC>");
    const size_t end = saved.find("</ENTC>", start) + 7;
    twice.insert(end, saved.substr(start, end - start));
    TVELDiagrams dup(&dd);
    dup.LoadFromMarkup(twice);
    EXPECT_EQ(dup.Items(0)->ControlCount(), 7);
    EXPECT_EQ(dup.SaveToMarkup(), saved);
}

TEST_F(StoredDiagramsTest, DamagedTextsLoadWhatTheyCan) {
    const std::string saved = diagrams.SaveToMarkup();
    // Unknown elements anywhere are ignored.
    std::string noisy = ReplaceAll(saved, "\r\n<ENTC>", "\r\n<NOISE>x<Y>1</Y></NOISE>\r\n<ENTC>");
    noisy = ReplaceAll(noisy, "<CONTROLS>", "<CONTROLS><MYSTERY><ENTX>1</ENTX></MYSTERY>");
    {
        TVELDiagrams back(&dd);
        back.LoadFromMarkup(noisy);
        EXPECT_EQ(back.SaveToMarkup(), saved);
    }
    // Non-numeric coordinates take their reading defaults.
    std::string numbers = saved;
    const size_t left = numbers.find("<L>", numbers.find("<ENTC>"));
    numbers.replace(left, numbers.find("</L>", left) - left, "<L>abc");
    {
        TVELDiagrams back(&dd);
        back.LoadFromMarkup(numbers);
        EXPECT_EQ(back.Items(0)->FindControl(e1->ID)->Left, 100);
        EXPECT_EQ(back.Items(0)->FindControl(e1->ID)->Width, 120);
    }
    // Every truncation loads without failing and never yields more than the whole.
    int previous = -1;
    for (size_t cut = 0; cut <= saved.size(); cut += 37) {
        TVELDiagrams back(&dd);
        back.LoadFromMarkup(saved.substr(0, cut));
        const int n = TotalControls(back);
        EXPECT_LE(n, TotalControls(diagrams));
        EXPECT_GE(n, previous - 1) << cut; // at most the cut control is lost on the way
        previous = std::max(previous, n);
        for (int i = 0; i < back.Count(); ++i)
            for (int j = 0; j < back.Items(i)->ConnectorCount(); ++j)
                EXPECT_GE(static_cast<int>(back.Items(i)->Connectors(j)->Points.size()),
                          RequiredPointCount(*back.Items(i)->Connectors(j)));
    }
    EXPECT_EQ(previous, TotalControls(diagrams));
    // Text that holds no diagrams at all.
    TVELDiagrams empty(&dd);
    empty.LoadFromMarkup("<DIAGRAMS>garbage</DIAGRAMS>");
    EXPECT_EQ(empty.Count(), 0);
    EXPECT_EQ(empty.CurrentDiagram(), nullptr);
}

TEST(Diagrams, IdentifiersNamesAndTheMainDiagram) {
    TVELDiagrams diagrams;
    std::vector<std::string> events;
    diagrams.OnDiagramAdded = [&](TVELDiagram* d) { events.push_back("added " + d->Name); };
    diagrams.OnCurrentDiagramChanged = [&](TVELDiagram* d) {
        events.push_back("current " + (d ? d->Name : "-"));
    };
    EXPECT_EQ(diagrams.MainDiagram(), nullptr);
    TVELDiagram* main = diagrams.NewMainDiagram();
    EXPECT_EQ(main->Name, "Main Diagram");
    EXPECT_EQ(main->DiagramID, 1);
    EXPECT_TRUE(main->IsMainDiagram);
    EXPECT_EQ(diagrams.MainDiagram(), main);
    EXPECT_EQ(main->MaxWidth, 13600);
    EXPECT_EQ(main->MaxHeight, 11600);
    EXPECT_FALSE(main->ShowNotNullIndicator); // created; reading defaults to "1"

    TVELDiagram* d1 = diagrams.NewDiagram();
    TVELDiagram* d2 = diagrams.NewDiagram();
    TVELDiagram* d3 = diagrams.NewDiagram();
    EXPECT_EQ(d3->Name, "Diagram_3");
    diagrams.DeleteDiagram(d2);
    // The first free name, but never a used identifier.
    TVELDiagram* again = diagrams.NewDiagram();
    EXPECT_EQ(again->Name, "Diagram_2");
    EXPECT_EQ(again->DiagramID, 5);
    diagrams.DeleteDiagram(again);
    EXPECT_EQ(diagrams.NewDiagram()->DiagramID, 6);
    EXPECT_EQ(events[0], "added Diagram_1"); // the main diagram is named after it was added
    EXPECT_EQ(events[1], "current Diagram_1");

    // The current diagram: the old one becomes the previous one and loses its tool.
    d1->Tool = 3;
    d1->Cursor = 2;
    diagrams.SetCurrentDiagram(d1);
    diagrams.SetCurrentDiagram(d3);
    EXPECT_EQ(diagrams.PreviousDiagram(), d1);
    EXPECT_EQ(d1->Tool, 0);
    EXPECT_EQ(d1->Cursor, 0);
    diagrams.DeleteDiagram(d3);
    EXPECT_EQ(diagrams.CurrentDiagram(), d1);

    std::string renamed;
    d1->OnNameChanged = [&](TVELDiagram*, const std::string& old) { renamed = old; };
    diagrams.RenameDiagram(d1, "Orders");
    EXPECT_EQ(renamed, "Diagram_1");
    renamed.clear();
    diagrams.RenameDiagram(d1, "Orders");
    EXPECT_TRUE(renamed.empty());

    // The temporary diagram is never stored.
    TVELDiagram* tmp = diagrams.AddTemporaryDiagram();
    EXPECT_EQ(tmp->DiagramID, -1);
    EXPECT_EQ(tmp->Name, "tmpdiagram");
    EXPECT_EQ(diagrams.SaveToMarkup().find("tmpdiagram"), std::string::npos);
}

TEST(Diagrams, Folders) {
    TVELDiagrams diagrams;
    for (int i = 0; i < 3; ++i)
        diagrams.AddFolder(diagrams.NewFolderName());
    EXPECT_EQ(diagrams.Folders.NameAt(2), "New folder 2");
    EXPECT_EQ(ErrorText([&] { diagrams.RenameFolder("New folder 0", "  "); }), "Name may not be empty.");
    EXPECT_EQ(ErrorText([&] { diagrams.RenameFolder("New folder 0", "new FOLDER 1"); }),
              "Name must be unique.");
    diagrams.RenameFolder("New folder 1", "New folder 1"); // its own name: nothing changes
    diagrams.RenameFolder("New folder 1", " Archive ");
    EXPECT_EQ(diagrams.Folders.NameAt(1), "Archive");      // trimmed, in place
    diagrams.RenameFolder("new folder 2", "NEW FOLDER 2"); // a change of case is no clash
    EXPECT_EQ(diagrams.Folders.NameAt(2), "NEW FOLDER 2");

    diagrams.PutDiagramInFolder("Archive", 4);
    diagrams.PutDiagramInFolder("Archive", 7);
    diagrams.PutDiagramInFolder("Archive", 5, 1);
    diagrams.PutDiagramInFolder("Archive", 9, 0);
    EXPECT_EQ(diagrams.FolderDiagrams("Archive"), (std::vector<int32_t>{9, 4, 5, 7}));
    EXPECT_EQ(diagrams.DiagramPositionInFolder("Archive", 5), 2);
    EXPECT_EQ(diagrams.DiagramPositionInFolder("Archive", 8), -1);
    diagrams.PutDiagramInFolder("New folder 0", 4); // a diagram lives in one folder
    EXPECT_EQ(diagrams.FolderDiagrams("Archive"), (std::vector<int32_t>{9, 5, 7}));
    EXPECT_EQ(diagrams.FolderOfDiagram(4), "New folder 0");
    diagrams.RemoveDiagramFromFolder("Archive", 9);
    EXPECT_EQ(diagrams.Folders.GetValue("Archive"), "5,7");
    EXPECT_EQ(diagrams.FoldersText(), "New folder 0=4;Archive=5,7;NEW FOLDER 2=;");

    TVELDiagrams back;
    back.SetFoldersText("a=b=1,x,2;;lonely;Archive=5,7;");
    EXPECT_EQ(back.FoldersText(), "a=b=1,2;lonely=;Archive=5,7;");
}

TEST(Diagrams, DisplayPreferencesAndDiagramDefaults) {
    const TVELSettingsList p = TVELDiagrams::DefaultDisplayPreferences();
    ASSERT_EQ(p.Count(), 37);
    EXPECT_EQ(p.NameAt(0), "UseIndicatorLine");
    EXPECT_EQ(p.GetValue("DefGroupBoxColor"), "8421504");
    EXPECT_EQ(p.GetValue("DefViewColor"), "8377599");
    EXPECT_EQ(p.GetValue("DefGroupBoxLineWidth"), "0");
    EXPECT_EQ(p.GetValue("DefStampLineWidth"), "1");
    EXPECT_EQ(p.GetValue("EntNameFont"), "Arial,9,B,0,clNavy,0");
    EXPECT_EQ(p.GetValue("CaptionFont"), "Arial,8,,0,clWindowText,0");
    EXPECT_EQ(p.NameAt(36), "ViewNameFont");
    EXPECT_FALSE(p.Has("StampFont"));

    TVELDiagrams diagrams;
    EXPECT_EQ(diagrams.CustomPaperWidth(), 212);
    EXPECT_EQ(diagrams.CustomPaperHeight(), 279);
    // Keys are stored upper-cased and come back into their default places.
    diagrams.DisplayPreferences.SetValue("UseGradient", "0");
    diagrams.DisplayPreferences.SetValue("CUSTOMPAPERWIDTH", "300");
    const std::string saved = diagrams.SaveToMarkup();
    EXPECT_NE(saved.find("<USEGRADIENT>0</USEGRADIENT>"), std::string::npos);
    TVELDiagrams back;
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.DisplayPreferences.NameAt(7), "UseGradient");
    EXPECT_EQ(back.DisplayPreferences.GetValue("usegradient"), "0");
    EXPECT_EQ(back.CustomPaperWidth(), 300);
    EXPECT_EQ(back.SaveToMarkup(), saved);
    back.DisplayPreferences.SetValue("PAPERORIENTATION", "1");
    TVELDiagram* paper = back.NewDiagram();
    EXPECT_EQ(paper->PaperWidth, 300);
    EXPECT_EQ(paper->PaperOrientation, 1);

    // A diagram read without its elements gets the reading defaults.
    TVELDiagram d;
    d.ShowNotNullIndicator = false;
    d.BackgroundColor = clRed;
    d.LoadFromMarkup("<NAME>x</NAME><NOTATION>z</NOTATION>");
    EXPECT_EQ(d.DiagramID, 1);
    EXPECT_EQ(d.BackgroundColor, 8421440);
    EXPECT_TRUE(d.ShowNotNullIndicator);
    EXPECT_TRUE(d.ShowPKIndicator);
    EXPECT_EQ(d.Notation, 0);
    EXPECT_EQ(d.Name, "x");
    const std::string stored = d.SaveToMarkup();
    EXPECT_EQ(
        stored.rfind("\r\n<ID>1</ID>\r\n<NAME>x</NAME>\r\n<DESC></DESC>\r\n<TODO></TODO>\r\n<ISMAINDIAGRAM>0"
                     "</ISMAINDIAGRAM>\r\n<BGCOLOR>8421440</BGCOLOR>",
                     0),
        0u)
        << stored;
}

TEST(Diagrams, ApplyingPreferencesReachesTheControls) {
    TVELDataDictionary dd;
    TVELDiagrams diagrams(&dd);
    TVELDiagram* d = diagrams.NewDiagram();
    auto* e = AddObject<TestEntity>(dd, "E");
    auto* box = static_cast<TDGEntityControl*>(diagrams.AddObjectToDiagram(e, d));
    EXPECT_EQ(box->Brush.Color, 16777215); // the default entity colour
    EXPECT_EQ(box->NameFont.Color, clNavy);
    diagrams.DisplayPreferences.SetValue("FKIndicator", "->");
    diagrams.DisplayPreferences.SetValue("EntNameFont", "Arial,12,B,0,clMaroon,0");
    diagrams.DisplayPreferences.SetValue("DefEntColor", "255");
    diagrams.ApplyDisplayPreferences();
    EXPECT_EQ(box->FKIndicator, "->");
    EXPECT_EQ(box->NameFont.Size, 12);
    EXPECT_EQ(box->Brush.Color, 16777215); // existing boxes keep their colour
    auto* e2 = AddObject<TestEntity>(dd, "E2");
    EXPECT_EQ(static_cast<TDGControl*>(diagrams.AddObjectToDiagram(e2, d))->Brush.Color, 255);
    EXPECT_EQ(diagrams.AddObjectToDiagram(e2, d), nullptr); // at most once per diagram
}

TEST(Diagrams, RemovingAModelObjectRemovesItsControlsEverywhere) {
    TVELDataDictionary dd;
    TVELDiagrams diagrams(&dd);
    auto* a = AddObject<TestEntity>(dd, "A");
    auto* b = AddObject<TestEntity>(dd, "B");
    auto* r = AddConnection(dd, "R", a->ID, b->ID);
    for (int i = 0; i < 2; ++i) {
        TVELDiagram* d = diagrams.NewDiagram();
        diagrams.AddObjectToDiagram(a, d);
        diagrams.AddObjectToDiagram(b, d, 400, 400);
        diagrams.AddObjectToDiagram(r, d);
        d->Selection.Add(d->FindObjectOf(a));
    }
    EXPECT_EQ(r->Links.size(), 2u);
    diagrams.RemoveControlsOf(a);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(diagrams.Items(i)->ControlCount(), 1);
        EXPECT_EQ(diagrams.Items(i)->ConnectorCount(), 0);
        EXPECT_EQ(diagrams.Items(i)->Selection.Count(), 0);
    }
    EXPECT_TRUE(a->Links.empty());
    EXPECT_TRUE(r->Links.empty());
}

TEST(Diagrams, RelatedControls) {
    // A -> B -> C -> D -> F and E -> B; F is not on the diagram, D stands between C and F.
    TVELDataDictionary dd;
    TVELDiagrams diagrams(&dd);
    std::map<std::string, TestEntity*> e;
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        e[name] = AddObject<TestEntity>(dd, name);
    const std::pair<const char*, const char*> links[] = {
        {"A", "B"}, {"B", "C"}, {"C", "D"}, {"D", "F"}, {"E", "B"}};
    std::vector<TestConnection*> rels;
    for (const auto& [p, c] : links)
        rels.push_back(AddConnection(dd, std::string(p) + c, e[p]->ID, e[c]->ID));
    TVELDiagram* d = diagrams.NewDiagram();
    int x = 0;
    for (const char* name : {"A", "B", "C", "D", "E"})
        diagrams.AddObjectToDiagram(e[name], d, x += 150, 100);
    for (TestConnection* r : rels)
        diagrams.AddObjectToDiagram(r, d);
    auto names = [&](const std::vector<TDGObject*>& objects) {
        std::vector<std::string> r;
        for (const TDGObject* o : objects)
            r.push_back(o->ModelObject->GetName());
        std::sort(r.begin(), r.end());
        return r;
    };
    auto selectB = [&] {
        d->Selection.Clear();
        d->Selection.Add(d->FindObjectOf(e["B"]));
    };

    const std::string start = "At least one object (entity, subcategory,...) must be selected to be able to ";
    EXPECT_EQ(ErrorText([&] { d->SelectRelated(rmParents, 1, false); }), start + "select related controls.");
    EXPECT_EQ(ErrorText([&] { d->HighlightRelated(rmSelected, 1, false); }),
              start + "highlight selected controls.");
    EXPECT_EQ(ErrorText([&] { d->HighlightRelated(rmChildren, 1, false); }),
              start + "highlight related controls.");

    selectB();
    d->SelectRelated(rmParents, 1, false);
    EXPECT_EQ(names(d->Selection.Objects()), (std::vector<std::string>{"A", "E"}));
    selectB();
    d->SelectRelated(rmChildren, 1, true);
    EXPECT_EQ(names(d->Selection.Objects()), (std::vector<std::string>{"B", "C"}));
    selectB();
    d->SelectRelated(rmChildren, 5, false);
    EXPECT_EQ(names(d->Selection.Objects()), (std::vector<std::string>{"C", "D"})); // F is not on the diagram
    selectB();
    d->SelectRelated(rmTransitive, 1, false);
    EXPECT_EQ(names(d->Selection.Objects()), (std::vector<std::string>{"A", "C", "D", "E"}));
    selectB();
    d->SelectRelated(rmParentsAndChildren, 1, false);
    EXPECT_EQ(names(d->Selection.Objects()), (std::vector<std::string>{"A", "C", "E"}));
    // The filter needs no selection.
    d->Selection.Clear();
    d->SelectRelated(rmFilter, 0, false, [](const TVELNamedObject* o) { return o->GetName() < "C"; });
    EXPECT_EQ(names(d->Selection.Objects()), (std::vector<std::string>{"A", "B"}));

    // Highlighting leaves the selection alone; without keep-selection the selected boxes are
    // highlighted too.
    selectB();
    d->HighlightRelated(rmChildren, 1, true);
    EXPECT_EQ(names(d->Highlighted), (std::vector<std::string>{"C"}));
    d->HighlightRelated(rmChildren, 1, false);
    EXPECT_EQ(names(d->Highlighted), (std::vector<std::string>{"B", "C"}));
    d->HighlightRelated(rmSelected, 0, true);
    EXPECT_EQ(names(d->Highlighted), (std::vector<std::string>{"B"}));
    EXPECT_EQ(d->Selection.Count(), 1);

    // The relation search itself works on the model, levels counted from the seeds.
    const auto found = FindRelatedObjects(dd, {e["B"]}, rmChildren, 3, true);
    std::vector<std::string> modelNames;
    for (const auto* o : found)
        modelNames.push_back(o->GetName());
    EXPECT_EQ(modelNames, (std::vector<std::string>{"B", "C", "D", "F"}));
}

TEST(Diagrams, LargeDiagramsRoundTrip) {
    constexpr int count = 3000;
    TVELDataDictionary dd;
    TVELDiagrams diagrams(&dd);
    TVELDiagram* d = diagrams.NewDiagram();
    // Entities with a key and a column, in a ring of relationships (made as while loading a
    // model, so that no keys propagate).
    std::vector<TVELEntity*> entities;
    for (int i = 0; i < count; ++i) {
        auto* e = static_cast<TVELEntity*>(dd.CreateObject(otEntity, false));
        e->SetName("E" + std::to_string(i));
        e->SetID(dd.NewID());
        e->AddAttribute(true)->SetPrimaryKey(true);
        e->AddAttribute(true);
        entities.push_back(e);
    }
    std::vector<TVELRelationship*> relationships;
    dd.Loading = true;
    for (int i = 0; i < count; ++i) {
        auto* r = static_cast<TVELRelationship*>(dd.CreateObject(otRelationship, false));
        r->SetID(dd.NewID());
        r->ParentObjectID = entities[i]->ID;
        r->ChildObjectID = entities[(i + 1) % count]->ID;
        relationships.push_back(r);
    }
    dd.Loading = false;
    {
        const TVELDataDictionary::TBulkScope bulk(dd);
        for (int i = 0; i < count; ++i)
            diagrams.AddObjectToDiagram(entities[i], d, (i % 100) * 130 + 10, (i / 100) * 110 + 10);
        for (TVELRelationship* r : relationships)
            diagrams.AddObjectToDiagram(r, d);
    }
    ASSERT_EQ(d->ControlCount(), count);
    ASSERT_EQ(d->ConnectorCount(), count);

    const std::string saved = diagrams.SaveToMarkup();
    TVELDiagrams back(&dd);
    back.LoadFromMarkup(saved);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Items(0)->ControlCount(), count);
    EXPECT_EQ(back.Items(0)->ConnectorCount(), count);
    EXPECT_EQ(static_cast<TDGEntityControl*>(back.Items(0)->Controls(count - 1))->Lines.size(), 2u);
    EXPECT_EQ(back.SaveToMarkup(), saved);
}
