// Conversion rules used when a model moves to another target: data type rules (".dcr") and
// function rules for default values (".fcr"), both shipped with the destination target.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
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
    // Upper-cased source type -> the positions of its rules, in file order.
    std::unordered_map<std::string, std::vector<int>> bySourceType_;
};

// Function rules rewrite function calls in default values. A line is
//   source id;source function;destination function;destination id
// A source written NAME() matches the call with empty parentheses (blanks allowed) and is
// replaced by the destination text whole; NAME[] matches NAME( with any arguments and renames
// only the function, keeping the arguments; a source holding a quote character (a call with
// text arguments, such as datetime('now')) matches the whole value, blanks and enclosing
// parentheses aside; any other text matches as a whole word.
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

class TSLDatatypes;
class TVELDataType;

// Converts the data type values of a model that moves from one target (the source) to another
// (the destination): an explicit rule of the destination for the source wins; else a value of
// an auto-numbering type (type group Autonumber) takes the destination's autonumber type; else
// the destination's type that shares the source type's DefinitionID, or the best match by name.
// Identity is kept: a value that was auto-numbered (by its identity option or by its type) has
// the identity option afterwards when the destination type numbers only with it, and such a
// value whose destination type cannot be auto-numbered takes the destination's autonumber type
// instead. For SQL Server targets a length MAX is written "max".
class TVELDataTypeConverter {
public:
    // destinationTypes: the type list of the destination, loaded; it must outlive the converter.
    TVELDataTypeConverter(const TSLDatatypes& destinationTypes, std::string_view destinationDBID);
    ~TVELDataTypeConverter();

    // Reads the source's type list (when the source differs from the destination and its ".typ"
    // file exists in the folder) and the destination's rule files (".dcr", ".fcr") for the
    // source, when they exist. Without this call only the best match by name is used.
    void LoadSource(std::string_view sourceDBID, const std::string& definitionsFolder);

    const TSLDatatypes* SourceTypes() const { return sourceTypes_.get(); }
    const TVELTypeConversionRules& TypeRules() const { return typeRules_; }
    const TVELFunctionConversionRules& FunctionRules() const { return functionRules_; }

    // Converts one value in place; a column's value takes part in the autonumber handling (only
    // when a source other than the destination was loaded).
    // defaultValue, when given, goes through the function rules. Returns the warning of the
    // best match (empty when there is none).
    std::string Convert(TVELDataType& value, bool column, std::string* defaultValue) const;

private:
    const TSLDatatypes& destinationTypes_;
    std::string destinationDBID_;
    std::unique_ptr<TSLDatatypes> sourceTypes_;
    bool switching_ = false;  // a source other than the destination was given
    TVELTypeConversionRules typeRules_;
    TVELFunctionConversionRules functionRules_;
};

// Splits a rule file into trimmed fields per line, dropping a header line that begins with
// "Source", blank lines, and lines whose first field is not sourceDBID.
std::vector<std::vector<std::string>> ReadRuleLines(std::string_view text, std::string_view sourceDBID);

}  // namespace ardvin
