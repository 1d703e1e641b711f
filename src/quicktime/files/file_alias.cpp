#include "quicktime/files/file_alias.h"

#include <algorithm>
#include <system_error>

#include "quicktime/base/errors.h"
#include "quicktime/base/legacy_text.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

enum : std::uint16_t { kTagFileName = 1, kTagRelative = 2, kTagAbsolute = 3 };

// Classic alias record (version 2): fixed part offsets and tags of the extra data.
constexpr std::size_t kClassicFixedSize = 150;
constexpr std::size_t kClassicFileNameOffset = 50; // Str63
enum : std::int16_t {
    kClassicParentName = 0,
    kClassicCarbonPath = 2,
    kClassicUnicodeName = 14,
    kClassicPosixPath = 18,
    kClassicMountPoint = 19,
    kClassicEnd = -1
};

std::vector<std::string> splitPath(const std::string& path, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == separator) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

bool isFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

} // namespace

void FileAlias::pointAt(const fs::path& file, const fs::path& baseFolder)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec).lexically_normal();
    if (ec)
        absolute = file.lexically_normal();
    m_fileName = absolute.filename().string();
    m_absolute = absolute.generic_string();
    m_relative.clear();
    if (!baseFolder.empty()) {
        fs::path base = fs::absolute(baseFolder, ec).lexically_normal();
        if (!ec)
            m_relative = absolute.lexically_relative(base).generic_string();
    }
    m_classic = false;
    m_classicPaths.clear();
    m_trailing.clear();
}

FileAlias FileAlias::forFile(const fs::path& target, const fs::path& baseFolder)
{
    FileAlias a;
    a.pointAt(target, baseFolder);
    return a;
}

Bytes FileAlias::serialize() const
{
    ByteWriter w;
    w.type(kSignature);
    w.u16(1);
    std::vector<std::pair<std::uint16_t, const std::string*>> entries;
    if (!m_fileName.empty())
        entries.emplace_back(kTagFileName, &m_fileName);
    if (!m_relative.empty())
        entries.emplace_back(kTagRelative, &m_relative);
    if (!m_absolute.empty())
        entries.emplace_back(kTagAbsolute, &m_absolute);
    w.u16(std::uint16_t(entries.size()));
    for (auto& [tag, text] : entries) {
        std::size_t n = std::min<std::size_t>(text->size(), 0xFFFF);
        w.u16(tag);
        w.u16(std::uint16_t(n));
        w.bytes(text->data(), n);
    }
    return w.take();
}

OSErr FileAlias::parse(std::span<const std::uint8_t> bytes, FileAlias& out)
{
    ByteReader r(bytes);
    if (r.type() != kSignature)
        return parseClassic(bytes, out);
    r.u16(); // version: later versions keep the tags they share with this one
    std::uint16_t count = r.u16();
    FileAlias a;
    for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        std::uint16_t tag = r.u16();
        std::uint16_t length = r.u16();
        auto text = r.bytes(length);
        if (!r.ok())
            break;
        std::string value(text.begin(), text.end());
        if (tag == kTagFileName)
            a.m_fileName = value;
        else if (tag == kTagRelative)
            a.m_relative = value;
        else if (tag == kTagAbsolute)
            a.m_absolute = value;
    }
    if (!r.ok() || (a.m_relative.empty() && a.m_absolute.empty()))
        return err::paramErr;
    if (a.m_fileName.empty())
        a.m_fileName = fs::path(a.m_absolute.empty() ? a.m_relative : a.m_absolute).filename().string();
    out = std::move(a);
    return err::noErr;
}

