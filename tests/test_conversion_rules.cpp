#include <gtest/gtest.h>

#include "TestSupport.h"
#include "zDCR.h"

using namespace ardvin;

TEST(TypeConversionRules, FileFilteringAndRuleOrder) {
    const std::string text =
        "SourceDBID;SourceDataType;From;To;Dest;LenConv;PrecConv;DestDBID\r\n"
        "oracle19;VARCHAR2;1;4000;VARCHAR;;;pg\r\n"
        "mysql8 ; VARCHAR ; 1 ; 255 ; VARCHAR2 ;;; oracle19\r\n"
        "\r\n"
        "MYSQL8;varchar;256;;CLOB;;;oracle19\r\n"
        "mysql8;TEXT;;;;;;oracle19\r\n"            // no destination: never matches
        "mysql8;TEXT;;;CLOB;;;oracle19\r\n"
        "mysql8;NVARCHAR;max;;NCLOB;;;oracle19\r\n"
        "mysql8;DECIMAL;;;NUMBER;+2;-1;oracle19\r\n"
        "mysql8;FLOAT;0;0;BINARY_DOUBLE;;;oracle19\r\n"
        "mysql8;BIT;1.5;x;NUMBER;1;;oracle19\r\n";
    TVELTypeConversionRules rules;
    rules.LoadFromText(text, "mysql8");
    ASSERT_EQ(rules.Count(), 8);  // the header, the blank line and the oracle19 line are dropped
    EXPECT_EQ(rules.Rule(0).SourceDataType, "VARCHAR");
    EXPECT_EQ(rules.Rule(0).Source(), "VARCHAR (1-255)");
    EXPECT_EQ(rules.Rule(1).Source(), "varchar (>256)");
    EXPECT_EQ(rules.Rule(5).Destination(), "NUMBER (+2,-1)");
    EXPECT_EQ(rules.Rule(0).GetPropertyValue("Destination"), "VARCHAR2");

    auto convert = [&](const char* type, std::string length, int32_t precision) {
        std::string dest;
        const bool hit = rules.Convert(type, length, precision, dest);
        return hit ? dest + "|" + length + "|" + IntToStr(precision) : std::string("none");
    };
    EXPECT_EQ(convert("VARCHAR", "300", 0), "CLOB|300|0");
    EXPECT_EQ(convert("Varchar", "255", 0), "VARCHAR2|255|0");
    EXPECT_EQ(convert("TEXT", "0", 0), "CLOB|0|0");
    EXPECT_EQ(convert("NVARCHAR", "MAX", 0), "NCLOB|MAX|0");
    EXPECT_EQ(convert("NVARCHAR", "20", 0), "none");  // a text bound only matches texts
    EXPECT_EQ(convert("DECIMAL", "10", 2), "NUMBER|12|1");
    EXPECT_EQ(convert("FLOAT", "53", 0), "BINARY_DOUBLE|53|0");
    EXPECT_EQ(convert("INTEGER", "0", 0), "none");
    EXPECT_EQ(rules.Rule(7).SourceLengthRangeTo, "");  // a bound that is not an integer is absent
    EXPECT_EQ(convert("BIT", "1", 0), "none");           // and a non-numeric lower bound only fits texts

    ardvin::test::TempDir dir;
    ardvin::test::WriteFile(dir.File("x.dcr"), text);
    TVELTypeConversionRules fromFile;
    EXPECT_TRUE(fromFile.LoadFromFile(dir.File("x.dcr"), "oracle19"));
    EXPECT_EQ(fromFile.Count(), 1);
    EXPECT_FALSE(fromFile.LoadFromFile(dir.File("missing.dcr"), "oracle19"));
    EXPECT_EQ(fromFile.Count(), 0);
}

TEST(TypeConversionRules, LengthAndPrecisionConversionTexts) {
    EXPECT_EQ(ConvertByRule("10", "+2", 0, true), "12");
    EXPECT_EQ(ConvertByRule("10", "-PREC", 2, true), "8");
    EXPECT_EQ(ConvertByRule("10", "+prec", 3, true), "13");
    EXPECT_EQ(ConvertByRule("10", "4000", 0, true), "4000");
    EXPECT_EQ(ConvertByRule("10", "", 0, true), "10");
    EXPECT_EQ(ConvertByRule("10", "-PREC", 2, false), "-PREC");  // PREC is a length conversion only
    EXPECT_EQ(ConvertByRule("MAX", "+2", 0, true), "2");
    EXPECT_EQ(ConvertByRule("10", "+x", 0, true), "+x");
}

