#include "FullFeatureModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <vector>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSLDatatypes.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin::test {

namespace {

enum class TFamily { PostgreSQL, MySQL, MariaDB, SQLite, Independent, SQLServer, Oracle, Db2, Firebird };

// The referential actions of a target's set, in the order of their numbers.
std::vector<uint8_t> ActionList(const std::set<TRefIntAction>& set) {
    std::vector<uint8_t> actions;
    for (TRefIntAction a : set) actions.push_back(static_cast<uint8_t>(a));
    return actions;
}

class TBuilder {
public:
    TBuilder(TVELDataDictionary& dd, const TFullFeatureSetup& setup)
        : dd_(dd), s_(*dd.GetDatabaseSettings()), types_(*dd.GetDataTypes()), setup_(setup) {
        const std::string id = dd.GetTarget();
        if (id == "postgresql15")
            family_ = TFamily::PostgreSQL;
        else if (id == "mysql8")
            family_ = setup.RunsOnMariaDB ? TFamily::MariaDB : TFamily::MySQL;
        else if (id == "mariadb10")
            family_ = TFamily::MariaDB;
        else if (id == "sqlite3")
            family_ = TFamily::SQLite;
        else if (id == "dbindependent")
            family_ = TFamily::Independent;
        else if (id == "mssqlserver2019")
            family_ = TFamily::SQLServer;
        else if (id == "oracle19")
            family_ = TFamily::Oracle;
        else if (id == "db2luw11")
            family_ = TFamily::Db2;
        else if (id == "firebird3")
            family_ = TFamily::Firebird;
        else
            throw std::runtime_error("no full-feature model for target " + id);
        mysql8_ = id == "mysql8";
        // Foreign-key columns are named after the key they refer to; duplicates get numbers.
        dd.PropagationOptions.ForeignKeyAttributeTemplate = "%column%";
    }

    void Build();

private:
    bool Pg() const { return family_ == TFamily::PostgreSQL; }
    bool My() const { return family_ == TFamily::MySQL || family_ == TFamily::MariaDB; }
    bool Lite() const { return family_ == TFamily::SQLite; }
    bool Dbi() const { return family_ == TFamily::Independent; }
    bool Ms() const { return family_ == TFamily::SQLServer; }
    bool Ora() const { return family_ == TFamily::Oracle; }
    bool Db2() const { return family_ == TFamily::Db2; }
    bool Fb() const { return family_ == TFamily::Firebird; }
    // The targets that keep unquoted names in upper case, and whose scripts name the objects so.
    bool Upper() const { return Ora() || Db2() || Fb(); }

    std::string IntType() const { return My() || Ms() ? "INT" : "INTEGER"; }
    std::string DecimalType() const { return Pg() || Lite() ? "NUMERIC" : Ora() ? "NUMBER" : "DECIMAL"; }
    std::string TimestampType() const { return My() || Lite() ? "DATETIME" : Ms() ? "DATETIME2" : "TIMESTAMP"; }
    std::string VarcharType() const { return Ora() ? "VARCHAR2" : "VARCHAR"; }
    std::string TextType() const {
        return Fb() ? "BLOB SUB_TYPE TEXT" : Ora() || Db2() ? "CLOB" : Ms() ? "VARCHAR(MAX)" : "TEXT";
    }
    // A name as the code of views, procedures and triggers writes it: quoted in the case the
    // generated script gives it.
    std::string Q(const std::string& name) const {
        if (Ms()) return "[" + name + "]";
        return "\"" + (Upper() ? UpperCase(name) : name) + "\"";
    }

    TVELEntity* Table(const std::string& name, const std::string& schema = "") {
        auto* table = static_cast<TVELEntity*>(dd_.CreateObject(otEntity, true));
        table->SetName(name);
        table->SchemaName = schema;
        return table;
    }

    TVELAttribute* Column(TVELEntity* table, const std::string& name, const std::string& type,
                          const std::string& length = "", int32_t precision = -1) {
        TVELAttribute* a = table->AddAttribute();
        a->SetName(name);
        a->DataType->DataType = type;
        const TDataTypeRecord* record = types_.Find(a->DataType->DataType);
        if (!record) throw std::runtime_error("no data type " + type + " on " + dd_.GetTarget());
        if (!length.empty())
            a->DataType->Length = length;
        else if ((record->Capabilities & dcLength) && record->DefaultLength > 0)
            a->DataType->Length = std::to_string(record->DefaultLength);
        if (precision >= 0)
            a->DataType->Precision = precision;
        else if ((record->Capabilities & dcPrecision) && record->DefaultPrecision > 0)
            a->DataType->Precision = record->DefaultPrecision;
        return a;
    }

