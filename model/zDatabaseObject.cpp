// Database objects: the object-type table, schema/comment/note, qualified names, name
// validation against the target, and the schema-aware owning list.
#include "zDatabaseObject.h"

#include <typeinfo>
#include <unordered_map>

#include "zDataDictionary.h"
#include "zDatabaseSettings.h"

namespace ardvin {

// ---- object-type table ---------------------------------------------------------------------

namespace {

const TVELObjectTypeInfo ObjectTypes[ObjectTypeCount] = {
    {"", "", "", "", "", "", ""},
    {"ENT", "Entity", "table", "Entities", "Tables", "ENTC", "TVELEntity"},
    {"TEXTAR", "Text Area", "text area", "Text Areas", "Text Areas", "TEXTC", "TVELTextArea"},
    {"SUBCAT", "SubCategory", "SubCategory", "SubCategories", "SubCategories", "SUBCATC", "TVELSubCategory"},
    {"REL", "Relationship", "relationship", "Relationships", "Relationships", "RELC", "TVELRelationship"},
    {"DOMAIN", "Domain", "domain", "Domains", "Domains", "", "TVELDomain"},
    {"GROUPBOX", "Groupbox", "groupbox", "Groupboxes", "Groupboxes", "GROUPBOXC", "TVELGroupbox"},
    {"TRIGGER", "Trigger", "trigger", "Triggers", "Triggers", "", "TVELTrigger"},
    {"SEQUENCE", "Sequence", "sequence/generator", "Sequences", "Sequences", "", "TVELSequence"},
    {"INDEX", "Index", "index", "Indexes", "Indexes", "", "TVELIndex"},
    {"ATTR", "Attribute", "column", "Attributes", "Columns", "", "TVELAttribute"},
    {"SUBCATEGORYCONNECTION", "SubCategoryConnection", "SubCategoryConnection", "SubCategoryConnections",
     "SubCategoryConnections", "SUBCATEGORYCONNECTOR", "TVELSubCategoryConnection"},
    {"STAMP", "Stamp", "stamp", "Stamps", "Stamps", "STAMPC", "TVELStamp"},
    // Diagrams.
    {"DIAGRAM", "Diagram", "diagram", "Diagrams", "Diagrams", "", "TVELDiagram"},
    {"PROCEDURE", "Procedure", "procedure", "Procedures", "Procedures", "", "TVELProcedure"},
    {"VIEW", "View", "view", "Views", "Views", "VIEWC", "TVELView"},
    {"CONSTRAINT", "Constraint", "constraint", "Constraints", "Constraints", "", "TVELConstraint"},
    {"CONSTRAINT", "Table constraint", "table constraint", "Table constraints", "Table constraints", "",
     "TVELConstraint"},
    {"COLCON", "Column constraint", "column constraint", "Column constraints", "Column constraints", "",
     "TVELConstraint"},
    {"RULE", "Rules", "Rule", "Rules", "Rules", "", "TVELRule"},
};

}  // namespace

const TVELObjectTypeInfo& ObjectTypeInfo(int type) {
    if (type < 0 || type >= ObjectTypeCount) return ObjectTypes[0];
    return ObjectTypes[type];
}

std::string NormalizeLineBreaks(std::string_view text) {
    std::string r;
    r.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            r += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            r += "\r\n";
        } else {
            r += c;
        }
    }
    return r;
}

// ---- TVELDatabaseObject --------------------------------------------------------------------

TVELDataDictionary* TVELDatabaseObject::RootDictionary() const {
    // Up the owners while they are named objects, or lists owned by named objects (an
    // entity's member lists); the first owner that is neither is the dictionary, if any.
    TVELPersistent* p = Owner;
    for (int depth = 0; p && depth < 1000; ++depth) {
        if (auto* object = dynamic_cast<TVELNamedObject*>(p)) {
            p = object->Owner;
            continue;
        }
        if (auto* list = dynamic_cast<TVELNamedObjectsList*>(p);
            list && list->Owner && dynamic_cast<TVELNamedObject*>(list->Owner)) {
            p = list->Owner;
            continue;
        }
        break;
    }
    return dynamic_cast<TVELDataDictionary*>(p);
}

TVELDatabaseSettings* TVELDatabaseObject::GetDatabaseSettings() const {
    TVELDataDictionary* dictionary = RootDictionary();
    return dictionary ? dictionary->GetDatabaseSettings() : nullptr;
}

TSLDatatypes* TVELDatabaseObject::GetDataTypes() const {
    TVELDataDictionary* dictionary = RootDictionary();
    return dictionary ? dictionary->GetDataTypes() : nullptr;
}

