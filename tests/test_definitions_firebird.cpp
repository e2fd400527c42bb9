// The shipped Firebird 3 target: its definition loads cleanly and keeps to the template
// language, and every data type, statement template and reserved word is tried on a real
// database: an embedded Firebird engine opens a temporary database file, and the catalogue
// (the RDB$ tables) shows what each statement made.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FirebirdDatabase.h"
#include "TestSupport.h"
#include "TestTemplates.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zSLDatatypes.h"
#include "zXMLUtils.h"

using namespace ardvin;
using namespace ardvin::test;

namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<Strings>;

const char* const Id = "firebird3";

TVELDatabaseSettings LoadTarget() {
    TargetDatabases().Build(DefinitionsDir());
    TVELDatabaseSettings s;
    s.DBID = Id;
    s.Load();
    return s;
}

TSLDatatypes LoadTypes() {
    TSLDatatypes list;
    EXPECT_TRUE(list.LoadFromFile(DefinitionsDir() + "/" + Id + ".typ"));
    return list;
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// Fills a template of the definition, with the terminator.
std::string Filled(const TVELDatabaseSettings& s, const std::string& name, TTemplateValues values) {
    const std::string tmpl = s.SQLTemplate(name);
    EXPECT_FALSE(tmpl.empty()) << name;
    values.emplace_back("terminator", s.Terminator);
    const std::string sql = FillTemplate(tmpl, values);
    EXPECT_EQ(sql.find('%'), std::string::npos) << name << " left a placeholder unfilled:\n" << sql;
    return sql;
}

// Fills and runs a template; a failure names the template.
void RunTemplate(TFirebirdDatabase& db, const TVELDatabaseSettings& s, const std::string& name,
         const TTemplateValues& values) {
    const std::string sql = Filled(s, name, values);
    EXPECT_EQ(db.Script(sql), "") << name;
}

std::string Column(const TVELDatabaseSettings& s, const std::string& name, const std::string& type,
                   const TTemplateValues& more = {}) {
    TTemplateValues values = {{"columnname", Quoted(name)}, {"datatype", type}};
    for (const auto& v : WithEmpty(more, {"defaultvalue", "notnull", "collate"}))
        values.push_back(v);
    return FillTemplate(s.SQLTemplate("SQLCreateColumn"), values);
}

void CreateTable(TFirebirdDatabase& db, const TVELDatabaseSettings& s, const std::string& table,
                 const Strings& columns, const TTemplateValues& more = {}) {
    TTemplateValues values = {{"tablename", Quoted(table)}, {"tablecolumns", JoinStrings(columns, ",")}};
    for (const auto& v : WithEmpty(more, {"pkconstraint", "tableoptions", "begintablescript", "endtablescript"}))
        values.push_back(v);
    RunTemplate(db, s, "SQLCreateTable", values);
}

// Templates that are parts of other statements.
bool IsFragment(const std::string& name) {
    return name == "SQLCreateColumn" || name == "SQLCreateTempTableColumn" || name == "SQLCreatePKConstraint" ||
           name == "SQLIndexColumn";
}

}  // namespace

TEST(FirebirdDefinition, LoadsAndKeepsToTheTemplateLanguage) {
    const TVELDatabaseSettings s = LoadTarget();
    EXPECT_TRUE(s.LoadWarnings.empty()) << JoinStrings(s.LoadWarnings, "\n");
    const TTargetEntry& entry = TargetDatabases().EntryById(Id);
    EXPECT_EQ(entry.Name, "Firebird 3");
    EXPECT_EQ(entry.TargetType, TTargetType::SQL);
    EXPECT_EQ(s.DriverName, "interbase");
    for (int i = 0; i < s.REParams.Count(); ++i)
        EXPECT_NE(TVELDatabaseSettings::ParamLabel(s.REParams.NameAt(i)), "") << s.REParams.NameAt(i);

    // Every key is written out, so that nothing falls back to a default by accident.
    EXPECT_EQ(UnwrittenKeys(DefinitionsDir() + "/" + Id + ".def"), Strings{});

    // What Firebird 3 allows.
    EXPECT_EQ(s.QuoteDDL("order"), "\"order\"");
    EXPECT_EQ(s.InternalTextFormat, TTextFormat::UpperCase);
    for (int32_t length : {s.MaxTableNameLength, s.MaxColumnNameLength, s.MaxIndexNameLength,
                           s.MaxDomainNameLength, s.MaxTriggerNameLength, s.MaxSequenceNameLength,
                           s.MaxProcedureNameLength, s.MaxViewNameLength, s.MaxConstraintNameLength})
        EXPECT_EQ(length, 31);
    EXPECT_EQ(RefIntActionsText(s.RefIntOnDelete), "CND");
    EXPECT_EQ(RefIntActionsText(s.RefIntOnUpdate), "CND");
    EXPECT_FALSE(s.EnableSchemas || s.EnableRules || s.EnableSeqMin || s.EnableSeqMax || s.EnableSeqCache);
    EXPECT_TRUE(s.EnableDomains && s.EnableSequences && s.EnableTriggers && s.EnableProcedures);
    EXPECT_EQ(s.IdxOrderCodesList, (Strings{"", "ASCENDING", "DESCENDING"}));
    EXPECT_TRUE(s.IdxColumnOrderCodesList.empty());
    EXPECT_EQ(s.SimulateAutonumber, 2);

    // Placeholders are known words, optional parts hold one placeholder each, and a statement
    // ends with the terminator or is a code block between SET TERM switches.
    std::vector<std::pair<std::string, std::string>> templates;
    for (const std::string& name : TVELDatabaseSettings::SQLCommandNames())
        templates.emplace_back(name, s.SQLTemplate(name));
    templates.emplace_back("autonumbertriggertemplate", s.AutonumberTriggerTemplate);
    for (const auto& [name, text] : templates) {
        SCOPED_TRACE(name);
        std::string problem;
        for (const std::string& placeholder : Placeholders(text, problem))
            EXPECT_TRUE(KnownPlaceholders().count(placeholder)) << placeholder;
        EXPECT_EQ(problem, "");
        EXPECT_EQ(CheckOptionalParts(text), "");
        if (text.empty() || IsFragment(name)) continue;
        const std::string t = ReplaceAll(text, "\r\n", "#13#10");
        const auto endsWith = [&](std::string_view end) {
            return t.size() >= end.size() && std::string_view(t).substr(t.size() - end.size()) == end;
        };
        const bool terminated = endsWith("%terminator%") || endsWith("%terminator%{#13#10%endtablescript%}");
        const bool block = StartsText("SET TERM ^ ;#13#10", t) && endsWith("#13#10^#13#10SET TERM ; ^");
        EXPECT_TRUE(terminated || block) << text;
    }

    // The capability flags agree with the templates.
    const auto has = [&](const char* name) { return !s.SQLTemplate(name).empty(); };
    const std::pair<bool, std::vector<const char*>> pairs[] = {
        {s.EnableDomains, {"SQLCreateDomain", "SQLDropDomain", "SQLModifyDomainDataType", "SQLRenameDomain"}},
        {s.EnableTriggers, {"SQLCreateTrigger", "SQLDropTrigger", "SQLEnableTrigger", "SQLDisableTrigger"}},
        {s.EnableSequences, {"SQLCreateSequence", "SQLDropSequence"}},
        {s.EnableViews, {"SQLCreateView", "SQLDropView"}},
        {s.EnableProcedures, {"SQLCreateProcedure", "SQLDropProcedure"}},
        {s.EnableRules, {"SQLCreateRule", "SQLDropRule"}},
        {s.EnableSchemas, {"SQLAddSchema"}},
        {s.EnableTableComments, {"SQLAddTableComment", "SQLModifyTableComment", "SQLDropTableComment"}},
        {s.EnableColumnComments, {"SQLAddColumnComment", "SQLModifyColumnComment", "SQLDropColumnComment"}},
        {s.EnableSequenceComments, {"SQLAddSequenceComment", "SQLModifySequenceComment"}},
        {s.EnableProcedureComments, {"SQLAddProcedureComment", "SQLModifyProcedureComment"}},
        {s.EnableViewComments, {"SQLAddViewComment", "SQLModifyViewComment"}},
        {s.EnableUpdateDatabase, {"SQLAddColumn", "SQLDropColumn", "SQLModifyColumnDataType", "SQLRenameColumn"}},
    };
    for (const auto& [enabled, names] : pairs)
        for (const char* name : names)
            EXPECT_EQ(has(name), enabled) << name;
    // Firebird cannot rename a table, move a column or switch a constraint off.
    for (const char* name : {"SQLRenameTable", "SQLModifyPosition", "SQLDisableFKConstraint",
                             "SQLDisableCheckConstraints", "SQLDisablePKConstraint"})
        EXPECT_FALSE(has(name)) << name;
}

