// Feeds arbitrary bytes to the script tokenizer, the statement splitter in its four modes and
// the script classes of every dialect. Besides not crashing or hanging: the tokenizer loses no
// byte, every literal of a prepared script ends up in exactly one statement in script order, and
// the strings table gives every placeholder back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zDBScript.h"
#include "zParseScript.h"
#include "zXMLUtils.h"

using namespace ardvin;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckTokenizer(std::string_view text, unsigned options) {
    TVELTokenizer tokenizer;
    tokenizer.AddSymbol(":=");
    tokenizer.AddSymbol("!==");
    std::string joined;
    size_t eofCount = 0;
    for (const auto& token : tokenizer.Tokenize(text, options)) {
        joined += token.Text;
        if (token.Kind == tkEOF) ++eofCount;
    }
    Check(eofCount == ((options & toNoEOF) ? 0u : 1u));
    if ((options & ~unsigned{toNoEOF}) == 0) {
        // Only a closing quote supplied at the end may be added.
        Check(joined.compare(0, text.size(), text) == 0);
        Check(joined.size() <= text.size() + 1);
    }
}

void CheckSplitter(std::string_view text, uint8_t mode, bool compact) {
    TVELSQLScriptParser parser;
    parser.Mode = mode;
    parser.Compact = compact;
    parser.Parse(text);
    parser.Parse(text); // with the remainder of the first pass in front
    for (const auto& statement : parser.Statements)
        Check(!statement.empty());
}

// The placeholders of the statements hold the indices 0, 1, 2, ... in this order, among texts of
// the source that only look like placeholders. Only the DELIMITER and SET TERM commands, which
// are not statements, may take literals with them.
void CheckScript(std::string_view driver, std::string_view text) {
    auto script = CreateDBScript(driver);
    script->Source = std::string(text);
    script->Prepare();
    size_t next = 0;
    for (const auto& statement : script->Statements) {
        const std::string& s = statement->Text;
        Check(!s.empty());
        for (size_t at = s.find("%s"); at != std::string::npos; at = s.find("%s", at + 1)) {
            size_t end = at + 2;
            while (end < s.size() && s[end] >= '0' && s[end] <= '9')
                ++end;
            if (end == at + 2 || end >= s.size() || s[end] != '%') continue;
            if (end - at - 2 < 9 && std::stoul(s.substr(at + 2, end - at - 2)) == next) ++next;
        }
        script->RestoreStrings(s);
    }
    if (driver == "oracle" || driver == "mssqlserver" || driver == "postgresql")
        Check(next == script->StringsTable.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 20000) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckTokenizer(text, 0);
    CheckTokenizer(text, toNoEOF);
    CheckTokenizer(text, size > 0 ? data[0] & 127u : 0u);
    for (uint8_t mode = 0; mode < 4; ++mode)
        CheckSplitter(text, mode, (size & 1) != 0);
    for (const char* driver : {"sql", "oracle", "mssqlserver", "postgresql", "mysql"})
        CheckScript(driver, text);
    for (auto dialect : {TVELScriptDialect::Oracle, TVELScriptDialect::SQLServer,
                         TVELScriptDialect::PostgreSQL, TVELScriptDialect::MySQL})
        for (const auto& statement : SplitPreparedScript(text, dialect))
            Check(!statement.empty());
    return 0;
}
