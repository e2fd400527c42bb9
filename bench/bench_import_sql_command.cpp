// Benchmark of the import-sql command of ardvin-cli on PostgreSQL scripts of 10,000 tables made
// by the shared schema generator, once plain and once in the form of a schema dump, against
// python3-sqlglot (the Debian package, run with /usr/bin/python3) parsing the same file, statement
// by statement (and, in a third case, the plain script as one text). Both are whole program runs
// in the same benchmark run, timed by the processor time they take (the wall clock is reported
// too); the counter "TimesFasterThanSqlglot" is the ratio of the two.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
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
    double Wall = -1;      // seconds; negative when the program could not run or failed
    double CPU = -1;       // user and system time of the program
    bool OutOfCPU = false; // stopped at the processor time it was given (SIGXCPU or SIGKILL)
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
    time.OutOfCPU = WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL);
    if (!time.OutOfCPU && (!WIFEXITED(status) || WEXITSTATUS(status) > maxStatus)) return time;
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

// How sqlglot is given the script (see below).
enum class TSqlglotMode { Statementwise, WholeFile };

// Given the whole dump, sqlglot runs for hours; it gets this many times the processor time of
// the import, and a run stopped there still shows the import is at least that much faster.
constexpr double SqlglotCPUFactorCap = 25;

void BM_ImportSQLCommand10000Tables(benchmark::State& state, const std::string& style, TSqlglotMode mode) {
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
        if (ardvin.Wall < 0 || ardvin.OutOfCPU) {
            state.SkipWithError("ardvin-cli import-sql failed");
            return;
        }
        // The processor time of the program: on a shared machine the wall clock also counts
        // the time other processes had.
        state.SetIterationTime(ardvin.CPU);
    }
    // sqlglot is run one statement at a time: the script is cut at every semicolon that ends a
    // line (each statement of the generator's scripts ends so), and each piece is parsed by
    // sqlglot.parse with the postgres dialect and error level IGNORE, the trees kept as a parse
    // of the whole file keeps them. A statement it cannot read (some of a dump's ALTER TABLE and
    // CREATE INDEX forms) is passed over at its own cost, as the import passes over what it does
    // not know. Given the whole file at once, sqlglot (10.6) takes time that grows with the
    // square of the script: its tokenizer copies the token list so far at every statement it
    // keeps as a command (COMMENT ON among them), and every statement it cannot read makes it
    // count lines from the start of the text. That costs it four times as long on the plain
    // script and hours on the dump; the whole-file variants measure it too, the dump one up to
    // the cap above.
    const char* const statementwise = "import re, sys, sqlglot\n"
                                      "from sqlglot.errors import ErrorLevel\n"
                                      "trees = []\n"
                                      "for statement in re.split(r';[ \\t]*\\r?\\n', open(sys.argv[1]).read()):\n"
                                      "    try:\n"
                                      "        trees += sqlglot.parse(statement, read='postgres', error_level=ErrorLevel.IGNORE)\n"
                                      "    except Exception:\n"
                                      "        pass\n";
    const char* const wholeFile = "import sys, sqlglot\n"
                                  "from sqlglot.errors import ErrorLevel\n"
                                  "sqlglot.parse(open(sys.argv[1]).read(), read='postgres', error_level=ErrorLevel.IGNORE)\n";
    const std::string cpuCap = std::to_string(static_cast<long>(std::ceil(ardvin.CPU * SqlglotCPUFactorCap)));
    const TRunTime sqlglot =
        TimedRun({"/usr/bin/prlimit", "--cpu=" + cpuCap, "/usr/bin/python3", "-c",
                  mode == TSqlglotMode::WholeFile ? wholeFile : statementwise, script},
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
    state.counters["SqlglotStoppedAtCap"] = sqlglot.OutOfCPU ? 1 : 0; // the ratio is then a lower bound
}

} // namespace

BENCHMARK_CAPTURE(BM_ImportSQLCommand10000Tables, plain, std::string("plain"), TSqlglotMode::Statementwise)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ImportSQLCommand10000Tables, dump, std::string("dump"), TSqlglotMode::Statementwise)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_ImportSQLCommand10000Tables, plain_sqlglot_whole_file, std::string("plain"),
                  TSqlglotMode::WholeFile)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

BENCHMARK_CAPTURE(BM_ImportSQLCommand10000Tables, dump_sqlglot_whole_file, std::string("dump"),
                  TSqlglotMode::WholeFile)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

BENCHMARK_MAIN();
