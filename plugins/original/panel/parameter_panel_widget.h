// The standard plug-in's parameter panel: four slider-and-edit pairs, nine
// band boxes, three channel boxes and five preset buttons over the parameter
// block. Every change is written to the block at once and the other controls
// are refreshed from it.
#pragma once

#include <QWidget>

#include "dialog_table.h"

namespace parampanel {

/// The panel widget. Runs on the window thread only; it is the block's only writer.
class CParameterPanel final : public QWidget {
public:
    /// Builds the controls as a child of `parent` and shows the block's values.
    explicit CParameterPanel(QWidget* parent);

    /// Sets every control from the parameter block, except the control with id
    /// `except` (dialogkit::kNoId: none). The first band box stands for all
    /// nine. Change signals that the refresh itself causes are ignored.
    void RefreshPanel(int except);

    /// True only while RefreshPanel rewrites the controls.
    bool IsUpdating() const { return panelUpdating_ != 0; }

private:
    void ConnectControls();
    void OnSliderMoved(std::size_t pair, int position);
    void OnEditChanged(std::size_t pair, const QString& text);
    void OnBandToggled();
    void OnChannelToggled(int boxId);

    template <class Control>
    Control* Get(int id) const {
        return dialogkit::Get<Control>(controls_, id);
    }

    dialogkit::ControlMap controls_;
    int panelUpdating_ = 0;
};

}  // namespace parampanel