OSErr FileAlias::parseClassic(std::span<const std::uint8_t> bytes, FileAlias& out)
{
    if (bytes.size() < kClassicFixedSize)
        return err::paramErr;
    ByteReader fixed(bytes.first(kClassicFixedSize));
    fixed.skip(4); // user type
    std::size_t recordSize = fixed.u16();
    if (fixed.u16() != 2 || recordSize < kClassicFixedSize)
        return err::paramErr;
    fixed.seek(kClassicFileNameOffset);
    std::string shortName = macRomanToUtf8(fixed.pascalString(64));

    std::string parentName, carbonPath, unicodeName, posixPath, mountPoint;
    ByteReader r(bytes.first(std::min(recordSize, bytes.size())));
    r.seek(kClassicFixedSize);
    while (r.remaining() >= 4) {
        std::int16_t tag = r.i16();
        std::uint16_t length = r.u16();
        if (tag == kClassicEnd)
            break;
        auto data = r.bytes(length);
        if (!r.ok())
            break;
        if (length & 1)
            r.skip(1);
        std::string text(data.begin(), data.end());
        switch (tag) {
        case kClassicParentName: parentName = macRomanToUtf8(text); break;
        case kClassicCarbonPath: carbonPath = macRomanToUtf8(text); break;
        case kClassicUnicodeName:
            if (data.size() >= 2)
                unicodeName = utf16BEToUtf8(data.subspan(2, std::min<std::size_t>(loadBE16(data.data()) * 2u,
                                                                                  data.size() - 2)));
            break;
        case kClassicPosixPath: posixPath = legacyTextToUtf8(text); break;
        case kClassicMountPoint: mountPoint = legacyTextToUtf8(text); break;
        default: break;
        }
    }

    FileAlias a;
    a.m_classic = true;
    a.m_fileName = !unicodeName.empty() ? unicodeName : shortName;
    if (!posixPath.empty()) {
        std::string root = mountPoint.empty() ? "/" : mountPoint;
        a.m_classicPaths.push_back((fs::path(root) / fs::path(posixPath).relative_path()).generic_string());
        a.m_trailing = splitPath(posixPath, '/');
    }
    if (!carbonPath.empty()) {
        // "Volume:folder:file" (or a Windows path from QuickTime for Windows): the volume is
        // unknown here, so the rest is tried from the file system's root.
        char separator = carbonPath.find('\\') != std::string::npos ? '\\' : ':';
        auto parts = splitPath(carbonPath, separator);
        if (parts.size() > 1) {
            fs::path p("/");
            for (std::size_t i = 1; i < parts.size(); ++i)
                p /= parts[i];
            a.m_classicPaths.push_back(p.generic_string());
            if (a.m_trailing.empty())
                a.m_trailing.assign(parts.begin() + 1, parts.end());
        }
    }
    if (a.m_trailing.empty()) {
        if (!parentName.empty())
            a.m_trailing.push_back(parentName);
        if (!a.m_fileName.empty())
            a.m_trailing.push_back(a.m_fileName);
    }
    if (a.m_fileName.empty() && !a.m_trailing.empty())
        a.m_fileName = a.m_trailing.back();
    if (a.m_fileName.empty())
        return err::paramErr;
    out = std::move(a);
    return err::noErr;
}

std::vector<fs::path> FileAlias::candidates(const fs::path& baseFolder) const
{
    std::vector<fs::path> places;
    if (!m_classic) {
        if (!baseFolder.empty() && !m_relative.empty())
            places.push_back((baseFolder / m_relative).lexically_normal());
        if (!m_absolute.empty())
            places.emplace_back(m_absolute);
    } else {
        places.insert(places.end(), m_classicPaths.begin(), m_classicPaths.end());
        // Nearest first: the file beside the project, then inside its folder, its folder's
        // folder, and so on.
        if (!baseFolder.empty()) {
            for (std::size_t keep = 1; keep <= m_trailing.size(); ++keep) {
                fs::path p = baseFolder;
                for (std::size_t i = m_trailing.size() - keep; i < m_trailing.size(); ++i)
                    p /= m_trailing[i];
                places.push_back(p.lexically_normal());
            }
        }
    }
    // Last resort for any record: a file of the same name beside the project.
    if (!baseFolder.empty() && !m_fileName.empty())
        places.push_back((baseFolder / m_fileName).lexically_normal());
    return places;
}

OSErr FileAlias::resolve(const fs::path& baseFolder, fs::path& found, bool& updated)
{
    updated = false;
    for (const fs::path& place : candidates(baseFolder)) {
        if (!isFile(place))
            continue;
        Bytes before = serialize();
        bool wasClassic = m_classic;
        pointAt(place, baseFolder);
        updated = wasClassic || serialize() != before;
        found = place;
        return err::noErr;
    }
    return err::fnfErr;
}

} // namespace qm
