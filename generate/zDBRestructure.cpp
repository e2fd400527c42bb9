#include "zDBRestructure.h"

#include <algorithm>
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

void TDBRestructure::Write(std::string_view statement) {
    if (TrimView(statement).empty() || statement[0] == '*') return;
    if (!pendingHeading_.empty()) {
        const std::string heading = std::move(pendingHeading_);
        pendingHeading_.clear();
        WriteHeading(heading);
    }
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
    Write(Filler.FillConstraint(*relationship.FKConstraint, Filler.Template("SQLDropFKConstraint")));
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
        if (StartsText("DELIMITER ", trimmed) || trimmed == Settings.BlockTerminator) continue;
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

bool TSQLServerRestructure::IsScriptToolLine(std::string_view line) const { return SameText(line, "GO"); }

// (A PL/SQL block is the one statement a "/" line follows; it keeps the ";" after its END.)
bool TOracleRestructure::HasBlockLines(std::string_view code) const { return IsScriptToolLine(LastLine(code)); }

bool TOracleRestructure::IsScriptToolLine(std::string_view line) const { return line == "/"; }

bool TDB2Restructure::HasBlockLines(std::string_view code) const {
    return StartsText("--#SET TERMINATOR", FirstLine(code));
}

bool TDB2Restructure::IsScriptToolLine(std::string_view line) const {
    return StartsText("--#SET TERMINATOR", line) || line == Settings.BlockTerminator;
}

bool TInterBaseRestructure::HasBlockLines(std::string_view code) const {
    return StartsText("SET TERM ", FirstLine(code));
}

bool TInterBaseRestructure::IsScriptToolLine(std::string_view line) const {
    return StartsText("SET TERM ", line) || line == Settings.BlockTerminator;
}

}  // namespace ardvin
