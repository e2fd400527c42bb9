#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "zDatabaseSettings.h"

using namespace ardvin;
using ardvin::test::DefinitionsDir;
using ardvin::test::ReadFile;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace fs = std::filesystem;
using namespace std::string_view_literals;

namespace {

using Strings = std::vector<std::string>;

// Loads a definition text written as <dir>/<id>.def through the registry's folder.
TVELDatabaseSettings LoadDef(const TempDir& dir, const std::string& id, const std::string& text) {
    WriteFile(dir.File(id + ".def"), text);
    TargetDatabases().Build(dir.Path());
    TVELDatabaseSettings s;
    s.DBID = id;
    s.Load();
    return s;
}

Strings Names(const TVELSettingsList& list) {
    Strings names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list.NameAt(i));
    return names;
}

std::string ExpectError(const std::function<void()>& f) {
    try {
        f();
    } catch (const EVELError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no EVELError raised";
    return {};
}

} // namespace

TEST(IniDocument, ReadsTolerantly) {
    TIniDocument ini;
    Strings warnings;
    ini.LoadFromText("\xEF\xBB\xBF; comment\r\n"
                     "[General]\r\n"
                     "  DBMSName =  My target  \r\n"
                     "dbmsname=second wins not\r\n"
                     "# another comment\n"
                     "\n"
                     "[ Other ] trailing text\r"
                     "empty=\n"
                     "list=;a;b\n"
                     "[general]\n"
                     "later=yes\n",
                     "t.def", &warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(ini.ReadString("GENERAL", "dbmsname", "x"), "My target");
    EXPECT_EQ(ini.ReadString("other", "LIST", "x"), ";a;b");
    EXPECT_TRUE(ini.Has("other", "empty"));
    EXPECT_EQ(ini.ReadString("other", "empty", "x"), "");
    EXPECT_EQ(ini.ReadString("general", "later", "x"), "yes");
    EXPECT_EQ(ini.ReadString("general", "missing", "def"), "def");
    EXPECT_EQ(ini.LineOf("general", "dbmsname"), 3);
    EXPECT_EQ(ini.LineOf("general", "missing"), 0);
}

TEST(IniDocument, ReportsMalformedLinesAndKeepsGoing) {
    TIniDocument ini;
    Strings warnings;
    ini.LoadFromText("orphan=1\n"
                     "[general]\n"
                     "no equals sign\n"
                     "=value without key\n"
                     "[broken\n"
                     "lost=1\n"
                     "[]\n"
                     "bin\x01"
                     "\0"
                     "ary=1\n"
                     "[ok]\n"
                     "key=1\n"sv,
                     "bad.def", &warnings);
    ASSERT_EQ(warnings.size(), 7u);
    EXPECT_EQ(warnings[0], "bad.def:1: ignored key outside of a section \"orphan=1\"");
    EXPECT_EQ(warnings[1], "bad.def:3: ignored malformed line \"no equals sign\"");
    EXPECT_EQ(warnings[2], "bad.def:4: ignored malformed line \"=value without key\"");
    EXPECT_EQ(warnings[3], "bad.def:5: ignored malformed section header \"[broken\"");
    EXPECT_EQ(warnings[4], "bad.def:6: ignored key outside of a section \"lost=1\"");
    EXPECT_EQ(warnings[5], "bad.def:7: ignored malformed section header \"[]\"");
    EXPECT_EQ(warnings[6], "bad.def:8: ignored malformed line \"bin??ary=1\"");
    EXPECT_FALSE(ini.Has("general", "lost"));
    EXPECT_EQ(ini.ReadString("ok", "key", ""), "1");

    // Reports are optional and unreadable files give an empty document.
    ini.LoadFromText("garbage", "x", nullptr);
    EXPECT_FALSE(ini.LoadFromFile("/nonexistent/x.def", &warnings));
    EXPECT_FALSE(ini.Has("ok", "key"));
}

TEST(IniDocument, WritingKeepsTheRestOfTheText) {
    TIniDocument ini;
    ini.LoadFromText("; header\n[a]\nx=1\n; about y\nY=2\nx=dup\n\n[b]\nz=3\n", "f", nullptr);
    ini.WriteString("A", "y", "20");
    ini.WriteString("a", "new", "line1\r\nline2");
    ini.WriteString("c", "k", "v");
    EXPECT_EQ(ini.SaveToText(),
              "; header\r\n[a]\r\nx=1\r\n; about y\r\nY=20\r\nx=dup\r\nnew=line1  line2\r\n\r\n[b]\r\nz=3\r\n"
              "\r\n[c]\r\nk=v\r\n");
    EXPECT_EQ(ini.ReadString("a", "y", ""), "20");
    EXPECT_EQ(ini.ReadString("c", "K", ""), "v");
}

TEST(DatabaseSettings, OnlyGeneralSectionGivesDefaults) {
    TempDir dir;
    const auto s = LoadDef(dir, "plain", "[general]\r\ndbmsname=Plain\r\n");
    EXPECT_TRUE(s.LoadWarnings.empty());
    EXPECT_EQ(s.DBMSName, "Plain");
    EXPECT_EQ(s.GetTargetType(), TTargetType::SQL);
    EXPECT_TRUE(s.EnableIndexes && s.EnableRelationships && s.EnableDomains && s.EnableTableOptions &&
                s.EnableBeginEndScripts && s.EnableBeginEndTableScripts);
    EXPECT_FALSE(s.EnableTriggers || s.EnableSequences || s.EnableViews || s.EnableProcedures ||
                 s.EnableRules);
    for (int len : {s.MaxTableNameLength, s.MaxColumnNameLength, s.MaxIndexNameLength, s.MaxDomainNameLength,
                    s.MaxTriggerNameLength, s.MaxSequenceNameLength, s.MaxProcedureNameLength,
                    s.MaxViewNameLength, s.MaxConstraintNameLength})
        EXPECT_EQ(len, 30);
    EXPECT_EQ(s.IdxOrderCodesList, (Strings{"", "ASC", "DESC"}));
    EXPECT_EQ(s.IdxTypeCodesList, (Strings{"", "UNIQUE"}));
    EXPECT_TRUE(s.IdxCaseCodesList.empty());
    EXPECT_EQ(s.RefIntOnDelete,
              (std::set<TRefIntAction>{TRefIntAction::None, TRefIntAction::Restrict, TRefIntAction::Cascade,
                                       TRefIntAction::SetNull, TRefIntAction::SetDefault}));
    EXPECT_EQ(s.RefIntOnUpdate, std::set<TRefIntAction>{TRefIntAction::None});
    EXPECT_EQ(s.ApplyPrefixTo, std::set<TPrefixKind>{TPrefixKind::Entity});
    EXPECT_EQ(s.Quote, "\"");
    EXPECT_EQ(s.AutoIncLabel, "Identity");
    EXPECT_EQ(s.SQLCommands.Count(), static_cast<int>(TVELDatabaseSettings::SQLCommandNames().size()));
    EXPECT_EQ(s.SQLTemplate("SQLCreateTable"), "");
    // No word files beside the definition: nothing is reserved.
    EXPECT_FALSE(s.IsReservedWord("SELECT"));
}

TEST(DatabaseSettings, ConvertedKeys) {
    EXPECT_EQ(TargetTypeFromText("ms access 2000"), TTargetType::MSAccess2000);
    EXPECT_EQ(TargetTypeFromText("Access"), TTargetType::SQL);
    EXPECT_EQ(TargetTypeFromText("database independent"), TTargetType::DatabaseIndependent);
    EXPECT_EQ(TargetTypeText(TTargetType::DBISAM4), "DBISAM4");

    using A = TRefIntAction;
    EXPECT_EQ(RefIntActionsFromText(""), std::set<A>{A::None});
    EXPECT_EQ(RefIntActionsFromText("CN"), (std::set<A>{A::None, A::Cascade, A::SetNull}));
    EXPECT_EQ(RefIntActionsFromText("rcnd"), std::set<A>{A::None});
    EXPECT_EQ(RefIntActionsText(RefIntActionsFromText("x D-N,C R")), "RCND");
    EXPECT_EQ(RefIntActionsText({A::None}), "");

    EXPECT_EQ(PrefixKindsFromText("entity;View;Table"),
              (std::set<TPrefixKind>{TPrefixKind::Entity, TPrefixKind::View}));
    EXPECT_EQ(PrefixKindsText({TPrefixKind::View, TPrefixKind::Index}), "Index;View");
    EXPECT_TRUE(PrefixKindsFromText("").empty());

    EXPECT_EQ(TextFormatFromText("Upper case"), TTextFormat::UpperCase);
    EXPECT_EQ(TextFormatFromText("upper case"), TTextFormat::MixedCase);
    EXPECT_EQ(TextFormatFromText("First char after \"_\" upper case"),
              TTextFormat::FirstCharAfterUnderscoreUpperCase);

    TempDir dir;
    const auto s =
        LoadDef(dir, "conv",
                "[general]\ntargettype=ms access 2000\n"
                "[scriptelements]\ninternaltextformat=Lower case\n"
                "[prefixes]\napplyprefixto=entity;View;Table\n"
                "[namelengths]\nmaxtablenamelength=abc\nmaxcolumnnamelength= 64 \nmaxviewnamelength=\n"
                "[supported]\nenableviews=2\nenableindexes=0\nenableschemas=yes\n"
                "[sequences]\nseqcyclecodes=;CYCLE;\nseqordercodes=\n"
                "[triggers]\nautonumbertriggertemplate=BEGIN#13#10  x;#13#10END\n"
                "[autonumber]\nsimulateautonumber=300\nautonumberdefaulttemplate=a#13#10b\n"
                "[refint]\nrefintondelete=\nrefintonupdate=CN\n"
                "[sqlcommands]\nSQLCreateTable=CREATE TABLE x#13#10(\nsqlcreateview=V\n");
    EXPECT_EQ(s.GetTargetType(), TTargetType::MSAccess2000);
    EXPECT_EQ(s.InternalTextFormat, TTextFormat::LowerCase);
    EXPECT_EQ(s.ApplyPrefixTo, (std::set<TPrefixKind>{TPrefixKind::Entity, TPrefixKind::View}));
    EXPECT_EQ(s.MaxTableNameLength, 30);
    EXPECT_EQ(s.MaxColumnNameLength, 64);
    EXPECT_EQ(s.MaxViewNameLength, 30);
    EXPECT_TRUE(s.EnableViews);
    EXPECT_FALSE(s.EnableIndexes);
    EXPECT_FALSE(s.EnableSchemas);
    // The two values that are not numbers are reported with their lines; an empty one is not.
    ASSERT_EQ(s.LoadWarnings.size(), 2u);
    EXPECT_NE(s.LoadWarnings[0].find("conv.def:8: \"abc\" of maxtablenamelength"), std::string::npos);
    EXPECT_NE(s.LoadWarnings[1].find("conv.def:14: \"yes\" of enableschemas"), std::string::npos);
    EXPECT_EQ(s.SeqCycleCodes, (Strings{"", "CYCLE", ""}));
    EXPECT_TRUE(s.SeqOrderCodes.empty());
    EXPECT_EQ(s.AutonumberTriggerTemplate, "BEGIN\r\n  x;\r\nEND");
    EXPECT_EQ(s.AutonumberDefaultTemplate, "a\r\nb");
    EXPECT_EQ(s.SimulateAutonumber, 44);
    EXPECT_EQ(s.RefIntOnDelete, std::set<TRefIntAction>{TRefIntAction::None});
    EXPECT_EQ(s.RefIntOnUpdate,
              (std::set<TRefIntAction>{TRefIntAction::None, TRefIntAction::Cascade, TRefIntAction::SetNull}));
    // Only the two templates carry line breaks.
    EXPECT_EQ(s.SQLTemplate("sqlcreatetable"), "CREATE TABLE x#13#10(");
    EXPECT_EQ(s.SQLTemplate("SQLCreateView"), "V");
}

TEST(DatabaseSettings, ConnectionParameterDescriptor) {
    TVELSettingsList list;
    TVELDatabaseSettings::ParseDBParams("SERVERNAME=localhost;AUTHENTICATIONMODE=((Windows|SQL Server)"
                                        "(|USERNAME;PASSWORD));DATABASENAME;;PORT=#0;"
                                        "CONNECTIONTYPE=((Local|Remote)(DATABASEFILE|HOST;PORT;SERVERNAME))",
                                        list);
    EXPECT_EQ(Names(list), (Strings{"SERVERNAME", "GRPAUTHENTICATIONMODE", "AUTHENTICATIONMODE", "USERNAME",
                                    "PASSWORD", "DATABASENAME", "PORT", "GRPCONNECTIONTYPE", "CONNECTIONTYPE",
                                    "DATABASEFILE", "HOST"}));
    EXPECT_EQ(list.GetValue("GRPAUTHENTICATIONMODE"), "((Windows|SQL Server)(|USERNAME;PASSWORD))");
    EXPECT_EQ(list.GetValue("AUTHENTICATIONMODE"), "Windows");
    EXPECT_EQ(list.GetValue("CONNECTIONTYPE"), "Local");
    // A name met again later keeps its first value.
    EXPECT_EQ(list.GetValue("SERVERNAME"), "localhost");
    EXPECT_EQ(list.GetValue("PORT"), "#0");
    EXPECT_EQ(list.GetValue("USERNAME"), "");

    TVELSettingsList noOptions;
    TVELDatabaseSettings::ParseDBParams("MODE=(()(A|B;C));OPEN=((x", noOptions);
    EXPECT_EQ(Names(noOptions), (Strings{"GRPMODE", "MODE", "A", "B", "C", "OPEN"}));
    EXPECT_EQ(noOptions.GetValue("MODE"), "");
    EXPECT_EQ(noOptions.GetValue("OPEN"), "((x");

    TempDir dir;
    const auto s = LoadDef(dir, "p",
                           "[reverseengineering]\nredbparams=HOST=h;MODE=((a|b)(X|Y))\n"
                           "[forwardengineering]\nfedbparams=SQLCREATEFILE;;SQLDROPFILE\n"
                           "[modifydatabase]\nmoddbparams=SQLMODIFYFILE=out.sql\n");
    EXPECT_EQ(Names(s.REParams), (Strings{"HOST", "GRPMODE", "MODE", "X", "Y"}));
    EXPECT_EQ(Names(s.FEParams), (Strings{"SQLCREATEFILE", "SQLDROPFILE"}));
    EXPECT_EQ(s.ModParams.GetValue("sqlmodifyfile"), "out.sql");
    EXPECT_EQ(s.REDBParams, "HOST=h;MODE=((a|b)(X|Y))");
}

TEST(DatabaseSettings, ParametersAndConnections) {
    EXPECT_EQ(TVELDatabaseSettings::ParamLabel("SCHEMANAME"), "Schema/owner");
    EXPECT_EQ(TVELDatabaseSettings::ParamName("Schema/owner"), "SCHEMANAME");
    EXPECT_EQ(TVELDatabaseSettings::ParamLabel("schemaname"), "");
    EXPECT_EQ(TVELDatabaseSettings::ParamName("server name"), "");
    EXPECT_EQ(TVELDatabaseSettings::ParamName("Connection type"), "CONNECTIONTYPE");

    TVELSettingsList p;
    p.FromText(
        "sqlCreateFile=c.sql;SQLDROPFILE=;DatabaseFile=db.fdb;DATABASEDIRECTORY=;DatabaseDirectory2=/x;"
        "SQLMODIFYFILE=m.sql");
    Strings out{"kept"};
    EXPECT_EQ(TVELDatabaseSettings::FileParameters(p, out), 3);
    EXPECT_EQ(out, (Strings{"kept", "c.sql", "db.fdb", "m.sql"}));
    Strings dirs;
    EXPECT_EQ(TVELDatabaseSettings::DirectoryParameters(p, dirs), 1);
    EXPECT_EQ(dirs, Strings{""});

    TVELSettingsList c;
    c.FromText("DatabaseName=sales;Host=db1;Port=1521;UserName=scott;DatabaseFile=/d/x.mdb;"
               "DatabaseDirectory=/data");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("postgresql", c), "sales on db1");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("Oracle", c), "scott@sales on db1:1521:sales");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("MSAccess2000", c), "/d/x.mdb");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("sqlite", c), "/d/x.mdb");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("interbase", c), "sales");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("dbisam4driver.dll", c), "/data");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("foxpro", c), "/data");
    c.SetValue("ServerName", "srv");
    c.SetValue("SchemaName", "HR");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("mssqlserver", c), "sales on srv");
    EXPECT_EQ(TVELDatabaseSettings::ConnectionDescription("oracle", c), "scott@sales on db1:1521:sales:HR");
}

