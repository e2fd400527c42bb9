// One diagram: a drawing surface with its boxes and lines, zoom and scroll, the selection, the
// display settings stored with it, hit testing, moving and the walk over related boxes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dgSelection.h"
#include "dgbase.h"
#include "zTextMeasure.h"

namespace ardvin {

class TVELDiagrams;
class TVELDataDictionary;
class TDGAutoRouter;

// Modes of the related-objects search: parents, children, both, the whole connected set, the
// objects passing a filter (no selection needed), and the selection itself.
enum TDGRelatedMode : int {
    rmParents = 0,
    rmChildren = 1,
    rmParentsAndChildren = 2,
    rmTransitive = 3,
    rmFilter = 4,
    rmSelected = 5,
};

using TDGObjectFilter = std::function<bool(const TVELNamedObject* object)>;

// The relation search over a model: the objects joined to the seeds by connections (objects that
// report connection ends: relationships, subcategory connections), following parents, children
// or both, up to a number of levels (levels <= 0 or mode rmTransitive: no limit). The result is
// ordered by identifier; the seeds are in it only with includeSeeds, even where one seed is
// related to another. In mode rmFilter the result
// is every object of the model that passes the filter; in mode rmSelected the seeds themselves.
std::vector<TVELNamedObject*> FindRelatedObjects(const TVELNamedObjectsList& model,
                                                 const std::vector<TVELNamedObject*>& seeds, int mode,
                                                 int levels, bool includeSeeds,
                                                 const TDGObjectFilter& filter = {});

class TVELDiagram {
public:
    explicit TVELDiagram(TVELDiagrams* owner = nullptr);
    ~TVELDiagram();
    TVELDiagram(const TVELDiagram&) = delete;
    TVELDiagram& operator=(const TVELDiagram&) = delete;

    TVELDiagrams* Owner;

    // ---- stored fields ----
    int32_t DiagramID = 0;
    std::string Name;
    std::string Description;
    std::string ToDo;
    bool IsMainDiagram = false;
    TColor BackgroundColor = DefaultBackgroundColor;
    int DisplayLevel = 0;
    int IndexesToDisplay = 0;
    int VisibleAttributes = 0;
    int CaptionStyle = 0;
    bool ShowPKIndicator = true;
    bool ShowFKIndicator = true;
    bool ShowNotNullIndicator = false;
    bool ShowIndexIndicator = true;
    int EntityCaptionStyle = 0;
    int Notation = 0;

    static constexpr TColor DefaultBackgroundColor = 8421440;
    static constexpr int DefaultWidth = 13600;
    static constexpr int DefaultHeight = 11600;

    // ---- view state, not stored ----
    int MaxWidth = DefaultWidth;
    int MaxHeight = DefaultHeight;
    int Zoom = 100; // percent
    int ScrollX = 0;
    int ScrollY = 0;
    int Tool = 0;   // pending drawing tool of the editor, 0 none
    int Cursor = 0; // cursor shape of the editor, 0 default
    // Paper for printing, from the display preferences; sizes in millimetres.
    int PaperOrientation = 0;
    int PaperSize = 0;
    int PaperWidth = 212;
    int PaperHeight = 279;
    TDGSelection Selection;

    std::function<void(TVELDiagram* diagram, const std::string& oldName)> OnNameChanged;
    // Receives every area (screen coordinates) that must be repainted.
    std::function<void(const TDGRect& area)> OnInvalidate;

    // ---- zoom and scroll ----
    int ToScreenX(int x) const { return x * Zoom / 100 - ScrollX; }
    int ToScreenY(int y) const { return y * Zoom / 100 - ScrollY; }
    int ToDiagramX(int screenX) const { return (screenX + ScrollX) * 100 / Zoom; }
    int ToDiagramY(int screenY) const { return (screenY + ScrollY) * 100 / Zoom; }
    int ScaleLength(int length) const { return length * Zoom / 100; }
    TDGRect ToScreen(const TDGRect& r) const {
        return {ToScreenX(r.Left), ToScreenY(r.Top), ToScreenX(r.Right), ToScreenY(r.Bottom)};
    }
    // Zoom in percent, 10 to 1000; grab handles follow.
    void SetZoom(int percent);
    void SetScroll(int x, int y);
    void InvalidateRect(const TDGRect& screenArea) const {
        if (OnInvalidate && !screenArea.IsEmpty()) OnInvalidate(screenArea);
    }
    void ResetTool() {
        Tool = 0;
        Cursor = 0;
    }

