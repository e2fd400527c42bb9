#include "zAttribute.h"

#include <algorithm>

#include "zConstraint.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zSequence.h"
#include "zTrigger.h"

namespace ardvin {

// ---- TVELAttributeIDs ------------------------------------------------------------------------

TVELEntity* TVELAttributeIDs::Entity() const {
    return EntityOf(holder_);
}

void TVELAttributeIDs::Add(const TVELAttribute* attribute) {
    if (attribute) ids_.push_back(attribute->ID);
}

bool TVELAttributeIDs::Remove(const TVELAttribute* attribute) {
    return attribute && RemoveID(attribute->ID);
}

bool TVELAttributeIDs::RemoveID(int32_t id) {
    const auto it = std::find(ids_.begin(), ids_.end(), id);
    if (it == ids_.end()) return false;
    ids_.erase(it);
    return true;
}

bool TVELAttributeIDs::Contains(const TVELAttribute* attribute) const {
    return attribute && ContainsID(attribute->ID);
}

bool TVELAttributeIDs::ContainsID(int32_t id) const {
    return std::find(ids_.begin(), ids_.end(), id) != ids_.end();
}

TVELAttribute* TVELAttributeIDs::AttributeAt(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    const TVELEntity* entity = Entity();
    return entity ? entity->FindAttribute(ids_[index]) : nullptr;
}

void TVELAttributeIDs::GetAttributes(std::vector<TVELAttribute*>& out) const {
    out.clear();
    const TVELEntity* entity = Entity();
    for (int32_t id : ids_)
        out.push_back(entity ? entity->FindAttribute(id) : nullptr);
}

void TVELAttributeIDs::GetNames(std::vector<std::string>& out) const {
    const TVELEntity* entity = Entity();
    if (!entity) return;
    for (int32_t id : ids_)
        if (const TVELAttribute* a = entity->FindAttribute(id)) out.push_back(a->GetName());
}

std::string TVELAttributeIDs::NamesText() const {
    std::vector<std::string> names;
    GetNames(names);
    return JoinStrings(names, ", ");
}

std::string TVELAttributeIDs::NamesWithAffixes(std::string_view prefix, std::string_view suffix) const {
    std::vector<std::string> names;
    GetNames(names);
    for (auto& name : names) {
        const bool enclosed = name.size() >= prefix.size() + suffix.size() && name.starts_with(prefix) &&
                              name.ends_with(suffix);
        if (!enclosed) name = std::string(prefix) + name + std::string(suffix);
    }
    return JoinStrings(names, ", ");
}

std::string TVELAttributeIDs::CommaText() const {
    std::string r;
    for (size_t i = 0; i < ids_.size(); ++i) {
        if (i) r += ',';
        r += IntToStr(ids_[i]);
    }
    return r;
}

std::string TVELAttributeIDs::SaveToMarkup() const {
    std::string r;
    AppendMarkup(r);
    return r;
}

void TVELAttributeIDs::AppendMarkup(std::string& out) const {
    AppendSectionWith(out, "ATTRIBUTEIDS", [this](std::string& o) {
        for (int32_t id : ids_)
            AppendElement(o, "ATTRIBUTEID", id);
    });
}

void TVELAttributeIDs::LoadFromMarkup(std::string_view text) {
    ids_.clear();
    size_t pos = 0;
    for (std::string item; ReadNextElement("ATTRIBUTEID", pos, text, item);) {
        int32_t id = 0;
        if (TryStrToInt(item, id)) ids_.push_back(id);
    }
}

// ---- data type keys ----------------------------------------------------------------------------

bool IsDataTypeKey(std::string_view key) {
    static constexpr std::string_view Keys[] = {
        "DataType", "Length",      "Precision", "Seed",         "Increment",       "AutoNumber",
        "Items",    "Unsigned",    "ZeroFill",  "Expression",   "CharacterSet",    "Collation",
        "SubType",  "SegmentSize", "DTOptions", "ArrayOptions", "AllowZeroLength", "PhysName",
    };
    return std::any_of(std::begin(Keys), std::end(Keys),
                       [key](std::string_view k) { return SameText(k, key); });
}

// ---- TVELAttribute -------------------------------------------------------------------------------

namespace {

bool YesValue(std::string_view value) {
    return SameText(value, "Yes") || value == "1" || SameText(value, "True");
}

const char* YesNo(bool flag) {
    return flag ? "Yes" : "No";
}

// The sequence with an identifier in the object's data dictionary, or nullptr.
TVELSequence* SequenceWithID(const TVELDatabaseObject& object, int32_t id) {
    if (id == -1) return nullptr;
    const TVELDataDictionary* dictionary = object.RootDictionary();
    return dictionary ? dynamic_cast<TVELSequence*>(dictionary->FindObjectByID(id)) : nullptr;
}

} // namespace

TVELAttribute::TVELAttribute(TVELPersistent* owner)
    : TVELDatabaseObject(owner), DataType(std::make_unique<TVELDataType>(this)) {
    ObjectType = otAttribute;
}

TVELAttribute::~TVELAttribute() = default;

// Identifier, type and level of a column constraint follow from its slot; its only attribute
// is this one.
void TVELAttribute::ForceColumnConstraint(TVELConstraint& constraint, ColumnSlot slot) const {
    static constexpr uint8_t Types[] = {ctNotNull, ctDefault, ctCheck};
    constraint.ID = slot + 1;
    constraint.ConstraintType = Types[slot];
    constraint.Level = clColumn;
    constraint.AttributeIDs.SetIDs({ID});
}

TVELConstraint* TVELAttribute::ColumnConstraint(ColumnSlot slot) const {
    std::unique_ptr<TVELConstraint>& c = columnConstraints_[slot];
    if (!c) {
        c = std::make_unique<TVELConstraint>(const_cast<TVELAttribute*>(this));
        ForceColumnConstraint(*c, slot);
    }
    return c.get();
}

TVELConstraint* TVELAttribute::ColumnConstraintByID(int32_t id) const {
    return id >= 1 && id <= 3 ? ColumnConstraint(static_cast<ColumnSlot>(id - 1)) : nullptr;
}

TVELConstraint* TVELAttribute::ExistingColumnConstraint(int32_t id) const {
    return id >= 1 && id <= 3 ? columnConstraints_[id - 1].get() : nullptr;
}

const std::string& TVELAttribute::ColumnValue(ColumnSlot slot) const {
    static const std::string none;
    return columnConstraints_[slot] ? columnConstraints_[slot]->Value : none;
}

void TVELAttribute::SetColumnValue(ColumnSlot slot, std::string_view value) {
    if (ColumnValue(slot) == value) return;
    ColumnConstraint(slot)->Value = std::string(value);
    DoChanged();
}

TVELEntity* TVELAttribute::GetEntity() const {
    return dynamic_cast<TVELEntity*>(Owner);
}

void TVELAttribute::SetID(int32_t id) {
    TVELDatabaseObject::SetID(id);
    for (const auto& c : columnConstraints_)
        if (c) c->AttributeIDs.SetIDs({id});
}

int TVELAttribute::AutoNumberMethod() const {
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    return s ? static_cast<int>(s->SimulateAutonumber) : static_cast<int>(amNone);
}

bool TVELAttribute::IsPrimaryKey() const {
    const TVELEntity* entity = GetEntity();
    return entity && entity->PrimaryKey->AttributeIDs.ContainsID(ID);
}

void TVELAttribute::SetPrimaryKey(bool flag) {
    TVELEntity* entity = GetEntity();
    if (!entity) return;
    if (flag) {
        entity->AddToPrimaryKey(this);
        if (const TVELDatabaseSettings* s = GetDatabaseSettings(); s && s->PKAlwaysNotNull) SetNotNull(true);
    } else {
        entity->RemoveFromPrimaryKey(this);
    }
}

bool TVELAttribute::IsNotNull() const {
    return ColumnValue(NotNullSlot) == "1";
}

void TVELAttribute::SetNotNull(bool flag) {
    SetColumnValue(NotNullSlot, flag ? "1" : "");
}

bool TVELAttribute::IsIdentity() const {
    return DataType->AutoNumber;
}

bool TVELAttribute::IsForeignKey() const {
    const TVELEntity* entity = GetEntity();
    if (!entity) return false;
    std::vector<const TVELForeignKeySource*> sources;
    entity->ForeignKeySources(sources);
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const TVELForeignKeySource* source : sources) {
        pairs.clear();
        source->ForeignKeyPairs(pairs);
        for (const auto& pair : pairs)
            if (pair.second == ID) return true;
    }
    return false;
}

