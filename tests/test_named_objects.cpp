// Named objects and object lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "zDatabaseObject.h"
#include "zNamedObject.h"

using namespace ardvin;

namespace {

// ---- test-only concrete classes ------------------------------------------------------------

class TestObject : public TVELDatabaseObject {
public:
    explicit TestObject(TVELPersistent* owner) : TVELDatabaseObject(owner) { ObjectType = otEntity; }
    VEL_DECLARE_CREATE(TestObject)
};

class OtherObject : public TVELDatabaseObject {
public:
    explicit OtherObject(TVELPersistent* owner) : TVELDatabaseObject(owner) { ObjectType = otDomain; }
    VEL_DECLARE_CREATE(OtherObject)
};

// A connection between a parent and a child object (a relationship).
class TestConnection : public TVELDatabaseObject {
public:
    explicit TestConnection(TVELPersistent* owner) : TVELDatabaseObject(owner) {
        ObjectType = otRelationship;
    }
    VEL_DECLARE_CREATE(TestConnection)
    int32_t ParentID = -1;
    int32_t ChildID = -1;
    bool GetConnectionEnds(int32_t& parentID, int32_t& childID) const override {
        parentID = ParentID;
        childID = ChildID;
        return true;
    }
};

// A name computed from the template: "%x%" replaced by "X".
class TemplateObject : public TVELDatabaseObject {
public:
    explicit TemplateObject(TVELPersistent* owner) : TVELDatabaseObject(owner) {
        ObjectType = otIndex;
        NameFromTemplate = true;
    }
    VEL_DECLARE_CREATE(TemplateObject)
    std::string GetTemplateName() const override { return ReplaceAll(NameTemplate, "%x%", "X"); }
};

class TestCode : public TVELCodeObject {
public:
    explicit TestCode(TVELPersistent* owner) : TVELCodeObject(owner) { ObjectType = otView; }
    VEL_DECLARE_CREATE(TestCode)
};

// An owning object that holds members in a list of its own (as an entity does).
class TestOwner : public TVELDatabaseObject {
public:
    explicit TestOwner(TVELPersistent* owner) : TVELDatabaseObject(owner) {
        ObjectType = otEntity;
        Members.Owner = this;
    }
    VEL_DECLARE_CREATE(TestOwner)
    TVELDatabaseObjectsList Members;
    TVELNamedObjectsList* MemberListOf(const TVELNamedObject* member) const override {
        return Members.IndexOf(member) >= 0 ? const_cast<TVELDatabaseObjectsList*>(&Members) : nullptr;
    }
};

// A list that records its hooks.
class HookList : public TVELDatabaseObjectsList {
public:
    std::vector<std::string> Log;
    // Names whose deletion this list refuses.
    std::vector<std::string> Refuse;
    void DeleteObject(TVELNamedObject* item) override {
        if (std::find(Refuse.begin(), Refuse.end(), item->GetName()) != Refuse.end()) {
            Log.push_back("refused " + item->GetName());
            return;
        }
        TVELDatabaseObjectsList::DeleteObject(item);
    }

protected:
    void Inserted(TVELNamedObject* item) override { Log.push_back("inserted " + item->GetName()); }
    void Removed(TVELNamedObject* item) override {
        // The item is out of the list already and its connections are gone.
        Log.push_back("removed " + item->GetName() + (IndexOf(item) < 0 ? "" : " (still listed)"));
    }
};

constexpr int32_t NextID = INT32_MIN;

template <class T = TestObject>
T* AddNamed(TVELNamedObjectsList& list, const std::string& name, int32_t id = NextID) {
    auto p = std::make_unique<T>(&list);
    p->SetName(name);
    p->SetID(id == NextID ? list.NewID() : id);
    return static_cast<T*>(list.Add(std::move(p)));
}

TestConnection* AddConnection(TVELNamedObjectsList& list, const std::string& name, int32_t parent,
                              int32_t child) {
    auto* c = AddNamed<TestConnection>(list, name);
    c->ParentID = parent;
    c->ChildID = child;
    return c;
}

std::vector<std::string> NamesOf(const TVELNamedObjectsList& list) {
    std::vector<std::string> out;
    list.Names(out);
    return out;
}

struct Message {
    TVELNamedObject* Sender;
    int Level;
    std::string Text;
};

struct Collector {
    std::vector<Message> Messages;
    TVELMessageCallback Callback() {
        return [this](TVELNamedObject* s, int level, const std::string& text) {
            Messages.push_back({s, level, text});
        };
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> r;
        for (const auto& m : Messages)
            r.push_back(m.Text);
        return r;
    }
};

using Strings = std::vector<std::string>;

}  // namespace

// ---- tables ----------------------------------------------------------------------------------

TEST(ObjectTypes, TableRows) {
    const auto& e = ObjectTypeInfo(otEntity);
    EXPECT_STREQ(e.Element, "ENT");
    EXPECT_STREQ(e.LogicalCaption, "Entity");
    EXPECT_STREQ(e.PhysicalCaption, "table");
    EXPECT_STREQ(e.LogicalPlural, "Entities");
    EXPECT_STREQ(e.PhysicalPlural, "Tables");
    EXPECT_STREQ(e.ControlElement, "ENTC");
    EXPECT_STREQ(e.ClassName, "TVELEntity");

    const auto& s = ObjectTypeInfo(otSequence);
    EXPECT_STREQ(s.PhysicalCaption, "sequence/generator");
    EXPECT_STREQ(s.ControlElement, "");

    const auto& c = ObjectTypeInfo(otSubCategoryConnection);
    EXPECT_STREQ(c.Element, "SUBCATEGORYCONNECTION");
    EXPECT_STREQ(c.ControlElement, "SUBCATEGORYCONNECTOR");

    EXPECT_STREQ(ObjectTypeInfo(otTableConstraint).Element, "CONSTRAINT");
    EXPECT_STREQ(ObjectTypeInfo(otTableConstraint).LogicalCaption, "Table constraint");
    EXPECT_STREQ(ObjectTypeInfo(otColumnConstraint).Element, "COLCON");
    EXPECT_STREQ(ObjectTypeInfo(otColumnConstraint).ClassName, "TVELConstraint");

    const auto& r = ObjectTypeInfo(otRule);
    EXPECT_STREQ(r.Element, "RULE");
    EXPECT_STREQ(r.LogicalCaption, "Rules");
    EXPECT_STREQ(r.PhysicalCaption, "Rule");
    EXPECT_STREQ(ObjectTypeInfo(otTextArea).LogicalCaption, "Text Area");
    EXPECT_STREQ(ObjectTypeInfo(otView).ControlElement, "VIEWC");

    for (int t : {-1, 0, 20, 255}) {
        const auto& none = ObjectTypeInfo(t);
        EXPECT_STREQ(none.Element, "");
        EXPECT_STREQ(none.LogicalCaption, "");
        EXPECT_STREQ(none.ClassName, "");
    }
}

TEST(ObjectTypes, MessageLevels) {
    EXPECT_EQ(MessageLevelName(0), "Found");
    EXPECT_EQ(MessageLevelName(1), "Hint");
    EXPECT_EQ(MessageLevelName(2), "Warning");
    EXPECT_EQ(MessageLevelName(3), "Error");
    EXPECT_EQ(MessageLevelName(4), "Info");
    EXPECT_EQ(MessageLevelName(5), "");
}

// ---- identifiers -----------------------------------------------------------------------------

TEST(Identifiers, FirstNewIDIsTwo) {
    TVELNamedObjectsList list;
    EXPECT_EQ(list.LastID, 1);
    EXPECT_EQ(list.NewID(), 2);
    EXPECT_EQ(list.NewID(), 3);
    EXPECT_EQ(list.LastID, 3);
}

