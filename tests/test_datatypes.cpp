#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "zDatatype.h"
#include "zSLDatatypes.h"
#include "zXMLUtils.h"

using namespace ardvin;

namespace {

// A small target: the header, then one type per line. Line numbers matter for the messages.
const char* const SampleTypes =
    "ListName;Base;Add;Auto;Group;DefLen;DefPrec;Default;EnableAuto;IsAuto;FK;Max;Syn;ID;Hidden;DAT\r\n"
    "INTEGER;INTEGER;[ %UNSIGNED][ %ZEROFILL];[ IDENTITY(%S,%I)];Exact Numeric;0;0;1;1;0;;0;INT, INT4 ;1\r\n"
    "VARCHAR;VARCHAR(%L);[ %CHARACTERSET][ %COLLATION];;String;50;0;0;0;0;;255;CHARACTER VARYING;31;0;0\r\n"
    "\r\n"
    "NUMBER;NUMBER[(%L[,%P])];;;Exact Numeric;10;0;0;0;0;;38;;10;0;0\r\n"
    "ENUM;ENUM(%ITEMS);;;Set;0;0;0;0;0;;0;;90;0;1\r\n"
    "SERIAL;SERIAL;;;Autonumber;0;0;1;1;1;INTEGER;0;COUNTER;80;1;0\r\n"
    "DECIMAL;DECIMAL(%L,%P);;;Exact Numeric;10;2;0;0;0;;0;;11;0;0\r\n"
    "FLOAT;FLOAT;;;Approximate Numeric;0;0;0;0;0;;0;;20;0;0\r\n"
    "COUNTER;COUNTER;;;Autonumber;0;0;0;1;1;;0;;81;0;0\r\n"
    "COMPUTED;AS;[ %EXPRESSION];;Computed By;0;0;0;0;0;;0;;0;0;0\r\n";

TSLDatatypes SampleList() {
    TSLDatatypes list;
    list.LoadFromText(SampleTypes, "sample.typ");
    EXPECT_TRUE(list.LoadWarnings.empty());
    return list;
}

// A data type value bound to a given list instead of a data dictionary.
class TTestDataType : public TVELDataType {
public:
    explicit TTestDataType(const TSLDatatypes* list) : TVELDataType(nullptr), list_(list) {
        SetDefaultType();
    }
    const TSLDatatypes* TypeList() const override { return list_; }

private:
    const TSLDatatypes* list_;
};

using TMessages = std::vector<std::pair<int, std::string>>;

TVELMessageCallback Collect(TMessages& out) {
    return [&out](TVELNamedObject*, int level, const std::string& text) { out.emplace_back(level, text); };
}

TDataTypeValues WithLength(std::string length, int32_t precision = 0) {
    TDataTypeValues v;
    v.Length = std::move(length);
    v.Precision = precision;
    return v;
}

} // namespace

TEST(DataTypeList, LoadingDropsHeaderAndBlankLinesOnly) {
    TSLDatatypes list = SampleList();
    ASSERT_EQ(list.Count(), 9);
    EXPECT_EQ(list.ListNames().front(), "INTEGER");
    EXPECT_EQ(list.Record(1).LineNumber, 3);
    EXPECT_EQ(list.Record(2).LineNumber, 5); // after the blank line
    EXPECT_EQ(list.Lines()[0].back(), '1');  // line breaks removed
    EXPECT_EQ(list.SourceName(), "sample.typ");

    // A first line starting with another letter is a type; one with "L" further down is too.
    TSLDatatypes plain;
    plain.LoadFromText("INT\n\n   \nLONG;LONG\n");
    ASSERT_EQ(plain.Count(), 2);
    EXPECT_EQ(plain.NamesText(true), "INT,LONG");
    EXPECT_TRUE(plain.LoadWarnings.empty());

    // A line with only a name: everything else empty, zero or false.
    const TDataTypeRecord& r = plain.Record(0);
    EXPECT_EQ(r.ListName, "INT");
    EXPECT_EQ(r.BaseTemplate + r.AdditionalPropertiesTemplate + r.AutoNumberPropertiesTemplate + r.TypeGroup +
                  r.FKDataType + r.Synonyms,
              "");
    EXPECT_EQ(r.DefaultLength | r.DefaultPrecision | r.MaxLength | r.DefinitionID, 0);
    EXPECT_FALSE(r.IsDefault || r.EnableAutoNumbering || r.IsAutoNumber || r.Hidden || r.DomainAsType);
    EXPECT_EQ(plain.Capabilities("INT"), 0u);
    EXPECT_FALSE(plain.LengthRequired("INT"));
    EXPECT_FALSE(plain.PrecisionRequired("INT"));
    EXPECT_EQ(plain.TypeText("INT", WithLength("10", 2), true), "");
    EXPECT_EQ(plain.DefaultType(), "");

    TSLDatatypes headerOnly;
    headerOnly.LoadFromText("L");
    EXPECT_EQ(headerOnly.Count(), 0);
    EXPECT_THROW(headerOnly.Record(0), EVELError);
}

