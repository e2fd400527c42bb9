#include "zEntity.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zIndex.h"
#include "zTrigger.h"

namespace ardvin {

TVELEntity* EntityOf(const TVELNamedObject* object) {
    const TVELNamedObject* o = object;
    for (int depth = 0; o && depth < 64; ++depth) {
        if (const auto* entity = dynamic_cast<const TVELEntity*>(o)) return const_cast<TVELEntity*>(entity);
        if (const auto* source = dynamic_cast<const TVELForeignKeySource*>(o))
            return source->ForeignKeyChild();
        o = dynamic_cast<const TVELNamedObject*>(o->Owner);
    }
    return nullptr;
}

namespace {

// The member lists in the order of their counters in the markup and in snapshots.
constexpr const char* CounterTags[] = {"ATTRLASTID", "IDXLASTID", "TRGLASTID", "CONLASTID"};

// A counter that a file left unset (or below 1) becomes the largest of 1 and the members'
// identifiers; one below an identifier in use is raised to it.
void RepairCounter(TVELNamedObjectsList& list) {
    if (list.LastID >= 1) {
        list.CheckLastID();
        return;
    }
    int32_t m = 1;
    for (int i = 0; i < list.Count(); ++i)
        m = std::max(m, list[i]->ID);
    list.LastID = m;
}

class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

} // namespace

TVELEntity::TVELEntity(TVELPersistent* owner)
    : TVELObjectWithConnections(owner), PrimaryKey(std::make_unique<TVELConstraint>(this)) {
    ObjectType = otEntity;
    PrimaryKey->ID = 1;
    PrimaryKey->ConstraintType = ctPrimaryKey;
    PrimaryKey->Level = clTable;
    for (TVELNamedObjectsList* list :
         {static_cast<TVELNamedObjectsList*>(&Attributes), static_cast<TVELNamedObjectsList*>(&Indexes),
          static_cast<TVELNamedObjectsList*>(&Triggers), static_cast<TVELNamedObjectsList*>(&Constraints)})
        list->Owner = this;
    ConnectMember(PrimaryKey.get());
}

TVELEntity::~TVELEntity() = default;

// ---- members ---------------------------------------------------------------------------------

void TVELEntity::ConnectMember(TVELNamedObject* member) {
    member->OnChanged = [this](TVELNamedObject* sender) {
        if (!loadingMembers_ && OnMemberChanged) OnMemberChanged(sender);
    };
    member->OnNameChanged = [this](TVELNamedObject* sender) {
        if (!loadingMembers_ && OnMemberNameChanged) OnMemberNameChanged(sender);
    };
}

TVELDatabaseObject* TVELEntity::AddMember(int type, bool initialize) {
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    TVELDatabaseObject* member = nullptr;
    switch (type) {
    case otAttribute: {
        auto attribute = std::make_unique<TVELAttribute>(this);
        attribute->SetID(Attributes.NewID());
        if (initialize)
            attribute->SetName(Attributes.MakeUniqueNameMaxLength(
                "Attribute_", s ? s->MaxColumnNameLength : 0, true, nullptr));
        member = static_cast<TVELDatabaseObject*>(Attributes.Add(std::move(attribute)));
        break;
    }
    case otIndex: {
        auto index = std::make_unique<TVELIndex>(this);
        index->SetID(Indexes.NewID());
        TVELIndex* p = static_cast<TVELIndex*>(Indexes.Add(std::move(index)));
        p->SetDefaultOptions();
        member = p;
        break;
    }
    case otTrigger: {
        auto trigger = std::make_unique<TVELTrigger>(this);
        trigger->SetID(Triggers.NewID());
        if (initialize)
            trigger->SetName(Triggers.MakeUniqueNameMaxLength(
                "Trg_" + GetName(), s ? s->MaxTriggerNameLength : 0, true, nullptr));
        TVELTrigger* p = static_cast<TVELTrigger*>(Triggers.Add(std::move(trigger)));
        p->Code = "CREATE TRIGGER %triggername%\r\n";
        member = p;
        break;
    }
    case otConstraint:
    case otTableConstraint: {
        auto constraint = std::make_unique<TVELConstraint>(this);
        constraint->SetID(Constraints.NewID());
        if (initialize)
            constraint->SetName(Constraints.MakeUniqueNameMaxLength(
                "TabCon_", s ? s->MaxConstraintNameLength : 0, true, nullptr));
        member = static_cast<TVELDatabaseObject*>(Constraints.Add(std::move(constraint)));
        break;
    }
    default:
        throw EVELError("Unable to add a member of type " + IntToStr(type) + " to an entity.");
    }
    ConnectMember(member);
    if (!loadingMembers_ && OnMemberCreated) OnMemberCreated(member);
    return member;
}

TVELAttribute* TVELEntity::AddAttribute(bool initialize) {
    return static_cast<TVELAttribute*>(AddMember(otAttribute, initialize));
}

TVELIndex* TVELEntity::AddIndex(bool initialize) {
    return static_cast<TVELIndex*>(AddMember(otIndex, initialize));
}

TVELTrigger* TVELEntity::AddTrigger(bool initialize) {
    return static_cast<TVELTrigger*>(AddMember(otTrigger, initialize));
}

TVELConstraint* TVELEntity::AddConstraint(uint8_t type, uint8_t level) {
    auto* constraint = static_cast<TVELConstraint*>(AddMember(otConstraint, true));
    constraint->ConstraintType = type;
    constraint->Level = level;
    return constraint;
}

// The member lists hold only objects of their class: members are created by AddMember.
TVELAttribute* TVELEntity::AttributeAt(int index) const {
    return index >= 0 && index < Attributes.Count() ? static_cast<TVELAttribute*>(Attributes[index])
                                                    : nullptr;
}

TVELIndex* TVELEntity::IndexAt(int index) const {
    return index >= 0 && index < Indexes.Count() ? static_cast<TVELIndex*>(Indexes[index]) : nullptr;
}

TVELTrigger* TVELEntity::TriggerAt(int index) const {
    return index >= 0 && index < Triggers.Count() ? static_cast<TVELTrigger*>(Triggers[index]) : nullptr;
}

TVELAttribute* TVELEntity::FindAttribute(int32_t id) const {
    return static_cast<TVELAttribute*>(Attributes.FindByID(id));
}

TVELTrigger* TVELEntity::FindTrigger(int32_t id) const {
    return static_cast<TVELTrigger*>(Triggers.FindByID(id));
}

TVELEntityMemberList* TVELEntity::ListOf(const TVELNamedObject* member) {
    if (dynamic_cast<const TVELAttribute*>(member)) return &Attributes;
    if (dynamic_cast<const TVELIndex*>(member)) return &Indexes;
    if (dynamic_cast<const TVELTrigger*>(member)) return &Triggers;
    if (dynamic_cast<const TVELConstraint*>(member) && member != PrimaryKey.get()) return &Constraints;
    return nullptr;
}

TVELNamedObjectsList* TVELEntity::MemberListOf(const TVELNamedObject* member) const {
    return const_cast<TVELEntity*>(this)->ListOf(member);
}

void TVELEntity::DeleteMember(TVELNamedObject* member) {
    if (TVELEntityMemberList* list = ListOf(member)) list->DeleteObject(member);
}

void TVELEntity::CheckMemberDeletion(const TVELNamedObject* member) const {
    if (const auto* trigger = dynamic_cast<const TVELTrigger*>(member);
        trigger && trigger->UsedByAttributes())
        throw EVELError(
            Format("Unable to delete trigger \"%s\" because one or more attributes are associated with "
                   "this trigger.",
                   trigger->GetName().c_str()));
}

void TVELEntity::MemberRemoved(TVELNamedObject* member) {
    if (const auto* attribute = dynamic_cast<const TVELAttribute*>(member)) {
        const int32_t id = attribute->ID;
        if (PrimaryKey->AttributeIDs.RemoveID(id)) RecordKeyChange(id);
        for (int i = 0; i < Constraints.Count(); ++i)
            ConstraintAt(i)->AttributeIDs.RemoveID(id);
        for (int i = 0; i < Indexes.Count(); ++i)
            IndexAt(i)->RemoveAttributeColumns(id);
    } else if (const auto* trigger = dynamic_cast<const TVELTrigger*>(member)) {
        for (int i = 0; i < Attributes.Count(); ++i)
            if (TVELAttribute* a = AttributeAt(i); a->TriggerID == trigger->ID) {
                a->TriggerID = -1;
                a->AutoNumberTrigger = false;
            }
    }
    if (OnMemberChanged && !loadingMembers_) OnMemberChanged(member);
}

void TVELEntity::ClearMembers() {
    Attributes.ClearAndFree();
    Indexes.ClearAndFree();
    Triggers.ClearAndFree();
    Constraints.ClearAndFree();
    PrimaryKey->AttributeIDs.Clear();
}

// ---- primary key ---------------------------------------------------------------------------

void TVELEntity::RecordKeyChange(int32_t attributeID) {
    if (TrackKeyChanges && std::find(KeyChangedAttributes.begin(), KeyChangedAttributes.end(), attributeID) ==
                               KeyChangedAttributes.end())
        KeyChangedAttributes.push_back(attributeID);
}

void TVELEntity::SortPrimaryKey() {
    std::vector<int32_t> ids = PrimaryKey->AttributeIDs.IDs();
    if (ids.size() < 2) return;
    std::unordered_map<int32_t, int> position;
    position.reserve(Attributes.Count());
    for (int i = Attributes.Count() - 1; i >= 0; --i)
        position[Attributes[i]->ID] = i; // the first one wins
    auto pos = [&position](int32_t id) {
        const auto it = position.find(id);
        return it == position.end() ? INT32_MAX : it->second; // unknown identifiers go last
    };
    std::stable_sort(ids.begin(), ids.end(), [&pos](int32_t a, int32_t b) { return pos(a) < pos(b); });
    PrimaryKey->AttributeIDs.SetIDs(std::move(ids));
}

void TVELEntity::AddToPrimaryKey(const TVELAttribute* attribute) {
    if (!attribute || PrimaryKey->AttributeIDs.Contains(attribute)) return;
    PrimaryKey->AttributeIDs.Add(attribute);
    SortPrimaryKey();
    RecordKeyChange(attribute->ID);
    PrimaryKey->DoChanged();
}

void TVELEntity::RemoveFromPrimaryKey(const TVELAttribute* attribute) {
    if (!attribute || !PrimaryKey->AttributeIDs.Remove(attribute)) return;
    RecordKeyChange(attribute->ID);
    PrimaryKey->DoChanged();
}

void TVELEntity::PrimaryKeyAttributes(std::vector<TVELAttribute*>& out) const {
    out.clear();
    for (int32_t id : PrimaryKey->AttributeIDs.IDs())
        if (TVELAttribute* a = FindAttribute(id)) out.push_back(a);
}

bool TVELEntity::PrimaryKeyOnTop() const {
    const std::vector<int32_t>& ids = PrimaryKey->AttributeIDs.IDs();
    for (size_t i = 0; i < ids.size(); ++i)
        if (static_cast<int>(i) >= Attributes.Count() || Attributes[static_cast<int>(i)]->ID != ids[i])
            return false;
    return true;
}

bool TVELEntity::HasIdentityAttribute() const {
    const TSLDatatypes* list = GetDataTypes();
    for (int i = 0; i < Attributes.Count(); ++i) {
        const TVELAttribute* a = AttributeAt(i);
        if (a->IsIdentity()) return true;
        if (list && list->IndexOf(a->DataType->DataType) >= 0 &&
            list->TypeGroup(a->DataType->DataType) == tgAutonumber)
            return true;
    }
    return false;
}

void TVELEntity::SetTrackKeyChanges(bool flag) {
    TrackKeyChanges = flag;
    if (flag) KeyChangedAttributes.clear();
}

void TVELEntity::SetAbbreviation(std::string_view text) {
    if (Abbreviation == text) return;
    Abbreviation = std::string(text);
    DoNameChanged();
}

// ---- indexes and constraints ---------------------------------------------------------------

void TVELEntity::IndexesOfKind(uint8_t kind, std::vector<TVELIndex*>& out) const {
    for (int i = 0; i < Indexes.Count(); ++i)
        if (IndexAt(i)->IndexKind == kind) out.push_back(IndexAt(i));
}

void TVELEntity::IndexesOnColumns(const std::vector<TVELAttribute*>& attributes,
                                  std::vector<TVELIndex*>& out) const {
    for (int i = 0; i < Indexes.Count(); ++i)
        if (IndexAt(i)->HasColumns(attributes)) out.push_back(IndexAt(i));
}

bool TVELEntity::HasIndexOnColumns(const std::vector<TVELAttribute*>& attributes) const {
    for (int i = 0; i < Indexes.Count(); ++i)
        if (IndexAt(i)->HasColumns(attributes)) return true;
    return false;
}

void TVELEntity::ForeignKeySources(std::vector<const TVELForeignKeySource*>& out) const {
    out.clear();
    if (const TVELDataDictionary* dictionary = RootDictionary()) dictionary->ForeignKeySourcesOf(this, out);
}

const std::vector<TVELConstraint*>& TVELEntity::ForeignKeyConstraints() const {
    foreignKeyConstraints_.clear();
    std::vector<const TVELForeignKeySource*> sources;
    ForeignKeySources(sources);
    for (const TVELForeignKeySource* source : sources)
        if (TVELConstraint* c = source->ForeignKeyConstraint()) foreignKeyConstraints_.push_back(c);
    return foreignKeyConstraints_;
}

const std::vector<TVELConstraint*>& TVELEntity::AllConstraints() const {
    std::vector<TVELConstraint*>& all = allConstraintsCache_;
    all.clear();
    auto addInUse = [&all](TVELConstraint* c) {
        if (c && c->IsInUse()) all.push_back(c);
    };
    for (int i = 0; i < Attributes.Count(); ++i) {
        addInUse(AttributeAt(i)->ExistingColumnConstraint(1));
        addInUse(AttributeAt(i)->ExistingColumnConstraint(2));
    }
    if (!PrimaryKey->AttributeIDs.Empty()) all.push_back(PrimaryKey.get());
    for (int i = 0; i < Constraints.Count(); ++i)
        addInUse(ConstraintAt(i));
    for (int i = 0; i < Attributes.Count(); ++i)
        addInUse(AttributeAt(i)->ExistingColumnConstraint(3));
    std::vector<std::pair<std::string, TVELConstraint*>> named;
    named.reserve(all.size());
    for (TVELConstraint* c : all)
        named.emplace_back(UpperCase(c->GetName()), c);
    std::stable_sort(named.begin(), named.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < named.size(); ++i)
        all[i] = named[i].second;
    for (TVELConstraint* c : ForeignKeyConstraints())
        all.push_back(c);
    return all;
}

// ---- statements ----------------------------------------------------------------------------

std::string TVELEntity::GetSQLStatement(int kind) const {
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    const std::string q1 = s ? s->DelimiterDMLBegin : std::string();
    const std::string q2 = s ? s->DelimiterDMLEnd : std::string();
    auto quoted = [&](const std::string& name) { return q1 + name + q2; };
    auto dropLastComma = [](std::string& text) {
        if (!text.empty() && text.back() == ',') text.pop_back();
    };
    auto columnList = [&](std::string_view prefix) {
        std::string r;
        for (int i = 0; i < Attributes.Count(); ++i) {
            r += CRLF;
            r += prefix;
            r += quoted(Attributes[i]->GetName()) + ",";
        }
        dropLastComma(r);
        return r;
    };
    const std::string table = quoted(GetName());
    switch (kind) {
    case 0:
        return "SELECT" + columnList("    ") + "\r\nFROM " + table;
    case 1:
        return "INSERT INTO " + table + "\r\n(" + columnList("    ") + "\r\n)VALUES\r\n(" +
               columnList("    :") + "\r\n)";
    case 2: {
        std::string r = "UPDATE " + table + "\r\nSET";
        for (int i = 0; i < Attributes.Count(); ++i) {
            const std::string column = quoted(Attributes[i]->GetName());
            r += "\r\n    " + column + " = :" + column + ",";
        }
        dropLastComma(r);
        return r + "\r\nWHERE <condition>";
    }
    default:
        return std::string();
    }
}

// ---- automatic key indexes -------------------------------------------------------------------

namespace {

// Whether two identifier lists hold the same identifiers, whatever their order.
bool SameIDs(std::vector<int32_t> a, std::vector<int32_t> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

} // namespace

TVELIndex* TVELEntity::CreatePrimaryKeyIndex() {
    std::vector<TVELAttribute*> key;
    PrimaryKeyAttributes(key);
    if (key.empty()) return nullptr;
    TVELIndex* index = AddIndex(true);
    index->IndexType = "UNIQUE";
    index->IndexKind = index->AutoIndexType = ikPrimaryKey;
    for (const TVELAttribute* a : key)
        index->AddColumn(a);
    return index;
}

TVELIndex* TVELEntity::CreateForeignKeyIndex(const TVELForeignKeySource& relationship) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    relationship.ForeignKeyPairs(pairs);
    std::vector<int32_t> childIDs;
    for (const auto& pair : pairs)
        if (FindAttribute(pair.second)) childIDs.push_back(pair.second);
    if (childIDs.empty() || SameIDs(childIDs, PrimaryKey->AttributeIDs.IDs())) return nullptr;
    TVELIndex* index = AddIndex(true);
    index->IndexType.clear();
    index->IndexKind = index->AutoIndexType = ikForeignKey;
    index->RelationshipID = relationship.ForeignKeySourceID();
    for (int32_t id : childIDs)
        index->AddColumn(FindAttribute(id));
    return index;
}

void TVELEntity::RefreshForeignKeyIndexes(bool keepSettings) {
    std::vector<const TVELForeignKeySource*> sources;
    ForeignKeySources(sources);
    std::unordered_set<int32_t> ids;
    for (const TVELForeignKeySource* source : sources)
        ids.insert(source->ForeignKeySourceID());
    for (int i = Indexes.Count() - 1; i >= 0; --i)
        if (IndexAt(i)->IndexKind == ikForeignKey && !ids.count(IndexAt(i)->RelationshipID))
            DeleteMember(IndexAt(i));
    for (const TVELForeignKeySource* source : sources) {
        const int32_t id = source->ForeignKeySourceID();
        bool found = false;
        std::string nameTemplate, clustering, options;
        for (int i = Indexes.Count() - 1; i >= 0; --i) {
            TVELIndex* index = IndexAt(i);
            if (index->IndexKind != ikForeignKey || index->RelationshipID != id) continue;
            found = true; // taken from the last visited, the first in list order
            nameTemplate = index->NameTemplate;
            clustering = index->Clustering;
            options = index->IndexOptions;
            DeleteMember(index);
        }
        TVELIndex* index = CreateForeignKeyIndex(*source);
        if (index && found && keepSettings) {
            index->NameTemplate = nameTemplate;
            index->Clustering = clustering;
            index->IndexOptions = options;
        }
    }
}

TVELIndex* TVELEntity::CreateAlternateKeyIndex(const TVELForeignKeySource& relationship) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    relationship.ForeignKeyPairs(pairs);
    std::vector<int32_t> parentIDs;
    for (const auto& pair : pairs)
        if (FindAttribute(pair.first)) parentIDs.push_back(pair.first);
    if (parentIDs.empty() || SameIDs(parentIDs, PrimaryKey->AttributeIDs.IDs())) return nullptr;
    TVELIndex* index = AddIndex(true);
    index->IndexType = "UNIQUE";
    index->IndexKind = index->AutoIndexType = ikAlternateKey;
    index->RelationshipID = relationship.ForeignKeySourceID();
    for (int32_t id : parentIDs)
        index->AddColumn(FindAttribute(id));
    return index;
}

