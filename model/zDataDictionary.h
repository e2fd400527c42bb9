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
class TSLDatatypes;

class TVELDataDictionary : public TVELDatabaseObjectsList {
public:
    TVELDataDictionary();
    ~TVELDataDictionary() override;

    bool Preparing = false;
    bool Loading = false;
    std::function<void(TVELDatabaseObject* object, std::string_view markup)> OnObjectLoaded;
    std::function<void(TVELDatabaseObject* object)> OnObjectCreated;
    std::function<void(TVELDatabaseObject* object)> OnObjectMerged;
    std::function<void(size_t markupLength)> OnLoadProgress;
    // Messages of the whole-model check: the object concerned (may be nullptr), level, text.
    std::function<void(TVELNamedObject* object, int level, const std::string& text)> OnMessage;
    std::function<void(TVELDatabaseObject* object)> OnCheckProgress;
    // Every change and name change of an object of the dictionary ends here.
    std::function<void(TVELNamedObject* object)> OnObjectChanged;
    std::function<void(TVELNamedObject* object)> OnObjectNameChanged;

    TVELDatabaseSettings* GetDatabaseSettings() const { return settings_.get(); }
    TSLDatatypes* GetDataTypes() const { return dataTypes_.get(); }

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
    // Objects of one type, ordered by identifier.
    void CollectOfTypeByID(int type, std::vector<TVELDatabaseObject*>& out) const;
    TVELDatabaseObject* FindSameObject(const TVELNamedObject* object) const;

    std::string SaveToMarkup() const;
    void LoadFromMarkup(std::string_view text);
    void LoadObjects(std::string_view text, bool merge, bool fixConnections);
    void RepairRelationships();
    void CheckModel();
    void ClearStateFlags();
    void ClearComments();
    void ClearSchemas();

    // Sends a message of the whole-model check.
    void Message(TVELNamedObject* object, int level, const std::string& text) {
        if (OnMessage) OnMessage(object, level, text);
    }
    // A validation callback that forwards to OnMessage.
    TVELMessageCallback MessageCallback();

protected:
    void Inserted(TVELNamedObject* item) override;

    // The entity a connection end stands for: the object itself when it is an entity, else
    // the entity its AOID names; nullptr when neither.
    TVELDatabaseObject* ResolveEntity(int32_t id) const;

private:
    void Connect(TVELNamedObject* object);
    std::unique_ptr<TVELDatabaseSettings> settings_;
    std::unique_ptr<TSLDatatypes> dataTypes_;
};

}  // namespace ardvin
