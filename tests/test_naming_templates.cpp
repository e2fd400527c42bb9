#include <gtest/gtest.h>

#include "TestMessages.h"
#include "TestModelBuilder.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zNamingUtils.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

// "names" quotes with square brackets, has schemas, and allows constraint names of at most
// 12 characters.
class NamingTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.File("names.def"), "[general]\r\ndbmsname=Names Target\r\n"
                                         "[scriptelements]\r\nDELIMITERDDLBEGIN=[\r\nDELIMITERDDLEND=]\r\n"
                                         "[namelengths]\r\nmaxconstraintnamelength=12\r\nmaxindexnamelength=12\r\n"
                                         "[supported]\r\nenableschemas=1\r\nenablesequences=1\r\n"
                                         "enableviews=1\r\nenabletriggers=1\r\n");
        WriteFile(dir.File("names.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n");
        TargetDatabases().Build(dir.Path());
        dd.SetTarget("names");
    }

    TVELEntity* Table(const std::string& name, std::initializer_list<const char*> columns) {
        TVELEntity* entity = ardvin::test::NewTable(dd, name);
        for (const char* column : columns) entity->AddAttribute(true)->SetName(column);
        return entity;
    }

    TVELRelationship* Relate(TVELEntity* parent, TVELEntity* child) { return ardvin::test::Relate(dd, parent, child); }

    TempDir dir;
    TVELDataDictionary dd;
};

} // namespace

TEST_F(NamingTest, TablesKnowTheirNameFormsAndLeaveOtherPlaceholders) {
    TVELEntity* orders = Table("Orders", {"Id"});
    orders->SchemaName = "sales";
    orders->SetAbbreviation("ORD");
    EXPECT_EQ(ExpandNameTemplate("PK_%TABLE%", *orders), "PK_Orders");
    EXPECT_EQ(ExpandNameTemplate("%tablename%|%quotedqualifiedtablename%|%nonquotedqualifiedtablename%|"
                                 "%quotedsimpletablename%|%nonquotedsimpletablename%|%tableabb%|%TableAbbreviation%",
                                 *orders),
              "Orders|[sales].[Orders]|sales.Orders|[Orders]|Orders|ORD|ORD");
    // Placeholders of other kinds, texts without placeholders and stray "%" stay as they are.
    EXPECT_EQ(ExpandNameTemplate("%viewname%_%column%_%counter%", *orders), "%viewname%_%column%_%counter%");
    EXPECT_EQ(ExpandNameTemplate("NO_PLACEHOLDER", *orders), "NO_PLACEHOLDER");
    EXPECT_EQ(ExpandNameTemplate("100%", *orders), "100%");
    EXPECT_EQ(ExpandNameTemplate("a%b%table%x", *orders), "a%bOrdersx");
    EXPECT_EQ(ExpandNameTemplate("%table%%table%", *orders), "OrdersOrders");
    // A value is not searched for placeholders again.
    orders->SetName("T%tablename%");
    EXPECT_EQ(ExpandNameTemplate("%table%", *orders), "T%tablename%");
    // A table named by a template of its own names itself by its stored name, not recursively.
    orders->SetName("Orders");
    orders->NameFromTemplate = true;
    orders->NameTemplate = "X_%table%";
    EXPECT_EQ(orders->GetName(), "X_Orders");
}

TEST_F(NamingTest, ColumnsIndexesAndConstraintsCountWithinTheirTable) {
    TVELEntity* orders = Table("Orders", {"Id", "Code", "Name"});
    orders->SetAbbreviation("ORD");
    TVELAttribute* code = orders->AttributeAt(1);
    EXPECT_EQ(ExpandNameTemplate("%column%|%COLUMNNAME%|%counter%|%table%|%tableabb%|%quotedsimpletablename%", *code),
              "Code|Code|2|Orders|ORD|[Orders]");

    // Indexes: counter among the table's indexes, the first column, empty without columns.
    TVELIndex* first = orders->AddIndex(true);
    first->AddColumn(orders->AttributeAt(2));
    first->AddColumn(code);
    TVELIndex* second = orders->AddIndex(true);
    second->NameTemplate = "IDX_%table%_%counter%";
    EXPECT_EQ(second->GetName(), "IDX_Orders_2");
    EXPECT_EQ(ExpandNameTemplate("IX_%column%_%counter%", *first), "IX_Name_1");
    EXPECT_EQ(ExpandNameTemplate("IX_%table%_%column%", *second), "IX_Orders_");
    // The table placeholders of an index come without quote characters.
    orders->SetName("[Ord\"ers]");
    EXPECT_EQ(ExpandNameTemplate("%table%/%tablename%", *first), "Orders/Orders");
    EXPECT_EQ(ExpandNameTemplate("%table%", *code), "[Ord\"ers]");
    orders->SetName("Orders");

    // Table constraints count among the table's constraints; the primary key counts 1.
    TVELConstraint* unique = orders->AddConstraint(ctUnique, clTable);
    TVELConstraint* check = orders->AddConstraint(ctCheck, clTable);
    unique->NameTemplate = "UQ_%table%_%counter%";
    check->NameTemplate = "CK_%tableabb%_%counter%_%column%";
    EXPECT_EQ(unique->GetName(), "UQ_Orders_1");
    EXPECT_EQ(check->GetName(), "CK_ORD_2_%column%");
    orders->PrimaryKey->NameTemplate = "PK_%table%_%counter%";
    EXPECT_EQ(orders->PrimaryKey->GetName(), "PK_Orders_1");

    // Column constraints take the placeholders of their column.
    code->SetNotNull(true);
    code->NotNullConstraint()->NameTemplate = "NN_%table%_%column%_%counter%";
    EXPECT_EQ(code->NotNullConstraint()->GetName(), "NN_Orders_Code_2");

    // Computed names follow renames of the objects they are made from.
    orders->SetName("Invoices");
    code->SetName("Ref");
    EXPECT_EQ(code->NotNullConstraint()->GetName(), "NN_Invoices_Ref_2");
    EXPECT_EQ(second->GetName(), "IDX_Invoices_2");
}

