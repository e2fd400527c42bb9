#include "zDatatype.h"

#include "zXMLUtils.h"

namespace ardvin {

namespace {

// One stored field: its property key, its markup element, its default as text and whether it
// is written when it holds the default. Exactly one of the member pointers is set.
struct TDataTypeField {
    std::string_view Key;
    std::string_view Element;
    std::string_view Default;
    bool WriteAlways;
    std::string TVELDataType::*Text;
    int32_t TVELDataType::*Number;
    bool TVELDataType::*Flag;
};

constexpr TDataTypeField TextField(std::string_view key, std::string_view element, std::string_view def,
                                   bool always, std::string TVELDataType::*m) {
    return {key, element, def, always, m, nullptr, nullptr};
}
constexpr TDataTypeField NumberField(std::string_view key, std::string_view element, std::string_view def,
                                     int32_t TVELDataType::*m) {
    return {key, element, def, true, nullptr, m, nullptr};
}
constexpr TDataTypeField FlagField(std::string_view key, std::string_view element, bool always,
                                   bool TVELDataType::*m) {
    return {key, element, "0", always, nullptr, nullptr, m};
}

// In the order of the markup.
const TDataTypeField Fields[] = {
    TextField("DataType", "DTLISTNAME", "", true, &TVELDataType::DataType),
    TextField("Length", "LENGTH", "0", true, &TVELDataType::Length),
    NumberField("Precision", "PRECISION", "0", &TVELDataType::Precision),
    NumberField("Seed", "SEED", "1", &TVELDataType::Seed),
    NumberField("Increment", "INCREMENT", "1", &TVELDataType::Increment),
    FlagField("AutoNumber", "AUTONUMBER", true, &TVELDataType::AutoNumber),
    TextField("Items", "ITMS", "", false, &TVELDataType::Items),
    FlagField("Unsigned", "UNSIGNED", true, &TVELDataType::Unsigned),
    FlagField("ZeroFill", "ZEROFILL", true, &TVELDataType::ZeroFill),
    TextField("Expression", "EXPR", "", false, &TVELDataType::Expression),
    TextField("CharacterSet", "CHARSET", "", false, &TVELDataType::CharacterSet),
    TextField("Collation", "COLLATION", "", false, &TVELDataType::Collation),
    TextField("SubType", "SUBTYPE", "", false, &TVELDataType::SubType),
    TextField("SegmentSize", "SGSIZE", "", false, &TVELDataType::SegmentSize),
    TextField("DTOptions", "DTOPT", "", false, &TVELDataType::DTOptions),
    TextField("ArrayOptions", "AROPT", "", false, &TVELDataType::ArrayOptions),
    FlagField("AllowZeroLength", "ALLOWZEROLENGTH", false, &TVELDataType::AllowZeroLength),
};

const TDataTypeField* FieldOfKey(std::string_view key) {
    for (const TDataTypeField& f : Fields)
        if (SameText(f.Key, key)) return &f;
    return nullptr;
}

const char* const CannotValidate =
    "Cannot validate datatype(s). Please ensure that the database type file(*.typ) located in the "
    "definitions folder of your installation folder is valid.";

} // namespace

TVELDataType::TVELDataType(TVELPersistent* owner) : TVELDatabaseObject(owner) {
    Seed = 1;
    Increment = 1;
    SetDefaultType();
}

const TSLDatatypes* TVELDataType::TypeList() const {
    return GetDataTypes();
}

void TVELDataType::SetDefaultType() {
    const TSLDatatypes* list = TypeList();
    if (!list) return;
    std::string def = list->DefaultType();
    if (!def.empty()) DataType = std::move(def);
}

uint32_t TVELDataType::Capabilities() const {
    const TSLDatatypes* list = TypeList();
    return list ? list->Capabilities(DataType) : 0;
}

std::string TVELDataType::TypeText() const {
    const TSLDatatypes* list = TypeList();
    return list ? list->TypeText(DataType, Values(), true) : std::string();
}

std::string TVELDataType::BaseText() const {
    const TSLDatatypes* list = TypeList();
    return list ? list->BaseText(DataType, Values()) : std::string();
}

std::string TVELDataType::AutoNumberText() const {
    const TSLDatatypes* list = TypeList();
    return list ? list->AutoNumberText(DataType, Values()) : std::string();
}

// ---- properties --------------------------------------------------------------------------

std::string TVELDataType::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "PhysName")) return TypeText();
    const TDataTypeField* f = FieldOfKey(key);
    if (!f) return TVELDatabaseObject::GetPropertyValue(key);
    if (f->Text) return this->*(f->Text);
    if (f->Number) return IntToStr(this->*(f->Number));
    return this->*(f->Flag) ? "Yes" : "No";
}

