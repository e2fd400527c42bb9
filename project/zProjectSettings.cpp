#include "zProjectSettings.h"

namespace ardvin {

namespace {

// The lines of a text, broken at CR LF, LF or CR; a final line break adds no empty line.
std::vector<std::string> TextLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t brk = text.find_first_of("\r\n", start);
        if (brk == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, brk - start));
        start = brk + (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// The settings lists in the order of the file, with their element tags.
struct StoredList {
    const char* Tag;
    TVELSettingsList TVELProjectSettings::*List;
};
using S = TVELProjectSettings;
constexpr StoredList StoredLists[] = {
    {"COMMONSETTINGS", &S::CommonSettings},    {"LABELS", &S::Labels},
    {"NAMETEMPLATES", &S::NameTemplates},      {"REPOSITORYSETTINGS", &S::RepositorySettings},
    {"STOREDFILTERS", &S::StoredFilters},      {"ImpDB_DBParams", &S::ImpDBParams},
    {"ImpDB_Options", &S::ImpDBOptions},       {"GenDB_DBParams", &S::GenDBParams},
    {"GenDB_Options", &S::GenDBOptions},       {"AltDB_DBParams", &S::AltDBParams},
    {"AltDB_Options", &S::AltDBOptions},       {"UpdModel_DBParams", &S::UpdModelParams},
    {"UpdModel_Options", &S::UpdModelOptions}, {"UpdDB_DBParams", &S::UpdDBParams},
    {"UpdDB_Options", &S::UpdDBOptions},       {"CompVer_DBParams", &S::CompVerParams},
    {"CompVer_Options", &S::CompVerOptions},   {"Merge_Settings", &S::MergeSettings},
    {"Rep_Settings", &S::RepSettings},
};

bool HasElement(std::string_view tag, std::string_view text) {
    return FindTag(text, UpperCase(tag), false, 0) != std::string_view::npos;
}

} // namespace

TVELProjectSettings::TVELProjectSettings() {
    for (TVELSettingsList* options : {&UpdModelOptions, &UpdDBOptions}) {
        options->SetValue("DONOTUSESEQUENCESEED", "1");
        options->SetValue("DONOTUSEINDEXESONPK", "1");
        options->SetValue("DONOTUSEINDEXESONFK", "1");
        options->SetValue("DONOTUSEINDEXESONAK", "1");
    }
    CommonSettings.OnChange = [this](TVELSettingsList*) {
        if (OnChange) OnChange(this);
    };
}

std::string TVELProjectSettings::Write() const {
    // Text lists are stored as one text, their lines joined by CR LF.
    std::string content;
    for (const auto& stored : StoredLists) {
        content += (this->*stored.List).SaveToMarkup(stored.Tag);
        if (stored.List == &TVELProjectSettings::Labels)
            AppendElement(content, "RULESFORHIDINGATTRIBUTES", JoinStrings(RulesForHidingAttributes, CRLF));
    }
    // Passwords given to the wizards never reach the file.
    content = RemoveElements("PASSWORD", content);
    AppendElement(content, "CONGENDIRECTIVES", JoinStrings(ConGenDirectives, CRLF));
    AppendElement(content, "Filters", Filters);
    return WrapSection("PROJECTSETTINGS", content);
}

void TVELProjectSettings::Read(std::string_view text) {
    for (const auto& stored : StoredLists) {
        // Keys the element lacks keep their value, so defaults survive older files.
        TVELSettingsList read;
        read.LoadFromMarkup(ReadElement(stored.Tag, text));
        TVELSettingsList& target = this->*stored.List;
        for (int i = 0; i < read.Count(); ++i)
            target.SetValue(read.NameAt(i), read.ValueAt(i));
    }
    if (HasElement("RULESFORHIDINGATTRIBUTES", text))
        RulesForHidingAttributes = TextLines(ReadElementText("RULESFORHIDINGATTRIBUTES", text));
    if (HasElement("CONGENDIRECTIVES", text))
        ConGenDirectives = TextLines(ReadElementText("CONGENDIRECTIVES", text));
    if (HasElement("Filters", text)) Filters = ReadElementText("Filters", text);
}

void TVELProjectSettings::Assign(const TVELProjectSettings& other) {
    if (&other == this) return;
    for (const auto& stored : StoredLists)
        (this->*stored.List).Assign(other.*stored.List);
    ConGenDirectives = other.ConGenDirectives;
    RulesForHidingAttributes = other.RulesForHidingAttributes;
    Filters = other.Filters;
}

} // namespace ardvin
