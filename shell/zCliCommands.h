// The commands of ardvin-cli. Each command takes the arguments after its name and returns the
// process exit status; failures print one line on stderr starting with "ardvin-cli: ".
#pragma once

#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "zProject.h"

namespace ardvin {

class TVELDataDictionary;

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
// Raises EVELError with the reason.
void LoadTargetDefinitions();
// LoadTargetDefinitions; returns false after printing the reason on stderr.
bool CliLoadTargets();
// Prints "ardvin-cli: MESSAGE" on stderr and returns 2.
int CliFail(const std::string& message);

// ---- helpers of the commands ----------------------------------------------------------------

struct TParsedArgs {
    std::vector<std::string> Positional;
    // "--name value", every value in the order given
    std::map<std::string, std::vector<std::string>> Options;
    std::set<std::string> Flags;  // "--name"

    // The last value given for an option; empty when none was.
    std::string Option(const std::string& name) const;
    // Every value given for an option.
    std::vector<std::string> Values(const std::string& name) const;
    bool Has(const std::string& name) const { return Options.count(name) > 0 || Flags.count(name) > 0; }
};

// Splits the arguments into positional ones, options with a value (each may be repeated) and
// flags; any other option, a missing value or a wrong number of positional arguments raises the
// usage error.
TParsedArgs ParseArgs(const TCliArgs& args, const std::set<std::string>& valued, const std::set<std::string>& flags,
                      size_t positional, const std::string& usage);

// A file name made absolute.
std::string AbsolutePath(const std::string& name);

// A project opened from a file. Files of older formats are converted without asking; a
// version-2 file takes its target from target.
void OpenProject(TVELProject& project, const std::string& fileName, const std::string& target);

// A project read for looking at only (or for saving elsewhere): a file of an older format is
// converted from a copy in a temporary folder, so that neither the file nor its folder change.
class TReadOnlyProject {
public:
    TReadOnlyProject(const std::string& fileName, const std::string& target);
    ~TReadOnlyProject();
    TReadOnlyProject(const TReadOnlyProject&) = delete;
    TReadOnlyProject& operator=(const TReadOnlyProject&) = delete;

    TVELProject Project;

private:
    std::string folder_;
};

int CliListTargets(const TCliArgs& args);
// Project files (zCliProject.cpp).
int CliNewProject(const TCliArgs& args);
int CliProjectInfo(const TCliArgs& args);
int CliUpgradeProject(const TCliArgs& args);
int CliProjectVersions(const TCliArgs& args);
// Script generation and the model check (zCliGenerate.cpp).
int CliGenerate(const TCliArgs& args);
int CliCheck(const TCliArgs& args);
int CliSwitchTarget(const TCliArgs& args);
// Comparison (zCliCompare.cpp).
int CliCompare(const TCliArgs& args);
int CliAlter(const TCliArgs& args);
int CliUpdateModel(const TCliArgs& args);
// The model of a live database named by a URL, read for the target; the commands that take
// models accept such URLs through it (zCliImport.cpp).
std::unique_ptr<TVELDataDictionary> CliLoadDatabaseModel(const std::string& url, const std::string& target);
// Import from scripts and databases (zCliImport.cpp).
int CliImportSQL(const TCliArgs& args);
int CliReverse(const TCliArgs& args);
int CliListDatabase(const TCliArgs& args);

}  // namespace ardvin
