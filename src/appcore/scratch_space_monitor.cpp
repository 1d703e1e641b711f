#include "appcore/scratch_space_monitor.h"

#include <algorithm>
#include <string>

#include "appcore/alert_service.h"
#include "appcore/preferences_record.h"
#include "appcore/scratch_files.h"
#include "appcore/string_table.h"

namespace qm {

std::optional<std::uint64_t> freeMegabytes(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::space_info info = std::filesystem::space(path, ec);
    if (ec || info.available == static_cast<std::uintmax_t>(-1))
        return std::nullopt;
    return std::uint64_t(info.available / (1024 * 1024));
}

bool ScratchSpaceMonitor::evaluate(bool warningOn, int thresholdMB, std::optional<std::uint64_t> freeMB)
{
    if (!warningOn)
        return false;
    if (!freeMB || *freeMB >= std::uint64_t(std::max(thresholdMB, 0))) {
        m_warned = false;
        return false;
    }
    if (m_warned)
        return false;
    m_warned = true;
    return true;
}

void ScratchSpaceMonitor::idle(std::int64_t ticks, const PreferencesRecord& preferences, AlertService& alerts,
                               const FreeSpaceQuery& query)
{
    if (!preferences.lowSpaceWarning())
        return;
    if (m_lastCheck != std::numeric_limits<std::int64_t>::min() && ticks - m_lastCheck < 60)
        return;
    m_lastCheck = ticks;
    const std::filesystem::path folder = effectiveScratchFolder(preferences.scratchFolder());
    const int threshold = preferences.warningThresholdMB();
    // evaluate() marks the warning as shown before the alert opens: the alert's own event loop
    // keeps idle running, and must not stack a second warning on the first.
    if (evaluate(true, threshold, query(folder))) {
        alerts.setParameters(std::to_string(threshold), folder.string());
        alerts.cautionAlert(alertLowScratchSpace);
    }
}

} // namespace qm
