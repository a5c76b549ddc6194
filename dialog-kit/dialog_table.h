// Dialogs are declared as tables of controls in dialog units; one builder turns
// a table into Qt widgets at absolute positions. The main window, the settings
// dialogs and the plug-in panels all build their controls through it.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <map>
#include <span>

namespace dialogkit {

enum class ControlKind {
    Label,  ///< static text
    Edit,   ///< single-line edit, scrolls horizontally
    PushButton,
    DefaultButton,  ///< push button that Enter presses
    CheckBox,
    RadioFirst,  ///< radio button that starts a new exclusive group
    Radio,       ///< radio button in the group of the last RadioFirst
    GroupBox,
    Slider,        ///< horizontal, no tick marks
    DropDownList,  ///< non-editable combo box; the height includes the open list
    TabControl,
};

/// No control id: the control is built but not put in the id map.
inline constexpr int kNoId = -1;

struct ControlSpec {
    int id;
    ControlKind kind;
    int x, y, width, height;  ///< dialog units
    const char* text;         ///< UTF-8
};

/// The dialog font: "MS PGothic" at 9 pt, with the IPA and Noto gothic faces
/// standing in where it is not installed.
QFont DialogFont();

/// Converts dialog units to pixels with a font's metrics: a horizontal unit is
/// a quarter of the average character width (the width of "A..Za..z" / 52), a
/// vertical unit an eighth of the character height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(int x, int y, int width, int height) const;
    QSize ToPixels(QSize units) const;

private:
    int averageCharWidth_;
    int charHeight_;
};

/// The controls of a built table, by id.
using ControlMap = std::map<int, QWidget*>;

/// Builds every control of `table` as a child of `parent`, in table order
/// (which is also the keyboard tab order), and returns the controls that have
/// an id. Each control's accessible name is its text; a control without text
/// (an edit, a slider, a list, a tab control) takes the text of the nearest
/// static text or group box before it in the table, the label a screen reader
/// would read for it.
/// Radio buttons form exclusive groups (QButtonGroup, owned by `parent`),
/// each starting at a RadioFirst. The parent's font becomes DialogFont().
ControlMap BuildControls(QWidget* parent, std::span<const ControlSpec> table);

/// The control `id` of `controls` as the widget type it was built as
/// (QLineEdit for an Edit, QCheckBox for a CheckBox, ...). The id must be in
/// the map and the type must match: both are mistakes in the code, asserted.
template <class Control>
Control* Get(const ControlMap& controls, int id) {
    auto* control = qobject_cast<Control*>(controls.at(id));
    Q_ASSERT(control);
    return control;
}

/// Gives `dialog` the fixed client size `width` x `height` in dialog units.
void SetFixedDialogSize(QWidget* dialog, int width, int height);

}  // namespace dialogkit
