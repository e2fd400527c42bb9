#include "zODBCDriver.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "zDBScript.h"
#include "zDataDictionary.h"
#include "zEntity.h"
#include "zSequence.h"
#include "zSQLParser.h"

namespace ardvin {

namespace {

// ---- UTF-8 and UTF-16 ------------------------------------------------------------------------

std::u16string Utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        uint32_t code = c;
        size_t extra = 0;
        if (c >= 0xF0) {
            code = c & 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            code = c & 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            code = c & 0x1F;
            extra = 1;
        } else if (c >= 0x80) {
            extra = 0;  // a stray continuation byte stands for itself
        }
        if (i + extra >= text.size()) {  // a cut-off sequence: its first byte stands for itself
            code = c;
            extra = 0;
        }
        for (size_t k = 1; k <= extra; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf8(const SQLWCHAR* text, size_t count) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

SQLWCHAR* Wide(std::u16string& text) {
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
    return reinterpret_cast<SQLWCHAR*>(text.data());
}

bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

std::string Q(std::string_view text) {
    return DoubleQuoted(text);
}

// The value of a key of a connection string ("DSN", "Driver"), empty when it has none.
std::string ConnectionStringValue(std::string_view text, std::string_view key) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t equals = text.find('=', i);
        if (equals == std::string_view::npos) break;
        const std::string name = Trim(text.substr(i, equals - i));
        std::string value;
        size_t end = equals + 1;
        while (end < text.size() && text[end] == ' ') ++end;
        if (end < text.size() && text[end] == '{') {
            ++end;
            while (end < text.size()) {
                if (text[end] == '}') {
                    if (end + 1 < text.size() && text[end + 1] == '}') {
                        value += '}';
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                value += text[end++];
            }
            end = text.find(';', end);
        } else {
            const size_t semicolon = text.find(';', end);
            value = Trim(text.substr(end, semicolon == std::string_view::npos ? std::string_view::npos : semicolon - end));
            end = semicolon;
        }
        if (SameText(name, key)) return value;
        if (end == std::string_view::npos) break;
        i = end + 1;
    }
    return {};
}

// An error of the driver as the user reads it: what failed, the data source, and the
// driver's diagnostics without the password.
std::string WithoutSecret(std::string text, const std::string& secret) {
    if (secret.size() >= 2) text = ReplaceAll(text, secret, "***");
    return text;
}

}  // namespace

std::string ODBCValue(std::string_view value) {
    if (value.find_first_of(";{}=") == std::string_view::npos && Trim(value) == value) return std::string(value);
    return "{" + ReplaceAll(value, "}", "}}") + "}";
}

std::string ODBCDiagnostics(short handleType, void* handle, std::vector<std::string>* states) {
    std::string text;
    for (SQLSMALLINT record = 1; record <= 20; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message,
                                            static_cast<SQLSMALLINT>(std::size(message)), &length);
        if (!Succeeded(rc)) break;
        const std::string code = Utf8(state, 5);
        const size_t count = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), std::size(message) - 1);
        if (!text.empty()) text += '\n';
        text += "[" + code + "] " + Trim(Utf8(message, count));
        if (states) states->push_back(code);
    }
    return text;
}

int CountParameterMarks(std::string_view sql) {
    int count = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            for (++i; i < sql.size(); ++i) {
                if (sql[i] != close) continue;
                if (i + 1 < sql.size() && sql[i + 1] == close) {
                    ++i;
                    continue;
                }
                break;
            }
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            i = sql.find('\n', i);
            if (i == std::string_view::npos) break;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            i = sql.find("*/", i + 2);
            if (i == std::string_view::npos) break;
            ++i;
        } else if (c == '?') {
            ++count;
        }
    }
    return count;
}

// ---- the live link ---------------------------------------------------------------------------

