// The template filler: turns a statement template of the target definition plus one model
// object into statement text.
//
// Template language (every template of a definition file):
//   %word%      a placeholder. Names are matched without regard to case, except the
//               placeholders computed on demand (comments, old names, the column, index-column
//               and constraint lists, %pkconstraint%, %prevcolumnname%, %defaultvalue%,
//               %check%, %notnull%, %sqliteautoincpk%, the composed domain statements and the
//               sequence limit and cache forms), which are recognised in lower case only.
//               A placeholder the filled object does not know stays in the text as written.
//   {...}       an optional part. The first placeholder inside it that the object knows
//               decides: an empty value removes the whole part with its braces, any other
//               value removes just the braces. A part without such a placeholder stays as
//               written, braces included. Braces do not nest: a second "{" before the "}"
//               makes the first one ordinary text.
//   <# and #>   a literal "{" and "}" in the output.
//   #13#10      a line break (CR LF).
//   *...        a starred template: empty while SkipStarredTemplates is on; otherwise the "*"
//               is dropped.
// Values never open or close optional parts. Code values (view, procedure, trigger and rule
// code, table options, the table begin and end scripts) are run through the placeholders of
// the object they are filled for, so code such as "CREATE VIEW %viewname% AS ..." gets its
// names; other values (comments, defaults, check expressions) are inserted as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ardvin {

class TVELAttribute;
class TVELConstraint;
class TVELDataDictionary;
class TVELDatabaseObject;
class TVELDatabaseSettings;
class TVELDataType;
class TVELDomain;
class TVELEntity;
class TVELIndex;
class TVELIndexColumn;
class TVELProcedure;
class TVELRule;
class TSLDatatypes;
class TVELSequence;
class TVELTrigger;
class TVELView;

// The generation mark of a model object (TVELDatabaseObject::GenerationMark): gmWrittenInline
// means the statement of its owner already wrote it, so script generation must not write it
// as a statement of its own. On tables, columns, indexes, sequences, views, procedures, rules
// and domains the mark concerns their comment; on constraints the constraint itself.
enum TVELGenerationMark : uint8_t { gmNone = 0, gmWrittenInline = 2 };

// Clears the generation marks of every object of a model and of the members of its entities
// (attributes with their column constraints, indexes, triggers, table constraints, primary
// keys) and of the foreign keys of its relationships.
void ClearGenerationMarks(const TVELDataDictionary& dictionary);

// The other side of a comparison, for alter scripts: answers, for an object of the model being
// generated, its counterpart in the old model, or nullptr when it has none.
class TVELOldModel {
public:
    virtual ~TVELOldModel() = default;
    virtual const TVELDatabaseObject* Counterpart(const TVELDatabaseObject& object) const = 0;
};

// An old model whose objects share identifiers with the new one (as comparison leaves them):
// the counterpart is the object with the same identifier and class, members of entities found
// in the counterpart entity, foreign keys through their relationships.
class TVELDictionaryOldModel : public TVELOldModel {
public:
    explicit TVELDictionaryOldModel(const TVELDataDictionary& oldModel) : oldModel_(oldModel) {}
    const TVELDatabaseObject* Counterpart(const TVELDatabaseObject& object) const override;

private:
    const TVELDataDictionary& oldModel_;
};

// Values of placeholders the object itself does not have (%intofields% and %selectfields% of
// the data copy of a recreated table) or that replace the object's own (a table created under
// a temporary name): placeholder name in lower case without the "%" characters, and value.
// They take precedence over the object's placeholders and are inserted as they are.
using TVELFillValues = std::vector<std::pair<std::string, std::string>>;

// Referential action texts: "ON DELETE RESTRICT", "ON DELETE CASCADE", "ON DELETE SET NULL",
// "ON DELETE SET DEFAULT", and empty for None (and for values out of range); the same with
// "ON UPDATE".
std::string DeleteRuleText(int action);
std::string UpdateRuleText(int action);

