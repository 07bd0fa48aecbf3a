#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "framework/CmdTarget.h"
#include "framework/FrameworkTypes.h"
#include "framework/Icon.h"

class CFont;
class QWidget;

// A window: a dialog or one of its controls. The object wraps a window that the framework
// creates; until it is attached (and again once the window is gone) every call does nothing
// and every query answers as for a disabled, empty window.
class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    bool IsWindow() const noexcept { return m_widget != nullptr; }
    // The control identifier from the dialog template; 0 for a dialog or a detached object.
    int GetDlgCtrlID() const;

    void EnableWindow(bool enable = true);
    bool IsWindowEnabled() const;
    bool IsWindowVisible() const;

    // Texts are UTF-8, shown as plain text.
    void SetWindowText(std::string_view text);
    std::string GetWindowText() const;

    // What assistive technology calls the window, in place of its caption or label.
    void SetAccessibleName(std::string_view name);

    void SetFocus();
    // The control or dialog that has the keyboard focus, or null.
    static CWnd* GetFocus();

    // In screen coordinates, the border included.
    void GetWindowRect(CRect* rect) const;
    // Position and size in the parent's client coordinates, in pixels.
    void MoveWindow(int x, int y, int width, int height);

    void SetFont(CFont* font, bool redraw = true);
    // The font the window draws with; owned by the window object.
    CFont* GetFont() const;

    // The icon of a top-level window; both sizes are drawn from the same picture.
    void SetIcon(HICON icon, bool bigIcon);

    // A message box owned by this window; the caption defaults to the application title.
    int MessageBox(std::string_view text, const char* caption = nullptr, unsigned type = MB_OK);

    // WM_COMMAND and WM_SYSCOMMAND, run through the message map at once or, when posted, once
    // the window's event loop gets to them. Other messages are not delivered.
    LRESULT SendMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Framework use: the Qt widget behind this window.
    QWidget* GetSafeHwnd() const noexcept { return m_widget; }
    void Attach(QWidget* widget);
    void Detach() noexcept;
    // Whether this kind of window object can wrap that widget.
    virtual bool CanAttach(const QWidget* widget) const;

protected:
    // Where WM_COMMAND goes; dialogs pass on to the application what they do not handle.
    virtual bool RouteCommand(int id, int code);
    // Queues a call for this window's event loop (PostMessage); a dialog holds its calls back
    // until its window has been drawn.
    virtual void PostToWindow(std::function<void()> call);
    // The window object of `widget`, this window's own or one of its controls', or null.
    virtual CWnd* WindowObjectOf(QWidget* widget);

private:
    QWidget* m_widget = nullptr;
    mutable std::unique_ptr<CFont> m_font;
};
