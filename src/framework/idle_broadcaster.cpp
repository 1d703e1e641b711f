#include "framework/idle_broadcaster.h"

#include "framework/event_codes.h"
#include "framework/window_registry.h"

namespace qm {

IdleBroadcaster::IdleBroadcaster(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(kIntervalMs);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &IdleBroadcaster::runPass);
}

void IdleBroadcaster::runPass()
{
    // A modal alert raised by the idle work runs its own event loop, in which the timer fires
    // again; those passes are skipped.
    if (m_running)
        return;
    m_running = true;
    WindowRegistry::instance().broadcast(evIdle);
    if (m_extraWork)
        m_extraWork();
    m_running = false;
}

} // namespace qm
