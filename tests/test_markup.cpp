#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "zXMLUtils.h"

using namespace ardvin;

namespace {

const std::string Polish = "Zażółć gęślą jaźń";
const std::string Greek = "Καλημέρα κόσμε";
const std::string Japanese = "こんにちは世界";

// The tag search as a plain loop over every start, to hold the fast scan against.
size_t SlowFindTag(std::string_view text, std::string_view upperTag, bool closeTag, size_t from) {
    const std::string pattern = (closeTag ? "</" : "<") + std::string(upperTag) + ">";
    for (size_t i = from; i + pattern.size() <= text.size(); ++i)
        if (SameText(text.substr(i, pattern.size()), pattern)) return i;
    return std::string_view::npos;
}

// Settings loading as literally described: every open tag's name, its element read from the
// start of the text.
TVELSettingsList SlowLoad(std::string_view text) {
    TVELSettingsList list;
    size_t pos = 0;
    for (std::string name; !(name = NextTagName(text, pos)).empty();)
        if (name[0] != '/') list.SetValue(name, ReadElementText(name, text));
    return list;
}

// Up to maxPieces pieces picked at random and joined.
std::string RandomText(std::mt19937& rng, const std::vector<std::string>& pieces, size_t maxPieces) {
    std::string s;
    for (size_t n = rng() % (maxPieces + 1); n > 0; --n) s += pieces[rng() % pieces.size()];
    return s;
}

}  // namespace

TEST(Markup, WriteAndReadBack) {
    const std::string text = WriteElement("name", "a<b>&\"c\"");
    EXPECT_EQ(text, "\r\n<NAME>a&lt;b&gt;&amp;&quot;c&quot;</NAME>");
    EXPECT_EQ(ReadElementText("Name", text), "a<b>&\"c\"");
}

TEST(Markup, Escaping) {
    EXPECT_EQ(Escape(std::string("a&b\0c", 5)), "a&amp;b c");
    // The ampersand is escaped first, so an escaped-looking value survives the round trip.
    EXPECT_EQ(Escape("&lt;"), "&amp;lt;");
    EXPECT_EQ(Unescape("&amp;lt;"), "&lt;");
    EXPECT_EQ(Unescape("&amp;quot;&amp;amp;"), "&quot;&amp;");
    EXPECT_EQ(Unescape("&quot;&lt;&gt;&amp;"), "\"<>&");
    // The shortest entity is four characters long and is replaced.
    EXPECT_EQ(Unescape("&gt;"), ">");
    EXPECT_EQ(Unescape("&gt"), "&gt");

    for (const std::string& value : {std::string("&lt;"), std::string("<a>&amp;\"q\""), std::string("&"),
                                     std::string("a & b"), std::string("x<"), Polish, Greek, Japanese,
                                     Polish + " <" + Greek + "> & \"" + Japanese + "\""}) {
        const std::string element = WriteElement("value", value);
        EXPECT_EQ(ReadElementText("VALUE", element), value) << element;
        EXPECT_EQ(Escape(value).find_first_of("<>\""), std::string::npos);
    }
    // Only ASCII letters are upper-cased in tags; other bytes pass unchanged.
    EXPECT_EQ(WriteElement("zażółć_1", Greek), "\r\n<ZAżółć_1>" + Greek + "</ZAżółć_1>");
    EXPECT_EQ(WrapSection("DisplayPreferences", "<A>1</A>"),
              "\r\n<DisplayPreferences><A>1</A>\r\n</DisplayPreferences>");
}

TEST(Markup, ReadElementTrimsLineBreaks) {
    EXPECT_EQ(ReadElement("A", "<A>\r\n\r\nx\r\ny\r\n\r\n</A>"), "x\r\ny");
    EXPECT_EQ(ReadElement("A", "<A>\n\nx\n\n</A>"), "x");
    EXPECT_EQ(ReadElement("A", "<A>\r\n\nx\n\r\n</A>"), "x");
    // CR LF pairs go first; a LF before a CR LF leaves that CR LF in place.
    EXPECT_EQ(ReadElement("A", "<A>\n\r\nx</A>"), "\r\nx");
    EXPECT_EQ(ReadElement("A", "<A>\r\nx\r</A>"), "x\r");
    EXPECT_EQ(ReadElement("A", "<A> x </A>"), " x ");
    EXPECT_EQ(ReadElement("A", "<A>\r\n\r\n</A>", "default"), "");
    EXPECT_EQ(ReadElement("A", "<A>\n</A>", "default"), "");
    EXPECT_EQ(ReadElement("A", "<A></A>", "default"), "");
    // A section's content comes back without the line breaks the writer adds around it.
    EXPECT_EQ(ReadElement("S", WrapSection("S", WriteElement("A", "1"))), "<A>1</A>");
}

