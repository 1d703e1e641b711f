#pragma once
// The four-character file type of a file, as a Macintosh would report it: from the file's
// content, else from its name's extension, else from an AppleDouble companion ("._name") that
// a Mac left beside it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "quicktime/base/os_types.h"

namespace qm {

// The file types that import as still images and as movies.
inline constexpr std::array<OSType, 16> kStillImageFileTypes = {
    fourCC("8BPS"), fourCC("BMP "), fourCC("BMPf"), fourCC("GIF "), fourCC("GIFf"), fourCC("JPEG"),
    fourCC("PICT"), fourCC("PNG "), fourCC("PNGf"), fourCC("PNTG"), fourCC("SGI "), fourCC("TIFF"),
    fourCC("TPIC"), fourCC("clpp"), fourCC("qdgx"), fourCC("qtif"),
};
inline constexpr OSType kMovieFileType = fourCC("MooV");

bool isStillImageFileType(OSType type);
inline bool isMovieFileType(OSType type) { return type == kMovieFileType; }

// How much of a file's start and end fileTypeFromContent looks at.
inline constexpr std::size_t kFileTypeHeadBytes = 1024;
inline constexpr std::size_t kFileTypeTailBytes = 26;

// By the name's extension, ignoring case; 0 when the extension is unknown.
OSType fileTypeFromExtension(const std::filesystem::path& name);

// By content. head: the file's first bytes (up to kFileTypeHeadBytes); tail: its last bytes (up
// to kFileTypeTailBytes); fileSize: its whole size. Signatures that random data can match by
// chance count only with weak set. 0 when nothing matches.
OSType fileTypeFromContent(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail,
                           std::uint64_t fileSize, bool weak = false);

// The file type from an AppleDouble file's Finder information; 0 when it has none.
OSType fileTypeFromAppleDouble(std::span<const std::uint8_t> appleDouble);

// The type of a file on disk: strong content signatures first, then the extension, then weak
// signatures, then an AppleDouble companion. type is 0 for a file of no known type (not an
// error). Errors: -43 for a missing file or a folder; file system errors.
OSErr getFileType(const std::filesystem::path& file, OSType& type);

} // namespace qm
