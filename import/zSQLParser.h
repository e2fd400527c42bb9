// The SQL import: builds a model from the DDL statements of a script. There is no grammar:
// every statement is cut into a flat word list and offered to a chain of keyword-driven
// handlers (tables, columns, keys, indexes, views, sequences, triggers, procedures, domains,
// comments, the rule and default objects of SQL Server). Each handler looks for its own
// keywords and creates or completes objects of the data dictionary. Statements that no handler
// knows are passed over in silence; problems become message lines with a level, and the import
// never stops at a bad statement.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zDatabaseObject.h"

namespace ardvin {

class TVELAttribute;
class TVELDataDictionary;
class TVELDomain;
class TVELEntity;
class TVELRelationship;
class TVELSequence;

// The word list of a statement: the text cut at blanks, "(", ")", "," and ";" and at line
// breaks. Every piece of text between delimiters is an entry, and so is every delimiter; a line
// break is an entry that reads empty. Blanks and line breaks are the insignificant entries.
// Entries are views into the text, which must outlive the list.
class TVELWordList {
public:
    explicit TVELWordList(std::string_view text);

    int Count() const { return static_cast<int>(words_.size()); }
    // The entry at index; a line break reads empty, an index out of range too.
    std::string_view operator[](int index) const;
    bool Significant(int index) const;
    // Index of the first entry at or after from that equals word (case-insensitive), or -1.
    int FindWord(std::string_view word, int from = 0) const;
    // Index of the first significant entry after that word, or -1.
    int FindAfter(std::string_view word, int from = 0) const;
    int NextSignificant(int index) const;
    int PreviousSignificant(int index) const;
    int FirstSignificant() const { return NextSignificant(-1); }
    // The first significant entry equals word.
    bool StartsWith(std::string_view word) const;
    // The significant entry at index equals word.
    bool Is(int index, std::string_view word) const;
    // Index of the ")" that closes the "(" at from, or -1.
    int MatchingClose(int from) const;
    // The source text of the entries from..to-1, line breaks included.
    std::string_view Text(int from, int to) const;
    // The parenthesis depth in front of the entry at index (0 outside all parentheses).
    int Depth(int index) const { return index >= 0 && index < Count() ? depth_[index] : 0; }

private:
    std::string_view text_;
    std::vector<std::string_view> words_;
    std::vector<int> depth_;
};

// The text in double quotes, as messages name objects.
std::string DoubleQuoted(std::string_view text);

// Removes one pair of enclosing double quotes, apostrophes, back quotes or square brackets and
// un-doubles that quote character inside.
std::string Unquote(std::string_view name);
// Schema and name of a name qualified with a point; points inside quotes do not count, and of a
// name with more parts the last two are taken. Both parts come unquoted.
void SplitQualifiedName(std::string_view text, std::string& schema, std::string& name);

// Removes up to levels pairs of parentheses that enclose the whole (trimmed) text; quotes are
// respected.
std::string StripEnclosingParentheses(std::string_view text, int levels);

// Objects made by an import: created without the dictionary's naming (which searches the whole
// model for a free name), numbered, named and put in their schema. An entity keeps its key
// changes to itself until CompleteImportedModel.
TVELDatabaseObject* NewImportedObject(TVELDataDictionary& dictionary, int type, const std::string& schema,
                                      const std::string& name);
// Gives an object the name that a script or catalogue states; without one the object keeps its
// name template. A name given is the object's own, not computed from the template.
void SetImportedName(TVELNamedObject& object, const std::string& name);
// A relationship between two entities with the name as its own and as its foreign-key
// constraint's name, and no pairs.
TVELRelationship* NewImportedRelationship(TVELDataDictionary& dictionary, TVELEntity* parent, TVELEntity* child,
                                          const std::string& name, const std::string& constraintName);
// One column pair of a relationship, the child column given: unlike propagation, the import
// never makes columns of its own.
void AddImportedPair(TVELRelationship& relationship, const TVELAttribute* parent, const TVELAttribute* child);

// While an import reads objects into a dictionary, the dictionary treats it as a load: new
// relationships do not propagate keys and renamed entities tell no relationships (the objects
// are complete only at the end, and the reactions would search the whole model each time).
class TVELImportScope {
public:
    explicit TVELImportScope(TVELDataDictionary& dictionary);
    ~TVELImportScope();
    TVELImportScope(const TVELImportScope&) = delete;
    TVELImportScope& operator=(const TVELImportScope&) = delete;

private:
    TVELDataDictionary& dictionary_;
    bool loading_;
};

// The steps that complete a model read from a script or from a database catalogue: primary-key
// columns in attribute order, deletion of the indexes that cover keys when the options ask
// for it, object names in code bodies replaced by their placeholders, lengths of domains whose
// type takes none cleared, and the model-wide repair of relationships. Entities created by the
// import have key tracking switched off while they are filled; it is switched back on here.
void CompleteImportedModel(TVELDataDictionary& dictionary, const TVELSettingsList& options);
// Gives every column and domain whose type the target's list lacks (a script's TIMESTAMP on a
// target that calls it DATETIME) the list's best match, and reports each change as a warning,
// so that no column reaches a script without a type.
void MatchImportedDataTypes(TVELDataDictionary& dictionary, const TVELMessageCallback& report);

class TVELSQLParser {
public:
    using TMessageEvent =
        std::function<void(TVELSQLParser* sender, int level, const std::string& text, TVELNamedObject* object)>;
    using TObjectAddedEvent = std::function<void(TVELSQLParser* sender, TVELNamedObject* object)>;

