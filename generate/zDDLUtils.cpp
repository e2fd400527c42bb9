// The template filler. A template is parsed once into literal runs, placeholders and optional
// parts and kept per filler; filling resolves each placeholder the template holds once, from
// the object and the objects around it, and writes the text in one pass.
#include "zDDLUtils.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <typeinfo>
#include <unordered_map>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin {

namespace {

// A domain check in the model names its value VALUE (the word of CREATE DOMAIN ... CHECK); a
// SQL Server rule names it as a variable. Turns every bare word VALUE outside literals and
// quoted names into @value; a check that already holds the variable (read from a rule) keeps it.
std::string RuleVariables(std::string_view check) {
    auto wordChar = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalnum(u) || u >= 128 || c == '_' || c == '@' || c == '#' || c == '$';
    };
    std::string out;
    out.reserve(check.size() + 8);
    for (size_t i = 0; i < check.size();) {
        const char c = check[i];
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            size_t end = check.find(close, i + 1);
            end = end == std::string_view::npos ? check.size() : end + 1;
            out.append(check.substr(i, end - i));
            i = end;
        } else if (wordChar(c)) {
            size_t end = i;
            while (end < check.size() && wordChar(check[end])) ++end;
            const std::string_view word = check.substr(i, end - i);
            out += SameText(word, "value") ? std::string("@value") : std::string(word);
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}


// ---- placeholder names ------------------------------------------------------------------------

enum TPlaceholder : int {
    // every kind
    pTerminator,
    pTableSchema,
    pMSSQLTableSchema,
    // table
    pTableComment,
    pTableColumns,
    pTempTableColumns,
    pPKConstraint,
    pTableConstraints,
    pTableAbbreviation,
    pTableOptions,
    pBeginTableScript,
    pEndTableScript,
    // column
    pColumnComment,
    pPosition,
    pAttributeOptions,
    pCollate,
    pPrevColumnName,
    pDataType,
    pDefaultValue,
    pCheck,
    pNotNull,
    pSQLiteAutoIncPK,
    pDB2AutoInc,
    pDefaultConstraint,
    pNotNullConstraint,
    pCheckConstraint,
    // data type
    pPhysicalDataType,
    pLength,
    pPrecision,
    pItems,
    pExpression,
    pCharacterSet,
    pCollation,
    pSubType,
    pSegmentSize,
    pArrayOptions,
    pUnsigned,
    pZeroFill,
    pAutoIncrementUnderscore,
    pAutoIncrement,
    // constraint
    pConstraint,
    pConstraintColumn,
    pConstraintColumns,
    pConstraintOptions,
    pPKClustering,
    pColumnDataType,
    pParentColumns,
    pChildColumns,
    pDeleteRule,
    pUpdateRule,
    // index and index column
    pIndexComment,
    pIndexSortOption,
    pIndexType,
    pIndexCompression,
    pIndexClustering,
    pIndexCase,
    pIBFBIdxPrefix,
    pIndexColumns,
    pIndexOptions,
    pIndexColumnName,
    pIndexColumn,
    pIndexColumnNonFixed,
    pIndexColumnSortOption,
    // sequence
    pSeqComment,
    pSeqSeed,
    pSeqSeedLessIncrement,
    pSeqIncrement,
    pSeqMin,
    pSeqMax,
    pSeqIntegerType,
    pOraSeqMax,
    pOraSeqMin,
    pOraSeqCache,
    pMSSQLServerSeqCache,
    pSeqCycle,
    pSeqCache,
    pSeqCacheCode,
    pSeqOrder,
    // domain
    pDomainComment,
    pMSSQLRule,
    pMSSQLDropRule,
    pMSSQLDefault,
    pMSSQLDropDefault,
    pMSSQLAddType,
    pMSSQLDropType,
    pMSSQLBindRule,
    pMSSQLUnbindRule,
    pMSSQLBinDefault,
    pMSSQLUnbinDefault,
    // code objects
    pTriggerCode,
    pViewComment,
    pViewCode,
    pRuleComment,
    pRuleCode,
    pRuleType,
    pRuleParams,
    pProcComment,
    pProcCode,
    pProcParams,
    // supplied by the caller only
    pIntoFields,
    pSelectFields,
    // the name forms follow: NameBase + (old * RoleCount + role) * FormCount + form
    pNameBase
};

struct TPlaceholderName {
    const char* Name;
    int Id;
    bool OnDemand; // recognised in lower case only
};

constexpr TPlaceholderName PlainPlaceholders[] = {
    {"terminator", pTerminator, false},
    {"tableschema", pTableSchema, false},
    {"mssqltableschema", pMSSQLTableSchema, false},
    {"tablecomment", pTableComment, true},
    {"tablecolumns", pTableColumns, true},
    {"temptablecolumns", pTempTableColumns, true},
    {"pkconstraint", pPKConstraint, true},
    {"tableconstraints", pTableConstraints, true},
    {"tableabbreviation", pTableAbbreviation, false},
    {"tableoptions", pTableOptions, false},
    {"begintablescript", pBeginTableScript, false},
    {"endtablescript", pEndTableScript, false},
    {"columncomment", pColumnComment, true},
    {"position", pPosition, false},
    {"attributeoptions", pAttributeOptions, false},
    {"collate", pCollate, false},
    {"prevcolumnname", pPrevColumnName, true},
    {"datatype", pDataType, false},
    {"defaultvalue", pDefaultValue, true},
    {"check", pCheck, true},
    {"notnull", pNotNull, true},
    {"sqliteautoincpk", pSQLiteAutoIncPK, true},
    {"db2autoinc", pDB2AutoInc, false},
    {"defaultconstraint", pDefaultConstraint, false},
    {"notnullconstraint", pNotNullConstraint, false},
    {"checkconstraint", pCheckConstraint, false},
    {"physicaldatatype", pPhysicalDataType, false},
    {"length", pLength, false},
    {"precision", pPrecision, false},
    {"items", pItems, false},
    {"expression", pExpression, false},
    {"characterset", pCharacterSet, false},
    {"collation", pCollation, false},
    {"subtype", pSubType, false},
    {"segmentsize", pSegmentSize, false},
    {"arrayoptions", pArrayOptions, false},
    {"unsigned", pUnsigned, false},
    {"zerofill", pZeroFill, false},
    {"auto_increment", pAutoIncrementUnderscore, false},
    {"autoincrement", pAutoIncrement, false},
    {"constraint", pConstraint, false},
    {"constraintcolumn", pConstraintColumn, false},
    {"constraintcolumns", pConstraintColumns, false},
    {"constraintoptions", pConstraintOptions, false},
    {"pkclustering", pPKClustering, false},
    {"columndatatype", pColumnDataType, false},
    {"parentcolumns", pParentColumns, false},
    {"childcolumns", pChildColumns, false},
    {"deleterule", pDeleteRule, false},
    {"updaterule", pUpdateRule, false},
    {"indexcomment", pIndexComment, true},
    {"indexsortoption", pIndexSortOption, false},
    {"indextype", pIndexType, false},
    {"indexcompression", pIndexCompression, false},
    {"indexclustering", pIndexClustering, false},
    {"indexcase", pIndexCase, false},
    {"ibfbidxprefix", pIBFBIdxPrefix, false},
    {"indexcolumns", pIndexColumns, true},
    {"indexoptions", pIndexOptions, false},
    {"indexcolumnname", pIndexColumnName, false},
    {"indexcolumn", pIndexColumn, false},
    {"indexcolumn_nonfixed", pIndexColumnNonFixed, false},
    {"indexcolumnsortoption", pIndexColumnSortOption, false},
    {"seqcomment", pSeqComment, true},
    {"seqseed", pSeqSeed, false},
    {"seqseedlessincrement", pSeqSeedLessIncrement, false},
    {"seqincrement", pSeqIncrement, false},
    {"seqmin", pSeqMin, false},
    {"seqmax", pSeqMax, false},
    {"seqintegertype", pSeqIntegerType, false},
    {"oraseqmax", pOraSeqMax, true},
    {"oraseqmin", pOraSeqMin, true},
    {"oraseqcache", pOraSeqCache, true},
    {"mssqlserverseqcache", pMSSQLServerSeqCache, true},
    {"seqcycle", pSeqCycle, false},
    {"seqcache", pSeqCache, false},
    {"seqcachecode", pSeqCacheCode, false},
    {"seqorder", pSeqOrder, false},
    {"domaincomment", pDomainComment, true},
    {"mssqlrule", pMSSQLRule, true},
    {"mssqldroprule", pMSSQLDropRule, true},
    {"mssqldefault", pMSSQLDefault, true},
    {"mssqldropdefault", pMSSQLDropDefault, true},
    {"mssqladdtype", pMSSQLAddType, true},
    {"mssqldroptype", pMSSQLDropType, true},
    {"mssqlbindrule", pMSSQLBindRule, true},
    {"mssqlunbindrule", pMSSQLUnbindRule, true},
    {"mssqlbindefault", pMSSQLBinDefault, true},
    {"mssqlunbindefault", pMSSQLUnbinDefault, true},
    {"triggercode", pTriggerCode, false},
    {"viewcomment", pViewComment, true},
    {"viewcode", pViewCode, false},
    {"rulecomment", pRuleComment, true},
    {"rulecode", pRuleCode, false},
    {"ruletype", pRuleType, false},
    {"ruleparams", pRuleParams, false},
    {"proccomment", pProcComment, true},
    {"proccode", pProcCode, false},
    {"procparams", pProcParams, false},
    {"intofields", pIntoFields, false},
    {"selectfields", pSelectFields, false},
};

// Objects whose names the name forms give.
enum TNameRole : int {
    rTable,
    rParentTable,
    rChildTable,
    rColumn,
    rIndex,
    rConstraint,
    rDomain,
    rSeq,
    rView,
    rProc,
    rRule,
    rTrigger,
    RoleCount
};
constexpr const char* RoleWords[RoleCount] = {"table", "parenttable", "childtable", "column",
                                              "index", "constraint",  "domain",     "seq",
                                              "view",  "proc",        "rule",       "trigger"};

enum TNameForm : int {
    fQuotedQualified,
    fNonQuotedQualified,
    fQuotedSimple,
    fNonQuotedSimple,
    fName,
    fNonFixed,
    FormCount
};

constexpr int NameId(bool old, int role, int form) {
    return pNameBase + ((old ? RoleCount : 0) + role) * FormCount + form;
}
constexpr int PlaceholderCount = NameId(true, RoleCount - 1, FormCount - 1) + 1;

struct TNameInfo {
    bool Old;
    int Role;
    int Form;
};
TNameInfo DecodeName(int id) {
    const int n = id - pNameBase;
    const int form = n % FormCount;
    const int roleIndex = n / FormCount;
    return {roleIndex >= RoleCount, roleIndex % RoleCount, form};
}

struct TPlaceholderTable {
    std::unordered_map<std::string, TPlaceholderName> ByName; // lower-case name -> entry
    std::array<std::string, PlaceholderCount> Names;          // id -> lower-case name