TEST_F(NamingTest, RelationshipsAndForeignKeysKnowBothEnds) {
    TVELEntity* customer = Table("Customer", {"CustNo"});
    customer->AttributeAt(0)->SetPrimaryKey(true);
    customer->SetAbbreviation("CU");
    customer->SchemaName = "crm";
    TVELEntity* shop = Table("Shop", {"ShopNo"});
    shop->AttributeAt(0)->SetPrimaryKey(true);
    TVELEntity* order = Table("Order", {"OrderNo"});
    order->SetAbbreviation("OR");
    TVELRelationship* byCustomer = Relate(customer, order);
    TVELRelationship* byShop = Relate(shop, order);
    EXPECT_EQ(byCustomer->GetName(), "Customer_Order"); // the default template

    byShop->NameFromTemplate = false;
    byShop->SetName("\"sold at\"");
    TVELConstraint* key = byShop->FKConstraint.get();
    EXPECT_EQ(ExpandNameTemplate("%relname%|%relationshipname%|%quotedsimplerelname%|%nonquotedqualifiedrelname%", *key),
              "sold at|sold at|[sold at]|sold at");
    EXPECT_EQ(ExpandNameTemplate("%parent%|%parenttablename%|%parentquotedqualifiedtablename%|"
                                 "%parentnonquotedsimpletablename%|%parentabb%|%parentcolumn%",
                                 *byCustomer->FKConstraint),
              "Customer|Customer|[crm].[Customer]|Customer|CU|CustNo");
    EXPECT_EQ(ExpandNameTemplate("%child%|%childtablename%|%childtableabbreviation%|%childabb%|%childcolumn%",
                                 *byCustomer),
              "Order|Order|OR|OR|CustNo");
    // The counter is the position among the relationships into the same child.
    EXPECT_EQ(ExpandNameTemplate("FK_%child%_%counter%", *byCustomer), "FK_Order_1");
    EXPECT_EQ(ExpandNameTemplate("FK_%child%_%counter%", *key), "FK_Order_2");
    // Table and column placeholders are not the relationship's; %parenttable% is no placeholder.
    EXPECT_EQ(ExpandNameTemplate("%table%_%column%_%parenttable%", *key), "%table%_%column%_%parenttable%");

    // A relationship's own template may name it after itself: its stored name is used.
    byCustomer->SetName("buys");
    byCustomer->NameTemplate = "%relname%_%parent%";
    EXPECT_EQ(byCustomer->GetName(), "buys_Customer");
    byCustomer->FKConstraint->NameTemplate = "FK_%relname%";
    EXPECT_EQ(byCustomer->FKConstraint->GetName(), "FK_buys_Customer");

    // Without foreign key columns the column placeholders are empty.
    TVELEntity* lonely = Table("Lonely", {});
    TVELRelationship* empty = Relate(lonely, order);
    EXPECT_EQ(ExpandNameTemplate("[%parentcolumn%|%childcolumn%]", *empty), "[|]");
}

