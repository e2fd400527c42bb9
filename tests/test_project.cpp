#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include <sys/stat.h>

#include "TestModelBuilder.h"
#include "TestSupport.h"
#include "test_diagram_support.h"
#include "zAtomicFile.h"
#include "zAttribute.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDiagramOnly.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zProject.h"
#include "zRelationship.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::DefinitionsDir;
using ardvin::test::ErrorText;
using ardvin::test::FolderEntries;
using ardvin::test::ReadFile;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The shipped targets, and a documents folder of the tests' own for the names of new projects.
class ProjectEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        TargetDatabases().Build(DefinitionsDir());
        documents_ = std::make_unique<TempDir>();
        setenv("XDG_DOCUMENTS_DIR", documents_->Path().c_str(), 1);
    }
    void TearDown() override { documents_.reset(); }

private:
    std::unique_ptr<TempDir> documents_;
};
const auto* const Environment = ::testing::AddGlobalTestEnvironment(new ProjectEnvironment);

// A clock the tests move by hand.
struct TestClock {
    TVELDateTime Time = LocalDateTime(2026, 3, 14, 9, 30);
    TVELClock Clock() {
        return [this] { return Time; };
    }
};

TVELEntity* AddEntity(TVELDataDictionary& dd, const std::string& name) {
    auto* entity = static_cast<TVELEntity*>(dd.CreateObject(otEntity, true));
    entity->SetName(name);
    TVELAttribute* key = entity->AddAttribute();
    key->SetName("ID");
    key->DataType->DataType = "INTEGER";
    key->SetPrimaryKey(true);
    key->SetNotNull(true);
    return entity;
}

TVELAttribute* AddColumn(TVELEntity* entity, const std::string& name, const std::string& type,
                         const std::string& length = "") {
    TVELAttribute* attribute = entity->AddAttribute();
    attribute->SetName(name);
    attribute->DataType->DataType = type;
    if (!length.empty()) attribute->DataType->Length = length;
    return attribute;
}

TVELRelationship* AddRelationship(TVELDataDictionary& dd, TVELEntity* parent, TVELEntity* child,
                                  uint8_t type) {
    return ardvin::test::Relate(dd, parent, child, type);
}

// A project that uses every kind of model object, every control, a diagram folder, every
// settings list and archived versions of both types.
void BuildFullProject(TVELProject& p) {
    p.NewModel("dbindependent");
    TVELDataDictionary& dd = p.DataDictionary;
    TVELDiagram* main = p.Diagrams.MainDiagram();
    p.SetProjectName("Everything");
    p.SetProjectDescription("Two lines\r\nwith <markup> & \"quotes\"");
    p.SetAuthor("Ann Author");
    p.SetCopyRight("(c) nobody");

    auto* money = static_cast<TVELDomain*>(dd.CreateObject(otDomain, true));
    money->SetName("Money");
    money->DataType->DataType = "DECIMAL";
    money->DataType->Length = "12";
    money->DataType->Precision = 2;
    auto* numbers = static_cast<TVELSequence*>(dd.CreateObject(otSequence, true));
    numbers->SetName("OrderNumbers");
    numbers->Increment = 5;
    numbers->Seed = 100;

    TVELEntity* customer = AddEntity(dd, "Customer");
    customer->Comment = "People who buy";
    TVELAttribute* name = AddColumn(customer, "Name", "VARCHAR", "100");
    name->SetNotNull(true);
    TVELAttribute* balance = AddColumn(customer, "Balance", "DECIMAL");
    balance->SetDomainID(money->ID);
    balance->SetCheckValue("Balance >= 0");
    balance->SetDefaultValue("0");
    TVELIndex* byName = customer->AddIndex();
    byName->AddColumn(name);
    TVELTrigger* trigger = customer->AddTrigger();
    trigger->Code = "CREATE TRIGGER %triggername%\r\nBEGIN END";
    customer->AddConstraint(ctUnique, clTable)->AttributeIDs.Add(name);

    TVELEntity* order = AddEntity(dd, "Order");
    AddColumn(order, "Placed", "DATE");
    TVELEntity* line = AddEntity(dd, "OrderLine");
    AddColumn(line, "Quantity", "INTEGER");
    TVELRelationship* places = AddRelationship(dd, customer, order, rtNonIdentifying);
    places->ParentPhrase = "places";
    places->ChildPhrase = "is placed by";
    places->DeleteRule = raCascade;
    AddRelationship(dd, order, line, rtIdentifying);

    auto* kind = static_cast<TVELSubCategory*>(dd.CreateObject(otSubCategory, true));
    auto* toKind = static_cast<TVELSubCategoryConnection*>(dd.CreateObject(otSubCategoryConnection, true));
    toKind->SetConnectionEnds(customer->ID, kind->ID);
    TVELEntity* company = AddEntity(dd, "Company");
    auto* fromKind = static_cast<TVELSubCategoryConnection*>(dd.CreateObject(otSubCategoryConnection, true));
    fromKind->SetConnectionEnds(kind->ID, company->ID);

    auto* note = static_cast<TVELTextArea*>(dd.CreateObject(otTextArea, true));
    note->Text = "A note\r\nover two lines";
    auto* stamp = static_cast<TVELStamp*>(dd.CreateObject(otStamp, true));
    auto* group = static_cast<TVELGroupbox*>(dd.CreateObject(otGroupbox, true));
    group->ObjectCaption = "Sales";
    auto* view = static_cast<TVELView*>(dd.CreateObject(otView, true));
    view->Code += "SELECT * FROM Customer";
    auto* procedure = static_cast<TVELProcedure*>(dd.CreateObject(otProcedure, true));
    procedure->Code += "BEGIN END";
    dd.CreateObject(otRule, true);

    int x = 20;
    for (TVELNamedObject* object :
         std::initializer_list<TVELNamedObject*>{customer, order, line, kind, company, note, stamp, group}) {
        EXPECT_NE(p.Diagrams.AddObjectToDiagram(object, main, x, 40), nullptr) << object->GetName();
        x += 260;
    }
    for (int i = 0; i < dd.Count(); ++i) {
        int32_t parent = 0, child = 0;
        if (dd.Object(i)->GetConnectionEnds(parent, child)) {
            EXPECT_NE(p.Diagrams.AddObjectToDiagram(dd.Object(i), main), nullptr) << dd.Object(i)->GetName();
        }
    }
    TVELDiagram* detail = p.Diagrams.NewDiagram();
    detail->Description = "Orders only";
    p.Diagrams.AddObjectToDiagram(order, detail, 40, 40);
    p.Diagrams.AddObjectToDiagram(line, detail, 40, 300);
    p.Diagrams.AddObjectToDiagram(dd.FindRelationship(dd.Object(dd.Count() - 1)->GetName()), detail);
    p.Diagrams.PutDiagramInFolder("Sales", detail->DiagramID);
    p.Diagrams.DisplayPreferences.SetValue("PKIndicator", "#");
    p.Diagrams.ApplyDisplayPreferences();

    p.Settings.Labels.SetValue("Release", "2");
    p.Settings.GenDBParams.SetValue("Server", "db.example");
    p.Settings.GenDBParams.SetValue("Password", "secret");
    p.Settings.GenDBOptions.SetValue("DONOTUSEVIEWS", "1");
    p.Settings.StoredFilters.SetValue("Big tables", "ATTRCOUNT>10");
    p.Settings.ConGenDirectives = {"first directive", "second directive"};
    p.Settings.RulesForHidingAttributes = {"ID"};
    p.Settings.Filters = "Name LIKE 'C%'";
    p.Settings.RepositorySettings.SetValue("SERVER", "repo");

    p.ArchiveVersion(false, "First", "everything as it was");
    p.ArchiveVersion(true, "Model only", "");
}

