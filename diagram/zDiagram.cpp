#include "zDiagram.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <unordered_map>

#include "dgConnectors.h"
#include "dgcontrols.h"
#include "zDataDictionary.h"
#include "zDiagrams.h"

namespace ardvin {

// ---- relation search ---------------------------------------------------------------------------

std::vector<TVELNamedObject*> FindRelatedObjects(const TVELNamedObjectsList& model,
                                                 const std::vector<TVELNamedObject*>& seeds, int mode,
                                                 int levels, bool includeSeeds,
                                                 const TDGObjectFilter& filter) {
    std::vector<TVELNamedObject*> result;
    auto byID = [](const TVELNamedObject* a, const TVELNamedObject* b) { return a->ID < b->ID; };
    if (mode == rmFilter) {
        for (int i = 0; i < model.Count(); ++i)
            if (!filter || filter(model[i])) result.push_back(model[i]);
        std::stable_sort(result.begin(), result.end(), byID);
        return result;
    }
    if (mode == rmSelected) {
        result = seeds;
        std::stable_sort(result.begin(), result.end(), byID);
        return result;
    }
    std::unordered_map<int32_t, std::vector<int32_t>> parents, children;
    for (int i = 0; i < model.Count(); ++i) {
        int32_t parent = 0, child = 0;
        if (!model[i]->GetConnectionEnds(parent, child)) continue;
        children[parent].push_back(child);
        parents[child].push_back(parent);
    }
    const bool upward = mode == rmParents || mode == rmParentsAndChildren || mode == rmTransitive;
    const bool downward = mode == rmChildren || mode == rmParentsAndChildren || mode == rmTransitive;
    const int limit = levels <= 0 || mode == rmTransitive ? INT_MAX : levels;
    std::unordered_set<int32_t> reached;
    std::vector<int32_t> frontier;
    for (const TVELNamedObject* seed : seeds)
        frontier.push_back(seed->ID);
    // The seeds are expanded first and never reached again.
    std::unordered_set<int32_t> expanded(frontier.begin(), frontier.end());
    const std::unordered_set<int32_t> seedIDs = expanded;
    for (int level = 0; level < limit && !frontier.empty(); ++level) {
        std::vector<int32_t> next;
        auto visit = [&](const std::unordered_map<int32_t, std::vector<int32_t>>& links, int32_t id) {
            const auto it = links.find(id);
            if (it == links.end()) return;
            for (int32_t other : it->second)
                if (expanded.insert(other).second) {
                    reached.insert(other);
                    next.push_back(other);
                }
        };
        for (int32_t id : frontier) {
            if (upward) visit(parents, id);
            if (downward) visit(children, id);
        }
        frontier = std::move(next);
    }
    if (includeSeeds) reached.insert(seedIDs.begin(), seedIDs.end());
    for (int32_t id : reached)
        if (TVELNamedObject* object = model.FindByID(id)) result.push_back(object);
    std::sort(result.begin(), result.end(), byID);
    return result;
}

// ---- TVELDiagram -------------------------------------------------------------------------------

TVELDiagram::TVELDiagram(TVELDiagrams* owner) : Owner(owner), Selection(this) {
    if (!owner) ownPreferences_ = TVELDiagrams::DefaultDisplayPreferences();
}

TVELDiagram::~TVELDiagram() {
    // The objects leave their model objects' Links; nobody is told any more.
    OnInvalidate = nullptr;
    OnNameChanged = nullptr;
    Selection.OnChanged = nullptr;
    for (const auto& c : controls_)
        c->OnDestroying = nullptr;
    for (const auto& c : connectors_)
        c->OnDestroying = nullptr;
    Clear();
}

const TVELSettingsList& TVELDiagram::Preferences() const {
    return Owner ? Owner->DisplayPreferences : ownPreferences_;
}

void TVELDiagram::SetZoom(int percent) {
    percent = std::clamp(percent, 10, 1000);
    if (percent == Zoom) return;
    Zoom = percent;
    Selection.UpdateHandles();
    InvalidateRect(ToScreen({0, 0, MaxWidth, MaxHeight}));
}

void TVELDiagram::SetScroll(int x, int y) {
    if (x == ScrollX && y == ScrollY) return;
    ScrollX = x;
    ScrollY = y;
    Selection.UpdateHandles();
    InvalidateRect(ToScreen({0, 0, MaxWidth, MaxHeight}));
}

// ---- objects -------------------------------------------------------------------------------------

TDGObject* TVELDiagram::FindObjectOf(const TVELNamedObject* model) const {
    if (!model) return nullptr;
    for (TDGObject* link : model->Links)
        if (link->Diagram == this) return link;
    return nullptr;
}

TDGObject* TVELDiagram::FindByModelID(int32_t id) const {
    const auto it = byModelID_.find(id);
    if (it == byModelID_.end()) return nullptr;
    return it->second->ObjectID() == id ? it->second : nullptr;
}

void TVELDiagram::ReindexObjects() {
    byModelID_.clear();
    for (const auto& c : controls_)
        if (c->ModelObject) byModelID_.emplace(c->ObjectID(), c.get());
    for (const auto& c : connectors_)
        if (c->ModelObject) byModelID_.emplace(c->ObjectID(), c.get());
}

TDGControl* TVELDiagram::AddControl(std::unique_ptr<TDGControl> control, TVELNamedObject* model) {
    if (!control || FindObjectOf(model)) return nullptr;
    InvalidateRouter();
    TDGControl* box = control.get();
    box->Diagram = this;
    box->ModelObject = model;
    if (model) {
        model->Links.push_back(box);
        byModelID_.emplace(model->ID, box);
    }
    controls_.push_back(std::move(control));
    return box;
}

TDGConnector* TVELDiagram::AddConnector(std::unique_ptr<TDGConnector> connector, TVELNamedObject* model,
                                        TDGControl* from, TDGControl* to) {
    if (!connector || !from || !to || from->Diagram != this || to->Diagram != this || FindObjectOf(model))
        return nullptr;
    TDGConnector* line = connector.get();
    line->Diagram = this;
    line->ModelObject = model;
    line->FromControl = from;
    line->ToControl = to;
    from->Connections.push_back(line);
    if (to != from) to->Connections.push_back(line);
    if (model) {
        model->Links.push_back(line);
        byModelID_.emplace(model->ID, line);
    }
    connectors_.push_back(std::move(connector));
    return line;
}

void TVELDiagram::Unindex(TDGObject* object) {
    const auto it = byModelID_.find(object->ObjectID());
    if (it != byModelID_.end() && it->second == object) byModelID_.erase(it);
    if (highlightSet_.erase(object)) std::erase(Highlighted, object);
}

namespace {

// Erases the owned object from a list, searching from the end (the usual place of removals).
template <class T> void EraseOwned(std::vector<std::unique_ptr<T>>& list, const TDGObject* object) {
    for (auto it = list.end(); it != list.begin();) {
        --it;
        if (it->get() == object) {
            list.erase(it);
            return;
        }
    }
}

} // namespace

void TVELDiagram::RemoveObject(TDGObject* object) {
    if (!object || object->Diagram != this) return;
    if (object->OnDestroying) object->OnDestroying(object);
    auto* box = dynamic_cast<TDGControl*>(object);
    if (box)
        while (!box->Connections.empty())
            RemoveObject(box->Connections.back());
    Selection.Remove(object);
    object->Refresh();
    if (box) box->Visible = false;
    if (object->ModelObject) std::erase(object->ModelObject->Links, object);
    Unindex(object);
    if (auto* line = dynamic_cast<TDGConnector*>(object)) {
        if (line->FromControl) std::erase(line->FromControl->Connections, line);
        if (line->ToControl) std::erase(line->ToControl->Connections, line);
        EraseOwned(connectors_, line);
    } else {
        InvalidateRouter();
        EraseOwned(controls_, object);
    }
}

void TVELDiagram::Clear() {
    Selection.Clear();
    ClearHighlight();
    while (!connectors_.empty())
        RemoveObject(connectors_.back().get());
    while (!controls_.empty())
        RemoveObject(controls_.back().get());
}

// ---- geometry ------------------------------------------------------------------------------------

void TVELDiagram::ClampToBounds(TDGControl& box) const {
    InvalidateRouter(); // callers change boxes' geometry
    box.Width = std::min(box.Width, MaxWidth);
    box.Height = std::min(box.Height, MaxHeight);
    if (box.Left + box.Width > MaxWidth) box.Left = MaxWidth - box.Width;
    if (box.Top + box.Height > MaxHeight) box.Top = MaxHeight - box.Height;
    if (box.Left < 0) box.Left = 0;
    if (box.Top < 0) box.Top = 0;
}

TDGPos TVELDiagram::MoveControls(const std::vector<TDGControl*>& boxes, int dx, int dy) {
    if (boxes.empty()) return {};
    TDGRect bounds;
    for (const TDGControl* box : boxes)
        bounds = bounds.Union(box->BoundsRect());
    dx = std::max(dx, -bounds.Left);
    dx = std::min(dx, std::max(0, MaxWidth - bounds.Right));
    dy = std::max(dy, -bounds.Top);
    dy = std::min(dy, std::max(0, MaxHeight - bounds.Bottom));
    if (dx == 0 && dy == 0) return {};
    InvalidateRouter();
    const std::unordered_set<const TDGControl*> moved(boxes.begin(), boxes.end());
    std::vector<TDGConnector*> lines;
    std::unordered_set<const TDGConnector*> seen;
    for (TDGControl* box : boxes) {
        box->Refresh();
        box->Left += dx;
        box->Top += dy;
        box->Refresh();
        for (TDGConnector* line : box->Connections)
            if (seen.insert(line).second) lines.push_back(line);
    }
    for (TDGConnector* line : lines) {
        line->Refresh();
        // A line whose both ends moved keeps its shape: its corners move along.
        if (moved.count(line->FromControl) && moved.count(line->ToControl))
            for (TDGPoint& p : line->Points) {
                p.X += dx;
                p.Y += dy;
            }
        LayoutConnector(*line);
        line->Refresh();
    }
    Selection.UpdateHandles();
    return {dx, dy};
}

void TVELDiagram::SetControlBounds(TDGControl& box, int left, int top, int width, int height) {
    InvalidateRouter();
    box.Refresh();
    box.Left = left;
    box.Top = top;
    box.Width = std::max(1, width);
    box.Height = std::max(1, height);
    ClampToBounds(box);
    box.Refresh();
    LayoutConnectorsOf(box);
    Selection.UpdateHandles();
}

void TVELDiagram::ResizeByHandle(TDGControl& box, int kind, int dx, int dy) {
    constexpr int minimum = 10;
    int left = box.Left, top = box.Top, right = box.Right(), bottom = box.Bottom();
    if (kind == ghTopLeft || kind == ghMiddleLeft || kind == ghBottomLeft)
        left = std::min(left + dx, right - minimum);
    if (kind == ghTopRight || kind == ghMiddleRight || kind == ghBottomRight)
        right = std::max(right + dx, left + minimum);
    if (kind == ghTopLeft || kind == ghTopMiddle || kind == ghTopRight)
        top = std::min(top + dy, bottom - minimum);
    if (kind == ghBottomLeft || kind == ghBottomMiddle || kind == ghBottomRight)
        bottom = std::max(bottom + dy, top + minimum);
    SetControlBounds(box, left, top, right - left, bottom - top);
}

void TVELDiagram::LayoutConnectorsOf(const TDGControl& box) {
    for (TDGConnector* line : box.Connections) {
        line->Refresh();
        LayoutConnector(*line);
        line->Refresh();
    }
}

const TDGAutoRouter& TVELDiagram::AutoRouter() const {
    if (!router_) router_ = std::make_unique<TDGAutoRouter>(*this);
    return *router_;
}

void TVELDiagram::InvalidateRouter() const {
    router_.reset();
}

void TVELDiagram::RerouteAll() {
    InvalidateRouter();
    const TDGAutoRouter& router = AutoRouter();
    for (const auto& line : connectors_) {
        EnsurePointCount(*line);
        if (line->IsSelfReference())
            ApplySelfReferenceShape(*line);
        else if (line->Routing == drtAutoRouting)
            router.Route(*line);
        else
            RouteConnector(*line);
    }
    Selection.UpdateHandles();
    InvalidateRect(ToScreen({0, 0, MaxWidth, MaxHeight}));
}

TDGRect TVELDiagram::ContentBounds() const {
    TDGRect r;
    for (const auto& c : controls_)
        r = r.Union(c->BoundsRect());
    for (const auto& c : connectors_)
        r = r.Union(c->BoundsRect());
    return r;
}

// ---- hit testing ---------------------------------------------------------------------------------

TDGObject* TVELDiagram::ObjectAt(int screenX, int screenY) const {
    for (auto it = connectors_.rbegin(); it != connectors_.rend(); ++it)
        if ((*it)->HitTest(screenX, screenY)) return it->get();
    for (int layer = 1; layer >= 0; --layer)
        for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
            if ((*it)->PaintLayer() == layer && (*it)->HitTest(screenX, screenY)) return it->get();
    return nullptr;
}

std::vector<TDGObject*> TVELDiagram::ObjectsIn(const TDGRect& screenArea) const {
    std::vector<TDGObject*> r;
    for (const auto& c : controls_)
        if (c->Visible && c->ScreenRect().Intersects(screenArea)) r.push_back(c.get());
    for (const auto& c : connectors_)
        if (!c->Hidden && c->ScreenRect().Intersects(screenArea)) r.push_back(c.get());
    return r;
}

// ---- related controls ----------------------------------------------------------------------------

bool TVELDiagram::IsHighlighted(const TDGObject* object) const {
    return highlightSet_.count(object) > 0;
}

void TVELDiagram::ClearHighlight() {
    for (const TDGObject* o : Highlighted)
        o->Refresh();
    Highlighted.clear();
    highlightSet_.clear();
}

std::vector<TDGControl*> TVELDiagram::WalkRelated(const std::vector<TDGControl*>& start,
                                                  const std::unordered_set<const TDGObject*>& candidates,
                                                  int levels) const {
    std::vector<TDGControl*> taken;
    std::unordered_set<const TDGControl*> takenSet;
    const int limit = levels <= 0 ? INT_MAX : levels;
    // The recursive walk with an explicit stack: each frame is a box, the levels left below
    // it and the next of its lines to follow.
    struct Frame {
        const TDGControl* Box;
        int Left;
        size_t Next;
    };
    for (const TDGControl* from : start) {
        std::vector<Frame> stack{{from, limit, 0}};
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.Left <= 0 || top.Next >= top.Box->Connections.size()) {
                stack.pop_back();
                continue;
            }
            const TDGConnector* line = top.Box->Connections[top.Next++];
            TDGControl* other = line->FromControl == top.Box ? line->ToControl : line->FromControl;
            if (!other || !candidates.count(other) || !takenSet.insert(other).second) continue;
            taken.push_back(other);
            stack.push_back({other, top.Left - 1, 0});
        }
    }
    return taken;
}

