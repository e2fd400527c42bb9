// The import commands of ardvin-cli: import-sql (an SQL script into a new project), reverse (a
// live database into a new project) and list (the schemas and tables of a live database).
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "zCliCommands.h"
#include "zConnectionURL.h"
#include "zDBDrivers.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zProject.h"

namespace ardvin {

namespace {

struct TImportArgs {
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Values; // "--name value"
    TVELSettingsList Options;                  // every "--option KEY=VALUE"

    std::string Value(const std::string& name) const {
        const auto it = Values.find(name);
        return it == Values.end() ? std::string() : it->second;
    }
};

// Splits the arguments; "--option" may be repeated, every other option once. An unknown
// option, a missing value, a missing required option or a wrong number of positional
// arguments raises the usage error.
TImportArgs ParseImportArgs(const TCliArgs& args, const std::set<std::string>& valued,
                            const std::set<std::string>& required, size_t positional, const std::string& usage) {
    TImportArgs r;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            r.Positional.push_back(a);
            continue;
        }
        if (a != "--option" && !valued.count(a)) throw EVELError("unknown option " + a + "; usage: " + usage);
        if (i + 1 >= args.size()) throw EVELError("option " + a + " needs a value; usage: " + usage);
        const std::string& value = args[++i];
        if (a == "--option") {
            const size_t equals = value.find('=');
            if (equals == std::string::npos || equals == 0)
                throw EVELError("option --option needs KEY=VALUE, not \"" + value + "\"");
            r.Options.SetValue(value.substr(0, equals), value.substr(equals + 1));
        } else if (!r.Values.emplace(a, value).second) {
            throw EVELError("option " + a + " is given twice; usage: " + usage);
        }
    }
    for (const std::string& name : required)
        if (r.Value(name).empty()) throw EVELError("option " + name + " is missing; usage: " + usage);
    if (r.Positional.size() != positional) throw EVELError("usage: " + usage);
    return r;
}

// A large import builds a model of hundreds of megabytes in small pieces, and the time goes to
// the faults of fresh pages as much as to the work. The heap grows in large steps instead,
// marked for huge pages where the system gives them on request, and is not given back
// between the import and the save.
void PrepareLargeHeap() {
    constexpr size_t step = 1u << 30;
    mallopt(M_TOP_PAD, static_cast<int>(step));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(step));
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    // The padding applies when the heap next grows: a block larger than what is left on top
    // makes it grow now, so that the whole step can be marked before anything is placed there.
    const auto before = reinterpret_cast<uintptr_t>(sbrk(0));
    void* volatile probe = std::malloc(16u << 20); // volatile: the pair must not be optimised away
    const auto top = reinterpret_cast<uintptr_t>(sbrk(0));
    const uintptr_t page = 2u << 20;
    const uintptr_t start = (before + page - 1) & ~(page - 1);
    const uintptr_t end = top & ~(page - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    std::free(probe);
}

// Messages of an import, one line each, on stderr.
void PrintMessages(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

std::string AbsoluteFileName(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(name, ec);
    return ec ? name : path.lexically_normal().string();
}

// A new project of a target whose model an import fills. The project's reactions to new
// objects (its defaults for names and options) are for objects a user adds, not for those a
// script or a catalogue describes: they are off until the model is complete.
class TImportProject {
public:
    explicit TImportProject(const std::string& target) {
        project_.NewModel(target);
        created_ = std::exchange(project_.DataDictionary.OnObjectCreated, nullptr);
    }
    TVELDataDictionary& Model() { return project_.DataDictionary; }
    void Save(const std::string& file) {
        project_.DataDictionary.OnObjectCreated = created_;
        project_.SetFileName(AbsoluteFileName(file));
        project_.Save();
    }

private:
    TVELProject project_;
    std::function<void(TVELDatabaseObject*)> created_;
};

// Reads the database of a connection into model, the log on stderr also when reading fails.
// The parameters (the password among them) live only in the connection: neither the log nor
// the model holds them.
void ReverseEngineerInto(TDBConnection& connection, TVELDataDictionary& model, const TVELSettingsList& options) {
    const TVELSettingsList parameters = connection.Parameters;
    std::vector<std::string> log;
    try {
        ImportFromDatabase(connection, model, parameters, options, nullptr, &log);
    } catch (...) {
        PrintMessages(log);
        throw;
    }
    PrintMessages(log);
}

// A connection for the model's target to the database of --url, with the schema filter.
std::unique_ptr<TDBConnection> ConnectionFor(const TVELDataDictionary& model, const TImportArgs& a) {
    std::unique_ptr<TDBConnection> connection = CreateConnectionURL(a.Value("--url"), *model.GetDatabaseSettings());
    if (!a.Value("--schema").empty()) connection->Parameters.SetValue("SCHEMANAME", a.Value("--schema"));
    return connection;
}

} // namespace

