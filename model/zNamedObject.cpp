// Named model objects and the owning lists that number, find, order and delete them.
#include "zNamedObject.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace ardvin {

std::string MessageLevelName(int level) {
    switch (level) {
    case mlFound:
        return "Found";
    case mlHint:
        return "Hint";
    case mlWarning:
        return "Warning";
    case mlError:
        return "Error";
    case mlInfo:
        return "Info";
    default:
        return std::string();
    }
}

std::string ConvertTextFormat(std::string_view text, int mode) {
    switch (mode) {
    case 1:
        return UpperCase(text);
    case 2:
        return LowerCase(text);
    case 3: {
        std::string r = LowerCase(text);
        if (!r.empty()) r[0] = UpperChar(r[0]);
        return r;
    }
    case 4: {
        std::string r(text);
        for (size_t i = 1; i < r.size(); ++i)
            if (text[i - 1] == '_') r[i] = UpperChar(r[i]);
        return r;
    }
    default:
        return std::string(text);
    }
}

// ---- TVELNamedObject -----------------------------------------------------------------------

void TVELNamedObject::SetName(std::string_view text) {
    if (text == Name) return;
    Name = Trim(text);
    DoNameChanged();
    DoChanged();
}

std::string TVELNamedObject::GetName() const {
    return NameFromTemplate ? GetTemplateName() : Name;
}

void TVELNamedObject::SetID(int32_t id) {
    const int32_t old = ID;
    ID = id;
    if (containingList_) containingList_->IDChanged(this, old);
}

void TVELNamedObject::AddMessage(int level, const std::string& text, const TVELMessageCallback& callback) {
    if (callback)
        callback(this, level, text);
    else if (level == mlError)
        throw EVELError(text);
}

void TVELNamedObject::SetTemplate(std::string_view text) {
    std::string t = Trim(text);
    if (t == NameTemplate) return;
    NameTemplate = std::move(t);
    DoNameChanged();
    DoChanged();
}

std::string TVELNamedObject::LabelsText() const {
    return JoinStrings(Labels, ",");
}

void TVELNamedObject::SetLabelsText(std::string_view text) {
    Labels = SplitString(text, ',');
}

TVELNamedObjectsList* TVELNamedObject::OwnerList() const {
    if (auto* list = dynamic_cast<TVELNamedObjectsList*>(Owner)) return list;
    if (auto* owner = dynamic_cast<TVELNamedObject*>(Owner)) return owner->MemberListOf(this);
    return nullptr;
}

namespace {

// The name of the named object that owns an object: the owner itself, or the owner of the
// owning list.
std::string OwnerNameOf(TVELPersistent* owner) {
    if (auto* o = dynamic_cast<TVELNamedObject*>(owner)) return o->GetName();
    if (auto* l = dynamic_cast<TVELNamedObjectsList*>(owner))
        if (auto* o = dynamic_cast<TVELNamedObject*>(l->Owner)) return o->GetName();
    return std::string();
}

}  // namespace

std::string TVELNamedObject::GetPropertyValue(std::string_view key) const {
    if (StartsText("ep_", key)) return ExtraProps.GetValue(key);
    if (SameText(key, "ObjectName")) return GetName();
    if (SameText(key, "NameTemplate")) return NameTemplate;
    if (SameText(key, "PosNR")) return IntToStr(PosNR);
    if (SameText(key, "ID")) return IntToStr(ID);
    if (SameText(key, "ToDo")) return ToDo;
    if (SameText(key, "Labels")) return LabelsText();
    if (SameText(key, "Marked")) return Marked ? "Yes" : "No";
    if (SameText(key, "Selected")) return Selected ? "Yes" : "No";
    if (SameText(key, "OwnerName")) return OwnerNameOf(Owner);
    if (SameText(key, "Pos")) {
        const TVELNamedObjectsList* list = OwnerList();
        return list ? IntToStr(list->IndexOf(this)) : "0";
    }
    return std::string();
}

