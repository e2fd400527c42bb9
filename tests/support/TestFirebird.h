// A database file opened by the embedded Firebird engine (the client library opens a local
// file without a server), for tests that run scripts on a real Firebird database.
#pragma once

#include <gtest/gtest.h>
#include <ibase.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "zParseScript.h"
#include "zXMLUtils.h"

namespace ardvin::test {

using TFirebirdRows = std::vector<std::vector<std::string>>;

// The text of a Firebird status vector, empty when it holds no error.
inline std::string StatusText(const ISC_STATUS* status) {
    if (status[0] != 1 || status[1] == 0) return {};
    std::string text;
    char buffer[1024];
    const ISC_STATUS* vector = status;
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0) {
        if (!text.empty()) text += " / ";
        text += buffer;
    }
    return text.empty() ? "error" : text;
}

// A database file of its own, opened by the embedded engine, removed at the end. Every
// statement runs in a transaction of its own.
class TFirebirdDatabase {
public:
    TFirebirdDatabase() {
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
        EXPECT_EQ(StatusText(status), "") << sql;
    }
    ~TFirebirdDatabase() {
        ISC_STATUS_ARRAY status{};
        if (db_) isc_detach_database(status, &db_);
    }
    TFirebirdDatabase(const TFirebirdDatabase&) = delete;
    TFirebirdDatabase& operator=(const TFirebirdDatabase&) = delete;

    bool Open() const { return db_ != 0; }

    // Lets the engine write without waiting for the disk (forced writes off, kept in the
    // file's header): for tests that run many statements on a file that need not survive.
    void WithoutForcedWrites() {
        ISC_STATUS_ARRAY status{};
        if (db_) isc_detach_database(status, &db_);
        db_ = 0;
        const std::string file = dir_.File("test.fdb");
        const std::string user = "SYSDBA";
        std::string dpb(1, static_cast<char>(isc_dpb_version1));
        dpb += static_cast<char>(isc_dpb_user_name);
        dpb += static_cast<char>(user.size());
        dpb += user;
        dpb += static_cast<char>(isc_dpb_force_write);
        dpb += static_cast<char>(1);
        dpb += static_cast<char>(0);
        isc_attach_database(status, 0, file.c_str(), &db_, static_cast<short>(dpb.size()), dpb.data());
        EXPECT_EQ(StatusText(status), "") << file;
    }

    // Runs one statement and commits; the error text, empty when it ran.
    std::string Exec(const std::string& sql) {
        ISC_STATUS_ARRAY status{};
        isc_tr_handle tr = 0;
        if (isc_start_transaction(status, &tr, 1, &db_, 0, nullptr)) return StatusText(status);
        isc_dsql_execute_immediate(status, &db_, &tr, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
        std::string error = StatusText(status);
        ISC_STATUS_ARRAY end{};
        if (error.empty()) {
            isc_commit_transaction(end, &tr);
            error = StatusText(end);
        } else {
            isc_rollback_transaction(end, &tr);
        }
        return error;
    }

    // Runs one statement in the given transaction handle, which the statement itself may
    // start (SET TRANSACTION) or end (COMMIT).
    std::string ExecIn(isc_tr_handle& tr, const std::string& sql) {
        ISC_STATUS_ARRAY status{};
        isc_dsql_execute_immediate(status, &db_, &tr, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
        return StatusText(status);
    }

    // Cuts a script as isql does (";" and the SET TERM switches) and runs its statements; the
    // first error, with its statement.
    std::string Script(const std::string& script) {
        TVELSQLScriptParser parser;
        parser.Mode = TVELSQLScriptParser::smTerminator;
        parser.Compact = false;
        parser.Parse(script);
        std::vector<std::string> statements = parser.Statements;
        if (!Trim(parser.Remainder).empty()) statements.push_back(parser.Remainder);
        if (statements.empty()) return "no statement in: " + script;
        for (const std::string& statement : statements) {
            const std::string error = Exec(statement);
            if (!error.empty()) return error + "\n" + statement;
        }
        return {};
    }

    // The rows of a query, every value as text (NULL as "<null>"); a failure is a test failure.
    TFirebirdRows Query(const std::string& sql) {
        TFirebirdRows rows;
        ISC_STATUS_ARRAY status{};
        isc_tr_handle tr = 0;
        isc_stmt_handle stmt = 0;
        const auto fail = [&](const char* step) {
            ADD_FAILURE() << step << ": " << StatusText(status) << "\n" << sql;
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
            std::vector<std::string> row;
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

    // The first value of a query, "<no row>" when there is none.
    std::string Value(const std::string& sql) {
        const TFirebirdRows rows = Query(sql);
        return rows.empty() || rows[0].empty() ? "<no row>" : rows[0][0];
    }

    // The trimmed names of the user's objects of one catalogue table.
    std::set<std::string> Names(const std::string& table, const std::string& column,
                                const std::string& where = "") {
        std::set<std::string> names;
        for (const std::vector<std::string>& row : Query("SELECT TRIM(" + column + ") FROM " + table +
                                        " WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0" + where))
            names.insert(row[0]);
        return names;
    }

private:
    TempDir dir_;
    isc_db_handle db_ = 0;
};

}  // namespace ardvin::test