// Fails one chosen system call of a save with ENOSPC; counts them all.
class FailingFileOps : public TVELFileOps {
public:
    explicit FailingFileOps(int failAt) : failAt_(failAt) {}
    int Calls = 0;
    int Open(const char* path, int flags, mode_t mode) override {
        return Fail() ? -1 : TVELFileOps::Open(path, flags, mode);
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        return Fail() ? -1 : TVELFileOps::Write(fd, data, size);
    }
    int Fsync(int fd) override { return Fail() ? -1 : TVELFileOps::Fsync(fd); }
    int Fchmod(int fd, mode_t mode) override { return Fail() ? -1 : TVELFileOps::Fchmod(fd, mode); }
    int Close(int fd) override {
        // A failed close still releases the descriptor.
        const bool fail = Fail();
        const int r = TVELFileOps::Close(fd);
        return fail ? -1 : r;
    }
    int Rename(const char* from, const char* to) override {
        return Fail() ? -1 : TVELFileOps::Rename(from, to);
    }

private:
    bool Fail() {
        if (++Calls != failAt_) return false;
        errno = ENOSPC;
        return true;
    }
    int failAt_;
};

// A project of every kind of object saved as a file; returns the file's bytes.
std::string SaveFullProject(const std::string& fileName, TestClock& clock) {
    TVELProject p(clock.Clock());
    BuildFullProject(p);
    p.SetFileName(fileName);
    p.Save();
    EXPECT_FALSE(p.IsModified());
    return ReadFile(fileName);
}

} // namespace

TEST(Project, NewProjectDefaultsAndFileName) {
    TempDir documents;
    ScopedEnv env("XDG_DOCUMENTS_DIR", documents.Path());
    WriteFile(documents.File("Project1.arv"), "taken");
    TVELProject p;
    EXPECT_EQ(p.FileName(), documents.File("Project2.arv"));
    const TVELSettingsList& common = p.Settings.CommonSettings;
    ASSERT_EQ(common.Count(), 20);
    EXPECT_EQ(common.NameAt(0), "PROJECTFILENAME");
    EXPECT_EQ(common.ValueAt(0), p.FileName());
    EXPECT_EQ(common.NameAt(9), "PRINTORIENTATION");
    EXPECT_EQ(common.ValueAt(9), "PORTRAIT");
    EXPECT_EQ(common.GetValue("PRINTPAGETYPE"), "A4");
    EXPECT_EQ(common.GetValue("AUTOCREATEINDEXESONKEYS"), "0");
    EXPECT_EQ(common.NameAt(19), "ENDDROPDATABASESCRIPT");
    const TVELSettingsList& templates = p.Settings.NameTemplates;
    ASSERT_EQ(templates.Count(), 13);
    EXPECT_EQ(templates.NameAt(0), "PKCONNAMETEMPLATE");
    EXPECT_EQ(templates.ValueAt(0), "PK_%table%");
    EXPECT_EQ(templates.GetValue("RELNAMETEMPLATE"), "%parent%_%child%");
    EXPECT_EQ(templates.GetValue("DEFAULTSCHEMANAME"), "");
    EXPECT_EQ(templates.NameAt(12), "AKINDEXNAMETEMPLATE");
    EXPECT_EQ(templates.ValueAt(12), "IDX_%table%_%counter%_AK");
    EXPECT_EQ(p.Settings.UpdDBOptions.GetValue("DONOTUSEINDEXESONPK"), "1");
    EXPECT_TRUE(fs::exists(p.Versions.WorkingFileName()));
    EXPECT_EQ(p.DataDictionary.Count(), 0);
    EXPECT_EQ(p.Diagrams.Count(), 0);
    EXPECT_TRUE(p.IsModified());

    // The typed accessors reach the upper-case keys.
    p.SetProjectName("Shop");
    p.SetCopyRight("(c) me");
    EXPECT_EQ(common.GetValue("PROJECTNAME"), "Shop");
    EXPECT_EQ(common.GetValue("COPYRIGHT"), "(c) me");
    EXPECT_EQ(common.Count(), 20);
}