void TVELAttribute::RefersTo(std::vector<TVELAttribute*>& out) const {
    const TVELEntity* entity = GetEntity();
    if (!entity) return;
    std::vector<const TVELForeignKeySource*> sources;
    entity->ForeignKeySources(sources);
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const TVELForeignKeySource* source : sources) {
        const TVELEntity* parent = source->ForeignKeyParent();
        pairs.clear();
        source->ForeignKeyPairs(pairs);
        for (const auto& pair : pairs)
            if (pair.second == ID && parent)
                if (TVELAttribute* a = parent->FindAttribute(pair.first)) out.push_back(a);
    }
}

// ---- domain ----

TVELDomain* TVELAttribute::GetDomain() const {
    if (DomainID == -1) return nullptr;
    const TVELDataDictionary* dictionary = RootDictionary();
    return dictionary ? dynamic_cast<TVELDomain*>(dictionary->FindObjectByID(DomainID)) : nullptr;
}

void TVELAttribute::SetDomainID(int32_t id) {
    if (id == DomainID) return;
    DomainID = id;
    ApplyDomain();
    DoChanged();
}

void TVELAttribute::SetDomainByName(std::string_view name) {
    const TVELDataDictionary* dictionary = RootDictionary();
    const TVELDomain* domain = dictionary ? dictionary->FindDomain(name) : nullptr;
    SetDomainID(domain ? domain->ID : -1);
}

