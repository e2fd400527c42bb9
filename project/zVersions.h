// The archive of earlier versions of a project's model. The archived VERSION elements are kept
// in a working file in the temporary folder while the project is open; only their descriptions
// are held in memory.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zNamedObject.h"

namespace ardvin {

class TVELDataDictionary;

using TVELDateTime = std::chrono::system_clock::time_point;
// The source of the current time; tests replace it to get fixed dates.
using TVELClock = std::function<TVELDateTime()>;

// Creates the first free "<stem><n><extension>" (n from 1) of the system's temporary folder,
// empty, and returns its name.
std::string CreateTemporaryFile(std::string_view stem, std::string_view extension);

// Local date as "yyyy-mm-dd" and local date and time as "yyyy-mm-dd hh:mm".
std::string FormatLocalDate(TVELDateTime time);
std::string FormatLocalDateTime(TVELDateTime time);
// The moment of a local date and time; out-of-range fields carry over (month 13 is January).
TVELDateTime LocalDateTime(int year, int month, int day, int hour, int minute);
// Reads "yyyy-mm-dd hh:mm" (or "yyyy-mm-dd") as a local time; false for any other text.
bool TryParseLocalDateTime(std::string_view text, TVELDateTime& time);

// The first entry of version choosers, standing for the current model.
inline constexpr std::string_view CurrentVersionEntry = "[  current version  ]";

enum TVELVersionType : uint8_t {
    vtDiagramsAndDictionary = 0,
    vtDictionaryOnly = 1, // no diagrams
};

class TVELVersionInfo : public TVELNamedObject {
public:
    explicit TVELVersionInfo(TVELPersistent* owner) : TVELNamedObject(owner) {}
    VEL_DECLARE_CREATE(TVELVersionInfo)

    std::string VersionLabel; // never empty; unique among the versions not deleted
    std::string Comments;
    TVELDateTime VersionDate{};
    std::string VersionNumber; // a whole number: "1", "2", ...
    uint8_t VersionType = vtDiagramsAndDictionary;
    std::string VersionDBID; // the target of the archived data dictionary
    bool Deleted = false;    // a deleted version is ignored by every lookup and not written back
    // Where the version's VERSION element begins in the working file of its list; -1 for none.
    int64_t WorkingFileOffset = -1;

    std::string VersionTypeText() const;        // VERSIONTYPE: empty or "DB"
    std::string VersionTypeDescription() const; // VERSIONTYPEDESC

    std::string GetDisplayName() const override { return VersionLabel; }
    // "VersionNumber", "VersionLabel", "VersionDate", "VersionType" (its description) and
    // "Comments"; only the label and the comments can be set.
    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    // The content of the VERSIONINFO element.
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

class TVELOldVersions : public TVELNamedObjectsList {
public:
    // Creates the working file, empty, as the first free "arvversions<n>.avf" of the
    // temporary folder.
    explicit TVELOldVersions(TVELClock now = {});
    // Deletes the working file.
    ~TVELOldVersions() override;

    TVELClock Now;

    const std::string& WorkingFileName() const { return workingFile_; }
    TVELVersionInfo* Version(int index) const { return static_cast<TVELVersionInfo*>(Items(index)); }

    // Replaces the list by the archived versions of a project file: every VERSION element but
    // the first is described in the list and appended to the working file. Elements cut off
    // by a damaged end of the file are left out.
    void LoadFromProjectFile(const std::string& fileName);
    // The same for a project file already read: the contents of its archived VERSION elements,
    // in file order.
    void LoadFromElements(const std::vector<std::string_view>& archived);
    // Writes the archived versions to a project file being saved: every element of the working
    // file whose version is in the list and not deleted, with its VERSIONINFO written anew
    // from the list entry, each as "<VERSION>", content, "</VERSION>", CR LF.
    void WriteToProjectFile(std::ostream& out) const;

    // A new version description, not yet in the list: the next number, the label
    // "Version yyyy-mm-dd" of today made unique, dated now.
    std::unique_ptr<TVELVersionInfo> NewVersion();
    // Archives the current model, given as the PROJECTSETTINGS, DATADICT and DIAGRAMS elements
    // (the diagrams are left out for vtDictionaryOnly), and its target. An empty label takes
    // the new version's default label. Returns the version added to the list.
    TVELVersionInfo* Archive(uint8_t type, std::string_view label, std::string_view comments,
                             std::string_view dbid, std::string_view settingsMarkup,
                             std::string_view dictionaryMarkup, std::string_view diagramsMarkup);
    // The base itself when no version has it, else base + " " + n for the first free n.
    std::string UniqueLabel(std::string_view base) const;

    TVELVersionInfo* FindByNumber(std::string_view number) const;
    TVELVersionInfo* FindByLabel(std::string_view label) const;
    std::string LabelOfVersion(std::string_view number) const; // empty when not found
    // The content of the version's VERSION element; raises EVELError for an unknown number.
    std::string VersionText(std::string_view number) const;
    // Loads the DATADICT of a version into target; with an empty number target becomes a copy
    // of the current model.
    void LoadVersionDataDictionary(std::string_view number, TVELDataDictionary& target,
                                   const TVELDataDictionary& current) const;
    // The versions not deleted, highest number first.
    std::vector<TVELVersionInfo*> SortedVersions() const;
    // Their labels in that order, after CurrentVersionEntry when asked for.
    std::vector<std::string> VersionLabels(bool withCurrentVersion) const;
    void DeleteVersion(std::string_view number);
    void DeleteAll();

private:
    TVELDateTime CurrentTime() const;
    // Appends a version's element to the working file and returns where it begins.
    int64_t AppendToWorkingFile(std::string_view content);
    // The content of the VERSION element that begins at offset in the working file.
    bool ReadVersionElement(int64_t offset, std::string& content) const;
    // Describes an archived version in the list and appends it to the working file.
    void AddArchived(std::string_view content);
    std::string workingFile_;
};

} // namespace ardvin
