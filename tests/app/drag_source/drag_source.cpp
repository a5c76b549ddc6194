// A stand-in for a file manager in the drop tests: a small window at the
// screen's top-left corner that, when pressed, drags the "text/uri-list"
// bytes given in hexadecimal as its one argument, exactly as given. It
// prints "ready" once its window is on screen, so the test knows where to press.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "raw_uri_list.h"

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(QByteArray uriList) : uriList_(std::move(uriList)) {
        setWindowTitle(QStringLiteral("drag source"));
        setGeometry(0, 0, 200, 200);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (announced_) return;
        announced_ = true;
        std::puts("ready");
        std::fflush(stdout);
    }
    void mousePressEvent(QMouseEvent*) override {
        auto* drag = new QDrag(this);
        drag->setMimeData(new apptest::RawUriList(uriList_));
        drag->exec(Qt::CopyAction);
        // The target asks for the bytes after the drop: stay a while to answer.
        QTimer::singleShot(2000, qApp, &QApplication::quit);
    }

private:
    QByteArray uriList_;
    bool announced_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    DragSource source{QByteArray::fromHex(argv[1])};
    source.show();
    return application.exec();
}
