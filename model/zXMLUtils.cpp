#include "zXMLUtils.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ardvin {

// ---- text helpers ------------------------------------------------------------------------

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = UpperChar(c);
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i])) return false;
    return true;
}

bool StartsText(std::string_view prefix, std::string_view s) {
    return s.size() >= prefix.size() && SameText(prefix, s.substr(0, prefix.size()));
}

static bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

std::string TrimLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b])) ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(0, e));
}

std::vector<std::string> SplitString(std::string_view s, char sep) {
    std::vector<std::string> out;
    if (s.empty()) return out;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        if (p == std::string_view::npos) {
            out.emplace_back(s.substr(start));
            break;
        }
        out.emplace_back(s.substr(start, p - start));
        start = p + 1;
    }
    return out;
}

std::string JoinStrings(const std::vector<std::string>& items, std::string_view sep) {
    std::string r;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) r += sep;
        r += items[i];
    }
    return r;
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(s);
    std::string r;
    r.reserve(s.size());
    size_t pos = 0;
    for (;;) {
        size_t p = s.find(from, pos);
        if (p == std::string_view::npos) break;
        r.append(s.substr(pos, p - pos));
        r.append(to);
        pos = p + from.size();
    }
    r.append(s.substr(pos));
    return r;
}

size_t FindText(std::string_view haystack, std::string_view needle, size_t from) {
    if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
    if (haystack.size() < needle.size()) return std::string_view::npos;
    const size_t last = haystack.size() - needle.size();
    const char first = UpperChar(needle[0]);
    for (size_t i = from; i <= last; ++i) {
        if (UpperChar(haystack[i]) != first) continue;
        size_t k = 1;
        while (k < needle.size() && UpperChar(haystack[i + k]) == UpperChar(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

std::string ReplaceAllText(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(s);
    std::string r;
    size_t pos = 0;
    for (;;) {
        size_t p = FindText(s, from, pos);
        if (p == std::string_view::npos) break;
        r.append(s.substr(pos, p - pos));
        r.append(to);
        pos = p + from.size();
    }
    r.append(s.substr(pos));
    return r;
}

bool TryStrToInt64(std::string_view s, int64_t& value) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    if (b < e && s[b] == '+') ++b;
    if (b >= e) return false;
    int64_t v = 0;
    auto res = std::from_chars(s.data() + b, s.data() + e, v);
    if (res.ec != std::errc() || res.ptr != s.data() + e) return false;
    value = v;
    return true;
}

bool TryStrToInt(std::string_view s, int32_t& value) {
    int64_t v = 0;
    if (!TryStrToInt64(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
    int32_t v = 0;
    return TryStrToInt(s, v) ? v : def;
}

int32_t StrToInt(std::string_view s) {
    int32_t v = 0;
    if (!TryStrToInt(s, v)) throw EVELError("\"" + std::string(s) + "\" is not a valid integer value.");
    return v;
}

std::string IntToStr(int64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string r(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(r.data(), r.size() + 1, fmt, ap2);
    va_end(ap2);
    return r;
}

// ---- writer ------------------------------------------------------------------------------

std::string Escape(std::string_view text) {
    std::string r;
    r.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '&': r += "&amp;"; break;
        case '>': r += "&gt;"; break;
        case '<': r += "&lt;"; break;
        case '"': r += "&quot;"; break;
        case '\0': r += ' '; break;
        default: r += c;
        }
    }
    return r;
}

std::string Unescape(std::string_view text) {
    if (text.size() <= 3 || text.find('&') == std::string_view::npos) return std::string(text);
    // Sequential replacement, in the documented order.
    std::string r = ReplaceAll(text, "&quot;", "\"");
    r = ReplaceAll(r, "&lt;", "<");
    r = ReplaceAll(r, "&gt;", ">");
    return ReplaceAll(r, "&amp;", "&");
}

// A value as the reader will give it back: line breaks at its ends cannot be stored. Writing
// the value in that form keeps a save of a freshly loaded model identical to its file.
static std::string_view StoredForm(std::string_view v) {
    while (v.size() >= 2 && v[0] == '\r' && v[1] == '\n') v.remove_prefix(2);
    while (v.size() >= 2 && v[v.size() - 2] == '\r' && v[v.size() - 1] == '\n') v.remove_suffix(2);
    while (!v.empty() && v.front() == '\n') v.remove_prefix(1);
    while (!v.empty() && v.back() == '\n') v.remove_suffix(1);
    return v;
}

void AppendElement(std::string& out, std::string_view tag, std::string_view value) {
    // The open and close tags are composed first (in small buffers for the usual short tags),
    // so that an element costs three appends to a text of any length.
    constexpr size_t Short = 64;
    char shortOpen[Short + 4], shortClose[Short + 3];
    std::string longOpen, longClose;
    const bool fits = tag.size() <= Short;
    if (!fits) {
        longOpen.resize(tag.size() + 4);
        longClose.resize(tag.size() + 3);
    }
    char* open = fits ? shortOpen : longOpen.data();
    char* close = fits ? shortClose : longClose.data();
    open[0] = '\r';
    open[1] = '\n';
    open[2] = '<';
    close[0] = '<';
    close[1] = '/';
    for (size_t i = 0; i < tag.size(); ++i) open[i + 3] = close[i + 2] = UpperChar(tag[i]);
    open[tag.size() + 3] = '>';
    close[tag.size() + 2] = '>';
    value = StoredForm(value);
    out.append(open, tag.size() + 4);
    if (value.find_first_of(std::string_view("&<>\"\0", 5)) == std::string_view::npos)
        out.append(value);
    else
        out.append(Escape(value));
    out.append(close, tag.size() + 3);
}

void AppendElement(std::string& out, std::string_view tag, int64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    AppendElement(out, tag, std::string_view(digits, static_cast<size_t>(end - digits)));
}

std::string WriteElement(std::string_view tag, std::string_view value) {
    std::string r;
    r.reserve(tag.size() * 2 + value.size() + 8);
    AppendElement(r, tag, value);
    return r;
}

std::string WrapSection(std::string_view tag, std::string_view content) {
    std::string r;
    r.reserve(tag.size() * 2 + content.size() + 10);
    AppendSection(r, tag, content);
    return r;
}

void AppendSection(std::string& out, std::string_view tag, std::string_view content) {
    out += CRLF;
    out += '<';
    out += tag;
    out += '>';
    out += content;
    out += CRLF;
    out += "</";
    out += tag;
    out += '>';
}

// ---- reader ------------------------------------------------------------------------------

namespace {

constexpr size_t npos = std::string_view::npos;

// Whether the bytes at p are '<' ['/'] TAG '>', the tag compared through the upper-case map.
// The caller guarantees that the whole pattern lies inside the text.
inline bool TagAt(const char* p, std::string_view upperTag, bool closeTag) {
    if (*p++ != '<') return false;
    if (closeTag && *p++ != '/') return false;
    for (char t : upperTag)
        if (UpperChar(*p++) != t) return false;
    return *p == '>';
}

}  // namespace

size_t FindTag(std::string_view text, std::string_view upperTag, bool closeTag, size_t from) {
    const size_t prefix = closeTag ? 2 : 1;
    const size_t len = prefix + upperTag.size() + 1;
    if (text.size() < len || from > text.size() - len) return npos;
    const char* base = text.data();
    const size_t last = text.size() - len;  // last possible start
    size_t i = from;
#if defined(__SSE2__)
    // Sixteen starts at a time: a candidate has '<' at the start, the first byte after the
    // prefix equal in either case, and '>' where the pattern ends. Only candidates are compared
    // in full, so texts dense with other tags are scanned at memory speed.
    const char mid = upperTag.empty() ? '>' : upperTag[0];
    const bool letter = mid >= 'A' && mid <= 'Z';
    const __m128i vLt = _mm_set1_epi8('<');
    const __m128i vGt = _mm_set1_epi8('>');
    const __m128i vMid = _mm_set1_epi8(static_cast<char>(letter ? (mid | 0x20) : mid));
    const __m128i vFold = _mm_set1_epi8(letter ? 0x20 : 0);
    for (; i <= last && last - i >= 15; i += 16) {
        const auto* p = reinterpret_cast<const __m128i*>(base + i);
        const __m128i a = _mm_loadu_si128(p);
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + prefix));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + len - 1));
        const __m128i hit = _mm_and_si128(
            _mm_and_si128(_mm_cmpeq_epi8(a, vLt), _mm_cmpeq_epi8(c, vGt)),
            _mm_cmpeq_epi8(_mm_or_si128(b, vFold), vMid));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask; mask &= mask - 1) {
            const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
            if (TagAt(base + at, upperTag, closeTag)) return at;
        }
    }
