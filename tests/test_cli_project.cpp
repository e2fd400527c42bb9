#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "zXMLUtils.h"

using ardvin::test::FolderEntries;
using ardvin::test::OutputValue;
using ardvin::test::ReadFile;
using ardvin::test::RunBuiltProgram;
using ardvin::test::RunResult;
using ardvin::test::SourceDir;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace fs = std::filesystem;

namespace {

// Runs ardvin-cli with the shipped definitions (or those of a folder); working files go to tmp.
RunResult Cli(const std::vector<std::string>& args, const TempDir& tmp, const std::string& definitions = "") {
    return RunBuiltProgram("ardvin-cli", args,
                           {definitions.empty() ? "ARDVIN_DEFINITIONS" : "ARDVIN_DEFINITIONS=" + definitions,
                            "TMPDIR=" + tmp.Path()});
}

void ExpectFailure(const RunResult& r, const std::string& what) {
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(r.Err.starts_with("ardvin-cli: ")) << r.Err;
    EXPECT_NE(r.Err.find(what), std::string::npos) << r.Err;
    ASSERT_FALSE(r.Err.empty());
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << r.Err;
}

} // namespace

TEST(CliProject, NewInfoAndVersions) {
    TempDir dir, tmp;
    const std::string file = dir.File("shop.arv");
    RunResult r = Cli({"new", "--target", "postgresql15", "-o", file}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(ReadFile(file).starts_with("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><ardvin>\r\n"));

    r = Cli({"info", file}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const std::vector<std::string> keys = {
        "file",          "format",   "target",      "target-name", "entities",  "attributes",
        "relationships", "indexes",  "constraints", "domains",     "sequences", "views",
        "procedures",    "triggers", "rules",       "diagrams",    "versions"};
    std::string expected;
    for (const std::string& key : keys)
        expected += key + ": " + OutputValue(r.Out, key) + "\n";
    EXPECT_EQ(r.Out, expected) << "keys missing or out of order";
    EXPECT_EQ(OutputValue(r.Out, "file"), file);
    EXPECT_EQ(OutputValue(r.Out, "format"), "60");
    EXPECT_EQ(OutputValue(r.Out, "target"), "postgresql15");
    EXPECT_NE(OutputValue(r.Out, "target-name").find("PostgreSQL"), std::string::npos) << r.Out;
    EXPECT_EQ(OutputValue(r.Out, "entities"), "0");
    EXPECT_EQ(OutputValue(r.Out, "diagrams"), "1");
    EXPECT_EQ(OutputValue(r.Out, "versions"), "0");

    r = Cli({"versions", file}, tmp);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    r = Cli({"versions", file, "--archive", "Release 1", "--comments", "first cut"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "1\tRelease 1\n");
    r = Cli({"versions", file, "--archive", "Release 1", "--model-only"}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "2\tRelease 1 1\n");
    r = Cli({"versions", file}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const std::vector<std::string> lines = ardvin::SplitString(r.Out, '\n');
    ASSERT_EQ(lines.size(), 3u) << r.Out;
    const std::vector<std::string> second = ardvin::SplitString(lines[0], '\t');
    ASSERT_EQ(second.size(), 4u);
    EXPECT_EQ(second[0], "2");
    EXPECT_EQ(second[3], "Data dictionary only (no diagrams)");
    const std::vector<std::string> first = ardvin::SplitString(lines[1], '\t');
    ASSERT_EQ(first.size(), 4u);
    EXPECT_EQ(first[1], "Release 1");
    EXPECT_EQ(first[2].size(), 16u) << first[2]; // yyyy-mm-dd hh:mm
    EXPECT_EQ(first[3], "Diagrams and data dictionary");
    EXPECT_EQ(OutputValue(Cli({"info", file}, tmp).Out, "versions"), "2");
    // Nothing is left in the temporary folder.
    EXPECT_TRUE(fs::is_empty(tmp.Path()));

    // Saving the same file in another format version is an upgrade without conversion.
    r = Cli({"upgrade", file, "-o", dir.File("copy.arv")}, tmp);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "already in the current format\n");
    EXPECT_EQ(OutputValue(Cli({"info", dir.File("copy.arv")}, tmp).Out, "versions"), "2");
    EXPECT_NE(ReadFile(dir.File("copy.arv"))
                  .find("<PROJECTFILENAME>" + dir.File("copy.arv") + "</PROJECTFILENAME>"),
              std::string::npos);
}

TEST(CliProject, FailuresAreOneLine) {
    TempDir dir, tmp;
    const std::string file = dir.File("p.arv");
    ExpectFailure(Cli({"new", "--target", "postgresql15"}, tmp),
                  "usage: ardvin-cli new --target ID -o FILE.arv");
    ExpectFailure(Cli({"new", "-o", file, "--target"}, tmp), "option --target needs a value");
    ExpectFailure(Cli({"new", "--target", "nosuch", "-o", file}, tmp), "nosuch");
    EXPECT_FALSE(fs::exists(file));
    ASSERT_EQ(Cli({"new", "--target", "sqlite3", "-o", file}, tmp).ExitCode, 0);
    const std::string saved = ReadFile(file);
    ExpectFailure(Cli({"new", "--target", "sqlite3", "-o", file}, tmp), "exists already");
    ExpectFailure(Cli({"info"}, tmp), "usage: ardvin-cli info FILE.arv");
    ExpectFailure(Cli({"info", file, "--verbose"}, tmp), "unknown option --verbose");
    ExpectFailure(Cli({"info", dir.File("none.arv")}, tmp), "does not exist");
    WriteFile(dir.File("text.arv"), "just some text\n");
    ExpectFailure(Cli({"info", dir.File("text.arv")}, tmp), "Unsupported file format.");
    WriteFile(dir.File("cut.arv"), saved.substr(0, saved.size() / 2));
    ExpectFailure(Cli({"info", dir.File("cut.arv")}, tmp),
                  "File \"" + dir.File("cut.arv") + "\" is damaged: ");
    ExpectFailure(Cli({"versions", dir.File("cut.arv"), "--archive", "x"}, tmp), "is damaged");
    EXPECT_EQ(ReadFile(dir.File("cut.arv")), saved.substr(0, saved.size() / 2));
    ExpectFailure(Cli({"versions", file, "--model-only"}, tmp), "need --archive");
    ExpectFailure(Cli({"upgrade", file}, tmp), "usage: ardvin-cli upgrade");
    ExpectFailure(Cli({"upgrade", file, "-o", dir.Path() + "/no/such/folder/x.arv"}, tmp),
                  "Cannot write file");
    EXPECT_EQ(ReadFile(file), saved);
}

TEST(CliProject, UpgradeOlderFiles) {
    const std::string fixtures = SourceDir() + "/tests/fixtures/oldformat";
    const std::string definitions = fixtures + "/definitions";
    TempDir dir, tmp;
    const std::string file = dir.File("shop.arv");
    fs::copy_file(fixtures + "/shop_v40.arv", file);
    const std::string original = ReadFile(file);

    // Looking at an older file converts a copy: the file and its folder stay as they were.
    RunResult r = Cli({"info", file}, tmp, definitions);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(OutputValue(r.Out, "format"), "40");
    EXPECT_EQ(OutputValue(r.Out, "target"), "oracle9");
    EXPECT_EQ(OutputValue(r.Out, "diagrams"), "2");
    EXPECT_EQ(OutputValue(r.Out, "versions"), "1");
    r = Cli({"versions", file}, tmp, definitions);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 1) << r.Out;
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"shop.arv"});
    EXPECT_TRUE(fs::is_empty(tmp.Path()));

    r = Cli({"upgrade", file, "-o", dir.File("new.arv")}, tmp, definitions);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "converted from version 4; backup: " + dir.File("shop ardvinv41.arv") + "\n");
    EXPECT_EQ(ReadFile(file), original);
    EXPECT_EQ(ReadFile(dir.File("shop ardvinv41.arv")), original);
    r = Cli({"info", dir.File("new.arv")}, tmp, definitions);
    EXPECT_EQ(OutputValue(r.Out, "format"), "60");
    EXPECT_EQ(OutputValue(r.Out, "versions"), "1");

    // A version-2 file needs a target.
    fs::copy_file(fixtures + "/shop_v20.arv", dir.File("v2.arv"));
    ExpectFailure(Cli({"upgrade", dir.File("v2.arv"), "-o", dir.File("v2new.arv")}, tmp, definitions),
                  "Conversion aborted by user.");
    EXPECT_FALSE(fs::exists(dir.File("v2new.arv")));
    r = Cli({"upgrade", dir.File("v2.arv"), "-o", dir.File("v2new.arv"), "--target", "postgresql7"}, tmp,
            definitions);
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(OutputValue(Cli({"info", dir.File("v2new.arv")}, tmp, definitions).Out, "target"), "postgresql7");
}
