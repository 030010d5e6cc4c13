#include "framework/gui/application.h"
#include "framework/gui/edit_commands_p.h"
#include "framework/gui/menu_bar.h"
#include "framework/gui/menu_item.h"
#include "framework/gui/menu_qt_p.h"
#include "framework/gui/qt_text_p.h"
#include "framework/gui/runtime.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QKeySequence>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

#include <functional>
#include <string>
#include <vector>

namespace fw {

namespace {

// ---- shortcuts ----

// "Cmd" is the platform's command key, which Qt calls Ctrl (Command on macOS); "Ctrl" is the
// physical Control key, which Qt calls Meta on macOS.
std::optional<Qt::KeyboardModifier> modifierNamed(const QString& name) {
    const QString lower = name.trimmed().toLower();
    if (lower == "cmd" || lower == "command") {
        return Qt::ControlModifier;
    }
    if (lower == "shift") {
        return Qt::ShiftModifier;
    }
    if (lower == "alt" || lower == "option") {
        return Qt::AltModifier;
    }
    if (lower == "ctrl" || lower == "control") {
#ifdef Q_OS_MACOS
        return Qt::MetaModifier;
#else
        return Qt::ControlModifier;
#endif
    }
    return std::nullopt;
}

// ---- enabling and choosing items ----

bool enabledNow(const MenuItem& item) {
    if (!item.AutoEnabled()) {
        return item.Enabled();
    }
    const EditCommand command = EditCommandFor(item.Name());
    return command == EditCommand::None || CanEdit(command, QApplication::focusWidget());
}

// The item's own handling first (the quit item quits), then the application's handler for the
// name, then the framework's own Edit behaviour.
void chooseItem(const std::shared_ptr<MenuItem>& item) {
    if (item->Event_Action()) {
        return;
    }
    if (auto app = _GetAppObject(); app && app->HandleMenuItem(item->Name())) {
        return;
    }
    const EditCommand command = EditCommandFor(item->Name());
    if (command != EditCommand::None) {
        Edit(command, QApplication::focusWidget());
    }
}

QAction::MenuRole roleFor(const MenuItem& item) {
    if (dynamic_cast<const QuitMenuItem*>(&item)) {
        return QAction::QuitRole;
    }
    if (dynamic_cast<const ApplicationMenuItem*>(&item)) {
        return QAction::ApplicationSpecificRole;
    }
    // No guessing from the text: a plain item stays where it was put.
    return QAction::NoRole;
}

// Adds item to menu as a separator, a submenu or a command; the action it made.
QAction* addToMenu(QMenu& menu, const MenuItem& item, const std::function<void(QMenu&)>& fill) {
    QAction* action = nullptr;
    if (item.IsSeparator()) {
        action = menu.addSeparator();
    } else if (item.Count() > 0) {
        QMenu* submenu = menu.addMenu(qtText(item.Value()));
        fill(*submenu);
        action = submenu->menuAction();
    } else {
        action = menu.addAction(qtText(item.Value()));
        action->setShortcut(ShortcutKeys(item.Shortcut()));
    }
    action->setObjectName(qtText(item.Name()));
    action->setMenuRole(roleFor(item));
    action->setVisible(item.Visible());
    action->setEnabled(enabledNow(item));
    return action;
}

// ---- a menu bar shown by Qt ----

const QString bindingObjectName = QStringLiteral("fw::MenuBarBinding");

/// Ties a Qt menu bar to its model: runs chosen items and keeps the Edit items' enabling current.
class MenuBarBinding : public QObject {
public:
    MenuBarBinding(QMenuBar& qtBar, std::shared_ptr<MenuBar> model)
        : QObject(&qtBar), model_(std::move(model)) {
        setObjectName(bindingObjectName);
        build(qtBar);
        if (auto* qtApp = qobject_cast<QApplication*>(QCoreApplication::instance())) {
            connect(qtApp, &QApplication::focusChanged, this,
                    [this](QWidget*, QWidget* now) { trackField(now); });
            connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
                    [this] { updateEnabled(); });
            trackField(QApplication::focusWidget());
        }
    }

