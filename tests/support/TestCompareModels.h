// Small models for the comparison tests: a target with two data types and helpers that build
// tables, columns and relationships.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zRelationship.h"

namespace ardvin::test {

class CompareModels {
public:
    CompareModels() {
        WriteFile(dir.File("cmp.def"), "[general]\r\ndbmsname=Compare Target\r\n[supported]\r\nenablerefint=1\r\n"
                                       "[refint]\r\nrefintondelete=RC\r\nrefintonupdate=\r\n");
        WriteFile(dir.File("cmp.typ"), "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                       "VARCHAR;VARCHAR;;;String;0;0;0\r\nDATE;DATE;;;Date;0;0;0\r\n");
        TargetDatabases().Build(dir.Path());
        left.SetTarget("cmp");
        right.SetTarget("cmp");
        // The second model numbers its objects differently from the first.
        right.LastID = 500;
    }

    // A table with columns given as (name, data type); the first keys columns are the key.
    static TVELEntity* Table(TVELDataDictionary& d, const std::string& name,
                             std::initializer_list<std::pair<const char*, const char*>> columns, int keys = 1) {
        auto* e = static_cast<TVELEntity*>(d.CreateObject(otEntity, true));
        e->SetName(name);
        int n = 0;
        for (const auto& [column, type] : columns) {
            TVELAttribute* a = e->AddAttribute(true);
            a->SetName(column);
            a->DataType->DataType = type;
            if (n++ < keys) a->SetPrimaryKey(true);
        }
        return e;
    }

    static TVELRelationship* Relate(TVELDataDictionary& d, TVELEntity* parent, TVELEntity* child,
                                    const std::string& name = {}) {
        auto* r = static_cast<TVELRelationship*>(d.CreateObject(otRelationship, true));
        r->ParentObjectID = parent->ID;
        r->ChildObjectID = child->ID;
        r->RelationshipType = rtNonIdentifying;
        r->Connect();
        if (!name.empty()) r->SetName(name);
        return r;
    }

    static TVELAttribute* Column(TVELEntity* e, const std::string& name) {
        for (int i = 0; i < e->Attributes.Count(); ++i)
            if (e->AttributeAt(i)->GetName() == name) return e->AttributeAt(i);
        return nullptr;
    }

    TempDir dir;
    TVELDataDictionary left;
    TVELDataDictionary right;
};

}  // namespace ardvin::test
