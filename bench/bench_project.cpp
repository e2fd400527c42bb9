// Benchmarks of a large project file: 10,000 entities of 20 attributes each (varied data types,
// a one-column primary key), one relationship into each entity, and every entity and
// relationship on the main diagram. The file is built once; the benchmarks open it into a new
// project, save it and compare the model with it. The peak memory of the run is reported as the
// counter PeakRSS_MiB.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "BenchTables.h"
#include "zApplication.h"
#include "zAttribute.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zProject.h"
#include "zRelationship.h"

using namespace ardvin;
using ardvin::bench::FillBenchTable;

namespace {

constexpr int EntityCount = 10000;

// A folder of the run's own for the project file and the versions working files.
class BenchFolder {
public:
    BenchFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ardvin-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) std::abort();
        folder_ = tmpl;
        setenv("TMPDIR", folder_.c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", folder_.c_str(), 1);
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    std::string File(const std::string& name) const { return folder_ + "/" + name; }

private:
    std::string folder_;
};

const BenchFolder& Folder() {
    static BenchFolder folder;
    return folder;
}

void Build(TVELProject& p) {
    p.NewModel("dbindependent");
    TVELDataDictionary& dd = p.DataDictionary;
    TVELDiagram* main = p.Diagrams.MainDiagram();
    std::vector<TVELEntity*> entities;
    for (int e = 0; e < EntityCount; ++e) {
        // Objects are numbered and named here, as a loader does: a new object's default name is
        // searched among all names of the model, which is not what is measured.
        auto* entity = static_cast<TVELEntity*>(dd.CreateObject(otEntity, false));
        entity->SetID(dd.NewID());
        entity->SetName("Table_" + std::to_string(e));
        entity->Comment = "Entity number " + std::to_string(e);
        FillBenchTable(entity, e)->SetNotNull(true);
        entities.push_back(entity);
        // A grid of 100 columns; the diagram keeps the boxes inside its bounds.
        p.Diagrams.AddObjectToDiagram(entity, main, 20 + (e % 100) * 130, 20 + (e / 100) * 110);
    }
    // One relationship into every entity, from the entity before it (the first from the last).
    for (int e = 0; e < EntityCount; ++e) {
        auto* relationship = static_cast<TVELRelationship*>(dd.CreateObject(otRelationship, false));
        relationship->SetID(dd.NewID());
        relationship->ParentObjectID = entities[(e + EntityCount - 1) % EntityCount]->ID;
        relationship->ChildObjectID = entities[e]->ID;
        relationship->RelationshipType = rtNonIdentifying;
        relationship->Connect();
        p.Diagrams.AddObjectToDiagram(relationship, main);
    }
}

// The project file, written once.
const std::string& ProjectFile() {
    static const std::string file = [] {
        TargetDatabases().Build(LocateDefinitionsFolder());
        const std::string name = Folder().File("large.arv");
        TVELProject p;
        Build(p);
        p.SetFileName(name);
        p.Save();
        return name;
    }();
    return file;
}

void ReportPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["PeakRSS_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void ReportFileSize(benchmark::State& state) {
    state.counters["File_MiB"] =
        static_cast<double>(std::filesystem::file_size(ProjectFile())) / (1024.0 * 1024.0);
}

void BM_Open(benchmark::State& state) {
    const std::string& file = ProjectFile();
    for (auto _ : state) {
        auto p = std::make_unique<TVELProject>();
        p->Open(file);
        state.PauseTiming();
        if (p->DataDictionary.Count() != 2 * EntityCount ||
            p->Diagrams.MainDiagram()->ConnectorCount() != EntityCount)
            state.SkipWithError("project incomplete after opening");
        p.reset();
        state.ResumeTiming();
    }
    ReportFileSize(state);
    ReportPeakMemory(state);
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(3);

// An open project, kept for the benchmarks that save and compare.
TVELProject& OpenProject() {
    static std::unique_ptr<TVELProject> p = [] {
        auto project = std::make_unique<TVELProject>();
        project->Open(ProjectFile());
        return project;
    }();
    return *p;
}

void BM_Save(benchmark::State& state) {
    TVELProject& p = OpenProject();
    for (auto _ : state)
        p.Save();
    ReportFileSize(state);
    ReportPeakMemory(state);
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_IsModified(benchmark::State& state) {
    TVELProject& p = OpenProject();
    bool modified = true;
    for (auto _ : state)
        modified = p.IsModified();
    if (modified) state.SkipWithError("a saved project counts as modified");
    ReportPeakMemory(state);
}
BENCHMARK(BM_IsModified)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
