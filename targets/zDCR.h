// Conversion rules used when a model moves to another target: data type rules (".dcr") and
// function rules for default values (".fcr"), both shipped with the destination target.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zNamedObject.h"

namespace ardvin {

// One data type rule: a source type with an optional length range, and how the destination
// type, length and precision are made.
class TDCRLine : public TVELNamedObject {
public:
    explicit TDCRLine(TVELPersistent* owner = nullptr) : TVELNamedObject(owner) {}
    VEL_DECLARE_CREATE(TDCRLine)

    std::string SourceDBID;
    std::string SourceDataType;
    std::string SourceLengthRangeFrom;  // a number, or a text matched against non-numeric lengths
    std::string SourceLengthRangeTo;    // a number, or empty for no upper bound
    std::string DestinationDataType;
    std::string DestinationLengthConversion;
    std::string DestinationPrecisionConversion;
    std::string DestinationDBID;

    // Display texts: "VARCHAR (1-255)", "VARCHAR (>256)"; "VARCHAR2 (+2,4)".
    std::string Source() const;
    std::string Destination() const;
    std::string GetPropertyValue(std::string_view key) const override;

    // Whether the rule applies to a source length text.
    bool MatchesLength(std::string_view length) const;
};

// Applies a length or precision conversion text to a value: empty keeps the value; "+n" or
// "-n" adds or subtracts (for lengths "+PREC"/"-PREC" use the source precision); any other
// text is the new value itself.
std::string ConvertByRule(std::string_view value, std::string_view conversion, int32_t sourcePrecision,
                          bool isLength);

// The data type rules of one destination target for one source target.
class TVELTypeConversionRules {
public:
    // Keeps only the lines whose source id is sourceDBID; returns false when the file is missing.
    bool LoadFromFile(const std::string& fileName, std::string_view sourceDBID);
    void LoadFromText(std::string_view text, std::string_view sourceDBID);
    int Count() const { return static_cast<int>(rules_.size()); }
    const TDCRLine& Rule(int index) const { return *rules_.at(index); }

    // Finds the first matching rule for a source type; on a match sets the destination type
    // and converts precision, then length, and returns true.
    bool Convert(std::string_view sourceType, std::string& length, int32_t& precision,
                 std::string& destinationType) const;

private:
    std::vector<std::unique_ptr<TDCRLine>> rules_;
};

// Function rules rewrite function calls in default values. A line is
//   source id;source function;destination function;destination id
// A source written NAME() matches the call with empty parentheses (blanks allowed) and is
// replaced by the destination text whole; NAME[] matches NAME( with any arguments and renames
// only the function, keeping the arguments; any other text matches as a whole word.
struct TFCRLine {
    std::string SourceDBID;
    std::string SourceFunction;
    std::string DestinationFunction;
    std::string DestinationDBID;
};

class TVELFunctionConversionRules {
public:
    bool LoadFromFile(const std::string& fileName, std::string_view sourceDBID);
    void LoadFromText(std::string_view text, std::string_view sourceDBID);
    int Count() const { return static_cast<int>(rules_.size()); }
    const TFCRLine& Rule(int index) const { return rules_.at(index); }
    // The value with every rule applied in file order; string literals are left alone.
    std::string Convert(std::string_view value) const;

private:
    std::vector<TFCRLine> rules_;
};

// Splits a rule file into trimmed fields per line, dropping a header line that begins with
// "Source", blank lines, and lines whose first field is not sourceDBID.
std::vector<std::vector<std::string>> ReadRuleLines(std::string_view text, std::string_view sourceDBID);

}  // namespace ardvin
