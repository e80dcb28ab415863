#pragma once
// Where the program's own windows appear.
class QWidget;

namespace trevolo {

// Moves a window so that its frame is centred on the free area of its screen
// (the primary screen before it has one), not over the window that owns it.
void CentreOnScreen(QWidget* window);

}  // namespace trevolo
