#pragma once
// Checks of a path before it is read or replaced, with the reason as a detail text. Readers
// (ReadOnlyFile, DataFile) open files non-blocking and refuse anything but regular files with
// err::notAFileErr, so a named pipe never holds them up.
#include <filesystem>
#include <string>

#include "quicktime/base/os_types.h"

namespace qm {

namespace err {
constexpr OSErr notAFileErr = -1302; // a folder, device, named pipe or socket where a file belongs
}

// 0 when `file` names a regular file (through symbolic links). -43 when nothing is there;
// err::notAFileErr for a folder, device, named pipe or socket, with a detail naming which.
// Never opens the file, so a named pipe cannot block.
OSErr checkInputFile(const std::filesystem::path& file, std::string* detail = nullptr);

// 0 when `file` does not exist or may be replaced. -45 for a file without any write permission
// bit (checked as bits, so that it holds for the superuser too) or one the user may not write;
// -46 for a file on a read-only volume.
OSErr checkReplaceableFile(const std::filesystem::path& file, std::string* detail = nullptr);

} // namespace qm
