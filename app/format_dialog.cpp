// The shared part of the two settings dialogs: initialisation and ReadControls
// over the format groups.
#include "format_dialog.h"

CFormatDialog::CFormatDialog(const QString& title, std::span<const dialogkit::ControlSpec> table, int widthUnits,
                             int heightUnits, const FormatGroupIds& groupIds, QWidget* parent)
    : TableDialog(title, table, widthUnits, heightUnits, parent),
      groups_(std::make_unique<CFormatGroups>(Controls(), groupIds)) {
    groups_->ConnectChanges(this, [this] { ReadControls(); });
}

CFormatDialog::~CFormatDialog() = default;

void CFormatDialog::InitDialog() {
    Updating = 1;
    groups_->Show(*this);
    ShowOwnControls();
    Updating = 0;
    ApplyEnableRules();
}

void CFormatDialog::ReadControls() {
    if (Updating == 1) return;
    groups_->Read(*this);
    ReadOwnControls();
    ApplyEnableRules();
}

void CFormatDialog::ApplyEnableRules() { groups_->ApplyCustomRateRule(*this); }
