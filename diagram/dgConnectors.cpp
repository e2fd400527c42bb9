#include "dgConnectors.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "zDiagram.h"

namespace ardvin {

int RequiredPointCount(const TDGConnector& line) {
    return line.IsSelfReference() ? 5 : 4;
}

bool EnsurePointCount(TDGConnector& line) {
    const size_t required = static_cast<size_t>(RequiredPointCount(line));
    if (line.Points.size() >= required) return false;
    line.Points.resize(required, TDGPoint{});
    return true;
}

TDGPos RelativePoint(const TDGRect& box, int relativeX, int relativeY) {
    return {box.Left + RoundDiv(static_cast<int64_t>(box.Width()) * relativeX, 10000),
            box.Top + RoundDiv(static_cast<int64_t>(box.Height()) * relativeY, 10000)};
}

int RelativeFromCoordinate(int coordinate, int start, int length) {
    if (length <= 0) return 0;
    return std::clamp(RoundDiv(static_cast<int64_t>(coordinate - start) * 10000, length), 0, 10000);
}

namespace {

// The middle between two boxes on one axis, given their low and high edges on it.
int Middle(int fromLow, int fromHigh, int toLow, int toHigh) {
    if (fromHigh < toLow) return fromHigh + (toLow - fromHigh) / 2;
    if (toHigh < fromLow) return toHigh + (fromLow - toHigh) / 2;
    const int fromCentre = fromLow + (fromHigh - fromLow) / 2;
    const int toCentre = toLow + (toHigh - toLow) / 2;
    return fromCentre + (toCentre - fromCentre) / 2;
}

bool HasBoxes(const TDGConnector& line) {
    return line.FromControl && line.ToControl;
}

// Whether the two boxes leave a gap of at least RoutingMinimumGap on the routed axis.
bool RoomBetween(int fromLow, int fromHigh, int toLow, int toHigh) {
    return fromHigh + RoutingMinimumGap - 1 < toLow || toHigh + RoutingMinimumGap - 1 < fromLow;
}

// Four points whose directions fit a fixed routing: across, along, across.
void PrepareFixedPoints(TDGConnector& line) {
    line.Points.resize(4, TDGPoint{});
    const bool leftRight = line.Routing == drtLeftRight;
    line.Points[1].Horizontal = leftRight;
    line.Points[2].Horizontal = !leftRight;
    line.Points[3].Horizontal = leftRight;
    line.Points[0].Horizontal = leftRight;
}

// Routes a line with a fixed routing: the middle segment between the boxes when there is room,
// otherwise a detour before both boxes.
void FixedRoute(TDGConnector& line) {
    const TDGRect f = line.FromControl->BoundsRect();
    const TDGRect t = line.ToControl->BoundsRect();
    PrepareFixedPoints(line);
    int middle;
    if (line.Routing == drtLeftRight) {
        middle = RoomBetween(f.Left, f.Right, t.Left, t.Right) ? MiddleX(f, t)
                                                               : std::min(f.Left, t.Left) - RoutingDetour;
        line.Points[1].X = line.Points[2].X = middle;
    } else {
        middle = RoomBetween(f.Top, f.Bottom, t.Top, t.Bottom) ? MiddleY(f, t)
                                                               : std::min(f.Top, t.Top) - RoutingDetour;
        line.Points[1].Y = line.Points[2].Y = middle;
    }
    SetEndPoints(line);
    SnapEndsForRouting(line);
    StraightenPoints(line.Points);
}

// The middle of a fixed routing after the boxes moved: between the boxes, unless it would run
// through one of them; then it stops RoutingClearance units before that box.
int FollowingMiddle(const TDGConnector& line) {
    const TDGRect f = line.FromControl->BoundsRect();
    const TDGRect t = line.ToControl->BoundsRect();
    const bool leftRight = line.Routing == drtLeftRight;
    const TDGPoint& first = line.Points.front();
    const TDGPoint& last = line.Points.back();
    int middle = leftRight ? MiddleX(f, t) : MiddleY(f, t);
    const int low = leftRight ? std::min(first.Y, last.Y) : std::min(first.X, last.X);
    const int high = leftRight ? std::max(first.Y, last.Y) : std::max(first.X, last.X);
    for (int round = 0; round < 3; ++round) {
        bool moved = false;
        for (const TDGRect& box : {f, t}) {
            const int boxLow = leftRight ? box.Left : box.Top;
            const int boxHigh = leftRight ? box.Right : box.Bottom;
            const int crossLow = leftRight ? box.Top : box.Left;
            const int crossHigh = leftRight ? box.Bottom : box.Right;
            if (middle >= boxLow && middle < boxHigh && high >= crossLow && low < crossHigh) {
                middle = boxLow - RoutingClearance;
                moved = true;
            }
        }
        if (!moved) break;
    }
    return middle;
}

} // namespace

int MiddleX(const TDGRect& from, const TDGRect& to) {
    return Middle(from.Left, from.Right, to.Left, to.Right);
}

int MiddleY(const TDGRect& from, const TDGRect& to) {
    return Middle(from.Top, from.Bottom, to.Top, to.Bottom);
}

void SetEndPoints(TDGConnector& line) {
    if (!HasBoxes(line) || line.Points.size() < 2) return;
    const TDGPos a = RelativePoint(line.FromControl->BoundsRect(), line.FromRelativeX, line.FromRelativeY);
    const TDGPos b = RelativePoint(line.ToControl->BoundsRect(), line.ToRelativeX, line.ToRelativeY);
    line.Points.front().X = a.X;
    line.Points.front().Y = a.Y;
    line.Points.back().X = b.X;
    line.Points.back().Y = b.Y;
}

void SnapEndsToBorders(TDGConnector& line) {
    if (!HasBoxes(line) || line.Points.size() < 2) return;
    const TDGRect f = line.FromControl->BoundsRect();
    const TDGRect t = line.ToControl->BoundsRect();
    std::vector<TDGPoint>& p = line.Points;
    const size_t n = p.size();
    if (line.IsSelfReference()) {
        p[0].Y = p[1].Y <= f.Top ? f.Top : f.Bottom - 1;
        p[n - 1].X = f.Right >= p[n - 2].X ? f.Left : f.Right - 1;
        return;
    }
    if (p[1].Horizontal)
        p[0].X = p[n - 1].X <= p[0].X ? f.Left : f.Right - 1;
    else
        p[0].Y = p[n - 1].Y <= p[0].Y ? f.Top : f.Bottom - 1;
    if (p[n - 1].Horizontal)
        p[n - 1].X = p[0].X <= p[n - 1].X ? t.Left : t.Right - 1;
    else
        p[n - 1].Y = p[0].Y <= p[n - 1].Y ? t.Top : t.Bottom - 1;
}

void SnapEndsForRouting(TDGConnector& line) {
    if (!HasBoxes(line) || line.Points.size() < 2) return;
    const TDGRect f = line.FromControl->BoundsRect();
    const TDGRect t = line.ToControl->BoundsRect();
    std::vector<TDGPoint>& p = line.Points;
    const size_t n = p.size();
    if (line.Routing == drtLeftRight) {
        p[0].X = p[1].X < f.Left ? f.Left : f.Right - 1;
        p[n - 1].X = p[n - 2].X < t.Left ? t.Left : t.Right - 1;
    } else if (line.Routing == drtTopBottom) {
        p[0].Y = p[1].Y < f.Top ? f.Top : f.Bottom - 1;
        p[n - 1].Y = p[n - 2].Y < t.Top ? t.Top : t.Bottom - 1;
    }
}

void StraightenPoints(std::vector<TDGPoint>& points) {
    const size_t n = points.size();
    for (size_t i = 1; i < n; ++i) {
        TDGPoint& before = points[i - 1];
        TDGPoint& point = points[i];
        const bool anchored = i == n - 1;
        if (point.Horizontal) {
            if (anchored)
                before.Y = point.Y;
            else
                point.Y = before.Y;
        } else {
            if (anchored)
                before.X = point.X;
            else
                point.X = before.X;
        }
    }
}

std::vector<TDGPoint> SelfReferenceShape(const TDGRect& box) {
    const int halfW = box.Width() / 2;
    const int halfH = box.Height() / 2;
    const int d = SelfReferenceDistance;
    return {
        {box.Left + halfW, box.Top, false}, {box.Left + halfW, box.Top - d, false},
        {box.Right + d, box.Top - d, true}, {box.Right + d, box.Top + halfH, false},
        {box.Right, box.Top + halfH, true},
    };
}

void ApplySelfReferenceShape(TDGConnector& line) {
    if (!line.FromControl) return;
    const TDGRect box = line.FromControl->BoundsRect();
    line.Points = SelfReferenceShape(box);
    line.FromRelativeX = RelativeFromCoordinate(line.Points[0].X, box.Left, box.Width());
    line.FromRelativeY = 0;
    line.ToRelativeX = 10000;
    line.ToRelativeY = RelativeFromCoordinate(line.Points[4].Y, box.Top, box.Height());
}

bool SetConnectorRouting(TDGConnector& line, int routing) {
    if (routing == line.Routing) return false;
    line.Refresh();
    line.Routing = routing;
    if (line.Diagram) line.Diagram->Selection.Remove(&line);
    RouteConnector(line);
    line.Refresh();
    return true;
}

void RouteConnector(TDGConnector& line) {
    if (!HasBoxes(line)) return;
    EnsurePointCount(line);
    if (line.IsSelfReference())
        ApplySelfReferenceShape(line);
    else if (line.Routing == drtLeftRight || line.Routing == drtTopBottom)
        FixedRoute(line);
    else if (line.Diagram)
        line.Diagram->AutoRouter().Route(line);
}

void LayoutConnector(TDGConnector& line) {
    if (!HasBoxes(line)) return;
    if (EnsurePointCount(line)) {
        RouteConnector(line);
        return;
    }
    const bool fixed =
        !line.IsSelfReference() && (line.Routing == drtLeftRight || line.Routing == drtTopBottom);
    if (fixed) PrepareFixedPoints(line);
    SetEndPoints(line);
    if (fixed) {
        const int middle = FollowingMiddle(line);
        if (line.Routing == drtLeftRight)
            line.Points[1].X = line.Points[2].X = middle;
        else
            line.Points[1].Y = line.Points[2].Y = middle;
        SnapEndsForRouting(line);
    } else {
        SnapEndsToBorders(line);
    }
    StraightenPoints(line.Points);
}

bool DragConnectorSegment(TDGConnector& line, int segment, int screenX, int screenY) {
    const int n = static_cast<int>(line.Points.size());
    if (segment < 0 || segment + 1 >= n || !line.Diagram) return false;
    const TVELDiagram& d = *line.Diagram;
    TDGPoint& a = line.Points[segment];
    TDGPoint& b = line.Points[segment + 1];
    const bool horizontal = b.Horizontal; // drag mode 1 moves it vertically, mode 2 horizontally
    const int coordinate = std::max(0, horizontal ? d.ToDiagramY(screenY) : d.ToDiagramX(screenX));
    if (coordinate == (horizontal ? a.Y : a.X)) return false;
    line.Refresh();
    if (horizontal)
        a.Y = b.Y = coordinate;
    else
        a.X = b.X = coordinate;
    auto relative = [&](const TDGControl* box) {
        return horizontal ? RelativeFromCoordinate(coordinate, box->Top, box->Height)
                          : RelativeFromCoordinate(coordinate, box->Left, box->Width);
    };
    if (segment == 0 && line.FromControl)
        (horizontal ? line.FromRelativeY : line.FromRelativeX) = relative(line.FromControl);
    if (segment + 1 == n - 1 && line.ToControl)
        (horizontal ? line.ToRelativeY : line.ToRelativeX) = relative(line.ToControl);
    line.Refresh();
    return true;
}

// ---- TDGAutoRouter -----------------------------------------------------------------------------

TDGAutoRouter::TDGAutoRouter(const TVELDiagram& diagram) {
    columns_ = std::max(1, diagram.MaxWidth / CellSize + 1);
    rows_ = std::max(1, diagram.MaxHeight / CellSize + 1);
    cells_.resize(static_cast<size_t>(columns_) * rows_);
    for (int i = 0; i < diagram.ControlCount(); ++i) {
        const TDGControl* box = diagram.Controls(i);
        if (!box->Visible || box->PaintLayer() == 0) continue; // lines may cross group boxes
        const int index = static_cast<int>(boxes_.size());
        boxes_.push_back(box->BoundsRect());
        owners_.push_back(box);
        const TDGRect& r = boxes_.back();
        const int c0 = std::clamp(r.Left / CellSize, 0, columns_ - 1);
        const int c1 = std::clamp((r.Right - 1) / CellSize, 0, columns_ - 1);
        const int r0 = std::clamp(r.Top / CellSize, 0, rows_ - 1);
        const int r1 = std::clamp((r.Bottom - 1) / CellSize, 0, rows_ - 1);
        for (int y = r0; y <= r1; ++y)
            for (int x = c0; x <= c1; ++x)
                cells_[static_cast<size_t>(y) * columns_ + x].push_back(index);
    }
}

void TDGAutoRouter::Query(const TDGRect& area, std::vector<int>& out) const {
    out.clear();
    const int c0 = std::clamp(area.Left / CellSize, 0, columns_ - 1);
    const int c1 = std::clamp((area.Right - 1) / CellSize, 0, columns_ - 1);
    const int r0 = std::clamp(area.Top / CellSize, 0, rows_ - 1);
    const int r1 = std::clamp((area.Bottom - 1) / CellSize, 0, rows_ - 1);
    for (int y = r0; y <= r1; ++y)
        for (int x = c0; x <= c1; ++x)
            for (int index : cells_[static_cast<size_t>(y) * columns_ + x])
                if (boxes_[index].Intersects(area)) out.push_back(index);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

int TDGAutoRouter::Crossings(const std::vector<TDGPoint>& points, const TDGControl* from,
                             const TDGControl* to) const {
    int count = 0;
    std::vector<int> hits;
    for (size_t i = 1; i < points.size(); ++i) {
        const TDGPoint& a = points[i - 1];
        const TDGPoint& b = points[i];
        const TDGRect segment{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X) + 1,
                              std::max(a.Y, b.Y) + 1};
        Query(segment, hits);
        for (int index : hits) {
            const TDGControl* owner = owners_[index];
            if ((owner == from && i == 1) || (owner == to && i == points.size() - 1)) continue;
            count += owner == from || owner == to ? 10 : 1;
        }
    }
    return count;
}

int64_t TDGAutoRouter::Cost(const std::vector<TDGPoint>& points, const TDGControl* from,
                            const TDGControl* to) const {
    int64_t length = 0;
    for (size_t i = 1; i < points.size(); ++i)
        length += std::abs(points[i].X - points[i - 1].X) + std::abs(points[i].Y - points[i - 1].Y);
    // Ends too short for their symbols cost a little.
    const int stub = TDGConnector::SymbolLength + 4;
    const size_t n = points.size();
    auto short_ = [&](const TDGPoint& end, const TDGPoint& next) {
        return std::abs(end.X - next.X) + std::abs(end.Y - next.Y) < stub;
    };
    if (short_(points[0], points[1])) length += 60;
    if (short_(points[n - 1], points[n - 2])) length += 60;
    return static_cast<int64_t>(Crossings(points, from, to)) * 10000 + length;
}

void TDGAutoRouter::Route(TDGConnector& line) const {
    if (!HasBoxes(line)) return;
    if (line.IsSelfReference()) {
        ApplySelfReferenceShape(line);
        return;
    }
    const TDGRect f = line.FromControl->BoundsRect();
    const TDGRect t = line.ToControl->BoundsRect();
    const TDGPos a = RelativePoint(f, line.FromRelativeX, line.FromRelativeY);
    const TDGPos b = RelativePoint(t, line.ToRelativeX, line.ToRelativeY);
    std::vector<int> near;
    Query(f.Union(t).Inflated(200), near);

    std::vector<TDGPoint> best;
    int64_t bestCost = INT64_MAX;
    std::vector<TDGPoint> fallback;
    for (const bool horizontal : {true, false}) {
        const int fLow = horizontal ? f.Left : f.Top, fHigh = horizontal ? f.Right : f.Bottom;
        const int tLow = horizontal ? t.Left : t.Top, tHigh = horizontal ? t.Right : t.Bottom;
        const int a0 = horizontal ? a.X : a.Y, b0 = horizontal ? b.X : b.Y;
        // The border rule: each end on the side that faces the other end.
        const bool exitLow = b0 <= a0;
        const int e0 = exitLow ? fLow : fHigh - 1;
        const bool enterLow = e0 <= b0;
        const int e3 = enterLow ? tLow : tHigh - 1;
        std::vector<int> middles{horizontal ? MiddleX(f, t) : MiddleY(f, t),
                                 std::min(fLow, tLow) - RoutingDetour,
                                 std::max(fHigh, tHigh) + RoutingDetour};
        for (int index : near) {
            if (owners_[index] == line.FromControl || owners_[index] == line.ToControl) continue;
            const TDGRect& o = boxes_[index];
            middles.push_back((horizontal ? o.Left : o.Top) - 10);
            middles.push_back((horizontal ? o.Right : o.Bottom) + 10);
        }
        auto build = [&](int m) {
            if (horizontal)
                return std::vector<TDGPoint>{
                    {e0, a.Y, true}, {m, a.Y, true}, {m, b.Y, false}, {e3, b.Y, true}};
            return std::vector<TDGPoint>{{a.X, e0, false}, {a.X, m, false}, {b.X, m, true}, {b.X, e3, false}};
        };
        if (fallback.empty()) fallback = build(middles[0]);
        for (int m : middles) {
            const bool leaves = exitLow ? m < fLow : m >= fHigh;
            const bool enters = enterLow ? m < tLow : m >= tHigh;
            if (!leaves || !enters) continue;
            std::vector<TDGPoint> points = build(m);
            const int64_t cost = Cost(points, line.FromControl, line.ToControl);
            if (cost < bestCost) {
                bestCost = cost;
                best = std::move(points);
            }
        }
    }
    line.Points = best.empty() ? fallback : best;
}

} // namespace ardvin
