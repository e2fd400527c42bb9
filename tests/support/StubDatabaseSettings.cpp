// LINK STAND-IN (named-objects branch), compiled only while targets/zDatabaseSettings.h is
// the placeholder marked ARDVIN-PLACEHOLDER (see tests/CMakeLists.txt). The model core calls
// these members only for objects under a data dictionary, which the tests do not build.
// Delete this file once the real target definition has landed.
#include "zDatabaseSettings.h"

#include <cstdlib>

namespace ardvin {

bool TVELDatabaseSettings::IsReservedWord(std::string_view word) const {
    (void)word;
    std::abort();
}

std::string TVELDatabaseSettings::QuoteDDL(std::string_view name) const {
    (void)name;
    std::abort();
}

std::string TVELDatabaseSettings::StripQuotes(std::string_view name) const {
    (void)name;
    std::abort();
}

}  // namespace ardvin
