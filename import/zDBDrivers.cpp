#include "zDBDrivers.h"

#include <fnmatch.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBScript.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zDB2Driver.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zInterBaseDriver.h"
#include "zMySQLDriver.h"
#include "zOracleDriver.h"
#include "zPostgreSQLDriver.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSLDatatypes.h"
#include "zSQLParser.h"
#include "zSQLServerDriver.h"
#include "zSQLiteDriver.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin {

// ---- the log ---------------------------------------------------------------------------------------

std::string LogDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

void TVELLogger::Log(int level, const std::string& text, TVELNamedObject* object) {
    std::string line;
    if (level == mlError) {
        ++ErrorCount;
        if (Flags & flErrorPrefix) line = MessageLevelName(mlError) + " : ";
    } else if (object && (Flags & flObjectPrefix)) {
        line = object->GetName() + " : ";
    }
    line += text;
    if (Collect) Lines.push_back(line);
    if (OnLog) OnLog(this, level, text, object);
    if (level == mlError && !ContinueOnError) throw EVELError(text);
}

void TVELLogger::Clear() {
    Lines.clear();
    ErrorCount = 0;
}

std::string TVELLogger::SaveLog(const std::string& folder, const std::string& name) const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y%m%d", &local);
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name + "_" + date + ".txt";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& l : Lines) out << l << '\n';
    out.close();
    if (!out) throw EVELError("Unable to write the log file \"" + path + "\".");
    return path;
}

// ---- query results ---------------------------------------------------------------------------------

int32_t TDBField::AsInteger() const {
    return null_ ? 0 : StrToIntDef(Trim(value_), 0);
}

std::string TDBQuery::SQLText() const {
    return JoinStrings(SQL, "\n");
}

void TDBMemoryQuery::Open() {
    rows_ = source_ ? source_(SQLText()) : TDBRowSet();
    row_ = 0;
    columns_.clear();
    for (size_t i = 0; i < rows_.Columns.size(); ++i)
        columns_.emplace(UpperCase(rows_.Columns[i]), i);
}

const TDBField* TDBMemoryQuery::FieldByName(std::string_view name) const {
    if (Eof()) return nullptr;
    const auto it = columns_.find(UpperCase(name));
    if (it == columns_.end()) return nullptr;
    const std::vector<TDBField>& row = rows_.Rows[row_];
    return it->second < row.size() ? &row[it->second] : nullptr;
}

void TDBMemoryQuery::Close() {
    rows_ = TDBRowSet();
    row_ = 0;
    columns_.clear();
}

// ---- reading rows ----------------------------------------------------------------------------------

namespace {

std::string Q(std::string_view text) {
    return DoubleQuoted(text);
}

// The text of a column; empty when the column is missing or null.
std::string Text(const TDBQuery& row, std::string_view column) {
    const TDBField* field = row.FieldByName(column);
    return field && !field->IsNull() ? field->AsString() : std::string();
}

bool Present(const TDBQuery& row, std::string_view column) {
    const TDBField* field = row.FieldByName(column);
    return field && !field->IsNull();
}

int32_t Integer(const TDBQuery& row, std::string_view column, int32_t def) {
    return Present(row, column) ? StrToIntDef(Trim(Text(row, column)), def) : def;
}

bool TruthValue(std::string_view text) {
    const std::string upper = UpperCase(Trim(text));
    return upper == "1" || upper == "YES" || upper == "TRUE" || upper == "Y";
}

std::string Qualified(const std::string& schema, const std::string& name) {
    return schema.empty() ? name : schema + "." + name;
}

// The filter masks joined with the extra masks by ";".
std::vector<std::string> FilterMasks(std::string_view filter, std::string_view extra) {
    std::string masks = Trim(filter);
    const std::string more = Trim(extra);
    if (!more.empty()) {
        if (!masks.empty() && masks.back() != ';') masks += ';';
        masks += more;
    }
    std::vector<std::string> out;
    for (const std::string& mask : SplitString(masks, ';'))
        if (std::string trimmed = Trim(mask); !trimmed.empty()) out.push_back(std::move(trimmed));
    return out;
}

template <class T> std::unique_ptr<TDBConnection> MakeConnection() {
    return std::make_unique<T>();
}

} // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    return fnmatch(std::string(mask).c_str(), std::string(name).c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0;
}

