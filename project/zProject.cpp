#include "zProject.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "zAtomicFile.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDatabaseSettings.h"
#include "zDiagramOnly.h"
#include "zEntity.h"
#include "zFileConverter.h"
#include "zIndex.h"
#include "zRelationship.h"

namespace ardvin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view Latin1Declaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><ardvin>";
constexpr std::string_view Utf8Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?><ardvin>";
constexpr std::string_view FormatVersionLine = "<FILEFORMATVERSION>60</FILEFORMATVERSION>";
constexpr std::string_view FileEnd = "</ardvin>";
constexpr std::string_view VersionOpen = "<VERSION>";
constexpr std::string_view VersionClose = "</VERSION>";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

// The settings a new project starts with, in file order.
struct DefaultSetting {
    const char* Key;
    const char* Value;
};
constexpr DefaultSetting CommonDefaults[] = {
    {"PROJECTFILENAME", ""},
    {"MODIFIED", ""},
    {"CREATED", ""},
    {"CREATED2", ""},
    {"PROJECTNAME", ""},
    {"PROJECTDESCRIPTION", ""},
    {"AUTHOR", ""},
    {"COPYRIGHT", ""},
    {"LASTGENERATEDFILES", ""},
    {"PRINTORIENTATION", "PORTRAIT"},
    {"PRINTPAGETYPE", "A4"},
    {"DEFTABLEOPTIONS", ""},
    {"DEFINDEXOPTIONS", ""},
    {"AUTOCREATEINDEXESONKEYS", "0"},
    {"BEGINDATABASESCRIPT", ""},
    {"ENDDATABASESCRIPT", ""},
    {"BEGINALTERDATABASESCRIPT", ""},
    {"ENDALTERDATABASESCRIPT", ""},
    {"BEGINDROPDATABASESCRIPT", ""},
    {"ENDDROPDATABASESCRIPT", ""},
};
constexpr DefaultSetting NameTemplateDefaults[] = {
    {"PKCONNAMETEMPLATE", "PK_%table%"},
    {"FKCONNAMETEMPLATE", "%relname%"},
    {"CCONNAMETEMPLATE", "CC_%table%_%column%"},
    {"NOTNULLCONNAMETEMPLATE", "NN_%table%_%column%"},
    {"DEFAULTCONNAMETEMPLATE", "DEF_%table%_%column%"},
    {"TUCONNAMETEMPLATE", "TUC_%table%_%counter%"},
    {"TCCONNAMETEMPLATE", "TCC_%table%_%counter%"},
    {"RELNAMETEMPLATE", "%parent%_%child%"},
    {"INDEXNAMETEMPLATE", "IDX_%table%_%counter%"},
    {"DEFAULTSCHEMANAME", ""},
    {"PKINDEXNAMETEMPLATE", "IDX_%table%_PK"},
    {"FKINDEXNAMETEMPLATE", "IDX_%table%_%counter%_FK"},
    {"AKINDEXNAMETEMPLATE", "IDX_%table%_%counter%_AK"},
};

// Bytes 0x80 to 0x9F of files labelled ISO-8859-1 are read as Windows-1252 has them, as
// browsers do: files written on Windows carry the euro sign and typographic quotes there.
// The five bytes that Windows-1252 leaves undefined stand for the control characters of the
// same number.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The byte a character has in a file labelled ISO-8859-1, or -1 when it has none.
int Latin1Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (Cp1252High[i] == c) return 0x80 + i;
    return -1;
}

bool IsAscii(std::string_view text) {
    // Eight bytes at a time: project files run to a hundred megabytes.
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word & 0x8080808080808080ULL) return false;
    }
    for (; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return true;
}

size_t LineAt(std::string_view text, size_t offset) {
    return static_cast<size_t>(std::count(text.begin(), text.begin() + std::min(offset, text.size()), '\n')) +
           1;
}

[[noreturn]] void Damaged(const std::string& fileName, const std::string& what) {
    throw EVELError("File \"" + fileName + "\" is damaged: " + what + ".");
}

void CheckReadable(const std::string& fileName) {
    std::error_code ec;
    if (!fs::exists(fileName, ec)) throw EVELError("File \"" + fileName + "\" does not exist.");
    if (fs::is_directory(fileName, ec)) throw EVELError("\"" + fileName + "\" is a folder, not a file.");
}

