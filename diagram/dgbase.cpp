#include "dgbase.h"

#include <algorithm>
#include <cstdlib>

#include "zDiagram.h"

namespace ardvin {

// ---- colours ---------------------------------------------------------------------------------

namespace {

struct NamedColor {
    const char* Name;
    TColor Value;
};

constexpr NamedColor ColorNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clScrollBar", clSystemColor | 0},
    {"clBackground", clSystemColor | 1},
    {"clActiveCaption", clSystemColor | 2},
    {"clInactiveCaption", clSystemColor | 3},
    {"clMenu", clSystemColor | 4},
    {"clWindow", clWindow},
    {"clWindowFrame", clSystemColor | 6},
    {"clMenuText", clSystemColor | 7},
    {"clWindowText", clWindowText},
    {"clCaptionText", clSystemColor | 9},
    {"clActiveBorder", clSystemColor | 10},
    {"clInactiveBorder", clSystemColor | 11},
    {"clAppWorkSpace", clSystemColor | 12},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clSystemColor | 16},
    {"clGrayText", clGrayText},
    {"clBtnText", clSystemColor | 18},
    {"clInactiveCaptionText", clSystemColor | 19},
    {"clBtnHighlight", clSystemColor | 20},
    {"clInfoText", clSystemColor | 23},
    {"clInfoBk", clSystemColor | 24},
    {"clNone", clNone},
};

// Usual values of the system colours, by their index.
constexpr TColor SystemColorValues[] = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000,
    0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D,
    0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xE1FFFF,
};

// The integers of a comma-separated text; false when it has not exactly n integer fields.
bool ParseIntegers(std::string_view text, size_t n, std::vector<int32_t>& out) {
    const std::vector<std::string> fields = SplitString(text, ',');
    if (fields.size() != n) return false;
    out.resize(n);
    for (size_t i = 0; i < n; ++i)
        if (!TryStrToInt(fields[i], out[i])) return false;
    return true;
}

} // namespace

