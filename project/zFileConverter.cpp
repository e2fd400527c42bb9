#include "zFileConverter.h"

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>

#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zOldFormat.h"
#include "zProjectSettings.h"
#include "zRelationship.h"
#include "zTrigger.h"
#include "zVersions.h"

namespace ardvin {

namespace {

constexpr std::string_view FileHeader = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><ardvin>";

bool HasElement(std::string_view text, std::string_view tag) {
    return FindTag(text, UpperCase(tag), false, 0) != std::string_view::npos;
}

// The first element with the tag, from its open tag to the end of its close tag, as it stands
// in the text; empty when there is none or it is not closed.
std::string_view RawElement(std::string_view text, std::string_view tag) {
    const std::string upper = UpperCase(tag);
    const size_t open = FindTag(text, upper, false, 0);
    if (open == std::string_view::npos) return {};
    const size_t close = FindTag(text, upper, true, open);
    if (close == std::string_view::npos) return {};
    return text.substr(open, close + upper.size() + 3 - open);
}

// Calls each(content) for every element with the tag, each search continuing after the
// previous element.
template <class Each> void ForEachElement(std::string_view tag, std::string_view text, Each&& each) {
    size_t pos = 0;
    for (;;) {
        const size_t before = pos;
        const std::string content = ReadElement(tag, pos, text);
        if (pos == before) return;
        each(content);
    }
}

std::string ReadWholeFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EVELError("Cannot open file \"" + fileName + "\".");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteWholeFile(const std::string& fileName, std::string_view text) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw EVELError("Cannot write file \"" + fileName + "\".");
}

// Removes a file when the scope ends, unless released.
class TFileGuard {
public:
    explicit TFileGuard(std::string fileName) : fileName_(std::move(fileName)) {}
    ~TFileGuard() {
        std::error_code ec;
        if (!fileName_.empty()) std::filesystem::remove(fileName_, ec);
    }
    TFileGuard(const TFileGuard&) = delete;
    TFileGuard& operator=(const TFileGuard&) = delete;
    void Release() { fileName_.clear(); }

private:
    std::string fileName_;
};

void NameFixed(TVELNamedObject& object, std::string_view name) {
    object.NameFromTemplate = false;
    object.Name = Trim(name);
}

void NameByTemplate(TVELNamedObject& object, std::string_view nameTemplate) {
    object.NameFromTemplate = true;
    object.NameTemplate = std::string(nameTemplate);
}

// ---- the per-object conversion of files below version 40 ------------------------------------

// Older files kept the check and the default of a domain as plain texts.
void ConvertDomain(TVELDomain& domain, std::string_view markup) {
    const std::string own = RemoveFirstElements(markup, {TVELDataType::Element}, nullptr);
    domain.CheckConstraint()->Value = ReadElementText("CCON", own);
    domain.DefaultConstraint()->Value = ReadElementText("DEFVAL", own);
}

// A fixed name when the flag element says so, else the template.
void NameConstraint(TVELConstraint& constraint, std::string_view own, std::string_view flagTag,
                    std::string_view nameTag, std::string_view nameTemplate) {
    if (ReadElementBool(flagTag, own, false))
        NameFixed(constraint, ReadElementText(nameTag, own));
    else
        NameByTemplate(constraint, nameTemplate);
}

void ConvertAttribute(TVELEntity& entity, TVELAttribute& attribute, std::string_view markup) {
    const std::string own = RemoveFirstElements(markup, {TVELDataType::Element}, nullptr);
    const bool required = ReadElementBool("REQ", own, false);
    if (required) attribute.SetNotNull(true);
    const std::string check = ReadElementText("CCON", own);
    if (!Trim(check).empty()) {
        attribute.SetCheckValue(check);
        NameConstraint(*attribute.CheckConstraint(), own, "USRDEFCCON", "CCONNAME", "CC_%table%_%column%");
    }
    const std::string defaultValue = ReadElementText("DEFVAL", own);
    if (!Trim(defaultValue).empty()) {
        attribute.SetDefaultValue(defaultValue);
        NameByTemplate(*attribute.DefaultConstraint(), "DEF_%table%_%column%");
    }
    attribute.AutoNumber = ReadElementBool("SIMULATEAUTONUMBER", own, attribute.AutoNumber);
    if (ReadElementBool("PK", own, false)) attribute.SetPrimaryKey(true);
    // A key column the target forces to be not null is named like a required one.
    TVELConstraint* notNull = attribute.ExistingColumnConstraint(1);
    if (notNull && attribute.IsNotNull() && (required || notNull->NameTemplate.empty()))
        NameByTemplate(*notNull, "NN_%table%_%column%");
    if (ReadElementBool("UN", own, false)) {
        TVELConstraint* unique = entity.AddConstraint(ctUnique, clTable);
        unique->AttributeIDs.Clear();
        unique->AttributeIDs.AddID(StrToIntDef(ReadElement("ID", own), attribute.ID));
        NameConstraint(*unique, own, "USRDEFUCON", "UCONNAME", "TUC_%table%_%counter%");
    }
}

// Table constraints of older files: check constraints with their expression and unique
// constraints with their attributes. One without a name is named by the template.
void AddTableConstraints(TVELEntity& entity, std::string_view markup) {
    ForEachElement("TABLECHECKCONSTRAINT", markup, [&entity](const std::string& text) {
        TVELConstraint* check = entity.AddConstraint(ctCheck, clTable);
        check->Value = ReadElementText("CHECKCONSTRAINT", text);
        const std::string name = ReadElementText("NAME", text);
        if (Trim(name).empty())
            NameByTemplate(*check, "TCC_%table%_%counter%");
        else
            NameFixed(*check, name);
    });
    ForEachElement("TABLEUNIQUECONSTRAINT", markup, [&entity](const std::string& text) {
        TVELConstraint* unique = entity.AddConstraint(ctUnique, clTable);
        unique->AttributeIDs.LoadFromMarkup(ReadElement("ATTRIBUTEIDS", text));
        const std::string name = ReadElementText("NAME", RemoveElements("ATTRIBUTEIDS", text));
        if (Trim(name).empty())
            NameByTemplate(*unique, "TUC_%table%_%counter%");
        else
            NameFixed(*unique, name);
    });
}

void ConvertTrigger(TVELTrigger& trigger, std::string_view markup) {
    const TVELDataDictionary* dictionary = trigger.RootDictionary();
    if (!dictionary) return;
    const std::string header =
        OldTriggerHeader(dictionary->GetTarget(), StrToIntDef(ReadElement("EVENT", markup, "0"), 0));
    if (!header.empty()) trigger.Code = header + std::string(CRLF) + trigger.Code;
}

void ConvertEntity(TVELEntity& entity, std::string_view markup) {
    const std::string own =
        RemoveFirstElements(markup, {"ATTRIBUTES", "INDEXES", "TRIGGERS", "ENTITYCONTROLS"}, nullptr);
    NameConstraint(*entity.PrimaryKey, own, "USRDEFPKCONNAME", "PKCONNAME", "PK_%table%");
    AddTableConstraints(entity, markup);
    // The entity read its members in the order of their elements.
    int index = 0;
    ForEachElement("ATTR", markup, [&](const std::string& text) {
        if (TVELAttribute* attribute = entity.AttributeAt(index++)) ConvertAttribute(entity, *attribute, text);
    });
    index = 0;
    ForEachElement("TRIGGER", markup, [&](const std::string& text) {
        if (TVELTrigger* trigger = entity.TriggerAt(index++)) ConvertTrigger(*trigger, text);
    });
}

void ConvertRelationship(TVELRelationship& relationship, std::string_view markup) {
    const std::string own = RemoveFirstElements(markup, {"PAIRS", "RELATIONSHIPCONNECTORS"}, nullptr);
    if (!ReadElementBool("USERDEFRELNAME", own, false)) NameByTemplate(relationship, "%parent%_%child%");
    NameConstraint(*relationship.FKConstraint, own, "USERDEFFKCONNAME", "FKCONNAME", "%relname%");
}

// ---- pieces of a VERSION element --------------------------------------------------------------

// The data dictionary text of a version: its DATADICT element, or for files that lack one the
// version without its other parts.
std::string DictionaryText(std::string_view content) {
    if (HasElement(content, "DATADICT")) return ReadElement("DATADICT", content);
    std::string rest(content);
    for (const char* tag : {"DIAGRAMS", "PROJECTSETTINGS", "PROJECTPROPERTIES", "VERSIONINFO"})
        rest = RemoveElements(tag, rest);
    return rest;
}

// The sections of the stored diagrams that hold the controls of each control element.
struct ControlSection {
    const char* Element;
    const char* Section;
};
constexpr ControlSection ControlSections[] = {
    {"ENTC", "ENTITYCONTROLS"},         {"SUBCATC", "SUBCATEGORYCONTROLS"},
    {"TEXTC", "TEXTAREACONTROLS"},      {"STAMPC", "STAMPCONTROLS"},
    {"GROUPBOXC", "GROUPBOXESCONTROLS"}, {"RELC", "RELATIONSHIPCONNECTORS"},
    {"SUBCATEGORYCONNECTOR", "SUBCATEGORYCONNECTORS"}, {"VIEWC", "VIEWCONTROLS"},
};

// The identifier of the main diagram of a diagrams text (the first diagram flagged as main,
// else the first one); -1 when it has no diagram.
int32_t MainDiagramID(std::string_view diagrams) {
    int32_t first = -1, main = -1;
    ForEachElement("DIAGRAM", diagrams, [&](const std::string& text) {
        const int32_t id = StrToIntDef(ReadElement("ID", text, "1"), 1);
        if (first == -1) first = id;
        if (main == -1 && ReadElementBool("ISMAINDIAGRAM", text, false)) main = id;
    });
    return main != -1 ? main : first;
}

// Files below version 40 stored the controls of a model object inside the object's element.
// They move into the controls of the diagrams, each led by the identifier of its object (and
// placed on the main diagram when it names no diagram).
std::string MovedControls(std::string_view dictionary, int32_t mainDiagramID) {
    std::vector<std::string> sections(std::size(ControlSections));
    for (int type = 1; type < ObjectTypeCount; ++type) {
        const TVELObjectTypeInfo& info = ObjectTypeInfo(type);
        const std::string_view control = info.ControlElement;
        if (control.empty() || type == otTableConstraint) continue;
        size_t section = 0;
        while (section < std::size(ControlSections) && ControlSections[section].Element != control) ++section;
        if (section == std::size(ControlSections)) continue;
        ForEachElement(info.Element, dictionary, [&](const std::string& object) {
            if (!HasElement(object, control)) return;
            const std::string id = Trim(ReadElement("ID", RemoveElements(control, object)));
            ForEachElement(control, object, [&](const std::string& content) {
                std::string moved = WriteElement("ID", id);
                if (!HasElement(content, "DIAGRAMID")) AppendElement(moved, "DIAGRAMID", IntToStr(mainDiagramID));
                moved.append(CRLF).append(content);
                AppendSection(sections[section], control, moved);
            });
        });
    }
    std::string controls;
    for (size_t k = 0; k < sections.size(); ++k)
        if (!sections[k].empty()) AppendSection(controls, ControlSections[k].Section, sections[k]);
    return controls;
}

std::string ConvertDiagrams(std::string_view content, std::string_view dictionary, int version) {
    const std::string_view raw = RawElement(content, "DIAGRAMS");
    if (version >= 40 || raw.find("<ENTC>") != std::string_view::npos) {
        return raw.empty() ? std::string() : std::string(CRLF) + ReplaceAll(raw, "DISPLAYPREFERENCES", "DisplayPreferences");
    }
    std::string diagrams = ReplaceAll(ReadElement("DIAGRAMS", content), "DISPLAYPREFERENCES", "DisplayPreferences");
    int32_t main = MainDiagramID(diagrams);
    if (main == -1) {
        main = 1;
        std::string diagram = WriteElement("ID", "1");
        AppendElement(diagram, "NAME", "Main Diagram");
        AppendElement(diagram, "ISMAINDIAGRAM", "1");
        diagrams = WrapSection("DIAGRAM", diagram) + diagrams;
    }
    const std::string controls = MovedControls(dictionary, main);
    const size_t controlsEnd = FindTag(diagrams, "CONTROLS", true, 0);
    if (controlsEnd != std::string::npos)
        diagrams.insert(controlsEnd, controls + std::string(CRLF));
    else
        AppendSection(diagrams, "CONTROLS", controls);
    return WrapSection("DIAGRAMS", std::string(CRLF) + diagrams);
}

// The scripts that older files kept as elements of their own, spelt in mixed case.
constexpr const char* ScriptTags[] = {"BeginDatabaseScript",     "EndDatabaseScript",
                                      "BeginDropDatabaseScript", "EndDropDatabaseScript",
                                      "BeginAlterDatabaseScript", "EndAlterDatabaseScript"};
constexpr const char* NameTemplateKeys[] = {"PKCONNAMETEMPLATE",      "FKCONNAMETEMPLATE",
                                            "CCONNAMETEMPLATE",       "NOTNULLCONNAMETEMPLATE",
                                            "DEFAULTCONNAMETEMPLATE", "TUCONNAMETEMPLATE",
                                            "TCCONNAMETEMPLATE",      "RELNAMETEMPLATE",
                                            "INDEXNAMETEMPLATE",      "DEFAULTSCHEMANAME"};

std::string ConvertSettings(std::string_view content, int version) {
    std::string old = ReadElement(version >= 40 ? "PROJECTSETTINGS" : "PROJECTPROPERTIES", content);
    old = ReplaceAll(ReplaceAll(old, "DefTableOptions", "DEFTABLEOPTIONS"), "DefIndexOptions", "DEFINDEXOPTIONS");
    TVELProjectSettings settings;
    settings.Read(old);
    TVELSettingsList& common = settings.CommonSettings;
    if (version < 40 && !HasElement(old, "COMMONSETTINGS")) {
        // The project properties of older files are plain elements, the header fields among
        // them under names of their own.
        common.LoadFromMarkup(RemoveElements("DDSETTINGS", old));
        for (const auto& [from, to] : {std::pair{"PROJECTAUTHOR", "AUTHOR"}, std::pair{"PROJECTCOPYRIGHT", "COPYRIGHT"}}) {
            if (!common.Has(from)) continue;
            if (!common.Has(to)) common.SetValue(to, common.GetValue(from));
            common.Delete(from);
        }
    }
    for (const char* tag : ScriptTags) {
        if (!HasElement(old, tag)) continue;
        const std::string value = ReadElementText(tag, old);
        common.Delete(tag);
        common.SetValue(UpperCase(tag), value);
    }
    const std::string dictionarySettings = ReadElement("DDSETTINGS", content);
    for (const char* key : NameTemplateKeys)
        if (HasElement(dictionarySettings, key))
            settings.NameTemplates.SetValue(key, ReadElementText(key, dictionarySettings));
    return settings.Write();
}

std::string ConvertVersionInfo(std::string_view content, int version, int index, std::string_view dbid) {
    if (version >= 40) {
        if (!HasElement(content, "VERSIONINFO")) return {};
        std::string info = ReadElement("VERSIONINFO", content);
        size_t pos = 0;
        if (HasElement(info, "VERSIONDBID"))
            info = ReplaceElementContent("VERSIONDBID", pos, info, dbid);
        else
            AppendElement(info, "VERSIONDBID", dbid);
        return WrapSection("VERSIONINFO", info);
    }
    // The current model of an older file carries no description of its own.
    if (index == 0) return {};
    TVELVersionInfo info(nullptr);
    info.VersionNumber = Trim(ReadElementText("VERSIONNUMBER", content));
    if (info.VersionNumber.empty()) info.VersionNumber = IntToStr(index);
    info.VersionLabel = "Archived version " + info.VersionNumber;
    info.Comments = ReadElementText("VERSIONCOMMENTS", content);
    info.VersionDBID = std::string(dbid);
    const std::string date = ReadElementText("VERSIONDATE", content);
    const bool dated = TryParseLocalDateTime(date, info.VersionDate);
    std::string text = info.SaveToMarkup();
    size_t pos = 0;
    if (!dated) text = ReplaceElementContent("VERSIONDATE", pos, text, Trim(date));
    return WrapSection("VERSIONINFO", text);
}

} // namespace