TEST(DataTypeList, MalformedLinesAreReportedWithFileAndLine) {
    test::TempDir dir;
    const std::string path = dir.File("broken.typ");
    test::WriteFile(path, "ListName\n"
                          "A;A[(%L)];;;String;abc;2;1;0;0;;0;;5;0;0\n"
                          "B;B;;;String;0;0;yes;0;0;;0;;6;0;0;;extra\n"
                          "C;C;;;Nonsense;0;0;0;0;0;;0;;7;0;0\n"
                          "A;A;;;String\n"
                          ";X\n");
    TSLDatatypes list;
    ASSERT_TRUE(list.LoadFromFile(path));
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.LoadWarnings,
              (std::vector<std::string>{
                  "Invalid number \"abc\" for DefaultLength in data types file. (broken.typ, line 2)",
                  "Invalid flag \"yes\" for IsDefault in data types file. (broken.typ, line 3)",
                  "Too many fields in data types file. (broken.typ, line 3)",
                  "Data type without name in data types file. (broken.typ, line 6)",
                  "Duplicate data type \"A\" in data types file. (broken.typ, line 5)",
              }));
    // The rest of a malformed line is still decoded.
    EXPECT_TRUE(list.Record(0).Malformed);
    EXPECT_EQ(list.Record(0).DefaultLength, 0);
    EXPECT_EQ(list.Record(0).DefaultPrecision, 2);
    EXPECT_EQ(list.Record(0).DefinitionID, 5);
    EXPECT_FALSE(list.Record(3).Malformed);
    EXPECT_EQ(list.IndexOf("a"), 0); // the first of two equal names

    // The group of a type with an unknown group text is an error only when asked for.
    EXPECT_EQ(list.TypeGroup("A"), tgString);
    try {
        list.TypeGroup("C");
        FAIL() << "no error for an unknown type group";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Unknown string for typegroup in data types file. (broken.typ, line 4)");
    }

    try {
        list.Record(5);
        FAIL() << "no error for an index past the end";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (5).");
    }
    EXPECT_THROW(list.Record(-1), EVELError);

    TSLDatatypes missing;
    EXPECT_FALSE(missing.LoadFromFile(dir.File("none.typ")));
    EXPECT_EQ(missing.Count(), 0);
    EXPECT_EQ(missing.LoadWarnings.size(), 1u);

    // Reloading replaces everything, warnings included.
    list.LoadFromText("X;X");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_TRUE(list.LoadWarnings.empty());
    EXPECT_EQ(list.IndexOf("A"), -1);
}

TEST(DataTypeList, Lookups) {
    TSLDatatypes list = SampleList();
    EXPECT_EQ(list.IndexOf("varchar"), 1);
    EXPECT_EQ(list.IndexOf("INT"), -1);
    EXPECT_EQ(list.IndexByNameOrSynonym("int4"), 0); // synonyms are trimmed
    EXPECT_EQ(list.IndexByNameOrSynonym("Character Varying"), 1);
    // A ListName wins over an earlier synonym of the same spelling.
    EXPECT_EQ(list.IndexByNameOrSynonym("COUNTER"), 7);
    EXPECT_EQ(list.IndexByNameOrSynonym("TEXT"), -1);
    EXPECT_EQ(list.IndexOfDefinition(10), 2);
    EXPECT_EQ(list.IndexOfDefinition(0), 8);
    EXPECT_EQ(list.IndexOfDefinition(99), -1);

    EXPECT_EQ(list.DefaultType(), "INTEGER");    // the first with IsDefault
    EXPECT_EQ(list.AutoNumberType(), "COUNTER"); // the last with IsAutoNumber
    EXPECT_EQ(list.NamesText(false), "INTEGER,VARCHAR,NUMBER,ENUM,DECIMAL,FLOAT,COUNTER,COMPUTED");
    EXPECT_EQ(list.Names(true).size(), 9u);
    EXPECT_EQ(JoinStrings(list.NamesAndSynonyms(), ","),
              "INTEGER,INT,INT4,VARCHAR,CHARACTER VARYING,NUMBER,ENUM,SERIAL,COUNTER,DECIMAL,FLOAT,COUNTER,"
              "COMPUTED");

    EXPECT_TRUE(list.IsNumeric("number"));
    EXPECT_TRUE(list.IsNumeric("FLOAT"));
    EXPECT_FALSE(list.IsNumeric("SERIAL"));
    EXPECT_FALSE(list.IsNumeric("UNKNOWN"));
    EXPECT_TRUE(list.DomainAsType("ENUM"));
    EXPECT_FALSE(list.DomainAsType("INTEGER"));
    EXPECT_TRUE(list.AllowsAutoNumber("serial"));
    EXPECT_FALSE(list.AllowsAutoNumber("VARCHAR"));

    EXPECT_TRUE(list.LengthRequired("VARCHAR"));
    EXPECT_FALSE(list.LengthRequired("NUMBER"));
    EXPECT_TRUE(list.PrecisionRequired("DECIMAL"));
    EXPECT_FALSE(list.PrecisionRequired("NUMBER"));
    EXPECT_FALSE(list.PrecisionRequired("VARCHAR"));

    // Both spellings of the set group name the same group.
    TSLDatatypes sets;
    sets.LoadFromText("A;A(%ITEMS);;;Sets\nB;B(%ITEMS);;;Set");
    EXPECT_EQ(sets.TypeGroup("A"), tgSet);
    EXPECT_EQ(sets.TypeGroup("B"), tgSet);
}

