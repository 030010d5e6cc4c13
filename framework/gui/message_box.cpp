#include "framework/gui/message_box.h"

#include "framework/core/debug_log.h"
#include "framework/gui/message_box_p.h"
#include "framework/gui/qt_text_p.h"
#include "framework/gui/quit_signals_p.h"
#include "framework/gui/runtime.h"
#include "framework/gui/runtime_p.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <algorithm>

namespace fw {

namespace {
MessageBoxAutoAnswer* activeAutoAnswer = nullptr;
MessageBoxLeftOpen* activeLeftOpen = nullptr;
std::uint64_t hooksInstalled = 0; // the innermost hook, the latest installed, decides

std::vector<QPointer<QMessageBox>>& openBoxes() {
    static std::vector<QPointer<QMessageBox>> boxes;
    std::erase_if(boxes, [](const QPointer<QMessageBox>& box) { return box.isNull(); });
    return boxes;
}

// Not modal, and not waiting in a loop of its own: a box must never hold up an alarm, a click
// on another window, or the timer or event that opened it (Qt runs no timer again while its
// earlier activation is still running).
void showBox(const String& message) {
    auto* box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_QuitOnClose, false); // AutoQuit decides, not Qt
    box->setWindowModality(Qt::NonModal);
    box->setWindowTitle(QString::fromStdString(ApplicationName()));
    // Plain text, as labels show it: a group name or a file's text is never markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(qtText(message));
    box->setStandardButtons(QMessageBox::Ok);
    openBoxes().emplace_back(box);
    box->show();
    box->raise();
    box->activateWindow();
}
} // namespace

void MsgBox(const String& message) {
    MessageBox(message);
}

std::int64_t MessageBox(const String& message) {
    const bool answeredAtOnce =
        activeAutoAnswer && (!activeLeftOpen || activeAutoAnswer->order_ > activeLeftOpen->order_);
    if (answeredAtOnce) {
        activeAutoAnswer->texts_.push_back(message.Bytes());
        return 1;
    }
    // Quitting on a termination signal (logout, a service manager), or the display is gone:
    // nobody will see a box now, so its text goes to the debug log instead.
    if (TerminationRequested() || DisplayLost()) {
        DebugLog(message);
        return 1;
    }
    showBox(message);
    return 1;
}

void DiscardMessageBoxes() {
    for (const QPointer<QMessageBox>& box : openBoxes()) {
        delete box.data();
    }
}

MessageBoxAutoAnswer::MessageBoxAutoAnswer()
    : previous_(activeAutoAnswer), order_(++hooksInstalled) {
    activeAutoAnswer = this;
}

MessageBoxAutoAnswer::~MessageBoxAutoAnswer() {
    activeAutoAnswer = previous_;
}

MessageBoxLeftOpen::MessageBoxLeftOpen() : previous_(activeLeftOpen), order_(++hooksInstalled) {
    activeLeftOpen = this;
}

MessageBoxLeftOpen::~MessageBoxLeftOpen() {
    DismissAll();
    activeLeftOpen = previous_;
}

std::vector<std::string> MessageBoxLeftOpen::OpenTexts() const {
    std::vector<std::string> texts;
    for (const QPointer<QMessageBox>& box : openBoxes()) {
        if (box->isVisible()) {
            texts.push_back(box->text().toStdString());
        }
    }
    return texts;
}

void MessageBoxLeftOpen::DismissAll() {
    for (const QPointer<QMessageBox>& box : openBoxes()) {
        if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
            ok->click();
        }
        delete box.data(); // not left to the event loop, which may not run again in a test
    }
}

} // namespace fw
