// Named model objects and the owning lists that number, find, order and delete them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zXMLUtils.h"

namespace ardvin {

class TDGObject;  // a diagram occurrence of a model object (diagram subsystem)
class TVELNamedObject;
class TVELNamedObjectsList;

// Levels of the messages of checks, imports and comparisons.
enum TVELMessageLevel : uint8_t { mlFound = 0, mlHint = 1, mlWarning = 2, mlError = 3, mlInfo = 4 };
// "Found", "Hint", "Warning", "Error", "Info"; empty for other values.
std::string MessageLevelName(int level);

// Receives validation messages: sender, level, text.
using TVELMessageCallback = std::function<void(TVELNamedObject* sender, int level, const std::string& text)>;
using TVELNotifyEvent = std::function<void(TVELNamedObject* sender)>;

// Base of everything that can own model objects or be owned: objects and lists alike.
class TVELPersistent {
public:
    virtual ~TVELPersistent() = default;
};

class TVELNamedObject : public TVELPersistent {
public:
    explicit TVELNamedObject(TVELPersistent* owner) : Owner(owner) {}
    ~TVELNamedObject() override = default;
    TVELNamedObject(const TVELNamedObject&) = delete;
    TVELNamedObject& operator=(const TVELNamedObject&) = delete;

    // Virtual constructor: a new, empty object of the same class with the given owner.
    virtual std::unique_ptr<TVELNamedObject> CreateNew(TVELPersistent* owner) const = 0;

    bool NameFromTemplate = false;
    TVELPersistent* Owner = nullptr;
    std::string Name;  // always stored trimmed; set through SetName
    std::string NameTemplate;
    int32_t ID = 0;
    TVELSettingsList ExtraProps;
    std::vector<std::string> Labels;
    int32_t PosNR = 0;
    bool Deleting = false;
    int32_t OldID = 0;
    bool Unnamed = true;
    std::string ToDo;
    bool Marked = false;
    bool Selected = false;
    std::vector<TDGObject*> Links;  // diagram occurrences, not owned
    int32_t AOID = -1;
    bool DeleteWithoutParentLink = false;
    bool DeleteWithoutChildLink = false;
    TVELNotifyEvent OnNameChanged;
    TVELNotifyEvent OnChanged;

    // ---- virtual operations ----
    virtual std::string GetTemplateName() const { return NameTemplate; }
    virtual void SetName(std::string_view text);
    virtual std::string GetName() const;
    // Stores ID and tells the list that holds the object (its identifier index). The ID of an
    // object held by a list must change through here: FindByID trusts the index.
    virtual void SetID(int32_t id);
    // Reports a validation message: through the callback when there is one; without one an
    // Error-level message raises EVELError and other levels are dropped.
    void AddMessage(int level, const std::string& text, const TVELMessageCallback& callback);
    virtual std::string GetPropertyValue(std::string_view key) const;
    virtual void SetPropertyValue(std::string_view key, std::string_view value);
    // 0 = the property applies, 2 = not applicable.
    virtual int GetPropertyState(std::string_view key) const;
    virtual bool ValidatePropertyValue(std::string_view key, std::string_view value,
                                       const TVELMessageCallback& callback);
    virtual std::string GetDisplayName() const { return GetName(); }
    virtual void Describe(std::vector<std::string>& lines) const { (void)lines; }
    virtual void Assign(const TVELNamedObject& source, bool copyLinks = false);
    virtual bool Validate(bool fix, const TVELMessageCallback& callback);
    virtual void DoChanged();
    virtual void DoNameChanged();
    // Markup of the object's fields, without the object's own element around them.
    virtual std::string SaveToMarkup() const;
    virtual bool LoadFromMarkup(std::string_view text);
    // The fields of this class written into out (SaveToMarkup of this class, without copies).
    void AppendNamedMarkup(std::string& out) const;
    // LoadFromMarkup followed by DoChanged.
    bool LoadAndNotify(std::string_view text);

    // Connections (relationships, subcategory connections) report their two ends here so
    // that lists can find the dependents of an object being deleted.
    virtual bool GetConnectionEnds(int32_t& parentID, int32_t& childID) const {
        (void)parentID;
        (void)childID;
        return false;
    }
    virtual void SetConnectionEnds(int32_t parentID, int32_t childID) {
        (void)parentID;
        (void)childID;
    }

    // The list that holds this object: its owner when that is a list, else the list of the
    // owning object that holds it (an entity holds its members in lists of its own).
    TVELNamedObjectsList* OwnerList() const;
    virtual TVELNamedObjectsList* MemberListOf(const TVELNamedObject* member) const {
        (void)member;
        return nullptr;
    }
    void SetTemplate(std::string_view text);  // trimmed; fires the events when changed
    std::string LabelsText() const;           // labels joined with ","
    // Comma text: the labels split at ","; an empty text gives no labels. (The property
    // "Labels" additionally removes every "[" and "]" from each label.)
    void SetLabelsText(std::string_view text);
    // The list that holds this object as an item (set by the list), or nullptr.
    TVELNamedObjectsList* ContainingList() const { return containingList_; }

private:
    friend class TVELNamedObjectsList;
    TVELNamedObjectsList* containingList_ = nullptr;
};

// Instantiates CreateNew for a concrete class.
#define VEL_DECLARE_CREATE(Class)                                                              \
    std::unique_ptr<TVELNamedObject> CreateNew(TVELPersistent* owner) const override {        \
        return std::make_unique<Class>(owner);                                                 \
    }

class TVELNamedObjectsList : public TVELPersistent {
public:
    TVELNamedObjectsList() = default;
    ~TVELNamedObjectsList() override;
    TVELNamedObjectsList(const TVELNamedObjectsList&) = delete;
    TVELNamedObjectsList& operator=(const TVELNamedObjectsList&) = delete;

