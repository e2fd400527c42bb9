#include "zDataDictionary.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <set>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "zAttribute.h"
#include "zDCR.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDiagramOnly.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zPackages.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSLDatatypes.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin {

namespace {

// The twelve sections of a saved model, in file order, with the type of their objects.
struct Section {
    const char* Tag;
    int Type;
};
constexpr Section Sections[] = {
    {"DOMAINS", otDomain},       {"ENTITIES", otEntity},         {"SUBCATEGORIES", otSubCategory},
    {"TEXTAREAS", otTextArea},   {"GROUPBOXES", otGroupbox},     {"STAMPS", otStamp},
    {"SEQUENCES", otSequence},   {"PROCEDURES", otProcedure},    {"VIEWS", otView},
    {"RELATIONSHIPS", otRelationship}, {"SUBCATEGORYCONNECTIONS", otSubCategoryConnection}, {"RULES", otRule},
};

// The order in which object kinds are read: every kind before the kinds that refer to it.
constexpr int LoadOrder[] = {otDomain,   otEntity,       otSubCategory, otTextArea,
                             otGroupbox, otSequence,     otProcedure,   otView,
                             otRelationship, otSubCategoryConnection, otStamp, otRule};

class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = false; }

private:
    bool& flag_;
};

std::string FirstOrEmpty(const std::vector<std::string>& list) { return list.empty() ? std::string() : list.front(); }

