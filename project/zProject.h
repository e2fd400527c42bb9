// One open project: its model, diagrams, stored settings and archive of versions, and the
// project file (extension .arv) they live in; and the list of open projects.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zDataDictionary.h"
#include "zDiagrams.h"
#include "zProjectSettings.h"
#include "zVersions.h"

namespace ardvin {

class TVELFileOps;
class TVELProjects;

// ---- the project file --------------------------------------------------------------------------

// The format version that the text of the current format carries.
inline constexpr std::string_view CurrentFileFormatVersion = "60";

// The format version of a project file's text: "60", "51", "41", "40", "30" or "20" by the first
// marker found in that order; empty when the text has none.
std::string DetectFileFormatVersion(std::string_view text);
// The format version of a project file, as DetectFileFormatVersion finds it in the file's text.
std::string ProjectFileFormatVersion(const std::string& fileName);
// The release that wrote a format version ("version 5"), as the conversion question names it.
std::string FileFormatVersionText(std::string_view formatVersion);

// Project files are ISO-8859-1 as long as every character fits, else UTF-8; the first line
// declares which. Inside the program all text is UTF-8.
enum class TVELFileEncoding { Latin1, Utf8 };
// The encoding the declaration at the start of a text names; ISO-8859-1 without one. Raises
// EVELError naming the file for an encoding that is not supported.
TVELFileEncoding DeclaredEncoding(std::string_view text, const std::string& fileName);
// A file's text as UTF-8, by its declared encoding: the text itself when it is UTF-8 (or plain
// ASCII) already, else its conversion, kept in decoded.
std::string_view DecodeProjectText(std::string_view text, const std::string& fileName, std::string& decoded);
std::string Latin1ToUtf8(std::string_view text);
// The text in ISO-8859-1; false when it is no valid UTF-8 or holds a character beyond U+00FF.
bool TryUtf8ToLatin1(std::string_view text, std::string& out);

// Checks that a project file's text (UTF-8) is whole: no binary data, every tag a proper
// element tag, every element closed in order, nothing outside the elements, at least one
// VERSION element. Returns the contents of the VERSION elements at the top (beside each other
// inside the root element, or at the top of a converted file), in file order. Raises
// EVELError "File "<name>" is damaged: ..." saying what is wrong and where.
std::vector<std::string_view> CheckProjectText(std::string_view text, const std::string& fileName);

// The user's documents folder: XDG_DOCUMENTS_DIR, else the user-dirs.dirs of the user's
// configuration, else ~/Documents when it exists, else the home folder.
std::string UserDocumentsFolder();

// ---- the project -------------------------------------------------------------------------------

class TVELProject : public TVELPersistent {
public:
    // A new project: empty model, no diagram, the default settings and a file name "Project"
    // + n + ".arv" of the documents folder that does not exist yet.
    explicit TVELProject(TVELClock now = {});
    // Raises the destroying notification; the versions working file goes with the archive.
    ~TVELProject() override;
    TVELProject(const TVELProject&) = delete;
    TVELProject& operator=(const TVELProject&) = delete;

    // The clock of the archive and of the dates stored by Save.
    TVELClock Now;
    // Declaration order matters: the diagrams show objects of the dictionary and are freed
    // first.
    TVELOldVersions Versions;
    TVELProjectSettings Settings;
    TVELDataDictionary DataDictionary;
    TVELDiagrams Diagrams;
    // The format version of the file as opened; "60" after a save.
    std::string FileFormatVersion;
    // Where the last conversion of an older file kept the original.
    std::string BackupFileName;
    // The list that holds the project, or nullptr.
    TVELProjects* Projects = nullptr;
    // The system calls of Save; nullptr for the real ones. Tests inject failures here.
    TVELFileOps* FileOps = nullptr;

    // ---- notifications (each optional) ----
    std::function<void()> OnFileNameChanged;
    // Receives the conversion question; the handler refuses by raising EVELError.
    std::function<void(const std::string& message)> OnConfirmConversion;
    std::function<void()> OnConversionStarting;
    std::function<void()> OnConversionFinished;
    // Whole percentages of the model loaded, each time the percentage changes.
    std::function<void(int percent)> OnLoadProgress;
    std::function<void()> OnModelLoaded;
    // After the new object received the project's defaults.
    std::function<void(TVELDatabaseObject* object)> OnObjectCreated;
    // An object being deleted whose controls are gone; it is still whole.
    std::function<void(TVELNamedObject* object)> OnObjectDeleted;
    std::function<void()> OnDestroying;
    // The target for a version-2 file; an empty answer aborts the conversion.
    std::function<std::string()> OnRequestTarget;

