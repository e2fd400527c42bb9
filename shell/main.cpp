// The desktop program. Until the window exists it only serves the command line: a project file
// followed by -generate writes the project's create script without any dialog.
#include <cstdio>
#include <string>
#include <vector>

#include "zApplication.h"
#include "zCliGenerate.h"

int main(int argc, char** argv) {
    if (argc <= 2) {
        std::fprintf(stderr, "%s %s\nUsage: ardvin FILE.arv -generate\n", ardvin::ProductName, ardvin::VersionText);
        return 2;
    }
    return ardvin::RunUnattendedGeneration(std::vector<std::string>(argv + 1, argv + argc));
}
