// The throwaway database servers of the test suite. ctest starts them once per run (the
// "servers" fixture of tests/CMakeLists.txt, see tests/servers/test-servers.sh); tests read
// their connection data here. Tests that need a server fail, never skip, when it is not up.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct st_mysql;
struct sqlite3;

namespace ardvin::test {

struct ServerParams {
    std::string Host;
    int Port = 0;
    std::string User;
    std::string Password;
    std::string Socket;
};

ServerParams PostgresServer();
ServerParams MariaDBServer();
// A libpq connection string for a database of the PostgreSQL test server.
std::string PostgresConnInfo(const std::string& database = "postgres");
// A fresh, empty database with a unique name (prefix + a number); returns the name.
std::string CreatePostgresDatabase(const std::string& prefix);
std::string CreateMariaDBDatabase(const std::string& prefix);
void DropPostgresDatabase(const std::string& name);
void DropMariaDBDatabase(const std::string& name);

// Runs a script in a database of the MariaDB test server with the command-line client, as a
// user would; the client's messages when it fails, empty on success.
std::string RunMariaDBScript(const std::string& database, const std::string& script);

// Rows of a query, every field as text (NULL as empty text).
using TRows = std::vector<std::vector<std::string>>;

// A connection to a database of the PostgreSQL test server.
class TPostgresConnection {
public:
    explicit TPostgresConnection(const std::string& database);
    ~TPostgresConnection();
    // The connection's error, empty when it is up.
    std::string ConnectError() const;
    // Runs one statement or a whole script; the server's message, empty on success.
    std::string Run(const std::string& sql);
    // The rows of a query; on failure none, and the server's message in error.
    TRows Query(const std::string& sql, std::string& error);

private:
    pg_conn* conn_;
};

// A connection to a database of the MariaDB test server, in utf8mb4.
class TMariaDBConnection {
public:
    explicit TMariaDBConnection(const std::string& database);
    ~TMariaDBConnection();
    std::string ConnectError() const { return connectError_; }
    std::string Run(const std::string& sql);
    TRows Query(const std::string& sql, std::string& error);

private:
    st_mysql* conn_;
    std::string connectError_;
};

// A database file opened through the SQLite library (created when it does not exist).
class TSQLiteDatabase {
public:
    explicit TSQLiteDatabase(const std::string& file);
    ~TSQLiteDatabase();
    TSQLiteDatabase(const TSQLiteDatabase&) = delete;
    TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;
    std::string OpenError() const { return openError_; }
    // Runs one statement or a whole script; the library's message, empty on success.
    std::string Run(const std::string& sql);
    TRows Query(const std::string& sql, std::string& error);

private:
    sqlite3* db_ = nullptr;
    std::string openError_;
};

}  // namespace ardvin::test
