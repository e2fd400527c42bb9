#include "zDBBoundConnection.h"

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zSQLParser.h"

namespace ardvin {

std::unique_ptr<TDBQuery> TDBBoundConnection::CreateQuery() {
    if (!Connected()) return nullptr;
    return std::make_unique<TDBMemoryQuery>(
        [this, values = inTable_ ? values_ : DatabaseValues()](const std::string& sql) { return Run(sql, values); });
}

std::unique_ptr<TDBQuery> TDBBoundConnection::CreateTableQuery(std::string_view table) {
    std::unique_ptr<TDBQuery> query = CreateQuery();
    if (query) query->AddSQL("SELECT * FROM " + QuoteName(table));
    return query;
}

int TDBBoundConnection::RowCount(std::string_view table) {
    const TDBRowSet rows = Run("SELECT COUNT(*) FROM " + QuoteName(table), {});
    return rows.Rows.empty() || rows.Rows[0].empty() ? 0 : rows.Rows[0][0].AsInteger();
}

void TDBBoundConnection::DeleteRows(std::string_view table) {
    Run("DELETE FROM " + QuoteName(table), {});
}

void TDBBoundConnection::ForTable(const TVELEntity* entity, const std::function<void()>& phase) {
    values_ = TableValues(entity);
    inTable_ = true;
    try {
        phase();
    } catch (...) {
        inTable_ = false;
        values_.clear();
        throw;
    }
    inTable_ = false;
    values_.clear();
}

TVELAttribute* TDBBoundConnection::AddColumn(TVELEntity* entity, const TDBQuery& query) {
    TVELAttribute* attribute = TDBConnection::AddColumn(entity, query);
    const TDBField* autoNumber = query.FieldByName("RE_AUTONUMBER");
    if (autoNumber && autoNumber->AsString() == "1") {
        attribute->AutoNumber = true;
        attribute->DataType->AutoNumber = true;
        if (const TDBField* seed = query.FieldByName("RE_SEED"); seed && !seed->IsNull())
            attribute->DataType->Seed = seed->AsInteger();
    }
    return attribute;
}

void TDBBoundConnection::ReverseEngineerColumns(TVELEntity* entity) {
    ForTable(entity, [&] { TDBConnection::ReverseEngineerColumns(entity); });
}

void TDBBoundConnection::ReverseEngineerPrimaryKey(TVELEntity* entity) {
    ForTable(entity, [&] { TDBConnection::ReverseEngineerPrimaryKey(entity); });
}

void TDBBoundConnection::ReverseEngineerCheckConstraints(TVELEntity* entity) {
    ForTable(entity, [&] {
        ForEachRow(qkCheckConstraints, entity, [&](const TDBQuery& row) {
            auto text = [&](const char* column) {
                const TDBField* field = row.FieldByName(column);
                return field ? field->AsString() : std::string();
            };
            const std::string column = text("RE_COLUMNNAME");
            auto* attribute =
                column.empty() ? nullptr : dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(column));
            TVELConstraint* constraint = attribute && attribute->CheckConstraint()->Value.empty()
                                             ? attribute->CheckConstraint()
                                             : entity->AddConstraint(ctCheck, clTable);
            SetImportedName(*constraint, text("RE_CONNAME"));
            constraint->Value = StripEnclosingParentheses(text("RE_CONSTRAINT"), 1);
            constraint->Comment = text("RE_COMMENT");
        });
    });
}

void TDBBoundConnection::ReverseEngineerUniqueConstraints(TVELEntity* entity) {
    ForTable(entity, [&] { TDBConnection::ReverseEngineerUniqueConstraints(entity); });
}

void TDBBoundConnection::ReverseEngineerIndexes(TVELEntity* entity) {
    ForTable(entity, [&] { TDBConnection::ReverseEngineerIndexes(entity); });
}

void TDBBoundConnection::ReverseEngineerTriggers(TVELEntity* entity) {
    ForTable(entity, [&] { TDBConnection::ReverseEngineerTriggers(entity); });
}

}  // namespace ardvin
