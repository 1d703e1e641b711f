#pragma once
#include <cstdint>
#include <filesystem>
#include <span>

#include "quicktime/base/os_types.h"

namespace qm {

// Replaces (or creates) target with data so that at any moment target is either the old file
// or the complete new one: the data go to a temporary file in the same folder, are flushed to
// disk and then renamed over target. A symbolic link is followed, so the file it names is
// replaced and the link stays. An existing file keeps its permissions. On failure target is
// untouched and no temporary file is left.
OSErr writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> data);

} // namespace qm