    TPlaceholderTable() {
        for (const TPlaceholderName& p : PlainPlaceholders)
            Add(p.Name, p.Id, p.OnDemand);
        // [old][parent|child]{quotedqualified|nonquotedqualified|quotedsimple|nonquotedsimple|}
        // <kind>name, and <kind>name_nonfixed for tables, columns and domains.
        constexpr const char* Prefixes[] = {"quotedqualified", "nonquotedqualified", "quotedsimple",
                                            "nonquotedsimple", ""};
        for (int old = 0; old < 2; ++old)
            for (int role = 0; role < RoleCount; ++role) {
                std::string side, kind = RoleWords[role];
                if (role == rParentTable || role == rChildTable) {
                    side = role == rParentTable ? "parent" : "child";
                    kind = "table";
                }
                const std::string stem = old ? "old" + side : side;
                for (int form = 0; form <= fName; ++form)
                    Add(stem + Prefixes[form] + kind + "name", NameId(old, role, form), old != 0);
                if (role == rTable || role == rParentTable || role == rChildTable || role == rColumn ||
                    role == rDomain)
                    Add(stem + kind + "name_nonfixed", NameId(old, role, fNonFixed), old != 0);
            }
    }
    void Add(const std::string& name, int id, bool onDemand) {
        Names[id] = name;
        ByName.emplace(name, TPlaceholderName{nullptr, id, onDemand});
    }
    const TPlaceholderName* Find(std::string_view lowerName) const {
        auto it = ByName.find(std::string(lowerName));
        return it == ByName.end() ? nullptr : &it->second;
    }
};

const TPlaceholderTable& Placeholders() {
    static const TPlaceholderTable table;
    return table;
}

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Every line break (CR LF, CR or LF) becomes one blank.
std::string LineBreaksToBlanks(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            r += ' ';
        } else if (c == '\n') {
            r += ' ';
        } else {
            r += c;
        }
    }
    return r;
}

// Appends text with the finishing replacements made: "#13#10" -> CR LF, "<#" -> "{",
// "#>" -> "}".
void AppendFinished(std::string& out, std::string_view text) {
    // Two searches for one character each are much faster than one for either of two.
    size_t i = std::min(text.find('#'), text.find('<'));
    if (i == std::string_view::npos) {
        out.append(text);
        return;
    }
    out.append(text.substr(0, i));
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c == '#' && text.substr(i, 6) == "#13#10") {
            out += "\r\n";
            i += 6;
        } else if (c == '<' && i + 1 < n && text[i + 1] == '#') {
            out += '{';
            i += 2;
        } else if (c == '#' && i + 1 < n && text[i + 1] == '>') {
            out += '}';
            i += 2;
        } else {
            out += c;
            ++i;
        }
    }
}

void Mark(const TVELDatabaseObject* object) {
    if (object) object->GenerationMark = gmWrittenInline;
}
bool Marked(const TVELDatabaseObject* object) {
    return object && object->GenerationMark == gmWrittenInline;
}

// An autonumber column: the identity option set, or a type of the autonumber group.
bool IsAutonumberColumn(const TVELAttribute& column) {
    if (column.IsIdentity()) return true;
    const TSLDatatypes* list = column.GetDataTypes();
    const TDataTypeRecord* record = list ? list->Find(column.DataType->DataType) : nullptr;
    return record && record->Group == tgAutonumber;
}

const TVELRelationship* RelationshipOf(const TVELConstraint& constraint) {
    return constraint.ConstraintType == ctForeignKey ? dynamic_cast<const TVELRelationship*>(constraint.Owner)
                                                     : nullptr;
}

// The autonumber column a trigger was generated for, or nullptr.
const TVELAttribute* AutonumberColumnOf(const TVELTrigger& trigger) {
    const TVELEntity* entity = trigger.GetEntity();
    if (!entity) return nullptr;
    for (int i = 0; i < entity->Attributes.Count(); ++i) {
        const TVELAttribute* a = entity->AttributeAt(i);
        if (a->AutoNumberTrigger && a->TriggerID == trigger.ID && a->AutoNumberTriggerInForce()) return a;
    }
    return nullptr;
}

std::string ActionText(std::string_view prefix, int action) {
    switch (action) {
    case raRestrict:
        return std::string(prefix) + "RESTRICT";
    case raCascade:
        return std::string(prefix) + "CASCADE";
    case raSetNull:
        return std::string(prefix) + "SET NULL";
    case raSetDefault:
        return std::string(prefix) + "SET DEFAULT";
    default:
        return {};
    }
}

// The sequence limit forms: "NO<word>VALUE" for a blank limit or one that says so, else
// "<word>VALUE " and the limit.
std::string SequenceLimit(const std::string& limit, const char* word) {
    const std::string none = std::string("NO") + word + "VALUE";
    const std::string trimmed = Trim(limit);
    if (trimmed.empty() || SameText(trimmed, none)) return none;
    return std::string(word) + "VALUE " + limit;
}

std::string SequenceCache(const TVELSequence& sequence) {
    if (Trim(sequence.CacheCode).empty()) return {};
    if (SameText(Trim(sequence.CacheCode), "NOCACHE")) return sequence.CacheCode;
    return sequence.CacheCode + " " + sequence.Cache;
}

