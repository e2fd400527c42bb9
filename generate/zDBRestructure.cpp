#include "zDBRestructure.h"

#include <algorithm>
#include <cctype>
#include <typeinfo>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "zAttribute.h"
#include "zConstraint.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zModelCheck.h"
#include "zParseScript.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSLDatatypes.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

namespace ardvin {

namespace {

constexpr int BoxWidth = 70;

const std::pair<const char*, const char*> DefaultCaptions[] = {
    {"ADDSEQUENCES", "Add sequences"},
    {"ADDRULES", "Add rules"},
    {"ADDPROCEDURES", "Add procedures"},
    {"ADDVIEWS", "Add views"},
    {"ADDTRIGGERS", "Add triggers"},
    {"ADDDOMAINS", "Add domains"},
    {"ADDTABLES", "Add tables"},
    {"ADDFOREIGNKEYCONSTRAINTS", "Add foreign key constraints"},
    {"ADDSCHEMAS", "Add schemas"},
    {"DROPSEQUENCES", "Drop sequences"},
    {"DROPRULES", "Drop rules"},
    {"DROPPROCEDURES", "Drop procedures"},
    {"DROPVIEWS", "Drop views"},
    {"DROPTRIGGERS", "Drop triggers"},
    {"DROPDOMAINS", "Drop domains"},
    {"DROPTABLES", "Drop tables"},
    {"DROPFOREIGNKEYCONSTRAINTS", "Drop foreign key constraints"},
    {"DROPCONSTRAINTS", "Drop constraints"},
    {"DROPINDEXES", "Drop indexes"},
    {"REPAIRSEQUENCES", "Repair/add sequences"},
    {"REPAIRRULES", "Repair/add rules"},
    {"REPAIRPROCEDURES", "Repair/add procedures"},
    {"REPAIRVIEWS", "Repair/add views"},
    {"REPAIRTRIGGERS", "Repair/add triggers"},
    {"REPAIRDOMAINS", "Repair/add domains"},
    {"REPAIRTABLES", "Repair/add tables"},
    {"REPAIRFOREIGNKEYCONSTRAINTS", "Repair/add foreign key constraints"},
    {"ALTERTABLE", "Alter table \"%nonquotedqualifiedtablename%\""},
    {"ADDTABLE", "Add table \"%nonquotedqualifiedtablename%\""},
    {"DROPTABLE", "Drop table \"%nonquotedqualifiedtablename%\""},
    {"DROPANDRECREATETABLE", "Drop and recreate table \"%nonquotedqualifiedtablename%\""},
    {"ALTERDOMAIN", "Alter domain \"%nonquotedqualifieddomainname%\""},
    {"ALTERSEQUENCES", "Alter sequences"},
};

// The number of characters (UTF-8 sequences) of a text.
size_t CharCount(std::string_view text) {
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The text without the bytes <= ' ' at both ends, as a view into it.
std::string_view TrimView(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Calls f for every line of a text, the lines broken at LF, CR LF or CR.
template <class F> void ForEachLine(std::string_view text, F f) {
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
        f(text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
}

std::vector<std::string> TextLines(std::string_view text) {
    std::vector<std::string> lines;
    ForEachLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string LowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

bool HasCode(const TVELCodeObject& object) { return !TrimView(object.Code).empty(); }

// Whether an object's comment is still to be written by a statement of its own: the target takes
// such comments, there is one, and the object's own statement did not write it.
bool CommentPending(const TVELDatabaseObject& object, bool supported) {
    return supported && !TrimView(object.Comment).empty() && object.GenerationMark != gmWrittenInline;
}

}  // namespace

// ---- TDBRestructure -------------------------------------------------------------------------------

TDBRestructure::TDBRestructure(TVELDataDictionary& model)
    : Model(model), Settings(*model.GetDatabaseSettings()), Filler(*model.GetDatabaseSettings()) {
    for (const auto& [key, caption] : DefaultCaptions) Captions.SetValue(key, caption);
}

TDBRestructure::~TDBRestructure() = default;

std::string TDBRestructure::ScriptText() const {
    size_t size = 0;
    for (const std::string& line : Script) size += line.size() + CRLF.size();
    std::string text;
    text.reserve(size);
    for (const std::string& line : Script) text.append(line).append(CRLF);
    return text;
}

std::string TDBRestructure::Caption(std::string_view key) const { return Captions.GetValue(key); }

std::string TDBRestructure::ObjectCaption(std::string_view key, const TVELDatabaseObject& object) {
    const std::string caption = Caption(key);
    if (const auto* table = dynamic_cast<const TVELEntity*>(&object)) return Filler.FillTable(*table, caption);
    if (const auto* domain = dynamic_cast<const TVELDomain*>(&object)) return Filler.FillDomain(*domain, caption);
    return caption;
}

// ---- writing ----------------------------------------------------------------------------------------

void TDBRestructure::WriteStatement(std::string_view text) {
    if (!text.empty() && text[0] == '*') return;
    std::string_view statement = text;
    if (StripTerminators) {
        while (!statement.empty() && IsBlank(statement.back())) statement.remove_suffix(1);
        const std::string terminator = ReplaceAll(Settings.Terminator, "#13#10", "");
        if (!terminator.empty() && statement.size() >= terminator.size() &&
            SameText(statement.substr(statement.size() - terminator.size()), terminator))
            statement.remove_suffix(terminator.size());
    }
    statement = TrimView(statement);
    if (statement.empty()) return;
    if (WriteToScript) {
        Script.emplace_back();
        ForEachLine(statement, [this](std::string_view line) { Script.emplace_back(line); });
        return;
    }
    if (!Executor) throw EVELError("No database connection to execute the statement.");
    for (const std::string& part : ExecutionStatements(statement)) Executor->Execute(part);
    Log(mlInfo, "SQL executed: " + std::string(CRLF) + std::string(statement));
}

void TDBRestructure::WriteCommentLine(std::string_view line) {
    std::string text = Settings.BlockCommentBegin + " " + std::string(line);
    const size_t count = CharCount(line);
    if (count < BoxWidth) text.append(BoxWidth - count, ' ');
    Script.push_back(text + " " + Settings.BlockCommentEnd);
}

void TDBRestructure::WriteDashLine() {
    Script.push_back(Settings.BlockCommentBegin + " " + std::string(BoxWidth, '-') + " " + Settings.BlockCommentEnd);
}

void TDBRestructure::WriteHeading(std::string_view caption) {
    Log(mlInfo, std::string(caption));
    if (!WriteToScript || !WriteRemarks || Option("EXCLUDEREMARKS")) return;
    Script.emplace_back();
    WriteDashLine();
    for (const std::string& line : TextLines(caption)) WriteCommentLine(line);
    WriteDashLine();
    if (Settings.AddTerminatorAfterBlockComment)
        for (std::string& line : TextLines(ReplaceAll(Settings.Terminator, "#13#10", "\r\n")))
            Script.push_back(std::move(line));
}

void TDBRestructure::BeginSection(std::string_view caption, bool always) {
    pendingHeading_ = caption;
    if (always) {
        WriteHeading(caption);
        pendingHeading_.clear();
    }
}

void TDBRestructure::FlushHeading() {
    if (pendingHeading_.empty()) return;
    const std::string heading = std::move(pendingHeading_);
    pendingHeading_.clear();
    WriteHeading(heading);
}

void TDBRestructure::Write(std::string_view statement) {
    if (TrimView(statement).empty() || statement[0] == '*') return;
    FlushHeading();
    WriteStatement(statement);
    ++written_;
}

void TDBRestructure::WriteScriptHeader(std::string_view scriptKind) {
    std::vector<std::pair<std::string, std::string>> lines;
    if (HeaderProductLine && !ProductLine.empty()) lines.emplace_back("Script generated with:", ProductLine);
    lines.emplace_back("Target DBMS:", Settings.DBMSName);
    if (HeaderProjectFile) lines.emplace_back("Project file:", ProjectFile);
    if (HeaderProjectName) lines.emplace_back("Project name:", ProjectName);
    if (HeaderAuthor) lines.emplace_back("Author:", Author);
    lines.emplace_back("Script type:", std::string(scriptKind));
    lines.emplace_back("Created on:", LogDateTime());
    if (!ModelVersion.empty()) lines.emplace_back("Model version:", ModelVersion);
    if (!FromModelVersion.empty()) lines.emplace_back("From model version:", FromModelVersion);
    size_t width = 0;
    for (const auto& line : lines) width = std::max(width, line.first.size());
    WriteDashLine();
    for (const auto& [label, value] : lines) WriteCommentLine(label + std::string(width + 1 - label.size(), ' ') + value);
    WriteDashLine();
}

void TDBRestructure::WriteDatabaseScript(std::string_view key) {
    if (Option("DONOTUSEDATABASESCRIPTS")) return;
    std::string text = Options.GetValue(key);
    if (Trim(text).empty()) return;
    text = ReplaceAll(ReplaceAll(text, "{", "<#"), "}", "#>");
    text = ReplaceAllText(text, "%terminator%", Settings.Terminator);
    text = ReplaceAll(text, "#13#10", "\r\n");
    WriteStatement(ReplaceAll(ReplaceAll(text, "<#", "{"), "#>", "}"));
}

// ---- logging of single objects ----------------------------------------------------------------

std::string TDBRestructure::KindText(const TVELDatabaseObject& object) {
    if (const auto* constraint = dynamic_cast<const TVELConstraint*>(&object)) {
        switch (constraint->ConstraintType) {
        case ctPrimaryKey: return "Primary key";
        case ctForeignKey: return "Foreign key";
        case ctUnique: return "Unique constraint";
        case ctCheck: return "Check constraint";
        case ctNotNull: return "Not null constraint";
        case ctDefault: return "Default constraint";
        default: return "Constraint";
        }
    }
    if (dynamic_cast<const TVELRelationship*>(&object)) return "Foreign key";
    std::string kind = ObjectTypeInfo(object.ObjectType).PhysicalCaption;
    if (!kind.empty()) kind[0] = UpperChar(kind[0]);
    return kind;
}

namespace {

// The name the log gives an object: members of tables with their table.
std::string LogName(const TVELDatabaseObject& object) {
    if (const auto* relationship = dynamic_cast<const TVELRelationship*>(&object))
        return relationship->FKConstraint->GetDisplayName();
    if (dynamic_cast<const TVELConstraint*>(&object) || dynamic_cast<const TVELIndex*>(&object))
        return object.GetDisplayName();
    if (const auto* trigger = dynamic_cast<const TVELTrigger*>(&object))
        if (const TVELEntity* table = trigger->GetEntity()) return table->GetName() + "." + trigger->GetName();
    return object.GetNonQuotedQualifiedName();
}

}  // namespace

void TDBRestructure::Fail(const TVELDatabaseObject& object, bool drop, const std::string& message) {
    Log(mlError,
        std::string(drop ? "Problem dropping " : "Problem adding ") + LowerFirst(KindText(object)) + " " +
            LogName(object) + (message.empty() ? "." : ": " + message),
        const_cast<TVELDatabaseObject*>(&object));
}

template <class F> void TDBRestructure::ObjectStep(const TVELDatabaseObject& object, bool drop, F&& step) {
    const int before = written_;
    try {
        step();
    } catch (const EVELError& e) {
        Fail(object, drop, e.what());
        return;
    }
    // (The line is not even made when nobody keeps or hears it.)
    if (written_ != before && (Collect || OnLog))
        Log(mlInfo, KindText(object) + " " + LogName(object) + (drop ? " dropped." : " added."),
            const_cast<TVELDatabaseObject*>(&object));
}

void TDBRestructure::CommentStep(const TVELDatabaseObject& object, const std::string& statement) {
    const int before = written_;
    auto name = [&object] { return "\"" + LogName(object) + "\""; };
    try {
        Write(statement);
    } catch (const EVELError& e) {
        Log(mlError, "Problem adding/modifying comment for object " + name() + ": " + e.what(),
            const_cast<TVELDatabaseObject*>(&object));
        return;
    }
    if (written_ != before && (Collect || OnLog))
        Log(mlInfo, "Added/modified comment for object " + name() + ".", const_cast<TVELDatabaseObject*>(&object));
}

// ---- selection and order ------------------------------------------------------------------------

bool TDBRestructure::IsSelected(const TVELDatabaseObject& object) const { return !unselected_.count(object.ID); }

std::vector<TVELEntity*> TDBRestructure::SelectedTables() const {
    std::vector<TVELEntity*> tables;
    Model.CollectOfClass(tables);
    std::erase_if(tables, [this](const TVELEntity* t) { return !IsSelected(*t); });
    return tables;
}

template <class T> std::vector<T*> TDBRestructure::SelectedOfClass(bool byPosition) const {
    std::vector<T*> objects;
    Model.CollectOfClass(objects);
    std::erase_if(objects, [this](const T* o) { return !IsSelected(*o); });
    if (byPosition)
        std::stable_sort(objects.begin(), objects.end(), [](const T* a, const T* b) { return a->PosNR < b->PosNR; });
    return objects;
}

// The tables in passes over the model's order: each pass takes, in that order, the tables whose
// parents are already placed (earlier in the same pass counting); tables on or behind a cycle
// come last in the model's order. The pass of every table is worked out once along the
// dependencies, so that a long chain of tables listed against its order costs no pass per table.
std::vector<TVELEntity*> TDBRestructure::TablesInDependencyOrder() const {
    const std::vector<TVELEntity*> tables = SelectedTables();
    std::unordered_map<const TVELEntity*, size_t> index;
    index.reserve(tables.size());
    for (size_t i = 0; i < tables.size(); ++i) index.emplace(tables[i], i);
    std::vector<std::vector<size_t>> children(tables.size());
    std::vector<size_t> waiting(tables.size(), 0);  // parents not yet given their pass
    std::vector<TVELRelationship*> relationships;
    Model.CollectOfClass(relationships);
    for (const TVELRelationship* relationship : relationships) {
        const TVELEntity* parent = relationship->GetParentEntity();
        const TVELEntity* child = relationship->GetChildEntity();
        if (!parent || !child || parent == child) continue;
        const auto p = index.find(parent), c = index.find(child);
        if (p == index.end() || c == index.end()) continue;
        children[p->second].push_back(c->second);
        ++waiting[c->second];
    }
    constexpr size_t Unplaced = static_cast<size_t>(-1);
    std::vector<size_t> pass(tables.size(), 0);
    std::vector<size_t> ready;
    for (size_t i = 0; i < tables.size(); ++i)
        if (waiting[i] == 0) ready.push_back(i);
    std::vector<bool> placed(tables.size(), false);
    while (!ready.empty()) {
        const size_t p = ready.back();
        ready.pop_back();
        placed[p] = true;
        // A parent before its child in the model's order is placed in the same pass; one after it
        // only in the next.
        for (size_t c : children[p]) {
            pass[c] = std::max(pass[c], p < c ? pass[p] : pass[p] + 1);
            if (--waiting[c] == 0) ready.push_back(c);
        }
    }
    std::vector<size_t> order(tables.size());
    for (size_t i = 0; i < tables.size(); ++i) order[i] = placed[i] ? pass[i] : Unplaced;
    std::vector<size_t> positions(tables.size());
    for (size_t i = 0; i < tables.size(); ++i) positions[i] = i;
    std::stable_sort(positions.begin(), positions.end(), [&order](size_t a, size_t b) { return order[a] < order[b]; });
    std::vector<TVELEntity*> ordered;
    ordered.reserve(tables.size());
    for (size_t i : positions) ordered.push_back(tables[i]);
    return ordered;
}

// ---- the create pass ------------------------------------------------------------------------------

void TDBRestructure::StartRun(std::string_view verb, std::string_view scriptKind) {
    written_ = 0;
    pendingHeading_.clear();
    ClearGenerationMarks(Model);
    Log(mlInfo, std::string(verb) + " a " + Settings.DBMSName + " database.");
    Log(mlInfo, "Date/time: " + LogDateTime());
    if (WriteToScript && WriteHeader && !Option("EXCLUDEHEADER")) WriteScriptHeader(scriptKind);
}

void TDBRestructure::OpenConnection() {
    if (WriteToScript) return;
    if (!Executor) throw EVELError("No database connection to execute the statements.");
    Executor->Prepare();
    Executor->StartTransaction();
}

std::vector<TVELRelationship*> TDBRestructure::ForeignKeys(const std::vector<TVELEntity*>& tables) const {
    const std::unordered_set<const TVELEntity*> generated(tables.begin(), tables.end());
    std::vector<TVELRelationship*> relationships;
    Model.CollectOfClass(relationships);
    std::erase_if(relationships, [&](const TVELRelationship* r) {
        return !r->FKConstraint->IsInUse() || !IsSelected(*r) || !generated.count(r->GetParentEntity()) ||
               !generated.count(r->GetChildEntity());
    });
    return relationships;
}

std::vector<TVELTrigger*> TDBRestructure::Triggers() const {
    std::vector<TVELTrigger*> triggers;
    for (const TVELEntity* table : SelectedTables())
        for (int i = 0; i < table->Triggers.Count(); ++i)
            if (HasCode(*table->TriggerAt(i))) triggers.push_back(table->TriggerAt(i));
    return triggers;
}

bool TDBRestructure::GenerateCreateScript() {
    // Generation changes no object: the whole-model look-ups may be cached throughout.
    const TVELDataDictionary::TBulkScope bulk(Model);
    const int errorsBefore = ErrorCount;
    unselected_.clear();
    for (const std::string& id : SplitString(Options.GetValue("UNSELECTEDOBJECTS"), ','))
        if (int32_t value = 0; TryStrToInt(id, value)) unselected_.insert(value);
    if (!unselected_.empty()) {
        bool any = false;
        for (int i = 0; i < Model.Count() && !any; ++i) any = IsSelected(*Model.Object(i));
        if (!any) throw EVELError("No objects to generate selected.");
    }
    StartRun("Generate", "Database creation script");
    if (Options.GetValue("FrdCreateDB") != "0") {
        bool created = false;
        if (!CreateDatabase(created)) return false;
        if (created) Log(mlInfo, "Database created.");
    }
    OpenConnection();
    if (WriteToScript) WriteDatabaseScript("BEGINDATABASESCRIPT");

    // Schemas the objects live in.
    if (Settings.EnableSchemas && !Trim(Filler.Template("SQLAddSchema")).empty()) {
        std::vector<std::string> schemas;
        std::set<std::string> seen;
        for (int i = 0; i < Model.Count(); ++i) {
            const TVELDatabaseObject* object = Model.Object(i);
            const std::string schema = Trim(object->SchemaName);
            if (schema.empty() || !IsSelected(*object) || !seen.insert(UpperCase(schema)).second) continue;
            if (object->ObjectType == otEntity || object->ObjectType == otSequence || object->ObjectType == otDomain ||
                object->ObjectType == otView || object->ObjectType == otProcedure)
                schemas.push_back(schema);
        }
        BeginSection(Caption("ADDSCHEMAS"));
        for (const std::string& schema : schemas) {
            try {
                AddSchema(schema);
            } catch (const EVELError& e) {
                Log(mlError, "Problem adding schema " + schema + ": " + e.what());
            }
        }
    }

    BeginSection(Caption("ADDSEQUENCES"));
    for (TVELSequence* sequence : SelectedOfClass<TVELSequence>(true))
        ObjectStep(*sequence, false, [&] { AddSequence(*sequence); });

    BeginSection(Caption("ADDDOMAINS"));
    for (TVELDomain* domain : SelectedOfClass<TVELDomain>(false))
        ObjectStep(*domain, false, [&] { AddDomain(*domain); });

    const std::vector<TVELEntity*> tables = TablesInDependencyOrder();
    BeginSection(Caption("ADDTABLES"), true);
    for (TVELEntity* table : tables) TableStep(*table);

    BeginSection(Caption("ADDFOREIGNKEYCONSTRAINTS"));
    for (TVELRelationship* relationship : ForeignKeys(tables))
        if (relationship->FKConstraint->GenerationMark != gmWrittenInline)
            ObjectStep(*relationship, false, [&] { AddForeignKey(*relationship); });

    BeginSection(Caption("ADDVIEWS"));
    for (TVELView* view : SelectedOfClass<TVELView>(true)) ObjectStep(*view, false, [&] { AddView(*view); });
    BeginSection(Caption("ADDPROCEDURES"));
    for (TVELProcedure* procedure : SelectedOfClass<TVELProcedure>(true))
        ObjectStep(*procedure, false, [&] { AddProcedure(*procedure); });
    BeginSection(Caption("ADDTRIGGERS"));
    for (TVELTrigger* trigger : Triggers()) ObjectStep(*trigger, false, [&] { AddTrigger(*trigger); });
    BeginSection(Caption("ADDRULES"));
    for (TVELRule* rule : SelectedOfClass<TVELRule>(false)) ObjectStep(*rule, false, [&] { AddRule(*rule); });
    pendingHeading_.clear();

    if (WriteToScript) WriteDatabaseScript("ENDDATABASESCRIPT");
    if (!WriteToScript) Executor->Commit();
    return ErrorCount == errorsBefore;
}

void TDBRestructure::TableStep(TVELEntity& table) {
    BeforeTable(table);
    BeginSection(ObjectCaption("ADDTABLE", table));
    ObjectStep(table, false, [&] { CreateTable(table); });
    for (int i = 0; i < table.Indexes.Count(); ++i) {
        TVELIndex* index = table.IndexAt(i);
        ObjectStep(*index, false, [&] { AddIndex(*index); });
    }
    for (TVELConstraint* constraint : table.AllConstraints()) {
        if (constraint->ConstraintType == ctForeignKey || constraint->GenerationMark == gmWrittenInline) continue;
        ObjectStep(*constraint, false, [&] { AddConstraint(*constraint); });
    }
    AddTableComment(table);
    AddColumnComments(table);
    pendingHeading_.clear();
    AfterTable(table);
}

// ---- the drop script ------------------------------------------------------------------------------

bool TDBRestructure::GenerateDropScript() {
    const TVELDataDictionary::TBulkScope bulk(Model);
    const int errorsBefore = ErrorCount;
    unselected_.clear();
    StartRun("Drop", "Database drop script");
    OpenConnection();
    if (WriteToScript) WriteDatabaseScript("BEGINDROPDATABASESCRIPT");

    const std::vector<TVELEntity*> tables = TablesInDependencyOrder();
    BeginSection(Caption("DROPRULES"));
    for (TVELRule* rule : SelectedOfClass<TVELRule>(false)) ObjectStep(*rule, true, [&] { DropRule(*rule); });
    BeginSection(Caption("DROPTRIGGERS"));
    for (TVELTrigger* trigger : Triggers()) ObjectStep(*trigger, true, [&] { DropTrigger(*trigger); });
    // Code objects and tables go in the reverse of their creation order: dependents first.
    BeginSection(Caption("DROPPROCEDURES"));
    std::vector<TVELProcedure*> procedures = SelectedOfClass<TVELProcedure>(true);
    for (auto it = procedures.rbegin(); it != procedures.rend(); ++it)
        ObjectStep(**it, true, [&] { DropProcedure(**it); });
    BeginSection(Caption("DROPVIEWS"));
    std::vector<TVELView*> views = SelectedOfClass<TVELView>(true);
    for (auto it = views.rbegin(); it != views.rend(); ++it) ObjectStep(**it, true, [&] { DropView(**it); });
    BeginSection(Caption("DROPFOREIGNKEYCONSTRAINTS"));
    for (TVELRelationship* relationship : ForeignKeys(tables))
        ObjectStep(*relationship, true, [&] { DropForeignKey(*relationship); });
    BeginSection(Caption("DROPTABLES"));
    for (auto it = tables.rbegin(); it != tables.rend(); ++it) ObjectStep(**it, true, [&] { DropTable(**it); });
    BeginSection(Caption("DROPDOMAINS"));
    for (TVELDomain* domain : SelectedOfClass<TVELDomain>(false))
        ObjectStep(*domain, true, [&] { DropDomain(*domain); });
    BeginSection(Caption("DROPSEQUENCES"));
    for (TVELSequence* sequence : SelectedOfClass<TVELSequence>(true))
        ObjectStep(*sequence, true, [&] { DropSequence(*sequence); });
    pendingHeading_.clear();

    if (WriteToScript) WriteDatabaseScript("ENDDROPDATABASESCRIPT");
    if (!WriteToScript) Executor->Commit();
    return ErrorCount == errorsBefore;
}

// ---- the alter pass ---------------------------------------------------------------------------------

namespace {

bool TextChanged(const std::string& a, const std::string& b) { return Trim(a) != Trim(b); }

// The statement terminator as a script writes it.
std::string TerminatorOf(const TVELDatabaseSettings& settings) { return ReplaceAll(settings.Terminator, "#13#10", "\r\n"); }

// The constraints of a table that the alter pass adds and drops itself, by a key that pairs them
// across the two versions: the primary key, the table constraints and the column checks. Not-null
// and default constraints are changes of their columns; foreign keys belong to relationships.
std::vector<std::pair<std::string, TVELConstraint*>> KeyedConstraints(const TVELEntity& table) {
    std::vector<std::pair<std::string, TVELConstraint*>> out;
    std::vector<TVELAttribute*> key;
    table.PrimaryKeyAttributes(key);
    if (!key.empty()) out.emplace_back("pk", table.PrimaryKey.get());
    for (int i = 0; i < table.Constraints.Count(); ++i) {
        TVELConstraint* c = table.ConstraintAt(i);
        if ((c->ConstraintType == ctUnique || c->ConstraintType == ctCheck) && c->IsInUse())
            out.emplace_back("t" + std::to_string(c->ID), c);
    }
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* a = table.AttributeAt(i);
        TVELConstraint* check = a->ExistingColumnConstraint(3);
        if (check && check->IsInUse() && !Trim(check->Value).empty())
            out.emplace_back("c" + std::to_string(a->ID), check);
    }
    return out;
}

TVELConstraint* FindKeyed(const std::vector<std::pair<std::string, TVELConstraint*>>& list, const std::string& key) {
    for (const auto& [k, c] : list)
        if (k == key) return c;
    return nullptr;
}

// Whether a code text mentions a name as a whole word, without regard to case.
bool MentionsName(const std::string& upperCode, const std::string& name) {
    const std::string word = UpperCase(name);
    if (word.empty()) return false;
    auto isWordChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 128;
    };
    for (size_t at = upperCode.find(word); at != std::string::npos; at = upperCode.find(word, at + 1)) {
        const bool before = at == 0 || !isWordChar(upperCode[at - 1]);
        const size_t end = at + word.size();
        if (before && (end >= upperCode.size() || !isWordChar(upperCode[end]))) return true;
    }
    return false;
}

template <class T> std::vector<T*> OfClass(const TVELDataDictionary& d) {
    std::vector<T*> out;
    d.CollectOfClass(out);
    return out;
}

template <class T> void SortByPosition(std::vector<T*>& list) {
    std::stable_sort(list.begin(), list.end(), [](const T* a, const T* b) { return a->PosNR < b->PosNR; });
}

}  // namespace

struct TDBRestructure::TAlterPlan {
    // Changed tables (new, old) in creation order, and those of them that are recreated.
    std::vector<std::pair<TVELEntity*, TVELEntity*>> Changed;
    std::unordered_set<const TVELEntity*> Recreated;
    // Foreign keys dropped (old relationships) and added (new relationships).
    std::vector<TVELRelationship*> DropKeys, AddKeys;
    // Foreign keys that only changed their names, renamed in place.
    std::vector<TVELRelationship*> RenameKeys;
    std::vector<TVELTrigger*> DropTriggers, AddTriggers;
    std::vector<TVELView*> DropViews, AddViews;
    std::vector<TVELProcedure*> DropProcedures, AddProcedures;
    std::vector<TVELRule*> DropRules, AddRules;
    std::vector<TVELSequence*> DropSequences, AddSequences;
    // Changed sequences altered in place, with their statements.
    std::vector<std::pair<TVELSequence*, std::string>> AlterSequences;
    std::vector<TVELDomain*> AddDomains, DropDomains;
    std::vector<std::pair<TVELDomain*, TVELDomain*>> ChangedDomains;
    std::vector<TVELEntity*> DropTables;  // old tables
    std::vector<TVELEntity*> NewTables;
};

void TDBRestructure::MarkChanges() {
    if (!OldModel) throw EVELError("No old model to compare with.");
    TVELDataDictionary& old = *OldModel;
    Model.ClearStateFlags();
    old.ClearStateFlags();
    renamedOnly_.clear();
    // The text that decides whether a top-level object changed: its generated definition.
    // A foreign key apart from its name: whether it is in use, its tables, actions and pairs.
    auto keyText = [](const TVELRelationship& r) {
        const TVELConstraint& fk = *r.FKConstraint;
        std::string text = fk.IsInUse() ? "1" : "0";
        text += "|" + std::to_string(r.ParentObjectID) + "|" + std::to_string(r.ChildObjectID) + "|" +
                std::to_string(r.DeleteRule) + "|" + std::to_string(r.UpdateRule) + "|" + fk.ConstraintOptions;
        for (int i = 0; i < r.Pairs.Count(); ++i) {
            const TVELPair* pair = r.PairAt(i);
            text += "|" + std::to_string(pair->KeyID) + ">" + std::to_string(pair->ForeignKeyID);
        }
        return text;
    };
    auto definition = [this, &keyText](const TVELDatabaseObject& o) -> std::string {
        if (const auto* s = dynamic_cast<const TVELSequence*>(&o))
            return Filler.FillSequence(*s, Filler.Template("SQLCreateSequence"));
        if (const auto* d = dynamic_cast<const TVELDomain*>(&o))
            return Filler.FillDomainStatement(*d, false) + "|" + d->GetName();
        if (const auto* v = dynamic_cast<const TVELView*>(&o)) return Filler.FillView(*v, Filler.Template("SQLCreateView"));
        if (const auto* p = dynamic_cast<const TVELProcedure*>(&o))
            return Filler.FillProcedure(*p, Filler.Template("SQLCreateProcedure"));
        if (const auto* r = dynamic_cast<const TVELRule*>(&o)) return Filler.FillRule(*r, Filler.Template("SQLCreateRule"));
        if (const auto* r = dynamic_cast<const TVELRelationship*>(&o))
            return r->FKConstraint->GetName() + "|" + keyText(*r);
        return o.GetName();
    };
    for (int i = 0; i < Model.Count(); ++i) {
        TVELDatabaseObject* object = Model.Object(i);
        TVELDatabaseObject* same = old.FindSameObject(object);
        if (same && typeid(*same) != typeid(*object)) same = nullptr;
        if (!same) {
            object->StateNew = true;
            continue;
        }
        object->StateInBoth = same->StateInBoth = true;
        if (auto* table = dynamic_cast<TVELEntity*>(object)) {
            MarkTable(*table, *static_cast<TVELEntity*>(same));
        } else if (definition(*object) != definition(*same) || object->SchemaName != same->SchemaName) {
            object->StateModified = same->StateModified = true;
            const auto* r = dynamic_cast<const TVELRelationship*>(object);
            if (r && keyText(*r) == keyText(*static_cast<const TVELRelationship*>(same)) &&
                CanRename(*r->FKConstraint, *static_cast<const TVELRelationship*>(same)->FKConstraint))
                renamedOnly_.insert(r);
        }
    }
    for (int i = 0; i < old.Count(); ++i) {
        TVELDatabaseObject* object = old.Object(i);
        if (!object->StateInBoth) object->StateGone = true;
    }
    // A table whose foreign keys change is changed too (some targets keep them in the table).
    auto childChanged = [](TVELDataDictionary& d, TVELDataDictionary& other) {
        for (TVELRelationship* r : OfClass<TVELRelationship>(d)) {
            if (!r->StateNew && !r->StateGone && !r->StateModified) continue;
            TVELEntity* child = r->GetChildEntity();
            if (!child || !child->StateInBoth) continue;
            child->StateModified = true;
            other.FindSameObject(child)->StateModified = true;
        }
    };
    childChanged(Model, old);
    childChanged(old, Model);
    ClearGenerationMarks(Model);
    ClearGenerationMarks(old);
}

void TDBRestructure::MarkTable(TVELEntity& table, TVELEntity& old) {
    bool changed = table.GetName() != old.GetName() || table.SchemaName != old.SchemaName ||
                   TextChanged(table.TableOptions, old.TableOptions) || TextChanged(table.Comment, old.Comment);
    auto mark = [&changed](TVELDatabaseObject& a, TVELDatabaseObject* b, bool modified) {
        if (!b) {
            a.StateNew = true;
            changed = true;
            return;
        }
        a.StateInBoth = b->StateInBoth = true;
        if (modified) {
            a.StateModified = b->StateModified = true;
            changed = true;
        }
    };
    // Columns, and the order of the columns present in both.
    const std::string columnTemplate = Filler.Template("SQLCreateColumn");
    std::vector<int32_t> commonNew, commonOld;
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        TVELAttribute* a = table.AttributeAt(i);
        TVELAttribute* b = old.FindAttribute(a->ID);
        if (b) commonNew.push_back(a->ID);
        mark(*a, b,
             b && (Filler.FillColumn(*a, columnTemplate) != Filler.FillColumn(*b, columnTemplate) ||
                   a->GetName() != b->GetName() || TextChanged(a->Comment, b->Comment) ||
                   a->IsIdentity() != b->IsIdentity() || TextChanged(a->DefaultValue(), b->DefaultValue())));
    }
    for (int i = 0; i < old.Attributes.Count(); ++i) {
        TVELAttribute* b = old.AttributeAt(i);
        if (b->StateInBoth)
            commonOld.push_back(b->ID);
        else
            b->StateGone = changed = true;
    }
    for (size_t i = 0; i < commonNew.size(); ++i)
        if (commonNew[i] != commonOld[i]) {
            table.FindAttribute(commonNew[i])->StatePositionChanged = true;
            old.FindAttribute(commonNew[i])->StatePositionChanged = true;
            changed = true;
        }
    // Indexes: by identifier, compared by what their statement says apart from the table name,
    // their columns by identifier so that a renamed column leaves them alone.
    auto indexText = [this](const TVELIndex& index, bool withName = true) {
        std::string text = Filler.FillIndex(index, "%indextype%|%indexoptions%|%indexclustering%");
        if (withName) text += "|" + Filler.FillIndex(index, "%quotedsimpleindexname%");
        for (int k = 0; k < index.Columns.Count(); ++k) {
            const TVELIndexColumn& column = *index.Column(k);
            text += "|" + (column.GetAttribute() ? std::to_string(column.AttributeID) : column.ColumnText()) + " " +
                    Filler.FillIndexColumn(column, "%indexcolumnsortoption%");
        }
        return text;
    };
    const bool renameIndexes = !Trim(Filler.Template("SQLRenameIndex")).empty();
    for (int i = 0; i < table.Indexes.Count(); ++i) {
        TVELIndex* a = table.IndexAt(i);
        auto* b = static_cast<TVELIndex*>(old.Indexes.FindByID(a->ID));
        mark(*a, b, b && indexText(*a) != indexText(*b));
        if (b && a->StateModified && renameIndexes && a->GetName() != b->GetName() &&
            indexText(*a, false) == indexText(*b, false))
            renamedOnly_.insert(a);
    }
    for (int i = 0; i < old.Indexes.Count(); ++i)
        if (!old.IndexAt(i)->StateInBoth) old.IndexAt(i)->StateGone = changed = true;
    // Constraints, their columns by identifier so that a renamed column leaves them alone.
    auto constraintText = [this](const TVELConstraint& c, bool withName = true) {
        return Filler.FillConstraint(c, withName ? "%constraintname%|%constraint%|%constraintoptions%"
                                                 : "%constraint%|%constraintoptions%") +
               "|" + c.AttributeIDs.CommaText();
    };
    const auto newConstraints = KeyedConstraints(table);
    const auto oldConstraints = KeyedConstraints(old);
    for (const auto& [key, a] : newConstraints) {
        TVELConstraint* b = FindKeyed(oldConstraints, key);
        mark(*a, b, b && constraintText(*a) != constraintText(*b));
        if (b && a->StateModified && CanRename(*a, *b) && constraintText(*a, false) == constraintText(*b, false))
            renamedOnly_.insert(a);
    }
    for (const auto& [key, b] : oldConstraints)
        if (!FindKeyed(newConstraints, key)) b->StateGone = changed = true;
    // Triggers with code.
    const std::string triggerTemplate = Filler.Template("SQLCreateTrigger");
    for (int i = 0; i < table.Triggers.Count(); ++i) {
        TVELTrigger* a = table.TriggerAt(i);
        if (!HasCode(*a)) continue;
        TVELTrigger* b = old.FindTrigger(a->ID);
        if (b && !HasCode(*b)) b = nullptr;
        mark(*a, b, b && Filler.FillTrigger(*a, triggerTemplate) != Filler.FillTrigger(*b, triggerTemplate));
    }
    for (int i = 0; i < old.Triggers.Count(); ++i)
        if (HasCode(*old.TriggerAt(i)) && !old.TriggerAt(i)->StateInBoth) old.TriggerAt(i)->StateGone = changed = true;
    if (changed) table.StateModified = old.StateModified = true;
}

void TDBRestructure::PlanAlter(TAlterPlan& plan) {
    TVELDataDictionary& old = *OldModel;
    auto counterpart = [&old](const TVELDatabaseObject& o) { return old.FindSameObject(&o); };
    // Tables.
    for (TVELEntity* table : TablesInDependencyOrder()) {
        if (table->StateNew) {
            plan.NewTables.push_back(table);
        } else if (table->StateModified) {
            auto* previous = static_cast<TVELEntity*>(counterpart(*table));
            plan.Changed.emplace_back(table, previous);
            if (MustRecreateTable(*table, *previous)) plan.Recreated.insert(table);
        }
    }
    {
        std::vector<TVELEntity*> oldTables = OfClass<TVELEntity>(old);
        std::erase_if(oldTables, [this](const TVELEntity* t) { return !t->StateGone || !IsSelected(*t); });
        plan.DropTables.assign(oldTables.rbegin(), oldTables.rend());
    }
    // The foreign keys into and out of a table go and come back when it is recreated, when its
    // key changes or when one of its columns changes its type or goes.
    std::unordered_set<int32_t> keysMoved;
    for (const auto& [table, previous] : plan.Changed) {
        bool moved = plan.Recreated.count(table) > 0 || table->PrimaryKey->StateModified ||
                     table->PrimaryKey->StateNew || previous->PrimaryKey->StateGone;
        for (int i = 0; i < previous->Attributes.Count() && !moved; ++i) {
            const TVELAttribute* b = previous->AttributeAt(i);
            const TVELAttribute* a = table->FindAttribute(b->ID);
            moved = !a || Filler.FillColumn(*a, "%datatype%") != Filler.FillColumn(*b, "%datatype%");
        }
        if (moved) keysMoved.insert(table->ID);
    }
    auto selected = [this](const TVELRelationship* r) {
        return r->FKConstraint->IsInUse() && IsSelected(*r) && r->GetParentEntity() && r->GetChildEntity() &&
               IsSelected(*r->GetParentEntity()) && IsSelected(*r->GetChildEntity());
    };
    for (TVELRelationship* r : OfClass<TVELRelationship>(Model)) {
        auto* previous = static_cast<TVELRelationship*>(counterpart(*r));
        const bool rebuilt = r->StateModified || keysMoved.count(r->ParentObjectID) || keysMoved.count(r->ChildObjectID);
        if (rebuilt && !keysMoved.count(r->ParentObjectID) && !keysMoved.count(r->ChildObjectID) &&
            renamedOnly_.count(r)) {
            if (selected(r)) plan.RenameKeys.push_back(r);
            continue;
        }
        if (previous && rebuilt && previous->FKConstraint->IsInUse() && !previous->GetChildEntity()->StateGone)
            plan.DropKeys.push_back(previous);
        if ((r->StateNew || rebuilt) && selected(r)) plan.AddKeys.push_back(r);
    }
    for (TVELRelationship* r : OfClass<TVELRelationship>(old))
        if (r->StateGone && IsSelected(*r) && r->FKConstraint->IsInUse() && r->GetChildEntity() &&
            !r->GetChildEntity()->StateGone)
            plan.DropKeys.push_back(r);
    // Triggers: changed ones, and all of a recreated table (the table takes them with it).
    for (const TVELEntity* table : SelectedTables()) {
        const TVELEntity* previous = table->StateInBoth ? static_cast<const TVELEntity*>(counterpart(*table)) : nullptr;
        const bool recreated = plan.Recreated.count(table) > 0;
        for (int i = 0; i < table->Triggers.Count(); ++i) {
            TVELTrigger* t = table->TriggerAt(i);
            if (!HasCode(*t)) continue;
            if (t->StateNew || t->StateModified || recreated || table->StateNew) plan.AddTriggers.push_back(t);
            if ((t->StateModified || (recreated && t->StateInBoth)) && previous)
                plan.DropTriggers.push_back(previous->FindTrigger(t->ID));
        }
        if (previous)
            for (int i = 0; i < previous->Triggers.Count(); ++i)
                if (previous->TriggerAt(i)->StateGone) plan.DropTriggers.push_back(previous->TriggerAt(i));
    }
    // Views are rebuilt when they change or mention a table that changes or goes.
    std::vector<std::string> touched;
    for (const auto& [table, previous] : plan.Changed) {
        touched.push_back(previous->GetName());
        touched.push_back(table->GetName());
    }
    for (const TVELEntity* t : plan.DropTables) touched.push_back(t->GetName());
    auto mentionsTouched = [&touched](const TVELCodeObject& o) {
        const std::string code = UpperCase(o.Code);
        return std::any_of(touched.begin(), touched.end(), [&code](const std::string& n) { return MentionsName(code, n); });
    };
    // Code objects and sequences: new ones added, gone ones dropped, changed ones both.
    auto plan3 = [&](auto tag, auto& drops, auto& adds, bool followTables) {
        using T = std::remove_pointer_t<typename std::decay_t<decltype(drops)>::value_type>;
        (void)tag;
        std::vector<T*> current = OfClass<T>(Model), previous = OfClass<T>(old);
        SortByPosition(current);
        SortByPosition(previous);
        std::unordered_set<int32_t> rebuilt;
        for (T* o : current) {
            if (!IsSelected(*o)) continue;
            const bool again = o->StateModified || (followTables && o->StateInBoth && mentionsTouched(*o));
            if (o->StateNew || again) adds.push_back(o);
            if (again) rebuilt.insert(o->ID);
        }
        // Dependents first: the reverse of the creation order.
        for (auto it = previous.rbegin(); it != previous.rend(); ++it)
            if (((*it)->StateGone && IsSelected(**it)) || rebuilt.count((*it)->ID)) drops.push_back(*it);
    };
    plan3(0, plan.DropViews, plan.AddViews, true);
    plan3(0, plan.DropProcedures, plan.AddProcedures, false);
    plan3(0, plan.DropRules, plan.AddRules, true);
    // A changed sequence is altered where the target can (it keeps its value), else dropped
    // and created again.
    std::unordered_set<int32_t> altered;
    for (TVELSequence* s : OfClass<TVELSequence>(Model)) {
        if (!IsSelected(*s)) continue;
        if (s->StateModified) {
            std::string statement = AlterSequenceStatement(*s, *static_cast<TVELSequence*>(counterpart(*s)));
            if (!statement.empty()) {
                plan.AlterSequences.emplace_back(s, std::move(statement));
                altered.insert(s->ID);
                continue;
            }
        }
        if (s->StateNew || s->StateModified) plan.AddSequences.push_back(s);
    }
    SortByPosition(plan.AddSequences);
    for (TVELSequence* s : OfClass<TVELSequence>(old))
        if (IsSelected(*s) && (s->StateGone || (s->StateModified && !altered.count(s->ID)))) plan.DropSequences.push_back(s);
    for (TVELDomain* d : OfClass<TVELDomain>(Model)) {
        if (!IsSelected(*d)) continue;
        if (d->StateNew) plan.AddDomains.push_back(d);
        if (d->StateModified) plan.ChangedDomains.emplace_back(d, static_cast<TVELDomain*>(counterpart(*d)));
    }
    for (TVELDomain* d : OfClass<TVELDomain>(old))
        if (d->StateGone && IsSelected(*d)) plan.DropDomains.push_back(d);
}

bool TDBRestructure::GenerateAlterScript() {
    if (!OldModel) throw EVELError("No old model to compare with.");
    const TVELDataDictionary::TBulkScope bulk(Model);
    const TVELDataDictionary::TBulkScope oldBulk(*OldModel);
    const int errorsBefore = ErrorCount;
    unselected_.clear();
    for (const std::string& id : SplitString(Options.GetValue("UNSELECTEDOBJECTS"), ','))
        if (int32_t value = 0; TryStrToInt(id, value)) unselected_.insert(value);
    oldLookup_ = std::make_unique<TVELDictionaryOldModel>(*OldModel);
    Filler.OldModel = oldLookup_.get();
    DroppedTables.clear();
    DroppedColumns.clear();
    RecreatedTables.clear();

    written_ = 0;
    pendingHeading_.clear();
    MarkChanges();
    TAlterPlan plan;
    PlanAlter(plan);
    ClearGenerationMarks(Model);
    ClearGenerationMarks(*OldModel);
    Log(mlInfo, "Modify " + Settings.DBMSName + " database.");
    Log(mlInfo, "Date/time: " + LogDateTime());
    if (WriteToScript && WriteHeader && !Option("EXCLUDEHEADER")) WriteScriptHeader("Alter database script");
    OpenConnection();
    if (WriteToScript) WriteDatabaseScript("BEGINALTERDATABASESCRIPT");

    // Drops of objects that go or are rebuilt; filled from the old model.
    BeginSection(Caption("DROPTRIGGERS"));
    for (TVELTrigger* t : plan.DropTriggers) ObjectStep(*t, true, [&] { DropTrigger(*t); });
    BeginSection(Caption("DROPPROCEDURES"));
    for (TVELProcedure* p : plan.DropProcedures) ObjectStep(*p, true, [&] { DropProcedure(*p); });
    BeginSection(Caption("DROPVIEWS"));
    for (TVELView* v : plan.DropViews) ObjectStep(*v, true, [&] { DropView(*v); });
    BeginSection(Caption("DROPSEQUENCES"));
    for (TVELSequence* s : plan.DropSequences) ObjectStep(*s, true, [&] { DropSequence(*s); });
    BeginSection(Caption("DROPRULES"));
    for (TVELRule* r : plan.DropRules) ObjectStep(*r, true, [&] { DropRule(*r); });
    BeginSection(Caption("DROPFOREIGNKEYCONSTRAINTS"));
    for (TVELRelationship* r : plan.DropKeys) ObjectStep(*r, true, [&] { DropForeignKey(*r); });

    BeginSection(Caption("ADDSEQUENCES"));
    for (TVELSequence* s : plan.AddSequences) ObjectStep(*s, false, [&] { AddSequence(*s); });
    BeginSection(Caption("ALTERSEQUENCES"));
    for (auto& [s, statement] : plan.AlterSequences)
        AlterObjectStep(*s, "Problem altering sequence " + s->GetNonQuotedQualifiedName(), [&] { Write(statement); });
    BeginSection(Caption("ADDDOMAINS"));
    for (TVELDomain* d : plan.AddDomains) ObjectStep(*d, false, [&] { AddDomain(*d); });
    for (auto& [domain, previous] : plan.ChangedDomains) AlterDomainStep(*domain, *previous);

    // Tables.
    for (TVELEntity* t : plan.DropTables) {
        BeginSection(ObjectCaption("DROPTABLE", *t));
        DroppedTables.push_back(t->GetNonQuotedQualifiedName());
        ObjectStep(*t, true, [&] { DropTable(*t); });
    }
    for (TVELEntity* t : plan.NewTables) TableStep(*t);
    for (auto& [table, previous] : plan.Changed) {
        if (plan.Recreated.count(table))
            RecreateTableStep(*table, *previous);
        else
            AlterTableStep(*table, *previous);
    }
    pendingHeading_.clear();

    BeginSection(Caption("DROPDOMAINS"));
    for (TVELDomain* d : plan.DropDomains) ObjectStep(*d, true, [&] { DropDomain(*d); });

    BeginSection(Caption("ADDFOREIGNKEYCONSTRAINTS"));
    for (TVELRelationship* r : plan.RenameKeys) {
        const auto* previous = static_cast<const TVELRelationship*>(OldModel->FindSameObject(r));
        RenameStep(*r, *previous,
                   Filler.FillConstraint(*r->FKConstraint, Filler.Template(RenameConstraintTemplate(*r->FKConstraint))));
    }
    for (TVELRelationship* r : plan.AddKeys)
        if (r->FKConstraint->GenerationMark != gmWrittenInline) ObjectStep(*r, false, [&] { AddForeignKey(*r); });

    BeginSection(Caption("REPAIRVIEWS"));
    for (TVELView* v : plan.AddViews) ObjectStep(*v, false, [&] { AddView(*v); });
    BeginSection(Caption("REPAIRPROCEDURES"));
    for (TVELProcedure* p : plan.AddProcedures) ObjectStep(*p, false, [&] { AddProcedure(*p); });
    BeginSection(Caption("REPAIRTRIGGERS"));
    for (TVELTrigger* t : plan.AddTriggers) ObjectStep(*t, false, [&] { AddTrigger(*t); });
    BeginSection(Caption("REPAIRRULES"));
    for (TVELRule* r : plan.AddRules) ObjectStep(*r, false, [&] { AddRule(*r); });

    // Comments of the other objects that stayed.
    // (An object created again has its comment already.)
    auto comment = [this](TVELDatabaseObject& o, const auto& rebuilt, bool supported, const char* tmpl, auto fill) {
        const auto* previous = OldModel->FindSameObject(&o);
        if (!supported || !previous || std::find(rebuilt.begin(), rebuilt.end(), &o) != rebuilt.end() ||
            !TextChanged(o.Comment, previous->Comment) || Trim(o.Comment).empty())
            return;
        CommentStep(o, fill(Filler.Template(tmpl)));
    };
    for (TVELView* v : OfClass<TVELView>(Model))
        comment(*v, plan.AddViews, Settings.EnableViewComments, "SQLModifyViewComment",
                [&](const std::string& t) { return Filler.FillView(*v, t); });
    for (TVELProcedure* p : OfClass<TVELProcedure>(Model))
        comment(*p, plan.AddProcedures, Settings.EnableProcedureComments, "SQLModifyProcedureComment",
                [&](const std::string& t) { return Filler.FillProcedure(*p, t); });
    for (TVELSequence* s : OfClass<TVELSequence>(Model))
        comment(*s, plan.AddSequences, Settings.EnableSequenceComments, "SQLModifySequenceComment",
                [&](const std::string& t) { return Filler.FillSequence(*s, t); });
    pendingHeading_.clear();

    if (WriteToScript) WriteDatabaseScript("ENDALTERDATABASESCRIPT");
    if (!WriteToScript) Executor->Commit();
    Filler.OldModel = nullptr;
    return ErrorCount == errorsBefore;
}

bool TDBRestructure::AlterObjectStep(const TVELDatabaseObject& object, const std::string& failure,
                                     const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const EVELError& e) {
        Log(mlError, failure + ": " + e.what(), const_cast<TVELDatabaseObject*>(&object));
        return false;
    }
}

void TDBRestructure::AlterDomainStep(TVELDomain& domain, const TVELDomain& old) {
    BeginSection(ObjectCaption("ALTERDOMAIN", domain));
    AlterObjectStep(domain, "Problem altering domain " + domain.GetNonQuotedQualifiedName(),
                    [&] { AlterDomain(domain, old); });
}

void TDBRestructure::AlterDomain(TVELDomain& domain, const TVELDomain& old) {
    const bool defaultChanged = TextChanged(domain.DefaultValue(), old.DefaultValue());
    const bool checkChanged = TextChanged(domain.CheckValue(), old.CheckValue());
    const bool typeChanged = Filler.FillDomain(domain, "%datatype%") != Filler.FillDomain(old, "%datatype%");
    if (defaultChanged && !Trim(old.DefaultValue()).empty())
        Write(Filler.FillDomain(old, Filler.Template("SQLModifyDomainDropDefault")));
    if (checkChanged && !Trim(old.CheckValue()).empty())
        Write(Filler.FillDomain(old, Filler.Template("SQLModifyDomainDropCheck")));
    if (typeChanged) Write(Filler.FillDomain(domain, Filler.Template("SQLModifyDomainDataType")));
    if (checkChanged && !Trim(domain.CheckValue()).empty())
        Write(Filler.FillDomain(domain, Filler.Template("SQLModifyDomainAddCheck")));
    if (defaultChanged && !Trim(domain.DefaultValue()).empty())
        Write(Filler.FillDomain(domain, Filler.Template("SQLModifyDomainSetDefault")));
}

namespace {

// The template that drops a constraint of a kind.
const char* DropConstraintTemplate(const TVELConstraint& constraint) {
    switch (constraint.ConstraintType) {
    case ctPrimaryKey: return "SQLDropPKConstraint";
    case ctUnique: return "SQLDropUniqueConstraint";
    case ctCheck: return "SQLDropCheckConstraint";
    case ctForeignKey: return "SQLDropFKConstraint";
    default: return "SQLDropConstraint";
    }
}

// The columns of a constraint as the server names them; for a check without columns of its
// own, the columns of the table its expression mentions.
std::vector<std::string> ConstraintColumnNames(const TVELConstraint& constraint, const TVELEntity& table,
                                               const TVELDatabaseSettings& settings) {
    std::vector<std::string> names;
    std::vector<int32_t> ids = constraint.AttributeIDs.IDs();
    if (const TVELForeignKeySource* source = constraint.ForeignKeySource()) {
        std::vector<std::pair<int32_t, int32_t>> pairs;
        source->ForeignKeyPairs(pairs);
        ids.clear();
        for (const auto& [parent, child] : pairs) ids.push_back(child);
    }
    for (int32_t id : ids)
        if (const TVELAttribute* column = table.FindAttribute(id)) names.push_back(settings.StripQuotes(column->GetName()));
    if (names.empty() && constraint.ConstraintType == ctCheck) {
        const std::string code = UpperCase(constraint.Value);
        for (int i = 0; i < table.Attributes.Count(); ++i)
            if (MentionsName(code, table.AttributeAt(i)->GetName()))
                names.push_back(settings.StripQuotes(table.AttributeAt(i)->GetName()));
    }
    return names;
}

}  // namespace

std::string TDBRestructure::DropConstraintStatement(const TVELConstraint& constraint) {
    if (Trim(constraint.GetName()).empty()) return DropUnnamedConstraint(constraint);
    return Filler.FillConstraint(constraint, Filler.Template(DropConstraintTemplate(constraint)));
}

std::string TDBRestructure::DropUnnamedConstraint(const TVELConstraint& constraint) {
    return Filler.FillConstraint(constraint, Filler.Template(DropConstraintTemplate(constraint)));
}

std::string TDBRestructure::AddConstraintStatement(const TVELConstraint& constraint) {
    const char* name = nullptr;
    switch (constraint.ConstraintType) {
    case ctPrimaryKey: name = "SQLAddPKConstraint"; break;
    case ctUnique: name = "SQLAddUniqueConstraint"; break;
    case ctCheck: name = "SQLAddCheckConstraint"; break;
    default: return {};
    }
    return Filler.FillConstraint(constraint, Filler.Template(name));
}

const char* TDBRestructure::RenameConstraintTemplate(const TVELConstraint& constraint) {
    return constraint.ConstraintType == ctForeignKey ? "SQLRenameFKConstraint" : "SQLRenameConstraint";
}

bool TDBRestructure::CanRename(const TVELConstraint& constraint, const TVELConstraint& old) const {
    return !Trim(constraint.GetName()).empty() && !Trim(old.GetName()).empty() &&
           constraint.GetName() != old.GetName() && !Trim(Filler.Template(RenameConstraintTemplate(constraint))).empty();
}

void TDBRestructure::RenameStep(const TVELDatabaseObject& object, const TVELDatabaseObject& old,
                                const std::string& statement) {
    const int before = written_;
    if (AlterObjectStep(object, "Problem renaming " + LowerFirst(KindText(object)) + " " + LogName(old),
                        [&] { Write(statement); }) &&
        written_ != before)
        Log(mlInfo, KindText(object) + " " + LogName(old) + " renamed to \"" + LogName(object) + "\".",
            const_cast<TVELDatabaseObject*>(&object));
}

void TDBRestructure::DropMember(const TVELDatabaseObject& object, const std::string& statement) {
    ObjectStep(object, true, [&] { Write(statement); });
}

void TDBRestructure::AddMemberConstraint(TVELConstraint& constraint) {
    ObjectStep(constraint, false, [&] { Write(AddConstraintStatement(constraint)); });
}

void TDBRestructure::AlterTableStep(TVELEntity& table, TVELEntity& old) {
    BeginSection(ObjectCaption("ALTERTABLE", table));
    BeforeAlterTable(table, old);
    // 1. What goes or changes: indexes, constraints, then columns.
    // Indexes and constraints that only changed their names are renamed in step 6 instead.
    for (int i = 0; i < old.Indexes.Count(); ++i) {
        const TVELIndex* index = old.IndexAt(i);
        const auto* same = static_cast<const TVELIndex*>(table.Indexes.FindByID(index->ID));
        if (index->StateModified && renamedOnly_.count(same)) continue;
        if (index->StateGone || index->StateModified)
            DropMember(*index, Filler.FillIndex(*index, Filler.Template("SQLDropIndex")));
    }
    const auto constraints = KeyedConstraints(table);
    for (const auto& [key, c] : KeyedConstraints(old)) {
        // A gone column takes its check with it.
        const TVELAttribute* checked = key[0] == 'c' ? c->AttributeIDs.AttributeAt(0) : nullptr;
        if (key[0] == 'c' && (!checked || !table.FindAttribute(checked->ID))) continue;
        if (c->StateModified && renamedOnly_.count(FindKeyed(constraints, key))) continue;
        if (c->StateGone || c->StateModified) DropMember(*c, DropConstraintStatement(*c));
    }
    for (int i = 0; i < old.Attributes.Count(); ++i) {
        const TVELAttribute* column = old.AttributeAt(i);
        if (!column->StateGone) continue;
        DroppedColumns.push_back(old.GetNonQuotedQualifiedName() + "." + column->GetName());
        DropMember(*column, Filler.FillColumn(*column, Filler.Template("SQLDropColumn")));
    }
    // 2. The name.
    if (table.GetName() != old.GetName() || table.SchemaName != old.SchemaName) {
        // A table that moves to another schema is moved there where the target can; a rename
        // then finds it under its old name in the new schema.
        const bool moves = table.SchemaName != old.SchemaName && !Trim(table.SchemaName).empty() &&
                           !Trim(Filler.Template("SQLChangeTableSchema")).empty();
        const std::string movedName = Settings.QuoteDDL(Trim(table.SchemaName) + "." + old.GetName());
        const TVELFillValues moved = {{"oldtablename", movedName}, {"oldquotedqualifiedtablename", movedName}};
        const int before = written_;
        if (AlterObjectStep(table, "Problem renaming " + LowerFirst(KindText(table)) + " " + LogName(old), [&] {
                if (moves) {
                    if (Settings.EnableSchemas) AddSchema(Trim(table.SchemaName));
                    Write(Filler.FillTable(table, Filler.Template("SQLChangeTableSchema")));
                }
                if (!moves || table.GetName() != old.GetName())
                    Write(Filler.FillTable(table, Filler.Template("SQLRenameTable"), moves ? &moved : nullptr));
            }) &&
            written_ != before)
            Log(mlInfo, KindText(table) + " " + LogName(old) + " renamed to \"" + LogName(table) + "\".", &table);
    }
    // 3. New columns.
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        TVELAttribute* column = table.AttributeAt(i);
        if (!column->StateNew) continue;
        // The name the model gives the column's default, for targets that name it inline.
        const std::string defaultName = Trim(column->DefaultConstraint()->GetName());
        const bool named = !defaultName.empty() && !Trim(column->DefaultValue()).empty();
        const TVELFillValues values = {
            {"defaultconstraintname", named ? Settings.QuoteDDL(defaultName) : std::string()}};
        if (NeedsFilling(*column)) {
            AddNotNullColumn(table, *column, values);
            continue;
        }
        ObjectStep(*column, false, [&] { Write(Filler.FillColumn(*column, Filler.Template("SQLAddColumn"), &values)); });
    }
    // 4. Columns in both versions.
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        TVELAttribute* column = table.AttributeAt(i);
        const TVELAttribute* previous = column->StateInBoth ? old.FindAttribute(column->ID) : nullptr;
        if (!previous || !column->StateModified) continue;
        AlterObjectStep(*column, "Problem modifying column " + column->GetName(), [&] {
            if (column->GetName() != previous->GetName()) RenameColumn(*column, *previous);
            AlterColumn(*column, *previous);
        });
    }
    // 5. Positions.
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        TVELAttribute* column = table.AttributeAt(i);
        if (!column->StatePositionChanged) continue;
        const int before = written_;
        if (AlterObjectStep(*column, "Problem modifying the position of column " + column->GetName(),
                            [&] { Write(Filler.FillColumn(*column, Filler.Template("SQLModifyPosition"))); }) &&
            written_ != before)
            Log(mlInfo, "Position of column \"" + column->GetName() + "\" modified.", column);
    }
    // 6. New and changed constraints and indexes.
    for (const auto& [key, c] : constraints) {
        if (renamedOnly_.count(c))
            RenameStep(*c, *FindKeyed(KeyedConstraints(old), key),
                       Filler.FillConstraint(*c, Filler.Template(RenameConstraintTemplate(*c))));
        else if (c->StateNew || c->StateModified)
            AddMemberConstraint(*c);
    }
    for (int i = 0; i < table.Indexes.Count(); ++i) {
        TVELIndex* index = table.IndexAt(i);
        if (renamedOnly_.count(index))
            RenameStep(*index, *static_cast<const TVELIndex*>(old.Indexes.FindByID(index->ID)),
                       Filler.FillIndex(*index, Filler.Template("SQLRenameIndex")));
        else if (index->StateNew || index->StateModified)
            ObjectStep(*index, false, [&] { AddIndex(*index); });
    }
    AfterAlterTable(table, old);
    // 7. Comments.
    ChangedComments(table, old);
    pendingHeading_.clear();
}

