#include "framework/gui/window.h"

#include "framework/core/timer.h"
#include "framework/core/values.h"
#include "framework/gui/application.h"
#include "framework/gui/control.h"
#include "framework/gui/menu_qt_p.h"
#include "framework/gui/pane_child.h"
#include "framework/gui/qt_text_p.h"
#include "framework/gui/runtime.h"
#include "framework/gui/ui_thread_p.h"
#include "framework/gui/window_list.h"
#include "framework/gui/window_qt_p.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>

namespace fw {

namespace {

int toInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, QWIDGETSIZE_MAX));
}

// The height the menu bar takes from the window (none where the platform shows it elsewhere).
int menuBarHeight(QMainWindow* window) {
    QWidget* bar = window->menuWidget();
    if (!bar || bar->isHidden()) {
        return 0;
    }
    if (auto* menuBar = qobject_cast<QMenuBar*>(bar); menuBar && menuBar->isNativeMenuBar()) {
        return 0;
    }
    return bar->sizeHint().height();
}

QSize outerSize(std::int64_t width, std::int64_t height, int menuHeight) {
    return QSize(toInt(width), std::min(toInt(height) + menuHeight, QWIDGETSIZE_MAX));
}

// With AutoQuit on, closing the last visible window ends the application.
void quitWhenNoWindowIsLeft() {
    const auto app = _GetAppObject();
    if (!app || !app->AutoQuit() || app->IsQuitting()) {
        return;
    }
    const auto windows = openWindows();
    if (std::none_of(windows.begin(), windows.end(), [](const auto& w) { return w->Visible(); })) {
        Quit(0);
    }
}

} // namespace

MainWindowQt::MainWindowQt(Window* owner) : owner_(owner) {
    setAttribute(Qt::WA_QuitOnClose, false); // AutoQuit decides, not Qt
}

void MainWindowQt::closeEvent(QCloseEvent* event) {
    if (owner_) {
        owner_->Close(); // detaches this widget and schedules its deletion
    }
    event->accept();
}

ContentWidgetQt::ContentWidgetQt(Window* owner) : owner_(owner) {}

void ContentWidgetQt::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Hidden windows get provisional sizes from the layout; only a shown one reports real ones.
    if (owner_ && window()->isVisible()) {
        owner_->contentResized(event->size().width(), event->size().height());
    }
}

struct Window::Impl {
    QPointer<MainWindowQt> widget;
    QPointer<ContentWidgetQt> content;
};

QMainWindow* qtWindow(const Window& window) {
    return window.impl_->widget.data();
}

QWidget* qtContent(const Window& window) {
    return window.impl_->content.data();
}

Window::Window(String className)
    : impl_(std::make_unique<Impl>()), className_(std::move(className)) {
    RequireMainThread();
    impl_->widget = new MainWindowQt(this);
    impl_->content = new ContentWidgetQt(this);
    impl_->widget->setCentralWidget(impl_->content);
    applyFlags();
    applyGeometry();
}

Window::~Window() {
    // A window still open when the process ends outlives Qt: its widgets are left alone then.
    if (!QCoreApplication::instance()) {
        return;
    }
    discardWidgets();
}

std::shared_ptr<Window> Window::_GetImplicitWindow(const String& className) {
    for (const auto& window : openWindows()) {
        if (window->ClassName() == className) {
            return window;
        }
    }
    return nullptr;
}

void Window::Constructor() {
    if (built_) {
        return;
    }
    auto self = std::static_pointer_cast<Window>(weak_from_this().lock());
    if (!self) {
        throw RuntimeException("A window must be created with std::make_shared before it is built");
    }
    Layout();
    CreateControls();
    built_ = true;
    open_ = true;
    registerOpenWindow(self);
    installMenuBar();
    RaiseEvent([this] { Event_Open(); });
    if (open_ && visible_) {
        Show();
    }
}

void Window::_AddControl(const String& name, const std::shared_ptr<Object>& control) {
    Deref(control);
    if (_ControlByName(name)) {
        throw InvalidArgumentException("The window already has a control named \"" + name.Bytes() +
                                       "\"");
    }
    controls_.emplace_back(name, control);
    if (auto* child = dynamic_cast<PaneChild*>(control.get())) {
        child->_SetWindow(std::static_pointer_cast<Window>(weak_from_this().lock()));
        child->_SetIndex(kNotIndexed);
    }
    if (auto* rect = dynamic_cast<Control*>(control.get()); rect && impl_->content) {
        rect->attach(impl_->content);
    }
}

