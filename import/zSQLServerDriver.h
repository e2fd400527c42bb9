// The SQL Server driver (2012 and later), over unixODBC with Microsoft's ODBC driver or FreeTDS.
//
// The catalogue is read from the sys.* catalog views of the connected database: tables and
// columns with their identity, computed and default definitions, key constraints and indexes,
// check constraints, foreign keys, triggers, views and routines with their modules, sequences,
// alias data types as domains, and MS_Description extended properties as comments. Tables that
// the database tools keep for themselves (marked "microsoft_database_tools_support") are left
// out. The schema filter and the table being read are bound values.
#pragma once

#include <string>
#include <string_view>

#include "zODBCDriver.h"

namespace ardvin {

class TSQLServerConnection : public TODBCConnection {
public:
    void GetSystemSchemaList(std::string& text) const override;
    void GetSQL(int kind, std::string& sql) const override;
    // The base column; the server keeps a default in two pairs of parentheses ("((0))"), the
    // script writes it without them.
    TVELAttribute* AddColumn(TVELEntity* entity, const TDBQuery& query) override;
    // The key, with its clustering when it is not the default one (a nonclustered key).
    void ReverseEngineerPrimaryKey(TVELEntity* entity) override;

    // The full type of a column or alias type as the script writes it, from expressions for the
    // type name, max_length, precision and scale.
    static std::string TypeText(const std::string& name, const std::string& length, const std::string& precision,
                                const std::string& scale);

protected:
    std::string QuoteIdentifier(std::string_view name) const override;
};

}  // namespace ardvin
