// Benchmark of the import-sql command of ardvin-cli on PostgreSQL scripts of 10,000 tables made
// by the shared schema generator, once plain and once in the form of a schema dump, against
// python3-sqlglot (the Debian package, run with /usr/bin/python3) parsing the same file. Both are
// whole program runs in the same benchmark run, timed by the processor time they take (the wall
// clock is reported too); the counter "TimesFasterThanSqlglot" is the ratio of the two.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The folder of this program, where ardvin-cli is built too.
std::string ProgramFolder() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

struct TRunTime {
    double Wall = -1; // seconds; negative when the program could not run or failed
    double CPU = -1;  // user and system time of the program
};

// Runs a program with its output sent to a file (or /dev/null). A run whose exit status is
// above maxStatus counts as failed.
TRunTime TimedRun(const std::vector<std::string>& argv, const std::string& out, int maxStatus) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return {};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    TRunTime time;
    if (!WIFEXITED(status) || WEXITSTATUS(status) > maxStatus) return time;
    time.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    time.CPU = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return time;
}

class TScratch {
public:
    TScratch() {
        std::string folder = (fs::temp_directory_path() / "ardvin-bench-XXXXXX").string();
        if (mkdtemp(folder.data())) path_ = folder;
    }
    ~TScratch() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void BM_ImportSQLCommand10000Tables(benchmark::State& state, const std::string& style) {
    const TScratch scratch;
    const std::string generator = std::string(ARDVIN_SOURCE_DIR) + "/../shared/tools/gen_schema.py";
    const std::string cli = ProgramFolder() + "/ardvin-cli";
    if (scratch.Path().empty() || !fs::exists(generator) || !fs::exists(cli)) {
        state.SkipWithError("the schema generator or ardvin-cli is missing");
        return;
    }
    const std::string script = scratch.Path() + "/schema.sql";
    if (TimedRun({"/usr/bin/python3", generator, "--tables", "10000", "--dialect", "postgresql", "--style", style},
                 script, 0)
            .Wall < 0) {
        state.SkipWithError("the schema generator failed");
        return;
    }
    const std::string project = scratch.Path() + "/schema.arv";
    TRunTime ardvin;
    for (auto _ : state) {
        ardvin = TimedRun({cli, "import-sql", script, "--target", "postgresql15", "-o", project}, "/dev/null", 1);
        if (ardvin.Wall < 0) {
            state.SkipWithError("ardvin-cli import-sql failed");
            return;
        }
        // The processor time of the program: on a shared machine the wall clock also counts
        // the time other processes had.
        state.SetIterationTime(ardvin.CPU);
    }
    const TRunTime sqlglot =
        TimedRun({"/usr/bin/python3", "-c",
                  // Statements it cannot read (some of a dump's) are passed over, as the import does.
                  "import sys, sqlglot; from sqlglot.errors import ErrorLevel; "
                  "sqlglot.parse(open(sys.argv[1]).read(), read='postgres', error_level=ErrorLevel.IGNORE)",
                  script},
                 "/dev/null", 0);
    if (sqlglot.Wall < 0) {
        state.SkipWithError("python3-sqlglot failed on the script");
        return;
    }
    state.counters["ScriptMiB"] = static_cast<double>(fs::file_size(script)) / (1024.0 * 1024.0);
    state.counters["WallSeconds"] = ardvin.Wall;
    state.counters["SqlglotSeconds"] = sqlglot.CPU;
    state.counters["SqlglotWallSeconds"] = sqlglot.Wall;
    state.counters["TimesFasterThanSqlglot"] = sqlglot.CPU / ardvin.CPU;
}

} // namespace

BENCHMARK_CAPTURE(BM_ImportSQLCommand10000Tables, plain, std::string("plain"))
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ImportSQLCommand10000Tables, dump, std::string("dump"))
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

BENCHMARK_MAIN();