TEST(Identifiers, CheckLastID) {
    TVELNamedObjectsList list;
    AddNamed(list, "A", 5);
    AddNamed(list, "B", 9);
    AddNamed(list, "C", 7);
    list.LastID = 3;  // a file with a LASTID lower than an identifier in use
    list.CheckLastID();
    EXPECT_EQ(list.LastID, 9);
    EXPECT_EQ(list.NewID(), 10);

    // No identifier above LastID: LastID stays, even when higher than every identifier.
    list.LastID = 50;
    list.CheckLastID();
    EXPECT_EQ(list.LastID, 50);

    // Missing LASTID (-1) with only negative identifiers: recomputed as at least 1.
    TVELNamedObjectsList neg;
    AddNamed(neg, "N", -5);
    AddNamed(neg, "Z", 0);
    neg.LastID = -1;
    neg.CheckLastID();
    EXPECT_EQ(neg.LastID, 1);

    // An empty list leaves any LastID alone.
    TVELNamedObjectsList empty;
    empty.LastID = -1;
    empty.CheckLastID();
    EXPECT_EQ(empty.LastID, -1);
}

TEST(Identifiers, ObjectLoadedWithoutIDGetsOne) {
    TestObject o(nullptr);
    o.LoadFromMarkup(WriteElement("NAME", "T"));
    EXPECT_EQ(o.ID, 1);
    EXPECT_EQ(o.OldID, 1);
    EXPECT_EQ(o.AOID, -1);
    EXPECT_EQ(o.PosNR, 0);

    TestObject bad(nullptr);
    bad.LoadFromMarkup(WriteElement("ID", "x12") + WriteElement("AOID", "abc") + WriteElement("POSNR", "4"));
    EXPECT_EQ(bad.ID, 1);
    EXPECT_EQ(bad.OldID, 1);
    EXPECT_EQ(bad.AOID, -1);
    EXPECT_EQ(bad.PosNR, 4);

    TestObject loaded(nullptr);
    loaded.LoadFromMarkup(WriteElement("ID", "42") + WriteElement("AOID", "7"));
    EXPECT_EQ(loaded.ID, 42);
    EXPECT_EQ(loaded.OldID, 42);
    EXPECT_EQ(loaded.AOID, 7);
}

TEST(Identifiers, NonNumericPosNRIsAnErrorOfTheLoad) {
    TestObject o(nullptr);
    EXPECT_THROW(o.LoadFromMarkup(WriteElement("POSNR", "first")), EVELError);
}

TEST(Identifiers, FindByIDSortedUnsortedAndAbsent) {
    TVELNamedObjectsList list;
    for (int id : {2, 4, 6, 8, 10})
        AddNamed(list, "S" + std::to_string(id), id);
    EXPECT_EQ(list.FindByID(6)->GetName(), "S6");
    EXPECT_EQ(list.FindByID(2)->GetName(), "S2");
    EXPECT_EQ(list.FindByID(10)->GetName(), "S10");
    EXPECT_EQ(list.FindByID(5), nullptr);
    EXPECT_FALSE(list.IDExists(5));
    EXPECT_TRUE(list.IDExists(8));

    TVELNamedObjectsList unsorted;
    for (int id : {9, 3, 7, 1, 5})
        AddNamed(unsorted, "U" + std::to_string(id), id);
    for (int id : {9, 3, 7, 1, 5})
        EXPECT_EQ(unsorted.FindByID(id)->GetName(), "U" + std::to_string(id));
    EXPECT_EQ(unsorted.FindByID(4), nullptr);

    // Shared identifiers in an unsorted list: the linear search takes the first in list order.
    TVELNamedObjectsList shared;
    AddNamed(shared, "A", 9);
    AddNamed(shared, "B", 4);
    AddNamed(shared, "C", 1);
    AddNamed(shared, "D", 4);
    EXPECT_EQ(shared.FindByID(4)->GetName(), "B");  // the binary search's first probe
    EXPECT_EQ(shared.FindByID(1)->GetName(), "C");  // found by the linear search
    EXPECT_FALSE(shared.IsUniqueID(4, nullptr));
    EXPECT_TRUE(shared.IsUniqueID(9, shared.FindByID(9)));
    EXPECT_FALSE(shared.IsUniqueID(9, nullptr));
    EXPECT_TRUE(shared.IsUniqueID(77, nullptr));
}

TEST(Identifiers, FindByIDFollowsIdentifierChanges) {
    TVELNamedObjectsList list;
    auto* a = AddNamed(list, "A", 30);
    auto* b = AddNamed(list, "B", 10);
    auto* c = AddNamed(list, "C", 20);
    EXPECT_EQ(list.FindByID(10), b);  // builds the index
    a->SetID(11);
    EXPECT_EQ(list.FindByID(11), a);
    EXPECT_EQ(list.FindByID(30), nullptr);
    c->SetID(99);
    EXPECT_EQ(list.FindByID(99), c);
    EXPECT_EQ(list.FindByID(20), nullptr);
    // Extracted objects are gone; extracting returns ownership.
    auto owned = list.Extract(b);
    ASSERT_TRUE(owned);
    EXPECT_EQ(owned->ContainingList(), nullptr);
    EXPECT_EQ(list.FindByID(10), nullptr);
    // An object renumbered and then freed leaves nothing behind.
    EXPECT_EQ(list.FindByID(11), a);
    a->SetID(55);
    list.Extract(a).reset();
    EXPECT_EQ(list.FindByID(11), nullptr);
    EXPECT_EQ(list.FindByID(55), nullptr);
    a = AddNamed(list, "A", 11);
    // Two objects with one identifier, then one of them renumbered.
    auto* d = AddNamed(list, "D", 11);
    EXPECT_EQ(list.FindByID(11)->GetName(), "A");
    a->SetID(12);
    EXPECT_EQ(list.FindByID(11), d);
    EXPECT_EQ(list.FindByID(12), a);
}

namespace {
void RandomizedFindByID() {
    std::mt19937 rng(12345);
    TVELNamedObjectsList list;
    auto reference = [&](int32_t id) -> TVELNamedObject* {
        int lo = 0, hi = list.Count() - 1;
        while (lo <= hi) {
            const int mid = lo + (hi - lo) / 2;
            if (list[mid]->ID == id) return list[mid];
            if (list[mid]->ID < id)
                lo = mid + 1;
            else
                hi = mid - 1;
        }
        for (int i = 0; i < list.Count(); ++i)
            if (list[i]->ID == id) return list[i];
        return nullptr;
    };
    for (int step = 0; step < 4000; ++step) {
        const int op = static_cast<int>(rng() % 10);
        const int32_t id = static_cast<int32_t>(rng() % 60);
        if (op < 3 || list.Count() == 0) {
            AddNamed(list, "O", id);
        } else if (op == 3) {
            list[static_cast<int>(rng() % list.Count())]->SetID(id);
        } else if (op == 4) {
            // The last object goes: its identifier may be shared with others.
            list.Extract(list[list.Count() - 1]);
        } else if (op == 5) {
            list.Extract(list[static_cast<int>(rng() % list.Count())]);
        } else if (op == 6) {
            list.Move(static_cast<int>(rng() % list.Count()), static_cast<int>(rng() % list.Count()));
        } else if (op == 7 && step % 50 == 0) {
            list.SortByID();
        } else {
            ASSERT_EQ(list.FindByID(id), reference(id)) << "step " << step;
        }
    }
}
}  // namespace

TEST(Identifiers, FindByIDRandomizedAgainstReference) {
    // The result is what binary search followed by a linear search gives.
    RandomizedFindByID();
}