TEST(Project, DocumentsFolder) {
    TempDir home;
    ScopedEnv homeEnv("HOME", home.Path());
    ScopedEnv documentsEnv("XDG_DOCUMENTS_DIR", std::nullopt);
    ScopedEnv configEnv("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(UserDocumentsFolder(), home.Path());
    fs::create_directory(home.File("Documents"));
    EXPECT_EQ(UserDocumentsFolder(), home.File("Documents"));
    fs::create_directories(home.File(".config"));
    fs::create_directories(home.File("Dokumente"));
    WriteFile(home.File(".config/user-dirs.dirs"), "# written by xdg-user-dirs-update\n"
                                                   "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                   "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(UserDocumentsFolder(), home.File("Dokumente"));
    // A configured folder that does not exist is passed over.
    WriteFile(home.File(".config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Missing\"\n");
    EXPECT_EQ(UserDocumentsFolder(), home.File("Documents"));
    TempDir other;
    ScopedEnv direct("XDG_DOCUMENTS_DIR", other.Path());
    EXPECT_EQ(UserDocumentsFolder(), other.Path());
}

TEST(Project, FileLayoutByteForByte) {
    TempDir dir;
    TestClock clock;
    TVELProject p(clock.Clock());
    p.NewModel("dbindependent");
    p.SetFileName(dir.File("layout.arv"));
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(p.FileFormatVersion, "60");
    const std::string text = ReadFile(p.FileName());
    const std::string head = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><ardvin>";
    ASSERT_EQ(head.size(), 51u);
    EXPECT_EQ(text.substr(0, 51), head);
    EXPECT_EQ(text.substr(51, 2 + 41 + 2 + 9), "\r\n<FILEFORMATVERSION>60</FILEFORMATVERSION>\r\n<VERSION>");
    EXPECT_EQ(text.substr(105, 19), "\r\n<PROJECTSETTINGS>");
    EXPECT_NE(text.find("</PROJECTSETTINGS>\r\n<DATADICT>"), std::string::npos);
    EXPECT_NE(text.find("</DATADICT>\r\n<DIAGRAMS>"), std::string::npos);
    EXPECT_TRUE(text.ends_with("</DIAGRAMS>\r\n</VERSION>\r\n</ardvin>")) << text.substr(text.size() - 60);
    EXPECT_EQ(text, p.FileText().replace(30, 5, "iso-8859-1"));
    EXPECT_NE(text.find("<MODIFIED>2026-03-14</MODIFIED>"), std::string::npos);
    EXPECT_NE(text.find("<CREATED>2026-03-14</CREATED>"), std::string::npos);
    EXPECT_EQ(text.find("PASSWORD"), std::string::npos);

    // A second save on another day changes MODIFIED only.
    clock.Time = LocalDateTime(2026, 4, 1, 8, 0);
    p.Save();
    const std::string again = ReadFile(p.FileName());
    EXPECT_NE(again.find("<MODIFIED>2026-04-01</MODIFIED>"), std::string::npos);
    EXPECT_NE(again.find("<CREATED>2026-03-14</CREATED>"), std::string::npos);
    EXPECT_EQ(ReplaceAll(again, "2026-04-01", "2026-03-14"), text);

    // Archived versions follow the current one on its line; the end keeps its line break.
    p.ArchiveVersion(false, "One", "");
    p.ArchiveVersion(true, "Two", "");
    p.Save();
    const std::string archived = ReadFile(p.FileName());
    EXPECT_NE(archived.find("</VERSION><VERSION>\r\n<VERSIONINFO>"), std::string::npos);
    EXPECT_TRUE(archived.ends_with("</VERSION>\r\n\r\n</ardvin>"));
    EXPECT_EQ(CheckProjectText(archived, "x").size(), 3u);
}

TEST(Project, FormatDetection) {
    EXPECT_EQ(DetectFileFormatVersion("<ardvin><FILEFORMATVERSION>60</FILEFORMATVERSION>"), "60");
    EXPECT_EQ(DetectFileFormatVersion("<FILEFORMATVERSION>51</FILEFORMATVERSION>"), "51");
    EXPECT_EQ(DetectFileFormatVersion("<FILEFORMATVERSION>41</FILEFORMATVERSION>"), "41");
    EXPECT_EQ(DetectFileFormatVersion("<FILEFORMATVERSION>40</FILEFORMATVERSION>"), "40");
    EXPECT_EQ(DetectFileFormatVersion("<x><FILEFORMATVERSIONNUMBER>3.0</FILEFORMATVERSIONNUMBER>"), "30");
    EXPECT_EQ(DetectFileFormatVersion("<ARDVINVERSIONNUMBER>3</ARDVINVERSIONNUMBER>"), "30");
    EXPECT_EQ(DetectFileFormatVersion("***VERSION***\r\nShop"), "20");
    EXPECT_EQ(DetectFileFormatVersion("123456789***VERSION***"), "20");
    EXPECT_EQ(DetectFileFormatVersion("1234567890***VERSION***"), "");
    EXPECT_EQ(DetectFileFormatVersion("<FILEFORMATVERSION>61"), "");
    EXPECT_EQ(DetectFileFormatVersion(""), "");
    // The search order decides, wherever the texts stand.
    EXPECT_EQ(DetectFileFormatVersion("<FILEFORMATVERSION>51<VERSION><FILEFORMATVERSION>60"), "60");
    EXPECT_EQ(DetectFileFormatVersion("***VERSION***<FILEFORMATVERSION>40"), "40");
    EXPECT_EQ(FileFormatVersionText("41"), "version 4 (or 5)");
    EXPECT_EQ(FileFormatVersionText("51"), "version 5");
    EXPECT_EQ(FileFormatVersionText("20"), "version 2");
}

TEST(Project, EveryObjectSurvivesSaveOpenSave) {
    TempDir dir;
    TestClock clock;
    const std::string first = SaveFullProject(dir.File("full.arv"), clock);
    // The passwords of the wizards never reach the file.
    EXPECT_EQ(first.find("secret"), std::string::npos);
    for (const char* element : {"<DOMAIN>",
                                "<ENT>",
                                "<SUBCAT>",
                                "<TEXTAR>",
                                "<GROUPBOX>",
                                "<STAMP>",
                                "<SEQUENCE>",
                                "<PROCEDURE>",
                                "<VIEW>",
                                "<REL>",
                                "<SUBCATEGORYCONNECTION>",
                                "<RULE>",
                                "<ENTC>",
                                "<SUBCATC>",
                                "<TEXTC>",
                                "<STAMPC>",
                                "<GROUPBOXC>",
                                "<RELC>",
                                "<SUBCATEGORYCONNECTOR>",
                                "<TRIGGER>",
                                "<INDEX>",
                                "<VERSIONINFO>"})
        EXPECT_NE(first.find(element), std::string::npos) << element;
    TVELProject reopened(clock.Clock());
    reopened.Open(dir.File("full.arv"));
    EXPECT_EQ(reopened.FileFormatVersion, "60");
    EXPECT_FALSE(reopened.IsModified());
    EXPECT_EQ(reopened.Versions.Count(), 2);
    EXPECT_EQ(reopened.Diagrams.Count(), 2);
    EXPECT_EQ(reopened.Diagrams.FolderOfDiagram(reopened.Diagrams.Items(1)->DiagramID), "Sales");
    EXPECT_EQ(reopened.ProjectDescription(), "Two lines\r\nwith <markup> & \"quotes\"");
    reopened.Save();
    EXPECT_EQ(ReadFile(dir.File("full.arv")), first);

    // Opening again replaces what the project held.
    const int objects = reopened.DataDictionary.Count();
    reopened.Open(dir.File("full.arv"));
    EXPECT_EQ(reopened.DataDictionary.Count(), objects);
    EXPECT_EQ(reopened.Diagrams.Count(), 2);
    EXPECT_EQ(reopened.Versions.Count(), 2);
    // Deleted versions leave the file at the next save.
    reopened.Versions.DeleteVersion("1");
    reopened.Save();
    TVELProject third(clock.Clock());
    third.Open(dir.File("full.arv"));
    ASSERT_EQ(third.Versions.Count(), 1);
    EXPECT_EQ(third.Versions.Version(0)->VersionLabel, "Model only");
    EXPECT_EQ(third.Versions.Version(0)->VersionType, vtDictionaryOnly);
}

TEST(Project, IsModifiedComparesWithTheFile) {
    TempDir dir;
    TestClock clock;
    TVELProject p(clock.Clock());
    p.NewModel("dbindependent");
    p.SetFileName(dir.File("m.arv"));
    EXPECT_TRUE(p.IsModified()); // no file yet
    p.Save();
    EXPECT_FALSE(p.IsModified());
    // Another day: the date of the last save does not count.
    clock.Time = LocalDateTime(2027, 1, 2, 3, 4);
    EXPECT_FALSE(p.IsModified());
    TVELEntity* entity = AddEntity(p.DataDictionary, "Thing");
    EXPECT_TRUE(p.IsModified());
    p.Save();
    EXPECT_FALSE(p.IsModified());
    entity->Comment = "changed";
    EXPECT_TRUE(p.IsModified());
    entity->Comment.clear();
    EXPECT_FALSE(p.IsModified());
    // The dates a stamp shows do not count either; its other fields do.
    auto* stamp = static_cast<TVELStamp*>(p.DataDictionary.CreateObject(otStamp, true));
    p.Diagrams.AddObjectToDiagram(stamp, p.Diagrams.MainDiagram(), 10, 10);
    p.Save();
    stamp->Modified = "2030-01-01";
    EXPECT_FALSE(p.IsModified());
    stamp->Author = "Nobody";
    EXPECT_TRUE(p.IsModified());
    p.Save();
    // Archiving changes the working file, not the current model.
    p.ArchiveVersion(false, "", "");
    EXPECT_FALSE(p.IsModified());
    p.SetAuthor("Somebody");
    EXPECT_TRUE(p.IsModified());
    p.Save();
    // The file's encoding does not count either.
    p.SetAuthor("Zoë");
    p.Save();
    EXPECT_FALSE(p.IsModified());
    fs::remove(p.FileName());
    EXPECT_TRUE(p.IsModified());
}

TEST(Project, Encodings) {
    TempDir dir;
    TestClock clock;
    struct Case {
        const char* Name;
        const char* Declared;
    };
    const Case cases[] = {
        {"Größe_café", "iso-8859-1"}, // German and French fit ISO-8859-1
        {"Preis_in_€", "iso-8859-1"}, // the euro sign has its Windows byte
        {"Zamówienie_łódź", "utf-8"}, // Polish
        {"Παραγγελία", "utf-8"},      // Greek
        {"注文明細", "utf-8"},        // Japanese
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string file = dir.File("enc.arv");
        {
            TVELProject p(clock.Clock());
            p.NewModel("dbindependent");
            TVELEntity* entity = AddEntity(p.DataDictionary, c.Name);
            entity->Comment = std::string("Kommentar: ") + c.Name;
            p.SetAuthor(c.Name);
            p.Diagrams.AddObjectToDiagram(entity, p.Diagrams.MainDiagram(), 10, 10);
            p.SetFileName(file);
            p.Save();
            p.ArchiveVersion(false, c.Name, c.Name);
            p.Save();
        }
        const std::string bytes = ReadFile(file);
        EXPECT_TRUE(bytes.starts_with(std::string("<?xml version=\"1.0\" encoding=\"") + c.Declared +
                                      "\"?><ardvin>"));
        const bool utf8 = std::string(c.Declared) == "utf-8";
        EXPECT_EQ(bytes.find(c.Name) != std::string::npos, utf8);
        TVELProject p(clock.Clock());
        p.Open(file);
        ASSERT_NE(p.DataDictionary.FindEntity(c.Name), nullptr);
        EXPECT_EQ(p.DataDictionary.FindEntity(c.Name)->Comment, std::string("Kommentar: ") + c.Name);
        EXPECT_EQ(p.Author(), c.Name);
        ASSERT_EQ(p.Versions.Count(), 1);
        EXPECT_EQ(p.Versions.Version(0)->VersionLabel, c.Name);
        EXPECT_NE(p.Versions.VersionText("1").find(c.Name), std::string::npos);
        EXPECT_FALSE(p.IsModified());
        p.Save();
        EXPECT_EQ(ReadFile(file), bytes);
    }
    // The single bytes of ISO-8859-1 files, with the Windows characters at 0x80 to 0x9F.
    EXPECT_EQ(Latin1ToUtf8("caf\xE9 \x80 \x93x\x94 \x81"), "café € “x” \xC2\x81");
    std::string latin1;
    EXPECT_TRUE(TryUtf8ToLatin1("café € “x”", latin1));
    EXPECT_EQ(latin1, "caf\xE9 \x80 \x93x\x94");
    EXPECT_FALSE(TryUtf8ToLatin1("ł", latin1));
    EXPECT_FALSE(TryUtf8ToLatin1("\xC2\x80", latin1));  // U+0080 has no byte of its own there
    EXPECT_FALSE(TryUtf8ToLatin1("\xE9t\xE9", latin1)); // no valid UTF-8
    EXPECT_FALSE(TryUtf8ToLatin1("\xC0\xA9", latin1));  // overlong
    EXPECT_FALSE(TryUtf8ToLatin1("😀", latin1));
    EXPECT_EQ(DeclaredEncoding("<?xml version='1.0' encoding='UTF-8'?>", "f"), TVELFileEncoding::Utf8);
    EXPECT_EQ(DeclaredEncoding("<ardvin>", "f"), TVELFileEncoding::Latin1);
    EXPECT_EQ(DeclaredEncoding("\xEF\xBB\xBF<ardvin>", "f"), TVELFileEncoding::Utf8);
    EXPECT_EQ(ErrorText([] { DeclaredEncoding("<?xml version=\"1.0\" encoding=\"koi8-r\"?>", "/p/x.arv"); }),
              "File \"/p/x.arv\" is written in the unsupported encoding \"koi8-r\".");
    // A file of another program, with Windows characters in an ISO-8859-1 file.
    {
        TVELProject p(clock.Clock());
        p.NewModel("dbindependent");
        AddEntity(p.DataDictionary, "Plain");
        p.SetFileName(dir.File("win.arv"));
        p.Save();
    }
    WriteFile(dir.File("win.arv"), ReplaceAll(ReadFile(dir.File("win.arv")), "<NAME>Plain</NAME>",
                                              "<NAME>\x93Plain\x94 \x80</NAME>"));
    TVELProject win(clock.Clock());
    win.Open(dir.File("win.arv"));
    EXPECT_NE(win.DataDictionary.FindEntity("“Plain” €"), nullptr);
}

// A model whose text runs to several megabytes is written in pieces; the encoding of the file
// still follows from all of it, and a character met late that has no ISO-8859-1 byte makes the
// whole file UTF-8, with nothing left of the first attempt.
TEST(Project, LargeModelEncodings) {
    TempDir dir;
    TestClock clock;
    for (const std::string late : {"", "Größe", "Zamówienie_łódź"}) {
        SCOPED_TRACE(late);
        TVELProject p(clock.Clock());
        p.NewModel("dbindependent");
        for (int e = 0; e < 30; ++e)
            AddEntity(p.DataDictionary, "Table" + std::to_string(e))->Comment = std::string(100000, 'c');
        if (!late.empty()) AddEntity(p.DataDictionary, late);
        const std::string file = dir.File("large.arv");
        p.SetFileName(file);
        p.Save();
        const std::string bytes = ReadFile(file);
        ASSERT_GT(bytes.size(), 2u << 20); // more than one piece
        std::string expected = p.FileText();
        if (late != "Zamówienie_łódź") {
            std::string latin1;
            ASSERT_TRUE(TryUtf8ToLatin1(expected.replace(30, 5, "iso-8859-1"), latin1));
            expected = latin1;
        }
        EXPECT_EQ(bytes, expected);
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"large.arv"});
    }
}

TEST(Project, AtomicSaveSurvivesEveryFailure) {
    TempDir dir;
    TestClock clock;
    TVELProject p(clock.Clock());
    BuildFullProject(p);
    const std::string file = dir.File("atomic.arv");
    p.SetFileName(file);
    p.Save();
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const std::string before = ReadFile(file);
    const std::vector<std::string> entries = FolderEntries(dir.Path());
    // The saves to come write another day and a changed model.
    clock.Time = LocalDateTime(2026, 5, 6, 7, 8);
    AddEntity(p.DataDictionary, "Added");
    const std::string modified = p.Modified();
    int calls = 0;
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE(failAt);
        FailingFileOps ops(failAt);
        p.FileOps = &ops;
        const std::string error = ErrorText([&] { p.Save(); });
        calls = ops.Calls;
        p.FileOps = nullptr;
        if (error.empty()) break;
        EXPECT_TRUE(error.starts_with("Cannot write file \"" + file + "\"")) << error;
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        const std::string now = ReadFile(file);
        // Either the old file or, when only the folder could not be flushed, the whole new one.
        if (now != before) {
            EXPECT_NE(error.find("(folder"), std::string::npos) << error;
            EXPECT_TRUE(now.ends_with("</ardvin>"));
            EXPECT_NE(now.find("<NAME>Added</NAME>"), std::string::npos);
            WriteFile(file, before);
            chmod(file.c_str(), 0640);
        }
        EXPECT_EQ(FolderEntries(dir.Path()), entries) << "a temporary file was left behind";
        // The project is as it was before the save.
        EXPECT_EQ(p.Modified(), modified);
        ASSERT_LT(failAt, 100);
    }
    // Creation; the head, the three pieces of the current version, the archive and the end;
    // mode, flush, close, rename; and the folder's open, flush and close (a read-only
    // descriptor whose closing cannot fail the save).
    EXPECT_EQ(calls, 14);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(ReadFile(file).find("<NAME>Added</NAME>"), std::string::npos);
    EXPECT_EQ(p.Modified(), "2026-05-06");

    // A symbolic link stays one; the file it names is replaced.
    fs::create_symlink(file, dir.File("link.arv"));
    p.SetFileName(dir.File("link.arv"));
    AddEntity(p.DataDictionary, "ThroughLink");
    p.Save();
    EXPECT_TRUE(fs::is_symlink(dir.File("link.arv")));
    EXPECT_NE(ReadFile(file).find("<NAME>ThroughLink</NAME>"), std::string::npos);

    // A folder where the file should be is no file to replace.
    fs::create_directory(dir.File("folder.arv"));
    p.SetFileName(dir.File("folder.arv"));
    EXPECT_NE(ErrorText([&] { p.Save(); }).find("Is a directory"), std::string::npos);
}