void TVELNamedObject::SetPropertyValue(std::string_view key, std::string_view value) {
    if (StartsText("ep_", key)) {
        ExtraProps.SetValue(key, value);
    } else if (SameText(key, "ObjectName")) {
        SetName(value);
    } else if (SameText(key, "NameTemplate")) {
        SetTemplate(value);
    } else if (SameText(key, "PosNR")) {
        PosNR = StrToInt(value);
    } else if (SameText(key, "ID")) {
        SetID(StrToInt(value));
    } else if (SameText(key, "ToDo")) {
        ToDo = std::string(value);
    } else if (SameText(key, "Labels")) {
        std::vector<std::string> labels = SplitString(value, ',');
        for (auto& label : labels)
            label.erase(
                std::remove_if(label.begin(), label.end(), [](char c) { return c == '[' || c == ']'; }),
                label.end());
        Labels = std::move(labels);
    } else if (SameText(key, "Marked")) {
        Marked = SameText(value, "Yes");
    } else if (SameText(key, "Selected")) {
        Selected = SameText(value, "Yes");
    } else if (SameText(key, "Pos")) {
        TVELNamedObjectsList* list = OwnerList();
        if (!list) return;
        const int from = list->IndexOf(this);
        if (from < 0) return;
        int64_t to = 0;
        if (!TryStrToInt64(value, to)) StrToInt(value);  // raises for a text that is not a number
        to = std::clamp<int64_t>(to, 0, list->Count() - 1);
        list->Move(from, static_cast<int>(to));
    }
}

int TVELNamedObject::GetPropertyState(std::string_view key) const {
    (void)key;
    return 0;
}

bool TVELNamedObject::ValidatePropertyValue(std::string_view key, std::string_view value,
                                            const TVELMessageCallback& callback) {
    (void)key;
    (void)value;
    (void)callback;
    return true;
}

void TVELNamedObject::Assign(const TVELNamedObject& source, bool copyLinks) {
    if (&source == this) return;
    Name = source.Name;
    NameTemplate = source.NameTemplate;
    PosNR = source.PosNR;
    Deleting = source.Deleting;
    OldID = source.OldID;
    Unnamed = source.Unnamed;
    TVELNamedObject::SetID(source.ID);
    ToDo = source.ToDo;
    Marked = source.Marked;
    Selected = source.Selected;
    ExtraProps.Assign(source.ExtraProps);
    Labels = source.Labels;
    AOID = source.AOID;
    DeleteWithoutParentLink = source.DeleteWithoutParentLink;
    DeleteWithoutChildLink = source.DeleteWithoutChildLink;
    if (copyLinks)
        Links = source.Links;
    else
        Links.clear();
}

bool TVELNamedObject::Validate(bool fix, const TVELMessageCallback& callback) {
    (void)fix;
    (void)callback;
    return true;
}

void TVELNamedObject::DoChanged() {
    if (OnChanged) OnChanged(this);
}

void TVELNamedObject::DoNameChanged() {
    if (OnNameChanged) OnNameChanged(this);
}

std::string TVELNamedObject::SaveToMarkup() const {
    std::string r;
    r.reserve(512);  // the common fields and most of what subclasses add
    AppendNamedMarkup(r);
    return r;
}

void TVELNamedObject::AppendNamedMarkup(std::string& r) const {
    AppendElement(r, "NAME", GetName());
    if (NameFromTemplate) AppendElement(r, "NAMETEMPLATE", NameTemplate);
    AppendElement(r, "ID", ID);
    if (!ToDo.empty()) AppendElement(r, "TODO", ToDo);
    if (AOID != -1) AppendElement(r, "AOID", AOID);
    AppendElement(r, "POSNR", PosNR);
    if (ExtraProps.Count() > 0 && !Trim(ExtraProps.AsText()).empty()) r += ExtraProps.SaveToMarkup("EXTRAPROPS");
    if (!Labels.empty()) AppendElement(r, "LABELS", LabelsText());
}

bool TVELNamedObject::LoadFromMarkup(std::string_view text) {
    SetName(ReadElementText("NAME", text));
    NameTemplate = ReadElementText("NAMETEMPLATE", text);
    int32_t id = 1;
    if (!TryStrToInt(ReadElement("ID", text, "1"), id)) id = 1;
    OldID = id;
    SetID(id);
    ToDo = ReadElementText("TODO", text);
    int32_t aoid = -1;
    if (!TryStrToInt(ReadElement("AOID", text, "-1"), aoid)) aoid = -1;
    AOID = aoid;
    PosNR = StrToInt(ReadElement("POSNR", text, "0"));
    // The stored properties replace the present ones (an object reloaded by undo).
    ExtraProps.Clear();
    ExtraProps.LoadFromMarkup(ReadElement("EXTRAPROPS", text));
    SetLabelsText(ReadElementText("LABELS", text));
    return true;
}

bool TVELNamedObject::LoadAndNotify(std::string_view text) {
    const bool result = LoadFromMarkup(text);
    DoChanged();
    return result;
}

