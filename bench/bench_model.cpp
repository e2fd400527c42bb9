// Benchmarks of a large model: 10,000 entities of 20 attributes each (varied data types, a
// one-column primary key) with one index each, and one relationship into each entity but the
// first (which adds its foreign-key column), saved to markup, loaded back (with the repair pass
// that propagates the keys) and checked. The peak memory of the run is reported as the counter
// PeakRSS_MiB.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "BenchTables.h"
#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zRelationship.h"

using namespace ardvin;
using ardvin::bench::FillBenchTable;

namespace {

constexpr int EntityCount = 10000;

// A target of our own in a temporary folder, registered once for the whole run.
class BenchTarget {
public:
    BenchTarget() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ardvin-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) std::abort();
        folder_ = tmpl;
        Write("bench.def",
              "[general]\r\ndbmsname=Bench Target\r\n[scriptelements]\r\nDELIMITERDDLBEGIN=\"\r\n"
              "DELIMITERDDLEND=\"\r\n[keybehaviour]\r\npkalwaysnotnull=1\r\n[supported]\r\n"
              "enablesequences=1\r\nenabletriggers=1\r\n");
        Write("bench.typ", "LISTNAME;BASE\r\n"
                           "INTEGER;INTEGER;;;Exact Numeric;0;0;1;1\r\n"
                           "BIGINT;BIGINT;;;Exact Numeric;0;0;0;1\r\n"
                           "DECIMAL;DECIMAL[(%L[,%P])];;;Exact Numeric;10;2;0\r\n"
                           "VARCHAR;VARCHAR(%L);;;String;50;0;0\r\n"
                           "CHAR;CHAR(%L);;;String;1;0;0\r\n"
                           "DATE;DATE;;;Date and Time;0;0;0\r\n"
                           "TIMESTAMP;TIMESTAMP;;;Date and Time;0;0;0\r\n"
                           "BLOB;BLOB;;;Binary;0;0;0\r\n");
        TargetDatabases().Build(folder_);
    }
    ~BenchTarget() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

private:
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder_ + "/" + name, std::ios::binary) << text;
    }
    std::string folder_;
};

void EnsureTarget() {
    static BenchTarget target;
}

// The model: entity i is Table_i with the key column ID and 19 columns of varied types, one
// index on its second column, and a non-identifying relationship from entity i - 1.
std::unique_ptr<TVELDataDictionary> BuildModel() {
    EnsureTarget();
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget("bench");
    TVELEntity* previous = nullptr;
    for (int e = 0; e < EntityCount; ++e) {
        // Objects are created as a loader creates them: numbered and named here. (A new object's
        // default name, the first free "EntityN", is searched among all names of the model.)
        auto* entity = static_cast<TVELEntity*>(dd->CreateObject(otEntity, false));
        entity->SetID(dd->NewID());
        entity->SetName("Table_" + std::to_string(e));
        entity->Comment = "Entity number " + std::to_string(e);
        FillBenchTable(entity, e);
        TVELIndex* index = entity->AddIndex();
        index->NameTemplate = "IX_%tablename%_%column%";
        index->AddColumn(entity->AttributeAt(1));
        TVELEntity* parent = previous;
        previous = entity;
        if (!parent) continue;
        auto* relationship = static_cast<TVELRelationship*>(dd->CreateObject(otRelationship, false));
        relationship->SetID(dd->NewID());
        relationship->ParentObjectID = parent->ID;
        relationship->ChildObjectID = entity->ID;
        relationship->RelationshipType = rtNonIdentifying;
        relationship->Connect();
    }
    return dd;
}

TVELDataDictionary& Model() {
    static std::unique_ptr<TVELDataDictionary> model = BuildModel();
    return *model;
}

const std::string& ModelText() {
    static const std::string text = Model().SaveToMarkup();
    return text;
}

void ReportPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["PeakRSS_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

void BM_BuildModel(benchmark::State& state) {
    for (auto _ : state) {
        auto dd = BuildModel();
        benchmark::DoNotOptimize(dd.get());
        state.PauseTiming();
        dd.reset();
        state.ResumeTiming();
    }
    ReportPeakMemory(state);
}
BENCHMARK(BM_BuildModel)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_SaveToMarkup(benchmark::State& state) {
    TVELDataDictionary& dd = Model();
    size_t bytes = 0;
    const long faults = MinorFaults();
    for (auto _ : state) {
        std::string text = dd.SaveToMarkup();
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    // Page faults of fresh memory are a large part of writing a text this size.
    state.counters["PageFaults"] =
        benchmark::Counter(static_cast<double>(MinorFaults() - faults), benchmark::Counter::kAvgIterations);
    ReportPeakMemory(state);
}
BENCHMARK(BM_SaveToMarkup)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadFromMarkup(benchmark::State& state) {
    const std::string& text = ModelText();
    for (auto _ : state) {
        state.PauseTiming();
        auto dd = std::make_unique<TVELDataDictionary>();
        state.ResumeTiming();
        dd->LoadFromMarkup(text);
        benchmark::DoNotOptimize(dd.get());
        state.PauseTiming();
        if (dd->Count() != 2 * EntityCount - 1) state.SkipWithError("model incomplete after loading");
        dd.reset();
        state.ResumeTiming();
    }
    ReportPeakMemory(state);
}
BENCHMARK(BM_LoadFromMarkup)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CheckModel(benchmark::State& state) {
    TVELDataDictionary& dd = Model();
    size_t messages = 0;
    dd.OnMessage = [&messages](TVELNamedObject*, int, const std::string&) { ++messages; };
    for (auto _ : state) {
        messages = 0;
        dd.CheckModel();
    }
    dd.OnMessage = nullptr;
    state.counters["Messages"] = static_cast<double>(messages);
    ReportPeakMemory(state);
}
BENCHMARK(BM_CheckModel)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
