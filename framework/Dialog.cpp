#include "framework/Dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>

#include "framework/DialogWindow.h"
#include "framework/ResourceRegistry.h"
#include "framework/StandardIds.h"
#include "framework/WinApp.h"

namespace {

void SetChecked(QAbstractButton& button, bool checked) {
    if (button.isChecked() == checked) {
        return;
    }
    // An exclusive group does not let its checked button be cleared directly.
    QButtonGroup* group = button.group();
    const bool exclusive = group != nullptr && group->exclusive();
    if (exclusive && !checked) {
        group->setExclusive(false);
    }
    button.setChecked(checked);
    if (exclusive && !checked) {
        group->setExclusive(true);
    }
}

}  // namespace

CDialog::CDialog(int templateId, CWnd* parent)
    : m_template(FindDialogTemplate(templateId)), m_parent(parent) {
    ResetSystemMenu();
}

CDialog::CDialog(const DialogTemplate& dialogTemplate, CWnd* parent)
    : m_template(&dialogTemplate), m_parent(parent) {
    ResetSystemMenu();
}

CDialog::~CDialog() {
    DestroyWindow();
}

void CDialog::ResetSystemMenu() {
    m_systemMenu.RemoveAll();
    m_systemMenu.AppendMenu(MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
}

int CDialog::DoModal() {
    if (m_template == nullptr || m_window) {
        return -1;
    }
    QWidget* owner = m_parent != nullptr ? m_parent->GetSafeHwnd() : ActiveOwner(this);
    m_window = std::make_unique<DialogWindow>(*this, *m_template, owner);
    Attach(m_window.get());
    m_ended = false;
    m_modalResult = -1;
    const bool focusFirst = OnInitDialog();
    if (!m_ended) {
        if (focusFirst) {
            m_window->focusFirstTabStop();
        }
        m_window->exec();
    }
    const int result = m_modalResult;
    DestroyWindow();
    return result;
}

void CDialog::EndDialog(int result) {
    m_modalResult = result;
    m_ended = true;
    if (m_window && m_window->isVisible()) {
        m_window->done(result);
    }
}

void CDialog::DestroyWindow() noexcept {
    for (CWnd* control : m_boundControls) {
        control->Detach();
    }
    m_boundControls.clear();
    m_otherControls.clear();
    Detach();
    m_window.reset();
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
    }
}

CWnd* CDialog::GetDlgItem(int id) {
    if (!m_window) {
        return nullptr;
    }
    QWidget* widget = m_window->control(id);
    if (widget == nullptr) {
        return nullptr;
    }
    return FromWidget(widget);
}

void CDialog::PostToWindow(std::function<void()> call) {
    if (m_window) {
        m_window->post(std::move(call));
    }
}

CWnd* CDialog::WindowObjectOf(QWidget* widget) {
    return FromWidget(widget);
}

CWnd* CDialog::FromWidget(QWidget* widget) {
    if (widget == nullptr) {
        return nullptr;
    }
    if (widget == GetSafeHwnd()) {
        return this;
    }
    for (CWnd* control : m_boundControls) {
        if (control->GetSafeHwnd() == widget) {
            return control;
        }
    }
    std::unique_ptr<CWnd>& wrapper = m_otherControls[widget];
    if (!wrapper) {
        wrapper = std::make_unique<CWnd>();
        wrapper->Attach(widget);
    }
    return wrapper.get();
}

void CDialog::CheckRadioButton(int firstId, int lastId, int checkId) {
    if (!m_window) {
        return;
    }
    for (int id = firstId; id <= lastId; ++id) {
        if (auto* button = qobject_cast<QAbstractButton*>(m_window->control(id))) {
            SetChecked(*button, id == checkId);
        }
    }
}

unsigned CDialog::IsDlgButtonChecked(int id) const {
    if (!m_window) {
        return BST_UNCHECKED;
    }
    const auto* button = qobject_cast<const QAbstractButton*>(m_window->control(id));
    return button != nullptr && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CDialog::GotoDlgCtrl(CWnd* control) {
    if (control == nullptr || control->GetSafeHwnd() == nullptr) {
        return;
    }
    QWidget* widget = control->GetSafeHwnd();
    widget->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->selectAll();
    }
}

CMenu* CDialog::GetSystemMenu(bool revert) {
    if (revert) {
        ResetSystemMenu();
        return nullptr;
    }
    return &m_systemMenu;
}

void CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
}

void CDialog::BindControl(int id, CWnd& control) {
    QWidget* widget = m_window ? m_window->control(id) : nullptr;
    if (widget == nullptr || !control.CanAttach(widget)) {
        // A template and its dialog class disagree: a programming error, found on first run.
        qFatal("dialog %d has no control %d of the kind its class binds",
               m_template != nullptr ? m_template->id : 0, id);
    }
    control.Attach(widget);
    m_boundControls.push_back(&control);
}

bool CDialog::CanAttach(const QWidget* widget) const {
    return qobject_cast<const DialogWindow*>(widget) != nullptr;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == SC_CLOSE) {
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}

const MessageMap* CDialog::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        msg::Command<&CDialog::OnOK>(IDOK),
        msg::Command<&CDialog::OnCancel>(IDCANCEL),
        msg::SysCommand<&CDialog::OnSysCommand>(),
    };
    static const MessageMap kMap{CWnd::GetMessageMap(), kEntries};
    return &kMap;
}

bool CDialog::RouteCommand(int id, int code) {
    if (OnCmdMsg(id, code)) {
        return true;
    }
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->OnCmdMsg(id, code);
}

bool CDialog::OnEditChar(int, unsigned) {
    return false;
}

bool CDialog::OnEditPaste(int, const std::string&) {
    return false;
}

bool CDialog::IsCloseRequest(const QObject* receiver, const QEvent& event) const {
    return m_window != nullptr && m_window->isCloseRequest(receiver, event);
}
