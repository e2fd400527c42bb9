#include "zRelationship.h"

#include <algorithm>

#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zSLDatatypes.h"

namespace ardvin {

namespace {

constexpr const char* RelationshipTypeCaptions[] = {"Identifying", "Non Identifying", "SubCategory",
                                                    "ViewConnection"};
constexpr const char* CardinalityCaptions[] = {"Zero Or More", "One Or More", "Zero Or One", "Exactly One",
                                               "Many To Many"};
constexpr const char* ActionNames[] = {"None", "Restrict", "Cascade", "Set Null", "Set Default"};

template <size_t N> std::string Caption(const char* const (&table)[N], int index) {
    return index >= 0 && index < static_cast<int>(N) ? table[index] : "";
}

uint8_t ReadByte(std::string_view tag, std::string_view text) {
    return static_cast<uint8_t>(StrToIntDef(ReadElement(tag, text, "0"), 0));
}

std::string NamesOf(const std::vector<TVELAttribute*>& attributes) {
    std::vector<std::string> names;
    for (const TVELAttribute* a : attributes)
        names.push_back(a->GetName());
    return JoinStrings(names, ", ");
}

// Entity name + " (" + column names + ")".
std::string WithColumns(const TVELEntity* entity, const std::vector<TVELAttribute*>& attributes) {
    return (entity ? entity->GetName() : std::string()) + " (" + NamesOf(attributes) + ")";
}

// Records an attribute whose key membership propagation changed, once.
void RecordKeyChange(TVELEntity& entity, int32_t id) {
    std::vector<int32_t>& changes = entity.KeyChangedAttributes;
    if (std::find(changes.begin(), changes.end(), id) == changes.end()) changes.push_back(id);
}

int TypeGroupOf(const TSLDatatypes* list, const TVELAttribute& attribute) {
    if (!list || list->IndexOf(attribute.DataType->DataType) < 0) return tgUnknown;
    return list->TypeGroup(attribute.DataType->DataType);
}

} // namespace

std::string RelationshipTypeCaption(int type) {
    return Caption(RelationshipTypeCaptions, type);
}
std::string CardinalityCaption(int cardinality) {
    return Caption(CardinalityCaptions, cardinality);
}
std::string ReferentialActionName(int action) {
    return Caption(ActionNames, action);
}

int ReferentialActionFromName(std::string_view name) {
    for (int i = 0; i < static_cast<int>(std::size(ActionNames)); ++i)
        if (SameText(name, ActionNames[i])) return i;
    return -1;
}

// ---- TVELConnection ----------------------------------------------------------------------------

TVELDatabaseObject* TVELConnection::GetParentObject() const {
    const TVELDataDictionary* dictionary = RootDictionary();
    return dictionary ? dictionary->FindObjectByID(ParentObjectID) : nullptr;
}

TVELDatabaseObject* TVELConnection::GetChildObject() const {
    const TVELDataDictionary* dictionary = RootDictionary();
    return dictionary ? dictionary->FindObjectByID(ChildObjectID) : nullptr;
}

bool TVELConnection::GetConnectionEnds(int32_t& parentID, int32_t& childID) const {
    parentID = ParentObjectID;
    childID = ChildObjectID;
    return true;
}

void TVELConnection::SetConnectionEnds(int32_t parentID, int32_t childID) {
    ParentObjectID = parentID;
    ChildObjectID = childID;
}

void TVELConnection::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    if (const auto* s = dynamic_cast<const TVELConnection*>(&source)) {
        ParentObjectID = s->ParentObjectID;
        ChildObjectID = s->ChildObjectID;
    }
}

bool TVELConnection::ValidateEnds(const TVELMessageCallback& callback) {
    if (!GetParentObject()) {
        AddMessage(mlError,
                   Format("Unable to find parent object with id \"%d\". Connection removed.", ParentObjectID),
                   callback);
        return false;
    }
    if (!GetChildObject()) {
        AddMessage(mlError,
                   Format("Unable to find child object with id \"%d\". Connection removed.", ChildObjectID),
                   callback);
        return false;
    }
    return true;
}