namespace {

const TVELNamedObjectsList* ModelListOf(const TVELDiagram& diagram, const std::vector<TDGControl*>& boxes) {
    if (diagram.Owner && diagram.Owner->DataDictionary) return diagram.Owner->DataDictionary;
    for (const TDGControl* box : boxes)
        if (box->ModelObject && box->ModelObject->ContainingList()) return box->ModelObject->ContainingList();
    for (int i = 0; i < diagram.ControlCount(); ++i)
        if (const TVELNamedObject* m = diagram.Controls(i)->ModelObject)
            if (m->ContainingList()) return m->ContainingList();
    return nullptr;
}

// The boxes a related-controls command takes: the candidates reached from the selection.
std::vector<TDGControl*> RelatedBoxes(const TVELDiagram& diagram, int mode, int levels,
                                      const std::vector<TDGControl*>& selected,
                                      const TDGObjectFilter& filter) {
    if (mode == rmSelected) return selected;
    std::vector<TVELNamedObject*> seeds;
    for (const TDGControl* box : selected)
        if (box->ModelObject) seeds.push_back(box->ModelObject);
    const TVELNamedObjectsList* model = ModelListOf(diagram, selected);
    if (!model) return {};
    const std::vector<TVELNamedObject*> related =
        FindRelatedObjects(*model, seeds, mode, levels, false, filter);
    std::unordered_set<const TDGObject*> candidates;
    std::vector<TDGControl*> inOrder;
    for (const TVELNamedObject* object : related)
        if (auto* box = dynamic_cast<TDGControl*>(diagram.FindObjectOf(object))) {
            candidates.insert(box);
            inOrder.push_back(box);
        }
    if (mode == rmFilter) return inOrder;
    return diagram.WalkRelated(selected, candidates, mode == rmTransitive ? 0 : levels);
}

} // namespace

