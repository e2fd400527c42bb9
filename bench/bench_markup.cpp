// Benchmarks of the markup codec: the substring scan behind every element read, and the
// settings list at the sizes of large option sets. The settings benchmarks report items per
// second at 1,000, 10,000 and 100,000 keys: the cost per item stays flat apart from cache misses,
// which grow once the list no longer fits the caches.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "zXMLUtils.h"

using namespace ardvin;

namespace {

// One entity as the model writer stores it: its own fields, then sections of attributes and
// of index columns, each a short value element on a line of its own.
std::string EntityMarkup(int id) {
    std::string attrs;
    for (int a = 0; a < 8; ++a) {
        std::string attr;
        AppendElement(attr, "ID", IntToStr(a + 1));
        AppendElement(attr, "NAME", "CustomerAttribute" + IntToStr(a));
        AppendElement(attr, "DATATYPE", a % 2 ? "VARCHAR" : "INTEGER");
        AppendElement(attr, "LENGTH", IntToStr(10 + a));
        AppendElement(attr, "NOTNULL", BoolStr(a == 0));
        AppendElement(attr, "CAPTION", "Attribute <" + IntToStr(a) + "> & more");
        attrs += WrapSection("ATTR", attr);
    }
    std::string ids;
    for (int a = 0; a < 3; ++a) AppendElement(ids, "ATTRIBUTEID", IntToStr(a + 1));
    std::string ent;
    AppendElement(ent, "ID", IntToStr(id));
    AppendElement(ent, "NAME", "Customer");
    AppendElement(ent, "CAPTION", "Customer of the shop");
    AppendElement(ent, "COLOR", "16777215");
    AppendElement(ent, "LASTID", "8");
    ent += WrapSection("ATTRIBUTES", attrs);
    ent += WrapSection("INDEXES", WrapSection("INDEX", WriteElement("NAME", "PK_Customer") +
                                                           WrapSection("ATTRIBUTEIDS", ids)));
    return WrapSection("ENT", ent);
}

// About `bytes` of model text: a section of entities, each a few kilobytes.
const std::string& ModelText(size_t bytes) {
    static std::string text;
    if (text.size() < bytes) {
        std::string ents;
        ents.reserve(bytes + 8192);
        for (int id = 1; ents.size() < bytes; ++id) ents += EntityMarkup(id);
        text = WrapSection("ENTITIES", ents);
    }
    return text;
}

// Reading a field that the text does not hold: the reader scans the whole text.
void BM_ReadElementAbsent(benchmark::State& state) {
    const std::string& text = ModelText(100u << 20);
    for (auto _ : state) {
        size_t pos = 0;
        benchmark::DoNotOptimize(ReadElement("DESCRIPTION", pos, text, "none"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadElementAbsent)->Unit(benchmark::kMillisecond);

// The same scan for a close tag, the second search of every read.
void BM_FindCloseTagAbsent(benchmark::State& state) {
    const std::string& text = ModelText(100u << 20);
    for (auto _ : state) benchmark::DoNotOptimize(FindTag(text, "DESCRIPTION", true, 0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FindCloseTagAbsent)->Unit(benchmark::kMillisecond);

std::vector<std::string> KeyNames(int n) {
    std::vector<std::string> names;
    names.reserve(n);
    for (int i = 0; i < n; ++i) names.push_back("Option_Key" + IntToStr(i));
    return names;
}

// The same names with the case of every letter chosen at random.
std::vector<std::string> RandomCase(const std::vector<std::string>& names) {
    std::mt19937 rng(42);
    std::vector<std::string> out = names;
    for (auto& n : out)
        for (char& c : n) {
            const auto u = static_cast<unsigned char>(c);
            c = static_cast<char>((rng() & 1) ? std::toupper(u) : std::tolower(u));
        }
    std::shuffle(out.begin(), out.end(), rng);
    return out;
}

void BM_SettingsSetValue(benchmark::State& state) {
    const auto names = KeyNames(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TVELSettingsList list;
        for (const auto& n : names) list.SetValue(n, n);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SettingsSetValue)->RangeMultiplier(10)->Range(1000, 100000);

void BM_SettingsGetValue(benchmark::State& state) {
    const auto names = KeyNames(static_cast<int>(state.range(0)));
    const auto lookups = RandomCase(names);
    TVELSettingsList list;
    for (const auto& n : names) list.SetValue(n, n);
    for (auto _ : state)
        for (const auto& n : lookups) benchmark::DoNotOptimize(list.GetValue(n));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SettingsGetValue)->RangeMultiplier(10)->Range(1000, 100000);

void BM_SettingsLoadFromMarkup(benchmark::State& state) {
    TVELSettingsList source;
    for (const auto& n : KeyNames(static_cast<int>(state.range(0)))) source.SetValue(n, "value of " + n);
    const std::string content = ReadElement("OPTIONS", source.SaveToMarkup("OPTIONS"));
    for (auto _ : state) {
        TVELSettingsList list;
        list.LoadFromMarkup(content);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(content.size()));
}
BENCHMARK(BM_SettingsLoadFromMarkup)->RangeMultiplier(10)->Range(1000, 100000);

}  // namespace

BENCHMARK_MAIN();
