#include "framework/ui_thread.h"

#include "framework/exceptions.h"

#include <QCoreApplication>
#include <QThread>

namespace fw {

void RequireMainThread() {
    const QCoreApplication* qtApp = QCoreApplication::instance();
    if (qtApp && QThread::currentThread() != qtApp->thread()) {
        throw ThreadAccessingUIException();
    }
}

} // namespace fw