TEST(Markup, ReadElementFindsTagsInAnyCase) {
    const std::string prefs = WrapSection("DisplayPreferences", WriteElement("Zoom", "100"));
    const std::string text = "<x>" + prefs + "<name>lower</name><NaMe>mixed</NaMe>";
    EXPECT_EQ(ReadElement("ZOOM", ReadElement("displaypreferences", text)), "100");
    EXPECT_EQ(ReadElement("DISPLAYPREFERENCES", text), "<ZOOM>100</ZOOM>");
    EXPECT_EQ(ReadElement("NAME", text), "lower");
    EXPECT_EQ(ReadElement("a", "<A>1</a>"), "1");
    EXPECT_TRUE(ReadElementBool("FLAG", "<flag>yes</flag>", false));
    EXPECT_TRUE(ReadElementBool("FLAG", "<FLAG>1</FLAG>", false));
    EXPECT_FALSE(ReadElementBool("FLAG", "<FLAG>true</FLAG>", true));
    EXPECT_TRUE(ReadElementBool("FLAG", "<OTHER>0</OTHER>", true));
}

TEST(Markup, ReadElementPositions) {
    const std::string text = "<A>1</A><A>2</A>";
    size_t pos = 0;
    EXPECT_EQ(ReadElement("A", pos, text, "d"), "1");
    EXPECT_EQ(pos, 8u);
    EXPECT_EQ(ReadElement("A", pos, text, "d"), "2");
    EXPECT_EQ(pos, text.size());
    EXPECT_EQ(ReadElement("A", pos, text, "d"), "d");
    EXPECT_EQ(pos, text.size());

    // Missing open tag: the default; missing close tag: empty. The position stays.
    pos = 3;
    EXPECT_EQ(ReadElement("B", pos, "<A>1</A><B>2", "d"), "");
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(ReadElementText("B", pos, "<A>&amp;</A>", "&amp;x"), "&x");
    EXPECT_EQ(pos, 3u);
    pos = 1;
    EXPECT_EQ(ReadElement("A", pos, "<A>1</A>", "d"), "d");
    EXPECT_EQ(pos, 1u);

    // The first close tag ends the element, also when the content repeats the tag.
    EXPECT_EQ(ReadElement("A", "<A>x<A>y</A>z</A>"), "x<A>y");
    EXPECT_EQ(ReadElement("A", "</A><A>y</A>"), "y");
    // The close tag is searched from the open tag; with a tag holding "<" the two can overlap.
    pos = 0;
    EXPECT_EQ(ReadElement("></", pos, "<></></>", "d"), "");
    EXPECT_EQ(pos, 8u);
}

TEST(Markup, ReadNextElementWalksRepeatedElements) {
    std::string ids;
    for (const char* id : {"4", "7", "", "9"}) ids += WriteElement("ATTRIBUTEID", id);
    const std::string text = WrapSection("ATTRIBUTEIDS", ids) + WriteElement("ATTRIBUTEID", "99");
    const std::string section = ReadElement("ATTRIBUTEIDS", text);
    std::vector<std::string> read;
    size_t pos = 0;
    std::string content;
    while (ReadNextElement("AttributeID", pos, section, content)) read.push_back(content);
    EXPECT_EQ(read, (std::vector<std::string>{"4", "7"}));  // an empty element ends the list
    EXPECT_TRUE(ReadNextElement("ATTRIBUTEID", pos, section, content));
    EXPECT_EQ(content, "9");
    EXPECT_FALSE(ReadNextElement("ATTRIBUTEID", pos, section, content));
    EXPECT_EQ(pos, section.size());
}

