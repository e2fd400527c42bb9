#include "dgcontrols.h"

#include <algorithm>

#include <unordered_set>

#include "zAttribute.h"
#include "zDatabaseObject.h"
#include "zDiagram.h"
#include "zDiagramOnly.h"
#include "zDiagrams.h"
#include "zEntity.h"
#include "zRelationship.h"

namespace ardvin {

namespace {

constexpr int EntityMargin = 4;
constexpr int ColumnGap = 8;

TDGPen ClearPen() {
    TDGPen pen;
    pen.Style = psClear;
    return pen;
}

// Splits a text into lines at CR LF, LF or CR.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += c;
        }
    }
    lines.push_back(std::move(current));
    return lines;
}

// Greedy word wrap of one paragraph at blanks; a word wider than the width stands alone.
void WrapParagraph(const std::string& paragraph, int width, const TTextMeasure& measure, const TDGFont& font,
                   std::vector<std::string>& out) {
    if (paragraph.empty()) {
        out.emplace_back();
        return;
    }
    std::string line;
    size_t pos = 0;
    while (pos < paragraph.size()) {
        size_t end = paragraph.find(' ', pos);
        if (end == std::string::npos) end = paragraph.size();
        const std::string word = paragraph.substr(pos, end - pos);
        const std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && measure.TextWidth(font, candidate) > width) {
            out.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        pos = end + 1;
    }
    out.push_back(line);
}

// Reads a colour preference into target when it holds a colour.
void PreferenceColor(const TVELSettingsList& p, std::string_view key, TColor& target) {
    TColor c = 0;
    if (TextToColor(p.GetValue(key), c)) target = c;
}

void PreferenceInt(const TVELSettingsList& p, std::string_view key, int& target) {
    int32_t v = 0;
    if (TryStrToInt(p.GetValue(key), v)) target = v;
}

void PreferenceBool(const TVELSettingsList& p, std::string_view key, bool& target) {
    if (p.Has(key)) target = StrToBoolValue(p.GetValue(key));
}

void PreferenceFont(const TVELSettingsList& p, std::string_view key, TDGFont& target) {
    target.FromText(p.GetValue(key));
}

void PreferenceText(const TVELSettingsList& p, std::string_view key, std::string& target) {
    if (p.Has(key)) target = p.GetValue(key);
}

// The line colours of boxes that take the default pen of the preferences.
void PreferencePen(const TVELSettingsList& p, const char* color, const char* width, const char* style,
                   TDGPen& pen) {
    PreferenceColor(p, color, pen.Color);
    if (width) PreferenceInt(p, width, pen.Width);
    if (style) PreferenceInt(p, style, pen.Style);
}

} // namespace

// ---- entity content ----------------------------------------------------------------------------

TDGEntityContent DescribeEntity(const TVELNamedObject& object, int captionStyle) {
    TDGEntityContent content;
    content.Caption = object.GetName();
    if (captionStyle == 1)
        if (const auto* db = dynamic_cast<const TVELDatabaseObject*>(&object))
            content.Caption = db->GetNonQuotedQualifiedName();
    const auto* entity = dynamic_cast<const TVELEntity*>(&object);
    if (!entity) return content;
    content.Known = true;
    // The child columns of the relationships into the entity, looked up once.
    std::unordered_set<int32_t> foreignKeys;
    std::vector<const TVELForeignKeySource*> sources;
    entity->ForeignKeySources(sources);
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const TVELForeignKeySource* source : sources) {
        pairs.clear();
        source->ForeignKeyPairs(pairs);
        for (const auto& pair : pairs)
            foreignKeys.insert(pair.second);
    }
    content.Attributes.reserve(entity->Attributes.Count());
    for (int i = 0; i < entity->Attributes.Count(); ++i) {
        const TVELAttribute* a = entity->AttributeAt(i);
        TDGAttributeInfo info;
        info.ID = a->ID;
        info.Text = a->GetDisplayName();
        info.TypeText = a->GetPropertyValue("DataType"); // "@" and the domain for domain columns
        info.PrimaryKey = entity->PrimaryKey->AttributeIDs.ContainsID(a->ID);
        info.ForeignKey = foreignKeys.count(a->ID) > 0;
        info.Required = a->IsNotNull();
        content.Attributes.push_back(std::move(info));
    }
    for (int i = 0; i < entity->Indexes.Count(); ++i) {
        const TVELIndex* index = entity->IndexAt(i);
        TDGIndexInfo info;
        info.ID = index->ID;
        info.Name = index->GetName();
        info.Kind = index->IndexKind;
        for (int c = 0; c < index->Columns.Count(); ++c)
            if (!index->Column(c)->IsExpression) info.AttributeIDs.push_back(index->Column(c)->AttributeID);
        content.Indexes.push_back(std::move(info));
    }
    return content;
}

