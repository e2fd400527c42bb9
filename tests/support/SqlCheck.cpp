#include "SqlCheck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "TestSupport.h"
#include "zDatabaseSettings.h"
#include "zXMLUtils.h"

namespace ardvin::test {

namespace {

using Strings = std::vector<std::string>;

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command;
    return output;
}

std::string GoldenFile(const std::string& name) {
    return SourceDir() + "/tests/sqlcheck/golden/" + name + ".sql";
}

// The statements of a golden file, with the source and the manual section they are kept under,
// by source or by their text.
std::map<std::string, std::pair<std::string, std::string>> ReadGolden(const std::string& name, bool byText) {
    std::map<std::string, std::pair<std::string, std::string>> golden;
    if (!std::filesystem::exists(GoldenFile(name))) return golden;
    std::string source, section, text;
    const auto flush = [&] {
        if (!source.empty()) {
            if (byText)
                golden[Trim(text)] = {section, source};
            else
                golden[source] = {section, Trim(text)};
        }
        text.clear();
    };
    for (const std::string& line : SplitString(ReplaceAll(ReadFile(GoldenFile(name)), "\r\n", "\n"), '\n')) {
        if (line.rfind("-- ", 0) == 0 && line.find(": ") != std::string::npos) {
            flush();
            source = line.substr(3, line.find(": ") - 3);
            section = line.substr(line.find(": ") + 2);
        } else {
            text += line + "\r\n";
        }
    }
    flush();
    return golden;
}

}  // namespace

const std::vector<TSqlDialect>& SqlDialects() {
    static const std::vector<TSqlDialect> dialects = {
        {"mssqlserver2019", {{"sqlglot", "tsql"}, {"nodesqlparser", "TransactSQL"}}},
        {"oracle19", {{"sqlglot", "oracle"}}},
        {"db2luw11", {{"nodesqlparser", "DB2"}}},
    };
    return dialects;
}

std::vector<TSqlVerdict> ParseStatements(const std::string& checker, const std::string& dialect,
                            const std::vector<TSqlStatement>& statements) {
    TempDir dir;
    std::string input;
    for (size_t i = 0; i < statements.size(); ++i)
        input += IntToStr(static_cast<int64_t>(i)) + " " + dialect + "\n" + statements[i].Text + "\n\x1e\n";
    WriteFile(dir.File("in.txt"), input);
    const std::string script = SourceDir() + "/tests/sqlcheck/check_" + checker;
    const std::string command = checker == "sqlglot"
                                    ? "/usr/bin/python3 " + script + ".py " + dir.File("in.txt")
                                    : "node " + script + ".js " + dir.File("in.txt") + " " + ARDVIN_SQLCHECK_DIR;
    std::vector<TSqlVerdict> verdicts(statements.size());
    size_t answered = 0;
    for (const std::string& line : SplitString(RunCommand(command), '\n')) {
        const Strings fields = SplitString(line, '\t');
        int32_t index = -1;
        if (fields.size() < 4 || !TryStrToInt(fields[0], index) || index < 0 ||
            static_cast<size_t>(index) >= verdicts.size())
            continue;
        verdicts[index] = {fields[1] == "1", fields[2], fields[3]};
        ++answered;
    }
    EXPECT_EQ(answered, statements.size()) << command;
    return verdicts;
}

std::pair<std::string, std::string> KindWords(const std::string& text) {
    Strings words;
    for (const std::string& w : SplitString(ReplaceAll(ReplaceAll(text, "\r\n", " "), "(", " "), ' '))
        if (!Trim(w).empty()) words.push_back(UpperCase(Trim(w)));
    if (words.empty()) return {};
    const std::string verb = words[0];
    if (verb != "CREATE" && verb != "ALTER" && verb != "DROP") return {verb, ""};
    const std::set<std::string> skip = {"OR",       "REPLACE",      "UNIQUE", "BITMAP", "CLUSTERED",
                                        "NONCLUSTERED", "GLOBAL", "TEMPORARY"};
    for (size_t i = 1; i < words.size(); ++i)
        if (!skip.count(words[i])) return {verb, words[i]};
    return {verb, ""};
}

// A parser's kind agrees with the statement when its verb is the statement's (EXEC and EXECUTE
// are one) and, where the parser names an object kind, that kind is the statement's.
bool KindAgrees(const std::string& text, const std::string& kind) {
    const auto [verb, object] = KindWords(text);
    const Strings parsed = SplitString(Trim(kind), ' ');
    if (parsed.empty() || parsed[0].empty()) return false;
    const auto same = [](std::string a, std::string b) {
        if (a == "EXECUTE") a = "EXEC";
        if (b == "EXECUTE") b = "EXEC";
        return a == b;
    };
    if (!same(parsed[0], verb)) return false;
    // (node-sql-parser names an EXEC statement "EXEC EXEC": no object kind.)
    return parsed.size() < 2 || parsed[1].empty() || same(parsed[1], parsed[0]) || parsed[1] == object;
}

namespace {

// Whether a statement is a block of procedural code whose own ";" do not end it: an anonymous
// block, or the creation of a procedure, function, trigger or package.
bool IsCodeUnit(const std::string& text) {
    const auto [verb, object] = KindWords(text);
    if (verb == "DECLARE" || verb == "BEGIN") return true;
    return verb == "CREATE" && (object == "PROCEDURE" || object == "FUNCTION" || object == "TRIGGER" ||
                                object == "PACKAGE" || object == "EDITIONABLE" || object == "NONEDITIONABLE");
}

}  // namespace

