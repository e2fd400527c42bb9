// The model check: runs the whole-model check of a data dictionary, counts its messages by level,
// passes them to the messages list and answers whether the model is free of errors. Also the
// commands built on it: the explicit check (which checks a model designed for no particular
// target against chosen targets, each on a switched copy) and the switch of a model's target.
//
// The progress window of the desktop program is a callback here; the questions of the commands
// are callbacks too, so that the same logic serves the desktop and the command line.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ardvin {

class TVELDataDictionary;
class TVELNamedObject;

// ---- the messages list -----------------------------------------------------------------------

// One message: its level, the object it is about (nullptr when none, or once the object was
// deleted), the object's description taken when the message came, and the text.
struct TVELMessageEntry {
    int Level = 0;
    TVELNamedObject* Object = nullptr;
    std::string ObjectDescription;
    std::string Text;
};

// The physical caption of the object's kind and its name ("table Orders", "column Orders.Id").
std::string ObjectDescription(const TVELNamedObject& object);
// An entry as the messages panel shows it: "[Error]   " then, with an object, "   " + its
// description + "   ", then "  : " and the text.
std::string MessageLine(const TVELMessageEntry& entry);

// The list behind the messages panel.
class TVELMessagesList {
public:
    void Clear() { entries_.clear(); }
    void Add(int level, TVELNamedObject* object, std::string text);
    void Add(TVELMessageEntry entry);
    int Count() const { return static_cast<int>(entries_.size()); }
    const TVELMessageEntry& Entry(int index) const { return entries_.at(index); }
    const std::vector<TVELMessageEntry>& Entries() const { return entries_; }
    // Every entry as MessageLine shows it.
    std::vector<std::string> Lines() const;
    // Entries about the object keep their text and lose the object.
    void ObjectDeleted(const TVELNamedObject* object);

private:
    std::vector<TVELMessageEntry> entries_;
};

// ---- one run ---------------------------------------------------------------------------------

// What the progress window shows.
struct TModelCheckProgress {
    std::string ProjectLine;    // "Project: " + the project's file name
    std::string CurrentObject;  // the first and then every tenth object checked; "Model checked" at the end
    int Errors = 0;
    int Warnings = 0;
    int Hints = 0;
};

inline constexpr const char* ModelContainsErrorsText = "Model contains error(s). Please correct the errors first.";

class TVELModelCheck {
public:
    explicit TVELModelCheck(TVELMessagesList& messages) : messages_(messages) {}

    std::string ProjectFileName;
    // The project's dictionary when the one under check is a copy of it: messages then name
    // the counterpart of their object in the project (nullptr when it has none).
    const TVELDataDictionary* ProjectDictionary = nullptr;
    // The window: called when the progress shown changes.
    std::function<void(const TModelCheckProgress& progress)> OnProgress;
    // The on-error action: make the messages panel visible.
    std::function<void()> OnShowMessages;
    // A run with keepOpen shows its final counts until the user closes it.
    std::function<void(const TModelCheckProgress& progress)> OnKeepOpen;

    // Checks the dictionary (CheckModel) with the handlers of this run attached. Errors count
    // level 3, warnings level 2, hints level 1. With prefixWithTarget every text becomes
    // "* <target name> * <text>". Returns true when no error was reported; otherwise runs the
    // on-error action and raises EVELError with ModelContainsErrorsText.
    bool RunModelCheck(TVELDataDictionary& dictionary, bool keepOpen, bool clearMessages, bool prefixWithTarget);

    const TModelCheckProgress& Progress() const { return progress_; }
    TVELMessagesList& Messages() const { return messages_; }

private:
    void Notify() const {
        if (OnProgress) OnProgress(progress_);
    }
    TVELMessagesList& messages_;
    TModelCheckProgress progress_;
};

// ---- the commands ----------------------------------------------------------------------------

inline constexpr const char* IndependentModelQuestion =
    "Your data model is a database-independent data model. Would you like to validate the data model for a "
    "specific DBMS?";
inline constexpr const char* SelectTargetsTitle = "Select target DBMS's";
inline constexpr const char* SelectTargetsText =
    "Your model is a database-independent model. You can select the target DBMS's against which you want to do "
    "the validation.";
inline constexpr const char* SelectNewTargetTitle = "Select new target DBMS";
// "Your database-independent data model will now be validated for target DBMS "<name>". Continue?"
std::string ValidateForTargetQuestion(std::string_view targetName);

// The questions of the explicit check.
struct TModelCheckPrompts {
    // A yes/no question; true for yes.
    std::function<bool(const std::string& question)> Confirm;
    // The targets ticked in a list of target names, in list order.
    std::function<std::vector<std::string>(const std::string& title, const std::string& text,
                                           const std::vector<std::string>& targetNames)>
        SelectTargets;
};

// The explicit check of the project's model. A model for a real target is checked, kept open,
// with the list cleared, and an error of the run is swallowed. A database-independent model
// is, on request, checked against each chosen target (see CheckForTarget) after a confirmation
// per target, declining one ending the command; otherwise it is checked as it is, and the error
// of the run reaches the caller.
void CheckModelCommand(TVELModelCheck& check, TVELDataDictionary& project, const TModelCheckPrompts& prompts);

// Checks a copy of the project's model switched to a target (by id): the messages of the
// switch and of the check go to the list, prefixed with the target's name, without clearing
// it; the error of the run is swallowed. Returns whether the model is free of errors there.
bool CheckForTarget(TVELModelCheck& check, const TVELDataDictionary& project, std::string_view targetID,
                    bool keepOpen);

// Switches the project's model to a target (by id) and checks it (not kept open, the list not
// cleared, no prefix; the messages of the conversion go to the list too, an error of the
// check is swallowed). Returns the text to show: "Project converted from target DBMS "<old>"
// to target DBMS "<new>"." with the display names. Raises "Selected target DBMS is already the
// current target DBMS." when the target is the current one.
std::string SwitchTargetCommand(TVELModelCheck& check, TVELDataDictionary& project, std::string_view targetID);

}  // namespace ardvin
