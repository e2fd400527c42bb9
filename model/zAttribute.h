// Attributes (columns) of entities, and the identifier lists through which keys, constraints
// and indexes refer to the attributes of one entity.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zDatabaseObject.h"

namespace ardvin {

class TVELAttribute;
class TVELConstraint;
class TVELDataType;
class TVELDomain;
class TVELEntity;
class TVELSequence;

// Auto-number methods of a target (its "simulateautonumber" key): how an auto-numbered column
// is simulated where the target has no identity columns of its own.
enum TVELAutoNumberMethod : uint8_t {
    amNone = 0,
    amTrigger = 1,
    amSequenceAndTrigger = 2,
    amSequenceAndDefault = 3
};

// The attributes of one entity, by identifier and in order. The entity is found through the
// object that holds the list (a constraint or an index; for a foreign key the child entity).
class TVELAttributeIDs {
public:
    explicit TVELAttributeIDs(const TVELNamedObject* holder = nullptr) : holder_(holder) {}
    TVELAttributeIDs(const TVELAttributeIDs&) = delete;
    TVELAttributeIDs& operator=(const TVELAttributeIDs&) = delete;

    // The entity whose attributes the identifiers name, or nullptr.
    TVELEntity* Entity() const;

    int Count() const { return static_cast<int>(ids_.size()); }
    bool Empty() const { return ids_.empty(); }
    int32_t IDAt(int index) const { return ids_.at(index); }
    const std::vector<int32_t>& IDs() const { return ids_; }
    void SetIDs(std::vector<int32_t> ids) { ids_ = std::move(ids); }
    void Assign(const TVELAttributeIDs& other) { ids_ = other.ids_; }
    void Clear() { ids_.clear(); }

    void Add(const TVELAttribute* attribute);
    void AddID(int32_t id) { ids_.push_back(id); }
    // Deletes the entry with the identifier, if present; returns whether one was deleted.
    bool Remove(const TVELAttribute* attribute);
    bool RemoveID(int32_t id);
    bool Contains(const TVELAttribute* attribute) const;
    bool ContainsID(int32_t id) const;
    // The entity's attribute named by the entry (nullptr when out of range or not found).
    TVELAttribute* AttributeAt(int index) const;
    // Clears the list, then the attribute of every entry in order (nullptr when unresolved).
    void GetAttributes(std::vector<TVELAttribute*>& out) const;
    // Appends the names of the resolved entries.
    void GetNames(std::vector<std::string>& out) const;
    std::string NamesText() const; // joined with ", "
    // Every name enclosed in prefix and suffix unless it already has both, joined with ", ".
    std::string NamesWithAffixes(std::string_view prefix, std::string_view suffix) const;
    std::string CommaText() const; // identifiers joined with ","
    bool Equals(const TVELAttributeIDs& other) const { return ids_ == other.ids_; }

    // The section ATTRIBUTEIDS with one ATTRIBUTEID element per entry.
    std::string SaveToMarkup() const;
    // Clears the list, then reads successive ATTRIBUTEID elements until one reads empty; an
    // entry that is not a number names no attribute and is left out.
    void LoadFromMarkup(std::string_view text);

private:
    const TVELNamedObject* holder_;
    std::vector<int32_t> ids_;
};

// Whether a property key belongs to the data type value of a column or domain (Length,
// Precision, PhysName ...); such keys are passed on to the data type.
bool IsDataTypeKey(std::string_view key);

class TVELAttribute : public TVELDatabaseObject {
public:
    explicit TVELAttribute(TVELPersistent* owner);
    ~TVELAttribute() override;
    VEL_DECLARE_CREATE(TVELAttribute)

    std::unique_ptr<TVELDataType> DataType;
    int32_t DomainID = -1;
    int32_t SequenceID = -1;
    int32_t TriggerID = -1;
    bool AutoNumberTrigger = false; // an auto-number trigger has been generated
    bool AutoNumberDefault = false; // the default value has been generated from the sequence
    // Column constraints, identifiers 3, 1 and 2; each lists this attribute as its only entry.
    std::unique_ptr<TVELConstraint> CheckConstraint;
    std::unique_ptr<TVELConstraint> NotNullConstraint; // value "1" when required
    std::unique_ptr<TVELConstraint> DefaultConstraint;
    std::string Collate;
    std::string AttributeOptions; // element ATTROPT
    std::string ExplicitNullText; // not stored; set for generation
    std::string PackageName;      // element PKGNAME
    int32_t PackageItem = -1;     // element PKGITEM
    bool AutoNumber = false;      // the user asked for an auto-numbered column (AUTONUM)

    // The entity that owns the attribute, or nullptr.
    TVELEntity* GetEntity() const;
    // Stores the identifier and rewrites the attribute lists of the three column constraints.
    void SetID(int32_t id) override;

    bool IsPrimaryKey() const;
    void SetPrimaryKey(bool flag);
    bool IsNotNull() const;
    void SetNotNull(bool flag);
    // Whether the identity option of the data type is set.
    bool IsIdentity() const;
    std::string DefaultValue() const;
    void SetDefaultValue(std::string_view value);
    std::string CheckValue() const;
    void SetCheckValue(std::string_view value);

    // The child column of some pair of a relationship into the attribute's entity.
    bool IsForeignKey() const;
    // The parent attributes of all such pairs.
    void RefersTo(std::vector<TVELAttribute*>& out) const;

    TVELDomain* GetDomain() const;
    void SetDomainID(int32_t id);
    void SetDomainByName(std::string_view name);
    void SetDomainByQualifiedName(std::string_view name);
    // Takes over the domain's data type, check and default value; without the domain the
    // reference is cleared.
    void ApplyDomain();

    int32_t GetSequenceID() const;
    TVELSequence* GetSequence() const;
    void SetSequenceID(int32_t id);
    int32_t GetTriggerID() const;
    // AutoNumberTrigger set and TriggerID naming a trigger of the entity.
    bool AutoNumberTriggerInForce() const;
    void SetAutoNumberTrigger(bool flag);
    void SetAutoNumberDefault(bool flag);

    std::string GetScriptDataType() const;
    std::string GetDisplayDataType() const;
    std::string GetQualifiedDisplayName() const;
    // Replaces a data type that the target's list does not hold by its best match.
    void CheckDataType(const TVELMessageCallback& callback);

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;

private:
    void ForceColumnConstraints();
    int AutoNumberMethod() const;
};

} // namespace ardvin
