// The IP Configuration dialog's fields: entry, modes and the checks before anything is sent.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/AccessPointDlg.h"
#include "app/CurrentDeviceTable.h"
#include "config/IpConfigDlg.h"
#include "discovery/DiscoverDevices.h"
#include "resources/Resource.h"
#include "sim/AccessPointModel.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/IpConfigTesting.h"
#include "tests/gui/ModalDriver.h"
#include "tests/gui/TestNetwork.h"

namespace {

using namespace ipconfig_test;

TEST_F(IpConfigTest, OpensInDhcpModeAndSwitchingModesKeepsTheFields) {
    const int result = RunDialog(dialog, [] {
        EXPECT_EQ(TopModal()->windowTitle().toStdString(), "IP Configuration");
        EXPECT_EQ(ControlText(IDC_DEVICE_NAME), "Annex");
        EXPECT_EQ(ControlText(IDC_MAC_ADDRESS), kMac);
        EXPECT_TRUE(Checked(IDC_DHCP_CLIENT));
        EXPECT_FALSE(Checked(IDC_FIXED));
        for (int field = 0; field < 16; ++field) {
            SCOPED_TRACE(field);
            EXPECT_TRUE(Field(field)->text().isEmpty());
            EXPECT_FALSE(Field(field)->isEnabled());
        }

        ClickControl(IDC_FIXED);
        EXPECT_FALSE(Checked(IDC_DHCP_CLIENT));
        // Digits only, at most three.
        QTest::keyClicks(Field(0), "1a2-3 45");
        QTest::keyClicks(Field(15), "x9");
        EXPECT_EQ(Field(0)->text().toStdString(), "123");
        EXPECT_EQ(Field(15)->text().toStdString(), "9");

        ClickControl(IDC_DHCP_CLIENT);
        EXPECT_FALSE(Checked(IDC_FIXED));
        for (int field = 0; field < 16; ++field) {
            EXPECT_FALSE(Field(field)->isEnabled()) << field;
        }
        ClickControl(IDC_FIXED);
        for (int field = 0; field < 16; ++field) {
            EXPECT_TRUE(Field(field)->isEnabled()) << field;
        }
        EXPECT_EQ(Field(0)->text().toStdString(), "123");
        EXPECT_EQ(Field(15)->text().toStdString(), "9");
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(network.Sends(), 0);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(IpConfigTest, ThreeDigitsMoveOnThroughAllSixteenFields) {
    RunDialog(dialog, [] {
        ClickControl(IDC_FIXED);
        Field(0)->setFocus();
        // A whole configuration typed as digits alone, across the ends of the rows.
        TypeIntoFocus(
            "192168001050"
            "255255255000"
            "192168001001"
            "010000000053");
        EXPECT_EQ(FieldTexts(), (Octets{"192", "168", "001", "050", "255", "255", "255", "000",
                                        "192", "168", "001", "001", "010", "000", "000", "053"}));
        EXPECT_EQ(FocusedControlId(), IDC_DNS_EDIT4) << "the last field keeps the focus";
        TypeIntoFocus("7");
        EXPECT_EQ(Field(15)->text().toStdString(), "053");
        EXPECT_EQ(FocusedControlId(), IDC_DNS_EDIT4);
    });
}

TEST_F(IpConfigTest, OnlyAChangeThatLeavesThreeCharactersMovesOn) {
    RunDialog(dialog, [] {
        ClickControl(IDC_FIXED);
        for (int field = 0; field < 15; ++field) {
            SCOPED_TRACE(field);
            Field(field + 1)->setText("55");
            Field(field)->setFocus();
            TypeIntoFocus("12");
            EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1 + field) << "two digits stay";
            TypeIntoFocus("3");
            EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1 + field + 1);
            EXPECT_EQ(Field(field + 1)->selectedText().toStdString(), "55")
                << "the next field's text is selected, so typing replaces it";
        }

        // Deleting a digit of a full field stays; typing it again moves on, and so does
        // replacing one digit.
        Field(4)->setFocus();
        Field(4)->end(false);
        QTest::keyClick(Field(4), Qt::Key_Backspace);
        EXPECT_EQ(Field(4)->text().toStdString(), "12");
        EXPECT_EQ(FocusedControlId(), IDC_MASK_EDIT1);
        TypeIntoFocus("9");
        EXPECT_EQ(FocusedControlId(), IDC_MASK_EDIT2);
        Field(4)->setFocus();
        Field(4)->setSelection(1, 1);
        TypeIntoFocus("0");
        EXPECT_EQ(Field(4)->text().toStdString(), "109");
        EXPECT_EQ(FocusedControlId(), IDC_MASK_EDIT2);
    });
}

TEST_F(IpConfigTest, DhcpSendsModeOneAndNullTextsWithoutLookingAtTheFields) {
    const int result = RunDialog(dialog, [] {
        // Fields that would fail every check in fixed mode.
        ClickControl(IDC_FIXED);
        Field(0)->setText("999");
        ClickControl(IDC_DHCP_CLIENT);
        ClickControl(IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.calls,
              (std::vector<ConfigureCall>{{1, kMac, "NULL", "NULL", "NULL", "NULL"}}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Set Success"});
    const std::vector<WireRequest> requests = ConfigurationRequests(network.fake());
    ASSERT_EQ(Kinds(requests), (std::vector<sim::RequestKind>{kSet, kReset}));
    EXPECT_TRUE(requests[0].request.dhcpClient);
    EXPECT_EQ(requests[0].request.mac, kMacBytes);
    EXPECT_EQ(requests[1].request.mac, kMacBytes);
}

TEST_F(IpConfigTest, FixedModeReportsTheFirstFailingFieldOnly) {
    struct Case {
        const char* name;
        Octets texts;
        const char* message;
        int failingField;
    };
    Octets lastTooBig = kValid;
    lastTooBig[15] = "300";
    // The text checks themselves have their own tests; here: what the dialog does with a
    // failing field, and that the fields after it are not looked at.
    const Case cases[] = {
        {"all empty", Octets{}, "Invalid or missing data.", 0},
        {"256, later fields empty and not examined", Octets{"10", "0", "0", "77", "255", "256"},
         "Value must be between 0 - 255.", 5},
        {"the last field too big", lastTooBig, "Value must be between 0 - 255.", 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t boxesBefore = boxes.boxes().size();
        TestIpConfigDlg caseDialog;
        const int result = RunDialog(caseDialog, [&] {
            FillFixed(c.texts);
            ClickControl(IDOK);
            Octets expected = c.texts;
            expected[static_cast<std::size_t>(c.failingField)] = "";
            EXPECT_EQ(FieldTexts(), expected) << "only the failing field is cleared";
            EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1 + c.failingField);
            EXPECT_TRUE(Checked(IDC_FIXED));
        });
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_EQ(boxes.boxes().size(), boxesBefore + 1);
        const MessageBoxRequest& box = boxes.boxes().back();
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.ownerId, IDD_IPCONFIG);
        EXPECT_EQ(box.icon, MB_ICONEXCLAMATION);
        EXPECT_TRUE(caseDialog.calls.empty());
    }
    EXPECT_EQ(network.Sends(), 0);
}

TEST_F(IpConfigTest, OctetsAreSentAsTypedAndTakenAsDecimal) {
    const Octets texts = {"010", "0",   "000", "77", "255", "255", "255", "0",
                          "10",  "000", "0",   "1",  "10",  "0",   "0",   "053"};
    const int result = RunDialog(dialog, [&] {
        FillFixed(texts);
        ClickControl(IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Data saved successfully."});
    EXPECT_EQ(dialog.calls, (std::vector<ConfigureCall>{{0, kMac, "010.0.000.77", "255.255.255.0",
                                                         "10.000.0.1", "10.0.0.053"}}));
    const std::vector<WireRequest> requests = ConfigurationRequests(network.fake());
    ASSERT_EQ(Kinds(requests), (std::vector<sim::RequestKind>{kSet, kReset}));
    const std::array<std::uint32_t, 4> expected = {
        net::AddressFromText("10.0.0.77"), net::AddressFromText("255.255.255.0"),
        net::AddressFromText("10.0.0.1"), net::AddressFromText("10.0.0.53")};
    EXPECT_FALSE(requests[0].request.dhcpClient);
    EXPECT_EQ(requests[0].request.addresses, expected) << "010 is ten, never octal eight";
    EXPECT_EQ(annex.CurrentAddress(), net::AddressFromText("10.0.0.77"));
}

// A mask whose ones are broken, or that has none, would leave the access point on no network
// it can reach: refused before anything is sent, with the fields left as typed.
TEST_F(IpConfigTest, OnlyMasksThatCanBeAreSent) {
    const struct {
        Octets mask;
        bool sent;
    } cases[] = {
        {{"1", "2", "3", "4"}, false},        {{"0", "0", "0", "0"}, false},
        {{"255", "0", "255", "0"}, false},    {{"255", "255", "255", "253"}, false},
        {{"255", "255", "255", "0"}, true},   {{"255", "255", "0", "0"}, true},
        {{"255", "255", "255", "252"}, true}, {{"128", "0", "0", "000"}, true},
    };
    for (const auto& c : cases) {
        Octets texts = kValid;
        std::copy_n(c.mask.begin(), 4, texts.begin() + 4);
        SCOPED_TRACE(texts[4] + "." + texts[5] + "." + texts[6] + "." + texts[7]);
        const std::size_t boxesBefore = boxes.boxes().size();
        TestIpConfigDlg caseDialog;
        const int result = RunDialog(caseDialog, [&] {
            FillFixed(texts);
            ClickControl(IDOK);
            if (!c.sent) {
                ASSERT_EQ(TopDialogId(), IDD_IPCONFIG) << "closed: the mask was sent";
                EXPECT_EQ(FieldTexts(), texts);
                EXPECT_EQ(FocusedControlId(), IDC_MASK_EDIT1);
            }
        });
        // What the access point makes of a mask that is sent is not the point here: once
        // re-addressed by the first case, it may not answer the later ones.
        ASSERT_EQ(caseDialog.calls.size(), c.sent ? 1u : 0u);
        if (c.sent) {
            EXPECT_EQ(caseDialog.calls[0].subnetMask,
                      texts[4] + "." + texts[5] + "." + texts[6] + "." + texts[7]);
        } else {
            EXPECT_EQ(result, IDCANCEL);
            ASSERT_EQ(boxes.boxes().size(), boxesBefore + 1);
            EXPECT_EQ(boxes.boxes().back().text, "Invalid or missing data.");
        }
    }
}

void PressInFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(FocusInTopDialog(), key, modifiers);
}

// A keyboard or screen-reader user can choose Fixed and send it with nothing but keys: the radio
// group is one tab stop, the arrow keys move within it and check the button reached.
TEST_F(IpConfigTest, KeysAloneChooseFixedFillTheFieldsAndSend) {
    std::vector<int> tabStops;
    const int result = RunDialog(dialog, [&] {
        for (int i = 0; i < 4; ++i) {
            tabStops.push_back(FocusedControlId());
            PressInFocus(Qt::Key_Tab);
        }
        while (FocusedControlId() != IDC_DHCP_CLIENT && tabStops.size() < 10) {
            tabStops.push_back(FocusedControlId());
            PressInFocus(Qt::Key_Backtab);
        }
        PressInFocus(Qt::Key_Down);
        EXPECT_EQ(FocusedControlId(), IDC_FIXED);
        EXPECT_TRUE(Checked(IDC_FIXED));
        EXPECT_TRUE(Field(0)->isEnabled()) << "the arrow key ran Fixed's handler";
        PressInFocus(Qt::Key_Up);
        EXPECT_TRUE(Checked(IDC_DHCP_CLIENT));
        EXPECT_FALSE(Field(0)->isEnabled());
        PressInFocus(Qt::Key_Up);  // round the group
        EXPECT_TRUE(Checked(IDC_FIXED));
        PressInFocus(Qt::Key_Tab);
        EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1);
        for (const char* address : {"10.0.0.16", "255.255.255.0", "10.0.0.1", "10.0.0.53"}) {
            TypeIntoFocus(address);
            PressInFocus(Qt::Key_Tab);
        }
        EXPECT_EQ(FocusedControlId(), IDOK);
        PressInFocus(Qt::Key_Return);
    });
    EXPECT_EQ(std::vector<int>(tabStops.begin(), tabStops.begin() + 4),
              (std::vector<int>{IDC_DHCP_CLIENT, IDOK, IDCANCEL, IDC_DHCP_CLIENT}))
        << "the checked radio button is the group's one tab stop";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.calls, (std::vector<ConfigureCall>{
                                {0, kMac, "10.0.0.16", "255.255.255.0", "10.0.0.1", "10.0.0.53"}}));
}

// Typing an address as text: the dot moves on within the row, Backspace in an empty field goes
// back within it, and a dotted address pasted anywhere in a row fills the row.
TEST_F(IpConfigTest, DotBackspaceAndPasteWithinARow) {
    struct Step {
        const char* what;
        int field;  // where the focus is put first
        std::function<void()> act;
        std::vector<std::string> row;  // the texts of that field's row afterwards
        int focus;                     // the field with the focus afterwards
    };
    const auto type = [](const char* text) { return [text] { TypeIntoFocus(text); }; };
    const auto paste = [](const char* text) {
        return [text] {
            QGuiApplication::clipboard()->setText(QString::fromLatin1(text));
            PressInFocus(Qt::Key_V, Qt::ControlModifier);
        };
    };
    const auto press = [](Qt::Key key) { return [key] { PressInFocus(key); }; };
    const Step steps[] = {
        {"dots between octets", 0, type("10.0.0.16"), {"10", "0", "0", "16"}, 3},
        {"a dot at the row's end stays", 3, type("."), {"10", "0", "0", "16"}, 3},
        {"a dot in an empty field stays", 4, type("."), {"", "", "", ""}, 4},
        {"three digits and a dot move once", 4, type("255.2"), {"255", "2", "", ""}, 5},
        {"Backspace deletes a digit", 5, press(Qt::Key_Backspace), {"255", "", "", ""}, 5},
        {"Backspace in an empty field goes back",
         5,
         press(Qt::Key_Backspace),
         {"255", "", "", ""},
         4},
        {"but not out of the row", 8, press(Qt::Key_Backspace), {"", "", "", ""}, 8},
        {"a pasted address fills its row",
         9,
         paste(" 192.168.1.254\n"),
         {"192", "168", "1", "254"},
         11},
        {"leading zeros as written", 12, paste("010.0.0.053"), {"010", "0", "0", "053"}, 15},
        {"other text pastes as digits would", 6, paste("1.2.3"), {"255", "", "", ""}, 6},
        {"digits paste into the field", 6, paste("77"), {"255", "", "77", ""}, 6},
    };
    RunDialog(dialog, [&] {
        ClickControl(IDC_FIXED);
        for (const Step& step : steps) {
            SCOPED_TRACE(step.what);
            Field(step.field)->setFocus();
            Field(step.field)->end(false);
            step.act();
            const Octets texts = FieldTexts();
            const auto rowStart = texts.begin() + (step.field / 4) * 4;
            EXPECT_EQ(std::vector<std::string>(rowStart, rowStart + 4), step.row);
            EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1 + step.focus);
        }
    });
}

}  // namespace
