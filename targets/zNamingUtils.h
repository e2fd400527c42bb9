// Naming templates: names of keys, constraints, indexes and relationships made from the names
// of the tables and columns they belong to, and the command that renames the objects of one
// kind with the project's default template of that kind.
//
// A template is a text with "%...%" placeholders, for example PK_%table%. Which placeholders
// an object knows depends on its kind:
//
//   table               %table% %tablename% (the name), %quotedqualifiedtablename%,
//                       %nonquotedqualifiedtablename%, %quotedsimpletablename%,
//                       %nonquotedsimpletablename% (the name forms), %tableabbreviation%
//                       %tableabb% (the abbreviation)
//   domain              %domainname% and the domain name forms (%quotedqualifieddomainname% ...)
//   view                %view% %viewname% and the view name forms
//   trigger             %trigger% %triggername%, the trigger name forms, the table placeholders
//   sequence            %seqname% and the sequence name forms (%quotedqualifiedseqname% ...)
//   column              %column% %columnname%, the table placeholders, %counter% (position in
//                       the table, from 1)
//   index               the table placeholders with %table%/%tablename% stripped of quote
//                       characters, %counter% (position among the table's indexes), %column%
//                       (the first column's name, empty when none)
//   table constraint    the table placeholders, %counter% (position among the table's
//                       constraints; the primary key, which stands apart from them, counts 1)
//   column constraint   the column placeholders of the constrained column
//   relationship and    %relname% %relationshipname% (the name without quote characters), the
//   foreign key         relationship name forms (%quotedqualifiedrelname% ...), %parent%
//                       %parenttablename% and %parent<form>tablename%, %parenttableabbreviation%
//                       %parentabb%, %parentcolumn% (first parent key column), the same for
//                       %child...%, and %counter% (position among the relationships into the
//                       same child table)
//
// Placeholders are matched without regard to case; one a kind does not know stays in the
// text. The expansion neither shortens the result to the target's name length nor makes it
// unique: validation reports names that are too long or used twice.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zXMLUtils.h"

namespace ardvin {

class TVELDataDictionary;
class TVELDatabaseObject;
class TVELNamedObject;

// The name a template gives for an object. A template without "%" is returned unchanged.
std::string ExpandNameTemplate(std::string_view tmpl, const TVELNamedObject& object);

// ---- applying the project's default templates ----------------------------------------------

enum class TNameTemplateKind : uint8_t {
    PrimaryKeyConstraint,
    ForeignKeyConstraint,
    NotNullConstraint,
    DefaultConstraint,
    UniqueConstraint,
    CheckTableConstraint,
    CheckColumnConstraint,
    Relationship,
    PrimaryKeyIndex,
    ForeignKeyIndex,
    AlternateKeyIndex,
};
inline constexpr int NameTemplateKindCount = 11;

enum class TNameTemplateScope : uint8_t { All, EmptyNames };

// The project settings key of a kind's default template, for example "PKCONNAMETEMPLATE".
std::string NameTemplateKey(TNameTemplateKind kind);
// The words of a kind, for example "primary key constraint name".
std::string NameTemplateKindText(TNameTemplateKind kind);
// "All" and "Empty names (name = '')".
std::string NameTemplateScopeText(TNameTemplateScope scope);

// What the command tells before it runs: "Rename <kind>s to the name defined by the default
// <kind> template (<template>).", an empty line and a note on where the templates are kept.
std::string ApplyNameTemplatesExplanation(TNameTemplateKind kind, std::string_view tmpl);
// Caption of the one undoable step the command makes: "<kind> names changes."
std::string ApplyNameTemplatesUndoCaption(TNameTemplateKind kind);
// The log line of the command: "apply name template: <kind>".
std::string ApplyNameTemplatesLogText(TNameTemplateKind kind);

// The objects of one kind in the model: keys and constraints of every table, the column
// constraints that columns have (column constraints not made yet are left out: they get the
// project's default when they are made), relationships, and the automatic indexes of a kind.
// Tables in list order, each table's members in their order.
void NameTemplateObjects(const TVELDataDictionary& dictionary, TNameTemplateKind kind,
                         std::vector<TVELNamedObject*>& out);
// Whether the command renames an object in a scope: always for All; for EmptyNames only when
// the object's name (its template's expansion when it is named by one) is empty.
bool NameTemplateScopeApplies(const TVELNamedObject& object, TNameTemplateScope scope);

struct TApplyNameTemplatesResult {
    std::vector<TVELNamedObject*> Renamed;  // in the order of NameTemplateObjects
    std::string UndoCaption;
    std::string LogText;
};
// Gives every object of the kind within the scope the template, and names it from it.
TApplyNameTemplatesResult ApplyNameTemplates(TVELDataDictionary& dictionary, TNameTemplateKind kind,
                                             TNameTemplateScope scope, std::string_view tmpl);
// The same with the kind's default template taken from the project's name templates.
TApplyNameTemplatesResult ApplyNameTemplates(TVELDataDictionary& dictionary, TNameTemplateKind kind,
                                             TNameTemplateScope scope, const TVELSettingsList& templates);

}  // namespace ardvin
