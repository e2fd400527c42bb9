// The shipped MySQL 8 and MariaDB 10.11 targets: their definitions, data types and word lists,
// and their data types on the throwaway MariaDB server.
#include <gtest/gtest.h>

#include <mysql.h>

#include <cctype>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "TestServers.h"
#include "TestSupport.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zSLDatatypes.h"
#include "zXMLUtils.h"

using namespace ardvin;
using ardvin::test::DefinitionsDir;
using ardvin::test::ReadFile;
using ardvin::test::TempDir;

namespace {

using Strings = std::vector<std::string>;

const char* const TargetIds[] = {"mysql8", "mariadb10"};

TVELDatabaseSettings LoadTarget(const std::string& id) {
    TargetDatabases().Build(DefinitionsDir());
    TVELDatabaseSettings s;
    s.DBID = id;
    s.Load();
    return s;
}

TSLDatatypes LoadTypes(const std::string& id) {
    TSLDatatypes types;
    EXPECT_TRUE(types.LoadFromFile(DefinitionsDir() + "/" + id + ".typ")) << id;
    return types;
}

// The non-empty lines of a definitions file, as written.
Strings FileLines(const std::string& name) {
    Strings lines;
    for (const std::string& line : SplitString(ReadFile(DefinitionsDir() + "/" + name), '\n'))
        if (!Trim(line).empty()) lines.push_back(TrimRight(line));
    return lines;
}

// Every placeholder of the statement template language.
std::set<std::string> KnownPlaceholders() {
    std::set<std::string> known = {
        // common
        "terminator", "tableschema", "mssqltableschema",
        // tables
        "tablecomment", "tablecolumns", "temptablecolumns", "pkconstraint", "tableconstraints",
        "tableabbreviation", "tableoptions", "begintablescript", "endtablescript",
        // columns
        "columncomment", "position", "attributeoptions", "collate", "prevcolumnname", "datatype",
        "defaultvalue", "check", "notnull", "sqliteautoincpk", "db2autoinc", "defaultconstraint",
        "notnullconstraint", "checkconstraint",
        // data types
        "physicaldatatype", "length", "precision", "items", "expression", "characterset", "collation",
        "subtype", "segmentsize", "arrayoptions", "unsigned", "zerofill", "auto_increment", "autoincrement",
        // constraints
        "constraint", "constraintcolumn", "constraintcolumns", "constraintoptions", "pkclustering",
        "columndatatype", "parentcolumns", "childcolumns", "deleterule", "updaterule",
        // indexes and index columns
        "indexcomment", "indexsortoption", "indextype", "indexcompression", "indexclustering", "indexcase",
        "ibfbidxprefix", "indexcolumns", "indexoptions", "indexcolumnname", "indexcolumn",
        "indexcolumn_nonfixed", "indexcolumnsortoption",
        // sequences
        "seqcomment", "seqseed", "seqseedlessincrement", "seqincrement", "seqmin", "seqmax", "seqintegertype",
        "oraseqmax", "oraseqmin", "oraseqcache", "mssqlserverseqcache", "seqcycle", "seqcache",
        "seqcachecode", "seqorder",
        // domains
        "domaincomment", "mssqlrule", "mssqldroprule", "mssqldefault", "mssqldropdefault", "mssqladdtype",
        "mssqldroptype", "mssqlbindrule", "mssqlunbindrule", "mssqlbindefault", "mssqlunbindefault",
        // code objects
        "triggercode", "viewcomment", "viewcode", "rulecomment", "rulecode", "ruletype", "ruleparams",
        "proccomment", "proccode", "procparams",
        // copying the data of a recreated table
        "intofields", "selectfields",
        // old names
        "oldtablename", "oldquotedqualifiedtablename", "oldnonquotedqualifiedtablename",
        "oldquotedsimpletablename", "oldnonquotedsimpletablename", "oldtablename_nonfixed", "oldcolumnname",
        "oldcolumnname_nonfixed", "oldindexname", "oldconstraintname", "olddomainname",
        "oldquotedqualifieddomainname", "oldnonquotedqualifieddomainname", "oldquotedsimpledomainname",
        "oldnonquotedsimpledomainname", "olddomainname_nonfixed", "oldquotedsimpleindexname", "defaultconstraintname"};
    // The name forms of every kind of object; tables, columns and domains also have the
    // non-fixed form, and the tables of a relationship the parent and child forms.
    for (const char* kind :
         {"table", "column", "index", "constraint", "domain", "seq", "view", "proc", "rule", "trigger"}) {
        const std::string k = kind;
        for (const std::string& form :
             {"quotedqualified" + k + "name", "nonquotedqualified" + k + "name", "quotedsimple" + k + "name",
              "nonquotedsimple" + k + "name", k + "name"})
            known.insert(form);
    }
    for (const char* kind : {"table", "column", "domain"})
        known.insert(std::string(kind) + "name_nonfixed");
    for (const char* side : {"parent", "child"})
        for (const char* form : {"tablename", "quotedqualifiedtablename", "nonquotedqualifiedtablename",
                                 "quotedsimpletablename", "nonquotedsimpletablename"})
            known.insert(std::string(side) + form);
    return known;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Templates that are parts of other statements and so carry no terminator of their own.
bool IsFragment(const std::string& name) {
    return name == "SQLCreateColumn" || name == "SQLCreateTempTableColumn" ||
           name == "SQLCreatePKConstraint" || name == "SQLIndexColumn";
}

// A data type value bound to a given list instead of a data dictionary.
class TTestDataType : public TVELDataType {
public:
    explicit TTestDataType(const TSLDatatypes* list) : TVELDataType(nullptr), list_(list) {}
    const TSLDatatypes* TypeList() const override { return list_; }

private:
    const TSLDatatypes* list_;
};

// The proposed values of a new column of a type; a set or enumeration gets two items.
TDataTypeValues ProposedValues(const TDataTypeRecord& r) {
    TDataTypeValues v;
    v.Length = IntToStr(r.DefaultLength);
    v.Precision = r.DefaultPrecision;
    if (r.Capabilities & dcItems) v.Items = "'a','b'";
    return v;
}

// The DefinitionIDs documented in DEFINITION_IDS.md (the first column of its tables).
std::set<int32_t> DocumentedDefinitionIds() {
    std::set<int32_t> ids;
    for (const std::string& line : SplitString(ReadFile(DefinitionsDir() + "/DEFINITION_IDS.md"), '\n')) {
        const Strings cells = SplitString(line, '|');
        int32_t id = 0;
        if (cells.size() > 2 && TryStrToInt(cells[1], id)) ids.insert(id);
    }
    return ids;
}

} // namespace

TEST(MySQLDefinitions, LoadCleanlyAndSpellOutEveryKey) {
    TempDir dir;
    TVELDatabaseSettings fresh;
    fresh.SaveToFile(dir.File("all.def"));
    const Strings allLines = SplitString(ReadFile(dir.File("all.def")), '\n');

    for (const std::string id : TargetIds) {
        SCOPED_TRACE(id);
        const TVELDatabaseSettings s = LoadTarget(id);
        EXPECT_TRUE(TargetDatabases().LoadWarnings.empty())
            << JoinStrings(TargetDatabases().LoadWarnings, "\n");
        EXPECT_TRUE(s.LoadWarnings.empty()) << JoinStrings(s.LoadWarnings, "\n");
        const TTargetEntry& entry = TargetDatabases().EntryById(id);
        EXPECT_EQ(entry.Name, s.DBMSName);
        EXPECT_EQ(entry.TargetType, TTargetType::SQL);
        EXPECT_TRUE(entry.UpdateModel && entry.UpdateDatabase && entry.NativeImporterAvailable);

        // Every key of every section is written out, so that nothing falls back to a default
        // by accident; the templates are included.
        TIniDocument shipped;
        ASSERT_TRUE(shipped.LoadFromFile(DefinitionsDir() + "/" + id + ".def", nullptr));
        std::string section;
        for (const std::string& line : allLines) {
            const std::string l = Trim(line);
            if (l.size() > 2 && l[0] == '[') section = l.substr(1, l.size() - 2);
            const size_t eq = l.find('=');
            if (eq != std::string::npos) {
                EXPECT_TRUE(shipped.Has(section, l.substr(0, eq))) << section << "/" << l.substr(0, eq);
            }
        }

        // The connection dialog asks for known parameters only.
        ASSERT_GT(s.REParams.Count(), 0);
        for (int i = 0; i < s.REParams.Count(); ++i)
            EXPECT_NE(TVELDatabaseSettings::ParamLabel(s.REParams.NameAt(i)), "") << s.REParams.NameAt(i);
        for (const TVELSettingsList* params : {&s.FEParams, &s.ModParams})
            for (int i = 0; i < params->Count(); ++i)
                EXPECT_NE(TVELDatabaseSettings::ParamLabel(params->NameAt(i)), "") << params->NameAt(i);

        // What the two systems share.
        EXPECT_EQ(s.QuoteDDL("shop.order"), "`shop`.`order`");
        EXPECT_EQ(s.QuoteDML("order"), "`order`");
        EXPECT_EQ(s.StringLiteral("it's"), "'it''s'");
        for (int32_t length : {s.MaxTableNameLength, s.MaxColumnNameLength, s.MaxIndexNameLength,
                               s.MaxTriggerNameLength, s.MaxProcedureNameLength, s.MaxViewNameLength,
                               s.MaxConstraintNameLength, s.MaxSequenceNameLength})
            EXPECT_EQ(length, 64);
        // InnoDB refuses SET DEFAULT.
        EXPECT_EQ(RefIntActionsText(s.RefIntOnDelete), "RCN");
        EXPECT_EQ(RefIntActionsText(s.RefIntOnUpdate), "RCN");
        EXPECT_EQ(s.IdxTypeCodesList, (Strings{"", "UNIQUE", "FULLTEXT", "SPATIAL"}));
        EXPECT_EQ(s.IdxClusteringList, (Strings{"", "BTREE", "HASH"}));
        EXPECT_TRUE(s.IdxOrderCodesList.empty());
        EXPECT_EQ(s.IdxColumnOrderCodesList, (Strings{"", "ASC", "DESC"}));
        EXPECT_TRUE(s.PKAutoIndexed && s.FKAutoIndexed && s.AutonumberAlwaysIndexed && !s.AutonumberAlwaysPK);
        EXPECT_FALSE(s.UniqueAlwaysNotNull);
        EXPECT_FALSE(s.EnablePKConstraintNames || s.EnableNotNullConstraintNames ||
                     s.EnableDefaultConstraintNames);
        EXPECT_FALSE(s.EnableDomains || s.EnableRules);
    }

    // Where the two differ.
    const TVELDatabaseSettings mysql = LoadTarget("mysql8");
    const TVELDatabaseSettings maria = LoadTarget("mariadb10");
    EXPECT_TRUE(mysql.EnableIndexExpressions && !maria.EnableIndexExpressions);
    EXPECT_TRUE(mysql.EnableCheckColumnConstraintNames && !maria.EnableCheckColumnConstraintNames);
    EXPECT_TRUE(mysql.EnableCheckTableConstraintOptions && !maria.EnableCheckTableConstraintOptions);
    EXPECT_FALSE(mysql.EnableSequences);
    EXPECT_TRUE(maria.EnableSequences && maria.EnableSequenceComments && !maria.EnableSeqIntegerType);
    EXPECT_EQ(maria.SeqCycleCodes, (Strings{"", "CYCLE", "NOCYCLE"}));
    EXPECT_EQ(maria.SeqCacheCodes, (Strings{"", "CACHE", "NOCACHE"}));
    EXPECT_TRUE(maria.SeqIntegerTypes.empty() && maria.SeqOrderCodes.empty());
}

TEST(MySQLDefinitions, TemplatesAreWrittenInTheTemplateLanguage) {
    const std::set<std::string> known = KnownPlaceholders();
    const std::regex placeholder("%([^%\\s]*)%");
    for (const std::string id : TargetIds) {
        const TVELDatabaseSettings s = LoadTarget(id);
        std::vector<std::pair<std::string, std::string>> templates;
        for (const std::string& name : TVELDatabaseSettings::SQLCommandNames())
            templates.emplace_back(name, s.SQLTemplate(name));
        templates.emplace_back("autonumbertriggertemplate", s.AutonumberTriggerTemplate);
        templates.emplace_back("autonumberdefaulttemplate", s.AutonumberDefaultTemplate);

        for (const auto& [name, text] : templates) {
            SCOPED_TRACE(id + " " + name);
            // Placeholders are known lower-case words.
            for (std::sregex_iterator m(text.begin(), text.end(), placeholder), end; m != end; ++m)
                EXPECT_TRUE(known.count((*m)[1].str())) << "unknown placeholder " << (*m)[0].str();
            const std::string withoutPlaceholders = std::regex_replace(text, placeholder, "");
            EXPECT_EQ(withoutPlaceholders.find('%'), std::string::npos) << "stray % in " << text;

            // Optional parts do not nest, are closed, and each holds a placeholder that can
            // make it vanish; literal braces are written <# and #>.
            const std::string t = ReplaceAll(ReplaceAll(text, "<#", ""), "#>", "");
            size_t open = std::string::npos;
            for (size_t i = 0; i < t.size(); ++i) {
                if (t[i] == '{') {
                    EXPECT_EQ(open, std::string::npos) << "nested brace at " << i;
                    open = i;
                } else if (t[i] == '}') {
                    ASSERT_NE(open, std::string::npos) << "unopened brace at " << i;
                    const std::string part = t.substr(open, i - open);
                    EXPECT_TRUE(std::regex_search(part, placeholder)) << "no placeholder in " << part;
                    open = std::string::npos;
                }
            }
            EXPECT_EQ(open, std::string::npos) << "unclosed brace";

            // A statement ends with the terminator (then maybe the table's end script), or with
            // the switch back to the terminator after a block.
            if (text.empty() || IsFragment(name) || name.rfind("autonumber", 0) == 0) continue;
            const bool terminated = EndsWith(text, "%terminator%");
            const bool endScript =
                name == "SQLCreateTable" && EndsWith(text, "%terminator%{#13#10%endtablescript%}");
            const bool block =
                StartsText("DELIMITER " + s.BlockTerminator + "#13#10", text) &&
                EndsWith(text, "#13#10" + s.BlockTerminator + "#13#10DELIMITER " + s.Terminator);
            EXPECT_TRUE(terminated || endScript || block) << text;
        }
    }
}

TEST(MySQLDefinitions, CapabilitiesAgreeWithTemplates) {
    for (const std::string id : TargetIds) {
        SCOPED_TRACE(id);
        const TVELDatabaseSettings s = LoadTarget(id);
        const auto has = [&](const char* name) { return !s.SQLTemplate(name).empty(); };
        const std::pair<bool, std::vector<const char*>> pairs[] = {
            {s.EnableIndexes, {"SQLCreateIndex", "SQLDropIndex", "SQLIndexColumn"}},
            {s.EnableRefInt, {"SQLCreateFKConstraint", "SQLAddFKConstraint", "SQLDropFKConstraint"}},
            {s.EnableDomains, {"SQLCreateDomain", "SQLDropDomain"}},
            {s.EnableTriggers, {"SQLCreateTrigger", "SQLDropTrigger"}},
            {s.EnableSequences, {"SQLCreateSequence", "SQLDropSequence"}},
            {s.EnableViews, {"SQLCreateView", "SQLDropView"}},
            {s.EnableProcedures, {"SQLCreateProcedure", "SQLDropProcedure"}},
            {s.EnableRules, {"SQLCreateRule", "SQLDropRule"}},
            {s.EnableSchemas, {"SQLAddSchema"}},
            {s.EnableTableComments, {"SQLAddTableComment", "SQLModifyTableComment", "SQLDropTableComment"}},
            {s.EnableColumnComments,
             {"SQLAddColumnComment", "SQLModifyColumnComment", "SQLDropColumnComment"}},
            {s.EnableSequenceComments, {"SQLAddSequenceComment", "SQLModifySequenceComment"}},
            {s.EnableProcedureComments, {"SQLAddProcedureComment", "SQLModifyProcedureComment"}},
            {s.EnableViewComments, {"SQLAddViewComment", "SQLModifyViewComment"}},
            {s.EnableRuleComments, {"SQLAddRuleComment", "SQLModifyRuleComment"}},
            {s.EnableUpdateDatabase,
             {"SQLAddColumn", "SQLDropColumn", "SQLModifyColumnDataType", "SQLRenameTable"}},
        };
        for (const auto& [enabled, names] : pairs)
            for (const char* name : names)
                EXPECT_EQ(has(name), enabled) << name;

        // Comments and options that are enabled are written somewhere.
        const std::string createColumn = s.SQLTemplate("SQLCreateColumn");
        EXPECT_EQ(createColumn.find("%columncomment%") != std::string::npos, s.EnableColumnComments);
        EXPECT_EQ(createColumn.find("%collate%") != std::string::npos, s.EnableColumnCollate);
        EXPECT_EQ(createColumn.find("%attributeoptions%") != std::string::npos, s.EnableAttributeOptions);
        EXPECT_EQ(s.SQLTemplate("SQLCreateTable").find("%tableoptions%") != std::string::npos,
                  s.EnableTableOptions);
        EXPECT_EQ(s.SQLTemplate("SQLCreateIndex").find("%indexoptions%") != std::string::npos,
                  s.EnableIndexOptions);
        EXPECT_EQ(s.SQLTemplate("SQLCreatePKConstraint").find("%constraintoptions%") != std::string::npos,
                  s.EnablePKConstraintOptions);
        EXPECT_EQ(s.SQLTemplate("SQLCreateUniqueConstraint").find("%constraintoptions%") != std::string::npos,
                  s.EnableUniqueConstraintOptions);
        EXPECT_EQ(s.SQLTemplate("SQLCreateCheckConstraint").find("%constraintoptions%") != std::string::npos,
                  s.EnableCheckTableConstraintOptions);
        EXPECT_EQ(s.SQLTemplate("SQLCreateFKConstraint").find("%constraintoptions%") != std::string::npos,
                  s.EnableFKConstraintOptions);
        // A column check without a name of its own stays in the column definition; one with a
        // name is a constraint statement of its own.
        EXPECT_EQ(createColumn.find("%check%") != std::string::npos, !s.EnableCheckColumnConstraintNames);
        EXPECT_EQ(!s.PKClusteringList.empty(),
                  s.SQLTemplate("SQLCreatePKConstraint").find("%pkclustering%") != std::string::npos);
    }
}

TEST(MySQLDataTypes, EveryTypeRendersAndValidates) {
    const std::set<int32_t> documented = DocumentedDefinitionIds();
    ASSERT_TRUE(documented.count(1) && documented.count(311));
    for (const std::string id : TargetIds) {
        SCOPED_TRACE(id);
        const TSLDatatypes list = LoadTypes(id);
        EXPECT_TRUE(list.LoadWarnings.empty()) << JoinStrings(list.LoadWarnings, "\n");
        ASSERT_GT(list.Count(), 40);
        EXPECT_EQ(list.DefaultType(), "INT");
        EXPECT_EQ(list.AutoNumberType(), "INT");

        std::set<int32_t> ids;
        std::vector<std::pair<int, std::string>> messages;
        const TVELMessageCallback collect = [&](TVELNamedObject*, int level, const std::string& text) {
            messages.emplace_back(level, text);
        };
        for (int i = 0; i < list.Count(); ++i) {
            const TDataTypeRecord& r = list.Record(i);
            SCOPED_TRACE(r.ListName);
            EXPECT_GE(list.TypeGroupAt(i), tgExactNumeric);
            EXPECT_EQ(UpperCase(r.ListName), r.ListName);
            if (!r.FKDataType.empty()) {
                EXPECT_GE(list.IndexOf(r.FKDataType), 0) << r.FKDataType;
            }
            if (r.DefinitionID != 0) {
                EXPECT_TRUE(ids.insert(r.DefinitionID).second)
                    << "DefinitionID used twice: " << r.DefinitionID;
                EXPECT_TRUE(documented.count(r.DefinitionID))
                    << "undocumented DefinitionID " << r.DefinitionID;
            }
            // A synonym names no other type.
            for (const std::string& synonym : r.SynonymList)
                EXPECT_EQ(list.IndexByNameOrSynonym(synonym), i) << synonym;
            TDataTypeValues autoNumber;
            autoNumber.AutoNumber = true;
            EXPECT_EQ(list.AutoNumberText(r.ListName, autoNumber),
                      (r.Capabilities & dcAutoNumber) ? " AUTO_INCREMENT" : "");

            // The type with its proposed length and precision renders and validates.
            TTestDataType dt(&list);
            dt.DataType = r.ListName;
            static_cast<TDataTypeValues&>(dt) = ProposedValues(r);
            dt.Validate(false, collect);
            const std::string text = dt.TypeText();
            EXPECT_EQ(UpperCase(text).rfind(r.ListName.substr(0, r.ListName.find(' ')), 0), 0u) << text;
            EXPECT_EQ(text.find_first_of("%[]~"), std::string::npos) << text;
        }
        EXPECT_TRUE(messages.empty()) << messages.front().second;
    }
}

TEST(MySQLWordLists, ReservedWordsAndKeywords) {
    for (const std::string id : TargetIds) {
        SCOPED_TRACE(id);
        std::set<std::string> reserved;
        for (const std::string& line : FileLines(id + "_reserved.txt")) {
            const std::string word = StartsText("DEFAULT:", line) ? line.substr(8) : line;
            EXPECT_EQ(word, UpperCase(Trim(word))) << line;
            EXPECT_TRUE(reserved.insert(word).second) << "twice: " << word;
        }
        std::set<std::string> keywords;
        for (const std::string& word : FileLines(id + "_keywords.txt")) {
            EXPECT_EQ(word, UpperCase(Trim(word)));
            EXPECT_TRUE(keywords.insert(word).second) << "twice: " << word;
            EXPECT_FALSE(reserved.count(word)) << "reserved and keyword: " << word;
        }

        const TVELDatabaseSettings s = LoadTarget(id);
        EXPECT_EQ(s.ReservedWords.size(), reserved.size());
        EXPECT_EQ(s.Keywords.size(), keywords.size());
        for (const char* word : {"select", "Key", "INTERVAL", "RANGE", "CURRENT_TIMESTAMP", "NULL"})
            EXPECT_TRUE(s.IsReservedWord(word)) << word;
        for (const char* word : {"customer", "comment", "status", "text"})
            EXPECT_FALSE(s.IsReservedWord(word)) << word;
        EXPECT_TRUE(s.IsKeyword("ENGINE"));
        for (const char* value : {"CURRENT_TIMESTAMP", "current_timestamp(6)", "NOW()", "(CURDATE())", "null",
                                  "(UUID())", "TRUE"})
            EXPECT_TRUE(s.IsDefaultKeyword(value)) << value;
        for (const char* value : {"'now'", "0", "SELECT", "abc"})
            EXPECT_FALSE(s.IsDefaultKeyword(value)) << value;
    }
    // The systems reserve different words.
    const TVELDatabaseSettings mysql = LoadTarget("mysql8");
    const TVELDatabaseSettings maria = LoadTarget("mariadb10");
    for (const char* word : {"LATERAL", "GROUPS", "RANK", "SYSTEM", "CUBE", "FUNCTION", "_FILENAME"}) {
        EXPECT_TRUE(mysql.IsReservedWord(word)) << word;
        EXPECT_FALSE(maria.IsReservedWord(word)) << word;
    }
    for (const char* word : {"RETURNING", "CURRENT_ROLE", "OFFSET", "DELETE_DOMAIN_ID", "PORTION"}) {
        EXPECT_FALSE(mysql.IsReservedWord(word)) << word;
        EXPECT_TRUE(maria.IsReservedWord(word)) << word;
    }
    EXPECT_TRUE(maria.IsDefaultKeyword("NEXTVAL(seq)"));
    EXPECT_FALSE(mysql.IsDefaultKeyword("NEXTVAL(seq)"));
}

// ---- the data types on the MariaDB test server ------------------------------------------------

namespace {

// A connection to one database of the MariaDB test server.
class TMariaDB {
public:
    explicit TMariaDB(const std::string& database) : conn_(mysql_init(nullptr), &mysql_close) {
        const test::ServerParams p = test::MariaDBServer();
        connected_ =
            mysql_real_connect(conn_.get(), p.Host.c_str(), p.User.c_str(), p.Password.c_str(),
                               database.c_str(), static_cast<unsigned>(p.Port), nullptr, 0) != nullptr;
    }
    bool Connected() const { return connected_; }
    std::string Error() { return mysql_error(conn_.get()); }