bool TDGEntityLine::LineColor(TColor& color) const {
    if (Prefix.size() < 11 || Prefix.compare(3, 8, "xxxxxxxx") == 0) return false;
    int32_t v = 0;
    if (!TryStrToInt(std::string_view(Prefix).substr(3, 8), v)) return false;
    color = v;
    return true;
}

// ---- TDGEntityControl --------------------------------------------------------------------------

struct TDGEntityControl::Layout {
    int CaptionHeight = 0;
    int CaptionWidth = 0;
    int IndicatorWidth = 0;
    int TextWidth = 0;
    int TypeWidth = 0;
    int IndexWidth = 0;
    std::vector<int> LineHeights; // at 100 %, without the unit between lines
    int ContentWidth() const {
        int w = IndicatorWidth + TextWidth;
        if (TypeWidth > 0) w += ColumnGap + TypeWidth;
        if (IndexWidth > 0) w += ColumnGap + IndexWidth;
        return std::max(w, CaptionWidth) + 2 * EntityMargin;
    }
};

TDGEntityControl::TDGEntityControl(TVELDiagram* diagram) : TDGControl(diagram) {
    Tag = "ENTC";
    Pen.Width = 1;
    NameFont.Bold = true;
    NameFont.Size = 9;
    NameFont.Color = clNavy;
    PKFont.Bold = true;
    FKFont.Italic = true;
}

bool TDGEntityControl::IsHidden(int32_t attributeID) const {
    return std::find(HiddenAttributes.begin(), HiddenAttributes.end(), attributeID) != HiddenAttributes.end();
}

void TDGEntityControl::SetHidden(int32_t attributeID, bool hidden) {
    if (hidden == IsHidden(attributeID)) return;
    if (hidden)
        HiddenAttributes.push_back(attributeID);
    else
        std::erase(HiddenAttributes, attributeID);
}

bool TDGEntityControl::AttributeColor(int32_t attributeID, TColor& color) const {
    const auto it = std::lower_bound(AttributeColors.begin(), AttributeColors.end(), attributeID,
                                     [](const auto& entry, int32_t id) { return entry.first < id; });
    if (it == AttributeColors.end() || it->first != attributeID) return false;
    color = it->second;
    return true;
}

void TDGEntityControl::SetAttributeColor(int32_t attributeID, TColor color) {
    const auto it = std::lower_bound(AttributeColors.begin(), AttributeColors.end(), attributeID,
                                     [](const auto& entry, int32_t id) { return entry.first < id; });
    if (it != AttributeColors.end() && it->first == attributeID)
        it->second = color;
    else
        AttributeColors.insert(it, {attributeID, color});
}

void TDGEntityControl::RemoveAttributeColor(int32_t attributeID) {
    std::erase_if(AttributeColors, [attributeID](const auto& entry) { return entry.first == attributeID; });
}

namespace {

bool HasAttribute(const TDGEntityContent& content, int32_t id) {
    return std::any_of(content.Attributes.begin(), content.Attributes.end(),
                       [id](const TDGAttributeInfo& a) { return a.ID == id; });
}

} // namespace

void TDGEntityControl::DropStaleAttributes(const TDGEntityContent& content) {
    if (!content.Known) return;
    std::erase_if(HiddenAttributes, [&](int32_t id) { return !HasAttribute(content, id); });
    std::erase_if(AttributeColors, [&](const auto& entry) { return !HasAttribute(content, entry.first); });
}

void TDGEntityControl::BuildLines(const TDGEntityContent& content) {
    Caption = content.Caption;
    Lines.clear();
    if (DisplayLevel == 3) return;
    std::vector<const TDGIndexInfo*> indexes;
    if (IndexDisplay != 0)
        for (const auto& index : content.Indexes)
            if (IndexDisplay == 1 || index.Kind == ikUserDefined) indexes.push_back(&index);
    const TVELDiagrams* owner = Diagram ? Diagram->Owner : nullptr;
    for (const TDGAttributeInfo& a : content.Attributes) {
        if (IsHidden(a.ID)) continue;
        if (owner && owner->OnHideAttribute && owner->OnHideAttribute(*this, a.ID)) continue;
        if (DisplayLevel == 1 && !a.PrimaryKey && !a.ForeignKey) continue;
        if (DisplayLevel == 2 && !a.PrimaryKey) continue;
        TDGEntityLine line;
        line.AttributeID = a.ID;
        line.Prefix =
            std::string(a.PrimaryKey ? "P" : " ") + (a.ForeignKey ? "F" : " ") + (a.Required ? "R" : " ");
        TColor color = 0;
        line.Prefix += AttributeColor(a.ID, color) ? Format("%08d", color) : std::string("xxxxxxxx");
        line.Text = a.Text;
        if (owner && owner->OnAttributeDisplayText) owner->OnAttributeDisplayText(*this, a.ID, line.Text);
        line.TypeText = a.TypeText;
        if (ShowIndexNumbers && !indexes.empty()) {
            std::vector<std::string> positions;
            for (size_t i = 0; i < indexes.size(); ++i) {
                const auto& ids = indexes[i]->AttributeIDs;
                if (std::find(ids.begin(), ids.end(), a.ID) != ids.end())
                    positions.push_back(IntToStr(i + 1));
            }
            if (!positions.empty()) line.IndexText = "<i" + JoinStrings(positions, ",") + ">";
        }
        Lines.push_back(std::move(line));
    }
    for (size_t i = 0; i < indexes.size(); ++i) {
        TDGEntityLine line;
        line.Prefix = "IX";
        line.Text = indexes[i]->Name;
        if (ShowIndexNumbers) line.IndexText = "<i" + IntToStr(i + 1) + ">";
        Lines.push_back(std::move(line));
    }
}