TEST(Identifiers, FindByOldID) {
    TVELNamedObjectsList list;
    auto* a = AddNamed(list, "A", 5);
    auto* b = AddNamed(list, "B", 6);
    auto* c = AddNamed(list, "C", 7);
    a->OldID = 5;  // kept its identifier
    b->OldID = 5;  // also came from 5 (renumbered)
    c->OldID = 6;
    EXPECT_EQ(list.FindByOldID(5), a);
    EXPECT_EQ(list.FindByOldID(6), c);  // B has ID 6 but did not come from 6
    EXPECT_EQ(list.FindByOldID(8), nullptr);
    list.ResetOldIDs();
    EXPECT_EQ(a->OldID, -1);
    EXPECT_EQ(list.FindByOldID(5), nullptr);
}

// ---- names -----------------------------------------------------------------------------------

TEST(Names, MakeUniqueNameIgnoresCase) {
    TVELNamedObjectsList list;
    AddNamed(list, "Entity1");
    AddNamed(list, "entity2");
    EXPECT_EQ(list.MakeUniqueName("Entity", true, nullptr), "Entity3");
    EXPECT_EQ(list.MakeUniqueName("Entity", false, nullptr), "Entity");
    EXPECT_EQ(list.MakeUniqueName("ENTITY1", false, nullptr), "ENTITY11");
    // The excepted object does not count.
    EXPECT_EQ(list.MakeUniqueName("Entity1", false, list[0]), "Entity1");
    EXPECT_EQ(list.MakeUniqueName("Entity", true, list[0]), "Entity1");
}

TEST(Names, MakeUniqueNameMaxLength) {
    TVELNamedObjectsList list;
    EXPECT_EQ(list.MakeUniqueNameMaxLength("Trg_Customers", 10, true, nullptr), "Trg_Custo1");
    AddNamed(list, "Trg_Custo1");
    EXPECT_EQ(list.MakeUniqueNameMaxLength("Trg_Customers", 10, true, nullptr), "Trg_Custo2");
    for (int i = 2; i <= 9; ++i)
        AddNamed(list, "trg_custo" + std::to_string(i));
    EXPECT_EQ(list.MakeUniqueNameMaxLength("Trg_Customers", 10, true, nullptr), "Trg_Cust10");
    EXPECT_EQ(list.MakeUniqueNameMaxLength("Trg_Customers", 10, false, nullptr), "Trg_Custom");
    EXPECT_EQ(list.MakeUniqueNameMaxLength("Short", 10, true, nullptr), "Short1");
}

namespace {
// A stricter uniqueness rule: names are also reserved by a side list.
class StrictList : public TVELNamedObjectsList {
public:
    std::vector<std::string> Reserved;
    bool IsUniqueName(std::string_view name, const TVELNamedObject* except) const override {
        for (const auto& r : Reserved)
            if (SameText(r, name)) return false;
        return TVELNamedObjectsList::IsUniqueName(name, except);
    }
};
}  // namespace

TEST(Names, MakeUniqueNameUsesTheVirtualRule) {
    StrictList list;
    AddNamed(list, "Con1");
    list.Reserved = {"con2", "Con3", "Con"};
    EXPECT_EQ(list.MakeUniqueName("Con", true, nullptr), "Con4");
    EXPECT_EQ(list.MakeUniqueName("Con", false, nullptr), "Con4");
}

TEST(Names, FindByNameAndUniqueness) {
    TVELNamedObjectsList list;
    auto* a = AddNamed(list, "Customer");
    AddNamed(list, "Order");
    AddNamed(list, "CUSTOMER");
    EXPECT_EQ(list.FindByName("customer"), a);
    EXPECT_EQ(list.IndexOfName("ORDER"), 1);
    EXPECT_EQ(list.IndexOfName("none"), -1);
    EXPECT_EQ(list.FindByName("none"), nullptr);
    EXPECT_TRUE(list.NameExists("order"));
    EXPECT_FALSE(list.IsUniqueName("customer", a));
    EXPECT_FALSE(list.IsUniqueName("order", nullptr));
    EXPECT_TRUE(list.IsUniqueName("order", list[1]));
}

TEST(Names, SetNameTrimsAndFiresEvents) {
    TestObject o(nullptr);
    std::vector<std::string> events;
    o.OnNameChanged = [&](TVELNamedObject*) { events.push_back("name"); };
    o.OnChanged = [&](TVELNamedObject*) { events.push_back("changed"); };
    o.SetName("  Customer ");
    EXPECT_EQ(o.Name, "Customer");
    EXPECT_EQ(events, (Strings{"name", "changed"}));
    events.clear();
    o.SetName("Customer");  // unchanged
    EXPECT_TRUE(events.empty());
    o.SetName("customer");  // differs in case
    EXPECT_EQ(events, (Strings{"name", "changed"}));

    events.clear();
    o.SetTemplate("  PK_%x% ");
    EXPECT_EQ(o.NameTemplate, "PK_%x%");
    EXPECT_EQ(events, (Strings{"name", "changed"}));
    events.clear();
    o.SetTemplate("PK_%x%");
    EXPECT_TRUE(events.empty());

    TemplateObject t(nullptr);
    t.SetName("Stored");
    t.NameTemplate = "PK_%x%";
    EXPECT_EQ(t.GetName(), "PK_X");
    t.NameFromTemplate = false;
    EXPECT_EQ(t.GetName(), "Stored");
}

// ---- deletion --------------------------------------------------------------------------------

TEST(Deletion, ConnectionsFirstThenHookThenFree) {
    HookList list;
    auto* a = AddNamed(list, "A");
    auto* b = AddNamed(list, "B");
    auto* c = AddNamed(list, "C");
    AddConnection(list, "R1", a->ID, b->ID);
    AddConnection(list, "R2", c->ID, a->ID);
    AddConnection(list, "R3", b->ID, c->ID);
    list.Log.clear();
    list.DeleteObject(a);
    EXPECT_EQ(list.Log, (Strings{"removed R1", "removed R2", "removed A"}));
    EXPECT_EQ(NamesOf(list), (Strings{"B", "C", "R3"}));
}

TEST(Deletion, ItemIsNeverItsOwnDependent) {
    HookList list;
    auto* a = AddNamed(list, "A");
    // A connection whose ends include its own identifier.
    auto* self = AddConnection(list, "Self", a->ID, 0);
    self->ChildID = self->ID;
    AddConnection(list, "OnSelf", self->ID, a->ID);
    list.Log.clear();
    list.DeleteObject(self);
    EXPECT_EQ(list.Log, (Strings{"removed OnSelf", "removed Self"}));
    EXPECT_EQ(NamesOf(list), (Strings{"A"}));
}

TEST(Deletion, AOIDDependents) {
    HookList list;
    auto* e = AddNamed(list, "E");
    auto* s1 = AddNamed(list, "Stand1");
    auto* s2 = AddNamed(list, "Stand2");
    AddNamed(list, "Other");
    s1->AOID = e->ID;
    s2->AOID = e->ID;
    AddConnection(list, "R", s1->ID, e->ID);
    list.Log.clear();
    list.DeleteObject(e);
    // R goes with E; then E is removed; then the objects standing for E.
    EXPECT_EQ(list.Log, (Strings{"removed R", "removed E", "removed Stand1", "removed Stand2"}));
    EXPECT_EQ(NamesOf(list), (Strings{"Other"}));
}

