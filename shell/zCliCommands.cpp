#include "zCliCommands.h"

#include <cstdio>
#include <cstdlib>

#include "zApplication.h"
#include "zDatabaseSettings.h"

namespace ardvin {

const std::vector<TCliCommand>& CliCommands() {
    static const std::vector<TCliCommand> commands = {
        {"targets", "", "list the installed target databases (id, name, type)", CliListTargets},
        {"new", "--target ID -o FILE.arv", "create a project for a target, with its main diagram", CliNewProject},
        {"info", "FILE.arv [--target ID]", "describe a project: format, target and the number of each kind of object",
         CliProjectInfo},
        {"upgrade", "OLD.arv -o NEW.arv [--target ID]",
         "convert a project of an older format (keeping a backup) and save it; a version-2 file needs --target",
         CliUpgradeProject},
        {"versions", "FILE.arv [--archive LABEL [--comments TEXT] [--model-only]]",
         "list the archived versions (number, label, date, type), or archive the current model and save",
         CliProjectVersions},
        {"compare", "LEFT RIGHT [--target ID] [--html OUT.html] [--option KEY=1]... [--map OLD=NEW]... [--ignore-case] [--format text|json] [--all]",
         "compare two models (project FILE.arv, archived version FILE.arv@N, SQL script with --target); exit 0 identical, 1 different",
         CliCompare},
        {"alter", "OLD NEW [-o OUT.sql] [--target ID] [--option KEY=VALUE]... [--allow-drop]",
         "write the script that brings OLD to NEW; exit 3 when it drops or recreates tables or columns without --allow-drop",
         CliAlter},
        {"update-model", "FILE.arv --from SOURCE [--target ID] [--select all|changed] -o OUT.arv",
         "update a model from another model or script: all differences, or only the objects present in both", CliUpdateModel},
    };
    return commands;
}

int CliFail(const std::string& message) {
    std::fprintf(stderr, "ardvin-cli: %s\n", message.c_str());
    return 2;
}

bool CliLoadTargets() {
    const char* overrideFolder = std::getenv("ARDVIN_DEFINITIONS");
    const std::string folder = overrideFolder && *overrideFolder ? overrideFolder : LocateDefinitionsFolder();
    if (folder.empty()) {
        CliFail("definitions folder not found");
        return false;
    }
    TTargetDatabases& targets = TargetDatabases();
    try {
        targets.Build(folder);
    } catch (const EVELError& e) {
        CliFail(e.what());
        return false;
    }
    if (!targets.LoadWarnings.empty()) {
        std::string text = targets.LoadWarnings.front();
        if (const size_t more = targets.LoadWarnings.size() - 1) text += " (and " + std::to_string(more) + " more)";
        CliFail(text);
        return false;
    }
    return true;
}

// Lists the installed targets: id, name and target type, tab-separated, one per line.
int CliListTargets(const TCliArgs&) {
    if (!CliLoadTargets()) return 2;
    for (const TTargetEntry& e : TargetDatabases().Entries())
        std::printf("%s\t%s\t%s\n", e.Id.c_str(), e.Name.c_str(), TargetTypeText(e.TargetType).c_str());
    return 0;
}

}  // namespace ardvin