bool TVELConnection::Validate(bool fix, const TVELMessageCallback& callback) {
    bool errors = false;
    const TVELMessageCallback cb = TrackErrors(callback, errors);
    TVELDatabaseObject::Validate(fix, cb);
    ValidateEnds(cb);
    return !errors;
}

std::string TVELConnection::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    AppendElement(r, "PARENTOBJECTID", IntToStr(ParentObjectID));
    AppendElement(r, "CHILDOBJECTID", IntToStr(ChildObjectID));
    return r;
}

bool TVELConnection::LoadFromMarkup(std::string_view text) {
    if (!TVELDatabaseObject::LoadFromMarkup(text)) return false;
    ParentObjectID = StrToIntDef(ReadElement("PARENTOBJECTID", text, "1"), 1);
    ChildObjectID = StrToIntDef(ReadElement("CHILDOBJECTID", text, "1"), 1);
    return true;
}

// ---- TVELPair ----------------------------------------------------------------------------------

void TVELPair::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    if (const auto* s = dynamic_cast<const TVELPair*>(&source)) {
        KeyID = s->KeyID;
        ForeignKeyID = s->ForeignKeyID;
    }
}

std::string TVELPair::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    AppendElement(r, "KEYID", IntToStr(KeyID));
    AppendElement(r, "FOREIGNKEYID", IntToStr(ForeignKeyID));
    return r;
}

bool TVELPair::LoadFromMarkup(std::string_view text) {
    if (!TVELDatabaseObject::LoadFromMarkup(text)) return false;
    KeyID = StrToIntDef(ReadElement("KEYID", text, "0"), 0);
    ForeignKeyID = StrToIntDef(ReadElement("FOREIGNKEYID", text, "0"), 0);
    return true;
}

// ---- TVELRelationship --------------------------------------------------------------------------

TVELRelationship::TVELRelationship(TVELPersistent* owner)
    : TVELConnection(owner), FKConstraint(std::make_unique<TVELConstraint>(this)) {
    ObjectType = otRelationship;
    NameFromTemplate = true;
    NameTemplate = "%parent%_%child%";
    FKConstraint->ID = 1;
    FKConstraint->ConstraintType = ctForeignKey;
    FKConstraint->Level = clTable;
    Pairs.Owner = this;
}

TVELRelationship::~TVELRelationship() = default;

TVELPropagationOptions TVELRelationship::Options() const {
    const TVELDataDictionary* dictionary = RootDictionary();
    return dictionary ? dictionary->PropagationOptions : TVELPropagationOptions();
}

TVELEntity* TVELRelationship::ResolveEnd(int32_t id) const {
    const TVELDataDictionary* dictionary = RootDictionary();
    if (!dictionary) return nullptr;
    TVELDatabaseObject* end = dictionary->FindObjectByID(id);
    if (!end) return nullptr;
    if (auto* entity = dynamic_cast<TVELEntity*>(end)) return entity;
    return end->AOID == -1 ? nullptr : dynamic_cast<TVELEntity*>(dictionary->FindObjectByID(end->AOID));
}

TVELEntity* TVELRelationship::GetParentEntity() const {
    return ResolveEnd(ParentObjectID);
}
TVELEntity* TVELRelationship::GetChildEntity() const {
    return ResolveEnd(ChildObjectID);
}

TVELPair* TVELRelationship::FindPairByKey(int32_t parentAttributeID) const {
    for (int i = 0; i < Pairs.Count(); ++i)
        if (PairAt(i)->KeyID == parentAttributeID) return PairAt(i);
    return nullptr;
}

TVELAttribute* TVELRelationship::ParentAttribute(int32_t id) const {
    const TVELEntity* parent = GetParentEntity();
    return parent ? parent->FindAttribute(id) : nullptr;
}

TVELAttribute* TVELRelationship::ChildAttribute(int32_t id) const {
    const TVELEntity* child = GetChildEntity();
    return child ? child->FindAttribute(id) : nullptr;
}

