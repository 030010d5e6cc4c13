#pragma once

// Internal, Qt-facing: the widgets that show a fw::Window.

#include <QMainWindow>
#include <QWidget>

namespace fw {

class Window;

/// The top-level widget of a window; its close box closes the fw::Window.
class MainWindowQt : public QMainWindow {
public:
    explicit MainWindowQt(Window* owner);
    /// The fw::Window is gone or closed: from now on the widget reports nothing.
    void Detach() { owner_ = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Window* owner_;
};

/// The content area below the menu bar, parent of the controls' widgets.
class ContentWidgetQt : public QWidget {
public:
    explicit ContentWidgetQt(Window* owner);
    void Detach() { owner_ = nullptr; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Window* owner_;
};

/// The window's top-level widget; nullptr once the window has closed.
QMainWindow* qtWindow(const Window& window);
/// The window's content area; nullptr once the window has closed.
QWidget* qtContent(const Window& window);

} // namespace fw
