// Script generation from a project file without any dialog: the generate, check and
// switch-target commands of ardvin-cli, and the unattended generation of the desktop program
// ("ardvin FILE.arv -generate").
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "zXMLUtils.h"

namespace ardvin {

class TVELDataDictionary;
class TVELProject;

// Receives one line of messages or log at a time.
using TVELLineSink = std::function<void(const std::string& line)>;

// Exit statuses of the generating commands.
inline constexpr int ExitGenerated = 0;
inline constexpr int ExitModelCheckFailed = 1;
inline constexpr int ExitFailed = 2;

// The generation options a project keeps: its begin and end database scripts, then the stored
// options of the generate command (GenDB_Options), which win.
TVELSettingsList StoredGenerationOptions(const TVELProject& project);

// Reads "KEY=VALUE" into options; raises EVELError for any other form or an empty key.
void AddOptionAssignment(const std::string& assignment, TVELSettingsList& options);

// Raises EVELError when no installed target has the id.
void RequireKnownTarget(const std::string& id);

// Generates the create script (with drop, the drop script) of a project's model with the options
// (DBID names the target of a database-independent model). Every message of switching and
// checking the copy, and then every log line of the run, goes to sink. Raises EVELError
// ModelContainsErrorsText when the model check the options ask for stops the generation, and
// EVELError for every other failure, a statement that could not be written included. The
// project is not changed. With executeURL the create script runs on that live database instead
// (execute mode); a statement that fails there is an EVELError too, after the whole run.
std::string GenerateProjectScript(const TVELProject& project, const std::string& projectFile,
                                  const TVELSettingsList& options, bool drop, const TVELLineSink& sink,
                                  const std::string& executeURL = {});

// The exit status of a failure of GenerateProjectScript.
int GenerationFailureStatus(const EVELError& error);

// Writes a script file as a whole (the old file stays when writing fails).
void WriteScriptFile(const std::string& fileName, const std::string& script);

// ---- unattended generation -------------------------------------------------------------------

// The command line of unattended generation: the project file (enclosing double or single quotes
// removed), then options. Recognised options are stored in settings under their name without
// the "-", with the value "YES". Returns the project file; raises EVELError "Command line options
// used and no valid file was given." when it does not exist, and "Command line option
// "-generate" is required." without that option.
std::string ParseUnattendedCommandLine(const std::vector<std::string>& args, TVELSettingsList& settings);

// Where unattended generation writes the create script: the stored SQLCREATEFILE parameter of
// the generate command (relative to the project's folder), else the project file with the
// extension ".sql".
std::string UnattendedScriptFile(const TVELProject& project, const std::string& projectFile);

// Runs unattended generation for the program's arguments (after the program name): generates
// the create script with the settings stored in the project. Returns the exit status; a
// failure is told on stderr, with the messages and log of the run before it.
int RunUnattendedGeneration(const std::vector<std::string>& args);

}  // namespace ardvin
