#include "zSQLParser.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <unordered_set>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zDBScript.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSLDatatypes.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin {

namespace {

constexpr size_t npos = std::string_view::npos;

std::string Q(std::string_view text) {
    return DoubleQuoted(text);
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return SameText(word, w); });
}

bool IsLineBreak(std::string_view entry) {
    return !entry.empty() && (entry[0] == '\r' || entry[0] == '\n');
}

bool IsBlankEntry(std::string_view entry) {
    return entry.empty() || entry == " " || entry == "\t" || IsLineBreak(entry);
}

bool EndsText(std::string_view suffix, std::string_view s) {
    return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

std::string QualifiedKey(std::string_view schema, std::string_view name) {
    std::string key;
    key.reserve(schema.size() + name.size() + 1);
    if (!schema.empty()) {
        key = UpperCase(schema);
        key += '.';
    }
    key += UpperCase(name);
    return key;
}


char CloserOf(char open) {
    switch (open) {
    case '"':
    case '\'':
    case '`':
        return open;
    case '[':
        return ']';
    default:
        return '\0';
    }
}

// The end of the quoted part that opens at i (one past its closing quote); doubled quotes
// inside stand for themselves.
size_t QuotedEnd(std::string_view s, size_t i) {
    const char close = CloserOf(s[i]);
    size_t j = i + 1;
    while (j < s.size()) {
        if (s[j] == close) {
            if (j + 1 < s.size() && s[j + 1] == close) {
                j += 2;
                continue;
            }
            return j + 1;
        }
        ++j;
    }
    return s.size();
}

// The position of the ")" that closes the "(" at open, quotes respected; npos when none.
size_t ClosingParen(std::string_view s, size_t open) {
    int depth = 0;
    for (size_t i = open; i < s.size();) {
        const char c = s[i];
        if (CloserOf(c)) {
            i = QuotedEnd(s, i);
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return i;
        ++i;
    }
    return npos;
}

// The type of a data type value: the column's or the domain's, nullptr for other objects.
TVELDataType* DataTypeOf(TVELDatabaseObject* object) {
    if (auto* attribute = dynamic_cast<TVELAttribute*>(object)) return attribute->DataType.get();
    if (auto* domain = dynamic_cast<TVELDomain*>(object)) return domain->DataType.get();
    return nullptr;
}

// The object words of a definition statement: the word after CREATE or ALTER (past its
// modifiers) that says what is defined.
bool IsObjectKeyword(std::string_view word) {
    return IsOneOf(word, {"TABLE", "VIEW", "PROCEDURE", "PROC", "FUNCTION", "TRIGGER", "SEQUENCE", "GENERATOR",
                          "INDEX", "DOMAIN", "TYPE", "RULE", "DEFAULT", "SCHEMA", "DATABASE", "PACKAGE",
                          "SYNONYM", "EVENT", "ROLE", "USER", "EXTENSION", "TABLESPACE", "LOGIN"});
}

// Replaces the name written after each prefix by the placeholder where it is the object's name;
// with firstOnly just the name after the first occurrence of each prefix is looked at.
std::string ReplaceOwnName(const std::string& code, std::initializer_list<std::string_view> prefixes,
                           std::string_view objectName, std::string_view placeholder, bool firstOnly = false) {
    std::string out = code;
    for (std::string_view prefix : prefixes) {
        bool seen = false;
        for (size_t at = FindText(out, prefix); at != npos && !(firstOnly && seen); at = FindText(out, prefix, at + 1)) {
            if (at > 0 && (std::isalnum(static_cast<unsigned char>(out[at - 1])) || out[at - 1] == '_')) continue;
            seen = true;
            size_t begin = at + prefix.size();
            while (begin < out.size() && (out[begin] == ' ' || out[begin] == '\t'))
                ++begin;
            size_t end = begin;
            while (end < out.size()) {
                const char c = out[end];
                if (CloserOf(c)) {
                    end = QuotedEnd(out, end);
                } else if (c == ' ' || c == '\t' || c == '(' || c == ';' || c == '\r' || c == '\n' || c == ',') {
                    break;
                } else {
                    ++end;
                }
            }
            if (end == begin) continue;
            std::string schema, name;
            SplitQualifiedName(std::string_view(out).substr(begin, end - begin), schema, name);
            if (!SameText(name, objectName)) continue;
            out.replace(begin, end - begin, placeholder);
        }
    }
    return out;
}

// Whether the attributes are the same set as the key (same count, every one in it).
bool SameAttributes(const std::vector<TVELAttribute*>& columns, const std::vector<TVELAttribute*>& key) {
    if (key.empty() || columns.size() != key.size()) return false;
    return std::all_of(columns.begin(), columns.end(), [&](const TVELAttribute* a) {
        return a && std::find(key.begin(), key.end(), a) != key.end();
    });
}

void DeleteCoveringIndexes(TVELEntity& entity, const std::vector<std::vector<TVELAttribute*>>& keys) {
    for (int i = entity.Indexes.Count() - 1; i >= 0; --i) {
        TVELIndex* index = entity.IndexAt(i);
        std::vector<TVELAttribute*> columns;
        index->ColumnAttributes(columns);
        if (std::any_of(keys.begin(), keys.end(), [&](const auto& key) { return SameAttributes(columns, key); }))
            entity.DeleteMember(index);
    }
}

} // namespace

// ---- word lists ----------------------------------------------------------------------------------

TVELWordList::TVELWordList(std::string_view text) : text_(text) {
    words_.reserve(text.size() / 4 + 4);
    depth_.reserve(text.size() / 4 + 4);
    int depth = 0;
    size_t start = 0;
    auto add = [&](size_t from, size_t to) {
        words_.push_back(text.substr(from, to - from));
        depth_.push_back(depth);
    };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '(' || c == ')' || c == ',' || c == ';') {
            if (i > start) add(start, i);
            if (c == ')') depth = std::max(0, depth - 1);
            add(i, i + 1);
            if (c == '(') ++depth;
            start = ++i;
        } else if (c == '\r' || c == '\n') {
            if (i > start) add(start, i);
            const size_t length = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
            add(i, i + length);
            i += length;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) add(start, text.size());
}

std::string_view TVELWordList::operator[](int index) const {
    if (index < 0 || index >= Count() || IsLineBreak(words_[index])) return {};
    return words_[index];
}

bool TVELWordList::Significant(int index) const {
    return index >= 0 && index < Count() && !IsBlankEntry(words_[index]);
}

int TVELWordList::FindWord(std::string_view word, int from) const {
    for (int i = std::max(from, 0); i < Count(); ++i)
        if (words_[i].size() == word.size() && SameText(words_[i], word)) return i;
    return -1;
}

int TVELWordList::FindAfter(std::string_view word, int from) const {
    const int i = FindWord(word, from);
    return i < 0 ? -1 : NextSignificant(i);
}

int TVELWordList::NextSignificant(int index) const {
    for (int i = std::max(index + 1, 0); i < Count(); ++i)
        if (Significant(i)) return i;
    return -1;
}

int TVELWordList::PreviousSignificant(int index) const {
    for (int i = std::min(index, Count()) - 1; i >= 0; --i)
        if (Significant(i)) return i;
    return -1;
}

bool TVELWordList::StartsWith(std::string_view word) const {
    return Is(FirstSignificant(), word);
}

bool TVELWordList::Is(int index, std::string_view word) const {
    return index >= 0 && index < Count() && SameText(words_[index], word);
}

int TVELWordList::MatchingClose(int from) const {
    if (!Is(from, "(")) return -1;
    for (int i = from + 1; i < Count(); ++i)
        if (depth_[i] == depth_[from] && words_[i] == ")") return i;
    return -1;
}

std::string_view TVELWordList::Text(int from, int to) const {
    from = std::max(from, 0);
    to = std::min(to, Count());
    if (from >= to) return {};
    const size_t begin = static_cast<size_t>(words_[from].data() - text_.data());
    const size_t end = static_cast<size_t>(words_[to - 1].data() - text_.data()) + words_[to - 1].size();
    return text_.substr(begin, end - begin);
}

std::string DoubleQuoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    out += text;
    out += '"';
    return out;
}

// ---- names ---------------------------------------------------------------------------------------

std::string Unquote(std::string_view name) {
    const std::string trimmed = Trim(name);
    if (trimmed.size() < 2) return trimmed;
    const char open = trimmed.front();
    const char close = CloserOf(open);
    if (!close || trimmed.back() != close) return trimmed;
    const std::string_view inner = std::string_view(trimmed).substr(1, trimmed.size() - 2);
    const char doubled[2] = {close, close};
    return ReplaceAll(inner, std::string_view(doubled, 2), std::string_view(&close, 1));
}

void SplitQualifiedName(std::string_view text, std::string& schema, std::string& name) {
    const std::string trimmed = Trim(text);
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < trimmed.size();) {
        if (CloserOf(trimmed[i])) {
            i = QuotedEnd(trimmed, i);
        } else if (trimmed[i] == '.') {
            parts.push_back(std::string_view(trimmed).substr(start, i - start));
            start = ++i;
        } else {
            ++i;
        }
    }
    parts.push_back(std::string_view(trimmed).substr(start));
    name = Unquote(parts.back());
    schema = parts.size() >= 2 ? Unquote(parts[parts.size() - 2]) : std::string();
}

std::string StripEnclosingParentheses(std::string_view text, int levels) {
    std::string out = Trim(text);
    for (int level = 0; level < levels; ++level) {
        if (out.size() < 2 || out.front() != '(' || ClosingParen(out, 0) != out.size() - 1) break;
        out = Trim(std::string_view(out).substr(1, out.size() - 2));
    }
    return out;
}

// ---- objects of an import ------------------------------------------------------------------------

TVELDatabaseObject* NewImportedObject(TVELDataDictionary& dictionary, int type, const std::string& schema,
                                      const std::string& name) {
    TVELDatabaseObject* object = dictionary.CreateObject(type, false);
    object->SetID(dictionary.NewID());
    object->SetName(name);
    object->SchemaName = schema;
    // Keys are read, not edited: relationships must not follow them until the import is done.
    if (auto* entity = dynamic_cast<TVELEntity*>(object)) entity->SetTrackKeyChanges(false);
    return object;
}

TVELImportScope::TVELImportScope(TVELDataDictionary& dictionary) : dictionary_(dictionary), loading_(dictionary.Loading) {
    dictionary.Loading = true;
}

TVELImportScope::~TVELImportScope() {
    dictionary_.Loading = loading_;
}

void SetImportedName(TVELNamedObject& object, const std::string& name) {
    if (name.empty()) return;
    object.SetName(name);
    object.NameFromTemplate = false;
}

TVELRelationship* NewImportedRelationship(TVELDataDictionary& dictionary, TVELEntity* parent, TVELEntity* child,
                                          const std::string& name, const std::string& constraintName) {
    auto* relationship = static_cast<TVELRelationship*>(NewImportedObject(dictionary, otRelationship, "", ""));
    SetImportedName(*relationship, name);
    SetImportedName(*relationship->FKConstraint, constraintName);
    relationship->ParentObjectID = parent->ID;
    relationship->ChildObjectID = child->ID;
    return relationship;
}

void AddImportedPair(TVELRelationship& relationship, const TVELAttribute* parent, const TVELAttribute* child) {
    auto pair = std::make_unique<TVELPair>(&relationship);
    pair->SetID(relationship.Pairs.NewID());
    pair->KeyID = parent->ID;
    pair->ForeignKeyID = child->ID;
    relationship.Pairs.Add(std::move(pair));
}

// ---- completion ----------------------------------------------------------------------------------

