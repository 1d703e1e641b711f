#include "framework/window_progress.h"

#include <QApplication>

#include "framework/centre_window.h"

namespace qm {

WindowProgress::WindowProgress(QWidget* owner) : m_owner(owner)
{
    m_delay.setSingleShot(true);
    m_delay.callOnTimeout([this] { showWhenDue(); });
}

WindowProgress::~WindowProgress() { close(); }

void WindowProgress::opened()
{
    delete m_window;
    m_delay.stop();
    if (!(options() & (progressShowsMessage | progressShowsBar | progressShowsCount)))
        return;
    QWidget* owner = m_owner ? m_owner : QApplication::activeWindow();
    m_window = new ProgressWindow(QString::fromStdString(title()), options() & progressShowsBar, owner);
    changed();
    m_window->adjustSize();
    centreWindow(m_window, owner);
    if (delaySeconds() <= 0.0) {
        m_window->show();
    } else {
        m_delay.start(int(delaySeconds() * 1000.0));
    }
}

void WindowProgress::showWhenDue()
{
    if (m_window && visibleAfterDelay())
        m_window->show();
}

void WindowProgress::changed()
{
    if (!m_window)
        return;
    m_window->setMessage(QString::fromStdString(message()));
    m_window->setPercent(percent());
    m_window->setCountText(QString::fromStdString(countText()));
}

void WindowProgress::poll()
{
    // Until the window shows, the user's input waits: nothing may change under the work.
    const bool showing = m_window && m_window->isVisible();
    QApplication::processEvents(showing ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    if (m_window && m_window->cancelRequested())
        cancel();
}

void WindowProgress::closed()
{
    m_delay.stop();
    delete m_window;
}

} // namespace qm