    TVELAttribute* Key(TVELEntity* table, const std::string& name) {
        TVELAttribute* a = Column(table, name, IntType());
        a->SetPrimaryKey(true);
        a->SetNotNull(true);
        return a;
    }

    void NamePrimaryKey(TVELEntity* table, const std::string& name) {
        table->PrimaryKey->NameFromTemplate = false;
        table->PrimaryKey->SetName(name);
    }

    TVELRelationship* Relate(TVELEntity* parent, TVELEntity* child, bool identifying, uint8_t onDelete,
                             uint8_t onUpdate, const std::string& name, bool mandatory = false) {
        auto* r = static_cast<TVELRelationship*>(dd_.CreateObject(otRelationship, false));
        r->SetID(dd_.NewID());
        r->NameFromTemplate = false;
        r->SetName(name);
        r->ParentObjectID = parent->ID;
        r->ChildObjectID = child->ID;
        r->RelationshipType = identifying ? rtIdentifying : rtNonIdentifying;
        r->MandatoryParent = mandatory;
        r->DeleteRule = onDelete;
        r->UpdateRule = onUpdate;
        r->Connect();
        r->FKConstraint->NameFromTemplate = false;
        r->FKConstraint->SetName(name);
        return r;
    }

    TVELConstraint* Named(TVELConstraint* c, const std::string& name) {
        c->NameFromTemplate = false;
        c->SetName(name);
        return c;
    }

    TVELIndex* Index(TVELEntity* table, const std::string& name, const std::vector<TVELAttribute*>& columns,
                     bool unique = false) {
        TVELIndex* index = table->AddIndex();
        index->NameFromTemplate = false;
        index->SetName(name);
        index->IndexType = unique ? "UNIQUE" : "";
        for (TVELAttribute* a : columns) index->AddColumn(a);
        return index;
    }

    // The allowed action at a position, cycling through the set.
    uint8_t DeleteAction(size_t i) const { return deleteActions_[i % deleteActions_.size()]; }
    uint8_t UpdateAction(size_t i) const { return updateActions_[i % updateActions_.size()]; }
    uint8_t Allowed(uint8_t wanted, const std::vector<uint8_t>& set) const {
        for (uint8_t a : set)
            if (a == wanted) return a;
        return raNone;
    }

    void Customer();
    void Orders();
    void Staff();
    void ActionTables();
    void Notes();
    void AllTypes();
    void Archive();
    void Sequences();
    void Domains();
    void Views();
    void CodeObjects();

