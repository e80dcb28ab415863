#pragma once
// Small pieces the window's panels are built from: the raised caption panel
// beside a field, the black verdict panel, a push button, and the binding of
// a field to the session's state.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <string>

#include "document/sheet_session.h"

namespace trevolo {

// A raised caption panel naming a field (blue for the required ones); the
// field takes the caption as its accessible name.
QLabel* LabelPanel(const QString& text, QWidget* buddy, QWidget* parent, bool blue = false);
// The black panel showing a verdict in large green (red for a failure).
QLabel* VerdictPanel(const char* name, QWidget* parent);
// Shows a verdict text; an empty one clears the panel.
void ShowVerdict(QLabel* panel, const char* text);
QPushButton* Button(const char* name, const QString& caption, QWidget* parent);

// Each field writes what it shows into the session through its setter as it
// changes, by typing or by the program; the setter tells the session's
// listeners what changed.
void BindText(QLineEdit* e, std::function<void(std::string)> set);
void BindIndex(QComboBox* c, std::function<void(int)> set);
void BindCheck(QCheckBox* b, std::function<void(bool)> set);

}  // namespace trevolo
