// The diagrams of a project: the ordered list of diagrams, the current and the main diagram,
// diagram identifiers and names, the diagram folders, the display preferences shared by all
// diagrams, and the stored form of all of it with the controls of every diagram.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dgcontrols.h"
#include "zDiagram.h"

namespace ardvin {

class TVELDataDictionary;

class TVELDiagrams {
public:
    explicit TVELDiagrams(TVELDataDictionary* dictionary = nullptr);
    ~TVELDiagrams();
    TVELDiagrams(const TVELDiagrams&) = delete;
    TVELDiagrams& operator=(const TVELDiagrams&) = delete;

    int32_t LastID = 0;
    TVELPersistent* Project = nullptr; // the owning project, not owned
    // The model whose objects the controls show; it must outlive the diagrams' controls.
    TVELDataDictionary* DataDictionary;
    TVELSettingsList DisplayPreferences;
    // Folder name -> comma-separated diagram identifiers, in display order.
    TVELSettingsList Folders;

    std::function<void(TVELDiagram* diagram)> OnCurrentDiagramChanged;
    std::function<void(TVELDiagram* diagram)> OnDiagramAdded;
    // While reading: the length of each control's markup before it is read.
    std::function<void(size_t markupLength)> OnReadProgress;
    // The project's rules for entity boxes: whether an attribute is hidden, and its text.
    std::function<bool(const TDGEntityControl& box, int32_t attributeID)> OnHideAttribute;
    std::function<void(const TDGEntityControl& box, int32_t attributeID, std::string& text)>
        OnAttributeDisplayText;

    // ---- the list ----
    int Count() const { return static_cast<int>(diagrams_.size()); }
    TVELDiagram* Items(int index) const { return diagrams_.at(index).get(); }
    int IndexOf(const TVELDiagram* diagram) const;
    TVELDiagram* FindByID(int32_t id) const;
    TVELDiagram* FindByName(std::string_view name) const; // case-insensitive
    TVELDiagram* CurrentDiagram() const { return current_; }
    TVELDiagram* PreviousDiagram() const { return previous_; }

    // "Diagram_" + n for the first n from 1 that no diagram is named (case-insensitive).
    std::string NewDiagramName() const;
    // A new diagram with the next identifier and the first free name, appended; raises
    // diagram added and becomes the current diagram.
    TVELDiagram* NewDiagram();
    // The first diagram of a new project: "Main Diagram", flagged as the main diagram.
    TVELDiagram* NewMainDiagram();
    // The first diagram flagged as main diagram, or nullptr.
    TVELDiagram* MainDiagram() const;
    // The diagram "tmpdiagram" with identifier -1 for work that must not touch the user's
    // diagrams; it is never stored.
    TVELDiagram* AddTemporaryDiagram();
    void SetCurrentDiagram(TVELDiagram* diagram);
    void RenameDiagram(TVELDiagram* diagram, std::string_view name);
    // Removes a diagram with its controls and takes it out of every folder. Identifiers are
    // never given out again.
    void DeleteDiagram(TVELDiagram* diagram);
    // Removes every diagram and folder.
    void Clear();

    // ---- controls ----
    // Creates the control of a model object on a diagram unless the diagram shows it already
    // (or, for a line, one of its ends is missing there). A box is placed at left, top when
    // they are not negative. Returns the new control or nullptr.
    TDGObject* AddObjectToDiagram(TVELNamedObject* object, TVELDiagram* diagram, int left = -1, int top = -1);
    // Removes the controls of a model object from every diagram, last first.
    void RemoveControlsOf(TVELNamedObject* object);
    // A model object changed: its controls rebuild and repaint, boxes recompute their size;
    // for a connection the boxes at both ends repaint too.
    void ObjectChanged(TVELNamedObject* object);
    // Stores the project header in every stamp and repaints it.
    void PushProjectHeader(const TDGProjectHeader& header);
    // Real font metrics for every diagram; nullptr returns to the built-in measure.
    void SetTextMeasure(const TTextMeasure* measure);

    // ---- folders ----
    // "New folder " + n for the first n from 0 that is no folder yet.
    std::string NewFolderName() const;
    void AddFolder(std::string_view name);
    void DeleteFolder(std::string_view name);
    // Renames a folder in place. Raises EVELError "Name may not be empty." for an empty new
    // name and "Name must be unique." when another folder has it.
    void RenameFolder(std::string_view oldName, std::string_view newName);
    std::vector<int32_t> FolderDiagrams(std::string_view folder) const;
    // Puts a diagram into a folder at a position (at the end when negative), taking it out of
    // every folder first. The folder is created when missing.
    void PutDiagramInFolder(std::string_view folder, int32_t diagramID, int position = -1);
    int DiagramPositionInFolder(std::string_view folder, int32_t diagramID) const;
    void RemoveDiagramFromFolder(std::string_view folder, int32_t diagramID);
    // The folder that holds a diagram, empty when none.
    std::string FolderOfDiagram(int32_t diagramID) const;
    // The stored text: name "=" identifiers ";" for every folder.
    std::string FoldersText() const;
    void SetFoldersText(std::string_view text);

    // ---- display preferences ----
    static TVELSettingsList DefaultDisplayPreferences();
    // Paper width and height in millimetres for the custom paper size.
    int CustomPaperWidth() const { return StrToIntDef(DisplayPreferences.GetValue("CUSTOMPAPERWIDTH"), 212); }
    int CustomPaperHeight() const {
        return StrToIntDef(DisplayPreferences.GetValue("CUSTOMPAPERHEIGHT"), 279);
    }
    // Pushes paper settings, fonts, indicator texts and options to every diagram and control;
    // the controls rebuild only after all values are set. The default colours apply to
    // controls created afterwards.
    void ApplyDisplayPreferences();
    // Gives a diagram the paper settings of the preferences.
    void ApplyPaperSettings(TVELDiagram& diagram) const;

    // ---- stored form ----
    // The DIAGRAMS element.
    std::string SaveToMarkup() const;
    // Reads a text holding the DIAGRAMS element (or its content). Controls whose model object
    // or diagram is missing are dropped; damaged parts are skipped.
    void LoadFromMarkup(std::string_view text);

private:
    TVELDiagram* AppendDiagram(int32_t id, std::string name);
    void SetFolderList(std::string_view folder, const std::vector<int32_t>& ids);
    void ReadControls(std::string_view controls);

    std::vector<std::unique_ptr<TVELDiagram>> diagrams_;
    TVELDiagram* current_ = nullptr;
    TVELDiagram* previous_ = nullptr;
    const TTextMeasure* measure_ = nullptr;
};

} // namespace ardvin