void MatchImportedDataTypes(TVELDataDictionary& dictionary, const TVELMessageCallback& report) {
    const TSLDatatypes* types = dictionary.GetDataTypes();
    if (!types || types->Count() == 0) return;
    auto match = [&](TVELNamedObject* owner, const std::string& column, TVELDataType& type) {
        if (type.DataType.empty() || type.DataType == "COMPUTEDFIELD" || types->IndexOf(type.DataType) >= 0) return;
        std::string message;
        const int i = types->BestMatch(0, type.DataType, message);
        if (i < 0) return;
        const std::string written = type.DataType;
        type.DataType = types->Record(i).ListName;
        if (message.empty())
            message = "Data type \"" + written + "\" is not in the list of data types; \"" + type.DataType +
                      "\" is used.";
        report(owner, mlWarning, column.empty() ? message : "Column \"" + column + "\": " + message);
    };
    std::vector<TVELEntity*> entities;
    dictionary.CollectOfClass(entities);
    for (TVELEntity* entity : entities)
        for (int i = 0; i < entity->Attributes.Count(); ++i)
            if (TVELAttribute* attribute = entity->AttributeAt(i); !attribute->GetDomain())
                match(entity, attribute->GetName(), *attribute->DataType);
    std::vector<TVELDomain*> domains;
    dictionary.CollectOfClass(domains);
    for (TVELDomain* domain : domains)
        match(domain, {}, *domain->DataType);
}

void CompleteImportedModel(TVELDataDictionary& dictionary, const TVELSettingsList& options) {
    auto disabled = [&](std::string_view key) { return options.GetValue(key) == "0"; };
    std::vector<TVELEntity*> entities;
    dictionary.CollectOfClass(entities);
    for (TVELEntity* entity : entities) {
        entity->SetTrackKeyChanges(true);
        entity->SortPrimaryKey();
    }

    const bool dropPK = disabled("RevEngIndexesOnPK");
    const bool dropFK = disabled("RevEngIndexesOnFK");
    const bool dropAK = disabled("RevEngIndexesOnAK");
    if (dropPK || dropFK || dropAK) {
        // The keys of every entity whose covering indexes go.
        std::unordered_map<TVELEntity*, std::vector<std::vector<TVELAttribute*>>> keys;
        for (TVELEntity* entity : entities) {
            if (dropPK) {
                keys[entity].emplace_back();
                entity->PrimaryKeyAttributes(keys[entity].back());
            }
            if (dropAK)
                for (int i = 0; i < entity->Constraints.Count(); ++i)
                    if (const TVELConstraint* constraint = entity->ConstraintAt(i); constraint->ConstraintType == ctUnique) {
                        keys[entity].emplace_back();
                        constraint->AttributeIDs.GetAttributes(keys[entity].back());
                    }
        }
        if (dropFK) {
            std::vector<TVELRelationship*> relationships;
            dictionary.CollectOfClass(relationships);
            for (const TVELRelationship* relationship : relationships)
                if (TVELEntity* child = relationship->GetChildEntity()) {
                    keys[child].emplace_back();
                    relationship->ForeignKeyAttributes(keys[child].back());
                }
        }
        for (auto& [entity, entityKeys] : keys)
            DeleteCoveringIndexes(*entity, entityKeys);
    }

    if (options.GetValue("DoNotReplaceNamesByParams") != "1") {
        for (TVELEntity* entity : entities)
            for (int i = 0; i < entity->Triggers.Count(); ++i) {
                TVELTrigger* trigger = entity->TriggerAt(i);
                trigger->Code = ReplaceOwnName(trigger->Code, {"CREATE TRIGGER ", "CREATE OR REPLACE TRIGGER "},
                                               trigger->GetName(), "%triggername%");
                // The table the trigger is on, written as the placeholder that generation fills
                // (as the drivers read it), so that a renamed table keeps its triggers right.
                trigger->Code = ReplaceOwnName(trigger->Code, {"ON ", "FOR "}, entity->GetName(), "%tablename%", true);
            }
        std::vector<TVELView*> views;
        dictionary.CollectOfClass(views);
        for (TVELView* view : views)
            view->Code = ReplaceOwnName(view->Code,
                                        {"CREATE VIEW ", "CREATE OR REPLACE VIEW ", "SQL SECURITY INVOKER VIEW "},
                                        view->GetName(), "%viewname%");
        std::vector<TVELProcedure*> procedures;
        dictionary.CollectOfClass(procedures);
        for (TVELProcedure* procedure : procedures)
            procedure->Code = ReplaceOwnName(procedure->Code,
                                             {"CREATE PROCEDURE ", "CREATE FUNCTION ", "CREATE OR REPLACE PROCEDURE ",
                                              "CREATE OR REPLACE FUNCTION "},
                                             procedure->GetName(), "%procname%");
    }
    if (const TSLDatatypes* types = dictionary.GetDataTypes()) {
        std::vector<TVELDomain*> domains;
        dictionary.CollectOfClass(domains);
        for (TVELDomain* domain : domains) {
            TVELDataType& type = *domain->DataType;
            if (types->IndexOf(type.DataType) < 0) continue;
            const uint32_t capabilities = types->Capabilities(type.DataType);
            if (!(capabilities & dcLength)) type.Length = "0";
            if (!(capabilities & dcPrecision)) type.Precision = 0;
        }
    }
    dictionary.RepairRelationships();
}

// ---- the parser ------------------------------------------------------------------------------------

TVELSQLParser::TVELSQLParser(TVELDataDictionary* dictionary) : Dictionary(dictionary) {}

TVELSQLParser::~TVELSQLParser() = default;

bool TVELSQLParser::Enabled(std::string_view option) const {
    return Options.GetValue(option) != "0";
}

bool TVELSQLParser::IsDriver(std::string_view driver) const {
    const TVELDatabaseSettings* target = Dictionary ? Dictionary->GetDatabaseSettings() : nullptr;
    return target && SameText(target->DriverName, driver);
}

bool TVELSQLParser::IsMySQL() const {
    const TVELDatabaseSettings* target = Dictionary ? Dictionary->GetDatabaseSettings() : nullptr;
    if (!target) return false;
    // MariaDB targets name themselves differently but share the driver.
    return FindText(target->DBMSName, "MYSQL") != npos || SameText(target->DriverName, "mysql");
}

void TVELSQLParser::Message(int level, const std::string& text, TVELNamedObject* object) {
    if (OnMessage) OnMessage(this, level, text, object);
    std::string line;
    if (level == mlError) {
        ++errorCount_;
        line = MessageLevelName(mlError) + " : ";
    }
    if (const auto* o = dynamic_cast<const TVELDatabaseObject*>(object)) {
        const std::string name = o->GetNonQuotedQualifiedName();
        if (!name.empty()) line += name + " : ";
    }
    line += text;
    Messages.push_back(std::move(line));
    if (text.find_first_of("\r\n") != std::string::npos) Messages.emplace_back();
}

void TVELSQLParser::Added(TVELNamedObject* object) {
    if (OnObjectAdded) OnObjectAdded(this, object);
}

std::string TVELSQLParser::RestoreLiterals(std::string_view text) const {
    if (text.find('%') == npos) return std::string(text);
    return RestorePlaceholders(text, StringsTable, IsMySQL());
}

std::string TVELSQLParser::NameText(std::string_view word) const {
    return Unquote(RestorePlaceholders(word, StringsTable));
}

std::string TVELSQLParser::PlainName(std::string_view word) const {
    std::string schema, name;
    SplitQualifiedName(RestorePlaceholders(word, StringsTable), schema, name);
    return schema.empty() ? name : schema + "." + name;
}

std::string TVELSQLParser::LiteralText(std::string_view word) const {
    std::string text = Trim(RestorePlaceholders(word, StringsTable));
    // N'...' (national), E'...' (escapes) and _utf8'...' (character set) literals
    const size_t quote = text.find('\'');
    if (quote != npos && quote > 0 && quote <= 8 && text.back() == '\'') {
        const std::string prefix = UpperCase(std::string_view(text).substr(0, quote));
        if (prefix == "N" || prefix == "E" || prefix[0] == '_') text.erase(0, quote);
    }
    return Unquote(text);
}

// ---- look-ups ------------------------------------------------------------------------------------

void TVELSQLParser::IndexEntity(TVELEntity* entity) {
    tablesByQualifiedName_.emplace(QualifiedKey(entity->SchemaName, entity->GetName()), entity);
    tablesByName_.emplace(UpperCase(entity->GetName()), entity);
}

void TVELSQLParser::IndexDictionary() {
    tablesByQualifiedName_.clear();
    tablesByName_.clear();
    domainsByName_.clear();
    sequencesByQualifiedName_.clear();
    sequencesByName_.clear();
    relationshipNames_.clear();
    indexed_ = true;
    if (!Dictionary) return;
    for (int i = 0; i < Dictionary->Count(); ++i) {
        TVELDatabaseObject* object = Dictionary->Object(i);
        switch (object->ObjectType) {
        case otEntity:
            IndexEntity(static_cast<TVELEntity*>(object));
            break;
        case otDomain:
            domainsByName_.emplace(UpperCase(object->GetName()), static_cast<TVELDomain*>(object));
            break;
        case otSequence:
            IndexSequence(static_cast<TVELSequence*>(object));
            break;
        case otRelationship:
            relationshipNames_.insert(UpperCase(object->GetName()));
            break;
        default:
            break;
        }
    }
}

void TVELSQLParser::IndexSequence(TVELSequence* sequence) {
    sequencesByQualifiedName_.emplace(QualifiedKey(sequence->SchemaName, sequence->GetName()), sequence);
    sequencesByName_.emplace(UpperCase(sequence->GetName()), sequence);
}

TVELEntity* TVELSQLParser::FindTable(std::string_view rawName) const {
    std::string schema, name;
    SplitQualifiedName(RestorePlaceholders(rawName, StringsTable), schema, name);
    if (!schema.empty())
        if (auto it = tablesByQualifiedName_.find(QualifiedKey(schema, name)); it != tablesByQualifiedName_.end())
            return it->second;
    const auto it = tablesByName_.find(UpperCase(name));
    return it == tablesByName_.end() ? nullptr : it->second;
}

TVELDomain* TVELSQLParser::FindDomain(std::string_view name) const {
    if (domainsByName_.empty()) return nullptr;
    std::string schema, bare;
    SplitQualifiedName(name, schema, bare);
    const auto it = domainsByName_.find(UpperCase(bare));
    return it == domainsByName_.end() ? nullptr : it->second;
}

TVELSequence* TVELSQLParser::FindSequence(std::string_view text) const {
    // nextval('public.seq'::regclass): the literal without its cast
    std::string restored = Trim(RestorePlaceholders(text, StringsTable));
    if (const size_t cast = restored.find("::"); cast != npos) restored.resize(cast);
    std::string schema, name;
    SplitQualifiedName(Unquote(restored), schema, name);
    if (!schema.empty())
        if (auto it = sequencesByQualifiedName_.find(QualifiedKey(schema, name)); it != sequencesByQualifiedName_.end())
            return it->second;
    const auto it = sequencesByName_.find(UpperCase(name));
    return it == sequencesByName_.end() ? nullptr : it->second;
}

TVELEntity* TVELSQLParser::NewEntity(const std::string& schema, const std::string& name) {
    auto* entity = static_cast<TVELEntity*>(NewImportedObject(*Dictionary, otEntity, schema, name));
    IndexEntity(entity);
    return entity;
}

// ---- statement structure -------------------------------------------------------------------------

int TVELSQLParser::HeadKeyword(const TWords& w, std::string_view* verb) const {
    const int first = w.FirstSignificant();
    if (first < 0 || !IsOneOf(w[first], {"CREATE", "ALTER", "RECREATE"})) return -1;
    if (verb) *verb = w[first];
    int i = first;
    for (int n = 0; n < 12; ++n) {
        i = w.NextSignificant(i);
        if (i < 0 || w[i] == "(") return -1;
        if (IsObjectKeyword(w[i])) return i;
    }
    return -1;
}

