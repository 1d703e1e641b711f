#pragma once
// Shared helpers of the widget tests: the application object and answering modal dialogs.
#include <QApplication>
#include <QDialog>
#include <QString>
#include <functional>
#include <ostream>

namespace qm::test {

// Runs fn on the next modal dialog that opens (it must close the dialog, e.g. by clicking a
// button). Call before the code that opens the dialog.
void onNextModal(std::function<void(QDialog*)> fn);

// Clicks the button whose objectName is item<id> in the widget.
void clickItem(QWidget* dialog, int id);

// The window's title as the window system shows it: "[*]" becomes "*" while the window is
// marked modified and disappears otherwise.
QString shownTitle(const QWidget* window);

} // namespace qm::test

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
