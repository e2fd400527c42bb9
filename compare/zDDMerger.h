// Updating a model from the selected differences of a comparison with another model (a
// reverse-engineered database, a script or another project).
#pragma once

#include "zDDComparer.h"

namespace ardvin {

class TVELDataDictionary;

class TVELDDMerger {
public:
    TVELDDMerger(TVELDataDictionary& model, const TVELDataDictionary& other, const TVELDifferences& differences)
        : Model(&model), Other(&other), Differences(&differences) {}

    TVELDataDictionary* Model;         // the dictionary updated
    const TVELDataDictionary* Other;   // the compared dictionary (identifiers matched to Model)
    const TVELDifferences* Differences;
    // The name pairs of the comparison (model name = other name): a changed object whose two
    // names form such a pair keeps its model name.
    const TVELStringMappingList* Mappings = nullptr;
    // A changed entity keeps its abbreviation, table scripts, to-do text, note and extra
    // properties.
    bool KeepExtendedProperties = true;
    // A changed entity's attribute keeps its domain when the new definition names none and
    // has the domain's data type.
    bool KeepDomains = true;
    // A changed object keeps its comment (and a changed entity its attributes' comments) when
    // the other has none.
    bool KeepComments = false;
    // A changed entity keeps the attributes that exist only in the model.
    bool KeepMissingAttributes = false;
    // Receives the objects that could not be deleted (level 3).
    TVELMessageCallback OnMessage;

    // Applies every selected difference of an object kind that has an apply step.
    void Apply();

private:
    void AddObject(const TVELDatabaseObject& other);
    void ChangeObject(TVELDatabaseObject& model, const TVELDatabaseObject& other);
    void DeleteObject(TVELDatabaseObject& model);
    void ConnectEntities();

    std::vector<int32_t> entities_;  // entities added or changed: their relationships follow
};

}  // namespace ardvin
