#include "zDiagrams.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "dgConnectors.h"
#include "zDataDictionary.h"

namespace ardvin {

namespace {

// The control groups of the stored form, in file order, with their element and object type.
struct ControlGroup {
    const char* Section;
    const char* Element;
    int Type;
    bool Line;
};
constexpr ControlGroup ControlGroups[] = {
    {"ENTITYCONTROLS", "ENTC", otEntity, false},
    {"SUBCATEGORYCONTROLS", "SUBCATC", otSubCategory, false},
    {"TEXTAREACONTROLS", "TEXTC", otTextArea, false},
    {"STAMPCONTROLS", "STAMPC", otStamp, false},
    {"GROUPBOXESCONTROLS", "GROUPBOXC", otGroupbox, false},
    {"RELATIONSHIPCONNECTORS", "RELC", otRelationship, true},
    {"SUBCATEGORYCONNECTORS", "SUBCATEGORYCONNECTOR", otSubCategoryConnection, true},
};

constexpr int32_t TemporaryDiagramID = -1;

std::vector<int32_t> ParseIDs(std::string_view text) {
    std::vector<int32_t> ids;
    for (const std::string& item : SplitString(text, ',')) {
        int32_t id = 0;
        if (TryStrToInt(item, id)) ids.push_back(id);
    }
    return ids;
}

std::string JoinIDs(const std::vector<int32_t>& ids) {
    std::string r;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i) r += ',';
        r += IntToStr(ids[i]);
    }
    return r;
}

// The text from an open tag to its close tag, or to the end of the text when the close tag is
// missing (a truncated text still gives what it holds); empty without the open tag.
std::string_view SectionContent(std::string_view text, std::string_view upperTag) {
    const size_t open = FindTag(text, upperTag, false, 0);
    if (open == std::string_view::npos) return {};
    const size_t start = open + upperTag.size() + 2;
    const size_t close = FindTag(text, upperTag, true, start);
    return text.substr(start, close == std::string_view::npos ? std::string_view::npos : close - start);
}

// The box that stands for a connection end on a diagram: the end object's own box, else the
// box of the entity it stands for.
TDGControl* EndControl(const TVELDiagram& diagram, const TVELNamedObjectsList* model, int32_t id) {
    if (TDGControl* box = diagram.FindControl(id)) return box;
    const TVELNamedObject* end = model ? model->FindByID(id) : nullptr;
    return end && end->AOID != -1 ? diagram.FindControl(end->AOID) : nullptr;
}

} // namespace

TVELDiagrams::TVELDiagrams(TVELDataDictionary* dictionary)
    : DataDictionary(dictionary), DisplayPreferences(DefaultDisplayPreferences()) {}

TVELDiagrams::~TVELDiagrams() {
    OnCurrentDiagramChanged = nullptr;
    Clear();
}

// ---- the list ------------------------------------------------------------------------------------

int TVELDiagrams::IndexOf(const TVELDiagram* diagram) const {
    for (size_t i = 0; i < diagrams_.size(); ++i)
        if (diagrams_[i].get() == diagram) return static_cast<int>(i);
    return -1;
}

TVELDiagram* TVELDiagrams::FindByID(int32_t id) const {
    for (const auto& d : diagrams_)
        if (d->DiagramID == id) return d.get();
    return nullptr;
}

TVELDiagram* TVELDiagrams::FindByName(std::string_view name) const {
    for (const auto& d : diagrams_)
        if (SameText(d->Name, name)) return d.get();
    return nullptr;
}

std::string TVELDiagrams::NewDiagramName() const {
    for (int n = 1;; ++n) {
        std::string name = "Diagram_" + IntToStr(n);
        if (!FindByName(name)) return name;
    }
}

TVELDiagram* TVELDiagrams::AppendDiagram(int32_t id, std::string name) {
    auto diagram = std::make_unique<TVELDiagram>(this);
    diagram->DiagramID = id;
    diagram->Name = std::move(name);
    diagram->SetTextMeasure(measure_);
    ApplyPaperSettings(*diagram);
    diagrams_.push_back(std::move(diagram));
    return diagrams_.back().get();
}

