// Execute mode of script generation: the statements of a restructure run go to a live database
// through the connection of its driver instead of into script lines.
#pragma once

#include <string>

#include "zDBRestructure.h"

namespace ardvin {

class TDBConnection;

// Runs statements through a driver's connection, all of them in one transaction where the
// system has transactional DDL (on the others each statement takes effect at once).
class TDBConnectionExecutor : public TVELStatementExecutor {
public:
    explicit TDBConnectionExecutor(TDBConnection& connection);

    TDBConnection& Connection;
    // Each statement runs under a savepoint, rolled back when it fails: a system that spoils
    // the whole transaction at the first error (PostgreSQL) then goes on with the next one.
    bool UseSavepoints = false;
    // Each statement is committed at once: a system whose new tables take data only after the
    // transaction that made them ended (Firebird), as its script tool commits each DDL statement.
    bool CommitEach = false;

    // Connects when the connection is not open yet.
    void Prepare() override;
    void StartTransaction() override;
    void Execute(const std::string& statement) override;
    void Commit() override;

private:
    void Run(const std::string& statement);
    bool inTransaction_ = false;
};

// Runs the create pass of a restructure object on a live connection: statements one at a time
// without their terminators, with the log lines of script generation. Whether no statement
// failed.
bool ExecuteCreateScript(TDBRestructure& restructure, TDBConnection& connection);

// Runs the alter pass the same way (the old model set on the restructure object).
bool ExecuteAlterScript(TDBRestructure& restructure, TDBConnection& connection);

}  // namespace ardvin
