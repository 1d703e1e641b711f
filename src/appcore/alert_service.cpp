#include "appcore/alert_service.h"

#include <iostream>
#include <string>

#include "appcore/error_table.h"
#include "appcore/headless_alert_presenter.h"
#include "appcore/string_table.h"
#include "quicktime/base/legacy_text.h"

namespace qm {

void AlertService::setParameters(std::string_view p0, std::string_view p1, std::string_view p2,
                                 std::string_view p3)
{
    m_parameters = {cutText(p0, kMaxAlertParameterBytes), cutText(p1, kMaxAlertParameterBytes),
                    cutText(p2, kMaxAlertParameterBytes), cutText(p3, kMaxAlertParameterBytes)};
}

int AlertService::showStringId(AlertIcon icon, int stringId)
{
    const auto source = loadString(stringId);
    if (!source)
        return -1;
    return showAlertString(icon, *source, stringId);
}

int AlertService::showAlertString(AlertIcon icon, std::string_view alertString, int stringId)
{
    const auto parsed = AlertString::parse(alertString);
    if (!parsed)
        return -1;
    AlertRequest request;
    request.icon = icon;
    request.stringId = stringId;
    request.buttons = parsed->buttonSet();
    request.defaultIndex = parsed->defaultIndex();
    request.text = substituteAlertMarkers(parsed->message(), m_parameters);
    return parsed->resultFor(m_presenter->present(request));
}

void AlertService::reportError(OSErr code)
{
    // The detail belongs to this report only, even when the report is silent; a detail left
    // behind would otherwise appear under an unrelated later error.
    const std::string detail = std::move(m_errorDetail);
    m_errorDetail.clear();
    if (code == 0 || code == -128)
        return;
    const std::string number = std::to_string(code);
    if (detail.empty()) {
        setParameters(errorMessage(code), number);
        stopAlert(alertError);
    } else {
        setParameters(errorMessage(code), number, detail);
        stopAlert(alertErrorWithDetail);
    }
}

void AlertService::reportStartupFailure(OSErr code, std::string_view detail)
{
    if (code == 0)
        return;
    std::string text = "An error occured! (" + std::to_string(code) + ")";
    // The alert's one parameter is cut at 255 bytes; the number must survive any detail.
    if (!detail.empty())
        text += "\n\n" + cutText(detail, kMaxAlertParameterBytes - text.size() - 2);
    setParameters(text);
    stopAlert(alertOk);
}

AlertService& alerts()
{
    static HeadlessAlertPresenter headless(&std::cerr);
    static AlertService service(headless);
    return service;
}

} // namespace qm