namespace {

std::string RawQualifiedName(const std::string& schema, const std::string& name) {
    return schema.empty() ? name : schema + "." + name;
}

}  // namespace

std::string TVELDatabaseObject::GetQualifiedName() const {
    const std::string raw = RawQualifiedName(SchemaName, GetName());
    const TVELDatabaseSettings* settings = GetDatabaseSettings();
    return settings ? settings->QuoteDDL(raw) : raw;
}

std::string TVELDatabaseObject::GetNonQuotedQualifiedName() const {
    const std::string raw = RawQualifiedName(SchemaName, GetName());
    const TVELDatabaseSettings* settings = GetDatabaseSettings();
    return settings ? settings->StripQuotes(raw) : raw;
}

namespace {

// ValidateName steps 1 to 5; isUnique is empty when no uniqueness check applies.
bool ValidateNameSteps(TVELDatabaseObject& object, std::string_view name, std::string_view caption,
                       bool allowEmpty, const TVELMessageCallback& callback, int maxLength,
                       const std::function<bool()>& isUnique) {
    const bool empty = Trim(name).empty();
    if (allowEmpty && empty) return true;
    const std::string cap(caption), nm(name);
    bool valid = true;
    if (empty) {
        valid = false;
        object.AddMessage(mlError, Format("%s may not be empty.", cap.c_str()), callback);
    }
    if (isUnique && !isUnique()) {
        valid = false;
        object.AddMessage(mlError, Format("%s \"%s\" is not unique.", cap.c_str(), nm.c_str()), callback);
    }
    if (maxLength > -1) {
        const size_t dot = name.rfind('.');
        const std::string_view simple = dot == std::string_view::npos ? name : name.substr(dot + 1);
        if (simple.size() > static_cast<size_t>(maxLength)) {
            valid = false;
            object.AddMessage(
                mlError,
                Format("%s \"%s\" is too long. Max length is %d.", cap.c_str(), nm.c_str(), maxLength),
                callback);
        }
    }
    if (const TVELDatabaseSettings* settings = object.GetDatabaseSettings();
        settings && settings->IsReservedWord(name)) {
        valid = false;
        object.AddMessage(mlError, Format("%s \"%s\" contains a reserved word.", cap.c_str(), nm.c_str()),
                          callback);
    }
    return valid;
}

}  // namespace

bool TVELDatabaseObject::ValidateName(std::string_view name, std::string_view caption, bool skipUnique,
                                      bool allowEmpty, const TVELMessageCallback& callback, int maxLength,
                                      const TVELNamedObjectsList* list) {
    std::function<bool()> isUnique;
    if (list && !skipUnique) isUnique = [&] { return list->IsUniqueName(name, this); };
    return ValidateNameSteps(*this, name, caption, allowEmpty, callback, maxLength, isUnique);
}

bool TVELDatabaseObject::ValidateQualifiedName(std::string_view name, std::string_view caption,
                                               bool skipUnique, bool allowEmpty,
                                               const TVELMessageCallback& callback, int maxLength,
                                               const TVELDatabaseObjectsList* list) {
    std::function<bool()> isUnique;
    if (list && !skipUnique) isUnique = [&] { return list->IsUniqueQualifiedName(name, this); };
    return ValidateNameSteps(*this, name, caption, allowEmpty, callback, maxLength, isUnique);
}

std::string TVELDatabaseObject::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "SchemaName")) return SchemaName;
    if (SameText(key, "Comment")) return Comment;
    if (SameText(key, "Note")) return Note;
    if (SameText(key, "PhysObjectDesc")) return ObjectTypeInfo(ObjectType).PhysicalCaption;
    if (SameText(key, "GetNonQuotedQualifiedName")) return GetNonQuotedQualifiedName();
    return TVELNamedObject::GetPropertyValue(key);
}

void TVELDatabaseObject::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "SchemaName"))
        SchemaName = std::string(value);
    else if (SameText(key, "Comment"))
        Comment = std::string(value);
    else if (SameText(key, "Note"))
        Note = std::string(value);
    else if (SameText(key, "PhysObjectDesc") || SameText(key, "GetNonQuotedQualifiedName"))
        return;  // read-only
    else
        TVELNamedObject::SetPropertyValue(key, value);
}

int TVELDatabaseObject::GetPropertyState(std::string_view key) const {
    if (SameText(key, "SchemaName")) {
        const TVELDatabaseSettings* settings = GetDatabaseSettings();
        return settings && settings->EnableSchemas ? 0 : 2;
    }
    return TVELNamedObject::GetPropertyState(key);
}

