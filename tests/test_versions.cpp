#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sstream>

#include "TestSupport.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zVersions.h"

using namespace ardvin;
using ardvin::test::ReadFile;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

const TVELDateTime Dec4 = LocalDateTime(2026, 12, 4, 10, 15);
TVELDateTime FixedNow() {
    return Dec4;
}

const std::string Settings =
    "\r\n<PROJECTSETTINGS>\r\n<COMMONSETTINGS>\r\n</COMMONSETTINGS>\r\n</PROJECTSETTINGS>";
const std::string Diagrams = "\r\n<DIAGRAMS>\r\n<DIAGRAM>Main</DIAGRAM>\r\n</DIAGRAMS>";

std::string Dictionary(const std::string& marker) {
    return "\r\n<DATADICT>\r\n<DBID>tiny</DBID>\r\n<LASTID>1</LASTID>\r\n<MARK>" + marker +
           "</MARK>\r\n</DATADICT>";
}

// One archived VERSION element as another program may have written it.
std::string Archived(const std::string& number, const std::string& label, const std::string& type,
                     const std::string& body) {
    return "<VERSION>\r\n<VERSIONINFO>\r\n<VERSIONNUMBER>" + number + "</VERSIONNUMBER>\r\n<VERSIONLABEL>" +
           label + "</VERSIONLABEL>\r\n<VERSIONDATE>2025-01-31 23:59</VERSIONDATE>\r\n<VERSIONTYPE>" + type +
           "</VERSIONTYPE>\r\n</VERSIONINFO>" + Settings + Dictionary(body) + "\r\n</VERSION>\r\n";
}

std::string ProjectFile(const std::string& archived) {
    return "<?xml version=\"1.0\" "
           "encoding=\"iso-8859-1\"?><ardvin>\r\n<FILEFORMATVERSION>60</FILEFORMATVERSION>\r\n"
           "<VERSION>" +
           Settings + Dictionary("current") + Diagrams + "\r\n</VERSION>" + archived + "\r\n</ardvin>";
}

std::string Written(const TVELOldVersions& versions) {
    std::ostringstream out;
    versions.WriteToProjectFile(out);
    return out.str();
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Working files go to a temporary folder of the test's own.
class VersionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("TMPDIR")) oldTmp = old;
        setenv("TMPDIR", tmp.Path().c_str(), 1);
    }
    void TearDown() override {
        if (oldTmp)
            setenv("TMPDIR", oldTmp->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

    TVELVersionInfo* ArchiveDefault(TVELOldVersions& versions, uint8_t type = vtDiagramsAndDictionary,
                                    const std::string& label = "") {
        return versions.Archive(type, label, "", "tiny", Settings,
                                Dictionary("archived " + IntToStr(versions.Count() + 1)), Diagrams);
    }

    TempDir tmp;
    std::optional<std::string> oldTmp;
};

} // namespace

TEST_F(VersionsTest, WorkingFileTakesTheFirstFreeNameAndGoesWithTheList) {
    WriteFile(tmp.File("arvversions1.avf"), "someone else's");
    std::string first, second;
    {
        TVELOldVersions a;
        first = a.WorkingFileName();
        EXPECT_EQ(first, tmp.File("arvversions2.avf"));
        EXPECT_EQ(ReadFile(first), "");
        {
            TVELOldVersions b;
            second = b.WorkingFileName();
            EXPECT_EQ(second, tmp.File("arvversions3.avf"));
        }
        EXPECT_FALSE(std::filesystem::exists(second));
        EXPECT_TRUE(std::filesystem::exists(first));
    }
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_EQ(ReadFile(tmp.File("arvversions1.avf")), "someone else's");
}

