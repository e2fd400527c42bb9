// Constraints and indexes: texts, use, names, validation, markup (with the older forms of
// index markup), automatic key indexes and foreign keys through relationships.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestMessages.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"

using namespace ardvin;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

// A relationship as far as entities see it: two ends and column pairs, set directly rather
// than by key propagation. (No relationship type number: the data dictionary takes objects of
// that type for its relationship class.)
class FakeRelationship : public TVELDatabaseObject, public TVELForeignKeySource {
public:
    explicit FakeRelationship(TVELPersistent* owner)
        : TVELDatabaseObject(owner), Key(std::make_unique<TVELConstraint>(this)) {
        Key->ID = 1;
        Key->ConstraintType = ctForeignKey;
        Key->Level = clTable;
    }
    VEL_DECLARE_CREATE(FakeRelationship)

    int32_t ParentID = -1, ChildID = -1;
    std::vector<std::pair<int32_t, int32_t>> Pairs;
    std::unique_ptr<TVELConstraint> Key;

    bool GetConnectionEnds(int32_t& parentID, int32_t& childID) const override {
        parentID = ParentID;
        childID = ChildID;
        return true;
    }
    int32_t ForeignKeySourceID() const override { return ID; }
    TVELEntity* ForeignKeyParent() const override { return End(ParentID); }
    TVELEntity* ForeignKeyChild() const override { return End(ChildID); }
    void ForeignKeyPairs(std::vector<std::pair<int32_t, int32_t>>& pairs) const override { pairs = Pairs; }
    TVELConstraint* ForeignKeyConstraint() const override { return Key.get(); }

private:
    TVELEntity* End(int32_t id) const {
        const TVELDataDictionary* dd = RootDictionary();
        return dd ? dynamic_cast<TVELEntity*>(dd->FindObjectByID(id)) : nullptr;
    }
};

class ConstraintsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.File("idx.def"),
                  "[general]\r\ndbmsname=Index Target\r\n"
                  "[namelengths]\r\nmaxconstraintnamelength=12\r\nmaxindexnamelength=12\r\n"
                  "[supported]\r\nenableindexexpressions=0\r\nenablepkconstraintoptions=1\r\n"
                  "enablechecktableconstraintoptions=1\r\npkclustering=CLUSTERED;NONCLUSTERED\r\n"
                  "[indexes]\r\nidxordercodes=;ASC;DESC\r\nidxcolumnordercodes=;ASC;DESC\r\n"
                  "idxtypecodes=;UNIQUE;BITMAP\r\nidxcasecodes=\r\n"
                  "idxcompressioncodes=NOCOMPRESS;COMPRESS\r\nidxclustering=;CLUSTERED\r\n");
        WriteFile(dir.File("noname.def"), "[general]\r\ndbmsname=Nameless Keys\r\n[supported]\r\n"
                                          "enablepkconstraintnames=0\r\nenableuniqueconstraintnames=0\r\n"
                                          "[indexes]\r\nidxcolumnordercodes=\r\n");
        const std::string types = "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1;1\r\n"
                                  "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n";
        WriteFile(dir.File("idx.typ"), types);
        WriteFile(dir.File("noname.typ"), types);
        TargetDatabases().Build(dir.Path());
        dd.SetTarget("idx");
    }

    TVELEntity* MakeEntity(const std::string& name, const std::vector<std::string>& columns) {
        auto* entity = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
        entity->SetName(name);
        for (const auto& column : columns)
            entity->AddAttribute()->SetName(column);
        return entity;
    }
    FakeRelationship* Relate(TVELEntity* parent, TVELEntity* child,
                             std::vector<std::pair<int32_t, int32_t>> pairs) {
        auto* rel = static_cast<FakeRelationship*>(dd.Add(std::make_unique<FakeRelationship>(&dd)));
        rel->SetID(dd.NewID());
        rel->ParentID = parent->ID;
        rel->ChildID = child->ID;
        rel->Pairs = std::move(pairs);
        return rel;
    }
    std::vector<std::string> Validate(TVELNamedObject& object) {
        return ardvin::test::ValidationMessages(object);
    }

    TempDir dir;
    TVELDataDictionary dd;
};

} // namespace

