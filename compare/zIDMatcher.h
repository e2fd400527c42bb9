// Pairing the objects of two data dictionaries: one dictionary is renumbered so that every
// object that corresponds to an object of the other carries that object's identifier. Also the
// name mappings of the user, the comparison rules applied to descriptions, and the entry that
// compares two dictionaries on prepared copies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zDatabaseObject.h"

namespace ardvin {

class TVELAttribute;
class TVELDataType;
class TVELDataDictionary;
class TVELDifferences;
class TVELEntity;
class TVELRelationship;

// Pairs of names (left = name in one model, right = name in the other).
class TVELStringMappingList {
public:
    void Clear();
    void Add(std::string_view left, std::string_view right);
    int Count() const { return static_cast<int>(left_.size()); }
    const std::string& Left(int index) const { return left_.at(index); }
    const std::string& Right(int index) const { return right_.at(index); }
    // Every line holding "=" is split at its first "=" into left and right; other lines, and
    // pairs whose two sides are both empty, add nothing.
    void LoadFromText(const std::vector<std::string>& lines);
    void LoadFromText(std::string_view text);  // the text cut into lines first
    // The right side of the last pair whose left side equals the text; empty when none.
    std::string Lookup(std::string_view left) const;
    std::string LookupIgnoreCase(std::string_view left) const;
    // The position of the last pair whose left side equals the text, -1 when none.
    int IndexOfLeft(std::string_view left, bool ignoreCase) const;

private:
    std::vector<std::string> left_;
    std::vector<std::string> right_;
};

// A search-and-replace applied to object descriptions before they are compared, so that known
// differences (generated names, layout) do not count.
class TVELComparisonRule : public TVELNamedObject {
public:
    explicit TVELComparisonRule(TVELPersistent* owner = nullptr) : TVELNamedObject(owner) {}
    VEL_DECLARE_CREATE(TVELComparisonRule)

    std::string TextToFind;
    std::string ReplaceText;
    bool WholeWordsOnly = false;
    bool CaseSensitive = false;
    bool IsRegularExpression = false;

    // The text with every occurrence replaced. A regular expression that does not compile
    // raises EVELError.
    std::string Apply(std::string_view text) const;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

using TVELComparisonRules = std::vector<const TVELComparisonRule*>;

// Renumbers Target so that its objects take the identifiers of their Reference counterparts.
// A matcher serves one MatchIDs call.
class TVELDataDictionaryIDMatcher {
public:
    TVELDataDictionaryIDMatcher(TVELDataDictionary& reference, TVELDataDictionary& target,
                                const TVELStringMappingList* mappings = nullptr)
        : Reference(&reference), Target(&target), Mappings(mappings) {}

    bool IgnoreCase = false;
    std::vector<TVELNamedObject*> Matched;  // paired top-level objects of Target, in pairing order
    TVELDataDictionary* Reference;
    TVELDataDictionary* Target;
    const TVELStringMappingList* Mappings;

    void MatchIDs();

    // Gives a top-level object of a dictionary a new identifier and rewrites every reference
    // to the old one (relationship ends, domain and sequence uses, stand-ins, index
    // relationships).
    static void ChangeID(TVELDataDictionary& dictionary, TVELDatabaseObject& object, int32_t id);
    // The same for a member of an entity (attribute, index, trigger, table constraint): the
    // key, constraints, index columns, relationship pairs and auto-number triggers follow.
    static void ChangeMemberID(TVELEntity& entity, TVELDatabaseObject& member, int32_t id);

private:
    // Old identifier -> new identifier, applied to objects and references in one sweep.
    using IDMap = std::unordered_map<int32_t, int32_t>;
    static void RenumberTopLevel(TVELDataDictionary& dictionary, const IDMap& map);
    static void RenumberMembers(TVELEntity& entity, TVELNamedObjectsList& list, const IDMap& map,
                                const std::vector<TVELRelationship*>& relationships);

    bool SameName(std::string_view a, std::string_view b) const;
    std::string NameKey(std::string_view name) const;
    void PairTopLevel(bool qualified);
    void PairRelationships(bool byNameOrColumns);
    void PairMembers(TVELEntity& reference, TVELEntity& target);
    void PairAttributes(TVELEntity& reference, TVELEntity& target, int32_t offset);
    void PairByName(TVELNamedObjectsList& reference, TVELNamedObjectsList& target, TVELEntity& entity);
    void ReorderConstraints(const TVELEntity& reference, TVELEntity& target);
    void Pair(TVELNamedObject* targetObject, int32_t id, IDMap& map);
    // The relationships of a dictionary that touch each entity, by entity identifier.
    std::unordered_map<int32_t, std::vector<TVELRelationship*>> RelationshipsByEntity(const TVELDataDictionary& d) const;

    int32_t offset_ = 0;
    std::unordered_set<int32_t> targetIDs_;  // identifiers in use in Target
    std::unordered_set<const TVELNamedObject*> matched_;  // paired top-level objects of Target
    std::unordered_map<int32_t, std::vector<TVELRelationship*>> referenceRelationships_;
    std::unordered_map<int32_t, std::vector<TVELRelationship*>> targetRelationships_;
};

// The text of a data type as the target writes it; the bare type name when the target's type
// list does not know it.
std::string DataTypeText(const TVELDataType& type);

// Renumbers target after reference (see TVELDataDictionaryIDMatcher).
void MatchIDs(TVELDataDictionary& reference, TVELDataDictionary& target, const TVELStringMappingList* mappings,
              bool ignoreCase = false);

// Removes or ignores the features that the compare options switch off ("1") in a model copy:
// the prepare operation of generation, which keeps diagram-only objects here.
using TVELPrepareFunction = std::function<void(TVELDataDictionary& copy, const TVELSettingsList& options)>;
void ApplyCompareOptions(TVELDataDictionary& copy, const TVELSettingsList& options);

// What CompareDictionaries hands to the comparer besides the two dictionaries.
struct TVELCompareSettings {
    TVELSettingsList Options;               // the compare options
    const TVELStringMappingList* Mappings = nullptr;
    TVELComparisonRules Rules;
    bool IgnoreCase = false;
    bool MarkWords = true;
    uint8_t DescriptionMode = 1;
    // Prepares each copy; ApplyCompareOptions when empty.
    TVELPrepareFunction Prepare;
    // Produces the script text of an object for description mode 0 (see TVELDDComparer).
    std::function<std::string(const TVELDatabaseObject&)> ScriptOf;
};

// Compares full copies of both dictionaries (the given ones stay untouched): prepares the
// copies, gives mapped objects and attributes the common name left + "<>" + right, fills the
// differences and counts them.
void CompareDictionaries(const TVELDataDictionary& source, const TVELDataDictionary& destination,
                         TVELDifferences& differences, const TVELCompareSettings& settings);

}  // namespace ardvin
