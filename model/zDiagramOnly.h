// Objects that exist only on diagrams: subcategories, text areas, stamps and group boxes.
#pragma once

#include "zDatabaseObject.h"

namespace ardvin {

// The diagram symbol of a generalisation; an end of relationships and subcategory connections.
class TVELSubCategory : public TVELObjectWithConnections {
public:
    explicit TVELSubCategory(TVELPersistent* owner) : TVELObjectWithConnections(owner) {
        ObjectType = otSubCategory;
        DeleteWithoutParentLink = true;
        DeleteWithoutChildLink = true;
    }
    VEL_DECLARE_CREATE(TVELSubCategory)
};

class TVELTextArea : public TVELDatabaseObject {
public:
    explicit TVELTextArea(TVELPersistent* owner) : TVELDatabaseObject(owner) { ObjectType = otTextArea; }
    VEL_DECLARE_CREATE(TVELTextArea)

    std::string Text;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

// A title block.
class TVELStamp : public TVELDatabaseObject {
public:
    explicit TVELStamp(TVELPersistent* owner) : TVELDatabaseObject(owner) { ObjectType = otStamp; }
    VEL_DECLARE_CREATE(TVELStamp)

    std::string ProjectName;
    std::string Created;
    std::string Modified;
    std::string Author;
    std::string Copyright;
    std::string DBMSName;
    std::vector<std::string> Properties;  // the lines to show

    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

class TVELGroupbox : public TVELDatabaseObject {
public:
    explicit TVELGroupbox(TVELPersistent* owner) : TVELDatabaseObject(owner) { ObjectType = otGroupbox; }
    VEL_DECLARE_CREATE(TVELGroupbox)

    std::string ObjectCaption;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

}  // namespace ardvin