TVELDiagram* TVELDiagrams::NewDiagram() {
    TVELDiagram* diagram = AppendDiagram(LastID + 1, NewDiagramName());
    LastID = diagram->DiagramID;
    if (OnDiagramAdded) OnDiagramAdded(diagram);
    SetCurrentDiagram(diagram);
    return diagram;
}

TVELDiagram* TVELDiagrams::NewMainDiagram() {
    TVELDiagram* diagram = NewDiagram();
    RenameDiagram(diagram, "Main Diagram");
    diagram->IsMainDiagram = true;
    return diagram;
}

TVELDiagram* TVELDiagrams::MainDiagram() const {
    for (const auto& d : diagrams_)
        if (d->IsMainDiagram) return d.get();
    return nullptr;
}

TVELDiagram* TVELDiagrams::AddTemporaryDiagram() {
    return AppendDiagram(TemporaryDiagramID, "tmpdiagram");
}

void TVELDiagrams::SetCurrentDiagram(TVELDiagram* diagram) {
    if (diagram == current_) return;
    if (current_) current_->ResetTool();
    previous_ = current_;
    current_ = diagram;
    if (OnCurrentDiagramChanged) OnCurrentDiagramChanged(diagram);
}

void TVELDiagrams::RenameDiagram(TVELDiagram* diagram, std::string_view name) {
    if (!diagram) return;
    const std::string old = diagram->Name;
    diagram->Name = std::string(name);
    if (old != diagram->Name && diagram->OnNameChanged) diagram->OnNameChanged(diagram, old);
}

void TVELDiagrams::DeleteDiagram(TVELDiagram* diagram) {
    const int index = IndexOf(diagram);
    if (index < 0) return;
    for (int i = 0; i < Folders.Count(); ++i)
        RemoveDiagramFromFolder(Folders.NameAt(i), diagram->DiagramID);
    if (previous_ == diagram) previous_ = nullptr;
    if (current_ == diagram) {
        TVELDiagram* next = previous_;
        if (!next)
            for (const auto& d : diagrams_)
                if (d.get() != diagram && d->DiagramID != TemporaryDiagramID) {
                    next = d.get();
                    break;
                }
        current_ = next;
        previous_ = nullptr;
        if (OnCurrentDiagramChanged) OnCurrentDiagramChanged(next);
    }
    diagrams_.erase(diagrams_.begin() + index);
}

void TVELDiagrams::Clear() {
    current_ = previous_ = nullptr;
    diagrams_.clear();
    Folders.Clear();
}

// ---- controls ------------------------------------------------------------------------------------

TDGObject* TVELDiagrams::AddObjectToDiagram(TVELNamedObject* object, TVELDiagram* diagram, int left,
                                            int top) {
    auto* model = dynamic_cast<TVELDatabaseObject*>(object);
    if (!model || !diagram || diagram->FindObjectOf(model)) return nullptr;
    const std::string tag = ObjectTypeInfo(model->ObjectType).ControlElement;
    if (std::unique_ptr<TDGControl> box = NewBoxForTag(tag, diagram)) {
        ApplyNewObjectDefaults(*box, DisplayPreferences);
        if (left >= 0) box->Left = left;
        if (top >= 0) box->Top = top;
        diagram->ClampToBounds(*box);
        diagram->ApplySettingsTo(*box);
        TDGControl* added = diagram->AddControl(std::move(box), model);
        added->Rebuild();
        added->RecomputeSize();
        added->Refresh();
        return added;
    }
    std::unique_ptr<TDGConnector> line = NewConnectorForTag(tag, diagram);
    int32_t parent = 0, child = 0;
    if (!line || !model->GetConnectionEnds(parent, child)) return nullptr;
    TDGControl* from = EndControl(*diagram, DataDictionary, parent);
    TDGControl* to = EndControl(*diagram, DataDictionary, child);
    if (!from || !to) return nullptr;
    ApplyNewObjectDefaults(*line, DisplayPreferences);
    diagram->ApplySettingsTo(*line);
    TDGConnector* added = diagram->AddConnector(std::move(line), model, from, to);
    RouteConnector(*added);
    added->Rebuild();
    added->Refresh();
    return added;
}

