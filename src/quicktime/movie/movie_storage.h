#pragma once
// Files under the movie layer: positioned reads and writes with QuickTime-style error codes, and
// the fast copy of byte ranges between files that flattening relies on.
#include <cstdint>
#include <filesystem>
#include <memory>

#include "quicktime/base/os_types.h"

namespace qm {

class DataFile {
public:
    enum class Mode { read, readWrite };
    static OSErr open(const std::filesystem::path& path, Mode mode, std::unique_ptr<DataFile>& out);
    // Creates a new empty file; an existing one is replaced only when deleteExisting is set
    // (otherwise dupFNErr).
    static OSErr create(const std::filesystem::path& path, bool deleteExisting, std::unique_ptr<DataFile>& out);
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Reading beyond the end gives eofErr and reads nothing useful.
    OSErr read(std::uint64_t offset, void* dst, std::size_t n) const;
    OSErr write(std::uint64_t offset, const void* src, std::size_t n);
    OSErr truncate(std::uint64_t size);
    std::uint64_t size() const { return m_size; }
    bool writable() const { return m_writable; }
    int fd() const { return m_fd; }
    const std::filesystem::path& path() const { return m_path; }

private:
    friend OSErr copyFileRange(const DataFile&, std::uint64_t, DataFile&, std::uint64_t, std::uint64_t);
    DataFile(int fd, std::filesystem::path path, bool writable, std::uint64_t size);
    int m_fd = -1;
    std::filesystem::path m_path;
    bool m_writable = false;
    std::uint64_t m_size = 0;
};

// Copies n bytes from src at srcOffset to dst at dstOffset: in the kernel when it can, otherwise
// through a large buffer.
OSErr copyFileRange(const DataFile& src, std::uint64_t srcOffset, DataFile& dst, std::uint64_t dstOffset,
                    std::uint64_t n);

// The error code for the current errno value.
OSErr errnoToOSErr(int error);

} // namespace qm