class TVELTemplateFiller {
public:
    // The filler keeps a reference to the definition; the definition must outlive it and must
    // not be reloaded while the filler is in use.
    explicit TVELTemplateFiller(const TVELDatabaseSettings& settings);
    ~TVELTemplateFiller();
    TVELTemplateFiller(const TVELTemplateFiller&) = delete;
    TVELTemplateFiller& operator=(const TVELTemplateFiller&) = delete;

    // Starred templates yield nothing while set; otherwise their "*" is dropped.
    bool SkipStarredTemplates = true;
    // Set for alter scripts only: the old-name placeholders (%oldtablename% ...) are filled
    // from the counterparts it answers, empty for objects without one. Without it they stay in
    // the text. Not owned.
    const TVELOldModel* OldModel = nullptr;

    const TVELDatabaseSettings& Settings() const { return settings_; }
    // The [sqlcommands] template of that name ("SQLCreateTable" ...); empty when absent.
    std::string Template(std::string_view name) const;

    // ---- fill operations: template + object -> statement text -------------------------------
    std::string FillTable(const TVELEntity& table, std::string_view tmpl,
                          const TVELFillValues* extra = nullptr);
    std::string FillColumn(const TVELAttribute& column, std::string_view tmpl,
                           const TVELFillValues* extra = nullptr);
    // The data type placeholders of a column's or domain's data type value, and %datatype%.
    std::string FillDataType(const TVELDataType& dataType, std::string_view tmpl,
                             const TVELFillValues* extra = nullptr);
    // Any constraint: primary key, table check or unique, column not null, default or check,
    // or the foreign key of a relationship.
    std::string FillConstraint(const TVELConstraint& constraint, std::string_view tmpl,
                               const TVELFillValues* extra = nullptr);
    std::string FillIndex(const TVELIndex& index, std::string_view tmpl,
                          const TVELFillValues* extra = nullptr);
    std::string FillIndexColumn(const TVELIndexColumn& column, std::string_view tmpl,
                                const TVELFillValues* extra = nullptr);
    std::string FillSequence(const TVELSequence& sequence, std::string_view tmpl,
                             const TVELFillValues* extra = nullptr);
    std::string FillDomain(const TVELDomain& domain, std::string_view tmpl,
                           const TVELFillValues* extra = nullptr);
    // The create (or drop) statement of a domain: SQLCreateType (SQLDropType) when the data type
    // list writes domains of its type as types, else SQLCreateDomain (SQLDropDomain).
    std::string FillDomainStatement(const TVELDomain& domain, bool drop);
    std::string FillTrigger(const TVELTrigger& trigger, std::string_view tmpl,
                            const TVELFillValues* extra = nullptr);
    std::string FillView(const TVELView& view, std::string_view tmpl, const TVELFillValues* extra = nullptr);
    // A filled text that begins with "DROP PROCEDURE" has every "DROP PROCEDURE" turned into
    // "DROP FUNCTION" when the procedure is a function (IsFunctionCode).
    std::string FillProcedure(const TVELProcedure& procedure, std::string_view tmpl,
                              const TVELFillValues* extra = nullptr);
    std::string FillRule(const TVELRule& rule, std::string_view tmpl, const TVELFillValues* extra = nullptr);

    // ---- list builders (the values of the list placeholders) ---------------------------------
    // %tablecolumns%: every column filled with SQLCreateColumn, in column order, joined by ",";
    // a column whose text comes out empty adds a line break instead.
    std::string TableColumns(const TVELEntity& table);
    // %temptablecolumns%: the same with SQLCreateTempTableColumn.
    std::string TempTableColumns(const TVELEntity& table);
    // %tableconstraints%: the table's check and unique constraints in use (SQLCreateCheck-
    // Constraint, SQLCreateUniqueConstraint), then its foreign keys (SQLCreateFKConstraint),
    // joined by ","; constraints already written and those whose text comes out empty are left
    // out; every one written is marked. The foreign keys into a table are a whole-model look-up:
    // callers that fill many tables keep a TVELDataDictionary::TBulkScope open.
    std::string TableConstraints(const TVELEntity& table);
    // %pkconstraint%: the primary key filled with SQLCreatePKConstraint and marked; empty when
    // the key has no attribute or was already written (by %sqliteautoincpk%).
    std::string PKConstraint(const TVELEntity& table);
    // %indexcolumns%: every index column filled with SQLIndexColumn, joined by ",".
    std::string IndexColumns(const TVELIndex& index);