TEST(DatabaseSettings, ReservedWordsAndKeywords) {
    TempDir dir;
    fs::create_directory(dir.File("elsewhere"));
    WriteFile(dir.File("elsewhere/kw.txt"), "Domain\nzone\n");
    WriteFile(dir.File("rw.txt"),
              "select\r\n\r\n  from  \r\nDEFAULT:current_date\r\ndefault:NULL\nDEFAULT:\n");
    const auto s = LoadDef(
        dir, "w", "[general]\nreservedwordsfile=rw.txt\nkeywordsfile=" + dir.File("elsewhere/kw.txt") + "\n");
    EXPECT_TRUE(s.IsReservedWord("Select"));
    EXPECT_TRUE(s.IsReservedWord("FROM"));
    EXPECT_TRUE(s.IsReservedWord("current_DATE"));
    EXPECT_FALSE(s.IsReservedWord("customer"));
    EXPECT_FALSE(s.IsReservedWord(""));
    EXPECT_TRUE(s.IsKeyword("DOMAIN"));
    EXPECT_FALSE(s.IsKeyword("select"));

    EXPECT_TRUE(s.IsDefaultKeyword("  current_date "));
    EXPECT_TRUE(s.IsDefaultKeyword("(CURRENT_DATE)"));
    EXPECT_TRUE(s.IsDefaultKeyword("CURRENT_DATE-1"));
    EXPECT_TRUE(s.IsDefaultKeyword("null"));
    EXPECT_FALSE(s.IsDefaultKeyword("'NULL'"));
    EXPECT_FALSE(s.IsDefaultKeyword("select"));
    EXPECT_FALSE(s.IsDefaultKeyword(""));

    // Missing word files are no error: the lists stay empty.
    const auto none = LoadDef(dir, "n", "[general]\nreservedwordsfile=nothere.txt\nkeywordsfile=\n");
    EXPECT_TRUE(none.ReservedWords.empty());
    EXPECT_TRUE(none.Keywords.empty());
    EXPECT_TRUE(none.LoadWarnings.empty());
}

