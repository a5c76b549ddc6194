// "保存フォーマットの設定": the modal dialog that edits a copy of the save
// format (rate, channels, bits per sample) of the file a save job writes.
#pragma once

#include "format_dialog.h"
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
/// record), runs it, and on OK takes the fields back (StoreInto). Every change
/// of a radio button or of the custom-rate text is copied into the fields at
/// once, so OK reads nothing more.
class CSaveFormatDialog : public CFormatDialog {
    Q_OBJECT
public:
    explicit CSaveFormatDialog(QWidget* parent = nullptr);
    ~CSaveFormatDialog() override;

    /// Sets the fields from `format`.
    void LoadFrom(const SaveFormat& format);
    /// Writes the fields back into `format`.
    void StoreInto(SaveFormat& format) const;
};
