#pragma once
// Data references of a media ('dinf'/'dref'): where its sample bytes live. A self reference
// (flag 1) means the movie's own file; others name another file through a Macintosh alias
// record ('alis') or a URL ('url ').
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

struct DataReference {
    OSType type = fourCC("alis");
    std::uint32_t versionFlags = 1;   // version (high byte) and flags
    Bytes data;

    bool isSelf() const { return (versionFlags & 1) != 0; }
    static DataReference self() { return {}; }
    friend bool operator==(const DataReference&, const DataReference&) = default;
};

// The payload of a 'dref' atom. An announced count beyond the entries present is an error
// (invalidMovie).
OSErr parseDataReferences(std::span<const std::uint8_t> drefPayload, std::vector<DataReference>& out);
// A whole 'dinf' atom holding the 'dref'.
void writeDataInformation(ByteWriter& w, const std::vector<DataReference>& refs);

// The file a reference to another file names, tried in this order: the POSIX path of the alias
// record (mount point + path on the volume, or the path from the root), its Carbon path with the
// volume name taken off, and its file name in the movie's folder; for 'url ' references a
// file:// URL or a path relative to the movie's folder. Empty when nothing found exists.
std::filesystem::path resolveDataReference(const DataReference& ref, const std::filesystem::path& movieFolder);

} // namespace qm