TEST(Deletion, DeleteWithoutParentAndChildLink) {
    HookList list;
    auto* e = AddNamed(list, "E");
    auto* f = AddNamed(list, "F");
    auto* sub = AddNamed(list, "Sub");
    sub->DeleteWithoutParentLink = true;
    auto* child = AddNamed(list, "Child");
    child->DeleteWithoutChildLink = true;
    auto* keep = AddNamed(list, "KeepsParent");
    keep->DeleteWithoutParentLink = true;
    AddConnection(list, "C1", sub->ID, e->ID);    // Sub is a parent end
    AddConnection(list, "C2", f->ID, child->ID);  // Child is a child end
    AddConnection(list, "C3", keep->ID, f->ID);   // KeepsParent stays a parent end

    list.Log.clear();
    list.DeleteObject(e);  // C1 goes; its own deletion finds Sub no longer a parent end
    EXPECT_EQ(list.Log, (Strings{"removed C1", "removed Sub", "removed E"}));

    list.Log.clear();
    list.DeleteObject(list.FindByName("C2"));  // Child is no longer a child end
    EXPECT_EQ(list.Log, (Strings{"removed C2", "removed Child"}));
    EXPECT_EQ(NamesOf(list), (Strings{"F", "KeepsParent", "C3"}));
}

TEST(Deletion, ChainedDependentsAndRefusals) {
    HookList list;
    auto* e = AddNamed(list, "E");
    auto* sub = AddNamed(list, "Sub");
    sub->DeleteWithoutChildLink = true;
    sub->DeleteWithoutParentLink = true;
    auto* g = AddNamed(list, "G");
    AddConnection(list, "SC", e->ID, sub->ID);
    AddConnection(list, "SC2", sub->ID, g->ID);
    list.Refuse = {"G"};
    auto* stand = AddNamed(list, "StandForSub");
    stand->AOID = sub->ID;
    list.Log.clear();
    list.DeleteObject(e);
    // SC goes; its deletion takes Sub (no child link left), whose deletion takes SC2 and the
    // object standing for Sub.
    EXPECT_EQ(list.Log,
              (Strings{"removed SC", "removed SC2", "removed Sub", "removed StandForSub", "removed E"}));
    EXPECT_EQ(NamesOf(list), (Strings{"G"}));

    // A refused dependent does not make the deletion loop forever.
    HookList l2;
    auto* x = AddNamed(l2, "X");
    AddConnection(l2, "Stubborn", x->ID, 0);
    l2.Refuse = {"Stubborn"};
    l2.DeleteObject(x);
    EXPECT_EQ(NamesOf(l2), (Strings{"Stubborn"}));
}

TEST(Deletion, ClearAndFreeAndForeignItems) {
    HookList list;
    AddNamed(list, "A");
    AddNamed(list, "B");
    TestObject stranger(nullptr);
    list.DeleteObject(&stranger);  // not in the list: nothing happens
    EXPECT_EQ(list.Count(), 2);
    list.ClearAndFree();
    EXPECT_EQ(list.Count(), 0);
}

// ---- ordering --------------------------------------------------------------------------------

namespace {

// The documented selection order over integer keys, literally: the first of equal
// smallest keys is exchanged into place. Items are named "...#n"; returns the n in order.
std::vector<int> ReferenceSelection(std::vector<std::pair<std::string, int>> items) {
    for (size_t i = 0; i < items.size(); ++i) {
        size_t best = i;
        for (size_t j = i + 1; j < items.size(); ++j)
            if (items[j].second < items[best].second) best = j;
        std::swap(items[i], items[best]);
    }
    std::vector<int> order;
    for (auto& it : items)
        order.push_back(std::stoi(it.first.substr(it.first.find('#') + 1)));
    return order;
}

std::vector<int> Order(const TVELNamedObjectsList& list) {
    std::vector<int> order;
    for (int i = 0; i < list.Count(); ++i) {
        const std::string n = list[i]->GetName();
        order.push_back(std::stoi(n.substr(n.find('#') + 1)));
    }
    return order;
}

}  // namespace

TEST(Ordering, SortByPosNRIsTheSelectionOrder) {
    // Duplicate keys: the exchanges of the selection order decide where equal keys end up.
    TVELNamedObjectsList list;
    const int keys[] = {3, 1, 3, 2, 1, 3, 0, 2};
    std::vector<std::pair<std::string, int>> ref;
    for (int i = 0; i < 8; ++i) {
        auto* o = AddNamed(list, "o#" + std::to_string(i));
        o->PosNR = keys[i];
        ref.emplace_back("o#" + std::to_string(i), keys[i]);
    }
    list.SortByPosNR();
    EXPECT_EQ(Order(list), ReferenceSelection(ref));
    // Keys 3,1,3,2,1,3,0,2: the exchanges carry item 0 behind item 2.
    EXPECT_EQ(Order(list), (std::vector<int>{6, 1, 4, 3, 7, 5, 0, 2}));
}

TEST(Ordering, SortByNameTakesTheLastOfEqualNames) {
    const char* stems[] = {"beta", "Alpha", "alpha", "BETA", "ALPHA", "gamma"};
    TVELNamedObjectsList list;
    for (int i = 0; i < 6; ++i)
        AddNamed(list, stems[i])->PosNR = i;  // PosNR tags the item
    list.SortByName();
    std::vector<int> got;
    for (int i = 0; i < list.Count(); ++i)
        got.push_back(list[i]->PosNR);
    EXPECT_EQ(got, (std::vector<int>{4, 2, 1, 0, 3, 5}));

    // The second variant keeps equal names in list order.
    TVELNamedObjectsList st;
    for (int i = 0; i < 6; ++i)
        AddNamed(st, stems[i])->PosNR = i;
    st.SortByNameStable();
    got.clear();
    for (int i = 0; i < st.Count(); ++i)
        got.push_back(st[i]->PosNR);
    EXPECT_EQ(got, (std::vector<int>{1, 2, 4, 0, 3, 5}));

    // Case-insensitive byte order: "_" sorts after the letters (compared upper-cased).
    TVELNamedObjectsList u;
    AddNamed(u, "a_b");
    AddNamed(u, "AZ");
    AddNamed(u, "ab");
    u.SortByName();
    EXPECT_EQ(NamesOf(u), (Strings{"ab", "AZ", "a_b"}));
}

TEST(Ordering, RandomizedAgainstReference) {
    std::mt19937 rng(7);
    for (int round = 0; round < 30; ++round) {
        const int n = 1 + static_cast<int>(rng() % 60);
        TVELNamedObjectsList byPos, byID, byName;
        std::vector<std::pair<std::string, int>> ref, refName;
        for (int i = 0; i < n; ++i) {
            const int key = static_cast<int>(rng() % 8);
            const std::string name = "o#" + std::to_string(i);
            AddNamed(byPos, name)->PosNR = key;
            AddNamed(byID, name, key);
            ref.emplace_back(name, key);
            // Names: a short stem with case variations, then the tag.
            std::string stem(1, static_cast<char>('a' + rng() % 3));
            if (rng() % 2) stem = UpperCase(stem);
            AddNamed(byName, stem)->PosNR = i;
            refName.emplace_back(stem, i);
        }
        byPos.SortByPosNR();
        byID.SortByID();
        EXPECT_EQ(Order(byPos), ReferenceSelection(ref));
        EXPECT_EQ(Order(byID), ReferenceSelection(ref));
        byName.SortByName();
        std::vector<int> got;
        for (int i = 0; i < byName.Count(); ++i)
            got.push_back(byName[i]->PosNR);
        // Reference: the last of equal smallest names (compared upper-cased) is exchanged in.
        std::vector<std::pair<std::string, int>> items = refName;
        for (size_t i = 0; i < items.size(); ++i) {
            size_t best = i;
            for (size_t j = i + 1; j < items.size(); ++j)
                if (UpperCase(items[j].first) <= UpperCase(items[best].first)) best = j;
            std::swap(items[i], items[best]);
        }
        std::vector<int> expected;
        for (auto& it : items)
            expected.push_back(it.second);
        EXPECT_EQ(got, expected);
    }
}

