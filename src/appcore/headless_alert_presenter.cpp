#include "appcore/headless_alert_presenter.h"

#include <algorithm>

namespace qm {

AlertButton HeadlessAlertPresenter::present(const AlertRequest& request)
{
    m_shown.push_back(request);
    if (m_echo)
        *m_echo << (request.icon == AlertIcon::Stop ? "Error: " : "Warning: ") << request.text << "\n";
    const auto buttons = buttonsOf(request.buttons);
    const std::size_t defaultAt = std::min<std::size_t>(std::size_t(std::max(request.defaultIndex, 0)),
                                                        buttons.size() - 1);
    AlertButton answer = buttons[defaultAt];
    if (!m_answers.empty()) {
        const AlertButton queued = m_answers.front();
        m_answers.pop_front();
        if (std::find(buttons.begin(), buttons.end(), queued) != buttons.end())
            answer = queued;
    }
    return answer;
}

} // namespace qm
