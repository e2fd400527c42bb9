#include "zPackages.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "zAttribute.h"
#include "zDatabaseSettings.h"
#include "zEntity.h"
#include "zSLDatatypes.h"

namespace ardvin {

namespace fs = std::filesystem;

namespace {

std::string ReadWholeFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EVELError("Unable to read file \"" + fileName + "\".");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

template <class T> T* OwnerOfType(const TVELPersistent* owner) {
    for (int depth = 0; owner && depth < 8; ++depth) {
        if (auto* found = dynamic_cast<const T*>(owner)) return const_cast<T*>(found);
        const auto* named = dynamic_cast<const TVELNamedObject*>(owner);
        owner = named ? named->Owner : nullptr;
    }
    return nullptr;
}

} // namespace

// ---- TVELPackageDataType -----------------------------------------------------------------------

const TSLDatatypes* TVELPackageDataType::TypeList() const {
    const TVELPackages* packages = OwnerOfType<TVELPackages>(Owner);
    return packages ? packages->PackageDataTypes() : TVELDataType::TypeList();
}

// ---- TVELPackageItem ---------------------------------------------------------------------------

TVELPackageItem::TVELPackageItem(TVELPersistent* owner)
    : TVELDatabaseObject(owner), DataType(std::make_unique<TVELPackageDataType>(this)) {
    ObjectType = otAttribute;
}

TVELPackageItem::~TVELPackageItem() = default;

TVELPackages* TVELPackageItem::Collection() const {
    return OwnerOfType<TVELPackages>(Owner);
}

std::string TVELPackageItem::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "DataType")) return DataType->DataType;
    if (SameText(key, "NotNull")) return NotNull ? "Yes" : "No";
    if (SameText(key, "CheckConstraint")) return CheckConstraint;
    if (SameText(key, "DefaultValue")) return DefaultValue;
    if (IsDataTypeKey(key)) return DataType->GetPropertyValue(key);
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELPackageItem::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "DataType"))
        DataType->DataType = std::string(value);
    else if (SameText(key, "NotNull"))
        NotNull = SameText(value, "Yes") || value == "1";
    else if (SameText(key, "CheckConstraint"))
        CheckConstraint = std::string(value);
    else if (SameText(key, "DefaultValue"))
        DefaultValue = std::string(value);
    else if (IsDataTypeKey(key))
        DataType->SetPropertyValue(key, value);
    else
        return TVELDatabaseObject::SetPropertyValue(key, value);
    DoChanged();
}

bool TVELPackageItem::ValidatePropertyValue(std::string_view key, std::string_view value,
                                            const TVELMessageCallback& callback) {
    if (!SameText(key, "ObjectName")) return TVELDatabaseObject::ValidatePropertyValue(key, value, callback);
    const TVELDatabaseSettings* s = Collection() ? Collection()->PackageDatabaseSettings() : nullptr;
    return ValidateName(value, "Item name", false, false, callback, s ? s->MaxColumnNameLength : -1,
                        dynamic_cast<const TVELNamedObjectsList*>(ContainingList()));
}

void TVELPackageItem::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    const auto* s = dynamic_cast<const TVELPackageItem*>(&source);
    if (!s || s == this) return;
    DataType->Assign(*s->DataType);
    NotNull = s->NotNull;
    CheckConstraint = s->CheckConstraint;
    DefaultValue = s->DefaultValue;
}

std::string TVELPackageItem::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    r += WrapSection(TVELDataType::Element, DataType->SaveToMarkup());
    AppendElement(r, "NOTNULL", BoolStr(NotNull));
    AppendElement(r, "CHECKCON", CheckConstraint);
    AppendElement(r, "DEFVAL", DefaultValue);
    AppendElement(r, "DESC", Comment);
    return r;
}

bool TVELPackageItem::LoadFromMarkup(std::string_view text) {
    std::vector<std::string> nested;
    const std::string own = RemoveFirstElements(text, {TVELDataType::Element}, &nested);
    if (!TVELDatabaseObject::LoadFromMarkup(own)) return false;
    const bool ok = DataType->LoadFromMarkup(nested[0]);
    NotNull = ReadElement("NOTNULL", own, "0") == "1";
    CheckConstraint = ReadElementText("CHECKCON", own);
    DefaultValue = ReadElementText("DEFVAL", own, "-1");
    if (Comment.empty()) Comment = ReadElementText("DESC", own);
    return ok;
}

// ---- TVELPackage -------------------------------------------------------------------------------

TVELPackage::TVELPackage(TVELPersistent* owner) : TVELDatabaseObject(owner) {
    Items.Owner = this;
}

TVELPackages* TVELPackage::Collection() const {
    return OwnerOfType<TVELPackages>(Owner);
}

bool TVELPackage::LoadFromFile(const std::string& fileName) {
    const std::string text = ReadWholeFile(fileName);
    const TVELPackages* packages = Collection();
    if (ReadElementText("DBID", text) != (packages ? packages->DBID : std::string())) return false;
    SetName(fs::path(fileName).stem().string());
    FileName = fileName;
    Comment = ReadElementText("DESCR", text);
    ToDo = ReadElementText("TODO", text);
    Items.ClearAndFree();
    const std::string items = ReadElement("PACKAGEITEMS", text);
    size_t pos = 0;
    for (;;) {
        const size_t before = pos;
        const std::string markup = ReadElement("PACKAGEITEM", pos, items);
        if (pos == before) break;
        auto item = std::make_unique<TVELPackageItem>(this);
        item->LoadFromMarkup(markup);
        Items.Add(std::move(item));
    }
    Items.CheckLastID();
    return true;
}

