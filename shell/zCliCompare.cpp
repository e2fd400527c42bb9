// The comparison commands of ardvin-cli: compare, alter and update-model.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "zCliCommands.h"
#include "zConnectionExecutor.h"
#include "zConnectionURL.h"
#include "zDBRestructure.h"
#include "zDDComparer.h"
#include "zDDMerger.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zIDMatcher.h"
#include "zProject.h"
#include "zSQLParser.h"

namespace ardvin {

namespace {

namespace fs = std::filesystem;

// Arguments of the comparison commands: positional ones, options with a value (some of which
// may be repeated) and flags.
struct TCompareArgs {
    std::vector<std::string> Positional;
    std::map<std::string, std::vector<std::string>> Values;
    std::set<std::string> Flags;

    std::string Value(const std::string& name) const {
        const auto it = Values.find(name);
        return it == Values.end() ? std::string() : it->second.back();
    }
    const std::vector<std::string>& All(const std::string& name) const {
        static const std::vector<std::string> none;
        const auto it = Values.find(name);
        return it == Values.end() ? none : it->second;
    }
};

TCompareArgs ParseCompareArgs(const TCliArgs& args, const std::set<std::string>& valued, const std::set<std::string>& flags,
                              size_t positional, const std::string& usage) {
    TCompareArgs r;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a[0] != '-') {
            r.Positional.push_back(a);
        } else if (valued.count(a)) {
            if (i + 1 >= args.size()) throw EVELError("option " + a + " needs a value; usage: " + usage);
            r.Values[a].push_back(args[++i]);
        } else if (flags.count(a)) {
            r.Flags.insert(a);
        } else {
            throw EVELError("unknown option " + a + "; usage: " + usage);
        }
    }
    if (r.Positional.size() != positional) throw EVELError("usage: " + usage);
    return r;
}

// KEY=VALUE pairs into a settings list; a pair without "=" raises the usage error.
void ReadPairs(const std::vector<std::string>& pairs, TVELSettingsList& out, const std::string& usage) {
    for (const std::string& pair : pairs) {
        const size_t at = pair.find('=');
        if (at == std::string::npos || at == 0) throw EVELError("expected KEY=VALUE, not \"" + pair + "\"; usage: " + usage);
        out.SetValue(pair.substr(0, at), pair.substr(at + 1));
    }
}

// A model named on the command line: a project file (its current model), an archived version
// FILE.arv@N, an SQL script read for the target of --target, or a database URL.
struct TCliModel {
    std::unique_ptr<TVELDataDictionary> Model;
    std::string ProjectFile;  // the project it comes from, empty for scripts and databases
    std::string Label;        // as reports name it
};

bool IsDatabaseURL(const std::string& source) { return source.find("://") != std::string::npos; }

// The number of an archived version written FILE@N, empty when the text names no version.
std::string VersionSuffix(const std::string& source, std::string& file) {
    const size_t at = source.rfind('@');
    if (at == std::string::npos || at + 1 == source.size()) return {};
    const std::string number = source.substr(at + 1);
    if (number.find_first_not_of("0123456789") != std::string::npos) return {};
    file = source.substr(0, at);
    return number;
}

void OpenForComparison(TVELProject& project, const std::string& file, const std::string& target) {
    project.OnConfirmConversion = [](const std::string&) {};
    project.OnRequestTarget = [target] { return target; };
    project.Open(file);
}

TCliModel LoadModel(const std::string& source, const std::string& target) {
    TCliModel m;
    m.Label = source;
    if (IsDatabaseURL(source)) {
        m.Model = CliLoadDatabaseModel(source, target);
        return m;
    }
    std::string file = source;
    const std::string version = VersionSuffix(source, file);
    std::error_code ec;
    if (!fs::exists(file, ec)) throw EVELError("file \"" + file + "\" not found");
    const std::string extension = LowerCase(fs::path(file).extension().string());
    if (extension != ".arv") {
        if (target.empty()) throw EVELError("reading the script \"" + file + "\" needs --target");
        m.Model = std::make_unique<TVELDataDictionary>();
        m.Model->SetTarget(target);
        TVELSQLParser parser(m.Model.get());
        std::ifstream in(file, std::ios::binary);
        parser.Script.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        std::string problems;
        parser.OnMessage = [&problems](TVELSQLParser*, int level, const std::string& text, TVELNamedObject*) {
            if (level == mlError && problems.empty()) problems = text;
        };
        parser.Import();
        if (!problems.empty()) throw EVELError("script \"" + file + "\": " + problems);
        return m;
    }
    TVELProject project;
    OpenForComparison(project, file, target);
    m.ProjectFile = fs::weakly_canonical(file, ec).string();
    m.Model = std::make_unique<TVELDataDictionary>();
    if (version.empty()) {
        m.Model->AssignDictionary(project.DataDictionary);
    } else {
        if (!project.Versions.FindByNumber(version))
            throw EVELError("project \"" + file + "\" has no version " + version);
        project.Versions.LoadVersionDataDictionary(version, *m.Model, project.DataDictionary);
    }
    return m;
}

