#include "framework/Button.h"

#include <QAbstractButton>

bool CButton::CanAttach(const QWidget* widget) const {
    return qobject_cast<const QAbstractButton*>(widget) != nullptr;
}