// ---- public functions -----------------------------------------------------------------------------

std::string OldFormatBackupName(const std::string& fileName, int formatVersion) {
    const char* suffix = nullptr;
    switch (formatVersion) {
    case 20: suffix = " ardvinv2.arv"; break;
    case 30: suffix = " ardvinv3.arv"; break;
    case 40:
    case 41: suffix = " ardvinv4.arv"; break;
    case 51: suffix = " ardvinv5.arv"; break;
    default: throw EVELError("Unsupported file format.");
    }
    const std::filesystem::path path(fileName);
    const std::filesystem::path folder = path.parent_path();
    const std::filesystem::path name = path.stem().string() + suffix;
    for (int n = 1;; ++n) {
        const std::filesystem::path candidate =
            folder / (name.stem().string() + IntToStr(n) + name.extension().string());
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec)) return candidate.string();
    }
}

std::string OldTriggerHeader(std::string_view dbid, int event) {
    if (event < 0 || event > 5) return {};
    const bool before = event % 2 == 0;
    static constexpr const char* Statements[] = {"INSERT", "UPDATE", "DELETE"};
    const std::string statement = Statements[event / 2];
    const std::string when = before ? "BEFORE " : "AFTER ";
    const std::string id = LowerCase(Trim(dbid));
    auto in = [&id](std::initializer_list<std::string_view> ids) {
        for (std::string_view candidate : ids)
            if (id == candidate) return true;
        return false;
    };
    const std::string name = "%triggername%";
    const std::string table = "%quotedqualifiedtablename%";
    if (in({"mssqlserver2000", "mssqlserver6", "mssqlserver7", "sybanywhere", "sybase11", "sybase12"}))
        return "CREATE TRIGGER " + name + "\r\nON " + table + "\r\n" + (before ? "FOR " : "AFTER ") + statement + " AS";
    if (in({"oracle7", "oracle8", "oracle9"}))
        return "CREATE OR REPLACE TRIGGER " + name + "\r\n" + when + statement + " ON " + table;
    if (in({"interbase4", "interbase5", "interbase6", "interbase7"}))
        return "CREATE TRIGGER " + name + " FOR " + table + "\r\n" + when + statement + " AS BEGIN";
    if (in({"firebird15"})) return "CREATE TRIGGER " + name + " FOR " + table + "\r\n" + when + statement + " AS";
    if (in({"db2udb7", "db2udb8"}))
        return "CREATE TRIGGER " + name + "\r\n" + (before ? "NO CASCADE BEFORE " : "AFTER ") + statement + " ON " + table;
    if (in({"informix7", "informix8", "informix9"}))
        return "CREATE OR REPLACE TRIGGER " + name + "\r\n" + when + statement + " ON " + table + "\r\nFOR EACH ROW";
    if (in({"maxdb"})) return "CREATE TRIGGER " + name + " FOR " + table + "\r\n" + when + statement;
    if (in({"pervasive8", "pervasive2000i", "postgresql7"}))
        return "CREATE TRIGGER " + name + "\r\n" + when + statement + " ON " + table;
    return {};
}

