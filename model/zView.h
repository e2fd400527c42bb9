// Views.
#pragma once

#include "zDatabaseObject.h"

namespace ardvin {

class TVELView : public TVELCodeObject {
public:
    explicit TVELView(TVELPersistent* owner) : TVELCodeObject(owner) { ObjectType = otView; }
    VEL_DECLARE_CREATE(TVELView)

    // Identifiers of related objects; not stored.
    TIntegersList RelatedIDs;

    int GetPropertyState(std::string_view key) const override;
    bool ValidatePropertyValue(std::string_view key, std::string_view value,
                               const TVELMessageCallback& callback) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
};

// Removes block comments and comment lines ("--", "#", "//", "REM ") from SQL code.
std::string RemoveComments(std::string_view code);
// Lays out view code: one clause per line, column lists broken before each comma.
std::string FormatViewCode(std::string_view code);

}  // namespace ardvin
