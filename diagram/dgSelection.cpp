#include "dgSelection.h"

#include <algorithm>

#include "zDiagram.h"

namespace ardvin {

std::vector<TDGGrabHandle> BoxGrabHandles(const TDGRect& screenRect) {
    const TDGRect r = screenRect.Inflated(8);
    const int s = GrabHandleSize;
    const int midX = r.Left + (r.Width() - s) / 2;
    const int midY = r.Top + (r.Height() - s) / 2;
    auto handle = [s](int kind, int x, int y) {
        TDGGrabHandle h;
        h.Kind = kind;
        h.Rect = TDGRect::FromSize(x, y, s, s);
        return h;
    };
    return {
        handle(ghTopLeft, r.Left, r.Top),           handle(ghTopMiddle, midX, r.Top),
        handle(ghTopRight, r.Right - s, r.Top),     handle(ghMiddleLeft, r.Left, midY),
        handle(ghMiddleRight, r.Right - s, midY),   handle(ghBottomRight, r.Right - s, r.Bottom - s),
        handle(ghBottomMiddle, midX, r.Bottom - s), handle(ghBottomLeft, r.Left, r.Bottom - s),
    };
}

std::vector<TDGGrabHandle> TDGSelection::HandlesOf(TDGObject* object) const {
    std::vector<TDGGrabHandle> r;
    if (auto* line = dynamic_cast<TDGConnector*>(object)) {
        for (size_t i = 0; i < line->Points.size(); ++i) {
            TDGGrabHandle h;
            h.Kind = ghPoint;
            h.Rect =
                TDGRect::FromSize(diagram_->ToScreenX(line->Points[i].X) - 2,
                                  diagram_->ToScreenY(line->Points[i].Y) - 2, GrabHandleSize, GrabHandleSize);
            h.PointIndex = static_cast<int>(i);
            r.push_back(h);
        }
    } else {
        r = BoxGrabHandles(object->ScreenRect());
    }
    for (auto& h : r)
        h.Owner = object;
    return r;
}

std::vector<TDGControl*> TDGSelection::Controls() const {
    std::vector<TDGControl*> r;
    for (TDGObject* o : items_)
        if (auto* c = dynamic_cast<TDGControl*>(o)) r.push_back(c);
    return r;
}

void TDGSelection::Changed(const TDGObject* object) {
    if (object) diagram_->InvalidateRect(object->ScreenRect().Inflated(8 + GrabHandleSize));
    if (OnChanged) OnChanged();
}

bool TDGSelection::Add(TDGObject* object) {
    if (!object || Contains(object)) return false;
    auto* line = dynamic_cast<TDGConnector*>(object);
    if (line && line->Hidden) return false;
    if (!line)
        for (int i = Count() - 1; i >= 0 && connectorCount_ > 0; --i)
            if (items_[i]->IsConnector()) Remove(items_[i]);
    items_.push_back(object);
    set_.insert(object);
    if (line) ++connectorCount_;
    for (const auto& h : HandlesOf(object))
        handles_.push_back(h);
    Changed(object);
    return true;
}

bool TDGSelection::Remove(TDGObject* object) {
    if (!Contains(object)) return false;
    items_.erase(std::find(items_.begin(), items_.end(), object));
    set_.erase(object);
    if (object->IsConnector()) --connectorCount_;
    std::erase_if(handles_, [object](const TDGGrabHandle& h) { return h.Owner == object; });
    Changed(object);
    return true;
}

void TDGSelection::Clear() {
    if (items_.empty()) return;
    for (TDGObject* o : items_)
        diagram_->InvalidateRect(o->ScreenRect().Inflated(8 + GrabHandleSize));
    items_.clear();
    set_.clear();
    handles_.clear();
    connectorCount_ = 0;
    if (OnChanged) OnChanged();
}

void TDGSelection::UpdateHandles() {
    handles_.clear();
    for (TDGObject* o : items_)
        for (const auto& h : HandlesOf(o))
            handles_.push_back(h);
}

const TDGGrabHandle* TDGSelection::HandleAt(int screenX, int screenY) const {
    for (auto it = handles_.rbegin(); it != handles_.rend(); ++it)
        if (it->Rect.Contains(screenX, screenY)) return &*it;
    return nullptr;
}

void TDGSelection::RepaintMoveOutlines() const {
    for (TDGObject* o : items_)
        if (!o->IsConnector())
            diagram_->InvalidateRect(o->ScreenRect().Offset(offset_.X, offset_.Y).Inflated(3));
}

void TDGSelection::BeginMove(int screenX, int screenY) {
    moving_ = true;
    start_ = {screenX, screenY};
    offset_ = {};
}

void TDGSelection::MoveTo(int screenX, int screenY) {
    if (!moving_) return;
    const TDGPos next{screenX - start_.X, screenY - start_.Y};
    if (next == offset_) return;
    RepaintMoveOutlines();
    offset_ = next;
    RepaintMoveOutlines();
}

TDGPos TDGSelection::EndMove(bool apply) {
    if (!moving_) return {};
    RepaintMoveOutlines();
    moving_ = false;
    TDGPos moved{offset_.X * 100 / diagram_->Zoom, offset_.Y * 100 / diagram_->Zoom};
    offset_ = {};
    if (!apply) return {};
    moved = diagram_->MoveControls(Controls(), moved.X, moved.Y);
    UpdateHandles();
    return moved;
}

} // namespace ardvin
