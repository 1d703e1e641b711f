#pragma once
// A file opened for reading at explicit offsets (64-bit), with errors as the program's codes.
#include <cstdint>
#include <filesystem>
#include <span>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // -43 when the file does not exist; other file system errors as they come.
    OSErr open(const std::filesystem::path& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    std::uint64_t size() const { return m_size; }
    // Exactly out.size() bytes from offset; err::eofErr when the file ends first.
    OSErr readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    OSErr readAt(std::uint64_t offset, std::size_t length, Bytes& out) const;

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
};

} // namespace qm
