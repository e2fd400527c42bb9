// Differences between two data dictionaries whose corresponding objects share identifiers:
// every top-level object is described as text lines, the two line lists are aligned with a
// line-diff, and the result is one difference per object with its aligned detail lines.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zIDMatcher.h"

namespace ardvin {

class TVELDataDictionary;

enum TVELDiffStatus : uint8_t { dsUnset = 0, dsLeftOnly = 1, dsUnchanged = 2, dsChanged = 3, dsRightOnly = 4 };
// "Left only", "Unchanged", "Changed", "Right only"; empty for other values.
std::string DiffStatusText(int status);
// The status of a text (case-insensitive), dsUnset when unknown.
uint8_t DiffStatusFromText(std::string_view text);

// One aligned line pair of a difference.
struct TVELDiffDetailsItem {
    std::string LeftString;
    std::string RightString;
    uint8_t Status = dsUnset;  // 1 only left, 4 only right, 3 changed, 2 equal

    // The element DIFFITEM with RIGHTSTRING, LEFTSTRING and STATUS (the status text).
    std::string SaveToMarkup() const;
    void LoadFromMarkup(std::string_view text);  // the content of a DIFFITEM element
};

class TVELDifference : public TVELNamedObject {
public:
    explicit TVELDifference(TVELPersistent* owner = nullptr) : TVELNamedObject(owner) {}
    VEL_DECLARE_CREATE(TVELDifference)

    std::vector<std::string> LeftString;
    std::vector<std::string> RightString;
    std::vector<TVELDiffDetailsItem> Details;
    std::string LeftName;
    std::string RightName;
    int32_t ObjectID = -1;
    uint8_t ObjectType = otNone;
    std::string ObjectClassName;
    uint8_t Status = dsUnset;
    std::string Description;

    // "Status" (text), "LeftName", "RightName", "Description", "ObjectClassName"; "Selected"
    // cannot be set while the status is "Unchanged".
    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
};

class TVELDifferences : public TVELNamedObjectsList {
public:
    TVELDifference* Difference(int index) const { return static_cast<TVELDifference*>(Items(index)); }
    TVELDifference* AddDifference();

    int LeftOnly = 0, Unchanged = 0, Changed = 0, RightOnly = 0;
    int SelectedLeftOnly = 0, SelectedUnchanged = 0, SelectedChanged = 0, SelectedRightOnly = 0;
    void CountAll();
    void CountSelected();
    // Selects every difference whose status is not "Unchanged" and deselects the others.
    void SelectChanges();
};

// ---- line and word differences -------------------------------------------------------------

// CRC-32 of a text (polynomial 0xEDB88320, initial value all ones, final complement).
uint32_t LineCRC32(std::string_view text);

enum TVELDiffChangeKind : uint8_t { dkAdd = 1, dkDelete = 2, dkModify = 3 };
struct TVELDiffChange {
    uint8_t Kind;
    int Left;   // index in the first sequence (delete, modify), -1 for an add
    int Right;  // index in the second sequence (add, modify), -1 for a delete
};

// The matched positions (i, j) of a longest common subsequence of two sequences of lengths n
// and m, in increasing order, by Myers' O(ND) algorithm in linear space.
std::vector<std::pair<int, int>> MyersMatches(int n, int m, const std::function<bool(int, int)>& equal);
// The changes that turn a into b: between two matches the unmatched lines pair up as modify,
// the rest are deletes (of a) or adds (of b).
std::vector<TVELDiffChange> DiffChanges(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);
// Splits both lines into words at blanks and wraps every word that is not common to both in
// "<BOLD>" and "</BOLD>"; the words are joined again with single blanks.
void MarkWordDifferences(std::string& left, std::string& right);

// ---- the comparer --------------------------------------------------------------------------

class TVELDDComparer {
public:
    TVELDifferences* Differences = nullptr;
    uint8_t DescriptionMode = 0;  // 0 the generated script, 1 the property description
    bool IgnoreCase = false;
    bool MarkWords = true;
    const TVELDataDictionary* Source = nullptr;
    const TVELDataDictionary* Destination = nullptr;
    TVELComparisonRules Rules;
    // The script text of an object for description mode 0; without it the statements of the
    // object's target are filled from their templates (TemplateScript).
    std::function<std::string(const TVELDatabaseObject&)> ScriptOf;

    TVELDDComparer();
    ~TVELDDComparer();
    TVELDDComparer(const TVELDDComparer&) = delete;
    TVELDDComparer& operator=(const TVELDDComparer&) = delete;

    // Fills the list; raises EVELError when either dictionary is missing.
    void Compare(TVELDifferences& differences, bool ignoreCase, bool markWords, const TVELComparisonRules& rules,
                 uint8_t descriptionMode);
    // The text lines describing an object, after the comparison rules and the case rule.
    void Describe(const TVELDatabaseObject& object, const TVELComparisonRules& rules,
                  std::vector<std::string>& lines) const;
    void Fill(TVELDifference& difference, const TVELDatabaseObject* source, const TVELDatabaseObject* destination) const;
    // The script of an object as the create script writes it, from the templates of the target
    // of its dictionary: a table with its table constraints, indexes, the foreign keys into it
    // and its triggers; a domain, sequence, view, procedure or rule with its create statement;
    // a relationship with its foreign key. Objects without a statement (text areas, group
    // boxes, stamps) and objects outside a dictionary get their property description.
    std::string TemplateScript(const TVELDatabaseObject& object) const;

private:
    class TFillers;
    std::unique_ptr<TFillers> fillers_;  // one template filler per target definition in use
};

// The property description of an object, one element per line.
void PropertyDescription(const TVELDatabaseObject& object, std::vector<std::string>& lines);

// ---- HTML export ---------------------------------------------------------------------------

// Settings: "TITLE", "TEXTAFTERTITLE", "LEFT", "RIGHT", "FILENAME" and the colours of the
// detail statuses "BGCOLOR1" .. "BGCOLOR4" and "FONTCOLOR1" .. "FONTCOLOR4". Every text of the
// settings and of the differences is escaped; only the word marks become markup (bold).
std::string DifferencesToHTML(const TVELDifferences& differences, const TVELSettingsList& settings);
// Writes the page, after a UTF-8 byte order mark, to the file named by "FILENAME"; raises
// EVELError when it cannot be written.
void ExportDifferencesToHTML(const TVELDifferences& differences, const TVELSettingsList& settings);

}  // namespace ardvin
