#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/UrlOpener.h"
#include "framework/MessageBox.h"

class QTreeWidget;
class QWidget;

// Answers every message box at once instead of showing it, and keeps what each would have
// shown, for the life of the object.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<MessageBoxRequest>& boxes() const { return boxes_; }
    std::vector<std::string> Texts() const;

private:
    std::vector<MessageBoxRequest> boxes_;
};

// Stands in for the desktop's opener while it lives: keeps the URLs it is asked to open and
// answers each with `outcome`. Nothing is ever started.
class RecordingUrlOpener final : public UrlOpener {
public:
    explicit RecordingUrlOpener(OpenUrlOutcome outcome = OpenUrlOutcome::kOpened);
    ~RecordingUrlOpener() override;

    OpenUrlOutcome Open(const std::string& url) override;

    OpenUrlOutcome outcome;
    std::vector<std::string> urls;
};

// Runs `call` on the user-interface thread and waits for it, from whichever thread the caller
// is on; a long operation may run on another thread while the interface stays alive.
void OnUiThread(const std::function<void()>& call);

// The control with the keyboard focus in the dialog on top, and its identifier (0 for none).
QWidget* FocusInTopDialog();
int FocusedControlId();
// Types into whatever has the focus in the dialog on top, one key at a time, so that the focus
// may move between keys.
void TypeIntoFocus(const std::string& text);
void ClickControl(int id);
// The text of a control of the dialog on top, as the dialog's code reads it.
std::string ControlText(int id);

// The main window on top once its first discovery has filled it.
bool MainWindowFilled();
// The device list of the main window on top.
QTreeWidget* DeviceList();
// Selects exactly these rows, as a user would with Ctrl+click.
void SelectRows(QTreeWidget* list, std::initializer_list<int> rows);
std::vector<std::string> ListColumn(const QTreeWidget* list, int column);
