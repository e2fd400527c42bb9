// Attribute packages: named, reusable sets of attribute definitions for one target, kept as
// ".apk" files in a folder per target beside (not inside) the project.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zDatatype.h"

namespace ardvin {

class TVELAttribute;
class TVELDatabaseSettings;
class TVELEntity;
class TVELPackage;
class TVELPackages;
class TSLDatatypes;

// The data type of a package item: it reaches its target through its package collection.
class TVELPackageDataType : public TVELDataType {
public:
    explicit TVELPackageDataType(TVELPersistent* owner) : TVELDataType(owner) {}
    VEL_DECLARE_CREATE(TVELPackageDataType)
    const TSLDatatypes* TypeList() const override;
};

class TVELPackageItem : public TVELDatabaseObject {
public:
    explicit TVELPackageItem(TVELPersistent* owner);
    ~TVELPackageItem() override;
    VEL_DECLARE_CREATE(TVELPackageItem)

    std::unique_ptr<TVELPackageDataType> DataType; // element DT
    bool NotNull = false;                          // element NOTNULL
    std::string CheckConstraint;                   // element CHECKCON
    std::string DefaultValue;                      // element DEFVAL

    TVELPackages* Collection() const;
    std::string GetPropertyValue(std::string_view key) const override;
    void SetPropertyValue(std::string_view key, std::string_view value) override;
    bool ValidatePropertyValue(std::string_view key, std::string_view value,
                               const TVELMessageCallback& callback) override;
    void Assign(const TVELNamedObject& source, bool copyLinks = false) override;
    std::string SaveToMarkup() const override;
    bool LoadFromMarkup(std::string_view text) override;
};

class TVELPackage : public TVELDatabaseObject {
public:
    explicit TVELPackage(TVELPersistent* owner);
    VEL_DECLARE_CREATE(TVELPackage)

    TVELNamedObjectsList Items; // TVELPackageItem
    // The file the package was read from or last written to.
    std::string FileName;
    TVELMessageCallback OnMessage;

    TVELPackages* Collection() const;
    TVELPackageItem* ItemAt(int index) const { return static_cast<TVELPackageItem*>(Items[index]); }
    // Reads a package file; false (and nothing read) when it belongs to another target.
    bool LoadFromFile(const std::string& fileName);
    // Writes the package to the folder of its collection under its name; a file of an earlier
    // name is deleted.
    void SaveToFile();
    // The text of the package file (without the package name).
    std::string FileText() const;
    TVELPackageItem* NewItem();
    // One new attribute of the entity per item, remembering package and item.
    void CreateAttributes(TVELEntity& entity, std::vector<TVELAttribute*>& out) const;
    // The new attribute of the entity made from the item at index.
    TVELAttribute* CreateAttribute(TVELEntity& entity, int index) const;
    bool UsedBy(const TVELEntity& entity) const;

    std::string SaveToMarkup() const override;
};

class TVELPackages : public TVELDatabaseObject {
public:
    explicit TVELPackages(TVELPersistent* owner);
    ~TVELPackages() override;
    VEL_DECLARE_CREATE(TVELPackages)

    // The folder that holds one folder of packages per target; empty: no packages.
    std::string RootFolder;
    std::string DBID;
    TVELNamedObjectsList Packages; // TVELPackage
    TVELMessageCallback OnMessage;

    TVELPackage* PackageAt(int index) const { return static_cast<TVELPackage*>(Packages[index]); }
    TVELPackage* FindPackage(std::string_view name) const;
    // Reads the packages of a target from its folder.
    void Load(std::string_view dbid);
    // RootFolder + "/" + target identifier + "/"; empty without a root folder or a target.
    std::string Folder() const;
    bool FolderExists() const;
    void EnsureFolder() const;
    // A new, empty package with a unique name (not yet written).
    TVELPackage* NewPackage(std::string_view name);
    // Deletes the package's file and the package.
    void DeletePackage(TVELPackage* package);
    const TSLDatatypes* PackageDataTypes() const { return dataTypes_.get(); }
    const TVELDatabaseSettings* PackageDatabaseSettings() const { return settings_.get(); }

private:
    std::unique_ptr<TVELDatabaseSettings> settings_;
    std::unique_ptr<TSLDatatypes> dataTypes_;
};

} // namespace ardvin