// ---- connections -----------------------------------------------------------------------------------

TDBConnection::~TDBConnection() = default;

bool TDBConnection::Enabled(std::string_view option) const {
    return Options.GetValue(option) != "0";
}

void TDBConnection::Added(TVELNamedObject* object) {
    if (OnObjectAdded) OnObjectAdded(this, object);
}

bool TDBConnection::IncludeObject(std::string_view qualifiedName) const {
    const std::vector<std::string> include = FilterMasks(IncludeFilter, ExtraInclude);
    const std::vector<std::string> exclude = FilterMasks(ExcludeFilter, ExtraExclude);
    auto matches = [&](const std::string& mask) { return MatchesMask(qualifiedName, mask); };
    if (!include.empty() && std::none_of(include.begin(), include.end(), matches)) return false;
    return std::none_of(exclude.begin(), exclude.end(), matches);
}

std::string TDBConnection::QueryText(int kind, const TVELEntity* table) const {
    std::string sql;
    GetSQL(kind, sql);
    if (sql.empty()) return sql;
    sql = ReplaceAllText(sql, "%schemaname", Parameters.GetValue("SCHEMANAME"));
    if (table) {
        sql = ReplaceAllText(sql, "%schemaobject", table->SchemaName);
        sql = ReplaceAll(sql, "%s", table->GetName());
    }
    return sql;
}

std::unique_ptr<TDBQuery> TDBConnection::CatalogueQuery(int kind, const TVELEntity* table) {
    const std::string sql = QueryText(kind, table);
    if (sql.empty()) return nullptr;
    std::unique_ptr<TDBQuery> query = CreateQuery();
    if (query) query->AddSQL(sql);
    return query;
}

void TDBConnection::ForEachRow(int kind, const TVELEntity* table, const std::function<void(const TDBQuery&)>& row) {
    std::unique_ptr<TDBQuery> query = CatalogueQuery(kind, table);
    if (!query) return;
    query->Open();
    for (; !query->Eof(); query->Next())
        row(*query);
    query->Close();
}

void TDBConnection::RunStatement(const std::string& sql) {
    std::unique_ptr<TDBQuery> query = CreateQuery();
    if (!query) return;
    query->AddSQL(sql);
    query->ExecSQL();
}

bool TDBConnection::MergeDomainCheck(TVELDataDictionary& dictionary, std::string_view domainName,
                                     std::string_view check, std::string_view comment) {
    TVELDomain* domain = dictionary.FindDomain(domainName);
    if (!domain) return false;
    std::string& value = domain->CheckConstraint()->Value;
    const std::string added = Trim(check);
    if (value.empty())
        value = added;
    else if (!added.empty())
        value = "(" + value + ") AND (" + added + ")";
    if (!comment.empty()) domain->Comment = std::string(comment);
    return true;
}

TVELSQLParser& TDBConnection::TypeReader(TVELDataDictionary* dictionary) {
    if (!typeReader_ || typeReader_->Dictionary != dictionary) {
        typeReader_ = std::make_unique<TVELSQLParser>(dictionary);
        typeReader_->IndexDictionary();
    }
    return *typeReader_;
}

void TDBConnection::ReverseEngineer(TVELDataDictionary& dictionary) {
    if (DBID.empty()) throw EVELError("Please set DBID first before calling this procedure.");
    if (!Target) Target = dictionary.GetDatabaseSettings();
    typeReader_.reset();
    Initialize();
    Log(mlInfo, "Reverse engineer/import " + Target->DBMSName + " database.");
    Log(mlInfo, "Date/time: " + LogDateTime());
    {
        const TVELImportScope scope(dictionary);
        if (Enabled("RevEngRules")) ReverseEngineerRules(dictionary);
        if (Enabled("RevEngSequences")) ReverseEngineerSequences(dictionary);
        ReverseEngineerDomains(dictionary);
        ReverseEngineerTables(dictionary);
        if (Enabled("RevEngTriggers")) ReverseEngineerDatabaseTriggers(dictionary);
        if (Enabled("RevEngProcedures")) ReverseEngineerProcedures(dictionary);
        if (Enabled("RevEngViews")) ReverseEngineerViews(dictionary);
        if (Enabled("RevEngRelationships")) ReverseEngineerRelationships(dictionary);
    }
    MatchImportedDataTypes(dictionary, [this](TVELNamedObject* object, int level, const std::string& text) {
        Log(level, text, object);
    });
    CompleteImportedModel(dictionary, Options);
}