void ConvertOldObject(TVELDatabaseObject* object, std::string_view markup) {
    if (auto* domain = dynamic_cast<TVELDomain*>(object))
        ConvertDomain(*domain, markup);
    else if (auto* entity = dynamic_cast<TVELEntity*>(object))
        ConvertEntity(*entity, markup);
    else if (auto* relationship = dynamic_cast<TVELRelationship*>(object))
        ConvertRelationship(*relationship, markup);
}

std::string ConvertVersionElement(std::string_view versionContent, int formatVersion, int index) {
    const std::string dictionaryText = DictionaryText(versionContent);
    TVELDataDictionary dictionary;
    if (formatVersion < 40) dictionary.OnObjectLoaded = ConvertOldObject;
    dictionary.LoadFromMarkup(dictionaryText);
    dictionary.OnObjectLoaded = nullptr;
    const std::string dbid = dictionary.GetTarget();

    std::string r = "<VERSION>";
    r += ConvertVersionInfo(versionContent, formatVersion, index, dbid);
    r += ConvertSettings(versionContent, formatVersion);
    r += dictionary.SaveToMarkup();
    r += ConvertDiagrams(versionContent, dictionaryText, formatVersion);
    r += "\r\n</VERSION>";
    return r;
}

// ---- TVELFileConverter -------------------------------------------------------------------------