    // A foreign-key clause whose parent table was not known when it was read.
    struct TDeferredKey {
        std::string ChildTable; // qualified name of the child entity
        std::string Column;     // the child column of a clause of a column definition
        std::string Clause;     // the text of the clause, cut into words again when resolved
    };

    explicit TVELSQLParser(TVELDataDictionary* dictionary = nullptr);
    ~TVELSQLParser();
    TVELSQLParser(const TVELSQLParser&) = delete;
    TVELSQLParser& operator=(const TVELSQLParser&) = delete;

    std::vector<std::string> Messages;
    // Import options by name; the value "0" switches a feature off (see zDBDrivers.h for the
    // keys). DoNotReplaceNamesByParams "1" keeps object names in code bodies.
    TVELSettingsList Options;
    std::vector<std::string> StringsTable;
    std::vector<TDeferredKey> Deferred;
    // Texts of the CREATE RULE and CREATE DEFAULT objects of the script, by name; a caller that
    // imports several scripts into one model can hand them from one parser to the next.
    TVELSettingsList Rules;
    TVELDataDictionary* Dictionary = nullptr;
    std::string Script;
    TMessageEvent OnMessage;
    TObjectAddedEvent OnObjectAdded;

    // Reads Script into Dictionary. A target driver that the factory does not know raises
    // EVELError before anything is read.
    void Import();
    // Reads one statement of a prepared script (literals replaced by placeholders of
    // StringsTable). Import calls it for every statement.
    void ParseStatement(std::string_view text);
    // Reads a full type text ("VARCHAR(20)", "NUMERIC(10,2)", "INT IDENTITY(1,1)") into the data
    // type of an attribute or a domain, as a column definition would.
    void SetScriptDataType(TVELDatabaseObject* object, std::string_view text);
    // Sends a message to OnMessage and adds its line to Messages.
    void Message(int level, const std::string& text, TVELNamedObject* object = nullptr);
    // The number of error-level messages since the last Import.
    int ErrorCount() const { return errorCount_; }

    // The text with every placeholder replaced by its strings table entry; for targets of the
    // MySQL family a doubled apostrophe inside a longer result becomes "\'".
    std::string RestoreLiterals(std::string_view text) const;
    // Fills the parser's look-ups (tables, domains, sequences by name) from the objects the
    // dictionary holds. Import does it itself; a parser kept for SetScriptDataType does it once.
    void IndexDictionary();
    // The domain of that name (a schema before it is ignored) among the indexed objects and
    // those the parser made.
    TVELDomain* FindDomain(std::string_view name) const;

private:
    using TWords = TVELWordList;

    bool Enabled(std::string_view option) const;
    bool IsMySQL() const;
    // Whether the target connects with that driver ("postgresql").
    bool IsDriver(std::string_view driver) const;
    // Restored and unquoted: the form of every name, type name and comment read.
    std::string NameText(std::string_view word) const;
    // The name as the script writes it, without quotes: schema, point and name.
    std::string PlainName(std::string_view word) const;
    // The value of a string literal ('text', N'text', "text"), or the restored word.
    std::string LiteralText(std::string_view word) const;
    TVELEntity* FindTable(std::string_view rawName) const;
    // The sequence of nextval('name'::regclass), 'name' or name.
    TVELSequence* FindSequence(std::string_view text) const;
    void Added(TVELNamedObject* object);
    TVELEntity* NewEntity(const std::string& schema, const std::string& name);
    TVELDomain* NewDomain(const std::string& qualifiedName);
    void IndexEntity(TVELEntity* entity);
    void IndexSequence(TVELSequence* sequence);