#endif
    while (i <= last) {
        const char* p = static_cast<const char*>(std::memchr(base + i, '<', last - i + 1));
        if (!p) return npos;
        i = static_cast<size_t>(p - base);
        if (TagAt(p, upperTag, closeTag)) return i;
        ++i;
    }
    return npos;
}

namespace {

// Where the element with the upper-cased tag lies, searched from a position: open is npos when
// there is no open tag, close is npos when the open tag has no close tag after it.
struct ElementSpan {
    size_t open = npos;
    size_t close = npos;
    size_t contentStart = 0;
    size_t contentEnd = 0;
    size_t after = 0;  // the byte after the close tag
};

ElementSpan LocateElement(std::string_view text, std::string_view upperTag, size_t from) {
    ElementSpan e;
    e.open = FindTag(text, upperTag, false, from);
    if (e.open == npos) return e;
    e.close = FindTag(text, upperTag, true, e.open);
    if (e.close == npos) return e;
    e.contentStart = e.open + upperTag.size() + 2;
    // Only a tag that itself holds a '<' lets the close tag begin inside the open tag; the
    // content is then empty.
    e.contentEnd = std::max(e.close, e.contentStart);
    e.after = e.close + upperTag.size() + 3;
    return e;
}

// The content as it is read: CR LF pairs off both ends (a content of CR LF pairs only is
// empty), then single LFs off both ends.
std::string_view TrimContent(std::string_view c) {
    if (c.empty()) return c;
    while (c.size() >= 2 && c[0] == '\r' && c[1] == '\n') c.remove_prefix(2);
    while (c.size() >= 2 && c[c.size() - 2] == '\r' && c[c.size() - 1] == '\n') c.remove_suffix(2);
    while (!c.empty() && c.front() == '\n') c.remove_prefix(1);
    while (!c.empty() && c.back() == '\n') c.remove_suffix(1);
    return c;
}

}  // namespace

