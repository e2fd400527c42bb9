// Text measurement for the sizes of boxes. The core measures with a deterministic rule based
// on the font size; a user interface plugs in its real font metrics through the interface.
#pragma once

#include <string_view>

#include "dgbase.h"

namespace ardvin {

class TTextMeasure {
public:
    virtual ~TTextMeasure() = default;
    // Width of one line of text at 100 % zoom, in diagram units.
    virtual int TextWidth(const TDGFont& font, std::string_view text) const = 0;
    // Height of a line of text at 100 % zoom, in diagram units.
    virtual int TextHeight(const TDGFont& font) const = 0;
};

// Every character (UTF-8 code point) is (size * 3 + 2) / 4 units wide, one more in bold; a line
// is (size * 7 + 3) / 4 units high. Arial 8 so gives 6 units a character and 14 a line.
class TFontSizeTextMeasure : public TTextMeasure {
public:
    int TextWidth(const TDGFont& font, std::string_view text) const override {
        int chars = 0;
        for (char c : text)
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++chars;
        return chars * CharWidth(font);
    }
    int TextHeight(const TDGFont& font) const override { return (Size(font) * 7 + 3) / 4; }

private:
    static int Size(const TDGFont& font) { return font.Size > 0 ? font.Size : 1; }
    static int CharWidth(const TDGFont& font) { return (Size(font) * 3 + 2) / 4 + (font.Bold ? 1 : 0); }
};

} // namespace ardvin