// Reserves room for a text. A large buffer is backed by huge pages where the system offers
// them: filling a buffer of a hundred megabytes page by page costs more than writing it.
void ReserveLargeText(std::string& text, size_t size) {
    text.reserve(size);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr size_t HugePage = size_t{2} << 20;
    if (size < 4 * HugePage) return;
    const auto begin = reinterpret_cast<uintptr_t>(text.data());
    const uintptr_t first = (begin + HugePage - 1) & ~(HugePage - 1);
    const uintptr_t last = (begin + size) & ~(HugePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

// The objects of one class, ordered by identifier.
template <class T> void CollectByID(const TVELDataDictionary& dictionary, std::vector<T*>& out) {
    out.clear();
    for (int i = 0; i < dictionary.Count(); ++i)
        if (auto* p = dynamic_cast<T*>(dictionary[i])) out.push_back(p);
    std::stable_sort(out.begin(), out.end(), [](const T* a, const T* b) { return a->ID < b->ID; });
}

// Calls f for every entity of the dictionary, in list order.
template <class F> void ForEachEntity(const TVELDataDictionary& dictionary, F f) {
    for (int i = 0; i < dictionary.Count(); ++i)
        if (auto* entity = dynamic_cast<TVELEntity*>(dictionary[i])) f(*entity);
}

// The members of one list of every entity.
template <class T, class ListOf>
void CollectMembers(const TVELDataDictionary& dictionary, ListOf listOf, std::vector<T*>& out) {
    out.clear();
    ForEachEntity(dictionary, [&](TVELEntity& entity) {
        const TVELNamedObjectsList& list = listOf(entity);
        for (int k = 0; k < list.Count(); ++k) out.push_back(static_cast<T*>(list[k]));
    });
}

// Calls f for every member of an entity (its four lists and its primary key).
template <class F> void ForEachMember(TVELEntity& entity, F f) {
    for (TVELNamedObjectsList* list : {static_cast<TVELNamedObjectsList*>(&entity.Attributes),
                                       static_cast<TVELNamedObjectsList*>(&entity.Indexes),
                                       static_cast<TVELNamedObjectsList*>(&entity.Triggers),
                                       static_cast<TVELNamedObjectsList*>(&entity.Constraints)})
        for (int k = 0; k < list->Count(); ++k) f(*static_cast<TVELDatabaseObject*>((*list)[k]));
    f(*entity.PrimaryKey);
}

}  // namespace

// Whole-model look-ups kept while a bulk scope is open; each is built on first need.
struct TVELDataDictionary::TBulkCaches {
    bool SourcesBuilt = false;
    std::unordered_map<const TVELEntity*, std::vector<const TVELForeignKeySource*>> Sources;  // by child
    bool NamesBuilt = false;
    std::unordered_map<std::string, int> Names;  // upper-cased non-quoted qualified name -> count
    bool DomainsBuilt = false;
    std::unordered_set<int32_t> Domains;  // the domains that attributes use
};

TVELDataDictionary::TBulkScope::TBulkScope(const TVELDataDictionary& dictionary) : dictionary_(dictionary) {
    if (dictionary_.bulkScopes_++ == 0) dictionary_.bulk_ = std::make_unique<TBulkCaches>();
}

TVELDataDictionary::TBulkScope::~TBulkScope() {
    if (--dictionary_.bulkScopes_ == 0) dictionary_.bulk_.reset();
}

void TVELDataDictionary::DropCaches() const {
    if (!bulk_) return;
    if (bulk_->SourcesBuilt) {
        bulk_->Sources.clear();
        bulk_->SourcesBuilt = false;
    }
    if (bulk_->NamesBuilt) {
        bulk_->Names.clear();
        bulk_->NamesBuilt = false;
    }
    if (bulk_->DomainsBuilt) {
        bulk_->Domains.clear();
        bulk_->DomainsBuilt = false;
    }
}

TVELDataDictionary::TVELDataDictionary()
    : settings_(std::make_unique<TVELDatabaseSettings>()), dataTypes_(std::make_unique<TSLDatatypes>()),
      packages_(std::make_unique<TVELPackages>(this)) {}

TVELDataDictionary::~TVELDataDictionary() { ClearAndFree(); }

std::unique_ptr<TVELDatabaseObject> TVELDataDictionary::NewObjectOfType(int type, TVELPersistent* owner) {
    switch (type) {
    case otEntity: return std::make_unique<TVELEntity>(owner);
    case otDomain: return std::make_unique<TVELDomain>(owner);
    case otTextArea: return std::make_unique<TVELTextArea>(owner);
    case otSubCategory: return std::make_unique<TVELSubCategory>(owner);
    case otGroupbox: return std::make_unique<TVELGroupbox>(owner);
    case otSequence: return std::make_unique<TVELSequence>(owner);
    case otStamp: return std::make_unique<TVELStamp>(owner);
    case otProcedure: return std::make_unique<TVELProcedure>(owner);
    case otView: return std::make_unique<TVELView>(owner);
    case otRule: return std::make_unique<TVELRule>(owner);
    case otRelationship: return std::make_unique<TVELRelationship>(owner);
    case otSubCategoryConnection: return std::make_unique<TVELSubCategoryConnection>(owner);
    default: return nullptr;
    }
}

void TVELDataDictionary::SetTarget(std::string_view dbid) {
    if (dbid.empty()) {
        settings_ = std::make_unique<TVELDatabaseSettings>();
        dataTypes_->Clear();
        packages_->Load("");
        return;
    }
    auto settings = std::make_unique<TVELDatabaseSettings>();
    settings->DBID = std::string(dbid);
    settings->Load();  // raises when the definition file is missing; nothing changes then
    settings_ = std::move(settings);
    const std::string typ = TargetDatabases().DefinitionsFolder + "/" + std::string(dbid) + ".typ";
    std::error_code ec;
    if (std::filesystem::exists(typ, ec))
        dataTypes_->LoadFromFile(typ);
    else
        dataTypes_->Clear();
    packages_->Load(dbid);
}

std::string TVELDataDictionary::GetTarget() const { return settings_->DBID; }

void TVELDataDictionary::Connect(TVELNamedObject* object) {
    object->OnChanged = [this](TVELNamedObject* sender) {
        if (OnObjectChanged) OnObjectChanged(sender);
    };
    object->OnNameChanged = [this](TVELNamedObject* sender) {
        // Preparing renames every object of the model: the cheap test comes first.
        if (sender && !Loading && !Preparing && dynamic_cast<TVELEntity*>(sender)) EntityRenamed(sender);
        if (OnObjectNameChanged) OnObjectNameChanged(sender);
    };
    // Changes of an entity's members are reported with the member as the object.
    if (auto* entity = dynamic_cast<TVELEntity*>(object)) {
        entity->OnMemberChanged = object->OnChanged;
        entity->OnMemberNameChanged = object->OnNameChanged;
        entity->OnMemberCreated = [this](TVELNamedObject* member) {
            if (OnObjectCreated) OnObjectCreated(static_cast<TVELDatabaseObject*>(member));
        };
    }
}

void TVELDataDictionary::ConnectRelationship(TVELRelationship* relationship) {
    relationship->OnPropagate = [this](TVELNamedObject* sender) {
        if (OnObjectChanged) OnObjectChanged(sender);
    };
}

void TVELDataDictionary::EntityRenamed(const TVELNamedObject* entity) {
    // Relationships pass the news on only to the dictionary's listener; preparing renames
    // every entity and tells the relationships once at its end.
    if (Loading || Preparing || !OnObjectNameChanged) return;
    for (const auto& item : items_) {
        if (static_cast<const TVELDatabaseObject*>(item.get())->ObjectType != otRelationship) continue;
        auto* relationship = static_cast<TVELRelationship*>(item.get());
        if (relationship->ParentObjectID == entity->ID || relationship->ChildObjectID == entity->ID)
            relationship->DoNameChanged();
    }
}

void TVELDataDictionary::Inserted(TVELNamedObject* item) {
    DropCaches();
    // Entities record their key changes, so that relationships can follow them.
    if (auto* entity = dynamic_cast<TVELEntity*>(item)) entity->TrackKeyChanges = true;
    auto* relationship = dynamic_cast<TVELRelationship*>(item);
    if (!relationship || Preparing) return;
    ConnectRelationship(relationship);
    if (!Loading) {
        std::vector<TVELNamedObject*> changed;
        relationship->Propagate(changed);
    }
}

void TVELDataDictionary::Removed(TVELNamedObject* item) {
    DropCaches();
    if (OnObjectDeleted) OnObjectDeleted(item);
    // A deleted relationship takes the foreign-key attributes with it that may go.
    if (auto* relationship = dynamic_cast<TVELRelationship*>(item); relationship && !Preparing) {
        ConnectRelationship(relationship);
        relationship->RemoveAllPairs();
    }
}

TVELDatabaseObject* TVELDataDictionary::CreateObject(int type, bool initialize) {
    std::unique_ptr<TVELDatabaseObject> created = NewObjectOfType(type, this);
    if (!created) throw EVELError("Unable to create an object of type " + IntToStr(type) + ".");
    TVELDatabaseObject* object = created.get();
    if (initialize) {
        object->SetName(MakeUniqueName(ObjectTypeInfo(type).LogicalCaption, true, nullptr));
        object->SetID(NewID());
        const TVELDatabaseSettings& s = *settings_;
        if (auto* view = dynamic_cast<TVELView*>(object)) {
            view->Code = "CREATE VIEW %viewname% AS\r\n";
        } else if (auto* proc = dynamic_cast<TVELProcedure*>(object)) {
            proc->Code = "CREATE PROCEDURE %procname%\r\n";
        } else if (auto* seq = dynamic_cast<TVELSequence*>(object)) {
            if (!s.SeqCycleCodes.empty()) seq->Cycle = FirstOrEmpty(s.SeqCycleCodes);
            if (!s.SeqCacheCodes.empty()) seq->CacheCode = FirstOrEmpty(s.SeqCacheCodes);
            if (!s.SeqOrderCodes.empty()) seq->Order = FirstOrEmpty(s.SeqOrderCodes);
            if (!s.SeqIntegerTypes.empty()) seq->IntegerType = FirstOrEmpty(s.SeqIntegerTypes);
        } else if (auto* rule = dynamic_cast<TVELRule*>(object)) {
            rule->RuleType = FirstOrEmpty(s.RuleTypes);
        }
    }
    Add(std::move(created));
    Connect(object);
    if (OnObjectCreated) OnObjectCreated(object);
    return object;
}

TVELDatabaseObject* TVELDataDictionary::AddCopy(const TVELDatabaseObject& object) {
    std::unique_ptr<TVELNamedObject> created = object.CreateNew(this);
    auto* copy = static_cast<TVELDatabaseObject*>(created.get());
    copy->Assign(object, false);
    Add(std::move(created));
    Connect(copy);
    return copy;
}

void TVELDataDictionary::AssignDictionary(const TVELDataDictionary& source) {
    if (&source == this) return;
    ClearAndFree();
    SetTarget(source.GetTarget());
    items_.reserve(source.items_.size());
    for (const auto& item : source.items_) AddCopy(*static_cast<const TVELDatabaseObject*>(item.get()));
    LastID = source.LastID;
}

void TVELDataDictionary::Clear() {
    ClearAndFree();
    SetTarget("");
}

TVELDatabaseObject* TVELDataDictionary::FindObjectByID(int32_t id) const {
    return static_cast<TVELDatabaseObject*>(FindByID(id));
}

TVELDatabaseObject* TVELDataDictionary::FindOfTypeByQualifiedName(int type, std::string_view name) const {
    TVELDatabaseObject* found = FindByQualifiedName(name);
    return found && found->ObjectType == type ? found : nullptr;
}

TVELEntity* TVELDataDictionary::FindEntity(std::string_view qualifiedName) const {
    return dynamic_cast<TVELEntity*>(FindOfTypeByQualifiedName(otEntity, qualifiedName));
}

TVELDomain* TVELDataDictionary::FindDomainByQualifiedName(std::string_view qualifiedName) const {
    return dynamic_cast<TVELDomain*>(FindOfTypeByQualifiedName(otDomain, qualifiedName));
}

TVELRelationship* TVELDataDictionary::FindRelationship(std::string_view qualifiedName) const {
    return dynamic_cast<TVELRelationship*>(FindOfTypeByQualifiedName(otRelationship, qualifiedName));
}

TVELDomain* TVELDataDictionary::FindDomain(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* domain = dynamic_cast<TVELDomain*>(Items(i)); domain && SameText(domain->GetName(), name))
            return domain;
    return nullptr;
}