void TVELDiagram::SelectRelated(int mode, int levels, bool keepSelection, const TDGObjectFilter& filter) {
    const std::vector<TDGControl*> selected = Selection.Controls();
    if (selected.empty() && mode != rmFilter)
        throw EVELError("At least one object (entity, subcategory,...) must be selected to be able to select "
                        "related controls.");
    const std::vector<TDGControl*> related = RelatedBoxes(*this, mode, levels, selected, filter);
    if (!keepSelection) Selection.Clear();
    for (TDGControl* box : related)
        Selection.Add(box);
}

void TVELDiagram::HighlightRelated(int mode, int levels, bool keepSelection, const TDGObjectFilter& filter) {
    const std::vector<TDGControl*> selected = Selection.Controls();
    if (selected.empty() && mode != rmFilter) {
        if (mode == rmSelected)
            throw EVELError("At least one object (entity, subcategory,...) must be selected to be able to "
                            "highlight selected controls.");
        throw EVELError(
            "At least one object (entity, subcategory,...) must be selected to be able to highlight "
            "related controls.");
    }
    std::vector<TDGControl*> boxes = RelatedBoxes(*this, mode, levels, selected, filter);
    if (!keepSelection && mode != rmSelected)
        for (TDGControl* box : selected)
            boxes.push_back(box);
    ClearHighlight();
    for (TDGControl* box : boxes)
        if (highlightSet_.insert(box).second) {
            Highlighted.push_back(box);
            box->Refresh();
        }
}

