// Sequences (generators).
#pragma once

#include "zDatabaseObject.h"

namespace ardvin {

class TVELSequence : public TVELDatabaseObject {
public:
    explicit TVELSequence(TVELPersistent* owner) : TVELDatabaseObject(owner) { ObjectType = otSequence; }
    VEL_DECLARE_CREATE(TVELSequence)

    int32_t Increment = 1;
    int32_t Seed = 0;
    std::string Max;
    std::string Min;
    std::string Cycle;
    std::string Cache;
    std::string CacheCode;
    std::string Order;
    std::string IntegerType;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

}  // namespace ardvin