// The bytes of a file, mapped into memory where the file allows it (no copy of a hundred
// megabytes into fresh memory), else read.
class TFileBytes {
public:
    explicit TFileBytes(const std::string& fileName) {
        CheckReadable(fileName);
        const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw EVELError("Cannot open file \"" + fileName + "\".");
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            void* map = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ,
                               MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (map != MAP_FAILED) {
                map_ = map;
                size_ = static_cast<size_t>(st.st_size);
            }
        }
        if (!map_) {
            char buffer[65536];
            for (;;) {
                const ssize_t got = ::read(fd, buffer, sizeof buffer);
                if (got < 0 && errno == EINTR) continue;
                if (got < 0) {
                    ::close(fd);
                    throw EVELError("Cannot read file \"" + fileName + "\".");
                }
                if (got == 0) break;
                read_.append(buffer, static_cast<size_t>(got));
            }
        }
        ::close(fd);
    }
    ~TFileBytes() {
        if (map_) ::munmap(map_, size_);
    }
    TFileBytes(const TFileBytes&) = delete;
    TFileBytes& operator=(const TFileBytes&) = delete;
    std::string_view Text() const {
        return map_ ? std::string_view(static_cast<const char*>(map_), size_) : read_;
    }

private:
    void* map_ = nullptr;
    size_t size_ = 0;
    std::string read_;
};

// A text given in pieces without the elements of some tags, each with the CR LF behind it (as
// RemoveElements takes them out), walked stretch by stretch without copying. An element never
// runs from one piece into the next.
class TKeptText {
public:
    TKeptText(std::vector<std::string_view> pieces, std::vector<std::string_view> upperTags)
        : pieces_(std::move(pieces)), tags_(std::move(upperTags)), next_(tags_.size(), Unknown) {}

    // The next stretch that stays; empty at the end.
    std::string_view Next() {
        while (piece_ < pieces_.size()) {
            const std::string_view text = pieces_[piece_];
            // The nearest element of any tag, from the last search of each tag on.
            size_t open = std::string_view::npos, after = 0;
            for (size_t t = 0; t < tags_.size(); ++t) {
                if (next_[t] == Unknown || (next_[t] != std::string_view::npos && next_[t] < pos_))
                    next_[t] = FindTag(text, tags_[t], false, pos_);
                if (next_[t] == std::string_view::npos || next_[t] >= open) continue;
                const size_t close = FindTag(text, tags_[t], true, next_[t]);
                if (close == std::string_view::npos) {
                    next_[t] = std::string_view::npos; // no element without its close tag
                    continue;
                }
                open = next_[t];
                after = close + tags_[t].size() + 3;
            }
            if (open == std::string_view::npos) {
                const std::string_view rest = text.substr(pos_);
                NextPiece();
                if (!rest.empty()) return rest;
                continue;
            }
            const std::string_view kept = text.substr(pos_, open - pos_);
            pos_ = text.substr(after, 2) == CRLF ? after + 2 : after;
            if (!kept.empty()) return kept;
        }
        return {};
    }

private:
    void NextPiece() {
        ++piece_;
        pos_ = 0;
        std::fill(next_.begin(), next_.end(), Unknown);
    }
    static constexpr size_t Unknown = std::string_view::npos - 1;
    std::vector<std::string_view> pieces_;
    std::vector<std::string_view> tags_;
    std::vector<size_t> next_; // per tag: where its next element opens (npos: none) when not below pos_
    size_t piece_ = 0;
    size_t pos_ = 0;
};

bool SameKeptText(TKeptText a, TKeptText b) {
    std::string_view x = a.Next(), y = b.Next();
    while (!x.empty() && !y.empty()) {
        const size_t n = std::min(x.size(), y.size());
        if (std::memcmp(x.data(), y.data(), n) != 0) return false;
        x.remove_prefix(n);
        y.remove_prefix(n);
        if (x.empty()) x = a.Next();
        if (y.empty()) y = b.Next();
    }
    return x.empty() && y.empty();
}

// The content of the first element with the tag, without copying; empty when it is missing.
std::string_view ElementContent(std::string_view text, std::string_view upperTag) {
    const size_t open = FindTag(text, upperTag, false, 0);
    if (open == std::string_view::npos) return {};
    const size_t start = open + upperTag.size() + 2;
    const size_t close = FindTag(text, upperTag, true, start);
    return close == std::string_view::npos ? std::string_view() : text.substr(start, close - start);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return ".";
}

