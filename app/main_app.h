// CMainApp: the application object. It owns the QApplication and does nothing
// but run the main window.
#pragma once

#include <QApplication>

class CMainApp {
public:
    /// Sets up Qt for the program; `argc` and `argv` must outlive the object.
    CMainApp(int& argc, char** argv);
    /// Runs the main window modally with the plug-ins of the program's own
    /// folder; the window is destroyed (and shut down) before this returns.
    int Run();

private:
    QApplication application_;
};
