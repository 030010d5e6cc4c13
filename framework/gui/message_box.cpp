#include "framework/gui/message_box.h"

#include "framework/core/debug_log.h"
#include "framework/gui/qt_text_p.h"
#include "framework/gui/quit_signals_p.h"
#include "framework/gui/runtime.h"

#include <QApplication>
#include <QMessageBox>

namespace fw {

namespace {
MessageBoxAutoAnswer* activeAutoAnswer = nullptr;
} // namespace

void MsgBox(const String& message) {
    MessageBox(message);
}

std::int64_t MessageBox(const String& message) {
    if (activeAutoAnswer) {
        activeAutoAnswer->texts_.push_back(message.Bytes());
        return 1;
    }
    // Quitting on a termination signal (logout, a service manager): a box shown now, by a Close
    // event for instance, would hold the quit until someone answers it, and nobody will.
    if (TerminationRequested()) {
        DebugLog(message);
        return 1;
    }
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(ApplicationName()));
    // Plain text, as labels show it: a group name or a file's text is never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(qtText(message));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return 1;
}

MessageBoxAutoAnswer::MessageBoxAutoAnswer() : previous_(activeAutoAnswer) {
    activeAutoAnswer = this;
}

MessageBoxAutoAnswer::~MessageBoxAutoAnswer() {
    activeAutoAnswer = previous_;
}

} // namespace fw