void TVELDataDictionary::Entities(std::vector<TVELEntity*>& out) const { CollectByID(*this, out); }
void TVELDataDictionary::Domains(std::vector<TVELDomain*>& out) const { CollectByID(*this, out); }
void TVELDataDictionary::Relationships(std::vector<TVELRelationship*>& out) const { CollectByID(*this, out); }
void TVELDataDictionary::SubCategories(std::vector<TVELSubCategory*>& out) const { CollectByID(*this, out); }
void TVELDataDictionary::TextAreas(std::vector<TVELTextArea*>& out) const { CollectByID(*this, out); }
void TVELDataDictionary::Views(std::vector<TVELView*>& out) const { CollectByID(*this, out); }
void TVELDataDictionary::Procedures(std::vector<TVELProcedure*>& out) const { CollectByID(*this, out); }
void TVELDataDictionary::Rules(std::vector<TVELRule*>& out) const { CollectByID(*this, out); }
void TVELDataDictionary::Sequences(std::vector<TVELSequence*>& out) const { CollectByID(*this, out); }

void TVELDataDictionary::AllAttributes(std::vector<TVELAttribute*>& out) const {
    CollectMembers(*this, [](const TVELEntity& e) -> const TVELNamedObjectsList& { return e.Attributes; }, out);
}

void TVELDataDictionary::AllIndexes(std::vector<TVELIndex*>& out) const {
    CollectMembers(*this, [](const TVELEntity& e) -> const TVELNamedObjectsList& { return e.Indexes; }, out);
}

void TVELDataDictionary::AllTriggers(std::vector<TVELTrigger*>& out) const {
    CollectMembers(*this, [](const TVELEntity& e) -> const TVELNamedObjectsList& { return e.Triggers; }, out);
}

void TVELDataDictionary::AllConstraints(std::vector<TVELConstraint*>& out) const {
    CollectMembers(*this, [](const TVELEntity& e) -> const TVELNamedObjectsList& { return e.Constraints; }, out);
}

void TVELDataDictionary::ForeignKeySourcesOf(const TVELEntity* entity,
                                             std::vector<const TVELForeignKeySource*>& out) const {
    // Only connections can be foreign-key sources: the cheap test of their ends comes first.
    auto sourceOf = [](const TVELNamedObject* item) -> const TVELForeignKeySource* {
        int32_t parent = 0, child = 0;
        return item->GetConnectionEnds(parent, child) ? dynamic_cast<const TVELForeignKeySource*>(item) : nullptr;
    };
    if (bulk_) {
        if (!bulk_->SourcesBuilt) {
            for (const auto& item : items_)
                if (const TVELForeignKeySource* source = sourceOf(item.get()))
                    bulk_->Sources[source->ForeignKeyChild()].push_back(source);
            bulk_->SourcesBuilt = true;
        }
        const auto it = bulk_->Sources.find(entity);
        if (it != bulk_->Sources.end()) out.insert(out.end(), it->second.begin(), it->second.end());
        return;
    }
    for (const auto& item : items_)
        if (const TVELForeignKeySource* source = sourceOf(item.get()); source && source->ForeignKeyChild() == entity)
            out.push_back(source);
}

bool TVELDataDictionary::IsUniqueQualifiedName(std::string_view name, const TVELNamedObject* except) const {
    if (!bulk_) return TVELDatabaseObjectsList::IsUniqueQualifiedName(name, except);
    if (!bulk_->NamesBuilt) {
        bulk_->Names.reserve(items_.size());
        for (const auto& item : items_)
            ++bulk_->Names[UpperCase(static_cast<const TVELDatabaseObject*>(item.get())->GetNonQuotedQualifiedName())];
        bulk_->NamesBuilt = true;
    }
    const std::string upper = UpperCase(name);
    const auto it = bulk_->Names.find(upper);
    int count = it == bulk_->Names.end() ? 0 : it->second;
    if (const auto* o = dynamic_cast<const TVELDatabaseObject*>(except);
        o && count > 0 && o->ContainingList() == this && UpperCase(o->GetNonQuotedQualifiedName()) == upper)
        --count;
    return count == 0;
}

bool TVELDataDictionary::DomainInUse(int32_t domainID) const {
    if (bulk_) {
        if (!bulk_->DomainsBuilt) {
            ForEachEntity(*this, [this](TVELEntity& entity) {
                for (int k = 0; k < entity.Attributes.Count(); ++k)
                    bulk_->Domains.insert(entity.AttributeAt(k)->DomainID);
            });
            bulk_->DomainsBuilt = true;
        }
        return bulk_->Domains.count(domainID) > 0;
    }
    bool used = false;
    ForEachEntity(*this, [&](TVELEntity& entity) {
        for (int k = 0; k < entity.Attributes.Count() && !used; ++k) used = entity.AttributeAt(k)->DomainID == domainID;
    });
    return used;
}

// ---- deletion ---------------------------------------------------------------------------------

void TVELDataDictionary::CheckDeletion(const TVELNamedObject* item) const {
    if (const auto* domain = dynamic_cast<const TVELDomain*>(item); domain && DomainInUse(domain->ID))
        throw EVELError(Format("Unable to delete domain \"%s\" because one or more attributes use this domain.",
                               domain->GetName().c_str()));
    if (const auto* sequence = dynamic_cast<const TVELSequence*>(item); sequence && settings_->EnableSequences) {
        int count = 0;
        ForEachEntity(*this, [&](TVELEntity& entity) {
            for (int k = 0; k < entity.Attributes.Count(); ++k)
                if (entity.AttributeAt(k)->SequenceID == sequence->ID) ++count;
        });
        if (count > 0)
            throw EVELError(Format("Unable to delete sequence \"%s\" because %d attributes are associated with this "
                                   "sequence.",
                                   sequence->GetName().c_str(), count));
    }
}

void TVELDataDictionary::DeleteObject(TVELNamedObject* item) {
    if (!item || IndexOf(item) < 0) return;
    CheckDeletion(item);
    TVELDatabaseObjectsList::DeleteObject(item);
}

void TVELDataDictionary::CollectOfTypeByID(int type, std::vector<TVELDatabaseObject*>& out) const {
    out.clear();
    CollectOfType(type, out);
    std::sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->ID < b->ID; });
}

TVELDatabaseObject* TVELDataDictionary::FindSameObject(const TVELNamedObject* object) const {
    if (!object) return nullptr;
    // A column constraint: through its attribute.
    if (const auto* attribute = dynamic_cast<const TVELAttribute*>(object->Owner);
        attribute && dynamic_cast<const TVELConstraint*>(object)) {
        const auto* same = dynamic_cast<TVELAttribute*>(FindSameObject(attribute));
        if (!same) return nullptr;
        return same->ColumnConstraintByID(object->ID);
    }
    // A member of an entity: through the entity.
    if (const auto* entity = dynamic_cast<const TVELEntity*>(object->Owner)) {
        auto* same = dynamic_cast<TVELEntity*>(FindSameObject(entity));
        if (!same) return nullptr;
        if (object == entity->PrimaryKey.get()) return same->PrimaryKey.get();
        if (dynamic_cast<const TVELConstraint*>(object)) return same->Constraints.FindSame(object);
        const TVELEntityMemberList* list = same->ListOf(object);
        TVELNamedObject* found = list ? list->FindByID(object->ID) : nullptr;
        return found && typeid(*found) == typeid(*object) ? static_cast<TVELDatabaseObject*>(found) : nullptr;
    }
    TVELNamedObject* found = FindByID(object->ID);
    return found && typeid(*found) == typeid(*object) ? static_cast<TVELDatabaseObject*>(found) : nullptr;
}

// ---- markup -----------------------------------------------------------------------------------

