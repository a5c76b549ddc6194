// Builds the widgets of a dialog table. Positions are absolute, converted from
// dialog units with the dialog font, so a layout reads like its table.
#include "dialog_table.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QWidget>

namespace dialogkit {

QFont DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSize(9);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabetWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Rationale: the classic rule rounds the 52-letter average to the nearest pixel.
    averageCharWidth_ = (alphabetWidth / 26 + 1) / 2;
    charHeight_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const { return units * averageCharWidth_ / 4; }
int DialogUnits::ToPixelsY(int units) const { return units * charHeight_ / 8; }

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QSize DialogUnits::ToPixels(QSize units) const { return QSize(ToPixelsX(units.width()), ToPixelsY(units.height())); }

namespace {

QWidget* CreateControl(QWidget* parent, const ControlSpec& spec, QButtonGroup*& radioGroup) {
    const QString text = QString::fromUtf8(spec.text ? spec.text : "");
    switch (spec.kind) {
    case ControlKind::Label: return new QLabel(text, parent);
    case ControlKind::Edit: return new QLineEdit(text, parent);
    case ControlKind::PushButton: return new QPushButton(text, parent);
    case ControlKind::DefaultButton: {
        auto* button = new QPushButton(text, parent);
        button->setDefault(true);
        return button;
    }
    case ControlKind::CheckBox: return new QCheckBox(text, parent);
    case ControlKind::RadioFirst: radioGroup = new QButtonGroup(parent); [[fallthrough]];
    case ControlKind::Radio: {
        auto* radio = new QRadioButton(text, parent);
        if (!radioGroup) radioGroup = new QButtonGroup(parent);
        radioGroup->addButton(radio, spec.id);
        return radio;
    }
    case ControlKind::GroupBox: return new QGroupBox(text, parent);
    case ControlKind::Slider: {
        auto* slider = new QSlider(Qt::Horizontal, parent);
        slider->setTickPosition(QSlider::NoTicks);
        return slider;
    }
    case ControlKind::DropDownList: return new QComboBox(parent);
    case ControlKind::TabControl: return new QTabWidget(parent);
    }
    return nullptr;
}

}  // namespace

ControlMap BuildControls(QWidget* parent, std::span<const ControlSpec> table) {
    parent->setFont(DialogFont());
    const DialogUnits units(parent->font());
    ControlMap controls;
    QButtonGroup* radioGroup = nullptr;
    const char* lastLabel = nullptr;
    for (const ControlSpec& spec : table) {
        QWidget* control = CreateControl(parent, spec, radioGroup);
        QRect rect = units.ToPixels(spec.x, spec.y, spec.width, spec.height);
        if (spec.kind == ControlKind::DropDownList) {
            // The table's height includes the open list; the closed box keeps
            // its natural height.
            rect.setHeight(control->sizeHint().height());
        }
        control->setGeometry(rect);
        const bool hasText = spec.text && *spec.text;
        if (hasText && (spec.kind == ControlKind::Label || spec.kind == ControlKind::GroupBox)) lastLabel = spec.text;
        const char* name = hasText ? spec.text : lastLabel;
        if (name) control->setAccessibleName(QString::fromUtf8(name));
        if (spec.kind == ControlKind::GroupBox) control->lower();
        if (spec.id != kNoId) {
            control->setObjectName(QStringLiteral("control%1").arg(spec.id));
            controls[spec.id] = control;
        }
    }
    return controls;
}

void SetFixedDialogSize(QWidget* dialog, int width, int height) {
    dialog->setFont(DialogFont());
    const DialogUnits units(dialog->font());
    dialog->setFixedSize(units.ToPixelsX(width), units.ToPixelsY(height));
}

}  // namespace dialogkit
