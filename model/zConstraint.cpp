#include "zConstraint.h"

#include <algorithm>

#include "zDatabaseSettings.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"

namespace ardvin {

std::string ConstraintTypeCaption(int type) {
    static const char* const Captions[] = {"Unknown",     "Check",    "Unique", "Primary Key",
                                           "Foreign Key", "Not Null", "Default"};
    return type >= 0 && type < static_cast<int>(std::size(Captions)) ? Captions[type] : Captions[0];
}

std::string ConstraintLevelCaption(int level) {
    static const char* const Captions[] = {"Unknown", "Column Constraint", "Table Constraint"};
    return level >= 0 && level < static_cast<int>(std::size(Captions)) ? Captions[level] : Captions[0];
}

TVELMessageCallback TrackErrors(const TVELMessageCallback& callback, bool& errors) {
    if (!callback) return callback;
    return [&callback, &errors](TVELNamedObject* sender, int level, const std::string& text) {
        if (level == mlError) errors = true;
        callback(sender, level, text);
    };
}

namespace {

// Names of the attributes of an entity named by identifiers, unresolved ones left out.
std::vector<std::string> AttributeNames(const TVELEntity* entity, const std::vector<int32_t>& ids) {
    std::vector<std::string> names;
    if (!entity) return names;
    for (int32_t id : ids)
        if (const TVELAttribute* a = entity->FindAttribute(id)) names.push_back(a->GetName());
    return names;
}

} // namespace

// ---- TVELConstraint ----------------------------------------------------------------------------

TVELConstraint::TVELConstraint(TVELPersistent* owner) : TVELDatabaseObject(owner) {
    ObjectType = otConstraint;
    NameFromTemplate = true;
}

std::string TVELConstraint::GetName() const {
    return UsesName() ? TVELDatabaseObject::GetName() : std::string();
}

bool TVELConstraint::UsesName() const {
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    if (!s) return true;
    switch (ConstraintType) {
    case ctCheck:
        return Level == clTable ? s->EnableCheckTableConstraintNames : s->EnableCheckColumnConstraintNames;
    case ctUnique:
        return s->EnableUniqueConstraintNames;
    case ctPrimaryKey:
        return s->EnablePKConstraintNames;
    case ctForeignKey:
        return s->EnableFKConstraintNames;
    case ctNotNull:
        return s->EnableNotNullConstraintNames;
    case ctDefault:
        return s->EnableDefaultConstraintNames;
    default:
        return true;
    }
}

const TVELForeignKeySource* TVELConstraint::ForeignKeySource() const {
    return dynamic_cast<const TVELForeignKeySource*>(Owner);
}

TVELEntity* TVELConstraint::GetEntity() const {
    return EntityOf(this);
}

bool TVELConstraint::IsInUse() const {
    // A column constraint whose domain brings its own value is the domain's.
    auto domainValue = [this](bool check) {
        const auto* attribute = dynamic_cast<const TVELAttribute*>(Owner);
        const TVELDomain* domain = attribute ? attribute->GetDomain() : nullptr;
        return domain && !(check ? domain->CheckValue() : domain->DefaultValue()).empty();
    };
    switch (ConstraintType) {
    case ctCheck:
        return Level == clTable || (!Value.empty() && !domainValue(true));
    case ctUnique:
        return true;
    case ctPrimaryKey:
        return !AttributeIDs.Empty();
    case ctForeignKey:
        if (const TVELForeignKeySource* source = ForeignKeySource()) {
            std::vector<std::pair<int32_t, int32_t>> pairs;
            source->ForeignKeyPairs(pairs);
            return !pairs.empty();
        }
        return !AttributeIDs.Empty();
    case ctNotNull:
        return Value == "1";
    case ctDefault:
        return !Value.empty() && !domainValue(false);
    default:
        return false;
    }
}

std::string TVELConstraint::GetDisplayName() const {
    std::string owner;
    if (ConstraintType == ctForeignKey && ForeignKeySource()) {
        if (const TVELEntity* child = ForeignKeySource()->ForeignKeyChild()) owner = child->GetName();
    } else if (const auto* o = dynamic_cast<const TVELNamedObject*>(Owner)) {
        owner = o->GetName();
    }
    return owner + "." + GetName();
}

void TVELConstraint::ForeignKeyColumnNames(std::string& childNames, std::string& parentNames,
                                           std::string& parentEntity) const {
    const TVELForeignKeySource* source = ForeignKeySource();
    if (!source) {
        childNames = AttributeIDs.NamesText();
        parentNames.clear();
        parentEntity.clear();
        return;
    }
    std::vector<std::pair<int32_t, int32_t>> pairs;
    source->ForeignKeyPairs(pairs);
    std::vector<int32_t> childIDs, parentIDs;
    for (const auto& pair : pairs) {
        parentIDs.push_back(pair.first);
        childIDs.push_back(pair.second);
    }
    const TVELEntity* parent = source->ForeignKeyParent();
    childNames = JoinStrings(AttributeNames(source->ForeignKeyChild(), childIDs), ", ");
    parentNames = JoinStrings(AttributeNames(parent, parentIDs), ", ");
    parentEntity = parent ? parent->GetName() : std::string();
}

std::string TVELConstraint::GetSQL() const {
    switch (ConstraintType) {
    case ctNotNull:
        return "NOT NULL";
    case ctDefault:
        return "DEFAULT " + Value;
    case ctCheck:
        return "CHECK ( " + Value + " )";
    case ctUnique:
        return "UNIQUE (" + AttributeIDs.NamesText() + ")";
    case ctPrimaryKey:
        return "PRIMARY KEY (" + AttributeIDs.NamesText() + ")";
    case ctForeignKey: {
        std::string child, parent, parentEntity;
        ForeignKeyColumnNames(child, parent, parentEntity);
        return "FOREIGN KEY (" + child + ") REFERENCES " + parentEntity + " (" + parent + ")";
    }
    default:
        return std::string();
    }
}

std::string TVELConstraint::GetDescription() const {
    switch (ConstraintType) {
    case ctNotNull:
        return "NOT NULL (" + AttributeIDs.NamesText() + ")";
    case ctUnique:
        return "UNIQUE (" + AttributeIDs.NamesText() + ")";
    case ctCheck:
        return Value;
    case ctDefault:
        return AttributeIDs.NamesText() + " DEFAULT " + Value;
    case ctPrimaryKey:
        return "PRIMARY KEY (" + AttributeIDs.NamesText() + ")";
    case ctForeignKey: {
        std::string child, parent, parentEntity;
        ForeignKeyColumnNames(child, parent, parentEntity);
        return "FOREIGN KEY (" + child + ") REFERENCES " + parentEntity + "(" + parent + ")";
    }
    default:
        return std::string();
    }
}

bool TVELConstraint::CheckedAttributes(std::vector<int32_t>& ids) const {
    ids.clear();
    const TVELEntity* entity = GetEntity();
    if (ConstraintType != ctCheck || Level != clTable || !entity) return false;
    const std::string expression = UpperCase(Value);
    for (int i = 0; i < entity->Attributes.Count(); ++i) {
        const TVELNamedObject* a = entity->Attributes[i];
        const std::string name = UpperCase(a->GetName());
        if (!name.empty() && expression.find(name) != std::string::npos) ids.push_back(a->ID);
    }
    return !ids.empty();
}

void TVELConstraint::Describe(std::vector<std::string>& lines) const {
    lines.push_back(IntToStr(ID));
    lines.push_back(TypeCaption());
    lines.push_back(GetName());
    lines.push_back(GetSQL());
}

// ---- properties ----

namespace {

// The keys that entities and attributes use for the fields of their constraints; each applies
// to a constraint of its type only.
enum class ConstraintField { NameTemplate, Value, Options, Columns };
struct ConstraintKey {
    std::string_view Key;
    uint8_t Type;
    ConstraintField Field;
};
const ConstraintKey ConstraintKeys[] = {
    {"PKNameTemplate", ctPrimaryKey, ConstraintField::NameTemplate},
    {"PKConstraintOptions", ctPrimaryKey, ConstraintField::Options},
    {"NotNullConstraintNameTemplate", ctNotNull, ConstraintField::NameTemplate},
    {"CheckConstraintNameTemplate", ctCheck, ConstraintField::NameTemplate},
    {"CheckConstraintValue", ctCheck, ConstraintField::Value},
    {"CheckConstraintOptions", ctCheck, ConstraintField::Options},
    {"DefaultConstraintValue", ctDefault, ConstraintField::Value},
    {"DefaultConstraintNameTemplate", ctDefault, ConstraintField::NameTemplate},
    {"DefaultConstraintOptions", ctDefault, ConstraintField::Options},
    {"UniqueConstraintNameTemplate", ctUnique, ConstraintField::NameTemplate},
    {"UniqueConstraintValue", ctUnique, ConstraintField::Columns},
    {"UniqueConstraintOptions", ctUnique, ConstraintField::Options},
    {"FKConstraintNameTemplate", ctForeignKey, ConstraintField::NameTemplate},
    {"FKConstraintValue", ctForeignKey, ConstraintField::Columns},
    {"FKConstraintOptions", ctForeignKey, ConstraintField::Options},
};

const ConstraintKey* FindConstraintKey(std::string_view key, uint8_t type) {
    for (const auto& k : ConstraintKeys)
        if (k.Type == type && SameText(k.Key, key)) return &k;
    return nullptr;
}

} // namespace

std::string TVELConstraint::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "PKClustering")) return PKClustering;
    if (SameText(key, "ConstraintDesc")) return GetDescription();
    if (SameText(key, "CheckConstraint")) return Value;
    if (SameText(key, "ConstraintOptions")) return ConstraintOptions;
    if (SameText(key, "Constraint")) return GetSQL();
    if (SameText(key, "Type")) return TypeCaption();
    if (SameText(key, "Level")) return ConstraintLevelCaption(Level);
    if (const ConstraintKey* k = FindConstraintKey(key, ConstraintType)) {
        switch (k->Field) {
        case ConstraintField::NameTemplate:
            return NameTemplate;
        case ConstraintField::Value:
            return Value;
        case ConstraintField::Options:
            return ConstraintOptions;
        case ConstraintField::Columns: {
            std::string child, parent, parentEntity;
            ForeignKeyColumnNames(child, parent, parentEntity);
            return child;
        }
        }
    }
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELConstraint::SetPropertyValue(std::string_view key, std::string_view value) {
    auto setText = [this](std::string& field, std::string_view v) {
        if (field == v) return;
        field = std::string(v);
        DoChanged();
    };
    // Type and level by caption or number.
    auto code = [](std::string_view v, std::string (*caption)(int), int count) {
        for (int i = 0; i < count; ++i)
            if (SameText(v, caption(i))) return i;
        const int n = StrToIntDef(v, 0);
        return n >= 0 && n < count ? n : 0;
    };
    if (SameText(key, "PKClustering")) {
        setText(PKClustering, value);
    } else if (SameText(key, "CheckConstraint")) {
        setText(Value, value);
    } else if (SameText(key, "ConstraintOptions")) {
        setText(ConstraintOptions, value);
    } else if (SameText(key, "Type")) {
        ConstraintType = static_cast<uint8_t>(code(value, ConstraintTypeCaption, 7));
        DoChanged();
    } else if (SameText(key, "Level")) {
        Level = static_cast<uint8_t>(code(value, ConstraintLevelCaption, 3));
        DoChanged();
    } else if (SameText(key, "ConstraintDesc") || SameText(key, "Constraint")) {
        return; // read-only
    } else if (const ConstraintKey* k = FindConstraintKey(key, ConstraintType)) {
        if (k->Field == ConstraintField::NameTemplate) SetTemplate(value);
        if (k->Field == ConstraintField::Value) setText(Value, value);
        if (k->Field == ConstraintField::Options) setText(ConstraintOptions, value);
    } else {
        TVELDatabaseObject::SetPropertyValue(key, value);
    }
}

