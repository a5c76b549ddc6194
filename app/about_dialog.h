// The about box, opened from the main window's context menu and by F1, and
// the application icon it shares with the main window.
#pragma once

#include <QDialog>
#include <QIcon>

namespace about {
inline constexpr char kTitle[] = "ZarevoPlus のﾊﾞｰｼﾞｮﾝ情報";
inline constexpr char kVersion[] = "ZarevoPlus Version 1.0";
inline constexpr char kLegalNotice[] = "Copyright (C) 2026 ZarevoPlus developers";
/// The menu entry that opens the about box.
inline constexpr char kMenuEntry[] = "ZarevoPlusApp のﾊﾞｰｼﾞｮﾝ情報(&A)...";
}  // namespace about

/// The program's icon: a waveform on a rounded square, drawn in code.
QIcon ApplicationIcon();

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    /// Builds the box (235 x 55 dialog units); exec() shows it, OK closes it.
    explicit CAboutDialog(QWidget* parent = nullptr);
};
