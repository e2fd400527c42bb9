// Diagram objects: the drawing attributes as plain values with their stored texts, the
// geometry types, the paint list handed to a painter, and the common base of boxes and lines.
// Nothing here draws: painting fills a list of items in screen coordinates.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zNamedObject.h"

namespace ardvin {

class TVELDiagram;
class TDGConnector;

// ---- colours ---------------------------------------------------------------------------------

// A colour number 0x00BBGGRR; numbers with the top bit set name system colours.
using TColor = int32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clNone = 0x1FFFFFFF;

TColor RGBColor(int red, int green, int blue);
// The colour's name (clBlack, clWindowText, ...) or "$" and eight hexadecimal digits.
std::string ColorToText(TColor color);
// Reads a colour name, "$" with hexadecimal digits or a decimal number; false leaves color alone.
bool TextToColor(std::string_view text, TColor& color);
// A plain 0x00BBGGRR colour for painting: system colours resolve to their usual values.
TColor ResolveColor(TColor color);

// ---- pen, brush, font ------------------------------------------------------------------------

enum TDGPenStyle : int { psSolid = 0, psDash = 1, psDot = 2, psDashDot = 3, psDashDotDot = 4, psClear = 5 };
enum TDGBrushStyle : int { bsSolid = 0, bsClear = 1 };
inline constexpr int pmCopy = 4; // the pen mode that paints the pen colour

struct TDGPen {
    int Style = psSolid;
    int Width = 2;
    int Mode = pmCopy;
    TColor Color = clYellow;

    // "style,width,mode,colour"
    std::string ToText() const;
    // False (and the pen unchanged) when the text is not four integers.
    bool FromText(std::string_view text);
    bool operator==(const TDGPen&) const = default;
};

struct TDGBrush {
    int Style = bsSolid;
    TColor Color = clSilver;

    std::string ToText() const; // "style,colour"
    bool FromText(std::string_view text);
    bool operator==(const TDGBrush&) const = default;
};

struct TDGFont {
    std::string Name = "Arial";
    int Size = 8; // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    int Pitch = 0;
    TColor Color = clWindowText;

    // "face,size,styles,pitch,colour,0", styles as the letters B, I, U, S in this order.
    std::string ToText() const;
    // False (and the font unchanged) when the text is not of that form. A face name may hold
    // commas: the five fields after it are taken from the end.
    bool FromText(std::string_view text);
    bool operator==(const TDGFont&) const = default;
};

// ---- geometry ----------------------------------------------------------------------------------

struct TDGPos {
    int X = 0;
    int Y = 0;
    bool operator==(const TDGPos&) const = default;
};

// A rectangle holding the points Left <= x < Right, Top <= y < Bottom.
struct TDGRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    static TDGRect FromSize(int left, int top, int width, int height) {
        return {left, top, left + width, top + height};
    }
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    TDGRect Inflated(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
    TDGRect Inflated(int d) const { return Inflated(d, d); }
    TDGRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    bool Intersects(const TDGRect& r) const {
        return Left < r.Right && r.Left < Right && Top < r.Bottom && r.Top < Bottom;
    }
    TDGRect Union(const TDGRect& r) const;
    bool operator==(const TDGRect&) const = default;
};

// A union of rectangles.
struct TDGRegion {
    std::vector<TDGRect> Rects;
    bool Contains(int x, int y) const;
};

// A corner of a connector. Horizontal tells whether the segment that ends in this point runs
// horizontally (else vertically); the first point's flag has no segment and is not used.
struct TDGPoint {
    int X = 0;
    int Y = 0;
    bool Horizontal = true;
    bool operator==(const TDGPoint&) const = default;
};

// Integer a / b rounded to the nearest, halves away from zero; 0 when b is 0.
int RoundDiv(int64_t a, int64_t b);

// Calls fn with the raw content of every element with the tag, in text order; an element
// without its close tag ends the walk.
void ForEachElement(std::string_view tag, std::string_view text,
                    const std::function<void(const std::string&)>& fn);

// ---- paint list --------------------------------------------------------------------------------

enum class TDGPaintKind { Rectangle, Line, Ellipse, Polygon, Text, Image };
enum TDGTextAlign : int { taLeft = 0, taRight = 1, taCenter = 2 };

// One drawing step, in screen coordinates (zoom and scroll applied).
struct TDGPaintItem {
    TDGPaintKind Kind = TDGPaintKind::Rectangle;
    TDGRect Rect;               // rectangle, ellipse, text box, image box
    std::vector<TDGPos> Points; // polyline (Line) or polygon corners
    TDGPen Pen;                 // psClear: no outline
    TDGBrush Brush;             // bsClear: no fill
    TDGFont Font;               // text; the painter scales its size by the list's zoom
    std::string Text;           // text, or the name of an image
    int Align = taLeft;         // text alignment inside Rect
};

struct TDGPaintList {
    int Zoom = 100;
    std::vector<TDGPaintItem> Items;

    TDGPaintItem& AddRectangle(const TDGRect& r, const TDGPen& pen, const TDGBrush& brush);
    TDGPaintItem& AddEllipse(const TDGRect& r, const TDGPen& pen, const TDGBrush& brush);
    TDGPaintItem& AddLine(std::vector<TDGPos> points, const TDGPen& pen);
    TDGPaintItem& AddPolygon(std::vector<TDGPos> points, const TDGPen& pen, const TDGBrush& brush);
    TDGPaintItem& AddText(const TDGRect& r, std::string text, const TDGFont& font, int align = taLeft);
    TDGPaintItem& AddImage(const TDGRect& r, std::string name);
    // Items of one kind, in order (convenience for callers that check a painting).
    std::vector<const TDGPaintItem*> OfKind(TDGPaintKind kind) const;
    std::vector<std::string> Texts() const;
};

// ---- diagram objects ---------------------------------------------------------------------------

// Everything drawn on a diagram. It shows a model object that it does not own; the model
// object lists it in its Links. Objects are owned by their diagram, which creates and removes
// them (TVELDiagram::AddControl, AddConnector, RemoveObject).
class TDGObject {
public:
    explicit TDGObject(TVELDiagram* diagram) : Diagram(diagram) {}
    virtual ~TDGObject() = default;
    TDGObject(const TDGObject&) = delete;
    TDGObject& operator=(const TDGObject&) = delete;

