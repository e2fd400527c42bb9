// The project commands of ardvin-cli: new, info, upgrade and versions.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "zCliCommands.h"
#include "zDatabaseSettings.h"
#include "zProject.h"

namespace ardvin {

namespace {

namespace fs = std::filesystem;

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
