#include <gtest/gtest.h>

#include "dgConnectors.h"
#include "test_diagram_support.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

using Points = std::vector<TDGPos>;

Points Positions(const TDGConnector& line) {
    Points r;
    for (const auto& p : line.Points)
        r.push_back({p.X, p.Y});
    return r;
}

bool Orthogonal(const TDGConnector& line) {
    for (size_t i = 1; i < line.Points.size(); ++i)
        if (line.Points[i].X != line.Points[i - 1].X && line.Points[i].Y != line.Points[i - 1].Y)
            return false;
    return true;
}

class RoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        a = AddObject<TestEntity>(dd, "A");
        b = AddObject<TestEntity>(dd, "B");
        d = diagrams.NewDiagram();
        from = PlaceBox(diagrams, d, a, 100, 100, 100, 60);
        to = PlaceBox(diagrams, d, b, 400, 300, 100, 60);
    }

    TDGConnector* Connect(TVELNamedObject* parent, TVELNamedObject* child) {
        TestConnection* r = AddConnection(dd, "R" + std::to_string(dd.Count()), parent->ID, child->ID);
        return static_cast<TDGConnector*>(diagrams.AddObjectToDiagram(r, d));
    }

    TVELDataDictionary dd;
    TVELDiagrams diagrams{&dd};
    TestEntity* a = nullptr;
    TestEntity* b = nullptr;
    TVELDiagram* d = nullptr;
    TDGControl* from = nullptr;
    TDGControl* to = nullptr;
};

} // namespace

TEST_F(RoutingTest, SelfReferenceShape) {
    d->SetControlBounds(*from, 100, 100, 120, 60);
    TDGConnector* self = Connect(a, a);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(Positions(*self), (Points{{160, 100}, {160, 60}, {260, 60}, {260, 130}, {220, 130}}));
    EXPECT_EQ(RequiredPointCount(*self), 5);
    EXPECT_TRUE(Orthogonal(*self));
    EXPECT_EQ(self->FromRelativeX, 5000);
    EXPECT_EQ(self->FromRelativeY, 0);
    EXPECT_EQ(self->ToRelativeX, 10000);

    // Moving the box takes the loop along; laying it out keeps the ends on the border.
    d->MoveControls({from}, 10, 20);
    EXPECT_EQ(Positions(*self), (Points{{170, 120}, {170, 80}, {270, 80}, {270, 150}, {229, 150}}));
    // A self-reference keeps its shape under every routing.
    SetConnectorRouting(*self, drtLeftRight);
    EXPECT_EQ(self->Points.size(), 5u);
    EXPECT_EQ(self->Points[2].Y, 80);
}

TEST_F(RoutingTest, LeftRightRoutingWithMiddleAndDetour) {
    TDGConnector* line = Connect(a, b);
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(SetConnectorRouting(*line, drtLeftRight));
    // Room between the boxes: the middle segment runs at the middle X.
    EXPECT_EQ(Positions(*line), (Points{{199, 130}, {300, 130}, {300, 330}, {400, 330}}));
    EXPECT_FALSE(line->Points[1].Horizontal == false);
    EXPECT_FALSE(line->Points[2].Horizontal);

    // Setting the routing a line has already changes nothing.
    line->Points[1].X = 777;
    EXPECT_FALSE(SetConnectorRouting(*line, drtLeftRight));
    EXPECT_EQ(line->Points[1].X, 777);

    // 30 units apart: a detour 20 left of both boxes, entering both from the left.
    d->SetControlBounds(*to, 230, 300, 100, 60);
    SetConnectorRouting(*line, drtAutoRouting);
    SetConnectorRouting(*line, drtLeftRight);
    EXPECT_EQ(Positions(*line), (Points{{100, 130}, {80, 130}, {80, 330}, {230, 330}}));

    // The limit: a gap of 40 gets the middle, a gap of 39 the detour.
    d->SetControlBounds(*to, 240, 300, 100, 60);
    SetConnectorRouting(*line, drtAutoRouting);
    SetConnectorRouting(*line, drtLeftRight);
    EXPECT_EQ(line->Points[1].X, 220);
    d->SetControlBounds(*to, 239, 300, 100, 60);
    SetConnectorRouting(*line, drtAutoRouting);
    SetConnectorRouting(*line, drtLeftRight);
    EXPECT_EQ(line->Points[1].X, 80);

    // The "to" box left of the "from" box.
    d->SetControlBounds(*to, 0, 300, 40, 60);
    d->SetControlBounds(*from, 300, 100, 100, 60);
    SetConnectorRouting(*line, drtAutoRouting);
    SetConnectorRouting(*line, drtLeftRight);
    EXPECT_EQ(Positions(*line), (Points{{300, 130}, {170, 130}, {170, 330}, {39, 330}}));
}

