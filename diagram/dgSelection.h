// The selection of one diagram: the selected objects in selection order, their grab handles
// and the offset of a move in progress.
#pragma once

#include <functional>
#include <unordered_set>
#include <vector>

#include "dgbase.h"

namespace ardvin {

// Kinds of grab handles: 0 a connector point; boxes: 1 top left, 2 middle left, 3 bottom left,
// 4 top middle, 5 bottom middle, 6 top right, 7 middle right, 8 bottom right.
enum TDGHandleKind : int {
    ghPoint = 0,
    ghTopLeft = 1,
    ghMiddleLeft = 2,
    ghBottomLeft = 3,
    ghTopMiddle = 4,
    ghBottomMiddle = 5,
    ghTopRight = 6,
    ghMiddleRight = 7,
    ghBottomRight = 8,
};

struct TDGGrabHandle {
    int Kind = ghPoint;
    TDGRect Rect; // screen coordinates
    TDGObject* Owner = nullptr;
    int PointIndex = -1; // the connector point of a kind-0 handle
};

inline constexpr int GrabHandleSize = 5;

// The eight handles around a box's screen rectangle, in the order 1, 4, 6, 2, 7, 8, 5, 3.
std::vector<TDGGrabHandle> BoxGrabHandles(const TDGRect& screenRect);

class TDGSelection {
public:
    explicit TDGSelection(TVELDiagram* diagram) : diagram_(diagram) {}
    TDGSelection(const TDGSelection&) = delete;
    TDGSelection& operator=(const TDGSelection&) = delete;

    std::function<void()> OnChanged;

    int Count() const { return static_cast<int>(items_.size()); }
    TDGObject* Items(int index) const { return items_.at(index); }
    const std::vector<TDGObject*>& Objects() const { return items_; }
    bool Contains(const TDGObject* object) const { return set_.count(object) > 0; }
    // The selected boxes, in selection order.
    std::vector<TDGControl*> Controls() const;

    // Adds an object: nothing happens when it is selected already or is a hidden connector;
    // a box first takes every connector out of the selection. Returns whether it was added.
    bool Add(TDGObject* object);
    bool Remove(TDGObject* object);
    void Clear();

    // The handles of every selected object, in selection order.
    const std::vector<TDGGrabHandle>& Handles() const { return handles_; }
    // Recomputes every handle (after zoom, scroll or geometry changes).
    void UpdateHandles();
    // The handle under a screen position, or nullptr.
    const TDGGrabHandle* HandleAt(int screenX, int screenY) const;
    // The handles of one object at the current zoom and scroll.
    std::vector<TDGGrabHandle> HandlesOf(TDGObject* object) const;

    // Moving: the offset is the mouse position minus the start position, in screen units.
    void BeginMove(int screenX, int screenY);
    void MoveTo(int screenX, int screenY);
    bool Moving() const { return moving_; }
    TDGPos MoveOffset() const { return offset_; }
    // Ends the move; with apply the selected boxes move by the offset turned into diagram
    // units. Returns that distance in diagram units.
    TDGPos EndMove(bool apply);

private:
    void Changed(const TDGObject* object);
    void RepaintMoveOutlines() const;

    TVELDiagram* diagram_;
    std::vector<TDGObject*> items_;
    std::unordered_set<const TDGObject*> set_;
    int connectorCount_ = 0;
    std::vector<TDGGrabHandle> handles_;
    bool moving_ = false;
    TDGPos start_;
    TDGPos offset_;
};

} // namespace ardvin