TEST(DataTypeList, CapabilityFlags) {
    TSLDatatypes list;
    list.LoadFromText("ALL;X(%L,%P,%ITEMS);%ZEROFILL %UNSIGNED %ALLOWZEROLENGTH %EXPRESSION %CHARACTERSET "
                      "%SUBTYPE %SEGMENTSIZE %DTOPT %ARRAYOPTIONS %COLLATION;%S %I;;0;0;0;1\n"
                      "LOWER;x(%l,%p,%items);%zerofill %unsigned %allowzerolength %expression %characterset "
                      "%subtype %segmentsize %dtopt %arrayoptions %collation;%s %i;;0;0;0;0\n"
                      "EXPR;AS %EXPRESSION\n"
                      "MISPLACED;X;%L %P %S;%UNSIGNED\n");
    EXPECT_EQ(list.Capabilities("ALL"), 1u + 2 + 4 + 8 + 16 + 32 + 64 + 128 + 1024 + 2048 + 4096 + 8192 +
                                            16384 + 32768 + 65536 + 131072);
    EXPECT_EQ(list.Capabilities("LOWER"), 0u);
    EXPECT_EQ(list.Capabilities("EXPR"), static_cast<uint32_t>(dcExpression));
    EXPECT_EQ(list.Capabilities("MISPLACED"), 0u); // each placeholder counts only in its own template
    EXPECT_EQ(list.Capabilities("NONE"), 0u);
    EXPECT_EQ(list.CapabilityUnion(), list.Capabilities("ALL"));

    TSLDatatypes sample = SampleList();
    EXPECT_EQ(sample.CapabilityUnion(),
              static_cast<uint32_t>(dcLength | dcPrecision | dcZeroFill | dcUnsigned | dcSeed | dcIncrement |
                                    dcItems | dcAutoNumber | dcExpression | dcCharacterSet | dcCollation));
}

TEST(TypeTemplate, OptionalPartsAndEscapes) {
    EXPECT_EQ(ExpandTypeTemplate("VARCHAR[(%L)]", WithLength("50"), false), "VARCHAR(50)");
    EXPECT_EQ(ExpandTypeTemplate("VARCHAR[(%L)]", WithLength("0"), false), "VARCHAR");
    EXPECT_EQ(ExpandTypeTemplate("VARCHAR[(%L)]", WithLength("  "), false), "VARCHAR");
    EXPECT_EQ(ExpandTypeTemplate("VARCHAR(%L)", WithLength("0"), false), "VARCHAR(0)");
    EXPECT_EQ(ExpandTypeTemplate("VARCHAR[(%L)]", WithLength("MAX"), false), "VARCHAR(MAX)");

    const char* number = "NUMBER[(%L[,%P])]";
    EXPECT_EQ(ExpandTypeTemplate(number, WithLength("10", 0), false), "NUMBER(10)");
    EXPECT_EQ(ExpandTypeTemplate(number, WithLength("10", 2), false), "NUMBER(10,2)");
    EXPECT_EQ(ExpandTypeTemplate(number, WithLength("0", 0), false), "NUMBER");
    // The inner part is resolved first, so the outer part only looks at the length.
    EXPECT_EQ(ExpandTypeTemplate(number, WithLength("0", 2), false), "NUMBER");
    // A part is kept for its own placeholders only, not for those of a part nested in it.
    TDataTypeValues n = WithLength("1", 2);
    n.Unsigned = true;
    const char* nested = "A[ %L[ %P[ %UNSIGNED]]]B";
    EXPECT_EQ(ExpandTypeTemplate(nested, n, false), "A 1 2 UNSIGNEDB");
    n.Precision = 0;
    EXPECT_EQ(ExpandTypeTemplate(nested, n, false), "A 1B");
    n.Length = "0";
    n.Precision = 2;
    EXPECT_EQ(ExpandTypeTemplate(nested, n, false), "AB");

    // Escaped brackets are ordinary characters, also inside an optional part.
    EXPECT_EQ(ExpandTypeTemplate("INT~[~][ ~[%L~]]", WithLength("4"), false), "INT[] [4]");
    EXPECT_EQ(ExpandTypeTemplate("INT~[~][ ~[%L~]]", WithLength("0"), false), "INT[]");
    EXPECT_EQ(ExpandTypeTemplate("INT[]", TDataTypeValues(), false), "INT[]");
    // Brackets of a value never become optional parts.
    TDataTypeValues arr;
    arr.ArrayOptions = "[3]";
    EXPECT_EQ(ExpandTypeTemplate("INTEGER[%ARRAYOPTIONS]", arr, false), "INTEGER[3]");
    // An unbalanced bracket stays as it is.
    EXPECT_EQ(ExpandTypeTemplate("A[(%L)", WithLength("5"), false), "A[(5)");

    // Check mode at the top: the whole text is an optional part.
    EXPECT_EQ(ExpandTypeTemplate("(%L)", WithLength("0"), true), "");
    EXPECT_EQ(ExpandTypeTemplate("(%L)", WithLength("7"), true), "(7)");
}