TEST_F(RoutingTest, TopBottomRouting) {
    d->SetControlBounds(*to, 120, 300, 100, 60);
    TDGConnector* line = Connect(a, b);
    d->Selection.Add(line);
    EXPECT_TRUE(SetConnectorRouting(*line, drtTopBottom));
    EXPECT_FALSE(d->Selection.Contains(line)); // taken out of the selection
    EXPECT_EQ(Positions(*line), (Points{{150, 159}, {150, 230}, {170, 230}, {170, 300}}));
    EXPECT_FALSE(line->Points[1].Horizontal);
    EXPECT_TRUE(line->Points[2].Horizontal);

    // Boxes closer than 40 vertically: a detour above both.
    d->SetControlBounds(*to, 120, 180, 100, 60);
    SetConnectorRouting(*line, drtAutoRouting);
    SetConnectorRouting(*line, drtTopBottom);
    EXPECT_EQ(Positions(*line), (Points{{150, 100}, {150, 80}, {170, 80}, {170, 180}}));
    EXPECT_NE(line->SaveToMarkup().find("<ROUTING>DRTTOPBOTTOM</ROUTING>"), std::string::npos);
}

TEST_F(RoutingTest, EndPointsFromRelativeValues) {
    d->SetControlBounds(*from, 100, 100, 121, 61);
    EXPECT_EQ(RelativePoint(from->BoundsRect(), 3333, 10000), (TDGPos{140, 161}));
    EXPECT_EQ(RelativePoint(from->BoundsRect(), 5000, 5000), (TDGPos{161, 131})); // 60.5 rounds up
    EXPECT_EQ(RelativeFromCoordinate(90, 100, 61), 0);
    EXPECT_EQ(RelativeFromCoordinate(200, 100, 61), 10000);
    EXPECT_EQ(RelativeFromCoordinate(130, 100, 60), 5000);
    EXPECT_EQ(MiddleX({0, 0, 100, 10}, {300, 0, 400, 10}), 200);
    EXPECT_EQ(MiddleX({300, 0, 400, 10}, {0, 0, 101, 10}), 200);
    // Overlapping boxes: the mean of the centres.
    EXPECT_EQ(MiddleX({0, 0, 100, 10}, {50, 0, 250, 10}), 100);
    EXPECT_EQ(MiddleY({0, 0, 10, 100}, {0, 50, 10, 250}), 100);
}

TEST(RoutingRules, Straightening) {
    // Each point follows the one before it by its segment direction; the last point is
    // anchored and the point before it follows it instead.
    std::vector<TDGPoint> points{{10, 10, true}, {50, 17, true}, {53, 90, false}, {99, 95, true}};
    StraightenPoints(points);
    EXPECT_EQ(points,
              (std::vector<TDGPoint>{{10, 10, true}, {50, 10, true}, {50, 95, false}, {99, 95, true}}));
    std::vector<TDGPoint> vertical{{10, 10, false}, {12, 40, false}, {80, 44, true}, {82, 90, false}};
    StraightenPoints(vertical);
    EXPECT_EQ(vertical,
              (std::vector<TDGPoint>{{10, 10, false}, {10, 40, false}, {82, 40, true}, {82, 90, false}}));
}

TEST_F(RoutingTest, DraggingSegments) {
    TDGConnector* line = Connect(a, b);
    SetConnectorRouting(*line, drtLeftRight); // (199,130) (300,130) (300,330) (400,330)
    // The first segment is horizontal: it moves vertically and sets the "from" relative Y.
    EXPECT_TRUE(DragConnectorSegment(*line, 0, 0, 145));
    EXPECT_EQ(line->Points[0].Y, 145);
    EXPECT_EQ(line->Points[1].Y, 145);
    EXPECT_EQ(line->FromRelativeY, 7500);
    EXPECT_TRUE(DragConnectorSegment(*line, 0, 0, 90)); // above the box top
    EXPECT_EQ(line->FromRelativeY, 0);
    EXPECT_TRUE(DragConnectorSegment(*line, 0, 0, 200)); // below its bottom
    EXPECT_EQ(line->FromRelativeY, 10000);
    EXPECT_FALSE(DragConnectorSegment(*line, 0, 0, 200)); // same coordinate: nothing happens
    EXPECT_TRUE(DragConnectorSegment(*line, 0, 0, -20));  // never below 0
    EXPECT_EQ(line->Points[0].Y, 0);

    // The middle segment is vertical: it moves horizontally, no relative value changes.
    const int fromX = line->FromRelativeX, toX = line->ToRelativeX;
    d->SetZoom(200);
    EXPECT_TRUE(DragConnectorSegment(*line, 1, 640, 0));
    EXPECT_EQ(line->Points[1].X, 320);
    EXPECT_EQ(line->Points[2].X, 320);
    EXPECT_EQ(line->FromRelativeX, fromX);
    EXPECT_EQ(line->ToRelativeX, toX);
    // The last segment sets the "to" relative Y; scroll is taken into account.
    d->SetScroll(0, 100);
    EXPECT_TRUE(DragConnectorSegment(*line, 2, 0, 540)); // (540 + 100) * 100 / 200 = 320
    EXPECT_EQ(line->Points[2].Y, 320);
    EXPECT_FALSE(DragConnectorSegment(*line, 2, 0, 541)); // truncated to 320 again
    EXPECT_TRUE(DragConnectorSegment(*line, 2, 0, 570));
    EXPECT_EQ(line->Points[3].Y, 335);
    EXPECT_EQ(line->ToRelativeY, 5833);
    EXPECT_FALSE(DragConnectorSegment(*line, 3, 0, 0)); // no such segment
}

