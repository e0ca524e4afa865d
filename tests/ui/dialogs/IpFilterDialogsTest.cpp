#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <vector>

#include "DialogTestSupport.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/AutoBlockerDialog.h"
#include "ui/dialogs/ClientIpFilterDialog.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/EnterTextDialog.h"
#include "ui/dialogs/IpAddressEditorDialog.h"

namespace sarvo::ui::test {
namespace {

QStringList Rows(QListWidget* list) {
    QStringList rows;
    for (int row = 0; row < list->count(); ++row)
        rows.append(list->item(row)->text());
    return rows;
}

// Opens the editor with the button and types the address into it.
void EnterAddress(QWidget* dialog, const char* button, const QString& address) {
    WhenModalOpens([address](QWidget* editor) {
        TypeInto(Child<QLineEdit>(editor, kIpAddressField), address);
        Child<QPushButton>(editor, kOkButton)->click();
    });
    Child<QPushButton>(dialog, button)->click();
}

struct AddressCase {
    const char* text;
    bool okEnabled;
    IpFields fields;
};

class IpAddressEditorTest : public DialogTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(IpAddressEditorTest, OkNeedsFourNumbersBelow256NotAllZero) {
    const AddressCase& c = GetParam();
    IpAddressEditorDialog dialog(nullptr, IpFields{});
    TypeInto(Child<QLineEdit>(&dialog, kIpAddressField), QString::fromUtf8(c.text));
    EXPECT_EQ(Child<QPushButton>(&dialog, kOkButton)->isEnabled(), c.okEnabled);
    EXPECT_EQ(ParseIpFields(c.text), c.fields);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, IpAddressEditorTest,
    ::testing::Values(AddressCase{"10.0.0.255", true, {10, 0, 0, 255}},
                      AddressCase{"255.255.255.255", true, {255, 255, 255, 255}},
                      AddressCase{"0.0.0.1", true, {0, 0, 0, 1}}, AddressCase{"0.0.0.0", false, {0, 0, 0, 0}},
                      AddressCase{"", false, {0, 0, 0, 0}}, AddressCase{"256.1.1.1", false, {256, 1, 1, 1}},
                      AddressCase{"1.2.3", false, {0, 0, 0, 0}},
                      AddressCase{"1.2.3.4.5", false, {0, 0, 0, 0}},
                      AddressCase{"1..3.4", false, {0, 0, 0, 0}}, AddressCase{"1.2.3.", false, {0, 0, 0, 0}},
                      AddressCase{"a.b.c.d", false, {0, 0, 0, 0}},
                      AddressCase{"1.2.3.4 ", false, {0, 0, 0, 0}},
                      AddressCase{"99999999.1.1.1", false, {100000, 1, 1, 1}}),
    [](const auto& info) { return CaseName(info.index, info.param.text); });

TEST_F(DialogTest, IpAddressEditorShowsTheGivenAddressAndTakesAtMost15Characters) {
    IpAddressEditorDialog empty(nullptr, IpFields{});
    EXPECT_EQ(Child<QLineEdit>(&empty, kIpAddressField)->text(), QString());
    IpAddressEditorDialog dialog(nullptr, IpFields{192, 168, 1, 255});
    auto* field = Child<QLineEdit>(&dialog, kIpAddressField);
    EXPECT_EQ(field->text(), QStringLiteral("192.168.1.255"));
    TypeInto(field, QStringLiteral("111.111.111.1119"));
    EXPECT_EQ(field->text(), QStringLiteral("111.111.111.111"));
    Child<QPushButton>(&dialog, kOkButton)->click();
    EXPECT_EQ(dialog.Fields(), (IpFields{111, 111, 111, 111}));
}

TEST_F(DialogTest, ClientIpFilterAddsWithoutDuplicatesEditsWithoutTheTestAndStoresOnOkOnly) {
    ASSERT_TRUE(WriteIpFilterList({192, 168, 1, 255, 10, 0, 0, 1}));
    ASSERT_TRUE(WriteIpFilterType(kIpFilterForbidden));
    const std::vector<uint8_t> expected = {192, 168, 1, 255, 10, 0, 0, 255, 10, 0, 0, 255};
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        ClientIpFilterDialog dialog(nullptr);
        dialog.show();
        auto* list = Child<QListWidget>(&dialog, kIpFilterList);
        EXPECT_EQ(Rows(list), (QStringList{"192.168.1.255", "10.0.0.1"}));
        EXPECT_TRUE(Child<QRadioButton>(&dialog, kForbiddenList)->isChecked());
        EXPECT_FALSE(Child<QPushButton>(&dialog, kEditButton)->isEnabled());
        EXPECT_FALSE(Child<QPushButton>(&dialog, kRemoveButton)->isEnabled());

        EnterAddress(&dialog, kAddButton, QStringLiteral("10.0.0.255"));
        EnterAddress(&dialog, kAddButton, QStringLiteral("10.0.0.255"));
        EXPECT_EQ(Rows(list), (QStringList{"192.168.1.255", "10.0.0.1", "10.0.0.255"})) << "added once";
        list->setCurrentRow(1);
        EXPECT_TRUE(Child<QPushButton>(&dialog, kEditButton)->isEnabled());
        EXPECT_TRUE(Child<QPushButton>(&dialog, kRemoveButton)->isEnabled());
        EnterAddress(&dialog, kEditButton, QStringLiteral("10.0.0.255"));
        EXPECT_EQ(Rows(list), (QStringList{"192.168.1.255", "10.0.0.255", "10.0.0.255"}))
            << "an edit may duplicate";
        Child<QRadioButton>(&dialog, kAllowedOnlyList)->setChecked(true);
        Child<QPushButton>(&dialog, ok ? kOkButton : kCancelButton)->click();
    }
    EXPECT_EQ(ReadIpFilterList(), expected);
    EXPECT_EQ(ReadIpFilterType(), kIpFilterAllowedOnly);
}

TEST_F(DialogTest, ClientIpFilterRemovingEveryRowRemovesTheListAndTurnsTheFilterOff) {
    ASSERT_TRUE(WriteIpFilterList({10, 0, 0, 1, 10, 0, 0, 2}));
    ASSERT_TRUE(WriteIpFilterType(kIpFilterAllowedOnly));
    ClientIpFilterDialog dialog(nullptr);
    Child<QListWidget>(&dialog, kIpFilterList)->selectAll();
    Child<QPushButton>(&dialog, kRemoveButton)->click();
    EXPECT_FALSE(Child<QPushButton>(&dialog, kRemoveButton)->isEnabled());
    Child<QRadioButton>(&dialog, kFilterOff)->setChecked(true);
    Child<QPushButton>(&dialog, kOkButton)->click();
    EXPECT_TRUE(ReadIpFilterList().empty());
    EXPECT_EQ(ReadIpFilterType(), kIpFilterOff);
}

TEST_F(DialogTest, AutoBlockerRemovesSelectedAddressesAndStoresOnOkOnly) {
    ASSERT_TRUE(WriteAutoBlockList({203, 0, 113, 7, 198, 51, 100, 23, 192, 0, 2, 99}));
    ASSERT_TRUE(SetUseAutoBlockList(true));
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        AutoBlockerDialog dialog(nullptr);
        auto* list = Child<QListWidget>(&dialog, kAutoBlockList);
        auto* remove = Child<QPushButton>(&dialog, kRemoveButton);
        EXPECT_EQ(Rows(list), (QStringList{"203.0.113.7", "198.51.100.23", "192.0.2.99"}));
        EXPECT_TRUE(Child<QCheckBox>(&dialog, kEnableAutoBlockList)->isChecked());
        EXPECT_FALSE(remove->isEnabled());
        list->item(0)->setSelected(true);
        list->item(2)->setSelected(true);
        EXPECT_TRUE(remove->isEnabled());
        remove->click();
        EXPECT_FALSE(remove->isEnabled());
        Child<QCheckBox>(&dialog, kEnableAutoBlockList)->setChecked(false);
        Child<QPushButton>(&dialog, ok ? kOkButton : kCancelButton)->click();
    }
    EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{198, 51, 100, 23}))
        << "the row between the two removed";
    EXPECT_FALSE(UseAutoBlockList());
}

TEST_F(DialogTest, EnterTextNeedsTheMinimumLengthWithoutTheBlanksAround) {
    EnterTextDialog dialog(nullptr, 3);
    auto* field = Child<QLineEdit>(&dialog, kEnterTextField);
    auto* ok = Child<QPushButton>(&dialog, kOkButton);
    const struct {
        const char* text;
        bool enabled;
    } cases[] = {{"", false}, {"ab", false}, {"  ab  ", false}, {"abc", true}, {" a c ", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TypeInto(field, QString::fromUtf8(c.text));
        EXPECT_EQ(ok->isEnabled(), c.enabled);
    }
    EXPECT_EQ(field->maxLength(), 254);
    ok->click();
    EXPECT_EQ(dialog.Text(), QStringLiteral("a c"));
}

}  // namespace
}  // namespace sarvo::ui::test
