#include <gtest/gtest.h>

#include "dgConnectors.h"
#include "test_diagram_support.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

// A dictionary with two entities and a relationship between them, a diagram showing them.
class DiagramBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        a = AddObject<TestEntity>(dd, "Customer");
        b = AddObject<TestEntity>(dd, "Order");
        rel = AddConnection(dd, "R1", a->ID, b->ID);
        d = diagrams.NewDiagram();
        boxA = PlaceBox(diagrams, d, a, 100, 50, 60, 40);
        boxB = PlaceBox(diagrams, d, b, 400, 300, 100, 60);
        line = static_cast<TDGConnector*>(diagrams.AddObjectToDiagram(rel, d));
        d->OnInvalidate = [this](const TDGRect& r) { invalidated.push_back(r); };
    }

    std::vector<TDGRect> invalidated;
    TVELDataDictionary dd;
    TVELDiagrams diagrams{&dd};
    TestEntity* a = nullptr;
    TestEntity* b = nullptr;
    TestConnection* rel = nullptr;
    TVELDiagram* d = nullptr;
    TDGControl* boxA = nullptr;
    TDGControl* boxB = nullptr;
    TDGConnector* line = nullptr;
};

} // namespace

TEST(DiagramAttributes, PenBrushAndFontTexts) {
    TDGPen pen;
    EXPECT_EQ(pen.ToText(), "0,2,4,65535"); // yellow, width 2, solid
    TDGBrush brush;
    EXPECT_EQ(brush.ToText(), "0,12632256"); // solid silver
    TDGFont font;
    EXPECT_EQ(font.ToText(), "Arial,8,,0,clWindowText,0");

    font.Bold = font.Italic = font.Underline = font.StrikeOut = true;
    font.Color = 0x123456;
    EXPECT_EQ(font.ToText(), "Arial,8,BIUS,0,$00123456,0");
    TDGFont back;
    ASSERT_TRUE(back.FromText(font.ToText()));
    EXPECT_EQ(back, font);

    // Face names may hold commas; style letters come back in their fixed order.
    ASSERT_TRUE(back.FromText("Odd, Face,12,SB,1,clNavy,0"));
    EXPECT_EQ(back.Name, "Odd, Face");
    EXPECT_EQ(back.Size, 12);
    EXPECT_EQ(back.Color, clNavy);
    EXPECT_EQ(back.ToText(), "Odd, Face,12,BS,1,clNavy,0");

    // A brush in a system colour is written as a signed number.
    brush.Color = clWindow;
    EXPECT_EQ(brush.ToText(), "0,-2147483643");
    TDGBrush brushBack;
    ASSERT_TRUE(brushBack.FromText(brush.ToText()));
    EXPECT_EQ(brushBack.Color, clWindow);
    EXPECT_EQ(ResolveColor(clWindowText), clBlack);

    // Damaged texts leave the values alone.
    const TDGFont before = back;
    EXPECT_FALSE(back.FromText("Arial,x,,0,clBlack,0"));
    EXPECT_FALSE(back.FromText("Arial,8,Q,0,clBlack,0"));
    EXPECT_FALSE(back.FromText("Arial,8"));
    EXPECT_EQ(back, before);
    EXPECT_FALSE(pen.FromText("1,2,3"));
    EXPECT_FALSE(pen.FromText("1,2,3,z"));
    EXPECT_EQ(pen, TDGPen{});
    TColor c = 7;
    EXPECT_FALSE(TextToColor("$12345678901", c));
    EXPECT_FALSE(TextToColor("clNoSuchColour", c));
    EXPECT_EQ(c, 7);
    EXPECT_EQ(RGBColor(128, 128, 128), 8421504);
}

TEST(DiagramGeometry, ZoomAndScrollArithmetic) {
    TVELDiagram d;
    d.Zoom = 150;
    d.ScrollX = 30;
    d.ScrollY = 20;
    EXPECT_EQ(d.ToScreenX(100), 120);
    EXPECT_EQ(d.ToScreenY(100), 130);
    EXPECT_EQ(d.ToDiagramX(120), 100);
    EXPECT_EQ(d.ToDiagramY(130), 100);
    // Integer multiply and divide, truncating both ways.
    d.Zoom = 75;
    d.ScrollX = d.ScrollY = 0;
    EXPECT_EQ(d.ToScreenX(3), 2);
    EXPECT_EQ(d.ToDiagramX(2), 2);
    EXPECT_EQ(d.ToDiagramX(1), 1);
    EXPECT_EQ(d.ToScreen({10, 10, 30, 50}), (TDGRect{7, 7, 22, 37}));
    d.SetZoom(5);
    EXPECT_EQ(d.Zoom, 10);

    EXPECT_EQ(RoundDiv(15, 10), 2);
    EXPECT_EQ(RoundDiv(-15, 10), -2);
    EXPECT_EQ(RoundDiv(14, 10), 1);
    EXPECT_EQ(RoundDiv(7, 0), 0);
    EXPECT_EQ((TDGRect{0, 0, 10, 10}.Union({20, 5, 30, 8})), (TDGRect{0, 0, 30, 10}));
    EXPECT_TRUE((TDGRect{0, 0, 10, 10}).Contains(9, 9));
    EXPECT_FALSE((TDGRect{0, 0, 10, 10}).Contains(10, 5));
}

