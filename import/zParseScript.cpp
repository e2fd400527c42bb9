#include "zParseScript.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "zXMLUtils.h"

namespace ardvin {

namespace {

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// Tokens read ahead for a terminator that did not match are read again when the terminator is
// at most this long; after longer ones they are taken as text, so that splitting stays linear.
constexpr size_t MaxRereadTerminator = 16;
bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

void TrimInPlace(std::string& s) {
    size_t end = s.size();
    while (end > 0 && static_cast<unsigned char>(s[end - 1]) <= ' ')
        --end;
    s.resize(end);
    size_t begin = 0;
    while (begin < s.size() && static_cast<unsigned char>(s[begin]) <= ' ')
        ++begin;
    s.erase(0, begin);
}

} // namespace

// ---- TVELAbstractObject ----------------------------------------------------------------------

std::unique_ptr<TVELAbstractObject> TVELAbstractObject::Clone() const {
    throw EVELError("Clonning is not supported by this class");
}

std::string TVELAbstractObject::ToString() const {
    return Format("%s <%p>", ClassName(), static_cast<const void*>(this));
}

// ---- TVELCharReader --------------------------------------------------------------------------

void TVELCharReader::Seek(std::ptrdiff_t delta) {
    if (delta < 0) {
        const auto back = static_cast<size_t>(-delta);
        pos_ = back > pos_ ? 0 : pos_ - back;
    } else {
        pos_ = std::min(text_.size(), pos_ + static_cast<size_t>(delta));
    }
}

// ---- the states ------------------------------------------------------------------------------

void TVELNumberState::NextToken(TVELCharReader& reader, int first, TVELToken& token,
                                TVELTokenizer& tokenizer) {
    std::string& text = token.Text;
    text.assign(1, static_cast<char>(first));
    bool digits = IsDigit(first);
    bool point = first == '.';
    int c = reader.Read();
    if (first == '-' && c == '.') {
        point = true;
        text += '.';
        c = reader.Read();
    }
    for (; IsDigit(c); c = reader.Read()) {
        text += static_cast<char>(c);
        digits = true;
    }
    if (!point && digits && c == '.') {
        point = true;
        text += '.';
        for (c = reader.Read(); IsDigit(c); c = reader.Read())
            text += static_cast<char>(c);
    }
    if (c >= 0) reader.Unread();
    if (!digits) {
        // Only "-", "." or "-.": everything after the first character goes back and the first
        // one is a symbol.
        reader.Seek(-static_cast<std::ptrdiff_t>(text.size() - 1));
        tokenizer.SymbolState()->NextToken(reader, first, token, tokenizer);
        return;
    }
    token.Kind = point ? tkDecimal : tkInteger;
}

void TVELQuoteState::NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer&) {
    std::string& text = token.Text;
    text.assign(1, static_cast<char>(first));
    for (;;) {
        const int c = reader.Read();
        if (c < 0) {
            text += static_cast<char>(first);
            break;
        }
        text += static_cast<char>(c);
        if (c == first) break;
    }
    token.Kind = tkQuoted;
}

std::string TVELQuoteState::Unquote(std::string_view text, char quote) {
    if (text.size() >= 2 && text.front() == quote && text.back() == quote)
        return std::string(text.substr(1, text.size() - 2));
    return std::string(text);
}

void TVELCppCommentState::NextToken(TVELCharReader& reader, int first, TVELToken& token,
                                    TVELTokenizer& tokenizer) {
    std::string& text = token.Text;
    const int c = reader.Read();
    if (c == '*') {
        text = "/*";
        int prev = 0;
        for (int d = reader.Read(); d >= 0; d = reader.Read()) {
            text += static_cast<char>(d);
            if (prev == '*' && d == '/') break;
            prev = d;
        }
        token.Kind = tkComment;
        return;
    }
    if (c == '/') {
        text = "//";
        for (int d = reader.Read(); d >= 0; d = reader.Read()) {
            text += static_cast<char>(d);
            if (d == '\n') break;
            if (d == '\r') {
                const int e = reader.Read();
                if (e == '\n')
                    text += '\n';
                else if (e >= 0)
                    reader.Unread();
                break;
            }
        }
        token.Kind = tkComment;
        return;
    }
    if (c >= 0) reader.Unread();
    tokenizer.SymbolState()->NextToken(reader, first, token, tokenizer);
}

void TVELCommentState::NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer&) {
    std::string& text = token.Text;
    text.assign(1, static_cast<char>(first));
    for (int c = reader.Read(); c >= 0; c = reader.Read()) {
        if (c == '\r' || c == '\n') {
            reader.Unread();
            break;
        }
        text += static_cast<char>(c);
    }
    token.Kind = tkComment;
}

