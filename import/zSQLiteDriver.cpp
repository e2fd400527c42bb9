#include "zSQLiteDriver.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "zDBScript.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zSQLParser.h"

namespace ardvin {

// ---- queries ---------------------------------------------------------------------------------------

TSQLiteQuery::~TSQLiteQuery() {
    Close();
}

void TSQLiteQuery::Fail() const {
    throw EVELError(sqlite3_errmsg(db_));
}

void TSQLiteQuery::Open() {
    Close();
    const std::string sql = SQLText();
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement_, nullptr) != SQLITE_OK) Fail();
    if (!statement_) return; // a text without a statement has no rows
    for (size_t i = 0; i < Params.size(); ++i) {
        const int rc = Params[i] ? sqlite3_bind_text(statement_, static_cast<int>(i + 1), Params[i]->data(),
                                                     static_cast<int>(Params[i]->size()), SQLITE_TRANSIENT)
                                 : sqlite3_bind_null(statement_, static_cast<int>(i + 1));
        if (rc != SQLITE_OK) Fail();
    }
    const int count = sqlite3_column_count(statement_);
    for (int i = 0; i < count; ++i)
        columns_.emplace(UpperCase(sqlite3_column_name(statement_, i)), static_cast<size_t>(i));
    eof_ = false;
    Step();
}

void TSQLiteQuery::Step() {
    const int rc = sqlite3_step(statement_);
    row_.clear();
    if (rc == SQLITE_DONE) {
        eof_ = true;
        return;
    }
    if (rc != SQLITE_ROW) {
        eof_ = true;
        Fail();
    }
    const int count = sqlite3_column_count(statement_);
    row_.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (sqlite3_column_type(statement_, i) == SQLITE_NULL) {
            row_.emplace_back();
            continue;
        }
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, i));
        row_.emplace_back(std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(statement_, i))));
    }
}

void TSQLiteQuery::Next() {
    if (!eof_) Step();
}

const TDBField* TSQLiteQuery::FieldByName(std::string_view name) const {
    if (eof_) return nullptr;
    const auto it = columns_.find(UpperCase(name));
    return it == columns_.end() || it->second >= row_.size() ? nullptr : &row_[it->second];
}

void TSQLiteQuery::Close() {
    if (statement_) sqlite3_finalize(statement_);
    statement_ = nullptr;
    eof_ = true;
    row_.clear();
    columns_.clear();
}

void TSQLiteQuery::ExecSQL() {
    Close();
    const std::string sql = SQLText();
    const char* rest = sql.c_str();
    const char* const end = rest + sql.size();
    bool first = true;
    while (rest < end) {
        sqlite3_stmt* statement = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db_, rest, static_cast<int>(end - rest), &statement, &tail) != SQLITE_OK) Fail();
        rest = tail ? tail : end;
        if (!statement) continue; // blanks or comments after the last statement
        int rc = SQLITE_OK;
        for (size_t i = 0; first && rc == SQLITE_OK && i < Params.size(); ++i)
            rc = Params[i] ? sqlite3_bind_text(statement, static_cast<int>(i + 1), Params[i]->data(),
                                               static_cast<int>(Params[i]->size()), SQLITE_TRANSIENT)
                           : sqlite3_bind_null(statement, static_cast<int>(i + 1));
        first = false;
        if (rc == SQLITE_OK)
            do rc = sqlite3_step(statement);
            while (rc == SQLITE_ROW);
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) Fail();
    }
}

// ---- the connection ---------------------------------------------------------------------------------