// ---- copy, validation, markup ----

void TVELConstraint::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELConstraint*>(&source);
    if (!s || s == this) return;
    NameFromTemplate = s->NameFromTemplate;
    AttributeIDs.Assign(s->AttributeIDs);
    Value = s->Value;
    Level = s->Level;
    ConstraintType = s->ConstraintType;
    ConstraintOptions = s->ConstraintOptions;
    PKClustering = s->PKClustering;
}

bool TVELConstraint::Validate(bool fix, const TVELMessageCallback& callback) {
    if (!IsInUse()) return true;
    TVELDatabaseObject::Validate(fix, callback);
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    const std::string name = GetName();
    if (!name.empty() && GetEntity())
        ValidateName(name, "Constraint name", true, true, callback, s ? s->MaxConstraintNameLength : -1,
                     nullptr);
    if (Level == clTable && ConstraintType != ctForeignKey && AttributeIDs.Empty())
        AddMessage(mlError, Format("%s constraint not linked to an attribute.", TypeCaption().c_str()),
                   callback);
    if (Level == clTable && ConstraintType == ctCheck && Trim(Value).empty())
        AddMessage(mlError, "Check constraint has no check.", callback);
    if (!s) return true;
    if (ConstraintType == ctPrimaryKey && !PKClustering.empty() &&
        std::find(s->PKClusteringList.begin(), s->PKClusteringList.end(), PKClustering) ==
            s->PKClusteringList.end())
        PKClustering.clear();
    bool options = true;
    switch (ConstraintType) {
    case ctForeignKey:
        options = s->EnableFKConstraintOptions;
        break;
    case ctPrimaryKey:
        options = s->EnablePKConstraintOptions;
        break;
    case ctUnique:
        options = s->EnableUniqueConstraintOptions;
        break;
    case ctNotNull:
        options = s->EnableNotNullConstraintOptions;
        break;
    case ctCheck:
        options =
            Level == clTable ? s->EnableCheckTableConstraintOptions : s->EnableCheckColumnConstraintOptions;
        break;
    case ctDefault:
        options = s->EnableDefaultConstraintOptions;
        break;
    default:
        break;
    }
    if (!options) ConstraintOptions.clear();
    return true;
}