// A node of the symbol tree: one character, whether a symbol ends here, and the nodes of the
// characters that may follow.
struct TVELSymbolState::Node {
    unsigned char Char = 0;
    bool Valid = false;
    std::vector<std::unique_ptr<Node>> Children;

    Node* Find(unsigned char c) const {
        for (const auto& child : Children)
            if (child->Char == c) return child.get();
        return nullptr;
    }
};

// The root of the tree: one valid node per character.
struct TVELSymbolState::Tree {
    std::array<Node, 256> First;
};

TVELSymbolState::TVELSymbolState() : tree_(std::make_unique<Tree>()) {
    for (int c = 0; c < 256; ++c) {
        tree_->First[c].Char = static_cast<unsigned char>(c);
        tree_->First[c].Valid = true;
    }
    AddSymbol("<>");
    AddSymbol("<=");
    AddSymbol(">=");
}

TVELSymbolState::~TVELSymbolState() = default;

void TVELSymbolState::AddSymbol(std::string_view symbol) {
    if (symbol.empty()) return;
    Node* node = &tree_->First[static_cast<unsigned char>(symbol[0])];
    for (size_t i = 1; i < symbol.size(); ++i) {
        const auto c = static_cast<unsigned char>(symbol[i]);
        Node* child = node->Find(c);
        if (!child) {
            auto fresh = std::make_unique<Node>();
            fresh->Char = c;
            child = fresh.get();
            node->Children.push_back(std::move(fresh));
        }
        node = child;
    }
    node->Valid = true;
}

void TVELSymbolState::NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer&) {
    std::string& text = token.Text;
    text.assign(1, static_cast<char>(first));
    token.Kind = tkSymbol;
    const Node* node = &tree_->First[static_cast<unsigned char>(first)];
    size_t validLength = 1;
    while (!node->Children.empty()) {
        const int c = reader.Read();
        if (c < 0) break;
        const Node* child = node->Find(static_cast<unsigned char>(c));
        if (!child) {
            reader.Unread();
            break;
        }
        node = child;
        text += static_cast<char>(c);
        if (node->Valid) validLength = text.size();
    }
    // Back to the deepest node at which a symbol ends.
    reader.Seek(-static_cast<std::ptrdiff_t>(text.size() - validLength));
    text.resize(validLength);
}

void TVELWhitespaceState::NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer&) {
    std::string& text = token.Text;
    text.assign(1, static_cast<char>(first));
    for (int c = reader.Read(); c >= 0; c = reader.Read()) {
        if (c > ' ') {
            reader.Unread();
            break;
        }
        text += static_cast<char>(c);
    }
    token.Kind = tkWhitespace;
}

bool TVELWordState::IsWordChar(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '_' ||
           c == '\'' || c >= 128;
}

void TVELWordState::NextToken(TVELCharReader& reader, int first, TVELToken& token, TVELTokenizer&) {
    std::string& text = token.Text;
    text.assign(1, static_cast<char>(first));
    for (int c = reader.Read(); c >= 0; c = reader.Read()) {
        // A quote after a lone N, E, X or B opens a prefixed string literal (N'text', X'0F'),
        // whose quotes must pair as the string's own.
        const bool literalPrefix = c == '\'' && text.size() == 1 && std::strchr("NnEeXxBb", text[0]);
        if (!IsWordChar(c) || literalPrefix) {
            reader.Unread();
            break;
        }
        text += static_cast<char>(c);
    }
    token.Kind = tkWord;
}

// ---- TVELTokenizer ---------------------------------------------------------------------------

TVELTokenizer::TVELTokenizer()
    : number_(std::make_unique<TVELNumberState>()), quote_(std::make_unique<TVELQuoteState>()),
      cppComment_(std::make_unique<TVELCppCommentState>()), comment_(std::make_unique<TVELCommentState>()),
      symbol_(std::make_unique<TVELSymbolState>()), whitespace_(std::make_unique<TVELWhitespaceState>()),
      word_(std::make_unique<TVELWordState>()) {
    SetCharState(0, 255, symbol_.get());
    SetCharState(0, ' ', whitespace_.get());
    SetCharState('a', 'z', word_.get());
    SetCharState('A', 'Z', word_.get());
    SetCharState(128, 255, word_.get());
    SetCharState('0', '9', number_.get());
    SetCharState('-', '-', number_.get());
    SetCharState('.', '.', number_.get());
    SetCharState('"', '"', quote_.get());
    SetCharState('\'', '\'', quote_.get());
    SetCharState('/', '/', cppComment_.get());
}

TVELTokenizer::~TVELTokenizer() = default;

