#include "TestModelBuilder.h"

#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zRelationship.h"

namespace ardvin::test {

TVELEntity* NewTable(TVELDataDictionary& dd, const std::string& name) {
    auto* table = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    table->SetName(name);
    return table;
}

TVELEntity* NewKeyedTable(TVELDataDictionary& dd, const std::string& name) {
    TVELEntity* table = NewTable(dd, name);
    TVELAttribute* id = table->AddAttribute();
    id->SetName(name + "Id");
    id->DataType->DataType = "INTEGER";
    id->SetPrimaryKey(true);
    return table;
}

TVELAttribute* NewColumn(TVELEntity* table, const std::string& name, const std::string& type,
                         const std::string& length) {
    TVELAttribute* column = table->AddAttribute();
    column->SetName(name);
    column->DataType->DataType = type;
    column->DataType->Length = length;
    return column;
}

TVELRelationship* Relate(TVELDataDictionary& dd, TVELEntity* parent, TVELEntity* child, uint8_t type) {
    auto* r = static_cast<TVELRelationship*>(dd.CreateObject(otRelationship, true));
    r->ParentObjectID = parent->ID;
    r->ChildObjectID = child->ID;
    r->RelationshipType = type;
    r->Connect();
    return r;
}

}  // namespace ardvin::test