TEST(FirebirdDefinition, WordListsAreTheEnginesReservedWords) {
    const TVELDatabaseSettings s = LoadTarget();
    TFirebirdDatabase db;
    ASSERT_TRUE(db.Open());
    std::set<std::string> reserved, defaults;
    for (const std::string& line : SplitString(ReadFile(DefinitionsDir() + "/firebird3_reserved.txt"), '\n')) {
        const std::string l = Trim(line);
        if (l.empty()) continue;
        const bool isDefault = StartsText("DEFAULT:", l);
        const std::string word = isDefault ? l.substr(8) : l;
        EXPECT_EQ(word, UpperCase(word));
        EXPECT_TRUE(reserved.insert(word).second) << "twice: " << word;
        if (isDefault) defaults.insert(word);
    }
    Strings keywords;
    for (const std::string& line : SplitString(ReadFile(DefinitionsDir() + "/firebird3_keywords.txt"), '\n'))
        if (!Trim(line).empty()) keywords.push_back(Trim(line));
    EXPECT_GT(reserved.size(), 190u);
    EXPECT_GT(keywords.size(), 190u);
    EXPECT_EQ(s.ReservedWords.size(), reserved.size());
    EXPECT_EQ(s.Keywords.size(), keywords.size());

    // A reserved word cannot name a column unless it is quoted.
    int table = 0;
    for (const std::string& word : reserved) {
        const std::string t = "R" + IntToStr(table++);
        EXPECT_NE(db.Exec("CREATE TABLE " + t + " (X INTEGER, " + word + " INTEGER)"), "") << word;
        EXPECT_EQ(db.Exec("CREATE TABLE " + t + " (X INTEGER, \"" + word + "\" INTEGER)"), "") << word;
    }
    // Every keyword can, unquoted: all of them in one table.
    for (const std::string& word : keywords)
        EXPECT_FALSE(reserved.count(word)) << "reserved and keyword: " << word;
    EXPECT_EQ(db.Exec("CREATE TABLE K (" + JoinStrings(keywords, " INTEGER, ") + " INTEGER)"), "");
    EXPECT_EQ(db.Value("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'K'"),
              IntToStr(static_cast<int64_t>(keywords.size())));
    // The default-value words stand in a DEFAULT clause as they are.
    for (const std::string& word : defaults) {
        const std::map<std::string, std::string> types = {
            {"TRUE", "BOOLEAN"},          {"FALSE", "BOOLEAN"},          {"CURRENT_DATE", "DATE"},
            {"CURRENT_TIME", "TIME"},     {"LOCALTIME", "TIME"},         {"CURRENT_TIMESTAMP", "TIMESTAMP"},
            {"LOCALTIMESTAMP", "TIMESTAMP"}, {"CURRENT_CONNECTION", "BIGINT"}, {"CURRENT_TRANSACTION", "BIGINT"}};
        const auto found = types.find(word);
        const std::string type = found == types.end() ? "VARCHAR(63)" : found->second;
        EXPECT_EQ(db.Exec("CREATE TABLE D" + IntToStr(table++) + " (X " + type + " DEFAULT " + word + ")"), "")
            << word;
        EXPECT_TRUE(s.IsDefaultKeyword(word)) << word;
    }
    EXPECT_FALSE(s.IsDefaultKeyword("'NOW'"));
}