void TVELRelationship::ForeignKeyAttributes(std::vector<TVELAttribute*>& out) const {
    out.clear();
    if (const TVELEntity* child = GetChildEntity())
        for (int i = 0; i < Pairs.Count(); ++i)
            if (TVELAttribute* a = child->FindAttribute(PairAt(i)->ForeignKeyID)) out.push_back(a);
}

void TVELRelationship::KeyAttributes(std::vector<TVELAttribute*>& out) const {
    out.clear();
    if (const TVELEntity* parent = GetParentEntity())
        for (int i = 0; i < Pairs.Count(); ++i)
            if (TVELAttribute* a = parent->FindAttribute(PairAt(i)->KeyID)) out.push_back(a);
}

void TVELRelationship::ForeignKeyPairs(std::vector<std::pair<int32_t, int32_t>>& pairs) const {
    pairs.clear();
    pairs.reserve(Pairs.Count());
    for (int i = 0; i < Pairs.Count(); ++i)
        pairs.emplace_back(PairAt(i)->KeyID, PairAt(i)->ForeignKeyID);
}

std::string TVELRelationship::ExpandRelationshipTemplate(std::string_view tmpl) const {
    if (tmpl.find('%') == std::string_view::npos) return std::string(tmpl);
    const TVELEntity* parent = GetParentEntity();
    const TVELEntity* child = GetChildEntity();
    const std::string parentName = parent ? parent->GetName() : std::string();
    const std::string childName = child ? child->GetName() : std::string();
    std::vector<TVELAttribute*> keys, foreignKeys;
    KeyAttributes(keys);
    ForeignKeyAttributes(foreignKeys);
    // The relationship's name as shown; while its own template is expanded, the stored name
    // stands for it (the template may name the relationship itself).
    const std::string relName = NameFromTemplate && tmpl != NameTemplate ? GetName() : Name;
    const std::pair<const char*, std::string> values[] = {
        {"%relationshipname%", relName},
        {"%relname%", relName},
        {"%parenttableabbreviation%", parent ? parent->Abbreviation : std::string()},
        {"%parentabb%", parent ? parent->Abbreviation : std::string()},
        {"%parenttablename%", parentName},
        {"%parentcolumn%", keys.empty() ? std::string() : keys.front()->GetName()},
        {"%parent%", parentName},
        {"%childtableabbreviation%", child ? child->Abbreviation : std::string()},
        {"%childabb%", child ? child->Abbreviation : std::string()},
        {"%childtablename%", childName},
        {"%childcolumn%", foreignKeys.empty() ? std::string() : foreignKeys.front()->GetName()},
        {"%child%", childName},
    };
    std::string r(tmpl);
    for (const auto& [placeholder, value] : values)
        if (FindText(r, placeholder) != std::string::npos) r = ReplaceAllText(r, placeholder, value);
    return r;
}

std::string TVELRelationship::GetTemplateName() const {
    return ExpandNameTemplate(*this, ExpandRelationshipTemplate(NameTemplate));
}

std::string TVELRelationship::ForeignKeyAttributeName(const TVELAttribute& parentAttribute) const {
    const TVELPropagationOptions options = Options();
    const std::string tmpl = Trim(options.ForeignKeyAttributeTemplate).empty()
                                 ? std::string("%column%")
                                 : options.ForeignKeyAttributeTemplate;
    std::string r = ExpandNameTemplate(*this, ExpandRelationshipTemplate(tmpl));
    r = ReplaceAllText(r, "%columnname%", parentAttribute.GetName());
    r = ReplaceAllText(r, "%column%", parentAttribute.GetName());
    if (const TVELEntity* child = GetChildEntity(); child && child->Attributes.NameExists(r))
        r = child->Attributes.MakeUniqueName(r, true, nullptr);
    return r;
}

