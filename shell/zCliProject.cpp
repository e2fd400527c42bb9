// The project commands of ardvin-cli: new, info, upgrade and versions.
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "zCliCommands.h"
#include "zDatabaseSettings.h"
#include "zProject.h"

namespace ardvin {

namespace {

namespace fs = std::filesystem;

struct TParsedArgs {
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Options; // "--name value"
    std::set<std::string> Flags;                // "--name"

    std::string Option(const std::string& name) const {
        const auto it = Options.find(name);
        return it == Options.end() ? std::string() : it->second;
    }
    bool Has(const std::string& name) const { return Options.count(name) > 0 || Flags.count(name) > 0; }
};

// Splits the arguments into positional ones, options with a value and flags; any other option,
// a missing value or a wrong number of positional arguments raises the usage error.
TParsedArgs ParseArgs(const TCliArgs& args, const std::set<std::string>& valued,
                      const std::set<std::string>& flags, size_t positional, const std::string& usage) {
    TParsedArgs r;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-') {
            if (valued.count(a)) {
                if (i + 1 >= args.size()) throw EVELError("option " + a + " needs a value; usage: " + usage);
                r.Options[a] = args[++i];
            } else if (flags.count(a)) {
                r.Flags.insert(a);
            } else {
                throw EVELError("unknown option " + a + "; usage: " + usage);
            }
        } else {
            r.Positional.push_back(a);
        }
    }
    if (r.Positional.size() != positional) throw EVELError("usage: " + usage);
    return r;
}

std::string AbsolutePath(const std::string& name) {
    std::error_code ec;
    const fs::path path = fs::absolute(name, ec);
    return ec ? name : path.lexically_normal().string();
}

// A project opened from a file. Files of older formats are converted without asking; a
// version-2 file takes its target from --target.
void OpenProject(TVELProject& project, const std::string& fileName, const std::string& target) {
    project.OnConfirmConversion = [](const std::string&) {};
    project.OnRequestTarget = [target] { return target; };
    project.Open(fileName);
}

// A project read for looking at only: a file of an older format is converted from a copy in a
// temporary folder, so that neither the file nor its folder change.
struct TReadOnlyProject {
    explicit TReadOnlyProject(const std::string& fileName, const std::string& target) {
        const std::string format = ProjectFileFormatVersion(fileName);
        if (format.empty() || format == CurrentFileFormatVersion) {
            OpenProject(Project, fileName, target);
            return;
        }
        std::string folder = (fs::temp_directory_path() / "ardvin-cli-XXXXXX").string();
        if (!mkdtemp(folder.data())) throw EVELError("Cannot create a temporary folder.");
        Folder = folder;
        const std::string copy = folder + "/" + fs::path(fileName).filename().string();
        fs::copy_file(fileName, copy);
        OpenProject(Project, copy, target);
    }
    ~TReadOnlyProject() {
        if (Folder.empty()) return;
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }
    TVELProject Project;
    std::string Folder;
};

template <class T>
size_t CountOf(const TVELDataDictionary& dd, void (TVELDataDictionary::*collect)(std::vector<T*>&) const) {
    std::vector<T*> objects;
    (dd.*collect)(objects);
    return objects.size();
}

} // namespace

