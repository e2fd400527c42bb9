#include "zDDComparer.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <typeinfo>
#include <unordered_map>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDDLUtils.h"
#include "zDataDictionary.h"
#include "zDatatype.h"
#include "zDiagramOnly.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin {

// ---- statuses and items --------------------------------------------------------------------

std::string DiffStatusText(int status) {
    switch (status) {
    case dsLeftOnly: return "Left only";
    case dsUnchanged: return "Unchanged";
    case dsChanged: return "Changed";
    case dsRightOnly: return "Right only";
    default: return std::string();
    }
}

uint8_t DiffStatusFromText(std::string_view text) {
    for (uint8_t s = dsLeftOnly; s <= dsRightOnly; ++s)
        if (SameText(text, DiffStatusText(s))) return s;
    return dsUnset;
}

std::string TVELDiffDetailsItem::SaveToMarkup() const {
    std::string r;
    AppendElement(r, "RIGHTSTRING", RightString);
    AppendElement(r, "LEFTSTRING", LeftString);
    AppendElement(r, "STATUS", DiffStatusText(Status));
    return WrapSection("DIFFITEM", r);
}

void TVELDiffDetailsItem::LoadFromMarkup(std::string_view text) {
    RightString = ReadElementText("RIGHTSTRING", text);
    LeftString = ReadElementText("LEFTSTRING", text);
    Status = DiffStatusFromText(ReadElementText("STATUS", text));
}

std::string TVELDifference::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "Status")) return DiffStatusText(Status);
    if (SameText(key, "LeftName")) return LeftName;
    if (SameText(key, "RightName")) return RightName;
    if (SameText(key, "Description")) return Description;
    if (SameText(key, "ObjectClassName")) return ObjectClassName;
    return TVELNamedObject::GetPropertyValue(key);
}

void TVELDifference::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "Status")) {
        if (const uint8_t s = DiffStatusFromText(value); s != dsUnset) Status = s;
    } else if (SameText(key, "LeftName")) {
        LeftName = value;
    } else if (SameText(key, "RightName")) {
        RightName = value;
    } else if (SameText(key, "Description")) {
        Description = value;
    } else if (SameText(key, "ObjectClassName")) {
        ObjectClassName = value;
    } else if (SameText(key, "Selected")) {
        if (Status != dsUnchanged) TVELNamedObject::SetPropertyValue(key, value);
    } else {
        TVELNamedObject::SetPropertyValue(key, value);
    }
}

void TVELDifference::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELNamedObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELDifference*>(&source);
    if (!s || s == this) return;
    LeftString = s->LeftString;
    RightString = s->RightString;
    Details = s->Details;
    LeftName = s->LeftName;
    RightName = s->RightName;
    ObjectID = s->ObjectID;
    ObjectType = s->ObjectType;
    ObjectClassName = s->ObjectClassName;
    Status = s->Status;
    Description = s->Description;
}

TVELDifference* TVELDifferences::AddDifference() {
    auto d = std::make_unique<TVELDifference>(this);
    d->SetID(NewID());
    return static_cast<TVELDifference*>(Add(std::move(d)));
}

namespace {

// Counts the differences by status: LeftOnly, Unchanged, Changed, RightOnly.
void CountByStatus(const TVELDifferences& list, bool selectedOnly, int& leftOnly, int& unchanged, int& changed,
                   int& rightOnly) {
    int counts[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i < list.Count(); ++i)
        if (const TVELDifference* d = list.Difference(i); (!selectedOnly || d->Selected) && d->Status <= dsRightOnly)
            ++counts[d->Status];
    leftOnly = counts[dsLeftOnly];
    unchanged = counts[dsUnchanged];
    changed = counts[dsChanged];
    rightOnly = counts[dsRightOnly];
}

}  // namespace

void TVELDifferences::CountAll() { CountByStatus(*this, false, LeftOnly, Unchanged, Changed, RightOnly); }

void TVELDifferences::CountSelected() {
    CountByStatus(*this, true, SelectedLeftOnly, SelectedUnchanged, SelectedChanged, SelectedRightOnly);
}

void TVELDifferences::SelectChanges() {
    for (int i = 0; i < Count(); ++i) Difference(i)->Selected = Difference(i)->Status != dsUnchanged;
}