// The documents folder named in the user-dirs.dirs file of the user's configuration.
std::string ConfiguredDocumentsFolder(const std::string& home) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string file =
        (config && *config ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);
        if (!t.starts_with("XDG_DOCUMENTS_DIR=")) continue;
        std::string value = Trim(std::string_view(t).substr(18));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.starts_with("$HOME")) value = home + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return {};
}

} // namespace

// ---- the project file ----------------------------------------------------------------------------

std::string DetectFileFormatVersion(std::string_view text) {
    static constexpr std::pair<std::string_view, std::string_view> Markers[] = {
        {"<FILEFORMATVERSION>60", "60"}, {"<FILEFORMATVERSION>51", "51"},     {"<FILEFORMATVERSION>41", "41"},
        {"<FILEFORMATVERSION>40", "40"}, {"<FILEFORMATVERSIONNUMBER>", "30"}, {"<ARDVINVERSIONNUMBER>", "30"},
    };
    for (const auto& [marker, version] : Markers)
        if (text.find(marker) != std::string_view::npos) return std::string(version);
    constexpr std::string_view Marker2 = "***VERSION***";
    if (text.substr(0, 9 + Marker2.size()).find(Marker2) != std::string_view::npos) return "20";
    return {};
}

std::string ProjectFileFormatVersion(const std::string& fileName) {
    return DetectFileFormatVersion(TFileBytes(fileName).Text());
}

std::string FileFormatVersionText(std::string_view formatVersion) {
    if (formatVersion == "51") return "version 5";
    if (formatVersion == "41") return "version 4 (or 5)";
    if (formatVersion == "40") return "version 4";
    if (formatVersion == "30") return "version 3";
    if (formatVersion == "20") return "version 2";
    return "this system";
}

TVELFileEncoding DeclaredEncoding(std::string_view text, const std::string& fileName) {
    if (text.starts_with(Utf8Bom)) return TVELFileEncoding::Utf8;
    if (!text.starts_with("<?xml")) return TVELFileEncoding::Latin1;
    const std::string_view declaration = text.substr(0, text.find("?>"));
    const size_t at = declaration.find("encoding=");
    if (at == std::string_view::npos || at + 10 > declaration.size()) return TVELFileEncoding::Latin1;
    const char quote = declaration[at + 9];
    const size_t end = declaration.find(quote, at + 10);
    if ((quote != '"' && quote != '\'') || end == std::string_view::npos) return TVELFileEncoding::Latin1;
    const std::string name = LowerCase(declaration.substr(at + 10, end - at - 10));
    if (name == "utf-8" || name == "utf8") return TVELFileEncoding::Utf8;
    for (const char* latin1 : {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "latin-1", "l1",
                               "windows-1252", "cp1252", "us-ascii", "ascii"})
        if (name == latin1) return TVELFileEncoding::Latin1;
    throw EVELError("File \"" + fileName + "\" is written in the unsupported encoding \"" + name + "\".");
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else
            AppendUtf8(out, c < 0xA0 ? Cp1252High[c - 0x80] : c);
    }
    return out;
}

bool TryUtf8ToLatin1(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // Only characters of two and three bytes can have a byte of their own.
        const int length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
        if (length == 0 || i + length > text.size()) return false;
        char32_t code = c & (length == 2 ? 0x1F : 0x0F);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms are no valid UTF-8.
        if ((length == 2 && code < 0x80) || (length == 3 && code < 0x800)) return false;
        const int byte = Latin1Byte(code);
        if (byte < 0) return false;
        out += static_cast<char>(byte);
        i += length;
    }
    return true;
}

std::string_view DecodeProjectText(std::string_view text, const std::string& fileName, std::string& decoded) {
    if (DeclaredEncoding(text, fileName) == TVELFileEncoding::Utf8) {
        if (text.starts_with(Utf8Bom)) text.remove_prefix(Utf8Bom.size());
        return text;
    }
    if (IsAscii(text)) return text;
    decoded = Latin1ToUtf8(text);
    return decoded;
}

