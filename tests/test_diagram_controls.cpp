#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "test_diagram_support.h"
#include "zDatabaseSettings.h"
#include "zAttribute.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zRelationship.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

// Four attributes: ID (key, required), CustomerID (key and foreign key), Name, Note (foreign
// key); a primary key index, an index on Name and a foreign key index on Note.
TDGEntityContent SampleContent() {
    TDGEntityContent c;
    c.Caption = "Order";
    c.Known = true;
    c.Attributes = {{2, "ID", "INTEGER", true, false, true},
                    {3, "CustomerID", "INTEGER", true, true, false},
                    {4, "Name", "VARCHAR(40)", false, false, false},
                    {5, "Note", "TEXT", false, true, false}};
    c.Indexes = {{1, "PK_Order", ikPrimaryKey, {2, 3}},
                 {2, "IX_Name", ikUserDefined, {4}},
                 {3, "FK_Note", ikForeignKey, {5}}};
    return c;
}

std::vector<std::string> Prefixes(const TDGEntityControl& box) {
    std::vector<std::string> r;
    for (const auto& l : box.Lines)
        r.push_back(l.Prefix + l.Text);
    return r;
}

const TDGPaintItem* TextItem(const TDGPaintList& list, const std::string& text) {
    for (const auto& item : list.Items)
        if (item.Kind == TDGPaintKind::Text && item.Text == text) return &item;
    return nullptr;
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        entity = AddObject<TestEntity>(dd, "Order");
        d = diagrams.NewDiagram();
        box = static_cast<TDGEntityControl*>(PlaceBox(diagrams, d, entity, 100, 50, 200, 150));
    }

    TVELDataDictionary dd;
    TVELDiagrams diagrams{&dd};
    TestEntity* entity = nullptr;
    TVELDiagram* d = nullptr;
    TDGEntityControl* box = nullptr;
};

} // namespace

TEST_F(ControlsTest, EntityLinesFlagsIndexNumbersAndLevels) {
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Tag, "ENTC");
    EXPECT_EQ(box->Pen.Width, 1);
    box->SetAttributeColor(4, 255);
    box->IndexDisplay = 1;
    box->ShowIndexNumbers = true;
    box->BuildLines(SampleContent());
    EXPECT_EQ(box->Caption, "Order");
    EXPECT_EQ(Prefixes(*box),
              (std::vector<std::string>{"P RxxxxxxxxID", "PF xxxxxxxxCustomerID", "   00000255Name",
                                        " F xxxxxxxxNote", "IXPK_Order", "IXIX_Name", "IXFK_Note"}));
    EXPECT_EQ(box->Lines[1].IndexText, "<i1>");
    EXPECT_EQ(box->Lines[2].IndexText, "<i2>");
    EXPECT_EQ(box->Lines[3].IndexText, "<i3>");
    EXPECT_EQ(box->Lines[6].IndexText, "<i3>");
    EXPECT_EQ(box->Lines[2].TypeText, "VARCHAR(40)");
    TColor color = 0;
    EXPECT_TRUE(box->Lines[2].LineColor(color));
    EXPECT_EQ(color, 255);
    EXPECT_FALSE(box->Lines[0].LineColor(color));

    // Only indexes that are no key indexes, numbered within the shown list.
    box->IndexDisplay = 2;
    box->BuildLines(SampleContent());
    ASSERT_EQ(box->Lines.size(), 5u);
    EXPECT_EQ(box->Lines[0].IndexText, "");
    EXPECT_EQ(box->Lines[2].IndexText, "<i1>");
    EXPECT_EQ(box->Lines[4].Prefix + box->Lines[4].Text, "IXIX_Name");
    box->ShowIndexNumbers = false;
    box->BuildLines(SampleContent());
    EXPECT_EQ(box->Lines[2].IndexText, "");

    box->IndexDisplay = 0;
    box->DisplayLevel = 1; // key attributes
    box->BuildLines(SampleContent());
    EXPECT_EQ(Prefixes(*box),
              (std::vector<std::string>{"P RxxxxxxxxID", "PF xxxxxxxxCustomerID", " F xxxxxxxxNote"}));
    box->DisplayLevel = 2; // primary key attributes
    box->BuildLines(SampleContent());
    EXPECT_EQ(box->Lines.size(), 2u);
    box->DisplayLevel = 3; // the name only, whatever the attributes
    box->IndexDisplay = 1;
    box->BuildLines(SampleContent());
    EXPECT_TRUE(box->Lines.empty());
    EXPECT_EQ(box->Caption, "Order");

    // Hidden attributes, and the project's rules for hiding and texts.
    box->DisplayLevel = 0;
    box->IndexDisplay = 0;
    box->SetHidden(4, true);
    diagrams.OnHideAttribute = [](const TDGEntityControl&, int32_t id) { return id == 5; };
    diagrams.OnAttributeDisplayText = [](const TDGEntityControl&, int32_t id, std::string& text) {
        if (id == 2) text += " *";
    };
    box->BuildLines(SampleContent());
    EXPECT_EQ(Prefixes(*box), (std::vector<std::string>{"P RxxxxxxxxID *", "PF xxxxxxxxCustomerID"}));
}