    // Empty when the statement succeeded, else the server's message.
    std::string Exec(const std::string& sql) {
        return mysql_query(conn_.get(), sql.c_str()) == 0 ? "" : Error();
    }

    // The rows of a query, NULL as empty text; no rows when the query fails.
    std::vector<Strings> Query(const std::string& sql) {
        std::vector<Strings> rows;
        if (mysql_query(conn_.get(), sql.c_str()) != 0) {
            ADD_FAILURE() << sql << ": " << Error();
            return rows;
        }
        std::unique_ptr<MYSQL_RES, decltype(&mysql_free_result)> result(mysql_store_result(conn_.get()),
                                                                        &mysql_free_result);
        if (!result) return rows;
        const unsigned fields = mysql_num_fields(result.get());
        while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
            Strings values;
            for (unsigned i = 0; i < fields; ++i)
                values.emplace_back(row[i] ? row[i] : "");
            rows.push_back(std::move(values));
        }
        return rows;
    }

private:
    std::unique_ptr<MYSQL, decltype(&mysql_close)> conn_;
    bool connected_ = false;
};

// What the server reports (information_schema.COLUMNS.COLUMN_TYPE) for a type written with
// its proposed length and precision, with another length, precision or items, as UNSIGNED and
// as ZEROFILL; nullptr where the type has no such form.
struct TExpectedType {
    const char* Type;
    const char* Proposed;
    const char* Other;
    const char* Unsigned;
    const char* ZeroFill;
};

// MariaDB writes the display width of integers and reports JSON as the LONGTEXT it stands for.
// The MySQL 8 types are written without a display width (deprecated there), and the server
// gives them its default widths as it does for the MariaDB types.
const TExpectedType ServerTypes[] = {
    {"TINYINT", "tinyint(4)", "tinyint(7)", "tinyint(3) unsigned", "tinyint(3) unsigned zerofill"},
    {"SMALLINT", "smallint(6)", "smallint(7)", "smallint(5) unsigned", "smallint(5) unsigned zerofill"},
    {"MEDIUMINT", "mediumint(9)", "mediumint(7)", "mediumint(8) unsigned", "mediumint(8) unsigned zerofill"},
    {"INT", "int(11)", "int(7)", "int(10) unsigned", "int(10) unsigned zerofill"},
    {"BIGINT", "bigint(20)", "bigint(7)", "bigint(20) unsigned", "bigint(20) unsigned zerofill"},
    {"BIGINT UNSIGNED", "bigint(20) unsigned", "bigint(7) unsigned", nullptr, "bigint(20) unsigned zerofill"},
    {"SERIAL", "bigint(20) unsigned", nullptr, nullptr, nullptr},
    {"BOOLEAN", "tinyint(1)", nullptr, nullptr, nullptr},
    {"BIT", "bit(1)", "bit(7)", nullptr, nullptr},
    {"DECIMAL", "decimal(10,2)", "decimal(7,3)", "decimal(10,2) unsigned", "decimal(10,2) unsigned zerofill"},
    {"FLOAT", "float", "float(7,3)", "float unsigned", "float unsigned zerofill"},
    {"DOUBLE", "double", "double(7,3)", "double unsigned", "double unsigned zerofill"},
    {"DATE", "date", nullptr, nullptr, nullptr},
    {"TIME", "time", "time(3)", nullptr, nullptr},
    {"DATETIME", "datetime", "datetime(3)", nullptr, nullptr},
    {"TIMESTAMP", "timestamp", "timestamp(3)", nullptr, nullptr},
    {"YEAR", "year(4)", "year(2)", nullptr, nullptr},
    {"CHAR", "char(1)", "char(7)", nullptr, nullptr},
    {"VARCHAR", "varchar(50)", "varchar(7)", nullptr, nullptr},
    {"NCHAR", "char(1)", "char(7)", nullptr, nullptr},
    {"NVARCHAR", "varchar(50)", "varchar(7)", nullptr, nullptr},
    {"TINYTEXT", "tinytext", nullptr, nullptr, nullptr},
    {"TEXT", "text", nullptr, nullptr, nullptr},
    {"MEDIUMTEXT", "mediumtext", nullptr, nullptr, nullptr},
    {"LONGTEXT", "longtext", nullptr, nullptr, nullptr},
    {"BINARY", "binary(1)", "binary(7)", nullptr, nullptr},
    {"VARBINARY", "varbinary(50)", "varbinary(7)", nullptr, nullptr},
    {"TINYBLOB", "tinyblob", nullptr, nullptr, nullptr},
    {"BLOB", "blob", nullptr, nullptr, nullptr},
    {"MEDIUMBLOB", "mediumblob", nullptr, nullptr, nullptr},
    {"LONGBLOB", "longblob", nullptr, nullptr, nullptr},
    {"ENUM", "enum('a','b')", "enum('x','y','z')", nullptr, nullptr},
    {"SET", "set('a','b')", "set('x','y','z')", nullptr, nullptr},
    {"JSON", "longtext", nullptr, nullptr, nullptr},
    {"UUID", "uuid", nullptr, nullptr, nullptr},
    {"INET4", "inet4", nullptr, nullptr, nullptr},
    {"INET6", "inet6", nullptr, nullptr, nullptr},
    {"GEOMETRY", "geometry", nullptr, nullptr, nullptr},
    {"POINT", "point", nullptr, nullptr, nullptr},
    {"LINESTRING", "linestring", nullptr, nullptr, nullptr},
    {"POLYGON", "polygon", nullptr, nullptr, nullptr},
    {"MULTIPOINT", "multipoint", nullptr, nullptr, nullptr},
    {"MULTILINESTRING", "multilinestring", nullptr, nullptr, nullptr},
    {"MULTIPOLYGON", "multipolygon", nullptr, nullptr, nullptr},
    {"GEOMETRYCOLLECTION", "geometrycollection", nullptr, nullptr, nullptr},
};

// MySQL 8 spellings that the MariaDB server does not take, left out of the MySQL 8 run.
const std::set<std::string> MySQL8Only = {
    "JSON",           // a binary JSON type of its own in MySQL; MariaDB only knows JSON as LONGTEXT
    "GEOMCOLLECTION", // MySQL's short name of GEOMETRYCOLLECTION; MariaDB knows the long one only
};

// One column to create and what the server must report for it.
struct TProbe {
    std::string What;
    std::string Definition; // the column definition after the column name
    std::string Extra;      // a further element of the table, such as its primary key
    std::string ColumnType;
    std::string Charset;   // checked when not empty
    std::string Collation; // checked when not empty
    bool AutoIncrement = false;
    std::string Srid; // the spatial reference system, checked when not empty
};

TProbe& AddProbe(std::vector<TProbe>& probes, std::string what, std::string definition,
                 std::string columnType) {
    TProbe& p = probes.emplace_back();
    p.What = std::move(what);
    p.Definition = std::move(definition);
    p.ColumnType = std::move(columnType);
    return p;
}

// Every type of a target in every form it has: the proposed length and precision, another
// length, precision or items, UNSIGNED, ZEROFILL, AUTO_INCREMENT, a character set and
// collation, data type options, and every synonym in place of the type's name.
std::vector<TProbe> Probes(const std::string& id, const TSLDatatypes& list) {
    const bool maria = id == "mariadb10";
    std::map<std::string, const TExpectedType*> expected;
    for (const TExpectedType& e : ServerTypes)
        expected[e.Type] = &e;
    std::vector<TProbe> probes;
    for (int i = 0; i < list.Count(); ++i) {
        const TDataTypeRecord& r = list.Record(i);
        if (!maria && MySQL8Only.count(r.ListName)) continue;
        const auto found = expected.find(r.ListName);
        if (found == expected.end()) {
            ADD_FAILURE() << id << ": no expected server type for " << r.ListName;
            continue;
        }
        const TExpectedType& e = *found->second;
        const uint32_t caps = r.Capabilities;
        const auto add = [&](const std::string& what, const TDataTypeValues& v, const char* columnType) {
            if (!columnType) {
                ADD_FAILURE() << id << ": no expected server type for " << r.ListName << " " << what;
                return static_cast<TProbe*>(nullptr);
            }
            return &AddProbe(probes, r.ListName + " " + what, list.TypeText(r.ListName, v, true), columnType);
        };
        const TDataTypeValues proposed = ProposedValues(r);
        add("proposed", proposed, e.Proposed)->AutoIncrement = r.Group == tgAutonumber;
        if (caps & (dcLength | dcPrecision | dcItems)) {
            TDataTypeValues v = proposed;
            if (caps & dcLength) v.Length = r.MaxLength > 0 && r.MaxLength < 7 ? "2" : "7";
            if (caps & dcPrecision) v.Precision = 3;
            if (caps & dcItems) v.Items = "'x','y','z'";
            add("other", v, e.Other);
        } else if (maria) {
            EXPECT_EQ(e.Other, nullptr) << r.ListName;
        }
        if (caps & dcUnsigned) {
            TDataTypeValues v = proposed;
            v.Unsigned = true;
            add("unsigned", v, e.Unsigned);
        }
        if (caps & dcZeroFill) {
            TDataTypeValues v = proposed;
            v.ZeroFill = true;
            add("zerofill", v, e.ZeroFill);
        }
        if (caps & dcAutoNumber) {
            TDataTypeValues v = proposed;
            v.AutoNumber = true;
            TProbe* p = add("auto_increment", v, e.Proposed);
            p->Definition += " NOT NULL";
            p->Extra = "PRIMARY KEY (c)";
            p->AutoIncrement = true;
        }
        if (caps & (dcCharacterSet | dcCollation)) {
            TDataTypeValues v = proposed;
            TProbe* p = nullptr;
            if (caps & dcCharacterSet) {
                v.CharacterSet = "latin1";
                v.Collation = (caps & dcCollation) ? "latin1_bin" : "";
                p = add("character set", v, e.Proposed);
                p->Charset = "latin1";
                p->Collation = v.Collation;
            } else {
                v.Collation = "utf8mb3_bin"; // national characters are UTF-8 with 3 bytes at most
                p = add("collation", v, e.Proposed);
                p->Collation = v.Collation;
            }
        }
        // MySQL 8 gives a spatial column its reference system as SRID n; MariaDB as
        // REF_SYSTEM_ID=n, so only the MariaDB form is run.
        if ((caps & dcDataTypeOptions) && maria) {
            TDataTypeValues v = proposed;
            v.DTOptions = "REF_SYSTEM_ID=4326";
            add("with options", v, e.Proposed)->Srid = "4326";
        }
        const std::string text = list.TypeText(r.ListName, proposed, false);
        for (const std::string& synonym : r.SynonymList) {
            if (!maria && MySQL8Only.count(synonym)) continue;
            EXPECT_TRUE(StartsText(r.ListName, text)) << text;
            AddProbe(probes, r.ListName + " as " + synonym, synonym + text.substr(r.ListName.size()),
                     e.Proposed)
                .AutoIncrement = r.Group == tgAutonumber;
        }
    }
    return probes;
}

} // namespace