void TDBConnection::ReverseEngineerTables(TVELDataDictionary& dictionary) {
    std::set<std::string> wanted;
    for (const std::string& table : Tables)
        wanted.insert(UpperCase(table));
    // The tables first, then their members: a driver's connection need not run a second query
    // while the first one is open.
    std::vector<TVELEntity*> entities;
    ForEachRow(qkTables, nullptr, [&](const TDBQuery& row) {
        const std::string name = Text(row, "RE_TABLENAME");
        const std::string schema = Text(row, "RE_SCHEMANAME");
        const std::string qualified = Qualified(schema, name);
        if (name.empty() || !wanted.count(UpperCase(qualified)) || !IncludeObject(qualified)) return;
        auto* entity = static_cast<TVELEntity*>(NewImportedObject(dictionary, otEntity, schema, name));
        entity->Comment = Text(row, "RE_COMMENT");
        Log(mlInfo, "Adding table " + Q(name) + ".");
        Added(entity);
        entities.push_back(entity);
    });
    for (TVELEntity* entity : entities) {
        ReverseEngineerColumns(entity);
        ReverseEngineerPrimaryKey(entity);
        if (Enabled("RevEngCheckConstraints")) ReverseEngineerCheckConstraints(entity);
        if (Enabled("RevEngUniqueConstraints")) ReverseEngineerUniqueConstraints(entity);
        if (Enabled("RevEngIndexes")) ReverseEngineerIndexes(entity);
        if (Enabled("RevEngTriggers")) ReverseEngineerTriggers(entity);
    }
}

void TDBConnection::ReverseEngineerColumns(TVELEntity* entity) {
    ForEachRow(qkColumns, entity, [&](const TDBQuery& row) { AddColumn(entity, row); });
}

TVELAttribute* TDBConnection::AddColumn(TVELEntity* entity, const TDBQuery& row) {
    TVELAttribute* attribute = entity->AddAttribute(false);
    attribute->SetName(Text(row, "RE_COLUMNNAME"));
    bool notNull = false;
    if (Present(row, "RE_REQUIRED")) notNull = TruthValue(Text(row, "RE_REQUIRED"));
    if (Present(row, "RE_NOTREQUIRED")) notNull = !TruthValue(Text(row, "RE_NOTREQUIRED"));
    attribute->SetNotNull(notNull);
    if (const std::string name = Text(row, "RE_NULLCONNAME"); notNull && !name.empty())
        SetImportedName(*attribute->NotNullConstraint(), name);
    if (const std::string value = StripEnclosingParentheses(Text(row, "RE_DEFAULTVALUE"), 1); !value.empty())
        attribute->SetDefaultValue(value);
    SetImportedName(*attribute->DefaultConstraint(), Text(row, "RE_DEFAULTCONNAME"));
    attribute->Comment = Text(row, "RE_COMMENT");
    attribute->Collate = Text(row, "RE_COLLATION");
    attribute->AttributeOptions = Text(row, "RE_COLUMNOPTIONS");
    ReadDataType(attribute, row);
    if (TruthValue(Text(row, "RE_ISCOMPUTED"))) ComputedColumn(attribute);
    Log(mlInfo, "Adding column " + Q(entity->GetName() + "." + attribute->GetName()) + ".");
    Added(attribute);
    return attribute;
}

