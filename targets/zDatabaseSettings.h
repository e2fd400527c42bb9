// Target database definitions: the reader and writer of the ".def" files, the definition of one
// target (TVELDatabaseSettings) and the registry of every installed target (TTargetDatabases).
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zXMLUtils.h"

namespace ardvin {

// ---- kinds of target and the enumerations derived from definition keys ----------------------

enum class TTargetType : uint8_t {
    SQL = 0,
    DBase = 1,
    Paradox = 2,
    DBISAM3 = 3,
    MSAccess97 = 4,
    MSAccess2000 = 5,
    MSAccess2003 = 6,
    FoxPro = 7,
    Clipper = 8,
    DBISAM4 = 9,
    DatabaseIndependent = 10,
};
// Case-insensitive; a text that names no type gives SQL.
TTargetType TargetTypeFromText(std::string_view text);
std::string TargetTypeText(TTargetType type);

enum class TTextFormat : uint8_t {
    MixedCase = 0,
    UpperCase = 1,
    LowerCase = 2,
    FirstCharUpperCase = 3,
    FirstCharAfterUnderscoreUpperCase = 4,
};
// Exact compare; anything else gives MixedCase.
TTextFormat TextFormatFromText(std::string_view text);
std::string TextFormatText(TTextFormat format);

// Kinds of object the project's name prefix can apply to.
enum class TPrefixKind : uint8_t { Entity, Index, Trigger, Sequence, View };
std::set<TPrefixKind> PrefixKindsFromText(std::string_view text);
std::string PrefixKindsText(const std::set<TPrefixKind>& kinds); // "Entity;View"

enum class TRefIntAction : uint8_t { None, Restrict, Cascade, SetNull, SetDefault };
// None always; the capitals R, C, N and D add Restrict, Cascade, Set Null and Set Default.
std::set<TRefIntAction> RefIntActionsFromText(std::string_view text);
std::string RefIntActionsText(const std::set<TRefIntAction>& actions); // letters in the order R, C, N, D

// ---- case-insensitive word sets ---------------------------------------------------------------

struct TTextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept;
};
struct TTextEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return SameText(a, b); }
};
// Looked up with a string_view without copying; words are stored upper-cased.
using TTextSet = std::unordered_set<std::string, TTextHash, TTextEqual>;

// ---- the ".def" file format ------------------------------------------------------------------

// A Windows-style INI text: "[section]" lines, then "key=value" lines; section and key names
// compare without regard to case, blanks around names and values are ignored, lines starting
// with ";" or "#" are comments, the first of duplicate keys wins. Lines that fit none of these
// are reported and skipped. Writing a value keeps every other line of the text as it was.
class TIniDocument {
public:
    // Parses a text; fileName only names the source in the reports added to warnings.
    void LoadFromText(std::string_view text, const std::string& fileName, std::vector<std::string>* warnings);
    // False when the file is not a readable regular file; the document is then empty.
    bool LoadFromFile(const std::string& fileName, std::vector<std::string>* warnings);

    bool Has(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Line number (1-based) of the value read for a key, 0 when absent.
    int LineOf(std::string_view section, std::string_view key) const;

    // Changes the first occurrence of the key in place, else adds it after the last key of the
    // section, else appends the section. Line breaks in the value become blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    std::string SaveToText() const; // CR LF line ends
    // Raises EVELError when the file cannot be written.
    void SaveToFile(const std::string& fileName) const;

private:
    struct Line {
        std::string Text;    // the line as read or written, without its line end
        std::string Section; // upper-cased section the line belongs to
        std::string Key;     // upper-cased key of a key line, else empty
    };
    struct Value {
        std::string Text;
        int LineNr = 0;
    };
    static std::string KeyOf(std::string_view section, std::string_view key);
    std::vector<Line> lines_;
    std::unordered_map<std::string, Value> values_; // KeyOf -> first value
};

// ---- the definition of one target -------------------------------------------------------------

class TVELDatabaseSettings {
public:
    TVELDatabaseSettings() = default;

    std::string DBID; // the target's id: base name of its ".def" file

