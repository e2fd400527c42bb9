#include <gtest/gtest.h>

#include "zParseScript.h"
#include "zXMLUtils.h"

using namespace ardvin;

namespace {

// "kind:text" of every token, for compact comparisons.
std::vector<std::string> Kinds(const std::vector<TVELToken>& tokens) {
    std::vector<std::string> out;
    for (const auto& t : tokens)
        out.push_back(IntToStr(t.Kind) + ":" + t.Text);
    return out;
}

std::vector<std::string> Tokens(std::string_view text, unsigned options = toNoEOF) {
    TVELTokenizer tokenizer;
    return Kinds(tokenizer.Tokenize(text, options));
}

using Strings = std::vector<std::string>;

TVELSQLScriptParser Parser(uint8_t mode, bool compact) {
    TVELSQLScriptParser parser;
    parser.Mode = mode;
    parser.Compact = compact;
    return parser;
}

std::vector<std::string> Split(std::string_view text, uint8_t mode, bool compact = true) {
    TVELSQLScriptParser parser = Parser(mode, compact);
    parser.Parse(text);
    return parser.Statements;
}

} // namespace

TEST(Tokenizer, SymbolsNumbersAndWords) {
    EXPECT_EQ(Tokens("a<>b"), (Strings{"9:a", "6:<>", "9:b"}));
    EXPECT_EQ(Tokens("a< >b"), (Strings{"9:a", "6:<", "11: ", "6:>", "9:b"}));
    EXPECT_EQ(Tokens("x<=1>=2"), (Strings{"9:x", "6:<=", "3:1", "6:>=", "3:2"}));

    EXPECT_EQ(Tokens("-12.50"), (Strings{"2:-12.50"}));
    EXPECT_EQ(Tokens("-12"), (Strings{"3:-12"}));
    EXPECT_EQ(Tokens(".5 1."), (Strings{"2:.5", "11: ", "2:1."}));
    EXPECT_EQ(Tokens("-x"), (Strings{"6:-", "9:x"}));
    EXPECT_EQ(Tokens("-.x"), (Strings{"6:-", "6:.", "9:x"}));
    EXPECT_EQ(Tokens("a.b"), (Strings{"9:a", "6:.", "9:b"}));
    EXPECT_EQ(Tokens("1.2.3"), (Strings{"2:1.2", "2:.3"}));
    // Digits followed by letters are one word; a word may hold hyphens, digits, underscores
    // and apostrophes.
    EXPECT_EQ(Tokens("12abc 3d_x"), (Strings{"9:12abc", "11: ", "9:3d_x"}));
    EXPECT_EQ(Tokens("first-name O'Neil x1"), (Strings{"9:first-name", "11: ", "9:O'Neil", "11: ", "9:x1"}));
    // "_" is no start character of a word.
    EXPECT_EQ(Tokens("_a"), (Strings{"6:_", "9:a"}));
    // UTF-8 letters belong to words and pass through byte for byte.
    EXPECT_EQ(Tokens("Größe=Ελλάδα"), (Strings{"9:Größe", "6:=", "9:Ελλάδα"}));
}

