// The application object: runs the main window once, then ends.
#include "main_app.h"

#include <cstdio>
#include <csignal>
#include <cstdlib>

#include "close_signals.h"
#include "main_dialog.h"
#include "messages.h"
#include "plugin_scan.h"

CMainApp::CMainApp(int& argc, char** argv) : application_(argc, argv) {
    QApplication::setApplicationName(QString::fromUtf8(messages::kTitle));
}

int CMainApp::Run() {
    {
        CMainDialog window(ProgramFolder());
        window.exec();
    }
    if (const int signal = CloseSignals::Caught()) {
        // Closed for a signal, with the save's file in place: the process
        // ends by that signal, so whoever sent it sees it obeyed.
        std::fflush(nullptr);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    if (CMainDialog::WorkerAbandoned()) {
        // A plug-in still holds the worker: the normal exit would destroy
        // what that thread uses under it. The output is already in place.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