TEST_F(ConstraintsTest, TextsAndUseOfEveryType) {
    TVELEntity* e = MakeEntity("Orders", {"Id", "Name", "Code"});
    TVELAttribute* id = e->AttributeAt(0);
    TVELAttribute* code = e->AttributeAt(2);
    TVELConstraint* unique = e->AddConstraint(ctUnique, clTable);
    unique->AttributeIDs.Add(e->AttributeAt(1));
    unique->AttributeIDs.Add(code);
    EXPECT_EQ(unique->GetSQL(), "UNIQUE (Name, Code)");
    EXPECT_EQ(unique->GetDescription(), "UNIQUE (Name, Code)");
    e->AddToPrimaryKey(id);
    EXPECT_EQ(e->PrimaryKey->GetSQL(), "PRIMARY KEY (Id)");
    id->SetNotNull(true);
    EXPECT_EQ(id->NotNullConstraint()->GetSQL(), "NOT NULL");
    EXPECT_EQ(id->NotNullConstraint()->GetDescription(), "NOT NULL (Id)");
    code->SetDefaultValue("'X'");
    EXPECT_EQ(code->DefaultConstraint()->GetSQL(), "DEFAULT 'X'");
    EXPECT_EQ(code->DefaultConstraint()->GetDescription(), "Code DEFAULT 'X'");
    id->SetCheckValue("Id > 0");
    EXPECT_EQ(id->CheckConstraint()->GetSQL(), "CHECK ( Id > 0 )");
    EXPECT_EQ(id->CheckConstraint()->GetDescription(), "Id > 0");
    std::vector<std::string> lines;
    unique->Describe(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"2", "Unique", unique->GetName(), "UNIQUE (Name, Code)"}));

    // In use: keys need attributes, column values need text, table checks and uniques always.
    EXPECT_TRUE(unique->IsInUse());
    EXPECT_TRUE(e->PrimaryKey->IsInUse());
    EXPECT_FALSE(e->AttributeAt(1)->CheckConstraint()->IsInUse());
    EXPECT_FALSE(e->AttributeAt(1)->NotNullConstraint()->IsInUse());
    EXPECT_TRUE(id->NotNullConstraint()->IsInUse());
    TVELConstraint* tableCheck = e->AddConstraint(ctCheck, clTable);
    EXPECT_TRUE(tableCheck->IsInUse());
    EXPECT_FALSE(e->AddConstraint(ctUnknown, clTable)->IsInUse());
    e->RemoveFromPrimaryKey(id);
    EXPECT_FALSE(e->PrimaryKey->IsInUse());

    // A domain with its own check takes the attribute's check out of use; its default does not
    // exist, so the attribute's own default stays in use.
    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    domain->SetPropertyValue("CheckConstraint", "VALUE > 0");
    code->SetDomainID(domain->ID);
    EXPECT_EQ(code->CheckValue(), "VALUE > 0");
    EXPECT_FALSE(code->CheckConstraint()->IsInUse());
    EXPECT_TRUE(code->DefaultConstraint()->IsInUse());
    EXPECT_EQ(unique->GetDisplayName(), "Orders." + unique->GetName());
    EXPECT_EQ(code->DefaultConstraint()->GetDisplayName(), "Code.");
}