    TVELDiagram* Diagram;
    TDGPen Pen;
    TDGFont Font;
    TVELNamedObject* ModelObject = nullptr; // not owned; set by the diagram
    std::string Tag;                        // element of the stored form
    std::function<void(TDGObject*)> OnDestroying;

    // The model object's identifier, -1 without one.
    int32_t ObjectID() const { return ModelObject ? ModelObject->ID : -1; }
    virtual bool IsConnector() const = 0;
    // The box, or the bounding rectangle of a line's points, in diagram units.
    virtual TDGRect BoundsRect() const = 0;
    int GetLeft() const { return BoundsRect().Left; }
    int GetTop() const { return BoundsRect().Top; }
    int GetWidth(bool plus4 = false) const { return BoundsRect().Width() + (plus4 ? 4 : 0); }
    int GetHeight(bool plus4 = false) const { return BoundsRect().Height() + (plus4 ? 4 : 0); }
    // The bounds zoomed and scrolled.
    TDGRect ScreenRect() const;
    // Whether a click at a screen position hits the object.
    virtual bool HitTest(int screenX, int screenY) const = 0;

    // The stored form: the content of the object's element, and the element as a whole.
    virtual std::string SaveToMarkup() const = 0;
    // Reads everything but ID and DIAGRAMID, which place the object (TVELDiagrams).
    virtual void LoadFromMarkup(std::string_view text) = 0;
    std::string SaveToMarkupElement() const { return WrapSection(Tag, SaveToMarkup()); }

    // Asks the diagram to repaint the object's area.
    void Refresh() const;
    // Rebuilds content taken from the model object (lines, captions).
    virtual void Rebuild() {}
    virtual void Paint(TDGPaintList& out) const = 0;

protected:
    // ID and DIAGRAMID, the first elements of every stored form.
    void AppendPlacement(std::string& out) const;
};

class TDGControl : public TDGObject {
public:
    explicit TDGControl(TVELDiagram* diagram) : TDGObject(diagram) {}

    TDGBrush Brush;
    int Left = 30;
    int Top = 30;
    int Width = 100;
    int Height = 100;
    bool AutoSize = false;
    bool Transparent = false;
    bool Visible = true;
    // The lines that end at this box (kept by the diagram), not owned.
    std::vector<TDGConnector*> Connections;

    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
    bool IsConnector() const override { return false; }
    TDGRect BoundsRect() const override { return TDGRect::FromSize(Left, Top, Width, Height); }
    bool HitTest(int screenX, int screenY) const override;
    // Group boxes lie under everything else (layer 0); other boxes use layer 1.
    virtual int PaintLayer() const { return 1; }

    std::string SaveToMarkup() const override;
    void LoadFromMarkup(std::string_view text) override;
    // Width and height from the content, for boxes with AutoSize.
    virtual void RecomputeSize() {}

protected:
    // Elements of a subclass, written after the box elements, and read back.
    virtual void SaveExtra(std::string& out) const { (void)out; }
    virtual void LoadExtra(std::string_view text) { (void)text; }
    // Reads the FONT element; entity boxes take their fonts from the preferences instead.
    virtual void LoadFont(std::string_view text);
    // The box outline and fill, zoomed.
    void PaintFrame(TDGPaintList& out) const;
};

enum TDGRouting : int { drtAutoRouting = 0, drtLeftRight = 1, drtTopBottom = 2 };

class TDGConnector : public TDGObject {
public:
    explicit TDGConnector(TVELDiagram* diagram);

    std::vector<TDGPoint> Points;
    int FromRelativeX = 5000; // ten-thousandths of the "from" box's width
    int FromRelativeY = 5000;
    int ToRelativeX = 5000;
    int ToRelativeY = 5000;
    int Routing = drtAutoRouting;
    bool Hidden = false;
    TDGControl* FromControl = nullptr; // parent side
    TDGControl* ToControl = nullptr;   // child side

    // Units from an end point along the line, and to each side, that its end symbol covers.
    static constexpr int SymbolLength = 16;
    static constexpr int SymbolHalfWidth = 8;
    // Half the width of the band around each segment that a click must hit.
    static constexpr int HitDistance = 7;

    bool IsSelfReference() const { return FromControl && FromControl == ToControl; }
    bool IsConnector() const override { return true; }
    TDGRect BoundsRect() const override;
    bool HitTest(int screenX, int screenY) const override;
    // The screen region a click must hit: a band around every segment and the end symbols.
    TDGRegion HitRegion() const;
    // The segment whose band holds a screen position, or -1.
    int SegmentAt(int screenX, int screenY) const;
    // The areas of the end symbols at the first and the last point, in diagram units.
    std::vector<TDGRect> EndSymbolRects() const;

    std::string SaveToMarkup() const override;
    void LoadFromMarkup(std::string_view text) override;
    void Paint(TDGPaintList& out) const override;

    // The segment directions derived from the coordinates (after reading points).
    void DeriveDirections();

protected:
    // The screen polyline of the points.
    std::vector<TDGPos> ScreenPoints() const;
};

// Routing texts of the stored form.
std::string RoutingToText(int routing);
int TextToRouting(std::string_view text);

} // namespace ardvin