std::string TVELDataDictionary::SaveToMarkup() const {
    // One buffer for the whole model, sized after the previous save (the first time, generously
    // after the number of objects: space reserved and never written costs no memory): a large
    // model is neither copied from section to section nor held twice.
    size_t expected = lastSaveSize_ + lastSaveSize_ / 16 + 256;
    if (lastSaveSize_ == 0)
        for (const auto& item : items_) {
            expected += 2048;
            if (const auto* entity = dynamic_cast<const TVELEntity*>(item.get()))
                expected += 1024 * static_cast<size_t>(entity->Attributes.Count() + entity->Indexes.Count() +
                                                       entity->Triggers.Count() + entity->Constraints.Count());
        }
    std::string r;
    ReserveLargeText(r, expected);
    WriteMarkup(r, 0, nullptr);
    lastSaveSize_ = r.size();
    return r;
}

void TVELDataDictionary::WriteMarkup(std::string& r, size_t pieceSize,
                                     const std::function<void(std::string&)>& flush) const {
    r += "\r\n<DATADICT>";
    AppendElement(r, "DBID", GetTarget());
    AppendElement(r, "LASTID", IntToStr(LastID));
    for (const Section& section : Sections) {
        r.append("\r\n<").append(section.Tag).append(">");
        for (const auto& item : items_) {
            const auto* object = static_cast<const TVELDatabaseObject*>(item.get());
            if (object->ObjectType != section.Type) continue;
            AppendSectionWith(r, ObjectTypeInfo(section.Type).Element, [object](std::string& o) {
                if (const auto* entity = dynamic_cast<const TVELEntity*>(object))
                    entity->AppendMarkup(o);  // written in place: entities make up most of a model
                else
                    o += object->SaveToMarkup();
            });
            if (flush && r.size() >= pieceSize) flush(r);
        }
        r.append("\r\n</").append(section.Tag).append(">");
    }
    r += "\r\n</DATADICT>";
}

void TVELDataDictionary::LoadFromMarkup(std::string_view text) {
    FlagGuard loading(Loading);
    SetTarget(ReadElementText("DBID", text, "oracle9"));
    LoadObjects(text, false, false);
    LastID = StrToIntDef(ReadElement("LASTID", text, "-1"), -1);
    CheckLastID();
    RenumberDuplicateAttributes();

    // Group boxes of older files carried their caption as their name.
    for (int i = 0; i < Count(); ++i) {
        auto* box = dynamic_cast<TVELGroupbox*>(Items(i));
        if (!box || !box->ObjectCaption.empty()) continue;
        box->ObjectCaption = box->GetName();
        box->SetName(MakeUniqueName(ObjectTypeInfo(otGroupbox).LogicalCaption, true, box));
    }
    RepairRelationships();
}

void TVELDataDictionary::LoadObjects(std::string_view text, bool merge, bool fixConnections) {
    CheckLastID();
    TIntegersList readIDs, assignedIDs;
    for (int type : LoadOrder) {
        if (merge && !fixConnections && (type == otRelationship || type == otSubCategoryConnection)) continue;
        const std::string tag = ObjectTypeInfo(type).Element;
        size_t pos = 0;
        for (;;) {
            const size_t before = pos;
            std::string markup = ReadElement(tag, pos, text);
            if (pos == before) break;  // no further element (or one without its close tag)
            if (OnLoadProgress) OnLoadProgress(markup.size());
            TVELDatabaseObject* object = CreateObject(type, false);
            object->LoadFromMarkup(markup);
            readIDs.Add(object->ID);
            if (merge && fixConnections) {
                int32_t parent = 0, child = 0;
                if (object->GetConnectionEnds(parent, child)) {
                    const int p = readIDs.IndexOf(parent), c = readIDs.IndexOf(child);
                    if (p >= 0 && c >= 0) {
                        auto* pObj = dynamic_cast<TVELObjectWithConnections*>(FindByID(assignedIDs.Get(p)));
                        auto* cObj = dynamic_cast<TVELObjectWithConnections*>(FindByID(assignedIDs.Get(c)));
                        if (pObj && cObj) object->SetConnectionEnds(assignedIDs.Get(p), assignedIDs.Get(c));
                    }
                }
            }
            if (OnObjectLoaded) OnObjectLoaded(object, markup);
            if (merge) {
                object->SetName(MakeUniqueName(object->GetName(), false, object));
                object->SetID(NewID());
                if (OnObjectMerged) OnObjectMerged(object);
            }
            assignedIDs.Add(object->ID);
        }
    }
    if (!merge) SortByID();
}

void TVELDataDictionary::RenumberDuplicateAttributes() {
    ForEachEntity(*this, [](TVELEntity& entity) {
        std::vector<int32_t> ids;
        ids.reserve(entity.Attributes.Count());
        for (int i = 0; i < entity.Attributes.Count(); ++i) ids.push_back(entity.Attributes[i]->ID);
        std::sort(ids.begin(), ids.end());
        if (std::adjacent_find(ids.begin(), ids.end()) == ids.end()) return;
        // From the last: an attribute sharing its identifier with another one gets a new one,
        // so that the earliest of a set of duplicates keeps it.
        std::unordered_map<int32_t, int> counts;
        for (int32_t id : ids) ++counts[id];
        for (int i = entity.Attributes.Count() - 1; i >= 0; --i) {
            TVELNamedObject* a = entity.Attributes[i];
            if (counts[a->ID] < 2) continue;
            --counts[a->ID];
            a->SetID(entity.Attributes.NewID());
            ++counts[a->ID];
        }
    });
}

void TVELDataDictionary::RepairRelationships() {
    const TBulkScope bulk(*this);
    // Relationships whose ends no longer resolve to entities are dropped (a deletion may take
    // further objects with it).
    for (int i = Count() - 1; i >= 0; --i) {
        if (i >= Count()) continue;
        int32_t parent = 0, child = 0;
        TVELNamedObject* item = Items(i);
        if (Object(i)->ObjectType != otRelationship || !item->GetConnectionEnds(parent, child)) continue;
        if (item->Deleting) continue;
        if (!ResolveEntity(child) || !ResolveEntity(parent)) DeleteObject(item);
    }
    std::vector<TVELRelationship*> relationships;
    CollectOfClass(relationships);
    for (TVELRelationship* relationship : relationships)
        ConnectRelationship(relationship);
    // Every pass can carry a key change one relationship further along a chain; a cycle of
    // identifying relationships would grow keys for ever, hence the limit.
    std::vector<TVELNamedObject*> changed;
    for (size_t pass = 0; pass <= relationships.size() + 1; ++pass) {
        bool any = false;
        for (TVELRelationship* relationship : relationships)
            if (relationship->Propagate(changed)) any = true;
        if (!any) break;
    }
    for (TVELRelationship* relationship : relationships)
        relationship->Changed = false;
    ForEachEntity(*this, [](TVELEntity& entity) { entity.KeyChangedAttributes.clear(); });
    for (TVELNamedObject* object : changed)
        object->DoChanged();
}

TVELDatabaseObject* TVELDataDictionary::ResolveEntity(int32_t id) const {
    TVELDatabaseObject* end = FindObjectByID(id);
    if (!end) return nullptr;
    if (end->ObjectType == otEntity) return end;
    if (end->AOID == -1) return nullptr;
    TVELDatabaseObject* entity = FindObjectByID(end->AOID);
    return entity && entity->ObjectType == otEntity ? entity : nullptr;
}

