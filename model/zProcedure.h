// Procedures and rules: code objects of the data dictionary.
#pragma once

#include "zDatabaseObject.h"

namespace ardvin {

class TVELProcedure : public TVELCodeObject {
public:
    explicit TVELProcedure(TVELPersistent* owner) : TVELCodeObject(owner) { ObjectType = otProcedure; }
    VEL_DECLARE_CREATE(TVELProcedure)

    int GetPropertyState(std::string_view key) const override;
    bool ValidatePropertyValue(std::string_view key, std::string_view value,
                               const TVELMessageCallback& callback) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
};

class TVELRule : public TVELCodeObject {
public:
    explicit TVELRule(TVELPersistent* owner) : TVELCodeObject(owner) { ObjectType = otRule; }
    VEL_DECLARE_CREATE(TVELRule)

    std::string RuleType;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    bool ValidatePropertyValue(std::string_view key, std::string_view value,
                               const TVELMessageCallback& callback) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

}  // namespace ardvin