// ---- properties ----------------------------------------------------------------------------

namespace {

bool IsPrimaryKeyKey(std::string_view key) {
    return SameText(key, "PKNameTemplate") || SameText(key, "PKConstraintOptions") ||
           SameText(key, "PKClustering");
}

} // namespace

std::string TVELEntity::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "NumAttributes")) return IntToStr(Attributes.Count());
    if (SameText(key, "PKConstraintName"))
        return PrimaryKey->AttributeIDs.Empty() ? std::string() : PrimaryKey->GetName();
    if (SameText(key, "PKAttributes")) return PrimaryKey->AttributeIDs.NamesText();
    if (SameText(key, "TableOptions")) return TableOptions;
    if (SameText(key, "BeginTableScript")) return BeginTableScript;
    if (SameText(key, "EndTableScript")) return EndTableScript;
    if (SameText(key, "Abbreviation")) return Abbreviation;
    if (IsPrimaryKeyKey(key)) return PrimaryKey->GetPropertyValue(key);
    return TVELObjectWithConnections::GetPropertyValue(key);
}

void TVELEntity::SetPropertyValue(std::string_view key, std::string_view value) {
    std::string* field = nullptr;
    if (SameText(key, "TableOptions"))
        field = &TableOptions;
    else if (SameText(key, "BeginTableScript"))
        field = &BeginTableScript;
    else if (SameText(key, "EndTableScript"))
        field = &EndTableScript;
    if (field) {
        if (*field == value) return;
        *field = std::string(value);
        DoChanged();
    } else if (SameText(key, "Abbreviation")) {
        SetAbbreviation(value);
    } else if (IsPrimaryKeyKey(key)) {
        PrimaryKey->SetPropertyValue(key, value);
    } else if (SameText(key, "NumAttributes") || SameText(key, "PKConstraintName") ||
               SameText(key, "PKAttributes")) {
        return; // read-only
    } else {
        TVELObjectWithConnections::SetPropertyValue(key, value);
    }
}