// A Unicode string literal of SQL Server, as its system procedures take names.
std::string NString(std::string_view text) {
    std::string r = "N'";
    for (char c : text) {
        if (c == '\'') r += c;
        r += c;
    }
    return r + "'";
}

} // namespace

// ---- parsed templates ---------------------------------------------------------------------------

struct TVELTemplateFiller::TParsedTemplate {
    enum Kind : uint8_t { Literal, Placeholder, GroupOpen, GroupClose };
    struct Token {
        Kind Type;
        int Slot;       // placeholder: index into Ids
        uint32_t Start; // literal or placeholder (with its "%" characters): slice of Text
        uint32_t Length;
        uint32_t Match; // group open: index of its group close
        // A literal of a template: its slice of Finished, the literal with the finishing
        // replacements made.
        uint32_t FinishedStart = 0;
        uint32_t FinishedLength = 0;
    };
    std::string Text; // the template without its star
    std::string Finished;
    std::vector<Token> Tokens;
    std::vector<int> Ids; // the distinct placeholders, in order of first appearance

    // Cuts a template into tokens. Code is cut with template off: braces are ordinary text
    // there and a leading "*" is part of the code.
    void Build(std::string_view tmpl, bool isTemplate) {
        const bool groups = isTemplate;
        if (isTemplate && !tmpl.empty() && tmpl.front() == '*') tmpl.remove_prefix(1);
        Text.assign(tmpl);
        const TPlaceholderTable& names = Placeholders();
        const size_t n = Text.size();
        size_t literalStart = 0;
        int openGroup = -1;
        auto flushLiteral = [&](size_t end) {
            if (end > literalStart)
                Tokens.push_back({Literal, -1, uint32_t(literalStart), uint32_t(end - literalStart), 0});
        };
        std::string lower;
        size_t i = 0;
        while (i < n) {
            const char c = Text[i];
            if (c == '%') {
                size_t j = i + 1;
                while (j < n && IsWordChar(Text[j]))
                    ++j;
                if (j < n && Text[j] == '%' && j > i + 1) {
                    const std::string_view word(Text.data() + i + 1, j - i - 1);
                    lower = LowerCase(word);
                    const TPlaceholderName* p = names.Find(lower);
                    if (p && (!p->OnDemand || lower == word)) {
                        flushLiteral(i);
                        int slot = 0;
                        while (slot < int(Ids.size()) && Ids[slot] != p->Id)
                            ++slot;
                        if (slot == int(Ids.size())) Ids.push_back(p->Id);
                        Tokens.push_back({Placeholder, slot, uint32_t(i), uint32_t(j + 1 - i), 0});
                        i = j + 1;
                        literalStart = i;
                        continue;
                    }
                    // Not a placeholder: its closing "%" may open the next one.
                    i = j;
                    continue;
                }
                ++i;
                continue;
            }
            if (groups && c == '{') {
                flushLiteral(i);
                // A second "{" before the "}" leaves the first one as ordinary text.
                if (openGroup >= 0) Tokens[openGroup].Type = Literal;
                openGroup = int(Tokens.size());
                Tokens.push_back({GroupOpen, -1, uint32_t(i), 1, 0});
                literalStart = ++i;
                continue;
            }
            if (groups && c == '}' && openGroup >= 0) {
                flushLiteral(i);
                Tokens[openGroup].Match = uint32_t(Tokens.size());
                Tokens.push_back({GroupClose, -1, uint32_t(i), 1, 0});
                openGroup = -1;
                literalStart = ++i;
                continue;
            }
            ++i;
        }
        flushLiteral(n);
        if (openGroup >= 0) Tokens[openGroup].Type = Literal;
        if (!isTemplate) return;
        for (Token& t : Tokens)
            if (t.Type == Literal) {
                t.FinishedStart = uint32_t(Finished.size());
                AppendFinished(Finished, std::string_view(Text).substr(t.Start, t.Length));
                t.FinishedLength = uint32_t(Finished.size() - t.FinishedStart);
            }
    }
};

// Parsed templates by their text. The keys are the full template texts, so a lookup needs no
// copy of the text.
class TVELTemplateFiller::TTemplateCache {
public:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
    };
    struct Equal {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
    };
    std::unordered_map<std::string, std::unique_ptr<TParsedTemplate>, Hash, Equal> Parsed;
    // Type texts by type list, type name and value fields (TypeText), and the key being built.
    std::unordered_map<std::string, std::string> TypeTexts;
    std::string TypeKey;

    // The definition's templates that list builders fill over and over.
    std::string CreateColumn, CreateTempTableColumn, CreatePKConstraint, CreateCheckConstraint,
        CreateUniqueConstraint, CreateFKConstraint, CreateDefaultConstraint, CreateNotNullConstraint,
        IndexColumn;
};

// What one fill works on: the object and the objects around it whose placeholders apply.
struct TVELTemplateFiller::TContext {
    enum Family : uint32_t {
        famTable = 1,
        famColumn = 2,
        famDataType = 4,
        famConstraint = 8,
        famIndex = 16,
        famIndexColumn = 32,
        famSequence = 64,
        famDomain = 128,
        famTrigger = 256,
        famView = 512,
        famProcedure = 1024,
        famRule = 2048,
    };
    uint32_t Families = 0;
    uint32_t Roles = 0; // bit per TNameRole whose name forms apply
    std::array<const TVELDatabaseObject*, RoleCount> RoleObjects{};
    const TVELDatabaseObject* Self = nullptr;
    const TVELEntity* Table = nullptr;
    const TVELAttribute* Column = nullptr;
    const TVELDataType* DataType = nullptr;
    const TVELConstraint* Constraint = nullptr;
    const TVELIndex* Index = nullptr;
    const TVELIndexColumn* IndexColumn = nullptr;
    const TVELSequence* Sequence = nullptr;
    const TVELDomain* Domain = nullptr;
    const TVELCodeObject* Code = nullptr; // trigger, view, procedure or rule
    const TVELFillValues* Extra = nullptr;
    // The type list of the model, when the fill already knows it (the column list of a table).
    const TSLDatatypes* Types = nullptr;
    int ColumnPosition = -1; // known when the column list fills the column
    bool ExpandingCode = false;

    // A fill of the object with the given families whose own names are those of the role (none
    // when negative).
    TContext(const TVELDatabaseObject& self, const TVELFillValues* extra, uint32_t families, int role)
        : Families(families), Self(&self), Extra(extra) {
        if (role >= 0) SetRole(role, &self);
    }
    void SetRole(int role, const TVELDatabaseObject* object) {
        Roles |= 1u << role;
        RoleObjects[role] = object;
    }
    // The placeholders of a column: its own, its data type's and its domain's names.
    void SetColumn(const TVELAttribute& column) {
        Families |= famColumn | famDataType;
        Column = &column;
        DataType = column.DataType.get();
        SetRole(rColumn, &column);
        SetRole(rDomain, column.GetDomain());
    }
};

// ---- free functions ------------------------------------------------------------------------------

std::string DeleteRuleText(int action) {
    return ActionText("ON DELETE ", action);
}

std::string UpdateRuleText(int action) {
    return ActionText("ON UPDATE ", action);
}

void ClearGenerationMarks(const TVELDataDictionary& dictionary) {
    for (int i = 0; i < dictionary.Count(); ++i) {
        const TVELDatabaseObject* object = dictionary.Object(i);
        object->GenerationMark = gmNone;
        if (const auto* entity = dynamic_cast<const TVELEntity*>(object)) {
            entity->PrimaryKey->GenerationMark = gmNone;
            for (int a = 0; a < entity->Attributes.Count(); ++a) {
                const TVELAttribute* attribute = entity->AttributeAt(a);
                attribute->GenerationMark = gmNone;
                for (int32_t id = 1; id <= 3; ++id)
                    if (const TVELConstraint* c = attribute->ExistingColumnConstraint(id))
                        c->GenerationMark = gmNone;
            }
            for (const TVELEntityMemberList* list :
                 {static_cast<const TVELEntityMemberList*>(&entity->Indexes), &entity->Triggers,
                  static_cast<const TVELEntityMemberList*>(&entity->Constraints)})
                for (int m = 0; m < list->Count(); ++m)
                    list->Object(m)->GenerationMark = gmNone;
        } else if (const auto* relationship = dynamic_cast<const TVELRelationship*>(object)) {
            relationship->FKConstraint->GenerationMark = gmNone;
        } else if (const auto* domain = dynamic_cast<const TVELDomain*>(object)) {
            domain->CheckConstraint()->GenerationMark = gmNone;
            domain->DefaultConstraint()->GenerationMark = gmNone;
        }
    }
}

