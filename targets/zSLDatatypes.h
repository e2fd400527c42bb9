// The data type list of a target: one data type per line of the target's ".typ" file, the
// lookups by name, synonym and definition id, the capability flags of a type, and the
// rendering of type texts such as VARCHAR(50) from the type's templates.
//
// File format: one type per line, 16 fields separated by ";" (a missing trailing field keeps
// its empty, zero or false value):
//   ListName; BaseTemplate; AdditionalPropertiesTemplate; AutoNumberPropertiesTemplate;
//   TypeGroup; DefaultLength; DefaultPrecision; IsDefault; EnableAutoNumbering; IsAutoNumber;
//   FKDataType; MaxLength; Synonyms (separated by ","); DefinitionID; Hidden; DomainAsType
// A first line starting with "L" is a header naming the columns and is dropped; blank lines
// are dropped. Integers are decimal, flags "1" or "0".
//
// Type groups are the texts of TypeGroupName. The set group is accepted both as "Set" and as
// "Sets", so files may use either spelling.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ardvin {

enum TDataTypeGroup : uint8_t {
    tgUnknown = 0,
    tgExactNumeric = 1,
    tgApproximateNumeric = 2,
    tgString = 3,
    tgDateAndTime = 4,
    tgBinary = 5,
    tgAutonumber = 6,
    tgSet = 7,
    tgBoolean = 8,
    tgOthers = 9,
    tgComputedBy = 10,
};
// "Unknown", "Exact Numeric", ..., "Computed By"; empty for numbers out of range.
const char* TypeGroupName(int group);

// Capability flags of a data type, derived from its templates.
enum TDataTypeCapability : uint32_t {
    dcLength = 1,              // BaseTemplate holds %L
    dcPrecision = 2,           // BaseTemplate holds %P
    dcZeroFill = 4,            // AdditionalPropertiesTemplate holds %ZEROFILL
    dcUnsigned = 8,            // AdditionalPropertiesTemplate holds %UNSIGNED
    dcSeed = 16,               // AutoNumberPropertiesTemplate holds %S or %SEEDLESSONE
    dcIncrement = 32,          // AutoNumberPropertiesTemplate holds %I
    dcItems = 64,              // BaseTemplate holds %ITEMS
    dcAutoNumber = 128,        // EnableAutoNumbering is set
    dcAllowZeroLength = 1024,  // AdditionalPropertiesTemplate holds %ALLOWZEROLENGTH
    dcExpression = 2048,       // BaseTemplate or AdditionalPropertiesTemplate holds %EXPRESSION
    dcCharacterSet = 4096,     // AdditionalPropertiesTemplate holds %CHARACTERSET
    dcSubType = 8192,          // AdditionalPropertiesTemplate holds %SUBTYPE
    dcSegmentSize = 16384,     // AdditionalPropertiesTemplate holds %SEGMENTSIZE
    dcDataTypeOptions = 32768, // AdditionalPropertiesTemplate holds %DTOPT
    dcArrayOptions = 65536,    // AdditionalPropertiesTemplate holds %ARRAYOPTIONS
    dcCollation = 131072,      // AdditionalPropertiesTemplate holds %COLLATION
};

// One line of the list, decoded.
struct TDataTypeRecord {
    std::string ListName;
    std::string BaseTemplate;
    std::string AdditionalPropertiesTemplate;
    std::string AutoNumberPropertiesTemplate;
    std::string TypeGroup; // the text as written in the file
    int32_t DefaultLength = 0;
    int32_t DefaultPrecision = 0;
    bool IsDefault = false;
    bool EnableAutoNumbering = false;
    bool IsAutoNumber = false;
    std::string FKDataType;
    int32_t MaxLength = 0; // 0 or less: no limit
    std::string Synonyms;  // as written, separated by ","
    int32_t DefinitionID = 0;
    bool Hidden = false;
    bool DomainAsType = false;

    // Derived on load.
    uint32_t Capabilities = 0;
    std::vector<std::string> SynonymList; // trimmed, empty ones left out
    int Group = -1;                       // TDataTypeGroup, -1 for an unknown group text
    int LineNumber = 0;                   // line of the file, 1-based
    bool Malformed = false;               // a field could not be decoded (see LoadWarnings)
};

// What a template is expanded with: the data type value of a column or domain. The default
// state sets nothing: length "0", numbers 0, flags false, texts empty.
struct TDataTypeValues {
    std::string Length = "0";
    int32_t Precision = 0;
    int32_t Seed = 0;
    int32_t Increment = 0;
    bool Unsigned = false;
    bool ZeroFill = false;
    bool AllowZeroLength = false;
    bool AutoNumber = false;
    std::string Items;
    std::string Expression;
    std::string CharacterSet;
    std::string Collation;
    std::string SubType;
    std::string SegmentSize;
    std::string DTOptions;
    std::string ArrayOptions;
};