void TVELAttribute::SetDomainByQualifiedName(std::string_view name) {
    const TVELDataDictionary* dictionary = RootDictionary();
    const TVELDomain* domain = dictionary ? dictionary->FindDomainByQualifiedName(name) : nullptr;
    SetDomainID(domain ? domain->ID : -1);
}

void TVELAttribute::ApplyDomain() {
    const TVELDomain* domain = GetDomain();
    if (!domain) {
        DomainID = -1;
        return;
    }
    // An identity column keeps its identity over a domain without one, unless the type is an
    // auto-number type of its own.
    const bool identity = DataType->AutoNumber;
    const int32_t seed = DataType->Seed, increment = DataType->Increment;
    DataType->Assign(*domain->DataType);
    const TSLDatatypes* list = DataType->TypeList();
    const bool autoNumberType =
        list && list->IndexOf(DataType->DataType) >= 0 && list->TypeGroup(DataType->DataType) == tgAutonumber;
    if (!domain->DataType->AutoNumber && identity && !autoNumberType) {
        DataType->AutoNumber = true;
        DataType->Seed = seed;
        DataType->Increment = increment;
    }
    if (!domain->CheckValue().empty()) CheckConstraint()->Value = domain->CheckValue();
    if (!domain->DefaultValue().empty()) DefaultConstraint()->Value = domain->DefaultValue();
}

// ---- auto-numbering ----

int32_t TVELAttribute::GetSequenceID() const {
    const int method = AutoNumberMethod();
    if (SequenceID == -1 || (method != amSequenceAndTrigger && method != amSequenceAndDefault)) return -1;
    const TSLDatatypes* list = GetDataTypes();
    if (!list || !list->AllowsAutoNumber(DataType->DataType)) return -1;
    return SequenceWithID(*this, SequenceID) ? SequenceID : -1;
}

TVELSequence* TVELAttribute::GetSequence() const {
    return SequenceWithID(*this, GetSequenceID());
}

void TVELAttribute::SetSequenceID(int32_t id) {
    if (id == SequenceID) return;
    SequenceID = id;
    const int method = AutoNumberMethod();
    if (method == amSequenceAndTrigger) SetAutoNumberTrigger(id != -1);
    if (method == amSequenceAndDefault) SetAutoNumberDefault(id != -1);
    DoChanged();
}

bool TVELAttribute::AutoNumberTriggerInForce() const {
    const TVELEntity* entity = GetEntity();
    return AutoNumberTrigger && TriggerID != -1 && entity && entity->FindTrigger(TriggerID);
}

int32_t TVELAttribute::GetTriggerID() const {
    const int method = AutoNumberMethod();
    if (method != amTrigger && method != amSequenceAndTrigger) return -1;
    return AutoNumberTriggerInForce() ? TriggerID : -1;
}