TEST(DatabaseSettings, QuotingAndLiterals) {
    TVELDatabaseSettings s;
    EXPECT_EQ(s.StripQuotes("[a].\"b\".'c'.`d`"), "a.b.c.d");
    s.DelimiterDDLBegin = "[";
    s.DelimiterDDLEnd = "]";
    s.DelimiterDMLBegin = s.DelimiterDMLEnd = "`";
    EXPECT_EQ(s.QuoteDDL("dbo.T1"), "[dbo].[T1]");
    EXPECT_EQ(s.QuoteDDL("[dbo].[T1]"), "[dbo].[T1]");
    EXPECT_EQ(s.QuoteDDL(""), "");
    EXPECT_EQ(s.QuoteDML("a.b.c"), "`a`.`b`.`c`");
    EXPECT_EQ(s.QuoteDML("[x]"), "`x`");
    s.DelimiterDMLBegin = s.DelimiterDMLEnd = "";
    EXPECT_EQ(s.QuoteDML("\"a\".b"), "a.b");

    // The default quote is the double quote.
    EXPECT_EQ(s.StringLiteral("say \"hi\""), "\"say \"\"hi\"\"\"");
    s.Quote = "'";
    EXPECT_EQ(s.StringLiteral(""), "");
    EXPECT_EQ(s.StringLiteral("it's"), "'it''s'");
    EXPECT_EQ(s.StringLiteral("'quoted'"), "'quoted'");
    EXPECT_EQ(s.StringLiteral("\"it's\""), "'it''s'");
    EXPECT_EQ(s.StringLiteral("'mixed\""), "'''mixed\"'");
    EXPECT_EQ(s.StringLiteral("'"), "''''");
}

