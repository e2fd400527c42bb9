// The stored settings of a project: header fields, name templates, labels, repository
// bookkeeping, filters and the last parameters and options of every database wizard. They are
// kept as the PROJECTSETTINGS element of every VERSION element of a project file.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "zXMLUtils.h"

namespace ardvin {

class TVELProjectSettings {
public:
    TVELProjectSettings();
    // The change notification of the common settings refers to this object.
    TVELProjectSettings(const TVELProjectSettings&) = delete;
    TVELProjectSettings& operator=(const TVELProjectSettings&) = delete;

    TVELSettingsList CommonSettings;     // COMMONSETTINGS: header fields, print settings, scripts
    TVELSettingsList Labels;             // LABELS
    TVELSettingsList NameTemplates;      // NAMETEMPLATES: name templates, default schema name
    TVELSettingsList RepositorySettings; // REPOSITORYSETTINGS
    // The last connection parameters and options of the database wizards.
    TVELSettingsList ImpDBParams;                      // ImpDB_DBParams
    TVELSettingsList ImpDBOptions;                     // ImpDB_Options
    TVELSettingsList GenDBParams;                      // GenDB_DBParams
    TVELSettingsList GenDBOptions;                     // GenDB_Options
    TVELSettingsList AltDBParams;                      // AltDB_DBParams
    TVELSettingsList AltDBOptions;                     // AltDB_Options
    TVELSettingsList UpdModelParams;                   // UpdModel_DBParams
    TVELSettingsList UpdModelOptions;                  // UpdModel_Options
    TVELSettingsList UpdDBParams;                      // UpdDB_DBParams
    TVELSettingsList UpdDBOptions;                     // UpdDB_Options
    TVELSettingsList CompVerParams;                    // CompVer_DBParams
    TVELSettingsList CompVerOptions;                   // CompVer_Options
    TVELSettingsList MergeSettings;                    // Merge_Settings
    TVELSettingsList RepSettings;                      // Rep_Settings
    TVELSettingsList StoredFilters;                    // STOREDFILTERS: named filters
    std::vector<std::string> ConGenDirectives;         // CONGENDIRECTIVES, one directive per line
    std::vector<std::string> RulesForHidingAttributes; // RULESFORHIDINGATTRIBUTES, one rule per line
    std::string Filters;                               // FILTERS: the current filter text

    // Raised by every change of the common settings.
    std::function<void(TVELProjectSettings* sender)> OnChange;

    // The PROJECTSETTINGS element. Every PASSWORD element of the settings lists is left out.
    std::string Write() const;
    // Reads the PROJECTSETTINGS element (or its content). Keys found are set in their lists,
    // keys the text lacks keep their value; a missing element leaves its member unchanged.
    void Read(std::string_view text);
    void Assign(const TVELProjectSettings& other);
};

} // namespace ardvin