std::string TVELConstraint::SaveToMarkup() const {
    std::string r;
    AppendMarkup(r);
    return r;
}

void TVELConstraint::AppendMarkup(std::string& out) const {
    AppendDatabaseMarkup(out);
    if (!Value.empty()) AppendElement(out, "VALUE", Value);
    AppendElement(out, "CONLEVEL", Level);
    AppendElement(out, "CONTYPE", ConstraintType);
    if (!ConstraintOptions.empty()) AppendElement(out, "CONOPT", ConstraintOptions);
    if (!PKClustering.empty()) AppendElement(out, "PKCONCLUSTERING", PKClustering);
    AttributeIDs.AppendMarkup(out);
}

bool TVELConstraint::LoadFromMarkup(std::string_view text) {
    std::vector<std::string> nested;
    const std::string own = RemoveFirstElements(text, {"ATTRIBUTEIDS"}, &nested);
    TVELDatabaseObject::LoadFromMarkup(own);
    // A constraint saved with a fixed name has no template.
    if (!Name.empty() && FindTag(own, "NAMETEMPLATE", false, 0) == std::string::npos) NameFromTemplate = false;
    Value = ReadElementText("VALUE", own);
    Level = static_cast<uint8_t>(StrToIntDef(ReadElement("CONLEVEL", own, "0"), 0));
    ConstraintType = static_cast<uint8_t>(StrToIntDef(ReadElement("CONTYPE", own, "0"), 0));
    ConstraintOptions = ReadElementText("CONOPT", own);
    PKClustering = ReadElementText("PKCONCLUSTERING", own);
    AttributeIDs.LoadFromMarkup(nested[0]);
    return true;
}

