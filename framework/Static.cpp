#include "framework/Static.h"

#include <QLabel>

#include "framework/StaticText.h"

bool CStatic::CanAttach(const QWidget* widget) const {
    return qobject_cast<const StaticText*>(widget) != nullptr ||
           qobject_cast<const QLabel*>(widget) != nullptr;
}