TEST_F(DiagramBaseTest, BoxStoredFormAndBoundsClamp) {
    boxA->Brush.Color = clWhite;
    boxA->Transparent = true;
    const std::string saved = boxA->SaveToMarkup();
    const std::string prefix =
        "\r\n<ID>" + std::to_string(a->ID) + "</ID>\r\n<DIAGRAMID>" + std::to_string(d->DiagramID) +
        "</DIAGRAMID>\r\n<W>60</W>\r\n<H>40</H>\r\n<L>100</L>\r\n<T>50</T>\r\n<BRUSH>0,16777215</BRUSH>";
    EXPECT_EQ(saved.rfind(prefix, 0), 0u) << saved;
    EXPECT_NE(saved.find("<TR>1</TR>\r\n<AS>0</AS>"), std::string::npos) << saved;

    // Reading defaults, and the clamp: a box reaching past the right edge moves left, a
    // negative position becomes 0.
    TVELDiagram small;
    small.MaxWidth = 1000;
    small.MaxHeight = 800;
    TDGTextAreaControl box(&small);
    box.LoadFromMarkup("<L>950</L><W>100</W><T>-5</T><H>abc</H>");
    EXPECT_EQ(box.Left, 900);
    EXPECT_EQ(box.Width, 100);
    EXPECT_EQ(box.Top, 0);
    EXPECT_EQ(box.Height, 100); // non-numeric: the reading default
    box.LoadFromMarkup("");
    EXPECT_EQ(box.Left, 100);
    EXPECT_EQ(box.Top, 100);
    EXPECT_FALSE(box.Transparent);
    box.LoadFromMarkup("<T>790</T><H>50</H><PEN>0,3,4,255</PEN>");
    EXPECT_EQ(box.Top, 750);
    EXPECT_EQ(box.Pen.Width, 3);
    box.LoadFromMarkup("<W>2000000000</W><L>5</L>");
    EXPECT_EQ(box.Width, 1000);
    EXPECT_EQ(box.Left, 0);
}

TEST_F(DiagramBaseTest, ConnectorStoredForm) {
    line->Points = {{1, 2, true}, {5, 2, true}, {5, 9, false}, {7, 9, true}};
    line->FromRelativeX = 0;
    std::string saved = line->SaveToMarkup();
    EXPECT_EQ(saved.find("<ROUTING>"), std::string::npos); // automatic is not written
    EXPECT_NE(
        saved.find(
            "<HIDDEN>0</HIDDEN>\r\n<FROMRELATIVEX>0</FROMRELATIVEX>\r\n<FROMRELATIVEY>5000</FROMRELATIVEY>"),
        std::string::npos);
    EXPECT_NE(saved.find("\r\n<POINTS>\r\n<POINT>\r\n<X>1</X>\r\n<Y>2</Y>\r\n</POINT>"), std::string::npos)
        << saved;

    TDGConnector back(d);
    back.ModelObject = rel;
    back.LoadFromMarkup(saved);
    EXPECT_EQ(back.Points, line->Points); // directions derived from the coordinates
    EXPECT_EQ(back.Routing, drtAutoRouting);
    EXPECT_EQ(back.SaveToMarkup(), saved);

    line->Routing = drtTopBottom;
    EXPECT_NE(line->SaveToMarkup().find("<ROUTING>DRTTOPBOTTOM</ROUTING>"), std::string::npos);
    back.LoadFromMarkup("<ROUTING>drtleftright</ROUTING><POINTS><POINT><X>q</X></POINT></POINTS>"
                        "<TORELATIVEY>20000</TORELATIVEY>");
    EXPECT_EQ(back.Routing, drtLeftRight);
    ASSERT_EQ(back.Points.size(), 1u);
    EXPECT_EQ(back.Points[0].X, 1);
    EXPECT_EQ(back.Points[0].Y, 1);
    EXPECT_EQ(back.ToRelativeY, 10000);
    back.LoadFromMarkup(
        "<ROUTING>sideways</ROUTING><POINTS><POINT><X>2000000000</X><Y>-7</Y></POINT></POINTS>");
    EXPECT_EQ(back.Routing, drtAutoRouting);
    EXPECT_EQ(back.Points[0].X, 1000000);
    EXPECT_EQ(back.Points[0].Y, -7);
}