void TVELDiagrams::RemoveControlsOf(TVELNamedObject* object) {
    if (!object) return;
    while (!object->Links.empty()) {
        TDGObject* control = object->Links.back();
        if (control->Diagram)
            control->Diagram->RemoveObject(control);
        else
            object->Links.pop_back();
    }
}

void TVELDiagrams::ObjectChanged(TVELNamedObject* object) {
    if (!object) return;
    for (TDGObject* control : object->Links) {
        control->Refresh();
        control->Rebuild();
        if (auto* box = dynamic_cast<TDGControl*>(control)) {
            const TDGRect before = box->BoundsRect();
            box->RecomputeSize();
            if (box->BoundsRect() != before) control->Diagram->LayoutConnectorsOf(*box);
        }
        control->Refresh();
    }
    int32_t parent = 0, child = 0;
    if (DataDictionary && object->GetConnectionEnds(parent, child))
        for (const int32_t id : {parent, child})
            if (const TVELNamedObject* end = DataDictionary->FindByID(id))
                for (const TDGObject* control : end->Links)
                    control->Refresh();
}

void TVELDiagrams::PushProjectHeader(const TDGProjectHeader& header) {
    for (const auto& d : diagrams_)
        for (int i = 0; i < d->ControlCount(); ++i)
            if (auto* stamp = dynamic_cast<TDGStampControl*>(d->Controls(i))) stamp->SetProjectHeader(header);
}

void TVELDiagrams::SetTextMeasure(const TTextMeasure* measure) {
    measure_ = measure;
    for (const auto& d : diagrams_)
        d->SetTextMeasure(measure);
}

// ---- folders -------------------------------------------------------------------------------------

std::string TVELDiagrams::NewFolderName() const {
    for (int n = 0;; ++n) {
        std::string name = "New folder " + IntToStr(n);
        if (!Folders.Has(name)) return name;
    }
}

void TVELDiagrams::AddFolder(std::string_view name) {
    if (!Folders.Has(name)) Folders.SetValue(name, "");
}

void TVELDiagrams::DeleteFolder(std::string_view name) {
    Folders.Delete(name);
}

void TVELDiagrams::RenameFolder(std::string_view oldName, std::string_view newName) {
    const std::string name = Trim(newName);
    if (name.empty()) throw EVELError("Name may not be empty.");
    const int index = Folders.IndexOf(oldName);
    if (name == oldName || index < 0) return;
    const int existing = Folders.IndexOf(name);
    if (existing >= 0 && existing != index) throw EVELError("Name must be unique.");
    TVELSettingsList renamed;
    for (int i = 0; i < Folders.Count(); ++i)
        renamed.SetValue(i == index ? std::string_view(name) : std::string_view(Folders.NameAt(i)),
                         Folders.ValueAt(i));
    Folders.Assign(renamed);
}

std::vector<int32_t> TVELDiagrams::FolderDiagrams(std::string_view folder) const {
    return ParseIDs(Folders.GetValue(folder));
}

void TVELDiagrams::SetFolderList(std::string_view folder, const std::vector<int32_t>& ids) {
    Folders.SetValue(folder, JoinIDs(ids));
}

void TVELDiagrams::PutDiagramInFolder(std::string_view folder, int32_t diagramID, int position) {
    for (int i = 0; i < Folders.Count(); ++i)
        RemoveDiagramFromFolder(Folders.NameAt(i), diagramID);
    std::vector<int32_t> ids = FolderDiagrams(folder);
    if (position < 0 || position > static_cast<int>(ids.size())) position = static_cast<int>(ids.size());
    ids.insert(ids.begin() + position, diagramID);
    SetFolderList(folder, ids);
}