TEST_F(ConstraintsTest, NamesComeFromTemplatesUnlessTheTargetNamesNoSuchConstraint) {
    TVELEntity* e = MakeEntity("Orders", {"Id", "Name", "Code"});
    EXPECT_EQ(e->GetPropertyValue("PKConstraintName"), ""); // no key attribute yet
    e->SetPropertyValue("PKNameTemplate", "PK_%tablename%");
    e->AddToPrimaryKey(e->AttributeAt(0));
    EXPECT_EQ(e->PrimaryKey->GetName(), "PK_Orders");
    EXPECT_EQ(e->GetPropertyValue("PKConstraintName"), "PK_Orders");
    TVELConstraint* unique = e->AddConstraint(ctUnique, clTable);
    unique->AttributeIDs.Add(e->AttributeAt(1));
    unique->AttributeIDs.Add(e->AttributeAt(2));
    unique->SetPropertyValue("UniqueConstraintNameTemplate", "UQ_%ENTITYNAME%_%columns%");
    EXPECT_EQ(unique->GetName(), "UQ_Orders_Name_Code");
    EXPECT_EQ(unique->GetPropertyValue("UniqueConstraintValue"), "Name, Code");
    EXPECT_EQ(unique->GetPropertyValue("CheckConstraintValue"), ""); // a key of another type

    // The table constraints and the primary key share one name space.
    EXPECT_FALSE(e->Constraints.IsUniqueName("pk_orders", nullptr));
    EXPECT_TRUE(e->Constraints.IsUniqueName("PK_Orders", e->PrimaryKey.get()));
    TVELConstraint* check = e->AddConstraint(ctCheck, clTable);
    check->ID = unique->ID;
    EXPECT_EQ(e->Constraints.FindSame(check), check); // same identifier, but the type decides
    check->ID = 99;
    check->NameFromTemplate = false; // a fixed name: saved without a template
    check->SetName("CK_Orders");

    TVELDataDictionary other;
    other.SetTarget("noname");
    other.LoadFromMarkup(ReplaceAll(dd.SaveToMarkup(), "<DBID>idx</DBID>", "<DBID>noname</DBID>"));
    auto* copy = dynamic_cast<TVELEntity*>(other.FindObjectByID(e->ID));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->PrimaryKey->NameTemplate, "PK_%tablename%");
    EXPECT_EQ(copy->PrimaryKey->GetName(), "");
    EXPECT_EQ(copy->ConstraintAt(0)->GetName(), "");
    EXPECT_EQ(copy->ConstraintAt(1)->GetName(), "CK_Orders"); // check constraints keep their names
    EXPECT_FALSE(copy->ConstraintAt(1)->NameFromTemplate);
    EXPECT_TRUE(copy->PrimaryKey->NameFromTemplate);
}

TEST_F(ConstraintsTest, ValidationReportsAndRepairs) {
    TVELEntity* e = MakeEntity("Orders", {"Id", "Name", "Code"});
    TVELConstraint* unique = e->AddConstraint(ctUnique, clTable);
    unique->ConstraintOptions = "USING INDEX";
    EXPECT_EQ(Validate(*unique),
              (std::vector<std::string>{"Error: Unique constraint not linked to an attribute."}));
    EXPECT_EQ(unique->ConstraintOptions, ""); // unique constraints take no options here

    TVELConstraint* check = e->AddConstraint(ctCheck, clTable);
    check->ConstraintOptions = "NOVALIDATE";
    EXPECT_EQ(Validate(*check),
              (std::vector<std::string>{"Error: Check constraint not linked to an attribute.",
                                        "Error: Check constraint has no check."}));
    EXPECT_EQ(check->ConstraintOptions, "NOVALIDATE");
    EXPECT_THROW(check->Validate(true, nullptr), EVELError); // errors raise without a callback

    unique->AttributeIDs.Add(e->AttributeAt(1));
    unique->NameTemplate = "UQ_%tablename%_LONG";
    EXPECT_EQ(Validate(*unique),
              (std::vector<std::string>{
                  "Error: Constraint name \"UQ_Orders_LONG\" is too long. Max length is 12."}));

    // A column check without a value is not in use and not validated at all.
    TVELConstraint* columnCheck = e->AttributeAt(2)->CheckConstraint();
    columnCheck->NameTemplate = "CK_%tablename%_MUCH_TOO_LONG";
    EXPECT_TRUE(Validate(*columnCheck).empty());

    e->AddToPrimaryKey(e->AttributeAt(0));
    e->PrimaryKey->PKClustering = "HEAP";
    e->PrimaryKey->ConstraintOptions = "ENABLE";
    EXPECT_TRUE(Validate(*e->PrimaryKey).empty());
    EXPECT_EQ(e->PrimaryKey->PKClustering, "");
    EXPECT_EQ(e->PrimaryKey->ConstraintOptions, "ENABLE");
    e->PrimaryKey->PKClustering = "NONCLUSTERED";
    Validate(*e->PrimaryKey);
    EXPECT_EQ(e->PrimaryKey->PKClustering, "NONCLUSTERED");
    e->AttributeAt(0)->SetNotNull(true);
    e->AttributeAt(0)->NotNullConstraint()->ConstraintOptions = "DEFERRABLE";
    Validate(*e->AttributeAt(0)->NotNullConstraint());
    EXPECT_EQ(e->AttributeAt(0)->NotNullConstraint()->ConstraintOptions, "");

    // A table check lists the attributes its expression names once the entity is checked.
    check->Value = "id > 0 AND NAME <> ''";
    std::vector<int32_t> ids;
    EXPECT_TRUE(check->CheckedAttributes(ids));
    EXPECT_EQ(ids, (std::vector<int32_t>{e->AttributeAt(0)->ID, e->AttributeAt(1)->ID}));
    Validate(*e);
    EXPECT_EQ(check->AttributeIDs.IDs(), ids);
}