bool TDBRestructure::NeedsFilling(const TVELAttribute& column) const {
    return column.IsNotNull() && !column.IsIdentity() && Trim(column.DefaultValue()).empty() &&
           !Trim(Filler.Template("SQLModifyColumnSetNotNull")).empty();
}

void TDBRestructure::AddNotNullColumn(TVELEntity& table, TVELAttribute& column, TVELFillValues values) {
    // The rows the table already holds have no value for the column, and a server refuses
    // NOT NULL (or makes up a value of its own) for them. The column comes nullable; when its
    // type has a plain empty value the rows take it and NOT NULL follows, otherwise NOT NULL is
    // left for the user to set once the rows are filled.
    values.emplace_back("notnull", "");
    const std::string value = EmptyValue(column);
    const std::string message = FillingMessage(table, column, value);
    if (WriteToScript && WriteRemarks && !Option("EXCLUDEREMARKS")) {
        FlushHeading();
        Script.emplace_back();
        WriteCommentLine(message);
    }
    ObjectStep(column, false, [&] {
        Write(Filler.FillColumn(column, Filler.Template("SQLAddColumn"), &values));
        if (value.empty()) return;
        const std::string quoted = Settings.QuoteDDL(column.GetName());
        Write("UPDATE " + Filler.FillTable(table, "%tablename%") + " SET " + quoted + " = " + value + " WHERE " + quoted +
              " IS NULL" + TerminatorOf(Settings));
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumnSetNotNull")));
    });
    Log(mlWarning, message, &column);
}

