#include "zIndex.h"

#include <algorithm>

#include "zDatabaseSettings.h"
#include "zEntity.h"

namespace ardvin {

namespace {

// The options whose values the target lists, each with its list of allowed values, in the
// order they are repaired.
struct IndexOption {
    std::string TVELIndex::*Field;
    std::vector<std::string> TVELDatabaseSettings::*Allowed;
};
const IndexOption ListedOptions[] = {
    {&TVELIndex::IndexSortOption, &TVELDatabaseSettings::IdxOrderCodesList},
    {&TVELIndex::IndexType, &TVELDatabaseSettings::IdxTypeCodesList},
    {&TVELIndex::CaseProp, &TVELDatabaseSettings::IdxCaseCodesList},
    {&TVELIndex::Compression, &TVELDatabaseSettings::IdxCompressionCodesList},
    {&TVELIndex::Clustering, &TVELDatabaseSettings::IdxClusteringList},
};

// Whether a value is one of the allowed values; with no allowed values only "no value" is.
bool Allowed(const std::string& value, const std::vector<std::string>& allowed) {
    if (allowed.empty()) return value.empty();
    return std::any_of(allowed.begin(), allowed.end(),
                       [&value](const std::string& a) { return SameText(a, value); });
}

std::string FirstOf(const std::vector<std::string>& list) {
    return list.empty() ? std::string() : list.front();
}

} // namespace

void TVELIndex::SetDefaultOptions() {
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    if (!s) return;
    for (const IndexOption& option : ListedOptions)
        if (const std::vector<std::string>& allowed = s->*(option.Allowed); !allowed.empty())
            this->*(option.Field) = allowed.front();
}

// ---- TVELIndexColumn -------------------------------------------------------------------------

TVELIndex* TVELIndexColumn::GetIndex() const {
    return dynamic_cast<TVELIndex*>(Owner);
}

TVELAttribute* TVELIndexColumn::GetAttribute() const {
    if (AttributeID == -1) return nullptr;
    const TVELIndex* index = GetIndex();
    const TVELEntity* entity = index ? index->GetEntity() : nullptr;
    return entity ? entity->FindAttribute(AttributeID) : nullptr;
}

std::string TVELIndexColumn::ColumnText() const {
    if (AttributeID == -1) return Expression;
    const TVELAttribute* attribute = GetAttribute();
    return attribute ? attribute->GetName() : std::string();
}

std::string TVELIndexColumn::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "indexcolumn")) return ColumnText();
    if (SameText(key, "indexcolumnsortoption")) return SortOption;
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELIndexColumn::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "indexcolumn")) {
        if (AttributeID == -1 && Expression != value) {
            Expression = std::string(value);
            DoChanged();
        }
    } else if (SameText(key, "indexcolumnsortoption")) {
        if (SortOption != value) {
            SortOption = std::string(value);
            DoChanged();
        }
    } else {
        TVELDatabaseObject::SetPropertyValue(key, value);
    }
}

void TVELIndexColumn::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELIndexColumn*>(&source);
    if (!s || s == this) return;
    AttributeID = s->AttributeID;
    SortOption = s->SortOption;
    Expression = s->Expression;
    IsExpression = s->IsExpression;
}

std::string TVELIndexColumn::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    if (AttributeID != -1) AppendElement(r, "IDXCOLATTRID", AttributeID);
    if (!SortOption.empty()) AppendElement(r, "COLSORTOPT", SortOption);
    if (!Expression.empty()) AppendElement(r, "IDXCOLEXP", Expression);
    return r;
}

bool TVELIndexColumn::LoadFromMarkup(std::string_view text) {
    TVELDatabaseObject::LoadFromMarkup(text);
    AttributeID = StrToIntDef(ReadElement("IDXCOLATTRID", text, "-1"), -1);
    SortOption = ReadElementText("COLSORTOPT", text);
    Expression = ReadElementText("IDXCOLEXP", text);
    IsExpression = AttributeID == -1;
    return true;
}

// ---- TVELIndex -------------------------------------------------------------------------------

TVELIndex::TVELIndex(TVELPersistent* owner) : TVELDatabaseObject(owner) {
    ObjectType = otIndex;
    NameFromTemplate = true;
    Columns.Owner = this;
}

TVELEntity* TVELIndex::GetEntity() const {
    return dynamic_cast<TVELEntity*>(Owner);
}

std::string TVELIndex::GetDisplayName() const {
    const TVELEntity* entity = GetEntity();
    return (entity ? entity->GetName() : std::string()) + "." + GetName();
}

