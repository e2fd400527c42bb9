// The desktop program. Until the window exists it only serves the command line.
#include <cstdio>

#include "zApplication.h"

int main(int argc, char** argv) {
    (void)argv;
    if (argc <= 2) {
        std::fprintf(stderr, "%s %s\nUsage: ardvin FILE.arv -generate\n", ardvin::ProductName, ardvin::VersionText);
        return 2;
    }
    std::fprintf(stderr, "Unattended generation is not available in this build.\n");
    return 2;
}
