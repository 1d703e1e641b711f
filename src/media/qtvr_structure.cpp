#include "media/qtvr_structure.h"

#include <algorithm>
#include <limits>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/base/legacy_text.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/object_track_entries.h"

namespace qm {

namespace {

constexpr OSType kWorldHeader = fourCC("vrsc");
constexpr OSType kNodeParent = fourCC("vrnp");
constexpr OSType kNodeId = fourCC("vrni");
constexpr OSType kNodeHeader = fourCC("ndhd");
constexpr OSType kStringAtom = fourCC("vrsg");
constexpr OSType kStringEncoding = fourCC("vrse");
constexpr OSType kPanoramaData = fourCC("pdat");
constexpr OSType kObjectData = fourCC("obji");

// The atom container of the sample that a single-node movie's track of that media type shows
// at track time 0.
OSErr readTrackSampleContainer(const Movie* movie, OSType mediaType, AtomContainer& out)
{
    if (!movie)
        return err::invalidMovie;
    Track* track = nullptr;
    Media* media = nullptr;
    if (const OSErr e = FindTrackByMediaType(movie, mediaType, &track, &media))
        return e;
    TimeValue mediaTime = track->trackTimeToMediaTime(0);
    if (mediaTime < 0)
        mediaTime = 0;
    MediaSample sample;
    if (const OSErr e = media->getSample(mediaTime, sample))
        return e;
    return AtomContainer::parse(sample.data, out);
}

} // namespace

bool IsPanoramaNode(const QTVRInstance* instance)
{
    return QTVRGetNodeType(instance, 0) == qtvr::kPanoramaNodeType;
}

std::int16_t CountNodes(const QTVRInstance* instance)
{
    AtomContainer world;
    if (QTVRGetVRWorld(instance, world))
        return 0;
    const AtomRef parent = world.findChild(AtomContainer::kRoot, kNodeParent);
    if (!parent)
        return 0;
    return std::int16_t(std::min<int>(world.countChildren(parent, kNodeId), std::numeric_limits<std::int16_t>::max()));
}

bool IsMultiNodeMovie(const QTVRInstance* instance)
{
    return CountNodes(instance) > 1;
}

OSErr GetWorldHeader(const QTVRInstance* instance, WorldHeaderBytes& out)
{
    AtomContainer world;
    if (const OSErr e = QTVRGetVRWorld(instance, world))
        return e;
    const auto data = world.data(world.findChild(AtomContainer::kRoot, kWorldHeader));
    if (data.size() < kWorldHeaderSize)
        return err::cannotFindAtomErr;
    std::copy_n(data.begin(), kWorldHeaderSize, out.begin());
    return err::noErr;
}

std::uint32_t GetDefaultNodeID(const QTVRInstance* instance)
{
    WorldHeaderBytes header;
    if (GetWorldHeader(instance, header))
        return 0;
    return loadBE32(header.data() + 8);
}

OSErr GetNodeHeader(const QTVRInstance* instance, std::uint32_t nodeId, NodeHeaderBytes& out)
{
    AtomContainer info;
    if (const OSErr e = QTVRGetNodeInfo(instance, nodeId, info))
        return e;
    const auto data = info.data(info.findChildById(AtomContainer::kRoot, kNodeHeader, 1));
    if (data.size() < kNodeHeaderSize)
        return err::cannotFindAtomErr;
    std::copy_n(data.begin(), kNodeHeaderSize, out.begin());
    return err::noErr;
}

std::optional<std::string> GetStringAtom(const AtomContainer* container, AtomRef parent, AtomID id)
{
    if (!container)
        return std::nullopt;
    const auto data = container->data(container->findChildById(parent, kStringAtom, id));
    if (data.size() < 4)
        return std::nullopt;
    const std::size_t length = loadBE16(data.data() + 2);
    // A length beyond the atom's data is damage; the characters that are there are not a name.
    if (length == 0 || length > data.size() - 4)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data.data() + 4), length);
}

std::optional<std::string> GetStringAtomText(const AtomContainer* container, AtomRef parent, AtomID id)
{
    auto stored = GetStringAtom(container, parent, id);
    if (!stored)
        return std::nullopt;
    const auto encoding = container->data(container->findChildById(parent, kStringEncoding, id));
    if (encoding.size() >= 4)
        return decodeTextInEncoding(*stored, loadBE32(encoding.data()));
    return decodeStoredText(*stored);
}

std::optional<std::string> GetNodeName(const QTVRInstance* instance, std::uint32_t nodeId)
{
    NodeHeaderBytes header;
    if (GetNodeHeader(instance, nodeId, header))
        return std::nullopt;
    const AtomID nameId = loadBE32(header.data() + 12);
    if (nameId == 0)
        return std::nullopt;
    AtomContainer info;
    if (QTVRGetNodeInfo(instance, nodeId, info))
        return std::nullopt;
    return GetStringAtomText(&info, AtomContainer::kRoot, nameId);
}

OSErr ReadObjectSample(const Movie* movie, ObjectSampleRecord& out)
{
    AtomContainer sample;
    if (const OSErr e = readTrackSampleContainer(movie, qtvr::kObjectMediaType, sample))
        return e;
    const auto data = sample.data(sample.findChild(AtomContainer::kRoot, kObjectData));
    if (data.size() < ObjectSampleRecord::kSize)
        return err::cannotFindAtomErr;
    out = ObjectSampleRecord::fromBytes(data);
    return err::noErr;
}

OSErr ReadPanoramaSample(const Movie* movie, PanoramaSampleRecord& out)
{
    AtomContainer sample;
    if (const OSErr e = readTrackSampleContainer(movie, qtvr::kPanoramaMediaType, sample))
        return e;
    const auto data = sample.data(sample.findChild(AtomContainer::kRoot, kPanoramaData));
    if (data.size() < PanoramaSampleRecord::kSize)
        return err::cannotFindAtomErr;
    out = PanoramaSampleRecord::fromBytes(data);
    return err::noErr;
}

ObjectTrackReferences readObjectTrackReferences(const Movie* movie)
{
    ObjectTrackReferences refs;
    AtomContainer sample;
    if (readTrackSampleContainer(movie, qtvr::kObjectMediaType, sample) == err::noErr) {
        const ObjectTrackEntries entries = readObjectTrackEntries(sample);
        refs.image = entries.image;
        refs.hotSpot = entries.hotSpot;
    }
    return refs;
}

} // namespace qm
