#pragma once
// Every window with a handler, in creation order. A closed window's slot is emptied and taken by
// the next window, so broadcasts reach windows in a stable order.
#include <cstdint>
#include <functional>
#include <vector>

#include "framework/event_handler.h"

namespace qm {

class WindowRegistry {
public:
    static WindowRegistry& instance();

    // Returns the slot index the window took.
    std::size_t add(EventHandler* window);
    void remove(EventHandler* window);
    bool contains(const EventHandler* window) const;
    std::size_t slotCount() const { return m_slots.size(); }
    EventHandler* slot(std::size_t index) const;

    // Calls the window's handler with the window made current; 1 when there is no handler.
    // An unhandled menu update resets the menus through the hook.
    int send(EventHandler* window, std::int16_t code);
    void broadcast(std::int16_t code);

    // Sends a close request to every window in slot order. A window that refuses calls
    // cancelClose(), which stops the pass; the result is then false. A nested call made while a
    // pass runs returns true at once.
    bool closeAll();
    void cancelClose() { m_closeCancelled = true; }
    bool closeCancelled() const { return m_closeCancelled; }

    EventHandler* current() const { return m_current; }
    void setMenuResetHook(std::function<void()> hook) { m_menuReset = std::move(hook); }

private:
    std::vector<EventHandler*> m_slots;
    EventHandler* m_current = nullptr;
    bool m_closeCancelled = false;
    bool m_closing = false;
    std::function<void()> m_menuReset;
};

} // namespace qm