// Expands a type template. Optional parts are enclosed in "[" and "]" and nest; "~[" and "~]"
// are literal brackets. Each optional part is expanded in check mode: it is kept only when one
// of its placeholders (recognised in upper case only) has a value, or when it is exactly "[]"
// (kept as the literal text "[]"). Placeholders are replaced without regard to case:
//   %ITEMS %P %L %SEGMENTSIZE ("SEGMENT SIZE " + value) %DTOPT %ARRAYOPTIONS
//   %SUBTYPE ("SUB_TYPE " + value) %S (seed) %SEEDLESSONE (seed - 1, for engines whose
//   first number follows the start value; kept in a part when the seed is) %I (increment)
//   %UNSIGNED ("UNSIGNED")
//   %ZEROFILL ("ZEROFILL") %ALLOWZEROLENGTH ("True") %EXPRESSION
//   %CHARACTERSET ("CHARACTER SET " + value) %COLLATION ("COLLATE " + value)
// A placeholder is matched with the longest name that fits, so %SUBTYPE is never taken for
// %S. Substituted values are inserted literally: brackets inside a value are never taken for
// optional parts. Outside check mode the flag placeholders are replaced even when the flag is
// false (the templates' brackets keep them out).
std::string ExpandTypeTemplate(std::string_view tmpl, const TDataTypeValues& values, bool checkMode);

class TSLDatatypes {
public:
    // Problems found while loading: malformed fields, duplicate or missing names. Each names
    // the file and the line, for example "... (dbindependent.typ, line 7)".
    std::vector<std::string> LoadWarnings;

    // Replaces the list with the types of a file. Returns false, with the list empty and a
    // warning recorded, when the file cannot be read.
    bool LoadFromFile(const std::string& fileName);
    // Replaces the list with the types of a text; sourceName names it in messages.
    void LoadFromText(std::string_view text, std::string_view sourceName = {});
    void Clear();

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::string& SourceName() const { return sourceName_; }
    // The decoded line; raises "List index out of bounds (<index>)." for a bad index.
    const TDataTypeRecord& Record(int index) const;
    // The record of a type by list name (no regard to case), nullptr when absent.
    const TDataTypeRecord* Find(std::string_view name) const;

    // The union of the capability flags of all types.
    uint32_t CapabilityUnion() const { return capabilityUnion_; }
    // Every ListName followed by its synonyms, in file order.
    const std::vector<std::string>& NamesAndSynonyms() const { return namesAndSynonyms_; }
    // The ListName of every line, index-parallel to the lines.
    const std::vector<std::string>& ListNames() const { return listNames_; }

    int IndexOf(std::string_view name) const;
    int IndexByNameOrSynonym(std::string_view name) const;
    int IndexOfDefinition(int32_t id) const;

    // Name of the first type with IsDefault; empty when none.
    std::string DefaultType() const;
    // Name of the last type with IsAutoNumber; empty when none.
    std::string AutoNumberType() const;
    std::vector<std::string> Names(bool includeHidden) const;
    std::string NamesText(bool includeHidden) const; // joined with ","

    // The type group of a type; 0 for a name not in the list. Raises "Unknown string for
    // typegroup in data types file." with file and line when the type's group text is unknown.
    int TypeGroup(std::string_view name) const;
    int TypeGroupAt(int index) const;
    bool IsNumeric(std::string_view name) const;
    uint32_t Capabilities(std::string_view name) const;
    bool AllowsAutoNumber(std::string_view name) const { return (Capabilities(name) & dcAutoNumber) != 0; }
    bool DomainAsType(std::string_view name) const;
    bool LengthRequired(std::string_view name) const;
    bool PrecisionRequired(std::string_view name) const;

    // Base, additional and (when includeAutoNumber and values.AutoNumber are set) autonumber
    // part, expanded; empty for a name not in the list.
    std::string TypeText(std::string_view name, const TDataTypeValues& values, bool includeAutoNumber) const;
    // Only the autonumber part, when values.AutoNumber is set and the template is not blank.
    std::string AutoNumberText(std::string_view name, const TDataTypeValues& values) const;
    // Only the base part; a base that comes out as exactly "AS" gives the ListName.
    std::string BaseText(std::string_view name, const TDataTypeValues& values) const;

    // The type to use for a type coming from elsewhere: by definition id (when > 0), by list
    // name, by synonym, by the family of similar types, else the overall default type with a
    // warning in message (message is empty otherwise). Returns the index, -1 when nothing can
    // be taken (no match and no default type).
    int BestMatch(int32_t definitionID, std::string_view sourceName, std::string& message) const;
    bool BestMatch(int32_t definitionID, std::string_view sourceName, TDataTypeRecord& record,
                   std::string& message) const;

    // The generic family of a type name (integers, strings, binaries, booleans, dates and
    // times, autonumbers, decimals, looked for in this order); empty when it is in none.
    static std::vector<std::string> SimilarTypes(std::string_view name);

private:
    void Rebuild();
    std::string Where(int lineNumber) const; // " (file, line n)"
    const TDataTypeRecord* RecordOrNull(std::string_view name) const;

    std::string sourceName_;
    std::vector<std::string> lines_;
    std::vector<TDataTypeRecord> records_;
    std::vector<std::string> listNames_;
    std::vector<std::string> namesAndSynonyms_;
    std::unordered_map<std::string, int> nameIndex_;    // upper-cased ListName -> first index
    std::unordered_map<std::string, int> synonymIndex_; // upper-cased synonym -> first index
    std::unordered_map<int32_t, int> definitionIndex_;  // DefinitionID -> first index
    uint32_t capabilityUnion_ = 0;
    int defaultIndex_ = -1;
    int autoNumberIndex_ = -1;
};

} // namespace ardvin
