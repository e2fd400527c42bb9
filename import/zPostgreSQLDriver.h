// The PostgreSQL driver: a connection over libpq that reads the system catalogue of a server
// (version 12 or later) into a model, and runs statements for generation in execute mode.
//
// Names never become part of a query text. The schema filter, the tables being read and every
// other name travel as bound parameters; the few statements that must name an object (row
// counts, table queries) quote it with libpq's own identifier escaping.
//
// The per-table catalogue queries (columns, keys, checks, unique constraints, indexes,
// triggers) each run once for all tables being imported: the rows are grouped by table and
// handed to the framework's phases table by table. A server answers one query for a thousand
// tables nearly as fast as one for a single table, so the import takes a handful of round
// trips instead of several per table.
//
// Connection parameters: "Host", "Port", "DatabaseName", "UserName", "Password" and the
// optional "Service" (a service of pg_service.conf), "SSLMode" and "ConnectTimeout". Those left
// empty are not handed to libpq, so that its environment (PGHOST, PGPASSWORD ...), the password
// file ~/.pgpass and service files work as they do for psql. A DatabaseName that is a
// postgresql:// URI is handed over whole.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zDBDrivers.h"

struct pg_conn;
struct pg_result;

namespace ardvin {

class TPostgreSQLConnection;
class TVELSequence;

// A statement's parameters: $1, $2 ... in order; std::nullopt is NULL.
using TPGParams = std::vector<std::optional<std::string>>;

// A query of a PostgreSQL connection. Params are bound to $1, $2 ... of the text; the whole
// result is read on Open.
class TPostgreSQLQuery : public TDBMemoryQuery {
public:
    explicit TPostgreSQLQuery(TPostgreSQLConnection& connection);
    TPGParams Params;
    // Runs a statement that returns no rows (several statements when there are no parameters).
    void ExecSQL() override;

private:
    TPostgreSQLConnection& connection_;
};

class TPostgreSQLConnection : public TDBConnection {
public:
    TPostgreSQLConnection();
    ~TPostgreSQLConnection() override;

    void Initialize() override;
    // DatabaseName + " on " + Host.
    void GetDescription(std::string& text) const override;
    void GetSystemSchemaList(std::string& text) const override;
    // Query texts hold "%schemaname" for the schema filter, "%defaultschema" for the target's
    // default schema (whose objects come without a schema name) and, in the queries of the
    // members of tables, "%schemas" and "%tables" for the tables being read; all are bound as
    // text parameters when the query runs. Kind 9 returns functions and procedures alike, so
    // kind 10 has no text.
    void GetSQL(int kind, std::string& sql) const override;
    // The framework's phases, then what they leave out: storage options of tables and keys,
    // interval fields, links of columns to the sequences of their defaults, deferrable foreign
    // keys, and the casts the server adds to defaults and checks.
    void ReverseEngineerColumns(TVELEntity* entity) override;
    void ReverseEngineerPrimaryKey(TVELEntity* entity) override;
    void ReverseEngineerUniqueConstraints(TVELEntity* entity) override;
    void ReverseEngineerCheckConstraints(TVELEntity* entity) override;
    void ReverseEngineerDomains(TVELDataDictionary& dictionary) override;
    void ReverseEngineerSequences(TVELDataDictionary& dictionary) override;
    void ReverseEngineerRelationships(TVELDataDictionary& dictionary) override;
    // "CASCADE", "SET NULL", "SET DEFAULT", "RESTRICT" and the one-letter action codes of
    // pg_constraint ("c", "n", "d", "r"; "a", no action, gives 0).
    uint8_t RuleFromText(std::string_view text) const override;
    void StartTransaction() override;
    void Commit() override;
    // Ends an open transaction without its changes.
    void Rollback();
    std::unique_ptr<TDBQuery> CreateQuery() override;
    std::unique_ptr<TDBScript> CreateScript() override;
    // "SELECT * FROM " + the table, its schema and name quoted.
    std::unique_ptr<TDBQuery> CreateTableQuery(std::string_view table) override;
    void Connect() override;
    // Connects to the server's maintenance database "postgres" (to list databases).
    void ConnectServer() override;
    void Disconnect() override;
    bool Connected() const override;
    int RowCount(std::string_view table) override;
    void DeleteRows(std::string_view table) override;

    // The databases of the server that accept connections, in name order.
    void ListDatabases(std::vector<std::string>& list);
    // Runs one statement, or a script of several when there are no parameters; raises
    // EVELError with the server's message when it fails.
    void ExecSQL(const std::string& sql, const TPGParams& params = {});
    // The rows of a query with its parameters.
    TDBRowSet Select(const std::string& sql, const TPGParams& params = {});
    // A name quoted as an identifier by libpq ("it's" stays as it is, x"y becomes "x""y").
    std::string QuoteIdentifier(std::string_view name) const;
    // The server's version number (150004 for 15.4); 0 when not connected.
    int ServerVersion() const;
    bool InTransaction() const;

protected:
    std::unique_ptr<TDBQuery> CatalogueQuery(int kind, const TVELEntity* table) override;

private:
    void Open(bool withDatabase);
    // A query of a text from GetSQL with its placeholders bound: the schema filter and, when
    // given, the tables being read.
    std::unique_ptr<TPostgreSQLQuery> BoundQuery(std::string_view sql, const std::vector<std::string>* schemas,
                                                 const std::vector<std::string>* tables);
    // The rows of a per-table kind for one table. The first call of a kind reads the rows of
    // every table of the dictionary being built.
    const TDBRowSet& TableRows(int kind, const TVELEntity& table);
    void CheckConnected() const;
    // The sequence of the dictionary being built with that schema and name.
    TVELSequence* FindSequence(const TVELEntity& entity, const std::string& schema, const std::string& name) const;

    pg_conn* conn_ = nullptr;
    // Rows of the per-table kinds by kind, then by schema + "\n" + table name.
    std::map<int, std::unordered_map<std::string, TDBRowSet>> tableRows_;
    // The rows of the table list by schema + "\n" + table name, and their column names: they
    // carry the table options.
    std::unordered_map<std::string, std::vector<TDBField>> tables_;
    std::vector<std::string> tableColumns_;
    // The rows of the foreign keys: they carry the options of the constraints.
    TDBRowSet foreignKeys_;
};

// A connection failure as users read it: the server or host, and libpq's own explanation,
// with the hint that fits a missing or refused password. The password itself never appears.
std::string PostgreSQLConnectError(std::string_view libpqMessage, std::string_view database, std::string_view host,
                                   std::string_view user, bool passwordNeeded, bool passwordGiven);

// A PostgreSQL array literal of texts ({"a","b\"c"}), for binding a list as one parameter.
std::string PGTextArray(const std::vector<std::string>& items);

}  // namespace ardvin
