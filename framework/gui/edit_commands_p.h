#pragma once

// Internal, Qt-facing: what the conventional Edit menu items do to the focused text field.

#include "framework/core/string.h"

class QWidget;

namespace fw {

enum class EditCommand { None, Undo, Cut, Copy, Paste, Clear, SelectAll };

/// The command of an Edit item by its conventional name ("EditCopy", ...); None for others.
EditCommand EditCommandFor(const String& itemName);

/// Whether the command can act on the widget (a line edit or a text edit) as it is now.
bool CanEdit(EditCommand command, QWidget* focus);

/// Carries the command out on the widget; nothing when it cannot act.
void Edit(EditCommand command, QWidget* focus);

} // namespace fw
