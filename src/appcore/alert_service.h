#pragma once
// Alerts and error reports. The parameters and the error detail are program-wide state, as every
// part of the program sets them just before showing an alert.
#include <string>
#include <string_view>

#include "appcore/alert_presenter.h"
#include "quicktime/base/os_types.h"

namespace qm {

class AlertService {
public:
    explicit AlertService(AlertPresenter& presenter) : m_presenter(&presenter) {}

    void setPresenter(AlertPresenter& presenter) { m_presenter = &presenter; }
    AlertPresenter& presenter() const { return *m_presenter; }

    // Replaces all four parameters; a text longer than 255 bytes is cut.
    void setParameters(std::string_view p0 = {}, std::string_view p1 = {}, std::string_view p2 = {},
                       std::string_view p3 = {});
    const AlertParameters& parameters() const { return m_parameters; }

    // Extra text for the next error report (shown as ^2 of alert 81); cleared by every report.
    void setErrorDetail(std::string_view detail) { m_errorDetail = std::string(detail); }
    const std::string& errorDetail() const { return m_errorDetail; }

    // Show the alert string with this id; the result is 1 for the default button, 2 for Cancel
    // when it is not the default, 3 for any other button and -1 when there is nothing to show.
    int stopAlert(int stringId) { return showStringId(AlertIcon::Stop, stringId); }
    int cautionAlert(int stringId) { return showStringId(AlertIcon::Caution, stringId); }
    int showAlertString(AlertIcon icon, std::string_view alertString, int stringId = 0);

    // Shows the message of an error code with the code in parentheses; silent for 0 and -128.
    void reportError(OSErr code);
    // The start-up failure alert: "An error occured! (code)", then the detail when there is one.
    void reportStartupFailure(OSErr code, std::string_view detail = {});

private:
    int showStringId(AlertIcon icon, int stringId);

    AlertPresenter* m_presenter;
    AlertParameters m_parameters;
    std::string m_errorDetail;
};

// The program's alert service. Until the program installs its own presenter, alerts go to the
// headless presenter, which prints them on stderr and answers with the default button.
AlertService& alerts();

} // namespace qm