void TDBConnection::ReadDataType(TVELDatabaseObject* object, const TDBQuery& row) {
    if (const std::string script = Text(row, "RE_SCRIPTDATATYPE"); !script.empty()) {
        SetScriptDataType(object, script);
    } else {
        const std::string length =
            Present(row, "RE_CHAR_LENGTH") ? Text(row, "RE_CHAR_LENGTH") : Text(row, "RE_LENGTH");
        SetDataType(object, Text(row, "RE_DATATYPE"), Integer(row, "RE_INCREMENT", 1), Integer(row, "RE_SEED", 1),
                    TruthValue(Text(row, "RE_AUTONUMBER")), Integer(row, "RE_SCALE", 0),
                    Integer(row, "RE_PRECISION", 0), Trim(length));
    }
    if (!Present(row, "RE_CHARACTERSET")) return;
    if (const auto* attribute = dynamic_cast<TVELAttribute*>(object))
        attribute->DataType->CharacterSet = Text(row, "RE_CHARACTERSET");
    else if (const auto* domain = dynamic_cast<TVELDomain*>(object))
        domain->DataType->CharacterSet = Text(row, "RE_CHARACTERSET");
}

void TDBConnection::SetDataType(TVELDatabaseObject* object, std::string_view typeName, int32_t increment,
                                int32_t seed, bool autoNumber, int32_t scale, int32_t precision,
                                std::string_view length) {
    (void)scale;
    TVELDataDictionary* dictionary = object->RootDictionary();
    auto* attribute = dynamic_cast<TVELAttribute*>(object);
    if (attribute && dictionary)
        if (TVELDomain* domain = TypeReader(dictionary).FindDomain(typeName)) {
            attribute->SetDomainID(domain->ID);
            return;
        }
    TVELDataType* type = nullptr;
    if (attribute)
        type = attribute->DataType.get();
    else if (auto* domain = dynamic_cast<TVELDomain*>(object))
        type = domain->DataType.get();
    if (!type) return;
    std::string name(typeName);
    if (const TSLDatatypes* types = dictionary ? dictionary->GetDataTypes() : nullptr)
        if (const int index = types->IndexByNameOrSynonym(name); index >= 0) name = types->ListNames()[index];
    type->DataType = name;
    type->Length = length.empty() ? std::string("0") : std::string(length);
    type->Precision = precision;
    if (autoNumber) {
        type->Seed = seed;
        type->Increment = increment;
        type->AutoNumber = true;
        if (attribute) attribute->AutoNumber = true;
    }
}

void TDBConnection::SetScriptDataType(TVELDatabaseObject* object, std::string_view text) {
    TypeReader(object->RootDictionary()).SetScriptDataType(object, text);
}

void TDBConnection::ReverseEngineerPrimaryKey(TVELEntity* entity) {
    TVELConstraint& key = *entity->PrimaryKey;
    key.SetName("");
    ForEachRow(qkPrimaryKey, entity, [&](const TDBQuery& row) {
        SetImportedName(key, Text(row, "RE_CONNAME"));
        if (auto* attribute = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(Text(row, "RE_COLUMNNAME"))))
            entity->AddToPrimaryKey(attribute);
    });
}

void TDBConnection::ReverseEngineerUniqueConstraints(TVELEntity* entity) {
    std::map<std::string, TVELConstraint*> constraints;
    ForEachRow(qkUniqueConstraints, entity, [&](const TDBQuery& row) {
        const std::string name = Text(row, "RE_CONNAME");
        TVELConstraint*& constraint = constraints[UpperCase(name)];
        if (!constraint) {
            constraint = entity->AddConstraint(ctUnique, clTable);
            SetImportedName(*constraint, name);
        }
        if (auto* attribute = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(Text(row, "RE_COLUMNNAME"))))
            constraint->AttributeIDs.Add(attribute);
    });
}

void TDBConnection::ReverseEngineerCheckConstraints(TVELEntity* entity) {
    ForEachRow(qkCheckConstraints, entity, [&](const TDBQuery& row) {
        TVELConstraint* constraint = entity->AddConstraint(ctCheck, clTable);
        SetImportedName(*constraint, Text(row, "RE_CONNAME"));
        constraint->Value = StripEnclosingParentheses(Text(row, "RE_CONSTRAINT"), 1);
        constraint->Comment = Text(row, "RE_COMMENT");
    });
}