int CliNewProject(const TCliArgs& args) {
    static const std::string usage = "ardvin-cli new --target ID -o FILE.arv";
    try {
        const TParsedArgs a = ParseArgs(args, {"--target", "-o"}, {}, 0, usage);
        if (a.Option("--target").empty() || a.Option("-o").empty()) throw EVELError("usage: " + usage);
        const std::string file = a.Option("-o");
        std::error_code ec;
        if (fs::exists(file, ec)) throw EVELError("file \"" + file + "\" exists already");
        if (!CliLoadTargets()) return 2;
        TVELProject project;
        project.NewModel(a.Option("--target"));
        project.SetFileName(AbsolutePath(file));
        project.Save();
        return 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

int CliProjectInfo(const TCliArgs& args) {
    static const std::string usage = "ardvin-cli info FILE.arv [--target ID]";
    try {
        const TParsedArgs a = ParseArgs(args, {"--target"}, {}, 1, usage);
        if (!CliLoadTargets()) return 2;
        const std::string& file = a.Positional[0];
        TReadOnlyProject read(file, a.Option("--target"));
        const TVELProject& p = read.Project;
        const TVELDataDictionary& dd = p.DataDictionary;
        const std::pair<const char*, std::string> lines[] = {
            {"file", file},
            {"format", p.FileFormatVersion},
            {"target", dd.GetTarget()},
            {"target-name", dd.GetTarget().empty() ? std::string() : dd.GetDatabaseSettings()->DBMSName},
            {"entities", std::to_string(CountOf(dd, &TVELDataDictionary::Entities))},
            {"attributes", std::to_string(CountOf(dd, &TVELDataDictionary::AllAttributes))},
            {"relationships", std::to_string(CountOf(dd, &TVELDataDictionary::Relationships))},
            {"indexes", std::to_string(CountOf(dd, &TVELDataDictionary::AllIndexes))},
            {"constraints", std::to_string(CountOf(dd, &TVELDataDictionary::AllConstraints))},
            {"domains", std::to_string(CountOf(dd, &TVELDataDictionary::Domains))},
            {"sequences", std::to_string(CountOf(dd, &TVELDataDictionary::Sequences))},
            {"views", std::to_string(CountOf(dd, &TVELDataDictionary::Views))},
            {"procedures", std::to_string(CountOf(dd, &TVELDataDictionary::Procedures))},
            {"triggers", std::to_string(CountOf(dd, &TVELDataDictionary::AllTriggers))},
            {"rules", std::to_string(CountOf(dd, &TVELDataDictionary::Rules))},
            {"diagrams", std::to_string(p.Diagrams.Count())},
            {"versions", std::to_string(p.Versions.SortedVersions().size())},
        };
        for (const auto& [key, value] : lines)
            std::printf("%s: %s\n", key, value.c_str());
        return 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

int CliUpgradeProject(const TCliArgs& args) {
    static const std::string usage = "ardvin-cli upgrade OLD.arv -o NEW.arv [--target ID]";
    try {
        const TParsedArgs a = ParseArgs(args, {"-o", "--target"}, {}, 1, usage);
        if (a.Option("-o").empty()) throw EVELError("usage: " + usage);
        if (!CliLoadTargets()) return 2;
        TVELProject project;
        OpenProject(project, a.Positional[0], a.Option("--target"));
        const std::string format = project.FileFormatVersion;
        project.SetFileName(AbsolutePath(a.Option("-o")));
        project.Save();
        if (format == CurrentFileFormatVersion)
            std::printf("already in the current format\n");
        else
            std::printf("converted from %s; backup: %s\n", FileFormatVersionText(format).c_str(),
                        project.BackupFileName.c_str());
        return 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

int CliProjectVersions(const TCliArgs& args) {
    static const std::string usage =
        "ardvin-cli versions FILE.arv [--archive LABEL [--comments TEXT] [--model-only]] [--target ID]";
    try {
        const TParsedArgs a =
            ParseArgs(args, {"--archive", "--comments", "--target"}, {"--model-only"}, 1, usage);
        if (!a.Has("--archive") && (a.Has("--comments") || a.Has("--model-only")))
            throw EVELError("--comments and --model-only need --archive; usage: " + usage);
        if (!CliLoadTargets()) return 2;
        const std::string& file = a.Positional[0];
        if (!a.Has("--archive")) {
            TReadOnlyProject read(file, a.Option("--target"));
            for (const TVELVersionInfo* v : read.Project.Versions.SortedVersions())
                std::printf("%s\t%s\t%s\t%s\n", v->VersionNumber.c_str(), v->VersionLabel.c_str(),
                            FormatLocalDateTime(v->VersionDate).c_str(), v->VersionTypeDescription().c_str());
            return 0;
        }
        TVELProject project;
        OpenProject(project, file, a.Option("--target"));
        const TVELVersionInfo* v =
            project.ArchiveVersion(a.Has("--model-only"), a.Option("--archive"), a.Option("--comments"));
        project.Save();
        std::printf("%s\t%s\n", v->VersionNumber.c_str(), v->VersionLabel.c_str());
        return 0;
    } catch (const std::exception& e) {
        return CliFail(e.what());
    }
}

} // namespace ardvin
