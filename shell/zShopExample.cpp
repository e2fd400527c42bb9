#include "zShopExample.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "zAttribute.h"
#include "zDatatype.h"
#include "zDiagramOnly.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProject.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zView.h"

namespace ardvin {

namespace {

// The target whose types every other target can take over.
constexpr const char* ExampleTarget = "dbindependent";

class ShopBuilder {
public:
    explicit ShopBuilder(TVELDataDictionary& dd) : dd_(dd) {}

    TVELEntity* Table(const char* name, const char* comment) {
        auto* entity = static_cast<TVELEntity*>(dd_.CreateObject(otEntity, true));
        entity->SetName(name);
        entity->Comment = comment;
        return entity;
    }
    // The one-column key "<Table>ID".
    TVELAttribute* Key(TVELEntity* entity) {
        TVELAttribute* key = Column(entity, entity->GetName() + "ID", "INTEGER", "", true);
        key->SetPrimaryKey(true);
        return key;
    }
    TVELAttribute* Column(TVELEntity* entity, const std::string& name, const char* type,
                          const char* length = "", bool notNull = false, const char* comment = "") {
        TVELAttribute* attribute = entity->AddAttribute();
        attribute->SetName(name);
        attribute->DataType->DataType = type;
        if (*length) attribute->DataType->Length = length;
        if (std::string_view(type) == "DECIMAL") attribute->DataType->Precision = 2;
        attribute->SetNotNull(notNull);
        attribute->Comment = comment;
        return attribute;
    }
    TVELRelationship* Relate(TVELEntity* parent, TVELEntity* child, uint8_t type, const char* parentPhrase,
                             const char* childPhrase) {
        auto* relationship = static_cast<TVELRelationship*>(dd_.CreateObject(otRelationship, true));
        relationship->ParentObjectID = parent->ID;
        relationship->ChildObjectID = child->ID;
        relationship->RelationshipType = type;
        relationship->ParentPhrase = parentPhrase;
        relationship->ChildPhrase = childPhrase;
        relationship->Connect();
        return relationship;
    }
    // An index on the foreign-key columns of a relationship.
    TVELIndex* ForeignKeyIndex(TVELRelationship* relationship) {
        std::vector<TVELAttribute*> columns;
        relationship->ForeignKeyAttributes(columns);
        return Index(relationship->GetChildEntity(), columns, false);
    }
    // An index named "IX_" + table + "_" + its columns.
    TVELIndex* Index(TVELEntity* entity, const std::vector<TVELAttribute*>& columns, bool unique) {
        TVELIndex* index = entity->AddIndex();
        std::string name("IX_");
        name += entity->GetName();
        for (const TVELAttribute* column : columns) {
            index->AddColumn(column);
            name.append("_").append(column->GetName());
        }
        index->SetTemplate(name);
        if (unique) index->IndexType = "UNIQUE";
        return index;
    }

private:
    TVELDataDictionary& dd_;
};

// Places the boxes in a grid, row by row: every column as wide as its widest box and every
// row as high as its highest, with a fixed gap between them.
void PlaceInGrid(TVELDiagram& diagram, const std::vector<std::vector<TDGControl*>>& rows) {
    constexpr int Margin = 40, Gap = 80;
    size_t columns = 0;
    for (const auto& row : rows)
        columns = std::max(columns, row.size());
    std::vector<int> widths(columns, 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c)
            if (row[c]) widths[c] = std::max(widths[c], row[c]->Width);
    int top = Margin;
    for (const auto& row : rows) {
        int left = Margin, height = 0;
        for (size_t c = 0; c < row.size(); ++c) {
            if (TDGControl* box = row[c]) {
                diagram.SetControlBounds(*box, left, top, box->Width, box->Height);
                height = std::max(height, box->Height);
            }
            left += widths[c] + Gap;
        }
        top += height + Gap;
    }
}

} // namespace

TVELDateTime ShopExampleDate() {
    return LocalDateTime(2025, 6, 2, 9, 0);
}

void BuildShopExample(TVELProject& p) {
    p.NewModel(ExampleTarget);
    p.SetProjectName("Shop");
    p.SetProjectDescription("Example project: the database of a small web shop.");
    p.SetAuthor("Ardvin");
    p.SetCopyRight("Free to use as a starting point");
    TVELDataDictionary& dd = p.DataDictionary;
    ShopBuilder b(dd);

    auto* money = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    money->SetName("CurrencyAmount");
    money->Comment = "An amount in the shop's currency.";
    money->DataType->DataType = "DECIMAL";
    money->DataType->Length = "12";
    money->DataType->Precision = 2;
    money->SetPropertyValue("CheckConstraint", "VALUE >= 0");
    auto* orderNumbers = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    orderNumbers->SetName("OrderNumbers");
    orderNumbers->Comment = "Numbers of new orders.";
    orderNumbers->Seed = 1000;
    orderNumbers->Increment = 1;
    auto moneyColumn = [&](TVELEntity* entity, const char* name, const char* comment) {
        TVELAttribute* a = b.Column(entity, name, "DECIMAL", "12", true, comment);
        a->SetDomainID(money->ID);
        return a;
    };

    TVELEntity* customer = b.Table("Customer", "A person who buys in the shop.");
    b.Key(customer);
    b.Column(customer, "FirstName", "VARCHAR", "50", true);
    b.Column(customer, "LastName", "VARCHAR", "50", true);
    TVELAttribute* email = b.Column(customer, "Email", "VARCHAR", "120", true, "Used to sign in; unique.");
    b.Column(customer, "Phone", "VARCHAR", "30");
    b.Column(customer, "CreatedAt", "TIMESTAMP", "", true)->SetDefaultValue("CURRENT_TIMESTAMP");
    b.Index(customer, {email}, true);

    TVELEntity* address = b.Table("Address", "A delivery or billing address of a customer.");
    b.Key(address);
    b.Column(address, "Street", "VARCHAR", "100", true);
    b.Column(address, "City", "VARCHAR", "60", true);
    b.Column(address, "PostalCode", "VARCHAR", "12", true);
    b.Column(address, "Country", "CHAR", "2", true, "ISO 3166 country code.");

    TVELEntity* category = b.Table("Category", "A group of products shown together.");
    b.Key(category);
    b.Index(category, {b.Column(category, "Name", "VARCHAR", "60", true)}, true);
    b.Column(category, "Description", "TEXT");

    TVELEntity* supplier = b.Table("Supplier", "A company the shop buys products from.");
    b.Key(supplier);
    b.Column(supplier, "Name", "VARCHAR", "100", true);
    b.Column(supplier, "ContactEmail", "VARCHAR", "120");
    b.Column(supplier, "Phone", "VARCHAR", "30");

    TVELEntity* product = b.Table("Product", "Something the shop sells.");
    b.Key(product);
    TVELAttribute* sku = b.Column(product, "SKU", "VARCHAR", "20", true, "Stock keeping unit.");
    b.Column(product, "Name", "VARCHAR", "100", true);
    b.Column(product, "Description", "TEXT");
    moneyColumn(product, "Price", "Current selling price.");
    b.Column(product, "Active", "BOOLEAN", "", true)->SetDefaultValue("TRUE");
    b.Index(product, {sku}, true);

    TVELEntity* warehouse = b.Table("Warehouse", "A place where products are kept.");
    b.Key(warehouse);
    b.Column(warehouse, "Name", "VARCHAR", "60", true);
    b.Column(warehouse, "City", "VARCHAR", "60", true);

    TVELEntity* stock = b.Table("Stock", "How many items of a product a warehouse holds.");
    b.Column(stock, "Quantity", "INTEGER", "", true)->SetCheckValue("Quantity >= 0");
    b.Column(stock, "ReorderLevel", "INTEGER")->SetDefaultValue("10");

    TVELEntity* order = b.Table("CustomerOrder", "An order placed by a customer.");
    b.Key(order)->Comment = "Taken from the sequence OrderNumbers.";
    b.Column(order, "OrderDate", "DATE", "", true);
    TVELAttribute* status = b.Column(order, "Status", "VARCHAR", "20", true);
    status->SetDefaultValue("'NEW'");
    status->SetCheckValue("Status IN ('NEW', 'PAID', 'SHIPPED', 'CANCELLED')");
    moneyColumn(order, "Total", "Sum of the order lines after discounts.");

    TVELEntity* line = b.Table("OrderLine", "One product of an order.");
    b.Column(line, "LineNumber", "SMALLINT", "", true)->SetPrimaryKey(true);
    b.Column(line, "Quantity", "INTEGER", "", true)->SetCheckValue("Quantity > 0");
    moneyColumn(line, "UnitPrice", "The price at the time of ordering.");

    TVELEntity* payment = b.Table("Payment", "Money received for an order.");
    b.Key(payment);
    moneyColumn(payment, "Amount", "");
    b.Column(payment, "PaidAt", "TIMESTAMP", "", true);
    b.Column(payment, "PaymentMethod", "VARCHAR", "20", true);

    TVELEntity* shipment = b.Table("Shipment", "A parcel sent for an order.");
    b.Key(shipment);
    b.Column(shipment, "ShippedAt", "TIMESTAMP");
    b.Column(shipment, "TrackingNumber", "VARCHAR", "40");

    TVELEntity* review = b.Table("Review", "What a customer thinks of a product.");
    b.Key(review);
    b.Column(review, "Rating", "SMALLINT", "", true)->SetCheckValue("Rating BETWEEN 1 AND 5");
    b.Column(review, "Body", "TEXT");
    b.Column(review, "WrittenAt", "DATE", "", true);

    TVELEntity* coupon = b.Table("Coupon", "A discount code.");
    b.Key(coupon);
    b.Index(coupon, {b.Column(coupon, "Code", "VARCHAR", "20", true)}, true);
    b.Column(coupon, "DiscountPercent", "DECIMAL", "5", true);
    b.Column(coupon, "ValidUntil", "DATE");

    TVELEntity* orderCoupon = b.Table("OrderCoupon", "A coupon redeemed with an order.");
    TVELEntity* wish = b.Table("WishlistItem", "A product a customer would like to buy later.");
    b.Column(wish, "AddedAt", "DATE", "", true);

    // Relationships: identifying ones make the child's key, the others add foreign keys.
    b.ForeignKeyIndex(b.Relate(customer, address, rtNonIdentifying, "lives at", "belongs to"));
    b.ForeignKeyIndex(b.Relate(category, product, rtNonIdentifying, "groups", "is in"));
    b.ForeignKeyIndex(b.Relate(supplier, product, rtNonIdentifying, "supplies", "is supplied by"));
    b.Relate(product, stock, rtIdentifying, "is kept as", "counts");
    b.Relate(warehouse, stock, rtIdentifying, "holds", "is held in");
    b.ForeignKeyIndex(b.Relate(customer, order, rtNonIdentifying, "places", "is placed by"));
    b.Relate(order, line, rtIdentifying, "consists of", "is part of");
    b.ForeignKeyIndex(b.Relate(product, line, rtNonIdentifying, "is ordered in", "orders"));
    b.ForeignKeyIndex(b.Relate(order, payment, rtNonIdentifying, "is paid by", "pays"));
    b.ForeignKeyIndex(b.Relate(order, shipment, rtNonIdentifying, "is sent as", "sends"));
    b.ForeignKeyIndex(b.Relate(address, shipment, rtNonIdentifying, "receives", "goes to"));
    b.ForeignKeyIndex(b.Relate(warehouse, shipment, rtNonIdentifying, "sends", "leaves from"));
    TVELRelationship* reviewed = b.Relate(product, review, rtNonIdentifying, "is reviewed in", "reviews");
    TVELRelationship* writes = b.Relate(customer, review, rtNonIdentifying, "writes", "is written by");
    b.ForeignKeyIndex(reviewed);
    b.ForeignKeyIndex(writes);
    // One review per customer and product.
    std::vector<TVELAttribute*> reviewedProduct, reviewer;
    reviewed->ForeignKeyAttributes(reviewedProduct);
    writes->ForeignKeyAttributes(reviewer);
    TVELConstraint* oneReview = review->AddConstraint(ctUnique, clTable);
    oneReview->SetTemplate(p.Settings.NameTemplates.GetValue("TUCONNAMETEMPLATE"));
    oneReview->AttributeIDs.Add(reviewedProduct.front());
    oneReview->AttributeIDs.Add(reviewer.front());
    b.Relate(order, orderCoupon, rtIdentifying, "redeems", "is redeemed with");
    b.Relate(coupon, orderCoupon, rtIdentifying, "is redeemed as", "applies");
    b.Relate(customer, wish, rtIdentifying, "wishes", "is wished by");
    b.Relate(product, wish, rtIdentifying, "is wished as", "names");

    auto* openOrders = static_cast<TVELView*>(dd.CreateObject(otView, true));
    openOrders->SetName("OpenOrders");
    openOrders->Comment = "Orders that are paid but not yet shipped.";
    openOrders->Code += "SELECT o.CustomerOrderID, o.OrderDate, c.LastName, o.Total\r\n"
                        "FROM CustomerOrder o JOIN Customer c ON c.CustomerID = o.CustomerID\r\n"
                        "WHERE o.Status = 'PAID'";
    auto* note = static_cast<TVELTextArea*>(dd.CreateObject(otTextArea, true));
    note->Text = "Prices are CurrencyAmount: DECIMAL(12,2), never negative.\r\n"
                 "Order numbers come from the sequence OrderNumbers.";
    auto* stamp = static_cast<TVELStamp*>(dd.CreateObject(otStamp, true));

    // The diagram: related tables side by side, five to a row.
    TVELDiagrams& diagrams = p.Diagrams;
    TVELDiagram* main = diagrams.MainDiagram();
    auto box = [&](TVELDatabaseObject* object) {
        auto* control = static_cast<TDGControl*>(diagrams.AddObjectToDiagram(object, main, 0, 0));
        control->AutoSize = true;
        control->RecomputeSize();
        return control;
    };
    const std::vector<std::vector<TVELDatabaseObject*>> grid = {
        {supplier, category, review, wish, address},
        {warehouse, product, customer, order, payment},
        {stock, line, coupon, orderCoupon, shipment},
        {note, stamp},
    };
    std::vector<std::vector<TDGControl*>> rows;
    for (const auto& row : grid) {
        rows.emplace_back();
        for (TVELDatabaseObject* object : row)
            rows.back().push_back(box(object));
    }
    PlaceInGrid(*main, rows);
    // The lines last, drawn between the placed boxes.
    for (int i = 0; i < dd.Count(); ++i)
        if (dd.Object(i)->ObjectType == otRelationship) diagrams.AddObjectToDiagram(dd.Object(i), main);
    p.PushProjectHeader();
}

void WriteShopExample(const std::string& fileName) {
    TVELProject project([] { return ShopExampleDate(); });
    BuildShopExample(project);
    project.SetFileName(fileName);
    // The file does not carry the folder of the machine that wrote it.
    project.Settings.CommonSettings.SetValue("PROJECTFILENAME", "shop.arv");
    project.Save();
}

} // namespace ardvin