TEST(Ordering, TenThousandItemsWithManyEqualKeys) {
    TVELNamedObjectsList list;
    std::mt19937 rng(3);
    for (int i = 0; i < 10000; ++i) {
        auto* o = AddNamed(list, "N" + std::to_string(rng() % 500), static_cast<int32_t>(rng() % 20000));
        o->PosNR = static_cast<int32_t>(rng() % 100);  // many duplicates
    }
    list.SortByPosNR();
    list.SortByName();
    list.SortByID();
    for (int i = 1; i < list.Count(); ++i)
        ASSERT_LE(list[i - 1]->ID, list[i]->ID);
}

TEST(Ordering, MoveAndPosProperty) {
    TVELNamedObjectsList list;
    auto* a = AddNamed(list, "A");
    auto* b = AddNamed(list, "B");
    auto* c = AddNamed(list, "C");
    EXPECT_EQ(c->GetPropertyValue("Pos"), "2");
    c->SetPropertyValue("Pos", "-3");  // clamped to the front
    EXPECT_EQ(NamesOf(list), (Strings{"C", "A", "B"}));
    c->SetPropertyValue("pos", "99");  // clamped to the end
    EXPECT_EQ(NamesOf(list), (Strings{"A", "B", "C"}));
    a->SetPropertyValue("Pos", "1");
    EXPECT_EQ(NamesOf(list), (Strings{"B", "A", "C"}));
    c->SetPropertyValue("Pos", "99999999999");
    EXPECT_EQ(NamesOf(list), (Strings{"B", "A", "C"}));
    EXPECT_THROW(b->SetPropertyValue("Pos", "front"), EVELError);
    TestObject alone(nullptr);
    EXPECT_EQ(alone.GetPropertyValue("Pos"), "0");
    alone.SetPropertyValue("Pos", "3");  // no list: nothing happens
}

// ---- bulk operations -------------------------------------------------------------------------

TEST(Bulk, ConvertTextFormat) {
    EXPECT_EQ(ConvertTextFormat("cust_Order_x", 0), "cust_Order_x");
    EXPECT_EQ(ConvertTextFormat("cust_Order_x", 1), "CUST_ORDER_X");
    EXPECT_EQ(ConvertTextFormat("Cust_ORDER_X", 2), "cust_order_x");
    EXPECT_EQ(ConvertTextFormat("cUST_ORDER", 3), "Cust_order");
    EXPECT_EQ(ConvertTextFormat("cust_order_x_", 4), "cust_Order_X_");
    EXPECT_EQ(ConvertTextFormat("aBc__d", 4), "aBc__D");
    EXPECT_EQ(ConvertTextFormat("", 3), "");
    EXPECT_EQ(ConvertTextFormat("Mixed", 9), "Mixed");
}

TEST(Bulk, ChangeTextFormatRenamesNamesAndTemplates) {
    TVELNamedObjectsList list;
    auto* a = AddNamed(list, "cust_order");
    a->NameTemplate = "pk_%table%";
    auto* t = AddNamed<TemplateObject>(list, "ignored");
    t->NameTemplate = "ix_%x%";
    int changes = 0;
    a->OnChanged = [&](TVELNamedObject*) { ++changes; };

    list.ChangeTextFormat(0);
    EXPECT_EQ(a->Name, "cust_order");
    EXPECT_EQ(changes, 0);

    list.ChangeTextFormat(1);
    EXPECT_EQ(a->Name, "CUST_ORDER");
    EXPECT_EQ(a->NameTemplate, "PK_%TABLE%");
    EXPECT_EQ(changes, 2);  // name, then template
    // The template-driven object: SetName with the converted expanded name.
    EXPECT_EQ(t->Name, "IX_X");
    EXPECT_EQ(t->NameTemplate, "IX_%X%");

    list.ChangeTextFormat(3);
    EXPECT_EQ(a->Name, "Cust_order");
    list.ChangeTextFormat(4);
    EXPECT_EQ(a->Name, "Cust_Order");
    EXPECT_EQ(a->NameTemplate, "Pk_%table%");  // "%" follows the "_"
    list.ChangeTextFormat(2);
    EXPECT_EQ(a->Name, "cust_order");
}

TEST(Bulk, SelectionMarksAndClasses) {
    TVELNamedObjectsList list;
    AddNamed(list, "A");
    AddNamed<OtherObject>(list, "B");
    AddNamed(list, "C");
    list.SelectAll();
    EXPECT_EQ(list.SelectedCount(), 3);
    list.DeselectAll();
    EXPECT_EQ(list.SelectedCount(), 0);
    list[1]->Selected = true;
    std::vector<TVELNamedObject*> sel;
    list.CollectSelected(sel);
    ASSERT_EQ(sel.size(), 1u);
    EXPECT_EQ(sel[0]->GetName(), "B");
    list.SetAllMarked(true);
    EXPECT_TRUE(list[2]->Marked);
    EXPECT_EQ(list.CountOfClass<TestObject>(), 2);
    EXPECT_EQ(list.CountOfClass<TVELDatabaseObject>(), 3);
    EXPECT_EQ(list.FirstOfClass<OtherObject>()->GetName(), "B");
    EXPECT_EQ(list.FirstOfClass<TestObject>(1)->GetName(), "C");
    std::vector<TestObject*> tests;
    list.CollectOfClass(tests);
    EXPECT_EQ(tests.size(), 2u);
}

// ---- properties ------------------------------------------------------------------------------

TEST(Properties, Keys) {
    TVELDatabaseObjectsList list;
    auto* o = AddNamed(list, "Customer", 12);
    o->SetPropertyValue("objectname", " Client ");
    EXPECT_EQ(o->GetPropertyValue("ObjectName"), "Client");
    o->SetPropertyValue("PosNR", "7");
    EXPECT_EQ(o->PosNR, 7);
    EXPECT_EQ(o->GetPropertyValue("posnr"), "7");
    EXPECT_THROW(o->SetPropertyValue("PosNR", "seven"), EVELError);
    o->SetPropertyValue("ID", "44");
    EXPECT_EQ(o->ID, 44);
    EXPECT_EQ(list.FindByID(44), o);
    EXPECT_EQ(o->GetPropertyValue("ID"), "44");
    o->SetPropertyValue("ToDo", "check");
    EXPECT_EQ(o->GetPropertyValue("TODO"), "check");
    o->SetPropertyValue("NameTemplate", " T_%x% ");
    EXPECT_EQ(o->NameTemplate, "T_%x%");

    o->SetPropertyValue("Labels", "[a],b");
    EXPECT_EQ(o->Labels, (Strings{"a", "b"}));
    EXPECT_EQ(o->GetPropertyValue("Labels"), "a,b");
    o->SetPropertyValue("Labels", "x[1]y,]z[");
    EXPECT_EQ(o->Labels, (Strings{"x1y", "z"}));
    o->SetPropertyValue("Labels", "");
    EXPECT_TRUE(o->Labels.empty());

    EXPECT_EQ(o->GetPropertyValue("Marked"), "No");
    o->SetPropertyValue("marked", "yes");
    EXPECT_TRUE(o->Marked);
    EXPECT_EQ(o->GetPropertyValue("Marked"), "Yes");
    o->SetPropertyValue("Marked", "1");
    EXPECT_FALSE(o->Marked);
    o->SetPropertyValue("selected", "YES");
    EXPECT_TRUE(o->Selected);
    EXPECT_EQ(o->GetPropertyValue("Selected"), "Yes");
    o->SetPropertyValue("Selected", "No");
    EXPECT_FALSE(o->Selected);

    EXPECT_EQ(o->GetPropertyValue("ep_Color"), "");
    o->SetPropertyValue("ep_Color", "red");
    EXPECT_EQ(o->ExtraProps.NameAt(0), "ep_Color");
    EXPECT_EQ(o->GetPropertyValue("EP_COLOR"), "red");
    EXPECT_EQ(o->ExtraProps.GetValue("ep_color"), "red");

    o->SetPropertyValue("SchemaName", "dbo");
    o->SetPropertyValue("Comment", "the customers");
    o->SetPropertyValue("Note", "n");
    EXPECT_EQ(o->GetPropertyValue("schemaname"), "dbo");
    EXPECT_EQ(o->GetPropertyValue("Comment"), "the customers");
    EXPECT_EQ(o->GetPropertyValue("Note"), "n");
    EXPECT_EQ(o->GetPropertyValue("PhysObjectDesc"), "table");
    o->SetPropertyValue("PhysObjectDesc", "x");  // read-only
    EXPECT_EQ(o->GetPropertyValue("PhysObjectDesc"), "table");
    EXPECT_EQ(o->GetPropertyValue("GetNonQuotedQualifiedName"), "dbo.Client");
    EXPECT_EQ(o->GetPropertyValue("OwnerName"), "");
    EXPECT_EQ(o->GetPropertyValue("NoSuchKey"), "");
    o->SetPropertyValue("NoSuchKey", "x");  // ignored
    EXPECT_EQ(o->GetPropertyState("ObjectName"), 0);
    // Without a target definition the schema does not apply.
    EXPECT_EQ(o->GetPropertyState("SchemaName"), 2);
}

