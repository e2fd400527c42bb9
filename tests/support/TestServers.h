// The throwaway database servers of the test suite. ctest starts them once per run (the
// "servers" fixture of tests/CMakeLists.txt, see tests/servers/test-servers.sh); tests read
// their connection data here. Tests that need a server fail, never skip, when it is not up.
#pragma once

#include <string>

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

}  // namespace ardvin::test
