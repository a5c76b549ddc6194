// The parameter panel's behaviour. Qt emits change signals also for values set
// by the program (setValue, setText, setRange); PanelUpdating drops those, so
// only the user's changes reach the parameter block.
#include "parameter_panel_widget.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <array>
#include <atomic>

#include "panel_layout.h"
#include "parameter_block.h"
#include "presets.h"
#include "value_text.h"

namespace parampanel {

namespace {

double Identity(double value) { return value; }

/// One slider-and-edit pair: its controls, its parameter and the conversions
/// between the parameter and the edit's text.
struct SliderEditPair {
    int sliderId;
    int editId;
    int minimum;
    int maximum;
    std::atomic<double>* parameter;
    double (*shownValue)(double parameter);  ///< the number the edit shows
    double (*typedValue)(double number);     ///< the parameter for a typed number
    int decimals;
};

const std::array<SliderEditPair, 4> kPairs{{
    {kPitchSlider, kPitchEdit, -1000, 1000, &PitchOctaves, Identity, Identity, 3},
    {kSpeedSlider, kSpeedEdit, -1000, 1000, &SpeedExponent, SpeedFactorOfExponent, SpeedExponentOfFactor, 3},
    {kReverbSlider, kReverbEdit, 0, 1000, &ReverbAmount, Identity, Identity, 3},
    {kApplySlider, kApplyEdit, 0, 1000, &ApplyRatio, PercentOfRatio, RatioOfPercent, 1},
}};

struct ChannelBox {
    int boxId;
    std::atomic<std::int32_t>* parameter;
};

const std::array<ChannelBox, 3> kChannelBoxes{{
    {kMonoBox, &ProcessMono},
    {kLeftBox, &ProcessLeft},
    {kRightBox, &ProcessRight},
}};

}  // namespace

CParameterPanel::CParameterPanel(QWidget* parent) : QWidget(parent) {
    controls_ = dialogkit::BuildControls(this, ParameterPanelLayout());
    dialogkit::SetFixedDialogSize(this, kPanelWidth, kPanelHeight);
    // Static texts wrap at their width, as dialog statics do.
    for (QLabel* label : findChildren<QLabel*>()) {
        label->setWordWrap(true);
        // Rationale: every static text here is one line, laid out for a font
        // with narrow digits; where one is wider in this font (the band labels
        // "11025" and "22050"), it grows to the right into the gap before the
        // next control instead of being cut off.
        const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
        if (textWidth > label->width()) label->resize(textWidth, label->height());
    }
    for (std::size_t band = 0; band < kBandBoxes.size(); ++band) {
        Get<QCheckBox>(kBandBoxes[band])->setAccessibleName(QString::fromUtf8(kBandLabels[band]) + " Hz");
    }
    ConnectControls();
    RefreshPanel(dialogkit::kNoId);
}

void CParameterPanel::ConnectControls() {
    for (std::size_t pair = 0; pair < kPairs.size(); ++pair) {
        // valueChanged covers dragging (the value follows the thumb), the
        // keyboard and clicks on the groove alike.
        connect(Get<QSlider>(kPairs[pair].sliderId), &QSlider::valueChanged, this,
                [this, pair](int position) { OnSliderMoved(pair, position); });
        connect(Get<QLineEdit>(kPairs[pair].editId), &QLineEdit::textChanged, this,
                [this, pair](const QString& text) { OnEditChanged(pair, text); });
    }
    // toggled, not clicked: Space and accessibility actions count as a click
    // does; the panel's own refreshes are dropped by PanelUpdating.
    for (int boxId : kBandBoxes) {
        connect(Get<QCheckBox>(boxId), &QCheckBox::toggled, this, [this] { OnBandToggled(); });
    }
    for (const ChannelBox& box : kChannelBoxes) {
        connect(Get<QCheckBox>(box.boxId), &QCheckBox::toggled, this, [this, id = box.boxId] { OnChannelToggled(id); });
    }
    for (const ParameterPreset& preset : ParameterPresets()) {
        connect(Get<QPushButton>(preset.buttonId), &QPushButton::clicked, this, [this, &preset] {
            StorePreset(preset);
            RefreshPanel(dialogkit::kNoId);
        });
    }
}

void CParameterPanel::RefreshPanel(int except) {
    panelUpdating_ = 1;
    for (const SliderEditPair& pair : kPairs) {
        Get<QSlider>(pair.sliderId)->setRange(pair.minimum, pair.maximum);
    }
    if (except != kBandBoxes[0]) {
        const std::int32_t mask = BandMask.load(kRelaxed);
        for (std::size_t band = 0; band < kBandBoxes.size(); ++band) {
            Get<QCheckBox>(kBandBoxes[band])->setChecked(((mask >> band) & 1) != 0);
        }
    }
    for (const ChannelBox& box : kChannelBoxes) {
        if (except != box.boxId) Get<QCheckBox>(box.boxId)->setChecked(box.parameter->load(kRelaxed) != 0);
    }
    for (const SliderEditPair& pair : kPairs) {
        if (except == pair.sliderId) continue;
        Get<QSlider>(pair.sliderId)
            ->setValue(SliderPositionFor(pair.parameter->load(kRelaxed), pair.minimum, pair.maximum));
    }
    for (const SliderEditPair& pair : kPairs) {
        if (except == pair.editId) continue;
        const double shown = pair.shownValue(pair.parameter->load(kRelaxed));
        Get<QLineEdit>(pair.editId)->setText(QString::fromStdString(FixedText(shown, pair.decimals)));
    }
    // Qt 6.4 gives screen readers a named label's name, not its text.
    const QString semitones = QString::fromStdString(SemitoneText(PitchOctaves.load(kRelaxed)));
    Get<QLabel>(kPitchSemitones)->setText(semitones);
    Get<QLabel>(kPitchSemitones)->setAccessibleDescription(semitones);
    panelUpdating_ = 0;
}

void CParameterPanel::OnSliderMoved(std::size_t pair, int position) {
    if (panelUpdating_) return;
    kPairs[pair].parameter->store(ValueOfSliderPosition(position), kRelaxed);
    RefreshPanel(kPairs[pair].sliderId);
}

void CParameterPanel::OnEditChanged(std::size_t pair, const QString& text) {
    if (panelUpdating_) return;
    const double number = DecimalValueOf(text.toStdString());
    kPairs[pair].parameter->store(kPairs[pair].typedValue(number), kRelaxed);
    // The edit being typed in is left alone: it keeps exactly what was typed.
    RefreshPanel(kPairs[pair].editId);
}

void CParameterPanel::OnBandToggled() {
    if (panelUpdating_) return;
    // Rationale: only the nine shown bands are kept; any higher bit of the
    // initial all-ones mask is cleared by the first change.
    std::int32_t mask = 0;
    for (std::size_t band = 0; band < kBandBoxes.size(); ++band) {
        if (Get<QCheckBox>(kBandBoxes[band])->isChecked()) mask |= std::int32_t{1} << band;
    }
    BandMask.store(mask, kRelaxed);
    RefreshPanel(kBandBoxes[0]);
}

void CParameterPanel::OnChannelToggled(int boxId) {
    if (panelUpdating_) return;
    for (const ChannelBox& box : kChannelBoxes) {
        if (box.boxId == boxId) box.parameter->store(Get<QCheckBox>(boxId)->isChecked() ? 1 : 0, kRelaxed);
    }
    RefreshPanel(boxId);
}

}  // namespace parampanel