TEST_F(VersionsTest, NumbersAndLabelsOfNewVersions) {
    TVELOldVersions versions(FixedNow);
    auto fresh = versions.NewVersion();
    EXPECT_EQ(fresh->VersionNumber, "1");
    EXPECT_EQ(fresh->VersionLabel, "Version 2026-12-04");
    EXPECT_EQ(FormatLocalDateTime(fresh->VersionDate), "2026-12-04 10:15");

    EXPECT_EQ(ArchiveDefault(versions)->VersionLabel, "Version 2026-12-04");
    EXPECT_EQ(ArchiveDefault(versions)->VersionLabel, "Version 2026-12-04 1");
    auto* release = ArchiveDefault(versions, vtDiagramsAndDictionary, "Release");
    EXPECT_EQ(ArchiveDefault(versions, vtDiagramsAndDictionary, "Release")->VersionLabel, "Release 1");
    EXPECT_EQ(versions.Version(3)->VersionNumber, "4");
    EXPECT_EQ(versions.FindByLabel("Release"), release);
    EXPECT_EQ(versions.LabelOfVersion("3"), "Release");
    EXPECT_EQ(versions.LabelOfVersion("9"), "");

    // Deleted versions are ignored by lookups, labels and numbering.
    versions.DeleteVersion("3");
    EXPECT_EQ(versions.FindByNumber("3"), nullptr);
    EXPECT_EQ(versions.FindByLabel("Release"), nullptr);
    EXPECT_EQ(versions.UniqueLabel("Release"), "Release");
    EXPECT_EQ(versions.NewVersion()->VersionNumber, "5");
    versions.DeleteVersion("4");
    EXPECT_EQ(versions.NewVersion()->VersionNumber, "3");
    EXPECT_EQ(
        versions.VersionLabels(true),
        (std::vector<std::string>{"[  current version  ]", "Version 2026-12-04 1", "Version 2026-12-04"}));
    versions.DeleteAll();
    EXPECT_EQ(versions.NewVersion()->VersionNumber, "1");
    EXPECT_TRUE(versions.VersionLabels(false).empty());
}

TEST_F(VersionsTest, ArchivedElementsInTheWorkingFile) {
    TVELOldVersions versions(FixedNow);
    EXPECT_EQ(ReadFile(versions.WorkingFileName()), "");
    versions.Archive(vtDiagramsAndDictionary, "Full", "with <notes> & more", "tiny", Settings,
                     Dictionary("one"), Diagrams);
    versions.Archive(vtDictionaryOnly, "Model only", "", "tiny", Settings, Dictionary("two"), Diagrams);
    const std::string file = ReadFile(versions.WorkingFileName());
    EXPECT_EQ(file.rfind("<VERSION>\r\n<VERSIONINFO>\r\n<VERSIONNUMBER>1</VERSIONNUMBER>", 0), 0u) << file;
    EXPECT_EQ(Occurrences(file, "</VERSION>\r\n"), 2u);
    EXPECT_EQ(file.substr(file.size() - 12), "</VERSION>\r\n");

    const std::string full = versions.VersionText("1");
    EXPECT_NE(full.find("<VERSIONLABEL>Full</VERSIONLABEL>"), std::string::npos) << full;
    EXPECT_NE(full.find("<VERSIONDATE>2026-12-04 10:15</VERSIONDATE>"), std::string::npos);
    EXPECT_NE(full.find("<VERSIONCOMMENTS>with &lt;notes&gt; &amp; more</VERSIONCOMMENTS>"),
              std::string::npos);
    EXPECT_NE(
        full.find(
            "<VERSIONTYPE></VERSIONTYPE>\r\n<VERSIONTYPEDESC>Diagrams and data dictionary</VERSIONTYPEDESC>"
            "\r\n<VERSIONDBID>tiny</VERSIONDBID>"),
        std::string::npos);
    EXPECT_NE(full.find("<DIAGRAMS>"), std::string::npos);
    EXPECT_LT(full.find("<VERSIONINFO>"), full.find("<PROJECTSETTINGS>"));
    EXPECT_LT(full.find("<PROJECTSETTINGS>"), full.find("<DATADICT>"));
    EXPECT_LT(full.find("<DATADICT>"), full.find("<DIAGRAMS>"));

    const std::string modelOnly = versions.VersionText("2");
    EXPECT_EQ(modelOnly.find("DIAGRAMS"), std::string::npos) << modelOnly;
    EXPECT_NE(
        modelOnly.find("<VERSIONTYPE>DB</VERSIONTYPE>\r\n<VERSIONTYPEDESC>Data dictionary only (no diagrams)"
                       "</VERSIONTYPEDESC>"),
        std::string::npos);
    EXPECT_NE(modelOnly.find("<MARK>two</MARK>"), std::string::npos);

    versions.DeleteVersion("2");
    for (const char* number : {"2", "7"}) {
        try {
            versions.VersionText(number);
            ADD_FAILURE() << number;
        } catch (const EVELError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot find version \"" + std::string(number) +
                                                 "\" in file \"" + versions.WorkingFileName() + "\".");
        }
    }
}

