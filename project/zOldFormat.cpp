#include "zOldFormat.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "zDatabaseObject.h"
#include "zDatabaseSettings.h"
#include "zSLDatatypes.h"

namespace ardvin {

namespace {

struct TOldDomain {
    std::string Name, Type, Default;
    std::vector<std::string> Items;
    int32_t ID = 0;
};

struct TOldAttribute {
    int32_t Number = 0;
    std::string Name, Type, Flags, Default, Check, Comment;
    int32_t Domain = 0;
    bool Flag(char letter) const {
        return Flags.find(letter) != std::string::npos || Flags.find(static_cast<char>(letter + 32)) != std::string::npos;
    }
};

struct TOldIndex {
    std::string Name;
    bool Unique = false;
    std::vector<int32_t> Columns;
    int Line = 0;
};

struct TOldEntity {
    std::string Name, Comment;
    int32_t Left = 0, Top = 0;
    std::vector<TOldAttribute> Attributes;
    std::vector<TOldIndex> Indexes;
    int32_t ID = 0;
    const TOldAttribute* Attribute(int32_t number) const {
        for (const auto& a : Attributes)
            if (a.Number == number) return &a;
        return nullptr;
    }
    std::set<int32_t> KeyNumbers() const {
        std::set<int32_t> r;
        for (const auto& a : Attributes)
            if (a.Flag('P')) r.insert(a.Number);
        return r;
    }
};

struct TOldTextArea {
    int32_t Number = 0, Left = 0, Top = 0, Width = 0, Height = 0;
    std::string Text;
    int32_t ID = 0;
};

struct TOldRelation {
    std::string Name, Cardinality;
    int32_t First = 0, Second = 0;
    bool Identifying = false;
    std::vector<std::pair<int32_t, int32_t>> Pairs;
    int Line = 0;
    int32_t ID = 0;
};

struct TOldVersion {
    std::vector<std::string> Header;
    std::map<int32_t, TOldDomain> Domains;
    std::map<int32_t, TOldEntity> Entities;
    std::map<int32_t, TOldTextArea> TextAreas;
    std::map<int32_t, TOldRelation> Relations;
};

// Field counts of the records.
struct TRecordKind {
    const char* Marker;
    size_t Fields;
};
constexpr TRecordKind RecordKinds[] = {
    {"***VERSION***", 5}, {"***DOMAIN***", 4},   {"***DOMAINITEM***", 2}, {"***ENTITY***", 5},
    {"***ATTRIBUTE***", 9}, {"***INDEX***", 4},  {"***TEXTAREA***", 6},   {"***RELATION***", 7},
    {"***ENDOFVERSION***", 0},
};

[[noreturn]] void Fail(int line, const std::string& text) {
    throw EVELError("File conversion error in line " + IntToStr(line) + ": " + text);
}

// A text field: \n is a line break, \\ a backslash.
std::string DecodeText(std::string_view field) {
    std::string r;
    r.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size() && (field[i + 1] == 'n' || field[i + 1] == '\\')) {
            r += field[i + 1] == 'n' ? std::string(CRLF) : std::string("\\");
            ++i;
        } else {
            r += field[i];
        }
    }
    return r;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t brk = text.find_first_of("\r\n", start);
        if (brk == std::string_view::npos) {
            if (start < text.size()) lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, brk - start));
        start = brk + (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

bool IsMarker(std::string_view line) {
    const std::string t = Trim(line);
    return t.size() >= 6 && t.rfind("***", 0) == 0 && t.compare(t.size() - 3, 3, "***") == 0;
}

// One record: its marker's line number and its fields.
struct TRecord {
    std::string Marker;
    int Line = 0;
    std::vector<std::string> Fields;
    std::string Field(size_t index) const { return index < Fields.size() ? Fields[index] : std::string(); }
    std::string Text(size_t index) const { return DecodeText(Field(index)); }
    int32_t Number(size_t index, bool emptyIsZero = false) const {
        const std::string field = Trim(Field(index));
        if (emptyIsZero && field.empty()) return 0;
        int32_t value = 0;
        if (!TryStrToInt(field, value))
            Fail(Line + static_cast<int>(index) + 1, "\"" + field + "\" is not a number.");
        return value;
    }
};

std::vector<TRecord> ReadRecords(std::string_view text) {
    std::vector<TRecord> records;
    const std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (IsMarker(line)) {
            TRecord record;
            record.Marker = UpperCase(Trim(line));
            record.Line = static_cast<int>(i) + 1;
            records.push_back(std::move(record));
        } else if (records.empty()) {
            if (!Trim(line).empty()) Fail(static_cast<int>(i) + 1, "the file does not start with ***VERSION***.");
        } else {
            records.back().Fields.push_back(line);
        }
    }
    for (TRecord& record : records) {
        while (!record.Fields.empty() && Trim(record.Fields.back()).empty()) record.Fields.pop_back();
        const TRecordKind* kind = nullptr;
        for (const TRecordKind& k : RecordKinds)
            if (record.Marker == k.Marker) kind = &k;
        if (!kind) Fail(record.Line, "unknown section \"" + record.Marker + "\".");
        if (record.Fields.size() > kind->Fields)
            Fail(record.Line + static_cast<int>(kind->Fields) + 1, "too many lines in the section " + record.Marker + ".");
    }
    if (records.empty() || records.front().Marker != "***VERSION***")
        Fail(records.empty() ? 1 : records.front().Line, "the file does not start with ***VERSION***.");
    return records;
}