std::string SQLiteIdentifier(std::string_view name) {
    std::string quoted;
    quoted.reserve(name.size() + 2);
    quoted += '"';
    for (const char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

TSQLiteConnection::~TSQLiteConnection() {
    Disconnect();
}

std::string TSQLiteConnection::FileName() const {
    const std::string file = Parameters.GetValue("databasefile");
    return file.empty() ? Parameters.GetValue("DatabaseName") : file;
}

void TSQLiteConnection::GetDescription(std::string& text) const {
    text = FileName();
}

void TSQLiteConnection::Connect() {
    Disconnect();
    const std::string file = FileName();
    const bool create = Parameters.GetValue("CreateDatabase") == "1";
    std::error_code error;
    if (file.empty() || (!create && !std::filesystem::is_regular_file(file, error)))
        throw EVELError("Database filename does not exist.");
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        throw EVELError(message);
    }
    db_ = db;
    sqlite3_busy_timeout(db_, 5000);
    // A file that is not a database only shows itself on the first read.
    try {
        Query("SELECT count(*) FROM sqlite_master")->Close();
    } catch (const EVELError&) {
        Disconnect();
        throw;
    }
}

void TSQLiteConnection::Disconnect() {
    if (!db_) return;
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

std::unique_ptr<TSQLiteQuery> TSQLiteConnection::Query(const std::string& sql,
                                                       std::vector<std::optional<std::string>> params) {
    if (!db_) throw EVELError("The database is not connected.");
    auto query = std::make_unique<TSQLiteQuery>(db_);
    query->AddSQL(sql);
    query->Params = std::move(params);
    query->Open();
    return query;
}

std::unique_ptr<TDBQuery> TSQLiteConnection::CreateQuery() {
    if (!db_) return nullptr;
    return std::make_unique<TSQLiteQuery>(db_);
}

std::unique_ptr<TDBScript> TSQLiteConnection::CreateScript() {
    std::unique_ptr<TDBScript> script = CreateDBScript(DBID);
    script->Target = Target;
    return script;
}

std::unique_ptr<TDBQuery> TSQLiteConnection::CreateTableQuery(std::string_view table) {
    std::unique_ptr<TDBQuery> query = CreateQuery();
    if (query) query->AddSQL("SELECT * FROM " + SQLiteIdentifier(table));
    return query;
}

int TSQLiteConnection::RowCount(std::string_view table) {
    const std::unique_ptr<TSQLiteQuery> query = Query("SELECT count(*) AS re_count FROM " + SQLiteIdentifier(table));
    return query->Eof() ? 0 : query->FieldByName("RE_COUNT")->AsInteger();
}

void TSQLiteConnection::DeleteRows(std::string_view table) {
    if (!db_) throw EVELError("The database is not connected.");
    TSQLiteQuery query(db_);
    query.AddSQL("DELETE FROM " + SQLiteIdentifier(table));
    query.ExecSQL();
}

void TSQLiteConnection::StartTransaction() {
    if (db_ && sqlite3_get_autocommit(db_)) Query("BEGIN")->Close();
}

void TSQLiteConnection::Commit() {
    if (db_ && !sqlite3_get_autocommit(db_)) Query("COMMIT")->Close();
}

void TSQLiteConnection::GetSQL(int kind, std::string& sql) const {
    // The lists of the import dialogs; the import itself reads the stored statements.
    switch (kind) {
    case qkTables:
    case qkTablesAlternative:
        sql = "SELECT name AS re_tablename FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
              "ESCAPE '\\' ORDER BY rowid";
        break;
    case qkViews:
        sql = "SELECT name AS re_viewname, sql AS re_body FROM sqlite_master WHERE type = 'view' ORDER BY rowid";
        break;
    default:
        sql.clear();
    }
}

void TSQLiteConnection::ImportStatements(TVELDataDictionary& dictionary, const std::vector<std::string>& statements) {
    if (statements.empty()) return;
    TVELSQLParser parser(&dictionary);
    parser.Options.Assign(Options);
    // A stored statement may end in a line comment: the separator goes on a line of its own.
    parser.Script = JoinStrings(statements, "\r\n;\r\n");
    parser.OnMessage = [this](TVELSQLParser*, int level, const std::string& text, TVELNamedObject* object) {
        Log(level, text, object);
    };
    parser.OnObjectAdded = [this](TVELSQLParser*, TVELNamedObject* object) { Added(object); };
    parser.Import();
}

void TSQLiteConnection::ReverseEngineerTables(TVELDataDictionary& dictionary) {
    std::set<std::string> wanted;
    for (const std::string& table : Tables)
        wanted.insert(UpperCase(table));
    // The stored statements, read in one pass (sqlite_master has no index of its own: a look-up
    // by name reads it whole).
    std::vector<std::string> tables, statements;
    std::unordered_map<std::string, std::pair<int, std::string>> indexStatements; // name -> (position, text)
    std::unordered_map<std::string, std::vector<std::string>> triggerStatements;  // upper-cased table
    {
        const std::unique_ptr<TSQLiteQuery> query =
            Query("SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
        for (int position = 0; !query->Eof(); query->Next(), ++position) {
            const std::string type = query->FieldByName("type")->AsString();
            const std::string name = query->FieldByName("name")->AsString();
            std::string sql = query->FieldByName("sql")->AsString();
            if (type == "table") {
                if (StartsText("sqlite_", name) || !wanted.count(UpperCase(name)) || !IncludeObject(name)) continue;
                tables.push_back(name);
                statements.push_back(std::move(sql));
            } else if (type == "index") {
                indexStatements.emplace(name, std::make_pair(position, std::move(sql)));
            } else if (type == "trigger") {
                triggerStatements[UpperCase(query->FieldByName("tbl_name")->AsString())].push_back(std::move(sql));
            }
        }
    }
    // Indexes made by CREATE INDEX keep their statement; those of keys and unique constraints
    // (origin "pk" and "u") come with the table's statement. The SQL import reads only the
    // plain columns of an index: an index on expressions is built here.
    struct TExpressionIndex {
        std::string Table, Name, SQL;
    };
    std::vector<TExpressionIndex> expressionIndexes;
    const bool indexes = Options.GetValue("RevEngIndexes") != "0";
    const bool triggers = Options.GetValue("RevEngTriggers") != "0";
    for (const std::string& table : tables) {
        if (indexes) {
            std::vector<std::pair<int, TExpressionIndex>> found; // by position in the catalogue
            std::vector<bool> expressions;
            const std::unique_ptr<TSQLiteQuery> query =
                Query("SELECT i.name, (SELECT count(*) FROM pragma_index_xinfo(i.name) AS x WHERE x.key = 1 "
                      "AND x.cid = -2) AS expressions FROM pragma_index_list(?1) AS i WHERE i.origin = 'c'",
                      {table});
            for (; !query->Eof(); query->Next()) {
                const std::string name = query->FieldByName("name")->AsString();
                const auto it = indexStatements.find(name);
                if (it == indexStatements.end()) continue;
                found.push_back({it->second.first, {table, name, it->second.second}});
                expressions.push_back(query->FieldByName("expressions")->AsInteger() > 0);
            }
            std::vector<size_t> order(found.size());
            for (size_t i = 0; i < order.size(); ++i) order[i] = i;
            std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return found[a].first < found[b].first; });
            for (const size_t i : order)
                if (expressions[i])
                    expressionIndexes.push_back(found[i].second);
                else
                    statements.push_back(found[i].second.SQL);
        }
        if (triggers)
            if (const auto it = triggerStatements.find(UpperCase(table)); it != triggerStatements.end())
                statements.insert(statements.end(), it->second.begin(), it->second.end());
    }
    ImportStatements(dictionary, statements);
    if (expressionIndexes.empty()) return;
    std::unordered_map<std::string, TVELEntity*> entities;
    std::vector<TVELEntity*> all;
    dictionary.CollectOfClass(all);
    for (TVELEntity* entity : all) entities.emplace(UpperCase(entity->GetName()), entity);
    for (const TExpressionIndex& index : expressionIndexes)
        if (const auto it = entities.find(UpperCase(index.Table)); it != entities.end())
            AddExpressionIndex(it->second, index.Name, index.SQL);
}

void TSQLiteConnection::AddExpressionIndex(TVELEntity* entity, const std::string& name, const std::string& sql) {
    // The elements of the column list, from the statement with its literals set aside.
    TDBScript script;
    script.Source = sql;
    script.Prepare();
    if (script.Statements.empty()) return;
    const std::string& text = script.Statements.front()->Text;
    const TVELWordList w(text);
    const int on = w.FindWord("ON");
    const int open = on < 0 ? -1 : w.FindWord("(", on);
    const int close = open < 0 ? -1 : w.MatchingClose(open);
    if (close < 0) return;
    std::vector<std::string> elements(1);
    for (int i = open + 1; i < close; ++i) {
        if (w.Depth(i) == w.Depth(open) + 1 && w[i] == ",")
            elements.emplace_back();
        else if (const std::string_view piece = w.Text(i, i + 1); piece.find_first_of("\r\n") != std::string_view::npos)
            elements.back() += ' ';
        else
            elements.back() += piece;
    }
    // What the library says of each element: a column (its name) or an expression, and the order.
    struct TKeyColumn {
        std::string Name;
        bool Expression, Descending;
    };
    std::vector<TKeyColumn> keys;
    {
        const std::unique_ptr<TSQLiteQuery> query =
            Query("SELECT name, cid, desc FROM pragma_index_xinfo(?1) WHERE key = 1 ORDER BY seqno", {name});
        for (; !query->Eof(); query->Next())
            keys.push_back({query->FieldByName("name")->AsString(), query->FieldByName("cid")->AsInteger() == -2,
                            query->FieldByName("desc")->AsInteger() != 0});
    }
    if (keys.size() != elements.size()) {
        Log(mlError, "Index columns for index " + DoubleQuoted(name) + " not found.", entity);
        return;
    }
    TVELIndex* index = entity->AddIndex(false);
    SetImportedName(*index, name);
    if (w.FindWord("UNIQUE") >= 0 && w.FindWord("UNIQUE") < on) index->IndexType = "UNIQUE";
    for (size_t i = 0; i < keys.size(); ++i) {
        std::string element = Trim(elements[i]);
        std::string sort;
        for (const std::string_view order : {std::string_view("ASC"), std::string_view("DESC")})
            if (element.size() > order.size() + 1 && SameText(element.substr(element.size() - order.size()), order) &&
                static_cast<unsigned char>(element[element.size() - order.size() - 1]) <= ' ') {
                sort = order;
                element = Trim(element.substr(0, element.size() - order.size()));
            }
        TVELIndexColumn* column = nullptr;
        if (auto* attribute = keys[i].Expression ? nullptr
                                                 : dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(keys[i].Name)))
            column = index->AddColumn(attribute);
        else
            column = index->AddExpressionColumn(script.RestoreStrings(element));
        if (!sort.empty()) column->SortOption = sort;
    }
    if (close + 1 < w.Count()) index->IndexOptions = Trim(script.RestoreStrings(w.Text(close + 1, w.Count())));
    Log(mlInfo, "Index " + DoubleQuoted(name) + " successfully imported.", index);
    Added(index);
}

void TSQLiteConnection::ReverseEngineerViews(TVELDataDictionary& dictionary) {
    std::vector<std::string> statements;
    const std::unique_ptr<TSQLiteQuery> query =
        Query("SELECT name, sql FROM sqlite_master WHERE type = 'view' AND sql IS NOT NULL ORDER BY rowid");
    for (; !query->Eof(); query->Next())
        if (IncludeObject(query->FieldByName("name")->AsString()))
            statements.push_back(query->FieldByName("sql")->AsString());
    ImportStatements(dictionary, statements);
}

}  // namespace ardvin
