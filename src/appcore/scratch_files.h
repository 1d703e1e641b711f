#pragma once
// Names of scratch files: "t<n>-<pid>.tmp" in the scratch folder, n being the system tick count
// (1/60 second since the system started) when the name was made and pid the process that made
// it, so that files left by a process that has ended can be told apart and removed.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "quicktime/base/os_types.h"

namespace qm {

// Ticks (1/60 second) since the system started.
std::int64_t systemTicks();

// The system's temporary folder: $TMPDIR (also when it names nothing usable, so that the
// problem is reported against it), else /tmp.
std::filesystem::path defaultScratchFolder();

// The folder scratch files go to for a scratch folder preference: the preference itself, or
// the system's temporary folder when it is empty.
std::filesystem::path effectiveScratchFolder(const std::filesystem::path& preference);

class ScratchFileNamer {
public:
    explicit ScratchFileNamer(std::function<std::int64_t()> ticks = systemTicks)
        : m_ticks(std::move(ticks))
    {
    }

    // A new scratch file path. folder is the scratch folder (empty: the temporary folder); when
    // it names a file instead, the result is a sibling of that file with "~" before its last
    // four characters. Names made in a folder are registered for removal should the process be
    // ended by a signal (cleanup_files.h). The name is never one given out before by this namer and never that of
    // an existing file. With create set the file is made (empty), exclusively, so that no other
    // process can take the name. Errors: -43 when the folder does not exist; file system errors
    // of the creation.
    OSErr makeScratchFile(const std::filesystem::path& folder, std::filesystem::path& out, bool create);

private:
    std::function<std::int64_t()> m_ticks;
    std::int64_t m_lastNumber = -1;
};

// Removes the scratch files of this user in `folder` whose process has ended (the pid in the
// name no longer runs). Returns how many were removed.
int removeStaleScratchFiles(const std::filesystem::path& folder);

// Free space below which the scratch folder counts as full.
inline constexpr std::uint64_t kMinScratchSpace = 1u << 20;

// 0 when scratch files can be made in the scratch folder (empty: the temporary folder). Else
// the problem, with a detail naming the folder: -43 when it does not exist, err::notAFileErr
// when it is no folder, -54/-46 when it cannot be written, -34 when it is full.
OSErr checkScratchFolder(const std::filesystem::path& folder, std::string* detail);

// The program's namer.
ScratchFileNamer& scratchFileNamer();

} // namespace qm
