#include "framework/Button.h"

#include <QAbstractButton>

unsigned CButton::GetCheck() const {
    const auto* button = qobject_cast<const QAbstractButton*>(GetSafeHwnd());
    return button != nullptr && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CButton::SetCheck(unsigned check) {
    if (auto* button = qobject_cast<QAbstractButton*>(GetSafeHwnd())) {
        button->setChecked(check == BST_CHECKED);
    }
}

bool CButton::CanAttach(const QWidget* widget) const {
    return qobject_cast<const QAbstractButton*>(widget) != nullptr;
}
