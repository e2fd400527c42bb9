// Reading the catalogue of a database on the test servers (PostgreSQL, MariaDB) or of an SQLite
// file as canonical lines by kind, so that tests can compare what a script left with what a model
// expects, or two databases with each other.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestServers.h"
#include "TestSupport.h"
#include "zXMLUtils.h"

namespace ardvin::test {

// What a catalogue holds, as one canonical line per object, by kind.
using TCatalogue = std::map<std::string, std::set<std::string>>;

// The kinds of a catalogue, in the order differences are reported.
extern const char* const CatalogueKinds[14];

// Reports the differences of two catalogues kind by kind.
void ExpectSameCatalogue(const TCatalogue& expected, const TCatalogue& actual, const std::string& what);
size_t ObjectCount(const TCatalogue& catalogue);

// The catalogue readers: a query's rows, each joined into one line of a kind.
template <class Connection> class TCatalogueReader {
public:
    explicit TCatalogueReader(const std::string& database) : conn_(database) {
        EXPECT_EQ(conn_.ConnectError(), "");
    }
    TRows Query(const std::string& sql) {
        std::string error;
        TRows rows = conn_.Query(sql, error);
        if (!error.empty()) ADD_FAILURE() << sql << ": " << error;
        return rows;
    }
    void Collect(TCatalogue& c, const char* kind, const std::string& sql) {
        for (const auto& row : Query(sql)) c[kind].insert(JoinStrings(row, ""));
    }

protected:
    Connection conn_;
};

class TPostgres : public TCatalogueReader<TPostgresConnection> {
public:
    explicit TPostgres(const std::string& database) : TCatalogueReader(database) {
        conn_.Run("SET client_min_messages = warning");
    }
    // Runs a whole script; the error message, empty on success.
    std::string Run(const std::string& script) { return conn_.Run(script); }
    TCatalogue Catalogue();
};

class TMariaDB : public TCatalogueReader<TMariaDBConnection> {
public:
    explicit TMariaDB(std::vector<std::string> databases)
        : TCatalogueReader(databases.front()), databases_(std::move(databases)) {}
    // Runs a script with the command-line client, as a user would; its messages when it fails.
    std::string Run(const std::string& script) {
        const TempDir dir;
        const std::string file = dir.File("script.sql");
        WriteFile(file, script);
        const ServerParams p = MariaDBServer();
        std::string command = "mariadb --no-defaults --batch --protocol=TCP -h '" + p.Host + "' -P " +
                              std::to_string(p.Port) + " -u '" + p.User + "'" +
                              (p.Password.empty() ? "" : " '-p" + p.Password + "'") +
                              " --default-character-set=utf8mb4 '" + databases_[0] + "' < '" + file + "' 2>&1";
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return "cannot start the client";
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        const int status = pclose(pipe);
        return status == 0 ? "" : "exit status " + std::to_string(status) + ": " + output;
    }
    TCatalogue Catalogue();

private:
    std::vector<std::string> databases_;
};

class TSQLite {
public:
    explicit TSQLite(const std::string& file) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        db_.reset(db);
    }
    std::string Run(const std::string& script) {
        char* error = nullptr;
        if (sqlite3_exec(db_.get(), script.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return {};
        std::string text = error ? error : "error";
        sqlite3_free(error);
        return text;
    }
    TRows Query(const std::string& sql) {
        TRows rows;
        char* error = nullptr;
        auto collect = [](void* out, int n, char** values, char**) {
            auto& r = *static_cast<TRows*>(out);
            r.emplace_back();
            for (int i = 0; i < n; ++i) r.back().emplace_back(values[i] ? values[i] : "");
            return 0;
        };
        if (sqlite3_exec(db_.get(), sql.c_str(), collect, &rows, &error) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << (error ? error : "");
            sqlite3_free(error);
        }
        return rows;
    }
    TCatalogue Catalogue();

private:
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db_{nullptr, &sqlite3_close};
};

}  // namespace ardvin::test
