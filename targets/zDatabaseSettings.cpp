#include "zDatabaseSettings.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <variant>

namespace ardvin {

namespace fs = std::filesystem;

namespace {

const char* const TargetTypeTexts[] = {"SQL",
                                       "dBase",
                                       "Paradox",
                                       "DBISAM3",
                                       "MS Access 97",
                                       "MS Access 2000",
                                       "MS Access 2003",
                                       "FoxPro",
                                       "Clipper",
                                       "DBISAM4",
                                       "Database Independent"};

const char* const TextFormatTexts[] = {"Mixed case", "Upper case", "Lower case", "First char upper case",
                                       "First char after \"_\" upper case"};

const char* const PrefixKindNames[] = {"Entity", "Index", "Trigger", "Sequence", "View"};

struct RefIntLetter {
    char Letter;
    TRefIntAction Action;
};
const RefIntLetter RefIntLetters[] = {{'R', TRefIntAction::Restrict},
                                      {'C', TRefIntAction::Cascade},
                                      {'N', TRefIntAction::SetNull},
                                      {'D', TRefIntAction::SetDefault}};

struct ParamLabelPair {
    const char* Name;
    const char* Label;
};
const ParamLabelPair ParamLabels[] = {
    {"SERVERNAME", "Server name"},
    {"CONFIGFILE", "Configuration file"},
    {"DATABASENAME", "Database name"},
    {"HOST", "Host"},
    {"PORT", "Port"},
    {"AUTHENTICATIONMODE", "Authentication mode"},
    {"TNSNAME", "TNS name"},
    {"DATABASEDIRECTORY", "Database directory"},
    {"DATABASEFILE", "Database file"},
    {"USERNAME", "User name"},
    {"PASSWORD", "Password"},
    {"FILTERBYOWNER", "Filter by owner"},
    {"SCHEMANAME", "Schema/owner"},
    {"SQLCREATEFILE", "SQL create file"},
    {"SQLDROPFILE", "SQL drop file"},
    {"SQLMODIFYFILE", "SQL modify file"},
    {"CONNECTIONTYPE", "Connection type"},
};

using S = TVELDatabaseSettings;

// A template whose line breaks are written as "#13#10".
struct MultiLine {
    std::string S::*Field;
};

using FieldRef = std::variant<std::string S::*, MultiLine, bool S::*, int32_t S::*, uint8_t S::*,
                              std::vector<std::string> S::*, TTextFormat S::*, std::set<TPrefixKind> S::*,
                              std::set<TRefIntAction> S::*>;

struct KeyDef {
    const char* Section;
    const char* Key;
    FieldRef Field;
};

// Every key of a definition, in the order it is read and written.
const KeyDef KeyDefs[] = {
    {"general", "dbmsname", &S::DBMSName},
    {"general", "targettype", &S::TargetType},
    {"general", "drivername", &S::DriverName},
    {"general", "reservedwordsfile", &S::ReservedWordsFile},
    {"general", "keywordsfile", &S::KeywordsFile},
    {"general", "comparisonrulesfile", &S::ComparisonRulesFile},
    {"general", "invalidobjectnamechars", &S::InvalidObjectNameChars},
    {"general", "precisionincludescale", &S::PrecisionIncludeScale},
    {"general", "dbdateformat", &S::DBDateFormat},
    {"general", "dbtimeformat", &S::DBTimeFormat},
    {"scriptelements", "BLOCKCOMMENTBEGIN", &S::BlockCommentBegin},
    {"scriptelements", "BLOCKCOMMENTEND", &S::BlockCommentEnd},
    {"scriptelements", "AddTerminatorAfterBlockComment", &S::AddTerminatorAfterBlockComment},
    {"scriptelements", "LINECOMMENT", &S::LineComment},
    {"scriptelements", "QUOTE", &S::Quote},
    {"scriptelements", "DELIMITERDDLBEGIN", &S::DelimiterDDLBegin},
    {"scriptelements", "DELIMITERDDLEND", &S::DelimiterDDLEnd},
    {"scriptelements", "DELIMITERDMLBEGIN", &S::DelimiterDMLBegin},
    {"scriptelements", "DELIMITERDMLEND", &S::DelimiterDMLEnd},
    {"scriptelements", "TERMINATOR", &S::Terminator},
    {"scriptelements", "BLOCKTERMINATOR", &S::BlockTerminator},
    {"scriptelements", "commit", &S::Commit},
    {"scriptelements", "internaltextformat", &S::InternalTextFormat},
    {"prefixes", "applyprefixto", &S::ApplyPrefixTo},
    {"reverseengineering", "getdatabasenamessupported", &S::GetDatabaseNamesSupported},
    {"reverseengineering", "renativeimporteravailable", &S::RENativeImporterAvailable},
    {"reverseengineering", "redbparams", &S::REDBParams},
    {"reverseengineering", "refilefilter", &S::REFileFilter},
    {"reverseengineering", "reInfoText", &S::REInfoText},
    {"reverseengineering", "defaultschema", &S::DefaultSchema},
    {"forwardengineering", "fedbparams", &S::FEDBParams},
    {"forwardengineering", "fefilefilter", &S::FEFileFilter},
    {"forwardengineering", "feinfotext", &S::FEInfoText},
    {"modifydatabase", "moddbparams", &S::ModDBParams},
    {"modifydatabase", "modfilefilter", &S::ModFileFilter},
    {"modifydatabase", "modinfotext", &S::ModInfoText},
    {"keybehaviour", "pkautoindexed", &S::PKAutoIndexed},
    {"keybehaviour", "fkautoindexed", &S::FKAutoIndexed},
    {"keybehaviour", "pkalwaysnotnull", &S::PKAlwaysNotNull},
    {"keybehaviour", "uniquealwaysnotnull", &S::UniqueAlwaysNotNull},
    {"keybehaviour", "pkimplicitunique", &S::PKImplicitUnique},
    {"keybehaviour", "autonumberalwaysindexed", &S::AutonumberAlwaysIndexed},
    {"keybehaviour", "autonumberalwayspk", &S::AutonumberAlwaysPK},
    {"keybehaviour", "autonumberalwaysnotnull", &S::AutonumberAlwaysNotNull},
    {"keybehaviour", "pkontop", &S::PKOnTop},
    {"keybehaviour", "fkonlytopk", &S::FKOnlyToPK},
    {"namelengths", "maxtablenamelength", &S::MaxTableNameLength},
    {"namelengths", "maxcolumnnamelength", &S::MaxColumnNameLength},
    {"namelengths", "maxindexnamelength", &S::MaxIndexNameLength},
    {"namelengths", "maxdomainnamelength", &S::MaxDomainNameLength},
    {"namelengths", "maxtriggernamelength", &S::MaxTriggerNameLength},
    {"namelengths", "maxsequencenamelength", &S::MaxSequenceNameLength},
    {"namelengths", "maxprocedurenamelength", &S::MaxProcedureNameLength},
    {"namelengths", "maxviewnamelength", &S::MaxViewNameLength},
    {"namelengths", "maxconstraintnamelength", &S::MaxConstraintNameLength},
    {"supported", "enableindexes", &S::EnableIndexes},
    {"supported", "enablerefint", &S::EnableRefInt},
    {"supported", "enabledomains", &S::EnableDomains},
    {"supported", "enabletriggers", &S::EnableTriggers},
    {"supported", "enablesequences", &S::EnableSequences},
    {"supported", "enableviews", &S::EnableViews},
    {"supported", "enableprocedures", &S::EnableProcedures},
    {"supported", "enablerules", &S::EnableRules},
    {"supported", "enabletableoptions", &S::EnableTableOptions},
    {"supported", "enableattributeoptions", &S::EnableAttributeOptions},
    {"supported", "enableindexoptions", &S::EnableIndexOptions},
    {"supported", "enableindexexpressions", &S::EnableIndexExpressions},
    {"supported", "enablerelationships", &S::EnableRelationships},
    {"supported", "enablepkconstraintnames", &S::EnablePKConstraintNames},
    {"supported", "enablepkconstraintoptions", &S::EnablePKConstraintOptions},
    {"supported", "enablefkconstraintnames", &S::EnableFKConstraintNames},
    {"supported", "enablefkconstraintoptions", &S::EnableFKConstraintOptions},
    {"supported", "enableuniqueconstraintnames", &S::EnableUniqueConstraintNames},
    {"supported", "enableuniqueconstraintoptions", &S::EnableUniqueConstraintOptions},
    {"supported", "enablechecktableconstraintnames", &S::EnableCheckTableConstraintNames},
    {"supported", "enablechecktableconstraintoptions", &S::EnableCheckTableConstraintOptions},
    {"supported", "enablecheckcolumnconstraintnames", &S::EnableCheckColumnConstraintNames},
    {"supported", "enablecheckcolumnconstraintoptions", &S::EnableCheckColumnConstraintOptions},
    {"supported", "enablenotnullconstraintnames", &S::EnableNotNullConstraintNames},
    {"supported", "enablenotnullconstraintoptions", &S::EnableNotNullConstraintOptions},
    {"supported", "enabledefaultconstraintnames", &S::EnableDefaultConstraintNames},
    {"supported", "enabledefaultconstraintoptions", &S::EnableDefaultConstraintOptions},
    {"supported", "enabletableconstraints", &S::EnableTableConstraints},
    {"supported", "enableschemas", &S::EnableSchemas},
    {"supported", "enablecolumncollate", &S::EnableColumnCollate},
    {"supported", "enablebeginendtablescripts", &S::EnableBeginEndTableScripts},
    {"supported", "enablebeginendscripts", &S::EnableBeginEndScripts},
    {"supported", "enableupdatedatabase", &S::EnableUpdateDatabase},
    {"supported", "enableupdatemodel", &S::EnableUpdateModel},
    {"supported", "enabletablecomments", &S::EnableTableComments},
    {"supported", "enablecolumncomments", &S::EnableColumnComments},
    {"supported", "enablesequencecomments", &S::EnableSequenceComments},
    {"supported", "enableprocedurecomments", &S::EnableProcedureComments},
    {"supported", "enablerulecomments", &S::EnableRuleComments},
    {"supported", "enableviewcomments", &S::EnableViewComments},
    {"supported", "pkclustering", &S::PKClustering},
    {"indexes", "idxordercodes", &S::IdxOrderCodes},
    {"indexes", "idxcolumnordercodes", &S::IdxColumnOrderCodes},
    {"indexes", "idxtypecodes", &S::IdxTypeCodes},
    {"indexes", "idxcasecodes", &S::IdxCaseCodes},
    {"indexes", "idxcompressioncodes", &S::IdxCompressionCodes},
    {"indexes", "idxclustering", &S::IdxClustering},
    {"schemas", "schemalabel", &S::SchemaLabel},
    {"schemas", "schemaslabel", &S::SchemasLabel},
    {"sequences", "seqlabel", &S::SeqLabel},
    {"sequences", "seqslabel", &S::SeqsLabel},
    {"sequences", "EnableSeqIncrement", &S::EnableSeqIncrement},
    {"sequences", "EnableSeqMin", &S::EnableSeqMin},
    {"sequences", "EnableSeqMax", &S::EnableSeqMax},
    {"sequences", "EnableSeqCache", &S::EnableSeqCache},
    {"sequences", "EnableSeqIntegerType", &S::EnableSeqIntegerType},
    {"sequences", "seqcyclecodes", &S::SeqCycleCodes},
    {"sequences", "seqordercodes", &S::SeqOrderCodes},
    {"sequences", "seqcachecodes", &S::SeqCacheCodes},
    {"sequences", "seqintegertypes", &S::SeqIntegerTypes},
    {"rules", "ruletypes", &S::RuleTypes},
    {"triggers", "autonumbertriggertemplate", MultiLine{&S::AutonumberTriggerTemplate}},
    {"autonumber", "autoinclabel", &S::AutoIncLabel},
    {"autonumber", "simulateautonumber", &S::SimulateAutonumber},
    {"autonumber", "autonumberdefaulttemplate", MultiLine{&S::AutonumberDefaultTemplate}},
    {"refint", "refintondelete", &S::RefIntOnDelete},
    {"refint", "refintonupdate", &S::RefIntOnUpdate},
};

const char* const SQLCommandsSection = "sqlcommands";

// The values of a definition without a file: the source of every default.
const TVELDatabaseSettings& Defaults() {
    static const TVELDatabaseSettings defaults;
    return defaults;
}

template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

// Whole-number values of booleans and integers; other texts are rejected.
bool ParseNumber(std::string_view text, int32_t& value) {
    return TryStrToInt(text, value);
}

std::string FromFileLineBreaks(std::string_view text) {
    return ReplaceAll(text, "#13#10", CRLF);
}

std::string ToFileLineBreaks(std::string_view text) {
    std::string r = ReplaceAll(text, CRLF, "#13#10");
    r = ReplaceAll(r, "\n", "#13#10");
    return ReplaceAll(r, "\r", "#13#10");
}

// Cuts a UTF-8 text to at most maxChars characters without splitting one.
std::string CutChars(std::string_view text, size_t maxChars) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue; // continuation byte
        if (chars == maxChars) return std::string(text.substr(0, i));
        ++chars;
    }
    return std::string(text);
}