int TVELDiagrams::DiagramPositionInFolder(std::string_view folder, int32_t diagramID) const {
    const std::vector<int32_t> ids = FolderDiagrams(folder);
    const auto it = std::find(ids.begin(), ids.end(), diagramID);
    return it == ids.end() ? -1 : static_cast<int>(it - ids.begin());
}

void TVELDiagrams::RemoveDiagramFromFolder(std::string_view folder, int32_t diagramID) {
    std::vector<int32_t> ids = FolderDiagrams(folder);
    if (std::erase(ids, diagramID) > 0) SetFolderList(folder, ids);
}

std::string TVELDiagrams::FolderOfDiagram(int32_t diagramID) const {
    for (int i = 0; i < Folders.Count(); ++i)
        if (DiagramPositionInFolder(Folders.NameAt(i), diagramID) >= 0) return Folders.NameAt(i);
    return {};
}

std::string TVELDiagrams::FoldersText() const {
    std::string r;
    for (int i = 0; i < Folders.Count(); ++i)
        r += Folders.NameAt(i) + "=" + Folders.ValueAt(i) + ";";
    return r;
}

void TVELDiagrams::SetFoldersText(std::string_view text) {
    Folders.Clear();
    for (const std::string& item : SplitString(text, ';')) {
        if (Trim(item).empty()) continue;
        // Identifiers hold no "=", so a folder name may.
        const size_t eq = item.rfind('=');
        if (eq == std::string::npos)
            Folders.SetValue(item, "");
        else
            Folders.SetValue(std::string_view(item).substr(0, eq),
                             JoinIDs(ParseIDs(std::string_view(item).substr(eq + 1))));
    }
}

// ---- display preferences -------------------------------------------------------------------------

TVELSettingsList TVELDiagrams::DefaultDisplayPreferences() {
    static constexpr const char* Attr = "Arial,8,,0,clWindowText,0";
    const std::pair<const char*, std::string> defaults[] = {
        {"UseIndicatorLine", "0"},
        {"IndicatorBitmaps", "0"},
        {"PKIndicator", "PK"},
        {"FKIndicator", "FK"},
        {"PFIndicator", "PF"},
        {"NotNullIndicator", "*"},
        {"IndicatorPosition", "0"},
        {"UseGradient", "1"},
        {"DefTextAreaColor", "16777215"},
        {"DefEntColor", "16777215"},
        {"DefViewColor", "8377599"},
        {"DefStampColor", "16777215"},
        {"DefGroupBoxColor", IntToStr(RGBColor(128, 128, 128))},
        {"DefTextAreaLineColor", "0"},
        {"DefEntLineColor", "0"},
        {"DefViewLineColor", "0"},
        {"DefStampLineColor", "0"},
        {"DefSubCatLineColor", "0"},
        {"DefConLineColor", "0"},
        {"DefGroupBoxLineColor", "0"},
        {"DefTextAreaTransParent", "0"},
        {"DefStampTransparent", "0"},
        {"DefTextAreaLineWidth", "1"},
        {"DefStampLineWidth", "1"},
        {"DefGroupBoxLineWidth", "0"},
        {"DefTextAreaLineStyle", "0"},
        {"DefStampLineStyle", "0"},
        {"DefGroupBoxLineStyle", "0"},
        {"EntNameFont", "Arial,9,B,0,clNavy,0"},
        {"EntPKFont", "Arial,8,B,0,clWindowText,0"},
        {"EntFKFont", "Arial,8,I,0,clWindowText,0"},
        {"EntAttrFont", Attr},
        {"TextAreaFont", Attr},
        {"GroupBoxFont", Attr},
        {"CaptionFont", Attr},
        {"ViewCodeFont", Attr},
        {"ViewNameFont", "Arial,9,B,0,clRed,0"},
    };
    TVELSettingsList p;
    for (const auto& [key, value] : defaults)
        p.SetValue(key, value);
    return p;
}

