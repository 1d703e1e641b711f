#pragma once
// Shows alerts with the system's message box: caption " ", the stop or caution icon, the
// standard buttons of the alert's button set and its default button.
#include "appcore/alert_presenter.h"

namespace qm {

class MessageBoxPresenter final : public AlertPresenter {
public:
    AlertButton present(const AlertRequest& request) override;
};

} // namespace qm
