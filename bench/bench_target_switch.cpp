// Benchmarks of switching a large model's target and of the model check: 10,000 tables of 20
// columns each (a SERIAL key and 19 columns of varied PostgreSQL types, several of which need a
// conversion rule, some with defaults that need a function rule), one index and one foreign
// key each, on the installed definitions (ARDVIN_DEFINITIONS, else beside the program).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "zApplication.h"
#include "zAttribute.h"
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

void EnsureTargets() {
    static const bool built = [] {
        const char* env = std::getenv("ARDVIN_DEFINITIONS");
        const std::string folder = env && *env ? std::string(env) : LocateDefinitionsFolder();
        if (folder.empty()) {
            std::fprintf(stderr, "definitions folder not found\n");
            std::abort();
        }
        TargetDatabases().Build(folder);
        return true;
    }();
    (void)built;
}

std::unique_ptr<TVELDataDictionary> BuildModel() {
    EnsureTargets();
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget("postgresql15");
    dd->PropagationOptions.ForeignKeyAttributeTemplate = "%parent%_%column%";
    struct Column {
        const char* Type;
        const char* Length;
        int32_t Precision;
        const char* Default;
    };
    static const Column Columns[] = {
        {"VARCHAR", "50", 0, ""},          {"NUMERIC", "12", 2, "0"},
        {"DATE", "0", 0, "CURRENT_DATE"},  {"CHAR", "1", 0, ""},
        {"BIGINT", "0", 0, ""},            {"TIMESTAMP WITH TIME ZONE", "0", 3, "now()"},
        {"VARCHAR", "200", 0, ""},         {"INTEGER", "0", 0, "1"},
        {"TEXT", "0", 0, ""},              {"BOOLEAN", "0", 0, "false"},
        {"UUID", "0", 0, "gen_random_uuid()"}, {"JSONB", "0", 0, ""},
        {"BYTEA", "0", 0, ""},             {"MONEY", "0", 0, ""},
        {"INET", "0", 0, ""},              {"DOUBLE PRECISION", "0", 0, ""},
        {"TIME", "0", 0, ""},              {"SMALLINT", "0", 0, ""},
        {"INTERVAL", "0", 0, ""},
    };
    TVELEntity* previous = nullptr;
    for (int e = 0; e < TableCount; ++e) {
        auto* table = static_cast<TVELEntity*>(dd->CreateObject(otEntity, true));
        table->SetName("Table_" + std::to_string(e));
        TVELAttribute* key = table->AddAttribute();
        key->SetName("ID");
        key->DataType->DataType = "SERIAL";
        key->SetPrimaryKey(true);
        key->SetNotNull(true);
        for (int a = 1; a < ColumnCount - (previous ? 1 : 0); ++a) {
            const Column& c = Columns[(a + e) % std::size(Columns)];
            TVELAttribute* column = table->AddAttribute();
            column->SetName("Column_" + std::to_string(a));
            column->DataType->DataType = c.Type;
            column->DataType->Length = c.Length;
            column->DataType->Precision = c.Precision;
            if (a % 4 == 0) column->SetNotNull(true);
            if (*c.Default) column->SetDefaultValue(c.Default);
        }
        TVELIndex* index = table->AddIndex();
        index->NameTemplate = "IX_%table%_%column%";
        index->AddColumn(table->AttributeAt(1));
        if (previous) {
            // The foreign key column makes the twentieth.
            auto* relationship = static_cast<TVELRelationship*>(dd->CreateObject(otRelationship, true));
            relationship->ParentObjectID = previous->ID;
            relationship->ChildObjectID = table->ID;
            relationship->RelationshipType = rtNonIdentifying;
            relationship->Connect();
        }
        previous = table;
    }
    return dd;
}

TVELDataDictionary& Model() {
    static std::unique_ptr<TVELDataDictionary> model = BuildModel();
    return *model;
}

void BM_ChangeTarget(benchmark::State& state) {
    const TVELDataDictionary& model = Model();
    const char* to = state.range(0) == 0 ? "mysql8" : "sqlite3";
    TVELDataDictionary copy;
    size_t messages = 0;
    copy.OnMessage = [&messages](TVELNamedObject*, int, const std::string&) { ++messages; };
    for (auto _ : state) {
        state.PauseTiming();
        copy.AssignDictionary(model);
        messages = 0;
        state.ResumeTiming();
        copy.ChangeTarget(to);
    }
    state.SetLabel(std::string("postgresql15 -> ") + to);
    state.counters["Messages"] = static_cast<double>(messages);
}
BENCHMARK(BM_ChangeTarget)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ModelCheck(benchmark::State& state) {
    TVELDataDictionary& model = Model();
    TVELMessagesList messages;
    TVELModelCheck check(messages);
    check.ProjectFileName = "bench.arv";
    for (auto _ : state) {
        try {
            check.RunModelCheck(model, false, true, false);
        } catch (const EVELError&) {
            // counted below
        }
    }
    state.counters["Errors"] = check.Progress().Errors;
    state.counters["Warnings"] = check.Progress().Warnings;
}
BENCHMARK(BM_ModelCheck)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