int TVELSQLParser::NameAfter(const TWords& w, int keyword) const {
    int n = w.NextSignificant(keyword);
    if (w.Is(n, "IF")) {
        const int exists = w.FindWord("EXISTS", n);
        n = exists < 0 ? -1 : w.NextSignificant(exists);
    }
    while (w.Is(n, "ONLY") || w.Is(n, "CONCURRENTLY"))
        n = w.NextSignificant(n);
    if (n < 0 || w[n] == "(" || w[n] == ")" || w[n] == ",") return -1;
    return n;
}

std::string TVELSQLParser::ConstraintNameBefore(const TWords& w, int index) const {
    const int name = w.PreviousSignificant(index);
    const int keyword = w.PreviousSignificant(name);
    if (name < 0 || !w.Is(keyword, "CONSTRAINT")) return {};
    return NameText(w[name]);
}

std::vector<std::string> TVELSQLParser::ListNames(const TWords& w, int open) const {
    std::vector<std::string> names;
    if (!w.Is(open, "(")) return names;
    int close = w.MatchingClose(open);
    if (close < 0) close = w.Count();
    bool expectName = true;
    for (int i = open + 1; i < close; ++i) {
        if (w.Depth(i) != w.Depth(open) + 1) continue;
        if (w[i] == ",") {
            expectName = true;
        } else if (expectName && w.Significant(i) && w[i] != "(" && w[i] != ")") {
            names.push_back(NameText(w[i]));
            expectName = false;
        }
    }
    return names;
}

std::string TVELSQLParser::InnerText(const TWords& w, int open) const {
    int close = w.MatchingClose(open);
    if (close < 0) close = w.Count();
    return Trim(RestoreLiterals(w.Text(open + 1, close)));
}

// ---- import --------------------------------------------------------------------------------------

void TVELSQLParser::Import() {
    if (!Dictionary) throw EVELError("No data dictionary to import into.");
    Messages.clear();
    Deferred.clear();
    sequenceUses_.clear();
    membersByName_.clear();
    errorCount_ = 0;
    TVELDatabaseSettings* target = Dictionary->GetDatabaseSettings();
    std::unique_ptr<TDBConnection> connection = CreateConnection(target->DriverName);
    connection->Target = target;
    std::unique_ptr<TDBScript> script = connection->CreateScript();
    script->OnLog = [this](TDBScript*, int level, const std::string& text, TVELNamedObject* object) {
        Message(level, text, object);
    };
    script->Source = Script;
    script->Prepare();
    StringsTable = script->StringsTable;
    IndexDictionary();
    {
        const TVELImportScope scope(*Dictionary);
        for (const auto& statement : script->Statements)
            ParseStatement(statement->Text);
        script.reset();
        ResolveSequences();
        ResolveDeferred();
    }
    std::vector<TVELEntity*> entities;
    Dictionary->CollectOfClass(entities);
    for (TVELEntity* entity : entities)
        for (int i = 0; i < entity->Attributes.Count(); ++i) {
            TVELAttribute* attribute = entity->AttributeAt(i);
            if (SameText(attribute->DefaultValue(), "NULL")) attribute->SetDefaultValue("");
        }
    ReadAsTheCatalogue();
    MatchImportedDataTypes(*Dictionary, [this](TVELNamedObject* object, int level, const std::string& text) {
        Message(level, text, object);
    });
    CompleteImportedModel(*Dictionary, Options);
}

// What a server's own dump writes differently from its catalogue, read as the catalogue import
// reads it, so that a dump and its database compare alike.
void TVELSQLParser::ReadAsTheCatalogue() {
    std::vector<TVELEntity*> entities;
    Dictionary->CollectOfClass(entities);
    if (const TVELDatabaseSettings* target = Dictionary->GetDatabaseSettings();
        target && IsDriver("postgresql") && !target->DefaultSchema.empty()) {
        // Objects of the schema a PostgreSQL database names when none is written (a dump
        // qualifies every name) stand without it, as the catalogue import reads them.
        auto unqualify = [&](TVELDatabaseObject& object) {
            if (SameText(object.SchemaName, target->DefaultSchema)) object.SchemaName.clear();
        };
        std::vector<TVELDatabaseObject*> objects;
        Dictionary->CollectOfClass(objects);
        for (TVELDatabaseObject* object : objects) {
            unqualify(*object);
            if (auto* entity = dynamic_cast<TVELEntity*>(object))
                for (int i = 0; i < entity->Triggers.Count(); ++i)
                    unqualify(*entity->TriggerAt(i));
        }
    }
    if (IsMySQL()) {
        // A character column in utf8mb3 of a table in another character set is MySQL's national
        // character type, as the catalogue import reads it (a dump writes it with its set).
        for (TVELEntity* entity : entities) {
            const std::string options = UpperCase(entity->TableOptions);
            const bool utf8Table = options.find("CHARSET=UTF8 ") != npos || options.find("CHARSET=UTF8MB3") != npos ||
                                   EndsText("CHARSET=UTF8", options);
            for (int i = 0; i < entity->Attributes.Count() && !utf8Table; ++i) {
                TVELAttribute* attribute = entity->AttributeAt(i);
                TVELDataType& type = *attribute->DataType;
                if (attribute->GetDomain() || !IsOneOf(type.DataType, {"CHAR", "VARCHAR"}) ||
                    !IsOneOf(type.CharacterSet, {"utf8mb3", "utf8"}))
                    continue;
                type.DataType = "N" + UpperCase(type.DataType);
                type.CharacterSet.clear();
                if (IsOneOf(attribute->Collate, {"utf8mb3_general_ci", "utf8_general_ci"})) attribute->Collate.clear();
            }
        }
        // MySQL gives every foreign key an index under the key's name, and a dump writes it as
        // a KEY of the table; the catalogue import leaves these indexes out, and so does this one.
        std::vector<TVELRelationship*> relationships;
        Dictionary->CollectOfClass(relationships);
        for (const TVELRelationship* relationship : relationships)
            if (TVELEntity* child = relationship->GetChildEntity())
                for (int i = child->Indexes.Count() - 1; i >= 0; --i)
                    if (TVELIndex* index = child->IndexAt(i);
                        index->IndexType.empty() && SameText(index->GetName(), relationship->GetName()))
                        child->DeleteMember(index);
    }
}

void TVELSQLParser::ParseStatement(std::string_view text) {
    // Long statements that define nothing (data) are not worth cutting into words.
    if (text.size() > 2000 && FindText(text, "CREATE") == npos && FindText(text, "ALTER") == npos) return;
    if (!Dictionary) return;
    const TWords w(text);
    try {
        const int first = w.FirstSignificant();
        if (w.Is(first, "CREATE") || w.Is(first, "RECREATE")) {
            int next = w.NextSignificant(first);
            if (w.Is(next, "OR")) next = w.NextSignificant(w.NextSignificant(next));
            if (w.Is(next, "TABLE")) {
                CreateTable(w, next);
                return;
            }
        }
        Comments(w);
        CreateRule(w, false);
        CreateRule(w, true);
        BindRule(w, false);
        BindRule(w, true);
        CreateDomain(w);
        AddType(w);
        std::string_view verb;
        const int head = HeadKeyword(w, &verb);
        if (head >= 0 && SameText(verb, "CREATE") && w.Is(head, "INDEX")) Index(nullptr, w);
        if (Enabled("RevEngProcedures")) Procedure(w);
        View(w);
        Sequence(w);
        AlterTable(w);
        if (Enabled("RevEngTriggers")) Trigger(w);
    } catch (const EVELError& e) {
        // The model refused what the statement asked for; the import goes on.
        Message(mlError, e.what());
    }
}

// ---- tables --------------------------------------------------------------------------------------

void TVELSQLParser::CreateTable(const TWords& w, int tableKeyword) {
    const int n = NameAfter(w, tableKeyword);
    if (n < 0) return;
    std::string schema, name;
    SplitQualifiedName(RestorePlaceholders(w[n], StringsTable), schema, name);
    if (name.empty()) return;
    TVELEntity* entity = NewEntity(schema, name);
    Message(mlInfo, "Adding table " + Q(name) + ".");
    Added(entity);

    // CREATE TABLE ... AS SELECT and the like have no column list.
    const int open = w.NextSignificant(n);
    if (!w.Is(open, "(")) return;
    int close = w.MatchingClose(open);
    if (close < 0) close = w.Count();
    const int depth = w.Depth(open) + 1;
    int start = open + 1;
    for (int i = open + 1; i <= close; ++i) {
        if (i < close && !(w[i] == "," && w.Depth(i) == depth)) continue;
        if (i > start) TableElement(entity, w.Text(start, i));
        start = i + 1;
    }
    if (close >= w.Count()) return;

    // Table options; the MySQL table comment among them: COMMENT = 'text', with or without blanks.
    std::string options;
    for (int i = close + 1; i < w.Count(); ++i) {
        const std::string_view word = w[i];
        if (word == ";") continue;
        if (FindText(word, "COMMENT") == 0) {
            std::string_view value;
            if (const size_t equals = word.find('='); equals != npos && equals + 1 < word.size()) {
                value = word.substr(equals + 1);
            } else {
                int v = w.NextSignificant(i);
                if (w[v] == "=") v = w.NextSignificant(v);
                if (v >= 0) {
                    value = w[v];
                    if (!value.empty() && value.front() == '=') value.remove_prefix(1);
                    i = v;
                }
            }
            entity->Comment = LiteralText(value);
            continue;
        }
        if (IsLineBreak(w.Text(i, i + 1)))
            options += CRLF;
        else
            options += word;
    }
    entity->TableOptions = Trim(RestoreLiterals(options));
}

void TVELSQLParser::TableElement(TVELEntity* entity, std::string_view text) {
    const TWords w(text);
    if (w.FirstSignificant() < 0 || ColumnDefinition(entity, w)) return;
    PrimaryKey(entity, nullptr, w);
    Unique(entity, nullptr, w);
    Check(entity, nullptr, w);
    ForeignKey(entity, nullptr, w, true);
    Index(entity, w);
}

