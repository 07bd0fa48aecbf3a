#include "framework/Edit.h"

#include <QLineEdit>
#include <algorithm>

namespace {

// The largest limit a line edit takes; "no limit" means this.
constexpr int kUnlimited = 32767;

}  // namespace

void CEdit::LimitText(int maxChars) {
    if (auto* edit = qobject_cast<QLineEdit*>(GetSafeHwnd())) {
        edit->setMaxLength(maxChars > 0 ? std::min(maxChars, kUnlimited) : kUnlimited);
    }
}

void CEdit::SetSel(int start, int end) {
    auto* edit = qobject_cast<QLineEdit*>(GetSafeHwnd());
    if (edit == nullptr) {
        return;
    }
    const int length = static_cast<int>(edit->text().size());
    if (start < 0) {
        edit->deselect();
        return;
    }
    if (end < 0 || end > length) {
        end = length;
    }
    start = std::min(start, length);
    if (end < start) {
        std::swap(start, end);
    }
    edit->setSelection(start, end - start);
}

void CEdit::GetSel(int& start, int& end) const {
    start = end = 0;
    const auto* edit = qobject_cast<const QLineEdit*>(GetSafeHwnd());
    if (edit == nullptr) {
        return;
    }
    if (edit->hasSelectedText()) {
        start = edit->selectionStart();
        end = start + edit->selectionLength();
    } else {
        start = end = edit->cursorPosition();
    }
}

bool CEdit::CanAttach(const QWidget* widget) const {
    return qobject_cast<const QLineEdit*>(widget) != nullptr;
}
