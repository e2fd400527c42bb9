#include "zDiagramOnly.h"

namespace ardvin {

// ---- TVELTextArea ---------------------------------------------------------------------------

std::string TVELTextArea::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "Text")) return Text;
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELTextArea::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "Text")) {
        if (Text != value) {
            Text = std::string(value);
            DoChanged();
        }
        return;
    }
    TVELDatabaseObject::SetPropertyValue(key, value);
}

void TVELTextArea::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    if (auto* s = dynamic_cast<const TVELTextArea*>(&source)) Text = s->Text;
}

std::string TVELTextArea::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    AppendElement(r, "TEXT", Text);
    return r;
}

bool TVELTextArea::LoadFromMarkup(std::string_view text) {
    if (!TVELDatabaseObject::LoadFromMarkup(text)) return false;
    Text = ReadElementText("TEXT", text);
    return true;
}

// ---- TVELStamp ------------------------------------------------------------------------------

void TVELStamp::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    if (auto* s = dynamic_cast<const TVELStamp*>(&source)) {
        ProjectName = s->ProjectName;
        Created = s->Created;
        Modified = s->Modified;
        Author = s->Author;
        Copyright = s->Copyright;
        DBMSName = s->DBMSName;
        Properties = s->Properties;
    }
}

std::string TVELStamp::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    AppendElement(r, "PROPERTIES", JoinStrings(Properties, ";"));
    AppendElement(r, "PROJECTNAME", ProjectName);
    AppendElement(r, "CREATED", Created);
    AppendElement(r, "MODIFIED", Modified);
    AppendElement(r, "AUTHOR", Author);
    AppendElement(r, "COPYRIGHT", Copyright);
    AppendElement(r, "DBMSNAME", DBMSName);
    return r;
}

bool TVELStamp::LoadFromMarkup(std::string_view text) {
    if (!TVELDatabaseObject::LoadFromMarkup(text)) return false;
    Properties = SplitString(ReadElementText("PROPERTIES", text), ';');
    ProjectName = ReadElementText("PROJECTNAME", text);
    Created = ReadElementText("CREATED", text);
    Modified = ReadElementText("MODIFIED", text);
    Author = ReadElementText("AUTHOR", text);
    Copyright = ReadElementText("COPYRIGHT", text);
    DBMSName = ReadElementText("DBMSNAME", text);
    return true;
}

// ---- TVELGroupbox ---------------------------------------------------------------------------

std::string TVELGroupbox::GetPropertyValue(std::string_view key) const {
    if (SameText(key, "ObjectCaption")) return ObjectCaption;
    return TVELDatabaseObject::GetPropertyValue(key);
}

void TVELGroupbox::SetPropertyValue(std::string_view key, std::string_view value) {
    if (SameText(key, "ObjectCaption")) {
        if (ObjectCaption != value) {
            ObjectCaption = std::string(value);
            DoChanged();
        }
        return;
    }
    TVELDatabaseObject::SetPropertyValue(key, value);
}

void TVELGroupbox::Assign(const TVELNamedObject& source, bool copyLinks) {
    TVELDatabaseObject::Assign(source, copyLinks);
    if (auto* s = dynamic_cast<const TVELGroupbox*>(&source)) ObjectCaption = s->ObjectCaption;
}

std::string TVELGroupbox::SaveToMarkup() const {
    std::string r = TVELDatabaseObject::SaveToMarkup();
    AppendElement(r, "OBJECTCAPTION", ObjectCaption);
    return r;
}

bool TVELGroupbox::LoadFromMarkup(std::string_view text) {
    if (!TVELDatabaseObject::LoadFromMarkup(text)) return false;
    ObjectCaption = ReadElementText("OBJECTCAPTION", text);
    return true;
}

}  // namespace ardvin
