#include <gtest/gtest.h>

#include "zProjectSettings.h"

using namespace ardvin;

namespace {

// Settings with every member filled, values that need escaping and multi-line texts included.
void Fill(TVELProjectSettings& s) {
    s.CommonSettings.SetValue("PROJECTNAME", "Shop <main> & \"co\"");
    s.CommonSettings.SetValue("AUTHOR", "Łukasz Żółć");
    s.CommonSettings.SetValue("BEGINDATABASESCRIPT", "SET NAMES 'UTF8';\r\nSET DIALECT 3;");
    s.Labels.SetValue("Draft", "1");
    s.NameTemplates.SetValue("PKCONNAMETEMPLATE", "PK_%table%");
    s.RepositorySettings.SetValue("REPOSITORYVERSIONNUMBER", "4");
    s.StoredFilters.SetValue("Orders", "ORD_*");
    s.ImpDBParams.SetValue("Host", "db1");
    s.ImpDBOptions.SetValue("RevEngIndexesOnPK", "1");
    s.GenDBParams.SetValue("Database", "shop");
    s.GenDBOptions.SetValue("GENERATEDROP", "0");
    s.AltDBParams.SetValue("Port", "5432");
    s.AltDBOptions.SetValue("X", "y");
    s.UpdModelParams.SetValue("Host", "db2");
    s.UpdModelOptions.SetValue("EXTRA", "e");
    s.UpdDBParams.SetValue("Host", "db3");
    s.UpdDBOptions.SetValue("DONOTUSEINDEXESONFK", "0");
    s.CompVerParams.SetValue("Host", "db4");
    s.CompVerOptions.SetValue("IGNORECASE", "1");
    s.MergeSettings.SetValue("MERGEFILE", "/tmp/other.arv");
    s.RepSettings.SetValue("REPORTFOLDER", "/tmp/report");
    s.ConGenDirectives = {"SKIP NOTNULL", "NAME CHECK <x>"};
    s.RulesForHidingAttributes = {"HIDE audit_*", "", "HIDE tmp_*"};
    s.Filters = "ORD_* & CUST_<1>";
}

} // namespace

TEST(ProjectSettings, ReadMergesIntoPresentValuesAndKeepsWhatTheFileLacks) {
    TVELProjectSettings s;
    s.CommonSettings.SetValue("PROJECTNAME", "Shop");
    s.CommonSettings.SetValue("AUTHOR", "Ann");
    s.ConGenDirectives = {"KEEP"};
    s.Filters = "kept";
    // A file of an older version: no UpdDB_Options, a partial UpdModel_Options, no text lists.
    s.Read("<PROJECTSETTINGS><COMMONSETTINGS><AUTHOR>Bob</AUTHOR><COPYRIGHT>(c)</COPYRIGHT></COMMONSETTINGS>"
           "<UpdModel_Options><DONOTUSEINDEXESONPK>0</DONOTUSEINDEXESONPK></UpdModel_Options>"
           "<RULESFORHIDINGATTRIBUTES></RULESFORHIDINGATTRIBUTES></PROJECTSETTINGS>");
    EXPECT_EQ(s.CommonSettings.GetValue("PROJECTNAME"), "Shop");
    EXPECT_EQ(s.CommonSettings.GetValue("AUTHOR"), "Bob");
    EXPECT_EQ(s.CommonSettings.GetValue("COPYRIGHT"), "(c)");
    for (const char* key :
         {"DONOTUSESEQUENCESEED", "DONOTUSEINDEXESONPK", "DONOTUSEINDEXESONFK", "DONOTUSEINDEXESONAK"})
        EXPECT_EQ(s.UpdDBOptions.GetValue(key), "1") << key;
    EXPECT_EQ(s.UpdModelOptions.GetValue("DONOTUSEINDEXESONPK"), "0");
    EXPECT_EQ(s.UpdModelOptions.GetValue("DONOTUSEINDEXESONAK"), "1");
    EXPECT_EQ(s.UpdModelOptions.Count(), 4);
    // A missing element leaves its member alone; an empty one clears it.
    EXPECT_EQ(s.ConGenDirectives, std::vector<std::string>{"KEEP"});
    EXPECT_EQ(s.Filters, "kept");
    s.RulesForHidingAttributes = {"old"};
    s.Read("<RULESFORHIDINGATTRIBUTES></RULESFORHIDINGATTRIBUTES><FILTERS></FILTERS>");
    EXPECT_TRUE(s.RulesForHidingAttributes.empty());
    EXPECT_EQ(s.Filters, "");
}

TEST(ProjectSettings, PasswordsAreLeftOutWhereverTheyAreAndNothingElse) {
    TVELProjectSettings s;
    Fill(s);
    s.ImpDBParams.SetValue("PASSWORD", "s3cret-a"); // after Host
    s.GenDBParams.SetValue("Password", "s3cret-b"); // last key, mixed case
    s.UpdDBParams.SetValue("PASSWORD", "s3cret-c");
    s.UpdDBParams.SetValue("USER", "sa"); // password in the middle
    s.CommonSettings.SetValue("password", "s3cret-d");
    s.RepSettings.SetValue("PASSWORD", "s3cret-e");
    const std::string written = s.Write();
    EXPECT_EQ(FindText(written, "PASSWORD"), std::string::npos) << written;
    EXPECT_EQ(written.find("s3cret"), std::string::npos);

    // The text is exactly that of the same settings without the passwords.
    TVELProjectSettings without;
    without.Assign(s);
    for (TVELSettingsList* list : {&without.ImpDBParams, &without.GenDBParams, &without.UpdDBParams,
                                   &without.CommonSettings, &without.RepSettings})
        list->Delete("PASSWORD");
    EXPECT_EQ(written, without.Write());

    TVELProjectSettings back;
    back.Read(written);
    EXPECT_EQ(back.UpdDBParams.GetValue("USER"), "sa");
    EXPECT_EQ(back.UpdDBParams.GetValue("HOST"), "db3");
    EXPECT_FALSE(back.UpdDBParams.Has("PASSWORD"));
    EXPECT_EQ(back.ImpDBParams.Count(), 1);
    // The in-memory lists keep their passwords: only the file goes without.
    EXPECT_EQ(s.ImpDBParams.GetValue("PASSWORD"), "s3cret-a");
}

