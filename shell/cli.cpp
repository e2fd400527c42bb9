// ardvin-cli: the command-line front end of the core.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zApplication.h"
#include "zDatabaseSettings.h"

namespace {

const char* Usage =
    "Usage: ardvin-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  targets        list the installed target databases (id, name, type)\n"
    "  --version      print the version\n"
    "  --help         print this help\n"
    "\n"
    "The definitions folder is found beside the program; the environment variable\n"
    "ARDVIN_DEFINITIONS names another one.\n";

// Lists the installed targets: id, name and target type, tab-separated, one per line.
int ListTargets() {
    const char* overrideFolder = std::getenv("ARDVIN_DEFINITIONS");
    const std::string folder =
        overrideFolder && *overrideFolder ? overrideFolder : ardvin::LocateDefinitionsFolder();
    if (folder.empty()) {
        std::fputs("ardvin-cli: definitions folder not found\n", stderr);
        return 2;
    }
    ardvin::TTargetDatabases& targets = ardvin::TargetDatabases();
    try {
        targets.Build(folder);
    } catch (const ardvin::EVELError& e) {
        std::fprintf(stderr, "ardvin-cli: %s\n", e.what());
        return 2;
    }
    if (!targets.LoadWarnings.empty()) {
        const size_t more = targets.LoadWarnings.size() - 1;
        std::fprintf(stderr, "ardvin-cli: %s", targets.LoadWarnings.front().c_str());
        if (more) std::fprintf(stderr, " (and %zu more)", more);
        std::fputs("\n", stderr);
        return 2;
    }
    for (const ardvin::TTargetEntry& e : targets.Entries())
        std::printf("%s\t%s\t%s\n", e.Id.c_str(), e.Name.c_str(),
                    ardvin::TargetTypeText(e.TargetType).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (cmd == "--version") {
        std::printf("ardvin-cli %s (%s %s)\n", ARDVIN_VERSION, ardvin::ProductName, ardvin::VersionText);
        return 0;
    }
    if (cmd == "targets") return ListTargets();
    std::fprintf(stderr, "ardvin-cli: unknown command \"%s\"; see ardvin-cli --help\n", cmd.c_str());
    return 2;
}
