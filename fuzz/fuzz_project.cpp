// Feeds arbitrary bytes to the project as a project file: opening either refuses the file with a
// message or loads it, and never changes it. A loaded project must save, and the saved file must
// open again and save to the same bytes, with nothing left to count as modified.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "zDatabaseSettings.h"
#include "zProject.h"

using namespace ardvin;

namespace {

namespace fs = std::filesystem;

fs::path Folder;

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TVELDateTime FixedNow() {
    return LocalDateTime(2026, 1, 2, 3, 4);
}

// A project that takes the fuzz target for version-2 files and converts older files without
// asking.
void Prepare(TVELProject& p) {
    p.OnConfirmConversion = [](const std::string&) {};
    p.OnRequestTarget = [] { return std::string("fz"); };
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_project: %s\n", what);
    std::abort();
}

} // namespace

// A target of our own, and folders of our own for the files and the working files.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Folder = fs::temp_directory_path() / ("ardvin_fuzz_project_" + std::to_string(::getpid()));
    fs::create_directories(Folder / "definitions");
    fs::create_directories(Folder / "tmp");
    WriteText(Folder / "definitions" / "fz.def",
              "[general]\r\ndbmsname=Fuzz Target\r\n"
              "[supported]\r\nenablerefint=1\r\nenablesequences=1\r\nenableviews=1\r\n"
              "enableprocedures=1\r\nenablerules=1\r\nenabletriggers=1\r\nenableschemas=1\r\n"
              "[keybehaviour]\r\nfkonlytopk=1\r\npkontop=1\r\n");
    WriteText(Folder / "definitions" / "fz.typ", "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                                                 "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n"
                                                 "DATE;DATE;;;Date and Time;0;0;0\r\n");
    TargetDatabases().Build((Folder / "definitions").string());
    setenv("TMPDIR", (Folder / "tmp").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", Folder.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const fs::path work = Folder / "work";
    std::error_code ec;
    fs::remove_all(work, ec);
    fs::create_directories(work);
    const std::string file = (work / "in.arv").string();
    WriteText(file, input);
    {
        TVELProject p(FixedNow);
        Prepare(p);
        bool opened = false;
        try {
            p.Open(file);
            opened = true;
        } catch (const EVELError&) {
            // Refused with a message for the user.
        }
        if (ReadText(file) != input) Fail("opening changed the file");
        if (!opened) return 0;
        const std::string saved = (work / "saved.arv").string();
        p.SetFileName(saved);
        p.Save();
        if (p.IsModified()) Fail("a project just saved counts as modified");
        const std::string first = ReadText(saved);
        TVELProject again(FixedNow);
        Prepare(again);
        again.Open(saved);
        if (again.IsModified()) Fail("a saved file counts as modified when opened");
        again.Save();
        if (ReadText(saved) != first) Fail("saving the opened file changed it");
    }
    return 0;
}
