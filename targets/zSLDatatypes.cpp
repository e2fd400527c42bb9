#include "zSLDatatypes.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "zXMLUtils.h"

namespace ardvin {

namespace {

const char* const GroupNames[] = {"Unknown",       "Exact Numeric", "Approximate Numeric", "String",
                                  "Date and Time", "Binary",        "Autonumber",          "Set",
                                  "Boolean",       "Others",        "Computed By"};
constexpr int GroupCount = static_cast<int>(std::size(GroupNames));

// ---- template expansion ------------------------------------------------------------------

enum TPlaceholder {
    phItems,
    phPrecision,
    phLength,
    phSegmentSize,
    phDTOptions,
    phArrayOptions,
    phSubType,
    phSeed,
    phSeedLessOne,
    phIncrement,
    phUnsigned,
    phZeroFill,
    phAllowZeroLength,
    phExpression,
    phCharacterSet,
    phCollation,
};

struct TPlaceholderName {
    std::string_view Name; // without the leading "%"
    TPlaceholder Kind;
};

// Longest names first, so that a name is never taken for its prefix (%SUBTYPE is not %S).
constexpr TPlaceholderName PlaceholderNames[] = {
    {"ALLOWZEROLENGTH", phAllowZeroLength},
    {"ARRAYOPTIONS", phArrayOptions},
    {"CHARACTERSET", phCharacterSet},
    {"SEEDLESSONE", phSeedLessOne},
    {"SEGMENTSIZE", phSegmentSize},
    {"EXPRESSION", phExpression},
    {"COLLATION", phCollation},
    {"UNSIGNED", phUnsigned},
    {"ZEROFILL", phZeroFill},
    {"SUBTYPE", phSubType},
    {"ITEMS", phItems},
    {"DTOPT", phDTOptions},
    {"P", phPrecision},
    {"L", phLength},
    {"S", phSeed},
    {"I", phIncrement},
};

// The placeholder that starts at text[pos] (a "%"), or nullptr.
const TPlaceholderName* MatchPlaceholder(std::string_view text, size_t pos, bool exactCase) {
    std::string_view rest = text.substr(pos + 1);
    for (const auto& p : PlaceholderNames) {
        if (rest.size() < p.Name.size()) continue;
        std::string_view head = rest.substr(0, p.Name.size());
        if (exactCase ? head == p.Name : SameText(head, p.Name)) return &p;
    }
    return nullptr;
}

bool HasValue(TPlaceholder kind, const TDataTypeValues& v) {
    switch (kind) {
    case phPrecision:
        return v.Precision >= 1;
    case phLength: {
        const std::string len = Trim(v.Length);
        return !len.empty() && len != "0";
    }
    case phItems:
        return !v.Items.empty();
    case phSubType:
        return !v.SubType.empty();
    case phExpression:
        return !v.Expression.empty();
    case phCharacterSet:
        return !v.CharacterSet.empty();
    case phCollation:
        return !v.Collation.empty();
    case phSegmentSize:
        return !v.SegmentSize.empty();
    case phDTOptions:
        return !v.DTOptions.empty();
    case phArrayOptions:
        return !v.ArrayOptions.empty();
    case phSeed:
    case phSeedLessOne: // the part holds a start value exactly when the seed is set
        return v.Seed != 0;
    case phIncrement:
        return v.Increment != 0;
    case phUnsigned:
        return v.Unsigned;
    case phZeroFill:
        return v.ZeroFill;
    case phAllowZeroLength:
        return v.AllowZeroLength;
    }
    return false;
}

std::string Replacement(TPlaceholder kind, const TDataTypeValues& v) {
    switch (kind) {
    case phItems:
        return v.Items;
    case phPrecision:
        return IntToStr(v.Precision);
    case phLength:
        return v.Length;
    case phSegmentSize:
        return "SEGMENT SIZE " + v.SegmentSize;
    case phDTOptions:
        return v.DTOptions;
    case phArrayOptions:
        return v.ArrayOptions;
    case phSubType:
        return "SUB_TYPE " + v.SubType;
    case phSeed:
        return IntToStr(v.Seed);
    case phSeedLessOne:
        return IntToStr(static_cast<int64_t>(v.Seed) - 1); // the lowest seed has no 32-bit predecessor
    case phIncrement:
        return IntToStr(v.Increment);
    case phUnsigned:
        return "UNSIGNED";
    case phZeroFill:
        return "ZEROFILL";
    case phAllowZeroLength:
        return "True";
    case phExpression:
        return v.Expression;
    case phCharacterSet:
        return "CHARACTER SET " + v.CharacterSet;
    case phCollation:
        return "COLLATE " + v.Collation;
    }
    return {};
}

// Whether one of the upper-case placeholders of a part has a value.
bool PartHasValue(std::string_view text, const TDataTypeValues& v) {
    for (size_t i = text.find('%'); i != std::string_view::npos; i = text.find('%', i + 1)) {
        const TPlaceholderName* p = MatchPlaceholder(text, i, true);
        if (p && HasValue(p->Kind, v)) return true;
    }
    return false;
}

// Replaces every placeholder (any case). Brackets of the values are escaped so that they stay
// ordinary characters while enclosing parts are still being expanded.
std::string Substitute(std::string_view text, const TDataTypeValues& v) {
    std::string out;
    out.reserve(text.size() + 16);
    size_t i = 0;
    while (i < text.size()) {
        const TPlaceholderName* p = text[i] == '%' ? MatchPlaceholder(text, i, false) : nullptr;
        if (!p) {
            out += text[i++];
            continue;
        }
        for (char c : Replacement(p->Kind, v)) {
            if (c == '[' || c == ']') out += '~';
            out += c;
        }
        i += 1 + p->Name.size();
    }
    return out;
}

bool IsEscaped(std::string_view s, size_t i) {
    return i > 0 && s[i - 1] == '~';
}

size_t FindOpenBracket(std::string_view s, size_t from) {
    for (size_t i = s.find('[', from); i != std::string_view::npos; i = s.find('[', i + 1))
        if (!IsEscaped(s, i)) return i;
    return std::string_view::npos;
}

size_t MatchingCloseBracket(std::string_view s, size_t open) {
    int depth = 0;
    for (size_t i = open; i < s.size(); ++i) {
        if ((s[i] != '[' && s[i] != ']') || IsEscaped(s, i)) continue;
        if (s[i] == '[') {
            ++depth;
        } else if (--depth == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

// Expansion without the final unescaping of "~[" and "~]".
std::string ExpandPart(std::string_view tmpl, const TDataTypeValues& v, bool checkMode) {
    std::string text(tmpl);
    size_t from = 0;
    for (;;) {
        const size_t open = FindOpenBracket(text, from);
        if (open == std::string::npos) break;
        const size_t close = MatchingCloseBracket(text, open);
        if (close == std::string::npos) break; // unbalanced: the rest is ordinary text
        // An empty part "[]" is kept as it stands.
        const std::string part = close == open + 1
                                     ? std::string("~[~]")
                                     : ExpandPart(text.substr(open + 1, close - open - 1), v, true);
        text.replace(open, close - open + 1, part);
        from = open + part.size();
    }
    if (checkMode && !PartHasValue(text, v)) return {};
    return Substitute(text, v);
}

// Items and expressions may hold brackets of their own; they travel through the templates as
// "~!" and "~*".
TDataTypeValues ProtectBrackets(const TDataTypeValues& values) {
    TDataTypeValues v = values;
    v.Items = ReplaceAll(ReplaceAll(v.Items, "[", "~!"), "]", "~*");
    v.Expression = ReplaceAll(ReplaceAll(v.Expression, "[", "~!"), "]", "~*");
    return v;
}

std::string RestoreBrackets(std::string_view text) {
    return ReplaceAll(ReplaceAll(text, "~!", "["), "~*", "]");
}

// ---- decoding ----------------------------------------------------------------------------

constexpr int FieldCount = 16;
const char* const FieldNames[FieldCount] = {"ListName",
                                            "BaseTemplate",
                                            "AdditionalPropertiesTemplate",
                                            "AutoNumberPropertiesTemplate",
                                            "TypeGroup",
                                            "DefaultLength",
                                            "DefaultPrecision",
                                            "IsDefault",
                                            "EnableAutoNumbering",
                                            "IsAutoNumber",
                                            "FKDataType",
                                            "MaxLength",
                                            "Synonyms",
                                            "DefinitionID",
                                            "Hidden",
                                            "DomainAsType"};

int GroupOfText(std::string_view text) {
    for (int g = 0; g < GroupCount; ++g)
        if (text == GroupNames[g]) return g;
    if (text == "Sets") return tgSet;
    return -1;
}

uint32_t CapabilitiesOf(const TDataTypeRecord& r) {
    auto has = [](const std::string& t, std::string_view p) { return t.find(p) != std::string::npos; };
    const std::string& base = r.BaseTemplate;
    const std::string& add = r.AdditionalPropertiesTemplate;
    const std::string& autoNum = r.AutoNumberPropertiesTemplate;
    uint32_t c = 0;
    if (has(base, "%L")) c |= dcLength;
    if (has(base, "%P")) c |= dcPrecision;
    if (has(add, "%ZEROFILL")) c |= dcZeroFill;
    if (has(add, "%UNSIGNED")) c |= dcUnsigned;
    if (has(autoNum, "%S")) c |= dcSeed;
    if (has(autoNum, "%I")) c |= dcIncrement;
    if (has(base, "%ITEMS")) c |= dcItems;
    if (r.EnableAutoNumbering) c |= dcAutoNumber;
    if (has(add, "%ALLOWZEROLENGTH")) c |= dcAllowZeroLength;
    if (has(base, "%EXPRESSION") || has(add, "%EXPRESSION")) c |= dcExpression;
    if (has(add, "%CHARACTERSET")) c |= dcCharacterSet;
    if (has(add, "%SUBTYPE")) c |= dcSubType;
    if (has(add, "%SEGMENTSIZE")) c |= dcSegmentSize;
    if (has(add, "%DTOPT")) c |= dcDataTypeOptions;
    if (has(add, "%ARRAYOPTIONS")) c |= dcArrayOptions;
    if (has(add, "%COLLATION")) c |= dcCollation;
    return c;
}

// ---- similar types -----------------------------------------------------------------------

const std::vector<std::vector<std::string>>& Families() {
    static const std::vector<std::vector<std::string>> families = {
        {"INTEGER", "INT", "INT2", "INT4", "INT8", "TINYINT", "MEDIUMINT", "SMALLINT", "BIGINT", "LARGEINT"},
        {"VARCHAR2", "VARCHAR", "CHAR", "NVARCHAR", "NCHAR", "TEXT", "TXT", "STRING", "CHARACTER",
         "CHAR VARYING", "CHARACTER VARYING", "LONGTEXT", "MEMO", "NTEXT"},
        {"BLOB", "CLOB", "NCLOB", "BINARY", "VARBINARY", "BINARY VARYING", "LONGBINARY", "IMAGE", "LONG",
         "LONG RAW", "BYTES", "VARBYTES"},
        {"BOOLEAN", "BOOL", "BIT", "INTEGER", "INT", "TINYINT", "CHAR"},
        {"DATETIME", "DATE", "TIME", "TIMESTAMP", "TIME WITH TIMEZONE", "TIMESTAMP WITH TIMEZONE",
         "DATE WITH TIMEZONE", "DATETIME WITH TIMEZONE", "SMALLDATETIME", "YEAR"},
        {"COUNTER", "SERIAL", "AUTONUMBER", "SERIAL8", "AUTOINC", "AUTOINCREMENT", "IDENTITY", "INTEGER",
         "INT", "INT8", "INT4", "INT2", "TINYINT"},
        {"NUMERIC", "DECIMAL", "NUMBER", "DEC", "DOUBLE", "DOUBLE PRECISION", "FLOAT", "FLOAT4", "FLOAT8",
         "REAL", "MONEY", "SMALLMONEY", "CURRENCY", "CURDOUBLE"},
    };
    return families;
}

} // namespace

const char* TypeGroupName(int group) {
    return group >= 0 && group < GroupCount ? GroupNames[group] : "";
}

std::string ExpandTypeTemplate(std::string_view tmpl, const TDataTypeValues& values, bool checkMode) {
    return ReplaceAll(ReplaceAll(ExpandPart(tmpl, values, checkMode), "~[", "["), "~]", "]");
}

// ---- loading -----------------------------------------------------------------------------

bool TSLDatatypes::LoadFromFile(const std::string& fileName) {
    const std::string name = std::filesystem::path(fileName).filename().string();
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        Clear();
        sourceName_ = name;
        LoadWarnings.push_back("Unable to read data types file \"" + fileName + "\".");
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LoadFromText(text, name);
    return true;
}

void TSLDatatypes::LoadFromText(std::string_view text, std::string_view sourceName) {
    Clear();
    sourceName_ = std::string(sourceName);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3); // UTF-8 byte order mark

    int lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNumber == 1 && !line.empty() && line[0] == 'L') continue; // header naming the columns
        if (Trim(line).empty()) continue;

        TDataTypeRecord r;
        r.LineNumber = lineNumber;
        const std::vector<std::string> f = SplitString(line, ';');
        auto field = [&](int i) -> const std::string& {
            static const std::string empty;
            return i < static_cast<int>(f.size()) ? f[i] : empty;
        };
        auto warn = [&](const std::string& what) {
            LoadWarnings.push_back(what + " in data types file." + Where(lineNumber));
        };
        auto integer = [&](int i) -> int32_t {
            const std::string t = Trim(field(i));
            int32_t v = 0;
            if (t.empty() || TryStrToInt(t, v)) return v;
            warn(std::string("Invalid number \"") + t + "\" for " + FieldNames[i]);
            r.Malformed = true;
            return 0;
        };
        auto flag = [&](int i) -> bool {
            const std::string t = Trim(field(i));
            if (t.empty() || t == "0" || t == "1") return t == "1";
            warn(std::string("Invalid flag \"") + t + "\" for " + FieldNames[i]);
            r.Malformed = true;
            return false;
        };

        r.ListName = Trim(field(0));
        r.BaseTemplate = field(1);
        r.AdditionalPropertiesTemplate = field(2);
        r.AutoNumberPropertiesTemplate = field(3);
        r.TypeGroup = Trim(field(4));
        r.DefaultLength = integer(5);
        r.DefaultPrecision = integer(6);
        r.IsDefault = flag(7);
        r.EnableAutoNumbering = flag(8);
        r.IsAutoNumber = flag(9);
        r.FKDataType = Trim(field(10));
        r.MaxLength = integer(11);
        r.Synonyms = field(12);
        r.DefinitionID = integer(13);
        r.Hidden = flag(14);
        r.DomainAsType = flag(15);
        for (size_t i = FieldCount; i < f.size(); ++i) {
            if (!Trim(f[i]).empty()) {
                warn("Too many fields");
                r.Malformed = true;
                break;
            }
        }
        if (r.ListName.empty()) warn("Data type without name");

        for (const std::string& s : SplitString(r.Synonyms, ',')) {
            std::string t = Trim(s);
            if (!t.empty()) r.SynonymList.push_back(std::move(t));
        }
        r.Group = GroupOfText(r.TypeGroup);
        r.Capabilities = CapabilitiesOf(r);

        lines_.emplace_back(line);
        records_.push_back(std::move(r));
    }
    Rebuild();
}

void TSLDatatypes::Rebuild() {
    listNames_.clear();
    namesAndSynonyms_.clear();
    nameIndex_.clear();
    synonymIndex_.clear();
    definitionIndex_.clear();
    capabilityUnion_ = 0;
    defaultIndex_ = -1;
    autoNumberIndex_ = -1;
    for (int i = 0; i < Count(); ++i) {
        const TDataTypeRecord& r = records_[i];
        listNames_.push_back(r.ListName);
        namesAndSynonyms_.push_back(r.ListName);
        if (!nameIndex_.emplace(UpperCase(r.ListName), i).second)
            LoadWarnings.push_back("Duplicate data type \"" + r.ListName + "\" in data types file." +
                                   Where(r.LineNumber));
        for (const std::string& s : r.SynonymList) {
            namesAndSynonyms_.push_back(s);
            synonymIndex_.emplace(UpperCase(s), i);
        }
        definitionIndex_.emplace(r.DefinitionID, i);
        capabilityUnion_ |= r.Capabilities;
        if (r.IsDefault && defaultIndex_ < 0) defaultIndex_ = i;
        if (r.IsAutoNumber) autoNumberIndex_ = i;
    }
}

void TSLDatatypes::Clear() {
    LoadWarnings.clear();
    sourceName_.clear();
    lines_.clear();
    records_.clear();
    Rebuild();
}

std::string TSLDatatypes::Where(int lineNumber) const {
    if (sourceName_.empty()) return " (line " + IntToStr(lineNumber) + ")";
    return " (" + sourceName_ + ", line " + IntToStr(lineNumber) + ")";
}

// ---- lookups -----------------------------------------------------------------------------

const TDataTypeRecord& TSLDatatypes::Record(int index) const {
    if (index < 0 || index >= Count()) throw EVELError("List index out of bounds (" + IntToStr(index) + ").");
    return records_[index];
}

const TDataTypeRecord* TSLDatatypes::RecordOrNull(std::string_view name) const {
    const int i = IndexOf(name);
    return i < 0 ? nullptr : &records_[i];
}

const TDataTypeRecord* TSLDatatypes::Find(std::string_view name) const {
    return RecordOrNull(name);
}

int TSLDatatypes::IndexOf(std::string_view name) const {
    auto it = nameIndex_.find(UpperCase(name));
    return it == nameIndex_.end() ? -1 : it->second;
}

int TSLDatatypes::IndexByNameOrSynonym(std::string_view name) const {
    const int i = IndexOf(name);
    if (i >= 0) return i;
    auto it = synonymIndex_.find(UpperCase(name));
    return it == synonymIndex_.end() ? -1 : it->second;
}

int TSLDatatypes::IndexOfDefinition(int32_t id) const {
    auto it = definitionIndex_.find(id);
    return it == definitionIndex_.end() ? -1 : it->second;
}

std::string TSLDatatypes::DefaultType() const {
    return defaultIndex_ < 0 ? std::string() : records_[defaultIndex_].ListName;
}

std::string TSLDatatypes::AutoNumberType() const {
    return autoNumberIndex_ < 0 ? std::string() : records_[autoNumberIndex_].ListName;
}

std::vector<std::string> TSLDatatypes::Names(bool includeHidden) const {
    std::vector<std::string> out;
    for (const TDataTypeRecord& r : records_)
        if (includeHidden || !r.Hidden) out.push_back(r.ListName);
    return out;
}

std::string TSLDatatypes::NamesText(bool includeHidden) const {
    return JoinStrings(Names(includeHidden), ",");
}

int TSLDatatypes::TypeGroupAt(int index) const {
    const TDataTypeRecord& r = Record(index);
    if (r.Group < 0)
        throw EVELError("Unknown string for typegroup in data types file." + Where(r.LineNumber));
    return r.Group;
}

int TSLDatatypes::TypeGroup(std::string_view name) const {
    const int i = IndexOf(name);
    return i < 0 ? tgUnknown : TypeGroupAt(i);
}

bool TSLDatatypes::IsNumeric(std::string_view name) const {
    const int g = TypeGroup(name);
    return g == tgExactNumeric || g == tgApproximateNumeric;
}

uint32_t TSLDatatypes::Capabilities(std::string_view name) const {
    const TDataTypeRecord* r = RecordOrNull(name);
    return r ? r->Capabilities : 0;
}

bool TSLDatatypes::DomainAsType(std::string_view name) const {
    const TDataTypeRecord* r = RecordOrNull(name);
    return r && r->DomainAsType;
}

bool TSLDatatypes::LengthRequired(std::string_view name) const {
    const TDataTypeRecord* r = RecordOrNull(name);
    return r && ExpandTypeTemplate(r->BaseTemplate, TDataTypeValues(), false).find('0') != std::string::npos;
}

bool TSLDatatypes::PrecisionRequired(std::string_view name) const {
    const TDataTypeRecord* r = RecordOrNull(name);
    return r && r->BaseTemplate.find("%P") != std::string::npos &&
           ExpandTypeTemplate(r->BaseTemplate, TDataTypeValues(), false).find(",0") != std::string::npos;
}

// ---- type texts --------------------------------------------------------------------------

std::string TSLDatatypes::TypeText(std::string_view name, const TDataTypeValues& values,
                                   bool includeAutoNumber) const {
    const TDataTypeRecord* r = RecordOrNull(name);
    if (!r) return {};
    const TDataTypeValues v = ProtectBrackets(values);
    std::string text = ExpandTypeTemplate(r->BaseTemplate, v, false);
    if (!Trim(r->AdditionalPropertiesTemplate).empty())
        text += ExpandTypeTemplate(r->AdditionalPropertiesTemplate, v, false);
    if (includeAutoNumber && values.AutoNumber && !Trim(r->AutoNumberPropertiesTemplate).empty())
        text += ExpandTypeTemplate(r->AutoNumberPropertiesTemplate, v, false);
    return RestoreBrackets(text);
}

std::string TSLDatatypes::AutoNumberText(std::string_view name, const TDataTypeValues& values) const {
    const TDataTypeRecord* r = RecordOrNull(name);
    if (!r || !values.AutoNumber || Trim(r->AutoNumberPropertiesTemplate).empty()) return {};
    return RestoreBrackets(
        ExpandTypeTemplate(r->AutoNumberPropertiesTemplate, ProtectBrackets(values), false));
}

std::string TSLDatatypes::BaseText(std::string_view name, const TDataTypeValues& values) const {
    const TDataTypeRecord* r = RecordOrNull(name);
    if (!r) return {};
    std::string text = RestoreBrackets(ExpandTypeTemplate(r->BaseTemplate, ProtectBrackets(values), false));
    return text == "AS" ? r->ListName : text;
}

// ---- best match --------------------------------------------------------------------------

int TSLDatatypes::BestMatch(int32_t definitionID, std::string_view sourceName, std::string& message) const {
    message.clear();
    if (definitionID > 0) {
        const int i = IndexOfDefinition(definitionID);
        if (i >= 0) return i;
    }
    if (const int i = IndexByNameOrSynonym(sourceName); i >= 0) return i;
    for (const std::string& similar : SimilarTypes(sourceName))
        if (const int i = IndexOf(similar); i >= 0) return i;
    message = "No exact match found for source data type \"" + std::string(sourceName) +
              "\". Overall default data type will be used:\"" + DefaultType() + "\".";
    return defaultIndex_;
}

bool TSLDatatypes::BestMatch(int32_t definitionID, std::string_view sourceName, TDataTypeRecord& record,
                             std::string& message) const {
    const int i = BestMatch(definitionID, sourceName, message);
    if (i < 0) return false;
    record = records_[i];
    return true;
}

std::vector<std::string> TSLDatatypes::SimilarTypes(std::string_view name) {
    const std::string upper = UpperCase(name);
    for (const auto& family : Families())
        for (const std::string& member : family)
            if (member == upper) return family;
    return {};
}

} // namespace ardvin