TEST_F(NamingTest, DomainsViewsTriggersAndSequences) {
    auto* domain = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    domain->SetName("Money");
    domain->SchemaName = "fin";
    EXPECT_EQ(ExpandNameTemplate("%domainname%|%quotedqualifieddomainname%|%nonquotedsimpledomainname%|%table%",
                                 *domain),
              "Money|[fin].[Money]|Money|%table%");
    auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
    view->SetName("Totals");
    EXPECT_EQ(ExpandNameTemplate("%view%|%viewname%|%quotedqualifiedviewname%|%domainname%", *view),
              "Totals|Totals|[Totals]|%domainname%");
    auto* sequence = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    sequence->SetName("OrderSeq");
    EXPECT_EQ(ExpandNameTemplate("%seqname%|%nonquotedqualifiedseqname%|%quotedsimpleseqname%|%view%", *sequence),
              "OrderSeq|OrderSeq|[OrderSeq]|%view%");
    TVELEntity* orders = Table("Orders", {"Id"});
    TVELTrigger* trigger = orders->AddTrigger(true);
    trigger->SetName("Audit");
    EXPECT_EQ(ExpandNameTemplate("%trigger%|%triggername%|%quotedsimpletriggername%|%table%|%quotedsimpletablename%",
                                 *trigger),
              "Audit|Audit|[Audit]|Orders|[Orders]");
    // A domain's own constraints have no column to be named after.
    EXPECT_EQ(ExpandNameTemplate("CK_%column%", *domain->CheckConstraint()), "CK_%column%");
}

TEST_F(NamingTest, ExpansionNeitherShortensNorMakesUnique) {
    TVELEntity* orders = Table("Orders", {"Id", "Code"});
    TVELConstraint* first = orders->AddConstraint(ctUnique, clTable);
    TVELConstraint* second = orders->AddConstraint(ctUnique, clTable);
    first->AttributeIDs.Add(orders->AttributeAt(0));
    second->AttributeIDs.Add(orders->AttributeAt(1));
    first->NameTemplate = second->NameTemplate = "UQ_%table%";
    EXPECT_EQ(first->GetName(), "UQ_Orders");
    EXPECT_EQ(second->GetName(), "UQ_Orders");
    // Too long for the target (12): the name stays whole and validation says so.
    first->NameTemplate = "UQ_%table%_%counter%_X";
    EXPECT_EQ(first->GetName(), "UQ_Orders_1_X");
    EXPECT_EQ(test::ValidationMessages(*first),
              (std::vector<std::string>{"Error: Constraint name \"UQ_Orders_1_X\" is too long. Max length is 12."}));
    TVELIndex* index = orders->AddIndex(true);
    index->AddColumn(orders->AttributeAt(0));
    index->NameTemplate = "IDX_%table%_%column%";
    EXPECT_EQ(index->GetName(), "IDX_Orders_Id");
    EXPECT_EQ(test::ValidationMessages(*index),
              (std::vector<std::string>{"Error: Index name \"IDX_Orders_Id\" is too long. Max length is 12."}));
}

TEST(NameTemplateTexts, KeysWordsAndCaptions) {
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::PrimaryKeyConstraint), "PKCONNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::ForeignKeyConstraint), "FKCONNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::NotNullConstraint), "NOTNULLCONNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::DefaultConstraint), "DEFAULTCONNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::UniqueConstraint), "TUCONNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::CheckTableConstraint), "TCCONNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::CheckColumnConstraint), "CCONNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::Relationship), "RELNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::PrimaryKeyIndex), "PKINDEXNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::ForeignKeyIndex), "FKINDEXNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKey(TNameTemplateKind::AlternateKeyIndex), "AKINDEXNAMETEMPLATE");
    EXPECT_EQ(NameTemplateKindText(TNameTemplateKind::CheckColumnConstraint), "check column constraint name");
    EXPECT_EQ(NameTemplateKindText(TNameTemplateKind::Relationship), "relationship name");
    EXPECT_EQ(NameTemplateScopeText(TNameTemplateScope::All), "All");
    EXPECT_EQ(NameTemplateScopeText(TNameTemplateScope::EmptyNames), "Empty names (name = '')");
    EXPECT_EQ(ApplyNameTemplatesExplanation(TNameTemplateKind::PrimaryKeyConstraint, "PK_%table%"),
              "Rename primary key constraint names to the name defined by the default primary key constraint name "
              "template (PK_%table%).\r\n\r\nNote: You can define the default name templates in the project options "
              "dialog.");
    EXPECT_EQ(ApplyNameTemplatesUndoCaption(TNameTemplateKind::UniqueConstraint), "unique constraint name names changes.");
    EXPECT_EQ(ApplyNameTemplatesLogText(TNameTemplateKind::DefaultConstraint), "apply name template: default constraint name");
}

