#include "framework/centre_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace qm {

namespace {

const QWidget* mainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QMainWindow") && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

void centreWindow(QWidget* window, const QWidget* over)
{
    if (!window)
        return;
    if (!over)
        over = mainWindow();
    QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect target = over ? over->frameGeometry() : available;
    QSize size = window->frameGeometry().size();
    if (!window->isVisible())
        size = window->sizeHint().expandedTo(window->size());
    int left = target.center().x() - size.width() / 2;
    int top = target.center().y() - size.height() / 2;
    left = std::min(left, available.right() + 1 - size.width());
    top = std::min(top, available.bottom() + 1 - size.height());
    left = std::max(left, available.left());
    top = std::max(top, available.top());
    window->move(left, top);
}

} // namespace qm