// ---- content -------------------------------------------------------------------------------------

void TVELDiagram::ApplySettingsTo(TDGObject& object) const {
    if (auto* entity = dynamic_cast<TDGEntityControl*>(&object)) {
        entity->DisplayLevel = DisplayLevel;
        entity->IndexDisplay = IndexesToDisplay;
        entity->ShowIndexNumbers = ShowIndexIndicator;
        entity->ShowPKIndicator = ShowPKIndicator;
        entity->ShowFKIndicator = ShowFKIndicator;
        entity->ShowNotNullIndicator = ShowNotNullIndicator;
        entity->ShowDataTypes = VisibleAttributes == 0;
        entity->CaptionStyle = EntityCaptionStyle;
    } else if (auto* rel = dynamic_cast<TDGRelationshipConnector*>(&object)) {
        rel->CaptionMode = CaptionStyle;
    }
}

void TVELDiagram::ApplySettings() {
    std::optional<TVELDataDictionary::TBulkScope> bulk;
    if (Owner && Owner->DataDictionary) bulk.emplace(*Owner->DataDictionary);
    for (const auto& c : controls_)
        ApplySettingsTo(*c);
    for (const auto& c : connectors_)
        ApplySettingsTo(*c);
    RebuildAll();
    for (const auto& c : controls_) {
        const TDGRect before = c->BoundsRect();
        c->RecomputeSize();
        if (c->BoundsRect() != before) LayoutConnectorsOf(*c);
    }
    Selection.UpdateHandles();
    InvalidateRect(ToScreen({0, 0, MaxWidth, MaxHeight}));
}