TEST_F(ControlsTest, EntityPainting) {
    box->BuildLines(SampleContent());
    box->SetAttributeColor(4, 0x00FFFF);
    box->BuildLines(SampleContent());
    TDGPaintList list;
    box->Paint(list);
    // Frame, caption in the name font, then one line per attribute (15 units high at 100 %).
    ASSERT_FALSE(list.Items.empty());
    EXPECT_EQ(list.Items[0].Kind, TDGPaintKind::Rectangle);
    EXPECT_EQ(list.Items[0].Rect, (TDGRect{100, 50, 300, 200}));
    const TDGPaintItem* caption = TextItem(list, "Order");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->Rect, (TDGRect{104, 52, 296, 70}));
    EXPECT_TRUE(caption->Font.Bold);
    EXPECT_EQ(caption->Font.Size, 9);
    const TDGPaintItem* fk = TextItem(list, "CustomerID (FK)");
    ASSERT_NE(fk, nullptr);
    EXPECT_EQ(fk->Rect.Left, 120); // after the indicator column
    EXPECT_EQ(fk->Rect.Top, 87);
    EXPECT_EQ(fk->Rect.Bottom, 102);
    EXPECT_TRUE(fk->Font.Bold); // a key line takes the primary key font
    EXPECT_NE(TextItem(list, "Note (FK)"), nullptr);
    const TDGPaintItem* type = TextItem(list, "VARCHAR(40)");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->Rect.Left, 233);
    // Indicators: key, key and foreign key, foreign key; no not-null indicator by default.
    const std::vector<std::string> texts = list.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "PK"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "PF"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "FK"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "*"), texts.end());
    // The coloured line is filled across the box.
    bool filled = false;
    for (const auto* r : list.OfKind(TDGPaintKind::Rectangle))
        if (r->Brush.Color == 0x00FFFF && r->Rect == (TDGRect{101, 102, 299, 117})) filled = true;
    EXPECT_TRUE(filled);

    // Zoomed: line heights are the font height times the zoom plus one.
    d->SetZoom(200);
    TDGPaintList zoomed;
    box->Paint(zoomed);
    const TDGPaintItem* id = TextItem(zoomed, "ID");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->Rect.Height(), 29);

    // Bitmaps instead of indicator texts, and the not-null indicator.
    d->SetZoom(100);
    box->IndicatorBitmaps = true;
    box->ShowNotNullIndicator = true;
    box->ShowPKIndicator = false;
    TDGPaintList images;
    box->Paint(images);
    const auto pictures = images.OfKind(TDGPaintKind::Image);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0]->Text, "*");  // ID: required, key indicators off
    EXPECT_EQ(pictures[1]->Text, "FK"); // CustomerID
}

TEST_F(ControlsTest, AutoSizeFitsTheLines) {
    box->AutoSize = true;
    box->BuildLines(SampleContent());
    box->RecomputeSize();
    // 16 (indicators) + 105 ("CustomerID (FK)" in bold) + 8 + 66 ("VARCHAR(40)") + 2 * 4.
    EXPECT_EQ(box->Width, 203);
    // Caption 20, four lines of 15, bottom margin 4.
    EXPECT_EQ(box->Height, 84);
    box->DisplayLevel = 3;
    box->BuildLines(SampleContent());
    box->RecomputeSize();
    EXPECT_EQ(box->Height, 24);
    EXPECT_EQ(box->Width, 48); // caption: 5 bold characters of 8
}