// ---- TVELNamedObjectsList ------------------------------------------------------------------

TVELNamedObjectsList::~TVELNamedObjectsList() {
    ClearAndFree();
}

int TVELNamedObjectsList::IndexOf(const TVELNamedObject* item) const {
    // An object is held at most once, so the search may run from both ends at once: objects
    // near either end (the usual case when deleting or moving) are found at once. The item
    // is only compared, never dereferenced: callers may ask about an object already freed.
    if (!item) return -1;
    size_t lo = 0, hi = items_.size();
    while (lo < hi) {
        if (items_[lo].get() == item) return static_cast<int>(lo);
        --hi;
        if (items_[hi].get() == item) return static_cast<int>(hi);
        ++lo;
    }
    return -1;
}

TVELNamedObject* TVELNamedObjectsList::Add(std::unique_ptr<TVELNamedObject> item) {
    return Insert(Count(), std::move(item));
}

TVELNamedObject* TVELNamedObjectsList::Insert(int index, std::unique_ptr<TVELNamedObject> item) {
    if (!item) return nullptr;
    index = std::clamp(index, 0, Count());
    TVELNamedObject* p = item.get();
    const bool append = index == Count();
    items_.insert(items_.begin() + index, std::move(item));
    p->containingList_ = this;
    if (append)
        IndexAppended(index);
    else
        InvalidateIDIndex();  // the positions after the new item moved
    Inserted(p);
    return p;
}

std::unique_ptr<TVELNamedObject> TVELNamedObjectsList::Release(int index) {
    std::unique_ptr<TVELNamedObject> item = std::move(items_[index]);
    items_.erase(items_.begin() + index);
    if (index < Count()) {
        InvalidateIDIndex();  // the positions after the item moved
    } else if (idIndexValid_) {
        // The last item: its entry goes; other items with its ID are left to the linear search.
        auto it = idIndex_.find(item->ID);
        if (it != idIndex_.end() && it->second == index) {
            if (idDuplicates_)
                InvalidateIDIndex();
            else
                idIndex_.erase(it);
        }
    }
    item->containingList_ = nullptr;
    return item;
}

void TVELNamedObjectsList::ExtractAll(const std::unordered_set<const TVELNamedObject*>& items) {
    if (items.empty()) return;
    std::vector<std::unique_ptr<TVELNamedObject>> gone;
    size_t kept = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items.count(items_[i].get())) {
            items_[i]->containingList_ = nullptr;
            gone.push_back(std::move(items_[i]));
        } else {
            if (kept != i) items_[kept] = std::move(items_[i]);
            ++kept;
        }
    }
    items_.resize(kept);
    if (!gone.empty()) InvalidateIDIndex();
}

std::unique_ptr<TVELNamedObject> TVELNamedObjectsList::Extract(TVELNamedObject* item) {
    const int index = IndexOf(item);
    if (index < 0) return nullptr;
    return Release(index);
}

void TVELNamedObjectsList::Move(int from, int to) {
    if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
    InvalidateIDIndex();
    if (from < to)
        std::rotate(items_.begin() + from, items_.begin() + from + 1, items_.begin() + to + 1);
    else
        std::rotate(items_.begin() + to, items_.begin() + from, items_.begin() + from + 1);
}

// ---- identifiers ----

int32_t TVELNamedObjectsList::NewID() {
    return ++LastID;
}

void TVELNamedObjectsList::CheckLastID() {
    bool above = false;
    for (const auto& it : items_)
        if (it->ID > LastID) {
            above = true;
            break;
        }
    if (!above) return;
    int32_t m = 1;
    for (const auto& it : items_)
        m = std::max(m, it->ID);
    LastID = m;
}

void TVELNamedObjectsList::IndexAppended(int position) const {
    if (!idIndexValid_) return;
    // An earlier position with the same ID stays: FindByID answers the first holder.
    if (!idIndex_.emplace(items_[position]->ID, position).second) idDuplicates_ = true;
}

void TVELNamedObjectsList::IDChanged(TVELNamedObject* item, int32_t oldID) {
    if (!idIndexValid_) return;
    const int position = IndexOf(item);  // searched from both ends: a new item is found at once
    if (position < 0) return;
    if (auto it = idIndex_.find(oldID); it != idIndex_.end() && it->second == position) {
        // Another item may still hold the old ID: then only a rebuild finds its first holder.
        if (idDuplicates_) return InvalidateIDIndex();
        idIndex_.erase(it);
    }
    auto [it, inserted] = idIndex_.emplace(item->ID, position);
    if (!inserted) {
        idDuplicates_ = true;
        if (position < it->second) it->second = position;
    }
}

