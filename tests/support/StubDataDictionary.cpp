// LINK STAND-IN (named-objects branch), compiled only while model/zDataDictionary.cpp does
// not exist (see tests/CMakeLists.txt): the model core finds an object's data dictionary by
// dynamic_cast, which needs the dictionary's type information, emitted with its destructor.
// The tests never construct a dictionary. Delete this file once the real one has landed.
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"

#if __has_include("zSLDatatypes.h")
#include "zSLDatatypes.h"
#else
namespace ardvin {
class TSLDatatypes {};
}  // namespace ardvin
#endif

namespace ardvin {

TVELDataDictionary::~TVELDataDictionary() = default;
void TVELDataDictionary::Inserted(TVELNamedObject* item) {
    (void)item;
}

}  // namespace ardvin