std::string TDBRestructure::FillingMessage(const TVELEntity& table, const TVELAttribute& column,
                                           const std::string& value) {
    const std::string start =
        "Column \"" + LogName(table) + "." + column.GetName() + "\" is NOT NULL without a default: ";
    return value.empty() ? start + "it is added as nullable. Fill it, then set it NOT NULL."
                         : start + "the rows the table holds are given " + value + " before NOT NULL is set.";
}

std::string TDBRestructure::EmptyValue(const TVELAttribute& column) const {
    const TSLDatatypes* types = Model.GetDataTypes();
    switch (types ? types->TypeGroup(column.DataType->DataType) : tgUnknown) {
    case tgExactNumeric:
    case tgApproximateNumeric: return "0";
    case tgString: return "''";
    default: return {};
    }
}

void TDBRestructure::ChangedComments(TVELEntity& table, const TVELEntity& old) {
    auto write = [this](TVELDatabaseObject& object, const std::string& now, const std::string& before,
                        const char* add, const char* modify, const char* drop, auto fill) {
        if (!TextChanged(now, before)) return;
        const std::string tmpl = Trim(now).empty() ? Filler.Template(drop)
                                 : Trim(before).empty() && !Trim(Filler.Template(add)).empty() ? Filler.Template(add)
                                                                                               : Filler.Template(modify);
        CommentStep(object, fill(tmpl));
    };
    if (Settings.EnableTableComments)
        write(table, table.Comment, old.Comment, "SQLAddTableComment", "SQLModifyTableComment", "SQLDropTableComment",
              [&](const std::string& t) { return Filler.FillTable(table, t); });
    if (!Settings.EnableColumnComments) return;
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        TVELAttribute* column = table.AttributeAt(i);
        const TVELAttribute* previous = old.FindAttribute(column->ID);
        const std::string before = previous ? previous->Comment : std::string();
        // A new column's statement may have written its comment already.
        if (!previous && column->GenerationMark == gmWrittenInline) continue;
        write(*column, column->Comment, before, "SQLAddColumnComment", "SQLModifyColumnComment",
              "SQLDropColumnComment", [&](const std::string& t) { return Filler.FillColumn(*column, t); });
    }
}

