#include <gtest/gtest.h>

#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "quicktime/base/byte_io.h"

using namespace qm;

namespace {

Node makeNode(std::int16_t id, OSType kind, bool initial, const char* name = "")
{
    Node n;
    n.id = id;
    n.kind = kind;
    n.initial = initial;
    n.name = name;
    return n;
}

std::vector<AtomID> nodeEntryIds(const AtomContainer& world)
{
    std::vector<AtomID> ids;
    const AtomRef parent = world.findChild(AtomContainer::kRoot, vrAtom::kNodeParent);
    for (int i = 1; i <= world.countChildren(parent, vrAtom::kNodeId); ++i)
        ids.push_back(world.id(world.findChild(parent, vrAtom::kNodeId, i)));
    return ids;
}

} // namespace

TEST(VrWorld, ListsInitialNodesFirstAndNamesTheDefaultNode)
{
    Scene scene;
    scene.nodes = {makeNode(5, NodeKind::kPanorama, false), makeNode(9, NodeKind::kObject, true),
                   makeNode(2, NodeKind::kStillImage, false), makeNode(7, NodeKind::kGeneric, true)};
    AtomContainer world;
    ASSERT_EQ(buildVrWorld(scene, world), 0);
    EXPECT_EQ(nodeEntryIds(world), (std::vector<AtomID>{9, 7, 5, 2}));

    ByteReader header(world.data(world.findChild(AtomContainer::kRoot, vrAtom::kWorldHeader)));
    EXPECT_EQ(header.size(), 24u);
    EXPECT_EQ(header.u16(), 2);
    header.u16();
    EXPECT_EQ(header.u32(), 0u) << "an unnamed scene has no name atom";
    EXPECT_EQ(header.u32(), 9u);
    EXPECT_EQ(world.countChildren(AtomContainer::kRoot, vrAtom::kString), 0);

    // Node types: pano, obje for object-like kinds, 0 for a generic node.
    const AtomRef parent = world.findChild(AtomContainer::kRoot, vrAtom::kNodeParent);
    auto typeOf = [&](AtomID id) {
        const AtomRef entry = world.findChildById(parent, vrAtom::kNodeId, id);
        ByteReader r(world.data(world.findChild(entry, vrAtom::kNodeLocation)));
        r.u32();
        return r.type();
    };
    EXPECT_EQ(typeOf(5), fourCC("pano"));
    EXPECT_EQ(typeOf(9), fourCC("obje"));
    EXPECT_EQ(typeOf(2), fourCC("obje"));
    EXPECT_EQ(typeOf(7), 0u);
}

TEST(VrWorld, DefaultNodeWithoutInitialFlagIsTheFirstNode)
{
    Scene scene;
    EXPECT_EQ(initialNodeId(scene), 0);
    scene.nodes = {makeNode(4, NodeKind::kPanorama, false), makeNode(3, NodeKind::kPanorama, false)};
    EXPECT_EQ(initialNodeId(scene), 4);
}

TEST(VrWorld, SceneNameBecomesStringAtomAndImagingFollowsSettings)
{
    Scene scene;
    scene.name = "Ten chars!";
    scene.imaging = ImagingSettings{1, 1, 3, 3, 1, 2};
    scene.nodes = {makeNode(1, NodeKind::kPanorama, true)};
    AtomContainer world;
    ASSERT_EQ(buildVrWorld(scene, world), 0);
    const AtomRef name = world.findChildById(AtomContainer::kRoot, vrAtom::kString, 1);
    const auto d = world.data(name);
    const Bytes expected = {0, 1, 0, 10, 'T', 'e', 'n', ' ', 'c', 'h', 'a', 'r', 's', '!', 0, 0, 0, 0};
    EXPECT_EQ(Bytes(d.begin(), d.end()), expected);
    EXPECT_EQ(loadBE32(world.data(world.findChild(AtomContainer::kRoot, vrAtom::kWorldHeader)).data() + 4), 1u);

    const AtomRef imaging = world.findChild(AtomContainer::kRoot, vrAtom::kImagingParent);
    auto field = [&](AtomID id, std::size_t offset) {
        return loadBE32(world.data(world.findChildById(imaging, vrAtom::kPanoImaging, id)).data() + offset);
    };
    EXPECT_EQ(field(1, 4), 1u);   // static mode
    EXPECT_EQ(field(1, 12), 2u);  // full correction
    EXPECT_EQ(field(1, 16), 768u);
    EXPECT_EQ(field(1, 20), 0u);
    EXPECT_EQ(field(2, 4), 2u);   // motion mode
    EXPECT_EQ(field(2, 12), 1u);  // partial correction
    EXPECT_EQ(field(2, 16), 256u);
    EXPECT_EQ(field(2, 20), 1u);  // direct draw
}