TEST(ProjectSettings, TagsKeepTheirSpellingInFileOrderAndAreFoundInAnyCase) {
    TVELProjectSettings s;
    Fill(s);
    const std::string written = s.Write();
    ASSERT_EQ(written.rfind("\r\n<PROJECTSETTINGS>\r\n<COMMONSETTINGS>\r\n", 0), 0u) << written;
    const char* order[] = {
        "<COMMONSETTINGS>",     "<LABELS>",           "<RULESFORHIDINGATTRIBUTES>", "<NAMETEMPLATES>",
        "<REPOSITORYSETTINGS>", "<STOREDFILTERS>",    "<ImpDB_DBParams>",           "<ImpDB_Options>",
        "<GenDB_DBParams>",     "<GenDB_Options>",    "<AltDB_DBParams>",           "<AltDB_Options>",
        "<UpdModel_DBParams>",  "<UpdModel_Options>", "<UpdDB_DBParams>",           "<UpdDB_Options>",
        "<CompVer_DBParams>",   "<CompVer_Options>",  "<Merge_Settings>",           "<Rep_Settings>",
        "<CONGENDIRECTIVES>",   "<FILTERS>",          "</PROJECTSETTINGS>"};
    size_t last = 0;
    for (const char* tag : order) {
        const size_t at = written.find(tag);
        ASSERT_NE(at, std::string::npos) << tag;
        EXPECT_GT(at, last) << tag;
        last = at;
    }
    EXPECT_NE(written.find("\r\n<ImpDB_DBParams>\r\n<HOST>db1</HOST>\r\n</ImpDB_DBParams>"),
              std::string::npos);
    EXPECT_NE(
        written.find("<RULESFORHIDINGATTRIBUTES>HIDE audit_*\r\n\r\nHIDE tmp_*</RULESFORHIDINGATTRIBUTES>"),
        std::string::npos);
    EXPECT_NE(written.find("\r\n<FILTERS>ORD_* &amp; CUST_&lt;1&gt;</FILTERS>\r\n</PROJECTSETTINGS>"),
              std::string::npos);

    TVELProjectSettings lower;
    lower.Read("<projectsettings><impdb_dbparams><host>h</host></impdb_dbparams>"
               "<IMPDB_OPTIONS><Mode>2</Mode></IMPDB_OPTIONS><filters>f</filters>"
               "<CongenDirectives>one\ntwo\r\nthree\rfour</CongenDirectives></projectsettings>");
    EXPECT_EQ(lower.ImpDBParams.GetValue("HOST"), "h");
    EXPECT_EQ(lower.ImpDBOptions.GetValue("MODE"), "2");
    EXPECT_EQ(lower.Filters, "f");
    EXPECT_EQ(lower.ConGenDirectives, (std::vector<std::string>{"one", "two", "three", "four"}));
}

TEST(ProjectSettings, WriteReadWriteIsByteForByteAndAssignCopiesEverything) {
    TVELProjectSettings s;
    Fill(s);
    const std::string written = s.Write();
    TVELProjectSettings back;
    back.Read(written);
    EXPECT_EQ(back.Write(), written);
    EXPECT_EQ(back.CommonSettings.GetValue("PROJECTNAME"), "Shop <main> & \"co\"");
    EXPECT_EQ(back.CommonSettings.GetValue("BEGINDATABASESCRIPT"), "SET NAMES 'UTF8';\r\nSET DIALECT 3;");
    EXPECT_EQ(back.RulesForHidingAttributes, s.RulesForHidingAttributes);
    EXPECT_EQ(back.ConGenDirectives, s.ConGenDirectives);
    EXPECT_EQ(back.Filters, s.Filters);
    EXPECT_EQ(back.UpdDBOptions.GetValue("DONOTUSEINDEXESONFK"), "0");

    TVELProjectSettings copy;
    copy.Assign(s);
    EXPECT_EQ(copy.Write(), written);
}

TEST(ProjectSettings, ChangesOfTheCommonSettingsAreReported) {
    TVELProjectSettings s;
    std::vector<TVELProjectSettings*> senders;
    s.OnChange = [&senders](TVELProjectSettings* sender) { senders.push_back(sender); };
    s.CommonSettings.SetValue("AUTHOR", "Ann");
    s.CommonSettings.SetValue("AUTHOR", "Ann"); // unchanged: no report
    s.NameTemplates.SetValue("RELNAMETEMPLATE", "%parent%_%child%");
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &s);
    s.Read("<COMMONSETTINGS><AUTHOR>Bob</AUTHOR></COMMONSETTINGS>");
    EXPECT_EQ(senders.size(), 2u);
    TVELProjectSettings other;
    other.CommonSettings.SetValue("MODIFIED", "2026-12-04");
    s.Assign(other);
    EXPECT_EQ(senders.size(), 3u);
    EXPECT_EQ(s.CommonSettings.GetValue("AUTHOR"), "");
}
