#include "zConnectionExecutor.h"

#include "zDBDrivers.h"

namespace ardvin {

namespace {

const char* const Savepoint = "ardvin_statement";

}  // namespace

TDBConnectionExecutor::TDBConnectionExecutor(TDBConnection& connection)
    : Connection(connection), UseSavepoints(connection.DBID == "postgresql"), CommitEach(connection.DBID == "interbase") {}

void TDBConnectionExecutor::Prepare() {
    if (!Connection.Connected()) Connection.Connect();
}

void TDBConnectionExecutor::StartTransaction() {
    Connection.StartTransaction();
    inTransaction_ = true;
}

void TDBConnectionExecutor::Run(const std::string& statement) {
    std::unique_ptr<TDBQuery> query = Connection.CreateQuery();
    if (!query) throw EVELError("The database driver \"" + Connection.DBID + "\" cannot execute statements.");
    query->AddSQL(statement);
    query->ExecSQL();
}

void TDBConnectionExecutor::Execute(const std::string& statement) {
    if (CommitEach && inTransaction_) {
        Run(statement);
        Connection.Commit();
        Connection.StartTransaction();
        return;
    }
    if (!UseSavepoints || !inTransaction_) {
        Run(statement);
        return;
    }
    Run(std::string("SAVEPOINT ") + Savepoint);
    try {
        Run(statement);
    } catch (const EVELError&) {
        Run(std::string("ROLLBACK TO SAVEPOINT ") + Savepoint);
        Run(std::string("RELEASE SAVEPOINT ") + Savepoint);
        throw;
    }
    Run(std::string("RELEASE SAVEPOINT ") + Savepoint);
}

void TDBConnectionExecutor::Commit() {
    Connection.Commit();
    inTransaction_ = false;
}

namespace {

// Runs one pass of a restructure object on a live connection. The object is left in script
// mode as it was, also when the run fails.
bool ExecutePass(TDBRestructure& restructure, TDBConnection& connection, bool (TDBRestructure::*pass)()) {
    TDBConnectionExecutor executor(connection);
    struct TRestore {
        TDBRestructure& R;
        TVELStatementExecutor* Executor = R.Executor;
        bool WriteToScript = R.WriteToScript;
        bool StripTerminators = R.StripTerminators;
        ~TRestore() {
            R.Executor = Executor;
            R.WriteToScript = WriteToScript;
            R.StripTerminators = StripTerminators;
        }
    } restore{restructure};
    restructure.Executor = &executor;
    restructure.WriteToScript = false;
    restructure.StripTerminators = true;
    return (restructure.*pass)();
}

}  // namespace

bool ExecuteCreateScript(TDBRestructure& restructure, TDBConnection& connection) {
    return ExecutePass(restructure, connection, &TDBRestructure::GenerateCreateScript);
}

bool ExecuteAlterScript(TDBRestructure& restructure, TDBConnection& connection) {
    return ExecutePass(restructure, connection, &TDBRestructure::GenerateAlterScript);
}

}  // namespace ardvin
