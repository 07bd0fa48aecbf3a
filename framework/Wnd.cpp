#include "framework/Wnd.h"

#include <QApplication>
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include "framework/ControlId.h"
#include "framework/ControlText.h"
#include "framework/Font.h"
#include "framework/IconImage.h"
#include "framework/MessageBox.h"
#include "framework/PostedCall.h"
#include "framework/Utf8Text.h"

namespace {

// On a top-level widget: the window object that wraps it, for finding the object of whatever
// has the focus.
constexpr const char* kWindowObjectProperty = "windowObject";

CWnd* WindowObjectOfWindow(const QWidget* window) {
    return window != nullptr
               ? static_cast<CWnd*>(window->property(kWindowObjectProperty).value<void*>())
               : nullptr;
}

}  // namespace

CWnd::CWnd() = default;
CWnd::~CWnd() = default;

void CWnd::Attach(QWidget* widget) {
    m_widget = widget;
    if (widget != nullptr && widget->isWindow()) {
        widget->setProperty(kWindowObjectProperty, QVariant::fromValue(static_cast<void*>(this)));
    }
}

void CWnd::Detach() noexcept {
    if (m_widget != nullptr && WindowObjectOfWindow(m_widget) == this) {
        m_widget->setProperty(kWindowObjectProperty, QVariant());
    }
    m_widget = nullptr;
    m_font.reset();
}

bool CWnd::CanAttach(const QWidget*) const {
    return true;
}

int CWnd::GetDlgCtrlID() const {
    return ControlIdOf(m_widget);
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
    CWnd* window = WindowObjectOfWindow(focus->window());
    return window != nullptr ? window->WindowObjectOf(focus) : nullptr;
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

void CWnd::PostToWindow(std::function<void()> call) {
    PostCall(m_widget, std::move(call));
}

CWnd* CWnd::WindowObjectOf(QWidget* widget) {
    return widget != nullptr && widget == m_widget ? this : nullptr;
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
    PostToWindow([this, message, wParam, lParam] { SendMessage(message, wParam, lParam); });
    return true;
}
