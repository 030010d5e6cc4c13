#include "framework/gui/menu_item.h"

#include "framework/gui/application.h"
#include "framework/gui/menu_qt_p.h"

#include <QCoreApplication>
#include <QThread>

#include <utility>

namespace fw {

namespace {

const String separatorText = "-";
MenuItemConstructionHook* activeConstructionHook = nullptr;

// Menus belong to the main thread. Before the toolkit exists (the menu bar is built early in
// start-up) there is only the one thread.
void requireMainThread() {
    const QCoreApplication* qtApp = QCoreApplication::instance();
    if (qtApp && QThread::currentThread() != qtApp->thread()) {
        throw ThreadAccessingUIException();
    }
}

} // namespace

MenuItem::MenuItem() {
    requireMainThread();
    if (activeConstructionHook) {
        activeConstructionHook->Construct();
    }
}

MenuItem::MenuItem(const String& text, const Auto& tag) : MenuItem() {
    value_ = text;
    tag_ = tag;
}

MenuItem::~MenuItem() = default;

void MenuItem::Name(const String& name) {
    requireMainThread();
    name_ = name;
}

void MenuItem::Value(const String& text) {
    requireMainThread();
    value_ = text;
}

bool MenuItem::IsSeparator() const {
    return value_ == separatorText;
}

void MenuItem::Shortcut(const String& shortcut) {
    requireMainThread();
    shortcut_ = shortcut;
}

void MenuItem::AutoEnabled(bool on) {
    requireMainThread();
    autoEnabled_ = on;
}

void MenuItem::Enabled(bool on) {
    requireMainThread();
    enabled_ = on;
}

void MenuItem::Visible(bool on) {
    requireMainThread();
    visible_ = on;
}

void MenuItem::Tag(const Auto& tag) {
    requireMainThread();
    tag_ = tag;
}

void MenuItem::AddMenu(const std::shared_ptr<MenuItem>& item) {
    requireMainThread();
    const MenuItem& added = Deref(item);
    // An item inside itself would make every walk of the tree endless.
    if (&added == this || added.contains(this)) {
        throw InvalidArgumentException("A menu item cannot be added inside itself");
    }
    children_.push_back(item);
}

std::int64_t MenuItem::Count() const {
    return static_cast<std::int64_t>(children_.size());
}

std::shared_ptr<MenuItem> MenuItem::Item(std::int64_t index) const {
    if (index < 0 || index >= Count()) {
        throw OutOfBoundsException("Menu item index " + std::to_string(index) + " of " +
                                   std::to_string(Count()));
    }
    return children_[static_cast<std::size_t>(index)];
}

std::shared_ptr<MenuItem> MenuItem::Child(const String& name) const {
    requireMainThread();
    for (const auto& child : children_) {
        if (child->name_ == name) {
            return child;
        }
    }
    return nullptr;
}

std::shared_ptr<MenuItem> MenuItem::_Lookup(const String& name) const {
    requireMainThread();
    for (const auto& child : children_) {
        if (child->name_ == name) {
            return child;
        }
        if (auto found = child->_Lookup(name)) {
            return found;
        }
    }
    return nullptr;
}

bool MenuItem::contains(const MenuItem* item) const {
    for (const auto& child : children_) {
        if (child.get() == item || child->contains(item)) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<MenuItem> MenuItem::PopUp() {
    requireMainThread();
    return PopUpMenu(*this, std::nullopt);
}

std::shared_ptr<MenuItem> MenuItem::PopUp(std::int64_t x, std::int64_t y) {
    requireMainThread();
    return PopUpMenu(*this, std::make_pair(x, y));
}

bool QuitMenuItem::Event_Action() {
    Quit(0);
    return true;
}

// ---- test hooks ----

namespace {
PopUpMenuAutoAnswer* activePopUpAnswer = nullptr;
} // namespace

PopUpMenuAutoAnswer* PopUpMenuAutoAnswer::Active() {
    return activePopUpAnswer;
}

PopUpMenuAutoAnswer::PopUpMenuAutoAnswer(std::vector<std::string> answers)
    : answers_(std::move(answers)), previous_(activePopUpAnswer) {
    activePopUpAnswer = this;
}

PopUpMenuAutoAnswer::~PopUpMenuAutoAnswer() {
    activePopUpAnswer = previous_;
}

std::string PopUpMenuAutoAnswer::Answer(std::vector<std::string> offered) {
    offered_.push_back(std::move(offered));
    if (next_ >= answers_.size()) {
        return {};
    }
    return answers_[next_++];
}

MenuItemConstructionHook::MenuItemConstructionHook(std::function<void(int)> onConstruct)
    : onConstruct_(std::move(onConstruct)), previous_(activeConstructionHook) {
    activeConstructionHook = this;
}

MenuItemConstructionHook::~MenuItemConstructionHook() {
    activeConstructionHook = previous_;
}

void MenuItemConstructionHook::Construct() {
    ++count_;
    if (onConstruct_) {
        onConstruct_(count_);
    }
}

} // namespace fw
