// Connections between model objects: relationships, which carry foreign keys from a parent
// entity into a child entity and keep them in step with the parent's primary key, and the
// connections of subcategories.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zConstraint.h"
#include "zDataDictionary.h"

namespace ardvin {

class TVELAttribute;
class TVELEntity;

// Joins a parent object to a child object of the data dictionary by identifier.
class TVELConnection : public TVELDatabaseObject {
public:
    explicit TVELConnection(TVELPersistent* owner) : TVELDatabaseObject(owner) {}

    int32_t ParentObjectID = -1;
    int32_t ChildObjectID = -1;

    // The object with that identifier in the owning data dictionary, nullptr when absent.
    virtual TVELDatabaseObject* GetParentObject() const;
    virtual TVELDatabaseObject* GetChildObject() const;

    bool GetConnectionEnds(int32_t& parentID, int32_t& childID) const override;
    void SetConnectionEnds(int32_t parentID, int32_t childID) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;

protected:
    // Reports a missing parent or child object; whether both exist.
    bool ValidateEnds(const TVELMessageCallback& callback);
};

// A subcategory joined to an entity.
class TVELSubCategoryConnection : public TVELConnection {
public:
    explicit TVELSubCategoryConnection(TVELPersistent* owner) : TVELConnection(owner) {
        ObjectType = otSubCategoryConnection;
    }
    VEL_DECLARE_CREATE(TVELSubCategoryConnection)
};

// One column of a foreign key: the parent attribute and the child attribute.
class TVELPair : public TVELDatabaseObject {
public:
    explicit TVELPair(TVELPersistent* owner) : TVELDatabaseObject(owner) {}
    VEL_DECLARE_CREATE(TVELPair)

    int32_t KeyID = 0;        // parent attribute, element KEYID
    int32_t ForeignKeyID = 0; // child attribute, element FOREIGNKEYID

    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

enum TVELRelationshipType : uint8_t {
    rtIdentifying = 0,
    rtNonIdentifying = 1,
    rtSubCategory = 2,
    rtViewConnection = 3
};
enum TVELCardinality : uint8_t {
    rcZeroOrMore = 0,
    rcOneOrMore = 1,
    rcZeroOrOne = 2,
    rcExactlyOne = 3,
    rcManyToMany = 4
};
// Referential actions of the update and delete rules; a target's supported actions are a set of
// these (TRefIntAction of the target definition has the same order).
enum TVELReferentialAction : uint8_t {
    raNone = 0,
    raRestrict = 1,
    raCascade = 2,
    raSetNull = 3,
    raSetDefault = 4
};

// "Identifying", "Non Identifying", "SubCategory", "ViewConnection"; empty out of range.
std::string RelationshipTypeCaption(int type);
// "Zero Or More", "One Or More", "Zero Or One", "Exactly One", "Many To Many".
std::string CardinalityCaption(int cardinality);
// "None", "Restrict", "Cascade", "Set Null", "Set Default".
std::string ReferentialActionName(int action);
// The action of a name (case-insensitive), -1 when unknown.
int ReferentialActionFromName(std::string_view name);

class TVELRelationship : public TVELConnection, public TVELForeignKeySource {
public:
    explicit TVELRelationship(TVELPersistent* owner);
    ~TVELRelationship() override;
    VEL_DECLARE_CREATE(TVELRelationship)

    // Identifier 1, foreign key, table level.
    std::unique_ptr<TVELConstraint> FKConstraint;
    // Set when a pair was dropped because its child attribute vanished; not stored.
    bool Changed = false;
    uint8_t RelationshipType = rtIdentifying;
    TVELNamedObjectsList Pairs; // TVELPair
    uint8_t Cardinality = rcZeroOrMore;
    std::string ParentPhrase;
    std::string ChildPhrase;
    bool MandatoryParent = false;
    uint8_t UpdateRule = raNone;
    uint8_t DeleteRule = raNone;
    // Fired for the relationship when propagation changed it.
    TVELNotifyEvent OnPropagate;
    // Called before a foreign-key attribute of the child is deleted.
    std::function<void(TVELRelationship* relationship, TVELAttribute* attribute)> OnDeleteAttribute;

    TVELPair* PairAt(int index) const { return static_cast<TVELPair*>(Pairs[index]); }
    // The parent (child) end when it is an entity, else the entity its AOID names.
    TVELEntity* GetParentEntity() const;
    TVELEntity* GetChildEntity() const;
    TVELPair* FindPairByKey(int32_t parentAttributeID) const;
    TVELAttribute* ParentAttribute(int32_t id) const;
    TVELAttribute* ChildAttribute(int32_t id) const;
    // The child (parent) attributes of all pairs in pair order; unresolved ones are left out.
    void ForeignKeyAttributes(std::vector<TVELAttribute*>& out) const;
    void KeyAttributes(std::vector<TVELAttribute*>& out) const;

    // Creates the pair of a parent attribute with its child attribute; nullptr when propagation
    // is switched off.
    TVELPair* AddPair(TVELAttribute* parentAttribute);
    // Removes the pair, deleting its child attribute where allowed; whether one was deleted.
    bool RemovePair(TVELPair* pair);
    void RemoveAllPairs();
    // Sets up a new relationship: pairs for every parent key attribute.
    void Connect();
    bool IsIdentifying() const;
    void MakeIdentifying();
    void MakeNonIdentifying();
    void ApplyType();
    void ApplyMandatoryParent();
    // Brings the foreign keys in line with the parent's key; the changed entities are added to
    // changed (once each). Whether anything changed.
    bool Propagate(std::vector<TVELNamedObject*>& changed);
    std::string ForeignKeyAttributeName(const TVELAttribute& parentAttribute) const;

    // TVELForeignKeySource
    int32_t ForeignKeySourceID() const override { return ID; }
    TVELEntity* ForeignKeyParent() const override { return GetParentEntity(); }
    TVELEntity* ForeignKeyChild() const override { return GetChildEntity(); }
    void ForeignKeyPairs(std::vector<std::pair<int32_t, int32_t>>& pairs) const override;
    TVELConstraint* ForeignKeyConstraint() const override { return FKConstraint.get(); }

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;

private:
    TVELPropagationOptions Options() const;
    // Whether the child attribute may be deleted when its pair goes.
    bool MayDeleteChildAttribute(const TVELEntity& child, const TVELAttribute& attribute) const;
    TVELEntity* ResolveEnd(int32_t id) const;
};

} // namespace ardvin
