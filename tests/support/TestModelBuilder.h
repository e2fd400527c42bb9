// Building small models in tests: tables, columns and relationships made as the editor makes
// them (new identities, connected relationships).
#pragma once

#include <cstdint>
#include <string>

#include "zRelationship.h"

namespace ardvin {
class TVELAttribute;
class TVELDataDictionary;
class TVELEntity;
}  // namespace ardvin

namespace ardvin::test {

// A new table of a name, without columns.
TVELEntity* NewTable(TVELDataDictionary& dd, const std::string& name);
// A new table with one column, <name>Id INTEGER, its primary key.
TVELEntity* NewKeyedTable(TVELDataDictionary& dd, const std::string& name);
// A new column of a table with a data type and a length.
TVELAttribute* NewColumn(TVELEntity* table, const std::string& name, const std::string& type,
                         const std::string& length = "0");
// A new relationship (non-identifying unless told) from parent to child, connected: the child
// has its foreign key.
TVELRelationship* Relate(TVELDataDictionary& dd, TVELEntity* parent, TVELEntity* child,
                         uint8_t type = rtNonIdentifying);

}  // namespace ardvin::test
