// The tree a screen reader reads, through Qt's accessibility interface: for every control of the
// main window, IP Configuration and Detail Info, its role, its name and what labels it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QDialog>
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "config/IpConfigDlg.h"
#include "details/DetailInfoDlg.h"
#include "framework/Dialog.h"
#include "resources/Resource.h"
#include "tests/gui/ModalDriver.h"

namespace {

// Role, name, the name of its label and of what it labels.
using Item = std::tuple<QAccessible::Role, std::string, std::string, std::string>;

std::string Name(QAccessibleInterface* accessible) {
    return accessible != nullptr ? accessible->text(QAccessible::Name).toStdString() : "";
}

std::string Related(QAccessibleInterface* accessible, QAccessible::Relation relation) {
    const auto related = accessible->relations(relation);
    return related.isEmpty() ? "" : Name(related.front().first);
}

// The dialog's children as a reader lists them, in a stable order.
std::vector<Item> Children(QAccessibleInterface* dialog) {
    std::vector<Item> items;
    for (int i = 0; i < dialog->childCount(); ++i) {
        QAccessibleInterface* child = dialog->child(i);
        EXPECT_EQ(dialog->indexOfChild(child), i);
        EXPECT_EQ(child->parent(), dialog);
        items.emplace_back(child->role(), Name(child), Related(child, QAccessible::Label),
                           Related(child, QAccessible::Labelled));
    }
    std::sort(items.begin(), items.end());
    return items;
}

// Runs `dialog` until `inspect` has read its window's accessible interface.
void Inspect(CDialog& dialog, int templateId,
             const std::function<void(QAccessibleInterface*)>& inspect) {
    ModalDriver driver;
    driver.When(
        "the dialog", [templateId] { return TopDialogId() == templateId; },
        [&] {
            inspect(QAccessible::queryAccessibleInterface(TopModal()));
            qobject_cast<QDialog*>(TopModal())->done(IDCANCEL);
        });
    dialog.DoModal();
    EXPECT_TRUE(driver.Finished());
}

using R = QAccessible::Role;

TEST(AccessibleTree, EveryControlHasItsRoleNameAndLabel) {
    CIpConfigDlg config;
    config.m_deviceName = "Annex";
    config.m_macText = "000A1B100006";
    CDialog main(IDD_ACCESSPOINT_DIALOG);
    std::vector<Item> configItems = {
        {R::StaticText, "Annex", "Device Name:", ""},
        {R::StaticText, "000A1B100006", "Mac Address:", ""},
        {R::StaticText, "Device Name:", "", "Annex"},
        {R::StaticText, "Mac Address:", "", "000A1B100006"},
        {R::RadioButton, "Dhcp client", "", ""},
        {R::RadioButton, "Fixed", "", ""},
        {R::Button, "OK", "", ""},
        {R::Button, "Cancel", "", ""},
        {R::Grouping, "IP Address", "", ""},
        {R::StaticText, "IP Address:", "", ""},
        {R::StaticText, "Subnet Mask:", "", ""},
        {R::StaticText, "Gateway:", "", ""},
        {R::StaticText, "DNS:", "", ""},
    };
    for (const char* row : {"IP Address", "Subnet Mask", "Gateway", "DNS"}) {
        for (int octet = 1; octet <= 4; ++octet) {
            configItems.push_back(
                {R::EditableText, std::string(row) + ", octet " + std::to_string(octet), "", ""});
        }
    }
    const struct {
        CDialog* dialog;
        int templateId;
        const char* caption;
        std::vector<Item> items;  // the twelve dots between the octets are none of them
    } cases[] = {
        {&main,
         IDD_ACCESSPOINT_DIALOG,
         "Access Point Management",
         {{R::Tree, "Wireless Access Points", "", ""},
          {R::Button, "Refresh", "", ""},
          {R::Button, "Detail Info", "", ""},
          {R::Button, "Web Management", "", ""},
          {R::Button, "Set IP Address", "", ""},
          {R::Button, "Exit", "", ""},
          {R::StaticText, "", "", ""},
          {R::StaticText, "Wireless Access Points", "", ""}}},
        {&config, IDD_IPCONFIG, "IP Configuration", configItems},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        Inspect(*c.dialog, c.templateId, [&](QAccessibleInterface* dialog) {
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->role(), QAccessible::Dialog) << "the main window too is a dialog";
            EXPECT_EQ(Name(dialog), c.caption);
            std::vector<Item> expected = c.items;
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(Children(dialog), expected);
        });
    }
}

// Detail Info draws one text of tab-separated lines; a reader gets each line as an item.
TEST(AccessibleTree, DetailInfoOffersEachLineWithItsValue) {
    CDetailInfoDlg detail;
    detail.m_fields = {.name = "Lobby",
                       .macText = "000A1B100001",
                       .ipAddress = "10.0.0.11",
                       .description = "Ground floor",
                       .ssidBg = "guest",
                       .channelBgText = "6",
                       .ssidA = "staff",
                       .channelAText = "36",
                       .firmwareVersion = "01.11",
                       .wirelessMode = 7};
    // Lines with one tab and with two before the value, and the last line.
    const std::map<int, std::pair<std::string, std::string>> lines = {
        {0, {"Name: Lobby", "Lobby"}},
        {3, {"Description: Ground floor", "Ground floor"}},
        {8, {"Channel for b+g: 6", "6"}},
    };
    Inspect(detail, IDD_DETAIL_INFO, [&](QAccessibleInterface* dialog) {
        ASSERT_EQ(dialog->childCount(), 2);
        QAccessibleInterface* text = dialog->child(0)->role() == QAccessible::StaticText
                                         ? dialog->child(0)
                                         : dialog->child(1);
        ASSERT_EQ(text->childCount(), 9);
        for (const auto& [i, expected] : lines) {
            QAccessibleInterface* line = text->child(i);
            SCOPED_TRACE(i);
            EXPECT_EQ(line->role(), QAccessible::StaticText);
            EXPECT_EQ(Name(line), expected.first);
            EXPECT_EQ(line->text(QAccessible::Value).toStdString(), expected.second);
            EXPECT_EQ(line->parent(), text);
            EXPECT_EQ(text->indexOfChild(line), i);
            EXPECT_EQ(text->child(i), line) << "one interface per line, kept";
            EXPECT_TRUE(text->rect().contains(line->rect().topLeft())) << "drawn within the text";
        }
        EXPECT_EQ(text->child(text->childCount()), nullptr);
    });
}

}  // namespace