namespace {

// What the catalogue holds for a column: RDB$FIELD_TYPE, and for exact numbers the subtype
// (1 NUMERIC, 2 DECIMAL); 0 where the type text is checked otherwise.
const std::map<std::string, int> FieldTypes = {
    {"SMALLINT", 7},   {"INTEGER", 8},   {"BIGINT", 16},    {"FLOAT", 10},          {"DOUBLE PRECISION", 27},
    {"CHAR", 14},      {"VARCHAR", 37},  {"NCHAR", 14},     {"NCHAR VARYING", 37},  {"BLOB SUB_TYPE TEXT", 261},
    {"DATE", 12},      {"TIME", 13},     {"TIMESTAMP", 35}, {"BOOLEAN", 23},        {"BLOB", 261},
    {"DECIMAL", 0},    {"NUMERIC", 0},   {"COMPUTED BY", 0}};

}  // namespace

TEST(FirebirdDefinition, EveryDataTypeMakesTheColumnMeant) {
    const TVELDatabaseSettings s = LoadTarget();
    const TSLDatatypes list = LoadTypes();
    EXPECT_TRUE(list.LoadWarnings.empty()) << JoinStrings(list.LoadWarnings, "\n");
    EXPECT_EQ(list.DefaultType(), "INTEGER");
    EXPECT_EQ(list.AutoNumberType(), "INTEGER");
    TFirebirdDatabase db;
    ASSERT_TRUE(db.Open());

    for (int i = 0; i < list.Count(); ++i) {
        const TDataTypeRecord& r = list.Record(i);
        SCOPED_TRACE(r.ListName);
        ASSERT_TRUE(FieldTypes.count(r.ListName)) << "no expected catalogue entry";
        const uint32_t caps = r.Capabilities;
        // The forms of the type: proposed, another length or precision, with a character set,
        // as an array, with a subtype and segment size, and under each synonym.
        std::vector<std::pair<std::string, TDataTypeValues>> forms;
        TDataTypeValues proposed;
        proposed.Length = IntToStr(r.DefaultLength);
        proposed.Precision = r.DefaultPrecision;
        if (caps & dcExpression) proposed.Expression = "\"C0\" + 1";
        forms.emplace_back("proposed", proposed);
        if (caps & (dcLength | dcPrecision)) {
            TDataTypeValues v = proposed;
            if (caps & dcLength) v.Length = "7";
            if (caps & dcPrecision) v.Precision = 3;
            forms.emplace_back("other", v);
        }
        if (caps & dcCharacterSet) {
            TDataTypeValues v = proposed;
            v.CharacterSet = "WIN1252";
            forms.emplace_back("charset", v);
        }
        if (caps & dcArrayOptions) {
            TDataTypeValues v = proposed;
            v.ArrayOptions = "[1:3]";
            forms.emplace_back("array", v);
        }
        if (caps & (dcSubType | dcSegmentSize)) {
            TDataTypeValues v = proposed;
            if (caps & dcSubType) v.SubType = "BINARY";
            if (caps & dcSegmentSize) v.SegmentSize = "512";
            forms.emplace_back("blob options", v);
        }
        Strings columns;
        Strings texts;
        for (const auto& [what, v] : forms) {
            // The first column is a plain integer that computed columns refer to.
            if (columns.empty()) columns.push_back(Column(s, "C0", "INTEGER"));
            texts.push_back(list.TypeText(r.ListName, v, true));
            columns.push_back(Column(s, "C" + IntToStr(static_cast<int>(columns.size())), texts.back()));
        }
        const std::string plain = list.TypeText(r.ListName, proposed, false);
        for (const std::string& synonym : r.SynonymList) {
            ASSERT_TRUE(StartsText(r.ListName, plain)) << plain;
            texts.push_back(synonym + plain.substr(r.ListName.size()));
            columns.push_back(Column(s, "C" + IntToStr(static_cast<int>(columns.size())), texts.back()));
        }
        const std::string table = "T" + IntToStr(i);
        CreateTable(db, s, table, columns);

        const Rows rows = db.Query(
            "SELECT TRIM(rf.RDB$FIELD_NAME), f.RDB$FIELD_TYPE, COALESCE(f.RDB$FIELD_SUB_TYPE, 0), "
            "COALESCE(f.RDB$FIELD_PRECISION, 0), -COALESCE(f.RDB$FIELD_SCALE, 0), COALESCE(f.RDB$CHARACTER_LENGTH, 0), "
            "COALESCE(TRIM(cs.RDB$CHARACTER_SET_NAME), ''), COALESCE(f.RDB$DIMENSIONS, 0), "
            "COALESCE(f.RDB$SEGMENT_LENGTH, 0), IIF(f.RDB$COMPUTED_SOURCE IS NULL, 0, 1) "
            "FROM RDB$RELATION_FIELDS rf JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE "
            "LEFT JOIN RDB$CHARACTER_SETS cs ON cs.RDB$CHARACTER_SET_ID = f.RDB$CHARACTER_SET_ID "
            "WHERE rf.RDB$RELATION_NAME = '" + table + "' AND rf.RDB$FIELD_NAME <> 'C0' ORDER BY rf.RDB$FIELD_POSITION");
        ASSERT_EQ(rows.size(), texts.size());
        for (size_t c = 0; c < rows.size(); ++c) {
            SCOPED_TRACE(texts[c]);
            const Strings& row = rows[c];
            const int expectedType = FieldTypes.at(r.ListName);
            if (expectedType != 0) {
                EXPECT_EQ(row[1], IntToStr(expectedType));
            }
            const TDataTypeValues* v = c < forms.size() ? &forms[c].second : &proposed;
            if (r.ListName == "DECIMAL" || r.ListName == "NUMERIC") {
                EXPECT_EQ(row[2], r.ListName == "DECIMAL" ? "2" : "1");
                EXPECT_EQ(row[3], v->Length);
                EXPECT_EQ(row[4], IntToStr(v->Precision));
            }
            if (r.Group == tgString && r.ListName.rfind("BLOB", 0) != 0) {
                EXPECT_EQ(row[5], v->Length);
                EXPECT_EQ(row[6], !v->CharacterSet.empty()        ? v->CharacterSet
                                  : r.ListName.rfind("NCHAR", 0) == 0 ? "ISO8859_1"
                                                                      : "UTF8");
            }
            if (r.ListName == "BLOB SUB_TYPE TEXT") {
                EXPECT_EQ(row[2], "1");
                EXPECT_EQ(row[6], v->CharacterSet.empty() ? "UTF8" : v->CharacterSet);
            }
            if (r.ListName == "BLOB") {
                EXPECT_EQ(row[2], "0");
            }
            EXPECT_EQ(row[7], v->ArrayOptions.empty() ? "0" : "1");
            if (!v->SegmentSize.empty()) {
                EXPECT_EQ(row[8], v->SegmentSize);
            }
            EXPECT_EQ(row[9], r.Group == tgComputedBy ? "1" : "0");
        }

        // The identity form: numbered by the engine. Firebird 3 begins after the start value, so
        // the type writes the seed less one and the first number is the model's seed.
        if (r.EnableAutoNumbering) {
            for (const int32_t seed : {10, 1}) {
                SCOPED_TRACE("seed " + IntToStr(seed));
                TDataTypeValues identity = proposed;
                identity.AutoNumber = true;
                identity.Seed = seed;
                const std::string idTable = "ID" + IntToStr(i) + "_" + IntToStr(seed);
                const std::string idText = list.TypeText(r.ListName, identity, true);
                EXPECT_EQ(idText, r.ListName + " GENERATED BY DEFAULT AS IDENTITY (START WITH " +
                                      IntToStr(seed - 1) + ")");
                CreateTable(db, s, idTable,
                            {Column(s, "ID", idText, {{"notnull", "NOT NULL"}}), Column(s, "V", "VARCHAR(5)")});
                EXPECT_EQ(db.Exec("INSERT INTO " + Quoted(idTable) + " (\"V\") VALUES ('a')"), "");
                EXPECT_EQ(db.Exec("INSERT INTO " + Quoted(idTable) + " (\"V\") VALUES ('b')"), "");
                EXPECT_EQ(db.Value("SELECT \"ID\" FROM " + Quoted(idTable) + " WHERE \"V\" = 'a'"), IntToStr(seed));
                EXPECT_EQ(db.Value("SELECT \"ID\" FROM " + Quoted(idTable) + " WHERE \"V\" = 'b'"),
                          IntToStr(seed + 1));
                EXPECT_EQ(db.Value("SELECT RDB$IDENTITY_TYPE FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = '" +
                                   idTable + "' AND RDB$FIELD_NAME = 'ID'"),
                          "1");
            }
        }
    }
}

