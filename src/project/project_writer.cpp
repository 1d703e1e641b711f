#include "project/project_writer.h"

#include <algorithm>
#include <system_error>

#include "project/project_format.h"
#include "project/project_lock.h"
#include "project/project_records.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/errors.h"
#include "quicktime/base/file_checks.h"
#include "quicktime/files/file_alias.h"
#include "quicktime/base/read_only_file.h"
#include "quicktime/base/safe_file_writer.h"

namespace qm {

namespace fs = std::filesystem;
using namespace project;

namespace {

constexpr AtomRef kRoot = AtomContainer::kRoot;
constexpr std::size_t kCopyChunk = 1 << 20;

// Every atom the writer makes has a fresh (type, ID) and fits: insertion cannot fail.
AtomRef add(AtomContainer& c, AtomRef parent, OSType type, AtomID id, std::span<const std::uint8_t> data = {})
{
    AtomRef atom;
    c.insertChild(parent, type, id, 0, data, &atom);
    return atom;
}

void addString(AtomContainer& c, AtomRef parent, OSType type, const std::string& text)
{
    if (!text.empty())
        add(c, parent, type, 1, encodeStringChunk(text));
}

Bytes hotSpotList(const std::vector<HotSpot>& hotSpots)
{
    AtomContainer c;
    AtomID id = 1;
    for (const HotSpot& h : hotSpots) {
        AtomRef atom = add(c, kRoot, kHotSpot, id++);
        add(c, atom, kHotSpotFields, 1, encodeHotSpotFields(h));
        addString(c, atom, kHotSpotName, h.name);
        addString(c, atom, kHotSpotComment, h.comment);
        addString(c, atom, kHotSpotUrl, h.url);
        if (!h.regionData.empty())
            add(c, atom, kHotSpotRegion, 1, h.regionData);
    }
    return c.serialize();
}

Bytes sampleRecord(const NodeMediaData& data)
{
    if (auto p = std::get_if<PanoramaSampleRecord>(&data)) {
        auto b = p->toBytes();
        return Bytes(b.begin(), b.end());
    }
    if (auto o = std::get_if<ObjectSampleRecord>(&data)) {
        auto b = o->toBytes();
        return Bytes(b.begin(), b.end());
    }
    if (auto raw = std::get_if<Bytes>(&data))
        return *raw;
    return {};
}

// aliases: replacement media references, one per node, or null to store them as they are.
Bytes nodeList(const std::vector<Node>& nodes, const std::vector<Bytes>* aliases)
{
    AtomContainer c;
    AtomID id = 1;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        AtomRef atom = add(c, kRoot, kNode, id++);
        add(c, atom, kNodeFields, 1, encodeNodeFields(n));
        addString(c, atom, kNodeName, n.name);
        addString(c, atom, kNodeComment, n.comment);
        const Bytes& alias = aliases ? (*aliases)[i] : n.mediaReference;
        if (!alias.empty())
            add(c, atom, kNodeAlias, 1, alias);
        Bytes sample = sampleRecord(n.mediaData);
        if (!sample.empty())
            add(c, atom, kNodeSample, 1, sample);
        if (!n.hotSpots.empty())
            add(c, atom, kHotSpotList, 1, hotSpotList(n.hotSpots));
    }
    return c.serialize();
}

Bytes settings(const Scene& s)
{
    AtomContainer c;
    add(c, kRoot, kDimensions, 1, encodeDimensions(s));
    add(c, kRoot, kBackgroundGrid, 1, encodeGrid(s.backgroundGrid));
    add(c, kRoot, kNodeGrid, 1, encodeGrid(s.nodeGrid));
    add(c, kRoot, kOrientation, 1, encodeOrientation(s.orientation));
    return c.serialize();
}

Bytes compression(const Scene& s)
{
    AtomContainer c;
    for (std::size_t i = 0; i < kCompressionSlots; ++i)
        add(c, kRoot, kCompressionLeaves[i], 1, encodeCompression(s.compression[i], i == kMovieCompression));
    return c.serialize();
}

Bytes preview(const Scene& s)
{
    AtomContainer c;
    add(c, kRoot, kPreviewData, 1, encodePreview(s));
    return c.serialize();
}

Bytes container(const Scene& s, const std::vector<Bytes>* aliases)
{
    AtomContainer c;
    add(c, kRoot, kSettings, 1, settings(s));
    if (!s.mapObjects.empty())
        add(c, kRoot, kMapObjectList, 1, writeMapObjectList(s.mapObjects, false));
    if (!s.nodes.empty())
        add(c, kRoot, kNodeList, 1, nodeList(s.nodes, aliases));
    add(c, kRoot, kCompression, 1, compression(s));
    add(c, kRoot, kPreview, 1, preview(s));
    // Written even when empty, so that an emptied name does not come back as the default.
    add(c, kRoot, kSceneName, 1, encodeStringChunk(s.name.str()));
    return c.serialize();
}

fs::path absoluteFolder(const fs::path& file)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec);
    return (ec ? file : absolute).lexically_normal().parent_path();
}