TEST(Properties, OwnerListAndOwnerName) {
    TVELDatabaseObjectsList top;
    auto* owner = AddNamed<TestOwner>(top, "Customer");
    auto member = std::make_unique<TestObject>(owner);
    member->SetName("Col");
    auto* m = static_cast<TestObject*>(owner->Members.Add(std::move(member)));
    auto* m2 = owner->Members.Add(std::make_unique<TestObject>(owner));
    EXPECT_EQ(m->OwnerList(), &owner->Members);
    EXPECT_EQ(owner->OwnerList(), &top);
    EXPECT_EQ(m->GetPropertyValue("OwnerName"), "Customer");
    EXPECT_EQ(m2->GetPropertyValue("Pos"), "1");
    m2->SetPropertyValue("Pos", "0");
    EXPECT_EQ(owner->Members[0], m2);
    // A member owned by the list itself, whose list is owned by the entity.
    auto* m3 = static_cast<TestObject*>(owner->Members.Add(std::make_unique<TestObject>(&owner->Members)));
    EXPECT_EQ(m3->OwnerList(), &owner->Members);
    EXPECT_EQ(m3->GetPropertyValue("OwnerName"), "Customer");
    // No dictionary at the root of these owners.
    EXPECT_EQ(m->RootDictionary(), nullptr);
    EXPECT_EQ(m3->GetDatabaseSettings(), nullptr);
    EXPECT_EQ(m3->GetDataTypes(), nullptr);
}

TEST(Properties, CodeObject) {
    TestCode v(nullptr);
    v.SetPropertyValue("Code", "CREATE VIEW");
    EXPECT_EQ(v.GetPropertyValue("code"), "CREATE VIEW");
    EXPECT_EQ(v.GetPropertyState("Comment"), 2);
    EXPECT_EQ(v.GetPropertyState("Code"), 0);
    TestObject o(nullptr);
    EXPECT_EQ(o.GetPropertyState("Comment"), 0);
}

TEST(Properties, QualifiedNamesWithoutTarget) {
    TestObject o(nullptr);
    o.SetName("Customer");
    EXPECT_EQ(o.GetQualifiedName(), "Customer");
    EXPECT_EQ(o.GetNonQuotedQualifiedName(), "Customer");
    o.SchemaName = "dbo";
    EXPECT_EQ(o.GetQualifiedName(), "dbo.Customer");
    EXPECT_EQ(o.GetNonQuotedQualifiedName(), "dbo.Customer");
}

// ---- Assign ----------------------------------------------------------------------------------

TEST(AssignTest, CopiesTheCommonFields) {
    TestCode src(nullptr);
    src.Name = "V1";
    src.NameTemplate = "T";
    src.PosNR = 3;
    src.OldID = 8;
    src.Unnamed = false;
    src.ID = 9;
    src.ToDo = "todo";
    src.Marked = true;
    src.Selected = true;
    src.ExtraProps.SetValue("ep_a", "1");
    src.Labels = {"x", "y"};
    src.AOID = 4;
    src.DeleteWithoutParentLink = true;
    src.DeleteWithoutChildLink = true;
    src.SchemaName = "s";
    src.Comment = "c";
    src.Note = "n";
    src.StateModified = true;
    src.DateModified = "2024-01-02";
    src.Code = "SELECT 1";
    src.Links = {reinterpret_cast<TDGObject*>(&src)};

    TestCode dst(nullptr);
    dst.Links = {reinterpret_cast<TDGObject*>(&dst)};
    dst.Assign(src, false);
    EXPECT_EQ(dst.Name, "V1");
    EXPECT_EQ(dst.NameTemplate, "T");
    EXPECT_EQ(dst.PosNR, 3);
    EXPECT_EQ(dst.OldID, 8);
    EXPECT_FALSE(dst.Unnamed);
    EXPECT_EQ(dst.ID, 9);
    EXPECT_EQ(dst.ToDo, "todo");
    EXPECT_TRUE(dst.Marked);
    EXPECT_TRUE(dst.Selected);
    EXPECT_EQ(dst.ExtraProps.GetValue("ep_a"), "1");
    EXPECT_EQ(dst.Labels, (Strings{"x", "y"}));
    EXPECT_EQ(dst.AOID, 4);
    EXPECT_TRUE(dst.DeleteWithoutParentLink);
    EXPECT_TRUE(dst.DeleteWithoutChildLink);
    EXPECT_EQ(dst.SchemaName, "s");
    EXPECT_EQ(dst.Comment, "c");
    EXPECT_EQ(dst.Note, "n");
    EXPECT_TRUE(dst.StateModified);
    EXPECT_EQ(dst.DateModified, "2024-01-02");
    EXPECT_EQ(dst.Code, "SELECT 1");
    EXPECT_TRUE(dst.Links.empty());
    EXPECT_EQ(dst.SaveToMarkup(), src.SaveToMarkup());

    TestCode withLinks(nullptr);
    withLinks.Assign(src, true);
    EXPECT_EQ(withLinks.Links, src.Links);

    // Between classes: the common fields, not the type number.
    TestObject plain(nullptr);
    plain.Assign(src);
    EXPECT_EQ(plain.Name, "V1");
    EXPECT_EQ(plain.ObjectType, otEntity);
}

// ---- markup ----------------------------------------------------------------------------------

TEST(Markup, OmissionRules) {
    TestObject o(nullptr);
    o.SetName("Customer");
    o.ID = 5;
    const std::string expected = "\r\n<NAME>Customer</NAME>\r\n<ID>5</ID>\r\n<POSNR>0</POSNR>"
                                 "\r\n<SCHEMA></SCHEMA>\r\n<DESC></DESC>\r\n<NOTE></NOTE>";
    EXPECT_EQ(o.SaveToMarkup(), expected);
    // A template that does not drive the name is not written.
    o.NameTemplate = "T_%x%";
    EXPECT_EQ(o.SaveToMarkup(), expected);
    EXPECT_EQ(o.SaveToMarkupElement(), "\r\n<ENT>" + expected + "\r\n</ENT>");
}

