// ardvin-cli: the command-line front end of the core.
#include <cstdio>
#include <string>

#include "zApplication.h"
#include "zCliCommands.h"

namespace {

void PrintUsage(FILE* out) {
    std::fputs("Usage: ardvin-cli COMMAND [ARGUMENTS]\n\nCommands:\n", out);
    for (const ardvin::TCliCommand& c : ardvin::CliCommands()) {
        std::string head = std::string(c.Name) + (*c.Synopsis ? " " : "") + c.Synopsis;
        std::fprintf(out, "  %s\n      %s\n", head.c_str(), c.Summary);
    }
    std::fputs("  --version\n      print the version\n  --help\n      print this help\n"
               "\nThe definitions folder is found beside the program; the environment variable\n"
               "ARDVIN_DEFINITIONS names another one.\n",
               out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (cmd == "--version") {
        std::printf("ardvin-cli %s (%s %s)\n", ARDVIN_VERSION, ardvin::ProductName, ardvin::VersionText);
        return 0;
    }
    for (const ardvin::TCliCommand& c : ardvin::CliCommands())
        if (cmd == c.Name) return c.Run(ardvin::TCliArgs(argv + 2, argv + argc));
    std::fprintf(stderr, "ardvin-cli: unknown command \"%s\"; see ardvin-cli --help\n", cmd.c_str());
    return 2;
}
