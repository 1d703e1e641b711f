#include "quicktime/vr/vr_instance.h"

#include <unordered_set>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/vr1_records.h"

namespace qm {

namespace {

constexpr OSType kWorldHeader = fourCC("vrsc");
constexpr OSType kNodeParent = fourCC("vrnp");
constexpr OSType kNodeId = fourCC("vrni");
constexpr OSType kNodeLocation = fourCC("nloc");
constexpr OSType kNodeHeader = fourCC("ndhd");
constexpr OSType kStringAtom = fourCC("vrsg");
constexpr std::size_t kSampleDescriptionHeader = 16;

// The node ID and type a node information container's header names; false without one.
bool readNodeHeader(const AtomContainer& info, std::uint32_t& id, OSType& type)
{
    const auto data = info.data(info.findChildById(AtomContainer::kRoot, kNodeHeader, 1));
    if (data.size() < 12)
        return false;
    type = loadBE32(data.data() + 4);
    id = loadBE32(data.data() + 8);
    return true;
}

AtomContainer buildWorld(const std::vector<std::uint32_t>& ids, OSType nodeType, std::uint32_t defaultNode)
{
    AtomContainer world;
    ByteWriter header;
    header.u16(2);
    header.u16(0);
    header.u32(0); // no world name
    header.u32(defaultNode);
    header.zeros(12);
    world.insertChild(AtomContainer::kRoot, kWorldHeader, 1, 0, header.data());
    AtomRef parent;
    world.insertChild(AtomContainer::kRoot, kNodeParent, 1, 0, {}, &parent);
    for (std::uint32_t id : ids) {
        AtomRef node;
        world.insertChild(parent, kNodeId, id, 0, {}, &node);
        ByteWriter location;
        location.u16(2);
        location.u16(0);
        location.type(nodeType);
        location.zeros(16);
        world.insertChild(node, kNodeLocation, 1, 0, location.data());
    }
    return world;
}

AtomContainer buildNodeInfo(std::uint32_t id, OSType nodeType, const std::string& name)
{
    AtomContainer info;
    ByteWriter header;
    header.u16(2);
    header.u16(0);
    header.type(nodeType);
    header.u32(id);
    header.u32(name.empty() ? 0 : 1);
    header.zeros(12);
    info.insertChild(AtomContainer::kRoot, kNodeHeader, 1, 0, header.data());
    if (!name.empty()) {
        ByteWriter s;
        s.u16(1);
        s.u16(std::uint16_t(name.size()));
        s.bytes(name.data(), name.size());
        info.insertChild(AtomContainer::kRoot, kStringAtom, 1, 0, s.data());
    }
    return info;
}

} // namespace

OSErr QTVRInstance::open(const Track& qtvrTrack, std::unique_ptr<QTVRInstance>& out)
{
    std::unique_ptr<QTVRInstance> instance;
    if (OSErr e = openStructure(qtvrTrack, instance))
        return e;
    // The opening view of the current node; a node whose records cannot be read keeps the
    // neutral view (the structure itself was readable).
    if (instance->m_current != 0)
        instance->loadNodeView(instance->m_current);
    out = std::move(instance);
    return err::noErr;
}

OSErr QTVRInstance::openStructure(const Track& qtvrTrack, std::unique_ptr<QTVRInstance>& out)
{
    const Media* media = qtvrTrack.media();
    if (!media)
        return err::invalidMedia;
    std::unique_ptr<QTVRInstance> instance(new QTVRInstance(qtvrTrack));
    OSErr e = err::noErr;
    if (media->type() == qtvr::kQTVRMediaType)
        e = instance->open2x();
    else if (media->type() == qtvr::kPanorama1xMediaType)
        e = instance->openPanorama1x();
    else
        instance->openObject1x();
    if (e)
        return e;
    out = std::move(instance);
    return err::noErr;
}

OSErr QTVRInstance::open2x()
{
    const SampleDescription* description = m_track.media()->sampleDescriptionPtr(1);
    if (!description || description->bytes().size() < kSampleDescriptionHeader)
        return err::invalidMedia;
    if (const OSErr e = AtomContainer::parse(description->payload(), m_world))
        return e;

    const AtomRef parent = m_world.findChild(AtomContainer::kRoot, kNodeParent);
    const int count = parent ? m_world.countChildren(parent, kNodeId) : 0;
    for (int i = 1; i <= count; ++i) {
        const AtomRef node = m_world.findChild(parent, kNodeId, i);
        const auto location = m_world.data(m_world.findChild(node, kNodeLocation));
        m_nodes.push_back({m_world.id(node), location.size() >= 8 ? loadBE32(location.data() + 4) : 0});
    }

    const auto header = m_world.data(m_world.findChild(AtomContainer::kRoot, kWorldHeader));
    const std::uint32_t defaultNode = header.size() >= 12 ? loadBE32(header.data() + 8) : 0;
    if (nodePosition(defaultNode) >= 0)
        m_current = defaultNode;
    else if (!m_nodes.empty())
        m_current = m_nodes.front().id;
    else {
        // A world without a node list: the first node information sample names the node.
        AtomContainer info;
        OSType type = 0;
        if (readNodeInfoSample(0, info) == err::noErr)
            readNodeHeader(info, m_current, type);
    }
    return err::noErr;
}

OSErr QTVRInstance::openPanorama1x()
{
    m_version1x = true;
    const Media* media = m_track.media();
    std::vector<std::uint32_t> ids;
    std::unordered_set<std::uint32_t> used;
    for (std::uint32_t k = 0; k < media->sampleCount(); ++k) {
        Bytes sample;
        if (const OSErr e = media->readSample(k, sample))
            return e;
        PanoramaHeader1x header;
        if (const OSErr e = PanoramaHeader1x::parse(sample, header))
            return e;
        // Node IDs 0 and repeated IDs cannot be told apart; such nodes go by their position.
        std::uint32_t id = header.nodeId;
        if (id == 0 || used.count(id))
            id = k + 1;
        while (used.count(id))
            ++id;
        used.insert(id);
        ids.push_back(id);
        m_nodes.push_back({id, qtvr::kPanoramaNodeType});
        m_builtNodeInfo.push_back(buildNodeInfo(id, qtvr::kPanoramaNodeType, header.name));
    }
    m_current = ids.empty() ? 0 : ids.front();
    m_world = buildWorld(ids, qtvr::kPanoramaNodeType, m_current);
    return err::noErr;
}

void QTVRInstance::openObject1x()
{
    m_version1x = true;
    m_current = 1;
    m_nodes.push_back({1, qtvr::kObjectNodeType});
    m_builtNodeInfo.push_back(buildNodeInfo(1, qtvr::kObjectNodeType, {}));
    m_world = buildWorld({1}, qtvr::kObjectNodeType, 1);
}

OSErr QTVRInstance::readNodeInfoSample(std::uint32_t sampleIndex, AtomContainer& out) const
{
    Bytes sample;
    if (const OSErr e = m_track.media()->readSample(sampleIndex, sample))
        return e;
    return AtomContainer::parse(sample, out);
}

int QTVRInstance::nodePosition(std::uint32_t nodeId) const
{
    for (std::size_t i = 0; i < m_nodes.size(); ++i)
        if (m_nodes[i].id == nodeId)
            return int(i);
    return -1;
}

OSErr QTVRInstance::getVRWorld(AtomContainer& out) const
{
    out = m_world;
    return err::noErr;
}

OSErr QTVRInstance::getNodeInfo(std::uint32_t nodeId, AtomContainer& out) const
{
    if (nodeId == 0)
        nodeId = m_current;
    const int position = nodePosition(nodeId);
    if (m_version1x) {
        if (position < 0)
            return err::paramErr;
        out = m_builtNodeInfo[std::size_t(position)];
        return err::noErr;
    }
    // Node k of the world is sample k of the QTVR track; a movie that breaks that order is
    // searched for the sample whose header names the node.
    const std::uint32_t samples = m_track.media()->sampleCount();
    AtomContainer info;
    std::uint32_t id = 0;
    OSType type = 0;
    if (position >= 0 && std::uint32_t(position) < samples && readNodeInfoSample(std::uint32_t(position), info) == 0 &&
        readNodeHeader(info, id, type) && id == nodeId) {
        out = std::move(info);
        return err::noErr;
    }
    for (std::uint32_t k = 0; k < samples; ++k) {
        if (readNodeInfoSample(k, info) == err::noErr && readNodeHeader(info, id, type) && id == nodeId) {
            out = std::move(info);
            return err::noErr;
        }
    }
    return err::paramErr;
}

OSType QTVRInstance::getNodeType(std::uint32_t nodeId) const
{
    if (nodeId == 0)
        nodeId = m_current;
    const int position = nodePosition(nodeId);
    if (position >= 0 && m_nodes[std::size_t(position)].type != 0)
        return m_nodes[std::size_t(position)].type;
    AtomContainer info;
    std::uint32_t id = 0;
    OSType type = 0;
    if (getNodeInfo(nodeId, info) == err::noErr && readNodeHeader(info, id, type) && type != 0)
        return type;
    return qtvr::kUnknownNodeType;
}

Track* QTVRGetQTVRTrack(const Movie& movie, int index)
{
    auto nth = [&](OSType mediaType) -> Track* {
        int seen = 0;
        for (int i = 1; i <= movie.trackCount(); ++i) {
            Track* t = movie.track(i);
            if (t && t->media() && t->media()->type() == mediaType && ++seen == index)
                return t;
        }
        return nullptr;
    };
    if (index < 1)
        return nullptr;
    if (Track* t = nth(qtvr::kQTVRMediaType))
        return t;
    const OSType controller = GetControllerType(&movie);
    if (controller == fourCC("STpn"))
        return nth(qtvr::kPanorama1xMediaType);
    if (controller == fourCC("stna"))
        return nth(fourCC("vide"));
    return nullptr;
}

OSErr QTVRGetQTVRInstance(std::unique_ptr<QTVRInstance>& out, const Track* qtvrTrack)
{
    if (!qtvrTrack)
        return err::qtvrUninitialized;
    return QTVRInstance::open(*qtvrTrack, out);
}

OSErr QTVRGetVRWorld(const QTVRInstance* instance, AtomContainer& out)
{
    return instance ? instance->getVRWorld(out) : err::qtvrUninitialized;
}

OSErr QTVRGetNodeInfo(const QTVRInstance* instance, std::uint32_t nodeId, AtomContainer& out)
{
    return instance ? instance->getNodeInfo(nodeId, out) : err::qtvrUninitialized;
}

OSType QTVRGetNodeType(const QTVRInstance* instance, std::uint32_t nodeId)
{
    return instance ? instance->getNodeType(nodeId) : qtvr::kUnknownNodeType;
}

std::uint32_t QTVRGetCurrentNodeID(const QTVRInstance* instance)
{
    return instance ? instance->currentNodeId() : 0;
}

} // namespace qm
