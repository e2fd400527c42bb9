#include "zIDMatcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <typeinfo>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDDComparer.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin {

// ---- TVELStringMappingList -----------------------------------------------------------------

void TVELStringMappingList::Clear() {
    left_.clear();
    right_.clear();
}

void TVELStringMappingList::Add(std::string_view left, std::string_view right) {
    left_.emplace_back(left);
    right_.emplace_back(right);
}

void TVELStringMappingList::LoadFromText(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string left = line.substr(0, eq);
        std::string right = line.substr(eq + 1);
        if (!right.empty() && right.back() == '\r') right.pop_back();
        if (left.empty() && right.empty()) continue;
        Add(left, right);
    }
}

void TVELStringMappingList::LoadFromText(std::string_view text) { LoadFromText(SplitString(text, '\n')); }

int TVELStringMappingList::IndexOfLeft(std::string_view left, bool ignoreCase) const {
    const std::string upper = ignoreCase ? UpperCase(left) : std::string();
    for (int i = Count() - 1; i >= 0; --i)
        if (ignoreCase ? UpperCase(left_[i]) == upper : left_[i] == left) return i;
    return -1;
}

std::string TVELStringMappingList::Lookup(std::string_view left) const {
    const int i = IndexOfLeft(left, false);
    return i < 0 ? std::string() : right_[i];
}

std::string TVELStringMappingList::LookupIgnoreCase(std::string_view left) const {
    const int i = IndexOfLeft(left, true);
    return i < 0 ? std::string() : right_[i];
}

// ---- TVELComparisonRule --------------------------------------------------------------------

namespace {

bool IsWordByte(unsigned char c) { return c == '_' || c >= 128 || std::isalnum(c); }

std::string ReplacePlain(std::string_view text, const TVELComparisonRule& rule) {
    if (rule.TextToFind.empty()) return std::string(text);
    const std::string needle = rule.CaseSensitive ? rule.TextToFind : UpperCase(rule.TextToFind);
    const std::string hay = rule.CaseSensitive ? std::string(text) : UpperCase(text);
    std::string out;
    size_t from = 0;
    size_t pos = 0;
    while ((pos = hay.find(needle, pos)) != std::string::npos) {
        const size_t end = pos + needle.size();
        if (rule.WholeWordsOnly && ((pos > 0 && IsWordByte(hay[pos - 1])) || (end < hay.size() && IsWordByte(hay[end])))) {
            ++pos;
            continue;
        }
        out.append(text.substr(from, pos - from)).append(rule.ReplaceText);
        from = pos = end;
    }
    out.append(text.substr(from));
    return out;
}

struct TCodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};

std::string ReplaceRegex(std::string_view text, const TVELComparisonRule& rule) {
    std::string pattern = rule.WholeWordsOnly ? "\\b(?:" + rule.TextToFind + ")\\b" : rule.TextToFind;
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
    if (!rule.CaseSensitive) options |= PCRE2_CASELESS;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    std::unique_ptr<pcre2_code, TCodeDeleter> code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()),
                                                                 pattern.size(), options, &error, &errorOffset, nullptr));
    if (!code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, sizeof message);
        throw EVELError("Invalid regular expression \"" + rule.TextToFind + "\": " +
                        reinterpret_cast<const char*>(message));
    }
    std::string out(text.size() + 64, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        PCRE2_SIZE length = out.size();
        const int rc = pcre2_substitute(code.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                                        PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH, nullptr,
                                        nullptr, reinterpret_cast<PCRE2_SPTR>(rule.ReplaceText.data()),
                                        rule.ReplaceText.size(), reinterpret_cast<PCRE2_UCHAR*>(out.data()), &length);
        if (rc == PCRE2_ERROR_NOMEMORY) {
            out.resize(length);
            continue;
        }
        if (rc < 0) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(rc, message, sizeof message);
            throw EVELError("Invalid regular expression \"" + rule.TextToFind + "\": " +
                            reinterpret_cast<const char*>(message));
        }
        out.resize(length);
        return out;
    }
    return std::string(text);
}

}  // namespace

std::string TVELComparisonRule::Apply(std::string_view text) const {
    return IsRegularExpression ? ReplaceRegex(text, *this) : ReplacePlain(text, *this);
}