TEST(DatabaseSettings, CapabilitySummaries) {
    TVELDatabaseSettings s;
    EXPECT_TRUE(s.CheckConstraintNamesSupported());
    s.EnableCheckTableConstraintNames = false;
    EXPECT_TRUE(s.CheckConstraintNamesSupported());
    s.EnableCheckColumnConstraintNames = false;
    EXPECT_FALSE(s.CheckConstraintNamesSupported());

    EXPECT_TRUE(s.ConstraintOptionsSupported()); // primary key options are on by default
    s.EnablePKConstraintOptions = false;
    EXPECT_FALSE(s.ConstraintOptionsSupported());
    s.EnableDefaultConstraintOptions = true;
    EXPECT_TRUE(s.ConstraintOptionsSupported());

    EXPECT_FALSE(s.CommentsSupported());
    s.EnableRuleComments = true;
    EXPECT_FALSE(s.CommentsSupported());
    s.EnableViewComments = true;
    EXPECT_TRUE(s.CommentsSupported());
}

TEST(DatabaseSettings, LoadFailuresAndChangeEvent) {
    TempDir dir;
    TargetDatabases().Build(dir.Path());
    TVELDatabaseSettings s;
    int changes = 0;
    s.OnChange = [&](TVELDatabaseSettings* sender) {
        EXPECT_EQ(sender, &s);
        ++changes;
    };
    s.DBID = "gone";
    s.DBMSName = "kept";
    s.IdxOrderCodesList = {"x"};
    s.ReservedWords.insert("X");
    EXPECT_EQ(
        ExpectError([&] { s.Load(); }),
        "Database definition file \"gone.def\" not found. Project is based on a non existing target DBMS. "
        "Did you remove a definition (*.def) file?");
    EXPECT_EQ(s.DBMSName, "kept");
    EXPECT_TRUE(s.IdxOrderCodesList.empty());
    EXPECT_TRUE(s.ReservedWords.empty());
    EXPECT_EQ(changes, 0);

    fs::create_directory(dir.File("folder.def"));
    s.DBID = "folder";
    EXPECT_NE(ExpectError([&] { s.Load(); }).find("Unable to read database definition file"),
              std::string::npos);
    EXPECT_EQ(changes, 0);

    WriteFile(dir.File("ok.def"), "[general]\ndbmsname=OK\n");
    s.DBID = "ok";
    s.Load();
    EXPECT_EQ(s.DBMSName, "OK");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(s.DefinitionFileName(), dir.File("ok.def"));
}