TEST_F(ControlsTest, EntityStoredForm) {
    box->SetHidden(7, true);
    box->SetHidden(3, true);
    std::string saved = box->SaveToMarkup();
    EXPECT_NE(saved.find("<AS>0</AS>\r\n<HIDDENATTR>7\r\n3</HIDDENATTR>"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("ATTRCLIST"), std::string::npos); // no colour entries: no element

    box->SetAttributeColor(9, 100);
    box->SetAttributeColor(4, 200);
    saved = box->SaveToMarkup();
    EXPECT_NE(
        saved.find("\r\n<ATTRCLIST>\r\n<ATTRC>\r\n<ATTRID>4</ATTRID>\r\n<COLOR>200</COLOR>\r\n</ATTRC>"),
        std::string::npos)
        << saved;

    // Reading: colour entries sorted by attribute; fonts from the preferences, not the element.
    diagrams.DisplayPreferences.SetValue("EntAttrFont", "Verdana,10,,0,clBlack,0");
    diagrams.DisplayPreferences.SetValue("EntPKFont", "Verdana,10,B,0,clBlack,0");
    TDGEntityControl back(d);
    back.LoadFromMarkup(
        "<HIDDENATTR>5\r\nx\r\n6</HIDDENATTR><FONT>Courier,20,,0,clRed,0</FONT><ATTRCLIST>"
        "<ATTRC><ATTRID>9</ATTRID><COLOR>1</COLOR></ATTRC><ATTRC><ATTRID>2</ATTRID><COLOR>3</COLOR>"
        "</ATTRC><ATTRC><ATTRID>q</ATTRID><COLOR>3</COLOR></ATTRC></ATTRCLIST>");
    EXPECT_EQ(back.HiddenAttributes, (std::vector<int32_t>{5, 6}));
    EXPECT_EQ(back.AttributeColors, (std::vector<std::pair<int32_t, TColor>>{{2, 3}, {9, 1}}));
    EXPECT_EQ(back.Font.Name, "Verdana");
    EXPECT_EQ(back.PKFont.ToText(), "Verdana,10,B,0,clBlack,0");

    // Identifiers of attributes the entity no longer has are dropped.
    TDGEntityContent content = SampleContent();
    box->DropStaleAttributes(content);
    EXPECT_EQ(box->HiddenAttributes, (std::vector<int32_t>{3}));
    EXPECT_EQ(box->AttributeColors, (std::vector<std::pair<int32_t, TColor>>{{4, 200}}));
    content.Known = false; // an object that cannot tell its attributes keeps everything
    box->SetHidden(42, true);
    box->DropStaleAttributes(content);
    EXPECT_EQ(box->HiddenAttributes, (std::vector<int32_t>{3, 42}));
}

TEST_F(ControlsTest, TextAreas) {
    TVELTextArea* area = AddObject<TVELTextArea>(dd, "Note");
    area->Text = "alpha beta gamma delta\r\nsecond";
    auto* text = static_cast<TDGTextAreaControl*>(PlaceBox(diagrams, d, area, 10, 10, 80, 60));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Tag, "TEXTC");
    // New text areas take the default colours of the preferences.
    EXPECT_EQ(text->Brush.Color, 16777215);
    EXPECT_EQ(text->Pen.Width, 1);
    EXPECT_EQ(text->TextLines(), (std::vector<std::string>{"alpha beta gamma delta", "second"}));
    // Word wrap within the width less padding and margins: 80 - 2 * (5 + 2) = 66 units, 11 characters.
    text->WordWrap = true;
    text->Padding = 5;
    EXPECT_EQ(text->TextLines(), (std::vector<std::string>{"alpha beta", "gamma delta", "second"}));
    text->Alignment = taCenter;
    TDGPaintList list;
    text->Paint(list);
    const TDGPaintItem* first = TextItem(list, "alpha beta");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Align, taCenter);
    EXPECT_EQ(first->Rect, (TDGRect{17, 17, 83, 31}));

    const std::string saved = text->SaveToMarkup();
    EXPECT_NE(saved.find(
                  "<AS>0</AS>\r\n<ALIGNMENT>2</ALIGNMENT>\r\n<WORDWRAP>1</WORDWRAP>\r\n<PADDING>5</PADDING>"),
              std::string::npos);
    TDGTextAreaControl back(d);
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.Alignment, taCenter);
    EXPECT_TRUE(back.WordWrap);
    EXPECT_EQ(back.Padding, 5);
    back.LoadFromMarkup("<PADDING>wide</PADDING>");
    EXPECT_EQ(back.Padding, 0);

    // Auto size follows the text when the model object changes.
    text->AutoSize = true;
    area->Text = "a\r\nb\r\nc";
    diagrams.ObjectChanged(area);
    EXPECT_EQ(text->Width, 20);
    EXPECT_EQ(text->Height, 3 * 14 + 14);
}