TEST(VrWorld, QtvrSampleDescriptionCarriesTheWorld)
{
    AtomContainer world;
    ASSERT_EQ(buildOneNodeWorld(vrNodeType::kObject, world), 0);
    EXPECT_FALSE(world.findChild(AtomContainer::kRoot, vrAtom::kImagingParent)) << "objects have no imaging";
    const Bytes desc = qtvrSampleDescription(world);
    const Bytes container = world.serialize();
    ASSERT_EQ(desc.size(), container.size() + 16);
    EXPECT_EQ(loadBE32(desc.data()), desc.size());
    EXPECT_EQ(loadBE32(desc.data() + 4), fourCC("qtvr"));
    EXPECT_EQ(loadBE16(desc.data() + 14), 1);
    EXPECT_TRUE(std::equal(container.begin(), container.end(), desc.begin() + 16));
}

TEST(NodeHeaderUpdater, ReplacesTheSourceNameAtomAndSetsTheId)
{
    AtomContainer info;
    NodeHeader h;
    h.majorVersion = 2;
    h.nodeType = fourCC("pano");
    h.nodeId = 127;
    h.nameAtomId = 3;
    ASSERT_EQ(info.insertChild(AtomContainer::kRoot, vrAtom::kNodeHeader, 1, 0, h.toBytes()), 0);
    ASSERT_EQ(info.insertChild(AtomContainer::kRoot, vrAtom::kString, 3, 0, stringAtomData("Old name")), 0);

    Node node = makeNode(12, NodeKind::kPanorama, false, "Garden");
    node.comment = "By the pond";
    ASSERT_EQ(updateNodeHeader(node, info), 0);
    const NodeHeader out = NodeHeader::fromBytes(info.data(info.findChild(AtomContainer::kRoot, vrAtom::kNodeHeader)));
    EXPECT_EQ(out.nodeId, 12u);
    EXPECT_EQ(out.majorVersion, 2);
    EXPECT_EQ(out.nodeType, fourCC("pano"));
    ASSERT_NE(out.nameAtomId, 0u);
    ASSERT_NE(out.commentAtomId, 0u);
    EXPECT_EQ(info.countChildren(AtomContainer::kRoot, vrAtom::kString), 2) << "the old name atom is gone";
    EXPECT_EQ(stringAtomText(info.data(info.findChildById(AtomContainer::kRoot, vrAtom::kString, out.nameAtomId))),
              "Garden");
    EXPECT_EQ(stringAtomText(info.data(info.findChildById(AtomContainer::kRoot, vrAtom::kString, out.commentAtomId))),
              "By the pond");
}

TEST(NodeHeaderUpdater, EmptyNamesLeaveNoStringAtomsAndAMissingHeaderIsMade)
{
    AtomContainer info;
    ASSERT_EQ(info.insertChild(AtomContainer::kRoot, vrAtom::kString, 1, 0, stringAtomData("x")), 0);
    Node node = makeNode(3, NodeKind::kObject, false);
    ASSERT_EQ(updateNodeHeader(node, info), 0);
    const NodeHeader out = NodeHeader::fromBytes(info.data(info.findChild(AtomContainer::kRoot, vrAtom::kNodeHeader)));
    EXPECT_EQ(out.nodeId, 3u);
    EXPECT_EQ(out.nameAtomId, 0u);
    EXPECT_EQ(out.commentAtomId, 0u);
    EXPECT_EQ(out.nodeType, 0u);

    // A header naming a string atom that is not there ends without a dangling reference.
    NodeHeader h;
    h.nameAtomId = 40;
    AtomContainer dangling;
    ASSERT_EQ(dangling.insertChild(AtomContainer::kRoot, vrAtom::kNodeHeader, 1, 0, h.toBytes()), 0);
    ASSERT_EQ(updateNodeHeader(node, dangling), 0);
    EXPECT_EQ(NodeHeader::fromBytes(dangling.data(dangling.findChild(AtomContainer::kRoot, vrAtom::kNodeHeader)))
                  .nameAtomId,
              0u);
}