const TVELDatabaseObject* TVELDictionaryOldModel::Counterpart(const TVELDatabaseObject& object) const {
    if (const auto* constraint = dynamic_cast<const TVELConstraint*>(&object))
        if (const TVELRelationship* relationship = RelationshipOf(*constraint)) {
            const auto* same = dynamic_cast<const TVELRelationship*>(oldModel_.FindSameObject(relationship));
            return same ? same->FKConstraint.get() : nullptr;
        }
    return oldModel_.FindSameObject(&object);
}

// ---- the filler ------------------------------------------------------------------------------------

TVELTemplateFiller::TVELTemplateFiller(const TVELDatabaseSettings& settings)
    : settings_(settings), cache_(std::make_unique<TTemplateCache>()) {
    cache_->CreateColumn = Template("SQLCreateColumn");
    cache_->CreateTempTableColumn = Template("SQLCreateTempTableColumn");
    cache_->CreatePKConstraint = Template("SQLCreatePKConstraint");
    cache_->CreateCheckConstraint = Template("SQLCreateCheckConstraint");
    cache_->CreateUniqueConstraint = Template("SQLCreateUniqueConstraint");
    cache_->CreateFKConstraint = Template("SQLCreateFKConstraint");
    cache_->CreateDefaultConstraint = Template("SQLCreateDefaultConstraint");
    cache_->CreateNotNullConstraint = Template("SQLCreateNotNullConstraint");
    cache_->IndexColumn = Template("SQLIndexColumn");
}

TVELTemplateFiller::~TVELTemplateFiller() = default;

std::string TVELTemplateFiller::Template(std::string_view name) const {
    return settings_.SQLTemplate(name);
}

size_t TVELTemplateFiller::CachedTemplateCount() const {
    return cache_->Parsed.size();
}

const TVELTemplateFiller::TParsedTemplate& TVELTemplateFiller::Parse(std::string_view tmpl) {
    auto it = cache_->Parsed.find(tmpl);
    if (it != cache_->Parsed.end()) return *it->second;
    auto parsed = std::make_unique<TParsedTemplate>();
    parsed->Build(tmpl, true);
    return *cache_->Parsed.emplace(std::string(tmpl), std::move(parsed)).first->second;
}

std::string TVELTemplateFiller::Run(std::string_view tmpl, TContext& context) {
    if (tmpl.empty() || (SkipStarredTemplates && tmpl.front() == '*')) return {};
    // Values of placeholders the filler does not know are put into the text before parsing.
    std::string substituted;
    if (context.Extra)
        for (const auto& [name, value] : *context.Extra)
            if (!Placeholders().Find(LowerCase(name))) {
                if (substituted.empty()) substituted.assign(tmpl);
                substituted = ReplacePlaceholder(substituted, "%" + name + "%", EscapeValue(value));
            }
    if (!substituted.empty()) tmpl = substituted;
    return Expand(Parse(tmpl), context);
}

std::string TVELTemplateFiller::Expand(const TParsedTemplate& parsed, TContext& context) {
    // Fills nest (a table fills its columns, a column its constraints): one buffer of values
    // per depth, kept from fill to fill.
    if (depth_ == values_.size()) values_.push_back(std::make_unique<std::vector<TValue>>());
    std::vector<TValue>& values = *values_[depth_];
    ++depth_;
    struct Leave {
        size_t& Depth;
        ~Leave() { --Depth; }
    } leave{depth_};
    const size_t slots = parsed.Ids.size();
    if (values.size() < slots) values.resize(slots);
    // The column lists first: what they write inline (a primary key through
    // %sqliteautoincpk%) must be known to the placeholders that follow.
    for (size_t s = 0; s < slots; ++s)
        if (parsed.Ids[s] == pTableColumns || parsed.Ids[s] == pTempTableColumns)
            values[s].Known = Resolve(parsed.Ids[s], context, values[s].Text);
    for (size_t s = 0; s < slots; ++s)
        if (parsed.Ids[s] != pTableColumns && parsed.Ids[s] != pTempTableColumns)
            values[s].Known = Resolve(parsed.Ids[s], context, values[s].Text);

    const std::string_view text = parsed.Text;
    const std::string_view finished = parsed.Finished;
    const auto& tokens = parsed.Tokens;
    std::string out;
    out.reserve(finished.size() + 64);
    auto emit = [&](size_t from, size_t to) {
        for (size_t k = from; k < to; ++k) {
            const auto& t = tokens[k];
            if (t.Type == TParsedTemplate::Literal)
                out.append(finished.substr(t.FinishedStart, t.FinishedLength));
            else if (t.Type == TParsedTemplate::Placeholder && values[t.Slot].Known)
                AppendFinished(out, values[t.Slot].Text);
            else
                out.append(text.substr(t.Start, t.Length));
        }
    };
    size_t k = 0;
    while (k < tokens.size()) {
        const auto& t = tokens[k];
        if (t.Type != TParsedTemplate::GroupOpen) {
            emit(k, k + 1);
            ++k;
            continue;
        }
        const size_t close = t.Match;
        // The first placeholder of the part that the object knows decides.
        int decider = -1;
        for (size_t m = k + 1; m < close && decider < 0; ++m)
            if (tokens[m].Type == TParsedTemplate::Placeholder && values[tokens[m].Slot].Known)
                decider = tokens[m].Slot;
        if (decider < 0) {
            emit(k, close + 1); // braces and all, as written
        } else if (!values[decider].Text.empty()) {
            emit(k + 1, close);
        }
        k = close + 1;
    }
    return out;
}

std::string TVELTemplateFiller::ExpandCode(std::string_view code, TContext& context) {
    if (code.find('%') == std::string_view::npos) return std::string(code);
    TParsedTemplate parsed;
    parsed.Build(code, false);
    const bool was = context.ExpandingCode;
    context.ExpandingCode = true;
    std::string out;
    out.reserve(parsed.Text.size() + 32);
    std::vector<TValue> values(parsed.Ids.size());
    for (size_t s = 0; s < parsed.Ids.size(); ++s)
        values[s].Known = Resolve(parsed.Ids[s], context, values[s].Text);
    for (const auto& t : parsed.Tokens) {
        if (t.Type == TParsedTemplate::Placeholder && values[t.Slot].Known)
            out += values[t.Slot].Text;
        else
            out.append(parsed.Text, t.Start, t.Length);
    }
    context.ExpandingCode = was;
    return out;
}

// ---- resolving one placeholder -----------------------------------------------------------------------

bool TVELTemplateFiller::Resolve(int id, TContext& context, std::string& value) {
    if (context.Extra) {
        const std::string& name = Placeholders().Names[id];
        for (const auto& [extraName, extraValue] : *context.Extra)
            if (SameText(extraName, name)) {
                value = extraValue;
                return true;
            }
    }
    if (id >= pNameBase) return ResolveName(id, context, value);
    switch (id) {
    case pTerminator:
        value = settings_.Terminator;
        return true;
    case pTableSchema:
    case pMSSQLTableSchema: {
        const TVELDatabaseObject* owner = context.Table ? context.Table : context.Self;
        value = owner ? owner->SchemaName : std::string();
        if (value.empty() && id == pMSSQLTableSchema) value = "dbo";
        return true;
    }
    case pIntoFields:
    case pSelectFields:
        return false; // only the caller knows them
    default:
        break;
    }
    if (ResolveField(id, context, value)) return true;
    const uint32_t f = context.Families;
    return ((f & TContext::famTable) && ResolveTable(id, context, value)) ||
           ((f & TContext::famColumn) && ResolveColumn(id, context, value)) ||
           ((f & TContext::famConstraint) && ResolveConstraint(id, context, value)) ||
           ((f & TContext::famIndex) && ResolveIndex(id, context, value)) ||
           ((f & TContext::famIndexColumn) && ResolveIndexColumn(id, context, value)) ||
           ((f & TContext::famSequence) && ResolveSequence(id, context, value)) ||
           ((f & TContext::famDomain) && ResolveDomain(id, context, value)) ||
           ((f & (TContext::famTrigger | TContext::famView | TContext::famProcedure | TContext::famRule)) &&
            ResolveCode(id, context, value)) ||
           ((f & TContext::famDataType) && ResolveDataType(id, context, value));
}

