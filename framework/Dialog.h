#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/DataExchange.h"
#include "framework/DialogTemplate.h"
#include "framework/Menu.h"
#include "framework/Wnd.h"

class DialogWindow;
class QEvent;
class QObject;

// A modal dialog built from a dialog template. DoModal creates the window and its controls,
// runs OnInitDialog, shows the window and runs the dialog's own event loop until EndDialog.
// Commands and notifications of the controls reach the dialog through its message map: IDOK
// goes to OnOK, IDCANCEL (the Esc key, a Cancel button, and after SC_CLOSE the close box,
// Alt+F4 and the system menu's Close) to OnCancel. Commands the dialog does not handle go on
// to the application.
class CDialog : public CWnd {
public:
    // A dialog with no parent window is owned by the window that is active when it runs (the
    // main window, or the dialog that opened it).
    explicit CDialog(int templateId, CWnd* parent = nullptr);
    explicit CDialog(const DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
    ~CDialog() override;

    // The result given to EndDialog, or -1 when the template does not exist.
    virtual int DoModal();
    void EndDialog(int result);

    // The control with this identifier (the bound object if there is one), or null.
    CWnd* GetDlgItem(int id);
    void CheckRadioButton(int firstId, int lastId, int checkId);
    unsigned IsDlgButtonChecked(int id) const;
    // Moves the focus to a control; an edit gets its whole text selected.
    void GotoDlgCtrl(CWnd* control);
    // The dialog's own system menu: Close (Alt+F4) and whatever the dialog appends. Right-click
    // on the dialog's background, Shift+F10, the Menu key or Alt+Space open it; a chosen item
    // arrives as a system command. Reverting restores the standard menu and returns null.
    CMenu* GetSystemMenu(bool revert);
    // Whether an input event, as the window system hands it to this dialog's window, would
    // close it: the close box, Alt+F4, Esc, or a click on its Cancel button.
    bool IsCloseRequest(const QObject* receiver, const QEvent& event) const;
    // Runs DoDataExchange: the controls to the members, or back. Nothing it does can fail.
    void UpdateData(bool saveAndValidate = true);

    // Framework use: DDX_Control's binding, and the window object of one of the dialog's widgets.
    void BindControl(int id, CWnd& control);
    CWnd* FromWidget(QWidget* widget);
    bool CanAttach(const QWidget* widget) const override;

protected:
    // Runs once the controls exist, before the window shows. True lets the framework give the
    // focus to the first control with a tab stop.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();
    // The default handling of system commands: SC_CLOSE cancels the dialog.
    void OnSysCommand(unsigned id);
    // A character typed into edit control `id` (8 for Backspace), before the control takes it.
    // True when the dialog has dealt with it, and the control then never sees it.
    virtual bool OnEditChar(int id, unsigned character);
    // Text pasted into edit control `id` from the keyboard or the control's menu, before the
    // control takes it. True when the dialog has placed it itself.
    virtual bool OnEditPaste(int id, const std::string& text);

    const MessageMap* GetMessageMap() const override;
    bool RouteCommand(int id, int code) override;
    void PostToWindow(std::function<void()> call) override;
    CWnd* WindowObjectOf(QWidget* widget) override;

private:
    friend class DialogWindow;

    void ResetSystemMenu();
    void DestroyWindow() noexcept;

    const DialogTemplate* m_template = nullptr;
    CWnd* m_parent = nullptr;
    CMenu m_systemMenu;
    std::vector<CWnd*> m_boundControls;
    // Window objects handed out for controls that no member is bound to, one per control.
    std::map<const QWidget*, std::unique_ptr<CWnd>> m_otherControls;
    std::unique_ptr<DialogWindow> m_window;
    int m_modalResult = -1;
    bool m_ended = false;
};