TVELIndexColumn* TVELIndex::AddColumn(const TVELAttribute* attribute) {
    auto column = std::make_unique<TVELIndexColumn>(this);
    column->SetID(Columns.NewID());
    column->AttributeID = attribute ? attribute->ID : -1;
    column->IsExpression = column->AttributeID == -1;
    return static_cast<TVELIndexColumn*>(Columns.Add(std::move(column)));
}

TVELIndexColumn* TVELIndex::AddExpressionColumn(std::string_view expression) {
    TVELIndexColumn* column = AddColumn(nullptr);
    column->Expression = std::string(expression);
    return column;
}

void TVELIndex::ColumnAttributes(std::vector<TVELAttribute*>& out) const {
    out.clear();
    for (int i = 0; i < Columns.Count(); ++i)
        out.push_back(Column(i)->GetAttribute());
}

bool TVELIndex::HasColumns(const std::vector<TVELAttribute*>& attributes) const {
    if (static_cast<size_t>(Columns.Count()) != attributes.size()) return false;
    for (int i = 0; i < Columns.Count(); ++i) {
        const int32_t id = Column(i)->AttributeID;
        if (id == -1 || !attributes[i] || attributes[i]->ID != id) return false;
    }
    return true;
}

bool TVELIndex::RemoveAttributeColumns(int32_t attributeID) {
    bool removed = false;
    for (int i = Columns.Count() - 1; i >= 0; --i)
        if (Column(i)->AttributeID == attributeID) {
            Columns.DeleteObject(Column(i));
            removed = true;
        }
    return removed;
}

// ---- properties ----

namespace {

std::string TVELIndex::*TextFieldOfKey(std::string_view key) {
    static const std::pair<std::string_view, std::string TVELIndex::*> Fields[] = {
        {"IndexType", &TVELIndex::IndexType},   {"IndexSortOption", &TVELIndex::IndexSortOption},
        {"CaseProp", &TVELIndex::CaseProp},     {"Compression", &TVELIndex::Compression},
        {"Clustering", &TVELIndex::Clustering}, {"IndexOptions", &TVELIndex::IndexOptions},
    };
    for (const auto& [k, field] : Fields)
        if (SameText(k, key)) return field;
    return nullptr;
}

} // namespace

std::string TVELIndex::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "IndexName")) return GetName();
    if (SameText(key, "IndexColumns")) {
        std::vector<std::string> texts;
        for (int i = 0; i < Columns.Count(); ++i)
            texts.push_back(Column(i)->ColumnText());
        return JoinStrings(texts, ", ");
    }
    if (auto field = TextFieldOfKey(key)) return this->*field;
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELIndex::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "IndexName")) {
        // The name of a template-named index is its template.
        if (NameFromTemplate)
            SetTemplate(value);
        else
            SetName(value);
    } else if (SameText(key, "IndexColumns")) {
        return; // read-only
    } else if (auto field = TextFieldOfKey(key)) {
        if (this->*field != value) {
            this->*field = std::string(value);
            DoChanged();
        }
    } else {
        TVELDatabaseObject::SetPropertyValue(key, value);
    }
}

// ---- copy, validation, markup ----

void TVELIndex::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELIndex*>(&source);
    if (!s || s == this) return;
    NameFromTemplate = s->NameFromTemplate;
    IndexKind = s->IndexKind;
    IndexType = s->IndexType;
    IndexSortOption = s->IndexSortOption;
    CaseProp = s->CaseProp;
    Compression = s->Compression;
    Clustering = s->Clustering;
    IndexOptions = s->IndexOptions;
    RelationshipID = s->RelationshipID;
    AutoIndexType = s->AutoIndexType;
    Columns.ClearAndFree();
    for (int i = 0; i < s->Columns.Count(); ++i) {
        auto column = std::make_unique<TVELIndexColumn>(this);
        column->Assign(*s->Column(i));
        Columns.Add(std::move(column));
    }
    Columns.LastID = s->Columns.LastID;
}

bool TVELIndex::Validate(bool fix, const TVELMessageCallback& callback) {
    bool errors = false;
    const TVELMessageCallback cb = TrackErrors(callback, errors);
    TVELDatabaseObject::Validate(fix, cb);
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    ValidateName(GetName(), "Index name", true, false, cb, s ? s->MaxIndexNameLength : -1, nullptr);
    if (s && !s->EnableIndexExpressions)
        for (int i = Columns.Count() - 1; i >= 0; --i) {
            if (Column(i)->AttributeID != -1) continue;
            const std::string expression = Column(i)->Expression;
            Columns.DeleteObject(Column(i));
            AddMessage(
                mlError,
                Format("Index expressions (\"%s\") not supported. Index expression column will be deleted.",
                       expression.c_str()),
                cb);
        }
    if (Columns.Count() == 0) AddMessage(mlError, "Index has no columns defined.", cb);
    if (const TVELEntity* entity = GetEntity())
        for (int i = Columns.Count() - 1; i >= 0; --i) {
            const int32_t id = Column(i)->AttributeID;
            if (id == -1 || entity->FindAttribute(id)) continue;
            Columns.DeleteObject(Column(i));
            AddMessage(
                mlError,
                Format("Unknown attribute with id \"%d\" used in index. Attribute removed from index.", id),
                cb);
        }
    if (s)
        for (const IndexOption& option : ListedOptions) {
            std::string& value = this->*(option.Field);
            const std::vector<std::string>& allowed = s->*(option.Allowed);
            if (Allowed(value, allowed)) continue;
            value = FirstOf(allowed);
            if (option.Field == &TVELIndex::IndexType)
                AddMessage(mlError, "Unknown index type in index.", cb);
        }
    return !errors;
}