void TDBConnection::ReverseEngineerTriggers(TVELEntity* entity) {
    ForEachRow(qkTriggers, entity, [&](const TDBQuery& row) {
        const std::string name = Text(row, "RE_TRIGGERNAME");
        const std::string body = NormalizeLineBreaks(Text(row, "RE_BODY"));
        if (auto* trigger = dynamic_cast<TVELTrigger*>(entity->Triggers.FindByName(name))) {
            trigger->Code += body; // catalogues deliver long bodies in several rows
            return;
        }
        TVELTrigger* trigger = entity->AddTrigger(false);
        trigger->SetName(name);
        trigger->Code = body;
        trigger->Comment = Text(row, "RE_COMMENT");
        Log(mlInfo, "Adding trigger " + Q(entity->GetName() + "." + name) + ".");
        Added(trigger);
    });
}

void TDBConnection::ReverseEngineerIndexes(TVELEntity* entity) {
    const bool sortOptions =
        Target && std::any_of(Target->IdxColumnOrderCodesList.begin(), Target->IdxColumnOrderCodesList.end(),
                              [](const std::string& code) { return !code.empty(); });
    ForEachRow(qkIndexes, entity, [&](const TDBQuery& row) {
        const std::string name = Text(row, "RE_INDEXNAME");
        auto* index = dynamic_cast<TVELIndex*>(entity->Indexes.FindByName(name));
        if (!index) {
            index = entity->AddIndex(false);
            SetImportedName(*index, name);
            Log(mlInfo, "Adding index " + Q(entity->GetName() + "." + name) + ".");
            const std::string kind = UpperCase(Text(row, "RE_INDEXTYPE"));
            if (Target && !kind.empty())
                for (const std::string& code : Target->IdxTypeCodesList)
                    if (UpperCase(code) == kind) index->IndexType = code;
            index->Clustering = Text(row, "RE_CLUSTERING");
            index->Comment = Text(row, "RE_COMMENT");
            index->IndexOptions = Text(row, "RE_INDEXOPTIONS");
            Added(index);
        }
        const std::string columnText = Text(row, "RE_COLUMNNAME");
        TVELIndexColumn* column = nullptr;
        if (auto* attribute = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(columnText)))
            column = index->AddColumn(attribute);
        else
            column = index->AddExpressionColumn(columnText);
        if (sortOptions && column) NormalizeName(Text(row, "RE_SORTOPTION"), column->SortOption);
    });
}

void TDBConnection::ReverseEngineerRelationships(TVELDataDictionary& dictionary) {
    std::unordered_map<std::string, TVELEntity*> entities;
    std::vector<TVELEntity*> all;
    dictionary.CollectOfClass(all);
    for (TVELEntity* entity : all)
        entities.emplace(UpperCase(Qualified(entity->SchemaName, entity->GetName())), entity);
    auto find = [&](const std::string& schema, const std::string& name) {
        const auto it = entities.find(UpperCase(Qualified(schema, name)));
        return it == entities.end() ? nullptr : it->second;
    };
    std::map<std::string, TVELRelationship*> relationships;
    ForEachRow(qkRelationships, nullptr, [&](const TDBQuery& row) {
        TVELEntity* parent = find(Text(row, "RE_PARENTSCHEMA"), Text(row, "RE_PARENT"));
        TVELEntity* child = find(Text(row, "RE_CHILDSCHEMA"), Text(row, "RE_CHILD"));
        if (!parent || !child) return;
        auto* parentColumn = dynamic_cast<TVELAttribute*>(parent->Attributes.FindByName(Text(row, "RE_PARENTCOLUMN")));
        auto* childColumn = dynamic_cast<TVELAttribute*>(child->Attributes.FindByName(Text(row, "RE_CHILDCOLUMN")));
        if (!parentColumn || !childColumn) return;
        const std::string name = Text(row, "RE_CONNAME");
        TVELRelationship*& relationship = relationships[UpperCase(child->GetNonQuotedQualifiedName() + "\n" + name)];
        if (!relationship) {
            relationship = NewImportedRelationship(dictionary, parent, child, name, name);
            relationship->UpdateRule = RuleFromText(Text(row, "RE_UPDATERULE"));
            relationship->DeleteRule = RuleFromText(Text(row, "RE_DELETERULE"));
            Log(mlInfo, "Adding relationship " + Q(name) + ".");
            Added(relationship);
        }
        AddImportedPair(*relationship, parentColumn, childColumn);
    });
}