TEST(Tokenizer, QuotesAndComments) {
    // No escapes: a doubled quote ends the token, the second quote opens the next one.
    EXPECT_EQ(Tokens("'it''s'"), (Strings{"7:'it'", "7:'s'"}));
    EXPECT_EQ(Tokens("\"a b\"x"), (Strings{"7:\"a b\"", "9:x"}));
    // At the end of the text the closing quote is supplied.
    EXPECT_EQ(Tokens("'open"), (Strings{"7:'open'"}));
    EXPECT_EQ(Tokens("'"), (Strings{"7:''"}));
    // A quote inside a word is the word's; after a lone N, E, X or B it opens a string.
    EXPECT_EQ(Tokens("don't"), (Strings{"9:don't"}));
    EXPECT_EQ(Tokens("N'[a b]', x'0F'"), (Strings{"9:N", "7:'[a b]'", "6:,", "11: ", "9:x", "7:'0F'"}));
    EXPECT_EQ(Tokens("NN'x'"), (Strings{"9:NN'x'"}));

    EXPECT_EQ(Tokens("a/*x*/b"), (Strings{"9:a", "12:/*x*/", "9:b"}));
    EXPECT_EQ(Tokens("/* open"), (Strings{"12:/* open"}));
    EXPECT_EQ(Tokens("a//c\r\nb"), (Strings{"9:a", "12://c\r\n", "9:b"}));
    EXPECT_EQ(Tokens("//c\rb"), (Strings{"12://c\r", "9:b"}));
    EXPECT_EQ(Tokens("//c"), (Strings{"12://c"}));
    EXPECT_EQ(Tokens("a/b"), (Strings{"9:a", "6:/", "9:b"}));

    // The line comment state reads up to the line break and leaves it.
    TVELTokenizer tokenizer;
    tokenizer.SetCharState('#', '#', tokenizer.CommentState());
    EXPECT_EQ(Kinds(tokenizer.Tokenize("# note\nx", toNoEOF)), (Strings{"12:# note", "11:\n", "9:x"}));
}

TEST(Tokenizer, Options) {
    EXPECT_EQ(Tokens("a b"), (Strings{"9:a", "11: ", "9:b"}));
    EXPECT_EQ(Tokens("a", 0), (Strings{"9:a", "1:"}));
    EXPECT_EQ(Tokens("", 0), (Strings{"1:"}));
    EXPECT_EQ(Tokens("a b", toNoEOF | toSkipWhitespace), (Strings{"9:a", "9:b"}));
    EXPECT_EQ(Tokens("a/*c*/b", toNoEOF | toSkipComments), (Strings{"9:a", "9:b"}));
    // Whitespace becomes one blank, also when a dropped comment separated two runs.
    EXPECT_EQ(Tokens("a \r\n /*c*/\t b", toNoEOF | toSkipComments | toCompactWhitespace),
              (Strings{"9:a", "11: ", "9:b"}));
    EXPECT_EQ(Tokens("1 2.5 -3", toNoEOF | toSkipWhitespace | toFoldNumbers),
              (Strings{"5:1", "5:2.5", "5:-3"}));
    EXPECT_EQ(Tokens("'a' \"b\" '", toNoEOF | toSkipWhitespace | toUnquote), (Strings{"7:a", "7:b", "7:"}));

    // Characters without a state: kind 0 tokens, or nothing with option 1.
    TVELTokenizer tokenizer;
    tokenizer.SetCharState('@', '@', nullptr);
    EXPECT_EQ(Kinds(tokenizer.Tokenize("a@b", toNoEOF)), (Strings{"9:a", "0:@", "9:b"}));
    EXPECT_EQ(Kinds(tokenizer.Tokenize("a@b", toNoEOF | toSkipUnknown)), (Strings{"9:a", "9:b"}));

    // The array form gives the same tokens and replaces what the array held.
    TVELTokenDynArray tokens(3);
    tokenizer.TokenizeToArray("x = 1", 0, tokens);
    EXPECT_EQ(Kinds(tokens), Kinds(tokenizer.Tokenize("x = 1", 0)));
}

TEST(Tokenizer, SymbolTree) {
    TVELTokenizer tokenizer;
    tokenizer.AddSymbol(":=");
    tokenizer.AddSymbol("!==");
    tokenizer.AddSymbol("");
    EXPECT_EQ(Kinds(tokenizer.Tokenize("a:=b", toNoEOF)), (Strings{"9:a", "6::=", "9:b"}));
    EXPECT_EQ(Kinds(tokenizer.Tokenize("!==", toNoEOF)), (Strings{"6:!=="}));
    // "!=" is no symbol of its own: reading steps back to the deepest complete one.
    EXPECT_EQ(Kinds(tokenizer.Tokenize("!=x", toNoEOF)), (Strings{"6:!", "6:=", "9:x"}));
    EXPECT_EQ(Kinds(tokenizer.Tokenize("!=", toNoEOF)), (Strings{"6:!", "6:="}));
    // The comment and number states hand over to the symbol state with the tree.
    tokenizer.AddSymbol("/=");
    tokenizer.AddSymbol("-=");
    EXPECT_EQ(Kinds(tokenizer.Tokenize("a/=b -=c", toNoEOF)),
              (Strings{"9:a", "6:/=", "9:b", "11: ", "6:-=", "9:c"}));
    // Inside a word "-" is a word character.
    EXPECT_EQ(Kinds(tokenizer.Tokenize("b-=c", toNoEOF)), (Strings{"9:b-", "6:=", "9:c"}));
}