TODBCLink::TODBCLink(const std::string& connectionString, const std::string& source, const std::string& secret)
    : source_(source), secret_(secret) {
    SQLHENV env = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw EVELError("The ODBC driver manager could not be initialised.");
    env_ = env;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        env_ = nullptr;
        throw EVELError("The ODBC driver manager could not make a connection handle.");
    }
    dbc_ = dbc;
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
    std::u16string text = Utf16(connectionString);
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, Wide(text), static_cast<SQLSMALLINT>(text.size()), out,
                                           static_cast<SQLSMALLINT>(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
        std::vector<std::string> states;
        const std::string diagnostics = WithoutSecret(ODBCDiagnostics(SQL_HANDLE_DBC, dbc, &states), secret_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        dbc_ = env_ = nullptr;
        auto has = [&](std::string_view state) { return std::find(states.begin(), states.end(), state) != states.end(); };
        const std::string lower = LowerCase(diagnostics);
        std::string reason;
        if (has("IM002"))
            reason = "the data source is not defined in odbc.ini (see odbcinst -q -s) and the connection string "
                     "names no driver";
        else if (has("01000") && lower.find("can't open lib") != std::string::npos)
            reason = "the ODBC driver library could not be loaded";
        else if (has("28000") || lower.find("password") != std::string::npos ||
                 lower.find("authentication") != std::string::npos || lower.find("login failed") != std::string::npos)
            reason = "the user name or password was not accepted";
        throw EVELError("Unable to connect to the ODBC data source " + Q(source_) + (reason.empty() ? "" : ": " + reason) +
                        "." + (diagnostics.empty() ? "" : "\n" + diagnostics));
    }
}

TODBCLink::~TODBCLink() {
    if (dbc_) {
        SQLDisconnect(static_cast<SQLHDBC>(dbc_));
        SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(dbc_));
    }
    if (env_) SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(env_));
}

void TODBCLink::Fail(short handleType, void* handle, const std::string& what) const {
    const std::string diagnostics = WithoutSecret(ODBCDiagnostics(handleType, handle), secret_);
    throw EVELError("The ODBC data source " + Q(source_) + " reports an error " + what + "." +
                    (diagnostics.empty() ? "" : "\n" + diagnostics));
}

TDBRowSet TODBCLink::Execute(std::string_view sql, const std::vector<std::string>& values) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dbc_), &stmt)))
        Fail(SQL_HANDLE_DBC, dbc_, "while preparing a statement");
    struct TStatement {
        SQLHSTMT Handle;
        ~TStatement() { SQLFreeHandle(SQL_HANDLE_STMT, Handle); }
    } guard{stmt};
    const std::string first = Trim(std::string(sql.substr(0, sql.find('\n'))));
    const std::string what = "on the statement " + Q(first.size() > 80 ? first.substr(0, 80) + "..." : first);

    std::u16string text = Utf16(sql);
    if (!Succeeded(SQLPrepareW(stmt, Wide(text), static_cast<SQLINTEGER>(text.size())))) Fail(SQL_HANDLE_STMT, stmt, what);
    // The buffers of the bound values live until the statement has run.
    const int marks = values.empty() ? 0 : CountParameterMarks(sql);
    std::vector<std::u16string> buffers(static_cast<size_t>(marks));
    std::vector<SQLLEN> lengths(static_cast<size_t>(marks));
    for (int i = 0; i < marks; ++i) {
        buffers[i] = Utf16(values[static_cast<size_t>(i) % values.size()]);
        lengths[i] = static_cast<SQLLEN>(buffers[i].size() * sizeof(SQLWCHAR));
        const SQLULEN size = std::max<SQLULEN>(buffers[i].size(), 1);
        if (!Succeeded(SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                                        SQL_WVARCHAR, size, 0, Wide(buffers[i]), lengths[i], &lengths[i])))
            Fail(SQL_HANDLE_STMT, stmt, what);
    }
    const SQLRETURN rc = SQLExecute(stmt);
    if (!Succeeded(rc) && rc != SQL_NO_DATA) Fail(SQL_HANDLE_STMT, stmt, what);

    TDBRowSet rows;
    SQLSMALLINT count = 0;
    if (!Succeeded(SQLNumResultCols(stmt, &count))) Fail(SQL_HANDLE_STMT, stmt, what);
    for (SQLSMALLINT c = 1; c <= count; ++c) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!Succeeded(SQLDescribeColW(stmt, static_cast<SQLUSMALLINT>(c), name, 256, &length, &type, &size, &digits,
                                       &nullable)))
            Fail(SQL_HANDLE_STMT, stmt, what);
        rows.Columns.push_back(Utf8(name, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), 255)));
    }
    if (count == 0) return rows;
    for (;;) {
        const SQLRETURN fetched = SQLFetch(stmt);
        if (fetched == SQL_NO_DATA) break;
        if (!Succeeded(fetched)) Fail(SQL_HANDLE_STMT, stmt, what);
        std::vector<TDBField>& row = rows.Rows.emplace_back();
        row.reserve(static_cast<size_t>(count));
        for (SQLSMALLINT c = 1; c <= count; ++c) {
            // Long values come in parts; each part but the last fills the buffer.
            std::u16string value;
            bool null = false;
            SQLWCHAR buffer[2048];
            for (;;) {
                SQLLEN indicator = 0;
                const SQLRETURN got = SQLGetData(stmt, static_cast<SQLUSMALLINT>(c), SQL_C_WCHAR, buffer, sizeof buffer,
                                                 &indicator);
                if (got == SQL_NO_DATA) break;
                if (!Succeeded(got)) Fail(SQL_HANDLE_STMT, stmt, what);
                if (indicator == SQL_NULL_DATA) {
                    null = true;
                    break;
                }
                const size_t room = std::size(buffer) - 1;
                const size_t part = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) / sizeof(SQLWCHAR) > room
                                        ? room
                                        : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
                value.append(reinterpret_cast<const char16_t*>(buffer), part);
                if (got == SQL_SUCCESS) break;
            }
            row.push_back(null ? TDBField() : TDBField(Utf8(reinterpret_cast<const SQLWCHAR*>(value.data()), value.size())));
        }
    }
    return rows;
}