TEST_F(VersionsTest, WritingDropsDeletedVersionsAndStoresEditedDescriptions) {
    TVELOldVersions versions(FixedNow);
    ArchiveDefault(versions, vtDiagramsAndDictionary, "First");
    ArchiveDefault(versions, vtDiagramsAndDictionary, "Second");
    ArchiveDefault(versions, vtDictionaryOnly, "Third");
    versions.FindByNumber("1")->SetPropertyValue("VersionLabel", "First <edited>");
    versions.FindByNumber("3")->SetPropertyValue("Comments", "checked");
    versions.DeleteVersion("2");

    const std::string written = Written(versions);
    EXPECT_EQ(Occurrences(written, "<VERSION>"), 2u);
    EXPECT_EQ(Occurrences(written, "</VERSION>\r\n"), 2u);
    EXPECT_EQ(Occurrences(written, "<VERSIONINFO>"), 2u);
    EXPECT_NE(written.find("<VERSIONLABEL>First &lt;edited&gt;</VERSIONLABEL>"), std::string::npos)
        << written;
    EXPECT_NE(written.find("<VERSIONCOMMENTS>checked</VERSIONCOMMENTS>"), std::string::npos);
    EXPECT_EQ(written.find("archived 2"), std::string::npos);
    EXPECT_NE(written.find("archived 3"), std::string::npos);
    EXPECT_LT(written.find("archived 1"), written.find("archived 3"));
    // The working file keeps the deleted version and the old label until the project closes.
    const std::string file = ReadFile(versions.WorkingFileName());
    EXPECT_NE(file.find("archived 2"), std::string::npos);
    EXPECT_NE(file.find("<VERSIONLABEL>First</VERSIONLABEL>"), std::string::npos);

    // The number of a deleted highest version is given out again; only the new element is written.
    versions.DeleteVersion("3");
    ArchiveDefault(versions, vtDiagramsAndDictionary, "Fourth");
    EXPECT_EQ(versions.FindByLabel("Fourth")->VersionNumber, "2");
    EXPECT_NE(versions.VersionText("2").find("archived 4"), std::string::npos);
    const std::string again = Written(versions);
    EXPECT_EQ(Occurrences(again, "<VERSION>"), 2u);
    EXPECT_EQ(again.find("archived 2"), std::string::npos) << again;
    EXPECT_NE(again.find("archived 4"), std::string::npos);

    // Saved, reopened and saved again: the same bytes.
    const std::string project = tmp.File("shop.arv");
    WriteFile(project, ProjectFile(again));
    TVELOldVersions reopened(FixedNow);
    reopened.LoadFromProjectFile(project);
    ASSERT_EQ(reopened.Count(), 2);
    EXPECT_EQ(reopened.Version(0)->VersionLabel, "First <edited>");
    EXPECT_EQ(reopened.Version(1)->VersionLabel, "Fourth");
    EXPECT_EQ(Written(reopened), again);
}

TEST_F(VersionsTest, LoadingSkipsTheCurrentModelAndReadsTheDescriptions) {
    const std::string project = tmp.File("shop.arv");
    WriteFile(project,
              ProjectFile(Archived("9", "Nine", "DB", "nine") +
                          Archived("10", "Ten &amp; more", "XYZ", "ten") + Archived("2", "Two", "", "two")));
    TVELOldVersions versions(FixedNow);
    ArchiveDefault(versions); // replaced by the file's versions
    versions.LoadFromProjectFile(project);
    ASSERT_EQ(versions.Count(), 3);
    EXPECT_EQ(versions.Version(0)->VersionType, vtDictionaryOnly);
    EXPECT_EQ(versions.Version(1)->VersionType, vtDiagramsAndDictionary); // unknown type text
    EXPECT_EQ(versions.Version(1)->VersionLabel, "Ten & more");
    EXPECT_EQ(versions.Version(1)->GetPropertyValue("VersionType"), "Diagrams and data dictionary");
    EXPECT_EQ(versions.Version(0)->GetPropertyValue("VersionType"), "Data dictionary only (no diagrams)");
    EXPECT_EQ(versions.Version(2)->GetPropertyValue("VersionDate"), "2025-01-31 23:59");
    EXPECT_EQ(versions.VersionLabels(false), (std::vector<std::string>{"Ten & more", "Nine", "Two"}));
    EXPECT_EQ(versions.NewVersion()->VersionNumber, "11");
    EXPECT_NE(versions.VersionText("10").find("<MARK>ten</MARK>"), std::string::npos);
    EXPECT_EQ(ReadFile(versions.WorkingFileName()).find("current"), std::string::npos);
    EXPECT_EQ(Occurrences(ReadFile(versions.WorkingFileName()), "<VERSION>"), 4u); // the replaced one stays

    // A file cut off inside its last version keeps the complete ones.
    const std::string whole = ProjectFile(Archived("1", "One", "", "one") + Archived("2", "Two", "", "two"));
    WriteFile(project, whole.substr(0, whole.rfind("<MARK>two")));
    versions.LoadFromProjectFile(project);
    ASSERT_EQ(versions.Count(), 1);
    EXPECT_EQ(versions.Version(0)->VersionLabel, "One");
    EXPECT_EQ(Occurrences(Written(versions), "<VERSION>"), 1u);
    // Cut off inside the current model: nothing to load.
    WriteFile(project, whole.substr(0, whole.find("current")));
    versions.LoadFromProjectFile(project);
    EXPECT_EQ(versions.Count(), 0);
    EXPECT_EQ(Written(versions), "");
}

