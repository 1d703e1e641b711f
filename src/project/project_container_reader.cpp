#include "project/project_container_reader.h"

#include <algorithm>

#include "project/project_format.h"
#include "project/project_records.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_alias.h"

namespace qm::project {

namespace {

constexpr AtomRef kRoot = AtomContainer::kRoot;

std::string quoted(OSType type)
{
    std::string text = fourCCToString(type);
    return std::string(1, '\'') + text + '\'';
}

std::span<const std::uint8_t> leafData(const AtomContainer& c, AtomRef parent, OSType type)
{
    return c.data(c.findChild(parent, type));
}

} // namespace

ProjectContainerReader::ProjectContainerReader(const ProjectReadOptions& options, ProjectReaderUi& ui,
                                               std::filesystem::path projectFolder, std::string* detail)
    : m_options(options), m_ui(ui), m_projectFolder(std::move(projectFolder)), m_detail(detail)
{
}

OSErr ProjectContainerReader::fail(OSErr code, std::string text)
{
    if (m_detail)
        *m_detail = std::move(text);
    return code;
}

// A record leaf in a zero-filled buffer of the record's size. A shorter leaf is accepted, a
// longer one is not; an absent one is a missing record.
OSErr ProjectContainerReader::record(const AtomContainer& c, AtomRef parent, OSType type, std::size_t size,
                                     Bytes& out, const std::string& where)
{
    AtomRef atom = c.findChild(parent, type);
    if (!atom)
        return fail(err::missingRecord, "The record " + quoted(type) + where + " is missing.");
    auto data = c.data(atom);
    if (data.size() > size)
        return fail(err::paramErr, "The record " + quoted(type) + where + " is " + std::to_string(data.size()) +
                                       " bytes long where at most " + std::to_string(size) + " are expected.");
    out.assign(size, 0);
    std::copy(data.begin(), data.end(), out.begin());
    return err::noErr;
}

OSErr ProjectContainerReader::subContainer(const AtomContainer& parent, OSType type, AtomContainer& out,
                                           bool& present)
{
    AtomRef atom = parent.findChild(kRoot, type);
    present = bool(atom);
    if (!present)
        return err::noErr;
    if (OSErr e = AtomContainer::parse(parent.data(atom), out))
        return fail(e, "The " + quoted(type) + " part of the project is damaged.");
    return err::noErr;
}

OSErr ProjectContainerReader::read(std::span<const std::uint8_t> bytes, Scene& scene, bool templateOnly)
{
    AtomContainer container;
    if (OSErr e = AtomContainer::parse(bytes, container))
        return fail(e, "The project's atom container is damaged.");

    struct Part {
        OSType type;
        bool inTemplates;
        OSErr (ProjectContainerReader::*read)(const AtomContainer&, Scene&);
    };
    const Part parts[] = {
        {kSettings, true, &ProjectContainerReader::readSettings},
        {kMapObjectList, false, &ProjectContainerReader::readBackground},
        {kNodeList, false, &ProjectContainerReader::readNodes},
        {kCompression, true, &ProjectContainerReader::readCompression},
        {kPreview, true, &ProjectContainerReader::readPreview},
    };
    for (const Part& part : parts) {
        if (templateOnly && !part.inTemplates)
            continue;
        AtomContainer sub;
        bool present = false;
        if (OSErr e = subContainer(container, part.type, sub, present))
            return e;
        if (!present)
            continue;
        if (OSErr e = (this->*part.read)(sub, scene))
            return e;
    }
    if (!templateOnly) {
        AtomRef name = container.findChild(kRoot, kSceneName);
        if (name)
            scene.name = decodeStringChunk(container.data(name));
    }
    return err::noErr;
}

OSErr ProjectContainerReader::readSettings(const AtomContainer& c, Scene& scene)
{
    Bytes b;
    if (OSErr e = record(c, kRoot, kDimensions, kDimensionsSize, b, ""))
        return e;
    decodeDimensions(b, scene);
    if (OSErr e = record(c, kRoot, kBackgroundGrid, kGridSize, b, ""))
        return e;
    scene.backgroundGrid = decodeGrid(b);
    if (OSErr e = record(c, kRoot, kNodeGrid, kGridSize, b, ""))
        return e;
    scene.nodeGrid = decodeGrid(b);
    if (OSErr e = record(c, kRoot, kOrientation, kOrientationSize, b, ""))
        return e;
    scene.orientation = decodeOrientation(b);
    return err::noErr;
}

OSErr ProjectContainerReader::readCompression(const AtomContainer& c, Scene& scene)
{
    for (std::size_t i = 0; i < kCompressionSlots; ++i) {
        Bytes b;
        if (OSErr e = record(c, kRoot, kCompressionLeaves[i], kCompressionSize, b, ""))
            return e;
        scene.compression[i] = decodeCompression(b, i == kMovieCompression);
    }
    return err::noErr;
}

OSErr ProjectContainerReader::readPreview(const AtomContainer& c, Scene& scene)
{
    Bytes b;
    if (OSErr e = record(c, kRoot, kPreviewData, kPreviewSize, b, ""))
        return e;
    decodePreview(b, scene);
    return err::noErr;
}

OSErr ProjectContainerReader::readBackground(const AtomContainer& c, Scene& scene)
{
    return readMapObjectList(c, scene.mapObjects, false);
}

OSErr ProjectContainerReader::readMapObjects(std::span<const std::uint8_t> list, std::vector<MapObject>& objects,
                                             bool append)
{
    AtomContainer c;
    if (OSErr e = AtomContainer::parse(list, c))
        return fail(e, "The map object list is damaged.");
    return readMapObjectList(c, objects, append);
}

OSErr ProjectContainerReader::readMapObjectList(const AtomContainer& c, std::vector<MapObject>& objects, bool append)
{
    int count = c.countChildren(kRoot, kMapObject);
    if (count == 0)
        return err::noErr;
    std::vector<MapObject> read;
    read.reserve(std::size_t(count));
    for (int i = 1; i <= count; ++i) {
        AtomRef atom = c.findChild(kRoot, kMapObject, i);
        Bytes b;
        if (OSErr e = record(c, atom, kMapObjectFields, kMapObjectFieldsSize, b, " of map object " + std::to_string(i)))
            return e;
        MapObject o = decodeMapObjectFields(b);
        o.selected = append;
        if (AtomRef data = c.findChild(atom, kMapObjectData)) {
            auto bytes = c.data(data);
            if (o.kind == MapObjectKind::kText)
                o.text = decodeTextRecord(bytes);
            // Data the object cannot take as a text record is kept as it is, to be written back.
            if (!o.text)
                o.data.assign(bytes.begin(), bytes.end());
        }
        read.push_back(std::move(o));
    }
    if (!append)
        objects.clear();
    objects.insert(objects.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
    return err::noErr;
}

OSErr ProjectContainerReader::readNodes(const AtomContainer& c, Scene& scene)
{
    int count = c.countChildren(kRoot, kNode);
    std::vector<Node> nodes(static_cast<std::size_t>(count));
    bool mediaMissing = false;
    for (int i = 1; i <= count; ++i)
        if (OSErr e = readNode(c, c.findChild(kRoot, kNode, i), i, nodes[std::size_t(i - 1)], scene, mediaMissing))
            return e;
    scene.nodes = std::move(nodes);
    if (mediaMissing && !m_ui.confirmUnresolvedMedia())
        return fail(err::userCanceledErr, "");
    return err::noErr;
}

OSErr ProjectContainerReader::readNode(const AtomContainer& c, AtomRef atom, int number, Node& node, Scene& scene,
                                       bool& mediaMissing)
{
    std::string where = " of node " + std::to_string(number);
    Bytes b;
    if (OSErr e = record(c, atom, kNodeFields, kNodeFieldsSize, b, where))
        return e;
    decodeNodeFields(b, node);
    if (AtomRef name = c.findChild(atom, kNodeName))
        node.name = decodeStringChunk(c.data(name));
    if (AtomRef comment = c.findChild(atom, kNodeComment))
        node.comment = decodeStringChunk(c.data(comment));

    AtomRef aliasAtom = c.findChild(atom, kNodeAlias);
    if (!aliasAtom) {
        if (m_options.resolveMedia)
            node.kind = NodeKind::kGeneric;
    } else {
        auto stored = c.data(aliasAtom);
        node.mediaReference.assign(stored.begin(), stored.end());
        if (m_options.resolveMedia) {
            FileAlias alias;
            std::filesystem::path found;
            bool updated = false;
            if (FileAlias::parse(stored, alias) == err::noErr &&
                alias.resolve(m_projectFolder, found, updated) == err::noErr) {
                if (updated) {
                    node.mediaReference = alias.serialize();
                    markDirty(scene);
                }
            } else {
                node.mediaReference.clear();
                node.kind = NodeKind::kGeneric;
                mediaMissing = true;
                markDirty(scene);
            }
        }
    }

    if (AtomRef sample = c.findChild(atom, kNodeSample)) {
        auto data = c.data(sample);
        if (node.kind == NodeKind::kPanorama)
            node.mediaData = PanoramaSampleRecord::fromBytes(data);
        else if (node.kind != NodeKind::kGeneric)
            node.mediaData = ObjectSampleRecord::fromBytes(data);
        else
            node.mediaData = Bytes(data.begin(), data.end());
    }

    if (AtomRef list = c.findChild(atom, kHotSpotList))
        return readHotSpots(c.data(list), node, number);
    return err::noErr;
}

OSErr ProjectContainerReader::readHotSpots(std::span<const std::uint8_t> list, Node& node, int nodeNumber)
{
    AtomContainer c;
    if (OSErr e = AtomContainer::parse(list, c))
        return fail(e, "The hot spot list of node " + std::to_string(nodeNumber) + " is damaged.");
    int count = c.countChildren(kRoot, kHotSpot);
    std::vector<HotSpot> hotSpots;
    hotSpots.reserve(std::size_t(count));
    for (int i = 1; i <= count; ++i) {
        AtomRef atom = c.findChild(kRoot, kHotSpot, i);
        Bytes b;
        std::string where = " of hot spot " + std::to_string(i) + " of node " + std::to_string(nodeNumber);
        if (OSErr e = record(c, atom, kHotSpotFields, kHotSpotFieldsSize, b, where))
            return e;
        HotSpot h = decodeHotSpotFields(b);
        if (AtomRef a = c.findChild(atom, kHotSpotName))
            h.name = decodeStringChunk(c.data(a));
        if (AtomRef a = c.findChild(atom, kHotSpotComment))
            h.comment = decodeStringChunk(c.data(a));
        if (AtomRef a = c.findChild(atom, kHotSpotUrl))
            h.url = decodeStringChunk(c.data(a));
        auto region = leafData(c, atom, kHotSpotRegion);
        h.regionData.assign(region.begin(), region.end());
        hotSpots.push_back(std::move(h));
    }
    node.hotSpots = std::move(hotSpots);
    return err::noErr;
}

} // namespace qm::project