TEST(Markup, FullElementOrder) {
    TemplateObject o(nullptr);
    o.NameTemplate = "IX_%x%";
    o.ID = 7;
    o.ToDo = "a<b";
    o.AOID = 3;
    o.PosNR = -2;
    o.ExtraProps.SetValue("ep_Color", "blue");
    o.Labels = {"l1", "l2"};
    o.SchemaName = "dbo";
    o.Comment = "c";
    o.Note = "n";
    o.DateModified = "2025-03-04";
    EXPECT_EQ(o.SaveToMarkup(),
              "\r\n<NAME>IX_X</NAME>\r\n<NAMETEMPLATE>IX_%x%</NAMETEMPLATE>\r\n<ID>7</ID>"
              "\r\n<TODO>a&lt;b</TODO>\r\n<AOID>3</AOID>\r\n<POSNR>-2</POSNR>"
              "\r\n<EXTRAPROPS>\r\n<EP_COLOR>blue</EP_COLOR>\r\n</EXTRAPROPS>"
              "\r\n<LABELS>l1,l2</LABELS>\r\n<SCHEMA>dbo</SCHEMA>\r\n<DESC>c</DESC>\r\n<NOTE>n</NOTE>"
              "\r\n<DATEMOD>2025-03-04</DATEMOD>");
    EXPECT_EQ(o.SaveToMarkupElement().substr(0, 9), "\r\n<INDEX>");
}

TEST(Markup, RoundTrip) {
    TestCode src(nullptr);
    src.SetName("V & \"quoted\" <view>");
    src.ID = 12;
    src.ToDo = "fix & check";
    src.AOID = 4;
    src.PosNR = 9;
    src.ExtraProps.SetValue("ep_Color", "a<b");
    src.ExtraProps.SetValue("ep_size", "3");
    src.Labels = {"one", "two&three"};
    src.SchemaName = "s";
    src.Comment = "multi\r\nline";
    src.Note = "note";
    src.DateModified = "2025-01-01";
    src.Code = "SELECT 1\r\nFROM x";
    const std::string first = src.SaveToMarkup();

    TestCode copy(nullptr);
    EXPECT_TRUE(copy.LoadFromMarkup(first));
    EXPECT_EQ(copy.Name, src.Name);
    EXPECT_EQ(copy.ID, 12);
    EXPECT_EQ(copy.OldID, 12);
    EXPECT_EQ(copy.ToDo, "fix & check");
    EXPECT_EQ(copy.ExtraProps.GetValue("ep_color"), "a<b");
    EXPECT_EQ(copy.ExtraProps.NameAt(0), "EP_COLOR");
    EXPECT_EQ(copy.Labels, src.Labels);
    EXPECT_EQ(copy.Comment, "multi\r\nline");
    EXPECT_EQ(copy.Code, src.Code);
    EXPECT_EQ(copy.SaveToMarkup(), first);

    // Reloading an object replaces its fields (undo reloads objects from markup).
    TestCode again(nullptr);
    again.ExtraProps.SetValue("ep_old", "x");
    again.Labels = {"old"};
    again.LoadFromMarkup(WriteElement("NAME", "N"));
    EXPECT_EQ(again.ExtraProps.Count(), 0);
    EXPECT_TRUE(again.Labels.empty());
}

