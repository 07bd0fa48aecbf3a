#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include "framework/DialogTemplate.h"

// Dialog units scale a template with its font: one horizontal unit is a quarter of the font's
// average character width, one vertical unit an eighth of its height. A layout then keeps its
// proportions with whatever sans-serif font the desktop has.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

// a × b / c rounded to the nearest integer, halves away from zero, as the layout arithmetic of
// the templates expects.
int MulDiv(int a, int b, int c) noexcept;

DialogBaseUnits BaseUnitsOf(const QFont& font);

// Position and size are scaled separately, so equal widths in units stay equal in pixels.
QRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits units) noexcept;

// The fonts the templates name do not exist here; they and an empty name stand for the
// desktop's default sans-serif family.
QString DialogFontFamily(const char* face);
QFont DialogFont(const char* face, int pointSize);