TEST(TypeTemplate, PlaceholdersAndCheckMode) {
    TDataTypeValues v;
    EXPECT_EQ(ExpandTypeTemplate("%UNSIGNED %ZEROFILL %ALLOWZEROLENGTH", v, false), "UNSIGNED ZEROFILL True");
    EXPECT_EQ(ExpandTypeTemplate("X[ %UNSIGNED][ %ZEROFILL][ %ALLOWZEROLENGTH]", v, false), "X");
    v.Unsigned = true;
    v.AllowZeroLength = true;
    EXPECT_EQ(ExpandTypeTemplate("X[ %UNSIGNED][ %ZEROFILL][ %ALLOWZEROLENGTH]", v, false),
              "X UNSIGNED True");

    // Prefixed replacements, and longer names never taken for their prefix (%SUBTYPE is not %S,
    // %ITEMS is not %I) although seed and increment have values here.
    TDataTypeValues b;
    b.Seed = 1;
    b.Increment = 1;
    const char* blob = "BLOB[ %SUBTYPE][ %SEGMENTSIZE][ %CHARACTERSET][ %COLLATION][ %DTOPT][ %ITEMS]";
    EXPECT_EQ(ExpandTypeTemplate(blob, b, false), "BLOB");
    b.SubType = "1";
    b.SegmentSize = "80";
    b.CharacterSet = "UTF8";
    b.Collation = "de_DE";
    b.DTOptions = "WITH LOCAL TIME ZONE";
    EXPECT_EQ(ExpandTypeTemplate(blob, b, false),
              "BLOB SUB_TYPE 1 SEGMENT SIZE 80 CHARACTER SET UTF8 COLLATE de_DE WITH LOCAL TIME ZONE");

    // Seed and increment count as set when not zero; precision when 1 or more.
    TDataTypeValues s;
    s.Seed = 0;
    s.Increment = 0;
    EXPECT_EQ(ExpandTypeTemplate("ID[(%S,%I)]", s, false), "ID");
    s.Increment = -1;
    EXPECT_EQ(ExpandTypeTemplate("ID[(%S,%I)]", s, false), "ID(0,-1)");
    s.Precision = -2;
    EXPECT_EQ(ExpandTypeTemplate("N[(%P)]", s, false), "N");

    // The seed less one (for engines whose first number follows the start value): its part is
    // kept exactly when the seed is set, it is never taken for %S, and it is computed in 64 bits.
    TDataTypeValues d;
    const char* identity = "ID[ (START WITH %SEEDLESSONE)]";
    EXPECT_EQ(ExpandTypeTemplate(identity, d, false), "ID");
    d.Seed = 1;
    EXPECT_EQ(ExpandTypeTemplate(identity, d, false), "ID (START WITH 0)");
    d.Seed = 10;
    EXPECT_EQ(ExpandTypeTemplate(identity, d, false), "ID (START WITH 9)");
    EXPECT_EQ(ExpandTypeTemplate("id (start with %seedlessone, %s)", d, false), "id (start with 9, 10)");
    d.Seed = -5;
    EXPECT_EQ(ExpandTypeTemplate(identity, d, false), "ID (START WITH -6)");
    d.Seed = INT32_MIN;
    EXPECT_EQ(ExpandTypeTemplate(identity, d, false), "ID (START WITH -2147483649)");
    TSLDatatypes withLessOne;
    withLessOne.LoadFromText("N;N;;[ (START WITH %SEEDLESSONE)];;0;0;0;1\n");
    EXPECT_EQ(withLessOne.Capabilities("N"), static_cast<uint32_t>(dcSeed | dcAutoNumber));

    // Placeholders are replaced in any case, but an optional part only looks for upper case.
    TDataTypeValues l = WithLength("20");
    EXPECT_EQ(ExpandTypeTemplate("varchar(%l)", l, false), "varchar(20)");
    EXPECT_EQ(ExpandTypeTemplate("varchar[(%l)]", l, false), "varchar");
    EXPECT_EQ(ExpandTypeTemplate("varchar[(%L %l)]", l, false), "varchar(20 20)");
    // A part without any placeholder is dropped.
    EXPECT_EQ(ExpandTypeTemplate("T[ WITH TIME ZONE]", l, false), "T");
}

