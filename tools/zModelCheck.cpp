#include "zModelCheck.h"

#include <algorithm>
#include <utility>

#include "zAttribute.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"

namespace ardvin {

// ---- the messages list -----------------------------------------------------------------------

std::string ObjectDescription(const TVELNamedObject& object) {
    std::string caption;
    if (const auto* o = dynamic_cast<const TVELDatabaseObject*>(&object)) caption = ObjectTypeInfo(o->ObjectType).PhysicalCaption;
    const auto* attribute = dynamic_cast<const TVELAttribute*>(&object);
    const std::string name = attribute ? attribute->GetQualifiedDisplayName() : object.GetDisplayName();
    return caption.empty() ? name : caption + " " + name;
}

std::string MessageLine(const TVELMessageEntry& entry) {
    std::string line = "[" + MessageLevelName(entry.Level) + "]   ";
    if (!entry.ObjectDescription.empty()) line += "   " + entry.ObjectDescription + "   ";
    return line + "  : " + entry.Text;
}

void TVELMessagesList::Add(int level, TVELNamedObject* object, std::string text) {
    entries_.push_back({level, object, object ? ObjectDescription(*object) : std::string(), std::move(text)});
}

void TVELMessagesList::Add(TVELMessageEntry entry) { entries_.push_back(std::move(entry)); }

std::vector<std::string> TVELMessagesList::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(entries_.size());
    for (const TVELMessageEntry& entry : entries_) lines.push_back(MessageLine(entry));
    return lines;
}

void TVELMessagesList::ObjectDeleted(const TVELNamedObject* object) {
    for (TVELMessageEntry& entry : entries_)
        if (entry.Object == object) entry.Object = nullptr;
}

// ---- one run ---------------------------------------------------------------------------------

namespace {

// The handlers of a run, attached to the dictionary for as long as the object lives; the ones
// they replace come back afterwards, also when the check fails.
class THandlers {
public:
    explicit THandlers(TVELDataDictionary& dictionary)
        : dictionary_(dictionary), message_(std::move(dictionary.OnMessage)),
          progress_(std::move(dictionary.OnCheckProgress)), deleted_(std::move(dictionary.OnObjectDeleted)) {}
    ~THandlers() {
        dictionary_.OnMessage = std::move(message_);
        dictionary_.OnCheckProgress = std::move(progress_);
        dictionary_.OnObjectDeleted = std::move(deleted_);
    }
    THandlers(const THandlers&) = delete;
    THandlers& operator=(const THandlers&) = delete;

    // The deletion handler the run replaced, to be told as well.
    void Deleted(TVELNamedObject* object) const {
        if (deleted_) deleted_(object);
    }

private:
    TVELDataDictionary& dictionary_;
    decltype(TVELDataDictionary::OnMessage) message_;
    decltype(TVELDataDictionary::OnCheckProgress) progress_;
    decltype(TVELDataDictionary::OnObjectDeleted) deleted_;
};

std::string TargetName(const TVELDataDictionary& dictionary) { return dictionary.GetDatabaseSettings()->DBMSName; }

// The message handler of a run and of the switch of a copy: when the dictionary is a copy of
// the project's, the object named is its counterpart in the project (a copy's object without
// one is named by its description only, the copy being freed afterwards); with prefixWithTarget
// the text carries the name of the dictionary's target at the time of the message.
TVELMessageCallback Forwarder(TVELMessagesList& messages, const TVELDataDictionary& dictionary,
                              const TVELDataDictionary* project, bool prefixWithTarget,
                              std::function<void(int level)> count) {
    return [&messages, &dictionary, project, prefixWithTarget, count = std::move(count)](
               TVELNamedObject* object, int level, const std::string& text) {
        if (count) count(level);
        TVELMessageEntry entry;
        entry.Level = level;
        entry.Object = project && object ? project->FindSameObject(object) : object;
        if (object) entry.ObjectDescription = ObjectDescription(entry.Object ? *entry.Object : *object);
        entry.Text = prefixWithTarget ? "* " + TargetName(dictionary) + " * " + text : text;
        messages.Add(std::move(entry));
    };
}

}  // namespace

