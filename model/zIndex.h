// Indexes of entities and their columns (attributes or expressions).
#pragma once

#include "zConstraint.h"

namespace ardvin {

// Kinds of automatically created indexes.
enum TVELIndexKind : uint8_t { ikUserDefined = 0, ikPrimaryKey = 1, ikForeignKey = 2, ikAlternateKey = 3 };

class TVELIndex;

// One column of an index: an attribute of the entity, or an expression (AttributeID -1).
class TVELIndexColumn : public TVELDatabaseObject {
public:
    explicit TVELIndexColumn(TVELPersistent* owner) : TVELDatabaseObject(owner) {}
    VEL_DECLARE_CREATE(TVELIndexColumn)

    int32_t AttributeID = -1;
    std::string SortOption; // element COLSORTOPT
    std::string Expression; // element IDXCOLEXP
    bool IsExpression = true;

    TVELIndex* GetIndex() const;
    // The attribute of the column, nullptr for an expression or an unknown identifier.
    TVELAttribute* GetAttribute() const;
    // The attribute's name, or the expression.
    std::string ColumnText() const;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

class TVELIndex : public TVELDatabaseObject {
public:
    explicit TVELIndex(TVELPersistent* owner);
    VEL_DECLARE_CREATE(TVELIndex)

    uint8_t IndexKind = ikUserDefined; // not stored
    TVELDatabaseObjectsList Columns;   // TVELIndexColumn, in column order
    std::string IndexType;
    std::string IndexSortOption;
    std::string CaseProp; // element CASE
    std::string Compression;
    std::string Clustering;
    std::string IndexOptions;   // element IDXOPT
    int32_t RelationshipID = 0; // element RELID
    uint8_t AutoIndexType = 0;  // element AUTOIDXTYPE

    TVELIndexColumn* Column(int index) const { return static_cast<TVELIndexColumn*>(Columns.Items(index)); }
    TVELEntity* GetEntity() const;
    // Entity name + "." + index name.
    std::string GetDisplayName() const override;
    TVELIndexColumn* AddColumn(const TVELAttribute* attribute);
    TVELIndexColumn* AddExpressionColumn(std::string_view expression);
    // The attributes of the columns in order (nullptr for expressions and unknown ones).
    void ColumnAttributes(std::vector<TVELAttribute*>& out) const;
    // Whether the columns are exactly the given attributes, position by position.
    bool HasColumns(const std::vector<TVELAttribute*>& attributes) const;
    // Removes every column of the attribute; returns whether one was removed.
    bool RemoveAttributeColumns(int32_t attributeID);
    // Sort option, index type, case, compression and clustering take the first of the target's
    // allowed values, where the target lists any.
    void SetDefaultOptions();

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    // SaveToMarkup written into out.
    void AppendMarkup(std::string& out) const;
    bool LoadFromMarkup(std::string_view text) override;
};

} // namespace ardvin
