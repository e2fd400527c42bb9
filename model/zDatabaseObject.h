// Database objects: the object-type table, schema/comment/note, qualified names, name
// validation against the target, and the schema-aware owning list.
#pragma once

#include "zNamedObject.h"

namespace ardvin {

class TVELDataDictionary;
class TVELDatabaseSettings;
class TSLDatatypes;

// Object type numbers.
enum TVELObjectType : uint8_t {
    otNone = 0,
    otEntity = 1,
    otTextArea = 2,
    otSubCategory = 3,
    otRelationship = 4,
    otDomain = 5,
    otGroupbox = 6,
    otTrigger = 7,
    otSequence = 8,
    otIndex = 9,
    otAttribute = 10,
    otSubCategoryConnection = 11,
    otStamp = 12,
    otDiagram = 13,
    otProcedure = 14,
    otView = 15,
    otConstraint = 16,
    otTableConstraint = 17,
    otColumnConstraint = 18,
    otRule = 19,
};
inline constexpr int ObjectTypeCount = 20;

struct TVELObjectTypeInfo {
    const char* Element;          // markup element of one object
    const char* LogicalCaption;   // default name stem, captions in logical view
    const char* PhysicalCaption;  // captions in physical view, "PhysObjectDesc"
    const char* LogicalPlural;
    const char* PhysicalPlural;
    const char* ControlElement;  // diagram control element, empty when none
    const char* ClassName;
};
// The row of a type number; row 0 (all texts empty) for numbers out of range.
const TVELObjectTypeInfo& ObjectTypeInfo(int type);

class TVELDatabaseObject : public TVELNamedObject {
public:
    explicit TVELDatabaseObject(TVELPersistent* owner) : TVELNamedObject(owner) {}

    uint8_t ObjectType = otNone;
    std::string SchemaName;
    std::string Comment;  // element DESC
    std::string Note;
    // State flags of the alter pass: present in both models, new, modified, gone, moved.
    bool StateInBoth = false;
    bool StateNew = false;
    bool StateModified = false;
    bool StateGone = false;
    bool StatePositionChanged = false;
    std::string DateModified;
    // Set by the template filler during script generation (TVELGenerationMark): 2 when the
    // statement of the object's owner already wrote it. Generation state, not part of the
    // object's value: neither copied nor stored.
    mutable uint8_t GenerationMark = 0;

    void ClearStateFlags() { StateInBoth = StateNew = StateModified = StateGone = StatePositionChanged = false; }

    // The data dictionary at the root of the owner chain, or nullptr.
    TVELDataDictionary* RootDictionary() const;
    TVELDatabaseSettings* GetDatabaseSettings() const;  // nullptr without a dictionary
    TSLDatatypes* GetDataTypes() const;
    // The name quoted for definition statements, with the schema when one is set.
    virtual std::string GetQualifiedName() const;
    // Schema + "." + name when a schema is set, else the name.
    std::string GetNonQuotedQualifiedName() const;

    // Name validation; every failure is reported at level 3 through AddMessage. Returns
    // whether the name passed. list: the list whose uniqueness rule applies, or nullptr.
    bool ValidateName(std::string_view name, std::string_view caption, bool skipUnique, bool allowEmpty,
                      const TVELMessageCallback& callback, int maxLength, const TVELNamedObjectsList* list);
    // The same, with the uniqueness of the qualified name (schema and name).
    bool ValidateQualifiedName(std::string_view name, std::string_view caption, bool skipUnique, bool allowEmpty,
                               const TVELMessageCallback& callback, int maxLength,
                               const class TVELDatabaseObjectsList* list);

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    int GetPropertyState(std::string_view key) const override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
    // SaveToMarkup of this class written into out.
    void AppendDatabaseMarkup(std::string& out) const;
    // The object's markup wrapped in its element of the object-type table.
    std::string SaveToMarkupElement() const;
};

class TVELCodeObject : public TVELDatabaseObject {
public:
    explicit TVELCodeObject(TVELPersistent* owner) : TVELDatabaseObject(owner) {}
    std::string Code;
    virtual std::string GetCode() const { return Code; }
    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    int GetPropertyState(std::string_view key) const override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

class TVELObjectWithConnections : public TVELDatabaseObject {
public:
    explicit TVELObjectWithConnections(TVELPersistent* owner) : TVELDatabaseObject(owner) {}
};

// Line breaks normalised to CR LF.
std::string NormalizeLineBreaks(std::string_view text);

class TVELDatabaseObjectsList : public TVELNamedObjectsList {
public:
    TVELDatabaseObject* Object(int index) const { return static_cast<TVELDatabaseObject*>(Items(index)); }
    bool IsUniqueName(std::string_view name, const TVELNamedObject* except) const override;
    virtual bool IsUniqueQualifiedName(std::string_view name, const TVELNamedObject* except) const;
    TVELDatabaseObject* FindByQualifiedName(std::string_view name) const;
    TVELDatabaseObject* FindByTypeAndName(int type, std::string_view name) const;
    void CollectOfType(int type, std::vector<TVELDatabaseObject*>& out) const;
    void NamesOfType(int type, std::vector<std::string>& out) const;
    void CollectInSchema(std::string_view schema, std::vector<TVELDatabaseObject*>& out) const;
    TVELDatabaseObject* FindSame(const TVELNamedObject* item) const;
    void DuplicateNames(std::vector<TVELDatabaseObject*>& out) const;
    void DisplayNames(std::vector<std::string>& out) const;
    void SortByQualifiedName();
    void CheckUniqueQualifiedNames(std::string_view caption, const TVELMessageCallback& callback);
};

// CheckUniqueQualifiedNames over any set of objects (the indexes of all entities, for one).
void CheckUniqueQualifiedNames(const std::vector<TVELDatabaseObject*>& objects, std::string_view caption,
                               const TVELMessageCallback& callback);

}  // namespace ardvin
