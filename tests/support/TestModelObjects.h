// Looking up the objects of a model in tests that read models back from databases.
#pragma once

#include <string>
#include <vector>

#include "zDataDictionary.h"
#include "zEntity.h"

namespace ardvin::test {

// Every object of a class in a model, in model order.
template <class T> std::vector<T*> All(const TVELDataDictionary& dd) {
    std::vector<T*> objects;
    dd.CollectOfClass(objects);
    return objects;
}

// The table of a name (without a schema), nullptr when the model has none.
inline TVELEntity* FindTable(const TVELDataDictionary& dd, const std::string& name) {
    for (TVELEntity* table : All<TVELEntity>(dd))
        if (table->GetName() == name) return table;
    return nullptr;
}

}  // namespace ardvin::test