std::vector<std::string_view> CheckProjectText(std::string_view text, const std::string& fileName) {
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos)
        Damaged(fileName, "it holds binary data (line " + IntToStr(LineAt(text, nul)) + ")");
    struct Open {
        std::string_view Name;
        size_t ContentStart;
        size_t At; // of the open tag
    };
    std::vector<Open> open;
    std::vector<std::string_view> versions;
    bool elementSeen = false;
    size_t pos = 0;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    for (;;) {
        const size_t lt = text.find('<', pos);
        // Outside every element only blanks may stand.
        if (open.empty()) {
            const std::string_view between = text.substr(pos, lt == std::string_view::npos ? lt : lt - pos);
            const auto stray = std::find_if_not(between.begin(), between.end(), blank);
            if (stray != between.end())
                Damaged(fileName, "text stands outside the elements (line " +
                                      IntToStr(LineAt(text, pos + (stray - between.begin()))) + ")");
        }
        if (lt == std::string_view::npos) break;
        const size_t gt = text.find('>', lt + 1);
        if (gt == std::string_view::npos)
            Damaged(fileName, "a tag is not closed (line " + IntToStr(LineAt(text, lt)) + ")");
        const std::string_view tag = text.substr(lt + 1, gt - lt - 1);
        pos = gt + 1;
        if (tag.starts_with('?') && !elementSeen && tag.ends_with('?')) continue; // the declaration
        const bool closing = tag.starts_with('/');
        const std::string_view name = closing ? tag.substr(1) : tag;
        if (name.empty() || name.find('<') != std::string_view::npos || blank(name.front()) ||
            name.front() == '?' || name.front() == '/')
            Damaged(fileName, "\"<" + std::string(tag.substr(0, 40)) + (tag.size() > 40 ? "..." : "") +
                                  ">\" is no element tag (line " + IntToStr(LineAt(text, lt)) + ")");
        elementSeen = true;
        if (!closing) {
            open.push_back({name, pos, lt});
            continue;
        }
        if (open.empty())
            Damaged(fileName, "</" + std::string(name) + "> closes no element (line " +
                                  IntToStr(LineAt(text, lt)) + ")");
        const Open element = open.back();
        if (!SameText(element.Name, name))
            Damaged(fileName, "the element <" + std::string(element.Name) + "> of line " +
                                  IntToStr(LineAt(text, element.At)) + " is closed by </" +
                                  std::string(name) + "> (line " + IntToStr(LineAt(text, lt)) + ")");
        open.pop_back();
        // The VERSION elements at the top: inside the root element, or without one.
        if (SameText(name, "VERSION") &&
            (open.empty() || (open.size() == 1 && SameText(open[0].Name, "ardvin"))))
            versions.push_back(text.substr(element.ContentStart, lt - element.ContentStart));
    }
    if (!open.empty())
        Damaged(fileName, "it ends inside the element <" + std::string(open.back().Name) + "> of line " +
                              IntToStr(LineAt(text, open.back().At)));
    if (versions.empty()) Damaged(fileName, "it holds no model (no VERSION element)");
    return versions;
}

std::string UserDocumentsFolder() {
    const std::string home = HomeFolder();
    std::error_code ec;
    if (const char* documents = std::getenv("XDG_DOCUMENTS_DIR"); documents && *documents) {
        std::string folder = documents;
        if (folder.starts_with("$HOME")) folder = home + folder.substr(5);
        if (fs::is_directory(folder, ec)) return folder;
    }
    if (const std::string folder = ConfiguredDocumentsFolder(home);
        !folder.empty() && fs::is_directory(folder, ec))
        return folder;
    if (fs::is_directory(home + "/Documents", ec)) return home + "/Documents";
    return home;
}

// ---- TVELProject ---------------------------------------------------------------------------------

TVELProject::TVELProject(TVELClock now) : Now(now), Versions(now), Diagrams(&DataDictionary) {
    Diagrams.Project = this;
    DataDictionary.OnObjectCreated = [this](TVELDatabaseObject* object) {
        ApplyNewObjectDefaults(object);
        if (OnObjectCreated) OnObjectCreated(object);
    };
    DataDictionary.OnObjectChanged = [this](TVELNamedObject* object) { ModelObjectChanged(object); };
    DataDictionary.OnObjectNameChanged = DataDictionary.OnObjectChanged;
    DataDictionary.OnObjectDeleted = [this](TVELNamedObject* object) {
        Diagrams.RemoveControlsOf(object);
        if (OnObjectDeleted) OnObjectDeleted(object);
    };
    Settings.OnChange = [this](TVELProjectSettings*) { PushProjectHeader(); };
    FillDefaults();
    const std::string folder = UserDocumentsFolder();
    std::error_code ec;
    for (int n = 1;; ++n) {
        const std::string name = folder + "/Project" + IntToStr(n) + ".arv";
        if (!fs::exists(name, ec)) {
            SetFileName(name);
            break;
        }
    }
}

