#include "tests/gui/DialogTesting.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QTreeWidget>

#include "app/CurrentDeviceTable.h"
#include "framework/ControlText.h"
#include "framework/DialogWindow.h"
#include "framework/StaticText.h"
#include "framework/Utf8Text.h"
#include "resources/Resource.h"
#include "tests/gui/ModalDriver.h"

MessageBoxRecorder::MessageBoxRecorder() {
    SetMessageBoxHook([this](const MessageBoxRequest& request) {
        boxes_.push_back(request);
        return IDOK;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHook(nullptr);
}

std::vector<std::string> MessageBoxRecorder::Texts() const {
    std::vector<std::string> texts;
    for (const MessageBoxRequest& box : boxes_) {
        texts.push_back(box.text);
    }
    return texts;
}

RecordingUrlOpener::RecordingUrlOpener(OpenUrlOutcome answer) : outcome(answer) {
    InstallUrlOpener(this);
}

RecordingUrlOpener::~RecordingUrlOpener() {
    InstallUrlOpener(nullptr);
}

OpenUrlOutcome RecordingUrlOpener::Open(const std::string& url) {
    urls.push_back(url);
    return outcome;
}

void OnUiThread(const std::function<void()>& call) {
    if (QThread::currentThread() == qApp->thread()) {
        call();
    } else {
        QMetaObject::invokeMethod(qApp, call, Qt::BlockingQueuedConnection);
    }
}

QWidget* FocusInTopDialog() {
    QWidget* top = TopModal();
    return top != nullptr ? top->focusWidget() : nullptr;
}

int FocusedControlId() {
    const QWidget* focus = FocusInTopDialog();
    return DialogWindow::controlId(focus);
}

void TypeIntoFocus(const std::string& text) {
    for (const char c : text) {
        QWidget* focus = FocusInTopDialog();
        if (focus == nullptr) {
            ADD_FAILURE() << "nothing has the focus to type '" << c << "' into";
            return;
        }
        QTest::keyClick(focus, c);
    }
}

void ClickControl(int id) {
    QWidget* control = TopControl(id);
    if (control == nullptr) {
        ADD_FAILURE() << "no control " << id << " in the dialog on top";
        return;
    }
    QTest::mouseClick(control, Qt::LeftButton);
}

std::string ControlText(int id) {
    const std::optional<QString> text = ::ControlText(TopControl(id));
    if (!text) {
        ADD_FAILURE() << "control " << id << " has no text to read";
        return {};
    }
    return ToUtf8(*text);
}

bool MainWindowFilled() {
    return TopDialogId() == IDD_ACCESSPOINT_DIALOG && g_deviceTable != nullptr;
}

QTreeWidget* DeviceList() {
    return qobject_cast<QTreeWidget*>(TopControl(IDC_DEVICE_LIST));
}

void SelectRows(QTreeWidget* list, std::initializer_list<int> rows) {
    list->clearSelection();
    for (const int row : rows) {
        list->topLevelItem(row)->setSelected(true);
    }
}

std::vector<std::string> ListColumn(const QTreeWidget* list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        texts.push_back(ToUtf8(list->topLevelItem(row)->text(column)));
    }
    return texts;
}
