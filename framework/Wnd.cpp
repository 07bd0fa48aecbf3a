#include "framework/Wnd.h"

#include <QApplication>
#include <QPointer>

#include "framework/ControlText.h"
#include "framework/Dialog.h"
#include "framework/DialogWindow.h"
#include "framework/Font.h"
#include "framework/IconImage.h"
#include "framework/MessageBox.h"
#include "framework/PostedCall.h"
#include "framework/Utf8Text.h"

CWnd::CWnd() = default;
CWnd::~CWnd() = default;

void CWnd::Attach(QWidget* widget) {
    m_widget = widget;
}

void CWnd::Detach() noexcept {
    m_widget = nullptr;
    m_font.reset();
}

bool CWnd::CanAttach(const QWidget*) const {
    return true;
}

int CWnd::GetDlgCtrlID() const {
    return DialogWindow::controlId(m_widget);
}

void CWnd::EnableWindow(bool enable) {
    if (m_widget != nullptr) {
        m_widget->setEnabled(enable);
    }
}

bool CWnd::IsWindowEnabled() const {
    return m_widget != nullptr && m_widget->isEnabled();
}

bool CWnd::IsWindowVisible() const {
    return m_widget != nullptr && m_widget->isVisible();
}

void CWnd::SetWindowText(std::string_view text) {
    SetControlText(m_widget, FromUtf8(text));
}

std::string CWnd::GetWindowText() const {
    return ToUtf8(ControlText(m_widget).value_or(QString()));
}

void CWnd::SetAccessibleName(std::string_view name) {
    if (m_widget != nullptr) {
        m_widget->setAccessibleName(FromUtf8(name));
    }
}

void CWnd::SetFocus() {
    if (m_widget != nullptr) {
        m_widget->setFocus(Qt::OtherFocusReason);
    }
}

CWnd* CWnd::GetFocus() {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) {
        // Without an active window (nothing on screen has the focus), the control that will
        // have it when the dialog on top becomes active.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            focus = modal->focusWidget() != nullptr ? modal->focusWidget() : modal;
        }
    }
    if (focus == nullptr) {
        return nullptr;
    }
    CDialog* dialog = DialogWindow::dialogOf(focus->window());
    return dialog != nullptr ? dialog->FromWidget(focus) : nullptr;
}

void CWnd::GetWindowRect(CRect* rect) const {
    if (rect == nullptr) {
        return;
    }
    *rect = CRect{};
    if (m_widget == nullptr) {
        return;
    }
    const QRect frame = m_widget->isWindow()
                            ? m_widget->frameGeometry()
                            : QRect(m_widget->mapToGlobal(QPoint(0, 0)), m_widget->size());
    *rect = CRect{frame.left(), frame.top(), frame.left() + frame.width(),
                  frame.top() + frame.height()};
}

void CWnd::MoveWindow(int x, int y, int width, int height) {
    if (m_widget != nullptr) {
        m_widget->setGeometry(x, y, width, height);
    }
}

void CWnd::SetFont(CFont* font, bool redraw) {
    if (m_widget == nullptr || font == nullptr || font->GetQFont() == nullptr) {
        return;
    }
    m_widget->setFont(*font->GetQFont());
    if (redraw) {
        m_widget->update();
    }
}

CFont* CWnd::GetFont() const {
    if (m_widget == nullptr) {
        return nullptr;
    }
    if (!m_font) {
        m_font = std::make_unique<CFont>();
    }
    m_font->SetQFont(m_widget->font());
    return m_font.get();
}

void CWnd::SetIcon(HICON icon, bool) {
    if (m_widget != nullptr && icon != nullptr) {
        m_widget->setWindowIcon(icon->icon);
    }
}

int CWnd::MessageBox(std::string_view text, const char* caption, unsigned type) {
    return ShowMessageBoxOver(m_widget != nullptr ? m_widget->window() : nullptr, text, caption,
                              type);
}

bool CWnd::RouteCommand(int id, int code) {
    return OnCmdMsg(id, code);
}

LRESULT CWnd::SendMessage(unsigned message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) {
        RouteCommand(LOWORD(wParam), HIWORD(wParam));
    } else if (message == WM_SYSCOMMAND) {
        OnSysCommandMsg(static_cast<unsigned>(wParam));
    }
    return 0;
}

bool CWnd::PostMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
    if (m_widget == nullptr || (message != WM_COMMAND && message != WM_SYSCOMMAND)) {
        return false;
    }
    // The widget is the call's context: a call for a window that is gone by then is dropped.
    auto deliver = [this, message, wParam, lParam] { SendMessage(message, wParam, lParam); };
    if (auto* dialog = qobject_cast<DialogWindow*>(m_widget)) {
        dialog->post(deliver);
    } else {
        PostCall(m_widget, deliver);
    }
    return true;
}
