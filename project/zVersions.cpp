#include "zVersions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "zDataDictionary.h"

namespace ardvin {

namespace {

constexpr std::string_view VersionOpen = "<VERSION>";
constexpr std::string_view VersionClose = "</VERSION>";

std::tm LocalTime(TVELDateTime time) {
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

std::string FormatTime(TVELDateTime time, const char* format) {
    const std::tm tm = LocalTime(time);
    char buffer[64];
    const size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

// The number of digits at pos, all of them digits, read as a whole number; -1 otherwise.
int Digits(std::string_view text, size_t pos, size_t count) {
    int value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string ReadFileRange(const std::string& fileName, int64_t from, int64_t to) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EVELError("Cannot open file \"" + fileName + "\".");
    std::string r(static_cast<size_t>(std::max<int64_t>(to - from, 0)), '\0');
    in.seekg(from);
    in.read(r.data(), static_cast<std::streamsize>(r.size()));
    r.resize(static_cast<size_t>(in.gcount()));
    return r;
}

// Version numbers compare as whole numbers; a number that is not one counts as 0.
int32_t NumberValue(const TVELVersionInfo* version) {
    return StrToIntDef(version->VersionNumber, 0);
}

} // namespace

std::string CreateTemporaryFile(std::string_view stem, std::string_view extension) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) folder = "/tmp";
    for (int n = 1;; ++n) {
        const std::string name = (folder / (std::string(stem) + IntToStr(n) + std::string(extension))).string();
        // Exclusive creation: a name another process takes at the same moment is skipped.
        if (std::FILE* f = std::fopen(name.c_str(), "wbx")) {
            std::fclose(f);
            return name;
        }
        if (errno != EEXIST) throw EVELError("Cannot create file \"" + name + "\".");
    }
}

std::string FormatLocalDate(TVELDateTime time) {
    return FormatTime(time, "%Y-%m-%d");
}

std::string FormatLocalDateTime(TVELDateTime time) {
    return FormatTime(time, "%Y-%m-%d %H:%M");
}

TVELDateTime LocalDateTime(int year, int month, int day, int hour, int minute) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1; // whether daylight saving applies is for the time zone to say
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

bool TryParseLocalDateTime(std::string_view text, TVELDateTime& time) {
    const std::string t = Trim(text);
    if (t.size() != 10 && t.size() != 16) return false;
    if (t[4] != '-' || t[7] != '-') return false;
    if (t.size() == 16 && (t[10] != ' ' || t[13] != ':')) return false;
    const int year = Digits(t, 0, 4), month = Digits(t, 5, 2), day = Digits(t, 8, 2);
    const int hour = t.size() == 16 ? Digits(t, 11, 2) : 0, minute = t.size() == 16 ? Digits(t, 14, 2) : 0;
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59)
        return false;
    time = LocalDateTime(year, month, day, hour, minute);
    return true;
}

// ---- TVELVersionInfo -----------------------------------------------------------------------

std::string TVELVersionInfo::VersionTypeText() const {
    return VersionType == vtDictionaryOnly ? "DB" : "";
}

std::string TVELVersionInfo::VersionTypeDescription() const {
    return VersionType == vtDictionaryOnly ? "Data dictionary only (no diagrams)"
                                           : "Diagrams and data dictionary";
}

std::string TVELVersionInfo::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "VersionNumber")) return VersionNumber;
    if (SameText(key, "VersionLabel")) return VersionLabel;
    if (SameText(key, "VersionDate")) return FormatLocalDateTime(VersionDate);
    if (SameText(key, "VersionType")) return VersionTypeDescription();
    if (SameText(key, "Comments")) return Comments;
    return TVELNamedObject::GetPropertyValue(key);
}

void TVELVersionInfo::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "VersionLabel")) {
        if (Trim(value).empty()) throw EVELError("Version label may not be empty.");
        VersionLabel = std::string(value);
    } else if (SameText(key, "Comments")) {
        Comments = std::string(value);
    } else if (SameText(key, "VersionNumber") || SameText(key, "VersionDate") ||
               SameText(key, "VersionType")) {
        // read-only
    } else {
        TVELNamedObject::SetPropertyValue(key, value);
    }
}

void TVELVersionInfo::Assign(const TVELNamedObject& source, bool copyLinks) {
    if (&source == this) return;
    TVELNamedObject::Assign(source, copyLinks);
    if (const auto* v = dynamic_cast<const TVELVersionInfo*>(&source)) {
        VersionLabel = v->VersionLabel;
        Comments = v->Comments;
        VersionDate = v->VersionDate;
        VersionNumber = v->VersionNumber;
        VersionType = v->VersionType;
        VersionDBID = v->VersionDBID;
        Deleted = v->Deleted;
    }
}

