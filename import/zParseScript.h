// The SQL script tokenizer and the statement splitter built on it.
//
// TVELTokenizer turns text into typed tokens; the start character of a token selects the state
// that reads it. TVELSQLScriptParser runs the tokenizer and cuts the token stream into
// statements at a terminator, following SET TERM and DELIMITER switches.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ardvin {

// Token kinds; 4, 8 and 10 are not produced.
enum TVELTokenKind : uint8_t {
    tkNone = 0,    // a character without a state (when such characters are kept)
    tkEOF = 1,     // once at the end of a token list
    tkDecimal = 2, // number with a decimal point
    tkInteger = 3, // number without a decimal point
    tkNumber = 5,  // any number, when numbers are not told apart
    tkSymbol = 6,
    tkQuoted = 7,
    tkWord = 9,
    tkWhitespace = 11,
    tkComment = 12,
};

struct TVELToken {
    std::string Text;
    uint8_t Kind = tkNone;
};
using TVELTokenDynArray = std::vector<TVELToken>;

// Tokenizer options (bit flags).
enum TVELTokenizerOption : unsigned {
    toSkipUnknown = 1,        // characters without a state are dropped
    toSkipWhitespace = 2,     // whitespace tokens are dropped
    toSkipComments = 4,       // comment tokens are dropped
    toNoEOF = 8,              // no tkEOF token at the end
    toCompactWhitespace = 16, // whitespace as one blank, never twice in a row
    toFoldNumbers = 32,       // decimals and integers come out as tkNumber
    toUnquote = 64,           // quoted tokens without their quotes
};

// Base of the tokenizer and its states: identity equality, no cloning, a text form naming the
// class and the address.
class TVELAbstractObject {
public:
    virtual ~TVELAbstractObject() = default;
    virtual const char* ClassName() const = 0;
    bool Equals(const TVELAbstractObject* other) const { return other == this; }
    // Raises EVELError "Clonning is not supported by this class".
    virtual std::unique_ptr<TVELAbstractObject> Clone() const;
    std::string ToString() const; // "<class name> <address>"
};

// The character source of the states: bytes of a text read one at a time.
class TVELCharReader {
public:
    explicit TVELCharReader(std::string_view text) : text_(text) {}
    // The next byte (0..255), or -1 at the end of the text; the end is not passed.
    int Read() { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_++]) : -1; }
    // Moves back (negative) or forward by delta bytes, kept inside the text.
    void Seek(std::ptrdiff_t delta);
    void Unread() { Seek(-1); }
    size_t Position() const { return pos_; }
    bool AtEnd() const { return pos_ >= text_.size(); }
    std::string_view Text() const { return text_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

class TVELTokenizer;

class TVELTokenizerState : public TVELAbstractObject {
public:
    // Reads one token that begins with the character first (already read from the reader).
    virtual void NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer& tokenizer) = 0;
};

// Optional "-", digits, optional "." and digits. Without any digit the characters go back and
// the symbol state reads the "-" or ".".
class TVELNumberState : public TVELTokenizerState {
public:
    const char* ClassName() const override { return "TVELNumberState"; }
    void NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer& tokenizer) override;
};

// Up to and including the next occurrence of the opening character; no escapes. The end of the
// text supplies the closing quote.
class TVELQuoteState : public TVELTokenizerState {
public:
    const char* ClassName() const override { return "TVELQuoteState"; }
    void NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer& tokenizer) override;
    // The inner text when the text has two or more characters and starts and ends with quote;
    // otherwise the text unchanged.
    static std::string Unquote(std::string_view text, char quote);
};

// "/*" to "*/" and "//" to the end of the line with its line break; a lone "/" is a symbol.
class TVELCppCommentState : public TVELTokenizerState {
public:
    const char* ClassName() const override { return "TVELCppCommentState"; }
    void NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer& tokenizer) override;
};

// From the first character to the end of the line, without the line break. Not mapped to any
// character by default.
class TVELCommentState : public TVELTokenizerState {
public:
    const char* ClassName() const override { return "TVELCommentState"; }
    void NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer& tokenizer) override;
};

// The longest symbol of the symbol tree that the input starts with; every single character is a
// symbol.
class TVELSymbolState : public TVELTokenizerState {
public:
    TVELSymbolState();
    ~TVELSymbolState() override;
    const char* ClassName() const override { return "TVELSymbolState"; }
    void NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer& tokenizer) override;
    void AddSymbol(std::string_view symbol);

