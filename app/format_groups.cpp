// Shows and reads the rate, channel and width groups of the two settings
// dialogs, and parses the typed custom rate.
#include "format_groups.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <initializer_list>
#include <limits>
#include <utility>

#include "dialog_table.h"
#include "output_settings.h"

std::int32_t ParseCustomRate(const QString& text) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    qsizetype at = 0;
    // The C locale's white space, as strtol skips it.
    while (at < text.size() && (text[at] == u' ' || (text[at] >= u'\t' && text[at] <= u'\r'))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        ++at;
    }
    // Accumulate the magnitude towards the sign, stopping once it is beyond
    // the range, so no amount of digits can overflow.
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        if (value <= kMax) value = value * 10 + (text[at].unicode() - u'0');
    }
    if (negative) return static_cast<std::int32_t>(-value < kMin ? kMin : -value);
    return static_cast<std::int32_t>(value > kMax ? kMax : value);
}

namespace {

/// Sets or clears each button of one radio group. The group is made
/// non-exclusive meanwhile: an exclusive group refuses to clear its last
/// checked button, and a value outside the group must leave it all clear.
void SetGroup(std::initializer_list<std::pair<QAbstractButton*, bool>> states) {
    QButtonGroup* group = states.begin()->first->group();
    const bool exclusive = group && group->exclusive();
    if (group) group->setExclusive(false);
    for (const auto& [button, checked] : states) button->setChecked(checked);
    if (group) group->setExclusive(exclusive);
}

}  // namespace

CFormatGroups::CFormatGroups(const std::map<int, QWidget*>& controls, const FormatGroupIds& ids)
    : rate44100_(dialogkit::Get<QAbstractButton>(controls, ids.rate44100)),
      rate22050_(dialogkit::Get<QAbstractButton>(controls, ids.rate22050)),
      rate11025_(dialogkit::Get<QAbstractButton>(controls, ids.rate11025)),
      rateCustom_(dialogkit::Get<QAbstractButton>(controls, ids.rateCustom)),
      customRateEdit_(dialogkit::Get<QLineEdit>(controls, ids.customRateEdit)),
      mono_(dialogkit::Get<QAbstractButton>(controls, ids.mono)),
      stereo_(dialogkit::Get<QAbstractButton>(controls, ids.stereo)),
      bits8_(dialogkit::Get<QAbstractButton>(controls, ids.bits8)),
      bits16_(dialogkit::Get<QAbstractButton>(controls, ids.bits16)) {
    // The field has no text of its own: a screen reader names it after the
    // radio it belongs to and the unit beside it.
    customRateEdit_->setAccessibleName(rateCustom_->text() + QStringLiteral(" (Hz)"));
}

void CFormatGroups::ConnectChanges(QObject* context, const std::function<void()>& onChange) {
    // toggled, not clicked: a radio chosen with the arrow keys or through an
    // accessibility action counts as a click does. Show() writes the radios
    // itself; the dialog ignores those changes while it is Updating.
    for (QAbstractButton* radio : {rate44100_, rate22050_, rate11025_, rateCustom_, mono_, stereo_, bits8_, bits16_}) {
        QObject::connect(radio, &QAbstractButton::toggled, context, [onChange] { onChange(); });
    }
    QObject::connect(customRateEdit_, &QLineEdit::textChanged, context, [onChange] { onChange(); });
}

void CFormatGroups::Show(const FormatFields& fields) {
    SetGroup({{rate44100_, fields.rateChoice == RATE_44100},
              {rate22050_, fields.rateChoice == RATE_22050},
              {rate11025_, fields.rateChoice == RATE_11025},
              {rateCustom_, fields.rateChoice == RATE_CUSTOM}});
    customRateEdit_->setText(QString::number(fields.customRate));
    SetGroup({{bits8_, fields.bits == 8}, {bits16_, fields.bits == 16}});
    SetGroup({{mono_, fields.channels == 1}, {stereo_, fields.channels == 2}});
}

void CFormatGroups::Read(FormatFields& fields) const {
    if (mono_->isChecked()) fields.channels = 1;
    if (stereo_->isChecked()) fields.channels = 2;
    if (bits8_->isChecked()) fields.bits = 8;
    if (bits16_->isChecked()) fields.bits = 16;
    if (rate11025_->isChecked()) fields.rateChoice = RATE_11025;
    if (rate22050_->isChecked()) fields.rateChoice = RATE_22050;
    if (rate44100_->isChecked()) fields.rateChoice = RATE_44100;
    if (rateCustom_->isChecked()) fields.rateChoice = RATE_CUSTOM;
    fields.customRate = ParseCustomRate(customRateEdit_->text());
}

void CFormatGroups::ApplyCustomRateRule(const FormatFields& fields) {
    customRateEdit_->setEnabled(fields.rateChoice == RATE_CUSTOM);
}