void TVELNamedObjectsList::BuildIDIndex() const {
    idIndex_.clear();
    idIndex_.reserve(items_.size());
    idDuplicates_ = false;
    for (int i = 0; i < Count(); ++i)
        if (!idIndex_.emplace(items_[i]->ID, i).second) idDuplicates_ = true;  // the first position stays
    idIndexValid_ = true;
}

TVELNamedObject* TVELNamedObjectsList::FindByID(int32_t id) const {
    // Binary search, assuming the items are sorted by ID.
    int lo = 0, hi = Count() - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int32_t v = items_[mid]->ID;
        if (v == id) return items_[mid].get();
        if (v < id)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    // Otherwise the identifier index answers. Identifiers change only through SetID, which
    // keeps the index, so an identifier the index lacks is not in the list; an entry whose
    // item no longer carries it is stale and the list is searched once.
    if (!idIndexValid_) BuildIDIndex();
    const auto it = idIndex_.find(id);
    if (it == idIndex_.end()) return nullptr;
    if (it->second < Count() && items_[it->second]->ID == id) return items_[it->second].get();
    InvalidateIDIndex();
    for (const auto& p : items_)
        if (p->ID == id) return p.get();
    return nullptr;
}

TVELNamedObject* TVELNamedObjectsList::FindByOldID(int32_t id) const {
    if (TVELNamedObject* p = FindByID(id); p && p->OldID == p->ID) return p;
    for (const auto& p : items_)
        if (p->OldID == id) return p.get();
    return nullptr;
}

bool TVELNamedObjectsList::IDExists(int32_t id) const {
    return FindByID(id) != nullptr;
}

bool TVELNamedObjectsList::IsUniqueID(int32_t id, const TVELNamedObject* except) const {
    for (const auto& p : items_)
        if (p.get() != except && p->ID == id) return false;
    return true;
}

// ---- names ----

TVELNamedObject* TVELNamedObjectsList::FindByName(std::string_view name) const {
    const int i = IndexOfName(name);
    return i < 0 ? nullptr : items_[i].get();
}

int TVELNamedObjectsList::IndexOfName(std::string_view name) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i]->GetName(), name)) return static_cast<int>(i);
    return -1;
}

bool TVELNamedObjectsList::IsUniqueName(std::string_view name, const TVELNamedObject* except) const {
    for (const auto& p : items_)
        if (p.get() != except && SameText(p->GetName(), name)) return false;
    return true;
}

namespace {

// Candidate n of MakeUniqueName: the stem (shortened one character at a time while stem
// plus number is longer than maxLength, when maxLength > 0) followed by the number; n = 0
// means no number.
std::string UniqueNameCandidate(std::string_view stem, int n, int maxLength) {
    const std::string number = n > 0 ? IntToStr(n) : std::string();
    std::string_view s = stem;
    if (maxLength > 0 && s.size() + number.size() > static_cast<size_t>(maxLength))
        s = s.substr(0, number.size() >= static_cast<size_t>(maxLength) ? 0 : maxLength - number.size());
    std::string r(s);
    r += number;
    return r;
}

}  // namespace

std::string TVELNamedObjectsList::MakeUniqueName(std::string_view stem, bool alwaysNumber,
                                                 const TVELNamedObject* except) const {
    return MakeUniqueNameMaxLength(stem, 0, alwaysNumber, except);
}

std::string TVELNamedObjectsList::MakeUniqueNameMaxLength(std::string_view stem, int maxLength,
                                                          bool alwaysNumber,
                                                          const TVELNamedObject* except) const {
    int n = alwaysNumber ? 1 : 0;
    std::string candidate = UniqueNameCandidate(stem, n, maxLength);
    if (IsUniqueName(candidate, except)) return candidate;
    // Numbering: the names in use (by the base rule, which every override only narrows) are
    // collected once, so that each further candidate costs one look-up; the candidate that
    // passes that filter is still confirmed by IsUniqueName.
    std::unordered_set<std::string> used;
    used.reserve(items_.size());
    for (const auto& p : items_)
        if (p.get() != except) used.insert(UpperCase(p->GetName()));
    for (;;) {
        ++n;
        candidate = UniqueNameCandidate(stem, n, maxLength);
        if (used.count(UpperCase(candidate))) continue;
        if (IsUniqueName(candidate, except)) return candidate;
    }
}