bool TVELModelCheck::RunModelCheck(TVELDataDictionary& dictionary, bool keepOpen, bool clearMessages,
                                   bool prefixWithTarget) {
    if (clearMessages) messages_.Clear();
    progress_ = TModelCheckProgress();
    progress_.ProjectLine = "Project: " + ProjectFileName;
    Notify();
    int untilShown = 10;  // the first object is shown, then every tenth
    {
        THandlers handlers(dictionary);
        const TVELDataDictionary* project = ProjectDictionary == &dictionary ? nullptr : ProjectDictionary;
        dictionary.OnMessage = Forwarder(messages_, dictionary, project, prefixWithTarget, [this](int level) {
            if (level == mlError) ++progress_.Errors;
            if (level == mlWarning) ++progress_.Warnings;
            if (level == mlHint) ++progress_.Hints;
        });
        dictionary.OnCheckProgress = [this, &untilShown](TVELDatabaseObject* object) {
            if (!object) return;
            const TModelCheckProgress before = progress_;
            if (untilShown >= 10) {
                untilShown = 0;
                progress_.CurrentObject = object->GetName();
            }
            ++untilShown;
            if (progress_.CurrentObject != before.CurrentObject || progress_.Errors != before.Errors ||
                progress_.Warnings != before.Warnings || progress_.Hints != before.Hints)
                Notify();
        };
        dictionary.OnObjectDeleted = [this, &handlers](TVELNamedObject* object) {
            messages_.ObjectDeleted(object);
            handlers.Deleted(object);
        };
        dictionary.CheckModel();
    }
    progress_.CurrentObject = "Model checked";
    Notify();
    const bool ok = progress_.Errors == 0;
    if (keepOpen && OnKeepOpen) OnKeepOpen(progress_);
    if (!ok) {
        if (OnShowMessages) OnShowMessages();
        throw EVELError(ModelContainsErrorsText);
    }
    return true;
}

// ---- the commands ----------------------------------------------------------------------------

std::string ValidateForTargetQuestion(std::string_view targetName) {
    return "Your database-independent data model will now be validated for target DBMS \"" + std::string(targetName) +
           "\". Continue?";
}

namespace {

bool RunSwallowingError(TVELModelCheck& check, TVELDataDictionary& dictionary, bool keepOpen, bool clearMessages,
                        bool prefixWithTarget) {
    try {
        return check.RunModelCheck(dictionary, keepOpen, clearMessages, prefixWithTarget);
    } catch (const EVELError&) {
        return false;
    }
}

bool IsIndependent(const TVELDataDictionary& dictionary) {
    return dictionary.GetDatabaseSettings()->GetTargetType() == TTargetType::DatabaseIndependent;
}

}  // namespace

bool CheckForTarget(TVELModelCheck& check, const TVELDataDictionary& project, std::string_view targetID,
                    bool keepOpen) {
    TVELDataDictionary copy;
    copy.AssignDictionary(project);
    {
        THandlers handlers(copy);
        copy.OnMessage = Forwarder(check.Messages(), copy, &project, true, nullptr);
        copy.ChangeTarget(targetID);
    }
    const TVELDataDictionary* previous = check.ProjectDictionary;
    check.ProjectDictionary = &project;
    const bool ok = RunSwallowingError(check, copy, keepOpen, false, true);
    check.ProjectDictionary = previous;
    return ok;
}

void CheckModelCommand(TVELModelCheck& check, TVELDataDictionary& project, const TModelCheckPrompts& prompts) {
    if (!IsIndependent(project)) {
        RunSwallowingError(check, project, true, true, false);
        return;
    }
    if (!prompts.Confirm || !prompts.Confirm(IndependentModelQuestion)) {
        check.RunModelCheck(project, true, true, false);
        return;
    }
    const std::vector<std::string> names = TargetDatabases().AllNamesButIndependent();
    std::vector<std::string> chosen =
        prompts.SelectTargets ? prompts.SelectTargets(SelectTargetsTitle, SelectTargetsText, names)
                              : std::vector<std::string>();
    // Ticked targets are checked in list order.
    std::stable_sort(chosen.begin(), chosen.end(), [&names](const std::string& a, const std::string& b) {
        return std::find(names.begin(), names.end(), a) < std::find(names.begin(), names.end(), b);
    });
    for (const std::string& name : chosen) {
        if (!prompts.Confirm(ValidateForTargetQuestion(name))) return;
        CheckForTarget(check, project, TargetDatabases().IdOfName(name), true);
    }
}

std::string SwitchTargetCommand(TVELModelCheck& check, TVELDataDictionary& project, std::string_view targetID) {
    if (SameText(project.GetTarget(), targetID)) throw EVELError("Selected target DBMS is already the current target DBMS.");
    const std::string oldName = TargetName(project);
    {
        THandlers handlers(project);
        project.OnMessage = Forwarder(check.Messages(), project, nullptr, false, nullptr);
        project.ChangeTarget(targetID);
    }
    RunSwallowingError(check, project, false, false, false);
    return "Project converted from target DBMS \"" + oldName + "\" to target DBMS \"" + TargetName(project) + "\".";
}

}  // namespace ardvin
