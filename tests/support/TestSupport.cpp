#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace ardvin::test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/ardvin-test-XXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string SourceDir() { return ARDVIN_SOURCE_DIR; }
std::string DefinitionsDir() { return std::string(ARDVIN_SOURCE_DIR) + "/definitions"; }
std::string BinDir() { return ARDVIN_BIN_DIR; }

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write " + path);
    out << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env) {
    RunResult result;
    std::vector<std::string> environment;
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& change : env)
            replaced = replaced || nameOf(change) == nameOf(entry);
        if (!replaced) environment.push_back(entry);
    }
    for (const std::string& change : env)
        if (change.find('=') != std::string::npos) environment.push_back(change);
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp, envp;
    for (auto& a : argv)
        argp.push_back(a.data());
    argp.push_back(nullptr);
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    TempDir io;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, io.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, io.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.Err = "cannot start " + program + ": " + std::strerror(rc);
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Out = ReadFile(io.File("out"));
    result.Err = ReadFile(io.File("err"));
    return result;
}

RunResult RunBuiltProgram(const std::string& name, const std::vector<std::string>& args,
                          const std::vector<std::string>& env) {
    const std::string program = BinDir() + "/" + name;
    if (!std::filesystem::exists(program)) {
        ADD_FAILURE() << program << " is not built";
        return {};
    }
    return RunProgram(program, args, env);
}

std::string OutputValue(const std::string& out, const std::string& key) {
    const std::string head = key + ": ";
    size_t at = out.starts_with(head) ? 0 : out.find("\n" + head);
    if (at == std::string::npos) return "<missing>";
    if (at > 0) ++at;
    const size_t start = at + head.size();
    return out.substr(start, out.find('\n', start) - start);
}

}  // namespace ardvin::test