int TVELEntity::GetPropertyState(std::string_view key) const {
    if (SameText(key, "Comment")) {
        const TVELDatabaseSettings* s = GetDatabaseSettings();
        return !s || s->EnableTableComments ? 0 : 2;
    }
    return TVELObjectWithConnections::GetPropertyState(key);
}

// ---- copy ----------------------------------------------------------------------------------

void TVELEntity::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELObjectWithConnections::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELEntity*>(&source);
    if (!s || s == this) return;
    Abbreviation = s->Abbreviation;
    TrackKeyChanges = s->TrackKeyChanges;
    KeyChangedAttributes = s->KeyChangedAttributes;
    BeginTableScript = s->BeginTableScript;
    EndTableScript = s->EndTableScript;
    TableOptions = s->TableOptions;
    ClearMembers();
    // The members are made without their owner and get it before they take over the source's
    // values: made inside this entity, a column would first look up the target's default data
    // type, which the copy overwrites anyway (a noticeable share of copying a large model).
    auto copyList = [this](TVELNamedObjectsList& to, const TVELNamedObjectsList& from) {
        for (int i = 0; i < from.Count(); ++i) {
            std::unique_ptr<TVELNamedObject> member = from[i]->CreateNew(nullptr);
            member->Owner = this;
            member->Assign(*from[i], false);
            ConnectMember(to.Add(std::move(member)));
        }
        to.LastID = from.LastID;
    };
    copyList(Attributes, s->Attributes);
    copyList(Indexes, s->Indexes);
    copyList(Triggers, s->Triggers);
    copyList(Constraints, s->Constraints);
    PrimaryKey->Assign(*s->PrimaryKey);
}

