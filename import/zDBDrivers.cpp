#include "zDBDrivers.h"

#include <ctime>
#include <fstream>

namespace ardvin {

void TVELLogger::Log(int level, const std::string& text, TVELNamedObject* object) {
    std::string line;
    if (level == mlError) {
        ++ErrorCount;
        if (Flags & flErrorPrefix) line = MessageLevelName(mlError) + " : ";
    } else if (object && (Flags & flObjectPrefix)) {
        line = object->GetName() + " : ";
    }
    line += text;
    if (Collect) Lines.push_back(line);
    if (OnLog) OnLog(this, level, text, object);
    if (level == mlError && !ContinueOnError) throw EVELError(text);
}

void TVELLogger::Clear() {
    Lines.clear();
    ErrorCount = 0;
}

std::string TVELLogger::SaveLog(const std::string& folder, const std::string& name) const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y%m%d", &local);
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name + "_" + date + ".txt";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& l : Lines) out << l << '\n';
    out.close();
    if (!out) throw EVELError("Unable to write the log file \"" + path + "\".");
    return path;
}

}  // namespace ardvin