void TDBRestructure::RecreateTableStep(TVELEntity& table, TVELEntity& old) {
    BeginSection(ObjectCaption("DROPANDRECREATETABLE", table));
    RecreatedTables.push_back(table.GetNonQuotedQualifiedName());
    BeforeRecreateTable(table, old);
    const bool keepsName = table.GetName() == old.GetName() && table.SchemaName == old.SchemaName;
    const std::string finalName = Settings.QuoteDDL(table.SchemaName.empty() ? table.GetName()
                                                                              : table.SchemaName + "." + table.GetName());
    const std::string tempName =
        keepsName ? Settings.QuoteDDL((table.SchemaName.empty() ? "" : table.SchemaName + ".") + table.GetName() + "_TMP")
                  : finalName;
    AlterObjectStep(table, "Problem recreating table \"" + LogName(table) + "\"", [&] {
        // 1. The old constraints, whose names the new table takes.
        for (const auto& [key, c] : KeyedConstraints(old))
            if (!Trim(c->GetName()).empty()) Write(DropConstraintStatement(*c));
        // 2.-3. The new table, under a temporary name while the old one still stands. A target
        // that cannot rename a table copies the data twice: the temporary table, without the
        // key whose name the final one takes, holds them while the table is built again under
        // its own name.
        const bool copyBack = keepsName && Trim(Filler.Template("SQLRenameTable")).empty();
        TVELFillValues tempValues = {{"tablename", tempName}};
        if (copyBack) tempValues.emplace_back("pkconstraint", "");
        Write(Filler.FillTable(table, Filler.Template("SQLCreateTempTable"), &tempValues));
        // 4.-5. The data of the columns present in both.
        std::vector<std::string> into, select;
        for (int i = 0; i < table.Attributes.Count(); ++i) {
            const TVELAttribute* column = table.AttributeAt(i);
            if (const TVELAttribute* previous = old.FindAttribute(column->ID)) {
                into.push_back(Settings.QuoteDDL(column->GetName()));
                select.push_back(CopyColumn(*column, *previous));
            } else if (column->IsNotNull() && !column->IsIdentity() && Trim(column->DefaultValue()).empty()) {
                // A new NOT NULL column without a default takes the empty value of its type.
                if (const std::string value = EmptyValue(*column); !value.empty()) {
                    into.push_back(Settings.QuoteDDL(column->GetName()));
                    select.push_back(value);
                    Log(mlWarning, FillingMessage(table, *column, value), const_cast<TVELAttribute*>(column));
                }
            }
        }
        if (!into.empty()) {
            BeforeCopyData(table, tempName);
            const TVELFillValues copyValues = {
                {"tablename", tempName}, {"intofields", JoinStrings(into, ",")}, {"selectfields", JoinStrings(select, ",")}};
            Write(Filler.FillTable(table, Filler.Template("SQLCopyData"), &copyValues));
            AfterCopyData(table, tempName);
        }
        // 6. The old table with its indexes.
        for (int i = 0; i < old.Indexes.Count(); ++i) Write(Filler.FillIndex(*old.IndexAt(i), Filler.Template("SQLDropIndex")));
        Write(Filler.FillTable(old, Filler.Template("SQLDropTable")));
        // 7. The table under its own name.
        if (copyBack) {
            const TVELFillValues finalValues = {{"tablename", finalName}};
            Write(Filler.FillTable(table, Filler.Template("SQLCreateTempTable"), &finalValues));
            if (!into.empty()) {
                BeforeCopyData(table, finalName);
                const TVELFillValues copyValues = {{"tablename", finalName},
                                                   {"oldtablename", tempName},
                                                   {"intofields", JoinStrings(into, ",")},
                                                   {"selectfields", JoinStrings(into, ",")}};
                Write(Filler.FillTable(table, Filler.Template("SQLCopyData"), &copyValues));
                AfterCopyData(table, finalName);
            }
            Write(Filler.FillTable(table, Filler.Template("SQLDropTable"), &tempValues));
        } else if (keepsName) {
            const TVELFillValues renameValues = {{"oldtablename", tempName}, {"oldquotedqualifiedtablename", tempName}};
            Write(Filler.FillTable(table, Filler.Template("SQLRenameTable"), &renameValues));
        }
    });
    // 8. Constraints not written with the table (foreign keys follow later), indexes, comments.
    for (const auto& [key, c] : KeyedConstraints(table))
        if (c->GenerationMark != gmWrittenInline) AddMemberConstraint(*c);
    for (int i = 0; i < table.Indexes.Count(); ++i) {
        TVELIndex* index = table.IndexAt(i);
        ObjectStep(*index, false, [&] { AddIndex(*index); });
    }
    AddTableComment(table);
    AddColumnComments(table);
    AfterRecreateTable(table, old);
    pendingHeading_.clear();
}

