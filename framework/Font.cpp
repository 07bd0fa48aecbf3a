#include "framework/Font.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/DialogUnits.h"

namespace {

int AverageCharWidth(const QFont& font) {
    return BaseUnitsOf(font).x;
}

}  // namespace

CFont::CFont() = default;
CFont::~CFont() = default;

void CFont::SetQFont(const QFont& font) {
    m_font = std::make_unique<QFont>(font);
}

bool CFont::CreateFontIndirect(const LOGFONT& logFont) {
    char face[sizeof logFont.lfFaceName + 1] = {};
    std::memcpy(face, logFont.lfFaceName, sizeof logFont.lfFaceName);
    QFont font(DialogFontFamily(face));
    font.setStyleHint(QFont::SansSerif);
    if (logFont.lfWeight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp(logFont.lfWeight, 1, 1000)));
    }
    font.setItalic(logFont.lfItalic);
    if (logFont.lfHeight < 0) {
        font.setPixelSize(-logFont.lfHeight);
    } else if (logFont.lfHeight > 0) {
        // A cell height: the largest character size whose line still fits in it.
        int pixels = logFont.lfHeight;
        font.setPixelSize(pixels);
        while (pixels > 1 && QFontMetrics(font).height() > logFont.lfHeight) {
            font.setPixelSize(--pixels);
        }
    }
    if (logFont.lfWidth > 0) {
        const int natural = AverageCharWidth(font);
        if (natural > 0) {
            const double stretch = 100.0 * logFont.lfWidth / natural;
            font.setStretch(std::clamp(static_cast<int>(std::lround(stretch)), 1, 4000));
        }
    }
    m_font = std::make_unique<QFont>(font);
    return true;
}

bool CFont::GetLogFont(LOGFONT* logFont) const {
    if (!m_font || logFont == nullptr) {
        return false;
    }
    *logFont = LOGFONT{};
    const QFontInfo info(*m_font);
    logFont->lfHeight = -info.pixelSize();
    logFont->lfWeight = static_cast<int>(info.weight());
    logFont->lfItalic = info.italic();
    const QByteArray family = info.family().toLatin1();
    std::strncpy(logFont->lfFaceName, family.constData(), sizeof logFont->lfFaceName - 1);
    return true;
}