void TVELDiagram::RebuildAll() {
    for (const auto& c : controls_)
        c->Rebuild();
    for (const auto& c : connectors_)
        c->Rebuild();
}

void TVELDiagram::Paint(TDGPaintList& out, const TDGRect* screenArea) const {
    out.Zoom = Zoom;
    // Objects reach a little past their bounds (end symbols, highlight, handles).
    auto shown = [screenArea](const TDGRect& r) {
        return !screenArea || r.Inflated(TDGConnector::SymbolLength + 8).Intersects(*screenArea);
    };
    TDGPen none;
    none.Style = psClear;
    out.AddRectangle(ToScreen({0, 0, MaxWidth, MaxHeight}), none, {bsSolid, BackgroundColor});
    for (int layer = 0; layer <= 1; ++layer)
        for (const auto& c : controls_)
            if (c->Visible && c->PaintLayer() == layer && shown(c->ScreenRect())) c->Paint(out);
    for (const auto& c : connectors_)
        if (shown(c->ScreenRect())) c->Paint(out);
    TDGPen highlight;
    highlight.Color = clHighlight;
    for (const TDGObject* o : Highlighted)
        if (shown(o->ScreenRect())) out.AddRectangle(o->ScreenRect().Inflated(3), highlight, {bsClear, 0});
    TDGPen handlePen;
    handlePen.Width = 1;
    handlePen.Color = clBlack;
    for (const auto& h : Selection.Handles())
        if (shown(h.Rect)) out.AddRectangle(h.Rect, handlePen, {bsSolid, clBlack});
}

