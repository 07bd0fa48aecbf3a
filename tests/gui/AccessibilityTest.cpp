// What assistive technology and the keyboard find in every dialog of the application: a name
// for each control, from its caption or its label, and the template's order for Tab.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <string>
#include <vector>

#include "framework/AccessibleName.h"
#include "framework/Dialog.h"
#include "framework/DialogWindow.h"
#include "framework/Edit.h"
#include "framework/ResourceRegistry.h"
#include "framework/StaticText.h"
#include "framework/WindowStyles.h"
#include "resources/Resource.h"
#include "tests/gui/ModalDriver.h"

namespace {

// An address row as the configuration dialog lays it out, a list under its label, and a field
// too far from anything to be labelled.
constexpr ControlTemplate kLabelled[] = {
    {.id = 1, .kind = ControlKind::kStaticText, .text = "IP Address:", .rect = {37, 99, 45, 8}},
    {.id = 2, .kind = ControlKind::kEdit, .rect = {85, 97, 20, 12}},
    {.id = 3, .kind = ControlKind::kStaticText, .text = ".", .rect = {108, 102, 8, 8}},
    {.id = 4, .kind = ControlKind::kEdit, .rect = {114, 97, 20, 12}},
    {.id = 5,
     .kind = ControlKind::kEdit,
     .rect = {143, 97, 20, 12},
     .accessibleName = "IP Address, octet 3"},
    {.id = 6,
     .kind = ControlKind::kStaticText,
     .text = "Wireless Access Points",
     .rect = {7, 4, 116, 8}},
    {.id = 7, .kind = ControlKind::kListView, .rect = {7, 17, 180, 60}},
    {.id = 8, .kind = ControlKind::kEdit, .rect = {7, 140, 20, 12}},
    {.id = 9, .kind = ControlKind::kStaticText, .text = "Far above", .rect = {60, 110, 60, 8}},
    {.id = 10, .kind = ControlKind::kEdit, .rect = {60, 130, 20, 12}},
};

constexpr DialogTemplate kLabelledTemplate = {
    .id = 901,
    .caption = "Labels",
    .rect = {0, 0, 200, 160},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .fontFace = "MS Sans Serif",
    .fontPointSize = 8,
    .controls = kLabelled,
};

TEST(AccessibleName, FromTheTemplateOrTheNearestLabelLeftOrJustAbove) {
    struct Case {
        std::size_t index;
        const char* name;
    };
    const Case cases[] = {
        {1, "IP Address"},           // label on its left, colon left out
        {3, "IP Address"},           // the dot between the octets labels nothing
        {4, "IP Address, octet 3"},  // the template's own name wins
        {6, "Wireless Access Points"},
        {7, ""},  // nothing near
        {9, ""},  // the label ends 12 units above: too far
        {0, ""},  // a label is not labelled itself (it has its caption)
        {99, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AccessibleNameOf(kLabelledTemplate, c.index), c.name) << "control " << c.index;
    }
}

std::string NameOf(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible != nullptr ? accessible->text(QAccessible::Name).toStdString() : "(none)";
}

std::string WithoutMnemonic(const char* caption) {
    std::string text;
    for (const char* c = caption; *c != '\0'; ++c) {
        if (*c == '&' && c[1] != '\0') {
            ++c;
        }
        text += *c;
    }
    return text;
}

struct Control {
    int dialog;
    int id;
    const char* name;
};

// Controls of the application's own dialogs whose names a user would look for.
const Control kKnownNames[] = {
    {IDD_ACCESSPOINT_DIALOG, IDC_DEVICE_LIST, "Wireless Access Points"},
    {IDD_ACCESSPOINT_DIALOG, IDC_REFRESH, "Refresh"},
    {IDD_ACCESSPOINT_DIALOG, IDCANCEL, "Exit"},
    {IDD_ABOUTBOX, IDOK, "OK"},
    {IDD_IPCONFIG, IDC_IP_EDIT1, "IP Address, octet 1"},
    {IDD_IPCONFIG, IDC_MASK_EDIT2, "Subnet Mask, octet 2"},
    {IDD_IPCONFIG, IDC_DNS_EDIT4, "DNS, octet 4"},
    {IDD_IPCONFIG, IDC_DHCP_CLIENT, "Dhcp client"},
};

// Opens the dialog of a template as it is built from it, runs `inspect` on its window, closes it.
void Inspect(int templateId, const std::function<void(DialogWindow&)>& inspect) {
    CDialog dialog(templateId);
    ModalDriver driver;
    driver.When(
        "the dialog", [templateId] { return TopDialogId() == templateId; },
        [&] {
            inspect(*qobject_cast<DialogWindow*>(TopModal()));
            qobject_cast<QDialog*>(TopModal())->done(IDCANCEL);
        });
    dialog.DoModal();
}

std::vector<int> TemplateIds() {
    std::vector<int> ids;
    for (int id = 100; id < 200; ++id) {
        if (FindDialogTemplate(id) != nullptr) {
            ids.push_back(id);
        }
    }
    return ids;
}

TEST(Accessibility, EveryControlOfEveryDialogHasAName) {
    const std::vector<int> ids = TemplateIds();
    ASSERT_GE(ids.size(), 2u);
    for (int id : ids) {
        Inspect(id, [id](DialogWindow& window) {
            const DialogTemplate& dialogTemplate = window.dialogTemplate();
            for (std::size_t i = 0; i < dialogTemplate.controls.size(); ++i) {
                const ControlTemplate& control = dialogTemplate.controls[i];
                QWidget* widget = window.controls()[i];
                const std::string name = NameOf(widget);
                SCOPED_TRACE("dialog " + std::to_string(id) + ", control " + std::to_string(i) +
                             " (" + std::to_string(control.id) + ")");
                if (control.accessibleName != nullptr) {
                    EXPECT_EQ(name, control.accessibleName);
                } else if (control.kind == ControlKind::kStaticText) {
                    // A static text says what it shows; one the dialog fills later says nothing
                    // yet.
                    EXPECT_EQ(name, control.text);
                } else if (control.text != nullptr && *control.text != '\0') {
                    EXPECT_EQ(name, WithoutMnemonic(control.text));
                } else {
                    EXPECT_FALSE(name.empty()) << "a control with neither caption nor label";
                }
            }
            for (const Control& known : kKnownNames) {
                if (known.dialog == id) {
                    EXPECT_EQ(NameOf(window.control(known.id)), known.name);
                }
            }
        });
    }
}

TEST(Accessibility, NamesFollowTextsSetLaterAndNamesGivenByTheDialog) {
    Inspect(IDD_ACCESSPOINT_DIALOG, [](DialogWindow& window) {
        CDialog* dialog = DialogWindow::dialogOf(&window);
        dialog->GetDlgItem(IDC_BANNER)->SetWindowText("Banner text");
        EXPECT_EQ(NameOf(window.control(IDC_BANNER)), "Banner text");
        EXPECT_EQ(QAccessible::queryAccessibleInterface(window.control(IDC_BANNER))->role(),
                  QAccessible::StaticText);
        dialog->GetDlgItem(IDC_DEVICE_LIST)->SetAccessibleName("Access points found");
        EXPECT_EQ(NameOf(window.control(IDC_DEVICE_LIST)), "Access points found");
    });
}

TEST(Accessibility, TabVisitsTheTabStopsInTemplateOrder) {
    for (int id : TemplateIds()) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        Inspect(id, [](DialogWindow& window) {
            std::vector<QWidget*> expected;
            for (std::size_t i = 0; i < window.controls().size(); ++i) {
                if ((window.dialogTemplate().controls[i].style & WS_TABSTOP) != 0) {
                    expected.push_back(window.controls()[i]);
                }
            }
            ASSERT_FALSE(expected.empty());
            // From the first tab stop round the focus chain, as Tab goes, back to it.
            std::vector<QWidget*> visited{expected.front()};
            for (QWidget* next = expected.front()->nextInFocusChain();
                 next != expected.front() && visited.size() <= window.controls().size();
                 next = next->nextInFocusChain()) {
                if (next->window() == &window && (next->focusPolicy() & Qt::TabFocus) != 0) {
                    visited.push_back(next);
                }
            }
            EXPECT_EQ(visited, expected);
        });
    }
}

}  // namespace
