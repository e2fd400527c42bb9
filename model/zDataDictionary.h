// The data dictionary: the model of one project. One owning list holds every top-level model
// object; the dictionary also owns the target definition and the data type list.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zDatabaseObject.h"

namespace ardvin {

class TVELDatabaseSettings;
class TVELDataTypeConverter;
class TSLDatatypes;
class TVELAttribute;
class TVELConstraint;
class TVELDomain;
class TVELEntity;
class TVELForeignKeySource;
class TVELIndex;
class TVELPackages;
class TVELProcedure;
class TVELRelationship;
class TVELRule;
class TVELSequence;
class TVELSubCategory;
class TVELTextArea;
class TVELTrigger;
class TVELView;

// How propagation names the attributes it creates in a child.
enum TVELForeignKeyAttributeMode : uint8_t { fkmReuseExisting = 0, fkmAutoRename = 1 };

// The model-wide options of key propagation, filled from the project's settings.
struct TVELPropagationOptions {
    // When false, relationships never create foreign-key attributes.
    bool PropagateForeignKeys = true;
    // When false, removing a pair never deletes its child attribute.
    bool DeleteForeignKeyAttributes = true;
    uint8_t ForeignKeyAttributeMode = fkmAutoRename;
    // Naming template of new foreign-key attributes; "%column%" when empty.
    std::string ForeignKeyAttributeTemplate;
};

class TVELDataDictionary : public TVELDatabaseObjectsList {
public:
    TVELDataDictionary();
    ~TVELDataDictionary() override;

    bool Preparing = false;
    bool Loading = false;
    // Consulted by every relationship of the dictionary when it propagates keys.
    TVELPropagationOptions PropagationOptions;
    std::function<void(TVELDatabaseObject* object, std::string_view markup)> OnObjectLoaded;
    // Also for the members (attributes, indexes, triggers, table constraints) that entities
    // create.
    std::function<void(TVELDatabaseObject* object)> OnObjectCreated;
    std::function<void(TVELDatabaseObject* object)> OnObjectMerged;
    std::function<void(size_t markupLength)> OnLoadProgress;
    // Messages of the whole-model check: the object concerned (may be nullptr), level, text.
    std::function<void(TVELNamedObject* object, int level, const std::string& text)> OnMessage;
    std::function<void(TVELDatabaseObject* object)> OnCheckProgress;
    // Every change and name change of an object of the dictionary ends here.
    std::function<void(TVELNamedObject* object)> OnObjectChanged;
    std::function<void(TVELNamedObject* object)> OnObjectNameChanged;
    // An object (also one deleted along with another) is being deleted: it is out of the list
    // and not yet freed.
    std::function<void(TVELNamedObject* object)> OnObjectDeleted;

    TVELDatabaseSettings* GetDatabaseSettings() const { return settings_.get(); }
    TSLDatatypes* GetDataTypes() const { return dataTypes_.get(); }
    // The attribute packages of the target; reloaded by SetTarget.
    TVELPackages* GetPackages() const { return packages_.get(); }

    // A new, empty object of a type number, owned by owner; nullptr for types the model
    // does not create (none, diagram).
    static std::unique_ptr<TVELDatabaseObject> NewObjectOfType(int type, TVELPersistent* owner);

    void SetTarget(std::string_view dbid);
    std::string GetTarget() const;
    TVELDatabaseObject* CreateObject(int type, bool initialize);
    TVELDatabaseObject* AddCopy(const TVELDatabaseObject& object);
    void AssignDictionary(const TVELDataDictionary& source);
    void Clear();
    TVELDatabaseObject* FindObjectByID(int32_t id) const;
    TVELDatabaseObject* FindOfTypeByQualifiedName(int type, std::string_view name) const;
    TVELDatabaseObject* FindSequence(std::string_view qualifiedName) const {
        return FindOfTypeByQualifiedName(otSequence, qualifiedName);
    }
    TVELDatabaseObject* FindProcedure(std::string_view qualifiedName) const {
        return FindOfTypeByQualifiedName(otProcedure, qualifiedName);
    }
    TVELEntity* FindEntity(std::string_view qualifiedName) const;
    TVELDomain* FindDomainByQualifiedName(std::string_view qualifiedName) const;
    TVELRelationship* FindRelationship(std::string_view qualifiedName) const;
    // The first domain whose name equals the text, case-insensitively.
    TVELDomain* FindDomain(std::string_view name) const;
    // Objects of one type, ordered by identifier.
    void CollectOfTypeByID(int type, std::vector<TVELDatabaseObject*>& out) const;
    // The objects of one class, ordered by identifier.
    void Entities(std::vector<TVELEntity*>& out) const;
    void Domains(std::vector<TVELDomain*>& out) const;
    void Relationships(std::vector<TVELRelationship*>& out) const;
    void SubCategories(std::vector<TVELSubCategory*>& out) const;
    void TextAreas(std::vector<TVELTextArea*>& out) const;
    void Views(std::vector<TVELView*>& out) const;
    void Procedures(std::vector<TVELProcedure*>& out) const;
    void Rules(std::vector<TVELRule*>& out) const;
    void Sequences(std::vector<TVELSequence*>& out) const;
    // The members of every entity, entity by entity in list order (table constraints only).
    void AllAttributes(std::vector<TVELAttribute*>& out) const;
    void AllIndexes(std::vector<TVELIndex*>& out) const;
    void AllTriggers(std::vector<TVELTrigger*>& out) const;
    void AllConstraints(std::vector<TVELConstraint*>& out) const;
    // The counterpart of an object of another dictionary: a member of an entity (attribute,
    // index, trigger, table constraint, primary key) or a column constraint is searched in
    // the counterpart of its entity (attribute); other objects by identifier and class.
    TVELDatabaseObject* FindSameObject(const TVELNamedObject* object) const;
    // The relationships (foreign-key sources) whose child is the entity.
    void ForeignKeySourcesOf(const TVELEntity* entity, std::vector<const TVELForeignKeySource*>& out) const;