void TDGEntityControl::Rebuild() {
    if (Reading || !ModelObject) return;
    const TDGEntityContent content = DescribeEntity(*ModelObject, CaptionStyle);
    DropStaleAttributes(content);
    BuildLines(content);
}

std::string TDGEntityControl::IndicatorOf(const TDGEntityLine& line) const {
    if (line.IsIndexLine()) return {};
    const bool pk = line.PrimaryKey() && ShowPKIndicator;
    const bool fk = line.ForeignKey() && ShowFKIndicator;
    if (pk && fk) return PFIndicator;
    if (pk) return PKIndicator;
    if (fk) return FKIndicator;
    if (line.Required() && ShowNotNullIndicator) return NotNullIndicator;
    return {};
}

const TDGFont& TDGEntityControl::LineFont(const TDGEntityLine& line) const {
    if (line.PrimaryKey()) return PKFont;
    if (line.ForeignKey()) return FKFont;
    return Font;
}

namespace {

std::string LineText(const TDGEntityLine& line) {
    return line.ForeignKey() ? line.Text + " (FK)" : line.Text;
}

} // namespace

TDGEntityControl::Layout TDGEntityControl::ComputeLayout() const {
    const TTextMeasure& m = Diagram->TextMeasure();
    Layout l;
    l.CaptionHeight = m.TextHeight(NameFont) + EntityMargin;
    l.CaptionWidth = m.TextWidth(NameFont, Caption);
    for (const auto& line : Lines) {
        const TDGFont& font = LineFont(line);
        l.LineHeights.push_back(m.TextHeight(font));
        l.TextWidth = std::max(l.TextWidth, m.TextWidth(font, LineText(line)));
        if (ShowDataTypes) l.TypeWidth = std::max(l.TypeWidth, m.TextWidth(Font, line.TypeText));
        l.IndexWidth = std::max(l.IndexWidth, m.TextWidth(Font, line.IndexText));
        const std::string indicator = IndicatorOf(line);
        if (!indicator.empty())
            l.IndicatorWidth =
                std::max(l.IndicatorWidth, IndicatorBitmaps ? 16 : m.TextWidth(Font, indicator) + 4);
    }
    return l;
}

void TDGEntityControl::RecomputeSize() {
    if (!AutoSize) return;
    const Layout l = ComputeLayout();
    int height = l.CaptionHeight + EntityMargin;
    for (int h : l.LineHeights)
        height += h + 1;
    Width = std::max(40, l.ContentWidth());
    Height = std::max(l.CaptionHeight + EntityMargin, height);
    if (Diagram) Diagram->ClampToBounds(*this);
}