// ---- checks -----------------------------------------------------------------------------------

TVELMessageCallback TVELDataDictionary::MessageCallback() {
    return [this](TVELNamedObject* sender, int level, const std::string& text) { Message(sender, level, text); };
}

void TVELDataDictionary::CheckModel() {
    const TBulkScope bulk(*this);
    const TVELMessageCallback callback = MessageCallback();
    // 1. The conversion without a new target replaces types the list lacks by their best match;
    // the values are validated with their objects below.
    ConvertDataTypes(TVELDataTypeConverter(*dataTypes_, GetTarget()), false);
    CheckPackages();
    // 2.
    std::vector<TVELDatabaseObject*> indexes;
    ForEachEntity(*this, [&](TVELEntity& entity) {
        for (int k = 0; k < entity.Indexes.Count(); ++k) indexes.push_back(entity.IndexAt(k));
    });
    ardvin::CheckUniqueQualifiedNames(indexes, "Index name", callback);
    CheckUniqueQualifiedNames("Name", callback);
    const TVELDatabaseSettings& s = *settings_;
    for (int i = Count() - 1; i >= 0; --i) {
        if (i >= Count()) continue;
        auto* object = Object(i);
        if (OnCheckProgress) OnCheckProgress(object);
        auto removeUnsupported = [&](bool supported, const char* text) {
            if (supported) {
                object->Validate(true, callback);
            } else {
                Message(object, mlError, text);
                DeleteObject(object);
            }
        };
        switch (object->ObjectType) {
        case otEntity:
        case otDomain: object->Validate(true, callback); break;
        case otRelationship: {
            // A relationship without its entities was reported as removed.
            auto* relationship = static_cast<TVELRelationship*>(object);
            relationship->Validate(true, callback);
            if (!relationship->GetParentEntity() || !relationship->GetChildEntity()) DeleteObject(relationship);
            break;
        }
        case otSequence:
            removeUnsupported(s.EnableSequences,
                              "Target DBMS does not support sequences/generators. Sequence/generator will be removed.");
            break;
        case otProcedure:
            removeUnsupported(s.EnableProcedures, "Target DBMS does not support procedures. Procedure will be removed.");
            break;
        case otView: removeUnsupported(s.EnableViews, "Target DBMS does not support views. View will be removed."); break;
        case otRule: removeUnsupported(s.EnableRules, "Target DBMS does not support rules. Rules will be removed."); break;
        default: break;
        }
    }
    if (OnCheckProgress) OnCheckProgress(nullptr);
}

// ---- switching the target ------------------------------------------------------------------

namespace {

bool IsIndependent(const TVELDatabaseSettings& settings) {
    return settings.GetTargetType() == TTargetType::DatabaseIndependent || SameText(settings.DBID, "dbindependent");
}

// A sequence option code of one target becomes the code in the same place of the other's list:
// the lists name the same choices (none, the option, its negation) in each system's spelling,
// NO CYCLE on one and NOCYCLE on another.
void TranslateCode(std::string& code, const std::vector<std::string>& from, const std::vector<std::string>& to) {
    if (code.empty() || to.empty()) return;
    for (size_t i = 0; i < from.size() && i < to.size(); ++i)
        if (SameText(from[i], code)) {
            code = to[i];
            return;
        }
}

}  // namespace

void TVELDataDictionary::ConvertDataTypes(const TVELDataTypeConverter& converter, bool validate) {
    if (dataTypes_->Count() == 0) return;
    // Validation reports on the domain or column, not on its data type value; a column that
    // takes its type from a domain is repaired silently, the domain reporting for it.
    const TVELMessageCallback silent = [](TVELNamedObject*, int, const std::string&) {};
    auto convert = [&](TVELDatabaseObject& owner, TVELDataType& value, bool column, TVELConstraint* defaultValue,
                       bool report) {
        std::string* text = defaultValue && !defaultValue->Value.empty() ? &defaultValue->Value : nullptr;
        const std::string warning = converter.Convert(value, column, text);
        if (!warning.empty()) Message(&owner, mlWarning, warning);
        if (!validate) return;
        value.Validate(true, report ? TVELMessageCallback([this, &owner](TVELNamedObject*, int level,
                                                                         const std::string& message) {
                           Message(&owner, level, message);
                       })
                                    : silent);
    };
    for (int i = 0; i < Count(); ++i)
        if (auto* domain = dynamic_cast<TVELDomain*>(Items(i)))
            convert(*domain, *domain->DataType, false, domain->DefaultConstraint(), true);
    ForEachEntity(*this, [&](TVELEntity& entity) {
        for (int k = 0; k < entity.Attributes.Count(); ++k) {
            TVELAttribute* a = entity.AttributeAt(k);
            convert(*a, *a->DataType, true, a->ExistingColumnConstraint(2), a->DomainID == -1);
        }
    });
}

void TVELDataDictionary::ChangeTarget(std::string_view dbid) {
    const std::string oldID = GetTarget();
    const std::string oldDriver = settings_->DriverName;
    const bool fromIndependent = IsIndependent(*settings_);
    const std::vector<std::string> cycles = settings_->SeqCycleCodes, caches = settings_->SeqCacheCodes,
                                   orders = settings_->SeqOrderCodes;
    SetTarget(dbid);
    std::vector<TVELSequence*> sequences;
    CollectOfClass(sequences);
    for (TVELSequence* seq : sequences) {
        TranslateCode(seq->Cycle, cycles, settings_->SeqCycleCodes);
        TranslateCode(seq->CacheCode, caches, settings_->SeqCacheCodes);
        TranslateCode(seq->Order, orders, settings_->SeqOrderCodes);
    }
    {
        TVELDataTypeConverter converter(*dataTypes_, GetTarget());
        converter.LoadSource(oldID, TargetDatabases().DefinitionsFolder);
        ConvertDataTypes(converter, true);
    }
    if (SameText(oldDriver, settings_->DriverName)) return;
    ClearTargetSpecifics(fromIndependent);
}

void TVELDataDictionary::ClearTargetSpecifics(bool fromIndependent) {
    const TVELDatabaseSettings& s = *settings_;
    const bool toIndependent = IsIndependent(s);
    // A model designed for no target keeps what the new target supports, and the independent
    // target keeps what a model brings along; type and column options are kept only there.
    const bool independent = fromIndependent || toIndependent;
    const bool keepCollations = independent && s.EnableColumnCollate;
    const bool keepTableOptions = independent && s.EnableTableOptions;
    const bool keepIndexOptions = independent && s.EnableIndexOptions;
    if (!s.EnableSchemas) ClearSchemas();
    auto clearType = [&](TVELDataType& type) {
        if (!keepCollations) type.Collation.clear();
        if (toIndependent) return;
        type.CharacterSet.clear();
        type.SubType.clear();
        type.SegmentSize.clear();
        type.DTOptions.clear();
        type.ArrayOptions.clear();
    };
    for (int i = 0; i < Count(); ++i)
        if (auto* domain = dynamic_cast<TVELDomain*>(Items(i))) {
            if (!keepCollations) domain->Collate.clear();
            clearType(*domain->DataType);
        }
    ForEachEntity(*this, [&](TVELEntity& entity) {
        if (!keepTableOptions) entity.TableOptions.clear();
        for (int k = 0; k < entity.Attributes.Count(); ++k) {
            TVELAttribute* a = entity.AttributeAt(k);
            if (!keepCollations) a->Collate.clear();
            if (!toIndependent) a->AttributeOptions.clear();
            clearType(*a->DataType);
        }
        for (int k = 0; k < entity.Indexes.Count(); ++k) {
            TVELIndex* index = entity.IndexAt(k);
            if (!keepIndexOptions) index->IndexOptions.clear();
            for (int c = index->Columns.Count() - 1; c >= 0; --c)
                if (index->Column(c)->AttributeID == -1) index->Columns.DeleteObject(index->Column(c));
        }
    });
}

