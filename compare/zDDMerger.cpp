#include "zDDMerger.h"

#include <algorithm>
#include <typeinfo>
#include <unordered_map>

#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zRelationship.h"

namespace ardvin {

namespace {

// The object kinds that have an apply step; the others travel with their entity.
bool Applies(int type) {
    switch (type) {
    case otEntity: case otTextArea: case otSubCategory: case otDomain: case otGroupbox:
    case otSequence: case otStamp: case otProcedure: case otView:
        return true;
    default:
        return false;
    }
}

// Objects that others refer to are added first and deleted last.
bool Referenced(int type) { return type == otDomain || type == otSequence; }

}  // namespace

void TVELDDMerger::AddObject(const TVELDatabaseObject& other) {
    const bool taken = Model->FindObjectByID(other.ID) != nullptr;
    TVELDatabaseObject* copy = Model->AddCopy(other);
    if (taken) copy->SetID(Model->NewID());
    Model->CheckLastID();
    if (dynamic_cast<TVELEntity*>(copy)) entities_.push_back(copy->ID);
}

void TVELDDMerger::ChangeObject(TVELDatabaseObject& model, const TVELDatabaseObject& other) {
    const std::vector<TDGObject*> links = model.Links;
    const std::string modelName = model.GetName();
    const std::string comment = model.Comment;
    auto* entity = dynamic_cast<TVELEntity*>(&model);
    // What the model alone knows about an entity, saved before the replacement.
    std::string abbreviation, beginScript, endScript, toDo, note;
    TVELSettingsList extra;
    std::unordered_map<int32_t, int32_t> domains;
    std::unordered_map<int32_t, std::string> comments;
    std::vector<std::string> missing;  // markup of the attributes only in the model
    if (entity) {
        abbreviation = entity->Abbreviation, beginScript = entity->BeginTableScript;
        endScript = entity->EndTableScript, toDo = entity->ToDo, note = entity->Note;
        extra = entity->ExtraProps;
        const auto* otherEntity = dynamic_cast<const TVELEntity*>(&other);
        for (int i = 0; i < entity->Attributes.Count(); ++i) {
            const TVELAttribute* a = entity->AttributeAt(i);
            if (a->DomainID != -1) domains[a->ID] = a->DomainID;
            comments[a->ID] = a->Comment;
            if (otherEntity && !otherEntity->FindAttribute(a->ID)) missing.push_back(a->SaveToMarkup());
        }
    }
    model.Assign(other, false);
    model.Links = links;
    if (Mappings && Mappings->IndexOfLeft(modelName, false) >= 0 &&
        Mappings->Lookup(modelName) == other.GetName())
        model.SetName(modelName);
    if (KeepComments && model.Comment.empty()) model.Comment = comment;
    if (entity) {
        if (KeepExtendedProperties) {
            entity->Abbreviation = abbreviation, entity->BeginTableScript = beginScript;
            entity->EndTableScript = endScript, entity->ToDo = toDo, entity->Note = note;
            entity->ExtraProps = extra;
        }
        if (KeepMissingAttributes)
            for (const std::string& markup : missing) {
                TVELAttribute* a = entity->AddAttribute(false);
                a->LoadFromMarkup(markup);
            }
        for (int i = 0; i < entity->Attributes.Count(); ++i) {
            TVELAttribute* a = entity->AttributeAt(i);
            // Domains of the other model that the model lacks are not kept.
            if (a->DomainID != -1 && !dynamic_cast<TVELDomain*>(Model->FindObjectByID(a->DomainID))) a->DomainID = -1;
            if (KeepDomains && a->DomainID == -1)
                if (const auto it = domains.find(a->ID); it != domains.end())
                    if (const auto* domain = dynamic_cast<TVELDomain*>(Model->FindObjectByID(it->second));
                        domain && SameText(DataTypeText(*a->DataType), DataTypeText(*domain->DataType)))
                        a->DomainID = domain->ID;
            if (KeepComments && a->Comment.empty())
                if (const auto it = comments.find(a->ID); it != comments.end()) a->Comment = it->second;
        }
        entities_.push_back(entity->ID);
    }
    model.DoChanged();
}

void TVELDDMerger::DeleteObject(TVELDatabaseObject& model) {
    try {
        Model->DeleteObject(&model);
    } catch (const EVELError& e) {
        model.AddMessage(mlError, e.what(), OnMessage ? OnMessage : [](TVELNamedObject*, int, const std::string&) {});
    }
}

// Relationships travel with their entities: those of the other model that touch an added or
// changed entity are copied when both ends exist in the model, and the model's relationships
// into a changed entity that the other model lacks go.
void TVELDDMerger::ConnectEntities() {
    if (entities_.empty()) return;
    auto touches = [&](const TVELNamedObject* o) {
        int32_t parent = 0, child = 0;
        return o->GetConnectionEnds(parent, child) &&
               (std::find(entities_.begin(), entities_.end(), parent) != entities_.end() ||
                std::find(entities_.begin(), entities_.end(), child) != entities_.end());
    };
    for (int i = Model->Count() - 1; i >= 0; --i) {
        TVELDatabaseObject* r = Model->Object(i);
        int32_t parent = 0, child = 0;
        if (!r->GetConnectionEnds(parent, child) ||
            std::find(entities_.begin(), entities_.end(), child) == entities_.end())
            continue;
        const TVELDatabaseObject* o = Other->FindObjectByID(r->ID);
        if (!o || typeid(*o) != typeid(*r)) DeleteObject(*r);
    }
    for (int i = 0; i < Other->Count(); ++i) {
        const TVELDatabaseObject* o = Other->Object(i);
        int32_t parent = 0, child = 0;
        if (!touches(o) || !o->GetConnectionEnds(parent, child)) continue;
        if (!Model->FindObjectByID(parent) || !Model->FindObjectByID(child)) continue;
        if (TVELDatabaseObject* existing = Model->FindObjectByID(o->ID); existing && typeid(*existing) == typeid(*o)) {
            const std::vector<TDGObject*> links = existing->Links;
            existing->Assign(*o, false);
            existing->Links = links;
            continue;
        }
        AddObject(*o);
    }
}

void TVELDDMerger::Apply() {
    entities_.clear();
    std::vector<const TVELDifference*> selected;
    for (int i = 0; i < Differences->Count(); ++i)
        if (const TVELDifference* d = Differences->Difference(i); d->Selected && Applies(d->ObjectType))
            selected.push_back(d);
    // Adds and changes of referenced kinds, then of the others; deletions the other way round.
    std::stable_sort(selected.begin(), selected.end(), [](const TVELDifference* a, const TVELDifference* b) {
        auto rank = [](const TVELDifference* d) {
            const bool del = d->Status == dsLeftOnly;
            return del ? (Referenced(d->ObjectType) ? 3 : 2) : (Referenced(d->ObjectType) ? 0 : 1);
        };
        return rank(a) < rank(b);
    });
    for (const TVELDifference* d : selected) {
        TVELDatabaseObject* model = Model->FindObjectByID(d->ObjectID);
        const TVELDatabaseObject* other = Other->FindObjectByID(d->ObjectID);
        switch (d->Status) {
        case dsLeftOnly:
            if (model) DeleteObject(*model);
            break;
        case dsRightOnly:
            if (other) AddObject(*other);
            break;
        case dsChanged:
            if (model && other && typeid(*model) == typeid(*other)) ChangeObject(*model, *other);
            break;
        default:
            break;
        }
    }
    ConnectEntities();
}

}  // namespace ardvin