bool HasFolderPart(std::string_view fileName) {
    return fileName.find_first_of("/\\") != std::string_view::npos;
}

// Reads a text file; false when it is not a readable regular file.
bool ReadTextFile(const std::string& fileName, std::string& text) {
    std::error_code ec;
    if (!fs::is_regular_file(fileName, ec)) return false;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return false;
    text = std::move(s).str();
    return true;
}

// The lines of a text: CR LF, LF or CR end a line; a leading UTF-8 byte order mark is skipped.
std::vector<std::string_view> SplitLines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return lines;
}

// Adds "name=value" (or a name alone) unless the name is already there: the first one wins.
void AddParam(TVELSettingsList& list, std::string_view item) {
    const size_t eq = item.find('=');
    const std::string name = Trim(item.substr(0, eq));
    if (name.empty() || list.Has(name)) return;
    list.SetValue(name, eq == std::string_view::npos ? std::string() : Trim(item.substr(eq + 1)));
}

void AddParams(std::string_view text, TVELSettingsList& list) {
    for (const auto& item : SplitString(text, ';'))
        if (!Trim(item).empty()) AddParam(list, item);
}

} // namespace

// ---- enumerations ------------------------------------------------------------------------------

TTargetType TargetTypeFromText(std::string_view text) {
    for (size_t i = 0; i < std::size(TargetTypeTexts); ++i)
        if (SameText(text, TargetTypeTexts[i])) return static_cast<TTargetType>(i);
    return TTargetType::SQL;
}