TEST(DatabaseSettings, SaveLoadRoundTripKeepsEveryKey) {
    TempDir dir;
    TargetDatabases().Build(dir.Path());
    // A fresh save lists every key with its default; give each one a different valid value.
    TVELDatabaseSettings defaults;
    defaults.DBID = "defaults";
    defaults.Save();
    const std::string defaultText = ReadFile(dir.File("defaults.def"));
    std::string changed;
    int keys = 0;
    for (std::string line : SplitString(defaultText, '\n')) {
        if (line.empty()) continue; // after the last line end
        line = TrimRight(line);
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            changed += line + "\r\n";
            continue;
        }
        ++keys;
        const std::string key = line.substr(0, eq);
        const std::string value = Trim(line.substr(eq + 1));
        std::string other;
        int32_t n = 0;
        if (key == "targettype")
            other = "Paradox";
        else if (key == "internaltextformat")
            other = "First char upper case";
        else if (key == "applyprefixto")
            other = "Index;Trigger;Sequence";
        else if (key == "refintondelete")
            other = "CD";
        else if (key == "refintonupdate")
            other = "RN";
        else if (key == "autonumbertriggertemplate" || key == "autonumberdefaulttemplate")
            other = "one#13#10two";
        else if (value == "0" || value == "1")
            other = value == "0" ? "1" : "0";
        else if (TryStrToInt(value, n))
            other = IntToStr(n + 7);
        else
            other = ";v_" + key + ";";
        changed += key + "=" + other + "\r\n";
    }
    EXPECT_GT(keys, 200);
    WriteFile(dir.File("changed.def"), changed);

    TVELDatabaseSettings loaded;
    loaded.DBID = "changed";
    loaded.Load();
    EXPECT_TRUE(loaded.LoadWarnings.empty());
    EXPECT_EQ(loaded.GetTargetType(), TTargetType::Paradox);
    EXPECT_EQ(loaded.MaxConstraintNameLength, 37);
    EXPECT_EQ(loaded.SimulateAutonumber, 1);
    EXPECT_FALSE(loaded.EnableIndexes);
    EXPECT_EQ(loaded.AutonumberTriggerTemplate, "one\r\ntwo");
    EXPECT_EQ(loaded.SQLTemplate("SQLEndTransAction"), ";v_SQLEndTransAction;");
    EXPECT_EQ(loaded.RuleTypes, (Strings{"", "v_ruletypes", ""}));
    EXPECT_EQ(loaded.PKClusteringList, (Strings{"", "v_pkclustering", ""}));
    EXPECT_EQ(Names(loaded.FEParams), Strings{"v_fedbparams"});

    loaded.DBID = "copy";
    loaded.Save();
    EXPECT_EQ(ReadFile(dir.File("copy.def")), changed);

    // Saving over an existing file keeps its comments and unknown keys.
    WriteFile(dir.File("kept.def"), "; my notes\n[General]\nDBMSName=Old\nunknown=stays\n");
    TVELDatabaseSettings kept;
    kept.DBID = "kept";
    kept.Load();
    kept.DBMSName = "New";
    kept.Save();
    const std::string text = ReadFile(dir.File("kept.def"));
    EXPECT_EQ(text.rfind("; my notes\r\n[General]\r\nDBMSName=New\r\nunknown=stays\r\ntargettype=SQL\r\n", 0),
              0u)
        << text;
    kept.Load();
    EXPECT_EQ(kept.DBMSName, "New");
}