TEST(MySQLServer, TypesAreTheOnesMeant) {
    for (const std::string id : TargetIds) {
        SCOPED_TRACE(id);
        const TSLDatatypes list = LoadTypes(id);
        const std::vector<TProbe> probes = Probes(id, list);
        ASSERT_GT(probes.size(), 100u);

        const std::string database = test::CreateMariaDBDatabase("types_" + id);
        {
            TMariaDB db(database);
            ASSERT_TRUE(db.Connected()) << db.Error();
            // One table per column, so that a failing type text fails alone.
            for (size_t i = 0; i < probes.size(); ++i) {
                const TProbe& p = probes[i];
                const std::string sql = "CREATE TABLE t" + std::to_string(i) + " (c " + p.Definition +
                                        (p.Extra.empty() ? "" : ", " + p.Extra) + ")";
                const std::string error = db.Exec(sql);
                EXPECT_EQ(error, "") << p.What << ": " << sql;
            }
            std::map<std::string, Strings> columns;
            for (Strings& row : db.Query("SELECT TABLE_NAME, COLUMN_TYPE, IFNULL(CHARACTER_SET_NAME, ''), "
                                         "IFNULL(COLLATION_NAME, ''), EXTRA FROM information_schema.COLUMNS "
                                         "WHERE TABLE_SCHEMA = DATABASE()"))
                columns[row[0]] = std::move(row);
            for (size_t i = 0; i < probes.size(); ++i) {
                const TProbe& p = probes[i];
                SCOPED_TRACE(p.What + ": " + p.Definition);
                const auto column = columns.find("t" + std::to_string(i));
                if (column == columns.end()) continue; // its CREATE TABLE failed above
                const Strings& c = column->second;
                EXPECT_EQ(c[1], p.ColumnType);
                if (!p.Charset.empty()) {
                    EXPECT_EQ(c[2], p.Charset);
                }
                if (!p.Collation.empty()) {
                    EXPECT_EQ(c[3], p.Collation);
                }
                EXPECT_EQ(c[4].find("auto_increment") != std::string::npos, p.AutoIncrement) << c[4];
                if (!p.Srid.empty()) {
                    const std::vector<Strings> srid = db.Query(
                        "SELECT SRID FROM information_schema.GEOMETRY_COLUMNS WHERE G_TABLE_SCHEMA = "
                        "DATABASE() AND G_TABLE_NAME = '" +
                        column->first + "'");
                    ASSERT_EQ(srid.size(), 1u);
                    EXPECT_EQ(srid[0][0], p.Srid);
                }
            }
        }
        test::DropMariaDBDatabase(database);
    }
}

