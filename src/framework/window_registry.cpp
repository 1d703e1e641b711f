#include "framework/window_registry.h"

#include <algorithm>

#include "framework/event_codes.h"

namespace qm {

WindowRegistry& WindowRegistry::instance()
{
    static WindowRegistry registry;
    return registry;
}

std::size_t WindowRegistry::add(EventHandler* window)
{
    if (auto it = std::find(m_slots.begin(), m_slots.end(), window); it != m_slots.end())
        return std::size_t(it - m_slots.begin());
    if (auto it = std::find(m_slots.begin(), m_slots.end(), nullptr); it != m_slots.end()) {
        *it = window;
        return std::size_t(it - m_slots.begin());
    }
    m_slots.push_back(window);
    return m_slots.size() - 1;
}

void WindowRegistry::remove(EventHandler* window)
{
    std::replace(m_slots.begin(), m_slots.end(), window, static_cast<EventHandler*>(nullptr));
    if (m_current == window)
        m_current = nullptr;
}

bool WindowRegistry::contains(const EventHandler* window) const
{
    return window && std::find(m_slots.begin(), m_slots.end(), window) != m_slots.end();
}

EventHandler* WindowRegistry::slot(std::size_t index) const
{
    return index < m_slots.size() ? m_slots[index] : nullptr;
}

int WindowRegistry::send(EventHandler* window, std::int16_t code)
{
    if (!window) {
        if (code == evMenuUpdate && m_menuReset)
            m_menuReset();
        return 1;
    }
    EventHandler* previous = m_current;
    m_current = window;
    int result = window->handleEvent(code);
    // The handler may have closed its own window; only restore a window that is still alive.
    m_current = contains(previous) ? previous : nullptr;
    return result;
}

void WindowRegistry::broadcast(std::int16_t code)
{
    // Slots may be emptied or filled while the pass runs; walk by index over the slots that
    // existed when it began.
    const std::size_t n = m_slots.size();
    for (std::size_t i = 0; i < n && i < m_slots.size(); ++i)
        if (EventHandler* w = m_slots[i])
            send(w, code);
}

bool WindowRegistry::closeAll()
{
    if (m_closing)
        return true;
    m_closing = true;
    m_closeCancelled = false;
    const std::size_t n = m_slots.size();
    for (std::size_t i = 0; i < n && i < m_slots.size() && !m_closeCancelled; ++i)
        if (EventHandler* w = m_slots[i])
            send(w, evClose);
    m_closing = false;
    return !m_closeCancelled;
}

} // namespace qm
