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

struct TRunResult {
    int ExitCode = -1;  // -1 when the program could not run or did not exit
    std::string Out;
    std::string Err;
};
// Runs a program with arguments and waits for it, its standard output and error captured. The
// environment is the test's, without the variables named in unset, with the NAME=VALUE entries
// of set added. A program that cannot be started is a test failure.
TRunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& unset = {}, const std::vector<std::string>& set = {});

}  // namespace ardvin::test
