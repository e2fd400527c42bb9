#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "TestSupport.h"

using ardvin::test::RunBuiltProgram;
using ardvin::test::RunResult;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

// Runs "ardvin-cli targets" with ARDVIN_DEFINITIONS set to definitionsFolder, or removed
// from the environment when it is empty.
RunResult RunTargets(const std::string& definitionsFolder) {
    return RunBuiltProgram(
        "ardvin-cli", {"targets"},
        {definitionsFolder.empty() ? "ARDVIN_DEFINITIONS" : "ARDVIN_DEFINITIONS=" + definitionsFolder});
}

// One line, ending in a line break, that holds what.
void ExpectOneLineError(const RunResult& r, const std::string& what) {
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(r.Out, "");
    EXPECT_NE(r.Err.find(what), std::string::npos) << r.Err;
    ASSERT_FALSE(r.Err.empty());
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << r.Err;
}

} // namespace

TEST(CliTargets, ListsShippedAndOwnDefinitions) {
    const RunResult shipped = RunTargets("");
    EXPECT_EQ(shipped.ExitCode, 0) << shipped.Err;
    EXPECT_EQ(shipped.Err, "");
    EXPECT_NE(shipped.Out.find("dbindependent\tDatabase Independent\tDatabase Independent\n"),
              std::string::npos)
        << shipped.Out;
    // Every shipped target is listed, one line each.
    for (const char* line : {"postgresql15\tPostgreSQL 15\tSQL\n", "mysql8\tMySQL 8\tSQL\n",
                             "mariadb10\t", "sqlite3\tSQLite 3\tSQL\n", "mssqlserver2019\tSQL Server 2019\tSQL\n",
                             "oracle19\tOracle 19c\tSQL\n", "db2luw11\tDb2 11.5 for LUW\tSQL\n",
                             "firebird3\tFirebird 3\tSQL\n"})
        EXPECT_NE(shipped.Out.find(line), std::string::npos) << line;
    EXPECT_EQ(std::count(shipped.Out.begin(), shipped.Out.end(), '\n'), 9) << shipped.Out;

    TempDir dir;
    WriteFile(dir.File("b.def"), "[general]\r\ndbmsname=Bee 1\r\ntargettype=ms access 2000\r\n");
    WriteFile(dir.File("a.def"), "; only defaults\n");
    WriteFile(dir.File("readme.txt"), "not a definition");
    const RunResult own = RunTargets(dir.Path());
    EXPECT_EQ(own.ExitCode, 0) << own.Err;
    EXPECT_EQ(own.Out, "a\tdefault target\tSQL\nb\tBee 1\tMS Access 2000\n");
}

TEST(CliTargets, BrokenDefinitionsFolderExitsWithTwo) {
    TempDir dir;
    ExpectOneLineError(RunTargets(dir.File("missing")), dir.File("missing"));

    std::filesystem::create_directory(dir.File("folder.def"));
    ExpectOneLineError(RunTargets(dir.Path()), dir.File("folder.def"));
    std::filesystem::remove(dir.File("folder.def"));

    std::filesystem::create_symlink(dir.File("nowhere.def"), dir.File("dangling.def"));
    ExpectOneLineError(RunTargets(dir.Path()), dir.File("dangling.def"));
    std::filesystem::remove(dir.File("dangling.def"));

    WriteFile(dir.File("bad.def"), "[general]\ndbmsname=Bad\nnot a key line\nneither\n");
    ExpectOneLineError(RunTargets(dir.Path()), dir.File("bad.def") + ":3: ignored malformed line");
    EXPECT_NE(RunTargets(dir.Path()).Err.find("(and 1 more)"), std::string::npos);
}
