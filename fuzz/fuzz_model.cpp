// Feeds arbitrary bytes to the data dictionary as a saved model: whatever the text holds
// (unknown or missing elements, identifiers that are no numbers, connections to missing
// objects, duplicate identifiers, truncated content), loading keeps what it can, and saving,
// reloading and checking the result must neither crash nor hang.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "zDataDictionary.h"
#include "zDatabaseSettings.h"

using namespace ardvin;

namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

// A target of our own, written once into a temporary folder: referential integrity, sequences,
// views, procedures, rules and triggers, so that every kind of object gets validated.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ardvin_fuzz_model_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    WriteText(dir / "fz.def", "[general]\r\ndbmsname=Fuzz Target\r\n"
                              "[supported]\r\nenablerefint=1\r\nenablesequences=1\r\nenableviews=1\r\n"
                              "enableprocedures=1\r\nenablerules=1\r\nenabletriggers=1\r\nenableschemas=1\r\n"
                              "[keybehaviour]\r\nfkonlytopk=1\r\npkontop=1\r\n"
                              "[refint]\r\nrefintondelete=RCND\r\nrefintonupdate=RC\r\n");
    WriteText(dir / "fz.typ", "LISTNAME;BASE\r\nINTEGER;INTEGER;;;Exact Numeric;0;0;1\r\n"
                              "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n"
                              "SERIAL;SERIAL;;;Autonumber;0;0;0;0;1;INTEGER\r\n");
    TargetDatabases().Build(dir.string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first DBID wins: the input's own target, if any, is ignored.
    const std::string text = "<DBID>fz</DBID>" + std::string(reinterpret_cast<const char*>(data), size);
    try {
        TVELDataDictionary model;
        model.LoadFromMarkup(text);
        const std::string saved = model.SaveToMarkup();
        model.CheckModel();
        model.SaveToMarkup();
        TVELDataDictionary again;
        again.LoadFromMarkup(saved);
        again.SaveToMarkup();
    } catch (const EVELError&) {
        // A condition that ends the operation with a message for the user.
    }
    return 0;
}