std::string TVELVersionInfo::SaveToMarkup() const {
    std::string r = WriteElement("VERSIONNUMBER", VersionNumber);
    AppendElement(r, "VERSIONLABEL", VersionLabel);
    AppendElement(r, "VERSIONDATE", FormatLocalDateTime(VersionDate));
    AppendElement(r, "VERSIONCOMMENTS", Comments);
    AppendElement(r, "VERSIONTYPE", VersionTypeText());
    AppendElement(r, "VERSIONTYPEDESC", VersionTypeDescription());
    AppendElement(r, "VERSIONDBID", VersionDBID);
    return r;
}

bool TVELVersionInfo::LoadFromMarkup(std::string_view text) {
    VersionNumber = ReadElementText("VERSIONNUMBER", text);
    VersionLabel = ReadElementText("VERSIONLABEL", text);
    TVELDateTime date;
    if (TryParseLocalDateTime(ReadElementText("VERSIONDATE", text), date)) VersionDate = date;
    Comments = ReadElementText("VERSIONCOMMENTS", text);
    VersionType = ReadElementText("VERSIONTYPE", text) == "DB" ? vtDictionaryOnly : vtDiagramsAndDictionary;
    VersionDBID = ReadElementText("VERSIONDBID", text);
    return true;
}

// ---- TVELOldVersions -----------------------------------------------------------------------

TVELOldVersions::TVELOldVersions(TVELClock now) : Now(std::move(now)), workingFile_(CreateTemporaryFile("arvversions", ".avf")) {}

TVELOldVersions::~TVELOldVersions() {
    std::error_code ec;
    std::filesystem::remove(workingFile_, ec);
}

TVELDateTime TVELOldVersions::CurrentTime() const {
    return Now ? Now() : std::chrono::system_clock::now();
}

int64_t TVELOldVersions::AppendToWorkingFile(std::string_view content) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(workingFile_, ec);
    const int64_t offset = ec ? 0 : static_cast<int64_t>(size);
    std::ofstream out(workingFile_, std::ios::binary | std::ios::app);
    out << VersionOpen << content << VersionClose << CRLF;
    out.flush();
    if (!out) throw EVELError("Cannot write file \"" + workingFile_ + "\".");
    return offset;
}

bool TVELOldVersions::ReadVersionElement(int64_t offset, std::string& content) const {
    std::error_code ec;
    if (offset < 0 || !std::filesystem::exists(workingFile_, ec)) return false;
    int64_t start = offset, end = 0;
    if (!FindElementInFile(workingFile_, "VERSION", start, end) || start != offset) return false;
    content = ReadFileRange(workingFile_, start + static_cast<int64_t>(VersionOpen.size()), end);
    return true;
}

void TVELOldVersions::LoadFromProjectFile(const std::string& fileName) {
    ClearAndFree();
    std::ofstream(workingFile_, std::ios::binary | std::ios::app); // makes sure the file exists
    // The first VERSION element is the current model.
    int64_t start = 0, end = 0;
    if (!FindElementInFile(fileName, "VERSION", start, end)) return;
    for (;;) {
        start = end + static_cast<int64_t>(VersionClose.size());
        if (!FindElementInFile(fileName, "VERSION", start, end)) break;
        AddArchived(ReadFileRange(fileName, start + static_cast<int64_t>(VersionOpen.size()), end));
    }
}

void TVELOldVersions::LoadFromElements(const std::vector<std::string_view>& archived) {
    ClearAndFree();
    std::ofstream(workingFile_, std::ios::binary | std::ios::app); // makes sure the file exists
    for (const std::string_view content : archived)
        AddArchived(content);
}

void TVELOldVersions::AddArchived(std::string_view content) {
    auto version = std::make_unique<TVELVersionInfo>(this);
    version->LoadFromMarkup(ReadElement("VERSIONINFO", content));
    version->WorkingFileOffset = AppendToWorkingFile(content);
    Add(std::move(version));
}

void TVELOldVersions::WriteToProjectFile(std::ostream& out) const {
    // The element of a version is the one appended when it was archived or loaded; the file
    // may also hold elements of deleted versions, even under the same number.
    std::vector<const TVELVersionInfo*> kept;
    for (int i = 0; i < Count(); ++i)
        if (!Version(i)->Deleted && Version(i)->WorkingFileOffset >= 0) kept.push_back(Version(i));
    std::stable_sort(kept.begin(), kept.end(), [](const TVELVersionInfo* a, const TVELVersionInfo* b) {
        return a->WorkingFileOffset < b->WorkingFileOffset;
    });
    std::string content;
    for (const TVELVersionInfo* version : kept) {
        if (!ReadVersionElement(version->WorkingFileOffset, content)) continue;
        out << VersionOpen << WrapSection("VERSIONINFO", version->SaveToMarkup())
            << RemoveElements("VERSIONINFO", content) << VersionClose << CRLF;
    }
}

