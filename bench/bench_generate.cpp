// Benchmarks of script generation for a large model on the PostgreSQL 15 target: 10,000 tables of
// 20 columns each (varied data types, a one-column primary key, defaults and not-null columns)
// with one index and one foreign key each, loaded from markup as a project would be. Measured:
// the create script of the prepared model, the drop script, and the whole generate command
// (copy, prepare and create script), and the model check of the loaded model. The definitions are
// those beside the program.
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
#include "zIndex.h"
#include "zModelCheck.h"
#include "zRelationship.h"

using namespace ardvin;

namespace {

constexpr int TableCount = 10000;
constexpr int ColumnCount = 20;

// The model, built, saved and loaded back.
std::unique_ptr<TVELDataDictionary> LoadedModel() {
    const std::string folder = LocateDefinitionsFolder();
    if (folder.empty()) std::abort();
    TargetDatabases().Build(folder);
    TVELDataDictionary built;
    built.SetTarget("postgresql15");
    struct Column {
        const char* Type;
        const char* Length;
        int32_t Precision;
    };
    static const Column Columns[] = {{"VARCHAR", "50", 0}, {"NUMERIC", "12", 2},    {"DATE", "0", 0},
                                     {"CHAR", "1", 0},     {"BIGINT", "0", 0},      {"TIMESTAMP", "0", 0},
                                     {"VARCHAR", "200", 0}, {"INTEGER", "0", 0}};
    TVELEntity* previous = nullptr;
    for (int e = 0; e < TableCount; ++e) {
        auto* table = static_cast<TVELEntity*>(built.CreateObject(otEntity, false));
        table->SetID(built.NewID());
        table->SetName("Table_" + std::to_string(e));
        table->Comment = "Table number " + std::to_string(e);
        TVELAttribute* key = table->AddAttribute();
        key->SetName("ID");
        key->DataType->DataType = "INTEGER";
        key->SetPrimaryKey(true);
        for (int a = 1; a < ColumnCount - (previous ? 1 : 0); ++a) {
            TVELAttribute* column = table->AddAttribute();
            const Column& c = Columns[(a + e) % std::size(Columns)];
            column->SetName("Column_" + std::to_string(a));
            column->DataType->DataType = c.Type;
            column->DataType->Length = c.Length;
            column->DataType->Precision = c.Precision;
            if (a % 5 == 0) column->SetNotNull(true);
            if (a % 7 == 0) column->SetDefaultValue("0");
        }
        TVELIndex* index = table->AddIndex();
        index->NameTemplate = "IX_%tablename%_%columns%";
        index->AddColumn(table->AttributeAt(1));
        if (previous) {
            // The foreign key of the table: its twentieth column.
            auto* relationship = static_cast<TVELRelationship*>(built.CreateObject(otRelationship, false));
            relationship->SetID(built.NewID());
            relationship->ParentObjectID = previous->ID;
            relationship->ChildObjectID = table->ID;
            relationship->RelationshipType = rtNonIdentifying;
            relationship->Connect();
        }
        previous = table;
    }
    auto loaded = std::make_unique<TVELDataDictionary>();
    loaded->LoadFromMarkup(built.SaveToMarkup());
    return loaded;
}

TVELDataDictionary& Model() {
    static std::unique_ptr<TVELDataDictionary> model = LoadedModel();
    return *model;
}

// The model as the generate command prepares it.
TVELDataDictionary& PreparedModel(TVELSettingsList& options) {
    static TVELSettingsList used;
    static std::unique_ptr<TVELDataDictionary> prepared = PrepareForGeneration(Model(), TVELSettingsList(), used);
    options = used;
    return *prepared;
}

void BM_CreateScript(benchmark::State& state) {
    TVELSettingsList options;
    TVELDataDictionary& model = PreparedModel(options);
    size_t lines = 0, bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<TDBRestructure> r = CreateRestructure(model);
        r->Options = options;
        r->Collect = false;
        if (!r->GenerateCreateScript()) state.SkipWithError("generation failed");
        lines = r->Script.size();
        state.PauseTiming();
        bytes = r->ScriptText().size();
        r.reset();
        state.ResumeTiming();
    }
    state.counters["Lines"] = static_cast<double>(lines);
    state.counters["MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_CreateScript)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DropScript(benchmark::State& state) {
    TVELSettingsList options;
    TVELDataDictionary& model = PreparedModel(options);
    for (auto _ : state) {
        std::unique_ptr<TDBRestructure> r = CreateRestructure(model);
        r->Options = options;
        r->Collect = false;
        if (!r->GenerateDropScript()) state.SkipWithError("generation failed");
        benchmark::DoNotOptimize(r->Script.data());
    }
}
BENCHMARK(BM_DropScript)->Unit(benchmark::kMillisecond)->Iterations(3);

// The generate command: copy of the model, preparation, create script written to text.
void BM_GenerateCommand(benchmark::State& state) {
    TVELDataDictionary& model = Model();
    for (auto _ : state) {
        TVELSettingsList used;
        std::unique_ptr<TVELDataDictionary> prepared = PrepareForGeneration(model, TVELSettingsList(), used);
        std::unique_ptr<TDBRestructure> r = CreateRestructure(*prepared);
        r->Options = used;
        r->Collect = false;
        if (!r->GenerateCreateScript()) state.SkipWithError("generation failed");
        std::string text = r->ScriptText();
        benchmark::DoNotOptimize(text.data());
        state.PauseTiming();
        r.reset();
        prepared.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GenerateCommand)->Unit(benchmark::kMillisecond)->Iterations(3);

// The model check as the gate of the generate command and the check command run it: the whole
// check with the messages counted and listed. Last, as a check may correct the model it checks.
void BM_ModelCheck(benchmark::State& state) {
    TVELDataDictionary& model = Model();
    int messages = 0;
    for (auto _ : state) {
        TVELMessagesList list;
        TVELModelCheck check(list);
        try {
            check.RunModelCheck(model, false, true, false);
        } catch (const EVELError&) {
            state.SkipWithError("the model has errors");
        }
        messages = list.Count();
    }
    state.counters["Messages"] = messages;
}
BENCHMARK(BM_ModelCheck)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
