// The concrete diagram objects: entity boxes with their lines, subcategory symbols, text
// areas, stamps, group boxes, and the relationship and subcategory connectors.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dgbase.h"
#include "zIndex.h"

namespace ardvin {

// ---- entity content ----------------------------------------------------------------------------

// What an entity box shows of one attribute.
struct TDGAttributeInfo {
    int32_t ID = -1;
    std::string Text;     // display text
    std::string TypeText; // data type column
    bool PrimaryKey = false;
    bool ForeignKey = false;
    bool Required = false; // the third line flag ("R"): not null
};

struct TDGIndexInfo {
    int32_t ID = -1;
    std::string Name;
    int Kind = ikUserDefined; // the automatic-index kind: user-defined, primary, foreign, alternate key
    std::vector<int32_t> AttributeIDs;
};

// An entity as its box sees it.
struct TDGEntityContent {
    std::string Caption;
    // Whether the attributes and indexes below are the entity's (false when the model object
    // cannot describe them; hidden attributes and colours are then kept as they are).
    bool Known = false;
    std::vector<TDGAttributeInfo> Attributes;
    std::vector<TDGIndexInfo> Indexes;
};

// Describes an entity model object (an entity, or any object by its name only); captionStyle
// 1 shows the schema before the name.
TDGEntityContent DescribeEntity(const TVELNamedObject& entity, int captionStyle);

// One display line of an entity box.
struct TDGEntityLine {
    // Attribute lines: three flag characters ("P", "F", "R" or blanks) and the line colour as
    // eight decimal digits, or "xxxxxxxx". Index lines: "IX".
    std::string Prefix;
    std::string Text;
    std::string TypeText;  // second column
    std::string IndexText; // third column
    int32_t AttributeID = -1;

    bool IsIndexLine() const { return Prefix == "IX"; }
    bool PrimaryKey() const { return Prefix.size() > 2 && Prefix[0] == 'P'; }
    bool ForeignKey() const { return Prefix.size() > 2 && Prefix[1] == 'F'; }
    bool Required() const { return Prefix.size() > 2 && Prefix[2] == 'R'; }
    // The colour of the prefix; false when the line has none.
    bool LineColor(TColor& color) const;
};

// ---- boxes -------------------------------------------------------------------------------------

class TDGEntityControl : public TDGControl {
public:
    explicit TDGEntityControl(TVELDiagram* diagram);

    // Font (inherited) is the attribute font.
    TDGFont NameFont;
    TDGFont PKFont;
    TDGFont FKFont;
    std::string Caption;
    std::vector<TDGEntityLine> Lines;
    std::vector<int32_t> HiddenAttributes;
    std::vector<std::pair<int32_t, TColor>> AttributeColors; // sorted by attribute identifier
    int DisplayLevel = 0; // 0 all attributes, 1 key attributes, 2 primary key, 3 name only
    int IndexDisplay = 0; // 0 none, 1 all indexes, 2 indexes that are no key indexes
    bool ShowIndexNumbers = false;
    int CaptionStyle = 0;
    bool ShowDataTypes = true;
    // Indicators drawn before the lines.
    std::string PKIndicator = "PK";
    std::string FKIndicator = "FK";
    std::string PFIndicator = "PF";
    std::string NotNullIndicator = "*";
    bool ShowPKIndicator = true;
    bool ShowFKIndicator = true;
    bool ShowNotNullIndicator = false;
    bool IndicatorBitmaps = false;
    bool UseIndicatorLine = false;
    int IndicatorPosition = 0; // 0 left of the text, 1 at the right edge
    bool UseGradient = true;
    // Set while the box is read as part of a diagram: lines are not built, and the reader
    // gives the box its fonts.
    bool Reading = false;

    bool IsHidden(int32_t attributeID) const;
    void SetHidden(int32_t attributeID, bool hidden);
    bool AttributeColor(int32_t attributeID, TColor& color) const;
    void SetAttributeColor(int32_t attributeID, TColor color);
    void RemoveAttributeColor(int32_t attributeID);
    // Drops hidden attributes and colours of attributes the entity no longer has.
    void DropStaleAttributes(const TDGEntityContent& content);