TEST(FirebirdDefinition, EveryTemplateRunsAndDropsLeaveNothing) {
    const TVELDatabaseSettings s = LoadTarget();
    TFirebirdDatabase db;
    ASSERT_TRUE(db.Open());
    const std::string parent = Quoted("PARENT");
    const std::string child = Quoted("CHILD");

    // Domains and sequences come first.
    RunTemplate(db, s, "SQLCreateDomain",
        {{"domainname", Quoted("D_CODE")}, {"datatype", "VARCHAR(10)"}, {"defaultvalue", "'none'"},
         {"checkconstraint", "VALUE <> ''"}, {"collate", "UNICODE_CI"}});
    RunTemplate(db, s, "SQLCreateDomain",
        {{"domainname", Quoted("D_PLAIN")}, {"datatype", "INTEGER"}, {"defaultvalue", ""}, {"checkconstraint", ""},
         {"collate", ""}});
    EXPECT_EQ(db.Value("SELECT TRIM(c.RDB$COLLATION_NAME) FROM RDB$FIELDS f JOIN RDB$COLLATIONS c ON "
                       "c.RDB$COLLATION_ID = f.RDB$COLLATION_ID AND c.RDB$CHARACTER_SET_ID = f.RDB$CHARACTER_SET_ID "
                       "WHERE f.RDB$FIELD_NAME = 'D_CODE'"),
              "UNICODE_CI");
    // The statement starts one increment early, so that the first number is the start value.
    RunTemplate(db, s, "SQLCreateSequence",
                {{"seqname", Quoted("SEQ_ID")},
                 {"seqseed", "100"},
                 {"seqseedlessincrement", "95"},
                 {"seqincrement", "5"}});
    EXPECT_EQ(db.Value("SELECT RDB$INITIAL_VALUE || ',' || RDB$GENERATOR_INCREMENT FROM RDB$GENERATORS WHERE "
                       "RDB$GENERATOR_NAME = 'SEQ_ID'"),
              "95,5");
    EXPECT_EQ(db.Value("SELECT NEXT VALUE FOR \"SEQ_ID\" FROM RDB$DATABASE"), "100");
    RunTemplate(db, s, "SQLAddSequenceComment", {{"seqname", Quoted("SEQ_ID")}, {"seqcomment", "'ids'"}});
    RunTemplate(db, s, "SQLModifySequenceComment", {{"seqname", Quoted("SEQ_ID")}, {"seqcomment", "'the ids'"}});
    EXPECT_EQ(db.Value("SELECT CAST(RDB$DESCRIPTION AS VARCHAR(50)) FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = "
                       "'SEQ_ID'"),
              "the ids");

    // Tables in a transaction of their own: the table exists after the commit.
    {
        isc_tr_handle tr = 0;
        EXPECT_EQ(db.ExecIn(tr, Filled(s, "SQLStartTransAction", {})), "");
        EXPECT_NE(tr, 0u);
        EXPECT_EQ(db.ExecIn(tr, "CREATE TABLE " + Quoted("IN_TRANSACTION") + " (X INTEGER)"), "");
        EXPECT_EQ(db.ExecIn(tr, Filled(s, "SQLEndTransAction", {})), "");
        EXPECT_EQ(db.Value("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'IN_TRANSACTION'"), "1");
        EXPECT_EQ(db.Exec("DROP TABLE " + Quoted("IN_TRANSACTION")), "");
    }

    const std::string pk =
        FillTemplate(s.SQLTemplate("SQLCreatePKConstraint"), {{"constraintname", Quoted("PK_PARENT")},
                                                              {"constraintcolumns", Quoted("ID")},
                                                              {"constraintoptions", "USING DESCENDING INDEX \"IX_PK\""}});
    CreateTable(db, s, "PARENT",
                {Column(s, "ID", "INTEGER GENERATED BY DEFAULT AS IDENTITY", {{"notnull", "NOT NULL"}}),
                 Column(s, "CODE", Quoted("D_CODE"), {{"notnull", "NOT NULL"}}),
                 Column(s, "NAME", "VARCHAR(40)", {{"defaultvalue", "'x'"}, {"collate", "UNICODE_CI"}}),
                 Column(s, "TWICE", "COMPUTED BY (\"ID\" * 2)")},
                {{"pkconstraint", pk}, {"begintablescript", "CREATE SEQUENCE \"BEGIN_SEQ\";"},
                 {"endtablescript", "CREATE SEQUENCE \"END_SEQ\";"}});
    EXPECT_EQ(db.Names("RDB$GENERATORS", "RDB$GENERATOR_NAME", " AND TRIM(RDB$GENERATOR_NAME) LIKE '%SEQ'"),
              (std::set<std::string>{"BEGIN_SEQ", "END_SEQ"}));
    EXPECT_EQ(db.Value("SELECT TRIM(RDB$INDEX_NAME) || ',' || RDB$INDEX_TYPE FROM RDB$INDICES WHERE RDB$RELATION_NAME "
                       "= 'PARENT'"),
              "IX_PK,1");
    CreateTable(db, s, "CHILD",
                {Column(s, "ID", "BIGINT", {{"notnull", "NOT NULL"}}), Column(s, "PARENT_ID", "INTEGER"),
                 Column(s, "QTY", "NUMERIC(9,2)")},
                {{"pkconstraint", FillTemplate(s.SQLTemplate("SQLCreatePKConstraint"),
                                               WithEmpty({{"constraintcolumns", Quoted("ID")}},
                                                         {"constraintname", "constraintoptions"}))}});

    // Constraints, each added as a statement of its own.
    RunTemplate(db, s, "SQLCreateUniqueConstraint",
        {{"tablename", parent}, {"constraintname", Quoted("AK_PARENT_CODE")}, {"constraintcolumns", Quoted("CODE")},
         {"constraintoptions", ""}});
    RunTemplate(db, s, "SQLCreateFKConstraint",
        {{"childtablename", child}, {"constraintname", Quoted("FK_CHILD_PARENT")},
         {"childcolumns", Quoted("PARENT_ID")}, {"parenttablename", parent}, {"parentcolumns", Quoted("ID")},
         {"deleterule", "ON DELETE CASCADE"}, {"updaterule", "ON UPDATE SET NULL"}, {"constraintoptions", ""}});
    EXPECT_EQ(db.Value("SELECT TRIM(RDB$DELETE_RULE) || ',' || TRIM(RDB$UPDATE_RULE) FROM RDB$REF_CONSTRAINTS "
                       "WHERE RDB$CONSTRAINT_NAME = 'FK_CHILD_PARENT'"),
              "CASCADE,SET NULL");
    RunTemplate(db, s, "SQLCreateCheckConstraint",
        {{"tablename", child}, {"constraintname", Quoted("CK_QTY")}, {"constraint", "\"QTY\" >= 0"}});
    RunTemplate(db, s, "SQLCreateDefaultConstraint",
        {{"tablename", child}, {"constraintcolumn", Quoted("QTY")}, {"constraint", "1"}});
    RunTemplate(db, s, "SQLCreateNotNullConstraint", {{"tablename", child}, {"constraintcolumn", Quoted("PARENT_ID")}});
    EXPECT_EQ(db.Value("SELECT LIST(TRIM(RDB$CONSTRAINT_TYPE)) FROM (SELECT RDB$CONSTRAINT_TYPE FROM "
                       "RDB$RELATION_CONSTRAINTS WHERE RDB$RELATION_NAME = 'CHILD' AND RDB$CONSTRAINT_TYPE <> "
                       "'NOT NULL' ORDER BY RDB$CONSTRAINT_TYPE)"),
              "CHECK,FOREIGN KEY,PRIMARY KEY");
    EXPECT_EQ(db.Value("SELECT RDB$NULL_FLAG FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'CHILD' AND "
                       "RDB$FIELD_NAME = 'PARENT_ID'"),
              "1");
    EXPECT_EQ(db.Exec("INSERT INTO \"PARENT\" (\"CODE\") VALUES ('a')"), "");
    EXPECT_EQ(db.Exec("INSERT INTO \"CHILD\" (\"ID\", \"PARENT_ID\") VALUES (1, 1)"), "");
    EXPECT_EQ(db.Value("SELECT \"QTY\" FROM \"CHILD\""), "1.00");
    EXPECT_NE(db.Exec("INSERT INTO \"CHILD\" (\"ID\", \"PARENT_ID\", \"QTY\") VALUES (2, 1, -1)"), "");
    EXPECT_NE(db.Exec("INSERT INTO \"PARENT\" (\"CODE\") VALUES ('')"), "");  // the domain's check

    // Indexes: unique and descending, and one on an expression.
    RunTemplate(db, s, "SQLCreateIndex",
        {{"indextype", "UNIQUE"}, {"indexsortoption", "DESCENDING"}, {"indexname", Quoted("IX_CHILD")},
         {"tablename", child}, {"ibfbidxprefix", ""},
         {"indexcolumns", FillTemplate(s.SQLTemplate("SQLIndexColumn"), {{"indexcolumn", Quoted("PARENT_ID")}}) + "," +
                              FillTemplate(s.SQLTemplate("SQLIndexColumn"), {{"indexcolumn", Quoted("ID")}})}});
    RunTemplate(db, s, "SQLCreateIndex",
        {{"indextype", ""}, {"indexsortoption", ""}, {"indexname", Quoted("IX_NAME")}, {"tablename", parent},
         {"ibfbidxprefix", "COMPUTED BY"}, {"indexcolumns", "UPPER(\"NAME\")"}});
    EXPECT_EQ(db.Value("SELECT RDB$UNIQUE_FLAG || ',' || RDB$INDEX_TYPE || ',' || RDB$SEGMENT_COUNT FROM RDB$INDICES "
                       "WHERE RDB$INDEX_NAME = 'IX_CHILD'"),
              "1,1,2");
    EXPECT_EQ(db.Value("SELECT IIF(RDB$EXPRESSION_SOURCE IS NULL, 0, 1) FROM RDB$INDICES WHERE RDB$INDEX_NAME = "
                       "'IX_NAME'"),
              "1");

    // Code objects in SET TERM blocks, and their comments.
    RunTemplate(db, s, "SQLCreateView",
        {{"viewcode", "CREATE VIEW \"V_PARENT\" AS SELECT \"ID\", \"NAME\" FROM \"PARENT\""}});
    RunTemplate(db, s, "SQLCreateTrigger",
        {{"triggercode", "CREATE TRIGGER \"TR_PARENT\" FOR \"PARENT\" ACTIVE AFTER INSERT POSITION 0 AS\r\n"
                         "BEGIN\r\n  INSERT INTO \"CHILD\" (\"ID\", \"PARENT_ID\") VALUES (NEW.\"ID\" * 10, NEW.\"ID\");\r\nEND"}});
    RunTemplate(db, s, "SQLCreateProcedure",
        {{"proccode", "CREATE PROCEDURE \"P_COUNT\" RETURNS (N INTEGER) AS\r\nBEGIN\r\n  SELECT COUNT(*) FROM "
                      "\"CHILD\" INTO :N;\r\n  SUSPEND;\r\nEND"}});
    RunTemplate(db, s, "SQLCreateProcedure",
        {{"proccode", "CREATE FUNCTION \"F_TWICE\" (X INTEGER) RETURNS INTEGER AS\r\nBEGIN\r\n  RETURN X * 2;\r\nEND"}});
    EXPECT_EQ(db.Exec("INSERT INTO \"PARENT\" (\"CODE\") VALUES ('b')"), "");
    EXPECT_EQ(db.Value("SELECT N FROM \"P_COUNT\""), "2");
    EXPECT_EQ(db.Value("SELECT \"F_TWICE\"(21) FROM RDB$DATABASE"), "42");
    RunTemplate(db, s, "SQLDisableTrigger", {{"triggername", Quoted("TR_PARENT")}});
    EXPECT_EQ(db.Value("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'TR_PARENT'"), "1");
    RunTemplate(db, s, "SQLEnableTrigger", {{"triggername", Quoted("TR_PARENT")}});
    EXPECT_EQ(db.Value("SELECT RDB$TRIGGER_INACTIVE FROM RDB$TRIGGERS WHERE RDB$TRIGGER_NAME = 'TR_PARENT'"), "0");

    const std::pair<const char*, TTemplateValues> comments[] = {
        {"SQLAddTableComment", {{"tablename", parent}, {"tablecomment", "'parents'"}}},
        {"SQLAddColumnComment", {{"tablename", parent}, {"columnname", Quoted("NAME")}, {"columncomment", "'the name'"}}},
        {"SQLAddViewComment", {{"viewname", Quoted("V_PARENT")}, {"viewcomment", "'a view'"}}},
        {"SQLAddProcedureComment", {{"procname", Quoted("P_COUNT")}, {"proccomment", "'counts'"}}},
        {"SQLModifyTableComment", {{"tablename", parent}, {"tablecomment", "'all parents'"}}},
        {"SQLModifyColumnComment",
         {{"tablename", parent}, {"columnname", Quoted("NAME")}, {"columncomment", "'its name'"}}},
        {"SQLModifyViewComment", {{"viewname", Quoted("V_PARENT")}, {"viewcomment", "'the view'"}}},
        {"SQLModifyProcedureComment", {{"procname", Quoted("P_COUNT")}, {"proccomment", "'it counts'"}}},
    };
    for (const auto& [name, values] : comments)
        RunTemplate(db, s, name, values);
    const auto description = [&](const std::string& table, const std::string& where) {
        return db.Value("SELECT COALESCE(CAST(RDB$DESCRIPTION AS VARCHAR(50)), '<none>') FROM " + table + " WHERE " + where);
    };
    EXPECT_EQ(description("RDB$RELATIONS", "RDB$RELATION_NAME = 'PARENT'"), "all parents");
    EXPECT_EQ(description("RDB$RELATION_FIELDS", "RDB$RELATION_NAME = 'PARENT' AND RDB$FIELD_NAME = 'NAME'"),
              "its name");
    EXPECT_EQ(description("RDB$RELATIONS", "RDB$RELATION_NAME = 'V_PARENT'"), "the view");
    EXPECT_EQ(description("RDB$PROCEDURES", "RDB$PROCEDURE_NAME = 'P_COUNT'"), "it counts");
    RunTemplate(db, s, "SQLDropTableComment", {{"tablename", parent}});
    RunTemplate(db, s, "SQLDropColumnComment", {{"tablename", parent}, {"columnname", Quoted("NAME")}});
    EXPECT_EQ(description("RDB$RELATIONS", "RDB$RELATION_NAME = 'PARENT'"), "<none>");
    EXPECT_EQ(description("RDB$RELATION_FIELDS", "RDB$RELATION_NAME = 'PARENT' AND RDB$FIELD_NAME = 'NAME'"),
              "<none>");

    // Altering columns and domains in place.
    RunTemplate(db, s, "SQLAddColumn",
        {{"tablename", child}, {"columnname", Quoted("NOTE")}, {"datatype", "VARCHAR(20)"}, {"defaultvalue", "'n'"},
         {"notnull", "NOT NULL"}, {"collate", ""}});
    EXPECT_EQ(db.Value("SELECT LIST(\"NOTE\") FROM \"CHILD\""), "n,n");
    RunTemplate(db, s, "SQLModifyColumnDataType",
        {{"tablename", child}, {"columnname", Quoted("NOTE")}, {"physicaldatatype", "VARCHAR(30)"}});
    RunTemplate(db, s, "SQLModifyColumnDropDefault", {{"tablename", child}, {"columnname", Quoted("NOTE")}});
    RunTemplate(db, s, "SQLModifyColumnDropNotNull", {{"tablename", child}, {"columnname", Quoted("NOTE")}});
    EXPECT_EQ(db.Value("SELECT COALESCE(RDB$NULL_FLAG, 0) || ',' || IIF(RDB$DEFAULT_SOURCE IS NULL, 0, 1) FROM "
                       "RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'CHILD' AND RDB$FIELD_NAME = 'NOTE'"),
              "0,0");
    RunTemplate(db, s, "SQLModifyColumnSetDefault",
        {{"tablename", child}, {"columnname", Quoted("NOTE")}, {"defaultvalue", "'m'"}});
    RunTemplate(db, s, "SQLModifyColumnSetNotNull", {{"tablename", child}, {"columnname", Quoted("NOTE")}});
    EXPECT_EQ(db.Value("SELECT f.RDB$CHARACTER_LENGTH || ',' || rf.RDB$NULL_FLAG || ',' || "
                       "IIF(rf.RDB$DEFAULT_SOURCE IS NULL, 0, 1) FROM RDB$RELATION_FIELDS rf JOIN RDB$FIELDS f ON "
                       "f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE WHERE rf.RDB$RELATION_NAME = 'CHILD' AND "
                       "rf.RDB$FIELD_NAME = 'NOTE'"),
              "30,1,1");
    RunTemplate(db, s, "SQLRenameColumn",
        {{"tablename", child}, {"oldcolumnname", Quoted("NOTE")}, {"columnname", Quoted("REMARK")}});
    RunTemplate(db, s, "SQLDropColumn", {{"tablename", child}, {"columnname", Quoted("REMARK")}});
    RunTemplate(db, s, "SQLModifyDomainDataType", {{"domainname", Quoted("D_PLAIN")}, {"datatype", "BIGINT"}});
    RunTemplate(db, s, "SQLModifyDomainSetDefault", {{"domainname", Quoted("D_PLAIN")}, {"defaultvalue", "7"}});
    RunTemplate(db, s, "SQLModifyDomainAddCheck", {{"domainname", Quoted("D_PLAIN")}, {"checkconstraint", "VALUE > 0"}});
    EXPECT_EQ(db.Value("SELECT RDB$FIELD_TYPE || ',' || IIF(RDB$DEFAULT_SOURCE IS NULL, 0, 1) || ',' || "
                       "IIF(RDB$VALIDATION_SOURCE IS NULL, 0, 1) FROM RDB$FIELDS WHERE RDB$FIELD_NAME = 'D_PLAIN'"),
              "16,1,1");
    RunTemplate(db, s, "SQLModifyDomainDropCheck", {{"domainname", Quoted("D_PLAIN")}});
    RunTemplate(db, s, "SQLModifyDomainDropDefault", {{"domainname", Quoted("D_PLAIN")}});
    EXPECT_EQ(db.Value("SELECT IIF(RDB$DEFAULT_SOURCE IS NULL, 0, 1) || ',' || IIF(RDB$VALIDATION_SOURCE IS NULL, 0, "
                       "1) FROM RDB$FIELDS WHERE RDB$FIELD_NAME = 'D_PLAIN'"),
              "0,0");
    TTemplateValues rename = {{"olddomainname", Quoted("D_PLAIN")}, {"quotedsimpledomainname", Quoted("D_NUMBER")}};
    RunTemplate(db, s, "SQLRenameDomain", rename);

    // Constraints added and dropped again by the alter templates.
    RunTemplate(db, s, "SQLDropFKConstraint", {{"childtablename", child}, {"constraintname", Quoted("FK_CHILD_PARENT")}});
    RunTemplate(db, s, "SQLAddFKConstraint",
        {{"childtablename", child}, {"constraintname", Quoted("FK_CHILD_PARENT")},
         {"childcolumns", Quoted("PARENT_ID")}, {"parenttablename", parent}, {"parentcolumns", Quoted("ID")},
         {"deleterule", "ON DELETE SET DEFAULT"}, {"updaterule", ""}, {"constraintoptions", ""}});
    RunTemplate(db, s, "SQLDropCheckConstraint", {{"tablename", child}, {"constraintname", Quoted("CK_QTY")}});
    RunTemplate(db, s, "SQLAddCheckConstraint", {{"tablename", child}, {"constraintname", Quoted("CK_QTY")}, {"constraint", "\"QTY\" < 1000"}});
    RunTemplate(db, s, "SQLDropUniqueConstraint", {{"tablename", parent}, {"constraintname", Quoted("AK_PARENT_CODE")}});
    RunTemplate(db, s, "SQLAddUniqueConstraint",
        {{"tablename", parent}, {"constraintname", Quoted("AK_PARENT_CODE")}, {"constraintcolumns", Quoted("CODE")},
         {"constraintoptions", "USING INDEX \"IX_AK\""}});
    RunTemplate(db, s, "SQLDropDefaultConstraint", {{"tablename", child}, {"constraintcolumn", Quoted("QTY")}});
    RunTemplate(db, s, "SQLAddDefaultConstraint", {{"tablename", child}, {"constraintcolumn", Quoted("QTY")}, {"constraint", "2"}});
    RunTemplate(db, s, "SQLAddNotNullConstraint", {{"tablename", child}, {"constraintcolumn", Quoted("QTY")}});
    RunTemplate(db, s, "SQLDropNotNullConstraint", {{"tablename", child}, {"constraintcolumn", Quoted("QTY")}});
    RunTemplate(db, s, "SQLDropConstraint", {{"tablename", child}, {"constraintname", Quoted("CK_QTY")}});
    EXPECT_EQ(db.Value("SELECT TRIM(r.RDB$DELETE_RULE) || ',' || TRIM(i.RDB$INDEX_NAME) FROM RDB$REF_CONSTRAINTS r, "
                       "RDB$RELATION_CONSTRAINTS i WHERE r.RDB$CONSTRAINT_NAME = 'FK_CHILD_PARENT' AND "
                       "i.RDB$CONSTRAINT_NAME = 'AK_PARENT_CODE'"),
              "SET DEFAULT,IX_AK");

    // Recreating a table: the data are copied and the identity goes on after the highest value.
    RunTemplate(db, s, "SQLDropFKConstraint", {{"childtablename", child}, {"constraintname", Quoted("FK_CHILD_PARENT")}});
    RunTemplate(db, s, "SQLDropTrigger", {{"triggername", Quoted("TR_PARENT")}});
    RunTemplate(db, s, "SQLDropView", {{"viewname", Quoted("V_PARENT")}});
    RunTemplate(db, s, "SQLCreateTempTable",
        {{"tablename", Quoted("PARENT_TMP")},
         {"temptablecolumns",
          FillTemplate(s.SQLTemplate("SQLCreateTempTableColumn"),
                       WithEmpty({{"columnname", Quoted("ID")}, {"datatype", "INTEGER GENERATED BY DEFAULT AS IDENTITY"},
                                  {"notnull", "NOT NULL"}},
                                 {"defaultvalue", "collate"})) +
              "," +
              FillTemplate(s.SQLTemplate("SQLCreateTempTableColumn"),
                           WithEmpty({{"columnname", Quoted("CODE")}, {"datatype", "VARCHAR(10)"}}, {"defaultvalue", "notnull", "collate"}))},
         {"pkconstraint", ""},
         {"tableoptions", ""}});
    RunTemplate(db, s, "SQLCopyData",
        {{"tablename", Quoted("PARENT_TMP")}, {"intofields", "\"ID\",\"CODE\""}, {"selectfields", "\"ID\",\"CODE\""},
         {"oldtablename", parent}});
    RunTemplate(db, s, "SQLAfterInsertData", {{"nonquotedsimpletablename", "PARENT_TMP"}, {"tablename", Quoted("PARENT_TMP")}});
    EXPECT_EQ(db.Exec("INSERT INTO \"PARENT_TMP\" (\"CODE\") VALUES ('c')"), "");
    // The parents are 1 and 3: the insert that the domain's check refused had taken number 2.
    EXPECT_EQ(db.Value("SELECT LIST(\"ID\") FROM (SELECT \"ID\" FROM \"PARENT_TMP\" ORDER BY \"ID\")"), "1,3,4");

    // The trigger that numbers a column from a sequence.
    CreateTable(db, s, "NUMBERED", {Column(s, "ID", "INTEGER"), Column(s, "V", "VARCHAR(5)")});
    EXPECT_EQ(db.Script(FillTemplate(s.AutonumberTriggerTemplate, {{"triggername", Quoted("TR_NUMBERED")},
                                                                   {"tablename", Quoted("NUMBERED")},
                                                                   {"columnname", Quoted("ID")},
                                                                   {"seqname", Quoted("SEQ_ID")}})),
              "");
    EXPECT_EQ(db.Exec("INSERT INTO \"NUMBERED\" (\"V\") VALUES ('a')"), "");
    EXPECT_EQ(db.Value("SELECT \"ID\" FROM \"NUMBERED\""), "105");  // Firebird 3 begins after the start value

    // Dropping everything leaves an empty catalogue.
    RunTemplate(db, s, "SQLDropTrigger", {{"triggername", Quoted("TR_NUMBERED")}});
    RunTemplate(db, s, "SQLDropIndex", {{"indexname", Quoted("IX_CHILD")}});
    RunTemplate(db, s, "SQLDropIndex", {{"indexname", Quoted("IX_NAME")}});
    RunTemplate(db, s, "SQLDropProcedure", {{"procname", Quoted("P_COUNT")}});
    // A function is dropped by the same template: the filler writes DROP FUNCTION for it.
    EXPECT_EQ(db.Script(ReplaceAll(Filled(s, "SQLDropProcedure", {{"procname", Quoted("F_TWICE")}}), "DROP PROCEDURE",
                                   "DROP FUNCTION")),
              "");
    RunTemplate(db, s, "SQLDropUniqueConstraint", {{"tablename", parent}, {"constraintname", Quoted("AK_PARENT_CODE")}});
    RunTemplate(db, s, "SQLDropPKConstraint", {{"tablename", parent}, {"constraintname", Quoted("PK_PARENT")}});
    for (const char* table : {"PARENT", "CHILD", "PARENT_TMP", "NUMBERED"})
        RunTemplate(db, s, "SQLDropTable", {{"tablename", Quoted(table)}});
    RunTemplate(db, s, "SQLDropDomain", {{"domainname", Quoted("D_CODE")}});
    RunTemplate(db, s, "SQLDropDomain", {{"domainname", Quoted("D_NUMBER")}});
    for (const char* sequence : {"SEQ_ID", "BEGIN_SEQ", "END_SEQ"})
        RunTemplate(db, s, "SQLDropSequence", {{"seqname", Quoted(sequence)}});
    EXPECT_TRUE(db.Names("RDB$RELATIONS", "RDB$RELATION_NAME").empty());
    EXPECT_TRUE(db.Names("RDB$PROCEDURES", "RDB$PROCEDURE_NAME").empty());
    EXPECT_TRUE(db.Names("RDB$FUNCTIONS", "RDB$FUNCTION_NAME").empty());
    EXPECT_TRUE(db.Names("RDB$TRIGGERS", "RDB$TRIGGER_NAME").empty());
    EXPECT_TRUE(db.Names("RDB$GENERATORS", "RDB$GENERATOR_NAME").empty());
    EXPECT_TRUE(db.Names("RDB$INDICES", "RDB$INDEX_NAME").empty());
    EXPECT_TRUE(db.Names("RDB$FIELDS", "RDB$FIELD_NAME", " AND RDB$FIELD_NAME NOT STARTING WITH 'RDB$'").empty());
}