std::string ReadElement(std::string_view tag, size_t& position, std::string_view text, std::string_view def) {
    // Tags are nearly always given upper-case already: they are copied only to convert them.
    const bool upper = std::none_of(tag.begin(), tag.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    const std::string converted = upper ? std::string() : UpperCase(tag);
    const ElementSpan e = LocateElement(text, upper ? tag : std::string_view(converted), position);
    if (e.open == npos) return std::string(def);
    if (e.close == npos) return std::string();
    position = e.after;
    return std::string(TrimContent(text.substr(e.contentStart, e.contentEnd - e.contentStart)));
}

std::string ReadElement(std::string_view tag, std::string_view text, std::string_view def) {
    size_t pos = 0;
    return ReadElement(tag, pos, text, def);
}

std::string ReadElementText(std::string_view tag, size_t& position, std::string_view text,
                            std::string_view def) {
    return Unescape(ReadElement(tag, position, text, def));
}

std::string ReadElementText(std::string_view tag, std::string_view text, std::string_view def) {
    size_t pos = 0;
    return Unescape(ReadElement(tag, pos, text, def));
}

bool ReadNextElement(std::string_view tag, size_t& position, std::string_view text, std::string& content) {
    content = ReadElement(tag, position, text, {});
    return !content.empty();
}

bool StrToBoolValue(std::string_view text) { return text == "1" || UpperCase(text) == "YES"; }

bool ReadElementBool(std::string_view tag, std::string_view text, bool def) {
    return StrToBoolValue(ReadElement(tag, text, def ? "1" : "0"));
}

std::string ReplaceElementContent(std::string_view tag, size_t& position, std::string_view text,
                                  std::string_view newValue) {
    const std::string up = UpperCase(tag);
    const ElementSpan e = LocateElement(text, up, position);
    if (e.open == npos || e.close == npos) return std::string(text);
    const std::string esc = Escape(newValue);
    std::string r;
    r.reserve(text.size() + esc.size());
    r.append(text.substr(0, e.contentStart));
    r.append(esc);
    r.append(text.substr(e.contentEnd));
    position = e.after - (e.contentEnd - e.contentStart) + esc.size();
    return r;
}

std::string RemoveElements(std::string_view tag, std::string_view text) {
    const std::string up = UpperCase(tag);
    std::string r;
    size_t pos = 0;
    for (;;) {
        const ElementSpan e = LocateElement(text, up, pos);
        if (e.open == npos || e.close == npos) break;
        r.append(text.substr(pos, e.open - pos));
        pos = e.after;
        if (text.substr(pos, 2) == CRLF) pos += 2;
    }
    r.append(text.substr(pos));
    return r;
}

std::string RemoveFirstElements(std::string_view text, const std::vector<std::string_view>& tags,
                                std::vector<std::string>* contents) {
    std::vector<std::pair<size_t, size_t>> cuts;  // [from, to) of the elements found, in text order
    if (contents) contents->assign(tags.size(), std::string());
    // The first open tag outside the elements already cut: only the gaps between them are
    // searched, so a large element found early is not scanned again for every further tag.
    auto findOutside = [&](std::string_view upperTag) {
        size_t from = 0;
        for (const auto& [cutFrom, cutTo] : cuts) {
            if (cutFrom > from)
                if (const size_t p = FindTag(text.substr(0, cutFrom), upperTag, false, from); p != npos) return p;
            from = std::max(from, cutTo);
        }
        return FindTag(text, upperTag, false, from);
    };
    for (size_t k = 0; k < tags.size(); ++k) {
        const std::string up = UpperCase(tags[k]);
        const size_t open = findOutside(up);
        if (open == npos) continue;
        const ElementSpan e = LocateElement(text, up, open);
        const std::pair<size_t, size_t> cut(open, e.close == npos ? text.size() : e.after);
        cuts.insert(std::upper_bound(cuts.begin(), cuts.end(), cut), cut);
        if (contents && e.close != npos)
            (*contents)[k] = std::string(TrimContent(text.substr(e.contentStart, e.contentEnd - e.contentStart)));
    }
    std::string r;
    size_t pos = 0;
    for (const auto& [from, to] : cuts) {
        if (from > pos) r.append(text.substr(pos, from - pos));
        pos = std::max(pos, to);
    }
    if (pos < text.size()) r.append(text.substr(pos));
    return r;
}

std::string NextTagName(std::string_view text, size_t& position) {
    const size_t lt = text.find('<', position);
    if (lt == npos) return std::string();
    const size_t gt = text.find('>', lt + 1);
    if (gt == npos) return std::string();
    position = gt + 1;
    return std::string(text.substr(lt + 1, gt - lt - 1));
}

std::string TrimLineBreaks(std::string_view text) {
    auto isBreak = [](char c) { return c == '\r' || c == '\n' || c == ' '; };
    size_t b = 0, e = text.size();
    while (b < e && isBreak(text[b])) ++b;
    while (e > b && isBreak(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

namespace {

// Finds a pattern in a byte stream fed one byte at a time (Knuth-Morris-Pratt), so that
// occurrences straddling block boundaries are found and none is missed after a partial match.
class StreamMatcher {
public:
    explicit StreamMatcher(std::string pattern) : pattern_(std::move(pattern)), border_(pattern_.size(), 0) {
        for (size_t i = 1, k = 0; i < pattern_.size(); ++i) {
            while (k > 0 && pattern_[i] != pattern_[k]) k = border_[k - 1];
            if (pattern_[i] == pattern_[k]) ++k;
            border_[i] = k;
        }
    }
    // Whether an occurrence ends with this byte.
    bool Feed(char c) {
        while (matched_ > 0 && pattern_[matched_] != c) matched_ = border_[matched_ - 1];
        if (pattern_[matched_] == c) ++matched_;
        if (matched_ < pattern_.size()) return false;
        matched_ = border_[matched_ - 1];
        return true;
    }

private:
    std::string pattern_;
    std::vector<size_t> border_;  // longest proper border of each prefix
    size_t matched_ = 0;
};

}  // namespace

bool FindElementInFile(const std::string& fileName, std::string_view tag, int64_t& start, int64_t& end) {
    std::error_code ec;
    if (!std::filesystem::exists(fileName, ec)) throw EVELError("File \"" + fileName + "\" does not exist.");
    if (tag.empty()) throw EVELError("Tag may not be empty.");
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EVELError("Cannot open file \"" + fileName + "\".");
    std::string openTag(1, '<');
    openTag.append(tag).push_back('>');
    std::string closeTag("</");
    closeTag.append(tag).push_back('>');
    constexpr size_t BlockSize = 2048;
    char block[BlockSize];

    // The first open tag from the start offset.
    const int64_t from = std::max<int64_t>(start, 0);
    in.seekg(from);
    int64_t offset = from;
    int64_t openAt = -1;
    StreamMatcher findOpen(openTag);
    while (openAt < 0 && in) {
        in.read(block, BlockSize);
        const std::streamsize got = in.gcount();
        for (std::streamsize i = 0; i < got && openAt < 0; ++i)
            if (findOpen.Feed(block[i])) openAt = offset + i + 1 - static_cast<int64_t>(openTag.size());
        offset += got;
    }
    if (openAt < 0) return false;

    // From there, every open tag nests one level deeper and every close tag one level out; the
    // element ends with the close tag that brings the count back to zero.
    in.clear();
    in.seekg(openAt);
    offset = openAt;
    StreamMatcher opens(openTag), closes(closeTag);
    int64_t depth = 0;
    while (in) {
        in.read(block, BlockSize);
        const std::streamsize got = in.gcount();
        for (std::streamsize i = 0; i < got; ++i) {
            if (opens.Feed(block[i])) ++depth;
            if (closes.Feed(block[i]) && --depth == 0) {
                start = openAt;
                end = offset + i + 1 - static_cast<int64_t>(closeTag.size());
                return true;
            }
        }
        offset += got;
    }
    return false;
}

// ---- TVELSettingsList ----------------------------------------------------------------------

TVELSettingsList& TVELSettingsList::operator=(const TVELSettingsList& other) {
    if (this != &other) {
        names_ = other.names_;
        values_ = other.values_;
        index_ = other.index_;
    }
    return *this;
}

void TVELSettingsList::Reindex() {
    index_.clear();
    for (size_t i = 0; i < names_.size(); ++i) index_.emplace(UpperCase(names_[i]), static_cast<int>(i));
}

int TVELSettingsList::IndexOf(std::string_view name) const {
    auto it = index_.find(UpperCase(name));
    return it == index_.end() ? -1 : it->second;
}

std::string TVELSettingsList::GetValue(std::string_view name) const {
    const int i = IndexOf(name);
    return i < 0 ? std::string() : values_[i];
}

void TVELSettingsList::SetValue(std::string_view name, std::string_view value) {
    const int i = IndexOf(name);
    if (i < 0) {
        index_.emplace(UpperCase(name), static_cast<int>(names_.size()));
        names_.emplace_back(name);
        values_.emplace_back(value);
        Changed();
    } else if (values_[i] != value) {
        values_[i] = std::string(value);
        Changed();
    }
}

void TVELSettingsList::Delete(std::string_view name) {
    const int i = IndexOf(name);
    if (i < 0) return;
    names_.erase(names_.begin() + i);
    values_.erase(values_.begin() + i);
    Reindex();
    Changed();
}

void TVELSettingsList::Clear() {
    if (names_.empty()) return;
    names_.clear();
    values_.clear();
    index_.clear();
    Changed();
}

void TVELSettingsList::Assign(const TVELSettingsList& other) {
    if (this == &other) return;
    names_ = other.names_;
    values_ = other.values_;
    index_ = other.index_;
    Changed();
}

void TVELSettingsList::AssignLines(const std::vector<std::string>& lines) {
    names_.clear();
    values_.clear();
    index_.clear();
    for (const auto& line : lines) {
        const size_t eq = line.find('=');
        const std::string_view l(line);
        const std::string_view n = eq == std::string::npos ? l : l.substr(0, eq);
        const std::string_view v = eq == std::string::npos ? std::string_view() : l.substr(eq + 1);
        const int i = IndexOf(n);
        if (i >= 0) {
            values_[i] = std::string(v);
        } else {
            index_.emplace(UpperCase(n), static_cast<int>(names_.size()));
            names_.emplace_back(n);
            values_.emplace_back(v);
        }
    }
    Changed();
}

std::string TVELSettingsList::AsText() const {
    std::string r;
    for (size_t i = 0; i < names_.size(); ++i) {
        if (i) r += ';';
        r += names_[i];
        r += '=';
        r += values_[i];
    }
    return r;
}

void TVELSettingsList::FromText(std::string_view text) {
    std::vector<std::string> lines;
    for (auto& item : SplitString(text, ';'))
        if (!item.empty()) lines.push_back(std::move(item));
    AssignLines(lines);
}

std::string TVELSettingsList::SaveToMarkup(std::string_view sectionTag) const {
    std::string content;
    for (size_t i = 0; i < names_.size(); ++i) AppendElement(content, names_[i], values_[i]);
    return WrapSection(sectionTag, content);
}

namespace {

// The content (unescaped) of the first element of every tag name in the text, keyed by the
// upper-cased name, as ReadElementText from the start of the text gives it, in one pass. When a
// '<' occurs inside a tag, an open tag can be found inside another one and a single pass over the
// tags does not see it: then nothing is collected and the result is false.
bool ReadFirstElements(std::string_view text, std::unordered_map<std::string, std::string>& contents) {
    std::unordered_map<std::string, size_t> unclosed;  // name -> content start
    size_t pos = 0;
    for (;;) {
        const size_t lt = text.find('<', pos);
        if (lt == npos) break;
        const size_t gt = text.find('>', lt + 1);
        if (gt == npos) break;
        const std::string_view name = text.substr(lt + 1, gt - lt - 1);
        if (name.find('<') != npos) {
            contents.clear();
            return false;
        }
        pos = gt + 1;
        if (!name.empty() && name[0] == '/') {
            // The first close tag after a name's first open tag ends its element.
            const auto it = unclosed.find(UpperCase(name.substr(1)));
            if (it == unclosed.end()) continue;
            contents[it->first] = Unescape(TrimContent(text.substr(it->second, lt - it->second)));
            unclosed.erase(it);
        } else {
            std::string up = UpperCase(name);
            if (!contents.count(up)) unclosed.emplace(std::move(up), gt + 1);
        }
    }
    for (auto& u : unclosed) contents.emplace(u.first, std::string());  // no close tag: empty
    return true;
}

}  // namespace

void TVELSettingsList::LoadFromMarkup(std::string_view text) {
    // Every open tag names a setting whose value is the first element of that name in the
    // text, so a repeated name gets the first element's value each time.
    std::vector<std::string> names;
    size_t pos = 0;
    for (std::string name; !(name = NextTagName(text, pos)).empty();)
        if (name[0] != '/') names.push_back(std::move(name));
    std::unordered_map<std::string, std::string> contents;
    const bool complete = ReadFirstElements(text, contents);
    for (const auto& name : names) {
        std::string up = UpperCase(name);
        auto it = contents.find(up);
        if (it == contents.end() && !complete)
            it = contents.emplace(std::move(up), ReadElementText(name, text)).first;
        SetValue(name, it == contents.end() ? std::string_view() : std::string_view(it->second));
    }
}

// ---- TIntegersList -------------------------------------------------------------------------

int TIntegersList::IndexOf(int32_t v) const {
    auto it = std::find(items_.begin(), items_.end(), v);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TIntegersList::Sort() { std::sort(items_.begin(), items_.end()); }

std::string TIntegersList::CommaText() const {
    std::string r;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i) r += ',';
        r += IntToStr(items_[i]);
    }
    return r;
}

void TIntegersList::SetCommaText(std::string_view text) {
    items_.clear();
    for (const auto& item : SplitString(TrimLineBreaks(text), ',')) {
        int32_t v = 0;
        if (TryStrToInt(item, v)) items_.push_back(v);
    }
}

std::string TIntegersList::SaveToMarkup(std::string_view tag) const { return WrapSection(tag, CommaText()); }

void TIntegersList::LoadFromMarkup(std::string_view text) { SetCommaText(text); }

}  // namespace ardvin