TVELFileConverter::TVELFileConverter(std::string fileName, int formatVersion, std::function<std::string()> askTarget)
    : fileName_(std::move(fileName)), formatVersion_(formatVersion), askTarget_(std::move(askTarget)) {}

std::string TVELFileConverter::Convert() {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName_, ec)) throw EVELError("File \"" + fileName_ + "\" does not exist.");
    BackupFileName = OldFormatBackupName(fileName_, formatVersion_);
    std::filesystem::copy_file(fileName_, BackupFileName, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) throw EVELError("Cannot copy file \"" + fileName_ + "\" to \"" + BackupFileName + "\".");

    std::string source = ReadWholeFile(fileName_);
    int version = formatVersion_;
    std::optional<TFileGuard> intermediate; // the markup made of a version-2 file
    if (version == 20) {
        const std::string dbid = askTarget_ ? Trim(askTarget_()) : std::string();
        if (dbid.empty()) throw EVELError("Conversion aborted by user.");
        TVELOldFormat oldFormat(dbid, DefinitionsFolder);
        oldFormat.OnQuestion = OnQuestion;
        oldFormat.OnStatus = OnStatus;
        source = oldFormat.Convert(source);
        const std::string markupFile = CreateTemporaryFile("arvconvert", ".acf");
        intermediate.emplace(markupFile);
        WriteWholeFile(markupFile, source);
        version = 30;
    }

    const std::string target = CreateTemporaryFile("arvconvert", ".acf");
    TFileGuard removeOnFailure(target);
    std::string out(FileHeader);
    out.append(CRLF).append("<FILEFORMATVERSION>60</FILEFORMATVERSION>").append(CRLF);
    int index = 0;
    try {
        ForEachElement("VERSION", source, [&](const std::string& content) {
            out += ConvertVersionElement(content, version, index);
            if (index > 0) out.append(CRLF);
            ++index;
        });
    } catch (const EVELError&) {
        throw;
    } catch (const std::exception& e) {
        throw EVELError("File conversion error. " + std::string(e.what()));
    }
    if (index == 0) throw EVELError("File conversion error. The file \"" + fileName_ + "\" holds no project version.");
    out.append(CRLF).append("</ardvin>");
    WriteWholeFile(target, out);
    removeOnFailure.Release();
    return target;
}

} // namespace ardvin
