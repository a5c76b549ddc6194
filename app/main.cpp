// Starts ZarevoPlusApp.
#include <QApplication>
#include <QDialog>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog window;
    window.setWindowTitle(QStringLiteral("ZarevoPlus Version 1.0"));
    window.show();
    return application.exec();
}
