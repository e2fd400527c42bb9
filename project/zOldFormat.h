// The version-2 project file: a line-based text of marker sections that the first releases
// wrote, turned into the version-3 markup that the file converter then brings up to date.
//
// The text is read line by line (lines end with CR LF, LF or CR). A line that starts and ends
// with "***" is a marker; every marker starts one record, whose fields are the lines up to the
// next marker, one field per line in the order below. Blank lines at the end of a record are
// ignored; fields missing at its end are empty; more lines than fields are an error. Within a
// text field the two characters \n stand for a line break and \\ for a backslash. Numbers are
// decimal; the numbers of domains, entities, text areas and relationships are unique within
// their kind in one version, attribute numbers within their entity.
//
//   ***VERSION***     starts a version: project name, description, author, copyright,
//                     modification date ("yyyy-mm-dd")
//   ***DOMAIN***      domain number, name, data type, default value
//   ***DOMAINITEM***  domain number, value: one value of the domain's list of values
//   ***ENTITY***      entity number, name, left, top (diagram units), comment
//   ***ATTRIBUTE***   entity number, attribute number, name, data type, domain number (empty or
//                     0 for none), flags, default value, check expression, comment
//   ***INDEX***       entity number, index name, "UNIQUE" or empty, attribute numbers
//                     separated by ","
//   ***TEXTAREA***    text area number, left, top, width, height, text
//   ***RELATION***    relationship number, name (empty: named by the template), first entity
//                     number, second entity number, cardinality ("0:N", "1:N", "0:1" or "1:1"),
//                     "1" identifying or "0" non-identifying, pairs "a=b" separated by ","
//                     (a an attribute number of the first entity, b of the second)
//   ***ENDOFVERSION*** ends a version; a further ***VERSION*** starts an archived one
//
// Data types are written as the type name with an optional length and scale in parentheses,
// such as VARCHAR(40) or DECIMAL(10,2); the name is looked up among the names and synonyms of
// the target's data type list. Attribute flags are letters in any order: P primary key,
// R required (not null), U unique.
//
// For "0:N" and "1:N" the first entity is the parent. For "0:1" and "1:1" the parent is the
// entity whose attributes in the pairs are exactly its primary key, when only one of the two
// is so; otherwise the user is asked, and without an answer the first entity is the parent.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ardvin {

class TVELOldFormat {
public:
    // dbid: the target the model is given; definitionsFolder holds its ".typ" file (empty for
    // the folder of the registry of installed targets).
    explicit TVELOldFormat(std::string dbid, std::string definitionsFolder = {});

    // Yes/no question about the parent of a 1:1 or 0:1 relationship; true makes the first
    // entity the parent.
    std::function<bool(const std::string& question)> OnQuestion;
    std::function<void(const std::string& text)> OnStatus;

    // The versions of a marker text as version-3 markup: one VERSION element per version, in
    // file order. Raises EVELError when the target's data type file is missing and for text
    // that is not of this format.
    std::string Convert(std::string_view text);

private:
    std::string dbid_;
    std::string definitionsFolder_;
};

} // namespace ardvin
