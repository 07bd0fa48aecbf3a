#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <vector>

#include "framework/DialogTemplate.h"
#include "framework/DialogUnits.h"

class CDialog;
class CWnd;
class QButtonGroup;
class QLineEdit;

// What the window manager is asked for: the template's caption, system menu and boxes only.
Qt::WindowFlags WindowFlagsFor(const DialogTemplate& dialogTemplate);

// The window the user is working in, to own a new dialog or message box that names no owner:
// the modal window on top, else the active window, else the main window unless that is `self`.
QWidget* ActiveOwner(const CWnd* self);

// Ties a top-level window to its owner's (its parent widget's window) for the window system, so
// that the window manager or compositor keeps it over its owner; due before the window is shown,
// as a Wayland toplevel takes its parent when it is first mapped.
void TieToOwner(QWidget* window);

// The Qt window of a CDialog: creates the template's controls at their positions, turns their
// signals into commands and notifications for the dialog, and maps the keys, the close box and
// the system menu onto the dialog's commands.
class DialogWindow final : public QDialog {
    Q_OBJECT
public:
    DialogWindow(CDialog& dialog, const DialogTemplate& dialogTemplate, QWidget* owner);
    ~DialogWindow() override;

    // The first control with this identifier, or null.
    QWidget* control(int id) const;
    // Every control in template order.
    const std::vector<QWidget*>& controls() const { return controls_; }
    static int controlId(const QWidget* widget);
    // The CDialog behind a window, or null when the window is not one of the framework's.
    static CDialog* dialogOf(const QWidget* window);

    DialogBaseUnits baseUnits() const { return baseUnits_; }
    const DialogTemplate& dialogTemplate() const { return template_; }

    // Gives the focus to the first enabled control with a tab stop.
    void focusFirstTabStop();
    // Runs `call` from the event loop once the window is on screen and drawn.
    void post(std::function<void()> call);
    void showSystemMenu(const QPoint& globalPos);
    // Whether input the window system hands to this window would close it (see CDialog).
    bool isCloseRequest(const QObject* receiver, const QEvent& event) const;

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A text of the template in the user's language.
    QString resourceText(const char* source) const;
    void createControls();
    // Pairs each text the program fills with its caption, for assistive technology.
    void relateLabels();
    QWidget* createControl(const ControlTemplate& control, QButtonGroup*& radioGroup);
    QWidget* createPushButton(const ControlTemplate& entry, const QString& text);
    QWidget* createRadioButton(const ControlTemplate& entry, const QString& text,
                               QButtonGroup*& radioGroup);
    QWidget* createGroupBox(const QString& text);
    QWidget* createStaticText(const QString& text);
    QWidget* createStaticIcon(const ControlTemplate& entry);
    QWidget* createEdit(const ControlTemplate& entry);
    QWidget* createListView(const ControlTemplate& entry);
    bool handleDialogKey(const QKeyEvent& key);
    // The arrow keys on a radio button: the next button of its group takes the focus and is
    // checked. False for other keys and other controls.
    bool moveInRadioGroup(QWidget* from, const QKeyEvent& key);
    // Characters, Backspace and the paste key in an edit, offered to the dialog first.
    bool handleEditKey(QWidget* widget, const QKeyEvent& key);
    void pasteIntoEdit(QLineEdit* edit);
    void showEditMenu(QLineEdit* edit, const QPoint& globalPos);
    void flushPosted();

    CDialog& dialog_;
    const DialogTemplate& template_;
    DialogBaseUnits baseUnits_;
    std::vector<QWidget*> controls_;
    std::vector<std::function<void()>> posted_;
    bool drawn_ = false;
    bool menuOpen_ = false;
};