void TVELTokenizer::SetCharState(int from, int to, TVELTokenizerState* state) {
    from = std::max(from, 0);
    to = std::min(to, 255);
    for (int c = from; c <= to; ++c)
        table_[c] = state;
}

TVELTokenizerState* TVELTokenizer::AdoptState(std::unique_ptr<TVELTokenizerState> state) {
    adopted_.push_back(std::move(state));
    return adopted_.back().get();
}

std::vector<TVELToken> TVELTokenizer::Tokenize(std::string_view text, unsigned options) {
    std::vector<TVELToken> tokens;
    TokenizeToArray(text, options, tokens);
    return tokens;
}

void TVELTokenizer::TokenizeToArray(std::string_view text, unsigned options, TVELTokenDynArray& tokens) {
    tokens.clear();
    TVELTokenStream stream(*this, text, options);
    for (TVELToken token; stream.Next(token);)
        tokens.push_back(std::move(token));
}

// ---- TVELTokenStream -------------------------------------------------------------------------

TVELTokenStream::TVELTokenStream(TVELTokenizer& tokenizer, std::string_view text, unsigned options)
    : tokenizer_(tokenizer), reader_(text), options_(options) {}

bool TVELTokenStream::Produce(TVELToken& token) {
    for (;;) {
        const int c = reader_.Read();
        if (c < 0) {
            if (eofDone_ || (options_ & toNoEOF)) {
                eofDone_ = true;
                return false;
            }
            eofDone_ = true;
            token.Text.clear();
            token.Kind = tkEOF;
            return true;
        }
        TVELTokenizerState* state = tokenizer_.CharState(static_cast<unsigned char>(c));
        if (!state) {
            if (options_ & toSkipUnknown) continue;
            token.Text.assign(1, static_cast<char>(c));
            token.Kind = tkNone;
        } else {
            token.Text.clear();
            token.Kind = tkNone;
            state->NextToken(reader_, c, token, tokenizer_);
        }
        if (token.Kind == tkQuoted && (options_ & toUnquote) && !token.Text.empty())
            token.Text = TVELQuoteState::Unquote(token.Text, token.Text[0]);
        if (token.Kind == tkComment && (options_ & toSkipComments)) continue;
        if (token.Kind == tkWhitespace) {
            if (options_ & toSkipWhitespace) continue;
            if (options_ & toCompactWhitespace) {
                if (lastWasWhitespace_) continue;
                token.Text.assign(1, ' ');
            }
        }
        lastWasWhitespace_ = token.Kind == tkWhitespace;
        return true;
    }
}

bool TVELTokenStream::Next(TVELToken& token) {
    if (!havePending_) {
        if (!Produce(pending_)) return false;
        havePending_ = true;
    }
    // An integer directly followed by a word becomes one word, so that names that begin with
    // digits stay whole. Decimals and integers are folded only once that is decided.
    if (pending_.Kind == tkInteger) {
        TVELToken next;
        if (Produce(next)) {
            if (next.Kind == tkWord) {
                pending_.Text += next.Text;
                pending_.Kind = tkWord;
                token = std::move(pending_);
                havePending_ = false;
                return true;
            }
            token = std::move(pending_);
            pending_ = std::move(next);
            if ((options_ & toFoldNumbers) && token.Kind == tkInteger) token.Kind = tkNumber;
            return true;
        }
    }
    token = std::move(pending_);
    havePending_ = false;
    // Kind 4 is folded as well, for states of the caller's making that use it.
    if ((options_ & toFoldNumbers) && (token.Kind == tkDecimal || token.Kind == tkInteger || token.Kind == 4))
        token.Kind = tkNumber;
    return true;
}

// ---- TVELSQLScriptParser ---------------------------------------------------------------------

void TVELSQLScriptParser::Clear() {
    Statements.clear();
    Terminator.assign(1, ';');
    Remainder.clear();
}

