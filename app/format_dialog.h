// What the playback device dialog and the save format dialog share: a table-
// built dialog over the format fields, with the rate, channel and width
// groups, the Updating flag, and the order of initialisation and ReadControls.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <span>

#include "format_groups.h"
#include "table_dialog.h"

class CFormatDialog : public dialogkit::TableDialog, public FormatFields {
public:
    /// Builds `table` (which holds the controls of `groupIds`) and reads the
    /// controls back into the fields at every change of their state.
    CFormatDialog(const QString& title, std::span<const dialogkit::ControlSpec> table, int widthUnits, int heightUnits,
                  const FormatGroupIds& groupIds, QWidget* parent);
    ~CFormatDialog() override;

    /// 1 while the dialog writes its own controls; ReadControls ignores the
    /// change events that raises.
    std::int32_t Updating = 0;

    /// Shows the fields in the controls, then applies the enable rules.
    void InitDialog() override;
    /// Copies the controls into the fields, then applies the enable rules.
    /// Runs after every change of a control's state, whatever made it (mouse,
    /// keyboard or an accessibility action), except while Updating.
    void ReadControls();
    /// The custom-rate field only for a custom rate, and what a dialog adds.
    virtual void ApplyEnableRules();

protected:
    /// A dialog's own controls beyond the three groups: shown while Updating,
    /// and read after the groups.
    virtual void ShowOwnControls() {}
    virtual void ReadOwnControls() {}

private:
    std::unique_ptr<CFormatGroups> groups_;
};

/// Runs `dialog` modally on a copy of `record`: LoadFrom, then StoreInto on
/// OK. True when the user pressed OK.
template <class Dialog, class Record>
bool RunOnRecord(Dialog& dialog, Record& record) {
    dialog.LoadFrom(record);
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.StoreInto(record);
    return true;
}