TEST(TargetDatabases, BuildAndLookups) {
    TempDir dir;
    WriteFile(dir.File("zeta.def"), "[general]\ndbmsname=Zeta SQL 9\n[supported]\nenableupdatemodel=1\n"
                                    "enableupdatedatabase=1\n");
    WriteFile(dir.File("alpha.def"), "[General]\nDBMSName=Alpha DB 2\ntargettype=dbase\n"
                                     "[ReverseEngineering]\nRENativeImporterAvailable=1\n"
                                     "[supported]\nenableupdatemodel=1\nenableupdatedatabase=1\n");
    WriteFile(dir.File("beta.def"), "[general]\ndbmsname=Alpha DB 3\ntargettype=Paradox\n");
    WriteFile(dir.File("indep.def"), "[general]\ndbmsname=Independent\ntargettype=Database Independent\n"
                                     "[supported]\nenableupdatemodel=1\n");
    WriteFile(dir.File("gamma_a_very_long_identifier_of_a_target.def"),
              "[general]\ndbmsname=A display name that is much longer than forty characters\n");
    WriteFile(dir.File("notes.txt"), "[general]\ndbmsname=Not a target\n");
    WriteFile(dir.File("alpha.def.bak"), "[general]\n");

    TTargetDatabases registry;
    registry.Build(dir.Path());
    EXPECT_EQ(registry.DefinitionsFolder, dir.Path());
    EXPECT_TRUE(registry.LoadWarnings.empty());
    EXPECT_EQ(registry.EntryLines(),
              (Strings{"alpha;Alpha DB 2;dBase;1;1;1", "beta;Alpha DB 3;Paradox;0;0;0",
                       "gamma_a_very_long_identifier_o;A display name that is much longer than ;SQL;0;0;0",
                       "indep;Independent;Database Independent;0;1;0", "zeta;Zeta SQL 9;SQL;0;1;1"}));

    const TTargetEntry decoded = TTargetDatabases::DecodeEntry("x;Y;ms access 97;1;0;1");
    EXPECT_EQ(decoded.TargetType, TTargetType::MSAccess97);
    EXPECT_TRUE(decoded.NativeImporterAvailable && !decoded.UpdateModel && decoded.UpdateDatabase);
    EXPECT_EQ(TTargetDatabases::EncodeEntry(decoded), "x;Y;MS Access 97;1;0;1");
    EXPECT_EQ(TTargetDatabases::DecodeEntry("short").Name, "");

    EXPECT_EQ(registry.EntryById("ZETA").Name, "Zeta SQL 9");
    EXPECT_EQ(registry.EntryByName("alpha db 3").Id, "beta");
    EXPECT_EQ(ExpectError([&] { registry.EntryById("nope"); }),
              "Unable to find target DBMS with id \"nope\".");
    EXPECT_EQ(ExpectError([&] { registry.EntryByName("Nope"); }),
              "Unable to find target DBMS with name \"Nope\".");
    EXPECT_EQ(registry.IndexOfName("INDEPENDENT"), 3);
    EXPECT_EQ(registry.IndexOfName("nope"), -1);
    EXPECT_EQ(registry.NameOfId("Alpha"), "Alpha DB 2");
    EXPECT_EQ(registry.NameOfId("nope"), "");
    EXPECT_EQ(registry.IdOfName("zeta sql 9"), "zeta");
    EXPECT_EQ(registry.IdOfName("nope"), "");

    EXPECT_EQ(registry.AllNames().size(), 5u);
    EXPECT_EQ(
        registry.AllNamesButIndependent(),
        (Strings{"Alpha DB 2", "Alpha DB 3", "A display name that is much longer than ", "Zeta SQL 9"}));
    EXPECT_EQ(registry.Families(), (Strings{"Alpha", "A", "Zeta"}));
    EXPECT_EQ(registry.IndependentId(), "indep");

    EXPECT_TRUE(registry.CanImport("Alpha DB 2"));  // not SQL but a native importer
    EXPECT_FALSE(registry.CanImport("Alpha DB 3")); // neither
    EXPECT_TRUE(registry.CanImport("Zeta SQL 9"));
    EXPECT_FALSE(registry.CanImport("Independent"));
    EXPECT_TRUE(registry.FamilyCanImport("Alpha"));
    EXPECT_FALSE(registry.FamilyCanImport("alpha")); // exact compare
    EXPECT_FALSE(registry.FamilyCanImport("Independent"));

    EXPECT_EQ(registry.UpdateModelTargets(true), Strings{"Zeta SQL 9"});
    EXPECT_EQ(registry.UpdateModelTargets(false), Strings{"Alpha DB 2"});
    EXPECT_EQ(registry.UpdateDatabaseTargets(true), Strings{"Zeta SQL 9"});
    EXPECT_EQ(registry.UpdateDatabaseTargets(false), (Strings{"Alpha DB 2", "Zeta SQL 9"}));
}

