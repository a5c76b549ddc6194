// "保存フォーマットの設定": the modal dialog that edits a copy of the save
// format (rate, channels, bits per sample) of the file a save job writes.
#pragma once

#include <QDialog>
#include <cstdint>
#include <map>
#include <memory>

#include "format_groups.h"
#include "output_settings.h"

/// Control ids of the save format dialog.
enum SaveFormatControl : int {
    IDC_SAVE_RATE_44100 = 1132,
    IDC_SAVE_RATE_22050 = 1133,
    IDC_SAVE_RATE_11025 = 1134,
    IDC_SAVE_RATE_CUSTOM = 1135,
    IDC_SAVE_CUSTOM_RATE = 1136,
    IDC_SAVE_MONO = 1137,
    IDC_SAVE_STEREO = 1138,
    IDC_SAVE_8BIT = 1139,
    IDC_SAVE_16BIT = 1140,
};

/// The save format dialog. The caller sets the format fields (or LoadFrom a
/// record), runs it, and on OK takes the fields back (StoreInto). Every click
/// and every change of the custom-rate text is copied into the fields at once,
/// so OK reads nothing more.
class CSaveFormatDialog : public QDialog, public FormatFields {
    Q_OBJECT
public:
    explicit CSaveFormatDialog(QWidget* parent = nullptr);
    ~CSaveFormatDialog() override;

    /// 1 while the dialog writes its own controls; ReadControls ignores the
    /// change events that raises.
    std::int32_t Updating = 0;

    /// Sets the fields from `format`.
    void LoadFrom(const SaveFormat& format);
    /// Writes the fields back into `format`.
    void StoreInto(SaveFormat& format) const;

    /// Shows the fields in the controls. Runs each time the dialog is shown.
    void InitDialog();
    /// Copies the controls into the fields, then applies the enable rule.
    void ReadControls();

    /// The control with `id` (a SaveFormatControl, or 1 / 2 for OK / Cancel).
    QWidget* Control(int id) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::map<int, QWidget*> controls_;
    std::unique_ptr<CFormatGroups> groups_;
};