std::string TargetTypeText(TTargetType type) {
    const auto i = static_cast<size_t>(type);
    return i < std::size(TargetTypeTexts) ? TargetTypeTexts[i] : TargetTypeTexts[0];
}

TTextFormat TextFormatFromText(std::string_view text) {
    for (size_t i = 0; i < std::size(TextFormatTexts); ++i)
        if (text == TextFormatTexts[i]) return static_cast<TTextFormat>(i);
    return TTextFormat::MixedCase;
}

std::string TextFormatText(TTextFormat format) {
    const auto i = static_cast<size_t>(format);
    return i < std::size(TextFormatTexts) ? TextFormatTexts[i] : TextFormatTexts[0];
}

std::set<TPrefixKind> PrefixKindsFromText(std::string_view text) {
    std::set<TPrefixKind> kinds;
    for (const auto& item : SplitString(text, ';'))
        for (size_t i = 0; i < std::size(PrefixKindNames); ++i)
            if (SameText(item, PrefixKindNames[i])) kinds.insert(static_cast<TPrefixKind>(i));
    return kinds;
}

std::string PrefixKindsText(const std::set<TPrefixKind>& kinds) {
    std::vector<std::string> names;
    for (TPrefixKind kind : kinds)
        names.emplace_back(PrefixKindNames[static_cast<size_t>(kind)]);
    return JoinStrings(names, ";");
}

std::set<TRefIntAction> RefIntActionsFromText(std::string_view text) {
    std::set<TRefIntAction> actions{TRefIntAction::None};
    for (const auto& l : RefIntLetters)
        if (text.find(l.Letter) != std::string_view::npos) actions.insert(l.Action);
    return actions;
}

std::string RefIntActionsText(const std::set<TRefIntAction>& actions) {
    std::string text;
    for (const auto& l : RefIntLetters)
        if (actions.count(l.Action)) text += l.Letter;
    return text;
}

size_t TTextHash::operator()(std::string_view s) const noexcept {
    size_t h = 14695981039346656037ull; // FNV-1a over the upper-cased bytes
    for (char c : s) {
        h ^= static_cast<unsigned char>(UpperChar(c));
        h *= 1099511628211ull;
    }
    return h;
}

// ---- TIniDocument ------------------------------------------------------------------------------

std::string TIniDocument::KeyOf(std::string_view section, std::string_view key) {
    std::string k = UpperCase(Trim(section));
    k += '\x1F';
    k += UpperCase(Trim(key));
    return k;
}

void TIniDocument::LoadFromText(std::string_view text, const std::string& fileName,
                                std::vector<std::string>* warnings) {
    lines_.clear();
    values_.clear();
    auto warn = [&](int lineNr, const char* what, std::string_view line) {
        if (!warnings) return;
        std::string shown = CutChars(line, 60);
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < ' ') c = '?';
        warnings->push_back(Format("%s:%d: %s \"%s\"", fileName.c_str(), lineNr, what, shown.c_str()));
    };
    std::string section;
    bool inSection = false;
    int lineNr = 0;
    for (std::string_view raw : SplitLines(text)) {
        ++lineNr;
        Line line{std::string(raw), section, {}};
        const std::string trimmed = Trim(raw);
        if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') {
            lines_.push_back(std::move(line));
            continue;
        }
        if (raw.find('\0') != std::string_view::npos) {
            warn(lineNr, "ignored malformed line", raw);
        } else if (trimmed[0] == '[') {
            // Whatever follows the closing bracket is ignored.
            const size_t close = trimmed.find(']');
            const std::string name = close == std::string::npos ? "" : Trim(trimmed.substr(1, close - 1));
            if (name.empty()) {
                warn(lineNr, "ignored malformed section header", raw);
                inSection = false; // keys up to the next header would land in the wrong place
            } else {
                section = UpperCase(name);
                line.Section = section;
                inSection = true;
            }
        } else if (const size_t eq = trimmed.find('='); eq == std::string::npos || eq == 0) {
            warn(lineNr, "ignored malformed line", raw);
        } else if (!inSection) {
            warn(lineNr, "ignored key outside of a section", raw);
        } else {
            line.Key = UpperCase(Trim(trimmed.substr(0, eq)));
            values_.try_emplace(KeyOf(section, line.Key), Value{Trim(trimmed.substr(eq + 1)), lineNr});
        }
        lines_.push_back(std::move(line));
    }
}