// ---- the virtual steps of the alter pass ----------------------------------------------------------

bool TDBRestructure::MustRecreateTable(const TVELEntity&, const TVELEntity&) { return false; }
void TDBRestructure::BeforeAlterTable(TVELEntity&, const TVELEntity&) {}
void TDBRestructure::AfterAlterTable(TVELEntity&, const TVELEntity&) {}
void TDBRestructure::BeforeRecreateTable(TVELEntity&, const TVELEntity&) {}
void TDBRestructure::AfterRecreateTable(TVELEntity&, const TVELEntity&) {}
void TDBRestructure::BeforeCopyData(TVELEntity&, const std::string&) {}
void TDBRestructure::AfterCopyData(TVELEntity&, const std::string&) {}

std::string TDBRestructure::CopyColumn(const TVELAttribute&, const TVELAttribute& old) {
    return Settings.QuoteDDL(old.GetName());
}

std::string TDBRestructure::AlterSequenceStatement(const TVELSequence&, const TVELSequence&) { return {}; }

namespace {

// How a target's ALTER SEQUENCE writes the properties it can change.
struct TSequenceSyntax {
    bool IntegerType = false;  // AS type
    bool Bounds = false;       // MINVALUE, MAXVALUE, START WITH, CYCLE, CACHE
    const char* NoCache = "";  // the clause that takes the cache away
};

// ALTER SEQUENCE with the changed properties of a sequence that keeps its name; empty when a
// change is beyond the syntax, or when the comment changed and the target writes it only with
// CREATE SEQUENCE.
std::string AlterSequenceText(TVELTemplateFiller& filler, const TVELSequence& s, const TVELSequence& old,
                              const TSequenceSyntax& syntax) {
    if (s.GetName() != old.GetName() || s.SchemaName != old.SchemaName) return {};
    if (TextChanged(s.Comment, old.Comment) && filler.Template("SQLCreateSequence").find("%seqcomment%") != std::string::npos)
        return {};
    std::string clauses;
    bool beyond = false;
    auto change = [&](bool changed, bool supported, const std::string& clause) {
        if (!changed) return;
        if (supported)
            clauses += " " + clause;
        else
            beyond = true;
    };
    auto value = [](const std::string& v, const char* keyword) {
        return Trim(v).empty() ? std::string("NO ") + keyword : std::string(keyword) + " " + Trim(v);
    };
    change(TextChanged(s.IntegerType, old.IntegerType), syntax.IntegerType && !Trim(s.IntegerType).empty(),
           "AS " + Trim(s.IntegerType));
    change(s.Increment != old.Increment, true, "INCREMENT BY " + std::to_string(s.Increment));
    change(TextChanged(s.Min, old.Min), syntax.Bounds, value(s.Min, "MINVALUE"));
    change(TextChanged(s.Max, old.Max), syntax.Bounds, value(s.Max, "MAXVALUE"));
    change(s.Seed != old.Seed, syntax.Bounds, "START WITH " + std::to_string(s.Seed));
    change(TextChanged(s.Cache, old.Cache), syntax.Bounds,
           Trim(s.Cache).empty() ? std::string(syntax.NoCache) : "CACHE " + Trim(s.Cache));
    change(TextChanged(s.Cycle, old.Cycle), syntax.Bounds, Trim(s.Cycle).empty() ? "NO CYCLE" : Trim(s.Cycle));
    if (beyond || clauses.empty()) return {};
    return "ALTER SEQUENCE " + filler.FillSequence(s, "%seqname%") + clauses + TerminatorOf(filler.Settings());
}

}  // namespace

void TDBRestructure::RenameColumn(TVELAttribute& column, const TVELAttribute&) {
    Write(Filler.FillColumn(column, Filler.Template("SQLRenameColumn")));
}

void TDBRestructure::AlterColumn(TVELAttribute& column, const TVELAttribute& old) {
    if (column.IsNotNull() != old.IsNotNull())
        Write(Filler.FillColumn(column, Filler.Template(column.IsNotNull() ? "SQLModifyColumnSetNotNull"
                                                                           : "SQLModifyColumnDropNotNull")));
    const bool typeChanged = Filler.FillColumn(column, "%datatype%") != Filler.FillColumn(old, "%datatype%");
    if (typeChanged) {
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumnDataType")));
        if (Collect || OnLog) Log(mlInfo, "Data type for column \"" + column.GetName() + "\" modified.", &column);
    }
    if (TextChanged(column.DefaultValue(), old.DefaultValue()))
        Write(Filler.FillColumn(column, Filler.Template(Trim(column.DefaultValue()).empty() ? "SQLModifyColumnDropDefault"
                                                                                              : "SQLModifyColumnSetDefault")));
    if (TextChanged(column.Collate, old.Collate) || TextChanged(column.AttributeOptions, old.AttributeOptions))
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumn")));
}

namespace {

// Whether a column moved among the columns of both versions, or a new column stands before an
// existing one.
bool ColumnOrderChanged(const TVELEntity& table) {
    bool seenNew = false;
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        if (column->StatePositionChanged || (seenNew && !column->StateNew)) return true;
        seenNew = seenNew || column->StateNew;
    }
    return false;
}

}  // namespace