TEST_F(ControlsTest, StampsAndGroupBoxes) {
    TVELStamp* stamp = AddObject<TVELStamp>(dd, "Stamp1");
    stamp->Properties = {"Project Name", "Diagram Name", "Author", "Remarks"};
    auto* stampBox = static_cast<TDGStampControl*>(PlaceBox(diagrams, d, stamp, 500, 500, 200, 80));
    d->Name = "Overview";
    diagrams.PushProjectHeader({"Shop", "2024-01-01", "2024-02-01", "Ann", "(c)", "PostgreSQL"});
    EXPECT_EQ(stampBox->StampLines(),
              (std::vector<std::string>{"Project Name: Shop", "Diagram Name: Overview", "Author: Ann",
                                        "Remarks: "}));
    EXPECT_EQ(stamp->DBMSName, "PostgreSQL");
    TDGPaintList list;
    stampBox->Paint(list);
    EXPECT_NE(TextItem(list, "Author: Ann"), nullptr);
    EXPECT_EQ(list.OfKind(TDGPaintKind::Line).size(), 3u); // lines between the fields

    TVELGroupbox* group = AddObject<TVELGroupbox>(dd, "Groupbox1");
    group->ObjectCaption = "Sales";
    auto* groupBox = static_cast<TDGGroupBoxControl*>(PlaceBox(diagrams, d, group, 0, 0, 300, 200));
    EXPECT_EQ(groupBox->Brush.Color, 8421504); // the default grey of group boxes
    EXPECT_EQ(groupBox->PaintLayer(), 0);
    groupBox->AlignmentType = 1;
    groupBox->Alignment = taRight;
    TDGPaintList groupList;
    groupBox->Paint(groupList);
    const TDGPaintItem* caption = TextItem(groupList, "Sales");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->Rect, (TDGRect{4, 182, 296, 196})); // at the bottom
    EXPECT_EQ(caption->Align, taRight);
    const std::string saved = groupBox->SaveToMarkup();
    EXPECT_NE(saved.find("<ALIGNMENT>1</ALIGNMENT>\r\n<ALIGNMENTTYPE>1</ALIGNMENTTYPE>"), std::string::npos);
    TDGGroupBoxControl back(d);
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.AlignmentType, 1);
    EXPECT_EQ(back.Alignment, taRight);

    // The diagram paints group boxes first, then the other boxes, then the lines.
    TDGPaintList all;
    d->Paint(all);
    ASSERT_GE(all.Items.size(), 3u);
    EXPECT_EQ(all.Items[0].Brush.Color, TVELDiagram::DefaultBackgroundColor);
    EXPECT_EQ(all.Items[1].Rect, groupBox->ScreenRect());
    // Painting an area leaves out what cannot reach into it.
    const TDGRect corner{0, 0, 40, 40};
    TDGPaintList part;
    d->Paint(part, &corner);
    EXPECT_NE(TextItem(part, "Sales"), nullptr);
    EXPECT_EQ(TextItem(part, "Author: Ann"), nullptr);
}

