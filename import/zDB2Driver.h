// The Db2 driver (Db2 for Linux, Unix and Windows 10.5 and later), over unixODBC with IBM's
// ODBC/CLI driver.
//
// The catalogue is read from the SYSCAT views: TABLES, COLUMNS with COLIDENTATTRIBUTES,
// TABCONST with KEYCOLUSE, CHECKS, INDEXES with INDEXCOLUSE, REFERENCES, TRIGGERS, VIEWS,
// ROUTINES, DATATYPES (distinct types as domains) and SEQUENCES; comments are their REMARKS.
// Without a schema filter the schemas of the system are left out. The schema filter and the
// table being read are bound values.
#pragma once

#include <string>

#include "zODBCDriver.h"

namespace ardvin {

class TDB2Connection : public TODBCConnection {
public:
    void GetSystemSchemaList(std::string& text) const override;
    void GetSQL(int kind, std::string& sql) const override;
    // The catalogue's one-letter actions: "C" cascade, "N" set null, "R" restrict, "A" no
    // action; words as the base reads them.
    uint8_t RuleFromText(std::string_view text) const override;
    // The catalogue's column orders "A" and "D" as "ASC" and "DESC"; other texts in upper case.
    void NormalizeName(std::string_view text, std::string& result) const override;
};

}  // namespace ardvin
