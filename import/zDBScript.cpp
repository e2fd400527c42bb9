#include "zDBScript.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "zDatabaseSettings.h"
#include "zParseScript.h"
#include "zXMLUtils.h"

namespace ardvin {

namespace {

constexpr size_t npos = std::string_view::npos;

bool IsBlankChar(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
// Letters, digits, "_" and the bytes of UTF-8 sequences: the characters of unquoted names.
bool IsNameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u >= 128;
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return SameText(word, w); });
}

void TrimInPlace(std::string& s) {
    size_t end = s.size();
    while (end > 0 && IsBlankChar(s[end - 1]))
        --end;
    s.resize(end);
    size_t begin = 0;
    while (begin < s.size() && IsBlankChar(s[begin]))
        ++begin;
    s.erase(0, begin);
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && IsBlankChar(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlankChar(s.back()))
        s.remove_suffix(1);
    return s;
}

// The first word of a text (a run of name characters after leading blanks).
std::string_view FirstWord(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlankChar(s[i]))
        ++i;
    size_t j = i;
    while (j < s.size() && IsNameChar(s[j]))
        ++j;
    return s.substr(i, j - i);
}

int CountLineFeeds(std::string_view s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

// ---- the lexer shared by comment removal and the strings table ---------------------------------

enum class TPieceKind {
    Code,    // script text
    Literal, // a quoted string or name, or a dollar-quoted text, with its delimiters
    Comment, // removed; its line breaks stay
    Dropped, // a client command line or COPY data: removed like a comment
    Marker,  // the opening or closing marks of an executable comment: a blank
};

struct TPiece {
    TPieceKind Kind = TPieceKind::Code;
    size_t Begin = 0;
    size_t End = 0;
    int Line = 1; // line of Begin, from 1
    bool Unterminated = false;
    std::string Closer; // the delimiter that ends a literal
};

// Cuts a script text into pieces by the rules of a syntax. Every byte belongs to exactly one
// piece, and every call but the last advances.
class TScriptLexer {
public:
    TScriptLexer(std::string_view text, const TVELScriptSyntax& syntax) : t_(text), s_(syntax) {
        special_.fill(false);
        for (unsigned char c : std::string_view("'\"\n;"))
            special_[c] = true;
        special_['`'] = s_.Backquotes;
        special_['['] = s_.Brackets;
        special_['$'] = s_.DollarQuotes;
        special_['-'] = true;
        special_['/'] = true;
        special_['#'] = s_.HashComments;
        special_['{'] = s_.BraceComments;
        special_['R'] = s_.RemComments;
        special_['*'] = s_.ExecutableComments;
        special_['\\'] = s_.MetaCommands;
    }

    bool Next(TPiece& piece) {
        if (pos_ >= t_.size()) return false;
        piece = TPiece();
        piece.Begin = pos_;
        piece.Line = line_;
        if (copyPending_ && (pos_ == 0 || t_[pos_ - 1] == '\n')) {
            copyPending_ = false;
            CopyData(piece);
        } else if (!Special(piece)) {
            Code(piece);
        }
        pos_ = piece.End;
        if (piece.Kind != TPieceKind::Code) {
            line_ += CountLineFeeds(t_.substr(piece.Begin, piece.End - piece.Begin));
            if (piece.Kind != TPieceKind::Dropped) lineStart_ = false;
        }
        return true;
    }

    // The line of an executable comment that the text leaves open, else 0.
    int OpenExecutableComment() const { return inExec_ ? execLine_ : 0; }

private:
    char At(size_t i) const { return i < t_.size() ? t_[i] : '\0'; }

    void Code(TPiece& piece) {
        size_t i = pos_;
        do {
            const char c = t_[i];
            if (c == '\n') {
                ++line_;
                lineStart_ = true;
                if (copyPending_) {
                    ++i;
                    break;
                }
            } else if (!IsBlankChar(c)) {
                lineStart_ = false;
                if (statementWord_ == npos && IsNameChar(c)) statementWord_ = i;
                if (c == ';') {
                    if (s_.CopyData && statementWord_ != npos)
                        copyPending_ = IsCopyFromStdin(t_.substr(statementWord_, i - statementWord_));
                    statementWord_ = npos;
                    ++i;
                    break;
                }
            }
            ++i;
        } while (i < t_.size() && !special_[static_cast<unsigned char>(t_[i])]);
        piece.Kind = TPieceKind::Code;
        piece.End = i;
    }

    // A literal, comment or command at pos_; false when the character is ordinary text here.
    bool Special(TPiece& piece) {
        const char c = t_[pos_];
        const char next = At(pos_ + 1);
        const char before = pos_ > 0 ? t_[pos_ - 1] : '\0';
        switch (c) {
        case '\'': {
            const bool escapes =
                s_.BackslashEscapes || (s_.EscapeStrings && (before == 'E' || before == 'e') &&
                                        !(pos_ >= 2 && IsNameChar(t_[pos_ - 2])));
            return Quoted(piece, "'", escapes);
        }
        case '"':
            return Quoted(piece, "\"", s_.BackslashEscapes);
        case '`':
            return s_.Backquotes && Quoted(piece, "`", false);
        case '[':
            return s_.Brackets && Quoted(piece, "]", false);
        case '$':
            return s_.DollarQuotes && !IsNameChar(before) && Dollar(piece);
        case '-':
            if (next != '-') return false;
            if (s_.DashNeedsBlank && pos_ + 2 < t_.size() && !IsBlankChar(t_[pos_ + 2])) return false;
            return ToLineEnd(piece, TPieceKind::Comment);
        case '/':
            if (next == '*') return BlockComment(piece);
            return next == '/' && s_.SlashComments && ToLineEnd(piece, TPieceKind::Comment);
        case '#':
            return s_.HashComments && ToLineEnd(piece, TPieceKind::Comment);
        case '{':
            if (!s_.BraceComments) return false;
            piece.Kind = TPieceKind::Comment;
            piece.End = t_.find('}', pos_ + 1);
            piece.Unterminated = piece.End == npos;
            piece.End = piece.Unterminated ? t_.size() : piece.End + 1;
            return true;
        case 'R':
            return s_.RemComments && !IsNameChar(before) && t_.substr(pos_, 4) == "REM " &&
                   ToLineEnd(piece, TPieceKind::Comment);
        case '*':
            if (!inExec_ || next != '/') return false;
            inExec_ = false;
            piece.Kind = TPieceKind::Marker;
            piece.End = pos_ + 2;
            return true;
        case '\\':
            return s_.MetaCommands && lineStart_ && ToLineEnd(piece, TPieceKind::Dropped);
        default:
            return false;
        }
    }

    bool Quoted(TPiece& piece, std::string_view closer, bool escapes) {
        const char close = closer[0];
        piece.Kind = TPieceKind::Literal;
        piece.Closer = std::string(closer);
        size_t i = pos_ + 1;
        while (i < t_.size()) {
            const char c = t_[i];
            if (escapes && c == '\\') {
                i += 2;
            } else if (c == close) {
                if (At(i + 1) != close) {
                    piece.End = i + 1;
                    return true;
                }
                i += 2; // a doubled delimiter stands for itself
            } else {
                ++i;
            }
        }
        piece.End = t_.size();
        piece.Unterminated = true;
        return true;
    }

    // $$ or $tag$ where the tag is a name that does not begin with a digit.
    bool Dollar(TPiece& piece) {
        size_t j = pos_ + 1;
        if (At(j) != '$') {
            const char first = At(j);
            if (!IsNameChar(first) || (first >= '0' && first <= '9')) return false;
            while (j < t_.size() && IsNameChar(t_[j]))
                ++j;
            if (At(j) != '$') return false;
        }
        const std::string_view tag = t_.substr(pos_, j + 1 - pos_);
        piece.Kind = TPieceKind::Literal;
        piece.Closer = std::string(tag);
        const size_t close = t_.find(tag, j + 1);
        piece.Unterminated = close == npos;
        piece.End = piece.Unterminated ? t_.size() : close + tag.size();
        return true;
    }

    bool BlockComment(TPiece& piece) {
        if (s_.ExecutableComments && !inExec_) {
            // "/*!" or "/*M!" with an optional version number: the content is script text.
            size_t j = pos_ + 2;
            if (At(j) == 'M' && At(j + 1) == '!') ++j;
            if (At(j) == '!') {
                ++j;
                while (j < t_.size() && j < pos_ + 9 && t_[j] >= '0' && t_[j] <= '9')
                    ++j;
                inExec_ = true;
                execLine_ = line_;
                piece.Kind = TPieceKind::Marker;
                piece.End = j;
                return true;
            }
        }
        piece.Kind = TPieceKind::Comment;
        int depth = 1;
        size_t i = pos_ + 2;
        while (i < t_.size()) {
            if (t_[i] == '*' && At(i + 1) == '/') {
                i += 2;
                if (--depth == 0) {
                    piece.End = i;
                    return true;
                }
            } else if (s_.NestedComments && t_[i] == '/' && At(i + 1) == '*') {
                i += 2;
                ++depth;
            } else {
                ++i;
            }
        }
        piece.End = t_.size();
        piece.Unterminated = true;
        return true;
    }

    // From pos_ to the end of the line, the line break excluded.
    bool ToLineEnd(TPiece& piece, TPieceKind kind) {
        size_t end = t_.find('\n', pos_);
        if (end == npos) end = t_.size();
        if (end > pos_ && t_[end - 1] == '\r') --end;
        piece.Kind = kind;
        piece.End = std::max(end, pos_ + 1);
        return true;
    }

    // The data lines after "COPY ... FROM stdin;" up to and including the line "\.".
    void CopyData(TPiece& piece) {
        piece.Kind = TPieceKind::Dropped;
        size_t lineBegin = pos_;
        while (lineBegin < t_.size()) {
            size_t lineEnd = t_.find('\n', lineBegin);
            if (lineEnd == npos) lineEnd = t_.size();
            if (TrimView(t_.substr(lineBegin, lineEnd - lineBegin)) == "\\.") {
                piece.End = lineEnd > lineBegin && t_[lineEnd - 1] == '\r' ? lineEnd - 1 : lineEnd;
                piece.End = std::max(piece.End, pos_ + 1);
                return;
            }
            lineBegin = lineEnd + 1;
        }
        piece.End = t_.size();
        piece.Unterminated = true;
    }

    static bool IsCopyFromStdin(std::string_view statement) {
        if (!SameText(FirstWord(statement), "COPY")) return false;
        for (size_t at = FindText(statement, "FROM"); at != npos; at = FindText(statement, "FROM", at + 4)) {
            if (at > 0 && IsNameChar(statement[at - 1])) continue;
            if (SameText(FirstWord(statement.substr(at + 4)), "STDIN")) return true;
        }
        return false;
    }

    std::string_view t_;
    TVELScriptSyntax s_;
    std::array<bool, 256> special_{};
    size_t pos_ = 0;
    int line_ = 1;
    bool lineStart_ = true; // only blanks since the last line break
    bool inExec_ = false;
    int execLine_ = 0;
    size_t statementWord_ = npos; // first name character of the current statement
    bool copyPending_ = false;
};

std::string PieceText(std::string_view text, const TPiece& piece) {
    return std::string(text.substr(piece.Begin, piece.End - piece.Begin));
}

std::string UnterminatedText(const TPiece& piece) {
    const char* what = "quoted name";
    if (piece.Kind == TPieceKind::Comment)
        what = "comment";
    else if (piece.Kind == TPieceKind::Dropped)
        what = "COPY data";
    else if (piece.Closer == "'")
        what = "string literal";
    else if (piece.Closer[0] == '$')
        what = "dollar-quoted text";
    return Format("Unterminated %s starting in line %d: the rest of the script is taken as its text.", what,
                  piece.Line);
}

// ---- block structure of statements -------------------------------------------------------------

// Follows BEGIN ... END and CASE ... END nesting and parentheses through the words of a
// statement, so that a terminator inside a code block can be told from one that ends the
// statement. BEGIN directly followed by a transaction word or a terminator starts no block; END IF,
// END LOOP, END WHILE, END REPEAT and END FOR close blocks that BEGIN did not open and leave the
// count alone.
class TBlockCounter {
public:
    int Depth = 0;
    int Parens = 0;
    bool Opened = false; // a block was opened at least once

    void Reset() { *this = TBlockCounter(); }
    // BEGIN waits for its next word; that word starts a block unless it is a transaction word.
    bool PendingBegin() const { return pending_ == Pending::Begin; }

    void Word(std::string_view word) {
        if (pending_ == Pending::Begin) {
            pending_ = Pending::None;
            if (!IsOneOf(word, {"TRAN", "TRANSACTION", "WORK", "DISTRIBUTED", "DIALOG", "CONVERSATION",
                                "DEFERRED", "IMMEDIATE", "EXCLUSIVE"}))
                Open();
        } else if (pending_ == Pending::End) {
            pending_ = Pending::None;
            if (IsOneOf(word, {"IF", "LOOP", "WHILE", "REPEAT", "FOR", "TRAN", "TRANSACTION", "WORK",
                               "CONVERSATION"}))
                return;
            Depth = std::max(0, Depth - 1);
            if (SameText(word, "CASE")) return;
        }
        if (SameText(word, "BEGIN"))
            pending_ = Pending::Begin;
        else if (SameText(word, "END"))
            pending_ = Pending::End;
        else if (SameText(word, "CASE"))
            Open();
    }

    void Char(char c) {
        if (c == '(')
            ++Parens;
        else if (c == ')')
            Parens = std::max(0, Parens - 1);
    }

    // A terminator follows: resolves a BEGIN or END waiting for its next word.
    void Terminator() {
        if (pending_ == Pending::End) Depth = std::max(0, Depth - 1);
        pending_ = Pending::None;
    }

    void Feed(std::string_view text) {
        for (size_t i = 0; i < text.size();) {
            if (IsNameChar(text[i])) {
                size_t j = i;
                while (j < text.size() && IsNameChar(text[j]))
                    ++j;
                Word(text.substr(i, j - i));
                i = j;
            } else {
                Char(text[i++]);
            }
        }
    }

private:
    void Open() {
        ++Depth;
        Opened = true;
    }
    enum class Pending { None, Begin, End };
    Pending pending_ = Pending::None;
};

// The first words of a statement, upper-cased: enough to classify it.
class THeadWords {
public:
    static constexpr size_t Max = 12;
    void Add(std::string_view word) {
        if (words_.size() < Max) words_.push_back(UpperCase(word));
    }
    void Clear() { words_.clear(); }
    size_t Size() const { return words_.size(); }
    std::string_view operator[](size_t i) const {
        return i < words_.size() ? std::string_view(words_[i]) : "";
    }
    // Index of the first word after "CREATE" and modifiers such as OR REPLACE, or npos when the
    // statement does not start with CREATE (or ALTER, when alter is set).
    size_t ObjectWord(bool alter) const {
        if (words_.empty() || !(words_[0] == "CREATE" || (alter && words_[0] == "ALTER"))) return npos;
        size_t i = 1;
        while (i < words_.size() &&
               IsOneOf(words_[i], {"OR", "REPLACE", "ALTER", "EDITIONABLE", "NONEDITIONABLE", "EDITIONING"}))
            ++i;
        return i;
    }
    // Whether one of kinds is among the words after CREATE before any of stops.
    bool CreatesOneOf(std::initializer_list<std::string_view> kinds) const {
        const size_t from = ObjectWord(false);
        if (from == npos) return false;
        for (size_t i = from; i < words_.size(); ++i) {
            if (IsOneOf(words_[i], kinds)) return true;
            if (IsOneOf(words_[i], {"TABLE", "INDEX", "VIEW", "SEQUENCE", "DATABASE", "SCHEMA", "DOMAIN",
                                    "USER", "ROLE", "UNIQUE", "RULE"}))
                return false;
        }
        return false;
    }

private:
    std::vector<std::string> words_;
};

THeadWords HeadOf(std::string_view text) {
    THeadWords head;
    for (size_t i = 0; i < text.size() && head.Size() < THeadWords::Max;) {
        if (!IsNameChar(text[i])) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < text.size() && IsNameChar(text[j]))
            ++j;
        head.Add(text.substr(i, j - i));
        i = j;
    }
    return head;
}