std::string TVELComparisonRule::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "TextToFind")) return TextToFind;
    if (SameText(key, "ReplaceText")) return ReplaceText;
    if (SameText(key, "WholeWordsOnly")) return BoolStr(WholeWordsOnly);
    if (SameText(key, "CaseSensitive")) return BoolStr(CaseSensitive);
    if (SameText(key, "IsRegularExpression")) return BoolStr(IsRegularExpression);
    return TVELNamedObject::GetPropertyValue(key);
}

void TVELComparisonRule::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "TextToFind")) TextToFind = value;
    else if (SameText(key, "ReplaceText")) ReplaceText = value;
    else if (SameText(key, "WholeWordsOnly")) WholeWordsOnly = StrToBoolValue(value);
    else if (SameText(key, "CaseSensitive")) CaseSensitive = StrToBoolValue(value);
    else if (SameText(key, "IsRegularExpression")) IsRegularExpression = StrToBoolValue(value);
    else TVELNamedObject::SetPropertyValue(key, value);
}

void TVELComparisonRule::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELNamedObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELComparisonRule*>(&source);
    if (!s || s == this) return;
    TextToFind = s->TextToFind;
    ReplaceText = s->ReplaceText;
    WholeWordsOnly = s->WholeWordsOnly;
    CaseSensitive = s->CaseSensitive;
    IsRegularExpression = s->IsRegularExpression;
}

std::string TVELComparisonRule::SaveToMarkup() const {
    std::string r;
    AppendElement(r, "CRNAME", Name);
    AppendElement(r, "CRTTF", TextToFind);
    AppendElement(r, "CRRT", ReplaceText);
    AppendElement(r, "CRWW", BoolStr(WholeWordsOnly));
    AppendElement(r, "CRCS", BoolStr(CaseSensitive));
    AppendElement(r, "CRREGEX", BoolStr(IsRegularExpression));
    return r;
}

bool TVELComparisonRule::LoadFromMarkup(std::string_view text) {
    SetName(ReadElementText("CRNAME", text));
    TextToFind = ReadElementText("CRTTF", text);
    ReplaceText = ReadElementText("CRRT", text);
    WholeWordsOnly = ReadElementBool("CRWW", text, false);
    CaseSensitive = ReadElementBool("CRCS", text, false);
    IsRegularExpression = ReadElementBool("CRREGEX", text, false);
    return true;
}

std::string DataTypeText(const TVELDataType& type) {
    std::string t = type.TypeText();
    return t.empty() ? type.DataType : t;
}

// ---- renumbering ---------------------------------------------------------------------------

namespace {

int32_t Remapped(const std::unordered_map<int32_t, int32_t>& map, int32_t id) {
    const auto it = map.find(id);
    return it == map.end() ? id : it->second;
}

void RemapIDs(TVELAttributeIDs& ids, const std::unordered_map<int32_t, int32_t>& map) {
    std::vector<int32_t> v = ids.IDs();
    bool changed = false;
    for (int32_t& id : v)
        if (const int32_t n = Remapped(map, id); n != id) {
            id = n;
            changed = true;
        }
    if (changed) ids.SetIDs(std::move(v));
}

bool IsConnection(const TVELNamedObject* o) { return dynamic_cast<const TVELConnection*>(o) != nullptr; }

int32_t MaxID(const TVELNamedObjectsList& list) {
    int32_t m = 0;
    for (int i = 0; i < list.Count(); ++i) m = std::max(m, list[i]->ID);
    return m;
}

// The column-pair position of an attribute in a relationship, -1 when it takes no part.
int PairPosition(const TVELRelationship& r, const TVELEntity& entity, int32_t attributeID) {
    const bool parent = r.GetParentEntity() == &entity;
    const bool child = r.GetChildEntity() == &entity;
    for (int i = 0; i < r.Pairs.Count(); ++i) {
        const TVELPair* p = r.PairAt(i);
        if ((child && p->ForeignKeyID == attributeID) || (parent && p->KeyID == attributeID)) return i;
    }
    return -1;
}

struct TParticipation {
    std::string Relationship;
    int Position;
    bool Child;
};

std::vector<TParticipation> Participations(const TVELAttribute& a, const TVELEntity& entity,
                                           const std::vector<TVELRelationship*>& relationships) {
    std::vector<TParticipation> out;
    for (const TVELRelationship* r : relationships)
        if (const int pos = PairPosition(*r, entity, a.ID); pos >= 0)
            out.push_back({r->GetName(), pos, r->GetChildEntity() == &entity});
    return out;
}

}  // namespace