void TODBCLink::SetAutoCommit(bool on) {
    const SQLRETURN rc = SQLSetConnectAttr(static_cast<SQLHDBC>(dbc_), SQL_ATTR_AUTOCOMMIT,
                                           reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
    if (!Succeeded(rc)) Fail(SQL_HANDLE_DBC, dbc_, "while starting a transaction");
}

void TODBCLink::EndTransaction(bool commit) {
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, static_cast<SQLHDBC>(dbc_), commit ? SQL_COMMIT : SQL_ROLLBACK);
    if (!Succeeded(rc)) Fail(SQL_HANDLE_DBC, dbc_, commit ? "on commit" : "on rollback");
}

void TODBCLink::Commit() {
    EndTransaction(true);
}

void TODBCLink::Rollback() {
    EndTransaction(false);
}

// ---- replay ----------------------------------------------------------------------------------

namespace {

std::vector<TDBField> ReplayFields(std::string_view text, const std::string& where) {
    std::vector<TDBField> fields;
    std::string value;
    bool escapedOnly = false;  // the field so far is exactly one escape such as \N
    char alone = 0;
    size_t inField = 0;
    auto finish = [&] {
        if (inField == 2 && escapedOnly && alone == 'N')
            fields.emplace_back();
        else
            fields.emplace_back(value);
        value.clear();
        inField = 0;
        escapedOnly = false;
        alone = 0;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '|') {
            finish();
            continue;
        }
        if (c != '\\') {
            value += c;
            ++inField;
            continue;
        }
        if (i + 1 >= text.size()) throw EVELError(where + ": a line ends in \"\\\"");
        const char e = text[++i];
        escapedOnly = inField == 0;
        alone = e;
        inField += 2;
        switch (e) {
        case '|': value += '|'; break;
        case '\\': value += '\\'; break;
        case 'n': value += '\n'; break;
        case 'r': value += '\r'; break;
        case 't': value += '\t'; break;
        case 'N':
        case 'e': break;
        default: throw EVELError(where + ": unknown escape \"\\" + std::string(1, e) + "\"");
        }
    }
    finish();
    return fields;
}

std::string ReplayValuesKey(const std::vector<std::string>& values) {
    std::string key;
    for (size_t i = 0; i < values.size(); ++i) key += (i ? "|" : "") + ReplaceAll(values[i], "|", "\\|");
    return key;
}

}  // namespace

TODBCReplay::TODBCReplay(const std::string& folder) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        throw EVELError("The folder of recordings " + Q(folder) + " does not exist.");
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) Load(file);
}

std::string TODBCReplay::StatementKey(std::string_view sql) {
    uint32_t hash = 2166136261u;
    for (const char c : sql) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", hash);
    return text;
}