void TVELDataType::SetPropertyValue(std::string_view key, std::string_view value) {
    const TDataTypeField* f = FieldOfKey(key);
    if (!f) {
        TVELDatabaseObject::SetPropertyValue(key, value);
        return;
    }
    bool changed = false;
    if (f->Text) {
        std::string text = f->Text == &TVELDataType::DataType || f->Text == &TVELDataType::Length
                               ? Trim(value)
                               : std::string(value);
        changed = this->*(f->Text) != text;
        this->*(f->Text) = std::move(text);
    } else if (f->Number) {
        const int32_t n = StrToIntDef(value, this->*(f->Number));
        changed = this->*(f->Number) != n;
        this->*(f->Number) = n;
    } else {
        const bool b = StrToBoolValue(Trim(value));
        changed = this->*(f->Flag) != b;
        this->*(f->Flag) = b;
    }
    if (changed) DoChanged();
}

bool TVELDataType::ValidatePropertyValue(std::string_view key, std::string_view value,
                                         const TVELMessageCallback& callback) {
    const TSLDatatypes* list = TypeList();
    if (!list) return TVELDatabaseObject::ValidatePropertyValue(key, value, callback);
    const uint32_t caps = list->Capabilities(DataType);
    const TDataTypeRecord* rec = list->Find(DataType);
    const std::string quoted = "\"" + DataType + "\"";
    bool ok = true;
    auto error = [&](const std::string& text) {
        ok = false;
        AddMessage(mlError, text, callback);
    };
    int32_t n = 0;
    if (SameText(key, "Length")) {
        if ((caps & dcLength) && TryStrToInt(value, n)) {
            if (n < 0)
                error("Length may not be less than zero.");
            else if (rec->MaxLength >= 1 && n > rec->MaxLength)
                error("Length for data type " + quoted + " exceeds max length.");
            else if (n == 0 && list->LengthRequired(DataType))
                error("Length is required for data type " + quoted + ".");
        }
    } else if (SameText(key, "Precision")) {
        if ((caps & dcPrecision) && TryStrToInt(value, n)) {
            if (n < 0)
                error("Precision may not be less than zero.");
            else if (n == 0 && list->PrecisionRequired(DataType))
                error("Precision is required for data type " + quoted + ".");
        }
    } else if (SameText(key, "Items")) {
        if ((caps & dcItems) && list->TypeGroup(DataType) == tgSet && Trim(value).empty())
            error("At least one item is required for data type " + quoted + ".");
    } else if (SameText(key, "Increment")) {
        if ((caps & dcIncrement) && TryStrToInt(value, n) && n == 0)
            error("Increment can not be zero for data type " + quoted + ".");
    } else if (SameText(key, "DataType")) {
        if (list->IndexOf(value) < 0)
            error("Data type \"" + std::string(value) + "\" does not exist in list of data types.");
    } else {
        return TVELDatabaseObject::ValidatePropertyValue(key, value, callback);
    }
    return ok;
}

// ---- copy, validation, markup ------------------------------------------------------------

void TVELDataType::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    const auto* other = dynamic_cast<const TVELDataType*>(&source);
    if (!other) return;
    for (const TDataTypeField& f : Fields) {
        if (f.Text) this->*(f.Text) = other->*(f.Text);
        if (f.Number) this->*(f.Number) = other->*(f.Number);
        if (f.Flag) this->*(f.Flag) = other->*(f.Flag);
    }
}