// The media references as they must read from the new document's folder: each alias that
// resolves from the old folder is made again from the new one; the others stay as they are.
std::vector<Bytes> rebasedAliases(const Scene& scene, const fs::path& newFile)
{
    fs::path oldFolder = scene.projectFile.empty() ? fs::path() : absoluteFolder(scene.projectFile);
    fs::path newFolder = absoluteFolder(newFile);
    std::vector<Bytes> aliases;
    aliases.reserve(scene.nodes.size());
    for (const Node& n : scene.nodes) {
        aliases.push_back(n.mediaReference);
        if (n.mediaReference.empty() || oldFolder == newFolder)
            continue;
        FileAlias alias;
        fs::path found;
        bool updated = false;
        if (FileAlias::parse(n.mediaReference, alias) == err::noErr &&
            alias.resolve(oldFolder, found, updated) == err::noErr)
            aliases.back() = FileAlias::forFile(found, newFolder).serialize();
    }
    return aliases;
}

OSErr copyMovie(const fs::path& movieFile, SafeFileWriter& out, const ProjectWriteOptions& options,
                const std::string& message)
{
    ReadOnlyFile in;
    if (OSErr e = in.open(movieFile))
        return e;
    Bytes buffer;
    for (std::uint64_t at = 0; at < in.size();) {
        std::size_t n = std::size_t(std::min<std::uint64_t>(kCopyChunk, in.size() - at));
        if (OSErr e = in.readAt(at, n, buffer))
            return e;
        if (OSErr e = out.write(buffer))
            return e;
        at += n;
        if (options.progress && !options.progress("Saving ...", message, int(at * 100 / in.size())))
            return err::userCanceledErr;
    }
    return err::noErr;
}

OSErr setDetail(std::string* detail, OSErr code, std::string text)
{
    if (detail)
        *detail = std::move(text);
    return code;
}

} // namespace

Bytes writeMapObjectList(const std::vector<MapObject>& objects, bool selectedOnly)
{
    AtomContainer c;
    AtomID id = 1;
    for (const MapObject& o : objects) {
        if (selectedOnly && !o.selected)
            continue;
        AtomRef atom = add(c, kRoot, kMapObject, id++);
        add(c, atom, kMapObjectFields, 1, encodeMapObjectFields(o));
        if (o.kind == MapObjectKind::kText && o.text)
            add(c, atom, kMapObjectData, 1, encodeTextRecord(*o.text));
        else if (!o.data.empty())
            add(c, atom, kMapObjectData, 1, o.data);
    }
    return c.serialize();
}

Bytes buildProjectContainer(const Scene& scene) { return container(scene, nullptr); }

OSErr saveProject(Scene& scene, const fs::path& file, const ProjectWriteOptions& options, std::string* detail)
{
    if (OSErr e = checkReplaceableFile(file, detail))
        return e;
    // Held until the new file is in place (and longer when the caller holds it for its edit).
    ProjectEditLock lock;
    if (OSErr e = lock.acquire(file, detail))
        return e;
    std::vector<Bytes> aliases = rebasedAliases(scene, file);
    Bytes records = container(scene, &aliases);

    SafeFileWriter out;
    if (OSErr e = out.open(file))
        return e;
    out.setLockOnCommit(true);
    const std::string message = "File '" + file.filename().string() + "'";
    Trailer trailer;
    if (!scene.composedMovieFile.empty()) {
        std::uint64_t moov = 0;
        if (OSErr e = findMovieAtom(scene.composedMovieFile, moov))
            return setDetail(detail, e, "The composed movie file '" + scene.composedMovieFile.string() +
                                            "' could not be stored in the project.");
        if (OSErr e = copyMovie(scene.composedMovieFile, out, options, message))
            return e;
        trailer.movieOffset = std::uint32_t(moov);
    }
    // The trailer holds 32-bit offsets: a document cannot grow past 4 GB.
    if (out.position() + records.size() + kTrailerSize > 0xFFFFFFFFu)
        return setDetail(detail, err::paramErr, "The composed movie is too large to be stored in a project.");
    trailer.containerOffset = std::uint32_t(out.position());
    trailer.containerLength = std::uint32_t(records.size());
    if (OSErr e = out.write(records))
        return e;
    if (OSErr e = out.write(makeTrailer(trailer)))
        return e;
    // The last chance to cancel: after the rename the save has happened.
    if (options.keepGoing && !options.keepGoing())
        return err::userCanceledErr;
    if (OSErr e = out.commit())
        return e;
    ProjectEditLock::documentReplaced(file, out.takeLockedDescriptor());

    for (std::size_t i = 0; i < scene.nodes.size(); ++i)
        scene.nodes[i].mediaReference = std::move(aliases[i]);
    scene.dirty = false;
    scene.projectFile = file;
    return err::noErr;
}

} // namespace qm