// ---- deletion ----

void TVELNamedObjectsList::DeleteObject(TVELNamedObject* item) {
    if (!item || IndexOf(item) < 0) return;
    // 1.
    item->Deleting = true;
    const int32_t id = item->ID;
    // Dependents whose deletion was refused by an override stay in the list; they are not
    // offered again.
    std::vector<TVELNamedObject*> kept;
    auto isCandidate = [&](TVELNamedObject* o) {
        return o != item && !o->Deleting && std::find(kept.begin(), kept.end(), o) == kept.end();
    };
    // Deletes, one at a time, the first object that the predicate made by makePick accepts,
    // until none is left; the predicate is made afresh for every search.
    auto deleteEach = [&](auto&& makePick) {
        for (;;) {
            auto pick = makePick();
            TVELNamedObject* dependent = nullptr;
            for (const auto& p : items_)
                if (isCandidate(p.get()) && pick(p.get())) {
                    dependent = p.get();
                    break;
                }
            if (!dependent) return;
            DeleteObject(dependent);
            if (IndexOf(dependent) >= 0) kept.push_back(dependent);
        }
    };
    // 2. The connections attached to the item, the first in list order each time. The pass
    // that finds none also tells which of the searches of step 5 can find anything.
    bool standIns = false, parentLinked = false, childLinked = false;
    for (;;) {
        standIns = parentLinked = childLinked = false;
        TVELNamedObject* dependent = nullptr;
        for (const auto& p : items_) {
            TVELNamedObject* o = p.get();
            if (o == item) continue;
            standIns = standIns || o->AOID == id;
            parentLinked = parentLinked || o->DeleteWithoutParentLink;
            childLinked = childLinked || o->DeleteWithoutChildLink;
            int32_t parentID = 0, childID = 0;
            if (o->GetConnectionEnds(parentID, childID) && (parentID == id || childID == id) &&
                isCandidate(o)) {
                dependent = o;
                break;
            }
        }
        if (!dependent) break;
        DeleteObject(dependent);
        if (IndexOf(dependent) >= 0) kept.push_back(dependent);
    }
    // 3. Out of the list.
    std::unique_ptr<TVELNamedObject> owned = Release(IndexOf(item));
    // 4. The removal hook.
    Removed(item);
    // 5. Objects standing for the item; objects that are no longer the parent (child) end
    // of any connection.
    if (standIns) deleteEach([id] { return [id](TVELNamedObject* o) { return o->AOID == id; }; });
    auto deleteUnlinked = [&](bool parentEnds) {
        auto flagged = [parentEnds](const TVELNamedObject* o) {
            return parentEnds ? o->DeleteWithoutParentLink : o->DeleteWithoutChildLink;
        };
        for (;;) {
            // The ends of the connections are gathered only when some object asks for them.
            bool any = false;
            for (const auto& p : items_)
                if (flagged(p.get()) && isCandidate(p.get())) {
                    any = true;
                    break;
                }
            if (!any) return;
            std::unordered_set<int32_t> ends;
            for (const auto& p : items_) {
                int32_t parentID = 0, childID = 0;
                if (!p->Deleting && p->GetConnectionEnds(parentID, childID))
                    ends.insert(parentEnds ? parentID : childID);
            }
            TVELNamedObject* dependent = nullptr;
            for (const auto& p : items_)
                if (flagged(p.get()) && isCandidate(p.get()) && ends.count(p->ID) == 0) {
                    dependent = p.get();
                    break;
                }
            if (!dependent) return;
            DeleteObject(dependent);
            if (IndexOf(dependent) >= 0) kept.push_back(dependent);
        }
    };
    // (Deleting the stand-ins can only remove flagged objects, never add any.)
    if (parentLinked) deleteUnlinked(true);  // DeleteWithoutParentLink
    if (childLinked) deleteUnlinked(false);  // DeleteWithoutChildLink
    // 6.
    owned.reset();
}

void TVELNamedObjectsList::ClearAndFree() {
    while (!items_.empty())
        Release(Count() - 1).reset();
}

// ---- ordering ----

