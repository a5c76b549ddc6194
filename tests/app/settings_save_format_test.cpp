// Tests of the save format dialog: what it shows on opening, how clicks and
// typing reach its fields, the enable rule of the custom-rate field, and that
// only OK writes the record back. The QApplication comes from the app tests'
// support.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <limits>
#include <vector>

#include "app_test_support.h"
#include "save_format_dialog.h"
#include "settings_dialogs.h"

namespace {

using apptest::Focus;
using apptest::PressKey;

class SaveFormatDialog : public ::testing::Test {
protected:
    static QAbstractButton* Button(const CSaveFormatDialog& dialog, int id) {
        auto* button = qobject_cast<QAbstractButton*>(dialog.Control(id));
        EXPECT_NE(button, nullptr) << id;
        return button;
    }
    static QLineEdit* CustomField(const CSaveFormatDialog& dialog) {
        return qobject_cast<QLineEdit*>(dialog.Control(IDC_SAVE_CUSTOM_RATE));
    }
    /// The ids of the checked radio buttons, in id order.
    static std::vector<int> CheckedRadios(const CSaveFormatDialog& dialog) {
        return apptest::CheckedRadios(dialog, IDC_SAVE_RATE_44100, IDC_SAVE_16BIT);
    }
    /// Runs EditSaveFormat on `format`, doing `act` on the open dialog.
    static bool EditWith(SaveFormat& format, const std::function<void(CSaveFormatDialog&)>& act) {
        return apptest::WithModalDialog<CSaveFormatDialog>([&] { return EditSaveFormat(nullptr, format); }, act);
    }
};

}  // namespace

TEST_F(SaveFormatDialog, OpensWithTheDefaultsShown) {
    CSaveFormatDialog dialog;
    dialog.LoadFrom(SaveFormat{});
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("保存フォーマットの設定"));
    EXPECT_EQ(CheckedRadios(dialog), (std::vector<int>{IDC_SAVE_RATE_22050, IDC_SAVE_STEREO, IDC_SAVE_16BIT}));
    EXPECT_EQ(CustomField(dialog)->text(), QStringLiteral("48000"));
    EXPECT_FALSE(CustomField(dialog)->isEnabled());
    EXPECT_EQ(dialog.Updating, 0);
}

TEST_F(SaveFormatDialog, ShowsEveryChoiceOfTheRecord) {
    SaveFormat format;
    format.channels = 1;
    format.bits = 8;
    format.rateChoice = RATE_CUSTOM;
    format.customRate = -12;
    CSaveFormatDialog dialog;
    dialog.LoadFrom(format);
    dialog.show();
    EXPECT_EQ(CheckedRadios(dialog), (std::vector<int>{IDC_SAVE_RATE_CUSTOM, IDC_SAVE_MONO, IDC_SAVE_8BIT}));
    EXPECT_EQ(CustomField(dialog)->text(), QStringLiteral("-12"));
    EXPECT_TRUE(CustomField(dialog)->isEnabled());
}

TEST_F(SaveFormatDialog, ValuesOutsideAGroupLeaveItClearAndUnchanged) {
    CSaveFormatDialog dialog;
    dialog.rateChoice = 7;
    dialog.channels = 3;
    dialog.bits = 24;
    dialog.show();
    EXPECT_TRUE(CheckedRadios(dialog).empty());
    EXPECT_FALSE(CustomField(dialog)->isEnabled());
    // A click in one group reads every group; the empty ones keep their fields.
    Button(dialog, IDC_SAVE_8BIT)->click();
    EXPECT_EQ(dialog.bits, 8);
    EXPECT_EQ(dialog.rateChoice, 7);
    EXPECT_EQ(dialog.channels, 3);
}

TEST_F(SaveFormatDialog, ReopeningClearsWhatTheLastRunLeftChecked) {
    CSaveFormatDialog dialog;
    dialog.show();
    Button(dialog, IDC_SAVE_MONO)->click();
    dialog.hide();
    dialog.channels = 0;
    dialog.show();
    EXPECT_FALSE(Button(dialog, IDC_SAVE_MONO)->isChecked());
    EXPECT_FALSE(Button(dialog, IDC_SAVE_STEREO)->isChecked());
    // The group stays exclusive for the user afterwards.
    Button(dialog, IDC_SAVE_MONO)->click();
    Button(dialog, IDC_SAVE_STEREO)->click();
    EXPECT_FALSE(Button(dialog, IDC_SAVE_MONO)->isChecked());
    EXPECT_EQ(dialog.channels, 2);
}

TEST_F(SaveFormatDialog, CustomEnablesTheFieldAndAnotherRateDisablesItKeepingTheText) {
    CSaveFormatDialog dialog;
    dialog.show();
    Button(dialog, IDC_SAVE_RATE_CUSTOM)->click();
    EXPECT_EQ(dialog.rateChoice, RATE_CUSTOM);
    EXPECT_TRUE(CustomField(dialog)->isEnabled());

    CustomField(dialog)->selectAll();
    CustomField(dialog)->insert(QStringLiteral("8000"));
    EXPECT_EQ(dialog.customRate, 8000);

    Button(dialog, IDC_SAVE_RATE_44100)->click();
    EXPECT_EQ(dialog.rateChoice, RATE_44100);
    EXPECT_FALSE(CustomField(dialog)->isEnabled());
    EXPECT_EQ(CustomField(dialog)->text(), QStringLiteral("8000"));
    EXPECT_EQ(dialog.customRate, 8000);
    EXPECT_EQ(ResolveRate(dialog.rateChoice, dialog.customRate), 44100);
}