TEST(Markup, NestedSections) {
    auto attr = [](const std::string& name) {
        return WrapSection("ATTR", WriteElement("ID", "1") + WriteElement("NAME", name));
    };
    const std::string ent = WrapSection(
        "ENT", WriteElement("NAME", "Customer") + WrapSection("ATTRS", attr("id") + attr("Name <first>")));
    const std::string content = ReadElement("ENT", ent);
    EXPECT_EQ(ReadElementText("NAME", content), "Customer");
    const std::string attrs = ReadElement("ATTRS", content);
    std::vector<std::string> names;
    size_t pos = 0;
    std::string one;
    while (ReadNextElement("ATTR", pos, attrs, one)) names.push_back(ReadElementText("NAME", one));
    EXPECT_EQ(names, (std::vector<std::string>{"id", "Name <first>"}));
    // A field written after a nested section is shadowed by the nested one.
    const std::string late = WrapSection("ATTRS", attr("inner")) + WriteElement("NAME", "own");
    EXPECT_EQ(ReadElement("NAME", late), "inner");
}

TEST(Markup, ReplaceAndRemoveElements) {
    const std::string text = "<A>1</A>\r\n<b>2</b>\r\n<A>3</A>";
    size_t pos = 2;
    std::string replaced = ReplaceElementContent("a", pos, text, "<x&y>");
    EXPECT_EQ(replaced, "<A>1</A>\r\n<b>2</b>\r\n<A>&lt;x&amp;y&gt;</A>");
    EXPECT_EQ(pos, replaced.size());
    pos = 0;
    replaced = ReplaceElementContent("B", pos, text, "");
    EXPECT_EQ(replaced, "<A>1</A>\r\n<b></b>\r\n<A>3</A>");
    EXPECT_EQ(replaced.substr(pos), "\r\n<A>3</A>");
    pos = 4;
    EXPECT_EQ(ReplaceElementContent("C", pos, text, "x"), text);
    EXPECT_EQ(ReplaceElementContent("A", pos, "<A>1</A><A>2", "x"), "<A>1</A><A>2");
    EXPECT_EQ(pos, 4u);

    EXPECT_EQ(RemoveElements("a", text), "<b>2</b>\r\n");
    EXPECT_EQ(RemoveElements("B", text), "<A>1</A>\r\n<A>3</A>");
    EXPECT_EQ(RemoveElements("A", "x<A>1</A>\ny<A>2</A>\r\n\r\nz<A>3"), "x\ny\r\nz<A>3");
    EXPECT_EQ(RemoveElements("C", text), text);
}

TEST(Markup, NextTagNameAndTrim) {
    const std::string text = "x<A>1</A>\r\n<Sub/> <";
    size_t pos = 0;
    std::vector<std::string> names;
    std::vector<size_t> positions;
    for (std::string n; !(n = NextTagName(text, pos)).empty();) {
        names.push_back(n);
        positions.push_back(pos);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "/A", "Sub/"}));
    EXPECT_EQ(positions, (std::vector<size_t>{4, 9, 17}));
    EXPECT_EQ(pos, 17u);

    EXPECT_EQ(TrimLineBreaks("\r\n x\ty \r\n\n"), "x\ty");
    EXPECT_EQ(TrimLineBreaks("\tx\t"), "\tx\t");
    EXPECT_EQ(TrimLineBreaks(" \r\n"), "");
}

// The vectorised scan must agree with a plain search everywhere, including candidates near the
// end of the text and tags whose first letter appears in other tags.
TEST(Markup, FindTagAgreesWithPlainSearch) {
    std::mt19937 rng(7);
    const std::vector<std::string> pieces = {"<", "<", ">", ">", "/", "a", "A", "b", "B", "\r\n", "x"};
    for (int round = 0; round < 4000; ++round) {
        const std::string text = RandomText(rng, pieces, 80);
        const std::string tag = UpperCase(RandomText(rng, {"a", "A", "b", "/"}, 3));
        const bool close = rng() & 1;
        const size_t from = text.empty() ? 0 : rng() % (text.size() + 2);
        ASSERT_EQ(FindTag(text, tag, close, from), SlowFindTag(text, tag, close, from))
            << "text \"" << text << "\" tag \"" << tag << "\" close " << close << " from " << from;
    }
    std::string big(5000, 'x');
    big += "<a><ab><ABC></Abc>";
    EXPECT_EQ(FindTag(big, "ABC", false, 0), 5007u);
    EXPECT_EQ(FindTag(big, "ABC", true, 0), 5012u);
    EXPECT_EQ(FindTag(big, "ABC", false, 5008), std::string::npos);
}

