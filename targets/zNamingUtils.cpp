#include "zNamingUtils.h"

#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin {

namespace {

// The object whose template is being expanded. Templates refer to the object itself and to the
// objects it belongs to, never to the objects that belong to it, so only a template naming
// its own object after itself could recurse: that object gives its stored name.
class TExpansion {
public:
    explicit TExpansion(const TVELNamedObject& named) : named_(named) {}
    bool Resolve(std::string_view key, std::string& value) const;

private:
    std::string PlainName(const TVELNamedObject& object) const {
        return &object == &named_ && object.NameFromTemplate ? object.Name : object.GetName();
    }
    std::string NameFormValue(const TVELDatabaseObject& object, int form) const;
    bool NameForm(const TVELDatabaseObject& object, std::string_view word, std::string_view key,
                  std::string& value) const;
    bool TableValue(const TVELEntity* table, std::string_view key, bool stripQuotes, std::string& value) const;
    bool ColumnValue(const TVELAttribute& column, std::string_view key, std::string& value) const;
    bool IndexValue(const TVELIndex& index, std::string_view key, std::string& value) const;
    bool RelationshipValue(const TVELDatabaseObject* relationship, const TVELForeignKeySource& source,
                           std::string_view key, std::string& value) const;

    const TVELNamedObject& named_;
};

// The quote characters every target strips from names.
std::string StripQuoteChars(const TVELDatabaseObject& object, std::string_view name) {
    if (const TVELDatabaseSettings* settings = object.GetDatabaseSettings()) return settings->StripQuotes(name);
    std::string r;
    for (char c : name)
        if (c != '[' && c != ']' && c != '"' && c != '\'' && c != '`') r += c;
    return r;
}

std::string QuoteName(const TVELDatabaseObject& object, std::string_view name) {
    const TVELDatabaseSettings* settings = object.GetDatabaseSettings();
    return settings ? settings->QuoteDDL(name) : std::string(name);
}

// The four name forms of an object are asked for as quotedqualified<word>name,
// nonquotedqualified<word>name, quotedsimple<word>name and nonquotedsimple<word>name, where the
// word names the kind ("table", "rel" ...). The form's number, or -1 when the key is none.
int NameFormOf(std::string_view word, std::string_view key) {
    static constexpr std::string_view Forms[] = {"quotedqualified", "nonquotedqualified", "quotedsimple",
                                                 "nonquotedsimple"};
    const size_t suffix = word.size() + 4;  // word + "name"
    for (size_t form = 0; form < std::size(Forms); ++form)
        if (key.size() == Forms[form].size() + suffix && StartsText(Forms[form], key) &&
            SameText(key.substr(Forms[form].size(), word.size()), word) && SameText(key.substr(key.size() - 4), "name"))
            return static_cast<int>(form);
    return -1;
}

// Forms 0 and 2 are quoted with the target's delimiters, 1 and 3 have quote characters
// removed; 0 and 1 carry the schema when there is one.
std::string TExpansion::NameFormValue(const TVELDatabaseObject& object, int form) const {
    const std::string name = PlainName(object);
    const std::string raw = form < 2 && !object.SchemaName.empty() ? object.SchemaName + "." + name : name;
    return form % 2 == 0 ? QuoteName(object, raw) : StripQuoteChars(object, raw);
}

bool TExpansion::NameForm(const TVELDatabaseObject& object, std::string_view word, std::string_view key,
                          std::string& value) const {
    const int form = NameFormOf(word, key);
    if (form < 0) return false;
    value = NameFormValue(object, form);
    return true;
}

// The table placeholders of a table (nullptr: all known, all empty); stripQuotes removes quote
// characters from %table% and %tablename%.
bool TExpansion::TableValue(const TVELEntity* table, std::string_view key, bool stripQuotes,
                            std::string& value) const {
    if (SameText(key, "table") || SameText(key, "tablename")) {
        value = table ? PlainName(*table) : std::string();
        if (stripQuotes && table) value = StripQuoteChars(*table, value);
        return true;
    }
    if (SameText(key, "tableabbreviation") || SameText(key, "tableabb")) {
        value = table ? table->Abbreviation : std::string();
        return true;
    }
    const int form = NameFormOf("table", key);
    if (form < 0) return false;
    value = table ? NameFormValue(*table, form) : std::string();
    return true;
}

std::string Counter(int position) { return IntToStr(position + 1); }

bool TExpansion::ColumnValue(const TVELAttribute& column, std::string_view key, std::string& value) const {
    if (SameText(key, "column") || SameText(key, "columnname")) {
        value = PlainName(column);
        return true;
    }
    const TVELEntity* table = column.GetEntity();
    if (SameText(key, "counter")) {
        value = table ? Counter(table->Attributes.IndexOf(&column)) : std::string("1");
        return true;
    }
    return TableValue(table, key, false, value);
}

bool TExpansion::IndexValue(const TVELIndex& index, std::string_view key, std::string& value) const {
    const TVELEntity* table = index.GetEntity();
    if (SameText(key, "counter")) {
        value = table ? Counter(table->Indexes.IndexOf(&index)) : std::string("1");
        return true;
    }
    if (SameText(key, "column")) {
        const TVELAttribute* first = index.Columns.Count() > 0 ? index.Column(0)->GetAttribute() : nullptr;
        value = first ? PlainName(*first) : std::string();
        return true;
    }
    return TableValue(table, key, true, value);
}

// The relationship placeholders, for the relationship itself (owner) or its foreign key.
bool TExpansion::RelationshipValue(const TVELDatabaseObject* relationship, const TVELForeignKeySource& source,
                                   std::string_view key, std::string& value) const {
    if (relationship) {
        if (SameText(key, "relname") || SameText(key, "relationshipname")) {
            value = StripQuoteChars(*relationship, PlainName(*relationship));
            return true;
        }
        if (NameForm(*relationship, "rel", key, value)) return true;
    }
    if (SameText(key, "counter")) {
        const TVELEntity* child = source.ForeignKeyChild();
        const TVELDataDictionary* dictionary = child ? child->RootDictionary() : nullptr;
        int position = 0;
        if (dictionary) {
            std::vector<const TVELForeignKeySource*> sources;
            dictionary->ForeignKeySourcesOf(child, sources);
            for (size_t i = 0; i < sources.size(); ++i)
                if (sources[i] == &source) position = static_cast<int>(i);
        }
        value = Counter(position);
        return true;
    }
    // %parent...% and %child...%: the table placeholders of that end, and its first column.
    for (const bool parentSide : {true, false}) {
        const std::string_view prefix = parentSide ? "parent" : "child";
        if (key.size() <= prefix.size() || !StartsText(prefix, key)) continue;
        const std::string_view rest = key.substr(prefix.size());
        const TVELEntity* table = parentSide ? source.ForeignKeyParent() : source.ForeignKeyChild();
        if (SameText(rest, "column")) {
            std::vector<std::pair<int32_t, int32_t>> pairs;
            source.ForeignKeyPairs(pairs);
            const TVELAttribute* first = nullptr;
            if (!pairs.empty() && table)
                first = table->FindAttribute(parentSide ? pairs.front().first : pairs.front().second);
            value = first ? PlainName(*first) : std::string();
            return true;
        }
        if (SameText(rest, "abb")) return TableValue(table, "tableabb", false, value);
        if (SameText(rest, "table") || SameText(rest, "tableabb")) return false;
        return TableValue(table, rest, false, value);
    }
    return false;
}

bool TExpansion::Resolve(std::string_view key, std::string& value) const {
    const TVELNamedObject& object = named_;
    if (SameText(key, "parent") || SameText(key, "child")) {
        const TVELForeignKeySource* source = dynamic_cast<const TVELForeignKeySource*>(&object);
        if (!source)
            if (const auto* constraint = dynamic_cast<const TVELConstraint*>(&object))
                source = constraint->ForeignKeySource();
        if (!source) return false;
        const TVELEntity* table = SameText(key, "parent") ? source->ForeignKeyParent() : source->ForeignKeyChild();
        value = table ? PlainName(*table) : std::string();
        return true;
    }
    if (const auto* source = dynamic_cast<const TVELForeignKeySource*>(&object))
        return RelationshipValue(dynamic_cast<const TVELDatabaseObject*>(&object), *source, key, value);
    if (const auto* constraint = dynamic_cast<const TVELConstraint*>(&object)) {
        if (const TVELForeignKeySource* source = constraint->ForeignKeySource())
            return RelationshipValue(dynamic_cast<const TVELDatabaseObject*>(constraint->Owner), *source, key, value);
        if (const auto* column = dynamic_cast<const TVELAttribute*>(constraint->Owner))
            return ColumnValue(*column, key, value);
        if (const auto* table = dynamic_cast<const TVELEntity*>(constraint->Owner)) {
            if (SameText(key, "counter")) {
                const int position = table->Constraints.IndexOf(constraint);
                value = Counter(position < 0 ? 0 : position);
                return true;
            }
            return TableValue(table, key, false, value);
        }
        return false;  // a domain's constraint: no column to name it after
    }
    if (const auto* column = dynamic_cast<const TVELAttribute*>(&object)) return ColumnValue(*column, key, value);
    if (const auto* index = dynamic_cast<const TVELIndex*>(&object)) return IndexValue(*index, key, value);
    if (const auto* table = dynamic_cast<const TVELEntity*>(&object)) return TableValue(table, key, false, value);
    if (const auto* trigger = dynamic_cast<const TVELTrigger*>(&object)) {
        if (SameText(key, "trigger") || SameText(key, "triggername")) {
            value = PlainName(*trigger);
            return true;
        }
        return NameForm(*trigger, "trigger", key, value) || TableValue(trigger->GetEntity(), key, false, value);
    }
    if (const auto* domain = dynamic_cast<const TVELDomain*>(&object)) {
        if (SameText(key, "domainname")) {
            value = PlainName(*domain);
            return true;
        }
        return NameForm(*domain, "domain", key, value);
    }
    if (const auto* view = dynamic_cast<const TVELView*>(&object)) {
        if (SameText(key, "view") || SameText(key, "viewname")) {
            value = PlainName(*view);
            return true;
        }
        return NameForm(*view, "view", key, value);
    }
    if (const auto* sequence = dynamic_cast<const TVELSequence*>(&object)) {
        if (SameText(key, "seqname")) {
            value = PlainName(*sequence);
            return true;
        }
        return NameForm(*sequence, "seq", key, value);
    }
    return false;
}

}  // namespace

