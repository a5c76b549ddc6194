// The application object: runs the main window once, then ends.
#include "main_app.h"

#include "main_dialog.h"
#include "messages.h"
#include "plugin_scan.h"

CMainApp::CMainApp(int& argc, char** argv) : application_(argc, argv) {
    QApplication::setApplicationName(QString::fromUtf8(messages::kTitle));
}

int CMainApp::Run() {
    CMainDialog window(ProgramFolder());
    window.exec();
    return 0;
}