void TVELDatabaseObject::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELNamedObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELDatabaseObject*>(&source);
    if (!s || s == this) return;
    // The type number belongs to the class; it is taken over only between objects of the
    // same class (the constraint class carries three type numbers).
    if (typeid(*s) == typeid(*this)) ObjectType = s->ObjectType;
    SchemaName = s->SchemaName;
    Comment = s->Comment;
    Note = s->Note;
    StateInBoth = s->StateInBoth;
    StateNew = s->StateNew;
    StateModified = s->StateModified;
    StateGone = s->StateGone;
    StatePositionChanged = s->StatePositionChanged;
    DateModified = s->DateModified;
}

bool TVELDatabaseObject::Validate(bool fix, const TVELMessageCallback& callback) {
    const bool valid = TVELNamedObject::Validate(fix, callback);
    if (const TVELDatabaseSettings* settings = GetDatabaseSettings()) {
        const std::string name = GetName();
        if (settings->IsReservedWord(name))
            AddMessage(mlWarning, Format("Name \"%s\" contains a reserved word.", name.c_str()), callback);
    }
    return valid;
}

std::string TVELDatabaseObject::SaveToMarkup() const {
    std::string r;
    r.reserve(512);
    AppendDatabaseMarkup(r);
    return r;
}

void TVELDatabaseObject::AppendDatabaseMarkup(std::string& r) const {
    AppendNamedMarkup(r);
    AppendElement(r, "SCHEMA", SchemaName);
    AppendElement(r, "DESC", Comment);
    AppendElement(r, "NOTE", Note);
    if (!DateModified.empty()) AppendElement(r, "DATEMOD", DateModified);
}

bool TVELDatabaseObject::LoadFromMarkup(std::string_view text) {
    TVELNamedObject::LoadFromMarkup(text);
    SchemaName = ReadElementText("SCHEMA", text);
    Comment = ReadElementText("DESC", text);
    Note = ReadElementText("NOTE", text);
    DateModified = ReadElementText("DATEMOD", text);
    return true;
}

std::string TVELDatabaseObject::SaveToMarkupElement() const {
    const char* element = ObjectTypeInfo(ObjectType).Element;
    if (!*element) return SaveToMarkup();
    return WrapSection(element, SaveToMarkup());
}

// ---- TVELCodeObject ------------------------------------------------------------------------

std::string TVELCodeObject::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "Code")) return GetCode();
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELCodeObject::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "Code"))
        Code = std::string(value);
    else
        TVELDatabaseObject::SetPropertyValue(key, value);
}

int TVELCodeObject::GetPropertyState(std::string_view key) const {
    if (SameText(key, "Comment")) return 2;
    return TVELDatabaseObject::GetPropertyState(key);
}

void TVELCodeObject::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    if (const auto* s = dynamic_cast<const TVELCodeObject*>(&source); s && s != this) Code = s->Code;
}

std::string TVELCodeObject::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    AppendElement(r, "CODE", GetCode());
    return r;
}

bool TVELCodeObject::LoadFromMarkup(std::string_view text) {
    TVELDatabaseObject::LoadFromMarkup(text);
    Code = NormalizeLineBreaks(ReadElementText("CODE", text));
    return true;
}

// ---- TVELDatabaseObjectsList ---------------------------------------------------------------

namespace {

// The non-quoted qualified name of an item; a named object that is not a database object
// has no schema.
std::string NonQuotedQualifiedNameOf(const TVELNamedObject* item) {
    if (const auto* o = dynamic_cast<const TVELDatabaseObject*>(item)) return o->GetNonQuotedQualifiedName();
    return item->GetName();
}

}  // namespace

bool TVELDatabaseObjectsList::IsUniqueName(std::string_view name, const TVELNamedObject* except) const {
    for (int i = 0; i < Count(); ++i) {
        const TVELNamedObject* p = (*this)[i];
        if (p != except && SameText(p->GetName(), name)) return false;
    }
    return true;
}

bool TVELDatabaseObjectsList::IsUniqueQualifiedName(std::string_view name,
                                                    const TVELNamedObject* except) const {
    for (int i = 0; i < Count(); ++i) {
        const TVELNamedObject* p = (*this)[i];
        if (p != except && SameText(NonQuotedQualifiedNameOf(p), name)) return false;
    }
    return true;
}

TVELDatabaseObject* TVELDatabaseObjectsList::FindByQualifiedName(std::string_view name) const {
    const std::string upper = UpperCase(name);
    for (int i = 0; i < Count(); ++i)
        if (auto* o = dynamic_cast<TVELDatabaseObject*>((*this)[i]);
            o && UpperCase(o->GetNonQuotedQualifiedName()) == upper)
            return o;
    return nullptr;
}