class TMarkupWriter {
public:
    TMarkupWriter(std::string dbid, const TSLDatatypes& types, const TVELOldFormat& owner)
        : dbid_(std::move(dbid)), types_(types), owner_(owner) {}

    std::string Version(TOldVersion& version);

private:
    std::string DataType(std::string_view text) const;
    std::string Domain(const TOldDomain& domain) const;
    std::string Entity(const TOldVersion& version, const TOldEntity& entity) const;
    std::string Relation(const TOldVersion& version, TOldRelation& relation) const;
    std::string TextArea(const TOldTextArea& area) const;
    std::string Control(std::string_view tag, const std::string& placement) const;

    std::string dbid_;
    const TSLDatatypes& types_;
    const TVELOldFormat& owner_;
};

// The DT element of a type text such as VARCHAR(40) or DECIMAL(10,2).
std::string TMarkupWriter::DataType(std::string_view text) const {
    std::string name = Trim(text), length, precision;
    const size_t open = name.find('(');
    if (open != std::string::npos) {
        std::string inner = name.substr(open + 1);
        if (const size_t close = inner.find(')'); close != std::string::npos) inner.resize(close);
        name = Trim(name.substr(0, open));
        const size_t comma = inner.find(',');
        length = Trim(inner.substr(0, comma));
        if (comma != std::string::npos) precision = Trim(inner.substr(comma + 1));
    }
    if (name.empty()) return {};
    const int index = types_.IndexByNameOrSynonym(name);
    std::string dt = WriteElement("DTLISTNAME", index >= 0 ? types_.ListNames()[index] : UpperCase(name));
    if (!length.empty()) AppendElement(dt, "LENGTH", length);
    if (!precision.empty()) AppendElement(dt, "PRECISION", precision);
    return WrapSection("DT", dt);
}

std::string TMarkupWriter::Domain(const TOldDomain& domain) const {
    std::string r = WriteElement("NAME", domain.Name);
    AppendElement(r, "ID", IntToStr(domain.ID));
    r += DataType(domain.Type);
    // The list of values becomes the domain's check.
    if (!domain.Items.empty()) {
        std::vector<std::string> quoted;
        for (const std::string& item : domain.Items)
            quoted.push_back("'" + item + "'");
        AppendElement(r, "CCON", "VALUE IN (" + JoinStrings(quoted, ",") + ")");
    }
    if (!domain.Default.empty()) AppendElement(r, "DEFVAL", domain.Default);
    return WrapSection("DOMAIN", r);
}