TEST_F(DiagramBaseTest, ConnectorHitRegion) {
    line->Points = {{100, 100, true}, {200, 100, true}, {200, 300, false}, {250, 300, true}};
    const TDGRegion region = line->HitRegion();
    ASSERT_EQ(region.Rects.size(), 5u); // three segments, two end symbols
    EXPECT_EQ(region.Rects[0], (TDGRect{91, 91, 209, 109}));
    EXPECT_TRUE(line->HitTest(150, 105));
    EXPECT_FALSE(line->HitTest(150, 112));
    EXPECT_EQ(line->SegmentAt(203, 200), 1);
    EXPECT_EQ(line->SegmentAt(150, 200), -1);
    // End symbol of the last point, pointing back along its segment.
    EXPECT_EQ(line->EndSymbolRects()[1], (TDGRect{234, 292, 250, 308}));

    d->Zoom = 200;
    d->ScrollX = 50;
    EXPECT_EQ(line->HitRegion().Rects[0], (TDGRect{134, 184, 366, 216}));
    EXPECT_EQ(d->ObjectAt(300, 205), line);
    line->Hidden = true;
    EXPECT_TRUE(line->HitRegion().Rects.empty());
    EXPECT_NE(d->ObjectAt(300, 205), line);
}

TEST_F(DiagramBaseTest, GrabHandles) {
    d->Selection.Add(boxA); // screen rectangle 100,50 - 160,90
    const auto& h = d->Selection.Handles();
    ASSERT_EQ(h.size(), 8u);
    auto at = [&](int kind) {
        for (const auto& handle : h)
            if (handle.Kind == kind) return TDGPos{handle.Rect.Left, handle.Rect.Top};
        return TDGPos{-1, -1};
    };
    EXPECT_EQ(at(ghTopLeft), (TDGPos{92, 42}));
    EXPECT_EQ(at(ghTopMiddle), (TDGPos{127, 42}));
    EXPECT_EQ(at(ghTopRight), (TDGPos{163, 42}));
    EXPECT_EQ(at(ghMiddleLeft), (TDGPos{92, 67}));
    EXPECT_EQ(at(ghMiddleRight), (TDGPos{163, 67}));
    EXPECT_EQ(at(ghBottomRight), (TDGPos{163, 93}));
    EXPECT_EQ(at(ghBottomMiddle), (TDGPos{127, 93}));
    EXPECT_EQ(at(ghBottomLeft), (TDGPos{92, 93}));
    EXPECT_EQ(h[0].Rect.Width(), 5);
    const TDGGrabHandle* hit = d->Selection.HandleAt(165, 95);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->Kind, ghBottomRight);
    EXPECT_EQ(hit->Owner, boxA);

    // Zoom changes move the handles along.
    d->SetZoom(200);
    EXPECT_EQ(d->Selection.Handles()[0].Rect.Left, 192);

    // A connector gets one handle per point, 2 units before the zoomed point.
    d->Selection.Clear();
    line->Points = {{10, 20, true}, {40, 20, true}, {40, 60, false}, {50, 60, true}};
    d->Selection.Add(line);
    ASSERT_EQ(d->Selection.Handles().size(), 4u);
    EXPECT_EQ(d->Selection.Handles()[0].Rect, (TDGRect{18, 38, 23, 43}));
    EXPECT_EQ(d->Selection.Handles()[3].PointIndex, 3);
}

TEST_F(DiagramBaseTest, SelectionRules) {
    int changes = 0;
    d->Selection.OnChanged = [&] { ++changes; };
    EXPECT_TRUE(d->Selection.Add(line));
    EXPECT_FALSE(d->Selection.Add(line));
    EXPECT_EQ(changes, 1);
    // Adding a box takes the connectors out.
    EXPECT_TRUE(d->Selection.Add(boxA));
    EXPECT_FALSE(d->Selection.Contains(line));
    EXPECT_EQ(d->Selection.Count(), 1);
    // A hidden connector is never added.
    line->Hidden = true;
    EXPECT_FALSE(d->Selection.Add(line));
    EXPECT_FALSE(d->Selection.Contains(line));
    d->Selection.Add(boxB);
    EXPECT_EQ(d->Selection.Controls(), (std::vector<TDGControl*>{boxA, boxB}));
    EXPECT_EQ(d->Selection.Handles().size(), 16u);
    d->Selection.Remove(boxA);
    EXPECT_EQ(d->Selection.Handles().size(), 8u);
    EXPECT_EQ(d->Selection.Handles()[0].Owner, boxB);
}

