#include "appcore/progress.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace qm {

namespace {

std::string countTextFor(std::int32_t count)
{
    return count >= 1 ? std::to_string(count) : std::string(5, ' ');
}

} // namespace

void Progress::open(const ProgressSettings& settings)
{
    m_settings = settings;
    m_current = 0;
    m_percent = 0;
    m_continue = true;
    m_open = true;
    if (!(m_settings.options & progressShowsMessage))
        m_settings.message.clear();
    m_countText = (m_settings.options & progressShowsCount) ? countTextFor(m_settings.count) : std::string();
    opened();
}

bool Progress::update(std::optional<std::string_view> message, std::int32_t value, std::int32_t count)
{
    if ((m_settings.options & progressShowsMessage) && message)
        m_settings.message = std::string(*message);
    if ((m_settings.options & progressShowsCount) && count != 0)
        m_countText = countTextFor(count);
    if ((m_settings.options & progressShowsBar) && value != 0) {
        std::int64_t v = value;
        if (v < 0)
            v = -v + m_current;
        v = std::clamp<std::int64_t>(v, 0, INT32_MAX);
        // A maximum of 0 or less cannot be divided by; such work shows an empty bar.
        const std::int64_t pct = m_settings.maximum > 0 ? v * 100 / m_settings.maximum : 0;
        m_percent = int(std::clamp<std::int64_t>(pct, 0, 100));
        m_current = std::int32_t(v);
    }
    if (m_open)
        changed();
    poll();
    return m_continue;
}

void Progress::close()
{
    if (!m_open)
        return;
    m_open = false;
    closed();
}

bool Progress::visibleAfterDelay() const
{
    if (!(m_settings.options & progressShowsBar) || m_settings.maximum <= 0)
        return true;
    return double(m_current) / double(m_settings.maximum) < 0.5;
}

} // namespace qm