bool TPostgreSQLRestructure::MustRecreateTable(const TVELEntity& table, const TVELEntity& old) {
    if (ColumnOrderChanged(table)) return true;
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        const TVELAttribute* previous = old.FindAttribute(column->ID);
        if (previous && (SameText(column->DataType->DataType, "SERIAL") != SameText(previous->DataType->DataType, "SERIAL") ||
                         SameText(column->DataType->DataType, "BIGSERIAL") != SameText(previous->DataType->DataType, "BIGSERIAL")))
            return true;
    }
    return false;
}

std::string TPostgreSQLRestructure::NumberAfterRows(const TVELAttribute& column, const std::string& tableName) const {
    const std::string name = Settings.QuoteDDL(column.GetName());
    const TVELDataType& type = *column.DataType;
    // An identity column starts at its start value at the earliest; a serial one at 1.
    const std::string next = column.IsIdentity() && type.Seed != 0
                                 ? "GREATEST(COALESCE(MAX(" + name + ") + " + IntToStr(type.Increment) + ", " +
                                       IntToStr(type.Seed) + "), " + IntToStr(type.Seed) + ")"
                                 : "COALESCE(MAX(" + name + "), 0) + 1";
    return "SELECT setval(pg_get_serial_sequence('" + ReplaceAll(tableName, "'", "''") + "', '" +
           ReplaceAll(Settings.StripQuotes(column.GetName()), "'", "''") + "'), " + next + ", false) FROM " + tableName +
           TerminatorOf(Settings);
}

void TPostgreSQLRestructure::AfterCopyData(TVELEntity& table, const std::string& tableName) {
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        if (column->IsIdentity() || UpperCase(column->DataType->DataType).find("SERIAL") != std::string::npos)
            Write(NumberAfterRows(*column, tableName));
    }
}

void TPostgreSQLRestructure::AlterColumn(TVELAttribute& column, const TVELAttribute& old) {
    const bool identity = column.IsIdentity(), wasIdentity = old.IsIdentity();
    if (!identity && !wasIdentity) {
        TDBRestructure::AlterColumn(column, old);
        return;
    }
    // The type text of an identity column holds its identity clause: the clause changes with
    // ADD GENERATED, SET and DROP IDENTITY, the type itself with SQLModifyColumnDataType. An
    // identity column has no default: an old one goes before the identity comes, a new one
    // after it went.
    const std::string alter = "ALTER TABLE %tablename% ALTER COLUMN %columnname%";
    if (wasIdentity && !identity) Write(Filler.FillColumn(column, alter + " DROP IDENTITY IF EXISTS%terminator%"));
    const bool defaultChanged = TextChanged(column.DefaultValue(), old.DefaultValue());
    if (defaultChanged && Trim(column.DefaultValue()).empty())
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumnDropDefault")));
    if (column.IsNotNull() != old.IsNotNull())
        Write(Filler.FillColumn(column, Filler.Template(column.IsNotNull() ? "SQLModifyColumnSetNotNull"
                                                                           : "SQLModifyColumnDropNotNull")));
    auto plainType = [this](const TVELAttribute& c) {
        return Filler.FillColumn(c, c.GetDomain() ? "%datatype%" : "%physicaldatatype%%arrayoptions%");
    };
    if (plainType(column) != plainType(old)) {
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumnDataType")));
        if (Collect || OnLog) Log(mlInfo, "Data type for column \"" + column.GetName() + "\" modified.", &column);
    }
    const TVELDataType& type = *column.DataType;
    const std::string numbers = "START WITH " + IntToStr(type.Seed) + " INCREMENT BY " + IntToStr(type.Increment);
    if (identity && !wasIdentity) {
        Write(Filler.FillColumn(column, alter + " ADD GENERATED BY DEFAULT AS IDENTITY (" + numbers + ")%terminator%"));
        // The numbers go on after the ones the rows hold.
        if (const TVELEntity* table = column.GetEntity())
            Write(NumberAfterRows(column, Filler.FillTable(*table, "%tablename%")));
    } else if (identity && (type.Seed != old.DataType->Seed || type.Increment != old.DataType->Increment)) {
        Write(Filler.FillColumn(column, alter + " SET INCREMENT BY " + IntToStr(type.Increment) + " SET START WITH " +
                                            IntToStr(type.Seed) + "%terminator%"));
    }
    if (defaultChanged && !Trim(column.DefaultValue()).empty())
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumnSetDefault")));
}

void TPostgreSQLRestructure::AfterRecreateTable(TVELEntity& table, const TVELEntity& old) {
    // Only a table built under a temporary name has sequences named after that.
    if (table.GetName() != old.GetName() || table.SchemaName != old.SchemaName) return;
    const std::string tableName = Filler.FillTable(table, "%tablename%");
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        if (!column->IsIdentity() && UpperCase(column->DataType->DataType).find("SERIAL") == std::string::npos) continue;
        const std::string columnName = Settings.StripQuotes(column->GetName());
        Write("DO $$BEGIN EXECUTE format('ALTER SEQUENCE %s RENAME TO %I', pg_get_serial_sequence('" +
              ReplaceAll(tableName, "'", "''") + "', '" + ReplaceAll(columnName, "'", "''") + "'), '" +
              ReplaceAll(Settings.StripQuotes(table.GetName()) + "_" + columnName + "_seq", "'", "''") + "'); END$$" +
              TerminatorOf(Settings));
    }
}

std::string TPostgreSQLRestructure::AlterSequenceStatement(const TVELSequence& sequence, const TVELSequence& old) {
    return AlterSequenceText(Filler, sequence, old, {.IntegerType = true, .Bounds = true, .NoCache = "CACHE 1"});
}

std::string TPostgreSQLRestructure::DropUnnamedConstraint(const TVELConstraint& constraint) {
    // The server names a key after its table and columns, a check after its table and the
    // column it mentions when it mentions only one.
    const TVELEntity* table = constraint.GetEntity();
    if (!table) return TDBRestructure::DropUnnamedConstraint(constraint);
    const std::vector<std::string> columns = ConstraintColumnNames(constraint, *table, Settings);
    std::string name = Settings.StripQuotes(table->GetName());
    switch (constraint.ConstraintType) {
    case ctPrimaryKey: name += "_pkey"; break;
    case ctUnique: name += "_" + JoinStrings(columns, "_") + "_key"; break;
    case ctCheck: name += (columns.size() == 1 ? "_" + columns[0] : std::string()) + "_check"; break;
    case ctForeignKey: name += "_" + JoinStrings(columns, "_") + "_fkey"; break;
    default: return TDBRestructure::DropUnnamedConstraint(constraint);
    }
    const TVELFillValues values = {{"constraintname", Settings.QuoteDDL(name)}};
    return Filler.FillConstraint(constraint, Filler.Template(DropConstraintTemplate(constraint)), &values);
}

std::string TMySQLRestructure::DropUnnamedConstraint(const TVELConstraint& constraint) {
    // The server names a unique key after its first column, a check written with a column
    // after the column, and the other checks of a table CONSTRAINT_1, CONSTRAINT_2 ... in order.
    const TVELEntity* table = constraint.GetEntity();
    if (!table) return TDBRestructure::DropUnnamedConstraint(constraint);
    const std::vector<std::string> columns = ConstraintColumnNames(constraint, *table, Settings);
    std::string name;
    if (constraint.ConstraintType == ctUnique && !columns.empty()) {
        name = columns[0];
    } else if (constraint.ConstraintType == ctCheck && table->Constraints.IndexOf(&constraint) < 0 && !columns.empty()) {
        name = columns[0];
    } else if (constraint.ConstraintType == ctCheck) {
        int number = 0;
        for (int i = 0; i < table->Constraints.Count(); ++i) {
            const TVELConstraint* c = table->ConstraintAt(i);
            if (c->ConstraintType == ctCheck && c->IsInUse() && Trim(c->GetName()).empty()) ++number;
            if (c == &constraint) break;
        }
        name = "CONSTRAINT_" + std::to_string(number);
    } else if (constraint.ConstraintType == ctForeignKey && OldModel) {
        // Foreign keys are numbered per table, in the order they were made.
        int number = 0;
        std::vector<TVELRelationship*> relationships;
        OldModel->CollectOfClass(relationships);
        for (const TVELRelationship* r : relationships) {
            if (r->GetChildEntity() != table || !r->FKConstraint->IsInUse()) continue;
            if (Trim(r->FKConstraint->GetName()).empty()) ++number;
            if (r->FKConstraint.get() == &constraint) break;
        }
        name = Settings.StripQuotes(table->GetName()) + "_ibfk_" + std::to_string(number);
    } else {
        return TDBRestructure::DropUnnamedConstraint(constraint);
    }
    const TVELFillValues values = {{"constraintname", Settings.QuoteDDL(name)}};
    return Filler.FillConstraint(constraint, Filler.Template(DropConstraintTemplate(constraint)), &values);
}

std::string TMySQLRestructure::AlterSequenceStatement(const TVELSequence& sequence, const TVELSequence& old) {
    return AlterSequenceText(Filler, sequence, old, {.Bounds = true, .NoCache = "NOCACHE"});
}

void TMySQLRestructure::AlterColumn(TVELAttribute& column, const TVELAttribute& old) {
    const std::string tmpl = Filler.Template("SQLCreateColumn");
    TVELFillValues sameName = {{"columnname", ""}};
    if (Filler.FillColumn(column, tmpl, &sameName) != Filler.FillColumn(old, tmpl, &sameName) ||
        column.IsIdentity() != old.IsIdentity())
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumn")));
}

void TMySQLRestructure::DropForeignKey(TVELRelationship& relationship) {
    TDBRestructure::DropForeignKey(relationship);
    const TVELEntity* child = relationship.GetChildEntity();
    if (!relationship.StateGone || !child) return;
    std::vector<TVELAttribute*> columns;
    relationship.ForeignKeyAttributes(columns);
    if (columns.empty()) return;
    // The index has the name of the foreign key, or of its first column when it has none.
    const std::string name = Trim(relationship.FKConstraint->GetName()).empty()
                                 ? columns[0]->GetName()
                                 : relationship.FKConstraint->GetName();
    // Whether the leading columns of a key or index are the foreign key's columns.
    auto leads = [&columns](const std::vector<TVELAttribute*>& key) {
        return key.size() >= columns.size() && std::equal(columns.begin(), columns.end(), key.begin());
    };
    std::vector<TVELAttribute*> key;
    child->PrimaryKeyAttributes(key);
    if (leads(key)) return;
    for (int i = 0; i < child->Indexes.Count(); ++i) {
        key.clear();
        child->IndexAt(i)->ColumnAttributes(key);
        if (leads(key)) return;
    }
    Write("DROP INDEX " + Settings.QuoteDDL(name) + " ON " +
          Filler.FillTable(*child, "%tablename%") + TerminatorOf(Settings));
}

bool TSQLiteRestructure::MustRecreateTable(const TVELEntity& table, const TVELEntity& old) {
    if (ColumnOrderChanged(table)) return true;
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        if (column->StateModified) {
            // Only a new name can be given in place.
            const TVELAttribute* previous = old.FindAttribute(column->ID);
            const std::string tmpl = Filler.Template("SQLCreateColumn");
            TVELFillValues sameName = {{"columnname", ""}};
            if (Filler.FillColumn(*column, tmpl, &sameName) != Filler.FillColumn(*previous, tmpl, &sameName))
                return true;
        }
        // ADD COLUMN takes neither keys nor NOT NULL without a default.
        if (column->StateNew && (column->IsPrimaryKey() || (column->IsNotNull() && Trim(column->DefaultValue()).empty())))
            return true;
    }
    for (int i = 0; i < old.Attributes.Count(); ++i)
        if (old.AttributeAt(i)->StateGone) return true;
    for (const auto& list : {KeyedConstraints(table), KeyedConstraints(old)})
        for (const auto& [key, c] : list)
            if (c->StateNew || c->StateModified || c->StateGone) return true;
    // Foreign keys live inside CREATE TABLE.
    std::vector<TVELRelationship*> relationships;
    Model.CollectOfClass(relationships);
    for (const TVELRelationship* r : relationships)
        if (r->ChildObjectID == table.ID && (r->StateNew || r->StateModified)) return true;
    OldModel->CollectOfClass(relationships);
    for (const TVELRelationship* r : relationships)
        if (r->ChildObjectID == old.ID && r->StateGone) return true;
    return false;
}

void TSQLiteRestructure::BeforeRecreateTable(TVELEntity&, const TVELEntity&) {
    Write("PRAGMA foreign_keys = OFF" + TerminatorOf(Settings));
    Write("PRAGMA legacy_alter_table = ON" + TerminatorOf(Settings));
}

void TSQLiteRestructure::AfterRecreateTable(TVELEntity&, const TVELEntity&) {
    Write("PRAGMA legacy_alter_table = OFF" + TerminatorOf(Settings));
    Write("PRAGMA foreign_keys = ON" + TerminatorOf(Settings));
}

// ---- the virtual steps ------------------------------------------------------------------------------

bool TDBRestructure::CreateDatabase(bool& created) {
    created = false;
    return true;
}

void TDBRestructure::BeforeTable(TVELEntity&) {}
void TDBRestructure::AfterTable(TVELEntity&) {}

void TDBRestructure::CreateTable(TVELEntity& table) {
    Write(Filler.FillTable(table, Filler.Template("SQLCreateTable")));
}

void TDBRestructure::AddSchema(const std::string& schema) {
    TVELEntity holder(&Model);
    holder.SchemaName = schema;
    Write(Filler.FillTable(holder, Filler.Template("SQLAddSchema")));
}

void TDBRestructure::AddSequence(TVELSequence& sequence) {
    Write(Filler.FillSequence(sequence, Filler.Template("SQLCreateSequence")));
    if (CommentPending(sequence, Settings.EnableSequenceComments))
        CommentStep(sequence, Filler.FillSequence(sequence, Filler.Template("SQLAddSequenceComment")));
}

void TDBRestructure::AddDomain(TVELDomain& domain) {
    const TSLDatatypes* types = Model.GetDataTypes();
    const bool asType = types && types->DomainAsType(domain.DataType->DataType);
    Write(Filler.FillDomain(domain, Filler.Template(asType ? "SQLCreateType" : "SQLCreateDomain")));
}

void TDBRestructure::AddIndex(TVELIndex& index) { Write(Filler.FillIndex(index, Filler.Template("SQLCreateIndex"))); }

void TDBRestructure::AddConstraint(TVELConstraint& constraint) {
    const char* name = nullptr;
    switch (constraint.ConstraintType) {
    case ctPrimaryKey: name = "SQLCreatePKConstraint"; break;
    case ctUnique: name = "SQLCreateUniqueConstraint"; break;
    case ctCheck: name = "SQLCreateCheckConstraint"; break;
    case ctNotNull: name = "SQLCreateNotNullConstraint"; break;
    case ctDefault: name = "SQLCreateDefaultConstraint"; break;
    default: return;
    }
    Write(Filler.FillConstraint(constraint, Filler.Template(name)));
}

void TDBRestructure::AddForeignKey(TVELRelationship& relationship) {
    Write(Filler.FillConstraint(*relationship.FKConstraint, Filler.Template("SQLCreateFKConstraint")));
}

void TDBRestructure::AddView(TVELView& view) {
    Write(Filler.FillView(view, Filler.Template("SQLCreateView")));
    if (CommentPending(view, Settings.EnableViewComments))
        CommentStep(view, Filler.FillView(view, Filler.Template("SQLAddViewComment")));
}

