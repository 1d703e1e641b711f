#pragma once
class QWidget;

namespace qm {

// Centres the window over another (or over the program's main window when null, or the screen
// when there is none), then moves it back inside the screen: left and top never below the
// screen's origin, right and bottom never beyond its far edges; a window larger than the
// screen keeps its left or top edge on the screen. Only the position changes.
void centreWindow(QWidget* window, const QWidget* over = nullptr);

} // namespace qm
