// Shared test entry: a QApplication on the offscreen platform, with the tests run inside its
// event loop so that timers, sockets and windows behave as they do in the application.
#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    int result = 0;
    QTimer::singleShot(0, [&] {
        result = RUN_ALL_TESTS();
        QCoreApplication::exit(0);
    });
    app.exec();
    return result;
}
