// The single way the program talks to the user: a modal warning box, or the
// sink a test installed in its place.
#include "messages.h"

#include <QMessageBox>
#include <utility>

namespace {

MessageSink& CurrentSink() {
    static MessageSink sink;
    return sink;
}

void ShowMessageBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(messages::kTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(CurrentSink(), std::move(sink)); }

void ShowMessage(QWidget* parent, const char* text) { ShowMessage(parent, QString::fromUtf8(text)); }

void ShowMessage(QWidget* parent, const QString& text) {
    if (const MessageSink& sink = CurrentSink()) {
        sink(parent, text);
    } else {
        ShowMessageBox(parent, text);
    }
}