void TDBConnection::ReverseEngineerDomains(TVELDataDictionary& dictionary) {
    ForEachRow(qkDomains, nullptr, [&](const TDBQuery& row) {
        const std::string name = Text(row, "RE_DOMAINNAME");
        const std::string schema = Text(row, "RE_SCHEMANAME");
        if (name.empty() || !IncludeObject(Qualified(schema, name))) return;
        auto* domain = static_cast<TVELDomain*>(NewImportedObject(dictionary, otDomain, schema, name));
        ReadDataType(domain, row);
        domain->DefaultConstraint()->Value = StripEnclosingParentheses(Text(row, "RE_DEFAULTVALUE"), 1);
        SetImportedName(*domain->DefaultConstraint(), Text(row, "RE_DEFAULTCONNAME"));
        domain->CheckConstraint()->Value = StripEnclosingParentheses(Text(row, "RE_CHECKCONSTRAINT"), 1);
        SetImportedName(*domain->CheckConstraint(), Text(row, "RE_CHECKCONNAME"));
        domain->Collate = Text(row, "RE_COLLATION");
        domain->Comment = Text(row, "RE_COMMENT");
        Log(mlInfo, "Adding domain " + Q(name) + ".");
        Added(domain);
    });
    typeReader_.reset(); // the columns will find the new domains
}

void TDBConnection::ReadCodeObjects(TVELDataDictionary& dictionary, int kind, int type,
                                    std::string_view nameColumn) {
    std::unordered_map<std::string, TVELCodeObject*> known;
    for (int i = 0; i < dictionary.Count(); ++i)
        if (TVELDatabaseObject* object = dictionary.Object(i); object->ObjectType == type)
            known.emplace(UpperCase(object->GetNonQuotedQualifiedName()), static_cast<TVELCodeObject*>(object));
    ForEachRow(kind, nullptr, [&](const TDBQuery& row) {
        const std::string name = Text(row, nameColumn);
        const std::string schema = Text(row, "RE_SCHEMANAME");
        if (name.empty()) return;
        const std::string body = NormalizeLineBreaks(Text(row, "RE_BODY"));
        const std::string qualified = Qualified(schema, name);
        TVELCodeObject*& object = known[UpperCase(qualified)];
        if (object) {
            object->Code += body; // catalogues deliver long bodies in several rows
            return;
        }
        if (!IncludeObject(qualified)) return;
        object = static_cast<TVELCodeObject*>(NewImportedObject(dictionary, type, schema, name));
        object->Code = body;
        object->Comment = Text(row, "RE_COMMENT");
        const char* what = "procedure";
        if (type == otView) {
            what = "view";
        } else if (type == otRule) {
            what = "rule";
            static_cast<TVELRule*>(object)->RuleType = Text(row, "RE_RULETYPE");
        }
        Log(mlInfo, std::string("Adding ") + what + " " + Q(name) + ".");
        Added(object);
    });
}

void TDBConnection::ReverseEngineerProcedures(TVELDataDictionary& dictionary) {
    ReadCodeObjects(dictionary, qkProcedures, otProcedure, "RE_PROCNAME");
}

void TDBConnection::ReverseEngineerFunctions(TVELDataDictionary& dictionary) {
    ReadCodeObjects(dictionary, qkFunctions, otProcedure, "RE_PROCNAME");
}

void TDBConnection::ReverseEngineerViews(TVELDataDictionary& dictionary) {
    ReadCodeObjects(dictionary, qkViews, otView, "RE_VIEWNAME");
}

