#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

#include "quicktime/base/os_types.h"

namespace qm {

// Replaces (or creates) target with data so that at any moment target is either the old file
// or the complete new one: the data go to a temporary file in the same folder, are flushed to
// disk and then renamed over target. A symbolic link is followed, so the file it names is
// replaced and the link stays. An existing file keeps its permissions. On failure target is
// untouched and no temporary file is left.
OSErr writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> data);

// Copies the file `from` to `target` in the same way. keepGoing (when given) is asked after
// every megabyte; false cancels with -128, leaving target as it was.
OSErr copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& target,
                         const std::function<bool()>& keepGoing = {});

// For files that other code writes by path (movies, images): `write` makes the new file at the
// temporary path it is given, beside target; it is then flushed to disk and renamed over
// target. On any failure target is untouched and the temporary file is removed.
OSErr publishFileAtomically(const std::filesystem::path& target,
                            const std::function<OSErr(const std::filesystem::path& temporary)>& write);

} // namespace qm
