// ARDVIN-PLACEHOLDER (named-objects branch): a stand-in declaring only the members of the
// target definition that the model core uses. The real TVELDatabaseSettings (Part 2.1) is
// written on the targets branch; when the two meet, keep the real header and drop this one.
#pragma once

#include <string>
#include <string_view>

namespace ardvin {

class TVELDatabaseSettings {
public:
    bool EnableSchemas = false;                            // [supported] enableschemas
    bool IsReservedWord(std::string_view word) const;      // case-insensitive
    std::string QuoteDDL(std::string_view name) const;     // quote for definitions
    std::string StripQuotes(std::string_view name) const;  // removes [ ] " ' `
};

}  // namespace ardvin
