#include "framework/WaitCursor.h"

#include <QApplication>
#include <QCursor>

CWaitCursor::CWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

CWaitCursor::~CWaitCursor() {
    QApplication::restoreOverrideCursor();
}

void CWaitCursor::Restore() {
    QApplication::changeOverrideCursor(Qt::WaitCursor);
}