TEST_F(ConstraintsTest, IndexDefaultsPropertiesAndMarkup) {
    TVELEntity* e = MakeEntity("Orders", {"Id", "Name"});
    TVELIndex* index = e->AddIndex();
    EXPECT_EQ(index->ID, 2);
    EXPECT_TRUE(index->NameFromTemplate);
    EXPECT_EQ(index->IndexType, ""); // the first entry of ";UNIQUE;BITMAP"
    EXPECT_EQ(index->Compression, "NOCOMPRESS");
    EXPECT_EQ(index->CaseProp, "");

    index->NameTemplate = "IX_%tablename%";
    index->IndexType = "BITMAP";
    index->Compression = "COMPRESS";
    index->Clustering = "CLUSTERED";
    index->IndexOptions = "TABLESPACE <big> & \"fast\"";
    index->RelationshipID = 7;
    index->AutoIndexType = ikForeignKey;
    index->AddColumn(e->AttributeAt(0))->SortOption = "DESC";
    index->AddExpressionColumn("UPPER(Name)");
    EXPECT_EQ(index->GetName(), "IX_Orders");
    EXPECT_EQ(index->GetDisplayName(), "Orders.IX_Orders");
    EXPECT_EQ(index->GetPropertyValue("IndexColumns"), "Id, UPPER(Name)");
    index->Column(0)->SetPropertyValue("indexcolumn", "LOWER(x)"); // only expressions are edited
    index->Column(1)->SetPropertyValue("indexcolumn", "LOWER(Name)");
    EXPECT_EQ(index->Column(0)->GetPropertyValue("indexcolumn"), "Id");
    EXPECT_EQ(index->Column(1)->GetPropertyValue("indexcolumn"), "LOWER(Name)");
    index->SetPropertyValue("IndexName", "IX_Main");
    EXPECT_EQ(index->NameTemplate, "IX_Main");

    const std::string saved = index->SaveToMarkup();
    EXPECT_EQ(saved.find("<CASE>"), std::string::npos);
    EXPECT_EQ(saved.find("<INDEXSORTOPTION>"), std::string::npos);
    EXPECT_NE(saved.find("<RELID>7</RELID>\r\n<AUTOIDXTYPE>2</AUTOIDXTYPE>"), std::string::npos);
    EXPECT_NE(saved.find("<IDXCOLATTRID>" + std::to_string(e->AttributeAt(0)->ID) + "</IDXCOLATTRID>"),
              std::string::npos);
    EXPECT_EQ(saved.find("<IDXCOLATTRID>-1"), std::string::npos);
    TVELIndex* back = e->AddIndex(false);
    ASSERT_TRUE(back->LoadFromMarkup(saved));
    EXPECT_EQ(back->SaveToMarkup(), saved);
    EXPECT_EQ(back->IndexKind, ikForeignKey); // the kind of an automatic index survives a reload
    EXPECT_TRUE(back->Column(1)->IsExpression);
    EXPECT_FALSE(back->Column(0)->IsExpression);
}