void TDGEntityControl::Paint(TDGPaintList& out) const {
    const TVELDiagram& d = *Diagram;
    const Layout l = ComputeLayout();
    const TDGRect box = ScreenRect();
    PaintFrame(out);
    const int margin = d.ScaleLength(EntityMargin);
    const int captionBottom = box.Top + d.ScaleLength(l.CaptionHeight);
    out.AddText({box.Left + margin, box.Top + d.ScaleLength(2), box.Right - margin, captionBottom}, Caption,
                NameFont, taLeft);
    out.AddLine({{box.Left, captionBottom}, {box.Right, captionBottom}}, Pen);
    if (Lines.empty()) return;
    const int indicatorWidth = d.ScaleLength(l.IndicatorWidth);
    const bool indicatorsLeft = IndicatorPosition == 0;
    const int textLeft = box.Left + margin + (indicatorsLeft ? indicatorWidth : 0);
    const int typeLeft = textLeft + d.ScaleLength(l.TextWidth + ColumnGap);
    const int indexRight = box.Right - margin - (indicatorsLeft ? 0 : indicatorWidth);
    const int indicatorLeft = indicatorsLeft ? box.Left + margin : indexRight;
    int y = captionBottom + d.ScaleLength(2);
    for (size_t i = 0; i < Lines.size(); ++i) {
        const TDGEntityLine& line = Lines[i];
        const int h = d.ScaleLength(l.LineHeights[i]) + 1;
        TColor color = 0;
        if (line.LineColor(color))
            out.AddRectangle({box.Left + 1, y, box.Right - 1, y + h}, ClearPen(), {bsSolid, color});
        const std::string indicator = IndicatorOf(line);
        if (!indicator.empty()) {
            const TDGRect r{indicatorLeft, y, indicatorLeft + indicatorWidth, y + h};
            if (IndicatorBitmaps)
                out.AddImage(r, indicator);
            else
                out.AddText(r, indicator, Font, taLeft);
        }
        out.AddText({textLeft, y, typeLeft, y + h}, LineText(line), LineFont(line), taLeft);
        if (ShowDataTypes && !line.TypeText.empty())
            out.AddText({typeLeft, y, indexRight, y + h}, line.TypeText, Font, taLeft);
        if (!line.IndexText.empty())
            out.AddText({typeLeft, y, indexRight, y + h}, line.IndexText, Font, taRight);
        y += h;
    }
    if (UseIndicatorLine && indicatorWidth > 0) {
        const int x = indicatorsLeft ? textLeft - d.ScaleLength(2) : indexRight;
        out.AddLine({{x, captionBottom}, {x, box.Bottom}}, Pen);
    }
}

void TDGEntityControl::ApplyPreferences(const TVELSettingsList& p) {
    PreferenceFont(p, "EntAttrFont", Font);
    PreferenceFont(p, "EntNameFont", NameFont);
    PreferenceFont(p, "EntPKFont", PKFont);
    PreferenceFont(p, "EntFKFont", FKFont);
    PreferenceText(p, "PKIndicator", PKIndicator);
    PreferenceText(p, "FKIndicator", FKIndicator);
    PreferenceText(p, "PFIndicator", PFIndicator);
    PreferenceText(p, "NotNullIndicator", NotNullIndicator);
    PreferenceBool(p, "IndicatorBitmaps", IndicatorBitmaps);
    PreferenceBool(p, "UseIndicatorLine", UseIndicatorLine);
    PreferenceInt(p, "IndicatorPosition", IndicatorPosition);
    PreferenceBool(p, "UseGradient", UseGradient);
}

void TDGEntityControl::CopyStyle(const TDGEntityControl& source) {
    Font = source.Font;
    NameFont = source.NameFont;
    PKFont = source.PKFont;
    FKFont = source.FKFont;
    PKIndicator = source.PKIndicator;
    FKIndicator = source.FKIndicator;
    PFIndicator = source.PFIndicator;
    NotNullIndicator = source.NotNullIndicator;
    IndicatorBitmaps = source.IndicatorBitmaps;
    UseIndicatorLine = source.UseIndicatorLine;
    IndicatorPosition = source.IndicatorPosition;
    UseGradient = source.UseGradient;
}

void TDGEntityControl::SaveExtra(std::string& out) const {
    // Only identifiers of attributes the entity still has are written.
    const auto* entity = dynamic_cast<const TVELEntity*>(ModelObject);
    auto kept = [entity](int32_t id) { return !entity || entity->FindAttribute(id); };
    std::vector<std::string> hidden;
    for (int32_t id : HiddenAttributes)
        if (kept(id)) hidden.push_back(IntToStr(id));
    AppendElement(out, "HIDDENATTR", JoinStrings(hidden, "\r\n"));
    std::string colors;
    for (const auto& [id, color] : AttributeColors) {
        if (!kept(id)) continue;
        std::string entry;
        AppendElement(entry, "ATTRID", IntToStr(id));
        AppendElement(entry, "COLOR", IntToStr(color));
        colors += WrapSection("ATTRC", entry);
    }
    if (!colors.empty()) out += WrapSection("ATTRCLIST", colors);
}

void TDGEntityControl::LoadExtra(std::string_view text) {
    HiddenAttributes.clear();
    for (const std::string& line : SplitLines(ReadElement("HIDDENATTR", text))) {
        int32_t id = 0;
        if (TryStrToInt(line, id) && !IsHidden(id)) HiddenAttributes.push_back(id);
    }
    AttributeColors.clear();
    ForEachElement("ATTRC", ReadElement("ATTRCLIST", text), [this](const std::string& entry) {
        int32_t id = 0, color = 0;
        TColor existing = 0;
        if (TryStrToInt(ReadElement("ATTRID", entry), id) &&
            TryStrToInt(ReadElement("COLOR", entry), color) && !AttributeColor(id, existing))
            SetAttributeColor(id, color);
    });
}

