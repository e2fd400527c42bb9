// The drivers that reach their database through unixODBC (SQL Server, Oracle, Db2): a user
// with the vendor's ODBC driver (or FreeTDS) connects through a data source name of odbc.ini or
// a whole connection string.
//
// The statements go through an executor: TODBCLink runs them on a live ODBC connection,
// TODBCReplay answers them from recorded result sets (the catalogue tests of systems that do
// not run here). Values are always bound to the "?" marks of a statement (SQLBindParameter);
// no object name is ever part of a query text.
//
// Connection parameters: "DSN" (a data source of odbc.ini) or "ConnectionString" (handed to
// SQLDriverConnect as it stands, e.g. "Driver=/path/libdriver.so;Database=..."), with
// "UserName" and "Password" added as UID and PWD when the text has none; any other parameter
// (odbc://DSN?Database=shop) is added as a key of the driver. The password never appears in a
// message or a log.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zDBBoundConnection.h"

namespace ardvin {

// Runs statements with values bound to their "?" marks (the n-th mark takes value n modulo
// the number of values) and returns the rows with every value as text.
class TODBCExecutor {
public:
    virtual ~TODBCExecutor() = default;
    // Errors raise EVELError.
    virtual TDBRowSet Execute(std::string_view sql, const std::vector<std::string>& values) = 0;
    virtual void SetAutoCommit(bool on) { (void)on; }
    virtual void Commit() {}
    virtual void Rollback() {}
};

// An executor over a live ODBC connection. Texts travel as UTF-16 (the wide calls), so that
// names and bodies keep their characters whatever the client's locale.
class TODBCLink : public TODBCExecutor {
public:
    // Connects with the connection string; source names the data source in messages (the
    // DSN, or the driver of a connection string). secret is the password, removed from every
    // message the driver returns.
    TODBCLink(const std::string& connectionString, const std::string& source, const std::string& secret);
    ~TODBCLink() override;
    TODBCLink(const TODBCLink&) = delete;
    TODBCLink& operator=(const TODBCLink&) = delete;

    TDBRowSet Execute(std::string_view sql, const std::vector<std::string>& values) override;
    void SetAutoCommit(bool on) override;
    void Commit() override;
    void Rollback() override;

private:
    void EndTransaction(bool commit);
    [[noreturn]] void Fail(short handleType, void* handle, const std::string& what) const;

    void* env_ = nullptr;
    void* dbc_ = nullptr;
    std::string source_;
    std::string secret_;
};

// The number of "?" marks of a statement outside literals, quoted names and comments.
int CountParameterMarks(std::string_view sql);

// The text of the diagnostic records of an ODBC handle ("[SQLSTATE] message", one a line);
// states receives the SQLSTATEs.
std::string ODBCDiagnostics(short handleType, void* handle, std::vector<std::string>* states = nullptr);

// An ODBC connection string value, in braces when it holds characters that end a value.
std::string ODBCValue(std::string_view value);

// ---- replay of recorded result sets ----------------------------------------------------------

// Answers statements from recordings: text files (*.txt) of a folder, each holding any number
// of result sets:
//
//   # a comment
//   query 1a2b3c4d columns of dbo.Customer     (the key of the statement text, then any note)
//   values dbo|Customer                        (the bound values; the line may be left out)
//   columns RE_COLUMNNAME|RE_DATATYPE
//   row CustomerID|int
//   row Name|\N                                (\N is NULL)
//   end
//
// Fields are separated by "|"; "\|", "\\", "\n", "\r" and "\t" stand for those characters, "\N"
// alone for NULL and "\e" alone for an empty text. The key is StatementKey of the statement
// text, so a changed query finds no recording. A statement without a recording raises an
// error that names it, its key and its values.
class TODBCReplay : public TODBCExecutor {
public:
    explicit TODBCReplay(const std::string& folder);
    TDBRowSet Execute(std::string_view sql, const std::vector<std::string>& values) override;
    // The statements answered so far, in order (their keys).
    const std::vector<std::string>& Answered() const { return answered_; }

    // Eight hex digits of the FNV-1a hash of the statement text.
    static std::string StatementKey(std::string_view sql);

private:
    void Load(const std::string& file);
    std::map<std::string, TDBRowSet> recordings_;  // key + "\n" + the values joined by "|"
    std::vector<std::string> answered_;
};

// ---- the connection --------------------------------------------------------------------------

// The base of the ODBC drivers.
class TODBCConnection : public TDBBoundConnection {
public:
    TODBCConnection();
    ~TODBCConnection() override;

    // Opens the ODBC connection; a connection that has an executor already keeps it.
    void Connect() override;
    void ConnectServer() override { Connect(); }
    void Disconnect() override;
    bool Connected() const override { return executor_ != nullptr; }
    void GetDescription(std::string& text) const override;
    void StartTransaction() override;
    void Commit() override;
    // The script object of the driver's dialect.
    std::unique_ptr<TDBScript> CreateScript() override;
    TDBRowSet Run(std::string_view sql, const std::vector<std::string>& values) override;
    std::string QuoteName(std::string_view name) const override;
    // The sequences of the query of kind 12, each row one sequence with its settings:
    // RE_SEQUENCENAME, RE_SCHEMANAME, RE_COMMENT, RE_SEED, RE_INCREMENT, RE_MINVALUE,
    // RE_MAXVALUE, RE_CYCLE and RE_ORDER (truth values), RE_CACHE (a size, or "0" for none) and
    // RE_INTEGERTYPE.
    void ReverseEngineerSequences(TVELDataDictionary& dictionary) override;

    // Replaces the connection by an executor of the caller (a replay of recordings); it serves
    // until Disconnect.
    void SetExecutor(std::unique_ptr<TODBCExecutor> executor) { executor_ = std::move(executor); }
    TODBCExecutor* Executor() const { return executor_.get(); }
    // The connection string that Connect hands to the driver manager, with the password.
    std::string ConnectionString() const;
    // The data source as messages name it: the DSN, else the DSN or driver of the string.
    std::string SourceName() const;

    // The schema filter, empty for all schemas but the system's.
    std::string SchemaFilter() const { return Parameters.GetValue("SCHEMANAME"); }

protected:
    // A name as a quoted identifier (double quotes; SQL Server uses brackets).
    virtual std::string QuoteIdentifier(std::string_view name) const;
    // The table's schema and name.
    std::vector<std::string> TableValues(const TVELEntity* entity) const override;
    // The schema filter when one is given.
    std::vector<std::string> DatabaseValues() const override;
    // " = ?" for a schema column with a filter, else " NOT IN (the system schemas)".
    std::string SchemaCondition(const std::string& column) const;
    // The rows of a statement with the values of the whole database.
    TDBRowSet RunForDatabase(std::string_view sql) { return Run(sql, DatabaseValues()); }

private:
    std::unique_ptr<TODBCExecutor> executor_;
};

}  // namespace ardvin
