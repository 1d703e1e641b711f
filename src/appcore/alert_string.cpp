#include "appcore/alert_string.h"

#include <algorithm>

namespace qm {

namespace {

constexpr AlertButton kOk[] = {AlertButton::Ok};
constexpr AlertButton kOkCancel[] = {AlertButton::Ok, AlertButton::Cancel};
constexpr AlertButton kRetryCancel[] = {AlertButton::Retry, AlertButton::Cancel};
constexpr AlertButton kYesNo[] = {AlertButton::Yes, AlertButton::No};
constexpr AlertButton kAbortRetryIgnore[] = {AlertButton::Abort, AlertButton::Retry, AlertButton::Ignore};
constexpr AlertButton kYesNoCancel[] = {AlertButton::Yes, AlertButton::No, AlertButton::Cancel};

} // namespace

std::span<const AlertButton> buttonsOf(AlertButtonSet set)
{
    switch (set) {
    case AlertButtonSet::Ok: return kOk;
    case AlertButtonSet::OkCancel: return kOkCancel;
    case AlertButtonSet::RetryCancel: return kRetryCancel;
    case AlertButtonSet::YesNo: return kYesNo;
    case AlertButtonSet::AbortRetryIgnore: return kAbortRetryIgnore;
    case AlertButtonSet::YesNoCancel: return kYesNoCancel;
    }
    return kOk;
}

std::optional<AlertString> AlertString::parse(std::string_view source)
{
    const std::size_t end = source.find("//");
    if (end == std::string_view::npos)
        return std::nullopt;
    AlertString a;
    std::string_view list = source.substr(0, end);
    while (!list.empty()) {
        const std::size_t slash = list.find('/');
        std::string_view name = list.substr(0, slash);
        list = slash == std::string_view::npos ? std::string_view() : list.substr(slash + 1);
        if (name.empty())
            continue; // the "/" that introduces the first name
        if (name.front() == '&') {
            if (a.m_markedIndex < 0)
                a.m_markedIndex = int(a.m_names.size());
            name.remove_prefix(1);
        }
        a.m_names.emplace_back(name);
    }
    a.m_message = std::string(source.substr(end + 2));
    return a;
}

AlertButtonSet AlertString::buttonSet() const
{
    const char first = m_names.empty() || m_names.front().empty() ? '\0' : m_names.front().front();
    if (m_names.size() <= 1)
        return AlertButtonSet::Ok;
    if (m_names.size() == 2) {
        if (first == 'O')
            return AlertButtonSet::OkCancel;
        if (first == 'R')
            return AlertButtonSet::RetryCancel;
        return AlertButtonSet::YesNo;
    }
    return first == 'A' ? AlertButtonSet::AbortRetryIgnore : AlertButtonSet::YesNoCancel;
}

int AlertString::defaultIndex() const
{
    // A mark beyond the set's buttons (a fourth name) leaves the system's first button default.
    const int count = int(buttonsOf(buttonSet()).size());
    return m_markedIndex > 0 && m_markedIndex < count ? m_markedIndex : 0;
}

int AlertString::resultFor(AlertButton pressed) const
{
    if (pressed == defaultButton())
        return 1;
    if (pressed == AlertButton::Cancel)
        return 2;
    return 3;
}

std::string substituteAlertMarkers(std::string_view text, const AlertParameters& parameters)
{
    struct Hit {
        std::size_t at;
        std::size_t slot;
    };
    std::vector<Hit> hits;
    for (std::size_t slot = 0; slot < parameters.size(); ++slot) {
        const char marker[] = {'^', char('0' + slot), '\0'};
        const std::size_t at = text.find(marker);
        if (at != std::string_view::npos)
            hits.push_back({at, slot});
    }
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.at < b.at; });
    std::string out;
    std::size_t from = 0;
    for (const Hit& h : hits) {
        out.append(text.substr(from, h.at - from));
        out.append(parameters[h.slot]);
        from = h.at + 2;
    }
    out.append(text.substr(from));
    return out;
}

} // namespace qm