TEST(Tokenizer, AbstractObject) {
    TVELTokenizer tokenizer;
    try {
        tokenizer.Clone();
        FAIL() << "cloning must raise";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Clonning is not supported by this class");
    }
    EXPECT_THROW(tokenizer.QuoteState()->Clone(), EVELError);
    EXPECT_EQ(tokenizer.ToString(), Format("TVELTokenizer <%p>", static_cast<const void*>(&tokenizer)));
    EXPECT_EQ(tokenizer.WordState()->ToString().rfind("TVELWordState <", 0), 0u);
    TVELTokenizer other;
    EXPECT_TRUE(tokenizer.Equals(&tokenizer));
    EXPECT_FALSE(tokenizer.Equals(&other));

    EXPECT_EQ(TVELQuoteState::Unquote("'abc'", '\''), "abc");
    EXPECT_EQ(TVELQuoteState::Unquote("''", '\''), "");
    EXPECT_EQ(TVELQuoteState::Unquote("'", '\''), "'");
    EXPECT_EQ(TVELQuoteState::Unquote("\"abc'", '"'), "\"abc'");
}

TEST(ScriptParser, SemicolonMode) {
    EXPECT_EQ(Split("SELECT 1;\n  SELECT   /* c */ 2 ;;\n", TVELSQLScriptParser::smSemicolon),
              (Strings{"SELECT 1", "SELECT 2"}));
    // Not compact: comments and the whitespace inside a statement stay.
    EXPECT_EQ(Split("  SELECT\t1 /* c */ ;\nSELECT 2;", TVELSQLScriptParser::smSemicolon, false),
              (Strings{"SELECT\t1 /* c */", "SELECT 2"}));
    // Quoted semicolons do not end statements.
    EXPECT_EQ(Split("INSERT INTO t VALUES ('a;b', \"c;\");", TVELSQLScriptParser::smSemicolon),
              (Strings{"INSERT INTO t VALUES ('a;b', \"c;\")"}));

    TVELSQLScriptParser parser;
    parser.Tokenizer.reset();
    try {
        parser.Parse("x;");
        FAIL() << "parsing without a tokenizer must raise";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Tokenizer is not defined");
    }
}

TEST(ScriptParser, GoMode) {
    TVELSQLScriptParser parser = Parser(TVELSQLScriptParser::smGo, true);
    parser.Parse("CREATE TABLE a (x INT)\ngo\nEXEC GOTO_LABEL\nSELECT 1\nGo\nSELECT 2");
    EXPECT_EQ(parser.Statements, (Strings{"CREATE TABLE a (x INT)", "EXEC GOTO_LABEL SELECT 1"}));
    EXPECT_EQ(parser.Remainder, "SELECT 2");
    EXPECT_EQ(parser.Count(), 2);
    EXPECT_EQ(parser.Statement(1), "EXEC GOTO_LABEL SELECT 1");
}