// ---- stored form ---------------------------------------------------------------------------------

std::string TVELDiagram::SaveToMarkup() const {
    std::string r;
    AppendElement(r, "ID", IntToStr(DiagramID));
    AppendElement(r, "NAME", Name);
    AppendElement(r, "DESC", Description);
    AppendElement(r, "TODO", ToDo);
    AppendElement(r, "ISMAINDIAGRAM", BoolStr(IsMainDiagram));
    AppendElement(r, "BGCOLOR", IntToStr(BackgroundColor));
    AppendElement(r, "DISPLAYLEVEL", IntToStr(DisplayLevel));
    AppendElement(r, "INDEXESTODISPLAY", IntToStr(IndexesToDisplay));
    AppendElement(r, "VISIBLEATTR", IntToStr(VisibleAttributes));
    AppendElement(r, "CAPTIONSTYLE", IntToStr(CaptionStyle));
    AppendElement(r, "SHOWPKINDICATOR", BoolStr(ShowPKIndicator));
    AppendElement(r, "SHOWFKINDICATOR", BoolStr(ShowFKIndicator));
    AppendElement(r, "SHOWNOTNULLINDICATOR", BoolStr(ShowNotNullIndicator));
    AppendElement(r, "SHOWINDEXINDICATOR", BoolStr(ShowIndexIndicator));
    AppendElement(r, "ENTCAPTSTYLE", IntToStr(EntityCaptionStyle));
    AppendElement(r, "NOTATION", IntToStr(Notation));
    return r;
}

void TVELDiagram::LoadFromMarkup(std::string_view text) {
    auto number = [&](const char* tag, int def) {
        return StrToIntDef(ReadElement(tag, text, IntToStr(def)), def);
    };
    DiagramID = number("ID", 1);
    Name = ReadElementText("NAME", text);
    Description = ReadElementText("DESC", text);
    ToDo = ReadElementText("TODO", text);
    IsMainDiagram = ReadElementBool("ISMAINDIAGRAM", text, false);
    BackgroundColor = number("BGCOLOR", DefaultBackgroundColor);
    DisplayLevel = number("DISPLAYLEVEL", 0);
    IndexesToDisplay = number("INDEXESTODISPLAY", 0);
    VisibleAttributes = number("VISIBLEATTR", 0);
    CaptionStyle = number("CAPTIONSTYLE", 0);
    ShowPKIndicator = ReadElementBool("SHOWPKINDICATOR", text, true);
    ShowFKIndicator = ReadElementBool("SHOWFKINDICATOR", text, true);
    ShowNotNullIndicator = ReadElementBool("SHOWNOTNULLINDICATOR", text, true);
    ShowIndexIndicator = ReadElementBool("SHOWINDEXINDICATOR", text, true);
    EntityCaptionStyle = number("ENTCAPTSTYLE", 0);
    Notation = number("NOTATION", 0);
}

} // namespace ardvin
