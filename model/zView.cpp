#include "zView.h"

#include "zDataDictionary.h"
#include "zDatabaseSettings.h"

namespace ardvin {

int TVELView::GetPropertyState(std::string_view key) const {
    if (SameText(key, "Comment")) {
        const TVELDatabaseSettings* s = GetDatabaseSettings();
        if (s && s->EnableViewComments) return 0;
    }
    return TVELCodeObject::GetPropertyState(key);
}

bool TVELView::ValidatePropertyValue(std::string_view key, std::string_view value,
                                     const TVELMessageCallback& callback) {
    if (SameText(key, "ObjectName")) {
        const TVELDatabaseSettings* s = GetDatabaseSettings();
        return ValidateQualifiedName(value, "View name", false, false, callback,
                                     s ? s->MaxViewNameLength : -1, RootDictionary());
    }
    return TVELCodeObject::ValidatePropertyValue(key, value, callback);
}

void TVELView::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELCodeObject::Assign(source, copyLinks);
    if (auto* s = dynamic_cast<const TVELView*>(&source)) RelatedIDs = s->RelatedIDs;
}

bool TVELView::Validate(bool fix, const TVELMessageCallback& callback) {
    bool ok = TVELCodeObject::Validate(fix, callback);
    const TVELDatabaseSettings* s = GetDatabaseSettings();
    return ValidateQualifiedName(GetNonQuotedQualifiedName(), "View name", false, false, callback,
                                 s ? s->MaxViewNameLength : -1, RootDictionary()) &&
           ok;
}

// ---- code formatting --------------------------------------------------------------------------

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t p = text.find('\n', start);
        size_t end = p == std::string_view::npos ? text.size() : p;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (p == std::string_view::npos) break;
        start = p + 1;
    }
    return lines;
}

size_t LeadingSpaces(std::string_view line) {
    size_t n = 0;
    while (n < line.size() && line[n] == ' ') ++n;
    return n;
}

// Runs the replacements on one line padded with blanks, so that keywords at the line's ends
// match too, then restores the line's own indentation.
template <class Edit> std::string EditLine(const std::string& line, Edit edit) {
    const size_t lead = LeadingSpaces(line);
    std::string work = " " + line.substr(lead) + " ";
    work = edit(work);
    size_t b = 0;
    while (b < work.size() && (work[b] == ' ' || work[b] == '\r' || work[b] == '\n')) ++b;
    size_t e = work.size();
    while (e > b && work[e - 1] == ' ') --e;
    return std::string(lead, ' ') + work.substr(b, e - b);
}

void AppendLine(std::string& out, const std::string& line, bool last) {
    out += line;
    if (!last && !(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)) out += "\r\n";
}

}  // namespace

std::string RemoveComments(std::string_view code) {
    // Block comments first.
    std::string text;
    size_t pos = 0;
    for (;;) {
        size_t open = code.find("/*", pos);
        if (open == std::string_view::npos) break;
        size_t close = code.find("*/", open + 2);
        text.append(code.substr(pos, open - pos));
        if (close == std::string_view::npos) {
            pos = code.size();
            break;
        }
        pos = close + 2;
    }
    text.append(code.substr(pos));

    std::string out;
    const auto lines = SplitLines(text);
    bool first = true;
    for (const auto& line : lines) {
        const std::string trimmed = TrimLeft(line);
        if (StartsText("--", trimmed) || StartsText("#", trimmed) || StartsText("//", trimmed) ||
            StartsText("REM ", trimmed))
            continue;
        // A "--" comment behind code, outside string literals.
        std::string kept = line;
        char quote = 0;
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            const char c = line[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '-' && line[i + 1] == '-') {
                kept = TrimRight(line.substr(0, i));
                break;
            }
        }
        if (!first) out += "\r\n";
        out += kept;
        first = false;
    }
    return out;
}

std::string FormatViewCode(std::string_view code) {
    // 1 and 2: one long line with a break before every comma and single blanks.
    std::string s = RemoveComments(code);
    s = ReplaceAll(s, "\t", " ");
    s = ReplaceAll(s, "\r\n", " ");
    s = ReplaceAll(s, ",", "\r\n,");
    s = ReplaceAll(s, "`", "");
    for (int n = 8; n >= 2; --n) s = ReplaceAll(s, std::string(n, ' '), " ");
    s = ReplaceAll(s, ", ", ",");
    s = ReplaceAllText(s, " as ", " AS ");

    // 3: clauses on lines of their own.
    static const char* const Keywords[] = {"SELECT",     "FROM",          "WHERE",           "ORDER BY",
                                           "GROUP BY",   "LEFT JOIN",     "LEFT OUTER JOIN", "RIGHT JOIN",
                                           "RIGHT OUTER JOIN", "LEFT INNER JOIN", "RIGHT INNER JOIN",
                                           "VAR",        "DECLARE",       "ON"};
    std::string step3;
    auto lines = SplitLines(s);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = EditLine(lines[i], [](std::string w) {
            for (const char* k : Keywords) {
                const std::string kw(k);
                w = ReplaceAllText(w, " " + kw + " ", "\r\n" + kw + " ");
            }
            w = ReplaceAllText(w, ") JOIN ", ")\r\nJOIN ");
            w = ReplaceAllText(w, " END; ", "\r\nEND;\r\n");
            w = ReplaceAllText(w, " BEGIN ", "\r\nBEGIN\r\n");
            return w;
        });
        AppendLine(step3, line, i + 1 == lines.size());
    }

    // 4: long lines broken before AND/OR and between quoted list items.
    std::string out;
    lines = SplitLines(step3);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (line.size() > 80) {
            line = EditLine(line, [](std::string w) {
                w = ReplaceAllText(w, " AND ", "\r\n AND ");
                w = ReplaceAllText(w, " OR ", "\r\n OR ");
                w = ReplaceAll(w, "\",\"", "\"\r\n,\"");
                w = ReplaceAll(w, "`,`", "`\r\n,`");
                return w;
            });
        }
        AppendLine(out, line, i + 1 == lines.size());
    }
    return out;
}

}  // namespace ardvin
