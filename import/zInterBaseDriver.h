// The driver of InterBase and Firebird databases, over the Firebird client library: a database
// on a server ("Host", optional "Port" and the database path or alias in "DatabaseName") or a
// local database file opened by the embedded engine ("DatabaseName" alone).
//
// The catalogue is read from the RDB$ tables; the values of the marks are bound as statement
// parameters. The catalogue keeps names in fixed-width columns; the queries trim them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zDBBoundConnection.h"
#include "zEntity.h"

namespace ardvin {

class TInterBaseConnection : public TDBBoundConnection {
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
    std::unique_ptr<TDBScript> CreateScript() override;
    void StartTransaction() override;
    void Commit() override;
    // The base column; a column of a domain keeps only a default of its own.
    TVELAttribute* AddColumn(TVELEntity* entity, const TDBQuery& query) override;
    void ReverseEngineerIndexes(TVELEntity* entity) override;
    void ReverseEngineerSequences(TVELDataDictionary& dictionary) override;

    // The values are bound as parameters; text blobs come back as text too.
    TDBRowSet Run(std::string_view sql, const std::vector<std::string>& values) override;
    // A name as a quoted identifier, inner double quotes doubled.
    static std::string QuoteIdentifier(std::string_view name);
    std::string QuoteName(std::string_view name) const override { return QuoteIdentifier(name); }
    // The connection text of the client library: "host/port:path", "host:path" or the path.
    std::string ConnectionString() const;

protected:
    // The table's name.
    std::vector<std::string> TableValues(const TVELEntity* entity) const override { return {entity->GetName()}; }

private:
    struct TPrepared;
    // The prepared statement of a text, prepared on first use.
    TPrepared& Prepare(const std::string& sql);
    void Unprepare(const std::string& sql);
    void UnprepareAll();
    // The open transaction, started when there is none.
    unsigned int* Transaction();
    void EndTransaction(bool commit);

    unsigned int db_ = 0;  // isc_db_handle
    unsigned int tr_ = 0;  // isc_tr_handle
    std::map<std::string, std::unique_ptr<TPrepared>> prepared_;
};

// The text of a Firebird status vector (ISC_STATUS_ARRAY), empty when it holds no error.
std::string FirebirdStatusText(const intptr_t* status);

}  // namespace ardvin