TEST_F(DiagramBaseTest, MovingTheSelection) {
    d->Selection.Add(boxA);
    d->SetZoom(150);
    invalidated.clear();
    d->Selection.BeginMove(10, 10);
    d->Selection.MoveTo(40, 25);
    EXPECT_EQ(d->Selection.MoveOffset(), (TDGPos{30, 15}));
    // The outline before and after: the box's screen rectangle moved by the offset, inflated by 3.
    ASSERT_EQ(invalidated.size(), 2u);
    const TDGRect screen = boxA->ScreenRect(); // 150,75 - 240,135
    EXPECT_EQ(invalidated[0], screen.Inflated(3));
    EXPECT_EQ(invalidated[1], screen.Offset(30, 15).Inflated(3));
    // Ending the move turns the offset into diagram units.
    EXPECT_EQ(d->Selection.EndMove(true), (TDGPos{20, 10}));
    EXPECT_EQ(boxA->Left, 120);
    EXPECT_EQ(boxA->Top, 60);
    EXPECT_FALSE(d->Selection.Moving());

    // A move is limited so that every moved box stays inside the diagram.
    EXPECT_EQ(d->MoveControls({boxA, boxB}, -500, 0), (TDGPos{-120, 0}));
    EXPECT_EQ(boxA->Left, 0);
    EXPECT_EQ(boxB->Left, 280);
    EXPECT_EQ(d->MoveControls({boxA}, 0, 20000), (TDGPos{0, d->MaxHeight - boxA->Bottom() + 0}));
    EXPECT_EQ(boxA->Bottom(), d->MaxHeight);
}

TEST_F(DiagramBaseTest, ResizingByHandles) {
    d->ResizeByHandle(*boxA, ghTopLeft, 10, -5);
    EXPECT_EQ(boxA->BoundsRect(), (TDGRect{110, 45, 160, 90}));
    d->ResizeByHandle(*boxA, ghBottomRight, -100, 5); // not below the minimum size
    EXPECT_EQ(boxA->BoundsRect(), (TDGRect{110, 45, 120, 95}));
    d->ResizeByHandle(*boxA, ghMiddleRight, 30, 99); // middle handles change one axis
    EXPECT_EQ(boxA->BoundsRect(), (TDGRect{110, 45, 150, 95}));
}

TEST_F(DiagramBaseTest, RemovingObjectsUnlinksThem) {
    std::vector<std::string> events;
    boxA->OnDestroying = [&](TDGObject* o) {
        events.push_back("box");
        EXPECT_TRUE(d->Selection.Contains(o)); // raised first
    };
    line->OnDestroying = [&](TDGObject*) { events.push_back("line"); };
    d->Selection.Add(boxA);
    d->HighlightRelated(rmSelected, 0, true);
    EXPECT_TRUE(d->IsHighlighted(boxA));
    ASSERT_EQ(a->Links.size(), 1u);
    d->RemoveObject(boxA);
    EXPECT_EQ(events, (std::vector<std::string>{"box", "line"}));
    EXPECT_TRUE(a->Links.empty());
    EXPECT_TRUE(rel->Links.empty()); // the line at the box went with it
    EXPECT_EQ(d->ControlCount(), 1);
    EXPECT_EQ(d->ConnectorCount(), 0);
    EXPECT_EQ(d->Selection.Count(), 0);
    EXPECT_TRUE(d->Highlighted.empty());
    EXPECT_EQ(d->FindByModelID(a->ID), nullptr);
    EXPECT_TRUE(boxB->Connections.empty());
    EXPECT_EQ(d->FindControl(b->ID), boxB);
}

TEST_F(DiagramBaseTest, HitTestingOrder) {
    TVELGroupbox* group = AddObject<TVELGroupbox>(dd, "G");
    TDGControl* groupBox = PlaceBox(diagrams, d, group, 0, 0, 600, 600);
    // The group box was added last but lies under the other boxes.
    EXPECT_EQ(d->ObjectAt(120, 60), boxA);
    EXPECT_EQ(d->ObjectAt(590, 590), groupBox);
    EXPECT_EQ(d->ObjectAt(5000, 5000), nullptr);
    const std::vector<TDGObject*> inArea = d->ObjectsIn({90, 40, 110, 60});
    EXPECT_NE(std::find(inArea.begin(), inArea.end(), boxA), inArea.end());
    EXPECT_EQ(std::find(inArea.begin(), inArea.end(), boxB), inArea.end());
}