TEST(TargetDatabases, BuildFailures) {
    TempDir dir;
    TTargetDatabases registry;
    EXPECT_EQ(ExpectError([&] { registry.Build(dir.File("missing")); }),
              "Definitions folder \"" + dir.File("missing") + "\" not found.");
    EXPECT_EQ(registry.Count(), 0);

    WriteFile(dir.File("good.def"), "[general]\ndbmsname=Good\nthis line is broken\n");
    registry.Build(dir.Path());
    EXPECT_EQ(registry.Count(), 1);
    ASSERT_EQ(registry.LoadWarnings.size(), 1u);
    EXPECT_EQ(registry.LoadWarnings[0],
              dir.File("good.def") + ":3: ignored malformed line \"this line is broken\"");

    fs::create_symlink(dir.File("nowhere"), dir.File("dangling.def"));
    EXPECT_EQ(ExpectError([&] { registry.Build(dir.Path()); }),
              "Unable to read database definition file \"" + dir.File("dangling.def") + "\".");
    EXPECT_EQ(registry.Count(), 0);
}

TEST(TargetDatabases, NewTargetFromExistingOne) {
    TempDir dir;
    WriteFile(dir.File("src.def"), "; kept comment\n[general]\ndbmsname=Source DB\n[namelengths]\n"
                                   "maxtablenamelength=64\n");
    WriteFile(dir.File("src.typ"), "types");
    WriteFile(dir.File("src.dcr"), "rules");
    WriteFile(dir.File("other.def"), "[general]\ndbmsname=Other DB\n");
    TTargetDatabases& registry = TargetDatabases();
    registry.Build(dir.Path());

    EXPECT_EQ(registry.CheckNewTarget("", "n", "src"), "ID may not be empty.");
    EXPECT_EQ(registry.CheckNewTarget("x", " ", "src"), "Name may not be empty.");
    EXPECT_EQ(registry.CheckNewTarget("SRC", "n", "src"),
              "There already exists a target DBMS with ID \"SRC\".");
    EXPECT_EQ(registry.CheckNewTarget("x", "n", ""), "No \"copy from database\" selected.");
    EXPECT_EQ(registry.CheckNewTarget("x", "n", "src"), "");

    EXPECT_EQ(ExpectError([&] { registry.NewTarget("x", "source db", "src"); }),
              "Unable to create new target DBMS because there already exists a target DBMS with name "
              "\"source db\".");
    EXPECT_EQ(
        ExpectError([&] { registry.NewTarget("other", "Fresh", "src"); }),
        "Unable to create new target DBMS because there already exists a target DBMS with ID \"other\".");
    EXPECT_EQ(ExpectError([&] { registry.NewTarget("x", "Fresh", "other"); }),
              "Unable to find file \"" + dir.File("other.typ") + "\"");
    EXPECT_EQ(ExpectError([&] { registry.NewTarget("../x", "Fresh", "src"); }),
              "Invalid target DBMS ID \"../x\".");
    EXPECT_FALSE(fs::exists(dir.File("x.def")));

    EXPECT_EQ(
        registry.NewTarget("mine", "My DB", "src"),
        "New target DBMS has been added. You can modify the data types now by selecting the appropriate "
        "menu. You can modify the database settings by opening the file \"mine.def\" with a text editor.");
    EXPECT_EQ(ReadFile(dir.File("mine.typ")), "types");
    EXPECT_EQ(ReadFile(dir.File("mine.dcr")), "rules");
    EXPECT_FALSE(fs::exists(dir.File("mine.fcr")));
    EXPECT_EQ(ReadFile(dir.File("mine.def")).rfind("; kept comment\r\n", 0), 0u);
    TVELDatabaseSettings mine;
    mine.DBID = "mine";
    mine.Load();
    EXPECT_EQ(mine.DBMSName, "My DB");
    EXPECT_EQ(mine.MaxTableNameLength, 64);
    // The registry stays as it was built.
    EXPECT_EQ(registry.IndexOfId("mine"), -1);
}