    TVELDataDictionary& dd_;
    const TVELDatabaseSettings& s_;
    const TSLDatatypes& types_;
    TFullFeatureSetup setup_;
    TFamily family_ = TFamily::PostgreSQL;
    bool mysql8_ = false;
    std::vector<uint8_t> deleteActions_, updateActions_;
    TVELEntity* customer_ = nullptr;
    TVELEntity* order_ = nullptr;
    TVELEntity* line_ = nullptr;
    TVELDomain* amount_ = nullptr;
    TVELDomain* code_ = nullptr;
    TVELDomain* mood_ = nullptr;
    TVELSequence* invoices_ = nullptr;
};

void TBuilder::Build() {
    deleteActions_ = ActionList(s_.RefIntOnDelete);
    updateActions_ = ActionList(s_.RefIntOnUpdate);
    if (s_.EnableDomains) Domains();
    if (s_.EnableSequences) Sequences();
    // Children stand before their parents in the list, so that generation has to order them.
    Notes();
    Orders();
    Customer();
    Staff();
    ActionTables();
    AllTypes();
    Archive();
    // Relationships of the order tables, now that every table exists.
    Relate(customer_, order_, false, Allowed(raCascade, deleteActions_), Allowed(raCascade, updateActions_),
           "FK_Order_Customer", true)
        ->FKConstraint->ConstraintOptions = Pg() || Lite() ? "DEFERRABLE INITIALLY DEFERRED"
                                            : Fb()          ? "USING INDEX \"IX_FK_ORDER_CUSTOMER\""
                                                            : "";
    Relate(order_, line_, true, Allowed(raCascade, deleteActions_), raNone, "FK_OrderLine_Order");
    auto* note = dd_.FindEntity("Line Note");
    Relate(line_, note, true, Allowed(raCascade, deleteActions_), raNone, "FK_LineNote_OrderLine");
    // Every primary key has a name, so that the servers that keep names keep the model's.
    std::vector<TVELEntity*> tables;
    dd_.CollectOfClass(tables);
    for (TVELEntity* t : tables)
        if (t->PrimaryKey->Name.empty()) NamePrimaryKey(t, "PK_" + t->GetName());
    if (s_.EnableViews) Views();
    CodeObjects();
}

// A table with an identity key, defaults with literals and functions, column and table checks,
// a unique constraint, indexes of every kind, comments and begin and end scripts.
void TBuilder::Customer() {
    TVELEntity* t = customer_ = Table("Customer");
    t->Comment = "Customers of the shop";
    TVELAttribute* id = Key(t, "CustomerId");
    id->DataType->AutoNumber = true;
    id->DataType->Seed = 100;
    id->DataType->Increment = 1;
    NamePrimaryKey(t, "PK_Customer");
    if (My()) t->PrimaryKey->PKClustering = "BTREE";
    if (My()) t->PrimaryKey->ConstraintOptions = "COMMENT 'the key'";
    if (Ms()) t->PrimaryKey->PKClustering = "CLUSTERED";

    TVELAttribute* name = Column(t, "Name", VarcharType(), "100");
    name->SetNotNull(true);
    name->SetCheckValue("Name <> ''");
    Named(name->CheckConstraint(), "CK_Customer_Name");
    name->Comment = "Display name, with 'quotes', {braces}\r\nand a second line";
    if (Pg()) name->Collate = "\"C\"";
    if (My()) name->Collate = "utf8mb4_bin";
    if (Lite() || Dbi()) name->Collate = Lite() ? "NOCASE" : "";
    if (Fb()) name->Collate = "UNICODE_CI";
    if (Ms()) name->Collate = "Latin1_General_CI_AS";
    TVELAttribute* mail = Column(t, "E-Mail", VarcharType(), "200");
    mail->Comment = "Unique address";
    TVELAttribute* created = Column(t, "Created", TimestampType());
    created->SetDefaultValue("CURRENT_TIMESTAMP");
    TVELAttribute* status = Column(t, "Status", VarcharType(), "10");
    status->SetNotNull(true);
    status->SetDefaultValue("'new'");
    TVELAttribute* score = Column(t, "Score", IntType());
    score->SetDefaultValue("0");
    score->SetCheckValue("Score >= 0");
    Named(score->CheckConstraint(), "CK_Customer_Score_Min");

    TVELConstraint* check = Named(t->AddConstraint(ctCheck, clTable), "CK_Customer_Score");
    check->Value = "Score <= 1000";
    if (Pg()) check->ConstraintOptions = "NOT VALID";
    if (family_ == TFamily::MySQL || Db2()) check->ConstraintOptions = "ENFORCED";
    if (Ms()) check->ConstraintOptions = "NOT FOR REPLICATION";
    if (Ora()) check->ConstraintOptions = "ENABLE";
    TVELConstraint* unique = Named(t->AddConstraint(ctUnique, clTable), "UQ_Customer_EMail");
    unique->AttributeIDs.Add(mail);
    if (Pg()) unique->ConstraintOptions = "DEFERRABLE";
    if (My()) unique->ConstraintOptions = "COMMENT 'one account per address'";
    if (Lite()) unique->ConstraintOptions = "ON CONFLICT IGNORE";
    if (Ora()) unique->ConstraintOptions = "DEFERRABLE";
    if (Ms()) unique->PKClustering = "NONCLUSTERED";

    TVELIndex* byName = Index(t, "IX_Customer_Name", {name});
    byName->Column(0)->SortOption = Pg() ? "DESC NULLS LAST" : "DESC";
    if (Pg()) byName->IndexOptions = "WITH (fillfactor = 70)";
    if (Fb()) {
        // A Firebird index is descending as a whole.
        byName->Column(0)->SortOption.clear();
        byName->IndexSortOption = "DESCENDING";
    }
    if (Ms()) byName->IndexOptions = "WITH (FILLFACTOR = 70)";
    if (My()) {
        byName->Clustering = "BTREE";
        byName->Comment = "Customers by name";
    }
    Index(t, "UX_Customer_Status_Name", {status, name}, true);
    if (s_.EnableIndexExpressions && family_ != TFamily::MariaDB) {
        TVELIndex* lower = Index(t, "IX_Customer_Mail_Lower", {});
        lower->AddExpressionColumn(Pg() ? "lower(\"e-mail\")" : My() ? "(lower(`E-Mail`))" : "lower(" + Q("E-Mail") + ")");
    }
    if (My()) {
        TVELAttribute* profile = Column(t, "Profile", "TEXT");
        TVELIndex* fulltext = Index(t, "FT_Customer_Profile", {profile});
        fulltext->IndexType = "FULLTEXT";
        TVELAttribute* location = Column(t, "Location", "POINT");
        location->SetNotNull(true);
        TVELIndex* spatial = Index(t, "SX_Customer_Location", {location});
        spatial->IndexType = "SPATIAL";
        TVELAttribute* legacy = Column(t, "Legacy Name", "VARCHAR", "30");
        legacy->DataType->CharacterSet = "latin1";
        TVELAttribute* number = Column(t, "Unsigned Number", "INT");
        number->DataType->Unsigned = true;
        number->DataType->ZeroFill = true;
        t->TableOptions = "ENGINE = InnoDB";
    }
    if (Pg()) {
        t->BeginTableScript = "SET client_min_messages = warning;";
        t->EndTableScript = "ANALYZE %tablename%;";
    } else if (My()) {
        t->BeginTableScript = "SET @ardvin_table = 'Customer';";
        t->EndTableScript = "ANALYZE TABLE %tablename%;";
    } else if (Lite()) {
        t->BeginTableScript = "PRAGMA foreign_keys = ON;";
        t->EndTableScript = "ANALYZE %tablename%;";
    } else if (Ms()) {
        t->BeginTableScript = "SET ANSI_NULLS ON";
        t->EndTableScript = "GRANT SELECT ON %tablename% TO PUBLIC\r\nGO";
        t->TableOptions = "ON [PRIMARY]";
    } else if (Ora() || Db2() || Fb()) {
        if (Fb()) t->BeginTableScript = "COMMENT ON DATABASE IS 'Shop';";
        t->EndTableScript = "GRANT SELECT ON %tablename% TO PUBLIC;";
    }
}

// A table named by a reserved word with columns of domains and a sequence default, its
// identifying child with a composite key, a computed column, a non-ASCII name and table
// options, and that one's identifying child.
void TBuilder::Orders() {
    TVELEntity* t = order_ = Table("Order");
    Key(t, "OrderId");
    NamePrimaryKey(t, "PK_Order");
    TVELAttribute* select = Column(t, "Select", "DATE");
    select->SetNotNull(true);
    TVELIndex* bySelect = Index(t, "IX_Order_Select", {select});
    if (Pg()) bySelect->Clustering = "hash";
    if (My()) bySelect->Clustering = "BTREE";
    if (Ms()) bySelect->Clustering = "NONCLUSTERED";
    if (Db2()) bySelect->Clustering = "CLUSTER";
    if (amount_) Column(t, "Amount", DecimalType())->SetDomainID(amount_->ID);
    if (code_) Column(t, "Code", VarcharType())->SetDomainID(code_->ID);
    if (Pg()) {
        const std::string schema = setup_.OtherSchema.empty() ? "" : "\"" + setup_.OtherSchema + "\".";
        Column(t, "Counter Value", "INTEGER")->SetDefaultValue("nextval('" + schema + "counter')");
    }
    if (family_ == TFamily::MariaDB && s_.EnableSequences)
        Column(t, "Invoice No", "BIGINT")->SetDefaultValue("NEXT VALUE FOR `Invoice Numbers`");
    if (Ms()) Column(t, "Invoice No", "BIGINT")->SetDefaultValue("NEXT VALUE FOR [Invoice Numbers]");
    // A column numbered from a sequence: by a trigger (Firebird) or by its default (Oracle).
    if ((Fb() || Ora()) && invoices_) {
        TVELAttribute* number = Column(t, "Order No", IntType());
        number->SetNotNull(true);
        number->SetSequenceID(invoices_->ID);
    }

    TVELEntity* line = line_ = Table("Order Line");
    TVELAttribute* lineNo = Key(line, "Line No");
    NamePrimaryKey(line, "PK_Order_Line");
    (void)lineNo;
    TVELAttribute* quantity = Column(line, "Quantity", IntType());
    quantity->SetNotNull(true);
    quantity->SetDefaultValue("1");
    TVELAttribute* price = Column(line, "Price", DecimalType(), "10", 2);
    price->SetNotNull(true);
    if (s_.EnableAttributeOptions) {
        TVELAttribute* total = Column(line, "Total", DecimalType(), "12", 2);
        total->AttributeOptions = Pg()   ? "GENERATED ALWAYS AS (quantity * price) STORED"
                                  : My()  ? "GENERATED ALWAYS AS (`Quantity` * `Price`) STORED"
                                  : Ms()  ? "SPARSE"
                                  : Ora() ? "GENERATED ALWAYS AS (Quantity * Price) VIRTUAL"
                                  : Db2() ? "GENERATED ALWAYS AS (Quantity * Price)"
                                          : "GENERATED ALWAYS AS (Quantity * Price) STORED";
    }
    TVELAttribute* size = Column(line, "Größe", VarcharType(), "10");
    size->Comment = "Größe der Position";
    if (Pg()) {
        line->TableOptions = "WITH (fillfactor = 90)";
        line->PrimaryKey->ConstraintOptions = "WITH (fillfactor = 90)";
    } else if (My()) {
        line->TableOptions = "ENGINE = InnoDB DEFAULT CHARSET = utf8mb4";
    } else if (Lite()) {
        line->PrimaryKey->ConstraintOptions = "ON CONFLICT ROLLBACK";
    }
}

void TBuilder::Notes() {
    TVELEntity* note = Table("Line Note");
    Key(note, "Note No");
    NamePrimaryKey(note, "PK_Line_Note");
    Column(note, "Text", TextType());
    if (Lite()) note->TableOptions = "WITHOUT ROWID";
}

// A self-reference and a cycle of two tables, with a composite unique constraint.
void TBuilder::Staff() {
    TVELEntity* department = Table("Department");
    Key(department, "DepartmentId");
    NamePrimaryKey(department, "PK_Department");
    Column(department, "Title", VarcharType(), "50")->SetNotNull(true);
    TVELEntity* employee = Table("Employee");
    Key(employee, "EmployeeId");
    NamePrimaryKey(employee, "PK_Employee");
    TVELAttribute* first = Column(employee, "First Name", VarcharType(), "40");
    first->SetNotNull(true);
    TVELAttribute* last = Column(employee, "Last Name", VarcharType(), "40");
    last->SetNotNull(true);
    TVELConstraint* unique = Named(employee->AddConstraint(ctUnique, clTable), "UQ_Employee_Name");
    unique->AttributeIDs.Add(first);
    unique->AttributeIDs.Add(last);
    const uint8_t setNull = Allowed(raSetNull, deleteActions_);
    Relate(employee, employee, false, setNull, raNone, "FK_Employee_Manager");
    Relate(employee, department, false, setNull, raNone, "FK_Department_Head");
    Relate(department, employee, false, Allowed(raRestrict, deleteActions_), Allowed(raCascade, updateActions_),
           "FK_Employee_Department");
}

// One relationship per referential action the target allows, on delete and on update.
void TBuilder::ActionTables() {
    TVELEntity* parent = Table("Action Parent");
    Key(parent, "ParentKey");
    TVELEntity* child = Table("Action Child");
    Key(child, "ChildKey");
    const size_t count = std::max(deleteActions_.size(), updateActions_.size());
    for (size_t i = 0; i < count; ++i) {
        TVELRelationship* r =
            Relate(parent, child, false, DeleteAction(i), UpdateAction(i + 1), "FK_Action_" + std::to_string(i + 1));
        // Setting the default needs one.
        if (r->DeleteRule == raSetDefault || r->UpdateRule == raSetDefault)
            child->FindAttribute(r->PairAt(0)->ForeignKeyID)->SetDefaultValue("0");
    }
}

// Names with quotes: the quote characters cannot be written in a quoted name and are left out.
void TBuilder::Archive() {
    TVELEntity* quoted = Table("Customer's Note");
    Key(quoted, "NoteId");
    Column(quoted, "Say \"Hi\"", VarcharType(), "20");
    Relate(customer_, quoted, false, Allowed(raRestrict, deleteActions_), raNone, "FK_Note_Customer");

    TVELEntity* archive = Table("Archive", s_.EnableSchemas ? setup_.OtherSchema : "");
    Key(archive, "ArchiveId");
    Column(archive, "Archived", TimestampType())->SetDefaultValue("CURRENT_TIMESTAMP");
    // A reference into the other schema. (A table without schema is one of the connection's
    // default schema, which a statement run in another schema cannot name: references out of
    // the other schema would not find it on MySQL.)
    Relate(archive, quoted, false, raNone, raNone, "FK_Note_Archive");
}

// One column of every data type of the target's list.
void TBuilder::AllTypes() {
    TVELEntity* t = Table("All Types");
    Key(t, "Id");
    for (int i = 0; i < types_.Count(); ++i) {
        const TDataTypeRecord& r = types_.Record(i);
        if (r.DomainAsType) {
            if (mood_) Column(t, r.ListName, "VARCHAR")->SetDomainID(mood_->ID);
            continue;
        }
        // Oracle takes one LONG or LONG RAW column per table.
        if (Ora() && r.ListName == "LONG RAW") continue;
        TVELAttribute* a = Column(t, r.ListName, r.ListName);
        if (r.Capabilities & dcItems) a->DataType->Items = "'small','large'";
        if (r.Group == tgComputedBy) a->DataType->Expression = Q("Id") + " * 2";
        if (r.Group == tgAutonumber) a->SetNotNull(true);
    }
    if (Pg()) {
        Column(t, "Tags", "TEXT")->DataType->ArrayOptions = "[]";
        Column(t, "Span", "INTERVAL")->DataType->DTOptions = "YEAR TO MONTH";
    }
}

void TBuilder::Domains() {
    const std::string decimal = DecimalType();
    amount_ = static_cast<TVELDomain*>(dd_.CreateObject(otDomain, true));
    amount_->SetName("Positive Amount");
    amount_->DataType->DataType = decimal;
    amount_->DataType->Length = "12";
    amount_->DataType->Precision = 2;
    amount_->DefaultConstraint()->Value = "0";
    // A domain check names its value VALUE, which a column cannot: only where domains stay.
    if (Pg() || Fb() || Ms() || Db2()) amount_->CheckConstraint()->Value = "VALUE >= 0";
    amount_->Comment = "Money that is never negative";
    code_ = static_cast<TVELDomain*>(dd_.CreateObject(otDomain, true));
    code_->SetName(Ms() ? "CodeText" : "Code Text");
    code_->DataType->DataType = VarcharType();
    code_->DataType->Length = "20";
    if (Fb()) code_->Collate = "UNICODE";
    if (Pg() || Fb() || Ms() || Db2()) code_->CheckConstraint()->Value = "VALUE <> ''";
    if (Pg()) {
        code_->Collate = "\"C\"";
        mood_ = static_cast<TVELDomain*>(dd_.CreateObject(otDomain, true));
        mood_->SetName("Mood");
        mood_->DataType->DataType = "ENUM";
        mood_->DataType->Items = "'happy','sad'";
    }
}

void TBuilder::Sequences() {
    auto* invoices = invoices_ = static_cast<TVELSequence*>(dd_.CreateObject(otSequence, true));
    invoices->SetName("Invoice Numbers");
    invoices->Seed = 10;
    invoices->Increment = 5;
    invoices->Min = "10";
    invoices->Max = "1000000";
    invoices->Comment = "Numbers of invoices";
    if (Pg() || Dbi() || Ms() || Db2()) invoices->IntegerType = "BIGINT";
    if (Pg() || Ms() || Ora() || Db2()) invoices->Cache = "20";
    if (Ms() || Ora() || Db2()) invoices->CacheCode = "CACHE";
    if (Ora()) invoices->Order = "NOORDER";
    if (family_ == TFamily::MariaDB) {
        invoices->Cache = "20";
        invoices->CacheCode = "CACHE";
    }
    invoices->Cycle = Dbi() ? "" : "CYCLE";
    if (Pg()) {
        auto* counter = static_cast<TVELSequence*>(dd_.CreateObject(otSequence, true));
        counter->SetName("Counter");
        counter->SchemaName = setup_.OtherSchema;
        counter->IntegerType = "INTEGER";
        counter->Increment = -1;
        counter->Min = "-1000";
        counter->Max = "-1";
        counter->Seed = -1;
        counter->Cycle = "NO CYCLE";
        counter->PosNR = -1;  // generated first although created last
    }
}

// Two views, the second built on the first; the second comes first in the list but is
// generated after the first by its order number.
void TBuilder::Views() {
    auto* counts = static_cast<TVELView*>(dd_.CreateObject(otView, true));
    counts->SetName("Order Counts");
    counts->PosNR = 2;
    auto* orders = static_cast<TVELView*>(dd_.CreateObject(otView, true));
    orders->SetName("Customer Orders");
    orders->PosNR = 1;
    orders->Comment = "Every order with its customer";
    if (Pg()) {
        orders->Code = "CREATE VIEW %viewname% AS\r\nSELECT c.customerid, c.name, o.orderid\r\n"
                       "FROM customer c JOIN \"order\" o ON o.customerid = c.customerid";
        counts->Code = "CREATE VIEW %viewname% AS SELECT customerid, count(*) AS orders\r\n"
                       "FROM \"customer orders\" GROUP BY customerid";
    } else if (My()) {
        orders->Code = "CREATE VIEW %viewname% AS\r\nSELECT c.`CustomerId`, c.`Name`, o.`OrderId`\r\n"
                       "FROM `Customer` c JOIN `Order` o ON o.`CustomerId` = c.`CustomerId`";
        counts->Code = "CREATE VIEW %viewname% AS SELECT `CustomerId`, COUNT(*) AS orders\r\n"
                       "FROM `Customer Orders` GROUP BY `CustomerId`";
    } else if (Lite()) {
        orders->Code = "CREATE VIEW %viewname% AS\r\nSELECT c.\"CustomerId\", c.\"Name\", o.\"OrderId\"\r\n"
                       "FROM \"Customer\" c JOIN \"Order\" o ON o.\"CustomerId\" = c.\"CustomerId\"";
        counts->Code = "CREATE VIEW %viewname% AS SELECT \"CustomerId\", COUNT(*) AS orders\r\n"
                       "FROM \"Customer Orders\" GROUP BY \"CustomerId\"";
    } else if (Ms() || Ora() || Db2() || Fb()) {
        orders->Code = "CREATE VIEW %viewname% AS\r\nSELECT c." + Q("CustomerId") + ", c." + Q("Name") + ", o." +
                       Q("OrderId") + "\r\nFROM " + Q("Customer") + " c JOIN " + Q("Order") + " o ON o." +
                       Q("CustomerId") + " = c." + Q("CustomerId");
        counts->Code = "CREATE VIEW %viewname% AS SELECT " + Q("CustomerId") + ", COUNT(*) AS orders\r\nFROM " +
                       Q("Customer Orders") + " GROUP BY " + Q("CustomerId");
    } else {
        // Plain names, which every target takes unquoted.
        orders->Code = "CREATE VIEW %viewname% AS SELECT CustomerId, Name FROM Customer WHERE Score > 0";
        counts->Code = "CREATE VIEW %viewname% AS SELECT COUNT(*) AS customers FROM Customer";
    }
}

// Procedures, triggers and rules in the target's dialect.
void TBuilder::CodeObjects() {
    auto procedure = [this](const std::string& name, const std::string& code) {
        auto* p = static_cast<TVELProcedure*>(dd_.CreateObject(otProcedure, true));
        p->SetName(name);
        p->Code = code;
        return p;
    };
    auto trigger = [this](const std::string& name, const std::string& code) {
        TVELTrigger* t = customer_->AddTrigger();
        t->SetName(name);
        t->Code = code;
        return t;
    };
    if (Pg()) {
        procedure("set_created", "CREATE FUNCTION %procname%() RETURNS trigger LANGUAGE plpgsql AS $$\r\n"
                                 "BEGIN\r\n  NEW.created := coalesce(NEW.created, now());\r\n  RETURN NEW;\r\nEND\r\n$$");
        procedure("Archive Customers",
                  "CREATE PROCEDURE %procname%(p_days integer) LANGUAGE sql AS $$\r\n"
                  "DELETE FROM customer WHERE created < now() - make_interval(days => p_days)\r\n$$")
            ->Comment = "Removes old customers";
        trigger("TR_Customer_Created", "CREATE TRIGGER %quotedsimpletriggername% BEFORE INSERT ON %tablename%\r\n"
                                       "FOR EACH ROW EXECUTE FUNCTION set_created()");
        auto* rule = static_cast<TVELRule*>(dd_.CreateObject(otRule, true));
        rule->SetName("Notify Note Change");
        rule->RuleType = "UPDATE";
        rule->Code = "CREATE RULE %rulename% AS ON UPDATE TO \"line note\" DO ALSO NOTIFY line_note_changed";
        rule->Comment = "Tells listeners about changed notes";
    } else if (My()) {
        procedure("Archive Customers", "CREATE PROCEDURE %procname%(IN p_days INT)\r\nBEGIN\r\n"
                                       "  DELETE FROM `Customer` WHERE `Created` < NOW() - INTERVAL p_days DAY;\r\nEND")
            ->Comment = "Removes old customers";
        procedure("Customer Count", "CREATE FUNCTION %procname%() RETURNS INT READS SQL DATA\r\nBEGIN\r\n"
                                    "  RETURN (SELECT COUNT(*) FROM `Customer`);\r\nEND");
        trigger("TR_Customer_Score", "CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW\r\n"
                                     "BEGIN\r\n  IF NEW.`Score` IS NULL THEN\r\n    SET NEW.`Score` = 0;\r\n"
                                     "  END IF;\r\nEND");
    } else if (Lite()) {
        trigger("TR_Customer_Score", "CREATE TRIGGER %triggername% AFTER INSERT ON %tablename%\r\nBEGIN\r\n"
                                     "  UPDATE \"Customer\" SET \"Score\" = 0 WHERE \"CustomerId\" = NEW.\"CustomerId\" "
                                     "AND \"Score\" IS NULL;\r\nEND");
    } else if (Ms()) {
        procedure("Archive Customers", "CREATE PROCEDURE %procname% @days INT AS\r\nBEGIN\r\n"
                                       "  DELETE FROM [Customer] WHERE [Created] < DATEADD(day, -@days, SYSDATETIME());\r\n"
                                       "END")
            ->Comment = "Removes old customers";
        // Code as it comes from Management Studio, with its own GO.
        procedure("Customer Count", "CREATE FUNCTION %procname%() RETURNS INT AS\r\nBEGIN\r\n"
                                    "  RETURN (SELECT COUNT(*) FROM [Customer]);\r\nEND\r\nGO");
        trigger("TR_Customer_Score", "CREATE TRIGGER %triggername% ON %tablename% AFTER INSERT AS\r\nBEGIN\r\n"
                                     "  SET NOCOUNT ON;\r\n  UPDATE [Customer] SET [Score] = 0 WHERE [Score] IS NULL;\r\nEND");
        auto* rule = static_cast<TVELRule*>(dd_.CreateObject(otRule, true));
        rule->SetName("Positive Rule");
        rule->Code = "CREATE RULE %rulename% AS @value >= 0";
    } else if (Ora()) {
        procedure("Archive Customers", "CREATE OR REPLACE PROCEDURE %procname% (p_days IN INTEGER) AS\r\nBEGIN\r\n"
                                       "  DELETE FROM \"CUSTOMER\" WHERE \"CREATED\" < SYSTIMESTAMP - p_days;\r\nEND;")
            ->Comment = "Removes old customers";
        // Code as it comes from SQL*Plus, with its own "/".
        procedure("Customer Count", "CREATE OR REPLACE FUNCTION %procname% RETURN INTEGER AS\r\n  n INTEGER;\r\n"
                                    "BEGIN\r\n  SELECT COUNT(*) INTO n FROM \"CUSTOMER\";\r\n  RETURN n;\r\nEND;\r\n/");
        trigger("TR_Customer_Score", "CREATE OR REPLACE TRIGGER %triggername%\r\nBEFORE INSERT ON %tablename%\r\n"
                                     "FOR EACH ROW\r\nBEGIN\r\n  IF :NEW.\"SCORE\" IS NULL THEN\r\n"
                                     "    :NEW.\"SCORE\" := 0;\r\n  END IF;\r\nEND;");
    } else if (Db2()) {
        procedure("Archive Customers", "CREATE PROCEDURE %procname% (IN p_days INTEGER)\r\nLANGUAGE SQL\r\nBEGIN\r\n"
                                       "  DELETE FROM \"CUSTOMER\" WHERE \"CREATED\" < CURRENT TIMESTAMP - p_days DAYS;\r\n"
                                       "END")
            ->Comment = "Removes old customers";
        trigger("TR_Customer_Score", "CREATE TRIGGER %triggername% NO CASCADE BEFORE INSERT ON %tablename%\r\n"
                                     "REFERENCING NEW AS N FOR EACH ROW\r\nWHEN (N.\"SCORE\" IS NULL)\r\n"
                                     "SET N.\"SCORE\" = 0");
    } else if (Fb()) {
        procedure("Archive Customers", "CREATE PROCEDURE %procname% (P_DAYS INTEGER)\r\nAS\r\nBEGIN\r\n"
                                       "  DELETE FROM \"CUSTOMER\" WHERE \"CREATED\" < CURRENT_TIMESTAMP - :P_DAYS;\r\n"
                                       "END")
            ->Comment = "Removes old customers";
        procedure("Customer Count", "CREATE FUNCTION %procname% RETURNS INTEGER\r\nAS\r\nBEGIN\r\n"
                                    "  RETURN (SELECT COUNT(*) FROM \"CUSTOMER\");\r\nEND");
        trigger("TR_Customer_Score", "CREATE TRIGGER %triggername% FOR %tablename%\r\n"
                                     "ACTIVE BEFORE INSERT POSITION 1\r\nAS\r\nBEGIN\r\n"
                                     "  IF (NEW.\"SCORE\" IS NULL) THEN NEW.\"SCORE\" = 0;\r\nEND");
    } else {
        procedure("Archive Customers", "CREATE PROCEDURE %procname% AS\r\n  -- in the dialect of the target\r\n");
        trigger("TR_Customer_Score", "CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename%");
    }
}

}  // namespace