void TDGEntityControl::LoadFont(std::string_view text) {
    (void)text;
    if (!Reading && Diagram) ApplyPreferences(Diagram->Preferences());
}

// ---- TDGSubCategoryControl ---------------------------------------------------------------------

TDGSubCategoryControl::TDGSubCategoryControl(TVELDiagram* diagram) : TDGControl(diagram) {
    Tag = "SUBCATC";
    Pen.Width = 1;
    Pen.Style = psSolid;
    Pen.Color = clBlack;
    Width = 40;
    Height = 30;
}

void TDGSubCategoryControl::Paint(TDGPaintList& out) const {
    // The generalisation symbol: a circle over two bars.
    const TDGRect box = ScreenRect();
    const int gap = std::max(1, Diagram->ScaleLength(4));
    const int diameter = std::max(1, std::min(box.Width(), box.Height() - 2 * gap));
    const int left = box.Left + (box.Width() - diameter) / 2;
    TDGBrush brush = Brush;
    if (Transparent) brush.Style = bsClear;
    out.AddEllipse({left, box.Top, left + diameter, box.Top + diameter}, Pen, brush);
    const int bar1 = box.Top + diameter + gap / 2;
    const int bar2 = bar1 + gap;
    out.AddLine({{box.Left, bar1}, {box.Right, bar1}}, Pen);
    out.AddLine({{box.Left, bar2}, {box.Right, bar2}}, Pen);
}

// ---- TDGTextAreaControl ------------------------------------------------------------------------

TDGTextAreaControl::TDGTextAreaControl(TVELDiagram* diagram) : TDGControl(diagram) {
    Tag = "TEXTC";
}

std::vector<std::string> TDGTextAreaControl::TextLines() const {
    const auto* area = dynamic_cast<const TVELTextArea*>(ModelObject);
    if (!area) return {};
    std::vector<std::string> paragraphs = SplitLines(area->Text);
    if (!WordWrap) return paragraphs;
    std::vector<std::string> lines;
    const int width = Width - 2 * (Padding + Margin);
    for (const auto& p : paragraphs)
        WrapParagraph(p, width, Diagram->TextMeasure(), Font, lines);
    return lines;
}

void TDGTextAreaControl::RecomputeSize() {
    if (!AutoSize) return;
    const TTextMeasure& m = Diagram->TextMeasure();
    const auto* area = dynamic_cast<const TVELTextArea*>(ModelObject);
    const std::vector<std::string> paragraphs = area ? SplitLines(area->Text) : std::vector<std::string>();
    int width = 0;
    for (const auto& p : paragraphs)
        width = std::max(width, m.TextWidth(Font, p));
    const int frame = 2 * (Padding + Margin);
    Width = std::max(20, width + frame);
    Height = std::max(m.TextHeight(Font), static_cast<int>(paragraphs.size()) * m.TextHeight(Font)) + frame;
    if (Diagram) Diagram->ClampToBounds(*this);
}

void TDGTextAreaControl::Paint(TDGPaintList& out) const {
    const TVELDiagram& d = *Diagram;
    PaintFrame(out);
    const TDGRect box = ScreenRect();
    const int inset = d.ScaleLength(Padding + Margin);
    const int h = d.ScaleLength(d.TextMeasure().TextHeight(Font));
    int y = box.Top + inset;
    for (const auto& line : TextLines()) {
        if (y >= box.Bottom - inset) break;
        out.AddText({box.Left + inset, y, box.Right - inset, y + h}, line, Font, Alignment);
        y += h;
    }
}

void TDGTextAreaControl::SaveExtra(std::string& out) const {
    AppendElement(out, "ALIGNMENT", IntToStr(Alignment));
    AppendElement(out, "WORDWRAP", BoolStr(WordWrap));
    AppendElement(out, "PADDING", IntToStr(Padding));
}

void TDGTextAreaControl::LoadExtra(std::string_view text) {
    Alignment = StrToIntDef(ReadElement("ALIGNMENT", text, "0"), 0);
    WordWrap = ReadElementBool("WORDWRAP", text, false);
    Padding = StrToIntDef(ReadElement("PADDING", text, "0"), 0);
}

// ---- TDGStampControl ---------------------------------------------------------------------------

TDGStampControl::TDGStampControl(TVELDiagram* diagram) : TDGControl(diagram) {
    Tag = "STAMPC";
}