TEST(Markup, LoadDetails) {
    TestCode o(nullptr);
    int changed = 0;
    o.OnChanged = [&](TVELNamedObject*) { ++changed; };
    // Element order does not matter; the first occurrence wins.
    const std::string text = WriteElement("POSNR", "3") + WriteElement("NAME", "First") +
                             WriteElement("CODE", "a\nb\rc\r\nd") + WriteElement("name", "Second") +
                             WriteElement("LABELS", "p,q") + WriteElement("NAMETEMPLATE", "T&amp;") +
                             WriteElement("ID", "8");
    EXPECT_TRUE(o.LoadAndNotify(text));
    EXPECT_EQ(o.Name, "First");
    EXPECT_EQ(o.PosNR, 3);
    EXPECT_EQ(o.Code, "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(o.Labels, (Strings{"p", "q"}));
    EXPECT_EQ(o.NameTemplate, "T&amp;");
    EXPECT_EQ(o.ID, 8);
    EXPECT_EQ(changed, 2);  // SetName, then LoadAndNotify
    EXPECT_EQ(NormalizeLineBreaks("x\r\r\ny\n"), "x\r\n\r\ny\r\n");
}

// ---- validation ------------------------------------------------------------------------------

TEST(Validation, AddMessage) {
    TestObject o(nullptr);
    Collector c;
    o.AddMessage(mlError, "bad", c.Callback());
    ASSERT_EQ(c.Messages.size(), 1u);
    EXPECT_EQ(c.Messages[0].Sender, &o);
    EXPECT_EQ(c.Messages[0].Level, 3);
    EXPECT_EQ(c.Messages[0].Text, "bad");
    EXPECT_NO_THROW(o.AddMessage(mlWarning, "dropped", nullptr));
    EXPECT_NO_THROW(o.AddMessage(mlHint, "dropped", nullptr));
    try {
        o.AddMessage(mlError, "Model contains error(s).", nullptr);
        FAIL();
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Model contains error(s).");
    }
    EXPECT_TRUE(o.Validate(false, nullptr));
    EXPECT_TRUE(o.ValidatePropertyValue("ObjectName", "", nullptr));
}

TEST(Validation, ValidateNameMessages) {
    TVELDatabaseObjectsList list;
    auto* a = AddNamed(list, "Customer");
    auto* b = AddNamed(list, "customer");
    Collector c;
    EXPECT_FALSE(b->ValidateName("customer", "Index name", false, false, c.Callback(), 30, &list));
    EXPECT_EQ(c.Texts(), (Strings{"Index name \"customer\" is not unique."}));
    EXPECT_EQ(c.Messages[0].Level, 3);
    EXPECT_EQ(c.Messages[0].Sender, b);

    c.Messages.clear();
    EXPECT_TRUE(b->ValidateName("customer", "Index name", true, false, c.Callback(), 30, &list));
    EXPECT_TRUE(a->ValidateName("Other", "Index name", false, false, c.Callback(), -1, &list));
    EXPECT_TRUE(a->ValidateName("Customer", "Index name", false, false, c.Callback(), -1, nullptr));
    EXPECT_TRUE(c.Messages.empty());

    EXPECT_FALSE(a->ValidateName("  ", "Domain name", false, false, c.Callback(), -1, nullptr));
    EXPECT_EQ(c.Texts(), (Strings{"Domain name may not be empty."}));
    c.Messages.clear();
    EXPECT_TRUE(a->ValidateName("  ", "Domain name", false, true, c.Callback(), 0, &list));
    EXPECT_TRUE(c.Messages.empty());

    // The length limit applies to the part after the last ".".
    EXPECT_TRUE(a->ValidateName("dbo.Customer", "Entity name", false, false, c.Callback(), 8, nullptr));
    EXPECT_FALSE(a->ValidateName("dbo.Customers", "Entity name", false, false, c.Callback(), 8, nullptr));
    EXPECT_FALSE(a->ValidateName("a.b.Customers", "Entity name", false, false, c.Callback(), 8, nullptr));
    EXPECT_TRUE(a->ValidateName("Long.Name", "Entity name", false, false, c.Callback(), 4, nullptr));
    EXPECT_EQ(c.Texts(), (Strings{"Entity name \"dbo.Customers\" is too long. Max length is 8.",
                                  "Entity name \"a.b.Customers\" is too long. Max length is 8."}));
    c.Messages.clear();
    EXPECT_FALSE(a->ValidateName("X", "Trigger name", false, false, c.Callback(), 0, nullptr));
    EXPECT_EQ(c.Texts(), (Strings{"Trigger name \"X\" is too long. Max length is 0."}));

    // Every failing step reports; nothing stops at the first message.
    c.Messages.clear();
    EXPECT_FALSE(b->ValidateName("Customer", "Constraint name", false, false, c.Callback(), 3, &list));
    EXPECT_EQ(c.Texts(), (Strings{"Constraint name \"Customer\" is not unique.",
                                  "Constraint name \"Customer\" is too long. Max length is 3."}));

    // Without a callback the first error raises.
    EXPECT_THROW(b->ValidateName("Customer", "Index name", false, false, nullptr, -1, &list), EVELError);
    EXPECT_NO_THROW(b->ValidateName("Fine", "Index name", false, false, nullptr, -1, &list));
}

TEST(Validation, ValidateQualifiedName) {
    TVELDatabaseObjectsList list;
    auto* a = AddNamed(list, "Customer");
    a->SchemaName = "dbo";
    auto* b = AddNamed(list, "Customer");
    b->SchemaName = "sales";
    Collector c;
    // Same simple name, different schemas: unique as qualified names, not as names.
    EXPECT_TRUE(
        b->ValidateQualifiedName("sales.Customer", "Entity name", false, false, c.Callback(), 30, &list));
    EXPECT_TRUE(c.Messages.empty());
    EXPECT_FALSE(b->ValidateName("Customer", "Entity name", false, false, c.Callback(), 30, &list));
    c.Messages.clear();
    EXPECT_FALSE(
        b->ValidateQualifiedName("DBO.customer", "Entity name", false, false, c.Callback(), 30, &list));
    EXPECT_EQ(c.Texts(), (Strings{"Entity name \"DBO.customer\" is not unique."}));
    EXPECT_FALSE(list.IsUniqueQualifiedName("dbo.CUSTOMER", nullptr));
    EXPECT_TRUE(list.IsUniqueQualifiedName("dbo.CUSTOMER", a));
}

TEST(Validation, CheckUniqueQualifiedNamesReportsTheEarlierObjectOnce) {
    TVELDatabaseObjectsList list;
    auto* a = AddNamed(list, "Name");
    auto* b = AddNamed(list, "Other");
    auto* c1 = AddNamed(list, "NAME");
    auto* d = AddNamed(list, " name ");  // trimmed by SetName
    auto* e = AddNamed(list, "");        // empty: skipped
    auto* f = AddNamed(list, "");
    auto* g = AddNamed(list, "Other");
    g->SchemaName = "s";  // s.Other differs from Other
    (void)e;
    (void)f;
    Collector c;
    list.CheckUniqueQualifiedNames("Attribute name", c.Callback());
    ASSERT_EQ(c.Messages.size(), 3u);
    EXPECT_EQ(c.Messages[0].Sender, a);
    EXPECT_EQ(c.Messages[0].Text, "Attribute name \"Name\" is not unique.");
    EXPECT_EQ(c.Messages[1].Sender, c1);
    EXPECT_EQ(c.Messages[1].Text, "Attribute name \"NAME\" is not unique.");
    EXPECT_EQ(c.Messages[2].Sender, d);
    EXPECT_EQ(c.Messages[2].Text, "Attribute name \"name\" is not unique.");
    for (const auto& m : c.Messages)
        EXPECT_EQ(m.Level, 3);
    (void)b;
    EXPECT_THROW(list.CheckUniqueQualifiedNames("Name", nullptr), EVELError);
}

// ---- database object lists -------------------------------------------------------------------

TEST(DatabaseObjectsList, Lookups) {
    TVELDatabaseObjectsList list;
    auto* a = AddNamed(list, "Customer");
    a->SchemaName = "dbo";
    auto* b = AddNamed(list, "customer");
    b->SchemaName = "sales";
    auto* d = AddNamed<OtherObject>(list, "Money");
    auto* e = AddNamed(list, "Order");
    EXPECT_EQ(list.FindByQualifiedName("SALES.CUSTOMER"), b);
    EXPECT_EQ(list.FindByQualifiedName("customer"), nullptr);
    EXPECT_EQ(list.FindByQualifiedName("order"), e);
    EXPECT_EQ(list.FindByTypeAndName(otDomain, "MONEY"), d);
    EXPECT_EQ(list.FindByTypeAndName(otEntity, "Money"), nullptr);
    std::vector<TVELDatabaseObject*> objs;
    list.CollectOfType(otEntity, objs);
    EXPECT_EQ(objs.size(), 3u);
    Strings names;
    list.NamesOfType(otDomain, names);
    EXPECT_EQ(names, (Strings{"Money"}));
    objs.clear();
    list.CollectInSchema("dbo", objs);
    ASSERT_EQ(objs.size(), 1u);
    EXPECT_EQ(objs[0], a);
    objs.clear();
    list.CollectInSchema("DBO", objs);  // case-sensitive
    EXPECT_TRUE(objs.empty());

    objs.clear();
    list.DuplicateNames(objs);
    EXPECT_EQ(objs, (std::vector<TVELDatabaseObject*>{a, b}));
    names.clear();
    list.DisplayNames(names);
    EXPECT_EQ(names, (Strings{"Customer (dbo)", "customer (sales)", "Money", "Order"}));

    // FindSame: the same identifier and the same class.
    TestObject probe(nullptr);
    probe.ID = d->ID;
    EXPECT_EQ(list.FindSame(&probe), nullptr);
    OtherObject probe2(nullptr);
    probe2.ID = d->ID;
    EXPECT_EQ(list.FindSame(&probe2), d);

    list.SortByQualifiedName();
    names.clear();
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list.Object(i)->GetNonQuotedQualifiedName());
    EXPECT_EQ(names, (Strings{"dbo.Customer", "Money", "Order", "sales.customer"}));
}

// ---- scale -----------------------------------------------------------------------------------

TEST(Scale, LoadingAndLookingUpTenThousandObjects) {
    // Objects as a dictionary loads them: created, appended, loaded from markup (which sets
    // the identifier), in an order that is not sorted by identifier; lookups interleaved.
    std::vector<std::string> texts;
    for (int i = 0; i < 10000; ++i) {
        TestObject o(nullptr);
        o.SetName("Entity" + std::to_string(i));
        o.ID = 20000 - 2 * i;  // descending: binary search misses
        texts.push_back(o.SaveToMarkup());
    }
    TVELDatabaseObjectsList list;
    for (int i = 0; i < 10000; ++i) {
        auto* o = list.Add(std::make_unique<TestObject>(&list));
        o->LoadFromMarkup(texts[i]);
        ASSERT_EQ(list.FindByID(20000 - 2 * (i / 2)), list[i / 2]);
    }
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(list.FindByID(20000 - 2 * i), list[i]);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(list.FindByID(20001 - 2 * i), nullptr) << i;
    list.CheckLastID();
    EXPECT_EQ(list.LastID, 20000);
    list.SortByID();
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(list.FindByID(2 + 2 * i)->ID, 2 + 2 * i);
    EXPECT_EQ(list.MakeUniqueName("Entity", true, nullptr), "Entity10000");
    list.ClearAndFree();
    EXPECT_EQ(list.Count(), 0);
}

TEST(Scale, DeletingTenThousandObjects) {
    // Every deletion searches the list for dependents, so deleting all costs n passes.
    const int half = 2000;
    HookList list;
    for (int i = 0; i < half; ++i)
        AddNamed(list, "E" + std::to_string(i));
    for (int i = 0; i < half; ++i)
        AddConnection(list, "R" + std::to_string(i), 2 + i, 2 + (i + 1) % half);
    while (list.Count() > 0)
        list.DeleteObject(list[list.Count() - 1]);

    // Deleting an entity takes its two relationships with it.
    for (int i = 0; i < half; ++i)
        AddNamed(list, "E" + std::to_string(i), 2 + i);
    for (int i = 0; i < half; ++i)
        AddConnection(list, "R" + std::to_string(i), 2 + i, 2 + (i + 1) % half);
    list.DeleteObject(list[0]);
    EXPECT_EQ(list.Count(), 2 * half - 3);
    list.Log.clear();
    while (list.Count() > 0)
        list.DeleteObject(list[0]);
    EXPECT_EQ(list.Log.size(), static_cast<size_t>(2 * half - 3));
}
