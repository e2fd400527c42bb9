#include "zDataDictionary.h"

#include <algorithm>
#include <filesystem>

#include "zDatabaseSettings.h"
#include "zDiagramOnly.h"
#include "zProcedure.h"
#include "zSLDatatypes.h"
#include "zSequence.h"
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

}  // namespace

TVELDataDictionary::TVELDataDictionary()
    : settings_(std::make_unique<TVELDatabaseSettings>()), dataTypes_(std::make_unique<TSLDatatypes>()) {}

TVELDataDictionary::~TVELDataDictionary() { ClearAndFree(); }

std::unique_ptr<TVELDatabaseObject> TVELDataDictionary::NewObjectOfType(int type, TVELPersistent* owner) {
    switch (type) {
    case otTextArea: return std::make_unique<TVELTextArea>(owner);
    case otSubCategory: return std::make_unique<TVELSubCategory>(owner);
    case otGroupbox: return std::make_unique<TVELGroupbox>(owner);
    case otSequence: return std::make_unique<TVELSequence>(owner);
    case otStamp: return std::make_unique<TVELStamp>(owner);
    case otProcedure: return std::make_unique<TVELProcedure>(owner);
    case otView: return std::make_unique<TVELView>(owner);
    case otRule: return std::make_unique<TVELRule>(owner);
    default: return nullptr;
    }
}

void TVELDataDictionary::SetTarget(std::string_view dbid) {
    if (dbid.empty()) {
        settings_ = std::make_unique<TVELDatabaseSettings>();
        dataTypes_->Clear();
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
}

std::string TVELDataDictionary::GetTarget() const { return settings_->DBID; }

void TVELDataDictionary::Connect(TVELNamedObject* object) {
    object->OnChanged = [this](TVELNamedObject* sender) {
        if (OnObjectChanged) OnObjectChanged(sender);
    };
    object->OnNameChanged = [this](TVELNamedObject* sender) {
        if (OnObjectNameChanged) OnObjectNameChanged(sender);
    };
}

void TVELDataDictionary::Inserted(TVELNamedObject* item) { (void)item; }

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

void TVELDataDictionary::CollectOfTypeByID(int type, std::vector<TVELDatabaseObject*>& out) const {
    out.clear();
    CollectOfType(type, out);
    std::sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->ID < b->ID; });
}

TVELDatabaseObject* TVELDataDictionary::FindSameObject(const TVELNamedObject* object) const {
    if (!object) return nullptr;
    TVELNamedObject* found = FindByID(object->ID);
    return found && typeid(*found) == typeid(*object) ? static_cast<TVELDatabaseObject*>(found) : nullptr;
}

// ---- markup -----------------------------------------------------------------------------------

std::string TVELDataDictionary::SaveToMarkup() const {
    std::vector<std::string> sections(std::size(Sections));
    for (const auto& item : items_) {
        const auto* object = static_cast<const TVELDatabaseObject*>(item.get());
        for (size_t k = 0; k < std::size(Sections); ++k)
            if (Sections[k].Type == object->ObjectType) {
                sections[k] += object->SaveToMarkupElement();
                break;
            }
    }
    std::string content = WriteElement("DBID", GetTarget());
    AppendElement(content, "LASTID", IntToStr(LastID));
    for (size_t k = 0; k < std::size(Sections); ++k) content += WrapSection(Sections[k].Tag, sections[k]);
    return WrapSection("DATADICT", content);
}

void TVELDataDictionary::LoadFromMarkup(std::string_view text) {
    FlagGuard loading(Loading);
    SetTarget(ReadElementText("DBID", text, "oracle9"));
    LoadObjects(text, false, false);
    LastID = StrToIntDef(ReadElement("LASTID", text, "-1"), -1);
    CheckLastID();

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

void TVELDataDictionary::RepairRelationships() {
    // Connections whose ends no longer resolve are dropped; key propagation follows with the
    // relationship classes.
    for (int i = Count() - 1; i >= 0; --i) {
        int32_t parent = 0, child = 0;
        TVELNamedObject* item = Items(i);
        if (!item->GetConnectionEnds(parent, child)) continue;
        if (item->Deleting) continue;
        if (!ResolveEntity(child) || !ResolveEntity(parent)) DeleteObject(item);
    }
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
    const TVELMessageCallback callback = MessageCallback();
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
        case otRelationship:
        case otDomain: object->Validate(true, callback); break;
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

void TVELDataDictionary::ClearStateFlags() {
    for (int i = 0; i < Count(); ++i) Object(i)->ClearStateFlags();
}

void TVELDataDictionary::ClearComments() {
    for (int i = 0; i < Count(); ++i) Object(i)->Comment.clear();
}

void TVELDataDictionary::ClearSchemas() {
    for (int i = 0; i < Count(); ++i) Object(i)->SchemaName.clear();
}

}  // namespace ardvin