std::string ExpandNameTemplate(std::string_view tmpl, const TVELNamedObject& object) {
    size_t pos = tmpl.find('%');
    if (pos == std::string_view::npos) return std::string(tmpl);
    // One pass from left to right: a placeholder's value is never searched for placeholders.
    const TExpansion expansion(object);
    std::string r(tmpl.substr(0, pos));
    std::string value;
    while (pos < tmpl.size()) {
        const size_t close = tmpl.find('%', pos + 1);
        if (close == std::string_view::npos) break;
        value.clear();
        if (expansion.Resolve(tmpl.substr(pos + 1, close - pos - 1), value)) {
            r += value;
            pos = close + 1;
        } else {
            // Unknown: keep the "%" and its text; the closing "%" may open the next placeholder.
            r.append(tmpl.substr(pos, close - pos));
            pos = close;
        }
        const size_t next = tmpl.find('%', pos);
        if (next != pos) {
            r.append(tmpl.substr(pos, next == std::string_view::npos ? std::string_view::npos : next - pos));
            if (next == std::string_view::npos) return r;
            pos = next;
        }
    }
    r.append(tmpl.substr(pos));
    return r;
}

// ---- applying the project's default templates ----------------------------------------------

namespace {

struct KindInfo {
    const char* Key;
    const char* Text;
};
constexpr KindInfo Kinds[NameTemplateKindCount] = {
    {"PKCONNAMETEMPLATE", "primary key constraint name"},
    {"FKCONNAMETEMPLATE", "foreign key constraint name"},
    {"NOTNULLCONNAMETEMPLATE", "not null constraint name"},
    {"DEFAULTCONNAMETEMPLATE", "default constraint name"},
    {"TUCONNAMETEMPLATE", "unique constraint name"},
    {"TCCONNAMETEMPLATE", "check table constraint name"},
    {"CCONNAMETEMPLATE", "check column constraint name"},
    {"RELNAMETEMPLATE", "relationship name"},
    {"PKINDEXNAMETEMPLATE", "primary key index name"},
    {"FKINDEXNAMETEMPLATE", "foreign key index name"},
    {"AKINDEXNAMETEMPLATE", "alternate key index name"},
};

const KindInfo& Info(TNameTemplateKind kind) { return Kinds[static_cast<int>(kind)]; }

}  // namespace