void TVELAttribute::SetAutoNumberTrigger(bool flag) {
    if (flag == AutoNumberTrigger) return;
    TVELEntity* entity = GetEntity();
    if (flag) {
        if (entity) {
            TVELTrigger* trigger = entity->AddTrigger(true);
            const TVELDatabaseSettings* s = GetDatabaseSettings();
            trigger->Code = s ? s->AutonumberTriggerTemplate : std::string();
            TriggerID = trigger->ID;
        }
        AutoNumberTrigger = true;
    } else {
        AutoNumberTrigger = false;
        if (TVELTrigger* trigger = entity ? entity->FindTrigger(TriggerID) : nullptr) {
            try {
                entity->DeleteMember(trigger);
            } catch (const EVELError&) {
                AutoNumberTrigger = true; // another attribute still uses it
                throw;
            }
        }
        TriggerID = -1;
    }
    DoChanged();
}

void TVELAttribute::SetAutoNumberDefault(bool flag) {
    if (flag == AutoNumberDefault) return;
    AutoNumberDefault = flag;
    if (!flag) {
        SetDefaultValue("");
        return;
    }
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    std::string value = s ? s->AutonumberDefaultTemplate : std::string();
    const TVELSequence* sequence = SequenceWithID(*this, SequenceID);
    const std::string simple = sequence ? sequence->GetName() : std::string();
    // Each replacement works on the result of the previous one.
    value = ReplaceAllText(value, "%quotedqualifiedseqname%", sequence ? sequence->GetQualifiedName() : "");
    value = ReplaceAllText(value, "%nonquotedqualifiedseqname%",
                           sequence ? sequence->GetNonQuotedQualifiedName() : "");
    value = ReplaceAllText(value, "%quotedsimpleseqname%", s ? s->QuoteDDL(simple) : simple);
    value = ReplaceAllText(value, "%nonquotedsimpleseqname%", s ? s->StripQuotes(simple) : simple);
    value = ReplaceAllText(value, "%seqname%", simple);
    SetDefaultValue(value);
}

// ---- texts ----

std::string TVELAttribute::GetScriptDataType() const {
    const TVELDomain* domain = GetDomain();
    if (!domain) return DataType->TypeText();
    std::string r = domain->GetNonQuotedQualifiedName();
    if (IsIdentity())
        if (const std::string identity = DataType->AutoNumberText(); !identity.empty()) r += " " + identity;
    return r;
}

std::string TVELAttribute::GetDisplayDataType() const {
    return DataType->TypeText();
}

std::string TVELAttribute::GetQualifiedDisplayName() const {
    const TVELEntity* entity = GetEntity();
    return (entity ? entity->GetName() : std::string()) + "." + GetName();
}

void TVELAttribute::CheckDataType(const TVELMessageCallback& callback) {
    const TSLDatatypes* list = GetDataTypes();
    if (!list || list->Count() == 0 || list->IndexOf(DataType->DataType) >= 0) return;
    std::string message;
    const int match = list->BestMatch(0, DataType->DataType, message);
    if (match >= 0) DataType->DataType = list->Record(match).ListName;
    if (!message.empty()) AddMessage(mlWarning, message, callback);
}

// ---- properties ----

namespace {

// Keys that address one of the three column constraints: the key, the constraint, the field.
enum class ColumnKey { Name, NameTemplate, Options };
struct ColumnConstraintKey {
    std::string_view Key;
    int32_t ConstraintID; // 1 not null, 2 default, 3 check
    ColumnKey What;
};
const ColumnConstraintKey ColumnConstraintKeys[] = {
    {"NotNullConstraintName", 1, ColumnKey::Name},
    {"NotNullConstraintNameTemplate", 1, ColumnKey::NameTemplate},
    {"notnullconstraintoptions", 1, ColumnKey::Options},
    {"CheckConstraintName", 3, ColumnKey::Name},
    {"CheckConstraintNameTemplate", 3, ColumnKey::NameTemplate},
    {"checkconstraintoptions", 3, ColumnKey::Options},
    {"DefaultConstraintName", 2, ColumnKey::Name},
    {"DefaultConstraintNameTemplate", 2, ColumnKey::NameTemplate},
    {"defaultconstraintoptions", 2, ColumnKey::Options},
};

const ColumnConstraintKey* FindColumnConstraintKey(std::string_view key) {
    for (const auto& k : ColumnConstraintKeys)
        if (SameText(k.Key, key)) return &k;
    return nullptr;
}

} // namespace