TVELProject::~TVELProject() {
    if (OnDestroying) OnDestroying();
    // Deleting objects from now on is no news for anybody.
    DataDictionary.OnObjectDeleted = nullptr;
    DataDictionary.OnObjectChanged = nullptr;
    DataDictionary.OnObjectNameChanged = nullptr;
    Settings.OnChange = nullptr;
}

TVELDateTime TVELProject::CurrentTime() const {
    return Now ? Now() : std::chrono::system_clock::now();
}

void TVELProject::FillDefaults() {
    for (const DefaultSetting& d : CommonDefaults)
        Settings.CommonSettings.SetValue(d.Key, d.Value);
    for (const DefaultSetting& d : NameTemplateDefaults)
        Settings.NameTemplates.SetValue(d.Key, d.Value);
}

void TVELProject::SetFileName(std::string_view name) {
    if (name == fileName_) return;
    fileName_ = std::string(name);
    Settings.CommonSettings.SetValue("PROJECTFILENAME", fileName_);
    if (OnFileNameChanged) OnFileNameChanged();
}

bool TVELProject::IsRepositoryProject() const {
    return StrToIntDef(Settings.RepositorySettings.GetValue("REPOSITORYVERSIONNUMBER"), -1) >= 0;
}

void TVELProject::ApplyNewObjectDefaults(TVELDatabaseObject* object) {
    const TVELSettingsList& templates = Settings.NameTemplates;
    const TVELDatabaseSettings* target = DataDictionary.GetDatabaseSettings();
    if (auto* attribute = dynamic_cast<TVELAttribute*>(object)) {
        attribute->CheckConstraint()->SetTemplate(templates.GetValue("CCONNAMETEMPLATE"));
        attribute->NotNullConstraint()->SetTemplate(templates.GetValue("NOTNULLCONNAMETEMPLATE"));
        attribute->DefaultConstraint()->SetTemplate(templates.GetValue("DEFAULTCONNAMETEMPLATE"));
    } else if (auto* index = dynamic_cast<TVELIndex*>(object)) {
        index->SetTemplate(templates.GetValue("INDEXNAMETEMPLATE"));
        if (target->EnableIndexOptions)
            index->IndexOptions = Settings.CommonSettings.GetValue("DEFINDEXOPTIONS");
    } else if (auto* relationship = dynamic_cast<TVELRelationship*>(object)) {
        relationship->SetTemplate(templates.GetValue("RELNAMETEMPLATE"));
        relationship->FKConstraint->SetTemplate(templates.GetValue("FKCONNAMETEMPLATE"));
    } else if (auto* entity = dynamic_cast<TVELEntity*>(object)) {
        entity->PrimaryKey->SetTemplate(templates.GetValue("PKCONNAMETEMPLATE"));
        if (target->EnableTableOptions)
            entity->TableOptions = Settings.CommonSettings.GetValue("DEFTABLEOPTIONS");
        if (target->EnableSchemas) entity->SchemaName = templates.GetValue("DEFAULTSCHEMANAME");
    }
}

void TVELProject::ModelObjectChanged(TVELNamedObject* object) {
    Diagrams.ObjectChanged(object);
    // Members of entities are reported themselves; the boxes that show them are the entity's.
    if (object && object->Owner != &DataDictionary)
        if (TVELEntity* entity = EntityOf(object); entity && entity != object) Diagrams.ObjectChanged(entity);
}

void TVELProject::PushProjectHeader() {
    TDGProjectHeader header;
    header.ProjectName = ProjectName();
    header.Created = Created();
    header.Modified = Modified();
    header.Author = Author();
    header.Copyright = CopyRight();
    if (!DataDictionary.GetTarget().empty()) header.DBMSName = DataDictionary.GetDatabaseSettings()->DBMSName;
    Diagrams.PushProjectHeader(header);
}

void TVELProject::NewModel(std::string_view dbid) {
    DataDictionary.SetTarget(dbid);
    Diagrams.NewMainDiagram();
}

int TVELProject::PlaceObjectsWithoutControls() {
    TVELDiagram* main = Diagrams.MainDiagram();
    if (!main) return 0;
    int placed = 0;
    // Entities first, so that the relationships find their ends.
    for (const int type : {otEntity, otTextArea, otRelationship})
        for (int i = 0; i < DataDictionary.Count(); ++i) {
            TVELDatabaseObject* object = DataDictionary.Object(i);
            if (object->ObjectType != type || !object->Links.empty()) continue;
            const int at = type == otTextArea ? 10 : 100;
            if (Diagrams.AddObjectToDiagram(object, main, at, at)) ++placed;
        }
    return placed;
}