// Brings the attributes made from packages in line with the packages: an attribute of an
// unknown package, or one that no longer matches its item (name or data type changed), is
// detached; one whose item is gone is deleted; an item that an entity using the package lacks
// is added to the entity. Without a package folder nothing is checked.
void TVELDataDictionary::CheckPackages() {
    if (!packages_->FolderExists()) return;
    int deleted = 0;
    ForEachEntity(*this, [&](TVELEntity& entity) {
        std::unordered_map<std::string, std::unordered_set<int>> usedItems;  // package -> items present
        for (int k = entity.Attributes.Count() - 1; k >= 0; --k) {
            TVELAttribute* a = entity.AttributeAt(k);
            if (a->PackageName.empty()) continue;
            const TVELPackage* package = packages_->FindPackage(a->PackageName);
            if (!package) {
                Message(a, mlError, Format("Unknown package \"%s\" used by attribute \"%s\"",
                                           a->PackageName.c_str(), a->GetName().c_str()));
                Message(a, mlError, Format("Attribute \"%s\" detached from package \"%s\".", a->GetName().c_str(),
                                           a->PackageName.c_str()));
                a->PackageName.clear();
                a->PackageItem = -1;
                continue;
            }
            if (a->PackageItem < 0 || a->PackageItem >= package->Items.Count()) {
                Message(&entity, mlError,
                        Format("Attribute \"%s\" deleted because it was linked to a non existing packages or a non "
                               "existing package item.",
                               a->GetName().c_str()));
                entity.DeleteMember(a);
                ++deleted;
                continue;
            }
            const TVELPackageItem* item = package->ItemAt(a->PackageItem);
            if (!SameText(item->GetName(), a->GetName()) || !SameText(item->DataType->DataType, a->DataType->DataType)) {
                Message(a, mlError, Format("Attribute \"%s\" detached from package \"%s\".", a->GetName().c_str(),
                                           a->PackageName.c_str()));
                a->PackageName.clear();
                a->PackageItem = -1;
                continue;
            }
            usedItems[a->PackageName].insert(a->PackageItem);
        }
        for (const auto& [name, items] : usedItems) {
            const TVELPackage* package = packages_->FindPackage(name);
            for (int i = 0; i < package->Items.Count(); ++i)
                if (!items.count(i)) {
                    const TVELAttribute* a = package->CreateAttribute(entity, i);
                    Message(const_cast<TVELAttribute*>(a), mlError,
                            Format("New attribute \"%s\" created in entity \"%s\" for package \"%s\".",
                                   a->GetName().c_str(), entity.GetName().c_str(), name.c_str()));
                }
        }
    });
    if (deleted > 0)
        Message(nullptr, mlError,
                Format("%d attribute(s) linked to non existing packages or non existing package items deleted.",
                       deleted));
}

void TVELDataDictionary::ClearStateFlags() {
    for (int i = 0; i < Count(); ++i) Object(i)->ClearStateFlags();
    ForEachEntity(*this, [](TVELEntity& entity) {
        ForEachMember(entity, [](TVELDatabaseObject& member) { member.ClearStateFlags(); });
    });
}

void TVELDataDictionary::ClearComments() {
    for (int i = 0; i < Count(); ++i) Object(i)->Comment.clear();
    ForEachEntity(*this, [](TVELEntity& entity) {
        for (const TVELNamedObjectsList* list : {static_cast<const TVELNamedObjectsList*>(&entity.Attributes),
                                                 static_cast<const TVELNamedObjectsList*>(&entity.Triggers),
                                                 static_cast<const TVELNamedObjectsList*>(&entity.Indexes)})
            for (int k = 0; k < list->Count(); ++k) static_cast<TVELDatabaseObject*>((*list)[k])->Comment.clear();
    });
}

void TVELDataDictionary::ClearSchemas() {
    for (int i = 0; i < Count(); ++i) Object(i)->SchemaName.clear();
    ForEachEntity(*this, [](TVELEntity& entity) {
        ForEachMember(entity, [](TVELDatabaseObject& member) { member.SchemaName.clear(); });
    });
}

// ---- preparing a copy for generation -------------------------------------------------------------

void TVELDataDictionary::DefaultPrepareOptions(TVELSettingsList& options, const TVELDatabaseSettings& target) {
    options.SetValue("CHANGETEXTFORMAT", "1");
    const std::pair<const char*, bool> lacking[] = {
        {"DONOTUSEFOREIGNKEYS", target.EnableRefInt},
        {"DONOTUSETABLESCRIPTS", target.EnableBeginEndTableScripts},
        {"DONOTUSETABLEOPTIONS", target.EnableTableOptions},
        {"DONOTUSECOLLATIONS", target.EnableColumnCollate},
        {"CONVERTDOMAINS", target.EnableDomains},
        {"DONOTUSEINDEXOPTIONS", target.EnableIndexOptions},
        {"DONOTUSEPKCONNAMES", target.EnablePKConstraintNames},
        {"DONOTUSEFKCONNAMES", target.EnableFKConstraintNames},
        {"DONOTUSECHECKCONNAMES", target.CheckConstraintNamesSupported()},
        {"DONOTUSEUNIQUECONNAMES", target.EnableUniqueConstraintNames},
        {"DONOTUSENOTNULLCONNAMES", target.EnableNotNullConstraintNames},
        {"DONOTUSECONSTRAINTOPTIONS", target.ConstraintOptionsSupported()},
        {"DONOTUSECOMMENTS", target.CommentsSupported()},
        {"DONOTUSESCHEMANAMES", target.EnableSchemas},
        {"DONOTUSEVIEWS", target.EnableViews},
        {"DONOTUSEPROCEDURES", target.EnableProcedures},
        {"DONOTUSERULES", target.EnableRules},
        {"DONOTUSESEQUENCES", target.EnableSequences},
    };
    for (const auto& [key, supported] : lacking)
        if (!supported) options.SetValue(key, "1");
}