// The text of a line after its first word.
std::string_view AfterWord(std::string_view line, std::string_view word) {
    return line.substr(static_cast<size_t>(word.data() - line.data()) + word.size());
}

// ---- the script splitters of the dialects -------------------------------------------------------

class TDialectSplitter {
public:
    explicit TDialectSplitter(TVELScriptDialect dialect) : dialect_(dialect) {}

    std::vector<std::string> Split(std::string_view text) {
        size_t lineBegin = 0;
        while (lineBegin < text.size()) {
            size_t lineEnd = text.find('\n', lineBegin);
            const size_t nextLine = lineEnd == npos ? text.size() : lineEnd + 1;
            if (lineEnd == npos) lineEnd = text.size();
            if (lineEnd > lineBegin && text[lineEnd - 1] == '\r') --lineEnd;
            Line(text.substr(lineBegin, lineEnd - lineBegin));
            lineBegin = nextLine;
        }
        Flush();
        return std::move(statements_);
    }

private:
    void Line(std::string_view line) {
        const std::string_view word = FirstWord(line);
        if (LineCommand(line, word)) return;
        if (dialect_ == TVELScriptDialect::SQLServer && hasText_ && StartsNewBatchStatement(line, word))
            Flush();
        size_t segment = 0;
        for (size_t i = 0; i < line.size();) {
            if (MatchesTerminator(line, i) && TerminatorEnds()) {
                Append(line.substr(segment, i - segment));
                Flush();
                i += terminator_.size();
                segment = i;
                continue;
            }
            const char c = line[i];
            if (IsNameChar(c) && (i == 0 || !IsNameChar(line[i - 1]))) {
                size_t j = i;
                while (j < line.size() && IsNameChar(line[j]))
                    ++j;
                const std::string_view w = line.substr(i, j - i);
                blocks_.Word(w);
                head_.Add(w);
            } else {
                blocks_.Char(c);
            }
            ++i;
        }
        Append(line.substr(segment));
        if (hasText_) current_ += "\r\n";
    }