bool TIniDocument::LoadFromFile(const std::string& fileName, std::vector<std::string>* warnings) {
    std::string text;
    const bool ok = ReadTextFile(fileName, text);
    LoadFromText(text, fileName, warnings);
    return ok;
}

bool TIniDocument::Has(std::string_view section, std::string_view key) const {
    return values_.count(KeyOf(section, key)) != 0;
}

std::string TIniDocument::ReadString(std::string_view section, std::string_view key,
                                     std::string_view def) const {
    auto it = values_.find(KeyOf(section, key));
    return it == values_.end() ? std::string(def) : it->second.Text;
}

int TIniDocument::LineOf(std::string_view section, std::string_view key) const {
    auto it = values_.find(KeyOf(section, key));
    return it == values_.end() ? 0 : it->second.LineNr;
}

void TIniDocument::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::string v(value);
    std::replace(v.begin(), v.end(), '\r', ' ');
    std::replace(v.begin(), v.end(), '\n', ' ');
    const std::string upSection = UpperCase(Trim(section));
    const std::string upKey = UpperCase(Trim(key));
    auto it = values_.find(KeyOf(section, key));
    if (it != values_.end()) {
        // The line the value came from is the first key line of that name in that section;
        // it keeps the key as spelled there.
        for (Line& line : lines_)
            if (line.Section == upSection && line.Key == upKey) {
                line.Text = Trim(line.Text.substr(0, line.Text.find('='))) + "=" + v;
                break;
            }
        it->second.Text = Trim(v);
        return;
    }
    // After the last key line of the section (its first header when the section has no key).
    size_t insertAt = lines_.size();
    bool found = false;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].Section == upSection && (!lines_[i].Key.empty() || !found)) {
            insertAt = i + 1;
            found = true;
        }
    if (!found) {
        if (!lines_.empty() && !Trim(lines_.back().Text).empty()) lines_.push_back(Line{"", upSection, {}});
        lines_.push_back(Line{"[" + std::string(Trim(section)) + "]", upSection, {}});
        insertAt = lines_.size();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  Line{Trim(key) + "=" + v, upSection, upKey});
    values_.emplace(KeyOf(section, key), Value{Trim(v), 0});
}

std::string TIniDocument::SaveToText() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.Text;
        text += CRLF;
    }
    return text;
}

void TIniDocument::SaveToFile(const std::string& fileName) const {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (out) {
        out << SaveToText();
        out.close();
    }
    if (out.fail()) throw EVELError(Format("Unable to write file \"%s\".", fileName.c_str()));
}

// ---- TVELDatabaseSettings: loading and saving --------------------------------------------------

const std::vector<std::string>& TVELDatabaseSettings::SQLCommandNames() {
    static const std::vector<std::string> names = {
        "SQLCreateTable",
        "SQLCreateColumn",
        "SQLCreateIndex",
        "SQLCreateUniqueConstraint",
        "SQLCreatePKConstraint",
        "SQLCreateFKConstraint",
        "SQLCreateDefaultConstraint",
        "SQLCreateNotNullConstraint",
        "SQLCreateCheckConstraint",
        "SQLIndexColumn",
        "SQLCreateDomain",
        "SQLCreateType",
        "SQLCreateTrigger",
        "SQLCreateSequence",
        "SQLCreateProcedure",
        "SQLCreateView",
        "SQLCreateRule",
        "SQLCreateTempTable",
        "SQLBeforeInsertData",
        "SQLAfterInsertData",
        "SQLCopyData",
        "SQLCreateTempTableColumn",
        "SQLDropTable",
        "SQLDropColumn",
        "SQLDropConstraint",
        "SQLDropPKConstraint",
        "SQLDropFKConstraint",
        "SQLDropUniqueConstraint",
        "SQLDropCheckConstraint",
        "SQLDropNotNullConstraint",
        "SQLDropDefaultConstraint",
        "SQLDropUnnamedColumnCheck",
        "SQLDropIndex",
        "SQLDropDomain",
        "SQLDropType",
        "SQLDropTrigger",
        "SQLDropSequence",
        "SQLDropProcedure",
        "SQLDropRule",
        "SQLDropView",
        "SQLDropTableComment",
        "SQLDropColumnComment",
        "SQLAddColumn",
        "SQLAddCheckConstraint",
        "SQLAddUniqueConstraint",
        "SQLAddPKConstraint",
        "SQLAddFKConstraint",
        "SQLAddDefaultConstraint",
        "SQLAddNotNullConstraint",
        "SQLAddColumnComment",
        "SQLAddTableComment",
        "SQLAddViewComment",
        "SQLAddProcedureComment",
        "SQLAddSequenceComment",
        "SQLAddRuleComment",
        "SQLModifyColumnDataType",
        "SQLModifyPosition",
        "SQLModifyColumn",
        "SQLModifyColumnSetDefault",
        "SQLModifyColumnDropDefault",
        "SQLModifyColumnSetNotNull",
        "SQLModifyColumnDropNotNull",
        "SQLModifyDomainDataType",
        "SQLModifyDomainSetDefault",
        "SQLModifyDomainDropDefault",
        "SQLModifyDomainDropCheck",
        "SQLModifyDomainAddCheck",
        "SQLRenameTable",
        "SQLRenameColumn",
        "SQLRenameDomain",
        "SQLRenameIndex",
        "SQLChangeTableSchema",
        "SQLRenameConstraint",
        "SQLRenameFKConstraint",
        "SQLModifyColumnComment",
        "SQLModifyTableComment",
        "SQLModifyViewComment",
        "SQLModifyProcedureComment",
        "SQLModifySequenceComment",
        "SQLModifyRuleComment",
        "SQLEnableTrigger",
        "SQLDisableTrigger",
        "SQLAddSchema",
        "SQLEnableFKConstraint",
        "SQLDisableFKConstraint",
        "SQLEnableFKConstraints",
        "SQLDisableFKConstraints",
        "SQLEnablePKConstraint",
        "SQLDisablePKConstraint",
        "SQLEnablePKConstraints",
        "SQLDisablePKConstraints",
        "SQLEnableUniqueConstraint",
        "SQLDisableUniqueConstraint",
        "SQLEnableUniqueConstraints",
        "SQLDisableUniqueConstraints",
        "SQLEnableCheckConstraint",
        "SQLDisableCheckConstraint",
        "SQLEnableCheckConstraints",
        "SQLDisableCheckConstraints",
        "SQLStartTransAction",
        "SQLEndTransAction",
    };
    return names;
}

