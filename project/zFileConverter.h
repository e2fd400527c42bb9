// Conversion of project files written by earlier releases (format versions 20 to 51) into the
// current form. The converter copies the file to a backup, turns a version-2 marker file into
// markup first (TVELOldFormat), then rewrites every VERSION element - the current model and
// each archived version - into a temporary file that the project loads instead of the
// original. The original file changes only when the user saves the project.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ardvin {

class TVELDatabaseObject;

class TVELFileConverter {
public:
    // formatVersion is the file's format version as a whole number (20, 30, 40, 41, 51).
    // askTarget answers the target id for a version-20 file; an empty answer (or no handler)
    // aborts with "Conversion aborted by user.".
    TVELFileConverter(std::string fileName, int formatVersion, std::function<std::string()> askTarget);

    // Copies the file to its backup name (overwriting), converts it and returns the name of
    // the converted temporary file, the first free "arvconvert<n>.acf" of the temporary
    // folder. Raises EVELError when the file is missing, unreadable or holds no version.
    std::string Convert();
    std::string BackupFileName; // set by Convert

    // Optional handlers of a version-2 conversion: a yes/no question (which entity of a 1:1
    // or 0:1 relationship is the parent; true means yes) and status texts. Without a question
    // handler the first entity of such a relationship is taken as its parent.
    std::function<bool(const std::string& question)> OnQuestion;
    std::function<void(const std::string& text)> OnStatus;
    // The folder holding the targets' ".typ" files that a version-2 conversion requires;
    // empty means the folder of the registry of installed targets.
    std::string DefinitionsFolder;

private:
    std::string fileName_;
    int formatVersion_;
    std::function<std::string()> askTarget_;
};

// The backup name of an older file: folder + name without extension + the version's suffix,
// made unique with a counter (shop.arv of version 51 gives "shop ardvinv51.arv", or
// "shop ardvinv52.arv" when that exists). Raises EVELError for a version without suffix.
std::string OldFormatBackupName(const std::string& fileName, int formatVersion);

// Converts the content of one VERSION element of a file of the given format version (below
// 60) and returns the new element, "<VERSION>" ... "</VERSION>". index is the element's
// position in its file: 0 for the current model, 1 and up for archived versions.
std::string ConvertVersionElement(std::string_view versionContent, int formatVersion, int index);

// The per-object conversion of files below version 40, applied to an object just loaded from
// its old element text (fit for TVELDataDictionary::OnObjectLoaded).
void ConvertOldObject(TVELDatabaseObject* object, std::string_view markup);

// The header that older files left to be generated from a trigger's event (0 before insert,
// 1 after insert, 2 before update, 3 after update, 4 before delete, 5 after delete) for the
// family of the target; empty for targets whose triggers had no generated header.
std::string OldTriggerHeader(std::string_view dbid, int event);

} // namespace ardvin