TEST(Project, DamagedFilesAreRefused) {
    TempDir dir;
    TestClock clock;
    const std::string good = SaveFullProject(dir.File("good.arv"), clock);
    auto openError = [&](const std::string& content) {
        const std::string file = dir.File("bad.arv");
        WriteFile(file, content);
        TVELProject p(clock.Clock());
        const std::string error = ErrorText([&] { p.Open(file); });
        EXPECT_EQ(ReadFile(file), content) << "the file was changed";
        EXPECT_EQ(p.DataDictionary.Count(), 0);
        EXPECT_EQ(p.Diagrams.Count(), 0);
        return error;
    };
    const std::string bad = dir.File("bad.arv");
    EXPECT_EQ(openError(""), "Unsupported file format.");
    EXPECT_EQ(openError("\x7F"
                        "ELF\x02\x01\x01"),
              "Unsupported file format.");
    EXPECT_EQ(openError("1234567890***VERSION***"), "Unsupported file format.");
    EXPECT_TRUE(openError(good.substr(0, good.size() / 2)).starts_with("File \"" + bad + "\" is damaged: "));
    EXPECT_NE(openError(good.substr(0, good.size() - 3)).find("a tag is not closed"), std::string::npos);
    EXPECT_NE(
        openError(good.substr(0, good.size() - 9)).find("it ends inside the element <ardvin> of line 1"),
        std::string::npos);
    EXPECT_NE(openError(ReplaceAll(good, "</ENT>", "</ATTR>")).find("is closed by </ATTR>"),
              std::string::npos);
    EXPECT_NE(openError(good + "garbage").find("text stands outside the elements"), std::string::npos);
    EXPECT_NE(openError(good + "</VERSION>").find("</VERSION> closes no element"), std::string::npos);
    std::string binary = good;
    binary.replace(good.size() / 3, 4, std::string("\0\1\2\3", 4));
    EXPECT_NE(openError(binary).find("it holds binary data"), std::string::npos);
    EXPECT_NE(openError(ReplaceAll(good, "<NAME>Customer</NAME>", "<NAME>Cust<<omer</NAME>"))
                  .find("is no element tag"),
              std::string::npos);
    EXPECT_EQ(openError("<ardvin><FILEFORMATVERSION>60</FILEFORMATVERSION></ardvin>"),
              "File \"" + bad + "\" is damaged: it holds no model (no VERSION element).");
    const std::string noTarget =
        openError(ReplaceAll(good, "<DBID>dbindependent</DBID>", "<DBID>nosuchtarget</DBID>"));
    EXPECT_TRUE(noTarget.starts_with("Cannot open project \"" + bad + "\": ")) << noTarget;
    EXPECT_NE(noTarget.find("nosuchtarget"), std::string::npos) << noTarget;
    EXPECT_EQ(openError(std::string()), "Unsupported file format.");
    // Every cut of the file is either refused or, at the very end, loads.
    for (size_t length = good.size() - 40; length < good.size(); ++length)
        EXPECT_FALSE(openError(good.substr(0, length)).empty()) << length;
    TVELProject missing(clock.Clock());
    EXPECT_EQ(ErrorText([&] { missing.Open(dir.File("none.arv")); }),
              "File \"" + dir.File("none.arv") + "\" does not exist.");
}

