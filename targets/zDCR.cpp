#include "zDCR.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "zDatatype.h"
#include "zSLDatatypes.h"

namespace ardvin {

namespace {

bool IsInteger(std::string_view s, int64_t& v) { return TryStrToInt64(s, v); }

bool ReadWholeFile(const std::string& fileName, std::string& text) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

bool IsWordChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u >= 128;
}

}  // namespace

std::vector<std::vector<std::string>> ReadRuleLines(std::string_view text, std::string_view sourceDBID) {
    std::vector<std::vector<std::string>> out;
    bool first = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const bool isFirst = first;
        first = false;
        if (isFirst && line.substr(0, 6) == "Source") continue;
        if (Trim(line).empty()) continue;
        std::vector<std::string> fields;
        for (auto& f : SplitString(line, ';')) fields.push_back(Trim(f));
        if (!SameText(fields[0], Trim(sourceDBID))) continue;
        out.push_back(std::move(fields));
    }
    return out;
}

// ---- TDCRLine -----------------------------------------------------------------------------

std::string TDCRLine::Source() const {
    std::string r = SourceDataType;
    if (!SourceLengthRangeFrom.empty()) {
        if (!SourceLengthRangeTo.empty())
            r += " (" + SourceLengthRangeFrom + "-" + SourceLengthRangeTo + ")";
        else
            r += " (>" + SourceLengthRangeFrom + ")";
    }
    return r;
}

std::string TDCRLine::Destination() const {
    std::string r = DestinationDataType;
    std::string parts = DestinationLengthConversion;
    if (!DestinationPrecisionConversion.empty()) parts += "," + DestinationPrecisionConversion;
    if (!parts.empty()) r += " (" + parts + ")";
    return r;
}

std::string TDCRLine::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "Source")) return Source();
    if (SameText(key, "Destination")) return Destination();
    if (SameText(key, "SourceDBID")) return SourceDBID;
    if (SameText(key, "SourceDataType")) return SourceDataType;
    if (SameText(key, "SourceLengthRangeFrom")) return SourceLengthRangeFrom;
    if (SameText(key, "SourceLengthRangeTo")) return SourceLengthRangeTo;
    if (SameText(key, "DestinationDataType")) return DestinationDataType;
    if (SameText(key, "DestinationLengthConversion")) return DestinationLengthConversion;
    if (SameText(key, "DestinationPrecisionConversion")) return DestinationPrecisionConversion;
    if (SameText(key, "DestinationDBID")) return DestinationDBID;
    return TVELNamedObject::GetPropertyValue(key);
}

bool TDCRLine::MatchesLength(std::string_view lengthText) const {
    int64_t length = 0;
    if (!IsInteger(lengthText, length) || length < 1)
        return SourceLengthRangeFrom.empty() || UpperCase(Trim(lengthText)) == UpperCase(SourceLengthRangeFrom);
    if (SourceLengthRangeFrom.empty()) return true;
    int64_t from = 0, to = 0;
    if (!IsInteger(SourceLengthRangeFrom, from)) return false;  // a text bound only matches texts
    const bool hasTo = IsInteger(SourceLengthRangeTo, to);
    if (!hasTo) return length >= from;
    if (from == 0 && to == 0) return true;
    if (to == 0) return length >= from;
    return from <= length && length <= to;
}

std::string ConvertByRule(std::string_view value, std::string_view conversion, int32_t sourcePrecision,
                          bool isLength) {
    const std::string conv = Trim(conversion);
    if (conv.empty()) return std::string(value);
    const bool plus = conv.find('+') != std::string::npos;
    const bool minus = conv.find('-') != std::string::npos;
    if (!plus && !minus) return conv;
    std::string rest;
    for (char c : conv)
        if (c != '+' && c != '-') rest += c;
    rest = Trim(rest);
    int64_t amount = 0;
    if (isLength && SameText(rest, "PREC"))
        amount = sourcePrecision;
    else if (!IsInteger(rest, amount))
        return conv;
    int64_t old = 0;
    if (!IsInteger(value, old)) old = 0;
    return IntToStr(plus ? old + amount : old - amount);
}

// ---- TVELTypeConversionRules ---------------------------------------------------------------

bool TVELTypeConversionRules::LoadFromFile(const std::string& fileName, std::string_view sourceDBID) {
    rules_.clear();
    bySourceType_.clear();
    std::string text;
    if (!ReadWholeFile(fileName, text)) return false;
    LoadFromText(text, sourceDBID);
    return true;
}

