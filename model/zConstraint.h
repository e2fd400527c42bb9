// Constraints: the primary key of an entity, table constraints, the column constraints of an
// attribute and the foreign key of a relationship. Also the owning lists of an entity's
// members.
#pragma once

#include <utility>
#include <vector>

#include "zAttribute.h"

namespace ardvin {

class TVELEntity;

enum TVELConstraintType : uint8_t {
    ctUnknown = 0,
    ctCheck = 1,
    ctUnique = 2,
    ctPrimaryKey = 3,
    ctForeignKey = 4,
    ctNotNull = 5,
    ctDefault = 6,
};
enum TVELConstraintLevel : uint8_t { clUnknown = 0, clColumn = 1, clTable = 2 };
// "Unknown", "Check", "Unique", "Primary Key", "Foreign Key", "Not Null", "Default".
std::string ConstraintTypeCaption(int type);
// "Unknown", "Column Constraint", "Table Constraint".
std::string ConstraintLevelCaption(int level);

class TVELConstraint;

// Implemented by the owner of a foreign-key constraint (a relationship): the entities it joins
// and its column pairs. Entities find the foreign keys into them through this interface.
class TVELForeignKeySource {
public:
    virtual ~TVELForeignKeySource() = default;
    // Identifier of the relationship in the data dictionary.
    virtual int32_t ForeignKeySourceID() const = 0;
    virtual TVELEntity* ForeignKeyParent() const = 0;
    virtual TVELEntity* ForeignKeyChild() const = 0;
    // (parent attribute identifier, child attribute identifier), in pair order.
    virtual void ForeignKeyPairs(std::vector<std::pair<int32_t, int32_t>>& pairs) const = 0;
    virtual TVELConstraint* ForeignKeyConstraint() const = 0;
};

class TVELConstraint : public TVELDatabaseObject {
public:
    explicit TVELConstraint(TVELPersistent* owner);
    VEL_DECLARE_CREATE(TVELConstraint)

    TVELAttributeIDs AttributeIDs{this};
    // Check expression, default value, "1" for a set not-null constraint; unused by keys.
    std::string Value;
    uint8_t Level = clUnknown;
    uint8_t ConstraintType = ctUnknown;
    std::string ConstraintOptions; // element CONOPT
    std::string PKClustering;      // element PKCONCLUSTERING

    // Empty when the target does not name constraints of this type.
    std::string GetName() const override;
    bool IsInUse() const;
    bool UsesName() const;
    // Owner name + "." + name; for a foreign key the owner is the relationship's child entity.
    std::string GetDisplayName() const override;
    // The owning entity, the entity of the owning attribute, or a relationship's child entity.
    TVELEntity* GetEntity() const;
    // The relationship that owns a foreign-key constraint, or nullptr.
    const TVELForeignKeySource* ForeignKeySource() const;
    std::string TypeCaption() const { return ConstraintTypeCaption(ConstraintType); }
    std::string GetDescription() const;
    std::string GetSQL() const;
    // A table-level check: the attributes whose upper-cased names occur in the upper-cased
    // expression; whether there are any.
    bool CheckedAttributes(std::vector<int32_t>& ids) const;
    void Describe(std::vector<std::string>& lines) const override;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    // SaveToMarkup written into out.
    void AppendMarkup(std::string& out) const;
    bool LoadFromMarkup(std::string_view text) override;

private:
    // Child and parent column names of a foreign key.
    void ForeignKeyColumnNames(std::string& childNames, std::string& parentNames,
                               std::string& parentEntity) const;
};

// An owning list of an entity's members (attributes, indexes, triggers, constraints): its
// owner is the entity, which checks deletions and cleans up references to removed members.
class TVELEntityMemberList : public TVELDatabaseObjectsList {
public:
    TVELEntity* Entity() const;
    void DeleteObject(TVELNamedObject* item) override;

protected:
    void Removed(TVELNamedObject* item) override;
};

// The table constraints of an entity.
class TVELConstraintsList : public TVELEntityMemberList {
public:
    TVELConstraint* Constraint(int index) const { return static_cast<TVELConstraint*>(Items(index)); }
    // Unique among the table constraints and the entity's primary key, case-insensitively.
    bool IsUniqueName(std::string_view name, const TVELNamedObject* except) const override;
    // The constraint with the same identifier, type and level.
    TVELConstraint* FindSame(const TVELNamedObject* item) const;
};

// A callback that forwards to the given one and records whether an error was reported. An
// empty callback stays empty: errors then raise.
TVELMessageCallback TrackErrors(const TVELMessageCallback& callback, bool& errors);

} // namespace ardvin
