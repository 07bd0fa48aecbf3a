// An address typed over a row of the IP Configuration dialog that already holds one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <array>
#include <string>

#include "resources/Resource.h"
#include "tests/gui/DialogTesting.h"
#include "tests/gui/IpConfigTesting.h"

namespace {

using namespace ipconfig_test;

void SelectFirstMaskField() {
    Field(4)->setFocus();
    Field(4)->selectAll();
}

// OK refuses the mask the row holds and selects its first field, inviting a retype.
void Refuse() {
    ClickControl(IDOK);
}

// An address pasted into the row, and the focus back to its first field by Shift+Tab.
void PasteThenBackToFirst() {
    QGuiApplication::clipboard()->setText(QStringLiteral("1.2.3.4"));
    Field(5)->setFocus();
    QTest::keyClick(Field(5), Qt::Key_V, Qt::ControlModifier);
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(FocusInTopDialog(), Qt::Key_Backtab);
    }
}

// The four octets of a dotted text, empty ones included ("..." is an empty row).
std::array<std::string, 4> Octets4(const std::string& dotted) {
    std::array<std::string, 4> octets;
    std::size_t from = 0;
    for (std::string& octet : octets) {
        const std::size_t dot = std::min(dotted.find('.', from), dotted.size());
        octet = dotted.substr(from, dot - from);
        from = dot + 1;
    }
    return octets;
}

// Whatever the mask row held and however the focus came to its first field, typing a dotted
// address there leaves exactly that address in the row, and every other row as it was.
TEST_F(IpConfigTest, AnAddressTypedOverARowIsExactlyThatAddress) {
    struct Case {
        const char* what;
        const char* held;
        void (*reach)();
        const char* typed;
        const char* expected;
        int focus;  // the field with the focus afterwards
    };
    const Case cases[] = {
        {"empty row", "...", SelectFirstMaskField, "255.255.255.0", "255.255.255.0", 7},
        {"filled row", "1.2.3.4", SelectFirstMaskField, "255.255.255.0", "255.255.255.0", 7},
        {"short octets between", "1.2.3.4", SelectFirstMaskField, "255.0.255.0", "255.0.255.0", 7},
        {"over three-digit octets", "192.168.100.200", SelectFirstMaskField, "10.0.0.1", "10.0.0.1",
         7},
        {"after the refusal", "255.0.255.0", Refuse, "255.255.255.0", "255.255.255.0", 7},
        {"after refusing 1.2.3.4", "1.2.3.4", Refuse, "255.255.0.0", "255.255.0.0", 7},
        {"after a paste", "...", PasteThenBackToFirst, "255.255.255.0", "255.255.255.0", 7},
        {"a dot after three digits stays", "1.2.3.4", SelectFirstMaskField, "255.", "255.2.3.4", 5},
        {"a second dot moves on", "1.2.3.4", SelectFirstMaskField, "255..9", "255.2.9.4", 6},
        {"digits alone", "1.2.3.4", SelectFirstMaskField, "255255255000", "255.255.255.000", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Octets held = kValid;
        Octets expected = kValid;
        for (std::size_t i = 0; i < 4; ++i) {
            held[4 + i] = Octets4(c.held)[i];
            expected[4 + i] = Octets4(c.expected)[i];
        }
        TestIpConfigDlg caseDialog;
        RunDialog(caseDialog, [&] {
            FillFixed(held);
            c.reach();
            ASSERT_EQ(FocusedControlId(), IDC_MASK_EDIT1);
            TypeIntoFocus(c.typed);
            EXPECT_EQ(FieldTexts(), expected);
            EXPECT_EQ(FocusedControlId(), IDC_IP_EDIT1 + c.focus);
        });
        EXPECT_TRUE(caseDialog.calls.empty());
    }
}

}  // namespace