std::string TVELTemplateFiller::NameForm(const TVELDatabaseObject* object, int form, int role) const {
    if (!object) return {};
    std::string name = object->GetName();
    if (form == fNonFixed || name.empty()) return name;
    std::string schema = object->SchemaName;
    // A trigger lives in the schema of its table.
    if (schema.empty() && role == rTrigger)
        if (const TVELEntity* entity = EntityOf(object)) schema = entity->SchemaName;
    switch (form) {
    case fQuotedSimple:
        return settings_.QuoteDDL(name);
    case fNonQuotedSimple:
        return settings_.StripQuotes(name);
    case fNonQuotedQualified:
        return settings_.StripQuotes(schema.empty() ? name : schema + "." + name);
    default: // the quoted qualified form, also the plain form
        return settings_.QuoteDDL(schema.empty() ? name : schema + "." + name);
    }
}

bool TVELTemplateFiller::ResolveName(int id, TContext& context, std::string& value) {
    const TNameInfo info = DecodeName(id);
    if (!(context.Roles & (1u << info.Role))) return false;
    const TVELDatabaseObject* object = context.RoleObjects[info.Role];
    if (info.Old) {
        if (!OldModel) return false;
        object = object ? OldModel->Counterpart(*object) : nullptr;
    }
    value = NameForm(object, info.Form, info.Role);
    return true;
}

bool TVELTemplateFiller::ResolveField(int id, const TContext& context, std::string& value) const {
    using C = TContext;
    // Text fields inserted as they stand.
    struct TField {
        int Id;
        uint32_t Family; // the fill family whose object has the field
        const std::string& (*Text)(const C&);
    };
    static constexpr TField Fields[] = {
        {pTableAbbreviation, C::famTable,
         [](const C& c) -> const std::string& { return c.Table->Abbreviation; }},
        {pAttributeOptions, C::famColumn,
         [](const C& c) -> const std::string& { return c.Column->AttributeOptions; }},
        {pCollate, C::famColumn, [](const C& c) -> const std::string& { return c.Column->Collate; }},
        {pCollate, C::famDomain, [](const C& c) -> const std::string& { return c.Domain->Collate; }},
        {pLength, C::famDataType, [](const C& c) -> const std::string& { return c.DataType->Length; }},
        {pItems, C::famDataType, [](const C& c) -> const std::string& { return c.DataType->Items; }},
        {pExpression, C::famDataType,
         [](const C& c) -> const std::string& { return c.DataType->Expression; }},
        {pCharacterSet, C::famDataType,
         [](const C& c) -> const std::string& { return c.DataType->CharacterSet; }},
        {pCollation, C::famDataType, [](const C& c) -> const std::string& { return c.DataType->Collation; }},
        {pSubType, C::famDataType, [](const C& c) -> const std::string& { return c.DataType->SubType; }},
        {pSegmentSize, C::famDataType,
         [](const C& c) -> const std::string& { return c.DataType->SegmentSize; }},
        {pArrayOptions, C::famDataType,
         [](const C& c) -> const std::string& { return c.DataType->ArrayOptions; }},
        {pConstraintOptions, C::famConstraint,
         [](const C& c) -> const std::string& { return c.Constraint->ConstraintOptions; }},
        {pPKClustering, C::famConstraint,
         [](const C& c) -> const std::string& { return c.Constraint->PKClustering; }},
        {pIndexSortOption, C::famIndex,
         [](const C& c) -> const std::string& { return c.Index->IndexSortOption; }},
        {pIndexType, C::famIndex, [](const C& c) -> const std::string& { return c.Index->IndexType; }},
        {pIndexCompression, C::famIndex,
         [](const C& c) -> const std::string& { return c.Index->Compression; }},
        {pIndexClustering, C::famIndex, [](const C& c) -> const std::string& { return c.Index->Clustering; }},
        {pIndexCase, C::famIndex, [](const C& c) -> const std::string& { return c.Index->CaseProp; }},
        {pIndexOptions, C::famIndex, [](const C& c) -> const std::string& { return c.Index->IndexOptions; }},
        {pIndexColumnSortOption, C::famIndexColumn,
         [](const C& c) -> const std::string& { return c.IndexColumn->SortOption; }},
        {pSeqMin, C::famSequence, [](const C& c) -> const std::string& { return c.Sequence->Min; }},
        {pSeqMax, C::famSequence, [](const C& c) -> const std::string& { return c.Sequence->Max; }},
        {pSeqIntegerType, C::famSequence,
         [](const C& c) -> const std::string& { return c.Sequence->IntegerType; }},
        {pSeqCycle, C::famSequence, [](const C& c) -> const std::string& { return c.Sequence->Cycle; }},
        {pSeqCache, C::famSequence, [](const C& c) -> const std::string& { return c.Sequence->Cache; }},
        {pSeqCacheCode, C::famSequence,
         [](const C& c) -> const std::string& { return c.Sequence->CacheCode; }},
        {pSeqOrder, C::famSequence, [](const C& c) -> const std::string& { return c.Sequence->Order; }},
        {pRuleType, C::famRule,
         [](const C& c) -> const std::string& { return static_cast<const TVELRule*>(c.Code)->RuleType; }},
    };
    // Comments, written as string literals; each marks its object.
    struct TComment {
        int Id;
        uint32_t Family;
        const TVELDatabaseObject* (*Object)(const C&);
    };
    static constexpr TComment Comments[] = {
        {pTableComment, C::famTable, [](const C& c) -> const TVELDatabaseObject* { return c.Table; }},
        {pColumnComment, C::famColumn, [](const C& c) -> const TVELDatabaseObject* { return c.Column; }},
        {pIndexComment, C::famIndex, [](const C& c) -> const TVELDatabaseObject* { return c.Index; }},
        {pSeqComment, C::famSequence, [](const C& c) -> const TVELDatabaseObject* { return c.Sequence; }},
        {pDomainComment, C::famDomain, [](const C& c) -> const TVELDatabaseObject* { return c.Domain; }},
        {pViewComment, C::famView, [](const C& c) -> const TVELDatabaseObject* { return c.Code; }},
        {pProcComment, C::famProcedure, [](const C& c) -> const TVELDatabaseObject* { return c.Code; }},
        {pRuleComment, C::famRule, [](const C& c) -> const TVELDatabaseObject* { return c.Code; }},
    };
    // Placeholder -> position of its first entry in each table (the entries of one placeholder
    // stand together); -1 when it has none.
    using TFirst = std::array<int8_t, pNameBase>;
    static const std::pair<TFirst, TFirst> First = [] {
        std::pair<TFirst, TFirst> first;
        first.first.fill(-1);
        first.second.fill(-1);
        for (int i = int(std::size(Fields)); i-- > 0;)
            first.first[Fields[i].Id] = int8_t(i);
        for (int i = int(std::size(Comments)); i-- > 0;)
            first.second[Comments[i].Id] = int8_t(i);
        return first;
    }();
    if (id >= pNameBase) return false;
    if (First.first[id] >= 0)
        for (size_t i = size_t(First.first[id]); i < std::size(Fields) && Fields[i].Id == id; ++i)
            if (context.Families & Fields[i].Family) {
                value = Fields[i].Text(context);
                return true;
            }
    if (First.second[id] >= 0)
        for (size_t i = size_t(First.second[id]); i < std::size(Comments) && Comments[i].Id == id; ++i)
            if (context.Families & Comments[i].Family) {
                const TVELDatabaseObject* object = Comments[i].Object(context);
                Mark(object);
                value = CommentLiteral(object->Comment);
                return true;
            }
    return false;
}

std::string TVELTemplateFiller::CommentLiteral(std::string_view comment) const {
    return LineBreaksToBlanks(settings_.StringLiteral(Trim(comment)));
}

