// Reads an exported differences page the way a browser does (tests/support/check_html.py): the
// markup must nest properly and be UTF-8; the result lists the title and the table rows as shown.
#pragma once

#include <string>

#include "TestSupport.h"

namespace ardvin::test {

// Exit code 0 and the rows ("TITLE\t..", "HEAD\t..", "ROW\t<colour>\t<left>\t<right>", bold runs in
// [ ]) in Out, or exit code 1 and the problems in Err.
inline RunResult ShownHTML(const std::string& file) {
    return RunProgram("/usr/bin/python3", {SourceDir() + "/tests/support/check_html.py", file});
}

}  // namespace ardvin::test
