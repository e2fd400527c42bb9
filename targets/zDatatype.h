// The data type value of a column or domain: the chosen type of the target's data type list
// (by list name) with its length, precision, autonumber settings, items and options, its
// validation against the list, and the type text that goes into scripts.
//
// Markup: the owner writes the value inside its own element (Element, "DT"). Only the fields
// below are written; the common fields of named objects are not, a data type value being part
// of its column or domain.
//
//   element          field             written
//   DTLISTNAME       DataType          always
//   LENGTH           Length            always
//   PRECISION        Precision         always
//   SEED             Seed              always
//   INCREMENT        Increment         always
//   AUTONUMBER       AutoNumber        always
//   ITMS             Items             when not empty
//   UNSIGNED         Unsigned          always
//   ZEROFILL         ZeroFill          always
//   EXPR             Expression        when not empty
//   CHARSET          CharacterSet      when not empty
//   COLLATION        Collation         when not empty
//   SUBTYPE          SubType           when not empty
//   SGSIZE           SegmentSize       when not empty
//   DTOPT            DTOptions         when not empty
//   AROPT            ArrayOptions      when not empty
//   ALLOWZEROLENGTH  AllowZeroLength   when set
//   PHYSNAME         the type text     always; never read
//
// Reading: a missing or empty element gives the field's default (Length "0", Seed and
// Increment 1, a missing DTLISTNAME the target's default type); a number element that does
// not hold a number fails the load.
//
// Property keys (case-insensitive) are the field names above plus "PhysName" (the type text,
// read only); flags read as "Yes"/"No" and are set by "Yes" or "1".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zDatabaseObject.h"
#include "zSLDatatypes.h"

namespace ardvin {

// The value fields (Length, Precision, Seed, Increment, the flags and the option texts) come
// from TDataTypeValues; a new value has Seed and Increment 1.
class TVELDataType : public TVELDatabaseObject, public TDataTypeValues {
public:
    static constexpr std::string_view Element = "DT";

    // DataType starts as the overall default type of the list reached through the owner.
    explicit TVELDataType(TVELPersistent* owner);
    VEL_DECLARE_CREATE(TVELDataType)

    std::string DataType; // ListName of the chosen type

    // The data type list of the target: by default the list of the root data dictionary;
    // values that reach their target otherwise override it. nullptr when none is reachable.
    virtual const TSLDatatypes* TypeList() const;
    // Sets DataType to the overall default type of TypeList() when there is one.
    void SetDefaultType();

    const TDataTypeValues& Values() const { return *this; }
    uint32_t Capabilities() const; // of DataType; 0 without a list
    // The full type text (base, additional part and, for an autonumber value, autonumber part).
    std::string TypeText() const;
    std::string BaseText() const;
    std::string AutoNumberText() const;

    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    bool ValidatePropertyValue(std::string_view key, std::string_view value,
                               const TVELMessageCallback& callback) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    // Checks the value against the list and repairs what it can (the repairs are made also
    // when only reported); always returns true. Raises when the list is missing or unreadable.
    bool Validate(bool fix, const TVELMessageCallback& callback) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
    // SaveToMarkup written into out.
    void AppendMarkup(std::string& out) const;
};

} // namespace ardvin
