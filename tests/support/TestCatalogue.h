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
    std::string Run(const std::string& script) { return RunMariaDBScript(databases_[0], script); }
    TCatalogue Catalogue();

private:
    std::vector<std::string> databases_;
};

class TSQLite {
public:
    explicit TSQLite(const std::string& file) : db_(file) { EXPECT_EQ(db_.OpenError(), ""); }
    std::string Run(const std::string& script) { return db_.Run(script); }
    TRows Query(const std::string& sql) {
        std::string error;
        TRows rows = db_.Query(sql, error);
        if (!error.empty()) ADD_FAILURE() << sql << ": " << error;
        return rows;
    }
    TCatalogue Catalogue();

private:
    TSQLiteDatabase db_;
};

}  // namespace ardvin::test