void TDBConnection::ReverseEngineerRules(TVELDataDictionary& dictionary) {
    ReadCodeObjects(dictionary, qkRules, otRule, "RE_RULENAME");
}

uint8_t TDBConnection::RuleFromText(std::string_view text) const {
    const std::string upper = UpperCase(Trim(text));
    if (upper == "CASCADE") return raCascade;
    if (upper == "SET NULL" || upper == "SET_NULL") return raSetNull;
    if (upper == "RESTRICT") return raRestrict;
    if (upper == "SET DEFAULT" || upper == "SET_DEFAULT") return raSetDefault;
    return raNone;
}

void TDBConnection::NormalizeName(std::string_view text, std::string& result) const {
    result = UpperCase(text);
}

std::unique_ptr<TDBScript> TDBConnection::CreateScript() {
    auto script = std::make_unique<TDBScript>();
    script->Target = Target;
    return script;
}

std::unique_ptr<TDBQuery> TDBConnection::CreateTableQuery(std::string_view table) {
    (void)table;
    return nullptr;
}

void TDBConnection::ListNames(int kind, std::string_view nameColumn, std::vector<std::string>& list) {
    list.clear();
    ForEachRow(kind, nullptr, [&](const TDBQuery& row) {
        const std::string name = Text(row, nameColumn);
        if (!name.empty()) list.push_back(Qualified(Text(row, "RE_SCHEMANAME"), name));
    });
}

void TDBConnection::ListTableSchemas(std::vector<std::string>& list) {
    list.clear();
    ForEachRow(qkTables, nullptr, [&](const TDBQuery& row) {
        const std::string schema = Text(row, "RE_SCHEMANAME");
        if (std::find(list.begin(), list.end(), schema) == list.end()) list.push_back(schema);
    });
}

void TDBConnection::ListTables(std::vector<std::string>& list) {
    ListNames(qkTables, "RE_TABLENAME", list);
}

void TDBConnection::ListViews(std::vector<std::string>& list) {
    ListNames(qkViews, "RE_VIEWNAME", list);
}

void TDBConnection::ListProcedures(std::vector<std::string>& list) {
    ListNames(qkProcedures, "RE_PROCNAME", list);
}

void TDBConnection::ListSequences(std::vector<std::string>& list) {
    ListNames(qkSequences, "RE_SEQUENCENAME", list);
}

void TDBConnection::ListDomains(std::vector<std::string>& list) {
    ListNames(qkDomains, "RE_DOMAINNAME", list);
}