TEST(DataTypeList, TypeTexts) {
    TSLDatatypes list = SampleList();
    TDataTypeValues v = WithLength("40");
    v.Seed = 100;
    v.Increment = 5;
    v.Unsigned = true;
    EXPECT_EQ(list.TypeText("integer", v, true), "INTEGER UNSIGNED"); // AutoNumber not set
    v.AutoNumber = true;
    EXPECT_EQ(list.TypeText("integer", v, true), "INTEGER UNSIGNED IDENTITY(100,5)");
    EXPECT_EQ(list.TypeText("integer", v, false), "INTEGER UNSIGNED");
    EXPECT_EQ(list.AutoNumberText("INTEGER", v), " IDENTITY(100,5)");
    EXPECT_EQ(list.AutoNumberText("VARCHAR", v), ""); // blank template
    EXPECT_EQ(list.BaseText("INTEGER", v), "INTEGER");
    v.Collation = "C";
    EXPECT_EQ(list.TypeText("VARCHAR", v, true), "VARCHAR(40) COLLATE C");
    EXPECT_EQ(list.TypeText("NOSUCH", v, true), "");

    // Items with square brackets keep them, even those that look like optional parts.
    TDataTypeValues e;
    e.Items = "'a[1]','[b]',']['";
    EXPECT_EQ(list.TypeText("ENUM", e, true), "ENUM('a[1]','[b]','][')");
    EXPECT_EQ(list.BaseText("ENUM", e), "ENUM('a[1]','[b]','][')");

    // A base that comes out as "AS" is shown by its list name; the full text keeps it.
    TDataTypeValues c;
    c.Expression = "a[0] * 2";
    EXPECT_EQ(list.BaseText("COMPUTED", c), "COMPUTED");
    EXPECT_EQ(list.TypeText("COMPUTED", c, true), "AS a[0] * 2");
}

TEST(DataTypeList, BestMatchAndSimilarTypes) {
    TSLDatatypes list = SampleList();
    std::string message = "stale";
    EXPECT_EQ(list.BestMatch(31, "INTEGER", message), 1); // the definition id comes first
    EXPECT_EQ(message, "");
    EXPECT_EQ(list.BestMatch(0, "Number", message), 2);
    EXPECT_EQ(list.BestMatch(999, "INT4", message), 0); // unknown id: by synonym
    EXPECT_EQ(list.BestMatch(0, "VARCHAR2", message), 1);
    EXPECT_EQ(list.BestMatch(0, "BIT", message), 0);
    EXPECT_EQ(list.BestMatch(0, "DOUBLE PRECISION", message), 5); // NUMERIC missing: DECIMAL
    EXPECT_EQ(message, "");

    TDataTypeRecord r;
    ASSERT_TRUE(list.BestMatch(0, "GEOMETRY", r, message));
    EXPECT_EQ(r.ListName, "INTEGER");
    EXPECT_EQ(message,
              "No exact match found for source data type \"GEOMETRY\". Overall default data type will be "
              "used:\"INTEGER\".");

    TSLDatatypes empty;
    EXPECT_EQ(empty.BestMatch(1, "INTEGER", message), -1);
    EXPECT_FALSE(empty.BestMatch(1, "INTEGER", r, message));

    using V = std::vector<std::string>;
    EXPECT_EQ(TSLDatatypes::SimilarTypes("bool"),
              (V{"BOOLEAN", "BOOL", "BIT", "INTEGER", "INT", "TINYINT", "CHAR"}));
    // The first family holding the name wins: INTEGER belongs to the integers, CHAR to the strings.
    EXPECT_EQ(TSLDatatypes::SimilarTypes("INTEGER").front(), "INTEGER");
    EXPECT_EQ(TSLDatatypes::SimilarTypes("INTEGER").size(), 10u);
    EXPECT_EQ(TSLDatatypes::SimilarTypes("char").front(), "VARCHAR2");
    EXPECT_EQ(TSLDatatypes::SimilarTypes("LONG RAW").front(), "BLOB");
    EXPECT_EQ(TSLDatatypes::SimilarTypes("YEAR").front(), "DATETIME");
    EXPECT_EQ(TSLDatatypes::SimilarTypes("Serial8").front(), "COUNTER");
    EXPECT_EQ(TSLDatatypes::SimilarTypes("CURDOUBLE").back(), "CURDOUBLE");
    EXPECT_TRUE(TSLDatatypes::SimilarTypes("GEOMETRY").empty());
}

