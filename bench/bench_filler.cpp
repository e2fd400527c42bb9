// Benchmarks of the template filler: the statements of the create script of a model of 10,000
// tables (20 columns each with defaults, not-null columns and comments, a one-column primary
// key, one index, one foreign key into the previous table), filled with the shipped PostgreSQL
// and SQLite definitions: every table, its indexes, the constraints and comments it did not
// write inline, and the foreign keys. The goal is the whole script in well under a second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "zAttribute.h"
#include "zDDLUtils.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zRelationship.h"

using namespace ardvin;

namespace {

constexpr int TableCount = 10000;
constexpr int ColumnCount = 20;

// The shipped definitions, copied beside the programs by the build.
void EnsureTargets() {
    static const bool built = [] {
        const std::filesystem::path folder =
            std::filesystem::read_symlink("/proc/self/exe").parent_path() / "definitions";
        if (!std::filesystem::exists(folder / "postgresql15.def")) {
            std::cerr << "No definitions in " << folder << "; build the target \"definitions\" first.\n";
            std::abort();
        }
        TargetDatabases().Build(folder.string());
        return true;
    }();
    (void)built;
}

std::unique_ptr<TVELDataDictionary> BuildModel(const std::string& target) {
    EnsureTargets();
    auto dd = std::make_unique<TVELDataDictionary>();
    dd->SetTarget(target);
    struct Column {
        const char* Type;
        const char* Length;
        int32_t Precision;
    };
    // Types both targets know.
    static const Column Columns[] = {{"VARCHAR", "50", 0},  {"NUMERIC", "12", 2}, {"DATE", "0", 0},
                                     {"TEXT", "0", 0},      {"BIGINT", "0", 0},   {"NUMERIC", "5", 0},
                                     {"VARCHAR", "200", 0}, {"INTEGER", "0", 0}};
    TVELEntity* previous = nullptr;
    for (int t = 0; t < TableCount; ++t) {
        auto* table = static_cast<TVELEntity*>(dd->CreateObject(otEntity, false));
        table->SetID(dd->NewID());
        table->SetName("Table_" + std::to_string(t));
        table->Comment = "Table number " + std::to_string(t);
        table->PrimaryKey->NameTemplate = "PK_%tablename%";
        TVELAttribute* key = table->AddAttribute();
        key->SetName("ID");
        key->DataType->DataType = "INTEGER";
        key->DataType->AutoNumber = true;
        key->SetPrimaryKey(true);
        key->SetNotNull(true);
        for (int c = 1; c < ColumnCount; ++c) {
            TVELAttribute* column = table->AddAttribute();
            const Column& type = Columns[(c + t) % std::size(Columns)];
            column->SetName("Column_" + std::to_string(c));
            column->DataType->DataType = type.Type;
            column->DataType->Length = type.Length;
            column->DataType->Precision = type.Precision;
            if (c % 5 == 0) column->SetNotNull(true);
            if (c % 7 == 0) column->SetDefaultValue("0");
            if (c % 4 == 0) column->Comment = "Column " + std::to_string(c) + " of the table";
        }
        TVELIndex* index = table->AddIndex();
        index->NameTemplate = "IX_%tablename%_%columns%";
        index->AddColumn(table->AttributeAt(1));
        TVELEntity* parent = previous;
        previous = table;
        if (!parent) continue;
        auto* relationship = static_cast<TVELRelationship*>(dd->CreateObject(otRelationship, false));
        relationship->SetID(dd->NewID());
        relationship->ParentObjectID = parent->ID;
        relationship->ChildObjectID = table->ID;
        relationship->RelationshipType = rtNonIdentifying;
        relationship->Connect();
        relationship->FKConstraint->NameTemplate = "FK_%tablename%";
    }
    return dd;
}

// The statements script generation writes for the tables of the model; returns their size.
size_t FillCreateScript(TVELDataDictionary& dd) {
    const TVELDatabaseSettings& s = *dd.GetDatabaseSettings();
    TVELDataDictionary::TBulkScope scope(dd);
    TVELTemplateFiller f(s);
    const std::string createTable = f.Template("SQLCreateTable");
    const std::string createIndex = f.Template("SQLCreateIndex");
    const std::string addFK = f.Template("SQLCreateFKConstraint");
    const std::string tableComment = f.Template("SQLAddTableComment");
    const std::string columnComment = f.Template("SQLAddColumnComment");
    const std::string defaultConstraint = f.Template("SQLCreateDefaultConstraint");
    size_t bytes = 0;
    auto add = [&bytes](const std::string& text) { bytes += text.size(); };
    std::vector<TVELEntity*> tables;
    dd.Entities(tables);
    for (const TVELEntity* table : tables) {
        add(f.FillTable(*table, createTable));
        for (int i = 0; i < table->Indexes.Count(); ++i)
            add(f.FillIndex(*static_cast<const TVELIndex*>(table->Indexes.Object(i)), createIndex));
        for (int i = 0; i < table->Attributes.Count(); ++i) {
            const TVELAttribute* column = table->AttributeAt(i);
            if (const TVELConstraint* c = column->ExistingColumnConstraint(2);
                c && c->IsInUse() && c->GenerationMark != gmWrittenInline)
                add(f.FillConstraint(*c, defaultConstraint));
            if (!column->Comment.empty() && column->GenerationMark != gmWrittenInline)
                add(f.FillColumn(*column, columnComment));
        }
        if (table->GenerationMark != gmWrittenInline) add(f.FillTable(*table, tableComment));
    }
    for (const TVELEntity* table : tables)
        for (const TVELConstraint* fk : table->ForeignKeyConstraints())
            if (fk->GenerationMark != gmWrittenInline) add(f.FillConstraint(*fk, addFK));
    return bytes;
}

void BM_CreateScript(benchmark::State& state, const char* target) {
    auto dd = BuildModel(target);
    size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClearGenerationMarks(*dd);
        state.ResumeTiming();
        bytes = FillCreateScript(*dd);
    }
    state.counters["MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK_CAPTURE(BM_CreateScript, postgresql15, "postgresql15")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_CreateScript, sqlite3, "sqlite3")->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
