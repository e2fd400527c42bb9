// Helpers shared by the test programs: temporary folders and files.
#pragma once

#include <string>
#include <vector>

namespace ardvin::test {

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string SourceDir();       // the source tree
std::string DefinitionsDir();  // the definitions folder of the source tree
std::string BinDir();          // the folder of the built programs
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
// The names of the entries of a folder, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

struct RunResult {
    int ExitCode = -1;  // -1 when the program could not be started or did not exit
    std::string Out;
    std::string Err;
};
// Runs a program and collects its exit code and output. env changes the environment: an entry
// "NAME=value" sets a variable, an entry "NAME" removes it.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {});
// Runs a program of the build (a name in BinDir()) as RunProgram does; a failure of the test, and
// an exit code of -1, when it is not built.
RunResult RunBuiltProgram(const std::string& name, const std::vector<std::string>& args,
                          const std::vector<std::string>& env = {});
// The value of a "key: value" line of a program's output ("<missing>" when there is none).
std::string OutputValue(const std::string& out, const std::string& key);

}  // namespace ardvin::test