    QAction* actionFor(const String& itemName) const {
        for (const auto& [action, item] : actions_) {
            if (action && item->Name() == itemName) {
                return action;
            }
        }
        return nullptr;
    }

private:
    void build(QMenuBar& qtBar) {
        for (std::int64_t i = 0; i < model_->Count(); ++i) {
            const std::shared_ptr<MenuItem> top = model_->Item(i);
            if (top->IsSeparator()) {
                continue; // a bar has no separator lines
            }
            QMenu* menu = qtBar.addMenu(qtText(top->Value()));
            connect(menu, &QMenu::aboutToShow, this, [this] { updateEnabled(); });
            QAction* action = menu->menuAction();
            action->setObjectName(qtText(top->Name()));
            action->setMenuRole(QAction::NoRole);
            action->setVisible(top->Visible());
            action->setEnabled(enabledNow(*top));
            actions_.emplace_back(action, top);
            fill(*menu, *top);
        }
    }

    void fill(QMenu& menu, const MenuItem& parent) {
        for (std::int64_t i = 0; i < parent.Count(); ++i) {
            std::shared_ptr<MenuItem> item = parent.Item(i);
            QAction* action =
                addToMenu(menu, *item, [this, item](QMenu& submenu) { fill(submenu, *item); });
            if (!item->IsSeparator() && item->Count() == 0) {
                connect(action, &QAction::triggered, this,
                        [item] { RaiseEvent([item] { chooseItem(item); }); });
            }
            actions_.emplace_back(action, std::move(item));
        }
    }

    void updateEnabled() {
        for (const auto& [action, item] : actions_) {
            if (action) {
                action->setEnabled(enabledNow(*item));
            }
        }
    }

    // Follows the focused text field's selection and text, so that the Edit items' enabling is
    // right even while no menu is open (a shortcut of a disabled action does not fire).
    void trackField(QWidget* focus) {
        for (const auto& connection : fieldConnections_) {
            disconnect(connection);
        }
        fieldConnections_.clear();
        const auto update = [this] { updateEnabled(); };
        if (auto* line = qobject_cast<QLineEdit*>(focus)) {
            fieldConnections_ = {connect(line, &QLineEdit::selectionChanged, this, update),
                                 connect(line, &QLineEdit::textChanged, this, update)};
        } else if (auto* text = qobject_cast<QTextEdit*>(focus)) {
            fieldConnections_ = {connect(text, &QTextEdit::selectionChanged, this, update),
                                 connect(text, &QTextEdit::textChanged, this, update),
                                 connect(text, &QTextEdit::undoAvailable, this, update)};
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
            fieldConnections_ = {connect(plain, &QPlainTextEdit::selectionChanged, this, update),
                                 connect(plain, &QPlainTextEdit::textChanged, this, update),
                                 connect(plain, &QPlainTextEdit::undoAvailable, this, update)};
        }
        updateEnabled();
    }

    std::shared_ptr<MenuBar> model_;
    std::vector<std::pair<QPointer<QAction>, std::shared_ptr<MenuItem>>> actions_;
    std::vector<QMetaObject::Connection> fieldConnections_;
};

QMenuBar* builtMenuBar(const std::shared_ptr<MenuBar>& bar, QWidget* parent) {
    auto* qtBar = new QMenuBar(parent);
    new MenuBarBinding(*qtBar, bar);
    return qtBar;
}

// ---- pop-up menus ----

struct PopUpContents {
    std::vector<std::pair<QAction*, std::shared_ptr<MenuItem>>> choices; // commands, in order
    std::vector<std::string> offered;                                    // visible texts
};

void fillPopUp(QMenu& menu, const MenuItem& parent, PopUpContents& contents) {
    for (std::int64_t i = 0; i < parent.Count(); ++i) {
        std::shared_ptr<MenuItem> item = parent.Item(i);
        if (item->Visible()) {
            contents.offered.push_back(item->Value().Bytes());
        }
        QAction* action = addToMenu(menu, *item, [&contents, item](QMenu& submenu) {
            fillPopUp(submenu, *item, contents);
        });
        if (!item->IsSeparator() && item->Count() == 0) {
            contents.choices.emplace_back(action, std::move(item));
        }
    }
}

std::shared_ptr<MenuItem> autoAnswered(PopUpMenuAutoAnswer& hook, PopUpContents& contents) {
    const std::string answer = hook.Answer(contents.offered);
    if (answer == "dismiss") {
        return nullptr;
    }
    for (const auto& [action, item] : contents.choices) {
        // Only what the user could click: shown and enabled.
        if (item->Value().Bytes() == answer && action->isVisible() && action->isEnabled()) {
            return item;
        }
    }
    return nullptr;
}

} // namespace