std::shared_ptr<Object> Window::_ControlByName(const String& name) const {
    for (const auto& [controlName, control] : controls_) {
        if (controlName == name) {
            return control;
        }
    }
    return nullptr;
}

void Window::Show() {
    visible_ = true;
    MainWindowQt* widget = impl_->widget.data();
    if (!open_ || !widget) {
        return; // shown once built; a closed window stays gone
    }
    if (fullScreen_) {
        widget->showFullScreen();
    } else {
        widget->show();
    }
    widget->raise();
    widget->activateWindow();
}

void Window::Hide() {
    visible_ = false;
    if (MainWindowQt* widget = impl_->widget.data()) {
        widget->hide();
    }
}

void Window::Visible(bool on) {
    on ? Show() : Hide();
}

void Window::Close() {
    if (!open_ || closing_) {
        return;
    }
    closing_ = true;
    const auto self = weak_from_this().lock(); // alive until this call returns
    RaiseEvent([this] { Event_Close(); });
    open_ = false;
    visible_ = false;
    releaseAfterClose();
    quitWhenNoWindowIsLeft();
}

void Window::releaseAfterClose() {
    auto held = unregisterOpenWindow(this);
    auto controls = std::move(controls_);
    controls_.clear();
    for (const auto& entry : controls) {
        if (auto* timer = dynamic_cast<Timer*>(entry.second.get())) {
            timer->RunMode(Timer::Off); // a window's timers end with it
        }
    }
    discardWidgets();
    // Close may have been called from a handler of this window or of one of its controls, which
    // goes on running after Close returns: let go of them only once the event loop is back.
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [held = std::move(held), controls = std::move(controls)] {});
}

void Window::discardWidgets() {
    if (ContentWidgetQt* content = impl_->content.data()) {
        content->Detach();
    }
    if (MainWindowQt* widget = impl_->widget.data()) {
        widget->Detach();
        widget->hide();
        widget->deleteLater(); // not now: this may run inside one of the widget's own events
    }
}

bool Window::IsEventImplemented(const String&) const {
    return false;
}

void Window::Width(std::int64_t width) {
    const std::int64_t previous = width_;
    width_ = std::max<std::int64_t>(width, 0);
    followResize(SaturateCast<int>(width_ - previous), 0);
    applyGeometry();
}

void Window::Height(std::int64_t height) {
    const std::int64_t previous = height_;
    height_ = std::max<std::int64_t>(height, 0);
    followResize(0, SaturateCast<int>(height_ - previous));
    applyGeometry();
}

void Window::MinimumWidth(std::int64_t width) {
    minWidth_ = width;
    applyGeometry();
}

void Window::MinimumHeight(std::int64_t height) {
    minHeight_ = height;
    applyGeometry();
}

void Window::MaximumWidth(std::int64_t width) {
    maxWidth_ = width;
    applyGeometry();
}

void Window::MaximumHeight(std::int64_t height) {
    maxHeight_ = height;
    applyGeometry();
}

void Window::Title(const String& title) {
    title_ = title;
    if (MainWindowQt* widget = impl_->widget.data()) {
        widget->setWindowTitle(qtText(title));
    }
}

void Window::HasCloseButton(bool on) {
    hasCloseButton_ = on;
    applyFlags();
}

void Window::HasMaximizeButton(bool on) {
    hasMaximizeButton_ = on;
    applyFlags();
}

void Window::HasMinimizeButton(bool on) {
    hasMinimizeButton_ = on;
    applyFlags();
}

void Window::HasFullScreenButton(bool on) {
    hasFullScreenButton_ = on;
    applyFlags();
}

void Window::Resizeable(bool on) {
    resizeable_ = on;
    applyGeometry();
}

void Window::FullScreen(bool on) {
    fullScreen_ = on;
    MainWindowQt* widget = impl_->widget.data();
    if (widget && widget->isVisible()) {
        on ? widget->showFullScreen() : widget->showNormal();
    }
}

void Window::HasBackgroundColor(bool on) {
    hasBackgroundColor_ = on;
    applyBackground();
}

void Window::BackgroundColor(Color color) {
    backgroundColor_ = color;
    applyBackground();
}

void Window::MenuBar(std::shared_ptr<fw::MenuBar> bar) {
    menuBar_ = std::move(bar);
    if (built_) {
        installMenuBar();
    }
}

void Window::MenuBarVisible(bool on) {
    menuBarVisible_ = on;
    if (built_) {
        installMenuBar();
    }
}