bool TVELSQLParser::ColumnDefinition(TVELEntity* entity, const TWords& w) {
    const int first = w.FirstSignificant();
    if (IsOneOf(w[first], {"CONSTRAINT", "CHECK", "UNIQUE", "PRIMARY", "FOREIGN", "KEY", "FULLTEXT", "INDEX",
                           "SPATIAL", "EXCLUDE", "LIKE", "PERIOD"}))
        return false;
    TVELAttribute* attribute = entity->AddAttribute(false);
    attribute->SetName(NameText(w[first]));
    Added(attribute);
    // SQLite columns may have no type: the constraints follow the name directly.
    int type = w.NextSignificant(first);
    if (IsOneOf(w[type], {"PRIMARY", "NOT", "NULL", "DEFAULT", "CONSTRAINT", "REFERENCES", "UNIQUE", "CHECK",
                          "COLLATE", "GENERATED", "AUTOINCREMENT", "AUTO_INCREMENT"}))
        type = -1;
    const int last = type >= 0 ? DataType(attribute, w, type) : first;
    const int depth = w.Depth(first);

    for (int i = w.FindWord("NULL", last + 1); i >= 0; i = w.FindWord("NULL", i + 1)) {
        if (w.Depth(i) != depth || !w.Is(w.PreviousSignificant(i), "NOT")) continue;
        attribute->SetNotNull(true);
        // CONSTRAINT name NOT NULL, the words apart by single blanks
        if (i >= 6 && w.Is(i - 6, "CONSTRAINT") && w.Significant(i - 4))
            SetImportedName(*attribute->NotNullConstraint(), NameText(w[i - 4]));
    }
    if (const int collate = w.FindAfter("COLLATE", last + 1); collate >= 0) attribute->Collate = NameText(w[collate]);
    if (const int comment = w.FindAfter("COMMENT", last + 1); comment >= 0)
        attribute->Comment = LiteralText(w[comment]);
    // The DEFAULT of GENERATED BY DEFAULT AS IDENTITY is no default value.
    int d = w.FindWord("DEFAULT", last + 1);
    while (d >= 0 && w.Is(w.PreviousSignificant(d), "BY")) d = w.FindWord("DEFAULT", d + 1);
    if (d >= 0) DefaultClause(attribute, w, d);
    for (int on = w.FindWord("ON", last + 1); on >= 0; on = w.FindWord("ON", on + 1)) {
        const int update = w.NextSignificant(on);
        if (w.Is(update, "UPDATE") && StartsText("CURRENT_TIMESTAMP", w[w.NextSignificant(update)])) {
            attribute->AttributeOptions = "ON UPDATE CURRENT_TIMESTAMP";
            break;
        }
    }
    // GENERATED ALWAYS AS (expression) [STORED|VIRTUAL]: a computed column, kept as written.
    if (const int generated = w.FindWord("GENERATED", last + 1); generated >= 0) {
        int as = w.NextSignificant(generated);
        if (w.Is(as, "ALWAYS")) as = w.NextSignificant(as);
        const int open = w.Is(as, "AS") ? w.NextSignificant(as) : -1;
        const int close = w.Is(open, "(") ? w.MatchingClose(open) : -1;
        if (close > open) {
            std::string options = "GENERATED ALWAYS AS " + Trim(RestoreLiterals(w.Text(open, close + 1)));
            const int kind = w.NextSignificant(close);
            if (w.Is(kind, "STORED") || w.Is(kind, "VIRTUAL") || w.Is(kind, "PERSISTENT"))
                options += " " + UpperCase(w[kind]);
            attribute->AttributeOptions = options;
        }
    }
    // SQL Server: name AS (expression) PERSISTED
    if (attribute->AttributeOptions.empty() && w.FindWord("PERSISTED", last + 1) >= 0)
        attribute->AttributeOptions = "PERSISTED";
    PrimaryKey(entity, attribute, w);
    Unique(entity, attribute, w);
    Check(entity, attribute, w);
    ForeignKey(entity, attribute, w, true);
    return true;
}

int TVELSQLParser::DataType(TVELDatabaseObject* object, const TWords& w, int position) {
    TVELDataType* type = DataTypeOf(object);
    if (!type || position < 0) return position;
    std::string name = NameText(w[position]);
    int end = position;
    const TSLDatatypes* types = Dictionary ? Dictionary->GetDataTypes() : nullptr;
    if (types && types->Count() > 0) {
        // Names of several words (DOUBLE PRECISION, CHARACTER VARYING, TIMESTAMP WITH TIME ZONE):
        // the longest that the target knows.
        std::string candidate = UpperCase(name);
        int j = position;
        for (int extra = 1; extra <= 3; ++extra) {
            j = w.NextSignificant(j);
            if (j < 0 || IsOneOf(w[j], {"(", ")", ","}) || w[j].find('%') != npos) break;
            candidate += ' ';
            candidate += UpperCase(w[j]);
            if (types->IndexByNameOrSynonym(candidate) >= 0) {
                name = candidate;
                end = j;
            }
        }
    }
    std::string arrayOptions;
    if (name.size() > 2 && EndsText("[]", name)) {
        arrayOptions = "[]";
        name.resize(name.size() - 2);
    }
    if (types)
        if (const int index = types->IndexByNameOrSynonym(name); index >= 0) name = types->ListNames()[index];

    TDataTypeValues values;
    values.ArrayOptions = arrayOptions;
    const std::string upper = UpperCase(name);
    const int listIndex = types ? types->IndexOf(name) : -1;
    const bool computedBy = listIndex >= 0 && types->Record(listIndex).Group == tgComputedBy;
    const int open = w.NextSignificant(end);
    if (w.Is(open, "(")) {
        int close = w.MatchingClose(open);
        if (close < 0) close = w.Count();
        if (upper == "ENUM" || upper == "SET") {
            std::vector<std::string> items;
            for (int i = open + 1; i < close; ++i)
                if (w.Significant(i) && w[i] != ",") items.push_back(RestoreLiterals(w[i]));
            values.Items = JoinStrings(items, ",");
        } else if (upper == "XML" || computedBy) {
            values.Expression = InnerText(w, open);
        } else if (upper == "AS") {
            // a computed column: the target's computed type, with the expression as written
            values.Expression = Trim(RestoreLiterals(w.Text(open, std::min(close + 1, w.Count()))));
            name = "COMPUTEDFIELD";
            if (types)
                for (int i = 0; i < types->Count(); ++i)
                    if (types->Record(i).Group == tgComputedBy) {
                        name = types->Record(i).ListName;
                        break;
                    }
        } else {
            const int first = w.NextSignificant(open);
            if (first >= 0 && first < close) values.Length = RestoreLiterals(w[first]);
            const int comma = w.FindWord(",", open);
            if (comma >= 0 && comma < close) {
                const int second = w.NextSignificant(comma);
                if (second >= 0 && second < close) values.Precision = StrToIntDef(w[second], 0);
            } else if (types) {
                // types of their own for a length word: NVARCHAR(MAX)
                const int whole = types->IndexByNameOrSynonym(upper + "(" + UpperCase(values.Length) + ")");
                if (whole >= 0) {
                    name = types->ListNames()[whole];
                    values.Length = "0";
                }
            }
        }
        end = close;
    }

    for (int i = position; i < w.Count(); ++i) {
        if (!IsOneOf(w[i], {"AUTO_INCREMENT", "AUTOINCREMENT", "IDENTITY"})) continue;
        values.AutoNumber = true;
        // IDENTITY alone has no start value; the standard GENERATED ... AS IDENTITY starts at 1.
        values.Seed = w.Is(w.PreviousSignificant(i), "AS") ? 1 : 0;
        values.Increment = 1;
        const int paren = w.NextSignificant(i);
        if (SameText(w[i], "IDENTITY") && w.Is(paren, "(")) {
            const int close = w.MatchingClose(paren);
            const int stop = close < 0 ? w.Count() : close;
            const int start = w.FindAfter("START", paren);
            const int by = w.FindAfter("INCREMENT", paren);
            if ((start >= 0 && start < stop) || (by >= 0 && by < stop)) {
                // GENERATED ... AS IDENTITY (START WITH n INCREMENT BY m)
                const int seed = w.Is(start, "WITH") ? w.NextSignificant(start) : start;
                const int step = w.Is(by, "BY") ? w.NextSignificant(by) : by;
                if (seed >= 0 && seed < stop) values.Seed = StrToIntDef(w[seed], 0);
                if (step >= 0 && step < stop) values.Increment = StrToIntDef(w[step], 1);
            } else {
                const int seed = w.NextSignificant(paren);
                if (seed >= 0 && seed < stop) values.Seed = StrToIntDef(w[seed], 0);
                const int comma = w.FindWord(",", paren);
                const int step = comma >= 0 && comma < stop ? w.NextSignificant(comma) : -1;
                if (step >= 0 && step < stop) values.Increment = StrToIntDef(w[step], 1);
            }
        }
        break;
    }
    for (int i = position; i < w.Count(); ++i) {
        if (w.Is(i, "CHARACTER") && w.Is(w.NextSignificant(i), "SET")) {
            values.CharacterSet = NameText(w[w.NextSignificant(w.NextSignificant(i))]);
        } else if (w.Is(i, "CHARSET")) {
            values.CharacterSet = NameText(w[w.NextSignificant(i)]);
        } else if (w.Is(i, "ZEROFILL")) {
            values.ZeroFill = true;
        } else if (w.Is(i, "UNSIGNED")) {
            values.Unsigned = true;
        }
    }

    // The model keeps no display width of a MySQL integer type (TINYINT(1) is the BOOLEAN):
    // the catalogue import reads the types without one, and so does this one.
    if (IsMySQL() && values.Precision == 0 && values.Length != "0" &&
        IsOneOf(name, {"TINYINT", "SMALLINT", "MEDIUMINT", "INT", "INTEGER", "BIGINT", "YEAR"})) {
        if (SameText(name, "TINYINT") && Trim(values.Length) == "1" && !values.Unsigned && !values.ZeroFill &&
            !values.AutoNumber && types && types->IndexOf("BOOLEAN") >= 0)
            name = "BOOLEAN";
        values.Length = "0";
    }
    auto* attribute = dynamic_cast<TVELAttribute*>(object);
    if (attribute)
        if (TVELDomain* domain = FindDomain(name)) {
            attribute->SetDomainID(domain->ID);
            return end;
        }
    static_cast<TDataTypeValues&>(*type) = values;
    type->DataType = name;
    if (attribute) attribute->AutoNumber = values.AutoNumber;
    return end;
}

void TVELSQLParser::DefaultClause(TVELDatabaseObject* object, const TWords& w, int defaultIndex) {
    auto* attribute = dynamic_cast<TVELAttribute*>(object);
    auto* domain = dynamic_cast<TVELDomain*>(object);
    if (!attribute && !domain) return;
    const std::string name = ConstraintNameBefore(w, defaultIndex);
    const int first = w.NextSignificant(defaultIndex);

    // Defaults drawn from a sequence: nextval('seq'), seq.NEXTVAL, NEXT VALUE FOR seq.
    std::string_view sequence;
    if (w.Is(first, "NEXTVAL")) {
        const int open = w.NextSignificant(first);
        sequence = w.Is(open, "(") ? w[w.NextSignificant(open)] : w[first + 2];
    } else if (first >= 0 && EndsText(".NEXTVAL", w[first])) {
        sequence = w[first].substr(0, w[first].size() - 8);
    } else if (w.Is(first, "NEXT") && w.Is(w.NextSignificant(first), "VALUE") &&
               w.Is(w.NextSignificant(w.NextSignificant(first)), "FOR")) {
        sequence = w[w.NextSignificant(w.NextSignificant(w.NextSignificant(first)))];
    }
    if (!sequence.empty() || w.Is(first, "NEXTVAL")) {
        if (attribute)
            if (TVELEntity* entity = attribute->GetEntity())
                sequenceUses_.push_back({entity, attribute->ID, std::string(sequence)});
        return;
    }

    const int depth = w.Depth(defaultIndex);
    int end = w.Count();
    for (int i = first < 0 ? -1 : w.NextSignificant(first); i >= 0; i = w.NextSignificant(i)) {
        if (w.Depth(i) != depth) continue;
        const std::string_view word = w[i];
        const bool stop =
            word == "," || word == ";" ||
            IsOneOf(word, {"NULL", "COLLATE", "CHARACTER", "COMMENT", "CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK",
                           "REFERENCES", "AUTO_INCREMENT", "AUTOINCREMENT", "IDENTITY", "GENERATED", "FOR"}) ||
            (SameText(word, "NOT") && w.Is(w.NextSignificant(i), "NULL")) ||
            (SameText(word, "ON") && w.Is(w.NextSignificant(i), "UPDATE"));
        if (stop) {
            end = i;
            break;
        }
    }
    std::string value = first < 0 || first >= end ? std::string() : RestoreLiterals(w.Text(first, end));
    value = StripEnclosingParentheses(value, 2);
    if (value.empty()) value = "''";
    // MariaDB writes CURRENT_TIMESTAMP as the call current_timestamp(), which the catalogue
    // import reads as CURRENT_TIMESTAMP: so does this one.
    if (IsMySQL() && StartsText("current_timestamp(", value) && value.back() == ')') {
        const std::string digits = Trim(value.substr(18, value.size() - 19));
        value = digits.empty() ? "CURRENT_TIMESTAMP" : "CURRENT_TIMESTAMP(" + digits + ")";
    }
    if (attribute) {
        attribute->SetDefaultValue(value);
        SetImportedName(*attribute->DefaultConstraint(), name);
    } else {
        domain->DefaultConstraint()->Value = value;
        SetImportedName(*domain->DefaultConstraint(), name);
    }
}