void TVELTypeConversionRules::LoadFromText(std::string_view text, std::string_view sourceDBID) {
    rules_.clear();
    bySourceType_.clear();
    for (auto& f : ReadRuleLines(text, sourceDBID)) {
        f.resize(8);
        auto rule = std::make_unique<TDCRLine>();
        rule->SourceDBID = f[0];
        rule->SourceDataType = f[1];
        int64_t n = 0;
        // Bounds that are not integers count as absent, except a text lower bound, which is
        // matched against non-numeric lengths such as MAX.
        rule->SourceLengthRangeFrom = f[2];
        rule->SourceLengthRangeTo = IsInteger(f[3], n) ? f[3] : std::string();
        rule->DestinationDataType = f[4];
        rule->DestinationLengthConversion = f[5];
        rule->DestinationPrecisionConversion = f[6];
        rule->DestinationDBID = f[7];
        rule->SetName(rule->Source());
        bySourceType_[UpperCase(rule->SourceDataType)].push_back(static_cast<int>(rules_.size()));
        rules_.push_back(std::move(rule));
    }
}

bool TVELTypeConversionRules::Convert(std::string_view sourceType, std::string& length, int32_t& precision,
                                      std::string& destinationType) const {
    if (rules_.empty()) return false;
    const auto found = bySourceType_.find(UpperCase(sourceType));
    if (found == bySourceType_.end()) return false;
    for (const int index : found->second) {
        const TDCRLine* rule = rules_[index].get();
        if (rule->DestinationDataType.empty()) continue;
        if (!rule->MatchesLength(length)) continue;
        destinationType = rule->DestinationDataType;
        const int32_t sourcePrecision = precision;
        precision = StrToIntDef(
            ConvertByRule(IntToStr(precision), rule->DestinationPrecisionConversion, sourcePrecision, false),
            precision);
        length = ConvertByRule(length, rule->DestinationLengthConversion, sourcePrecision, true);
        return true;
    }
    return false;
}

// ---- TVELFunctionConversionRules -----------------------------------------------------------

bool TVELFunctionConversionRules::LoadFromFile(const std::string& fileName, std::string_view sourceDBID) {
    rules_.clear();
    std::string text;
    if (!ReadWholeFile(fileName, text)) return false;
    LoadFromText(text, sourceDBID);
    return true;
}

void TVELFunctionConversionRules::LoadFromText(std::string_view text, std::string_view sourceDBID) {
    rules_.clear();
    for (auto& f : ReadRuleLines(text, sourceDBID)) {
        f.resize(4);
        if (f[1].empty()) continue;
        rules_.push_back({f[0], f[1], f[2], f[3]});
    }
}