TEST(Project, NewObjectsTakeTheProjectDefaults) {
    TVELProject p;
    p.NewModel("postgresql15");
    TVELSettingsList& templates = p.Settings.NameTemplates;
    templates.SetValue("PKCONNAMETEMPLATE", "pk_%table%");
    templates.SetValue("FKCONNAMETEMPLATE", "fk_%relname%");
    templates.SetValue("CCONNAMETEMPLATE", "ck_%column%");
    templates.SetValue("NOTNULLCONNAMETEMPLATE", "nn_%column%");
    templates.SetValue("DEFAULTCONNAMETEMPLATE", "df_%column%");
    templates.SetValue("RELNAMETEMPLATE", "%child%_of_%parent%");
    templates.SetValue("INDEXNAMETEMPLATE", "ix_%table%_%counter%");
    templates.SetValue("DEFAULTSCHEMANAME", "shop");
    p.Settings.CommonSettings.SetValue("DEFTABLEOPTIONS", "WITH (fillfactor=70)");
    p.Settings.CommonSettings.SetValue("DEFINDEXOPTIONS", "WITH (fillfactor=90)");
    std::vector<std::pair<int, std::string>> created;
    p.OnObjectCreated = [&](TVELDatabaseObject* object) {
        created.emplace_back(object->ObjectType, object->NameTemplate);
    };

    TVELEntity* parent = AddEntity(p.DataDictionary, "Parent");
    EXPECT_EQ(parent->PrimaryKey->NameTemplate, "pk_%table%");
    EXPECT_EQ(parent->SchemaName, "shop");
    EXPECT_EQ(parent->TableOptions,
              p.DataDictionary.GetDatabaseSettings()->EnableTableOptions ? "WITH (fillfactor=70)" : "");
    TVELAttribute* key = parent->AttributeAt(0);
    EXPECT_EQ(key->CheckConstraint()->NameTemplate, "ck_%column%");
    EXPECT_EQ(key->NotNullConstraint()->NameTemplate, "nn_%column%");
    EXPECT_EQ(key->DefaultConstraint()->NameTemplate, "df_%column%");
    TVELIndex* index = parent->AddIndex();
    EXPECT_EQ(index->NameTemplate, "ix_%table%_%counter%");
    EXPECT_EQ(index->IndexOptions,
              p.DataDictionary.GetDatabaseSettings()->EnableIndexOptions ? "WITH (fillfactor=90)" : "");
    TVELEntity* child = AddEntity(p.DataDictionary, "Child");
    TVELRelationship* relationship = AddRelationship(p.DataDictionary, parent, child, rtNonIdentifying);
    EXPECT_EQ(relationship->NameTemplate, "%child%_of_%parent%");
    EXPECT_EQ(relationship->FKConstraint->NameTemplate, "fk_%relname%");
    // The notification comes after the defaults: entity, attribute, index, entity, attribute,
    // relationship (and the foreign-key attribute it propagated).
    ASSERT_GE(created.size(), 6u);
    EXPECT_EQ(created[0].first, otEntity);
    EXPECT_EQ(created[1].first, otAttribute);
    EXPECT_EQ(created[2], std::make_pair(int(otIndex), std::string("ix_%table%_%counter%")));
    EXPECT_EQ(created[5], std::make_pair(int(otRelationship), std::string("%child%_of_%parent%")));

    // Without schemas in the target the default schema is not used.
    TVELProject plain;
    plain.NewModel("sqlite3");
    plain.Settings.NameTemplates.SetValue("DEFAULTSCHEMANAME", "shop");
    EXPECT_EQ(AddEntity(plain.DataDictionary, "T")->SchemaName,
              plain.DataDictionary.GetDatabaseSettings()->EnableSchemas ? "shop" : "");
}