TVELVersionInfo* TVELProject::ArchiveVersion(bool dataDictionaryOnly, std::string_view label,
                                             std::string_view comments) {
    return Versions.Archive(dataDictionaryOnly ? vtDictionaryOnly : vtDiagramsAndDictionary, label, comments,
                            DataDictionary.GetTarget(), Settings.Write(), DataDictionary.SaveToMarkup(),
                            dataDictionaryOnly ? std::string() : Diagrams.SaveToMarkup());
}

std::vector<std::string> TVELProject::CurrentVersionPieces() const {
    std::vector<std::string> pieces(3);
    pieces[0].assign(VersionOpen).append(Settings.Write());
    pieces[1] = DataDictionary.SaveToMarkup();
    pieces[2] = Diagrams.SaveToMarkup();
    pieces[2].append(CRLF).append(VersionClose);
    return pieces;
}

std::string TVELProject::CurrentVersionElement() const {
    std::string r;
    for (const std::string& piece : CurrentVersionPieces())
        r += piece;
    return r;
}

std::string TVELProject::ArchivedVersionsText() const {
    std::ostringstream out;
    Versions.WriteToProjectFile(out);
    return std::move(out).str();
}

std::string TVELProject::FileText() const {
    std::string r(Utf8Declaration);
    r.append(CRLF).append(FormatVersionLine).append(CRLF);
    r += CurrentVersionElement();
    r += ArchivedVersionsText();
    r.append(CRLF).append(FileEnd);
    return r;
}

// ---- saving --------------------------------------------------------------------------------------

bool TVELProject::Save() {
    TVELSettingsList& common = Settings.CommonSettings;
    TVELSettingsList& repository = Settings.RepositorySettings;
    // Restored when the save fails, so that the project stays as it was.
    const bool hadChanged = repository.Has("REPOSITORYPROJECTCHANGED");
    const std::string created = common.GetValue("CREATED"), modified = common.GetValue("MODIFIED"),
                      changed = repository.GetValue("REPOSITORYPROJECTCHANGED");
    try {
        const std::string today = FormatLocalDate(CurrentTime());
        common.SetValue("MODIFIED", today);
        if (created.empty()) common.SetValue("CREATED", today);
        if (!Trim(repository.GetValue("REPOSITORYVERSIONNUMBER")).empty())
            repository.SetValue("REPOSITORYPROJECTCHANGED", "1");

        // The pieces of CurrentVersionPieces and the archive, the model written as it is made
        // rather than held whole: a large model's text is the largest block of memory a save
        // would otherwise need.
        const std::string head = std::string(VersionOpen).append(Settings.Write());
        const std::string diagrams = Diagrams.SaveToMarkup().append(CRLF).append(VersionClose);
        const std::string archived = ArchivedVersionsText();
        // ISO-8859-1 whenever every character has its byte there, else UTF-8. Each piece ends
        // at the end of an object, never inside a character. When a piece turns out not to fit
        // ISO-8859-1 the file is written again from the start in UTF-8.
        const auto write = [&](bool utf8) {
            TVELAtomicFile file(fileName_, FileOps ? *FileOps : SystemFileOps());
            bool fits = true;
            std::string latin1;
            const auto put = [&](std::string_view piece) {
                if (!fits) return;
                if (utf8 || IsAscii(piece))
                    file.Write(piece);
                else if (TryUtf8ToLatin1(piece, latin1))
                    file.Write(latin1);
                else
                    fits = false;
            };
            file.Write(std::string(utf8 ? Utf8Declaration : Latin1Declaration)
                           .append(CRLF)
                           .append(FormatVersionLine)
                           .append(CRLF));
            put(head);
            std::string model;
            DataDictionary.WriteMarkup(model, size_t{1} << 20, [&](std::string& text) {
                put(text);
                text.clear();
            });
            put(model);
            put(diagrams);
            put(archived);
            if (!fits) return false;  // the temporary file goes with the object
            file.Write(std::string(CRLF).append(FileEnd));
            file.Commit();
            return true;
        };
        if (!write(false)) write(true);
    } catch (...) {
        common.SetValue("MODIFIED", modified);
        common.SetValue("CREATED", created);
        if (hadChanged)
            repository.SetValue("REPOSITORYPROJECTCHANGED", changed);
        else
            repository.Delete("REPOSITORYPROJECTCHANGED");
        throw;
    }
    FileFormatVersion = std::string(CurrentFileFormatVersion);
    return true;
}