void BuildFullFeatureModel(TVELDataDictionary& dd, const TFullFeatureSetup& setup) {
    TBuilder(dd, setup).Build();
}

std::unique_ptr<TVELDataDictionary> FullFeatureModel(const std::string& target, const TFullFeatureSetup& setup) {
    TargetDatabases().Build(DefinitionsDir());
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget(target);
    BuildFullFeatureModel(*dd, setup);
    return dd;
}

TGeneratedScripts GenerateScripts(const TVELDataDictionary& model, const TGenerationOptions& extra) {
    TGeneratedScripts g;
    TVELSettingsList options, used;
    for (const auto& [key, value] : extra) options.SetValue(key, value);
    std::string messages;
    try {
        g.Model = PrepareForGeneration(model, options, used,
                                       [&messages](TVELNamedObject* object, int level, const std::string& text) {
                                           messages += MessageLevelName(level) + ": " +
                                                       (object ? object->GetName() + ": " : "") + text + "\n";
                                       });
    } catch (const EVELError& e) {
        ADD_FAILURE() << e.what() << "\n" << messages;
        throw;
    }
    std::unique_ptr<TDBRestructure> create = CreateRestructure(*g.Model);
    create->Options = used;
    create->ProductLine = "Ardvin test";
    EXPECT_TRUE(create->GenerateCreateScript()) << JoinStrings(create->Lines, "\n");
    g.CreateScript = create->ScriptText();
    std::unique_ptr<TDBRestructure> drop = CreateRestructure(*g.Model);
    drop->Options = used;
    EXPECT_TRUE(drop->GenerateDropScript()) << JoinStrings(drop->Lines, "\n");
    g.DropScript = drop->ScriptText();
    return g;
}

}  // namespace ardvin::test