void TDBRestructure::AddProcedure(TVELProcedure& procedure) {
    Write(Filler.FillProcedure(procedure, Filler.Template("SQLCreateProcedure")));
    if (CommentPending(procedure, Settings.EnableProcedureComments))
        CommentStep(procedure, Filler.FillProcedure(procedure, Filler.Template("SQLAddProcedureComment")));
}

void TDBRestructure::AddTrigger(TVELTrigger& trigger) {
    Write(Filler.FillTrigger(trigger, Filler.Template("SQLCreateTrigger")));
}

void TDBRestructure::AddRule(TVELRule& rule) {
    Write(Filler.FillRule(rule, Filler.Template("SQLCreateRule")));
    if (CommentPending(rule, Settings.EnableRuleComments))
        CommentStep(rule, Filler.FillRule(rule, Filler.Template("SQLAddRuleComment")));
}

void TDBRestructure::AddTableComment(TVELEntity& table) {
    if (CommentPending(table, Settings.EnableTableComments))
        CommentStep(table, Filler.FillTable(table, Filler.Template("SQLAddTableComment")));
}

void TDBRestructure::AddColumnComments(TVELEntity& table) {
    if (!Settings.EnableColumnComments) return;
    const std::string tmpl = Filler.Template("SQLAddColumnComment");
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        if (CommentPending(*column, true))
            CommentStep(*column, Filler.FillColumn(*column, tmpl));
    }
}

void TDBRestructure::DropRule(TVELRule& rule) { Write(Filler.FillRule(rule, Filler.Template("SQLDropRule"))); }

void TDBRestructure::DropTrigger(TVELTrigger& trigger) {
    Write(Filler.FillTrigger(trigger, Filler.Template("SQLDropTrigger")));
}

void TDBRestructure::DropProcedure(TVELProcedure& procedure) {
    Write(Filler.FillProcedure(procedure, Filler.Template("SQLDropProcedure")));
}

void TDBRestructure::DropView(TVELView& view) { Write(Filler.FillView(view, Filler.Template("SQLDropView"))); }

void TDBRestructure::DropForeignKey(TVELRelationship& relationship) {
    Write(DropConstraintStatement(*relationship.FKConstraint));
}

void TDBRestructure::DropTable(TVELEntity& table) { Write(Filler.FillTable(table, Filler.Template("SQLDropTable"))); }

void TDBRestructure::DropDomain(TVELDomain& domain) {
    const TSLDatatypes* types = Model.GetDataTypes();
    const bool asType = types && types->DomainAsType(domain.DataType->DataType);
    Write(Filler.FillDomain(domain, Filler.Template(asType ? "SQLDropType" : "SQLDropDomain")));
}

void TDBRestructure::DropSequence(TVELSequence& sequence) {
    Write(Filler.FillSequence(sequence, Filler.Template("SQLDropSequence")));
}

std::string TDBRestructure::ForExecution(std::string_view statement) const { return std::string(statement); }

std::vector<std::string> TDBRestructure::ExecutionStatements(std::string_view statement) const {
    return {ForExecution(statement)};
}

// ---- target subclasses ----------------------------------------------------------------------------

std::string TMySQLRestructure::ForExecution(std::string_view statement) const {
    std::vector<std::string> kept;
    for (std::string& line : TextLines(statement)) {
        const std::string trimmed = Trim(line);
        // (The last line may have lost its terminator: "DELIMITER ;" came as "DELIMITER".)
        if (SameText(trimmed, "DELIMITER") || StartsText("DELIMITER ", trimmed) || trimmed == Settings.BlockTerminator)
            continue;
        kept.push_back(std::move(line));
    }
    return Trim(JoinStrings(kept, CRLF));
}

void TSQLiteRestructure::AddForeignKey(TVELRelationship& relationship) {
    Log(mlWarning,
        "Foreign key " + LogName(relationship) + " can only be created with its table; it is left out.",
        &relationship);
}

void TSQLiteRestructure::DropForeignKey(TVELRelationship&) {}

std::unique_ptr<TDBRestructure> CreateRestructure(TVELDataDictionary& model) {
    const std::string driver = model.GetDatabaseSettings()->DriverName;
    if (SameText(driver, "postgresql")) return std::make_unique<TPostgreSQLRestructure>(model);
    if (SameText(driver, "mysql")) return std::make_unique<TMySQLRestructure>(model);
    if (SameText(driver, "sqlite")) return std::make_unique<TSQLiteRestructure>(model);
    if (SameText(driver, "mssqlserver")) return std::make_unique<TSQLServerRestructure>(model);
    if (SameText(driver, "oracle")) return std::make_unique<TOracleRestructure>(model);
    if (SameText(driver, "db2")) return std::make_unique<TDB2Restructure>(model);
    if (SameText(driver, "interbase")) return std::make_unique<TInterBaseRestructure>(model);
    return std::make_unique<TDBRestructure>(model);
}

std::unique_ptr<TVELDataDictionary> PrepareForGeneration(
    const TVELDataDictionary& model, const TVELSettingsList& options, TVELSettingsList& used,
    const std::function<void(TVELNamedObject* object, int level, const std::string& text)>& messages) {
    auto copy = std::make_unique<TVELDataDictionary>();
    copy->OnMessage = messages;
    copy->AssignDictionary(model);
    if (model.GetDatabaseSettings()->GetTargetType() == TTargetType::DatabaseIndependent) {
        const std::string target = Trim(options.GetValue("DBID"));
        if (target.empty() || SameText(target, model.GetTarget()))
            throw EVELError("Select the target DBMS for which the database-independent model is generated.");
        copy->ChangeTarget(target);
    }
    used.Clear();
    TVELDataDictionary::DefaultPrepareOptions(used, *copy->GetDatabaseSettings());
    for (int i = 0; i < options.Count(); ++i) used.SetValue(options.NameAt(i), options.ValueAt(i));
    copy->Prepare(&used);
    if (used.GetValue("CHECKMODEL") == "1") {
        // The model check names the objects of the user's model in its messages.
        TVELMessagesList list;
        TVELModelCheck check(list);
        check.ProjectDictionary = &model;
        auto forward = [&list, &messages] {
            if (messages)
                for (const TVELMessageEntry& entry : list.Entries()) messages(entry.Object, entry.Level, entry.Text);
        };
        try {
            check.RunModelCheck(*copy, false, true, false);
        } catch (const EVELError&) {
            forward();
            throw;
        }
        forward();
    }
    return copy;
}

}  // namespace ardvin

// ---- SQL Server, Oracle, Db2 and Firebird -----------------------------------------------------------

namespace ardvin {

namespace {

// The first and the last line of a text that are not blank, trimmed; empty when there is none.
std::string_view FirstLine(std::string_view text) {
    std::string_view first;
    bool found = false;
    ForEachLine(text, [&](std::string_view line) {
        if (!found && !TrimView(line).empty()) {
            first = TrimView(line);
            found = true;
        }
    });
    return first;
}

std::string_view LastLine(std::string_view text) {
    std::string_view last;
    ForEachLine(text, [&](std::string_view line) {
        if (!TrimView(line).empty()) last = TrimView(line);
    });
    return last;
}

// The statements of a script text as the script tool cuts them, without their terminators.
std::vector<std::string> CutScript(std::string_view text, uint8_t mode, const std::string& terminator) {
    TVELSQLScriptParser parser;
    parser.Mode = mode;
    parser.Terminator = terminator;
    parser.Compact = false;
    parser.Parse(text);
    std::vector<std::string> statements = std::move(parser.Statements);
    if (!Trim(parser.Remainder).empty()) statements.push_back(Trim(parser.Remainder));
    return statements;
}

}  // namespace

void TCodeBlockRestructure::AddTrigger(TVELTrigger& trigger) {
    if (!HasBlockLines(trigger.Code)) return TDBRestructure::AddTrigger(trigger);
    Write(Filler.FillTrigger(trigger, "%triggercode%"));
}

void TCodeBlockRestructure::AddProcedure(TVELProcedure& procedure) {
    if (!HasBlockLines(procedure.Code)) return TDBRestructure::AddProcedure(procedure);
    Write(Filler.FillProcedure(procedure, "%proccode%"));
    if (CommentPending(procedure, Settings.EnableProcedureComments))
        CommentStep(procedure, Filler.FillProcedure(procedure, Filler.Template("SQLAddProcedureComment")));
}

std::vector<std::string> TCodeBlockRestructure::ExecutionStatements(std::string_view statement) const {
    if (HasBlockLines(statement)) {
        std::vector<std::string> kept;
        ForEachLine(statement, [&](std::string_view line) {
            if (!IsScriptToolLine(TrimView(line))) kept.emplace_back(line);
        });
        return {Trim(JoinStrings(kept, CRLF))};
    }
    return CutScript(statement, TVELSQLScriptParser::smTerminator, ReplaceAll(Settings.Terminator, "#13#10", ""));
}

std::vector<std::string> TSQLServerRestructure::ExecutionStatements(std::string_view statement) const {
    return CutScript(statement, TVELSQLScriptParser::smGo, "GO");
}

bool TSQLServerRestructure::HasBlockLines(std::string_view code) const { return IsScriptToolLine(LastLine(code)); }

namespace {

// The type of a column as ALTER COLUMN and the conversion functions write it: without the
// identity clause.
std::string PlainType(TVELTemplateFiller& filler, const TVELAttribute& column) {
    if (const TVELDomain* domain = column.GetDomain())
        return filler.Settings().QuoteDDL(domain->GetNonQuotedQualifiedName());
    return filler.FillColumn(column, "%physicaldatatype%");
}

// The type group of a column's type in a model's data type list.
int TypeGroupOf(const TVELDataDictionary& model, const TVELAttribute& column) {
    const TSLDatatypes* types = model.GetDataTypes();
    return types ? types->TypeGroup(column.DataType->DataType) : tgUnknown;
}

// Whether a column of both versions changed its type (the identity clause left out).
bool TypeChanged(TVELTemplateFiller& filler, const TVELAttribute& column, const TVELAttribute& old) {
    return PlainType(filler, column) != PlainType(filler, old);
}

// Whether a column turned into a type of the binary group from a type of another group.
bool BecameBinary(const TVELDataDictionary& model, const TVELDataDictionary& oldModel, const TVELAttribute& column,
                  const TVELAttribute& old) {
    return TypeGroupOf(model, column) == tgBinary && TypeGroupOf(oldModel, old) != tgBinary;
}

bool HasDefault(const TVELAttribute& column) {
    return !Trim(column.DefaultValue()).empty() && column.DefaultConstraint()->IsInUse();
}

// The placeholders of a table created under a temporary name (quoted as the script writes it).
TVELFillValues TemporaryName(const TVELDatabaseSettings& settings, const std::string& tableName) {
    std::string simple = tableName;
    if (const size_t dot = simple.rfind(settings.DelimiterDDLEnd + "." + settings.DelimiterDDLBegin);
        dot != std::string::npos && !settings.DelimiterDDLEnd.empty())
        simple = simple.substr(dot + 1);
    return {{"tablename", tableName},
            {"quotedqualifiedtablename", tableName},
            {"quotedsimpletablename", simple},
            {"nonquotedsimpletablename", settings.StripQuotes(simple)}};
}

// Whether a column is one of a key, a unique or check constraint or an index of its table.
bool IsUsedByKeyOrIndex(const TVELEntity& table, const TVELAttribute& column) {
    if (column.IsPrimaryKey()) return true;
    for (int i = 0; i < table.Constraints.Count(); ++i) {
        const TVELConstraint* c = table.ConstraintAt(i);
        if (c->IsInUse() && c->AttributeIDs.ContainsID(column.ID)) return true;
    }
    if (!Trim(column.CheckValue()).empty() && column.CheckConstraint()->IsInUse()) return true;
    std::vector<TVELAttribute*> columns;
    for (int i = 0; i < table.Indexes.Count(); ++i) {
        columns.clear();
        table.IndexAt(i)->ColumnAttributes(columns);
        if (std::find(columns.begin(), columns.end(), &column) != columns.end()) return true;
    }
    return false;
}

}  // namespace

void TCodeBlockRestructure::AlterNullabilityAndType(TVELAttribute& column, const TVELAttribute& old) {
    if (column.IsNotNull() != old.IsNotNull())
        Write(Filler.FillColumn(column, Filler.Template(column.IsNotNull() ? "SQLModifyColumnSetNotNull"
                                                                           : "SQLModifyColumnDropNotNull")));
    if (TypeChanged(Filler, column, old)) {
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumnDataType")));
        if (Collect || OnLog) Log(mlInfo, "Data type for column \"" + column.GetName() + "\" modified.", &column);
    }
}

void TCodeBlockRestructure::RebuildDomain(TVELDomain& domain, const TVELDomain& old) {
    std::vector<const TVELAttribute*> columns;
    for (const TVELEntity* table : OfClass<TVELEntity>(*OldModel)) {
        if (table->StateGone || !IsSelected(*table)) continue;
        for (int i = 0; i < table->Attributes.Count(); ++i)
            if (table->AttributeAt(i)->DomainID == old.ID && !table->AttributeAt(i)->StateGone)
                columns.push_back(table->AttributeAt(i));
    }
    // The old column names stand until the tables are altered.
    auto retype = [&](const std::string& type) {
        const TVELFillValues values = {{"datatype", type}, {"physicaldatatype", type}};
        for (const TVELAttribute* column : columns)
            Write(Filler.FillColumn(*column, Filler.Template("SQLModifyColumnDataType"), &values));
    };
    retype(Filler.FillDomain(old, "%datatype%"));
    DropDomain(const_cast<TVELDomain&>(old));
    AddDomain(domain);
    retype(Settings.QuoteDDL(domain.GetNonQuotedQualifiedName()));
}

bool TSQLServerRestructure::MustRecreateTable(const TVELEntity& table, const TVELEntity& old) {
    if (ColumnOrderChanged(table)) return true;
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        const TVELAttribute* previous = old.FindAttribute(column->ID);
        if (!previous || !column->StateModified) continue;
        if (column->IsIdentity() != previous->IsIdentity() ||
            (column->IsIdentity() && column->DataType->AutoNumberText() != previous->DataType->AutoNumberText()))
            return true;
        if (!TypeChanged(Filler, *column, *previous)) continue;
        if (BecameBinary(Model, *OldModel, *column, *previous) || IsUsedByKeyOrIndex(table, *column) ||
            IsUsedByKeyOrIndex(old, *previous))
            return true;
    }
    return false;
}

std::string TSQLServerRestructure::DropDefaultStatement(const TVELAttribute& old) {
    const TVELConstraint* constraint = old.DefaultConstraint();
    if (!Trim(constraint->GetName()).empty())
        return Filler.FillConstraint(*constraint, Filler.Template("SQLDropDefaultConstraint"));
    return Filler.FillColumn(old, Filler.Template("SQLModifyColumnDropDefault"));
}

std::string TSQLServerRestructure::AddDefaultStatement(const TVELAttribute& column, const std::string& tableName) {
    const TVELFillValues values = TemporaryName(Settings, tableName);
    const TVELFillValues* extra = tableName.empty() ? nullptr : &values;
    const TVELConstraint* constraint = column.DefaultConstraint();
    if (!Trim(constraint->GetName()).empty())
        return Filler.FillConstraint(*constraint, Filler.Template("SQLAddDefaultConstraint"), extra);
    return Filler.FillColumn(column, Filler.Template("SQLModifyColumnSetDefault"), extra);
}