void TVELDiagrams::ApplyPaperSettings(TVELDiagram& diagram) const {
    diagram.PaperOrientation = StrToIntDef(DisplayPreferences.GetValue("PAPERORIENTATION"), 0);
    diagram.PaperSize = StrToIntDef(DisplayPreferences.GetValue("PAPERSIZE"), 0);
    diagram.PaperWidth = CustomPaperWidth();
    diagram.PaperHeight = CustomPaperHeight();
}

void TVELDiagrams::ApplyDisplayPreferences() {
    for (const auto& d : diagrams_) {
        ApplyPaperSettings(*d);
        for (int i = 0; i < d->ControlCount(); ++i)
            ardvin::ApplyDisplayPreferences(*d->Controls(i), DisplayPreferences);
        for (int i = 0; i < d->ConnectorCount(); ++i)
            ardvin::ApplyDisplayPreferences(*d->Connectors(i), DisplayPreferences);
    }
    std::optional<TVELDataDictionary::TBulkScope> bulk;
    if (DataDictionary) bulk.emplace(*DataDictionary);
    for (const auto& d : diagrams_)
        d->ApplySettings();
}

// ---- stored form ---------------------------------------------------------------------------------

std::string TVELDiagrams::SaveToMarkup() const {
    // One buffer for the whole element: the controls of a large diagram are megabytes.
    size_t objects = 0;
    for (const auto& d : diagrams_)
        objects += d->ControlCount() + d->ConnectorCount();
    std::string out;
    out.reserve(4096 + objects * 512);
    out += "\r\n<DIAGRAMS>";
    AppendElement(out, "LASTID", IntToStr(LastID));
    out += DisplayPreferences.SaveToMarkup("DisplayPreferences");
    AppendElement(out, "DIAGRAMFOLDERS", FoldersText());
    for (const auto& d : diagrams_)
        if (d->DiagramID != TemporaryDiagramID) out += WrapSection("DIAGRAM", d->SaveToMarkup());
    auto open = [&out](std::string_view tag) { out.append("\r\n<").append(tag).append(">"); };
    auto close = [&out](std::string_view tag) { out.append("\r\n</").append(tag).append(">"); };
    auto append = [&](const TDGObject& object) {
        open(object.Tag);
        out += object.SaveToMarkup();
        close(object.Tag);
    };
    open("CONTROLS");
    for (const ControlGroup& group : ControlGroups) {
        open(group.Section);
        for (const auto& d : diagrams_) {
            if (d->DiagramID == TemporaryDiagramID) continue;
            if (group.Line) {
                for (int i = 0; i < d->ConnectorCount(); ++i) {
                    const TDGConnector* line = d->Connectors(i);
                    if (line->ModelObject && line->Tag == group.Element) append(*line);
                }
            } else {
                for (int i = 0; i < d->ControlCount(); ++i) {
                    const TDGControl* box = d->Controls(i);
                    if (box->ModelObject && box->Tag == group.Element) append(*box);
                }
            }
        }
        close(group.Section);
    }
    close("CONTROLS");
    close("DIAGRAMS");
    return out;
}

