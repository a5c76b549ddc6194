// The table-built dialog base: building, fixed size, OK and Cancel, and the
// initialisation at every opening.
#include "table_dialog.h"

#include <QPushButton>
#include <QShowEvent>

namespace dialogkit {

TableDialog::TableDialog(const QString& title, std::span<const ControlSpec> table, int widthUnits, int heightUnits,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    // Caption and close box only: no help button, no resizing.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    controls_ = BuildControls(this, table);
    SetFixedDialogSize(this, widthUnits, heightUnits);
    if (controls_.contains(kOkId)) connect(Get<QPushButton>(kOkId), &QPushButton::clicked, this, &QDialog::accept);
    if (controls_.contains(kCancelId)) {
        connect(Get<QPushButton>(kCancelId), &QPushButton::clicked, this, &QDialog::reject);
    }
}

QWidget* TableDialog::Control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void TableDialog::showEvent(QShowEvent* event) {
    // Every run of the dialog starts from its fields, as each modal run
    // initialises its controls afresh; a window manager's re-show does not.
    if (!event->spontaneous()) InitDialog();
    QDialog::showEvent(event);
}

}  // namespace dialogkit