std::string NameTemplateKey(TNameTemplateKind kind) { return Info(kind).Key; }

std::string NameTemplateKindText(TNameTemplateKind kind) { return Info(kind).Text; }

std::string NameTemplateScopeText(TNameTemplateScope scope) {
    return scope == TNameTemplateScope::All ? "All" : "Empty names (name = '')";
}

std::string ApplyNameTemplatesExplanation(TNameTemplateKind kind, std::string_view tmpl) {
    const std::string text = NameTemplateKindText(kind);
    return Format("Rename %ss to the name defined by the default %s template (%s).", text.c_str(), text.c_str(),
                  std::string(tmpl).c_str()) +
           "\r\n\r\nNote: You can define the default name templates in the project options dialog.";
}

std::string ApplyNameTemplatesUndoCaption(TNameTemplateKind kind) {
    return Format("%s names changes.", NameTemplateKindText(kind).c_str());
}

std::string ApplyNameTemplatesLogText(TNameTemplateKind kind) {
    return "apply name template: " + NameTemplateKindText(kind);
}

void NameTemplateObjects(const TVELDataDictionary& dictionary, TNameTemplateKind kind,
                         std::vector<TVELNamedObject*>& out) {
    out.clear();
    using K = TNameTemplateKind;
    if (kind == K::Relationship || kind == K::ForeignKeyConstraint) {
        std::vector<TVELRelationship*> relationships;
        dictionary.CollectOfClass(relationships);
        for (TVELRelationship* r : relationships)
            out.push_back(kind == K::Relationship ? static_cast<TVELNamedObject*>(r) : r->FKConstraint.get());
        return;
    }
    std::vector<TVELEntity*> tables;
    dictionary.CollectOfClass(tables);
    for (TVELEntity* table : tables) {
        switch (kind) {
        case K::PrimaryKeyConstraint: out.push_back(table->PrimaryKey.get()); break;
        case K::UniqueConstraint:
        case K::CheckTableConstraint:
            for (int i = 0; i < table->Constraints.Count(); ++i) {
                TVELConstraint* c = table->ConstraintAt(i);
                if (c->ConstraintType == (kind == K::UniqueConstraint ? ctUnique : ctCheck)) out.push_back(c);
            }
            break;
        case K::NotNullConstraint:
        case K::DefaultConstraint:
        case K::CheckColumnConstraint: {
            const int32_t id = kind == K::NotNullConstraint ? 1 : kind == K::DefaultConstraint ? 2 : 3;
            for (int i = 0; i < table->Attributes.Count(); ++i)
                if (TVELConstraint* c = table->AttributeAt(i)->ExistingColumnConstraint(id)) out.push_back(c);
            break;
        }
        case K::PrimaryKeyIndex:
        case K::ForeignKeyIndex:
        case K::AlternateKeyIndex: {
            const uint8_t indexKind = kind == K::PrimaryKeyIndex   ? ikPrimaryKey
                                      : kind == K::ForeignKeyIndex ? ikForeignKey
                                                                   : ikAlternateKey;
            for (int i = 0; i < table->Indexes.Count(); ++i)
                if (table->IndexAt(i)->IndexKind == indexKind) out.push_back(table->IndexAt(i));
            break;
        }
        default: break;
        }
    }
}

