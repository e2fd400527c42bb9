// The example project of the distribution: the model of a web shop (customers, products,
// orders, payments, shipments, stock ...) on one diagram, built through the program's own
// model and diagram operations so that the file is exactly what the program writes.
#pragma once

#include <string>

#include "zVersions.h"

namespace ardvin {

class TVELProject;

// The date the example carries, so that every run writes the same bytes.
TVELDateTime ShopExampleDate();
// Fills a new project (made with a clock standing at ShopExampleDate) with the example.
void BuildShopExample(TVELProject& project);
// Builds the example and saves it as fileName; the file names itself "shop.arv".
void WriteShopExample(const std::string& fileName);

} // namespace ardvin