std::string TVELIndex::SaveToMarkup() const {
    std::string r;
    AppendMarkup(r);
    return r;
}

void TVELIndex::AppendMarkup(std::string& r) const {
    AppendDatabaseMarkup(r);
    if (!IndexType.empty()) AppendElement(r, "INDEXTYPE", IndexType);
    if (!IndexSortOption.empty()) AppendElement(r, "INDEXSORTOPTION", IndexSortOption);
    if (!CaseProp.empty()) AppendElement(r, "CASE", CaseProp);
    if (!Compression.empty()) AppendElement(r, "COMPRESSION", Compression);
    if (!Clustering.empty()) AppendElement(r, "CLUSTERING", Clustering);
    if (!IndexOptions.empty()) AppendElement(r, "IDXOPT", IndexOptions);
    AppendElement(r, "RELID", RelationshipID);
    AppendElement(r, "AUTOIDXTYPE", AutoIndexType);
    AppendSectionWith(r, "IDXCOLS", [this](std::string& o) {
        for (int i = 0; i < Columns.Count(); ++i)
            AppendSection(o, "IDXCOL", Column(i)->SaveToMarkup());
    });
}

bool TVELIndex::LoadFromMarkup(std::string_view text) {
    std::vector<std::string> nested;
    const std::string own = RemoveFirstElements(text, {"IDXCOLS", "ATTRIBUTEIDS"}, &nested);
    TVELDatabaseObject::LoadFromMarkup(own);
    IndexType = ReadElementText("INDEXTYPE", own);
    IndexSortOption = ReadElementText("INDEXSORTOPTION", own);
    CaseProp = ReadElementText("CASE", own);
    Compression = ReadElementText("COMPRESSION", own);
    Clustering = ReadElementText("CLUSTERING", own);
    IndexOptions = ReadElementText("IDXOPT", own);
    RelationshipID = StrToIntDef(ReadElement("RELID", own, "0"), 0);
    AutoIndexType = static_cast<uint8_t>(StrToIntDef(ReadElement("AUTOIDXTYPE", own, "0"), 0));
    // The kind of an automatic index is kept in AutoIndexType.
    IndexKind = AutoIndexType <= ikAlternateKey ? AutoIndexType : uint8_t{ikUserDefined};
    // Older files named indexes without a template: the name is the template.
    if (NameTemplate.empty()) NameTemplate = Name;

    Columns.ClearAndFree();
    Columns.LastID = 1;
    // Older files list the indexed attributes by identifier.
    if (!nested[1].empty()) {
        TVELAttributeIDs ids;
        ids.LoadFromMarkup(nested[1]);
        for (int32_t id : ids.IDs()) {
            TVELIndexColumn* column = AddColumn(nullptr);
            column->AttributeID = id;
            column->IsExpression = false;
        }
    }
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    if (s)
        for (const IndexOption& option : ListedOptions) {
            const std::vector<std::string>& allowed = s->*(option.Allowed);
            if (!allowed.empty() && !Allowed(this->*(option.Field), allowed))
                this->*(option.Field) = allowed.front();
        }
    size_t pos = 0;
    for (std::string item;;) {
        const size_t before = pos;
        item = ReadElement("IDXCOL", pos, nested[0]);
        if (pos == before) break;
        auto column = std::make_unique<TVELIndexColumn>(this);
        column->LoadFromMarkup(item);
        Columns.Add(std::move(column));
    }
    Columns.CheckLastID();
    // Targets with sort options per column take an index-level option onto the columns.
    if (s && !s->IdxColumnOrderCodesList.empty() && !IndexSortOption.empty()) {
        for (int i = 0; i < Columns.Count(); ++i)
            if (Column(i)->SortOption.empty()) Column(i)->SortOption = IndexSortOption;
        IndexSortOption.clear();
    }
    return true;
}

} // namespace ardvin