std::unique_ptr<TVELVersionInfo> TVELOldVersions::NewVersion() {
    int32_t highest = 0;
    for (int i = 0; i < Count(); ++i)
        if (!Version(i)->Deleted) highest = std::max(highest, NumberValue(Version(i)));
    auto version = std::make_unique<TVELVersionInfo>(this);
    version->VersionNumber = IntToStr(int64_t{highest} + 1);
    version->VersionDate = CurrentTime();
    version->VersionLabel = UniqueLabel("Version " + FormatLocalDate(version->VersionDate));
    return version;
}

TVELVersionInfo* TVELOldVersions::Archive(uint8_t type, std::string_view label, std::string_view comments,
                                          std::string_view dbid, std::string_view settingsMarkup,
                                          std::string_view dictionaryMarkup,
                                          std::string_view diagramsMarkup) {
    auto version = NewVersion();
    version->VersionType = type == vtDictionaryOnly ? vtDictionaryOnly : vtDiagramsAndDictionary;
    if (!Trim(label).empty()) version->VersionLabel = UniqueLabel(label);
    version->Comments = std::string(comments);
    version->VersionDBID = std::string(dbid);
    std::string content = WrapSection("VERSIONINFO", version->SaveToMarkup());
    content += settingsMarkup;
    content += dictionaryMarkup;
    if (version->VersionType == vtDiagramsAndDictionary) content += diagramsMarkup;
    content += CRLF;
    // Written first, so that a failed write leaves the list as it was.
    version->WorkingFileOffset = AppendToWorkingFile(content);
    return static_cast<TVELVersionInfo*>(Add(std::move(version)));
}

std::string TVELOldVersions::UniqueLabel(std::string_view base) const {
    if (!FindByLabel(base)) return std::string(base);
    for (int64_t n = 1;; ++n) {
        std::string label = std::string(base) + " " + IntToStr(n);
        if (!FindByLabel(label)) return label;
    }
}

TVELVersionInfo* TVELOldVersions::FindByNumber(std::string_view number) const {
    for (int i = 0; i < Count(); ++i)
        if (!Version(i)->Deleted && Version(i)->VersionNumber == number) return Version(i);
    return nullptr;
}

TVELVersionInfo* TVELOldVersions::FindByLabel(std::string_view label) const {
    for (int i = 0; i < Count(); ++i)
        if (!Version(i)->Deleted && Version(i)->VersionLabel == label) return Version(i);
    return nullptr;
}

std::string TVELOldVersions::LabelOfVersion(std::string_view number) const {
    const TVELVersionInfo* version = FindByNumber(number);
    return version ? version->VersionLabel : std::string();
}

std::string TVELOldVersions::VersionText(std::string_view number) const {
    const TVELVersionInfo* version = FindByNumber(number);
    std::string content;
    if (!version || !ReadVersionElement(version->WorkingFileOffset, content))
        throw EVELError("Cannot find version \"" + std::string(number) + "\" in file \"" + workingFile_ +
                        "\".");
    return content;
}

void TVELOldVersions::LoadVersionDataDictionary(std::string_view number, TVELDataDictionary& target,
                                                const TVELDataDictionary& current) const {
    if (number.empty()) {
        target.AssignDictionary(current);
        return;
    }
    const std::string text = VersionText(number);
    target.Clear();
    target.LoadFromMarkup(ReadElement("DATADICT", text));
}

std::vector<TVELVersionInfo*> TVELOldVersions::SortedVersions() const {
    std::vector<TVELVersionInfo*> r;
    for (int i = 0; i < Count(); ++i)
        if (!Version(i)->Deleted) r.push_back(Version(i));
    std::stable_sort(r.begin(), r.end(), [](const TVELVersionInfo* a, const TVELVersionInfo* b) {
        return NumberValue(a) > NumberValue(b);
    });
    return r;
}

std::vector<std::string> TVELOldVersions::VersionLabels(bool withCurrentVersion) const {
    std::vector<std::string> r;
    if (withCurrentVersion) r.emplace_back(CurrentVersionEntry);
    for (const TVELVersionInfo* version : SortedVersions())
        r.push_back(version->VersionLabel);
    return r;
}

void TVELOldVersions::DeleteVersion(std::string_view number) {
    if (TVELVersionInfo* version = FindByNumber(number)) version->Deleted = true;
}

void TVELOldVersions::DeleteAll() {
    for (int i = 0; i < Count(); ++i)
        Version(i)->Deleted = true;
}

} // namespace ardvin