void TVELDataDictionaryIDMatcher::RenumberTopLevel(TVELDataDictionary& d, const IDMap& map) {
    if (map.empty()) return;
    for (int i = 0; i < d.Count(); ++i)
        if (const auto it = map.find(d[i]->ID); it != map.end()) d[i]->SetID(it->second);
    for (int i = 0; i < d.Count(); ++i) {
        TVELDatabaseObject* o = d.Object(i);
        int32_t parent = 0, child = 0;
        if (o->GetConnectionEnds(parent, child)) o->SetConnectionEnds(Remapped(map, parent), Remapped(map, child));
        if (o->AOID != -1) o->AOID = Remapped(map, o->AOID);
        if (auto* view = dynamic_cast<TVELView*>(o)) {
            TIntegersList related;
            for (int32_t id : view->RelatedIDs.Items()) related.Add(Remapped(map, id));
            view->RelatedIDs = related;
        }
        auto* entity = dynamic_cast<TVELEntity*>(o);
        if (!entity) continue;
        for (int k = 0; k < entity->Attributes.Count(); ++k) {
            TVELAttribute* a = entity->AttributeAt(k);
            if (a->DomainID != -1) a->DomainID = Remapped(map, a->DomainID);
            if (a->SequenceID != -1) a->SequenceID = Remapped(map, a->SequenceID);
        }
        for (int k = 0; k < entity->Indexes.Count(); ++k)
            if (TVELIndex* x = entity->IndexAt(k); x->RelationshipID != 0)
                x->RelationshipID = Remapped(map, x->RelationshipID);
    }
}

void TVELDataDictionaryIDMatcher::RenumberMembers(TVELEntity& entity, TVELNamedObjectsList& list, const IDMap& map,
                                                  const std::vector<TVELRelationship*>& relationships) {
    if (map.empty()) return;
    for (int i = 0; i < list.Count(); ++i)
        if (const auto it = map.find(list[i]->ID); it != map.end()) list[i]->SetID(it->second);
    if (&list == &entity.Attributes) {
        RemapIDs(entity.PrimaryKey->AttributeIDs, map);
        for (int i = 0; i < entity.Constraints.Count(); ++i) RemapIDs(entity.ConstraintAt(i)->AttributeIDs, map);
        for (int i = 0; i < entity.Indexes.Count(); ++i) {
            TVELIndex* x = entity.IndexAt(i);
            for (int c = 0; c < x->Columns.Count(); ++c)
                if (TVELIndexColumn* col = x->Column(c); col->AttributeID != -1)
                    col->AttributeID = Remapped(map, col->AttributeID);
        }
        for (int32_t& id : entity.KeyChangedAttributes) id = Remapped(map, id);
        for (TVELRelationship* r : relationships) {
            const bool parent = r->GetParentEntity() == &entity;
            const bool child = r->GetChildEntity() == &entity;
            for (int i = 0; i < r->Pairs.Count(); ++i) {
                TVELPair* p = r->PairAt(i);
                if (parent) p->KeyID = Remapped(map, p->KeyID);
                if (child) p->ForeignKeyID = Remapped(map, p->ForeignKeyID);
            }
            if (child) RemapIDs(r->FKConstraint->AttributeIDs, map);
        }
    } else if (&list == &entity.Triggers) {
        for (int i = 0; i < entity.Attributes.Count(); ++i)
            if (TVELAttribute* a = entity.AttributeAt(i); a->TriggerID != -1) a->TriggerID = Remapped(map, a->TriggerID);
    }
}

void TVELDataDictionaryIDMatcher::ChangeID(TVELDataDictionary& dictionary, TVELDatabaseObject& object, int32_t id) {
    RenumberTopLevel(dictionary, {{object.ID, id}});
}

void TVELDataDictionaryIDMatcher::ChangeMemberID(TVELEntity& entity, TVELDatabaseObject& member, int32_t id) {
    TVELNamedObjectsList* list = entity.ListOf(&member);
    if (!list) return;
    std::vector<TVELRelationship*> relationships;
    if (TVELDataDictionary* d = entity.RootDictionary()) {
        d->Relationships(relationships);
        std::erase_if(relationships, [&](const TVELRelationship* r) {
            return r->GetParentEntity() != &entity && r->GetChildEntity() != &entity;
        });
    }
    RenumberMembers(entity, *list, {{member.ID, id}}, relationships);
}

