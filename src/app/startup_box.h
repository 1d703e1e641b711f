#pragma once
// The start-up and About box: the program's picture with its version underneath. It closes on
// a mouse click or once its time is up.
#include <QDialog>
#include <QElapsedTimer>

class QLabel;

namespace qm {

class StartupBox : public QDialog {
    Q_OBJECT
public:
    // Shows the box for the given number of seconds; it deletes itself when it closes.
    static StartupBox* showFor(int seconds, QWidget* parent);

    // The program's version as the box shows it.
    static QString versionText();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    StartupBox(int seconds, QWidget* parent);
};

} // namespace qm
