#include "framework/gui/edit_commands_p.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <map>
#include <string>

namespace fw {

namespace {

bool clipboardHasText() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText() && !data->text().isEmpty();
}

bool lineEditCanAct(EditCommand command, const QLineEdit& edit) {
    const bool writable = !edit.isReadOnly();
    // A password field never gives its text away, as Qt's own context menu does.
    const bool readable = edit.echoMode() == QLineEdit::Normal;
    const bool selected = edit.hasSelectedText();
    switch (command) {
    case EditCommand::Undo:
        return writable && edit.isUndoAvailable();
    case EditCommand::Cut:
        return writable && readable && selected;
    case EditCommand::Copy:
        return readable && selected;
    case EditCommand::Paste:
        return writable && clipboardHasText();
    case EditCommand::Clear:
        return writable && selected;
    case EditCommand::SelectAll:
        return !edit.text().isEmpty();
    case EditCommand::None:
        break;
    }
    return false;
}

void lineEditAct(EditCommand command, QLineEdit& edit) {
    switch (command) {
    case EditCommand::Undo:
        return edit.undo();
    case EditCommand::Cut:
        return edit.cut();
    case EditCommand::Copy:
        return edit.copy();
    case EditCommand::Paste:
        return edit.paste();
    case EditCommand::Clear:
        return edit.del(); // with a selection (the only time it is enabled): deletes it
    case EditCommand::SelectAll:
        return edit.selectAll();
    case EditCommand::None:
        break;
    }
}

// QTextEdit and QPlainTextEdit share this interface without sharing a base class.
template <class Edit> bool documentCanAct(EditCommand command, const Edit& edit) {
    const bool writable = !edit.isReadOnly();
    const bool selected = edit.textCursor().hasSelection();
    switch (command) {
    case EditCommand::Undo:
        return writable && edit.document()->isUndoAvailable();
    case EditCommand::Cut:
    case EditCommand::Clear:
        return writable && selected;
    case EditCommand::Copy:
        return selected;
    case EditCommand::Paste:
        return writable && edit.canPaste();
    case EditCommand::SelectAll:
        return !edit.document()->isEmpty();
    case EditCommand::None:
        break;
    }
    return false;
}

template <class Edit> void documentAct(EditCommand command, Edit& edit) {
    switch (command) {
    case EditCommand::Undo:
        return edit.undo();
    case EditCommand::Cut:
        return edit.cut();
    case EditCommand::Copy:
        return edit.copy();
    case EditCommand::Paste:
        return edit.paste();
    case EditCommand::Clear: {
        QTextCursor cursor = edit.textCursor();
        cursor.removeSelectedText();
        return edit.setTextCursor(cursor);
    }
    case EditCommand::SelectAll:
        return edit.selectAll();
    case EditCommand::None:
        break;
    }
}

} // namespace

EditCommand EditCommandFor(const String& itemName) {
    static const std::map<std::string, EditCommand> byName = {
        {"EditUndo", EditCommand::Undo},   {"EditCut", EditCommand::Cut},
        {"EditCopy", EditCommand::Copy},   {"EditPaste", EditCommand::Paste},
        {"EditClear", EditCommand::Clear}, {"EditSelectAll", EditCommand::SelectAll},
    };
    const auto found = byName.find(itemName.Bytes());
    return found == byName.end() ? EditCommand::None : found->second;
}

bool CanEdit(EditCommand command, QWidget* focus) {
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        return lineEditCanAct(command, *line);
    }
    if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        return documentCanAct(command, *text);
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        return documentCanAct(command, *plain);
    }
    return false;
}

void Edit(EditCommand command, QWidget* focus) {
    // The state may have moved on since the item was last enabled.
    if (!CanEdit(command, focus)) {
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        lineEditAct(command, *line);
    } else if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        documentAct(command, *text);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        documentAct(command, *plain);
    }
}

} // namespace fw
