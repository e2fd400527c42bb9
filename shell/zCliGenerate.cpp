// The generating commands of ardvin-cli (generate, check, switch-target) and the unattended
// generation of the desktop program.
#include "zCliGenerate.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "zApplication.h"
#include "zAtomicFile.h"
#include "zCliCommands.h"
#include "zConnectionExecutor.h"
#include "zConnectionURL.h"
#include "zDBDrivers.h"
#include "zDBRestructure.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zModelCheck.h"
#include "zProject.h"

namespace ardvin {

namespace fs = std::filesystem;

namespace {

// The keys of the project's header settings that generation takes as options.
const char* const DatabaseScriptKeys[] = {"BEGINDATABASESCRIPT", "ENDDATABASESCRIPT", "BEGINDROPDATABASESCRIPT",
                                          "ENDDROPDATABASESCRIPT"};

bool IsIndependent(const TVELDataDictionary& model) {
    return model.GetDatabaseSettings()->GetTargetType() == TTargetType::DatabaseIndependent;
}

// Passes the messages of a dictionary on as the messages panel shows them.
TVELMessageCallback MessageForwarder(const TVELLineSink& sink) {
    return [&sink](TVELNamedObject* object, int level, const std::string& text) {
        TVELMessageEntry entry;
        entry.Level = level;
        if (object) entry.ObjectDescription = ObjectDescription(*object);
        entry.Text = text;
        if (sink) sink(MessageLine(entry));
    };
}

void PrintLine(FILE* out, const std::string& line) {
    std::fputs(line.c_str(), out);
    std::fputc('\n', out);
}

}  // namespace

TVELSettingsList StoredGenerationOptions(const TVELProject& project) {
    TVELSettingsList options;
    for (const char* key : DatabaseScriptKeys) {
        const std::string text = project.Settings.CommonSettings.GetValue(key);
        if (!Trim(text).empty()) options.SetValue(key, text);
    }
    const TVELSettingsList& stored = project.Settings.GenDBOptions;
    for (int i = 0; i < stored.Count(); ++i) options.SetValue(stored.NameAt(i), stored.ValueAt(i));
    return options;
}

void AddOptionAssignment(const std::string& assignment, TVELSettingsList& options) {
    const size_t equals = assignment.find('=');
    const std::string key = equals == std::string::npos ? std::string() : Trim(assignment.substr(0, equals));
    if (key.empty()) throw EVELError("option \"" + assignment + "\" is not of the form KEY=VALUE");
    options.SetValue(key, assignment.substr(equals + 1));
}

void RequireKnownTarget(const std::string& id) {
    if (TargetDatabases().IndexOfId(id) < 0)
        throw EVELError("unknown target \"" + id + "\"; ardvin-cli targets lists the installed ones");
}

std::string GenerateProjectScript(const TVELProject& project, const std::string& projectFile,
                                  const TVELSettingsList& options, bool drop, const TVELLineSink& sink,
                                  const std::string& executeURL) {
    const TVELDataDictionary& model = project.DataDictionary;
    if (IsIndependent(model)) {
        const std::string target = Trim(options.GetValue("DBID"));
        if (!target.empty()) RequireKnownTarget(target);
        if (!target.empty() && TargetDatabases().EntryById(target).TargetType == TTargetType::DatabaseIndependent)
            throw EVELError("nothing is generated for the database-independent target \"" + target +
                            "\"; choose a real target");
    }
    TVELSettingsList used;
    const std::unique_ptr<TVELDataDictionary> prepared =
        PrepareForGeneration(model, options, used, MessageForwarder(sink));
    const std::unique_ptr<TDBRestructure> run = CreateRestructure(*prepared);
    run->Options = used;
    run->ProductLine = std::string(ProductName) + " " + VersionText;
    run->ProjectFile = projectFile;
    run->ProjectName = project.ProjectName();
    run->Author = project.Author();
    run->OnLog = [&sink, run = run.get()](TVELLogger*, int, const std::string&, TVELNamedObject*) {
        if (sink && !run->Lines.empty()) sink(run->Lines.back());
    };
    if (!executeURL.empty()) {
        const std::unique_ptr<TDBConnection> connection =
            OpenConnectionURL(executeURL, *prepared->GetDatabaseSettings(), true);
        if (!ExecuteCreateScript(*run, *connection))
            throw EVELError(std::to_string(run->ErrorCount) + " statement(s) failed on the database " +
                            RedactedURL(executeURL) + "; see the log");
        return run->ScriptText();
    }
    const bool ok = drop ? run->GenerateDropScript() : run->GenerateCreateScript();
    if (!ok)
        throw EVELError(std::to_string(run->ErrorCount) + " statement(s) of the " + (drop ? "drop" : "create") +
                        " script could not be written; see the log");
    return run->ScriptText();
}

int GenerationFailureStatus(const EVELError& error) {
    return error.what() == std::string_view(ModelContainsErrorsText) ? ExitModelCheckFailed : ExitFailed;
}

void WriteScriptFile(const std::string& fileName, const std::string& script) {
    TVELAtomicFile file(fileName);
    file.Write(script);
    file.Commit();
}

// ---- ardvin-cli generate ---------------------------------------------------------------------

namespace {

struct TGenerateRequest {
    std::string File;
    std::string Target;         // --target: the target of a database-independent model
    TVELSettingsList Options;   // --option KEY=VALUE, in the order given
    bool Drop = false;          // --drop: the drop script instead of the create script
    std::string OutputFile;     // -o: the script file; empty for stdout
    std::string ExecuteURL;     // --execute: the live database the create script runs on
};

const char* const GenerateUsage =
    "ardvin-cli generate FILE.arv [--target ID] [-o OUT.sql | --execute URL] [--option KEY=VALUE]... [--drop]";

TGenerateRequest ParseGenerateArgs(const TCliArgs& args) {
    // What is generated.
    std::set<std::string> valued = {"--target", "--option"};
    const std::set<std::string> flags = {"--drop"};
    // ---- where the script goes: a file (-o), a live database (--execute), else stdout ----
    const std::set<std::string> destinations = {"-o", "--execute"};
    valued.insert(destinations.begin(), destinations.end());

    const TParsedArgs a = ParseArgs(args, valued, flags, 1, GenerateUsage);
    TGenerateRequest r;
    r.File = a.Positional[0];
    r.Target = a.Option("--target");
    if (a.Values("--target").size() > 1) throw EVELError(std::string("only one --target; usage: ") + GenerateUsage);
    for (const std::string& assignment : a.Values("--option")) AddOptionAssignment(assignment, r.Options);
    r.Drop = a.Has("--drop");
    // ---- the destination ----
    r.OutputFile = a.Option("-o");
    r.ExecuteURL = a.Option("--execute");
    if (!r.OutputFile.empty() && !r.ExecuteURL.empty())
        throw EVELError(std::string("-o and --execute exclude each other; usage: ") + GenerateUsage);
    if (!r.ExecuteURL.empty() && r.Drop)
        throw EVELError(std::string("--execute runs the create script only; usage: ") + GenerateUsage);
    return r;
}

}  // namespace

int CliGenerate(const TCliArgs& args) {
    try {
        const TGenerateRequest r = ParseGenerateArgs(args);
        if (!CliLoadTargets()) return ExitFailed;
        if (!r.Target.empty()) RequireKnownTarget(r.Target);
        TReadOnlyProject read(r.File, r.Target);
        const TVELDataDictionary& model = read.Project.DataDictionary;
        TVELSettingsList options = StoredGenerationOptions(read.Project);
        for (int i = 0; i < r.Options.Count(); ++i) options.SetValue(r.Options.NameAt(i), r.Options.ValueAt(i));
        if (IsIndependent(model)) {
            if (!r.Target.empty()) options.SetValue("DBID", r.Target);
            if (Trim(options.GetValue("DBID")).empty())
                throw EVELError("the model of \"" + r.File +
                                "\" is database-independent: name the target to generate for with --target ID");
        } else if (!r.Target.empty() && !SameText(r.Target, model.GetTarget())) {
            throw EVELError("the model of \"" + r.File + "\" is for target \"" + model.GetTarget() +
                            "\", not \"" + r.Target + "\"; switch it first with ardvin-cli switch-target");
        }
        const std::string script = GenerateProjectScript(read.Project, AbsolutePath(r.File), options, r.Drop,
                                                         [](const std::string& line) { PrintLine(stderr, line); },
                                                         r.ExecuteURL);
        if (!r.ExecuteURL.empty()) return ExitGenerated;
        if (r.OutputFile.empty()) {
            std::fwrite(script.data(), 1, script.size(), stdout);
            if (std::fflush(stdout) != 0) throw EVELError("Cannot write the script to the standard output.");
        } else {
            WriteScriptFile(r.OutputFile, script);
        }
        return ExitGenerated;
    } catch (const EVELError& e) {
        CliFail(e.what());
        return GenerationFailureStatus(e);
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

// ---- ardvin-cli check ------------------------------------------------------------------------

int CliCheck(const TCliArgs& args) {
    static const std::string usage = "ardvin-cli check FILE.arv [--target ID]...";
    try {
        const TParsedArgs a = ParseArgs(args, {"--target"}, {}, 1, usage);
        if (!CliLoadTargets()) return ExitFailed;
        const std::vector<std::string> targets = a.Values("--target");
        for (const std::string& target : targets) RequireKnownTarget(target);
        TReadOnlyProject read(a.Positional[0], "");
        TVELDataDictionary& model = read.Project.DataDictionary;
        TVELMessagesList messages;
        TVELModelCheck check(messages);
        check.ProjectFileName = AbsolutePath(a.Positional[0]);
        if (targets.empty()) {
            try {
                check.RunModelCheck(model, false, true, false);
            } catch (const EVELError&) {
                // The messages tell the errors.
            }
        }
        for (const std::string& target : targets) {
            if (!SameText(target, model.GetTarget())) {
                CheckForTarget(check, model, target, false);
                continue;
            }
            // The model's own target: the model as it stands.
            try {
                check.RunModelCheck(model, false, false, true);
            } catch (const EVELError&) {
            }
        }
        int counts[5] = {};
        for (const TVELMessageEntry& entry : messages.Entries()) {
            if (entry.Level >= 0 && entry.Level < 5) ++counts[entry.Level];
            PrintLine(stdout, MessageLine(entry));
        }
        std::fprintf(stderr, "%d error(s), %d warning(s), %d hint(s)\n", counts[mlError], counts[mlWarning],
                     counts[mlHint]);
        return counts[mlError] > 0 ? 1 : 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

// ---- ardvin-cli switch-target ----------------------------------------------------------------

int CliSwitchTarget(const TCliArgs& args) {
    static const std::string usage = "ardvin-cli switch-target FILE.arv --target ID -o OUT.arv";
    try {
        const TParsedArgs a = ParseArgs(args, {"--target", "-o"}, {}, 1, usage);
        if (a.Option("--target").empty() || a.Option("-o").empty()) throw EVELError("usage: " + usage);
        if (!CliLoadTargets()) return ExitFailed;
        const std::string target = a.Option("--target");
        RequireKnownTarget(target);
        // Converted in memory (an older file from a copy); the file is written only under -o.
        TReadOnlyProject read(a.Positional[0], "");
        TVELProject& project = read.Project;
        TVELMessagesList messages;
        TVELModelCheck check(messages);
        check.ProjectFileName = AbsolutePath(a.Positional[0]);
        const std::string done = SwitchTargetCommand(check, project.DataDictionary, target);
        for (const std::string& line : messages.Lines()) PrintLine(stderr, line);
        project.SetFileName(AbsolutePath(a.Option("-o")));
        project.Save();
        PrintLine(stderr, done);
        return ExitGenerated;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

// ---- unattended generation -------------------------------------------------------------------

namespace {

std::string Unquoted(const std::string& text) {
    for (const char quote : {'"', '\''})
        if (text.size() >= 2 && text.front() == quote && text.back() == quote) return text.substr(1, text.size() - 2);
    return text;
}

}  // namespace

std::string ParseUnattendedCommandLine(const std::vector<std::string>& args, TVELSettingsList& settings) {
    const std::string file = args.empty() ? std::string() : Unquoted(args.front());
    std::error_code ec;
    if (file.empty() || !fs::is_regular_file(file, ec))
        throw EVELError("Command line options used and no valid file was given.");
    const std::vector<std::string> known = {"-generate"};
    for (const std::string& arg : args)
        if (arg.starts_with("-") && std::find(known.begin(), known.end(), arg) != known.end())
            settings.SetValue(arg.substr(1), "YES");
    if (!settings.Has("generate")) throw EVELError("Command line option \"-generate\" is required.");
    return file;
}

std::string UnattendedScriptFile(const TVELProject& project, const std::string& projectFile) {
    const fs::path file = projectFile;
    const std::string stored = Trim(project.Settings.GenDBParams.GetValue("SQLCREATEFILE"));
    if (stored.empty()) return fs::path(file).replace_extension(".sql").string();
    const fs::path path = stored;
    return path.is_absolute() ? stored : (file.parent_path() / path).lexically_normal().string();
}

int RunUnattendedGeneration(const std::vector<std::string>& args) {
    std::vector<std::string> lines;
    try {
        TVELSettingsList settings;
        const std::string file = ParseUnattendedCommandLine(args, settings);
        LoadTargetDefinitions();
        TReadOnlyProject read(file, "");
        if (!settings.GetValue("generate").empty()) {
            const std::string script =
                GenerateProjectScript(read.Project, AbsolutePath(file), StoredGenerationOptions(read.Project), false,
                                      [&lines](const std::string& line) { lines.push_back(line); });
            WriteScriptFile(UnattendedScriptFile(read.Project, file), script);
        }
        return ExitGenerated;
    } catch (const std::exception& e) {
        for (const std::string& line : lines) PrintLine(stderr, line);
        PrintLine(stderr, e.what());
        const auto* error = dynamic_cast<const EVELError*>(&e);
        return error ? GenerationFailureStatus(*error) : ExitFailed;
    }
}

}  // namespace ardvin