// ---- matching ------------------------------------------------------------------------------

bool TVELDataDictionaryIDMatcher::SameName(std::string_view a, std::string_view b) const {
    return IgnoreCase ? SameText(a, b) : a == b;
}

std::string TVELDataDictionaryIDMatcher::NameKey(std::string_view name) const {
    return IgnoreCase ? UpperCase(name) : std::string(name);
}

void TVELDataDictionaryIDMatcher::Pair(TVELNamedObject* targetObject, int32_t id, IDMap& map) {
    map[targetObject->ID] = id;
    targetIDs_.erase(targetObject->ID);
    targetIDs_.insert(id);
    matched_.insert(targetObject);
    Matched.push_back(targetObject);
}

void TVELDataDictionaryIDMatcher::PairTopLevel(bool qualified) {
    std::unordered_map<std::string, std::vector<TVELDatabaseObject*>> byName;
    for (int i = 0; i < Reference->Count(); ++i) {
        TVELDatabaseObject* o = Reference->Object(i);
        if (IsConnection(o)) continue;
        byName[NameKey(qualified ? o->GetNonQuotedQualifiedName() : o->GetName())].push_back(o);
        // A name mapping (reference name = target name) lets a renamed object pair by its new name.
        if (!qualified && Mappings)
            if (const int m = Mappings->IndexOfLeft(o->GetName(), IgnoreCase); m >= 0)
                byName[NameKey(Mappings->Right(m))].push_back(o);
    }
    IDMap map;
    for (int i = 0; i < Target->Count(); ++i) {
        TVELDatabaseObject* t = Target->Object(i);
        if (IsConnection(t) || matched_.count(t)) continue;
        const auto it = byName.find(NameKey(qualified ? t->GetNonQuotedQualifiedName() : t->GetName()));
        if (it == byName.end()) continue;
        for (TVELDatabaseObject* r : it->second) {
            if (typeid(*r) != typeid(*t) || targetIDs_.count(r->ID)) continue;
            if (!qualified && Mappings) {
                const int m = Mappings->IndexOfLeft(r->SchemaName, true);
                if (m >= 0 && UpperCase(Mappings->Right(m)) != UpperCase(t->SchemaName)) continue;
            }
            Pair(t, r->ID, map);
            break;
        }
    }
    RenumberTopLevel(*Target, map);
}

void TVELDataDictionaryIDMatcher::PairRelationships(bool byNameOrColumns) {
    auto columnNames = [](const TVELRelationship* r) {
        std::vector<std::pair<std::string, std::string>> names;
        for (int i = 0; i < r->Pairs.Count(); ++i) {
            const TVELPair* p = r->PairAt(i);
            const TVELAttribute* parent = r->ParentAttribute(p->KeyID);
            const TVELAttribute* child = r->ChildAttribute(p->ForeignKeyID);
            names.emplace_back(parent ? parent->GetName() : std::string(), child ? child->GetName() : std::string());
        }
        return names;
    };
    auto agree = [&](const TVELNamedObject* r, const TVELNamedObject* t) {
        if (SameName(r->GetName(), t->GetName())) return true;
        const auto* rr = dynamic_cast<const TVELRelationship*>(r);
        const auto* tr = dynamic_cast<const TVELRelationship*>(t);
        if (!rr || !tr) return false;
        const auto a = columnNames(rr), b = columnNames(tr);
        if (a.empty() || a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!SameName(a[i].first, b[i].first) || !SameName(a[i].second, b[i].second)) return false;
        return true;
    };
    std::unordered_map<int64_t, std::vector<TVELDatabaseObject*>> byEnds;
    auto endsKey = [](const TVELNamedObject* o) {
        int32_t parent = 0, child = 0;
        o->GetConnectionEnds(parent, child);
        return (static_cast<int64_t>(parent) << 32) ^ static_cast<uint32_t>(child);
    };
    for (int i = 0; i < Reference->Count(); ++i)
        if (TVELDatabaseObject* o = Reference->Object(i); IsConnection(o)) byEnds[endsKey(o)].push_back(o);
    IDMap map;
    for (int i = 0; i < Target->Count(); ++i) {
        TVELDatabaseObject* t = Target->Object(i);
        if (!IsConnection(t) || matched_.count(t)) continue;
        const auto it = byEnds.find(endsKey(t));
        if (it == byEnds.end()) continue;
        for (TVELDatabaseObject* r : it->second) {
            if (typeid(*r) != typeid(*t) || targetIDs_.count(r->ID)) continue;
            if (byNameOrColumns && !agree(r, t)) continue;
            Pair(t, r->ID, map);
            break;
        }
    }
    RenumberTopLevel(*Target, map);
}