TEST(TargetDatabases, ShippedDefinitions) {
    TTargetDatabases& registry = TargetDatabases();
    registry.Build(DefinitionsDir());
    EXPECT_TRUE(registry.LoadWarnings.empty());
    EXPECT_EQ(registry.IndependentId(), "dbindependent");
    EXPECT_EQ(registry.EntryById("dbindependent").TargetType, TTargetType::DatabaseIndependent);

    TVELDatabaseSettings s;
    s.DBID = registry.IndependentId();
    s.Load();
    EXPECT_TRUE(s.LoadWarnings.empty());
    EXPECT_TRUE(s.EnableSchemas && s.EnableDomains && s.EnableSequences && s.EnableViews &&
                s.EnableProcedures && s.EnableTriggers && s.CommentsSupported());
    EXPECT_EQ(s.MaxColumnNameLength, 128);
    EXPECT_EQ(RefIntActionsText(s.RefIntOnUpdate), "RCND");
    EXPECT_EQ(s.QuoteDDL("s.t"), "\"s\".\"t\"");
    EXPECT_EQ(s.StringLiteral("it's"), "'it''s'");
    EXPECT_TRUE(s.IsReservedWord("select"));
    EXPECT_TRUE(s.IsReservedWord("CURRENT_TIMESTAMP"));
    EXPECT_FALSE(s.IsReservedWord("customer"));
    EXPECT_TRUE(s.IsKeyword("domain"));
    EXPECT_TRUE(s.IsDefaultKeyword("CURRENT_DATE"));
    EXPECT_TRUE(s.IsDefaultKeyword("null"));
    EXPECT_FALSE(s.IsDefaultKeyword("SELECT"));

    // The shipped file spells out every key.
    TempDir dir;
    TVELDatabaseSettings fresh;
    fresh.SaveToFile(dir.File("all.def"));
    TIniDocument shipped;
    ASSERT_TRUE(shipped.LoadFromFile(DefinitionsDir() + "/dbindependent.def", nullptr));
    std::string section;
    for (const std::string& line : SplitString(ReadFile(dir.File("all.def")), '\n')) {
        const std::string l = Trim(line);
        if (l.size() > 2 && l[0] == '[') section = l.substr(1, l.size() - 2);
        const size_t eq = l.find('=');
        if (eq != std::string::npos) {
            EXPECT_TRUE(shipped.Has(section, l.substr(0, eq))) << section << "/" << l.substr(0, eq);
        }
    }
}
