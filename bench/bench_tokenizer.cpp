// Benchmarks of the SQL import's first stage over a schema of 10,000 tables: the tokenizer, the
// statement splitter, and the script preparation (comment removal, strings table, splitting) of
// the PostgreSQL and the plain script class. The schema comes from the shared generator tool,
// written to a temporary folder, in its plain style and in the style of a dump; without python3
// or the tool an equivalent text is generated here. All of them must grow linearly with the text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "zDBScript.h"
#include "zParseScript.h"
#include "zXMLUtils.h"

using namespace ardvin;

namespace {

constexpr int Tables = 10000;

// A schema in the shape of the generator's output: tables with keys, defaults and checks,
// comments with quotes, sequences, indexes and foreign keys.
std::string GenerateSchema(bool dumpStyle) {
    std::string sql = "--\n-- generated schema\n--\n\nSET client_encoding = 'UTF8';\n\n";
    for (int t = 0; t < Tables; ++t) {
        const std::string name = Format("public.t%05d_item", t);
        sql += Format(
            "--\n-- Name: t%05d_item; Type: TABLE\n--\n\nCREATE TABLE %s (\n    id integer NOT NULL,\n", t,
            name.c_str());
        for (int c = 0; c < 6 + t % 12; ++c)
            sql += Format("    col_%d character varying(%d) DEFAULT 'x''%d' NOT NULL,\n", c, 10 + c, c);
        sql += "    amount numeric(12,2),\n    CONSTRAINT amount_check CHECK ((amount >= 0))\n);\n\n";
        sql +=
            Format("COMMENT ON TABLE %s IS 'Holds item records; it''s used by reports';\n\n", name.c_str());
        if (dumpStyle) {
            sql += Format("CREATE SEQUENCE %s_id_seq\n    START WITH 1\n    INCREMENT BY 1\n    CACHE 1;\n\n",
                          name.c_str());
            sql += Format("ALTER TABLE ONLY %s\n    ADD CONSTRAINT t%05d_pkey PRIMARY KEY (id);\n\n",
                          name.c_str(), t);
        }
        sql += Format("CREATE INDEX t%05d_idx ON %s (col_0);\n\n", t, name.c_str());
        if (t > 0 && t % 3 == 0)
            sql += Format("ALTER TABLE %s ADD CONSTRAINT t%05d_fk FOREIGN KEY (id) REFERENCES "
                          "public.t%05d_item (id);\n\n",
                          name.c_str(), t, t - 1);
    }
    return sql;
}

// The generator tool beside the source tree, as the shared folder lies beside it.
std::string GeneratorPath() {
    return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "shared" / "tools" /
            "gen_schema.py")
        .lexically_normal()
        .string();
}

std::string RunGenerator(bool dumpStyle) {
    const std::string tool = GeneratorPath();
    if (!std::filesystem::exists(tool)) return {};
    char folder[] = "/tmp/ardvin-bench-XXXXXX";
    if (!mkdtemp(folder)) return {};
    const std::string file = std::string(folder) + "/schema.sql";
    const std::string command = "python3 '" + tool + "' --tables " + IntToStr(Tables) +
                                " --dialect postgresql --style " + (dumpStyle ? "dump" : "plain") + " > '" +
                                file + "' 2>/dev/null";
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (pclose(pipe) == 0) {
            std::ifstream in(file, std::ios::binary);
            std::ostringstream s;
            s << in.rdbuf();
            text = s.str();
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return text;
}

const std::string& Schema(bool dumpStyle) {
    static std::string texts[2];
    std::string& text = texts[dumpStyle ? 1 : 0];
    if (text.empty()) {
        text = RunGenerator(dumpStyle);
        if (text.empty()) text = GenerateSchema(dumpStyle);
    }
    return text;
}

void SetBytes(benchmark::State& state, const std::string& text) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_Tokenize(benchmark::State& state) {
    const std::string& text = Schema(false);
    TVELTokenizer tokenizer;
    TVELTokenDynArray tokens;
    for (auto _ : state) {
        tokenizer.TokenizeToArray(text, 0, tokens);
        benchmark::DoNotOptimize(tokens.data());
    }
    state.counters["tokens"] = static_cast<double>(tokens.size());
    SetBytes(state, text);
}
BENCHMARK(BM_Tokenize)->Unit(benchmark::kMillisecond);

// The splitter on the raw text, comments and literals included.
void BM_SplitterParse(benchmark::State& state) {
    const std::string& text = Schema(state.range(0) != 0);
    size_t statements = 0;
    for (auto _ : state) {
        TVELSQLScriptParser parser;
        parser.Mode = TVELSQLScriptParser::smTerminator;
        parser.Compact = state.range(1) != 0;
        parser.Parse(text);
        statements = parser.Statements.size();
    }
    state.counters["statements"] = static_cast<double>(statements);
    SetBytes(state, text);
}
BENCHMARK(BM_SplitterParse)
    ->ArgNames({"dump", "compact"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond);

void PrepareScript(benchmark::State& state, const char* driver) {
    const std::string& text = Schema(state.range(0) != 0);
    size_t statements = 0;
    for (auto _ : state) {
        auto script = CreateDBScript(driver);
        script->Source = text;
        script->Prepare();
        statements = script->Statements.size();
    }
    state.counters["statements"] = static_cast<double>(statements);
    SetBytes(state, text);
}

void BM_PostgreSQLScript(benchmark::State& state) {
    PrepareScript(state, "postgresql");
}
BENCHMARK(BM_PostgreSQLScript)->ArgName("dump")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The plain script class: the generic splitter and the joining of fragments.
void BM_PlainScript(benchmark::State& state) {
    PrepareScript(state, "sql");
}
BENCHMARK(BM_PlainScript)->ArgName("dump")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
