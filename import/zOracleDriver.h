// The Oracle driver (12c and later), over unixODBC with Oracle's ODBC driver.
//
// The catalogue is read from the ALL_* views: ALL_TABLES with ALL_TAB_COMMENTS, ALL_TAB_COLS
// with ALL_COL_COMMENTS and ALL_TAB_IDENTITY_COLS, ALL_CONSTRAINTS with ALL_CONS_COLUMNS,
// ALL_INDEXES with ALL_IND_COLUMNS and ALL_IND_EXPRESSIONS, ALL_VIEWS, ALL_TRIGGERS,
// ALL_SEQUENCES; procedure, function, package and trigger bodies come line by line from
// ALL_SOURCE. Without a schema filter the schemas that Oracle maintains are left out. The
// schema filter and the table being read are bound values.
#pragma once

#include <string>

#include "zODBCDriver.h"

namespace ardvin {

class TOracleConnection : public TODBCConnection {
public:
    // The schemas that Oracle maintains, as a subquery of ALL_USERS.
    void GetSystemSchemaList(std::string& text) const override;
    void GetSQL(int kind, std::string& sql) const override;
    // The base column; the catalogue keeps a default as written (with trailing blanks), an
    // identity column's default is its sequence, which the model does not keep.
    TVELAttribute* AddColumn(TVELEntity* entity, const TDBQuery& query) override;
    // A virtual column: its expression (the catalogue's default) becomes the computed type.
    void ComputedColumn(TVELAttribute* attribute) override;
    // The view text is the query alone; the statement that makes the view is put before it.
    void ReverseEngineerViews(TVELDataDictionary& dictionary) override;

protected:
    // The index rows name a column of an expression or of a descending key by a hidden
    // column (SYS_NC...$); it is replaced by the expression, or by the column it names.
    std::unique_ptr<TDBQuery> CatalogueQuery(int kind, const TVELEntity* table) override;
};

}  // namespace ardvin