std::string TVELAttribute::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "PrimaryKey") || SameText(key, "PK")) return YesNo(IsPrimaryKey());
    if (SameText(key, "AttributeOptions")) return AttributeOptions;
    if (SameText(key, "DomainName")) {
        const TVELDomain* domain = GetDomain();
        return domain ? domain->GetName() : std::string();
    }
    if (SameText(key, "GetScriptDataType")) return GetScriptDataType();
    if (SameText(key, "GetDisplayDataType")) return GetDisplayDataType();
    if (SameText(key, "DataType")) {
        const TVELDomain* domain = GetDomain();
        if (!domain) return GetDisplayDataType();
        std::string r(1, '@');
        return r.append(domain->GetName());
    }
    if (SameText(key, "AutoNumber")) return YesNo(AutoNumber);
    if (SameText(key, "NotNull")) return YesNo(IsNotNull());
    if (SameText(key, "Collate")) return Collate;
    if (SameText(key, "CheckConstraint")) return CheckValue();
    if (SameText(key, "DefaultValue")) return DefaultValue();
    if (const ColumnConstraintKey* k = FindColumnConstraintKey(key)) {
        const TVELConstraint* c = ExistingColumnConstraint(k->ConstraintID);
        if (!c) return std::string();
        switch (k->What) {
        case ColumnKey::Name:
            return c->GetName();
        case ColumnKey::NameTemplate:
            return c->NameTemplate;
        case ColumnKey::Options:
            return c->ConstraintOptions;
        }
    }
    if (SameText(key, "RefersTo")) {
        std::vector<TVELAttribute*> parents;
        RefersTo(parents);
        std::vector<std::string> names;
        for (const TVELAttribute* a : parents)
            names.push_back(a->GetName());
        return JoinStrings(names, ",");
    }
    if (SameText(key, "Key")) {
        std::string r = IsPrimaryKey() ? "(PK)" : "";
        if (IsForeignKey()) {
            if (!r.empty() && r.back() == ')')
                r.insert(r.size() - 1, ",FK");
            else
                r += "(FK)";
        }
        return r;
    }
    if (SameText(key, "AttributeSequence")) {
        const TVELSequence* sequence = SequenceWithID(*this, SequenceID);
        return sequence ? sequence->GetName() : std::string();
    }
    if (SameText(key, "AutoNumberTrigger")) return YesNo(AutoNumberTrigger);
    if (SameText(key, "AutoNumberDefault")) return YesNo(AutoNumberDefault);
    if (IsDataTypeKey(key)) return DataType->GetPropertyValue(key);
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELAttribute::SetPropertyValue(std::string_view key, std::string_view value) {
    auto setText = [this](std::string& field, std::string_view v) {
        if (field == v) return;
        field = std::string(v);
        DoChanged();
    };
    if (SameText(key, "PrimaryKey") || SameText(key, "PK")) {
        SetPrimaryKey(YesValue(value));
    } else if (SameText(key, "AttributeOptions")) {
        setText(AttributeOptions, value);
    } else if (SameText(key, "DomainName")) {
        SetDomainByName(value);
    } else if (SameText(key, "DataType")) {
        // "@" + name chooses a domain; a plain type name leaves the domain.
        if (!value.empty() && value[0] == '@') {
            SetDomainByName(value.substr(1));
        } else {
            SetDomainID(-1);
            DataType->SetPropertyValue("DataType", value);
            DoChanged();
        }
    } else if (SameText(key, "AutoNumber")) {
        AutoNumber = YesValue(value);
        DataType->SetPropertyValue("AutoNumber", AutoNumber ? "1" : "0");
        DoChanged();
    } else if (SameText(key, "NotNull")) {
        SetNotNull(YesValue(value));
    } else if (SameText(key, "Collate")) {
        setText(Collate, value);
    } else if (SameText(key, "CheckConstraint")) {
        SetCheckValue(value);
    } else if (SameText(key, "DefaultValue")) {
        SetDefaultValue(value);
    } else if (const ColumnConstraintKey* k = FindColumnConstraintKey(key)) {
        TVELConstraint& c = *ColumnConstraintByID(k->ConstraintID);
        if (k->What == ColumnKey::NameTemplate) c.SetTemplate(value);
        if (k->What == ColumnKey::Options) setText(c.ConstraintOptions, value);
    } else if (SameText(key, "AttributeSequence")) {
        const TVELDataDictionary* dictionary = RootDictionary();
        const TVELDatabaseObject* sequence = dictionary ? dictionary->FindSequence(value) : nullptr;
        SetSequenceID(sequence ? sequence->ID : -1);
    } else if (SameText(key, "AutoNumberTrigger")) {
        SetAutoNumberTrigger(YesValue(value));
    } else if (SameText(key, "AutoNumberDefault")) {
        SetAutoNumberDefault(YesValue(value));
    } else if (SameText(key, "RefersTo") || SameText(key, "Key") || SameText(key, "GetScriptDataType") ||
               SameText(key, "GetDisplayDataType")) {
        return; // read-only
    } else if (IsDataTypeKey(key)) {
        DataType->SetPropertyValue(key, value);
    } else {
        TVELDatabaseObject::SetPropertyValue(key, value);
    }
}

