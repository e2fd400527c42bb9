#include "zProcedure.h"

#include "zDataDictionary.h"
#include "zDatabaseSettings.h"

namespace ardvin {

namespace {

int MaxProcedureNameLength(const TVELDatabaseObject& object) {
    const TVELDatabaseSettings* s = object.GetDatabaseSettings();
    return s ? s->MaxProcedureNameLength : -1;
}

}  // namespace

// ---- TVELProcedure ---------------------------------------------------------------------------

int TVELProcedure::GetPropertyState(std::string_view key) const {
    if (SameText(key, "Comment")) {
        const TVELDatabaseSettings* s = GetDatabaseSettings();
        if (s && s->EnableProcedureComments) return 0;
    }
    return TVELCodeObject::GetPropertyState(key);
}

bool TVELProcedure::ValidatePropertyValue(std::string_view key, std::string_view value,
                                          const TVELMessageCallback& callback) {
    if (SameText(key, "ObjectName"))
        return ValidateQualifiedName(value, "Procedure name", true, false, callback, MaxProcedureNameLength(*this),
                                     nullptr);
    return TVELCodeObject::ValidatePropertyValue(key, value, callback);
}

bool TVELProcedure::Validate(bool fix, const TVELMessageCallback& callback) {
    bool ok = TVELCodeObject::Validate(fix, callback);
    return ValidateQualifiedName(GetNonQuotedQualifiedName(), "Procedure name", true, false, callback,
                                 MaxProcedureNameLength(*this), nullptr) &&
           ok;
}

// ---- TVELRule --------------------------------------------------------------------------------

std::string TVELRule::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "RuleType")) return RuleType;
    return TVELCodeObject::GetPropertyValue(key);
}

void TVELRule::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "RuleType")) {
        if (RuleType != value) {
            RuleType = std::string(value);
            DoChanged();
        }
        return;
    }
    TVELCodeObject::SetPropertyValue(key, value);
}

bool TVELRule::ValidatePropertyValue(std::string_view key, std::string_view value,
                                     const TVELMessageCallback& callback) {
    if (SameText(key, "ObjectName"))
        return ValidateQualifiedName(value, "Rule name", true, false, callback, MaxProcedureNameLength(*this),
                                     nullptr);
    return TVELCodeObject::ValidatePropertyValue(key, value, callback);
}

void TVELRule::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELCodeObject::Assign(source, copyLinks);
    if (auto* s = dynamic_cast<const TVELRule*>(&source)) RuleType = s->RuleType;
}

bool TVELRule::Validate(bool fix, const TVELMessageCallback& callback) {
    bool ok = TVELCodeObject::Validate(fix, callback);
    return ValidateQualifiedName(GetNonQuotedQualifiedName(), "Rule name", true, false, callback,
                                 MaxProcedureNameLength(*this), nullptr) &&
           ok;
}

std::string TVELRule::SaveToMarkup() const {
    std::string r = TVELCodeObject::SaveToMarkup();
    AppendElement(r, "RULETYPE", RuleType);
    return r;
}

bool TVELRule::LoadFromMarkup(std::string_view text) {
    if (!TVELCodeObject::LoadFromMarkup(text)) return false;
    RuleType = ReadElementText("RULETYPE", text);
    return true;
}

}  // namespace ardvin