std::string TVELPackage::FileText() const {
    const TVELPackages* packages = Collection();
    std::string r = WriteElement("DBID", packages ? packages->DBID : std::string());
    AppendElement(r, "DESCR", Comment);
    AppendElement(r, "TODO", ToDo);
    std::string items;
    for (int i = 0; i < Items.Count(); ++i)
        items += WrapSection("PACKAGEITEM", ItemAt(i)->SaveToMarkup());
    return r + WrapSection("PACKAGEITEMS", items);
}

std::string TVELPackage::SaveToMarkup() const {
    return WrapSection("PACKAGE", WriteElement("NAME", GetName()) + FileText());
}

void TVELPackage::SaveToFile() {
    TVELPackages* packages = Collection();
    if (!packages || packages->Folder().empty()) throw EVELError("No folder for attribute packages.");
    const std::string target = packages->Folder() + GetName() + ".apk";
    std::error_code ec;
    if (!FileName.empty() && FileName != target && fs::exists(FileName, ec)) fs::remove(FileName, ec);
    packages->EnsureFolder();
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    const std::string text = FileText();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw EVELError("Unable to write file \"" + target + "\".");
    FileName = target;
}

TVELPackageItem* TVELPackage::NewItem() {
    auto item = std::make_unique<TVELPackageItem>(this);
    item->SetID(Items.NewID());
    item->SetName(Items.MakeUniqueName("Attribute_", true, nullptr));
    return static_cast<TVELPackageItem*>(Items.Add(std::move(item)));
}

TVELAttribute* TVELPackage::CreateAttribute(TVELEntity& entity, int index) const {
    const TVELPackageItem* item = ItemAt(index);
    TVELAttribute* a = entity.AddAttribute(true);
    a->SetName(item->GetName());
    a->DataType->Assign(*item->DataType);
    a->SetNotNull(item->NotNull);
    a->SetCheckValue(item->CheckConstraint);
    a->SetDefaultValue(item->DefaultValue);
    a->Comment = item->Comment;
    a->PackageName = GetName();
    a->PackageItem = index;
    return a;
}

void TVELPackage::CreateAttributes(TVELEntity& entity, std::vector<TVELAttribute*>& out) const {
    for (int i = 0; i < Items.Count(); ++i)
        out.push_back(CreateAttribute(entity, i));
}

bool TVELPackage::UsedBy(const TVELEntity& entity) const {
    for (int i = 0; i < entity.Attributes.Count(); ++i)
        if (entity.AttributeAt(i)->PackageName == GetName()) return true;
    return false;
}

// ---- TVELPackages ------------------------------------------------------------------------------

TVELPackages::TVELPackages(TVELPersistent* owner)
    : TVELDatabaseObject(owner), settings_(std::make_unique<TVELDatabaseSettings>()),
      dataTypes_(std::make_unique<TSLDatatypes>()) {
    Packages.Owner = this;
}

TVELPackages::~TVELPackages() = default;

TVELPackage* TVELPackages::FindPackage(std::string_view name) const {
    return static_cast<TVELPackage*>(Packages.FindByName(name));
}

std::string TVELPackages::Folder() const {
    if (RootFolder.empty() || DBID.empty()) return {};
    std::string r = RootFolder;
    if (r.back() != '/' && r.back() != '\\') r += '/';
    return r + DBID + "/";
}

bool TVELPackages::FolderExists() const {
    std::error_code ec;
    return !Folder().empty() && fs::is_directory(Folder(), ec);
}

void TVELPackages::EnsureFolder() const {
    if (Folder().empty()) return;
    std::error_code ec;
    fs::create_directories(Folder(), ec);
    if (ec) throw EVELError("Unable to create folder \"" + Folder() + "\".");
}

void TVELPackages::Load(std::string_view dbid) {
    DBID = std::string(dbid);
    Packages.ClearAndFree();
    settings_ = std::make_unique<TVELDatabaseSettings>();
    dataTypes_->Clear();
    if (DBID.empty()) return;
    try {
        auto settings = std::make_unique<TVELDatabaseSettings>();
        settings->DBID = DBID;
        settings->Load();
        settings_ = std::move(settings);
    } catch (const EVELError&) {
        // Without its definition the target still has its packages; names are then unchecked.
    }
    std::error_code ec;
    const std::string typ = TargetDatabases().DefinitionsFolder + "/" + DBID + ".typ";
    if (fs::exists(typ, ec)) dataTypes_->LoadFromFile(typ);
    if (!FolderExists()) return;
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(Folder(), ec))
        if (entry.is_regular_file(ec) && SameText(entry.path().extension().string(), ".apk"))
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        auto package = std::make_unique<TVELPackage>(this);
        package->OnMessage = OnMessage;
        try {
            if (!package->LoadFromFile(file)) continue; // another target's package
        } catch (const EVELError&) {
            continue; // unreadable files are skipped
        }
        package->SetID(Packages.NewID());
        Packages.Add(std::move(package));
    }
}

TVELPackage* TVELPackages::NewPackage(std::string_view name) {
    auto package = std::make_unique<TVELPackage>(this);
    package->OnMessage = OnMessage;
    package->SetID(Packages.NewID());
    package->SetName(Packages.MakeUniqueName(name, false, nullptr));
    return static_cast<TVELPackage*>(Packages.Add(std::move(package)));
}

void TVELPackages::DeletePackage(TVELPackage* package) {
    if (!package || Packages.IndexOf(package) < 0) return;
    if (!Folder().empty()) {
        std::error_code ec;
        fs::remove(Folder() + package->GetName() + ".apk", ec);
    }
    Packages.DeleteObject(package);
}

} // namespace ardvin
