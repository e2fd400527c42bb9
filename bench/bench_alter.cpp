// Benchmarks of the alter script between two large models on the PostgreSQL 15 target: 10,000
// tables of 20 columns each with a primary key, an index and a foreign key to the table before;
// the other model is numbered differently and held in the opposite order, and in it 1% of the
// tables get a column appended, 1% a column of another length, 1% a renamed column and 0.5% go.
// Measured: the alter script of the paired and prepared models (marking, planning, writing),
// and the whole command (pairing, preparing both, alter script). The definitions are those
// beside the program.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "zApplication.h"
#include "zAttribute.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zIDMatcher.h"
#include "zIndex.h"
#include "zRelationship.h"

using namespace ardvin;

namespace {

constexpr int TableCount = 10000;
constexpr int ColumnCount = 20;

// One model; changed builds the new state. Tables are created in order, or in reverse order.
void Build(TVELDataDictionary& d, bool changed) {
    d.SetTarget("postgresql15");
    static const char* const Types[] = {"VARCHAR", "NUMERIC", "DATE", "INTEGER", "BIGINT"};
    std::vector<TVELEntity*> tables(TableCount, nullptr);
    for (int n = 0; n < TableCount; ++n) {
        const int e = changed ? TableCount - 1 - n : n;
        if (changed && e % 200 == 7) continue;  // gone
        auto* table = static_cast<TVELEntity*>(d.CreateObject(otEntity, false));
        table->SetID(d.NewID());
        table->SetName("Table_" + std::to_string(e));
        TVELAttribute* key = table->AddAttribute();
        key->SetName("ID");
        key->DataType->DataType = "INTEGER";
        key->SetPrimaryKey(true);
        for (int a = 1; a < ColumnCount; ++a) {
            TVELAttribute* column = table->AddAttribute();
            column->SetName(changed && e % 100 == 3 && a == 5 ? "Renamed_5" : "Column_" + std::to_string(a));
            column->DataType->DataType = Types[(a + e) % std::size(Types)];
            if (column->DataType->DataType == std::string("VARCHAR"))
                column->DataType->Length = changed && e % 100 == 5 ? "120" : "50";
        }
        TVELIndex* index = table->AddIndex();
        index->SetName("IX_" + std::to_string(e));
        index->AddColumn(table->AttributeAt(1));
        tables[e] = table;
    }
    for (int e = 1; e < TableCount; ++e) {
        if (!tables[e] || !tables[e - 1]) continue;
        auto* r = static_cast<TVELRelationship*>(d.CreateObject(otRelationship, false));
        r->SetID(d.NewID());
        r->SetName("FK_" + std::to_string(e));
        r->ParentObjectID = tables[e - 1]->ID;
        r->ChildObjectID = tables[e]->ID;
        r->RelationshipType = rtNonIdentifying;
        r->Connect();
    }
    // Columns appended after the foreign key columns.
    if (changed)
        for (int e = 1; e < TableCount; e += 100)
            if (tables[e]) tables[e]->AddAttribute()->SetName("Appended");
}

struct Models {
    Models() {
        const std::string folder = LocateDefinitionsFolder();
        if (folder.empty()) std::abort();
        TargetDatabases().Build(folder);
        Build(old, false);
        current.LastID = 1000000;
        Build(current, true);
        TVELDataDictionary paired;
        paired.AssignDictionary(old);
        MatchIDs(current, paired, nullptr);
        TVELSettingsList options;
        preparedNew = PrepareForGeneration(current, options, used);
        preparedOld = PrepareForGeneration(paired, options, used);
    }
    TVELDataDictionary old, current;
    TVELSettingsList used;
    std::unique_ptr<TVELDataDictionary> preparedNew, preparedOld;
};

Models& TheModels() {
    static Models models;
    return models;
}

// Whether the script did what the models ask for; the counters show its size.
bool Report(benchmark::State& state, const TDBRestructure& r) {
    if (r.DroppedTables.size() != TableCount / 200 || r.RecreatedTables.size() != 0) {
        state.SkipWithError(("unexpected alter script: " + std::to_string(r.DroppedTables.size()) + " tables dropped, " +
                             std::to_string(r.RecreatedTables.size()) + " recreated")
                                .c_str());
        return false;
    }
    state.counters["Lines"] = static_cast<double>(r.Script.size());
    state.counters["DroppedColumns"] = static_cast<double>(r.DroppedColumns.size());
    return true;
}

void BM_AlterScript(benchmark::State& state) {
    Models& m = TheModels();
    for (auto _ : state) {
        std::unique_ptr<TDBRestructure> r = CreateRestructure(*m.preparedNew);
        r->OldModel = m.preparedOld.get();
        r->Options = m.used;
        r->Collect = false;
        r->GenerateAlterScript();
        state.PauseTiming();
        if (!Report(state, *r)) break;
        state.ResumeTiming();
    }
}

void BM_MatchPrepareAndAlter(benchmark::State& state) {
    Models& m = TheModels();
    for (auto _ : state) {
        state.PauseTiming();
        TVELDataDictionary paired;
        paired.AssignDictionary(m.old);
        state.ResumeTiming();
        MatchIDs(m.current, paired, nullptr);
        TVELSettingsList options, used;
        std::unique_ptr<TVELDataDictionary> newModel = PrepareForGeneration(m.current, options, used);
        std::unique_ptr<TVELDataDictionary> oldModel = PrepareForGeneration(paired, options, used);
        std::unique_ptr<TDBRestructure> r = CreateRestructure(*newModel);
        r->OldModel = oldModel.get();
        r->Options = used;
        r->Collect = false;
        r->GenerateAlterScript();
        state.PauseTiming();
        if (!Report(state, *r)) break;
        r.reset();
        oldModel.reset();
        newModel.reset();
        paired.Clear();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_AlterScript)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MatchPrepareAndAlter)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_MAIN();
