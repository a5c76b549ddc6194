// The application object: runs the main window once, then ends.
#include "main_app.h"

#include <cstdio>
#include <cstdlib>

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
    if (CMainDialog::WorkerAbandoned()) {
        // A plug-in still holds the worker: the normal exit would destroy
        // what that thread uses under it. The output is already in place.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
