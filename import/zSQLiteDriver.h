// The SQLite driver: reads a database file through libsqlite3.
//
// SQLite keeps the CREATE statement of every table, index, trigger and view in sqlite_master,
// exactly as it was run. The driver reads those texts (an object of the catalogue is always
// looked up with bound parameters, never by pasting its name into a query) and gives them to
// the SQL import, which knows the dialect: the table statements carry the columns, keys, checks,
// unique constraints and foreign keys that the catalogue functions do not fully report.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zDBDrivers.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ardvin {

// A statement on an open SQLite database. Params are bound to ?1, ?2 ... in order (nullopt
// binds NULL). Errors of the library raise EVELError with its message.
class TSQLiteQuery : public TDBQuery {
public:
    explicit TSQLiteQuery(sqlite3* db) : db_(db) {}
    ~TSQLiteQuery() override;
    TSQLiteQuery(const TSQLiteQuery&) = delete;
    TSQLiteQuery& operator=(const TSQLiteQuery&) = delete;

    std::vector<std::optional<std::string>> Params;

    void Open() override;
    bool Eof() const override { return eof_; }
    void Next() override;
    const TDBField* FieldByName(std::string_view name) const override;
    void Close() override;
    // Runs every statement of the text, the parameters bound to the first one.
    void ExecSQL() override;

private:
    void Fail() const;
    void Step();
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
    bool eof_ = true;
    std::vector<TDBField> row_;
    std::unordered_map<std::string, size_t> columns_; // upper-cased name -> position
};

// Parameters: "databasefile" (or "DatabaseName") names the file; with "CreateDatabase" "1"
// a missing file is created (generation into a new database), otherwise it gives "Database
// filename does not exist.". The tables of a file have no schema: "SCHEMANAME" plays no part.
class TSQLiteConnection : public TDBConnection {
public:
    TSQLiteConnection() = default;
    ~TSQLiteConnection() override;

    void GetDescription(std::string& text) const override;
    void GetSQL(int kind, std::string& sql) const override;
    void ReverseEngineerTables(TVELDataDictionary& dictionary) override;
    void ReverseEngineerViews(TVELDataDictionary& dictionary) override;
    void StartTransaction() override;
    void Commit() override;
    // A query of the open database; nullptr while none is open.
    std::unique_ptr<TDBQuery> CreateQuery() override;
    std::unique_ptr<TDBScript> CreateScript() override;
    std::unique_ptr<TDBQuery> CreateTableQuery(std::string_view table) override;
    void Connect() override;
    void ConnectServer() override { Connect(); }
    void Disconnect() override;
    bool Connected() const override { return db_ != nullptr; }
    int RowCount(std::string_view table) override;
    void DeleteRows(std::string_view table) override;

    // The file named by the parameters.
    std::string FileName() const;

private:
    // A query with its parameters; raises when no database is open.
    std::unique_ptr<TSQLiteQuery> Query(const std::string& sql, std::vector<std::optional<std::string>> params = {});
    // Runs the statements through the SQL import into the dictionary, its messages going to the
    // log.
    void ImportStatements(TVELDataDictionary& dictionary, const std::vector<std::string>& statements);
    // An index of a table with expressions among its columns, from its CREATE INDEX text.
    void AddExpressionIndex(TVELEntity* entity, const std::string& name, const std::string& sql);
    sqlite3* db_ = nullptr;
};

// A name written as an SQLite identifier: in double quotes, inner double quotes doubled.
std::string SQLiteIdentifier(std::string_view name);

}  // namespace ardvin