int CliImportSQL(const TCliArgs& args) {
    static const std::string usage = "ardvin-cli import-sql SCRIPT.sql --target ID -o OUT.arv [--option KEY=VALUE]...";
    try {
        const TImportArgs a = ParseImportArgs(args, {"--target", "-o"}, {"--target", "-o"}, 1, usage);
        if (!CliLoadTargets()) return 2;
        PrepareLargeHeap();
        TImportProject project(a.Value("--target"));
        std::vector<std::string> messages;
        const int errors = ImportFromScript(project.Model(), a.Positional[0], a.Options, &messages);
        PrintMessages(messages);
        project.Save(a.Value("-o"));
        return errors > 0 ? 1 : 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

int CliReverse(const TCliArgs& args) {
    static const std::string usage =
        "ardvin-cli reverse --target ID --url URL [--schema NAME] [--include MASKS] [--exclude MASKS] "
        "[--option KEY=VALUE]... -o OUT.arv";
    try {
        const TImportArgs a = ParseImportArgs(args, {"--target", "--url", "--schema", "--include", "--exclude", "-o"},
                                              {"--target", "--url", "-o"}, 0, usage);
        if (!CliLoadTargets()) return 2;
        PrepareLargeHeap();
        TImportProject project(a.Value("--target"));
        std::unique_ptr<TDBConnection> connection = ConnectionFor(project.Model(), a);
        connection->IncludeFilter = a.Value("--include");
        connection->ExcludeFilter = a.Value("--exclude");
        ReverseEngineerInto(*connection, project.Model(), a.Options);
        project.Save(a.Value("-o"));
        return connection->ErrorCount > 0 ? 1 : 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

std::unique_ptr<TVELDataDictionary> CliLoadDatabaseModel(const std::string& url, const std::string& target) {
    if (target.empty()) throw EVELError("reading the database " + RedactedURL(url) + " needs --target");
    auto model = std::make_unique<TVELDataDictionary>();
    model->SetTarget(target);
    const std::unique_ptr<TDBConnection> connection = CreateConnectionURL(url, *model->GetDatabaseSettings());
    ReverseEngineerInto(*connection, *model, {});
    return model;
}

int CliListDatabase(const TCliArgs& args) {
    static const std::string usage = "ardvin-cli list --target ID --url URL [--schema NAME]";
    try {
        const TImportArgs a = ParseImportArgs(args, {"--target", "--url", "--schema"}, {"--target", "--url"}, 0, usage);
        if (a.Options.Count() > 0) throw EVELError("unknown option --option; usage: " + usage);
        if (!CliLoadTargets()) return 2;
        TVELDataDictionary model;
        model.SetTarget(a.Value("--target"));
        std::unique_ptr<TDBConnection> connection = ConnectionFor(model, a);
        connection->Connect();
        std::vector<std::string> schemas, tables;
        connection->ListTableSchemas(schemas);
        connection->ListTables(tables);
        connection->Disconnect();
        for (const std::string& schema : schemas)
            if (!schema.empty()) std::printf("schema\t%s\n", schema.c_str());
        for (const std::string& table : tables) std::printf("table\t%s\n", table.c_str());
        return 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

} // namespace ardvin
