#include "framework/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <cstdint>
#include <cstring>

int MulDiv(int a, int b, int c) noexcept {
    if (c == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = (c > 0 ? c : -c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c > 0 ? c : -c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the 52 letters, rounded to the nearest pixel.
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits units) noexcept {
    return QRect(MulDiv(rect.x, units.x, 4), MulDiv(rect.y, units.y, 8),
                 MulDiv(rect.cx, units.x, 4), MulDiv(rect.cy, units.y, 8));
}

QString DialogFontFamily(const char* face) {
    static constexpr const char* kClassicFaces[] = {"", "MS Sans Serif", "MS Shell Dlg",
                                                    "MS Shell Dlg 2"};
    for (const char* classic : kClassicFaces) {
        if (face == nullptr || std::strcmp(face, classic) == 0) {
            return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        }
    }
    return QString::fromLatin1(face);
}

QFont DialogFont(const char* face, int pointSize) {
    QFont font(DialogFontFamily(face));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize > 0 ? pointSize : 8);
    return font;
}
