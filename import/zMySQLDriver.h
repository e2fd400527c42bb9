// The driver of MySQL and MariaDB servers, over the MariaDB client library.
//
// The catalogue is read from information_schema. No name is ever written into a query: every
// query marks its values with "?", and the values (the schema to read, or the schema and name of
// the table being read) go in as string literals escaped by the client library for the
// connection's character set. The tables of the connected database get no schema name; those of
// another database (the "SCHEMANAME" parameter) carry it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zDBDrivers.h"

struct st_mysql;

namespace ardvin {

class TMySQLConnection : public TDBConnection {
public:
    TMySQLConnection();
    ~TMySQLConnection() override;

    // Parameters: "Host", "Port", "DatabaseName", "UserName", "Password" and "Socket" (a local
    // socket file instead of host and port).
    void Connect() override;
    void ConnectServer() override;
    void Disconnect() override;
    bool Connected() const override { return mysql_ != nullptr; }
    void GetDescription(std::string& text) const override;
    void GetSystemSchemaList(std::string& text) const override;
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
    void ReverseEngineerSequences(TVELDataDictionary& dictionary) override;

    // Runs one statement whose "?" marks take values in turn (the n-th mark the value n modulo
    // their number), each as an escaped string literal. Errors of the server raise EVELError.
    TDBRowSet Run(std::string_view sql, const std::vector<std::string>& values);
    // A name as an identifier in back quotes, inner back quotes doubled.
    static std::string QuoteIdentifier(std::string_view name);
    // A qualified name ("schema.table") quoted part by part.
    static std::string QuoteName(std::string_view name);
    // The database that queries read: the "SCHEMANAME" parameter, else the connected one.
    std::string SchemaToRead() const;

private:
    void Open(bool withDatabase);
    // The values of a table's queries: its database and its name.
    std::vector<std::string> TableValues(const TVELEntity* entity) const;
    // Runs a base phase with the table's values bound to its queries.
    template <class Phase> void ForTable(const TVELEntity* entity, Phase phase);

    st_mysql* mysql_ = nullptr;
    std::string database_;             // the connected database
    std::vector<std::string> values_;  // the values of the queries made now
};

}  // namespace ardvin