bool NameTemplateScopeApplies(const TVELNamedObject& object, TNameTemplateScope scope) {
    if (scope == TNameTemplateScope::All) return true;
    const std::string name = object.NameFromTemplate ? object.GetTemplateName() : object.Name;
    return Trim(name).empty();
}

TApplyNameTemplatesResult ApplyNameTemplates(TVELDataDictionary& dictionary, TNameTemplateKind kind,
                                             TNameTemplateScope scope, std::string_view tmpl) {
    TApplyNameTemplatesResult result;
    result.UndoCaption = ApplyNameTemplatesUndoCaption(kind);
    result.LogText = ApplyNameTemplatesLogText(kind);
    std::vector<TVELNamedObject*> objects;
    NameTemplateObjects(dictionary, kind, objects);
    for (TVELNamedObject* object : objects) {
        if (!NameTemplateScopeApplies(*object, scope)) continue;
        const bool wasTemplate = object->NameFromTemplate;
        object->NameFromTemplate = true;
        if (object->NameTemplate != Trim(tmpl)) {
            object->SetTemplate(tmpl);  // tells the change
        } else if (!wasTemplate) {
            object->DoNameChanged();
            object->DoChanged();
        }
        result.Renamed.push_back(object);
    }
    return result;
}

TApplyNameTemplatesResult ApplyNameTemplates(TVELDataDictionary& dictionary, TNameTemplateKind kind,
                                             TNameTemplateScope scope, const TVELSettingsList& templates) {
    return ApplyNameTemplates(dictionary, kind, scope, templates.GetValue(NameTemplateKey(kind)));
}

}  // namespace ardvin