// The comparer takes the selected objects: the command line compares all.
void SelectAll(TVELDataDictionary& model) {
    for (int i = 0; i < model.Count(); ++i) model.Object(i)->Selected = true;
}

// Brings two models of one comparison together: the right one takes the left one's target when
// they differ, and, unless both come from one project (whose versions share identities), its
// objects are paired with the left one's by name.
void Pair(TCliModel& left, TCliModel& right, const TVELStringMappingList* mappings, bool ignoreCase) {
    if (!SameText(left.Model->GetTarget(), right.Model->GetTarget())) right.Model->ChangeTarget(left.Model->GetTarget());
    if (left.ProjectFile.empty() || left.ProjectFile != right.ProjectFile)
        MatchIDs(*left.Model, *right.Model, mappings, ignoreCase);
    SelectAll(*left.Model);
    SelectAll(*right.Model);
}

// The caption of a status as the comparison lists show it.
std::string StatusCaption(int status) {
    switch (status) {
    case dsLeftOnly: return "Only found in source";
    case dsUnchanged: return "Identical";
    case dsChanged: return "Different";
    case dsRightOnly: return "Only found in destination";
    default: return {};
    }
}

std::string JsonText(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += Format("\\u%04x", static_cast<unsigned>(c));
            else
                out += c;
        }
    }
    return out + "\"";
}

std::string WithoutMarks(std::string text) { return ReplaceAll(ReplaceAll(text, "<BOLD>", ""), "</BOLD>", ""); }

void PrintText(const TVELDifferences& differences, bool all) {
    for (int i = 0; i < differences.Count(); ++i) {
        const TVELDifference& d = *differences.Difference(i);
        if (d.Status == dsUnchanged && !all) continue;
        const std::string name = d.LeftName.empty()                               ? d.RightName
                                 : d.RightName.empty() || d.RightName == d.LeftName ? d.LeftName
                                                                                    : d.LeftName + " -> " + d.RightName;
        std::printf("%s\t%s\t%s\n", StatusCaption(d.Status).c_str(), d.ObjectClassName.c_str(), name.c_str());
        if (d.Status != dsChanged) continue;
        for (const TVELDiffDetailsItem& item : d.Details) {
            if (item.Status == dsUnchanged) continue;
            if (item.Status != dsRightOnly) std::printf("  - %s\n", WithoutMarks(item.LeftString).c_str());
            if (item.Status != dsLeftOnly) std::printf("  + %s\n", WithoutMarks(item.RightString).c_str());
        }
    }
}

void PrintJson(const TVELDifferences& differences, bool all) {
    std::string out = "[";
    bool first = true;
    for (int i = 0; i < differences.Count(); ++i) {
        const TVELDifference& d = *differences.Difference(i);
        if (d.Status == dsUnchanged && !all) continue;
        out += first ? "\n" : ",\n";
        first = false;
        out += "  {\"status\": " + JsonText(StatusCaption(d.Status)) + ", \"class\": " + JsonText(d.ObjectClassName) +
               ", \"left\": " + JsonText(d.LeftName) + ", \"right\": " + JsonText(d.RightName) + ", \"lines\": [";
        bool firstLine = true;
        for (const TVELDiffDetailsItem& item : d.Details) {
            if (item.Status == dsUnchanged || d.Status != dsChanged) continue;
            out += firstLine ? "" : ", ";
            firstLine = false;
            out += "{\"status\": " + JsonText(DiffStatusText(item.Status)) + ", \"left\": " +
                   JsonText(WithoutMarks(item.LeftString)) + ", \"right\": " + JsonText(WithoutMarks(item.RightString)) + "}";
        }
        out += "]}";
    }
    out += first ? "]\n" : "\n]\n";
    std::fputs(out.c_str(), stdout);
}