void TVELSQLParser::PrimaryKey(TVELEntity* entity, TVELAttribute* attribute, const TWords& w) {
    int primary = -1;
    for (int i = w.FindWord("PRIMARY"); i >= 0; i = w.FindWord("PRIMARY", i + 1))
        if (w.Is(w.NextSignificant(i), "KEY")) {
            primary = i;
            break;
        }
    if (primary < 0) return;
    const int key = w.NextSignificant(primary);
    const std::string name = ConstraintNameBefore(w, primary);
    TVELConstraint& constraint = *entity->PrimaryKey;
    const int clustering = w.NextSignificant(key);
    if (w.Is(clustering, "CLUSTERED") || w.Is(clustering, "NONCLUSTERED"))
        constraint.PKClustering = UpperCase(w[clustering]);
    if (attribute) {
        attribute->SetPrimaryKey(true);
        SetImportedName(constraint, name);
        return;
    }
    const int open = w.FindWord("(", key);
    const std::vector<std::string> columns = open < 0 ? std::vector<std::string>() : ListNames(w, open);
    if (columns.empty()) {
        Message(mlError, "Primary Key columns not found for Primary Key constraint " + Q(name) + ".", entity);
        return;
    }
    SetImportedName(constraint, name);
    for (const std::string& column : columns)
        if (auto* a = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(column))) a->SetPrimaryKey(true);
}

void TVELSQLParser::Unique(TVELEntity* entity, TVELAttribute* attribute, const TWords& w) {
    const int unique = w.FindWord("UNIQUE");
    if (unique < 0 || !Enabled("RevEngUniqueConstraints")) return;
    const int next = w.NextSignificant(unique);
    if (w.Is(next, "INDEX") || w.Is(next, "KEY")) return; // an index, not a constraint
    const std::string name = ConstraintNameBefore(w, unique);
    std::vector<TVELAttribute*> columns;
    if (attribute) {
        columns.push_back(attribute);
    } else {
        const int open = w.FindWord("(", unique);
        const std::vector<std::string> names = open < 0 ? std::vector<std::string>() : ListNames(w, open);
        if (names.empty()) {
            Message(mlError, "Invalid UNIQUE table constraint (" + Q(name) + "). Constraint contains no columns.",
                    entity);
            return;
        }
        for (const std::string& column : names)
            if (auto* a = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(column))) columns.push_back(a);
    }
    TVELConstraint* constraint = entity->AddConstraint(ctUnique, clTable);
    SetImportedName(*constraint, name);
    for (TVELAttribute* a : columns)
        constraint->AttributeIDs.Add(a);
}

void TVELSQLParser::Check(TVELEntity* entity, TVELDatabaseObject* columnOrDomain, const TWords& w) {
    if (!Enabled("RevEngCheckConstraints")) return;
    int check = w.FindWord("CHECK");
    // WITH CHECK ADD CONSTRAINT ...: that CHECK only asks for existing rows to be checked
    if (check >= 0) {
        const int with = w.FindWord("WITH");
        if (with >= 0 && with < check) check = w.FindWord("CHECK", check + 1);
    }
    if (check < 0) return;
    const int open = w.NextSignificant(check);
    if (!w.Is(open, "(")) return;
    const std::string expression = StripEnclosingParentheses(InnerText(w, open), 1);
    const std::string name = ConstraintNameBefore(w, check);
    if (auto* attribute = dynamic_cast<TVELAttribute*>(columnOrDomain)) {
        attribute->SetCheckValue(expression);
        SetImportedName(*attribute->CheckConstraint(), name);
    } else if (auto* domain = dynamic_cast<TVELDomain*>(columnOrDomain)) {
        domain->CheckConstraint()->Value = expression;
        SetImportedName(*domain->CheckConstraint(), name);
    } else if (entity) {
        TVELConstraint* constraint = entity->AddConstraint(ctCheck, clTable);
        constraint->Value = expression;
        SetImportedName(*constraint, name);
    }
}

void TVELSQLParser::ForeignKey(TVELEntity* entity, TVELAttribute* attribute, const TWords& w, bool allowDeferral) {
    if (!Enabled("RevEngRelationships")) return;
    const int references = w.FindWord("REFERENCES");
    if (references < 0) return;
    const int foreign = attribute ? -1 : w.FindWord("FOREIGN");
    const std::string name = ConstraintNameBefore(w, foreign >= 0 && foreign < references ? foreign : references);
    const int parentWord = w.NextSignificant(references);
    if (parentWord < 0) return;
    TVELEntity* parent = FindTable(w[parentWord]);
    if (!parent) {
        if (allowDeferral) {
            Deferred.push_back({entity->GetNonQuotedQualifiedName(), attribute ? attribute->GetName() : std::string(),
                                std::string(w.Text(0, w.Count()))});
        } else {
            Message(mlError, "Invalid relationship " + Q(name) + ". Parent entity (" + Q(PlainName(w[parentWord])) +
                                 ") not found.",
                    entity);
        }
        return;
    }

    std::vector<TVELAttribute*> parentColumns;
    const int parentOpen = w.NextSignificant(parentWord);
    if (w.Is(parentOpen, "(")) {
        for (const std::string& column : ListNames(w, parentOpen))
            parentColumns.push_back(dynamic_cast<TVELAttribute*>(parent->Attributes.FindByName(column)));
    } else {
        parent->PrimaryKeyAttributes(parentColumns);
    }
    std::vector<TVELAttribute*> childColumns;
    if (attribute) {
        childColumns.push_back(attribute);
    } else {
        const int key = foreign >= 0 ? w.FindWord("KEY", foreign) : -1;
        const int open = key >= 0 && key < references ? w.FindWord("(", key) : -1;
        if (open >= 0 && open < references)
            for (const std::string& column : ListNames(w, open))
                childColumns.push_back(dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(column)));
    }
    if (parentColumns.size() != childColumns.size()) {
        Message(mlError,
                "Invalid relationship " + Q(name) + " between " + Q(entity->GetName()) + " and " +
                    Q(parent->GetName()) + ". Number of parent columns and child columns differ.",
                entity);
        return;
    }

    uint8_t updateRule = IsMySQL() ? raRestrict : raNone;
    uint8_t deleteRule = updateRule;
    for (int on = w.FindWord("ON", references); on >= 0; on = w.FindWord("ON", on + 1)) {
        const int event = w.NextSignificant(on);
        if (!w.Is(event, "UPDATE") && !w.Is(event, "DELETE")) continue;
        uint8_t& rule = w.Is(event, "UPDATE") ? updateRule : deleteRule;
        const int action = w.NextSignificant(event);
        const int second = w.NextSignificant(action);
        if (w.Is(action, "RESTRICT"))
            rule = raRestrict;
        else if (w.Is(action, "CASCADE"))
            rule = raCascade;
        else if (w.Is(action, "SET") && w.Is(second, "NULL"))
            rule = raSetNull;
        else if (w.Is(action, "SET") && w.Is(second, "DEFAULT"))
            rule = raSetDefault;
    }

    // A relationship without a name takes the name template; constraint names need only be
    // unique per table, relationship names in the whole model.
    std::string relationshipName = name;
    if (!name.empty()) {
        for (int n = 2; relationshipNames_.count(UpperCase(relationshipName)); ++n)
            relationshipName = name + "_" + IntToStr(n);
        relationshipNames_.insert(UpperCase(relationshipName));
    }
    TVELRelationship* relationship = NewImportedRelationship(*Dictionary, parent, entity, relationshipName, name);
    relationship->UpdateRule = updateRule;
    relationship->DeleteRule = deleteRule;
    for (size_t i = 0; i < parentColumns.size(); ++i)
        if (parentColumns[i] && childColumns[i]) AddImportedPair(*relationship, parentColumns[i], childColumns[i]);
    Added(relationship);
}

void TVELSQLParser::Index(TVELEntity* entity, const TWords& w) {
    if (!Enabled("RevEngIndexes") || w.FindWord("PRIMARY") >= 0 || w.FindWord("FOREIGN") >= 0) return;
    int keyword = w.FindWord("INDEX");
    if (keyword < 0) keyword = w.FindWord("KEY");
    if (keyword < 0) keyword = w.FindWord("FULLTEXT");
    if (keyword < 0) return;

    int n = NameAfter(w, keyword);
    std::string schema, name;
    if (n >= 0 && !w.Is(n, "ON") && !w.Is(n, "USING")) {
        SplitQualifiedName(RestorePlaceholders(w[n], StringsTable), schema, name);
    } else {
        n = keyword;
    }
    std::string tableName;
    if (!entity) {
        const int on = w.FindWord("ON", n);
        int table = on < 0 ? -1 : w.NextSignificant(on);
        if (w.Is(table, "ONLY")) table = w.NextSignificant(table);
        if (table < 0) {
            Message(mlError, "Table in index " + Q(name) + " not defined.");
            return;
        }
        entity = FindTable(w[table]);
        if (!entity) {
            Message(mlError,
                    "Invalid index " + Q(name) + ". Table " + Q(PlainName(w[table])) + " not found in list of tables.");
            return;
        }
        n = table;
    }

    const int open = w.FindWord("(", n + 1);
    int close = open < 0 ? -1 : w.MatchingClose(open);
    if (open >= 0 && close < 0) close = w.Count();
    // name [ASC|DESC] per column, or an expression (a function call or a parenthesized term,
    // kept as its text) [ASC|DESC]; unknown names are left out. A known name followed by "(" is
    // a column with a prefix length (MySQL), not a call.
    struct TColumn {
        TVELAttribute* Attribute;
        std::string Expression;
        std::string Sort;
    };
    std::vector<TColumn> columns;
    if (open >= 0) {
        const int depth = w.Depth(open) + 1;
        bool expectName = true;
        for (int i = open + 1; i < close; ++i) {
            if (w.Depth(i) != depth || !w.Significant(i)) continue;
            if (w[i] == ",") {
                expectName = true;
            } else if (expectName) {
                expectName = false;
                auto* attribute = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(NameText(w[i])));
                if (attribute) {
                    columns.push_back({attribute, {}, {}});
                    continue;
                }
                const int call = w[i] == "(" ? i : w.NextSignificant(i);
                if (!w.Is(call, "(")) continue;
                // the expression runs to the next top-level comma or sort word
                int last = w.MatchingClose(call);
                if (last < 0) continue;
                for (int j = w.NextSignificant(last); j >= 0 && j < close && w[j] != "," && !w.Is(j, "ASC") &&
                                                      !w.Is(j, "DESC");
                     j = w.NextSignificant(j))
                    last = w[j] == "(" ? std::max(j, w.MatchingClose(j)) : j;
                columns.push_back({nullptr, Trim(RestoreLiterals(w.Text(i, last + 1))), {}});
                i = last;
            } else if (!columns.empty() && (w.Is(i, "ASC") || w.Is(i, "DESC"))) {
                columns.back().Sort = UpperCase(w[i]);
            }
        }
    }
    if (columns.empty()) {
        Message(mlError, "Index columns for index " + Q(name) + " not found.", entity);
        return;
    }

    if (name.empty()) {
        // The name the server gives an index written without one: MySQL takes the first
        // column's name, PostgreSQL the table's and the columns' names with "_idx"; either
        // adds a number while the name is taken.
        const bool mysql = IsMySQL();
        std::string stem = mysql ? std::string() : entity->GetName();
        for (const TColumn& column : columns) {
            const std::string part = column.Attribute ? column.Attribute->GetName() : std::string("expr");
            stem += stem.empty() ? part : "_" + part;
            if (mysql) break;
        }
        if (!mysql) stem += "_idx";
        auto taken = [&](const std::string& candidate) {
            for (int i = 0; i < entity->Indexes.Count(); ++i)
                if (SameText(entity->IndexAt(i)->GetName(), candidate)) return true;
            for (int i = 0; i < entity->Constraints.Count(); ++i)
                if (SameText(entity->ConstraintAt(i)->GetName(), candidate)) return true;
            return false;
        };
        name = stem;
        for (int n = mysql ? 2 : 1; taken(name); ++n)
            name = stem + (mysql ? "_" : "") + std::to_string(n);
    }
    TVELIndex* index = entity->AddIndex(false);
    SetImportedName(*index, name);
    if (w.FindWord("UNIQUE") >= 0) index->IndexType = "UNIQUE";
    if (w.FindWord("FULLTEXT") >= 0) index->IndexType = "FULLTEXT";
    if (w.FindWord("SPATIAL") >= 0) index->IndexType = "SPATIAL";
    if (w.FindWord("NONCLUSTERED") >= 0)
        index->Clustering = "NONCLUSTERED";
    else if (w.FindWord("CLUSTERED") >= 0)
        index->Clustering = "CLUSTERED";
    const int method = w.FindAfter("USING");
    // B-tree is PostgreSQL's index method when none is named, and the catalogue import reads
    // it as none.
    if (method >= 0 && (open < 0 || method < open) && !w.Is(method, "(") &&
        !(IsDriver("postgresql") && w.Is(method, "btree")))
        index->Clustering = NameText(w[method]);
    for (const TColumn& column : columns) {
        TVELIndexColumn* indexColumn =
            column.Attribute ? index->AddColumn(column.Attribute) : index->AddExpressionColumn(column.Expression);
        if (!column.Sort.empty()) indexColumn->SortOption = column.Sort;
    }
    if (close >= 0 && close + 1 < w.Count()) {
        std::string options;
        for (int i = close + 1; i < w.Count(); ++i) {
            // Db2 writes CLUSTER after the column list (and after INCLUDE (...)): it is the
            // clustering of the index, not an option.
            if (w.Is(i, "CLUSTER") && w.Depth(i) == w.Depth(close)) {
                index->Clustering = "CLUSTER";
                continue;
            }
            if (w[i] != ";") options += IsLineBreak(w.Text(i, i + 1)) ? std::string(CRLF) : std::string(w[i]);
        }
        index->IndexOptions = Trim(RestoreLiterals(options));
    }
    Remember('I', schema.empty() ? entity->SchemaName : schema, name, index);
    Message(mlInfo, "Index " + Q(name) + " successfully imported.");
    Added(index);
}

