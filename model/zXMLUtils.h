// The markup codec of project files and model objects: value elements, sections,
// escaping, the reader primitives, the settings list and the integer list.
// The codec works on bytes; UTF-8 passes through untouched.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ardvin {

// The one exception type of the system: conditions that end an operation.
// Its text reaches the user as it stands.
class EVELError : public std::runtime_error {
public:
    explicit EVELError(const std::string& text) : std::runtime_error(text) {}
};

inline constexpr std::string_view CRLF = "\r\n";

// ---- small text helpers shared by every unit -------------------------------------------

char UpperChar(char c);  // ASCII a..z only; other bytes unchanged
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);  // ASCII case-insensitive
bool StartsText(std::string_view prefix, std::string_view s);
std::string Trim(std::string_view s);  // removes bytes <= ' ' at both ends
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// Splits at every separator, keeping empty items; an empty text gives an empty list.
std::vector<std::string> SplitString(std::string_view s, char sep);
std::string JoinStrings(const std::vector<std::string>& items, std::string_view sep);
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
std::string ReplaceAllText(std::string_view s, std::string_view from, std::string_view to);  // case-insensitive
size_t FindText(std::string_view haystack, std::string_view needle, size_t from = 0);     // case-insensitive
bool TryStrToInt(std::string_view s, int32_t& value);  // decimal, optional sign, surrounding blanks allowed
bool TryStrToInt64(std::string_view s, int64_t& value);
int32_t StrToIntDef(std::string_view s, int32_t def);
// Decimal integer; a text that is not one raises EVELError with the text quoted.
int32_t StrToInt(std::string_view s);
std::string IntToStr(int64_t v);
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// ---- writer ------------------------------------------------------------------------------

// CR LF + "<TAG>" + Escape(value) + "</TAG>", the tag upper-cased.
std::string WriteElement(std::string_view tag, std::string_view value);
inline const char* BoolStr(bool value) { return value ? "1" : "0"; }
// Appending forms, for writers that build long texts.
void AppendElement(std::string& out, std::string_view tag, std::string_view value);
// A number written in decimal, without a temporary text.
void AppendElement(std::string& out, std::string_view tag, int64_t value);
// CR LF + "<tag>" + content + CR LF + "</tag>", the tag as given.
std::string WrapSection(std::string_view tag, std::string_view content);
void AppendSection(std::string& out, std::string_view tag, std::string_view content);
// The same with the content written by append(out), without a copy of its own.
template <class Append> void AppendSectionWith(std::string& out, std::string_view tag, Append&& append) {
    out.append(CRLF).append(1, '<').append(tag).append(1, '>');
    append(out);
    out.append(CRLF).append("</").append(tag).append(1, '>');
}

std::string Escape(std::string_view text);
std::string Unescape(std::string_view text);

// ---- reader ------------------------------------------------------------------------------
// Positions are byte offsets into the text; 0 is its start.

// The content of the first element with the tag found from position, without unescaping.
// On success position moves past the close tag. A missing open tag gives the default, a
// missing close tag gives empty content; in both cases position is unchanged.
std::string ReadElement(std::string_view tag, size_t& position, std::string_view text,
                        std::string_view def = {});
// Convenience form that searches from the start of the text.
std::string ReadElement(std::string_view tag, std::string_view text, std::string_view def = {});
std::string ReadElementText(std::string_view tag, size_t& position, std::string_view text,
                            std::string_view def = {});
std::string ReadElementText(std::string_view tag, std::string_view text, std::string_view def = {});
// Reads the next element; returns whether its content is not empty.
bool ReadNextElement(std::string_view tag, size_t& position, std::string_view text, std::string& content);
// Boolean value: "1" or, upper-cased, "YES".
bool ReadElementBool(std::string_view tag, std::string_view text, bool def);
bool StrToBoolValue(std::string_view text);

std::string ReplaceElementContent(std::string_view tag, size_t& position, std::string_view text,
                                  std::string_view newValue);
std::string RemoveElements(std::string_view tag, std::string_view text);
// The text without the first element of each tag (from its open tag to its close tag; an
// element without close tag runs to the end of the text), for reading an object's own fields
// apart from its nested sections. The tags are taken in order; an element that lies inside one
// removed before is not taken (give the largest sections first). contents, when given,
// receives per tag the content of that element as ReadElement gives it (raw), empty when the
// element is absent.
std::string RemoveFirstElements(std::string_view text, const std::vector<std::string_view>& tags,
                                std::vector<std::string>* contents);
std::string NextTagName(std::string_view text, size_t& position);
std::string TrimLineBreaks(std::string_view text);

// Locates the element with the tag (as given, case-sensitive) in a file, reading it in blocks
// of 2048 bytes. start is the offset to search from; on success start is the offset of the
// open tag and end the offset at which the matching close tag begins, nested elements of the
// same tag counted. Raises EVELError for a missing file or an empty tag.
bool FindElementInFile(const std::string& fileName, std::string_view tag, int64_t& start, int64_t& end);

// Offset of "<"+tag+">" found case-insensitively from position, or npos. Exposed for loaders
// that cut object texts out of long texts.
size_t FindTag(std::string_view text, std::string_view upperTag, bool closeTag, size_t from);

// ---- TVELSettingsList ----------------------------------------------------------------------

// An ordered name/value list with case-insensitive names.
class TVELSettingsList {
public:
    std::function<void(TVELSettingsList*)> OnChange;

    TVELSettingsList() = default;
    TVELSettingsList(const TVELSettingsList& other) : names_(other.names_), values_(other.values_), index_(other.index_) {}
    TVELSettingsList& operator=(const TVELSettingsList& other);

    std::string GetValue(std::string_view name) const;
    bool Has(std::string_view name) const { return IndexOf(name) >= 0; }
    int IndexOf(std::string_view name) const;
    void SetValue(std::string_view name, std::string_view value);
    void Delete(std::string_view name);
    int Count() const { return static_cast<int>(names_.size()); }
    const std::string& NameAt(int index) const { return names_.at(index); }
    const std::string& ValueAt(int index) const { return values_.at(index); }
    void Clear();
    void Assign(const TVELSettingsList& other);
    void AssignLines(const std::vector<std::string>& nameValueLines);  // "name=value" lines
    std::string AsText() const;                                         // name=value;name=value
    void FromText(std::string_view text);
    std::string SaveToMarkup(std::string_view sectionTag) const;
    void LoadFromMarkup(std::string_view text);
    bool operator==(const TVELSettingsList& o) const { return names_ == o.names_ && values_ == o.values_; }

private:
    void Changed() {
        if (OnChange) OnChange(this);
    }
    void Reindex();
    std::vector<std::string> names_;
    std::vector<std::string> values_;
    std::unordered_map<std::string, int> index_;  // upper-cased name -> position
};

// ---- TIntegersList -------------------------------------------------------------------------

class TIntegersList {
public:
    void Add(int32_t v) { items_.push_back(v); }
    int32_t Get(int index) const { return items_.at(index); }
    int IndexOf(int32_t v) const;
    int Count() const { return static_cast<int>(items_.size()); }
    void Clear() { items_.clear(); }
    void Sort();
    std::string CommaText() const;
    void SetCommaText(std::string_view text);
    std::string SaveToMarkup(std::string_view tag) const;
    void LoadFromMarkup(std::string_view text);
    const std::vector<int32_t>& Items() const { return items_; }

private:
    std::vector<int32_t> items_;
};

}  // namespace ardvin
