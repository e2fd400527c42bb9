// Benchmarks of switching a large model's target (between pairs of the nine targets) and of the
// model check: 10,000 tables of 20 columns each (a SERIAL key and 19 columns of varied
// PostgreSQL types, several of which need a conversion rule, some with defaults that need a
// function rule), one index and one foreign key each, on the installed definitions
// (ARDVIN_DEFINITIONS, else beside the program).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
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

// The model moved to another target once, as the start of switches from there.
const TVELDataDictionary& ModelOf(const std::string& target) {
    static std::map<std::string, std::unique_ptr<TVELDataDictionary>> models;
    if (target == "postgresql15") return Model();
    auto& model = models[target];
    if (!model) {
        model = std::make_unique<TVELDataDictionary>();
        model->AssignDictionary(Model());
        model->ChangeTarget(target);
    }
    return *model;
}

// The switches measured: from PostgreSQL to every other target, and a ring through the
// targets of the other systems, so that every target is left once and reached once.
const std::pair<const char*, const char*> Switches[] = {
    {"postgresql15", "mysql8"},          {"postgresql15", "sqlite3"},
    {"postgresql15", "dbindependent"},   {"postgresql15", "mariadb10"},
    {"postgresql15", "mssqlserver2019"}, {"postgresql15", "oracle19"},
    {"postgresql15", "db2luw11"},        {"postgresql15", "firebird3"},
    {"mssqlserver2019", "oracle19"},     {"oracle19", "db2luw11"},
    {"db2luw11", "firebird3"},           {"firebird3", "mysql8"},
    {"mysql8", "mariadb10"},             {"mariadb10", "sqlite3"},
    {"sqlite3", "dbindependent"},        {"dbindependent", "mssqlserver2019"},
};

void BM_ChangeTarget(benchmark::State& state) {
    const auto& [from, to] = Switches[state.range(0)];
    const TVELDataDictionary& model = ModelOf(from);
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
    state.SetLabel(std::string(from) + " -> " + to);
    state.counters["Messages"] = static_cast<double>(messages);
}
BENCHMARK(BM_ChangeTarget)
    ->DenseRange(0, static_cast<int>(std::size(Switches)) - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

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