void TSQLServerRestructure::BeforeAlterTable(TVELEntity&, const TVELEntity& old) {
    for (int i = 0; i < old.Attributes.Count(); ++i) {
        const TVELAttribute* column = old.AttributeAt(i);
        if (!column->StateGone) continue;
        if (HasDefault(*column))
            ObjectStep(*column->DefaultConstraint(), true, [&] { Write(DropDefaultStatement(*column)); });
        // A check keeps its column from going too; one without a name is found by its column.
        const TVELConstraint* check = column->CheckConstraint();
        if (!Trim(column->CheckValue()).empty() && check->IsInUse())
            ObjectStep(*check, true, [&] {
                Write(Trim(check->GetName()).empty()
                          ? Filler.FillColumn(*column, Filler.Template("SQLDropUnnamedColumnCheck"))
                          : Filler.FillConstraint(*check, Filler.Template("SQLDropCheckConstraint")));
            });
    }
}

void TSQLServerRestructure::AlterColumn(TVELAttribute& column, const TVELAttribute& old) {
    const std::string type = PlainType(Filler, column);
    const bool typeChanged = type != PlainType(Filler, old);
    const bool defaultChanged = TextChanged(column.DefaultValue(), old.DefaultValue()) ||
                                column.DefaultConstraint()->GetName() != old.DefaultConstraint()->GetName();
    // A default holds its column's type: it goes first and comes back after.
    if (HasDefault(old) && (defaultChanged || typeChanged)) Write(DropDefaultStatement(old));
    if (typeChanged || column.IsNotNull() != old.IsNotNull() || TextChanged(column.Collate, old.Collate)) {
        // The nullability is always written: without it the column would take the session's.
        const TVELFillValues values = {{"datatype", type}};
        Write(Filler.FillColumn(
            column, Filler.Template(column.IsNotNull() ? "SQLModifyColumnSetNotNull" : "SQLModifyColumnDropNotNull"),
            &values));
        if (typeChanged && (Collect || OnLog))
            Log(mlInfo, "Data type for column \"" + column.GetName() + "\" modified.", &column);
    }
    if (HasDefault(column) && (defaultChanged || (typeChanged && HasDefault(old)))) Write(AddDefaultStatement(column));
}

void TSQLServerRestructure::BeforeCopyData(TVELEntity& table, const std::string& tableName) {
    defaultsWritten_.clear();
    if (const auto* old = dynamic_cast<const TVELEntity*>(OldModel->FindSameObject(&table)))
        for (int i = 0; i < old->Attributes.Count(); ++i) {
            const TVELAttribute* column = old->AttributeAt(i);
            if (HasDefault(*column) && !Trim(column->DefaultConstraint()->GetName()).empty())
                Write(DropDefaultStatement(*column));
        }
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        if (!HasDefault(*column)) continue;
        Write(AddDefaultStatement(*column, tableName));
        defaultsWritten_.insert(column->ID);
    }
    const TVELFillValues values = TemporaryName(Settings, tableName);
    Write(Filler.FillTable(table, Filler.Template("SQLBeforeInsertData"), &values));
}

void TSQLServerRestructure::AfterCopyData(TVELEntity& table, const std::string& tableName) {
    const TVELFillValues values = TemporaryName(Settings, tableName);
    Write(Filler.FillTable(table, Filler.Template("SQLAfterInsertData"), &values));
}

void TSQLServerRestructure::AfterRecreateTable(TVELEntity& table, const TVELEntity&) {
    // (A table without columns to copy did not go through the copy.)
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        TVELAttribute* column = table.AttributeAt(i);
        if (HasDefault(*column) && !defaultsWritten_.count(column->ID))
            ObjectStep(*column->DefaultConstraint(), false, [&] { Write(AddDefaultStatement(*column)); });
    }
    defaultsWritten_.clear();
}

void TSQLServerRestructure::AlterDomain(TVELDomain& domain, const TVELDomain& old) {
    if (Filler.FillDomain(domain, "%datatype%") != Filler.FillDomain(old, "%datatype%"))
        return RebuildDomain(domain, old);
    TCodeBlockRestructure::AlterDomain(domain, old);
}

std::string TSQLServerRestructure::CopyColumn(const TVELAttribute& column, const TVELAttribute& old) {
    const std::string name = Settings.QuoteDDL(old.GetName());
    if (!BecameBinary(Model, *OldModel, column, old)) return name;
    return "CONVERT(" + PlainType(Filler, column) + ", " + name + ")";
}

bool TSQLServerRestructure::IsScriptToolLine(std::string_view line) const { return SameText(line, "GO"); }

// (A PL/SQL block is the one statement a "/" line follows; it keeps the ";" after its END.)
bool TOracleRestructure::HasBlockLines(std::string_view code) const { return IsScriptToolLine(LastLine(code)); }

bool TOracleRestructure::IsScriptToolLine(std::string_view line) const { return line == "/"; }

bool TOracleRestructure::MustRecreateTable(const TVELEntity& table, const TVELEntity& old) {
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        const TVELAttribute* previous = old.FindAttribute(column->ID);
        if (!previous || !column->StateModified) continue;
        if (column->IsIdentity() && !previous->IsIdentity()) return true;
        if (!SameText(column->DataType->DataType, previous->DataType->DataType) &&
            TypeGroupOf(Model, *column) == tgBinary)
            return true;
    }
    return false;
}

void TOracleRestructure::AlterColumn(TVELAttribute& column, const TVELAttribute& old) {
    if (old.IsIdentity() && !column.IsIdentity())
        Write(Filler.FillColumn(column, "ALTER TABLE %tablename% MODIFY (%columnname% DROP IDENTITY)%terminator%"));
    AlterNullabilityAndType(column, old);
    if (column.IsIdentity() && old.IsIdentity() && column.DataType->AutoNumberText() != old.DataType->AutoNumberText())
        Write(Filler.FillColumn(column, "ALTER TABLE %tablename% MODIFY (%columnname%" +
                                            column.DataType->AutoNumberText() + ")%terminator%"));
    if (TextChanged(column.DefaultValue(), old.DefaultValue()))
        Write(Filler.FillColumn(column, Filler.Template(Trim(column.DefaultValue()).empty() ? "SQLModifyColumnDropDefault"
                                                                                              : "SQLModifyColumnSetDefault")));
}

void TOracleRestructure::BeforeCopyData(TVELEntity& table, const std::string& tableName) {
    const TVELFillValues values = TemporaryName(Settings, tableName);
    Write(Filler.FillTable(table, Filler.Template("SQLBeforeInsertData"), &values));
}

void TOracleRestructure::AfterCopyData(TVELEntity& table, const std::string& tableName) {
    const TVELFillValues values = TemporaryName(Settings, tableName);
    Write(Filler.FillTable(table, Filler.Template("SQLAfterInsertData"), &values));
}

std::string TOracleRestructure::EmptyValue(const TVELAttribute& column) const {
    // An empty text is NULL here.
    const std::string value = TCodeBlockRestructure::EmptyValue(column);
    return value == "''" ? "' '" : value;
}

std::string TOracleRestructure::CopyColumn(const TVELAttribute& column, const TVELAttribute& old) {
    const std::string name = Settings.QuoteDDL(old.GetName());
    if (!BecameBinary(Model, *OldModel, column, old) || TypeGroupOf(*OldModel, old) != tgString) return name;
    const std::string raw = "UTL_RAW.CAST_TO_RAW(" + name + ")";
    return SameText(column.DataType->DataType, "BLOB") ? "TO_BLOB(" + raw + ")" : raw;
}

bool TDB2Restructure::HasBlockLines(std::string_view code) const {
    return StartsText("--#SET TERMINATOR", FirstLine(code));
}

bool TDB2Restructure::IsScriptToolLine(std::string_view line) const {
    return StartsText("--#SET TERMINATOR", line) || line == Settings.BlockTerminator;
}

void TDB2Restructure::AlterDomain(TVELDomain& domain, const TVELDomain& old) { RebuildDomain(domain, old); }

void TDB2Restructure::AlterColumn(TVELAttribute& column, const TVELAttribute& old) {
    const bool defaultChanged = TextChanged(column.DefaultValue(), old.DefaultValue());
    // An identity column has no default: it goes before the identity comes.
    if (defaultChanged && Trim(column.DefaultValue()).empty())
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumnDropDefault")));
    AlterNullabilityAndType(column, old);
    const std::string identity = column.IsIdentity() ? column.DataType->AutoNumberText() : std::string();
    if (identity != (old.IsIdentity() ? old.DataType->AutoNumberText() : std::string())) {
        const std::string alter = "ALTER TABLE %tablename% ALTER COLUMN %columnname%";
        const std::string drop = old.IsIdentity() ? " DROP IDENTITY" : "";
        Write(Filler.FillColumn(column, alter + drop + (identity.empty() ? "" : " SET" + identity) + "%terminator%"));
        if (!old.IsIdentity() && column.IsIdentity()) {
            // The next number follows the largest one the column holds.
            const std::string restart = Filler.FillColumn(column, alter + " RESTART WITH ");
            const std::string next = Filler.FillColumn(
                column, "SET n = (SELECT COALESCE(MAX(%columnname%) + " + IntToStr(column.DataType->Increment) + ", " +
                            IntToStr(column.DataType->Seed) + ") FROM %tablename%);");
            Write("--#SET TERMINATOR " + Settings.BlockTerminator + "\r\nBEGIN\r\n  DECLARE n BIGINT;\r\n  " + next +
                  "\r\n  EXECUTE IMMEDIATE '" + ReplaceAll(restart, "'", "''") + "' || VARCHAR(n);\r\nEND\r\n" +
                  Settings.BlockTerminator + "\r\n--#SET TERMINATOR " + TerminatorOf(Settings));
        }
    }
    if (defaultChanged && !Trim(column.DefaultValue()).empty())
        Write(Filler.FillColumn(column, Filler.Template("SQLModifyColumnSetDefault")));
}

namespace {

// A PSQL block as the script tool runs it, between switches of the statement terminator.
std::string IsqlBlock(const std::string& declarations, const std::string& body) {
    return "SET TERM ^ ;\r\nEXECUTE BLOCK AS\r\n" + declarations + "\r\nBEGIN\r\n" + body + "\r\nEND\r\n^\r\nSET TERM ; ^";
}

}  // namespace

bool TInterBaseRestructure::MustRecreateTable(const TVELEntity& table, const TVELEntity& old) {
    if (table.GetName() != old.GetName() || table.SchemaName != old.SchemaName) return true;
    // A column becomes or stops being an identity column only with a new table.
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        const TVELAttribute* previous = old.FindAttribute(column->ID);
        if (previous && column->IsIdentity() != previous->IsIdentity()) return true;
    }
    return false;
}

void TInterBaseRestructure::AfterAlterTable(TVELEntity& table, const TVELEntity&) {
    // Columns are placed after the fact: from the first one new or moved on, each gets its
    // position.
    if (!ColumnOrderChanged(table)) return;
    bool placing = false;
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        TVELAttribute& column = *table.AttributeAt(i);
        placing = placing || column.StatePositionChanged || column.StateNew;
        if (placing)
            Write("ALTER TABLE " + Filler.FillTable(table, "%tablename%") + " ALTER COLUMN " +
                  Settings.QuoteDDL(column.GetName()) + " POSITION " + std::to_string(i + 1) + TerminatorOf(Settings));
    }
}

void TInterBaseRestructure::AfterCopyData(TVELEntity& table, const std::string& tableName) {
    // An identity column goes on after the copied values.
    for (int i = 0; i < table.Attributes.Count(); ++i) {
        const TVELAttribute* column = table.AttributeAt(i);
        if (!column->IsIdentity()) continue;
        const std::string name = Settings.QuoteDDL(column->GetName());
        Write(IsqlBlock("DECLARE n BIGINT;", "  SELECT COALESCE(MAX(" + name + "), 0) FROM " + tableName +
                                                    " INTO :n;\r\n  EXECUTE STATEMENT 'ALTER TABLE " +
                                                    ReplaceAll(tableName, "'", "''") + " ALTER COLUMN " +
                                                    ReplaceAll(name, "'", "''") + " RESTART WITH ' || n;"));
    }
}

std::string TInterBaseRestructure::DropUnnamedConstraint(const TVELConstraint& constraint) {
    // The server numbers the names (INTEG_n) across the database: the constraint is looked up
    // in the catalogue, a key by its columns, a check by its expression.
    const TVELEntity* table = constraint.GetEntity();
    if (!table) return TDBRestructure::DropUnnamedConstraint(constraint);
    auto literal = [](const std::string& text) { return "'" + ReplaceAll(text, "'", "''") + "'"; };
    const std::string tableName = Settings.StripQuotes(table->GetName());
    auto keyMatch = [&](const char* type) {
        return std::string("c.RDB$CONSTRAINT_TYPE = '") + type +
               "' AND (SELECT LIST(TRIM(x.RDB$FIELD_NAME), ',') FROM (SELECT s.RDB$FIELD_NAME FROM "
               "RDB$INDEX_SEGMENTS s WHERE s.RDB$INDEX_NAME = c.RDB$INDEX_NAME ORDER BY s.RDB$FIELD_POSITION) x) = " +
               literal(JoinStrings(ConstraintColumnNames(constraint, *table, Settings), ","));
    };
    std::string match;
    switch (constraint.ConstraintType) {
    case ctPrimaryKey: match = keyMatch("PRIMARY KEY"); break;
    case ctUnique: match = keyMatch("UNIQUE"); break;
    case ctForeignKey: match = keyMatch("FOREIGN KEY"); break;
    case ctCheck:
        match = "c.RDB$CONSTRAINT_TYPE = 'CHECK' AND EXISTS (SELECT 1 FROM RDB$CHECK_CONSTRAINTS k JOIN RDB$TRIGGERS t "
                "ON t.RDB$TRIGGER_NAME = k.RDB$TRIGGER_NAME WHERE k.RDB$CONSTRAINT_NAME = c.RDB$CONSTRAINT_NAME AND "
                "POSITION(" + literal(Trim(constraint.Value)) + " IN t.RDB$TRIGGER_SOURCE) > 0)";
        break;
    default: return TDBRestructure::DropUnnamedConstraint(constraint);
    }
    const std::string quotedTable = Filler.FillTable(*table, "%tablename%");
    return IsqlBlock("DECLARE n VARCHAR(63);",
                     "  SELECT FIRST 1 TRIM(c.RDB$CONSTRAINT_NAME) FROM RDB$RELATION_CONSTRAINTS c WHERE "
                     "c.RDB$RELATION_NAME = " + literal(tableName) + " AND " + match +
                         " INTO :n;\r\n  EXECUTE STATEMENT 'ALTER TABLE " + ReplaceAll(quotedTable, "'", "''") +
                         " DROP CONSTRAINT \"' || n || '\"';");
}

std::string TInterBaseRestructure::AlterSequenceStatement(const TVELSequence& sequence, const TVELSequence& old) {
    return AlterSequenceText(Filler, sequence, old, {});
}

bool TInterBaseRestructure::HasBlockLines(std::string_view code) const {
    return StartsText("SET TERM ", FirstLine(code));
}

bool TInterBaseRestructure::IsScriptToolLine(std::string_view line) const {
    return StartsText("SET TERM ", line) || line == Settings.BlockTerminator;
}

}  // namespace ardvin