private:
    struct Node;
    struct Tree;
    std::unique_ptr<Tree> tree_;
};

// A run of the characters 0 to 32.
class TVELWhitespaceState : public TVELTokenizerState {
public:
    const char* ClassName() const override { return "TVELWhitespaceState"; }
    void NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer& tokenizer) override;
};

// A run of word characters: letters, digits, "-", "_", the apostrophe and the bytes 128 to 255
// (the bytes of UTF-8 sequences).
class TVELWordState : public TVELTokenizerState {
public:
    const char* ClassName() const override { return "TVELWordState"; }
    void NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer& tokenizer) override;
    static bool IsWordChar(int c);
};

class TVELTokenizer : public TVELAbstractObject {
public:
    TVELTokenizer();
    ~TVELTokenizer() override;
    const char* ClassName() const override { return "TVELTokenizer"; }

    std::vector<TVELToken> Tokenize(std::string_view text, unsigned options = 0);
    void TokenizeToArray(std::string_view text, unsigned options, TVELTokenDynArray& tokens);

    TVELNumberState* NumberState() const { return number_.get(); }
    TVELQuoteState* QuoteState() const { return quote_.get(); }
    TVELCppCommentState* CppCommentState() const { return cppComment_.get(); }
    TVELCommentState* CommentState() const { return comment_.get(); }
    TVELSymbolState* SymbolState() const { return symbol_.get(); }
    TVELWhitespaceState* WhitespaceState() const { return whitespace_.get(); }
    TVELWordState* WordState() const { return word_.get(); }

    void AddSymbol(std::string_view symbol) { symbol_->AddSymbol(symbol); }
    // Maps the start characters from..to (0..255, clamped) to a state; nullptr leaves them
    // without a state. The state must live as long as the tokenizer: one of its own states, or
    // one handed over with AdoptState.
    void SetCharState(int from, int to, TVELTokenizerState* state);
    TVELTokenizerState* CharState(unsigned char c) const { return table_[c]; }
    // Takes ownership of a state of the caller's making and returns it for SetCharState.
    TVELTokenizerState* AdoptState(std::unique_ptr<TVELTokenizerState> state);

private:
    std::unique_ptr<TVELNumberState> number_;
    std::unique_ptr<TVELQuoteState> quote_;
    std::unique_ptr<TVELCppCommentState> cppComment_;
    std::unique_ptr<TVELCommentState> comment_;
    std::unique_ptr<TVELSymbolState> symbol_;
    std::unique_ptr<TVELWhitespaceState> whitespace_;
    std::unique_ptr<TVELWordState> word_;
    std::vector<std::unique_ptr<TVELTokenizerState>> adopted_;
    std::array<TVELTokenizerState*, 256> table_{};
};

// Tokens of one text read one at a time, with the options applied; what Tokenize returns is
// what this stream yields. The tokenizer and the text must outlive the stream.
class TVELTokenStream {
public:
    TVELTokenStream(TVELTokenizer& tokenizer, std::string_view text, unsigned options);
    // The next token; false once the stream is exhausted (after tkEOF, unless suppressed).
    bool Next(TVELToken& token);

private:
    bool Produce(TVELToken& token); // the next token after filtering, before merging
    TVELTokenizer& tokenizer_;
    TVELCharReader reader_;
    unsigned options_;
    bool eofDone_ = false;
    bool lastWasWhitespace_ = false;
    bool havePending_ = false;
    TVELToken pending_;
};

// Cuts scripts into statements.
class TVELSQLScriptParser {
public:
    // 0: a ";" token ends a statement; 1: the word GO; 2: the Terminator text, with SET TERM and
    // DELIMITER switches; 3: a blank line.
    enum : uint8_t { smSemicolon = 0, smGo = 1, smTerminator = 2, smBlankLine = 3 };

    std::string Terminator = ";";
    uint8_t Mode = smSemicolon;
    bool Compact = true; // comments dropped, whitespace reduced to single blanks
    std::unique_ptr<TVELTokenizer> Tokenizer = std::make_unique<TVELTokenizer>();
    std::string Remainder; // text after the last terminator of the previous Parse
    std::vector<std::string> Statements;

    void Clear();
    // Adds the statements of the text to Statements; raises EVELError "Tokenizer is not
    // defined" without a tokenizer.
    void Parse(std::string_view text);
    int Count() const { return static_cast<int>(Statements.size()); }
    const std::string& Statement(int index) const { return Statements.at(index); }
};

} // namespace ardvin
