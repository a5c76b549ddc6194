// The about box: icon, version, legal notice and OK.
#include "about_dialog.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <cmath>

#include "dialog_table.h"

namespace {

using dialogkit::ControlKind;

constexpr int kIconId = 100;
constexpr int kOkId = 1;

// The icon's cell is 20 x 20 dialog units, the size of a standard icon.
constexpr dialogkit::ControlSpec kAboutControls[] = {
    {kIconId, ControlKind::Label, 11, 17, 20, 20, ""},
    {dialogkit::kNoId, ControlKind::Label, 40, 10, 119, 8, about::kVersion},
    {dialogkit::kNoId, ControlKind::Label, 40, 25, 135, 8, about::kLegalNotice},
    {kOkId, ControlKind::DefaultButton, 178, 7, 50, 14, "OK"},
};

QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 90, 160));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    QPainterPath wave;
    for (int x = 0; x <= size; ++x) {
        const double phase = 4.0 * M_PI * x / size;
        const double y = size / 2.0 - size * 0.3 * std::sin(phase) * std::exp(-x * 1.5 / size);
        if (x == 0)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    painter.setPen(QPen(Qt::white, std::max(1.0, size / 16.0)));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(wave);
    return pixmap;
}

}  // namespace

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
    return icon;
}

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(about::kTitle));
    dialogkit::SetFixedDialogSize(this, 235, 55);
    const auto controls = dialogkit::BuildControls(this, kAboutControls);
    auto* icon = dialogkit::Get<QLabel>(controls, kIconId);
    icon->setPixmap(ApplicationIcon().pixmap(icon->size()));
    connect(dialogkit::Get<QPushButton>(controls, kOkId), &QPushButton::clicked, this, &QDialog::accept);
}
