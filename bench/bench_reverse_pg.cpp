// Benchmark of reverse engineering a live PostgreSQL database of 1,000 tables (made by the
// shared schema generator) against pg_dump --schema-only of the same database, in one run.
// Every iteration times both; the counters give the two times and their ratio (goal: the
// reverse takes at most three times what pg_dump takes).
//
// The server is the one of libpq's environment (PGHOST, PGPORT, PGUSER, PGPASSWORD or a
// password file); pg_dump is taken from PATH. The benchmark makes a database of its own and
// drops it at the end.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "zApplication.h"
#include "zDBDrivers.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"
#include "zPostgreSQLDriver.h"

using namespace ardvin;

namespace {

constexpr int Tables = 1000;

// The shared schema generator beside the source tree (found from the source folder, so that
// the benchmark runs from any working folder).
std::string GeneratorPath() {
    return (std::filesystem::path(ARDVIN_SOURCE_DIR) / ".." / "shared" / "tools" / "gen_schema.py")
        .lexically_normal()
        .string();
}

std::string Output(const std::string& command, int& status) {
    std::string text;
    status = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        while (const size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
        status = pclose(pipe);
    }
    return text;
}

// The database of the benchmark, made once for all iterations.
class TBenchDatabase {
public:
    TBenchDatabase() : Name("ardvin_bench_reverse_" + std::to_string(getpid())) {
        int status = 0;
        const std::string script = Output("python3 '" + GeneratorPath() + "' --tables " + std::to_string(Tables) +
                                              " --dialect postgresql 2>/dev/null",
                                          status);
        if (status != 0 || script.empty()) {
            Error = "cannot run " + GeneratorPath();
            return;
        }
        try {
            TPostgreSQLConnection server;
            server.ConnectServer();
            server.ExecSQL("CREATE DATABASE " + server.QuoteIdentifier(Name));
            created_ = true;
            TPostgreSQLConnection database;
            database.Parameters.SetValue("DatabaseName", Name);
            database.Connect();
            database.ExecSQL(script);
        } catch (const EVELError& e) {
            Error = e.what();
        }
    }
    ~TBenchDatabase() {
        if (!created_) return;
        try {
            TPostgreSQLConnection server;
            server.ConnectServer();
            server.ExecSQL("DROP DATABASE IF EXISTS " + server.QuoteIdentifier(Name) + " WITH (FORCE)");
        } catch (const EVELError&) {
        }
    }
    const std::string Name;
    std::string Error;

private:
    bool created_ = false;
};

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ReverseVersusPgDump(benchmark::State& state) {
    TargetDatabases().Build(LocateDefinitionsFolder());
    static TBenchDatabase database;
    if (!database.Error.empty()) {
        state.SkipWithError(database.Error.c_str());
        return;
    }
    double dumpTotal = 0, reverseTotal = 0;
    size_t tables = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        int status = 0;
        const std::string dump = Output("pg_dump --schema-only --no-password '" + database.Name + "'", status);
        const double dumpSeconds = Seconds(start);
        if (status != 0) {
            state.SkipWithError("pg_dump failed");
            return;
        }
        start = std::chrono::steady_clock::now();
        TVELDataDictionary model;
        model.SetTarget("postgresql15");
        TVELSettingsList parameters;
        parameters.SetValue("DatabaseName", database.Name);
        ImportFromDatabase(model, parameters, {}, nullptr, nullptr);
        const double reverseSeconds = Seconds(start);
        std::vector<TVELEntity*> entities;
        model.CollectOfClass(entities);
        tables = entities.size();
        benchmark::DoNotOptimize(dump.size());
        state.SetIterationTime(reverseSeconds);
        dumpTotal += dumpSeconds;
        reverseTotal += reverseSeconds;
    }
    state.counters["tables"] = static_cast<double>(tables);
    state.counters["pg_dump_s"] = dumpTotal / static_cast<double>(state.iterations());
    state.counters["reverse_s"] = reverseTotal / static_cast<double>(state.iterations());
    state.counters["ratio"] = dumpTotal > 0 ? reverseTotal / dumpTotal : 0;
}

} // namespace

BENCHMARK(BM_ReverseVersusPgDump)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