QKeySequence ShortcutKeys(const String& shortcut) {
    const QString text = qtText(shortcut).trimmed();
    if (text.isEmpty()) {
        return {};
    }
    // The key follows the last "+" that is not itself the key ("Cmd++" is Command and plus).
    const qsizetype split = text.endsWith('+') ? text.size() - 2 : text.lastIndexOf('+');
    const QString keyName = split < 0 ? text : text.mid(split + 1);
    const QStringList modifierNames =
        split <= 0 ? QStringList() : text.left(split).split('+', Qt::SkipEmptyParts);
    Qt::KeyboardModifiers modifiers;
    for (const QString& name : modifierNames) {
        const auto modifier = modifierNamed(name);
        if (!modifier) {
            return {};
        }
        modifiers |= *modifier;
    }
    const QKeySequence key = QKeySequence::fromString(keyName, QKeySequence::PortableText);
    if (key.count() != 1 || key[0].keyboardModifiers() != Qt::NoModifier) {
        return {};
    }
    return QKeySequence(QKeyCombination(modifiers, key[0].key()));
}

void InstallMenuBar(QMainWindow* window, const std::shared_ptr<MenuBar>& bar) {
    if (!window) {
        return;
    }
    // The window owns the bar it is given, and discards the one it had.
    window->setMenuBar(bar ? builtMenuBar(bar, window) : nullptr);
}

void InstallApplicationMenuBar([[maybe_unused]] const std::shared_ptr<MenuBar>& bar) {
#ifdef Q_OS_MACOS
    static QPointer<QMenuBar> applicationBar;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return;
    }
    delete applicationBar;
    // A parentless menu bar is the one macOS shows while no window has a bar of its own.
    applicationBar = bar ? builtMenuBar(bar, nullptr) : nullptr;
#endif
}

QAction* MenuBarAction(QMainWindow* window, const String& itemName) {
    if (!window) {
        return nullptr;
    }
    auto* qtBar = qobject_cast<QMenuBar*>(window->menuWidget());
    if (!qtBar) {
        return nullptr;
    }
    // Only a MenuBarBinding carries this name (it has no meta-object of its own to cast by).
    auto* binding = qtBar->findChild<QObject*>(bindingObjectName, Qt::FindDirectChildrenOnly);
    return binding ? static_cast<MenuBarBinding*>(binding)->actionFor(itemName) : nullptr;
}

std::shared_ptr<MenuItem> PopUpMenu(const MenuItem& root,
                                    std::optional<std::pair<std::int64_t, std::int64_t>> at) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        throw RuntimeException("A menu cannot pop up before the user interface exists");
    }
    QMenu menu;
    PopUpContents contents;
    fillPopUp(menu, root, contents);
    if (PopUpMenuAutoAnswer* hook = PopUpMenuAutoAnswer::Active()) {
        return autoAnswered(*hook, contents);
    }
    if (contents.choices.empty()) {
        return nullptr;
    }
    const QPoint position =
        at ? QPoint(static_cast<int>(at->first), static_cast<int>(at->second)) : QCursor::pos();
    QAction* picked = menu.exec(position);
    for (const auto& [action, item] : contents.choices) {
        if (action == picked) {
            return item;
        }
    }
    return nullptr;
}

} // namespace fw
