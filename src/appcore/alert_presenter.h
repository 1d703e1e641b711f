#pragma once
// What shows an alert to the user: the program's message box, or a headless stand-in.
#include <string>

#include "appcore/alert_string.h"

namespace qm {

enum class AlertIcon { Stop, Caution };

struct AlertRequest {
    AlertIcon icon = AlertIcon::Stop;
    int stringId = 0; // 0 for an alert string not taken from the string table
    AlertButtonSet buttons = AlertButtonSet::Ok;
    int defaultIndex = 0; // into buttonsOf(buttons)
    std::string text;     // markers already replaced
};

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Shows the alert modally and returns the button the user pressed (one of request.buttons).
    virtual AlertButton present(const AlertRequest& request) = 0;
};

} // namespace qm
