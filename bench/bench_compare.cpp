// Benchmarks of comparing two large models: 10,000 tables of 20 columns each, numbered
// differently and held in opposite orders, where 1% of the tables differ (a renamed column of
// another type and an added column). Measured: pairing the objects (MatchIDs) and listing
// the differences of the paired models (CompareDictionaries, with its copies), separately and
// together.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "zAttribute.h"
#include "zDDComparer.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zIDMatcher.h"

using namespace ardvin;

namespace {

constexpr int TableCount = 10000;
constexpr int ColumnCount = 20;
const char* const Types[] = {"INTEGER", "VARCHAR", "DATE", "DECIMAL", "CHAR"};

void AddTable(TVELDataDictionary& d, int index, bool changed) {
    auto* e = static_cast<TVELEntity*>(d.CreateObject(otEntity, false));
    e->SetID(d.NewID());
    e->SetName("table_" + std::to_string(index));
    for (int c = 0; c < ColumnCount; ++c) {
        TVELAttribute* a = e->AddAttribute(false);
        a->SetName("column_" + std::to_string(c));
        a->DataType->DataType = Types[(index + c) % 5];
        if (c == 0) a->SetPrimaryKey(true);
    }
    if (!changed) return;
    TVELAttribute* renamed = e->AttributeAt(ColumnCount / 2);
    renamed->SetName("renamed_column");
    renamed->DataType->DataType = "BLOB";
    e->AddAttribute(false)->SetName("added_column");
}

// The model and the other model, built once for the whole run.
struct Models {
    Models() {
        for (int i = 0; i < TableCount; ++i) AddTable(model, i, false);
        other.LastID = 1000000;
        for (int i = TableCount - 1; i >= 0; --i) AddTable(other, i, i % 100 == 0);
        model.SelectAll();
        other.SelectAll();
        matched.AssignDictionary(other);
        MatchIDs(model, matched, nullptr);
    }
    TVELDataDictionary model;
    TVELDataDictionary other;
    TVELDataDictionary matched;  // other, paired with model
};

Models& TheModels() {
    static Models models;
    return models;
}

void CheckCounts(benchmark::State& state, const TVELDifferences& differences) {
    if (differences.Changed != TableCount / 100 || differences.LeftOnly + differences.RightOnly != 0) {
        state.SkipWithError("unexpected differences");
        return;
    }
    state.counters["Changed"] = differences.Changed;
    state.counters["Unchanged"] = differences.Unchanged;
}

// One timed round of pairing a fresh copy of the other model, with what follows it on the
// paired copy.
template <class Then> void MatchRound(benchmark::State& state, Then&& then) {
    state.PauseTiming();
    Models& m = TheModels();  // built on first use, outside the timing
    TVELDataDictionary target;
    target.AssignDictionary(m.other);
    state.ResumeTiming();
    MatchIDs(m.model, target, nullptr);
    then(m, target);
    state.PauseTiming();
    target.Clear();
    state.ResumeTiming();
}

void BM_MatchIDs(benchmark::State& state) {
    for (auto _ : state)
        MatchRound(state, [](Models&, TVELDataDictionary& target) { benchmark::DoNotOptimize(target.LastID); });
}

void BM_CompareDictionaries(benchmark::State& state) {
    Models& m = TheModels();
    for (auto _ : state) {
        TVELDifferences differences;
        CompareDictionaries(m.model, m.matched, differences, TVELCompareSettings{});
        state.PauseTiming();
        CheckCounts(state, differences);
        state.ResumeTiming();
    }
}

void BM_MatchAndCompare(benchmark::State& state) {
    for (auto _ : state)
        MatchRound(state, [&](Models& m, TVELDataDictionary& target) {
            TVELDifferences differences;
            CompareDictionaries(m.model, target, differences, TVELCompareSettings{});
            state.PauseTiming();
            CheckCounts(state, differences);
            state.ResumeTiming();
        });
}

}  // namespace

BENCHMARK(BM_MatchIDs)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CompareDictionaries)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MatchAndCompare)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