std::string TMarkupWriter::Control(std::string_view tag, const std::string& placement) const {
    return WrapSection(tag, WriteElement("DIAGRAMID", "0") + placement);
}

std::string TMarkupWriter::Entity(const TOldVersion& version, const TOldEntity& entity) const {
    std::string r = WriteElement("NAME", entity.Name);
    AppendElement(r, "ID", IntToStr(entity.ID));
    if (!entity.Comment.empty()) AppendElement(r, "DESC", entity.Comment);
    AppendElement(r, "USRDEFPKCONNAME", "0");
    std::string attributes;
    for (const TOldAttribute& a : entity.Attributes) {
        std::string attribute = WriteElement("NAME", a.Name);
        AppendElement(attribute, "ID", IntToStr(a.Number));
        if (!a.Comment.empty()) AppendElement(attribute, "DESC", a.Comment);
        std::string type = a.Type;
        int32_t domainID = -1;
        if (a.Domain != 0) {
            const TOldDomain& domain = version.Domains.at(a.Domain);
            domainID = domain.ID;
            if (Trim(type).empty()) type = domain.Type;
        }
        AppendElement(attribute, "DOMAINID", IntToStr(domainID));
        attribute += DataType(type);
        AppendElement(attribute, "PK", BoolStr(a.Flag('P')));
        AppendElement(attribute, "REQ", BoolStr(a.Flag('R')));
        AppendElement(attribute, "UN", BoolStr(a.Flag('U')));
        if (!a.Default.empty()) AppendElement(attribute, "DEFVAL", a.Default);
        if (!a.Check.empty()) AppendElement(attribute, "CCON", a.Check);
        attributes += WrapSection("ATTR", attribute);
    }
    r += WrapSection("ATTRIBUTES", attributes);
    std::string indexes;
    int32_t indexID = 1;
    for (const TOldIndex& index : entity.Indexes) {
        std::string text = WriteElement("NAME", index.Name);
        AppendElement(text, "ID", IntToStr(++indexID));
        if (index.Unique) AppendElement(text, "INDEXTYPE", "UNIQUE");
        std::string ids;
        for (int32_t column : index.Columns) {
            if (!entity.Attribute(column))
                Fail(index.Line, "unknown attribute number \"" + IntToStr(column) + "\" in the index \"" + index.Name + "\".");
            AppendElement(ids, "ATTRIBUTEID", IntToStr(column));
        }
        text += WrapSection("ATTRIBUTEIDS", ids);
        indexes += WrapSection("INDEX", text);
    }
    if (!indexes.empty()) r += WrapSection("INDEXES", indexes);
    std::string placement = WriteElement("L", IntToStr(entity.Left));
    AppendElement(placement, "T", IntToStr(entity.Top));
    r += WrapSection("ENTITYCONTROLS", Control("ENTC", placement));
    return WrapSection("ENT", r);
}

std::string TMarkupWriter::TextArea(const TOldTextArea& area) const {
    std::string r = WriteElement("NAME", ObjectTypeInfo(otTextArea).LogicalCaption + IntToStr(area.Number));
    AppendElement(r, "ID", IntToStr(area.ID));
    AppendElement(r, "TEXT", area.Text);
    std::string placement;
    AppendElement(placement, "L", IntToStr(area.Left));
    AppendElement(placement, "T", IntToStr(area.Top));
    if (area.Width > 0) AppendElement(placement, "W", IntToStr(area.Width));
    if (area.Height > 0) AppendElement(placement, "H", IntToStr(area.Height));
    r += WrapSection("TEXTAREACONTROLS", Control("TEXTC", placement));
    return WrapSection("TEXTAR", r);
}

