// The save format dialog: its control table; initialisation and ReadControls
// are those of every format dialog.
#include "save_format_dialog.h"

#include <array>

#include "dialog_table.h"

namespace {

using dialogkit::ControlKind;
using dialogkit::ControlSpec;
using dialogkit::kNoId;

constexpr std::array kSaveFormatTable{
    ControlSpec{kNoId, ControlKind::GroupBox, 10, 10, 150, 60, "レート"},
    ControlSpec{IDC_SAVE_RATE_44100, ControlKind::RadioFirst, 21, 25, 55, 10, "44100 Hz"},
    ControlSpec{IDC_SAVE_RATE_22050, ControlKind::Radio, 21, 40, 55, 10, "22050 Hz"},
    ControlSpec{IDC_SAVE_RATE_11025, ControlKind::Radio, 21, 55, 55, 10, "11025 Hz"},
    ControlSpec{IDC_SAVE_RATE_CUSTOM, ControlKind::Radio, 86, 25, 55, 10, "任意"},
    ControlSpec{IDC_SAVE_CUSTOM_RATE, ControlKind::Edit, 86, 45, 55, 15, ""},
    ControlSpec{kNoId, ControlKind::Label, 141, 50, 15, 10, "Hz"},
    ControlSpec{kNoId, ControlKind::GroupBox, 166, 10, 65, 60, "チャンネル数"},
    ControlSpec{IDC_SAVE_MONO, ControlKind::RadioFirst, 175, 30, 40, 10, "モノラル"},
    ControlSpec{IDC_SAVE_STEREO, ControlKind::Radio, 175, 46, 40, 10, "ステレオ"},
    ControlSpec{kNoId, ControlKind::GroupBox, 237, 10, 65, 60, "量子化"},
    ControlSpec{IDC_SAVE_8BIT, ControlKind::RadioFirst, 246, 30, 40, 10, "8bit"},
    ControlSpec{IDC_SAVE_16BIT, ControlKind::Radio, 246, 46, 40, 10, "16bit"},
    ControlSpec{dialogkit::kOkId, ControlKind::DefaultButton, 201, 80, 50, 14, "OK"},
    ControlSpec{dialogkit::kCancelId, ControlKind::PushButton, 250, 80, 50, 14, "ｷｬﾝｾﾙ"},
};

constexpr FormatGroupIds kSaveFormatGroupIds{
    IDC_SAVE_RATE_44100, IDC_SAVE_RATE_22050, IDC_SAVE_RATE_11025, IDC_SAVE_RATE_CUSTOM, IDC_SAVE_CUSTOM_RATE,
    IDC_SAVE_MONO,       IDC_SAVE_STEREO,     IDC_SAVE_8BIT,       IDC_SAVE_16BIT,
};

}  // namespace

CSaveFormatDialog::CSaveFormatDialog(QWidget* parent)
    : CFormatDialog(QStringLiteral("保存フォーマットの設定"), kSaveFormatTable, 319, 105, kSaveFormatGroupIds, parent) {
}

CSaveFormatDialog::~CSaveFormatDialog() = default;

void CSaveFormatDialog::LoadFrom(const SaveFormat& format) { CopyFormat(format, *this); }

void CSaveFormatDialog::StoreInto(SaveFormat& format) const { CopyFormat(*this, format); }