std::unordered_map<int32_t, std::vector<TVELRelationship*>>
TVELDataDictionaryIDMatcher::RelationshipsByEntity(const TVELDataDictionary& d) const {
    std::unordered_map<int32_t, std::vector<TVELRelationship*>> out;
    for (int i = 0; i < d.Count(); ++i) {
        auto* r = dynamic_cast<TVELRelationship*>(d[i]);
        if (!r) continue;
        const TVELEntity* parent = r->GetParentEntity();
        const TVELEntity* child = r->GetChildEntity();
        if (parent) out[parent->ID].push_back(r);
        if (child && child != parent) out[child->ID].push_back(r);
    }
    return out;
}

void TVELDataDictionaryIDMatcher::PairAttributes(TVELEntity& ref, TVELEntity& tgt, int32_t offset) {
    const auto& refRels = referenceRelationships_[ref.ID];
    const auto& tgtRels = targetRelationships_[tgt.ID];
    std::unordered_set<int32_t> inUse;
    for (int i = 0; i < tgt.Attributes.Count(); ++i) inUse.insert(tgt.Attributes[i]->ID);
    std::unordered_set<int32_t> refPaired;
    IDMap map;
    auto unpaired = [&](const TVELAttribute* t) { return t->ID >= offset && !map.count(t->ID); };
    auto pair = [&](TVELAttribute* t, const TVELAttribute* r) {
        map[t->ID] = r->ID;
        inUse.insert(r->ID);
        refPaired.insert(r->ID);
    };

    // Pass A: by name.
    std::unordered_map<std::string, std::vector<TVELAttribute*>> byName;
    for (int i = 0; i < ref.Attributes.Count(); ++i) {
        TVELAttribute* r = ref.AttributeAt(i);
        byName[NameKey(r->GetName())].push_back(r);
        if (Mappings)
            if (const int m = Mappings->IndexOfLeft(r->GetName(), IgnoreCase); m >= 0)
                byName[NameKey(Mappings->Right(m))].push_back(r);
    }
    for (int i = 0; i < tgt.Attributes.Count(); ++i) {
        TVELAttribute* t = tgt.AttributeAt(i);
        const auto it = byName.find(NameKey(t->GetName()));
        if (it == byName.end()) continue;
        for (const TVELAttribute* r : it->second)
            if (!inUse.count(r->ID)) {
                pair(t, r);
                break;
            }
    }

    // The remaining passes walk the unpaired reference attributes from the last to the first.
    auto pass = [&](auto&& matches) {
        for (int i = ref.Attributes.Count() - 1; i >= 0; --i) {
            if (static_cast<int>(refPaired.size()) == ref.Attributes.Count()) return;
            const TVELAttribute* r = ref.AttributeAt(i);
            if (refPaired.count(r->ID)) continue;
            for (int k = 0; k < tgt.Attributes.Count(); ++k)
                if (TVELAttribute* t = tgt.AttributeAt(k); unpaired(t) && matches(i, r, k, t)) {
                    pair(t, r);
                    break;
                }
        }
    };
    auto sameConstraint = [](const TVELAttribute* r, const TVELAttribute* t, int32_t id) {
        const TVELConstraint* a = r->ExistingColumnConstraint(id);
        const TVELConstraint* b = t->ExistingColumnConstraint(id);
        return a && b && !a->Name.empty() && !a->Value.empty() && SameText(a->Name, b->Name) &&
               SameText(a->Value, b->Value);
    };
    // Pass B: the same named check constraint.
    pass([&](int, const TVELAttribute* r, int, const TVELAttribute* t) { return sameConstraint(r, t, 3); });
    // Pass C: the same named not-null constraint and the same data type.
    pass([&](int, const TVELAttribute* r, int, const TVELAttribute* t) {
        return sameConstraint(r, t, 1) && SameText(DataTypeText(*r->DataType), DataTypeText(*t->DataType));
    });
    // Pass D: the same places in relationships of the same names.
    pass([&](int, const TVELAttribute* r, int, const TVELAttribute* t) {
        const auto a = Participations(*r, ref, refRels);
        if (a.empty()) return false;
        const auto b = Participations(*t, tgt, tgtRels);
        if (a.size() != b.size()) return false;
        for (const TParticipation& p : a)
            if (std::none_of(b.begin(), b.end(), [&](const TParticipation& q) {
                    return q.Child == p.Child && q.Position == p.Position && SameName(q.Relationship, p.Relationship);
                }))
                return false;
        return true;
    });
    // Pass E: the same position and data type, outside every relationship.
    pass([&](int i, const TVELAttribute* r, int k, const TVELAttribute* t) {
        return i == k && SameText(DataTypeText(*r->DataType), DataTypeText(*t->DataType)) && Participations(*r, ref, refRels).empty() &&
               Participations(*t, tgt, tgtRels).empty();
    });
    RenumberMembers(tgt, tgt.Attributes, map, tgtRels);
}