void TODBCReplay::Load(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw EVELError("Unable to read the recording " + Q(file) + ".");
    std::string line;
    int number = 0;
    std::string key;
    std::vector<std::string> values;
    TDBRowSet rows;
    bool open = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string where = file + ":" + std::to_string(number);
        const std::string trimmed = TrimLeft(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        const size_t blank = trimmed.find(' ');
        const std::string word = trimmed.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : trimmed.substr(blank + 1);
        if (word == "query") {
            if (open) throw EVELError(where + ": \"query\" before the \"end\" of the previous one");
            key = rest.substr(0, rest.find(' '));
            if (key.size() != 8) throw EVELError(where + ": \"query\" takes the eight-digit key of the statement");
            values.clear();
            rows = TDBRowSet();
            open = true;
        } else if (!open) {
            throw EVELError(where + ": " + Q(word) + " outside a recording (begin one with \"query\")");
        } else if (word == "values") {
            values.clear();
            for (const TDBField& f : ReplayFields(rest, where)) values.push_back(f.AsString());
        } else if (word == "columns") {
            for (const TDBField& f : ReplayFields(rest, where)) rows.Columns.push_back(f.AsString());
        } else if (word == "row") {
            std::vector<TDBField> fields = ReplayFields(rest, where);
            if (fields.size() != rows.Columns.size())
                throw EVELError(where + ": the row has " + std::to_string(fields.size()) + " fields for " +
                                std::to_string(rows.Columns.size()) + " columns");
            rows.Rows.push_back(std::move(fields));
        } else if (word == "end") {
            const std::string id = key + "\n" + ReplayValuesKey(values);
            if (!recordings_.emplace(id, std::move(rows)).second)
                throw EVELError(where + ": the statement " + key + " is recorded twice with the same values");
            open = false;
        } else {
            throw EVELError(where + ": unknown line " + Q(word));
        }
    }
    if (open) throw EVELError(file + ": the last recording has no \"end\"");
}

TDBRowSet TODBCReplay::Execute(std::string_view sql, const std::vector<std::string>& values) {
    const std::string key = StatementKey(sql);
    const auto it = recordings_.find(key + "\n" + ReplayValuesKey(values));
    if (it == recordings_.end())
        throw EVELError("No recording of the statement " + key + " with the values (" + ReplayValuesKey(values) +
                        "):\n" + std::string(sql));
    answered_.push_back(key);
    return it->second;
}

// ---- the connection --------------------------------------------------------------------------

TODBCConnection::TODBCConnection() = default;

TODBCConnection::~TODBCConnection() = default;

std::string TODBCConnection::ConnectionString() const {
    std::string text = Parameters.GetValue("ConnectionString");
    const std::string dsn = Parameters.GetValue("DSN");
    if (text.empty() && !dsn.empty()) text = "DSN=" + ODBCValue(dsn);
    auto add = [&](const char* key, const char* alias, const std::string& value) {
        if (value.empty() || !ConnectionStringValue(text, key).empty() || !ConnectionStringValue(text, alias).empty())
            return;
        if (!text.empty() && text.back() != ';') text += ';';
        text += std::string(key) + "=" + ODBCValue(value);
    };
    add("UID", "User", Parameters.GetValue("UserName"));
    add("PWD", "Password", Parameters.GetValue("Password"));
    // Other parameters (the query part of odbc://DSN?Database=shop) are keys of the driver.
    static const char* const ours[] = {"DSN", "ConnectionString", "UserName", "Password", "SCHEMANAME", "CreateDatabase"};
    for (int i = 0; i < Parameters.Count(); ++i) {
        const std::string& key = Parameters.NameAt(i);
        if (std::none_of(std::begin(ours), std::end(ours), [&](const char* own) { return SameText(key, own); }))
            add(key.c_str(), key.c_str(), Parameters.ValueAt(i));
    }
    return text;
}

std::string TODBCConnection::SourceName() const {
    if (const std::string dsn = Parameters.GetValue("DSN"); !dsn.empty()) return dsn;
    const std::string text = Parameters.GetValue("ConnectionString");
    if (std::string dsn = ConnectionStringValue(text, "DSN"); !dsn.empty()) return dsn;
    if (std::string driver = ConnectionStringValue(text, "Driver"); !driver.empty()) return driver;
    return "(default)";
}

void TODBCConnection::Connect() {
    if (executor_) return;  // connected already, or answered by a plugged-in executor
    if (Parameters.GetValue("DSN").empty() && Parameters.GetValue("ConnectionString").empty())
        throw EVELError("No ODBC data source given: name a DSN (odbc://DSN) or a connection string "
                        "(odbc:?Driver=...;Database=...).");
    std::string secret = Parameters.GetValue("Password");
    if (secret.empty()) {
        secret = ConnectionStringValue(Parameters.GetValue("ConnectionString"), "PWD");
        if (secret.empty()) secret = ConnectionStringValue(Parameters.GetValue("ConnectionString"), "Password");
    }
    executor_ = std::make_unique<TODBCLink>(ConnectionString(), SourceName(), secret);
}