// ---- validation ----------------------------------------------------------------------------

bool TVELEntity::Validate(bool fix, const TVELMessageCallback& callback) {
    bool errors = false;
    const TVELMessageCallback cb = TrackErrors(callback, errors);
    TVELObjectWithConnections::Validate(fix, cb);
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    // 1.
    std::vector<int32_t> checked;
    for (int i = 0; i < Constraints.Count(); ++i)
        if (TVELConstraint* c = ConstraintAt(i); c->ConstraintType == ctCheck && c->Level == clTable) {
            c->CheckedAttributes(checked);
            c->AttributeIDs.SetIDs(checked);
        }
    // 2., 3.
    ValidateQualifiedName(GetNonQuotedQualifiedName(), "Entity name", false, false, cb,
                          s ? s->MaxTableNameLength : -1, RootDictionary());
    Attributes.CheckUniqueQualifiedNames("Attribute name", cb);
    // 4. - 6.
    if (s && s->PKOnTop && !PrimaryKeyOnTop())
        AddMessage(mlError, "Entity's primary key attributes not on top.", cb);
    if (s && !s->EnableTableOptions && !TableOptions.empty()) {
        TableOptions.clear();
        AddMessage(mlWarning, "Table options are not supported by the target DBMS. Table options made empty.",
                   cb);
    }
    if (s && !s->EnableBeginEndTableScripts) {
        if (!BeginTableScript.empty()) {
            BeginTableScript.clear();
            AddMessage(
                mlWarning,
                "Pre table scripts are not supported by the target DBMS. Pre table scripts made empty.", cb);
        }
        if (!EndTableScript.empty()) {
            EndTableScript.clear();
            AddMessage(
                mlWarning,
                "Post table scripts are not supported by the target DBMS. Post table scripts made empty.",
                cb);
        }
    }
    // 7.
    if (PrimaryKey->AttributeIDs.Empty()) {
        AddMessage(mlWarning, "Entity has no primary key.", cb);
    } else {
        const std::string keyName = PrimaryKey->GetName();
        if (!keyName.empty())
            for (const TVELConstraint* c : AllConstraints())
                if (c != PrimaryKey.get() && SameText(c->GetName(), keyName))
                    AddMessage(mlError,
                               Format("%s constraint name \"%s\" is not unique.", c->TypeCaption().c_str(),
                                      keyName.c_str()),
                               cb);
        PrimaryKey->Validate(fix, cb);
    }
    // 8.
    if (Attributes.Count() == 0) AddMessage(mlWarning, "Entity has no attributes.", cb);
    // 9.
    if (s && s->PKImplicitUnique && PrimaryKey->AttributeIDs.Count() == 1) {
        const int32_t keyID = PrimaryKey->AttributeIDs.IDAt(0);
        for (int i = 0; i < Constraints.Count(); ++i) {
            const TVELConstraint* c = ConstraintAt(i);
            if (c->ConstraintType == ctUnique && c->AttributeIDs.Count() == 1 &&
                c->AttributeIDs.IDAt(0) == keyID)
                AddMessage(
                    mlError,
                    Format(
                        "Unique constraint \"%s\" not allowed because the constraint's attribute is the only "
                        "attribute in the primary key. Primary key is already unique.",
                        c->GetName().c_str()),
                    cb);
        }
    }
    // 10.
    int identities = 0;
    for (int i = 0; i < Attributes.Count(); ++i) {
        AttributeAt(i)->Validate(fix, cb);
        if (AttributeAt(i)->IsIdentity()) ++identities;
    }
    if (identities > 1) AddMessage(mlError, "Entity has more than one identity attribute.", cb);
    // 11.
    for (int i = 0; i < Indexes.Count(); ++i)
        IndexAt(i)->Validate(fix, cb);
    for (int i = 0; i < Constraints.Count(); ++i)
        ConstraintAt(i)->Validate(fix, cb);
    // 12.
    for (int i = Triggers.Count() - 1; i >= 0; --i) {
        TVELTrigger* trigger = TriggerAt(i);
        if (!s || s->EnableTriggers) {
            trigger->Validate(fix, cb);
            continue;
        }
        AddMessage(mlError, "Target DBMS does not support triggers. Trigger will be removed.", cb);
        // The attributes that simulated auto-numbering with the trigger lose it with the trigger.
        for (int k = 0; k < Attributes.Count(); ++k)
            if (TVELAttribute* a = AttributeAt(k); a->TriggerID == trigger->ID) a->AutoNumberTrigger = false;
        DeleteMember(trigger);
    }
    return !errors;
}

