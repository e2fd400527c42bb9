// Helpers of the tests of shipped target definitions: the placeholder words of the statement
// template language, checks of a template's form, and a filler that fills a template from given
// values the way script generation does, for running the statements on a real database.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ardvin::test {

// Placeholder name (without the "%" around it) and its value, in the order they are filled.
using TTemplateValues = std::vector<std::pair<std::string, std::string>>;

// Every placeholder a statement template may use.
const std::set<std::string>& KnownPlaceholders();

// The placeholder names of a template in order of appearance. A "%" without a partner, or a
// name that is not a lower-case word, is described in problem.
std::vector<std::string> Placeholders(std::string_view tmpl, std::string& problem);

// Empty when the optional parts of a template are well formed: balanced, not nested, and each
// holding exactly one placeholder, so that which part disappears does not depend on the order in
// which the placeholders are filled.
std::string CheckOptionalParts(std::string_view tmpl);

// The "section/key" of every key of a definition that the file does not write out.
std::vector<std::string> UnwrittenKeys(const std::string& defFile);

// Fills a statement template through the filler's replacement primitive: each placeholder, in
// the order given, is replaced by its value with braces in the value escaped; the optional part
// around its first occurrence disappears when the value is empty and loses its braces otherwise.
// Finally "#13#10" becomes a line break and "<#", "#>" literal braces.
std::string FillTemplate(std::string_view tmpl, const TTemplateValues& values);

// The values given, followed by an empty value for each of the optional placeholders not given.
TTemplateValues WithEmpty(TTemplateValues values, std::initializer_list<const char*> optional);

}  // namespace ardvin::test
