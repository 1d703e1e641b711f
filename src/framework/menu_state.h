#pragma once
// The menu bar as the windows see it: they enable the commands they can carry out when a menu
// is about to drop down (event -6). The state of the menus also decides which accelerators
// work, so a window whose commands change (a selection made, a document changed) asks for an
// update, which comes soon after as a -6 event.
#include <QString>

namespace qm {

class MenuState {
public:
    virtual ~MenuState() = default;
    virtual void enableCommand(int commandId, bool enabled) = 0;
    virtual void setCommandText(int commandId, const QString& text) = 0;
    virtual void requestUpdate() = 0;
};

} // namespace qm
