#pragma once
// What the main window's fields and controls share: the focus colours of a
// field, and the keys of the sheet's history.
class QKeyEvent;
class QWidget;

namespace trevolo {

// Ctrl+Z: -1 (undo); Ctrl+Y and Ctrl+Shift+Z: 1 (redo); any other key: 0.
int HistoryKey(const QKeyEvent* e);
// A control that edits text of its own.
bool EditsText(const QWidget* w);
// A field's colour while it has the focus, or as it is left.
void ShowFieldFocused(QWidget* field, bool focused);

}  // namespace trevolo