bool TVELDataType::Validate(bool fix, const TVELMessageCallback& callback) {
    (void)fix; // what can be repaired is always repaired
    const TSLDatatypes* list = TypeList();
    if (!list || list->Count() == 0 || list->Record(0).Malformed) throw EVELError(CannotValidate);

    if (list->IndexOf(DataType) < 0) {
        std::string message;
        const int match = list->BestMatch(0, DataType, message);
        if (match >= 0) DataType = list->Record(match).ListName;
        if (!message.empty()) AddMessage(mlWarning, message, callback);
    }
    const TDataTypeRecord* rec = list->Find(DataType);
    const uint32_t caps = rec ? rec->Capabilities : 0;
    const int32_t maxLength = rec ? rec->MaxLength : 0;
    const int32_t length = StrToIntDef(Length, 0);
    const std::string quoted = "\"" + DataType + "\"";
    auto error = [&](const std::string& text) { AddMessage(mlError, text, callback); };

    if ((caps & dcItems) && list->TypeGroup(DataType) == tgSet && Trim(Items).empty())
        error("At least one item is required for data type " + quoted + ".");
    if ((caps & dcLength) && maxLength >= 1 && length > maxLength)
        error("Length for data type " + quoted + " exceeds max length.");
    if ((caps & dcLength) && length < 0) error("Length may not be less than zero.");
    if ((caps & dcPrecision) && Precision < 0) error("Precision may not be less than zero.");
    if ((caps & dcIncrement) && AutoNumber && Increment == 0)
        error("Increment can not be zero for data type " + quoted + ".");

    // Repairs come before their message, which may raise.
    if (Unsigned && !(caps & dcUnsigned)) {
        Unsigned = false;
        error("Unsigned not allowed for data type " + quoted + ". Unsigned set to false.");
    }
    if (ZeroFill && !(caps & dcZeroFill)) {
        ZeroFill = false;
        error("Zerofill not allowed for data type " + quoted + ". Zerofill set to false.");
    }
    if (AutoNumber && !(caps & dcAutoNumber)) {
        AutoNumber = false;
        error("Identity not allowed for data type " + quoted + ". Identity set to false.");
    }
    if (!(caps & dcLength) && Length != "0") {
        Length = "0";
        error("No length allowed for data type " + quoted + ". Length set to zero.");
    }
    if (!(caps & dcPrecision) && Precision != 0) {
        Precision = 0;
        error("No precision allowed for data type " + quoted + ". Precision set to zero.");
    }
    if (!(caps & dcItems) && !Items.empty()) {
        Items.clear();
        error("No items allowed for data type " + quoted + ". Items deleted.");
    }

    if (Length == "0" && (caps & dcLength) && rec->BaseTemplate.find("[(%L") == std::string::npos &&
        rec->BaseTemplate.find("[%L") == std::string::npos)
        error("Length is required for data type " + quoted + ".");
    return true;
}

std::string TVELDataType::SaveToMarkup() const {
    std::string out;
    AppendMarkup(out);
    return out;
}

void TVELDataType::AppendMarkup(std::string& out) const {
    for (const TDataTypeField& f : Fields) {
        if (f.Text) {
            const std::string& value = this->*(f.Text);
            if (f.WriteAlways || value != f.Default) AppendElement(out, f.Element, value);
            continue;
        }
        const std::string value = f.Number ? IntToStr(this->*(f.Number)) : BoolStr(this->*(f.Flag));
        if (f.WriteAlways || value != f.Default) AppendElement(out, f.Element, value);
    }
    AppendElement(out, "PHYSNAME", TypeText());
}

bool TVELDataType::LoadFromMarkup(std::string_view text) {
    bool ok = true;
    for (const TDataTypeField& f : Fields) {
        std::string value = ReadElementText(f.Element, text);
        if (value.empty()) value = f.Default;
        if (f.Text) {
            this->*(f.Text) = value;
        } else if (f.Number) {
            int32_t n = 0;
            if (!TryStrToInt(value, n)) {
                ok = false;
                n = StrToInt(f.Default);
            }
            this->*(f.Number) = n;
        } else {
            this->*(f.Flag) = StrToBoolValue(value);
        }
    }
    if (DataType.empty()) SetDefaultType();
    return ok;
}

} // namespace ardvin