TEST_F(SaveFormatDialog, TypedTextIsReadAtEveryChange) {
    CSaveFormatDialog dialog;
    dialog.show();
    Button(dialog, IDC_SAVE_RATE_CUSTOM)->click();
    CustomField(dialog)->clear();
    EXPECT_EQ(dialog.customRate, 0);
    CustomField(dialog)->insert(QStringLiteral("abc"));
    EXPECT_EQ(dialog.customRate, 0);
    CustomField(dialog)->setText(QStringLiteral("1"));
    CustomField(dialog)->insert(QStringLiteral("6000x"));
    EXPECT_EQ(dialog.customRate, 16000);
    CustomField(dialog)->setText(QStringLiteral("99999999999"));
    EXPECT_EQ(dialog.customRate, std::numeric_limits<std::int32_t>::max());
}

TEST_F(SaveFormatDialog, OkWritesTheChosenFormatBack) {
    SaveFormat format;
    const bool accepted = EditWith(format, [](CSaveFormatDialog& dialog) {
        Button(dialog, IDC_SAVE_MONO)->click();
        Button(dialog, IDC_SAVE_8BIT)->click();
        Button(dialog, IDC_SAVE_RATE_11025)->click();
        Button(dialog, 1)->click();
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(format.channels, 1);
    EXPECT_EQ(format.bits, 8);
    EXPECT_EQ(format.rateChoice, RATE_11025);
    EXPECT_EQ(format.customRate, 48000);
    EXPECT_EQ(ResolveRate(format), 11025);
}

TEST_F(SaveFormatDialog, EnterInTheCustomFieldPressesOk) {
    SaveFormat format;
    const bool accepted = EditWith(format, [](CSaveFormatDialog& dialog) {
        Button(dialog, IDC_SAVE_RATE_CUSTOM)->click();
        CustomField(dialog)->setText(QStringLiteral("32000"));
        PressKey(CustomField(dialog), Qt::Key_Return);
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(format.rateChoice, RATE_CUSTOM);
    EXPECT_EQ(format.customRate, 32000);
}

TEST_F(SaveFormatDialog, CancelButtonEscapeAndCloseBoxChangeNothing) {
    const std::vector<std::function<void(CSaveFormatDialog&)>> cancels{
        [](CSaveFormatDialog& dialog) { Button(dialog, 2)->click(); },
        [](CSaveFormatDialog& dialog) { PressKey(&dialog, Qt::Key_Escape); },
        [](CSaveFormatDialog& dialog) { dialog.close(); },
    };
    for (const auto& cancel : cancels) {
        SaveFormat format;
        format.rateChoice = RATE_44100;
        bool closedByCancel = false;
        const bool accepted = EditWith(format, [&](CSaveFormatDialog& dialog) {
            Button(dialog, IDC_SAVE_MONO)->click();
            Button(dialog, IDC_SAVE_8BIT)->click();
            Button(dialog, IDC_SAVE_RATE_CUSTOM)->click();
            CustomField(dialog)->setText(QStringLiteral("8000"));
            cancel(dialog);
            closedByCancel = !dialog.isVisible();
        });
        EXPECT_TRUE(closedByCancel);
        EXPECT_FALSE(accepted);
        EXPECT_EQ(format.channels, 2);
        EXPECT_EQ(format.bits, 16);
        EXPECT_EQ(format.rateChoice, RATE_44100);
        EXPECT_EQ(format.customRate, 48000);
    }
}

// What the keyboard and accessibility actions change is what OK stores, as
// with clicks: radios set without a click (setChecked, toggle), the arrow
// keys inside a group, Space, and typing into the custom-rate field.
TEST_F(SaveFormatDialog, KeyboardAndAccessibilityChangesAreWhatOkStores) {
    SaveFormat format;
    ASSERT_TRUE(EditWith(format, [](CSaveFormatDialog& dialog) {
        Button(dialog, IDC_SAVE_RATE_11025)->setChecked(true);
        Button(dialog, IDC_SAVE_MONO)->toggle();
        Focus(Button(dialog, IDC_SAVE_16BIT));
        QTest::keyClick(Button(dialog, IDC_SAVE_16BIT), Qt::Key_Up);
        EXPECT_TRUE(Button(dialog, IDC_SAVE_8BIT)->isChecked());
        dialog.accept();
    }));
    EXPECT_EQ(format.rateChoice, RATE_11025);
    EXPECT_EQ(format.channels, 1);
    EXPECT_EQ(format.bits, 8);

    ASSERT_TRUE(EditWith(format, [](CSaveFormatDialog& dialog) {
        Button(dialog, IDC_SAVE_RATE_CUSTOM)->setChecked(true);
        EXPECT_TRUE(CustomField(dialog)->isEnabled());
        CustomField(dialog)->selectAll();
        QTest::keyClicks(CustomField(dialog), QStringLiteral("8000"));
        Focus(Button(dialog, IDC_SAVE_STEREO));
        QTest::keyClick(Button(dialog, IDC_SAVE_STEREO), Qt::Key_Space);
        dialog.accept();
    }));
    EXPECT_EQ(format.rateChoice, RATE_CUSTOM);
    EXPECT_EQ(format.customRate, 8000);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.bits, 8);
}
