// The driver of InterBase and Firebird databases, over the Firebird client library: a database
// on a server ("Host", optional "Port" and the database path or alias in "DatabaseName") or a
// local database file opened by the embedded engine ("DatabaseName" alone).
//
// The catalogue is read from the RDB$ tables. Queries mark their values with "?" and the
// values are bound as statement parameters, so no name is ever part of a query's text. The
// catalogue keeps names in fixed-width columns; the queries trim them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zDBDrivers.h"

namespace ardvin {

class TInterBaseConnection : public TDBConnection {
public:
    TInterBaseConnection();
    ~TInterBaseConnection() override;

    // Parameters: "DatabaseName", "Host", "Port", "UserName", "Password" and "CharSet"
    // (default UTF8).
    void Connect() override;
    void Disconnect() override;
    bool Connected() const override { return db_ != 0; }
    void GetDescription(std::string& text) const override;
    void GetSQL(int kind, std::string& sql) const override;
    std::unique_ptr<TDBQuery> CreateQuery() override;
    std::unique_ptr<TDBScript> CreateScript() override;
    std::unique_ptr<TDBQuery> CreateTableQuery(std::string_view table) override;
    void StartTransaction() override;
    void Commit() override;
    int RowCount(std::string_view table) override;
    void DeleteRows(std::string_view table) override;

    TVELAttribute* AddColumn(TVELEntity* entity, const TDBQuery& query) override;
    void ReverseEngineerColumns(TVELEntity* entity) override;
    void ReverseEngineerPrimaryKey(TVELEntity* entity) override;
    void ReverseEngineerCheckConstraints(TVELEntity* entity) override;
    void ReverseEngineerUniqueConstraints(TVELEntity* entity) override;
    void ReverseEngineerIndexes(TVELEntity* entity) override;
    void ReverseEngineerTriggers(TVELEntity* entity) override;
    void ReverseEngineerDomains(TVELDataDictionary& dictionary) override;
    void ReverseEngineerSequences(TVELDataDictionary& dictionary) override;

    // Runs one statement whose "?" marks take the values in turn (the n-th mark the value n
    // modulo their number), bound as parameters; every result value comes back as text (text
    // blobs included). Errors of the engine raise EVELError.
    TDBRowSet Run(std::string_view sql, const std::vector<std::string>& values);
    // A name as a quoted identifier, inner double quotes doubled.
    static std::string QuoteIdentifier(std::string_view name);
    // The connection text of the client library: "host/port:path", "host:path" or the path.
    std::string ConnectionString() const;

private:
    // Runs a base phase with the table's name bound to its queries.
    template <class Phase> void ForTable(const TVELEntity* entity, Phase phase);
    // The open transaction, started when there is none.
    unsigned int* Transaction();
    void EndTransaction(bool commit);

    unsigned int db_ = 0;  // isc_db_handle
    unsigned int tr_ = 0;  // isc_tr_handle
    std::vector<std::string> values_;
};

// The text of a Firebird status vector (ISC_STATUS_ARRAY), empty when it holds no error.
std::string FirebirdStatusText(const intptr_t* status);

}  // namespace ardvin
