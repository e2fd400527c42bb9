// The tables of the large benchmark models: table e has the key column ID and 19 columns of
// varied types, some of them required or with a default value.
#pragma once

#include <iterator>
#include <string>

#include "zAttribute.h"
#include "zDatatype.h"
#include "zEntity.h"

namespace ardvin::bench {

constexpr int BenchAttributeCount = 20;

inline TVELAttribute* FillBenchTable(TVELEntity* entity, int e) {
    struct Column {
        const char* Type;
        const char* Length;
        int32_t Precision;
    };
    static const Column Columns[] = {{"VARCHAR", "50", 0},  {"DECIMAL", "12", 2}, {"DATE", "0", 0},
                                     {"CHAR", "1", 0},      {"BIGINT", "0", 0},   {"TIMESTAMP", "0", 0},
                                     {"VARCHAR", "200", 0}, {"INTEGER", "0", 0}};
    TVELAttribute* key = entity->AddAttribute();
    key->SetName("ID");
    key->DataType->DataType = "INTEGER";
    key->SetPrimaryKey(true);
    for (int a = 1; a < BenchAttributeCount; ++a) {
        TVELAttribute* attribute = entity->AddAttribute();
        const Column& c = Columns[(a + e) % std::size(Columns)];
        attribute->SetName("Column_" + std::to_string(a));
        attribute->DataType->DataType = c.Type;
        attribute->DataType->Length = c.Length;
        attribute->DataType->Precision = c.Precision;
        if (a % 5 == 0) attribute->SetNotNull(true);
        if (a % 7 == 0) attribute->SetDefaultValue("0");
    }
    return key;
}

} // namespace ardvin::bench
