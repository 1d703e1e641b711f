#pragma once
// Alerts without a window: each alert is recorded, optionally echoed to a stream, and answered
// with the next queued answer or else the default button. Serves quillmere-cli and the tests.
#include <deque>
#include <ostream>
#include <vector>

#include "appcore/alert_presenter.h"

namespace qm {

class HeadlessAlertPresenter : public AlertPresenter {
public:
    explicit HeadlessAlertPresenter(std::ostream* echo = nullptr) : m_echo(echo) {}

    AlertButton present(const AlertRequest& request) override;

    // Answers for the next alerts, in order; an answer that is not a button of the alert's set
    // counts as the default button.
    void queueAnswer(AlertButton button) { m_answers.push_back(button); }
    const std::vector<AlertRequest>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); m_answers.clear(); }

private:
    std::ostream* m_echo;
    std::deque<AlertButton> m_answers;
    std::vector<AlertRequest> m_shown;
};

} // namespace qm