// ---- other objects -------------------------------------------------------------------------------

void TVELSQLParser::Remember(char kind, const std::string& schema, const std::string& name,
                             TVELDatabaseObject* object) {
    if (name.empty()) return;
    const std::string bare = std::string(1, kind) + UpperCase(name);
    membersByName_.emplace(bare, object);
    if (!schema.empty()) membersByName_.emplace(std::string(1, kind) + QualifiedKey(schema, name), object);
}

TVELDatabaseObject* TVELSQLParser::Recall(char kind, const std::string& schema, const std::string& name) const {
    if (membersByName_.empty()) return nullptr;
    if (!schema.empty())
        if (auto it = membersByName_.find(std::string(1, kind) + QualifiedKey(schema, name)); it != membersByName_.end())
            return it->second;
    const auto it = membersByName_.find(std::string(1, kind) + UpperCase(name));
    return it == membersByName_.end() ? nullptr : it->second;
}

namespace {

// The position of the last point outside quotes (the one before a member name), or npos.
size_t LastPoint(std::string_view s) {
    size_t dot = npos;
    for (size_t i = 0; i < s.size();) {
        if (CloserOf(s[i])) {
            i = QuotedEnd(s, i);
            continue;
        }
        if (s[i] == '.') dot = i;
        ++i;
    }
    return dot;
}

// The named member (constraint, index, trigger) of a table, or nullptr.
TVELDatabaseObject* MemberOf(const TVELEntity& entity, std::string_view kind, const std::string& name) {
    if (SameText(kind, "INDEX")) return dynamic_cast<TVELDatabaseObject*>(entity.Indexes.FindByName(name));
    if (SameText(kind, "TRIGGER")) return dynamic_cast<TVELDatabaseObject*>(entity.Triggers.FindByName(name));
    for (int i = 0; i < entity.Constraints.Count(); ++i)
        if (SameText(entity.ConstraintAt(i)->GetName(), name)) return entity.ConstraintAt(i);
    if (entity.PrimaryKey && SameText(entity.PrimaryKey->GetName(), name)) return entity.PrimaryKey.get();
    for (int i = 0; i < entity.Attributes.Count(); ++i) {
        TVELConstraint* check = entity.AttributeAt(i)->CheckConstraint();
        if (check && SameText(check->GetName(), name)) return check;
    }
    return nullptr;
}

} // namespace

void TVELSQLParser::SetComment(std::string_view kind, std::string_view objectName, const std::string& comment,
                               std::string_view table) {
    const std::string restored = RestorePlaceholders(objectName, StringsTable);
    std::string schema, name;
    SplitQualifiedName(restored, schema, name);
    TVELDatabaseObject* object = nullptr;
    if (SameText(kind, "TABLE")) {
        // also the comment of a view, which Oracle and Db2 write as a table comment
        object = FindTable(objectName);
        if (!object) object = Recall('V', schema, name);
    } else if (SameText(kind, "VIEW") || SameText(kind, "MATERIALIZED")) {
        object = Recall('V', schema, name);
    } else if (IsOneOf(kind, {"PROCEDURE", "FUNCTION", "ROUTINE", "PACKAGE", "SPECIFIC"})) {
        object = Recall('P', schema, name);
    } else if (SameText(kind, "SEQUENCE")) {
        object = FindSequence(objectName);
    } else if (SameText(kind, "TYPE") || SameText(kind, "DOMAIN") || SameText(kind, "DISTINCT")) {
        object = FindDomain(restored);
    } else if (!table.empty() && IsOneOf(kind, {"INDEX", "TRIGGER", "CONSTRAINT"})) {
        if (TVELEntity* entity = FindTable(table)) object = MemberOf(*entity, kind, name);
    } else if (SameText(kind, "INDEX") || SameText(kind, "TRIGGER")) {
        object = Recall(SameText(kind, "INDEX") ? 'I' : 'T', schema, name);
    } else if (SameText(kind, "COLUMN") || SameText(kind, "CONSTRAINT")) {
        // table.member or schema.table.member
        const size_t dot = LastPoint(restored);
        if (dot == npos) return;
        TVELEntity* entity = FindTable(std::string_view(restored).substr(0, dot));
        if (!entity) return;
        const std::string member = Unquote(std::string_view(restored).substr(dot + 1));
        if (SameText(kind, "COLUMN"))
            object = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(member));
        else
            object = MemberOf(*entity, kind, member);
    }
    if (object) object->Comment = comment;
}

namespace {

// The arguments of an EXEC statement after the procedure word: the texts between top-level
// commas, each without its blanks.
std::vector<std::string> ExecArguments(const TVELWordList& w, int procedure) {
    std::vector<std::string> arguments(1);
    const int depth = w.Depth(procedure);
    for (int i = procedure + 1; i < w.Count(); ++i) {
        if (w[i] == ";") break;
        if (w[i] == "," && w.Depth(i) == depth)
            arguments.emplace_back();
        else if (w.Significant(i))
            arguments.back() += w[i];
    }
    if (arguments.size() == 1 && arguments[0].empty()) arguments.clear();
    return arguments;
}

bool IsExecOf(const TVELWordList& w, std::string_view procedure) {
    const int first = w.FirstSignificant();
    if (!w.Is(first, "EXEC") && !w.Is(first, "EXECUTE")) return false;
    const std::string_view word = w[w.NextSignificant(first)];
    return SameText(word, procedure) || EndsText("." + std::string(procedure), word);
}

} // namespace

void TVELSQLParser::Comments(const TWords& w) {
    const int first = w.FirstSignificant();
    const int second = w.NextSignificant(first);
    if ((w.Is(first, "COMMENT") || w.Is(first, "LABEL")) && w.Is(second, "ON")) {
        const int kind = w.NextSignificant(second);
        int name = w.NextSignificant(kind);
        // two-word kinds: MATERIALIZED VIEW, DISTINCT TYPE, SPECIFIC PROCEDURE ...
        if (IsOneOf(w[kind], {"MATERIALIZED", "DISTINCT", "SPECIFIC"})) name = w.NextSignificant(name);
        const int is = w.FindWord("IS", name);
        const int literal = is < 0 ? -1 : w.NextSignificant(is);
        if (name < 0 || literal < 0) return;
        // PostgreSQL names the table of a trigger or constraint after ON
        int on = w.NextSignificant(name);
        if (w[on] == "(") on = w.NextSignificant(w.MatchingClose(on));
        const int table = w.Is(on, "ON") && on < is ? w.NextSignificant(on) : -1;
        SetComment(w[kind], w[name], w.Is(literal, "NULL") ? std::string() : LiteralText(w[literal]),
                   table < 0 ? std::string_view() : w[table]);
        return;
    }
    if ((w.Is(first, "TABLE") || w.Is(first, "COLUMN")) && w.Is(second, "DESCRIPTION")) {
        const int name = w.NextSignificant(second);
        int literal = w.NextSignificant(name);
        if (w.Is(literal, "IS") || w.Is(literal, "=")) literal = w.NextSignificant(literal);
        if (name >= 0 && literal >= 0) SetComment(w[first], w[name], LiteralText(w[literal]));
        return;
    }
    if (!IsExecOf(w, "sp_addextendedproperty")) return;
    static constexpr std::string_view keys[] = {"@name",       "@value",      "@level0type", "@level0name",
                                                "@level1type", "@level1name", "@level2type", "@level2name"};
    std::string values[8];
    const std::vector<std::string> arguments = ExecArguments(w, w.NextSignificant(first));
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        size_t slot = i;
        if (!argument.empty() && argument[0] == '@') {
            const size_t equals = argument.find('=');
            if (equals == npos) continue;
            const std::string_view key = argument.substr(0, equals);
            slot = std::find_if(std::begin(keys), std::end(keys), [&](std::string_view k) { return SameText(k, key); }) -
                   std::begin(keys);
            argument.remove_prefix(equals + 1);
        }
        if (slot < 8) values[slot] = LiteralText(argument);
    }
    if (UpperCase(values[0]) != "MS_DESCRIPTION") return;
    // level 1: the object in its schema; level 2: a member of a table
    const std::string& level1 = values[4];
    TVELDatabaseObject* object = nullptr;
    if (SameText(level1, "TABLE")) {
        TVELEntity* entity = nullptr;
        if (!values[3].empty())
            if (auto it = tablesByQualifiedName_.find(QualifiedKey(values[3], values[5]));
                it != tablesByQualifiedName_.end())
                entity = it->second;
        if (!entity)
            if (auto it = tablesByName_.find(UpperCase(values[5])); it != tablesByName_.end()) entity = it->second;
        if (!entity) return;
        if (SameText(values[6], "COLUMN"))
            object = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(values[7]));
        else if (values[6].empty())
            object = entity;
        else
            object = MemberOf(*entity, values[6], values[7]);
    } else if (SameText(level1, "VIEW")) {
        object = Recall('V', values[3], values[5]);
    } else if (SameText(level1, "PROCEDURE") || SameText(level1, "FUNCTION")) {
        object = Recall('P', values[3], values[5]);
    } else if (SameText(level1, "SEQUENCE")) {
        object = FindSequence(values[3].empty() ? values[5] : values[3] + "." + values[5]);
    } else if (SameText(level1, "TYPE")) {
        object = FindDomain(values[5]);
    }
    if (object) object->Comment = values[1];
}