std::string TVELDatabaseSettings::DefinitionFileName() const {
    const std::string& folder = TargetDatabases().DefinitionsFolder;
    return folder.empty() ? DBID + ".def" : (fs::path(folder) / (DBID + ".def")).string();
}

void TVELDatabaseSettings::Load() {
    LoadFromFile(DefinitionFileName());
}

void TVELDatabaseSettings::Save() const {
    SaveToFile(DefinitionFileName());
}

void TVELDatabaseSettings::ClearDerivedLists() {
    for (auto* list : {&IdxOrderCodesList, &IdxColumnOrderCodesList, &IdxTypeCodesList, &IdxCaseCodesList,
                       &IdxCompressionCodesList, &IdxClusteringList, &PKClusteringList, &SeqCycleCodes,
                       &SeqOrderCodes, &SeqCacheCodes, &SeqIntegerTypes, &RuleTypes})
        list->clear();
    REParams.Clear();
    FEParams.Clear();
    ModParams.Clear();
    SQLCommands.Clear();
    ReservedWords.clear();
    DefaultKeywords.clear();
    Keywords.clear();
}

void TVELDatabaseSettings::LoadFromFile(const std::string& fileName) {
    ClearDerivedLists();
    LoadWarnings.clear();
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(fileName, ec)))
        throw EVELError(
            Format("Database definition file \"%s.def\" not found. Project is based on a non existing "
                   "target DBMS. Did you remove a definition (*.def) file?",
                   fs::path(fileName).stem().string().c_str()));
    TIniDocument ini;
    std::vector<std::string> warnings;
    if (!ini.LoadFromFile(fileName, &warnings))
        throw EVELError(Format("Unable to read database definition file \"%s\".", fileName.c_str()));
    LoadWarnings = std::move(warnings);
    ReadKeys(ini, fileName);
    ReadWordFiles(fs::path(fileName).parent_path().string());
    if (OnChange) OnChange(this);
}

void TVELDatabaseSettings::ReadKeys(const TIniDocument& ini, const std::string& fileName) {
    const TVELDatabaseSettings& d = Defaults();
    for (const KeyDef& k : KeyDefs) {
        const bool present = ini.Has(k.Section, k.Key);
        const std::string value = ini.ReadString(k.Section, k.Key, "");
        auto number = [&](int32_t& out) {
            if (!present || value.empty()) return false;
            if (ParseNumber(value, out)) return true;
            LoadWarnings.push_back(Format("%s:%d: \"%s\" of %s is not a number; the default is used",
                                          fileName.c_str(), ini.LineOf(k.Section, k.Key), value.c_str(),
                                          k.Key));
            return false;
        };
        std::visit(
            Overloaded{
                [&](std::string S::*f) { this->*f = present ? value : d.*f; },
                [&](MultiLine m) { this->*m.Field = present ? FromFileLineBreaks(value) : d.*m.Field; },
                [&](bool S::*f) {
                    int32_t n = 0;
                    this->*f = number(n) ? n != 0 : d.*f;
                },
                [&](int32_t S::*f) {
                    int32_t n = 0;
                    this->*f = number(n) ? n : d.*f;
                },
                [&](uint8_t S::*f) {
                    int32_t n = 0;
                    this->*f = number(n) ? static_cast<uint8_t>(n & 0xFF) : d.*f;
                },
                [&](std::vector<std::string> S::*f) { this->*f = present ? SplitString(value, ';') : d.*f; },
                [&](TTextFormat S::*f) { this->*f = present ? TextFormatFromText(value) : d.*f; },
                [&](std::set<TPrefixKind> S::*f) { this->*f = present ? PrefixKindsFromText(value) : d.*f; },
                [&](std::set<TRefIntAction> S::*f) {
                    this->*f = present ? RefIntActionsFromText(value) : d.*f;
                },
            },
            k.Field);
    }
    ParseDBParams(REDBParams, REParams);
    AddParams(FEDBParams, FEParams);
    AddParams(ModDBParams, ModParams);
    IdxOrderCodesList = SplitString(IdxOrderCodes, ';');
    IdxColumnOrderCodesList = SplitString(IdxColumnOrderCodes, ';');
    IdxTypeCodesList = SplitString(IdxTypeCodes, ';');
    IdxCaseCodesList = SplitString(IdxCaseCodes, ';');
    IdxCompressionCodesList = SplitString(IdxCompressionCodes, ';');
    IdxClusteringList = SplitString(IdxClustering, ';');
    PKClusteringList = SplitString(PKClustering, ';');
    for (const std::string& name : SQLCommandNames())
        SQLCommands.SetValue(name, ini.ReadString(SQLCommandsSection, name, ""));
}

void TVELDatabaseSettings::ReadWordFiles(const std::string& folder) {
    auto read = [&](const std::string& name, bool withDefaults, TTextSet& words) {
        if (name.empty()) return;
        const std::string fileName = HasFolderPart(name) ? name : (fs::path(folder) / name).string();
        std::string text;
        if (!ReadTextFile(fileName, text)) return; // a missing word list is no error
        for (std::string_view line : SplitLines(text)) {
            std::string word = Trim(line);
            if (withDefaults && StartsText("DEFAULT:", word)) {
                word = Trim(word.substr(8));
                if (!word.empty()) DefaultKeywords.insert(UpperCase(word));
            }
            if (!word.empty()) words.insert(UpperCase(word));
        }
    };
    read(ReservedWordsFile, true, ReservedWords);
    read(KeywordsFile, false, Keywords);
}