TVELPair* TVELRelationship::AddPair(TVELAttribute* parentAttribute) {
    const TVELPropagationOptions options = Options();
    if (!options.PropagateForeignKeys || !parentAttribute) return nullptr;
    TVELEntity* parent = GetParentEntity();
    TVELEntity* child = GetChildEntity();
    if (!parent || !child) return nullptr;
    TVELAttribute* childAttribute = nullptr;
    if (options.ForeignKeyAttributeMode == fkmReuseExisting && parent != child)
        childAttribute =
            dynamic_cast<TVELAttribute*>(child->Attributes.FindByName(parentAttribute->GetName()));
    if (!childAttribute) {
        const std::string name = ForeignKeyAttributeName(*parentAttribute);
        childAttribute = child->AddAttribute(true);
        childAttribute->SetName(name);
        childAttribute->DataType->Assign(*parentAttribute->DataType);
        childAttribute->DomainID = parentAttribute->DomainID;
        // Auto-numbering stays with the parent: a foreign key takes the plain counterpart.
        childAttribute->DataType->AutoNumber = false;
        if (const TSLDatatypes* list = GetDataTypes())
            if (const TDataTypeRecord* record = list->Find(childAttribute->DataType->DataType);
                record && (record->IsAutoNumber || list->TypeGroup(record->ListName) == tgAutonumber) &&
                !record->FKDataType.empty())
                childAttribute->DataType->DataType = record->FKDataType;
    }
    auto created = std::make_unique<TVELPair>(this);
    created->SetID(Pairs.NewID());
    created->KeyID = parentAttribute->ID;
    created->ForeignKeyID = childAttribute->ID;
    auto* pair = static_cast<TVELPair*>(Pairs.Add(std::move(created)));
    DoChanged();
    if (MandatoryParent) childAttribute->SetNotNull(true);
    // A relationship of an entity to itself never puts its foreign key into the key.
    if (RelationshipType != rtNonIdentifying && parent != child) {
        child->AddToPrimaryKey(childAttribute);
        RecordKeyChange(*child, childAttribute->ID);
    }
    return pair;
}

bool TVELRelationship::MayDeleteChildAttribute(const TVELEntity& child,
                                               const TVELAttribute& attribute) const {
    if (!Options().DeleteForeignKeyAttributes || attribute.IsPrimaryKey()) return false;
    int uses = 0;
    for (int i = 0; i < Pairs.Count(); ++i)
        if (PairAt(i)->ForeignKeyID == attribute.ID) ++uses;
    std::vector<const TVELForeignKeySource*> sources;
    child.ForeignKeySources(sources);
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const TVELForeignKeySource* source : sources) {
        if (source == this) continue;
        source->ForeignKeyPairs(pairs);
        for (const auto& pair : pairs)
            if (pair.second == attribute.ID) ++uses;
    }
    return uses < 2;
}

bool TVELRelationship::RemovePair(TVELPair* pair) {
    if (!pair || Pairs.IndexOf(pair) < 0) return false;
    bool deleted = false;
    TVELEntity* child = GetChildEntity();
    // The attributes of an entity that is being deleted go with it.
    if (child && !child->Deleting)
        if (TVELAttribute* attribute = child->FindAttribute(pair->ForeignKeyID);
            attribute && MayDeleteChildAttribute(*child, *attribute)) {
            if (OnDeleteAttribute) OnDeleteAttribute(this, attribute);
            child->DeleteMember(attribute);
            deleted = true;
        }
    Pairs.DeleteObject(pair);
    DoChanged();
    return deleted;
}

void TVELRelationship::RemoveAllPairs() {
    for (int i = Pairs.Count() - 1; i >= 0; --i)
        if (i < Pairs.Count()) RemovePair(PairAt(i));
}

void TVELRelationship::Connect() {
    if (RelationshipType != rtNonIdentifying) MandatoryParent = true;
    if (TVELEntity* parent = GetParentEntity()) {
        std::vector<TVELAttribute*> key;
        parent->PrimaryKeyAttributes(key);
        for (TVELAttribute* a : key)
            if (!FindPairByKey(a->ID)) AddPair(a);
    }
    DoChanged();
}

bool TVELRelationship::IsIdentifying() const {
    const TVELEntity* parent = GetParentEntity();
    const TVELEntity* child = GetChildEntity();
    if (!parent || !child || parent == child || !MandatoryParent) return false;
    for (int i = 0; i < Pairs.Count(); ++i)
        if (!parent->PrimaryKey->AttributeIDs.ContainsID(PairAt(i)->KeyID)) return false;
    for (int32_t id : parent->PrimaryKey->AttributeIDs.IDs()) {
        const TVELPair* pair = FindPairByKey(id);
        if (!pair || !child->FindAttribute(pair->ForeignKeyID) ||
            !child->PrimaryKey->AttributeIDs.ContainsID(pair->ForeignKeyID))
            return false;
    }
    return true;
}