// ---- member lists ---------------------------------------------------------------------------------

TVELEntity* TVELEntityMemberList::Entity() const {
    return dynamic_cast<TVELEntity*>(Owner);
}

void TVELEntityMemberList::DeleteObject(TVELNamedObject* item) {
    if (!item || IndexOf(item) < 0) return;
    if (const TVELEntity* entity = Entity()) entity->CheckMemberDeletion(item);
    TVELDatabaseObjectsList::DeleteObject(item);
}

void TVELEntityMemberList::Removed(TVELNamedObject* item) {
    if (TVELEntity* entity = Entity()) entity->MemberRemoved(item);
}

bool TVELConstraintsList::IsUniqueName(std::string_view name, const TVELNamedObject* except) const {
    if (!TVELDatabaseObjectsList::IsUniqueName(name, except)) return false;
    const TVELEntity* entity = Entity();
    const TVELConstraint* key = entity ? entity->PrimaryKey.get() : nullptr;
    return !key || key == except || !SameText(key->GetName(), name);
}

TVELConstraint* TVELConstraintsList::FindSame(const TVELNamedObject* item) const {
    const auto* other = dynamic_cast<const TVELConstraint*>(item);
    if (!other) return nullptr;
    for (int i = 0; i < Count(); ++i) {
        TVELConstraint* c = Constraint(i);
        if (c->ID == other->ID && c->ConstraintType == other->ConstraintType && c->Level == other->Level)
            return c;
    }
    return nullptr;
}

} // namespace ardvin