void TVELDatabaseSettings::SaveToFile(const std::string& fileName) const {
    TIniDocument ini;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(fileName, ec)) && !ini.LoadFromFile(fileName, nullptr))
        throw EVELError(Format("Unable to read database definition file \"%s\".", fileName.c_str()));
    for (const KeyDef& k : KeyDefs) {
        const std::string value =
            std::visit(Overloaded{
                           [&](std::string S::*f) { return this->*f; },
                           [&](MultiLine m) { return ToFileLineBreaks(this->*m.Field); },
                           [&](bool S::*f) { return std::string(BoolStr(this->*f)); },
                           [&](int32_t S::*f) { return IntToStr(this->*f); },
                           [&](uint8_t S::*f) { return IntToStr(this->*f); },
                           [&](std::vector<std::string> S::*f) { return JoinStrings(this->*f, ";"); },
                           [&](TTextFormat S::*f) { return TextFormatText(this->*f); },
                           [&](std::set<TPrefixKind> S::*f) { return PrefixKindsText(this->*f); },
                           [&](std::set<TRefIntAction> S::*f) { return RefIntActionsText(this->*f); },
                       },
                       k.Field);
        ini.WriteString(k.Section, k.Key, value);
    }
    for (const std::string& name : SQLCommandNames())
        ini.WriteString(SQLCommandsSection, name, SQLTemplate(name));
    ini.SaveToFile(fileName);
}

// ---- TVELDatabaseSettings: parameters ----------------------------------------------------------

void TVELDatabaseSettings::ParseDBParams(std::string_view text, TVELSettingsList& list) {
    // Cut every "((options)(alternatives))" group out, leaving a numbered mark, so that the
    // ";" inside the alternatives does not split the item. The mark is made of control
    // characters that cannot occur in a one-line value.
    std::string rest(text);
    std::vector<std::string> groups;
    for (;;) {
        const size_t open = rest.find("((");
        if (open == std::string::npos) break;
        const size_t close = rest.find("))", open + 2);
        if (close == std::string::npos) break;
        groups.push_back(rest.substr(open, close + 2 - open));
        rest = rest.substr(0, open) + "\x01" + std::to_string(groups.size() - 1) + "\x02" +
               rest.substr(close + 2);
    }
    for (const std::string& item : SplitString(rest, ';')) {
        const size_t mark = item.find('\x01');
        const size_t markEnd = item.find('\x02', mark);
        if (mark == std::string::npos || markEnd == std::string::npos) {
            if (!Trim(item).empty()) AddParam(list, item);
            continue;
        }
        const std::string& group = groups[std::stoul(item.substr(mark + 1, markEnd - mark - 1))];
        const std::string whole = item.substr(0, mark) + group + item.substr(markEnd + 1);
        // The group without its outer "((" and "))": "options)(alternatives".
        const std::string inner = group.substr(2, group.size() - 4);
        const size_t split = inner.find(")(");
        const std::string options = inner.substr(0, split);
        const std::string alternatives = split == std::string::npos ? std::string() : inner.substr(split + 2);
        AddParam(list, "GRP" + whole);
        const size_t eq = whole.find('=');
        const std::string head =
            eq == std::string::npos || eq > mark ? item.substr(0, mark) : whole.substr(0, eq + 1);
        const std::vector<std::string> optionList = SplitString(options, '|');
        AddParam(list, optionList.empty() ? head : head + optionList.front());
        for (const std::string& alternative : SplitString(alternatives, '|'))
            AddParams(alternative, list);
    }
}

std::string TVELDatabaseSettings::ParamLabel(std::string_view name) {
    for (const auto& p : ParamLabels)
        if (name == p.Name) return p.Label;
    return {};
}

std::string TVELDatabaseSettings::ParamName(std::string_view label) {
    for (const auto& p : ParamLabels)
        if (label == p.Label) return p.Name;
    return {};
}

int TVELDatabaseSettings::FileParameters(const TVELSettingsList& params, std::vector<std::string>& out) {
    int added = 0;
    for (int i = 0; i < params.Count(); ++i) {
        const std::string name = UpperCase(params.NameAt(i));
        if ((name == "SQLCREATEFILE" || name == "SQLMODIFYFILE" || name == "SQLDROPFILE" ||
             name == "DATABASEFILE") &&
            !params.ValueAt(i).empty()) {
            out.push_back(params.ValueAt(i));
            ++added;
        }
    }
    return added;
}

int TVELDatabaseSettings::DirectoryParameters(const TVELSettingsList& params, std::vector<std::string>& out) {
    int added = 0;
    for (int i = 0; i < params.Count(); ++i)
        if (UpperCase(params.NameAt(i)) == "DATABASEDIRECTORY") {
            out.push_back(params.ValueAt(i));
            ++added;
        }
    return added;
}

std::string TVELDatabaseSettings::ConnectionDescription(std::string_view driverName,
                                                        const TVELSettingsList& params) {
    auto p = [&](std::string_view name) { return params.GetValue(name); };
    std::string text = p("DatabaseName");
    if (!p("ServerName").empty())
        text += " on " + p("ServerName");
    else if (!p("Host").empty())
        text += " on " + p("Host");
    if (SameText(driverName, "oracle")) {
        text = p("UserName") + "@" + p("DatabaseName") + " on " + p("Host") + ":" + p("Port") + ":" +
               p("DatabaseName");
        if (!p("SchemaName").empty()) text += ":" + p("SchemaName");
    } else if (FindText(driverName, "msaccess") != std::string_view::npos || SameText(driverName, "sqlite")) {
        text = p("DatabaseFile");
    } else if (SameText(driverName, "interbase")) {
        text = p("DatabaseName");
    } else {
        for (const char* d : {"paradox", "dbase", "clipper", "foxpro", "DBISAM4Driver.DLL"})
            if (SameText(driverName, d)) text = p("DatabaseDirectory");
    }
    return text;
}