namespace {

// Selection order: for each position i from the first, the best item among positions i to
// the end is exchanged into position i; among equal keys the first (or, with lastOfEqual,
// the last) position is best. A tournament tree over the positions finds the best in
// O(log n), so the exact exchange sequence costs O(n log n) whatever the keys.
template <class Key, class Less>
void SelectionSort(std::vector<std::unique_ptr<TVELNamedObject>>& items, std::vector<Key> keys, Less less,
                   bool lastOfEqual) {
    const int n = static_cast<int>(items.size());
    if (n < 2) return;
    int size = 1;
    while (size < n)
        size <<= 1;
    std::vector<int> tree(2 * static_cast<size_t>(size), -1);
    auto better = [&](int a, int b) {
        if (a < 0) return b;
        if (b < 0) return a;
        if (less(keys[a], keys[b])) return a;
        if (less(keys[b], keys[a])) return b;
        return lastOfEqual ? std::max(a, b) : std::min(a, b);
    };
    for (int i = 0; i < n; ++i)
        tree[size + i] = i;
    for (int v = size - 1; v >= 1; --v)
        tree[v] = better(tree[2 * v], tree[2 * v + 1]);
    auto update = [&](int pos, int value) {
        int v = size + pos;
        tree[v] = value;
        for (v >>= 1; v >= 1; v >>= 1)
            tree[v] = better(tree[2 * v], tree[2 * v + 1]);
    };
    for (int i = 0; i < n - 1; ++i) {
        const int w = tree[1];
        if (w != i) {
            std::swap(items[i], items[w]);
            std::swap(keys[i], keys[w]);
            update(w, w);  // position w now holds the former item of position i
        }
        update(i, -1);
    }
}

}  // namespace

void TVELNamedObjectsList::SortByPosNR() {
    std::vector<int32_t> keys;
    keys.reserve(items_.size());
    for (const auto& p : items_)
        keys.push_back(p->PosNR);
    InvalidateIDIndex();
    SelectionSort(items_, std::move(keys), std::less<int32_t>(), false);
}

void TVELNamedObjectsList::SortByID() {
    std::vector<int32_t> keys;
    keys.reserve(items_.size());
    for (const auto& p : items_)
        keys.push_back(p->ID);
    InvalidateIDIndex();
    SelectionSort(items_, std::move(keys), std::less<int32_t>(), false);
}

void TVELNamedObjectsList::SortItemsBySelection(std::vector<std::string> keys, bool lastOfEqual) {
    InvalidateIDIndex();
    SelectionSort(items_, std::move(keys), std::less<std::string>(), lastOfEqual);
}

void TVELNamedObjectsList::SortByName() {
    // Case-insensitive: names compared byte by byte after upper-casing a..z.
    std::vector<std::string> keys;
    keys.reserve(items_.size());
    for (const auto& p : items_)
        keys.push_back(UpperCase(p->GetName()));
    SortItemsBySelection(std::move(keys), true);
}

void TVELNamedObjectsList::SortByNameStable() {
    std::vector<std::string> keys;
    keys.reserve(items_.size());
    for (const auto& p : items_)
        keys.push_back(UpperCase(p->GetName()));
    std::vector<size_t> order(items_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    std::vector<std::unique_ptr<TVELNamedObject>> sorted;
    sorted.reserve(items_.size());
    for (size_t i : order)
        sorted.push_back(std::move(items_[i]));
    items_ = std::move(sorted);
    InvalidateIDIndex();
}

// ---- selection, marks, bulk ----

void TVELNamedObjectsList::SelectAll() {
    for (auto& p : items_)
        p->Selected = true;
}

void TVELNamedObjectsList::DeselectAll() {
    for (auto& p : items_)
        p->Selected = false;
}

void TVELNamedObjectsList::CollectSelected(std::vector<TVELNamedObject*>& out) const {
    for (const auto& p : items_)
        if (p->Selected) out.push_back(p.get());
}

int TVELNamedObjectsList::SelectedCount() const {
    int n = 0;
    for (const auto& p : items_)
        if (p->Selected) ++n;
    return n;
}

void TVELNamedObjectsList::SetAllMarked(bool flag) {
    for (auto& p : items_)
        p->Marked = flag;
}

void TVELNamedObjectsList::ResetOldIDs() {
    for (auto& p : items_)
        p->OldID = -1;
}

void TVELNamedObjectsList::ChangeTextFormat(int mode) {
    if (mode == 0) return;
    for (int i = 0; i < Count(); ++i) {
        TVELNamedObject* p = items_[i].get();
        p->SetName(ConvertTextFormat(p->GetName(), mode));
        p->SetTemplate(ConvertTextFormat(p->NameTemplate, mode));
    }
}

void TVELNamedObjectsList::Names(std::vector<std::string>& out) const {
    for (const auto& p : items_)
        out.push_back(p->GetName());
}

}  // namespace ardvin
