#include "framework/core/exceptions.h"
#include "framework/gui/ui_thread_p.h"

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