namespace {

// Removes the pairs whose parent attribute is not in the parent's key, then gives every key
// attribute of the parent a pair whose child attribute is in (or out of) the child's key.
void AlignPairsWithKey(TVELRelationship& relationship, bool inKey) {
    TVELEntity* parent = relationship.GetParentEntity();
    TVELEntity* child = relationship.GetChildEntity();
    if (!parent || !child) return;
    for (int i = relationship.Pairs.Count() - 1; i >= 0; --i)
        if (i < relationship.Pairs.Count() &&
            !parent->PrimaryKey->AttributeIDs.ContainsID(relationship.PairAt(i)->KeyID))
            relationship.RemovePair(relationship.PairAt(i));
    std::vector<TVELAttribute*> key;
    parent->PrimaryKeyAttributes(key);
    for (TVELAttribute* a : key) {
        TVELPair* pair = relationship.FindPairByKey(a->ID);
        if (!pair) pair = relationship.AddPair(a);
        TVELAttribute* childAttribute = pair ? child->FindAttribute(pair->ForeignKeyID) : nullptr;
        if (!childAttribute) continue;
        if (childAttribute->IsPrimaryKey() == inKey) continue;
        if (inKey)
            child->AddToPrimaryKey(childAttribute);
        else
            child->RemoveFromPrimaryKey(childAttribute);
        RecordKeyChange(*child, childAttribute->ID);
    }
}

} // namespace

void TVELRelationship::MakeIdentifying() {
    const TVELEntity* parent = GetParentEntity();
    if (!parent || parent == GetChildEntity()) return;
    // The pairs are created as key columns.
    RelationshipType = rtIdentifying;
    AlignPairsWithKey(*this, true);
    MandatoryParent = true;
    DoChanged();
}

void TVELRelationship::MakeNonIdentifying() {
    RelationshipType = rtNonIdentifying;
    AlignPairsWithKey(*this, false);
    DoChanged();
}

void TVELRelationship::ApplyType() {
    if (RelationshipType == rtIdentifying && !IsIdentifying())
        MakeIdentifying();
    else if (RelationshipType == rtNonIdentifying && IsIdentifying())
        MakeNonIdentifying();
}

void TVELRelationship::ApplyMandatoryParent() {
    if (MandatoryParent && GetParentEntity() != GetChildEntity()) {
        std::vector<TVELAttribute*> foreignKeys;
        ForeignKeyAttributes(foreignKeys);
        for (TVELAttribute* a : foreignKeys)
            a->SetNotNull(true);
    }
    DoChanged();
}

