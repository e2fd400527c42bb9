#include "zDomain.h"

#include "zConstraint.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"

namespace ardvin {

namespace {

std::unique_ptr<TVELConstraint> NewDomainConstraint(TVELDomain* owner, int32_t id, uint8_t type) {
    auto c = std::make_unique<TVELConstraint>(owner);
    c->ID = id;
    c->ConstraintType = type;
    c->Level = clColumn;
    return c;
}

} // namespace

TVELDomain::TVELDomain(TVELPersistent* owner)
    : TVELDatabaseObject(owner), DataType(std::make_unique<TVELDataType>(this)),
      CheckConstraint(NewDomainConstraint(this, 3, ctCheck)),
      DefaultConstraint(NewDomainConstraint(this, 2, ctDefault)) {
    ObjectType = otDomain;
}

TVELDomain::~TVELDomain() = default;

std::string TVELDomain::CheckValue() const {
    return CheckConstraint->Value;
}

std::string TVELDomain::DefaultValue() const {
    return DefaultConstraint->Value;
}

bool TVELDomain::IsUsed() const {
    const TVELDataDictionary* dictionary = RootDictionary();
    return dictionary && dictionary->DomainInUse(ID);
}

std::string TVELDomain::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "CheckConstraint")) return CheckValue();
    if (SameText(key, "DefaultValue")) return DefaultValue();
    if (SameText(key, "Collate")) return Collate;
    if (IsDataTypeKey(key)) return DataType->GetPropertyValue(key);
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELDomain::SetPropertyValue(std::string_view key, std::string_view value) {
    std::string* field = nullptr;
    if (SameText(key, "CheckConstraint"))
        field = &CheckConstraint->Value;
    else if (SameText(key, "DefaultValue"))
        field = &DefaultConstraint->Value;
    else if (SameText(key, "Collate"))
        field = &Collate;
    if (field) {
        if (*field == value) return;
        *field = std::string(value);
        DoChanged();
    } else if (IsDataTypeKey(key)) {
        DataType->SetPropertyValue(key, value);
    } else {
        TVELDatabaseObject::SetPropertyValue(key, value);
    }
}

void TVELDomain::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELDomain*>(&source);
    if (!s || s == this) return;
    DataType->Assign(*s->DataType);
    CheckConstraint->Assign(*s->CheckConstraint);
    DefaultConstraint->Assign(*s->DefaultConstraint);
    Collate = s->Collate;
}

bool TVELDomain::Validate(bool fix, const TVELMessageCallback& callback) {
    bool errors = false;
    const TVELMessageCallback cb = TrackErrors(callback, errors);
    TVELDatabaseObject::Validate(fix, cb);
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    if (s && s->EnableDomains)
        ValidateName(GetName(), "Domain name", true, false, cb, s->MaxDomainNameLength, nullptr);
    const TSLDatatypes* list = GetDataTypes();
    if (!DefaultValue().empty() && list && list->IndexOf(DataType->DataType) >= 0 &&
        list->TypeGroup(DataType->DataType) == tgBinary)
        AddMessage(
            mlError,
            Format("Binary data type \"%s\" does not allow a default value.", DataType->DataType.c_str()),
            cb);
    DataType->Validate(fix, cb);
    if (!IsUsed()) AddMessage(mlWarning, "Domain declared but never used.", cb);
    return !errors;
}

std::string TVELDomain::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    r += WrapSection(TVELDataType::Element, DataType->SaveToMarkup());
    if (!Collate.empty()) AppendElement(r, "COLLATE", Collate);
    if (!Trim(CheckValue()).empty()) r += WrapSection("CCON", CheckConstraint->SaveToMarkup());
    if (!Trim(DefaultValue()).empty()) r += WrapSection("DEFCON", DefaultConstraint->SaveToMarkup());
    return r;
}

bool TVELDomain::LoadFromMarkup(std::string_view text) {
    std::vector<std::string> nested;
    const std::string own = RemoveFirstElements(text, {TVELDataType::Element, "CCON", "DEFCON"}, &nested);
    if (!TVELDatabaseObject::LoadFromMarkup(own)) return false;
    const bool ok = DataType->LoadFromMarkup(nested[0]);
    Collate = ReadElementText("COLLATE", own);
    CheckConstraint->LoadFromMarkup(nested[1]);
    CheckConstraint->ConstraintType = ctCheck;
    CheckConstraint->Level = clColumn;
    CheckConstraint->ID = 3;
    DefaultConstraint->LoadFromMarkup(nested[2]);
    DefaultConstraint->ConstraintType = ctDefault;
    DefaultConstraint->Level = clColumn;
    DefaultConstraint->ID = 2;
    return ok;
}

} // namespace ardvin
