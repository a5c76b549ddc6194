// The sample plug-in's panel, built from a control table in dialog units with
// the shared dialog builder. Ticking the box switches VocalCancel at once,
// also while a job runs; the effect picks it up at its next block.
#include "sample_panel.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include "dialog_table.h"
#include "vocal_cancel.h"

namespace {

constexpr int kPanelWidth = 357;  // dialog units, like every effect panel
constexpr int kPanelHeight = 146;
constexpr int kVocalCancelBox = 1006;

using dialogkit::ControlKind;
using dialogkit::kNoId;

constexpr dialogkit::ControlSpec kLayout[] = {
    {kNoId, ControlKind::Label, 15, 20, 100, 10, "プラグインのサンプル"},
    {kVocalCancelBox, ControlKind::CheckBox, 15, 35, 85, 10, "ボーカルキャンセル"},
    {kNoId, ControlKind::GroupBox, 15, 60, 145, 75, "\"sample\"プラグインの注意点"},
    {kNoId, ControlKind::Label, 25, 75, 120, 50,
     "\"original\" と同時に使用する場合は、エフェクトの順序を考慮する必要があります。"
     "例えば「ピッチを変更した結果に対してボーカルも消す」ような場合は説明書をよく読んで"
     "エフェクトの順序を考慮してください。"},
    {kNoId, ControlKind::GroupBox, 165, 15, 180, 120, "\"sample\"プラグインソースのコンパイル・リンクの仕方"},
    {kNoId, ControlKind::Label, 175, 35, 160, 60,
     "このプラグインは CMake のターゲット Zarevo_sample です。ソースの最上位フォルダで\n"
     "cmake --build build --target Zarevo_sample\n"
     "を実行すると、build/bin の ZarevoPlusApp と同じ場所に Zarevo_sample.so ができ、次の起動から読み込まれます。"},
};

/// The one panel; Qt deletes it early if its parent goes first.
QPointer<QWidget> PanelWindow;

}  // namespace

void* CreateSamplePanel(void* parent) {
    try {
        delete PanelWindow.data();  // a second call replaces the first panel
        auto* panel = new QWidget(static_cast<QWidget*>(parent));
        const auto controls = dialogkit::BuildControls(panel, kLayout);
        dialogkit::SetFixedDialogSize(panel, kPanelWidth, kPanelHeight);
        // Static texts wrap at their width, as dialog statics do.
        for (QLabel* label : panel->findChildren<QLabel*>()) label->setWordWrap(true);

        auto* box = dialogkit::Get<QCheckBox>(controls, kVocalCancelBox);
        box->setChecked(VocalCancel.load(std::memory_order_relaxed) != 0);
        // toggled: a click, Space and an accessibility action all count. The
        // box is set above, before the connection, so only the user's changes
        // reach the flag.
        QObject::connect(box, &QCheckBox::toggled, panel,
                         [](bool checked) { VocalCancel.store(checked ? 1 : 0, std::memory_order_relaxed); });

        panel->hide();  // the program shows it when its tab is selected
        PanelWindow = panel;
        return panel;
    } catch (...) {
        // Nothing may throw across the plug-in interface.
        return nullptr;
    }
}

int DestroySamplePanel() {
    if (!PanelWindow) return 0;
    delete PanelWindow.data();
    return 1;
}
