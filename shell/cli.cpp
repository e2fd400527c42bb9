// ardvin-cli: the command-line front end of the core.
#include <cstdio>
#include <cstring>
#include <string>

#include "zApplication.h"

namespace {

const char* Usage =
    "Usage: ardvin-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  targets        list the installed target databases (id, name, type)\n"
    "  --version      print the version\n"
    "  --help         print this help\n";

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
    std::fprintf(stderr, "ardvin-cli: unknown command \"%s\"; see ardvin-cli --help\n", cmd.c_str());
    return 2;
}