TEST_F(ControlsTest, SubcategoriesAndConnectors) {
    TVELSubCategory* sub = AddObject<TVELSubCategory>(dd, "Sub");
    auto* symbol = diagrams.AddObjectToDiagram(sub, d, 300, 300);
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->Tag, "SUBCATC");
    EXPECT_EQ(symbol->Pen.ToText(), "0,1,4,0"); // black, width 1, solid
    TDGPaintList list;
    symbol->Paint(list);
    EXPECT_EQ(list.OfKind(TDGPaintKind::Ellipse).size(), 1u);
    EXPECT_EQ(list.OfKind(TDGPaintKind::Line).size(), 2u);

    TestConnection* con = AddConnection(dd, "SC", sub->ID, entity->ID, otSubCategoryConnection);
    auto* subLine = diagrams.AddObjectToDiagram(con, d);
    ASSERT_NE(subLine, nullptr);
    EXPECT_EQ(subLine->Tag, "SUBCATEGORYCONNECTOR");

    TestEntity* other = AddObject<TestEntity>(dd, "Customer");
    PlaceBox(diagrams, d, other, 700, 50, 100, 60);
    TestConnection* rel = AddConnection(dd, "places", other->ID, entity->ID);
    auto* relLine = static_cast<TDGRelationshipConnector*>(diagrams.AddObjectToDiagram(rel, d));
    ASSERT_NE(relLine, nullptr);
    EXPECT_EQ(relLine->Tag, "RELC");
    EXPECT_TRUE(relLine->Captions().empty());
    relLine->CaptionMode = 2;
    EXPECT_EQ(relLine->Captions(), (std::vector<std::string>{"places"}));
    relLine->CaptionMode = 1;
    EXPECT_EQ(relLine->Captions().size(), 2u);
    // The caption mode follows the diagram.
    d->CaptionStyle = 2;
    d->ApplySettings();
    EXPECT_EQ(relLine->CaptionMode, 2);
    TDGPaintList lineList;
    relLine->Paint(lineList);
    EXPECT_NE(TextItem(lineList, "places"), nullptr);
    // Crow's foot at the child end: three lines, a circle; a bar and a circle at the parent end.
    EXPECT_EQ(lineList.OfKind(TDGPaintKind::Ellipse).size(), 2u);
    EXPECT_EQ(lineList.OfKind(TDGPaintKind::Line).size(), 1u + 3u + 1u);
    d->Notation = 1;
    TDGPaintList dots;
    relLine->Paint(dots);
    EXPECT_EQ(dots.OfKind(TDGPaintKind::Polygon).size(), 1u); // the optional parent
    ASSERT_EQ(dots.OfKind(TDGPaintKind::Ellipse).size(), 1u);
    EXPECT_EQ(dots.OfKind(TDGPaintKind::Ellipse)[0]->Brush.Style, bsSolid);
    relLine->Hidden = true;
    TDGPaintList none;
    relLine->Paint(none);
    EXPECT_TRUE(none.Items.empty());

    // A line needs both ends on the diagram.
    TestEntity* away = AddObject<TestEntity>(dd, "Away");
    EXPECT_EQ(diagrams.AddObjectToDiagram(AddConnection(dd, "R9", away->ID, entity->ID), d), nullptr);
}

TEST(TextMeasure, FontSizeRule) {
    TFontSizeTextMeasure m;
    TDGFont font;
    EXPECT_EQ(m.TextHeight(font), 14);
    EXPECT_EQ(m.TextWidth(font, "abc"), 18);
    EXPECT_EQ(m.TextWidth(font, "\xC3\xA9t\xC3\xA9"), 18); // three characters in UTF-8
    font.Bold = true;
    font.Size = 9;
    EXPECT_EQ(m.TextHeight(font), 16);
    EXPECT_EQ(m.TextWidth(font, "ab"), 16);
}