    // ---- objects ----
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TDGControl* Controls(int index) const { return controls_.at(index).get(); }
    int ConnectorCount() const { return static_cast<int>(connectors_.size()); }
    TDGConnector* Connectors(int index) const { return connectors_.at(index).get(); }
    // Takes a new box showing a model object: it joins the control list, the object's Links
    // and the identifier index. Returns nullptr (and drops the box) when the diagram shows
    // the object already.
    TDGControl* AddControl(std::unique_ptr<TDGControl> control, TVELNamedObject* model);
    // Takes a new line between two boxes of this diagram, likewise.
    TDGConnector* AddConnector(std::unique_ptr<TDGConnector> connector, TVELNamedObject* model,
                               TDGControl* from, TDGControl* to);
    // Removes and frees an object: destroying handler, selection, repaint, Links, lists. A box
    // takes the lines that end at it along.
    void RemoveObject(TDGObject* object);
    // Removes every object, lines first.
    void Clear();
    // The object that shows the model object with that identifier, or nullptr.
    TDGObject* FindByModelID(int32_t id) const;
    TDGControl* FindControl(int32_t id) const { return dynamic_cast<TDGControl*>(FindByModelID(id)); }
    // The object that shows a model object, or nullptr.
    TDGObject* FindObjectOf(const TVELNamedObject* model) const;
    // Rebuilds the identifier index (after model identifiers changed).
    void ReindexObjects();

    // ---- geometry ----
    // Keeps a box inside the diagram: one reaching past the right or bottom edge moves left or
    // up, a negative position becomes 0; a box larger than the diagram is cut to its size.
    void ClampToBounds(TDGControl& box) const;
    // Moves boxes together by a distance in diagram units, limited so that all stay inside
    // the diagram; lines at them are laid out again. Returns the distance moved.
    TDGPos MoveControls(const std::vector<TDGControl*>& boxes, int dx, int dy);
    // Sets a box's position and size (clamped); its lines are laid out again.
    void SetControlBounds(TDGControl& box, int left, int top, int width, int height);
    // Resizes a box by dragging a grab handle of the given kind by a distance in diagram units.
    void ResizeByHandle(TDGControl& box, int kind, int dx, int dy);
    // Lays out every line that ends at a box.
    void LayoutConnectorsOf(const TDGControl& box);
    // Routes every line anew (after an auto layout): self-references get their loop shape.
    void RerouteAll();
    // The automatic router over the current boxes, built on first use and kept until boxes are
    // added, moved, resized or removed through the diagram.
    const TDGAutoRouter& AutoRouter() const;
    void InvalidateRouter() const;
    // The bounding rectangle of all objects, in diagram units.
    TDGRect ContentBounds() const;

    // ---- hit testing ----
    // The topmost object at a screen position: lines first, then boxes from the top layer down.
    TDGObject* ObjectAt(int screenX, int screenY) const;
    // Every visible object whose screen area meets a rectangle (rubber-band selection).
    std::vector<TDGObject*> ObjectsIn(const TDGRect& screenArea) const;

    // ---- related controls ----
    std::vector<TDGObject*> Highlighted;
    bool IsHighlighted(const TDGObject* object) const;
    void ClearHighlight();
    // The boxes reached from the selected boxes over lines whose other end is among the
    // candidates, up to levels deep (levels <= 0: no limit), each once, in walk order.
    std::vector<TDGControl*> WalkRelated(const std::vector<TDGControl*>& start,
                                         const std::unordered_set<const TDGObject*>& candidates,
                                         int levels) const;
    // Selects the boxes related to the selection (see FindRelatedObjects for the modes); without
    // keepSelection the selection is cleared first. Raises EVELError without a selection
    // (except in mode rmFilter).
    void SelectRelated(int mode, int levels, bool keepSelection, const TDGObjectFilter& filter = {});
    // Highlights the related boxes instead; mode rmSelected highlights the selected boxes;
    // without keepSelection the selected boxes are highlighted too.
    void HighlightRelated(int mode, int levels, bool keepSelection, const TDGObjectFilter& filter = {});

    // ---- content ----
    // Pushes the diagram's display settings to its objects and rebuilds them; boxes with
    // AutoSize take their new size.
    void ApplySettings();
    // Pushes the display settings to one object, without rebuilding it.
    void ApplySettingsTo(TDGObject& object) const;
    // Rebuilds every object's content from its model object.
    void RebuildAll();
    const TTextMeasure& TextMeasure() const { return measure_ ? *measure_ : fallbackMeasure_; }
    // Real font metrics of a user interface; nullptr returns to the built-in measure.
    void SetTextMeasure(const TTextMeasure* measure) { measure_ = measure; }
    // The display preferences of the collection; a diagram on its own has the defaults.
    const TVELSettingsList& Preferences() const;
    // Paints the background, group boxes, other boxes, lines, highlights and grab handles;
    // with an area (screen coordinates) only the objects that may reach into it.
    void Paint(TDGPaintList& out, const TDGRect* screenArea = nullptr) const;

    // ---- stored form: the content of the DIAGRAM element ----
    std::string SaveToMarkup() const;
    void LoadFromMarkup(std::string_view text);

private:
    void Unindex(TDGObject* object);
    std::vector<std::unique_ptr<TDGControl>> controls_;
    std::vector<std::unique_ptr<TDGConnector>> connectors_;
    std::unordered_map<int32_t, TDGObject*> byModelID_;
    std::unordered_set<const TDGObject*> highlightSet_;
    const TTextMeasure* measure_ = nullptr;
    TFontSizeTextMeasure fallbackMeasure_;
    TVELSettingsList ownPreferences_; // only without an owner
    mutable std::unique_ptr<TDGAutoRouter> router_;
};

} // namespace ardvin