TEST(DataTypeValue, ValidationReportsAndRepairs) {
    TSLDatatypes list = SampleList();
    TMessages messages;
    const auto callback = Collect(messages);

    TTestDataType dt(&list);
    EXPECT_EQ(dt.DataType, "INTEGER"); // the overall default type
    EXPECT_TRUE(dt.Validate(false, callback));
    EXPECT_TRUE(messages.empty());

    // Everything that is not allowed for FLOAT is reported and reset.
    dt.DataType = "FLOAT";
    dt.Length = "12";
    dt.Precision = 3;
    dt.Items = "a";
    dt.Unsigned = dt.ZeroFill = dt.AutoNumber = true;
    EXPECT_TRUE(dt.Validate(false, callback));
    EXPECT_EQ(messages, (TMessages{
                            {3, "Unsigned not allowed for data type \"FLOAT\". Unsigned set to false."},
                            {3, "Zerofill not allowed for data type \"FLOAT\". Zerofill set to false."},
                            {3, "Identity not allowed for data type \"FLOAT\". Identity set to false."},
                            {3, "No length allowed for data type \"FLOAT\". Length set to zero."},
                            {3, "No precision allowed for data type \"FLOAT\". Precision set to zero."},
                            {3, "No items allowed for data type \"FLOAT\". Items deleted."},
                        }));
    EXPECT_FALSE(dt.Unsigned || dt.ZeroFill || dt.AutoNumber);
    EXPECT_EQ(dt.Length, "0");
    EXPECT_EQ(dt.Precision, 0);
    EXPECT_EQ(dt.Items, "");

    // Limits of the allowed properties.
    messages.clear();
    dt.DataType = "varchar";
    dt.Length = "300";
    EXPECT_TRUE(dt.Validate(false, callback));
    dt.Length = "-1";
    dt.Validate(false, callback);
    dt.Length = "0";
    dt.Validate(false, callback);
    dt.DataType = "NUMBER";
    dt.Length = "0"; // optional length: fine
    dt.Precision = -1;
    dt.Validate(false, callback);
    dt.DataType = "ENUM";
    dt.Precision = 0;
    dt.Items = "  ";
    dt.Validate(false, callback);
    dt.DataType = "INTEGER";
    dt.Items = "";
    dt.AutoNumber = true;
    dt.Increment = 0;
    dt.Validate(false, callback);
    EXPECT_EQ(messages, (TMessages{
                            {3, "Length for data type \"varchar\" exceeds max length."},
                            {3, "Length may not be less than zero."},
                            {3, "Length is required for data type \"varchar\"."},
                            {3, "Precision may not be less than zero."},
                            {3, "At least one item is required for data type \"ENUM\"."},
                            {3, "Increment can not be zero for data type \"INTEGER\"."},
                        }));

    // An unknown type is replaced by its best match with a warning.
    messages.clear();
    TTestDataType other(&list);
    other.DataType = "VARCHAR2";
    other.Length = "20";
    other.Validate(false, callback);
    EXPECT_EQ(other.DataType, "VARCHAR");
    EXPECT_TRUE(messages.empty());
    other.DataType = "BLOB";
    other.Validate(false, callback);
    EXPECT_EQ(other.DataType, "INTEGER");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0],
              (std::pair<int, std::string>{2, "No exact match found for source data type \"BLOB\". Overall "
                                              "default data type will be used:\"INTEGER\"."}));
    EXPECT_EQ(messages[1].second, "No length allowed for data type \"INTEGER\". Length set to zero.");
}

TEST(DataTypeValue, ValidationWithoutCallbackOrList) {
    TSLDatatypes list = SampleList();
    TTestDataType dt(&list);
    dt.DataType = "FLOAT";
    dt.Unsigned = true;
    dt.Length = "5";
    try {
        dt.Validate(false, nullptr);
        FAIL() << "an error without a callback must raise";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Unsigned not allowed for data type \"FLOAT\". Unsigned set to false.");
    }
    EXPECT_FALSE(dt.Unsigned); // repaired before the message was raised

    // Warnings are dropped without a callback.
    dt.DataType = "NOSUCH";
    dt.Length = "0";
    EXPECT_TRUE(dt.Validate(false, nullptr));
    EXPECT_EQ(dt.DataType, "INTEGER");

    const std::string cannot =
        "Cannot validate datatype(s). Please ensure that the database type file(*.typ) "
        "located in the definitions folder of your installation folder is valid.";
    TMessages messages;
    TSLDatatypes empty;
    TTestDataType noTypes(&empty);
    try {
        noTypes.Validate(false, Collect(messages));
        FAIL() << "an empty list must raise";
    } catch (const EVELError& e) {
        EXPECT_EQ(e.what(), cannot);
    }
    TSLDatatypes broken;
    broken.LoadFromText("A;A;;;String;x\nB;B;;;String;0");
    TTestDataType badTypes(&broken);
    EXPECT_THROW(badTypes.Validate(false, Collect(messages)), EVELError);
    TTestDataType unbound(nullptr);
    EXPECT_THROW(unbound.Validate(false, Collect(messages)), EVELError);
    EXPECT_TRUE(messages.empty());
}