    // Adds text to the statement; blanks before its first text are dropped.
    void Append(std::string_view text) {
        if (!hasText_) {
            while (!text.empty() && IsBlankChar(text.front()))
                text.remove_prefix(1);
            if (text.empty()) return;
            hasText_ = true;
        }
        current_.append(text);
    }

    // Client commands that take a whole line.
    bool LineCommand(std::string_view line, std::string_view word) {
        switch (dialect_) {
        case TVELScriptDialect::MySQL:
            // Like the command-line client: only where no statement has begun.
            if (SameText(word, "DELIMITER") && !hasText_) {
                const std::string_view after = AfterWord(line, word);
                if (after.empty() || !IsBlankChar(after.front())) return false;
                const std::string_view rest = TrimView(after);
                const std::string_view delimiter = rest.substr(0, rest.find_first_of(" \t"));
                // The client takes at most 16 characters.
                if (delimiter.empty() || delimiter.size() > 16) return false;
                terminator_ = std::string(delimiter);
                return true;
            }
            return false;
        case TVELScriptDialect::SQLServer: {
            // GO, optionally with a repeat count
            if (!SameText(word, "GO")) return false;
            const std::string_view rest = TrimView(AfterWord(line, word));
            if (!std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return false;
            Flush();
            return true;
        }
        case TVELScriptDialect::Oracle:
            if (TrimView(line) != "/") return false;
            Flush();
            return true;
        default:
            return false;
        }
    }

    // SQL Server batches often hold several statements without ";": a line that starts a new
    // definition ends the statement before it, outside blocks, parentheses and modules.
    bool StartsNewBatchStatement(std::string_view line, std::string_view word) const {
        if (!IsOneOf(word, {"CREATE", "ALTER", "DROP"})) return false;
        if (blocks_.Depth > 0 || blocks_.PendingBegin() || blocks_.Parens > 0 || IsSQLServerModule())
            return false;
        return IsOneOf(FirstWord(AfterWord(line, word)),
                       {"TABLE", "VIEW", "INDEX", "UNIQUE", "CLUSTERED", "NONCLUSTERED", "PROCEDURE", "PROC",
                        "FUNCTION", "TRIGGER", "SCHEMA", "TYPE", "DEFAULT", "RULE", "SEQUENCE", "SYNONYM",
                        "DATABASE", "OR"});
    }

    bool MatchesTerminator(std::string_view line, size_t i) const {
        if (terminator_.size() == 1) return line[i] == terminator_[0];
        return i + terminator_.size() <= line.size() &&
               SameText(line.substr(i, terminator_.size()), terminator_);
    }

    bool IsSQLServerModule() const {
        const size_t at = head_.ObjectWord(true);
        return at != npos && IsOneOf(head_[at], {"PROC", "PROCEDURE", "FUNCTION", "TRIGGER", "VIEW"});
    }

    // Whether the terminator found ends the statement.
    bool TerminatorEnds() {
        blocks_.Terminator();
        switch (dialect_) {
        case TVELScriptDialect::Oracle: {
            // PL/SQL runs to the line "/".
            if (head_[0] == "DECLARE" || head_[0] == "BEGIN") return false;
            const size_t at = head_.ObjectWord(false);
            return at == npos || !IsOneOf(head_[at], {"PROCEDURE", "FUNCTION", "PACKAGE", "TRIGGER", "TYPE",
                                                      "LIBRARY", "JAVA"});
        }
        case TVELScriptDialect::SQLServer:
            // A module runs to the end of its batch.
            return blocks_.Depth == 0 && !IsSQLServerModule();
        case TVELScriptDialect::PostgreSQL: {
            // Only the bodies of SQL-standard routines (BEGIN ATOMIC) hold terminators.
            const size_t at = head_.ObjectWord(false);
            return blocks_.Parens == 0 &&
                   !(blocks_.Depth > 0 && at != npos && IsOneOf(head_[at], {"FUNCTION", "PROCEDURE"}));
        }
        case TVELScriptDialect::MySQL:
            return terminator_ != ";" || blocks_.Depth == 0 ||
                   !head_.CreatesOneOf({"PROCEDURE", "FUNCTION", "TRIGGER", "EVENT"});
        }
        return true;
    }

    void Flush() {
        TrimInPlace(current_);
        if (!current_.empty()) statements_.push_back(std::move(current_));
        current_.clear();
        hasText_ = false;
        blocks_.Reset();
        head_.Clear();
    }

    TVELScriptDialect dialect_;
    std::string terminator_ = ";";
    std::string current_;
    bool hasText_ = false; // current_ holds more than blanks
    TBlockCounter blocks_;
    THeadWords head_;
    std::vector<std::string> statements_;
};

} // namespace

