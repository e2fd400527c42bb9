#include <gtest/gtest.h>

#include "TestSupport.h"
#include "zDBDrivers.h"
#include "zEntity.h"

using namespace ardvin;
using namespace ardvin::test;

TEST(Logger, PrefixesCountsAndStopsOnErrorWhenAsked) {
    TVELLogger log;
    TVELEntity table(nullptr);
    table.SetName("ORDERS");
    std::vector<std::string> seen;
    log.OnLog = [&](TVELLogger*, int level, const std::string& text, TVELNamedObject*) {
        seen.push_back(std::to_string(level) + text);
    };
    log.Log(mlInfo, "Creating table", &table);
    log.Log(mlError, "syntax error", &table);
    log.Log(mlWarning, "no object");
    EXPECT_EQ(log.Lines, (std::vector<std::string>{"ORDERS : Creating table", "Error : syntax error", "no object"}));
    EXPECT_EQ(log.ErrorCount, 1);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1], "3syntax error");

    log.Flags = 0;
    log.Collect = false;
    log.Log(mlError, "quiet", &table);
    EXPECT_EQ(log.Lines.size(), 3u);
    EXPECT_EQ(log.ErrorCount, 2);

    log.Collect = true;
    log.Log(mlInfo, "bare", &table);
    EXPECT_EQ(log.Lines.back(), "bare");

    log.ContinueOnError = false;
    EXPECT_THROW(log.Log(mlError, "fatal"), EVELError);
    EXPECT_NO_THROW(log.Log(mlWarning, "only a warning"));
    log.Clear();
    EXPECT_TRUE(log.Lines.empty());
    EXPECT_EQ(log.ErrorCount, 0);
}

TEST(Logger, SaveLogWritesDatedFile) {
    TempDir dir;
    TVELLogger log;
    log.Log(mlInfo, "one");
    log.Log(mlInfo, "two");
    const std::string path = log.SaveLog(dir.Path(), "generate");
    EXPECT_NE(path.find("/generate_2"), std::string::npos);
    EXPECT_EQ(path.substr(path.size() - 4), ".txt");
    EXPECT_EQ(ReadFile(path), "one\ntwo\n");
    EXPECT_THROW(log.SaveLog(dir.Path() + "/missing/folder", "x"), EVELError);
}