// ---- line and word differences -------------------------------------------------------------

uint32_t LineCRC32(std::string_view text) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes lengths as uInt; long lines go in pieces.
    while (!text.empty()) {
        const size_t n = std::min<size_t>(text.size(), 1u << 30);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(n));
        text.remove_prefix(n);
    }
    return static_cast<uint32_t>(crc);
}

namespace {

// A sub-problem of the linear-space search: the elements [Left, Right) of the first sequence
// against [Top, Bottom) of the second.
struct TBox {
    int Left, Top, Right, Bottom;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
};

// The middle snake of a box: from (X1, Y1) to (X2, Y2), one non-diagonal step at its start
// (found by the forward search) or at its end (backward search), the rest diagonal.
struct TSnake {
    int X1, Y1, X2, Y2;
    bool Forward;
};

bool MiddleSnake(const TBox& box, const std::function<bool(int, int)>& equal, std::vector<int>& vf,
                 std::vector<int>& vb, TSnake& snake) {
    const int size = box.Width() + box.Height();
    if (size == 0) return false;
    const int max = (size + 1) / 2;
    const int delta = box.Width() - box.Height();
    const int off = max + 1;
    vf.assign(2 * max + 3, 0);
    vb.assign(2 * max + 3, 0);
    vf[1 + off] = box.Left;
    vb[1 + off] = box.Bottom;
    const bool odd = (delta & 1) != 0;
    for (int d = 0; d <= max; ++d) {
        for (int k = d; k >= -d; k -= 2) {
            const int c = k - delta;
            int x, px;
            if (k == -d || (k != d && vf[k - 1 + off] < vf[k + 1 + off])) {
                px = x = vf[k + 1 + off];
            } else {
                px = vf[k - 1 + off];
                x = px + 1;
            }
            int y = box.Top + (x - box.Left) - k;
            const int py = (d == 0 || x != px) ? y : y - 1;
            while (x < box.Right && y < box.Bottom && equal(x, y)) ++x, ++y;
            vf[k + off] = x;
            if (odd && c >= -(d - 1) && c <= d - 1 && y >= vb[c + off]) {
                snake = {px, py, x, y, true};
                return true;
            }
        }
        for (int c = d; c >= -d; c -= 2) {
            const int k = c + delta;
            int y, py;
            if (c == -d || (c != d && vb[c - 1 + off] > vb[c + 1 + off])) {
                py = y = vb[c + 1 + off];
            } else {
                py = vb[c - 1 + off];
                y = py - 1;
            }
            int x = box.Left + (y - box.Top) + k;
            const int px = (d == 0 || y != py) ? x : x + 1;
            while (x > box.Left && y > box.Top && equal(x - 1, y - 1)) --x, --y;
            vb[c + off] = y;
            if (!odd && k >= -d && k <= d && x <= vf[k + off]) {
                snake = {x, y, px, py, false};
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::vector<std::pair<int, int>> MyersMatches(int n, int m, const std::function<bool(int, int)>& equal) {
    std::vector<std::pair<int, int>> matches;
    // Common ends need no search.
    int head = 0;
    while (head < n && head < m && equal(head, head)) matches.emplace_back(head, head), ++head;
    int tail = 0;
    while (tail < n - head && tail < m - head && equal(n - 1 - tail, m - 1 - tail)) ++tail;
    std::vector<TBox> work{{head, head, n - tail, m - tail}};
    std::vector<int> vf, vb;
    while (!work.empty()) {
        const TBox box = work.back();
        work.pop_back();
        if (box.Width() == 0 || box.Height() == 0) continue;
        TSnake s;
        if (!MiddleSnake(box, equal, vf, vb, s)) continue;
        const int diagonal = std::min(s.X2 - s.X1, s.Y2 - s.Y1);
        const int x0 = s.Forward ? s.X2 - diagonal : s.X1;
        const int y0 = s.Forward ? s.Y2 - diagonal : s.Y1;
        for (int i = 0; i < diagonal; ++i) matches.emplace_back(x0 + i, y0 + i);
        work.push_back({box.Left, box.Top, s.X1, s.Y1});
        work.push_back({s.X2, s.Y2, box.Right, box.Bottom});
    }
    for (int i = 0; i < tail; ++i) matches.emplace_back(n - tail + i, m - tail + i);
    std::sort(matches.begin(), matches.end());
    return matches;
}

std::vector<TVELDiffChange> DiffChanges(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    const auto matches = MyersMatches(static_cast<int>(a.size()), static_cast<int>(b.size()),
                                      [&](int i, int j) { return a[i] == b[j]; });
    std::vector<TVELDiffChange> changes;
    int i = 0, j = 0;
    auto gap = [&](int x, int y) {
        for (; i < x && j < y; ++i, ++j) changes.push_back({dkModify, i, j});
        for (; i < x; ++i) changes.push_back({dkDelete, i, -1});
        for (; j < y; ++j) changes.push_back({dkAdd, -1, j});
    };
    for (const auto& [x, y] : matches) {
        gap(x, y);
        i = x + 1;
        j = y + 1;
    }
    gap(static_cast<int>(a.size()), static_cast<int>(b.size()));
    return changes;
}

void MarkWordDifferences(std::string& left, std::string& right) {
    std::vector<std::string> l = SplitString(left, ' ');
    std::vector<std::string> r = SplitString(right, ' ');
    const auto matches =
        MyersMatches(static_cast<int>(l.size()), static_cast<int>(r.size()), [&](int i, int j) { return l[i] == r[j]; });
    std::vector<bool> lc(l.size(), false), rc(r.size(), false);
    for (const auto& [i, j] : matches) lc[i] = rc[j] = true;
    auto mark = [](std::vector<std::string>& words, const std::vector<bool>& common) {
        for (size_t i = 0; i < words.size(); ++i)
            if (!common[i] && !words[i].empty()) words[i] = "<BOLD>" + words[i] + "</BOLD>";
        return JoinStrings(words, " ");
    };
    left = mark(l, lc);
    right = mark(r, rc);
}

// ---- descriptions --------------------------------------------------------------------------

namespace {

std::string Quoted(const char* label, const std::string& value) {
    return value.empty() ? std::string() : std::string(label) + value + "\"";
}

// The comment, note and to-do parts that end an element line.
std::string Trailer(const TVELDatabaseObject& o) {
    return Quoted(" COMMENT \"", o.Comment) + Quoted(" NOTE \"", o.Note) + Quoted(" TODO \"", o.ToDo);
}

std::string Named(const TVELConstraint* c) {
    return c && !c->Name.empty() ? " CONSTRAINT " + c->Name : std::string();
}

std::string AttributeLine(const TVELAttribute& a) {
    std::string line = a.GetName() + " " + (a.GetDomain() ? a.GetScriptDataType() : DataTypeText(*a.DataType));
    // Collation and column options (ON UPDATE, generated expressions) change what the column
    // does as much as its type does.
    if (!a.Collate.empty()) line += " COLLATE " + a.Collate;
    if (!a.AttributeOptions.empty()) line += " " + a.AttributeOptions;
    if (const std::string& def = a.DefaultValue(); !def.empty())
        line += Named(a.ExistingColumnConstraint(2)) + " DEFAULT " + def;
    if (a.IsNotNull()) line += Named(a.ExistingColumnConstraint(1)) + " NOT NULL";
    if (const std::string& check = a.CheckValue(); !check.empty())
        line += Named(a.ExistingColumnConstraint(3)) + " CHECK (" + check + ")";
    return line + Trailer(a);
}

void EntityDescription(const TVELEntity& e, std::vector<std::string>& lines) {
    auto add = [&](const char* label, const std::string& value) {
        if (!value.empty()) lines.push_back(label + value);
    };
    lines.push_back("Name: " + e.GetNonQuotedQualifiedName());
    add("Abbreviation: ", e.Abbreviation);
    add("Note: ", e.Note);
    add("Comment: ", e.Comment);
    add("To do: ", e.ToDo);
    lines.push_back("Attributes:");
    for (int i = 0; i < e.Attributes.Count(); ++i) lines.push_back(AttributeLine(*e.AttributeAt(i)));
    lines.push_back("Primary key constraint:");
    if (!e.PrimaryKey->AttributeIDs.Empty())
        lines.push_back("CONSTRAINT " + e.PrimaryKey->Name + " (" + e.PrimaryKey->AttributeIDs.NamesText() + ")" +
                        Trailer(*e.PrimaryKey));
    lines.push_back("Table constraints:");
    for (int i = 0; i < e.Constraints.Count(); ++i) {
        const TVELConstraint* c = e.ConstraintAt(i);
        std::string line = "CONSTRAINT " + c->Name + " " + UpperCase(c->TypeCaption());
        if (!c->AttributeIDs.Empty()) line += " (" + c->AttributeIDs.NamesText() + ")";
        if (!c->Value.empty()) line += " (" + c->Value + ")";
        lines.push_back(line + Trailer(*c));
    }
    lines.push_back("Foreign key constraints (relationships):");
    if (const TVELDataDictionary* d = e.RootDictionary()) {
        std::vector<const TVELForeignKeySource*> sources;
        d->ForeignKeySourcesOf(&e, sources);
        std::vector<const TVELRelationship*> relationships;
        for (const TVELForeignKeySource* s : sources)
            if (const auto* r = dynamic_cast<const TVELRelationship*>(s)) relationships.push_back(r);
        std::sort(relationships.begin(), relationships.end(),
                  [](const TVELRelationship* a, const TVELRelationship* b) { return a->ID < b->ID; });
        for (const TVELRelationship* r : relationships) {
            std::vector<TVELAttribute*> child, parent;
            r->ForeignKeyAttributes(child);
            r->KeyAttributes(parent);
            auto names = [](const std::vector<TVELAttribute*>& v) {
                std::vector<std::string> n;
                for (const TVELAttribute* a : v) n.push_back(a->GetName());
                return JoinStrings(n, ", ");
            };
            const TVELEntity* p = r->GetParentEntity();
            lines.push_back("CONSTRAINT " + r->FKConstraint->GetName() + " (" + names(child) + ") REFERENCES " +
                            (p ? p->GetNonQuotedQualifiedName() : std::string()) + " (" + names(parent) + ")" +
                            " RELATIONSHIPNAME " + r->GetName() + " TYPE " + RelationshipTypeCaption(r->RelationshipType) +
                            " CARDINALITY " + CardinalityCaption(r->Cardinality) + " UPDATERULE " +
                            ReferentialActionName(r->UpdateRule) + " DELETERULE " + ReferentialActionName(r->DeleteRule) +
                            " PARENTPHRASE " + r->ParentPhrase + " CHILDPHRASE " + r->ChildPhrase + Trailer(*r));
        }
    }
    lines.push_back("Indexes:");
    for (int i = 0; i < e.Indexes.Count(); ++i) {
        const TVELIndex* x = e.IndexAt(i);
        std::vector<std::string> columns;
        for (int c = 0; c < x->Columns.Count(); ++c) {
            const TVELIndexColumn* col = x->Column(c);
            columns.push_back(col->SortOption.empty() ? col->ColumnText() : col->ColumnText() + " " + col->SortOption);
        }
        lines.push_back("INDEX " + x->Name + " (" + JoinStrings(columns, ", ") + ")" + " ORDER " + x->IndexSortOption +
                        " CASE " + x->CaseProp + " COMPRESSION " + x->Compression + " CLUSTERING " + x->Clustering +
                        " OPTIONS " + x->IndexOptions + Trailer(*x));
    }
    lines.push_back("Triggers:");
    for (int i = 0; i < e.Triggers.Count(); ++i) {
        const auto* t = static_cast<const TVELTrigger*>(e.TriggerAt(i));
        lines.push_back("NAME " + t->Name + " CODE " + t->Code + Trailer(*t));
    }
    lines.push_back("Misc. table properties:");
    lines.push_back("Table options: " + e.TableOptions);
    lines.push_back("Begin table script: " + e.BeginTableScript);
    lines.push_back("End table script: " + e.EndTableScript);
}

}  // namespace

void PropertyDescription(const TVELDatabaseObject& object, std::vector<std::string>& lines) {
    auto common = [&](const TVELDatabaseObject& o) {
        lines.push_back("Note: " + o.Note);
        lines.push_back("Comment: " + o.Comment);
        lines.push_back("To do: " + o.ToDo);
    };
    if (const auto* e = dynamic_cast<const TVELEntity*>(&object)) {
        EntityDescription(*e, lines);
    } else if (const auto* d = dynamic_cast<const TVELDomain*>(&object)) {
        lines.push_back("Name: " + d->GetNonQuotedQualifiedName());
        lines.push_back("Data type: " + DataTypeText(*d->DataType));
        lines.push_back("Check constraint name: " + d->CheckConstraint()->Name);
        lines.push_back("Check constraint: " + d->CheckValue());
        lines.push_back("Default constraint name: " + d->DefaultConstraint()->Name);
        lines.push_back("Default: " + d->DefaultValue());
        common(*d);
    } else if (const auto* s = dynamic_cast<const TVELSequence*>(&object)) {
        lines.push_back("Name: " + s->GetNonQuotedQualifiedName());
        lines.push_back("Increment: " + IntToStr(s->Increment));
        lines.push_back("Seed: " + IntToStr(s->Seed));
        lines.push_back("Min: " + s->Min);
        lines.push_back("Max: " + s->Max);
        lines.push_back("Cycle: " + s->Cycle);
        lines.push_back("Cache: " + s->Cache);
        lines.push_back("CacheCode: " + s->CacheCode);
        lines.push_back("Order: " + s->Order);
        common(*s);
    } else if (const auto* c = dynamic_cast<const TVELCodeObject*>(&object)) {
        lines.push_back("Name: " + c->GetNonQuotedQualifiedName());
        common(*c);
        lines.push_back("Code: " + c->GetCode());
    } else if (const auto* t = dynamic_cast<const TVELTextArea*>(&object)) {
        lines.push_back("Name: " + t->GetName());
        lines.push_back("Text: " + t->Text);
    } else if (const auto* st = dynamic_cast<const TVELStamp*>(&object)) {
        lines.push_back("ProjectName: " + st->ProjectName);
        lines.push_back("Created: " + st->Created);
        lines.push_back("Modified: " + st->Modified);
        lines.push_back("Author: " + st->Author);
        lines.push_back("CopyRight: " + st->Copyright);
        lines.push_back("DBMSName: " + st->DBMSName);
        lines.push_back("Properties: " + JoinStrings(st->Properties, "\r\n"));
    } else {
        lines.push_back("Name: " + object.GetName());
    }
}

class TVELDDComparer::TFillers {
public:
    TVELTemplateFiller& For(const TVELDatabaseSettings& settings) {
        std::unique_ptr<TVELTemplateFiller>& filler = fillers_[&settings];
        if (!filler) filler = std::make_unique<TVELTemplateFiller>(settings);
        return *filler;
    }

private:
    std::unordered_map<const TVELDatabaseSettings*, std::unique_ptr<TVELTemplateFiller>> fillers_;
};

TVELDDComparer::TVELDDComparer() : fillers_(std::make_unique<TFillers>()) {}
TVELDDComparer::~TVELDDComparer() = default;

std::string TVELDDComparer::TemplateScript(const TVELDatabaseObject& object) const {
    const TVELDataDictionary* dictionary = object.RootDictionary();
    const TVELDatabaseSettings* settings = dictionary ? dictionary->GetDatabaseSettings() : nullptr;
    auto description = [&] {
        std::vector<std::string> lines;
        PropertyDescription(object, lines);
        return JoinStrings(lines, "\n");
    };
    if (!settings) return description();
    TVELTemplateFiller& filler = fillers_->For(*settings);
    std::vector<std::string> statements;
    auto add = [&](std::string text) {
        if (!text.empty()) statements.push_back(std::move(text));
    };
    if (const auto* e = dynamic_cast<const TVELEntity*>(&object)) {
        std::vector<const TVELRelationship*> keys;
        std::vector<const TVELForeignKeySource*> sources;
        dictionary->ForeignKeySourcesOf(e, sources);
        for (const TVELForeignKeySource* source : sources)
            if (const auto* r = dynamic_cast<const TVELRelationship*>(source); r && r->GetChildEntity() == e)
                keys.push_back(r);
        std::sort(keys.begin(), keys.end(),
                  [](const TVELRelationship* a, const TVELRelationship* b) { return a->ID < b->ID; });
        // The marks tell which constraints the table statement wrote inline; they are this
        // description's own business, so they start and end cleared.
        auto clearMarks = [&] {
            e->PrimaryKey->GenerationMark = gmNone;
            for (int i = 0; i < e->Attributes.Count(); ++i)
                for (int32_t id = 1; id <= 3; ++id)
                    if (const TVELConstraint* c = e->AttributeAt(i)->ExistingColumnConstraint(id))
                        c->GenerationMark = gmNone;
            for (int i = 0; i < e->Constraints.Count(); ++i) e->ConstraintAt(i)->GenerationMark = gmNone;
            for (const TVELRelationship* r : keys) r->FKConstraint->GenerationMark = gmNone;
        };
        clearMarks();
        add(filler.FillTable(*e, filler.Template("SQLCreateTable")));
        for (int i = 0; i < e->Constraints.Count(); ++i) {
            const TVELConstraint* c = e->ConstraintAt(i);
            if (c->GenerationMark == gmWrittenInline || !c->IsInUse()) continue;
            if (c->ConstraintType == ctUnique)
                add(filler.FillConstraint(*c, filler.Template("SQLCreateUniqueConstraint")));
            if (c->ConstraintType == ctCheck)
                add(filler.FillConstraint(*c, filler.Template("SQLCreateCheckConstraint")));
        }
        for (int i = 0; i < e->Indexes.Count(); ++i)
            add(filler.FillIndex(*e->IndexAt(i), filler.Template("SQLCreateIndex")));
        for (const TVELRelationship* r : keys)
            if (r->FKConstraint->GenerationMark != gmWrittenInline && r->FKConstraint->IsInUse())
                add(filler.FillConstraint(*r->FKConstraint, filler.Template("SQLCreateFKConstraint")));
        for (int i = 0; i < e->Triggers.Count(); ++i)
            add(filler.FillTrigger(*e->TriggerAt(i), filler.Template("SQLCreateTrigger")));
        clearMarks();
    } else if (const auto* d = dynamic_cast<const TVELDomain*>(&object)) {
        add(filler.FillDomainStatement(*d, false));
    } else if (const auto* q = dynamic_cast<const TVELSequence*>(&object)) {
        add(filler.FillSequence(*q, filler.Template("SQLCreateSequence")));
    } else if (const auto* v = dynamic_cast<const TVELView*>(&object)) {
        add(filler.FillView(*v, filler.Template("SQLCreateView")));
    } else if (const auto* p = dynamic_cast<const TVELProcedure*>(&object)) {
        add(filler.FillProcedure(*p, filler.Template("SQLCreateProcedure")));
    } else if (const auto* u = dynamic_cast<const TVELRule*>(&object)) {
        add(filler.FillRule(*u, filler.Template("SQLCreateRule")));
    } else if (const auto* r = dynamic_cast<const TVELRelationship*>(&object)) {
        add(filler.FillConstraint(*r->FKConstraint, filler.Template("SQLCreateFKConstraint")));
    }
    // Objects without a statement, and targets without the template, are described by their
    // properties.
    return statements.empty() ? description() : JoinStrings(statements, "\n");
}

void TVELDDComparer::Describe(const TVELDatabaseObject& object, const TVELComparisonRules& rules,
                              std::vector<std::string>& lines) const {
    std::string text;
    if (DescriptionMode == 0) {
        text = ScriptOf ? ScriptOf(object) : TemplateScript(object);
    } else {
        std::vector<std::string> description;
        PropertyDescription(object, description);
        text = JoinStrings(description, "\n");
    }
    for (const TVELComparisonRule* rule : rules)
        if (rule) text = rule->Apply(text);
    if (IgnoreCase) text = UpperCase(text);
    lines.clear();
    for (std::string& line : SplitString(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
}

void TVELDDComparer::Fill(TVELDifference& difference, const TVELDatabaseObject* source,
                          const TVELDatabaseObject* destination) const {
    const TVELDatabaseObject* object = destination ? destination : source;
    difference.ObjectID = object->ID;
    difference.ObjectType = object->ObjectType;
    difference.ObjectClassName = ObjectTypeInfo(object->ObjectType).ClassName;
    difference.LeftName = source ? source->GetNonQuotedQualifiedName() : std::string();
    difference.RightName = destination ? destination->GetNonQuotedQualifiedName() : std::string();
    difference.SetName(source ? difference.LeftName : difference.RightName);
    difference.Details.clear();
    if (!destination || !source) {
        const bool left = source != nullptr;
        difference.Status = left ? dsLeftOnly : dsRightOnly;
        std::vector<std::string>& described = left ? difference.LeftString : difference.RightString;
        std::vector<std::string>& empty = left ? difference.RightString : difference.LeftString;
        Describe(*object, Rules, described);
        empty.assign(described.size(), std::string());
        for (const std::string& line : described)
            difference.Details.push_back(left ? TVELDiffDetailsItem{line, {}, dsLeftOnly}
                                              : TVELDiffDetailsItem{{}, line, dsRightOnly});
        return;
    }
    difference.Status = dsUnchanged;
    Describe(*source, Rules, difference.LeftString);
    Describe(*destination, Rules, difference.RightString);
    std::vector<uint32_t> a, b;
    for (const std::string& line : difference.LeftString) a.push_back(LineCRC32(line));
    for (const std::string& line : difference.RightString) b.push_back(LineCRC32(line));
    const std::vector<TVELDiffChange> changes = DiffChanges(a, b);
    int i = 0, j = 0;
    auto equalUpTo = [&](int x, int y) {
        for (; i < x && j < y; ++i, ++j)
            difference.Details.push_back({difference.LeftString[i], difference.RightString[j], dsUnchanged});
    };
    for (const TVELDiffChange& c : changes) {
        switch (c.Kind) {
        case dkAdd:
            equalUpTo(i + (c.Right - j), c.Right);
            difference.Details.push_back({{}, difference.RightString[c.Right], dsRightOnly});
            j = c.Right + 1;
            break;
        case dkDelete:
            equalUpTo(c.Left, j + (c.Left - i));
            difference.Details.push_back({difference.LeftString[c.Left], {}, dsLeftOnly});
            i = c.Left + 1;
            break;
        default: {
            equalUpTo(c.Left, c.Right);
            TVELDiffDetailsItem item{difference.LeftString[c.Left], difference.RightString[c.Right], dsChanged};
            // A pair whose hashes agree counts as equal.
            if (a[c.Left] == b[c.Right]) item.Status = dsUnchanged;
            else if (MarkWords) MarkWordDifferences(item.LeftString, item.RightString);
            difference.Details.push_back(std::move(item));
            i = c.Left + 1;
            j = c.Right + 1;
            break;
        }
        }
        if (difference.Details.back().Status != dsUnchanged) difference.Status = dsChanged;
    }
    equalUpTo(static_cast<int>(a.size()), static_cast<int>(b.size()));
}

void TVELDDComparer::Compare(TVELDifferences& differences, bool ignoreCase, bool markWords,
                             const TVELComparisonRules& rules, uint8_t descriptionMode) {
    Differences = &differences;
    IgnoreCase = ignoreCase;
    MarkWords = markWords;
    Rules = rules;
    DescriptionMode = descriptionMode;
    differences.ClearAndFree();
    if (!Source || !Destination) throw EVELError("Missing source and/or reference data dictionary.");
    // Entity descriptions ask for the foreign keys into each entity: answered from caches.
    const TVELDataDictionary::TBulkScope sourceScope(*Source);
    const TVELDataDictionary::TBulkScope destinationScope(*Destination);
    auto counterpart = [](const TVELDataDictionary& d, const TVELDatabaseObject& o) -> TVELDatabaseObject* {
        TVELDatabaseObject* other = d.FindObjectByID(o.ID);
        return other && typeid(*other) == typeid(o) ? other : nullptr;
    };
    auto connection = [](const TVELDatabaseObject* o) { return dynamic_cast<const TVELConnection*>(o) != nullptr; };
    for (int i = 0; i < Source->Count(); ++i) {
        const TVELDatabaseObject* s = Source->Object(i);
        if (connection(s) || !s->Selected) continue;
        const TVELDatabaseObject* d = counterpart(*Destination, *s);
        if (d && !d->Selected) continue;
        Fill(*differences.AddDifference(), s, d);
    }
    for (int i = 0; i < Destination->Count(); ++i) {
        const TVELDatabaseObject* d = Destination->Object(i);
        if (connection(d) || !d->Selected || counterpart(*Source, *d)) continue;
        Fill(*differences.AddDifference(), nullptr, d);
    }
}

// ---- HTML export ---------------------------------------------------------------------------

namespace {

// The markup codec's escaping (&, <, > and double quotes) serves the page as well.
std::string HTMLEscape(std::string_view text) { return Escape(text); }

// Detail text: blanks kept as non-breaking spaces, line breaks as breaks, marked words bold.
std::string HTMLText(std::string_view text) {
    std::string escaped = HTMLEscape(text);
    escaped = ReplaceAll(escaped, "&lt;BOLD&gt;", "<B>");
    escaped = ReplaceAll(escaped, "&lt;/BOLD&gt;", "</B>");
    escaped = ReplaceAll(escaped, " ", "&nbsp;");
    escaped = ReplaceAll(escaped, "\r\n", "<BR>");
    return ReplaceAll(escaped, "\n", "<BR>");
}

const char* const DefaultBackground[5] = {"#ffffff", "#ffd0d0", "#ffffff", "#ffffc0", "#d0ffd0"};
const char* const DefaultFont[5] = {"#000000", "#800000", "#000000", "#806000", "#006000"};

}  // namespace

std::string DifferencesToHTML(const TVELDifferences& differences, const TVELSettingsList& settings) {
    auto colour = [&](const char* key, int status, const char* const defaults[5]) {
        const int s = status >= 1 && status <= 4 ? status : 2;
        const std::string v = settings.GetValue(std::string(key) + IntToStr(s));
        return v.empty() ? std::string(defaults[s]) : v;
    };
    // The captions are plain texts (file names, database addresses): escaped like object texts.
    const std::string title = HTMLEscape(settings.GetValue("TITLE"));
    std::string h;
    h += "<html><head><title>" + title + "</title>\n";
    h += "<body bgcolor=\"#ffffff\">\n";
    h += "<FONT FACE=\"verdana\" size=\"2\" COLOR=#333333>\n";
    h += "<H1>" + title + "</H1>\n";
    h += HTMLEscape(settings.GetValue("TEXTAFTERTITLE")) + "\n";
    h += "<BR><BR>\n";
    h += "<TABLE WIDTH=\"100%\" BORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"2\">\n";
    h += "<TR><TD><B>" + HTMLEscape(settings.GetValue("LEFT")) + "</B></TD><TD><B>" +
         HTMLEscape(settings.GetValue("RIGHT")) + "</B></TD></TR>\n";
    for (int i = 0; i < differences.Count(); ++i) {
        const TVELDifference* d = differences.Difference(i);
        std::string name = d->LeftName;
        if (!d->RightName.empty()) name = name.empty() ? d->RightName : name + " - " + d->RightName;
        h += "<TR><TD COLSPAN=\"2\"><FONT FACE=\"verdana\" size=\"2\"><H3>" + HTMLEscape(name) + "</H3></FONT></TD></TR>\n";
        for (const TVELDiffDetailsItem& item : d->Details) {
            h += "<TR>";
            for (const std::string* text : {&item.LeftString, &item.RightString})
                h += "<TD BGCOLOR=" + colour("BGCOLOR", item.Status, DefaultBackground) +
                     "><FONT FACE=\"courier\" size=\"2\" COLOR=" + colour("FONTCOLOR", item.Status, DefaultFont) + ">" +
                     HTMLText(*text) + "</FONT></TD>";
            h += "</TR>\n";
        }
    }
    h += "</TABLE>\n</FONT>\n</BODY>\n";
    return h;
}

void ExportDifferencesToHTML(const TVELDifferences& differences, const TVELSettingsList& settings) {
    const std::string fileName = settings.GetValue("FILENAME");
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) throw EVELError("Cannot create file \"" + fileName + "\".");
    // The page declares no character set; the byte order mark makes browsers read the names
    // and texts as the UTF-8 they are.
    out << "\xEF\xBB\xBF" << DifferencesToHTML(differences, settings);
    if (!out.flush()) throw EVELError("Cannot write file \"" + fileName + "\".");
}

}  // namespace ardvin
