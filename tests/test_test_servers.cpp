// The throwaway servers every database test relies on are up, of the expected versions, and
// hand out fresh databases.
#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <mysql.h>

#include <memory>
#include <string>

#include "TestServers.h"

using namespace ardvin::test;

TEST(TestServers, PostgreSQLAnswersAndCreatesDatabases) {
    const std::string db = CreatePostgresDatabase("smoke");
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(PostgresConnInfo(db).c_str()), &PQfinish);
    ASSERT_EQ(PQstatus(conn.get()), CONNECTION_OK) << PQerrorMessage(conn.get());
    EXPECT_EQ(PQserverVersion(conn.get()) / 10000, 15);
    std::unique_ptr<PGresult, decltype(&PQclear)> res(PQexec(conn.get(), "SELECT current_database()"), &PQclear);
    ASSERT_EQ(PQresultStatus(res.get()), PGRES_TUPLES_OK);
    EXPECT_EQ(std::string(PQgetvalue(res.get(), 0, 0)), db);
    conn.reset();
    DropPostgresDatabase(db);
}

TEST(TestServers, MariaDBAnswersAndCreatesDatabases) {
    const std::string db = CreateMariaDBDatabase("smoke");
    const ServerParams p = MariaDBServer();
    std::unique_ptr<MYSQL, decltype(&mysql_close)> conn(mysql_init(nullptr), &mysql_close);
    ASSERT_NE(mysql_real_connect(conn.get(), p.Host.c_str(), p.User.c_str(), p.Password.c_str(), db.c_str(),
                                 static_cast<unsigned>(p.Port), nullptr, 0),
              nullptr)
        << mysql_error(conn.get());
    const std::string version = mysql_get_server_info(conn.get());
    EXPECT_EQ(version.rfind("10.11.", 0), 0u) << version;
    EXPECT_EQ(mysql_query(conn.get(), "CREATE TABLE t (id INT PRIMARY KEY)"), 0) << mysql_error(conn.get());
    conn.reset();
    DropMariaDBDatabase(db);
}