TEST_F(VersionsTest, OnlyLabelAndCommentsCanBeSetAndTheLabelNeverEmpty) {
    TVELOldVersions versions(FixedNow);
    TVELVersionInfo* v = ArchiveDefault(versions, vtDiagramsAndDictionary, "Kept");
    try {
        v->SetPropertyValue("VersionLabel", "");
        ADD_FAILURE() << "an empty label was accepted";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Version label may not be empty.");
    }
    EXPECT_EQ(v->GetPropertyValue("VersionLabel"), "Kept");
    v->SetPropertyValue("versionlabel", "Renamed");
    v->SetPropertyValue("Comments", "note");
    v->SetPropertyValue("VersionNumber", "77");
    v->SetPropertyValue("VersionDate", "2000-01-01 00:00");
    EXPECT_EQ(v->GetPropertyValue("VersionLabel"), "Renamed");
    EXPECT_EQ(v->GetPropertyValue("Comments"), "note");
    EXPECT_EQ(v->GetPropertyValue("VersionNumber"), "1");
    EXPECT_EQ(v->GetPropertyValue("VersionDate"), "2026-12-04 10:15");
}

TEST_F(VersionsTest, DatesAreLocalTimesToTheMinute) {
    TVELDateTime t;
    ASSERT_TRUE(TryParseLocalDateTime("2026-03-01 07:05", t));
    EXPECT_EQ(t, LocalDateTime(2026, 3, 1, 7, 5));
    EXPECT_EQ(FormatLocalDateTime(t), "2026-03-01 07:05");
    ASSERT_TRUE(TryParseLocalDateTime("2026-03-01", t));
    EXPECT_EQ(FormatLocalDateTime(t), "2026-03-01 00:00");
    for (const char* bad : {"", "2026-3-1 7:05", "2026-13-01 00:00", "2026-01-01T00:00", "yesterday"})
        EXPECT_FALSE(TryParseLocalDateTime(bad, t)) << bad;

    // Local means the time zone of the machine: three hours east of UTC here.
    std::optional<std::string> oldTz;
    if (const char* tz = std::getenv("TZ")) oldTz = tz;
    setenv("TZ", "UTC-3", 1);
    tzset();
    const std::string epoch = FormatLocalDateTime(std::chrono::system_clock::from_time_t(0));
    const bool parsed = TryParseLocalDateTime("1970-01-01 03:00", t);
    if (oldTz)
        setenv("TZ", oldTz->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(epoch, "1970-01-01 03:00");
    EXPECT_TRUE(parsed);
    EXPECT_EQ(t, std::chrono::system_clock::from_time_t(0));
}

TEST_F(VersionsTest, LoadingTheDataDictionaryOfAVersion) {
    WriteFile(tmp.File("tiny.def"),
              "[general]\r\ndbmsname=Tiny Target\r\n[supported]\r\nenablesequences=1\r\n");
    TargetDatabases().Build(tmp.Path());
    TVELDataDictionary current;
    current.SetTarget("tiny");
    current.CreateObject(otSequence, true)->SetName("SEQ_ORDERS");
    TVELOldVersions versions(FixedNow);
    versions.Archive(vtDictionaryOnly, "", "", current.GetTarget(), Settings, current.SaveToMarkup(), "");
    current.CreateObject(otSequence, true)->SetName("SEQ_LATER");

    TVELDataDictionary target;
    target.SetTarget("tiny");
    target.CreateObject(otSequence, true)->SetName("SEQ_STALE");
    versions.LoadVersionDataDictionary("1", target, current);
    ASSERT_EQ(target.Count(), 1);
    EXPECT_EQ(target.Items(0)->GetName(), "SEQ_ORDERS");
    EXPECT_EQ(target.GetTarget(), "tiny");

    versions.LoadVersionDataDictionary("", target, current);
    EXPECT_EQ(target.SaveToMarkup(), current.SaveToMarkup());
    EXPECT_THROW(versions.LoadVersionDataDictionary("2", target, current), EVELError);
}