TEST(DataTypeValue, PropertyValidation) {
    TSLDatatypes list = SampleList();
    TMessages messages;
    const auto callback = Collect(messages);
    TTestDataType dt(&list);
    dt.DataType = "VARCHAR";

    EXPECT_TRUE(dt.ValidatePropertyValue("Length", "MAX", callback)); // not a number: not checked
    EXPECT_TRUE(dt.ValidatePropertyValue("Length", "255", callback));
    EXPECT_FALSE(dt.ValidatePropertyValue("length", "256", callback));
    EXPECT_FALSE(dt.ValidatePropertyValue("Length", "-3", callback));
    EXPECT_FALSE(dt.ValidatePropertyValue("Length", "0", callback));
    EXPECT_TRUE(dt.ValidatePropertyValue("Precision", "-1", callback)); // not allowed: not checked
    EXPECT_FALSE(dt.ValidatePropertyValue("DataType", "VARCHAR2", callback));
    EXPECT_TRUE(dt.ValidatePropertyValue("DataType", "number", callback));
    dt.DataType = "NUMBER";
    EXPECT_TRUE(dt.ValidatePropertyValue("Length", "0", callback)); // optional length
    dt.DataType = "DECIMAL";
    EXPECT_FALSE(dt.ValidatePropertyValue("Precision", "-1", callback));
    EXPECT_FALSE(dt.ValidatePropertyValue("Precision", "0", callback));
    dt.DataType = "ENUM";
    EXPECT_FALSE(dt.ValidatePropertyValue("Items", " ", callback));
    EXPECT_TRUE(dt.ValidatePropertyValue("Items", "'a'", callback));
    dt.DataType = "INTEGER";
    EXPECT_FALSE(dt.ValidatePropertyValue("Increment", "0", callback));
    EXPECT_TRUE(dt.ValidatePropertyValue("Increment", "2", callback));
    EXPECT_EQ(messages, (TMessages{
                            {3, "Length for data type \"VARCHAR\" exceeds max length."},
                            {3, "Length may not be less than zero."},
                            {3, "Length is required for data type \"VARCHAR\"."},
                            {3, "Data type \"VARCHAR2\" does not exist in list of data types."},
                            {3, "Precision may not be less than zero."},
                            {3, "Precision is required for data type \"DECIMAL\"."},
                            {3, "At least one item is required for data type \"ENUM\"."},
                            {3, "Increment can not be zero for data type \"INTEGER\"."},
                        }));
    EXPECT_THROW(dt.ValidatePropertyValue("Increment", "0", nullptr), EVELError);
}

TEST(DataTypeValue, PropertiesAssignAndMarkup) {
    TSLDatatypes list = SampleList();
    TTestDataType dt(&list);
    dt.SetPropertyValue("datatype", " VARCHAR ");
    dt.SetPropertyValue("Length", "80");
    dt.SetPropertyValue("Precision", "3");
    dt.SetPropertyValue("Precision", "abc"); // not a number: unchanged
    dt.SetPropertyValue("Seed", "10");
    dt.SetPropertyValue("Increment", "-2");
    dt.SetPropertyValue("AutoNumber", "Yes");
    dt.SetPropertyValue("Unsigned", "1");
    dt.SetPropertyValue("ZeroFill", "yes");
    dt.SetPropertyValue("AllowZeroLength", "Yes");
    dt.SetPropertyValue("Items", "'<a>','b & c'");
    dt.SetPropertyValue("Expression", "x[1]");
    dt.SetPropertyValue("CharacterSet", "UTF8");
    dt.SetPropertyValue("Collation", "de_DE");
    dt.SetPropertyValue("SubType", "TEXT");
    dt.SetPropertyValue("SegmentSize", "80");
    dt.SetPropertyValue("DTOptions", "opt");
    dt.SetPropertyValue("ArrayOptions", "[]");
    EXPECT_EQ(dt.DataType, "VARCHAR");
    EXPECT_EQ(dt.Precision, 3);
    EXPECT_EQ(dt.GetPropertyValue("INCREMENT"), "-2");
    EXPECT_EQ(dt.GetPropertyValue("ZeroFill"), "Yes");
    EXPECT_EQ(dt.GetPropertyValue("PhysName"), "VARCHAR(80) CHARACTER SET UTF8 COLLATE de_DE");

    const std::string markup = dt.SaveToMarkup();
    EXPECT_NE(markup.find("<DTLISTNAME>VARCHAR</DTLISTNAME>"), std::string::npos);
    EXPECT_NE(markup.find("<ITMS>'&lt;a&gt;','b &amp; c'</ITMS>"), std::string::npos);
    EXPECT_NE(markup.find("<PHYSNAME>VARCHAR(80) CHARACTER SET UTF8 COLLATE de_DE</PHYSNAME>"),
              std::string::npos);
    for (const char* tag : {"<EXPR>", "<CHARSET>", "<COLLATION>", "<SUBTYPE>", "<SGSIZE>", "<DTOPT>",
                            "<AROPT>", "<ALLOWZEROLENGTH>", "<SEED>", "<INCREMENT>", "<AUTONUMBER>"})
        EXPECT_NE(markup.find(tag), std::string::npos) << tag;

    TTestDataType loaded(&list);
    ASSERT_TRUE(loaded.LoadFromMarkup(markup));
    TTestDataType copy(&list);
    copy.Assign(loaded);
    for (const TVELDataType* d :
         {static_cast<const TVELDataType*>(&loaded), static_cast<const TVELDataType*>(&copy)}) {
        EXPECT_EQ(d->SaveToMarkup(), markup);
        EXPECT_EQ(d->Items, dt.Items);
        EXPECT_EQ(d->Seed, 10);
        EXPECT_TRUE(d->AllowZeroLength);
    }

    // Empty option texts are left out; missing elements load as the defaults.
    TTestDataType plain(&list);
    const std::string small = plain.SaveToMarkup();
    EXPECT_EQ(small.find("<ITMS>"), std::string::npos);
    EXPECT_EQ(small.find("<ALLOWZEROLENGTH>"), std::string::npos);
    TTestDataType fresh(&list);
    ASSERT_TRUE(fresh.LoadFromMarkup("<LENGTH></LENGTH><PRECISION>2</PRECISION>"));
    EXPECT_EQ(fresh.DataType, "INTEGER");
    EXPECT_EQ(fresh.Length, "0");
    EXPECT_EQ(fresh.Precision, 2);
    EXPECT_EQ(fresh.Seed, 1);
    EXPECT_EQ(fresh.Increment, 1);
    EXPECT_FALSE(fresh.LoadFromMarkup("<DTLISTNAME>NUMBER</DTLISTNAME><SEED>x</SEED>"));
    EXPECT_EQ(fresh.DataType, "NUMBER");
    EXPECT_EQ(fresh.Seed, 1);
}