TEST(Markup, FindElementInFile) {
    test::TempDir dir;
    const std::string file = dir.File("project.arv");
    // The open tag straddles the first block boundary, the content is longer than a block and
    // holds a nested element of the same name.
    std::string text(2044, '.');
    text += "<ELEMENT>";
    text += std::string(1500, 'a') + "<ELEMENT>inner</ELEMENT>" + std::string(1500, 'b') + "<element>";
    const size_t closeAt = text.size();
    text += "</ELEMENT>\r\n<ELEMENT>second</ELEMENT>";
    const size_t secondOpen = text.find("<ELEMENT>second");
    test::WriteFile(file, text);

    int64_t start = 0, end = 0;
    ASSERT_TRUE(FindElementInFile(file, "ELEMENT", start, end));
    EXPECT_EQ(start, 2044);
    EXPECT_EQ(end, static_cast<int64_t>(closeAt));

    start = 2045;
    ASSERT_TRUE(FindElementInFile(file, "ELEMENT", start, end));
    EXPECT_EQ(start, 2044 + 9 + 1500);
    EXPECT_EQ(end, static_cast<int64_t>(text.find("</ELEMENT>", 3000)));

    start = static_cast<int64_t>(closeAt);
    ASSERT_TRUE(FindElementInFile(file, "ELEMENT", start, end));
    EXPECT_EQ(start, static_cast<int64_t>(secondOpen));
    EXPECT_EQ(text.substr(start, end - start), "<ELEMENT>second");

    // The tag is matched as given; a missing element or close tag leaves start and end alone.
    start = 7, end = 8;
    EXPECT_FALSE(FindElementInFile(file, "Element", start, end));
    EXPECT_FALSE(FindElementInFile(file, "NONE", start, end));
    test::WriteFile(file, "<A><A></A>");
    EXPECT_FALSE(FindElementInFile(file, "A", start, end));
    EXPECT_EQ(start, 7);
    EXPECT_EQ(end, 8);

    const std::string missing = dir.File("missing.arv");
    try {
        FindElementInFile(missing, "A", start, end);
        ADD_FAILURE() << "a missing file must raise";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()), "File \"" + missing + "\" does not exist.");
    }
    try {
        FindElementInFile(file, "", start, end);
        ADD_FAILURE() << "an empty tag must raise";
    } catch (const EVELError& e) {
        EXPECT_EQ(std::string(e.what()), "Tag may not be empty.");
    }
}

TEST(Markup, SettingsList) {
    TVELSettingsList list;
    int changes = 0;
    list.OnChange = [&](TVELSettingsList* sender) {
        EXPECT_EQ(sender, &list);
        ++changes;
    };
    list.SetValue("ep_Color", "255");
    list.SetValue("Name", "a;b");
    EXPECT_EQ(changes, 2);
    list.SetValue("EP_COLOR", "255");  // same value, other case: nothing changes
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(list.Count(), 2);
    list.SetValue("ep_color", "0");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(list.NameAt(0), "ep_Color");
    EXPECT_EQ(list.GetValue("EP_Color"), "0");
    EXPECT_EQ(list.GetValue("missing"), "");

    list.SetValue("third", "3");
    list.Delete("EP_COLOR");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.NameAt(0), "Name");
    EXPECT_EQ(list.GetValue("THIRD"), "3");
    EXPECT_EQ(list.IndexOf("Third"), 1);
    list.SetValue("third", "4");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetValue("ep_color"), "");

    EXPECT_EQ(list.AsText(), "Name=a;b;third=4");
    TVELSettingsList fromText;
    fromText.FromText("A=1;b=x=y;;C=");
    EXPECT_EQ(fromText.AsText(), "A=1;b=x=y;C=");
    EXPECT_EQ(fromText.GetValue("B"), "x=y");
    EXPECT_EQ(TVELSettingsList().AsText(), "");
    fromText.AssignLines({"k=v", "flag"});
    EXPECT_EQ(fromText.AsText(), "k=v;flag=");
}

