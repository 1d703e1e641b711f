#pragma once
// File aliases: records that find a media file again after the project, the media or both have
// moved. Our record holds the file's path relative to the project's folder and its absolute
// path (tried in that order). Classic Macintosh alias records (version 2, as other tools wrote
// them) are read too: their POSIX and colon paths and their file and folder names give the
// places to look. A resolved record is always rewritten in our form.
//
// Our form, big-endian: 'QMAL', version (u16, 1), entry count (u16), then per entry a tag
// (u16), a length (u16) and that many bytes of UTF-8: 1 file name, 2 path relative to the
// project's folder ('/' separated), 3 absolute path. Unknown tags are skipped.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

class FileAlias {
public:
    static constexpr OSType kSignature = fourCC("QMAL");

    FileAlias() = default;
    // baseFolder: the project's folder; empty for a project never saved (no relative path).
    static FileAlias forFile(const std::filesystem::path& target, const std::filesystem::path& baseFolder);
    // Either form. err::paramErr when the bytes are neither or name no file at all.
    static OSErr parse(std::span<const std::uint8_t> bytes, FileAlias& out);
    Bytes serialize() const;

    // Looks for the file at each candidate place in turn. On success `found` is its path and
    // `updated` tells whether the record changed (the caller stores serialize() then).
    // err::fnfErr when the file is at none of the places.
    OSErr resolve(const std::filesystem::path& baseFolder, std::filesystem::path& found, bool& updated);
    // The places resolve() tries, in order.
    std::vector<std::filesystem::path> candidates(const std::filesystem::path& baseFolder) const;

    bool isClassic() const { return m_classic; }
    const std::string& fileName() const { return m_fileName; }
    const std::string& relativePath() const { return m_relative; }
    const std::string& absolutePath() const { return m_absolute; }

private:
    static OSErr parseClassic(std::span<const std::uint8_t> bytes, FileAlias& out);
    void pointAt(const std::filesystem::path& file, const std::filesystem::path& baseFolder);

    std::string m_fileName;
    std::string m_relative;
    std::string m_absolute;
    bool m_classic = false;
    // Classic records: absolute paths worth trying, and the trailing path components (folders
    // then the file name) to look for under the project's folder.
    std::vector<std::string> m_classicPaths;
    std::vector<std::string> m_trailing;
};

} // namespace qm
