#include "FirebirdDatabase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "zParseScript.h"
#include "zXMLUtils.h"

namespace ardvin::test {

namespace {
using TRows = std::vector<std::vector<std::string>>;
using Strings = std::vector<std::string>;
}  // namespace

TFirebirdDatabase::TFirebirdDatabase(bool forcedWrites) {
    // The engine keeps its lock files where it is told to, so that parallel test programs
    // and the system's own server do not meet. It reads the place once per process.
    static const TempDir engineDir;
    setenv("FIREBIRD_LOCK", engineDir.File("lock").c_str(), 0);
    setenv("FIREBIRD_TMP", engineDir.Path().c_str(), 0);
    const std::string sql =
        "CREATE DATABASE '" + dir_.File("test.fdb") + "' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8";
    isc_tr_handle tr = 0;
    ISC_STATUS_ARRAY status{};
    isc_dsql_execute_immediate(status, &db_, &tr, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    EXPECT_EQ(FirebirdStatusText(status), "") << sql;
    if (!db_) return;
    // The connection talks UTF-8, as isql does after SET NAMES UTF8, so that texts beyond ASCII
    // (comments, names) are stored as they are written.
    isc_detach_database(status, &db_);
    std::string dpb = {static_cast<char>(isc_dpb_version1)};
    const auto add = [&dpb](char item, const std::string& value) {
        dpb += item;
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, "SYSDBA");
    add(isc_dpb_lc_ctype, "UTF8");
    if (!forcedWrites) add(isc_dpb_force_write, std::string(1, '\0'));
    const std::string file = dir_.File("test.fdb");
    isc_attach_database(status, 0, file.c_str(), &db_, static_cast<short>(dpb.size()), dpb.data());
    EXPECT_EQ(FirebirdStatusText(status), "") << file;
}

TFirebirdDatabase::~TFirebirdDatabase() {
    ISC_STATUS_ARRAY status{};
    if (db_) isc_detach_database(status, &db_);
}


std::string TFirebirdDatabase::Exec(const std::string& sql) {
    ISC_STATUS_ARRAY status{};
    isc_tr_handle tr = 0;
    if (isc_start_transaction(status, &tr, 1, &db_, 0, nullptr)) return FirebirdStatusText(status);
    isc_dsql_execute_immediate(status, &db_, &tr, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    std::string error = FirebirdStatusText(status);
    ISC_STATUS_ARRAY end{};
    if (error.empty()) {
        isc_commit_transaction(end, &tr);
        error = FirebirdStatusText(end);
    } else {
        isc_rollback_transaction(end, &tr);
    }
    return error;
}

std::string TFirebirdDatabase::ExecIn(isc_tr_handle& tr, const std::string& sql) {
    ISC_STATUS_ARRAY status{};
    isc_dsql_execute_immediate(status, &db_, &tr, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    return FirebirdStatusText(status);
}

std::string TFirebirdDatabase::Script(const std::string& script) {
    TVELSQLScriptParser parser;
    parser.Mode = TVELSQLScriptParser::smTerminator;
    parser.Compact = false;
    // Lines that are block comments of their own (the headings of generated scripts) go, as
    // isql passes over them; a SET TERM after them is then seen at the start of its statement.
    std::string text;
    for (const std::string& line : SplitString(ReplaceAll(script, "\r\n", "\n"), '\n')) {
        const std::string trimmed = Trim(line);
        if (StartsText("/*", trimmed) && trimmed.size() >= 4 && trimmed.substr(trimmed.size() - 2) == "*/" &&
            trimmed.find("*/") == trimmed.size() - 2)
            continue;
        text += line + "\n";
    }
    parser.Parse(text);
    Strings statements = parser.Statements;
    if (!Trim(parser.Remainder).empty()) statements.push_back(parser.Remainder);
    if (statements.empty()) return "no statement in: " + script;
    for (const std::string& statement : statements) {
        const std::string error = Exec(statement);
        if (!error.empty()) return error + "\n" + statement;
    }
    return {};
}

TRows TFirebirdDatabase::Query(const std::string& sql) {
    TRows rows;
    ISC_STATUS_ARRAY status{};
    isc_tr_handle tr = 0;
    isc_stmt_handle stmt = 0;
    const auto fail = [&](const char* step) {
        ADD_FAILURE() << step << ": " << FirebirdStatusText(status) << "\n" << sql;
        ISC_STATUS_ARRAY ignored{};
        if (stmt) isc_dsql_free_statement(ignored, &stmt, DSQL_drop);
        if (tr) isc_rollback_transaction(ignored, &tr);
        return rows;
    };
    if (isc_start_transaction(status, &tr, 1, &db_, 0, nullptr)) return fail("start");
    if (isc_dsql_allocate_statement(status, &db_, &stmt)) return fail("allocate");
    short columns = 20;
    std::vector<char> area(XSQLDA_LENGTH(columns));
    auto* out = reinterpret_cast<XSQLDA*>(area.data());
    out->version = SQLDA_VERSION1;
    out->sqln = columns;
    if (isc_dsql_prepare(status, &tr, &stmt, 0, sql.c_str(), SQL_DIALECT_V6, out)) return fail("prepare");
    if (out->sqld > columns) {
        columns = out->sqld;
        area.assign(XSQLDA_LENGTH(columns), 0);
        out = reinterpret_cast<XSQLDA*>(area.data());
        out->version = SQLDA_VERSION1;
        out->sqln = columns;
        if (isc_dsql_describe(status, &stmt, SQL_DIALECT_V6, out)) return fail("describe");
    }
    // Every value is fetched as text: the engine converts it.
    const short width = 4000;
    std::vector<std::vector<char>> buffers(out->sqld, std::vector<char>(width + sizeof(short)));
    std::vector<short> nulls(out->sqld);
    for (short i = 0; i < out->sqld; ++i) {
        XSQLVAR& v = out->sqlvar[i];
        v.sqltype = SQL_VARYING + 1;
        v.sqllen = width;
        v.sqlscale = 0;
        v.sqldata = buffers[i].data();
        v.sqlind = &nulls[i];
    }
    if (isc_dsql_execute(status, &tr, &stmt, SQL_DIALECT_V6, nullptr)) return fail("execute");
    ISC_STATUS fetched = 0;
    while ((fetched = isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, out)) == 0) {
        Strings row;
        for (short i = 0; i < out->sqld; ++i) {
            if (nulls[i]) {
                row.emplace_back("<null>");
                continue;
            }
            short length = 0;
            std::memcpy(&length, buffers[i].data(), sizeof length);
            row.emplace_back(buffers[i].data() + sizeof(short), static_cast<size_t>(length));
        }
        rows.push_back(std::move(row));
    }
    if (fetched != 100) return fail("fetch");
    isc_dsql_free_statement(status, &stmt, DSQL_drop);
    isc_commit_transaction(status, &tr);
    return rows;
}

std::string TFirebirdDatabase::Value(const std::string& sql) {
    const TRows rows = Query(sql);
    return rows.empty() || rows[0].empty() ? "<no row>" : rows[0][0];
}

std::set<std::string> TFirebirdDatabase::Names(const std::string& table, const std::string& column,
                                               const std::string& where) {
    std::set<std::string> names;
    for (const Strings& row : Query("SELECT TRIM(" + column + ") FROM " + table +
                                    " WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0" + where))
        names.insert(row[0]);
    return names;
}

}  // namespace ardvin::test