TEST(Markup, SettingsListMarkup) {
    TVELSettingsList list;
    list.SetValue("ep_Color", "16777215");
    list.SetValue("Caption", "<" + Polish + "> & \"" + Greek + "\"");
    list.SetValue("Empty", "");
    list.SetValue(Japanese, Japanese);
    const std::string markup = list.SaveToMarkup("Options");
    EXPECT_EQ(markup.substr(0, 44), "\r\n<Options>\r\n<EP_COLOR>16777215</EP_COLOR>\r\n");

    TVELSettingsList loaded;
    int changes = 0;
    loaded.OnChange = [&](TVELSettingsList*) { ++changes; };
    loaded.LoadFromMarkup(ReadElement("OPTIONS", markup));
    ASSERT_EQ(loaded.Count(), 4);
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(loaded.NameAt(0), "EP_COLOR");
    EXPECT_EQ(loaded.NameAt(1), "CAPTION");
    EXPECT_EQ(loaded.GetValue("ep_color"), "16777215");
    EXPECT_EQ(loaded.GetValue("caption"), list.GetValue("Caption"));
    EXPECT_EQ(loaded.GetValue(Japanese), Japanese);

    // A repeated name takes the first element's value every time; tags are matched in any case
    // and nested elements become settings of their own.
    TVELSettingsList dup;
    dup.LoadFromMarkup("<A>1</A><B><C>x</C></B><a>2</a><c>3</c><D>\r\nopen");
    EXPECT_EQ(dup.AsText(), "A=1;B=<C>x</C>;C=x;D=");
}

// Loading reads the elements in one pass; it must give what reading each name's element from
// the start of the text gives, also for malformed texts.
TEST(Markup, SettingsLoadAgreesWithReadingEachName) {
    std::mt19937 rng(11);
    const std::vector<std::string> pieces = {"<a>", "<A>", "</a>", "</A>", "<b>", "</b>", "<>", "</>", "<",
                                             ">", "/", "a", "x", "&amp;", "\r\n", "\n"};
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(rng, pieces, 16);
        TVELSettingsList fast;
        fast.LoadFromMarkup(text);
        ASSERT_EQ(fast.AsText(), SlowLoad(text).AsText()) << "text \"" << text << "\"";
    }
    TVELSettingsList inner;
    inner.LoadFromMarkup("<x<A>1</A><A>2</A>");
    EXPECT_EQ(inner.AsText(), "x<A=;A=1");
}

TEST(Markup, IntegersList) {
    TIntegersList ids;
    for (int32_t v : {5, -2, 2147483647, 0}) ids.Add(v);
    EXPECT_EQ(ids.CommaText(), "5,-2,2147483647,0");
    const std::string markup = ids.SaveToMarkup("IDMAP");
    EXPECT_EQ(markup, "\r\n<IDMAP>5,-2,2147483647,0\r\n</IDMAP>");
    TIntegersList loaded;
    loaded.Add(1);
    loaded.LoadFromMarkup(ReadElement("IDMAP", markup));
    EXPECT_EQ(loaded.Items(), ids.Items());
    EXPECT_EQ(loaded.IndexOf(2147483647), 2);
    EXPECT_EQ(loaded.IndexOf(7), -1);
    loaded.Sort();
    EXPECT_EQ(loaded.CommaText(), "-2,0,5,2147483647");
    loaded.LoadFromMarkup("");
    EXPECT_EQ(loaded.Count(), 0);
    loaded.LoadFromMarkup("\r\n1,x,,3\r\n");
    EXPECT_EQ(loaded.CommaText(), "1,3");
}

TEST(Markup, ValuesAreWrittenAsTheyReadBack) {
    // Line breaks at the ends of a value cannot survive the reader, so the writer leaves them
    // out: a second save of a loaded text equals the first.
    for (const std::string value : {"CREATE PROCEDURE p\r\n", "\r\n\r\nbody\r\n", "\nx\n", "\r\n"}) {
        const std::string first = WriteElement("CODE", value);
        const std::string again = WriteElement("CODE", ReadElementText("CODE", first));
        EXPECT_EQ(first, again) << value;
    }
    EXPECT_EQ(WriteElement("CODE", "a\r\nb\r\n"), "\r\n<CODE>a\r\nb</CODE>");
    EXPECT_EQ(WriteElement("CODE", " a\r\n "), "\r\n<CODE> a\r\n </CODE>");
}