std::string TMarkupWriter::Relation(const TOldVersion& version, TOldRelation& relation) const {
    auto entity = [&](int32_t number) -> const TOldEntity& {
        const auto found = version.Entities.find(number);
        if (found == version.Entities.end())
            Fail(relation.Line, "unknown entity number \"" + IntToStr(number) + "\" in a relation.");
        return found->second;
    };
    const TOldEntity* parent = &entity(relation.First);
    const TOldEntity* child = &entity(relation.Second);
    for (const auto& [a, b] : relation.Pairs)
        if (!parent->Attribute(a) || !child->Attribute(b))
            Fail(relation.Line, "unknown attribute in the pair " + IntToStr(a) + "=" + IntToStr(b) + ".");
    static const std::map<std::string, uint8_t> Cardinalities = {{"0:N", 0}, {"1:N", 1}, {"0:1", 2}, {"1:1", 3}};
    const auto cardinality = Cardinalities.find(UpperCase(Trim(relation.Cardinality)));
    if (cardinality == Cardinalities.end())
        Fail(relation.Line, "unknown cardinality \"" + relation.Cardinality + "\".");
    if (cardinality->second >= 2) {
        // Which end is the parent: the one whose paired attributes are its primary key.
        std::set<int32_t> first, second;
        for (const auto& [a, b] : relation.Pairs) {
            first.insert(a);
            second.insert(b);
        }
        const bool firstIsKey = !first.empty() && first == parent->KeyNumbers();
        const bool secondIsKey = !second.empty() && second == child->KeyNumbers();
        bool firstIsParent = true;
        if (secondIsKey && !firstIsKey) {
            firstIsParent = false;
        } else if (firstIsKey == secondIsKey && owner_.OnQuestion) {
            firstIsParent = owner_.OnQuestion(
                "Conversion question: Found a 1:1 or 0:1 relationship named \"" + relation.Name +
                "\" between the entities \"" + parent->Name + "\" and \"" + child->Name + "\". Is \"" +
                parent->Name + "\" the parent entity?");
        }
        if (!firstIsParent) {
            std::swap(parent, child);
            for (auto& pair : relation.Pairs)
                std::swap(pair.first, pair.second);
        }
    }
    std::string r = WriteElement("NAME", relation.Name);
    AppendElement(r, "ID", IntToStr(relation.ID));
    AppendElement(r, "USERDEFRELNAME", BoolStr(!Trim(relation.Name).empty()));
    AppendElement(r, "PARENTOBJECTID", IntToStr(parent->ID));
    AppendElement(r, "CHILDOBJECTID", IntToStr(child->ID));
    AppendElement(r, "CARDINALITY", IntToStr(cardinality->second));
    AppendElement(r, "RELTYPE", relation.Identifying ? "0" : "1");
    AppendElement(r, "MANDATORYPARENT", BoolStr(relation.Identifying));
    std::string pairs;
    int32_t pairID = 1;
    for (const auto& [key, foreignKey] : relation.Pairs) {
        std::string pair = WriteElement("ID", IntToStr(++pairID));
        AppendElement(pair, "KEYID", IntToStr(key));
        AppendElement(pair, "FOREIGNKEYID", IntToStr(foreignKey));
        pairs += WrapSection("PAIR", pair);
    }
    r += WrapSection("PAIRS", pairs);
    r += WrapSection("RELATIONSHIPCONNECTORS", Control("RELC", ""));
    return WrapSection("REL", r);
}

