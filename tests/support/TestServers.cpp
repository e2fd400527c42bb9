#include "TestServers.h"

#include <libpq-fe.h>
#include <mysql.h>
#include <sqlite3.h>
#include <unistd.h>

#include "TestSupport.h"

#include <atomic>
#include <cstdio>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>

namespace ardvin::test {

namespace {

std::map<std::string, std::string> ReadEnvFile() {
    std::ifstream in(ARDVIN_TEST_SERVERS_ENV);
    if (!in)
        throw std::runtime_error(std::string("The test servers are not running (no ") + ARDVIN_TEST_SERVERS_ENV +
                                 "). Run the tests through ctest, which starts them.");
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

ServerParams Params(const std::string& prefix) {
    auto values = ReadEnvFile();
    ServerParams p;
    p.Host = values[prefix + "_HOST"];
    p.Port = std::stoi(values[prefix + "_PORT"]);
    p.User = values[prefix + "_USER"];
    p.Password = values[prefix + "_PASSWORD"];
    p.Socket = values[prefix + "_SOCKET"];
    return p;
}

std::string UniqueName(const std::string& prefix) {
    static std::atomic<int> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(now % 100000) + "_" +
           std::to_string(++counter);
}

void PostgresExec(const std::string& sql) {
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(PostgresConnInfo().c_str()), &PQfinish);
    if (PQstatus(conn.get()) != CONNECTION_OK)
        throw std::runtime_error(std::string("PostgreSQL test server: ") + PQerrorMessage(conn.get()));
    std::unique_ptr<PGresult, decltype(&PQclear)> res(PQexec(conn.get(), sql.c_str()), &PQclear);
    if (PQresultStatus(res.get()) != PGRES_COMMAND_OK)
        throw std::runtime_error(std::string("PostgreSQL test server: ") + PQerrorMessage(conn.get()));
}

void MariaDBExec(const std::string& sql) {
    const ServerParams p = MariaDBServer();
    std::unique_ptr<MYSQL, decltype(&mysql_close)> conn(mysql_init(nullptr), &mysql_close);
    if (!mysql_real_connect(conn.get(), p.Host.c_str(), p.User.c_str(), p.Password.c_str(), nullptr,
                            static_cast<unsigned>(p.Port), nullptr, 0))
        throw std::runtime_error(std::string("MariaDB test server: ") + mysql_error(conn.get()));
    if (mysql_query(conn.get(), sql.c_str()) != 0)
        throw std::runtime_error(std::string("MariaDB test server: ") + mysql_error(conn.get()));
}

}  // namespace

ServerParams PostgresServer() { return Params("PG"); }
ServerParams MariaDBServer() { return Params("MARIADB"); }

std::string PostgresConnInfo(const std::string& database) {
    const ServerParams p = PostgresServer();
    return "host=" + p.Host + " port=" + std::to_string(p.Port) + " user=" + p.User + " dbname=" + database +
           " connect_timeout=10";
}

std::string CreatePostgresDatabase(const std::string& prefix) {
    const std::string name = UniqueName(prefix);
    PostgresExec("CREATE DATABASE \"" + name + "\" TEMPLATE template0 ENCODING 'UTF8'");
    return name;
}

std::string CreateMariaDBDatabase(const std::string& prefix) {
    const std::string name = UniqueName(prefix);
    MariaDBExec("CREATE DATABASE `" + name + "` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci");
    return name;
}

void DropPostgresDatabase(const std::string& name) { PostgresExec("DROP DATABASE IF EXISTS \"" + name + "\" WITH (FORCE)"); }

void DropMariaDBDatabase(const std::string& name) { MariaDBExec("DROP DATABASE IF EXISTS `" + name + "`"); }

TPostgresConnection::TPostgresConnection(const std::string& database)
    : conn_(PQconnectdb(PostgresConnInfo(database).c_str())) {}

TPostgresConnection::~TPostgresConnection() { PQfinish(conn_); }

std::string TPostgresConnection::ConnectError() const {
    return PQstatus(conn_) == CONNECTION_OK ? "" : PQerrorMessage(conn_);
}

std::string TPostgresConnection::Run(const std::string& sql) {
    std::unique_ptr<PGresult, decltype(&PQclear)> res(PQexec(conn_, sql.c_str()), &PQclear);
    const ExecStatusType status = PQresultStatus(res.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? "" : PQerrorMessage(conn_);
}

TRows TPostgresConnection::Query(const std::string& sql, std::string& error) {
    std::unique_ptr<PGresult, decltype(&PQclear)> res(PQexec(conn_, sql.c_str()), &PQclear);
    TRows rows;
    error.clear();
    if (PQresultStatus(res.get()) != PGRES_TUPLES_OK) {
        error = PQerrorMessage(conn_);
        return rows;
    }
    for (int r = 0; r < PQntuples(res.get()); ++r) {
        rows.emplace_back();
        for (int f = 0; f < PQnfields(res.get()); ++f) rows.back().emplace_back(PQgetvalue(res.get(), r, f));
    }
    return rows;
}

std::string RunMariaDBScript(const std::string& database, const std::string& script) {
    const TempDir dir;
    const std::string file = dir.File("script.sql");
    WriteFile(file, script);
    const ServerParams p = MariaDBServer();
    const std::string command = "mariadb --no-defaults --batch --protocol=TCP -h '" + p.Host + "' -P " +
                                std::to_string(p.Port) + " -u '" + p.User + "'" +
                                (p.Password.empty() ? "" : " '-p" + p.Password + "'") +
                                " --default-character-set=utf8mb4 '" + database + "' < '" + file + "' 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "cannot start the client";
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    const int status = pclose(pipe);
    return status == 0 ? "" : "exit status " + std::to_string(status) + ": " + output;
}

TMariaDBConnection::TMariaDBConnection(const std::string& database) : conn_(mysql_init(nullptr)) {
    const ServerParams p = MariaDBServer();
    if (!mysql_real_connect(conn_, p.Host.c_str(), p.User.c_str(), p.Password.c_str(), database.c_str(),
                            static_cast<unsigned>(p.Port), nullptr, 0))
        connectError_ = mysql_error(conn_);
    else
        mysql_set_character_set(conn_, "utf8mb4");
}

TMariaDBConnection::~TMariaDBConnection() { mysql_close(conn_); }

std::string TMariaDBConnection::Run(const std::string& sql) {
    if (mysql_query(conn_, sql.c_str()) != 0) return mysql_error(conn_);
    // A statement that returns rows leaves them to be read.
    if (MYSQL_RES* result = mysql_store_result(conn_)) mysql_free_result(result);
    return {};
}

TRows TMariaDBConnection::Query(const std::string& sql, std::string& error) {
    TRows rows;
    error.clear();
    if (mysql_query(conn_, sql.c_str()) != 0) {
        error = mysql_error(conn_);
        return rows;
    }
    std::unique_ptr<MYSQL_RES, decltype(&mysql_free_result)> result(mysql_store_result(conn_), &mysql_free_result);
    if (!result) return rows;
    const unsigned fields = mysql_num_fields(result.get());
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        rows.emplace_back();
        for (unsigned f = 0; f < fields; ++f) rows.back().emplace_back(row[f] ? row[f] : "");
    }
    return rows;
}

TSQLiteDatabase::TSQLiteDatabase(const std::string& file) {
    if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) openError_ = db_ ? sqlite3_errmsg(db_) : "out of memory";
}

TSQLiteDatabase::~TSQLiteDatabase() { sqlite3_close(db_); }

std::string TSQLiteDatabase::Run(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return {};
    std::string text = error ? error : "error";
    sqlite3_free(error);
    return text;
}

TRows TSQLiteDatabase::Query(const std::string& sql, std::string& error) {
    TRows rows;
    char* message = nullptr;
    auto collect = [](void* out, int n, char** values, char**) {
        auto& r = *static_cast<TRows*>(out);
        r.emplace_back();
        for (int i = 0; i < n; ++i) r.back().emplace_back(values[i] ? values[i] : "");
        return 0;
    };
    error.clear();
    if (sqlite3_exec(db_, sql.c_str(), collect, &rows, &message) != SQLITE_OK) {
        error = message ? message : "error";
        rows.clear();
    }
    sqlite3_free(message);
    return rows;
}

}  // namespace ardvin::test
