// Domains: named, reusable column definitions of the data dictionary.
#pragma once

#include <memory>

#include "zDatabaseObject.h"

namespace ardvin {

class TVELConstraint;
class TVELDataType;

class TVELDomain : public TVELDatabaseObject {
public:
    explicit TVELDomain(TVELPersistent* owner);
    ~TVELDomain() override;
    VEL_DECLARE_CREATE(TVELDomain)

    std::unique_ptr<TVELDataType> DataType;            // element DT
    std::unique_ptr<TVELConstraint> CheckConstraint;   // element CCON
    std::unique_ptr<TVELConstraint> DefaultConstraint; // element DEFCON
    std::string Collate;

    std::string CheckValue() const;
    std::string DefaultValue() const;
    // Whether some attribute of the data dictionary uses the domain.
    bool IsUsed() const;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

} // namespace ardvin