bool TVELRelationship::Propagate(std::vector<TVELNamedObject*>& changed) {
    TVELEntity* parent = GetParentEntity();
    TVELEntity* child = GetChildEntity();
    if (!parent || !child) return false;
    bool any = false;
    // 1. Pairs whose child attribute is gone are dropped without touching anything else.
    for (int i = Pairs.Count() - 1; i >= 0; --i)
        if (!child->FindAttribute(PairAt(i)->ForeignKeyID)) {
            Pairs.DeleteObject(PairAt(i));
            Changed = any = true;
        }
    // 2. Pairs whose parent attribute is gone.
    for (int i = Pairs.Count() - 1; i >= 0; --i)
        if (i < Pairs.Count() && !parent->FindAttribute(PairAt(i)->KeyID)) {
            RemovePair(PairAt(i));
            any = true;
        }
    // 3. and 4. Attributes that left or joined the parent's key.
    if (!parent->KeyChangedAttributes.empty()) {
        const std::vector<int32_t> keyChanges = parent->KeyChangedAttributes;
        for (int32_t id : keyChanges)
            if (!parent->PrimaryKey->AttributeIDs.ContainsID(id))
                if (TVELPair* pair = FindPairByKey(id)) {
                    RemovePair(pair);
                    any = true;
                }
        for (int32_t id : keyChanges)
            if (parent->PrimaryKey->AttributeIDs.ContainsID(id) && !FindPairByKey(id))
                if (TVELAttribute* a = parent->FindAttribute(id); a && AddPair(a)) any = true;
    }
    // 5. The type follows the keys.
    if (RelationshipType != rtSubCategory) {
        const uint8_t type = IsIdentifying() ? rtIdentifying : rtNonIdentifying;
        if (type != RelationshipType) {
            RelationshipType = type;
            any = true;
        }
    }
    // 6. A non-identifying relationship is mandatory exactly when all its foreign keys are required.
    if (RelationshipType == rtNonIdentifying) {
        std::vector<TVELAttribute*> foreignKeys;
        ForeignKeyAttributes(foreignKeys);
        const bool mandatory =
            !foreignKeys.empty() && std::all_of(foreignKeys.begin(), foreignKeys.end(),
                                                [](const TVELAttribute* a) { return a->IsNotNull(); });
        if (mandatory != MandatoryParent) {
            MandatoryParent = mandatory;
            any = true;
        }
    }
    if (any) {
        for (TVELNamedObject* entity :
             {static_cast<TVELNamedObject*>(parent), static_cast<TVELNamedObject*>(child)})
            if (std::find(changed.begin(), changed.end(), entity) == changed.end()) changed.push_back(entity);
        if (OnPropagate) OnPropagate(this);
    }
    return any;
}

// ---- properties --------------------------------------------------------------------------------

std::string TVELRelationship::GetPropertyValue(std::string_view key) const {
    std::vector<TVELAttribute*> attributes;
    if (SameText(key, "FKConstraintName")) return FKConstraint->GetName();
    if (SameText(key, "NameTemplate")) return NameTemplate;
    if (SameText(key, "Parent") || SameText(key, "Child")) {
        const TVELEntity* entity = SameText(key, "Parent") ? GetParentEntity() : GetChildEntity();
        return entity ? entity->GetName() : std::string();
    }
    if (SameText(key, "ParentColumns") || SameText(key, "parentwithcolumns")) {
        KeyAttributes(attributes);
        return SameText(key, "ParentColumns") ? NamesOf(attributes)
                                              : WithColumns(GetParentEntity(), attributes);
    }
    if (SameText(key, "ChildColumns") || SameText(key, "childwithcolumns")) {
        ForeignKeyAttributes(attributes);
        return SameText(key, "ChildColumns") ? NamesOf(attributes)
                                             : WithColumns(GetChildEntity(), attributes);
    }
    if (SameText(key, "Cardinality")) return CardinalityCaption(Cardinality);
    if (SameText(key, "RelationshipType")) return RelationshipTypeCaption(RelationshipType);
    if (SameText(key, "updaterule")) return ReferentialActionName(UpdateRule);
    if (SameText(key, "deleterule")) return ReferentialActionName(DeleteRule);
    return TVELConnection::GetPropertyValue(key);
}

void TVELRelationship::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "updaterule") || SameText(key, "deleterule")) {
        const int action = ReferentialActionFromName(Trim(value));
        if (action < 0) return;
        uint8_t& rule = SameText(key, "updaterule") ? UpdateRule : DeleteRule;
        if (rule == action) return;
        rule = static_cast<uint8_t>(action);
        DoChanged();
    } else if (SameText(key, "FKConstraintName")) {
        FKConstraint->SetName(value);
    } else {
        TVELConnection::SetPropertyValue(key, value);
    }
}

void TVELRelationship::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELConnection::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELRelationship*>(&source);
    if (!s || s == this) return;
    NameFromTemplate = s->NameFromTemplate;
    FKConstraint->Assign(*s->FKConstraint);
    Changed = s->Changed;
    RelationshipType = s->RelationshipType;
    Pairs.ClearAndFree();
    for (int i = 0; i < s->Pairs.Count(); ++i) {
        auto pair = std::make_unique<TVELPair>(this);
        pair->Assign(*s->PairAt(i));
        Pairs.Add(std::move(pair));
    }
    Pairs.LastID = s->Pairs.LastID;
    Cardinality = s->Cardinality;
    ParentPhrase = s->ParentPhrase;
    ChildPhrase = s->ChildPhrase;
    MandatoryParent = s->MandatoryParent;
    UpdateRule = s->UpdateRule;
    DeleteRule = s->DeleteRule;
}