// ---- copy, validation, markup ----

void TVELAttribute::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELAttribute*>(&source);
    if (!s || s == this) return;
    DataType->Assign(*s->DataType);
    DomainID = s->DomainID;
    SequenceID = s->SequenceID;
    TriggerID = s->TriggerID;
    AutoNumberTrigger = s->AutoNumberTrigger;
    AutoNumberDefault = s->AutoNumberDefault;
    for (int slot = 0; slot < 3; ++slot) {
        const TVELConstraint* from = s->columnConstraints_[slot].get();
        if (!from) {
            columnConstraints_[slot].reset();
            continue;
        }
        TVELConstraint* to = ColumnConstraint(static_cast<ColumnSlot>(slot));
        to->Assign(*from);
        ForceColumnConstraint(*to, static_cast<ColumnSlot>(slot));
    }
    Collate = s->Collate;
    AttributeOptions = s->AttributeOptions;
    ExplicitNullText = s->ExplicitNullText;
    PackageName = s->PackageName;
    PackageItem = s->PackageItem;
    AutoNumber = s->AutoNumber;
}

bool TVELAttribute::Validate(bool fix, const TVELMessageCallback& callback) {
    bool errors = false;
    const TVELMessageCallback cb = TrackErrors(callback, errors);
    TVELDatabaseObject::Validate(fix, cb);
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    const TVELEntity* entity = GetEntity();
    ValidateName(GetName(), "Attribute name", true, false, cb, s ? s->MaxColumnNameLength : -1, nullptr);
    const bool notNull = IsNotNull();
    const bool primaryKey = IsPrimaryKey();
    if (s && s->PKAlwaysNotNull && primaryKey && !notNull)
        AddMessage(mlError, "Primary key attribute must be not null (required).", cb);
    if (!DefaultValue().empty())
        if (const TSLDatatypes* list = GetDataTypes();
            list && list->IndexOf(DataType->DataType) >= 0 && list->TypeGroup(DataType->DataType) == tgBinary)
            AddMessage(
                mlError,
                Format("Binary data type \"%s\" does not allow a default value.", DataType->DataType.c_str()),
                cb);
    if (s && s->UniqueAlwaysNotNull && !notNull && entity) {
        for (int i = 0; i < entity->Constraints.Count(); ++i) {
            const TVELConstraint* c = entity->ConstraintAt(i);
            if (c->ConstraintType == ctUnique && c->AttributeIDs.ContainsID(ID)) {
                AddMessage(
                    mlError,
                    "Attribute is part of one or more unique constraint(s) but is not defined as not null.",
                    cb);
                break;
            }
        }
    }
    if (s && s->AutonumberAlwaysNotNull && IsIdentity() && !notNull)
        AddMessage(mlError, "Autonumber/AUTO_INCREMENT attribute must be required.", cb);
    if (s && s->AutonumberAlwaysIndexed && IsIdentity() && !primaryKey && entity &&
        !entity->HasIndexOnColumns({this}))
        AddMessage(mlError,
                   "Autonumber/AUTO_INCREMENT attribute must be indexed (Primary key or user defined index).",
                   cb);
    if (DomainID != -1 && !GetDomain()) DomainID = -1;
    if (DomainID == -1) DataType->Validate(fix, cb);
    if (notNull) NotNullConstraint()->Validate(fix, cb);
    if (!Trim(DefaultValue()).empty()) DefaultConstraint()->Validate(fix, cb);
    if (!Trim(CheckValue()).empty()) CheckConstraint()->Validate(fix, cb);
    return !errors;
}