void TDBConnection::ListRelationships(std::vector<std::string>& list) {
    list.clear();
    ForEachRow(qkRelationships, nullptr, [&](const TDBQuery& row) {
        const std::string name = Text(row, "RE_CONNAME");
        if (!name.empty() && std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
    });
}

int TDBConnection::RowCount(std::string_view table) {
    std::unique_ptr<TDBQuery> query = CreateQuery();
    if (!query) return 0;
    query->AddSQL("SELECT COUNT(*) AS RE_COUNT FROM " + std::string(table));
    query->Open();
    const int count = query->Eof() ? 0 : Integer(*query, "RE_COUNT", 0);
    query->Close();
    return count;
}

void TDBConnection::DeleteRows(std::string_view table) {
    RunStatement("DELETE FROM " + std::string(table));
}

void TDBConnection::RunTableStatement1(std::string_view table) {
    std::string sql;
    GetTableStatement1(table, sql);
    if (!sql.empty()) RunStatement(sql);
}

void TDBConnection::RunTableStatement2(std::string_view table) {
    std::string sql;
    GetTableStatement2(table, sql);
    if (!sql.empty()) RunStatement(sql);
}

std::unique_ptr<TDBScript> TSQLConnection::CreateScript() {
    std::unique_ptr<TDBScript> script = CreateDBScript(DBID);
    script->Target = Target;
    return script;
}

// ---- the driver factory ------------------------------------------------------------------------------

const std::vector<TDBDriverEntry>& DBDrivers() {
    static const std::vector<TDBDriverEntry> drivers = {
        {"sql", MakeConnection<TSQLConnection>},         {"postgresql", MakeConnection<TPostgreSQLConnection>},
        {"mysql", MakeConnection<TMySQLConnection>},     {"sqlite", MakeConnection<TSQLiteConnection>},
        {"interbase", MakeConnection<TInterBaseConnection>}, {"mssqlserver", MakeConnection<TSQLServerConnection>},
        {"oracle", MakeConnection<TOracleConnection>},   {"db2", MakeConnection<TDB2Connection>},
    };
    return drivers;
}

std::unique_ptr<TDBConnection> CreateConnection(std::string_view driverName) {
    for (const TDBDriverEntry& driver : DBDrivers())
        if (driverName == driver.Name) {
            std::unique_ptr<TDBConnection> connection = driver.Create();
            connection->DBID = std::string(driverName);
            return connection;
        }
    throw EVELError("Invalid database driver. Database driver " + Q(driverName) + " not found.");
}

// ---- imports --------------------------------------------------------------------------------------------

void ImportFromDatabase(TDBConnection& connection, TVELDataDictionary& dictionary,
                        const TVELSettingsList& parameters, const TVELSettingsList& options,
                        const std::vector<std::string>* tables, std::vector<std::string>* log) {
    if (connection.DBID.empty()) connection.DBID = dictionary.GetDatabaseSettings()->DriverName;
    if (!connection.Target) connection.Target = dictionary.GetDatabaseSettings();
    connection.Parameters.Assign(parameters);
    connection.Options.Assign(options);
    auto handOver = [&] {
        if (log) log->insert(log->end(), connection.Lines.begin(), connection.Lines.end());
    };
    try {
        connection.Connect();
        if (tables)
            connection.Tables = *tables;
        else
            connection.ListTables(connection.Tables);
        connection.ReverseEngineer(dictionary);
        connection.Disconnect();
    } catch (...) {
        handOver();
        throw;
    }
    handOver();
    if (options.GetValue("CheckWhetherImportWasSuccessFul") == "1") ImportCheck(dictionary);
}

void ImportFromDatabase(TVELDataDictionary& dictionary, const TVELSettingsList& parameters,
                        const TVELSettingsList& options, const std::vector<std::string>* tables,
                        std::vector<std::string>* log) {
    std::unique_ptr<TDBConnection> connection = CreateConnection(dictionary.GetDatabaseSettings()->DriverName);
    ImportFromDatabase(*connection, dictionary, parameters, options, tables, log);
}

int ImportFromScript(TVELDataDictionary& dictionary, const std::string& fileName, const TVELSettingsList& options,
                     std::vector<std::string>* log) {
    const std::string name = Trim(fileName);
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        throw EVELError("Database structure dump file (sql file) " + Q(name) + " does not exist.");
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) throw EVELError("Unable to read the file " + Q(name) + ".");
    TVELSQLParser parser(&dictionary);
    parser.Options.Assign(options);
    parser.Script = text.str();
    parser.Import();
    if (log) log->insert(log->end(), parser.Messages.begin(), parser.Messages.end());
    return parser.ErrorCount();
}

void ImportCheck(const TVELDataDictionary& dictionary) {
    if (dictionary.Count() > 0) return;
    const std::string driver = dictionary.GetDatabaseSettings()->DriverName;
    const std::string found = "Connection to the database is correct but no database objects were found.";
    const std::string typo = found + " This is often caused by a \"typo\" in one of the connection parameters:";
    const std::string schema =
        "* Owner/Schema name\nSuggestion, use an empty Owner/Schema name field to see which schemas can be imported "
        "with your user name/password.";
    if (driver == "oracle")
        throw EVELError(typo + "\n* Case sensitive\nAll fields (database name, schema/owner etc) are case sensitive "
                               "when connecting to an Oracle database. Please be sure you use the correct casing.\n\n" +
                        schema);
    if (driver == "mssqlserver") throw EVELError(typo + "\n\n" + schema);
    if (driver == "postgresql")
        throw EVELError(found + " Please try it again without an Owner/schema name.\n\n" + schema);
}

} // namespace ardvin
