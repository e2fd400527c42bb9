// The commands of ardvin-cli. Each command takes the arguments after its name and returns the
// process exit status; failures print one line on stderr starting with "ardvin-cli: ".
#pragma once

#include <string>
#include <vector>

namespace ardvin {

using TCliArgs = std::vector<std::string>;

struct TCliCommand {
    const char* Name;
    const char* Synopsis;  // the arguments, as the help shows them
    const char* Summary;
    int (*Run)(const TCliArgs& args);
};

// Every command, in the order the help lists them.
const std::vector<TCliCommand>& CliCommands();

// Loads the target definitions (beside the program, or the folder named by ARDVIN_DEFINITIONS).
// Returns false after printing the reason on stderr.
bool CliLoadTargets();
// Prints "ardvin-cli: MESSAGE" on stderr and returns 2.
int CliFail(const std::string& message);

int CliListTargets(const TCliArgs& args);
// Project files (zCliProject.cpp).
int CliNewProject(const TCliArgs& args);
int CliProjectInfo(const TCliArgs& args);
int CliUpgradeProject(const TCliArgs& args);
int CliProjectVersions(const TCliArgs& args);
// Import from scripts and databases (zCliImport.cpp).
int CliImportSQL(const TCliArgs& args);
int CliReverse(const TCliArgs& args);
int CliListDatabase(const TCliArgs& args);

}  // namespace ardvin