    // ---- pieces of the language, for callers that fill texts of their own -------------------
    // The comment as a string literal of the target: trimmed, an outer pair of "'" or of
    // double quotes removed, enclosed in the first character of QUOTE with that character
    // doubled inside, every line break replaced by one blank. Empty for an empty comment.
    std::string CommentLiteral(std::string_view comment) const;

    // The single replacement primitive: every occurrence of the placeholder (given with its
    // "%" characters, matched without regard to case) becomes the value; the optional part
    // around the first occurrence is removed when the value is empty, else only its braces.
    static std::string ReplacePlaceholder(std::string_view text, std::string_view placeholder,
                                          std::string_view value);
    // "{" -> "<#" and "}" -> "#>", so that a value cannot open or close optional parts.
    static std::string EscapeValue(std::string_view value);
    // "#13#10" -> CR LF, "<#" -> "{", "#>" -> "}".
    static std::string FinishText(std::string_view text);
    // Whether procedure code defines a function: the upper-cased code holds
    // "CREATE FUNCTION %", or the word after its first "CREATE" (after "CREATE OR REPLACE")
    // is "FUNCTION".
    static bool IsFunctionCode(std::string_view code);
    // The text between the first "(" and the first ")" after it; false when there is none.
    static bool CodeParameters(std::string_view code, std::string& params);

    // Parsed templates are cached by their text; the number cached so far.
    size_t CachedTemplateCount() const;

private:
    struct TParsedTemplate;
    struct TContext;
    class TTemplateCache;
    struct TValue {
        std::string Text;
        bool Known = false; // the object has the placeholder
    };

    const TParsedTemplate& Parse(std::string_view tmpl);
    std::string Run(std::string_view tmpl, TContext& context);
    std::string Expand(const TParsedTemplate& parsed, TContext& context);
    // A code value run through the placeholders of the context (no optional parts).
    std::string ExpandCode(std::string_view code, TContext& context);
    bool Resolve(int id, TContext& context, std::string& value);
    bool ResolveName(int id, TContext& context, std::string& value);
    // Text fields of the objects and comments, the placeholders that need nothing else.
    bool ResolveField(int id, const TContext& context, std::string& value) const;
    bool ResolveTable(int id, TContext& context, std::string& value);
    bool ResolveColumn(int id, TContext& context, std::string& value);
    bool ResolveDataType(int id, TContext& context, std::string& value);
    bool ResolveConstraint(int id, TContext& context, std::string& value);
    bool ResolveIndex(int id, TContext& context, std::string& value);
    bool ResolveIndexColumn(int id, TContext& context, std::string& value);
    bool ResolveSequence(int id, TContext& context, std::string& value);
    bool ResolveDomain(int id, TContext& context, std::string& value);
    bool ResolveCode(int id, TContext& context, std::string& value);
    std::string ColumnList(const TVELEntity& table, const std::string& tmpl);
    // The full type text of a value; list: its model's type list when the caller knows it.
    std::string TypeText(const TVELDataType& type, const TSLDatatypes* list);
    std::string ColumnTypeText(const TVELAttribute& column, const TSLDatatypes* list);
    std::string NameForm(const TVELDatabaseObject* object, int form, int role) const;

    const TVELDatabaseSettings& settings_;
    std::unique_ptr<TTemplateCache> cache_;
    // The values of the fills in progress, one buffer per nesting depth.
    std::vector<std::unique_ptr<std::vector<TValue>>> values_;
    size_t depth_ = 0;
};

} // namespace ardvin
