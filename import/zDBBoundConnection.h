// The base of the drivers whose catalogue queries take their values as parameters. A query
// marks each value with "?"; the marks take the values in turn (the n-th mark the value n modulo
// their number), so no name is ever part of a query's text. The queries of one table (columns,
// keys, checks, indexes, triggers) take that table's values, the other queries those of the
// database being read.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zDBDrivers.h"

namespace ardvin {

class TDBBoundConnection : public TDBConnection {
public:
    // Runs one statement with its values bound to its marks; every result value comes back as
    // text. Errors of the database raise EVELError.
    virtual TDBRowSet Run(std::string_view sql, const std::vector<std::string>& values) = 0;
    // A table name as the database's SQL writes it, quoted.
    virtual std::string QuoteName(std::string_view name) const = 0;

    // A query with the values of the phase that runs; nullptr without a connection.
    std::unique_ptr<TDBQuery> CreateQuery() override;
    std::unique_ptr<TDBQuery> CreateTableQuery(std::string_view table) override;
    int RowCount(std::string_view table) override;
    void DeleteRows(std::string_view table) override;

    // The base column, with the auto-number flag and seed of RE_AUTONUMBER and RE_SEED also
    // when the type comes as a whole text (RE_SCRIPTDATATYPE).
    TVELAttribute* AddColumn(TVELEntity* entity, const TDBQuery& query) override;
    void ReverseEngineerColumns(TVELEntity* entity) override;
    void ReverseEngineerPrimaryKey(TVELEntity* entity) override;
    // A check with RE_COLUMNNAME set is the check of that column, as when it is written with
    // the column (one check a column); the others are table checks.
    void ReverseEngineerCheckConstraints(TVELEntity* entity) override;
    void ReverseEngineerUniqueConstraints(TVELEntity* entity) override;
    void ReverseEngineerIndexes(TVELEntity* entity) override;
    void ReverseEngineerTriggers(TVELEntity* entity) override;

protected:
    // The values of the queries of a table.
    virtual std::vector<std::string> TableValues(const TVELEntity* entity) const = 0;
    // The values of the queries over the whole database; none in the base.
    virtual std::vector<std::string> DatabaseValues() const { return {}; }
    // Runs a phase with the values of a table bound to its queries.
    void ForTable(const TVELEntity* entity, const std::function<void()>& phase);

private:
    std::vector<std::string> values_;  // the values of the queries of the phase that runs
    bool inTable_ = false;
};

}  // namespace ardvin