namespace {

// The code without its empty (or blank) lines.
std::string RemoveEmptyLines(std::string_view code) {
    std::vector<std::string> kept;
    for (std::string& line : SplitString(NormalizeLineBreaks(code), '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!Trim(line).empty()) kept.push_back(std::move(line));
    }
    return JoinStrings(kept, CRLF);
}

// A constraint written without a name.
void DropConstraintName(TVELConstraint& constraint) {
    constraint.NameFromTemplate = false;
    constraint.NameTemplate.clear();
    constraint.Name.clear();
}

// Renames an object to its text-format form; a name made from a template keeps its template,
// converted as well.
void ConvertName(TVELNamedObject& object, int mode) {
    object.SetName(ConvertTextFormat(object.GetName(), mode));
    object.SetTemplate(ConvertTextFormat(object.NameTemplate, mode));
}

// Puts the prefix before an object's name; a name made from a template gets it before the
// template.
void PrefixName(TVELNamedObject& object, const std::string& prefix) {
    if (object.NameFromTemplate)
        object.SetTemplate(prefix + object.NameTemplate);
    else
        object.SetName(prefix + object.Name);
}

// A domain's check names the checked value VALUE; on a column the column's name stands there.
// String literals and quoted names stay as they are.
std::string CheckOfColumn(std::string_view check, const std::string& column) {
    auto wordChar = [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return std::isalnum(u) || u == '_' || u == '$' || u == '#' || u >= 128;
    };
    std::string out;
    size_t i = 0;
    while (i < check.size()) {
        const char c = check[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            const size_t end = check.find(close, i + 1);
            const size_t stop = end == std::string_view::npos ? check.size() : end + 1;
            out.append(check.substr(i, stop - i));
            i = stop;
        } else if (wordChar(c)) {
            size_t end = i;
            while (end < check.size() && wordChar(check[end])) ++end;
            const std::string_view word = check.substr(i, end - i);
            if (SameText(word, "VALUE"))
                out += column;
            else
                out.append(word);
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace

void TVELDataDictionary::Prepare(const TVELSettingsList* options) {
    if (!options) throw EVELError("Prepare options in prepare procedure may not be nil.");
    FlagGuard preparing(Preparing);
    // Asked per object of a large model: each option is looked up once (the keys are literals).
    std::unordered_map<std::string_view, bool> known;
    auto on = [options, &known](std::string_view key) {
        const auto it = known.find(key);
        return it != known.end() ? it->second : (known[key] = options->GetValue(key) == "1");
    };
    const TVELDatabaseSettings& s = *settings_;

    auto deleteOfType = [this](int type) {
        for (int i = Count() - 1; i >= 0; --i)
            if (i < Count() && Object(i)->ObjectType == type) DeleteObject(Items(i));
    };
    std::vector<TVELEntity*> entities;
    auto collectEntities = [&] {
        entities.clear();
        CollectOfClass(entities);
    };

    // 1. Diagram-only objects.
    if (!on("DONOTDELETETEXTAREASANDGROUPBOXES")) {
        deleteOfType(otTextArea);
        deleteOfType(otStamp);
        deleteOfType(otGroupbox);
    }

    // 2. Domain references: a vanished domain is forgotten; a domain's default replaces the
    // attribute's own.
    collectEntities();
    if (CountOfClass<TVELDomain>() > 0)
        for (TVELEntity* entity : entities)
            for (int k = 0; k < entity->Attributes.Count(); ++k) {
                TVELAttribute* a = entity->AttributeAt(k);
                if (a->DomainID == -1) continue;
                const TVELDomain* domain = a->GetDomain();
                if (!domain)
                    a->DomainID = -1;
                else if (!domain->DefaultValue().empty())
                    if (TVELConstraint* d = a->ExistingColumnConstraint(2)) d->Value.clear();
            }

    // 3. Indexes by kind.
    const std::pair<const char*, uint8_t> indexKinds[] = {{"DONOTUSEINDEXESONPK", ikPrimaryKey},
                                                          {"DONOTUSEINDEXESONFK", ikForeignKey},
                                                          {"DONOTUSEINDEXESONAK", ikAlternateKey},
                                                          {"DONOTUSEOTHERINDEXES", ikUserDefined}};
    for (TVELEntity* entity : entities)
        for (int i = entity->Indexes.Count() - 1; i >= 0; --i)
            for (const auto& [key, kind] : indexKinds)
                if (entity->IndexAt(i)->IndexKind == kind && on(key)) {
                    entity->DeleteMember(entity->IndexAt(i));
                    break;
                }

    // 4. Whole kinds of objects, then code objects without code.
    if (on("DONOTUSESEQUENCES")) {
        for (TVELEntity* entity : entities)
            for (int k = 0; k < entity->Attributes.Count(); ++k) entity->AttributeAt(k)->SequenceID = -1;
        deleteOfType(otSequence);
    }
    if (on("DONOTUSEVIEWS")) deleteOfType(otView);
    if (on("DONOTUSEPROCEDURES")) deleteOfType(otProcedure);
    if (on("DONOTUSERULES")) deleteOfType(otRule);
    for (int i = Count() - 1; i >= 0; --i) {
        auto* code = dynamic_cast<TVELCodeObject*>(Items(i));
        if (code && (code->ObjectType == otView || code->ObjectType == otProcedure) && Trim(code->Code).empty())
            DeleteObject(code);
    }

    // 5. Tables and their members.
    const bool convertDomains = on("CONVERTDOMAINS");
    // Columns that took over the check of their domain: it names them once the names are final.
    std::vector<TVELAttribute*> domainChecks;
    const bool msSQLServer = StartsText("mssqlserver", s.DBID);
    auto editCode = [&](TVELCodeObject& object, bool formatView) {
        if (on("DONOTUSECOMMENTSINCODE")) object.Code = RemoveComments(object.Code);
        if (formatView) object.Code = FormatViewCode(object.Code);
        if (on("DONOTUSEEMPTYLINES")) object.Code = RemoveEmptyLines(object.Code);
    };
    // The option pair of a constraint type: dropping the name, dropping the constraint.
    auto constraintOptions = [](int type) -> std::pair<const char*, const char*> {
        switch (type) {
        case ctCheck: return {"DONOTUSECHECKCONNAMES", "DONOTUSECHECKCONSTRAINTS"};
        case ctUnique: return {"DONOTUSEUNIQUECONNAMES", "DONOTUSEALTERNATEKEYS"};
        case ctPrimaryKey: return {"DONOTUSEPKCONNAMES", "DONOTUSEPRIMARYKEYS"};
        case ctForeignKey: return {"DONOTUSEFKCONNAMES", "DONOTUSEFOREIGNKEYS"};
        case ctNotNull: return {"DONOTUSENOTNULLCONNAMES", ""};
        case ctDefault: return {"DONOTUSEDEFAULTCONNAMES", "DONOTUSEDEFAULTS"};
        default: return {"", ""};
        }
    };
    // The options asked per column and per constraint, looked up once: a large model has a
    // few hundred thousand of them.
    const bool noConstraintOptions = on("DONOTUSECONSTRAINTOPTIONS");
    const bool noCharsets = on("DONOTUSECHARSETS"), noCollations = on("DONOTUSECOLLATIONS");
    const std::string explicitNull = on("USEEXPLICITNULLABILITY") ? "NULL" : "";
    struct TConstraintOptions {
        bool DropName = false, Drop = false;
    };
    std::unordered_map<int, TConstraintOptions> constraintOn;
    auto optionsOf = [&](int type) -> const TConstraintOptions& {
        auto it = constraintOn.find(type);
        if (it == constraintOn.end()) {
            const auto [nameKey, dropKey] = constraintOptions(type);
            it = constraintOn.emplace(type, TConstraintOptions{*nameKey && on(nameKey), *dropKey && on(dropKey)}).first;
        }
        return it->second;
    };
    // Applies the constraint options; whether the constraint is to be removed (column
    // constraints lose their value instead, a primary key its columns).
    auto prepareConstraint = [&](TVELConstraint& c) {
        if (noConstraintOptions) c.ConstraintOptions.clear();
        const TConstraintOptions& o = optionsOf(c.ConstraintType);
        if (o.DropName) DropConstraintName(c);
        if (!o.Drop) return false;
        if (c.ConstraintType == ctPrimaryKey)
            c.AttributeIDs.Clear();
        else if (c.Level == clColumn)
            c.Value.clear();
        return c.Level != clColumn && c.ConstraintType != ctPrimaryKey;
    };
    for (TVELEntity* entity : entities) {
        if (on("DONOTUSETABLESCRIPTS")) {
            entity->BeginTableScript.clear();
            entity->EndTableScript.clear();
        }
        if (on("DONOTUSETABLEOPTIONS")) entity->TableOptions.clear();
        for (int k = 0; k < entity->Attributes.Count(); ++k) {
            TVELAttribute* a = entity->AttributeAt(k);
            if (noCharsets) a->DataType->CharacterSet.clear();
            if (noCollations) {
                a->Collate.clear();
                a->DataType->Collation.clear();
            }
            a->ExplicitNullText = explicitNull;
            if (convertDomains && a->DomainID != -1) {
                const TVELDomain* domain = a->GetDomain();
                if (domain && !domain->CheckValue().empty()) domainChecks.push_back(a);
                a->ApplyDomain();
                a->DomainID = -1;
            }
            if (msSQLServer && SameText(a->DataType->Length, "MAX")) a->DataType->Length = "max";
            for (int32_t id = 1; id <= 3; ++id)
                if (TVELConstraint* c = a->ExistingColumnConstraint(id)) prepareConstraint(*c);
        }
        for (int k = 0; k < entity->Indexes.Count(); ++k)
            if (on("DONOTUSEINDEXOPTIONS")) entity->IndexAt(k)->IndexOptions.clear();
        // Triggers left out go with their code; auto-number columns forget theirs first.
        if (on("DONOTUSETRIGGERS")) {
            for (int k = 0; k < entity->Attributes.Count(); ++k) {
                entity->AttributeAt(k)->AutoNumberTrigger = false;
                entity->AttributeAt(k)->TriggerID = -1;
            }
            for (int k = entity->Triggers.Count() - 1; k >= 0; --k) entity->DeleteMember(entity->TriggerAt(k));
        }
        for (int k = 0; k < entity->Triggers.Count(); ++k)
            if (!entity->TriggerAt(k)->Code.empty()) editCode(*entity->TriggerAt(k), false);
        prepareConstraint(*entity->PrimaryKey);
        for (int k = entity->Constraints.Count() - 1; k >= 0; --k)
            if (prepareConstraint(*entity->ConstraintAt(k))) entity->DeleteMember(entity->ConstraintAt(k));
    }
    // Foreign keys belong to their relationships: leaving one out removes the relationship
    // (its foreign-key columns stay, relationship hooks being off while preparing).
    std::vector<TVELRelationship*> relationships;
    CollectOfClass(relationships);
    for (TVELRelationship* relationship : relationships)
        if (prepareConstraint(*relationship->FKConstraint)) DeleteObject(relationship);

    // 6. Domains, code objects, sequences.
    for (int i = 0; i < Count(); ++i) {
        TVELDatabaseObject* object = Object(i);
        if (auto* domain = dynamic_cast<TVELDomain*>(object); domain && !convertDomains) {
            if (on("DONOTUSECHARSETS")) domain->DataType->CharacterSet.clear();
            if (on("DONOTUSECOLLATIONS")) {
                domain->Collate.clear();
                domain->DataType->Collation.clear();
            }
        } else if (object->ObjectType == otView || object->ObjectType == otProcedure || object->ObjectType == otRule) {
            editCode(*static_cast<TVELCodeObject*>(object), object->ObjectType == otView && on("FORMATCODEFORVIEWS"));
        } else if (auto* sequence = dynamic_cast<TVELSequence*>(object); sequence && on("DONOTUSESEQUENCESEED")) {
            // The start a server takes when none is given: the lower limit of an ascending
            // sequence, the upper limit of a descending one.
            int32_t limit = 0;
            if (sequence->Increment < 0)
                sequence->Seed = TryStrToInt(sequence->Max, limit) ? limit : -1;
            else
                sequence->Seed = TryStrToInt(sequence->Min, limit) ? limit : 1;
        }
    }

    // 7.
    if (convertDomains) deleteOfType(otDomain);
    if (on("DONOTUSECOMMENTS")) ClearComments();
    if (on("DONOTUSESCHEMANAMES")) ClearSchemas();

    // 8. Names made from the relationships' templates follow the prepared model (and are told
    // again below, after the prefix and the text format have renamed the entities).
    relationships.clear();
    CollectOfClass(relationships);
    for (TVELRelationship* relationship : relationships) relationship->DoNameChanged();

    // 9. The global prefix.
    collectEntities();
    if (const std::string prefix = Trim(options->GetValue("GLOBALPREFIX")); !prefix.empty()) {
        const std::set<TPrefixKind>& kinds = s.ApplyPrefixTo;
        auto applies = [&kinds](TPrefixKind kind) { return kinds.count(kind) > 0; };
        for (int i = 0; i < Count(); ++i) {
            TVELDatabaseObject* object = Object(i);
            if ((object->ObjectType == otEntity && applies(TPrefixKind::Entity)) ||
                (object->ObjectType == otSequence && applies(TPrefixKind::Sequence)) ||
                (object->ObjectType == otView && applies(TPrefixKind::View)))
                PrefixName(*object, prefix);
        }
        for (TVELEntity* entity : entities) {
            if (applies(TPrefixKind::Index))
                for (int k = 0; k < entity->Indexes.Count(); ++k) PrefixName(*entity->IndexAt(k), prefix);
            if (applies(TPrefixKind::Trigger))
                for (int k = 0; k < entity->Triggers.Count(); ++k) PrefixName(*entity->TriggerAt(k), prefix);
        }
    }

    // 10. The target's text format, for the names of the members and keys as well.
    if (on("CHANGETEXTFORMAT") && s.InternalTextFormat != TTextFormat::MixedCase) {
        const int mode = static_cast<int>(s.InternalTextFormat);
        ChangeTextFormat(mode);
        for (TVELEntity* entity : entities) {
            entity->Attributes.ChangeTextFormat(mode);
            entity->Indexes.ChangeTextFormat(mode);
            entity->Triggers.ChangeTextFormat(mode);
            entity->Constraints.ChangeTextFormat(mode);
            ConvertName(*entity->PrimaryKey, mode);
            for (int k = 0; k < entity->Attributes.Count(); ++k)
                for (int32_t id = 1; id <= 3; ++id)
                    if (TVELConstraint* c = entity->AttributeAt(k)->ExistingColumnConstraint(id)) ConvertName(*c, mode);
        }
        relationships.clear();
        CollectOfClass(relationships);
        for (TVELRelationship* relationship : relationships) ConvertName(*relationship->FKConstraint, mode);
    }
    for (TVELRelationship* relationship : relationships) relationship->DoNameChanged();
    for (TVELAttribute* a : domainChecks)
        if (!a->CheckValue().empty()) a->SetCheckValue(CheckOfColumn(a->CheckValue(), s.QuoteDDL(a->GetName())));
}

}  // namespace ardvin
