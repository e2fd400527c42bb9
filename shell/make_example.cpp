// ardvin-make-example: writes the example project (examples/shop.arv of the source tree).
#include <cstdio>
#include <exception>

#include "zCliCommands.h"
#include "zShopExample.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: ardvin-make-example OUTPUT.arv\n", stderr);
        return 2;
    }
    if (!ardvin::CliLoadTargets()) return 2;
    try {
        ardvin::WriteShopExample(argv[1]);
    } catch (const std::exception& e) {
        return ardvin::CliFail(e.what());
    }
    return 0;
}