std::string TMarkupWriter::Version(TOldVersion& version) {
    // Every object of the model gets an identifier of its own, the kinds one after the other.
    int32_t lastID = 1;
    for (auto& [number, domain] : version.Domains)
        domain.ID = ++lastID;
    for (auto& [number, entity] : version.Entities)
        entity.ID = ++lastID;
    for (auto& [number, area] : version.TextAreas)
        area.ID = ++lastID;
    for (auto& [number, relation] : version.Relations)
        relation.ID = ++lastID;

    static constexpr const char* HeaderTags[] = {"PROJECTNAME", "PROJECTDESCRIPTION", "PROJECTAUTHOR",
                                                 "PROJECTCOPYRIGHT", "MODIFIED"};
    std::string properties;
    for (size_t k = 0; k < std::size(HeaderTags); ++k)
        AppendElement(properties, HeaderTags[k], k < version.Header.size() ? version.Header[k] : std::string());
    std::string r = WrapSection("PROJECTPROPERTIES", properties);
    AppendElement(r, "VERSIONNUMBER", "");
    AppendElement(r, "VERSIONDATE", "");
    AppendElement(r, "VERSIONCOMMENTS", "");
    AppendElement(r, "FILEFORMATVERSION", "3.0");
    std::string diagram = WriteElement("ID", "0");
    AppendElement(diagram, "NAME", "Main Diagram");
    AppendElement(diagram, "ISMAINDIAGRAM", "1");
    AppendElement(diagram, "W", "13600");
    AppendElement(diagram, "H", "11600");
    r += WrapSection("DIAGRAMS", WrapSection("DIAGRAM", diagram));

    std::string dictionary = WriteElement("DBID", dbid_);
    AppendElement(dictionary, "LASTID", IntToStr(lastID));
    std::string domains, entities, relations, areas;
    for (const auto& [number, domain] : version.Domains)
        domains += Domain(domain);
    for (const auto& [number, entity] : version.Entities)
        entities += Entity(version, entity);
    for (auto& [number, relation] : version.Relations)
        relations += Relation(version, relation);
    for (const auto& [number, area] : version.TextAreas)
        areas += TextArea(area);
    dictionary += WrapSection("DOMAINS", domains) + WrapSection("ENTITIES", entities) +
                  WrapSection("RELATIONSHIPS", relations) + WrapSection("TEXTAREAS", areas);
    r += WrapSection("DATADICT", dictionary);
    return "<VERSION>" + r + "\r\n</VERSION>\r\n";
}

