#include "TestTemplates.h"

#include <algorithm>

#include "TestSupport.h"
#include "zDDLUtils.h"
#include "zDatabaseSettings.h"
#include "zXMLUtils.h"

namespace ardvin::test {

const std::set<std::string>& KnownPlaceholders() {
    static const std::set<std::string> known = [] {
        std::set<std::string> k = {
            // common, table
            "terminator", "tableschema", "mssqltableschema", "tablecomment", "tablecolumns",
            "temptablecolumns", "pkconstraint", "tableconstraints", "tableabbreviation", "tableoptions",
            "begintablescript", "endtablescript",
            // column
            "columncomment", "position", "attributeoptions", "collate", "prevcolumnname", "datatype",
            "defaultvalue", "check", "notnull", "sqliteautoincpk", "db2autoinc", "defaultconstraint",
            "notnullconstraint", "checkconstraint",
            // data type
            "physicaldatatype", "length", "precision", "items", "expression", "characterset", "collation",
            "subtype", "segmentsize", "arrayoptions", "unsigned", "zerofill", "auto_increment",
            "autoincrement",
            // constraint
            "constraint", "constraintcolumn", "constraintcolumns", "constraintoptions", "pkclustering",
            "columndatatype", "parentcolumns", "childcolumns", "deleterule", "updaterule",
            // index and index column
            "indexcomment", "indexsortoption", "indextype", "indexcompression", "indexclustering",
            "indexcase", "ibfbidxprefix", "indexcolumns", "indexoptions", "indexcolumnname", "indexcolumn",
            "indexcolumn_nonfixed", "indexcolumnsortoption",
            // sequence
            "seqcomment", "seqseed", "seqseedlessincrement", "seqincrement", "seqmin", "seqmax",
            "seqintegertype", "oraseqmax", "oraseqmin", "oraseqcache", "mssqlserverseqcache", "seqcycle",
            "seqcache", "seqcachecode", "seqorder",
            // domain
            "domaincomment", "mssqlrule", "mssqldroprule", "mssqldefault", "mssqldropdefault", "mssqladdtype",
            "mssqldroptype", "mssqlbindrule", "mssqlunbindrule", "mssqlbindefault", "mssqlunbindefault",
            // code objects
            "triggercode", "viewcomment", "viewcode", "rulecomment", "rulecode", "ruletype", "ruleparams",
            "proccomment", "proccode", "procparams",
            // copying the data of a recreated table
            "intofields", "selectfields",
            // old names
            "oldcolumnname", "oldcolumnname_nonfixed", "oldindexname", "oldconstraintname"};
        const char* const forms[] = {"quotedqualified", "nonquotedqualified", "quotedsimple",
                                     "nonquotedsimple", ""};
        for (const char* kind :
             {"table", "column", "index", "constraint", "domain", "seq", "view", "proc", "rule", "trigger"})
            for (const char* form : forms)
                k.insert(std::string(form) + kind + "name");
        for (const char* kind : {"table", "column", "domain"})
            k.insert(std::string(kind) + "name_nonfixed");
        k.insert("defaultconstraintname");
        for (const char* kind : {"index", "constraint"})
            for (const char* form : forms)
                k.insert(std::string("old") + form + kind + "name");
        for (const char* kind : {"table", "domain"}) {
            for (const char* form : forms)
                k.insert(std::string("old") + form + kind + "name");
            k.insert(std::string("old") + kind + "name_nonfixed");
        }
        for (const char* side : {"parent", "child"})
            for (const char* form : forms)
                k.insert(std::string(side) + form + "tablename");
        return k;
    }();
    return known;
}

std::vector<std::string> Placeholders(std::string_view tmpl, std::string& problem) {
    std::vector<std::string> names;
    if (tmpl.empty()) return names;
    const std::vector<std::string> pieces = SplitString(tmpl, '%');
    if (pieces.size() % 2 == 0) problem = "a \"%\" without its partner";
    for (size_t i = 1; i < pieces.size(); i += 2) {
        const std::string& name = pieces[i];
        const bool word = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        });
        if (!word) problem = "\"%" + name + "%\" is not a lower-case placeholder";
        names.push_back(name);
    }
    return names;
}

std::string CheckOptionalParts(std::string_view tmpl) {
    size_t open = std::string_view::npos;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] == '{') {
            if (open != std::string_view::npos) return "nested optional part";
            open = i;
        } else if (tmpl[i] == '}') {
            if (open == std::string_view::npos) return "\"}\" without \"{\"";
            std::string problem;
            const std::vector<std::string> names = Placeholders(tmpl.substr(open + 1, i - open - 1), problem);
            if (std::set<std::string>(names.begin(), names.end()).size() != 1)
                return "optional part " + std::string(tmpl.substr(open, i - open + 1)) +
                       " does not hold exactly one placeholder";
            open = std::string_view::npos;
        }
    }
    return open == std::string_view::npos ? "" : "\"{\" without \"}\"";
}

std::vector<std::string> UnwrittenKeys(const std::string& defFile) {
    std::vector<std::string> missing;
    TempDir dir;
    TVELDatabaseSettings fresh;
    fresh.SaveToFile(dir.File("all.def"));
    TIniDocument shipped;
    if (!shipped.LoadFromFile(defFile, nullptr)) return {"cannot read " + defFile};
    std::string section;
    for (const std::string& line : SplitString(ReadFile(dir.File("all.def")), '\n')) {
        const std::string l = Trim(line);
        if (l.size() > 2 && l[0] == '[') section = l.substr(1, l.size() - 2);
        const size_t eq = l.find('=');
        if (eq != std::string::npos && !shipped.Has(section, l.substr(0, eq)))
            missing.push_back(section + "/" + l.substr(0, eq));
    }
    return missing;
}

std::string FillTemplate(std::string_view tmpl, const TTemplateValues& values) {
    std::string text(tmpl);
    for (const auto& [name, value] : values)
        text = TVELTemplateFiller::ReplacePlaceholder(text, "%" + name + "%", TVELTemplateFiller::EscapeValue(value));
    return TVELTemplateFiller::FinishText(text);
}

TTemplateValues WithEmpty(TTemplateValues values, std::initializer_list<const char*> optional) {
    for (const char* placeholder : optional)
        if (std::none_of(values.begin(), values.end(), [&](const auto& v) { return v.first == placeholder; }))
            values.emplace_back(placeholder, "");
    return values;
}

}  // namespace ardvin::test
