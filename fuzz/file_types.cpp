// File type detection over arbitrary bytes: the content signatures (strong and weak) and the
// AppleDouble reader must stay within the buffer whatever it holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "quicktime/files/file_types.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> all(data, size);
    const std::span<const std::uint8_t> head = all.first(std::min(size, qm::kFileTypeHeadBytes));
    const std::span<const std::uint8_t> tail = all.last(std::min(size, qm::kFileTypeTailBytes));
    qm::fileTypeFromContent(head, tail, size, false);
    qm::fileTypeFromContent(head, tail, size, true);
    // A file size smaller than the bytes seen must not confuse the atom walk.
    qm::fileTypeFromContent(head, tail, size / 2, true);
    qm::fileTypeFromAppleDouble(all);
    return 0;
}