TEST_F(RoutingTest, LayoutAfterMovesKeepsEndsAndMiddleClear) {
    TDGConnector* line = Connect(a, b);
    SetConnectorRouting(*line, drtLeftRight);
    // The boxes move closer; the middle goes back to the middle between them.
    d->MoveControls({to}, -150, 0); // to: 250..350
    EXPECT_EQ(Positions(*line), (Points{{199, 130}, {225, 130}, {225, 330}, {250, 330}}));
    // Overlapping horizontally: the middle would run through a box, so it stops 5 before it.
    d->MoveControls({to}, -100, 0); // to: 150..250
    EXPECT_EQ(line->Points[1].X, 95);
    EXPECT_EQ(Positions(*line).front(), (TDGPos{100, 130}));
    EXPECT_EQ(Positions(*line).back(), (TDGPos{150, 330}));
    EXPECT_TRUE(Orthogonal(*line));

    // Automatic routing: the ends face the other end and the inner corners stay.
    SetConnectorRouting(*line, drtAutoRouting);
    d->MoveControls({to}, 400, 0); // to: 550..650, right of "from"
    EXPECT_EQ(line->Points.size(), 4u);
    EXPECT_TRUE(Orthogonal(*line));
    EXPECT_TRUE(line->Points.front().Y == from->Bottom() - 1 || line->Points.front().X == from->Right() - 1 ||
                line->Points.front().Y == from->Top);
    // Both ends moved together: the line keeps its shape.
    const Points before = Positions(*line);
    d->MoveControls({from, to}, 10, 10);
    Points expected = before;
    for (auto& p : expected) {
        p.X += 10;
        p.Y += 10;
    }
    EXPECT_EQ(Positions(*line), expected);
}

TEST_F(RoutingTest, PointCountsAreKept) {
    TDGConnector* line = Connect(a, b);
    line->Points.clear();
    LayoutConnector(*line);
    EXPECT_EQ(line->Points.size(), 4u);
    EXPECT_TRUE(Orthogonal(*line));
    line->Points.resize(2);
    EXPECT_TRUE(EnsurePointCount(*line));
    EXPECT_EQ(line->Points.size(), 4u);
    EXPECT_EQ(line->Points[3], (TDGPoint{0, 0, true}));
    EXPECT_FALSE(EnsurePointCount(*line));
    TDGConnector* self = Connect(b, b);
    self->Points.resize(3);
    LayoutConnector(*self);
    EXPECT_EQ(self->Points.size(), 5u);
}

TEST_F(RoutingTest, AutomaticRouterAvoidsBoxes) {
    // Two boxes side by side with a third standing between them across the straight line.
    d->SetControlBounds(*to, 700, 100, 100, 60);
    TestEntity* c = AddObject<TestEntity>(dd, "C");
    PlaceBox(diagrams, d, c, 350, 50, 100, 160);
    TDGConnector* line = Connect(a, b);
    ASSERT_EQ(line->Points.size(), 4u);
    EXPECT_TRUE(Orthogonal(*line));
    const TDGAutoRouter router(*d);
    EXPECT_EQ(router.Crossings(line->Points, from, to), 0);
    // It goes over the obstacle: out of the top of "from", into the top of "to".
    EXPECT_EQ(line->Points[0], (TDGPoint{150, 100, false}));
    EXPECT_EQ(line->Points[3], (TDGPoint{750, 100, false}));
    EXPECT_LT(line->Points[1].Y, 50);
    // Laying the line out again reproduces the routed points.
    const Points routed = Positions(*line);
    LayoutConnector(*line);
    EXPECT_EQ(Positions(*line), routed);

    // Without the obstacle the line runs straight between the facing sides.
    d->RemoveObject(d->FindControl(c->ID));
    RouteConnector(*line);
    EXPECT_EQ(Positions(*line), (Points{{199, 130}, {450, 130}, {450, 130}, {700, 130}}));
    // Boxes one above the other: out of the bottom, into the top.
    d->SetControlBounds(*to, 100, 400, 100, 60);
    RouteConnector(*line);
    EXPECT_EQ(Positions(*line), (Points{{150, 159}, {150, 280}, {150, 280}, {150, 400}}));

    // Rerouting everything gives self-references their loop.
    TDGConnector* self = Connect(a, a);
    self->Points[1].Y = 999;
    d->RerouteAll();
    EXPECT_EQ(self->Points[1].Y, from->Top - SelfReferenceDistance);
}
