// The base of a modal dialog built from one control table: fixed size in
// dialog units, caption and close box only, OK (id 1) and Cancel (id 2)
// wired to accept and reject, and the controls looked up by id and type.
#pragma once

#include <QDialog>
#include <QString>
#include <span>

#include "dialog_table.h"

class QShowEvent;

namespace dialogkit {

/// The ids a table gives its OK and Cancel buttons, as dialog templates do.
inline constexpr int kOkId = 1;
inline constexpr int kCancelId = 2;

class TableDialog : public QDialog {
public:
    /// Builds `table` and sizes the dialog `widthUnits` x `heightUnits`.
    TableDialog(const QString& title, std::span<const ControlSpec> table, int widthUnits, int heightUnits,
                QWidget* parent);

    /// The control with `id`, or null when the table has none.
    QWidget* Control(int id) const;
    /// The control with `id` as the type it was built as (see dialogkit::Get).
    template <class Widget>
    Widget* Get(int id) const {
        return dialogkit::Get<Widget>(controls_, id);
    }
    const ControlMap& Controls() const { return controls_; }

    /// Shows the dialog's fields in its controls. Runs every time the dialog
    /// is opened, not when a window manager merely shows it again.
    virtual void InitDialog() = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    ControlMap controls_;
};

}  // namespace dialogkit