    // Builds Caption and Lines from the content (see the class comment of TDGEntityLine).
    void BuildLines(const TDGEntityContent& content);
    void Rebuild() override;
    void RecomputeSize() override;
    void Paint(TDGPaintList& out) const override;
    // Takes fonts, indicator texts and options from the display preferences.
    void ApplyPreferences(const TVELSettingsList& preferences);
    // Takes the same from another box (readers apply the preferences once and copy them).
    void CopyStyle(const TDGEntityControl& source);
    // The indicator text of a line ("PK", "FK", "PF", "*" or their replacements), empty for none.
    std::string IndicatorOf(const TDGEntityLine& line) const;
    // The font of a line: primary key lines, foreign key lines, other lines.
    const TDGFont& LineFont(const TDGEntityLine& line) const;

protected:
    void SaveExtra(std::string& out) const override;
    void LoadExtra(std::string_view text) override;
    void LoadFont(std::string_view text) override;

private:
    struct Layout;
    Layout ComputeLayout() const;
};

class TDGSubCategoryControl : public TDGControl {
public:
    explicit TDGSubCategoryControl(TVELDiagram* diagram);
    void Paint(TDGPaintList& out) const override;
};

class TDGTextAreaControl : public TDGControl {
public:
    explicit TDGTextAreaControl(TVELDiagram* diagram);

    int Alignment = taLeft;
    bool WordWrap = false;
    int Padding = 0;

    static constexpr int Margin = 2;
    // The text of the model object cut into the lines shown (wrapped when WordWrap is on).
    std::vector<std::string> TextLines() const;
    void RecomputeSize() override;
    void Paint(TDGPaintList& out) const override;

protected:
    void SaveExtra(std::string& out) const override;
    void LoadExtra(std::string_view text) override;
};

// The project header fields a stamp shows.
struct TDGProjectHeader {
    std::string ProjectName;
    std::string Created;
    std::string Modified;
    std::string Author;
    std::string Copyright;
    std::string DBMSName;
};

class TDGStampControl : public TDGControl {
public:
    explicit TDGStampControl(TVELDiagram* diagram);
    static constexpr int Margin = 3;
    // "label: value" for every field line of the stamp.
    std::vector<std::string> StampLines() const;
    // Stores the header in the stamp model object and repaints.
    void SetProjectHeader(const TDGProjectHeader& header);
    void RecomputeSize() override;
    void Paint(TDGPaintList& out) const override;
};

class TDGGroupBoxControl : public TDGControl {
public:
    explicit TDGGroupBoxControl(TVELDiagram* diagram);

    int Alignment = taLeft; // of the caption
    int AlignmentType = 0;  // 0 caption at the top, 1 at the bottom

    std::string CaptionText() const;
    int PaintLayer() const override { return 0; }
    void Paint(TDGPaintList& out) const override;

protected:
    void SaveExtra(std::string& out) const override;
    void LoadExtra(std::string_view text) override;
};

// ---- connectors --------------------------------------------------------------------------------

// What a relationship line shows of its relationship.
struct TDGRelationshipInfo {
    std::string Name;
    std::string ParentPhrase;
    std::string ChildPhrase;
    int Cardinality = 0; // 0 zero or more, 1 one or more, 2 zero or one, 3 exactly one, 4 many
    bool MandatoryParent = false;
    bool Identifying = true;
};

// Describes a relationship model object (any other connection by its name only).
TDGRelationshipInfo DescribeRelationship(const TVELNamedObject& relationship);

class TDGRelationshipConnector : public TDGConnector {
public:
    explicit TDGRelationshipConnector(TVELDiagram* diagram);
    int CaptionMode = 0; // 1 the two phrases, 2 the name, other values nothing
    // The caption texts shown: the parent and the child phrase, or the name.
    std::vector<std::string> Captions() const;
    void Paint(TDGPaintList& out) const override;
};

class TDGSubCategoryConnector : public TDGConnector {
public:
    explicit TDGSubCategoryConnector(TVELDiagram* diagram);
};

// Paints the end symbols of a relationship in a notation (0 crow's foot, 1 dot notation) at
// both ends of a line whose points are in diagram units.
void PaintEndSymbols(const TVELDiagram& diagram, const std::vector<TDGPoint>& points,
                     const TDGRelationshipInfo& info, int notation, const TDGPen& pen, TDGPaintList& out);

// ---- kinds -------------------------------------------------------------------------------------

// A new box for a control element (ENTC, SUBCATC, TEXTC, STAMPC, GROUPBOXC), or nullptr.
std::unique_ptr<TDGControl> NewBoxForTag(std::string_view tag, TVELDiagram* diagram);
// A new line for a connector element (RELC, SUBCATEGORYCONNECTOR), or nullptr.
std::unique_ptr<TDGConnector> NewConnectorForTag(std::string_view tag, TVELDiagram* diagram);
// Gives a new object the default colours, line widths and fonts of the display preferences.
void ApplyNewObjectDefaults(TDGObject& object, const TVELSettingsList& preferences);
// Pushes the fonts, indicator texts and options of the display preferences to an object.
void ApplyDisplayPreferences(TDGObject& object, const TVELSettingsList& preferences);

} // namespace ardvin
