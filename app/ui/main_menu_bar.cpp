#include "app/ui/main_menu_bar.h"

#include <optional>

namespace tallybell {

namespace {

// Every property is set before the item enters the tree; separators get no shortcut at all.
template <class Item>
std::shared_ptr<fw::MenuItem> makeItem(const fw::String& name, const fw::String& text,
                                       const std::optional<fw::String>& shortcut) {
    auto item = std::make_shared<Item>();
    item->Name(name);
    item->AutoEnabled(true);
    item->Value(text);
    item->Visible(true);
    if (shortcut) {
        item->Shortcut(*shortcut);
    }
    return item;
}

const fw::String noShortcut = "";
const fw::String fileMenuName = "FileMenu";
const fw::String editMenuName = "EditMenu";

} // namespace

std::shared_ptr<class MainMenuBar> MainMenuBar::_implicitInstance;

void MainMenuBar::Constructor() {
    Untitled0();
    Untitled1();
}

void MainMenuBar::Untitled0() {
    // The menu is looked up by name for every item, so each lands in the menu the bar holds now.
    const auto addToFile = [this](const std::shared_ptr<fw::MenuItem>& item) {
        fw::Deref(Child(fileMenuName)).AddMenu(item);
    };
    AddMenu(makeItem<fw::MenuItem>(fileMenuName, "&File", noShortcut));
    addToFile(makeItem<fw::ApplicationMenuItem>("FileAbout", "About", "Cmd+?"));
    addToFile(makeItem<fw::MenuItem>("FileChangeName", "Change Name", "Cmd+N"));
    addToFile(makeItem<fw::QuitMenuItem>("FileQuit", "&Quit", "Cmd+Q"));
}

void MainMenuBar::Untitled1() {
    const auto addToEdit = [this](const std::shared_ptr<fw::MenuItem>& item) {
        fw::Deref(Child(editMenuName)).AddMenu(item);
    };
    AddMenu(makeItem<fw::MenuItem>(editMenuName, "&Edit", noShortcut));
    addToEdit(makeItem<fw::MenuItem>("EditUndo", "&Undo", "Cmd+Z"));
    addToEdit(makeItem<fw::MenuItem>("EditSeparator1", "-", std::nullopt));
    addToEdit(makeItem<fw::MenuItem>("EditCut", "Cu&t", "Cmd+X"));
    addToEdit(makeItem<fw::MenuItem>("EditCopy", "&Copy", "Cmd+C"));
    addToEdit(makeItem<fw::MenuItem>("EditPaste", "&Paste", "Cmd+V"));
    addToEdit(makeItem<fw::MenuItem>("EditClear", "&Delete", noShortcut));
    addToEdit(makeItem<fw::MenuItem>("EditSeparator2", "-", std::nullopt));
    addToEdit(makeItem<fw::MenuItem>("EditSelectAll", "Select &All", "Cmd+A"));
}

std::shared_ptr<class MainMenuBar> MainMenuBar() {
    if (MainMenuBar::_implicitInstance) {
        return MainMenuBar::_implicitInstance;
    }
    // Stored only once built whole: a failure part-way leaves the global Nil for the next call.
    auto bar = std::make_shared<class MainMenuBar>();
    bar->Constructor();
    MainMenuBar::_implicitInstance = bar;
    return bar;
}

} // namespace tallybell