// Adds a record to the version being read.
void AddRecord(TOldVersion& version, const TRecord& record) {
    auto unique = [&record](bool fresh, const char* kind) {
        if (!fresh) Fail(record.Line + 1, std::string("the ") + kind + " number \"" + Trim(record.Field(0)) + "\" is used twice.");
    };
    auto entityOf = [&](int32_t number) -> TOldEntity& {
        const auto found = version.Entities.find(number);
        if (found == version.Entities.end())
            Fail(record.Line + 1, "unknown entity number \"" + IntToStr(number) + "\".");
        return found->second;
    };
    const std::string& marker = record.Marker;
    if (marker == "***DOMAIN***") {
        TOldDomain domain{record.Text(1), record.Field(2), record.Text(3), {}, 0};
        unique(version.Domains.emplace(record.Number(0), std::move(domain)).second, "domain");
    } else if (marker == "***DOMAINITEM***") {
        const auto found = version.Domains.find(record.Number(0));
        if (found == version.Domains.end()) Fail(record.Line + 1, "unknown domain number \"" + Trim(record.Field(0)) + "\".");
        found->second.Items.push_back(record.Text(1));
    } else if (marker == "***ENTITY***") {
        TOldEntity entity;
        entity.Name = record.Text(1);
        entity.Left = record.Number(2, true);
        entity.Top = record.Number(3, true);
        entity.Comment = record.Text(4);
        unique(version.Entities.emplace(record.Number(0), std::move(entity)).second, "entity");
    } else if (marker == "***ATTRIBUTE***") {
        TOldEntity& entity = entityOf(record.Number(0));
        TOldAttribute a;
        a.Number = record.Number(1);
        if (entity.Attribute(a.Number)) Fail(record.Line + 2, "the attribute number \"" + IntToStr(a.Number) + "\" is used twice.");
        a.Name = record.Text(2);
        a.Type = record.Field(3);
        a.Domain = record.Number(4, true);
        if (a.Domain != 0 && !version.Domains.count(a.Domain))
            Fail(record.Line + 5, "unknown domain number \"" + IntToStr(a.Domain) + "\".");
        a.Flags = record.Field(5);
        a.Default = record.Text(6);
        a.Check = record.Text(7);
        a.Comment = record.Text(8);
        entity.Attributes.push_back(std::move(a));
    } else if (marker == "***INDEX***") {
        TOldEntity& entity = entityOf(record.Number(0));
        TOldIndex index;
        index.Name = record.Text(1);
        index.Unique = SameText(Trim(record.Field(2)), "UNIQUE");
        index.Line = record.Line;
        for (const std::string& column : SplitString(record.Field(3), ',')) {
            int32_t number = 0;
            if (!TryStrToInt(column, number)) Fail(record.Line + 4, "\"" + Trim(column) + "\" is not a number.");
            index.Columns.push_back(number);
        }
        entity.Indexes.push_back(std::move(index));
    } else if (marker == "***TEXTAREA***") {
        TOldTextArea area;
        area.Number = record.Number(0);
        area.Left = record.Number(1, true);
        area.Top = record.Number(2, true);
        area.Width = record.Number(3, true);
        area.Height = record.Number(4, true);
        area.Text = record.Text(5);
        unique(version.TextAreas.emplace(area.Number, std::move(area)).second, "text area");
    } else if (marker == "***RELATION***") {
        TOldRelation relation;
        relation.Name = record.Text(1);
        relation.First = record.Number(2);
        relation.Second = record.Number(3);
        relation.Cardinality = record.Field(4);
        relation.Identifying = Trim(record.Field(5)) == "1";
        relation.Line = record.Line;
        for (const std::string& pair : SplitString(Trim(record.Field(6)), ',')) {
            const size_t eq = pair.find('=');
            int32_t a = 0, b = 0;
            if (eq == std::string::npos || !TryStrToInt(pair.substr(0, eq), a) || !TryStrToInt(pair.substr(eq + 1), b))
                Fail(record.Line + 7, "\"" + Trim(pair) + "\" is not a pair of attribute numbers.");
            relation.Pairs.emplace_back(a, b);
        }
        unique(version.Relations.emplace(record.Number(0), std::move(relation)).second, "relation");
    }
}

} // namespace

TVELOldFormat::TVELOldFormat(std::string dbid, std::string definitionsFolder)
    : dbid_(std::move(dbid)), definitionsFolder_(std::move(definitionsFolder)) {}

std::string TVELOldFormat::Convert(std::string_view text) {
    const std::string folder = definitionsFolder_.empty() ? TargetDatabases().DefinitionsFolder : definitionsFolder_;
    const std::string typeFile = (std::filesystem::path(folder) / (dbid_ + ".typ")).string();
    std::error_code ec;
    TSLDatatypes types;
    if (!std::filesystem::is_regular_file(typeFile, ec) || !types.LoadFromFile(typeFile))
        throw EVELError("File conversion error. Unable to find data type file \"" + typeFile + "\".");
    if (OnStatus) OnStatus("Converting Ardvin project file to the new file format. Please wait.");

    TMarkupWriter writer(dbid_, types, *this);
    std::string r;
    std::optional<TOldVersion> version;
    for (const TRecord& record : ReadRecords(text)) {
        if (record.Marker == "***VERSION***") {
            if (version) r += writer.Version(*version);
            version.emplace();
            for (size_t k = 0; k < 5; ++k)
                version->Header.push_back(record.Text(k));
        } else if (record.Marker == "***ENDOFVERSION***") {
            if (version) r += writer.Version(*version);
            version.reset();
        } else {
            if (!version) Fail(record.Line, "the section " + record.Marker + " stands outside a version.");
            AddRecord(*version, record);
        }
    }
    if (version) r += writer.Version(*version);
    return r;
}

} // namespace ardvin