TEST(FunctionConversionRules, RewriteCallsOutsideLiterals) {
    TVELFunctionConversionRules rules;
    rules.LoadFromText("Source;Function;Destination;Target\r\n"
                       "mssqlserver2019;getdate();CURRENT_TIMESTAMP;postgresql15\r\n"
                       "mssqlserver2019;newid();gen_random_uuid();postgresql15\r\n"
                       "mssqlserver2019;isnull[];coalesce[];postgresql15\r\n"
                       "mssqlserver2019;SYSTEM_USER;CURRENT_USER;postgresql15\r\n"
                       "oracle19;SYSDATE;now();postgresql15\r\n",
                       "mssqlserver2019");
    ASSERT_EQ(rules.Count(), 4);
    EXPECT_EQ(rules.Convert("getdate()"), "CURRENT_TIMESTAMP");
    EXPECT_EQ(rules.Convert("GETDATE ( )"), "CURRENT_TIMESTAMP");
    EXPECT_EQ(rules.Convert("(newid())"), "(gen_random_uuid())");
    EXPECT_EQ(rules.Convert("isnull(a, 'x')"), "coalesce(a, 'x')");
    EXPECT_EQ(rules.Convert("system_user"), "CURRENT_USER");
    EXPECT_EQ(rules.Convert("my_system_user"), "my_system_user");  // whole words only
    EXPECT_EQ(rules.Convert("getdated()"), "getdated()");
    EXPECT_EQ(rules.Convert("'getdate()'"), "'getdate()'");          // literals stay as they are
    EXPECT_EQ(rules.Convert("'it''s getdate()' + getdate()"), "'it''s getdate()' + CURRENT_TIMESTAMP");
    EXPECT_EQ(rules.Convert("getdate"), "getdate");  // not a call
}

TEST(FunctionConversionRules, CallsWithTextArgumentsMatchTheWholeValueAndRulesChain) {
    TVELFunctionConversionRules rules;
    rules.LoadFromText("Source;Function;Destination;Target\r\n"
                       "sqlite3;datetime('now');CURRENT_TIMESTAMP;mysql8\r\n"
                       "sqlite3;date('now');(CURRENT_DATE);mysql8\r\n"
                       "sqlite3;CURRENT_TIMESTAMP;NOW();mysql8\r\n",
                       "sqlite3");
    ASSERT_EQ(rules.Count(), 3);
    EXPECT_EQ(rules.Convert("datetime( 'now' )"), "NOW()");  // each rule works on the result of the one before
    EXPECT_EQ(rules.Convert("((date('now')))"), "(CURRENT_DATE)");
    EXPECT_EQ(rules.Convert("DATE('NOW')"), "(CURRENT_DATE)");
    EXPECT_EQ(rules.Convert("date('now', '+1 day')"), "date('now', '+1 day')");
    EXPECT_EQ(rules.Convert("(date('now'))||(date('now'))"), "(date('now'))||(date('now'))");
    EXPECT_EQ(rules.Convert("'date(''now'')'"), "'date(''now'')'");
}

TEST(TypeConversionRules, RulesOfOneTypeAreTriedInFileOrder) {
    TVELTypeConversionRules rules;
    rules.LoadFromText("SourceDBID;...\r\n"
                       "postgresql15;VARCHAR;1;65535;VARCHAR;;;mysql8\r\n"
                       "postgresql15;varchar;65536;;LONGTEXT;0;;mysql8\r\n"
                       "postgresql15;VARCHAR;;;LONGTEXT;;;mysql8\r\n",
                       "postgresql15");
    auto convert = [&](std::string length) {
        int32_t precision = 0;
        std::string type;
        EXPECT_TRUE(rules.Convert("Varchar", length, precision, type));
        return type + "(" + length + ")";
    };
    EXPECT_EQ(convert("300"), "VARCHAR(300)");
    EXPECT_EQ(convert("100000"), "LONGTEXT(0)");
    EXPECT_EQ(convert("0"), "LONGTEXT(0)");
    std::string length = "10", type;
    int32_t precision = 0;
    EXPECT_FALSE(rules.Convert("CHAR", length, precision, type));
}