TEST(DataTypeList, ShippedDatabaseIndependentTypes) {
    TSLDatatypes list;
    ASSERT_TRUE(list.LoadFromFile(test::DefinitionsDir() + "/dbindependent.typ"));
    EXPECT_TRUE(list.LoadWarnings.empty()) << JoinStrings(list.LoadWarnings, "\n");
    ASSERT_GE(list.Count(), 26);
    EXPECT_EQ(list.DefaultType(), "INTEGER");
    EXPECT_GE(list.IndexOf(list.AutoNumberType()), 0);
    EXPECT_EQ(list.Record(list.IndexByNameOrSynonym("character varying")).ListName, "VARCHAR");
    EXPECT_TRUE(list.LengthRequired("VARCHAR"));
    EXPECT_FALSE(list.PrecisionRequired("DECIMAL"));

    TMessages messages;
    std::vector<int32_t> ids;
    for (int i = 0; i < list.Count(); ++i) {
        const TDataTypeRecord& r = list.Record(i);
        EXPECT_GE(list.TypeGroupAt(i), tgExactNumeric) << r.ListName;
        EXPECT_GT(r.DefinitionID, 0) << r.ListName;
        for (int32_t id : ids)
            EXPECT_NE(id, r.DefinitionID) << r.ListName;
        ids.push_back(r.DefinitionID);

        // Every type renders and validates with its proposed length and precision.
        TTestDataType dt(&list);
        dt.DataType = r.ListName;
        dt.Length = IntToStr(r.DefaultLength);
        dt.Precision = r.DefaultPrecision;
        dt.AutoNumber = r.EnableAutoNumbering;
        dt.Validate(false, Collect(messages));
        const std::string text = dt.TypeText();
        EXPECT_FALSE(text.empty()) << r.ListName;
        EXPECT_EQ(text.find_first_of("%[]~"), std::string::npos) << text;
    }
    EXPECT_TRUE(messages.empty()) << messages.front().second;

    TDataTypeValues v = WithLength("12", 4);
    v.Seed = 1;
    v.Increment = 1;
    v.AutoNumber = true;
    EXPECT_EQ(list.TypeText("INTEGER", v, true),
              "INTEGER GENERATED BY DEFAULT AS IDENTITY (START WITH 1 INCREMENT BY 1)");
    EXPECT_EQ(list.TypeText("DECIMAL", v, true), "DECIMAL(12,4)");
    EXPECT_EQ(list.Capabilities("BIGINT"), static_cast<uint32_t>(dcSeed | dcIncrement | dcAutoNumber));
    v.Seed = v.Increment = 0;
    EXPECT_EQ(list.AutoNumberText("SMALLINT", v), " GENERATED BY DEFAULT AS IDENTITY");
    EXPECT_EQ(list.TypeText("TIMESTAMP WITH TIME ZONE", WithLength("0", 3), true),
              "TIMESTAMP(3) WITH TIME ZONE");
    std::string message;
    EXPECT_EQ(list.Record(list.BestMatch(0, "VARCHAR2", message)).ListName, "VARCHAR");
    EXPECT_EQ(list.Record(list.BestMatch(0, "BIT", message)).ListName, "BOOLEAN");
}