TEST(Project, ControlsFollowChangedAndDeletedObjects) {
    TVELProject p;
    p.NewModel("dbindependent");
    TVELDataDictionary& dd = p.DataDictionary;
    TVELDiagram* main = p.Diagrams.MainDiagram();
    TVELEntity* parent = AddEntity(dd, "Parent");
    TVELEntity* child = AddEntity(dd, "Child");
    TVELRelationship* relationship = AddRelationship(dd, parent, child, rtNonIdentifying);
    auto* box = static_cast<TDGControl*>(p.Diagrams.AddObjectToDiagram(parent, main, 10, 10));
    ASSERT_NE(box, nullptr);
    p.Diagrams.AddObjectToDiagram(child, main, 400, 10);
    ASSERT_NE(p.Diagrams.AddObjectToDiagram(relationship, main), nullptr);
    TVELDiagram* second = p.Diagrams.NewDiagram();
    p.Diagrams.AddObjectToDiagram(parent, second, 10, 10);

    // A new attribute makes the box taller; a longer name makes it wider.
    box->AutoSize = true;
    box->RecomputeSize();
    const int height = box->Height, width = box->Width;
    AddColumn(parent, "Description", "VARCHAR", "200");
    EXPECT_GT(box->Height, height);
    parent->SetName("A_parent_with_a_much_longer_name_than_before");
    EXPECT_GT(box->Width, width);

    // A deleted object loses its controls before the shell hears of it; the lines at its
    // boxes go with them.
    std::vector<std::pair<std::string, size_t>> deleted;
    p.OnObjectDeleted = [&](TVELNamedObject* object) {
        deleted.emplace_back(object->GetName(), object->Links.size());
    };
    ASSERT_EQ(parent->Links.size(), 2u);
    dd.DeleteObject(parent);
    ASSERT_EQ(deleted.size(), 2u);
    // The relationship goes first, then the entity; neither has a line left when the shell hears.
    EXPECT_EQ(deleted[1],
              std::make_pair(std::string("A_parent_with_a_much_longer_name_than_before"), size_t(0)));
    EXPECT_EQ(deleted[0].second, 0u);
    EXPECT_EQ(main->ControlCount(), 1);
    EXPECT_EQ(main->ConnectorCount(), 0);
    EXPECT_EQ(second->ControlCount(), 0);
    EXPECT_EQ(dd.Count(), 1);
}

