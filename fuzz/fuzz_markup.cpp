// Feeds arbitrary bytes to the markup reader: element loops, tag walks, element removal and
// replacement, and the settings and integer lists. Besides not crashing or hanging, the fast
// paths must agree with the plain algorithms they replace.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zXMLUtils.h"

using namespace ardvin;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Every start tried in turn, compared through the upper-case map.
size_t PlainFindTag(std::string_view text, std::string_view upperTag, bool closeTag, size_t from) {
    const std::string pattern = (closeTag ? "</" : "<") + std::string(upperTag) + ">";
    for (size_t i = from; i + pattern.size() <= text.size(); ++i)
        if (SameText(text.substr(i, pattern.size()), pattern)) return i;
    return std::string_view::npos;
}

// Settings loading done literally: each open tag's element read from the start of the text.
std::string PlainSettings(std::string_view text) {
    TVELSettingsList list;
    size_t pos = 0;
    for (std::string name; !(name = NextTagName(text, pos)).empty();)
        if (name[0] != '/') list.SetValue(name, ReadElementText(name, text));
    return list.AsText();
}

void WalkElements(std::string_view tag, std::string_view text) {
    const std::string up = UpperCase(tag);
    Check(FindTag(text, up, false, 0) == PlainFindTag(text, up, false, 0));
    Check(FindTag(text, up, true, 1) == PlainFindTag(text, up, true, 1));

    // Every element in turn: the position only moves forward and stays inside the text.
    size_t pos = 0;
    for (;;) {
        const size_t before = pos;
        ReadElementText(tag, pos, text, "default");
        if (pos == before) break;
        Check(pos > before && pos <= text.size());
    }
    pos = 0;
    for (std::string content; ReadNextElement(tag, pos, text, content);) Check(pos <= text.size());

    const std::string removed = RemoveElements(tag, text);
    Check(removed.size() <= text.size());

    pos = text.size() / 3;
    const std::string replaced = ReplaceElementContent(tag, pos, text, "<new & value>");
    Check(pos <= replaced.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The tags of the text itself, the tags of a model, and the empty tag.
    std::vector<std::string> tags = {"NAME", "id", "Ent", ""};
    size_t pos = 0;
    for (int n = 0; n < 4; ++n) {
        const size_t before = pos;
        const std::string name = NextTagName(text, pos);
        if (name.empty()) break;
        Check(pos > before && pos <= text.size());
        tags.push_back(name);
    }
    for (const auto& tag : tags) WalkElements(tag, text);

    TVELSettingsList settings;
    settings.LoadFromMarkup(text);
    Check(settings.AsText() == PlainSettings(text));
    TVELSettingsList copy;
    copy.LoadFromMarkup(ReadElement("S", settings.SaveToMarkup("S")));

    TIntegersList ints;
    ints.LoadFromMarkup(text);
    TIntegersList again;
    again.LoadFromMarkup(ReadElement("IDS", ints.SaveToMarkup("IDS")));
    Check(again.Items() == ints.Items());

    std::string plain(text);
    for (char& c : plain)
        if (c == '\0') c = ' ';
    Check(Unescape(Escape(text)) == plain);
    TrimLineBreaks(text);
    return 0;
}