    // Deletes an object with its dependents. A domain that attributes use, and a sequence that
    // attributes refer to while the target supports sequences, are not deleted: EVELError.
    void DeleteObject(TVELNamedObject* item) override;
    bool IsUniqueQualifiedName(std::string_view name, const TVELNamedObject* except) const override;

    // While a scope is open, whole-model look-ups (foreign keys into an entity, qualified
    // names, domains in use) are answered from caches built on first need and dropped
    // whenever an object is added or removed. Long operations that change nothing else that
    // these look-ups depend on (the check, loading) open one.
    class TBulkScope {
    public:
        explicit TBulkScope(const TVELDataDictionary& dictionary);
        ~TBulkScope();
        TBulkScope(const TBulkScope&) = delete;
        TBulkScope& operator=(const TBulkScope&) = delete;

    private:
        const TVELDataDictionary& dictionary_;
    };
    // Whether some attribute uses the domain.
    bool DomainInUse(int32_t domainID) const;

    std::string SaveToMarkup() const;
    // The text of SaveToMarkup handed out in pieces, for writing a large model without holding
    // all of it: out collects the text, and whenever it holds pieceSize bytes or more at the
    // end of an object, flush is called to take it (and to empty it). The text left in out at
    // the end is the last piece.
    void WriteMarkup(std::string& out, size_t pieceSize, const std::function<void(std::string&)>& flush) const;
    void LoadFromMarkup(std::string_view text);
    void LoadObjects(std::string_view text, bool merge, bool fixConnections);
    // Drops the relationships whose ends resolve to no entity, then propagates keys over all
    // relationships until a pass changes nothing.
    void RepairRelationships();
    void CheckModel();
    // Switches the model to another target: loads its definition and types, converts the data
    // type and default value of every domain and column from the old target (messages go to
    // OnMessage), and, unless both targets share a driver, clears what belonged to the old
    // target (schemas the new one lacks, collations, type and column options, table and index
    // options, index expressions). Raises EVELError when the definition is missing; nothing
    // changes then. The check against the new target (CheckModel) is the caller's.
    void ChangeTarget(std::string_view dbid);
    void ClearStateFlags();
    void ClearComments();
    void ClearSchemas();

    // Fills options with the prepare options a target needs: "CHANGETEXTFORMAT" always, and
    // the "DONOTUSE..." (or "CONVERTDOMAINS") switch of every capability the target lacks.
    static void DefaultPrepareOptions(TVELSettingsList& options, const TVELDatabaseSettings& target);
    // Applies the generation options (an option is in force when its value is "1") to a copy
    // of a model that is about to be generated: removes and empties what the options leave
    // out, applies the global prefix and the target's text format. Without options it raises.
    void Prepare(const TVELSettingsList* options);

    // Sends a message of the whole-model check.
    void Message(TVELNamedObject* object, int level, const std::string& text) {
        if (OnMessage) OnMessage(object, level, text);
    }
    // A validation callback that forwards to OnMessage.
    TVELMessageCallback MessageCallback();

protected:
    void Inserted(TVELNamedObject* item) override;
    void Removed(TVELNamedObject* item) override;

    // The entity a connection end stands for: the object itself when it is an entity, else
    // the entity its AOID names; nullptr when neither.
    TVELDatabaseObject* ResolveEntity(int32_t id) const;

private:
    struct TBulkCaches;
    void Connect(TVELNamedObject* object);
    void DropCaches() const;
    void CheckDeletion(const TVELNamedObject* item) const;
    void RenumberDuplicateAttributes();
    void ConnectRelationship(TVELRelationship* relationship);
    // Tells the relationships attached to a renamed entity, whose computed names follow it.
    void EntityRenamed(const TVELNamedObject* entity);
    void CheckPackages();
    // Converts every domain and then every column; validate checks each value afterwards.
    void ConvertDataTypes(const TVELDataTypeConverter& converter, bool validate);
    // Clears what belongs to the old target after a switch between targets of different drivers.
    void ClearTargetSpecifics(bool fromIndependent);
    mutable std::unique_ptr<TBulkCaches> bulk_;
    mutable int bulkScopes_ = 0;
    mutable size_t lastSaveSize_ = 0;  // of the last SaveToMarkup, to size the next one
    std::unique_ptr<TVELDatabaseSettings> settings_;
    std::unique_ptr<TSLDatatypes> dataTypes_;
    std::unique_ptr<TVELPackages> packages_;
};

}  // namespace ardvin