    int32_t LastID = 1;
    // The object that owns the list (an entity owns its member lists), or nullptr.
    TVELPersistent* Owner = nullptr;

    int Count() const { return static_cast<int>(items_.size()); }
    TVELNamedObject* Items(int index) const { return items_.at(index).get(); }
    TVELNamedObject* operator[](int index) const { return items_[index].get(); }
    int IndexOf(const TVELNamedObject* item) const;
    // Appends (or inserts) an owned object and runs the insertion hook.
    TVELNamedObject* Add(std::unique_ptr<TVELNamedObject> item);
    TVELNamedObject* Insert(int index, std::unique_ptr<TVELNamedObject> item);
    // Removes an object from the list without freeing it.
    std::unique_ptr<TVELNamedObject> Extract(TVELNamedObject* item);
    // Takes the given items out in one pass over the list (for many items at once, where
    // Extract one by one would search and move the list for each); they are freed on return.
    void ExtractAll(const std::unordered_set<const TVELNamedObject*>& items);
    void Move(int from, int to);

    int32_t NewID();
    void CheckLastID();
    TVELNamedObject* FindByID(int32_t id) const;
    TVELNamedObject* FindByOldID(int32_t id) const;
    bool IDExists(int32_t id) const;
    bool IsUniqueID(int32_t id, const TVELNamedObject* except) const;
    TVELNamedObject* FindByName(std::string_view name) const;
    int IndexOfName(std::string_view name) const;
    bool NameExists(std::string_view name) const { return IndexOfName(name) >= 0; }
    virtual bool IsUniqueName(std::string_view name, const TVELNamedObject* except) const;
    std::string MakeUniqueName(std::string_view stem, bool alwaysNumber, const TVELNamedObject* except) const;
    std::string MakeUniqueNameMaxLength(std::string_view stem, int maxLength, bool alwaysNumber,
                                        const TVELNamedObject* except) const;
    // Deletes the object with its dependents and frees it.
    virtual void DeleteObject(TVELNamedObject* item);
    void SortByPosNR();
    void SortByID();
    void SortByName();
    void SortByNameStable();  // the list's own sort with the same comparison
    template <class T> T* FirstOfClass(int fromIndex = 0) const {
        for (int i = fromIndex; i < Count(); ++i)
            if (auto* p = dynamic_cast<T*>(items_[i].get())) return p;
        return nullptr;
    }
    template <class T> int CountOfClass() const {
        int n = 0;
        for (const auto& it : items_)
            if (dynamic_cast<T*>(it.get())) ++n;
        return n;
    }
    template <class T> void CollectOfClass(std::vector<T*>& out) const {
        for (const auto& it : items_)
            if (auto* p = dynamic_cast<T*>(it.get())) out.push_back(p);
    }
    void SelectAll();
    void DeselectAll();
    void CollectSelected(std::vector<TVELNamedObject*>& out) const;
    int SelectedCount() const;
    void SetAllMarked(bool flag);
    void ResetOldIDs();
    void ChangeTextFormat(int mode);
    void Names(std::vector<std::string>& out) const;
    void ClearAndFree();

protected:
    // Hooks of subclasses: after an object was inserted; after an object being deleted was
    // taken out of the list (before it is freed).
    virtual void Inserted(TVELNamedObject* item) { (void)item; }
    virtual void Removed(TVELNamedObject* item) { (void)item; }
    // Orders the items by the selection order of SortByName over keys given per item (keys
    // compared as bytes): among several equal smallest keys the first is taken, or the last
    // with lastOfEqual.
    void SortItemsBySelection(std::vector<std::string> keys, bool lastOfEqual);

    std::vector<std::unique_ptr<TVELNamedObject>> items_;

private:
    friend class TVELNamedObject;
    // Identifier index answering FindByID when the items are not in ID order: ID -> the first
    // position that holds it. Built on first need; kept up to date by appending and by SetID,
    // dropped by changes that move positions, and by removals of an indexed ID while some ID
    // is held twice (idDuplicates_). It holds positions, never pointers; an entry whose item
    // no longer has the ID sends FindByID to one linear search.
    void IDChanged(TVELNamedObject* item, int32_t oldID);
    void IndexAppended(int position) const;
    void InvalidateIDIndex() const {
        idIndexValid_ = false;
        idIndex_.clear();
    }
    void BuildIDIndex() const;
    std::unique_ptr<TVELNamedObject> Release(int index);  // takes the item at index out
    mutable std::unordered_map<int32_t, int> idIndex_;
    mutable bool idIndexValid_ = false;
    mutable bool idDuplicates_ = false;  // some ID was seen at two positions
};

// Converts a text by the text-format modes of ChangeTextFormat: 0 unchanged, 1 upper case,
// 2 lower case, 3 first character upper and the rest lower, 4 characters after "_" upper.
std::string ConvertTextFormat(std::string_view text, int mode);

}  // namespace ardvin