// ---- validation --------------------------------------------------------------------------------

bool TVELRelationship::Validate(bool fix, const TVELMessageCallback& callback) {
    bool errors = false;
    const TVELMessageCallback cb = TrackErrors(callback, errors);
    TVELDatabaseObject::Validate(fix, cb);
    // 1. and 2.
    ValidateName(GetName(), "Relationship name", true, false, cb, -1, nullptr);
    if (!ValidateEnds(cb)) return false;
    const TVELEntity* parent = GetParentEntity();
    const TVELEntity* child = GetChildEntity();
    if (!parent) {
        AddMessage(mlError, "Unable to find parent entity. Relationship removed.", cb);
        return false;
    }
    if (!child) {
        AddMessage(mlError, "Unable to find child entity. Relationship removed.", cb);
        return false;
    }
    // 3. and 4.
    if (Pairs.Count() == 0) AddMessage(mlWarning, "Relationship has no linked attributes.", cb);
    std::vector<TVELAttribute*> foreignKeys;
    ForeignKeyAttributes(foreignKeys);
    if (MandatoryParent)
        for (const TVELAttribute* a : foreignKeys)
            if (!a->IsNotNull())
                AddMessage(
                    mlWarning,
                    Format(
                        "Relationship has a cardinality of exactly one, yet foreign key \"%s\" allows null "
                        "values.",
                        a->GetName().c_str()),
                    cb);
    // 5.
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    const bool refInt = s && s->EnableRefInt;
    if (refInt && DeleteRule == raSetDefault) {
        for (const TVELAttribute* a : foreignKeys)
            if (a->DefaultValue().empty())
                AddMessage(
                    mlError,
                    Format("Delete rule is \"set default\" but foreign key \"%s\" has no default specified.",
                           a->GetName().c_str()),
                    cb);
    } else if (refInt && DeleteRule == raSetNull) {
        for (const TVELAttribute* a : foreignKeys)
            if (a->IsNotNull())
                AddMessage(
                    mlError,
                    Format("Delete rule is \"set null\" but foreign key \"%s\" is required (not null).",
                           a->GetName().c_str()),
                    cb);
    }
    // 6.
    const TSLDatatypes* list = GetDataTypes();
    for (int i = 0; i < Pairs.Count(); ++i) {
        const TVELAttribute* p = parent->FindAttribute(PairAt(i)->KeyID);
        const TVELAttribute* c = child->FindAttribute(PairAt(i)->ForeignKeyID);
        if (!p || !c) continue;
        const int parentGroup = TypeGroupOf(list, *p);
        if (parentGroup == tgAutonumber) continue;
        if (parentGroup != TypeGroupOf(list, *c)) {
            AddMessage(
                mlWarning,
                Format("Child attribute \"%s\" data type not consistent with parent attribute \"%s\" data "
                       "type.",
                       c->GetName().c_str(), p->GetName().c_str()),
                cb);
            continue;
        }
        int32_t parentLength = 0, childLength = 0;
        const std::string& pl = p->DataType->Length;
        const std::string& cl = c->DataType->Length;
        // Lengths that are not numbers (a maximum marker) are not compared.
        if (Trim(pl) != "0" && Trim(cl) != "0" && TryStrToInt(pl, parentLength) &&
            TryStrToInt(cl, childLength) && childLength < parentLength)
            AddMessage(
                mlWarning,
                Format("Child attribute \"%s\" data type length is lower than parent attribute \"%s\" data "
                       "type length.",
                       c->GetName().c_str(), p->GetName().c_str()),
                cb);
    }
    // 7.
    if (s && s->EnableRefInt) {
        auto repair = [&](uint8_t& rule, const std::set<TRefIntAction>& supported, const char* text) {
            if (supported.count(static_cast<TRefIntAction>(rule))) return;
            AddMessage(mlError, text, cb);
            rule = supported.empty() ? uint8_t{raNone} : static_cast<uint8_t>(*supported.begin());
        };
        repair(UpdateRule, s->RefIntOnUpdate, "Update rule action not supported. Set to default.");
        repair(DeleteRule, s->RefIntOnDelete, "Delete rule action not supported. Set to default.");
    } else if (s) {
        for (uint8_t* rule : {&UpdateRule, &DeleteRule})
            if (*rule != raNone) {
                AddMessage(
                    mlWarning,
                    "Referential integrity is not supported by the target DBMS. Update/delete rule will be "
                    "removed.",
                    cb);
                *rule = raNone;
            }
    }
    // 8.
    if (s && s->FKOnlyToPK) {
        std::vector<int32_t> keyIDs;
        for (int i = 0; i < Pairs.Count(); ++i)
            keyIDs.push_back(PairAt(i)->KeyID);
        std::vector<int32_t> primary = parent->PrimaryKey->AttributeIDs.IDs();
        std::sort(keyIDs.begin(), keyIDs.end());
        std::sort(primary.begin(), primary.end());
        if (keyIDs != primary)
            AddMessage(mlError,
                       "The parent attributes of a relationship do not correspond to the primary key of the "
                       "parent.",
                       cb);
    }
    // 9.
    FKConstraint->Validate(fix, cb);
    return !errors;
}