void TVELSQLParser::CreateRule(const TWords& w, bool isDefault) {
    std::string_view verb;
    const int head = HeadKeyword(w, &verb);
    if (head < 0 || !SameText(verb, "CREATE") || !w.Is(head, isDefault ? "DEFAULT" : "RULE")) return;
    const int name = NameAfter(w, head);
    const int as = name < 0 ? -1 : w.FindWord("AS", name + 1);
    if (as < 0) {
        Message(mlError, isDefault ? "Invalid CREATE DEFAULT statement found." : "Invalid CREATE RULE statement found.");
        return;
    }
    std::string schema, bare;
    SplitQualifiedName(RestorePlaceholders(w[name], StringsTable), schema, bare);
    Rules.SetValue(bare, Trim(RestoreLiterals(w.Text(as + 1, w.Count()))));
}

void TVELSQLParser::BindRule(const TWords& w, bool isDefault) {
    if (!IsExecOf(w, isDefault ? "sp_bindefault" : "sp_bindrule")) return;
    const std::vector<std::string> arguments = ExecArguments(w, w.NextSignificant(w.FirstSignificant()));
    if (arguments.size() < 2) return;
    std::string schema, ruleName;
    SplitQualifiedName(LiteralText(arguments[0]), schema, ruleName);
    if (!Rules.Has(ruleName)) return;
    const std::string text = Rules.GetValue(ruleName);
    const std::string target = LiteralText(arguments[1]);
    TVELDatabaseObject* object = nullptr;
    // table.column, or an alias type with or without its schema
    if (const size_t dot = target.rfind('.'); dot != npos)
        if (TVELEntity* entity = FindTable(target.substr(0, dot)))
            object = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(Unquote(target.substr(dot + 1))));
    if (!object) object = FindDomain(target);
    if (auto* attribute = dynamic_cast<TVELAttribute*>(object)) {
        if (isDefault)
            attribute->SetDefaultValue(text);
        else
            attribute->SetCheckValue(text);
    } else if (auto* domain = dynamic_cast<TVELDomain*>(object)) {
        (isDefault ? domain->DefaultConstraint() : domain->CheckConstraint())->Value = text;
    }
}

TVELDomain* TVELSQLParser::NewDomain(const std::string& qualifiedName) {
    std::string schema, name;
    SplitQualifiedName(qualifiedName, schema, name);
    auto* domain = static_cast<TVELDomain*>(NewImportedObject(*Dictionary, otDomain, schema, name));
    domainsByName_.emplace(UpperCase(name), domain);
    Added(domain);
    return domain;
}

void TVELSQLParser::CreateDomain(const TWords& w) {
    std::string_view verb;
    const int head = HeadKeyword(w, &verb);
    if (head < 0 || !SameText(verb, "CREATE")) return;
    const bool isType = w.Is(head, "TYPE");
    if (!isType && !w.Is(head, "DOMAIN")) return;
    const int name = NameAfter(w, head);
    if (name < 0) {
        Message(mlError, isType ? "Invalid CREATE TYPE statement found." : "Invalid CREATE DOMAIN statement found.");
        return;
    }
    const std::string restoredName = RestorePlaceholders(w[name], StringsTable);
    int type = w.NextSignificant(name);
    if (isType) {
        // SQL Server alias types (FROM) and enumerations (AS ENUM); composite, range and
        // object types are no domains.
        if (w.Is(type, "FROM")) {
            type = w.NextSignificant(type);
        } else if (w.Is(type, "AS") && w.Is(w.NextSignificant(type), "ENUM")) {
            type = w.NextSignificant(type);
        } else if (w.Is(type, "AS") && w.Is(w.PreviousSignificant(head), "DISTINCT")) {
            // Db2 distinct types: CREATE DISTINCT TYPE name AS type [WITH COMPARISONS]
            type = w.NextSignificant(type);
        } else if (type >= 0) {
            return;
        }
    } else if (w.Is(type, "AS")) {
        type = w.NextSignificant(type);
    }
    if (type < 0 || w[type] == "(" || w[type] == ",") {
        std::string schema, bare;
        SplitQualifiedName(restoredName, schema, bare);
        Message(mlError, "Invalid CREATE DOMAIN statement for domain " + Q(bare) + ".");
        return;
    }
    TVELDomain* domain = NewDomain(restoredName);
    const int last = DataType(domain, w, type);
    if (const int d = w.FindWord("DEFAULT", last + 1); d >= 0) DefaultClause(domain, w, d);
    if (const int collate = w.FindAfter("COLLATE", last + 1); collate >= 0) domain->Collate = NameText(w[collate]);
    Check(nullptr, domain, w);
}

void TVELSQLParser::AddType(const TWords& w) {
    if (!IsExecOf(w, "sp_addtype")) return;
    const std::vector<std::string> arguments = ExecArguments(w, w.NextSignificant(w.FirstSignificant()));
    const std::string name = arguments.empty() ? std::string() : LiteralText(arguments[0]);
    if (name.empty()) {
        Message(mlError, "Invalid CREATE TYPE statement found.");
        return;
    }
    const std::string type = arguments.size() < 2 ? std::string() : LiteralText(arguments[1]);
    if (type.empty()) {
        Message(mlError, "Invalid CREATE DOMAIN statement for domain " + Q(name) + ".");
        return;
    }
    SetScriptDataType(NewDomain(name), type);
}

std::string TVELSQLParser::CodeText(const TWords& w, int head) const {
    if (!IsMySQL() || head <= 0) return RestoreLiterals(w.Text(0, w.Count()));
    std::vector<std::string_view> words;
    for (int i = 0; i < head; ++i)
        if (w.Significant(i)) words.push_back(w[i]);
    std::string header;
    for (size_t i = 0; i < words.size(); ++i) {
        auto at = [&](size_t k, std::string_view word) { return k < words.size() && SameText(words[k], word); };
        if (StartsText("DEFINER", words[i])) {
            // DEFINER = account, where the account is CURRENT_USER[()] or user@host, in one word
            // or several
            while (i + 1 < words.size() && !at(i + 1, "SQL") && !StartsText("ALGORITHM", words[i + 1]))
                ++i;
            continue;
        }
        if (at(i, "ALGORITHM=UNDEFINED")) continue;
        if (at(i, "ALGORITHM") && at(i + 1, "=") && at(i + 2, "UNDEFINED")) {
            i += 2;
            continue;
        }
        if (at(i, "SQL") && at(i + 1, "SECURITY") && at(i + 2, "DEFINER")) {
            i += 2;
            continue;
        }
        header += std::string(words[i]) + " ";
    }
    return RestoreLiterals(header + std::string(w.Text(head, w.Count())));
}

void TVELSQLParser::CodeObject(const TWords& w, int head, int nameIndex, int type, const char* caption) {
    std::string schema, name;
    SplitQualifiedName(RestorePlaceholders(w[nameIndex], StringsTable), schema, name);
    // A view defined again replaces the first definition, as it does on the server (a dump
    // first makes stand-ins for views and defines them at the end). Routines of one name may
    // be overloads and stay apart.
    auto* object = type == otView ? static_cast<TVELCodeObject*>(Recall('V', schema, name)) : nullptr;
    if (object && !SameText(object->SchemaName, schema)) object = nullptr;
    if (!object) object = static_cast<TVELCodeObject*>(NewImportedObject(*Dictionary, type, schema, name));
    object->Code = CodeText(w, head);
    Remember(type == otView ? 'V' : 'P', schema, name, object);
    Message(mlInfo, std::string(caption) + " " + Q(name) + " successfully imported.");
    Added(object);
}

void TVELSQLParser::Procedure(const TWords& w) {
    std::string_view verb;
    const int head = HeadKeyword(w, &verb);
    if (head < 0 || SameText(verb, "RECREATE") || !IsOneOf(w[head], {"PROCEDURE", "PROC", "FUNCTION"})) return;
    const int n = NameAfter(w, head);
    if (n < 0) return;
    CodeObject(w, head, n, otProcedure, "Procedure");
}

void TVELSQLParser::View(const TWords& w) {
    std::string_view verb;
    const int head = HeadKeyword(w, &verb);
    if (head < 0 || !SameText(verb, "CREATE") || !w.Is(head, "VIEW") || !Enabled("RevEngViews")) return;
    const int n = NameAfter(w, head);
    if (n < 0 || w.FindWord("AS", n + 1) < 0) return;
    CodeObject(w, head, n, otView, "View");
}

void TVELSQLParser::Sequence(const TWords& w) {
    std::string_view verb;
    const int head = HeadKeyword(w, &verb);
    if (head >= 0 && SameText(verb, "ALTER") && w.Is(head, "SEQUENCE")) {
        // ALTER SEQUENCE name OWNED BY table.column
        const int n = NameAfter(w, head);
        const int owned = w.FindWord("OWNED", head);
        const int column = owned < 0 || !w.Is(w.NextSignificant(owned), "BY") ? -1
                                                                              : w.NextSignificant(w.NextSignificant(owned));
        if (n >= 0 && column >= 0) sequenceOwners_.emplace_back(std::string(w[n]), std::string(w[column]));
        return;
    }
    if (head < 0 || !SameText(verb, "CREATE") || !IsOneOf(w[head], {"SEQUENCE", "GENERATOR"}) ||
        !Enabled("RevEngSequences"))
        return;
    const int n = NameAfter(w, head);
    if (n < 0) return;
    std::string schema, name;
    SplitQualifiedName(RestorePlaceholders(w[n], StringsTable), schema, name);
    auto* sequence = static_cast<TVELSequence*>(NewImportedObject(*Dictionary, otSequence, schema, name));
    sequence->Min = "NOMINVALUE";
    sequence->Max = "NOMAXVALUE";
    // The number after a keyword and its optional filler word, with a leading minus sign when it
    // stands as a word of its own; empty when no number follows. `last` is the number's word.
    // Limits may exceed 64 bits (Oracle), so they are checked as digits and kept as text.
    auto numberAfter = [&](int keyword, std::string_view filler, int& last) {
        int v = w.NextSignificant(keyword);
        if (w.Is(v, filler)) v = w.NextSignificant(v);
        std::string number;
        if (v >= 0 && (w[v] == "-" || w[v] == "+")) {
            if (w[v] == "-") number = "-";
            v = w.NextSignificant(v);
        }
        if (v < 0) return std::string();
        std::string_view digits = w[v];
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
            if (digits[0] == '-') number = "-";
            digits.remove_prefix(1);
        }
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::string();
        last = v;
        return number.append(digits);
    };
    for (int i = n + 1; i < w.Count(); ++i) {
        if (!w.Significant(i)) continue;
        // NO CACHE, NO CYCLE, NO ORDER, NO MINVALUE, NO MAXVALUE: the two-word forms of the
        // one-word negations
        const bool negated = w.Is(w.PreviousSignificant(i), "NO");
        int v = -1;
        std::string number;
        if (w.Is(i, "INCREMENT") && !(number = numberAfter(i, "BY", v)).empty()) {
            sequence->Increment = StrToIntDef(number, 1);
        } else if (w.Is(i, "START") && !(number = numberAfter(i, "WITH", v)).empty()) {
            sequence->Seed = StrToIntDef(number, 0);
        } else if (w.Is(i, "MINVALUE") && negated) {
            sequence->Min = "NOMINVALUE";
        } else if (w.Is(i, "MAXVALUE") && negated) {
            sequence->Max = "NOMAXVALUE";
        } else if (w.Is(i, "MINVALUE") && !(number = numberAfter(i, "", v)).empty()) {
            sequence->Min = number;
        } else if (w.Is(i, "MAXVALUE") && !(number = numberAfter(i, "", v)).empty()) {
            sequence->Max = number;
        } else if (w.Is(i, "NOMINVALUE")) {
            sequence->Min = "NOMINVALUE";
        } else if (w.Is(i, "NOMAXVALUE")) {
            sequence->Max = "NOMAXVALUE";
        } else if (w.Is(i, "CACHE") && negated) {
            sequence->Cache.clear();
            sequence->CacheCode = "NOCACHE";
        } else if (w.Is(i, "CACHE") && !(number = numberAfter(i, "", v)).empty()) {
            sequence->Cache = number;
            sequence->CacheCode = "CACHE";
        } else if (w.Is(i, "NOCACHE")) {
            sequence->Cache.clear();
            sequence->CacheCode = "NOCACHE";
        } else if (w.Is(i, "CYCLE")) {
            sequence->Cycle = negated ? "nocycle" : "cycle";
        } else if (w.Is(i, "NOCYCLE")) {
            sequence->Cycle = "nocycle";
        } else if (w.Is(i, "ORDER")) {
            sequence->Order = negated ? "noorder" : "order";
        } else if (w.Is(i, "NOORDER")) {
            sequence->Order = "noorder";
        } else if (w.Is(i, "AS") && (v = w.NextSignificant(i)) >= 0) {
            sequence->IntegerType = UpperCase(NameText(w[v]));
        }
        if (v > i) i = v;
    }
    // Oracle writes its own default limits out in full; its catalogue import reads them as "no
    // limit", and the script must give the same model.
    const TVELDatabaseSettings* target = Dictionary->GetDatabaseSettings();
    if (target && SameText(target->DriverName, "oracle")) {
        if (sequence->Max == "9999999999999999999999999999") sequence->Max = "NOMAXVALUE";
        if (sequence->Min == "-999999999999999999999999999") sequence->Min = "NOMINVALUE";
    }
    IndexSequence(sequence);
    Message(mlInfo, "Sequence " + Q(name) + " successfully imported.");
    Added(sequence);
}