std::vector<std::string> TDGStampControl::StampLines() const {
    std::vector<std::string> lines;
    const auto* stamp = dynamic_cast<const TVELStamp*>(ModelObject);
    if (!stamp) return lines;
    for (const std::string& label : stamp->Properties) {
        std::string value;
        if (label == "Project Name")
            value = stamp->ProjectName;
        else if (label == "Created")
            value = stamp->Created;
        else if (label == "Modified")
            value = stamp->Modified;
        else if (label == "Author")
            value = stamp->Author;
        else if (label == "Copyright")
            value = stamp->Copyright;
        else if (label == "Target DBMS")
            value = stamp->DBMSName;
        else if (label == "Diagram Name" && Diagram)
            value = Diagram->Name;
        lines.push_back(label + ": " + value);
    }
    return lines;
}

void TDGStampControl::SetProjectHeader(const TDGProjectHeader& header) {
    auto* stamp = dynamic_cast<TVELStamp*>(ModelObject);
    if (!stamp) return;
    stamp->ProjectName = header.ProjectName;
    stamp->Created = header.Created;
    stamp->Modified = header.Modified;
    stamp->Author = header.Author;
    stamp->Copyright = header.Copyright;
    stamp->DBMSName = header.DBMSName;
    Refresh();
}

void TDGStampControl::RecomputeSize() {
    if (!AutoSize) return;
    const TTextMeasure& m = Diagram->TextMeasure();
    const std::vector<std::string> lines = StampLines();
    int width = 0;
    for (const auto& line : lines)
        width = std::max(width, m.TextWidth(Font, line));
    Width = std::max(20, width + 2 * Margin);
    Height = std::max(1, static_cast<int>(lines.size())) * (m.TextHeight(Font) + 2) + 2 * Margin;
    if (Diagram) Diagram->ClampToBounds(*this);
}

void TDGStampControl::Paint(TDGPaintList& out) const {
    const TVELDiagram& d = *Diagram;
    PaintFrame(out);
    const TDGRect box = ScreenRect();
    const int margin = d.ScaleLength(Margin);
    const int h = d.ScaleLength(d.TextMeasure().TextHeight(Font) + 2);
    int y = box.Top + margin;
    const std::vector<std::string> lines = StampLines();
    for (size_t i = 0; i < lines.size(); ++i) {
        out.AddText({box.Left + margin, y, box.Right - margin, y + h}, lines[i], Font, taLeft);
        y += h;
        if (i + 1 < lines.size()) out.AddLine({{box.Left, y}, {box.Right, y}}, Pen);
    }
}

// ---- TDGGroupBoxControl ------------------------------------------------------------------------

TDGGroupBoxControl::TDGGroupBoxControl(TVELDiagram* diagram) : TDGControl(diagram) {
    Tag = "GROUPBOXC";
}

std::string TDGGroupBoxControl::CaptionText() const {
    const auto* box = dynamic_cast<const TVELGroupbox*>(ModelObject);
    if (box && !box->ObjectCaption.empty()) return box->ObjectCaption;
    return ModelObject ? ModelObject->GetName() : std::string();
}

void TDGGroupBoxControl::Paint(TDGPaintList& out) const {
    const TVELDiagram& d = *Diagram;
    PaintFrame(out);
    const TDGRect box = ScreenRect();
    const int margin = d.ScaleLength(4);
    const int h = d.ScaleLength(d.TextMeasure().TextHeight(Font));
    const int top = AlignmentType == 1 ? box.Bottom - margin - h : box.Top + margin;
    out.AddText({box.Left + margin, top, box.Right - margin, top + h}, CaptionText(), Font, Alignment);
}

void TDGGroupBoxControl::SaveExtra(std::string& out) const {
    AppendElement(out, "ALIGNMENT", IntToStr(Alignment));
    AppendElement(out, "ALIGNMENTTYPE", IntToStr(AlignmentType));
}

void TDGGroupBoxControl::LoadExtra(std::string_view text) {
    Alignment = StrToIntDef(ReadElement("ALIGNMENT", text, "0"), 0);
    AlignmentType = StrToIntDef(ReadElement("ALIGNMENTTYPE", text, "0"), 0);
}

// ---- connectors --------------------------------------------------------------------------------

TDGRelationshipInfo DescribeRelationship(const TVELNamedObject& object) {
    TDGRelationshipInfo info;
    info.Name = object.GetName();
    if (const auto* r = dynamic_cast<const TVELRelationship*>(&object)) {
        info.ParentPhrase = r->ParentPhrase;
        info.ChildPhrase = r->ChildPhrase;
        info.Cardinality = r->Cardinality;
        info.MandatoryParent = r->MandatoryParent;
        info.Identifying = r->RelationshipType != rtNonIdentifying;
    }
    return info;
}

TDGRelationshipConnector::TDGRelationshipConnector(TVELDiagram* diagram) : TDGConnector(diagram) {
    Tag = "RELC";
}

