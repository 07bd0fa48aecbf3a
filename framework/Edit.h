#pragma once

#include "framework/Wnd.h"

// A single-line edit of a dialog. Every change of its text, typed or set, is reported as
// EN_CHANGE; an edit with ES_NUMBER accepts digits only.
class CEdit : public CWnd {
public:
    // At most `maxChars` characters can be typed; 0 lifts the limit.
    void LimitText(int maxChars);
    // Selects characters start to end − 1; (0, −1) selects everything, (−1, any) nothing.
    void SetSel(int start, int end);
    // The selection as start and end (one past its last character); both at the caret when
    // nothing is selected, and 0 for a window that is not an edit.
    void GetSel(int& start, int& end) const;

    bool CanAttach(const QWidget* widget) const override;
};