// ---- TVELDatabaseSettings: words, capabilities and quoting -------------------------------------

bool TVELDatabaseSettings::IsDefaultKeyword(std::string_view value) const {
    if (DefaultKeywords.empty()) return false;
    // Trimmed in place: this runs for every default value checked.
    while (!value.empty() && static_cast<unsigned char>(value.front()) <= ' ')
        value.remove_prefix(1);
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= ' ')
        value.remove_suffix(1);
    if (DefaultKeywords.count(value)) return true;
    std::string_view rest = value;
    while (!rest.empty()) {
        const size_t end = rest.find_first_of(" ()-");
        const std::string_view part = rest.substr(0, end);
        if (!part.empty() && DefaultKeywords.count(part)) return true;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

bool TVELDatabaseSettings::ConstraintOptionsSupported() const {
    return EnablePKConstraintOptions || EnableFKConstraintOptions || EnableUniqueConstraintOptions ||
           EnableCheckTableConstraintOptions || EnableCheckColumnConstraintOptions ||
           EnableNotNullConstraintOptions || EnableDefaultConstraintOptions;
}

bool TVELDatabaseSettings::CommentsSupported() const {
    return EnableTableComments || EnableColumnComments || EnableSequenceComments || EnableProcedureComments ||
           EnableViewComments;
}

std::string TVELDatabaseSettings::StripQuotes(std::string_view name) const {
    std::string r;
    r.reserve(name.size());
    for (char c : name)
        if (c != '[' && c != ']' && c != '"' && c != '\'' && c != '`') r += c;
    return r;
}

std::string TVELDatabaseSettings::Quoted(std::string_view name, const std::string& open,
                                         const std::string& close) const {
    if (name.empty()) return {};
    // One pass: quote characters dropped, every "." closing one part and opening the next.
    std::string r;
    r.reserve(name.size() + open.size() + close.size() + 8);
    r += open;
    for (char c : name) {
        if (c == '[' || c == ']' || c == '"' || c == '\'' || c == '`') continue;
        if (c == '.')
            r.append(close).append(1, '.').append(open);
        else
            r += c;
    }
    r += close;
    return r;
}

std::string TVELDatabaseSettings::QuoteDDL(std::string_view name) const {
    return Quoted(name, DelimiterDDLBegin, DelimiterDDLEnd);
}

std::string TVELDatabaseSettings::QuoteDML(std::string_view name) const {
    return Quoted(name, DelimiterDMLBegin, DelimiterDMLEnd);
}

std::string TVELDatabaseSettings::StringLiteral(std::string_view text) const {
    if (text.empty()) return {};
    if (text.size() >= 2 &&
        ((text.front() == '\'' && text.back() == '\'') || (text.front() == '"' && text.back() == '"')))
        text = text.substr(1, text.size() - 2);
    if (Quote.empty()) return std::string(text);
    const char q = Quote[0];
    std::string r(1, q);
    for (char c : text) {
        if (c == q) r += q;
        r += c;
    }
    r += q;
    return r;
}

// ---- TTargetDatabases --------------------------------------------------------------------------

TTargetDatabases& TargetDatabases() {
    static TTargetDatabases registry;
    return registry;
}

std::string TTargetDatabases::PathOf(std::string_view fileName) const {
    return (fs::path(DefinitionsFolder) / std::string(fileName)).string();
}

void TTargetDatabases::Build(const std::string& definitionsFolder) {
    DefinitionsFolder = definitionsFolder;
    entries_.clear();
    LoadWarnings.clear();
    std::error_code ec;
    if (definitionsFolder.empty() || !fs::is_directory(definitionsFolder, ec))
        throw EVELError(Format("Definitions folder \"%s\" not found.", definitionsFolder.c_str()));
    std::vector<std::string> fileNames;
    for (fs::directory_iterator it(definitionsFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".def") == 0) fileNames.push_back(name);
    }
    if (ec)
        throw EVELError(Format("Unable to read the definitions folder \"%s\".", definitionsFolder.c_str()));
    std::sort(fileNames.begin(), fileNames.end());

    const TVELDatabaseSettings& d = Defaults();
    std::vector<TTargetEntry> entries;
    std::vector<std::string> warnings;
    for (const std::string& name : fileNames) {
        TIniDocument ini;
        if (!ini.LoadFromFile(PathOf(name), &warnings))
            throw EVELError(Format("Unable to read database definition file \"%s\".", PathOf(name).c_str()));
        auto flag = [&](const char* section, const char* key, bool def) {
            int32_t n = 0;
            return ParseNumber(ini.ReadString(section, key, ""), n) ? n != 0 : def;
        };
        TTargetEntry e;
        e.Id = CutChars(name.substr(0, name.size() - 4), 30);
        e.Name = CutChars(ini.ReadString("general", "dbmsname", d.DBMSName), 40);
        e.NativeImporterAvailable =
            flag("reverseengineering", "RENativeImporterAvailable", d.RENativeImporterAvailable);
        e.TargetType = TargetTypeFromText(ini.ReadString("general", "targettype", d.TargetType));
        e.UpdateModel = flag("supported", "enableupdatemodel", d.EnableUpdateModel);
        e.UpdateDatabase = flag("supported", "enableupdatedatabase", d.EnableUpdateDatabase);
        entries.push_back(std::move(e));
    }
    entries_ = std::move(entries);
    LoadWarnings = std::move(warnings);
}

std::string TTargetDatabases::EncodeEntry(const TTargetEntry& e) {
    return JoinStrings({e.Id, e.Name, TargetTypeText(e.TargetType), BoolStr(e.NativeImporterAvailable),
                        BoolStr(e.UpdateModel), BoolStr(e.UpdateDatabase)},
                       ";");
}

TTargetEntry TTargetDatabases::DecodeEntry(std::string_view line) {
    std::vector<std::string> f = SplitString(line, ';');
    f.resize(6);
    TTargetEntry e;
    e.Id = CutChars(f[0], 30);
    e.Name = CutChars(f[1], 40);
    e.TargetType = TargetTypeFromText(f[2]);
    e.NativeImporterAvailable = f[3] == "1";
    e.UpdateModel = f[4] == "1";
    e.UpdateDatabase = f[5] == "1";
    return e;
}

