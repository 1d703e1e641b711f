#pragma once
// The idle check of free space on the scratch disk, which warns once when it falls below the
// threshold of the preferences and again only after it has recovered.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>

namespace qm {

class AlertService;
class PreferencesRecord;

// Space available to this user on the volume holding path, in whole megabytes of 1,048,576
// bytes; empty when the system cannot tell.
std::optional<std::uint64_t> freeMegabytes(const std::filesystem::path& path);

class ScratchSpaceMonitor {
public:
    using FreeSpaceQuery = std::function<std::optional<std::uint64_t>(const std::filesystem::path&)>;

    // One check: true when the low-space warning must be shown now. A failed query never warns
    // and re-arms the warning; a volume with no space left at all does warn.
    bool evaluate(bool warningOn, int thresholdMB, std::optional<std::uint64_t> freeMB);

    // The idle entry point (ticks of 1/60 second): at most once a second, queries the scratch
    // folder's free space and shows caution alert 152 with the threshold and the folder.
    void idle(std::int64_t ticks, const PreferencesRecord& preferences, AlertService& alerts,
              const FreeSpaceQuery& query = freeMegabytes);

    bool warned() const { return m_warned; }

private:
    bool m_warned = false;
    std::int64_t m_lastCheck = std::numeric_limits<std::int64_t>::min();
};

} // namespace qm
