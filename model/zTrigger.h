// Triggers: code objects owned by entities.
#pragma once

#include "zDatabaseObject.h"

namespace ardvin {

class TVELEntity;

class TVELTrigger : public TVELCodeObject {
public:
    explicit TVELTrigger(TVELPersistent* owner) : TVELCodeObject(owner) { ObjectType = otTrigger; }
    VEL_DECLARE_CREATE(TVELTrigger)

    TVELEntity* GetEntity() const;
    // Whether an attribute of the entity uses the trigger as its auto-number trigger.
    bool UsedByAttributes() const;

    bool ValidatePropertyValue(std::string_view key, std::string_view value,
                               const TVELMessageCallback& callback) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;

private:
    bool ValidateTriggerName(std::string_view name, const TVELMessageCallback& callback);
};

} // namespace ardvin