// ---- markup --------------------------------------------------------------------------------

std::string TVELEntity::MembersMarkup() const {
    std::string r;
    AppendMembersMarkup(r);
    return r;
}

void TVELEntity::AppendMembersMarkup(std::string& out) const {
    if (!PrimaryKey->AttributeIDs.Empty())
        AppendSectionWith(out, "PKCON", [this](std::string& o) { PrimaryKey->AppendMarkup(o); });
    auto section = [&out](const char* tag, const TVELNamedObjectsList& list, bool always) {
        if (list.Count() == 0 && !always) return;
        out.append("\r\n<").append(tag).append(">");
        for (int i = 0; i < list.Count(); ++i) {
            const auto* member = static_cast<const TVELDatabaseObject*>(list[i]);
            AppendSectionWith(out, ObjectTypeInfo(member->ObjectType).Element, [member](std::string& o) {
                // Members of the kinds that can write in place do so.
                if (const auto* a = dynamic_cast<const TVELAttribute*>(member))
                    a->AppendMarkup(o);
                else if (const auto* x = dynamic_cast<const TVELIndex*>(member))
                    x->AppendMarkup(o);
                else if (const auto* c = dynamic_cast<const TVELConstraint*>(member))
                    c->AppendMarkup(o);
                else
                    o += member->SaveToMarkup();
            });
        }
        out.append("\r\n</").append(tag).append(">");
    };
    section("ATTRIBUTES", Attributes, true);
    section("INDEXES", Indexes, false);
    section("TRIGGERS", Triggers, false);
    section("CONSTRAINTS", Constraints, false);
}