TEST(EntityBoxes, ShowTheEntityAndItsRelationships) {
    TempDir dir;
    WriteFile(dir.File("diag.def"), "[general]\r\ndbmsname=Diagram Target\r\n");
    WriteFile(dir.File("diag.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                    "TEXT;TEXT;;;String;0;0;0\r\n");
    TargetDatabases().Build(dir.Path());
    TVELDataDictionary dd;
    dd.SetTarget("diag");
    TVELDiagrams diagrams(&dd);
    auto entity = [&](const std::string& name, std::initializer_list<const char*> keys,
                      std::initializer_list<const char*> others) {
        auto* e = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        e->SetName(name);
        for (const char* key : keys) {
            TVELAttribute* a = e->AddAttribute(true);
            a->SetName(key);
            a->DataType->DataType = "INTEGER";
            a->SetPrimaryKey(true);
        }
        for (const char* other : others) {
            TVELAttribute* a = e->AddAttribute(true);
            a->SetName(other);
            a->DataType->DataType = "TEXT";
        }
        return e;
    };
    TVELEntity* customer = entity("Customer", {"CustomerNo"}, {"Name"});
    TVELEntity* order = entity("Order", {"OrderNo"}, {"Note"});
    auto* note = static_cast<TVELAttribute*>(order->Attributes.FindByName("Note"));
    note->SetNotNull(true);
    auto* places = static_cast<TVELRelationship*>(dd.CreateObject(otRelationship, true));
    places->ParentObjectID = customer->ID;
    places->ChildObjectID = order->ID;
    places->RelationshipType = rtIdentifying;
    places->ParentPhrase = "places";
    places->ChildPhrase = "is placed by";
    places->Connect();
    ASSERT_EQ(order->Attributes.Count(), 3);
    const TVELAttribute* foreignKey = order->AttributeAt(2);
    TVELIndex* byNote = order->AddIndex(true);
    byNote->AddColumn(note);
    order->CreatePrimaryKeyIndex();

    TVELDiagram* d = diagrams.NewDiagram();
    d->IndexesToDisplay = 1;
    d->ShowIndexIndicator = true;
    diagrams.AddObjectToDiagram(customer, d, 100, 100);
    auto* box = static_cast<TDGEntityControl*>(diagrams.AddObjectToDiagram(order, d, 400, 100));
    auto* line = static_cast<TDGRelationshipConnector*>(diagrams.AddObjectToDiagram(places, d));
    ASSERT_NE(line, nullptr);
    // Key attributes, the foreign key that joined the key, the required Note; then the indexes.
    ASSERT_EQ(box->Lines.size(), 5u);
    EXPECT_EQ(box->Lines[0].Prefix, "P  xxxxxxxx");
    EXPECT_EQ(box->Lines[1].Prefix, "  Rxxxxxxxx");
    EXPECT_EQ(box->Lines[2].Prefix, "PFRxxxxxxxx"); // a mandatory parent makes it required
    EXPECT_EQ(box->Lines[2].Text, foreignKey->GetName());
    EXPECT_EQ(box->Lines[1].IndexText, "<i1>");
    EXPECT_EQ(box->Lines[0].IndexText, "<i2>");
    EXPECT_EQ(box->Lines[3].Prefix + box->Lines[3].Text, "IX" + byNote->GetName());
    EXPECT_EQ(box->Lines[0].TypeText, order->AttributeAt(0)->GetPropertyValue("DataType"));
    EXPECT_EQ(box->Lines[1].TypeText, note->GetPropertyValue("DataType"));
    EXPECT_NE(box->Lines[0].TypeText, box->Lines[1].TypeText);
    // Leaving out the key indexes keeps the user's index only.
    d->IndexesToDisplay = 2;
    d->ApplySettings();
    ASSERT_EQ(box->Lines.size(), 4u);
    EXPECT_EQ(box->Lines[1].IndexText, "<i1>");

    // Captions come from the relationship.
    line->CaptionMode = 1;
    EXPECT_EQ(line->Captions(), (std::vector<std::string>{"places", "is placed by"}));
    TDGPaintList solid;
    line->Paint(solid);
    EXPECT_EQ(solid.Items[0].Pen.Style, psSolid);
    places->RelationshipType = rtNonIdentifying;
    TDGPaintList dashed;
    line->Paint(dashed);
    EXPECT_EQ(dashed.Items[0].Pen.Style, psDash);

    // Stored with the model, read back into another model: the same text.
    box->SetHidden(note->ID, true);
    box->SetAttributeColor(foreignKey->ID, clAqua);
    const std::string model = dd.SaveToMarkup();
    const std::string saved = diagrams.SaveToMarkup();
    TVELDataDictionary dd2;
    dd2.LoadFromMarkup(model);
    TVELDiagrams back(&dd2);
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.SaveToMarkup(), saved);
    const auto* backBox = static_cast<const TDGEntityControl*>(back.Items(0)->FindControl(order->ID));
    ASSERT_NE(backBox, nullptr);
    EXPECT_EQ(backBox->Lines.size(), 3u); // Note is hidden

    // A hidden attribute that is deleted leaves the stored form at the next save.
    EXPECT_NE(box->SaveToMarkup().find("<HIDDENATTR>" + std::to_string(note->ID) + "</HIDDENATTR>"),
              std::string::npos);
    order->DeleteMember(note);
    EXPECT_NE(box->SaveToMarkup().find("<HIDDENATTR></HIDDENATTR>"), std::string::npos);
    diagrams.ObjectChanged(order);
    EXPECT_TRUE(box->HiddenAttributes.empty());
}