void TVELDiagrams::LoadFromMarkup(std::string_view text) {
    Clear();
    LastID = 0;
    std::string_view content = SectionContent(text, "DIAGRAMS");
    if (content.empty()) content = text;
    // Diagrams and their settings stand before the controls; the controls are read by their
    // own elements, whatever groups hold them.
    const size_t controlsAt = FindTag(content, "CONTROLS", false, 0);
    const std::string_view head = content.substr(0, controlsAt);
    const std::string_view controls =
        controlsAt == std::string_view::npos ? std::string_view() : content.substr(controlsAt);

    LastID = StrToIntDef(ReadElement("LASTID", head, "0"), 0);
    DisplayPreferences = DefaultDisplayPreferences();
    DisplayPreferences.LoadFromMarkup(ReadElement("DisplayPreferences", head));
    SetFoldersText(ReadElementText("DIAGRAMFOLDERS", head));
    ForEachElement("DIAGRAM", head, [this](const std::string& markup) {
        auto diagram = std::make_unique<TVELDiagram>(this);
        diagram->LoadFromMarkup(markup);
        if (FindByID(diagram->DiagramID)) return; // a second diagram with the same identifier
        diagram->SetTextMeasure(measure_);
        ApplyPaperSettings(*diagram);
        LastID = std::max(LastID, diagram->DiagramID);
        diagrams_.push_back(std::move(diagram));
    });
    ReadControls(controls);
    // Whole-model look-ups of the boxes' content are answered from caches meanwhile.
    std::optional<TVELDataDictionary::TBulkScope> bulk;
    if (DataDictionary) bulk.emplace(*DataDictionary);
    for (const auto& d : diagrams_) {
        for (int i = 0; i < d->ControlCount(); ++i)
            d->ApplySettingsTo(*d->Controls(i));
        for (int i = 0; i < d->ConnectorCount(); ++i) {
            TDGConnector* line = d->Connectors(i);
            d->ApplySettingsTo(*line);
            if (static_cast<int>(line->Points.size()) < RequiredPointCount(*line)) RouteConnector(*line);
        }
        d->RebuildAll();
    }
    TVELDiagram* main = MainDiagram();
    SetCurrentDiagram(main ? main : diagrams_.empty() ? nullptr : diagrams_.front().get());
    previous_ = nullptr;
}

void TVELDiagrams::ReadControls(std::string_view controls) {
    std::unordered_map<int32_t, TVELDiagram*> diagrams;
    for (const auto& d : diagrams_)
        diagrams.emplace(d->DiagramID, d.get());
    // Entity boxes take their fonts from the preferences, not from their elements.
    TDGEntityControl entityStyle(nullptr);
    entityStyle.ApplyPreferences(DisplayPreferences);
    for (const ControlGroup& group : ControlGroups)
        ForEachElement(group.Element, controls, [&](const std::string& markup) {
            if (OnReadProgress) OnReadProgress(markup.size());
            int32_t id = 0, diagramID = 0;
            if (!TryStrToInt(ReadElement("ID", markup), id) ||
                !TryStrToInt(ReadElement("DIAGRAMID", markup), diagramID))
                return;
            const auto found = diagrams.find(diagramID);
            if (found == diagrams.end() || !DataDictionary) return;
            TVELDiagram* diagram = found->second;
            auto* model = dynamic_cast<TVELDatabaseObject*>(DataDictionary->FindByID(id));
            if (!model || model->ObjectType != group.Type || diagram->FindObjectOf(model)) return;
            if (!group.Line) {
                std::unique_ptr<TDGControl> box = NewBoxForTag(group.Element, diagram);
                auto* entity = dynamic_cast<TDGEntityControl*>(box.get());
                if (entity) entity->Reading = true;
                box->LoadFromMarkup(markup);
                if (entity) {
                    entity->CopyStyle(entityStyle);
                    entity->Reading = false;
                }
                diagram->AddControl(std::move(box), model);
                return;
            }
            int32_t parent = 0, child = 0;
            if (!model->GetConnectionEnds(parent, child)) return;
            TDGControl* from = EndControl(*diagram, DataDictionary, parent);
            TDGControl* to = EndControl(*diagram, DataDictionary, child);
            if (!from || !to) return;
            std::unique_ptr<TDGConnector> line = NewConnectorForTag(group.Element, diagram);
            line->LoadFromMarkup(markup);
            if (dynamic_cast<TDGSubCategoryConnector*>(line.get()))
                line->Font.FromText(DisplayPreferences.GetValue("CaptionFont"));
            diagram->AddConnector(std::move(line), model, from, to);
        });
}

} // namespace ardvin
