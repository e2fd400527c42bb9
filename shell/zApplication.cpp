#include "zApplication.h"

#include <filesystem>
#include <system_error>

namespace ardvin {

std::string ProgramFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path().string();
    return exe.parent_path().string();
}

std::string LocateDefinitionsFolder() {
    namespace fs = std::filesystem;
    const fs::path bin = ProgramFolder();
    for (const fs::path& candidate : {bin / "definitions", bin / ".." / "share" / "ardvin" / "definitions"}) {
        std::error_code ec;
        if (fs::is_directory(candidate, ec)) return fs::weakly_canonical(candidate, ec).string();
    }
    return {};
}

}  // namespace ardvin