bool WriteTextFile(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

int CliCompare(const TCliArgs& args) {
    static const std::string usage =
        "ardvin-cli compare LEFT RIGHT [--target ID] [--html OUT.html] [--option KEY=1]... [--map OLD=NEW]... "
        "[--ignore-case] [--format text|json] [--all]";
    try {
        const TCompareArgs a = ParseCompareArgs(args, {"--target", "--html", "--option", "--map", "--format"},
                                                {"--ignore-case", "--all"}, 2, usage);
        const std::string format = a.Value("--format").empty() ? "text" : a.Value("--format");
        if (format != "text" && format != "json") throw EVELError("unknown format \"" + format + "\"; usage: " + usage);
        TVELCompareSettings settings;
        ReadPairs(a.All("--option"), settings.Options, usage);
        TVELStringMappingList mappings;
        for (const std::string& pair : a.All("--map")) {
            if (pair.find('=') == std::string::npos) throw EVELError("expected OLD=NEW, not \"" + pair + "\"; usage: " + usage);
            mappings.LoadFromText(pair);
        }
        if (!CliLoadTargets()) return 2;
        TCliModel left = LoadModel(a.Positional[0], a.Value("--target"));
        TCliModel right = LoadModel(a.Positional[1], a.Value("--target"));
        settings.IgnoreCase = a.Flags.count("--ignore-case") > 0;
        Pair(left, right, &mappings, settings.IgnoreCase);
        settings.Mappings = &mappings;
        TVELDifferences differences;
        CompareDictionaries(*left.Model, *right.Model, differences, settings);
        if (!a.Value("--html").empty()) {
            TVELSettingsList html;
            html.SetValue("TITLE", "Differences");
            html.SetValue("LEFT", left.Label);
            html.SetValue("RIGHT", right.Label);
            html.SetValue("FILENAME", a.Value("--html"));
            ExportDifferencesToHTML(differences, html);
        }
        const bool all = a.Flags.count("--all") > 0;
        if (format == "json")
            PrintJson(differences, all);
        else
            PrintText(differences, all);
        return differences.LeftOnly + differences.Changed + differences.RightOnly > 0 ? 1 : 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

int CliAlter(const TCliArgs& args) {
    static const std::string usage = "ardvin-cli alter OLD NEW [-o OUT.sql] [--execute URL] [--target ID] "
                                     "[--option KEY=VALUE]... [--allow-drop]";
    try {
        const TCompareArgs a =
            ParseCompareArgs(args, {"-o", "--execute", "--target", "--option"}, {"--allow-drop"}, 2, usage);
        TVELSettingsList options;
        ReadPairs(a.All("--option"), options, usage);
        if (!CliLoadTargets()) return 2;
        TCliModel current = LoadModel(a.Positional[1], a.Value("--target"));
        // A database named as the old state is read for the new model's target unless told.
        std::string oldTarget = a.Value("--target");
        if (oldTarget.empty() && current.Model->GetDatabaseSettings()->GetTargetType() != TTargetType::DatabaseIndependent)
            oldTarget = current.Model->GetDatabaseSettings()->DBID;
        TCliModel old = LoadModel(a.Positional[0], oldTarget);
        // The old state takes the new model's target (the one the script is written for).
        Pair(current, old, nullptr, false);
        TVELSettingsList used, usedOld;
        if (current.Model->GetDatabaseSettings()->GetTargetType() == TTargetType::DatabaseIndependent)
            throw EVELError("an alter script needs a model of a real target, not a database-independent one");
        std::string messages;
        auto message = [&messages](TVELNamedObject*, int level, const std::string& text) {
            if (level == mlError) messages += "\n  " + text;
        };
        std::unique_ptr<TVELDataDictionary> newModel = PrepareForGeneration(*current.Model, options, used, message);
        std::unique_ptr<TVELDataDictionary> oldModel = PrepareForGeneration(*old.Model, options, usedOld, message);
        auto restructureFor = [&] {
            std::unique_ptr<TDBRestructure> r = CreateRestructure(*newModel);
            r->OldModel = oldModel.get();
            r->Options = used;
            r->ProductLine = "Ardvin for Databases";
            return r;
        };
        std::unique_ptr<TDBRestructure> restructure = restructureFor();
        const bool clean = restructure->GenerateAlterScript();
        const std::string script = restructure->ScriptText();
        const std::string executeURL = a.Value("--execute");
        if (!a.Value("-o").empty()) {
            if (!WriteTextFile(a.Value("-o"), script)) throw EVELError("cannot write \"" + a.Value("-o") + "\"");
        } else if (executeURL.empty()) {
            std::fputs(script.c_str(), stdout);
        }
        auto problems = [](const TDBRestructure& r) {
            std::string text;
            for (const std::string& line : r.Lines)
                if (StartsText("Error", line)) text += "\n  " + line;
            return text;
        };
        if (!clean) return CliFail("the alter script has problems:" + problems(*restructure));
        std::vector<std::string> losses;
        for (const std::string& t : restructure->DroppedTables) losses.push_back("drops table " + t);
        for (const std::string& c : restructure->DroppedColumns) losses.push_back("drops column " + c);
        for (const std::string& t : restructure->RecreatedTables) losses.push_back("recreates table " + t);
        if (!losses.empty() && !a.Flags.count("--allow-drop")) {
            std::fprintf(stderr, "ardvin-cli: the script %s; %s only after checking, or pass --allow-drop\n",
                         JoinStrings(losses, ", ").c_str(), executeURL.empty() ? "run it" : "it is executed");
            return 3;
        }
        if (!executeURL.empty()) {
            const std::unique_ptr<TDBConnection> connection =
                OpenConnectionURL(executeURL, *newModel->GetDatabaseSettings());
            const std::unique_ptr<TDBRestructure> run = restructureFor();
            if (!ExecuteAlterScript(*run, *connection))
                return CliFail(std::to_string(run->ErrorCount) + " statement(s) failed on the database " +
                               RedactedURL(executeURL) + ":" + problems(*run));
        }
        return 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

int CliUpdateModel(const TCliArgs& args) {
    static const std::string usage =
        "ardvin-cli update-model FILE.arv --from SOURCE [--target ID] [--select all|changed] -o OUT.arv";
    try {
        const TCompareArgs a = ParseCompareArgs(args, {"--from", "--target", "--select", "-o"}, {}, 1, usage);
        if (a.Value("--from").empty() || a.Value("-o").empty()) throw EVELError("usage: " + usage);
        const std::string select = a.Value("--select").empty() ? "all" : a.Value("--select");
        if (select != "all" && select != "changed") throw EVELError("unknown selection \"" + select + "\"; usage: " + usage);
        if (!CliLoadTargets()) return 2;
        TVELProject project;
        OpenForComparison(project, a.Positional[0], a.Value("--target"));
        TCliModel model;
        model.Model = std::make_unique<TVELDataDictionary>();
        model.Model->AssignDictionary(project.DataDictionary);
        std::error_code ec;
        model.ProjectFile = fs::weakly_canonical(a.Positional[0], ec).string();
        TCliModel source = LoadModel(a.Value("--from"), a.Value("--target").empty() ? project.DataDictionary.GetTarget()
                                                                                    : a.Value("--target"));
        Pair(model, source, nullptr, false);
        TVELDifferences differences;
        TVELCompareSettings settings;
        CompareDictionaries(*model.Model, *source.Model, differences, settings);
        differences.SelectChanges();
        // "changed" takes over changed and new objects but removes nothing from the model;
        // "all" also removes the objects the source no longer has.
        if (select == "changed")
            for (int i = 0; i < differences.Count(); ++i)
                if (differences.Difference(i)->Status == dsLeftOnly)
                    differences.Difference(i)->Selected = false;
        // The model's own identities: the merger works on the project's dictionary.
        TVELDDMerger merger(project.DataDictionary, *source.Model, differences);
        std::string problems;
        merger.OnMessage = [&problems](TVELNamedObject*, int, const std::string& text) { problems += "\n  " + text; };
        merger.Apply();
        project.SetFileName(fs::absolute(a.Value("-o"), ec).lexically_normal().string());
        project.Save();
        differences.CountSelected();
        std::printf("updated: %d added, %d changed, %d removed\n", differences.SelectedRightOnly,
                    differences.SelectedChanged, differences.SelectedLeftOnly);
        if (!problems.empty()) return CliFail("some objects could not be updated:" + problems);
        return 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

}  // namespace ardvin
