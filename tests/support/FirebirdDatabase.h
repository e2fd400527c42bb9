// A Firebird database of its own for a test: the embedded engine of the client library opens a
// temporary database file, without a server. Statements run one by one, scripts are cut as isql
// cuts them, and queries return their values as text.
#pragma once

#include <ibase.h>

#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "zInterBaseDriver.h"

namespace ardvin::test {

// A database file of its own, opened by the embedded engine, removed at the end. Every
// statement runs in a transaction of its own.
class TFirebirdDatabase {
public:
    // Without forced writes the engine does not wait for the disk after each write (kept in the
    // file's header): for tests that run many statements on a file that need not survive.
    explicit TFirebirdDatabase(bool forcedWrites = true);
    ~TFirebirdDatabase();
    TFirebirdDatabase(const TFirebirdDatabase&) = delete;
    TFirebirdDatabase& operator=(const TFirebirdDatabase&) = delete;

    bool Open() const { return db_ != 0; }
    // The database file, for other connections.
    std::string File() const { return dir_.File("test.fdb"); }

    // Runs one statement and commits; the error text, empty when it ran.
    std::string Exec(const std::string& sql);
    // Runs one statement in the given transaction handle, which the statement itself may
    // start (SET TRANSACTION) or end (COMMIT).
    std::string ExecIn(isc_tr_handle& tr, const std::string& sql);
    // Cuts a script as isql does (";" and the SET TERM switches) and runs its statements; the
    // first error, with its statement.
    std::string Script(const std::string& script);
    // The rows of a query, every value as text (NULL as "<null>"); a failure is a test failure.
    std::vector<std::vector<std::string>> Query(const std::string& sql);
    // The first value of a query, "<no row>" when there is none.
    std::string Value(const std::string& sql);
    // The trimmed names of the user's objects of one catalogue table.
    std::set<std::string> Names(const std::string& table, const std::string& column, const std::string& where = "");

private:
    TempDir dir_;
    isc_db_handle db_ = 0;
};

}  // namespace ardvin::test
