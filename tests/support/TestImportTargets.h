// A definitions folder for the import tests: the shipped targets and small ones for the database
// systems that ship no target yet, each naming its driver.
#pragma once

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "zDatabaseSettings.h"

namespace ardvin::test {

// Copies the shipped definitions into the folder, adds "testmssql" (driver mssqlserver, with a
// few data types), "testoracle" (oracle), "testdb2" (db2) and "testnodriver" (a driver that does
// not exist), and builds the target registry from the folder.
inline void BuildImportTargets(const TempDir& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(DefinitionsDir()))
        std::filesystem::copy_file(entry.path(), dir.File(entry.path().filename().string()),
                                   std::filesystem::copy_options::overwrite_existing);
    auto target = [&](const std::string& id, const std::string& name, const std::string& driver) {
        WriteFile(dir.File(id + ".def"), "[general]\r\ndbmsname=" + name + "\r\ndrivername=" + driver +
                                             "\r\n[supported]\r\nenablesequences=1\r\nenableviews=1\r\n"
                                             "enableprocedures=1\r\nenabletriggers=1\r\nenableschemas=1\r\n");
    };
    target("testmssql", "SQL Server Test", "mssqlserver");
    target("testoracle", "Oracle Test", "oracle");
    target("testdb2", "DB2 Test", "db2");
    target("testnodriver", "Driverless", "nosuchdriver");
    WriteFile(dir.File("testmssql.typ"), "LISTNAME;BASE\r\nINT;INT;;[IDENTITY(%S,%I)];Exact Numeric;0;0;1;1\r\n"
                                         "NVARCHAR;NVARCHAR(%L);;;String;50;0;0\r\n"
                                         "DECIMAL;DECIMAL(%L,%P);;;Exact Numeric;18;2;0\r\n");
    TargetDatabases().Build(dir.Path());
}

} // namespace ardvin::test