void TVELDataDictionaryIDMatcher::PairByName(TVELNamedObjectsList& ref, TVELNamedObjectsList& tgt, TVELEntity& entity) {
    std::unordered_set<int32_t> inUse;
    for (int i = 0; i < tgt.Count(); ++i) inUse.insert(tgt[i]->ID);
    std::unordered_map<std::string, std::vector<TVELNamedObject*>> byName;
    for (int i = 0; i < ref.Count(); ++i) byName[NameKey(ref[i]->Name)].push_back(ref[i]);
    IDMap map;
    for (int i = 0; i < tgt.Count(); ++i) {
        TVELNamedObject* t = tgt[i];
        const auto it = byName.find(NameKey(t->Name));
        if (it == byName.end()) continue;
        for (const TVELNamedObject* r : it->second)
            if (!inUse.count(r->ID)) {
                map[t->ID] = r->ID;
                inUse.insert(r->ID);
                break;
            }
    }
    RenumberMembers(entity, tgt, map, targetRelationships_[entity.ID]);
}

void TVELDataDictionaryIDMatcher::ReorderConstraints(const TVELEntity& ref, TVELEntity& tgt) {
    std::vector<int> slots;
    std::vector<TVELNamedObject*> paired;
    for (int i = 0; i < tgt.Constraints.Count(); ++i)
        if (ref.Constraints.FindByID(tgt.Constraints[i]->ID)) {
            slots.push_back(i);
            paired.push_back(tgt.Constraints[i]);
        }
    std::stable_sort(paired.begin(), paired.end(), [&](const TVELNamedObject* a, const TVELNamedObject* b) {
        return ref.Constraints.IndexOf(ref.Constraints.FindByID(a->ID)) <
               ref.Constraints.IndexOf(ref.Constraints.FindByID(b->ID));
    });
    for (size_t i = 0; i < slots.size(); ++i) tgt.Constraints.Move(tgt.Constraints.IndexOf(paired[i]), slots[i]);
}

void TVELDataDictionaryIDMatcher::PairMembers(TVELEntity& ref, TVELEntity& tgt) {
    const auto& tgtRels = targetRelationships_[tgt.ID];
    auto raise = [&](TVELNamedObjectsList& r, TVELNamedObjectsList& t) {
        const int32_t offset = std::max(MaxID(r), MaxID(t)) + 1;
        IDMap map;
        for (int i = 0; i < t.Count(); ++i) map[t[i]->ID] = t[i]->ID + offset;
        RenumberMembers(tgt, t, map, tgtRels);
        return offset;
    };
    const int32_t attributeOffset = raise(ref.Attributes, tgt.Attributes);
    raise(ref.Indexes, tgt.Indexes);
    raise(ref.Triggers, tgt.Triggers);
    raise(ref.Constraints, tgt.Constraints);
    PairAttributes(ref, tgt, attributeOffset);
    PairByName(ref.Indexes, tgt.Indexes, tgt);
    PairByName(ref.Triggers, tgt.Triggers, tgt);
    PairByName(ref.Constraints, tgt.Constraints, tgt);
    ReorderConstraints(ref, tgt);
}