    // [general]
    std::string DBMSName = "default target";
    std::string TargetType = "SQL"; // text; see GetTargetType
    std::string DriverName;
    std::string ReservedWordsFile = "reservedwords.txt";
    std::string KeywordsFile = "keywords.txt";
    std::string ComparisonRulesFile = "comparisonrules.txt";
    std::string InvalidObjectNameChars;
    bool PrecisionIncludeScale = false;
    std::string DBDateFormat;
    std::string DBTimeFormat;
    // [scriptelements]
    std::string BlockCommentBegin = "//";
    std::string BlockCommentEnd = "//";
    bool AddTerminatorAfterBlockComment = false;
    std::string LineComment = "//";
    std::string Quote = "\""; // string quote
    std::string DelimiterDDLBegin;
    std::string DelimiterDDLEnd;
    std::string DelimiterDMLBegin;
    std::string DelimiterDMLEnd;
    std::string Terminator = ";";
    std::string BlockTerminator = ";";
    std::string Commit;
    TTextFormat InternalTextFormat = TTextFormat::MixedCase;
    // [prefixes]
    std::set<TPrefixKind> ApplyPrefixTo{TPrefixKind::Entity};
    // [reverseengineering]
    bool GetDatabaseNamesSupported = false;
    bool RENativeImporterAvailable = false;
    std::string REDBParams; // connection parameter descriptor, parsed into REParams
    std::string REFileFilter;
    std::string REInfoText;
    std::string DefaultSchema;
    // [forwardengineering]
    std::string FEDBParams; // parsed into FEParams
    std::string FEFileFilter;
    std::string FEInfoText;
    // [modifydatabase]
    std::string ModDBParams; // parsed into ModParams
    std::string ModFileFilter;
    std::string ModInfoText;
    // [keybehaviour]
    bool PKAutoIndexed = false;
    bool FKAutoIndexed = false;
    bool PKAlwaysNotNull = false;
    bool UniqueAlwaysNotNull = true;
    bool PKImplicitUnique = true;
    bool AutonumberAlwaysIndexed = false;
    bool AutonumberAlwaysPK = false;
    bool AutonumberAlwaysNotNull = false;
    bool PKOnTop = false;
    bool FKOnlyToPK = false;
    // [namelengths]
    int32_t MaxTableNameLength = 30;
    int32_t MaxColumnNameLength = 30;
    int32_t MaxIndexNameLength = 30;
    int32_t MaxDomainNameLength = 30;
    int32_t MaxTriggerNameLength = 30;
    int32_t MaxSequenceNameLength = 30;
    int32_t MaxProcedureNameLength = 30;
    int32_t MaxViewNameLength = 30;
    int32_t MaxConstraintNameLength = 30;
    // [supported]
    bool EnableIndexes = true;
    bool EnableRefInt = true;
    bool EnableDomains = true;
    bool EnableTriggers = false;
    bool EnableSequences = false;
    bool EnableViews = false;
    bool EnableProcedures = false;
    bool EnableRules = false;
    bool EnableTableOptions = true;
    bool EnableAttributeOptions = false;
    bool EnableIndexOptions = false;
    bool EnableIndexExpressions = false;
    bool EnableRelationships = true;
    bool EnablePKConstraintNames = true;
    bool EnablePKConstraintOptions = true;
    bool EnableFKConstraintNames = true;
    bool EnableFKConstraintOptions = false;
    bool EnableUniqueConstraintNames = true;
    bool EnableUniqueConstraintOptions = false;
    bool EnableCheckTableConstraintNames = true;
    bool EnableCheckTableConstraintOptions = false;
    bool EnableCheckColumnConstraintNames = true;
    bool EnableCheckColumnConstraintOptions = false;
    bool EnableNotNullConstraintNames = true;
    bool EnableNotNullConstraintOptions = false;
    bool EnableDefaultConstraintNames = true;
    bool EnableDefaultConstraintOptions = false;
    bool EnableTableConstraints = true;
    bool EnableSchemas = false;
    bool EnableColumnCollate = false;
    bool EnableBeginEndTableScripts = true;
    bool EnableBeginEndScripts = true;
    bool EnableUpdateDatabase = false;
    bool EnableUpdateModel = false;
    bool EnableTableComments = false;
    bool EnableColumnComments = false;
    bool EnableSequenceComments = false;
    bool EnableProcedureComments = false;
    bool EnableRuleComments = false;
    bool EnableViewComments = false;
    std::string PKClustering;
    // [indexes]; the raw texts, split into the lists below
    std::string IdxOrderCodes = ";ASC;DESC";
    std::string IdxColumnOrderCodes;
    std::string IdxTypeCodes = ";UNIQUE";
    std::string IdxCaseCodes;
    std::string IdxCompressionCodes;
    std::string IdxClustering;
    // [schemas]
    std::string SchemaLabel = "Schema";
    std::string SchemasLabel = "Schemas";
    // [sequences]
    std::string SeqLabel = "Sequence";
    std::string SeqsLabel = "Sequences";
    bool EnableSeqIncrement = true;
    bool EnableSeqMin = true;
    bool EnableSeqMax = true;
    bool EnableSeqCache = true;
    bool EnableSeqIntegerType = true;
    std::vector<std::string> SeqCycleCodes;
    std::vector<std::string> SeqOrderCodes;
    std::vector<std::string> SeqCacheCodes;
    std::vector<std::string> SeqIntegerTypes;
    // [rules]
    std::vector<std::string> RuleTypes;
    // [triggers]; line breaks are stored as "#13#10" in the file
    std::string AutonumberTriggerTemplate;
    // [autonumber]
    std::string AutoIncLabel = "Identity";
    uint8_t SimulateAutonumber = 0;        // only the low byte of the file's number is kept
    std::string AutonumberDefaultTemplate; // line breaks as above
    // [refint]
    std::set<TRefIntAction> RefIntOnDelete{TRefIntAction::None, TRefIntAction::Restrict,
                                           TRefIntAction::Cascade, TRefIntAction::SetNull,
                                           TRefIntAction::SetDefault};
    std::set<TRefIntAction> RefIntOnUpdate{TRefIntAction::None};