Strings SplitStatements(const TVELDatabaseSettings& s, const std::string& filled) {
    Strings pieces;
    std::string current;
    const auto flush = [&](bool stripTerminator) {
        std::string t = Trim(current);
        if (stripTerminator && !t.empty() && t.back() == ';') t = Trim(t.substr(0, t.size() - 1));
        if (!t.empty()) pieces.push_back(t);
        current.clear();
    };
    const bool mssql = s.DBID == "mssqlserver2019";
    bool inBlock = false;
    for (const std::string& rawLine : SplitString(ReplaceAll(filled, "\r\n", "\n"), '\n')) {
        const std::string line = TrimRight(rawLine);
        if (mssql && SameText(Trim(line), "GO")) {
            flush(true);
            continue;
        }
        if (StartsText("--#SET TERMINATOR @", line)) {
            inBlock = true;
            continue;
        }
        if (StartsText("--#SET TERMINATOR", line)) continue;
        if (!mssql && (line == "/" || (inBlock && line == "@"))) {
            flush(false);
            inBlock = false;
            continue;
        }
        current += line + "\r\n";
        if (!mssql && !inBlock && !line.empty() && line.back() == ';' && !IsCodeUnit(current)) flush(true);
    }
    flush(true);
    return pieces;
}

std::string ManualSection(const std::string& id, const std::string& text) {
    const auto [verb, object] = KindWords(text);
    const std::string statement = object.empty() ? verb : verb + " " + object;
    if (id == "mssqlserver2019") {
        if (verb == "EXEC") {
            const size_t at = text.find("sp_");
            return "Transact-SQL reference, system stored procedure " +
                   text.substr(at, text.find_first_of(" \r", at) - at);
        }
        return "Transact-SQL reference, " + statement + " (Transact-SQL)";
    }
    if (id == "oracle19")
        return verb == "BEGIN" || verb == "DECLARE" ? "PL/SQL Language Reference, PL/SQL block"
                                                    : "Oracle Database 19c SQL Language Reference, " + statement;
    if (verb == "BEGIN") return "Db2 11.5 SQL reference, compound SQL (compiled) statement";
    return "Db2 11.5 SQL reference, " + statement + " statement";
}

std::vector<std::string> ScriptStatements(const TVELDatabaseSettings& s, const std::string& script) {
    std::string text;
    for (const std::string& line : SplitString(ReplaceAll(script, "\r\n", "\n"), '\n')) {
        const std::string trimmed = Trim(line);
        if (StartsText("/*", trimmed) && trimmed.find("*/") == trimmed.size() - 2) continue;
        text += line + "\r\n";
    }
    return SplitStatements(s, text);
}

int ExpectParsedOrPinned(const std::string& id, const std::vector<TSqlStatement>& statements,
                         const std::string& golden, bool byText) {
    const TSqlDialect* dialect = nullptr;
    for (const TSqlDialect& d : SqlDialects())
        if (id == d.Id) dialect = &d;
    if (!dialect) {
        ADD_FAILURE() << "no parsers for " << id;
        return 0;
    }
    std::vector<std::vector<TSqlVerdict>> verdicts;
    for (const auto& [checker, name] : dialect->Parsers) verdicts.push_back(ParseStatements(checker, name, statements));

    const auto pinned = ReadGolden(golden, byText);
    std::string rejected;  // the golden file the statements call for
    std::set<std::string> written, met;
    int accepted = 0;
    for (size_t i = 0; i < statements.size(); ++i) {
        const TSqlStatement& st = statements[i];
        bool ok = false;
        std::string reasons;
        for (size_t p = 0; p < verdicts.size(); ++p) {
            const TSqlVerdict& v = verdicts[p][i];
            if (v.Ok && KindAgrees(st.Text, v.Kind)) ok = true;
            reasons += std::string(" [") + dialect->Parsers[p].first + ": " + (v.Ok ? "kind " + v.Kind : v.Error) + "]";
        }
        const auto g = pinned.find(byText ? Trim(st.Text) : st.Source);
        if (g != pinned.end()) met.insert(g->first);
        if (ok) {
            ++accepted;
            EXPECT_EQ(g, pinned.end()) << st.Source << " is accepted now; remove it from the golden file " << golden;
            continue;
        }
        const std::string section = ManualSection(id, st.Text);
        if (written.insert(Trim(st.Text)).second || !byText)
            rejected += "-- " + st.Source + ": " + section + "\r\n" + st.Text + "\r\n";
        if (g == pinned.end()) {
            ADD_FAILURE() << st.Source << " is refused by the parsers and not pinned in " << golden << ":" << reasons
                          << "\n" << st.Text;
            continue;
        }
        EXPECT_EQ(g->second.first, section) << st.Source;
        if (!byText) {
            EXPECT_EQ(g->second.second, st.Text) << st.Source;
        }
    }
    for (const auto& [key, entry] : pinned)
        EXPECT_TRUE(met.count(key)) << "the golden file " << golden << " holds a statement no longer written: " << key;
    if (const char* dir = std::getenv("ARDVIN_WRITE_GOLDEN")) WriteFile(std::string(dir) + "/" + golden + ".sql", rejected);
    return accepted;
}

}  // namespace ardvin::test