void TVELDataDictionaryIDMatcher::MatchIDs() {
    Matched.clear();
    matched_.clear();
    // Make room: every target identifier goes above all identifiers of both dictionaries.
    offset_ = std::max(MaxID(*Reference), MaxID(*Target)) + 1;
    IDMap raise;
    targetIDs_.clear();
    for (int i = 0; i < Target->Count(); ++i) {
        raise[Target->Object(i)->ID] = Target->Object(i)->ID + offset_;
        targetIDs_.insert(Target->Object(i)->ID + offset_);
    }
    RenumberTopLevel(*Target, raise);

    PairTopLevel(true);
    PairTopLevel(false);
    PairRelationships(true);

    referenceRelationships_ = RelationshipsByEntity(*Reference);
    targetRelationships_ = RelationshipsByEntity(*Target);
    std::vector<TVELEntity*> entities;
    Target->Entities(entities);
    for (TVELEntity* t : entities) {
        if (t->ID >= offset_) continue;
        if (auto* r = dynamic_cast<TVELEntity*>(Reference->FindObjectByID(t->ID))) PairMembers(*r, *t);
    }

    // Finish: the remaining connections between the same ends, and members in identifier order.
    // Attributes are the exception: their order is the column order of the table, which the
    // renumbering must not change (a column inserted in the middle stays there, and a moved
    // column shows as moved).
    PairRelationships(false);
    for (TVELEntity* t : entities) {
        t->Attributes.CheckLastID();
        for (TVELNamedObjectsList* list :
             std::initializer_list<TVELNamedObjectsList*>{&t->Indexes, &t->Triggers, &t->Constraints}) {
            list->SortByID();
            list->CheckLastID();
        }
    }
    Target->CheckLastID();
}

void MatchIDs(TVELDataDictionary& reference, TVELDataDictionary& target, const TVELStringMappingList* mappings,
              bool ignoreCase) {
    TVELDataDictionaryIDMatcher matcher(reference, target, mappings);
    matcher.IgnoreCase = ignoreCase;
    matcher.MatchIDs();
}

// ---- comparing copies ----------------------------------------------------------------------

void ApplyCompareOptions(TVELDataDictionary& d, const TVELSettingsList& options) {
    // The same preparation as for generation; text areas, group boxes and stamps stay, since
    // they are compared too.
    TVELSettingsList prepare;
    prepare.SetValue("DONOTDELETETEXTAREASANDGROUPBOXES", "1");
    for (int i = 0; i < options.Count(); ++i) prepare.SetValue(options.NameAt(i), options.ValueAt(i));
    d.Prepare(&prepare);
}

namespace {

// Gives the object named left in one copy and the object named right in the other the common
// name left + "<>" + right, so that the comparer sees them as one.
void ApplyMapping(TVELDataDictionary& d, std::string_view name, const std::string& common) {
    for (int i = 0; i < d.Count(); ++i) {
        TVELDatabaseObject* o = d.Object(i);
        if (SameText(o->GetName(), name) || SameText(o->GetNonQuotedQualifiedName(), name)) o->SetName(common);
        if (auto* e = dynamic_cast<TVELEntity*>(o))
            for (int k = 0; k < e->Attributes.Count(); ++k)
                if (SameText(e->Attributes[k]->GetName(), name)) e->Attributes[k]->SetName(common);
    }
}

}  // namespace

void CompareDictionaries(const TVELDataDictionary& source, const TVELDataDictionary& destination,
                         TVELDifferences& differences, const TVELCompareSettings& settings) {
    TVELDataDictionary left;
    TVELDataDictionary right;
    left.AssignDictionary(source);
    right.AssignDictionary(destination);
    const TVELPrepareFunction& prepare = settings.Prepare ? settings.Prepare : TVELPrepareFunction(ApplyCompareOptions);
    prepare(left, settings.Options);
    prepare(right, settings.Options);
    if (settings.Mappings)
        for (int i = 0; i < settings.Mappings->Count(); ++i) {
            const std::string common = settings.Mappings->Left(i) + "<>" + settings.Mappings->Right(i);
            ApplyMapping(left, settings.Mappings->Left(i), common);
            ApplyMapping(right, settings.Mappings->Right(i), common);
        }
    TVELDDComparer comparer;
    comparer.Source = &left;
    comparer.Destination = &right;
    comparer.ScriptOf = settings.ScriptOf;
    comparer.Compare(differences, settings.IgnoreCase, settings.MarkWords, settings.Rules, settings.DescriptionMode);
    differences.CountAll();
    differences.CountSelected();
}

}  // namespace ardvin