// ---- markup ------------------------------------------------------------------------------------

std::string TVELRelationship::SaveToMarkup() const {
    std::string r = TVELConnection::SaveToMarkup();
    AppendElement(r, "CARDINALITY", IntToStr(Cardinality));
    AppendElement(r, "RELTYPE", IntToStr(RelationshipType));
    AppendElement(r, "MANDATORYPARENT", BoolStr(MandatoryParent));
    if (!ParentPhrase.empty()) AppendElement(r, "PARENTPHRASE", ParentPhrase);
    if (!ChildPhrase.empty()) AppendElement(r, "CHILDPHRASE", ChildPhrase);
    AppendElement(r, "UPDATERULE", IntToStr(UpdateRule));
    AppendElement(r, "DELETERULE", IntToStr(DeleteRule));
    r += WrapSection("CONSTRAINT", FKConstraint->SaveToMarkup());
    std::string pairs;
    for (int i = 0; i < Pairs.Count(); ++i)
        pairs += WrapSection("PAIR", PairAt(i)->SaveToMarkup());
    r += WrapSection("PAIRS", pairs);
    return r;
}

bool TVELRelationship::LoadFromMarkup(std::string_view text) {
    std::vector<std::string> nested;
    const std::string own = RemoveFirstElements(text, {"CONSTRAINT", "PAIRS"}, &nested);
    if (!TVELConnection::LoadFromMarkup(own)) return false;
    // A relationship saved with a fixed name has no template.
    if (FindTag(own, "NAMETEMPLATE", false, 0) == std::string_view::npos) NameFromTemplate = false;
    Cardinality = ReadByte("CARDINALITY", own);
    RelationshipType = ReadByte("RELTYPE", own);
    UpdateRule = ReadByte("UPDATERULE", own);
    DeleteRule = ReadByte("DELETERULE", own);
    MandatoryParent = ReadElementBool("MANDATORYPARENT", own, false);
    ParentPhrase = ReadElementText("PARENTPHRASE", own);
    ChildPhrase = ReadElementText("CHILDPHRASE", own);
    FKConstraint->LoadFromMarkup(nested[0]);
    FKConstraint->ConstraintType = ctForeignKey;
    FKConstraint->Level = clTable;
    Pairs.ClearAndFree();
    size_t pos = 0;
    for (;;) {
        const size_t before = pos;
        const std::string markup = ReadElement("PAIR", pos, nested[1]);
        if (pos == before) break;
        auto pair = std::make_unique<TVELPair>(this);
        pair->LoadFromMarkup(markup);
        Pairs.Add(std::move(pair));
    }
    Pairs.CheckLastID();
    return true;
}

} // namespace ardvin