std::string TVELEntity::SaveToMarkup() const {
    std::string r;
    r.reserve(1024 + 1024 * static_cast<size_t>(Attributes.Count() + Indexes.Count()));
    AppendMarkup(r);
    return r;
}

void TVELEntity::AppendMarkup(std::string& r) const {
    r += TVELObjectWithConnections::SaveToMarkup();
    if (!Abbreviation.empty()) AppendElement(r, "ABBR", Abbreviation);
    if (!BeginTableScript.empty()) AppendElement(r, "BEGINTABLESCR", BeginTableScript);
    if (!EndTableScript.empty()) AppendElement(r, "ENDTABLESCR", EndTableScript);
    if (!TableOptions.empty()) AppendElement(r, "TABOPT", TableOptions);
    const TVELNamedObjectsList* lists[] = {&Attributes, &Indexes, &Triggers, &Constraints};
    for (int k = 0; k < 4; ++k)
        AppendElement(r, CounterTags[k], lists[k]->LastID);
    AppendMembersMarkup(r);
}

void TVELEntity::LoadPrimaryKey(std::string_view text) {
    PrimaryKey->LoadFromMarkup(text);
    PrimaryKey->ID = 1;
    PrimaryKey->ConstraintType = ctPrimaryKey;
    PrimaryKey->Level = clTable;
}

