// The driver of MySQL and MariaDB servers, over the MariaDB client library.
//
// The catalogue is read from information_schema. No name is ever written into a query: the
// values of the marks (the schema to read, or the schema and name of the table being read) go
// in as string literals escaped by the client library for the connection's character set. The tables of the connected database get no schema name; those of
// another database (the "SCHEMANAME" parameter) carry it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zDBBoundConnection.h"

struct st_mysql;

namespace ardvin {

class TMySQLConnection : public TDBBoundConnection {
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
    std::unique_ptr<TDBScript> CreateScript() override;
    void StartTransaction() override;
    void Commit() override;
    void ReverseEngineerSequences(TVELDataDictionary& dictionary) override;

    // The values go in as escaped string literals.
    TDBRowSet Run(std::string_view sql, const std::vector<std::string>& values) override;
    // A name as an identifier in back quotes, inner back quotes doubled.
    static std::string QuoteIdentifier(std::string_view name);
    // A qualified name ("schema.table") quoted part by part.
    std::string QuoteName(std::string_view name) const override;
    // The database that queries read: the "SCHEMANAME" parameter, else the connected one.
    std::string SchemaToRead() const;

protected:
    // A table's database and its name.
    std::vector<std::string> TableValues(const TVELEntity* entity) const override;
    // The database to read, when one is chosen.
    std::vector<std::string> DatabaseValues() const override;

private:
    void Open(bool withDatabase);

    st_mysql* mysql_ = nullptr;
    std::string database_;  // the connected database
};

}  // namespace ardvin