TVELDatabaseObject* TVELDatabaseObjectsList::FindByTypeAndName(int type, std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* o = dynamic_cast<TVELDatabaseObject*>((*this)[i]);
            o && o->ObjectType == type && SameText(o->GetName(), name))
            return o;
    return nullptr;
}

void TVELDatabaseObjectsList::CollectOfType(int type, std::vector<TVELDatabaseObject*>& out) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* o = dynamic_cast<TVELDatabaseObject*>((*this)[i]); o && o->ObjectType == type)
            out.push_back(o);
}

void TVELDatabaseObjectsList::NamesOfType(int type, std::vector<std::string>& out) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* o = dynamic_cast<TVELDatabaseObject*>((*this)[i]); o && o->ObjectType == type)
            out.push_back(o->GetName());
}

void TVELDatabaseObjectsList::CollectInSchema(std::string_view schema,
                                              std::vector<TVELDatabaseObject*>& out) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* o = dynamic_cast<TVELDatabaseObject*>((*this)[i]); o && o->SchemaName == schema)
            out.push_back(o);
}

TVELDatabaseObject* TVELDatabaseObjectsList::FindSame(const TVELNamedObject* item) const {
    if (!item) return nullptr;
    for (int i = 0; i < Count(); ++i) {
        TVELNamedObject* p = (*this)[i];
        if (p->ID == item->ID && typeid(*p) == typeid(*item))
            if (auto* o = dynamic_cast<TVELDatabaseObject*>(p)) return o;
    }
    return nullptr;
}

namespace {

// How often each name occurs in a list, names compared case-insensitively.
std::unordered_map<std::string, int> NameCounts(const TVELDatabaseObjectsList& list) {
    std::unordered_map<std::string, int> counts;
    counts.reserve(list.Count());
    for (int i = 0; i < list.Count(); ++i)
        ++counts[UpperCase(list[i]->GetName())];
    return counts;
}

}  // namespace

void TVELDatabaseObjectsList::DuplicateNames(std::vector<TVELDatabaseObject*>& out) const {
    const auto counts = NameCounts(*this);
    for (int i = 0; i < Count(); ++i)
        if (auto* o = dynamic_cast<TVELDatabaseObject*>((*this)[i]);
            o && counts.at(UpperCase(o->GetName())) > 1)
            out.push_back(o);
}

void TVELDatabaseObjectsList::DisplayNames(std::vector<std::string>& out) const {
    const auto counts = NameCounts(*this);
    for (int i = 0; i < Count(); ++i) {
        const TVELNamedObject* p = (*this)[i];
        std::string name = p->GetName();
        const auto* o = dynamic_cast<const TVELDatabaseObject*>(p);
        if (o && !o->SchemaName.empty() && counts.at(UpperCase(name)) > 1) name += " (" + o->SchemaName + ")";
        out.push_back(std::move(name));
    }
}

void TVELDatabaseObjectsList::SortByQualifiedName() {
    // The selection order of SortByName over the non-quoted qualified names.
    std::vector<std::string> keys;
    keys.reserve(items_.size());
    for (const auto& p : items_)
        keys.push_back(UpperCase(NonQuotedQualifiedNameOf(p.get())));
    SortItemsBySelection(std::move(keys), true);
}

void TVELDatabaseObjectsList::CheckUniqueQualifiedNames(std::string_view caption,
                                                        const TVELMessageCallback& callback) {
    std::vector<TVELDatabaseObject*> objects;
    objects.reserve(Count());
    for (int i = 0; i < Count(); ++i)
        if (auto* o = dynamic_cast<TVELDatabaseObject*>((*this)[i])) objects.push_back(o);
    ardvin::CheckUniqueQualifiedNames(objects, caption, callback);
}

void CheckUniqueQualifiedNames(const std::vector<TVELDatabaseObject*>& objects, std::string_view caption,
                               const TVELMessageCallback& callback) {
    struct Seen {
        TVELDatabaseObject* object;
        std::string name;
        bool reported;
    };
    const std::string cap(caption);
    std::unordered_map<std::string, Seen> seen;
    for (TVELDatabaseObject* o : objects) {
        std::string name = Trim(o->GetNonQuotedQualifiedName());
        if (name.empty()) continue;
        auto [it, inserted] = seen.try_emplace(UpperCase(name), Seen{o, name, false});
        if (inserted) continue;
        Seen& earlier = it->second;
        if (!earlier.reported) {
            earlier.reported = true;
            earlier.object->AddMessage(
                mlError, Format("%s \"%s\" is not unique.", cap.c_str(), earlier.name.c_str()), callback);
        }
        o->AddMessage(mlError, Format("%s \"%s\" is not unique.", cap.c_str(), name.c_str()), callback);
    }
}

}  // namespace ardvin
