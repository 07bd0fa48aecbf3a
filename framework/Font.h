#pragma once

#include <memory>

// A font description: height in pixels (positive: the character cell, negative: the character
// itself), average character width in pixels (0: the font's own), weight 100 to 900 (400 is
// regular, 700 bold), and the face name.
struct LOGFONT {
    int lfHeight = 0;
    int lfWidth = 0;
    int lfWeight = 0;
    bool lfItalic = false;
    char lfFaceName[32] = {};
};

class QFont;

class CFont {
public:
    CFont();
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // Picks the closest font the desktop has; false only for a description nothing can match.
    bool CreateFontIndirect(const LOGFONT& logFont);
    bool GetLogFont(LOGFONT* logFont) const;

    // Framework use.
    const QFont* GetQFont() const noexcept { return m_font.get(); }
    void SetQFont(const QFont& font);

private:
    std::unique_ptr<QFont> m_font;
};