TEST_F(NamingTest, ApplyingTemplatesRenamesOneKindWithinTheScope) {
    TVELEntity* orders = Table("Orders", {"Id", "Code"});
    TVELEntity* items = Table("Items", {"Id"});
    orders->AttributeAt(0)->SetPrimaryKey(true);
    items->AttributeAt(0)->SetPrimaryKey(true);
    items->PrimaryKey->NameFromTemplate = false;
    items->PrimaryKey->SetName("items_key");
    std::vector<TVELNamedObject*> changed;
    dd.OnObjectChanged = [&](TVELNamedObject* object) { changed.push_back(object); };

    // Only the empty names: the key of Orders has none yet.
    TApplyNameTemplatesResult result =
        ApplyNameTemplates(dd, TNameTemplateKind::PrimaryKeyConstraint, TNameTemplateScope::EmptyNames, "PK_%table%");
    EXPECT_EQ(result.Renamed, (std::vector<TVELNamedObject*>{orders->PrimaryKey.get()}));
    EXPECT_EQ(result.UndoCaption, "primary key constraint name names changes.");
    EXPECT_EQ(result.LogText, "apply name template: primary key constraint name");
    EXPECT_EQ(orders->PrimaryKey->GetName(), "PK_Orders");
    EXPECT_EQ(items->PrimaryKey->GetName(), "items_key");
    EXPECT_FALSE(changed.empty());
    // All: the named key is renamed too, and from now on follows its table.
    TVELSettingsList templates;
    templates.SetValue("PKCONNAMETEMPLATE", "KEY_%table%");
    result = ApplyNameTemplates(dd, TNameTemplateKind::PrimaryKeyConstraint, TNameTemplateScope::All, templates);
    EXPECT_EQ(result.Renamed.size(), 2u);
    EXPECT_EQ(items->PrimaryKey->GetName(), "KEY_Items");
    EXPECT_TRUE(items->PrimaryKey->NameFromTemplate);
    items->SetName("Lines");
    EXPECT_EQ(items->PrimaryKey->GetName(), "KEY_Lines");

    // Column constraints: only those the columns have.
    orders->AttributeAt(1)->SetNotNull(true);
    result = ApplyNameTemplates(dd, TNameTemplateKind::NotNullConstraint, TNameTemplateScope::All, "NN_%column%");
    EXPECT_EQ(result.Renamed, (std::vector<TVELNamedObject*>{orders->AttributeAt(1)->NotNullConstraint()}));
    EXPECT_EQ(orders->AttributeAt(1)->NotNullConstraint()->GetName(), "NN_Code");
    EXPECT_EQ(items->AttributeAt(0)->ExistingColumnConstraint(3), nullptr);
    result = ApplyNameTemplates(dd, TNameTemplateKind::CheckColumnConstraint, TNameTemplateScope::All, "CK_%column%");
    EXPECT_TRUE(result.Renamed.empty());

    // Table constraints of one type only.
    TVELConstraint* unique = orders->AddConstraint(ctUnique, clTable);
    TVELConstraint* check = orders->AddConstraint(ctCheck, clTable);
    result = ApplyNameTemplates(dd, TNameTemplateKind::UniqueConstraint, TNameTemplateScope::All, "UQ_%counter%");
    EXPECT_EQ(result.Renamed, (std::vector<TVELNamedObject*>{unique}));
    EXPECT_EQ(unique->GetName(), "UQ_1");
    result = ApplyNameTemplates(dd, TNameTemplateKind::CheckTableConstraint, TNameTemplateScope::All, "CK_%counter%");
    EXPECT_EQ(check->GetName(), "CK_2");

    // Relationships and their foreign keys.
    TVELRelationship* r = Relate(orders, items);
    result = ApplyNameTemplates(dd, TNameTemplateKind::Relationship, TNameTemplateScope::All, "%child%_of_%parent%");
    EXPECT_EQ(r->GetName(), "Lines_of_Orders");
    result = ApplyNameTemplates(dd, TNameTemplateKind::ForeignKeyConstraint, TNameTemplateScope::All, "FK_%childcolumn%");
    EXPECT_EQ(result.Renamed, (std::vector<TVELNamedObject*>{r->FKConstraint.get()}));
    std::vector<TVELAttribute*> foreignKey;
    r->ForeignKeyAttributes(foreignKey);
    ASSERT_EQ(foreignKey.size(), 1u);
    EXPECT_EQ(r->FKConstraint->GetName(), "FK_" + foreignKey[0]->GetName());

    // Automatic indexes of one kind.
    TVELIndex* keyIndex = orders->CreatePrimaryKeyIndex();
    ASSERT_NE(keyIndex, nullptr);
    TVELIndex* own = orders->AddIndex(true);
    own->AddColumn(orders->AttributeAt(1));
    result = ApplyNameTemplates(dd, TNameTemplateKind::PrimaryKeyIndex, TNameTemplateScope::All, "PKI_%table%");
    EXPECT_EQ(result.Renamed, (std::vector<TVELNamedObject*>{keyIndex}));
    EXPECT_EQ(keyIndex->GetName(), "PKI_Orders");
    EXPECT_NE(own->GetName(), "PKI_Orders");
}