void TVELSQLScriptParser::Parse(std::string_view text) {
    if (!Tokenizer) throw EVELError("Tokenizer is not defined");
    TVELTokenStream stream(*Tokenizer, text, Compact ? unsigned{toSkipComments} : 0u);
    std::deque<TVELToken> ahead; // tokens read ahead and given back
    auto next = [&](TVELToken& token) {
        if (ahead.empty()) return stream.Next(token);
        token = std::move(ahead.front());
        ahead.pop_front();
        return true;
    };

    std::string statement;
    bool hasText = false; // statement holds more than whitespace
    if (!Remainder.empty()) {
        statement = Remainder;
        statement += Compact ? ' ' : '\n';
        hasText = true;
        Remainder.clear();
    }
    auto append = [&](const TVELToken& token) {
        if (token.Kind != tkWhitespace) {
            statement += token.Text;
            hasText = true;
        } else if (Compact) {
            while (!statement.empty() && static_cast<unsigned char>(statement.back()) <= ' ')
                statement.pop_back();
            if (!statement.empty()) statement += ' ';
        } else if (!statement.empty()) {
            statement += token.Text;
        }
    };
    auto finish = [&] {
        std::string s = std::move(statement);
        statement.clear();
        hasText = false;
        TrimInPlace(s);
        if (s.empty()) return;
        if (Mode == smTerminator) {
            std::string newTerminator;
            if (StartsText("SET TERM ", s))
                newTerminator = Trim(std::string_view(s).substr(9));
            else if (StartsText("DELIMITER ", s))
                newTerminator = Trim(std::string_view(s).substr(10));
            if (!newTerminator.empty()) {
                Terminator = newTerminator;
                return;
            }
        }
        if (Mode == smBlankLine && s.back() == ';') {
            s.pop_back();
            TrimInPlace(s);
            if (s.empty()) return;
        }
        Statements.push_back(std::move(s));
    };
    // A line "DELIMITER x" at the start of a statement switches the terminator to x (its first
    // word) without needing the current terminator after it. False when the line is not one.
    auto delimiterLine = [&]() {
        TVELToken separator;
        if (!next(separator)) return false;
        if (separator.Kind != tkWhitespace || HasLineBreak(separator.Text)) {
            ahead.push_front(std::move(separator));
            return false;
        }
        std::string word;
        bool inWord = true;
        std::vector<TVELToken> rest;
        for (TVELToken token; next(token);) {
            const bool endOfLine = token.Kind == tkEOF || token.Kind == tkComment ||
                                   (token.Kind == tkWhitespace && HasLineBreak(token.Text));
            if (endOfLine) {
                ahead.push_front(std::move(token));
                break;
            }
            if (token.Kind == tkWhitespace)
                inWord = false;
            else if (inWord)
                word += token.Text;
            rest.push_back(std::move(token));
        }
        if (!word.empty()) {
            Terminator = word;
            return true;
        }
        for (auto it = rest.rbegin(); it != rest.rend(); ++it)
            ahead.push_front(std::move(*it));
        ahead.push_front(std::move(separator));
        return false;
    };

    TVELToken token;
    std::vector<TVELToken> readAhead;
    while (next(token)) {
        if (token.Kind == tkEOF) break;
        bool terminator = false;
        readAhead.clear();
        switch (Mode) {
        case smSemicolon:
            terminator = token.Text == ";";
            break;
        case smGo:
            terminator = SameText(token.Text, "GO");
            break;
        case smBlankLine:
            if (token.Kind == tkWhitespace) {
                size_t lineFeeds = std::count(token.Text.begin(), token.Text.end(), '\n');
                TVELToken following;
                while (next(following)) {
                    if (following.Kind != tkWhitespace) {
                        ahead.push_front(std::move(following));
                        break;
                    }
                    lineFeeds += std::count(following.Text.begin(), following.Text.end(), '\n');
                    readAhead.push_back(std::move(following));
                }
                terminator = lineFeeds >= 2;
            }
            break;
        default:
            if (token.Kind == tkWhitespace) break;
            if (token.Kind == tkWord && !hasText && SameText(token.Text, "DELIMITER") && delimiterLine()) {
                statement.clear();
                continue;
            }
            if (token.Text.size() >= Terminator.size()) {
                terminator = SameText(token.Text, Terminator);
                break;
            }
            {
                // A terminator of several tokens: read on while the text still begins it.
                size_t collected = token.Text.size();
                bool prefix = StartsText(token.Text, Terminator);
                while (prefix && collected < Terminator.size()) {
                    TVELToken following;
                    if (!next(following)) break;
                    if (following.Kind == tkWhitespace || following.Kind == tkEOF) {
                        ahead.push_front(std::move(following));
                        break;
                    }
                    prefix = StartsText(following.Text, std::string_view(Terminator).substr(collected));
                    collected += following.Text.size();
                    readAhead.push_back(std::move(following));
                }
                terminator = prefix && collected == Terminator.size();
                if (!terminator && Terminator.size() <= MaxRereadTerminator) {
                    // The tokens read ahead may begin a terminator themselves.
                    for (auto it = readAhead.rbegin(); it != readAhead.rend(); ++it)
                        ahead.push_front(std::move(*it));
                    readAhead.clear();
                }
            }
            break;
        }
        if (terminator) {
            finish();
            continue;
        }
        append(token);
        for (const auto& t : readAhead)
            append(t);
    }
    TrimInPlace(statement);
    Remainder = std::move(statement);
}

} // namespace ardvin
