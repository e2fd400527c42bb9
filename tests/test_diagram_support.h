// Model objects for the diagram tests: boxes that stand for entities and connections that join
// two objects, as the diagrams see them (an object type and connection ends).
#pragma once

#include <memory>
#include <string>

#include "zDataDictionary.h"
#include "zDiagramOnly.h"
#include "zDiagrams.h"

namespace ardvin::test {

class TestEntity : public TVELObjectWithConnections {
public:
    explicit TestEntity(TVELPersistent* owner) : TVELObjectWithConnections(owner) { ObjectType = otEntity; }
    VEL_DECLARE_CREATE(TestEntity)
};

// A relationship (or, with the type otSubCategoryConnection, a subcategory connection).
class TestConnection : public TVELDatabaseObject {
public:
    explicit TestConnection(TVELPersistent* owner) : TVELDatabaseObject(owner) {
        ObjectType = otRelationship;
    }
    VEL_DECLARE_CREATE(TestConnection)
    int32_t Parent = -1;
    int32_t Child = -1;
    bool GetConnectionEnds(int32_t& parentID, int32_t& childID) const override {
        parentID = Parent;
        childID = Child;
        return true;
    }
};

// Adds an object of a class to the dictionary with the next identifier and a name.
template <class T> T* AddObject(TVELDataDictionary& dd, const std::string& name) {
    auto object = std::make_unique<T>(&dd);
    T* raw = object.get();
    raw->SetName(name);
    raw->SetID(dd.NewID());
    dd.Add(std::move(object));
    return raw;
}

inline TestConnection* AddConnection(TVELDataDictionary& dd, const std::string& name, int32_t parent,
                                     int32_t child, uint8_t type = otRelationship) {
    TestConnection* c = AddObject<TestConnection>(dd, name);
    c->ObjectType = type;
    c->Parent = parent;
    c->Child = child;
    return c;
}

// The text of the EVELError that a call raises, empty when it raises none.
template <class F> std::string ErrorText(F&& call) {
    try {
        call();
    } catch (const EVELError& e) {
        return e.what();
    }
    return {};
}

// A box of a model object on a diagram at a position and size.
inline TDGControl* PlaceBox(TVELDiagrams& diagrams, TVELDiagram* diagram, TVELNamedObject* object, int left,
                            int top, int width, int height) {
    auto* box = static_cast<TDGControl*>(diagrams.AddObjectToDiagram(object, diagram, left, top));
    if (box) diagram->SetControlBounds(*box, left, top, width, height);
    return box;
}

} // namespace ardvin::test