void TVELEntity::LoadMembers(std::string_view text, bool renumber) {
    {
        FlagScope loading(loadingMembers_);
        // Each kind's elements in turn, every search continuing after the previous element.
        static constexpr std::pair<int, const char*> Kinds[] = {{otTrigger, "TRIGGER"},
                                                                {otIndex, "INDEX"},
                                                                {otAttribute, "ATTR"},
                                                                {otTableConstraint, "CONSTRAINT"}};
        for (const auto& [type, tag] : Kinds) {
            size_t pos = 0;
            for (;;) {
                const size_t before = pos;
                const std::string markup = ReadElement(tag, pos, text);
                if (pos == before) break;
                TVELDatabaseObject* member = AddMember(type, renumber);
                const int32_t freshID = member->ID;
                member->LoadFromMarkup(markup);
                if (renumber) member->SetID(freshID);
            }
        }
        SortPrimaryKey();
    }
    DoChanged();
}

bool TVELEntity::LoadFromMarkup(std::string_view text) {
    // The entity's own fields are read without the member sections: a field the entity lacks
    // is never taken from one of its members.
    std::vector<std::string> nested;
    const std::string own =
        RemoveFirstElements(text, {"ATTRIBUTES", "PKCON", "INDEXES", "TRIGGERS", "CONSTRAINTS"}, &nested);
    TVELObjectWithConnections::LoadFromMarkup(own);
    TVELNamedObjectsList* lists[] = {&Attributes, &Indexes, &Triggers, &Constraints};
    ClearMembers();
    for (TVELNamedObjectsList* list : lists)
        list->LastID = -1;
    SetAbbreviation(ReadElementText("ABBR", own));
    BeginTableScript = ReadElementText("BEGINTABLESCR", own);
    EndTableScript = ReadElementText("ENDTABLESCR", own);
    TableOptions = ReadElementText("TABOPT", own);
    LoadPrimaryKey(nested[1]);
    LoadMembers(text, false);
    for (int k = 0; k < 4; ++k) {
        lists[k]->LastID = StrToIntDef(ReadElement(CounterTags[k], own, "-1"), -1);
        RepairCounter(*lists[k]);
    }
    return true;
}

void TVELEntity::SaveMembersSnapshot() {
    MembersSnapshot = MembersMarkup();
    const TVELNamedObjectsList* lists[] = {&Attributes, &Indexes, &Triggers, &Constraints};
    for (int k = 0; k < 4; ++k)
        savedCounters_[k] = lists[k]->LastID;
}

void TVELEntity::RestoreMembersSnapshot() {
    if (MembersMarkup() == MembersSnapshot) return;
    ClearMembers();
    LoadMembers(MembersSnapshot, false);
    TVELNamedObjectsList* lists[] = {&Attributes, &Indexes, &Triggers, &Constraints};
    for (int k = 0; k < 4; ++k)
        lists[k]->LastID = savedCounters_[k];
    LoadPrimaryKey(ReadElement("PKCON", MembersSnapshot));
}

} // namespace ardvin