bool TVELProject::IsModified() const {
    std::error_code ec;
    if (!fs::exists(fileName_, ec)) return true;
    std::unique_ptr<TFileBytes> file;
    std::string decoded;
    std::string_view text;
    try {
        file = std::make_unique<TFileBytes>(fileName_);
        text = DecodeProjectText(file->Text(), fileName_, decoded);
    } catch (const EVELError&) {
        return true;
    }
    // The first VERSION element of the file against the current one, both without the dates
    // of the last save and of archived versions.
    const size_t open = FindTag(text, "VERSION", false, 0);
    if (open == std::string_view::npos) return true;
    const size_t start = open + VersionOpen.size();
    const size_t close = FindTag(text, "VERSION", true, start);
    if (close == std::string_view::npos) return true;
    const std::string_view stored = text.substr(start, close - start);
    const std::vector<std::string> current = CurrentVersionPieces();
    // The current element starts with "<VERSION>" and ends with "</VERSION>", as does the
    // stored one rebuilt from its content: only the content in between is compared.
    std::vector<std::string_view> pieces(current.begin(), current.end());
    pieces.front().remove_prefix(VersionOpen.size());
    pieces.back().remove_suffix(VersionClose.size());
    const std::vector<std::string_view> tags = {"MODIFIED", "VERSIONDATE"};
    return !SameKeptText(TKeptText({stored}, tags), TKeptText(pieces, tags));
}

// ---- opening -------------------------------------------------------------------------------------

std::string TVELProject::ConvertFile() {
    const int version = StrToIntDef(FileFormatVersion, 0);
    const std::string backup = OldFormatBackupName(fileName_, version);
    const std::string message =
        "This is a project file for Ardvin for Databases " + FileFormatVersionText(FileFormatVersion) +
        " and needs to be converted.\r\n\r\n"
        "For your convenience, a backup of the (original) file will be created. The original file \"" +
        fileName_ + "\" will be saved as \"" + backup +
        "\".\r\n\r\n"
        "Please note that when you save the converted project, the project can't be opened in an older "
        "version of "
        "Ardvin for Databases anymore.\r\n\r\nDo you wish to continue?";
    if (OnConfirmConversion) OnConfirmConversion(message);
    if (OnConversionStarting) OnConversionStarting();
    TVELFileConverter converter(fileName_, version,
                                [this] { return OnRequestTarget ? OnRequestTarget() : std::string(); });
    std::string converted = converter.Convert();
    BackupFileName = converter.BackupFileName;
    if (OnConversionFinished) OnConversionFinished();
    return converted;
}

void TVELProject::LoadModel(std::string_view content) {
    const size_t total = std::max<size_t>(content.size(), 1);
    size_t processed = 0;
    int reported = -1;
    auto progress = [&](size_t length) {
        processed += length;
        const int percent = static_cast<int>(
            std::lround(static_cast<double>(processed) * 100.0 / static_cast<double>(total)));
        if (percent == reported) return;
        reported = percent;
        if (OnLoadProgress) OnLoadProgress(percent);
    };
    // Loading raises none of the change notifications; they are restored also when it fails.
    struct Suspended {
        TVELProject& P;
        decltype(DataDictionary.OnObjectCreated) Created =
            std::exchange(P.DataDictionary.OnObjectCreated, nullptr);
        decltype(DataDictionary.OnObjectChanged) Changed =
            std::exchange(P.DataDictionary.OnObjectChanged, nullptr);
        decltype(DataDictionary.OnObjectNameChanged) NameChanged =
            std::exchange(P.DataDictionary.OnObjectNameChanged, nullptr);
        decltype(DataDictionary.OnObjectDeleted) Deleting =
            std::exchange(P.DataDictionary.OnObjectDeleted, nullptr);
        decltype(Diagrams.OnCurrentDiagramChanged) CurrentDiagram =
            std::exchange(P.Diagrams.OnCurrentDiagramChanged, nullptr);
        decltype(Diagrams.OnDiagramAdded) DiagramAdded = std::exchange(P.Diagrams.OnDiagramAdded, nullptr);
        decltype(Settings.OnChange) SettingsChanged = std::exchange(P.Settings.OnChange, nullptr);
        ~Suspended() {
            P.DataDictionary.OnObjectCreated = std::move(Created);
            P.DataDictionary.OnObjectChanged = std::move(Changed);
            P.DataDictionary.OnObjectNameChanged = std::move(NameChanged);
            P.DataDictionary.OnObjectDeleted = std::move(Deleting);
            P.Diagrams.OnCurrentDiagramChanged = std::move(CurrentDiagram);
            P.Diagrams.OnDiagramAdded = std::move(DiagramAdded);
            P.Settings.OnChange = std::move(SettingsChanged);
            P.DataDictionary.OnLoadProgress = nullptr;
            P.Diagrams.OnReadProgress = nullptr;
        }
    } suspended{*this};
    DataDictionary.OnLoadProgress = progress;
    Diagrams.OnReadProgress = progress;
    // A project opened a second time starts from nothing; the diagrams go before the objects
    // they show.
    Diagrams.Clear();
    DataDictionary.ClearAndFree();

    Settings.Read(ElementContent(content, "PROJECTSETTINGS"));
    DataDictionary.LoadFromMarkup(ElementContent(content, "DATADICT"));
    Diagrams.LoadFromMarkup(ElementContent(content, "DIAGRAMS"));
}