std::string TVELAttribute::SaveToMarkup() const {
    std::string r;
    AppendMarkup(r);
    return r;
}

void TVELAttribute::AppendMarkup(std::string& r) const {
    AppendDatabaseMarkup(r);
    AppendElement(r, "DOMAINID", DomainID);
    AppendSectionWith(r, TVELDataType::Element, [this](std::string& o) { DataType->AppendMarkup(o); });
    if (AutoNumber) AppendElement(r, "AUTONUM", "1");
    if (AutoNumberTriggerInForce()) AppendElement(r, "AUTONUMBERTRIGGER", "1");
    if (AutoNumberDefault) AppendElement(r, "AUTONUMBERDEFAULT", "1");
    if (SequenceID != -1) AppendElement(r, "SEQID", GetSequenceID());
    if (TriggerID != -1) AppendElement(r, "TRIGID", GetTriggerID());
    if (!PackageName.empty()) {
        AppendElement(r, "PKGNAME", PackageName);
        AppendElement(r, "PKGITEM", PackageItem);
    }
    if (!Collate.empty()) AppendElement(r, "COLLATE", Collate);
    if (!AttributeOptions.empty()) AppendElement(r, "ATTROPT", AttributeOptions);
    auto constraint = [&r](const char* tag, const TVELConstraint* c) {
        AppendSectionWith(r, tag, [c](std::string& o) { c->AppendMarkup(o); });
    };
    if (IsNotNull()) constraint("NNCON", NotNullConstraint());
    if (!Trim(CheckValue()).empty()) constraint("CCON", CheckConstraint());
    if (!Trim(DefaultValue()).empty()) constraint("DEFCON", DefaultConstraint());
}

bool TVELAttribute::LoadFromMarkup(std::string_view text) {
    // The own fields are read apart from the nested data type and constraints, so that a
    // field the attribute lacks is never taken from them.
    std::vector<std::string> nested;
    const std::string own =
        RemoveFirstElements(text, {TVELDataType::Element, "NNCON", "CCON", "DEFCON"}, &nested);
    TVELDatabaseObject::LoadFromMarkup(own);
    const int32_t loadedID = ID;
    SetDomainID(StrToIntDef(ReadElement("DOMAINID", own, "-1"), -1));
    if (DomainID != -1 && !GetDomain()) DomainID = -1;
    const bool ok = DataType->LoadFromMarkup(nested[0]);
    AutoNumber = StrToBoolValue(ReadElement("AUTONUM", own, "0"));
    AutoNumberTrigger = StrToBoolValue(ReadElement("AUTONUMBERTRIGGER", own, "0"));
    AutoNumberDefault = StrToBoolValue(ReadElement("AUTONUMBERDEFAULT", own, "0"));
    SequenceID = StrToIntDef(ReadElement("SEQID", own, "-1"), -1);
    TriggerID = StrToIntDef(ReadElement("TRIGID", own, "-1"), -1);
    PackageName = ReadElementText("PKGNAME", own);
    PackageItem = StrToIntDef(ReadElement("PKGITEM", own, "-1"), -1);
    Collate = ReadElementText("COLLATE", own);
    AttributeOptions = ReadElementText("ATTROPT", own);
    // A constraint the text lacks is as a new one: it is made again when needed.
    static constexpr ColumnSlot Slots[] = {NotNullSlot, CheckSlot, DefaultSlot};
    for (int k = 0; k < 3; ++k) {
        if (nested[k + 1].empty()) {
            columnConstraints_[Slots[k]].reset();
            continue;
        }
        TVELConstraint* c = ColumnConstraint(Slots[k]);
        c->LoadFromMarkup(nested[k + 1]);
        ForceColumnConstraint(*c, Slots[k]);
    }
    SetID(loadedID);
    return ok;
}

} // namespace ardvin