TEST_F(ConstraintsTest, OlderIndexMarkupIsConverted) {
    TVELEntity* e = MakeEntity("Orders", {"Id", "Name"});
    const std::string older =
        WriteElement("NAME", "IX_Old") + WriteElement("ID", "4") + WriteElement("INDEXTYPE", "WEIRD") +
        WriteElement("INDEXSORTOPTION", "DESC") +
        WrapSection("ATTRIBUTEIDS", WriteElement("ATTRIBUTEID", "2") + WriteElement("ATTRIBUTEID", "3")) +
        WrapSection("IDXCOLS", WrapSection("IDXCOL", WriteElement("IDXCOLEXP", "UPPER(Name)") +
                                                         WriteElement("COLSORTOPT", "ASC")));
    TVELIndex* index = e->AddIndex(false);
    index->LoadFromMarkup(older);
    EXPECT_EQ(index->NameTemplate, "IX_Old");
    EXPECT_EQ(index->GetName(), "IX_Old");
    EXPECT_EQ(index->IndexType, "");             // not in the target's list: its first entry
    EXPECT_EQ(index->Compression, "NOCOMPRESS"); // likewise for a value the file lacks
    ASSERT_EQ(index->Columns.Count(), 3);
    EXPECT_EQ(index->Column(0)->AttributeID, 2);
    EXPECT_EQ(index->Column(1)->AttributeID, 3);
    EXPECT_TRUE(index->Column(2)->IsExpression); // no IDXCOLATTRID: an expression
    // The index-level sort option moved to the columns that had none.
    EXPECT_EQ(index->IndexSortOption, "");
    EXPECT_EQ(index->Column(0)->SortOption, "DESC");
    EXPECT_EQ(index->Column(2)->SortOption, "ASC");

    // A target without column sort options keeps the option on the index.
    TVELDataDictionary other;
    other.SetTarget("noname");
    auto* entity = static_cast<TVELEntity*>(other.CreateObject(otEntity, true));
    TVELIndex* kept = entity->AddIndex(false);
    kept->LoadFromMarkup(older);
    EXPECT_EQ(kept->IndexSortOption, "DESC");
    EXPECT_EQ(kept->Column(0)->SortOption, "");
}

TEST_F(ConstraintsTest, IndexValidationRepairsWhatItReports) {
    TVELEntity* e = MakeEntity("Orders", {"Id", "Name"});
    TVELIndex* index = e->AddIndex();
    index->AddColumn(e->AttributeAt(0));
    index->AddExpressionColumn("UPPER(Name)");
    index->AddColumn(nullptr)->AttributeID = 99;
    index->Column(2)->IsExpression = false;
    index->IndexType = "HASH";
    index->IndexSortOption = "RANDOM";
    index->Clustering = "WEIRD";
    index->Compression = "";
    EXPECT_EQ(Validate(*index),
              (std::vector<std::string>{
                  "Error: Index name may not be empty.",
                  "Error: Index expressions (\"UPPER(Name)\") not supported. Index expression column will be "
                  "deleted.",
                  "Error: Unknown attribute with id \"99\" used in index. Attribute removed from index.",
                  "Error: Unknown index type in index."}));
    ASSERT_EQ(index->Columns.Count(), 1);
    EXPECT_EQ(index->Column(0)->AttributeID, e->AttributeAt(0)->ID);
    EXPECT_EQ(index->IndexType, "");
    EXPECT_EQ(index->IndexSortOption, "");
    EXPECT_EQ(index->Clustering, "");
    EXPECT_EQ(index->Compression, "NOCOMPRESS");

    TVELIndex* empty = e->AddIndex();
    empty->NameTemplate = "IX_Empty";
    EXPECT_EQ(Validate(*empty), (std::vector<std::string>{"Error: Index has no columns defined."}));
    empty->NameTemplate = "IX_%tablename%_TOO_LONG";
    empty->AddColumn(e->AttributeAt(1));
    EXPECT_EQ(Validate(*empty),
              (std::vector<std::string>{
                  "Error: Index name \"IX_Orders_TOO_LONG\" is too long. Max length is 12."}));

    // Deleting an attribute takes it out of every index and constraint.
    TVELConstraint* unique = e->AddConstraint(ctUnique, clTable);
    unique->AttributeIDs.Add(e->AttributeAt(1));
    e->DeleteMember(e->AttributeAt(1));
    EXPECT_EQ(empty->Columns.Count(), 0);
    EXPECT_TRUE(unique->AttributeIDs.Empty());
}