TEST(Project, OpenReportsProgressAndLoadsQuietly) {
    TempDir dir;
    TestClock clock;
    {
        TVELProject p(clock.Clock());
        p.NewModel("dbindependent");
        for (int i = 0; i < 40; ++i) {
            TVELEntity* entity = AddEntity(p.DataDictionary, "T" + IntToStr(i));
            AddColumn(entity, "Text", "VARCHAR", "20");
            p.Diagrams.AddObjectToDiagram(entity, p.Diagrams.MainDiagram(), 10 + 20 * i, 10);
        }
        auto* stamp = static_cast<TVELStamp*>(p.DataDictionary.CreateObject(otStamp, true));
        p.Diagrams.AddObjectToDiagram(stamp, p.Diagrams.MainDiagram(), 10, 600);
        p.SetProjectName("Progress");
        p.SetFileName(dir.File("p.arv"));
        p.Settings.RepositorySettings.SetValue("REPOSITORYVERSIONNUMBER", "3");
        EXPECT_TRUE(p.IsRepositoryProject());
        p.Save();
        EXPECT_EQ(p.Settings.RepositorySettings.GetValue("REPOSITORYPROJECTCHANGED"), "1");
    }
    TVELProject p(clock.Clock());
    std::vector<int> percents;
    int created = 0, changed = 0, loaded = 0, renamed = 0;
    p.OnLoadProgress = [&](int percent) { percents.push_back(percent); };
    p.OnObjectCreated = [&](TVELDatabaseObject*) { ++created; };
    p.OnModelLoaded = [&] { ++loaded; };
    p.OnFileNameChanged = [&] { ++renamed; };
    p.Diagrams.OnDiagramAdded = [&](TVELDiagram*) { ++changed; };
    p.Open(dir.File("p.arv"));
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(renamed, 1);
    EXPECT_EQ(created, 0);
    EXPECT_EQ(changed, 0);
    ASSERT_GE(percents.size(), 10u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(std::adjacent_find(percents.begin(), percents.end()), percents.end()) << "a percentage twice";
    EXPECT_GE(percents.back(), 80);
    EXPECT_LE(percents.back(), 100);
    // The notifications are back after loading.
    AddEntity(p.DataDictionary, "After");
    EXPECT_EQ(created, 2);
    p.Diagrams.NewDiagram();
    EXPECT_EQ(changed, 1);
    // The stamps show the header; the repository flag of the last save is dropped.
    TVELStamp* stamp = p.DataDictionary.FirstOfClass<TVELStamp>();
    ASSERT_NE(stamp, nullptr);
    EXPECT_EQ(stamp->ProjectName, "Progress");
    EXPECT_EQ(stamp->Modified, "2026-03-14");
    EXPECT_EQ(stamp->DBMSName, "Database Independent");
    EXPECT_FALSE(p.Settings.RepositorySettings.Has("REPOSITORYPROJECTCHANGED"));
    EXPECT_TRUE(p.IsRepositoryProject());
    p.SetAuthor("Header follows");
    EXPECT_EQ(stamp->Author, "Header follows");
    p.Settings.RepositorySettings.SetValue("REPOSITORYVERSIONNUMBER", "x");
    EXPECT_FALSE(p.IsRepositoryProject());
    p.Settings.RepositorySettings.SetValue("REPOSITORYVERSIONNUMBER", "0");
    EXPECT_TRUE(p.IsRepositoryProject());

    // Objects without controls go onto the main diagram.
    p.DataDictionary.CreateObject(otTextArea, true);
    EXPECT_EQ(p.PlaceObjectsWithoutControls(), 2);
    EXPECT_EQ(p.PlaceObjectsWithoutControls(), 0);
}

TEST(Project, FileNameAndProjectsList) {
    TVELProjects projects;
    int changes = 0;
    projects.OnChange = [&] { ++changes; };
    TVELProject* a = projects.Add(std::make_unique<TVELProject>());
    TVELProject* b = projects.Add(std::make_unique<TVELProject>());
    EXPECT_EQ(a->Projects, &projects);
    EXPECT_NE(a->FileName(), "");
    int renamed = 0;
    a->OnFileNameChanged = [&] { ++renamed; };
    a->SetFileName("/tmp/x.arv");
    a->SetFileName("/tmp/x.arv");
    EXPECT_EQ(renamed, 1);
    EXPECT_EQ(a->Settings.CommonSettings.GetValue("PROJECTFILENAME"), "/tmp/x.arv");
    projects.SetCurrent(a);
    projects.SetCurrent(a);
    projects.SetCurrent(b);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(projects.Current(), b);
    EXPECT_EQ(projects.Previous(), a);
    bool destroyed = false;
    std::string workingFile = a->Versions.WorkingFileName();
    a->OnDestroying = [&] { destroyed = true; };
    projects.Remove(a);
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(fs::exists(workingFile));
    EXPECT_EQ(projects.Count(), 1);
    EXPECT_EQ(projects.Previous(), nullptr);
    EXPECT_EQ(projects.Current(), b);
    projects.Remove(b);
    EXPECT_EQ(projects.Current(), nullptr);
    EXPECT_EQ(changes, 3);
}

TEST(Project, OlderFilesAreConvertedOnOpening) {
    const std::string fixtures = ardvin::test::SourceDir() + "/tests/fixtures/oldformat";
    TargetDatabases().Build(fixtures + "/definitions");
    struct Restore {
        ~Restore() { TargetDatabases().Build(DefinitionsDir()); }
    } restore;
    TempDir dir, tmp;
    ScopedEnv tmpEnv("TMPDIR", tmp.Path());
    struct Fixture {
        const char* File;
        const char* Version;
        const char* Release;
        const char* Backup;
    };
    const Fixture fixtures_[] = {
        {"shop_v20.arv", "20", "version 2", "shop_v20 ardvinv21.arv"},
        {"shop_v30.arv", "30", "version 3", "shop_v30 ardvinv31.arv"},
        {"shop_v40.arv", "40", "version 4", "shop_v40 ardvinv41.arv"},
        {"stock_v41.arv", "41", "version 4 (or 5)", "stock_v41 ardvinv41.arv"},
        {"library_v51.arv", "51", "version 5", "library_v51 ardvinv51.arv"},
    };
    for (const Fixture& f : fixtures_) {
        SCOPED_TRACE(f.File);
        const std::string file = dir.File(f.File);
        fs::copy_file(fixtures + "/" + f.File, file);
        const std::string original = ReadFile(file);
        std::vector<std::string> events;
        TVELProject p;
        p.OnConfirmConversion = [&](const std::string& message) { events.push_back(message); };
        p.OnConversionStarting = [&] { events.push_back("starting"); };
        p.OnConversionFinished = [&] { events.push_back("finished"); };
        p.OnRequestTarget = [&] {
            events.push_back("target");
            return std::string("postgresql7");
        };
        p.OnModelLoaded = [&] { events.push_back("loaded"); };
        p.Open(file);
        const std::string backup = dir.File(f.Backup);
        const std::string question =
            std::string("This is a project file for Ardvin for Databases ") + f.Release +
            " and needs to be converted.\r\n\r\nFor your convenience, a backup of the (original) file will "
            "be created. "
            "The original file \"" +
            file + "\" will be saved as \"" + backup +
            "\".\r\n\r\nPlease note that when you save the converted project, the project can't be opened in "
            "an older "
            "version of Ardvin for Databases anymore.\r\n\r\nDo you wish to continue?";
        std::vector<std::string> expected = {question, "starting", "finished", "loaded"};
        if (std::string(f.Version) == "20") expected.insert(expected.begin() + 2, "target");
        EXPECT_EQ(events, expected);
        EXPECT_EQ(p.FileFormatVersion, f.Version);
        EXPECT_EQ(p.BackupFileName, backup);
        EXPECT_EQ(ReadFile(backup), original);
        EXPECT_EQ(ReadFile(file), original) << "opening changed the file";
        for (const std::string& name : FolderEntries(tmp.Path()))
            EXPECT_FALSE(name.starts_with("arvconvert")) << "the converted file " << name << " was left";
        EXPECT_GT(p.DataDictionary.Count(), 0);
        EXPECT_GE(p.Diagrams.Count(), 1);
        EXPECT_TRUE(p.IsModified());
        // Saving writes the current format; the saved file opens without conversion.
        p.Save();
        EXPECT_EQ(p.FileFormatVersion, "60");
        const std::string saved = ReadFile(file);
        TVELProject again;
        again.OnConfirmConversion = [](const std::string&) { ADD_FAILURE() << "converted twice"; };
        again.Open(file);
        EXPECT_FALSE(again.IsModified());
        EXPECT_EQ(again.DataDictionary.Count(), p.DataDictionary.Count());
        EXPECT_EQ(again.Versions.Count(), p.Versions.Count());
        again.Save();
        EXPECT_EQ(ReadFile(file), saved);
    }
    // Two conversions of the same file keep two backups.
    const std::string library = dir.File("library.arv");
    for (const char* backup : {"library ardvinv51.arv", "library ardvinv52.arv"}) {
        fs::copy_file(fixtures + "/library_v51.arv", library, fs::copy_options::overwrite_existing);
        TVELProject p;
        p.Open(library);
        EXPECT_EQ(p.BackupFileName, dir.File(backup));
        EXPECT_TRUE(fs::exists(dir.File(backup)));
    }
    // A refused conversion loads nothing and makes no backup.
    fs::copy_file(fixtures + "/shop_v40.arv", dir.File("refused.arv"));
    TVELProject refused;
    refused.OnConfirmConversion = [](const std::string&) {
        throw EVELError("User pressed cancel. Project not opened or converted.");
    };
    EXPECT_EQ(ErrorText([&] { refused.Open(dir.File("refused.arv")); }),
              "User pressed cancel. Project not opened or converted.");
    EXPECT_FALSE(fs::exists(dir.File("refused ardvinv41.arv")));
    EXPECT_EQ(refused.DataDictionary.Count(), 0);
    // A version-2 file without a target.
    fs::copy_file(fixtures + "/shop_v20.arv", dir.File("notarget.arv"));
    TVELProject noTarget;
    EXPECT_EQ(ErrorText([&] { noTarget.Open(dir.File("notarget.arv")); }), "Conversion aborted by user.");
    // A damaged file of an older format is refused before its backup is made.
    const std::string v40 = ReadFile(fixtures + "/shop_v40.arv");
    WriteFile(dir.File("cut.arv"), v40.substr(0, v40.size() / 2));
    TVELProject cut;
    EXPECT_NE(ErrorText([&] { cut.Open(dir.File("cut.arv")); }).find("is damaged"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.File("cut ardvinv41.arv")));
}