    // The index of the object word that follows CREATE, ALTER or RECREATE at the start of the
    // statement (TABLE, VIEW, INDEX ...), skipping modifiers; -1 when there is none.
    int HeadKeyword(const TWords& w, std::string_view* verb = nullptr) const;
    // The name after a keyword, skipping IF [NOT] EXISTS; -1 when there is none.
    int NameAfter(const TWords& w, int keyword) const;
    // The name written as CONSTRAINT name directly before the entry at index, or empty.
    std::string ConstraintNameBefore(const TWords& w, int index) const;
    // The names of the comma-separated list inside the parentheses that open at index.
    std::vector<std::string> ListNames(const TWords& w, int open) const;
    // The restored text inside the parentheses that open at index.
    std::string InnerText(const TWords& w, int open) const;

    void CreateTable(const TWords& w, int tableKeyword);
    void TableElement(TVELEntity* entity, std::string_view text);
    bool ColumnDefinition(TVELEntity* entity, const TWords& w);
    // The data type at position; returns the index of its last entry.
    int DataType(TVELDatabaseObject* object, const TWords& w, int position);
    void DefaultClause(TVELDatabaseObject* object, const TWords& w, int defaultIndex);
    void PrimaryKey(TVELEntity* entity, TVELAttribute* attribute, const TWords& w);
    void Unique(TVELEntity* entity, TVELAttribute* attribute, const TWords& w);
    void Check(TVELEntity* entity, TVELDatabaseObject* columnOrDomain, const TWords& w);
    void ForeignKey(TVELEntity* entity, TVELAttribute* attribute, const TWords& w, bool allowDeferral);
    void Index(TVELEntity* entity, const TWords& w);

    void Comments(const TWords& w);
    void CreateRule(const TWords& w, bool isDefault);
    void BindRule(const TWords& w, bool isDefault);
    void CreateDomain(const TWords& w);
    void AddType(const TWords& w);
    // A procedure or view named at nameIndex whose code is the whole statement.
    void CodeObject(const TWords& w, int head, int nameIndex, int type, const char* caption);
    // The statement that makes a trigger, view or routine (head: the index of its kind word).
    // For MySQL the header before that word loses DEFINER (an account of the server the script
    // came from) and the clauses that state defaults, its words apart by single blanks, as the
    // catalogue import writes it.
    std::string CodeText(const TWords& w, int head) const;
    void Procedure(const TWords& w);
    void View(const TWords& w);
    void Sequence(const TWords& w);
    void AlterTable(const TWords& w);
    void AlterColumn(TVELEntity* entity, const TWords& w);
    void Trigger(const TWords& w);

    // Sets the comment of the object of that kind (TABLE, COLUMN, VIEW, INDEX, SEQUENCE, TYPE,
    // PROCEDURE, TRIGGER, CONSTRAINT ...) and name; table names the table of a trigger,
    // index or constraint when the statement gives it apart from the name.
    void SetComment(std::string_view kind, std::string_view objectName, const std::string& comment,
                    std::string_view table = {});
    // Views, procedures, indexes and triggers made by the script, by a kind letter and their
    // upper-cased qualified and bare names, for the comments that name them later.
    void Remember(char kind, const std::string& schema, const std::string& name, TVELDatabaseObject* object);
    TVELDatabaseObject* Recall(char kind, const std::string& schema, const std::string& name) const;
    void ResolveSequences();
    // Forms of a server's dump read as the catalogue import reads them (PostgreSQL's default
    // schema, MySQL's national character columns and foreign-key indexes).
    void ReadAsTheCatalogue();
    // Whether a sequence is the one SERIAL makes for a column: owned by it (owner: the
    // table.column of its OWNED BY), with the numbers of a new sequence.
    bool IsSerial(const TVELAttribute& column, const TVELEntity& table, const TVELSequence& sequence,
                  const std::string& owner) const;
    void ResolveDeferred();

    struct TSequenceUse {
        TVELEntity* Entity;
        int32_t AttributeID;
        std::string Sequence;
    };
    std::vector<TSequenceUse> sequenceUses_;
    // ALTER SEQUENCE ... OWNED BY: the sequence and the table.column that owns it, as written.
    std::vector<std::pair<std::string, std::string>> sequenceOwners_;
    // Look-ups by upper-cased qualified name and by upper-cased bare name (first wins).
    std::unordered_map<std::string, TVELEntity*> tablesByQualifiedName_;
    std::unordered_map<std::string, TVELEntity*> tablesByName_;
    std::unordered_map<std::string, TVELDomain*> domainsByName_;
    std::unordered_map<std::string, TVELSequence*> sequencesByQualifiedName_;
    std::unordered_map<std::string, TVELSequence*> sequencesByName_;
    std::unordered_set<std::string> relationshipNames_;
    std::unordered_map<std::string, TVELDatabaseObject*> membersByName_;
    int errorCount_ = 0;
    bool indexed_ = false;
};

} // namespace ardvin
