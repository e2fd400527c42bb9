// A definitions folder for the import tests: the shipped targets and one whose driver does not
// exist.
#pragma once

#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "zDatabaseSettings.h"

namespace ardvin::test {

// Copies the shipped definitions into the folder, adds "testnodriver" (driver "nosuchdriver") and
// builds the target registry from the folder.
inline void BuildImportTargets(const TempDir& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(DefinitionsDir()))
        std::filesystem::copy_file(entry.path(), dir.File(entry.path().filename().string()),
                                   std::filesystem::copy_options::overwrite_existing);
    WriteFile(dir.File("testnodriver.def"), "[general]\r\ndbmsname=Driverless\r\ndrivername=nosuchdriver\r\n");
    TargetDatabases().Build(dir.Path());
}

} // namespace ardvin::test
