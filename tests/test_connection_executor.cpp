// Execute mode through a driver's connection, with a connection that records what it is sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zConnectionExecutor.h"
#include "zDBDrivers.h"
#include "zSQLParser.h"

using namespace ardvin;

namespace {

// Records every statement; a statement holding "fail" raises as a server error would.
class TRecordingConnection : public TDBConnection {
public:
    std::vector<std::string> Sent;
    bool Open = false;
    int Transactions = 0, Commits = 0;

    void Connect() override { Open = true; }
    bool Connected() const override { return Open; }
    void StartTransaction() override { ++Transactions; }
    void Commit() override { ++Commits; }
    std::unique_ptr<TDBQuery> CreateQuery() override {
        return std::make_unique<TDBMemoryQuery>([this](const std::string& sql) {
            Sent.push_back(sql);
            if (sql.find("fail") != std::string::npos) throw EVELError("syntax error at \"fail\"");
            return TDBRowSet();
        });
    }
};

}  // namespace

TEST(ConnectionExecutor, StatementsTransactionsAndSavepoints) {
    TRecordingConnection connection;
    connection.DBID = "postgresql";
    TDBConnectionExecutor executor(connection);
    EXPECT_TRUE(executor.UseSavepoints) << "PostgreSQL spoils a transaction at its first error";
    executor.Prepare();
    EXPECT_TRUE(connection.Open);
    executor.StartTransaction();
    executor.Execute("CREATE TABLE a (x int)");
    EXPECT_THROW(executor.Execute("CREATE fail"), EVELError);
    executor.Execute("CREATE TABLE b (x int)");
    executor.Commit();
    EXPECT_EQ(connection.Transactions, 1);
    EXPECT_EQ(connection.Commits, 1);
    EXPECT_EQ(connection.Sent, (std::vector<std::string>{
                                   "SAVEPOINT ardvin_statement", "CREATE TABLE a (x int)",
                                   "RELEASE SAVEPOINT ardvin_statement", "SAVEPOINT ardvin_statement", "CREATE fail",
                                   "ROLLBACK TO SAVEPOINT ardvin_statement", "RELEASE SAVEPOINT ardvin_statement",
                                   "SAVEPOINT ardvin_statement", "CREATE TABLE b (x int)",
                                   "RELEASE SAVEPOINT ardvin_statement"}));

    // Outside a transaction, and on systems without the need, statements go alone.
    connection.Sent.clear();
    executor.Execute("CREATE TABLE c (x int)");
    TRecordingConnection other;
    other.DBID = "mysql";
    TDBConnectionExecutor plain(other);
    EXPECT_FALSE(plain.UseSavepoints);
    plain.StartTransaction();
    plain.Execute("CREATE TABLE d (x int)");
    EXPECT_EQ(connection.Sent, (std::vector<std::string>{"CREATE TABLE c (x int)"}));
    EXPECT_EQ(other.Sent, (std::vector<std::string>{"CREATE TABLE d (x int)"}));

    // Firebird commits each statement, so that a table made takes data in the next one; a
    // failing statement leaves the transaction open.
    TRecordingConnection firebird;
    firebird.DBID = "interbase";
    TDBConnectionExecutor each(firebird);
    EXPECT_TRUE(each.CommitEach);
    EXPECT_FALSE(plain.CommitEach);
    each.StartTransaction();
    each.Execute("CREATE TABLE e (x int)");
    EXPECT_THROW(each.Execute("INSERT fail"), EVELError);
    each.Execute("INSERT INTO e VALUES (1)");
    EXPECT_EQ(firebird.Commits, 2);
    EXPECT_EQ(firebird.Transactions, 3);
    each.Commit();
    EXPECT_EQ(firebird.Commits, 3);

    // A driver that reads no database cannot run statements.
    std::unique_ptr<TDBConnection> script = CreateConnection("sql");
    TDBConnectionExecutor none(*script);
    try {
        none.Execute("CREATE TABLE e (x int)");
        ADD_FAILURE() << "no error";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "The database driver \"sql\" cannot execute statements.");
    }
}