TEST_F(ConstraintsTest, AutomaticKeyIndexes) {
    TVELEntity* customer = MakeEntity("Customer", {"Id", "Code"});
    TVELEntity* order = MakeEntity("Order", {"Id", "CustomerId", "Other"});
    EXPECT_EQ(order->CreatePrimaryKeyIndex(), nullptr); // no key yet
    customer->AddToPrimaryKey(customer->AttributeAt(0));
    order->AddToPrimaryKey(order->AttributeAt(0));
    TVELIndex* pk = order->CreatePrimaryKeyIndex();
    ASSERT_NE(pk, nullptr);
    EXPECT_EQ(pk->IndexType, "UNIQUE");
    EXPECT_EQ(pk->IndexKind, ikPrimaryKey);
    EXPECT_TRUE(pk->HasColumns({order->AttributeAt(0)}));

    FakeRelationship* rel =
        Relate(customer, order, {{customer->AttributeAt(0)->ID, order->AttributeAt(1)->ID}});
    TVELIndex* fk = order->CreateForeignKeyIndex(*rel);
    ASSERT_NE(fk, nullptr);
    EXPECT_EQ(fk->IndexType, "");
    EXPECT_EQ(fk->IndexKind, ikForeignKey);
    EXPECT_EQ(fk->RelationshipID, rel->ID);
    EXPECT_TRUE(fk->HasColumns({order->AttributeAt(1)}));
    // A foreign key that is the whole primary key needs no index of its own.
    FakeRelationship* onKey =
        Relate(customer, order, {{customer->AttributeAt(0)->ID, order->AttributeAt(0)->ID}});
    EXPECT_EQ(order->CreateForeignKeyIndex(*onKey), nullptr);

    // Refreshing renews the index of every relationship, keeping its settings on request.
    fk->NameTemplate = "FK_IX";
    fk->Clustering = "CLUSTERED";
    fk->IndexOptions = "LOCAL";
    const int32_t oldID = fk->ID;
    order->RefreshForeignKeyIndexes(true);
    std::vector<TVELIndex*> fks;
    order->IndexesOfKind(ikForeignKey, fks);
    ASSERT_EQ(fks.size(), 1u);
    EXPECT_NE(fks[0]->ID, oldID); // a new index
    EXPECT_EQ(fks[0]->NameTemplate, "FK_IX");
    EXPECT_EQ(fks[0]->Clustering, "CLUSTERED");
    EXPECT_EQ(fks[0]->IndexOptions, "LOCAL");
    order->RefreshForeignKeyIndexes(false);
    fks.clear();
    order->IndexesOfKind(ikForeignKey, fks);
    ASSERT_EQ(fks.size(), 1u);
    EXPECT_EQ(fks[0]->NameTemplate, "");
    dd.DeleteObject(rel);
    order->RefreshForeignKeyIndexes(true);
    fks.clear();
    order->IndexesOfKind(ikForeignKey, fks);
    EXPECT_TRUE(fks.empty());

    // An alternate key: parent attributes that are not the parent's primary key.
    FakeRelationship* byCode =
        Relate(customer, order, {{customer->AttributeAt(1)->ID, order->AttributeAt(2)->ID}});
    TVELIndex* ak = customer->CreateAlternateKeyIndex(*byCode);
    ASSERT_NE(ak, nullptr);
    EXPECT_EQ(ak->IndexType, "UNIQUE");
    EXPECT_EQ(ak->IndexKind, ikAlternateKey);
    EXPECT_TRUE(ak->HasColumns({customer->AttributeAt(1)}));
    EXPECT_EQ(customer->CreateAlternateKeyIndex(*onKey), nullptr);
}