bool TVELTemplateFiller::ResolveTable(int id, TContext& context, std::string& value) {
    const TVELEntity& table = *context.Table;
    switch (id) {
    case pTableColumns:
        value = TableColumns(table);
        return true;
    case pTempTableColumns:
        value = TempTableColumns(table);
        return true;
    case pPKConstraint:
        value = PKConstraint(table);
        return true;
    case pTableConstraints:
        value = TableConstraints(table);
        return true;
    case pTableOptions:
        value = context.ExpandingCode ? table.TableOptions : ExpandCode(table.TableOptions, context);
        return true;
    case pBeginTableScript:
        value = context.ExpandingCode ? table.BeginTableScript : ExpandCode(table.BeginTableScript, context);
        return true;
    case pEndTableScript:
        value = context.ExpandingCode ? table.EndTableScript : ExpandCode(table.EndTableScript, context);
        return true;
    default:
        return false;
    }
}

std::string TVELTemplateFiller::TypeText(const TVELDataType& type, const TSLDatatypes* list) {
    // A value that reaches its type list the usual way, when the caller already knows the list:
    // the text depends on nothing but the list, the type name and the value's fields, and most
    // columns of a model share a few of them.
    if (!list || typeid(type) != typeid(TVELDataType)) return type.TypeText();
    std::string& key = cache_->TypeKey;
    key.assign(reinterpret_cast<const char*>(&list), sizeof list);
    key.append(type.DataType).append(1, '\0').append(type.Length).append(1, '\0');
    for (int32_t n : {type.Precision, type.Seed, type.Increment})
        key.append(reinterpret_cast<const char*>(&n), sizeof n);
    key.append(1,
               char(type.Unsigned | type.ZeroFill << 1 | type.AllowZeroLength << 2 | type.AutoNumber << 3));
    for (const std::string* text : {&type.Items, &type.Expression, &type.CharacterSet, &type.Collation,
                                    &type.SubType, &type.SegmentSize, &type.DTOptions, &type.ArrayOptions})
        key.append(*text).append(1, '\0');
    auto it = cache_->TypeTexts.find(key);
    if (it == cache_->TypeTexts.end())
        it = cache_->TypeTexts.emplace(key, list->TypeText(type.DataType, type.Values(), true)).first;
    return it->second;
}

// The type text of a column: the quoted domain name (with the autonumber part of an identity
// column) when the column uses a domain, so that the column refers to the domain the script
// creates; else the full type text.
std::string TVELTemplateFiller::ColumnTypeText(const TVELAttribute& column, const TSLDatatypes* list) {
    if (const TVELDomain* domain = column.GetDomain()) {
        std::string r = settings_.QuoteDDL(domain->GetNonQuotedQualifiedName());
        if (column.IsIdentity())
            if (const std::string identity = column.DataType->AutoNumberText(); !identity.empty())
                r += " " + identity;
        return r;
    }
    return TypeText(*column.DataType, list);
}

bool TVELTemplateFiller::ResolveColumn(int id, TContext& context, std::string& value) {
    const TVELAttribute& column = *context.Column;
    const TVELEntity* table = context.Table; // the column's
    auto position = [&]() {
        if (context.ColumnPosition >= 0 || !table) return context.ColumnPosition;
        return table->Attributes.IndexOf(&column);
    };
    // A column constraint filled with its template, when in use and not yet written.
    auto inlineConstraint = [&](const TVELConstraint* c, const std::string& tmpl) {
        value.clear();
        if (c && c->IsInUse() && !Marked(c)) {
            value = FillConstraint(*c, tmpl);
            if (!value.empty()) Mark(c);
        }
        return true;
    };
    switch (id) {
    case pPosition:
        value = IntToStr(position());
        return true;
    case pPrevColumnName: {
        const int p = position();
        value = p <= 0 || !table ? std::string("FIRST")
                                 : "AFTER " + settings_.QuoteDDL(table->AttributeAt(p - 1)->GetName());
        return true;
    }
    case pDataType:
        value = ColumnTypeText(column, context.Types);
        return true;
    case pDefaultValue:
        value.clear();
        if (!column.DefaultValue().empty() && column.DefaultConstraint()->IsInUse()) {
            Mark(column.DefaultConstraint());
            value = column.DefaultValue();
        }
        return true;
    case pCheck:
        value.clear();
        if (!column.CheckValue().empty() && column.CheckConstraint()->IsInUse()) {
            Mark(column.CheckConstraint());
            value = column.CheckValue();
        }
        return true;
    case pNotNull:
        if (column.IsNotNull()) {
            Mark(column.NotNullConstraint());
            value = "NOT NULL";
        } else {
            value = column.ExplicitNullText;
        }
        return true;
    case pSQLiteAutoIncPK:
        value.clear();
        if (table && IsAutonumberColumn(column) && column.IsPrimaryKey() &&
            table->PrimaryKey->AttributeIDs.Count() == 1) {
            Mark(table->PrimaryKey.get());
            value = "PRIMARY KEY AUTOINCREMENT";
        }
        return true;
    case pDB2AutoInc:
        value = IsAutonumberColumn(column)
                    ? "generated always as identity (start with 0, increment by 1, no cache)"
                    : "";
        return true;
    case pDefaultConstraint:
        return inlineConstraint(column.DefaultValue().empty() ? nullptr : column.DefaultConstraint(),
                                cache_->CreateDefaultConstraint);
    case pNotNullConstraint:
        return inlineConstraint(column.IsNotNull() ? column.NotNullConstraint() : nullptr,
                                cache_->CreateNotNullConstraint);
    case pCheckConstraint:
        return inlineConstraint(column.CheckValue().empty() ? nullptr : column.CheckConstraint(),
                                cache_->CreateCheckConstraint);
    default:
        return false;
    }
}

bool TVELTemplateFiller::ResolveDataType(int id, TContext& context, std::string& value) {
    const TVELDataType& type = *context.DataType;
    switch (id) {
    case pDataType:
        value = type.TypeText();
        return true;
    case pPhysicalDataType:
        value = type.BaseText();
        return true;
    case pPrecision:
        value = IntToStr(type.Precision);
        return true;
    case pUnsigned:
        value = type.Unsigned ? "UNSIGNED" : "";
        return true;
    case pZeroFill:
        value = type.ZeroFill ? "ZEROFILL" : "";
        return true;
    case pAutoIncrementUnderscore:
        value = type.AutoNumber ? "AUTO_INCREMENT" : "";
        return true;
    case pAutoIncrement:
        value = type.AutoNumber ? "AUTOINCREMENT" : "";
        return true;
    default:
        return false;
    }
}

// Quoted attribute names joined by ",".
static std::string QuotedNames(const std::vector<TVELAttribute*>& attributes,
                               const TVELDatabaseSettings& settings) {
    std::string r;
    for (const TVELAttribute* a : attributes) {
        if (!a) continue;
        if (!r.empty()) r += ',';
        r += settings.QuoteDDL(a->GetName());
    }
    return r;
}

bool TVELTemplateFiller::ResolveConstraint(int id, TContext& context, std::string& value) {
    const TVELConstraint& c = *context.Constraint;
    const TVELRelationship* relationship = RelationshipOf(c);
    auto columns = [&]() {
        std::vector<TVELAttribute*> attributes;
        if (relationship)
            relationship->ForeignKeyAttributes(attributes);
        else
            c.AttributeIDs.GetAttributes(attributes);
        return QuotedNames(attributes, settings_);
    };
    const auto* column = dynamic_cast<const TVELAttribute*>(c.Owner);
    switch (id) {
    case pConstraint:
        switch (c.ConstraintType) {
        case ctCheck:
        case ctDefault:
            value = c.Value;
            break;
        case ctNotNull:
            value = "NOT NULL";
            break;
        default:
            value = columns();
            break;
        }
        return true;
    case pConstraintColumn:
    case pConstraintColumns:
    case pChildColumns:
        value = id == pChildColumns && !relationship ? std::string() : columns();
        return true;
    case pDefaultValue:
        value = c.ConstraintType == ctDefault ? c.Value : column ? column->DefaultValue() : std::string();
        return true;
    case pNotNull:
        value = "NOT NULL";
        return true;
    case pColumnDataType:
        value = column && c.Level == clColumn ? ColumnTypeText(*column, nullptr) : std::string();
        return true;
    case pParentColumns: {
        std::vector<TVELAttribute*> attributes;
        if (relationship) relationship->KeyAttributes(attributes);
        value = QuotedNames(attributes, settings_);
        return true;
    }
    case pDeleteRule:
        value = relationship ? DeleteRuleText(relationship->DeleteRule) : std::string();
        return true;
    case pUpdateRule:
        value = relationship ? UpdateRuleText(relationship->UpdateRule) : std::string();
        return true;
    default:
        return false;
    }
}