    // Derived lists: the index and clustering texts split at ";" (an empty first item means
    // "no option").
    std::vector<std::string> IdxOrderCodesList;
    std::vector<std::string> IdxColumnOrderCodesList;
    std::vector<std::string> IdxTypeCodesList;
    std::vector<std::string> IdxCaseCodesList;
    std::vector<std::string> IdxCompressionCodesList;
    std::vector<std::string> IdxClusteringList;
    std::vector<std::string> PKClusteringList;
    // Parameter lists of reverse engineering, generation and alter generation.
    TVELSettingsList REParams;
    TVELSettingsList FEParams;
    TVELSettingsList ModParams;
    // Statement templates of [sqlcommands] by name, in SQLCommandNames order after a load.
    TVELSettingsList SQLCommands;
    // Upper-cased words of the reserved words file, the words it marks "DEFAULT:", and the
    // words of the keywords file.
    TTextSet ReservedWords;
    TTextSet DefaultKeywords;
    TTextSet Keywords;

    // Reports of malformed lines and values met by the last load ("file:line: text").
    std::vector<std::string> LoadWarnings;
    // Fired at the end of every successful load.
    std::function<void(TVELDatabaseSettings* sender)> OnChange;

    TTargetType GetTargetType() const { return TargetTypeFromText(TargetType); }

    // "<definitions folder>/<DBID>.def", the folder being the registry's.
    std::string DefinitionFileName() const;
    // Reads the definition of DBID; a missing file raises EVELError and changes nothing but
    // the derived lists, which are cleared first.
    void Load();
    // Reads a definition from an explicit file; its reserved words and keywords files are
    // looked up beside it.
    void LoadFromFile(const std::string& fileName);
    // Writes every key back to the definition of DBID, keeping other lines of the file.
    void Save() const;
    void SaveToFile(const std::string& fileName) const;

    // The names of the [sqlcommands] templates, in reading order.
    static const std::vector<std::string>& SQLCommandNames();
    std::string SQLTemplate(std::string_view name) const { return SQLCommands.GetValue(name); }

    // Parses a connection parameter descriptor with its choice groups into list.
    static void ParseDBParams(std::string_view text, TVELSettingsList& list);

    bool IsReservedWord(std::string_view word) const {
        return ReservedWords.find(word) != ReservedWords.end();
    }
    bool IsKeyword(std::string_view word) const { return Keywords.find(word) != Keywords.end(); }
    // Whether the trimmed value, or any part of it split at blanks, "(", ")" and "-", is a
    // default-value keyword.
    bool IsDefaultKeyword(std::string_view value) const;

