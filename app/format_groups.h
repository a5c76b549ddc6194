// The rate, channel and width groups that the playback device dialog and the
// save format dialog both show. One class shows a record's format in the
// radio buttons and the custom-rate field, reads them back and applies the
// field's enable rule, so the two dialogs cannot drift apart.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <map>

#include "output_settings.h"

class QAbstractButton;
class QButtonGroup;
class QLineEdit;
class QObject;
class QWidget;

/// The four format fields both dialogs edit, in the order of the records.
struct FormatFields {
    std::int32_t channels = 2;             ///< 1 mono, 2 stereo
    std::int32_t customRate = 48000;       ///< Hz for RATE_CUSTOM
    std::int32_t rateChoice = RATE_22050;  ///< a RateChoice
    std::int32_t bits = 16;                ///< 8 or 16
};

/// Copies the four format fields from `from` to `to`: a PlaybackSettings or
/// SaveFormat into a dialog's FormatFields, or back.
template <typename From, typename To>
void CopyFormat(const From& from, To& to) {
    to.channels = from.channels;
    to.customRate = from.customRate;
    to.rateChoice = from.rateChoice;
    to.bits = from.bits;
}

/// The decimal number at the start of a typed rate, read like strtol: leading
/// white space is skipped, one optional sign is taken, digits are read up to
/// the first other character, and a text that starts with no number gives 0.
/// Rationale: a number beyond 32 bits is clamped to the int32 range instead of
/// wrapping, so a long row of digits can never turn into a small or negative rate.
std::int32_t ParseCustomRate(const QString& text);

/// Control ids of one dialog's three groups and its custom-rate field.
struct FormatGroupIds {
    int rate44100, rate22050, rate11025, rateCustom;
    int customRateEdit;
    int mono, stereo;
    int bits8, bits16;
};

/// The three groups of one dialog, found among the controls it built.
class CFormatGroups {
public:
    /// `controls` is the id map the dialog builder returned; every id in
    /// `ids` must be in it. Names the custom-rate field for screen readers.
    CFormatGroups(const std::map<int, QWidget*>& controls, const FormatGroupIds& ids);

    /// Runs `onChange` after every change of state of one of the radio buttons
    /// (by the mouse, the keyboard, an accessibility action or the program)
    /// and every change of the custom-rate text.
    void ConnectChanges(QObject* context, const std::function<void()>& onChange);

    /// Shows `fields`: selects the rate radio, writes the custom rate ("%d"),
    /// then selects the width and the channel radio. Every radio is set or
    /// cleared explicitly, so a value outside a group leaves it all clear.
    void Show(const FormatFields& fields);

    /// Reads channels, bits, the rate choice and the custom rate back into
    /// `fields`; a group with nothing selected leaves its field unchanged.
    void Read(FormatFields& fields) const;

    /// The custom-rate field is usable only while the choice is RATE_CUSTOM.
    void ApplyCustomRateRule(const FormatFields& fields);

    QLineEdit* CustomRateEdit() const { return customRateEdit_; }

private:
    QAbstractButton* rate44100_;
    QAbstractButton* rate22050_;
    QAbstractButton* rate11025_;
    QAbstractButton* rateCustom_;
    QLineEdit* customRateEdit_;
    QAbstractButton* mono_;
    QAbstractButton* stereo_;
    QAbstractButton* bits8_;
    QAbstractButton* bits16_;
};
