// Entities (tables): their attributes, indexes, triggers and table constraints, the primary
// key, the table-level script texts and simple statement skeletons over the columns.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zConstraint.h"

namespace ardvin {

class TVELAttribute;
class TVELIndex;
class TVELTrigger;

class TVELEntity : public TVELObjectWithConnections {
public:
    explicit TVELEntity(TVELPersistent* owner);
    ~TVELEntity() override;
    VEL_DECLARE_CREATE(TVELEntity)

    std::string MembersSnapshot;  // not stored
    std::string Abbreviation;     // element ABBR; set through SetAbbreviation
    bool TrackKeyChanges = false; // set through SetTrackKeyChanges
    // Identifier 1, type primary key, table level; lists its attributes in column order.
    std::unique_ptr<TVELConstraint> PrimaryKey;
    // Each list has its own identifier counter.
    TVELEntityMemberList Attributes; // TVELAttribute, in column order
    TVELEntityMemberList Indexes;    // TVELIndex
    TVELEntityMemberList Triggers;   // TVELTrigger
    TVELConstraintsList Constraints; // table constraints
    // Identifiers of the attributes that entered or left the primary key while
    // TrackKeyChanges was set (identifiers, so that deleted attributes leave no dangling
    // reference; the propagation tells by the key whether an attribute left or joined).
    std::vector<int32_t> KeyChangedAttributes;
    std::string BeginTableScript; // element BEGINTABLESCR
    std::string EndTableScript;   // element ENDTABLESCR
    std::string TableOptions;     // element TABOPT
    // Fired after a member (or the primary key) changed, and after its name changed; the
    // sender is the member.
    TVELNotifyEvent OnMemberChanged;
    TVELNotifyEvent OnMemberNameChanged;
    // Fired for a member that AddMember created, outside loading; the sender is the member.
    TVELNotifyEvent OnMemberCreated;

    // Creates an attribute, index, trigger or table constraint (type otAttribute, otIndex,
    // otTrigger, otConstraint or otTableConstraint), numbered by its list and, when
    // initializing, named; appends it and returns it.
    TVELDatabaseObject* AddMember(int type, bool initialize);
    TVELAttribute* AddAttribute(bool initialize = true);
    TVELIndex* AddIndex(bool initialize = true);
    TVELTrigger* AddTrigger(bool initialize = true);
    TVELConstraint* AddConstraint(uint8_t type, uint8_t level);

    TVELAttribute* AttributeAt(int index) const;
    TVELIndex* IndexAt(int index) const;
    TVELTrigger* TriggerAt(int index) const;
    TVELConstraint* ConstraintAt(int index) const { return Constraints.Constraint(index); }
    TVELAttribute* FindAttribute(int32_t id) const;
    TVELTrigger* FindTrigger(int32_t id) const;
    // The member list that holds objects of the member's class.
    TVELEntityMemberList* ListOf(const TVELNamedObject* member);
    TVELNamedObjectsList* MemberListOf(const TVELNamedObject* member) const override;
    // Deletes a member through its list (with the list's checks and clean-up).
    void DeleteMember(TVELNamedObject* member);

    void AddToPrimaryKey(const TVELAttribute* attribute);
    void RemoveFromPrimaryKey(const TVELAttribute* attribute);
    void PrimaryKeyAttributes(std::vector<TVELAttribute*>& out) const;
    // Orders the primary key's identifiers by the position of their attributes.
    void SortPrimaryKey();
    bool PrimaryKeyOnTop() const;
    bool HasIdentityAttribute() const;
    void SetTrackKeyChanges(bool flag);
    void SetAbbreviation(std::string_view text);

    void IndexesOfKind(uint8_t kind, std::vector<TVELIndex*>& out) const;
    void IndexesOnColumns(const std::vector<TVELAttribute*>& attributes, std::vector<TVELIndex*>& out) const;
    bool HasIndexOnColumns(const std::vector<TVELAttribute*>& attributes) const;

    // The relationships in which the entity is the child.
    void ForeignKeySources(std::vector<const TVELForeignKeySource*>& out) const;
    // The foreign-key constraints of those relationships (rebuilt on every call).
    const std::vector<TVELConstraint*>& ForeignKeyConstraints() const;
    // The not-null and default constraints of the attributes in use, the primary key when it
    // has attributes, the table constraints and the attributes' check constraints in use,
    // ordered by name; then the foreign-key constraints (rebuilt on every call).
    const std::vector<TVELConstraint*>& AllConstraints() const;

    // Statement skeletons: 0 select, 1 insert, 2 update.
    std::string GetSQLStatement(int kind) const;

    // The markup of the primary key (PKCON, when it has attributes) and of the four member
    // sections, as SaveToMarkup writes them.
    std::string MembersMarkup() const;
    void AppendMembersMarkup(std::string& out) const;
    void SaveMembersSnapshot();
    void RestoreMembersSnapshot();
    // Reads the members of a text; with renumber, members keep the fresh identifiers of
    // their lists instead of the stored ones (pasting into an existing entity).
    void LoadMembers(std::string_view text, bool renumber);

    // Automatic key indexes. A primary-key index: nullptr when the key has no attribute.
    TVELIndex* CreatePrimaryKeyIndex();
    // The foreign-key index of a relationship into this entity: nullptr when it has no pairs
    // or its foreign-key attributes are exactly the primary key.
    TVELIndex* CreateForeignKeyIndex(const TVELForeignKeySource& relationship);
    // Deletes the foreign-key indexes of relationships that no longer exist, then renews the
    // foreign-key index of every relationship into the entity; keepSettings carries the name
    // template, clustering and options of the first old index over to the new one.
    void RefreshForeignKeyIndexes(bool keepSettings);
    // The alternate-key index in this entity, the parent of a relationship whose parent
    // attributes are not its primary key; nullptr otherwise.
    TVELIndex* CreateAlternateKeyIndex(const TVELForeignKeySource& relationship);

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    int GetPropertyState(std::string_view key) const override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    // SaveToMarkup written into out.
    void AppendMarkup(std::string& out) const;
    bool LoadFromMarkup(std::string_view text) override;

    // Called by the member lists.
    void CheckMemberDeletion(const TVELNamedObject* member) const;
    void MemberRemoved(TVELNamedObject* member);

private:
    void ConnectMember(TVELNamedObject* member);
    void RecordKeyChange(int32_t attributeID);
    void ClearMembers();
    void LoadPrimaryKey(std::string_view text);
    mutable std::vector<TVELConstraint*> allConstraintsCache_;
    mutable std::vector<TVELConstraint*> foreignKeyConstraints_;
    int32_t savedCounters_[4] = {0, 0, 0, 0};
    bool loadingMembers_ = false;
};

// The entity an object belongs to: the object itself, the owner up the chain, or the child
// entity of the relationship that owns it; nullptr when none.
TVELEntity* EntityOf(const TVELNamedObject* object);

} // namespace ardvin