    // Display label of a known parameter name and back; empty when unknown.
    static std::string ParamLabel(std::string_view name);
    static std::string ParamName(std::string_view label);
    // Append to out the non-empty values of the file parameters of a list (every value of the
    // directory parameter); return how many were added.
    static int FileParameters(const TVELSettingsList& params, std::vector<std::string>& out);
    static int DirectoryParameters(const TVELSettingsList& params, std::vector<std::string>& out);
    // One line naming a connection made with a driver and its parameters.
    static std::string ConnectionDescription(std::string_view driverName, const TVELSettingsList& params);

    bool CheckConstraintNamesSupported() const {
        return EnableCheckTableConstraintNames || EnableCheckColumnConstraintNames;
    }
    bool ConstraintOptionsSupported() const;
    bool CommentsSupported() const;

    // Removes every "[", "]", '"', "'" and "`".
    std::string StripQuotes(std::string_view name) const;
    // Encloses every dotted part of the name in the delimiters of definition statements.
    std::string QuoteDDL(std::string_view name) const;
    // The same with the delimiters of data statements.
    std::string QuoteDML(std::string_view name) const;
    // The text as a string literal in the target's quote character.
    std::string StringLiteral(std::string_view text) const;

private:
    void ClearDerivedLists();
    void ReadKeys(const TIniDocument& ini, const std::string& fileName);
    void ReadWordFiles(const std::string& folder);
    std::string Quoted(std::string_view name, const std::string& open, const std::string& close) const;
};

// ---- the registry of installed targets ---------------------------------------------------------

struct TTargetEntry {
    std::string Id;   // at most 30 characters
    std::string Name; // at most 40 characters
    bool NativeImporterAvailable = false;
    TTargetType TargetType = TTargetType::SQL;
    bool UpdateModel = false;
    bool UpdateDatabase = false;
};

class TTargetDatabases {
public:
    std::string DefinitionsFolder;
    // Reports of malformed lines of the definitions read by the last build.
    std::vector<std::string> LoadWarnings;

    // Sets the folder and adds one entry per "*.def" file there, in file name order. Raises
    // EVELError when the folder is missing or a definition cannot be read.
    void Build(const std::string& definitionsFolder);

    // The stored line of an entry: Id;Name;type text;N;U;D with flags "1" or "0", and back.
    static std::string EncodeEntry(const TTargetEntry& entry);
    static TTargetEntry DecodeEntry(std::string_view line);
    std::vector<std::string> EntryLines() const;

    int Count() const { return static_cast<int>(entries_.size()); }
    const TTargetEntry& Entry(int index) const { return entries_.at(index); }
    const std::vector<TTargetEntry>& Entries() const { return entries_; }

    int IndexOfId(std::string_view id) const;
    int IndexOfName(std::string_view name) const;
    const TTargetEntry& EntryById(std::string_view id) const;     // raises when unknown
    const TTargetEntry& EntryByName(std::string_view name) const; // raises when unknown
    std::string NameOfId(std::string_view id) const;              // empty when unknown
    std::string IdOfName(std::string_view name) const;            // empty when unknown

    std::vector<std::string> Names(bool excludeIndependent) const;
    std::vector<std::string> AllNames() const { return Names(false); }
    std::vector<std::string> AllNamesButIndependent() const { return Names(true); }
    // First words of the names of the real targets, once each, in first-seen order.
    std::vector<std::string> Families() const;
    std::string IndependentId() const;
    bool CanImport(std::string_view name) const; // raises when the name is unknown
    bool FamilyCanImport(std::string_view family) const;
    std::vector<std::string> UpdateModelTargets(bool sqlOnly) const;
    std::vector<std::string> UpdateDatabaseTargets(bool sqlOnly) const;

    // The input check of the new-target command: an error text, or empty when acceptable.
    std::string CheckNewTarget(std::string_view newId, std::string_view newName,
                               std::string_view sourceId) const;
    // Creates the definition newId named newName as a copy of sourceId's files and returns
    // the text that tells the user what to do next. Raises EVELError on failure. The registry
    // itself is left as it was built.
    std::string NewTarget(const std::string& newId, const std::string& newName,
                          const std::string& sourceId) const;

private:
    std::string PathOf(std::string_view fileName) const;
    std::vector<TTargetEntry> entries_;
};

// The registry of the running program.
TTargetDatabases& TargetDatabases();

} // namespace ardvin