TColor RGBColor(int red, int green, int blue) {
    return static_cast<TColor>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

std::string ColorToText(TColor color) {
    for (const auto& c : ColorNames)
        if (c.Value == color) return c.Name;
    return Format("$%08X", static_cast<uint32_t>(color));
}

bool TextToColor(std::string_view text, TColor& color) {
    const std::string t = Trim(text);
    for (const auto& c : ColorNames)
        if (SameText(t, c.Name)) {
            color = c.Value;
            return true;
        }
    if (t.size() > 1 && t[0] == '$') {
        if (t.size() > 9) return false;
        uint32_t v = 0;
        for (size_t i = 1; i < t.size(); ++i) {
            const char ch = t[i];
            int digit;
            if (ch >= '0' && ch <= '9')
                digit = ch - '0';
            else if (ch >= 'a' && ch <= 'f')
                digit = ch - 'a' + 10;
            else if (ch >= 'A' && ch <= 'F')
                digit = ch - 'A' + 10;
            else
                return false;
            v = v * 16 + static_cast<uint32_t>(digit);
        }
        color = static_cast<TColor>(v);
        return true;
    }
    int32_t v = 0;
    if (!TryStrToInt(t, v)) return false;
    color = v;
    return true;
}

TColor ResolveColor(TColor color) {
    if ((color & clSystemColor) == 0) return color & 0xFFFFFF;
    const int index = color & 0xFF;
    if (index < static_cast<int>(std::size(SystemColorValues))) return SystemColorValues[index];
    return clBlack;
}

// ---- pen, brush, font ------------------------------------------------------------------------

std::string TDGPen::ToText() const {
    return Format("%d,%d,%d,%d", Style, Width, Mode, Color);
}

bool TDGPen::FromText(std::string_view text) {
    std::vector<int32_t> v;
    if (!ParseIntegers(text, 4, v)) return false;
    Style = v[0];
    Width = v[1];
    Mode = v[2];
    Color = v[3];
    return true;
}

std::string TDGBrush::ToText() const {
    return Format("%d,%d", Style, Color);
}

bool TDGBrush::FromText(std::string_view text) {
    std::vector<int32_t> v;
    if (!ParseIntegers(text, 2, v)) return false;
    Style = v[0];
    Color = v[1];
    return true;
}

std::string TDGFont::ToText() const {
    std::string styles;
    if (Bold) styles += 'B';
    if (Italic) styles += 'I';
    if (Underline) styles += 'U';
    if (StrikeOut) styles += 'S';
    return Name + "," + IntToStr(Size) + "," + styles + "," + IntToStr(Pitch) + "," + ColorToText(Color) +
           ",0";
}

bool TDGFont::FromText(std::string_view text) {
    std::vector<std::string> fields = SplitString(text, ',');
    if (fields.size() < 6) return false;
    const size_t n = fields.size();
    int32_t size = 0, pitch = 0;
    TColor color = 0;
    if (!TryStrToInt(fields[n - 5], size) || !TryStrToInt(fields[n - 3], pitch) ||
        !TextToColor(fields[n - 2], color))
        return false;
    bool b = false, i = false, u = false, s = false;
    for (char c : fields[n - 4]) {
        switch (UpperChar(c)) {
        case 'B':
            b = true;
            break;
        case 'I':
            i = true;
            break;
        case 'U':
            u = true;
            break;
        case 'S':
            s = true;
            break;
        case ' ':
            break;
        default:
            return false;
        }
    }
    fields.resize(n - 5);
    Name = JoinStrings(fields, ",");
    Size = size;
    Bold = b;
    Italic = i;
    Underline = u;
    StrikeOut = s;
    Pitch = pitch;
    Color = color;
    return true;
}

// ---- geometry ----------------------------------------------------------------------------------

TDGRect TDGRect::Union(const TDGRect& r) const {
    if (IsEmpty()) return r;
    if (r.IsEmpty()) return *this;
    return {std::min(Left, r.Left), std::min(Top, r.Top), std::max(Right, r.Right),
            std::max(Bottom, r.Bottom)};
}

bool TDGRegion::Contains(int x, int y) const {
    return std::any_of(Rects.begin(), Rects.end(), [&](const TDGRect& r) { return r.Contains(x, y); });
}

int RoundDiv(int64_t a, int64_t b) {
    if (b == 0) return 0;
    if (b < 0) {
        a = -a;
        b = -b;
    }
    const int64_t q = a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
    return static_cast<int>(q);
}

void ForEachElement(std::string_view tag, std::string_view text,
                    const std::function<void(const std::string&)>& fn) {
    size_t pos = 0;
    for (;;) {
        const size_t before = pos;
        const std::string content = ReadElement(tag, pos, text);
        if (pos == before) return;
        fn(content);
    }
}

// ---- paint list --------------------------------------------------------------------------------

TDGPaintItem& TDGPaintList::AddRectangle(const TDGRect& r, const TDGPen& pen, const TDGBrush& brush) {
    TDGPaintItem& item = Items.emplace_back();
    item.Kind = TDGPaintKind::Rectangle;
    item.Rect = r;
    item.Pen = pen;
    item.Brush = brush;
    return item;
}

TDGPaintItem& TDGPaintList::AddEllipse(const TDGRect& r, const TDGPen& pen, const TDGBrush& brush) {
    TDGPaintItem& item = AddRectangle(r, pen, brush);
    item.Kind = TDGPaintKind::Ellipse;
    return item;
}

TDGPaintItem& TDGPaintList::AddLine(std::vector<TDGPos> points, const TDGPen& pen) {
    TDGPaintItem& item = Items.emplace_back();
    item.Kind = TDGPaintKind::Line;
    item.Points = std::move(points);
    item.Pen = pen;
    item.Brush.Style = bsClear;
    return item;
}

TDGPaintItem& TDGPaintList::AddPolygon(std::vector<TDGPos> points, const TDGPen& pen, const TDGBrush& brush) {
    TDGPaintItem& item = Items.emplace_back();
    item.Kind = TDGPaintKind::Polygon;
    item.Points = std::move(points);
    item.Pen = pen;
    item.Brush = brush;
    return item;
}

TDGPaintItem& TDGPaintList::AddText(const TDGRect& r, std::string text, const TDGFont& font, int align) {
    TDGPaintItem& item = Items.emplace_back();
    item.Kind = TDGPaintKind::Text;
    item.Rect = r;
    item.Text = std::move(text);
    item.Font = font;
    item.Align = align;
    item.Brush.Style = bsClear;
    return item;
}

TDGPaintItem& TDGPaintList::AddImage(const TDGRect& r, std::string name) {
    TDGPaintItem& item = Items.emplace_back();
    item.Kind = TDGPaintKind::Image;
    item.Rect = r;
    item.Text = std::move(name);
    return item;
}

std::vector<const TDGPaintItem*> TDGPaintList::OfKind(TDGPaintKind kind) const {
    std::vector<const TDGPaintItem*> r;
    for (const auto& item : Items)
        if (item.Kind == kind) r.push_back(&item);
    return r;
}

std::vector<std::string> TDGPaintList::Texts() const {
    std::vector<std::string> r;
    for (const auto& item : Items)
        if (item.Kind == TDGPaintKind::Text) r.push_back(item.Text);
    return r;
}

// ---- TDGObject ---------------------------------------------------------------------------------

TDGRect TDGObject::ScreenRect() const {
    return Diagram->ToScreen(BoundsRect());
}

void TDGObject::Refresh() const {
    if (Diagram)
        Diagram->InvalidateRect(ScreenRect().Inflated(Diagram->ScaleLength(TDGConnector::SymbolLength) + 2));
}

void TDGObject::AppendPlacement(std::string& out) const {
    AppendElement(out, "ID", IntToStr(ObjectID()));
    AppendElement(out, "DIAGRAMID", IntToStr(Diagram ? Diagram->DiagramID : -1));
}

namespace {

int ReadInt(std::string_view tag, std::string_view text, int def) {
    return StrToIntDef(ReadElement(tag, text, IntToStr(def)), def);
}

} // namespace

// ---- TDGControl --------------------------------------------------------------------------------

bool TDGControl::HitTest(int screenX, int screenY) const {
    return Visible && ScreenRect().Contains(screenX, screenY);
}

std::string TDGControl::SaveToMarkup() const {
    std::string r;
    r.reserve(320);
    AppendPlacement(r);
    AppendElement(r, "W", IntToStr(Width));
    AppendElement(r, "H", IntToStr(Height));
    AppendElement(r, "L", IntToStr(Left));
    AppendElement(r, "T", IntToStr(Top));
    AppendElement(r, "BRUSH", Brush.ToText());
    AppendElement(r, "PEN", Pen.ToText());
    AppendElement(r, "FONT", Font.ToText());
    AppendElement(r, "TR", BoolStr(Transparent));
    AppendElement(r, "AS", BoolStr(AutoSize));
    SaveExtra(r);
    return r;
}

void TDGControl::LoadFont(std::string_view text) {
    Font.FromText(ReadElementText("FONT", text));
}

void TDGControl::LoadFromMarkup(std::string_view text) {
    Width = std::max(1, ReadInt("W", text, 100));
    Height = std::max(1, ReadInt("H", text, 100));
    Left = ReadInt("L", text, 100);
    Top = ReadInt("T", text, 100);
    Brush.FromText(ReadElement("BRUSH", text));
    Pen.FromText(ReadElement("PEN", text));
    LoadFont(text);
    Transparent = ReadElementBool("TR", text, false);
    AutoSize = ReadElementBool("AS", text, false);
    if (Diagram) Diagram->ClampToBounds(*this);
    LoadExtra(text);
}

void TDGControl::PaintFrame(TDGPaintList& out) const {
    TDGBrush brush = Brush;
    if (Transparent) brush.Style = bsClear;
    out.AddRectangle(ScreenRect(), Pen, brush);
}

// ---- TDGConnector ------------------------------------------------------------------------------

TDGConnector::TDGConnector(TVELDiagram* diagram) : TDGObject(diagram) {
    Pen.Width = 1;
    Pen.Color = clBlack;
}

TDGRect TDGConnector::BoundsRect() const {
    if (Points.empty()) return {};
    TDGRect r{Points[0].X, Points[0].Y, Points[0].X, Points[0].Y};
    for (const auto& p : Points) {
        r.Left = std::min(r.Left, p.X);
        r.Top = std::min(r.Top, p.Y);
        r.Right = std::max(r.Right, p.X);
        r.Bottom = std::max(r.Bottom, p.Y);
    }
    r.Right += 1;
    r.Bottom += 1;
    return r;
}

std::vector<TDGRect> TDGConnector::EndSymbolRects() const {
    std::vector<TDGRect> r;
    if (Points.size() < 2) return r;
    auto symbol = [](const TDGPoint& end, const TDGPoint& next, bool horizontal) {
        if (horizontal) {
            const int dir = next.X >= end.X ? 1 : -1;
            const int far = end.X + dir * SymbolLength;
            return TDGRect{std::min(end.X, far), end.Y - SymbolHalfWidth, std::max(end.X, far),
                           end.Y + SymbolHalfWidth};
        }
        const int dir = next.Y >= end.Y ? 1 : -1;
        const int far = end.Y + dir * SymbolLength;
        return TDGRect{end.X - SymbolHalfWidth, std::min(end.Y, far), end.X + SymbolHalfWidth,
                       std::max(end.Y, far)};
    };
    const size_t n = Points.size();
    r.push_back(symbol(Points[0], Points[1], Points[1].Horizontal));
    r.push_back(symbol(Points[n - 1], Points[n - 2], Points[n - 1].Horizontal));
    return r;
}

TDGRegion TDGConnector::HitRegion() const {
    TDGRegion region;
    if (Hidden) return region;
    const int zoom = Diagram->Zoom;
    auto add = [&](const TDGRect& r) {
        const TDGRect scaled{r.Left * zoom / 100, r.Top * zoom / 100, r.Right * zoom / 100,
                             r.Bottom * zoom / 100};
        region.Rects.push_back(scaled.Inflated(2).Offset(-Diagram->ScrollX, -Diagram->ScrollY));
    };
    for (size_t i = 1; i < Points.size(); ++i) {
        const TDGPoint& a = Points[i - 1];
        const TDGPoint& b = Points[i];
        add({std::min(a.X, b.X) - HitDistance, std::min(a.Y, b.Y) - HitDistance,
             std::max(a.X, b.X) + HitDistance, std::max(a.Y, b.Y) + HitDistance});
    }
    for (const TDGRect& r : EndSymbolRects())
        add(r);
    return region;
}

bool TDGConnector::HitTest(int screenX, int screenY) const {
    return !Hidden && HitRegion().Contains(screenX, screenY);
}

int TDGConnector::SegmentAt(int screenX, int screenY) const {
    if (Hidden) return -1;
    const TDGRegion region = HitRegion();
    const size_t segments = Points.size() > 1 ? Points.size() - 1 : 0;
    for (size_t i = 0; i < segments && i < region.Rects.size(); ++i)
        if (region.Rects[i].Contains(screenX, screenY)) return static_cast<int>(i);
    return -1;
}

void TDGConnector::DeriveDirections() {
    for (size_t i = 1; i < Points.size(); ++i) {
        const int dx = Points[i].X - Points[i - 1].X;
        const int dy = Points[i].Y - Points[i - 1].Y;
        bool horizontal;
        if (dy == 0 && dx != 0)
            horizontal = true;
        else if (dx == 0 && dy != 0)
            horizontal = false;
        else if (dx == 0) // a point on top of the one before: the directions alternate
            horizontal = i > 1 ? !Points[i - 1].Horizontal : true;
        else
            horizontal = std::abs(dx) >= std::abs(dy);
        Points[i].Horizontal = horizontal;
    }
    if (!Points.empty()) Points[0].Horizontal = Points.size() > 1 ? Points[1].Horizontal : true;
}

std::string RoutingToText(int routing) {
    switch (routing) {
    case drtLeftRight:
        return "DRTLEFTRIGHT";
    case drtTopBottom:
        return "DRTTOPBOTTOM";
    default:
        return "DRTAUTOROUTING";
    }
}

int TextToRouting(std::string_view text) {
    if (SameText(text, "DRTLEFTRIGHT")) return drtLeftRight;
    if (SameText(text, "DRTTOPBOTTOM")) return drtTopBottom;
    return drtAutoRouting;
}

std::string TDGConnector::SaveToMarkup() const {
    std::string r;
    r.reserve(400 + Points.size() * 48);
    AppendPlacement(r);
    AppendElement(r, "FONT", Font.ToText());
    AppendElement(r, "PEN", Pen.ToText());
    AppendElement(r, "HIDDEN", BoolStr(Hidden));
    AppendElement(r, "FROMRELATIVEX", IntToStr(FromRelativeX));
    AppendElement(r, "FROMRELATIVEY", IntToStr(FromRelativeY));
    AppendElement(r, "TORELATIVEX", IntToStr(ToRelativeX));
    AppendElement(r, "TORELATIVEY", IntToStr(ToRelativeY));
    if (Routing != drtAutoRouting) AppendElement(r, "ROUTING", RoutingToText(Routing));
    std::string points;
    for (const auto& p : Points) {
        std::string point;
        AppendElement(point, "X", IntToStr(p.X));
        AppendElement(point, "Y", IntToStr(p.Y));
        points += WrapSection("POINT", point);
    }
    r += WrapSection("POINTS", points);
    return r;
}

void TDGConnector::LoadFromMarkup(std::string_view text) {
    Font.FromText(ReadElementText("FONT", text));
    Pen.FromText(ReadElement("PEN", text));
    Hidden = ReadElementBool("HIDDEN", text, false);
    auto relative = [&](const char* tag) { return std::clamp(ReadInt(tag, text, 5000), 0, 10000); };
    FromRelativeX = relative("FROMRELATIVEX");
    FromRelativeY = relative("FROMRELATIVEY");
    ToRelativeX = relative("TORELATIVEX");
    ToRelativeY = relative("TORELATIVEY");
    Routing = TextToRouting(Trim(ReadElement("ROUTING", text, "DRTAUTOROUTING")));
    Points.clear();
    // Coordinates far off any diagram come from damaged texts; they are kept within reach so
    // that zoomed values cannot overflow.
    static constexpr int limit = 1000000;
    ForEachElement("POINT", ReadElement("POINTS", text), [this](const std::string& point) {
        Points.push_back({std::clamp(ReadInt("X", point, 1), -limit, limit),
                          std::clamp(ReadInt("Y", point, 1), -limit, limit), true});
    });
    DeriveDirections();
}

std::vector<TDGPos> TDGConnector::ScreenPoints() const {
    std::vector<TDGPos> r;
    r.reserve(Points.size());
    for (const auto& p : Points)
        r.push_back({Diagram->ToScreenX(p.X), Diagram->ToScreenY(p.Y)});
    return r;
}

void TDGConnector::Paint(TDGPaintList& out) const {
    if (Hidden || Points.size() < 2) return;
    out.AddLine(ScreenPoints(), Pen);
}

} // namespace ardvin