// ---- TDBScript ------------------------------------------------------------------------------------

std::vector<std::string> SplitPreparedScript(std::string_view text, TVELScriptDialect dialect) {
    return TDialectSplitter(dialect).Split(text);
}

std::string TDBScript::Placeholder(size_t index) {
    return "%s" + IntToStr(static_cast<int64_t>(index)) + "%";
}

void TDBScript::Log(int level, const std::string& text) {
    Messages.push_back({level, text});
    if (OnLog) OnLog(this, level, text, nullptr);
}

std::string TDBScript::TakeBuffer(size_t capacity) {
    std::string buffer = std::move(spare_);
    buffer.clear();
    buffer.reserve(capacity);
    return buffer;
}

void TDBScript::SetWorkingText(std::string&& text) {
    spare_ = std::move(text_);
    text_ = std::move(text);
}

void TDBScript::SetText(std::string_view text) {
    std::string out =
        TakeBuffer(text.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\t') {
            out += ' ';
        } else if (c == '\n' || c == '\r') {
            out += CRLF;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    SetWorkingText(std::move(out));
}

std::vector<std::string> TDBScript::Lines() const {
    std::vector<std::string> lines;
    for (size_t i = 0; i < text_.size();) {
        size_t end = text_.find(CRLF, i);
        if (end == npos) end = text_.size();
        lines.emplace_back(text_.substr(i, end - i));
        i = end + CRLF.size();
    }
    return lines;
}

void TDBScript::BlankLines(const std::function<bool(std::string_view line)>& test) {
    std::string out = TakeBuffer(text_.size());
    for (size_t i = 0; i < text_.size();) {
        size_t end = text_.find(CRLF, i);
        const bool last = end == npos;
        if (last) end = text_.size();
        const std::string_view line = std::string_view(text_).substr(i, end - i);
        if (!test(line)) out.append(line);
        if (!last) out += CRLF;
        i = end + CRLF.size();
    }
    SetWorkingText(std::move(out));
}

void TDBScript::Prepare() {
    Statements.clear();
    StringsTable.clear();
    Messages.clear();
    SetText(Source);
    Log(mlInfo, "Start prepare.");
    Log(mlInfo, "Preparing the SQL script.");
    StringsTable.clear();
    PrepareHook();
    Log(mlInfo, "Building strings table.");
    BuildStringsTable();
    Log(mlInfo, "End prepare.");
    spare_ = std::string();
    Log(mlInfo, "Start parsing.");
    Split();
    Log(mlInfo, "End parsing.");
}

void TDBScript::PrepareHook() {
    RemoveComments();
}

void TDBScript::RemoveComments() {
    const std::string& text = text_;
    std::string out = TakeBuffer(text.size() + text.size() / 8);
    TScriptLexer lexer(text, Syntax());
    for (TPiece piece; lexer.Next(piece);) {
        switch (piece.Kind) {
        case TPieceKind::Code:
        case TPieceKind::Literal:
            out.append(text, piece.Begin, piece.End - piece.Begin);
            break;
        case TPieceKind::Marker:
            out += ' ';
            break;
        case TPieceKind::Comment:
        case TPieceKind::Dropped: {
            // The line breaks stay, so that line numbers remain those of the source; a comment
            // inside a line leaves a blank, so that the words around it stay apart.
            const int lineFeeds =
                CountLineFeeds(std::string_view(text).substr(piece.Begin, piece.End - piece.Begin));
            if (lineFeeds == 0 && piece.Kind == TPieceKind::Comment && piece.End < text.size() &&
                text[piece.End] != '\r' && text[piece.End] != '\n')
                out += ' ';
            for (int i = 0; i < lineFeeds; ++i)
                out += "\r\n";
            if (piece.Unterminated) Log(mlWarning, UnterminatedText(piece));
            break;
        }
        }
    }
    if (const int line = lexer.OpenExecutableComment())
        Log(mlWarning,
            Format("Unterminated comment starting in line %d: the rest of the script is taken as its text.",
                   line));
    SetWorkingText(std::move(out));
}

void TDBScript::BuildStringsTable() {
    const std::string& text = text_;
    std::string out = TakeBuffer(text.size() + text.size() / 8);
    // Comments, client commands and COPY data are gone by now; only the literals matter.
    TVELScriptSyntax syntax = Syntax();
    syntax.MetaCommands = false;
    syntax.CopyData = false;
    syntax.ExecutableComments = false;
    TScriptLexer lexer(text, syntax);
    for (TPiece piece; lexer.Next(piece);) {
        if (piece.Kind != TPieceKind::Literal) {
            out.append(text, piece.Begin, piece.End - piece.Begin);
            continue;
        }
        std::string literal = ReplaceAll(PieceText(text, piece), CRLF, "#13#10");
        if (piece.Unterminated) {
            literal += piece.Closer;
            Log(mlWarning, UnterminatedText(piece));
        }
        out += Placeholder(StringsTable.size());
        StringsTable.push_back(std::move(literal));
    }
    SetWorkingText(std::move(out));
}

std::string RestorePlaceholders(std::string_view text, const std::vector<std::string>& stringsTable,
                                bool backslashQuotes) {
    if (text.find('%') == npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const size_t at = text.find('%', i);
        if (at == npos) break;
        out.append(text.substr(i, at - i));
        size_t j = at + 1;
        size_t index = 0;
        bool valid = j < text.size() && (text[j] == 's' || text[j] == 'S');
        if (valid) {
            ++j;
            const size_t digits = j;
            while (j < text.size() && text[j] >= '0' && text[j] <= '9' && j - digits < 9)
                index = index * 10 + static_cast<size_t>(text[j++] - '0');
            valid = j > digits && j < text.size() && text[j] == '%' && index < stringsTable.size();
        }
        if (valid) {
            std::string_view entry = stringsTable[index];
            std::string escaped;
            if (backslashQuotes && entry.size() > 2 && entry.front() == '\'' && entry.back() == '\'' &&
                entry.substr(1, entry.size() - 2).find("''") != npos) {
                escaped = "'" + ReplaceAll(entry.substr(1, entry.size() - 2), "''", "\\'") + "'";
                entry = escaped;
            }
            if (entry.find("#13#10") == npos)
                out += entry;
            else
                out += ReplaceAll(entry, "#13#10", CRLF);
            i = j + 1;
        } else {
            out += '%';
            i = at + 1;
        }
    }
    out.append(text.substr(i));
    return out;
}

std::string TDBScript::RestoreStrings(std::string_view text) const {
    return RestorePlaceholders(text, StringsTable);
}

void TDBScript::Split() {
    std::string terminator = ";";
    if (Target) {
        terminator = Trim(ReplaceAll(ReplaceAll(Target->Terminator, "#10", ""), "#13", ""));
        if (terminator.empty()) terminator = ";";
    }
    TVELSQLScriptParser parser;
    parser.Mode = TVELSQLScriptParser::smTerminator;
    parser.Compact = false;
    parser.Terminator = terminator;
    parser.Parse(text_);
    std::vector<std::string> pieces = std::move(parser.Statements);
    // A script that ends without a terminator still ends its last statement.
    if (!parser.Remainder.empty()) pieces.push_back(std::move(parser.Remainder));

    // A fragment that does not begin a definition continues the statement before it while that
    // statement is inside a code block: an open BEGIN or CASE, open parentheses, or the CREATE of
    // a procedure, function or trigger that has not opened a block yet.
    TBlockCounter blocks;
    bool codeObject = false;
    for (auto& piece : pieces) {
        blocks.Terminator();
        const bool open = blocks.Depth > 0 || blocks.Parens > 0 || (codeObject && !blocks.Opened);
        if (JoinFragments && !Statements.empty() && open &&
            !IsOneOf(FirstWord(piece), {"CREATE", "ALTER", "DROP"})) {
            blocks.Feed(piece);
            std::string& text = Statements.back()->Text;
            text += terminator;
            text += CRLF;
            text += piece;
            continue;
        }
        blocks.Reset();
        blocks.Feed(piece);
        codeObject =
            HeadOf(piece).CreatesOneOf({"PROCEDURE", "PROC", "FUNCTION", "TRIGGER", "PACKAGE", "EVENT"});
        Statements.push_back(std::make_unique<TVELStatement>());
        Statements.back()->Text = std::move(piece);
    }
}

void TDBScript::SplitAs(TVELScriptDialect dialect) {
    for (auto& text : SplitPreparedScript(text_, dialect)) {
        Statements.push_back(std::make_unique<TVELStatement>());
        Statements.back()->Text = std::move(text);
    }
}

// ---- the script classes of the target families ------------------------------------------------------

TVELScriptSyntax TOracleScript::Syntax() const {
    TVELScriptSyntax s;
    s.HashComments = false; // "#" is a name character
    s.SlashComments = false;
    s.BraceComments = false;
    s.RemComments = false; // REM lines are dropped whole
    s.Brackets = false;
    s.Backquotes = false;
    return s;
}

void TOracleScript::PrepareHook() {
    BlankLines([](std::string_view line) { return StartsText("REM ", line) || StartsText("PROMPT ", line); });
    TDBScript::PrepareHook();
}

void TOracleScript::Split() {
    SplitAs(TVELScriptDialect::Oracle);
}

TVELScriptSyntax TMSSQLScript::Syntax() const {
    TVELScriptSyntax s;
    s.HashComments = false; // temporary tables begin with "#"
    s.SlashComments = false;
    s.BraceComments = false;
    s.RemComments = false;
    s.NestedComments = true;
    s.Backquotes = false;
    return s;
}

void TMSSQLScript::PrepareHook() {
    BlankLines([](std::string_view line) {
        const std::string_view trimmed = TrimView(line);
        return trimmed == "'" ||
               IsOneOf(trimmed,
                       {"EXEC dbo.sp_executesql @statement = N'", "EXECUTE dbo.sp_executesql @statement = N'",
                        "EXECUTE dbo.sp_executesql N'", "EXEC dbo.sp_executesql N'"});
    });
    TDBScript::PrepareHook();
}

void TMSSQLScript::Split() {
    SplitAs(TVELScriptDialect::SQLServer);
}

TVELScriptSyntax TPostgreSQLScript::Syntax() const {
    TVELScriptSyntax s;
    s.HashComments = false; // "#" is an operator
    s.SlashComments = false;
    s.BraceComments = false;
    s.RemComments = false;
    s.NestedComments = true;
    s.EscapeStrings = true;
    s.DollarQuotes = true;
    s.Brackets = false; // array types and subscripts
    s.Backquotes = false;
    s.MetaCommands = true;
    s.CopyData = true;
    return s;
}

void TPostgreSQLScript::Split() {
    SplitAs(TVELScriptDialect::PostgreSQL);
}

TVELScriptSyntax TMySQLScript::Syntax() const {
    TVELScriptSyntax s;
    s.SlashComments = false; // "//" is a common DELIMITER
    s.BraceComments = false;
    s.RemComments = false;
    s.DashNeedsBlank = true;
    s.BackslashEscapes = true;
    s.Brackets = false;
    s.ExecutableComments = true;
    return s;
}

void TMySQLScript::Split() {
    SplitAs(TVELScriptDialect::MySQL);
}

std::unique_ptr<TDBScript> CreateDBScript(std::string_view driverName) {
    if (driverName == "oracle") return std::make_unique<TOracleScript>();
    if (driverName == "mssqlserver") return std::make_unique<TMSSQLScript>();
    if (driverName == "postgresql") return std::make_unique<TPostgreSQLScript>();
    if (driverName == "mysql") return std::make_unique<TMySQLScript>();
    return std::make_unique<TDBScript>();
}

} // namespace ardvin
