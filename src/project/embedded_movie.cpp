#include "project/embedded_movie.h"

#include <algorithm>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/base/read_only_file.h"
#include "quicktime/base/safe_file_writer.h"

namespace qm {

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

} // namespace

OSErr findMovieAtom(const std::filesystem::path& movieFile, std::uint64_t& offset)
{
    ReadOnlyFile file;
    if (OSErr e = file.open(movieFile))
        return e;
    std::uint64_t at = 0;
    while (file.size() - at >= 8) {
        std::uint8_t header[16];
        if (OSErr e = file.readAt(at, std::span<std::uint8_t>(header, 8)))
            return e;
        std::uint64_t size = loadBE32(header);
        OSType type = loadBE32(header + 4);
        if (type == fourCC("moov")) {
            offset = at;
            return err::noErr;
        }
        if (size == 1) {
            if (file.size() - at < 16 || file.readAt(at + 8, std::span<std::uint8_t>(header + 8, 8)) != err::noErr)
                break;
            size = (std::uint64_t(loadBE32(header + 8)) << 32) | loadBE32(header + 12);
            if (size < 16)
                break;
        } else if (size == 0) {
            break; // the last atom runs to the end of the file
        } else if (size < 8) {
            break;
        }
        if (size > file.size() - at)
            break;
        at += size;
    }
    return err::noMovieFound;
}

OSErr copyEmbeddedMovie(const EmbeddedMovie& movie)
{
    ReadOnlyFile in;
    if (OSErr e = in.open(movie.projectFile))
        return e;
    std::uint64_t end = std::min(movie.trailerOffset, in.size());
    std::uint8_t header[8];
    if (movie.movieOffset > end || end - movie.movieOffset < 8 ||
        in.readAt(movie.movieOffset, std::span<std::uint8_t>(header)) != err::noErr ||
        loadBE32(header + 4) != fourCC("moov"))
        return err::noMovieFound;

    // The movie's own offsets count from the start of the project file, so everything from
    // offset 0 is copied. A container that follows the movie is left out; one that sits inside
    // the copied range becomes a 'free' atom.
    bool containerInside = false;
    if (movie.containerOffset > movie.movieOffset && movie.containerOffset < end)
        end = movie.containerOffset;
    else if (movie.containerOffset + movie.containerLength <= end && movie.containerLength >= 8 &&
             movie.containerLength <= 0xFFFFFFFFu)
        containerInside = true;

    SafeFileWriter out;
    if (OSErr e = out.open(movie.scratchFile))
        return e;
    Bytes buffer;
    for (std::uint64_t at = 0; at < end;) {
        std::size_t n = std::size_t(std::min<std::uint64_t>(kCopyChunk, end - at));
        if (containerInside && at < movie.containerOffset && at + n > movie.containerOffset)
            n = std::size_t(movie.containerOffset - at); // the container's header starts a chunk
        if (OSErr e = in.readAt(at, n, buffer))
            return e;
        if (containerInside && movie.containerOffset >= at && movie.containerOffset + 8 <= at + n) {
            std::size_t p = std::size_t(movie.containerOffset - at);
            storeBE32(&buffer[p], std::uint32_t(movie.containerLength));
            storeBE32(&buffer[p + 4], fourCC("free"));
        }
        if (OSErr e = out.write(buffer))
            return e;
        at += n;
        if (movie.progress &&
            !movie.progress(movie.progressTitle, movie.progressMessage, int(at * 100 / std::max<std::uint64_t>(end, 1))))
            return err::userCanceledErr;
    }
    return out.commit();
}

} // namespace qm