    const std::string& FileName() const { return fileName_; }
    // Stores a different name, keeps PROJECTFILENAME equal to it and tells the shell.
    void SetFileName(std::string_view name);

    // Loads a project file, converting a file of an older format first (the original is kept
    // under a backup name). Raises EVELError when the file cannot be read, is of no known
    // format, is damaged or the conversion is refused; the file itself is never changed.
    void Open(const std::string& fileName);
    // Writes the project file: to a temporary file in the same folder that then replaces the
    // old file, so that a failed save leaves the old file as it was. Returns true; a failure
    // raises EVELError and leaves the project as it was.
    bool Save();
    // Whether the model differs from the file: true when the file does not exist; the dates of
    // the last save and of archived versions do not count.
    bool IsModified() const;
    // Whether the project is a copy of a repository project.
    bool IsRepositoryProject() const;
    // Archives the current model (without the diagrams when dataDictionaryOnly); the file
    // keeps it from the next save on.
    TVELVersionInfo* ArchiveVersion(bool dataDictionaryOnly, std::string_view label,
                                    std::string_view comments);

    // The current model as the first VERSION element of the file has it, trimmed.
    std::string CurrentVersionElement() const;
    // The full text of the project file as Save writes it, in UTF-8 with its declaration.
    std::string FileText() const;

    // Starts the model of a new project: its target and the main diagram.
    void NewModel(std::string_view dbid);
    // Puts every entity, relationship and text area that no diagram shows onto the main
    // diagram (entities and relationships at 100,100, text areas at 10,10). Returns how many.
    int PlaceObjectsWithoutControls();
    // Sends the project header (name, dates, author, copyright, target name) to every stamp.
    void PushProjectHeader();

    // ---- header fields ----
    std::string ProjectName() const { return Settings.CommonSettings.GetValue("ProjectName"); }
    void SetProjectName(std::string_view v) { Settings.CommonSettings.SetValue("ProjectName", v); }
    std::string ProjectDescription() const { return Settings.CommonSettings.GetValue("ProjectDescription"); }
    void SetProjectDescription(std::string_view v) {
        Settings.CommonSettings.SetValue("ProjectDescription", v);
    }
    std::string Author() const { return Settings.CommonSettings.GetValue("Author"); }
    void SetAuthor(std::string_view v) { Settings.CommonSettings.SetValue("Author", v); }
    std::string CopyRight() const { return Settings.CommonSettings.GetValue("CopyRight"); }
    void SetCopyRight(std::string_view v) { Settings.CommonSettings.SetValue("CopyRight", v); }
    std::string Created() const { return Settings.CommonSettings.GetValue("Created"); }
    std::string Modified() const { return Settings.CommonSettings.GetValue("Modified"); }
    std::string LastGeneratedFiles() const { return Settings.CommonSettings.GetValue("LastGeneratedFiles"); }
    void SetLastGeneratedFiles(std::string_view v) {
        Settings.CommonSettings.SetValue("LastGeneratedFiles", v);
    }

private:
    TVELDateTime CurrentTime() const;
    void FillDefaults();
    void ApplyNewObjectDefaults(TVELDatabaseObject* object);
    void ModelObjectChanged(TVELNamedObject* object);
    // Reads the current model from the content of the first VERSION element.
    void LoadModel(std::string_view content);
    // Asks for and runs the conversion of a file of an older format; returns the converted file.
    std::string ConvertFile();
    std::string ArchivedVersionsText() const;
    // The current VERSION element in three pieces: the opening tag with the settings, the data
    // dictionary, the diagrams with the closing tag.
    std::vector<std::string> CurrentVersionPieces() const;

    std::string fileName_;
};

// The open projects, the current one and the one current before it.
class TVELProjects {
public:
    TVELProjects() = default;
    ~TVELProjects();
    TVELProjects(const TVELProjects&) = delete;
    TVELProjects& operator=(const TVELProjects&) = delete;

    // Raised whenever the current project changes.
    std::function<void()> OnChange;

    int Count() const { return static_cast<int>(projects_.size()); }
    TVELProject* Items(int index) const { return projects_.at(index).get(); }
    int IndexOf(const TVELProject* project) const;
    TVELProject* Add(std::unique_ptr<TVELProject> project);
    // Takes a project out of the list and frees it; it stops being current or previous.
    void Remove(TVELProject* project);

    TVELProject* Current() const { return current_; }
    TVELProject* Previous() const { return previous_; }
    void SetCurrent(TVELProject* project);

private:
    std::vector<std::unique_ptr<TVELProject>> projects_;
    TVELProject* current_ = nullptr;
    TVELProject* previous_ = nullptr;
};

} // namespace ardvin
