#pragma once
// Names of scratch files: "t<n>.tmp" in the scratch folder, n being the system tick count
// (1/60 second since the system started) when the name was made.
#include <cstdint>
#include <filesystem>
#include <functional>

#include "quicktime/base/os_types.h"

namespace qm {

// Ticks (1/60 second) since the system started.
std::int64_t systemTicks();

// The system's temporary folder, or an empty path when there is none.
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
    // four characters. The name is never one given out before by this namer and never that of
    // an existing file. With create set the file is made (empty), exclusively, so that no other
    // process can take the name. Errors: -43 when the folder does not exist; file system errors
    // of the creation.
    OSErr makeScratchFile(const std::filesystem::path& folder, std::filesystem::path& out, bool create);

private:
    std::function<std::int64_t()> m_ticks;
    std::int64_t m_lastNumber = -1;
};

// The program's namer.
ScratchFileNamer& scratchFileNamer();

} // namespace qm