void TVELSQLParser::AlterTable(const TWords& w) {
    std::string_view verb;
    const int head = HeadKeyword(w, &verb);
    if (head < 0 || !SameText(verb, "ALTER") || !w.Is(head, "TABLE")) return;
    const int n = NameAfter(w, head);
    if (n < 0) return;
    TVELEntity* entity = FindTable(w[n]);
    if (!entity) {
        // PostgreSQL's dump changes the owner of sequences and views with ALTER TABLE too.
        const int owner = w.FindWord("OWNER", n);
        if (owner >= 0 && w.Is(w.NextSignificant(owner), "TO")) return;
        Message(mlError, "Unable to add constraint defined in alter table statement because table " +
                             Q(PlainName(w[n])) + " can't be found.");
        return;
    }
    // One statement may hold several clauses: ADD ..., ADD ..., ALTER COLUMN ...
    const int depth = w.Depth(n);
    int start = n + 1;
    for (int i = n + 1; i <= w.Count(); ++i) {
        if (i < w.Count() && !((w[i] == "," || w[i] == ";") && w.Depth(i) == depth)) continue;
        const std::string_view clauseText = w.Text(start, i);
        start = i + 1;
        const TWords clause(clauseText);
        const int add = clause.FindWord("ADD");
        if (add >= 0) {
            PrimaryKey(entity, nullptr, clause);
            Unique(entity, nullptr, clause);
            Check(entity, nullptr, clause);
            ForeignKey(entity, nullptr, clause, true);
            // ADD CONSTRAINT df DEFAULT (value) FOR column
            const int d = clause.FindWord("DEFAULT", add);
            const int f = d < 0 ? -1 : clause.FindAfter("FOR", d);
            if (f >= 0)
                if (auto* a = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(NameText(clause[f]))))
                    DefaultClause(a, clause, d);
            const int what = clause.NextSignificant(add);
            if (IsOneOf(clause[what], {"INDEX", "KEY", "UNIQUE", "FULLTEXT", "SPATIAL"})) Index(entity, clause);
        }
        AlterColumn(entity, clause);
    }
}

void TVELSQLParser::AlterColumn(TVELEntity* entity, const TWords& w) {
    // ALTER [COLUMN] name SET DEFAULT value | SET NOT NULL | ADD GENERATED ... AS IDENTITY [(...)]
    const int alter = w.FindWord("ALTER");
    if (alter < 0) return;
    int column = w.NextSignificant(alter);
    if (w.Is(column, "COLUMN")) column = w.NextSignificant(column);
    const int set = w.NextSignificant(column);
    if (column < 0 || !(w.Is(set, "SET") || w.Is(set, "ADD"))) return;
    auto* attribute = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(NameText(w[column])));
    if (!attribute) return;
    if (w.Is(set, "ADD")) {
        // The identity as PostgreSQL's dump adds it to a column of a table made before.
        const int identity = w.FindWord("IDENTITY", set);
        if (!w.Is(w.NextSignificant(set), "GENERATED") || identity < 0) return;
        TVELDataType& type = *attribute->DataType;
        type.AutoNumber = true;
        attribute->AutoNumber = true;
        type.Seed = 1;
        type.Increment = 1;
        const int start = w.FindWord("START", identity);
        const int by = w.FindWord("INCREMENT", identity);
        auto number = [&](int keyword, std::string_view filler, int32_t fallback) {
            int v = w.NextSignificant(keyword);
            if (w.Is(v, filler)) v = w.NextSignificant(v);
            return v < 0 ? fallback : StrToIntDef(w[v], fallback);
        };
        if (start >= 0) type.Seed = number(start, "WITH", 1);
        if (by >= 0) type.Increment = number(by, "BY", 1);
        return;
    }
    const int what = w.NextSignificant(set);
    if (w.Is(what, "DEFAULT"))
        DefaultClause(attribute, w, what);
    else if (w.Is(what, "NOT") && w.Is(w.NextSignificant(what), "NULL"))
        attribute->SetNotNull(true);
}

void TVELSQLParser::Trigger(const TWords& w) {
    std::string_view verb;
    const int head = HeadKeyword(w, &verb);
    if (head < 0 || !SameText(verb, "CREATE") || !w.Is(head, "TRIGGER")) return;
    const int n = NameAfter(w, head);
    if (n < 0) return;
    std::string schema, name;
    SplitQualifiedName(RestorePlaceholders(w[n], StringsTable), schema, name);
    const int on = w.FindWord("ON", n + 1);
    const int for_ = w.FindWord("FOR", n + 1);
    const int keyword = on < 0 ? for_ : (for_ < 0 ? on : std::min(on, for_));
    const int table = keyword < 0 ? -1 : w.NextSignificant(keyword);
    TVELEntity* entity = table < 0 ? nullptr : FindTable(w[table]);
    if (!entity) {
        Message(mlError, "Invalid trigger " + Q(name) + ". Table " + Q(table < 0 ? std::string() : PlainName(w[table])) +
                             " not found in list of tables.");
        return;
    }
    TVELTrigger* trigger = entity->AddTrigger(false);
    trigger->SetName(name);
    trigger->SchemaName = schema;
    trigger->Code = CodeText(w, head);
    Remember('T', schema.empty() ? entity->SchemaName : schema, name, trigger);
    Message(mlInfo, "Trigger " + Q(name) + " successfully imported.");
    Added(trigger);
}

// ---- after all statements ------------------------------------------------------------------------

void TVELSQLParser::ResolveSequences() {
    std::unordered_map<const TVELSequence*, std::string> owners; // sequence -> table.column
    for (const auto& [name, owner] : sequenceOwners_)
        if (const TVELSequence* sequence = FindSequence(name)) owners[sequence] = owner;
    std::unordered_map<TVELSequence*, int> uses;
    std::vector<std::pair<TVELAttribute*, TVELSequence*>> serials;
    for (const TSequenceUse& use : sequenceUses_) {
        TVELAttribute* attribute = use.Entity->FindAttribute(use.AttributeID);
        TVELSequence* sequence = attribute ? FindSequence(use.Sequence) : nullptr;
        if (!sequence) continue;
        attribute->AutoNumber = true;
        attribute->SetSequenceID(sequence->ID);
        Message(mlInfo, "Sequence " + Q(sequence->GetName()) + " associated with attribute " +
                            Q(attribute->GetName()) + ".");
        ++uses[sequence];
        if (const auto owner = owners.find(sequence);
            owner != owners.end() && IsSerial(*attribute, *use.Entity, *sequence, owner->second))
            serials.emplace_back(attribute, sequence);
    }
    // What SERIAL makes (PostgreSQL's dump writes it out) reads as SERIAL, as the catalogue
    // import reads it, unless another column draws from the sequence too.
    std::unordered_set<const TVELNamedObject*> gone;
    for (const auto& [attribute, sequence] : serials) {
        if (uses[sequence] != 1) continue;
        TVELDataType& type = *attribute->DataType;
        type.DataType = SameText(type.DataType, "SMALLINT") ? "SMALLSERIAL"
                        : SameText(type.DataType, "BIGINT") ? "BIGSERIAL"
                                                            : "SERIAL";
        attribute->AutoNumber = false;
        attribute->SetSequenceID(-1);
        gone.insert(sequence);
    }
    if (!gone.empty()) {
        auto isGone = [&](const auto& entry) { return gone.count(entry.second) > 0; };
        std::erase_if(sequencesByName_, isGone);
        std::erase_if(sequencesByQualifiedName_, isGone);
        Dictionary->ExtractAll(gone); // no column refers to them any more
    }
    sequenceUses_.clear();
    sequenceOwners_.clear();
}

bool TVELSQLParser::IsSerial(const TVELAttribute& column, const TVELEntity& table, const TVELSequence& sequence,
                             const std::string& owner) const {
    const TSLDatatypes* types = Dictionary->GetDataTypes();
    if (!types || types->IndexOf("SERIAL") < 0 || !IsOneOf(column.DataType->DataType, {"SMALLINT", "INTEGER", "BIGINT"}))
        return false;
    if (sequence.Seed != 1 || sequence.Increment != 1 || SameText(sequence.Cycle, "cycle") ||
        !IsOneOf(sequence.Min, {"", "NOMINVALUE", "1"}) || !IsOneOf(sequence.Max, {"", "NOMAXVALUE"}) ||
        !IsOneOf(sequence.Cache, {"", "1"}) || !Trim(sequence.Comment).empty())
        return false;
    const size_t dot = owner.rfind('.');
    return dot != npos && FindTable(owner.substr(0, dot)) == &table &&
           SameText(NameText(owner.substr(dot + 1)), column.GetName());
}

void TVELSQLParser::ResolveDeferred() {
    const std::vector<TDeferredKey> deferred = std::move(Deferred);
    Deferred.clear();
    for (const TDeferredKey& key : deferred) {
        TVELEntity* entity = FindTable(key.ChildTable);
        if (!entity) continue;
        TVELAttribute* attribute = nullptr;
        if (!key.Column.empty()) {
            attribute = dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(key.Column));
            if (!attribute) continue;
        }
        const TWords w(key.Clause);
        try {
            ForeignKey(entity, attribute, w, false);
        } catch (const EVELError& e) {
            Message(mlError, e.what());
        }
    }
}

// ---- type texts ----------------------------------------------------------------------------------

void TVELSQLParser::SetScriptDataType(TVELDatabaseObject* object, std::string_view text) {
    if (!indexed_) IndexDictionary();
    // The literals of the text (ENUM items) become placeholders, as in a prepared script.
    std::string prepared;
    prepared.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\'' || text[i] == '"') {
            const size_t end = QuotedEnd(text, i);
            prepared += TDBScript::Placeholder(StringsTable.size());
            StringsTable.emplace_back(text.substr(i, end - i));
            i = end;
        } else {
            prepared += text[i++];
        }
    }
    const TWords w(prepared);
    DataType(object, w, w.FirstSignificant());
}

} // namespace ardvin