void TODBCConnection::Disconnect() {
    executor_.reset();
}

void TODBCConnection::GetDescription(std::string& text) const {
    text = SourceName();
    if (const std::string database = Parameters.GetValue("DatabaseName"); !database.empty())
        text = database + " on " + text;
}

void TODBCConnection::StartTransaction() {
    if (executor_) executor_->SetAutoCommit(false);
}

void TODBCConnection::Commit() {
    if (!executor_) return;
    executor_->Commit();
    executor_->SetAutoCommit(true);
}

std::unique_ptr<TDBScript> TODBCConnection::CreateScript() {
    std::unique_ptr<TDBScript> script = CreateDBScript(DBID);
    script->Target = Target;
    return script;
}

TDBRowSet TODBCConnection::Run(std::string_view sql, const std::vector<std::string>& values) {
    if (!executor_) throw EVELError("Not connected to a database.");
    return executor_->Execute(sql, values);
}

std::string TODBCConnection::QuoteIdentifier(std::string_view name) const {
    return "\"" + ReplaceAll(name, "\"", "\"\"") + "\"";
}

std::string TODBCConnection::QuoteName(std::string_view name) const {
    // A qualified name is quoted part by part; the schema is before the first dot.
    const size_t dot = name.find('.');
    if (dot == std::string_view::npos) return QuoteIdentifier(name);
    return QuoteIdentifier(name.substr(0, dot)) + "." + QuoteIdentifier(name.substr(dot + 1));
}

std::vector<std::string> TODBCConnection::TableValues(const TVELEntity* entity) const {
    return {entity->SchemaName, entity->GetName()};
}

std::vector<std::string> TODBCConnection::DatabaseValues() const {
    const std::string schema = SchemaFilter();
    return schema.empty() ? std::vector<std::string>() : std::vector<std::string>{schema};
}

std::string TODBCConnection::SchemaCondition(const std::string& column) const {
    if (!SchemaFilter().empty()) return column + " = ?";
    std::string list;
    GetSystemSchemaList(list);
    return list.empty() ? std::string("1 = 1") : column + " NOT IN " + list;
}

void TODBCConnection::ReverseEngineerSequences(TVELDataDictionary& dictionary) {
    std::string sql;
    GetSQL(qkSequences, sql);
    if (sql.empty() || !Connected()) return;
    const TDBRowSet rows = RunForDatabase(sql);
    TDBMemoryQuery row([&rows](const std::string&) { return rows; });
    row.Open();
    auto text = [&](const char* column) {
        const TDBField* field = row.FieldByName(column);
        return field ? Trim(field->AsString()) : std::string();
    };
    auto truth = [&](const char* column) {
        const std::string value = UpperCase(text(column));
        return value == "1" || value == "Y" || value == "YES" || value == "TRUE";
    };
    for (; !row.Eof(); row.Next()) {
        const std::string name = text("RE_SEQUENCENAME");
        const std::string schema = text("RE_SCHEMANAME");
        if (name.empty() || !IncludeObject(schema.empty() ? name : schema + "." + name)) continue;
        auto* sequence = static_cast<TVELSequence*>(NewImportedObject(dictionary, otSequence, schema, name));
        sequence->Comment = text("RE_COMMENT");
        int32_t number = 0;
        if (TryStrToInt(text("RE_SEED"), number)) sequence->Seed = number;
        if (TryStrToInt(text("RE_INCREMENT"), number)) sequence->Increment = number;
        sequence->Min = text("RE_MINVALUE");
        sequence->Max = text("RE_MAXVALUE");
        sequence->Cycle = truth("RE_CYCLE") ? "cycle" : "nocycle";
        if (row.FieldByName("RE_ORDER")) sequence->Order = truth("RE_ORDER") ? "order" : "noorder";
        const std::string cache = text("RE_CACHE");
        if (cache == "0") {
            sequence->CacheCode = "NOCACHE";
        } else if (!cache.empty()) {
            sequence->CacheCode = "CACHE";
            sequence->Cache = cache;
        }
        sequence->IntegerType = UpperCase(text("RE_INTEGERTYPE"));
        Log(mlInfo, "Adding sequence " + Q(name) + ".");
        Added(sequence);
    }
}

}  // namespace ardvin