TEST(MySQLServer, MariaDBReservedWordsNeedQuotes) {
    // Reserved in other places of the grammar, but taken as column names.
    const std::set<std::string> usableAsColumn = {
        "DATABASE", "GENERAL", "IGNORE_SERVER_IDS", "MASTER_HEARTBEAT_PERIOD", "OPTION", "SCHEMA",
        "SLOW",     "WINDOW"};
    // Functions that may stand in a default value without being reserved.
    const std::set<std::string> functions = {"NOW", "CURDATE", "CURTIME", "UUID", "RAND", "NEXTVAL"};

    const std::string database = test::CreateMariaDBDatabase("words");
    {
        TMariaDB db(database);
        ASSERT_TRUE(db.Connected()) << db.Error();
        Strings reserved;
        for (const std::string& line : FileLines("mariadb10_reserved.txt")) {
            const std::string word = StartsText("DEFAULT:", line) ? line.substr(8) : line;
            if (usableAsColumn.count(word) || functions.count(word)) continue;
            reserved.push_back(word);
            EXPECT_NE(db.Exec("CREATE TABLE r (" + word + " INT)"), "") << word << " is not reserved";
        }
        EXPECT_GT(reserved.size(), 240u);
        // Quoted, they are names like any other: all of them in one table.
        EXPECT_EQ(db.Exec("CREATE TABLE r (`" + JoinStrings(reserved, "` INT, `") + "` INT)"), "");
        // Every keyword stands unquoted as a column name: all of them in one table.
        const Strings keywords = FileLines("mariadb10_keywords.txt");
        EXPECT_EQ(db.Exec("CREATE TABLE k (" + JoinStrings(keywords, " INT, ") + " INT)"), "");
        EXPECT_EQ(
            db.Query("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                     "TABLE_NAME = 'k'"),
            (std::vector<Strings>{{IntToStr(static_cast<int64_t>(keywords.size()))}}));
        // And every keyword the server knows is in one of the two lists.
        const TVELDatabaseSettings s = LoadTarget("mariadb10");
        for (const Strings& row : db.Query("SELECT WORD FROM information_schema.KEYWORDS")) {
            if (std::isalpha(static_cast<unsigned char>(row[0][0])) || row[0][0] == '_') {
                EXPECT_TRUE(s.IsKeyword(row[0]) || s.IsReservedWord(row[0])) << row[0];
            }
        }
    }
    test::DropMariaDBDatabase(database);
}