namespace {

// Applies one rule to a stretch of text outside string literals.
std::string ApplyFunctionRule(std::string_view text, const TFCRLine& rule) {
    std::string source = rule.SourceFunction;
    std::string dest = rule.DestinationFunction;
    enum { Whole, EmptyCall, AnyCall } kind = Whole;
    if (source.size() > 2 && source.compare(source.size() - 2, 2, "()") == 0) {
        kind = EmptyCall;
        source = Trim(source.substr(0, source.size() - 2));
    } else if (source.size() > 2 && source.compare(source.size() - 2, 2, "[]") == 0) {
        kind = AnyCall;
        source = Trim(source.substr(0, source.size() - 2));
        if (dest.size() > 2 && dest.compare(dest.size() - 2, 2, "[]") == 0) dest = Trim(dest.substr(0, dest.size() - 2));
    }
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t hit = FindText(text, source, pos);
        if (hit == std::string_view::npos) break;
        const size_t after = hit + source.size();
        const bool wordStart = hit == 0 || !IsWordChar(text[hit - 1]);
        const bool wordEnd = after >= text.size() || !IsWordChar(text[after]);
        size_t end = after;
        bool ok = wordStart && wordEnd;
        if (ok && kind != Whole) {
            size_t p = after;
            while (p < text.size() && text[p] == ' ') ++p;
            if (p >= text.size() || text[p] != '(') {
                ok = false;
            } else if (kind == EmptyCall) {
                size_t q = p + 1;
                while (q < text.size() && text[q] == ' ') ++q;
                ok = q < text.size() && text[q] == ')';
                end = q + 1;
            }
        }
        if (!ok) {
            out.append(text.substr(pos, after - pos));
            pos = after;
            continue;
        }
        out.append(text.substr(pos, hit - pos));
        out.append(dest);
        pos = end;
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace

namespace {

// The value cut into code and string literals (text, is literal).
std::vector<std::pair<std::string, bool>> CodeAndLiterals(std::string_view value) {
    std::vector<std::pair<std::string, bool>> pieces;
    size_t i = 0, start = 0;
    while (i < value.size()) {
        if (value[i] == '\'') {
            if (i > start) pieces.emplace_back(std::string(value.substr(start, i - start)), false);
            size_t j = i + 1;
            while (j < value.size()) {
                if (value[j] == '\'') {
                    if (j + 1 < value.size() && value[j + 1] == '\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const size_t stop = j < value.size() ? j + 1 : value.size();
            pieces.emplace_back(std::string(value.substr(i, stop - i)), true);
            i = start = stop;
        } else {
            ++i;
        }
    }
    if (start < value.size()) pieces.emplace_back(std::string(value.substr(start)), false);
    return pieces;
}

// A value without blanks and without parentheses enclosing all of it, for comparing whole values.
std::string Compact(std::string_view value) {
    std::string r;
    for (char c : value)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') r += c;
    for (;;) {
        if (r.size() < 2 || r.front() != '(' || r.back() != ')') return r;
        int depth = 0;
        for (size_t i = 0; i + 1 < r.size(); ++i) {
            depth += r[i] == '(' ? 1 : r[i] == ')' ? -1 : 0;
            if (depth == 0) return r;  // the first parenthesis closes before the end
        }
        r = r.substr(1, r.size() - 2);
    }
}

}  // namespace

std::string TVELFunctionConversionRules::Convert(std::string_view value) const {
    std::string current(value);
    for (const auto& rule : rules_) {
        if (rule.SourceFunction.find('\'') != std::string::npos) {
            if (SameText(Compact(current), Compact(rule.SourceFunction))) current = rule.DestinationFunction;
            continue;
        }
        // Rules touch only the code, never string literals.
        std::string out;
        for (auto& [text, literal] : CodeAndLiterals(current)) out += literal ? text : ApplyFunctionRule(text, rule);
        current = std::move(out);
    }
    return current;
}

// ---- TVELDataTypeConverter -------------------------------------------------------------------

TVELDataTypeConverter::TVELDataTypeConverter(const TSLDatatypes& destinationTypes, std::string_view destinationDBID)
    : destinationTypes_(destinationTypes), destinationDBID_(destinationDBID) {}

TVELDataTypeConverter::~TVELDataTypeConverter() = default;

void TVELDataTypeConverter::LoadSource(std::string_view sourceDBID, const std::string& definitionsFolder) {
    sourceTypes_.reset();
    typeRules_.LoadFromText({}, {});
    functionRules_.LoadFromText({}, {});
    switching_ = !sourceDBID.empty() && !SameText(sourceDBID, destinationDBID_);
    if (!switching_) return;
    namespace fs = std::filesystem;
    const fs::path folder(definitionsFolder);
    std::error_code ec;
    const fs::path types = folder / (std::string(sourceDBID) + ".typ");
    if (fs::exists(types, ec)) {
        sourceTypes_ = std::make_unique<TSLDatatypes>();
        if (!sourceTypes_->LoadFromFile(types.string())) sourceTypes_.reset();
    }
    typeRules_.LoadFromFile((folder / (destinationDBID_ + ".dcr")).string(), sourceDBID);
    functionRules_.LoadFromFile((folder / (destinationDBID_ + ".fcr")).string(), sourceDBID);
}

std::string TVELDataTypeConverter::Convert(TVELDataType& value, bool column, std::string* defaultValue) const {
    const TDataTypeRecord* source = sourceTypes_ ? sourceTypes_->Find(value.DataType) : nullptr;
    const bool autoNumberType = source && source->Group == tgAutonumber;
    const bool identity = value.AutoNumber || autoNumberType;
    std::string message;
    std::string type;
    if (typeRules_.Convert(value.DataType, value.Length, value.Precision, type)) {
        value.DataType = type;
    } else if (column && autoNumberType && !destinationTypes_.AutoNumberType().empty()) {
        value.DataType = destinationTypes_.AutoNumberType();
    } else if (source || destinationTypes_.IndexOf(value.DataType) < 0) {
        const int match = destinationTypes_.BestMatch(source ? source->DefinitionID : 0, value.DataType, message);
        if (match >= 0) value.DataType = destinationTypes_.Record(match).ListName;
    }
    if (defaultValue && functionRules_.Count() > 0 && !defaultValue->empty())
        *defaultValue = functionRules_.Convert(*defaultValue);

    if (const TDataTypeRecord* destination = column && switching_ ? destinationTypes_.Find(value.DataType) : nullptr) {
        if (destination->Group == tgAutonumber) {
            // The type numbers by itself; the identity option stays only where the type takes it.
            value.AutoNumber = value.AutoNumber && destination->EnableAutoNumbering;
        } else if (identity && !destination->EnableAutoNumbering) {
            const TDataTypeRecord* autoNumber = destinationTypes_.Find(destinationTypes_.AutoNumberType());
            if (autoNumber && (autoNumber->EnableAutoNumbering || autoNumber->Group == tgAutonumber)) {
                value.DataType = autoNumber->ListName;
                value.AutoNumber = autoNumber->Group != tgAutonumber;
            } else {
                value.AutoNumber = true;  // validation reports that the type cannot keep it
            }
        } else {
            value.AutoNumber = identity;
        }
    }
    if (StartsText("mssqlserver", destinationDBID_) && SameText(Trim(value.Length), "MAX")) value.Length = "max";
    return message;
}

}  // namespace ardvin
