#include "zTrigger.h"

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"

namespace ardvin {

TVELEntity* TVELTrigger::GetEntity() const {
    return dynamic_cast<TVELEntity*>(Owner);
}

bool TVELTrigger::UsedByAttributes() const {
    const TVELEntity* entity = GetEntity();
    if (!entity) return false;
    for (int i = 0; i < entity->Attributes.Count(); ++i) {
        const TVELAttribute* a = entity->AttributeAt(i);
        if (a->AutoNumberTrigger && a->TriggerID == ID) return true;
    }
    return false;
}

bool TVELTrigger::ValidateTriggerName(std::string_view name, const TVELMessageCallback& callback) {
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    const TVELEntity* entity = GetEntity();
    return ValidateName(name, "Trigger name", false, false, callback, s ? s->MaxTriggerNameLength : -1,
                        entity ? &entity->Triggers : nullptr);
}

bool TVELTrigger::ValidatePropertyValue(std::string_view key, std::string_view value,
                                        const TVELMessageCallback& callback) {
    if (SameText(key, "ObjectName")) return ValidateTriggerName(value, callback);
    return TVELCodeObject::ValidatePropertyValue(key, value, callback);
}

bool TVELTrigger::Validate(bool fix, const TVELMessageCallback& callback) {
    bool errors = false;
    const TVELMessageCallback cb = TrackErrors(callback, errors);
    TVELCodeObject::Validate(fix, cb);
    ValidateTriggerName(GetName(), cb);
    if (Trim(GetCode()).empty()) AddMessage(mlError, "Trigger contains no code.", cb);
    return !errors;
}

} // namespace ardvin