std::vector<std::string> TTargetDatabases::EntryLines() const {
    std::vector<std::string> lines;
    for (const auto& e : entries_)
        lines.push_back(EncodeEntry(e));
    return lines;
}

int TTargetDatabases::IndexOfId(std::string_view id) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (SameText(entries_[i].Id, id)) return static_cast<int>(i);
    return -1;
}

int TTargetDatabases::IndexOfName(std::string_view name) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (SameText(entries_[i].Name, name)) return static_cast<int>(i);
    return -1;
}

const TTargetEntry& TTargetDatabases::EntryById(std::string_view id) const {
    const int i = IndexOfId(id);
    if (i < 0) throw EVELError(Format("Unable to find target DBMS with id \"%s\".", std::string(id).c_str()));
    return entries_[i];
}

const TTargetEntry& TTargetDatabases::EntryByName(std::string_view name) const {
    const int i = IndexOfName(name);
    if (i < 0)
        throw EVELError(Format("Unable to find target DBMS with name \"%s\".", std::string(name).c_str()));
    return entries_[i];
}

std::string TTargetDatabases::NameOfId(std::string_view id) const {
    const int i = IndexOfId(id);
    return i < 0 ? std::string() : entries_[i].Name;
}

std::string TTargetDatabases::IdOfName(std::string_view name) const {
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : entries_[i].Id;
}

std::vector<std::string> TTargetDatabases::Names(bool excludeIndependent) const {
    std::vector<std::string> names;
    for (const auto& e : entries_)
        if (!excludeIndependent || e.TargetType != TTargetType::DatabaseIndependent) names.push_back(e.Name);
    return names;
}

static std::string FirstWord(std::string_view name) {
    return std::string(name.substr(0, name.find(' ')));
}

std::vector<std::string> TTargetDatabases::Families() const {
    std::vector<std::string> families;
    for (const std::string& name : Names(true)) {
        std::string family = FirstWord(name);
        if (std::none_of(families.begin(), families.end(),
                         [&](const auto& f) { return SameText(f, family); }))
            families.push_back(std::move(family));
    }
    return families;
}

std::string TTargetDatabases::IndependentId() const {
    for (const auto& e : entries_)
        if (e.TargetType == TTargetType::DatabaseIndependent) return e.Id;
    return {};
}

static bool EntryCanImport(const TTargetEntry& e) {
    return e.TargetType == TTargetType::SQL || e.NativeImporterAvailable;
}

bool TTargetDatabases::CanImport(std::string_view name) const {
    return EntryCanImport(EntryByName(name));
}

bool TTargetDatabases::FamilyCanImport(std::string_view family) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const TTargetEntry& e) {
        return FirstWord(e.Name) == family && EntryCanImport(e);
    });
}

std::vector<std::string> TTargetDatabases::UpdateModelTargets(bool sqlOnly) const {
    std::vector<std::string> names;
    for (const auto& e : entries_)
        if (e.TargetType != TTargetType::DatabaseIndependent && e.UpdateModel &&
            (sqlOnly ? e.TargetType == TTargetType::SQL : e.NativeImporterAvailable))
            names.push_back(e.Name);
    return names;
}

std::vector<std::string> TTargetDatabases::UpdateDatabaseTargets(bool sqlOnly) const {
    std::vector<std::string> names;
    for (const auto& e : entries_)
        if (e.TargetType != TTargetType::DatabaseIndependent && e.UpdateDatabase &&
            (!sqlOnly || e.TargetType == TTargetType::SQL))
            names.push_back(e.Name);
    return names;
}

std::string TTargetDatabases::CheckNewTarget(std::string_view newId, std::string_view newName,
                                             std::string_view sourceId) const {
    if (Trim(newId).empty()) return Format("%s may not be empty.", "ID");
    if (Trim(newName).empty()) return Format("%s may not be empty.", "Name");
    if (IndexOfId(newId) >= 0)
        return Format("There already exists a target DBMS with ID \"%s\".", std::string(newId).c_str());
    if (Trim(sourceId).empty()) return "No \"copy from database\" selected.";
    return {};
}

std::string TTargetDatabases::NewTarget(const std::string& newId, const std::string& newName,
                                        const std::string& sourceId) const {
    if (IndexOfName(newName) >= 0)
        throw EVELError(
            Format("Unable to create new target DBMS because there already exists a target DBMS with "
                   "name \"%s\".",
                   newName.c_str()));
    // The id becomes a file name in the definitions folder and nothing else.
    if (newId.empty() || HasFolderPart(newId) || newId == "." || newId == "..")
        throw EVELError(Format("Invalid target DBMS ID \"%s\".", newId.c_str()));
    std::error_code ec;
    if (fs::exists(fs::symlink_status(PathOf(newId + ".def"), ec)))
        throw EVELError(
            Format("Unable to create new target DBMS because there already exists a target DBMS with "
                   "ID \"%s\".",
                   newId.c_str()));
    for (const char* ext : {".def", ".typ"})
        if (!fs::is_regular_file(PathOf(sourceId + ext), ec))
            throw EVELError(Format("Unable to find file \"%s\"", PathOf(sourceId + ext).c_str()));
    for (const char* ext : {".def", ".typ", ".dcr", ".fcr"}) {
        const std::string from = PathOf(sourceId + ext);
        const std::string to = PathOf(newId + ext);
        if (!fs::is_regular_file(from, ec)) continue; // only .dcr and .fcr are optional
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
        if (ec) throw EVELError(Format("Unable to copy file \"%s\" to \"%s\".", from.c_str(), to.c_str()));
    }
    TVELDatabaseSettings settings;
    settings.DBID = newId;
    settings.LoadFromFile(PathOf(newId + ".def"));
    settings.DBMSName = newName;
    settings.SaveToFile(PathOf(newId + ".def"));
    return Format(
        "New target DBMS has been added. You can modify the data types now by selecting the appropriate "
        "menu. You can modify the database settings by opening the file \"%s.def\" with a text editor.",
        newId.c_str());
}

} // namespace ardvin