TEST_F(ConstraintsTest, ForeignKeysThroughRelationships) {
    TVELEntity* customer = MakeEntity("Customer", {"Id"});
    TVELEntity* order = MakeEntity("Order", {"Id", "CustomerId", "Other"});
    customer->AddToPrimaryKey(customer->AttributeAt(0));
    order->AddToPrimaryKey(order->AttributeAt(0));
    order->PrimaryKey->NameTemplate = "PK_%tablename%";
    FakeRelationship* rel =
        Relate(customer, order, {{customer->AttributeAt(0)->ID, order->AttributeAt(1)->ID}});
    rel->Key->NameTemplate = "FK_%tablename%_%columns%";

    EXPECT_EQ(rel->Key->GetSQL(), "FOREIGN KEY (CustomerId) REFERENCES Customer (Id)");
    EXPECT_EQ(rel->Key->GetDescription(), "FOREIGN KEY (CustomerId) REFERENCES Customer(Id)");
    EXPECT_EQ(rel->Key->GetName(), "FK_Order_CustomerId");
    EXPECT_EQ(rel->Key->GetDisplayName(), "Order.FK_Order_CustomerId");
    EXPECT_EQ(rel->Key->GetEntity(), order);
    EXPECT_TRUE(rel->Key->IsInUse());
    EXPECT_EQ(order->ForeignKeyConstraints(), (std::vector<TVELConstraint*>{rel->Key.get()}));
    EXPECT_TRUE(customer->ForeignKeyConstraints().empty());
    const std::vector<TVELConstraint*>& all = order->AllConstraints();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], order->PrimaryKey.get());
    EXPECT_EQ(all.back(), rel->Key.get());

    TVELAttribute* id = order->AttributeAt(0);
    TVELAttribute* customerId = order->AttributeAt(1);
    EXPECT_EQ(id->GetPropertyValue("Key"), "(PK)");
    EXPECT_EQ(customerId->GetPropertyValue("Key"), "(FK)");
    EXPECT_EQ(order->AttributeAt(2)->GetPropertyValue("Key"), "");
    EXPECT_TRUE(customerId->IsForeignKey());
    EXPECT_EQ(customerId->GetPropertyValue("RefersTo"), "Id");
    customerId->SetPrimaryKey(true);
    EXPECT_EQ(customerId->GetPropertyValue("Key"), "(PK,FK)");

    // The same answers inside the whole-model check, where they come from caches.
    int messages = 0;
    dd.OnMessage = [&messages](TVELNamedObject*, int, const std::string&) { ++messages; };
    dd.CheckModel();
    EXPECT_EQ(customerId->GetPropertyValue("Key"), "(PK,FK)");

    // Deleting the parent deletes the relationship with it.
    dd.DeleteObject(customer);
    EXPECT_EQ(dd.Count(), 1);
    EXPECT_EQ(customerId->GetPropertyValue("Key"), "(PK)");
}

TEST_F(ConstraintsTest, IndexNamesAreUniqueAcrossTheModel) {
    for (const char* name : {"Orders", "Items"}) {
        TVELEntity* e = MakeEntity(name, {"Id"});
        e->AddToPrimaryKey(e->AttributeAt(0));
        e->AttributeAt(0)->SetNotNull(true);
        TVELIndex* index = e->AddIndex();
        index->NameTemplate = "IX_Same";
        index->AddColumn(e->AttributeAt(0));
    }
    std::vector<std::string> messages;
    dd.OnMessage = ardvin::test::MessageCollector(messages);
    dd.CheckModel();
    EXPECT_EQ(messages, (std::vector<std::string>{"Error: Index name \"IX_Same\" is not unique.",
                                                  "Error: Index name \"IX_Same\" is not unique."}));
}