std::vector<std::string> TDGRelationshipConnector::Captions() const {
    if (!ModelObject) return {};
    const TDGRelationshipInfo info = DescribeRelationship(*ModelObject);
    if (CaptionMode == 1) return {info.ParentPhrase, info.ChildPhrase};
    if (CaptionMode == 2) return {info.Name};
    return {};
}

namespace {

// Maps points given along an end segment (u from the end towards the line, v across it) to
// the screen.
class EndFrame {
public:
    EndFrame(const TVELDiagram& d, const TDGPoint& end, const TDGPoint& next, bool horizontal)
        : d_(d), end_(end) {
        if (horizontal)
            ux_ = next.X >= end.X ? 1 : -1;
        else
            uy_ = next.Y >= end.Y ? 1 : -1;
    }
    TDGPos At(int u, int v) const {
        return {d_.ToScreenX(end_.X + u * ux_ - v * uy_), d_.ToScreenY(end_.Y + u * uy_ + v * ux_)};
    }
    TDGRect Circle(int u, int radius) const {
        const TDGPos c = At(u, 0);
        const int r = std::max(1, d_.ScaleLength(radius));
        return {c.X - r, c.Y - r, c.X + r, c.Y + r};
    }

private:
    const TVELDiagram& d_;
    TDGPoint end_;
    int ux_ = 0;
    int uy_ = 0;
};

void Bar(const EndFrame& f, int u, const TDGPen& pen, TDGPaintList& out) {
    out.AddLine({f.At(u, -6), f.At(u, 6)}, pen);
}

void CrowsFoot(const EndFrame& f, const TDGPen& pen, TDGPaintList& out) {
    for (int v : {-7, 0, 7})
        out.AddLine({f.At(10, 0), f.At(0, v)}, pen);
}

void OpenCircle(const EndFrame& f, int u, const TDGPen& pen, TDGPaintList& out) {
    out.AddEllipse(f.Circle(u, 3), pen, {bsSolid, clWhite});
}

} // namespace

void PaintEndSymbols(const TVELDiagram& d, const std::vector<TDGPoint>& points,
                     const TDGRelationshipInfo& info, int notation, const TDGPen& linePen,
                     TDGPaintList& out) {
    if (points.size() < 2) return;
    TDGPen pen = linePen;
    pen.Style = psSolid;
    const size_t n = points.size();
    const EndFrame parent(d, points[0], points[1], points[1].Horizontal);
    const EndFrame child(d, points[n - 1], points[n - 2], points[n - 1].Horizontal);
    if (notation == 1) {
        out.AddEllipse(child.Circle(3, 3), pen, {bsSolid, pen.Color});
        const char* mark = info.Cardinality == 1   ? "P"
                           : info.Cardinality == 2 ? "Z"
                           : info.Cardinality == 3 ? "1"
                                                   : "";
        if (*mark) {
            const TDGPos at = child.At(10, -10);
            const int s = d.ScaleLength(10);
            TDGFont font;
            font.Color = pen.Color;
            out.AddText({at.X - s / 2, at.Y - s / 2, at.X + s / 2, at.Y + s / 2}, mark, font, taCenter);
        }
        if (!info.MandatoryParent)
            out.AddPolygon({parent.At(0, 0), parent.At(6, -5), parent.At(12, 0), parent.At(6, 5)}, pen,
                           {bsSolid, clWhite});
        return;
    }
    switch (info.Cardinality) {
    case 0:
        CrowsFoot(child, pen, out);
        OpenCircle(child, 13, pen, out);
        break;
    case 1:
        CrowsFoot(child, pen, out);
        Bar(child, 13, pen, out);
        break;
    case 2:
        Bar(child, 6, pen, out);
        OpenCircle(child, 13, pen, out);
        break;
    case 3:
        Bar(child, 6, pen, out);
        Bar(child, 11, pen, out);
        break;
    default:
        CrowsFoot(child, pen, out);
        break;
    }
    Bar(parent, 6, pen, out);
    if (info.MandatoryParent)
        Bar(parent, 11, pen, out);
    else
        OpenCircle(parent, 13, pen, out);
}

