// Geometry of connectors: end points from the relative positions, the point-count rules, the
// self-reference shape, the left-right and top-bottom routings with their detours, straightening,
// segment dragging, and an automatic orthogonal router that avoids other boxes where it can.
#pragma once

#include <vector>

#include "dgbase.h"

namespace ardvin {

class TVELDiagram;

inline constexpr int SelfReferenceDistance = 40; // how far the loop of a self-reference stands off
inline constexpr int RoutingMinimumGap = 40;     // fixed routings detour around boxes closer than this
inline constexpr int RoutingDetour = 20;         // distance of a detour from the boxes
inline constexpr int RoutingClearance = 5;       // a moved middle segment stops this far before a box

// The least number of points: 5 for a line from a box to itself, otherwise 4.
int RequiredPointCount(const TDGConnector& line);
// Appends points at 0,0 until the line has its required count; returns whether it added any.
bool EnsurePointCount(TDGConnector& line);

// The point of a box at relative position (ten-thousandths of its width and height).
TDGPos RelativePoint(const TDGRect& box, int relativeX, int relativeY);
// The relative value (0..10000) of a coordinate on a box edge that starts at start.
int RelativeFromCoordinate(int coordinate, int start, int length);
// The middle between two boxes on each axis; boxes that overlap on the axis give the mean of
// their centres.
int MiddleX(const TDGRect& from, const TDGRect& to);
int MiddleY(const TDGRect& from, const TDGRect& to);

// Puts the first and last point at the relative positions on their boxes.
void SetEndPoints(TDGConnector& line);
// Automatic routing: moves both ends onto the box borders that face the other end.
void SnapEndsToBorders(TDGConnector& line);
// Left-right and top-bottom routing: the ends onto the side where the middle segment lies.
void SnapEndsForRouting(TDGConnector& line);
// Makes every segment horizontal or vertical by its direction flag; the last point is anchored
// to its box, so the point before it follows it.
void StraightenPoints(std::vector<TDGPoint>& points);

// The five points of a line from a box to itself.
std::vector<TDGPoint> SelfReferenceShape(const TDGRect& box);
// Gives a self-reference that shape, with relative end values that reproduce it.
void ApplySelfReferenceShape(TDGConnector& line);

// Changes the routing; nothing happens when the line has that routing already. Returns whether
// it changed.
bool SetConnectorRouting(TDGConnector& line, int routing);
// Re-routes a line from scratch by its routing (the automatic router for routing 0).
void RouteConnector(TDGConnector& line);
// Lays the line out again after its boxes moved: end points, borders and straightening, keeping
// its inner corners; a fixed routing also keeps its middle segment clear of both boxes.
void LayoutConnector(TDGConnector& line);

// Drags a segment to a mouse position (screen coordinates): a horizontal segment moves
// vertically, a vertical one horizontally; a segment at an end updates that end's relative
// value. Returns whether anything moved.
bool DragConnectorSegment(TDGConnector& line, int segment, int screenX, int screenY);

// The automatic router. It indexes the boxes of one diagram (group boxes excepted) in a grid
// and lays a line out as three orthogonal segments (horizontal-vertical-horizontal or
// vertical-horizontal-vertical) whose ends follow the border rule of SnapEndsToBorders; among
// the possible positions of the middle segment it takes the one that crosses the fewest other
// boxes, then the shortest.
class TDGAutoRouter {
public:
    explicit TDGAutoRouter(const TVELDiagram& diagram);
    void Route(TDGConnector& line) const;
    // How many boxes other than the line's own the points cross, counting a crossing of the
    // line's own boxes away from their ends ten times.
    int Crossings(const std::vector<TDGPoint>& points, const TDGControl* from, const TDGControl* to) const;

private:
    static constexpr int CellSize = 256;
    void Query(const TDGRect& area, std::vector<int>& out) const;
    int64_t Cost(const std::vector<TDGPoint>& points, const TDGControl* from, const TDGControl* to) const;

    std::vector<TDGRect> boxes_;
    std::vector<const TDGControl*> owners_;
    std::vector<std::vector<int>> cells_;
    int columns_ = 0;
    int rows_ = 0;
};

} // namespace ardvin