bool TVELTemplateFiller::ResolveIndex(int id, TContext& context, std::string& value) {
    const TVELIndex& index = *context.Index;
    switch (id) {
    case pIBFBIdxPrefix:
        value.clear();
        for (int i = 0; i < index.Columns.Count(); ++i)
            if (index.Column(i)->IsExpression) value = "COMPUTED BY";
        return true;
    case pIndexColumns:
        value = IndexColumns(index);
        return true;
    default:
        return false;
    }
}

bool TVELTemplateFiller::ResolveIndexColumn(int id, TContext& context, std::string& value) {
    const TVELIndexColumn& column = *context.IndexColumn;
    switch (id) {
    case pIndexColumnName:
    case pIndexColumn:
        if (const TVELAttribute* attribute = column.GetAttribute())
            value = settings_.QuoteDDL(attribute->GetName());
        else
            value = column.IsExpression ? column.Expression : std::string();
        return true;
    case pIndexColumnNonFixed:
        value = column.ColumnText();
        return true;
    case pIndexSortOption: {
        const TVELIndex* index = column.GetIndex();
        value = index ? index->IndexSortOption : std::string();
        return true;
    }
    default:
        return false;
    }
}

bool TVELTemplateFiller::ResolveSequence(int id, TContext& context, std::string& value) {
    const TVELSequence& s = *context.Sequence;
    switch (id) {
    case pSeqSeed:
        value = IntToStr(s.Seed);
        return true;
    case pSeqSeedLessIncrement:
        // For servers whose first number is the start value plus the increment.
        value = IntToStr(static_cast<int64_t>(s.Seed) - s.Increment);
        return true;
    case pSeqIncrement:
        value = IntToStr(s.Increment);
        return true;
    case pOraSeqMax:
        value = SequenceLimit(s.Max, "MAX");
        return true;
    case pOraSeqMin:
        value = SequenceLimit(s.Min, "MIN");
        return true;
    case pOraSeqCache:
    case pMSSQLServerSeqCache:
        value = SequenceCache(s);
        return true;
    default:
        return false;
    }
}

bool TVELTemplateFiller::ResolveDomain(int id, TContext& context, std::string& value) {
    const TVELDomain& d = *context.Domain;
    const std::string& check = d.CheckValue();
    const std::string& def = d.DefaultValue();
    // The composed SQL Server statements. Names may hold blanks or other characters that need
    // delimiters: statements get the delimited names, the system procedures string literals. The
    // alias type procedures take the bare name; the bind procedures parse theirs, so those get
    // the delimited names inside the literal.
    auto plain = [&]() { return settings_.StripQuotes(d.GetName()); };
    auto rule = [&]() { return settings_.QuoteDDL(plain() + "_RULE"); };
    auto dflt = [&]() { return settings_.QuoteDDL(plain() + "_DFT"); };
    auto qualified = [&]() { return NString(settings_.QuoteDDL(d.GetNonQuotedQualifiedName())); };
    switch (id) {
    case pDataType:
        value = d.DataType->TypeText();
        return true;
    case pDefaultValue:
        value = def;
        return true;
    case pCheckConstraint:
        value = check;
        return true;
    case pMSSQLRule:
        value = check.empty() ? std::string()
                              : "CREATE RULE " + rule() + " AS " + RuleVariables(check);
        return true;
    case pMSSQLDropRule:
        value = check.empty() ? std::string() : "DROP RULE " + rule();
        return true;
    case pMSSQLDefault:
        value = def.empty() ? std::string() : "CREATE DEFAULT " + dflt() + " AS " + def;
        return true;
    case pMSSQLDropDefault:
        value = def.empty() ? std::string() : "DROP DEFAULT " + dflt();
        return true;
    case pMSSQLAddType: {
        const std::string type = d.DataType->TypeText();
        value = type.find('(') == std::string::npos
                    ? "EXEC sp_addtype " + NString(plain()) + ", " + type + ",'NULL'"
                    : "EXEC sp_addtype " + NString(plain()) + ", '" + type + "','NULL'";
        return true;
    }
    case pMSSQLDropType:
        value = "EXEC sp_droptype " + NString(plain());
        return true;
    case pMSSQLBindRule:
        value = check.empty() ? std::string() : "EXEC sp_bindrule " + NString(rule()) + ", " + qualified();
        return true;
    case pMSSQLUnbindRule:
        value = check.empty() ? std::string() : "EXEC sp_unbindrule " + qualified();
        return true;
    case pMSSQLBinDefault:
        value = def.empty() ? std::string() : "EXEC sp_bindefault " + NString(dflt()) + ", " + qualified();
        return true;
    case pMSSQLUnbinDefault:
        value = def.empty() ? std::string() : "EXEC sp_unbindefault " + qualified();
        return true;
    default:
        return false;
    }
}

bool TVELTemplateFiller::ResolveCode(int id, TContext& context, std::string& value) {
    const TVELCodeObject& o = *context.Code;
    const uint32_t f = context.Families;
    const int codeId = f & TContext::famTrigger     ? pTriggerCode
                       : f & TContext::famView      ? pViewCode
                       : f & TContext::famProcedure ? pProcCode
                                                    : pRuleCode;
    if (id == codeId) {
        value = context.ExpandingCode ? o.GetCode() : ExpandCode(o.GetCode(), context);
        return true;
    }
    // The parameters of procedures and rules, only when the code has them.
    if ((id == pProcParams && (f & TContext::famProcedure)) || (id == pRuleParams && (f & TContext::famRule)))
        return CodeParameters(o.GetCode(), value);
    return false;
}

// ---- fill operations --------------------------------------------------------------------------------