void TDGRelationshipConnector::Paint(TDGPaintList& out) const {
    if (Hidden || Points.size() < 2 || !ModelObject) return;
    const TDGRelationshipInfo info = DescribeRelationship(*ModelObject);
    TDGPen pen = Pen;
    if (!info.Identifying) pen.Style = psDash;
    out.AddLine(ScreenPoints(), pen);
    PaintEndSymbols(*Diagram, Points, info, Diagram->Notation, Pen, out);
    const std::vector<std::string> captions = Captions();
    if (captions.empty()) return;
    // The captions stand at the middle of the middle segment, one above the other.
    const size_t k = (Points.size() - 1) / 2;
    const int mx = Diagram->ToScreenX((Points[k].X + Points[k + 1].X) / 2);
    const int my = Diagram->ToScreenY((Points[k].Y + Points[k + 1].Y) / 2);
    const TTextMeasure& m = Diagram->TextMeasure();
    const int h = Diagram->ScaleLength(m.TextHeight(Font));
    int y = my - h * static_cast<int>(captions.size());
    for (const auto& caption : captions) {
        const int w = Diagram->ScaleLength(m.TextWidth(Font, caption));
        out.AddText({mx - w / 2 - 2, y, mx + w / 2 + 2, y + h}, caption, Font, taCenter);
        y += h;
    }
}

TDGSubCategoryConnector::TDGSubCategoryConnector(TVELDiagram* diagram) : TDGConnector(diagram) {
    Tag = "SUBCATEGORYCONNECTOR";
}

// ---- kinds -------------------------------------------------------------------------------------

std::unique_ptr<TDGControl> NewBoxForTag(std::string_view tag, TVELDiagram* diagram) {
    if (SameText(tag, "ENTC")) return std::make_unique<TDGEntityControl>(diagram);
    if (SameText(tag, "SUBCATC")) return std::make_unique<TDGSubCategoryControl>(diagram);
    if (SameText(tag, "TEXTC")) return std::make_unique<TDGTextAreaControl>(diagram);
    if (SameText(tag, "STAMPC")) return std::make_unique<TDGStampControl>(diagram);
    if (SameText(tag, "GROUPBOXC")) return std::make_unique<TDGGroupBoxControl>(diagram);
    return nullptr;
}

std::unique_ptr<TDGConnector> NewConnectorForTag(std::string_view tag, TVELDiagram* diagram) {
    if (SameText(tag, "RELC")) return std::make_unique<TDGRelationshipConnector>(diagram);
    if (SameText(tag, "SUBCATEGORYCONNECTOR")) return std::make_unique<TDGSubCategoryConnector>(diagram);
    return nullptr;
}

void ApplyNewObjectDefaults(TDGObject& object, const TVELSettingsList& p) {
    if (auto* e = dynamic_cast<TDGEntityControl*>(&object)) {
        PreferenceColor(p, "DefEntColor", e->Brush.Color);
        PreferencePen(p, "DefEntLineColor", nullptr, nullptr, e->Pen);
    } else if (auto* t = dynamic_cast<TDGTextAreaControl*>(&object)) {
        PreferenceColor(p, "DefTextAreaColor", t->Brush.Color);
        PreferencePen(p, "DefTextAreaLineColor", "DefTextAreaLineWidth", "DefTextAreaLineStyle", t->Pen);
        PreferenceBool(p, "DefTextAreaTransParent", t->Transparent);
    } else if (auto* s = dynamic_cast<TDGStampControl*>(&object)) {
        PreferenceColor(p, "DefStampColor", s->Brush.Color);
        PreferencePen(p, "DefStampLineColor", "DefStampLineWidth", "DefStampLineStyle", s->Pen);
        PreferenceBool(p, "DefStampTransparent", s->Transparent);
    } else if (auto* g = dynamic_cast<TDGGroupBoxControl*>(&object)) {
        PreferenceColor(p, "DefGroupBoxColor", g->Brush.Color);
        PreferencePen(p, "DefGroupBoxLineColor", "DefGroupBoxLineWidth", "DefGroupBoxLineStyle", g->Pen);
        PreferenceBool(p, "DefGroupBoxTransparent", g->Transparent);
    } else if (auto* sc = dynamic_cast<TDGSubCategoryControl*>(&object)) {
        PreferencePen(p, "DefSubCatLineColor", nullptr, nullptr, sc->Pen);
    } else if (auto* line = dynamic_cast<TDGConnector*>(&object)) {
        PreferencePen(p, "DefConLineColor", nullptr, nullptr, line->Pen);
    }
    ApplyDisplayPreferences(object, p);
}

void ApplyDisplayPreferences(TDGObject& object, const TVELSettingsList& p) {
    if (auto* e = dynamic_cast<TDGEntityControl*>(&object))
        e->ApplyPreferences(p);
    else if (dynamic_cast<TDGTextAreaControl*>(&object))
        PreferenceFont(p, "TextAreaFont", object.Font);
    else if (dynamic_cast<TDGGroupBoxControl*>(&object))
        PreferenceFont(p, "GroupBoxFont", object.Font);
    else if (dynamic_cast<TDGStampControl*>(&object))
        PreferenceFont(p, "StampFont", object.Font);
    else if (object.IsConnector())
        PreferenceFont(p, "CaptionFont", object.Font);
}

} // namespace ardvin