TEST(ScriptParser, TerminatorModeSwitches) {
    // SET TERM around a procedure body: one statement, and ";" terminates again afterwards.
    TVELSQLScriptParser parser = Parser(TVELSQLScriptParser::smTerminator, false);
    parser.Parse("SET TERM ^ ;\nCREATE PROCEDURE p AS\nBEGIN\n  x = 1;\n  y = 2;\nEND^\nSET TERM ; ^\n");
    EXPECT_EQ(parser.Statements, (Strings{"CREATE PROCEDURE p AS\nBEGIN\n  x = 1;\n  y = 2;\nEND"}));
    EXPECT_EQ(parser.Terminator, ";");
    parser.Parse("SELECT 1; SELECT 2;");
    EXPECT_EQ(parser.Count(), 3);

    // A terminator of several characters is matched across symbol tokens, without regard to case;
    // a partial match stays in the statement.
    parser.Clear();
    EXPECT_TRUE(parser.Statements.empty());
    parser.Terminator = "^^";
    parser.Parse("a ^ b^^c^^");
    EXPECT_EQ(parser.Statements, (Strings{"a ^ b", "c"}));
    parser.Clear();
    EXPECT_EQ(parser.Terminator, ";");
    parser.Terminator = "go";
    parser.Parse("select 1 GO");
    EXPECT_EQ(parser.Statements, (Strings{"select 1"}));

    // DELIMITER at the start of a statement takes the rest of its line.
    parser.Clear();
    parser.Parse("DELIMITER $$\nCREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END $$\nDELIMITER ;\nSELECT 3;"
                 "DELIMITER ;;\nCREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW BEGIN SET a = 1; END;;\n"
                 "DELIMITER ;\n");
    EXPECT_EQ(parser.Statements,
              (Strings{"CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END", "SELECT 3",
                       "CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW BEGIN SET a = 1; END"}));
    EXPECT_EQ(parser.Terminator, ";");
    // "DELIMITER ^ ;", the form that ends with the current terminator, gives the same switch; a
    // DELIMITER inside a statement is a word.
    parser.Clear();
    parser.Parse("SELECT delimiter FROM t;\nDELIMITER ^ ;\nSELECT 1;2^");
    EXPECT_EQ(parser.Statements, (Strings{"SELECT delimiter FROM t", "SELECT 1;2"}));
    EXPECT_EQ(parser.Terminator, "^");
    parser.Parse("SET TERM ; ^");
    EXPECT_EQ(parser.Terminator, ";");
}

TEST(ScriptParser, Remainder) {
    TVELSQLScriptParser parser = Parser(TVELSQLScriptParser::smTerminator, false);
    parser.Parse("SELECT 1;\nSELECT\n  2");
    EXPECT_EQ(parser.Statements, (Strings{"SELECT 1"}));
    EXPECT_EQ(parser.Remainder, "SELECT\n  2");
    // The next text continues the remainder, after a line feed.
    parser.Parse("+ 3; SELECT 4");
    EXPECT_EQ(parser.Statements, (Strings{"SELECT 1", "SELECT\n  2\n+ 3"}));
    EXPECT_EQ(parser.Remainder, "SELECT 4");
    parser.Clear();
    EXPECT_EQ(parser.Remainder, "");
    EXPECT_EQ(parser.Count(), 0);

    // Compact mode joins with a blank.
    parser.Compact = true;
    parser.Parse("SELECT");
    parser.Parse("5;");
    EXPECT_EQ(parser.Statements, (Strings{"SELECT 5"}));
}

TEST(ScriptParser, BlankLineMode) {
    const auto statements =
        Split("CREATE TABLE a (x INT);\n\nCREATE TABLE b\n(y INT)\n \t\n\n\nSELECT 1;\r\n\r\n  \n",
              TVELSQLScriptParser::smBlankLine);
    EXPECT_EQ(statements, (Strings{"CREATE TABLE a (x INT)", "CREATE TABLE b (y INT)", "SELECT 1"}));
    // Runs split by a dropped comment still count together.
    EXPECT_EQ(Split("a\n/* c */\nb", TVELSQLScriptParser::smBlankLine), (Strings{"a"}));
    // "--" is no comment for the tokenizer.
    EXPECT_EQ(Split("a\n-- c\nb\n\nd", TVELSQLScriptParser::smBlankLine, false), (Strings{"a\n-- c\nb"}));
}