std::string TVELTemplateFiller::FillTable(const TVELEntity& table, std::string_view tmpl,
                                          const TVELFillValues* extra) {
    TContext c(table, extra, TContext::famTable, rTable);
    c.Table = &table;
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillColumn(const TVELAttribute& column, std::string_view tmpl,
                                           const TVELFillValues* extra) {
    TContext c(column, extra, 0, -1);
    c.SetColumn(column);
    c.Table = column.GetEntity();
    c.SetRole(rTable, c.Table);
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillDataType(const TVELDataType& dataType, std::string_view tmpl,
                                             const TVELFillValues* extra) {
    TContext c(dataType, extra, TContext::famDataType, -1);
    c.DataType = &dataType;
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillConstraint(const TVELConstraint& constraint, std::string_view tmpl,
                                               const TVELFillValues* extra) {
    TContext c(constraint, extra, TContext::famConstraint, rConstraint);
    c.Constraint = &constraint;
    c.Table = constraint.GetEntity();
    c.SetRole(rTable, c.Table);
    const TVELRelationship* relationship = RelationshipOf(constraint);
    c.SetRole(rParentTable, relationship ? relationship->GetParentEntity() : nullptr);
    c.SetRole(rChildTable, relationship ? relationship->GetChildEntity() : nullptr);
    if (const auto* column = dynamic_cast<const TVELAttribute*>(constraint.Owner)) c.SetRole(rColumn, column);
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillIndex(const TVELIndex& index, std::string_view tmpl,
                                          const TVELFillValues* extra) {
    TContext c(index, extra, TContext::famIndex, rIndex);
    c.Index = &index;
    c.Table = index.GetEntity();
    c.SetRole(rTable, c.Table);
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillIndexColumn(const TVELIndexColumn& column, std::string_view tmpl,
                                                const TVELFillValues* extra) {
    TContext c(column, extra, TContext::famIndexColumn, -1);
    c.IndexColumn = &column;
    const TVELIndex* index = column.GetIndex();
    c.Table = index ? index->GetEntity() : nullptr;
    c.SetRole(rIndex, index);
    c.SetRole(rTable, c.Table);
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillSequence(const TVELSequence& sequence, std::string_view tmpl,
                                             const TVELFillValues* extra) {
    TContext c(sequence, extra, TContext::famSequence, rSeq);
    c.Sequence = &sequence;
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillDomain(const TVELDomain& domain, std::string_view tmpl,
                                           const TVELFillValues* extra) {
    TContext c(domain, extra, TContext::famDomain | TContext::famDataType, rDomain);
    c.Domain = &domain;
    c.DataType = domain.DataType.get();
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillDomainStatement(const TVELDomain& domain, bool drop) {
    const TSLDatatypes* list = domain.GetDataTypes();
    const bool asType = list && list->DomainAsType(domain.DataType->DataType);
    const char* name =
        asType ? (drop ? "SQLDropType" : "SQLCreateType") : (drop ? "SQLDropDomain" : "SQLCreateDomain");
    return FillDomain(domain, Template(name));
}

std::string TVELTemplateFiller::FillTrigger(const TVELTrigger& trigger, std::string_view tmpl,
                                            const TVELFillValues* extra) {
    TContext c(trigger, extra, TContext::famTrigger, rTrigger);
    c.Code = &trigger;
    c.Table = trigger.GetEntity();
    c.SetRole(rTable, c.Table);
    // The trigger of an autonumber column knows the column and its sequence.
    if (const TVELAttribute* column = AutonumberColumnOf(trigger)) {
        c.SetColumn(*column);
        if (const TVELSequence* sequence = column->GetSequence()) {
            c.Families |= TContext::famSequence;
            c.Sequence = sequence;
            c.SetRole(rSeq, sequence);
        }
    }
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillView(const TVELView& view, std::string_view tmpl,
                                         const TVELFillValues* extra) {
    TContext c(view, extra, TContext::famView, rView);
    c.Code = &view;
    return Run(tmpl, c);
}

std::string TVELTemplateFiller::FillProcedure(const TVELProcedure& procedure, std::string_view tmpl,
                                              const TVELFillValues* extra) {
    TContext c(procedure, extra, TContext::famProcedure, rProc);
    c.Code = &procedure;
    std::string text = Run(tmpl, c);
    if (StartsText("DROP PROCEDURE", text) && IsFunctionCode(procedure.GetCode()))
        text = ReplaceAllText(text, "DROP PROCEDURE", "DROP FUNCTION");
    return text;
}

std::string TVELTemplateFiller::FillRule(const TVELRule& rule, std::string_view tmpl,
                                         const TVELFillValues* extra) {
    TContext c(rule, extra, TContext::famRule, rRule);
    c.Code = &rule;
    return Run(tmpl, c);
}

// ---- list builders ------------------------------------------------------------------------------------

std::string TVELTemplateFiller::ColumnList(const TVELEntity& table, const std::string& tmpl) {
    std::string r;
    bool first = true;
    if (tmpl.empty() || (SkipStarredTemplates && tmpl.front() == '*')) {
        for (int i = 0; i < table.Attributes.Count(); ++i)
            r += "\r\n";
        return r;
    }
    const TParsedTemplate& parsed = Parse(tmpl);
    const TSLDatatypes* types = table.GetDataTypes();
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute& column = *table.AttributeAt(i);
        TContext c(column, nullptr, 0, -1);
        c.SetColumn(column);
        c.Table = &table;
        c.SetRole(rTable, &table);
        c.ColumnPosition = i;
        c.Types = types;
        const std::string text = Expand(parsed, c);
        if (text.empty()) {
            r += "\r\n";
            continue;
        }
        if (!first) r += ',';
        r += text;
        first = false;
    }
    return r;
}

std::string TVELTemplateFiller::TableColumns(const TVELEntity& table) {
    return ColumnList(table, cache_->CreateColumn);
}

std::string TVELTemplateFiller::TempTableColumns(const TVELEntity& table) {
    return ColumnList(table, cache_->CreateTempTableColumn);
}

std::string TVELTemplateFiller::PKConstraint(const TVELEntity& table) {
    const TVELConstraint* key = table.PrimaryKey.get();
    if (!key->IsInUse() || Marked(key)) return {};
    std::string text = FillConstraint(*key, cache_->CreatePKConstraint);
    if (!text.empty()) Mark(key);
    return text;
}

std::string TVELTemplateFiller::TableConstraints(const TVELEntity& table) {
    std::string r;
    auto add = [&](const TVELConstraint* c, const std::string& tmpl) {
        if (!c->IsInUse() || Marked(c) || tmpl.empty()) return;
        const std::string text = FillConstraint(*c, tmpl);
        if (text.empty()) return;
        Mark(c);
        if (!r.empty()) r += ',';
        r += text;
    };
    for (int i = 0; i < table.Constraints.Count(); ++i) {
        const TVELConstraint* c = table.ConstraintAt(i);
        if (c->ConstraintType == ctCheck)
            add(c, cache_->CreateCheckConstraint);
        else if (c->ConstraintType == ctUnique)
            add(c, cache_->CreateUniqueConstraint);
    }
    for (const TVELConstraint* c : table.ForeignKeyConstraints())
        add(c, cache_->CreateFKConstraint);
    return r;
}

std::string TVELTemplateFiller::IndexColumns(const TVELIndex& index) {
    std::string r;
    for (int i = 0; i < index.Columns.Count(); ++i) {
        if (i > 0) r += ',';
        r += FillIndexColumn(*index.Column(i), cache_->IndexColumn);
    }
    return r;
}

// ---- pieces of the language -------------------------------------------------------------------------

std::string TVELTemplateFiller::ReplacePlaceholder(std::string_view text, std::string_view placeholder,
                                                   std::string_view value) {
    static constexpr std::string_view Marker = "&^";
    std::string r = ReplaceAllText(text, placeholder, std::string(Marker) + std::string(value));
    const size_t marker = r.find(Marker);
    if (marker != std::string::npos) {
        size_t open = std::string::npos, close = std::string::npos;
        for (size_t i = marker; i-- > 0;) {
            if (r[i] == '}') break;
            if (r[i] == '{') {
                open = i;
                break;
            }
        }
        for (size_t i = marker + Marker.size(); i < r.size(); ++i) {
            if (r[i] == '{') break;
            if (r[i] == '}') {
                close = i;
                break;
            }
        }
        if (open != std::string::npos && close != std::string::npos) {
            if (value.empty()) {
                r.erase(open, close - open + 1);
            } else {
                r.erase(close, 1);
                r.erase(open, 1);
            }
        }
    }
    return ReplaceAll(r, Marker, "");
}

std::string TVELTemplateFiller::EscapeValue(std::string_view value) {
    std::string r;
    r.reserve(value.size());
    for (char c : value) {
        if (c == '{')
            r += "<#";
        else if (c == '}')
            r += "#>";
        else
            r += c;
    }
    return r;
}

std::string TVELTemplateFiller::FinishText(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    AppendFinished(r, text);
    return r;
}

bool TVELTemplateFiller::IsFunctionCode(std::string_view code) {
    const std::string upper = UpperCase(code);
    if (upper.find("CREATE FUNCTION %") != std::string::npos) return true;
    size_t pos = upper.find("CREATE");
    if (pos == std::string::npos) return false;
    pos += 6;
    auto nextWord = [&]() {
        while (pos < upper.size() && static_cast<unsigned char>(upper[pos]) <= ' ')
            ++pos;
        const size_t start = pos;
        while (pos < upper.size() && IsWordChar(upper[pos]))
            ++pos;
        return std::string_view(upper).substr(start, pos - start);
    };
    std::string_view word = nextWord();
    // CREATE OR REPLACE FUNCTION
    if (word == "OR" && nextWord() == "REPLACE") word = nextWord();
    return word == "FUNCTION";
}

bool TVELTemplateFiller::CodeParameters(std::string_view code, std::string& params) {
    const size_t open = code.find('(');
    if (open == std::string_view::npos) return false;
    const size_t close = code.find(')', open + 1);
    if (close == std::string_view::npos) return false;
    params.assign(code.substr(open + 1, close - open - 1));
    return true;
}

} // namespace ardvin