void TVELProject::Open(const std::string& fileName) {
    SetFileName(fileName);
    std::optional<TFileBytes> file(std::in_place, fileName);
    FileFormatVersion = DetectFileFormatVersion(file->Text());
    if (FileFormatVersion.empty()) throw EVELError("Unsupported file format.");
    // The converted file is a temporary one; it goes however the loading ends.
    struct TemporaryFile {
        std::string Name;
        ~TemporaryFile() {
            std::error_code ec;
            if (!Name.empty()) fs::remove(Name, ec);
        }
    } converted;
    std::string decoded;
    if (FileFormatVersion != CurrentFileFormatVersion) {
        // A damaged file is refused before the conversion makes its backup.
        if (FileFormatVersion != "20")
            CheckProjectText(DecodeProjectText(file->Text(), fileName_, decoded), fileName_);
        file.reset();
        converted.Name = ConvertFile();
        if (converted.Name == fileName_) converted.Name.clear();
        file.emplace(converted.Name.empty() ? fileName_ : converted.Name);
    }
    const std::string_view text = DecodeProjectText(file->Text(), fileName_, decoded);
    const std::vector<std::string_view> versions = CheckProjectText(text, fileName_);
    try {
        Versions.LoadFromElements({versions.begin() + 1, versions.end()});
        LoadModel(versions.front());
    } catch (const EVELError& e) {
        // Nothing half loaded stays behind; the diagrams go before the objects they show.
        Diagrams.Clear();
        DataDictionary.ClearAndFree();
        Versions.ClearAndFree();
        throw EVELError("Cannot open project \"" + fileName_ + "\": " + e.what());
    }
    PushProjectHeader();
    if (OnModelLoaded) OnModelLoaded();
    Settings.RepositorySettings.Delete("REPOSITORYPROJECTCHANGED");
}

// ---- TVELProjects --------------------------------------------------------------------------------

TVELProjects::~TVELProjects() {
    OnChange = nullptr;
    current_ = previous_ = nullptr;
    while (!projects_.empty())
        Remove(projects_.back().get());
}

int TVELProjects::IndexOf(const TVELProject* project) const {
    for (size_t i = 0; i < projects_.size(); ++i)
        if (projects_[i].get() == project) return static_cast<int>(i);
    return -1;
}

TVELProject* TVELProjects::Add(std::unique_ptr<TVELProject> project) {
    project->Projects = this;
    projects_.push_back(std::move(project));
    return projects_.back().get();
}

void TVELProjects::Remove(TVELProject* project) {
    const int index = IndexOf(project);
    if (index < 0) return;
    if (previous_ == project) previous_ = nullptr;
    if (current_ == project) {
        current_ = nullptr;
        if (OnChange) OnChange();
    }
    std::unique_ptr<TVELProject> owned = std::move(projects_[index]);
    projects_.erase(projects_.begin() + index);
    owned->Projects = nullptr;
}

void TVELProjects::SetCurrent(TVELProject* project) {
    if (project == current_) return;
    previous_ = current_;
    current_ = project;
    if (OnChange) OnChange();
}

} // namespace ardvin
