#include "quicktime/movie/movie_data_ref.h"

#include <string>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie_atom.h"

namespace qm {

OSErr parseDataReferences(std::span<const std::uint8_t> drefPayload, std::vector<DataReference>& out)
{
    out.clear();
    ByteReader r(drefPayload);
    r.u32();
    std::uint32_t count = r.u32();
    if (!r.ok())
        return err::invalidMovie;
    AtomIterator it(drefPayload.subspan(8));
    AtomSpan a;
    while (out.size() < count && it.next(a)) {
        DataReference ref;
        ref.type = a.type;
        ByteReader e(a.payload);
        ref.versionFlags = e.u32();
        if (!e.ok())
            return err::invalidMovie;
        auto rest = e.bytes(e.remaining());
        ref.data.assign(rest.begin(), rest.end());
        out.push_back(std::move(ref));
    }
    if (out.size() < count)
        return err::invalidMovie;
    return err::noErr;
}

void writeDataInformation(ByteWriter& w, const std::vector<DataReference>& refs)
{
    auto dinf = beginAtom(w, fourCC("dinf"));
    auto dref = beginAtom(w, fourCC("dref"));
    w.u32(0);
    w.u32(std::uint32_t(refs.size()));
    for (const auto& ref : refs) {
        auto at = beginAtom(w, ref.type);
        w.u32(ref.versionFlags);
        w.bytes(ref.data);
        endAtom(w, at);
    }
    endAtom(w, dref);
    endAtom(w, dinf);
}

namespace {

bool isFile(const std::filesystem::path& p)
{
    std::error_code ec;
    return !p.empty() && std::filesystem::is_regular_file(p, ec);
}

struct AliasPaths {
    std::string fileName, carbonPath, posixPath, mountPoint;
};

// The parts of a version 2 alias record that can find a file on this system.
AliasPaths readAlias(std::span<const std::uint8_t> alias)
{
    AliasPaths out;
    ByteReader r(alias);
    if (!r.skip(50))
        return out;
    out.fileName = r.pascalString(64);
    if (!r.seek(150))
        return out;
    while (r.remaining() >= 4) {
        std::int16_t tag = r.i16();
        std::uint16_t length = r.u16();
        if (tag == -1)
            break;
        auto data = r.bytes(length);
        if (!r.ok())
            break;
        if (length % 2)
            r.skip(1);
        std::string text(data.begin(), data.end());
        if (tag == 2)
            out.carbonPath = text;
        else if (tag == 18)
            out.posixPath = text;
        else if (tag == 19)
            out.mountPoint = text;
    }
    return out;
}

} // namespace

std::filesystem::path resolveDataReference(const DataReference& ref, const std::filesystem::path& movieFolder)
{
    namespace fs = std::filesystem;
    if (ref.type == fourCC("url ")) {
        std::string url(ref.data.begin(), ref.data.end());
        if (auto nul = url.find('\0'); nul != std::string::npos)
            url.resize(nul);
        if (url.rfind("file://", 0) == 0)
            url.erase(0, 7);
        fs::path p(url);
        if (p.is_relative())
            p = movieFolder / p;
        return isFile(p) ? p : fs::path();
    }
    if (ref.type != fourCC("alis") && ref.type != fourCC("rsrc"))
        return {};
    AliasPaths a = readAlias(ref.data);
    if (!a.posixPath.empty()) {
        std::string rel = a.posixPath;
        while (!rel.empty() && rel.front() == '/')
            rel.erase(0, 1);
        if (!a.mountPoint.empty() && isFile(fs::path(a.mountPoint) / rel))
            return fs::path(a.mountPoint) / rel;
        if (isFile(fs::path("/") / rel))
            return fs::path("/") / rel;
    }
    if (auto colon = a.carbonPath.find(':'); colon != std::string::npos) {
        std::string rel = a.carbonPath.substr(colon + 1);
        for (char& c : rel)
            if (c == ':')
                c = '/';
        if (isFile(fs::path("/") / rel))
            return fs::path("/") / rel;
    }
    if (!a.fileName.empty() && a.fileName.find('/') == std::string::npos && isFile(movieFolder / a.fileName))
        return movieFolder / a.fileName;
    return {};
}

} // namespace qm