void Window::contentResized(int width, int height) {
    const int dw = SaturateCast<int>(width - width_);
    const int dh = SaturateCast<int>(height - height_);
    width_ = width;
    height_ = height;
    followResize(dw, dh);
}

void Window::followResize(int dw, int dh) {
    if (dw == 0 && dh == 0) {
        return;
    }
    for (const auto& entry : controls_) {
        if (auto* control = dynamic_cast<Control*>(entry.second.get())) {
            control->followResize(dw, dh);
        }
    }
}

void Window::applyFlags() {
    MainWindowQt* widget = impl_->widget.data();
    if (!widget) {
        return;
    }
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
    if (hasCloseButton_) {
        flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    }
    if (hasMinimizeButton_) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (hasMaximizeButton_) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    if (hasFullScreenButton_) {
        flags |= Qt::WindowFullscreenButtonHint;
    }
    if (widget->windowFlags() == flags) {
        return;
    }
    const bool shown = widget->isVisible();
    widget->setWindowFlags(flags); // this hides a shown window
    if (shown) {
        widget->show();
    }
}

void Window::applyGeometry() {
    MainWindowQt* widget = impl_->widget.data();
    if (!widget) {
        return;
    }
    const int menuHeight = menuBarHeight(widget);
    const QSize size = outerSize(width_, height_, menuHeight);
    if (!resizeable_) {
        widget->setFixedSize(size);
        return;
    }
    widget->setMinimumSize(outerSize(minWidth_, minHeight_, menuHeight));
    widget->setMaximumSize(outerSize(maxWidth_, maxHeight_, menuHeight));
    widget->resize(size);
}

void Window::applyBackground() {
    ContentWidgetQt* content = impl_->content.data();
    if (!content) {
        return;
    }
    content->setAutoFillBackground(hasBackgroundColor_);
    QPalette palette = content->palette();
    if (hasBackgroundColor_) {
        palette.setColor(QPalette::Window, QColor(backgroundColor_.Red(), backgroundColor_.Green(),
                                                  backgroundColor_.Blue()));
        content->setPalette(palette);
    } else {
        content->setPalette(QPalette()); // back to the system's window background
    }
}

void Window::installMenuBar() {
    MainWindowQt* widget = impl_->widget.data();
    if (!widget) {
        return;
    }
    auto bar = menuBar_;
    if (!bar) {
        if (const auto app = _GetAppObject()) {
            bar = app->MenuBar();
        }
    }
    if (menuBarVisible_ && bar) {
        InstallMenuBar(widget, bar);
    }
    if (QWidget* shown = widget->menuWidget()) {
        shown->setVisible(menuBarVisible_);
    }
    applyGeometry();
}

const PropertyRegistry& Window::properties() const {
    return WindowProperties();
}

const PropertyRegistry& WindowProperties() {
    static const PropertyRegistry registry = [] {
        PropertyRegistry r;
        r.AddSetter("Width", &Window::Width);
        r.AddSetter("Height", &Window::Height);
        r.AddSetter("MinimumWidth", &Window::MinimumWidth);
        r.AddSetter("MinimumHeight", &Window::MinimumHeight);
        r.AddSetter("MaximumWidth", &Window::MaximumWidth);
        r.AddSetter("MaximumHeight", &Window::MaximumHeight);
        r.AddSetter("Type", &Window::Type);
        r.AddSetter("Title", &Window::Title);
        r.AddSetter("HasCloseButton", &Window::HasCloseButton);
        r.AddSetter("HasMaximizeButton", &Window::HasMaximizeButton);
        r.AddSetter("HasMinimizeButton", &Window::HasMinimizeButton);
        r.AddSetter("HasFullScreenButton", &Window::HasFullScreenButton);
        r.AddSetter("Resizeable", &Window::Resizeable);
        r.AddSetter("Composite", &Window::Composite);
        r.AddSetter("MacProcID", &Window::MacProcID);
        r.AddSetter("FullScreen", &Window::FullScreen);
        r.AddSetter("DefaultLocation", &Window::DefaultLocation);
        r.AddSetter("Visible", &Window::Visible);
        r.AddSetter("HasBackgroundColor", &Window::HasBackgroundColor);
        r.AddSetter("BackgroundColor", &Window::BackgroundColor);
        r.AddSetter("MenuBarVisible", &Window::MenuBarVisible);
        return r;
    }();
    return registry;
}

} // namespace fw
