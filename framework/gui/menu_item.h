#pragma once

#include "framework/core/auto.h"
#include "framework/core/object.h"
#include "framework/core/string.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fw {

/// One item of a menu tree: a menu, a command or (text "-") a separator line.
class MenuItem : public Object {
public:
    MenuItem();
    /// An item showing text, carrying tag.
    MenuItem(const String& text, const Auto& tag);
    ~MenuItem() override;

    /// The key the item is found by and the application's handlers are bound to.
    const String& Name() const { return name_; }
    void Name(const String& name);

    /// The item's text: "&" marks the mnemonic letter after it, "-" makes a separator.
    const String& Value() const { return value_; }
    void Value(const String& text);
    const String& Text() const { return value_; }
    bool IsSeparator() const;

    /// "Cmd+" (or "Shift+", "Alt+", "Ctrl+") prefixes and one key; empty means none.
    const String& Shortcut() const { return shortcut_; }
    void Shortcut(const String& shortcut);

    /// True: the framework enables the item by itself (Edit items where they can act).
    bool AutoEnabled() const { return autoEnabled_; }
    void AutoEnabled(bool on);
    /// Whether an item that is not auto-enabled can be chosen.
    bool Enabled() const { return enabled_; }
    void Enabled(bool on);
    bool Visible() const { return visible_; }
    void Visible(bool on);

    const Auto& Tag() const { return tag_; }
    void Tag(const Auto& tag);

    /// Appends item as the last child; Nil raises NilObjectException, a cycle
    /// InvalidArgumentException.
    void AddMenu(const std::shared_ptr<MenuItem>& item);
    std::int64_t Count() const;
    /// The child at index (from 0); outside the children raises OutOfBoundsException.
    std::shared_ptr<MenuItem> Item(std::int64_t index) const;
    /// The direct child of that name, Nil when there is none.
    std::shared_ptr<MenuItem> Child(const String& name) const;
    /// The item of that name at any depth below this one (depth first), Nil when there is none.
    std::shared_ptr<MenuItem> _Lookup(const String& name) const;

    /// Shows the children as a pop-up menu at the pointer (or at x, y on the screen) and waits;
    /// the chosen item, Nil when the menu is dismissed. Choosing runs no handler.
    std::shared_ptr<MenuItem> PopUp();
    std::shared_ptr<MenuItem> PopUp(std::int64_t x, std::int64_t y);

    /// The item's own handling when chosen from a menu bar; true means handled, and the
    /// application's handler for the name is then not run.
    virtual bool Event_Action() { return false; }

private:
    bool contains(const MenuItem* item) const;

    String name_;
    String value_;
    String shortcut_;
    bool autoEnabled_ = true;
    bool enabled_ = true;
    bool visible_ = true;
    Auto tag_;
    std::vector<std::shared_ptr<MenuItem>> children_;
};

/// An item the platform places in its application menu (macOS); elsewhere where it was added.
class ApplicationMenuItem : public MenuItem {
public:
    using MenuItem::MenuItem;
};

/// The standard quit item: choosing it quits the application.
class QuitMenuItem : public MenuItem {
public:
    using MenuItem::MenuItem;
    bool Event_Action() override;
};

/// Test hook: while alive, the next pop-up menus are answered at once, in turn, by item text
/// ("dismiss", a text no item shows, or no answer left: dismissed), and the texts offered by
/// each pop-up (its items at every depth, in menu order) are recorded.
class PopUpMenuAutoAnswer {
public:
    explicit PopUpMenuAutoAnswer(std::vector<std::string> answers);
    ~PopUpMenuAutoAnswer();
    PopUpMenuAutoAnswer(const PopUpMenuAutoAnswer&) = delete;
    PopUpMenuAutoAnswer& operator=(const PopUpMenuAutoAnswer&) = delete;

    const std::vector<std::vector<std::string>>& Offered() const { return offered_; }

    /// Framework use: the innermost hook alive, or nullptr.
    static PopUpMenuAutoAnswer* Active();
    /// Framework use: records what a pop-up offers and gives the next answer.
    std::string Answer(std::vector<std::string> offered);

private:
    std::vector<std::string> answers_;
    std::size_t next_ = 0;
    std::vector<std::vector<std::string>> offered_;
    PopUpMenuAutoAnswer* previous_;
};

/// Test hook: while alive, each MenuItem made calls onConstruct with the count of items made
/// since the hook began (from 1) before the item exists; an exception from it fails that item.
class MenuItemConstructionHook {
public:
    explicit MenuItemConstructionHook(std::function<void(int)> onConstruct);
    ~MenuItemConstructionHook();
    MenuItemConstructionHook(const MenuItemConstructionHook&) = delete;
    MenuItemConstructionHook& operator=(const MenuItemConstructionHook&) = delete;

    int Constructed() const { return count_; }

    /// Framework use: counts one construction and calls the hook.
    void Construct();

private:
    std::function<void(int)> onConstruct_;
    int count_ = 0;
    MenuItemConstructionHook* previous_;
};

} // namespace fw
